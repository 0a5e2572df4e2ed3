/*
 * The language monitor's internal interface: the process-wide state, the
 * port record and its bits, and every operation the monitor's sources call
 * one another by, including those whose work is not built yet (their
 * stand-ins live in pending.cpp).
 *
 * Memory: records, buffers and string copies come zero-filled from the
 * monitor's private heap (LMU_Alloc), created at process attach and
 * destroyed at detach.
 *
 * Threads: the global lock guards the port list and the creation and
 * destruction of ports.  A port's state bits are changed from the spooler's
 * threads and the port's worker at once, so they are only touched through
 * LMP_SetState / LMP_ClearState / LMP_TestState, which are atomic; a plain
 * read-modify-write there could lose a bit that another thread set.
 */
#ifndef TARVEL_LANGMON_MONITOR_H
#define TARVEL_LANGMON_MONITOR_H

#include <plat/printmon.h>
#include <plat/sync.h>
#include <plat/types.h>

#include <cstddef>

/* ---- Process-wide state ----------------------------------------------------- */

struct MonitorPort;

struct MonitorGlobals {
    HANDLE heap;                /* private heap, created at process attach */
    CRITICAL_SECTION lock;      /* guards the port list, port creation and destruction */
    LONG lockDepth;             /* entries minus exits of `lock` */
    MonitorPort *portList;      /* first port record */
    DWORD osMajor, osMinor;     /* from GetVersionExW at InitializePrintMonitor2; 0 when it failed */
    HANDLE monitorHandle;       /* the 8-byte block handed to the spooler; holds the MONITORINIT pointer */
    HMODULE module;             /* this library's instance handle */
    DWORD ignoredJobStatus;     /* JOB_INFO_1 status bits of jobs that do not count as queued */
    BOOL attached;              /* process attach ran and detach has not */
    BOOL winsockStarted;        /* WSAStartup succeeded for the first open port */
};

extern MonitorGlobals g_lm;

/* Ignored-job status masks: before Windows XP, and XP onward (adds JOB_STATUS_COMPLETE). */
constexpr DWORD LM_IGNORED_JOBS_PRE_XP = 0x195;
constexpr DWORD LM_IGNORED_JOBS_XP = 0x1195;

/* The library's entry: process attach creates the heap and the lock, detach removes them. */
BOOL LMP_DllEntry(HMODULE module, DWORD reason, LPVOID reserved);

/* The spooler's MONITORINIT kept by InitializePrintMonitor2, or null (never initialised, or shut down). */
PMONITORINIT LMP_MonitorInit();

bool LMP_IsXpOrLater();
bool LMP_IsVistaOrLater();

/* ---- Small helpers (heap, strings) ---------------------------------------- */

/* A zero-filled block of the monitor heap; null when the heap refuses or does not exist. */
void *LMU_Alloc(SIZE_T bytes);
/* Frees a block of the monitor heap when not null. */
void LMU_Free(void *p);
/* Heap copies of a narrow or UTF-16 string; null for null or when the heap refuses. */
char *LMU_DupNarrow(const char *s);
WCHAR *LMU_DupWide(const WCHAR *s);
/* Heap copy of a UTF-16 string converted to the ANSI code page; null for null or failure. */
char *LMU_WideToAnsi(const WCHAR *s);

/* Heap copy of a UTF-8 string converted to UTF-16; null for null or failure. */
WCHAR *LMU_Utf8ToWide(const char *s);
/*
 * Appends n bytes to the heap buffer *buf of *len bytes: a new buffer of the
 * sum replaces it (the old one freed).  FALSE, nothing changed, when the heap
 * refuses or the length would pass 32 bits.
 */
