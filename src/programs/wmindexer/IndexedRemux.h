#pragma once

#include <string>

namespace kelm {

// Copies the audio and video streams of a recording, packet for packet, into
// a new ASF file that libavformat's muxer finishes with its index. A recording
// whose writer was killed (no trailer, no index, perhaps a torn last packet)
// comes out whole up to its last complete packet.
//
// The output is written beside its final name and renamed into place only
// when complete. Returns false with a reason when nothing usable was written.
bool remuxWithIndex(const std::string& inputPath, const std::string& outputPath,
                    std::string* error);

}  // namespace kelm
