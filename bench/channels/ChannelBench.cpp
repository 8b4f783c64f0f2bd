// One channel of the several-channels benchmark: KELM's real window and
// engine recording a command-line length at the TV profile from live
// sources. No capture card is here, and a channel has a sound card of its
// own, so the window lists one card, "Teszt kártya", and the engine is handed
// a live test picture (720x576, 25 frames/s) wherever the window asks for
// that card and a live tone for the sound card: everything else is what KELM
// does with a card, the profile and the file's name included.
//
//   channel_bench PROGRAM_DIR SHORT_NAME HH:MM:SS [PATTERN]
//
// PATTERN is the test picture's videotestsrc pattern: "ball" (the default, a
// ball moving on black, cheap to encode) or "snow" (noise, the dearest
// picture there is).
//
// PROGRAM_DIR is made the channel's program folder (settings, last state,
// tiplon); the recording lands in its Media folder. At the end it prints
// "cpu_s=<user+system seconds> max_rss_kb=<peak memory>" of the process (all
// its threads). The exit status is KELM's own.
#include "MainWindow.h"
#include "RealBackEnds.h"
#include "UnattendedRun.h"
#include "encoder/Encoder.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <sys/resource.h>
#include <memory>

namespace kelm {
namespace {

const QString kCardName = QStringLiteral("Teszt kártya");
const QString kLiveTone = QStringLiteral("TEST://");

// One capture card with one composite input, no tuner, taking every setting.
class TestCard final : public VideoDeviceList {
public:
    QStringList devices() override { return {kCardName}; }
    QStringList inputs(const QString&) override { return {QStringLiteral("Composite")}; }
    QString nodeOf(const QString&) override { return {}; }
    int highestChannel(const QString&, const VideoCaptureSettings&) override { return 0; }
    std::optional<int> currentChannel(const QString&, const VideoCaptureSettings&) override {
        return std::nullopt;
    }
    DeviceResult tune(const QString&, const VideoCaptureSettings&) override {
        return DeviceResult::Done;
    }
    DeviceResult checkStandard(const QString&, int, std::uint32_t) override {
        return DeviceResult::Done;
    }
    DeviceResult checkPixelFormat(const QString&, std::uint32_t) override {
        return DeviceResult::Done;
    }
    DeviceResult applyCaptureSettings(const QString&, const VideoCaptureSettings&) override {
        return DeviceResult::Done;
    }
};

// The real engine, recording the live test picture where the window chose
// the test card and the live tone where it chose a sound card; the window
// still sees the inputs it chose.
class LivePictureEncoder final : public Encoder {
public:
    LivePictureEncoder(std::unique_ptr<Encoder> engine, QString livePicture)
        : m_engine(std::move(engine)), m_livePicture(std::move(livePicture)) {
        connect(m_engine.get(), &Encoder::prepared, this, &Encoder::prepared);
        connect(m_engine.get(), &Encoder::started, this, &Encoder::started);
        connect(m_engine.get(), &Encoder::runStateChanged, this, &Encoder::runStateChanged);
        connect(m_engine.get(), &Encoder::errorOccurred, this, &Encoder::errorOccurred);
        connect(m_engine.get(), &Encoder::previewFrame, this, &Encoder::previewFrame);
    }
    EncoderStatus resetSourceGroup() override { return m_engine->resetSourceGroup(); }
    EncoderStatus setVideoInput(const QString& input) override {
        m_videoInput = input;
        return m_engine->setVideoInput(input.startsWith(QStringLiteral("DEVICE://")) ? m_livePicture
                                                                                     : input);
    }
    EncoderStatus setAudioInput(const QString& input) override {
        m_audioInput = input;
        return m_engine->setAudioInput(input.startsWith(QStringLiteral("Device://")) ? kLiveTone
                                                                                     : input);
    }
    QString videoInput() const override { return m_videoInput; }
    QString audioInput() const override { return m_audioInput; }
    void setVideoCaptureSettings(const VideoCaptureSettings& settings) override {
        m_engine->setVideoCaptureSettings(settings);
    }
    VideoCaptureSettings videoCaptureSettings() const override {
        return m_engine->videoCaptureSettings();
    }
    EncoderStatus setProfile(const QString& profileXml) override {
        return m_engine->setProfile(profileXml);
    }
    void setOutputFileName(const QString& path) override { m_engine->setOutputFileName(path); }
    QString outputFileName() const override { return m_engine->outputFileName(); }
    void setDurationLimitMs(qint64 ms) override { m_engine->setDurationLimitMs(ms); }
    qint64 durationLimitMs() const override { return m_engine->durationLimitMs(); }
    void setRecordingTags(const RecordingTags& tags) override { m_engine->setRecordingTags(tags); }
    void prepareToEncode() override { m_engine->prepareToEncode(); }
    void start() override { m_engine->start(); }
    void stop() override { m_engine->stop(); }
    bool stopBeforeExit(int timeoutMs) override { return m_engine->stopBeforeExit(timeoutMs); }
    RunState runState() const override { return m_engine->runState(); }
    EncoderStatistics statistics() const override { return m_engine->statistics(); }
    QDateTime firstSampleUtc() const override { return m_engine->firstSampleUtc(); }
    EncoderStatus lastFailure() const override { return m_engine->lastFailure(); }
    void setPreviewEnabled(bool enabled) override { m_engine->setPreviewEnabled(enabled); }
    bool previewEnabled() const override { return m_engine->previewEnabled(); }

private:
    std::unique_ptr<Encoder> m_engine;
    const QString m_livePicture;
    QString m_videoInput;
    QString m_audioInput;
};

class LivePictureEngine final : public EncoderFactory {
public:
    LivePictureEngine(EncoderFactory& engine, QString livePicture)
        : m_engine(engine), m_livePicture(std::move(livePicture)) {}
    std::unique_ptr<Encoder> create(EncoderStatus* status) override {
        std::unique_ptr<Encoder> engine = m_engine.create(status);
        if (!engine) return nullptr;
        return std::make_unique<LivePictureEncoder>(std::move(engine), m_livePicture);
    }

private:
    EncoderFactory& m_engine;
    const QString m_livePicture;
};

bool writeText(const QString& path, const QString& text) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

// The channel's program folder: its settings, a last state choosing the test
// card and the first sound card, and the subtitle maker.
bool prepareFolder(const QDir& folder, const QString& shortName) {
    if (!folder.mkpath(QStringLiteral("."))) return false;
    const QDir programs(QStringLiteral(KELM_PROGRAM_DIR));
    for (const char* file : {"video.wmv", "tiplon"}) {
        const QString target = folder.filePath(QLatin1String(file));
        QFile::remove(target);
        if (!QFile::copy(programs.filePath(QLatin1String(file)), target)) return false;
    }
    const QString crlf = QStringLiteral("\r\n");
    return writeText(folder.filePath(QStringLiteral("kelm.ini")),
                     QStringLiteral("Csatorna ") + shortName + crlf + shortName + crlf +
                         folder.filePath(QStringLiteral("video.wmv")) + crlf +
                         QStringLiteral("/usr/bin/mpv") + crlf + QStringLiteral("1") + crlf +
                         folder.filePath(QStringLiteral("Media")) + crlf) &&
           writeText(folder.filePath(shortName + QStringLiteral(".ini")),
                     crlf + crlf + QStringLiteral("00:00:00\r\n00:00:00\r\n00:00:00\r\n") +
                         kCardName + crlf + QStringLiteral("Composite") + crlf + crlf + crlf +
                         crlf + crlf);
}

}  // namespace
}  // namespace kelm

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 4 && args.size() != 5) {
        QTextStream(stderr) << "usage: channel_bench PROGRAM_DIR SHORT_NAME HH:MM:SS [PATTERN]\n";
        return 2;
    }
    const QDir folder(args.at(1));
    if (!kelm::prepareFolder(folder, args.at(2))) {
        QTextStream(stderr) << "channel_bench: cannot prepare " << folder.path() << "\n";
        return 2;
    }
    kelm::RealBackEnds backEnds;
    kelm::TestCard card;
    kelm::LivePictureEngine engine(
        *backEnds.engine, QStringLiteral("TEST://") + args.value(4, QStringLiteral("ball")));
    kelm::NotedEnd process(true);
    kelm::PrintingMessenger messenger(false);
    kelm::MainWindowDeps deps;
    deps.programDir = folder.absolutePath();
    deps.arguments = {args.at(3)};
    backEnds.fill(deps);
    deps.videoDevices = &card;
    deps.encoderFactory = &engine;
    deps.process = &process;
    deps.messenger = &messenger;
    kelm::MainWindow window(std::move(deps));
    window.start();
    const int status = process.ended() ? 1 : QApplication::exec();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    QTextStream(stdout) << "cpu_s=" << cpu << " max_rss_kb=" << usage.ru_maxrss << "\n";
    return status;
}
