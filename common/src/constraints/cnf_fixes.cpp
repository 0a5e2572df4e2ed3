/*
 * Fixes that follow a conflict: applying the actions of fired rule lists,
 * writing chosen values, the before-and-after proposals of the conflict
 * prompt, the poster-layout fit check and the output tray recomputed from
 * the finishing settings.
 */
#include "cnf_internal.h"

#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr WORD kSameAsOutputPaper = 267;

/* The number of `id`: the value under test when it is that setting, else the current value. */
bool numberOf(const SettingsRef *ref, const CnfValue *value, WORD id, LONG *out)
{
    if (value && value->id == id && value->value) {
        *out = cnf_ValueNumber(value->type, value->value);
        return true;
    }
    return cnf_ReadNumber(ref, id, out);
}

/* Builds a proposal whole: texts and items with their value blocks. */
struct ProposalBuilder {
    CnfProposal p{};
    bool failed = false;

    void item(WORD id, WORD type, WORD size, const void *data, size_t bytes)
    {
        if (failed)
            return;
        auto *items = static_cast<CnfProposalItem *>(GlobalAlloc(GPTR, (p.count + 1u) * sizeof(CnfProposalItem)));
        void *block = GlobalAlloc(GPTR, bytes);
        if (!items || !block) {
            GlobalFree(items);
            GlobalFree(block);
            failed = true;
            return;
        }
        if (p.count)
            std::memcpy(items, p.items, p.count * sizeof(CnfProposalItem));
        GlobalFree(p.items);
        if (data)
            std::memcpy(block, data, bytes);
        items[p.count] = CnfProposalItem{id, type, size, block};
        p.items = items;
        ++p.count;
    }
    void texts(LPWSTR before, LPWSTR after)
    {
        p.before = before;
        p.after = after;
        failed = failed || !before || !after;
    }
    WORD finish(CnfProposal *out)
    {
        if (failed) {
            CNF_FreeProposal(&p);
            return CNF_NO_MEMORY;
        }
        CNF_FreeProposal(out);
        *out = p;
        p = CnfProposal{};
        return 0;
    }
};

/* Clearing the names 297, 299 and 1857, shown as the stamp name before and "None" after. */
WORD proposeClearNames(const std::u16string &name, CnfProposal *out)
{
    std::u16string label, none;
    if (!cnf_LoadString(302, &label) || !cnf_LoadString(426, &none))
        return CNF_FAIL;
    ProposalBuilder b;
    b.texts(cnf_FormatString(706, label.c_str(), name.c_str()), cnf_FormatString(706, label.c_str(), none.c_str()));
    for (WORD id : {WORD(297), WORD(299), WORD(1857)})
        b.item(id, SVT_WSTRING, 8, nullptr, 8);
    return b.finish(out);
}

/* Switching `id` (a flag) off, shown with its name and the option names for on and off. */
WORD proposeSwitchOff(const SettingsRef *ref, WORD id, CnfProposal *out)
{
    const DWORD on = 1, off = 0;
    std::u16string name, onText, offText;
    if (!cnf_NameOf(ref, id, nullptr, &name) || !cnf_NameOf(ref, id, &on, &onText) ||
        !cnf_NameOf(ref, id, &off, &offText))
        return CNF_FAIL;
    ProposalBuilder b;
    b.texts(cnf_FormatString(706, name.c_str(), onText.c_str()), cnf_FormatString(706, name.c_str(), offText.c_str()));
    b.item(id, SVT_FLAG, 4, &off, 4);
    return b.finish(out);
}

/* Whether the stamp switch is on and the stored stamp `name` has its flag set. */
bool stampSwitchConflicts(HANDLE printer, const SettingsRef *ref, const std::u16string &name, bool *conflict)
{
    LONG on = 0;
    if (!cnf_ReadNumber(ref, 1333, &on))
        return false;
    *conflict = on != 0 && cnf_StampFlagSet(printer, ref, name);
    return true;
}

