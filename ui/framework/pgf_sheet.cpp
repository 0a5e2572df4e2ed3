/*
 * One open property sheet: settings sets, sheet contexts with their working,
 * initial and last-applied sets, the per-sheet page array, and the sheet
 * state's accessors.  A copy of a set is all or nothing, so a dialog that
 * closes cannot drop its opener's fax destinations halfway.
 */
#include "pgf_sheet.h"

#include "pgf_input.h"
#include "pgf_utils.h"

#include <tarvel/base/util_text.h>
#include <tarvel/model_data/mdl_context.h>

#include <plat/memory.h>
#include <plat/sysinfo.h>

#include <cstring>

/* ---- Settings sets ----------------------------------------------------- */

BOOL PGF_InitSettingsSet(SettingsSet *set)
{
    if (!set)
        return FALSE;
    *set = SettingsSet{};
    set->settings = static_cast<BYTE *>(GlobalAlloc(GPTR, PGF_SETTINGS_BYTES));
    set->printerData = static_cast<BYTE *>(GlobalAlloc(GPTR, PGF_PRINTERDATA_BYTES));
    if (set->settings && set->printerData)
        return TRUE;
    PGF_FreeSettingsSet(set);
    return FALSE;
}

void PGF_FreeSettingsSet(SettingsSet *set)
{
    if (!set)
        return;
    GlobalFree(set->settings);
    GlobalFree(set->printerData);
    GlobalFree(set->faxList);
    *set = SettingsSet{};
}

BOOL PGF_IsSettingsSetValid(const SettingsSet *set) { return set && set->settings && set->printerData; }

BOOL PGF_CopySettingsSet(SettingsSet *target, const SettingsSet *source)
{
    if (!PGF_IsSettingsSetValid(target) || !PGF_IsSettingsSetValid(source))
        return FALSE;
    if (target == source)
        return TRUE;
    BYTE *list = nullptr;
    const WORD listSize = source->faxList ? source->faxListSize : 0;
    if (listSize) {
        list = static_cast<BYTE *>(GlobalAlloc(GMEM_FIXED, listSize));
        if (!list)
            return FALSE; /* the target keeps all it had */
        std::memcpy(list, source->faxList, listSize);
    }
    std::memcpy(target->settings, source->settings, PGF_SETTINGS_BYTES);
    std::memcpy(target->printerData, source->printerData, PGF_PRINTERDATA_BYTES);
    GlobalFree(target->faxList);
    target->faxList = list;
    target->faxListSize = listSize;
    return TRUE;
}

/* ---- Sheet contexts ---------------------------------------------------- */

SheetContext *PGF_CreateSheetContext(HWND owner, SheetState *state, const SettingsSet *set,
                                     const SettingsSet *applied)
{
    if (!state || !PGF_IsSettingsSetValid(set))
        return nullptr;
    auto *context = static_cast<SheetContext *>(GlobalAlloc(GPTR, sizeof(SheetContext)));
    if (!context)
        return nullptr;
    context->state = state;
    context->owner = owner;
    bool ok = PGF_InitSettingsSet(&context->working) && PGF_InitSettingsSet(&context->initial) &&
              PGF_CopySettingsSet(&context->working, set) && PGF_CopySettingsSet(&context->initial, set);
    if (ok && PGF_IsSettingsSetValid(applied))
        ok = PGF_InitSettingsSet(&context->lastApplied) && PGF_CopySettingsSet(&context->lastApplied, applied);
    for (PgfList *&list : context->scratchLists)
        ok = ok && (list = PGF_ListCreate()) != nullptr;
    if (ok) {
        context->states = static_cast<ControlStateLists *>(GlobalAlloc(GPTR, sizeof(ControlStateLists)));
        ok = context->states && (context->states->controlStates = PGF_ListCreate()) &&
             (context->states->itemStates = PGF_ListCreate());
    }
    if (!ok)
        PGF_FreeSheetContext(&context);
    return context;
}

void PGF_FreeSheetSets(SheetContext *context)
{
    if (!context)
        return;
    PGF_FreeSettingsSet(&context->working);
    PGF_FreeSettingsSet(&context->initial);
    PGF_FreeSettingsSet(&context->lastApplied);
}

void PGF_FreeSheetContext(SheetContext **context)
{
    if (!context || !*context)
        return;
    SheetContext *c = *context;
    PGF_FreeSheetSets(c);
    if (c->states) {
        PGF_ListDestroy(&c->states->controlStates);
        PGF_ListDestroy(&c->states->itemStates);
        GlobalFree(c->states);
    }
    for (PgfList *&list : c->scratchLists)
        PGF_ListDestroy(&list);
    GlobalFree(c);
    *context = nullptr;
}

