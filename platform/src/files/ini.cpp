/*
 * Profile (INI file) functions (see plat/ini.h): the file is read whole,
 * decoded to UTF-16, split into classified lines, answered from those lines,
 * and for a write re-encoded and written back whole.  One lock makes each
 * call atomic against the others in this process.
 */
#include "file_private.h"

#include <plat/error.h>
#include <plat/codepage.h>
#include <plat/ini.h>
#include <plat/sysdir.h>
#include <plat/text.h>

#include <array>
#include <algorithm>
#include <climits>
#include <map>
#include <vector>

using namespace plat::files;

namespace {

/* Larger files are not profile files; they read as missing. */
constexpr size_t kMaxIniBytes = 16u << 20;

enum Encoding { ENC_UTF8, ENC_UTF8_BOM, ENC_UTF16LE, ENC_UTF16BE, ENC_ANSI };

enum LineKind { LINE_OTHER, LINE_SECTION, LINE_KEY };

struct Line {
    LineKind kind = LINE_OTHER;
    std::u16string raw;   /* the line as read, for writing back */
    std::u16string name;  /* section or key name, trimmed */
    std::u16string value; /* value, trimmed */
    bool has_eq = false;
};

struct Ini {
    Encoding enc = ENC_UTF8;
    std::vector<Line> lines;
};

std::mutex &ini_lock()
{
    static std::mutex *m = new std::mutex;
    return *m;
}

/* The in-memory profile files by real path (see plat::ini_set_memory_file); guarded by memory_lock. */
std::map<std::string, std::string> &memory_files()
{
    static auto *files = new std::map<std::string, std::string>;
    return *files;
}

std::mutex &memory_lock()
{
    static std::mutex *m = new std::mutex;
    return *m;
}

/* True when `s` is well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF). */
bool valid_utf8(std::string_view s)
{
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = (unsigned char)s[i];
        size_t need;
        uint32_t c, min;
        if (b < 0x80) {
            i++;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            need = 1, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            need = 2, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            need = 3, c = b & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= need)
            return false;
        for (size_t k = 1; k <= need; k++) {
            unsigned char t = (unsigned char)s[i + k];
            if ((t & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (t & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        i += need + 1;
    }
    return true;
}

std::u16string decode(const std::string &bytes, Encoding *enc)
{
    auto starts = [&](const char *bom, size_t n) { return bytes.size() >= n && bytes.compare(0, n, bom, n) == 0; };
    std::u16string out;
    if (starts("\xFF\xFE", 2) || starts("\xFE\xFF", 2)) {
        bool le = bytes[0] == '\xFF';
        *enc = le ? ENC_UTF16LE : ENC_UTF16BE;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            unsigned lo = (unsigned char)bytes[i + (le ? 0 : 1)], hi = (unsigned char)bytes[i + (le ? 1 : 0)];
            out += char16_t(lo | (hi << 8));
        }
        return out;
    }
    if (starts("\xEF\xBB\xBF", 3)) {
        *enc = ENC_UTF8_BOM;
        return plat::utf8_to_utf16(std::string_view(bytes).substr(3));
    }
    if (valid_utf8(bytes)) {
        *enc = ENC_UTF8;
        return plat::utf8_to_utf16(bytes);
    }
    *enc = ENC_ANSI;
    return plat::ansi_to_utf16(bytes);
}

/* Encodes `text` in `enc`; false when an ANSI file cannot hold a character. */
bool encode(const std::u16string &text, Encoding enc, std::string &out)
{
    out.clear();
    switch (enc) {
    case ENC_UTF16LE:
    case ENC_UTF16BE: {
        bool le = enc == ENC_UTF16LE;
        out = le ? "\xFF\xFE" : "\xFE\xFF";
        for (char16_t c : text) {
            char lo = char(c & 0xFF), hi = char(c >> 8);
            out += le ? lo : hi;
            out += le ? hi : lo;
        }
        return true;
    }
    case ENC_UTF8_BOM:
        out = "\xEF\xBB\xBF" + plat::utf16_to_utf8(text);
        return true;
    case ENC_UTF8:
        out = plat::utf16_to_utf8(text);
        return true;
    case ENC_ANSI: {
        if (text.empty())
            return true;
        if (text.size() > 0x7FFFFFFF)
            return false;
        BOOL lossy = FALSE;
        int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), nullptr, 0,
                                    nullptr, &lossy);
        if (n <= 0 || lossy)
            return false;
        out.resize(size_t(n));
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), int(text.size()), out.data(), n, nullptr,
                            nullptr);
        return true;
    }
    }
    return false;
}

