/*
 * Input text rules and number texts.  Texts are checked in their strict
 * ANSI form; a lead byte right before the end counts as a single byte.
 * Byte lists always end in four zero bytes and are walked within their
 * length, whatever the rule strings hold.  Fixed-point numbers are worked
 * out in 64 bits and a value beyond 32 bits is a bad text.
 */
#include "pgf_input.h"

#include "pgf_utils.h"

#include <tarvel/base/res_module.h>
#include <tarvel/settings/opt_list.h>

#include <plat/codepage.h>
#include <plat/memory.h>
#include <plat/resource.h>

#include <cctype>
#include <cstring>
#include <string>

namespace {

/* Characters of the joined rule text. */
constexpr size_t kJoinedChars = 263;
constexpr char kTerminator[] = "0,0,0,0";

/* A loaded byte list, freed with its holder. */
struct ByteList {
    BYTE *bytes = nullptr;
    LONG count = 0;
    explicit ByteList(const UINT *ids) { bytes = PGF_LoadByteList(ids, &count); }
    ~ByteList() { GlobalFree(bytes); }
    ByteList(const ByteList &) = delete;
    ByteList &operator=(const ByteList &) = delete;
    bool present() const { return bytes != nullptr; }
    /* Entries of `width` bytes before the all-zero entry. */
    LONG entries(LONG width) const
    {
        LONG n = 0;
        for (LONG at = 0; at + width <= count; at += width, ++n) {
            bool zero = true;
            for (LONG k = 0; k < width; ++k)
                zero = zero && bytes[at + k] == 0;
            if (zero)
                break;
        }
        return n;
    }
};

/* The first character of a resource string as an ANSI byte; 0 when it has none. */
char firstCharOf(UINT id)
{
    WCHAR text[8] = {};
    if (LoadStringW(RES_GetResourceModule(), id, text, 8) <= 0 || text[0] == 0 || text[0] >= 0x80)
        return 0;
    return char(text[0]);
}

bool isBlank(BYTE b) { return b == ' ' || (b >= '\t' && b <= '\r'); }

bool isLead(const BYTE *text, size_t at, size_t length) { return at + 1 < length && IsDBCSLeadByte(text[at]); }

/* An owned ANSI copy of a wide text. */
struct AnsiText {
    LPSTR bytes = nullptr;
    DWORD length = 0;
    bool ok = false;
    explicit AnsiText(LPCWSTR text) { ok = PGF_ToAnsiStrict(text, &bytes, &length) != FALSE; }
    ~AnsiText() { GlobalFree(bytes); }
    AnsiText(const AnsiText &) = delete;
    AnsiText &operator=(const AnsiText &) = delete;
};

LONGLONG power10(LONG n)
{
    LONGLONG p = 1;
    for (LONG i = 0; i < n; ++i)
        p *= 10;
    return p;
}

LPWSTR copyWide(const std::u16string &text)
{
    auto *out = static_cast<LPWSTR>(GlobalAlloc(GPTR, (text.size() + 1) * sizeof(WCHAR)));
    if (out)
        std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return out;
}

std::u16string ascii(const std::string &s) { return std::u16string(s.begin(), s.end()); }

} // namespace

LONG PGF_ParseHexBytes(LPCSTR text, BYTE *out)
{
    if (!text)
        return 0;
    LONG n = 0;
    const char *p = text;
    while (true) {
        unsigned long value = 0;
        while (*p == ' ' || *p == '\t')
            ++p; /* a number may begin with blanks and "0x", as strtoul reads it */
        if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(static_cast<unsigned char>(p[2])))
            p += 2;
        while (true) {
            const char c = *p;
            int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0)
                break;
            value = (value << 4 | unsigned(digit)) & 0xFFFFFFFFul;
            ++p;
        }
        if (out)
            out[n] = BYTE(value);
        ++n;
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p || !p[1])
            break; /* the end, or a separator that is the last character */
        ++p;       /* exactly one separator */
    }
    return n;
}

