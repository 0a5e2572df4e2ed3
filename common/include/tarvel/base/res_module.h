/*
 * The library's own module and the resource module: the module handle, path
 * and directory kept from start-up with a use count, the resource module
 * "tarvelrs.xrs" loaded on first use, and the small text services built on
 * it (user-interface language and right-to-left message boxes, custom paper
 * names, the shared document folders, the browser's protected mode).
 *
 * The common library is linked into several libraries, and each keeps its
 * own copy of this state (hidden visibility).  "Own module" is the module
 * that holds the calling code: the handle a library's entry passes to
 * RES_InitModulePaths, or, when it passes none, the module that holds this
 * code (plat::module_of_address).  In a test executable that is the
 * executable itself, whose file lies outside the simulated machine, so tests
 * fix the module path with RES_SetModulePathForTest before they call
 * RES_InitModulePaths, and attach the library's own strings (32766, 32767)
 * to RES_GetOwnModule() with RES_AttachOwnStrings.
 *
 * The state is process-wide and unlocked: it changes at process attach and
 * detach (loader lock held) and on the first resource access.
 */
#ifndef TARVEL_RES_MODULE_H
#define TARVEL_RES_MODULE_H

#include <plat/types.h>

/* The library's own string resources: the data manager's file name and the resource module's file name. */
#define RES_ID_DATA_MANAGER_NAME 32766u
#define RES_ID_RESOURCE_MODULE_NAME 32767u

/* Resource strings this module reads from the resource module. */
#define RES_ID_CUSTOM_PAPER 16u
#define RES_ID_LANGUAGE_RENDER 17u
#define RES_ID_LANGUAGE_UI 5146u
#define RES_ID_DOCUMENTS_FOLDER 9374u
#define RES_ID_WORK_FOLDER 9377u
#define RES_ID_SETTINGS_FOLDER 9378u
#define RES_ID_FAX_FOLDER 9379u

/* Style bits added to a message box for a right-to-left user interface (MB_RIGHT | MB_RTLREADING). */
#define RES_RTL_BOX_STYLE 0x180000u

/* Smallest buffer RES_GetDriverDirectory accepts, in bytes (MAX_PATH characters). */
#define RES_DRIVER_DIR_BYTES 520u

/* ---- Module paths ------------------------------------------------------- */

/*
 * Records this library's module at process attach.  Only the first call
 * (use count 0) stores anything: the handle (`module`, or when null the
 * module holding this code), and, while the directory is still empty, the
 * module's path from GetModuleFileNameW (261 characters; `path` when that
 * fails), its directory (up to and including the last "\") and the resource
 * module's path (the directory followed by string 32767 of the module, kept
 * only when the string loads and its length plus the path's length is at
 * most 260).  Paths are cut at 259 characters.  Every call counts one use.
 */
void RES_InitModulePaths(HMODULE module, LPCWSTR path);

/*
 * Drops one use.  The call that finds the count at 1 forgets the module
 * handle and frees the resource module when it is loaded; the count never
 * goes below 0.  The paths stay set.
 */
void RES_FreeResourceModule(void);

/* At process detach: when the count is above 0, sets it to 1 and releases (see above). */
void RES_ReleaseAll(void);

/* The module handle stored by RES_InitModulePaths (null before it, and after release). */
HMODULE RES_GetOwnModule(void);

/*
 * Copies the library's directory (ending in "\"; empty before
 * RES_InitModulePaths) into `buffer` of `size` BYTES, at most size / 2 - 1
 * characters, terminated.  Returns 1, or 0 (nothing written) for a null
 * buffer or a size below RES_DRIVER_DIR_BYTES (520).
 */
BOOL RES_GetDriverDirectory(LPWSTR buffer, DWORD size);

/* The current use count (for tests and diagnostics). */
LONG RES_GetUseCount(void);

/*
 * Attaches the library's own string table to `module` (strings 32766
 * "tarveldm.dll" and 32767 "tarvelrs.xrs"), so that LoadStringW on the
 * library's handle answers them as the strings compiled into a Windows
 * library would.  Each library's entry calls it before RES_InitModulePaths;
 * tests call it on RES_GetOwnModule() or their own handle.  Returns FALSE for
 * a null or data-file module.
 */
BOOL RES_AttachOwnStrings(HMODULE module);

/* ---- The resource module ------------------------------------------------ */

/*
 * The resource module's handle, loaded on first use with LoadLibraryExW
 * (DONT_RESOLVE_DLL_REFERENCES | LOAD_WITH_ALTERED_SEARCH_PATH: a data file)
 * from the path RES_InitModulePaths kept, or else the directory followed by
 * string 32767 when the two fit in 260 characters.  Kept until the use count
 * falls to 0.  Null while the use count is 0 and when the module cannot be
 * loaded (the next call tries again).  Not to be freed by the caller.
 */
HMODULE RES_LoadResourceModule(void);

/* The same as RES_LoadResourceModule. */
HMODULE RES_GetResourceModule(void);

/*
 * Chooses which resource string holds the user-interface language number:
 * RES_ID_LANGUAGE_UI (5146, the default; the user-interface library) or
 * RES_ID_LANGUAGE_RENDER (17; the rendering library calls this at process
 * attach).  RES_GetLanguageStringId answers the current choice.
 */
void RES_SetLanguageStringId(UINT id);
UINT RES_GetLanguageStringId(void);

/* ---- Test-only controls -------------------------------------------------- */

/*
 * Test-only: forgets every value of this state (use count 0, handles null,
 * paths empty, language string id back to 5146, the path override) without
 * freeing anything: a test calls it right after plat::machine_reset, which
 * has already unloaded every module.
 */
void RES_ResetForTest(void);

/*
 * Test-only: makes RES_InitModulePaths take `path` as the module's file path
 * instead of asking GetModuleFileNameW (null: ask again).  The text is
 * copied (cut at 260 characters).
 */
void RES_SetModulePathForTest(LPCWSTR path);

#endif /* TARVEL_RES_MODULE_H */
