/*
 * Profile (INI file) functions (see plat/ini.h): the file is read whole,
 * decoded to UTF-16 and split into classified lines once, the lines holding
 * offsets into the decoded text and their names compared on a folded copy
 * of it; reads are answered from those lines, and a file whose bytes have
 * not changed since it was last read is not parsed again.  A write parses
 * the file afresh, changes its lines, and writes it back whole, re-encoded.
 * One lock makes each call atomic against the others in this process.
 */
#include "file_private.h"

#include <plat/error.h>
#include <plat/codepage.h>
#include <plat/ini.h>
#include <plat/sysdir.h>
#include <plat/text.h>

#include <array>
#include <atomic>
#include <memory>
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

/*
 * A line of a parsed file: where its text, name and value lie in the file's
 * text (offsets, so that parsing allocates nothing per line).  Names are
 * compared on the folded copy of the text, folded once when the file is
 * parsed.
 */
struct Line {
    LineKind kind = LINE_OTHER;
    uint32_t raw = 0, raw_len = 0;     /* the line as read, for writing back */
    uint32_t name = 0, name_len = 0;   /* section or key name, trimmed */
    uint32_t value = 0, value_len = 0; /* value, trimmed */
    bool has_eq = false;
};

struct Ini {
    Encoding enc = ENC_UTF8;
    std::u16string text;   /* the decoded file, then the text of lines a write adds */
    std::u16string folded; /* `text` with its letters folded, for comparing names */
    std::vector<Line> lines;

    std::u16string_view raw(const Line &l) const { return std::u16string_view(text).substr(l.raw, l.raw_len); }
    std::u16string_view name(const Line &l) const { return std::u16string_view(text).substr(l.name, l.name_len); }
    std::u16string_view value(const Line &l) const
    {
        return std::u16string_view(text).substr(l.value, l.value_len);
    }
    /* True when the line's name is `key`, a name already folded. */
    bool named(const Line &l, std::u16string_view key) const
    {
        return std::u16string_view(folded).substr(l.name, l.name_len) == key;
    }
};

typedef std::shared_ptr<const Ini> IniRef;

std::mutex &ini_lock()
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

/* Narrows [*begin, *end) of `text` to its part without leading and trailing blanks. */
void trim_range(const std::u16string &text, size_t *begin, size_t *end)
{
    while (*begin < *end && blank(text[*begin]))
        ++*begin;
    while (*end > *begin && blank(text[*end - 1]))
        --*end;
}

/* Classifies the line of `ini.text` at [begin, begin + length): its kind and where its name and value lie. */
Line classify(const Ini &ini, size_t begin, size_t length)
{
    const std::u16string &text = ini.text;
    Line l;
    l.raw = uint32_t(begin);
    l.raw_len = uint32_t(length);
    size_t b = begin, e = begin + length;
    trim_range(text, &b, &e);
    if (b == e || text[b] == u';')
        return l;
    if (text[b] == u'[') {
        size_t nb = b + 1, ne = nb;
        while (ne < e && text[ne] != u']')
            ne++;
        trim_range(text, &nb, &ne);
        l.kind = LINE_SECTION;
        l.name = uint32_t(nb);
        l.name_len = uint32_t(ne - nb);
        return l;
    }
    l.kind = LINE_KEY;
    size_t eq = b;
    while (eq < e && text[eq] != u'=')
        eq++;
    l.has_eq = eq < e;
    size_t nb = b, ne = eq;
    trim_range(text, &nb, &ne);
    l.name = uint32_t(nb);
    l.name_len = uint32_t(ne - nb);
    if (l.has_eq) {
        size_t vb = eq + 1, ve = e;
        trim_range(text, &vb, &ve);
        l.value = uint32_t(vb);
        l.value_len = uint32_t(ve - vb);
    }
    return l;
}

/* Appends `raw` as a new line's text (for a write) and classifies it. */
Line add_text(Ini &ini, std::u16string_view raw)
{
    size_t begin = ini.text.size();
    ini.text.append(raw);
    for (char16_t c : raw)
        ini.folded.push_back(fold(c));
    return classify(ini, begin, raw.size());
}

void parse(const std::string &bytes, Ini &ini)
{
    ini.text = decode(bytes, &ini.enc);
    const std::u16string &text = ini.text;
    ini.folded.resize(text.size());
    for (size_t i = 0; i < text.size(); i++)
        ini.folded[i] = fold(text[i]);
    ini.lines.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start;
        while (end < text.size() && text[end] != u'\r' && text[end] != u'\n')
            end++;
        ini.lines.push_back(classify(ini, start, end - start));
        start = end;
        if (start < text.size() && text[start] == u'\r')
            start++;
        if (start < text.size() && text[start] == u'\n')
            start++;
    }
}

