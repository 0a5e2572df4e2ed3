/*
 * The favourites' call into the devmode conversion of the printer-wide
 * settings code, which is not built yet: declared here and answered in
 * fav_pending.cpp, so that wiring the real conversion in touches one place.
 */
#ifndef TARVEL_FAV_PENDING_H
#define TARVEL_FAV_PENDING_H

#include <plat/types.h>

/*
 * UPG_ConvertDevmodeForPrinter: converts the devmode `devmode` (its total
 * size with anything behind it: `totalSize`) for `printer` into the
 * 5,896-byte settings image `image`.  Returns 0 converted, 1 copied, 2
 * replaced by defaults, -1 failure.  Until the conversion exists: -1 with
 * ERROR_CALL_NOT_IMPLEMENTED and a line on the debugger output.
 */
int UPG_ConvertDevmodeForPrinter(HANDLE printer, const void *devmode, DWORD totalSize, void *image);

/* Test-only: makes UPG_ConvertDevmodeForPrinter answer through `converter` (null: its own answer again). */
typedef int (*FavDevmodeConverter)(HANDLE printer, const void *devmode, DWORD totalSize, void *image);
void fav_SetDevmodeConverterForTest(FavDevmodeConverter converter);

#endif /* TARVEL_FAV_PENDING_H */
