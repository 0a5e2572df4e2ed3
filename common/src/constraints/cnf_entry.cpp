/*
 * Tests of single conditions (involved entries and reverse rules' main
 * conditions) with the option size check of operator 9 and the tray checks
 * of operators 7, 8 and 10-12; the paper-range relations of a rule's flags;
 * and a rule's actions.
 */
#include "cnf_internal.h"

#include <tarvel/model_data/mdl_lookup.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/memory.h>

#include <cstring>

namespace {

/* Relation bits by setting. */
constexpr WORD kBit8 = 0x1, kBit262 = 0x2, kBit13 = 0x4, kBit265 = 0x8, kBit389 = 0x10;

constexpr WORD kSameAsOutputPaper = 267;
constexpr WORD kSourceFromDocument = 258;

struct Relation {
    WORD code;
    WORD paperSetting;  /* 0: the job paper */
    WORD trayKind;
    WORD traySetting;   /* 0: the input source; 0xFFFF: a fixed tray */
    WORD fixedTray;
    WORD gateSetting;   /* applies when this setting is not 0 (0: always) */
    WORD bits;
    WORD involvedCount;
    WORD involved[4];
};

constexpr Relation kRelations[] = {
    {0x400, 0, DDD_KIND_TRAY, 0, 0, 0, 0xF, 4, {262, 8, 265, 13}},
    {0x800, 0, DDD_KIND_TRAY, 389, 0, 1313, 0x13, 3, {262, 8, 389}},
    {0xC00, 0, DDD_KIND_TRAY2, 266, 0, 0, 0x23, 3, {262, 8, 266}},
    {0x1400, 410, DDD_KIND_TRAY, 0xFFFF, 4, 0, 0x40, 1, {410}},
    {0x1800, 411, DDD_KIND_TRAY, 0xFFFF, 264, 0, 0x80, 1, {411}},
    {0x1C00, 411, DDD_KIND_TRAY2, 266, 0, 0, 0xA0, 2, {411, 266}},
    {0x2000, 410, DDD_KIND_TRAY2, 266, 0, 0, 0x60, 2, {410, 266}},
    {0x2400, 0, DDD_KIND_TRAY, 333, 0, 332, 0x803, 3, {262, 8, 333}},
};

const Relation *findRelation(WORD flags)
{
    for (const Relation &r : kRelations)
        if (r.code == (flags & CNF_RULE_RELATION_MASK))
            return &r;
    return nullptr;
}

/* The settings a relation reads. */
struct PaperState {
    LONG paper = 0;
    WORD paperBits = 0;
    LONG source = 0;
    WORD sourceBits = 0;
    LONG values[12] = {};
};

/* The job's input source: 265, or 13 when 265 is 258 and model flag 0x10 is clear. */
bool readSource(const SettingsRef *ref, LONG *source, WORD *bits)
{
    if (!cnf_ReadNumber(ref, 265, source))
        return false;
    *bits = kBit265;
    if (*source == kSourceFromDocument && !MDL_HasCapability(ref->context->main, 0x10)) {
        *bits = kBit13;
        return cnf_ReadNumber(ref, 13, source);
    }
    return true;
}

bool readJobPaper(const SettingsRef *ref, LONG *code, WORD *bits)
{
    if (!cnf_ReadNumber(ref, 262, code))
        return false;
    *bits = kBit262;
    if (*code == kSameAsOutputPaper) {
        *bits = kBit8;
        return cnf_ReadNumber(ref, 8, code);
    }
    return true;
}

bool fits(LONG w, LONG l, const DddPair &min, const DddPair &max)
{
    return w >= min.first && w <= max.first && l >= min.second && l <= max.second;
}

/* The job's paper when it is a custom size: 1 with its extent and bits, 0 for another paper, CNF_HARD_FAIL. */
WORD jobCustomPaper(const CnfWalk &w, LONG *width, LONG *length, WORD *bits)
{
    LONG paper = 0;
    if (!readJobPaper(w.ref, &paper, bits))
        return CNF_HARD_FAIL;
    if (!FID_IsCustomPaperCode(paper))
        return 0;
    return CNF_GetPaperExtent(w.ref, WORD(paper), width, length) == 0 ? 1 : CNF_HARD_FAIL;
}

/* Whether a paper fits a tray's custom range the way an operator asks; false too when the tray has no range. */
WORD trayCheck(const CnfWalk &w, BYTE op, WORD *bits)
{
    LONG width = 0, length = 0;
    WORD paperBits = 0;
    const WORD custom = jobCustomPaper(w, &width, &length, &paperBits);
    if (custom != 1)
        return custom;
    LONG tray = 0;
    WORD trayBits = 0;
    if (op == 8) {
        if (!cnf_ReadNumber(w.ref, 389, &tray))
            return CNF_HARD_FAIL;
        trayBits = kBit389;
    } else if (!readSource(w.ref, &tray, &trayBits)) {
        return CNF_HARD_FAIL;
    }
    DddPair min{}, max{};
    bool found = false;
    if (!cnf_GetTrayRange(w.ref, DDD_KIND_TRAY, WORD(tray), &min, &max, &found))
        return CNF_HARD_FAIL;
    if (!found)
        return 0;
    bool ok = false;
    switch (op) {
    case 11: ok = fits(length, width, min, max); break;
    case 12: ok = fits(width, length, min, max) || fits(length, width, min, max); break;
    default: ok = fits(width, length, min, max); break; /* 7, 8, 10 */
    }
    if (ok)
        return 0;
    *bits |= WORD(paperBits | trayBits);
    return 1;
}

/* Operator 9: the job's custom paper lies outside the size pair of the option the entry names. */
WORD sizeCheck(const CnfWalk &w, const DddSettingItem &entry, WORD *bits)
{
    ModelContext *ctx = w.ref->context;
    const void *key = nullptr;
    CnfSetting current;
    ULONGLONG widened = 0;
    if (entry.settingId == w.value->id) {
        if (w.value->value) {
            key = cnf_ValueData(w.value->type, w.value->value);
        } else {
            if (cnf_Read(w.ref, entry.settingId, &current) != DMA_OK)
                return CNF_HARD_FAIL;
            key = current.data();
        }
    } else if (entry.value.type == SVT_WSTRING || !entry.value.data) {
        key = entry.value.data;
    } else {
        /* The lookup reads the key by the setting's type: a narrower value is widened, nothing is read past it. */
        std::memcpy(&widened, entry.value.data, entry.value.length < sizeof widened ? entry.value.length : sizeof widened);
        key = &widened;
    }
    if (!key)
        return 0;
    WORD kind = 0;
    void *found = nullptr;
    WORD r = DDD_LookupById(DDD_PARSE_PARTIAL, ctx->main, ctx->companion, entry.settingId, key, &kind, &found);
    if (r == DDD_ERR_NO_MEMORY)
        return CNF_HARD_NO_MEMORY;
    if (r != DDD_OK || !found)
        return 0;
    WORD dimensionId = 0;
    if (kind == DDD_KIND_DEVICE_OPTION || kind == DDD_KIND_DOCUMENT_OPTION) {
        auto *o = static_cast<DddOptionRecord *>(found);
        if (o->targetKind == DDD_KIND_DIMENSIONS)
            dimensionId = o->target.value;
    }
    DDD_FreeRecord(&found, kind == DDD_KIND_HEADER ? 0 : -1);
    if (dimensionId == 0)
        return 0;
    DddPair min{}, max{};
    if (DDD_GetDimensionPairs(ctx->main, ctx->companion, dimensionId, &min, &max) != DDD_OK)
        return 0;
    LONG width = 0, length = 0;
    WORD paperBits = 0;
    const WORD custom = jobCustomPaper(w, &width, &length, &paperBits);
    if (custom != 1)
        return custom;
    if (fits(width, length, min, max))
        return 0;
    *bits |= kBit262;
    return 1;
}

} // namespace

