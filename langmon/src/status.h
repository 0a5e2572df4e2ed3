/*
 * The status side of the language monitor: the served printers and their
 * binding to the outside status manager, the per-port table of status
 * values and its delivery, the spooler's port status, and the updates the
 * monitor makes from what it knows about the port and the job.
 *
 * Locks: a port's status table, its served printers and its job queue are
 * changed under the port's lock (LMP_Lock(port)), which is recursive.  No
 * holder of the port's lock waits for a manager thread to end: a served
 * printer is unlinked under the lock, and its thread joined after the lock
 * is left.
 */
#ifndef TARVEL_LANGMON_STATUS_H
#define TARVEL_LANGMON_STATUS_H

#include "monitor.h"

#include <plat/spooler.h>

#include <atomic>

/* ---- The status manager's entry points ------------------------------------- */

/* Results are 0 for success; a size query with size 0 answers one of these with the needed size. */
constexpr LONG SM_MORE_DATA = -33;
constexpr LONG SM_BUFFER_SMALL = -36;

typedef LONG (*SmOpenManagerExW)(LPCWSTR printer, LPCWSTR device, DWORD mode, HANDLE *manager);
typedef LONG (*SmCloseManager)(HANDLE manager);
typedef LONG (*SmGetPrinterStatusA)(HANDLE manager, LPCSTR name, void *buffer, DWORD size, DWORD *needed);
typedef LONG (*SmGetPrinterStatusW)(HANDLE manager, LPCWSTR name, void *buffer, DWORD size, DWORD *needed);
typedef LONG (*SmSetReqPrinterStatusEventA)(HANDLE manager, LPCSTR name, HANDLE event);
typedef LONG (*SmResSetPrinterStatus)(HANDLE manager, LPCSTR name);
typedef LONG (*SmUpdatePrinterStatusA)(HANDLE manager, LPCSTR name, const void *value, DWORD size);
typedef LONG (*SmSetNotificationEventA)(HANDLE manager, LPCSTR name, HANDLE event, DWORD *id);
typedef LONG (*SmSetNotificationEventExA)(HANDLE manager, DWORD count, LPCSTR names, HANDLE *events, DWORD *id);
typedef LONG (*SmKillNotificationEvent)(HANDLE manager, DWORD id);
typedef LONG (*SmSetNotificationCallbackExA)(HANDLE manager, DWORD count, LPCSTR names, void *callback, void *context,
                                             DWORD *id);
typedef LONG (*SmKillNotificationCallback)(HANDLE manager, DWORD id);

/* ---- Served printers --------------------------------------------------------- */

/* ServedPrinter::flags bits. */
constexpr DWORD SP_DELIVERED = 0x1;   /* had the value of the current delivery pass */
constexpr DWORD SP_BIDI_OFF = 0x2;    /* the printer's bidirectional support is off */
constexpr DWORD SP_SEEN = 0x10000;    /* seen in the current printer scan */
constexpr DWORD SP_REFRESH_TRIED = 0x20000; /* tried in the current re-binding pass */

/* The supported model's mask: bit 35. */
constexpr ULONGLONG LM_MODEL_K4100 = 0x0000000800000000ull;

struct ServedPrinter {
    WCHAR *printerName;
    HMODULE managerModule;
    HANDLE managerHandle;
    HANDLE spoolerHandle;
    SmOpenManagerExW OpenManagerExW;
    SmCloseManager CloseManager;
    SmGetPrinterStatusA GetPrinterStatusA;
    SmGetPrinterStatusW GetPrinterStatusW;
    SmSetReqPrinterStatusEventA SetReqPrinterStatusEventA;
    SmResSetPrinterStatus ResSetPrinterStatus;
    SmUpdatePrinterStatusA UpdatePrinterStatusA;
    SmSetNotificationEventA SetNotificationEventA;
    SmSetNotificationEventExA SetNotificationEventExA;
    SmKillNotificationEvent KillNotificationEvent;
    SmSetNotificationCallbackExA SetNotificationCallbackExA;
    SmKillNotificationCallback KillNotificationCallback;
    DWORD managerThreadId;
    HANDLE stopEvent;
    HANDLE readyEvent;
    DWORD flags;      /* SP_ bits: through atomic changes only */
    DWORD statusBits; /* PRINTER_STATUS bits last given to the spooler */
    ULONGLONG modelMask;
    ServedPrinter *next;
    /* Kept so that whoever frees the record can join its manager thread. */
    HANDLE managerThread;
    MonitorPort *port;
    /* A notification callback registration (ended at ClosePort). */
    DWORD callbackId;
};

