/*
 * The printer identifier: made from the time and the printer's name with
 * MD5, stored once in the printer data, and turned into the name of the
 * user's per-printer registry key.  Each identifier is digested in a context
 * of its own, so threads making identifiers at the same time never mix
 * their inputs.
 */
#include <tarvel/stores/prn_store.h>

#include <tarvel/base/md5.h>
#include <tarvel/stores/pdt_info.h>

#include <plat/clock.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

namespace {

/* 100 ns units from 1601-01-01 to 1970-01-01. */
constexpr ULONGLONG kUnixEpochInFileTime = 116444736000000000ull;

/* The C run-time's `time`: seconds since 1970 on the machine clock. */
LONGLONG currentTime()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULONGLONG units = (ULONGLONG(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    if (units < kUnixEpochInFileTime)
        return 0;
    return LONGLONG((units - kUnixEpochInFileTime) / 10000000ull);
}

} // namespace

BOOL REG_MakePrnId(HANDLE printer, BYTE id[PRN_ID_SIZE])
{
    if (!printer || !id)
        return FALSE;
    BYTE *info = PDT_GetPrinterInfo(printer, 1);
    if (!info)
        return FALSE;
    const PRINTER_INFO_1W *level1 = reinterpret_cast<const PRINTER_INFO_1W *>(info);

    BYTE timeBytes[8];
    plat::store<LONGLONG>(timeBytes, currentTime());
    Md5Context context;
    MD5_Init(&context);
    MD5_Update(&context, timeBytes, sizeof timeBytes);
    if (level1->pName)
        MD5_Update(&context, level1->pName, plat::wlen(level1->pName) * sizeof(WCHAR));
    MD5_Final(id, &context);
    GlobalFree(info);
    return TRUE;
}

BOOL REG_ReadPrnId(HANDLE printer, BYTE id[PRN_ID_SIZE])
{
    if (!printer || !id)
        return FALSE;
    BYTE bytes[PRN_ID_SIZE];
    DWORD type = 0, got = 0;
    if (GetPrinterDataW(printer, PRN_ID_VALUE, &type, bytes, sizeof bytes, &got) != ERROR_SUCCESS ||
        got != PRN_ID_SIZE)
        return FALSE;
    std::memcpy(id, bytes, PRN_ID_SIZE);
    return TRUE;
}

BOOL REG_WritePrnId(HANDLE printer, const BYTE id[PRN_ID_SIZE])
{
    if (!printer || !id)
        return FALSE;
    DWORD type = 0, needed = 0;
    DWORD rc = GetPrinterDataW(printer, PRN_ID_VALUE, &type, nullptr, 0, &needed);
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA)
        return TRUE; /* made once, never changed */
    return SetPrinterDataW(printer, PRN_ID_VALUE, REG_BINARY, id, PRN_ID_SIZE) == ERROR_SUCCESS;
}

BOOL REG_MakePrinterKeyName(LPCWSTR keyText, const BYTE id[PRN_ID_SIZE], LPCWSTR subkey, LPWSTR out,
                            DWORD outChars)
{
    if (!out || outChars == 0)
        return FALSE;
    out[0] = 0;
    if (!keyText || !keyText[0] || !id)
        return FALSE;
    size_t textChars = plat::wlen(keyText);
    size_t subkeyChars = subkey && subkey[0] ? plat::wlen(subkey) + 1 : 0;
    if (textChars + 2 * PRN_ID_SIZE + subkeyChars + 1 > outChars)
        return FALSE;

    static const char kDigits[] = "0123456789ABCDEF";
    WCHAR *p = out;
    for (size_t i = 0; i < textChars; ++i)
        *p++ = keyText[i];
    for (DWORD i = 0; i < PRN_ID_SIZE; ++i) {
        *p++ = WCHAR(kDigits[id[i] >> 4]);
        *p++ = WCHAR(kDigits[id[i] & 0x0F]);
    }
    if (subkeyChars) {
        *p++ = u'\\';
        for (size_t i = 0; i + 1 < subkeyChars; ++i)
            *p++ = subkey[i];
    }
    *p = 0;
    return TRUE;
}