bool cnf_ReadJobPaper(const SettingsRef *ref, LONG *code)
{
    WORD bits = 0;
    return readJobPaper(ref, code, &bits);
}

bool cnf_GetTrayRange(const SettingsRef *ref, WORD kind, WORD trayId, DddPair *min, DddPair *max, bool *found)
{
    *found = false;
    ModelRecord *rec = nullptr;
    WORD r = DDD_GetRecordById(DDD_PARSE_PARTIAL, ref->context->main, ref->context->companion, kind, trayId, 0, &rec);
    if (r == DDD_ERR_NOT_FOUND || (r == DDD_ERR_FAIL && !rec))
        return true; /* no such tray: no range */
    if (r != DDD_OK)
        return false;
    auto *tray = reinterpret_cast<DddTrayRecord *>(rec);
    for (WORD i = 0; i < tray->paperCodes.count; ++i) {
        if (tray->paperCodes.items[i].value == 262) {
            *min = tray->customMin;
            *max = tray->customMax;
            *found = true;
            break;
        }
    }
    DDD_FreeRecord(&rec, -1);
    return true;
}

WORD cnf_TestEntry(const CnfWalk &w, const DddSettingItem &constEntry, WORD *bits)
{
    auto &entry = const_cast<DddSettingItem &>(constEntry);
    if (entry.op == 9)
        return sizeCheck(w, entry, bits);
    CnfSetting s;
    WORD status = cnf_Read(w.ref, entry.settingId, &s);
    if (status == DMA_ERR_RANGE)
        return 0;
    if (status != DMA_OK)
        return CNF_HARD_FAIL;
    if (DDD_ResolveValueArray(entry.head.reader, &entry) != DDD_OK)
        return CNF_HARD_FAIL;
    const DddValue &v = entry.value;
    bool holds = false;
    if (v.count == 0 || !v.data) {
        if (entry.op == 2)
            holds = true;
        else if (entry.op == 1)
            holds = false;
        else
            return CNF_HARD_FAIL;
    } else {
        holds = entry.op == 2;
        const DWORD count = v.type == SVT_WSTRING ? 1 : v.count;
        for (DWORD i = 0; i < count; ++i) {
            const void *element =
                v.type == SVT_WSTRING ? v.data : static_cast<const BYTE *>(v.data) + size_t(i) * v.length;
            if (v.type != SVT_WSTRING && v.length != cnf_TypeSize(v.type))
                return CNF_HARD_FAIL;
            WORD c = CNF_CompareValues(entry.op, v.type, element, s.type, s.data());
            if (c != CNF_CMP_HOLDS && c != CNF_CMP_DIFFERS)
                return CNF_HARD_FAIL;
            if (entry.op == 2 && c == CNF_CMP_DIFFERS) {
                holds = false;
                break;
            }
            if (entry.op != 2 && c == CNF_CMP_HOLDS) {
                holds = true;
                break;
            }
        }
    }
    if (!holds)
        return 0;
    switch (entry.op) {
    case 7:
    case 8:
    case 10:
    case 11:
    case 12: return trayCheck(w, entry.op, bits);
    default: return 1;
    }
}

