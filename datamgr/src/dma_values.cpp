/*
 * The public identifier lookups and the DMA_ functions for single numbers,
 * the fax address count, structure sizes and the enumeration of public
 * identifiers.  Everything goes through dma_GetValue and dma_SetValue on the
 * caller's records; nothing is kept between calls.
 */
#include "dma_internal.h"
#include "setting_access.h"

#include "tarvel/fax_layout.h"
#include "tarvel/public_id_map.h"

namespace {

constexpr WORD ID_FAX_ADDRESS_COUNT = 380;

bool IsFaxHeaderText(DWORD id) { return id == DMAID_FAX_HEADER_TEXT1 || id == DMAID_FAX_HEADER_TEXT2; }

/* Flag bits of an enumerated identifier by value type; false for a type that is none of the three. */
bool TypeFlags(WORD type, DWORD *flags)
{
    switch (type) {
    case SVT_FLAG:
    case SVT_INT16:
    case SVT_UINT16:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_BYTE:
    case SVT_LOGFONT_MEMBER:
        *flags &= ~(DMA_ID_STRING | DMA_ID_BLOCK);
        return true;
    case SVT_WSTRING:
        *flags = (*flags & ~DMA_ID_BLOCK) | DMA_ID_STRING;
        return true;
    case SVT_LOGFONT:
        *flags = (*flags & ~DMA_ID_STRING) | DMA_ID_BLOCK;
        return true;
    default:
        return false;
    }
}

/* Walks the enumeration: counts the public identifiers and writes them while the array has room. */
class Enumerator {
public:
    Enumerator(DmaIdInfo *out, WORD capacity) : out_(out), capacity_(capacity) {}

    /* False ends the walk with `result()`. */
    bool add(WORD internalId, WORD type)
    {
        const WORD publicId = dma_DmaIdToPublicId(internalId);
        if (publicId == 0)
            return true;
        if (out_ != nullptr) {
            if (found_ >= capacity_) {
                result_ = DMAR_BUFFER;
                return false;
            }
            DmaIdInfo &info = out_[found_];
            if (!TypeFlags(type, &info.flags)) {
                result_ = DMAR_FAIL;
                return false;
            }
            info.id = publicId;
        }
        if (found_ == 0xFFFF) { /* the count is 16-bit */
            result_ = DMAR_FAIL;
            return false;
        }
        ++found_;
        return true;
    }
    DMARESULT result() const { return result_; }
    WORD found() const { return found_; }

private:
    DmaIdInfo *out_;
    WORD capacity_;
    WORD found_ = 0;
    DMARESULT result_ = DMAR_DONE;
};

} // namespace

WORD dma_PublicIdToDmaId(WORD publicId) { return PID_ToInternal(publicId, PUBLIC_ID_RANGE_COUNT); }

WORD dma_DmaIdToPublicId(WORD internalId) { return PID_ToPublic(internalId, PUBLIC_ID_RANGE_COUNT); }

DMARESULT dma_FindSetting(const DmaContext *context, DWORD publicId, DmaSetting *out)
{
    if (publicId > 0xFFFF)
        return DMAR_UNMAPPED;
    const WORD internalId = dma_PublicIdToDmaId(static_cast<WORD>(publicId));
    if (internalId == 0)
        return DMAR_UNMAPPED;
    WORD kind = 0;
    out->internalId = internalId;
    if (dma_LookupItem(internalId, context->settingsImage, context->printerData, &out->item, &out->address, &kind) !=
        DMA_OK)
        return DMAR_FAIL;
    return DMAR_DONE;
}

DMARESULT dma_FindSettingAs(const DmaContext *context, DWORD publicId, DmaUse use, DmaSetting *out)
{
    if (context == nullptr)
        return DMAR_FAIL;
    if (use != DmaUse::String && IsFaxHeaderText(publicId))
        return DMAR_STRING_ID;
    DMARESULT r = dma_FindSetting(context, publicId, out);
    if (r != DMAR_DONE)
        return r;
    const WORD type = out->item->storedType;
    switch (use) {
    case DmaUse::Number:
        return type == SVT_WSTRING ? DMAR_STRING_ID : type == SVT_LOGFONT ? DMAR_FONT_ID : DMAR_DONE;
    case DmaUse::String:
        return type == SVT_LOGFONT ? DMAR_FONT_ID : type != SVT_WSTRING ? DMAR_WRONG_KIND : DMAR_DONE;
    case DmaUse::Font:
        return type == SVT_WSTRING ? DMAR_STRING_ID : type != SVT_LOGFONT ? DMAR_WRONG_KIND : DMAR_DONE;
    }
    return DMAR_FAIL;
}

