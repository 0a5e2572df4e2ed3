/*
 * The custom paper size in the extension block and the public paper fields,
 * the user-size flag, and the resolution limit for long papers.
 */
#include "tarvel/settings/fid_custom_size.h"

#include "tarvel/setting_layout.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_value.h"

namespace {

constexpr WORD kIdPaperLength = 9;
constexpr WORD kIdPaperWidth = 10;
constexpr WORD kIdPrintQuality = 20;
constexpr WORD kIdYResolution = 21;
constexpr WORD kIdCustomWidth = 1863;
constexpr WORD kIdCustomLength = 1864;
constexpr WORD kIdUserSizeFlag = 5200;

/* A 16-bit signed setting; false when it cannot be read. */
bool read_short(WORD id, void *image, void *printerData, SHORT *out)
{
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (DMB_GetValue(id, image, printerData, &type, &size, &slot) != DMA_OK)
        return false;
    *out = FID_ReadValueAsShort(&slot, type);
    return true;
}

bool write_short(WORD id, void *image, void *printerData, SHORT value)
{
    return DMB_SetValue(id, image, printerData, SVT_INT16, sizeof value, &value) == DMA_OK;
}

bool copy_short(WORD from, WORD to, void *image, void *printerData)
{
    SHORT v = 0;
    return read_short(from, image, printerData, &v) && write_short(to, image, printerData, v);
}

} // namespace

BOOL FID_GetCustomSize(void *image, void *printerData, LONG *width, LONG *length)
{
    SHORT w = 0, l = 0;
    if (width == nullptr || length == nullptr || !read_short(kIdCustomWidth, image, printerData, &w) ||
        !read_short(kIdCustomLength, image, printerData, &l))
        return FALSE;
    *width = w;
    *length = l;
    return TRUE;
}

BOOL FID_CopyCustomSize(int direction, void *image, void *printerData)
{
    switch (direction) {
    case FID_CUSTOM_TO_PUBLIC:
        return copy_short(kIdCustomLength, kIdPaperLength, image, printerData) &&
               copy_short(kIdCustomWidth, kIdPaperWidth, image, printerData);
    case FID_PUBLIC_TO_CUSTOM:
        return copy_short(kIdPaperLength, kIdCustomLength, image, printerData) &&
               copy_short(kIdPaperWidth, kIdCustomWidth, image, printerData);
    default:
        return FALSE;
    }
}

DWORD FID_GetUserSizeFlag(void *image, void *printerData)
{
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (DMB_GetValue(kIdUserSizeFlag, image, printerData, &type, &size, &slot) != DMA_OK)
        return 0;
    return FID_ReadValueAsUInt(&slot, type);
}

BOOL FID_LimitResolutionForPaper(void *image)
{
    SHORT width = 0, length = 0, resolution = 0;
    if (!read_short(kIdPaperWidth, image, nullptr, &width) || !read_short(kIdPaperLength, image, nullptr, &length) ||
        !read_short(kIdPrintQuality, image, nullptr, &resolution))
        return FALSE;
    /* Sizes are taken as unsigned 16-bit values: a paper may be longer than 3,276.7 mm. */
    const LONG w = static_cast<WORD>(width), l = static_cast<WORD>(length);
    const LONG longer = w > l ? w : l;
    if (longer <= 0)
        return FALSE;
    const LONG limit = FID_MAX_DOTS_TENTH_MM / longer;
    if (limit == 0)
        return FALSE;
    if (resolution <= limit)
        return TRUE;
    SHORT lowered = 0;
    if (limit > 600)
        lowered = 600;
    else if (limit > 300)
        lowered = 300;
    else if (limit > 200)
        lowered = 200;
    else
        return FALSE;
    return write_short(kIdPrintQuality, image, nullptr, lowered) &&
           write_short(kIdYResolution, image, nullptr, lowered);
}
