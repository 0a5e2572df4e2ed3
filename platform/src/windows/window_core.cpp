/*
 * The window core: the table of windows with their parent, owner, instance,
 * identifier, styles, user data and extra bytes, and the user32 calls that
 * ask about them.  One lock guards the table; handles count up from a base
 * and are never reused.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/window.h>

#include <map>
#include <mutex>
#include <vector>

namespace {

struct Window {
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
};

constexpr int kMaxExtraBytes = 1024;
/* Handle values: multiples of 4 from here, apart from the handle table's small values. */
constexpr uintptr_t kFirstHandle = 0x10000;

struct WindowTable {
    std::mutex lock;
    std::map<HWND, Window> windows;
    uintptr_t next = kFirstHandle + 4;
};

WindowTable &table()
{
    static WindowTable *t = new WindowTable; /* never destroyed: windows may be asked about during exit */
    return *t;
}

HWND desktopHandle() { return reinterpret_cast<HWND>(kFirstHandle); }

bool isChild(const Window &w) { return (w.style & WS_CHILD) != 0; }

/* The window behind `h`, or null with ERROR_INVALID_WINDOW_HANDLE (lock held). */
Window *find(WindowTable &t, HWND h)
{
    auto it = t.windows.find(h);
    if (it == t.windows.end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return &it->second;
}

/* The top-level window above `h` through the parents (lock held; `h` exists). */
HWND rootOf(WindowTable &t, HWND h)
{
    /* A chain of parents is finite: every parent existed before its child was made. */
    while (true) {
        Window &w = t.windows.at(h);
        if (!isChild(w))
            return h;
        h = w.parent;
    }
}

void collectFamily(WindowTable &t, HWND h, std::vector<HWND> &out)
{
    for (auto &[handle, w] : t.windows)
        if (w.parent == h || w.owner == h)
            collectFamily(t, handle, out);
    out.push_back(h);
}

void resetWindows()
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    t.windows.clear();
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

} // namespace

namespace plat {

HWND window_create(const WindowSpec &spec)
{
    (void)registered;
    if (spec.extraBytes < 0 || spec.extraBytes > kMaxExtraBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    Window w;
    w.style = spec.style;
    w.exStyle = spec.exStyle;
    w.instance = spec.instance;
    w.id = spec.id;
    w.className = spec.className;
    w.title = spec.title;
    w.extra.assign(size_t(spec.extraBytes) + (spec.dialog ? size_t(DLGWINDOWEXTRA) : 0), 0);
    const bool parentIsDesktop = spec.parent == desktopHandle();
    if (spec.parent && !parentIsDesktop && !find(t, spec.parent))
        return nullptr;
    if (isChild(w)) {
        if (!spec.parent) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        w.parent = spec.parent;
    } else if (spec.parent && !parentIsDesktop) {
        w.owner = rootOf(t, spec.parent);
    }
    HWND h = reinterpret_cast<HWND>(t.next);
    t.next += 4;
    t.windows.emplace(h, std::move(w));
    return h;
}

size_t window_count()
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.windows.size();
}

} // namespace plat

BOOL DestroyWindow(HWND window)
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    if (!find(t, window))
        return FALSE;
    std::vector<HWND> family;
    collectFamily(t, window, family);
    for (HWND h : family)
        t.windows.erase(h);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    if (window == desktopHandle())
        return TRUE;
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.windows.count(window) ? TRUE : FALSE;
}

HWND GetDesktopWindow(void) { return desktopHandle(); }

HWND GetParent(HWND window)
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Window *w = find(t, window);
    if (!w)
        return nullptr;
    return isChild(*w) ? w->parent : w->owner;
}

HWND GetAncestor(HWND window, UINT flags)
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Window *w = find(t, window);
    if (!w)
        return nullptr;
    switch (flags) {
    case GA_PARENT:
        return isChild(*w) ? w->parent : desktopHandle();
    case GA_ROOT:
        return rootOf(t, window);
    case GA_ROOTOWNER: {
        HWND h = rootOf(t, window);
        /* Owners are roots made before the windows they own, so the chain ends. */
        while (HWND owner = t.windows.at(h).owner)
            h = owner;
        return h;
    }
    default:
        return nullptr;
    }
}

LONG_PTR GetWindowLongPtrW(HWND window, int index)
{
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const Window *w = find(t, window);
    if (!w)
        return 0;
    switch (index) {
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_ID:
        return w->id;
    case GWLP_USERDATA:
        return w->userData;
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(isChild(*w) ? w->parent : w->owner);
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
    WindowTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    Window *w = find(t, window);
    if (!w)
        return 0;
    LONG_PTR previous = 0;
    switch (index) {
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
        if (isChild(*w) || (owner && owner != desktopHandle() && !t.windows.count(owner)) || owner == window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (owner == desktopHandle())
            owner = nullptr;
        if (owner)
            owner = rootOf(t, owner);
        /* An owner chain must not come back to this window. */
        for (HWND h = owner; h; h = t.windows.at(h).owner)
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
