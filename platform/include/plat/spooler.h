/*
 * The print spooler of the simulated machine: printers, printer drivers,
 * printer data, forms, ports and print jobs, under the Windows client
 * functions' names, plus an install and inspection API (namespace plat) for
 * the host and the tests.
 *
 * State.  Everything the spooler holds (drivers, ports, printers with their
 * devmodes and printer data, user forms, the job list) lives in the machine
 * folder, in "<root>/spooler/spooler.dat", rewritten whole (a new file, then
 * a rename) on every change, so that what one process installs and writes is
 * read back by the next process that calls plat::machine_reset on the same
 * folder.  A missing file is an empty spooler; a damaged one is set aside as
 * "spooler.dat.corrupt" with a warning on stderr, and the spooler starts
 * empty.  Each job's bytes are kept in "<root>/spooler/jobs/<id>.spl", the
 * length asked of each WritePrinter call in "<id>.sizes" (32-bit each).
 *
 * Driver directory.  "C:\Windows\System32\spool\drivers\x64\3" is, once a
 * driver is installed on the machine, the real folder of that path below the
 * machine root (it is mounted there, over any mount of the build's driver
 * folder).  The first install links every file of the folder the driver
 * directory showed before (the build's driver folder: the libraries) into
 * it, then copies or links the files it is given; a machine with no driver
 * installed leaves the mount alone.
 *
 * Access.  The current user is an administrator or an ordinary user
 * (plat::spool_set_current_user_rights).  An administrator gets any access
 * he asks for.  An ordinary user gets what each printer grants users
 * (PRINTER_ACCESS_USE and READ_CONTROL unless the printer says otherwise);
 * a request for more (PRINTER_ALL_ACCESS, PRINTER_ACCESS_ADMINISTER, DELETE,
 * WRITE_DAC, WRITE_OWNER) is refused with ERROR_ACCESS_DENIED.  Changing a
 * printer, its printer data or the forms needs PRINTER_ACCESS_ADMINISTER on
 * the handle (SERVER_ACCESS_ADMINISTER on a server handle for forms).
 *
 * Names.  Printer, driver, port, form and printer-data names compare
 * ignoring case, as Windows does.
 *
 * Buffers.  The Get and Enum functions fill the caller's buffer with the
 * fixed records first and the strings (and a devmode) packed behind them.  A
 * buffer shorter than needed gets nothing, FALSE with
 * ERROR_INSUFFICIENT_BUFFER and *pcbNeeded = the size needed (the printer
 * data functions return ERROR_MORE_DATA instead).
 *
 * Threads.  One lock guards the whole spooler; every function may be called
 * from any thread.  machine_reset closes every printer handle; a job still
 * open then ends where it stopped.
 */
#ifndef PLAT_SPOOLER_H
#define PLAT_SPOOLER_H

#include <plat/access.h>
#include <plat/types.h>

#include <string>
#include <string_view>
#include <vector>

/* The public devmode record (220 bytes, defined with the GDI services); the spooler keeps it as bytes. */
struct DEVMODEW;
typedef DEVMODEW *PDEVMODEW;
typedef DEVMODEW *LPDEVMODEW;
typedef HANDLE *LPHANDLE;

/* ---- Access rights (the shared ones in plat/access.h) -------------------- */

#define SERVER_ACCESS_ADMINISTER 0x00000001u
#define SERVER_ACCESS_ENUMERATE 0x00000002u
#define PRINTER_ACCESS_ADMINISTER 0x00000004u
#define PRINTER_ACCESS_USE 0x00000008u
#define PRINTER_ACCESS_MANAGE_LIMITED 0x00000040u
#define PRINTER_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | PRINTER_ACCESS_ADMINISTER | PRINTER_ACCESS_USE)
#define PRINTER_READ (STANDARD_RIGHTS_READ | PRINTER_ACCESS_USE)
#define PRINTER_WRITE (STANDARD_RIGHTS_WRITE | PRINTER_ACCESS_USE)
#define PRINTER_EXECUTE (STANDARD_RIGHTS_EXECUTE | PRINTER_ACCESS_USE)
#define SERVER_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SERVER_ACCESS_ADMINISTER | SERVER_ACCESS_ENUMERATE)
#define SERVER_READ (STANDARD_RIGHTS_READ | SERVER_ACCESS_ENUMERATE)
#define SERVER_WRITE (STANDARD_RIGHTS_WRITE | SERVER_ACCESS_ADMINISTER | SERVER_ACCESS_ENUMERATE)
#define SERVER_EXECUTE (STANDARD_RIGHTS_EXECUTE | SERVER_ACCESS_ENUMERATE)

/* ---- Value types of printer data (the registry's) ----------------------- */

#ifndef REG_NONE
#define REG_NONE 0u
#endif
#ifndef REG_SZ
#define REG_SZ 1u
#endif
#ifndef REG_EXPAND_SZ
#define REG_EXPAND_SZ 2u
#endif
#ifndef REG_BINARY
#define REG_BINARY 3u
#endif
#ifndef REG_DWORD
#define REG_DWORD 4u
#endif
#ifndef REG_MULTI_SZ
#define REG_MULTI_SZ 7u
#endif
#ifndef REG_QWORD
#define REG_QWORD 11u
#endif

