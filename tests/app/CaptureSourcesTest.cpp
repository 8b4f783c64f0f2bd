#include "AudioLines.h"
#include "CaptureSources.h"
#include "Harness.h"
#include "LedMeter.h"
#include "LevelMeters.h"
#include "WaveformPicture.h"
#include "recorder/TextFile.h"

#include <gtest/gtest.h>

using namespace kelm;
using namespace kelm::test;

namespace {

const QString kCard = QStringLiteral("Tuner Card");

// Chooses an entry as the operator does: the list's activation signal.
void choose(QComboBox* list, const QString& text) {
    const int i = list->findText(text);
    ASSERT_GE(i, 0) << text.toStdString() << " not in " << list->objectName().toStdString();
    list->setCurrentIndex(i);
    Q_EMIT list->activated(i);
}

QStringList stateLines(const Harness& h) {
    return TextFile::readLines(h.file(QStringLiteral("teszttv.ini"))).value_or(QStringList{});
}

// A KELM whose last state chose the tuner card.
void startOnTheTunerCard(Harness& h,
                         const QString& lines8to11 = QStringLiteral("\r\n\r\n\r\n\r\n")) {
    h.videoDevices.names = {kCard};
    h.write(QStringLiteral("teszttv.ini"),
            (QStringLiteral("Teszt hangkártya\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\n") +
             kCard + QStringLiteral("\r\nVideo Tuner\r\n") + lines8to11)
                .toUtf8());
    h.start();
}

}  // namespace

TEST(TunerSettings, ChoicesReachTheEncoderAsTheListedValues) {
    Harness h;
    startOnTheTunerCard(h);
    MainForm& f = h.form();
    const auto settings = [&] { return h.encoder().videoCaptureSettings(); };
    EXPECT_EQ(f.sources.videoInput->currentText(), QStringLiteral("Video Tuner"));
    EXPECT_EQ(f.sources.channel->count(), 101) << "the cable table";
    EXPECT_TRUE(f.sources.channel->isEnabled());
    // Empty saved lines select the defaults, which are applied at once.
    EXPECT_EQ(f.sources.channel->currentText(), QStringLiteral("80"));
    EXPECT_EQ(f.sources.tvStandard->currentText(), QStringLiteral("PAL_I"));
    EXPECT_EQ(f.sources.pixelFormat->currentText(), QStringLiteral("RGB24"));
    EXPECT_EQ(f.sources.tunerType->currentText(), QStringLiteral("Kábel"));
    EXPECT_EQ(settings(), (VideoCaptureSettings{.input = 0,
                                                .analogStandard = 0x00000100,
                                                .pixelFormat = 0xE436EB7D,
                                                .tunerInput = 0,
                                                .channel = 80}));
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).back(), 80) << "tuned at once";

    choose(f.sources.tvStandard, QStringLiteral("SECAM_L1"));
    EXPECT_EQ(settings().analogStandard, 0x00080000u);
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("standard")).back(), 0x00080000)
        << "the device was asked whether its input takes it";
    choose(f.sources.tvStandard, QStringLiteral("None"));
    EXPECT_EQ(settings().analogStandard, 0u);
    choose(f.sources.pixelFormat, QStringLiteral("YUY2"));
    EXPECT_EQ(settings().pixelFormat, 0x32595559u);
    choose(f.sources.tunerType, QStringLiteral("Antenna"));
    EXPECT_EQ(settings().tunerInput, 1);
    EXPECT_EQ(stateLines(h).at(9), QStringLiteral("Antenna"));
    choose(f.sources.channel, QStringLiteral("21"));
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).back(), 21);
    EXPECT_EQ(h.videoDevices.tunedTables.back(), 1) << "on the antenna table";
    EXPECT_EQ(settings().channel, 21);
    const size_t channels = h.videoDevices.sent(QStringLiteral("channel")).size();
    choose(f.sources.channel, QStringLiteral("21"));
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).size(), channels)
        << "already on that channel";
}

