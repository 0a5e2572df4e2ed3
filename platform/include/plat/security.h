/*
 * Access tokens and security identifiers, as far as a driver asks who the
 * user is: OpenProcessToken on the current process, GetTokenInformation
 * with TokenGroups, AllocateAndInitializeSid, EqualSid and FreeSid.  The
 * token's groups are what the machine describes: every user is in Everyone
 * (S-1-1-0) and Users (S-1-5-32-545); an administrator also in
 * Administrators (S-1-5-32-544).  The user is an administrator after
 * machine_reset; plat::security_set_admin changes that (and the registry's
 * and spooler's view of the same user with it).
 */
#ifndef PLAT_SECURITY_H
#define PLAT_SECURITY_H

#include <plat/types.h>

#include <cstdint>

typedef void *PSID;

struct SID_IDENTIFIER_AUTHORITY {
    BYTE Value[6];
};

struct SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
};

struct TOKEN_GROUPS {
    DWORD GroupCount;
    SID_AND_ATTRIBUTES Groups[1];
};

enum TOKEN_INFORMATION_CLASS { TokenUser = 1, TokenGroups = 2 };

#define TOKEN_QUERY 0x0008u
#define SE_GROUP_ENABLED 0x00000004u
#define SECURITY_WORLD_SID_AUTHORITY {{0, 0, 0, 0, 0, 1}}
#define SECURITY_NT_AUTHORITY {{0, 0, 0, 0, 0, 5}}
#define SECURITY_BUILTIN_DOMAIN_RID 32u
#define DOMAIN_ALIAS_RID_ADMINS 544u
#define DOMAIN_ALIAS_RID_USERS 545u
#ifndef ERROR_INSUFFICIENT_BUFFER
#define ERROR_INSUFFICIENT_BUFFER 122L
#endif

/* The current process's pseudo-handle. */
HANDLE GetCurrentProcess(void);

/* A token of the current process (close with CloseHandle); FALSE with ERROR_INVALID_HANDLE for another process. */
BOOL OpenProcessToken(HANDLE process, DWORD access, HANDLE *token);

/*
 * TokenGroups: the groups (pointers into `info`), *returned the bytes
 * needed; ERROR_INSUFFICIENT_BUFFER when `length` is smaller.  Other
 * classes: ERROR_INVALID_PARAMETER.  A token opened without TOKEN_QUERY:
 * ERROR_ACCESS_DENIED.
 */
BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, void *info, DWORD length, DWORD *returned);

/* A new identifier of `count` (1-8) sub-authorities; free it with FreeSid. */
BOOL AllocateAndInitializeSid(const SID_IDENTIFIER_AUTHORITY *authority, BYTE count, DWORD s0, DWORD s1, DWORD s2,
                              DWORD s3, DWORD s4, DWORD s5, DWORD s6, DWORD s7, PSID *sid);
BOOL EqualSid(PSID a, PSID b);
PVOID FreeSid(PSID sid);

namespace plat {

/* Makes the machine's user an administrator or an ordinary user (token groups, registry and spooler rights). */
void security_set_admin(bool admin);

} // namespace plat

#endif /* PLAT_SECURITY_H */