/* ---- Last errors of the spooler not listed in plat/types.h -------------- */

#ifndef ERROR_PRINT_CANCELLED
#define ERROR_PRINT_CANCELLED 63L
#endif
#ifndef ERROR_INVALID_LEVEL
#define ERROR_INVALID_LEVEL 124L
#endif
#ifndef ERROR_PRINTER_DRIVER_ALREADY_INSTALLED
#define ERROR_PRINTER_DRIVER_ALREADY_INSTALLED 1795L
#endif
#ifndef ERROR_UNKNOWN_PORT
#define ERROR_UNKNOWN_PORT 1796L
#endif
#ifndef ERROR_PRINTER_ALREADY_EXISTS
#define ERROR_PRINTER_ALREADY_EXISTS 1802L
#endif
#ifndef ERROR_INVALID_ENVIRONMENT
#define ERROR_INVALID_ENVIRONMENT 1805L
#endif
#ifndef ERROR_INVALID_FORM_SIZE
#define ERROR_INVALID_FORM_SIZE 1903L
#endif
#ifndef ERROR_INVALID_PRINTER_STATE
#define ERROR_INVALID_PRINTER_STATE 1906L
#endif
#ifndef ERROR_SPL_NO_STARTDOC
#define ERROR_SPL_NO_STARTDOC 3003L
#endif

/* ---- Printer flags, attributes, status, controls ------------------------ */

#define PRINTER_ENUM_DEFAULT 0x00000001u
#define PRINTER_ENUM_LOCAL 0x00000002u
#define PRINTER_ENUM_CONNECTIONS 0x00000004u
#define PRINTER_ENUM_FAVORITE 0x00000004u
#define PRINTER_ENUM_NAME 0x00000008u
#define PRINTER_ENUM_REMOTE 0x00000010u
#define PRINTER_ENUM_SHARED 0x00000020u
#define PRINTER_ENUM_NETWORK 0x00000040u
#define PRINTER_ENUM_ICON8 0x00800000u /* Flags of PRINTER_INFO_1W for a printer */

#define PRINTER_ATTRIBUTE_QUEUED 0x00000001u
#define PRINTER_ATTRIBUTE_DIRECT 0x00000002u
#define PRINTER_ATTRIBUTE_DEFAULT 0x00000004u
#define PRINTER_ATTRIBUTE_SHARED 0x00000008u
#define PRINTER_ATTRIBUTE_NETWORK 0x00000010u
#define PRINTER_ATTRIBUTE_HIDDEN 0x00000020u
#define PRINTER_ATTRIBUTE_LOCAL 0x00000040u
#define PRINTER_ATTRIBUTE_ENABLE_DEVQ 0x00000080u
#define PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS 0x00000100u
#define PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST 0x00000200u
#define PRINTER_ATTRIBUTE_WORK_OFFLINE 0x00000400u
#define PRINTER_ATTRIBUTE_ENABLE_BIDI 0x00000800u
#define PRINTER_ATTRIBUTE_RAW_ONLY 0x00001000u
#define PRINTER_ATTRIBUTE_PUBLISHED 0x00002000u

#define PRINTER_STATUS_PAUSED 0x00000001u
#define PRINTER_STATUS_ERROR 0x00000002u
#define PRINTER_STATUS_PENDING_DELETION 0x00000004u
#define PRINTER_STATUS_PAPER_JAM 0x00000008u
#define PRINTER_STATUS_PAPER_OUT 0x00000010u
#define PRINTER_STATUS_MANUAL_FEED 0x00000020u
#define PRINTER_STATUS_PAPER_PROBLEM 0x00000040u
#define PRINTER_STATUS_OFFLINE 0x00000080u
#define PRINTER_STATUS_IO_ACTIVE 0x00000100u
#define PRINTER_STATUS_BUSY 0x00000200u
#define PRINTER_STATUS_PRINTING 0x00000400u
#define PRINTER_STATUS_OUTPUT_BIN_FULL 0x00000800u
#define PRINTER_STATUS_NOT_AVAILABLE 0x00001000u
#define PRINTER_STATUS_WAITING 0x00002000u
#define PRINTER_STATUS_PROCESSING 0x00004000u
#define PRINTER_STATUS_INITIALIZING 0x00008000u
#define PRINTER_STATUS_WARMING_UP 0x00010000u
#define PRINTER_STATUS_TONER_LOW 0x00020000u
#define PRINTER_STATUS_NO_TONER 0x00040000u
#define PRINTER_STATUS_PAGE_PUNT 0x00080000u
#define PRINTER_STATUS_USER_INTERVENTION 0x00100000u
#define PRINTER_STATUS_OUT_OF_MEMORY 0x00200000u
#define PRINTER_STATUS_DOOR_OPEN 0x00400000u
#define PRINTER_STATUS_SERVER_UNKNOWN 0x00800000u
#define PRINTER_STATUS_POWER_SAVE 0x01000000u

