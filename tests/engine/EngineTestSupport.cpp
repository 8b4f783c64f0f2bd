#include "EngineTestSupport.h"

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
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void useTestSources(Encoder& encoder) {
    encoder.setVideoInput(QStringLiteral("TEST://ball"));
    encoder.setAudioInput(QStringLiteral("TEST://"));
}

}  // namespace kelm::test
