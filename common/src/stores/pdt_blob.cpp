/*
 * The device-settings blobs N_Dev and TMBInfo in the spooler's printer data
 * (store kind 2) or the user's per-printer key (store kind 3), their
 * parsers, and saving and loading all three blobs (with the fax send list)
 * from a store or the document-property file.  Every parser checks its
 * block against the bytes that are really there before it copies anything,
 * and a load that fails part-way hands nothing out.
 */
#include <tarvel/stores/pdt_blob.h>

#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/prn_store.h>

#include <plat/memory.h>
#include <plat/registry.h>

#include <cstring>

namespace {

constexpr const WCHAR *kNDevName = u"N_Dev";
constexpr const WCHAR *kNDevSizeName = u"N_DevSize";
constexpr const WCHAR *kTmbName = u"TMBInfo";
constexpr const WCHAR *kTmbSizeName = u"TMBInfoSize";

bool knownKind(int kind) { return kind == PDT_STORE_PRINTER || kind == PDT_STORE_USER; }

/* A fax send list handed in by a caller: a valid header whose count matches `size` exactly. */
bool validFaxList(const BYTE *list, DWORD size)
{
    DWORD needed = 0;
    return list && DPF_CheckFaxList(list, size, &needed) && needed == size;
}

/* Writes a whole blob in a store kind. */
BOOL writeBlob(HANDLE printer, ModelContext *context, int kind, const BYTE *data, DWORD size, LPCWSTR name,
               LPCWSTR sizeName)
{
    if (kind == PDT_STORE_PRINTER)
        return PDT_WriteChunked(printer, data, size, name, sizeName);
    if (kind == PDT_STORE_USER)
        return PDT_WriteNDevToRegistry(printer, context, data, size, name, sizeName);
    return FALSE;
}

/*
 * Reads a whole blob from a store kind into a new buffer.  In the user's
 * key the size value must be 4 bytes and the data value exactly that long.
 */
BOOL readBlob(HANDLE printer, ModelContext *context, int kind, LPCWSTR name, LPCWSTR sizeName, BYTE **data,
              DWORD *size)
{
    *data = nullptr;
    *size = 0;
    if (kind == PDT_STORE_PRINTER)
        return PDT_ReadChunked(printer, data, size, name, sizeName);
    if (kind != PDT_STORE_USER)
        return FALSE;

    BYTE *sizeBytes = nullptr;
    DWORD sizeLength = 0;
    if (REG_ReadValue(printer, context, &sizeBytes, &sizeLength, nullptr, nullptr, sizeName) != REG_READ_OK)
        return FALSE;
    DWORD announced = sizeLength == 4 ? plat::load_u32(sizeBytes, 0) : 0;
    GlobalFree(sizeBytes);
    if (announced == 0)
        return FALSE;

    BYTE *value = nullptr;
    DWORD valueSize = 0;
    if (REG_ReadValue(printer, context, &value, &valueSize, nullptr, nullptr, name) != REG_READ_OK)
        return FALSE;
    if (valueSize != announced) {
        GlobalFree(value);
        return FALSE;
    }
    *data = value;
    *size = valueSize;
    return TRUE;
}

/* Frees a handed-out buffer and clears its pointer and count. */
void release(BYTE **buffer, DWORD *count)
{
    if (buffer) {
        GlobalFree(*buffer);
        *buffer = nullptr;
    }
    if (count)
        *count = 0;
}

/* Parses N_Dev and, when asked, the fax send list that fills the rest of the blob exactly. */
BOOL parseNDevBlob(const BYTE *blob, DWORD size, HANDLE printer, BYTE *extension, BYTE **faxList, DWORD *faxSize)
{
    const BYTE *position = blob;
    DWORD left = size;
    BYTE work[DPF_EXTENSION_SIZE];
    std::memcpy(work, extension, sizeof work);
    if (!PDT_ParseNDevHeader(&position, &left, work, printer))
        return FALSE;
    if (faxList && left > 0 && !PDT_ParseFaxSendList(position, left, faxList, faxSize))
        return FALSE;
    std::memcpy(extension, work, sizeof work);
    return TRUE;
}

} // namespace

BOOL PDT_WriteNDevToRegistry(HANDLE printer, ModelContext *context, const BYTE *data, DWORD size,
                             LPCWSTR valueName, LPCWSTR sizeName)
{
    if (!data || size == 0 || !valueName || !sizeName)
        return FALSE;
    BYTE sizeBytes[4];
    plat::store_u32(sizeBytes, 0, size);
    return REG_WriteValue(printer, context, sizeBytes, sizeof sizeBytes, REG_DWORD, nullptr, sizeName) &&
           REG_WriteValue(printer, context, data, size, REG_BINARY, nullptr, valueName);
}

