/*
 * The machine's code pages and the conversions between UTF-16 and
 * multi-byte text (WideCharToMultiByte, MultiByteToWideChar).
 *
 * Single- and double-byte code pages convert one character at a time through
 * iconv: the lead-byte table of the code page says how long each character
 * is, so an invalid or unmappable character is replaced on its own and the
 * text after it converts normally.  ASCII converts without iconv (it is the
 * same in every code page here), and an iconv handle is opened only when a
 * call meets other text, and closed at the end of that call.  UTF-8 is
 * converted here, without iconv.
 */
#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <iconv.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

namespace {

/* Byte ranges as pairs of first and last byte; unused pairs are 0, 0. */
using ByteRanges = std::array<BYTE, 6>;

struct CodePage {
    UINT id;
    const char *iconv_name; /* null for UTF-8 */
    UINT oem;               /* the OEM code page that goes with an ANSI one; 0 if not ANSI */
    UINT max_char;
    ByteRanges lead;
    ByteRanges trail;
    const char *holes; /* undefined bytes that map to the code point of the same value */
};

constexpr ByteRanges kNone = {0, 0, 0, 0, 0, 0};

constexpr std::array<CodePage, 12> kCodePages = {{
    {1252, "CP1252", 437, 1, kNone, kNone, "\x81\x8D\x8F\x90\x9D"},
    {1250, "CP1250", 852, 1, kNone, kNone, ""},
    {1251, "CP1251", 866, 1, kNone, kNone, ""},
    {932, "CP932", 932, 2, {0x81, 0x9F, 0xE0, 0xFC, 0, 0}, {0x40, 0x7E, 0x80, 0xFC, 0, 0}, ""},
    {936, "CP936", 936, 2, {0x81, 0xFE, 0, 0, 0, 0}, {0x40, 0x7E, 0x80, 0xFE, 0, 0}, ""},
    {949, "CP949", 949, 2, {0x81, 0xFE, 0, 0, 0, 0}, {0x41, 0x5A, 0x61, 0x7A, 0x81, 0xFE}, ""},
    {950, "CP950", 950, 2, {0x81, 0xFE, 0, 0, 0, 0}, {0x40, 0x7E, 0xA1, 0xFE, 0, 0}, ""},
    {437, "CP437", 0, 1, kNone, kNone, ""},
    {850, "CP850", 0, 1, kNone, kNone, ""},
    {852, "CP852", 0, 1, kNone, kNone, ""},
    {866, "CP866", 0, 1, kNone, kNone, ""},
    {CP_UTF8, nullptr, 0, 4, kNone, kNone, ""},
}};

constexpr UINT kDefaultAnsi = 1252;
constexpr BYTE kDefaultChar = '?';
constexpr WCHAR kReplacement = 0xFFFD;

std::atomic<UINT> g_ansi{kDefaultAnsi};

void reset_code_pages() { g_ansi = kDefaultAnsi; }

[[maybe_unused]] const bool g_reset_registered = (plat::machine_on_reset(reset_code_pages), true);

const CodePage *find_code_page(UINT id)
{
    for (const CodePage &cp : kCodePages)
        if (cp.id == id)
            return &cp;
    return nullptr;
}

/* The code page a caller means: CP_ACP and CP_THREAD_ACP are the ANSI code
 * page, CP_OEMCP its OEM partner.  Null for an unknown one. */
const CodePage *resolve(UINT id)
{
    if (id == CP_ACP || id == CP_THREAD_ACP)
        return find_code_page(g_ansi);
    if (id == CP_OEMCP)
        return find_code_page(find_code_page(g_ansi)->oem);
    return find_code_page(id);
}

bool in_ranges(const ByteRanges &r, BYTE b)
{
    for (size_t i = 0; i < r.size(); i += 2)
        if (r[i] != 0 && b >= r[i] && b <= r[i + 1])
            return true;
    return false;
}

bool is_hole(const CodePage &cp, unsigned v) { return v >= 0x80 && v <= 0xFF && std::strchr(cp.holes, int(v)); }

bool is_surrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDFFF; }

const iconv_t kClosedIconv = reinterpret_cast<iconv_t>(-1);

/*
 * The iconv handle converting `from` to `to`, opened at its first use in
 * this thread and kept until the thread ends: opening one costs far more
 * than the conversions of a call.  kClosedIconv when it cannot be opened.
 */
