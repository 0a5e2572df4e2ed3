/*
 * Text fields and typed values of the model data file: the four reusable
 * text buffers of the string-module cache, the two forms of a text field
 * (a reference to a string of a string module, or bit-inverted ANSI text),
 * the string modules behind the references, and typed values.
 */
#include "model_internal.h"

#include <plat/error.h>

#include <cstring>

namespace {

/* Module file names and module strings longer than this cannot form a path in the driver directory. */
constexpr int kModuleStringCapacity = DDD_MODULE_STRING_MAX + 1;

/* A new string holding `chars` characters of `s`, terminated; *bytes = chars * 2 + 2. */
LPWSTR copy_chars(const WCHAR *s, DWORD chars, DWORD *bytes)
{
    auto *out = static_cast<LPWSTR>(mdl_Alloc((static_cast<size_t>(chars) + 1) * sizeof(WCHAR)));
    if (!out)
        return nullptr;
    if (chars)
        std::memcpy(out, s, chars * sizeof(WCHAR));
    out[chars] = 0;
    if (bytes)
        *bytes = chars * 2 + 2;
    return out;
}

/* Loads string `id` of the selector-1 module kept in the cache. */
WORD load_selector1_string(ModelFileReader *reader, WORD id, LPWSTR *out, DWORD *length)
{
    WORD loaded = DDD_LoadStringModule(reader);
    if (loaded != DDD_OK)
        return loaded;
    BYTE *buffer = DDD_TakeTextBuffer(reader, kModuleStringCapacity * sizeof(WCHAR));
    if (!buffer)
        return DDD_ERR_NO_MEMORY;
    auto *text = reinterpret_cast<LPWSTR>(buffer);
    int n = ddd_LoadModuleString(nullptr, &reader->cache->module, id, text, kModuleStringCapacity);
    WORD r = DDD_ERR_FAIL;
    if (n > 0) {
        if (n > DDD_MODULE_STRING_MAX)
            n = DDD_MODULE_STRING_MAX;
        text[n] = 0;
        *out = copy_chars(text, static_cast<DWORD>(n), length);
        r = *out ? DDD_OK : DDD_ERR_NO_MEMORY;
    }
    ddd_GiveTextBuffer(reader, buffer);
    return r;
}

} // namespace

LPWSTR ddd_DupString(LPCWSTR s, DWORD *bytes)
{
    if (!s)
        return nullptr;
    DWORD n = 0;
    while (s[n])
        ++n;
    return copy_chars(s, n, bytes);
}

BYTE *DDD_TakeTextBuffer(ModelFileReader *reader, DWORD size)
{
    if (!reader || !reader->cache)
        return nullptr;
    DWORD wanted = size == 0 ? DDD_TEXT_BUFFER_MIN : size;
    if (wanted < DDD_TEXT_BUFFER_MIN)
        wanted = DDD_TEXT_BUFFER_MIN;
    if (wanted > 0xFFFF)
        return nullptr; /* a slot's size is 16-bit; text fields are at most 65,535 bytes */
    for (DddTextSlot &slot : reader->cache->slots) {
        if (slot.inUse)
            continue;
        if (!slot.buffer || slot.size < wanted) {
            mdl_Free(slot.buffer);
            slot.buffer = static_cast<BYTE *>(mdl_Alloc(wanted));
            slot.size = slot.buffer ? static_cast<WORD>(wanted) : 0;
            if (!slot.buffer)
                return nullptr;
        }
        slot.inUse = 1;
        return slot.buffer;
    }
    return nullptr;
}

void ddd_GiveTextBuffer(ModelFileReader *reader, BYTE *buffer)
{
    if (!reader || !reader->cache || !buffer)
        return;
    for (DddTextSlot &slot : reader->cache->slots)
        if (slot.buffer == buffer)
            slot.inUse = 0;
}

WORD DDD_LoadStringModule(ModelFileReader *reader)
{
    if (!reader || !reader->cache)
        return DDD_ERR_FAIL;
    DddStringCache *cache = reader->cache;
    if (cache->module)
        return DDD_OK;
    /* The name is item 0 of entry 35 of the main file, read through a copy so no position moves. */
    ModelFileReader view = reader->main ? *reader->main : *reader;
    LPWSTR name = nullptr;
    WORD r = ddd_ReadHeaderStoredString(&view, DDD_ENTRY_STRING_MODULES, 0, &name);
    if (r == DDD_ERR_NO_MEMORY)
        return r;
    if (r == DDD_OK) {
        WCHAR probe[1];
        if (ddd_LoadModuleString(name, &cache->module, 0, probe, 1) < 0)
            cache->module = nullptr;
    }
    mdl_Free(name);
    if (!cache->module) {
        /* Every later text of this pair is decoded as stored text. */
        cache->referencesEnabled = 0;
        return DDD_ERR_FAIL;
    }
    return DDD_OK;
}

