/*
 * The extension's feature table and its control, colour, duplex and data
 * escapes.  The colour, duplex and N-up values an application sets here
 * are only kept in the extension record; the job takes them at its first
 * sheet and gives them back at its end (esc_settings.cpp), so a value set
 * during a job holds from the next job on.
 */
#include "esc_ext.h"

#include "job_settings.h"
#include "pdev_context.h"

#include <tarvel/base/esc_codes.h>

#include <plat/memory.h>

#include <cstring>

const ExtFeatureRow ESC_ExtFeatureTable[8] = {
    {EXT_FEATURE_CONTROL, 0x1071, JOB_PROTOCOL_2_0, 15, {EXT_MAX_JPEG_PIECE, EXT_MAX_JPEG_PIECE}},
    {EXT_FEATURE_JPEG, 0x1072, JOB_PROTOCOL_2_1, 16, {0, 0}},
    {EXT_FEATURE_JPEG, 0x1072, JOB_PROTOCOL_2_0, 0, {0, 0}},
    {EXT_FEATURE_COLOR, 0x1073, JOB_PROTOCOL_2_1, 31, {0, 0}},
    {EXT_FEATURE_DUPLEX, 0x1074, JOB_PROTOCOL_2_0, 799, {139, 0}},
    {0x1105, 0x1075, JOB_PROTOCOL_2_0, 0, {0, 0}},
    {0x1106, 0x1077, JOB_PROTOCOL_2_0, 0, {0, 0}},
    {0x1107, 0x1077, JOB_PROTOCOL_2_0, 0, {0, 0}},
};

namespace {

/* Settings the escapes read. */
enum : WORD {
    ID_DUPLEX = 16,           /* 1 simplex, 2 and 3 duplex */
    ID_PAGES_PER_SHEET = 295,
    ID_S321 = 321,            /* not 0: the pages-per-sheet answer is 0 */
    ID_S5202 = 5202,          /* printer data: 1 refuses the colour feature */
};

constexpr DWORD kDmDuplex = 0x1000;
constexpr DWORD kDuplexFlagsNeedingUnit = 0xC;

/* Control codes, colour and duplex sub-codes. */
enum : WORD {
    CONTROL_ON = 1,
    CONTROL_OFF = 2,
    CONTROL_QUERY = 3,
    CONTROL_SIGNATURE = 0x6585,
    COLOR_OVERRIDE_ON = 0x1201,
    COLOR_OVERRIDE_OFF = 0x1202,
    COLOR_MONOCHROME = 0x1203,
    COLOR_COLOUR = 0x1204,
    COLOR_AUTOMATIC = 0x1205,
    DUPLEX_QUERY = 0x1301,
    DUPLEX_SET = 0x1302,
    NUP_QUERY = 0x1303,
    NUP_SET = 0x1304,
    DUPLEX_SIMPLEX = 0x1311,
    DUPLEX_LONG = 0x1312,
    DUPLEX_SHORT = 0x1313,
    DUPLEX_NONE = 0x1314,
};

constexpr DWORD kLargestData = 0xFFFC;

bool class_in_range(DWORD c) { return c >= JOB_PROTOCOL_2_0 && c <= JOB_PROTOCOL_2_1; }

DWORD setting(PdevContext *pdev, WORD id, DWORD fallback)
{
    DWORD value = 0;
    return PDEV_GetSetting32(pdev, id, &value) == 0 ? value : fallback;
}

bool feature(PdevContext *pdev, WORD code)
{
    ExtFeatureRow row{};
    return ESC_ExtFeature(pdev, code, &row) == 0;
}

/* The answer of a pages-per-sheet count: the N-up order it takes, or -1 for another count. */
int nup_order(DWORD pages)
{
    switch (pages) {
    case 1: return 0;
    case 2: return 1;
    case 4: case 8: case 16: case 32: return 3;
    default: return -1;
    }
}

/* The feature query's answer {18, escape, flags, value, value}, packed. */
void store_feature(PVOID out, const ExtFeatureRow &row)
{
    plat::store_u32(out, 0, EXT_FEATURE_ANSWER_SIZE);
    plat::store_u16(out, 4, row.escape);
    plat::store_u32(out, 6, row.flags);
    plat::store_u32(out, 10, row.values[0]);
    plat::store_u32(out, 14, row.values[1]);
}

} // namespace