WORD cnf_RelationSettings(WORD flags, const WORD **ids)
{
    const Relation *r = findRelation(flags);
    *ids = r ? r->involved : nullptr;
    return r ? r->involvedCount : 0;
}

WORD cnf_CheckRelation(const CnfWalk &w, WORD flags)
{
    const SettingsRef *ref = w.ref;
    if ((flags & CNF_RULE_RELATION_MASK) == 0x1000) {
        LONG use = 0, code = 0;
        if (!cnf_ReadNumber(ref, 1887, &use))
            return CNF_HARD_FAIL;
        if (use != 0 ? !cnf_ReadNumber(ref, 1883, &code) : !cnf_ReadJobPaper(ref, &code))
            return CNF_HARD_FAIL;
        if (!FID_IsCustomPaperCode(code))
            return 0;
        LONG width = 0, length = 0;
        if (CNF_GetPaperExtent(ref, WORD(code), &width, &length) != 0)
            return CNF_HARD_FAIL;
        ModelRecord *rec = nullptr;
        if (DDD_GetRecordById(DDD_PARSE_PARTIAL, ref->context->main, ref->context->companion, DDD_KIND_PAPER,
                              WORD(code), 0, &rec) != DDD_OK)
            return 0;
        const DddPair *min = DDD_PaperMinExtent(rec), *max = DDD_PaperMaxExtent(rec);
        const bool inside = min && max && fits(width, length, *min, *max);
        DDD_FreeRecord(&rec, -1);
        return inside ? 0 : 1;
    }
    const Relation *rel = findRelation(flags);
    if (!rel)
        return 0;
    /* Every setting a relation looks at is read first. */
    LONG paper = 0, source = 0, v389 = 0, v1313 = 0, v333 = 0, v332 = 0, v266 = 0, v410 = 0, v411 = 0;
    WORD paperBits = 0, sourceBits = 0;
    if (!readJobPaper(ref, &paper, &paperBits) || !readSource(ref, &source, &sourceBits) ||
        !cnf_ReadNumber(ref, 389, &v389) || !cnf_ReadNumber(ref, 1313, &v1313) || !cnf_ReadNumber(ref, 333, &v333) ||
        !cnf_ReadNumber(ref, 332, &v332) || !cnf_ReadNumber(ref, 266, &v266) || !cnf_ReadNumber(ref, 410, &v410) ||
        !cnf_ReadNumber(ref, 411, &v411))
        return CNF_HARD_FAIL;
    bool applies = !cnf_ModeSkips(w.mode, flags);
    if (rel->gateSetting == 1313)
        applies = applies && v1313 != 0;
    if (rel->gateSetting == 332)
        applies = applies && v332 != 0;
    LONG code = rel->paperSetting == 410 ? v410 : rel->paperSetting == 411 ? v411 : paper;
    LONG tray = 0;
    switch (rel->traySetting) {
    case 0: tray = source; break;
    case 389: tray = v389; break;
    case 266: tray = v266; break;
    case 333: tray = v333; break;
    default: tray = rel->fixedTray; break;
    }
    DddPair min{}, max{};
    bool found = false;
    if (applies && !cnf_GetTrayRange(ref, rel->trayKind, WORD(tray), &min, &max, &found))
        return CNF_HARD_FAIL;
    if (!applies || !found)
        return 0;
    LONG width = 0, length = 0;
    if (CNF_GetPaperExtent(ref, WORD(code), &width, &length) != 0)
        return CNF_HARD_FAIL;
    if (fits(width, length, min, max))
        return 0;
    WORD bits = rel->bits;
    if (rel->code == 0x1400 || rel->code == 0x1800) {
        static constexpr WORD kTraySettings[3] = {407, 408, 409};
        for (WORD i = 0; i < 3; ++i) {
            LONG value = 0;
            if (!cnf_ReadNumber(ref, kTraySettings[i], &value))
                return CNF_HARD_FAIL;
            if (value == rel->fixedTray)
                bits |= WORD(0x100 << i);
        }
    }
    w.list->relationBits |= bits;
    return 1;
}