BOOL PGF_RestoreWorking(SheetContext *context, BOOL fromInitial)
{
    if (!context)
        return FALSE;
    const bool applied = PGF_IsSettingsSetValid(&context->lastApplied);
    return PGF_CopySettingsSet(&context->working, fromInitial || !applied ? &context->initial : &context->lastApplied);
}

BOOL PGF_SnapshotApplied(SheetContext *context)
{
    if (!context)
        return FALSE;
    if (!PGF_IsSettingsSetValid(&context->lastApplied) && !PGF_InitSettingsSet(&context->lastApplied))
        return FALSE;
    return PGF_CopySettingsSet(&context->lastApplied, &context->working);
}

SheetContext *PGF_GetPageData(HWND page)
{
    return page ? reinterpret_cast<SheetContext *>(GetWindowLongPtrW(page, DWLP_USER)) : nullptr;
}

BOOL PGF_GetWorkingSettings(HWND page, BYTE **settings, BYTE **printerData)
{
    SheetContext *context = PGF_GetPageData(page);
    if (!context || !PGF_IsSettingsSetValid(&context->working))
        return FALSE;
    if (settings)
        *settings = context->working.settings;
    if (printerData)
        *printerData = context->working.printerData;
    return TRUE;
}

/* ---- Page array -------------------------------------------------------- */

PageArray *PGF_CreatePageArray(const PageRecord *const *records, LONG count)
{
    auto *array = static_cast<PageArray *>(GlobalAlloc(GPTR, sizeof(PageArray)));
    if (!array)
        return nullptr;
    array->optionCache = PGF_ListCreate();
    bool ok = array->optionCache != nullptr;
    for (LONG i = 0; ok && records && i < count; ++i) {
        const PageRecord *record = records[i];
        if (!record || !record->pageInfo || record->pageId < 0 || record->pageId > PGF_MAX_PAGE_ID ||
            array->pages[record->pageId])
            continue; /* the first record of an id stands for it */
        auto *copy = static_cast<PageInfo *>(GlobalAlloc(GPTR, sizeof(PageInfo)));
        ok = copy != nullptr;
        if (ok) {
            *copy = *record->pageInfo;
            copy->rebuild = 0;
            array->pages[record->pageId] = copy;
        }
    }
    if (!ok) {
        PGF_FreePageArray(array);
        return nullptr;
    }
    return array;
}

void PGF_FreePageArray(PageArray *array)
{
    if (!array)
        return;
    for (PageInfo *&page : array->pages)
        GlobalFree(page);
    /* Cached option lists are released by their owner's work; the cache holds only pointers here. */
    PGF_ListDestroy(&array->optionCache);
    GlobalFree(array);
}

PageInfo *PGF_GetPageInfo(HWND page, LONG pageId)
{
    SheetState *state = PGF_GetSheetState(page);
    if (!state || !state->pageArray || pageId < 0 || pageId > PGF_MAX_PAGE_ID)
        return nullptr;
    return state->pageArray->pages[pageId];
}

BOOL PGF_GetPageTable(HWND page, LONG pageId, const ControlDescriptor **controls, LONG *count)
{
    const PageInfo *info = PGF_GetPageInfo(page, pageId);
    if (controls)
        *controls = info ? info->controls : nullptr;
    if (count)
        *count = info ? LONG(info->controlCount) : -1;
    return info != nullptr;
}

const ControlDescriptor *PGF_GetPageControls(HWND page, LONG pageId)
{
    const PageInfo *info = PGF_GetPageInfo(page, pageId);
    return info ? info->controls : nullptr;
}

LONG PGF_GetPageControlCount(HWND page, LONG pageId)
{
    const PageInfo *info = PGF_GetPageInfo(page, pageId);
    return info ? LONG(info->controlCount) : -1;
}

/* ---- Accessors ---------------------------------------------------------- */

void PGF_LoadModelCaps(SheetState *state, const DWORD caps[3])
{
    if (state && caps)
        std::memcpy(state->modelCaps, caps, sizeof(state->modelCaps));
}

BOOL PGF_GetModelCaps(const SheetState *state, DWORD caps[3])
{
    if (!state || !caps)
        return FALSE;
    std::memcpy(caps, state->modelCaps, sizeof(state->modelCaps));
    return TRUE;
}

BOOL PGF_LoadLocaleUnit(SheetState *state)
{
    if (!state)
        return FALSE;
    DWORD unit = PGF_UNIT_MILLIMETRES;
    if (PGF_TestDeviceFlag(state, 0x800000)) {
        WCHAR text[4] = {};
        if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IMEASURE, text, 4) > 0 && text[0] == u'1')
            unit = PGF_UNIT_INCHES;
    }
    state->defaultUnit = unit;
    state->unitKnown = TRUE;
    state->currentUnit = SHORT(unit);
    return TRUE;
}

