/*
 * Chunked printer data: a record too large for one printer-data value is
 * kept as its byte count plus numbered chunks of at most 768 bytes.  The
 * reader checks every chunk's length against its position, so a blob whose
 * write stopped part-way, or whose chunks were replaced by another blob's,
 * is refused whole rather than handed out with holes in it.
 */
#include <tarvel/stores/pdt_chunk.h>

#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr PdtNamedBlob kNamedBlobs[PDT_BLOB_COUNT] = {
    {u"FontSubTableSize", u"FontSubTable"},
    {u"SysTTFontListSize", u"SysTTFontList"},
    {u"PrinterDataSize", u"PrinterData"},
    {u"UserSettingInfoSize", u"UserSettingInfo"},
    {u"PaperMarginArraySize", u"PaperMarginArray"},
};

/* Room for a base name of PDT_MAX_BASE_NAME characters, two digits and the terminator. */
constexpr int kChunkNameChars = PDT_MAX_BASE_NAME + 4;

DWORD chunkCount(DWORD size) { return (size + PDT_CHUNK_SIZE - 1) / PDT_CHUNK_SIZE; }

bool baseNameFits(LPCWSTR baseName) { return baseName && lstrlenW(baseName) <= PDT_MAX_BASE_NAME; }

/* "%s%d": the base name followed by the chunk number without leading zeros. */
void makeChunkName(WCHAR (&name)[kChunkNameChars], LPCWSTR baseName, DWORD n)
{
    wsprintfW(name, u"%s%d", baseName, int(n));
}

/*
 * Reads chunks 1 to N of a blob of `size` bytes into `dest`.  Each chunk
 * must hold exactly min(remaining, 768) bytes: a longer one answers
 * ERROR_MORE_DATA from the spooler, a shorter one is caught here.
 */
bool readChunks(HANDLE printer, LPCWSTR baseName, DWORD size, BYTE *dest)
{
    WCHAR name[kChunkNameChars];
    DWORD offset = 0;
    for (DWORD n = 1; offset < size; ++n) {
        DWORD want = size - offset < PDT_CHUNK_SIZE ? size - offset : PDT_CHUNK_SIZE;
        makeChunkName(name, baseName, n);
        DWORD type = 0, got = 0;
        if (GetPrinterDataW(printer, name, &type, dest + offset, want, &got) != ERROR_SUCCESS || got != want)
            return false;
        offset += want;
    }
    return true;
}

} // namespace

const PdtNamedBlob *PDT_GetNamedBlob(int index)
{
    if (index < 0 || index >= PDT_BLOB_COUNT)
        return nullptr;
    return &kNamedBlobs[index];
}

BOOL PDT_WriteChunked(HANDLE printer, const BYTE *data, DWORD size, LPCWSTR baseName, LPCWSTR sizeName)
{
    if (!printer || !data || size == 0 || !sizeName || !baseNameFits(baseName))
        return FALSE;
    DWORD chunks = chunkCount(size);
    if (chunks > PDT_MAX_CHUNKS)
        return FALSE;

    BYTE sizeBytes[4];
    plat::store_u32(sizeBytes, 0, size);
    if (SetPrinterDataW(printer, sizeName, REG_DWORD, sizeBytes, sizeof sizeBytes) != ERROR_SUCCESS)
        return FALSE;

    WCHAR name[kChunkNameChars];
    DWORD offset = 0;
    for (DWORD n = 1; n <= chunks; ++n) {
        DWORD length = size - offset < PDT_CHUNK_SIZE ? size - offset : PDT_CHUNK_SIZE;
        makeChunkName(name, baseName, n);
        if (SetPrinterDataW(printer, name, REG_BINARY, data + offset, length) != ERROR_SUCCESS)
            return FALSE;
        offset += length;
    }
    return TRUE;
}

