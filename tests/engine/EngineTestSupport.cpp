#include "EngineTestSupport.h"

#include <malloc.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include "GstHandles.h"

#include <gst/app/gstappsink.h>

namespace kelm::test {

bool waitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

void spin(int ms) {
    waitFor([] { return false; }, ms);
}

ToolResult runTool(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.start(program, args);
    ToolResult r;
    if (!p.waitForStarted(10000)) return r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QJsonObject probe(const QString& path) {
    const ToolResult r =
        runTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-show_format"), QStringLiteral("-show_streams"),
                 QStringLiteral("-of"), QStringLiteral("json"), path});
    if (r.exitCode != 0) return {};
    return QJsonDocument::fromJson(r.out).object();
}

QJsonObject streamOf(const QJsonObject& probed, const QString& type) {
    for (const QJsonValue& s : probed.value(QStringLiteral("streams")).toArray())
        if (s.toObject().value(QStringLiteral("codec_type")).toString() == type)
            return s.toObject();
    return {};
}

int decodedVideoFrames(const QString& path) {
    const ToolResult r =
        runTool(QStringLiteral("ffmpeg"),
                {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-i"),
                 path, QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-f"),
                 QStringLiteral("null"), QStringLiteral("-")});
    if (r.exitCode != 0) return -1;
    // The last progress line carries the total: "frame=  125 fps=..."
    const QRegularExpression frames(QStringLiteral("frame=\\s*(\\d+)"));
    int last = -1;
    for (auto it = frames.globalMatch(QString::fromUtf8(r.err)); it.hasNext();)
        last = it.next().captured(1).toInt();
    return last;
}

int gstDecodedVideoFrames(const QString& path) {
    gst_init(nullptr, nullptr);
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    const QByteArray description =
        "uridecodebin uri=\"" + uri + "\" caps=video/x-raw ! appsink name=out sync=false";
    GError* error = nullptr;
    gst::Pipeline pipeline(gst::adoptElement(gst_parse_launch(description.constData(), &error)));
    gst::ErrorPtr parseError(error);
    if (!pipeline || parseError) return -1;
    gst::ElementPtr sink(gst_bin_get_by_name(pipeline.bin(), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    int frames = 0;
    for (;;) {
        gst::SamplePtr sample(
            gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND));
        if (!sample) break;
        ++frames;
    }
    const bool ended = gst_app_sink_is_eos(GST_APP_SINK(sink.get()));
    return ended ? frames : -1;
}

int openFdCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                                .size());
}

QStringList openFds() {
    QStringList out;
    const QDir dir(QStringLiteral("/proc/self/fd"));
    for (const QFileInfo& fd :
         dir.entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System))
        out << fd.fileName() + QStringLiteral(" -> ") + fd.symLinkTarget();
    return out;
}

int threadCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                .entryList(QDir::NoDotAndDotDot | QDir::Dirs)
                                .size());
}

qint64 residentKb() {
    // Memory the allocator keeps for reuse is not the engine's: freed memory
    // goes back to the system first. Without this the figure follows how
    // many allocator arenas the threads happened to spread over, which
    // depends on the machine's load.
    malloc_trim(0);
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void useTestSources(RecordingEngine& encoder) {
    encoder.setVideoInput(QStringLiteral("TEST://ball"));
    encoder.setAudioInput(QStringLiteral("TEST://"));
}

}  // namespace kelm::test
