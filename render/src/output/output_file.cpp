/*
 * The file back-end of the output channel: plain files opened shared with
 * no one (form overlay files), the switches into and out of file mode, and
 * the temporary file names of the spool file.  A failed or short write to a
 * file target asks the user whether to try again (output_box.cpp); the
 * write itself is in output_channel.cpp, where the buffer meets the target.
 */
#include "output_channel.h"

#include <tarvel/base/util_system.h>

#include <plat/file.h>
#include <plat/handle.h>

namespace {

/*
 * Opens `path` with `flags` and makes it the file target in file mode,
 * after sending what was buffered to the old target; *size (optional)
 * receives the file's size.  0, or -1 with nothing changed but a lost
 * buffer.
 */
int out_EnterFileMode(OutputChannel *channel, LPCWSTR path, DWORD flags, ULONGLONG *size)
{
    if (channel->file != INVALID_HANDLE_VALUE || !path)
        return -1;
    if (channel->mode != OUT_MODE_CLOSED && OUT_Flush(channel) != 0)
        return -1;
    HANDLE file = OUT_FileOpen(path, flags);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    LONGLONG end = OUT_FileSeekEnd(file);
    if (end < 0) {
        OUT_FileClose(file);
        return -1;
    }
    if (size)
        *size = ULONGLONG(end);
    channel->file = file;
    channel->fileDrive = OUT_DriveLetter(path);
    channel->fill = 0;
    channel->mode = OUT_MODE_FILE;
    return 0;
}

/* Flushes into the file target, reports its size, goes back to printer mode and closes the file; 0 or -1. */
int out_LeaveFileMode(OutputChannel *channel, ULONGLONG *size)
{
    if (channel->file == INVALID_HANDLE_VALUE)
        return -1;
    int rc = channel->mode == OUT_MODE_CLOSED ? 0 : OUT_Flush(channel);
    if (size) {
        LONGLONG end = OUT_FileSeekEnd(channel->file);
        *size = end < 0 ? 0 : ULONGLONG(end);
    }
    channel->mode = channel->target ? OUT_MODE_PRINTER : OUT_MODE_CLOSED;
    channel->fill = 0;
    OUT_FileClose(channel->file);
    channel->file = INVALID_HANDLE_VALUE;
    channel->fileDrive = u' ';
    return rc;
}

} // namespace

int OUT_OpenFile(OutputChannel *channel, LPCWSTR path, ULONGLONG *size, DWORD flags)
{
    if (!channel)
        return -1;
    return out_EnterFileMode(channel, path, flags, size);
}

int OUT_CloseFile(OutputChannel *channel, ULONGLONG *size)
{
    if (!channel)
        return -1;
    return out_LeaveFileMode(channel, size);
}

int OUT_OpenFileWhilePrinting(OutputChannel *channel, LPCWSTR path)
{
    if (!channel || channel->mode != OUT_MODE_PRINTER)
        return -1;
    return out_EnterFileMode(channel, path, OUT_FILE_CREATE, nullptr);
}

int OUT_EndFileMode(OutputChannel *channel)
{
    if (!channel)
        return -1;
    return out_LeaveFileMode(channel, nullptr);
}

HANDLE OUT_FileOpen(LPCWSTR path, DWORD flags)
{
    if (!path)
        return INVALID_HANDLE_VALUE;
    DWORD access = (flags & OUT_FILE_READ_ONLY) ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    DWORD disposition = (flags & OUT_FILE_CREATE) ? CREATE_ALWAYS : OPEN_ALWAYS;
    return CreateFileW(path, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void OUT_FileClose(HANDLE file)
{
    if (file && file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
}

int OUT_FileRead(HANDLE file, void *buffer, DWORD n, DWORD *read)
{
    DWORD ignored = 0;
    if (!read)
        read = &ignored;
    *read = 0;
    if (n == 0)
        return 0;
    if (!buffer)
        return -1;
    if (!ReadFile(file, buffer, n, read, nullptr)) {
        *read = 0;
        return -1;
    }
    return 0;
}

int OUT_FileWrite(HANDLE file, const void *bytes, DWORD n, DWORD *written)
{
    DWORD ignored = 0;
    if (!written)
        written = &ignored;
    *written = 0;
    if (n == 0)
        return 0;
    if (!bytes)
        return -1;
    if (!WriteFile(file, bytes, n, written, nullptr)) {
        *written = 0;
        return -1;
    }
    return 0;
}

LONGLONG OUT_FileSeek(HANDLE file, ULONGLONG offset)
{
    if (offset > ULONGLONG(INT64_MAX))
        return -1;
    LARGE_INTEGER distance{}, position{};
    distance.QuadPart = LONGLONG(offset);
    if (!SetFilePointerEx(file, distance, &position, FILE_BEGIN))
        return -1;
    return position.QuadPart;
}

LONGLONG OUT_FileSeekEnd(HANDLE file)
{
    if (!file || file == INVALID_HANDLE_VALUE)
        return -1;
    LARGE_INTEGER distance{}, position{};
    if (!SetFilePointerEx(file, distance, &position, FILE_END))
        return -1;
    return position.QuadPart;
}

int OUT_TempFileName(LPWSTR path)
{
    return UTL_MakeTempFileName(path, u"QZP") ? 0 : -1;
}
