/*
 * The device fonts of a device context and the engine's font queries: the
 * list built from the model's device-font records at DrvEnablePDEV, the
 * default font of DEVINFO, and DrvQueryFont, DrvQueryFontTree,
 * DrvQueryAdvanceWidths and DrvQueryFontData.
 */
#include "fnt_device_fonts.h"

#include "draw_font.h"
#include "draw_maths.h"
#include "fnt_device_records.h"
#include "pdev_context.h"

#include <tarvel/model_data/model_format.h>
#include <tarvel/model_data/model_records.h>

#include <plat/engine_draw.h>
#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/memory.h>
#include <plat/raster.h>
#include <plat/text.h>
#include <plat/window.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr WORD kSettingVertResolution = 21;
constexpr WORD kSettingDefaultFontId = 384;
constexpr WORD kSettingDefaultFontSize = 385; /* tenths of a point */

/* The face whose record is `iFace` (1-based), or null with ERROR_INVALID_PARAMETER. */
DeviceFontRecord *face_record(PdevContext *pdev, ULONG iFace)
{
    if (!PDEV_IsValid(pdev) || iFace < 1 || iFace > pdev->deviceFontCount || !pdev->deviceFonts) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return pdev->deviceFonts[iFace - 1];
}

/* The installed TrueType family names, from the engine's font enumeration. */
int collect_family(const LOGFONTW *lf, const TEXTMETRICW *, DWORD type, LPARAM param)
{
    if (type & TRUETYPE_FONTTYPE)
        reinterpret_cast<std::vector<std::u16string> *>(param)->emplace_back(lf->lfFaceName);
    return 1;
}

std::vector<std::u16string> truetype_families()
{
    std::vector<std::u16string> families;
    HDC hdc = GetDC(GetDesktopWindow());
    if (hdc) {
        EnumFontFamiliesW(hdc, nullptr, collect_family, reinterpret_cast<LPARAM>(&families));
        ReleaseDC(GetDesktopWindow(), hdc);
    }
    return families;
}

/* The family text of a metrics block (the name after the face name), at most 80 bytes. */
std::string family_text(const BYTE *metrics, DWORD size)
{
    FontMetricCursor c;
    if (FNT_OpenMetricTable(metrics + FNT_MET_ORIGIN, &c, size - FNT_MET_ORIGIN) != 0 || !c.familyName)
        return {};
    const char *text = reinterpret_cast<const char *>(c.block + c.familyName);
    return std::string(text, strnlen(text, 80));
}

/* The record's own name (its second text). */
std::u16string record_name(PdevContext *pdev, WORD n)
{
    ModelRecord *record = nullptr;
    std::u16string name;
    if (DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, pdev->mainReader, pdev->companionReader, DDD_KIND_DEVICE_FONT, n,
                             &record) == DDD_OK) {
        const auto *font = reinterpret_cast<const DddDeviceFontRecord *>(record);
        if (font->secondText.text)
            name = font->secondText.text;
        DDD_FreeRecord(&record, -1);
    }
    return name;
}

void free_lists(PdevContext *pdev)
{
    for (DWORD i = 0; pdev->deviceFonts && i < pdev->deviceFontCount; ++i)
        FNT_FreeDeviceFontRecord(pdev, pdev->deviceFonts[i]);
    for (DWORD i = 0; pdev->fontEntries && i < pdev->fontEntryCount; ++i)
        HeapFree(pdev->heap, 0, pdev->fontEntries[i]);
    if (pdev->deviceFonts)
        HeapFree(pdev->heap, 0, pdev->deviceFonts);
    if (pdev->fontEntries)
        HeapFree(pdev->heap, 0, pdev->fontEntries);
    pdev->deviceFontCount = 0;
    pdev->deviceFonts = nullptr;
    pdev->fontEntryCount = 0;
    pdev->fontEntries = nullptr;
}

/* The transform of the notional point (x, y) into 28.4 device units. */
bool to_device(XFORMOBJ *pxo, LONG x, LONG y, POINTFIX *out)
{
    POINTL in = {x, y};
    return XFORMOBJ_bApplyXform(pxo, XF_LTOFX, 1, &in, out) != FALSE;
}

/* The length of a 28.4 vector. */
LONG length_fix(const POINTFIX &p) { return MTH_IntHypot(p.x, p.y); }

/* A 28.4 value rounded to whole pixels. */
LONG whole_pixels(long long fix) { return LONG(((fix + 8) >> 4) << 4); }

