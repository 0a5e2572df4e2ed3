/*
 * The application-level state of printer device contexts: selected
 * objects, colours and modes, the mapping mode with its origins and
 * extents, text alignment, the clip rectangle, saved states, and the call
 * log tests read (see plat/gdi_dc.h).  The raster GDI's context functions
 * hand printer contexts to the functions here.
 */
#include "gdi_dc_private.h"

#include <plat/error.h>
#include <plat/machine.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

namespace {

using plat::gdi::pdc::State;

/* A clip region: one rectangle. */
struct Region : plat::gdi::RasterObject {
    RECT rect{};
    DWORD objectType() const override { return 8; /* OBJ_REGION */ }
};

struct Context {
    State current;
    std::vector<State> saved;
};

struct Registry {
    std::mutex lock;
    std::map<HDC, Context> contexts;
    bool logging = false;
    std::vector<plat::GdiDcCall> log;
};

Registry &registry()
{
    static auto *r = new Registry;
    return *r;
}

constexpr size_t kLogLimit = 65536;

const bool registered = (plat::machine_on_reset([] {
                             Registry &r = registry();
                             std::lock_guard<std::mutex> g(r.lock);
                             r.contexts.clear();
                             r.logging = false;
                             r.log.clear();
                         }),
                         true);

State fresh()
{
    State s;
    s.base.brush = plat::raster::stock(WHITE_BRUSH);
    s.base.pen = plat::raster::stock(BLACK_PEN);
    s.base.font = plat::raster::stock(SYSTEM_FONT);
    s.base.bkMode = OPAQUE;
    return s;
}

/*
 * Runs `f` on the state of printer context `hdc` (made on first use);
 * `fallback` for any other context.  The context is looked up with the lock
 * held: DeleteDC forgets a context's state (under the lock) after it has
 * taken the context out of the live ones, so no state is made for a context
 * deleted meanwhile and left behind.
 */
template <typename R, typename F>
R with_state(HDC hdc, R fallback, F f)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    if (!plat::gdi_is_printer_dc(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return fallback;
    }
    auto it = r.contexts.find(hdc);
    if (it == r.contexts.end())
        it = r.contexts.emplace(hdc, Context{fresh(), {}}).first;
    return f(it->second);
}

/* Makes `r` (cut by the clip in force when `cut`) the clip; its region type. */
int clip_to(Context &c, RECT r, bool cut)
{
    if (cut && c.current.clip) {
        const RECT &o = *c.current.clip;
        r = RECT{std::max(r.left, o.left), std::max(r.top, o.top), std::min(r.right, o.right),
                 std::min(r.bottom, o.bottom)};
    }
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    c.current.clip = r;
    return (r.left == r.right || r.top == r.bottom) ? int(NULLREGION) : int(SIMPLEREGION);
}

long scale(long v, long from, long to) { return from == 0 ? v : long((long long)v * to / from); }

} // namespace

namespace plat {

bool gdi_is_printer_dc(HDC hdc)
{
    GdiDcInfo info{};
    return hdc && gdi_dc_info(hdc, &info);
}

void gdi_dc_log_enable(bool on)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.logging = on;
    r.log.clear();
}

std::vector<GdiDcCall> gdi_dc_log()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.log;
}

void gdi_dc_log_call(HDC hdc, std::string op, std::vector<long> args, BOOL answer)
{
    gdi::pdc::log(hdc, std::move(op), std::move(args), answer);
}

void gdi_dc_forget(HDC hdc)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.contexts.erase(hdc);
}

} // namespace plat

