/*
 * Property sheets: pages made from templates (CreatePropertySheetPageW
 * copies the caller's record, private bytes included), and PropertySheetW,
 * a modal frame with a tab control, OK, Cancel, Apply (12321) and Help
 * buttons, or in wizard mode Back, Next, Finish and Cancel.
 *
 * Pages are made the first time they become active (WM_INITDIALOG with
 * lParam the page record's copy).  A tab change sends PSN_KILLACTIVE to the
 * current page (a non-zero answer keeps it), then PSN_SETACTIVE to the new
 * one.  OK sends PSN_KILLACTIVE, then PSN_APPLY (PSHNOTIFY lParam TRUE) to
 * every page made so far in page order; PSNRET_INVALID or
 * PSNRET_INVALID_NOCHANGEPAGE keeps the sheet open.  Apply does the same
 * with lParam FALSE and stays open.  Cancel (and Escape, and an unhandled
 * IDCANCEL from a page) sends PSN_QUERYCANCEL to the current page, then
 * PSN_RESET to every page made so far.  PSM_CHANGED enables Apply.
 * PropertySheetW answers 1 after OK or Finish, 0 after Cancel, -1 on error.
 */
#ifndef PLAT_PRSHT_H
#define PLAT_PRSHT_H

#include <plat/dialog.h>
#include <plat/window.h>

#include <cstddef>

typedef struct plat_propsheetpage *HPROPSHEETPAGE;
struct PROPSHEETPAGEW;
typedef UINT (*LPFNPSPCALLBACKW)(HWND, UINT, PROPSHEETPAGEW *);
typedef int (*PFNPROPSHEETCALLBACK)(HWND, UINT, LPARAM);

struct PROPSHEETPAGEW {
    DWORD dwSize;
    DWORD dwFlags;
    HINSTANCE hInstance;
    union {
        LPCWSTR pszTemplate;
        const void *pResource;
    };
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszTitle;
    DLGPROC pfnDlgProc;
    LPARAM lParam;
    LPFNPSPCALLBACKW pfnCallback;
    UINT *pcRefParent;
    LPCWSTR pszHeaderTitle;
    LPCWSTR pszHeaderSubTitle;
    HANDLE hActCtx;
};
static_assert(sizeof(PROPSHEETPAGEW) == 96, "PROPSHEETPAGEW layout");
static_assert(offsetof(PROPSHEETPAGEW, pfnDlgProc) == 40, "PROPSHEETPAGEW layout");
static_assert(offsetof(PROPSHEETPAGEW, lParam) == 48, "PROPSHEETPAGEW layout");
/* The smallest record accepted: up to pcRefParent. */
#define PROPSHEETPAGEW_V1_SIZE 72u

struct PROPSHEETHEADERW {
    DWORD dwSize;
    DWORD dwFlags;
    HWND hwndParent;
    HINSTANCE hInstance;
    union {
        HICON hIcon;
        LPCWSTR pszIcon;
    };
    LPCWSTR pszCaption;
    UINT nPages;
    union {
        UINT nStartPage;
        LPCWSTR pStartPage;
    };
    union {
        const PROPSHEETPAGEW *ppsp;
        HPROPSHEETPAGE *phpage;
    };
    PFNPROPSHEETCALLBACK pfnCallback;
};
static_assert(sizeof(PROPSHEETHEADERW) == 72, "PROPSHEETHEADERW layout");

/* The notification every PSN_ message carries. */
struct PSHNOTIFY {
    NMHDR hdr;
    LPARAM lParam;
};

#define PSP_DEFAULT 0x00000000u
#define PSP_DLGINDIRECT 0x00000001u
#define PSP_USEHICON 0x00000002u
#define PSP_USEICONID 0x00000004u
#define PSP_USETITLE 0x00000008u
#define PSP_RTLREADING 0x00000010u
#define PSP_HASHELP 0x00000020u
#define PSP_USEREFPARENT 0x00000040u
#define PSP_USECALLBACK 0x00000080u
#define PSP_PREMATURE 0x00000400u

#define PSPCB_ADDREF 0
#define PSPCB_RELEASE 1
#define PSPCB_CREATE 2

