/*
 * Settings blocks and the rows of the setting layout table, and the devmode
 * services that wait for the printer-data upgrade work (they check their
 * arguments and fail visibly until it is built).
 */
#include <tarvel/dms_settings.h>
#include <tarvel/fid_defaults.h>
#include <tarvel/log_trace.h>
#include <tarvel/setting_layout.h>

#include <plat/error.h>
#include <plat/memory.h>

namespace {

/* Fails a call whose work is not built yet: trace line, last error, and the caller's failure value. */
void not_built(LPCWSTR name)
{
    LOG_Printf(u"%s: not built yet", name);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
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
    not_built(u"DMS_GetPrinterDevmode");
    return nullptr;
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
    (void)printerName;
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
    not_built(u"DMS_ConvertDevMode");
    return -2;
}
