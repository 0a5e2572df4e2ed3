/*
 * The SNMP session of a network port over the outside library
 * "tarvelsm.DLL": binding its two factories, host resolution, and GETs and
 * walks that choose their credentials by the process-wide mode word.  A
 * fetch that fails with the community is asked again once with the
 * user-based credentials (and the other way round), and the mode follows
 * the credentials that were tried last, so later GETs on every port start
 * with them.
 */
#include "network.h"

#include <plat/loader.h>
#include <plat/sysdir.h>
#include <plat/winsock.h>

#include <cstring>
#include <netdb.h>
#include <sys/socket.h>

std::atomic<int> g_snmpMode{-1};

namespace {

constexpr const char *kLibraryFile = "tarvelsm.DLL";
constexpr const char *kUser = "Qlinkers";
constexpr const char *kAuthPass = "7pelQoWNrasT51kobu9d";
constexpr const char *kPrivPass = "GAMOV48lirEbtacwo2sy";
constexpr size_t kResolvedBytes = 256;

std::atomic<int> g_snmpPort{161};
std::atomic<int> g_rawPort{9100};
std::atomic<int> g_snmpTimeout{3000};
std::atomic<int> g_receiveTimeout{10000};
std::atomic<int> g_pause{1000};

/* The driver directory in the system folder, narrow, with its trailing backslash. */
std::string driver_dir()
{
    WCHAR dir[260] = {};
    const UINT n = GetSystemDirectoryW(dir, 260);
    std::string out;
    for (UINT i = 0; i < n && i < 260; ++i)
        out += dir[i] < 0x80 ? char(dir[i]) : '?';
    return out + "\\spool\\drivers\\x64\\3\\";
}

void copy_text(char *to, size_t size, const char *from)
{
    const size_t n = std::min(std::strlen(from), size - 1);
    std::memcpy(to, from, n);
    to[n] = 0;
}

/* The credentials of the first attempt or the retry, by the mode word (which they update). */
int choose_mode(IPmcGetData *getter, const SnmpSession *session, int retry)
{
    int mode = g_snmpMode.load();
    if (!retry) {
        if (mode != 2) {
            getter->SetCommunity(session->community);
            if (mode == -1)
                g_snmpMode.compare_exchange_strong(mode, 0);
            return PMC_MODE_COMMUNITY;
        }
        return PMC_MODE_USER;
    }
    if (mode == 0) {
        g_snmpMode.store(2);
        return PMC_MODE_USER;
    }
    getter->SetCommunity(session->community);
    g_snmpMode.store(0);
    return PMC_MODE_COMMUNITY;
}

/* Open and request with the session's agent; 0 when both succeeded. */
int open_and_request(IPmcGetData *getter, SnmpSession *session, int mode, const char *oid)
{
    const LmnEndpoints e = LMN_Endpoints();
    const int family = session->family == LMN_AF_INET6 ? PMC_FAMILY_IPV6 : PMC_FAMILY_IPV4;
    if (getter->Open(session->host, family, e.snmpPort, mode, &session->credentials, e.snmpTimeoutMs, 1, 0) != 0)
        return 1;
    return getter->Request(oid) != 0 ? 1 : 0;
}

bool append_result(SnmpSession *session, IPmsPdu *pdu)
{
    auto *r = static_cast<SnmpResult *>(LMU_Alloc(sizeof(SnmpResult)));
    if (!r)
        return false;
    copy_text(r->value, sizeof r->value, pdu->ValueText() ? pdu->ValueText() : "");
    r->type = pdu->ValueType();
    r->number = pdu->ValueNumber();
    copy_text(r->oid, sizeof r->oid, pdu->OidText() ? pdu->OidText() : "");
    if (session->lastResult)
        session->lastResult->next = r;
    else
        session->results = r;
    session->lastResult = r;
    return true;
}

} // namespace

LmnEndpoints LMN_Endpoints()
{
    return {g_snmpPort.load(), g_rawPort.load(), g_snmpTimeout.load(), g_receiveTimeout.load(), g_pause.load()};
}

void LMN_SetEndpoints(const LmnEndpoints &e)
{
    g_snmpPort.store(e.snmpPort);
    g_rawPort.store(e.rawPort);
    g_snmpTimeout.store(e.snmpTimeoutMs);
    g_receiveTimeout.store(e.receiveTimeoutMs);
    g_pause.store(e.pauseMs);
}

/*
 * The endpoint setter under a C name, for `tarvel status` pointed at test
 * peers (TARVEL_STATUS_ENDPOINTS, read only by that command).  Nothing in
 * the monitor calls it, so an installed monitor keeps the device's ports.
 */
extern "C" __attribute__((visibility("default"))) void LMN_SetTestEndpoints(const LmnEndpoints *endpoints)
{
    if (endpoints)
        LMN_SetEndpoints(*endpoints);
}

SnmpSession *LMN_OpenSession(const char *host, const char *community)
{
    return LMN_CreateSession(host, community, kLibraryFile);
}

