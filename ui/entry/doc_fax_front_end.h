/*
 * The fax front end at start of document: for a fax job (setting 334 = 5 on
 * a printer with the fax function, 4125), the printer maker's front end
 * library asks the user for the fax addressing; its text reaches the
 * rendering library through a hand-over file named in setting 1799.  A job
 * whose settings already name a fax data file (375) only has that file
 * checked.
 */
#ifndef TARVELUI_DOC_FAX_FRONT_END_H
#define TARVELUI_DOC_FAX_FRONT_END_H

#include <plat/gdi.h>
#include <plat/types.h>

struct ModelContext;

/* Bytes of the buffer the front end fills, and its entry point ("StartDocFax"). */
inline constexpr DWORD DOC_FAX_BUFFER_BYTES = 9600;
typedef BOOL (*DocStartDocFaxFn)(HMODULE resourceModule, HWND owner, void *buffer, int mode);

/* Resource string 9368: the HKEY_CURRENT_USER key naming the work folder, and the buffer's opening text. */
inline constexpr UINT DOC_ID_FAX_KEY = 9368;
/* The model text asked for the front end's file name. */
inline constexpr WORD DOC_FAX_FRONT_END_TEXT = 9370;

/*
 * Runs the fax front end for the job of `printer` on device context `dc`:
 * 1 go on (not a fax job, no front end found, or its text handed over), -1
 * cancel the job (no device context, no work folder, a missing or empty
 * fax data file, the front end answering 0, a hand-over file that cannot be
 * named, created or written).  The active window is disabled while it runs
 * and enabled again on every way out.  `docInfo` is not used.
 */
int DOC_RunFaxFrontEnd(HDC dc, HANDLE printer, const DOCINFOW *docInfo, ModelContext *context);

/*
 * The front end's file name into `name` (261 characters): model text 9370,
 * which the model data never holds, so 0 unless a test named one
 * (DOC_SetFaxFrontEndForTest).
 */
int DOC_GetFaxFrontEndName(ModelContext *context, LPWSTR name);

/* Test-only: the file name DOC_GetFaxFrontEndName answers (null: none again). */
void DOC_SetFaxFrontEndForTest(LPCWSTR name);

#endif /* TARVELUI_DOC_FAX_FRONT_END_H */
