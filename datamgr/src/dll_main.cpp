/*
 * Module entry of the data manager.  The library keeps no state, so loading
 * and unloading it has nothing to set up or tear down.
 */
#include "setting_access.h"

/*
 * Returns TRUE for every reason and does nothing else.  It is deliberately
 * not exported: the platform loader runs a module's entry only through an
 * explicit registration, and an entry that does nothing needs none.
 */
BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reason;
    (void)reserved;
    return TRUE;
}