/* Printable width and length of a paper code (size less margins; custom sizes bounded by the record's extents). */
bool printableExtent(const SettingsRef *ref, LONG code, LONG *width, LONG *length)
{
    const bool custom = FID_IsCustomPaperCode(code) || code == 256;
    const WORD recordId = custom ? WORD(262) : WORD(code);
    ModelRecord *rec = nullptr;
    if (DDD_GetRecordById(DDD_PARSE_PARTIAL, ref->context->main, ref->context->companion, DDD_KIND_PAPER, recordId,
                          0, &rec) != DDD_OK)
        return false;
    DddPair m1{}, m2{};
    DDD_PaperMargins(rec, &m1, &m2);
    const DddPair *size = DDD_PaperSize(rec), *min = DDD_PaperMinExtent(rec), *max = DDD_PaperMaxExtent(rec);
    bool ok = size != nullptr;
    LONG w = ok ? size->first : 0, l = ok ? size->second : 0;
    if (ok && custom)
        ok = CNF_GetPaperExtent(ref, WORD(code), &w, &l) == 0;
    if (ok) {
        w -= LONG(m1.first) + LONG(m2.first);
        l -= LONG(m1.second) + LONG(m2.second);
        if (custom && min && max) {
            w = w < min->first ? min->first : (w > max->first ? max->first : w);
            l = l < min->second ? min->second : (l > max->second ? max->second : l);
        }
    }
    DDD_FreeRecord(&rec, -1);
    *width = w;
    *length = l;
    return ok;
}

} // namespace

WORD CNF_ApplyRuleList(WORD forward, const SettingsRef *ref, WORD **changed, WORD *count, WORD n, const WORD *ruleIds)
{
    if (!ref || !ref->context || (n > 0 && !ruleIds))
        return CNF_FAIL;
    bool any = false;
    for (WORD i = 0; i < n; ++i) {
        ModelRecord *rec = nullptr;
        if (DDD_GetRecordById(DDD_PARSE_FULL, ref->context->main, ref->context->companion,
                              forward == 1 ? DDD_KIND_RULE : DDD_KIND_REVERSE_RULE, ruleIds[i], 0, &rec) != DDD_OK)
            return CNF_FAIL;
        WORD r = CNF_ApplyRuleActions(ref, reinterpret_cast<DddRuleRecord *>(rec), changed, count);
        DDD_FreeRecord(&rec, -1);
        if (r == CNF_CHANGED)
            any = true;
        else if (r != CNF_NOTHING_CHANGED)
            return CNF_FAIL;
    }
    return any ? CNF_CHANGED : CNF_NOTHING_CHANGED;
}

WORD CNF_ApplyValueList(const SettingsRef *ref, WORD **changed, WORD *count, WORD n, const CnfValue *items)
{
    if (!ref || (n > 0 && !items))
        return CNF_FAIL;
    if (n == 0)
        return CNF_NOTHING_CHANGED;
    for (WORD i = 0; i < n; ++i) {
        if (CNF_SetValue(ref, &items[i]) != 0)
            return CNF_FAIL;
        if (changed && count) {
            WORD r = CNF_AddUniqueId(items[i].id, CNF_ACTIONS_INLINE, changed, count);
            if (r != 0)
                return r;
        }
    }
    return CNF_CHANGED;
}

void CNF_FreeProposal(CnfProposal *proposal)
{
    if (!proposal)
        return;
    for (WORD i = 0; proposal->items && i < proposal->count; ++i)
        GlobalFree(proposal->items[i].value);
    GlobalFree(proposal->items);
    GlobalFree(proposal->before);
    GlobalFree(proposal->after);
    *proposal = CnfProposal{};
}

