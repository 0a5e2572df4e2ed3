/*
 * The library's work without a window: the document properties merged
 * without a sheet, the query-print error text, the directory-service
 * printer data, the spooler forms of the model's papers, and the refresh of
 * a printer's stored records at installation and upgrade.  The exports that
 * use them (device capabilities, colour profile, devmode conversion,
 * query-print, printer events, upgrade) are declared in ui_exports.h.
 */
#ifndef TARVELUI_UIX_NO_WINDOW_H
#define TARVELUI_UIX_NO_WINDOW_H

#include <plat/types.h>

struct DOCUMENTPROPERTYHEADER;
struct ModelContext;
struct ModelRecord;

/* Size of the driver devmode (public part and private settings) and of its public part. */
inline constexpr LONG SHT_DEVMODE_SIZE = 1604;
inline constexpr DWORD SHT_PUBLIC_DEVMODE_SIZE = 220;

/* The text of a devmode refused by DevQueryPrintEx. */
inline constexpr const WCHAR *SHT_DEVMODE_ERROR_TEXT = u"Invalid DEVMODE structure.";

/*
 * Copies `text` into `buffer` of `capacity` characters: at most capacity - 1
 * characters and a terminator; with no buffer or a capacity of 0 nothing is
 * written.  *needed (when given) becomes the characters the whole text needs,
 * terminator included.  `module` is the resource module (not used: the text
 * is fixed).  Returns the characters written, terminator excluded.
 */
DWORD SHT_FormatDevmodeError(HMODULE module, LPWSTR buffer, DWORD capacity, DWORD *needed, LPCWSTR text);

/*
 * The document properties without a sheet: the output size (1,604) for a
 * size query (no mode flags or no output devmode); otherwise, with DM_UPDATE
 * or DM_COPY, the printer's current devmode with the caller's merged in
 * (unless DM_USER_DEFAULT) copied into the output: 1, or -1 on failure.
 */
LONG SHT_DocumentPropertiesNoUI(DOCUMENTPROPERTYHEADER *header);

/*
 * Writes the printer's directory-service data under "DsDriver":
 * "printDuplexSupported" and "printStaplingSupported" (one byte each) from
 * `printerData`.  1 when both were written; 0 otherwise, and nothing after
 * the first value when setting 4359 cannot be read.
 */
BOOL SHT_WriteDsDriverData(HANDLE printer, void *printerData);

/*
 * Adds a spooler form for every paper of the model the spooler lacks (the
 * user-defined size and the spooler's built-in forms excepted): 1, or 0
 * when a form could not be added (the walk goes on).  *added (when given)
 * counts the forms added.
 */
BOOL SHT_AddMissingForms(HANDLE printer, ModelContext *context, int *added);

/* Adds the spooler form `name` for the model paper `paper` (AddFormW level 1): 1 or 0. */
BOOL SHT_AddForm(HANDLE printer, const ModelRecord *paper, LPCWSTR name);

/*
 * Refreshes the printer's stored records: the font substitution table when
 * none is stored, and with `full` first the shared "PrinterData" record, the
 * device blocks ("N_Dev" with the fax list, "TMBInfo") and
 * "SupportJobOwnerTool".  1 done, 0 failed.
 */
int UIX_RefreshPrinterSettings(HANDLE printer, ModelContext *context, BOOL full);

#endif /* TARVELUI_UIX_NO_WINDOW_H */
