/*
 * The spool temporary file (see spool_file.h): creation under a new
 * temporary name, positioned reads and writes with the retry box when a
 * write fails, and deletion.  The registry list of files in use is in
 * spool_file_registry.cpp.
 *
 * The record's position is the truth; the file pointer is moved to it before
 * every read and write, so a seek that failed earlier cannot make a later
 * write land somewhere else.
 */
#include "output_channel.h"
#include "spool_file.h"

#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>

#ifndef ERROR_FILE_TOO_LARGE
#define ERROR_FILE_TOO_LARGE 223L
#endif

namespace {

/* Largest single read or write: counts are answered as a LONG. */
constexpr DWORD kMaxTransfer = 0x7FFFFFFF;

bool spool_IsOpen(const SpoolFile *file)
{
    return file && file->file != INVALID_HANDLE_VALUE && file->file != nullptr;
}

/* Moves the file pointer to `offset`; true when it landed there. */
bool spool_MoveTo(SpoolFile *file, DWORD offset)
{
    return OUT_FileSeek(file->file, offset) == LONGLONG(offset);
}

/* The record of "no file", keeping the resource module. */
void spool_Reset(SpoolFile *file)
{
    HMODULE module = file->resourceModule;
    *file = SpoolFile{};
    file->resourceModule = module;
    file->file = INVALID_HANDLE_VALUE;
}

} // namespace

int OUT_InitSpoolFile(SpoolFile *file, BOOL cleanUp, HMODULE resourceModule)
{
    if (!file)
        return -1;
    if (cleanUp)
        OUT_DeleteStaleTempFiles(); /* -1 only says there was no list yet */
    file->resourceModule = resourceModule;
    spool_Reset(file);
    return 0;
}

int OUT_CreateSpoolFile(SpoolFile *file)
{
    if (!file)
        return -1;
    if (spool_IsOpen(file) || file->path[0])
        OUT_DeleteSpoolFile(file);
    spool_Reset(file);
    if (OUT_TempFileName(file->path) != 0) {
        file->path[0] = 0;
        return -1;
    }
    file->file = CreateFileW(file->path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->file == INVALID_HANDLE_VALUE) {
        DeleteFileW(file->path); /* the empty file the name was reserved with, if any */
        spool_Reset(file);
        return -1;
    }
    /* A file that cannot be listed (an ordinary user may not write
       HKEY_LOCAL_MACHINE) is still a good file: it is only not cleaned up if
       the job dies. */
    OUT_RegisterTempFile(file->path);
    file->writable = 1;
    return 0;
}

int OUT_DeleteSpoolFile(SpoolFile *file)
{
    if (!file)
        return -1;
    int rc = 0;
    if (spool_IsOpen(file) && !CloseHandle(file->file))
        rc = -1;
    file->file = INVALID_HANDLE_VALUE;
    if (file->path[0]) {
        if (DeleteFileW(file->path))
            OUT_UnregisterTempFile(file->path);
        else
            rc = -1;
    }
    spool_Reset(file);
    return rc;
}

int OUT_IsSpoolFileReady(const SpoolFile *file)
{
    return spool_IsOpen(file) && file->writable ? 1 : -1;
}

LONG OUT_SpoolWrite(SpoolFile *file, const void *bytes, DWORD n)
{
    if (OUT_IsSpoolFileReady(file) != 1 || (n > 0 && !bytes) || n > kMaxTransfer)
        return -1;
    if (n == 0)
        return 0;
    if (ULONGLONG(file->position) + n > SPOOL_MAX_OFFSET) {
        /* The offsets of the file and its page records are 32-bit. */
        SetLastError(ERROR_FILE_TOO_LARGE);
        return -1;
    }
    if (!spool_MoveTo(file, file->position))
        return -1;
    const BYTE *p = static_cast<const BYTE *>(bytes);
    DWORD total = 0;
    for (;;) {
        DWORD written = 0;
        bool ok = OUT_FileWrite(file->file, p + total, n - total, &written) == 0;
        if (written > n - total)
            written = n - total;
        total += written;
        file->position += written;
        if (file->position > file->highWater)
            file->highWater = file->position;
        if (ok && total == n)
            return LONG(total);
        /* Failed or short: the user decides whether to write the rest again. */
        if (OUT_AskWriteRetry(file) != IDOK) {
            file->writable = 0;
            return -1;
        }
        if (!spool_MoveTo(file, file->position))
            return -1;
    }
}

LONG OUT_SpoolRead(SpoolFile *file, void *buffer, DWORD n)
{
    if (OUT_IsSpoolFileReady(file) != 1 || n > kMaxTransfer || (n > 0 && !buffer))
        return -1;
    if (ULONGLONG(file->position) + n > file->highWater)
        return -1;
    if (n == 0)
        return 0;
    if (!spool_MoveTo(file, file->position))
        return -1;
    DWORD read = 0;
    if (OUT_FileRead(file->file, buffer, n, &read) != 0)
        return -1;
    file->position += read;
    return LONG(read);
}

LONGLONG OUT_SpoolSeek(SpoolFile *file, LONGLONG offset)
{
    if (OUT_IsSpoolFileReady(file) != 1 || offset < 0 || offset > LONGLONG(file->highWater))
        return -1;
    if (!spool_MoveTo(file, DWORD(offset)))
        return -1;
    file->position = DWORD(offset);
    return offset;
}

LONGLONG OUT_SpoolSeekEnd(SpoolFile *file)
{
    if (OUT_IsSpoolFileReady(file) != 1)
        return -1;
    return OUT_SpoolSeek(file, file->highWater);
}

LONGLONG OUT_SpoolSize(const SpoolFile *file)
{
    if (OUT_IsSpoolFileReady(file) != 1)
        return -1;
    return file->highWater;
}

int OUT_AskWriteRetry(const SpoolFile *file)
{
    if (!file)
        return IDCANCEL;
    return OUT_ShowRetryBox(file->resourceModule, 255, OUT_IDS_SPOOL_WRITE_ERROR, OUT_DriveLetter(file->path));
}
