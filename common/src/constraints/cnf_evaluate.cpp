/*
 * The evaluation: built-in rules first, then the model's forward and
 * reverse rules of the owner record (the option of the value, or the
 * feature), each rule's alternatives, its main condition and the search for
 * a group of involved entries that holds.
 */
#include "cnf_internal.h"

#include <tarvel/model_data/mdl_lookup.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/setting_layout.h>

#include <plat/memory.h>

#include <cstring>

namespace {

constexpr BYTE kOpEqual = 1;
constexpr BYTE kOpNotEqual = 2;

constexpr BYTE kConnOr = 2;

bool endsGroup(BYTE connector) { return connector == 3 || connector == 4; }

WORD hardToCode(WORD r) { return r == CNF_HARD_NO_MEMORY ? CNF_NO_MEMORY : CNF_FAIL; }

bool isHard(WORD r) { return r == CNF_HARD_FAIL || r == CNF_HARD_NO_MEMORY; }

WORD addInvolved(ChangeList *list, WORD id)
{
    return CNF_AddUniqueId(id, CNF_INVOLVED_INLINE, &list->involved, &list->involvedCount) == 0 ? 0
                                                                                               : CNF_HARD_NO_MEMORY;
}

/* The value under test as compared: its data and type, or the current value read raw. */
struct TestValue {
    WORD type = 0;
    const void *data = nullptr;
    CnfSetting current;
};

WORD testValue(const CnfWalk &w, TestValue *out)
{
    if (w.value->value) {
        out->type = w.value->type;
        out->data = cnf_ValueData(w.value->type, w.value->value);
        return 0;
    }
    WORD status = cnf_Read(w.ref, w.value->id, &out->current);
    if (status != 0)
        return CNF_HARD_FAIL;
    out->type = out->current.type;
    out->data = out->current.data();
    return 0;
}

/* The address of element i of a condition value (strings hold one text). */
const void *elementAt(const DddValue &v, DWORD i)
{
    if (!v.data)
        return nullptr;
    if (v.type == SVT_WSTRING)
        return i == 0 ? v.data : nullptr;
    return static_cast<const BYTE *>(v.data) + size_t(i) * v.length;
}

/* Whether a kind-1 conflict of its own stands on setting `id` (a mode-0 evaluation of its current value). */
WORD hasOwnConflict(const CnfWalk &w, WORD id, bool *conflict)
{
    *conflict = false;
    ChangeList probe{};
    CNF_InitChangeList(&probe);
    WORD r = CNF_Evaluate(CNF_MODE_TEST, w.printer, w.ref->context, w.ref->image, w.ref->printerData, nullptr, id, 0,
                          nullptr, &probe, nullptr, 0);
    *conflict = r == 0 && probe.outcome == 1;
    CNF_ResetChangeList(&probe);
    if (r == CNF_NO_MEMORY)
        return CNF_HARD_NO_MEMORY;
    return 0;
}

} // namespace

/*
 * Searches the involved entries of a forward rule for a group that holds:
 * 1 a group completed, 0 none, CNF_HARD_* on failure.
 */
WORD cnf_SearchGroups(const CnfWalk &w, const DddRuleRecord *rule)
{
    /* Indices are 32-bit: stepping past the last of 65535 entries must not wrap to the first. */
    const DWORD n = rule->involved.count;
    const DddConditionItem *items = rule->involved.items;
    CnfIds group(CNF_CHANGED_INLINE);
    WORD groupBits = 0;
    bool fired = false;
    DWORD i = 0;
    while (i < n) {
        const DddConditionItem &e = items[i];
        WORD bits = 0;
        WORD h = cnf_TestEntry(w, e.setting, &bits);
        if (isHard(h))
            return h;
        DWORD complete = 0;
        if (h == 1) {
            if (group.add(e.setting.settingId) != 0)
                return CNF_HARD_NO_MEMORY;
            groupBits |= bits;
            if (endsGroup(e.connector)) {
                complete = i;
            } else if (e.connector == kConnOr) {
                DWORD j = i + 1;
                while (j < n && items[j].connector == kConnOr)
                    ++j;
                if (j < n && endsGroup(items[j].connector)) {
                    complete = j;
                } else {
                    i = j + 1; /* the entry reached is passed over untested */
                    continue;
                }
            } else {
                ++i;
                continue;
            }
        } else {
            if (e.connector == kConnOr) {
                ++i;
                continue;
            }
            DWORD k = i;
            while (k < n && !endsGroup(items[k].connector))
                ++k;
            if (k == n)
                k = i;
            groupBits = 0;
            if (w.changed)
                group.clear();
            i = k + 1;
            continue;
        }
        /* A group completed at `complete`. */
        bool discard = false;
        if (w.mode == CNF_MODE_CHECK) {
            for (WORD g = 0; g < group.count && !discard; ++g) {
                WORD r = hasOwnConflict(w, group.list[g], &discard);
                if (r != 0)
                    return r;
            }
        }
        if (!discard) {
            w.list->relationBits |= groupBits;
            fired = true;
            if (!w.changed)
                return 1;
            if (cnf_AddAll(w.changed, group) != 0)
                return CNF_HARD_NO_MEMORY;
        }
        group.clear();
        i = complete + 1;
    }
    return fired ? 1 : 0;
}

