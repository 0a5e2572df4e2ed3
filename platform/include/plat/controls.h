/*
 * The standard and common controls: button, static, edit, list box, combo
 * box, scroll bar, trackbar, up-down, tooltip, tab and tree view, with the
 * styles, messages, notifications and records the driver uses.  Each class
 * exists from the start (no InitCommonControls needed) and paints itself
 * when asked (WM_PAINT), so a window tree can be rendered.
 *
 * Notifications follow Windows: WM_SETTEXT on an edit control sends
 * EN_CHANGE; BM_SETCHECK, LB_SETCURSEL, CB_SETCURSEL, TBM_SETPOS and
 * UDM_SETPOS send nothing; user actions (plat_test::UiDriver) send what a
 * user's click, key or drag would.
 */
#ifndef PLAT_CONTROLS_H
#define PLAT_CONTROLS_H

#include <plat/raster.h>
#include <plat/window.h>

/* ---- Class names ---- */
#define WC_BUTTONW u"Button"
#define WC_STATICW u"Static"
#define WC_EDITW u"Edit"
#define WC_LISTBOXW u"ListBox"
#define WC_COMBOBOXW u"ComboBox"
#define WC_SCROLLBARW u"ScrollBar"
#define TRACKBAR_CLASSW u"msctls_trackbar32"
#define UPDOWN_CLASSW u"msctls_updown32"
#define TOOLTIPS_CLASSW u"tooltips_class32"
#define WC_TABCONTROLW u"SysTabControl32"
#define WC_TREEVIEWW u"SysTreeView32"

/* Generic notifications. */
#define NM_CLICK ((UINT)-2)
#define NM_DBLCLK ((UINT)-3)

/* ---- Button ---- */
#define BS_PUSHBUTTON 0x0000u
#define BS_DEFPUSHBUTTON 0x0001u
#define BS_CHECKBOX 0x0002u
#define BS_AUTOCHECKBOX 0x0003u
#define BS_RADIOBUTTON 0x0004u
#define BS_3STATE 0x0005u
#define BS_AUTO3STATE 0x0006u
#define BS_GROUPBOX 0x0007u
#define BS_AUTORADIOBUTTON 0x0009u
#define BS_OWNERDRAW 0x000Bu
#define BS_TYPEMASK 0x000Fu
#define BS_LEFTTEXT 0x0020u
#define BS_ICON 0x0040u
#define BS_BITMAP 0x0080u
#define BS_MULTILINE 0x2000u
#define BS_NOTIFY 0x4000u
#define BM_GETCHECK 0x00F0u
#define BM_SETCHECK 0x00F1u
#define BM_GETSTATE 0x00F2u
#define BM_SETSTATE 0x00F3u
#define BM_SETSTYLE 0x00F4u
#define BM_CLICK 0x00F5u
#define BM_GETIMAGE 0x00F6u
#define BM_SETIMAGE 0x00F7u
#define BST_UNCHECKED 0x0000u
#define BST_CHECKED 0x0001u
#define BST_INDETERMINATE 0x0002u
#define BST_PUSHED 0x0004u
#define BST_FOCUS 0x0008u
#define BN_CLICKED 0
#define BN_DBLCLK 5
#define BN_SETFOCUS 6
#define BN_KILLFOCUS 7

/* ---- Static ---- */
#define SS_LEFT 0x0000u
#define SS_CENTER 0x0001u
#define SS_RIGHT 0x0002u
#define SS_ICON 0x0003u
#define SS_BLACKRECT 0x0004u
#define SS_GRAYRECT 0x0005u
#define SS_WHITERECT 0x0006u
#define SS_BLACKFRAME 0x0007u
#define SS_OWNERDRAW 0x000Du
#define SS_BITMAP 0x000Eu
#define SS_ETCHEDHORZ 0x0010u
#define SS_ETCHEDFRAME 0x0012u
#define SS_TYPEMASK 0x001Fu
#define SS_NOPREFIX 0x0080u
#define SS_NOTIFY 0x0100u
#define SS_CENTERIMAGE 0x0200u
#define SS_REALSIZEIMAGE 0x0800u
#define SS_SUNKEN 0x1000u
#define SS_ENDELLIPSIS 0x4000u
#define STM_SETICON 0x0170u
#define STM_GETICON 0x0171u
#define STM_SETIMAGE 0x0172u
#define STM_GETIMAGE 0x0173u
#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define STN_CLICKED 0
#define STN_DBLCLK 1