/* SetPrinterW level 0 commands. */
#define PRINTER_CONTROL_PAUSE 1u
#define PRINTER_CONTROL_RESUME 2u
#define PRINTER_CONTROL_PURGE 3u
#define PRINTER_CONTROL_SET_STATUS 4u

/* ---- Forms -------------------------------------------------------------- */

#define FORM_USER 0x00000000u
#define FORM_BUILTIN 0x00000001u
#define FORM_PRINTER 0x00000002u

/* ---- Jobs --------------------------------------------------------------- */

#define JOB_CONTROL_PAUSE 1u
#define JOB_CONTROL_RESUME 2u
#define JOB_CONTROL_CANCEL 3u
#define JOB_CONTROL_RESTART 4u
#define JOB_CONTROL_DELETE 5u
#define JOB_CONTROL_SENT_TO_PRINTER 6u
#define JOB_CONTROL_LAST_PAGE_EJECTED 7u
#define JOB_CONTROL_RETAIN 8u
#define JOB_CONTROL_RELEASE 9u

#define JOB_STATUS_PAUSED 0x00000001u
#define JOB_STATUS_ERROR 0x00000002u
#define JOB_STATUS_DELETING 0x00000004u
#define JOB_STATUS_SPOOLING 0x00000008u
#define JOB_STATUS_PRINTING 0x00000010u
#define JOB_STATUS_OFFLINE 0x00000020u
#define JOB_STATUS_PAPEROUT 0x00000040u
#define JOB_STATUS_PRINTED 0x00000080u
#define JOB_STATUS_DELETED 0x00000100u
#define JOB_STATUS_BLOCKED_DEVQ 0x00000200u
#define JOB_STATUS_USER_INTERVENTION 0x00000400u
#define JOB_STATUS_RESTART 0x00000800u
#define JOB_STATUS_COMPLETE 0x00001000u
#define JOB_STATUS_RETAINED 0x00002000u

#define DEF_PRIORITY 1u
#define MIN_PRIORITY 1u
#define MAX_PRIORITY 99u

/* ---- Ports -------------------------------------------------------------- */

#define PORT_TYPE_WRITE 0x0001u
#define PORT_TYPE_READ 0x0002u
#define PORT_TYPE_REDIRECTED 0x0004u
#define PORT_TYPE_NET_ATTACHED 0x0008u

#define PORT_STATUS_TYPE_ERROR 1u
#define PORT_STATUS_TYPE_WARNING 2u
#define PORT_STATUS_TYPE_INFO 3u

#define PORT_STATUS_OFFLINE 1u
#define PORT_STATUS_PAPER_JAM 2u
#define PORT_STATUS_PAPER_OUT 3u
#define PORT_STATUS_OUTPUT_BIN_FULL 4u
#define PORT_STATUS_PAPER_PROBLEM 5u
#define PORT_STATUS_NO_TONER 6u
#define PORT_STATUS_DOOR_OPEN 7u
#define PORT_STATUS_USER_INTERVENTION 8u
#define PORT_STATUS_OUT_OF_MEMORY 9u
#define PORT_STATUS_TONER_LOW 10u
#define PORT_STATUS_WARMING_UP 11u
#define PORT_STATUS_POWER_SAVE 12u

/* ---- Records (x64 layouts; the x86 sizes are checked too) --------------- */

/* What OpenPrinterW is asked for: data type, devmode, access wanted (0: PRINTER_ACCESS_USE). */
struct PRINTER_DEFAULTSW {
    LPWSTR pDatatype;
    DEVMODEW *pDevMode;
    DWORD DesiredAccess;
};
typedef PRINTER_DEFAULTSW *LPPRINTER_DEFAULTSW;

/* Level 1: pDescription is "name,driver,location". */
struct PRINTER_INFO_1W {
    DWORD Flags;
    LPWSTR pDescription;
    LPWSTR pName;
    LPWSTR pComment;
};

struct PRINTER_INFO_2W {
    LPWSTR pServerName; /* null: a local printer */
    LPWSTR pPrinterName;
    LPWSTR pShareName;
    LPWSTR pPortName;
    LPWSTR pDriverName;
    LPWSTR pComment;
    LPWSTR pLocation;
    DEVMODEW *pDevMode; /* null when the printer has none */
    LPWSTR pSepFile;
    LPWSTR pPrintProcessor;
    LPWSTR pDatatype;
    LPWSTR pParameters;
    PVOID pSecurityDescriptor; /* always null */
    DWORD Attributes;
    DWORD Priority;
    DWORD DefaultPriority;
    DWORD StartTime;
    DWORD UntilTime;
    DWORD Status;
    DWORD cJobs;
    DWORD AveragePPM;
};

struct PRINTER_INFO_4W {
    LPWSTR pPrinterName;
    LPWSTR pServerName;
    DWORD Attributes;
};

struct PRINTER_INFO_5W {
    LPWSTR pPrinterName;
    LPWSTR pPortName;
    DWORD Attributes;
    DWORD DeviceNotSelectedTimeout;
    DWORD TransmissionRetryTimeout;
};

struct DRIVER_INFO_1W {
    LPWSTR pName;
};

/* The file members are full Windows paths in the driver directory. */
struct DRIVER_INFO_2W {
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;
    LPWSTR pDataFile;
    LPWSTR pConfigFile;
};

