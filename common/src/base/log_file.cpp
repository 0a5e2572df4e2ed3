/*
 * Where trace lines go: the debugger output, or the trace file under
 * "c:\DEBUG_LOG\WIN2000" (directories created once per process).  The open
 * handle and its use count sit under one lock, and each line is written
 * under it with one WriteFile call, so a release on another thread never
 * closes the file in the middle of a write.
 */
#include <tarvel/base/log_trace.h>

#include "log_private.h"

#include <plat/codepage.h>
#include <plat/debug.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/text.h>

#include <mutex>

/* The rendering library's file unless the linking library names its own (LOG_TRACE_FILE_OF_LIBRARY). */
__attribute__((weak)) int LOG_LibraryKind(void)
{
    return LOG_LIBRARY_RENDERING;
}

namespace {

constexpr WCHAR kLogRoot[] = u"c:\\DEBUG_LOG";
constexpr WCHAR kLogDir[] = u"\\WIN2000";

/* Most bytes of one line in the ANSI code page, before the CR LF. */
constexpr int kAnsiBytes = LOG_LINE_LIMIT - 1;

struct LogFile {
    std::mutex lock;
    bool pathBuilt = false;     /* the directories were looked at once */
    bool pathOk = false;        /* and exist: lines may go to the file */
    std::u16string path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD users = 0;            /* LOG_Open calls not yet released */
};

LogFile &file_state()
{
    static LogFile f;
    return f;
}

/* Creates `dir` when FindFirstFileW does not find it; false when it cannot be made. */
bool LOG_EnsureDirectory(const std::u16string &dir)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(dir.c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        FindClose(find);
        return true;
    }
    return CreateDirectoryW(dir.c_str(), nullptr) != FALSE;
}

/* Builds the path once (lock held): both directories, then the file name; a failure stops tracing to file. */
bool LOG_MakeDirectories(LogFile &f)
{
    if (f.pathBuilt)
        return f.pathOk;
    f.pathBuilt = true;
    std::u16string dir = kLogRoot;
    if (!LOG_EnsureDirectory(dir))
        return false;
    dir += kLogDir;
    if (!LOG_EnsureDirectory(dir))
        return false;
    f.path = dir + log_TraceFileName();
    f.pathOk = true;
    return true;
}

/* Opens the trace file positioned at its end (lock held); INVALID_HANDLE_VALUE on failure. */
HANDLE LOG_OpenAppend(LogFile &f)
{
    if (!LOG_MakeDirectories(f))
        return INVALID_HANDLE_VALUE;
    HANDLE h = CreateFileW(f.path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE)
        SetFilePointer(h, 0, nullptr, FILE_END);
    return h;
}

} // namespace

LPCWSTR log_TraceFileName(void)
{
    return LOG_LibraryKind() == LOG_LIBRARY_USER_INTERFACE ? u"\\DDI_PRNUI_TRACE_LOG.txt" : u"\\DDI_UM_TRACE_LOG.txt";
}

int LOG_Open(void)
{
    const DWORD flags = LOG_GetFlags();
    if ((flags & LOG_FLAG_ON) == 0 || (flags & LOG_FLAG_DEBUGGER) != 0)
        return 0;
    LogFile &f = file_state();
    std::lock_guard<std::mutex> guard(f.lock);
    if (f.handle != INVALID_HANDLE_VALUE) {
        ++f.users;
        return 1;
    }
    f.handle = LOG_OpenAppend(f);
    if (f.handle == INVALID_HANDLE_VALUE)
        return 0;
    f.users = 1;
    return 1;
}

void LOG_Release(void)
{
    LogFile &f = file_state();
    std::lock_guard<std::mutex> guard(f.lock);
    if (f.users == 0 || --f.users != 0)
        return;
    if (f.handle != INVALID_HANDLE_VALUE)
        CloseHandle(f.handle);
    f.handle = INVALID_HANDLE_VALUE;
}

int LOG_WriteLine(LPCWSTR text)
{
    const size_t length = plat::wlen(text);
    if (text == nullptr || length >= static_cast<size_t>(LOG_LINE_LIMIT))
        return 0;
    if ((LOG_GetFlags() & LOG_FLAG_DEBUGGER) != 0) {
        std::u16string line(text, length);
        line += u"\r\n";
        OutputDebugStringW(line.c_str());
        return 1;
    }
    char bytes[kAnsiBytes + 2];
    int count = 0;
    if (length != 0) {
        count = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), bytes, kAnsiBytes, nullptr, nullptr);
        if (count <= 0)
            return 0;
    }
    bytes[count++] = '\r';
    bytes[count++] = '\n';

    LogFile &f = file_state();
    std::lock_guard<std::mutex> guard(f.lock);
    HANDLE h = f.handle;
    const bool ownHandle = h == INVALID_HANDLE_VALUE;
    if (ownHandle) {
        h = LOG_OpenAppend(f);
        if (h == INVALID_HANDLE_VALUE)
            return 0;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(h, bytes, static_cast<DWORD>(count), &written, nullptr);
    if (ownHandle)
        CloseHandle(h);
    return ok && written == static_cast<DWORD>(count) ? 1 : 0;
}

void LOG_ResetForTest(void)
{
    log_ResetSwitchForTest();
    LogFile &f = file_state();
    std::lock_guard<std::mutex> guard(f.lock);
    if (f.handle != INVALID_HANDLE_VALUE)
        CloseHandle(f.handle);
    f.handle = INVALID_HANDLE_VALUE;
    f.users = 0;
    f.pathBuilt = false;
    f.pathOk = false;
    f.path.clear();
}
