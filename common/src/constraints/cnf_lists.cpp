/*
 * List texts of the conflict messages: the settings that stand in the way
 * (conflict list), the settings the fired rules would change (change list)
 * and a given list of settings with their current values (settings list).
 * Each line joins a setting's name and value text through resource string
 * 706; a setting is named once; a list names at most 20 settings.
 */
#include "cnf_internal.h"
#include "cnf_messages.h"

#include <tarvel/base/res_format.h>
#include <tarvel/model_data/mdl_lookup.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>
#include <vector>

namespace {

constexpr WORD kRelationSettings[12] = {8, 262, 13, 265, 389, 266, 410, 411, 407, 408, 409, 333};

bool isAnnotation(WORD id) { return id >= 1296 && id <= 1301; }

/* A list text under construction. */
struct Lines {
    HMODULE module;
    const SettingsRef *ref;
    const DWORD *unitOptions;
    BOOL withRange;
    std::u16string text = {};
    std::vector<WORD> named = {};
    bool annotationNamed = false;
    bool failed = false;

    bool full() const { return named.size() >= size_t(CNF_LIST_MAX); }
    bool has(WORD id) const
    {
        for (WORD n : named)
            if (n == id)
                return true;
        return false;
    }
    /* Adds a line for `id` with `value` (the value's bytes; strings: a pointer to the text pointer). */
    void add(WORD id, const void *value)
    {
        if (failed || full() || has(id))
            return;
        if (isAnnotation(id)) {
            if (annotationNamed)
                return;
            annotationNamed = true;
        }
        named.push_back(id);
        std::u16string name, valueText, line;
        if (!cnf_ValueText(FALSE, module, ref, id, nullptr, unitOptions, &name)) {
            failed = true;
            return;
        }
        if (!name.empty() && name[0] == u'!')
            return;
        if (!cnf_ValueText(withRange, module, ref, id, value, unitOptions, &valueText)) {
            failed = true;
            return;
        }
        std::u16string format;
        if (!cnf_LoadFrom(module, 706, &format)) {
            failed = true;
            return;
        }
        WCHAR buffer[CNF_MESSAGE_CHARS];
        RES_FormatMessage(buffer, CNF_MESSAGE_CHARS, format.c_str(), name.c_str(), valueText.c_str());
        if (!text.empty())
            text += u"\n";
        text += buffer;
    }
    /* Adds a line with the setting's current value. */
    void addCurrent(WORD id)
    {
        if (failed || full() || has(id) || (isAnnotation(id) && annotationNamed))
            return;
        CnfSetting s;
        if (cnf_Read(ref, id, &s) != DMA_OK) {
            failed = true;
            return;
        }
        add(id, &s.slot);
    }
};

/* Reads forward rule n (1-based). */
DddRuleRecord *readForward(const SettingsRef *ref, WORD n)
{
    ModelRecord *rec = nullptr;
    if (DDD_GetRecordByIndex(DDD_PARSE_FULL, ref->context->main, ref->context->companion, DDD_KIND_RULE, n, &rec) !=
        DDD_OK)
        return nullptr;
    return reinterpret_cast<DddRuleRecord *>(rec);
}

void freeRule(DddRuleRecord *rule)
{
    ModelRecord *rec = reinterpret_cast<ModelRecord *>(rule);
    DDD_FreeRecord(&rec, -1);
}

} // namespace

bool cnf_ConflictListText(HMODULE module, const SettingsRef *ref, const CnfValue *value, const ChangeList *list,
                          const DWORD unitOptions[2], std::u16string *out)
{
    Lines lines{module, ref, unitOptions, TRUE};
    for (WORD i = 0; i < list->forwardCount && !lines.failed; ++i) {
        DddRuleRecord *rule = readForward(ref, list->forward[i]);
        if (!rule)
            return false;
        if (rule->flags != 4) {
            ChangeList scratch{};
            CNF_InitChangeList(&scratch);
            CnfIds groups(CNF_CHANGED_INLINE);
            const CnfWalk walk{CNF_MODE_TEST, nullptr, ref, value, &scratch, &groups};
            const WORD r = cnf_SearchGroups(walk, rule);
            CNF_ResetChangeList(&scratch);
            if (r == CNF_HARD_FAIL || r == CNF_HARD_NO_MEMORY) {
                freeRule(rule);
                return false;
            }
            for (WORD g = 0; g < groups.count; ++g) {
                const WORD id = groups.list[g];
                bool sizeEntry = false;
                for (WORD e = 0; e < rule->involved.count; ++e)
                    sizeEntry = sizeEntry || (rule->involved.items[e].setting.settingId == id &&
                                              rule->involved.items[e].setting.op == 9);
                if (id == value->id || sizeEntry || id == 342 || id == 343)
                    continue;
                lines.addCurrent(id);
            }
        }
        freeRule(rule);
    }
    for (WORD b = 0; b < 12; ++b)
        if ((list->relationBits & (1u << b)) && kRelationSettings[b] != value->id)
            lines.addCurrent(kRelationSettings[b]);
    if (lines.failed)
        return false;
    *out = lines.text;
    return true;
}

