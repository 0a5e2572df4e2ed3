/*
 * The printer's brush and pen sources for patterns: the six hatches, one-bit
 * patterns in two colours, palette and colour patterns of realised brushes
 * and the see-through watermark's mesh, each sent as a raster pattern whose
 * colours went through the job's colour object, and the pattern scale that
 * sizes them on the page.
 */
#include "brs_realized.h"
#include "clr_color_object.h"
#include "draw_blt.h"
#include "draw_brush.h"
#include "draw_xl_values.h"
#include "pclxl_ops.h"
#include "pclxl_tags.h"
#include "pdev_context.h"

#include <plat/memory.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

/* Settings of the pattern scale. */
enum : WORD {
    S_RESOLUTION = 20,
    S_PATTERN_RESOLUTION = 348,
    S_PATTERN_AT_RESOLUTION = 386,
};

/* Pattern identifiers: the brush's and the pen's each keep their own, so one never replaces the other in use. */
constexpr SHORT kBrushPatternId = 1;
constexpr SHORT kPenPatternId = 2;

/* The hatch bitmaps, 16 rows of 16 bits, most significant bit leftmost; a 0 bit is a line. */
constexpr std::array<std::array<WORD, 16>, 6> kHatchRows = {{
    /* HS_HORIZONTAL */
    {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
     0xFFFF, 0xFFFF},
    /* HS_VERTICAL */
    {0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F,
     0xFE7F, 0xFE7F},
    /* HS_FDIAGONAL */
    {0x3FFF, 0x9FFF, 0xCFFF, 0xE7FF, 0xF3FF, 0xF9FF, 0xFCFF, 0xFE7F, 0xFF3F, 0xFF9F, 0xFFCF, 0xFFE7, 0xFFF3, 0xFFF9,
     0xFFFC, 0x7FFE},
    /* HS_BDIAGONAL */
    {0x7FFE, 0xFFFC, 0xFFF9, 0xFFF3, 0xFFE7, 0xFFCF, 0xFF9F, 0xFF3F, 0xFE7F, 0xFCFF, 0xF9FF, 0xF3FF, 0xE7FF, 0xCFFF,
     0x9FFF, 0x3FFF},
    /* HS_CROSS */
    {0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0x0000, 0x0000, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F,
     0xFE7F, 0xFE7F},
    /* HS_DIAGCROSS */
    {0x3FFE, 0x9FFC, 0xCFF9, 0xE7F3, 0xF3E7, 0xF9CF, 0xFC9F, 0xFE3F, 0xFE3F, 0xFC9F, 0xF9CF, 0xF3E7, 0xE7F3, 0xCFF9,
     0x9FFC, 0x3FFE},
}};

/* The see-through watermark's 8 x 8 mesh, one row in each 4 bytes. */
constexpr std::array<BYTE, 32> kMeshRows = {0xBB, 0, 0, 0, 0xBB, 0, 0, 0, 0xEE, 0, 0, 0, 0xEE, 0, 0, 0,
                                            0xBB, 0, 0, 0, 0xBB, 0, 0, 0, 0xEE, 0, 0, 0, 0xEE, 0, 0, 0};

const BYTE kWhite[3] = {0xFF, 0xFF, 0xFF};
const BYTE kBlack[3] = {0, 0, 0};

SHORT clamp_short(LONG v) { return SHORT(std::clamp<LONG>(v, -32768, 32767)); }

/* The destination size of a pattern side: resolution x side x g / 1200.  False when it leaves 1..65535. */
bool destination_side(PdevContext *pdev, LONG side, LONG scale, WORD *out)
{
    WORD resolution = 0;
    if (PDEV_GetSetting16(pdev, S_RESOLUTION, &resolution) != 0)
        return false;
    const LONGLONG v = LONGLONG(resolution) * side * scale / 1200;
    if (v < 1 || v > 65535)
        return false;
    *out = WORD(v);
    return true;
}

/* Sends `pattern` as the pen (1), the brush (2) or both (3, the pen first). */
BOOL send_pattern(PdevContext *pdev, LONG target, XlRasterPattern pattern)
{
    if (target & 1) {
        pattern.patternDefineId = kPenPatternId;
        if (XL_SetPenRasterPattern(pdev, &pattern) != 0)
            return FALSE;
    }
    if (target & 2) {
        pattern.patternDefineId = kBrushPatternId;
        if (XL_SetBrushRasterPattern(pdev, &pattern) != 0)
            return FALSE;
    }
    return TRUE;
}