namespace plat::gdi::pdc {

void log(HDC hdc, std::string op, std::vector<long> args, BOOL answer, std::u16string text)
{
    (void)hdc;
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    if (r.logging && r.log.size() < kLogLimit)
        r.log.push_back(GdiDcCall{std::move(op), std::move(args), std::move(text), answer});
}

bool state_of(HDC hdc, State *out)
{
    return with_state(hdc, false, [&](Context &c) {
        *out = c.current;
        return true;
    });
}

POINT to_device(const State &s, POINT p)
{
    long x = p.x - s.windowOrg.x, y = p.y - s.windowOrg.y;
    if (s.mapMode == MM_ANISOTROPIC || s.mapMode == MM_ISOTROPIC) {
        x = scale(x, s.windowExt.cx, s.viewportExt.cx);
        y = scale(y, s.windowExt.cy, s.viewportExt.cy);
    }
    return POINT{LONG(x + s.base.viewport.x), LONG(y + s.base.viewport.y)};
}

RECT to_device(const State &s, RECT r)
{
    const POINT a = to_device(s, POINT{r.left, r.top});
    const POINT b = to_device(s, POINT{r.right, r.bottom});
    return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

long scale_x(const State &s, long v)
{
    if (s.mapMode == MM_ANISOTROPIC || s.mapMode == MM_ISOTROPIC)
        v = scale(v, s.windowExt.cx, s.viewportExt.cx);
    return v < 0 ? -v : v;
}

HGDIOBJ select_object(HDC hdc, HGDIOBJ object)
{
    HGDIOBJ previous = with_state<HGDIOBJ>(hdc, nullptr, [&](Context &c) -> HGDIOBJ {
        auto o = raster_object(object);
        if (!o)
            return nullptr;
        HGDIOBJ *slot = nullptr;
        switch (o->objectType()) {
        case OBJ_BRUSH: slot = &c.current.base.brush; break;
        case OBJ_PEN: slot = &c.current.base.pen; break;
        case OBJ_FONT: slot = &c.current.base.font; break;
        default: return nullptr;
        }
        HGDIOBJ before = *slot;
        *slot = object;
        return before;
    });
    if (previous) {
        const DWORD type = GetObjectType(object);
        log(hdc, type == OBJ_FONT ? "SelectFont" : type == OBJ_PEN ? "SelectPen" : "SelectBrush", {}, TRUE);
    }
    return previous;
}

HGDIOBJ current_object(HDC hdc, UINT type)
{
    return with_state<HGDIOBJ>(hdc, nullptr, [&](Context &c) -> HGDIOBJ {
        switch (type) {
        case OBJ_BRUSH: return c.current.base.brush;
        case OBJ_PEN: return c.current.base.pen;
        case OBJ_FONT: return c.current.base.font;
        default: return nullptr;
        }
    });
}

int save(HDC hdc)
{
    const int level = with_state(hdc, 0, [&](Context &c) {
        c.saved.push_back(c.current);
        return int(c.saved.size());
    });
    log(hdc, "SaveDC", {}, level);
    return level;
}

BOOL restore(HDC hdc, int saved)
{
    const BOOL ok = with_state(hdc, FALSE, [&](Context &c) -> BOOL {
        const long depth = long(c.saved.size());
        const long target = saved < 0 ? depth + saved : long(saved) - 1; /* the state to take */
        if (saved == 0 || target < 0 || target >= depth)
            return FALSE;
        c.current = c.saved[size_t(target)];
        c.saved.resize(size_t(target));
        return TRUE;
    });
    log(hdc, "RestoreDC", {saved}, ok);
    return ok;
}

COLORREF set_text_colour(HDC hdc, COLORREF colour)
{
    const COLORREF before = with_state(hdc, COLORREF(CLR_INVALID), [&](Context &c) {
        return std::exchange(c.current.base.text, colour);
    });
    log(hdc, "SetTextColor", {long(colour)}, before != CLR_INVALID);
    return before;
}

COLORREF text_colour(HDC hdc)
{
    return with_state(hdc, COLORREF(CLR_INVALID), [&](Context &c) { return c.current.base.text; });
}

COLORREF set_back_colour(HDC hdc, COLORREF colour)
{
    return with_state(hdc, COLORREF(CLR_INVALID), [&](Context &c) { return std::exchange(c.current.base.back, colour); });
}

COLORREF back_colour(HDC hdc)
{
    return with_state(hdc, COLORREF(CLR_INVALID), [&](Context &c) { return c.current.base.back; });
}

int set_back_mode(HDC hdc, int mode)
{
    const int before = with_state(hdc, 0, [&](Context &c) {
        if (mode != TRANSPARENT && mode != OPAQUE)
            return 0;
        return std::exchange(c.current.base.bkMode, mode);
    });
    log(hdc, "SetBkMode", {mode}, before);
    return before;
}

int back_mode(HDC hdc)
{
    return with_state(hdc, 0, [&](Context &c) { return c.current.base.bkMode; });
}

BOOL set_viewport_origin(HDC hdc, int x, int y, POINT *previous)
{
    const BOOL ok = with_state(hdc, FALSE, [&](Context &c) {
        if (previous)
            *previous = c.current.base.viewport;
        c.current.base.viewport = POINT{x, y};
        return TRUE;
    });
    log(hdc, "SetViewportOrgEx", {x, y}, ok);
    return ok;
}

BOOL viewport_origin(HDC hdc, POINT *origin)
{
    return with_state(hdc, FALSE, [&](Context &c) {
        if (!origin)
            return FALSE;
        *origin = c.current.base.viewport;
        return TRUE;
    });
}

int intersect_clip(HDC hdc, int left, int top, int right, int bottom)
{
    const int type = with_state(hdc, int(ERROR), [&](Context &c) {
        return clip_to(c, to_device(c.current, RECT{left, top, right, bottom}), true);
    });
    log(hdc, "IntersectClipRect", {left, top, right, bottom}, type);
    return type;
}

int select_clip(HDC hdc, HRGN region)
{
    return ExtSelectClipRgn(hdc, region, RGN_COPY);
}

} // namespace plat::gdi::pdc

using namespace plat::gdi::pdc;

HRGN CreateRectRgn(int left, int top, int right, int bottom)
{
    auto r = std::make_shared<Region>();
    r->rect = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
    return reinterpret_cast<HRGN>(plat::gdi::add_raster(std::move(r)));
}

int ExtSelectClipRgn(HDC hdc, HRGN region, int mode)
{
    auto rgn = std::dynamic_pointer_cast<Region>(plat::gdi::raster_object(reinterpret_cast<HGDIOBJ>(region)));
    int type = ERROR;
    if ((region && !rgn) || (mode != RGN_COPY && mode != RGN_AND) || (mode == RGN_AND && !region)) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else {
        type = with_state(hdc, int(ERROR), [&](Context &c) {
            if (!rgn) {
                c.current.clip.reset();
                return int(SIMPLEREGION);
            }
            return clip_to(c, rgn->rect, mode == RGN_AND); /* regions are in device units */
        });
    }
    std::vector<long> args = {mode};
    if (rgn)
        args.insert(args.end(), {rgn->rect.left, rgn->rect.top, rgn->rect.right, rgn->rect.bottom});
    log(hdc, region ? "ExtSelectClipRgn" : "SelectClipRgn", args, type);
    return type;
}

int SetMapMode(HDC hdc, int mode)
{
    const int before = with_state(hdc, 0, [&](Context &c) {
        if (mode < MM_TEXT || mode > MM_ANISOTROPIC)
            return 0;
        return std::exchange(c.current.mapMode, mode);
    });
    log(hdc, "SetMapMode", {mode}, before);
    return before;
}

int GetMapMode(HDC hdc)
{
    return with_state(hdc, 0, [&](Context &c) { return c.current.mapMode; });
}

BOOL SetWindowOrgEx(HDC hdc, int x, int y, POINT *previous)
{
    const BOOL ok = with_state(hdc, FALSE, [&](Context &c) {
        if (previous)
            *previous = c.current.windowOrg;
        c.current.windowOrg = POINT{x, y};
        return TRUE;
    });
    log(hdc, "SetWindowOrgEx", {x, y}, ok);
    return ok;
}

BOOL GetWindowOrgEx(HDC hdc, POINT *origin)
{
    return with_state(hdc, FALSE, [&](Context &c) {
        if (!origin)
            return FALSE;
        *origin = c.current.windowOrg;
        return TRUE;
    });
}

namespace {

/* Sets one extent of the mapping (counted in MM_ANISOTROPIC and MM_ISOTROPIC only). */
BOOL set_extent(HDC hdc, SIZE State::*extent, const char *op, int x, int y, SIZE *previous)
{
    const BOOL ok = with_state(hdc, FALSE, [&](Context &c) {
        if (x == 0 || y == 0)
            return FALSE;
        if (previous)
            *previous = c.current.*extent;
        if (c.current.mapMode == MM_ANISOTROPIC || c.current.mapMode == MM_ISOTROPIC)
            c.current.*extent = SIZE{x, y};
        return TRUE;
    });
    log(hdc, op, {x, y}, ok);
    return ok;
}

} // namespace

BOOL SetWindowExtEx(HDC hdc, int x, int y, SIZE *previous)
{
    return set_extent(hdc, &State::windowExt, "SetWindowExtEx", x, y, previous);
}

BOOL SetViewportExtEx(HDC hdc, int x, int y, SIZE *previous)
{
    return set_extent(hdc, &State::viewportExt, "SetViewportExtEx", x, y, previous);
}

UINT SetTextAlign(HDC hdc, UINT align)
{
    const UINT before = with_state(hdc, UINT(GDI_ERROR), [&](Context &c) {
        return std::exchange(c.current.textAlign, align);
    });
    log(hdc, "SetTextAlign", {long(align)}, before != GDI_ERROR);
    return before;
}

UINT GetTextAlign(HDC hdc)
{
    return with_state(hdc, UINT(GDI_ERROR), [&](Context &c) { return c.current.textAlign; });
}

int SetROP2(HDC hdc, int mode)
{
    const int before = with_state(hdc, 0, [&](Context &c) {
        if (mode < R2_BLACK || mode > R2_WHITE)
            return 0;
        return std::exchange(c.current.rop2, mode);
    });
    log(hdc, "SetROP2", {mode}, before);
    return before;
}

int GetROP2(HDC hdc)
{
    return with_state(hdc, 0, [&](Context &c) { return c.current.rop2; });
}
