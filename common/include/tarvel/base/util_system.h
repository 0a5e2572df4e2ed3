/*
 * System facts and files for the common library: the operating-system
 * version classes and checks, the user name with its fallbacks, temporary
 * file names and file age.  The two version checks that callers ask often
 * (XP or later, Vista or later) are computed once per process; tests reset
 * them with UTL_ResetVersionCacheForTest.
 */
#ifndef TARVEL_UTIL_SYSTEM_H
#define TARVEL_UTIL_SYSTEM_H

#include <plat/types.h>

/* Version classes of UTL_GetOsVersionClass. */
#define UTL_OS_OTHER 0x000
#define UTL_OS_9X_OLD 0x100  /* Windows 9x family, major version below 4 */
#define UTL_OS_9X_40 0x101   /* Windows 95 (4.0) */
#define UTL_OS_9X_LATER 0x102 /* Windows 98/ME (4.x later, or above 4) */
#define UTL_OS_NT_OLD 0x200  /* NT family, major version below 4 */
#define UTL_OS_NT_4 0x201    /* NT 4 */
#define UTL_OS_NT_5 0x202    /* NT 5 or later */

/* The devmode field value UTL_GetOsFieldClass hands out for systems that have the newer fields. */
#define UTL_OS_FIELD_VALUE 512

/*
 * Classifies the system version (GetVersionExW) into *out (one of the
 * UTL_OS_ classes).  Returns 1, or -1 for a null out or when the version
 * cannot be read.
 */
int UTL_GetOsVersionClass(int *out);

/*
 * 0 (out untouched) for the classes 0x100, 0x101, 0x200 and 0x201;
 * otherwise *out = 512 and 1; -1 for a null out or when the version cannot
 * be read.
 */
int UTL_GetOsFieldClass(int *out);

/* VerifyVersionInfoW: the system's major.minor version is at least major.minor. */
BOOL UTL_IsAtLeastVersion(DWORD major, DWORD minor);

/* UTL_IsAtLeastVersion(5, 1) and (6, 0), each computed once per process. */
BOOL UTL_IsXpOrLater(void);
BOOL UTL_IsVistaOrLater(void);

/* Test-only: forgets the two cached answers above. */
void UTL_ResetVersionCacheForTest(void);

/*
 * The user's name into `buffer`; `*size` holds its capacity in characters
 * and receives the characters written including the terminator.  The name
 * is GetUserNameW's, unless that fails or gives the local system account
 * ("SYSTEM", compared ignoring case): then the value "DefaultUserName" of
 * HKLM "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon\", or
 * "UnknownUser" when that key or value cannot be read (or is not a text
 * that fits).  Returns 1; 0 with ERROR_INVALID_PARAMETER for a null
 * argument, or with ERROR_INSUFFICIENT_BUFFER and *size = the size needed
 * when even the fallback does not fit.
 */
BOOL UTL_GetUserName(LPWSTR buffer, LPDWORD size);

/* DeleteFileW. */
BOOL UTL_DeleteFile(LPCWSTR path);

/*
 * Makes and creates a temporary file (GetTempFileNameW with unique number
 * 0) with `prefix` (null: "QZP"), trying in turn the temporary folder, the
 * Windows folder, the system folder and the current folder; when all fail,
 * the fixed name "c:\qzmrd.tmp" (not created).  `path` holds MAX_PATH
 * characters.  Returns 1, or 0 for a null path.
 */
BOOL UTL_MakeTempFileName(LPWSTR path, LPCWSTR prefix);

/*
 * 1 when the file exists and its last write lies before now by at least
 * `seconds` seconds (GetSystemTimeAsFileTime, 100 ns units); 0 otherwise
 * (also for a file written in the future, a null path or negative seconds).
 */
BOOL UTL_IsFileOlderThan(LPCWSTR path, LONG seconds);

#endif /* TARVEL_UTIL_SYSTEM_H */
