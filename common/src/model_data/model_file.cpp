/*
 * Model data file reader, file side: loading one file into a reader, opening
 * and closing the pair (main file and companion), the checked read
 * primitives, and the file header with its version text and data format
 * version.  The process-wide format version of the last main file opened
 * lives here.
 */
#include "model_internal.h"

#include <plat/error.h>

#include <cstring>

namespace {

/* Data format version of the main file most recently opened successfully. */
DWORD g_lastFormatVersion = 0;

bool ieq(WCHAR a, WCHAR b)
{
    if (a >= u'a' && a <= u'z')
        a = static_cast<WCHAR>(a - u'a' + u'A');
    if (b >= u'a' && b <= u'z')
        b = static_cast<WCHAR>(b - u'a' + u'A');
    return a == b;
}

size_t wlen(LPCWSTR s)
{
    size_t n = 0;
    while (s[n])
        ++n;
    return n;
}

/* The text after the last "." must be "DDD", ignoring case. */
bool has_ddd_extension(LPCWSTR path)
{
    size_t n = wlen(path);
    size_t dot = n;
    for (size_t i = 0; i < n; ++i)
        if (path[i] == u'.')
            dot = i;
    if (dot == n || n - dot - 1 != 3)
        return false;
    return ieq(path[dot + 1], u'D') && ieq(path[dot + 2], u'D') && ieq(path[dot + 3], u'D');
}

void free_cache(DddStringCache *cache)
{
    for (DddTextSlot &slot : cache->slots) {
        mdl_Free(slot.buffer);
        slot.buffer = nullptr;
        slot.size = 0;
        slot.inUse = 0;
    }
    if (cache->module)
        ddd_FreeStringModule(cache->module);
    cache->module = nullptr;
    cache->referencesEnabled = 1;
    mdl_Free(cache);
}

/*
 * Steps 3-6 of the open, after the main file is loaded: header checks, the
 * companion's name and path, the companion's load and header check.
 */
WORD open_loaded_pair(const DddSource *source, LPCWSTR path, ModelFileReader *main, ModelFileReader *companion)
{
    main->role = DDD_ROLE_MAIN;
    WORD r = DDD_CheckVersion(main);
    if (r != DDD_OK) {
        DDD_CloseFile(main);
        return r;
    }

    LPWSTR name = nullptr;
    DWORD nameChars = 0;
    name = ddd_AnsiToWideAlloc(main->data + DDD_HDR_COMPANION, DDD_HDR_COMPANION_SIZE, &nameChars);
    companion->role = DDD_ROLE_COMPANION;
    if (!name) {
        DDD_CloseFile(main);
        return DDD_ERR_NO_MEMORY;
    }
    if (nameChars == 0) {
        mdl_Free(name);
        g_lastFormatVersion = main->formatVersion;
        return DDD_OK;
    }

    /* The companion lies beside the main file: main path up to its last "\". */
    size_t n = wlen(path);
    size_t slash = n;
    for (size_t i = 0; i < n; ++i)
        if (path[i] == u'\\')
            slash = i;
    WCHAR companionPath[MAX_PATH];
    if (slash == n || slash + 1 + nameChars >= MAX_PATH) {
        mdl_Free(name);
        DDD_CloseFile(main);
        return DDD_ERR_FAIL;
    }
    std::memcpy(companionPath, path, (slash + 1) * sizeof(WCHAR));
    std::memcpy(companionPath + slash + 1, name, nameChars * sizeof(WCHAR));
    companionPath[slash + 1 + nameChars] = 0;
    mdl_Free(name);

    r = ddd_MapFromSource(source, true, companionPath, companion, main);
    if (r == DDD_OK) {
        companion->role = DDD_ROLE_COMPANION;
        r = DDD_CheckVersion(companion);
    }
    if (r != DDD_OK) {
        if (ddd_IsLoaded(companion))
            DDD_CloseFile(companion);
        DDD_CloseFile(main);
        return r;
    }
    g_lastFormatVersion = main->formatVersion;
    return DDD_OK;
}

WORD open_pair(const DddSource *source, LPCWSTR path, ModelFileReader *main, ModelFileReader *companion)
{
    if (!path || !main || !companion || !has_ddd_extension(path))
        return DDD_ERR_FAIL;
    /* Readers still holding a file would lose it (and its cache) without a close. */
    if (main->loaded || main->cache || companion->loaded || companion->cache)
        return DDD_ERR_FAIL;
    if (ddd_MapFromSource(source, false, path, main, nullptr) != DDD_OK)
        return DDD_ERR_FAIL;
    return open_loaded_pair(source, path, main, companion);
}

} // namespace

