#include "seal/AsfDuration.h"

#include <QFile>

namespace kelm::AsfDuration {

namespace {
// The GUIDs as they lie in the file (the first three fields little-endian).
const QByteArray kHeaderObject = QByteArray::fromHex("3026B2758E66CF11A6D900AA0062CE6C");
const QByteArray kFileProperties = QByteArray::fromHex("A1DCAB8C47A9CF118EE400C00C205365");
constexpr qsizetype kHeaderObjectBytes = 30;  // GUID, size, object count, two reserved bytes
constexpr qsizetype kFilePropertiesBytes = 104;
constexpr quint32 kBroadcastFlag = 0x1;

quint64 littleEndian(const QByteArray& bytes, qsizetype at, int size) {
    quint64 v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | quint8(bytes[at + i]);
    return v;
}
}  // namespace

std::optional<qint64> lengthMsOfHeader(const QByteArray& head) {
    if (head.size() < kHeaderObjectBytes || !head.startsWith(kHeaderObject)) return std::nullopt;
    // The header's objects one after another: GUID, then the object's size.
    qsizetype at = kHeaderObjectBytes;
    const qsizetype headerEnd =
        qsizetype(std::min<quint64>(littleEndian(head, 16, 8), quint64(head.size())));
    while (at + 24 <= headerEnd) {
        const quint64 size = littleEndian(head, at + 16, 8);
        if (size < 24 || size > quint64(headerEnd - at)) return std::nullopt;
        if (head.mid(at, 16) == kFileProperties) {
            if (size < quint64(kFilePropertiesBytes)) return std::nullopt;
            const quint64 play100ns = littleEndian(head, at + 64, 8);
            const quint64 prerollMs = littleEndian(head, at + 80, 8);
            const auto flags = quint32(littleEndian(head, at + 88, 4));
            if ((flags & kBroadcastFlag) || play100ns == 0) return std::nullopt;
            const qint64 ms = qint64(play100ns / 10000) - qint64(prerollMs);
            // A header written at the start and never rewritten states only the preroll.
            if (ms <= 0) return std::nullopt;
            return ms;
        }
        at += qsizetype(size);
    }
    return std::nullopt;
}

std::optional<qint64> lengthMs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return lengthMsOfHeader(file.read(64 * 1024));
}

}  // namespace kelm::AsfDuration
