/*
 * File services under their Windows names: CreateFileW and file I/O, file
 * and directory operations, directory search, file times and file mapping.
 *
 * Paths are Windows paths, mapped onto real paths below the machine's root by
 * plat::map_path (case-insensitive, drive letters, mounts).  What Linux lacks
 * is simulated inside this process: share modes (an open without
 * FILE_SHARE_READ/WRITE/DELETE keeps others from opening or deleting the
 * file), FILE_FLAG_DELETE_ON_CLOSE, and the Windows last errors.  Share modes
 * are kept per file (device and inode), so two spellings or two mounts of one
 * file meet the same rules.
 *
 * File handles and mapping handles live in the handle table (plat/handle.h)
 * and are closed with CloseHandle; search handles are closed with FindClose.
 * Failed writes, short writes and a full disk can be injected (plat/fault.h).
 *
 * Attributes: a regular file reports FILE_ATTRIBUTE_ARCHIVE, plus
 * FILE_ATTRIBUTE_READONLY when its owner may not write it; a directory
 * reports FILE_ATTRIBUTE_DIRECTORY.  Other attributes given to CreateFileW
 * (FILE_ATTRIBUTE_TEMPORARY, _SYSTEM, _HIDDEN) are accepted and not kept.
 */
#ifndef PLAT_FILE_H
#define PLAT_FILE_H

#include <plat/access.h>
#include <plat/types.h>

/* Access rights of files (the shared ones in plat/access.h). */
#define FILE_READ_DATA 0x0001u
#define FILE_WRITE_DATA 0x0002u
#define FILE_APPEND_DATA 0x0004u
#define FILE_READ_ATTRIBUTES 0x0080u
#define FILE_WRITE_ATTRIBUTES 0x0100u

/* Share modes. */
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

/* Creation dispositions. */
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

/* Attributes and flags. */
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_OVERLAPPED 0x40000000u
#define FILE_FLAG_NO_BUFFERING 0x20000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_FLAG_DELETE_ON_CLOSE 0x04000000u
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

/* File pointer. */
#define FILE_BEGIN 0u
#define FILE_CURRENT 1u
#define FILE_END 2u
#define INVALID_SET_FILE_POINTER 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu

/* MoveFileExW flags. */
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_COPY_ALLOWED 0x00000002u
#define MOVEFILE_DELAY_UNTIL_REBOOT 0x00000004u
#define MOVEFILE_WRITE_THROUGH 0x00000008u

/* Page protections and view access for file mapping. */
#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u
#define PAGE_WRITECOPY 0x08u
#define FILE_MAP_COPY 0x0001u
#define FILE_MAP_WRITE 0x0002u
#define FILE_MAP_READ 0x0004u
#define FILE_MAP_ALL_ACCESS 0x000F001Fu

/* Last errors of the file services not listed in plat/types.h. */
#ifndef ERROR_NOT_SAME_DEVICE
#define ERROR_NOT_SAME_DEVICE 17L
#endif
#ifndef ERROR_DIR_NOT_EMPTY
#define ERROR_DIR_NOT_EMPTY 145L
#endif
#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206L
#endif
#ifndef ERROR_DIRECTORY
#define ERROR_DIRECTORY 267L
#endif
#ifndef ERROR_FILE_INVALID
#define ERROR_FILE_INVALID 1006L
#endif
#ifndef ERROR_USER_MAPPED_FILE
#define ERROR_USER_MAPPED_FILE 1224L
#endif
#ifndef ERROR_MAPPED_ALIGNMENT
#define ERROR_MAPPED_ALIGNMENT 1132L
#endif

/*
 * Records shared with other services.  They are defined here, guarded, until
 * they move to plat/types.h; SECURITY_ATTRIBUTES is only declared, as the
 * file services ignore it.
 */
struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

#ifndef PLAT_LARGE_INTEGER_DEFINED
#define PLAT_LARGE_INTEGER_DEFINED
union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    };
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
typedef LARGE_INTEGER *PLARGE_INTEGER;
static_assert(sizeof(LARGE_INTEGER) == 8, "LARGE_INTEGER layout");
#endif

#ifndef PLAT_OVERLAPPED_DEFINED
#define PLAT_OVERLAPPED_DEFINED
/*
 * The position of a read or write.  Handles are synchronous: a call given an
 * OVERLAPPED reads or writes at its offset, completes before it returns,
 * stores the status in Internal and the byte count in InternalHigh, and
 * leaves hEvent alone.
 */
struct OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
};
typedef OVERLAPPED *LPOVERLAPPED;
#endif

/* One directory entry as FindFirstFileW/FindNextFileW report it (592 bytes on x64). */
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    WCHAR cFileName[MAX_PATH];
    WCHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAW *LPWIN32_FIND_DATAW;
