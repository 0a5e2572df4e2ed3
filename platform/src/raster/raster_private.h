/*
 * The raster GDI's shared pieces: its objects (contexts, brushes, pens,
 * fonts), the canvas a drawing call works on (the target's pixels, the
 * context's origin and clip on them, right-to-left mirroring), colour
 * helpers and the draw log.
 */
#ifndef PLAT_RASTER_PRIVATE_H
#define PLAT_RASTER_PRIVATE_H

#include "gdi_display.h"

#include <plat/raster.h>

#include <memory>
#include <string>
#include <vector>

namespace plat::raster {

struct Brush : gdi::RasterObject {
    UINT style = BS_SOLID;
    COLORREF colour = 0;
    int sysColour = -1;               /* a system-colour brush */
    std::vector<DWORD> pattern;       /* BS_PATTERN: 8 x 8 pixels (BGRX), monochrome ones kept as 0/white */
    int patternCx = 0;
    int patternCy = 0;
    bool monoPattern = false;
    DWORD objectType() const override { return OBJ_BRUSH; }
};

struct Pen : gdi::RasterObject {
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
    DWORD objectType() const override { return OBJ_PEN; }
};

struct Font : gdi::RasterObject {
    LOGFONTW lf{};
    DWORD objectType() const override { return OBJ_FONT; }
};

struct DcState {
    HBITMAP bitmap = nullptr; /* memory contexts: the selected bitmap */
    HGDIOBJ brush = nullptr;
    HGDIOBJ pen = nullptr;
    HGDIOBJ font = nullptr;
    COLORREF text = RGB(0, 0, 0);
    COLORREF back = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    DWORD layout = 0;
    POINT viewport{0, 0};
    POINT pos{0, 0};
    bool clipped = false;
    RECT clip{}; /* logical, while `clipped` */
};

struct Dc : gdi::RasterObject {
    bool memory = true;
    HWND window = nullptr; /* window contexts */
    HBITMAP defaultBitmap = nullptr;
    DcState st;
    std::vector<DcState> saved;
    DWORD objectType() const override { return memory ? OBJ_MEMDC : OBJ_DC; }
};

/* The context behind `hdc`, or null. */
std::shared_ptr<Dc> dc_of(HDC hdc);

template <typename T>
std::shared_ptr<T> object_of(HGDIOBJ h)
{
    return std::dynamic_pointer_cast<T>(gdi::raster_object(h));
}

/* Where a context draws: its target's pixels with origin, clip and mirroring resolved. */
struct Canvas {
    HBITMAP target = nullptr;
    gdi::BitmapData *bm = nullptr;
    HWND window = nullptr;
    POINT origin{0, 0}; /* of the context's (0, 0) on the target */
    RECT clip{};        /* on the target */
    int width = 0;      /* of the context's area (mirroring) */
    int height = 0;
    bool rtl = false;
    bool preserveBitmaps = false;
    POINT viewport{0, 0};

    bool valid() const { return bm != nullptr; }
    /* A logical rectangle on the target (sorted, mirrored, moved). */
    RECT toTarget(RECT r) const;
    POINT toTarget(POINT p) const;
    bool inClip(int x, int y) const { return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom; }
    DWORD get(int x, int y) const { return load(x, y); }
    void put(int x, int y, DWORD bgrx);
    DWORD load(int x, int y) const;
};

/* Opens the canvas of `dc` (a DIB section target is read from its rows); `close` writes a DIB section back. */
Canvas open(const Dc &dc);
void close(Canvas &c);

/* DIB sections: refresh the 32-bit pixels from the caller's rows, and back. */
void dib_to_pixels(gdi::BitmapData &bm);
void pixels_to_dib(gdi::BitmapData &bm);

inline DWORD bgrx(COLORREF c) { return DWORD(GetBValue(c)) | DWORD(GetGValue(c)) << 8 | DWORD(GetRValue(c)) << 16; }
inline COLORREF colorref(DWORD p) { return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF); }

/* The colour a COLORREF stands for in `dc` (PALETTEINDEX through its palette). */
COLORREF resolve(const Dc &dc, COLORREF c);

/* The colour a brush paints at target pixel (x, y); false for a hollow brush. */
bool brush_colour(const Dc &dc, const Brush &b, int x, int y, DWORD &out);

/* The draw log. */
void log(const std::string &op, const Canvas &c, RECT rect, COLORREF colour, COLORREF background = 0, DWORD rop = 0,
         HGDIOBJ source = nullptr, std::u16string text = {});

/* The stock objects (made on first use). */
HGDIOBJ stock(int index);

/* Text (raster_text.cpp). */
struct TextSize {
    int cx = 0;
    int cy = 0;
    int ascent = 0;
};
TextSize measure(const Dc &dc, std::u16string_view text);
void draw_text_line(const Dc &dc, Canvas &c, int x, int y, std::u16string_view text, const RECT *clip);

} // namespace plat::raster

#endif /* PLAT_RASTER_PRIVATE_H */
