/*
 * Reads and writes of single settings for the settings upgrade, through the
 * data-manager binding: numbers in the type a setting reads as, strings cut
 * at their field, resets to the schema default.
 */
#include "upg_private.h"

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>

#include <cstring>
#include <vector>

bool upg_GetNumber(WORD id, void *devmode, void *printerData, DWORD *value)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (DMB_GetValue(id, devmode, printerData, &type, &size, slot) != 0 || type == SVT_WSTRING ||
        type == SVT_LOGFONT)
        return false;
    *value = FID_ReadValueAsUInt(slot, type);
    return true;
}

bool upg_SetNumber(WORD id, void *devmode, void *printerData, DWORD value)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (DMB_GetValue(id, devmode, printerData, &type, &size, slot) != 0 || size <= 0 || size > 4)
        return false;
    BYTE bytes[4];
    std::memcpy(bytes, &value, sizeof bytes); /* little-endian: the low bytes first, whatever the size */
    return DMB_SetValue(id, devmode, printerData, type, size, bytes) == 0;
}

bool upg_SetString(WORD id, void *devmode, void *printerData, const BYTE *text, DWORD bytes)
{
    std::vector<WCHAR> copy(bytes / 2 + 1, 0);
    std::memcpy(copy.data(), text, bytes / 2 * 2);
    DWORD n = 0;
    while (copy[n] != 0)
        ++n;
    /* An older field may hold more than the current one: the text is cut to fit it. */
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(id, nullptr, &item) == 0 && item->storedType == SVT_WSTRING && item->reportedType == 0)
        while (n > 0 && 2 * ULONGLONG(n) + 2 > item->capacity)
            --n;
    copy[n] = 0;
    LPCWSTR p = copy.data();
    return DMB_SetValue(id, devmode, printerData, SVT_WSTRING, LONG(2 * n + 2), &p) == 0;
}

bool upg_Reset(ModelContext *context, void *devmode, void *printerData, WORD id)
{
    return FID_ResetToDefault(context, devmode, printerData, id) != FALSE;
}

bool upg_DefaultPrinterData(ModelContext *context, void *printerData)
{
    std::memset(printerData, 0, SETTINGS_PRINTERDATA_SIZE);
    return FID_InitDefaults(context, nullptr, printerData, FID_DUMMY_PRINTER_NAME) != FALSE;
}