/* ---- Edit ---- */
#define ES_LEFT 0x0000u
#define ES_CENTER 0x0001u
#define ES_RIGHT 0x0002u
#define ES_MULTILINE 0x0004u
#define ES_UPPERCASE 0x0008u
#define ES_LOWERCASE 0x0010u
#define ES_PASSWORD 0x0020u
#define ES_AUTOVSCROLL 0x0040u
#define ES_AUTOHSCROLL 0x0080u
#define ES_READONLY 0x0800u
#define ES_WANTRETURN 0x1000u
#define ES_NUMBER 0x2000u
#define EM_GETSEL 0x00B0u
#define EM_SETSEL 0x00B1u
#define EM_GETMODIFY 0x00B8u
#define EM_SETMODIFY 0x00B9u
#define EM_REPLACESEL 0x00C2u
#define EM_LIMITTEXT 0x00C5u
#define EM_SETLIMITTEXT EM_LIMITTEXT
#define EM_CANUNDO 0x00C6u
#define EM_UNDO 0x00C7u
#define EM_SETPASSWORDCHAR 0x00CCu
#define EM_EMPTYUNDOBUFFER 0x00CDu
#define EM_SETREADONLY 0x00CFu
#define EM_SETMARGINS 0x00D3u
#define EM_GETMARGINS 0x00D4u
#define EM_GETLIMITTEXT 0x00D5u
#define EC_LEFTMARGIN 0x0001u
#define EC_RIGHTMARGIN 0x0002u
#define EN_SETFOCUS 0x0100
#define EN_KILLFOCUS 0x0200
#define EN_CHANGE 0x0300
#define EN_UPDATE 0x0400
#define EN_MAXTEXT 0x0501

/* ---- List box ---- */
#define LBS_NOTIFY 0x0001u
#define LBS_SORT 0x0002u
#define LBS_NOREDRAW 0x0004u
#define LBS_OWNERDRAWFIXED 0x0010u
#define LBS_OWNERDRAWVARIABLE 0x0020u
#define LBS_HASSTRINGS 0x0040u
#define LBS_USETABSTOPS 0x0080u
#define LBS_NOINTEGRALHEIGHT 0x0100u
#define LBS_WANTKEYBOARDINPUT 0x0400u
#define LB_ADDSTRING 0x0180u
#define LB_INSERTSTRING 0x0181u
#define LB_DELETESTRING 0x0182u
#define LB_RESETCONTENT 0x0184u
#define LB_SETCURSEL 0x0186u
#define LB_GETCURSEL 0x0188u
#define LB_GETTEXT 0x0189u
#define LB_GETTEXTLEN 0x018Au
#define LB_GETCOUNT 0x018Bu
#define LB_SELECTSTRING 0x018Cu
#define LB_GETTOPINDEX 0x018Eu
#define LB_FINDSTRING 0x018Fu
#define LB_SETTABSTOPS 0x0192u
#define LB_SETTOPINDEX 0x0197u
#define LB_GETITEMRECT 0x0198u
#define LB_GETITEMDATA 0x0199u
#define LB_SETITEMDATA 0x019Au
#define LB_SETITEMHEIGHT 0x01A0u
#define LB_GETITEMHEIGHT 0x01A1u
#define LB_FINDSTRINGEXACT 0x01A2u
#define LB_OKAY 0
#define LB_ERR (-1)
#define LB_ERRSPACE (-2)
#define LBN_SELCHANGE 1
#define LBN_DBLCLK 2
#define LBN_SELCANCEL 3
#define LBN_SETFOCUS 4
#define LBN_KILLFOCUS 5

