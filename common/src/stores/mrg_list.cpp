/*
 * The printer-wide margin list ("PaperMarginArray" in the printer data) and
 * the built-in default: loaded whole, searched and changed in memory, saved
 * whole.
 */
#include <tarvel/stores/mrg_store.h>
#include <tarvel/stores/pdt_chunk.h>

#include <plat/memory.h>

#include <cstring>

namespace {

constexpr DWORD kOffId = 0;
constexpr DWORD kOffMargins = 4;

/* The entry of `paperId`, or null. */
BYTE *findEntry(const PaperMarginList *list, WORD paperId)
{
    if (!list || !list->entries)
        return nullptr;
    for (DWORD i = 0; i < list->count; ++i) {
        BYTE *entry = list->entries + size_t(i) * MRG_ENTRY_SIZE;
        if (plat::load_u16(entry, kOffId) == paperId)
            return entry;
    }
    return nullptr;
}

} // namespace

int MRG_GetDefaultMargin(LONG stored[4])
{
    if (!stored)
        return MRG_NOT_FOUND;
    for (int i = 0; i < 4; ++i)
        stored[i] = MRG_DEFAULT_MARGIN;
    return MRG_OK;
}

int MRG_GetDefaultInOrder(LONG caller[4], int kind)
{
    LONG stored[4];
    MRG_GetDefaultMargin(stored);
    return MRG_ConvertMarginOrder(MRG_STORED_TO_CALLER, kind, stored, caller);
}

PaperMarginList *MRG_LoadArray(HANDLE printer)
{
    auto *list = static_cast<PaperMarginList *>(GlobalAlloc(GPTR, sizeof(PaperMarginList)));
    if (!list)
        return nullptr;
    DWORD size = 0;
    if (!printer || !PDT_ReadNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY, nullptr, &size) || size < MRG_ENTRY_SIZE)
        return list;
    auto *bytes = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
    if (!bytes) {
        GlobalFree(list);
        return nullptr;
    }
    DWORD read = size;
    if (!PDT_ReadNamedBlob(printer, PDT_BLOB_PAPERMARGINARRAY, bytes, &read)) {
        GlobalFree(bytes);
        return list;
    }
    /* Only whole entries count; bytes of a cut last entry are ignored. */
    list->count = read / MRG_ENTRY_SIZE;
    list->size = list->count * MRG_ENTRY_SIZE;
    list->entries = list->count ? bytes : nullptr;
    if (!list->count)
        GlobalFree(bytes);
    return list;
}

int MRG_SaveArray(HANDLE printer, const PaperMarginList *list)
{
    if (!list)
        return MRG_NOT_FOUND;
    if (!list->count || !list->entries)
        return MRG_BAD_KIND;
    if (!PDT_WriteNamedBlob(printer, list->entries, list->count * MRG_ENTRY_SIZE, PDT_BLOB_PAPERMARGINARRAY))
        return MRG_WRITE_FAILED;
    return MRG_OK;
}

int MRG_FreeArray(PaperMarginList *list)
{
    if (!list)
        return MRG_NOT_FOUND;
    GlobalFree(list->entries);
    GlobalFree(list);
    return MRG_OK;
}

int MRG_FindMargin(HANDLE, const PaperMarginList *list, WORD paperId, LONG stored[4])
{
    const BYTE *entry = findEntry(list, paperId);
    if (!entry || !stored)
        return MRG_NOT_FOUND;
    for (int i = 0; i < 4; ++i)
        stored[i] = plat::load_i32(entry, kOffMargins + 4 * i);
    return MRG_OK;
}

int MRG_SetMargin(HANDLE, PaperMarginList *list, WORD paperId, const LONG stored[4])
{
    if (!list || !stored)
        return MRG_NOT_FOUND;
    BYTE *entry = findEntry(list, paperId);
    if (!entry) {
        /* The list is loaded from a blob of at most 99 chunks, so its count stays far below overflow. */
        const DWORD size = (list->count + 1) * MRG_ENTRY_SIZE;
        auto *bytes = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
        if (!bytes)
            return MRG_NOT_FOUND;
        if (list->entries)
            std::memcpy(bytes, list->entries, size_t(list->count) * MRG_ENTRY_SIZE);
        GlobalFree(list->entries);
        list->entries = bytes;
        entry = bytes + size_t(list->count) * MRG_ENTRY_SIZE;
        ++list->count;
        list->size = size;
        plat::store_u16(entry, kOffId, paperId);
    }
    for (int i = 0; i < 4; ++i)
        plat::store_u32(entry, kOffMargins + 4 * i, DWORD(stored[i]));
    return MRG_OK;
}

int MRG_GetFromArray(HANDLE printer, WORD paperId, LONG caller[4], const PaperMarginList *list, int kind)
{
    LONG stored[4];
    int result = MRG_FindMargin(printer, list, paperId, stored);
    if (result != MRG_OK)
        return result;
    return MRG_ConvertMarginOrder(MRG_STORED_TO_CALLER, kind, stored, caller);
}

int MRG_PutIntoArray(HANDLE printer, WORD paperId, const LONG caller[4], PaperMarginList *list, int kind)
{
    LONG stored[4];
    LONG copy[4];
    if (!caller)
        return MRG_NOT_FOUND;
    std::memcpy(copy, caller, sizeof copy);
    int result = MRG_ConvertMarginOrder(MRG_CALLER_TO_STORED, kind, stored, copy);
    if (result != MRG_OK)
        return result;
    return MRG_SetMargin(printer, list, paperId, stored);
}
