/*
 * Built-in rules: watermark and stamp names that do not go with certain
 * papers or a fold, the stamp switch, the document-monitor switch, the
 * job-information prompt, a paper-source value the system must support and
 * the stamp pseudo-identifiers.  They set the outcome kind directly.
 */
#include "cnf_internal.h"

#include <tarvel/base/util_system.h>
#include <tarvel/base/util_ui_services.h>
#include <tarvel/model_data/cfg_model.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/stores/jwm_record.h>
#include <tarvel/stores/stp_builtin.h>
#include <tarvel/stores/stp_store.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <vector>

namespace {

constexpr WORD kStampAdd = 0x9001;
constexpr WORD kStampUse = 0x9002;
constexpr WORD kStampUseStored = 0x9003;
constexpr DWORD kMaxStamps = 32;

/* What a row decided. */
struct Decision {
    bool rule = true;      /* false: no built-in rule (6) */
    SHORT outcome = 0;
    WORD changes[2] = {};
    WORD changeCount = 0;
    WORD involved[2] = {};
    WORD involvedCount = 0;
};

void change(Decision &d, SHORT outcome, std::initializer_list<WORD> ids)
{
    d.outcome = outcome;
    for (WORD id : ids)
        d.changes[d.changeCount++] = id;
}

void involve(Decision &d, std::initializer_list<WORD> ids)
{
    for (WORD id : ids)
        d.involved[d.involvedCount++] = id;
}

/* The name 297 (a copy, empty when unset); false when it cannot be read. */
bool readName(const SettingsRef *ref, WORD id, std::u16string *out)
{
    CnfSetting s;
    if (cnf_Read(ref, id, &s) != DMA_OK || s.type != SVT_WSTRING)
        return false;
    out->clear();
    const void *p = s.data();
    for (size_t i = 0; p && i < 512; ++i) {
        const WCHAR c = plat::load<WCHAR>(static_cast<const BYTE *>(p) + i * 2);
        if (c == 0)
            break;
        out->push_back(c);
    }
    return true;
}

/* The number under test: the value, or the current setting. */
bool testedNumber(const SettingsRef *ref, const CnfValue *value, LONG *out)
{
    if (value->value) {
        *out = cnf_ValueNumber(value->type, value->value);
        return true;
    }
    return cnf_ReadNumber(ref, value->id, out);
}

/* The configuration enforces the job type 334 with a value other than 0. */
bool jobTypeEnforced(const SettingsRef *ref)
{
    const ModelSpecials *specials = ref->context->specials;
    if (!specials || !CFG_IsEnforced(334, specials))
        return false;
    ULONGLONG slot = 0;
    if (!CFG_GetSpecialValue(334, specials, &slot, SVT_UINT16))
        return false;
    return FID_ReadValueAsUInt(&slot, SVT_UINT16) != 0;
}

/* The row of the setting under test; 0, or 1 when a read or check failed. */
WORD decide(HANDLE printer, const SettingsRef *ref, const CnfValue *value, Decision &d)
{
    const WORD id = value->id;
    const bool hasValue = value->value != nullptr;
    std::u16string name;
    LONG number = 0, fold = 0, on = 0;
    switch (id) {
    case 8:
    case 321:
        if (!testedNumber(ref, value, &number) || !readName(ref, 297, &name))
            return CNF_FAIL;
        if (!name.empty() && ((id == 8 && number >= 307 && number <= 310) || (id == 321 && number == 1)))
            change(d, 3, {297});
        return 0;
    case 293: {
        if (!testedNumber(ref, value, &number))
            return CNF_FAIL;
        int fieldClass = 0;
        if (WORD(number) == 3 && UTL_GetOsFieldClass(&fieldClass) == 0)
            change(d, 1, {});
        return 0;
    }
    case 298: {
        involve(d, {1333});
        if (!cnf_ReadNumber(ref, 1333, &on))
            return CNF_FAIL;
        if (!hasValue || on == 0)
            return 0;
        const void *text = cnf_ValueData(SVT_WSTRING, value->value);
        for (size_t i = 0; text && i < 512; ++i) {
            const WCHAR c = plat::load<WCHAR>(static_cast<const BYTE *>(text) + i * 2);
            if (c == 0)
                break;
            name.push_back(c);
        }
        if (cnf_StampFlagSet(printer, ref, name))
            change(d, 3, {1333});
        return 0;
    }
    case 1284: change(d, 6, {}); return 0;
    case 1286:
    case kStampUse:
    case kStampUseStored: {
        involve(d, {296, 297});
        if (!cnf_ReadNumber(ref, 321, &fold) || !readName(ref, 297, &name))
            return CNF_FAIL;
        if (hasValue)
            return 0;
        bool refuse = fold == 1 || name.empty();
        if (!refuse && id == kStampUseStored)
            refuse = STP_Exists(printer, name.c_str(), ref->context) != 1;
        if (refuse)
            change(d, 1, {296, 297});
        return 0;
    }
    case kStampAdd: {
        involve(d, {296, 297});
        DWORD stamps = 0;
        if (STP_CountStamps(printer, &stamps, ref->context) != 1)
            return CNF_FAIL;
        if (!cnf_ReadNumber(ref, 1333, &on) || !cnf_ReadNumber(ref, 321, &fold) || !readName(ref, 297, &name))
            return CNF_FAIL;
        if (!hasValue && fold == 1)
            change(d, 1, {296});
        else if (stamps >= kMaxStamps)
            change(d, 8, {297});
        return 0;
    }
    case 1333: {
        if (hasValue) {
            LONG monitor = 0;
            if (!cnf_ReadNumber(ref, 1321, &monitor) || !readName(ref, 1857, &name))
                return CNF_FAIL;
            if (cnf_ValueNumber(value->type, value->value) == 0 || monitor == 0 ||
                !CNF_IsMonitorDefaultOn(ref->context)) {
                d.rule = false;
                return 0;
            }
            involve(d, {1321, 298});
            if (name.empty())
                change(d, 3, {1321});
            else
                change(d, 3, {1321, 298});
            return 0;
        }
        if (!jobTypeEnforced(ref)) {
            d.rule = false;
            return 0;
        }
        involve(d, {1321, 298});
        change(d, 15, {334});
        return 0;
    }
    case 5163:
    case 5186: {
        LONG prompt = 0;
        if (id == 5163 && !cnf_ReadNumber(ref, 5186, &prompt))
            return CNF_FAIL;
        d.rule = false;
        if (hasValue || (id == 5163 && prompt == 0))
            return 0;
        BOOL available = FALSE;
        if (!UTL_IsComComponentAvailable(ref->context, &available))
            return CNF_FAIL;
        if (id == 5163 && available) {
            d.rule = true;
            involve(d, {5186});
            change(d, 1, {5186});
        } else if (id == 5186 && !available) {
            d.rule = true;
            change(d, 6, {});
        }
        return 0;
    }
    case 5138: return 0;
    case 301:
    case 303:
    case 1321: {
        LONG x = 0;
        d.rule = false;
        if (!cnf_ReadNumber(ref, 300, &x) || !cnf_ReadNumber(ref, 1288, &x) || !cnf_ReadNumber(ref, 1333, &x))
            return CNF_FAIL;
        return 0;
    }
    default: d.rule = false; return 0;
    }
}

} // namespace

