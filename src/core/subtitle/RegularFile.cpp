#include "subtitle/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace kelm::RegularFile {

namespace {

int refusalFor(const struct stat& st) {
    if (S_ISLNK(st.st_mode)) return kSymbolicLink;
    if (S_ISDIR(st.st_mode)) return EISDIR;
    return S_ISREG(st.st_mode) ? 0 : kNotRegular;
}

}  // namespace

int openForWriting(const std::string& path, int* errorNumber) {
    *errorNumber = 0;
    // A look first, so a device is never opened (opening some has effects of
    // its own) and an existing file is not emptied before it was checked.
    struct stat before {};
    if (::lstat(path.c_str(), &before) == 0) {
        if (const int refusal = refusalFor(before); refusal != 0) {
            *errorNumber = refusal;
            return -1;
        }
    }
    // Something may take the name between the look and the open: O_NOFOLLOW
    // refuses a link put there, O_NONBLOCK keeps a FIFO from blocking, and the
    // check of the opened file catches the rest before anything is written.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        *errorNumber = errno == ELOOP ? kSymbolicLink : errno == ENXIO ? kNotRegular : errno;
        return -1;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || refusalFor(opened) != 0) {
        *errorNumber = refusalFor(opened) != 0 ? refusalFor(opened) : errno;
        ::close(fd);
        return -1;
    }
    if (::ftruncate(fd, 0) != 0) {
        *errorNumber = errno;
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

std::string errorText(int errorNumber) {
    switch (errorNumber) {
        case kSymbolicLink:
            return "it is a symbolic link; refused, so nothing it points at is overwritten";
        case kNotRegular:
            return "it is a FIFO, socket or device, not a regular file; refused";
        default:
            return std::strerror(errorNumber);
    }
}

}  // namespace kelm::RegularFile
