/*
 * INI routines of the configuration files: file size and existence, the
 * choice of a model's section, reading a whole section, and searching its
 * "key=value" lines by key prefix.  The files themselves are parsed by the
 * platform's profile functions; everything here works on the section text
 * they hand back (NUL-terminated lines, then one more NUL).
 */
#include <tarvel/model_data/cfg_model.h>

#include "cfg_private.h"

#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/ini.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <algorithm>
#include <climits>
#include <new>
#include <string_view>

namespace {

/* Characters of a text, 0 for null. */
size_t text_length(LPCWSTR s)
{
    return plat::wlen(s);
}

/* A new GlobalAlloc copy of n characters of `text`, terminated; null when memory runs out. */
LPWSTR copy_text(LPCWSTR text, size_t n)
{
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, (n + 1) * sizeof(WCHAR)));
    if (copy != nullptr && n != 0)
        std::memcpy(copy, text, n * sizeof(WCHAR));
    return copy;
}

/* Characters of the buffer a whole-file list needs: one per byte (a character takes at least one byte) and the NUL. */
DWORD list_chars(DWORD fileSize)
{
    return (fileSize < CFG_MAX_FILE_SIZE ? fileSize : CFG_MAX_FILE_SIZE) + 2;
}

/* True when `line` starts with `prefix` of length n, case ignored. */
bool starts_with(LPCWSTR line, LPCWSTR prefix, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (line[i] == 0 || (line[i] != prefix[i] && plat::wlower(line[i]) != plat::wlower(prefix[i])))
            return false;
    }
    return true;
}

/* FNV-1a hash of a folded key. */
DWORD key_hash(std::u16string_view key)
{
    DWORD h = 2166136261u;
    for (char16_t c : key)
        h = (h ^ c) * 16777619u;
    return h;
}

/* Characters of the key of a prefix "key=" (the "=" included), or 0 when the prefix has another form. */
size_t key_prefix_length(LPCWSTR prefix, size_t n)
{
    if (n == 0 || prefix[n - 1] != u'=')
        return 0;
    for (size_t i = 0; i + 1 < n; ++i)
        if (prefix[i] == u'=')
            return 0;
    return n;
}

/* Length of a usable key prefix, or 0 when it is null, empty or too long to search. */
size_t prefix_length(LPCWSTR prefix)
{
    const size_t n = text_length(prefix);
    return n >= static_cast<size_t>(CFG_MAX_PREFIX) ? 0 : n;
}

} // namespace

DWORD CFG_GetFileSize(LPCWSTR path)
{
    if (path == nullptr)
        return 0;
    DWORD inMemory = 0;
    if (plat::ini_memory_file_size(path, &inMemory))
        return inMemory;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    CloseHandle(file);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return 0;
    return high != 0 ? 0xFFFFFFFFu : low;
}

int CFG_FileExists(LPCWSTR path)
{
    if (path == nullptr || path[0] == 0)
        return 0;
    if (plat::ini_memory_file_size(path, nullptr))
        return 1;
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ? 1 : 0;
}

int cfg_SectionExists(LPCWSTR path, LPCWSTR section, bool &noMemory)
{
    noMemory = false;
    if (section == nullptr)
        return 0;
    const DWORD size = CFG_GetFileSize(path);
    if (size == 0)
        return 0;
    const DWORD chars = list_chars(size);
    auto *names = static_cast<LPWSTR>(GlobalAlloc(GPTR, static_cast<SIZE_T>(chars) * sizeof(WCHAR)));
    if (names == nullptr) {
        noMemory = true;
        return 0;
    }
    int found = 0;
    if (GetPrivateProfileSectionNamesW(names, chars, path) != 0) {
        for (LPCWSTR name = names; *name != 0 && found == 0; name += text_length(name) + 1)
            found = lstrcmpiW(name, section) == 0 ? 1 : 0;
    }
    GlobalFree(names);
    return found;
}

int CFG_SectionExists(LPCWSTR path, LPCWSTR section)
{
    bool noMemory = false;
    return cfg_SectionExists(path, section, noMemory);
}

LPWSTR CFG_ChooseSection(LPCWSTR path, DWORD size, LPCWSTR modelName)
{
    (void)size; /* the section names are read whole (cfg_SectionExists sizes its own buffer) */
    static const WCHAR kDefault[] = u"default";
    const size_t n = text_length(modelName);
    LPWSTR section = copy_text(modelName, n);
    if (section == nullptr)
        return nullptr;
    for (size_t i = 0; i < n; ++i)
        if (section[i] == u' ' || section[i] == u'/' || section[i] == u'-')
            section[i] = u'_';
    bool noMemory = false;
    const int exists = n != 0 ? cfg_SectionExists(path, section, noMemory) : 0;
    if (exists)
        return section;
    GlobalFree(section);
    /* Without memory the model's section cannot be told from "default": no answer. */
    return noMemory ? nullptr : copy_text(kDefault, text_length(kDefault));
}