WORD CNF_ApplyRuleActions(const SettingsRef *ref, const DddRuleRecord *rule, WORD **changed, WORD *count)
{
    if (!ref || !ref->context || !rule)
        return CNF_FAIL;
    if (rule->actions.count == 0 || !rule->actions.items)
        return CNF_NOTHING_CHANGED;
    CnfIds local(CNF_ACTIONS_INLINE);
    WORD **list = changed && count ? changed : &local.list;
    WORD *n = changed && count ? count : &local.count;
    const WORD capacity = CNF_ACTIONS_INLINE;
    for (WORD i = 0; i < rule->actions.count; ++i) {
        const DddSettingItem &a = rule->actions.items[i];
        bool listed = false;
        for (WORD k = 0; k < *n && !listed; ++k)
            listed = (*list)[k] == a.settingId;
        if (listed && rule->flags == 3)
            continue;
        const DddValue &v = a.value;
        if (!v.data || v.length < cnf_TypeSize(v.type))
            return CNF_FAIL;
        void *defaultValue = nullptr;
        const void *data = v.type == SVT_WSTRING ? static_cast<const void *>(&v.data) : v.data;
        if ((v.type == SVT_INT16 || v.type == SVT_UINT16) && v.length == 2) {
            const WORD special = plat::load<WORD>(v.data);
            if (special == 0x8000 || special == 0x8001) {
                WORD type = 0;
                const WORD from = special == 0x8000 ? a.settingId : WORD(8);
                WORD r = DDD_GetDefaultById(ref->context->main, ref->context->companion, from, &defaultValue, &type);
                if (r != DDD_OK || !defaultValue) {
                    GlobalFree(defaultValue);
                    return r == DDD_ERR_NO_MEMORY ? CNF_NO_MEMORY : CNF_FAIL;
                }
                data = defaultValue;
            }
        }
        const CnfValue value{a.settingId, v.type, data};
        WORD w = CNF_SetValue(ref, &value);
        GlobalFree(defaultValue);
        if (w != 0)
            return CNF_FAIL;
        WORD r = CNF_AddUniqueId(a.settingId, capacity, list, n);
        if (r != 0)
            return r;
    }
    return CNF_CHANGED;
}