struct DRIVER_INFO_3W {
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;
    LPWSTR pDataFile;
    LPWSTR pConfigFile;
    LPWSTR pHelpFile;
    LPWSTR pDependentFiles; /* full paths, each ended by a zero, the list by one more zero */
    LPWSTR pMonitorName;
    LPWSTR pDefaultDataType;
};

/* A form; sizes and the imageable area in thousandths of a millimetre. */
struct FORM_INFO_1W {
    DWORD Flags;
    LPWSTR pName;
    SIZEL Size;
    RECTL ImageableArea;
};

struct DOC_INFO_1W {
    LPWSTR pDocName;
    LPWSTR pOutputFile; /* null: the job stays in the spooler */
    LPWSTR pDatatype;   /* null: the printer's ("RAW") */
};

struct JOB_INFO_1W {
    DWORD JobId;
    LPWSTR pPrinterName;
    LPWSTR pMachineName;
    LPWSTR pUserName;
    LPWSTR pDocument;
    LPWSTR pDatatype;
    LPWSTR pStatus; /* always null */
    DWORD Status;
    DWORD Priority;
    DWORD Position; /* 1-based place in the printer's queue */
    DWORD TotalPages;
    DWORD PagesPrinted;
    SYSTEMTIME Submitted; /* UTC */
};

struct PORT_INFO_1W {
    LPWSTR pName;
};

struct PORT_INFO_2W {
    LPWSTR pPortName;
    LPWSTR pMonitorName; /* the port monitor's file name, "localspl.dll", "tcpmon.dll", ... */
    LPWSTR pDescription;
    DWORD fPortType;
    DWORD Reserved;
};

struct PORT_INFO_3W {
    DWORD dwStatus;
    LPWSTR pszStatus;
    DWORD dwSeverity;
};

#define PLAT_SPOOL_SIZE(x64, x86) (sizeof(void *) == 8 ? (x64) : (x86))
static_assert(sizeof(PRINTER_DEFAULTSW) == PLAT_SPOOL_SIZE(24, 12), "PRINTER_DEFAULTSW layout");
static_assert(sizeof(PRINTER_INFO_1W) == PLAT_SPOOL_SIZE(32, 16), "PRINTER_INFO_1W layout");
static_assert(sizeof(PRINTER_INFO_2W) == PLAT_SPOOL_SIZE(136, 84), "PRINTER_INFO_2W layout");
static_assert(offsetof(PRINTER_INFO_2W, pDevMode) == PLAT_SPOOL_SIZE(56, 28), "PRINTER_INFO_2W layout");
static_assert(offsetof(PRINTER_INFO_2W, Attributes) == PLAT_SPOOL_SIZE(104, 52), "PRINTER_INFO_2W layout");
static_assert(sizeof(PRINTER_INFO_4W) == PLAT_SPOOL_SIZE(24, 12), "PRINTER_INFO_4W layout");
static_assert(sizeof(PRINTER_INFO_5W) == PLAT_SPOOL_SIZE(32, 20), "PRINTER_INFO_5W layout");
static_assert(sizeof(DRIVER_INFO_2W) == PLAT_SPOOL_SIZE(48, 24), "DRIVER_INFO_2W layout");
static_assert(offsetof(DRIVER_INFO_2W, pDataFile) == PLAT_SPOOL_SIZE(32, 16), "DRIVER_INFO_2W layout");
static_assert(sizeof(DRIVER_INFO_3W) == PLAT_SPOOL_SIZE(80, 40), "DRIVER_INFO_3W layout");
static_assert(sizeof(FORM_INFO_1W) == PLAT_SPOOL_SIZE(40, 32), "FORM_INFO_1W layout");
static_assert(offsetof(FORM_INFO_1W, Size) == PLAT_SPOOL_SIZE(16, 8), "FORM_INFO_1W layout");
static_assert(sizeof(DOC_INFO_1W) == PLAT_SPOOL_SIZE(24, 12), "DOC_INFO_1W layout");
static_assert(sizeof(JOB_INFO_1W) == PLAT_SPOOL_SIZE(96, 64), "JOB_INFO_1W layout");
static_assert(offsetof(JOB_INFO_1W, Status) == PLAT_SPOOL_SIZE(56, 28), "JOB_INFO_1W layout");
static_assert(offsetof(JOB_INFO_1W, Submitted) == PLAT_SPOOL_SIZE(76, 48), "JOB_INFO_1W layout");
static_assert(sizeof(PORT_INFO_2W) == PLAT_SPOOL_SIZE(32, 20), "PORT_INFO_2W layout");
static_assert(sizeof(PORT_INFO_3W) == PLAT_SPOOL_SIZE(24, 12), "PORT_INFO_3W layout");
#undef PLAT_SPOOL_SIZE

/* ---- Printers ----------------------------------------------------------- */

