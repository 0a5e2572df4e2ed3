/*
 * The paper and media tables of the device's trays, shared by the status
 * block's reader and its tests.
 */
#ifndef TARVEL_LANGMON_STATUS_TABLES_H
#define TARVEL_LANGMON_STATUS_TABLES_H

#include <plat/types.h>

/* A device paper code: its paper size code, tray paper code, edges (tenths of a millimetre) and feed flags. */
struct TrayPaper {
    DWORD deviceCode;
    DWORD sizeCode;
    DWORD trayCode;
    DWORD longEdge;
    DWORD shortEdge;
    DWORD feedFlags;
};

/* A device media code: its bin media code and tray media code. */
struct TrayMedia {
    DWORD binCode;
    DWORD trayCode;
};

/* The row of a device paper code, or the default row. */
const TrayPaper &LMS_TrayPaper(DWORD deviceCode);
/* The row of a device media code, or the default row. */
const TrayMedia &LMS_TrayMedia(DWORD deviceCode);

/* Most elements "PrinterOptConfig" holds (the status block names three options, the replies two more). */
constexpr DWORD kMaxOptions = 16;

#endif
