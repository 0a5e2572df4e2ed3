/*
 * The model context's links (see mdl_hooks.h): the configuration file found
 * by the model's companion name and read for the model's name, and the job
 * type read through the data-manager binding.
 */
#include "mdl_hooks.h"
#include "model_platform.h"

#include <tarvel/model_data/cfg_model.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/dme_mapping.h>
#include <tarvel/settings/fid_value.h>

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
    MDL_GetModelName(context, &name, &reason);
    context->specials = CFG_LoadSpecials(name, path);
    context->dme = DME_Load(path, 1);
    mdl_Free(name);
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

BOOL mdl_ReadDevmodeWord(void *devmode, WORD id, WORD *value)
{
    if (value)
        *value = 0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (!value || DMB_GetValue(id, devmode, nullptr, &type, &size, slot) != DMA_OK)
        return FALSE;
    *value = static_cast<WORD>(FID_ReadValueAsUInt(slot, type));
    return TRUE;
}
