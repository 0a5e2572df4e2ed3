/*
 * The print-monitor interface between the spooler and a monitor library:
 * the MONITOR2 function table, MONITORINIT with its registry callbacks
 * (MONITORREG), COMMTIMEOUTS; and, for the tests, a port monitor of our own
 * that a language monitor can be stacked on.
 *
 * Records follow the documented member order; MONITOR2 as the spooler hands
 * it over is cbSize plus 19 function pointers (160 bytes on 64-bit).
 *
 * The scripted port monitor (plat::portmon_*) keeps its ports in memory: it
 * opens any name, refuses what a test asks it to refuse, records every call
 * in a log the tests read, and counts its open ports so that a test can see
 * that nothing stays open.  machine_reset clears its script, log and ports.
 */
#ifndef PLAT_PRINTMON_H
#define PLAT_PRINTMON_H

#include <plat/types.h>
#include <plat/registry.h>

#include <functional>
#include <string>
#include <vector>

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout;
    DWORD ReadTotalTimeoutMultiplier;
    DWORD ReadTotalTimeoutConstant;
    DWORD WriteTotalTimeoutMultiplier;
    DWORD WriteTotalTimeoutConstant;
};
typedef COMMTIMEOUTS *LPCOMMTIMEOUTS;

/* The level-3 document record of StartDocPort (DOC_INFO_1W, in spooler.h, plus flags). */
struct DOC_INFO_3W {
    LPWSTR pDocName;
    LPWSTR pOutputFile;
    LPWSTR pDatatype;
    DWORD dwFlags;
};

typedef DWORD ACCESS_MASK;
struct BIDI_REQUEST_CONTAINER;
struct BIDI_RESPONSE_CONTAINER;
typedef BIDI_REQUEST_CONTAINER *PBIDI_REQUEST_CONTAINER;
typedef BIDI_RESPONSE_CONTAINER *PBIDI_RESPONSE_CONTAINER;

struct MONITOR2 {
    DWORD cbSize;
    BOOL (*pfnEnumPorts)(HANDLE hMonitor, LPWSTR pName, DWORD Level, LPBYTE pPorts, DWORD cbBuf, LPDWORD pcbNeeded,
                         LPDWORD pcReturned);
    BOOL (*pfnOpenPort)(HANDLE hMonitor, LPWSTR pName, PHANDLE pHandle);
    BOOL (*pfnOpenPortEx)(HANDLE hMonitor, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR pPrinterName,
                          PHANDLE pHandle, MONITOR2 *pMonitor2);
    BOOL (*pfnStartDocPort)(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo);
    BOOL (*pfnWritePort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten);
    BOOL (*pfnReadPort)(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead);
    BOOL (*pfnEndDocPort)(HANDLE hPort);
    BOOL (*pfnClosePort)(HANDLE hPort);
    BOOL (*pfnAddPort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pMonitorName);
    BOOL (*pfnAddPortEx)(HANDLE hMonitor, LPWSTR pName, DWORD Level, LPBYTE lpBuffer, LPWSTR lpMonitorName);
    BOOL (*pfnConfigurePort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pPortName);
    BOOL (*pfnDeletePort)(HANDLE hMonitor, LPWSTR pName, HWND hWnd, LPWSTR pPortName);
    BOOL (*pfnGetPrinterDataFromPort)(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer,
                                      DWORD cbInBuffer, LPWSTR lpOutBuffer, DWORD cbOutBuffer,
                                      LPDWORD lpcbReturned);
    BOOL (*pfnSetPortTimeOuts)(HANDLE hPort, LPCOMMTIMEOUTS lpCTO, DWORD reserved);
    BOOL (*pfnXcvOpenPort)(HANDLE hMonitor, LPCWSTR pszObject, ACCESS_MASK GrantedAccess, PHANDLE phXcv);
    DWORD (*pfnXcvDataPort)(HANDLE hXcv, LPCWSTR pszDataName, PBYTE pInputData, DWORD cbInputData,
                            PBYTE pOutputData, DWORD cbOutputData, PDWORD pcbOutputNeeded);
    BOOL (*pfnXcvClosePort)(HANDLE hXcv);
    void (*pfnShutdown)(HANDLE hMonitor);
    DWORD (*pfnSendRecvBidiDataFromPort)(HANDLE hPort, DWORD dwAccessBit, LPCWSTR pAction,
                                         PBIDI_REQUEST_CONTAINER pReqData, PBIDI_RESPONSE_CONTAINER *ppResData);
};
typedef MONITOR2 *PMONITOR2;
typedef MONITOR2 *LPMONITOR2;
static_assert(sizeof(void *) != 8 || sizeof(MONITOR2) == 160, "MONITOR2 layout");