/* The width of glyph handle `hg` of a record in notional units. */
LONG glyph_width(DeviceFontRecord *r, HGLYPH hg)
{
    LONG w = r->cursorOpen ? FNT_GetCharWidth(&r->cursor, WORD(hg & 0xFFFF)) : -1;
    return w == -1 ? FNT_RecordIfi(r)->fwdAveCharWidth : w;
}

} // namespace

int FNT_LoadDeviceFontList(PdevContext *pdev)
{
    if (!pdev || !pdev->heap)
        return 0;
    pdev->deviceFontCount = 0;
    pdev->deviceFonts = nullptr;
    pdev->fontEntryCount = 0;
    pdev->fontEntries = nullptr;

    DWORD count = 0;
    for (WORD n = 1; n != 0; ++n) {
        ModelRecord *record = nullptr;
        if (DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, pdev->mainReader, pdev->companionReader, DDD_KIND_DEVICE_FONT,
                                 n, &record) != DDD_OK)
            break;
        DDD_FreeRecord(&record, -1);
        ++count;
    }
    if (!count)
        return 0;

    std::vector<std::u16string> families = truetype_families();
    pdev->fontEntries =
        static_cast<DeviceFontEntry **>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, count * sizeof(DeviceFontEntry *)));
    pdev->deviceFonts =
        static_cast<DeviceFontRecord **>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, count * sizeof(DeviceFontRecord *)));
    if (!pdev->fontEntries || !pdev->deviceFonts) {
        free_lists(pdev);
        return 0;
    }

    char name[17];
    std::memcpy(name, "Courier         ", 17);
    WORD symbolSet = FNT_DEFAULT_SYMBOL_SET;
    std::string previousFamily;
    bool failed = false;
    for (DWORD n = 1; n <= count && !failed; ++n) {
        DeviceFontMetrics *metrics = nullptr;
        DWORD size = 0;
        if (!FNT_LoadDeviceFontMetrics(pdev, &metrics, &size, n, name, &symbolSet)) {
            failed = true;
            break;
        }
        const auto *bytes = reinterpret_cast<const BYTE *>(metrics);
        if (!FNT_CheckMetricsBlock(bytes, size)) {
            FNT_FreeDeviceFontMetrics(metrics);
            failed = true;
            break;
        }
        std::string family = family_text(bytes, size);
        std::u16string own = record_name(pdev, WORD(n));
        bool shown = !(n > 1 && family == previousFamily) &&
                     std::find(families.begin(), families.end(), own) == families.end();
        previousFamily = family;

        auto *entry = static_cast<DeviceFontEntry *>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, sizeof(DeviceFontEntry)));
        if (entry) {
            FNT_FillDeviceFontEntry(entry, bytes, size, name, symbolSet);
            pdev->fontEntries[pdev->fontEntryCount++] = entry;
        }
        DeviceFontRecord *record = entry && shown ? FNT_BuildDeviceFontRecord(pdev, n, metrics, size) : nullptr;
        if (record)
            pdev->deviceFonts[pdev->deviceFontCount++] = record;
        failed = !entry || (shown && !record);
        FNT_FreeDeviceFontMetrics(metrics);
    }
    if (failed) {
        free_lists(pdev);
        return 0;
    }
    return 1;
}

int FNT_FindDeviceFontById(PdevContext *pdev, DWORD id)
{
    if (!PDEV_IsValid(pdev) || id == FNT_NO_FONT_ID)
        return -1;
    for (DWORD i = 0; pdev->fontEntries && i < pdev->fontEntryCount; ++i)
        if (pdev->fontEntries[i]->id == id)
            return int(i);
    return -1;
}

int FNT_GetDefaultDeviceFont(PdevContext *pdev, DEVINFO *devinfo)
{
    if (!PDEV_IsValid(pdev) || !devinfo)
        return 0;
    DWORD id = 0, resolution = 0, size = 0;
    PDEV_GetSetting32(pdev, kSettingDefaultFontId, &id);
    int index = FNT_FindDeviceFontById(pdev, id);
    if (index < 0)
        return 0;
    PDEV_GetSetting32(pdev, ID_RESOLUTION, &resolution);
    PDEV_GetSetting32(pdev, kSettingDefaultFontSize, &size);
    const DeviceFontEntry *entry = pdev->fontEntries[index];
    LOGFONTW &lf = devinfo->lfDefaultFont;
    lf = {};
    lf.lfHeight = -LONG((long long)LONG(resolution) * LONG(size) / 720);
    lf.lfWeight = 400;
    lf.lfCharSet = entry->charSet;
    lf.lfPitchAndFamily = entry->pitchAndFamily;
    for (int i = 0; i < LF_FACESIZE - 1 && entry->faceName[i]; ++i)
        lf.lfFaceName[i] = entry->faceName[i];
    return 1;
}

