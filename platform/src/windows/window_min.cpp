/*
 * The active window (see plat/window_min.h): the window manager's, which
 * SetActiveWindow sets; null while no window is active, so boxes and dialogs
 * of headless code are shown without an owner.
 */
#include <plat/window.h>
#include <plat/window_min.h>

HWND GetActiveWindow(void) { return GetForegroundWindow(); }