bool dma_ReadValue(const DmaContext *context, WORD internalId, BYTE (&slot)[8], LONG *size, WORD *kind)
{
    WORD type = 0, recordKind = 0;
    LONG bytes = 0;
    if (dma_GetValue(internalId, context->settingsImage, context->printerData, &type, &bytes, slot, &recordKind) !=
        DMA_OK)
        return false;
    if (size != nullptr)
        *size = bytes;
    if (kind != nullptr)
        *kind = recordKind;
    return true;
}

DMARESULT dma_AnswerSizeQuery(DWORD *size, DWORD needed)
{
    if (*size != 0)
        return DMAR_FAIL;
    *size = needed;
    return DMAR_BUFFER;
}

DMARESULT DMA_GetValue(DmaContext *context, DWORD id, DWORD *value)
{
    DmaSetting setting{};
    DMARESULT r = dma_FindSettingAs(context, id, DmaUse::Number, &setting);
    if (r != DMAR_DONE)
        return r;
    if (value == nullptr)
        return DMAR_FAIL;
    *value = 0;
    BYTE slot[8] = {};
    if (!dma_ReadValue(context, setting.internalId, slot))
        return DMAR_FAIL;
    *value = plat::load<DWORD>(slot);
    return DMAR_DONE;
}

DMARESULT DMA_SetValue(DmaContext *context, DWORD id, DWORD value)
{
    DmaSetting setting{};
    DMARESULT r = dma_FindSettingAs(context, id, DmaUse::Number, &setting);
    if (r != DMAR_DONE)
        return r;
    const WORD type = setting.item->storedType;
    BYTE bytes[4];
    plat::store<DWORD>(bytes, value);
    if (dma_SetValue(setting.internalId, context->settingsImage, context->printerData, type, dma_TypeSize(type),
                     bytes) != DMA_OK)
        return DMAR_FAIL;
    return DMAR_DONE;
}

DMARESULT DMA_GetFaxAddressNum(const BYTE *faxBlock, WORD *count)
{
    if (faxBlock == nullptr || count == nullptr || !DPF_HasTag(faxBlock, DPF_TAG_FAX))
        return DMAR_FAIL;
    *count = plat::load_u16(faxBlock, FAX_OFF_COUNT);
    return DMAR_DONE;
}

DMARESULT DMA_SetFaxAddressNum(DmaContext *context, LONG count, BOOL relative)
{
    /* The count goes into the fax block too: without one nothing is written. */
    if (context == nullptr || context->faxBlock == nullptr)
        return DMAR_FAIL;
    LONGLONG total = count;
    if (relative) {
        BYTE slot[8] = {};
        if (!dma_ReadValue(context, ID_FAX_ADDRESS_COUNT, slot))
            return DMAR_FAIL;
        total += plat::load<WORD>(slot);
    }
    if (total < 0 || total > 0xFFFF)
        return DMAR_FAIL;
    const WORD value = static_cast<WORD>(total);
    if (dma_SetValue(ID_FAX_ADDRESS_COUNT, context->settingsImage, context->printerData, SVT_UINT16, 2, &value) !=
        DMA_OK)
        return DMAR_FAIL;
    plat::store_u16(context->faxBlock, FAX_OFF_COUNT, value);
    return DMAR_DONE;
}

DMARESULT DMA_QueryStructSize(DWORD kind)
{
    if (kind == DMA_KIND_FAX_HEADER)
        return FAX_HEADER_SIZE;
    const DmaFieldTable *table = dma_FieldTable(kind);
    return table != nullptr ? static_cast<DMARESULT>(table->entrySize) : 0;
}

DMARESULT DMA_EnumDMAID_ByTargetInfo(DmaContext *context, DWORD kind, WORD *count, DmaIdInfo *out)
{
    if (context == nullptr || count == nullptr)
        return DMAR_FAIL;
    const DmaFieldTable *table = nullptr;
    if (kind != DMA_KIND_SETTINGS) {
        table = dma_FieldTable(kind);
        if (table == nullptr)
            return DMAR_BAD_KIND;
    }
    Enumerator walk(out, *count);
    bool going = true;
    if (table == nullptr) {
        for (const IdLayoutGroup *g = IdLayoutTable; going && g->items != nullptr; ++g)
            for (const IdLayoutItem *item = g->items; going && item->id != 0; ++item)
                going = walk.add(item->id, item->storedType);
    } else {
        for (WORD i = 0; going && i < table->rowCount; ++i)
            going = walk.add(table->rows[i].id, table->rows[i].type);
    }
    if (!going)
        return walk.result();
    *count = walk.found();
    return out != nullptr ? DMAR_DONE : DMAR_BUFFER;
}
