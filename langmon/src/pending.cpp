/*
 * Calls of the port layer into the monitor's job road, port input, named
 * requests, device-ID reads, reply parser, poll cycle and network access,
 * which are not built yet.  Each either gives the answer its work gives in
 * the state this library cannot leave yet, or fails visibly: one debugger
 * line naming the function, ERROR_CALL_NOT_IMPLEMENTED and the function's
 * failure value.  Each is deleted from here when its work is built.
 */
#include "status.h"

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

/* ---- Named requests ------------------------------------------------------------ */

BOOL GetPrinterDataFromPort(HANDLE, DWORD, LPWSTR, LPWSTR, DWORD, LPWSTR, DWORD, LPDWORD)
{
    not_built(u"GetPrinterDataFromPort");
    return FALSE;
}
