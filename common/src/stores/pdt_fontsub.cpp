/*
 * The font substitution table: built from the model's device fonts, looked
 * up and edited by TrueType face name, and kept as named blob 0 of the
 * printer data.  Every walk of a table is bounded by its GlobalAlloc block,
 * so a damaged stored table is refused instead of read past its end.
 */
#include <tarvel/stores/pdt_fontsub.h>

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/stores/pdt_chunk.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

/* One pair of a table: positions in code units, and the position after it. */
struct Pair {
    size_t face;
    size_t device;
    size_t next;
};

/* Units of the block that holds `table`; 0 when it is not a live block. */
size_t blockUnits(LPCWSTR table) { return table ? GlobalSize(const_cast<WCHAR *>(table)) / sizeof(WCHAR) : 0; }

/* The end of the string at `pos` (its terminator's position), or `units` when it has none inside. */
size_t stringEnd(LPCWSTR table, size_t pos, size_t units)
{
    while (pos < units && table[pos])
        ++pos;
    return pos;
}

/*
 * Reads the pair at `pos`: false at the end of the table (an empty face
 * name) or when the pair is not terminated inside the block (*malformed).
 */
bool nextPair(LPCWSTR table, size_t units, size_t pos, Pair *pair, bool *malformed)
{
    *malformed = false;
    if (pos >= units) {
        *malformed = true;
        return false;
    }
    if (table[pos] == 0)
        return false;
    size_t faceEnd = stringEnd(table, pos, units);
    size_t deviceEnd = faceEnd < units ? stringEnd(table, faceEnd + 1, units) : units;
    if (deviceEnd >= units) {
        *malformed = true;
        return false;
    }
    *pair = {pos, faceEnd + 1, deviceEnd + 1};
    return true;
}

/* Units of a well-formed table including the final zero; 0 when malformed. */
size_t tableUnits(LPCWSTR table)
{
    size_t units = blockUnits(table);
    Pair pair;
    bool malformed = false;
    size_t pos = 0;
    while (nextPair(table, units, pos, &pair, &malformed))
        pos = pair.next;
    return malformed ? 0 : pos + 1;
}

/* A growing table being built: bytes used (without the final zero) and capacity. */
struct Builder {
    BYTE *data;
    DWORD used;
    DWORD capacity;
};

void appendText(Builder &b, LPCWSTR text, size_t chars)
{
    std::memcpy(b.data + b.used, text, chars * sizeof(WCHAR));
    b.used += DWORD((chars + 1) * sizeof(WCHAR)); /* the terminator is already zero */
}

bool appendPair(Builder &b, LPCWSTR face, LPCWSTR device)
{
    size_t faceChars = plat::wlen(face), deviceChars = plat::wlen(device);
    ULONGLONG pairBytes = ULONGLONG(faceChars + deviceChars + 2) * sizeof(WCHAR);
    /* Grow until the pair and the final zero fit (a long pair may need more than one step). */
    ULONGLONG capacity = b.capacity;
    while (b.used + pairBytes > capacity - 2)
        capacity += PDT_FONTSUB_GROW_BYTES;
    if (capacity > PDT_MAX_BLOB_SIZE)
        return false; /* could never be stored */
    if (capacity != b.capacity) {
        BYTE *grown = static_cast<BYTE *>(GlobalAlloc(GPTR, SIZE_T(capacity)));
        if (!grown)
            return false;
        std::memcpy(grown, b.data, b.used);
        GlobalFree(b.data);
        b.data = grown;
        b.capacity = DWORD(capacity);
    }
    appendText(b, face, faceChars);
    appendText(b, device, deviceChars);
    return true;
}

/* A new zero-filled table of `units` code units. */
LPWSTR allocTable(size_t units) { return static_cast<LPWSTR>(GlobalAlloc(GPTR, units * sizeof(WCHAR))); }

} // namespace

LPWSTR PDT_BuildFontSubTable(ModelContext *context)
{
    if (!context || !context->main)
        return nullptr;
    Builder b{static_cast<BYTE *>(GlobalAlloc(GPTR, PDT_FONTSUB_INITIAL_BYTES)), 0, PDT_FONTSUB_INITIAL_BYTES};
    if (!b.data)
        return nullptr;

    bool ok = true;
    for (WORD n = 1; ok && n != 0; ++n) {
        ModelRecord *font = nullptr;
        WORD rc = DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, context->main, context->companion, DDD_KIND_DEVICE_FONT, n,
                                       &font);
        if (rc == DDD_ERR_NOT_FOUND)
            break;
        LPCWSTR name = rc == DDD_OK ? DDD_GetRecordName(font) : nullptr;
        ok = name != nullptr;
        for (WORD a = 1; ok && a != 0; ++a) {
            LPCWSTR face = nullptr;
            WORD aliasRc = DDD_DeviceFontGetAlias(font, a, &face);
            if (aliasRc == DDD_ERR_NOT_FOUND)
                break;
            ok = aliasRc == DDD_OK && face && appendPair(b, face, name);
        }
        DDD_FreeRecord(&font, -1);
    }
    if (!ok) {
        GlobalFree(b.data);
        return nullptr;
    }
    /* The final zero is already there: the block is zero-filled and used + 2 <= capacity. */
    return reinterpret_cast<LPWSTR>(b.data);
}

