/*
 * Windows of the simulated machine, at their least: a window exists from its
 * creation to its destruction, has a parent (child windows) or an owner
 * (top-level windows), a module instance, an identifier, styles, a user-data
 * word and a block of extra bytes; dialog windows carry the dialog words
 * (DWLP_MSGRESULT, DWLP_DLGPROC, DWLP_USER) at the start of theirs.  The
 * user32 calls that ask about a window work under their Windows names.
 *
 * There are no window classes, messages or painting yet: windows are made
 * with plat::window_create, which the window manager that grows out of this
 * file will call from CreateWindowExW and the dialog functions.
 *
 * Handles are never reused within a process, so a handle kept after its
 * window was destroyed answers "no such window" (IsWindow FALSE), as the
 * clean-up of temporary files relies on.  The desktop window always exists.
 * machine_reset destroys every window.
 */
#ifndef PLAT_WINDOW_H
#define PLAT_WINDOW_H

#include <plat/types.h>

#include <string>

/* Styles the window core looks at. */
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_VISIBLE 0x10000000u

/* Indexes of GetWindowLongPtrW / SetWindowLongPtrW below 0. */
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define GWLP_ID (-12)

/*
 * The dialog words at the start of a dialog window's extra bytes: the
 * message result, the dialog procedure and the dialog's user data, each
 * pointer-sized.
 */
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + (int)sizeof(LRESULT))
#define DWLP_USER (DWLP_DLGPROC + (int)sizeof(void *))
/* Extra bytes of every dialog window (room for the three words). */
#define DLGWINDOWEXTRA (DWLP_USER + (int)sizeof(LONG_PTR))

/* GetAncestor. */
#define GA_PARENT 1u
#define GA_ROOT 2u
#define GA_ROOTOWNER 3u

#ifndef ERROR_INVALID_WINDOW_HANDLE
#define ERROR_INVALID_WINDOW_HANDLE 1400L
#endif
#ifndef ERROR_INVALID_INDEX
#define ERROR_INVALID_INDEX 1413L
#endif

/*
 * Destroys `window`, then (first) its child windows and the windows it owns,
 * depth first.  FALSE with ERROR_INVALID_WINDOW_HANDLE for a handle that is
 * not a window, or the desktop window.
 */
BOOL DestroyWindow(HWND window);

/* TRUE while `window` names an existing window (the desktop window included). */
BOOL IsWindow(HWND window);

/* The desktop window: the parent of every top-level window. */
HWND GetDesktopWindow(void);

/*
 * The parent of a child window, or the owner of a top-level window (null
 * when it has none).  Null with ERROR_INVALID_WINDOW_HANDLE for a bad handle.
 */
HWND GetParent(HWND window);

/*
 * GA_PARENT: the parent (the desktop window for a top-level window);
 * GA_ROOT: the top-level window reached through the parents;
 * GA_ROOTOWNER: GA_ROOT, then its owners to the last.  Null for the desktop
 * window, a bad handle or another flag.
 */
HWND GetAncestor(HWND window, UINT flags);

/*
 * A window's word: an index of 0 or more reads the pointer-sized value at
 * that byte of the extra bytes (DWLP_USER and the other dialog words on a
 * dialog window); GWLP_HINSTANCE, GWLP_ID, GWLP_USERDATA, GWLP_HWNDPARENT
 * (the owner of a top-level window, the parent of a child), GWL_STYLE and
 * GWL_EXSTYLE read the window's own fields.  0 with
 * ERROR_INVALID_WINDOW_HANDLE for a bad handle, ERROR_INVALID_INDEX for an
 * index outside the extra bytes or not kept (GWLP_WNDPROC).  The last error
 * is left alone on success.
 */
LONG_PTR GetWindowLongPtrW(HWND window, int index);

/*
 * Sets a window's word (the indexes of GetWindowLongPtrW; GWLP_HWNDPARENT
 * changes the owner of a top-level window only) and answers its previous
 * value.  0 with the errors of GetWindowLongPtrW; the last error is left
 * alone on success, so a caller that must tell a previous 0 from a failure
 * clears it first.
 */
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);

namespace plat {

/* What a new window is made of. */
struct WindowSpec {
    HWND parent = nullptr;       /* parent of a child window (WS_CHILD), owner of any other */
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;             /* GWLP_ID */
    int extraBytes = 0;          /* extra bytes of the window's class (0-1024) */
    bool dialog = false;         /* a dialog window: DLGWINDOWEXTRA more extra bytes in front */
    std::u16string className;    /* kept for the window manager; unused here */
    std::u16string title;
};

/*
 * Makes a window.  A child window needs an existing parent; a top-level
 * window's owner may be null and becomes its owner's root when the owner is
 * a child window, as on Windows.  Returns the new handle, or null with
 * ERROR_INVALID_WINDOW_HANDLE (a bad parent or owner, a child without a
 * parent) or ERROR_INVALID_PARAMETER (extra bytes outside 0-1024).
 */
HWND window_create(const WindowSpec &spec);

/* The number of existing windows, the desktop window not counted (tests use it to find leaks). */
size_t window_count();

} // namespace plat

#endif /* PLAT_WINDOW_H */
