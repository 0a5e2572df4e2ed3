/*
 * Device contexts of the raster GDI: memory contexts on selected bitmaps,
 * window contexts on their top-level window's surface (offset and clipped
 * to the window), selection, saved states, colours, modes, right-to-left
 * layout, the canvas a drawing call resolves, and window surfaces.
 */
#include "gdi_dc_private.h"
#include "raster_private.h"
#include "window_private.h"

#include <plat/error.h>
#include <plat/machine.h>

#include <algorithm>
#include <cstring>

namespace {

using namespace plat::raster;

std::shared_ptr<Dc> makeDc(bool memory, HWND window)
{
    auto dc = std::make_shared<Dc>();
    dc->memory = memory;
    dc->window = window;
    dc->st.brush = stock(WHITE_BRUSH);
    dc->st.pen = stock(BLACK_PEN);
    dc->st.font = stock(SYSTEM_FONT);
    return dc;
}

HDC addDc(std::shared_ptr<Dc> dc) { return reinterpret_cast<HDC>(plat::gdi::add_raster(std::move(dc))); }

bool palettised = false;

const bool registered = (plat::machine_on_reset([] { palettised = false; }), true);

} // namespace

namespace plat::raster {

std::shared_ptr<Dc> dc_of(HDC hdc)
{
    return object_of<Dc>(reinterpret_cast<HGDIOBJ>(hdc));
}

RECT Canvas::toTarget(RECT r) const
{
    if (r.left > r.right)
        std::swap(r.left, r.right);
    if (r.top > r.bottom)
        std::swap(r.top, r.bottom);
    OffsetRect(&r, viewport.x, viewport.y);
    if (rtl)
        r = RECT{width - r.right, r.top, width - r.left, r.bottom};
    OffsetRect(&r, origin.x, origin.y);
    return r;
}

POINT Canvas::toTarget(POINT p) const
{
    p.x += viewport.x;
    p.y += viewport.y;
    if (rtl)
        p.x = width - 1 - p.x;
    return POINT{p.x + origin.x, p.y + origin.y};
}

DWORD Canvas::load(int x, int y) const
{
    if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height)
        return 0;
    DWORD v;
    std::memcpy(&v, bm->bits.data() + (size_t(y) * size_t(bm->width) + size_t(x)) * 4, 4);
    return v & 0xFFFFFF;
}

void Canvas::put(int x, int y, DWORD v)
{
    if (!bm || !inClip(x, y))
        return;
    if (bm->bitsPixel == 1) {
        const int sum = int(v & 0xFF) + int((v >> 8) & 0xFF) + int((v >> 16) & 0xFF);
        v = sum >= 3 * 128 ? 0xFFFFFF : 0;
    }
    std::memcpy(bm->bits.data() + (size_t(y) * size_t(bm->width) + size_t(x)) * 4, &v, 4);
}

Canvas open(const Dc &dc)
{
    Canvas c;
    c.viewport = dc.st.viewport;
    c.rtl = (dc.st.layout & LAYOUT_RTL) != 0;
    c.preserveBitmaps = (dc.st.layout & LAYOUT_BITMAPORIENTATIONPRESERVED) != 0;
    if (dc.memory) {
        c.target = dc.st.bitmap;
        c.bm = gdi::bitmap_data(c.target);
        if (!c.bm)
            return c;
        c.width = c.bm->width;
        c.height = c.bm->height;
        c.clip = RECT{0, 0, c.bm->width, c.bm->height};
    } else {
        RECT where;
        c.target = window_surface(dc.window, &where);
        c.bm = gdi::bitmap_data(c.target);
        if (!c.bm)
            return c;
        c.window = dc.window;
        c.origin = POINT{where.left, where.top};
        c.width = where.right - where.left;
        c.height = where.bottom - where.top;
        RECT all{0, 0, c.bm->width, c.bm->height};
        IntersectRect(&c.clip, &where, &all);
    }
    if (dc.st.clipped) {
        RECT extra = c.toTarget(dc.st.clip);
        if (!IntersectRect(&c.clip, &c.clip, &extra))
            SetRectEmpty(&c.clip);
    }
    if (c.bm->dib)
        dib_to_pixels(*c.bm);
    return c;
}

void close(Canvas &c)
{
    if (c.bm && c.bm->dib)
        pixels_to_dib(*c.bm);
}

COLORREF resolve(const Dc &dc, COLORREF c)
{
    if ((c >> 24) == 0x01) {
        const auto *entries = gdi::palette_data(reinterpret_cast<HPALETTE>(dc.palette));
        const WORD i = WORD(c & 0xFFFF);
        if (!entries || i >= entries->size())
            return RGB(0, 0, 0);
        const PALETTEENTRY &e = (*entries)[i];
        return RGB(e.peRed, e.peGreen, e.peBlue);
    }
    return c & 0xFFFFFF;
}

