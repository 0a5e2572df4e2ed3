/*
 * The run-time library's low-level file functions over real POSIX
 * descriptors.  Paths go through the machine's path layer; the descriptors
 * opened here are remembered so that _read, _lseek and _close refuse any
 * other number, and machine_reset closes those left open.
 */
#include <plat/codepage.h>
#include <plat/crt_io.h>
#include <plat/machine.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdarg>
#include <mutex>
#include <set>
#include <string>

namespace {

struct CrtState {
    std::mutex lock;
    std::set<int> open_fds;
    int fail_close = 0;
    int fail_read = 0;
};

CrtState &crt()
{
    static CrtState s;
    return s;
}

void crt_reset()
{
    CrtState &s = crt();
    std::lock_guard<std::mutex> g(s.lock);
    for (int fd : s.open_fds)
        ::close(fd);
    s.open_fds.clear();
    s.fail_close = 0;
    s.fail_read = 0;
}

const bool crt_hook_registered = (plat::machine_on_reset(&crt_reset), true);

bool is_open(int fd)
{
    CrtState &s = crt();
    std::lock_guard<std::mutex> g(s.lock);
    return s.open_fds.count(fd) != 0;
}

/* Takes one injected failure from `counter`, if any is pending. */
bool take_failure(int CrtState::*counter)
{
    CrtState &s = crt();
    std::lock_guard<std::mutex> g(s.lock);
    if (s.*counter <= 0)
        return false;
    s.*counter -= 1;
    return true;
}

constexpr int kKnownFlags = _O_RDONLY | _O_WRONLY | _O_RDWR | _O_APPEND | _O_RANDOM | _O_SEQUENTIAL | _O_NOINHERIT |
                            _O_CREAT | _O_TRUNC | _O_EXCL | _O_TEXT | _O_BINARY;

/* Opens the Windows path `path` with run-time flags; `pmode` counts with _O_CREAT. */
int open_mapped(std::u16string_view path, int oflag, int pmode)
{
    if ((oflag & ~kKnownFlags) != 0 || (oflag & 3) == 3 || ((oflag & _O_TEXT) && (oflag & _O_BINARY))) {
        errno = EINVAL;
        return -1;
    }
    std::string real;
    if (path.empty() || !plat::map_path(path, real)) {
        errno = ENOENT;
        return -1;
    }
    int flags = O_CLOEXEC;
    flags |= (oflag & 3) == _O_WRONLY ? O_WRONLY : (oflag & 3) == _O_RDWR ? O_RDWR : O_RDONLY;
    if ((oflag & 3) != _O_RDONLY || (oflag & _O_TRUNC))
        flags |= O_NOFOLLOW; /* never written through a symbolic link planted in the file's place */
    if (oflag & _O_APPEND)
        flags |= O_APPEND;
    if (oflag & _O_CREAT)
        flags |= O_CREAT;
    if (oflag & _O_TRUNC)
        flags |= O_TRUNC;
    if (oflag & _O_EXCL)
        flags |= O_EXCL;
    mode_t mode = (pmode & _S_IWRITE) ? 0666 : 0444;
    int fd = ::open(real.c_str(), flags, mode);
    if (fd < 0) {
        if (errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP)
            errno = ENOENT;
        else if (errno == EISDIR)
            errno = EACCES;
        return -1;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        /* Windows opens no folder as a file. */
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    CrtState &s = crt();
    std::lock_guard<std::mutex> g(s.lock);
    s.open_fds.insert(fd);
    return fd;
}

/* The permission argument, which the caller passes only with _O_CREAT. */
int creation_mode(int oflag, va_list ap)
{
    return (oflag & _O_CREAT) ? va_arg(ap, int) : 0;
}

} // namespace

int _open(const char *filename, int oflag, ...)
{
    va_list ap;
    va_start(ap, oflag);
    int pmode = creation_mode(oflag, ap);
    va_end(ap);
    if (!filename) {
        errno = EINVAL;
        return -1;
    }
    /* an ANSI path, in the machine's ANSI code page */
    std::u16string wide = plat::ansi_to_utf16(filename);
    if ((wide.empty() && *filename) || wide.find(u'\uFFFD') != std::u16string::npos) {
        errno = EINVAL;
        return -1;
    }
    return open_mapped(wide, oflag, pmode);
}

int _wopen(const WCHAR *filename, int oflag, ...)
{
    va_list ap;
    va_start(ap, oflag);
    int pmode = creation_mode(oflag, ap);
    va_end(ap);
    if (!filename) {
        errno = EINVAL;
        return -1;
    }
    return open_mapped(std::u16string_view(filename), oflag, pmode);
}

int _read(int fd, void *buffer, unsigned int count)
{
    if (!is_open(fd)) {
        errno = EBADF;
        return -1;
    }
    if (!buffer || count > unsigned(INT_MAX)) {
        errno = EINVAL;
        return -1;
    }
    if (take_failure(&CrtState::fail_read)) {
        errno = EIO;
        return -1;
    }
    ssize_t n;
    do
        n = ::read(fd, buffer, count);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (errno != EBADF)
            errno = EIO;
        return -1;
    }
    return int(n);
}

LONG _lseek(int fd, LONG offset, int origin)
{
    if (!is_open(fd)) {
        errno = EBADF;
        return -1;
    }
    if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END) {
        errno = EINVAL;
        return -1;
    }
    off_t old = ::lseek(fd, 0, SEEK_CUR);
    off_t pos = ::lseek(fd, off_t(offset), origin);
    if (pos < 0) {
        errno = EINVAL;
        return -1;
    }
    if (pos > off_t(INT32_MAX)) {
        ::lseek(fd, old, SEEK_SET);
        errno = EINVAL;
        return -1;
    }
    return LONG(pos);
}

int _close(int fd)
{
    {
        CrtState &s = crt();
        std::lock_guard<std::mutex> g(s.lock);
        if (s.open_fds.erase(fd) == 0) {
            errno = EBADF;
            return -1;
        }
    }
    int rc = ::close(fd);
    if (take_failure(&CrtState::fail_close) || rc != 0) {
        errno = EIO;
        return -1;
    }
    return 0;
}

namespace plat {

void crt_fail_close(int count)
{
    CrtState &s = crt();
    std::lock_guard<std::mutex> g(s.lock);
    s.fail_close = count > 0 ? count : 0;
}

void crt_fail_read(int count)
{
    CrtState &s = crt();
    std::lock_guard<std::mutex> g(s.lock);
    s.fail_read = count > 0 ? count : 0;
}

int crt_open_count()
{
    CrtState &s = crt();
    std::lock_guard<std::mutex> g(s.lock);
    return int(s.open_fds.size());
}

} // namespace plat
