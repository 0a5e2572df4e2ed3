/*
 * The font substitution table "FontSubTable": which device font stands in
 * for which TrueType face.  A list of pairs of zero-terminated UTF-16
 * strings {TrueType face name, device font name}, one after the other,
 * ended by one extra zero (an empty face name); its byte count includes
 * that final zero.  Built from the model's device fonts, stored as named
 * blob 0 in the printer data.
 *
 * Tables are zero-filled GlobalAlloc blocks that the caller frees with
 * GlobalFree; the functions that walk a table never read beyond its block,
 * and treat a table without its final zero inside the block as empty.
 */
#ifndef TARVEL_PDT_FONTSUB_H
#define TARVEL_PDT_FONTSUB_H

#include <plat/types.h>

struct ModelContext;

/* First capacity of a table being built, and how much it grows by. */
constexpr DWORD PDT_FONTSUB_INITIAL_BYTES = 1279;
constexpr DWORD PDT_FONTSUB_GROW_BYTES = 1280;

/*
 * Builds a new table from the model's device fonts (model records of kind
 * 11, in record order): for each font, one pair per TrueType face it
 * substitutes, in the font's order.  An empty table (the final zero only)
 * when the model has no device fonts.  Null when a record cannot be read,
 * has no name, an alias lookup fails or memory runs out.
 */
LPWSTR PDT_BuildFontSubTable(ModelContext *context);

/*
 * The byte count of a well-formed table, final zero included (2 for an
 * empty one); 0 when `table` is null or not a well-formed table within its
 * block.
 */
DWORD PDT_FontSubTableSize(LPCWSTR table);

/*
 * The device font name of the pair whose face name equals `face` exactly
 * (case-sensitive), pointing into the table; null when there is none.
 */
LPCWSTR PDT_FindFontSubEntry(LPCWSTR table, LPCWSTR face);

/*
 * A new table of exactly the needed size: the pair of `face` with its
 * device font replaced by `device` (or removed when `device` is null); a
 * face that is not in the table gets a new pair at the end (or, with a null
 * device, an unchanged copy).  The caller frees both tables.  Null for a
 * null or malformed table, a null or empty face, or no memory.
 */
LPWSTR PDT_ReplaceFontSubEntry(LPCWSTR table, LPCWSTR face, LPCWSTR device);

/*
 * The printer's stored table (named blob 0, when it is a well-formed
 * table), else one built from the printer's model (not stored).  Null when
 * neither can be had.
 */
LPWSTR PDT_GetFontSubTable(HANDLE printer);

/* Stores `table` as named blob 0 (its byte count with the final zero).  Returns 1 or 0. */
BOOL PDT_WriteFontSubTable(HANDLE printer, LPCWSTR table);

/*
 * 1 when the printer has a stored table already, or the model's table was
 * built and stored; 0 otherwise.
 */
BOOL PDT_InitFontSubTable(HANDLE printer, ModelContext *context);

#endif /* TARVEL_PDT_FONTSUB_H */
