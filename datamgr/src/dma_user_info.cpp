/*
 * The user setting information of the DMA_ functions: the 1,324-byte record
 * read from and written into the printer-data record through the three
 * user-setting maps, accepting records of versions 1 to 3.
 */
#include "dma_internal.h"
#include "setting_access.h"

#include "tarvel/usi_record.h"

#include <algorithm>
#include <vector>

namespace {

constexpr WORD ID_OLD_LAYOUT_FLAG = 5163; /* with it, a record of an older version sets 5178 to 7 */

/* Reads one mapped setting into its place in the record. */
bool ReadRow(const DmaContext *context, const UsiMapRow &row, BYTE *record)
{
    WORD kind = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (!dma_ReadValue(context, row.id, slot, &size, &kind) || kind != SRK_PRINTERDATA)
        return false;
    if (row.type != SVT_WSTRING) {
        std::memcpy(record + row.offset, slot, row.size <= sizeof slot ? row.size : sizeof slot);
        return true;
    }
    /* A string: its bytes with the terminator, at its record offset in the printer data. */
    const BYTE *text = context->printerData + static_cast<size_t>(plat::load<ULONG_PTR>(slot));
    const size_t bytes = static_cast<size_t>(size) < row.size ? static_cast<size_t>(size) : row.size;
    std::memcpy(record + row.offset, text, bytes);
    return true;
}

bool ReadMap(const DmaContext *context, const UsiMap &map, BYTE *record)
{
    for (WORD i = 0; i < map.count; ++i)
        if (!ReadRow(context, map.rows[i], record))
            return false;
    return true;
}

/* Writes one mapped setting from its place in the record; strings through a terminated copy. */
bool WriteRow(const DmaContext *context, const UsiMapRow &row, const BYTE *record)
{
    if (row.type == SVT_WSTRING) {
        const std::u16string text = dma_ReadWide(record + row.offset, row.size / 2);
        const WCHAR *p = text.c_str();
        return dma_SetValue(row.id, context->settingsImage, context->printerData, SVT_WSTRING,
                            static_cast<LONG>(2 * text.size() + 2), &p) == DMA_OK;
    }
    return dma_SetValue(row.id, context->settingsImage, context->printerData, row.type, row.size,
                        record + row.offset) == DMA_OK;
}

bool WriteMap(const DmaContext *context, const UsiMap &map, const BYTE *record)
{
    for (WORD i = 0; i < map.count; ++i)
        if (!WriteRow(context, map.rows[i], record))
            return false;
    return true;
}

/* Bytes of a stored record of `version`, or 0 for a version that is not accepted. */
DWORD StoredSize(WORD version)
{
    switch (version) {
    case 1:
        return USI_V1_SIZE;
    case 2:
        return USI_V2_SIZE;
    case USI_VERSION:
        return USI_RECORD_SIZE;
    default:
        return 0;
    }
}

} // namespace

DMARESULT DMA_GetUserSettingInfo(DmaContext *context, BYTE *buffer, DWORD *size)
{
    if (context == nullptr || size == nullptr)
        return DMAR_FAIL;
    if (buffer == nullptr)
        return dma_AnswerSizeQuery(size, USI_RECORD_SIZE);
    if (*size < USI_RECORD_SIZE)
        return DMAR_BUFFER;
    std::vector<BYTE> record(USI_RECORD_SIZE, 0);
    plat::store_u16(record.data(), USI_OFFSET_VERSION, USI_VERSION);
    std::u16string model;
    const size_t modelBytes = strnlen(context->modelName, sizeof context->modelName);
    if (!dma_AnsiToWide(context->modelName, modelBytes, model))
        return DMAR_FAIL;
    /* The name keeps its terminator inside its 64 bytes. */
    model.resize(std::min<size_t>(model.size(), USI_MODEL_NAME_SIZE / 2 - 1));
    dma_WriteWide(record.data() + USI_OFFSET_MODEL_NAME, USI_MODEL_NAME_SIZE, model);
    if (!ReadMap(context, USI_HEADER_MAP, record.data()) || !ReadMap(context, USI_MAP_A, record.data()) ||
        !ReadMap(context, USI_MAP_B, record.data()))
        return DMAR_FAIL;
    std::memcpy(buffer, record.data(), USI_RECORD_SIZE);
    return DMAR_DONE;
}

DMARESULT DMA_SetUserSettingInfo(DmaContext *context, const BYTE *record)
{
    if (context == nullptr || record == nullptr)
        return DMAR_FAIL;
    const WORD version = plat::load_u16(record, USI_OFFSET_VERSION);
    const DWORD storedSize = StoredSize(version);
    if (storedSize == 0)
        return DMAR_FAIL;
    BOOL oldLayoutFlag = FALSE;
    if (version < USI_VERSION) {
        BYTE slot[8] = {};
        if (!dma_ReadValue(context, ID_OLD_LAYOUT_FLAG, slot))
            return DMAR_FAIL;
        oldLayoutFlag = plat::load<WORD>(slot) == 1;
    }
    std::vector<BYTE> work(USI_RECORD_SIZE, 0);
    if (!USI_MergeStored(record, storedSize, work.data(), oldLayoutFlag))
        return DMAR_FAIL;
    if (!WriteMap(context, USI_MAP_A, work.data()) || !WriteMap(context, USI_MAP_B, work.data()))
        return DMAR_FAIL;
    return DMAR_DONE;
}
