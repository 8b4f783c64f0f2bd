#pragma once

#include <cstdint>
#include <string>

namespace kelm {

// How much of an ASF file a reader may take: the whole file when its data
// object is complete, otherwise (a copy taken while the recording grew) up to
// the end of its last complete data packet. ASF data packets all have the size
// the file properties give, so a torn last packet is cut off whole; a frame
// that began in the complete packets but continued into the torn one is then
// incomplete, and the demuxer leaves it out.
//
// Returns -1 when the file is not ASF or its header cannot be read; the caller
// then reads the whole file.
std::int64_t asfReadableBytes(const std::string& path);

}  // namespace kelm
