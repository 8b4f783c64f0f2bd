#include "subtitle/TiplonMarkers.h"

#include <QFile>

namespace kelm {

namespace {

QString createEmptyFile(const QString& path) {
    QFile marker(path);
    if (!marker.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot create %1: %2").arg(path, marker.errorString());
    return QString();
}

}  // namespace

TiplonMarkers::TiplonMarkers(const QString& recordingPath) {
    const qsizetype nameLength = recordingPath.size() - (recordingPath.lastIndexOf(u'/') + 1);
    if (nameLength > 4)
        m_base = recordingPath.chopped(4);
}

QString TiplonMarkers::startMarkerPath() const {
    return canBeNamed() ? m_base + QStringLiteral(".startsub") : QString();
}

QString TiplonMarkers::stopMarkerPath() const {
    return canBeNamed() ? m_base + QStringLiteral(".stopsub") : QString();
}

QString TiplonMarkers::createStartMarker() const {
    return canBeNamed() ? createEmptyFile(startMarkerPath())
                        : QStringLiteral("no marker can be named after the recording path");
}

QString TiplonMarkers::createStopMarker() const {
    return canBeNamed() ? createEmptyFile(stopMarkerPath())
                        : QStringLiteral("no marker can be named after the recording path");
}

}  // namespace kelm
