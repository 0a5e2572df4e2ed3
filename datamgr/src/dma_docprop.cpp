/*
 * The document-property file: the driver's per-document blocks (the
 * extension block behind its "NDEV001" header, the job information behind
 * "TMBINFO", the fax send list) handed between a tool and a file whose name
 * is itself a setting (374; 375 for the one-time file).  A read file is
 * checked whole before any of the caller's buffers changes; every length is
 * counted in 64 bits, so no size near 2^32 wraps.
 */
#include "dma_internal.h"
#include "setting_access.h"

#include "plat/file.h"
#include "plat/handle.h"
#include "plat/memory.h"

#include "tarvel/pdt_docprop_layout.h"

namespace {

constexpr WORD ID_DOCPROP_FILE = 374;
constexpr WORD ID_ONE_TIME_FILE = 375;

/* The file name a setting holds; false when it cannot be read. */
bool FileName(const DmaContext *context, WORD id, std::u16string &name)
{
    const IdLayoutItem *item = nullptr;
    BYTE *address = nullptr;
    WORD kind = 0;
    if (dma_LookupItem(id, context->settingsImage, context->printerData, &item, &address, &kind) != DMA_OK ||
        item->storedType != SVT_WSTRING)
        return false;
    name = dma_ReadWide(address, static_cast<size_t>(item->capacity / 2));
    return true;
}

/* Writes the buffers in order (dma_WriteDocPropFile); the file is closed in every case. */
DMARESULT WriteFileOf(const std::u16string &name, const DmaBuffer *buffers, size_t count, DMARESULT createFailed,
                      DMARESULT writeFailed)
{
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return createFailed;
    DMARESULT result = DMAR_DONE;
    for (size_t i = 0; i < count && result == DMAR_DONE; ++i) {
        if (buffers[i].data == nullptr || buffers[i].size == 0)
            continue;
        DWORD written = 0;
        if (!WriteFile(file, buffers[i].data, buffers[i].size, &written, nullptr) || written != buffers[i].size)
            result = writeFailed;
    }
    CloseHandle(file);
    return result;
}

/* One block found in the image: its offset and size (0: absent). */
struct Block {
    ULONGLONG offset = 0;
    ULONGLONG size = 0;
};

} // namespace

/*
 * dma_SplitDocPropImage: finds the three blocks of an image of n bytes and
 * copies them into the caller's buffers.  Returns 1, -16 for a malformed
 * image (buffers untouched), or -5 with the three needed sizes written back
 * when a buffer is missing or short.
 */
DMARESULT dma_SplitDocPropImage(const BYTE *image, ULONGLONG n, DmaDocPropBuffers *buffers)
{
    Block ext, job, fax;
    ULONGLONG at = 0;
    if (n >= DPF_NDEV_HEADER_SIZE) {
        if (!DPF_HasTag(image, DPF_TAG_NDEV) || plat::load_u32(image, DPF_NDEV_OFFSET_VERSION) != DPF_NDEV_VERSION)
            return DMAR_MALFORMED;
        ext = {0, ULONGLONG{DPF_NDEV_HEADER_SIZE} + plat::load_u32(image, DPF_NDEV_OFFSET_LENGTH)};
        if (ext.size > n)
            return DMAR_MALFORMED;
        at = ext.size;
    }
    if (n - at >= DPF_TMB_HEADER_SIZE) {
        const BYTE *p = image + at;
        if (!DPF_HasTag(p, DPF_TAG_TMB))
            return DMAR_MALFORMED;
        job = {at, ULONGLONG{DPF_TMB_HEADER_SIZE} + plat::load_u32(p, DPF_TMB_OFFSET_LENGTH)};
        if (job.size > n - at)
            return DMAR_MALFORMED;
        at += job.size;
    }
    if (n - at >= DPF_FAX_HEADER_SIZE) {
        const BYTE *p = image + at;
        if (!DPF_HasTag(p, DPF_TAG_FAX))
            return DMAR_MALFORMED;
        fax = {at, ULONGLONG{DPF_FAX_HEADER_SIZE} + ULONGLONG{DPF_FAX_ENTRY_SIZE} * plat::load_u16(p, DPF_FAX_OFFSET_COUNT)};
        if (fax.size > n - at)
            return DMAR_MALFORMED;
    }

    DmaBuffer *out[3] = {&buffers->extension, &buffers->jobInfo, &buffers->faxList};
    const Block blocks[3] = {ext, job, fax};
    bool short_ = false;
    for (int i = 0; i < 3; ++i) {
        const bool needed = i < 2 || blocks[i].size > 0;
        if (needed && (out[i]->data == nullptr || out[i]->size < blocks[i].size))
            short_ = true;
    }
    if (short_) {
        for (int i = 0; i < 3; ++i)
            out[i]->size = static_cast<DWORD>(blocks[i].size); /* each fits: it lies inside an image of 32-bit size */
        return DMAR_BUFFER;
    }
    for (int i = 0; i < 3; ++i)
        if (blocks[i].size > 0)
            std::memcpy(out[i]->data, image + blocks[i].offset, static_cast<size_t>(blocks[i].size));
    return DMAR_DONE;
}

DMARESULT DMA_ExtractDocProp(DmaContext *context, const DmaDocPropBuffers *buffers)
{
    std::u16string name;
    if (context == nullptr || buffers == nullptr || buffers->extension.data == nullptr ||
        buffers->jobInfo.data == nullptr || !FileName(context, ID_DOCPROP_FILE, name))
        return DMAR_FAIL;
    if (name.empty())
        return DMAR_DONE;
    const DmaBuffer all[3] = {buffers->extension, buffers->jobInfo, buffers->faxList};
    return WriteFileOf(name, all, 3, DMAR_CREATE, DMAR_WRITE);
}

DMARESULT DMA_ExtractOneTime(DmaContext *context, const DmaDocPropBuffers *buffers)
{
    std::u16string name;
    if (context == nullptr || buffers == nullptr || buffers->faxList.data == nullptr ||
        !FileName(context, ID_ONE_TIME_FILE, name))
        return DMAR_FAIL;
    if (name.empty())
        return DMAR_DONE;
    return WriteFileOf(name, &buffers->faxList, 1, DMAR_CREATE_ONE_TIME, DMAR_WRITE_ONE_TIME);
}

DMARESULT DMA_ReplaceDocProp(DmaContext *context, DmaDocPropBuffers *buffers)
{
    std::u16string name;
    if (context == nullptr || buffers == nullptr || !FileName(context, ID_DOCPROP_FILE, name))
        return DMAR_FAIL;
    if (name.empty())
        return DMAR_DONE;
    /* dma_ReadDocPropFile: the whole file into one GlobalAlloc block. */
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return DMAR_CREATE;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    BYTE *image = nullptr;
    DWORD read = 0;
    bool ok = size != INVALID_FILE_SIZE && high == 0;
    if (ok) {
        image = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size > 0 ? size : 1));
        ok = image != nullptr && (size == 0 || (ReadFile(file, image, size, &read, nullptr) && read == size));
    }
    CloseHandle(file);
    DMARESULT result = ok ? dma_SplitDocPropImage(image, size, buffers) : DMAR_READ;
    if (image != nullptr)
        GlobalFree(image);
    return result;
}
