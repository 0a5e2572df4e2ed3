/*
 * Merging an application's devmode into the driver's settings and keeping
 * linked settings in step.  The input may be the driver's own devmode, an
 * older version of it, another driver's or a bare public DEVMODEW: its
 * private part is taken only when it is recognisably this driver's for this
 * model, each public field only when the application flagged it, the system
 * supports it and the value is acceptable; the paper is resolved through
 * the spooler's forms and the model's papers; then the linked settings
 * (resolution, TrueType option, colour, scale, paper source, ICM method,
 * the mapping description's colour and media rules) follow, and the
 * configuration file's enforced values are applied last.
 *
 * The input is read only within the bytes it declares (dmSize plus
 * dmDriverExtra, and at least the 72 bytes up to dmFields): a shorter
 * devmode's missing fields read as zero and are never written.  All other
 * reads and writes go through the data-manager binding; a failed read or
 * store ends the operation with 0 and leaves the output partly merged.
 */
#ifndef TARVEL_FID_MERGE_H
#define TARVEL_FID_MERGE_H

#include <plat/spooler.h>
#include <plat/types.h>

struct ModelContext;

/* DM_ bits the merge works with. */
inline constexpr DWORD FID_DM_ORIENTATION = 0x1;
inline constexpr DWORD FID_DM_PAPERSIZE = 0x2;
inline constexpr DWORD FID_DM_PAPERLENGTH = 0x4;
inline constexpr DWORD FID_DM_PAPERWIDTH = 0x8;
inline constexpr DWORD FID_DM_SCALE = 0x10;
inline constexpr DWORD FID_DM_PRINTQUALITY = 0x400;
inline constexpr DWORD FID_DM_COLOR = 0x800;
inline constexpr DWORD FID_DM_YRESOLUTION = 0x2000;
inline constexpr DWORD FID_DM_FORMNAME = 0x10000;
inline constexpr DWORD FID_DM_ICMMETHOD = 0x800000;
inline constexpr DWORD FID_DM_MEDIATYPE = 0x2000000;
inline constexpr DWORD FID_DM_PAPER_BITS = 0x1000E;   /* size, length, width, form name */
inline constexpr DWORD FID_DM_SIZE_BITS = 0xC;        /* length and width */
inline constexpr DWORD FID_DM_RESOLUTION_BITS = 0x2400;

/* Paper codes and values the merge knows. */
inline constexpr WORD FID_DMPAPER_USER = 256;
inline constexpr SHORT FID_DMBIN_FORMSOURCE = 15;
inline constexpr WORD FID_MIN_MERGE_DMSIZE = 188; /* smaller inputs are ignored */

/* Characters of a paper name handed out by the resolution (and its NUL). */
inline constexpr int FID_PAPER_NAME_CHARS = 32;

/*
 * A paper: its code, width and length in tenths of a millimetre, and a form
 * name.  Names handed out by the resolution are GlobalAlloc copies that the
 * caller frees (FID_FreePaperRequest).
 */
struct PaperRequest {
    WORD code;
    WORD width;
    WORD length;
    LPWSTR formName;
};

/* The custom paper range of the model (paper record 262), margins included, tenths of a millimetre. */
struct FidPaperLimits {
    LONG minWidth;
    LONG maxWidth;
    LONG minLength;
    LONG maxLength;
};

/* ---- Whole merges ----------------------------------------------------------- */

/*
 * FID_MergeDevmode: merges `input` into the settings image `output` with
 * the validation `operation` (2 with the model, 16 without), without the
 * devmode mapping description.  Returns 1, or 0 on failure.  A null input
 * answers 1 and changes nothing; an input smaller than 188 bytes is ignored
 * but the enforced values are applied.
 */
BOOL FID_MergeDevmode(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                      WORD operation);

/*
 * FID_MergeDevmodeTraced: the same with trace dumps of input and output,
 * and, when the mapping description came from the configuration file and
 * setting 5201 is on, with the mapping: the input's collate, paper source
 * and media type are first mapped in place (only within its own bytes).
 */
