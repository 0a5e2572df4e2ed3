/*
 * Starting programs: CreateProcessW as a recorder.  No program runs here;
 * each launch is recorded (program, command line, folder, flags) and
 * answered from a script a test queues (a failure with its error), else
 * with success: a process and a thread handle (closed with CloseHandle)
 * and made-up ids.  machine_reset empties the record and the script.
 */
#ifndef PLAT_PROCESS_H
#define PLAT_PROCESS_H

#include <plat/types.h>

#include <string>
#include <vector>

/* The start-up record (only its size is looked at). */
struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
};

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};

/*
 * Starts (records) a program: `application` (may be null: the program is
 * then the command line's first word) with `commandLine` (may be null when
 * `application` is given).  TRUE with `info` filled, or FALSE with the
 * scripted error; ERROR_INVALID_PARAMETER (nothing recorded) when both are
 * null or `startup` or `info` is null.  The attribute, inheritance and
 * environment arguments are not used.
 */
BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, void *processAttributes, void *threadAttributes,
                    BOOL inheritHandles, DWORD flags, LPVOID environment, LPCWSTR currentDirectory,
                    STARTUPINFOW *startup, PROCESS_INFORMATION *info);

namespace plat {

/* One recorded launch. */
struct ProcessLaunch {
    std::u16string application; /* empty when none was given */
    std::u16string commandLine;
    std::u16string directory;
    DWORD flags;
    bool started;               /* false when the script failed it */
};

/* Makes the next launch fail with `error` (queued; each launch takes one). */
void process_script_failure(DWORD error);

/* Every launch recorded since the last clear, oldest first. */
std::vector<ProcessLaunch> process_log();

/* Empties the record and the script. */
void process_clear();

/* Process and thread handles still open (tests use it to find leaks). */
size_t process_open_handles();

} // namespace plat

#endif /* PLAT_PROCESS_H */