TEST(TunerSettings, EveryChoiceIsRestoredAndAppliedAtTheNextStart) {
    Harness first;
    startOnTheTunerCard(first);
    MainForm& f = first.form();
    choose(f.sources.tunerType, QStringLiteral("Antenna"));
    choose(f.sources.channel, QStringLiteral("33"));
    choose(f.sources.pixelFormat, QStringLiteral("UYVY"));
    choose(f.sources.tvStandard, QStringLiteral("SECAM_K1"));
    choose(f.sources.audioSource, QStringLiteral("Másik kártya"));
    choose(f.sources.audioInput, QStringLiteral("Line"));
    f.times.duration->setText(QStringLiteral("01:30:00"));
    first.window->startup().terminate();
    ASSERT_TRUE(first.process.ended());

    Harness second;
    second.folder = first.programDir();
    second.videoDevices.names = {kCard};
    second.start();
    MainForm& g = second.form();
    EXPECT_EQ(g.sources.videoSource->currentText(), kCard);
    EXPECT_EQ(g.sources.videoInput->currentText(), QStringLiteral("Video Tuner"));
    EXPECT_EQ(g.sources.channel->currentText(), QStringLiteral("33"));
    EXPECT_EQ(g.sources.channel->count(), 60) << "the antenna table";
    EXPECT_EQ(g.sources.pixelFormat->currentText(), QStringLiteral("UYVY"));
    EXPECT_EQ(g.sources.tunerType->currentText(), QStringLiteral("Antenna"));
    EXPECT_EQ(g.sources.tvStandard->currentText(), QStringLiteral("SECAM_K1"));
    EXPECT_EQ(g.sources.audioSource->currentText(), QStringLiteral("Másik kártya"));
    EXPECT_EQ(g.sources.audioInput->currentText(), QStringLiteral("Line"));
    EXPECT_EQ(g.times.duration->text(), QStringLiteral("01:30:00"));
    // Restored means applied: the encoder has the choices, and the tuner
    // was tuned on the antenna table.
    EXPECT_EQ(second.encoder().videoCaptureSettings(),
              (VideoCaptureSettings{.input = 0,
                                    .analogStandard = 0x00020000,
                                    .pixelFormat = 0x59565955,
                                    .tunerInput = 1,
                                    .channel = 33}));
    EXPECT_EQ(second.videoDevices.sent(QStringLiteral("channel")).back(), 33);
    EXPECT_EQ(second.videoDevices.tunedTables.back(), 1);
    EXPECT_EQ(second.soundMixers.models[QStringLiteral("Másik kártya")].controls[1].value, 1)
        << "the selector records the second of three lines";
}

TEST(TunerSettings, TheSavedInputTypeComesBeforeTheChannelOnlyItsTableHas) {
    // Channel 55 of the antenna table is E64; the cable table has a channel
    // 55 too (E23): tuned on the wrong table first, the tuner would pass
    // through the wrong frequency.
    Harness h;
    startOnTheTunerCard(h, QStringLiteral("55\r\nRGB24\r\nAntenna\r\nPAL_I\r\n"));
    MainForm& f = h.form();
    EXPECT_EQ(f.sources.tunerType->currentText(), QStringLiteral("Antenna"));
    EXPECT_EQ(f.sources.channel->count(), 60);
    EXPECT_EQ(f.sources.channel->currentText(), QStringLiteral("55"));
    ASSERT_FALSE(h.videoDevices.tunedTables.isEmpty());
    EXPECT_EQ(h.videoDevices.tunedTables.count(0), 0) << "never tuned on the cable table";
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).back(), 55);
}

TEST(TunerSettings, CableAndAntennaEachHaveTheirOwnChannelsAndTheTunerFollows) {
    Harness h;
    startOnTheTunerCard(h);
    MainForm& f = h.form();
    choose(f.sources.channel, QStringLiteral("33"));
    choose(f.sources.tunerType, QStringLiteral("Antenna"));
    EXPECT_EQ(f.sources.channel->count(), 60);
    EXPECT_EQ(f.sources.channel->itemText(59), QStringLiteral("60"));
    EXPECT_EQ(f.sources.channel->currentText(), QStringLiteral("33")) << "the channel shown stays";
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).back(), 33);
    EXPECT_EQ(h.videoDevices.tunedTables.back(), 1) << "retuned on the antenna table";
    choose(f.sources.channel, QStringLiteral("60"));
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).back(), 60) << "an antenna channel";

    choose(f.sources.tunerType, QStringLiteral("Kábel"));
    EXPECT_EQ(f.sources.channel->count(), 101);
    EXPECT_EQ(f.sources.channel->currentText(), QStringLiteral("60"));
    EXPECT_EQ(h.videoDevices.tunedTables.back(), 0);
    choose(f.sources.channel, QStringLiteral("90"));
    choose(f.sources.tunerType, QStringLiteral("Antenna"));
    EXPECT_EQ(f.sources.channel->currentIndex(), -1) << "the antenna table has no channel 90";
    EXPECT_EQ(h.encoder().videoCaptureSettings().channel, 0);
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).back(), 90) << "no tuning to nowhere";
}

