/*
 * The paper margins store: per paper, the four unprintable margins the
 * driver assumes.  Three places are consulted in this order: the user's own
 * values (the subkey "Paper Margin" of the user's per-printer key, seeded
 * from a machine-wide key when it is created), the printer-wide list in the
 * printer data (the chunked blob "PaperMarginArray"), and the built-in
 * default of 46 in every place.  Every store keeps the stored order of
 * tarvel/mrg_order.h; the functions that take a kind work in the caller's
 * order.
 *
 * Layouts (numbers little-endian):
 * - PaperMarginArray: 20-byte entries {16-bit paper ID, 2 zero bytes, four
 *   32-bit margins}; the entry count is the byte size / 20.
 * - A user value: named by the paper ID in decimal ("%u"), REG_BINARY, 20
 *   bytes {32-bit paper ID, four 32-bit margins}.
 * - A favourite's margin value (read by REG_EnumMarginValue and
 *   REG_QueryMarginValue): 16 bytes, the four margins.
 * - The machine-wide seed: below HKEY_LOCAL_MACHINE, a base text directly
 *   followed by "Paper Margin" (no separator), with the user values' layout.
 *   The base text is the model's machine-wide key text (header entry 30,
 *   MRG_GetMachineKeyText).
 *
 * Results are the codes of tarvel/mrg_order.h.  Nothing is logged.
 */
#ifndef TARVEL_MRG_STORE_H
#define TARVEL_MRG_STORE_H

#include <plat/registry.h>
#include <plat/types.h>
#include <tarvel/mrg_order.h>

struct ModelContext;

inline constexpr DWORD MRG_ENTRY_SIZE = 20;       /* a PaperMarginArray entry */
inline constexpr DWORD MRG_USER_VALUE_SIZE = 20;  /* a user value */
inline constexpr DWORD MRG_FAVOURITE_VALUE_SIZE = 16;
inline constexpr DWORD MRG_VALUE_NAME_CHARS = 256; /* REG_EnumMarginValue's name buffer */

/* Subkey names. */
inline constexpr const WCHAR *MRG_SUBKEY = u"Paper Margin";

/* A printer's margin list in memory: loaded whole, changed here, saved whole. */
struct PaperMarginList {
    BYTE *entries; /* GlobalAlloc, `count` entries of 20 bytes; null when empty */
    DWORD size;    /* bytes of the entries */
    DWORD count;
};

/* ---- Defaults ------------------------------------------------------------ */

/* MRG_GetDefaultMargin: the built-in margins (46 in every place) into `stored`.  Returns 1. */
int MRG_GetDefaultMargin(LONG stored[4]);

/* MRG_GetDefaultInOrder: the built-in margins in the caller's order of `kind`.  1 or MRG_BAD_KIND. */
int MRG_GetDefaultInOrder(LONG caller[4], int kind);

/* ---- The printer-wide list ------------------------------------------------- */

/*
 * MRG_LoadArray: the printer's list, loaded from its "PaperMarginArray" blob
 * (whole entries only): a new GlobalAlloc list, empty when no blob can be
 * read.  Null only when memory runs out.  Free it with MRG_FreeArray.
 */
PaperMarginList *MRG_LoadArray(HANDLE printer);

/*
 * MRG_SaveArray: writes the list as the printer's "PaperMarginArray" blob.
 * Returns 1; MRG_BAD_KIND for an empty list (the stored blob is left
 * alone), MRG_WRITE_FAILED when the write fails, MRG_NOT_FOUND for null.
 */
int MRG_SaveArray(HANDLE printer, const PaperMarginList *list);

/* MRG_FreeArray: frees the list and its entries.  1; MRG_NOT_FOUND for null. */
int MRG_FreeArray(PaperMarginList *list);

/* MRG_FindMargin: the stored margins of `paperId` in the list.  1 or MRG_NOT_FOUND. */
int MRG_FindMargin(HANDLE printer, const PaperMarginList *list, WORD paperId, LONG stored[4]);

/*
 * MRG_SetMargin: replaces the entry of `paperId` or appends one (the entries
 * are copied into a block 20 bytes larger).  1, or MRG_NOT_FOUND for a null
 * argument or no memory (the list is then unchanged).
 */
int MRG_SetMargin(HANDLE printer, PaperMarginList *list, WORD paperId, const LONG stored[4]);

/* MRG_GetFromArray: MRG_FindMargin, converted to the caller's order of `kind`. */
int MRG_GetFromArray(HANDLE printer, WORD paperId, LONG caller[4], const PaperMarginList *list, int kind);

/* MRG_PutIntoArray: the caller's margins converted to the stored order and set (MRG_SetMargin). */
int MRG_PutIntoArray(HANDLE printer, WORD paperId, const LONG caller[4], PaperMarginList *list, int kind);

