/*
 * Creating and destroying a device context (see pdev_lifecycle.h).  The
 * context and everything it keeps live in a private heap of its own; the
 * data manager stays loaded from creation to destruction of each context;
 * the model data is opened under the process-wide model-data lock.
 */
#include "ddi_entry.h"
#include "esc_ext.h"
#include "esc_job_data.h"
#include "fnt_device_fonts.h"
#include "fnt_download.h"
#include "job_ext.h"
#include "job_state.h"
#include "pdev_lifecycle.h"
#include "spool_file.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/memory.h>

#include <atomic>
#include <cstring>

namespace {

/* Initial size of a context's private heap. */
constexpr SIZE_T kHeapInitialSize = 8192;

/* The scale that leaves the page as it is, percent. */
constexpr WORD kFullScale = 100;

/* Settings-dump category of a new context's devmodes. */
constexpr DWORD kDumpCategoryCreate = 0x10000;

std::atomic<int> g_opening{0};
void (*g_modelOpenHook)(int) = nullptr;

/* True when the engine's devmode is a job devmode: sizes 220 + 5,700 and the marker 24 behind the settings. */
bool is_job_devmode(DEVMODEW *devmode)
{
    if (DMB_GetTypedValue(devmode, nullptr, ID_DEVMODE_SIZE, SVT_UINT16) != PDEV_PUBLIC_DEVMODE_SIZE ||
        DMB_GetTypedValue(devmode, nullptr, ID_DRIVER_EXTRA, SVT_UINT16) != PDEV_JOB_DEVMODE_EXTRA)
        return false;
    return plat::load_u16(devmode, PDEV_TAIL_MARKER) == PDEV_JOB_DEVMODE_MARKER;
}

/* True when the settings ask for a resolution above 0: the whole page geometry is built on it. */
bool has_resolution(BYTE *settings)
{
    return SHORT(DMB_GetTypedValue(settings, nullptr, ID_RESOLUTION, SVT_INT16)) > 0;
}

/*
 * A scale of 0 or below (a devmode of a model that names no scale carries
 * 0) is taken as 100 %, so nothing divides by it: the context's working
 * settings say 100.
 */
int normalise_scale(PdevContext *pdev)
{
    DWORD scale = 0;
    if (PDEV_GetSetting32(pdev, ID_SCALE, &scale) != 0)
        return 0;
    return LONG(scale) > 0 || PDEV_SetSetting16(pdev, ID_SCALE, kFullScale) == 0;
}

/* Opens the printer's model context under the model-data lock.  1 or 0. */
int open_model(PdevContext *pdev)
{
    DDI_EnterModelLock();
    int opening = ++g_opening;
    if (g_modelOpenHook)
        g_modelOpenHook(opening);
    pdev->model = MDL_Open(pdev->printer);
    --g_opening;
    DDI_LeaveModelLock();
    if (!pdev->model)
        return 0;
    pdev->mainReader = pdev->model->main;
    pdev->companionReader = pdev->model->companion;
    return 1;
}

/* Makes the model's registry base the base of the temporary-file list. */
void take_temp_file_base(PdevContext *pdev)
{
    LPWSTR base = nullptr;
    if (DDD_GetRegistryKeyText(pdev->mainReader, 0, &base) == 0 && base)
        OUT_SetTempFileBase(base);
    DDD_FreeRecord(&base, 0);
}

/* Frees everything the context holds, then its heap, and releases the data manager. */
void release_context(PdevContext *pdev)
{
    HANDLE heap = pdev->heap;
    ESC_FreeContextData(pdev);
    ESC_ExtDropSequence(pdev);
    if (pdev->palette)
        EngDeletePalette(pdev->palette);
    if (pdev->fontSubTable)
        GlobalFree(pdev->fontSubTable);
    FNT_FreeDownloadedFonts(pdev);
    /* model paper records must go before the model data they were read from */
    ModelRecord *sheetPaper = pdev->sheetForm.modelPaper;
    if (sheetPaper == pdev->jobForm.modelPaper || sheetPaper == pdev->feedForm.modelPaper)
        pdev->sheetForm.modelPaper = nullptr;
    FORM_Free(&pdev->jobForm);
    FORM_Free(&pdev->feedForm);
    FORM_Free(&pdev->sheetForm);
    if (pdev->model)
        MDL_Close(pdev->model);
    pdev->headMagic = 0;
    pdev->tailMagic = 0;
    HeapDestroy(heap);
    DMB_Unload();
}

/* A failed creation: frees what was made and keeps the last error of the failure. */
PdevContext *fail(PdevContext *pdev)
{
    DWORD error = GetLastError();
    release_context(pdev);
    SetLastError(error ? error : DWORD(ERROR_INVALID_PARAMETER));
    return nullptr;
}

} // namespace

