/*
 * The devmode conversion that reading a favourite needs.  It belongs to the
 * printer-wide settings code (the upgrade of older settings), which this
 * library does not have yet: until it does, every conversion fails visibly
 * (a failure and a line on the debugger output), never with a made-up image.
 */
#include "fav_pending.h"

#include <plat/debug.h>
#include <plat/error.h>

namespace {

FavDevmodeConverter g_converter = nullptr;

} // namespace

void fav_SetDevmodeConverterForTest(FavDevmodeConverter converter) { g_converter = converter; }

int UPG_ConvertDevmodeForPrinter(HANDLE printer, const void *devmode, DWORD totalSize, void *image)
{
    if (g_converter)
        return g_converter(printer, devmode, totalSize, image);
    OutputDebugStringW(u"UPG_ConvertDevmodeForPrinter: not built yet (waits for the devmode upgrade)\n");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
}
