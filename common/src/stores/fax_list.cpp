/*
 * The fax send list block in use: loading and checking it, the conversion
 * between the block and the fax pages' list of destinations, and the device
 * blobs saved and loaded together with it.
 */
#include <tarvel/base/util_codepage.h>
#include <tarvel/stores/fax_list.h>
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/pdt_chunk.h>

#include <plat/memory.h>

#include <cstring>
#include <iterator>

namespace {

/*
 * `size` bytes at `block` are exactly one valid list with at least one
 * destination: 1 with its count.  A list of no destination may be stored
 * (the fax page saves an empty list), but a job cannot send to it: a
 * copy-set job of no data set would print no set at all.
 */
bool exactList(const BYTE *block, DWORD size, WORD *count)
{
    DWORD listSize = 0;
    if (!DPF_CheckFaxList(block, size, &listSize) || listSize != size)
        return false;
    *count = plat::load_u16(block, FAX_OFF_COUNT);
    return *count != 0;
}

} // namespace

BYTE *FAX_LoadSendList(HANDLE printer, DWORD byteCount, const BYTE *block, WORD *count)
{
    if (count)
        *count = 0;
    WORD entries = 0;
    BYTE *copy = nullptr;
    if (block) {
        if (!exactList(block, byteCount, &entries))
            return nullptr;
        copy = static_cast<BYTE *>(GlobalAlloc(GPTR, byteCount));
        if (!copy)
            return nullptr;
        std::memcpy(copy, block, byteCount);
    } else {
        DWORD size = 0;
        if (!printer || !PDT_ReadFaxSendList(printer, &copy, &size))
            return nullptr;
        if (!exactList(copy, size, &entries)) {
            GlobalFree(copy);
            return nullptr;
        }
    }
    if (count)
        *count = entries;
    return copy;
}

BOOL FAX_FreeSendList(BYTE *block)
{
    GlobalFree(block);
    return TRUE;
}

BOOL FAX_WideToAnsi(LPCWSTR text, LPSTR *out, DWORD *length)
{
    DWORD bytes = 0;
    BOOL ok = UTL_WideToMultiByteAlloc(text, out, &bytes, 0);
    if (length)
        *length = ok ? bytes : 0;
    return ok;
}

BOOL FAX_AnsiToWide(LPCSTR text, LPWSTR *out, DWORD *count)
{
    DWORD units = 0;
    BOOL ok = UTL_MultiByteToWideAlloc(text, out, &units, 0);
    if (count)
        *count = ok ? units : 0;
    return ok;
}

BOOL FAX_PackSendList(WORD count, const FaxPageRecord *page, BYTE **block, DWORD *size)
{
    if (block)
        *block = nullptr;
    if (size)
        *size = 0;
    if (!page || !block || !size || count > FAX_MAX_ENTRIES || PGF_ListCount(&page->list) < LONG(count))
        return FALSE;
    /* The entries from the head (the newest) on; the block takes them oldest first. */
    const void *entries[FAX_MAX_ENTRIES] = {};
    PgfListNode *next = nullptr;
    const void *item = PGF_ListFirst(&page->list, &next);
    for (WORD i = 0; i < count; ++i) {
        if (!item)
            return FALSE;
        entries[i] = item;
        item = PGF_ListNext(next, &next);
    }
    const DWORD bytes = DPF_FaxListSize(count);
    auto *out = static_cast<BYTE *>(GlobalAlloc(GPTR, bytes));
    if (!out)
        return FALSE;
    DPF_PutTag(out, DPF_TAG_FAX);
    plat::store_u16(out, FAX_OFF_COUNT, count);
    /* The texts are copied whole; a text without its terminator keeps the last unit zero. */
    std::memcpy(out + FAX_OFF_HEADER_TEXT1, page->headerText1, FAX_HEADER_TEXT1_SIZE - sizeof(WCHAR));
    std::memcpy(out + FAX_OFF_HEADER_TEXT2, page->headerText2, FAX_HEADER_TEXT2_SIZE - sizeof(WCHAR));
    for (WORD i = 0; i < count; ++i)
        std::memcpy(out + FAX_HEADER_SIZE + size_t(i) * FAX_ENTRY_SIZE, entries[count - 1 - i], FAX_ENTRY_SIZE);
    *block = out;
    *size = bytes;
    return TRUE;
}

BOOL FAX_UnpackSendList(const BYTE *block, DWORD byteCount, FaxPageRecord *page)
{
    WORD count = 0;
    if (!page || !exactList(block, byteCount, &count))
        return FALSE;
    std::memcpy(page->headerText1, block + FAX_OFF_HEADER_TEXT1, FAX_HEADER_TEXT1_SIZE);
    std::memcpy(page->headerText2, block + FAX_OFF_HEADER_TEXT2, FAX_HEADER_TEXT2_SIZE);
    page->headerText1[std::size(page->headerText1) - 1] = 0;
    page->headerText2[std::size(page->headerText2) - 1] = 0;
    for (WORD i = 0; i < count; ++i) {
        auto *entry = static_cast<BYTE *>(GlobalAlloc(GPTR, FAX_ENTRY_SIZE));
        if (!entry)
            return FALSE;
        FAX_GetListEntry(block, i, entry);
        if (!PGF_ListPush(&page->list, 0, 0xFFFF, entry)) {
            GlobalFree(entry);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL PDT_SaveDeviceBlobsWithFaxList(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind,
                                    const FaxPageRecord *page, const BYTE *extension, const BYTE *tmbData,
                                    DWORD tmbLength)
{
    BYTE *list = nullptr;
    DWORD size = 0;
    if (page) {
        const LONG count = PGF_ListCount(&page->list);
        if (count < 0 || count > FAX_MAX_ENTRIES || !FAX_PackSendList(WORD(count), page, &list, &size))
            return FALSE;
    }
    BOOL ok = PDT_SaveDeviceBlobs(printer, context, fileName, kind, list, size, extension, tmbData, tmbLength);
    GlobalFree(list);
    return ok;
}

BOOL PDT_LoadDeviceBlobsWithFaxList(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind,
                                    FaxPageRecord *page, BYTE *extension, BYTE **tmbData, DWORD *tmbLength)
{
    BYTE *list = nullptr;
    DWORD size = 0;
    if (!PDT_LoadDeviceBlobs(printer, context, fileName, kind, page ? &list : nullptr, &size, extension, tmbData,
                             tmbLength))
        return FALSE;
    BOOL ok = TRUE;
    if (page && list)
        ok = FAX_UnpackSendList(list, size, page);
    GlobalFree(list);
    if (!ok && tmbData) {
        GlobalFree(*tmbData);
        *tmbData = nullptr;
        if (tmbLength)
            *tmbLength = 0;
    }
    return ok;
}
