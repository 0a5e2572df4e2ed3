/*
 * Opening and closing a model context: the driver's data file from the
 * spooler, the pair of model data files, the per-model configuration.
 */
#include "mdl_internal.h"
#include "mdl_hooks.h"

#include <tarvel/stores/pdt_info.h>

#include <plat/memory.h>
#include <plat/spooler.h>

ModelContext *MDL_AllocContext(void)
{
    auto *context = static_cast<ModelContext *>(mdl_Alloc(sizeof(ModelContext)));
    if (!context)
        return nullptr;
    context->main = static_cast<ModelFileReader *>(mdl_Alloc(sizeof(ModelFileReader)));
    context->companion = static_cast<ModelFileReader *>(mdl_Alloc(sizeof(ModelFileReader)));
    if (!context->main || !context->companion) {
        MDL_FreeContext(context);
        return nullptr;
    }
    return context;
}

void MDL_FreeContext(ModelContext *context)
{
    if (!context)
        return;
    /* A context freed with its files still open would lose their copies. */
    if (ddd_IsLoaded(context->main) || ddd_IsLoaded(context->companion))
        DDD_CloseFiles(context->main, context->companion);
    mdl_DetachConfiguration(context);
    mdl_Free(context->main);
    mdl_Free(context->companion);
    mdl_Free(context);
}

LPWSTR MDL_GetDriverDataFile(HANDLE printer)
{
    BYTE *info = PDT_GetDriverInfo(printer, 2);
    if (!info)
        return nullptr;
    LPCWSTR file = reinterpret_cast<const DRIVER_INFO_2W *>(info)->pDataFile;
    LPWSTR copy = file && file[0] ? ddd_DupString(file, nullptr) : nullptr;
    GlobalFree(info);
    return copy;
}

ModelContext *MDL_Open(HANDLE printer)
{
    if (!printer)
        return nullptr;
    ModelContext *context = MDL_AllocContext();
    if (!context)
        return nullptr;
    LPWSTR path = MDL_GetDriverDataFile(printer);
    if (!path) {
        MDL_FreeContext(context);
        return nullptr;
    }
    WORD r = DDD_OpenModelFile(path, context->main, context->companion);
    mdl_Free(path);
    if (r != DDD_OK) {
        MDL_FreeContext(context);
        return nullptr;
    }
    mdl_AttachConfiguration(context);
    return context;
}

BOOL MDL_Close(ModelContext *context)
{
    if (!context)
        return FALSE;
    /* A model without a companion file closes with 0: its companion reader had nothing loaded. */
    BOOL closed = DDD_CloseFiles(context->main, context->companion) == DDD_OK;
    MDL_FreeContext(context);
    return closed;
}
