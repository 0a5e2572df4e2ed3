/*
 * Small services the control handlers and pages share: stored and shown
 * values in millimetres and inches, decimals per unit, capability tests,
 * resource strings and message boxes, display-name trimming and other text
 * helpers, ANSI conversions, folders, the machine-key write test, and a few
 * window helpers.  The display conversions the settings stores also use
 * (PGF_ConvertDisplayValue, PGF_ToHundredthInch) are in the common library
 * (tarvel/base/pgf_services.h).
 */
#ifndef TARVELUI_PGF_UTILS_H
#define TARVELUI_PGF_UTILS_H

#include "pgf_records.h"

#include <tarvel/base/pgf_services.h>

#include <plat/gdi.h>

/* ---- Units and capabilities -------------------------------------------- */

/* Hundredths of an inch (or, for 268, 269 and 324, tenths) back to tenths of a millimetre (millimetres), half away from zero. */
LONG PGF_ToTenthMillimetre(LONG value);
/*
 * The decimals a setting is shown with in `unit` (1 inches, else
 * millimetres): 268, 269, 324: 1 in inches, else 0; 460, 461, 1825-1828,
 * 1863, 1864, 5889-5928: 2 in inches, else 1.  0 (nothing written) for any
 * other setting.
 */
BOOL PGF_GetUnitDecimals(WORD ddmid, SHORT unit, LONG *decimals);
/* 1 when capability `code` is set in the sheet's masks (0xFFFF0000 + n: bit n; else a mask on word 0). */
BOOL PGF_TestDeviceFlag(const SheetState *state, DWORD code);
/* Tier 0 without capability bit 27, else 2 with bit 38 and 1 without it; 0 for a null argument. */
BOOL PGF_GetCapabilityTier(const SheetState *state, WORD *tier);

/* ---- Resource strings and messages -------------------------------------- */

/* Caption of the framework's message boxes. */
inline constexpr UINT PGF_CAPTION_STRING = 265;

/*
 * Loads resource string `id` (at most `chars` characters; below 1: 256)
 * and formats it with the positional formatter and the arguments into a
 * new buffer (GlobalFree) in *text.  0 (nothing allocated) when the string
 * cannot be loaded or the result leaves no room for one more character.
 */
BOOL PGF_LoadStringFormatted(LPWSTR *text, int chars, UINT id, ...);
/*
 * A message box: caption from string `captionId` (PGF_NONE: no caption),
 * text from string `textId` or, when that is PGF_NONE, `text`.  The box's
 * answer; -1 when the caption or the text cannot be had.
 */
int PGF_ShowResourceMessage(HWND owner, LONG captionId, UINT style, LONG textId, LPCWSTR text);

/* ---- Text helpers ------------------------------------------------------- */

/*
 * Kind 0: cuts the text at its last "(" and then its last "["; kind 1: the
 * same and, when something was cut and the rest ends with the one
 * character of resource string 2009, that character too; kind 2: removes
 * the last "(" through its ")" and keeps what follows; other kinds nothing.
 */
void PGF_TrimDisplayName(LPWSTR text, int kind);
/* Appends `text` to `buffer` (of `chars` characters), cut so that the whole fits. */
void PGF_AppendTruncated(LPWSTR buffer, LPCWSTR text, int chars);
/* The part after the last backslash (the whole text when there is none). */
LPCWSTR PGF_FileNamePart(LPCWSTR path);
/*
 * The text between the first `first` and the last `second` into a new
 * buffer (GlobalFree) with its length: empty when `second` follows `first`
 * at once and ends the text.  0 for texts of one character or less, or
 * without a `second` after the first `first`.
 */
BOOL PGF_SplitDelimited(LPWSTR *out, int *length, LPCWSTR text, WCHAR first, WCHAR second);

/* ---- ANSI conversions (the ANSI code page) ------------------------------- */

BOOL PGF_ToAnsi(LPCWSTR text, LPSTR *bytes, DWORD *length);
BOOL PGF_FromAnsi(LPCSTR bytes, LPWSTR *text, DWORD *count);
/*
 * The ANSI form in a new buffer (GlobalFree) and its byte length without
 * the terminator; 0 (nothing allocated) when any character has no exact
 * ANSI form.
 */
BOOL PGF_ToAnsiStrict(LPCWSTR text, LPSTR *bytes, DWORD *length);

/* ---- Folders and the registry ------------------------------------------ */

/*
 * 1 when `path` names a folder: the current directory is moved into it and
 * back (the previous one, at most 260 characters, is put back); 0 for a
 * missing path, a file, or a current directory that cannot be read.
 */
BOOL PGF_DirectoryExists(LPCWSTR path);
/*
 * Creates every folder of `path` (at most 260 characters) in turn: each
 * prefix ending before a backslash from the second backslash on, then the
 * whole path.  Answers the last CreateDirectoryW's result (FALSE for an
 * existing folder, as that call answers); FALSE for a missing or longer path.
 */
BOOL PGF_CreateDirectoryPath(LPCWSTR path);
/*
 * 1 when the caller may write below HKEY_LOCAL_MACHINE: the root is opened
 * for writing, the REG_DWORD value "WriteCheck" = 1 is set there and
 * deleted again; 0 when opening or setting fails.
 */
BOOL PGF_CanWriteMachineKey(void);

/* ---- Windows ------------------------------------------------------------ */

/*
 * Right-to-left mirroring of a sheet: adds WS_EX_LAYOUTRTL and
 * WS_EX_NOINHERITLAYOUT to the extended style of the page's parent (the
 * property-sheet frame) and of each of the frame's child windows of class
 * "SysTabControl32" (compared without case).  Nothing is changed when the
 * frame's extended style reads as 0 (no frame).
 */
void PGF_MirrorSheetForRtl(HWND page);

/* MulDiv(length, the context's LOGPIXELSX (for that index) or LOGPIXELSY, 96). */
int PGF_ScaleToDpi(HDC dc, int length, int index);
/* Sends PSM_CHANGED for the page while the frame's Apply button (12321) is visible. */
void PGF_MarkSheetChanged(HWND page);
/* One field (index 0-3) or all four (index 4) of a four-value record. */
BOOL PGF_SetRect4(LONG *record, int index, const LONG *values);
BOOL PGF_GetRect4(const LONG *record, int index, LONG *values);

#endif /* TARVELUI_PGF_UTILS_H */
