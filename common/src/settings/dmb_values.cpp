/*
 * What the binding offers on top of its two wrappers: typed convenience
 * reads and writes, the availability rules (settings switched off by the
 * colour mode, the stamp or overlay kind and the watermark kind), effective
 * values with the blanking of switched-off settings, and the comparison of
 * two settings images.
 */
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>

#include <cstdarg>

namespace {

/* Governing settings. */
constexpr WORD kColourMode = 270;     /* 1: monochrome */
constexpr WORD kWatermarkKind = 271;  /* 8: the kind that 1307 belongs to */
constexpr WORD kOverlayKind = 293;    /* 2 or 4: the kinds with stamp and overlay settings */
constexpr WORD kPrintQuality = 20;
constexpr WORD kRenderQuality = 346;  /* only meaningful at 600 dpi */
constexpr WORD kColourProfile = 8205;
constexpr WORD kProfileSwitch = 336;
constexpr DWORD kFixedProfile = 0x1010802;

/* Which governing condition a setting depends on. */
enum class Rule { always, overlay, colour_and_overlay, not_mono, mono_only, watermark8 };

bool in(WORD id, WORD first, WORD last)
{
    return id >= first && id <= last;
}

Rule rule_of(WORD id)
{
    if (in(id, 273, 277) || in(id, 282, 288) || id == 1303 || id == 1304 || id == 1832 || id == 1833)
        return Rule::overlay;
    if (in(id, 278, 281) || id == 291)
        return Rule::colour_and_overlay;
    if (in(id, 392, 400) || id == 1317)
        return Rule::not_mono;
    if (id == 454 || id == 1308 || id == 1311 || id == 1318)
        return Rule::mono_only;
    if (id == 1307)
        return Rule::watermark8;
    return Rule::always;
}

/* Reads a governing setting as a number; false when the read fails. */
bool read_number(WORD id, void *devmode, void *printerData, INT &value)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (DMB_GetValue(id, devmode, printerData, &type, &size, slot) != DMA_OK)
        return false;
    value = FID_ReadValueAsInt(slot, type);
    return true;
}

/* Width in bytes that a switched-off setting is blanked over (8: a null string pointer). */
size_t blank_width(WORD id)
{
    if (id == 454)
        return 1;
    if (in(id, 274, 288) || id == 291)
        return 2;
    if (id == 1832 || id == 1833)
        return FID_SLOT_SIZE;
    return 4;
}

/* Settings that DMB_CompareAllSettings never compares: header, bookkeeping and derived fields. */
bool compare_skips(WORD id)
{
    static constexpr WORD kSingles[] = {9,   10,  13,  14,  17,  24,  25,  257, 258,  260,  261,
                                        266, 349, 374, 439, 442, 463, 1295, 1793};
    for (WORD s : kSingles)
        if (id == s)
            return true;
    return in(id, 1, 6) || in(id, 19, 22) || in(id, 365, 372) || in(id, 1824, 1828);
}

/* Size a value of `type` has for DMB_SetValueArgs. */
LONG args_size(UINT type)
{
    switch (type) {
    case SVT_FLAG:
    case SVT_INT16:
    case SVT_UINT16:
        return 2;
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_WSTRING:
        return 4;
    case SVT_BYTE:
        return 1;
    default:
        return 0;
    }
}

/* Takes the value that follows in an argument list into a value buffer for DMB_SetValue. */
void take_value(UINT type, va_list args, BYTE (&value)[FID_SLOT_SIZE])
{
    if (type == SVT_WSTRING || type == SVT_LOGFONT)
        FID_SetSlotPointer(value, va_arg(args, const void *));
    else
        plat::store<INT>(value, va_arg(args, int));
}

} // namespace

ULONGLONG DMB_GetTypedValue(void *devmode, void *printerData, WORD id, WORD expectedType)
{
    if (devmode == nullptr)
        return 0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (DMB_GetValue(id, devmode, printerData, &type, &size, slot) != DMA_OK)
        return 0;
    bool fits = false;
    switch (expectedType) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
        fits = size == 4;
        break;
    case SVT_INT16:
    case SVT_UINT16:
        fits = size == 2;
        break;
    case SVT_BYTE:
        fits = size == 1;
        break;
    case SVT_WSTRING:
        fits = true;
        break;
    default:
        break;
    }
    return fits ? plat::load<ULONGLONG>(slot) : 0;
}

int DMB_SetValueV(void *devmode, void *printerData, WORD id, WORD type, LONG size, ...)
{
    if (devmode == nullptr)
        return -1;
    BYTE value[FID_SLOT_SIZE] = {};
    va_list args;
    va_start(args, size);
    take_value(type, args, value);
    va_end(args);
    DMB_SetValue(id, devmode, printerData, type, size, value);
    return 0;
}