iconv_t thread_iconv(const char *to, const char *from)
{
    struct Open {
        std::string to, from;
        iconv_t h;
    };
    struct Handles {
        std::vector<Open> open;
        ~Handles()
        {
            for (const Open &o : open)
                if (o.h != kClosedIconv)
                    iconv_close(o.h);
        }
    };
    thread_local Handles handles;
    for (const Open &o : handles.open)
        if (o.to == to && o.from == from)
            return o.h;
    iconv_t h = iconv_open(to, from);
    handles.open.push_back({to, from, h});
    return h;
}

/* An iconv handle for one call, taken when first needed (each conversion starts from its initial state). */
class Iconv {
public:
    Iconv(const char *to, const char *from) : to_(to), from_(from) {}
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;

    /* Converts one whole character; returns the output length, or 0 when
     * the character cannot be converted (or iconv cannot be opened). */
    size_t convert(const char *in, size_t in_len, char *out, size_t out_cap)
    {
        if (h_ == kClosed) {
            h_ = thread_iconv(to_, from_);
            if (h_ == kClosed)
                return 0;
        }
        iconv(h_, nullptr, nullptr, nullptr, nullptr);
        char *src = const_cast<char *>(in);
        char *dst = out;
        size_t left = in_len, room = out_cap;
        if (iconv(h_, &src, &left, &dst, &room) == size_t(-1) || left != 0)
            return 0;
        return out_cap - room;
    }

private:
    static inline const iconv_t kClosed = kClosedIconv;
    const char *to_;
    const char *from_;
    iconv_t h_ = kClosed;
};

/* Output of a conversion: counts only (cap 0) or writes within cap. */
template <typename Unit>
struct Sink {
    Unit *out;
    size_t cap;
    size_t len = 0;

    /* False when the units do not fit; nothing past cap is ever written. */
    bool put(const Unit *units, size_t n)
    {
        if (cap != 0) {
            if (n > cap - len)
                return false;
            std::memcpy(out + len, units, n * sizeof(Unit));
        }
        len += n;
        return true;
    }
};

/* The argument checks both conversions share: an input, a length that is
 * -1 or positive, an output size that is 0 (a query) or has a buffer, and
 * no overlap of the first units of input and output. */
bool bad_arguments(const void *in, int in_len, const void *out, int out_len)
{
    return !in || in_len == 0 || in_len < -1 || out_len < 0 || (!out && out_len > 0) || (out && out == in);
}

int fail(DWORD err)
{
    SetLastError(err);
    return 0;
}

/* The bytes of the default character: the first character of the caller's
 * text, or "?". */
size_t default_bytes(const CodePage &cp, LPCSTR given, char *out)
{
    if (!given) {
        out[0] = char(kDefaultChar);
        return 1;
    }
    out[0] = given[0];
    if (given[0] != 0 && in_ranges(cp.lead, BYTE(given[0])) && given[1] != 0) {
        out[1] = given[1];
        return 2;
    }
    return 1;
}

/* One UTF-16 unit (not a surrogate, not ASCII) to the code page; 0 when the
 * code page has no such character.  With no_best_fit, a mapping that does
 * not come back to the same unit counts as none. */
size_t encode_unit(const CodePage &cp, Iconv &to_cp, Iconv &from_cp, WCHAR c, bool no_best_fit, char *out)
{
    if (is_hole(cp, c)) {
        out[0] = char(c);
        return 1;
    }
    const char le[2] = {char(c & 0xFF), char(c >> 8)};
    size_t n = to_cp.convert(le, 2, out, 4);
    if (n != 0 && no_best_fit) {
        char back[8];
        if (from_cp.convert(out, n, back, sizeof back) != 2 || std::memcmp(back, le, 2) != 0)
            return 0;
    }
    return n;
}

int wide_to_utf8(DWORD flags, LPCWSTR in, size_t n, Sink<char> &sink)
{
    for (size_t i = 0; i < n; i++) {
        uint32_t c = in[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00u);
            i++;
        } else if (is_surrogate(WCHAR(c))) {
            if (flags & WC_ERR_INVALID_CHARS)
                return fail(ERROR_NO_UNICODE_TRANSLATION);
            c = kReplacement;
        }
        char buf[4];
        if (!sink.put(buf, plat::utf8_encode(c, buf)))
            return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    return int(sink.len);
}