int ESC_ExtFeature(PdevContext *pdev, WORD code, ExtFeatureRow *row)
{
    if (!pdev || !row)
        return -1;
    if (code == EXT_FEATURE_JPEG && setting(pdev, ID_S1333, 0) != 0)
        return -1;
    const DWORD protocolClass = pdev->ext.protocolClass;
    if (!class_in_range(protocolClass))
        return -1;
    for (const ExtFeatureRow &r : ESC_ExtFeatureTable) {
        if (r.code != code || protocolClass < r.minimumClass)
            continue;
        if (code == EXT_FEATURE_COLOR &&
            (pdev->jobFormExtras[1] != 0 || !pdev->ext.colourDevice || setting(pdev, ID_S5202, 0) == 1))
            return -1;
        *row = r;
        if (code == EXT_FEATURE_DUPLEX && !pdev->ext.duplexAllowed)
            row->flags &= ~kDuplexFlagsNeedingUnit;
        return 0;
    }
    return -1;
}

ULONG ESC_ExtSupported(PdevContext *pdev, ULONG escape)
{
    if (escape == ESC_EXT_CONTROL)
        return 1;
    return PDEV_IsValid(pdev) && pdev->ext.mode == 1 ? 1 : 0;
}

LONG ESC_ExtControl(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    if (!pvIn || cjIn < EXT_CONTROL_SIZE || plat::load_u32(pvIn, 0) != EXT_CONTROL_SIZE)
        return EXT_BAD_SIZE;
    const WORD control = plat::load_u16(pvIn, 4);
    const WORD argument = plat::load_u16(pvIn, 6);
    switch (control) {
    case CONTROL_ON:
        /* A record the context could not set up keeps the extension off. */
        if (!class_in_range(pdev->ext.protocolClass))
            return EXT_FAILED;
        pdev->ext.mode = 1;
        return EXT_DONE;
    case CONTROL_OFF:
        pdev->ext.mode = 0;
        return EXT_DONE;
    case CONTROL_QUERY: {
        if (!pvOut)
            return EXT_FAILED;
        if (cjOut < EXT_FEATURE_ANSWER_SIZE)
            return EXT_BAD_SIZE;
        if (cjOut != EXT_FEATURE_ANSWER_SIZE && plat::load_u32(pvOut, 0) != EXT_FEATURE_ANSWER_SIZE)
            return EXT_BAD_SIZE;
        ExtFeatureRow row{};
        if (ESC_ExtFeature(pdev, argument, &row) != 0)
            return EXT_UNKNOWN_CODE;
        store_feature(pvOut, row);
        return EXT_DONE;
    }
    case CONTROL_SIGNATURE:
        if (!pvOut || cjOut < 4)
            return EXT_FAILED;
        std::memcpy(pvOut, "KTVW", 4);
        return EXT_DONE;
    default:
        return EXT_UNKNOWN_CONTROL;
    }
}

LONG ESC_ExtColorMode(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (pdev->ext.mode != 1 || !feature(pdev, EXT_FEATURE_COLOR))
        return EXT_OFF;
    if (!pvIn || cjIn < 2)
        return EXT_BAD_SIZE;
    ExtEscapeRecord &ext = pdev->ext;
    const bool inDocument = (pdev->flags & PDEV_STARTDOC_SEEN) != 0;
    switch (plat::load_u16(pvIn, 0)) {
    case COLOR_OVERRIDE_ON:
        if (inDocument)
            return EXT_BAD_STATE;
        ext.colourOverride = 1;
        ext.colourMode = 0;
        return EXT_DONE;
    case COLOR_OVERRIDE_OFF:
        if (inDocument)
            return EXT_BAD_STATE;
        ext.colourOverride = 0;
        return EXT_DONE;
    case COLOR_MONOCHROME:
    case COLOR_COLOUR:
    case COLOR_AUTOMATIC: {
        if (!ext.colourOverride)
            return EXT_BAD_STATE;
        static constexpr WORD kModes[3] = {1, 2, 0};
        ext.colourMode = kModes[plat::load_u16(pvIn, 0) - COLOR_MONOCHROME];
        return EXT_DONE;
    }
    default:
        return EXT_UNKNOWN_CODE;
    }
}

