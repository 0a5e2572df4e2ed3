/*
 * The least of the window services that headless code needs: the active
 * window, which a message box is shown over (the window manager's, set
 * with SetActiveWindow; null while none is).
 */
#ifndef PLAT_WINDOW_MIN_H
#define PLAT_WINDOW_MIN_H

#include <plat/types.h>

/* The active window, or null. */
HWND GetActiveWindow(void);

#endif /* PLAT_WINDOW_MIN_H */
