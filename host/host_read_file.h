/*
 * Reading a whole input file of the host's verbs into memory: the file is
 * checked for its kind (a regular file, never a folder, device, FIFO or
 * socket, which could block or never end) and its size before a byte is
 * read, and the read stops at the size limit whatever the file does.
 */
#ifndef TARVEL_HOST_READ_FILE_H
#define TARVEL_HOST_READ_FILE_H

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

namespace host {

/*
 * Checks that `path` names a regular file of at most `largest` bytes
 * (`largestText` says that size in words, "64 MiB").  Its size in `size`;
 * false with a message naming the file and the reason otherwise.
 */
inline bool host_check_input(const std::string &path, size_t largest, const char *largestText, size_t &size,
                             std::string &error)
{
    struct stat sb;
    if (::stat(path.c_str(), &sb) != 0) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(sb.st_mode)) {
        error = "'" + path + "' is a folder, not a file";
        return false;
    }
    if (!S_ISREG(sb.st_mode)) {
        error = "'" + path + "' is a device, FIFO or socket, not a file";
        return false;
    }
    if (uintmax_t(sb.st_size) > largest) {
        error = "'" + path + "' is larger than " + largestText;
        return false;
    }
    size = size_t(sb.st_size);
    return true;
}

/*
 * Reads the file at `path` whole into `bytes` (a string or a vector of
 * bytes).  False with a message naming the file and the reason when it is
 * not a regular file, is larger than `largest` bytes, or cannot be opened
 * or read.  An empty file reads as no bytes.
 */
template <class Bytes>
bool host_read_file(const std::string &path, size_t largest, const char *largestText, Bytes &bytes,
                    std::string &error)
{
    static_assert(sizeof(*bytes.data()) == 1, "a container of bytes");
    size_t size = 0;
    if (!host_check_input(path, largest, largestText, size, error))
        return false;
    /* Not blocking: a file swapped for a FIFO after the check is refused below, never waited on. */
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat sb;
    if (fd < 0 || ::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        error = "cannot open '" + path + "': " + (fd < 0 ? std::strerror(errno) : "it is not a regular file");
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    bytes.resize(size);
    size_t got = 0;
    while (got < size) {
        const ssize_t k = ::read(fd, reinterpret_cast<char *>(bytes.data()) + got, size - got);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0) {
            error = "cannot read '" + path + "': " + (k < 0 ? std::strerror(errno) : "it became shorter while read");
            ::close(fd);
            return false;
        }
        got += size_t(k);
    }
    ::close(fd);
    return true;
}

} // namespace host

#endif /* TARVEL_HOST_READ_FILE_H */
