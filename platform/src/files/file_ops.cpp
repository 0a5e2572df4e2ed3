/*
 * Operations on files and directories by name: DeleteFileW, MoveFileExW,
 * CopyFileW, CreateDirectoryW, RemoveDirectoryW and the attribute calls.
 * Deleting and renaming check the share-mode table first, so a file open
 * without FILE_SHARE_DELETE cannot be deleted or moved away.
 */
#include "file_private.h"

#include <plat/error.h>
#include <plat/fault.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace plat::files;

namespace {

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

/* Copies the data of `from` into `to` from the start, honouring the simulated full disk; 0 or a last error. */
DWORD copy_data(int from, int to, const std::string &to_path)
{
    char buf[64 * 1024];
    uint64_t at = 0;
    for (;;) {
        size_t got = 0, put = 0;
        DWORD err = pread_full(from, buf, sizeof buf, at, &got);
        if (err || got == 0)
            return err;
        if (plat::fault_disk_is_full())
            return ERROR_DISK_FULL;
        err = pwrite_full(to, buf, got, at, &put, to_path);
        if (err)
            return err;
        at += got;
    }
}

/* Gives `to` the last-write time and permission bits of `from`. */
void copy_metadata(int from, int to)
{
    struct stat st;
    if (fstat(from, &st) != 0)
        return;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = st.st_mtim;
    futimens(to, times);
    fchmod(to, st.st_mode & 07777);
}

/* Moves a regular file across file systems by copying it; caller holds files_lock. */
DWORD move_by_copy(const std::string &from, const std::string &to)
{
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return error_from_errno(errno, from);
    std::string temp = to + ".tarvel-move";
    unlink(temp.c_str()); /* a leftover (or a link planted there) goes; the copy is a new file of its own */
    int out = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (out < 0) {
        close(in);
        return error_from_errno(errno, to);
    }
    DWORD err = copy_data(in, out, to);
    if (!err)
        copy_metadata(in, out);
    close(in);
    close(out);
    if (!err && rename(temp.c_str(), to.c_str()) != 0)
        err = error_from_errno(errno, to);
    if (err) {
        unlink(temp.c_str());
        return err;
    }
    unlink(from.c_str());
    return 0;
}

/* The real path with its last component spelt as the Windows path `name` spells it. */
std::string with_given_last_name(const std::string &real, LPCWSTR name)
{
    std::u16string_view v(name, plat::wlen(name));
    size_t sep = v.find_last_of(u"\\/");
    std::u16string_view last = sep == std::u16string_view::npos ? v : v.substr(sep + 1);
    size_t slash = real.find_last_of('/');
    if (last.empty() || last == u"." || last == u".." || slash == std::string::npos)
        return real;
    return real.substr(0, slash + 1) + plat::utf16_to_utf8(last);
}

/* True when `real` is the root folder of a drive (which is never removed). */
bool is_drive_root(const std::string &real)
{
    const std::string &root = plat::machine_root();
    return real.size() == root.size() + 2 && real.compare(0, root.size(), root) == 0 && real[root.size()] == '/';
}

/*
 * Maps a Windows path and looks at what is there (lstat with `follow` false,
 * stat with it true); 0 or a last error.
 */
DWORD look_up(LPCWSTR name, std::string &real, struct stat &st, bool follow)
{
    DWORD err = resolve_path(name, real);
    if (err)
        return err;
    if ((follow ? stat(real.c_str(), &st) : lstat(real.c_str(), &st)) != 0)
        return error_from_errno(errno, real);
    return 0;
}

/* Maps the source and destination paths of a move or copy; 0 or a last error. */
DWORD resolve_pair(LPCWSTR existing, LPCWSTR new_name, std::string &from, std::string &to)
{
    DWORD err = resolve_path(existing, from);
    return err ? err : resolve_path(new_name, to);
}

} // namespace

