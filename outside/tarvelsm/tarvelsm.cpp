/*
 * The SNMP library "tarvelsm.DLL" (libtarvelsm.so in the driver directory):
 * the getter and PDU-list objects of tarvelsm/pmc.h over net-snmp's
 * single-session API.  The community mode speaks SNMPv1; the user mode
 * speaks SNMPv3 with authPriv, HMAC-SHA-96 and AES-128.  net-snmp keeps
 * process-wide state (its USM user and engine lists, its request ids), so
 * every call into it runs under one process-wide lock.  It is initialised
 * once and never shut down; the library stays resident (-z nodelete), so a
 * monitor that loads and frees it every poll does not start it again.  No
 * configuration file, persistent file or MIB is read: object names are
 * parsed here as dotted numbers.  Before the first exchange with an opened
 * agent its port is probed with a connected UDP socket: a host that answers
 * at once that nothing listens there (ICMP port unreachable), as a printer
 * without SNMP does, fails the fetch without waiting out every try.
 */
#include <tarvelsm/pmc.h>

#include <plat/loader.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

/*
 * How long the probe waits for the host's "nothing listens here": on a
 * local network it comes within a millisecond or two; a later one only
 * costs the usual time-out.  Each opened agent that listens pays it once.
 */
constexpr int kProbeMs = 20;

/*
 * True when the host says at once that nothing listens on the UDP port: a
 * connected socket sends an empty SEQUENCE (which an agent drops) and sees
 * ECONNREFUSED.  A silent or listening host gives false.
 */
bool udp_port_refuses(const std::string &host, int family, int port, int waitMs)
{
    addrinfo hints{};
    hints.ai_family = family == PMC_FAMILY_IPV6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found)
        return false;
    bool refused = false;
    const int fd = socket(found->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) == 0) {
        static const unsigned char empty[] = {0x30, 0x00};
        if (send(fd, empty, sizeof empty, MSG_NOSIGNAL) < 0) {
            refused = errno == ECONNREFUSED;
        } else {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, waitMs) > 0) {
                char byte;
                refused = recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == ECONNREFUSED;
            }
        }
    }
    if (fd >= 0)
        close(fd);
    freeaddrinfo(found);
    return refused;
}

/* A walk stops after this many variables, whatever the agent answers. */
constexpr int kMaxWalk = 4096;
/* The longest object name taken. */
constexpr size_t kMaxArcs = MAX_OID_LEN;

std::mutex &library_lock()
{
    static std::mutex *m = new std::mutex; /* never destroyed: used until the process ends */
    return *m;
}

/* Lock held.  Starts net-snmp once, reading no configuration, persistent state or MIB. */
void start_library()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_QUICK_PRINT, 1);
    netsnmp_ds_set_int(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIB_WARNINGS, 0);
    setenv("MIBS", "", 1);
    setenv("MIBDIRS", "", 1);
    snmp_disable_log();
    init_snmp("tarvelsm");
}

/* Dotted numbers (an optional leading dot) into arcs; false for anything else. */
bool parse_oid(const char *text, oid *arcs, size_t *count)
{
    if (!text)
        return false;
    const char *p = text[0] == '.' ? text + 1 : text;
    size_t n = 0;
    while (*p) {
        if (*p < '0' || *p > '9' || n == kMaxArcs)
            return false;
        unsigned long long v = 0;
        while (*p >= '0' && *p <= '9') {
            v = v * 10 + unsigned(*p++ - '0');
            if (v > 0xFFFFFFFFull)
                return false;
        }
        arcs[n++] = oid(v);
        if (*p == '.' && p[1])
            ++p;
        else if (*p)
            return false;
    }
    *count = n;
    return n >= 2;
}

std::string oid_text(const oid *arcs, size_t count)
{
    std::string s;
    for (size_t i = 0; i < count; ++i) {
        if (i)
            s += '.';
        s += std::to_string(arcs[i]);
    }
    return s;
}

