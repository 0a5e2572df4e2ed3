/*
 * The active window of the headless machine (see plat/window_min.h): no
 * window is ever active, so boxes and dialogs are shown without an owner.
 */
#include <plat/window_min.h>

HWND GetActiveWindow(void)
{
    return nullptr;
}
