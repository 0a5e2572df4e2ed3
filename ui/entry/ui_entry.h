/*
 * The user-interface library's start-up and the host window test: the
 * library entry (DllInitialize), which starts and ends the common library's
 * module state, and the kind of window a page or sheet is shown in.
 */
#ifndef TARVELUI_UI_ENTRY_H
#define TARVELUI_UI_ENTRY_H

#include <plat/types.h>

#define UI_EXPORT extern "C" __attribute__((visibility("default")))

/* Process attach and detach (reason 1 and 0); thread events do nothing.  Always 1. */
UI_EXPORT BOOL DllInitialize(HINSTANCE module, DWORD reason, LPVOID reserved);

/* Host window kinds answered by UIX_GetHostWindowKind. */
enum : WORD {
    UIX_HOST_OTHER = 0,       /* a title was compared and matched nothing known */
    UIX_HOST_NOT_COMPARED = 1,
    UIX_HOST_DRIVER_TITLE = 2,  /* the title holds resource string 751 */
    UIX_HOST_PREFERENCES = 3,   /* the title holds a built-in "Printing Preferences" title */
    UIX_HOST_PRINT_UI = 4,      /* the title holds the print UI's own title */
};

/* The flag of UIX_GetHostWindowKind that asks for a comparison on systems from 5.1. */
inline constexpr DWORD UIX_FLAG_COMPARE_TITLE = 0x10;

/* Longest window title, resource pattern and print UI title read, in characters. */
inline constexpr int UIX_TITLE_CHARS = 260;

/* Resource strings: the driver's own sheet title pattern; the print UI's preferences title. */
inline constexpr UINT UIX_ID_SHEET_TITLE = 751;
inline constexpr UINT UIX_ID_PRINT_UI_TITLE = 15380;

/*
 * The kind of window `window` (a page or sheet of the caller's; may be null)
 * is shown in, for printer `printerName` (may be null); only the flag
 * UIX_FLAG_COMPARE_TITLE of `flags` is used.  See the kinds above.
 */
WORD UIX_GetHostWindowKind(HWND window, LPCWSTR printerName, DWORD flags);

/*
 * 1 when `title` holds `pattern`; when `printerName` is given and holds the
 * pattern itself, the title must hold it a second time after its first
 * occurrence.  0 otherwise or for a null title or pattern.
 */
int UIX_TitleContains(LPCWSTR title, LPCWSTR pattern, LPCWSTR printerName);

/*
 * The print UI's preferences title (string 15380 of its message file) into
 * `buffer` of `capacity` characters (cut and terminated).  1, or 0 when the
 * file or string cannot be had or the buffer is unusable.
 */
int UIX_ReadPrintUiTitle(LPWSTR buffer, int capacity);

/* The 30 built-in "Printing Preferences" titles, in the order they are tried. */
const WCHAR *const *UIX_BuiltinTitles(int *count);

#endif /* TARVELUI_UI_ENTRY_H */
