/*
 * The model context's calls into services not wired in yet (see
 * mdl_pending.h).  Until each is wired:
 * - a model opens without configuration values and mapping description, as
 *   a model without a configuration file does;
 * - the work folder path, the resource language and the devmode read fail
 *   with ERROR_CALL_NOT_IMPLEMENTED and write one line naming the missing
 *   function to the debugger output, so that what depends on them fails
 *   visibly instead of answering made-up values.
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

LPWSTR mdl_AllocWorkFolderPath(void)
{
    not_built(u"tarvel: RES_AllocWorkFolderPath is not built yet\n");
    return nullptr;
}

BOOL mdl_GetResourceLanguage(DWORD *language)
{
    if (language)
        *language = 0;
    not_built(u"tarvel: RES_GetResourceLanguage is not built yet\n");
    return FALSE;
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