/*
 * Opens a printer by name (ignoring case), the print server (null or empty
 * name), or a port's configuration channel (",XcvPort " + port name).
 * `pDefault` (optional) gives the data type, which must be "RAW", and the
 * access wanted (0 or no `pDefault`: PRINTER_ACCESS_USE, SERVER_ACCESS_ENUMERATE
 * for the server).  Generic rights map to the printer's (GENERIC_ALL to
 * PRINTER_ALL_ACCESS, the others to PRINTER_READ); MAXIMUM_ALLOWED grants
 * what the user may have.  TRUE with *phPrinter set (close with
 * ClosePrinter, not CloseHandle); FALSE with ERROR_INVALID_PRINTER_NAME,
 * ERROR_ACCESS_DENIED, ERROR_INVALID_DATATYPE, ERROR_INVALID_PARAMETER or an
 * injected error, *phPrinter null.
 */
BOOL OpenPrinterW(LPCWSTR pPrinterName, LPHANDLE phPrinter, const PRINTER_DEFAULTSW *pDefault);

/*
 * Closes a printer handle.  A job still open on it is ended as EndDocPrinter
 * ends it.  FALSE with ERROR_INVALID_HANDLE for anything else.
 */
BOOL ClosePrinter(HANDLE hPrinter);

/*
 * The printer's information at level 1, 2, 4 or 5 (ERROR_INVALID_LEVEL
 * otherwise).  Level 2 carries a copy of the printer's devmode behind the
 * strings (null when it has none), Status and cJobs (jobs in its queue).
 * Needs a printer handle (ERROR_INVALID_HANDLE).
 */
BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded);

/*
 * Changes a printer; needs PRINTER_ACCESS_ADMINISTER (ERROR_ACCESS_DENIED).
 * Level 0 with Command PRINTER_CONTROL_PAUSE, _RESUME, _PURGE (deletes every
 * job; a job still being written is deleted when it ends) or _SET_STATUS
 * (pPrinter points to the new status word).  Level 2 with Command 0 takes
 * the record's name (a rename; ERROR_PRINTER_ALREADY_EXISTS when taken),
 * share name, port, driver (ERROR_UNKNOWN_PRINTER_DRIVER when not
 * installed), comment, location, devmode (a copy of dmSize + dmDriverExtra
 * bytes; null keeps the old one; ERROR_INVALID_PARAMETER for a dmSize below
 * 76, the size up to dmFields), separator file, print processor, data
 * type, parameters, attributes, priorities, times and status; null strings
 * keep the old value.  ERROR_INVALID_LEVEL for other levels.
 */
BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, const BYTE *pPrinter, DWORD Command);

/*
 * The local printers at level 1, 2, 4 or 5, in the order they were
 * installed; with PRINTER_ENUM_DEFAULT only the printer with
 * PRINTER_ATTRIBUTE_DEFAULT.  `Name` must be null or empty (this machine).
 * *pcReturned receives the count (0 on failure).
 */
BOOL EnumPrintersW(DWORD Flags, LPCWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                   LPDWORD pcReturned);

/*
 * The printer's driver at level 1, 2 or 3.  `pEnvironment` null or
 * "Windows x64" (else ERROR_INVALID_ENVIRONMENT); ERROR_UNKNOWN_PRINTER_DRIVER
 * when the printer's driver is not installed.
 */
BOOL GetPrinterDriverW(HANDLE hPrinter, LPCWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                       LPDWORD pcbNeeded);

/* ---- Printer data -------------------------------------------------------- */

/*
 * Reads a printer-data value of the key "PrinterDriverData".  Returns
 * ERROR_SUCCESS with the type, the bytes and *pcbNeeded = their count;
 * ERROR_MORE_DATA with the type and *pcbNeeded when nSize is smaller (pData
 * untouched, and may be null); ERROR_FILE_NOT_FOUND for a value that is not
 * there; ERROR_INVALID_HANDLE; ERROR_INVALID_PARAMETER without pcbNeeded.
 * Names beginning "LM_" are not stored values: they go to the language
 * monitor's hook (plat::spool_set_port_data_hook), and answer
 * ERROR_FILE_NOT_FOUND while there is none.
 */
DWORD GetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                      LPDWORD pcbNeeded);

/* GetPrinterDataW for a value of any key (GetPrinterDataW uses "PrinterDriverData"). */
DWORD GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData,
                        DWORD nSize, LPDWORD pcbNeeded);

/*
 * Stores a printer-data value (any type; the bytes are kept as given, at most
 * 1 MiB).  Needs PRINTER_ACCESS_ADMINISTER on the handle
 * (ERROR_ACCESS_DENIED).  ERROR_INVALID_PARAMETER for a null name, null data
 * with a count, or an over-long value; ERROR_DISK_FULL (or the write's error)
 * when the spooler's state cannot be saved, the value then unchanged.
 */
DWORD SetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, DWORD Type, const BYTE *pData, DWORD cbData);

/* SetPrinterDataW under any key. */
DWORD SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type, const BYTE *pData,
                        DWORD cbData);

/* Deletes a value; needs PRINTER_ACCESS_ADMINISTER; ERROR_FILE_NOT_FOUND when absent. */
DWORD DeletePrinterDataW(HANDLE hPrinter, LPCWSTR pValueName);
DWORD DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName);

/* ---- Forms --------------------------------------------------------------- */

