/*
 * Opening and closing files: CreateFileW, the share-mode table that
 * simulates Windows share modes and delete-on-close inside this process, and
 * the path and error helpers the other file services share.
 */
#include "file_private.h"

#include <plat/error.h>
#include <plat/fault.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <map>
#include <unistd.h>
#include <utility>
#include <vector>

namespace plat::files {

namespace {

/* The opens of one file (device and inode) and whether it waits for deletion. */
struct ShareEntry {
    std::vector<FileObject *> opens;
    bool delete_pending = false;
    unsigned mappings = 0; /* file-mapping objects over the file */
};

typedef std::pair<dev_t, ino_t> FileId;

struct FileState {
    std::mutex lock;
    std::map<FileId, ShareEntry> shares;
};

FileState &state()
{
    static FileState *s = new FileState; /* never destroyed: files may close during exit */
    return *s;
}

const bool registered = handle_register(HANDLE_KIND_FILE, file_release);

/*
 * True when an open with `access` and `share` may coexist with every open in
 * `e`.  Opens that neither read, write nor delete (attributes only) take no
 * part in sharing, on either side.
 */
bool shares_allow(const ShareEntry &e, unsigned access, DWORD share)
{
    if (access == 0)
        return true;
    for (const FileObject *o : e.opens) {
        if (o->access == 0)
            continue;
        if (((access & ACC_READ) && !(o->share & FILE_SHARE_READ)) ||
            ((access & ACC_WRITE) && !(o->share & FILE_SHARE_WRITE)) ||
            ((access & ACC_DELETE) && !(o->share & FILE_SHARE_DELETE)) ||
            ((o->access & ACC_READ) && !(share & FILE_SHARE_READ)) ||
            ((o->access & ACC_WRITE) && !(share & FILE_SHARE_WRITE)) ||
            ((o->access & ACC_DELETE) && !(share & FILE_SHARE_DELETE)))
            return false;
    }
    return true;
}

/* The path an open file has now (it may have been renamed since it was opened). */
std::string current_path(const FileObject &f)
{
    char buf[PATH_MAX];
    std::string link = "/proc/self/fd/" + std::to_string(f.fd);
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n > 0)
        return std::string(buf, size_t(n));
    return f.path;
}

/* Deletes the file `f` has open, when that name still names the same file. */
void unlink_if_same(const FileObject &f)
{
    std::string path = current_path(f);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && st.st_dev == f.dev && st.st_ino == f.ino)
        unlink(path.c_str());
}

} // namespace

std::mutex &files_lock() { return state().lock; }

DWORD error_from_errno(int err, const std::string &real)
{
    switch (err) {
    case ENOENT:
        return parent_exists(real) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case ENOSPC:
    case EDQUOT:
        return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
        return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
        return ERROR_DIR_NOT_EMPTY;
    case EXDEV:
        return ERROR_NOT_SAME_DEVICE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EFBIG:
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default: /* EACCES, EPERM, EROFS, EISDIR, EBUSY, ... */
        return ERROR_ACCESS_DENIED;
    }
}

