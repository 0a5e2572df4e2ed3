/*
 * Process and thread ids, user and computer name and locale data of the
 * simulated machine, with the knobs tests use to change or break them.
 */
#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/registry.h>
#include <plat/sysinfo.h>
#include <plat/text.h>

#include <unistd.h>

#include <array>
#include <deque>
#include <random>
#include <mutex>
#include <string>

namespace plat {

namespace {

/* One row of locale data; every text is what GetLocaleInfoW answers. */
struct LocaleRow {
    LCID lcid;
    const char16_t *country_code; /* LOCALE_ICOUNTRY: international dialling code */
    const char16_t *measure;      /* LOCALE_IMEASURE: 0 metric, 1 U.S. */
    const char16_t *decimal;      /* LOCALE_SDECIMAL */
    const char16_t *date_order;   /* LOCALE_IDATE: 0 M-D-Y, 1 D-M-Y, 2 Y-M-D */
    const char16_t *language;     /* LOCALE_SISO639LANGNAME */
    const char16_t *country;      /* LOCALE_SISO3166CTRYNAME */
    const char16_t *ansi_cp;      /* LOCALE_IDEFAULTANSICODEPAGE, set with the locale */
};

constexpr std::array<LocaleRow, 7> kLocales = {{
    {0x0409, u"1", u"1", u".", u"0", u"en", u"US", u"1252"},
    {0x0809, u"44", u"0", u".", u"1", u"en", u"GB", u"1252"},
    {0x0407, u"49", u"0", u",", u"1", u"de", u"DE", u"1252"},
    {0x040C, u"33", u"0", u",", u"1", u"fr", u"FR", u"1252"},
    {0x080A, u"52", u"0", u".", u"1", u"es", u"MX", u"1252"},
    {0x0411, u"81", u"0", u".", u"2", u"ja", u"JP", u"932"},
    {0x0804, u"86", u"0", u".", u"2", u"zh", u"CN", u"936"},
}};

constexpr LCID kDefaultLocale = 0x0409;

struct SysinfoState {
    std::mutex lock;
    bool ids_fixed = false;
    DWORD pid = 0;
    DWORD tid = 0;
    std::u16string user = u"tarvel";
    std::u16string computer = u"TARVELPC";
    LCID locale = kDefaultLocale;
    DWORD fail_user = 0;
    DWORD fail_computer = 0;
    DWORD fail_locale = 0;
    DWORD fail_guid = 0;
    std::deque<GUID> guids;
};

SysinfoState &state()
{
    static SysinfoState *s = new SysinfoState; /* never destroyed: threads may ask during exit */
    return *s;
}

const LocaleRow *find_locale(LCID lcid)
{
    for (const auto &row : kLocales)
        if (row.lcid == lcid)
            return &row;
    return nullptr;
}

void reset_sysinfo()
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.ids_fixed = false;
    s.user = u"tarvel";
    s.computer = u"TARVELPC";
    s.locale = kDefaultLocale;
    s.fail_user = s.fail_computer = s.fail_locale = s.fail_guid = 0;
    s.guids.clear();
}

const bool registered = (machine_on_reset(reset_sysinfo), true);

/*
 * Copies `text` and its NUL into `buf` of `*size` characters.  On success
 * `*size` becomes the characters copied (with the NUL when `count_nul`);
 * when it does not fit, `*size` becomes the size needed with the NUL and
 * the call fails with `too_small`.
 */
BOOL copy_name(const std::u16string &text, LPWSTR buf, LPDWORD size, bool count_nul, DWORD too_small)
{
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD need = DWORD(text.size() + 1);
    if (!buf || *size < need) {
        *size = need;
        SetLastError(too_small);
        return FALSE;
    }
    text.copy(buf, text.size());
    buf[text.size()] = 0;
    *size = count_nul ? need : need - 1;
    return TRUE;
}

/*
 * GetUserNameW (counts the NUL, ERROR_INSUFFICIENT_BUFFER) or
 * GetComputerNameW (does not, ERROR_BUFFER_OVERFLOW), or the injected
 * failure.
 */
BOOL answer_name(SysinfoCall call, LPWSTR buf, LPDWORD size)
{
    const bool user = call == SysinfoCall::UserName;
    std::u16string name;
    {
        SysinfoState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        const DWORD fail = user ? s.fail_user : s.fail_computer;
        if (fail) {
            SetLastError(fail);
            return FALSE;
        }
        name = user ? s.user : s.computer;
    }
    return copy_name(name, buf, size, user, user ? ERROR_INSUFFICIENT_BUFFER : ERROR_BUFFER_OVERFLOW);
}

} // namespace

void sysinfo_fix_ids(DWORD pid, DWORD tid)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.ids_fixed = true;
    s.pid = pid;
    s.tid = tid;
}

void sysinfo_real_ids()
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.ids_fixed = false;
}

void sysinfo_set_user_name(std::u16string_view name)
{
    {
        SysinfoState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        s.user = name;
    }
    /* the logged-on user owns HKEY_CURRENT_USER and the profile folders */
    registry_set_current_user(name);
}

void sysinfo_set_computer_name(std::u16string_view name)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.computer = name;
}

