/*
 * The spool temporary file: a job's scratch file for recorded pages and
 * compressed image bands.  It is created under a new temporary name,
 * written and read at a position of its own, and deleted with the job.
 * A write that fails (a full disk) asks the user in an OK/Cancel box whether
 * to try again; Cancel leaves the file open but no longer writable, so every
 * later operation on it fails.
 *
 * Every file in use is listed in the registry below HKEY_LOCAL_MACHINE
 * (base + "TempFile\" + its path with "\" turned into "/"), so that files
 * left behind by a job that died are deleted the next time a job opens its
 * channel.  A file still held open by a running job is left alone with its
 * key: only a file that is gone, or that can be deleted, loses its key.
 *
 * Offsets are 32-bit: a write that would take the file past 4 GiB fails.
 */
#ifndef TARVELGR_SPOOL_FILE_H
#define TARVELGR_SPOOL_FILE_H

#include <plat/msgbox.h>
#include <plat/types.h>

/* Largest offset of a spool file; its offsets are kept in 32 bits. */
inline constexpr ULONGLONG SPOOL_MAX_OFFSET = 0xFFFFFFFFull;

/* Resource strings of the retry box. */
enum : UINT {
    OUT_IDS_SPOOL_WRITE_ERROR = 5, /* the spool file's message, a format with %c for the drive letter */
    OUT_IDS_ERROR_CAPTION = 6,     /* caption of every retry box */
};

/* Registry base of the temporary-file list when the model names none (below HKEY_LOCAL_MACHINE). */
inline constexpr WCHAR OUT_DEFAULT_TEMP_FILE_BASE[] = u"Software\\Kesto Varnel\\QZ MRD Printer Driver\\";

/* Longest registry base, in characters. */
inline constexpr int OUT_MAX_TEMP_FILE_BASE = 127;

struct SpoolFile {
    HMODULE resourceModule; /* module of the retry box strings; may be null */
    HANDLE file;            /* the open file; INVALID_HANDLE_VALUE when none */
    WCHAR path[MAX_PATH];   /* the file's full name; empty when none */
    DWORD highWater;        /* largest offset written so far: the file's logical size */
    DWORD position;         /* current offset */
    LONG writable;          /* 1 after creation; 0 after the user cancelled a failed write */
};

/*
 * Resets `file` to "no file" (empty path, size and position 0, not
 * writable), keeping `resourceModule` for the retry box.  With `cleanUp`
 * set, first deletes the temporary files that earlier jobs left behind
 * (OUT_DeleteStaleTempFiles).  The record must not hold an open file (delete
 * it first).  Returns 0, or -1 for a null record.
 */
int OUT_InitSpoolFile(SpoolFile *file, BOOL cleanUp, HMODULE resourceModule);

/*
 * Creates a new spool file under a new temporary name (prefix "QZP"), read
 * and write, shared with no one, and lists it in the registry (a listing
 * that fails, as for a user who may not write HKEY_LOCAL_MACHINE, does not
 * fail the creation).  A file the record still holds is deleted first.
 * Returns 0 (size and position 0, writable), or -1 with the path cleared
 * when no file could be made.
 */
int OUT_CreateSpoolFile(SpoolFile *file);

/*
 * Closes and deletes the record's file and, once it is deleted, its
 * registry key; then resets the record (without clean-up).  Returns 0 (also
 * when the record holds no file), or -1 when closing or deleting failed (the
 * key then stays listed, for a later clean-up).
 */
int OUT_DeleteSpoolFile(SpoolFile *file);

/* 1 when the file is open and writable, else -1. */
int OUT_IsSpoolFileReady(const SpoolFile *file);

/*
 * Writes `n` bytes at the position and moves the position past them,
 * raising the size when the file grows.  A failed or short write shows the
 * retry box: OK writes the rest again (each byte lands once), Cancel makes
 * the file unwritable.  Returns `n`, 0 for n = 0, or -1 when the file is not
 * ready, `bytes` is missing, n is above 0x7FFFFFFF, the file would pass
 * 4 GiB (last error ERROR_FILE_TOO_LARGE, nothing written), the user
 * cancelled, or the file could not be positioned.
 */
LONG OUT_SpoolWrite(SpoolFile *file, const void *bytes, DWORD n);

/*
 * Reads `n` bytes at the position into `buffer` and moves the position past
 * what was read.  Returns the count read, or -1 (position unchanged) when
 * the file is not ready, the bytes would pass the file's size, `buffer` is
 * missing or the read fails.
 */
LONG OUT_SpoolRead(SpoolFile *file, void *buffer, DWORD n);

/* Moves to `offset` (0 to the size).  Returns the new position, or -1 (unchanged) when not ready or out of range. */
LONGLONG OUT_SpoolSeek(SpoolFile *file, LONGLONG offset);

/* Moves to the end of the file (its size).  Returns the position, or -1 when not ready. */
LONGLONG OUT_SpoolSeekEnd(SpoolFile *file);

/* The file's size (the largest offset written), or -1 when not ready. */
LONGLONG OUT_SpoolSize(const SpoolFile *file);

/*
 * The retry box of a failed spool write: caption resource string 6 (or
 * "Error"), text resource string 5 used as a format for the drive letter of
 * the file's path (or the built-in text), OK and Cancel.  Returns IDOK, or
 * IDCANCEL (also when the box cannot be shown or its strings allocated).
 */
int OUT_AskWriteRetry(const SpoolFile *file);

/* --- The registry list of temporary files (spool_file_registry.cpp) --- */

/*
 * Replaces the process-wide registry base of the temporary-file list (a key
 * path below HKEY_LOCAL_MACHINE, normally ending in "\").  Returns 0, or -1
 * keeping the old base for a null or empty base or one longer than 127
 * characters.
 */
int OUT_SetTempFileBase(LPCWSTR base);

/* The current registry base (process-wide; valid until the next OUT_SetTempFileBase). */
LPCWSTR OUT_GetTempFileBase();

/* TEST ONLY: restores the default registry base. */
void OUT_ResetTempFileBase();

/*
 * Lists `path` in the registry: key base + "TempFile\" + the path with every
 * "\" turned into "/", its default value the local time stamp
 * "[yyyy,mm/dd,hh:mm:ss]".  Returns 0, or -1 when the key cannot be created
 * or written (a path too long for a key name, an ordinary user).
 */
int OUT_RegisterTempFile(LPCWSTR path);

/* Removes the key of `path` from the list.  Returns 0, or -1 when it cannot be deleted. */
int OUT_UnregisterTempFile(LPCWSTR path);

/*
 * Deletes the listed files that earlier jobs left behind, with their keys.
 * A file that is gone, or that can be deleted now, loses its key; a file
 * that exists but cannot be deleted (held open by a running job) keeps its
 * file and key for a later pass.  Returns 0, or -1 when the list does not
 * exist, cannot be read, or a key cannot be deleted.
 */
int OUT_DeleteStaleTempFiles();

#endif /* TARVELGR_SPOOL_FILE_H */