WORD CNF_ProposeDependentValues(HANDLE printer, const SettingsRef *ref, const CnfValue *value, CnfProposal *proposal)
{
    if (!ref || !ref->context || !value || !proposal)
        return CNF_FAIL;
    LONG number = 0;
    std::u16string name;
    auto readName = [&](WORD id) {
        CnfSetting s;
        if (cnf_Read(ref, id, &s) != DMA_OK || s.type != SVT_WSTRING)
            return false;
        name = cnf_Text(s.data());
        return true;
    };
    switch (value->id) {
    case 8:
    case 296:
    case 321: {
        if (!numberOf(ref, value, value->id, &number) || !readName(297))
            return CNF_FAIL;
        const bool applies = value->id == 296 || (value->id == 8 && number >= 307 && number <= 310) ||
                             (value->id == 321 && number == 1);
        if (!applies || name.empty())
            return 0;
        return proposeClearNames(name, proposal);
    }
    case 298: {
        if (!value->value)
            return 0;
        bool conflict = false;
        if (!stampSwitchConflicts(printer, ref, cnf_Text(cnf_ValueData(SVT_WSTRING, value->value)), &conflict))
            return CNF_FAIL;
        return conflict ? proposeSwitchOff(ref, 1333, proposal) : 0;
    }
    case 1321: {
        LONG on = 0;
        if (!value->value || cnf_ValueNumber(value->type, value->value) == 0)
            return 0;
        if (!cnf_ReadNumber(ref, 1333, &on))
            return CNF_FAIL;
        if (!CNF_IsMonitorDefaultOn(ref->context) || on == 0)
            return 0;
        return proposeSwitchOff(ref, 1333, proposal);
    }
    case 1333: {
        LONG monitor = 0;
        if (!value->value)
            return 0;
        if (!cnf_ReadNumber(ref, 1321, &monitor) || !readName(1857))
            return CNF_FAIL;
        const bool on = cnf_ValueNumber(value->type, value->value) != 0;
        /* With a monitor text the stamp names are cleared; the proposal shows the stamp name. */
        if (on && !name.empty())
            return readName(297) ? proposeClearNames(name, proposal) : CNF_FAIL;
        if (!on || monitor == 0 || !CNF_IsMonitorDefaultOn(ref->context))
            return 0;
        std::u16string label, onText, offText;
        if (!cnf_LoadString(2016, &label) || !cnf_LoadString(2017, &onText) || !cnf_LoadString(2018, &offText))
            return CNF_FAIL;
        const DWORD off = 0;
        ProposalBuilder b;
        b.texts(cnf_FormatString(706, label.c_str(), onText.c_str()),
                cnf_FormatString(706, label.c_str(), offText.c_str()));
        b.item(1321, SVT_FLAG, 4, &off, 4);
        return b.finish(proposal);
    }
    default: return CNF_FAIL;
    }
}

WORD CNF_CheckLayoutFit(const SettingsRef *ref, const CnfValue *value, WORD **list)
{
    if (!ref || !ref->context || !list)
        return CNF_FAIL;
    *list = nullptr;
    LONG layout = 0, fold = 0, poster = 0, scale = 0, paperA = 0, paperB = 0;
    if (!numberOf(ref, value, 296, &layout) || !numberOf(ref, value, 321, &fold) ||
        !numberOf(ref, value, 1281, &poster))
        return CNF_FAIL;
    if (fold != 1 || poster == 0)
        return 0;
    if (!numberOf(ref, value, 263, &scale) || !numberOf(ref, value, 262, &paperA) || !numberOf(ref, value, 8, &paperB))
        return CNF_FAIL;
    if (paperA == kSameAsOutputPaper)
        paperA = paperB;
    LONG wA = 0, lA = 0, wB = 0, lB = 0;
    if (!printableExtent(ref, paperA, &wA, &lA) || !printableExtent(ref, paperB, &wB, &lB))
        return CNF_FAIL;
    const LONGLONG h = (layout >> 8) & 0xFF, l = layout & 0xFF, s = scale;
    LONGLONG x = 0, y = 0;
    if (layout == 0x102) {
        x = LONGLONG(lA) * h * 100 - s * wB;
        y = LONGLONG(wA) * l * 100 - s * lB;
    } else {
        x = LONGLONG(wA) * h * 100 - s * wB;
        y = LONGLONG(lA) * l * 100 - s * lB;
    }
    WORD result = (x < 0 || y < 0) ? 13 : 0;
    if (layout == 0x102) {
        if (y > LONGLONG(wA) * 100)
            result = 14;
    } else if (x >= LONGLONG(wA) * 100 && y >= LONGLONG(lA) * 100) {
        result = 14;
    }
    if (result == 0)
        return 0;
    static constexpr WORD kConcerned[] = {8, 262, 296, 1281, 263};
    auto *out = static_cast<WORD *>(GlobalAlloc(GPTR, (std::size(kConcerned) + 1) * sizeof(WORD)));
    if (!out)
        return CNF_FAIL;
    size_t n = 0;
    for (WORD id : kConcerned)
        if (!value || id != value->id)
            out[n++] = id;
    *list = out;
    return result;
}