bool blank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string trim(std::u16string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && blank(s[b]))
        b++;
    while (e > b && blank(s[e - 1]))
        e--;
    return std::u16string(s.substr(b, e - b));
}

bool same_name(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

Line classify(std::u16string raw)
{
    Line l;
    std::u16string t = trim(raw);
    l.raw = std::move(raw);
    if (t.empty() || t[0] == u';')
        return l;
    if (t[0] == u'[') {
        size_t close = t.find(u']');
        l.kind = LINE_SECTION;
        l.name = trim(std::u16string_view(t).substr(1, close == t.npos ? t.npos : close - 1));
        return l;
    }
    l.kind = LINE_KEY;
    size_t eq = t.find(u'=');
    l.has_eq = eq != t.npos;
    l.name = trim(std::u16string_view(t).substr(0, eq));
    if (l.has_eq)
        l.value = trim(std::u16string_view(t).substr(eq + 1));
    return l;
}

void parse(const std::string &bytes, Ini &ini)
{
    std::u16string text = decode(bytes, &ini.enc);
    ini.lines.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == text.npos)
            end = text.size();
        ini.lines.push_back(classify(text.substr(start, end - start)));
        start = end;
        if (start < text.size() && text[start] == u'\r')
            start++;
        if (start < text.size() && text[start] == u'\n')
            start++;
    }
}

/* The real path of a profile file name (see plat/ini.h); 0 or a last error. */
DWORD ini_path(LPCWSTR file, std::string &real)
{
    std::u16string name = file ? std::u16string(file, plat::wlen(file)) : u"win.ini";
    if (!name.empty() && name.find_first_of(u"\\/") == name.npos && !(name.size() >= 2 && name[1] == u':')) {
        WCHAR windows[MAX_PATH];
        UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
        name = std::u16string(windows, n < MAX_PATH ? n : 0) + u"\\" + name;
    }
    return resolve_path(name.c_str(), real);
}

/* Loads a profile file; false (with the last error) when it cannot be read. */
bool load(LPCWSTR file, Ini &ini)
{
    std::string real, bytes;
    DWORD err = ini_path(file, real);
    if (!err) {
        std::lock_guard<std::mutex> g(memory_lock());
        auto it = memory_files().find(real);
        if (it != memory_files().end()) {
            parse(it->second, ini);
            return true;
        }
    }
    FileRef f;
    if (!err)
        f = file_open_ref(real, ACC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, &err);
    if (f)
        err = read_all(*f, bytes, kMaxIniBytes);
    if (err) {
        SetLastError(err);
        return false;
    }
    parse(bytes, ini);
    return true;
}

/* Index of the first section line named `section`, or lines.size(). */
size_t find_section(const Ini &ini, std::u16string_view section)
{
    for (size_t i = 0; i < ini.lines.size(); i++)
        if (ini.lines[i].kind == LINE_SECTION && same_name(ini.lines[i].name, section))
            return i;
    return ini.lines.size();
}

/* One past the last line of the section whose header is at `at`. */
size_t section_end(const Ini &ini, size_t at)
{
    size_t i = at + 1;
    while (i < ini.lines.size() && ini.lines[i].kind != LINE_SECTION)
        i++;
    return i;
}

/* Index of the first key line named `key` in the section at `at`, or lines.size(). */
size_t find_key(const Ini &ini, size_t at, std::u16string_view key)
{
    if (at >= ini.lines.size())
        return ini.lines.size();
    size_t end = section_end(ini, at);
    for (size_t i = at + 1; i < end; i++)
        if (ini.lines[i].kind == LINE_KEY && same_name(ini.lines[i].name, key))
            return i;
    return ini.lines.size();
}

/* Copies a list (see plat/ini.h): whole entries only; size - 2 when cut. */
DWORD put_list(const std::vector<std::u16string> &items, WCHAR *buffer, DWORD size)
{
    if (size < 2) {
        buffer[0] = 0;
        return 0;
    }
    size_t used = 0;
    for (const auto &item : items) {
        if (used + item.size() + 2 > size) {
            std::fill(buffer + used, buffer + size, u'\0');
            return size - 2;
        }
        std::copy(item.begin(), item.end(), buffer + used);
        used += item.size();
        buffer[used++] = 0;
    }
    buffer[used] = 0;
    if (used == 0)
        buffer[1] = 0; /* an empty list is two NULs */
    return DWORD(used);
}