/* ---- The user's values ----------------------------------------------------- */

/*
 * MRG_GetMachineKeyText: the model's machine-wide key text (header entry 30),
 * the base of the machine-wide seeds and of the direct-fax list, as a new
 * GlobalAlloc string (the caller frees it); null when the model has none.
 */
LPWSTR MRG_GetMachineKeyText(ModelContext *context);

/*
 * MRG_BuildHklmKeyName: `base` directly followed by "Paper Margin", as a new
 * GlobalAlloc string in *name (the caller frees it).  1; MRG_NAME_NO_MEMORY
 * when memory runs out, MRG_NOT_FOUND for a null argument.
 */
int MRG_BuildHklmKeyName(LPCWSTR base, LPWSTR *name);

/*
 * MRG_OpenUserKey: opens the user's "Paper Margin" key of `printer`,
 * creating it (and the printer's PRNID) when missing; a key created by this
 * call gets every value and subkey of the machine-wide seed `base` +
 * "Paper Margin" (when `base` is given and that key exists); an existing
 * key, even an empty one, is never seeded again.  Returns 1 with *key (the
 * caller closes it) and, when `keyName` is given, the key's name as a new
 * GlobalAlloc string (the caller frees it); MRG_NAME_NO_MEMORY, or
 * MRG_KEY_FAILED when the key can be neither named nor created.
 */
int MRG_OpenUserKey(HANDLE printer, ModelContext *context, LPCWSTR base, HKEY *key, LPWSTR *keyName);

/*
 * MRG_ReadUserMargin: the user's stored margins of `paperId` (a 20-byte
 * value).  1; MRG_READ_FAILED when there is no such value or it is not 20
 * bytes long; the codes of MRG_OpenUserKey.
 */
int MRG_ReadUserMargin(HANDLE printer, ModelContext *context, LPCWSTR base, WORD paperId, LONG stored[4]);

/* MRG_WriteUserMargin: writes the user's value of `paperId`.  1; MRG_WRITE_FAILED; the codes of MRG_OpenUserKey. */
int MRG_WriteUserMargin(HANDLE printer, ModelContext *context, LPCWSTR base, WORD paperId, const LONG stored[4]);

/* MRG_GetUserMargin / MRG_SetUserMargin: the two above in the caller's order of `kind` (MRG_BAD_KIND first). */
int MRG_GetUserMargin(HANDLE printer, ModelContext *context, WORD paperId, LONG caller[4], LPCWSTR base, int kind);
int MRG_SetUserMargin(HANDLE printer, ModelContext *context, WORD paperId, const LONG caller[4], LPCWSTR base,
                      int kind);

/*
 * MRG_ResetMargins: with `userStore` set, opens (and so seeds) the user's
 * key, then deletes it with everything below it and creates it empty, so
 * that later lookups fall through to the list and the default (1, or
 * MRG_KEY_FAILED); clear: deletes the printer's "PaperMarginArray" blob (1,
 * or MRG_NOT_FOUND when that fails).
 */
int MRG_ResetMargins(HANDLE printer, ModelContext *context, BOOL userStore, LPCWSTR base);

/*
 * MRG_GetMargin: the margins of `paperId` in the caller's order of `kind`:
 * the user's value when `userStore` is set and one exists, else the list's
 * entry (when a list is given), else the built-in default.  Returns 1;
 * MRG_BAD_KIND for another kind, MRG_NOT_FOUND for a null output.
 */
int MRG_GetMargin(HANDLE printer, ModelContext *context, WORD paperId, LONG caller[4], LPCWSTR base,
                  const PaperMarginList *list, BOOL userStore, int kind);

/*
 * MRG_DeleteKeyTree: deletes `subkey` below `parent` with every value and
 * every key below it (deepest first).  Returns ERROR_SUCCESS, or the first
 * registry error (what was deleted before stays deleted).
 */
LONG MRG_DeleteKeyTree(HKEY parent, LPCWSTR subkey);

/* ---- Favourites' margin values --------------------------------------------- */

/*
 * REG_EnumMarginValue: the `index`-th value of the open `key`: its name into
 * `name` (MRG_VALUE_NAME_CHARS characters) and its 16 bytes, converted to
 * the caller's order of `kind`.  1; 0 past the last value, for a value that
 * is not exactly 16 bytes (the "Num" value, for one) or whose name does not
 * fit, and for a bad argument.
 */
BOOL REG_EnumMarginValue(HKEY key, DWORD index, int kind, LPWSTR name, LONG caller[4]);

/* REG_QueryMarginValue: the named 16-byte value of `key`, converted.  1 or 0 (as above). */
BOOL REG_QueryMarginValue(HKEY key, LPCWSTR name, int kind, LONG caller[4]);

#endif /* TARVEL_MRG_STORE_H */
