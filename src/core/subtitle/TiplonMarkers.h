#pragma once

#include <string>

namespace kelm {

// The two files through which KELM watches a `tiplon` run: the recording path
// without its last four characters (the ".wmv"), plus ".startsub" when the run
// begins and ".stopsub" when it has ended. KELM deletes the stop marker once
// it has seen it. Plain C++ (see TimecodeFile.h).
class TiplonMarkers final {
public:
    explicit TiplonMarkers(const std::string& recordingPath);

    // False when the file name part of the path is not longer than four
    // characters; the markers would then land beside the wrong folder.
    bool canBeNamed() const { return !m_base.empty(); }
    std::string startMarkerPath() const;
    std::string stopMarkerPath() const;

    // Create the marker as an empty file. Return an empty text, or why it
    // could not be created.
    std::string createStartMarker() const;
    std::string createStopMarker() const;

private:
    std::string m_base;
};

}  // namespace kelm