/*
 * Every form at level 1 (ERROR_INVALID_LEVEL otherwise): the 118 built-in
 * forms first, numbered as the DMPAPER_ paper codes (Letter 1, A4 9, ...,
 * with "Reserved48" and "Reserved49" holding places 48 and 49), then the
 * user forms in the order they were added.  *pcReturned receives the count
 * (0 on failure).  Works on printer and server handles.
 */
BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);

/* One form by name (ignoring case) at level 1; ERROR_INVALID_FORM_NAME when unknown. */
BOOL GetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded);

/*
 * Adds a user form from a FORM_INFO_1W (level 1).  ERROR_FILE_EXISTS when a
 * form of that name exists; ERROR_INVALID_PARAMETER for an empty name, a
 * name of 256 characters or more, or the FORM_BUILTIN flag;
 * ERROR_INVALID_FORM_SIZE for a size that is not positive or an imageable
 * area with left > right or top > bottom; ERROR_ACCESS_DENIED without
 * administer access.
 */
BOOL AddFormW(HANDLE hPrinter, DWORD Level, const BYTE *pForm);

/*
 * Replaces a user form's flags, size and imageable area (the name stays).
 * ERROR_INVALID_FORM_NAME when unknown, ERROR_INVALID_PARAMETER for a
 * built-in form, otherwise as AddFormW.
 */
BOOL SetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, const BYTE *pForm);

/* Deletes a user form; ERROR_INVALID_FORM_NAME when unknown, ERROR_INVALID_PARAMETER for a built-in one. */
BOOL DeleteFormW(HANDLE hPrinter, LPCWSTR pFormName);

/* ---- Jobs ---------------------------------------------------------------- */

/*
 * Starts a job on the printer (level 1, DOC_INFO_1W) and returns its id
 * (never 0).  The data type must be "RAW" (ERROR_INVALID_DATATYPE); one job
 * at a time per handle (ERROR_INVALID_PARAMETER); needs PRINTER_ACCESS_USE.
 * With pOutputFile, the job's bytes are also copied to that Windows path
 * when the job ends.  0 on failure.
 */
DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, const BYTE *pDocInfo);

/* Starts a page of the handle's job (counted as one page); ERROR_SPL_NO_STARTDOC without a job. */
BOOL StartPagePrinter(HANDLE hPrinter);

/*
 * Appends cbBuf bytes to the handle's job.  *pcWritten receives the count
 * taken (fewer when a short write is injected).  Every call's asked length
 * is recorded (plat::spool_write_sizes), failed and short ones too.  FALSE
 * with ERROR_SPL_NO_STARTDOC, ERROR_PRINT_CANCELLED (the job was deleted),
 * ERROR_INVALID_PARAMETER (no pcWritten, or no data with a count),
 * ERROR_DISK_FULL or an injected error, *pcWritten 0.
 */
BOOL WritePrinter(HANDLE hPrinter, LPCVOID pBuf, DWORD cbBuf, LPDWORD pcWritten);

/* Ends a page of the handle's job; ERROR_SPL_NO_STARTDOC without a job. */
BOOL EndPagePrinter(HANDLE hPrinter);

/*
 * Ends the handle's job: it stays queued (status 0) with its bytes, or goes
 * when it was deleted meanwhile.  ERROR_SPL_NO_STARTDOC without a job.
 */
BOOL EndDocPrinter(HANDLE hPrinter);

/* Ends the handle's job and deletes it with its bytes; ERROR_SPL_NO_STARTDOC without a job. */
BOOL AbortPrinter(HANDLE hPrinter);

/*
 * JOB_INFO_1W records of NoJobs jobs of the printer's queue from position
 * FirstJob (0-based), level 1 only.  *pcReturned receives the count.
 */
BOOL EnumJobsW(HANDLE hPrinter, DWORD FirstJob, DWORD NoJobs, DWORD Level, LPBYTE pJob, DWORD cbBuf,
               LPDWORD pcbNeeded, LPDWORD pcReturned);

/* One job of the printer's queue at level 1; ERROR_INVALID_PARAMETER when it is not there. */
BOOL GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded);

/*
 * Level 0 job commands: JOB_CONTROL_PAUSE and _RESUME set and clear
 * JOB_STATUS_PAUSED; _RESTART sets JOB_STATUS_RESTART; _SENT_TO_PRINTER
 * sets JOB_STATUS_PRINTED; _LAST_PAGE_EJECTED sets JOB_STATUS_PRINTED and
 * _COMPLETE and removes the job (when it has ended) unless its printer has
 * PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS; _CANCEL and _DELETE delete it (a job
 * still being written is marked JOB_STATUS_DELETING, its writes fail, and it
 * goes when it ends); _RETAIN and _RELEASE set and clear JOB_STATUS_RETAINED.
 * ERROR_INVALID_PARAMETER for an unknown job or command, ERROR_INVALID_LEVEL
 * for a level other than 0.
 */
BOOL SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, const BYTE *pJob, DWORD Command);

/* ---- Ports --------------------------------------------------------------- */

/*
 * The machine's ports at level 1 or 2: the local ports LPT1: to LPT3:, COM1:
 * to COM4: and FILE: (monitor "localspl.dll"), then the ports added with
 * plat::spool_add_port or with a printer.  `pName` must be null or empty.
 */
