#include "subtitle/TiplonMarkers.h"

#include "subtitle/RegularFile.h"
#include "subtitle/TimecodeFile.h"

#include <unistd.h>

namespace kelm {

namespace {

std::string createEmptyFile(const std::string& path) {
    int error = 0;
    const int fd = RegularFile::openForWriting(path, &error);
    if (fd < 0) return "cannot create " + path + ": " + RegularFile::errorText(error);
    ::close(fd);
    return std::string();
}

const char* const kUnnamed = "no marker can be named after the recording path";

}  // namespace

TiplonMarkers::TiplonMarkers(const std::string& recordingPath)
    : m_base(TimecodeFile::withoutLastCharacters(recordingPath, 4)) {}

std::string TiplonMarkers::startMarkerPath() const {
    return canBeNamed() ? m_base + ".startsub" : std::string();
}

std::string TiplonMarkers::stopMarkerPath() const {
    return canBeNamed() ? m_base + ".stopsub" : std::string();
}

std::string TiplonMarkers::createStartMarker() const {
    return canBeNamed() ? createEmptyFile(startMarkerPath()) : kUnnamed;
}

std::string TiplonMarkers::createStopMarker() const {
    return canBeNamed() ? createEmptyFile(stopMarkerPath()) : kUnnamed;
}

}  // namespace kelm
