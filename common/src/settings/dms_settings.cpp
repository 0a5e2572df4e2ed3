/*
 * Settings blocks and the rows of the setting layout table, and the devmode
 * services built on the settings upgrade: the printer's current devmode,
 * the DevQueryPrintEx check and the DrvConvertDevMode worker.
 */
#include "upg_private.h"

#include <tarvel/model_data/cfg_model.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dms_settings.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_merge.h>
#include <tarvel/stores/pdt_info.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/spooler.h>

#include <cstring>

namespace {

/*
 * The configuration's enforced values applied to a 1,604-byte devmode, in
 * a whole settings image so that no setting of the extension block is
 * written past the caller's devmode.
 */
void applyEnforced(ModelContext *context, void *devmode)
{
    UpgBlock image(SETTINGS_IMAGE_SIZE);
    if (!image.p)
        return;
    std::memcpy(image.p, devmode, SETTINGS_DEVMODE_SIZE);
    CFG_ApplySpecials(context->specials, image.p, nullptr, CFG_APPLY_ENFORCED);
    std::memcpy(devmode, image.p, SETTINGS_DEVMODE_SIZE);
}

/* The driver's defaults for the printer with its PrinterData loaded and the paper fields in step; false when a step fails. */
bool driverDefaults(LPCWSTR printerName, ModelContext *context, BYTE *image)
{
    if (!FID_InitDefaults(context, image, nullptr, printerName))
        return false;
    UpgBlock printerData(SETTINGS_PRINTERDATA_SIZE);
    HANDLE printer = nullptr;
    if (!printerData.p || !printerName || !OpenPrinterW(printerName, &printer, nullptr))
        return false;
    const bool ok = UPG_LoadPrinterData(printer, printerData.p, context) &&
                    FID_SyncPaperFields(context, printer, image, printerData.p);
    ClosePrinter(printer);
    return ok;
}

} // namespace

DWORD DMS_SettingsSize(DWORD kind)
{
    return kind == DMS_KIND_DEVMODE ? SETTINGS_DEVMODE_SIZE : SETTINGS_IMAGE_SIZE;
}

void *DMS_AllocSettings(DWORD kind)
{
    return GlobalAlloc(GPTR, DMS_SettingsSize(kind));
}

int DMS_CopySettings(void *destination, const void *source, DWORD kind)
{
    if (destination == nullptr || source == nullptr)
        return 0;
    std::memmove(destination, source, DMS_SettingsSize(kind));
    return 1;
}

int DMS_ZeroSettings(void *block, DWORD kind)
{
    if (block == nullptr)
        return 0;
    std::memset(block, 0, DMS_SettingsSize(kind));
    return 1;
}

int DMS_GetIdGroupKind(DWORD row, WORD *kind)
{
    if (row >= ID_LAYOUT_GROUP_COUNT || kind == nullptr)
        return 0;
    *kind = IdLayoutTable[row].kind;
    return 1;
}

WORD DMS_GetIdGroupItem(DWORD row, DWORD n)
{
    if (row >= ID_LAYOUT_GROUP_COUNT)
        return 0;
    const IdLayoutItem *items = IdLayoutTable[row].items;
    for (DWORD i = 0; items[i].id != 0; ++i)
        if (i == n)
            return items[i].id;
    return 0;
}

PRINTER_INFO_2W *DMS_GetPrinterDevmode(HANDLE printer, ModelContext *context, void *devmode, LONG *size,
                                       int *success)
{
    if (success != nullptr)
        *success = 0;
    if (printer == nullptr || context == nullptr || devmode == nullptr || size == nullptr)
        return nullptr;
    BYTE *info = PDT_GetPrinterInfo(printer, 2);
    if (!info)
        return nullptr;
    auto *pi = reinterpret_cast<PRINTER_INFO_2W *>(info);
    const void *current = pi->pDevMode;
    UpgBlock fresh(pi->pDevMode ? 0 : SETTINGS_IMAGE_SIZE);
    if (!current) {
        if (!fresh.p || !FID_InitDefaults(context, fresh.p, nullptr, pi->pPrinterName)) {
            GlobalFree(info);
            return nullptr;
        }
        current = fresh.p;
    }
    const int converted = DMS_ConvertDevMode(pi->pPrinterName, context, current, devmode, size, CDM_CONVERT);
    if (converted < 1 || converted > 3) {
        GlobalFree(info);
        return nullptr;
    }
    if (success != nullptr)
        *success = 1;
    applyEnforced(context, devmode);
    pi->pDevMode = static_cast<DEVMODEW *>(devmode);
    return pi;
}

int DMS_DevQueryPrintCheck(const void *devmode)
{
    if (devmode == nullptr)
        return 0;
    /* 2, 4 and 5 come first: a devmode that passes them holds the private part that 258 reads. */
    void *settings = const_cast<void *>(devmode);
    for (WORD id : {WORD(2), WORD(4), WORD(5), WORD(258)}) {
        if (!FID_ValidateValue(nullptr, id, settings, nullptr, FID_OP_CHECK_MODEL))
            return 0;
    }
    return 1;
}

int DMS_ConvertDevMode(LPCWSTR printerName, ModelContext *context, const void *input, void *output, LONG *size,
                       DWORD mode)
{
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -2;
    }
    if (context == nullptr)
        return -2;
    if (mode != CDM_CONVERT && mode != CDM_DRIVER_DEFAULT)
        return -2;
    const LONG needed = static_cast<LONG>(SETTINGS_DEVMODE_SIZE);
    const LONG given = *size;
    *size = needed;
    if (given < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return -1;
    }
    if (output == nullptr || (mode == CDM_CONVERT && input == nullptr))
        return -2;
    if (mode == CDM_CONVERT) {
        const int result = UPG_ConvertDevmode(input, output, printerName, context);
        return result >= UPG_CONVERTED && result <= UPG_DEFAULTS ? result + 1 : -2;
    }
    UpgBlock image(SETTINGS_IMAGE_SIZE);
    if (!image.p)
        return -2;
    const bool ok = driverDefaults(printerName, context, image.p);
    std::memcpy(output, image.p, SETTINGS_DEVMODE_SIZE);
    return ok ? 3 : -2;
}