TEST(TunerSettings, AnAntennaChosenOnAnotherInputGivesTheTunerTheAntennaChannels) {
    // The composite input restores the saved input type too, while the
    // channel list, kept from the tuner, still holds the cable channels.
    Harness h;
    startOnTheTunerCard(h);
    MainForm& f = h.form();
    choose(f.sources.videoInput, QStringLiteral("Composite"));
    EXPECT_EQ(f.sources.channel->count(), 101);
    h.write(QStringLiteral("teszttv.ini"),
            (QStringLiteral("Teszt hangkártya\r\n\r\n00:00:00\r\n00:00:00\r\n00:00:00\r\n") +
             kCard + QStringLiteral("\r\nVideo Tuner\r\n7\r\nRGB24\r\nAntenna\r\nPAL_I\r\n"))
                .toUtf8());
    choose(f.sources.videoInput, QStringLiteral("Composite"));
    EXPECT_EQ(f.sources.channel->count(), 101) << "a composite input keeps the list as it is";
    choose(f.sources.videoInput, QStringLiteral("Video Tuner"));
    EXPECT_EQ(f.sources.channel->count(), 60);
    EXPECT_EQ(f.sources.channel->currentText(), QStringLiteral("7"));
    EXPECT_EQ(h.videoDevices.tunedTables.back(), 1);
}

TEST(TunerSettings, ElevenLinesBecomeTwelveAndThirteenStayAsTheyAre) {
    Harness h;
    startOnTheTunerCard(h, QStringLiteral("5\r\nRGB24\r\nKábel\r\nPAL_I\r\n"));
    ASSERT_EQ(stateLines(h).size(), 12) << "the restore wrote its lines back";
    h.write(QStringLiteral("teszttv.ini"),
            "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n");
    choose(h.form().sources.tvStandard, QStringLiteral("PAL_B"));
    QStringList lines = stateLines(h);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.at(10), QStringLiteral("PAL_B"));
    EXPECT_EQ(lines.at(9), QStringLiteral("10"));
    EXPECT_TRUE(lines.at(11).isEmpty());

    const QByteArray thirteen =
        "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n11\r\n12\r\n13\r\n";
    h.write(QStringLiteral("teszttv.ini"), thirteen);
    choose(h.form().sources.tvStandard, QStringLiteral("PAL_D"));
    EXPECT_EQ(h.read(QStringLiteral("teszttv.ini")), thirteen);
    EXPECT_EQ(h.encoder().videoCaptureSettings().analogStandard, 0x00000020u) << "still applied";

    QFile::remove(h.file(QStringLiteral("teszttv.ini")));
    choose(h.form().sources.tvStandard, QStringLiteral("PAL_H"));
    EXPECT_FALSE(QFileInfo::exists(h.file(QStringLiteral("teszttv.ini")))) << "no file is created";
}

TEST(TunerSettings, ARefusedStandardIsStillSavedAnUnreachableDeviceSavesNothing) {
    Harness h;
    startOnTheTunerCard(h);
    h.videoDevices.refuse[QStringLiteral("standard")] = DeviceResult::Refused;
    choose(h.form().sources.tvStandard, QStringLiteral("NTSC_M"));
    EXPECT_EQ(stateLines(h).at(10), QStringLiteral("NTSC_M"));
    EXPECT_EQ(h.encoder().videoCaptureSettings().analogStandard, 0u)
        << "the device keeps its own standard";
    h.videoDevices.refuse[QStringLiteral("standard")] = DeviceResult::Failed;
    const int prepares = h.encoder().prepares;
    choose(h.form().sources.tvStandard, QStringLiteral("PAL_M"));
    EXPECT_EQ(stateLines(h).at(10), QStringLiteral("NTSC_M"));
    EXPECT_EQ(h.encoder().prepares, prepares) << "the handler ended before preparing again";
}

TEST(TunerSettings, AFormatTheDeviceDoesNotOfferLeavesTheFormatToNegotiation) {
    Harness h;
    startOnTheTunerCard(h);
    choose(h.form().sources.pixelFormat, QStringLiteral("UYVY"));
    EXPECT_EQ(h.encoder().videoCaptureSettings().pixelFormat, 0x59565955u);
    h.videoDevices.refuse[QStringLiteral("pixelFormat")] = DeviceResult::Refused;
    choose(h.form().sources.pixelFormat, QStringLiteral("RGB8"));
    EXPECT_EQ(h.encoder().videoCaptureSettings().pixelFormat, 1u) << "as AUTO";
    EXPECT_EQ(stateLines(h).at(8), QStringLiteral("RGB8"));
}