BOOL EnumPortsW(LPCWSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned);

/*
 * Sets a port's status from a PORT_INFO_3W (level 3; ERROR_INVALID_LEVEL
 * otherwise); a status of 0 clears it.  The language monitor calls it from
 * the spooler's side, so no access is checked.  ERROR_UNKNOWN_PORT for a
 * port that does not exist.
 */
BOOL SetPortW(LPCWSTR pName, LPCWSTR pPortName, DWORD dwLevel, const BYTE *pPortInfo);

/*
 * A request to a port monitor's configuration channel (a handle opened on
 * ",XcvPort " + port name).  TRUE when the request was made; its own result
 * is in *pdwStatus.  "IPAddress" answers the port's address as a string of
 * WCHARs with its terminator (ERROR_INSUFFICIENT_BUFFER with
 * *pcbOutputNeeded when the output is too small; ERROR_NOT_SUPPORTED for a
 * port without an address); any other request ERROR_INVALID_PARAMETER.
 * FALSE with ERROR_INVALID_HANDLE when `hXcv` is not such a handle.
 */
BOOL XcvDataW(HANDLE hXcv, LPCWSTR pszDataName, const BYTE *pInputData, DWORD cbInputData, LPBYTE pOutputData,
              DWORD cbOutputData, LPDWORD pcbOutputNeeded, LPDWORD pdwStatus);

/* ---- Install and inspection API for the host and the tests ---------------- */

