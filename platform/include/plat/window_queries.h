/*
 * Window texts, built beside the window table on its public functions
 * (plat/window.h): a window's title as SetWindowTextW last set it.  The
 * window manager's own title of a new window (WindowSpec::title) is not
 * reachable through plat/window.h, so code that makes a window and wants
 * its title read back sets it here.
 */
#ifndef PLAT_WINDOW_QUERIES_H
#define PLAT_WINDOW_QUERIES_H

#include <plat/window.h>

/*
 * Sets `window`'s title (null: empty).  FALSE with
 * ERROR_INVALID_WINDOW_HANDLE for a handle that is not a window.
 */
BOOL SetWindowTextW(HWND window, LPCWSTR text);

/*
 * Copies `window`'s title into `buffer`, at most `capacity` - 1 units, and
 * terminates it; returns the units copied.  0 for an empty title, a
 * capacity of 0 or below or a null buffer (ERROR_INVALID_PARAMETER), and a
 * bad handle (ERROR_INVALID_WINDOW_HANDLE, buffer emptied).
 */
int GetWindowTextW(HWND window, LPWSTR buffer, int capacity);

#endif /* PLAT_WINDOW_QUERIES_H */
