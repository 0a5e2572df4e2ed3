/*
 * The device context's validity check and its settings access: every
 * settings read of the rendering library goes through the data-manager
 * binding to the context's settings image and printer-data record.
 */
#include "pdev_context.h"

#include <tarvel/settings/dmb_binding.h>

#include <plat/error.h>

#include <cstring>

namespace {

/* Reads setting `id` of the context: its type, size and 8-byte value slot.  False when it cannot be read. */
bool read_setting(PdevContext *pdev, WORD id, WORD *type, LONG *size, BYTE (&slot)[8])
{
    return pdev && DMB_GetValue(id, pdev->settings, pdev->printerData, type, size, slot) == DMA_OK;
}

/* The text field of string setting `id` (possibly at an odd address) and its size in bytes; null when unreadable. */
const BYTE *string_field(PdevContext *pdev, WORD id, LONG *size)
{
    WORD type = 0;
    BYTE slot[8] = {};
    *size = 0;
    if (!read_setting(pdev, id, &type, size, slot) || type != SVT_WSTRING)
        return nullptr;
    const BYTE *text = nullptr;
    std::memcpy(&text, slot, sizeof text);
    return text;
}

} // namespace

bool PDEV_IsValid(const PdevContext *pdev)
{
    return pdev && pdev->headMagic == PDEV_MAGIC && pdev->tailMagic == PDEV_MAGIC;
}

PdevContext *PDEV_CheckedFromSurface(const SURFOBJ *pso)
{
    PdevContext *pdev = PDEV_FromSurface(pso);
    if (!PDEV_IsValid(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return pdev;
}

int PDEV_GetSetting32(PdevContext *pdev, WORD id, DWORD *value)
{
    if (!pdev) {
        if (value)
            *value = 0;
        return -1;
    }
    return PDEV_ReadSetting32(pdev->settings, pdev->printerData, id, value);
}

int PDEV_ReadSetting32(void *settings, void *printerData, WORD id, DWORD *value)
{
    if (!value)
        return -1;
    *value = 0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (!settings || DMB_GetValue(id, settings, printerData, &type, &size, slot) != DMA_OK)
        return -1;
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        std::memcpy(value, slot, 4);
        return 0;
    case SVT_INT16: {
        SHORT v = 0;
        std::memcpy(&v, slot, 2);
        *value = DWORD(LONG(v));
        return 0;
    }
    case SVT_UINT16: {
        WORD v = 0;
        std::memcpy(&v, slot, 2);
        *value = v;
        return 0;
    }
    case SVT_BYTE:
        *value = slot[0];
        return 0;
    default:
        return -1;
    }
}

int PDEV_GetSetting16(PdevContext *pdev, WORD id, WORD *value)
{
    if (!value)
        return -1;
    DWORD v = 0;
    int r = PDEV_GetSetting32(pdev, id, &v);
    *value = WORD(v);
    return r;
}


LPCWSTR PDEV_GetSettingString(PdevContext *pdev, WORD id)
{
    LONG size = 0;
    return reinterpret_cast<LPCWSTR>(string_field(pdev, id, &size));
}

int PDEV_CopySettingString(PdevContext *pdev, WORD id, LPWSTR buffer, size_t chars)
{
    if (!buffer || chars == 0)
        return -1;
    buffer[0] = 0;
    LONG size = 0;
    const BYTE *text = string_field(pdev, id, &size);
    if (!text)
        return -1;
    PDEV_CopyWideField(text, size, buffer, chars);
    return 0;
}

void PDEV_CopyWideField(const BYTE *text, LONG size, LPWSTR buffer, size_t chars)
{
    if (!buffer || chars == 0)
        return;
    /* never past the field (its reported size) nor the buffer */
    size_t units = text && size > 0 ? size_t(size) / 2 : 0;
    size_t n = 0;
    for (; n < units && n + 1 < chars; n++) {
        WCHAR c;
        std::memcpy(&c, text + 2 * n, sizeof c);
        if (c == 0)
            break;
        buffer[n] = c;
    }
    buffer[n] = 0;
}

int PDEV_SetSetting16(PdevContext *pdev, WORD id, WORD value)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (!read_setting(pdev, id, &type, &size, slot))
        return -1;
    switch (type) {
    case SVT_FLAG:
    case SVT_INT16:
    case SVT_UINT16:
    case SVT_BYTE:
        break;
    default:
        return -1;
    }
    return DMB_SetValueArgs(pdev->settings, pdev->printerData, id, type, UINT(value)) == DMA_OK ? 0 : -1;
}

ULONG PDEV_HalftoneSize(LONG a, LONG b, BOOL smaller)
{
    LONG r = a < b ? a : b;
    ULONG size;
    if (r >= 2400)
        size = 15;
    else if (r >= 1800)
        size = 13;
    else if (r >= 1200)
        size = 11;
    else if (r >= 900)
        size = 9;
    else if (r >= 400)
        size = 7;
    else if (r < 180)
        size = 3;
    else
        size = 5;
    return smaller ? size - 2 : size;
}