/* The printer's record on the port (case-sensitive name), or null. */
ServedPrinter *LMS_FindServedPrinter(const WCHAR *printerName, MonitorPort *port);
/* Binds the printer to the status manager when it can: the new record, or null when it is not served. */
ServedPrinter *LMS_BindStatusManager(const WCHAR *printerName, MonitorPort *port, BOOL push);
/*
 * Unlinks and frees a record; FALSE when it was not in the list.  Unless the
 * caller is the record's own manager thread, the thread is stopped and
 * joined (after the port's lock is left) before anything is freed.
 */
BOOL LMS_FreeServedPrinter(ServedPrinter *printer, MonitorPort *port);
/* Binds the records that have no manager yet. */
BOOL LMS_RefreshPrinters(MonitorPort *port);
BOOL LMS_ReadModelMask(const WCHAR *printerName, ServedPrinter *printer);
/* 1 when the device ID's last MODEL:/MDL: field names the supported model; the text is cut at its semicolons. */
int LMS_MatchModel(MonitorPort *port, char *deviceId);
bool LMS_IsMonitoredDriver(const WCHAR *printerName);
BOOL LMS_StartManagerThread(MonitorPort *port, ServedPrinter *printer);
/* Opens the printer's spooler handle, then sets its readyEvent (also when the open fails). */
void LMS_OpenServedPrinter(ServedPrinter *printer);
/* Waits (bounded) for the record's readyEvent and opens its spooler handle when it has none. */
bool LMS_WaitSpoolerHandle(ServedPrinter *printer);
/* The printers of the spooler that print to this port through this monitor, as heap PRINTER_INFO_2W copies. */
struct PrinterListEntry {
    PRINTER_INFO_2W *info;
    PrinterListEntry *next;
};
BOOL LMS_FindPrintersOnPort(MonitorPort *port, PrinterListEntry **list);
void LMS_FreePrinterList(PrinterListEntry *list);
/* Ends every served printer's notification callback (ClosePort). */
void LMS_KillNotificationCallbacks(MonitorPort *port);
/* Frees every served printer of a port that is being freed, and joins every manager thread. */
void LMS_FreeAllServedPrinters(MonitorPort *port);
/* Keeps the handle of a thread on its way out, joined before the port goes. */
void LMS_KeepEndedThread(MonitorPort *port, HANDLE thread);
/* Joins (bounded) the manager threads that released their own records. */
void LMS_JoinEndedThreads(MonitorPort *port);
/* Starts the port's notification thread: 1 when started. */
BOOL LMS_StartNotifyThread(MonitorPort *port);
/* Brings the served printers in line with the spooler's printers on the port. */
BOOL LMS_PublishToManager(MonitorPort *port);

/* Atomic changes and tests of a served printer's flags. */
void LMS_SetPrinterFlags(ServedPrinter *printer, DWORD bits);
void LMS_ClearPrinterFlags(ServedPrinter *printer, DWORD bits);
bool LMS_TestPrinterFlags(const ServedPrinter *printer, DWORD bits);

/* ---- Status values ------------------------------------------------------------ */

/* Delivery types. */
constexpr LONG SV_NONE = 0;
constexpr LONG SV_PLAIN = 1;
constexpr LONG SV_JOB_RECORD = 2;
constexpr LONG SV_QUEUE = 5;
constexpr LONG SV_OPEN_JOB = 6;
constexpr LONG SV_TRIPLE = 8;
constexpr LONG SV_DEVICE = 9;

