/*
 * "compstui.dll": the common property sheet host a printer driver's
 * property sheets run in.  Its one export, CommonPropertySheetUIW, hands
 * the call to the platform's host (plat/compstui.h), which shows the pages
 * the driver's callback adds and records every call.
 */
#include <plat/compstui.h>

namespace {

LONG hostEntry(HWND owner, PFNPROPSHEETUI callback, LPARAM lParam, DWORD *pResult)
{
    return CommonPropertySheetUIW(owner, callback, lParam, pResult);
}

} // namespace

/* The export under its C name: the platform's own function is a C++ one of the same name. */
extern "C" __attribute__((visibility("default"))) LONG compstui_CommonPropertySheetUIW(HWND owner,
                                                                                       PFNPROPSHEETUI callback,
                                                                                       LPARAM lParam, DWORD *pResult)
    __asm__("CommonPropertySheetUIW");

LONG compstui_CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI callback, LPARAM lParam, DWORD *pResult)
{
    return hostEntry(owner, callback, lParam, pResult);
}