bool parent_exists(const std::string &real)
{
    size_t slash = real.find_last_of('/');
    std::string parent = slash == std::string::npos || slash == 0 ? std::string("/") : real.substr(0, slash);
    struct stat st;
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

DWORD resolve_path(LPCWSTR name, std::string &real, bool wildcards)
{
    if (!name)
        return ERROR_INVALID_PARAMETER;
    std::u16string_view v(name, wlen(name));
    if (v.empty())
        return ERROR_PATH_NOT_FOUND;
    size_t last_sep = v.find_last_of(u"\\/");
    for (size_t i = 0; i < v.size(); i++) {
        char16_t c = v[i];
        bool drive_colon = i == 1 && fold(v[0]) >= u'A' && fold(v[0]) <= u'Z';
        bool in_last = last_sep == std::u16string_view::npos || i > last_sep;
        if (c < 32 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || (c == u':' && !drive_colon) ||
            ((c == u'*' || c == u'?') && !(wildcards && in_last)))
            return ERROR_INVALID_NAME;
    }
    if (!map_path(v, real))
        return ERROR_PATH_NOT_FOUND;
    return 0;
}

FILETIME filetime_from_timespec(const struct timespec &ts)
{
    /* 11644473600 s lie between 1601-01-01 and 1970-01-01. */
    constexpr int64_t kEpochDelta = 11644473600LL;
    uint64_t ticks = 0;
    if (ts.tv_sec >= -kEpochDelta)
        ticks = uint64_t(ts.tv_sec + kEpochDelta) * 10000000u + uint64_t(ts.tv_nsec) / 100u;
    return FILETIME{DWORD(ticks), DWORD(ticks >> 32)};
}

struct timespec timespec_from_filetime(const FILETIME &ft)
{
    constexpr int64_t kEpochDelta = 11644473600LL;
    uint64_t ticks = (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    struct timespec ts;
    ts.tv_sec = time_t(int64_t(ticks / 10000000u) - kEpochDelta);
    ts.tv_nsec = long(ticks % 10000000u) * 100;
    return ts;
}

FileObject *file_open_real(const std::string &real, unsigned access, DWORD share, DWORD disposition,
                           bool delete_on_close, mode_t create_mode, DWORD *error, bool *existed)
{
    FileState &s = state();
    struct stat st;
    bool exists = stat(real.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) {
        *error = error_from_errno(errno, real);
        return nullptr;
    }
    *existed = exists;
    bool truncate = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    int fd;
    if (exists) {
        if (disposition == CREATE_NEW) {
            *error = ERROR_FILE_EXISTS;
            return nullptr;
        }
        if (S_ISDIR(st.st_mode)) {
            *error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        auto it = s.shares.find(FileId(st.st_dev, st.st_ino));
        if (it != s.shares.end() && it->second.delete_pending) {
            *error = ERROR_ACCESS_DENIED;
            return nullptr;
        }
        if (it != s.shares.end() && !shares_allow(it->second, access, share)) {
            *error = ERROR_SHARING_VIOLATION;
            return nullptr;
        }
        if (!(st.st_mode & S_IWUSR) && ((access & (ACC_WRITE | ACC_DELETE)) || truncate)) {
            *error = ERROR_ACCESS_DENIED; /* read-only file */
            return nullptr;
        }
        bool rw = (access & ACC_WRITE) || truncate;
        /* A file opened for writing is never reached through a symbolic link planted in its place. */
        fd = open(real.c_str(), (rw ? O_RDWR | O_NOFOLLOW : O_RDONLY) | O_CLOEXEC);
        if (fd < 0 && errno == EACCES && !(access & (ACC_READ | ACC_WRITE)) && !truncate)
            fd = open(real.c_str(), O_PATH | O_CLOEXEC); /* attributes only */
        if (fd >= 0 && truncate && ftruncate(fd, 0) != 0) {
            int e = errno;
            close(fd);
            errno = e;
            fd = -1;
        }
    } else {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
            *error = parent_exists(real) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
            return nullptr;
        }
        fd = open(real.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, create_mode);
        if (fd < 0 && errno == ENOENT) {
            *error = ERROR_PATH_NOT_FOUND;
            return nullptr;
        }
    }
    if (fd < 0) {
        *error = error_from_errno(errno, real);
        return nullptr;
    }
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        *error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    FileObject *f = new FileObject;
    f->fd = fd;
    f->path = real;
    f->dev = st.st_dev;
    f->ino = st.st_ino;
    f->access = access;
    f->share = share;
    f->delete_on_close = delete_on_close;
    s.shares[FileId(f->dev, f->ino)].opens.push_back(f);
    return f;
}

void file_release(void *object)
{
    FileObject *f = static_cast<FileObject *>(object);
    FileState &s = state();
    {
        std::lock_guard<std::mutex> g(s.lock);
        auto it = s.shares.find(FileId(f->dev, f->ino));
        if (it != s.shares.end()) {
            auto &opens = it->second.opens;
            for (size_t i = 0; i < opens.size(); i++)
                if (opens[i] == f) {
                    opens.erase(opens.begin() + long(i));
                    break;
                }
            if (f->delete_on_close)
                it->second.delete_pending = true;
            if (opens.empty()) {
                if (it->second.delete_pending)
                    unlink_if_same(*f);
                s.shares.erase(it);
            }
        }
    }
    close(f->fd);
    delete f;
}

FileRef file_open_ref(const std::string &real, unsigned access, DWORD share, DWORD disposition, DWORD *error,
                      bool *existed)
{
    bool had = false;
    FileObject *f;
    {
        std::lock_guard<std::mutex> g(files_lock());
        f = file_open_real(real, access, share, disposition, false, 0666, error, &had);
    }
    if (existed)
        *existed = had;
    if (!f)
        return nullptr;
    return FileRef(f, file_release);
}

FileRef file_from_handle(HANDLE h)
{
    (void)registered;
    FileRef f = std::static_pointer_cast<FileObject>(handle_object(h, HANDLE_KIND_FILE));
    if (!f)
        SetLastError(ERROR_INVALID_HANDLE);
    return f;
}

DWORD file_check_delete(const struct stat &st)
{
    FileState &s = state();
    auto it = s.shares.find(FileId(st.st_dev, st.st_ino));
    if (it == s.shares.end())
        return 0;
    if (it->second.delete_pending)
        return ERROR_ACCESS_DENIED;
    if (!shares_allow(it->second, ACC_DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE))
        return ERROR_SHARING_VIOLATION;
    return 0;
}

void file_note_mapping(const FileObject &f, int delta)
{
    FileState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.shares.find(FileId(f.dev, f.ino));
    if (it != s.shares.end())
        it->second.mappings = unsigned(int(it->second.mappings) + delta);
}

bool file_is_mapped(const FileObject &f)
{
    FileState &s = state();
    auto it = s.shares.find(FileId(f.dev, f.ino));
    return it != s.shares.end() && it->second.mappings > 0;
}

} // namespace plat::files

using namespace plat::files;

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                   DWORD flags, HANDLE template_file)
{
    (void)sa;
    (void)template_file;
    unsigned acc = 0;
    if (access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA))
        acc |= ACC_READ;
    if (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA))
        acc |= ACC_WRITE;
    bool delete_on_close = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    if ((access & (DELETE | GENERIC_ALL)) || delete_on_close)
        acc |= ACC_DELETE;
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING ||
        (share & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) ||
        (disposition == TRUNCATE_EXISTING && !(acc & ACC_WRITE))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string real;
    DWORD err = resolve_path(name, real);
    if (err) {
        SetLastError(err);
        return INVALID_HANDLE_VALUE;
    }
    mode_t mode = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    bool existed = false;
    FileObject *f;
    {
        std::lock_guard<std::mutex> g(files_lock());
        f = file_open_real(real, acc, share, disposition, delete_on_close, mode, &err, &existed);
    }
    if (!f) {
        SetLastError(err);
        return INVALID_HANDLE_VALUE;
    }
    f->rights = access;
    HANDLE h = plat::handle_create(plat::HANDLE_KIND_FILE, f);
    if (!h)
        return INVALID_HANDLE_VALUE; /* out of memory; the table has closed the file */
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                         : ERROR_SUCCESS);
    return h;
}