/* Row flags. */
constexpr DWORD SVF_PUSH = 0x1;
constexpr DWORD SVF_KEEP = 0x2;
constexpr DWORD SVF_JOB_START = 0x100;
constexpr DWORD SVF_JOB_CLOSE = 0x200;

/* Group bits. */
constexpr LONG SVG_STATUS = 0x1;
constexpr LONG SVG_CONFIG = 0x2;
constexpr LONG SVG_PANEL = 0x4;
constexpr LONG SVG_DISPLAY = 0x8;
constexpr LONG SVG_SERVICE_TAG = 0x10;
constexpr LONG SVG_LANGUAGE = 0x20;

constexpr ULONGLONG SV_ALL_MODELS = ~0ull;
constexpr int LM_STATUS_ROWS = 50;

/* Job record layout ("SendingJobInfo", "PrintingJobInfo2"). */
constexpr DWORD LM_RECORD_JOB_ID = 288;
constexpr DWORD LM_RECORD_PAGES = 292;
constexpr DWORD LM_SENDING_JOB_INFO_BYTES = 292;

/* State bit: the spooler could not return the port's job. */
constexpr DWORD LM_ST_JOB_NOT_FOUND = 0x10000000;

/* JobQueueEntry::flags: a job record has announced the job. */
constexpr DWORD LM_JOB_ANNOUNCED = 0x1;
/* JobQueueEntry::flags: the job was released (or deleted) in the spooler; it is never released again. */
constexpr DWORD LM_JOB_RELEASED = 0x2;

struct StatusVariable {
    const char *name;
    ULONGLONG applicability;
    BYTE *value;
    LONG size;
    LONG elementSize;
    LONG type;
    LONG changed;
    LONG group;
    DWORD flags;
};

/* One record waiting in jobRecordQueue (the front one is the row's current value). */
struct JobRecordEntry {
    BYTE *record;
    DWORD flags;
    JobRecordEntry *next;
};

/* A port's table made from the template; null when the heap refuses. */
StatusVariable *LMS_NewStatusTable();
StatusVariable *LMS_FindVariable(const char *name, StatusVariable *table, const MonitorPort *port, BOOL allocate);
StatusVariable *LMS_LookupVariable(const char *name, MonitorPort *port);
StatusVariable *LMS_LookupVariableFor(const char *name, MonitorPort *port, const ServedPrinter *printer);
LONG LMS_VariableSize(const StatusVariable *row);
BOOL LMS_StoreValue(StatusVariable *row, const void *source);
void LMS_MarkAllChanged(StatusVariable *table);
/* Rows delivered, or -1 without a table. */
int LMS_NotifyChanged(MonitorPort *port);
int LMS_PushVariables(MonitorPort *port, ServedPrinter *printer);
LONG LMS_GroupsOfNames(const char *list, const ServedPrinter *printer, MonitorPort *port);
BOOL LMS_DrainReplies(MonitorPort *port, BOOL pause);
/* Frees a row's value. */
void LMS_FreeValue(StatusVariable *row);
/* Frees the pending job-record entries (the head stays). */
void LMS_ClearJobRecordQueue(MonitorPort *port);

/* Input-tray rows (first 16-bit field below 1000) of "PrinterBinConfig"; 0 when it is not set. */
DWORD LMS_CountBins(MonitorPort *port);

/* The "PrinterStatus" triple as three words, {0,0,0} when absent; false when absent. */
bool LMS_ReadPrinterStatus(MonitorPort *port, DWORD words[3]);

/* ---- Spooler status ------------------------------------------------------------ */

BOOL LMS_SetPortStatus(MonitorPort *port, const DWORD triple[3]);
BOOL LMS_UpdateSpoolerStatus(MonitorPort *port, ServedPrinter *printer, const DWORD *triple);
BOOL LMS_PublishPrinterStatus(MonitorPort *port);
/* The PRINTER_STATUS bits a triple maps to (every matching row's bits). */
DWORD LMS_PrinterStatusBits(const DWORD triple[3]);

