/*
 * Drawing on a printer device context at the application's level: the
 * context's state (selected pen, brush and font, colours, modes, mapping
 * mode with window and viewport origins and extents, text alignment, clip
 * rectangle, saved states) and the drawing calls that become the graphics
 * library's Drv* calls as GDI makes them:
 *
 *   StretchDIBits                 DrvStretchBlt (plat::gdi_draw_image)
 *   Polygon, Polyline, Rectangle, DrvStrokePath, DrvFillPath or
 *   Ellipse                       DrvStrokeAndFillPath (plat::gdi_draw_path):
 *                                 filled with the brush unless it is hollow,
 *                                 stroked with the pen unless it is PS_NULL
 *   TextOutW, ExtTextOutW         DrvTextOut (plat::gdi_draw_text) in the
 *                                 selected font, text colour and alignment
 *   DrawTextW with DT_CALCRECT,   measured as gdi_draw_text maps the font
 *   GetTextExtentPoint32W         (plat::gdi_measure_text, through FreeType)
 *
 * The functions of plat/raster.h that name a context (SelectObject, SaveDC,
 * SetTextColor, StretchDIBits, TextOutW, ...) answer for printer contexts
 * through this layer; pens, brushes and fonts are the same objects for both
 * kinds of context.  Coordinates are logical: device = (logical - window
 * origin) x viewport extent / window extent + viewport origin (extents count
 * only in MM_ANISOTROPIC and MM_ISOTROPIC).
 *
 * Tests read what an application drew through the call log (gdi_dc_log):
 * every state change and drawing call on a printer context, in order, with
 * the ExtEscape, StartPage and EndPage calls between them.
 */
#ifndef PLAT_GDI_DC_H
#define PLAT_GDI_DC_H

#include <plat/engine_fonts.h>
#include <plat/gdi.h>
#include <plat/raster.h>

#include <string>
#include <vector>

/* Mapping modes. */
#define MM_TEXT 1
#define MM_ISOTROPIC 7
#define MM_ANISOTROPIC 8

/* Text alignment (the others come with plat/engine_fonts.h). */
#define TA_RTLREADING 256u

/* Drawing modes (SetROP2). */
#define R2_BLACK 1
#define R2_NOP 11
#define R2_COPYPEN 13
#define R2_WHITE 16

/* ExtSelectClipRgn. */
#define RGN_AND 1
#define RGN_COPY 5

int SetMapMode(HDC hdc, int mode);
int GetMapMode(HDC hdc);
BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT *previous);
BOOL GetWindowOrgEx(HDC hdc, POINT *origin);
BOOL SetWindowExtEx(HDC hdc, int x, int y, SIZE *previous);
BOOL SetViewportExtEx(HDC hdc, int x, int y, SIZE *previous);
UINT SetTextAlign(HDC hdc, UINT align);
UINT GetTextAlign(HDC hdc);
int SetROP2(HDC hdc, int mode);
int GetROP2(HDC hdc);
BOOL Polygon(HDC hdc, const POINT *points, int count);
BOOL Polyline(HDC hdc, const POINT *points, int count);

/* A rectangular region (the only kind printer contexts clip with). */
HRGN CreateRectRgn(int left, int top, int right, int bottom);
/* RGN_COPY: the region (null: no clip); RGN_AND: the clip cut by the region.  The region type, or ERROR. */
int ExtSelectClipRgn(HDC hdc, HRGN region, int mode);

namespace plat {

/* True for a live printer (not display or raster) device context. */
bool gdi_is_printer_dc(HDC hdc);

/* One call on a printer device context as the call log keeps it. */
struct GdiDcCall {
    std::string op;           /* the function's name ("SaveDC", "StretchDIBits", "ExtEscape", ...) */
    std::vector<long> args;   /* its arguments in logical units, as the application gave them */
    std::u16string text;      /* text drawn or measured */
    BOOL answer = 0;          /* what the call answered */
};

/* Starts (empties) or stops the call log; off at first and after machine_reset. */
void gdi_dc_log_enable(bool on);
std::vector<GdiDcCall> gdi_dc_log();

/* Adds a call to the log (the job functions record ExtEscape, StartPage and EndPage through it). */
void gdi_dc_log_call(HDC hdc, std::string op, std::vector<long> args, BOOL answer);

/* Forgets the drawing state of a context being deleted. */
void gdi_dc_forget(HDC hdc);

} // namespace plat

#endif /* PLAT_GDI_DC_H */
