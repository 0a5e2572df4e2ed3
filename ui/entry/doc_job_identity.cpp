/*
 * Who and what a job is, as start of document gathers it for the renderer:
 * the user's name, the job identity block (computer, document, user and
 * printer name) and the annotation record (the texts the renderer may print
 * on the pages: user, user and host, document name, date and time).
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/base/res_format.h>
#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_context.h>

#include <plat/clock.h>
#include <plat/codepage.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/resource.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr char16_t kWinlogonKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
constexpr char16_t kDefaultUserValue[] = u"DefaultUserName";
constexpr char16_t kUnknownUser[] = u"UnknownUser";
constexpr char16_t kUnknownHost[] = u"UnkownHost"; /* the text the annotation has always carried */
constexpr DWORD kMaxDefaultUserBytes = 1024;

/* JobIdentityBlock: character offsets and sizes of its four names. */
constexpr size_t kIdComputer = 0, kIdComputerChars = 261;
constexpr size_t kIdDocument = kIdComputer + kIdComputerChars, kIdDocumentChars = 277;
constexpr size_t kIdUser = kIdDocument + kIdDocumentChars, kIdUserChars = 257;
constexpr size_t kIdPrinter = kIdUser + kIdUserChars, kIdPrinterChars = 261;
static_assert((kIdPrinter + kIdPrinterChars) * 2 == DOC_JOB_IDENTITY_SIZE, "job identity block");

/* Settings of the annotation, read as bytes: 1 is on. */
enum : WORD {
    S_ANN_USER = 1296,
    S_ANN_USER_HOST = 1297,
    S_ANN_DOCUMENT = 1298,
    S_ANN_PAGE = 1299,
    S_ANN_DATE = 1300,
    S_ANN_TIME = 1301,
};
constexpr DWORD kCapNoHost = MDL_CAP_BIT(25); /* the user and host item shows the user alone */

/* Annotation fields in characters (their byte sizes halved). */
constexpr int kUserChars = 64, kUserHostChars = 32, kDocumentChars = 261, kDateChars = 11, kTimeChars = 6;
constexpr int kUserBytes = 63, kUserHostBytes = 31;

/* Resource strings of the date (by the locale's date order 0, 1, 2) and the time. */
constexpr UINT kTimeFormat = 5178;
constexpr UINT kDateFormats[3] = {5179, 5180, 5181};

bool blank(LPCWSTR s)
{
    for (; *s; s++)
        if (*s != u' ' && *s != 0x3000)
            return false;
    return true;
}

/* Copies at most `chars` - 1 characters of `text` (may be null) to `out`, terminated. */
void copy_text(WCHAR *out, size_t chars, LPCWSTR text)
{
    size_t n = text ? plat::wlen(text) : 0;
    if (n > chars - 1)
        n = chars - 1;
    if (n)
        std::memcpy(out, text, n * sizeof(WCHAR));
    out[n] = 0;
}

/* A wide text into the annotation record at `offset` (the field's room given in characters). */
void put_field(BYTE *info, size_t offset, int chars, LPCWSTR text)
{
    WCHAR field[kDocumentChars] = {};
    copy_text(field, size_t(chars), text);
    std::memcpy(info + offset, field, size_t(chars) * sizeof(WCHAR));
}

/*
 * The machine's default user name (Winlogon "DefaultUserName") into
 * `buffer` of `chars` characters, cut to it.  1 read, 0 missing, -1 over
 * 1,024 bytes or unreadable.
 */
int default_user_name(LPWSTR buffer, DWORD chars)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0, bytes = 0;
    int r = 0;
    if (RegQueryValueExW(key, kDefaultUserValue, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS) {
        r = -1;
        WCHAR value[kMaxDefaultUserBytes / 2 + 1] = {};
        if (bytes <= kMaxDefaultUserBytes &&
            RegQueryValueExW(key, kDefaultUserValue, nullptr, &type, reinterpret_cast<BYTE *>(value), &bytes) ==
                ERROR_SUCCESS) {
            copy_text(buffer, chars, value); /* the value's room is its own; the caller's buffer bounds the copy */
            r = 1;
        }
    }
    RegCloseKey(key);
    return r;
}