BOOL LMU_AppendBytes(BYTE **buf, DWORD *len, const void *bytes, DWORD n);
/* Removes the first n bytes of the heap buffer *buf of *len bytes; all of them: freed, null, 0. */
void LMU_DropFront(BYTE **buf, DWORD *len, DWORD n);
/* Appends a narrow string to the heap string *s (null: empty) as a new heap string; FALSE, unchanged, on failure. */
BOOL LMU_AppendString(char **s, const char *tail);
/* First occurrence of c in s, or null. */
const char *LMU_FindChar(const char *s, char c);
/* Byte-wise comparison of n bytes: the difference of the first unequal (unsigned) bytes, 0 when equal. */
int LMU_CompareBytes(const void *a, const void *b, DWORD n);
/* 64-bit applicability masks taken as two 32-bit halves: any common bit; unequal; copy. */
bool LMU_MaskIntersects(ULONGLONG a, ULONGLONG b);
bool LMU_MaskDiffers(ULONGLONG a, ULONGLONG b);
void LMU_SetMask(ULONGLONG *dst, ULONGLONG src);

/*
 * Length of a UTF-16 name that must end within `max` characters: the
 * length, or -1 for a null name or one without a terminator in that reach
 * (never reads past name[max]).
 */
constexpr int LM_MAX_NAME = 1024;
int LMU_BoundedLength(const WCHAR *name, int max = LM_MAX_NAME);

/* ---- Port record ------------------------------------------------------------ */

struct ServedPrinter;
struct StatusVariable;
struct ReplyParser;
struct TcpClient;
struct SnmpSession;
struct JobQueueEntry;

/* State bits of MonitorPort::stateFlags. */
constexpr DWORD ST_JOB_OPEN = 0x1;
constexpr DWORD ST_POLL_RUN = 0x2;
constexpr DWORD ST_POLL_STARTED = 0x4;
constexpr DWORD ST_HEADER_SENT = 0x10;
constexpr DWORD ST_HEADER_DUE = 0x20;
constexpr DWORD ST_PORT_OPEN = 0x40;
constexpr DWORD ST_IDENTIFIED = 0x80;
constexpr DWORD ST_END_REQUESTED = 0x200;
constexpr DWORD ST_NO_DOCINFO = 0x1000;
constexpr DWORD ST_UNREACHABLE = 0x2000;
constexpr DWORD ST_FRESH = 0x8000;
constexpr DWORD ST_JOB_FINISHED = 0x40000;
constexpr DWORD ST_DISCARD = 0x100000;
constexpr DWORD ST_END_SENT = 0x800000;
constexpr DWORD ST_TERMINATED = 0x4000000;
constexpr DWORD ST_CLOSING = 0x40000000;
/* State bits the reply reader keeps from one read to the next. */
constexpr DWORD LM_ST_REPLY_DONE = 0x20000;
constexpr DWORD LM_ST_REPLY_WAIT = 0x80000;
constexpr DWORD LM_ST_REPLY_QUERY = 0x2000000;
constexpr DWORD LM_ST_REPLY_PENDING = 0x20000000;

/* Kind bits of MonitorPort::portKind, fixed when the port opens. */
constexpr DWORD KIND_ANY = 0x1;
constexpr DWORD KIND_USB = 0x2;
constexpr DWORD KIND_BIDI = 0x4;
constexpr DWORD KIND_COM = 0x10;
constexpr DWORD KIND_LOCAL = 0x20;
constexpr DWORD KIND_UNC = 0x40;
constexpr DWORD KIND_NETWORK = 0x100;

constexpr DWORD LM_PORT_SIGNATURE = 0x4F50; /* "PO" */
constexpr DWORD LM_NO_TICK = 0xFFFFFFFF;
constexpr DWORD LM_DEVICE_INFO_BYTES = 212;
constexpr size_t LM_TEXT_ID = 81;

/* A job passed to the device and not yet released to the spooler. */
struct JobQueueEntry {
    DWORD jobId;
    char identifier[LM_TEXT_ID];
    char jobName[LM_TEXT_ID];
    ServedPrinter *printer;
    DWORD flags;
    JobQueueEntry *next;
};

