#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace kelm::test {

// The user-space sound server the tests capture from (its null sink "kelm",
// whose monitor is the default source).
namespace SoundServer {

inline bool running() {
    QProcess p;
    p.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    return p.waitForFinished(5000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline QString pactl(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral("pactl"), arguments);
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The default source's volume of the front-left channel, 0..65536.
inline int sourceVolume() {
    const QString text =
        pactl({QStringLiteral("get-source-volume"), QStringLiteral("@DEFAULT_SOURCE@")});
    // "Volume: front-left: 20000 /  31% / ..."
    const qsizetype at = text.indexOf(QStringLiteral("front-left:"));
    if (at < 0) return -1;
    return text.mid(at + 11).trimmed().section(u' ', 0, 0).toInt();
}

inline void setSourceVolume(int volume) {
    pactl({QStringLiteral("set-source-volume"), QStringLiteral("@DEFAULT_SOURCE@"),
           QString::number(volume)});
}

// Plays a stereo sine of `amplitude` (0..1 of full scale) into the null
// sink, from a raw file written to `path`, until the returned player goes.
inline std::unique_ptr<QProcess> playTone(const QString& path, double amplitude, int seconds = 20,
                                          double hz = 1000.0) {
    std::vector<std::int16_t> pcm(size_t(44100) * 2 * size_t(seconds));
    for (size_t i = 0; i < pcm.size() / 2; ++i) {
        const auto v = std::int16_t(
            std::lround(amplitude * 32767.0 * std::sin(2 * M_PI * hz * double(i) / 44100.0)));
        pcm[2 * i] = v;
        pcm[2 * i + 1] = v;
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(reinterpret_cast<const char*>(pcm.data()), qint64(pcm.size() * 2));
    file.close();
    auto player = std::make_unique<QProcess>();
    player->start(
        QStringLiteral("paplay"),
        {QStringLiteral("--raw"), QStringLiteral("--device=kelm"), QStringLiteral("--format=s16le"),
         QStringLiteral("--rate=44100"), QStringLiteral("--channels=2"), path});
    player->waitForStarted(5000);
    return player;
}

}  // namespace SoundServer
}  // namespace kelm::test