WORD DDD_LoadStringFromModule(LPCWSTR name, WORD id, LPWSTR *out, DWORD *length, ModelFileReader *reader)
{
    if (!name || !out || !length || !reader)
        return DDD_ERR_FAIL;
    *out = nullptr;
    BYTE *buffer = DDD_TakeTextBuffer(reader, kModuleStringCapacity * sizeof(WCHAR));
    if (!buffer)
        return DDD_ERR_NO_MEMORY;
    auto *text = reinterpret_cast<LPWSTR>(buffer);
    HMODULE module = nullptr;
    int n = ddd_LoadModuleString(name, &module, id, text, kModuleStringCapacity);
    if (module)
        ddd_FreeStringModule(module);
    WORD r = DDD_ERR_FAIL;
    if (n > 0) {
        if (n > DDD_MODULE_STRING_MAX)
            n = DDD_MODULE_STRING_MAX;
        *out = copy_chars(text, static_cast<DWORD>(n), length);
        r = *out ? DDD_OK : DDD_ERR_NO_MEMORY;
    }
    ddd_GiveTextBuffer(reader, buffer);
    return r;
}

WORD DDD_ReadResourceText(ModelFileReader *reader, const BYTE *bytes, LPWSTR *out, DWORD *length)
{
    if (!reader || !bytes || !out || !length)
        return DDD_ERR_FAIL;
    *out = nullptr;
    DWORD n = *length;
    if (n <= 5 || bytes[n - 1] != 0)
        return DDD_OK;
    WORD selector = static_cast<WORD>(bytes[n - 5] | (bytes[n - 4] << 8));
    WORD id = static_cast<WORD>(bytes[n - 3] | (bytes[n - 2] << 8));
    if (selector == 0 || id == 0)
        return DDD_OK;
    if (selector == 1)
        return load_selector1_string(reader, id, out, length);

    /* Selector k above 1: item k-1 of entry 35 of the file that holds the text. */
    ModelFileReader view = *reader;
    LPWSTR name = nullptr;
    WORD r = ddd_ReadHeaderStoredString(&view, DDD_ENTRY_STRING_MODULES, static_cast<WORD>(selector - 1), &name);
    if (r != DDD_OK)
        return r == DDD_ERR_NO_MEMORY ? r : DDD_ERR_FAIL;
    r = DDD_LoadStringFromModule(name, id, out, length, reader);
    mdl_Free(name);
    return r;
}

namespace {

/* The `n` stored bytes at `bytes` inverted into `plain` (which may be `bytes`), eight at a time. */
void invert_text(const BYTE *bytes, BYTE *plain, DWORD n)
{
    DWORD i = 0;
    for (; n - i >= 8; i += 8) {
        ULONGLONG word = 0;
        std::memcpy(&word, bytes + i, 8);
        word = ~word;
        std::memcpy(plain + i, &word, 8);
    }
    for (; i < n; ++i)
        plain[i] = static_cast<BYTE>(bytes[i] ^ 0xFF);
}

/* The inverted bytes as a new UTF-16 text; *length gets its bytes with the terminator. */
WORD plain_to_text(const BYTE *plain, DWORD n, LPWSTR *out, DWORD *length)
{
    DWORD chars = 0;
    *out = ddd_AnsiToWideAlloc(plain, n, &chars);
    if (!*out)
        return DDD_ERR_NO_MEMORY;
    *length = chars * 2 + 2;
    return DDD_OK;
}

} // namespace

WORD DDD_ConvertStoredText(ModelFileReader *reader, const BYTE *bytes, LPWSTR *out, DWORD *length)
{
    (void)reader;
    if (!bytes || !out || !length)
        return DDD_ERR_FAIL;
    *out = nullptr;
    DWORD n = *length;
    /* Inverted in a scratch copy so the caller's bytes stay as read. */
    BYTE local[256] = {};
    BYTE *plain = n <= sizeof local ? local : static_cast<BYTE *>(mdl_Alloc(n));
    if (!plain)
        return DDD_ERR_NO_MEMORY;
    invert_text(bytes, plain, n);
    const WORD r = plain_to_text(plain, n, out, length);
    if (plain != local)
        mdl_Free(plain);
    return r;
}

