#include "AsfPacketLimit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cstring>
#include <vector>

namespace kelm {

namespace {

// Object GUIDs as they lie in the file.
const unsigned char kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                       0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const unsigned char kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const unsigned char kDataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

constexpr std::int64_t kObjectHeaderBytes = 24;  // GUID and 64-bit size
constexpr std::int64_t kDataObjectHeaderBytes = 50;
// Where the minimum and maximum data packet sizes lie in the file properties.
constexpr std::int64_t kMinPacketSizeOffset = 92;
// No real header is larger; a larger size is a damaged file.
constexpr std::int64_t kMaxHeaderBytes = 64 * 1024 * 1024;

std::uint64_t little(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

bool readAt(int fd, std::int64_t offset, unsigned char* out, std::int64_t bytes) {
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, out, size_t(bytes), offset);
        if (n <= 0) return false;
        out += n;
        offset += n;
        bytes -= n;
    }
    return true;
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

std::int64_t asfReadableBytes(const std::string& path) {
    const Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0) return -1;
    const std::int64_t fileBytes = st.st_size;

    unsigned char top[30];
    if (!readAt(file.fd, 0, top, sizeof top) || std::memcmp(top, kHeaderGuid, 16) != 0) return -1;
    const std::int64_t headerBytes = std::int64_t(little(top + 16, 8));
    if (headerBytes < 30 || headerBytes > kMaxHeaderBytes ||
        headerBytes + kDataObjectHeaderBytes > fileBytes)
        return -1;
    std::vector<unsigned char> header(size_t(headerBytes + kDataObjectHeaderBytes));
    if (!readAt(file.fd, 0, header.data(), std::int64_t(header.size()))) return -1;

    std::int64_t packetBytes = 0;
    for (std::int64_t at = 30; at + kObjectHeaderBytes <= headerBytes;) {
        const unsigned char* object = header.data() + at;
        const std::int64_t objectBytes = std::int64_t(little(object + 16, 8));
        if (objectBytes < kObjectHeaderBytes || at + objectBytes > headerBytes) return -1;
        if (std::memcmp(object, kFilePropertiesGuid, 16) == 0 &&
            objectBytes >= kMinPacketSizeOffset + 8) {
            const auto minimum = little(object + kMinPacketSizeOffset, 4);
            const auto maximum = little(object + kMinPacketSizeOffset + 4, 4);
            if (minimum == maximum) packetBytes = std::int64_t(minimum);
        }
        at += objectBytes;
    }
    const unsigned char* data = header.data() + headerBytes;
    if (packetBytes <= 0 || std::memcmp(data, kDataGuid, 16) != 0) return -1;

    const std::int64_t packetsStart = headerBytes + kDataObjectHeaderBytes;
    const std::int64_t dataBytes = std::int64_t(little(data + 16, 8));
    // A finished file: its data object says where it ends, and it is all there.
    // A growing one still has the size of an empty data object there.
    if (dataBytes > kDataObjectHeaderBytes && headerBytes + dataBytes <= fileBytes &&
        (dataBytes - kDataObjectHeaderBytes) % packetBytes == 0)
        return fileBytes;
    return packetsStart + (fileBytes - packetsStart) / packetBytes * packetBytes;
}

}  // namespace kelm
