/*
 * Colour classification: whether an image or a brush pattern is colour,
 * exactly grey or nearly grey, kept in the job's colour scan state (the
 * result of the last classification) for the colour object, with the page
 * marked coloured at the first colour result and the page's colour set fed
 * with the pixels.  Also the conversion of brush-pattern colours through the
 * colour object.  Pixels and palette entries are three bytes blue, green, red.
 */
#include "blt_image_output.h"
#include "clr_color_object.h"
#include "draw_blt.h"
#include "job_state.h"
#include "page_colors.h"
#include "pdev_context.h"

#include <plat/memory.h>

#include <algorithm>
#include <array>

namespace {

/* Results of a classification. */
enum : LONG {
    SCAN_COLOR = 1,
    SCAN_EXACT_GREY = 2,
    SCAN_NEAR_GREY = 3,
    SCAN_NOT_TESTED = 4,
};

/* Image formats the classification knows. */
enum : LONG {
    FORMAT_RGB = 4,
    FORMAT_PALETTE = 11,
};

/* Rows handed to the page's colour set at a time, so that a large image needs no copy of its own size. */
constexpr LONG kScanChunkRows = 64;

HANDLE state_heap(const PdevContext *pdev) { return pdev->heap ? pdev->heap : GetProcessHeap(); }

bool passes(const BYTE *bgr, bool exact)
{
    return exact ? bgr[0] == bgr[1] && bgr[1] == bgr[2] : BLT_IsNearGrey(bgr[2], bgr[1], bgr[0]);
}

/* Bytes of one unpadded row of `width` pixels at `bits` a pixel. */
LONGLONG row_bytes(LONG width, LONG bits) { return (LONGLONG(width) * bits + 7) / 8; }

/* The palette index of pixel x of a row at 1, 4 or 8 bits (most significant bits first). */
LONG pixel_index(const BYTE *row, LONG x, LONG bits)
{
    switch (bits) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return x % 2 ? row[x / 2] & 0xF : row[x / 2] >> 4;
    default: return row[x];
    }
}

/* Rows of `width` three-byte pixels, `stride` bytes apart. */
LONG classify_rgb(const BYTE *pixels, LONGLONG stride, LONG width, LONG height, bool exact)
{
    for (LONG y = 0; y < height; y++) {
        const BYTE *row = pixels + LONGLONG(y) * stride;
        if (exact) {
            for (LONG x = 0; x < width; x++, row += 3)
                if (row[0] != row[1] || row[1] != row[2])
                    return SCAN_COLOR;
        } else {
            for (LONG x = 0; x < width; x++, row += 3)
                if (!passes(row, false))
                    return SCAN_COLOR;
        }
    }
    return exact ? SCAN_EXACT_GREY : SCAN_NEAR_GREY;
}

LONG classify_palette(const BYTE *pixels, LONG width, LONG height, const BYTE *palette, LONG count, LONG bits,
                      bool exact)
{
    const LONG grey = exact ? SCAN_EXACT_GREY : SCAN_NEAR_GREY;
    bool all = true;
    for (LONG i = 0; i < count && all; i++)
        all = passes(palette + 3 * i, exact);
    if (all)
        return grey;
    const LONGLONG stride = row_bytes(width, bits);
    for (LONG y = 0; y < height; y++) {
        const BYTE *row = pixels + y * stride;
        for (LONG x = 0; x < width; x++) {
            LONG index = pixel_index(row, x, bits);
            if (index >= count) /* an index past the palette counts as entry 0 */
                index = 0;
            if (!passes(palette + 3 * index, exact))
                return SCAN_COLOR;
        }
    }
    return grey;
}

/*
 * Feeds the page's colour set, which takes red, green, blue: palettes are
 * swapped whole, RGB rows (`stride` bytes apart) a chunk at a time.
 */
int feed_colour_set(PageColorSet *colors, HANDLE heap, const BYTE *pixels, LONGLONG stride, LONG width, LONG height,
                    const BYTE *palette, LONG count, LONG format, LONG bits)
{
    if (format == FORMAT_PALETTE) {
        std::array<BYTE, 256 * 3> rgb{};
        const LONG n = std::min<LONG>(count, 256);
        for (LONG i = 0; i < n; i++) {
            rgb[3 * i] = palette[3 * i + 2];
            rgb[3 * i + 1] = palette[3 * i + 1];
            rgb[3 * i + 2] = palette[3 * i];
        }
        PCS_ScanBitmap(colors, pixels, width, height, bits, 1, rgb.data());
        return 0;
    }
    const LONG rows = std::min(height, kScanChunkRows);
    const SIZE_T rowBytes = SIZE_T(width) * 3;
    BYTE *chunk = static_cast<BYTE *>(HeapAlloc(heap, 0, rowBytes * SIZE_T(rows)));
    if (!chunk)
        return -1;
    for (LONG y = 0; y < height && colors->active == 1; y += rows) {
        const LONG n = std::min(rows, height - y);
        for (LONG r = 0; r < n; r++) {
            const BYTE *src = pixels + LONGLONG(y + r) * stride;
            BYTE *to = chunk + SIZE_T(r) * rowBytes;
            for (SIZE_T i = 0; i < rowBytes; i += 3) {
                to[i] = src[i + 2];
                to[i + 1] = src[i + 1];
                to[i + 2] = src[i];
            }
        }
        PCS_ScanBitmap(colors, chunk, width, n, 24, 1, nullptr);
    }
    HeapFree(heap, 0, chunk);
    return 0;
}

} // namespace