namespace {

/* The replacement search of one rule: 1 fires, 0 not, CNF_HARD_* on failure. */
WORD searchReplacement(const CnfWalk &w, bool reverse, const DddRuleRecord *rule)
{
    if (cnf_ModeSkips(w.mode, rule->flags))
        return 0;
    if (reverse) {
        WORD bits = 0;
        WORD h = cnf_TestEntry(w, rule->condition, &bits);
        if (isHard(h))
            return h;
        if (w.changed && w.changed->add(rule->condition.settingId) != 0)
            return CNF_HARD_NO_MEMORY;
        return h == 1 ? 0 : 1;
    }
    return cnf_SearchGroups(w, rule);
}

/*
 * One alternative of a rule: 3 fires without entries, 1 fires, 0 not
 * involved, 2 the main condition does not apply, CNF_HARD_* on failure.
 */
WORD evaluateRule(const CnfWalk &w, bool collect, bool reverse, const DddRuleRecord *rule, const void *alternative)
{
    if (rule->involved.count == 0)
        return 3;
    if (collect) {
        if (reverse) {
            if (addInvolved(w.list, rule->condition.settingId) != 0)
                return CNF_HARD_NO_MEMORY;
        } else {
            for (WORD i = 0; i < rule->involved.count; ++i)
                if (addInvolved(w.list, rule->involved.items[i].setting.settingId) != 0)
                    return CNF_HARD_NO_MEMORY;
            const WORD *ids = nullptr;
            const WORD n = cnf_RelationSettings(rule->flags, &ids);
            for (WORD i = 0; i < n; ++i)
                if (addInvolved(w.list, ids[i]) != 0)
                    return CNF_HARD_NO_MEMORY;
        }
    }
    const DddSettingItem &c = rule->condition;
    if (c.value.count > 0) {
        if (c.settingId != w.value->id)
            return 2;
        /* Elements shorter than their type do not compare (nothing is read past them). */
        if (c.value.length < cnf_TypeSize(c.value.type))
            return 2;
        TestValue t;
        if (testValue(w, &t) != 0)
            return 2;
        WORD cmp = CNF_CompareValues(c.op, c.value.type, alternative, t.type, t.data);
        if (cmp == CNF_CMP_DIFFERS)
            return 0;
        if (cmp != CNF_CMP_HOLDS)
            return 2;
    }
    return searchReplacement(w, reverse, rule);
}

/* Whether the rule's relation code names a relation check. */
bool hasRelation(WORD flags)
{
    switch (flags & CNF_RULE_RELATION_MASK) {
    case 0x400:
    case 0x800:
    case 0xC00:
    case 0x1000:
    case 0x1400:
    case 0x1800:
    case 0x1C00:
    case 0x2000:
    case 0x2400: return true;
    default: return false;
    }
}

/* Whether any alternative of the rule fires: 1 fires, 0 not, CNF_HARD_* on failure. */
WORD ruleFires(const CnfWalk &w, bool collect, bool reverse, const DddRuleRecord *rule)
{
    const DddSettingItem &c = rule->condition;
    const DddValue &v = c.value;
    DWORD first = 0, count = v.count;
    if (v.count == 0) {
        count = (c.op == 0 || c.op == kOpNotEqual) ? 1 : 0;
    } else if (v.count > 1 && v.length == 2 && c.op == kOpEqual && v.type != SVT_WSTRING) {
        TestValue t;
        if (testValue(w, &t) != 0 || !t.data || cnf_TypeSize(t.type) == 0)
            return 0;
        const WORD want = WORD(cnf_ValueNumber(t.type, t.data));
        count = 0;
        for (DWORD i = 0; i < v.count; ++i) {
            if (plat::load<WORD>(elementAt(v, i)) == want) {
                first = i;
                count = 1;
                break;
            }
        }
    }
    const WORD before = w.list->relationBits;
    for (DWORD i = first; i < first + count; ++i) {
        WORD r = evaluateRule(w, collect, reverse, rule, v.count ? elementAt(v, i) : nullptr);
        if (isHard(r))
            return r;
        if ((r == 1 || r == 3) && hasRelation(rule->flags)) {
            r = cnf_CheckRelation(w, rule->flags);
            /* A relation in range takes back the bits this rule's groups set; other rules' bits stay. */
            if (r == 0)
                w.list->relationBits = before;
        }
        if (isHard(r))
            return r;
        if (r == 1 || r == 3)
            return 1;
    }
    return 0;
}

/* Walks one list of rule references; 0, 1 or 2. */
WORD walkRules(const CnfWalk &w, bool collect, bool reverse, const DddWordList &refs, CnfIds *applied)
{
    ModelContext *ctx = w.ref->context;
    for (WORD i = 0; i < refs.count; ++i) {
        const WORD index = refs.items[i].value;
        ModelRecord *rec = nullptr;
        WORD r = DDD_GetRecordByIndex(DDD_PARSE_FULL, ctx->main, ctx->companion,
                                      reverse ? DDD_KIND_REVERSE_RULE : DDD_KIND_RULE, index, &rec);
        if (r != DDD_OK || !rec)
            return r == DDD_ERR_NO_MEMORY ? CNF_NO_MEMORY : CNF_FAIL;
        auto *rule = reinterpret_cast<DddRuleRecord *>(rec);
        if (DDD_ResolveValueArray(rule->condition.head.reader, &rule->condition) != DDD_OK) {
            DDD_FreeRecord(&rec, -1);
            continue;
        }
        WORD fires = ruleFires(w, collect, reverse, rule);
        WORD result = 0;
        if (isHard(fires)) {
            result = hardToCode(fires);
        } else if (fires == 1) {
            if (collect) {
                result = reverse ? CNF_AddUniqueId(index, CNF_FIRED_INLINE, &w.list->reverse, &w.list->reverseCount)
                                 : CNF_AddUniqueId(index, CNF_FIRED_INLINE, &w.list->forward, &w.list->forwardCount);
                if (result == 0)
                    CNF_MergeOutcomeKind(&w.list->outcome, SHORT(rule->flags & CNF_RULE_OUTCOME_MASK));
            } else {
                WORD a = CNF_ApplyRuleActions(w.ref, rule, applied ? &applied->list : nullptr,
                                              applied ? &applied->count : nullptr);
                if (a == CNF_FAIL || a == CNF_NO_MEMORY)
                    result = a;
            }
        }
        DDD_FreeRecord(&rec, -1);
        if (result != 0)
            return result;
    }
    return 0;
}

bool listHas(const WORD *ids, WORD id)
{
    for (; *ids != 0; ++ids)
        if (*ids == id)
            return true;
    return false;
}

/* The model's rules of the owner record: 0, 1, 2, or 6 when none applies. */
WORD evaluateConstraints(const CnfWalk &w, const WORD *restrictIds, const ChangeList *previous, WORD flags)
{
    if (restrictIds && restrictIds[0] != 0) {
        bool go = listHas(restrictIds, w.value->id);
        for (WORD i = 0; !go && i < previous->involvedCount; ++i)
            go = listHas(restrictIds, previous->involved[i]);
        if (!go)
            return CNF_NO_RULE;
    }
    ModelContext *ctx = w.ref->context;
    const void *key = (flags & CNF_FLAG_FEATURE_RULES) ? nullptr : cnf_ValueData(w.value->type, w.value->value);
    WORD kind = 0;
    void *found = nullptr;
    WORD r = DDD_LookupById(DDD_PARSE_FULL, ctx->main, ctx->companion, w.value->id, key, &kind, &found);
    if (r == DDD_ERR_NO_MEMORY)
        return CNF_NO_MEMORY;
    if (r != DDD_OK || !found)
        return CNF_NO_RULE;
    if (kind == DDD_KIND_HEADER) {
        DDD_FreeRecord(&found, 0);
        return 0;
    }
    const DddWordList *forward = nullptr, *reverse = nullptr;
    if (kind == DDD_KIND_DEVICE_FEATURE || kind == DDD_KIND_DOCUMENT_FEATURE) {
        auto *f = static_cast<DddFeatureRecord *>(found);
        forward = &f->forwardRules;
        reverse = &f->reverseRules;
    } else if (kind == DDD_KIND_DEVICE_OPTION || kind == DDD_KIND_DOCUMENT_OPTION) {
        auto *o = static_cast<DddOptionRecord *>(found);
        forward = &o->forwardRules;
        reverse = &o->reverseRules;
    }
    WORD result = 0;
    if (forward) {
        result = walkRules(w, true, false, *forward, nullptr);
        if (result == 0)
            result = walkRules(w, true, true, *reverse, nullptr);
    }
    DDD_FreeRecord(&found, -1);
    return result;
}

} // namespace

