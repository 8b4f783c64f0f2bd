#pragma once

#include <QString>
#include <optional>

namespace kelm {

// The media length an ASF (.wmv) file states in its header: the file
// properties object's play duration less its preroll. Only the first 64 kB
// are read. nullopt when the file cannot be read, is no ASF file, or states
// no length: a recording whose writer was killed before its end carries
// none (and a broadcast-flagged file's figures are not valid).
namespace AsfDuration {

std::optional<qint64> lengthMs(const QString& path);
// The same, from the file's first bytes.
std::optional<qint64> lengthMsOfHeader(const QByteArray& head);

}  // namespace AsfDuration
}  // namespace kelm