namespace plat {

/* The handle kind of printer handles in the handle table (plat/handle.h). */
constexpr uint32_t HANDLE_KIND_PRINTER = 16;

/* The driver directory's Windows path, "C:\Windows\System32\spool\drivers\x64\3". */
std::u16string spool_driver_dir();

/* The real folder of the driver directory below the machine root (where installs put files). */
std::string spool_driver_dir_real();

/* The real path of the spooler's state file, "<root>/spooler/spooler.dat". */
std::string spool_state_path();

/*
 * ERROR_SUCCESS, or the error of reading the spooler's state file when it
 * exists but cannot be read (ERROR_ACCESS_DENIED, ERROR_READ_FAULT): the
 * spooler then makes no change until it can read the file.
 */
DWORD spool_store_error();

/*
 * Empty, or what keeps the spooler's lock file from being taken ("<path>
 * cannot be taken: it is a symbolic link"): the spooler then saves no
 * change, since one made unlocked could undo another process's.
 */
std::string spool_lock_problem();

/* A printer driver to install.  File members are file names in the driver directory. */
struct SpoolDriver {
    std::u16string name;
    std::u16string environment = u"Windows x64";
    DWORD version = 3;
    std::u16string driver_file;              /* "tarvelgr.dll" */
    std::u16string data_file;                /* the model data file */
    std::u16string config_file;              /* "tarvelui.dll" */
    std::u16string help_file;                /* empty: none */
    std::vector<std::u16string> dependent_files;
    std::u16string monitor_name;             /* empty: none */
    std::u16string default_data_type = u"RAW";
    std::vector<std::string> copy_files; /* real paths copied into the driver directory */
    std::vector<std::string> link_files; /* real paths linked (symbolic links) into it */
};

/*
 * Installs (or replaces) a driver: mounts the driver directory on the
 * machine folder, links into it every file of the folder the driver
 * directory was mounted on before (when that was another folder), then
 * copies and links the driver's own files (a file of the same name is
 * replaced, never written through).  Returns ERROR_SUCCESS,
 * ERROR_INVALID_PARAMETER (empty name or driver file), ERROR_INVALID_ENVIRONMENT
 * (not "Windows x64"), ERROR_FILE_NOT_FOUND (a source file is missing; then
 * nothing is installed) or the error of a failed copy or save.
 */
DWORD spool_add_driver(const SpoolDriver &driver);

/* A printer to install. */
struct SpoolPrinter {
    std::u16string name;
    std::u16string driver;
    std::u16string port = u"FILE:";
    std::u16string comment;
    std::u16string location;
    std::u16string share_name;
    std::u16string data_type = u"RAW";
    DWORD attributes = PRINTER_ATTRIBUTE_LOCAL;
    std::vector<BYTE> devmode; /* empty: none */
    DWORD user_rights = PRINTER_ACCESS_USE | READ_CONTROL | SYNCHRONIZE; /* what an ordinary user may get */
};

/*
 * Installs a printer.  A port not known yet is added as a local port.
 * Returns ERROR_SUCCESS, ERROR_INVALID_PRINTER_NAME (empty, or holding ',' or
 * '\'), ERROR_PRINTER_ALREADY_EXISTS, ERROR_UNKNOWN_PRINTER_DRIVER,
 * ERROR_INVALID_PARAMETER (a devmode shorter than its dmSize + dmDriverExtra,
 * or with a dmSize below 76)
 * or the error of a failed save.
 */
DWORD spool_add_printer(const SpoolPrinter &printer);

/* Removes a printer with its printer data and its jobs; its open handles become invalid. */
DWORD spool_delete_printer(std::u16string_view name);

/* The installed printers' names, in the order they were installed. */
std::vector<std::u16string> spool_printers();

/* Sets what an ordinary user may get on a printer (its security, simplified to an access mask). */
DWORD spool_set_printer_user_rights(std::u16string_view printer, DWORD rights);

/* A port to add. */
struct SpoolPort {
    std::u16string name;
    std::u16string monitor = u"localspl.dll";
    std::u16string description = u"Local Port";
    DWORD type = PORT_TYPE_WRITE;
    std::u16string address; /* the device's host address, for XcvDataW "IPAddress"; empty: none */
};

/* Adds (or replaces) a port.  ERROR_INVALID_PARAMETER for an empty name. */
DWORD spool_add_port(const SpoolPort &port);

/*
 * Removes an added port.  ERROR_NOT_FOUND for an unknown one,
 * ERROR_ACCESS_DENIED for a built-in port or one a printer is on.
 */
DWORD spool_delete_port(std::u16string_view name);

/* A port's status and severity as SetPortW set them; false for an unknown port. */
bool spool_port_status(std::u16string_view port, DWORD *status, DWORD *severity);

/* Who calls: an administrator (the default after machine_reset) or an ordinary user. */
enum class SpoolUser { Administrator, Ordinary };
void spool_set_current_user_rights(SpoolUser user);

/* The user name recorded as the owner of new jobs ("tarvel" after machine_reset). */
void spool_set_current_user_name(std::u16string_view name);

/*
 * The language monitor's answer to a printer-data query whose name begins
 * "LM_": called without the spooler's lock with the printer's name and port
 * and GetPrinterDataW's own arguments; returns what GetPrinterDataW returns.
 * *pType and *pcbNeeded are always writable; pData is null when nSize is 0.
 */
typedef DWORD (*SpoolPortDataHook)(const std::u16string &printer, const std::u16string &port, LPCWSTR pValueName,
                                   LPDWORD pType, LPBYTE pData, DWORD nSize, LPDWORD pcbNeeded);

/* Sets the hook (null removes it; machine_reset removes it too). */
void spool_set_port_data_hook(SpoolPortDataHook hook);

/* One job as the host sees it. */
struct SpoolJob {
    DWORD id = 0;
    std::u16string printer;
    std::u16string document;
    std::u16string owner;
    std::u16string machine;
    std::u16string data_type;
    std::u16string output_file;
    DWORD status = 0; /* JOB_STATUS_ bits; JOB_STATUS_SPOOLING while it is being written */
    DWORD pages = 0;  /* StartPagePrinter calls */
    uint64_t bytes = 0;
};

/* The jobs of one printer (all printers for an empty name), in the order they were started. */
std::vector<SpoolJob> spool_jobs(std::u16string_view printer = std::u16string_view());

/* A job's bytes so far into `bytes`; false for an unknown job. */
bool spool_job_bytes(DWORD job, std::vector<BYTE> &bytes);

/* The length asked of each WritePrinter call on the job, in order (empty for an unknown job). */
std::vector<DWORD> spool_write_sizes(DWORD job);

/* The real path of the job's byte file (empty for an unknown job). */
std::string spool_job_path(DWORD job);

/* Deletes a job as SetJobW JOB_CONTROL_DELETE does; false for an unknown job. */
bool spool_delete_job(DWORD job);

/*
 * How often the job was released or ended through SetJobW in this process
 * (JOB_CONTROL_LAST_PAGE_EJECTED, _CANCEL or _DELETE), counting calls for a
 * job the spooler no longer holds too: a job released more than once shows
 * more than 1.  Cleared by machine_reset.
 */
unsigned spool_release_count(DWORD job);

/* ---- Fault injection (cleared by machine_reset) --------------------------- */

/* The spooler functions whose failure can be injected. */
enum class SpoolCall {
    OpenPrinter,
    GetPrinter,
    SetPrinter,
    GetPrinterDriver,
    GetPrinterData, /* GetPrinterDataW and GetPrinterDataExW */
    SetPrinterData, /* SetPrinterDataW and SetPrinterDataExW */
    DeletePrinterData,
    EnumForms,
    GetForm,
    AddForm,
    SetForm,
    DeleteForm,
    StartDocPrinter,
    StartPagePrinter,
    WritePrinter,
    EndPagePrinter,
    EndDocPrinter,
    EnumJobs,
    GetJob,
    SetJob,
    Count
};

/*
 * Makes the n-th call of `call` from now (n = 1: the next) fail with `error`
 * before it does anything: BOOL functions answer FALSE with the last error,
 * the printer-data functions return it, StartDocPrinterW returns 0.  0
 * disarms.  Later calls succeed again.
 */
void spool_fail_after(SpoolCall call, unsigned n, DWORD error);

/* The n-th WritePrinter call from now fails with `error` (spool_fail_after for WritePrinter). */
void spool_fail_write_after(unsigned n, DWORD error = ERROR_WRITE_FAULT);

/* The n-th WritePrinter call from now takes at most `bytes` bytes and reports that count. */
void spool_short_write_after(unsigned n, DWORD bytes);

} // namespace plat

#endif /* PLAT_SPOOLER_H */