/* A value as text: strings byte for byte, numbers in decimal, names dotted; false for an exception. */
bool value_text(const netsnmp_variable_list *v, std::string &out)
{
    out.clear();
    switch (v->type) {
    case ASN_OCTET_STR:
    case ASN_OPAQUE:
        out.assign(reinterpret_cast<const char *>(v->val.string), v->val_len);
        break;
    case ASN_INTEGER:
        out = std::to_string(long(*v->val.integer));
        break;
    case ASN_COUNTER:
    case ASN_GAUGE:
    case ASN_TIMETICKS:
        out = std::to_string((unsigned long)(*v->val.integer) & 0xFFFFFFFFul);
        break;
    case ASN_OBJECT_ID:
        out = oid_text(v->val.objid, v->val_len / sizeof(oid));
        break;
    case ASN_IPADDRESS:
        if (v->val_len == 4) {
            char ip[16];
            std::snprintf(ip, sizeof ip, "%u.%u.%u.%u", v->val.string[0], v->val.string[1], v->val.string[2],
                          v->val.string[3]);
            out = ip;
        }
        break;
    case SNMP_NOSUCHOBJECT:
    case SNMP_NOSUCHINSTANCE:
    case SNMP_ENDOFMIBVIEW:
    case ASN_NULL:
        return false;
    default:
        break;
    }
    if (out.size() > size_t(PMC_TEXT_BYTES - 1))
        out.resize(PMC_TEXT_BYTES - 1);
    const size_t nul = out.find('\0');
    if (nul != std::string::npos)
        out.resize(nul);
    return true;
}

class Pdu final : public IPmsPdu {
public:
    const char *ValueText() override { return value.c_str(); }
    int32_t ValueType() override { return type; }
    int32_t ValueNumber() override { return number; }
    const char *OidText() override { return name.c_str(); }

    std::string value, name;
    int32_t type = 0;
    int32_t number = 0;
};

class PduList final : public IPmcPtrList<IPmsPdu> {
public:
    int32_t Count() override { return int32_t(items.size()); }
    IPmsPdu *At(int32_t index) override
    {
        return index >= 0 && size_t(index) < items.size() ? &items[size_t(index)] : nullptr;
    }
    void Release() override { delete this; }

    std::vector<Pdu> items;
};

class GetData final : public IPmcGetData {
public:
    int32_t SetCommunity(const char *text) override
    {
        if (!text || std::strlen(text) > 255)
            return 1;
        community = text;
        return 0;
    }

    int32_t Open(const char *host, int32_t family, int32_t port, int32_t modeWord, const PmcCredentials *cred,
                 int32_t timeoutMs, int32_t retryCount, int32_t) override
    {
        opened = false;
        if (!host || !*host || std::strlen(host) > 255 || port <= 0 || port > 65535 || timeoutMs <= 0 ||
            retryCount < 0)
            return 1;
        if (family != PMC_FAMILY_IPV4 && family != PMC_FAMILY_IPV6)
            return 1;
        if (modeWord == PMC_MODE_USER) {
            if (!cred || !cred->user || !*cred->user || cred->securityLevel != PMC_LEVEL_AUTH_PRIV ||
                cred->authProtocol != PMC_AUTH_HMAC_SHA96 || cred->privProtocol != PMC_PRIV_AES128 ||
                !cred->authPassPhrase || std::strlen(cred->authPassPhrase) < 8 || !cred->privPassPhrase ||
                std::strlen(cred->privPassPhrase) < 8)
                return 1;
            user = cred->user;
            authPass = cred->authPassPhrase;
            privPass = cred->privPassPhrase;
            context = cred->context ? cred->context : "";
        } else if (modeWord != PMC_MODE_COMMUNITY) {
            return 1;
        }
        host_ = host;
        probed = -1;
        family_ = family;
        port_ = port;
        peer = family == PMC_FAMILY_IPV6 ? "udp6:[" + std::string(host) + "]:" + std::to_string(port)
                                         : "udp:" + std::string(host) + ":" + std::to_string(port);
        mode = modeWord;
        timeout = timeoutMs;
        retries = retryCount;
        opened = true;
        return 0;
    }