LPWSTR cfg_ReadSection(LPCWSTR path, LPCWSTR section, bool &noMemory)
{
    noMemory = false;
    const DWORD size = CFG_GetFileSize(path);
    if (size == 0 || section == nullptr)
        return nullptr;
    const DWORD chars = list_chars(size);
    auto *text = static_cast<LPWSTR>(GlobalAlloc(GPTR, static_cast<SIZE_T>(chars) * sizeof(WCHAR)));
    if (text == nullptr) {
        noMemory = true;
        return nullptr;
    }
    if (GetPrivateProfileSectionW(section, text, chars, path) == 0) {
        GlobalFree(text);
        return nullptr;
    }
    return text;
}

LPWSTR CFG_ReadSection(LPCWSTR path, LPCWSTR section)
{
    bool noMemory = false;
    return cfg_ReadSection(path, section, noMemory);
}

int CFG_FindKeyValue(LPCWSTR sectionText, LPCWSTR keyPrefix, WCHAR value[CFG_VALUE_CHARS])
{
    const size_t n = prefix_length(keyPrefix);
    if (sectionText == nullptr || value == nullptr || n == 0)
        return 0;
    for (LPCWSTR line = sectionText; *line != 0; line += text_length(line) + 1) {
        const size_t length = text_length(line);
        if (length <= n || !starts_with(line, keyPrefix, n))
            continue;
        size_t take = length - n;
        if (take >= static_cast<size_t>(CFG_VALUE_CHARS))
            take = CFG_VALUE_CHARS - 2;
        std::memcpy(value, line + n, take * sizeof(WCHAR));
        value[take] = 0;
        return 1;
    }
    return 0;
}

int cfg_FindNthLine(int startLine, int takeLast, LPCWSTR sectionText, LPCWSTR keyPrefix, LPCWSTR *value)
{
    if (value != nullptr)
        *value = nullptr;
    const size_t n = prefix_length(keyPrefix);
    if (sectionText == nullptr || n == 0)
        return 0;
    int number = 0;
    int found = 0;
    LPCWSTR foundLine = nullptr;
    for (LPCWSTR line = sectionText; *line != 0; line += text_length(line) + 1) {
        ++number;
        if (number < startLine || !starts_with(line, keyPrefix, n))
            continue;
        found = number;
        foundLine = line;
        if (!takeLast)
            break;
    }
    if (found != 0 && value != nullptr)
        *value = foundLine + n;
    return found;
}

int CFG_FindNthKeyValue(int startLine, int takeLast, LPCWSTR sectionText, LPCWSTR keyPrefix, LPWSTR *value)
{
    if (value != nullptr)
        *value = nullptr;
    LPCWSTR inPlace = nullptr;
    const int found = cfg_FindNthLine(startLine, takeLast, sectionText, keyPrefix, &inPlace);
    if (found == 0 || value == nullptr)
        return found;
    *value = copy_text(inPlace, text_length(inPlace));
    return *value != nullptr ? found : 0;
}

int CFG_ParseValueWord(const CfgValueWord *table, LPCWSTR text, DWORD *out)
{
    if (text == nullptr || text[0] == 0 || out == nullptr)
        return 0;
    for (const CfgValueWord *row = table; row != nullptr && row->word != nullptr; ++row) {
        if (lstrcmpiW(row->word, text) == 0) {
            *out = row->value;
            return 1;
        }
    }
    ULONGLONG number = 0;
    for (LPCWSTR p = text; *p != 0; ++p) {
        if (*p < u'0' || *p > u'9')
            return 0;
        number = number * 10 + static_cast<ULONGLONG>(*p - u'0');
        if (number > UINT_MAX)
            return 0;
    }
    *out = static_cast<DWORD>(number);
    return 1;
}

