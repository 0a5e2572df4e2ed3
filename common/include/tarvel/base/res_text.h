/*
 * Text services of the resource module: the user-interface language and the
 * message boxes that follow a right-to-left language, the default names of
 * the custom paper slots, and the shared document folders of the driver.
 * Strings come from the resource module (RES_LoadResourceModule); when it
 * is missing every string load fails and each routine takes its fallback.
 */
#ifndef TARVEL_RES_TEXT_H
#define TARVEL_RES_TEXT_H

#include <plat/types.h>

/* Characters of a resource string path piece: a path of MAX_PATH characters and its terminator. */
#define RES_PATH_CHARS 261

/*
 * The user-interface language number: resource string 5146 (17 in the
 * rendering library, see RES_SetLanguageStringId), read as at most 4
 * characters and converted with _wtoi.  Returns 1 with *language, or 0
 * (out untouched) when the string cannot be loaded or out is null.
 */
BOOL RES_GetResourceLanguage(int *language);

/* 1 when the user-interface language is Arabic (1025) or Hebrew (1037). */
BOOL RES_IsRightToLeftUi(void);

/* MessageBoxW, with MB_RIGHT | MB_RTLREADING added to the style for a right-to-left user interface. */
int RES_MessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

/*
 * The default name of custom paper slot `slot`: resource string 16 (at most
 * 31 characters; "Custom" when it cannot be loaded) without its trailing
 * decimal digits, followed by slot + 1 ("Custom Size 2" -> slot 0 "Custom
 * Size 1").  `name` holds `capacity` characters; when the name does not
 * fit, the text is shortened so that the number is always kept.  Returns 1,
 * or 0 (nothing written) for a null name or a capacity too small for the
 * number and the terminator.
 */
BOOL RES_MakeCustomPaperName(int slot, LPWSTR name, int capacity);

/*
 * Appends "\" and resource string `id` (at most 260 characters) to `path`
 * when they fit in the *remaining characters the path still has (the
 * terminator included), and lowers *remaining by what was added.  Returns
 * 1, or 0 (nothing changed) for id 0, a missing string, a null argument or
 * no room.
 */
BOOL RES_AppendStringToPath(UINT id, LPWSTR path, int *remaining);

/* Folders of RES_GetCommonDocumentsPath. */
#define RES_DOCS_DRIVER 0   /* the driver's folder only */
#define RES_DOCS_WORK 1     /* its work folder (resource string 9377) */
#define RES_DOCS_SETTINGS 2 /* its settings folder (9378) */
#define RES_DOCS_FAX 3      /* its fax folder (9379) */

/*
 * The shared documents folder (SHGetFolderPathW CSIDL_COMMON_DOCUMENTS;
 * "C:" when that fails), "\" and resource string 9374, and for kinds 1-3
 * "\" and the kind's string, built within 261 characters.  Copied into
 * `out` (capacity characters) when it is shorter than the capacity.
 * Returns 1, or 0 for another kind, a missing string, a path that does not
 * fit, or a null out.  Nothing is created on disk.
 */
BOOL RES_GetCommonDocumentsPath(int kind, LPWSTR out, int capacity);

/* The work folder (kind 1) followed by "\", as a new GlobalAlloc string the caller frees; null on failure. */
LPWSTR RES_AllocWorkFolderPath(void);

/*
 * 1 when the process runs in the browser's protected mode: only on Windows
 * 6.0 or later, asked of "IEIsProtectedModeProcess" in "ieframe.dll"
 * (loaded for the call and freed).  0 on any failure.
 */
BOOL UTL_IsIEProtectedMode(void);

/* GlobalFree of a block that is not null. */
void UTL_FreeGlobal(HGLOBAL block);

#endif /* TARVEL_RES_TEXT_H */