/* One input tray of the device information block. */
struct DeviceTrayRow {
    DWORD number;
    DWORD kind; /* 5 for the first row, 3 for the others */
    DWORD numberAgain;
    DWORD mediaCode;
    DWORD paperCode;
    DWORD shortEdge; /* tenths of a millimetre */
    DWORD longEdge;
    DWORD feedFlags;
};
static_assert(sizeof(DeviceTrayRow) == 32, "DeviceTrayRow layout");

/* What the device's status block says about its hardware: the "LM_" values. */
struct DeviceInfoBlock {
    char systemName[32];
    DWORD memoryKB;
    DWORD memoryMB;
    WORD hardDisk;
    WORD ramDisk;
    WORD duplexUnit;
    WORD reserved;
    DWORD trayCount;
    DeviceTrayRow trays[5];
};
static_assert(sizeof(DeviceInfoBlock) == LM_DEVICE_INFO_BYTES, "DeviceInfoBlock layout");
static_assert(offsetof(DeviceInfoBlock, trayCount) == 48 && offsetof(DeviceInfoBlock, trays) == 52,
              "DeviceInfoBlock offsets");

/* List head of the job records built from device replies. */
struct JobRecordList {
    DWORD count;
    void *first;
};

/*
 * One port opened through the monitor: a zero-filled heap block, this fixed
 * part followed directly by the port name (UTF-16 with its terminator).
 */
struct MonitorPort {
    DWORD signature;
    DWORD recordSize;
    MonitorPort *next;
    WCHAR *portName;
    DWORD stateFlags; /* ST_ bits: through LMP_SetState / LMP_ClearState / LMP_TestState only */
    WCHAR *printerName;
    DWORD jobId;
    DWORD docInfoLevel;
    void *docInfo;
    HANDLE portHandle;
    DWORD portKind;
    ServedPrinter *servedPrinters;
    ServedPrinter *jobPrinter;
    JobQueueEntry *jobQueueHead, *jobQueueTail;
    StatusVariable *statusVariables;
    ReplyParser *replyParser;
    DWORD pendingLength;
    BYTE *pendingOutput;
    char *partialReply;
    HANDLE portMutex;
    HANDLE threadEvent;
    HANDLE spareMutex;
    HANDLE closeEvent;
    DWORD endDocTick;
    DWORD stallTick;
    LONG savedPriority;
    HANDLE priorityThread;  /* the thread "PrintingPriority" changed (its pseudo handle), null when none */
    DWORD priorityThreadId; /* its id, so that only that thread puts its priority back */
    ULONGLONG modelMask;
    ServedPrinter *selectedPrinter;
    JobRecordList *jobRecordQueue;
    DWORD lastPageCount;
    DWORD replyCarry;
    MONITOR2 portMonitor;
    DWORD portMode;
    DWORD flowing;
    CRITICAL_SECTION *portLock;
    LONG portLockDepth;
    LONG writeBlocked;
    HANDLE threadEndedEvent;
    DWORD suspendRequested;
    DWORD wakeUpPolling;
    DWORD jobStarted;
    DWORD errorWait;
    DWORD errorWaitTick;
    DWORD ustatusOffDue;
    char jobIdentifier[LM_TEXT_ID];
    char heldTail[LM_TEXT_ID];
    LONG streamLanguage;
    char streamJobIdentifier[LM_TEXT_ID];
    DWORD inspectionDone;
    DWORD releaseOnIdle;
    DWORD statusPortOpen;
    DWORD deviceIdRetry;
    DWORD dataWritten;
    BYTE jobRecordScratch[48];
    DWORD pollCycle;
    DWORD lastWriteError;
    DWORD writeFailed;
    DWORD releaseCount;
    DWORD jobReleased; /* the open job (jobId) was released or deleted in the spooler already */
    DWORD usbResidue;
    BYTE residueByte;
    DWORD residueLength;
    DeviceInfoBlock deviceInfo;
    DWORD serviceTagState;
    DWORD refreshActive;
    char serviceTag[8];
    DWORD displayLangState;
    DWORD displayLang;
    DWORD streamHasUel;
    DWORD trailerOwed;
    DWORD postScriptJob;
    DWORD deviceIdAnswered;
    DWORD jobEndSeen;
    DWORD jobEndCount;
    DWORD busy;
    DWORD deviceFreeBytes;
    BYTE deviceBlockKB;
    signed char deviceFreeBlocks; /* read and written through LMS_FreeBlocks / LMS_SetFreeBlocks */
    DWORD devicePrinting;
    DWORD idleSkip;
    DWORD cancelSeen;
    DWORD jobIdFromStream;
    DWORD uelSkipped; /* the stream's leading universal exit was reported written (once per job) */
    TcpClient *tcpClient; /* a tool's kept connection: changed under portLock only (tool_exchange.cpp) */
    DWORD toolClientTurn; /* counts the changes of tcpClient */
    SnmpSession *snmpSession;
    char *community;
    DWORD lastSeverity;
    DWORD managerWorker;
    HANDLE workerThread; /* the running (or last) worker, joined before the record goes */
    void *endedThreads; /* manager threads that released their own records, joined before the record goes */
};

