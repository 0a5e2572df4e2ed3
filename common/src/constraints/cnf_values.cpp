/*
 * Values of the constraint engine: the comparison of a setting with a
 * condition value, raw reads and typed writes of settings, and paper
 * extents by paper code.
 */
#include "cnf_internal.h"

#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>

#include <plat/memory.h>
#include <plat/text.h>

namespace {

/* Texts in settings records may lie at odd offsets: read them unit by unit. */
WCHAR unitAt(const void *text, size_t i) { return plat::load<WCHAR>(static_cast<const BYTE *>(text) + i * 2); }

bool sameText(const void *a, const void *b)
{
    for (size_t i = 0;; ++i) {
        const WCHAR x = unitAt(a, i), y = unitAt(b, i);
        if (x != y)
            return false;
        if (x == 0)
            return true;
    }
}

size_t textLength(const void *text)
{
    size_t n = 0;
    while (unitAt(text, n) != 0)
        ++n;
    return n;
}

LONGLONG numberAt(const void *p, WORD type)
{
    const auto *b = static_cast<const BYTE *>(p);
    switch (type) {
    case SVT_INT16: return plat::load<SHORT>(b);
    case SVT_UINT16: return plat::load<WORD>(b);
    case SVT_BYTE: return b[0];
    case SVT_UINT32: return plat::load<DWORD>(b);
    default: return plat::load<LONG>(b); /* 1, 4, 10 */
    }
}

} // namespace

DWORD cnf_TypeSize(WORD type)
{
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER: return 4;
    case SVT_INT16:
    case SVT_UINT16: return 2;
    case SVT_BYTE: return 1;
    default: return 0;
    }
}

WORD CNF_CompareValues(BYTE op, WORD conditionType, const void *conditionValue, WORD settingType,
                       const void *settingValue)
{
    if (!conditionValue || !settingValue)
        return CNF_CMP_NULL;
    if (conditionType != settingType)
        return CNF_CMP_TYPES_DIFFER;
    const WORD type = conditionType;
    if (type != SVT_WSTRING && cnf_TypeSize(type) == 0)
        return CNF_CMP_UNSUPPORTED;
    if (op == 9 || op > 12)
        return CNF_CMP_BAD_OPERATOR;
    bool holds = false;
    if (type == SVT_WSTRING || type == SVT_FLAG) {
        if (op >= 3 && op <= 6)
            return CNF_CMP_BAD_OPERATOR;
        const bool same = type == SVT_WSTRING
                              ? sameText(settingValue, conditionValue)
                              : (plat::load<DWORD>(settingValue) != 0) == (plat::load<DWORD>(conditionValue) != 0);
        holds = op == 2 ? !same : same;
        return holds ? CNF_CMP_HOLDS : CNF_CMP_DIFFERS;
    }
    const LONGLONG s = numberAt(settingValue, type), c = numberAt(conditionValue, type);
    switch (op) {
    case 2: holds = s != c; break;
    case 3: holds = s < c; break;
    case 4: holds = s <= c; break;
    case 5: holds = s > c; break;
    case 6: holds = s >= c; break;
    default: holds = s == c; break; /* 0, 1, 7, 8, 10, 11, 12 */
    }
    return holds ? CNF_CMP_HOLDS : CNF_CMP_DIFFERS;
}

const void *CnfSetting::data() const
{
    if (type == SVT_WSTRING)
        return FID_SlotString(&slot);
    return &slot;
}

LONG CnfSetting::number() const
{
    if (type == SVT_WSTRING || cnf_TypeSize(type) == 0)
        return 0;
    return static_cast<LONG>(numberAt(&slot, type));
}

WORD cnf_Read(const SettingsRef *ref, WORD id, CnfSetting *out)
{
    *out = CnfSetting{};
    out->status = DMB_GetValue(id, ref->image, ref->printerData, &out->type, &out->size, &out->slot);
    return out->status;
}

bool cnf_ReadNumber(const SettingsRef *ref, WORD id, LONG *out)
{
    CnfSetting s;
    if (cnf_Read(ref, id, &s) != DMA_OK)
        return false;
    *out = s.number();
    return true;
}

const void *cnf_ValueData(WORD type, const void *value)
{
    if (!value)
        return nullptr;
    if (type == SVT_WSTRING)
        return plat::load<const void *>(value);
    return value;
}

LONG cnf_ValueNumber(WORD type, const void *value)
{
    if (!value || type == SVT_WSTRING || cnf_TypeSize(type) == 0)
        return 0;
    return static_cast<LONG>(numberAt(value, type));
}

WORD CNF_SetValue(const SettingsRef *ref, const CnfValue *value)
{
    if (!ref || !value || !value->value)
        return CNF_FAIL;
    LONG size = 0;
    if (value->type == SVT_WSTRING) {
        const void *text = plat::load<const void *>(value->value);
        size = text ? LONG((textLength(text) + 1) * sizeof(WCHAR)) : LONG(sizeof(WCHAR));
        if (!text) {
            static const WCHAR empty[1] = {0};
            const WCHAR *p = empty;
            return DMB_SetValue(value->id, ref->image, ref->printerData, value->type, size, &p) == DMA_OK ? 0
                                                                                                         : CNF_FAIL;
        }
    } else {
        size = LONG(cnf_TypeSize(value->type));
        if (size == 0)
            return CNF_FAIL;
    }
    return DMB_SetValue(value->id, ref->image, ref->printerData, value->type, size, value->value) == DMA_OK
               ? 0
               : CNF_FAIL;
}

WORD CNF_CompareWithCurrent(const SettingsRef *ref, const CnfValue *value)
{
    if (!ref || !value || !value->value)
        return CNF_FAIL;
    CnfSetting s;
    if (cnf_Read(ref, value->id, &s) != DMA_OK)
        return CNF_FAIL;
    WORD r = CNF_CompareValues(1, value->type, cnf_ValueData(value->type, value->value), s.type, s.data());
    if (r == CNF_CMP_TYPES_DIFFER)
        return CNF_CMP_DIFFERS;
    return r == CNF_CMP_HOLDS || r == CNF_CMP_DIFFERS ? r : CNF_FAIL;
}

WORD CNF_GetPaperExtent(const SettingsRef *ref, WORD paperCode, LONG *width, LONG *length)
{
    if (!ref || !ref->context || !width || !length)
        return CNF_FAIL;
    *width = *length = 0;
    if (FID_IsCustomPaperCode(paperCode)) {
        const WORD slot = FID_CustomPaperCodeToSlot(paperCode);
        return cnf_ReadNumber(ref, WORD(FID_CUSTOM_SETTING_FIRST + slot), width) &&
                       cnf_ReadNumber(ref, WORD(FID_CUSTOM_SETTING_FIRST + 20 + slot), length)
                   ? 0
                   : CNF_FAIL;
    }
    if (paperCode == 256)
        return cnf_ReadNumber(ref, 1863, width) && cnf_ReadNumber(ref, 1864, length) ? 0 : CNF_FAIL;
    ModelRecord *rec = nullptr;
    if (DDD_GetRecordById(DDD_PARSE_PARTIAL, ref->context->main, ref->context->companion, DDD_KIND_PAPER, paperCode,
                          0, &rec) != DDD_OK)
        return CNF_FAIL;
    const DddPair *size = DDD_PaperSize(rec);
    if (size) {
        *width = size->first;
        *length = size->second;
    }
    DDD_FreeRecord(&rec, -1);
    return size ? 0 : CNF_FAIL;
}
