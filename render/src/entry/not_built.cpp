/*
 * The visible failure of work not built yet, shared by the pipeline's
 * waiting roads.
 */
#include "not_built.h"

#include <tarvel/base/log_trace.h>

#include <plat/error.h>

int REN_NotBuilt(LPCWSTR function, LPCWSTR detail)
{
    if (detail)
        LOG_Printf(u"%s: not built yet (%s)", function, detail);
    else
        LOG_Printf(u"%s: not built yet", function);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
}