SHORT PGF_GetLocaleUnit(const SheetState *state) { return state ? SHORT(state->defaultUnit) : 0; }
void PGF_ResetCurrentUnit(SheetState *state)
{
    if (state)
        state->currentUnit = SHORT(state->defaultUnit);
}
void PGF_SetCurrentUnit(SheetState *state, SHORT unit)
{
    if (state)
        state->currentUnit = unit;
}
SHORT PGF_GetCurrentUnit(const SheetState *state) { return state ? state->currentUnit : 0; }
LONG PGF_GetActivePageId(const SheetState *state) { return state ? state->activePageId : -1; }
LONG PGF_GetActionDone(const SheetState *state) { return state ? state->actionDone : 0; }
void PGF_SetActionDone(SheetState *state, LONG done)
{
    if (state)
        state->actionDone = done;
}
LONG PGF_GetInitCheckDone(const SheetState *state) { return state ? state->initialCheckDone : 0; }
void PGF_SetInitCheckDone(SheetState *state)
{
    if (state)
        state->initialCheckDone = 1;
}
void PGF_ClearInitCheckDone(SheetState *state)
{
    if (state)
        state->initialCheckDone = 0;
}
LONG PGF_GetSkipCheck(const SheetState *state) { return state ? state->skipEditCheck : 0; }
void PGF_SetSkipCheck(SheetState *state, LONG skip)
{
    if (state)
        state->skipEditCheck = skip;
}
SHORT PGF_GetFieldMode(const SheetState *state) { return state ? state->fieldMode : 0; }
void PGF_SetFieldMode(SheetState *state, SHORT mode)
{
    if (state)
        state->fieldMode = mode;
}
SHORT PGF_GetPendingTitleItem(const SheetState *state) { return state ? state->pendingTitleItem : 0; }
void PGF_SetPendingTitleItem(SheetState *state, SHORT item)
{
    if (state)
        state->pendingTitleItem = item;
}

HWND PGF_GetTooltipWindow(const SheetState *state, SHORT pageKind)
{
    if (!state)
        return nullptr;
    return pageKind == PGF_KIND_TAB ? state->tabTooltip : state->otherTooltip;
}

void PGF_SetTooltipWindow(SheetState *state, SHORT pageKind, HWND tooltip)
{
    if (state)
        (pageKind == PGF_KIND_TAB ? state->tabTooltip : state->otherTooltip) = tooltip;
}

LPCWSTR PGF_GetFileDialogText(const SheetState *state) { return state ? state->fileDialogText : nullptr; }

BOOL PGF_SetFileDialogText(SheetState *state, LPCWSTR text)
{
    if (!state || !text)
        return FALSE;
    const int bytes = PGF_AnsiByteLength(text);
    if (bytes < 0 || bytes > PGF_FILE_DIALOG_CHARS - 1)
        return FALSE;
    const size_t chars = std::char_traits<char16_t>::length(text);
    if (chars >= size_t(PGF_FILE_DIALOG_CHARS))
        return FALSE;
    std::memcpy(state->fileDialogText, text, (chars + 1) * sizeof(WCHAR));
    return TRUE;
}

LPCWSTR PGF_GetHelpFile(const SheetState *state) { return state ? state->helpFile : nullptr; }

BOOL PGF_SetHelpFile(SheetState *state, LPCWSTR path)
{
    if (!state)
        return FALSE;
    state->helpFile[0] = 0;
    if (!path)
        return FALSE;
    const size_t chars = std::char_traits<char16_t>::length(path);
    if (chars >= size_t(PGF_HELP_FILE_CHARS))
        return FALSE;
    std::memcpy(state->helpFile, path, (chars + 1) * sizeof(WCHAR));
    return TRUE;
}

ModelContext *PGF_GetPageModel(HWND page)
{
    SheetState *state = PGF_GetSheetState(page);
    return state ? state->context : nullptr;
}

PgfList *PGF_GetOptionCache(const SheetState *state)
{
    return state && state->pageArray ? state->pageArray->optionCache : nullptr;
}

BOOL PGF_AllocTitleStrings(SheetState *state, SIZE_T bytes)
{
    if (!state || !bytes)
        return FALSE;
    PGF_FreeTitleStrings(state);
    state->titleStrings = static_cast<LPWSTR *>(GlobalAlloc(GPTR, bytes));
    return state->titleStrings != nullptr;
}

void PGF_FreeTitleStrings(SheetState *state)
{
    if (!state || !state->titleStrings)
        return;
    const SIZE_T slots = UTL_GetGlobalSize(state->titleStrings) / sizeof(LPWSTR);
    for (SIZE_T i = 0; i < slots && state->titleStrings[i]; ++i)
        GlobalFree(state->titleStrings[i]);
    GlobalFree(state->titleStrings);
    state->titleStrings = nullptr;
}
