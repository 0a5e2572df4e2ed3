/*
 * Memory-only GDI objects for the user-interface side: the display device
 * context, logical palettes, device-dependent bitmaps and icons.  Nothing is
 * drawn on a screen; every object keeps its bits, so a test can read an
 * icon or a palette back (plat::gdi_icon_info, plat::gdi_palette_entries).
 *
 * The display is a 32-bit device: a device-dependent bitmap stores one
 * BGRX pixel (4 bytes) a pixel, rows top-down, no padding.  Object handles
 * are numbers from 0xA0000000 up (never reused and never equal to an engine
 * handle); plat::machine_reset deletes what is still alive.
 */
#ifndef PLAT_GDI_OBJECTS_H
#define PLAT_GDI_OBJECTS_H

#include <plat/engine.h>
#include <plat/gdi.h>
#include <plat/types.h>

#include <vector>

typedef DWORD COLORREF;
typedef void *HGDIOBJ;
typedef struct plat_hicon *HICON;

#define RGB(r, g, b) (COLORREF(BYTE(r)) | (COLORREF(BYTE(g)) << 8) | (COLORREF(BYTE(b)) << 16))

struct PALETTEENTRY {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

/* A logical palette: the version (0x300), the entry count and the entries that follow. */
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};
static_assert(sizeof(LOGPALETTE) == 8, "LOGPALETTE layout");

struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};

struct RGBTRIPLE {
    BYTE rgbtBlue;
    BYTE rgbtGreen;
    BYTE rgbtRed;
};

#pragma pack(push, 2)
struct BITMAPCOREHEADER {
    DWORD bcSize;
    WORD bcWidth;
    WORD bcHeight;
    WORD bcPlanes;
    WORD bcBitCount;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPCOREHEADER) == 12, "BITMAPCOREHEADER layout");

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER layout");

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

#define BI_RGB 0
#define DIB_RGB_COLORS 0
#define DIB_PAL_COLORS 1
#define CBM_INIT 0x04

/* The display's own GetDeviceCaps answers. */
#define RASTERCAPS 38
#define SIZEPALETTE 104
#define RC_PALETTE 0x0100

/*
 * Device contexts: CreateDCW(u"DISPLAY", null, null, null) (the driver
 * name compared ignoring case) gives a display context, which DeleteDC
 * deletes; GetDeviceCaps answers TECHNOLOGY DT_RASDISPLAY, BITSPIXEL 32,
 * PLANES 1, HORZRES 1024, VERTRES 768, LOGPIXELSX/Y 96, RASTERCAPS 0.
 */

/*
 * CreatePalette: a palette of the entries of `lplgpl` (version 0x300, 1 to
 * 256 entries), or null with ERROR_INVALID_PARAMETER.
 */
HPALETTE CreatePalette(const LOGPALETTE *lplgpl);

/* SelectPalette: selects `hpal` into a display context; the previous palette (null at first), or null on error. */
HPALETTE SelectPalette(HDC hdc, HPALETTE hpal, BOOL bForceBackground);

/* RealizePalette: the number of entries of the selected palette, or GDI_ERROR without one or on error. */
UINT RealizePalette(HDC hdc);
#define GDI_ERROR 0xFFFFFFFFu

/*
 * CreateDIBitmap: a device-dependent bitmap of the display context's
 * format, `lpbmih`'s width and |height| in size (a BITMAPINFOHEADER of
 * BI_RGB, 1 to 4,096 pixels each way), all black; with CBM_INIT its bits
 * are set from `lpbInit` and `lpbmi` as SetDIBits does.  Null with
 * ERROR_INVALID_PARAMETER.
 */
HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER *lpbmih, DWORD fdwInit, const void *lpbInit,
                       const BITMAPINFO *lpbmi, UINT fuUsage);

/*
 * SetDIBits: sets rows `uStartScan` .. `uStartScan + cScanLines - 1`
 * (counted from the DIB's first stored row) of `hbmp` from the packed DIB
 * bits `lpvBits` described by `lpbmi` (BI_RGB; 1, 4, 8, 24 or 32 bits; rows
 * padded to 4 bytes; bottom-up for a positive height).  With DIB_RGB_COLORS
 * the colour table holds biClrUsed (or 2^bits) RGBQUADs; with
 * DIB_PAL_COLORS 16-bit indexes into the palette selected into `hdc`.  A
 * pixel index past the table is black.  The caller's bits must hold the
 * rows it names.  Returns the rows set, or 0 with ERROR_INVALID_PARAMETER.
 */
int SetDIBits(HDC hdc, HBITMAP hbmp, UINT uStartScan, UINT cScanLines, const void *lpvBits, const BITMAPINFO *lpbmi,
              UINT fuColorUse);

/* GetBitmapBits: copies at most `cbBuffer` bytes of the bitmap's bits; the bytes copied, or 0. */
LONG GetBitmapBits(HBITMAP hbmp, LONG cbBuffer, void *lpvBits);

/*
 * CreateIcon: an icon of `nWidth` x `nHeight` pixels (1 to 256 each) from
 * a monochrome AND mask (rows of (nWidth + 15) / 16 x 2 bytes) and colour
 * bits of `cBitsPixel` bits a pixel (1, 4, 8, 16, 24 or 32; rows padded to 2
 * bytes), both top-down; `cPlanes` must be 1.  The bits are copied.  Null
 * with ERROR_INVALID_PARAMETER.
 */
HICON CreateIcon(HINSTANCE hInstance, int nWidth, int nHeight, BYTE cPlanes, BYTE cBitsPixel, const BYTE *lpbANDbits,
                 const BYTE *lpbXORbits);

/* DestroyIcon: deletes an icon; FALSE with ERROR_INVALID_HANDLE for anything else. */
BOOL DestroyIcon(HICON hIcon);

/*
 * DeleteObject: deletes a bitmap or palette of this file (a palette still
 * selected into a display context is deselected first); FALSE for anything
 * else.
 */
BOOL DeleteObject(HGDIOBJ ho);

namespace plat {

/* An icon as the test sees it. */
struct GdiIconInfo {
    int width = 0;
    int height = 0;
    int bitsPixel = 0;
    HINSTANCE instance = nullptr;
    std::vector<BYTE> andBits; /* rows of (width + 15) / 16 x 2 bytes, top-down */
    std::vector<BYTE> xorBits; /* rows padded to 2 bytes, top-down */
};

/* The icon's size and bits; false for anything that is not a live icon. */
bool gdi_icon_info(HICON icon, GdiIconInfo *info);

/* The entries of a live palette; false otherwise. */
bool gdi_palette_entries(HPALETTE palette, std::vector<PALETTEENTRY> *entries);

/* The live palettes, bitmaps, icons and display contexts: tests use it to find leaks. */
size_t gdi_object_count();

/* Forgets every object (machine reset). */
void gdi_objects_reset();

} // namespace plat

#endif /* PLAT_GDI_OBJECTS_H */
