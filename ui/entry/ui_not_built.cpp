/*
 * The visible failure of work not built yet (see ui_not_built.h).
 */
#include "ui_not_built.h"

#include <tarvel/base/log_trace.h>

#include <plat/error.h>

int UI_NotBuilt(LPCWSTR function, int failure)
{
    LOG_Printf(u"%s: not built yet", function);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return failure;
}
