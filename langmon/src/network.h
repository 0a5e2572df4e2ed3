/*
 * The monitor's network access to a device on a Standard TCP/IP port: the
 * SNMP session over the outside library "tarvelsm.DLL" (gets and walks with
 * the process-wide credential mode), the TCP client to the device's raw
 * port 9100, host resolution, and the SNMP reads of the poll cycle.
 */
#ifndef TARVEL_LANGMON_NETWORK_H
#define TARVEL_LANGMON_NETWORK_H

#include "status.h"

#include <tarvelsm/pmc.h>

#include <atomic>

/* ---- SNMP session --------------------------------------------------------------- */

constexpr size_t LMN_HOST_BYTES = 2048;
constexpr size_t LMN_VALUE_BYTES = 256;
constexpr int LMN_AF_INET = 2;
constexpr int LMN_AF_INET6 = 23;

/* One result of a walk (528 bytes). */
struct SnmpResult {
    char value[256];
    int32_t type;
    int32_t number;
    char oid[256];
    SnmpResult *next;
};
static_assert(sizeof(SnmpResult) == 528, "SnmpResult layout");

struct SnmpSession {
    HMODULE library;
    PmcCreateGetData createGetData;
    PmsCreatePduList createPduList;
    char host[LMN_HOST_BYTES];
    char community[LMN_HOST_BYTES];
    PmcCredentials credentials; /* user, settings 2/1/1, the two pass phrases, the context */
    int family;                 /* what LMN_ResolveHost answered: 2 or 23 */
    SnmpResult *results;
    SnmpResult *lastResult;
};

/* The process-wide credential mode: -1 not yet asked, 0 community, 2 user-based. */
extern std::atomic<int> g_snmpMode;

SnmpSession *LMN_CreateSession(const char *host, const char *community, const char *libraryFile);
SnmpSession *LMN_BindLibrary(SnmpSession *session, const char *libraryFile);
/* Resolves `host` (256 bytes) in place to its numeric form; the family, 2 also when it does not resolve. */
int LMN_ResolveHost(char *host);
/* A GET: exactly one of `text` (256 bytes) and `number`; 1 when a value came back. */
int LMN_Get(SnmpSession *session, char *text, int32_t *number, const char *oid, int retry);
/* A walk of the subtree `oid`, its results appended to the session; 1 when the walk answered. */
int LMN_Walk(SnmpSession *session, const char *oid, int retry);
/* Takes the first result off: its value text (256 bytes), one of its numbers, its OID text (256 bytes); 1 while results remained. */
int LMN_NextResult(SnmpSession *session, char *text, int32_t *type, int32_t *number, char *oid);
int LMN_FreeResults(SnmpSession *session);

/*
 * Where the monitor finds the device's services: the SNMP agent's UDP port
 * (161), the raw PJL port (9100), the library's time-out per try (3000
 * ms) and the TCP client's waits.  Only tests change them, to reach peers on loopback ports of their
 * own with short time-outs.
 */
struct LmnEndpoints {
    int snmpPort;
    int rawPort;
    int snmpTimeoutMs;
    int receiveTimeoutMs; /* a blocking client's receive time-out and the bound of a pending connect (10000) */
    int pauseMs;          /* the pause between receive tries (1000); it ends early when data comes */
};
LmnEndpoints LMN_Endpoints();
void LMN_SetEndpoints(const LmnEndpoints &endpoints);
/* The same under a C name, exported for `tarvel status` only (net_snmp.cpp). */
extern "C" void LMN_SetTestEndpoints(const LmnEndpoints *endpoints);

/* ---- TCP client ------------------------------------------------------------------- */

struct addrinfo;

struct TcpClient {
    explicit TcpClient(bool blocking, bool keepAlive);
    virtual ~TcpClient();
    TcpClient(const TcpClient &) = delete;
    TcpClient &operator=(const TcpClient &) = delete;

    int Connect(const char *host);
    int Send(const BYTE *data, DWORD length);
    int ReceiveAll(BYTE *buffer, DWORD size, DWORD *received);
    int Exchange(const char *host, const BYTE *data, DWORD length, BYTE *buffer, DWORD size, DWORD *received);

    addrinfo *addresses = nullptr;
    int lastError = 0;
    bool blocking;
    DWORD connectTime; /* keep-alive period, in receive tries */
    bool keepAlive;
    DWORD tries = 0;
    int socket = -1;
    bool receiveFailed = false; /* the last non-blocking ReceiveAll ended with a real error */
};

/* Windows socket error numbers. */
constexpr int LMN_WSAEWOULDBLOCK = 10035;
constexpr int LMN_WSAETIMEDOUT = 10060;
constexpr int LMN_WSAECONNREFUSED = 10061;
/* errno as a Windows socket error number. */
int LMN_SocketError(int err);

int LMN_TcpExchange(const char *host, const BYTE *data, DWORD length, BYTE *buffer, DWORD size, DWORD *received);
int LMN_TcpOpen(TcpClient **out, const char *host, bool keepAlive);
int LMN_TcpSend(TcpClient *client, const BYTE *data, DWORD length);
int LMN_TcpReceive(TcpClient *client, BYTE *buffer, DWORD size, DWORD *received);
void LMN_TcpClose(TcpClient *client);

/* ---- SNMP reads of the poll cycle ---------------------------------------------------- */

/* The device ID of a network port by SNMP; true when the device answered as the supported model. */
bool LMN_ReadDeviceId(MonitorPort *port);
/* Jobs of the port reported by the device's job table; the last SNMP result. */
int LMN_PollJobInfo(MonitorPort *port);

/* The queued job whose identifier or name is `text` (10 characters or more), when it is next to report. */
JobQueueEntry *LMS_FindJobByIdentifier(const char *text, MonitorPort *port);
/* A job's start and end records from the job table, installed for a spooler job (reply_jobs.cpp). */
void LMN_BeginJobRecord(MonitorPort *port);
void LMN_BeginClosingRecord(MonitorPort *port);
void LMN_InstallJobRecord(MonitorPort *port, DWORD jobId);

#define LMN_OID_DEVICE_ID "1.3.6.1.4.1.64927.8.64.4.2.1.7.2.28110202"
#define LMN_OID_JOB_IDS "1.3.6.1.4.1.64927.8.59.6.1.1.3"
#define LMN_OID_DISPLAY_LANG "1.3.6.1.2.1.43.5.1.1.10"

#endif /* TARVEL_LANGMON_NETWORK_H */