static_assert(sizeof(WIN32_FIND_DATAW) == 592, "WIN32_FIND_DATAW layout");
static_assert(offsetof(WIN32_FIND_DATAW, ftLastWriteTime) == 20, "WIN32_FIND_DATAW layout");
static_assert(offsetof(WIN32_FIND_DATAW, nFileSizeHigh) == 28, "WIN32_FIND_DATAW layout");
static_assert(offsetof(WIN32_FIND_DATAW, cFileName) == 44, "WIN32_FIND_DATAW layout");
static_assert(offsetof(WIN32_FIND_DATAW, cAlternateFileName) == 564, "WIN32_FIND_DATAW layout");

/*
 * Opens or creates a file.  `access`: GENERIC_READ/GENERIC_WRITE (or the
 * FILE_ data rights, or 0 to look at the file only); `share`: FILE_SHARE_
 * bits; `disposition`: CREATE_NEW, CREATE_ALWAYS, OPEN_EXISTING, OPEN_ALWAYS
 * or TRUNCATE_EXISTING; `flags`: FILE_ATTRIBUTE_ and FILE_FLAG_ bits
 * (FILE_ATTRIBUTE_READONLY makes a new file read-only;
 * FILE_FLAG_DELETE_ON_CLOSE deletes it when its last handle closes).
 * Returns a handle (close with CloseHandle), or INVALID_HANDLE_VALUE with
 * ERROR_FILE_EXISTS, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
 * ERROR_ACCESS_DENIED (a directory, a read-only file opened for writing, a
 * file waiting for its deletion), ERROR_SHARING_VIOLATION, ERROR_INVALID_NAME
 * or ERROR_INVALID_PARAMETER.  On success the last error is
 * ERROR_ALREADY_EXISTS when CREATE_ALWAYS or OPEN_ALWAYS found the file, else
 * 0.  `sa` and `template_file` are ignored.
 */
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa, DWORD disposition,
                   DWORD flags, HANDLE template_file);

/*
 * Reads up to `size` bytes at the file pointer (or at the OVERLAPPED offset)
 * and advances the pointer.  A read at or past the end succeeds with fewer
 * bytes, or none.  *read (optional) receives the count.  FALSE with
 * ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (not opened for reading) or
 * ERROR_READ_FAULT (or an injected error, see plat/fault.h).
 */
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped);

/*
 * Writes `size` bytes at the file pointer (or at the OVERLAPPED offset) and
 * advances the pointer; writing past the end fills the gap with zeros.
 * *written (optional) receives the count, 0 on failure.  FALSE with
 * ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_DISK_FULL or an injected
 * error.
 */
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);

/*
 * Moves the file pointer.  Without `distance_high` the distance is a signed
 * 32-bit value and the new position must fit in 32 bits; with it, the two
 * form a signed 64-bit distance and *distance_high receives the new
 * position's high half.  Returns the new position's low half, last error
 * NO_ERROR; INVALID_SET_FILE_POINTER with ERROR_NEGATIVE_SEEK (before the
 * start) or ERROR_INVALID_PARAMETER, the pointer unchanged.  Positions past
 * the end are allowed.
 */
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distance_high, DWORD method);

/* SetFilePointer with a 64-bit distance; *new_position (optional) receives the position. */
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER new_position, DWORD method);

/*
 * The file's size: the low half returned, the high half in *size_high
 * (optional).  INVALID_FILE_SIZE with ERROR_INVALID_HANDLE on failure; on
 * success the last error is NO_ERROR (a size can have 0xFFFFFFFF as low half).
 */
DWORD GetFileSize(HANDLE file, LPDWORD size_high);

/* The file's size in *size. */
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);

/*
 * Cuts or extends the file at the file pointer (extension is zero-filled).
 * Needs write access.  A file with a file-mapping object over it cannot be
 * cut (ERROR_USER_MAPPED_FILE).
 */
BOOL SetEndOfFile(HANDLE file);

/* Writes the file's data through to the disk.  Needs write access. */
BOOL FlushFileBuffers(HANDLE file);

/*
 * The file's creation, last-access and last-write times (each optional),
 * from the file system, as FILETIMEs (100 ns units since 1601-01-01 UTC).
 * The creation time is the birth time where the file system keeps one, else
 * the last-write time.
 */
BOOL GetFileTime(HANDLE file, FILETIME *creation, FILETIME *last_access, FILETIME *last_write);

/*
 * Sets the last-access and last-write times (null, or a time of 0, leaves
 * one alone); the creation time cannot be set on Linux and is accepted and
 * ignored.  Needs write access.
 */
BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *last_access, const FILETIME *last_write);

/*
 * Deletes a file.  FALSE with ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
 * ERROR_ACCESS_DENIED (a directory or a read-only file) or
 * ERROR_SHARING_VIOLATION (open without FILE_SHARE_DELETE).
 */
BOOL DeleteFileW(LPCWSTR name);

/*
 * Renames or moves a file or directory.  An existing destination is replaced
 * only with MOVEFILE_REPLACE_EXISTING (else ERROR_ALREADY_EXISTS; a directory
 * is never replaced: ERROR_ACCESS_DENIED).  Across file systems a file is
 * copied and deleted with MOVEFILE_COPY_ALLOWED, else ERROR_NOT_SAME_DEVICE.
 * MOVEFILE_DELAY_UNTIL_REBOOT is refused with ERROR_INVALID_PARAMETER.
 */
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR new_name, DWORD flags);

/* MoveFileExW with MOVEFILE_COPY_ALLOWED. */
BOOL MoveFileW(LPCWSTR existing, LPCWSTR new_name);

/*
 * Copies a file, with its last-write time.  With `fail_if_exists` an existing
 * destination gives ERROR_FILE_EXISTS; otherwise it is overwritten.  A
 * failed copy leaves no partial destination behind.
 */
BOOL CopyFileW(LPCWSTR existing, LPCWSTR new_name, BOOL fail_if_exists);

/* Creates one directory.  FALSE with ERROR_ALREADY_EXISTS or ERROR_PATH_NOT_FOUND (no parent). */
BOOL CreateDirectoryW(LPCWSTR name, LPSECURITY_ATTRIBUTES sa);

/*
 * Removes an empty directory.  FALSE with ERROR_FILE_NOT_FOUND,
 * ERROR_PATH_NOT_FOUND, ERROR_DIR_NOT_EMPTY or ERROR_DIRECTORY (a file).
 */
BOOL RemoveDirectoryW(LPCWSTR name);

/* The attributes of a file or directory; INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND. */
DWORD GetFileAttributesW(LPCWSTR name);

/* Sets or clears FILE_ATTRIBUTE_READONLY; other attributes are accepted and not kept. */
BOOL SetFileAttributesW(LPCWSTR name, DWORD attributes);

/*
 * Starts a search of one directory: the last component of `pattern` may hold
 * '*' (any run of characters) and '?' (any one character), matched ignoring
 * case; a pattern ending in ".*" also matches names without a dot.  Entries
 * come in a stable order: "." and ".." first (outside a drive's root), then
 * by name ignoring case.  Fills *data with the first entry and returns a
 * search handle (close with FindClose), or INVALID_HANDLE_VALUE with
 * ERROR_FILE_NOT_FOUND (no match) or ERROR_PATH_NOT_FOUND (no directory).
 */
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);

/* The next entry of a search; FALSE with ERROR_NO_MORE_FILES after the last. */
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);

/* Ends a search.  FALSE with ERROR_INVALID_HANDLE when `find` is not a search handle. */
BOOL FindClose(HANDLE find);

/*
 * Creates a file-mapping object over an open file (PAGE_READONLY needs read
 * access, PAGE_READWRITE read and write access, PAGE_WRITECOPY read access),
 * or over fresh zeroed memory when `file` is INVALID_HANDLE_VALUE (the size
 * must then be given).  A size of 0 maps the whole file (an empty file gives
 * ERROR_FILE_INVALID); a size beyond the end extends a PAGE_READWRITE file
 * and is refused (ERROR_ACCESS_DENIED) otherwise.  The object keeps the file
 * open until it is closed.  Named mappings are not supported
 * (ERROR_CALL_NOT_IMPLEMENTED).  Returns a handle for CloseHandle, or null.
 */
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect, DWORD size_high, DWORD size_low,
                          LPCWSTR name);

/*
 * Maps `bytes` bytes of a mapping object (0: to its end) from `offset`, which
 * must be a multiple of 64 KiB (ERROR_MAPPED_ALIGNMENT).  `access`:
 * FILE_MAP_READ, FILE_MAP_WRITE (needs a PAGE_READWRITE object),
 * FILE_MAP_ALL_ACCESS or FILE_MAP_COPY.  A range beyond the object gives
 * ERROR_ACCESS_DENIED.  Returns the view's address (release with
 * UnmapViewOfFile; the view keeps its object alive), or null.
 */
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, SIZE_T bytes);

/* Releases a view; FALSE with ERROR_INVALID_ADDRESS when `base` is not the start of a view. */
BOOL UnmapViewOfFile(LPCVOID base);

#endif /* PLAT_FILE_H */
