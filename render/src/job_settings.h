/*
 * The job's settings as the page pipeline reads them: the PCL XL protocol
 * class of the job and the class reported to application escapes.  The
 * settings snapshot and the page layout record join this header with the
 * job work.
 */
#ifndef TARVELGR_JOB_SETTINGS_H
#define TARVELGR_JOB_SETTINGS_H

#include <plat/types.h>

struct PdevContext;

/* PCL XL protocol classes (major.minor.revision in bits 16-23, 8-15, 0-7). */
inline constexpr DWORD JOB_PROTOCOL_2_0 = 0x2000000u;
inline constexpr DWORD JOB_PROTOCOL_2_1 = 0x2010000u;

/*
 * The job's protocol class: printer-data setting 8205 (its effective value)
 * held within 2.0 .. 2.1; 2.0 when an argument is missing or the setting
 * cannot be read.
 */
DWORD JOB_GetProtocolClass(PdevContext *pdev, void *settings, void *printerData);

/* The class reported to application escapes: `protocolClass` when it lies in 2.0 .. 2.1 and setting 1332 is not 0, else 2.0. */
DWORD JOB_ExtProtocolClass(DWORD protocolClass, void *settings, void *printerData);

#endif /* TARVELGR_JOB_SETTINGS_H */