/* Atomic changes and tests of a port's state bits. */
void LMP_SetState(MonitorPort *port, DWORD bits);
void LMP_ClearState(MonitorPort *port, DWORD bits);
bool LMP_TestState(const MonitorPort *port, DWORD bits);
DWORD LMP_State(const MonitorPort *port);

/* Enter or leave the port's lock (the global lock for null), counting the depth. */
/*
 * The busy word gates the spooler's calls on a port; the poll worker resets
 * it too, so it is read and written atomically.
 */
inline DWORD LMP_Busy(const MonitorPort *port) { return __atomic_load_n(&port->busy, __ATOMIC_ACQUIRE); }
inline void LMP_SetBusy(MonitorPort *port, DWORD busy) { __atomic_store_n(&port->busy, busy, __ATOMIC_RELEASE); }

/* Port words that the spooler's threads and the poll worker both change, read and written atomically. */
inline DWORD LMP_LoadWord(const DWORD &word) { return __atomic_load_n(&word, __ATOMIC_ACQUIRE); }
inline void LMP_StoreWord(DWORD &word, DWORD value) { __atomic_store_n(&word, value, __ATOMIC_RELEASE); }

void LMP_Lock(MonitorPort *port);
void LMP_Unlock(MonitorPort *port);

/* Allocates and initialises a record and appends it to the port list; null when that fails. */
MonitorPort *LMP_CreatePort(const WCHAR *portName, const WCHAR *printerName);
/* Unlinks and frees a record; FALSE when it was not in the list. */
BOOL LMP_FreePort(MonitorPort *port);
/* The record of that port name (any case) from `first` on, or null.  Caller holds the global lock. */
MonitorPort *LMP_FindPort(MonitorPort *first, const WCHAR *name);
/* True when `port` is a record of the port list.  Caller holds the global lock. */
bool LMP_InPortList(const MonitorPort *port);

/* Port kinds. */
void LMP_ClassifyPort(MonitorPort *port);
bool LMP_IsUsbPort(const WCHAR *name);
bool LMP_IsComPort(const WCHAR *name);
bool LMP_IsStandardTcpIpPort(const WCHAR *name);
/* The address of a Standard TCP/IP port in the ANSI code page (heap string), or null. */
char *LMP_GetTcpPortAddress(const WCHAR *name);
/* Refreshes portMode from "MyPortMode". */
void LMP_ReadMyPortMode(MonitorPort *port);

