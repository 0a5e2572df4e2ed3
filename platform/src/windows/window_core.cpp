/*
 * The window core: the table of windows with their family, instance,
 * identifier, styles, user data and extra bytes; window classes; creation
 * (WM_NCCREATE, WM_CREATE) and destruction (WM_DESTROY parent first,
 * WM_NCDESTROY children first); and the user32 calls that ask about a
 * window's words.  Handles count up from a base and are never reused.
 */
#include "gdi_display.h"
#include "window_private.h"

#include <plat/error.h>
#include <plat/machine.h>
#include <plat/text.h>
#include <plat/window.h>

#include <algorithm>
#include <mutex>

namespace {

using plat::win::ClassInfo;
using plat::win::Window;

constexpr int kMaxExtraBytes = 1024;
/* Handle values: multiples of 4 from here, apart from the handle table's small values. */
constexpr uintptr_t kFirstHandle = 0x10000;

struct WindowTable {
    std::mutex lock;
    std::map<HWND, std::unique_ptr<Window>> windows;
    std::map<std::u16string, ClassInfo> classes;  /* registered by code */
    std::map<std::u16string, ClassInfo> builtins; /* the dialog and control classes */
    uintptr_t next = kFirstHandle + 4;
};

WindowTable &table()
{
    static WindowTable *t = new WindowTable; /* never destroyed: windows may be asked about during exit */
    return *t;
}

HWND desktopHandle() { return reinterpret_cast<HWND>(kFirstHandle); }

void resetWindows()
{
    WindowTable &t = table();
    std::map<HWND, std::unique_ptr<Window>> gone;
    {
        std::lock_guard<std::mutex> g(t.lock);
        gone.swap(t.windows);
        t.classes.clear();
    }
    /* The GDI table is reset on its own; surfaces need no deleting here. */
}

const bool registered = (plat::machine_on_reset(resetWindows), true);

/* Where index `index` of the extra bytes lies, or false (ERROR_INVALID_INDEX). */
bool extraSlot(const Window &w, int index)
{
    if (index < 0 || size_t(index) + sizeof(LONG_PTR) > w.extra.size()) {
        SetLastError(ERROR_INVALID_INDEX);
        return false;
    }
    return true;
}

std::u16string textOf(LPCWSTR s)
{
    return s ? std::u16string(s, size_t(lstrlenW(s))) : std::u16string();
}

/* A class name argument: a string, or an atom (MAKEINTATOM) which names nothing here. */
bool classNameOf(LPCWSTR name, std::u16string &out)
{
    if (!name || (reinterpret_cast<uintptr_t>(name) >> 16) == 0)
        return false;
    out = textOf(name);
    return !out.empty();
}

void collectFamily(HWND h, std::vector<HWND> &out)
{
    for (Window *w : plat::win::all())
        if (w->parent == h || w->owner == h)
            collectFamily(w->self, out);
    out.push_back(h);
}

} // namespace

namespace plat::win {

bool is_child(const Window &w) { return (w.style & WS_CHILD) != 0; }

Window *find(HWND h, bool setError)
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.windows.find(h);
    if (it == t.windows.end()) {
        if (setError)
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

std::vector<Window *> all()
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    std::vector<Window *> out;
    out.reserve(t.windows.size());
    for (auto &[h, w] : t.windows)
        out.push_back(w.get());
    return out;
}

HWND root(HWND h)
{
    /* A chain of parents is finite: every parent existed before its child was made. */
    while (Window *w = find(h, false)) {
        if (!is_child(*w))
            return h;
        h = w->parent;
    }
    return nullptr;
}

std::vector<HWND> children(HWND h)
{
    std::vector<HWND> out;
    for (Window *w : all())
        if (w->parent == h && is_child(*w))
            out.push_back(w->self);
    return out;
}

std::u16string class_key(std::u16string_view name)
{
    std::u16string k(name);
    for (char16_t &c : k)
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
    return k;
}

const ClassInfo *find_class(std::u16string_view name)
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const std::u16string k = class_key(name);
    auto it = t.classes.find(k);
    if (it != t.classes.end())
        return &it->second;
    auto b = t.builtins.find(k);
    return b == t.builtins.end() ? nullptr : &b->second;
}

void ensure_surface(Window &w)
{
    if (is_child(w))
        return;
    /* The backing store covers at most a large screen: painting past it is
       clipped, and a window sized from hostile data cannot ask for gigabytes. */
    constexpr int64_t kMaxSurfaceSide = 4096;
    const int cx = int(std::clamp<int64_t>(int64_t(w.rect.right) - w.rect.left, 1, kMaxSurfaceSide));
    const int cy = int(std::clamp<int64_t>(int64_t(w.rect.bottom) - w.rect.top, 1, kMaxSurfaceSide));
    if (w.surface && plat::gdi::surface_matches(w.surface, cx, cy))
        return;
    if (w.surface)
        plat::gdi::surface_delete(w.surface);
    w.surface = plat::gdi::surface_create(cx, cy);
}

} // namespace plat::win

