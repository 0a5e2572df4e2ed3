/*
 * Thread-local last error, as GetLastError/SetLastError keep it.
 */
#ifndef PLAT_ERROR_H
#define PLAT_ERROR_H

#include <plat/types.h>

DWORD GetLastError(void);
void SetLastError(DWORD err);

#endif /* PLAT_ERROR_H */
