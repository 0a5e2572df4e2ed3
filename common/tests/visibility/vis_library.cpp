/*
 * A tiny shared library that links the common library, built twice (as
 * libtarvelvis_a.so, which declares itself the user-interface library for
 * its trace file, and libtarvelvis_b.so) to show that two libraries carrying
 * the common library keep separate state.  It exports one function,
 * VIS_NAME, that answers its function table.
 */
#include "vis_api.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <vector>

#ifdef VIS_USER_INTERFACE
LOG_TRACE_FILE_OF_LIBRARY(LOG_LIBRARY_USER_INTERFACE);
#endif

namespace {

void vis_release()
{
    DMB_ResetForTest();
    LOG_ResetForTest();
    RES_ResetForTest();
}

void vis_init(LPCWSTR modulePath)
{
    vis_release();
    RES_SetModulePathForTest(modulePath);
    RES_InitModulePaths(nullptr, nullptr); /* the module holding this code: this library */
    RES_AttachOwnStrings(RES_GetOwnModule());
}

int vis_load()
{
    return DMB_Load(RES_GetOwnModule());
}

WORD vis_read(WORD id)
{
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE), printerData(SETTINGS_PRINTERDATA_SIZE);
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    return DMB_GetValue(id, image.data(), printerData.data(), &type, &size, slot);
}

int vis_trace(LPCWSTR text)
{
    return LOG_Printf(u"%s", text);
}

const VisApi kApi = {vis_init, vis_load, DMB_Unload, DMB_GetUseCount, vis_read,
                     LOG_GetFlags, LOG_ReloadSwitch, vis_trace, vis_release};

} // namespace

extern "C" __attribute__((visibility("default"))) const VisApi *VIS_NAME(void)
{
    return &kApi;
}