TEST(TunerSettings, SettingsPrepareTheEncoderAgainOnlyWhileItIsStopped) {
    Harness h;
    startOnTheTunerCard(h);
    int prepares = h.encoder().prepares;
    choose(h.form().sources.pixelFormat, QStringLiteral("I420"));
    EXPECT_EQ(h.encoder().prepares, prepares + 1);
    h.encoder().busyUntil = h.clock.now().addSecs(60);  // a recording runs
    prepares = h.encoder().prepares;
    choose(h.form().sources.pixelFormat, QStringLiteral("YV12"));
    EXPECT_EQ(h.encoder().prepares, prepares);
    EXPECT_EQ(h.encoder().videoCaptureSettings().pixelFormat, 0x32315659u)
        << "the value is still handed over";
}

TEST(TunerSettings, ARestoreCostsOnePrepareHoweverManyListsItSelects) {
    Harness h;
    startOnTheTunerCard(h, QStringLiteral("33\r\nUYVY\r\nAntenna\r\nSECAM_K\r\n"));
    // Start-up runs the source's handler twice (the restore of its line and
    // once more): each prepares as it starts, and once after its restore.
    EXPECT_EQ(h.encoder().prepares, 4);
    const int prepares = h.encoder().prepares;
    choose(h.form().sources.videoInput, QStringLiteral("Video Tuner"));
    EXPECT_EQ(h.encoder().prepares, prepares + 1) << "the input and four restored lists";
    EXPECT_EQ(h.encoder().videoCaptureSettings().analogStandard, 0x00010000u);
}

TEST(TunerSettings, AChangeDuringARecordingIsKeptToldAndAppliedWhenItEnds) {
    Harness h;
    startOnTheTunerCard(h);
    h.encoder().start();
    h.settle();
    ASSERT_EQ(h.encoder().runState(), RunState::Running);
    const int prepares = h.encoder().prepares;
    choose(h.form().sources.tvStandard, QStringLiteral("SECAM_L"));
    EXPECT_EQ(h.encoder().videoCaptureSettings().analogStandard, 0x00040000u)
        << "the encoder keeps it for after the recording";
    EXPECT_EQ(stateLines(h).at(10), QStringLiteral("SECAM_L")) << "and it is saved";
    EXPECT_TRUE(h.window->log().boxText().contains(
        QStringLiteral("Felvétel közben nem állítható át, a felvétel után lép érvénybe: SECAM_L")));
    EXPECT_EQ(h.encoder().prepares, prepares);
    choose(h.form().sources.channel, QStringLiteral("12"));
    EXPECT_EQ(h.videoDevices.sent(QStringLiteral("channel")).back(), 12)
        << "a channel is tuned while the device streams";
    EXPECT_EQ(h.window->log().boxText().count(QStringLiteral("Felvétel közben")), 1)
        << "a channel needs no waiting";

    h.encoder().stop();
    h.settle();
    EXPECT_EQ(h.encoder().prepares, prepares + 1) << "the source comes back with the new standard";
}

TEST(VideoInput, AnInputWithoutTunerDisablesChannelAndSignalType) {
    Harness h;
    startOnTheTunerCard(h);
    MainForm& f = h.form();
    choose(f.sources.videoInput, QStringLiteral("Composite"));
    EXPECT_FALSE(f.sources.channel->isEnabled());
    EXPECT_FALSE(f.sources.tunerType->isEnabled());
    EXPECT_EQ(f.sources.channel->count(), 101) << "the channels stay";
    EXPECT_EQ(h.encoder().videoCaptureSettings().input, 1);
    choose(f.sources.videoSource, QStringLiteral("Videó fájl"));
    for (QComboBox* list : {f.sources.videoInput, f.sources.pixelFormat, f.sources.tvStandard,
                            f.sources.channel, f.sources.tunerType}) {
        EXPECT_EQ(list->count(), 0) << list->objectName().toStdString();
        EXPECT_FALSE(list->isEnabled());
    }
}