BYTE *PGF_LoadByteList(const UINT *ids, LONG *count)
{
    if (count)
        *count = 0;
    if (!ids)
        return nullptr;
    std::string joined;
    HMODULE resources = RES_GetResourceModule();
    for (const UINT *id = ids; *id; ++id) {
        WCHAR text[kJoinedChars + 1] = {};
        const int n = LoadStringW(resources, *id, text, int(kJoinedChars));
        for (int i = 0; i < n; ++i)
            joined.push_back(text[i] < 0x80 ? char(text[i]) : '?');
        joined.push_back(',');
    }
    joined += kTerminator;
    if (joined.size() > kJoinedChars)
        joined.resize(kJoinedChars);
    const LONG values = PGF_ParseHexBytes(joined.c_str(), nullptr);
    /* Four zero bytes more, so a list cut short still ends. */
    auto *bytes = static_cast<BYTE *>(GlobalAlloc(GPTR, size_t(values) + 4));
    if (!bytes)
        return nullptr;
    PGF_ParseHexBytes(joined.c_str(), bytes);
    if (count)
        *count = values + 4;
    return bytes;
}

BOOL PGF_StripSignAndPoint(DWORD flags, LONG decimals, LPCSTR text, DWORD *length, LPSTR out)
{
    if (!text || !length || !out)
        return FALSE;
    DWORD at = 0;
    const DWORD total = *length;
    if ((flags & PGF_TEXT_NUMERIC) && total > 0) {
        const char sign1 = firstCharOf(PGF_STR_SIGN_1), sign2 = firstCharOf(PGF_STR_SIGN_2);
        if ((sign1 && text[0] == sign1) || (sign2 && text[0] == sign2)) {
            if (flags & PGF_TEXT_SIGN_IGNORED)
                at = 1;
            else if (flags & PGF_TEXT_SIGN_REFUSED)
                return FALSE;
        }
    }
    DWORD n = 0;
    std::memcpy(out, text + at, total - at);
    n = total - at;
    out[n] = 0;
    if (flags & PGF_TEXT_DECIMALS) {
        const char separator = firstCharOf(PGF_STR_DECIMAL);
        char *point = separator ? static_cast<char *>(std::memchr(out, separator, n)) : nullptr;
        if (point) {
            const DWORD pos = DWORD(point - out);
            if (std::memchr(point + 1, separator, n - pos - 1))
                return FALSE;
            if (!(flags & PGF_TEXT_EMPTY_OK) && LONG(n - pos - 1) > decimals)
                return FALSE;
            std::memmove(point, point + 1, n - pos); /* the terminator too */
            --n;
        }
    }
    *length = n;
    return n > 0;
}