/* Copies one value, cut to size - 1 characters when it does not fit. */
DWORD put_value(std::u16string_view value, WCHAR *buffer, DWORD size)
{
    size_t n = std::min(value.size(), size_t(size - 1));
    std::copy(value.begin(), value.begin() + long(n), buffer);
    buffer[n] = 0;
    return DWORD(n);
}

std::u16string unquote(const std::u16string &v)
{
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == u'"' || v.front() == u'\''))
        return v.substr(1, v.size() - 2);
    return v;
}

/* Looks up a value; false (last error ERROR_FILE_NOT_FOUND) when the file, section or key is missing. */
bool lookup(LPCWSTR section, LPCWSTR key, LPCWSTR file, std::u16string &value)
{
    Ini ini;
    if (!load(file, ini)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    size_t at = find_key(ini, find_section(ini, std::u16string_view(section, plat::wlen(section))),
                         std::u16string_view(key, plat::wlen(key)));
    if (at >= ini.lines.size()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    value = unquote(ini.lines[at].value);
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::vector<std::u16string> section_names(const Ini &ini)
{
    std::vector<std::u16string> names;
    for (const auto &l : ini.lines)
        if (l.kind == LINE_SECTION)
            names.push_back(l.name);
    return names;
}

bool has_any(std::u16string_view s, std::u16string_view chars) { return s.find_first_of(chars) != s.npos; }

/* Applies a write to the parsed file; false when nothing changes. */
bool apply_write(Ini &ini, std::u16string_view section, const WCHAR *key, const WCHAR *value)
{
    size_t at = find_section(ini, section);
    if (!key) {
        if (at >= ini.lines.size())
            return false;
        ini.lines.erase(ini.lines.begin() + long(at), ini.lines.begin() + long(section_end(ini, at)));
        return true;
    }
    std::u16string k = trim(std::u16string_view(key, plat::wlen(key)));
    size_t line = find_key(ini, at, k);
    if (!value) {
        if (line >= ini.lines.size())
            return false;
        ini.lines.erase(ini.lines.begin() + long(line));
        return true;
    }
    std::u16string v(value, plat::wlen(value));
    if (line < ini.lines.size()) {
        ini.lines[line] = classify(ini.lines[line].name + u"=" + v);
        return true;
    }
    Line entry = classify(k + u"=" + v);
    if (at < ini.lines.size()) {
        /* After the section's last entry, before any blank lines or comments that follow it. */
        size_t end = section_end(ini, at), pos = at + 1;
        for (size_t i = at + 1; i < end; i++)
            if (ini.lines[i].kind == LINE_KEY)
                pos = i + 1;
        ini.lines.insert(ini.lines.begin() + long(pos), entry);
        return true;
    }
    if (!ini.lines.empty() && !trim(ini.lines.back().raw).empty())
        ini.lines.push_back(classify(u""));
    ini.lines.push_back(classify(u"[" + std::u16string(section) + u"]"));
    ini.lines.push_back(entry);
    return true;
}

} // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value, LPWSTR buffer, DWORD size,
                               LPCWSTR file)
{
    if (!buffer || size == 0)
        return 0;
    std::lock_guard<std::mutex> g(ini_lock());
    if (!section || !key) {
        Ini ini;
        std::vector<std::u16string> items;
        if (load(file, ini)) {
            if (!section) {
                items = section_names(ini);
            } else {
                size_t at = find_section(ini, std::u16string_view(section, plat::wlen(section)));
                for (size_t i = at + 1; at < ini.lines.size() && i < section_end(ini, at); i++)
                    if (ini.lines[i].kind == LINE_KEY)
                        items.push_back(ini.lines[i].name);
            }
            SetLastError(ERROR_SUCCESS);
        } else {
            SetLastError(ERROR_FILE_NOT_FOUND);
        }
        return put_list(items, buffer, size);
    }
    std::u16string value;
    if (!lookup(section, key, file, value)) {
        std::u16string_view def = default_value ? std::u16string_view(default_value, plat::wlen(default_value))
                                                : std::u16string_view();
        while (!def.empty() && blank(def.back()))
            def.remove_suffix(1);
        DWORD err = GetLastError();
        DWORD n = put_value(def, buffer, size);
        SetLastError(err);
        return n;
    }
    return put_value(value, buffer, size);
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value, LPCWSTR file)
{
    if (!section || !key)
        return UINT(default_value);
    std::lock_guard<std::mutex> g(ini_lock());
    std::u16string value;
    if (!lookup(section, key, file, value))
        return UINT(default_value);
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == u'-' || value[i] == u'+'))
        negative = value[i++] == u'-';
    uint64_t n = 0;
    for (; i < value.size() && value[i] >= u'0' && value[i] <= u'9'; i++)
        n = std::min<uint64_t>(n * 10 + (value[i] - u'0'), UINT_MAX);
    return negative ? 0 : UINT(n);
}

DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR file)
{
    if (!buffer || size == 0)
        return 0;
    std::lock_guard<std::mutex> g(ini_lock());
    std::vector<std::u16string> items;
    Ini ini;
    if (section && load(file, ini)) {
        size_t at = find_section(ini, std::u16string_view(section, plat::wlen(section)));
        for (size_t i = at + 1; at < ini.lines.size() && i < section_end(ini, at); i++) {
            const Line &l = ini.lines[i];
            if (l.kind == LINE_KEY)
                items.push_back(l.has_eq ? l.name + u"=" + l.value : l.name);
        }
    }
    return put_list(items, buffer, size);
}

DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR file)
{
    if (!buffer || size == 0)
        return 0;
    std::lock_guard<std::mutex> g(ini_lock());
    Ini ini;
    std::vector<std::u16string> items;
    if (load(file, ini))
        items = section_names(ini);
    return put_list(items, buffer, size);
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file)
{
    std::u16string_view sec(section ? section : u"", plat::wlen(section));
    std::u16string_view k(key ? key : u"", plat::wlen(key));
    std::u16string_view v(value ? value : u"", plat::wlen(value));
    std::u16string kt = trim(k);
    if (!section || trim(sec).empty() || has_any(sec, u"\r\n]") || has_any(k, u"\r\n=") || has_any(v, u"\r\n") ||
        (key && (kt.empty() || kt[0] == u'[' || kt[0] == u';'))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string real;
    DWORD err = ini_path(file, real);
    if (err) {
        SetLastError(err);
        return FALSE;
    }
    std::lock_guard<std::mutex> g(ini_lock());
    bool in_memory = false;
    {
        std::lock_guard<std::mutex> m(memory_lock());
        in_memory = memory_files().count(real) != 0;
    }
    if (in_memory) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    bool adding = key && value;
    bool existed = false;
    FileRef f = file_open_ref(real, ACC_READ | ACC_WRITE, FILE_SHARE_READ, adding ? OPEN_ALWAYS : OPEN_EXISTING,
                              &err, &existed);
    if (!f) {
        if (!adding && err == ERROR_FILE_NOT_FOUND)
            return TRUE; /* nothing to delete */
        SetLastError(err);
        return FALSE;
    }
    std::string bytes;
    err = read_all(*f, bytes, kMaxIniBytes);
    Ini ini;
    if (!err)
        parse(bytes, ini);
    if (!err && apply_write(ini, trim(sec), key, value)) {
        std::u16string text;
        for (const auto &l : ini.lines)
            text += l.raw + u"\r\n";
        if (!encode(text, ini.enc, bytes))
            encode(text, ENC_UTF8, bytes); /* keeps every character */
        err = replace_content(*f, bytes);
    }
    if (err) {
        if (!existed) {
            std::lock_guard<std::mutex> files(files_lock());
            f->delete_on_close = true; /* a file this call created and could not fill goes again */
        }
        SetLastError(err);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

namespace plat {

bool ini_set_memory_file(LPCWSTR file, const void *data, size_t size)
{
    std::string real;
    if (!file || ini_path(file, real) != 0)
        return false;
    std::lock_guard<std::mutex> g(memory_lock());
    if (data)
        memory_files()[real].assign(static_cast<const char *>(data), std::min(size, kMaxIniBytes));
    else
        memory_files().erase(real);
    return true;
}

bool ini_memory_file_size(LPCWSTR file, DWORD *size)
{
    std::string real;
    if (!file || ini_path(file, real) != 0)
        return false;
    std::lock_guard<std::mutex> g(memory_lock());
    auto it = memory_files().find(real);
    if (it == memory_files().end())
        return false;
    if (size)
        *size = DWORD(it->second.size());
    return true;
}

} // namespace plat