bool brush_colour(const Dc &dc, const Brush &b, int x, int y, DWORD &out)
{
    switch (b.style) {
    case BS_NULL:
        return false;
    case BS_PATTERN: {
        if (b.pattern.empty())
            return false;
        const int px = ((x % b.patternCx) + b.patternCx) % b.patternCx;
        const int py = ((y % b.patternCy) + b.patternCy) % b.patternCy;
        DWORD p = b.pattern[size_t(py) * size_t(b.patternCx) + size_t(px)];
        /* A monochrome pattern paints 0 in the text colour and 1 in the background colour. */
        if (b.monoPattern)
            p = p ? bgrx(resolve(dc, dc.st.back)) : bgrx(resolve(dc, dc.st.text));
        out = p;
        return true;
    }
    default:
        out = bgrx(b.sysColour >= 0 ? GetSysColor(b.sysColour) : resolve(dc, b.colour));
        return true;
    }
}

} // namespace plat::raster

namespace plat::gdi {

bool raster_caps(HDC hdc, int index, int *answer)
{
    auto dc = dc_of(hdc);
    if (!dc)
        return false;
    switch (index) {
    case TECHNOLOGY: *answer = DT_RASDISPLAY; break;
    case BITSPIXEL: *answer = palettised ? 8 : 32; break;
    case PLANES: *answer = 1; break;
    case HORZRES: *answer = GetSystemMetrics(SM_CXSCREEN); break;
    case VERTRES: *answer = GetSystemMetrics(SM_CYSCREEN); break;
    case LOGPIXELSX:
    case LOGPIXELSY: *answer = plat::window_dpi(); break;
    case RASTERCAPS:
        *answer = int(RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP | RC_DIBTODEV | (palettised ? RC_PALETTE : 0));
        break;
    case SIZEPALETTE: *answer = palettised ? 256 : 0; break;
    case NUMCOLORS: *answer = palettised ? 20 : -1; break;
    default: *answer = 0; break;
    }
    return true;
}

bool raster_delete_dc(HDC hdc)
{
    auto dc = dc_of(hdc);
    if (!dc || !dc->memory)
        return false;
    if (dc->defaultBitmap)
        remove_bitmap(dc->defaultBitmap);
    return remove_raster(reinterpret_cast<HGDIOBJ>(hdc));
}

UINT raster_realize(HDC hdc)
{
    auto dc = dc_of(hdc);
    if (!dc)
        return GDI_ERROR;
    /* A 32-bit display maps nothing; a palettised one maps the selected palette's entries. */
    const auto *entries = palette_data(reinterpret_cast<HPALETTE>(dc->palette));
    return palettised && entries ? UINT(entries->size()) : 0u;
}

HBITMAP surface_create(int cx, int cy)
{
    BitmapData bm;
    bm.width = cx;
    bm.height = cy;
    bm.internal = true;
    bm.bits.assign(size_t(cx) * size_t(cy) * 4, 0);
    return add_bitmap(std::move(bm));
}

bool surface_matches(HBITMAP surface, int cx, int cy)
{
    const BitmapData *bm = bitmap_data(surface);
    return bm && bm->width == cx && bm->height == cy;
}

void surface_delete(HBITMAP surface) { remove_bitmap(surface); }

} // namespace plat::gdi

namespace plat {

HBITMAP window_surface(HWND window, RECT *where)
{
    HWND top = win::root(window);
    win::Window *t = top ? win::find(top, false) : nullptr;
    if (!t)
        return nullptr;
    win::ensure_surface(*t);
    if (where) {
        const POINT a = win::screen_origin(window);
        const POINT b = win::screen_origin(top);
        RECT client;
        GetClientRect(window, &client);
        OffsetRect(&client, a.x - b.x, a.y - b.y);
        *where = client;
    }
    return t->surface;
}

void raster_set_palettised(bool on)
{
    (void)registered;
    palettised = on;
}

} // namespace plat

HDC CreateCompatibleDC(HDC)
{
    auto dc = makeDc(true, nullptr);
    dc->defaultBitmap = CreateBitmap(1, 1, 1, 1, nullptr);
    if (plat::gdi::BitmapData *bm = plat::gdi::bitmap_data(dc->defaultBitmap))
        bm->internal = true;
    dc->st.bitmap = dc->defaultBitmap;
    return addDc(std::move(dc));
}

HDC GetDC(HWND window)
{
    if (window && !IsWindow(window))
        return nullptr;
    auto dc = makeDc(false, window);
    if (window) {
        dc->st.font = reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0));
        if (!dc->st.font)
            dc->st.font = stock(SYSTEM_FONT);
        if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)
            dc->st.layout = LAYOUT_RTL;
    }
    return addDc(std::move(dc));
}

HDC GetWindowDC(HWND window) { return GetDC(window); }

int ReleaseDC(HWND, HDC hdc)
{
    auto dc = dc_of(hdc);
    if (!dc || dc->memory)
        return 0;
    return plat::gdi::remove_raster(reinterpret_cast<HGDIOBJ>(hdc)) ? 1 : 0;
}

HDC BeginPaint(HWND window, PAINTSTRUCT *ps)
{
    plat::win::Window *w = plat::win::find(window);
    if (!w || !ps)
        return nullptr;
    std::memset(ps, 0, sizeof *ps);
    HDC hdc = GetDC(window);
    ps->hdc = hdc;
    GetClientRect(window, &ps->rcPaint);
    ps->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    if ((w = plat::win::find(window, false)))
        w->dirty = false;
    return hdc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT *ps)
{
    if (!ps)
        return FALSE;
    ReleaseDC(window, ps->hdc);
    return TRUE;
}

