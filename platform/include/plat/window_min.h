/*
 * The least of the window services that headless code needs: the active
 * window, which a message box is shown over.  The machine has no windows
 * yet, so there is never an active one.  The window manager replaces this
 * with real windows.
 */
#ifndef PLAT_WINDOW_MIN_H
#define PLAT_WINDOW_MIN_H

#include <plat/types.h>

/* The calling thread's active window: always null (no window is active on the headless machine). */
HWND GetActiveWindow(void);

#endif /* PLAT_WINDOW_MIN_H */
