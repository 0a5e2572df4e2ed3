/*
 * The files a store of the machine folder keeps its state in (the spooler's
 * and the registry's): an exclusive lock between processes held across each
 * read-modify-write, a change stamp kept in the lock file so that a process
 * re-reads the store only when another one saved it, saves through a
 * temporary file of their own that is flushed and renamed over the old one,
 * reads that never follow a symbolic link, and damaged files kept aside
 * under names never used before.
 */
#ifndef PLAT_STORE_FILE_H
#define PLAT_STORE_FILE_H

#include <plat/types.h>

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plat::storefile {

/*
 * A lock file shared by every process of one machine folder.  lock() blocks
 * until this process holds it alone; unlock() lets the next one in.  Callers
 * serialise their own threads (each store holds its lock under its mutex).
 * The file also holds the stamp of the store's last save.
 */
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    /* Points the lock at `path` (closing any earlier one). */
    void set_path(const std::string &path);

    /* Takes the lock; false (errno set) when the lock file cannot be opened or locked. */
    bool lock();
    void unlock();
    bool held() const { return held_; }
    const std::string &path() const { return path_; }
    /* Why the last lock() failed, in words ("it is a symbolic link", strerror's text); empty after a success. */
    std::string why_not() const;

    /* The stamp of the last save (0: none yet), read under the lock. */
    uint64_t read_stamp();
    /* Records a new stamp (under the lock) and returns it. */
    uint64_t write_new_stamp();

private:
    bool open_file();
    std::string path_;
    int fd_ = -1;
    pid_t owner_ = 0; /* the process that opened fd_: a forked child opens its own */
    bool held_ = false;
    int failure_ = 0; /* errno of the last failed lock(), 0 after a success */
};

/* Holds a FileLock for a scope (nothing when it cannot be taken; ok() says which). */
class LockHold {
public:
    explicit LockHold(FileLock &l) : l_(l), ok_(l.lock()) {}
    ~LockHold()
    {
        if (ok_)
            l_.unlock();
    }
    bool ok() const { return ok_; }
    LockHold(const LockHold &) = delete;
    LockHold &operator=(const LockHold &) = delete;

private:
    FileLock &l_;
    bool ok_;
};

/*
 * Reads the whole regular file at `path` without following a symbolic link;
 * 0 or an errno value (ENOENT for a missing file, ELOOP for a link, EFBIG
 * past `limit` bytes).
 */
int read_file(const std::string &path, std::vector<BYTE> &out, size_t limit = size_t(1) << 30);

/*
 * Replaces the file at `path` with `data`: a new temporary file beside it
 * (a unique name, created exclusively, never through a link), written,
 * flushed to disk and renamed over the old one, so that the file holds
 * either its old or its new bytes whatever happens.  0 or an errno value;
 * on failure the temporary file is gone and the old file untouched.
 */
int write_atomically(const std::string &path, const void *data, size_t size);

/*
 * Removes the temporary files of saves of `path` whose process is gone
 * ("<path>.new.<pid>.<n>" of a process killed between creating and
 * renaming it).  Call with the store's lock held; a live process's file
 * stays.  The number of files removed.
 */
int remove_stale_temporaries(const std::string &path);

/*
 * Moves the damaged file at `path` aside as "<path>.bad.N", N the first
 * number not in use, so that an earlier kept copy is never replaced.  The
 * new name, or "" when the file could not be moved.
 */
std::string keep_aside(const std::string &path);

/* Creates the folder `path` and its parents (existing ones are fine); 0 or an errno value. */
int make_folders(const std::string &path);

/* The Windows error for a failed store read or write (disk full, access denied, else a write fault). */
DWORD error_of_errno(int e);

/* The Windows error for a failed store read (access denied for permissions and links, else a read fault). */
DWORD read_error_of_errno(int e);

} // namespace plat::storefile

#endif /* PLAT_STORE_FILE_H */
