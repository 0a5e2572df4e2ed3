/*
 * Trace lines: free-form lines and the entry and exit lines of the exported
 * entry points with their time stamp and process and thread ids.
 */
#include <tarvel/base/log_trace.h>

#include "log_private.h"

#include <plat/clock.h>
#include <plat/sysinfo.h>
#include <plat/text.h>

#include <cstdarg>
#include <ctime>

namespace {

bool entry_exit_on()
{
    const DWORD needed = LOG_FLAG_ON | LOG_FLAG_ENTRY_EXIT;
    return (LOG_GetFlags() & needed) == needed;
}

/* Formats into `out` (LOG_FORMAT_CHARS); the length, or -1 when it reaches the line limit. */
int format_text(WCHAR (&out)[LOG_FORMAT_CHARS], LPCWSTR format, va_list args)
{
    if (format == nullptr)
        return -1;
    const int length = wvsprintfW(out, format, args);
    return length >= LOG_LINE_LIMIT ? -1 : length;
}

/* The time stamp, the ids and `marker`: the start of an entry or exit line. */
std::u16string stamped(LPCWSTR marker)
{
    std::u16string line;
    LOG_AppendTime(line);
    LOG_AppendIds(line);
    line += marker;
    return line;
}

} // namespace

void LOG_AppendTime(std::u16string &line)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::tm t{};
    t.tm_year = now.wYear - 1900;
    t.tm_mon = now.wMonth - 1;
    t.tm_mday = now.wDay;
    t.tm_hour = now.wHour;
    t.tm_min = now.wMinute;
    t.tm_sec = now.wSecond;
    t.tm_wday = now.wDayOfWeek;
    WCHAR stamp[64];
    if (wcsftime(stamp, sizeof stamp / sizeof stamp[0], u"%m-%d-%Y %H:%M:%S ", &t) != 0)
        line += stamp;
}

void LOG_AppendIds(std::u16string &line)
{
    WCHAR ids[64];
    wsprintfW(ids, u"P[%08x] T[%08x] ", GetCurrentProcessId(), GetCurrentThreadId());
    line += ids;
}

int LOG_Printf(LPCWSTR format, ...)
{
    if ((LOG_GetFlags() & LOG_FLAG_ON) == 0)
        return 1;
    WCHAR text[LOG_FORMAT_CHARS];
    va_list args;
    va_start(args, format);
    const int length = format_text(text, format, args);
    va_end(args);
    return length < 0 ? 0 : LOG_WriteLine(text);
}

int LOG_TraceIn(LPCWSTR functionName)
{
    if (!entry_exit_on())
        return 1;
    std::u16string line = stamped(u"IN <<");
    if (functionName != nullptr)
        line += functionName;
    return LOG_WriteLine(line.c_str());
}

int LOG_TraceOut(LPCWSTR format, ...)
{
    if (!entry_exit_on())
        return 1;
    WCHAR text[LOG_FORMAT_CHARS];
    va_list args;
    va_start(args, format);
    const int length = format_text(text, format, args);
    va_end(args);
    if (length < 0)
        return 0;
    std::u16string line = stamped(u"OUT>>");
    line += text;
    line += u"\r\n";
    return LOG_WriteLine(line.c_str());
}
