/*
 * The common property sheet host ("compstui.dll"): CommonPropertySheetUIW
 * runs a driver's sheet callback with PROPSHEETUI_REASON_INIT (the callback
 * adds its pages through pfnComPropSheet), GET_INFO_HEADER (title, flags),
 * then shows the pages in one property sheet (PropertySheetW), and ends with
 * DESTROY.  A page's CPSFUNC_SET_RESULT calls the callback with SET_RESULT
 * and a SETRESULT_INFO.  The host answers, and stores in *pResult, the
 * PROPSHEETUI_INFO.Result the callback left; a failed INIT answers -1.
 * Every call is recorded (plat::compstui_log).
 *
 * The function lives in the platform library; the "compstui.dll" module
 * that exports it is an outside component (tests register a fake).
 */
#ifndef PLAT_COMPSTUI_H
#define PLAT_COMPSTUI_H

#include <plat/prsht.h>

#include <string>
#include <vector>

typedef LONG_PTR (*PFNCOMPROPSHEET)(HANDLE hComPropSheet, UINT function, LPARAM lParam1, LPARAM lParam2);

struct PROPSHEETUI_INFO {
    WORD cbSize;
    WORD Version;
    WORD Flags;
    WORD Reason;
    HANDLE hComPropSheet;
    PFNCOMPROPSHEET pfnComPropSheet;
    LPARAM lParamInit;
    ULONG_PTR UserData;
    ULONG_PTR Result;
};
static_assert(sizeof(PROPSHEETUI_INFO) == 48, "PROPSHEETUI_INFO layout");

typedef LONG (*PFNPROPSHEETUI)(PROPSHEETUI_INFO *info, LPARAM lParam);

struct PROPSHEETUI_INFO_HEADER {
    WORD cbSize;
    WORD Flags;
    LPWSTR pTitle;
    HWND hWndParent;
    HINSTANCE hInst;
    union {
        HICON hIcon;
        ULONG_PTR IconID;
    };
};
static_assert(sizeof(PROPSHEETUI_INFO_HEADER) == 40, "PROPSHEETUI_INFO_HEADER layout");

struct SETRESULT_INFO {
    WORD cbSize;
    WORD wReserved;
    HANDLE hSetResult;
    LRESULT Result;
};
static_assert(sizeof(SETRESULT_INFO) == 24, "SETRESULT_INFO layout");

#define PROPSHEETUI_INFO_VERSION 0x0100
#define PROPSHEETUI_REASON_INIT 0
#define PROPSHEETUI_REASON_GET_INFO_HEADER 1
#define PROPSHEETUI_REASON_DESTROY 2
#define PROPSHEETUI_REASON_SET_RESULT 3

#define PSUIHDRF_NOAPPLYNOW 0x0002u
#define PSUIHDRF_PROPTITLE 0x0004u
#define PSUIHDRF_USEHICON 0x0008u

#define CPSFUNC_ADD_HPROPSHEETPAGE 0
#define CPSFUNC_GET_PAGECOUNT 8
#define CPSFUNC_SET_RESULT 9

#define CPSUI_CANCEL 0
#define CPSUI_OK 1
#define CPSUI_RESTARTWINDOWS 2
#define CPSUI_REBOOTSYSTEM 3

LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI callback, LPARAM lParam, DWORD *pResult);

namespace plat {

/* One call between the host and the driver: a callback reason, or a host function the driver called. */
struct CompstuiCall {
    bool reason;      /* true: the host called the callback with `code` as the reason */
    UINT code;        /* the reason, or the CPSFUNC_ function */
    LPARAM lParam1;
    LPARAM lParam2;
    LONG_PTR answer;
};

std::vector<CompstuiCall> compstui_log();

} // namespace plat

#endif /* PLAT_COMPSTUI_H */
