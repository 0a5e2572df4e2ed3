/*
 * Settings access of the UserSettingInfo code.  The data-manager binding
 * (DMB_GetValue, DMB_SetValue) is not in this library yet: until it is,
 * every access answers status 16 (setting not available) with last error
 * ERROR_CALL_NOT_IMPLEMENTED and a trace line on the debugger output, so
 * that filling or writing back a record fails visibly instead of passing
 * made-up values.
 */
#include "usi_pending.h"

#include <plat/debug.h>
#include <plat/error.h>

namespace {

constexpr WORD kStatusUnavailable = 16;

WORD notBuilt(const char16_t *line)
{
    OutputDebugStringW(line);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return kStatusUnavailable;
}

} // namespace

WORD usi_ReadSetting(WORD, void *, WORD *, LONG *, void *)
{
    return notBuilt(u"DMB_GetValue: not built yet (waits for the data-manager binding)\n");
}

WORD usi_WriteSetting(WORD, void *, WORD, LONG, const void *)
{
    return notBuilt(u"DMB_SetValue: not built yet (waits for the data-manager binding)\n");
}
