/*
 * The window table as the window manager's files share it: one record per
 * window with its family, styles, procedure, geometry, text, properties,
 * timers and the state object of its class.  The window system runs on one
 * thread; the table's lock only guards the map against readers elsewhere.
 */
#ifndef PLAT_WINDOW_PRIVATE_H
#define PLAT_WINDOW_PRIVATE_H

#include <plat/gdi_objects.h>
#include <plat/window.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plat::win {

struct ClassInfo {
    std::u16string name;
    WNDCLASSW wc{};
    bool builtin = false;
};

struct Window {
    HWND self = nullptr;
    HWND parent = nullptr; /* child windows */
    HWND owner = nullptr;  /* top-level windows */
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    std::u16string className;
    std::u16string title;
    WNDPROC proc = nullptr;
    RECT rect{};          /* in the parent's client area (children) or on the screen */
    std::vector<std::pair<std::u16string, HANDLE>> props;
    std::shared_ptr<void> state;
    HFONT font = nullptr;
    bool destroying = false;
    bool dirty = true;
    HBITMAP surface = nullptr; /* top-level windows: what their window DCs draw on */
};

/* The record of `h`, or null (with ERROR_INVALID_WINDOW_HANDLE when `setError`). */
Window *find(HWND h, bool setError = true);

/* Every window in creation order. */
std::vector<Window *> all();

/* The top-level window above `h` (h itself when it is one); null for a bad handle. */
HWND root(HWND h);

/* The children of `h` in z-order (creation order). */
std::vector<HWND> children(HWND h);

/* The top-left of `h`'s client area on the screen. */
POINT screen_origin(HWND h);

bool is_child(const Window &w);

/* Case-folded class name used as the class key. */
std::u16string class_key(std::u16string_view name);

/* A class by name (built-in or registered); null when unknown. */
const ClassInfo *find_class(std::u16string_view name);

/* Screen DPI scale helpers. */
int scale(int value96);

/* Focus bookkeeping for destroy. */
void forget_focus(HWND h);

/* Kills the timers of a window being destroyed. */
void drop_timers(HWND h);

/* Posted messages for a window being destroyed are dropped. */
void drop_posted(HWND h);

/* The window surface of a top-level window is (re)made by the raster layer. */
void ensure_surface(Window &w);

} // namespace plat::win

#endif /* PLAT_WINDOW_PRIVATE_H */
