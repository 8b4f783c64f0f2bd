#include "subtitle/TiplonMarkers.h"

#include "subtitle/TimecodeFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace kelm {

namespace {

std::string createEmptyFile(const std::string& path) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        return "cannot create " + path + ": " + std::strerror(error);
    }
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