/*
 * True when every conversion of date format `f` is one the date gives: "%1d"
 * (the year), "%2s" (the month), "%3s" (the day) or "%%".  A format cut by
 * its length or made for other arguments would read them with the wrong type.
 */
bool date_format_fits(LPCWSTR f)
{
    for (; *f; f++) {
        if (*f != u'%')
            continue;
        if (f[1] == u'%') {
            f++;
            continue;
        }
        if (!((f[1] == u'1' && f[2] == u'd') || ((f[1] == u'2' || f[1] == u'3') && f[2] == u's')))
            return false;
        f += 2;
    }
    return true;
}

/* True when time format `f` holds at most two conversions, each a number ("%d" with flags and width) or "%%". */
bool time_format_fits(LPCWSTR f)
{
    int numbers = 0;
    for (; *f; f++) {
        if (*f != u'%')
            continue;
        if (f[1] == u'%') {
            f++;
            continue;
        }
        f++;
        while (*f == u'0' || *f == u'-' || (*f >= u'1' && *f <= u'9'))
            f++;
        if (*f != u'd' || ++numbers > 2)
            return false;
    }
    return true;
}

/* The user's date: the locale's order picks the format; empty when the format is missing or unfit. */
void format_date(const SYSTEMTIME &now, WCHAR (&out)[kDateChars])
{
    out[0] = 0;
    WCHAR order[8] = {};
    int index = 2;
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDATE, order, 8) > 0 && order[0] >= u'0' && order[0] <= u'2' &&
        order[1] == 0)
        index = order[0] - u'0';
    WCHAR format[kDateChars + 1] = {}; /* at most 11 characters */
    if (LoadStringW(RES_GetResourceModule(), kDateFormats[index], format, kDateChars + 1) <= 0 ||
        !date_format_fits(format))
        return;
    WCHAR month[4] = {}, day[4] = {};
    StringCchPrintfW(month, 4, u"%02d", int(now.wMonth));
    StringCchPrintfW(day, 4, u"%02d", int(now.wDay));
    RES_FormatMessage(out, kDateChars, format, int(now.wYear), month, day);
}

/* The time of day, held to its field; empty when the format is missing or unfit. */
void format_time(const SYSTEMTIME &now, WCHAR (&out)[kTimeChars])
{
    out[0] = 0;
    WCHAR format[10] = {}; /* at most 9 characters */
    if (LoadStringW(RES_GetResourceModule(), kTimeFormat, format, 10) <= 0 || !time_format_fits(format))
        return;
    if (StringCchPrintfW(out, kTimeChars, format, int(now.wHour), int(now.wMinute)) != S_OK)
        out[0] = 0; /* a time that does not fit its field is not cut to a wrong one */
}

} // namespace

int DOC_GetUserName(LPWSTR buffer, DWORD *size)
{
    if (!buffer || !size || *size == 0)
        return 0;
    const DWORD chars = *size;
    DWORD got = chars;
    int r = 0;
    if (GetUserNameW(buffer, &got) && lstrcmpW(buffer, u"SYSTEM") != 0) {
        r = 1;
    } else {
        buffer[0] = 0;
        int d = default_user_name(buffer, chars);
        if (d < 0) {
            buffer[0] = 0;
            return 0;
        }
        r = 1; /* no default user name: the job goes on as the unknown user */
    }
    if (blank(buffer)) {
        if (chars < std::size(kUnknownUser))
            return 0;
        copy_text(buffer, chars, kUnknownUser);
        *size = DWORD(std::size(kUnknownUser) - 1);
    }
    return r;
}

