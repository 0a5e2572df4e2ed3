/*
 * The default extension block of a printer: what an older stored N_Dev is
 * filled over, and what callers fall back to when no N_Dev can be read.
 *
 * Filling a settings image with the model's defaults is the settings
 * schema's work (FID_InitDefaults), which this library does not have yet:
 * until it does, the defaults cannot be built and every caller sees a
 * failure (with a trace line on the debugger output), never a made-up
 * extension.
 */
#include <tarvel/pdt_blob.h>

#include <plat/debug.h>
#include <plat/error.h>

namespace {

BOOL (*g_testSource)(HANDLE, BYTE *) = nullptr;

} // namespace

void pdt_SetDefaultExtensionSourceForTest(BOOL (*source)(HANDLE printer, BYTE *extension))
{
    g_testSource = source;
}

BOOL PDT_BuildDefaultExtension(HANDLE printer, BYTE *extension)
{
    if (!printer || !extension)
        return FALSE;
    if (g_testSource)
        return g_testSource(printer, extension);
    OutputDebugStringW(u"PDT_BuildDefaultExtension: not built yet (waits for FID_InitDefaults)\n");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}