namespace {

WORD read_text(ModelFileReader *reader, LPWSTR *out, DWORD *length, bool references)
{
    if (!reader || !out || !length)
        return DDD_ERR_FAIL;
    *out = nullptr;
    DWORD n = *length;
    if (n == 0)
        return DDD_OK;
    if (n > ddd_Remaining(reader))
        return DDD_ERR_FAIL;
    BYTE *buffer = DDD_TakeTextBuffer(reader, n);
    if (!buffer)
        return DDD_ERR_NO_MEMORY;
    WORD r = DDD_Read(reader, buffer, n);
    if (r == DDD_OK && references && reader->cache->referencesEnabled) {
        DWORD len = n;
        r = DDD_ReadResourceText(reader, buffer, out, &len);
        if (r == DDD_OK && *out)
            *length = len;
        else if (r != DDD_ERR_NO_MEMORY)
            r = DDD_OK; /* not a reference, or unresolvable: stored text */
    }
    if (r == DDD_OK && !*out) {
        /* The buffer is the reader's scratch: the text is inverted where it lies. */
        invert_text(buffer, buffer, n);
        DWORD len = 0;
        r = plain_to_text(buffer, n, out, &len);
        if (r == DDD_OK)
            *length = len;
    }
    ddd_GiveTextBuffer(reader, buffer);
    return r;
}

} // namespace

WORD DDD_ReadText(ModelFileReader *reader, LPWSTR *out, DWORD *length)
{
    return read_text(reader, out, length, true);
}

WORD ddd_ReadStoredTextOnly(ModelFileReader *r, LPWSTR *out, DWORD *length)
{
    return read_text(r, out, length, false);
}

WORD ddd_ReadTextField(ModelFileReader *r, DddText *out)
{
    WORD n = 0;
    if (ddd_ReadU16(r, &n) != DDD_OK)
        return DDD_ERR_FAIL;
    DWORD length = n;
    WORD res = DDD_ReadText(r, &out->text, &length);
    out->length = out->text ? length : 0;
    return res;
}

void ddd_FreeText(DddText *t)
{
    mdl_Free(t->text);
    t->text = nullptr;
    t->length = 0;
}

/* --- Typed values ------------------------------------------------------- */

WORD DDD_ReadTypedValue(ModelFileReader *reader, DddValue *out)
{
    if (!reader || !out)
        return DDD_ERR_FAIL;
    *out = DddValue{};
    BYTE type = 0;
    WORD n = 0;
    if (ddd_ReadU8(reader, &type) != DDD_OK || ddd_ReadU16(reader, &n) != DDD_OK)
        return DDD_ERR_FAIL;
    out->type = type;
    if (n == 0)
        return DDD_OK;
    if (n > ddd_Remaining(reader))
        return DDD_ERR_FAIL;
    const BYTE *data = reader->data + reader->position;

    if (type == DDD_VT_FLAG || type == DDD_VT_MEMBER) {
        if (type == DDD_VT_MEMBER && n < 4)
            return DDD_ERR_FAIL;
        auto *v = static_cast<BYTE *>(mdl_Alloc(4));
        if (!v)
            return DDD_ERR_NO_MEMORY;
        DWORD number = type == DDD_VT_FLAG ? (data[0] ? 1u : 0u) : plat::load<DWORD>(data);
        plat::store(v, number);
        out->data = v;
        out->length = 4;
        out->owned = 1;
        out->count = 1;
        return ddd_Skip(reader, n);
    }
    if (type == DDD_VT_STRING) {
        DWORD length = n;
        LPWSTR s = nullptr;
        WORD r = DDD_ReadText(reader, &s, &length);
        if (r != DDD_OK)
            return r;
        out->data = s;
        out->length = s ? length : 0;
        out->owned = s ? 1 : 0;
        out->count = s ? 1 : 0;
        return DDD_OK;
    }
    out->data = const_cast<BYTE *>(data);
    out->length = n;
    out->count = 1;
    return ddd_Skip(reader, n);
}

void ddd_FreeValue(DddValue *value)
{
    if (!value)
        return;
    if (value->owned)
        mdl_Free(value->data);
    *value = DddValue{};
}