/* Jobs passed to the device and not yet released. */
BOOL LMJ_QueueJob(DWORD jobId, MonitorPort *port);
/* Frees every queued entry (no job is released).  Caller holds the port's lock or owns the record. */
void LMJ_FreeJobQueue(MonitorPort *port);
BOOL LMJ_SetQueuedJobText(const char *text, DWORD which, MonitorPort *port);
JobQueueEntry *LMJ_FindQueuedJob(const char *text, DWORD which, MonitorPort *port);

/* ---- Port I/O through the port monitor ----------------------------------------- */

#ifndef ERROR_GEN_FAILURE
#define ERROR_GEN_FAILURE 31L
#endif
#ifndef ERROR_TIMEOUT
#define ERROR_TIMEOUT 1460L
#endif
#ifndef WSAECONNRESET
#define WSAECONNRESET 10054L
#endif
#ifndef ERROR_PRINT_CANCELLED
#define ERROR_PRINT_CANCELLED 63L
#endif

/* How long the monitor waits for a port's mutex at a time. */
constexpr DWORD LM_PORT_WAIT_MS = 30000;

/* The port monitor's StartDocPort; COM ports pause 100 ms first, USB ports get their time-outs after. */
BOOL LMP_PortStartDoc(MonitorPort *port, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo);
/* LMP_PortStartDoc with the monitor's own status document (job 0xFFFFFFFF, level 3, "RVQMON Doc"). */
BOOL LMP_OpenStatusDoc(MonitorPort *port);
/* The port monitor's EndDocPort; COM ports pause 100 ms after. */
BOOL LMP_PortEndDoc(MonitorPort *port);
/* The time-outs of ports other than USB; FALSE when the port monitor has no SetPortTimeOuts. */
BOOL LMP_SetDefaultTimeouts(MonitorPort *port);
/*
 * The port monitor's ReadPort.  From Windows XP on, a USB read failing with
 * ERROR_GEN_FAILURE and no data succeeds with the size rounded down to 64
 * bytes, zero-filled (last error left at ERROR_GEN_FAILURE).
 */
BOOL LMP_PortRead(MonitorPort *port, LPBYTE buffer, DWORD size, LPDWORD read);
/*
 * The port monitor's WritePort under free-memory flow control (portMode bit
 * 0x2): without room on the device it answers TRUE with 0 written and sets
 * writeFailed.  Records USB write failures; keeps the port monitor's last error.
 */
BOOL LMP_PortWrite(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written);
/* Free blocks a write needs: 2 when the job's printer is bound to the status manager, else 5. */
DWORD LMP_FlowThreshold(const MonitorPort *port);
/* Zeroes *count (when given); false with ERROR_INVALID_PARAMETER for a null port or a null buffer of some length. */
bool LMP_CheckIo(const MonitorPort *port, const void *buffer, DWORD length, LPDWORD count);
/* Lowers deviceFreeBytes by `bytes`, stopping at 0. */
void LMP_LowerFreeBytes(MonitorPort *port, DWORD bytes);
/*
 * Sends data the monitor made itself.  Pending output goes first; data that
 * cannot go is kept as pending output with keepOnFailure; each write is
 * tried up to 50 times, 1000 ms apart.  With onlyIfIdentified nothing is
 * sent unless the port is bidirectional and the device identified.
 */
BOOL LMP_SendControlData(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written, BOOL keepOnFailure,
                         BOOL onlyIfIdentified);
/* Job data in one write; FALSE only for a reset connection or a cancelled print.  Keeps the tail. */
BOOL LMP_WriteJobDataDirect(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written);
/* At most 4096 bytes of job data under flow control; keeps the tail; always 1 for a valid port. */
BOOL LMP_WriteJobDataPaced(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written);
/*
 * Reads everything a bidirectional port has queued, appended to the heap
 * buffer *buffer (capacity and used length given), which grows by 4096
 * bytes at a time.  Other ports: TRUE at once.
 */
