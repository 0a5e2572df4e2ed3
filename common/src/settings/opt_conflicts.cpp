/*
 * The conflict check of the defaults: the constraint engine's default
 * check over every setting that has an option list, one change per call,
 * with a bound on how often a setting may change (see FID_CheckDefaultConflicts
 * in tarvel/settings/fid_defaults.h).
 */
#include "opt_internal.h"

#include "tarvel/base/res_text.h"
#include "tarvel/constraints/cnf_engine.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_defaults.h"

#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/resource.h>
#include <plat/text.h>

namespace {

constexpr UINT kStrDefaultConflict = 389;
constexpr int kConflictTextChars = 109; /* at most 108 characters */
constexpr DWORD kChangesToEnter = 3;

/* The entry of `id`, else the first free one; null when the list is full. */
FidIdListEntry *entry_for(FidIdListEntry *list, WORD id)
{
    FidIdListEntry *free = nullptr;
    for (int i = 0; i < FID_ID_LIST_ENTRIES; ++i) {
        if (list[i].id == id)
            return &list[i];
        if (list[i].id == 0 && free == nullptr)
            free = &list[i];
    }
    return free;
}

/* Counts one more change of the entry's setting; the new count. */
DWORD count_change(FidIdListEntry *e, WORD id)
{
    DWORD changes = e->flag >> FID_ID_CHANGE_SHIFT;
    if (changes < 0xFFFF)
        ++changes;
    e->id = id;
    e->flag = (changes << FID_ID_CHANGE_SHIFT) | (e->flag & 0xFFFF);
    return changes;
}

void show_conflict(HMODULE resources, HWND owner, WORD id)
{
    WCHAR reason[kConflictTextChars] = {};
    if (LoadStringW(resources, kStrDefaultConflict, reason, kConflictTextChars) <= 0)
        reason[0] = 0;
    WCHAR text[1024] = {};
    wsprintfW(text, u"DDMID = 0x%0x%s", unsigned(id), reason);
    RES_MessageBox(owner, text, u"Default Set Err", MB_ICONERROR);
}

/* Outcome of one setting. */
enum class Step { Next, Changed, Failed };

Step check_setting(HMODULE resources, ModelContext *context, HANDLE printer, void *devmode, void *printerData,
                   WORD id, FidIdListEntry *idList, WORD *lastChanged, ChangeList *changes, WORD **changed)
{
    FidListCallerRecord caller{};
    OptionList *list = FID_CreateOptionList(resources, context, id, nullptr, nullptr, &caller);
    if (caller.stampNames != nullptr)
        GlobalFree(caller.stampNames);
    if (list == nullptr)
        return Step::Next;
    const WORD kind = list->uiKind;
    FID_ListFree(list);
    WORD type = 0;
    LONG size = 0;
    ULONGLONG value = 0;
    if (DMB_GetValue(id, devmode, printerData, &type, &size, &value) != DMA_OK || kind == OPT_KIND_NONE)
        return Step::Failed;
    if (kind == OPT_KIND_RANGE || kind == OPT_KIND_RANGE_EMPTY)
        return Step::Next;
    if (CNF_Evaluate(CNF_MODE_DEFAULT, printer, context, devmode, printerData, nullptr, id, type, &value, changes,
                     changed, 0) != CNF_OK)
        return Step::Failed;
    if (*changed == nullptr)
        return Step::Next;
    FidIdListEntry *e = entry_for(idList, id);
    if (e == nullptr)
        return Step::Failed;
    const DWORD count = count_change(e, id);
    if ((e->flag & FID_ID_ENTERED) != 0) {
        e->flag |= FID_ID_FLAGGED;
        GlobalFree(*changed);
        *changed = nullptr;
        return Step::Next;
    }
    if (id == *lastChanged || count >= kChangesToEnter)
        e->flag |= FID_ID_ENTERED;
    *lastChanged = id;
    return Step::Changed;
}

} // namespace

int FID_CheckDefaultConflicts(HMODULE resources, ModelContext *context, HANDLE printer, void *devmode,
                              void *printerData, void **bufferToFree, HWND owner, FidIdListEntry *idList,
                              WORD *lastChanged)
{
    if (idList == nullptr || lastChanged == nullptr)
        return FID_CONFLICTS_FAILED;
    if (bufferToFree != nullptr && *bufferToFree != nullptr) {
        GlobalFree(*bufferToFree);
        *bufferToFree = nullptr;
    }
    for (int i = 0; i < FID_ID_LIST_ENTRIES; ++i)
        idList[i].flag &= ~FID_ID_FLAGGED;
    ChangeList *changes = CNF_NewChangeList();
    if (changes == nullptr)
        return FID_CONFLICTS_FAILED;
    int result = FID_CONFLICTS_NONE;
    for (DWORD group = 0; group < FID_SCHEMA_GROUP_COUNT && result == FID_CONFLICTS_NONE; ++group) {
        const SettingDescriptorRow *rows = nullptr;
        WORD count = 0;
        if (!FID_GetGroup(group, &rows, &count, nullptr)) {
            result = FID_CONFLICTS_FAILED;
            break;
        }
        for (WORD i = 0; i < count; ++i) {
            WORD *changed = nullptr;
            const Step step = check_setting(resources, context, printer, devmode, printerData, rows[i].id, idList,
                                            lastChanged, changes, &changed);
            if (step == Step::Next)
                continue;
            if (step == Step::Changed) {
                result = FID_CONFLICTS_AGAIN;
                if (bufferToFree != nullptr)
                    *bufferToFree = changed;
                else
                    GlobalFree(changed);
            } else {
                result = FID_CONFLICTS_FAILED;
                if (changed != nullptr)
                    GlobalFree(changed);
            }
            break;
        }
    }
    CNF_FreeChangeList(changes);
    if (result != FID_CONFLICTS_NONE)
        return result;
    for (int i = 0; i < FID_ID_LIST_ENTRIES; ++i) {
        if ((idList[i].flag & FID_ID_FLAGGED) != 0) {
            show_conflict(resources, owner, idList[i].id);
            return FID_CONFLICTS_FAILED;
        }
    }
    return FID_CONFLICTS_NONE;
}