bool sysinfo_set_locale(LCID lcid)
{
    const LocaleRow *row = find_locale(lcid);
    if (!row)
        return false;
    {
        SysinfoState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        s.locale = lcid;
    }
    /* a machine set up for a locale runs that locale's ANSI code page */
    set_ansi_code_page(UINT(std::stoul(utf16_to_utf8(row->ansi_cp))));
    return true;
}

void sysinfo_set_failure(SysinfoCall call, DWORD error)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    switch (call) {
    case SysinfoCall::UserName:
        s.fail_user = error;
        break;
    case SysinfoCall::ComputerName:
        s.fail_computer = error;
        break;
    case SysinfoCall::LocaleInfo:
        s.fail_locale = error;
        break;
    case SysinfoCall::Guid:
        s.fail_guid = error;
        break;
    }
}

void sysinfo_queue_guid(const GUID &guid)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.guids.push_back(guid);
}

} // namespace plat

using namespace plat;

DWORD GetCurrentProcessId(void)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.ids_fixed ? s.pid : DWORD(::getpid());
}

DWORD GetCurrentThreadId(void)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.ids_fixed ? s.tid : DWORD(::gettid());
}

BOOL GetUserNameW(LPWSTR buf, LPDWORD size) { return answer_name(SysinfoCall::UserName, buf, size); }

BOOL GetComputerNameW(LPWSTR buf, LPDWORD size) { return answer_name(SysinfoCall::ComputerName, buf, size); }

BOOL GetComputerNameA(LPSTR buf, LPDWORD size)
{
    std::u16string name;
    {
        SysinfoState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        if (s.fail_computer) {
            SetLastError(s.fail_computer);
            return FALSE;
        }
        name = s.computer;
    }
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const int need = WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0)
        return FALSE;
    if (!buf || *size < DWORD(need)) {
        *size = DWORD(need);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    WideCharToMultiByte(CP_ACP, 0, name.c_str(), -1, buf, need, nullptr, nullptr);
    *size = DWORD(need - 1);
    return TRUE;
}

HRESULT CoCreateGuid(GUID *guid)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (!guid || s.fail_guid)
        return E_FAIL;
    if (!s.guids.empty()) {
        *guid = s.guids.front();
        s.guids.pop_front();
        return S_OK;
    }
    static std::mt19937_64 rng{std::random_device{}()};
    const unsigned long long a = rng(), b = rng();
    guid->Data1 = DWORD(a);
    guid->Data2 = WORD(a >> 32);
    guid->Data3 = WORD((a >> 48 & 0x0FFF) | 0x4000);
    for (int i = 0; i < 8; ++i)
        guid->Data4[i] = BYTE(b >> (8 * i));
    guid->Data4[0] = BYTE((guid->Data4[0] & 0x3F) | 0x80);
    return S_OK;
}

LCID GetUserDefaultLCID(void)
{
    SysinfoState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.locale;
}

LCID GetSystemDefaultLCID(void) { return GetUserDefaultLCID(); }

LANGID GetUserDefaultLangID(void) { return LANGIDFROMLCID(GetUserDefaultLCID()); }

LANGID GetUserDefaultUILanguage(void) { return LANGIDFROMLCID(GetUserDefaultLCID()); }

int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size)
{
    LCID current;
    {
        SysinfoState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        if (s.fail_locale) {
            SetLastError(s.fail_locale);
            return 0;
        }
        current = s.locale;
    }
    if (size < 0 || (size > 0 && !data)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT || locale == LOCALE_NEUTRAL)
        locale = current;
    const LocaleRow *row = find_locale(locale);
    if (!row) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const bool as_number = (type & LOCALE_RETURN_NUMBER) != 0;
    const char16_t *text = nullptr;
    bool numeric = true;
    switch (type & ~(LOCALE_NOUSEROVERRIDE | LOCALE_USE_CP_ACP | LOCALE_RETURN_NUMBER)) {
    case LOCALE_ICOUNTRY:
        text = row->country_code;
        break;
    case LOCALE_IMEASURE:
        text = row->measure;
        break;
    case LOCALE_IDATE:
        text = row->date_order;
        break;
    case LOCALE_IDEFAULTANSICODEPAGE:
        text = row->ansi_cp;
        break;
    case LOCALE_SDECIMAL:
        text = row->decimal;
        numeric = false;
        break;
    case LOCALE_SISO639LANGNAME:
        text = row->language;
        numeric = false;
        break;
    case LOCALE_SISO3166CTRYNAME:
        text = row->country;
        numeric = false;
        break;
    default:
        break;
    }
    if (!text || (as_number && !numeric)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const std::u16string_view value(text);
    if (as_number) {
        constexpr int kNeed = int(sizeof(DWORD) / sizeof(WCHAR));
        if (size == 0)
            return kNeed;
        if (size < kNeed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        DWORD n = 0;
        for (char16_t c : value)
            n = n * 10 + DWORD(c - u'0');
        store(data, n);
        return kNeed;
    }
    const int need = int(value.size() + 1);
    if (size == 0)
        return need;
    if (size < need) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    value.copy(data, value.size());
    data[value.size()] = 0;
    return need;
}
