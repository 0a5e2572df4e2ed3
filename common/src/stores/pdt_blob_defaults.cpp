/*
 * The default extension block of a printer: what an older stored N_Dev is
 * filled over, and what callers fall back to when no N_Dev can be read.  A
 * fresh settings image is filled with the model's defaults by the settings
 * schema, and its part behind the devmode is the extension.
 */
#include <tarvel/stores/pdt_blob.h>

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/fid_defaults.h>

#include <plat/memory.h>

#include <cstring>

static_assert(DPF_EXTENSION_SIZE == SETTINGS_EXTENSION_SIZE, "N_Dev carries the whole extension block");

BOOL PDT_BuildDefaultExtension(HANDLE printer, BYTE *extension)
{
    if (!printer || !extension)
        return FALSE;
    ModelContext *context = MDL_Open(printer);
    if (!context)
        return FALSE;
    BYTE *image = static_cast<BYTE *>(GlobalAlloc(GPTR, SETTINGS_IMAGE_SIZE));
    BOOL ok = image && FID_InitDefaults(context, image, nullptr, u"DummyName");
    if (ok)
        std::memcpy(extension, image + SETTINGS_DEVMODE_SIZE, DPF_EXTENSION_SIZE);
    GlobalFree(image);
    MDL_Close(context);
    return ok;
}