    int32_t Request(const char *text) override
    {
        size_t n = 0;
        if (!opened || !parse_oid(text, arcs, &n))
            return 1;
        arcCount = n;
        return 0;
    }

    int32_t GetText(char *text, int32_t size) override
    {
        if (!text || size <= 0)
            return 1;
        std::string value;
        if (!get(value, nullptr))
            return 1;
        const size_t keep = value.size() < size_t(size - 1) ? value.size() : size_t(size - 1);
        std::memcpy(text, value.data(), keep);
        text[keep] = 0;
        return 0;
    }

    int32_t GetInt(int32_t *value) override
    {
        if (!value)
            return 1;
        std::string text;
        long number = 0;
        if (!get(text, &number))
            return 1;
        *value = int32_t(number);
        return 0;
    }

    int32_t Walk(IPmcPtrList<IPmsPdu> *target) override
    {
        auto *list = static_cast<PduList *>(target);
        if (!list || !arcCount)
            return 1;
        if (refuses())
            return 1; /* as a time-out */
        std::lock_guard<std::mutex> g(library_lock());
        void *session = open_session();
        if (!session)
            return 1;
        oid at[kMaxArcs];
        size_t atCount = arcCount;
        std::memcpy(at, arcs, arcCount * sizeof(oid));
        int32_t result = 0;
        for (int taken = 0; taken < kMaxWalk; ++taken) {
            netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GETNEXT);
            snmp_add_null_var(request, at, atCount);
            netsnmp_pdu *response = nullptr;
            const int status = snmp_sess_synch_response(session, request, &response);
            if (status != STAT_SUCCESS || !response) {
                result = 1; /* time-out or refused credentials */
                if (response)
                    snmp_free_pdu(response);
                break;
            }
            const netsnmp_variable_list *v = response->variables;
            /* noSuchName (SNMPv1) or endOfMibView: the agent has nothing further */
            const bool ended = response->errstat != SNMP_ERR_NOERROR || !v || v->type == SNMP_ENDOFMIBVIEW ||
                               v->name_length < arcCount ||
                               snmp_oid_compare(v->name, arcCount, arcs, arcCount) != 0 ||
                               snmp_oid_compare(v->name, v->name_length, at, atCount) <= 0 ||
                               v->name_length > kMaxArcs;
            if (!ended) {
                Pdu pdu;
                value_text(v, pdu.value);
                pdu.name = oid_text(v->name, v->name_length);
                pdu.type = v->type;
                if (v->type == ASN_INTEGER || v->type == ASN_COUNTER || v->type == ASN_GAUGE ||
                    v->type == ASN_TIMETICKS)
                    pdu.number = int32_t(*v->val.integer);
                list->items.push_back(std::move(pdu));
                atCount = v->name_length;
                std::memcpy(at, v->name, atCount * sizeof(oid));
            }
            snmp_free_pdu(response);
            if (ended)
                break;
        }
        snmp_sess_close(session);
        return result;
    }

    void Release() override { delete this; }