/* The spooler's registry callbacks for a monitor's own key (hcKey handles are the spooler's). */
typedef HANDLE HKEYMONITOR;
struct MONITORREG {
    DWORD cbSize;
    LONG (*fpCreateKey)(HANDLE hcKey, LPCWSTR pszSubKey, DWORD dwOptions, REGSAM samDesired,
                        void *pSecurityAttributes, HANDLE *phckResult, PDWORD pdwDisposition, HANDLE hSpooler);
    LONG (*fpOpenKey)(HANDLE hcKey, LPCWSTR pszSubKey, REGSAM samDesired, HANDLE *phkResult, HANDLE hSpooler);
    LONG (*fpCloseKey)(HANDLE hcKey, HANDLE hSpooler);
    LONG (*fpDeleteKey)(HANDLE hcKey, LPCWSTR pszSubKey, HANDLE hSpooler);
    LONG (*fpEnumKey)(HANDLE hcKey, DWORD dwIndex, LPWSTR pszName, PDWORD pcchName, void *pftLastWriteTime,
                      HANDLE hSpooler);
    LONG (*fpQueryInfoKey)(HANDLE hcKey, PDWORD pcSubKeys, PDWORD pcbKey, PDWORD pcValues, PDWORD pcbValue,
                           PDWORD pcbData, PDWORD pcbSecurityDescriptor, void *pftLastWriteTime, HANDLE hSpooler);
    LONG (*fpSetValue)(HANDLE hcKey, LPCWSTR pszValue, DWORD dwType, const BYTE *pData, DWORD cbData,
                       HANDLE hSpooler);
    LONG (*fpDeleteValue)(HANDLE hcKey, LPCWSTR pszValue, HANDLE hSpooler);
    LONG (*fpEnumValue)(HANDLE hcKey, DWORD dwIndex, LPWSTR pszValue, PDWORD pcbValue, PDWORD pType, PBYTE pData,
                        PDWORD pcbData, HANDLE hSpooler);
    LONG (*fpQueryValue)(HANDLE hcKey, LPCWSTR pszValue, PDWORD pType, PBYTE pData, PDWORD pcbData,
                         HANDLE hSpooler);
};
typedef MONITORREG *PMONITORREG;

struct MONITORINIT {
    DWORD cbSize;
    HANDLE hSpooler;
    HANDLE hckRegistry;
    PMONITORREG pMonitorReg;
    BOOL bLocal;
    LPCWSTR pszServerName;
};
typedef MONITORINIT *PMONITORINIT;

/* The entry a monitor library exports. */
typedef LPMONITOR2 (*PFN_INITIALIZE_PRINT_MONITOR2)(PMONITORINIT pMonitorInit, PHANDLE phMonitor);

#ifndef ERROR_INVALID_PRINT_MONITOR
#define ERROR_INVALID_PRINT_MONITOR 3007L
#endif
#ifndef ERROR_BUSY
#define ERROR_BUSY 170L
#endif

namespace plat {

/*
 * A MONITORINIT as the spooler fills it for the monitor named `monitor`:
 * hckRegistry is the monitor's key HKLM "SYSTEM\CurrentControlSet\Control\
 * Print\Monitors\<monitor>" (created when missing), and MONITORREG offers
 * fpOpenKey, fpCloseKey and fpQueryValue over the registry (the other
 * callbacks are null).  The record stays valid until machine_reset.
 */
PMONITORINIT monitor_init_for(const std::u16string &monitor);

/* The scripted port monitor's function table and its monitor handle. */
LPMONITOR2 portmon_table();
HANDLE portmon_handle();

/* The port monitor's functions that a test can make fail. */
enum class PortmonCall { OpenPort, ClosePort, StartDocPort, WritePort, ReadPort, EndDocPort };

/* Makes the next `count` calls of `call` fail with last error `error` (which may be 0); count 0 stops it. */
void portmon_fail(PortmonCall call, DWORD error, unsigned count = 1);

/*
 * Scripts the next `times` WritePort calls (after any scripted before): each
 * moves at most `moved` bytes of what it is given, sets last error `error`
 * and answers `ok`.  Unscripted writes move everything and answer TRUE.
 */
void portmon_script_write(DWORD moved, BOOL ok = TRUE, DWORD error = 0, unsigned times = 1);
/* The bytes every WritePort so far moved, in order. */
std::string portmon_written();

/*
 * Scripts the next ReadPort: it hands out as much of `data` as the buffer
 * takes (the rest is what the read after it gets), sets last error `error`
 * and answers `ok`.  With nothing scripted a read gets 0 bytes and TRUE.
 */
void portmon_script_read(const std::string &data, BOOL ok = TRUE, DWORD error = 0);

/* Every COMMTIMEOUTS set through SetPortTimeOuts, in order. */
std::vector<COMMTIMEOUTS> portmon_timeouts();
/* Every StartDocPort so far: "<printer>|<job id>|<level>|<document name of DOC_INFO_1/3>". */
std::vector<std::string> portmon_docs();

/* Every call so far, one line each: "OpenPort USB001", "ClosePort USB001", ... */
std::vector<std::string> portmon_log();

/*
 * The device ID GetPrinterDataFromPort answers for 0x16000C (and behind a
 * 2-byte big-endian length for 0x220414); with `answers` false (the start)
 * those requests fail with ERROR_GEN_FAILURE.  Other control codes succeed.
 */
void portmon_set_device_id(const std::string &id, bool answers = true);
/* Every GetPrinterDataFromPort so far: "0x<control> in=<first input byte, or -1>". */
std::vector<std::string> portmon_controls();
/*
 * A port monitor whose device is a TCP peer (socket_monitor.cpp): each port
 * connects at StartDocPort to the host and TCP port set for its name (or for
 * "", the default) and keeps the connection until ClosePort or the peer
 * closes it.  Writes wait at most the time-out (ERROR_TIMEOUT), a reset
 * connection answers WSAECONNRESET, a refused one WSAECONNREFUSED.  What
 * the device sends is collected as it arrives and handed to the watcher.
 */
LPMONITOR2 sockmon_table();
HANDLE sockmon_handle();
void sockmon_set_target(const std::string &portName, const std::string &host, unsigned short port);
using SockmonWatcher = std::function<void(const std::string &port, const std::string &bytes)>;
void sockmon_watch(SockmonWatcher watcher);
void sockmon_set_timeout(DWORD ms);
/* Forgets the targets, the watcher and the time-out. */
void sockmon_reset();
/* Ports the port monitor has open now. */
size_t portmon_open_ports();

} // namespace plat

#endif /* PLAT_PRINTMON_H */
