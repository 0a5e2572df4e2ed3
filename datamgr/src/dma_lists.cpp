/*
 * Data lists: the caller's collections of stamps, kind-3 records, paper
 * margins and fax addresses.  Field tables say which setting each field of
 * an entry holds; an entry is applied to the settings, or the settings are
 * taken into an entry, setting by setting through dma_SetValue and
 * dma_GetValue.  Every list is checked before an entry is touched: entries
 * smaller than the kind's record, or missing flag or entry memory, are
 * refused.
 */
#include "dma_internal.h"
#include "setting_access.h"

#include "tarvel/fax_layout.h"
#include "tarvel/mrg_order.h"

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace {

// clang-format off
constexpr DmaFieldRow kStampRows[] = {
    {297, SVT_WSTRING, 0, 66},  {299, SVT_WSTRING, 66, 130}, {301, SVT_UINT32, 196, 4},
    {300, SVT_BYTE, 200, 1},    {1287, SVT_FLAG, 204, 4},    {302, SVT_BYTE, 208, 1},
    {303, SVT_UINT16, 210, 2},  {1288, SVT_FLAG, 212, 4},    {304, SVT_LOGFONT, 216, 92},
};
constexpr DmaFieldRow kKind3Rows[] = {
    {1819, SVT_WSTRING, 0, 82}, {1820, SVT_WSTRING, 82, 82}, {1821, SVT_WSTRING, 164, 418},
    {1822, SVT_WSTRING, 582, 62}, {1823, SVT_WSTRING, 644, 62},
};
/* The paper code, then the four margins at their offsets in the caller-order record. */
constexpr DmaFieldRow kMarginRows[] = {
    {1824, SVT_UINT16, 0, 2}, {1827, SVT_INT32, 0, 4}, {1828, SVT_INT32, 4, 4},
    {1826, SVT_INT32, 8, 4},  {1825, SVT_INT32, 12, 4},
};
constexpr DmaFieldRow kFaxRows[] = {
    {1794, SVT_UINT16, 0, 2},     {1795, SVT_WSTRING, 2, 258},   {1796, SVT_UINT16, 260, 2},
    {1797, SVT_WSTRING, 262, 82}, {1798, SVT_WSTRING, 344, 166}, {1810, SVT_UINT16, 510, 2},
    {1811, SVT_UINT16, 512, 2},   {1812, SVT_UINT16, 514, 2},    {1813, SVT_WSTRING, 516, 18},
    {1814, SVT_UINT16, 534, 2},   {1815, SVT_UINT16, 536, 2},    {1816, SVT_WSTRING, 538, 120},
    {1817, SVT_WSTRING, 658, 42}, {1818, SVT_WSTRING, 700, 42},
};
// clang-format on

/* The fax rows are the fax send list's entry layout. */
constexpr bool FaxRowsMatchLayout()
{
    if (std::size(kFaxRows) != std::size(FaxEntryFields))
        return false;
    for (size_t i = 0; i < std::size(kFaxRows); ++i)
        if (kFaxRows[i].id != FaxEntryFields[i].setting || kFaxRows[i].offset != FaxEntryFields[i].offset ||
            kFaxRows[i].size != FaxEntryFields[i].size)
            return false;
    return true;
}
static_assert(FaxRowsMatchLayout());

constexpr DWORD MARGIN_ENTRY_SIZE = 20;
constexpr DWORD MARGIN_RECORD_OFFSET = 4; /* four 32-bit margins in stored order */

constexpr DmaFieldTable kTables[] = {
    {DMA_KIND_STAMP, 308, 297, kStampRows, WORD(std::size(kStampRows))},
    {DMA_KIND_3, 706, 1819, kKind3Rows, WORD(std::size(kKind3Rows))},
    {DMA_KIND_MARGIN, MARGIN_ENTRY_SIZE, 1824, kMarginRows, WORD(std::size(kMarginRows))},
    {DMA_KIND_FAX_ADDRESS, FAX_ENTRY_SIZE, 0, kFaxRows, WORD(std::size(kFaxRows))},
};

/* Flag masks: an entry is applied when a bit other than bit 1 is set, found for deleting or overwriting when any is. */
constexpr BYTE MASK_APPLY = 0xFD;
constexpr BYTE MASK_ANY = 0xFF;

constexpr WORD ID_ORIENTATION = 7;

DmaDataList *ListOf(DmaContext *context, DWORD kind)
{
    switch (kind) {
    case DMA_KIND_STAMP:
        return &context->stamps;
    case DMA_KIND_3:
        return &context->kind3;
    case DMA_KIND_MARGIN:
        return &context->paperMargins;
    default:
        return &context->faxAddresses;
    }
}

/* A list the functions may walk: entries at least the kind's size, memory behind a non-empty list. */
bool ListUsable(const DmaDataList &list, const DmaFieldTable &table)
{
    if (list.entrySize < table.entrySize)
        return false;
    return list.count == 0 || (list.flags != nullptr && list.entries != nullptr);
}

BYTE *EntryAt(const DmaDataList &list, DWORD index) { return list.entries + size_t(index) * list.entrySize; }

DMARESULT NotFound(DWORD kind)
{
    return kind == DMA_KIND_MARGIN ? DMAR_NO_MARGIN_ENTRY
           : kind == DMA_KIND_FAX_ADDRESS ? DMAR_NO_FAX_ENTRY
                                          : DMAR_NO_ENTRY;
}

const DmaFieldRow *KeyRow(const DmaFieldTable &table)
{
    for (WORD i = 0; i < table.rowCount; ++i)
        if (table.rows[i].id == table.keyId)
            return &table.rows[i];
    return nullptr;
}

/* The entry's key as ANSI text: a name converted, a number as "%u". */
bool EntryKeyText(const DmaFieldTable &table, const BYTE *entry, std::string &out)
{
    const DmaFieldRow *key = KeyRow(table);
    if (key == nullptr)
        return false;
    if (key->type == SVT_WSTRING)
        return dma_WideToAnsi(dma_ReadWide(entry + key->offset, key->size / 2), out);
    if (key->type == SVT_UINT16) {
        char text[8];
        std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(plat::load_u16(entry, key->offset)));
        out = text;
        return true;
    }
    return false;
}

