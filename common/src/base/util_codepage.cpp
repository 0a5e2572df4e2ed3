/*
 * UTF-16 to and from code pages for the common library: counting characters
 * of double-byte text, converting into caller buffers without ever cutting a
 * character in half, and the allocating forms that hand out GlobalAlloc
 * blocks.
 */
#include <tarvel/base/util_codepage.h>

#include <plat/codepage.h>
#include <plat/memory.h>

#include <cstring>

namespace {

/* Bytes of the character that starts at text[i] of a multi-byte text of n bytes in `codePage` (at least 1, at most n - i). */
int charBytes(UINT codePage, const BYTE *text, int i, int n)
{
    BYTE b = text[i];
    int length = 1;
    if (codePage == CP_UTF8) {
        if (b >= 0xF0 && b <= 0xF7)
            length = 4;
        else if (b >= 0xE0)
            length = b <= 0xEF ? 3 : 1;
        else if (b >= 0xC0)
            length = 2;
    } else if (IsDBCSLeadByteEx(codePage, b)) {
        length = 2;
    }
    return length < n - i ? length : n - i;
}

/* The longest prefix of whole characters of `text` (n bytes) that has at most `limit` bytes. */
int wholeCharacterPrefix(UINT codePage, const BYTE *text, int n, int limit)
{
    int i = 0;
    while (i < n) {
        int length = charBytes(codePage, text, i, n);
        if (i + length > limit)
            break;
        i += length;
    }
    return i;
}

} // namespace

UINT UTL_ValidCodePage(UINT codePage)
{
    if (codePage == CP_UTF8)
        return codePage;
    CPINFO info{};
    if (codePage != 0 && GetCPInfo(codePage, &info))
        return codePage;
    return GetACP();
}

BOOL UTL_WideToMultiByteAlloc(LPCWSTR text, LPSTR *buffer, DWORD *length, UINT codePage)
{
    if (buffer)
        *buffer = nullptr;
    if (!text || !buffer || !length)
        return FALSE;
    codePage = UTL_ValidCodePage(codePage);
    int needed = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return FALSE;
    LPSTR out = static_cast<LPSTR>(GlobalAlloc(GPTR, SIZE_T(needed)));
    if (!out)
        return FALSE;
    if (WideCharToMultiByte(codePage, 0, text, -1, out, needed, nullptr, nullptr) != needed) {
        GlobalFree(out);
        return FALSE;
    }
    *buffer = out;
    *length = DWORD(needed - 1);
    return TRUE;
}

BOOL UTL_MultiByteToWideAlloc(LPCSTR text, LPWSTR *buffer, DWORD *count, UINT codePage)
{
    if (buffer)
        *buffer = nullptr;
    if (!text || !buffer || !count)
        return FALSE;
    codePage = UTL_ValidCodePage(codePage);
    int needed = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (needed <= 0)
        return FALSE;
    LPWSTR out = static_cast<LPWSTR>(GlobalAlloc(GPTR, SIZE_T(needed) * sizeof(WCHAR)));
    if (!out)
        return FALSE;
    if (MultiByteToWideChar(codePage, 0, text, -1, out, needed) != needed) {
        GlobalFree(out);
        return FALSE;
    }
    *buffer = out;
    *count = DWORD(needed);
    return TRUE;
}

namespace {

/*
 * Counts the characters and bytes of `text` in `codePage`.  A lead byte
 * takes the next byte along unless that byte is the terminator.
 */
int countCharacters(UINT codePage, const BYTE *text, int *bytes)
{
    int chars = 0;
    int i = 0;
    while (text[i]) {
        i += (IsDBCSLeadByteEx(codePage, text[i]) && text[i + 1]) ? 2 : 1;
        ++chars;
    }
    *bytes = i;
    return chars;
}

/*
 * Converts `bytes` bytes of `text` into `out` (capacity units, at least 1),
 * cut to capacity - 1 units without splitting a surrogate pair, and
 * terminates it.  False when the conversion fails or no memory is left.
 */
bool convertIntoCapacity(UINT codePage, LPCSTR text, int bytes, LPWSTR out, int capacity)
{
    out[0] = 0;
    if (bytes == 0)
        return true;
    int needed = MultiByteToWideChar(codePage, 0, text, bytes, nullptr, 0);
    if (needed <= 0)
        return false;
    if (needed <= capacity - 1) {
        int n = MultiByteToWideChar(codePage, 0, text, bytes, out, needed);
        out[n > 0 ? n : 0] = 0;
        return n > 0;
    }
    LPWSTR whole = static_cast<LPWSTR>(GlobalAlloc(GPTR, SIZE_T(needed) * sizeof(WCHAR)));
    if (!whole)
        return false;
    bool ok = MultiByteToWideChar(codePage, 0, text, bytes, whole, needed) == needed;
    if (ok) {
        int keep = capacity - 1;
        if (keep > 0 && whole[keep - 1] >= 0xD800 && whole[keep - 1] <= 0xDBFF)
            --keep;
        std::memcpy(out, whole, SIZE_T(keep) * sizeof(WCHAR));
        out[keep] = 0;
    }
    GlobalFree(whole);
    return ok;
}

} // namespace