int wide_to_code_page(const CodePage &cp, DWORD flags, LPCWSTR in, size_t n, Sink<char> &sink, LPCSTR default_char,
                      LPBOOL used_default)
{
    Iconv to_cp(cp.iconv_name, "UTF-16LE");
    Iconv from_cp("UTF-16LE", cp.iconv_name);
    char dflt[2];
    size_t dflt_len = default_bytes(cp, default_char, dflt);
    for (size_t i = 0; i < n; i++) {
        WCHAR c = in[i];
        char buf[4];
        size_t len = 0;
        if (c < 0x80) {
            buf[0] = char(c);
            len = 1;
        } else if (!is_surrogate(c)) {
            len = encode_unit(cp, to_cp, from_cp, c, flags & WC_NO_BEST_FIT_CHARS, buf);
        }
        const char *bytes = buf;
        if (len == 0) {
            bytes = dflt;
            len = dflt_len;
            if (used_default)
                *used_default = TRUE;
        }
        if (!sink.put(bytes, len))
            return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    return int(sink.len);
}

int utf8_to_wide(DWORD flags, LPCSTR in, size_t n, Sink<WCHAR> &sink)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(in);
    size_t i = 0;
    while (i < n) {
        uint32_t c;
        i += plat::utf8_decode(p + i, n - i, c);
        if (c == plat::UTF8_INVALID) {
            if (flags & MB_ERR_INVALID_CHARS)
                return fail(ERROR_NO_UNICODE_TRANSLATION);
            c = kReplacement;
        }
        WCHAR units[2];
        size_t count = 1;
        if (c >= 0x10000) {
            units[0] = WCHAR(0xD800 + ((c - 0x10000) >> 10));
            units[1] = WCHAR(0xDC00 + ((c - 0x10000) & 0x3FF));
            count = 2;
        } else {
            units[0] = WCHAR(c);
        }
        if (!sink.put(units, count))
            return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    return int(sink.len);
}

/* What each byte of a single-byte code page reads as: up to two units; none when it has no character. */
struct ByteTable {
    WCHAR units[256][2];
    BYTE count[256];
};

/*
 * The byte table of a single-byte code page (null for the others), made at
 * its first use in the process from the same conversion a byte would get
 * on its own, so that decoding needs no conversion per byte.
 */
const ByteTable *byte_table(const CodePage &cp)
{
    if (cp.max_char != 1 || !cp.iconv_name)
        return nullptr;
    static std::array<ByteTable, kCodePages.size()> tables;
    static std::array<std::once_flag, kCodePages.size()> made;
    size_t index = size_t(&cp - kCodePages.data());
    std::call_once(made[index], [&cp, &table = tables[index]] {
        Iconv from_cp("UTF-16LE", cp.iconv_name);
        for (unsigned b = 0; b < 256; b++) {
            table.count[b] = 0;
            if (b < 0x80 || is_hole(cp, b)) {
                table.units[b][0] = WCHAR(b);
                table.count[b] = 1;
                continue;
            }
            char in = char(b), raw[8];
            size_t len = from_cp.convert(&in, 1, raw, sizeof raw);
            for (size_t k = 0; k + 1 < len && table.count[b] < 2; k += 2)
                table.units[b][table.count[b]++] = WCHAR(BYTE(raw[k]) | (BYTE(raw[k + 1]) << 8));
        }
    });
    return &tables[index];
}

int code_page_to_wide(const CodePage &cp, DWORD flags, LPCSTR in, size_t n, Sink<WCHAR> &sink)
{
    if (const ByteTable *table = byte_table(cp)) {
        for (size_t i = 0; i < n; i++) {
            BYTE b = BYTE(in[i]);
            const WCHAR *units = table->units[b];
            size_t count = table->count[b];
            if (count == 0) {
                if (flags & MB_ERR_INVALID_CHARS)
                    return fail(ERROR_NO_UNICODE_TRANSLATION);
                units = &kReplacement;
                count = 1;
            }
            if (!sink.put(units, count))
                return fail(ERROR_INSUFFICIENT_BUFFER);
        }
        return int(sink.len);
    }
    Iconv from_cp("UTF-16LE", cp.iconv_name);
    size_t i = 0;
    while (i < n) {
        BYTE b = BYTE(in[i]);
        WCHAR units[4];
        size_t count = 0;
        size_t used = 1;
        if (b < 0x80) {
            units[0] = b;
            count = 1;
        } else if (is_hole(cp, b)) {
            units[0] = b;
            count = 1;
        } else {
            /* A lead byte takes its trail byte along only when that byte is
             * a trail byte at all; otherwise the lead byte alone is invalid
             * and the next byte converts on its own. */
            bool pair = in_ranges(cp.lead, b);
            if (pair && i + 1 < n && in_ranges(cp.trail, BYTE(in[i + 1])))
                used = 2;
            char raw[8];
            size_t len = (pair && used == 1) ? 0 : from_cp.convert(in + i, used, raw, sizeof raw);
            for (size_t k = 0; k + 1 < len && count < 4; k += 2)
                units[count++] = WCHAR(BYTE(raw[k]) | (BYTE(raw[k + 1]) << 8));
        }
        if (count == 0) {
            if (flags & MB_ERR_INVALID_CHARS)
                return fail(ERROR_NO_UNICODE_TRANSLATION);
            units[0] = kReplacement;
            count = 1;
        }
        if (!sink.put(units, count))
            return fail(ERROR_INSUFFICIENT_BUFFER);
        i += used;
    }
    return int(sink.len);
}

} // namespace