DWORD PDT_ReadChunkedSize(HANDLE printer, LPCWSTR sizeName, DWORD *size)
{
    if (!printer || !sizeName || !size)
        return ERROR_INVALID_PARAMETER;
    *size = 0;
    BYTE bytes[4] = {};
    DWORD type = 0, got = 0;
    DWORD rc = GetPrinterDataW(printer, sizeName, &type, bytes, sizeof bytes, &got);
    if (rc == ERROR_MORE_DATA)
        return ERROR_BAD_LENGTH;
    if (rc != ERROR_SUCCESS)
        return rc;
    if (got != sizeof bytes)
        return ERROR_BAD_LENGTH;
    *size = plat::load_u32(bytes, 0);
    return ERROR_SUCCESS;
}

BOOL PDT_ReadChunked(HANDLE printer, BYTE **out, DWORD *outSize, LPCWSTR baseName, LPCWSTR sizeName)
{
    if (!out || !outSize)
        return FALSE;
    *out = nullptr;
    *outSize = 0;
    if (!printer || !baseNameFits(baseName) || !sizeName)
        return FALSE;

    DWORD size = 0;
    if (PDT_ReadChunkedSize(printer, sizeName, &size) != ERROR_SUCCESS)
        return FALSE;
    if (size == 0 || chunkCount(size) > PDT_MAX_CHUNKS)
        return FALSE;

    BYTE *buffer = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
    if (!buffer)
        return FALSE;
    if (!readChunks(printer, baseName, size, buffer)) {
        GlobalFree(buffer);
        return FALSE;
    }
    *out = buffer;
    *outSize = size;
    return TRUE;
}

BOOL PDT_WriteNamedBlob(HANDLE printer, const BYTE *data, DWORD size, int index)
{
    const PdtNamedBlob *blob = PDT_GetNamedBlob(index);
    if (!blob)
        return FALSE;
    return PDT_WriteChunked(printer, data, size, blob->baseName, blob->sizeName);
}

BOOL PDT_ReadNamedBlob(HANDLE printer, int index, BYTE *buffer, DWORD *size)
{
    const PdtNamedBlob *blob = PDT_GetNamedBlob(index);
    if (!blob || !printer || !size)
        return FALSE;

    if (!buffer) {
        DWORD stored = 0;
        if (PDT_ReadChunkedSize(printer, blob->sizeName, &stored) != ERROR_SUCCESS)
            stored = 0;
        *size = stored;
        return stored != 0;
    }

    DWORD stored = 0;
    if (PDT_ReadChunkedSize(printer, blob->sizeName, &stored) != ERROR_SUCCESS || stored == 0 || *size < stored)
        return FALSE;
    BYTE *data = nullptr;
    DWORD got = 0;
    if (!PDT_ReadChunked(printer, &data, &got, blob->baseName, blob->sizeName))
        return FALSE;
    /* The size value could change between the two reads; never copy more than the caller holds. */
    BOOL ok = got <= *size;
    if (ok) {
        std::memcpy(buffer, data, got);
        *size = got;
    }
    GlobalFree(data);
    return ok;
}

BOOL PDT_DeleteNamedBlob(HANDLE printer, int index)
{
    const PdtNamedBlob *blob = PDT_GetNamedBlob(index);
    if (!blob || !printer)
        return FALSE;

    DWORD size = 0;
    DWORD rc = PDT_ReadChunkedSize(printer, blob->sizeName, &size);
    if (rc == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (rc != ERROR_SUCCESS || size == 0 || chunkCount(size) > PDT_MAX_CHUNKS)
        return FALSE;

    WCHAR name[kChunkNameChars];
    for (DWORD n = 1, chunks = chunkCount(size); n <= chunks; ++n) {
        makeChunkName(name, blob->baseName, n);
        rc = DeletePrinterDataW(printer, name);
        /* A chunk never written (a write that stopped part-way) has nothing left to delete. */
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
            return FALSE;
    }
    return DeletePrinterDataW(printer, blob->sizeName) == ERROR_SUCCESS;
}

BOOL PDT_ReadFaxSendList(HANDLE printer, BYTE **out, DWORD *outSize)
{
    return PDT_ReadChunked(printer, out, outSize, u"FaxSendList", u"FaxSendListSize");
}