int UTL_CodePageToWide(UINT codePage, LPWSTR out, LPCSTR text, int capacity)
{
    if (!text || (capacity > 0 && !out))
        return 0;
    codePage = UTL_ValidCodePage(codePage);
    int bytes = 0;
    int chars = countCharacters(codePage, reinterpret_cast<const BYTE *>(text), &bytes);
    if (capacity > 0 && !convertIntoCapacity(codePage, text, bytes, out, capacity))
        return 0;
    return chars;
}

LPWSTR UTL_CodePageToWideAlloc(UINT codePage, LPCSTR text, int *count)
{
    if (!text)
        return nullptr;
    codePage = UTL_ValidCodePage(codePage);
    int bytes = 0;
    int chars = countCharacters(codePage, reinterpret_cast<const BYTE *>(text), &bytes);
    /* An invalid pair can convert to more units than characters were counted: room for every unit. */
    int units = bytes ? MultiByteToWideChar(codePage, 0, text, bytes, nullptr, 0) : 0;
    int capacity = (units > chars ? units : chars) + 1;
    LPWSTR out = static_cast<LPWSTR>(GlobalAlloc(GPTR, SIZE_T(capacity) * sizeof(WCHAR)));
    if (!out)
        return nullptr;
    if (!convertIntoCapacity(codePage, text, bytes, out, capacity)) {
        GlobalFree(out);
        return nullptr;
    }
    if (count)
        *count = chars;
    return out;
}

int UTL_WideToCodePage(UINT codePage, LPCWSTR text, LPSTR out, int size)
{
    if (!text || size < 0 || (size > 0 && !out))
        return 0;
    codePage = UTL_ValidCodePage(codePage);
    int needed = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0 || size == 0)
        return needed > 0 ? needed : 0;
    if (needed <= size)
        return WideCharToMultiByte(codePage, 0, text, -1, out, size, nullptr, nullptr) == needed ? needed : 0;
    /* Too long: convert whole, then keep the whole characters that fit before the terminator. */
    LPSTR whole = static_cast<LPSTR>(GlobalAlloc(GPTR, SIZE_T(needed)));
    if (!whole)
        return 0;
    int result = 0;
    if (WideCharToMultiByte(codePage, 0, text, -1, whole, needed, nullptr, nullptr) == needed) {
        int keep = wholeCharacterPrefix(codePage, reinterpret_cast<const BYTE *>(whole), needed - 1, size - 1);
        std::memcpy(out, whole, SIZE_T(keep));
        out[keep] = 0;
        result = needed;
    }
    GlobalFree(whole);
    return result;
}

LPSTR UTL_WideToCodePageAlloc(UINT codePage, LPCWSTR text)
{
    int n = UTL_WideToCodePage(codePage, text, nullptr, 0);
    if (n <= 0)
        return nullptr;
    LPSTR out = static_cast<LPSTR>(GlobalAlloc(GPTR, SIZE_T(n) + 1));
    if (!out)
        return nullptr;
    if (UTL_WideToCodePage(codePage, text, out, n + 1) != n) {
        GlobalFree(out);
        return nullptr;
    }
    return out;
}

int UTL_WideToUtf8(LPCWSTR text, LPSTR out, int size) { return UTL_WideToCodePage(CP_UTF8, text, out, size); }

LPSTR UTL_WideToUtf8Alloc(LPCWSTR text, int *size)
{
    int n = UTL_WideToUtf8(text, nullptr, 0);
    if (n <= 0)
        return nullptr;
    LPSTR out = static_cast<LPSTR>(GlobalAlloc(GPTR, SIZE_T(n)));
    if (!out)
        return nullptr;
    if (UTL_WideToUtf8(text, out, n) != n) {
        GlobalFree(out);
        return nullptr;
    }
    if (size)
        *size = n;
    return out;
}

LPSTR UTL_AnsiToUtf8Alloc(LPCSTR text, int *size)
{
    LPWSTR wide = UTL_CodePageToWideAlloc(CP_ACP, text, nullptr);
    if (!wide)
        return nullptr;
    LPSTR out = UTL_WideToUtf8Alloc(wide, size);
    GlobalFree(wide);
    return out;
}

int UTL_AnsiPrefixLength(LPCSTR text, int length, int limit)
{
    int i = 0;
    while (i < length) {
        const int step = (IsDBCSLeadByte(BYTE(text[i])) && i + 1 < length) ? 2 : 1;
        if (i + step > limit)
            break;
        i += step;
    }
    return i;
}