DWORD PDT_FontSubTableSize(LPCWSTR table) { return DWORD(tableUnits(table) * sizeof(WCHAR)); }

LPCWSTR PDT_FindFontSubEntry(LPCWSTR table, LPCWSTR face)
{
    if (!face)
        return nullptr;
    size_t units = blockUnits(table);
    Pair pair;
    bool malformed = false;
    for (size_t pos = 0; nextPair(table, units, pos, &pair, &malformed); pos = pair.next)
        if (wcscmp(table + pair.face, face) == 0)
            return table + pair.device;
    return nullptr;
}

LPWSTR PDT_ReplaceFontSubEntry(LPCWSTR table, LPCWSTR face, LPCWSTR device)
{
    if (!face || !face[0])
        return nullptr;
    size_t total = tableUnits(table);
    if (total == 0)
        return nullptr;
    size_t units = blockUnits(table);

    /* Find the pair of the face. */
    Pair pair{}, found{};
    bool malformed = false, hit = false;
    for (size_t pos = 0; nextPair(table, units, pos, &pair, &malformed); pos = pair.next) {
        if (wcscmp(table + pair.face, face) == 0) {
            found = pair;
            hit = true;
            break;
        }
    }

    size_t deviceChars = device ? plat::wlen(device) : 0;
    LPWSTR out = nullptr;
    if (hit && device) {
        /* Prefix through the face name, the new device name, the rest of the list. */
        size_t rest = total - found.next;
        out = allocTable(found.device + deviceChars + 1 + rest);
        if (out) {
            std::memcpy(out, table, found.device * sizeof(WCHAR));
            std::memcpy(out + found.device, device, deviceChars * sizeof(WCHAR));
            std::memcpy(out + found.device + deviceChars + 1, table + found.next, rest * sizeof(WCHAR));
        }
    } else if (hit) {
        /* The pair is removed. */
        size_t rest = total - found.next;
        out = allocTable(found.face + rest);
        if (out) {
            std::memcpy(out, table, found.face * sizeof(WCHAR));
            std::memcpy(out + found.face, table + found.next, rest * sizeof(WCHAR));
        }
    } else if (device) {
        /* A new pair at the end, before the final zero. */
        size_t faceChars = plat::wlen(face);
        out = allocTable(total + faceChars + 1 + deviceChars + 1);
        if (out) {
            std::memcpy(out, table, (total - 1) * sizeof(WCHAR));
            std::memcpy(out + total - 1, face, faceChars * sizeof(WCHAR));
            std::memcpy(out + total + faceChars, device, deviceChars * sizeof(WCHAR));
        }
    } else {
        out = allocTable(total);
        if (out)
            std::memcpy(out, table, total * sizeof(WCHAR));
    }
    return out;
}

LPWSTR PDT_GetFontSubTable(HANDLE printer)
{
    if (!printer)
        return nullptr;
    const PdtNamedBlob *blob = PDT_GetNamedBlob(PDT_BLOB_FONTSUBTABLE);
    BYTE *stored = nullptr;
    DWORD size = 0;
    if (PDT_ReadChunked(printer, &stored, &size, blob->baseName, blob->sizeName)) {
        LPWSTR table = reinterpret_cast<LPWSTR>(stored);
        if (size % sizeof(WCHAR) == 0 && tableUnits(table) != 0)
            return table;
        GlobalFree(stored); /* damaged: fall back to the model's table */
    }
    ModelContext *context = MDL_Open(printer);
    if (!context)
        return nullptr;
    LPWSTR table = PDT_BuildFontSubTable(context);
    MDL_Close(context);
    return table;
}

BOOL PDT_WriteFontSubTable(HANDLE printer, LPCWSTR table)
{
    DWORD size = PDT_FontSubTableSize(table);
    if (size == 0)
        return FALSE;
    return PDT_WriteNamedBlob(printer, reinterpret_cast<const BYTE *>(table), size, PDT_BLOB_FONTSUBTABLE);
}

BOOL PDT_InitFontSubTable(HANDLE printer, ModelContext *context)
{
    if (!printer)
        return FALSE;
    DWORD stored = 0;
    if (PDT_ReadNamedBlob(printer, PDT_BLOB_FONTSUBTABLE, nullptr, &stored))
        return TRUE;
    LPWSTR table = PDT_BuildFontSubTable(context);
    if (!table)
        return FALSE;
    BOOL ok = PDT_WriteFontSubTable(printer, table);
    GlobalFree(table);
    return ok;
}