WORD DMB_SetValueArgs(void *devmode, void *printerData, WORD id, UINT type, ...)
{
    BYTE value[FID_SLOT_SIZE] = {};
    va_list args;
    va_start(args, type);
    take_value(type, args, value);
    va_end(args);
    return DMB_SetValue(id, devmode, printerData, static_cast<WORD>(type), args_size(type), value);
}

int DMB_IsStampSettingId(WORD id)
{
    return in(id, 297, 319) || in(id, 1286, 1288) ? 1 : 0;
}

int DMB_IsSettingAvailable(WORD id, void *devmode, void *printerData)
{
    const Rule rule = rule_of(id);
    if (rule == Rule::always)
        return DMB_AVAILABLE;
    INT colour = 0, overlay = 0, watermark = 0;
    bool on = false;
    switch (rule) {
    case Rule::overlay:
        if (!read_number(kOverlayKind, devmode, printerData, overlay))
            return DMB_UNREADABLE;
        on = overlay == 2 || overlay == 4;
        break;
    case Rule::colour_and_overlay:
        if (!read_number(kColourMode, devmode, printerData, colour) ||
            !read_number(kOverlayKind, devmode, printerData, overlay))
            return DMB_UNREADABLE;
        on = colour != 1 && (overlay == 2 || overlay == 4);
        break;
    case Rule::not_mono:
    case Rule::mono_only:
        if (!read_number(kColourMode, devmode, printerData, colour))
            return DMB_UNREADABLE;
        on = (colour == 1) == (rule == Rule::mono_only);
        break;
    case Rule::watermark8:
        if (!read_number(kWatermarkKind, devmode, printerData, watermark))
            return DMB_UNREADABLE;
        on = watermark == 8;
        break;
    case Rule::always:
        break;
    }
    return on ? DMB_AVAILABLE : DMB_SWITCHED_OFF;
}

int DMB_GetValueChecked(WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot)
{
    if (type == nullptr || size == nullptr || slot == nullptr)
        return DMB_CHECKED_FAILED;
    if (DMB_GetValue(id, devmode, printerData, type, size, slot) != DMA_OK)
        return DMB_CHECKED_FAILED;
    INT governing = 0;
    if (id == kRenderQuality) {
        if (read_number(kPrintQuality, devmode, printerData, governing) && governing != 600)
            plat::store<DWORD>(slot, 0);
        return 0;
    }
    if (id == kColourProfile) {
        if (read_number(kProfileSwitch, devmode, printerData, governing) && governing == 1)
            plat::store<DWORD>(slot, kFixedProfile);
        return 0;
    }
    switch (DMB_IsSettingAvailable(id, devmode, printerData)) {
    case DMB_AVAILABLE:
        return 0;
    case DMB_SWITCHED_OFF:
        std::memset(slot, 0, blank_width(id));
        return 0;
    default:
        return DMB_CHECKED_FAILED;
    }
}

LONGLONG DMB_GetEffectiveValue(void *devmode, void *printerData, WORD id, WORD type)
{
    (void)type;
    WORD outType = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    if (DMB_GetValueChecked(id, devmode, printerData, &outType, &size, slot) != 0)
        return -1;
    return plat::load<LONGLONG>(slot);
}

int DMB_CompareAllSettings(void *a, void *b, void *printerData)
{
    WORD typeA = 0, typeB = 0;
    LONG sizeA = 0, sizeB = 0;
    BYTE slotA[FID_SLOT_SIZE] = {}, slotB[FID_SLOT_SIZE] = {};
    constexpr WORD kStampText = 297;
    if (DMB_GetValue(kStampText, a, printerData, &typeA, &sizeA, slotA) != DMA_OK ||
        DMB_GetValue(kStampText, b, printerData, &typeB, &sizeB, slotB) != DMA_OK)
        return 0;
    LPCWSTR textA = FID_SlotString(slotA), textB = FID_SlotString(slotB);
    const bool stamps = (textA != nullptr && textA[0] != 0) || (textB != nullptr && textB[0] != 0);

    for (const IdLayoutGroup *group = IdLayoutTable; group->items != nullptr; ++group) {
        if (group->kind == SRK_PRINTERDATA)
            continue;
        for (const IdLayoutItem *item = group->items; item->id != 0; ++item) {
            const WORD id = item->id;
            if (compare_skips(id) || item->storedType == SVT_LOGFONT || (!stamps && DMB_IsStampSettingId(id)))
                continue;
            std::memset(slotA, 0, sizeof slotA);
            std::memset(slotB, 0, sizeof slotB);
            if (DMB_GetValue(id, a, printerData, &typeA, &sizeA, slotA) != DMA_OK ||
                DMB_GetValue(id, b, printerData, &typeB, &sizeB, slotB) != DMA_OK)
                return 0;
            if ((FID_CompareValues(typeB, slotA, slotB) & 0xFFFF) != 0)
                return 0;
        }
    }
    return 1;
}
