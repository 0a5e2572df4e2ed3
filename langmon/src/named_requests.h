/*
 * The named requests of GetPrinterDataFromPort and the tool exchanges
 * behind the "ToolBox" names: their answer codes and the operations that
 * carry a tool's command block to the device and its answer back through
 * the status manager's values.
 */
#ifndef TARVEL_LANGMON_NAMED_REQUESTS_H
#define TARVEL_LANGMON_NAMED_REQUESTS_H

#include "status.h"

#ifndef ERROR_DEVICE_NOT_CONNECTED
#define ERROR_DEVICE_NOT_CONNECTED 1167L
#endif
#ifndef ERROR_CANCELLED
#define ERROR_CANCELLED 1223L
#endif

/* Answer codes written into the caller's buffer (and "RWResult"). */
constexpr LONG LM_ANSWER_WAKEUP = 330;
constexpr LONG LM_ANSWER_SILENT = -1;
constexpr LONG LM_ANSWER_REFUSED = -19;
constexpr LONG LM_ANSWER_NOT_ANSWERING = -37;
constexpr LONG LM_ANSWER_BUSY = -38;
constexpr LONG LM_ANSWER_OTHER_MODEL = -80;
constexpr LONG LM_ANSWER_EXCHANGE_FAILED = 1;

/* Bytes of a device's answer a tool exchange keeps. */
constexpr DWORD LM_TOOL_ANSWER_BYTES = 4096;

/*
 * The device check before a device is asked for a printer: the device ID is
 * read, then -19 (no "PrinterStatus"), -37 (not answering), -80 (another
 * model than the printer of `printerModelMask`) or -38 (a job on its way); 0
 * to go on.
 */
LONG LMS_DeviceCheck(MonitorPort *port, ULONGLONG printerModelMask);

/*
 * "ToolBox:" (withAnswer) and "ToolBox2:" for the printer `printerName`: the
 * block in "TBValue" / "TBValue2" goes to the device; "ToolBox:" puts the
 * answer into "TBValue".  A non-zero `preset` is the outcome without an
 * exchange.  "RWResult" receives the outcome; the result is the outcome.
 */
LONG LMS_ToolBoxRequest(const WCHAR *printerName, MonitorPort *port, LONG preset, bool withAnswer);
/* Reserves the device for a tool's conversation (a kept connection on network ports); the outcome. */
LONG LMS_ToolBoxUstatusStart(const WCHAR *printerName, MonitorPort *port, LONG preset, bool keepAlive);
/* One step of the conversation: the block in "ToolBoxUstatusRead" goes out, or ("GetResponse") the answer comes back. */
LONG LMS_ToolBoxUstatusRead(const WCHAR *printerName, MonitorPort *port, LONG preset);
/* Ends the conversation (closes the kept connection); 0, or -19 for a printer not served. */
LONG LMS_ToolBoxUstatusEnd(const WCHAR *printerName, MonitorPort *port);

#endif
