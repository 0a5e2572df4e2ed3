/*
 * The watermark drawn into the application's page: the bracket around it,
 * the choice between the page and the sheet watermark, and the bitmap
 * watermark, placed once or tiled with one placement escape per tile.
 */
#include "doc_events.h"
#include "prv_dib_file.h"
#include "ui_setting_text.h"

#include <tarvel/base/esc_codes.h>

#include <plat/error.h>
#include <plat/gdi_dc.h>
#include <plat/memory.h>

#include <cstring>

namespace {

enum : WORD {
    S_RESOLUTION = 20,
    S_WATERMARK_TEXT = 299,
    S_WATERMARK_COLOUR = 301,
    S_WATERMARK_FRAME = 302,
    S_WATERMARK_POSITION = 303,
    S_WATERMARK_FONT = 304,
    S_WATERMARK_SEE_THROUGH = 1287,
    S_SHEET_WATERMARK = 1288,
    S_WATERMARK_SCALE = 1856,
    S_WATERMARK_BITMAP = 1857,
};

/* Position codes: bits 8-11 place horizontally, bits 0-3 vertically (2 centred, 3 at the far side). */
LONG place(DWORD code, LONG room)
{
    switch (code) {
    case 2: return room / 2;
    case 3: return room;
    default: return 0;
    }
}

/* The pixels of a packed DIB, after its header and colour table; null when the DIB is shorter than its header says. */
const BYTE *dib_bits(const BYTE *dib, const BITMAPINFOHEADER &header)
{
    if (!dib || header.biSize < sizeof(BITMAPINFOHEADER))
        return nullptr;
    return dib + header.biSize + PRV_GetDibColorTableSize(&header);
}

} // namespace

int DOC_DrawWatermark(HDC hdc, BYTE *settings, const BYTE *query)
{
    const std::u16string text = UI_SettingText(settings, nullptr, S_WATERMARK_TEXT);
    const std::u16string file = UI_SettingText(settings, nullptr, S_WATERMARK_BITMAP);
    if (text.empty() && file.empty())
        return 1;
    const DWORD begin = 1;
    if (DOC_Escape(hdc, ESC_WATERMARK_MODE, &begin, sizeof begin) <= 0)
        return -1;
    /* The sheet watermark is tiled over the sheet's box; the page watermark placed in the page's. */
    const bool sheet = DOC_GetNumber(settings, nullptr, S_SHEET_WATERMARK) != 0;
    const DWORD position = sheet ? 0 : DWORD(DOC_GetNumber(settings, nullptr, S_WATERMARK_POSITION));
    const int box = sheet ? DOC_BOX_SHEET : DOC_BOX_PAGE;
    const int resolution = int(DOC_GetNumber(settings, nullptr, S_RESOLUTION));
    int result;
    if (text.empty()) {
        result = DOC_DrawBitmapWatermark(hdc, query, resolution, position, file.c_str(),
                                         DOC_GetNumber(settings, nullptr, S_WATERMARK_SEE_THROUGH) != 0,
                                         DWORD(DOC_GetNumber(settings, nullptr, S_WATERMARK_SCALE)), box);
    } else {
        LOGFONTW font{};
        DOC_GetFont(settings, nullptr, S_WATERMARK_FONT, &font);
        result = DOC_DrawTextWatermark(hdc, query, resolution, position, &font, text.c_str(),
                                       COLORREF(DOC_GetNumber(settings, nullptr, S_WATERMARK_COLOUR)), 0, 0,
                                       int(DOC_GetNumber(settings, nullptr, S_WATERMARK_FRAME)), box);
    }
    const DWORD end = 0;
    DOC_Escape(hdc, ESC_WATERMARK_MODE, &end, sizeof end);
    return result;
}

int DOC_DrawBitmapWatermark(HDC hdc, const BYTE *query, int resolution, DWORD position, LPCWSTR file, BOOL seeThrough,
                            DWORD scale, int boxSelector)
{
    if (!hdc)
        return -1;
    const int saved = SaveDC(hdc);
    SetMapMode(hdc, MM_TEXT);
    SetViewportOrgEx(hdc, 0, 0, nullptr);
    SelectClipRgn(hdc, nullptr);
    LONG areaW = 0, areaH = 0;
    DOC_GetDrawArea(query, boxSelector, &areaW, &areaH);

    BYTE *dib = PRV_LoadDibFile(file, nullptr);
    BITMAPINFOHEADER header{};
    const BYTE *bits = dib && PRV_ReadDibHeader(dib, &header) ? dib_bits(dib, header) : nullptr;
    LONG w = 0, h = 0;
    /* A bitmap that cannot be read or used fails the page: it is never dropped from it without a word. */
    int result = bits ? 1 : -1;
    if (!bits)
        SetLastError(dib ? ERROR_INVALID_DATA : ERROR_FILE_NOT_FOUND);
    if (bits && DOC_BitmapWatermarkSize(&header, scale, resolution, &w, &h)) {
        const auto *info = reinterpret_cast<const BITMAPINFO *>(dib);
        const LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
        const DWORD rop = seeThrough ? SRCAND : SRCCOPY;
        if (position != 0) {
            const LONG x = place((position >> 8) & 0xF, areaW - w);
            const LONG y = place(position & 0xF, areaH - h);
            StretchDIBits(hdc, x, y, w, h, 0, 0, header.biWidth, rows, bits, info, DIB_RGB_COLORS, rop);
        } else {
            /* Tiles column by column, each moved into place by the renderer. */
            const LONG columns = (areaW + w - 1) / w, tileRows = (areaH + h - 1) / h;
            for (LONG i = 0; i < columns && result == 1; i++) {
                for (LONG k = 0; k < tileRows; k++) {
                    BYTE offset[8];
                    plat::store_u32(offset, 0, DWORD(LONG(w * i)));
                    plat::store_u32(offset, 4, DWORD(LONG(h * k)));
                    if (DOC_Escape(hdc, ESC_WATERMARK_PLACEMENT, offset, sizeof offset) <= 0) {
                        result = -1;
                        break;
                    }
                    StretchDIBits(hdc, 0, 0, w, h, 0, 0, header.biWidth, rows, bits, info, DIB_RGB_COLORS, rop);
                }
            }
        }
    }
    if (dib)
        GlobalFree(dib);
    RestoreDC(hdc, saved);
    return result;
}
