#pragma once

#include <string>

namespace kelm::RegularFile {

// Error numbers above errno's range for a path that exists but is not a
// regular file. Writing through such a path would block on a FIFO, feed a
// device, or, through a symbolic link, overwrite whatever the link points at.
inline constexpr int kSymbolicLink = 0x10001;
inline constexpr int kNotRegular = 0x10002;

// Opens `path` for writing as a regular file, created when absent and emptied
// when present; never follows a symbolic link and never waits on a FIFO.
// Returns the descriptor (close-on-exec) or -1 with `*errorNumber` set to an
// errno value or one of the numbers above.
int openForWriting(const std::string& path, int* errorNumber);

// strerror's text, or what the numbers above mean.
std::string errorText(int errorNumber);

}  // namespace kelm::RegularFile
