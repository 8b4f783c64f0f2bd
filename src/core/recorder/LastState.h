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
    // Rewrites one line of an existing file in place, keeping the others; the
    // file then ends with an empty twelfth line.
    static bool saveLine(const QString& path, int number, const QString& value);
};

}  // namespace kelm