/* ---- Status updates from the port and the job ---------------------------------- */

BOOL LMS_SetSendingJobInfo(MonitorPort *port, BOOL fill);
BOOL LMS_SetJobActive(MonitorPort *port, BOOL on);
BOOL LMS_UpdateJobStatusBits(MonitorPort *port, DWORD bits, BOOL set);
void LMS_FreePendingOutput(MonitorPort *port);
BOOL LMS_CheckJobPaused(MonitorPort *port);
BOOL LMS_JobStillQueued(MonitorPort *port);
void LMS_ResetPortStatus(MonitorPort *port);
/* True when the device counts as identified (reachable, answering, the supported model). */
bool LMS_DeviceIdentified(MonitorPort *port);
/* Removes the head of the job queue (freed) and releases its job; false when the queue is empty. */
bool LMJ_ReleaseFirstJob(MonitorPort *port);
/*
 * Ends a queued job in the spooler once: `command` (JOB_CONTROL_LAST_PAGE_EJECTED
 * or JOB_CONTROL_DELETE) on its printer's spooler handle, else on the port's
 * printer opened by name.  An entry already released is left alone, so that
 * no job id is released twice.  Takes the port's lock.
 */
void LMJ_ReleaseQueuedJob(MonitorPort *port, JobQueueEntry *job, DWORD command);
/*
 * Releases the port's current job (jobId) once unless it was already: through
 * its queue entry when it has one, else by id on the job printer's spooler
 * handle or the printer opened by name.
 */
void LMJ_ReleaseCurrentJob(MonitorPort *port);
/* The spooler no longer holds the port's current job: it counts as released, so it is never released. */
void LMJ_ForgetCurrentJob(MonitorPort *port);

/* ---- The monitor's own PJL and the job-stream inspection ------------------------ */

/* What the header and trailer carry. */
struct HeaderParams {
    DWORD statusRequests; /* the four USTATUS/INFO lines */
    DWORD jobLine;        /* the JOB (or JOBATTR) line, and the EOJ line */
    DWORD nameAttribute;  /* NAME="<identifier>" on the JOB and EOJ lines */
    char identifier[84];
};
static_assert(sizeof(HeaderParams) == 96, "HeaderParams layout");

/* 1 when inspected, 0 when the stream's language was settled already.  May blank an empty "@JCID=" in the data. */
int LMJ_InspectStream(MonitorPort *port, BYTE *data, DWORD length);
int LMJ_TakeJobId(BYTE *line, DWORD length, MonitorPort *port);
int LMJ_TakeLanguage(const BYTE *line, DWORD length, MonitorPort *port);
/* Header into a 1024-byte buffer: its length, 0 when there is nothing to send. */
DWORD LMJ_BuildHeader(char *out, const HeaderParams *params, const MonitorPort *port);
/* Trailer (at most 9 + 1 + 9 + 15 + 84 + 3 bytes): its length, 0 without the job line. */
DWORD LMJ_BuildTrailer(char *out, const HeaderParams *params, const MonitorPort *port);
/* Sends "USTATUSOFF"; FALSE when it may not be sent or the port could not be opened. */
BOOL LMJ_SendUstatusOff(MonitorPort *port);

/* ---- Worker threads ------------------------------------------------------------------ */

BOOL LMS_StartPollThread(MonitorPort *port);
/*
 * Wakes the port's worker, if one runs, under the port's lock (a finishing
 * worker clears its event under that lock before closing it).  `suspend`
 * also asks it to end.  TRUE when a worker was woken.
 */
