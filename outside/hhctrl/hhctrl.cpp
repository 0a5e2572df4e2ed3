/*
 * "hhctrl.ocx": the HTML Help control.  Its export HtmlHelpW hands the call
 * to the platform's recorder (plat/commdlg.h), so that tests see which help
 * file, command and context the driver asked for.
 */
#include <plat/commdlg.h>

/* The export under its C name: the platform's own function is a C++ one of the same name. */
extern "C" __attribute__((visibility("default"))) HWND hhctrl_HtmlHelpW(HWND caller, LPCWSTR file, UINT command,
                                                                        ULONG_PTR data) __asm__("HtmlHelpW");

HWND hhctrl_HtmlHelpW(HWND caller, LPCWSTR file, UINT command, ULONG_PTR data)
{
    return HtmlHelpW(caller, file, command, data);
}
