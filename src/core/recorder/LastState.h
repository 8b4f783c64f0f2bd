#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace kelm {

// The operator's last choices in the main window, kept in "<short name>.ini" in
// the program folder, one value per line in this order.
struct LastState {
    enum Line {
        AudioSource = 1,
        AudioInput,
        StartTime,
        EndTime,
        Duration,
        VideoSource,
        VideoInput,
        TvChannel,
        PixelFormat,
        TvType,
        TvStandard,
        LineCount = TvStandard
    };

    QStringList lines = QStringList(LineCount, QString());
    // How many lines the file held when loaded (a short file restores only
    // these; the controls keep their values for the others).
    int linesRead = LineCount;

    bool has(int number) const { return number >= 1 && number <= linesRead; }

    QString line(int number) const {
        return number >= 1 && number <= lines.size() ? lines.at(number - 1) : QString();
    }
    void setLine(int number, const QString& value);

    static QString path(const QString& programDir, const QString& channelShortName);
    // Writes the eleven lines. False when the file could not be written.
    bool save(const QString& path) const;
    // Reads as many lines as the file has (missing ones stay empty; a twelfth,
    // empty line is ignored). nullopt when the file cannot be read.
    static std::optional<LastState> load(const QString& path);
    // Rewrites one line of an existing file in place: the file's first twelve
    // lines, missing ones empty, with line `number` replaced (so an eleven-line
    // file gains an empty twelfth line). False, and the file left unchanged,
    // when it does not exist, cannot be written, or has more than twelve lines.
    static bool saveLine(const QString& path, int number, const QString& value);
    static constexpr int kRewrittenLines = 12;
};

}  // namespace kelm