BOOL PGF_ValidateInputText(LPCWSTR text, const UINT *allowedSingle, const UINT *allowedDouble,
                           const UINT *forbiddenSingle, const UINT *forbiddenDouble, DWORD flags, LONG decimals)
{
    AnsiText ansi(text);
    if (!ansi.ok)
        return FALSE;
    if (ansi.length == 0)
        return (flags & PGF_TEXT_EMPTY_OK) ? TRUE : FALSE;
    std::string walked(ansi.bytes, ansi.length);
    if (flags & (PGF_TEXT_NUMERIC | PGF_TEXT_DECIMALS)) {
        std::string stripped(ansi.length + 1, '\0');
        DWORD length = ansi.length;
        if (!PGF_StripSignAndPoint(flags, decimals, ansi.bytes, &length, stripped.data()))
            return FALSE;
        walked.assign(stripped.data(), length);
    }
    const ByteList single(allowedSingle), dbcs(allowedDouble), noSingle(forbiddenSingle), noDouble(forbiddenDouble);
    const UINT blankIds[] = {PGF_STR_DOUBLE_BLANK, 0};
    const ByteList blankList(blankIds);
    const bool haveBlank = blankList.present() && blankList.entries(2) > 0;
    const WORD blank = haveBlank ? WORD(blankList.bytes[0] << 8 | blankList.bytes[1]) : 0;

    const auto *bytes = reinterpret_cast<const BYTE *>(walked.data());
    const size_t length = walked.size();
    size_t blanks = 0;
    for (size_t at = 0; at < length;) {
        if (isLead(bytes, at, length)) {
            const WORD code = WORD(bytes[at] << 8 | bytes[at + 1]);
            if (dbcs.present()) {
                bool inside = false;
                for (LONG r = 0, n = dbcs.entries(4); r < n && !inside; ++r) {
                    const BYTE *e = dbcs.bytes + r * 4;
                    inside = code >= WORD(e[0] << 8 | e[1]) && code <= WORD(e[2] << 8 | e[3]);
                }
                if (!inside)
                    return FALSE;
            }
            if (noDouble.present())
                for (LONG r = 0, n = noDouble.entries(2); r < n; ++r)
                    if (code == WORD(noDouble.bytes[r * 2] << 8 | noDouble.bytes[r * 2 + 1]))
                        return FALSE;
            if (haveBlank && code == blank)
                blanks += 2;
            at += 2;
            continue;
        }
        const BYTE b = bytes[at];
        if (single.present()) {
            bool inside = false;
            for (LONG r = 0, n = single.entries(2); r < n && !inside; ++r)
                inside = b >= single.bytes[r * 2] && b <= single.bytes[r * 2 + 1];
            if (!inside)
                return FALSE;
        }
        if (noSingle.present())
            for (LONG r = 0, n = noSingle.entries(1); r < n; ++r)
                if (b == noSingle.bytes[r])
                    return FALSE;
        if (isBlank(b))
            ++blanks;
        ++at;
    }
    if ((flags & PGF_TEXT_NO_BLANK_ONLY) && blanks == length)
        return FALSE;
    return TRUE;
}

BOOL PGF_ParseInt32(LPCSTR text, LONG *value)
{
    if (!text || !value)
        return FALSE;
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    const size_t digits = std::strlen(text);
    if (digits < 1 || digits > 10)
        return FALSE;
    for (size_t i = 0; i < digits; ++i)
        if (text[i] < '0' || text[i] > '9')
            return FALSE;
    if (digits == 10 && std::strcmp(text, negative ? "2147483648" : "4294967295") > 0)
        return FALSE;
    DWORD v = 0;
    for (size_t i = 0; i < digits; ++i)
        v = v * 10 + DWORD(text[i] - '0');
    *value = LONG(negative ? DWORD(0) - v : v);
    return TRUE;
}

BOOL PGF_ParseFixedPoint(LPCSTR text, LONG *value, LONG decimals, DWORD flags)
{
    if (!text || !value || decimals < 0 || decimals > 9)
        return FALSE;
    const char separator = firstCharOf(PGF_STR_DECIMAL);
    std::string whole(text), fraction;
    const size_t point = separator ? whole.find(separator) : std::string::npos;
    if (point != std::string::npos) {
        if (whole.find(separator, point + 1) != std::string::npos)
            return FALSE;
        fraction = whole.substr(point + 1);
        whole.resize(point);
    }
    LONGLONG sign = 1;
    if (!whole.empty() && whole[0] == '-') {
        sign = -1;
        whole.erase(0, 1);
    }
    LONG integerPart = 0;
    if (!PGF_ParseInt32(whole.c_str(), &integerPart) || integerPart < 0)
        return FALSE;
    LONGLONG frac = 0;
    LONG fractionDigits = LONG(fraction.size());
    if (!fraction.empty()) {
        if (fraction[0] == '-' || fraction[0] == '+')
            return FALSE;
        LONG f = 0;
        if (!PGF_ParseInt32(fraction.c_str(), &f))
            return FALSE;
        frac = LONGLONG(DWORD(f));
    }
    if (fractionDigits > decimals) {
        if (!(flags & PGF_TEXT_EMPTY_OK))
            return FALSE;
        for (; fractionDigits > decimals; --fractionDigits)
            frac /= 10;
    }
    for (; fractionDigits < decimals; ++fractionDigits)
        frac *= 10;
    if ((flags & PGF_TEXT_HALF_STEP) && decimals >= 1) {
        const LONGLONG unit = power10(decimals - 1);
        const LONGLONG k = frac / unit;
        if (k >= 1 && k <= 4)
            frac -= k * unit;
        else if (k >= 6 && k <= 9)
            frac += (5 - k) * unit;
    }
    const LONGLONG result = sign * (LONGLONG(DWORD(integerPart)) * power10(decimals) + frac);
    if (result > 0xFFFFFFFFll || result < -0x80000000ll)
        return FALSE;
    *value = LONG(DWORD(result));
    return TRUE;
}

