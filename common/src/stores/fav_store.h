/*
 * The favourites store: named settings images that the user picks on the
 * main page, the driver's presets (built from the model data) and the
 * user's own, under the user's per-printer key:
 * - "Favorite", value "UserIndex" (REG_BINARY): the favourite numbers in
 *   display order, 16-bit each, in an array of a capacity n that the caller
 *   fixes; the used entries come first and the first 0 ends them (a full
 *   array has no 0).  Numbers run from 1 to n.
 * - "Favorite\UserSel%02d" (the number with two digits at least): "DEVMODE"
 *   (REG_BINARY, the 5,896-byte settings image), "Name" and "Comment"
 *   (REG_SZ), "Flag" (REG_DWORD, 0 for a preset).
 * - "Favorite\UserSel%02d\PaperMargin": the margins that differ from the
 *   default, one 16-byte value per paper named by its ID in decimal (the
 *   four margins in the stored order of tarvel/mrg_order.h), and "Num"
 *   (REG_DWORD), the number of them.
 *
 * Presets come from the model's pseudo setting 36888: its options 1 to
 * count - 1 each name a preset ("name", CR, "comment") and a record of kind
 * 21 with the settings it applies over the defaults.
 *
 * Results: 1 or 0 (the searches -1).  Nothing is logged.  Writes are not
 * transactional: a failure leaves the values written before it.
 */
#ifndef TARVEL_FAV_STORE_H
#define TARVEL_FAV_STORE_H

#include <plat/registry.h>
#include <plat/types.h>

struct ModelContext;

inline constexpr DWORD FAV_IMAGE_SIZE = 5896;       /* DriverDevmode and DevmodeExtension */
inline constexpr WORD FAV_PRESET_SETTING = 36888;   /* the model's presets */
inline constexpr DWORD FAV_NAME_CHARS = 128;        /* a preset's name, terminator included */
inline constexpr DWORD FAV_FLAG_PRESET = 0;

/*
 * FAV_WriteEntry: writes the given values of favourite `number`, in this
 * order: "DEVMODE" (5,896 bytes of `image`), "Name" and "Comment" (with
 * their terminators), "Flag".  A null argument is not written.  Returns 1;
 * 0 at the first failure.
 */
BOOL FAV_WriteEntry(HANDLE printer, ModelContext *context, int number, const BYTE *image, LPCWSTR name,
                    LPCWSTR comment, const DWORD *flag);

/*
 * FAV_ReadEntry: reads favourite `number`.
 * - `image` given (the context is then required): "DEVMODE" must exist and
 *   is converted for the printer (UPG_ConvertDevmodeForPrinter) into
 *   `image` (5,896 bytes).  When its model name (setting 259) differs from
 *   the one of `callerImage`, the favourite is offered only when it is a
 *   preset ("Flag" 0): the presets are then made anew for the caller's
 *   model (FAV_CreatePresets with a fresh array of `capacity` entries and
 *   the caller's model name) and the read goes on; a user's favourite of
 *   another model fails the read.
 * - `name`, `comment`: new GlobalAlloc strings (the caller frees them);
 *   `flag`: the "Flag" value.  Each that is asked for must be readable.
 * Returns 1 or 0 (outputs handed out so far are then freed and cleared).
 */
BOOL FAV_ReadEntry(HANDLE printer, ModelContext *context, void *callerImage, void *callerPrinterData, int number,
                   BYTE *image, LPWSTR *name, LPWSTR *comment, DWORD *flag, DWORD capacity);

/* FAV_WriteUserIndex: writes "UserIndex" (2 x `capacity` bytes); a null array writes nothing.  1 or 0. */
BOOL FAV_WriteUserIndex(HANDLE printer, ModelContext *context, const WORD *array, DWORD capacity);

/*
 * FAV_ReadUserIndex: reads "UserIndex" into `array` (`capacity` entries):
 * the stored numbers as far as they fit, the rest 0.  1 when read (or no
 * array given), 0 when it cannot be read (the array untouched).
 */
BOOL FAV_ReadUserIndex(HANDLE printer, ModelContext *context, WORD *array, DWORD capacity);

/* The used entries of an index: those before the first 0, at most `capacity`. */
DWORD FAV_CountUsed(const WORD *array, DWORD capacity);

/* FAV_FindFreeIndex: the lowest number 1..capacity that no used entry holds; -1 when all are used or null. */
int FAV_FindFreeIndex(const WORD *array, DWORD capacity);

/*
 * FAV_FindPresetByName: the number of the first used entry whose "Flag"
 * equals `flag` and whose "Name" equals `name` exactly; -1 when none.
 * `image` is not read.
 */
int FAV_FindPresetByName(HANDLE printer, ModelContext *context, const void *image, const WORD *array,
                         DWORD capacity, LPCWSTR name, DWORD flag);

/*
 * FAV_CreatePresets: makes or refreshes the model's presets, each a
 * defaults image (for the printer name `printerName`) with its record's
 * settings applied, named and commented from its option's text, "Flag" 0:
 * a listed preset of the same name keeps its number, a new one takes the
 * lowest free number and is appended to `array`.  Then a 0 ends the used
 * entries (none when the array is full) and "UserIndex" is written.
 * Returns 1; 0 when a default, a record, a setting, a free number or a
 * write fails.
 */
BOOL FAV_CreatePresets(HANDLE printer, ModelContext *context, LPCWSTR printerName, WORD *array, DWORD capacity);

/*
 * FAV_WriteMargin: converts `margins` from the caller's order `kind` to the
 * stored order and writes them (16 bytes) as `valueName` under the
 * favourite's "PaperMargin" subkey.  1 or 0.
 */
BOOL FAV_WriteMargin(HANDLE printer, ModelContext *context, int number, int kind, LPCWSTR valueName,
                     const LONG margins[4]);

/* FAV_WriteMarginCount: writes "Num".  FAV_ReadMarginCount: "Num", or 0 when it cannot be read. */
BOOL FAV_WriteMarginCount(HANDLE printer, ModelContext *context, int number, DWORD count);
DWORD FAV_ReadMarginCount(HANDLE printer, ModelContext *context, int number);

/* FAV_DeleteMargins: deletes the favourite's "PaperMargin" subkey.  1 or 0. */
BOOL FAV_DeleteMargins(HANDLE printer, ModelContext *context, int number);

/* FAV_OpenMarginKey: opens or creates that subkey into *key (the caller closes it).  1 or 0. */
BOOL FAV_OpenMarginKey(HANDLE printer, ModelContext *context, HKEY *key, int number);

/*
 * FAV_SaveMargins: replaces the favourite's margins with those of every
 * paper of the model (records of kind 10) that differ from the default in
 * any place, looked up as MRG_GetMargin does (the user's values when
 * `userMargins` is set, the printer's list, the default), and writes "Num".
 * Returns the result of writing "Num"; 0 when the default, the model's
 * machine-wide key text, the list, a lookup or a write fails.
 */
BOOL FAV_SaveMargins(HANDLE printer, ModelContext *context, BOOL userMargins, int number, int kind);

#endif /* TARVEL_FAV_STORE_H */
