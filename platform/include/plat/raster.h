/*
 * The raster GDI that windows and memory bitmaps are drawn with: device
 * contexts on windows (GetDC, BeginPaint) and on bitmaps selected into
 * memory contexts, brushes, pens, fonts measured and drawn through FreeType
 * from real font files, text layout (DrawTextW), blits with raster
 * operations and the monochrome conversion rules, DIB sections, icons and
 * right-to-left layout.  Every surface is 32 bits a pixel (BGRX, top-down);
 * a monochrome bitmap keeps black and white pixels only.
 *
 * Every object lives in the GDI table of plat/gdi_objects.h, so
 * plat::gdi_object_count counts pens, brushes, fonts, bitmaps and memory
 * contexts that code forgot to delete.  Stock objects and window surfaces
 * are not counted.  Drawing operations are logged (plat::draw_log) so tests
 * can assert on what was drawn where.
 */
#ifndef PLAT_RASTER_H
#define PLAT_RASTER_H

#include <plat/gdi_objects.h>
#include <plat/window.h>

#include <string>
#include <vector>

typedef struct plat_hpen *HPEN;
typedef void *HRGN;

/* ---- Records -------------------------------------------------------------- */

/* LOGFONTW (92 bytes) comes from plat/engine.h. */

struct LOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
};

struct LOGPEN {
    UINT lopnStyle;
    POINT lopnWidth;
    COLORREF lopnColor;
};

struct BITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;
};

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
};

struct TEXTMETRICW {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

struct ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
};

/* ---- Constants ------------------------------------------------------------ */

/* Raster operations. */
#define SRCCOPY 0x00CC0020u
#define SRCPAINT 0x00EE0086u
#define SRCAND 0x008800C6u
#define SRCINVERT 0x00660046u
#define SRCERASE 0x00440328u
#define NOTSRCCOPY 0x00330008u
#define NOTSRCERASE 0x001100A6u
#define MERGECOPY 0x00C000CAu
#define MERGEPAINT 0x00BB0226u
#define PATCOPY 0x00F00021u
#define PATPAINT 0x00FB0A09u
#define PATINVERT 0x005A0049u
#define DSTINVERT 0x00550009u
#define BLACKNESS 0x00000042u
#define WHITENESS 0x00FF0062u

/* Stock objects. */
#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8
#define SYSTEM_FONT 13
#define DEFAULT_PALETTE 15
#define DEFAULT_GUI_FONT 17
#define DC_BRUSH 18
#define DC_PEN 19

/* GetObjectType. */
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_PAL 5
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_MEMDC 10

/* Brush and pen styles. */
#define BS_SOLID 0
#define BS_NULL 1
#define BS_HATCHED 2
#define BS_PATTERN 3
#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5
#define PS_INSIDEFRAME 6

/* Background modes. */
#define TRANSPARENT 1
#define OPAQUE 2

/* Font weights. */
#define FW_NORMAL 400
#define FW_BOLD 700
#define DEFAULT_CHARSET 1

/* Layout. */
#define LAYOUT_RTL 0x00000001u
#define LAYOUT_BITMAPORIENTATIONPRESERVED 0x00000008u

/* DrawTextW. */
#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_EXPANDTABS 0x00000040u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#define DT_END_ELLIPSIS 0x00008000u
#define DT_RTLREADING 0x00020000u

/* ExtTextOutW. */
#define ETO_OPAQUE 0x0002u
#define ETO_CLIPPED 0x0004u

/* DIBs. */
#define BI_BITFIELDS 3

/* DrawIconEx. */
#define DI_MASK 0x0001u
#define DI_IMAGE 0x0002u
#define DI_NORMAL 0x0003u

/* GetDeviceCaps answers. */
#define RC_BITBLT 0x0001u
#define RC_STRETCHBLT 0x0800u
#define RC_DI_BITMAP 0x0080u
#define RC_DIBTODEV 0x0200u

#define CLR_INVALID 0xFFFFFFFFu
#define GetRValue(c) ((BYTE)(c))
#define GetGValue(c) ((BYTE)(((WORD)(c)) >> 8))
#define GetBValue(c) ((BYTE)((c) >> 16))
#define PALETTEINDEX(i) ((COLORREF)(0x01000000 | (DWORD)(WORD)(i)))

/* ---- Device contexts -------------------------------------------------------- */

/* A memory context compatible with `hdc` (any context or null): a 1 x 1 monochrome bitmap is selected at first. */
HDC CreateCompatibleDC(HDC hdc);
/* Window contexts: the client area of `window` (GetDC(null): the whole screen, which draws nowhere). */
HDC GetDC(HWND window);
HDC GetWindowDC(HWND window);
int ReleaseDC(HWND window, HDC hdc);
/* BeginPaint sends WM_ERASEBKGND when the window was invalidated with erase, and validates it. */
HDC BeginPaint(HWND window, PAINTSTRUCT *ps);
BOOL EndPaint(HWND window, const PAINTSTRUCT *ps);
HWND WindowFromDC(HDC hdc);

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC hdc, UINT type);
HGDIOBJ GetStockObject(int index);
int GetObjectW(HGDIOBJ object, int cb, LPVOID out);
DWORD GetObjectType(HGDIOBJ object);
int SaveDC(HDC hdc);
BOOL RestoreDC(HDC hdc, int saved);