/* The Windows name of a profile file: a name without a folder is in the Windows folder; null is "win.ini". */
std::u16string ini_name(LPCWSTR file)
{
    std::u16string name = file ? std::u16string(file, plat::wlen(file)) : u"win.ini";
    if (!name.empty() && name.find_first_of(u"\\/") == name.npos && !(name.size() >= 2 && name[1] == u':')) {
        WCHAR windows[MAX_PATH];
        UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
        name = std::u16string(windows, n < MAX_PATH ? n : 0) + u"\\" + name;
    }
    return name;
}

/* The real path of a profile file name (see plat/ini.h); 0 or a last error. */
DWORD ini_path(LPCWSTR file, std::string &real)
{
    std::u16string name = ini_name(file);
    return resolve_path(name.c_str(), real);
}

/*
 * The key of an in-memory file: its Windows name folded, with "/" and "\"
 * alike and empty, "." and ".." components worked out, so that every
 * spelling of the name that maps to the same file finds it without a look
 * at the disk.
 */
std::u16string memory_key(LPCWSTR file)
{
    std::u16string name = ini_name(file);
    std::u16string key;  /* the components read so far, joined by "\\" */
    size_t start = 0;    /* where the component being read starts in `key` */
    bool reading = false;
    for (size_t i = 0; i <= name.size(); i++) {
        char16_t c = i < name.size() ? name[i] : u'\\';
        if (c != u'\\' && c != u'/') {
            if (!reading) {
                if (!key.empty())
                    key.push_back(u'\\');
                start = key.size();
                reading = true;
            }
            key.push_back(fold(c));
            continue;
        }
        if (!reading)
            continue; /* an empty component */
        reading = false;
        std::u16string_view component = std::u16string_view(key).substr(start);
        bool up = component == u"..";
        if (up || component == u".") {
            key.resize(start > 0 ? start - 1 : 0);
            size_t before = key.rfind(u'\\');
            if (up && before != key.npos)
                key.resize(before); /* never above the drive */
        }
    }
    return key;
}

/* An in-memory file: its bytes, and their parse once a read has needed it. */
struct MemoryFile {
    std::string bytes;
    IniRef parsed;
};

/* The in-memory profile files by key (see memory_key); guarded by memory_lock. */
std::map<std::u16string, MemoryFile> &memory_files()
{
    static auto *files = new std::map<std::u16string, MemoryFile>;
    return *files;
}

std::mutex &memory_lock()
{
    static std::mutex *m = new std::mutex;
    return *m;
}

/* Files held in memory; while none is, no read looks for one. */
std::atomic<size_t> g_memory_count{0};

/*
 * The files read last, by real path, with their bytes: a file whose bytes
 * are unchanged is not parsed again.  Guarded by ini_lock; at most
 * kCachedFiles files of at most kCachedBytes each.
 */
struct CachedFile {
    std::string bytes;
    IniRef parsed;
};
constexpr size_t kCachedFiles = 8;
constexpr size_t kCachedBytes = 1u << 20;

std::map<std::string, CachedFile> &cached_files()
{
    static auto *files = new std::map<std::string, CachedFile>;
    return *files;
}

IniRef parsed(const std::string &bytes)
{
    auto ini = std::make_shared<Ini>();
    parse(bytes, *ini);
    return ini;
}

/* The in-memory file `file`, parsed; null when it is not one. */
IniRef load_memory(LPCWSTR file)
{
    if (g_memory_count.load() == 0)
        return nullptr;
    std::u16string key = memory_key(file);
    std::lock_guard<std::mutex> g(memory_lock());
    auto it = memory_files().find(key);
    if (it == memory_files().end())
        return nullptr;
    MemoryFile &m = it->second;
    if (!m.parsed) {
        /* Files holding the same bytes share one parse (a parse depends on the bytes alone and is never changed). */
        for (const auto &entry : memory_files()) {
            if (entry.second.parsed && entry.second.bytes == m.bytes) {
                m.parsed = entry.second.parsed;
                break;
            }
        }
        if (!m.parsed)
            m.parsed = parsed(m.bytes);
    }
    return m.parsed;
}

/* Loads a profile file (the caller holds ini_lock); null (with the last error) when it cannot be read. */
IniRef load(LPCWSTR file)
{
    if (IniRef memory = load_memory(file))
        return memory;
    std::string real, bytes;
    DWORD err = ini_path(file, real);
    FileRef f;
    if (!err)
        f = file_open_ref(real, ACC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, &err);
    if (f)
        err = read_all(*f, bytes, kMaxIniBytes);
    if (err) {
        SetLastError(err);
        return nullptr;
    }
    auto &cache = cached_files();
    auto it = cache.find(real);
    if (it != cache.end() && it->second.bytes == bytes)
        return it->second.parsed;
    IniRef ini = parsed(bytes);
    if (bytes.size() <= kCachedBytes) {
        if (it == cache.end() && cache.size() >= kCachedFiles)
            cache.erase(cache.begin());
        cache[real] = CachedFile{std::move(bytes), ini};
    }
    return ini;
}