BOOL PDT_ParseNDevHeader(const BYTE **position, DWORD *bytesLeft, BYTE *extension, HANDLE printer)
{
    if (!position || !*position || !bytesLeft || !extension)
        return FALSE;
    const BYTE *block = *position;
    DWORD left = *bytesLeft;
    if (left < DPF_NDEV_HEADER_SIZE || !DPF_HasTag(block, DPF_TAG_NDEV))
        return FALSE;
    DWORD version = plat::load_u32(block, DPF_NDEV_OFFSET_VERSION);
    DWORD length = plat::load_u32(block, DPF_NDEV_OFFSET_LENGTH);
    /* A length beyond the 4,292-byte extension has no place to go: such a blob is refused. */
    if (version > DPF_NDEV_VERSION || length > left - DPF_NDEV_HEADER_SIZE || length > DPF_EXTENSION_SIZE)
        return FALSE;

    BYTE work[DPF_EXTENSION_SIZE];
    if (version < DPF_NDEV_VERSION) {
        if (!PDT_BuildDefaultExtension(printer, work))
            return FALSE;
    } else {
        std::memcpy(work, extension, sizeof work);
    }
    std::memcpy(work, block + DPF_NDEV_HEADER_SIZE, length);
    plat::store_u16(work, 0, WORD(DPF_NDEV_VERSION));
    std::memcpy(extension, work, sizeof work);
    *position = block + DPF_NDEV_HEADER_SIZE + length;
    *bytesLeft = left - DPF_NDEV_HEADER_SIZE - length;
    return TRUE;
}

BOOL PDT_ParseTmbInfo(const BYTE **position, DWORD *bytesLeft, BYTE **data, DWORD *length)
{
    if (data)
        *data = nullptr;
    if (length)
        *length = 0;
    if (!position || !*position || !bytesLeft || !data || !length)
        return FALSE;
    const BYTE *block = *position;
    DWORD left = *bytesLeft;
    if (left < DPF_TMB_HEADER_SIZE || !DPF_HasTag(block, DPF_TAG_TMB))
        return FALSE;
    DWORD size = plat::load_u32(block, DPF_TMB_OFFSET_LENGTH);
    if (size > left - DPF_TMB_HEADER_SIZE || size > DPF_TMB_MAX_DATA)
        return FALSE;
    if (size > 0) {
        BYTE *copy = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
        if (!copy)
            return FALSE;
        std::memcpy(copy, block + DPF_TMB_HEADER_SIZE, size);
        *data = copy;
    }
    *length = size;
    *position = block + DPF_TMB_HEADER_SIZE + size;
    *bytesLeft = left - DPF_TMB_HEADER_SIZE - size;
    return TRUE;
}

BOOL PDT_ParseFaxSendList(const BYTE *position, DWORD bytesLeft, BYTE **list, DWORD *size)
{
    if (list)
        *list = nullptr;
    if (size)
        *size = 0;
    if (!list || !size || !validFaxList(position, bytesLeft))
        return FALSE;
    BYTE *copy = static_cast<BYTE *>(GlobalAlloc(GPTR, bytesLeft));
    if (!copy)
        return FALSE;
    std::memcpy(copy, position, bytesLeft);
    *list = copy;
    *size = bytesLeft;
    return TRUE;
}

BOOL PDT_WriteNDev(HANDLE printer, ModelContext *context, int kind, const BYTE *extension, const BYTE *faxList,
                   DWORD faxSize)
{
    if (!knownKind(kind) || !extension || (faxList && !validFaxList(faxList, faxSize)))
        return FALSE;
    DWORD size = DPF_NDEV_HEADER_SIZE + DPF_EXTENSION_SIZE + (faxList ? faxSize : 0);
    BYTE *blob = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
    if (!blob)
        return FALSE;
    DPF_PutNDevHeader(blob, DPF_NDEV_VERSION, DPF_EXTENSION_SIZE);
    std::memcpy(blob + DPF_NDEV_HEADER_SIZE, extension, DPF_EXTENSION_SIZE);
    if (faxList)
        std::memcpy(blob + DPF_NDEV_HEADER_SIZE + DPF_EXTENSION_SIZE, faxList, faxSize);
    BOOL ok = writeBlob(printer, context, kind, blob, size, kNDevName, kNDevSizeName);
    GlobalFree(blob);
    return ok;
}

