/*
 * What the stamp pages and the renderer do with the stamps store: read a
 * stamp (with the built-in fall-backs), list the names, test and check a
 * name, write, delete and compare a stamp.
 */
#include "stp_store_private.h"

#include <plat/text.h>

#include <cstring>
#include <iterator>

namespace {

/* A search of the store by record name. */
struct Search {
    LPCWSTR name;
    bool ignoreCase = false;
    DWORD count = 0;            /* stamps seen (the whole store unless stopped) */
    bool stopAtMatch = true;
    bool found = false;
    WCHAR valueName[512] = {};  /* value name of the match (cut when longer; used only for short names) */
    bool valueNameFits = false;
    BYTE record[STP_RECORD_SIZE] = {};
};

bool searchVisit(void *state, LPCWSTR valueName, const BYTE *record)
{
    auto *s = static_cast<Search *>(state);
    ++s->count;
    if (s->found)
        return false;
    WCHAR name[STP_NAME_ROOM];
    stp_RecordName(record, name);
    if ((s->ignoreCase ? lstrcmpiW(name, s->name) : lstrcmpW(name, s->name)) != 0)
        return false;
    s->found = true;
    s->valueNameFits = plat::wlen(valueName) < std::size(s->valueName);
    lstrcpynW(s->valueName, valueName, int(std::size(s->valueName)));
    std::memcpy(s->record, record, STP_RECORD_SIZE);
    return s->stopAtMatch;
}

/* Opens the store and searches it; `result` gets the open or walk code. */
int searchStore(HANDLE printer, ModelContext *context, Search &search, HKEY *keep = nullptr)
{
    HKEY key = nullptr;
    int result = STP_OpenStore(&key, printer, context);
    if (result != STP_OK)
        return result;
    result = stp_VisitStamps(key, searchVisit, &search);
    if (keep && result == STP_OK)
        *keep = key;
    else
        RegCloseKey(key);
    return result;
}

bool textEmpty(const BYTE *record) { return plat::load<WCHAR>(record + STP_OFF_TEXT) == 0; }

/* The fields STP_IsUnchanged compares. */
bool sameStamp(const BYTE *a, const BYTE *b)
{
    WCHAR x[STP_TEXT_ROOM], y[STP_TEXT_ROOM];
    stp_RecordName(a, x);
    stp_RecordName(b, y);
    if (lstrcmpW(x, y) != 0)
        return false;
    stp_FieldText(a, STP_OFF_TEXT, STP_TEXT_CHARS + 1, x);
    stp_FieldText(b, STP_OFF_TEXT, STP_TEXT_CHARS + 1, y);
    if (lstrcmpW(x, y) != 0)
        return false;
    /* The six values at 196-215 lie back to back. */
    if (std::memcmp(a + STP_OFF_COLOR, b + STP_OFF_COLOR, STP_OFF_FONT - STP_OFF_COLOR) != 0)
        return false;
    const BYTE *fa = a + STP_OFF_FONT, *fb = b + STP_OFF_FONT;
    if (std::memcmp(fa, fb, STP_LF_QUALITY) != 0 || fa[STP_LF_PITCHANDFAMILY] != fb[STP_LF_PITCHANDFAMILY])
        return false;
    stp_FieldText(fa, STP_LF_FACENAME, STP_LF_FACE_CHARS, x);
    stp_FieldText(fb, STP_LF_FACENAME, STP_LF_FACE_CHARS, y);
    return lstrcmpW(x, y) == 0;
}

/* Listing the names into a multi-string. */
struct Listing {
    LPWSTR buffer;
    DWORD capacity; /* bytes */
    DWORD written = 0;
    DWORD needed = 0;
    DWORD names = 0;
    DWORD seen = 0;
};

bool listVisit(void *state, LPCWSTR, const BYTE *record)
{
    auto *l = static_cast<Listing *>(state);
    if (l->seen == STP_MAX_STAMPS)
        return true;
    WCHAR name[STP_NAME_ROOM];
    stp_RecordName(record, name);
    if (!name[0])
        return false; /* an empty name would end the list early */
    ++l->seen;
    const DWORD bytes = DWORD(plat::wlen(name) + 1) * sizeof(WCHAR);
    l->needed += bytes;
    /* A name goes in only when the list's final terminator still fits behind it. */
    if (l->buffer && l->written + bytes + sizeof(WCHAR) <= l->capacity && l->written == l->needed - bytes) {
        std::memcpy(reinterpret_cast<BYTE *>(l->buffer) + l->written, name, bytes);
        l->written += bytes;
        ++l->names;
    }
    return false;
}

} // namespace

int STP_ReadStamp(HANDLE printer, LPCWSTR name, BYTE *record, BOOL builtInOnly, ModelContext *context)
{
    if (!record)
        return STP_BAD_ARGUMENT;
    int index = 0;
    if (!name) {
        STP_LoadBuiltInStamp(record, &StpDefaultStamp);
        return STP_OK;
    }
    if (builtInOnly) {
        STP_LoadBuiltInStamp(record, stp_FindBuiltIn(name, &index) ? &StpBuiltInStamps[index] : &StpDefaultStamp);
        return STP_OK;
    }
    Search search{name};
    int result = searchStore(printer, context, search);
    if (result == STP_OK) {
        if (!search.found)
            return STP_NOT_FOUND;
        std::memcpy(record, search.record, STP_RECORD_SIZE);
        return STP_OK;
    }
    if (result == STP_ENUM_ERROR)
        return result;
    if (stp_FindBuiltIn(name, &index)) {
        STP_LoadBuiltInStamp(record, &StpBuiltInStamps[index]);
        return STP_OK;
    }
    return STP_NO_STORE;
}

