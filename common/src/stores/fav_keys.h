/*
 * Inside the favourites store: the subkey names of one favourite, and the
 * tests' way to read favourites without the devmode conversion.
 */
#ifndef TARVEL_FAV_KEYS_H
#define TARVEL_FAV_KEYS_H

#include <plat/types.h>

/* Room for "Favorite\UserSel<number>\<tail>". */
inline constexpr DWORD FAV_KEY_CHARS = 64;

/*
 * The subkey of favourite `number`: "Favorite\UserSel%02d" (the number with
 * two digits at least, never cut), and "\" and `tail` when given.  1; 0 for
 * a negative number or a name that does not fit.
 */
BOOL fav_EntryKey(int number, LPCWSTR tail, WCHAR (&out)[FAV_KEY_CHARS]);

/*
 * Test-only: makes reading a favourite's settings image answer through
 * `converter` instead of UPG_ConvertDevmodeForPrinter (null: the
 * conversion again), so that the store's own rules can be tested with
 * images the conversion would never hand out.
 */
typedef int (*FavDevmodeConverter)(HANDLE printer, const void *devmode, DWORD totalSize, void *image);
void fav_SetDevmodeConverterForTest(FavDevmodeConverter converter);

#endif /* TARVEL_FAV_KEYS_H */