/* The first entry whose key text equals `key` and whose flag has a bit of `mask`; -1 for none. */
LONGLONG FindEntry(const DmaFieldTable &table, const DmaDataList &list, LPCSTR key, BYTE mask)
{
    std::string text;
    for (DWORD i = 0; i < list.count; ++i) {
        if (!EntryKeyText(table, EntryAt(list, i), text))
            return -1;
        if ((list.flags[i] & mask) != 0 && text == key)
            return i;
    }
    return -1;
}

/* A paper code key: 1 to 5 decimal digits, 1 to 65,535. */
bool ParsePaperCode(LPCSTR key, WORD *code)
{
    if (key == nullptr)
        return false;
    DWORD value = 0;
    size_t digits = 0;
    for (; key[digits] != 0; ++digits) {
        if (digits == 5 || key[digits] < '0' || key[digits] > '9')
            return false;
        value = value * 10 + DWORD(key[digits] - '0');
    }
    if (digits == 0 || value == 0 || value > 0xFFFF)
        return false;
    *code = static_cast<WORD>(value);
    return true;
}

/* The margin order kind the devmode's orientation names (1 portrait, 2 landscape). */
bool OrientationKind(const DmaContext *context, int *kind)
{
    BYTE slot[8] = {};
    if (!dma_ReadValue(context, ID_ORIENTATION, slot))
        return false;
    *kind = plat::load<SHORT>(slot);
    return true;
}

bool ReadNumber(const DmaContext *context, WORD id, BYTE *out, size_t bytes)
{
    BYTE slot[8] = {};
    if (!dma_ReadValue(context, id, slot))
        return false;
    std::memcpy(out, slot, bytes < sizeof slot ? bytes : sizeof slot);
    return true;
}

bool WriteRow(const DmaContext *context, const DmaFieldRow &row, const BYTE *entry)
{
    if (row.type == SVT_WSTRING) {
        const std::u16string text = dma_ReadWide(entry + row.offset, row.size / 2);
        if (text.size() + 1 > row.size / 2u)
            return false; /* no terminator inside the field */
        const WCHAR *p = text.c_str();
        return dma_SetValue(row.id, context->settingsImage, context->printerData, SVT_WSTRING,
                            static_cast<LONG>(2 * text.size() + 2), &p) == DMA_OK;
    }
    if (row.type == SVT_LOGFONT) {
        const BYTE *p = entry + row.offset;
        return dma_SetValue(row.id, context->settingsImage, context->printerData, SVT_LOGFONT, SETTINGS_LOGFONT_SIZE,
                            &p) == DMA_OK;
    }
    return dma_SetValue(row.id, context->settingsImage, context->printerData, row.type, row.size,
                        entry + row.offset) == DMA_OK;
}