BOOL PGF_FormatFixedPoint(LPWSTR *text, LONG decimals, BOOL isSigned, DWORD flags, LONG value)
{
    if (!text || !(flags & PGF_TEXT_DECIMALS) || decimals < 0 || decimals > 9)
        return FALSE;
    std::string sign;
    ULONGLONG magnitude = DWORD(value);
    if (isSigned && value < 0) {
        sign = "-";
        magnitude = ULONGLONG(-LONGLONG(value));
    }
    const ULONGLONG unit = ULONGLONG(power10(decimals));
    const ULONGLONG q = magnitude / unit, r = magnitude % unit;
    std::u16string out = ascii(sign + std::to_string(q));
    if (!((flags & PGF_TEXT_NO_BLANK_ONLY) && r == 0) && decimals > 0) {
        WCHAR separator[8] = {};
        if (LoadStringW(RES_GetResourceModule(), PGF_STR_DECIMAL, separator, 8) <= 0)
            return FALSE;
        std::string digits = std::to_string(r);
        digits.insert(0, size_t(decimals) - digits.size(), '0');
        out += separator[0];
        out += ascii(digits);
    }
    *text = copyWide(out);
    return *text != nullptr;
}

BOOL PGF_FormatValueText(LPWSTR *text, LONG decimals, BOOL isSigned, WORD type, LONG value)
{
    if (!text)
        return FALSE;
    if (decimals != 0)
        return PGF_FormatFixedPoint(text, decimals, isSigned, PGF_TEXT_DECIMALS, value);
    constexpr int kChars = 24;
    auto *out = static_cast<LPWSTR>(GlobalAlloc(GPTR, kChars * sizeof(WCHAR)));
    if (!out)
        return FALSE;
    BYTE slot[8] = {};
    std::memcpy(slot, &value, sizeof(value));
    if (!FID_FormatValue(type, slot, out, kChars) || type == 6) {
        GlobalFree(out);
        return FALSE;
    }
    *text = out;
    return TRUE;
}

int PGF_AnsiByteLength(LPCWSTR text)
{
    AnsiText ansi(text);
    return ansi.ok ? int(ansi.length) : -1;
}

BOOL PGF_TruncateAnsi(int n, LPWSTR text)
{
    AnsiText ansi(text);
    if (!ansi.ok || n < 0)
        return FALSE;
    const auto *bytes = reinterpret_cast<const BYTE *>(ansi.bytes);
    size_t at = 0, characters = 0;
    while (at < ansi.length) {
        const size_t width = isLead(bytes, at, ansi.length) ? 2 : 1;
        if (at + width > size_t(n))
            break;
        at += width;
        ++characters;
    }
    /* Every character of these code pages is one UTF-16 unit. */
    text[characters] = 0;
    return TRUE;
}

BOOL PGF_RemoveChars(LPWSTR text, LPCWSTR characters)
{
    if (!characters)
        return FALSE;
    AnsiText ansi(text);
    if (!ansi.ok)
        return FALSE;
    for (LPCWSTR c = characters; *c; ++c) {
        const WCHAR one[2] = {*c, 0};
        if (PGF_AnsiByteLength(one) != 1)
            continue; /* double-byte characters are stepped over */
        size_t out = 0;
        for (size_t in = 0; text[in]; ++in)
            if (text[in] != *c)
                text[out++] = text[in];
        text[out] = 0;
    }
    return TRUE;
}