BOOL PDT_ReadNDev(HANDLE printer, ModelContext *context, int kind, BYTE *extension, BYTE **faxList,
                  DWORD *faxSize)
{
    release(faxList, faxSize);
    if (!extension || (faxList && !faxSize))
        return FALSE;
    BYTE *blob = nullptr;
    DWORD size = 0;
    if (!readBlob(printer, context, kind, kNDevName, kNDevSizeName, &blob, &size))
        return FALSE;
    BOOL ok = parseNDevBlob(blob, size, printer, extension, faxList, faxSize);
    GlobalFree(blob);
    return ok;
}

BOOL PDT_WriteTmbInfo(HANDLE printer, ModelContext *context, int kind, const BYTE *data, DWORD length)
{
    if (!data)
        length = 0;
    else if (length == 0)
        return FALSE;
    if (!knownKind(kind) || length > DPF_TMB_MAX_DATA)
        return FALSE;
    DWORD size = DPF_TMB_HEADER_SIZE + length;
    BYTE *blob = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
    if (!blob)
        return FALSE;
    DPF_PutTmbHeader(blob, length);
    if (length)
        std::memcpy(blob + DPF_TMB_HEADER_SIZE, data, length);
    BOOL ok = writeBlob(printer, context, kind, blob, size, kTmbName, kTmbSizeName);
    GlobalFree(blob);
    return ok;
}

BOOL PDT_ReadTmbInfo(HANDLE printer, ModelContext *context, int kind, BYTE **data, DWORD *length)
{
    release(data, length);
    if (!data || !length)
        return FALSE;
    BYTE *blob = nullptr;
    DWORD size = 0;
    if (!readBlob(printer, context, kind, kTmbName, kTmbSizeName, &blob, &size))
        return FALSE;
    const BYTE *position = blob;
    BOOL ok = PDT_ParseTmbInfo(&position, &size, data, length);
    GlobalFree(blob);
    return ok;
}

BOOL PDT_SaveDeviceBlobs(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind, const BYTE *faxList,
                         DWORD faxSize, const BYTE *extension, const BYTE *tmbData, DWORD tmbLength)
{
    if (!extension)
        return FALSE;
    if (!tmbData)
        tmbLength = 0;
    else if (tmbLength == 0 || tmbLength > DPF_TMB_MAX_DATA)
        return FALSE;
    if (faxList && !validFaxList(faxList, faxSize))
        return FALSE;

    if (fileName)
        return PDT_WriteDeviceFile(fileName, extension, tmbData, tmbLength, faxList, faxSize);
    if (!knownKind(kind))
        return FALSE;
    return PDT_WriteNDev(printer, context, kind, extension, faxList, faxSize) &&
           PDT_WriteTmbInfo(printer, context, kind, tmbData, tmbLength);
}

BOOL PDT_LoadDeviceBlobs(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind, BYTE **faxList,
                         DWORD *faxSize, BYTE *extension, BYTE **tmbData, DWORD *tmbLength)
{
    release(faxList, faxSize);
    release(tmbData, tmbLength);
    if (!extension || (tmbData && !tmbLength) || (faxList && !faxSize))
        return FALSE;

    BYTE work[DPF_EXTENSION_SIZE];
    std::memcpy(work, extension, sizeof work);
    BOOL ok = FALSE;
    if (fileName) {
        BYTE *image = nullptr;
        DWORD size = 0;
        if (PDT_ReadDeviceFile(fileName, &image, &size)) {
            const BYTE *position = image;
            BYTE *tmb = nullptr;
            DWORD tmbSize = 0;
            ok = PDT_ParseNDevHeader(&position, &size, work, printer) &&
                 PDT_ParseTmbInfo(&position, &size, &tmb, &tmbSize);
            if (ok && faxList && size > 0)
                ok = PDT_ParseFaxSendList(position, size, faxList, faxSize);
            if (ok && tmbData) {
                *tmbData = tmb;
                *tmbLength = tmbSize;
            } else {
                GlobalFree(tmb);
            }
            GlobalFree(image);
        }
    } else if (knownKind(kind)) {
        ok = PDT_ReadNDev(printer, context, kind, work, faxList, faxSize);
        if (ok && tmbData)
            ok = PDT_ReadTmbInfo(printer, context, kind, tmbData, tmbLength);
    }

    if (!ok) {
        release(faxList, faxSize);
        release(tmbData, tmbLength);
        return FALSE;
    }
    std::memcpy(extension, work, sizeof work);
    return TRUE;
}
