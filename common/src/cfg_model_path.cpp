/*
 * The path of a model context's per-model configuration file: the driver
 * directory followed by the companion file name that the main model data
 * file's header gives, with the extension "cfg".
 */
#include "tarvel/cfg_model.h"

#include "tarvel/mdl_context.h"
#include "tarvel/model_file.h"
#include "tarvel/model_records.h"

LPWSTR CFG_GetModelCfgPath(ModelContext *context)
{
    if (context == nullptr || context->main == nullptr)
        return nullptr;
    ModelRecord *header = nullptr;
    if (DDD_ReadHeaderInfo(context->main, &header) != DDD_OK || header == nullptr)
        return nullptr;
    LPWSTR path = CFG_MakeModelCfgPath(reinterpret_cast<const DddHeaderInfo *>(header)->companionName);
    DDD_FreeRecord(&header, -1);
    return path;
}
