/*
 * Calls of the port layer into the monitor's job road, port input, named
 * requests, status values, served printers and network access, which are
 * not built yet.  Each either gives the answer its work gives in the state
 * this library cannot leave yet (no port holds a status-value table, so
 * there is no value to seed, clear or free), or fails visibly: one debugger
 * line naming the function, ERROR_CALL_NOT_IMPLEMENTED and the function's
 * failure value.  Each is deleted from here when its work is built.
 */
#include "monitor.h"

#include <plat/debug.h>
#include <plat/error.h>

#include <string>

namespace {

void not_built(const char16_t *function)
{
    OutputDebugStringW((std::u16string(u"tarvellm: ") + function + u": not built yet\n").c_str());
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
}

} // namespace

/* ---- Monitor functions of the job road, port input and named requests ------- */

BOOL StartDocPort(HANDLE, LPWSTR, DWORD, DWORD, LPBYTE)
{
    not_built(u"StartDocPort");
    return FALSE;
}

BOOL WritePort(HANDLE, LPBYTE, DWORD, LPDWORD pcbWritten)
{
    if (pcbWritten)
        *pcbWritten = 0;
    not_built(u"WritePort");
    return FALSE;
}

BOOL EndDocPort(HANDLE)
{
    not_built(u"EndDocPort");
    return FALSE;
}

BOOL GetPrinterDataFromPort(HANDLE, DWORD, LPWSTR, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD)
{
    not_built(u"GetPrinterDataFromPort");
    return FALSE;
}

/* ---- Status values: no port holds a table, so no row exists ------------------- */

void LMS_SeedPrinterStatus(MonitorPort *, BOOL) {}

BOOL LMS_ClearErrorValues(MonitorPort *, BOOL) { return FALSE; }

void LMS_ClearJobStatus(MonitorPort *) {}

void LMS_ResetDeviceValues(MonitorPort *, BOOL) {}

void LMS_UpdateExtStatus(MonitorPort *) {}

BOOL LMS_ClearExtStatusBits(MonitorPort *, DWORD) { return FALSE; }

void LMS_FreeStatusVariables(MonitorPort *) {}

/* ---- Job bookkeeping, served printers, network access ------------------------- */

/* No printer is bound to the status manager yet. */
bool LMS_IsBoundToManager(const ServedPrinter *) { return false; }

bool LMS_QueryDeviceId(MonitorPort *)
{
    not_built(u"LMS_QueryDeviceId");
    return false;
}

/* The reply text is not parsed: the reader stops (answer 2) and keeps nothing. */
int LMS_FeedReply(const char *, const char **, MonitorPort *, BOOL, DWORD *)
{
    not_built(u"LMS_FeedReply");
    return 2;
}

BOOL LMS_FinishJobs(MonitorPort *, BOOL)
{
    not_built(u"LMS_FinishJobs");
    return FALSE;
}

BOOL LMS_PublishToManager(MonitorPort *)
{
    not_built(u"LMS_PublishToManager");
    return FALSE;
}

SnmpSession *LMN_OpenSession(const char *, const char *)
{
    not_built(u"LMN_OpenSession");
    return nullptr;
}

/* No session is ever opened yet, so there is none to close. */
void LMN_CloseSession(SnmpSession *) {}
