/*
 * The files of the machine folder's stores (see store_file.h): the lock
 * between processes and its change stamp, whole-file reads without links,
 * atomic saves and damaged files kept aside.
 */
#include "store_file.h"

#include <plat/fault.h>
#include <plat/file_replace.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace plat::storefile {

namespace {

/* Writes all `n` bytes at `p`; 0 or an errno value. */
int write_all(int fd, const BYTE *p, size_t n)
{
    while (n > 0) {
        ssize_t k = ::write(fd, p, n);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return k < 0 ? errno : EIO;
        p += k;
        n -= size_t(k);
    }
    return 0;
}

/* A number no other process or save is likely to pick: time, process and a counter mixed. */
uint64_t fresh_number()
{
    static std::atomic<uint64_t> counter{0};
    static thread_local std::mt19937_64 rng(std::random_device{}());
    uint64_t t = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    return rng() ^ (t * 0x9E3779B97F4A7C15ull) ^ (uint64_t(::getpid()) << 32) ^ counter.fetch_add(1);
}

/* Flushes the folder that holds `path`, so that a rename in it is on disk. */
void flush_folder(const std::string &path)
{
    size_t slash = path.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

FileLock::~FileLock()
{
    if (fd_ >= 0 && owner_ == ::getpid())
        ::close(fd_);
}

void FileLock::set_path(const std::string &path)
{
    if (fd_ >= 0 && owner_ == ::getpid())
        ::close(fd_);
    fd_ = -1;
    held_ = false;
    path_ = path;
}

bool FileLock::open_file()
{
    if (fd_ >= 0 && owner_ == ::getpid())
        return true;
    /* A descriptor inherited over fork shares the parent's lock: the child opens its own (and leaves that one). */
    fd_ = -1;
    size_t slash = path_.find_last_of('/');
    if (slash != std::string::npos && slash > 0)
        make_folders(path_.substr(0, slash));
    int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd < 0)
        return false;
    struct stat sb;
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return false;
    }
    fd_ = fd;
    owner_ = ::getpid();
    return true;
}

bool FileLock::lock()
{
    if (path_.empty() || !open_file()) {
        failure_ = path_.empty() ? EINVAL : errno;
        return false;
    }
    while (::flock(fd_, LOCK_EX) != 0)
        if (errno != EINTR) {
            failure_ = errno;
            return false;
        }
    held_ = true;
    failure_ = 0;
    return true;
}

std::string FileLock::why_not() const
{
    if (failure_ == 0)
        return std::string();
    if (failure_ == ELOOP)
        return "it is a symbolic link";
    if (failure_ == EINVAL || failure_ == EISDIR)
        return "it is not a file";
    return std::strerror(failure_);
}

void FileLock::unlock()
{
    if (held_ && fd_ >= 0)
        ::flock(fd_, LOCK_UN);
    held_ = false;
}

uint64_t FileLock::read_stamp()
{
    BYTE b[8] = {};
    if (fd_ < 0 || ::pread(fd_, b, sizeof b, 0) != ssize_t(sizeof b))
        return 0;
    uint64_t v = 0;
    for (int i = 0; i < 8; i++)
        v |= uint64_t(b[i]) << (8 * i);
    return v;
}

uint64_t FileLock::write_new_stamp()
{
    uint64_t v = fresh_number() | 1; /* never 0, which means "no save yet" */
    BYTE b[8];
    for (int i = 0; i < 8; i++)
        b[i] = BYTE(v >> (8 * i));
    if (fd_ >= 0 && ::pwrite(fd_, b, sizeof b, 0) == ssize_t(sizeof b))
        return v;
    return 0; /* unrecorded: every process re-reads the store at its next change */
}

int read_file(const std::string &path, std::vector<BYTE> &out, size_t limit)
{
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK); /* a planted FIFO never blocks */
    if (fd < 0)
        return errno;
    struct stat sb;
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        int e = errno ? errno : EINVAL;
        ::close(fd);
        return S_ISDIR(sb.st_mode) ? EISDIR : e;
    }
    if (DWORD injected = fault_store_read_error()) {
        ::close(fd);
        return injected == ERROR_ACCESS_DENIED ? EACCES : EIO;
    }
    BYTE chunk[65536];
    for (;;) {
        ssize_t k = ::read(fd, chunk, sizeof chunk);
        if (k < 0 && errno == EINTR)
            continue;
        if (k < 0) {
            int e = errno;
            ::close(fd);
            return e;
        }
        if (k == 0)
            break;
        if (out.size() + size_t(k) > limit) {
            ::close(fd);
            return EFBIG;
        }
        out.insert(out.end(), chunk, chunk + k);
    }
    ::close(fd);
    return 0;
}