/* A name folded as the lines' names are. */
std::u16string folded(std::u16string_view name)
{
    std::u16string out(name);
    for (char16_t &c : out)
        c = fold(c);
    return out;
}

/* Index of the first section line named `section`, or lines.size(). */
size_t find_section(const Ini &ini, std::u16string_view section)
{
    std::u16string key = folded(section);
    for (size_t i = 0; i < ini.lines.size(); i++)
        if (ini.lines[i].kind == LINE_SECTION && ini.named(ini.lines[i], key))
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
    std::u16string k = folded(key);
    size_t end = section_end(ini, at);
    for (size_t i = at + 1; i < end; i++)
        if (ini.lines[i].kind == LINE_KEY && ini.named(ini.lines[i], k))
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

std::u16string unquote(std::u16string_view v)
{
    if (v.size() >= 2 && v.front() == v.back() && (v.front() == u'"' || v.front() == u'\''))
        return std::u16string(v.substr(1, v.size() - 2));
    return std::u16string(v);
}

/* Looks up a value; false (last error ERROR_FILE_NOT_FOUND) when the file, section or key is missing. */
bool lookup(LPCWSTR section, LPCWSTR key, LPCWSTR file, std::u16string &value)
{
    IniRef ini = load(file);
    if (!ini) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    size_t at = find_key(*ini, find_section(*ini, std::u16string_view(section, plat::wlen(section))),
                         std::u16string_view(key, plat::wlen(key)));
    if (at >= ini->lines.size()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    value = unquote(ini->value(ini->lines[at]));
    SetLastError(ERROR_SUCCESS);
    return true;
}

std::vector<std::u16string> section_names(const Ini &ini)
{
    std::vector<std::u16string> names;
    for (const auto &l : ini.lines)
        if (l.kind == LINE_SECTION)
            names.emplace_back(ini.name(l));
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
        ini.lines[line] = add_text(ini, std::u16string(ini.name(ini.lines[line])) + u"=" + v);
        return true;
    }
    Line entry = add_text(ini, k + u"=" + v);
    if (at < ini.lines.size()) {
        /* After the section's last entry, before any blank lines or comments that follow it. */
        size_t end = section_end(ini, at), pos = at + 1;
        for (size_t i = at + 1; i < end; i++)
            if (ini.lines[i].kind == LINE_KEY)
                pos = i + 1;
        ini.lines.insert(ini.lines.begin() + long(pos), entry);
        return true;
    }
    if (!ini.lines.empty() && !trim(ini.raw(ini.lines.back())).empty())
        ini.lines.push_back(add_text(ini, u""));
    ini.lines.push_back(add_text(ini, u"[" + std::u16string(section) + u"]"));
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
        std::vector<std::u16string> items;
        if (IniRef ini = load(file)) {
            if (!section) {
                items = section_names(*ini);
            } else {
                size_t at = find_section(*ini, std::u16string_view(section, plat::wlen(section)));
                size_t end = at < ini->lines.size() ? section_end(*ini, at) : at;
                for (size_t i = at + 1; i < end; i++)
                    if (ini->lines[i].kind == LINE_KEY)
                        items.emplace_back(ini->name(ini->lines[i]));
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
    IniRef ini = section ? load(file) : nullptr;
    if (ini) {
        size_t at = find_section(*ini, std::u16string_view(section, plat::wlen(section)));
        size_t end = at < ini->lines.size() ? section_end(*ini, at) : at;
        for (size_t i = at + 1; i < end; i++) {
            const Line &l = ini->lines[i];
            if (l.kind != LINE_KEY)
                continue;
            std::u16string item(ini->name(l));
            if (l.has_eq) {
                item += u'=';
                item += ini->value(l);
            }
            items.push_back(std::move(item));
        }
    }
    return put_list(items, buffer, size);
}

DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR file)
{
    if (!buffer || size == 0)
        return 0;
    std::lock_guard<std::mutex> g(ini_lock());
    std::vector<std::u16string> items;
    if (IniRef ini = load(file))
        items = section_names(*ini);
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
    if (load_memory(file)) {
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
        for (const auto &l : ini.lines) {
            text += ini.raw(l);
            text += u"\r\n";
        }
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
    std::u16string key = memory_key(file);
    std::lock_guard<std::mutex> g(memory_lock());
    auto &files = memory_files();
    if (data) {
        MemoryFile &m = files[key];
        m.bytes.assign(static_cast<const char *>(data), std::min(size, kMaxIniBytes));
        m.parsed.reset();
    } else {
        files.erase(key);
    }
    g_memory_count.store(files.size());
    return true;
}

bool ini_memory_file_size(LPCWSTR file, DWORD *size)
{
    if (!file || g_memory_count.load() == 0)
        return false;
    std::u16string key = memory_key(file);
    std::lock_guard<std::mutex> g(memory_lock());
    auto it = memory_files().find(key);
    if (it == memory_files().end())
        return false;
    if (size)
        *size = DWORD(it->second.bytes.size());
    return true;
}

} // namespace plat
