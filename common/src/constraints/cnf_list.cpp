/*
 * Change lists: the growing identifier lists, copies that own their blocks,
 * and the outcome priority merge.
 */
#include "cnf_internal.h"

#include <plat/memory.h>

#include <cstring>

namespace {

struct Priority {
    SHORT kind;
    int priority;
};

constexpr Priority kPriorities[] = {{6, 900},  {1, 800},  {7, 700},  {8, 600},  {15, 590}, {14, 580},
                                    {12, 555}, {10, 550}, {13, 545}, {11, 540}, {2, 500},  {5, 400},
                                    {3, 300},  {9, 270},  {4, 200},  {0, 100}};

/* Whether a list with `count` entries lives in a grown block. */
bool isGrown(WORD inlineCapacity, WORD count) { return count > inlineCapacity; }

/* Copies one list of `source` into `list` (whose pointer is on its inline entries); 0 or 2. */
WORD copyIds(WORD inlineCapacity, WORD *inlineEntries, WORD **list, WORD *count, const WORD *source, WORD n)
{
    *list = inlineEntries;
    *count = 0;
    if (n == 0 || source == nullptr)
        return 0;
    if (!isGrown(inlineCapacity, n)) {
        std::memcpy(inlineEntries, source, size_t(n) * sizeof(WORD));
        *count = n;
        return 0;
    }
    /* The copy gets the capacity the source's count implies. */
    const DWORD capacity = inlineCapacity + ((n - inlineCapacity + CNF_GROWTH_STEP - 1) / CNF_GROWTH_STEP) *
                                                CNF_GROWTH_STEP;
    auto *block = static_cast<WORD *>(GlobalAlloc(GPTR, size_t(capacity) * sizeof(WORD)));
    if (!block)
        return CNF_NO_MEMORY;
    std::memcpy(block, source, size_t(n) * sizeof(WORD));
    *list = block;
    *count = n;
    return 0;
}

} // namespace

void CNF_InitChangeList(ChangeList *list)
{
    if (!list)
        return;
    if (!isGrown(CNF_FIRED_INLINE, list->forwardCount))
        list->forward = list->forwardInline;
    if (!isGrown(CNF_FIRED_INLINE, list->reverseCount))
        list->reverse = list->reverseInline;
    if (!isGrown(CNF_INVOLVED_INLINE, list->involvedCount))
        list->involved = list->involvedInline;
}

ChangeList *CNF_NewChangeList(void)
{
    auto *list = static_cast<ChangeList *>(GlobalAlloc(GPTR, sizeof(ChangeList)));
    CNF_InitChangeList(list);
    return list;
}

void CNF_FreeGrownIds(WORD inlineCapacity, WORD *list, WORD count)
{
    if (list && isGrown(inlineCapacity, count))
        GlobalFree(list);
}

void CNF_ResetChangeList(ChangeList *list)
{
    if (!list)
        return;
    CNF_FreeGrownIds(CNF_FIRED_INLINE, list->forward, list->forwardCount);
    CNF_FreeGrownIds(CNF_FIRED_INLINE, list->reverse, list->reverseCount);
    CNF_FreeGrownIds(CNF_INVOLVED_INLINE, list->involved, list->involvedCount);
    std::memset(list, 0, sizeof(ChangeList));
    CNF_InitChangeList(list);
}

void CNF_FreeChangeList(ChangeList *list)
{
    if (!list)
        return;
    CNF_ResetChangeList(list);
    GlobalFree(list);
}

WORD CNF_CopyChangeList(ChangeList *list, const ChangeList *source)
{
    if (!list || !source)
        return CNF_FAIL;
    if (list == source)
        return 0;
    CNF_ResetChangeList(list);
    list->reserved = source->reserved;
    list->outcome = source->outcome;
    list->relationBits = source->relationBits;
    WORD r = copyIds(CNF_FIRED_INLINE, list->forwardInline, &list->forward, &list->forwardCount, source->forward,
                     source->forwardCount);
    if (r == 0)
        r = copyIds(CNF_FIRED_INLINE, list->reverseInline, &list->reverse, &list->reverseCount, source->reverse,
                    source->reverseCount);
    if (r == 0)
        r = copyIds(CNF_INVOLVED_INLINE, list->involvedInline, &list->involved, &list->involvedCount,
                    source->involved, source->involvedCount);
    if (r != 0)
        CNF_ResetChangeList(list);
    return r;
}

void cnf_MoveChangeList(ChangeList *list, ChangeList *source)
{
    CNF_ResetChangeList(list);
    std::memcpy(list, source, sizeof(ChangeList));
    CNF_InitChangeList(list);
    std::memset(source, 0, sizeof(ChangeList));
    CNF_InitChangeList(source);
}

WORD CNF_AddUniqueId(WORD id, WORD inlineCapacity, WORD **list, WORD *count)
{
    if (!list || !count || !*list)
        return CNF_FAIL;
    WORD *entries = *list;
    const WORD n = *count;
    for (WORD i = 0; i < n; ++i)
        if (entries[i] == id)
            return 0;
    if (n >= inlineCapacity && (n - inlineCapacity) % CNF_GROWTH_STEP == 0) {
        if (n > 0xFFFF - CNF_GROWTH_STEP)
            return CNF_NO_MEMORY;
        auto *block = static_cast<WORD *>(GlobalAlloc(GPTR, (size_t(n) + CNF_GROWTH_STEP) * sizeof(WORD)));
        if (!block)
            return CNF_NO_MEMORY;
        if (n > 0)
            std::memcpy(block, entries, size_t(n) * sizeof(WORD));
        CNF_FreeGrownIds(inlineCapacity, entries, n);
        entries = block;
        *list = block;
    }
    entries[n] = id;
    *count = static_cast<WORD>(n + 1);
    return 0;
}

WORD CNF_AddUniqueIds(WORD inlineCapacity, WORD **list, WORD *count, const WORD *values, WORD n)
{
    if (n == 0 || !values)
        return 0;
    for (WORD i = 0; i < n; ++i) {
        WORD r = CNF_AddUniqueId(values[i], inlineCapacity, list, count);
        if (r != 0)
            return r;
    }
    return 0;
}

int CNF_OutcomePriority(SHORT kind)
{
    for (const Priority &p : kPriorities)
        if (p.kind == kind)
            return p.priority;
    return 0;
}

void CNF_MergeOutcomeKind(SHORT *outcome, SHORT kind)
{
    if (!outcome || kind == 0)
        return;
    const int next = CNF_OutcomePriority(kind);
    if (next == 0)
        return;
    if (next > CNF_OutcomePriority(*outcome))
        *outcome = kind;
}

/* --- Identifier lists with inline entries ---------------------------------- */

CnfIds::CnfIds(WORD inlineCapacity) : capacity(inlineCapacity), count(0), list(entries)
{
    std::memset(entries, 0, sizeof entries);
}

CnfIds::~CnfIds() { clear(); }

WORD CnfIds::add(WORD id) { return CNF_AddUniqueId(id, capacity, &list, &count); }

void CnfIds::clear()
{
    CNF_FreeGrownIds(capacity, list, count);
    list = entries;
    count = 0;
}

bool CnfIds::contains(WORD id) const
{
    for (WORD i = 0; i < count; ++i)
        if (list[i] == id)
            return true;
    return false;
}