TEST(VideoInput, TwoInputsOfOneNameLeaveTheLaterSelected) {
    Harness h;
    h.videoDevices.deviceInputs[kCard] = {QStringLiteral("S-Video"), QStringLiteral("Video Tuner"),
                                          QStringLiteral("S-Video")};
    startOnTheTunerCard(h);
    choose(h.form().sources.videoInput, QStringLiteral("S-Video"));
    EXPECT_EQ(h.encoder().videoCaptureSettings().input, 2);
}

TEST(VideoInput, AnInputThatCannotBeUsedIsToldOnceAndTheInputsStayUntouched) {
    Harness h;
    h.videoDevices.names = {kCard};
    h.start();
    h.encoder().prepareFailure =
        EncoderStatus::failure(EncoderErrorCode::VideoInput, QStringLiteral("busy"));
    const int queries = h.videoDevices.inputQueries;
    h.form().sources.videoInput->clear();
    h.messenger.texts.clear();
    choose(h.form().sources.videoSource, kCard);
    h.settle();
    EXPECT_EQ(h.messenger.texts,
              QStringList{QStringLiteral(
                  "A bemeneti forrás nem megfelelően működik, vagy már használatban van.")});
    EXPECT_EQ(h.videoDevices.inputQueries, queries);
    EXPECT_EQ(h.form().sources.videoInput->count(), 0);
}

TEST(VideoSource, WithoutASavedSourceTheDeviceBranchRunsWithNoDeviceNamed) {
    Harness h;
    h.videoDevices.names = {kCard};
    h.writeState(QStringLiteral("10:00:00"), QStringLiteral("11:00:00"), QStringLiteral("01:00:00"),
                 QString());
    h.start();
    MainForm& f = h.form();
    EXPECT_EQ(f.sources.videoSource->count(), 2);
    EXPECT_EQ(f.sources.videoSource->currentIndex(), -1)
        << "\"Videó fájl\" is not chosen by itself";
    EXPECT_EQ(h.encoder().videoInput(), QStringLiteral("DEVICE://"));
    EXPECT_TRUE(h.encoder().outputFileName().endsWith(QStringLiteral("-TV512.wmv")))
        << "a live source's profile";
    EXPECT_TRUE(f.sources.pixelFormat->isEnabled());
    EXPECT_TRUE(f.sources.tvStandard->isEnabled());
    EXPECT_EQ(h.messenger.texts.count(QStringLiteral(
                  "A bemeneti forrás nem megfelelően működik, vagy már használatban van.")),
              1);
    EXPECT_EQ(f.sources.videoInput->count(), 0) << "the error path leaves the inputs alone";

    choose(f.sources.videoSource, kCard);  // the operator chooses the card
    h.settle();
    EXPECT_EQ(h.encoder().videoInput(), QStringLiteral("DEVICE://") + kCard);
    EXPECT_EQ(f.sources.videoInput->count(), 2);
}

TEST(StateFile, AShortFileKeepsTheFieldsItDoesNotHave) {
    Harness h;
    h.write(QStringLiteral("teszttv.ini"), "Másik kártya\r\n\r\n10:00:00\r\n");
    h.start();
    MainForm& f = h.form();
    EXPECT_EQ(f.times.start->text(), QStringLiteral("10:00:00"));
    EXPECT_EQ(f.times.end->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(f.times.duration->text(), QStringLiteral("00:00:00"));
    h.window->startup().terminate();
    const QStringList lines = stateLines(h);
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines.at(3), QStringLiteral("00:00:00"));
    EXPECT_EQ(lines.at(4), QStringLiteral("00:00:00"));
}

TEST(AudioLines, ACardOpensItsRecordingDestinationAndStartsTheMeters) {
    Harness h;
    h.start();
    MainForm& f = h.form();
    EXPECT_EQ(f.mixerLines.destinationLine->currentText(), QStringLiteral("Capture"))
        << "the second destination";
    EXPECT_EQ(f.sources.audioInput->count(), 3);
    EXPECT_EQ(f.mixerLines.destinationLines->currentItem()->text(),
              QStringLiteral("Capture Source"));
    EXPECT_TRUE(h.levelCapture.isOpen());
    EXPECT_EQ(h.levelCapture.card(), QStringLiteral("Teszt hangkártya"));
    EXPECT_TRUE(h.window->levelMeters().meter().timer().enabled());

    FakeMixerModel& card = h.soundMixers.models[QStringLiteral("Teszt hangkártya")];
    choose(f.sources.audioInput, QStringLiteral("Mic"));
    EXPECT_EQ(card.controls[1].value, 2) << "the first of three lines is the selector's item 2";
    EXPECT_EQ(f.mixerLines.sourceLines->count(), 2);
    EXPECT_EQ(f.mixerLines.sourceLines->currentRow(), 0)
        << "a first control reading 40000 stays chosen";
    EXPECT_EQ(f.mixerLines.sourceVolume->maximum(), 65536);
    EXPECT_EQ(f.mixerLines.sourceVolume->value(), 40000);
    f.mixerLines.sourceVolume->setValue(1234);
    EXPECT_EQ(card.controls[size_t(card.destinations[1].sources[0].controls[0])].value, 1234);

    // The destination slider shows the selector and moves it, which chooses the line.
    h.statusTick();
    EXPECT_EQ(f.mixerLines.destinationVolume->value(), 2);
    f.mixerLines.destinationVolume->setValue(0);
    EXPECT_EQ(f.sources.audioInput->currentText(), QStringLiteral("CD"));
    EXPECT_EQ(card.controls[1].value, 0);
}