/* A pattern record with the common fields: page persistence, no compression, the origin. */
XlRasterPattern pattern_record(const POINTL *origin)
{
    XlRasterPattern p{};
    p.patternPersistence = XLV_ePagePattern;
    p.compressMode = XLV_eNoCompression;
    p.padBytesMultiple = 4;
    p.originX = origin ? clamp_short(origin->x) : 0;
    p.originY = origin ? clamp_short(origin->y) : 0;
    return p;
}

/* 1 when every used bit of the rows is 1, 0 when every one is 0, -1 when both occur. */
int uniform_bits(const BYTE *rows, LONG width, LONG height, DWORD stride)
{
    bool ones = false, zeros = false;
    for (LONG y = 0; y < height && !(ones && zeros); y++)
        for (LONG x = 0; x < width; x++) {
            const bool bit = (rows[size_t(y) * stride + size_t(x / 8)] >> (7 - x % 8)) & 1;
            (bit ? ones : zeros) = true;
        }
    return ones && zeros ? -1 : ones ? 1 : 0;
}

/* A work block of the process heap, freed when it goes; bytes null when memory is short. */
struct WorkBlock {
    BYTE *bytes;
    explicit WorkBlock(size_t n) : bytes(static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), 0, n))) {}
    ~WorkBlock()
    {
        if (bytes)
            HeapFree(GetProcessHeap(), 0, bytes);
    }
    WorkBlock(const WorkBlock &) = delete;
    WorkBlock &operator=(const WorkBlock &) = delete;
};

bool same_color(const BYTE *a, const BYTE *b) { return a[0] == b[0] && a[1] == b[1] && a[2] == b[2]; }

/* Writes converted entries as the printer's palette: grey one byte each, colour red, green, blue. */
void put_palette(BYTE *palette, const BYTE *converted, LONG count, bool grey)
{
    for (LONG i = 0; i < count; i++) {
        if (grey) {
            palette[i] = converted[i];
        } else {
            palette[3 * i] = converted[3 * i + 2];
            palette[3 * i + 1] = converted[3 * i + 1];
            palette[3 * i + 2] = converted[3 * i];
        }
    }
}

} // namespace

LONG BRS_PatternScale(PdevContext *pdev, BOOL hatch)
{
    WORD perResolution = 0, patternResolution = 0, resolution = 0;
    if (!pdev || PDEV_GetSetting16(pdev, S_PATTERN_AT_RESOLUTION, &perResolution) != 0 ||
        PDEV_GetSetting16(pdev, S_PATTERN_RESOLUTION, &patternResolution) != 0 ||
        PDEV_GetSetting16(pdev, S_RESOLUTION, &resolution) != 0)
        return 0;
    /* A pattern resolution of 0 (a devmode that never had one) is taken as the device's own. */
    const bool atResolution = perResolution == 1 || patternResolution == 0;
    const LONG divisor = atResolution ? resolution : patternResolution;
    if (divisor == 0)
        return 1;
    LONG g = 1200 / divisor;
    if (!atResolution && hatch)
        g /= 2;
    return std::max<LONG>(g, 1);
}

BOOL BRS_SendHatchPattern(PdevContext *pdev, LONG target, LONG background, LONG style, const BYTE color0[3],
                          const BYTE color1[3], const POINTL *origin)
{
    if (!pdev || style < 0 || style >= LONG(kHatchRows.size()) || !color0 || !color1)
        return FALSE;
    std::array<BYTE, 64> rows{};
    for (size_t y = 0; y < 16; y++) {
        rows[4 * y] = BYTE(kHatchRows[size_t(style)][y] >> 8);
        rows[4 * y + 1] = BYTE(kHatchRows[size_t(style)][y]);
        rows[4 * y + 2] = 0xFF;
        rows[4 * y + 3] = 0xFF;
    }
    const SIZEL size = {16, 16};
    return BRS_SendRasterPattern(pdev, target, background, color0, color1, origin, &size, rows.data(),
                                 BRS_SCALE_HATCH);
}