/* ---- Combo box ---- */
#define CBS_SIMPLE 0x0001u
#define CBS_DROPDOWN 0x0002u
#define CBS_DROPDOWNLIST 0x0003u
#define CBS_OWNERDRAWFIXED 0x0010u
#define CBS_OWNERDRAWVARIABLE 0x0020u
#define CBS_AUTOHSCROLL 0x0040u
#define CBS_SORT 0x0100u
#define CBS_HASSTRINGS 0x0200u
#define CBS_NOINTEGRALHEIGHT 0x0400u
#define CB_GETEDITSEL 0x0140u
#define CB_LIMITTEXT 0x0141u
#define CB_SETEDITSEL 0x0142u
#define CB_ADDSTRING 0x0143u
#define CB_DELETESTRING 0x0144u
#define CB_GETCOUNT 0x0146u
#define CB_GETCURSEL 0x0147u
#define CB_GETLBTEXT 0x0148u
#define CB_GETLBTEXTLEN 0x0149u
#define CB_INSERTSTRING 0x014Au
#define CB_RESETCONTENT 0x014Bu
#define CB_FINDSTRING 0x014Cu
#define CB_SELECTSTRING 0x014Du
#define CB_SETCURSEL 0x014Eu
#define CB_SHOWDROPDOWN 0x014Fu
#define CB_GETITEMDATA 0x0150u
#define CB_SETITEMDATA 0x0151u
#define CB_SETITEMHEIGHT 0x0153u
#define CB_GETITEMHEIGHT 0x0154u
#define CB_GETDROPPEDSTATE 0x0157u
#define CB_FINDSTRINGEXACT 0x0158u
#define CB_SETMINVISIBLE 0x1701u
#define CB_GETMINVISIBLE 0x1702u
#define CB_OKAY 0
#define CB_ERR (-1)
#define CB_ERRSPACE (-2)
#define CBN_SELCHANGE 1
#define CBN_DBLCLK 2
#define CBN_SETFOCUS 3
#define CBN_KILLFOCUS 4
#define CBN_EDITCHANGE 5
#define CBN_EDITUPDATE 6
#define CBN_DROPDOWN 7
#define CBN_CLOSEUP 8
#define CBN_SELENDOK 9
#define CBN_SELENDCANCEL 10
/* The edit control inside an editable combo box. */
#define COMBO_EDIT_ID 1001

/* ---- Scroll bar ---- */
#define SBS_HORZ 0x0000u
#define SBS_VERT 0x0001u
#define SBM_SETPOS 0x00E0u
#define SBM_GETPOS 0x00E1u
#define SBM_SETRANGE 0x00E2u
#define SBM_GETRANGE 0x00E3u
#define SBM_SETRANGEREDRAW 0x00E6u
#define SBM_SETSCROLLINFO 0x00E9u
#define SBM_GETSCROLLINFO 0x00EAu
#define SB_HORZ 0
#define SB_VERT 1
#define SB_CTL 2
#define SB_BOTH 3
#define SB_LINEUP 0
#define SB_LINELEFT 0
#define SB_LINEDOWN 1
#define SB_LINERIGHT 1
#define SB_PAGEUP 2
#define SB_PAGEDOWN 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_BOTTOM 7
#define SB_ENDSCROLL 8
#define SIF_RANGE 0x0001u
#define SIF_PAGE 0x0002u
#define SIF_POS 0x0004u
#define SIF_TRACKPOS 0x0010u
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)
struct SCROLLINFO {
    UINT cbSize;
    UINT fMask;
    int nMin;
    int nMax;
    UINT nPage;
    int nPos;
    int nTrackPos;
};
int SetScrollPos(HWND window, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND window, int bar);
BOOL SetScrollRange(HWND window, int bar, int min, int max, BOOL redraw);
BOOL GetScrollRange(HWND window, int bar, int *min, int *max);
int SetScrollInfo(HWND window, int bar, const SCROLLINFO *info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO *info);
/*
 * Shows or hides a scroll bar: SB_CTL shows or hides the scroll-bar control
 * itself; SB_HORZ, SB_VERT and SB_BOTH set or clear WS_HSCROLL and
 * WS_VSCROLL of the window (windows have no non-client area here, so
 * nothing more is drawn).  FALSE with ERROR_INVALID_WINDOW_HANDLE or, for
 * another bar, ERROR_INVALID_PARAMETER.
 */
BOOL ShowScrollBar(HWND window, int bar, BOOL show);

