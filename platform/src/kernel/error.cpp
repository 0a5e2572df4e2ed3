/*
 * The last error of the calling thread.
 */
#include <plat/error.h>

static thread_local DWORD t_last_error = ERROR_SUCCESS;

DWORD GetLastError(void) { return t_last_error; }

void SetLastError(DWORD err) { t_last_error = err; }