int write_atomically(const std::string &path, const void *data, size_t size)
{
    if (fault_disk_is_full())
        return ENOSPC;
    std::string temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; tries++) {
        char suffix[40];
        std::snprintf(suffix, sizeof suffix, ".new.%d.%016llx", int(::getpid()),
                      static_cast<unsigned long long>(fresh_number()));
        temp = path + suffix;
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    fault_save_step(SAVE_STEP_CREATED);
    const BYTE *p = static_cast<const BYTE *>(data);
    int err = write_all(fd, p, size / 2);
    if (!err) {
        fault_save_step(SAVE_STEP_HALF_WRITTEN);
        err = write_all(fd, p + size / 2, size - size / 2);
    }
    if (!err) {
        fault_save_step(SAVE_STEP_WRITTEN);
        if (::fsync(fd) != 0)
            err = errno;
    }
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err) {
        fault_save_step(SAVE_STEP_FLUSHED);
        if (::rename(temp.c_str(), path.c_str()) != 0)
            err = errno;
    }
    if (err) {
        ::unlink(temp.c_str());
        return err;
    }
    fault_save_step(SAVE_STEP_RENAMED);
    flush_folder(path);
    return 0;
}

int remove_stale_temporaries(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".new.";
    DIR *d = ::opendir(dir.c_str());
    if (!d)
        return 0;
    int removed = 0;
    while (const dirent *e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0)
            continue;
        char *end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || *end != '.')
            continue;
        /* a process that exists (or that we may not signal) may still be writing it */
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)
            continue;
        const std::string full = dir + "/" + name;
        struct stat sb;
        if (::lstat(full.c_str(), &sb) == 0 && S_ISREG(sb.st_mode) && ::unlink(full.c_str()) == 0)
            removed++;
    }
    ::closedir(d);
    return removed;
}

std::string keep_aside(const std::string &path)
{
    for (unsigned n = 1; n < 100000; n++) {
        std::string kept = path + ".bad." + std::to_string(n);
        /* link() never replaces an existing name, so a kept copy is never lost. */
        if (::link(path.c_str(), kept.c_str()) == 0) {
            ::unlink(path.c_str());
            return kept;
        }
        if (errno == EEXIST)
            continue;
        if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP)
            return std::string();
        /* A file system without hard links: rename to a name checked free (the store's lock is held). */
        struct stat sb;
        if (::lstat(kept.c_str(), &sb) == 0)
            continue;
        return ::rename(path.c_str(), kept.c_str()) == 0 ? kept : std::string();
    }
    return std::string();
}

int make_folders(const std::string &path)
{
    if (path.empty())
        return 0;
    struct stat sb;
    if (::stat(path.c_str(), &sb) == 0)
        return S_ISDIR(sb.st_mode) ? 0 : ENOTDIR;
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0)
        if (int e = make_folders(path.substr(0, slash)))
            return e;
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

DWORD error_of_errno(int e)
{
    switch (e) {
    case 0:
        return ERROR_SUCCESS;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_WRITE_FAULT;
    }
}

DWORD read_error_of_errno(int e)
{
    switch (e) {
    case 0:
        return ERROR_SUCCESS;
    case EACCES:
    case EPERM:
    case ELOOP:
        return ERROR_ACCESS_DENIED;
    default:
        return ERROR_READ_FAULT;
    }
}

} // namespace plat::storefile

namespace plat {

int file_replace(const std::string &path, const void *data, size_t size)
{
    struct stat sb;
    if (::lstat(path.c_str(), &sb) == 0 && !S_ISREG(sb.st_mode) && !S_ISLNK(sb.st_mode)) {
        if (S_ISDIR(sb.st_mode))
            return EISDIR;
        if (!S_ISCHR(sb.st_mode))
            return ENODEV;
        /* A character device (/dev/null) takes the bytes as they come; nothing there can be replaced. */
        const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return errno;
        int err = 0;
        const BYTE *p = static_cast<const BYTE *>(data);
        for (size_t left = size; left > 0 && !err;) {
            const ssize_t k = ::write(fd, p, left);
            if (k < 0 && errno == EINTR)
                continue;
            if (k <= 0)
                err = k < 0 ? errno : EIO;
            else
                p += k, left -= size_t(k);
        }
        ::close(fd);
        return err;
    }
    return storefile::write_atomically(path, data, size);
}

std::string file_error_text(int error)
{
    if (error == ELOOP)
        return "it is a symbolic link";
    if (error == ENODEV)
        return "it is a device, FIFO or socket, not a file";
    if (error == EISDIR)
        return "it is a folder";
    return std::strerror(error);
}

} // namespace plat