/* ---- Trackbar ---- */
#define TBS_HORZ 0x0000u
#define TBS_AUTOTICKS 0x0001u
#define TBS_VERT 0x0002u
#define TBS_BOTH 0x0008u
#define TBS_NOTICKS 0x0010u
#define TBM_GETPOS (WM_USER)
#define TBM_GETRANGEMIN (WM_USER + 1)
#define TBM_GETRANGEMAX (WM_USER + 2)
#define TBM_SETPOS (WM_USER + 5)
#define TBM_SETRANGE (WM_USER + 6)
#define TBM_SETRANGEMIN (WM_USER + 7)
#define TBM_SETRANGEMAX (WM_USER + 8)
#define TBM_SETTICFREQ (WM_USER + 20)
#define TBM_SETPAGESIZE (WM_USER + 21)
#define TBM_GETPAGESIZE (WM_USER + 22)
#define TBM_SETLINESIZE (WM_USER + 23)
#define TBM_GETLINESIZE (WM_USER + 24)
#define TB_LINEUP 0
#define TB_LINEDOWN 1
#define TB_PAGEUP 2
#define TB_PAGEDOWN 3
#define TB_THUMBPOSITION 4
#define TB_THUMBTRACK 5
#define TB_TOP 6
#define TB_BOTTOM 7
#define TB_ENDTRACK 8

/* ---- Up-down ---- */
#define UDS_WRAP 0x0001u
#define UDS_SETBUDDYINT 0x0002u
#define UDS_ALIGNRIGHT 0x0004u
#define UDS_ALIGNLEFT 0x0008u
#define UDS_AUTOBUDDY 0x0010u
#define UDS_ARROWKEYS 0x0020u
#define UDS_HORZ 0x0040u
#define UDS_NOTHOUSANDS 0x0080u
#define UDM_SETRANGE (WM_USER + 101)
#define UDM_GETRANGE (WM_USER + 102)
#define UDM_SETPOS (WM_USER + 103)
#define UDM_GETPOS (WM_USER + 104)
#define UDM_SETBUDDY (WM_USER + 105)
#define UDM_GETBUDDY (WM_USER + 106)
#define UDM_SETRANGE32 (WM_USER + 111)
#define UDM_GETRANGE32 (WM_USER + 112)
#define UDM_SETPOS32 (WM_USER + 113)
#define UDM_GETPOS32 (WM_USER + 114)
#define UDN_DELTAPOS ((UINT)-722)
struct NMUPDOWN {
    NMHDR hdr;
    int iPos;
    int iDelta;
};

/* ---- Tooltip ---- */
#define TTS_ALWAYSTIP 0x01u
#define TTS_NOPREFIX 0x02u
#define TTF_IDISHWND 0x0001u
#define TTF_CENTERTIP 0x0002u
#define TTF_RTLREADING 0x0004u
#define TTF_SUBCLASS 0x0010u
#define TTF_TRACK 0x0020u
#define TTF_ABSOLUTE 0x0080u
#define TTF_TRANSPARENT 0x0100u
#define TTM_ACTIVATE (WM_USER + 1)
#define TTM_SETDELAYTIME (WM_USER + 3)
#define TTM_GETTOOLCOUNT (WM_USER + 13)
#define TTM_SETMAXTIPWIDTH (WM_USER + 24)
#define TTM_GETMAXTIPWIDTH (WM_USER + 25)
#define TTM_POP (WM_USER + 28)
#define TTM_ADDTOOLW (WM_USER + 50)
#define TTM_DELTOOLW (WM_USER + 51)
#define TTM_NEWTOOLRECTW (WM_USER + 52)
#define TTM_GETTOOLINFOW (WM_USER + 53)
#define TTM_SETTOOLINFOW (WM_USER + 54)
#define TTM_GETTEXTW (WM_USER + 56)
#define TTM_UPDATETIPTEXTW (WM_USER + 57)
#define TTM_ENUMTOOLSW (WM_USER + 58)
#define TTN_GETDISPINFOW ((UINT)-530)
#define LPSTR_TEXTCALLBACKW ((LPWSTR)(LONG_PTR)-1)
struct TTTOOLINFOW {
    UINT cbSize;
    UINT uFlags;
    HWND hwnd;
    UINT_PTR uId;
    RECT rect;
    HINSTANCE hinst;
    LPWSTR lpszText;
    LPARAM lParam;
    void *lpReserved;
};
static_assert(sizeof(TTTOOLINFOW) == 72, "TTTOOLINFOW layout");
struct NMTTDISPINFOW {
    NMHDR hdr;
    LPWSTR lpszText;
    WCHAR szText[80];
    HINSTANCE hinst;
    UINT uFlags;
    LPARAM lParam;
};

