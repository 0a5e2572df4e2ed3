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

#include <memory>
#include <string>
#include <vector>

/* Window styles. */
#define WS_OVERLAPPED 0x00000000u
#define WS_POPUP 0x80000000u
#define WS_CHILD 0x40000000u
#define WS_MINIMIZE 0x20000000u
#define WS_VISIBLE 0x10000000u
#define WS_DISABLED 0x08000000u
#define WS_CLIPSIBLINGS 0x04000000u
#define WS_CLIPCHILDREN 0x02000000u
#define WS_CAPTION 0x00C00000u
#define WS_BORDER 0x00800000u
#define WS_DLGFRAME 0x00400000u
#define WS_VSCROLL 0x00200000u
#define WS_HSCROLL 0x00100000u
#define WS_SYSMENU 0x00080000u
#define WS_GROUP 0x00020000u
#define WS_TABSTOP 0x00010000u

/* Extended styles. */
#define WS_EX_DLGMODALFRAME 0x00000001u
#define WS_EX_NOPARENTNOTIFY 0x00000004u
#define WS_EX_TOPMOST 0x00000008u
#define WS_EX_TRANSPARENT 0x00000020u
#define WS_EX_TOOLWINDOW 0x00000080u
#define WS_EX_CLIENTEDGE 0x00000200u
#define WS_EX_CONTEXTHELP 0x00000400u
#define WS_EX_RTLREADING 0x00002000u
#define WS_EX_CONTROLPARENT 0x00010000u
#define WS_EX_STATICEDGE 0x00020000u
#define WS_EX_NOINHERITLAYOUT 0x00100000u
#define WS_EX_LAYOUTRTL 0x00400000u

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

/* ---- The window manager: classes, messages, geometry, focus, timers ---- */

typedef struct plat_hbrush *HBRUSH;
typedef struct plat_hfont *HFONT;
typedef struct plat_hicon *HICON;
typedef HICON HCURSOR;
typedef struct plat_hmenu *HMENU;
typedef WORD ATOM;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);

#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKELRESULT(l, h) ((LRESULT)(DWORD)MAKELONG(l, h))
#define GET_X_LPARAM(lp) ((int)(short)LOWORD(lp))
#define GET_Y_LPARAM(lp) ((int)(short)HIWORD(lp))

/* Messages. */
#define WM_NULL 0x0000u
#define WM_CREATE 0x0001u
#define WM_DESTROY 0x0002u
#define WM_MOVE 0x0003u
#define WM_SIZE 0x0005u
#define WM_ACTIVATE 0x0006u
#define WM_SETFOCUS 0x0007u
#define WM_KILLFOCUS 0x0008u
#define WM_ENABLE 0x000Au
#define WM_SETREDRAW 0x000Bu
#define WM_SETTEXT 0x000Cu
#define WM_GETTEXT 0x000Du
#define WM_GETTEXTLENGTH 0x000Eu
#define WM_PAINT 0x000Fu
#define WM_CLOSE 0x0010u
#define WM_ERASEBKGND 0x0014u
#define WM_SHOWWINDOW 0x0018u
#define WM_CTLCOLOR 0x0019u
#define WM_SETCURSOR 0x0020u
#define WM_DRAWITEM 0x002Bu
#define WM_MEASUREITEM 0x002Cu
#define WM_DELETEITEM 0x002Du
#define WM_VKEYTOITEM 0x002Eu
#define WM_CHARTOITEM 0x002Fu
#define WM_SETFONT 0x0030u
#define WM_GETFONT 0x0031u
#define WM_QUERYDRAGICON 0x0037u
#define WM_COMPAREITEM 0x0039u
#define WM_WINDOWPOSCHANGED 0x0047u
#define WM_NOTIFY 0x004Eu
#define WM_HELP 0x0053u
#define WM_CONTEXTMENU 0x007Bu
#define WM_NCCREATE 0x0081u
#define WM_NCDESTROY 0x0082u
#define WM_GETDLGCODE 0x0087u
#define WM_KEYDOWN 0x0100u
#define WM_KEYUP 0x0101u
#define WM_CHAR 0x0102u
#define WM_INITDIALOG 0x0110u
#define WM_COMMAND 0x0111u
#define WM_SYSCOMMAND 0x0112u
#define WM_TIMER 0x0113u
#define WM_HSCROLL 0x0114u
#define WM_VSCROLL 0x0115u
#define WM_CTLCOLORMSGBOX 0x0132u
#define WM_CTLCOLOREDIT 0x0133u
#define WM_CTLCOLORLISTBOX 0x0134u
#define WM_CTLCOLORBTN 0x0135u
#define WM_CTLCOLORDLG 0x0136u
#define WM_CTLCOLORSCROLLBAR 0x0137u
#define WM_CTLCOLORSTATIC 0x0138u
#define WM_MOUSEMOVE 0x0200u
#define WM_LBUTTONDOWN 0x0201u
#define WM_LBUTTONUP 0x0202u
#define WM_LBUTTONDBLCLK 0x0203u
#define WM_QUERYNEWPALETTE 0x030Fu
#define WM_PALETTECHANGED 0x0311u
#define WM_USER 0x0400u
#define WM_APP 0x8000u