bool cnf_StampFlagSet(HANDLE printer, const SettingsRef *ref, const std::u16string &name)
{
    std::vector<BYTE> record(STP_RECORD_SIZE, 0);
    if (STP_ReadStamp(printer, name.c_str(), record.data(), FALSE, ref->context) != 1)
        return false;
    return plat::load<WORD>(record.data() + STP_OFF_USER_FLAG) != 0;
}

WORD CNF_ApplyFeatureRules(HANDLE printer, const SettingsRef *ref, const CnfValue *value, const ChangeList *,
                           ChangeList *list, WORD **changed, WORD *count)
{
    if (!ref || !ref->context || !value || !list)
        return CNF_FAIL;
    Decision d;
    WORD r = decide(printer, ref, value, d);
    if (r != 0)
        return r;
    if (!d.rule)
        return CNF_NO_RULE;
    list->outcome = d.outcome;
    if (changed && count) {
        WORD a = CNF_AddUniqueIds(CNF_CHANGED_INLINE, changed, count, d.changes, d.changeCount);
        if (a != 0)
            return a;
    }
    return CNF_AddUniqueIds(CNF_INVOLVED_INLINE, &list->involved, &list->involvedCount, d.involved,
                            d.involvedCount);
}

BOOL CNF_IsMonitorDefaultOn(ModelContext *context)
{
    if (!context || !JWM_IsAvailable())
        return FALSE;
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (FID_GetDefault(context, 8201, &type, &size, &slot) != FID_DEFAULT_FOUND)
        return FALSE;
    const bool on = FID_ReadValueAsUInt(&slot, type) == 1;
    FID_FreeDefaultById(8201, &slot, type);
    return on ? TRUE : FALSE;
}