BOOL LMP_ReadAll(MonitorPort *port, BYTE **buffer, DWORD *capacity, DWORD *length);
/* Reads everything a bidirectional port has queued and feeds it to the reply parser. */
BOOL LMS_ReadFromPort(MonitorPort *port, BOOL notify);

/* ---- Job identifiers ------------------------------------------------------------ */

/* Characters of a local identifier (without the terminator) and bytes a network one may need. */
constexpr size_t LM_JOB_ID_CHARS = 24;
constexpr size_t LM_GUID_ID_BYTES = 33;

/* 16-bit CRC of a narrow string with the identifier's nibble tables (0 for null). */
WORD JobIdCrc(const char *text);
/*
 * Writes the local identifier (24 hex digits and a terminator, 25 bytes):
 * the leading number's low byte, the first 5 bytes of the computer name
 * ("00" past its end), the CRC of the whole name (of "********" when it is
 * null or empty) and GetTickCount.
 */
void LMJ_FormatJobId(char *out, const char *computerName, DWORD leading);
/* A new local identifier for this computer (25 bytes), leading number 3. */
void LMJ_MakeJobId(char *out);
/* A new network identifier from a new GUID (24 to 32 hex digits; out holds at least 33 bytes). */
void LMJ_MakeGuidJobId(char *out);

/* ---- Monitor functions (MONITOR2 members) -------------------------------------- */

extern "C" LPMONITOR2 InitializePrintMonitor2(PMONITORINIT pMonitorInit, PHANDLE phMonitor);

BOOL LMP_OpenPortEx(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR pPrinterName, PHANDLE pHandle,
                    MONITOR2 *pMonitor2);
BOOL LMP_ClosePort(HANDLE hPort);
void LMP_Shutdown(HANDLE hMonitor);

/* ---- Work of other parts of the monitor, most not built yet (pending.cpp) ------- */

/* The job road. */
BOOL StartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
BOOL WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
BOOL EndDocPort(HANDLE hPort);
/* Port input through the port monitor (port_io.cpp). */
BOOL ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
/* Named requests and pass-through control codes. */
BOOL GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer, DWORD cbInBuffer,
                            LPWSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned);

/* Status values of a port: while no port holds a status table, these have nothing to change. */
void LMS_SeedPrinterStatus(MonitorPort *port, BOOL publish);
BOOL LMS_ClearErrorValues(MonitorPort *port, BOOL notify);
void LMS_ClearJobStatus(MonitorPort *port);
void LMS_ResetDeviceValues(MonitorPort *port, BOOL notify);
void LMS_UpdateExtStatus(MonitorPort *port);
/* Clears bits of "PrinterExtStatus"; TRUE when it held a value. */
BOOL LMS_ClearExtStatusBits(MonitorPort *port, DWORD bits);
void LMS_FreeStatusVariables(MonitorPort *port);

/* True when a served printer is bound to the status manager (has its module and manager handle). */
bool LMS_IsBoundToManager(const ServedPrinter *printer);
/* Reads and parses the device ID; true when the device answered as the supported model. */
bool LMS_QueryDeviceId(MonitorPort *port);
/*
 * Feeds reply text to the PJL reply parser from *cursor on: 0 a reply was
 * consumed (cursor behind it), 1 unfinished (text from cursor is kept),
 * 2 stop, 6 skipping.  `flags` carries the parser's flags across calls.
 */
int LMS_FeedReply(const char *text, const char **cursor, MonitorPort *port, BOOL notify, DWORD *flags);

/* Job bookkeeping at the end of a port's jobs. */
BOOL LMS_FinishJobs(MonitorPort *port, BOOL deleteCurrent);
/* Bringing the served printers in line with the spooler's printers on the port. */
BOOL LMS_PublishToManager(MonitorPort *port);
/* SNMP session of a network port. */
SnmpSession *LMN_OpenSession(const char *address, const char *community);
void LMN_CloseSession(SnmpSession *session);

#endif /* TARVEL_LANGMON_MONITOR_H */
