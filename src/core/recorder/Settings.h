#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace kelm {

// The channel settings every part of KELM reads, kept in "kelm.ini" in the
// program folder, one value per line in this order. The seventh line, the
// days recordings are kept, may be missing: a six-line file keeps them all.
struct Settings {
    QString channelName;
    QString channelShortName;
    QString encVideo;     // picture/video file used as "Videó fájl"; absolute once read
    QString fileMPlayer;  // media player for preview playback
    std::uint8_t makeTimecode = 1;
    QString mediaDir;  // recordings folder, absolute once read, no trailing separator
    int keepDays = 0;  // recordings older than this many days are deleted; 0: kept forever

    static Settings defaults(const QString& programDir);
    QStringList toLines() const;
};

// What reading the settings file did, so start-up can log it once the day's
// log is open.
struct SettingsLoad {
    enum class Outcome {
        Read,               // six or more lines read
        CreatedDefaults,    // no file: created with the defaults
        ReplacedShortFile,  // fewer than six lines: deleted and recreated
        Unreadable,         // exists but cannot be read: defaults in memory, file untouched
        NotWritable,        // defaults could not be written: defaults in memory
    };
    Settings settings;
    Outcome outcome = Outcome::Read;
    // Problems with single values that were replaced in memory (the file keeps
    // them), one message each, in Hungarian, ready for the log.
    QStringList warnings;
};

namespace SettingsFile {

inline constexpr auto kFileName = "kelm.ini";

// Reads the settings file of the program folder, or creates it with the
// defaults (also when it has fewer than six lines). Lines after the seventh
// are ignored and kept.
SettingsLoad readOrCreate(const QString& programDir);

// The settings as KELM uses them: an empty media folder replaced by the
// default one, the folder without trailing separators, and a relative folder
// or picture file taken from the program folder. Reading applies this, so
// whatever is written should have it applied first.
Settings resolved(const QString& programDir, Settings settings);

// Writes exactly seven lines. False when the file could not be written.
bool write(const QString& programDir, const Settings& settings);

// True when `name` can be the stem of KELM's file names: not empty, at most
// 8 characters, none of \ / : * ? " < > | and no control characters.
bool isValidShortName(const QString& name);

}  // namespace SettingsFile
}  // namespace kelm