int DOC_FillJobIdentity(HANDLE printer, const DOCINFOW *docInfo, BYTE *block)
{
    if (!block)
        return 0;
    std::memset(block, 0, DOC_JOB_IDENTITY_SIZE);
    WCHAR computer[kIdComputerChars] = {};
    DWORD n = kIdComputerChars;
    if (!GetComputerNameW(computer, &n))
        return 0;
    WCHAR document[kIdDocumentChars] = {};
    if (docInfo && docInfo->lpszDocName)
        copy_text(document, DOC_NAME_CHARS, docInfo->lpszDocName);
    WCHAR user[kIdUserChars] = {};
    n = kIdUserChars;
    if (!DOC_GetUserName(user, &n))
        return 0;
    WCHAR name[kIdPrinterChars] = {};
    BYTE *info = DOC_PrinterInfo2(printer);
    if (!info)
        return 0;
    copy_text(name, kIdPrinterChars, reinterpret_cast<const PRINTER_INFO_2W *>(info)->pPrinterName);
    GlobalFree(info);
    std::memcpy(block + 2 * kIdComputer, computer, sizeof computer);
    std::memcpy(block + 2 * kIdDocument, document, sizeof document);
    std::memcpy(block + 2 * kIdUser, user, sizeof user);
    std::memcpy(block + 2 * kIdPrinter, name, sizeof name);
    return 1;
}

int DOC_TruncateToAnsi(LPCWSTR text, LPWSTR out, int limit)
{
    if (out)
        out[0] = 0;
    if (!text || !out || limit < 0 || limit > 1023)
        return 0;
    char ansi[1024];
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, ansi, limit + 1, nullptr, nullptr);
    if (bytes <= 0)
        return 0; /* longer than the limit: nothing kept */
    if (MultiByteToWideChar(CP_ACP, 0, ansi, bytes, out, limit + 1) <= 0) {
        out[0] = 0;
        return 0;
    }
    return bytes - 1;
}

int DOC_BuildAnnotationInfo(BYTE *info, HANDLE, HDC, BYTE *image, BYTE *printerData, LPCWSTR documentName,
                            ModelContext *context)
{
    if (!info)
        return 1;
    std::memset(info, 0, DOC_ANNOTATION_SIZE);
    auto on = [&](WORD id) { return (DOC_GetNumber(image, printerData, id) & 0xFF) == 1; };
    WCHAR user[1024] = {};
    WCHAR field[kUserChars] = {};
    const bool userOn = on(S_ANN_USER), hostOn = on(S_ANN_USER_HOST), documentOn = on(S_ANN_DOCUMENT);
    if (userOn) {
        DWORD n = 1024;
        if (!DOC_GetUserName(user, &n))
            user[0] = 0;
        DOC_TruncateToAnsi(user, field, kUserBytes);
    }
    put_field(info, ANN_USER, kUserChars, userOn ? field : nullptr);

    field[0] = 0;
    if (hostOn) {
        if (!user[0]) {
            DWORD n = 1024;
            if (!DOC_GetUserName(user, &n))
                user[0] = 0;
        }
        WCHAR both[1024 + 1 + 262] = {};
        copy_text(both, 1024, user);
        if (!(context && MDL_HasCapability(context->main, kCapNoHost))) {
            WCHAR host[262] = {};
            DWORD n = 262;
            if (!GetComputerNameW(host, &n))
                copy_text(host, 262, kUnknownHost);
            const size_t at = plat::wlen(both);
            both[at] = u'\\';
            copy_text(both + at + 1, 262, host);
        }
        DOC_TruncateToAnsi(both, field, kUserHostBytes);
    }
    put_field(info, ANN_USER_HOST, kUserHostChars, hostOn ? field : nullptr);
    put_field(info, ANN_DOCUMENT, kDocumentChars, documentOn ? documentName : nullptr);

    SYSTEMTIME now{};
    GetLocalTime(&now);
    const bool dateOn = on(S_ANN_DATE), timeOn = on(S_ANN_TIME);
    WCHAR date[kDateChars] = {}, time[kTimeChars] = {};
    if (dateOn)
        format_date(now, date);
    if (timeOn)
        format_time(now, time);
    put_field(info, ANN_DATE, kDateChars, date);
    put_field(info, ANN_TIME, kTimeChars, time);

    DWORD flag = 0;
    if (dateOn || timeOn)
        flag = 1;
    else
        flag = userOn || hostOn || documentOn || on(S_ANN_PAGE) ? 1 : 0;
    plat::store_u32(info, ANN_FLAG, flag);
    return 1;
}