PdevContext *PDEV_Create(DEVMODEW *devmode, ULONG cPat, HSURF *patterns, ULONG cjCaps, ULONG *caps, ULONG cjDevInfo,
                         DEVINFO *devinfo, HDEV hdev, LPWSTR deviceName, HANDLE printer)
{
    (void)deviceName;
    if (!devmode || !caps || !devinfo || !hdev || !printer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE heap = HeapCreate(0, kHeapInitialSize, 0);
    if (!heap)
        return nullptr;
    auto *pdev = static_cast<PdevContext *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, sizeof(PdevContext)));
    if (!pdev) {
        HeapDestroy(heap);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    pdev->heap = heap;
    pdev->printer = printer;
    pdev->engineDevice = hdev;
    DMB_Load(RES_GetOwnModule());

    SetLastError(0);
    if (!is_job_devmode(devmode)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return fail(pdev);
    }
    auto *input = static_cast<BYTE *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, SETTINGS_IMAGE_SIZE));
    if (!input)
        return fail(pdev);
    std::memcpy(input, devmode, SETTINGS_IMAGE_SIZE);
    if (DMB_SetValueArgs(input, nullptr, ID_DRIVER_EXTRA, SVT_UINT16, int(SETTINGS_DEVMODE_SIZE - PDEV_PUBLIC_DEVMODE_SIZE)) !=
            DMA_OK ||
        !has_resolution(input)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return fail(pdev);
    }
    std::memcpy(&pdev->jobFormPaper, reinterpret_cast<const BYTE *>(devmode) + PDEV_TAIL_PAPER,
                sizeof pdev->jobFormPaper);
    pdev->jobFormExtras[0] = plat::load_u32(devmode, PDEV_TAIL_EXTRA0);
    pdev->jobFormExtras[1] = plat::load_u32(devmode, PDEV_TAIL_EXTRA1);

    if (!open_model(pdev))
        return fail(pdev);
    FNT_LoadDeviceFontList(pdev);
    if (!PDEV_Init(pdev, input))
        return fail(pdev);
    JOB_InitExtState(pdev);
    if (!PDEV_FillGdiInfo(pdev, cjCaps, caps) || !PDEV_FillDevInfo(pdev, cjDevInfo, devinfo))
        return fail(pdev);
    for (ULONG i = 0; patterns && i < cPat; i++)
        patterns[i] = nullptr;
    take_temp_file_base(pdev);

    LOG_DumpSettings(kDumpCategoryCreate, u"<INPUT  DEVMODE>", input, pdev->printerData);
    LOG_DumpSettings(kDumpCategoryCreate, u"<OUTPUT DEVMODE>", pdev->settings, pdev->printerData);
    HeapFree(heap, 0, input);
    SetLastError(0);
    return pdev;
}

int PDEV_Init(PdevContext *pdev, const BYTE *settings)
{
    pdev->flags = 0;
    pdev->headMagic = PDEV_MAGIC;
    pdev->tailMagic = PDEV_MAGIC;
    pdev->printerData = static_cast<BYTE *>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, SETTINGS_PRINTERDATA_SIZE));
    if (!pdev->printerData || !UPG_LoadPrinterData(pdev->printer, pdev->printerData, pdev->model))
        return 0;
    std::memcpy(pdev->settings, settings, SETTINGS_IMAGE_SIZE);
    if (!normalise_scale(pdev) || !PDEV_ResolveForms(pdev))
        return 0;
    DWORD copies = 0, resolution = 0, scale = 0;
    if (PDEV_GetSetting32(pdev, ID_COPIES, &copies) != 0 || PDEV_GetSetting32(pdev, ID_RESOLUTION, &resolution) != 0 ||
        PDEV_GetSetting32(pdev, ID_SCALE, &scale) != 0)
        return 0;
    pdev->copyCount = LONG(copies);
    pdev->fontSubTable = nullptr; /* fetched by the text work on first use */
    pdev->logicalResolution = LONG(resolution) * LONG(scale) / 100;
    pdev->copySetMode = MDL_GetDeviceClass(pdev->mainReader) == MDL_CLASS_FAX ? 1 : 0;
    return 1;
}

void PDEV_Complete(PdevContext *pdev, HDEV hdev)
{
    if (!PDEV_IsValid(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    pdev->engineDevice = hdev;
}

void PDEV_Destroy(PdevContext *pdev)
{
    if (!PDEV_IsValid(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    JOB_Close(pdev);
    release_context(pdev);
}

void PDEV_SetModelOpenHookForTest(void (*hook)(int opening)) { g_modelOpenHook = hook; }
