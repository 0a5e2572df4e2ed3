/*
 * The document-property file: the N_Dev header and extension, the TMBInfo
 * header and data, then the fax send list, written into a file that the
 * caller has created (it is only ever truncated here) and read back whole.
 */
#include <tarvel/stores/pdt_blob.h>

#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>

namespace {

bool writeAll(HANDLE file, const void *data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

} // namespace

BOOL PDT_WriteDeviceFile(LPCWSTR fileName, const BYTE *extension, const BYTE *tmbData, DWORD tmbLength,
                         const BYTE *faxList, DWORD faxSize)
{
    if (!fileName || !extension || (tmbData && tmbLength == 0) || (faxList && faxSize == 0))
        return FALSE;
    if (!tmbData)
        tmbLength = 0;
    HANDLE file = CreateFileW(fileName, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;

    BYTE ndevHeader[DPF_NDEV_HEADER_SIZE];
    DPF_PutNDevHeader(ndevHeader, DPF_NDEV_VERSION, DPF_EXTENSION_SIZE);
    BYTE tmbHeader[DPF_TMB_HEADER_SIZE];
    DPF_PutTmbHeader(tmbHeader, tmbLength);
    bool ok = writeAll(file, ndevHeader, sizeof ndevHeader) && writeAll(file, extension, DPF_EXTENSION_SIZE) &&
              writeAll(file, tmbHeader, sizeof tmbHeader) && (!tmbData || writeAll(file, tmbData, tmbLength)) &&
              (!faxList || writeAll(file, faxList, faxSize));
    CloseHandle(file);
    return ok;
}

BOOL PDT_ReadDeviceFile(LPCWSTR fileName, BYTE **image, DWORD *size)
{
    if (image)
        *image = nullptr;
    if (size)
        *size = 0;
    if (!fileName || !image || !size)
        return FALSE;
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;

    DWORD high = 0;
    DWORD length = GetFileSize(file, &high);
    BYTE *buffer = nullptr;
    bool ok = length != INVALID_FILE_SIZE && high == 0 && length > 0 && length <= DPF_MAX_FILE_SIZE;
    if (ok) {
        buffer = static_cast<BYTE *>(GlobalAlloc(GPTR, length));
        DWORD got = 0;
        ok = buffer && ReadFile(file, buffer, length, &got, nullptr) && got == length;
    }
    CloseHandle(file);
    if (!ok) {
        GlobalFree(buffer);
        return FALSE;
    }
    *image = buffer;
    *size = length;
    return TRUE;
}
