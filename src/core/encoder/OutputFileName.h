#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace kelm {

// The name of a recording: "<mediaDir>/<short name>-<yyyyMMdd>-<HHmmss start>-
// <HHmmss duration>-<kind>.wmv". The kind names the profile: "R64" when the
// picture comes from a file ("Videó fájl"), "TV512" for every live source.
namespace OutputFileName {

inline const QString kVideoFileSource = QStringLiteral("Videó fájl");

QString kindFor(const QString& videoSourceName);

QString build(const QString& mediaDir, const QString& channelShortName, const QString& todayStamp,
              const QString& startStamp, const QString& durationStamp, const QString& kind);

// The name a recording takes when its own name is held by another recording.
QString extended(const QString& path);

// What the name of a recording of any channel tells (a file name without its
// folder, extended names included); nullopt for any other name. A preview
// copy ("preview-" before a recording's name) is no recording.
struct RecordingName {
    QString channelShortName;
    QDateTime start;  // local time of the first sample, to the second
    qint64 plannedSeconds = 0;
};
std::optional<RecordingName> parse(const QString& fileName);

// The timecode subtitle file beside a recording: its name with the last
// ".wmv" replaced by ".sub" (a folder may come with it).
QString subtitleName(const QString& recordingName);
// Whether `fileName` is the subtitle file of a recording of any channel.
bool isRecordingSubtitle(const QString& fileName);

// The day in the name of one of `channelShortName`'s recordings (extended
// names included); nullopt for any other name: another channel's, a preview
// copy, a subtitle file, a stray file.
std::optional<QDate> recordingDay(const QString& fileName, const QString& channelShortName);

}  // namespace OutputFileName
}  // namespace kelm