CfgSectionIndex::CfgSectionIndex(LPCWSTR sectionText) : text_(sectionText)
{
    if (sectionText == nullptr) {
        ok_ = true;
        return;
    }
    try {
        DWORD number = 0;
        for (LPCWSTR line = sectionText; *line != 0;) {
            ++number;
            const size_t length = text_length(line);
            /* Only keys a usable prefix can name: shorter than CFG_MAX_PREFIX with their "=". */
            size_t eq = 0;
            while (eq < length && eq + 1 < static_cast<size_t>(CFG_MAX_PREFIX) && line[eq] != u'=')
                ++eq;
            if (eq < length && line[eq] == u'=') {
                const DWORD start = static_cast<DWORD>(folded_.size());
                for (size_t i = 0; i <= eq; ++i)
                    folded_.push_back(plat::wlower(line[i]));
                const DWORD hash = key_hash(std::u16string_view(folded_).substr(start));
                firsts_[eq + 1] |= first_bit(folded_[start]);
                entries_.push_back({line, number, static_cast<DWORD>(length), hash, start, static_cast<DWORD>(eq + 1)});
            }
            line += length + 1;
        }
        const std::u16string_view keys(folded_);
        std::sort(entries_.begin(), entries_.end(), [keys](const Entry &a, const Entry &b) {
            if (a.hash != b.hash)
                return a.hash < b.hash;
            const int c = keys.substr(a.keyStart, a.keyLength).compare(keys.substr(b.keyStart, b.keyLength));
            return c != 0 ? c < 0 : a.number < b.number;
        });
        ok_ = true;
    } catch (const std::bad_alloc &) {
        entries_.clear();
        folded_.clear();
        ok_ = false;
    }
}

ULONGLONG CfgSectionIndex::first_bit(WCHAR c)
{
    return 1ull << (c & 63);
}

bool CfgSectionIndex::range(LPCWSTR keyPrefix, size_t n, const Entry **first, const Entry **last) const
{
    if (!ok_ || key_prefix_length(keyPrefix, n) == 0)
        return false;
    const Entry *end = entries_.data() + entries_.size();
    if (n > static_cast<size_t>(CFG_MAX_PREFIX) || (firsts_[n] & first_bit(plat::wlower(keyPrefix[0]))) == 0) {
        *first = end; /* no key of this length starts with this character */
        *last = end;
        return true;
    }
    WCHAR key[CFG_MAX_PREFIX];
    for (size_t i = 0; i < n; ++i)
        key[i] = plat::wlower(keyPrefix[i]);
    const std::u16string_view want(key, n);
    const DWORD hash = key_hash(want);
    /* The entries of the hash (sorted by key within it), then those of the key. */
    const Entry *begin = entries_.data();
    const Entry *at = std::lower_bound(begin, end, hash, [](const Entry &e, DWORD h) { return e.hash < h; });
    const std::u16string_view keys(folded_);
    auto is_key = [&](const Entry *e) {
        return e != end && e->hash == hash && keys.substr(e->keyStart, e->keyLength) == want;
    };
    while (at != end && at->hash == hash && !is_key(at))
        ++at;
    const Entry *stop = at;
    while (is_key(stop))
        ++stop;
    *first = at;
    *last = stop;
    return true;
}

int CfgSectionIndex::findNthLine(int startLine, int takeLast, LPCWSTR keyPrefix, LPCWSTR *value) const
{
    const size_t n = prefix_length(keyPrefix);
    const Entry *first = nullptr, *last = nullptr;
    if (text_ == nullptr || n == 0 || !range(keyPrefix, n, &first, &last))
        return cfg_FindNthLine(startLine, takeLast, text_, keyPrefix, value);
    if (value != nullptr)
        *value = nullptr;
    const DWORD from = startLine > 0 ? static_cast<DWORD>(startLine) : 0;
    const Entry *hit = std::lower_bound(first, last, from, [](const Entry &e, DWORD k) { return e.number < k; });
    if (hit == last)
        return 0;
    if (takeLast)
        hit = last - 1;
    if (value != nullptr)
        *value = hit->line + n;
    return static_cast<int>(hit->number);
}

int CfgSectionIndex::findKeyValue(LPCWSTR keyPrefix, WCHAR value[CFG_VALUE_CHARS]) const
{
    const size_t n = prefix_length(keyPrefix);
    const Entry *first = nullptr, *last = nullptr;
    if (text_ == nullptr || value == nullptr || n == 0 || !range(keyPrefix, n, &first, &last))
        return CFG_FindKeyValue(text_, keyPrefix, value);
    for (const Entry *e = first; e != last; ++e) {
        if (e->length <= n)
            continue;
        size_t take = e->length - n;
        if (take >= static_cast<size_t>(CFG_VALUE_CHARS))
            take = CFG_VALUE_CHARS - 2;
        std::memcpy(value, e->line + n, take * sizeof(WCHAR));
        value[take] = 0;
        return 1;
    }
    return 0;
}