bool ReadRow(const DmaContext *context, const DmaFieldRow &row, BYTE *entry)
{
    if (row.type != SVT_WSTRING && row.type != SVT_LOGFONT)
        return ReadNumber(context, row.id, entry + row.offset, row.size);
    const IdLayoutItem *item = nullptr;
    BYTE *address = nullptr;
    WORD kind = 0;
    if (dma_LookupItem(row.id, context->settingsImage, context->printerData, &item, &address, &kind) != DMA_OK)
        return false;
    /* Never past the setting's own field: the rest of the entry's field is zero. */
    const size_t bytes = row.size < item->capacity ? row.size : static_cast<size_t>(item->capacity);
    std::memset(entry + row.offset, 0, row.size);
    std::memcpy(entry + row.offset, address, bytes);
    return true;
}

/* Entry to settings (dma_ApplyRecordById). */
bool ApplyEntry(const DmaContext *context, const DmaFieldTable &table, const BYTE *entry)
{
    if (table.kind != DMA_KIND_MARGIN) {
        for (WORD i = 0; i < table.rowCount; ++i)
            if (!WriteRow(context, table.rows[i], entry))
                return false;
        return true;
    }
    LONG stored[4], caller[4];
    std::memcpy(stored, entry + MARGIN_RECORD_OFFSET, sizeof stored);
    int order = 0;
    if (!OrientationKind(context, &order) || MRG_ConvertMarginOrder(MRG_STORED_TO_CALLER, order, stored, caller) != MRG_OK)
        return false;
    BYTE callerBytes[sizeof caller];
    std::memcpy(callerBytes, caller, sizeof caller);
    if (!WriteRow(context, table.rows[0], entry))
        return false;
    for (WORD i = 1; i < table.rowCount; ++i)
        if (!WriteRow(context, table.rows[i], callerBytes))
            return false;
    return true;
}

/* Settings to entry (dma_ReadRecordById). */
bool ReadEntry(const DmaContext *context, const DmaFieldTable &table, BYTE *entry)
{
    if (table.kind != DMA_KIND_MARGIN) {
        for (WORD i = 0; i < table.rowCount; ++i)
            if (!ReadRow(context, table.rows[i], entry))
                return false;
        return true;
    }
    BYTE callerBytes[16] = {};
    plat::store_u16(entry, 2, 0); /* the two bytes behind the paper code stay zero */
    if (!ReadRow(context, table.rows[0], entry))
        return false;
    for (WORD i = 1; i < table.rowCount; ++i)
        if (!ReadRow(context, table.rows[i], callerBytes))
            return false;
    LONG stored[4], caller[4];
    std::memcpy(caller, callerBytes, sizeof caller);
    int order = 0;
    if (!OrientationKind(context, &order) || MRG_ConvertMarginOrder(MRG_CALLER_TO_STORED, order, stored, caller) != MRG_OK)
        return false;
    std::memcpy(entry + MARGIN_RECORD_OFFSET, stored, sizeof stored);
    return true;
}

/* The checks every list function starts with. */
DMARESULT OpenList(DmaContext *context, DWORD kind, const DmaFieldTable **table, DmaDataList **list)
{
    if (context == nullptr)
        return DMAR_FAIL;
    *table = dma_FieldTable(kind);
    if (*table == nullptr)
        return DMAR_BAD_KIND;
    *list = ListOf(context, kind);
    if (!ListUsable(**list, **table))
        return DMAR_FAIL;
    return DMAR_DONE;
}

/* Kind 5: the 1-based position in the key's low 16 bits. */
WORD PositionOf(LPCSTR key) { return static_cast<WORD>(reinterpret_cast<ULONG_PTR>(key) & 0xFFFF); }

} // namespace

const DmaFieldTable *dma_FieldTable(DWORD kind)
{
    for (const DmaFieldTable &t : kTables)
        if (t.kind == kind)
            return &t;
    return nullptr;
}

