/*
 * The table of functions each visibility test library exports: enough of the
 * common library's process-wide state (data-manager binding and use count,
 * trace switch and trace file) to show that each library keeps its own.
 */
#ifndef TARVEL_VIS_API_H
#define TARVEL_VIS_API_H

#include <plat/types.h>

struct VisApi {
    /* Forgets this library's state and makes it the library at Windows path `modulePath`. */
    void (*init)(LPCWSTR modulePath);
    /* DMB_Load with this library's own module handle; DMB_Unload; DMB_GetUseCount. */
    int (*load)(void);
    void (*unload)(void);
    WORD (*useCount)(void);
    /* The status of DMB_GetValue of setting `id` on zeroed records. */
    WORD (*read)(WORD id);
    /* LOG_GetFlags, LOG_ReloadSwitch and LOG_Printf("%s", text). */
    DWORD (*traceFlags)(void);
    void (*reloadSwitch)(void);
    int (*trace)(LPCWSTR text);
    /* Forgets this library's state (before the machine is reset). */
    void (*release)(void);
};

typedef const VisApi *(*VisApiFn)(void);

#endif /* TARVEL_VIS_API_H */