BOOL DeleteFileW(LPCWSTR name)
{
    std::string real;
    struct stat st;
    std::lock_guard<std::mutex> g(files_lock());
    DWORD err = look_up(name, real, st, false);
    if (err)
        return fail(err);
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR)))
        return fail(ERROR_ACCESS_DENIED);
    err = file_check_delete(st);
    if (err)
        return fail(err);
    if (unlink(real.c_str()) != 0)
        return fail(error_from_errno(errno, real));
    return TRUE;
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR new_name, DWORD flags)
{
    if ((flags & MOVEFILE_DELAY_UNTIL_REBOOT) || !new_name)
        return fail(ERROR_INVALID_PARAMETER);
    std::string from, to;
    DWORD err = resolve_pair(existing, new_name, from, to);
    if (err)
        return fail(err);
    std::lock_guard<std::mutex> g(files_lock());
    struct stat src, dst;
    if (lstat(from.c_str(), &src) != 0)
        return fail(error_from_errno(errno, from));
    err = file_check_delete(src);
    if (err)
        return fail(err);
    if (lstat(to.c_str(), &dst) == 0) {
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
            /* The same file under another spelling: only the case of its name changes. */
            to = with_given_last_name(to, new_name);
        } else if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            return fail(ERROR_ALREADY_EXISTS);
        } else if (S_ISDIR(dst.st_mode) || S_ISDIR(src.st_mode) || !(dst.st_mode & S_IWUSR)) {
            return fail(ERROR_ACCESS_DENIED);
        } else if ((err = file_check_delete(dst)) != 0) {
            return fail(err);
        }
    } else if (errno != ENOENT || !parent_exists(to)) {
        return fail(ERROR_PATH_NOT_FOUND);
    }
    if (rename(from.c_str(), to.c_str()) == 0)
        return TRUE;
    if (errno != EXDEV)
        return fail(error_from_errno(errno, to));
    if (!(flags & MOVEFILE_COPY_ALLOWED) || !S_ISREG(src.st_mode))
        return fail(ERROR_NOT_SAME_DEVICE);
    err = move_by_copy(from, to);
    return err ? fail(err) : TRUE;
}

BOOL MoveFileW(LPCWSTR existing, LPCWSTR new_name) { return MoveFileExW(existing, new_name, MOVEFILE_COPY_ALLOWED); }

BOOL CopyFileW(LPCWSTR existing, LPCWSTR new_name, BOOL fail_if_exists)
{
    std::string from, to;
    DWORD err = resolve_pair(existing, new_name, from, to);
    if (err)
        return fail(err);
    FileRef src = file_open_ref(from, ACC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING, &err);
    if (!src)
        return fail(err);
    struct stat st;
    if (fstat(src->fd, &st) != 0)
        return fail(ERROR_READ_FAULT);
    if (st.st_size > 0 && plat::fault_disk_is_full())
        return fail(ERROR_DISK_FULL); /* before an existing destination is cut */
    FileRef dst = file_open_ref(to, ACC_WRITE, 0, fail_if_exists ? CREATE_NEW : CREATE_ALWAYS, &err);
    if (!dst)
        return fail(err);
    err = copy_data(src->fd, dst->fd, to);
    if (err) {
        std::lock_guard<std::mutex> g(files_lock());
        dst->delete_on_close = true; /* no partial copy stays behind */
        return fail(err);
    }
    copy_metadata(src->fd, dst->fd);
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES sa)
{
    (void)sa;
    std::string real;
    DWORD err = resolve_path(name, real);
    if (err)
        return fail(err);
    if (mkdir(real.c_str(), 0777) == 0)
        return TRUE;
    if (errno == EEXIST)
        return fail(ERROR_ALREADY_EXISTS);
    if (errno == ENOENT)
        return fail(ERROR_PATH_NOT_FOUND);
    return fail(error_from_errno(errno, real));
}

BOOL RemoveDirectoryW(LPCWSTR name)
{
    std::string real;
    struct stat st;
    DWORD err = look_up(name, real, st, false);
    if (err)
        return fail(err);
    if (!S_ISDIR(st.st_mode))
        return fail(ERROR_DIRECTORY);
    if (is_drive_root(real))
        return fail(ERROR_ACCESS_DENIED);
    if (rmdir(real.c_str()) != 0)
        return fail(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : error_from_errno(errno, real));
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR name)
{
    std::string real;
    struct stat st;
    DWORD err = look_up(name, real, st, true);
    if (err) {
        SetLastError(err);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    return FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
}

BOOL SetFileAttributesW(LPCWSTR name, DWORD attributes)
{
    std::string real;
    struct stat st;
    DWORD err = look_up(name, real, st, true);
    if (err)
        return fail(err);
    if (S_ISDIR(st.st_mode))
        return TRUE; /* the read-only attribute means nothing on a directory */
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        mode &= mode_t(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else
        mode |= S_IWUSR;
    if (chmod(real.c_str(), mode) != 0)
        return fail(error_from_errno(errno, real));
    return TRUE;
}