namespace plat {

HWND window_create(const WindowSpec &spec)
{
    (void)registered;
    if (spec.extraBytes < 0 || spec.extraBytes > kMaxExtraBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    w->style = spec.style;
    w->exStyle = spec.exStyle;
    w->instance = spec.instance;
    w->id = spec.id;
    w->className = spec.className;
    w->title = spec.title;
    w->extra.assign(size_t(spec.extraBytes) + (spec.dialog ? size_t(DLGWINDOWEXTRA) : 0), 0);
    if (const ClassInfo *c = spec.className.empty() ? nullptr : win::find_class(spec.className))
        w->proc = c->wc.lpfnWndProc;
    const bool parentIsDesktop = spec.parent == desktopHandle();
    if (spec.parent && !parentIsDesktop && !win::find(spec.parent))
        return nullptr;
    if (win::is_child(*w)) {
        if (!spec.parent || parentIsDesktop) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        w->parent = spec.parent;
    } else if (spec.parent && !parentIsDesktop) {
        w->owner = win::root(spec.parent);
    }
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    HWND h = reinterpret_cast<HWND>(t.next);
    t.next += 4;
    w->self = h;
    t.windows.emplace(h, std::move(w));
    return h;
}

size_t window_count()
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.windows.size();
}

std::vector<HWND> window_list()
{
    std::vector<HWND> out;
    for (win::Window *w : win::all())
        out.push_back(w->self);
    return out;
}

void window_set_state(HWND window, std::shared_ptr<void> state)
{
    if (win::Window *w = win::find(window))
        w->state = std::move(state);
}

std::shared_ptr<void> window_state(HWND window)
{
    win::Window *w = win::find(window, false);
    return w ? w->state : nullptr;
}

bool window_register_builtin(const WNDCLASSW &wc)
{
    std::u16string name;
    if (!classNameOf(wc.lpszClassName, name) || !wc.lpfnWndProc)
        return false;
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    ClassInfo c;
    c.name = name;
    c.wc = wc;
    c.wc.lpszClassName = nullptr;
    c.builtin = true;
    t.builtins[win::class_key(name)] = c;
    return true;
}

} // namespace plat

