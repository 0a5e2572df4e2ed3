/*
 * Helpers shared by the job road's sources (StartDocPort/WritePort and
 * EndDocPort with the pass-through control requests).
 */
#ifndef TARVEL_LANGMON_JOB_ROAD_H
#define TARVEL_LANGMON_JOB_ROAD_H

#include "status.h"

/* Waits (30 s) for the port mutex; true when it is now held.  UNC ports use none. */
bool LMJ_WaitPortMutex(MonitorPort *port);
/* Releases the port mutex when `owned`, and clears it. */
void LMJ_ReleasePortMutex(MonitorPort *port, bool &owned);
/* Sleeps with the port mutex released, then takes it again when it was held. */
void LMJ_SleepUnlocked(MonitorPort *port, bool &owned, DWORD ms);
/* Replaces the port's printer name with a copy of `name` when it differs. */
void LMJ_ReplacePrinterName(MonitorPort *port, const WCHAR *name);

/* Spooler jobs of the port's printer that count as queued (none of the ignored status bits). */
DWORD LMJ_CountQueuedJobs(MonitorPort *port);
/* A GetPrinterDataFromPort request with a control code: passed to the port monitor, or the job ended. */
BOOL LMP_ForwardControlId(MonitorPort *port, DWORD control, LPWSTR valueName, LPWSTR in, DWORD inSize, LPWSTR out,
                          DWORD outSize, LPDWORD returned);

/* Control codes of the port monitor. */
constexpr DWORD LM_IOCTL_PAR_QUERY_DEVICE_ID = 0x16000C;
constexpr DWORD LM_IOCTL_PAR_SET_INFORMATION = 0x160008;
constexpr DWORD LM_QZUSB_DEVICE_ID = 0x220414;
constexpr DWORD LM_CONTROL_JOB_END = 7;

#endif
