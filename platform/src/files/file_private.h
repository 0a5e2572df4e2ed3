/*
 * Internals shared by the file services (file.cpp, file_ops.cpp,
 * file_find.cpp, file_map.cpp) and the profile functions (ini.cpp): the open
 * file object, the share-mode table and its lock, path checks and the
 * mapping of errno values onto Windows last errors.
 */
#ifndef PLAT_FILE_PRIVATE_H
#define PLAT_FILE_PRIVATE_H

#include <plat/file.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

namespace plat::files {

/* What an open may do, for the share-mode rules. */
enum Access : unsigned { ACC_READ = 1, ACC_WRITE = 2, ACC_DELETE = 4 };

/* One open of a file (what a file handle refers to). */
struct FileObject {
    int fd = -1;
    std::string path; /* real path when opened */
    dev_t dev = 0;
    ino_t ino = 0;
    unsigned access = 0; /* Access bits */
    DWORD rights = 0;    /* the access mask the caller asked for */
    DWORD share = 0;     /* FILE_SHARE_ bits */
    bool delete_on_close = false;
    std::mutex lock; /* guards pos */
    uint64_t pos = 0;
};

/* An open file held by a service; closing the last reference closes the file. */
typedef std::shared_ptr<FileObject> FileRef;

/*
 * The lock of the share-mode table.  Every step that checks shares and then
 * opens, deletes or renames a file holds it, so the check and the step are
 * one.  Never held while calling back into other services.
 */
std::mutex &files_lock();

/*
 * Opens the real path `real` under the share-mode rules (caller holds
 * files_lock).  `disposition` is one of CREATE_NEW ... TRUNCATE_EXISTING;
 * `create_mode` the permission bits of a new file.  Returns the open file
 * (release it with file_release, or give it to the handle table), or null
 * with *error set.  *existed tells whether the file was there before.
 */
FileObject *file_open_real(const std::string &real, unsigned access, DWORD share, DWORD disposition,
                           bool delete_on_close, mode_t create_mode, DWORD *error, bool *existed);

/* Closes an open file: leaves the share table, deletes a delete-on-close file when it was the last open. */
void file_release(void *object);

/* file_open_real with the lock taken and the result wrapped in a FileRef. */
FileRef file_open_ref(const std::string &real, unsigned access, DWORD share, DWORD disposition, DWORD *error,
                      bool *existed = nullptr);

/* The open file behind a file handle, or null with ERROR_INVALID_HANDLE set. */
FileRef file_from_handle(HANDLE h);

/*
 * Whether the file `st` describes may be deleted or renamed away now
 * (caller holds files_lock): 0, ERROR_SHARING_VIOLATION (open without
 * FILE_SHARE_DELETE) or ERROR_ACCESS_DENIED (waiting for its deletion).
 */
DWORD file_check_delete(const struct stat &st);

/* Counts the file-mapping objects over the file `f` has open (`delta` +1 or -1). */
void file_note_mapping(const FileObject &f, int delta);

/* True while a file-mapping object exists over the file `f` has open; caller holds files_lock. */
bool file_is_mapped(const FileObject &f);

/*
 * Checks a Windows path (no control characters, none of < > " | ? *, no ':'
 * but a drive's) and maps it onto a real path.  Returns 0, or
 * ERROR_INVALID_PARAMETER (null), ERROR_PATH_NOT_FOUND (empty or unmappable)
 * or ERROR_INVALID_NAME.  With `wildcards` the last component may hold '*'
 * and '?'.
 */
DWORD resolve_path(LPCWSTR name, std::string &real, bool wildcards = false);

/* The Windows last error for an errno value met at `real`. */
DWORD error_from_errno(int err, const std::string &real);

/* True when the folder that holds `real` exists. */
bool parent_exists(const std::string &real);

/* FILETIME of a POSIX time, and back. */
FILETIME filetime_from_timespec(const struct timespec &ts);
struct timespec timespec_from_filetime(const FILETIME &ft);

/*
 * The creation (birth, where the file system keeps one, else last-write),
 * last-access and last-write times of `path` relative to `dirfd` (statx
 * arguments; each output optional).  0 or a last error.
 */
DWORD file_times(int dirfd, const char *path, int flags, FILETIME *creation, FILETIME *last_access,
                 FILETIME *last_write);

/* Case folding used for file, section and key names: ASCII letters only, as path mapping does. */
inline char16_t fold(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

/*
 * Reads `size` bytes at `pos`, stopping early only at the end of the file;
 * *done receives the bytes read.  0, or ERROR_READ_FAULT.
 */
DWORD pread_full(int fd, void *buffer, size_t size, uint64_t pos, size_t *done);

/* Writes `size` bytes at `pos`; *done receives the bytes written.  0 or a last error. */
DWORD pwrite_full(int fd, const void *buffer, size_t size, uint64_t pos, size_t *done, const std::string &path);

/* Reads the whole of `f` into `out` (at most `limit` bytes); 0 or a last error. */
DWORD read_all(FileObject &f, std::string &out, size_t limit);

/* Replaces the whole content of `f` with `data`, honouring the simulated full disk; 0 or a last error. */
DWORD replace_content(FileObject &f, const std::string &data);

} // namespace plat::files

#endif /* PLAT_FILE_PRIVATE_H */
