/*
 * The model context's calls into services of other parts of the common
 * library (see mdl_pending.h).  The configuration values and the mapping
 * description are wired in: a model opens with those of its configuration
 * file (none without one).  Until each of the others is wired:
 * - the work folder path, the resource language and the devmode read fail
 *   with ERROR_CALL_NOT_IMPLEMENTED and write one line naming the missing
 *   function to the debugger output, so that what depends on them fails
 *   visibly instead of answering made-up values.
 */
#include "mdl_pending.h"

#include "tarvel/cfg_model.h"
#include "tarvel/dme_mapping.h"

#include <plat/debug.h>
#include <plat/error.h>
#include <plat/memory.h>

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
    LPWSTR path = CFG_GetModelCfgPath(context);
    if (!path)
        return;
    LPWSTR name = nullptr;
    WORD reason = 0;
    if (MDL_GetModelName(context, &name, &reason)) {
        context->specials = CFG_LoadSpecials(name, path);
        GlobalFree(name);
    }
    context->dme = DME_Load(path, 1);
    GlobalFree(path);
}

void mdl_DetachConfiguration(ModelContext *context)
{
    if (!context)
        return;
    CFG_FreeSpecials(context->specials);
    if (context->dme)
        DME_Free(context->dme);
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
