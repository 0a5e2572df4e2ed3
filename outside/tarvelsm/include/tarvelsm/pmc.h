/*
 * The interface of the SNMP library "tarvelsm.DLL" as the language monitor
 * drives it: a getter object made by the getter factory, and a list of PDUs
 * made by the list factory for walks.  Both factories take an out status
 * (0 on success) and are found by their decorated names.  Every method that
 * answers a status answers 0 on success.  The monitor calls, in order:
 * SetCommunity (when it uses the community), Open, Request, then one fetch
 * (GetText, GetInt or Walk), then Release.  The exchange with the agent
 * happens in the fetch, so a time-out or an authentication failure is a
 * failing fetch, which the monitor answers by asking again with the other
 * credentials.
 */
#ifndef TARVELSM_PMC_H
#define TARVELSM_PMC_H

#include <cstddef>
#include <cstdint>

/* Modes of Open: the community (SNMPv1) or the user-based model (SNMPv3). */
constexpr int32_t PMC_MODE_COMMUNITY = 0;
constexpr int32_t PMC_MODE_USER = 2;
/* Address families of Open. */
constexpr int32_t PMC_FAMILY_IPV4 = 1;
constexpr int32_t PMC_FAMILY_IPV6 = 4;
/* The three settings words: security level, authentication and privacy protocols. */
constexpr int32_t PMC_LEVEL_AUTH_PRIV = 2;
constexpr int32_t PMC_AUTH_HMAC_SHA96 = 1;
constexpr int32_t PMC_PRIV_AES128 = 1;
/* Texts a getter keeps: 255 characters and a terminator. */
constexpr int32_t PMC_TEXT_BYTES = 256;

/* The user-based credentials: six 64-bit words. */
struct PmcCredentials {
    const char *user;
    int32_t securityLevel;
    int32_t authProtocol;
    int32_t privProtocol;
    const char *authPassPhrase;
    const char *privPassPhrase;
    const char *context;
};
static_assert(sizeof(PmcCredentials) == 48, "PmcCredentials layout");
static_assert(offsetof(PmcCredentials, authPassPhrase) == 24, "PmcCredentials offsets");

/* One variable of a walk's answer. */
class IPmsPdu {
public:
    /* The value as text (at most 255 characters). */
    virtual const char *ValueText() = 0;
    /* The value's ASN.1 type tag. */
    virtual int32_t ValueType() = 0;
    /* The value as a number (integers, counters, gauges; 0 otherwise). */
    virtual int32_t ValueNumber() = 0;
    /* The variable's name as dotted numbers. */
    virtual const char *OidText() = 0;

protected:
    ~IPmsPdu() = default;
};

/* A list of objects the list owns. */
template <typename T>
class IPmcPtrList {
public:
    virtual int32_t Count() = 0;
    /* Item `index` (0 on), or null past the end. */
    virtual T *At(int32_t index) = 0;
    /* Frees the list and its items. */
    virtual void Release() = 0;

protected:
    ~IPmcPtrList() = default;
};

class IPmcGetData {
public:
    /* The community for the community mode; copied. */
    virtual int32_t SetCommunity(const char *community) = 0;
    /*
     * The agent and how to ask it: numeric host, PMC_FAMILY_*, UDP port,
     * PMC_MODE_*, the user-based credentials (used in PMC_MODE_USER), time-out
     * per try in milliseconds, further tries, flags (0).  Checks and keeps them.
     */
    virtual int32_t Open(const char *host, int32_t family, int32_t port, int32_t mode, const PmcCredentials *credentials,
                         int32_t timeoutMs, int32_t retries, int32_t flags) = 0;
    /* The variable to fetch, or the root of the subtree to walk (dotted numbers); checked and kept. */
    virtual int32_t Request(const char *oid) = 0;
    /* GET of the variable; its value as text into `text` (`size` bytes, at most 255 characters kept). */
    virtual int32_t GetText(char *text, int32_t size) = 0;
    /* GET of the variable; its value as an integer. */
    virtual int32_t GetInt(int32_t *value) = 0;
    /* Every variable of the subtree in order, appended to `list` (made by the list factory). */
    virtual int32_t Walk(IPmcPtrList<IPmsPdu> *list) = 0;
    /* Frees the getter. */
    virtual void Release() = 0;

protected:
    ~IPmcGetData() = default;
};

/* The factories and their export names. */
typedef IPmcGetData *(*PmcCreateGetData)(int32_t *status);
typedef IPmcPtrList<IPmsPdu> *(*PmsCreatePduList)(int32_t *status);
#define PMC_CREATE_GET_DATA_NAME "?pmc_create_get_data@@YAPEAVIPmcGetData@@PEAJ@Z"
#define PMS_CREATE_PDU_LIST_NAME "?pms_create_pdu_list@@YAPEAV?$IPmcPtrList@VIPmsPdu@@@@PEAJ@Z"
#define PMS_CREATE_PDU_LIST_PLAIN "pms_create_pdu_list"

#endif /* TARVELSM_PMC_H */
