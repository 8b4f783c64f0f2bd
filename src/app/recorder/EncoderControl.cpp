#include "EncoderControl.h"

#include "DeferredMessage.h"
#include "EncoderRequests.h"
#include "recorder/MediaFolderProbe.h"

#include "FormParts.h"
#include "Messenger.h"
#include "ShellPorts.h"
#include "StatusBar.h"
#include "TimeFields.h"
#include "Toolbar.h"
#include "encoder/Encoder.h"
#include "encoder/EncoderProfile.h"
#include "encoder/FailureText.h"
#include "encoder/OutputFileName.h"
#include "recorder/EventLog.h"
#include "recorder/MediaStorage.h"
#include "recorder/RegionalFormat.h"
#include "recorder/TimeText.h"

namespace kelm {

namespace {
// Sources that take this long to deliver move the recording's first sample
// into a later second than the one its name was prepared with.
constexpr qint64 kLateSourcesMs = 1000;
}  // namespace

void EncoderControl::fatalComponentMissing() {
    m_ctx.messenger.show(FailureText::kEncoderMissing, Messenger::Icon::Critical);
    m_ctx.log.logEvent(QStringLiteral("A ") + FailureText::kEncoderMissing);
    m_ctx.process.endProcess(1);
}

EncoderStatus EncoderControl::prepareOutputFile(qint64 lateMs) {
    Encoder* encoder = m_ctx.encoder();
    if (!encoder)
        return EncoderStatus::failure(EncoderErrorCode::ObjectNotSet,
                                      QStringLiteral("no encoder object"));
    RecorderState& s = m_ctx.state;
    const SourceLists& sources = m_parts.sources;

    EncoderStatus result =
        encoder->setAudioInput(QStringLiteral("Device://") + sources.audioSourceText());
    s.encProfile = EncoderProfile::textForVideoSource(sources.videoSourceText());
    const EncoderStatus profile = encoder->setProfile(s.encProfile);
    if (result.ok()) result = profile;

    const QDateTime now = m_ctx.clock.now();
    if (s.mode.is(RecordingMode::Most)) m_parts.timeFields.startAt(now.time());
    const qint64 plannedMs = qint64(m_parts.timeFields.durationSeconds().value_or(0)) * 1000;
    // The header of every file of this recording names the plan it belongs
    // to, a file that goes on after an outage included.
    m_plan.title = s.settings.channelName;
    m_plan.author = s.settings.channelShortName;
    m_plan.plannedStart = now.addMSecs(-std::max<qint64>(0, lateMs));
    m_plan.plannedDurationMs = plannedMs;
    m_plan.profileName = OutputFileName::kindFor(sources.videoSourceText());
    encoder->setRecordingTags(m_plan);
    nameOutputFile(now, std::max<qint64>(0, plannedMs - std::max<qint64>(0, lateMs)));
    return result;
}

void EncoderControl::nameOutputFile(const QDateTime& startedAt, qint64 durationMs) {
    // The name carries the second the file's first sample comes in, which is
    // also the second its timecode subtitles count from: a timed recording on
    // its start second, a tick that came late or sources that answered late
    // a later one.
    RecorderState& s = m_ctx.state;
    Encoder* encoder = m_ctx.encoder();
    s.todayStamp = RegionalFormat::todayStamp(startedAt.date());
    s.startStamp = TimeText::stamp(TimeText::format(startedAt.time()));
    s.durationStamp =
        TimeText::stamp(TimeText::format(QTime(0, 0).addSecs(int((durationMs + 500) / 1000))));
    encoder->setOutputFileName(OutputFileName::build(
        s.settings.mediaDir, s.settings.channelShortName, s.todayStamp, s.startStamp,
        s.durationStamp, OutputFileName::kindFor(m_parts.sources.videoSourceText())));
    encoder->setDurationLimitMs(durationMs);
    const QTime t = startedAt.time();
    m_prepared.start = QDateTime(startedAt.date(), QTime(t.hour(), t.minute(), t.second()));
    m_prepared.plannedMs = durationMs;
}

RecordingFile EncoderControl::startedFile() const {
    // The path as the encoder has it: a taken name was extended at the start.
    const Encoder* encoder = m_ctx.encoder();
    RecordingFile file = m_prepared;
    file.path = encoder ? encoder->outputFileName() : QString();
    return file;
}

void EncoderControl::resumeRecording(qint64 remainingMs, EncoderRequests::Outcome done) {
    if (!m_ctx.encoder()) {
        done(EncoderStatus::failure(EncoderErrorCode::ObjectNotSet,
                                    QStringLiteral("no encoder object")));
        return;
    }
    nameOutputFile(m_ctx.clock.now(), remainingMs);
    m_ctx.encoderRequests.start(std::move(done));
}

qint64 EncoderControl::profileBytesPerSecond(const QString& profileText) {
    EncoderProfile profile;
    if (!EncoderProfile::parse(profileText, &profile).ok()) return 0;
    return (profile.videoBitrate + profile.audioBitrate) / 8;
}

bool EncoderControl::checkMediaFolder(const MediaFolderProbe::Answer& answer) {
    RecorderState& s = m_ctx.state;
    const QString path = m_ctx.encoder()->outputFileName();
    const QString& problem = answer.problem;
    if (!problem.isEmpty()) {
        const QString text =
            QStringLiteral("Rögzítési hiba: a felvétel fájlja nem hozható létre: ") + path +
            QStringLiteral(" (") + problem + u')';
        m_ctx.log.logEvent(text);
        s.recordingFailed = true;
        showAfterTick(&m_ctx.schedulerTick, m_ctx.messenger, text, Messenger::Icon::Critical);
        return false;
    }
    // Too little room is worth a warning, not a lost recording: the disk may
    // be cleared while it runs, and the recording ends cleanly when it fills.
    const qint64 durationMs = m_ctx.encoder()->durationLimitMs();
    const auto& freeBytes = answer.freeBytes;
    const qint64 rate = profileBytesPerSecond(s.encProfile);
    if (freeBytes && rate > 0 && durationMs > 0) {
        const qint64 needed = RecordingBudget::plannedBytes(rate * 8, 0, durationMs);
        if (*freeBytes < needed) {
            const QString text = QStringLiteral(
                                     "Kevés a szabad hely a media mappában (%1): %2 MB szabad, a "
                                     "felvételhez kb. %3 MB kell. A rögzítés elindul.")
                                     .arg(s.settings.mediaDir)
                                     .arg(*freeBytes / 1'000'000)
                                     .arg((needed + 999'999) / 1'000'000);
            m_ctx.log.logEvent(text);
            showAfterTick(&m_ctx.schedulerTick, m_ctx.messenger, text, Messenger::Icon::Warning);
        }
    }
    return true;
}

bool EncoderControl::sourcesCameInTime(qint64 askedMono) {
    Encoder* encoder = m_ctx.encoder();
    const qint64 waitedMs = m_ctx.clock.monotonicMs() - askedMono;
    if (waitedMs < kLateSourcesMs) return true;
    // The file is named after its first sample and still ends when planned:
    // a name that claimed the earlier second would be a false record.
    const qint64 remainingMs = std::max<qint64>(0, encoder->durationLimitMs() - waitedMs);
    const QDateTime now = m_ctx.clock.now();
    m_ctx.log.logEvent(QStringLiteral("A források csak %1 mp múlva adtak jelet: a felvétel "
                                      "%2-kor indul, a tervezett végéig tart.")
                           .arg(waitedMs / 1000)
                           .arg(RegionalFormat::longTime(now.time())));
    if (encoder->durationLimitMs() > 0 && remainingMs < 1000) {
        m_ctx.log.logEvent(
            QStringLiteral("A rögzítés elmarad: a tervezett időtartam letelt, mire a források "
                           "jelet adtak."));
        return false;
    }
    nameOutputFile(now, remainingMs);
    return true;
}

void EncoderControl::bindPreviewToMonitor() {
    m_ctx.monitor.setEncoderViewRunning(true);
}

void EncoderControl::startEncoder() {
    if (!m_ctx.encoder()) {
        fatalComponentMissing();
        return;
    }
    RecorderState& s = m_ctx.state;
    m_parts.statusBar.setPlannedSeconds(m_parts.timeFields.normaliseDuration());

    if (s.previewWanted) ++s.previewCookie;  // a new data view for this recording
    if (s.mode.is(RecordingMode::Most))
        m_ctx.log.logEvent(QStringLiteral("Encoder indítása - MOST"));

    // The folder, the sources, then the file: each answers later, and the
    // window goes on meanwhile.
    m_starting = true;
    const quint64 attempt = ++m_startAttempt;
    const QString folder = s.settings.mediaDir;
    m_waitingForFolder = true;
    const bool asked = m_ctx.folderProbe.ask(
        folder, {}, true, [this, attempt](const MediaFolderProbe::Answer& answer) {
            if (attempt != m_startAttempt) return;  // given up, or stopped meanwhile
            m_waitingForFolder = false;
            if (!checkMediaFolder(answer)) {
                m_starting = false;
                return;
            }
            startSources(attempt);
        });
    if (!asked) folderSilent();
}

void EncoderControl::folderSilent() {
    m_waitingForFolder = false;
    m_starting = false;
    ++m_startAttempt;  // its answer, should it come, is not this start's any more
    MediaFolderProbe::Answer silent;
    silent.problem = QStringLiteral("a media mappa %1 mp óta nem válaszol")
                         .arg(m_ctx.folderProbe.silentForMs() / 1000);
    checkMediaFolder(silent);
}

void EncoderControl::tick() {
    if (m_waitingForFolder && m_ctx.folderProbe.silent()) folderSilent();
}

void EncoderControl::startSources(quint64 attempt) {
    const qint64 askedMono = m_ctx.clock.monotonicMs();
    m_ctx.encoderRequests.prepare([this, askedMono, attempt](const EncoderStatus& ready) {
        if (attempt != m_startAttempt) return;  // the operator stopped meanwhile
        if (!ready.ok()) {
            m_starting = false;
            handleStartError(ready, false, attempt);
            return;
        }
        if (!sourcesCameInTime(askedMono)) {
            m_starting = false;
            return;
        }
        m_ctx.encoderRequests.start([this, attempt](const EncoderStatus& started) {
            startAnswered(started, true, attempt);
        });
    });
}

void EncoderControl::abandonStart() {
    if (!m_starting) return;
    m_starting = false;
    m_waitingForFolder = false;
    ++m_startAttempt;
}

void EncoderControl::startAnswered(const EncoderStatus& started, bool renameAllowed,
                                   quint64 attempt) {
    if (attempt != m_startAttempt) {
        // The operator stopped while the start was on its way: the stop holds.
        if (started.ok()) m_ctx.encoder()->stop();
        return;
    }
    if (!started.ok()) {
        m_starting = handleStartError(started, renameAllowed, attempt);
        return;
    }
    m_starting = false;
    RecorderState& s = m_ctx.state;
    if (s.previewWanted) {
        // The monitor window turns the engine's preview frames on while it shows them.
        m_ctx.monitor.setEncoderViewRunning(true);
        if (!m_parts.toolbar.isPressed(Button::btnEncPreview))
            m_ctx.monitor.setEncoderViewRunning(false);
    }
    s.arm.set(Arm::Armed);
    m_parts.toolbar.enableModes(s.mode.value(), false);
    if (m_onStarted) m_onStarted();
}

QString EncoderControl::failureCause(const EncoderStatus& status) const {
    const Encoder* encoder = m_ctx.encoder();
    if (!encoder) return FailureText::cause(status, {});
    return FailureText::cause(
        status, {encoder->audioInput(), encoder->videoInput(), encoder->outputFileName()});
}

bool EncoderControl::handleStartError(const EncoderStatus& status, bool renameAllowed,
                                      quint64 attempt) {
    RecorderState& s = m_ctx.state;
    QTimer* tick = &m_ctx.schedulerTick;
    using namespace EncoderErrorCode;
    switch (status.code) {
        case ComponentMissing:
        case ObjectNotSet:
            fatalComponentMissing();
            return false;
        case ProfileRefused:
            tick->stop();
            showAfterTick(tick, m_ctx.messenger,
                          QStringLiteral("Az Encoder profájl nem megfelelő!"),
                          Messenger::Icon::None);
            m_ctx.log.logEvent(QStringLiteral("Az Encoder profájl nem megfelelő!"));
            return false;
        case SoundCard:
            tick->stop();
            showAfterTick(tick, m_ctx.messenger,
                          QStringLiteral("Hangkártya beállítások nem megfelelőek!"),
                          Messenger::Icon::None);
            m_ctx.log.logEvent(QStringLiteral("Nincs kijelölve hangkártya!"));
            return false;
        case Codec:
            tick->stop();
            showAfterTick(tick, m_ctx.messenger, QStringLiteral("Kodek hiba! "),
                          Messenger::Icon::Critical);
            m_ctx.log.logEvent(QStringLiteral("Kodek hiba!"));
            return false;
        case OutputFileCreate:
        case NoAnswer:
        case DiskFull:
        case WriteFault:
        case VideoInput:
        case StandardRefused: {
            // The file or the picture source, not the codec: what and where,
            // and the system's reason. A daily schedule stays armed for the
            // next day, when the source or the folder may be back.
            const QString text = QStringLiteral("Rögzítési hiba: ") + failureCause(status) +
                                 QStringLiteral(". A rögzítés nem indult el.");
            s.recordingFailed = true;
            m_ctx.log.logEvent(text);
            showAfterTick(tick, m_ctx.messenger, text, Messenger::Icon::Critical);
            return false;
        }
        case VideoCodecMissing:
            showAfterTick(tick, m_ctx.messenger,
                          QStringLiteral("A kért videokodek nincs telepitve! ") + s.encProfile,
                          Messenger::Icon::None);
            m_ctx.log.logEvent(QStringLiteral("A kért videokodek nincs telepitve!") + s.encProfile);
            return false;
        case FileInUse:
        case FileExists: {
            Encoder* encoder = m_ctx.encoder();
            tick->stop();
            const QString path = encoder->outputFileName();
            // A name taken by an earlier recording is treated as a locked one:
            // that recording is kept, this one goes under an extended name.
            if (status.code == FileExists)
                m_ctx.log.logEvent(QStringLiteral("A(z) ") + path +
                                   QStringLiteral(" fájl már létezik, a korábbi felvétel nem "
                                                  "írható felül!"));
            else
                m_ctx.log.logEvent(QStringLiteral("A kódolási folyamat nem fér hozzá a ") + path +
                                   QStringLiteral(" fájlhoz, mert azt egy másik folyamat "
                                                  "használja!"));
            if (!renameAllowed) return false;
            const QString renamed = OutputFileName::extended(path);
            encoder->setOutputFileName(renamed);
            m_ctx.log.logEvent(QStringLiteral("Fájlnév kiegészítés - .FIGYELEM.wmv ") + renamed);
            m_ctx.encoderRequests.start([this, renamed, attempt](const EncoderStatus& again) {
                if (!again.ok() || attempt != m_startAttempt) {
                    // The extended name failed as well: report that failure as
                    // any other, and never claim that a recording runs.
                    startAnswered(again, false, attempt);
                    return;
                }
                m_ctx.log.logEvent(QStringLiteral("A(z) ") + renamed +
                                   QStringLiteral(" fájl rögzítése elindult...\r\n") +
                                   QStringLiteral(" VIGYÁZAT! A következő rögzítés nem indul el!"));
                m_ctx.state.nextStartWarning = true;
                startAnswered(again, false, attempt);
            });
            return true;
        }
        default:
            // Only a number KELM has no words for is unknown.
            m_ctx.log.logEvent(QStringLiteral("Ismeretlen hiba: ") +
                               QString::number(status.signedCode()) + u' ' + status.description);
            return false;
    }
}

}  // namespace kelm