LONG ESC_ExtDuplex(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    if (pdev->ext.mode != 1 || !feature(pdev, EXT_FEATURE_DUPLEX))
        return EXT_OFF;
    if (!pvIn || cjIn < EXT_CONTROL_SIZE || plat::load_u32(pvIn, 0) != EXT_CONTROL_SIZE)
        return EXT_BAD_SIZE;
    WORD *overrides = pdev->ext.overrides;
    const WORD value = plat::load_u16(pvIn, 6);
    switch (plat::load_u16(pvIn, 4)) {
    case DUPLEX_QUERY: {
        if (!pvOut || cjOut < 2)
            return EXT_BAD_SIZE;
        const DWORD duplex = setting(pdev, ID_DUPLEX, 0);
        if (duplex < 1 || duplex > 3)
            return EXT_FAILED;
        plat::store_u16(pvOut, 0, WORD(DUPLEX_SIMPLEX + duplex - 1));
        return EXT_DONE;
    }
    case DUPLEX_SET:
        if (value == DUPLEX_SIMPLEX) {
            overrides[EXT_OVERRIDE_DUPLEX] = 1;
        } else if (value == DUPLEX_LONG || value == DUPLEX_SHORT) {
            if (!(setting(pdev, ID_DM_FIELDS, 0) & kDmDuplex))
                return EXT_BAD_STATE;
            overrides[EXT_OVERRIDE_DUPLEX] = WORD(value - DUPLEX_SIMPLEX + 1);
        } else if (value == DUPLEX_NONE) {
            overrides[EXT_OVERRIDE_DUPLEX] = EXT_NONE;
        } else {
            return EXT_BAD_VALUE;
        }
        return EXT_DONE;
    case NUP_QUERY: {
        if (!pvOut || cjOut < 2)
            return EXT_BAD_SIZE;
        if (setting(pdev, ID_S321, 0) != 0) {
            plat::store_u16(pvOut, 0, 0);
            return EXT_DONE;
        }
        const DWORD pages = setting(pdev, ID_PAGES_PER_SHEET, 0);
        if (nup_order(pages) < 0)
            return EXT_FAILED;
        plat::store_u16(pvOut, 0, WORD(pages));
        return EXT_DONE;
    }
    case NUP_SET: {
        if (value == 0) {
            for (int i = EXT_OVERRIDE_PAGES_PER_SHEET; i <= EXT_OVERRIDE_296; i++)
                overrides[i] = EXT_NONE;
            return EXT_DONE;
        }
        const int order = nup_order(value);
        if (order < 0)
            return EXT_BAD_VALUE;
        overrides[EXT_OVERRIDE_PAGES_PER_SHEET] = value;
        overrides[EXT_OVERRIDE_NUP_ORDER] = WORD(order);
        overrides[EXT_OVERRIDE_NUP_ORIENTATION] = 1;
        overrides[EXT_OVERRIDE_321] = EXT_NONE;
        overrides[EXT_OVERRIDE_296] = 0;
        return EXT_DONE;
    }
    default:
        return EXT_UNKNOWN_CODE;
    }
}

LONG ESC_ExtData(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (!pvIn || cjIn < 4)
        return EXT_BAD_SIZE;
    const DWORD n = plat::load_u32(pvIn, 0);
    if (n > kLargestData || n > cjIn - 4)
        return EXT_BAD_SIZE;
    /* The block lives in the process heap, as the data-block escapes keep it. */
    if (pdev->extData)
        HeapFree(GetProcessHeap(), 0, pdev->extData);
    pdev->extData = nullptr;
    pdev->extDataSize = 0;
    if (n >= 1 && n <= 3)
        return EXT_FAILED;
    void *block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n ? n : 1);
    if (!block)
        return EXT_FAILED;
    if (n)
        std::memcpy(block, static_cast<const BYTE *>(pvIn) + 4, n);
    pdev->extData = block;
    pdev->extDataSize = n;
    return EXT_DONE;
}

ULONG ESC_ExtEscape(PdevContext *pdev, ULONG escape, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    LONG answer = EXT_OFF;
    switch (escape) {
    case ESC_EXT_CONTROL:
        answer = ESC_ExtControl(pdev, cjIn, pvIn, cjOut, pvOut);
        break;
    case ESC_EXT_DRAW_IMAGE:
        answer = ESC_ExtDrawImage(pdev, cjIn, pvIn);
        break;
    case ESC_EXT_COLOR_MODE:
        answer = ESC_ExtColorMode(pdev, cjIn, pvIn);
        break;
    case ESC_EXT_DUPLEX:
        answer = ESC_ExtDuplex(pdev, cjIn, pvIn, cjOut, pvOut);
        break;
    case ESC_EXT_DATA:
        answer = ESC_ExtData(pdev, cjIn, pvIn);
        break;
    default:
        break;
    }
    return ULONG(answer);
}