#define PSH_DEFAULT 0x00000000u
#define PSH_PROPTITLE 0x00000001u
#define PSH_USEHICON 0x00000002u
#define PSH_USEICONID 0x00000004u
#define PSH_PROPSHEETPAGE 0x00000008u
#define PSH_WIZARD 0x00000020u
#define PSH_USEPSTARTPAGE 0x00000040u
#define PSH_NOAPPLYNOW 0x00000080u
#define PSH_USECALLBACK 0x00000100u
#define PSH_HASHELP 0x00000200u
#define PSH_MODELESS 0x00000400u
#define PSH_RTLREADING 0x00000800u
#define PSH_NOCONTEXTHELP 0x02000000u

#define PSCB_INITIALIZED 1
#define PSCB_PRECREATE 2

#define PSN_SETACTIVE ((UINT)-200)
#define PSN_KILLACTIVE ((UINT)-201)
#define PSN_APPLY ((UINT)-202)
#define PSN_RESET ((UINT)-203)
#define PSN_HELP ((UINT)-205)
#define PSN_WIZBACK ((UINT)-206)
#define PSN_WIZNEXT ((UINT)-207)
#define PSN_WIZFINISH ((UINT)-208)
#define PSN_QUERYCANCEL ((UINT)-209)

#define PSNRET_NOERROR 0
#define PSNRET_INVALID 1
#define PSNRET_INVALID_NOCHANGEPAGE 2

#define PSM_SETCURSEL (WM_USER + 101)
#define PSM_REMOVEPAGE (WM_USER + 102)
#define PSM_ADDPAGE (WM_USER + 103)
#define PSM_CHANGED (WM_USER + 104)
#define PSM_RESTARTWINDOWS (WM_USER + 105)
#define PSM_REBOOTSYSTEM (WM_USER + 106)
#define PSM_CANCELTOCLOSE (WM_USER + 107)
#define PSM_QUERYSIBLINGS (WM_USER + 108)
#define PSM_UNCHANGED (WM_USER + 109)
#define PSM_APPLY (WM_USER + 110)
#define PSM_SETWIZBUTTONS (WM_USER + 112)
#define PSM_PRESSBUTTON (WM_USER + 113)
#define PSM_SETCURSELID (WM_USER + 114)
#define PSM_GETTABCONTROL (WM_USER + 116)
#define PSM_GETCURRENTPAGEHWND (WM_USER + 118)
#define PSM_SETTITLEW (WM_USER + 120)
#define PSM_HWNDTOINDEX (WM_USER + 129)
#define PSM_INDEXTOHWND (WM_USER + 130)

#define PSWIZB_BACK 0x00000001u
#define PSWIZB_NEXT 0x00000002u
#define PSWIZB_FINISH 0x00000004u
#define PSWIZB_DISABLEDFINISH 0x00000008u

#define PSBTN_BACK 0
#define PSBTN_NEXT 1
#define PSBTN_FINISH 2
#define PSBTN_OK 3
#define PSBTN_APPLYNOW 4
#define PSBTN_CANCEL 5
#define PSBTN_HELP 6

/* The frame's own controls. */
#define IDC_PS_TABCONTROL 12320
#define IDC_PS_APPLYNOW 12321
#define IDC_PS_BACK 12323
#define IDC_PS_NEXT 12324
#define IDC_PS_FINISH 12325

HPROPSHEETPAGE CreatePropertySheetPageW(const PROPSHEETPAGEW *page);
BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page);
INT_PTR PropertySheetW(const PROPSHEETHEADERW *header);

namespace plat {

/* Page records alive (made and not yet destroyed): tests use it to find leaks. */
size_t propsheet_page_count();

/* The frame of the innermost open sheet and its current page (null when none). */
HWND propsheet_current_page(HWND frame);
/* The page window at `index` (null when not made yet) and the page count. */
HWND propsheet_page_window(HWND frame, int index);
int propsheet_page_total(HWND frame);
int propsheet_current_index(HWND frame);

} // namespace plat

#endif /* PLAT_PRSHT_H */