/* ---- Tab control ---- */
#define TCM_GETITEMCOUNT 0x1304u
#define TCM_DELETEITEM 0x1308u
#define TCM_DELETEALLITEMS 0x1309u
#define TCM_GETITEMRECT 0x130Au
#define TCM_GETCURSEL 0x130Bu
#define TCM_SETCURSEL 0x130Cu
#define TCM_ADJUSTRECT 0x1328u
#define TCM_GETITEMW 0x133Cu
#define TCM_SETITEMW 0x133Du
#define TCM_INSERTITEMW 0x133Eu
#define TCIF_TEXT 0x0001u
#define TCIF_IMAGE 0x0002u
#define TCIF_PARAM 0x0008u
#define TCN_SELCHANGE ((UINT)-551)
#define TCN_SELCHANGING ((UINT)-552)
struct TCITEMW {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

/* ---- Tree view ---- */
typedef struct plat_treeitem *HTREEITEM;
#define TVI_ROOT ((HTREEITEM)(ULONG_PTR)-0x10000)
#define TVI_FIRST ((HTREEITEM)(ULONG_PTR)-0x0FFFF)
#define TVI_LAST ((HTREEITEM)(ULONG_PTR)-0x0FFFE)
#define TVI_SORT ((HTREEITEM)(ULONG_PTR)-0x0FFFD)
#define TVS_HASBUTTONS 0x0001u
#define TVS_HASLINES 0x0002u
#define TVS_LINESATROOT 0x0004u
#define TVS_SHOWSELALWAYS 0x0020u
#define TVM_DELETEITEM 0x1101u
#define TVM_EXPAND 0x1102u
#define TVM_GETITEMRECT 0x1104u
#define TVM_GETCOUNT 0x1105u
#define TVM_GETNEXTITEM 0x110Au
#define TVM_SELECTITEM 0x110Bu
#define TVM_INSERTITEMW 0x1132u
#define TVM_GETITEMW 0x113Eu
#define TVM_SETITEMW 0x113Fu
#define TVGN_ROOT 0x0000u
#define TVGN_NEXT 0x0001u
#define TVGN_PREVIOUS 0x0002u
#define TVGN_PARENT 0x0003u
#define TVGN_CHILD 0x0004u
#define TVGN_FIRSTVISIBLE 0x0005u /* the item in the top row: the first root (the tree does not scroll) */
#define TVGN_CARET 0x0009u
#define TVE_COLLAPSE 0x0001u
#define TVE_EXPAND 0x0002u
#define TVE_TOGGLE 0x0003u
#define TVIF_TEXT 0x0001u
#define TVIF_IMAGE 0x0002u
#define TVIF_PARAM 0x0004u
#define TVIF_STATE 0x0008u
#define TVIF_HANDLE 0x0010u
#define TVIF_SELECTEDIMAGE 0x0020u
#define TVIF_CHILDREN 0x0040u
#define TVIS_SELECTED 0x0002u
#define TVIS_EXPANDED 0x0020u
#define TVC_UNKNOWN 0x0000u
#define TVC_BYMOUSE 0x0001u
#define TVC_BYKEYBOARD 0x0002u
#define TVN_SELCHANGINGW ((UINT)-450)
#define TVN_SELCHANGEDW ((UINT)-451)
struct TVITEMW {
    UINT mask;
    HTREEITEM hItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    int iSelectedImage;
    int cChildren;
    LPARAM lParam;
};
struct TVINSERTSTRUCTW {
    HTREEITEM hParent;
    HTREEITEM hInsertAfter;
    TVITEMW item;
    BYTE itemExTail[24]; /* room for the extended item record's extra fields */
};
struct NMTREEVIEWW {
    NMHDR hdr;
    UINT action;
    TVITEMW itemOld;
    TVITEMW itemNew;
    POINT ptDrag;
};

/*
 * Our own messages that stand for a user's actions on a control (the test
 * driver sends them): a user choosing a row or tab, dragging a trackbar's
 * thumb, clicking an up-down arrow.  Each sends what the user's action would.
 */
#define PLAT_CM_CHOOSE 0x7F01u  /* list box, combo box, tab, tree: wParam row / tab / item; lParam 1: double click (list), 0: cancel (combo) */
#define PLAT_CM_DRAG 0x7F02u    /* trackbar, scroll bar: wParam the position dragged to */
#define PLAT_CM_SPIN 0x7F03u    /* up-down: wParam (signed) steps, up positive */
#define PLAT_CM_HITTEST 0x7F04u /* tooltip: lParam a POINT * on the screen; answers the text (LPCWSTR) of the tool there, or 0 */

#endif /* PLAT_CONTROLS_H */