BOOL FID_MergeDevmodeTraced(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                            WORD operation);

/* FID_MergeDevmodeCore: the merge, with the mapping description when `mapping` is set. */
BOOL FID_MergeDevmodeCore(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                          WORD operation, BOOL mapping);

/*
 * FID_SyncLinkedFields: the steps after the public fields: paper and
 * resolution when the application flagged them (`supported` AND `inputFields`),
 * then TrueType option, mapped colour, colour, scale flag, paper source, ICM
 * method and mapped media.  `input` must hold at least a full public devmode.
 */
BOOL FID_SyncLinkedFields(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                          DWORD supported, DWORD inputFields, WORD operation, BOOL mapping);

/* ---- Paper ---------------------------------------------------------------------- */

/*
 * FID_MergePaper: resolves the input's paper (dmPaperSize, dmPaperLength,
 * dmPaperWidth, dmFormName as `inputFields` flags them) and stores it into
 * `output`, or into `input` itself when `output` is null; paper that cannot
 * be resolved keeps the output's paper, or without an output takes the
 * printer's current paper.  1, or 0 when a read or store fails.
 */
BOOL FID_MergePaper(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                    DWORD inputFields);

/*
 * FID_ResolvePaper: finds the paper for `request` by code, name or size in
 * the order the custom flag and the user-size flag (5200) say.  Returns 1
 * with *result (its name, when it has one, a new copy), or 0 when nothing
 * is found (*result cleared).
 */
BOOL FID_ResolvePaper(ModelContext *context, void *input, void *printerData, HANDLE printer,
                      const PaperRequest *request, PaperRequest *result, DWORD fields, BOOL custom);

/* FID_FindFormBySize: the search by size (spooler forms the model knows, else the custom range). */
BOOL FID_FindFormBySize(ModelContext *context, void *input, void *printerData, HANDLE printer,
                        const PaperRequest *request, PaperRequest *result, DWORD fields);

/* FID_FindFormByCodeOrName: the search by form number (byName 0) or by form name (byName 1). */
BOOL FID_FindFormByCodeOrName(ModelContext *context, void *printerData, HANDLE printer, const PaperRequest *request,
                              PaperRequest *result, BOOL byName);

/* FID_IsKnownForm: the model knows spooler form `form` (number `number`): built-in, or a model paper by name or size. */
BOOL FID_IsKnownForm(ModelContext *context, HANDLE printer, WORD number, const FORM_INFO_1W *form);

/*
 * FID_TakePaperFromPrinter: copies dmPaperSize, dmPaperLength, dmPaperWidth
 * and dmFormName of the printer's current devmode (GetPrinterW level 2)
 * into `devmode`.  1, or 0 when the printer or its devmode cannot be had.
 */
BOOL FID_TakePaperFromPrinter(void *devmode, void *printerData, HANDLE printer);

/*
 * FID_SyncPaperFields: brings dmFormName and the paper flags of `devmode`
 * into step with its dmPaperSize after a change, and resolves the paper.
 */
BOOL FID_SyncPaperFields(ModelContext *context, HANDLE printer, void *devmode, void *printerData);

/* FID_FreePaperRequest: frees a resolved paper's name and clears it. */
void FID_FreePaperRequest(PaperRequest *request);

/* FID_CustomPaperLimits: the model's custom paper range; 1, or 0 when paper 262 cannot be read. */
BOOL FID_CustomPaperLimits(ModelContext *context, FidPaperLimits *limits);

/* ---- Custom paper slots --------------------------------------------------------- */

/*
 * FID_FindCustomPaperSlot: the slot whose custom paper code equals `value`
 * (read as `type`): its width, length and name settings (5889, 5909 and
 * 5929 + slot) and its default name into `name` (`nameChars` characters
 * with the NUL; may be null).  Returns 1, or 0 when no slot has the code.
 */