int STP_ListNames(HANDLE printer, LPWSTR buffer, DWORD *count, DWORD *size, ModelContext *context)
{
    if (!size)
        return STP_BAD_ARGUMENT;
    HKEY key = nullptr;
    if (STP_OpenStore(&key, printer, context) != STP_OK)
        return STP_ListBuiltInNames(buffer, count, size);
    Listing listing{buffer, buffer ? *size : 0};
    int result = stp_VisitStamps(key, listVisit, &listing);
    RegCloseKey(key);
    listing.needed += sizeof(WCHAR);
    if (buffer && listing.written + sizeof(WCHAR) <= listing.capacity)
        std::memset(reinterpret_cast<BYTE *>(buffer) + listing.written, 0, sizeof(WCHAR));
    *size = listing.needed;
    if (count)
        *count = listing.names;
    if (!buffer || listing.capacity < listing.needed)
        return STP_BUFFER_TOO_SMALL;
    return result;
}

int STP_Exists(HANDLE printer, LPCWSTR name, ModelContext *context)
{
    if (!name)
        return STP_NOT_FOUND;
    if (stp_FindBuiltIn(name, nullptr))
        return STP_BUILTIN_NAME;
    Search search{name};
    int result = searchStore(printer, context, search);
    if (result != STP_OK)
        return result == STP_ENUM_ERROR ? result : STP_NO_STORE;
    return search.found ? STP_OK : STP_NOT_FOUND;
}

int STP_DeleteStamp(HANDLE printer, LPCWSTR name, ModelContext *context)
{
    if (!name)
        return STP_NOT_FOUND;
    if (stp_FindBuiltIn(name, nullptr))
        return STP_BUILTIN_NAME;
    Search search{name};
    HKEY key = nullptr;
    int result = searchStore(printer, context, search, &key);
    if (result == STP_ENUM_ERROR)
        return STP_DELETE_FAILED;
    if (result != STP_OK)
        return STP_NO_STORE;
    if (!search.found)
        result = STP_NOT_FOUND;
    else if (!search.valueNameFits || RegDeleteValueW(key, search.valueName) != ERROR_SUCCESS)
        result = STP_DELETE_FAILED;
    RegCloseKey(key);
    return result;
}

int STP_CheckName(HANDLE printer, LPCWSTR name, ModelContext *context, int kind)
{
    if (!name)
        return STP_OK;
    if (stp_FindBuiltIn(name, nullptr))
        return kind == STP_CHECK_NEW ? STP_TAKEN_BY_BUILTIN : STP_NAME_TAKEN;
    Search search{name};
    search.ignoreCase = true;
    search.stopAtMatch = false; /* the whole store is counted */
    int result = searchStore(printer, context, search);
    if (result != STP_OK)
        return result;
    if (search.found) {
        const bool empty = textEmpty(search.record);
        if (kind == STP_CHECK_NEW)
            return empty ? STP_NAME_TAKEN : STP_TAKEN_WITH_TEXT;
        if (kind == STP_CHECK_RENAME)
            return empty ? STP_TAKEN_EMPTY : STP_NAME_TAKEN;
        return STP_NAME_TAKEN;
    }
    return search.count < STP_MAX_STAMPS ? STP_OK : STP_STORE_FULL;
}

int STP_WriteStamp(HANDLE printer, const BYTE *record, ModelContext *context)
{
    if (!record)
        return STP_BAD_ARGUMENT;
    WCHAR name[STP_NAME_ROOM];
    stp_RecordName(record, name);
    /* A name fills at most 32 characters of its field and is never the key's default value. */
    if (!name[0] || plat::wlen(name) > STP_NAME_CHARS)
        return STP_BAD_ARGUMENT;
    Search search{name};
    search.stopAtMatch = false;
    HKEY key = nullptr;
    int result = searchStore(printer, context, search, &key);
    if (result != STP_OK)
        return result;
    if (!search.found && search.count >= STP_MAX_STAMPS)
        result = STP_STORE_FULL;
    else if (RegSetValueExW(key, name, 0, REG_BINARY, record, STP_RECORD_SIZE) != ERROR_SUCCESS)
        result = STP_WRITE_FAILED;
    RegCloseKey(key);
    return result;
}

int STP_IsUnchanged(HANDLE printer, const BYTE *record, ModelContext *context)
{
    if (!record)
        return STP_BAD_ARGUMENT;
    WCHAR name[STP_NAME_ROOM];
    stp_RecordName(record, name);
    Search search{name};
    int result = searchStore(printer, context, search);
    if (result != STP_OK)
        return result;
    if (!search.found)
        return STP_NOT_STORED;
    return sameStamp(search.record, record) ? STP_OK : STP_DIFFERS;
}
