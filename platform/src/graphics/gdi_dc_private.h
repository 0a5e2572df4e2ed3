/*
 * The state of a printer device context's application-level drawing
 * (gdi_dc_state.cpp) as the drawing calls (gdi_dc_draw.cpp) read it, and
 * the entry points the raster GDI hands printer contexts to.
 */
#ifndef PLAT_GDI_DC_PRIVATE_H
#define PLAT_GDI_DC_PRIVATE_H

#include "raster_private.h"

#include <plat/gdi_dc.h>

#include <optional>

namespace plat::gdi::pdc {

/* One saved or current state of a printer context. */
struct State {
    raster::DcState base;          /* pen, brush, font, colours, background mode, viewport origin */
    int mapMode = MM_TEXT;
    POINT windowOrg{0, 0};
    SIZE windowExt{1, 1};
    SIZE viewportExt{1, 1};
    UINT textAlign = TA_LEFT | TA_TOP;
    int rop2 = R2_COPYPEN;
    std::optional<RECT> clip;      /* device units */
};

/* A copy of the current state of printer context `hdc`; false for any other context. */
bool state_of(HDC hdc, State *out);

/* A logical point and rectangle in device units. */
POINT to_device(const State &s, POINT p);
RECT to_device(const State &s, RECT r);
/* A logical length along x in device units (font heights, pen widths). */
long scale_x(const State &s, long v);

/* Appends to the call log when it is on. */
void log(HDC hdc, std::string op, std::vector<long> args, BOOL answer, std::u16string text = {});

/* The printer-context side of the raster GDI's context functions. */
HGDIOBJ select_object(HDC hdc, HGDIOBJ object);
HGDIOBJ current_object(HDC hdc, UINT type);
int save(HDC hdc);
BOOL restore(HDC hdc, int saved);
COLORREF set_text_colour(HDC hdc, COLORREF colour);
COLORREF text_colour(HDC hdc);
COLORREF set_back_colour(HDC hdc, COLORREF colour);
COLORREF back_colour(HDC hdc);
int set_back_mode(HDC hdc, int mode);
int back_mode(HDC hdc);
BOOL set_viewport_origin(HDC hdc, int x, int y, POINT *previous);
BOOL viewport_origin(HDC hdc, POINT *origin);
int intersect_clip(HDC hdc, int left, int top, int right, int bottom);
int select_clip(HDC hdc, HRGN region);

int stretch_dib(HDC hdc, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc, const void *bits,
                const BITMAPINFO *info, UINT usage, DWORD rop);
BOOL rectangle(HDC hdc, int left, int top, int right, int bottom);
BOOL ellipse(HDC hdc, int left, int top, int right, int bottom);
BOOL text_out(HDC hdc, int x, int y, UINT options, const RECT *rect, LPCWSTR text, UINT count, const int *dx);
BOOL text_extent(HDC hdc, LPCWSTR text, int count, SIZE *size);
int draw_text(HDC hdc, LPCWSTR text, int count, RECT *rect, UINT format);

} // namespace plat::gdi::pdc

#endif /* PLAT_GDI_DC_PRIVATE_H */
