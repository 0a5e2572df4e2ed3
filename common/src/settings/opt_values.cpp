/*
 * Small pieces the pages use beside the option lists: a value as text, the
 * colour keys, the model's colour support and the identifier list of the
 * default-conflict check.
 */
#include "opt_internal.h"

#include "tarvel/model_data/mdl_context.h"
#include "tarvel/setting_layout.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_defaults.h"
#include "tarvel/settings/fid_value.h"

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

/* The colours of keys 1-7 (index 0-6); key 8 has none. */
constexpr COLORREF kKeyColours[] = {0x0033FF, 0x3399FF, 0x00CCFF, 0x658963, 0xCC6633, 0x93518D, 0x000000};

} // namespace

bool opt_ReadNumber(WORD id, void *devmode, void *printerData, LONG *value)
{
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (DMB_GetValue(id, devmode, printerData, &type, &size, &slot) != DMA_OK)
        return false;
    *value = FID_ReadValueAsInt(&slot, type);
    return true;
}

LPWSTR FID_FormatValue(WORD type, const void *value, LPWSTR buffer, int chars)
{
    if (value == nullptr || buffer == nullptr || chars <= 0)
        return nullptr;
    HRESULT hr = S_OK;
    switch (type) {
    case SVT_FLAG:
    case SVT_INT16:
    case SVT_UINT16:
    case SVT_BYTE:
    case SVT_LOGFONT_MEMBER:
        hr = StringCchPrintfW(buffer, size_t(chars), u"%d", FID_ReadValueAsInt(value, type));
        break;
    case SVT_INT32:
    case SVT_UINT32:
        hr = StringCchPrintfW(buffer, size_t(chars), u"%ld", LONG(FID_ReadValueAsUInt(value, type)));
        break;
    case SVT_WSTRING:
        hr = StringCchCopyW(buffer, size_t(chars), FID_SlotString(value));
        break;
    default:
        return nullptr;
    }
    return hr == STRSAFE_E_INVALID_PARAMETER ? nullptr : buffer;
}

FidIdListEntry *FID_AllocIdList(void)
{
    return static_cast<FidIdListEntry *>(GlobalAlloc(GPTR, FID_ID_LIST_ENTRIES * sizeof(FidIdListEntry)));
}

BOOL FID_ColourForKey(int key, COLORREF *out, int index)
{
    if (out == nullptr)
        return FALSE;
    if (index == -1) {
        if (key < 1 || key > FID_COLOUR_KEYS)
            return FALSE;
        index = key - 1;
    }
    if (index < 0 || index >= int(std::size(kKeyColours)))
        return FALSE;
    *out = kKeyColours[index];
    return TRUE;
}

WORD FID_GetColourSupport(ModelContext *context)
{
    return MDL_GetColourSupport(context);
}