FD_GLYPHSET *FNT_GetGlyphSet(PdevContext *pdev, ULONG iFace)
{
    DeviceFontRecord *r = face_record(pdev, iFace);
    if (!r)
        return nullptr;
    if (FNT_RecordIfi(r)->jWinCharSet != SHIFTJIS_CHARSET)
        return FNT_DefaultGlyphSet();
    return FNT_DoubleByteGlyphSet();
}

PIFIMETRICS FNT_QueryFont(PdevContext *pdev, ULONG_PTR, ULONG iFace, ULONG_PTR *pid)
{
    if (pid)
        *pid = 0;
    DeviceFontRecord *r = face_record(pdev, iFace);
    return r ? FNT_RecordIfi(r) : nullptr;
}

PVOID FNT_QueryFontTree(PdevContext *pdev, ULONG_PTR, ULONG iFace, ULONG iMode, ULONG_PTR *pid)
{
    if (pid)
        *pid = 0;
    DeviceFontRecord *r = face_record(pdev, iFace);
    if (!r)
        return nullptr;
    if (iMode == QFT_KERNPAIRS)
        return r->kernPairCount ? FNT_RecordKernPairs(r) : nullptr;
    if (iMode == QFT_GLYPHSET) {
        FNT_EnterGlyphSetLock();
        FD_GLYPHSET *set = FNT_GetGlyphSet(pdev, iFace);
        FNT_LeaveGlyphSetLock();
        return set;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

BOOL FNT_QueryAdvanceWidths(PdevContext *pdev, FONTOBJ *pfo, ULONG iMode, HGLYPH *phg, PVOID pvWidths, ULONG cGlyphs)
{
    if (!pfo || !phg || !pvWidths || !PDEV_IsValid(pdev) || (iMode != QAW_GETWIDTHS && iMode != QAW_GETEASYWIDTHS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!cGlyphs)
        return TRUE;
    DeviceFontRecord *r = face_record(pdev, pfo->iFace);
    if (!r)
        return FALSE;
    XFORMOBJ *pxo = FONTOBJ_pxoGetXform(pfo);
    POINTFIX base;
    if (!pxo || !to_device(pxo, 4096, 0, &base)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    long long s = length_fix(base);
    auto *widths = static_cast<USHORT *>(pvWidths);
    for (ULONG i = 0; i < cGlyphs; ++i) {
        long long w = glyph_width(r, phg[i]);
        widths[i] = USHORT((((w * s) >> 12) + 8) & ~15LL);
    }
    return TRUE;
}

LONG FNT_QueryFontData(PdevContext *pdev, FONTOBJ *pfo, ULONG iMode, HGLYPH hg, GLYPHDATA *pgd, PVOID pv,
                       ULONG cjSize)
{
    if (!pfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DeviceFontRecord *r = face_record(pdev, pfo->iFace);
    if (!r)
        return -1;
    XFORMOBJ *pxo = FONTOBJ_pxoGetXform(pfo);
    if (!pxo)
        return -1;
    const IFIMETRICS *ifi = FNT_RecordIfi(r);
    POINTFIX base;
    if (!to_device(pxo, 4096, 0, &base))
        return -1;
    long long s = length_fix(base);

    if (iMode == FNT_QFD_GLYPHANDBITMAP) {
        if (!pgd)
            return 0;
        long long w = glyph_width(r, hg);
        POINTFIX top, bottom;
        if (!to_device(pxo, 0, ifi->rclFontBox.top, &top) || !to_device(pxo, 0, ifi->rclFontBox.bottom, &bottom))
            return -1;
        *pgd = {};
        pgd->hg = hg;
        LONG inkTop = whole_pixels(length_fix(top)), inkBottom = whole_pixels(length_fix(bottom));
        pgd->fxInkTop = ifi->rclFontBox.top < 0 ? -inkTop : inkTop;
        pgd->fxInkBottom = ifi->rclFontBox.bottom < 0 ? -inkBottom : inkBottom;
        /* The advance vector in 28.4, rounded to whole pixels, as 32.32 values. */
        pgd->ptqD.x = (long long)whole_pixels(base.x * w / 4096) << 28;
        pgd->ptqD.y = (long long)whole_pixels(base.y * w / 4096) << 28;
        pgd->fxD = pgd->fxAB = whole_pixels(s * w / 4096);
        pgd->fxA = 0;
        return 0;
    }
    if (iMode != FNT_QFD_MAXEXTENTS)
        return -1;
    if (!pv)
        return LONG(sizeof(FD_DEVICEMETRICS));
    if (cjSize < sizeof(FD_DEVICEMETRICS))
        return -1;

    FD_DEVICEMETRICS m = {};
    POINTFIX em, side, maxInc, top, bottom;
    if (!to_device(pxo, ifi->fwdUnitsPerEm, 0, &em) || !to_device(pxo, 0, -ifi->fwdUnitsPerEm, &side) ||
        !to_device(pxo, ifi->fwdMaxCharInc, 0, &maxInc) || !to_device(pxo, 0, ifi->rclFontBox.top, &top))
        return -1;
    LONG emLength = std::max<LONG>(1, length_fix(em)), sideLength = std::max<LONG>(1, length_fix(side));
    m.pteBase = {FLOATL(em.x) / FLOATL(emLength), FLOATL(em.y) / FLOATL(emLength)};
    m.pteSide = {FLOATL(side.x) / FLOATL(sideLength), FLOATL(side.y) / FLOATL(sideLength)};

    DWORD vertical = 0;
    PDEV_GetSetting32(pdev, kSettingVertResolution, &vertical);
    if (!vertical)
        PDEV_GetSetting32(pdev, ID_RESOLUTION, &vertical);
    if (!vertical)
        vertical = 600;
    long long emPixels = sideLength / 16;
    long long points = emPixels * 72 / LONG(vertical);
    LONG units = std::max<LONG>(1, ifi->fwdUnitsPerEm);
    long long internal = std::max<long long>(0, (ifi->rclFontBox.top - ifi->rclFontBox.bottom - units) * emPixels / units);
    long long externalPoints;
    BYTE family = ifi->jWinPitchAndFamily & 0xF0;
    if (family == FF_ROMAN)
        externalPoints = 2;
    else if (family == FF_SWISS)
        externalPoints = points <= 12 ? 2 : points < 14 ? 3 : 4;
    else
        externalPoints = points * 196 / units;
    long long external = externalPoints * LONG(vertical) / 72 - internal;
    bool fixedPitch = (ifi->jWinPitchAndFamily & 3) == FIXED_PITCH;
    bool dbcsFixed = (ifi->flInfo & FNT_INFO_DBCS_FIXED_PITCH) != 0;
    m.lNonLinearIntLeading = fixedPitch || dbcsFixed || internal < 0 ? 0 : LONG(internal << 4);
    m.lNonLinearExtLeading = fixedPitch || dbcsFixed || external < 0 ? 0 : LONG(external << 4);
    m.cxMax = ULONG(length_fix(maxInc) / 16);
    m.lD = (ifi->flInfo & FNT_INFO_CONSTANT_WIDTH) ? LONG(m.cxMax) : 0;
    LONG bottomUnits = -ifi->rclFontBox.bottom;
    if (fixedPitch && !FNT_IsDoubleByteCharset(ifi->jWinCharSet))
        bottomUnits = std::max<LONG>(0, bottomUnits + units - ifi->rclFontBox.top + ifi->rclFontBox.bottom);
    if (!to_device(pxo, 0, bottomUnits, &bottom))
        return -1;
    m.fxMaxAscender = whole_pixels(length_fix(top));
    m.fxMaxDescender = whole_pixels(length_fix(bottom));
    POINTL under = {0, -ifi->fwdUnderscorePosition}, strike = {0, -ifi->fwdStrikeoutPosition},
           thick = {0, ifi->fwdUnderscoreSize};
    XFORMOBJ_bApplyXform(pxo, XF_LTOL, 1, &under, &m.ptlUnderline1);
    XFORMOBJ_bApplyXform(pxo, XF_LTOL, 1, &strike, &m.ptlStrikeOut);
    XFORMOBJ_bApplyXform(pxo, XF_LTOL, 1, &thick, &m.ptlULThickness);
    m.ptlSOThickness = m.ptlULThickness;
    std::memcpy(pv, &m, sizeof m);
    return LONG(sizeof(FD_DEVICEMETRICS));
}