BOOL FID_FindCustomPaperSlot(const void *value, WORD type, WORD *widthId, WORD *lengthId, WORD *nameId,
                             LPWSTR name, int nameChars);

/*
 * FID_GetCustomPaperSize: the width, length and stored name of the custom
 * paper slot with code `value`: *size gets the code, the size and, in
 * `name` (`nameChars` characters), the name.  1, or 0 when no slot has the
 * code or a read fails.
 */
BOOL FID_GetCustomPaperSize(void *devmode, void *printerData, const void *value, WORD type, PaperRequest *size,
                            LPWSTR name, int nameChars);

/* Modes of FID_IsCustomPaperName. */
inline constexpr int FID_CUSTOM_NAMES_STORED = 1;  /* the names in settings 5929-5948 */
inline constexpr int FID_CUSTOM_NAMES_DEFAULT = 2; /* the default names ("Custom1" ...) */

/* FID_IsCustomPaperName: 1 when one of the 20 custom slot names begins `text`. */
BOOL FID_IsCustomPaperName(void *devmode, void *printerData, LPCWSTR text, int mode);

/* ---- Single synchronisation steps: each answers 1, or 0 when a read or store fails ---- */

/*
 * FID_MergeResolution: with operation 2 the input's combined resolution
 * (14) when the model has it; with operation 16 the input's dmPrintQuality,
 * when above 0, as both dmPrintQuality and dmYResolution.  Then
 * DM_PRINTQUALITY and DM_YRESOLUTION are set in the output's dmFields.
 */
BOOL FID_MergeResolution(ModelContext *context, void *output, void *input, void *printerData, WORD operation);

/*
 * FID_SyncTrueTypeOption: direction 17 sets font substitution (292) from
 * dmTTOption (1 when it is DMTT_BITMAP, else 2 when 292 is on and 0 when
 * off); any other direction sets dmTTOption from 292 (1, else DMTT_SUBDEV).
 */
BOOL FID_SyncTrueTypeOption(void *devmode, void *printerData, WORD direction);

/* FID_SyncColorField: colour mode 1 when the printer data forces it (5202); dmColor from 270 and 345; DM_COLOR set. */
BOOL FID_SyncColorField(void *devmode, void *printerData);

/* FID_SyncScaleFlag: DM_SCALE in dmFields follows flag 1324. */
BOOL FID_SyncScaleFlag(void *devmode);

/* FID_SyncCustomSizeFlags: DM_PAPERLENGTH and DM_PAPERWIDTH in dmFields follow flag 1331. */
BOOL FID_SyncCustomSizeFlags(void *devmode);

/* FID_SyncPaperSource: the target takes the source's value unless the tray mode (457) is 0 or 2 or the source holds `value`. */
BOOL FID_SyncPaperSource(void *devmode, void *printerData, SHORT value, WORD source, WORD target);

/* FID_SyncDefaultSourceFromTray: dmDefaultSource from 265 (unless 265 is 258). */
BOOL FID_SyncDefaultSourceFromTray(void *devmode, void *printerData);

/* FID_SyncIcmMethod: dmICMMethod 2 (system) when 293 is 3, else 1 (none); DM_ICMMETHOD set. */
BOOL FID_SyncIcmMethod(void *devmode, void *printerData);

/* FID_SyncId273Mask: setting 273 gets one bit per group of settings (274-285) that holds a non-zero value. */
BOOL FID_SyncId273Mask(void *devmode, void *printerData);

/*
 * FID_ApplyMappedColour: with the mapping description's colour mode not 0,
 * colour mode 270 from the input's dmColor (not colour: 1; colour: 0 in
 * mode 2, else 2).  0 also when the mode cannot be had.
 */
BOOL FID_ApplyMappedColour(ModelContext *context, void *output, void *input, void *printerData);

/* FID_ApplyMappedMedia: with the media item's merge not 0, dmMediaType copied into 388 and 453. */
BOOL FID_ApplyMappedMedia(ModelContext *context, void *output, void *printerData);

#endif /* TARVEL_FID_MERGE_H */