/* WM_SIZE, WM_SHOWWINDOW, ShowWindow. */
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_SHOWNA 8

/* Keys. */
#define VK_BACK 0x08
#define VK_TAB 0x09
#define VK_RETURN 0x0D
#define VK_ESCAPE 0x1B
#define VK_SPACE 0x20
#define VK_PRIOR 0x21
#define VK_NEXT 0x22
#define VK_END 0x23
#define VK_HOME 0x24
#define VK_LEFT 0x25
#define VK_UP 0x26
#define VK_RIGHT 0x27
#define VK_DOWN 0x28
#define VK_DELETE 0x2E
#define VK_F1 0x70

/* GetWindow. */
#define GW_HWNDFIRST 0u
#define GW_HWNDLAST 1u
#define GW_HWNDNEXT 2u
#define GW_HWNDPREV 3u
#define GW_OWNER 4u
#define GW_CHILD 5u

/* SetWindowPos. */
#define SWP_NOSIZE 0x0001u
#define SWP_NOMOVE 0x0002u
#define SWP_NOZORDER 0x0004u
#define SWP_NOREDRAW 0x0008u
#define SWP_NOACTIVATE 0x0010u
#define SWP_SHOWWINDOW 0x0040u
#define SWP_HIDEWINDOW 0x0080u
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)

/* ChildWindowFromPointEx. */
#define CWP_ALL 0x0000u
#define CWP_SKIPINVISIBLE 0x0001u
#define CWP_SKIPDISABLED 0x0002u
#define CWP_SKIPTRANSPARENT 0x0004u

/* RedrawWindow. */
#define RDW_INVALIDATE 0x0001u
#define RDW_ERASE 0x0004u
#define RDW_ALLCHILDREN 0x0080u
#define RDW_UPDATENOW 0x0100u

/* GetSystemMetrics. */
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_CXVSCROLL 2
#define SM_CYHSCROLL 3
#define SM_CYCAPTION 4
#define SM_CXBORDER 5
#define SM_CYBORDER 6
#define SM_CXICON 11
#define SM_CYICON 12
#define SM_CXCURSOR 13
#define SM_CYCURSOR 14
#define SM_CXEDGE 45
#define SM_CYEDGE 46
#define SM_CXSMICON 49
#define SM_CYSMICON 50

/* GetSysColor indexes. */
#define COLOR_SCROLLBAR 0
#define COLOR_BACKGROUND 1
#define COLOR_WINDOW 5
#define COLOR_WINDOWFRAME 6
#define COLOR_WINDOWTEXT 8
#define COLOR_HIGHLIGHT 13
#define COLOR_HIGHLIGHTTEXT 14
#define COLOR_BTNFACE 15
#define COLOR_BTNSHADOW 16
#define COLOR_GRAYTEXT 17
#define COLOR_BTNTEXT 18
#define COLOR_BTNHIGHLIGHT 20
#define COLOR_3DDKSHADOW 21
#define COLOR_3DLIGHT 22
#define COLOR_INFOTEXT 23
#define COLOR_INFOBK 24
#define COLOR_3DFACE COLOR_BTNFACE
#define COLOR_3DSHADOW COLOR_BTNSHADOW
#define COLOR_3DHILIGHT COLOR_BTNHIGHLIGHT