BOOL LMS_SignalWorker(MonitorPort *port, bool suspend);
/* The device's free receive blocks, which the poll worker and the job's thread both read and write. */
inline signed char LMS_FreeBlocks(MonitorPort *port)
{
    return std::atomic_ref<signed char>(port->deviceFreeBlocks).load();
}
inline void LMS_SetFreeBlocks(MonitorPort *port, signed char blocks)
{
    std::atomic_ref<signed char>(port->deviceFreeBlocks).store(blocks);
}
BOOL LMS_IsIdle(MonitorPort *port);
BOOL LMS_OpenForStatus(MonitorPort *port);
BOOL LMS_ReleaseAllJobs(MonitorPort *port);
LONG LMS_RefreshStatus(const WCHAR *printerName, MonitorPort *port);
BOOL LMS_EndPollStatus(MonitorPort *port);
/* One poll cycle of the device. */
BOOL LMS_PollRound(MonitorPort *port);
/* The display language by SNMP (network ports). */
LONG LMN_GetDisplayLang(MonitorPort *port);
/* Stops the port's worker and joins it (bounded); no lock may be held. */
void LMS_StopWorker(MonitorPort *port);


/* ---- Device ID and the device status block ------------------------------------ */

/* Bytes of the decoded "STS:" block, and how many of them the decoder can fill. */
constexpr size_t LM_STATUS_BLOCK_BYTES = 75;
constexpr size_t LM_STATUS_BLOCK_FILLED = 66;
/* Characters of the "STS:" field's value. */
constexpr size_t LM_STATUS_FIELD_CHARS = 90;

struct DeviceStatusBlock {
    BYTE bytes[LM_STATUS_BLOCK_BYTES];
};

/* The device ID of the supported model: every known field taken. */
void LMS_ParseDeviceId(const char *text, MonitorPort *port);
/* The device ID of another device: manufacturer and model only. */
void LMS_ParseForeignDeviceId(const char *text, MonitorPort *port);
/* Field parsers; each takes the text after its key and answers whether a value changed. */
bool LMS_SetManufacturer(const char *text, MonitorPort *port);
bool LMS_ParseModel(const char *text, MonitorPort *port);
bool LMS_ParseCommandSet(const char *text, MonitorPort *port);
/* Decodes an "STS:" value (the text after the key); false, block untouched, when it is not exactly valid. */
bool LMS_DecodeStatusField(const char *text, DeviceStatusBlock *block);
/* Spreads a decoded block over the port's status values, device information and flow figures. */
int LMS_ApplyStatusBlock(const DeviceStatusBlock *block, MonitorPort *port);
/* The status class of a status code for a table selector; 0 outside the tables. */
DWORD LMS_StatusClass(DWORD code, DWORD selector);
/* Icon state and "PrinterStatus" words of a class; false (all 0) for a class without a row. */
bool LMS_StatusClassWords(DWORD statusClass, DWORD *icon, DWORD words[3]);
/* "PrinterOptConfig" editing: true when the list changed. */
bool LMS_AddOption(WORD code, WORD key, DWORD value, MonitorPort *port);
bool LMS_RemoveOption(WORD code, WORD key, MonitorPort *port);

/* True for a port whose name begins with "QZUSB" (any case). */
bool LMP_IsQzusbPort(const MonitorPort *port);

/* Frees the port's reply parser and the record it holds. */
void LMS_FreeReplyParser(MonitorPort *port);

/* ---- The "LM_" values: the device information of the port bound last ----------- */

/* Points the process-wide table at this port's device information and stamps it. */
void LMS_BindLmValues(MonitorPort *port);
/* Forgets the port when the table points at it (the port is being freed). */
void LMS_UnbindLmValues(MonitorPort *port);
/* True when the table was never bound, is bound to another port, or was bound 1000 ms ago or more (or in the future). */
bool LMP_LmValuesStale(const MonitorPort *port);
/*
 * The "LM_" value `name` (UTF-16, at most 255 characters, case-sensitive):
 * size 0 reports its size in *valueSize and answers 1; with a buffer copies
 * min(size, value size) bytes and answers 1; 0 for an unknown name or an
 * unbound table.
 */
int LMP_AnswerLmValue(const WCHAR *name, void *out, DWORD size, DWORD *valueSize);

#endif /* TARVEL_LANGMON_STATUS_H */
