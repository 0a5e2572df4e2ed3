/*
 * Internal operations of the trace log, shared by its source files: the
 * switch file's path and extra-setting list, the log file's directories and
 * path, and the stamp pieces of the entry and exit lines.
 */
#ifndef TARVEL_LOG_PRIVATE_H
#define TARVEL_LOG_PRIVATE_H

#include <plat/types.h>

#include <string>

/* Capacity of a formatting buffer (the wsprintfW limit). */
inline constexpr int LOG_FORMAT_CHARS = 1024;

/* LOG_GetConfigPath: the library's directory followed by "tarvel.cfg" into `buffer` (`chars` characters); 0 without a directory. */
int LOG_GetConfigPath(LPWSTR buffer, size_t chars);

/*
 * LOG_ReadIdList: rebuilds the extra-setting list from the "LOGOUT.DDMID="
 * lines of the switch file's "LOG" section; the count, or -1 (an empty list)
 * when memory runs out.
 */
int LOG_ReadIdList(LPCWSTR path);

/* LOG_AppendTime: appends "%m-%d-%Y %H:%M:%S " of the local time. */
void LOG_AppendTime(std::u16string &line);

/* LOG_AppendIds: appends "P[%08x] T[%08x] " with the process and thread ids. */
void LOG_AppendIds(std::u16string &line);

/* The trace file's name below the log directory, chosen by LOG_LibraryKind ("\DDI_..._TRACE_LOG.txt"). */
LPCWSTR log_TraceFileName(void);

/* Test-only resets of the switch (LOG_ResetForTest calls it). */
void log_ResetSwitchForTest(void);

#endif /* TARVEL_LOG_PRIVATE_H */