WORD ddd_MapFromSource(const DddSource *source, bool companion, LPCWSTR path, ModelFileReader *reader,
                       ModelFileReader *mainReader)
{
    if (!reader)
        return DDD_ERR_FAIL;
    if (!path || !path[0]) {
        DDD_CloseFile(reader);
        return DDD_ERR_FAIL;
    }
    if (!mainReader) {
        auto *cache = static_cast<DddStringCache *>(mdl_Alloc(sizeof(DddStringCache)));
        if (!cache) {
            DDD_CloseFile(reader);
            return DDD_ERR_NO_MEMORY;
        }
        cache->referencesEnabled = 1;
        reader->cache = cache;
        reader->ownsCache = 1;
        reader->main = nullptr;
    } else {
        reader->cache = mainReader->cache;
        reader->ownsCache = mainReader->ownsCache;
        reader->main = mainReader;
    }

    BYTE *data = nullptr;
    DWORD size = 0;
    WORD r;
    if (source && source->memory) {
        const BYTE *bytes = companion ? source->companionBytes : source->mainBytes;
        size_t n = companion ? source->companionSize : source->mainSize;
        if (!bytes || n > 0xFFFFFFFFu) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            r = DDD_ERR_FAIL;
        } else if (!(data = static_cast<BYTE *>(mdl_Alloc(n)))) {
            r = DDD_ERR_NO_MEMORY;
        } else {
            if (n)
                std::memcpy(data, bytes, n);
            size = static_cast<DWORD>(n);
            r = DDD_OK;
        }
    } else {
        r = ddd_ReadWholeFile(path, &data, &size);
    }
    if (r != DDD_OK) {
        DDD_CloseFile(reader);
        return r;
    }
    reader->data = data;
    reader->length = size;
    reader->position = 0;
    reader->loaded = data;
    reader->loadedFlag = 1;
    return DDD_OK;
}

WORD DDD_MapFile(LPCWSTR path, ModelFileReader *reader, ModelFileReader *mainReader)
{
    return ddd_MapFromSource(nullptr, mainReader != nullptr, path, reader, mainReader);
}

WORD DDD_CloseFile(ModelFileReader *reader)
{
    if (!reader)
        return DDD_ERR_FAIL;
    WORD r = reader->loaded ? DDD_OK : DDD_ERR_FAIL;
    mdl_Free(reader->data);
    reader->data = nullptr;
    reader->loaded = nullptr;
    reader->loadedFlag = 0;
    reader->length = 0;
    reader->position = 0;
    /* A main reader (no link) owns the cache, loaded or not. */
    if (!reader->main && reader->cache)
        free_cache(reader->cache);
    reader->cache = nullptr;
    reader->ownsCache = 0;
    reader->main = nullptr;
    return r;
}

WORD DDD_CloseFiles(ModelFileReader *main, ModelFileReader *companion)
{
    WORD a = DDD_CloseFile(companion);
    WORD b = DDD_CloseFile(main);
    return (a == DDD_OK && b == DDD_OK) ? DDD_OK : DDD_ERR_FAIL;
}

WORD DDD_OpenModelFile(LPCWSTR path, ModelFileReader *main, ModelFileReader *companion)
{
    DddSource disk{};
    return open_pair(&disk, path, main, companion);
}

WORD ddd_OpenModelMemory(LPCWSTR path, const BYTE *mainBytes, size_t mainSize, const BYTE *companionBytes,
                         size_t companionSize, ModelFileReader *main, ModelFileReader *companion)
{
    DddSource memory{mainBytes, mainSize, companionBytes, companionSize, true};
    return open_pair(&memory, path, main, companion);
}

DWORD DDD_GetLastFormatVersion(void) { return g_lastFormatVersion; }

void ddd_ResetLastFormatVersionForTest(void) { g_lastFormatVersion = 0; }

/* --- Primitives --------------------------------------------------------- */

WORD DDD_Seek(ModelFileReader *reader, int mode, DWORD n)
{
    if (!ddd_IsLoaded(reader))
        return DDD_ERR_FAIL;
    if (mode == 1) {
        if (n > ddd_Remaining(reader))
            return DDD_ERR_FAIL;
        reader->position += n;
    } else {
        if (n > reader->length)
            return DDD_ERR_FAIL;
        reader->position = n;
    }
    return DDD_OK;
}

WORD DDD_Read(ModelFileReader *reader, void *buffer, DWORD n)
{
    if (!ddd_IsLoaded(reader) || !buffer || n == 0 || n > ddd_Remaining(reader))
        return DDD_ERR_FAIL;
    std::memcpy(buffer, reader->data + reader->position, n);
    reader->position += n;
    return DDD_OK;
}

WORD DDD_ReadBigEndian32(const BYTE *bytes, DWORD *out)
{
    if (!bytes || !out)
        return DDD_ERR_FAIL;
    *out = (static_cast<DWORD>(bytes[0]) << 24) | (static_cast<DWORD>(bytes[1]) << 16) |
           (static_cast<DWORD>(bytes[2]) << 8) | static_cast<DWORD>(bytes[3]);
    return DDD_OK;
}

