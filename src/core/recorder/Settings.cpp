#include "recorder/Settings.h"

#include "recorder/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kelm {

Settings Settings::defaults(const QString& programDir) {
    const QDir dir(programDir);
    Settings s;
    s.channelName = QStringLiteral("Teszt TV");
    s.channelShortName = QStringLiteral("teszttv");
    s.encVideo = dir.filePath(QStringLiteral("video.wmv"));
    s.fileMPlayer = QStringLiteral("/usr/bin/mpv");
    s.makeTimecode = 1;
    s.mediaDir = dir.filePath(QStringLiteral("Media"));
    return s;
}

QStringList Settings::toLines() const {
    return {
        channelName, channelShortName,         encVideo, fileMPlayer, QString::number(makeTimecode),
        mediaDir,    QString::number(keepDays)};
}

namespace SettingsFile {

bool isValidShortName(const QString& name) {
    if (name.isEmpty() || name.size() > 8 || name == u"." || name == u"..") return false;
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || QStringView(u"\\/:*?\"<>|").contains(c))
            return false;
    }
    return true;
}

namespace {

// Applies the six lines, replacing in memory (never in the file) values that
// would make KELM misbehave.
QString resolveFromProgramDir(const QString& programDir, const QString& path) {
    if (QDir::isAbsolutePath(path)) return path;
    return QDir::cleanPath(QDir(programDir).absoluteFilePath(path));
}

void applyLines(const QString& programDir, const QStringList& lines, const Settings& fallback,
                SettingsLoad& load) {
    Settings& s = load.settings;
    s.channelName = lines.at(0);
    s.channelShortName = lines.at(1);
    s.encVideo = lines.at(2);
    s.fileMPlayer = lines.at(3);
    s.mediaDir = lines.at(5);

    bool ok = false;
    const uint timecode = lines.at(4).trimmed().toUInt(&ok);
    // Anything that is not a whole number 0..255 keeps subtitles on: a missing
    // timecode file is worse than an unwanted one.
    s.makeTimecode = ok && timecode <= 255 ? std::uint8_t(timecode) : 1;
    if (!(ok && timecode <= 255))
        load.warnings << QStringLiteral("Hibás időkód beállítás a kelm.ini 5. sorában: %1")
                             .arg(lines.at(4).left(40));

    // The short name is the stem of the state, log and recording file names: a
    // name that is not a valid file name would put files outside their folders.
    if (!isValidShortName(s.channelShortName)) {
        load.warnings << QStringLiteral(
                             "Hibás csatorna rövid név a kelm.ini 2. sorában, helyette: %1")
                             .arg(fallback.channelShortName);
        s.channelShortName = fallback.channelShortName;
    }
    if (s.mediaDir.trimmed().isEmpty())
        load.warnings << QStringLiteral("Üres media mappa a kelm.ini 6. sorában, helyette: %1")
                             .arg(fallback.mediaDir);

    // Days to keep: missing or empty keeps everything. Anything else that is
    // not a whole number of days keeps everything too: deleting by a value
    // nobody meant would lose recordings.
    const QString keep = lines.size() > 6 ? lines.at(6).trimmed() : QString();
    const int days = keep.toInt(&ok);
    s.keepDays = !keep.isEmpty() && ok && days > 0 ? days : 0;
    if (!keep.isEmpty() && !(ok && days >= 0))
        load.warnings << QStringLiteral(
                             "Hibás megőrzési idő a kelm.ini 7. sorában, minden felvétel "
                             "megmarad: %1")
                             .arg(lines.at(6).left(40));
    s = resolved(programDir, s);
}

}  // namespace

Settings resolved(const QString& programDir, Settings s) {
    if (s.mediaDir.trimmed().isEmpty()) s.mediaDir = Settings::defaults(programDir).mediaDir;
    while (s.mediaDir.size() > 1 && s.mediaDir.endsWith(u'/')) s.mediaDir.chop(1);
    // A relative folder or file means one beside the program, wherever KELM
    // was started from (a timer or a desktop entry has its own working folder).
    s.mediaDir = resolveFromProgramDir(programDir, s.mediaDir);
    if (!s.encVideo.trimmed().isEmpty()) s.encVideo = resolveFromProgramDir(programDir, s.encVideo);
    return s;
}

SettingsLoad readOrCreate(const QString& programDir) {
    const QString path = QDir(programDir).filePath(QString::fromLatin1(kFileName));
    const Settings defaults = Settings::defaults(programDir);
    SettingsLoad load;
    load.settings = defaults;

    if (QFileInfo::exists(path)) {
        const auto lines = TextFile::readLines(path);
        if (!lines) {
            load.outcome = SettingsLoad::Outcome::Unreadable;
            return load;
        }
        if (lines->size() >= 6) {
            applyLines(programDir, *lines, defaults, load);
            load.outcome = SettingsLoad::Outcome::Read;
            return load;
        }
        QFile::remove(path);
        load.outcome = SettingsLoad::Outcome::ReplacedShortFile;
    } else {
        load.outcome = SettingsLoad::Outcome::CreatedDefaults;
    }
    if (!write(programDir, defaults)) load.outcome = SettingsLoad::Outcome::NotWritable;
    return load;
}

bool write(const QString& programDir, const Settings& settings) {
    return TextFile::writeLines(QDir(programDir).filePath(QString::fromLatin1(kFileName)),
                                settings.toLines());
}

}  // namespace SettingsFile
}  // namespace kelm