namespace {

/* The tray for output selector 0 by finisher kind. */
WORD trayForFinisher(LONG finisher, LONG staple, LONG sorter, LONG offsetClear, bool booklet, LONG fold,
                     LONG bind, LONG second)
{
    const bool bookletFold = (fold == 2 && booklet) || bind == 4 || bind == 5;
    const bool offset = sorter != 0 && offsetClear == 0;
    switch (finisher) {
    case 0: return second != 0 ? 26 : 1;
    case 1:
    case 2:
        if ((staple != 0 && staple != 11) || offset)
            return 12;
        return finisher == 2 ? 24 : 1;
    case 3:
        if (staple == 11 || (staple == 0 && bookletFold))
            return 21;
        return staple != 0 ? 12 : 23;
    case 4:
        if (staple == 11 || (staple == 0 && bookletFold))
            return 21;
        if (staple != 0)
            return 12;
        if (bind == 2 || bind == 3)
            return 20;
        return offset ? 12 : 1;
    default: return 1;
    }
}

} // namespace

BOOL CNF_SelectOutputTray(ModelContext *context, void *image, void *printerData, CnfNumber *out)
{
    if (!context || !image || !printerData)
        return FALSE;
    const SettingsRef ref{context, image, printerData};
    LONG current = 0, finisher = 0, selector = 0, v4098 = 0, v331 = 0, staple = 0, fold = 0, bookletValue = 0,
         punch = 0, bind = 0, v4126 = 0;
    const bool cap45 = MDL_HasCapability(context->main, MDL_CAP_BIT(45)) != 0;
    if (!cnf_ReadNumber(&ref, 266, &current) || !cnf_ReadNumber(&ref, 4359, &finisher) ||
        !cnf_ReadNumber(&ref, 444, &selector) || !cnf_ReadNumber(&ref, 4098, &v4098) ||
        !cnf_ReadNumber(&ref, 331, &v331) || !cnf_ReadNumber(&ref, 320, &staple) ||
        !cnf_ReadNumber(&ref, 321, &fold) || !cnf_ReadNumber(&ref, cap45 ? 465 : 1328, &bookletValue) ||
        !cnf_ReadNumber(&ref, 341, &punch) || !cnf_ReadNumber(&ref, 448, &bind) ||
        !cnf_ReadNumber(&ref, 4126, &v4126))
        return FALSE;
    const bool booklet = cap45 ? bookletValue == 2 : bookletValue != 0;
    WORD tray = 1;
    if (selector == 0)
        tray = trayForFinisher(finisher, staple, v331, v4098, booklet, fold, bind, v4126);
    else if (selector == 1)
        tray = 12;
    else if (selector == 2)
        tray = 15;
    else if (selector >= 3 && selector <= 12)
        tray = WORD(selector - 1);
    else if (selector == 13)
        tray = (finisher == 0 && v4126 != 0) ? 25 : 1;
    else if (selector == 14)
        tray = 23;
    CnfSetting s;
    if (cnf_Read(&ref, 266, &s) != DMA_OK)
        return FALSE;
    if (LONG(tray) != current) {
        ULONGLONG slot = 0;
        const DWORD t = tray;
        FID_CopyValue(s.type, &slot, &t);
        if (DMB_SetValue(266, image, printerData, s.type, LONG(cnf_TypeSize(s.type)), &slot) != DMA_OK)
            return FALSE;
    }
    if (out)
        *out = CnfNumber{266, s.type, tray};
    return TRUE;
}