int BLT_CreateColorScanState(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    BLT_FreeColorScanState(pdev);
    /* The process heap, not the context's: a context replaced inside a document hands the state on. */
    auto *state = static_cast<LONG *>(HeapAlloc(GetProcessHeap(), 0, sizeof(LONG)));
    if (!state)
        return -1;
    *state = SCAN_NOT_TESTED;
    pdev->colorScanState = state;
    return 0;
}

void BLT_FreeColorScanState(PdevContext *pdev)
{
    if (!pdev || !pdev->colorScanState)
        return;
    HeapFree(GetProcessHeap(), 0, pdev->colorScanState);
    pdev->colorScanState = nullptr;
}

namespace {

/* Both classifications: `stride` is used by RGB rows only (indexed rows are packed). */
int classify(LONG *scanState, PageColorSet *colors, PdevContext *pdev, const BYTE *pixels, LONGLONG stride,
             LONG width, LONG height, const BYTE *palette, LONG paletteCount, LONG format, LONG bitsPerPixel)
{
    if (!pdev || !pixels || width <= 0 || height <= 0)
        return -1;
    const bool rgb = format == FORMAT_RGB && bitsPerPixel == 24;
    const bool indexed =
        format == FORMAT_PALETTE && (bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8);
    if (indexed && (!palette || paletteCount <= 0))
        return -1;

    LONG result = SCAN_NOT_TESTED;
    const bool known = JOB_IsPageColorKnown(pdev);
    if (!known) {
        const bool exact = JOB_UseExactGreyTest(pdev);
        if (rgb)
            result = classify_rgb(pixels, stride, width, height, exact);
        else if (indexed)
            result = classify_palette(pixels, width, height, palette, std::min<LONG>(paletteCount, 256),
                                      bitsPerPixel, exact);
        else
            return -1; /* an image the test cannot read leaves the page's colour undecided */
        if (result == SCAN_COLOR)
            JOB_MarkPageColor(pdev);
    }
    if (scanState)
        *scanState = result;
    if (colors && colors->active == 1 && (rgb || indexed) &&
        feed_colour_set(colors, state_heap(pdev), pixels, stride, width, height, palette, paletteCount, format,
                        bitsPerPixel) != 0)
        return -1;
    return 0;
}

} // namespace

int BLT_ClassifyImageColors(LONG *scanState, PageColorSet *colors, PdevContext *pdev, const BYTE *pixels,
                            LONG width, LONG height, const BYTE *palette, LONG paletteCount, LONG format,
                            LONG bitsPerPixel)
{
    return classify(scanState, colors, pdev, pixels, LONGLONG(width) * 3, width, height, palette, paletteCount,
                    format, bitsPerPixel);
}

int BLT_ClassifyImageRows(LONG *scanState, PageColorSet *colors, PdevContext *pdev, const BYTE *pixels,
                          LONGLONG stride, LONG width, LONG height)
{
    return classify(scanState, colors, pdev, pixels, stride, width, height, nullptr, 0, FORMAT_RGB, 24);
}

int BLT_ConvertPatternColors(PdevContext *pdev, const BYTE *pixels, BYTE *out, LONG count, BOOL text)
{
    if (!pdev || !pixels || !out || count <= 0)
        return 0;
    if (BLT_ClassifyImageColors(pdev->colorScanState, &pdev->pageColors, pdev, pixels, count, 1, nullptr, 0,
                                FORMAT_RGB, 24) != 0)
        return 0;
    const int r = CLR_ConvertColor(pdev->colorObject, pdev->colorScanState, pdev, pdev->settings, pixels, out, count,
                                   1, 0, text ? CLR_KIND_TEXT : CLR_KIND_GRAPHICS, TRUE);
    return r == CLR_RESULT_COLOR || r == CLR_RESULT_GREY ? r : 0;
}
