/*
 * I/O on open files: ReadFile and WriteFile (with the injected write faults
 * and the simulated full disk), the file pointer, file size, end of file,
 * flushing and file times.
 *
 * Each open keeps its own file pointer (like a Windows handle), so reads and
 * writes use pread/pwrite at that position under the open's lock.
 */
#include "file_private.h"

#include <plat/error.h>
#include <plat/fault.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace plat::files;

namespace {

constexpr uint64_t kMaxPosition = uint64_t(INT64_MAX);

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

/* The position an I/O call starts at: the OVERLAPPED offset, or the file pointer. */
uint64_t start_position(const FileObject &f, const OVERLAPPED *ov)
{
    return ov ? (uint64_t(ov->OffsetHigh) << 32) | ov->Offset : f.pos;
}

void complete(OVERLAPPED *ov, DWORD status, size_t bytes)
{
    if (ov) {
        ov->Internal = status;
        ov->InternalHigh = bytes;
    }
}

/*
 * The new position of a seek of `distance` by `method`, or a last error:
 * ERROR_NEGATIVE_SEEK before the start, ERROR_INVALID_PARAMETER for an
 * unknown method or a position beyond what a file can hold.
 */
DWORD seek_target(const FileObject &f, int64_t distance, DWORD method, uint64_t *target)
{
    int64_t base;
    switch (method) {
    case FILE_BEGIN:
        base = 0;
        break;
    case FILE_CURRENT:
        base = int64_t(f.pos);
        break;
    case FILE_END: {
        struct stat st;
        if (fstat(f.fd, &st) != 0)
            return ERROR_INVALID_HANDLE;
        base = st.st_size;
        break;
    }
    default:
        return ERROR_INVALID_PARAMETER;
    }
    if (distance > 0 && base > INT64_MAX - distance)
        return ERROR_INVALID_PARAMETER;
    int64_t pos = base + distance;
    if (pos < 0)
        return ERROR_NEGATIVE_SEEK;
    *target = uint64_t(pos);
    return 0;
}

/*
 * The open file for a ReadFile or WriteFile call, after the checks both
 * make: a file handle, opened with `need` access, a buffer for a non-zero
 * size.  Clears *count first.  Null with the last error set.
 */
FileRef io_start(HANDLE file, unsigned need, const void *buffer, DWORD size, LPDWORD count)
{
    if (count)
        *count = 0;
    FileRef f = file_from_handle(file);
    if (!f)
        return nullptr;
    if (!(f->access & need)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (!buffer && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return f;
}

bool may_write_attributes(const FileObject &f)
{
    return (f.access & ACC_WRITE) || (f.rights & FILE_WRITE_ATTRIBUTES);
}

} // namespace

namespace plat::files {

DWORD pread_full(int fd, void *buffer, size_t size, uint64_t pos, size_t *done)
{
    BYTE *out = static_cast<BYTE *>(buffer);
    *done = 0;
    while (*done < size) {
        ssize_t n = pread(fd, out + *done, size - *done, off_t(pos + *done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ERROR_READ_FAULT;
        if (n == 0)
            break; /* end of file */
        *done += size_t(n);
    }
    return 0;
}

DWORD pwrite_full(int fd, const void *buffer, size_t size, uint64_t pos, size_t *done, const std::string &path)
{
    const BYTE *in = static_cast<const BYTE *>(buffer);
    *done = 0;
    while (*done < size) {
        ssize_t n = pwrite(fd, in + *done, size - *done, off_t(pos + *done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return error_from_errno(errno, path);
        if (n == 0)
            return ERROR_WRITE_FAULT;
        *done += size_t(n);
    }
    return 0;
}

DWORD file_times(int dirfd, const char *path, int flags, FILETIME *creation, FILETIME *last_access,
                 FILETIME *last_write)
{
    struct statx sx;
    if (statx(dirfd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return error_from_errno(errno, path);
    auto filetime = [](const struct statx_timestamp &t) {
        struct timespec ts;
        ts.tv_sec = time_t(t.tv_sec);
        ts.tv_nsec = long(t.tv_nsec);
        return filetime_from_timespec(ts);
    };
    if (creation)
        *creation = filetime((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime);
    if (last_access)
        *last_access = filetime(sx.stx_atime);
    if (last_write)
        *last_write = filetime(sx.stx_mtime);
    return 0;
}

DWORD read_all(FileObject &f, std::string &out, size_t limit)
{
    struct stat st;
    if (fstat(f.fd, &st) != 0)
        return ERROR_READ_FAULT;
    if (uint64_t(st.st_size) > limit)
        return ERROR_NOT_ENOUGH_MEMORY;
    out.assign(size_t(st.st_size), '\0');
    size_t done = 0;
    DWORD err = pread_full(f.fd, out.data(), out.size(), 0, &done);
    out.resize(done); /* the file may have shrunk meanwhile */
    return err;
}

DWORD replace_content(FileObject &f, const std::string &data)
{
    if (!data.empty() && plat::fault_disk_is_full())
        return ERROR_DISK_FULL;
    size_t done = 0;
    DWORD err = pwrite_full(f.fd, data.data(), data.size(), 0, &done, f.path);
    if (!err && ftruncate(f.fd, off_t(data.size())) != 0)
        err = error_from_errno(errno, f.path);
    return err;
}

} // namespace plat::files

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    FileRef f = io_start(file, ACC_READ, buffer, size, read);
    if (!f)
        return FALSE;
    DWORD injected = 0;
    if (plat::fault_next_read(&injected)) {
        if (read)
            *read = 0;
        return fail(injected);
    }
    std::lock_guard<std::mutex> g(f->lock);
    uint64_t pos = start_position(*f, overlapped);
    if (pos > kMaxPosition - size)
        return fail(ERROR_INVALID_PARAMETER);
    size_t done = 0;
    DWORD err = pread_full(f->fd, buffer, size, pos, &done);
    f->pos = pos + done;
    if (read)
        *read = DWORD(done);
    if (err)
        return fail(err);
    if (overlapped && done == 0 && size > 0) {
        /* A positioned read at the end reports it, as Windows does. */
        complete(overlapped, 0, 0);
        return fail(ERROR_HANDLE_EOF);
    }
    complete(overlapped, 0, done);
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped)
{
    FileRef f = io_start(file, ACC_WRITE, buffer, size, written);
    if (!f)
        return FALSE;
    DWORD error = 0, short_bytes = 0;
    switch (plat::fault_next_write(&error, &short_bytes)) {
    case plat::WRITE_FAIL:
        return fail(error);
    case plat::WRITE_SHORT:
        size = std::min(size, short_bytes);
        break;
    case plat::WRITE_NORMAL:
        break;
    }
    if (size > 0 && plat::fault_disk_is_full())
        return fail(ERROR_DISK_FULL);
    std::lock_guard<std::mutex> g(f->lock);
    uint64_t pos = start_position(*f, overlapped);
    if (pos > kMaxPosition - size)
        return fail(ERROR_INVALID_PARAMETER);
    size_t done = 0;
    DWORD err = pwrite_full(f->fd, buffer, size, pos, &done, f->path);
    f->pos = pos + done;
    if (written)
        *written = DWORD(done);
    if (err)
        return fail(err);
    complete(overlapped, 0, done);
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method)
{
    FileRef f = file_from_handle(file);
    if (!f)
        return INVALID_SET_FILE_POINTER;
    int64_t dist = distance;
    if (distance_high)
        dist = int64_t((uint64_t(uint32_t(*distance_high)) << 32) | uint32_t(distance));
    std::lock_guard<std::mutex> g(f->lock);
    uint64_t target = 0;
    DWORD err = seek_target(*f, dist, method, &target);
    if (!err && !distance_high && target > 0xFFFFFFFFu)
        err = ERROR_INVALID_PARAMETER; /* the caller could not see the high half */
    if (err) {
        SetLastError(err);
        return INVALID_SET_FILE_POINTER;
    }
    f->pos = target;
    if (distance_high)
        *distance_high = LONG(uint32_t(target >> 32));
    SetLastError(NO_ERROR);
    return DWORD(target);
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER new_position, DWORD method)
{
    FileRef f = file_from_handle(file);
    if (!f)
        return FALSE;
    std::lock_guard<std::mutex> g(f->lock);
    uint64_t target = 0;
    DWORD err = seek_target(*f, distance.QuadPart, method, &target);
    if (err)
        return fail(err);
    f->pos = target;
    if (new_position)
        new_position->QuadPart = LONGLONG(target);
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD size_high)
{
    FileRef f = file_from_handle(file);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    uint64_t size = uint64_t(st.st_size);
    if (size_high)
        *size_high = DWORD(size >> 32);
    SetLastError(NO_ERROR);
    return DWORD(size);
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size)
{
    FileRef f = file_from_handle(file);
    struct stat st;
    if (!f || fstat(f->fd, &st) != 0)
        return fail(ERROR_INVALID_HANDLE);
    if (!size)
        return fail(ERROR_INVALID_PARAMETER);
    size->QuadPart = st.st_size;
    return TRUE;
}

BOOL SetEndOfFile(HANDLE file)
{
    FileRef f = file_from_handle(file);
    if (!f)
        return FALSE;
    if (!(f->access & ACC_WRITE))
        return fail(ERROR_ACCESS_DENIED);
    std::lock_guard<std::mutex> files(files_lock());
    std::lock_guard<std::mutex> g(f->lock);
    struct stat st;
    if (fstat(f->fd, &st) != 0)
        return fail(ERROR_INVALID_HANDLE);
    if (f->pos < uint64_t(st.st_size) && file_is_mapped(*f))
        return fail(ERROR_USER_MAPPED_FILE); /* a view would lose its pages */
    if (f->pos > uint64_t(st.st_size) && plat::fault_disk_is_full())
        return fail(ERROR_DISK_FULL);
    if (ftruncate(f->fd, off_t(f->pos)) != 0)
        return fail(error_from_errno(errno, f->path));
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file)
{
    FileRef f = file_from_handle(file);
    if (!f)
        return FALSE;
    if (!(f->access & ACC_WRITE))
        return fail(ERROR_ACCESS_DENIED);
    if (fdatasync(f->fd) != 0 && errno != EINVAL)
        return fail(error_from_errno(errno, f->path));
    return TRUE;
}

BOOL GetFileTime(HANDLE file, FILETIME *creation, FILETIME *last_access, FILETIME *last_write)
{
    FileRef f = file_from_handle(file);
    if (!f)
        return FALSE;
    DWORD err = file_times(f->fd, "", AT_EMPTY_PATH, creation, last_access, last_write);
    return err ? fail(err) : TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *last_access, const FILETIME *last_write)
{
    (void)creation; /* Linux cannot set a birth time */
    FileRef f = file_from_handle(file);
    if (!f)
        return FALSE;
    if (!may_write_attributes(*f))
        return fail(ERROR_ACCESS_DENIED);
    auto pick = [](const FILETIME *ft) {
        struct timespec ts;
        if (!ft || (ft->dwLowDateTime == 0 && ft->dwHighDateTime == 0) ||
            (ft->dwLowDateTime == 0xFFFFFFFFu && ft->dwHighDateTime == 0xFFFFFFFFu)) {
            ts.tv_sec = 0;
            ts.tv_nsec = UTIME_OMIT;
            return ts;
        }
        return timespec_from_filetime(*ft);
    };
    struct timespec times[2] = {pick(last_access), pick(last_write)};
    if (futimens(f->fd, times) != 0)
        return fail(error_from_errno(errno, f->path));
    return TRUE;
}
