/*
 * The model context's calls into services not wired in yet (see
 * mdl_pending.h).  Until each is wired:
 * - a model opens without configuration values and mapping description, as
 *   a model without a configuration file does;
 * - the devmode read fails with ERROR_CALL_NOT_IMPLEMENTED and writes one
 *   line naming the missing function to the debugger output, so that what
 *   depends on it fails visibly instead of answering a made-up value.
 */
#include "mdl_pending.h"

#include <plat/debug.h>
#include <plat/error.h>

namespace {

void not_built(LPCWSTR line)
{
    OutputDebugStringW(line);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
}

} // namespace

void mdl_AttachConfiguration(ModelContext *context)
{
    if (!context)
        return;
    context->specials = nullptr;
    context->dme = nullptr;
}

void mdl_DetachConfiguration(ModelContext *context)
{
    if (!context)
        return;
    /* Nothing is attached yet (see mdl_AttachConfiguration). */
    context->specials = nullptr;
    context->dme = nullptr;
}

BOOL mdl_ReadDevmodeWord(void *devmode, WORD id, WORD *value)
{
    (void)devmode;
    (void)id;
    if (value)
        *value = 0;
    not_built(u"tarvel: DMB_GetValue is not built yet\n");
    return FALSE;
}
