/*
 * Access tokens and security identifiers (plat/security.h).  An identifier
 * is our own stored form: revision 1, the sub-authority count, the 6-byte
 * authority and the 32-bit sub-authorities, as Windows lays a SID out.
 */
#include <plat/security.h>

#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/spooler.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kTokenKind = 24;
constexpr size_t kSidHead = 8; /* revision, count, authority */

std::atomic<bool> g_admin{true};

const bool registered = (plat::machine_on_reset([] { g_admin = true; }), true);

struct Token {
    DWORD access;
};

void closeToken(void *object) { delete static_cast<Token *>(object); }

/* The stored form of S-<authority>-<subs...> appended to `out`. */
void appendSid(std::vector<BYTE> &out, BYTE authority, std::initializer_list<DWORD> subs)
{
    const size_t at = out.size();
    out.resize(at + kSidHead + 4 * subs.size(), 0);
    out[at] = 1;
    out[at + 1] = BYTE(subs.size());
    out[at + 7] = authority;
    size_t i = 0;
    for (DWORD s : subs)
        plat::store_u32(out.data(), at + kSidHead + 4 * i++, s);
}

size_t sidLength(PSID sid) { return kSidHead + 4 * size_t(static_cast<const BYTE *>(sid)[1]); }

} // namespace

HANDLE GetCurrentProcess(void) { return reinterpret_cast<HANDLE>(intptr_t(-1)); }

BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE *token)
{
    static const bool kindReady = plat::handle_register(kTokenKind, closeToken);
    (void)kindReady;
    (void)registered;
    if (!token) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *token = nullptr;
    if (process != GetCurrentProcess()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    HANDLE h = plat::handle_create(kTokenKind, new Token{access});
    if (!h)
        return FALSE;
    *token = h;
    return TRUE;
}

BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void *info, DWORD length, DWORD *returned)
{
    std::shared_ptr<void> object = plat::handle_object(token, kTokenKind);
    if (!object || !returned) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(static_cast<Token *>(object.get())->access & TOKEN_QUERY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (cls != TokenGroups) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<BYTE> sids;
    std::vector<size_t> offsets;
    offsets.push_back(sids.size());
    appendSid(sids, 1, {0});
    offsets.push_back(sids.size());
    appendSid(sids, 5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS});
    if (g_admin) {
        offsets.push_back(sids.size());
        appendSid(sids, 5, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS});
    }
    const size_t head = offsetof(TOKEN_GROUPS, Groups) + sizeof(SID_AND_ATTRIBUTES) * offsets.size();
    const size_t needed = head + sids.size();
    *returned = DWORD(needed);
    if (!info || length < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto *groups = static_cast<TOKEN_GROUPS *>(info);
    BYTE *store = static_cast<BYTE *>(info) + head;
    std::memcpy(store, sids.data(), sids.size());
    groups->GroupCount = DWORD(offsets.size());
    for (size_t i = 0; i < offsets.size(); i++) {
        groups->Groups[i].Sid = store + offsets[i];
        groups->Groups[i].Attributes = SE_GROUP_ENABLED;
    }
    return TRUE;
}

BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY *authority, BYTE count, DWORD s0, DWORD s1, DWORD s2,
                              DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID *sid)
{
    if (!authority || !sid || count < 1 || count > 8) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, kSidHead + 4 * size_t(count)));
    if (!block)
        return FALSE;
    block[0] = 1;
    block[1] = count;
    std::memcpy(block + 2, authority->Value, 6);
    const DWORD subs[8] = {s0, s1, s2, s3, s4, s5, s6, s7};
    for (BYTE i = 0; i < count; i++)
        plat::store_u32(block, kSidHead + 4 * size_t(i), subs[i]);
    *sid = block;
    return TRUE;
}

BOOL EqualSid(PSID a, PSID b)
{
    if (!a || !b)
        return FALSE;
    const size_t n = sidLength(a);
    return n == sidLength(b) && std::memcmp(a, b, n) == 0;
}

PVOID FreeSid(PSID sid)
{
    if (sid)
        GlobalFree(sid);
    return nullptr;
}

namespace plat {

void security_set_admin(bool admin)
{
    g_admin = admin;
    registry_set_admin(admin);
    spool_set_current_user_rights(admin ? SpoolUser::Administrator : SpoolUser::Ordinary);
}

} // namespace plat