ATOM RegisterClassW(const WNDCLASSW *wc)
{
    std::u16string name;
    if (!wc || !wc->lpfnWndProc || !classNameOf(wc->lpszClassName, name) || wc->cbWndExtra < 0 ||
        wc->cbWndExtra > kMaxExtraBytes || wc->cbClsExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const std::u16string k = plat::win::class_key(name);
    if (t.classes.count(k)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    ClassInfo c;
    c.name = name;
    c.wc = *wc;
    c.wc.lpszClassName = nullptr;
    t.classes[k] = c;
    /* Atoms are not kept; a non-zero answer says the class exists. */
    return ATOM(0xC000 + t.classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    std::u16string name;
    if (!classNameOf(className, name)) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    const std::u16string k = plat::win::class_key(name);
    for (Window *w : plat::win::all())
        if (plat::win::class_key(w->className) == k) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    if (!t.classes.erase(k)) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, WNDCLASSW *wc)
{
    std::u16string name;
    const ClassInfo *c = classNameOf(className, name) ? plat::win::find_class(name) : nullptr;
    if (!c || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wc = c->wc;
    wc->lpszClassName = className;
    return TRUE;
}

int GetClassNameW(HWND window, LPWSTR name, int cch)
{
    Window *w = plat::win::find(window);
    if (!w || !name || cch <= 0)
        return 0;
    const size_t n = std::min(w->className.size(), size_t(cch - 1));
    std::copy_n(w->className.data(), n, name);
    name[n] = 0;
    return int(n);
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int cx, int cy,
                     HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param)
{
    std::u16string name;
    const ClassInfo *c = classNameOf(className, name) ? plat::win::find_class(name) : nullptr;
    if (!c) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    plat::WindowSpec spec;
    spec.parent = parent;
    spec.instance = instance;
    spec.style = style;
    spec.exStyle = exStyle;
    spec.id = (style & WS_CHILD) ? LONG_PTR(reinterpret_cast<uintptr_t>(menuOrId)) : 0;
    spec.extraBytes = c->wc.cbWndExtra;
    spec.className = c->name;
    spec.title = textOf(title);
    HWND h = plat::window_create(spec);
    if (!h)
        return nullptr;
    Window *w = plat::win::find(h);
    if (x == CW_USEDEFAULT)
        x = y = 0;
    if (cx == CW_USEDEFAULT)
        cx = cy = 0;
    w->rect = RECT{x, y, x + std::max(cx, 0), y + std::max(cy, 0)};
    /* A child inherits right-to-left layout unless its parent says otherwise. */
    if (Window *p = w->parent ? plat::win::find(w->parent, false) : nullptr)
        if ((p->exStyle & WS_EX_LAYOUTRTL) && !(p->exStyle & WS_EX_NOINHERITLAYOUT))
            w->exStyle |= WS_EX_LAYOUTRTL;
    plat::win::ensure_surface(*w);
    CREATESTRUCTW cs{param, instance, menuOrId, parent, cy, cx, y, x, LONG(style), title, className, exStyle};
    if (!SendMessageW(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageW(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(h);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(h))
        return nullptr;
    return h;
}

BOOL DestroyWindow(HWND window)
{
    Window *w = plat::win::find(window);
    if (!w)
        return FALSE;
    if (w->destroying)
        return TRUE;
    std::vector<HWND> family; /* children and owned windows first, the window last */
    collectFamily(window, family);
    for (HWND h : family)
        if (Window *f = plat::win::find(h, false))
            f->destroying = true;
    /* WM_DESTROY reaches a window before its children (reverse of the family order). */
    for (auto it = family.rbegin(); it != family.rend(); ++it)
        if (plat::win::find(*it, false))
            SendMessageW(*it, WM_DESTROY, 0, 0);
    for (HWND h : family) {
        if (!plat::win::find(h, false))
            continue;
        SendMessageW(h, WM_NCDESTROY, 0, 0);
        plat::win::forget_focus(h);
        plat::win::drop_posted(h);
        plat::win::drop_timers(h);
        std::unique_ptr<Window> gone;
        {
            WindowTable &t = table();
            std::lock_guard<std::mutex> g(t.lock);
            auto it = t.windows.find(h);
            if (it != t.windows.end()) {
                gone = std::move(it->second);
                t.windows.erase(it);
            }
        }
        if (gone) {
            if (gone->surface)
                plat::gdi::surface_delete(gone->surface);
        }
    }
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    if (window == desktopHandle())
        return TRUE;
    return plat::win::find(window, false) ? TRUE : FALSE;
}

HWND GetDesktopWindow(void) { return desktopHandle(); }

HWND GetParent(HWND window)
{
    const Window *w = plat::win::find(window);
    if (!w)
        return nullptr;
    return plat::win::is_child(*w) ? w->parent : w->owner;
}

HWND GetAncestor(HWND window, UINT flags)
{
    const Window *w = plat::win::find(window);
    if (!w)
        return nullptr;
    switch (flags) {
    case GA_PARENT:
        return plat::win::is_child(*w) ? w->parent : desktopHandle();
    case GA_ROOT:
        return plat::win::root(window);
    case GA_ROOTOWNER: {
        HWND h = plat::win::root(window);
        /* Owners are roots made before the windows they own, so the chain ends. */
        while (HWND owner = plat::win::find(h, false)->owner)
            h = owner;
        return h;
    }
    default:
        return nullptr;
    }
}

LONG_PTR GetWindowLongPtrW(HWND window, int index)
{
    const Window *w = plat::win::find(window);
    if (!w)
        return 0;
    switch (index) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(plat::win::is_child(*w) ? w->parent : w->owner);
    case GWL_STYLE:
        return LONG_PTR(w->style);
    case GWL_EXSTYLE:
        return LONG_PTR(w->exStyle);
    default:
        if (!extraSlot(*w, index))
            return 0;
        return plat::load<LONG_PTR>(w->extra.data() + index);
    }
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value)
{
    Window *w = plat::win::find(window);
    if (!w)
        return 0;
    LONG_PTR previous = 0;
    switch (index) {
    case GWLP_WNDPROC:
        /* Subclassing: a window without a procedure (made by window_create) keeps none. */
        if (!value || !w->proc) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        previous = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        return previous;
    case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return previous;
    case GWLP_ID:
        previous = w->id;
        w->id = value;
        return previous;
    case GWLP_USERDATA:
        previous = w->userData;
        w->userData = value;
        return previous;
    case GWLP_HWNDPARENT: {
        HWND owner = reinterpret_cast<HWND>(value);
        if (plat::win::is_child(*w) || (owner && owner != desktopHandle() && !plat::win::find(owner, false)) ||
            owner == window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (owner == desktopHandle())
            owner = nullptr;
        if (owner)
            owner = plat::win::root(owner);
        /* An owner chain must not come back to this window. */
        for (HWND h = owner; h; h = plat::win::find(h, false)->owner)
            if (h == window) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return 0;
            }
        previous = reinterpret_cast<LONG_PTR>(w->owner);
        w->owner = owner;
        return previous;
    }
    case GWL_STYLE:
        /* WS_CHILD decides between parent and owner, so it is kept as the window was made. */
        previous = LONG_PTR(w->style);
        w->style = (DWORD(value) & ~WS_CHILD) | (w->style & WS_CHILD);
        return previous;
    case GWL_EXSTYLE:
        previous = LONG_PTR(w->exStyle);
        w->exStyle = DWORD(value);
        return previous;
    default:
        if (!extraSlot(*w, index))
            return 0;
        previous = plat::load<LONG_PTR>(w->extra.data() + index);
        plat::store<LONG_PTR>(w->extra.data() + index, value);
        return previous;
    }
}