SnmpSession *LMN_CreateSession(const char *host, const char *community, const char *libraryFile)
{
    auto *session = static_cast<SnmpSession *>(LMU_Alloc(sizeof(SnmpSession)));
    if (!session)
        return nullptr;
    LMN_BindLibrary(session, libraryFile);
    if (host && *host && session->createGetData && session->createPduList) {
        copy_text(session->host, kResolvedBytes, host);
        session->family = LMN_ResolveHost(session->host);
        copy_text(session->community, sizeof session->community, community && *community ? community : "public");
        return session;
    }
    if (session->library)
        FreeLibrary(session->library);
    LMU_Free(session);
    return nullptr;
}

SnmpSession *LMN_BindLibrary(SnmpSession *session, const char *libraryFile)
{
    if (!session)
        return nullptr;
    session->credentials = {kUser, PMC_LEVEL_AUTH_PRIV, PMC_AUTH_HMAC_SHA96, PMC_PRIV_AES128, kAuthPass, kPrivPass, ""};
    session->host[0] = 0;
    session->results = session->lastResult = nullptr;
    session->createGetData = nullptr;
    session->createPduList = nullptr;
    session->library = libraryFile ? LoadLibraryA((driver_dir() + libraryFile).c_str()) : nullptr;
    if (session->library) {
        session->createPduList =
            plat::proc_cast<PmsCreatePduList>(GetProcAddress(session->library, PMS_CREATE_PDU_LIST_NAME));
        if (!session->createPduList)
            session->createPduList =
                plat::proc_cast<PmsCreatePduList>(GetProcAddress(session->library, PMS_CREATE_PDU_LIST_PLAIN));
        session->createGetData =
            plat::proc_cast<PmcCreateGetData>(GetProcAddress(session->library, PMC_CREATE_GET_DATA_NAME));
    }
    return session;
}

void LMN_CloseSession(SnmpSession *session)
{
    if (!session)
        return;
    LMN_FreeResults(session);
    if (session->library)
        FreeLibrary(session->library);
    LMU_Free(session);
}

int LMN_ResolveHost(char *host)
{
    WSADATA data;
    if (!host || WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return LMN_AF_INET;
    int family = LMN_AF_INET;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) == 0 && list) {
        char numeric[kResolvedBytes] = {};
        family = list->ai_family == AF_INET6 ? LMN_AF_INET6 : LMN_AF_INET;
        if (getnameinfo(list->ai_addr, list->ai_addrlen, numeric, sizeof numeric, nullptr, 0, NI_NUMERICHOST) == 0)
            copy_text(host, kResolvedBytes, numeric);
        freeaddrinfo(list);
    }
    WSACleanup();
    return family;
}

int LMN_Get(SnmpSession *session, char *text, int32_t *number, const char *oid, int retry)
{
    if (!session || !oid || (text == nullptr) == (number == nullptr) || !session->createGetData)
        return 0;
    int32_t status = 0;
    IPmcGetData *getter = session->createGetData(&status);
    if (!getter)
        return 0;
    const int mode = choose_mode(getter, session, retry);
    if (open_and_request(getter, session, mode, oid) != 0) {
        getter->Release();
        return 0;
    }
    const int32_t fetched = text ? getter->GetText(text, int32_t(LMN_VALUE_BYTES)) : getter->GetInt(number);
    getter->Release();
    if (fetched != 0)
        return retry ? 0 : LMN_Get(session, text, number, oid, 1);
    return 1;
}

int LMN_Walk(SnmpSession *session, const char *oid, int retry)
{
    if (!session || !oid || !session->createGetData || !session->createPduList)
        return 0;
    int32_t status = 0;
    IPmcGetData *getter = session->createGetData(&status);
    if (!getter)
        return 0;
    IPmcPtrList<IPmsPdu> *list = session->createPduList(&status);
    if (!list) {
        getter->Release();
        return 0;
    }
    const int mode = choose_mode(getter, session, retry);
    int result = 0;
    if (open_and_request(getter, session, mode, oid) == 0) {
        if (getter->Walk(list) != 0) {
            list->Release();
            getter->Release();
            return retry ? 0 : LMN_Walk(session, oid, 1);
        }
        result = 1;
        for (int32_t i = 0; i < list->Count(); ++i)
            if (IPmsPdu *pdu = list->At(i); pdu && !append_result(session, pdu))
                break;
    }
    list->Release();
    getter->Release();
    return result;
}

int LMN_NextResult(SnmpSession *session, char *text, int32_t *type, int32_t *number, char *oid)
{
    if (!session || !session->results || (type == nullptr) == (number == nullptr))
        return 0;
    SnmpResult *r = session->results;
    if (text)
        copy_text(text, LMN_VALUE_BYTES, r->value);
    if (type)
        *type = r->type;
    if (number)
        *number = r->number;
    if (oid)
        copy_text(oid, LMN_VALUE_BYTES, r->oid);
    session->results = r->next;
    if (!session->results)
        session->lastResult = nullptr;
    LMU_Free(r);
    return 1;
}

int LMN_FreeResults(SnmpSession *session)
{
    if (!session)
        return 1;
    while (SnmpResult *r = session->results) {
        session->results = r->next;
        LMU_Free(r);
    }
    session->lastResult = nullptr;
    return 1;
}