/* Class styles (kept, not acted on). */
#define CS_VREDRAW 0x0001u
#define CS_HREDRAW 0x0002u
#define CS_DBLCLKS 0x0008u
#define CS_PARENTDC 0x0080u

#define CW_USEDEFAULT ((int)0x80000000)

#ifndef ERROR_CLASS_ALREADY_EXISTS
#define ERROR_CLASS_ALREADY_EXISTS 1410L
#endif
#ifndef ERROR_CLASS_DOES_NOT_EXIST
#define ERROR_CLASS_DOES_NOT_EXIST 1411L
#endif
#ifndef ERROR_CLASS_HAS_WINDOWS
#define ERROR_CLASS_HAS_WINDOWS 1412L
#endif
#ifndef ERROR_INVALID_PARAMETER
#define ERROR_INVALID_PARAMETER 87L
#endif
#ifndef ERROR_TIMEOUT
#define ERROR_TIMEOUT 1460L
#endif

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

struct WINDOWPLACEMENT {
    UINT length;
    UINT flags;
    UINT showCmd;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};

/* The header of every WM_NOTIFY. */
struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    UINT code;
};

/* WM_HELP. */
#define HELPINFO_WINDOW 0x0001
struct HELPINFO {
    UINT cbSize;
    int iContextType;
    int iCtrlId;
    HANDLE hItemHandle;
    DWORD_PTR dwContextId;
    POINT MousePos;
};

/* WM_DRAWITEM / WM_MEASUREITEM. */
#define ODT_LISTBOX 2
#define ODT_COMBOBOX 3
#define ODT_BUTTON 4
#define ODT_STATIC 5
#define ODA_DRAWENTIRE 0x0001u
#define ODA_SELECT 0x0002u
#define ODA_FOCUS 0x0004u
#define ODS_SELECTED 0x0001u
#define ODS_DISABLED 0x0004u
#define ODS_FOCUS 0x0010u
#define ODS_COMBOBOXEDIT 0x1000u
struct MEASUREITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemWidth;
    UINT itemHeight;
    ULONG_PTR itemData;
};
struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    struct plat_dc *hDC;
    RECT rcItem;
    ULONG_PTR itemData;
};

/* Classes.  Built-in classes (dialogs and controls) exist from the start. */
ATOM RegisterClassW(const WNDCLASSW *wc);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW *wc);
int GetClassNameW(HWND window, LPWSTR name, int cch);

/*
 * Makes a window of a class: WM_NCCREATE, then WM_CREATE (a -1 answer, or
 * FALSE to WM_NCCREATE, destroys it again and answers null).  A child's x,
 * y are in its parent's client area; a top-level window's on the screen.
 */
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR title, DWORD style, int x, int y, int cx, int cy,
                     HWND parent, HMENU menuOrId, HINSTANCE instance, LPVOID param);

/*
 * Sends: calls the window's procedure now and answers its result.  0 with
 * ERROR_INVALID_WINDOW_HANDLE for a bad handle.  A send nested deeper than
 * the limit (plat::window_set_nesting_limit, 200 at first) is not made: it
 * answers 0 with ERROR_TIMEOUT, and a trace line naming the window and the
 * message is written and kept (plat::window_limit_trace).
 */
LRESULT SendMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
/* Posts to the one queue, delivered by the next pump in order. */
BOOL PostMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
/* Takes the next posted message (any window with a null `window`); FALSE when the queue is empty. */
BOOL PeekMessageW(MSG *msg, HWND window, UINT first, UINT last, UINT remove);
#define PM_NOREMOVE 0x0000u
#define PM_REMOVE 0x0001u
LRESULT DispatchMessageW(const MSG *msg);

/* Text. */
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR text, int cch);
int GetWindowTextLengthW(HWND window);

/* Family. */
HWND GetWindow(HWND window, UINT cmd);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
BOOL IsChild(HWND parent, HWND window);
HWND SetParent(HWND child, HWND newParent);

/* State. */
BOOL EnableWindow(HWND window, BOOL enable);
BOOL IsWindowEnabled(HWND window);
BOOL ShowWindow(HWND window, int cmd);
BOOL IsWindowVisible(HWND window);
HWND SetFocus(HWND window);
HWND GetFocus(void);
HWND SetActiveWindow(HWND window);
HWND GetForegroundWindow(void);
BOOL SetForegroundWindow(HWND window);
HWND SetCapture(HWND window);
BOOL ReleaseCapture(void);
HWND GetCapture(void);