DMARESULT DMA_AccessibleData(DmaContext *context, DWORD kind, LPCSTR key)
{
    const DmaFieldTable *table = nullptr;
    DmaDataList *list = nullptr;
    DMARESULT r = OpenList(context, kind, &table, &list);
    if (r != DMAR_DONE)
        return r;
    LONGLONG index = -1;
    if (kind == DMA_KIND_FAX_ADDRESS) {
        const WORD position = PositionOf(key);
        if (position != 0 && position <= list->count && (list->flags[position - 1] & MASK_APPLY) != 0)
            index = position - 1;
    } else {
        if (key == nullptr)
            return DMAR_FAIL;
        index = FindEntry(*table, *list, key, MASK_APPLY);
    }
    if (index < 0)
        return NotFound(kind);
    return ApplyEntry(context, *table, EntryAt(*list, static_cast<DWORD>(index))) ? DMAR_DONE : DMAR_FAIL;
}

DMARESULT DMA_DeleteData(DmaContext *context, DWORD kind, LPCSTR key)
{
    if (kind == DMA_KIND_FAX_ADDRESS)
        return context == nullptr ? DMAR_FAIL : DMAR_BAD_KIND;
    const DmaFieldTable *table = nullptr;
    DmaDataList *list = nullptr;
    DMARESULT r = OpenList(context, kind, &table, &list);
    if (r != DMAR_DONE)
        return r;
    if (key == nullptr)
        return DMAR_FAIL;
    const LONGLONG index = FindEntry(*table, *list, key, MASK_ANY);
    if (index < 0)
        return NotFound(kind);
    list->flags[index] = DMA_ENTRY_DELETED;
    return DMAR_DONE;
}

DMARESULT DMA_ApplyData(DmaContext *context, DWORD kind, DWORD mode, LPCSTR key)
{
    const DmaFieldTable *table = nullptr;
    DmaDataList *list = nullptr;
    if (context == nullptr)
        return DMAR_FAIL;
    if (dma_FieldTable(kind) == nullptr)
        return DMAR_BAD_KIND;
    if (mode != 0 && mode != 1)
        return DMAR_BAD_MODE;
    DMARESULT r = OpenList(context, kind, &table, &list);
    if (r != DMAR_DONE)
        return r;

    /* The key the entry will carry. */
    WORD paperCode = 0;
    std::u16string name;
    if (kind == DMA_KIND_MARGIN) {
        if (!ParsePaperCode(key, &paperCode))
            return DMAR_FAIL;
    } else if (kind != DMA_KIND_FAX_ADDRESS) {
        if (key == nullptr || !dma_AnsiToWide(key, std::strlen(key), name) ||
            name.size() + 1 > KeyRow(*table)->size / 2u)
            return DMAR_FAIL;
    } else if (context->faxBlock == nullptr) {
        return DMAR_FAIL; /* the fax block is marked as holding addresses */
    }

    LONGLONG index = -1;
    if (mode == 1) {
        index = static_cast<LONGLONG>(list->count) - 1; /* an empty list has no last entry */
    } else if (kind == DMA_KIND_FAX_ADDRESS) {
        const WORD position = PositionOf(key);
        if (position != 0 && position <= list->count && list->flags[position - 1] != 0)
            index = position - 1;
    } else {
        index = FindEntry(*table, *list, key, MASK_ANY);
    }
    if (index < 0)
        return NotFound(kind);

    BYTE *entry = EntryAt(*list, static_cast<DWORD>(index));
    std::vector<BYTE> work(entry, entry + table->entrySize);
    if (!ReadEntry(context, *table, work.data()))
        return DMAR_FAIL;
    if (kind == DMA_KIND_MARGIN) {
        plat::store_u16(work.data(), 0, paperCode);
    } else if (kind != DMA_KIND_FAX_ADDRESS) {
        const DmaFieldRow *keyRow = KeyRow(*table);
        dma_WriteWide(work.data() + keyRow->offset, keyRow->size, name);
    } else {
        DPF_PutTag(context->faxBlock, DPF_TAG_FAX);
    }
    std::memcpy(entry, work.data(), work.size());
    list->flags[index] = DMA_ENTRY_IN_USE;
    return DMAR_DONE;
}

DMARESULT DMA_GetNameFromInfo(const BYTE *entry, DWORD kind, LPSTR buffer, DWORD *size)
{
    if (entry == nullptr || size == nullptr)
        return DMAR_FAIL;
    const DmaFieldTable *table = dma_FieldTable(kind);
    if (table == nullptr || kind == DMA_KIND_FAX_ADDRESS)
        return DMAR_BAD_KIND;
    std::string text;
    if (!EntryKeyText(*table, entry, text))
        return DMAR_FAIL;
    if (buffer == nullptr || *size < text.size() + 1) {
        *size = static_cast<DWORD>(text.size() + 1);
        return DMAR_BUFFER;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return DMAR_DONE;
}