BOOL BRS_SendRasterPattern(PdevContext *pdev, LONG target, LONG background, const BYTE color0[3],
                           const BYTE color1[3], const POINTL *origin, const SIZEL *size, const BYTE *rows,
                           LONG scaleKind)
{
    if (!pdev || !color0 || !color1 || !size || !rows || size->cx <= 0 || size->cy <= 0 || size->cx > 65535 ||
        size->cy > 65535 || target < 1 || target > 3)
        return FALSE;
    const bool opaque = background != 2;
    if (opaque && same_color(color0, color1))
        return BRS_SendSolidColor(pdev, color0, target, FALSE) == 0;
    const DWORD stride = DWORD((ULONGLONG(size->cx) + 31) / 32 * 4);
    const int uniform = uniform_bits(rows, size->cx, size->cy, stride);
    if (uniform == 1 && !opaque) {
        if ((target & 1) && XL_SetPenNull(pdev) != 0)
            return FALSE;
        return !(target & 2) || XL_SetBrushNull(pdev) == 0;
    }
    if (uniform >= 0)
        return BRS_SendSolidColor(pdev, uniform ? color1 : color0, target, FALSE) == 0;

    /* Both modes are set either way: a transparent pattern before must not leave an opaque one unpainted. */
    const BYTE mode = opaque ? XLV_eOpaque : XLV_eTransparent;
    if (XL_SetPatternTxMode(pdev, mode) != 0 || XL_SetSourceTxMode(pdev, mode) != 0)
        return FALSE;
    BYTE entries[6] = {color0[0], color0[1], color0[2], 0xFF, 0xFF, 0xFF};
    if (opaque)
        std::memcpy(entries + 3, color1, 3);
    BYTE converted[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const int r = BLT_ConvertPatternColors(pdev, entries, converted, opaque ? 2 : 1, FALSE);
    if (r == 0)
        return FALSE;
    const bool grey = r == CLR_RESULT_GREY;
    if (!opaque) {
        /* Entry 1 stays white, which the printer leaves unpainted; a white entry 0 must still paint. */
        if (grey) {
            converted[1] = 0xFF;
            if (converted[0] == 0xFF)
                converted[0] = 0xFE;
        } else {
            std::memset(converted + 3, 0xFF, 3);
            if (same_color(converted, kWhite))
                std::memset(converted, 0xFE, 3);
        }
    }
    BYTE palette[6] = {};
    put_palette(palette, converted, 2, grey);

    const LONG scale = BRS_PatternScale(pdev, scaleKind == BRS_SCALE_HATCH);
    XlRasterPattern p = pattern_record(origin);
    if (scale == 0 || !destination_side(pdev, size->cx, scale, &p.destinationWidth) ||
        !destination_side(pdev, size->cy, scale, &p.destinationHeight))
        return FALSE;
    p.colorSpace = grey ? XL_eGray : XL_eRGB;
    p.paletteDepth = XLV_e8Bit;
    p.paletteLength = grey ? 2 : 6;
    p.palette = palette;
    p.colorMapping = XLV_eIndexedPixel;
    p.colorDepth = XLV_e1Bit;
    p.sourceWidth = WORD(size->cx);
    p.sourceHeight = WORD(size->cy);
    p.dataLength = stride * DWORD(size->cy);
    p.data = rows;
    return send_pattern(pdev, target, p);
}

BOOL BRS_SendColorPattern(PdevContext *pdev, LONG target, BRUSHOBJ *pbo, const POINTL *origin)
{
    const auto *rb = pbo ? static_cast<const RealizedBrush *>(pbo->pvRbrush) : nullptr;
    if (!pdev || !rb || target < 1 || target > 3 || rb->width <= 0 || rb->height <= 0)
        return FALSE;
    if (XL_SetPatternTxMode(pdev, XLV_eOpaque) != 0 || XL_SetSourceTxMode(pdev, XLV_eOpaque) != 0)
        return FALSE;
    const DWORD stride = BRS_RowBytes(rb->kind, rb->width);
    const BYTE *rows = BRS_Rows(rb);
    XlRasterPattern p = pattern_record(origin);
    p.sourceWidth = WORD(rb->width);
    p.sourceHeight = WORD(rb->height);
    const LONG scale = BRS_PatternScale(pdev, FALSE);
    if (scale == 0 || !destination_side(pdev, rb->width, scale, &p.destinationWidth) ||
        !destination_side(pdev, rb->height, scale, &p.destinationHeight))
        return FALSE;

    if (rb->kind != BRS_KIND_COLOR) {
        const LONG bits = rb->kind == BRS_KIND_1BPP ? 1 : rb->kind == BRS_KIND_4BPP ? 4 : 8;
        const LONG entries = LONG(std::min<DWORD>(rb->paletteCount, 1u << bits));
        std::array<BYTE, 256 * 3> bgr{};
        for (LONG i = 0; i < entries; i++)
            BRS_PaletteColor(rb, DWORD(i), bgr.data() + 3 * i);
        bool equal = entries > 0;
        for (LONG i = 1; i < entries && equal; i++)
            equal = same_color(bgr.data(), bgr.data() + 3 * i);
        if (equal)
            return BRS_SendSolidColor(pdev, bgr.data(), target, FALSE) == 0;
        std::array<BYTE, 256 * 3> converted{};
        const int r = BLT_ConvertPatternColors(pdev, bgr.data(), converted.data(), entries, FALSE);
        if (r == 0)
            return FALSE;
        std::array<BYTE, 256 * 3> palette{};
        put_palette(palette.data(), converted.data(), entries, r == CLR_RESULT_GREY);
        p.colorSpace = r == CLR_RESULT_GREY ? XL_eGray : XL_eRGB;
        p.paletteDepth = XLV_e8Bit;
        p.paletteLength = DWORD(1u << bits) * (r == CLR_RESULT_GREY ? 1 : 3);
        p.palette = palette.data();
        p.colorMapping = XLV_eIndexedPixel;
        p.colorDepth = bits == 1 ? XLV_e1Bit : bits == 4 ? XLV_e4Bit : XLV_e8Bit;
        p.dataLength = stride * DWORD(rb->height);
        p.data = rows;
        return send_pattern(pdev, target, p);
    }

    /* Colour patterns: the rows without their alignment, one image of width x height pixels. */
    const size_t rowBytes = size_t(rb->width) * 3;
    const size_t pixels = size_t(rb->width) * size_t(rb->height);
    bool equal = true;
    for (LONG y = 0; y < rb->height && equal; y++)
        for (LONG x = 0; x < rb->width && equal; x++)
            equal = same_color(rows, rows + size_t(y) * stride + 3 * size_t(x));
    if (equal)
        return BRS_SendSolidColor(pdev, rows, target, FALSE) == 0;
    WorkBlock work(pixels * 6);
    if (!work.bytes)
        return FALSE; /* no memory: the caller's drawing fails rather than use the previous brush */
    BYTE *image = work.bytes;
    BYTE *converted = work.bytes + pixels * 3;
    for (LONG y = 0; y < rb->height; y++)
        std::memcpy(image + size_t(y) * rowBytes, rows + size_t(y) * stride, rowBytes);
    if (BLT_ClassifyImageColors(pdev->colorScanState, &pdev->pageColors, pdev, image, rb->width, rb->height,
                                nullptr, 0, 4, 24) != 0)
        return FALSE;
    const int r = CLR_ConvertColor(pdev->colorObject, pdev->colorScanState, pdev, pdev->settings, image, converted,
                                   rb->width, rb->height, 0, CLR_KIND_GRAPHICS, TRUE);
    if (r != CLR_RESULT_COLOR && r != CLR_RESULT_GREY)
        return FALSE;
    const bool grey = r == CLR_RESULT_GREY;
    if (!grey)
        for (size_t i = 0; i < pixels; i++)
            std::swap(converted[3 * i], converted[3 * i + 2]);
    p.colorSpace = grey ? XL_eGray : XL_eRGB;
    p.colorMapping = XLV_eDirectPixel;
    p.colorDepth = XLV_e8Bit;
    p.padBytesMultiple = 1; /* the rows are sent without alignment */
    p.dataLength = DWORD(pixels * (grey ? 1 : 3));
    p.data = converted;
    return send_pattern(pdev, target, p);
}

BOOL BRS_SendMeshPattern(PdevContext *pdev, LONG target, const BYTE color[3], BOOL variant)
{
    if (!pdev || !color)
        return FALSE;
    if (XL_SetRop(pdev, variant ? 0xFA : 0xA0) != 0)
        return FALSE;
    const SIZEL size = {8, 8};
    return BRS_SendRasterPattern(pdev, target, 1, variant ? color : kBlack, variant ? kBlack : kWhite, nullptr,
                                 &size, kMeshRows.data(), BRS_SCALE_PATTERN);
}