HWND WindowFromDC(HDC hdc)
{
    auto dc = dc_of(hdc);
    return dc ? dc->window : nullptr;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::select_object(hdc, object);
    auto dc = dc_of(hdc);
    if (!dc || !object)
        return nullptr;
    if (plat::gdi::bitmap_data(reinterpret_cast<HBITMAP>(object))) {
        if (!dc->memory)
            return nullptr;
        HGDIOBJ previous = dc->st.bitmap;
        dc->st.bitmap = reinterpret_cast<HBITMAP>(object);
        return previous == dc->defaultBitmap ? nullptr : previous;
    }
    auto o = plat::gdi::raster_object(object);
    if (!o)
        return nullptr;
    HGDIOBJ *slot = nullptr;
    switch (o->objectType()) {
    case OBJ_BRUSH: slot = &dc->st.brush; break;
    case OBJ_PEN: slot = &dc->st.pen; break;
    case OBJ_FONT: slot = &dc->st.font; break;
    default: return nullptr;
    }
    HGDIOBJ previous = *slot;
    *slot = object;
    return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::current_object(hdc, type);
    auto dc = dc_of(hdc);
    if (!dc)
        return nullptr;
    switch (type) {
    case OBJ_BRUSH: return dc->st.brush;
    case OBJ_PEN: return dc->st.pen;
    case OBJ_FONT: return dc->st.font;
    case OBJ_BITMAP: return dc->st.bitmap;
    case OBJ_PAL: return reinterpret_cast<HGDIOBJ>(dc->palette);
    default: return nullptr;
    }
}

int SaveDC(HDC hdc)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::save(hdc);
    auto dc = dc_of(hdc);
    if (!dc)
        return 0;
    dc->saved.push_back(dc->st);
    return int(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::restore(hdc, saved);
    auto dc = dc_of(hdc);
    if (!dc)
        return FALSE;
    const int n = int(dc->saved.size());
    const int level = saved < 0 ? n + 1 + saved : saved;
    if (level < 1 || level > n)
        return FALSE;
    dc->st = dc->saved[size_t(level - 1)];
    dc->saved.resize(size_t(level - 1));
    return TRUE;
}

/* Printer contexts keep the left-to-right layout. */
static DWORD no_printer_layout(HDC, DWORD = 0) { return GDI_ERROR; }

#define DC_FIELD(getter, setter, type, field, bad, printerSetter, printerGetter)                                     \
    type setter(HDC hdc, type value)                                                                                \
    {                                                                                                               \
        auto dc = dc_of(hdc);                                                                                       \
        if (!dc)                                                                                                    \
            return plat::gdi_is_printer_dc(hdc) ? printerSetter(hdc, value) : bad;                                  \
        type previous = dc->st.field;                                                                               \
        dc->st.field = value;                                                                                       \
        return previous;                                                                                            \
    }                                                                                                               \
    type getter(HDC hdc)                                                                                            \
    {                                                                                                               \
        auto dc = dc_of(hdc);                                                                                       \
        return dc ? dc->st.field : plat::gdi_is_printer_dc(hdc) ? printerGetter(hdc) : bad;                         \
    }

DC_FIELD(GetTextColor, SetTextColor, COLORREF, text, CLR_INVALID, plat::gdi::pdc::set_text_colour, plat::gdi::pdc::text_colour)
DC_FIELD(GetBkColor, SetBkColor, COLORREF, back, CLR_INVALID, plat::gdi::pdc::set_back_colour, plat::gdi::pdc::back_colour)
DC_FIELD(GetBkMode, SetBkMode, int, bkMode, 0, plat::gdi::pdc::set_back_mode, plat::gdi::pdc::back_mode)
DC_FIELD(GetLayout, SetLayout, DWORD, layout, GDI_ERROR, no_printer_layout, no_printer_layout)

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT *previous)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::set_viewport_origin(hdc, x, y, previous);
    auto dc = dc_of(hdc);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->st.viewport;
    dc->st.viewport = POINT{x, y};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, POINT *origin)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::viewport_origin(hdc, origin);
    auto dc = dc_of(hdc);
    if (!dc || !origin)
        return FALSE;
    *origin = dc->st.viewport;
    return TRUE;
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::intersect_clip(hdc, left, top, right, bottom);
    auto dc = dc_of(hdc);
    if (!dc)
        return ERROR;
    RECT r{left, top, right, bottom};
    if (dc->st.clipped)
        IntersectRect(&r, &r, &dc->st.clip);
    dc->st.clip = r;
    dc->st.clipped = true;
    return IsRectEmpty(&r) ? NULLREGION : SIMPLEREGION;
}

int SelectClipRgn(HDC hdc, HRGN region)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::select_clip(hdc, region);
    auto dc = dc_of(hdc);
    if (!dc || region)
        return ERROR;
    dc->st.clipped = false;
    return SIMPLEREGION;
}
