/*
 * The model context's calls into services of other parts of the common
 * library (see mdl_pending.h): the per-model configuration values and the
 * devmode mapping description, the work folder path, the resource module's
 * language and a setting of the job's devmode through the data-manager
 * binding.
 */
#include "mdl_pending.h"

#include "tarvel/cfg_model.h"
#include "tarvel/dmb_binding.h"
#include "tarvel/dme_mapping.h"
#include "tarvel/fid_value.h"
#include "tarvel/res_text.h"

#include <plat/memory.h>

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
    return RES_AllocWorkFolderPath();
}

BOOL mdl_GetResourceLanguage(DWORD *language)
{
    int number = 0;
    if (!language || !RES_GetResourceLanguage(&number))
        return FALSE;
    *language = static_cast<DWORD>(number);
    return TRUE;
}

BOOL mdl_ReadDevmodeWord(void *devmode, WORD id, WORD *value)
{
    if (value)
        *value = 0;
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (!value || DMB_GetValue(id, devmode, nullptr, &type, &size, &slot) != DMA_OK)
        return FALSE;
    *value = static_cast<WORD>(FID_ReadValueAsUInt(&slot, type));
    return TRUE;
}