WORD DDD_SeekHeaderArea(ModelFileReader *reader, DWORD n)
{
    if (n > 0xFFFFFFFFu - DDD_HDR_SIZE)
        return DDD_ERR_FAIL;
    return DDD_Seek(reader, 0, DDD_HDR_SIZE + n);
}

WORD DDD_SeekDirectory(ModelFileReader *reader)
{
    DWORD length = 0;
    if (DDD_SeekHeaderArea(reader, 0) != DDD_OK || ddd_ReadU32(reader, &length) != DDD_OK)
        return DDD_ERR_FAIL;
    if (length > 0xFFFFFFFFu - (DDD_HDR_SIZE + 4))
        return DDD_ERR_FAIL;
    return DDD_Seek(reader, 0, DDD_HDR_SIZE + 4 + length);
}

/* --- Header ------------------------------------------------------------- */

DWORD DDD_MakeVersionCode(DWORD a, DWORD b, DWORD c)
{
    return (a << 24) + (b << 16) + c;
}

namespace {

bool is_digit(WCHAR ch) { return ch >= u'0' && ch <= u'9'; }

/* Decimal digits at *p; the value saturates above 65,535 so that a long run cannot wrap into range. */
DWORD read_digits(LPCWSTR &p)
{
    DWORD v = 0;
    while (is_digit(*p)) {
        v = v * 10 + static_cast<DWORD>(*p - u'0');
        if (v > 0x10000)
            v = 0x10000;
        ++p;
    }
    return v;
}

} // namespace

WORD DDD_ParseVersionText(LPCWSTR text, WORD *a, WORD *b, WORD *c)
{
    if (!text || !a || !b || !c)
        return DDD_ERR_FAIL;
    LPCWSTR p = text;
    while (*p && *p != u':')
        ++p;
    if (!*p)
        return DDD_ERR_FAIL;
    ++p;
    DWORD va = read_digits(p);
    if (!*p)
        return DDD_ERR_FAIL; /* ends right after the first number */
    ++p;                     /* the separator */
    DWORD vb = read_digits(p);
    if (!*p)
        return DDD_ERR_FAIL; /* ends right after the second number */
    ++p;
    DWORD vc = read_digits(p);
    if (va > 255 || vb > 255 || vc > 65535)
        return DDD_ERR_FAIL;
    *a = static_cast<WORD>(va);
    *b = static_cast<WORD>(vb);
    *c = static_cast<WORD>(vc);
    return DDD_OK;
}

WORD DDD_ReadHeaderInfo(ModelFileReader *reader, ModelRecord **out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    BYTE header[DDD_HDR_SIZE];
    if (DDD_Seek(reader, 0, 0) != DDD_OK || DDD_Read(reader, header, DDD_HDR_SIZE) != DDD_OK)
        return DDD_ERR_FAIL;

    auto *info = reinterpret_cast<DddHeaderInfo *>(DDD_AllocRecord(reader, DDD_KIND_HEADER));
    if (!info)
        return DDD_ERR_NO_MEMORY;
    LPWSTR version = ddd_AnsiToWideAlloc(header + DDD_HDR_VERSION, DDD_HDR_VERSION_SIZE, nullptr);
    info->title = ddd_AnsiToWideAlloc(header + DDD_HDR_TITLE, DDD_HDR_TITLE_SIZE, nullptr);
    info->modelName = ddd_AnsiToWideAlloc(header + DDD_HDR_MODEL, DDD_HDR_MODEL_SIZE, nullptr);
    info->companionName = ddd_AnsiToWideAlloc(header + DDD_HDR_COMPANION, DDD_HDR_COMPANION_SIZE, nullptr);
    WORD r = DDD_OK;
    if (!version || !info->title || !info->modelName || !info->companionName)
        r = DDD_ERR_NO_MEMORY;
    else if (DDD_ParseVersionText(version, &info->versionA, &info->versionB, &info->versionC) != DDD_OK)
        r = DDD_ERR_FAIL;
    mdl_Free(version);
    DDD_ReadBigEndian32(header + DDD_HDR_FORMAT, &info->formatVersion);
    if (r != DDD_OK) {
        ModelRecord *rec = &info->head;
        DDD_FreeRecord(&rec, DDD_KIND_HEADER);
        return r;
    }
    *out = &info->head;
    return DDD_OK;
}

WORD DDD_CheckVersion(ModelFileReader *reader)
{
    ModelRecord *rec = nullptr;
    WORD r = DDD_ReadHeaderInfo(reader, &rec);
    if (r != DDD_OK)
        return r;
    auto *info = reinterpret_cast<DddHeaderInfo *>(rec);
    reader->versionCode = DDD_MakeVersionCode(info->versionA, info->versionB, info->versionC);
    reader->formatVersion = info->formatVersion;
    DDD_FreeRecord(&rec, DDD_KIND_HEADER);
    return DDD_OK;
}