bool cnf_ModeSkips(WORD mode, WORD flags)
{
    switch (mode) {
    case CNF_MODE_CHECK: return (flags & (CNF_RULE_SKIP_MODE2 | CNF_RULE_DEFAULT_ONLY)) != 0;
    case CNF_MODE_2: return (flags & (CNF_RULE_SKIP_MODE1 | CNF_RULE_DEFAULT_ONLY)) != 0;
    case CNF_MODE_DEFAULT: return (flags & CNF_RULE_DEFAULT_ONLY) == 0;
    default: return false;
    }
}

WORD cnf_AddAll(CnfIds *to, const CnfIds &from)
{
    for (WORD i = 0; i < from.count; ++i)
        if (to->add(from.list[i]) != 0)
            return CNF_NO_MEMORY;
    return 0;
}

WORD CNF_Evaluate(WORD mode, HANDLE printer, ModelContext *context, void *image, void *printerData,
                  const WORD *restrictIds, WORD id, WORD type, const void *value, ChangeList *list, WORD **changed,
                  WORD flags)
{
    if (changed)
        *changed = nullptr;
    if (!image || !printerData || !context || !list || !printer)
        return CNF_FAIL;

    ChangeList work{};
    CNF_InitChangeList(&work);
    if (mode == CNF_MODE_CHECK && value) {
        /* The current state first: a conflict that already stands is reported instead. */
        WORD r = CNF_CopyChangeList(&work, list);
        if (r != 0)
            return r;
        r = CNF_Evaluate(CNF_MODE_CHECK, printer, context, image, printerData, restrictIds, id, type, nullptr, &work,
                         nullptr, 0);
        if (r == 0 && (work.outcome == 1 || work.outcome == 6 || work.outcome == 7 || work.outcome == 8)) {
            work.outcome = 0;
            cnf_MoveChangeList(list, &work);
            return 0;
        }
        CNF_ResetChangeList(&work);
    }

    WORD r = CNF_CopyChangeList(&work, list);
    if (r != 0)
        return r;
    CNF_ResetChangeList(list);

    const SettingsRef ref{context, image, printerData};
    const CnfValue tested{id, type, value};
    CnfIds changes(CNF_CHANGED_INLINE);
    CnfIds *changesOrNull = changed ? &changes : nullptr;

    WORD builtIn = CNF_ApplyFeatureRules(printer, &ref, &tested, &work, list, changed ? &changes.list : nullptr,
                                         changed ? &changes.count : nullptr);
    if (builtIn != 0 && builtIn != CNF_NO_RULE) {
        CNF_ResetChangeList(&work);
        return builtIn;
    }
    const CnfWalk walk{mode, printer, &ref, &tested, list, changesOrNull};
    r = evaluateConstraints(walk, restrictIds, &work, flags);
    if (r == CNF_NO_RULE) {
        r = 0;
        if (builtIn == CNF_NO_RULE)
            cnf_MoveChangeList(list, &work);
    }
    CNF_ResetChangeList(&work);
    if (r != 0)
        return r;

    if (changed && changes.count > 0) {
        if (changes.add(id) != 0 || changes.add(0) != 0)
            return CNF_NO_MEMORY;
        auto *out = static_cast<WORD *>(GlobalAlloc(GPTR, size_t(changes.count) * sizeof(WORD)));
        if (!out)
            return CNF_NO_MEMORY;
        std::memcpy(out, changes.list, size_t(changes.count) * sizeof(WORD));
        *changed = out;
    }
    return 0;
}
