/*
 * Facts about the simulated machine that the driver asks the system for:
 * process and thread ids, user and computer name, and the locale.
 *
 * Each fact has a default and a test knob; machine_reset restores the
 * defaults (real ids, user "tarvel", computer "TARVELPC", locale 0x0409
 * English (United States), no injected failures).
 */
#ifndef PLAT_SYSINFO_H
#define PLAT_SYSINFO_H

#include <plat/types.h>

#include <string_view>

typedef DWORD LCID;
typedef WORD LANGID;
typedef DWORD LCTYPE;

#ifndef ERROR_BUFFER_OVERFLOW
#define ERROR_BUFFER_OVERFLOW 111L
#endif
#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif

#define MAX_COMPUTERNAME_LENGTH 15
#define UNLEN 256

/* Pseudo locales accepted by GetLocaleInfoW. */
#define LOCALE_NEUTRAL 0x0000u
#define LOCALE_USER_DEFAULT 0x0400u
#define LOCALE_SYSTEM_DEFAULT 0x0800u

/* Locale items answered by GetLocaleInfoW. */
#define LOCALE_ICOUNTRY 0x0005u
#define LOCALE_IMEASURE 0x000Du
#define LOCALE_SDECIMAL 0x000Eu
#define LOCALE_IDATE 0x0021u
#define LOCALE_SISO639LANGNAME 0x0059u
#define LOCALE_SISO3166CTRYNAME 0x005Au
#define LOCALE_IDEFAULTANSICODEPAGE 0x1004u

/* Flags that may be combined with a locale item. */
#define LOCALE_NOUSEROVERRIDE 0x80000000u
#define LOCALE_USE_CP_ACP 0x40000000u
#define LOCALE_RETURN_NUMBER 0x20000000u

#define LANGIDFROMLCID(lcid) ((LANGID)(lcid))

/* Id of the calling process (real by default). */
DWORD GetCurrentProcessId(void);

/* Id of the calling thread (real by default). */
DWORD GetCurrentThreadId(void);

/*
 * Copies the user name into `buf`.  `*size` holds the buffer size in
 * characters; on success it receives the characters copied including the
 * NUL.  When the buffer is too small (or null) the call answers FALSE with
 * ERROR_INSUFFICIENT_BUFFER and `*size` = the size needed including the NUL.
 * A null `size` answers ERROR_INVALID_PARAMETER.
 */
BOOL GetUserNameW(LPWSTR buf, LPDWORD size);

/*
 * Copies the computer name into `buf`.  `*size` holds the buffer size in
 * characters; on success it receives the characters copied NOT counting the
 * NUL.  When the buffer is too small (or null) the call answers FALSE with
 * ERROR_BUFFER_OVERFLOW and `*size` = the size needed including the NUL.
 */
BOOL GetComputerNameW(LPWSTR buf, LPDWORD size);

/*
 * The computer name in the ANSI code page, with the size rules of
 * GetComputerNameW (`*size` in bytes; too small: ERROR_BUFFER_OVERFLOW and
 * the size needed including the NUL).
 */
BOOL GetComputerNameA(LPSTR buf, LPDWORD size);

/* A globally unique identifier as COM lays it out. */
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
/*
 * A new GUID: random unless a test queued GUIDs (plat::sysinfo_queue_guid),
 * which are handed out first, in order.  E_FAIL when a failure is injected
 * or for null (the GUID is then left as it was).
 */
HRESULT CoCreateGuid(GUID *guid);

/* The user's, the system's and the user interface's locale / language. */
LCID GetUserDefaultLCID(void);
LCID GetSystemDefaultLCID(void);
LANGID GetUserDefaultLangID(void);
LANGID GetUserDefaultUILanguage(void);

/*
 * One item of a locale's data as text, like "44" or ",".  `locale` is an
 * LCID of the machine's table or one of LOCALE_USER_DEFAULT,
 * LOCALE_SYSTEM_DEFAULT, LOCALE_NEUTRAL (all three mean the machine's
 * locale).  With `size` 0 the call answers the characters needed including
 * the NUL and writes nothing; otherwise it answers the characters written
 * including the NUL, or 0 with ERROR_INSUFFICIENT_BUFFER when they do not
 * fit.  With LOCALE_RETURN_NUMBER a numeric item (ICOUNTRY, IMEASURE, IDATE,
 * IDEFAULTANSICODEPAGE) is written as a DWORD and the answer is 2.  Unknown
 * locale: 0 with ERROR_INVALID_PARAMETER; unknown item: ERROR_INVALID_FLAGS.
 */
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size);

namespace plat {

/* Fixes the ids GetCurrentProcessId and GetCurrentThreadId answer (every thread gets `tid`). */
void sysinfo_fix_ids(DWORD pid, DWORD tid);

/* Returns both ids to the real ones. */
void sysinfo_real_ids();

/* Sets the user name GetUserNameW answers; that user also becomes the
 * owner of HKEY_CURRENT_USER. */
void sysinfo_set_user_name(std::u16string_view name);

/* Sets the computer name GetComputerNameW answers. */
void sysinfo_set_computer_name(std::u16string_view name);

/*
 * Sets the machine's locale (user, system and user-interface language).
 * Answers false, changing nothing, for a locale the table does not hold:
 * 0x0409 en-US, 0x0809 en-GB, 0x0407 de-DE, 0x040C fr-FR, 0x080A es-MX,
 * 0x0411 ja-JP, 0x0804 zh-CN.  Also switches the machine's ANSI code page
 * to the locale's (932 for ja-JP, 936 for zh-CN, else 1252).
 */
bool sysinfo_set_locale(LCID lcid);

/* Queues a GUID for the next CoCreateGuid call. */
void sysinfo_queue_guid(const GUID &guid);
/* Calls whose failure a test can inject (Guid: CoCreateGuid, whatever the error). */
enum class SysinfoCall { UserName, ComputerName, LocaleInfo, Guid };

/*
 * Makes every later `call` fail with last error `error`, until it is called
 * again with error 0.
 */
void sysinfo_set_failure(SysinfoCall call, DWORD error);

} // namespace plat

#endif /* PLAT_SYSINFO_H */