private:
    /* Lock held.  A net-snmp session for the kept agent and credentials, or null. */
    void *open_session()
    {
        start_library();
        netsnmp_session s;
        snmp_sess_init(&s);
        s.peername = const_cast<char *>(peer.c_str());
        s.timeout = long(timeout) * 1000;
        s.retries = retries;
        if (mode == PMC_MODE_COMMUNITY) {
            s.version = SNMP_VERSION_1;
            s.community = reinterpret_cast<u_char *>(const_cast<char *>(community.c_str()));
            s.community_len = community.size();
        } else {
            s.version = SNMP_VERSION_3;
            s.securityName = const_cast<char *>(user.c_str());
            s.securityNameLen = user.size();
            s.securityLevel = SNMP_SEC_LEVEL_AUTHPRIV;
            s.securityAuthProto = usmHMACSHA1AuthProtocol;
            s.securityAuthProtoLen = USM_AUTH_PROTO_SHA_LEN;
            s.securityAuthKeyLen = USM_AUTH_KU_LEN;
            if (generate_Ku(s.securityAuthProto, s.securityAuthProtoLen,
                            reinterpret_cast<u_char *>(const_cast<char *>(authPass.c_str())), authPass.size(),
                            s.securityAuthKey, &s.securityAuthKeyLen) != SNMPERR_SUCCESS)
                return nullptr;
            s.securityPrivProto = usmAESPrivProtocol;
            s.securityPrivProtoLen = USM_PRIV_PROTO_AES_LEN;
            s.securityPrivKeyLen = USM_PRIV_KU_LEN;
            if (generate_Ku(s.securityAuthProto, s.securityAuthProtoLen,
                            reinterpret_cast<u_char *>(const_cast<char *>(privPass.c_str())), privPass.size(),
                            s.securityPrivKey, &s.securityPrivKeyLen) != SNMPERR_SUCCESS)
                return nullptr;
            s.contextName = const_cast<char *>(context.c_str());
            s.contextNameLen = context.size();
        }
        return snmp_sess_open(&s);
    }

    /* One GET of the kept variable; its value as text and, when asked, as an integer. */
    bool get(std::string &text, long *number)
    {
        if (!arcCount || refuses())
            return false;
        std::lock_guard<std::mutex> g(library_lock());
        void *session = open_session();
        if (!session)
            return false;
        netsnmp_pdu *request = snmp_pdu_create(SNMP_MSG_GET);
        snmp_add_null_var(request, arcs, arcCount);
        netsnmp_pdu *response = nullptr;
        bool ok = snmp_sess_synch_response(session, request, &response) == STAT_SUCCESS && response &&
                  response->errstat == SNMP_ERR_NOERROR && response->variables;
        if (ok) {
            const netsnmp_variable_list *v = response->variables;
            ok = value_text(v, text);
            if (ok && number) {
                ok = v->type == ASN_INTEGER || v->type == ASN_COUNTER || v->type == ASN_GAUGE ||
                     v->type == ASN_TIMETICKS;
                if (ok)
                    *number = long(*v->val.integer);
            }
        }
        if (response)
            snmp_free_pdu(response);
        snmp_sess_close(session);
        return ok;
    }

    /* The agent's host says that nothing listens on its port; probed once per opened agent. */
    bool refuses()
    {
        if (probed < 0)
            probed = udp_port_refuses(host_, family_, port_, std::min<int>(timeout, kProbeMs)) ? 1 : 0;
        return probed == 1;
    }

    int probed = -1; /* -1 not yet, 0 listening or silent, 1 refused */
    std::string host_;
    int32_t family_ = PMC_FAMILY_IPV4;
    int32_t port_ = 161;
    std::string community = "public";
    std::string peer, user, authPass, privPass, context;
    int32_t mode = PMC_MODE_COMMUNITY;
    int32_t timeout = 3000;
    int32_t retries = 1;
    bool opened = false;
    oid arcs[kMaxArcs] = {};
    size_t arcCount = 0;
};

IPmcGetData *create_get_data(int32_t *status)
{
    auto *g = new (std::nothrow) GetData;
    if (status)
        *status = g ? 0 : 1;
    return g;
}

IPmcPtrList<IPmsPdu> *create_pdu_list(int32_t *status)
{
    auto *l = new (std::nothrow) PduList;
    if (status)
        *status = l ? 0 : 1;
    return l;
}

} // namespace

PLAT_EXPORT_ALIAS(PMC_CREATE_GET_DATA_NAME, create_get_data)
PLAT_EXPORT_ALIAS(PMS_CREATE_PDU_LIST_NAME, create_pdu_list)