UINT GetACP(void) { return g_ansi; }

UINT GetOEMCP(void) { return find_code_page(g_ansi)->oem; }

BOOL IsValidCodePage(UINT code_page) { return find_code_page(code_page) != nullptr; }

BOOL GetCPInfo(UINT code_page, LPCPINFO info)
{
    const CodePage *cp = resolve(code_page);
    if (!cp || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memset(info, 0, sizeof *info);
    info->MaxCharSize = cp->max_char;
    info->DefaultChar[0] = kDefaultChar;
    for (size_t i = 0; i < cp->lead.size(); i++)
        info->LeadByte[i] = cp->lead[i];
    return TRUE;
}

BOOL IsDBCSLeadByteEx(UINT code_page, BYTE b)
{
    const CodePage *cp = resolve(code_page);
    if (!cp) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return in_ranges(cp->lead, b) ? TRUE : FALSE;
}

BOOL IsDBCSLeadByte(BYTE b) { return IsDBCSLeadByteEx(CP_ACP, b); }

int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR in, int in_len, LPSTR out, int out_size,
                        LPCSTR default_char, LPBOOL used_default)
{
    const CodePage *cp = resolve(code_page);
    if (!cp || bad_arguments(in, in_len, out, out_size))
        return fail(ERROR_INVALID_PARAMETER);
    size_t n = in_len == -1 ? plat::wlen(in) + 1 : size_t(in_len);
    Sink<char> sink{out, size_t(out_size)};
    if (cp->id == CP_UTF8) {
        if (flags & ~DWORD(WC_ERR_INVALID_CHARS))
            return fail(ERROR_INVALID_FLAGS);
        if (default_char || used_default)
            return fail(ERROR_INVALID_PARAMETER);
        return wide_to_utf8(flags, in, n, sink);
    }
    if (flags & ~DWORD(WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR | WC_NO_BEST_FIT_CHARS))
        return fail(ERROR_INVALID_FLAGS);
    if (used_default)
        *used_default = FALSE;
    return wide_to_code_page(*cp, flags, in, n, sink, default_char, used_default);
}

int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR in, int in_len, LPWSTR out, int out_len)
{
    const CodePage *cp = resolve(code_page);
    if (!cp || bad_arguments(in, in_len, out, out_len))
        return fail(ERROR_INVALID_PARAMETER);
    size_t n = in_len == -1 ? std::strlen(in) + 1 : size_t(in_len);
    Sink<WCHAR> sink{out, size_t(out_len)};
    if (cp->id == CP_UTF8) {
        if (flags & ~DWORD(MB_ERR_INVALID_CHARS))
            return fail(ERROR_INVALID_FLAGS);
        return utf8_to_wide(flags, in, n, sink);
    }
    if ((flags & ~DWORD(MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS)) ||
        ((flags & MB_PRECOMPOSED) && (flags & MB_COMPOSITE)))
        return fail(ERROR_INVALID_FLAGS);
    return code_page_to_wide(*cp, flags, in, n, sink);
}

namespace plat {

bool set_ansi_code_page(UINT code_page)
{
    const CodePage *cp = find_code_page(code_page);
    if (!cp || cp->oem == 0)
        return false;
    g_ansi = code_page;
    return true;
}

UINT ansi_code_page() { return g_ansi; }

std::u16string ansi_to_utf16(std::string_view s)
{
    if (s.empty() || s.size() > size_t(INT32_MAX))
        return std::u16string();
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0);
    std::u16string out(size_t(n), u'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, s.data(), int(s.size()), out.data(), n);
    return out;
}

std::string utf16_to_ansi(std::u16string_view s)
{
    if (s.empty() || s.size() > size_t(INT32_MAX))
        return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, s.data(), int(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace plat