COLORREF SetTextColor(HDC hdc, COLORREF colour);
COLORREF GetTextColor(HDC hdc);
COLORREF SetBkColor(HDC hdc, COLORREF colour);
COLORREF GetBkColor(HDC hdc);
int SetBkMode(HDC hdc, int mode);
int GetBkMode(HDC hdc);
DWORD SetLayout(HDC hdc, DWORD layout);
DWORD GetLayout(HDC hdc);
BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT *previous);
BOOL GetViewportOrgEx(HDC hdc, POINT *origin);
int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom);
int SelectClipRgn(HDC hdc, HRGN region);
#define NULLREGION 1
#define SIMPLEREGION 2
#define ERROR 0

/* ---- Objects ---------------------------------------------------------------- */

HBRUSH CreateSolidBrush(COLORREF colour);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH *brush);
HBRUSH GetSysColorBrush(int index);
HPEN CreatePen(int style, int width, COLORREF colour);
HFONT CreateFontIndirectW(const LOGFONTW *font);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR face);
HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy);
/* A bitmap of 1 (monochrome) or 32 bits a pixel; `bits` (rows padded to 2 bytes) may be null. */
HBITMAP CreateBitmap(int cx, int cy, UINT planes, UINT bitsPixel, const void *bits);
/* A DIB section of 1, 4, 8, 16, 24 or 32 bits (BI_RGB, or BI_BITFIELDS at 16 and 32); `*bits` points at its rows. */
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section, DWORD offset);
/* Reads rows of a bitmap as a DIB of `info`'s format (1, 4, 8, 24 or 32 bits); null `bits` fills in the header. */
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void *bits, BITMAPINFO *info, UINT usage);
int StretchDIBits(HDC hdc, int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc,
                  const void *bits, const BITMAPINFO *info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC hdc, int xDst, int yDst, DWORD cx, DWORD cy, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void *bits, const BITMAPINFO *info, UINT usage);
HICON CreateIconIndirect(const ICONINFO *info);
BOOL GetIconInfo(HICON icon, ICONINFO *info);
BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flicker, UINT flags);
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon);

/* ---- Drawing ---------------------------------------------------------------- */

int FillRect(HDC hdc, const RECT *rect, HBRUSH brush);
int FrameRect(HDC hdc, const RECT *rect, HBRUSH brush);
BOOL InvertRect(HDC hdc, const RECT *rect);
BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL MoveToEx(HDC hdc, int x, int y, POINT *previous);
BOOL LineTo(HDC hdc, int x, int y);
COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour);
COLORREF GetPixel(HDC hdc, int x, int y);
BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop);
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xSrc, int ySrc, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xSrc, int ySrc, int cxSrc, int cySrc,
                DWORD rop);
BOOL DrawFocusRect(HDC hdc, const RECT *rect);
#define BDR_RAISEDOUTER 0x0001u
#define BDR_SUNKENOUTER 0x0002u
#define BDR_RAISEDINNER 0x0004u
#define BDR_SUNKENINNER 0x0008u
#define EDGE_RAISED (BDR_RAISEDOUTER | BDR_RAISEDINNER)
#define EDGE_SUNKEN (BDR_SUNKENOUTER | BDR_SUNKENINNER)
#define EDGE_ETCHED (BDR_SUNKENOUTER | BDR_RAISEDINNER)
#define BF_RECT 0x000Fu
BOOL DrawEdge(HDC hdc, RECT *rect, UINT edge, UINT flags);

/* ---- Text ------------------------------------------------------------------- */

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count);
BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT *rect, LPCWSTR text, UINT count, const int *dx);
int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT *rect, UINT format);
BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE *size);
BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW *metrics);

namespace plat {

/* One drawing operation as the draw log keeps it. */
struct DrawRecord {
    std::string op;        /* "FillRect", "BitBlt", "Text", "Rectangle", "Ellipse", "Icon", "Line", "StretchBlt", ... */
    HBITMAP target;        /* the surface drawn on (a window's surface or a bitmap) */
    HWND window;           /* the window whose context drew, else null */
    RECT rect;             /* on the target */
    std::u16string text;   /* text drawn */
    COLORREF colour;       /* the fill, pen or text colour */
    COLORREF background;
    DWORD rop;
    HGDIOBJ source;        /* the source bitmap or icon */
};

/* Starts (empties) or stops the draw log. */
void draw_log_enable(bool on);
std::vector<DrawRecord> draw_log();

/* Reads a pixel of a bitmap (BGR as a COLORREF); CLR_INVALID outside it or for a bad handle. */
COLORREF bitmap_pixel(HBITMAP bitmap, int x, int y);

/* The size and 32-bit pixels (BGRX, top-down) of a bitmap or window surface; false for a bad handle. */
bool bitmap_pixels(HBITMAP bitmap, int *cx, int *cy, std::vector<DWORD> *pixels);

/* The surface a top-level window's contexts draw on (its root's for a child), and where the window lies on it. */
HBITMAP window_surface(HWND window, RECT *where);

/*
 * A palettised display (8 bits, 256 colours): RealizePalette then answers
 * the entries it mapped, as on such a screen.  Off at first.
 */
void raster_set_palettised(bool on);

/* The font files used for faces (a regular and a bold file); false when one cannot be opened. */
bool raster_set_font_files(const std::string &regular, const std::string &bold);

} // namespace plat

#endif /* PLAT_RASTER_H */
