#pragma once

#include <QString>

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

}  // namespace OutputFileName
}  // namespace kelm