/* Geometry: one virtual screen, no non-client area (the client area is the whole window). */
BOOL GetWindowRect(HWND window, RECT *rect);
BOOL GetClientRect(HWND window, RECT *rect);
int MapWindowPoints(HWND from, HWND to, POINT *points, UINT count);
BOOL ScreenToClient(HWND window, POINT *point);
BOOL ClientToScreen(HWND window, POINT *point);
BOOL MoveWindow(HWND window, int x, int y, int cx, int cy, BOOL repaint);
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT *placement);
HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags);
HWND ChildWindowFromPoint(HWND parent, POINT point);
HWND WindowFromPoint(POINT point);
BOOL GetCursorPos(POINT *point);
BOOL SetCursorPos(int x, int y);

/* Rectangles. */
BOOL SetRect(RECT *rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT *rect);
BOOL CopyRect(RECT *dst, const RECT *src);
BOOL OffsetRect(RECT *rect, int dx, int dy);
BOOL InflateRect(RECT *rect, int dx, int dy);
BOOL IntersectRect(RECT *dst, const RECT *a, const RECT *b);
BOOL UnionRect(RECT *dst, const RECT *a, const RECT *b);
BOOL IsRectEmpty(const RECT *rect);
BOOL PtInRect(const RECT *rect, POINT point);
BOOL EqualRect(const RECT *a, const RECT *b);

/* Properties (names compared ignoring case) and painting state. */
BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data);
HANDLE GetPropW(HWND window, LPCWSTR name);
HANDLE RemovePropW(HWND window, LPCWSTR name);
BOOL InvalidateRect(HWND window, const RECT *rect, BOOL erase);
BOOL UpdateWindow(HWND window);
BOOL RedrawWindow(HWND window, const RECT *rect, void *region, UINT flags);

/* Timers on the machine clock: due timers fire (WM_TIMER, or the TIMERPROC) when the queue is pumped. */
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND window, UINT_PTR id);

/* System facts. */
int GetSystemMetrics(int index);
DWORD GetSysColor(int index);
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
HCURSOR SetCursor(HCURSOR cursor);
BOOL MessageBeep(UINT type);
#define IDC_ARROW ((LPCWSTR)(ULONG_PTR)32512)
#define IDC_WAIT ((LPCWSTR)(ULONG_PTR)32514)
#define IDC_HAND ((LPCWSTR)(ULONG_PTR)32649)

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

/* Dots per inch of the screen (96 at first, 48-480): dialog units and font heights scale with it. */
void window_set_dpi(int dpi);
int window_dpi();

/* The deepest SendMessageW nesting allowed (at least 8; 200 at first). */
void window_set_nesting_limit(int depth);

/* The trace lines of sends and pumps stopped by a limit since the last reset. */
std::vector<std::string> window_limit_trace();

/*
 * Delivers posted messages in order, then fires due timers, until the
 * queue is empty; answers the messages delivered.  A pump that delivers
 * more than `limit` messages (a loop that never ends) stops with a trace.
 */
size_t window_pump(size_t limit = 100000);

/* Posted messages waiting, and live timers. */
size_t window_queue_length();
size_t window_timer_count();

/* One message seen by the spy. */
struct SpyRecord {
    HWND window;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    bool posted; /* posted (at posting) rather than sent */
};

/* Starts (empties) or stops recording every send and post. */
void window_spy(bool on);
std::vector<SpyRecord> window_spy_log();

/* A control's or window's own state object, kept with the window and freed with it. */
void window_set_state(HWND window, std::shared_ptr<void> state);
std::shared_ptr<void> window_state(HWND window);

/* Every window of the table in creation order (children after parents). */
std::vector<HWND> window_list();

/* The window procedure that built-in class `className` uses (for controls made from templates). */
bool window_register_builtin(const WNDCLASSW &wc);

/* The trace line the layer writes when a scripted run or limit fails; tests read them. */
void window_trace(const std::string &line);

/* The number of existing windows, the desktop window not counted (tests use it to find leaks). */
size_t window_count();

} // namespace plat

#endif /* PLAT_WINDOW_H */