TEST(AudioLines, ALineWhoseFirstControlIsASwitchEndsOnItsLastControl) {
    Harness h;
    FakeMixerModel& card = h.soundMixers.models[QStringLiteral("Teszt hangkártya")];
    auto& line = card.destinations[1].sources[1].controls;
    std::swap(line[0], line[1]);  // "Line Switch" first, reading 1
    h.start();
    choose(h.form().sources.audioInput, QStringLiteral("Line"));
    EXPECT_EQ(h.form().mixerLines.sourceLines->currentRow(), 1);
    EXPECT_EQ(h.form().mixerLines.sourceLines->currentItem()->text(),
              QStringLiteral("Line Volume"));
}

TEST(AudioLines, WithoutASelectorChoosingALineLeavesTheLevelsAlone) {
    Harness h;
    FakeMixerModel& card = h.soundMixers.models[QStringLiteral("Teszt hangkártya")];
    card.destinations[1].line.controls.erase(
        card.destinations[1].line.controls.begin());  // no selector
    h.start();
    choose(h.form().sources.audioInput, QStringLiteral("CD"));
    EXPECT_EQ(card.controls[2].value, 40000) << "the capture level is not set to the line's number";
}

TEST(AudioLines, ABusyCardIsToldAndItsMetersStayStill) {
    Harness h;
    h.soundMixers.busy << QStringLiteral("Másik kártya");
    h.start();
    h.messenger.texts.clear();
    choose(h.form().sources.audioSource, QStringLiteral("Másik kártya"));
    EXPECT_EQ(h.messenger.texts, QStringList{QStringLiteral("A hangkártya használatban van!")});
    EXPECT_EQ(h.messenger.icons.back(), Messenger::Icon::Critical);
    EXPECT_FALSE(h.levelCapture.isOpen());
    EXPECT_FALSE(h.window->levelMeters().meter().timer().enabled());
}

TEST(AudioLines, SlidersFollowChangesMadeOutsideKelmOnTheNextStatusTick) {
    Harness h;
    h.start();
    choose(h.form().sources.audioInput, QStringLiteral("Mic"));
    FakeMixerModel& card = h.soundMixers.models[QStringLiteral("Teszt hangkártya")];
    card.controls[size_t(card.destinations[1].sources[0].controls[0])].value = 5000;
    h.statusTick();
    EXPECT_EQ(h.form().mixerLines.sourceVolume->value(), 5000);
    EXPECT_EQ(card.controls[size_t(card.destinations[1].sources[0].controls[0])].value, 5000);
}

TEST(LevelMeters, TheMeterAndPicturesShowTheCardLive) {
    Harness h;
    h.start();
    h.levelCapture.sample = [](std::int64_t i) {
        return std::pair<std::int16_t, std::int16_t>{std::int16_t((i / 50) % 2 ? -32767 : 32767),
                                                     16339};
    };
    LevelMeters& meters = h.window->levelMeters();
    meters.timerTick();
    h.levelCapture.pendingFrames = CaptureBuffer::kFrames;
    meters.timerTick();
    EXPECT_EQ(h.form().levels.meter->level(0), 100);
    EXPECT_EQ(h.form().levels.meter->level(1), 50);
    ASSERT_EQ(h.form().levels.waveforms[0]->trace().size(), 205u);
    EXPECT_EQ(h.form().levels.waveforms[0]->trace()[0].y(), 22 + 21);
    EXPECT_EQ(h.form().levels.waveforms[1]->trace()[0].y(), 22 + 10);
}
