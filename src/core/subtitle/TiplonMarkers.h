#pragma once

#include <QString>

namespace kelm {

// The two files through which KELM watches a `tiplon` run: the recording path
// without its last four characters (the ".wmv"), plus ".startsub" when the run
// begins and ".stopsub" when it has ended. KELM deletes the stop marker once
// it has seen it.
class TiplonMarkers final {
public:
    explicit TiplonMarkers(const QString& recordingPath);

    // False when the file name part of the path is too short to lose four
    // characters; the markers would then land beside the wrong folder.
    bool canBeNamed() const { return !m_base.isEmpty(); }
    QString startMarkerPath() const;
    QString stopMarkerPath() const;

    // Create the marker as an empty file. Return an empty text, or why it
    // could not be created.
    QString createStartMarker() const;
    QString createStopMarker() const;

private:
    QString m_base;
};

}  // namespace kelm
