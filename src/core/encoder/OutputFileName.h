#pragma once

#include <QDate>
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

// The day in the name of one of `channelShortName`'s recordings (a file
// name without its folder, extended names included); nullopt for any other
// name: another channel's, a preview copy, a subtitle file, a stray file.
std::optional<QDate> recordingDay(const QString& fileName, const QString& channelShortName);

}  // namespace OutputFileName
}  // namespace kelm