bool cnf_ChangeListText(HMODULE module, const SettingsRef *ref, const ChangeList *list, SHORT onlyKind,
                        const DWORD unitOptions[2], std::u16string *out)
{
    struct Change {
        WORD id;
        WORD type;
        ULONGLONG slot;
        std::u16string text;
    };
    std::vector<Change> changes;
    bool annotation = false;
    for (WORD i = 0; i < list->forwardCount; ++i) {
        DddRuleRecord *rule = readForward(ref, list->forward[i]);
        if (!rule)
            return false;
        if (onlyKind >= 0 && SHORT(rule->flags & CNF_RULE_OUTCOME_MASK) != onlyKind) {
            freeRule(rule);
            continue;
        }
        for (WORD a = 0; a < rule->actions.count; ++a) {
            const DddSettingItem &action = rule->actions.items[a];
            const WORD id = action.settingId;
            if (id == 346 || id == 348 || id == 8205 || id == 391 || id == 342 || id == 343)
                continue;
            Change c{id, action.value.type, 0, {}};
            if (!action.value.data) {
                freeRule(rule);
                return false;
            }
            if (c.type == SVT_WSTRING) {
                c.text = cnf_Text(action.value.data);
            } else {
                const DWORD size = cnf_TypeSize(c.type);
                if (size == 0 || action.value.length < size) {
                    freeRule(rule);
                    return false;
                }
                std::memcpy(&c.slot, action.value.data, size);
                const WORD special = (c.type == SVT_INT16 || c.type == SVT_UINT16) ? WORD(c.slot) : 0;
                if (special == 0x8000 || special == 0x8001) {
                    void *block = nullptr;
                    WORD type = 0;
                    if (DDD_GetDefaultById(ref->context->main, ref->context->companion,
                                           special == 0x8000 ? id : WORD(8), &block, &type) != DDD_OK ||
                        !block) {
                        GlobalFree(block);
                        freeRule(rule);
                        return false;
                    }
                    c.slot = 0;
                    std::memcpy(&c.slot, block, size);
                    GlobalFree(block);
                }
            }
            Change *listed = nullptr;
            for (Change &x : changes)
                if (x.id == id)
                    listed = &x;
            if (listed) {
                if (rule->flags == 4) {
                    if (listed->type != c.type) {
                        freeRule(rule);
                        return false;
                    }
                    *listed = c;
                }
                continue;
            }
            if (isAnnotation(id)) {
                if (annotation)
                    continue;
                annotation = true;
            }
            if (changes.size() < size_t(CNF_LIST_MAX))
                changes.push_back(c);
        }
        freeRule(rule);
    }
    Lines lines{module, ref, unitOptions, FALSE};
    for (Change &c : changes) {
        LPCWSTR text = c.text.c_str();
        lines.add(c.id, c.type == SVT_WSTRING ? static_cast<const void *>(&text) : &c.slot);
    }
    if (lines.failed)
        return false;
    *out = lines.text;
    return true;
}

bool cnf_SettingsListText(HMODULE module, const SettingsRef *ref, const WORD *ids, WORD count,
                          const DWORD unitOptions[2], std::u16string *out)
{
    LONG v5202 = 0;
    const bool hide270 = cnf_ReadNumber(ref, 5202, &v5202) && v5202 == 1;
    Lines lines{module, ref, unitOptions, FALSE};
    for (WORD i = 0; (count == 0 ? ids[i] != 0 : i < count) && !lines.failed; ++i) {
        const WORD id = ids[i];
        if (id == 346 || id == 348 || id == 8205 || id == 443 || id == 342 || id == 343 || (id == 270 && hide270))
            continue;
        lines.addCurrent(id);
    }
    if (lines.failed)
        return false;
    *out = lines.text;
    return true;
}
