/*
 * The framework's constant tables: the kinds' default handlers, the common
 * buttons, the message-to-slot table, the slot function tables of the three
 * page kinds, the conflict policy table and the page catalogue, with the
 * small accessors of the records.
 */
#include "ctl_handlers.h"
#include "pgf_dispatch.h"
#include "pgf_records.h"

#include <plat/controls.h>
#include <plat/prsht.h>

const KindHandler PGF_KindHandlers[] = {
    {CTL_KIND_OPTION_COMBO, CTL_IconComboHandler},
    {CTL_KIND_OPTION_LIST, CTL_IconListHandler},
    {CTL_KIND_NUMBER_EDIT, CTL_NumericEditHandler},
    {CTL_KIND_RADIO_GROUP, CTL_RadioGroupHandler},
    {CTL_KIND_BUTTON, CTL_ButtonHandler},
    {CTL_KIND_CHECK_BOX, CTL_CheckBoxHandler},
    {CTL_KIND_SCROLL_BAR, CTL_ScrollBarValueHandler},
    {CTL_KIND_SPIN, CTL_SpinHandler},
    {CTL_KIND_VALUE_TEXT, CTL_SelectionTextHandler},
    {CTL_KIND_FILE_NAME, CTL_FileNameHandler},
    {CTL_KIND_SLIDER, CTL_SliderHandler},
    {CTL_KIND_PICTURE_PANEL, CTL_PicturePanelHandler},
    {CTL_KIND_PICTURE, PRV_PictureHandler},
    {CTL_KIND_ENABLE_ONLY, CTL_EnableOnlyHandler},
    {0, nullptr},
};

ControlHandler PGF_GetKindHandler(LONG kind)
{
    if (kind <= 0)
        return nullptr;
    for (const KindHandler *row = PGF_KindHandlers; row->kind; ++row)
        if (row->kind == kind)
            return row->handler;
    return nullptr;
}

namespace {

constexpr ButtonAction kOk{PGF_ACTION_OK};
constexpr ButtonAction kCancel{PGF_ACTION_CANCEL};
constexpr ButtonAction kRestore{PGF_ACTION_RESTORE_DEFAULTS};
constexpr ButtonAction kHelp{PGF_ACTION_HELP};
constexpr DWORD kStaysEnabled = PGF_RULE_STAYS_ENABLED;

constexpr ControlDescriptor button(LONG id, const ButtonAction *action, const DWORD *rule)
{
    return {id, 0, nullptr, CTL_KIND_BUTTON, nullptr, action, PGF_NONE, PGF_NONE, rule};
}

} // namespace

const ControlDescriptor PGF_CommonButtons[PGF_COMMON_BUTTON_COUNT] = {
    button(PGF_ID_OK, &kOk, &kStaysEnabled),
    button(PGF_ID_CANCEL, &kCancel, &kStaysEnabled),
    button(IDCANCEL, &kCancel, &kStaysEnabled),
    button(PGF_ID_RESTORE_DEFAULTS, &kRestore, nullptr),
    button(PGF_ID_HELP, &kHelp, &kStaysEnabled),
};

/* The slot of a row is its position. */
const MessageSlotRow PGF_MessageSlotTable[] = {
    {WM_COMMAND, 0, 0},
    {WM_INITDIALOG, 0, 1},
    {WM_NOTIFY, WORD(PSN_SETACTIVE), 2},
    {WM_NOTIFY, WORD(PSN_KILLACTIVE), 3},
    {WM_NOTIFY, WORD(PSN_RESET), 4},
    {WM_NOTIFY, WORD(PSN_APPLY), 5},
    {WM_NOTIFY, WORD(PSN_HELP), 6},
    {WM_NOTIFY, WORD(TCN_SELCHANGE), 7},
    {WM_NOTIFY, WORD(PSN_WIZFINISH), 8},
    {WM_VSCROLL, 0, 9},
    {WM_HSCROLL, 0, 10},
    {WM_HELP, 0, 11},
    {WM_CONTEXTMENU, 0, 12},
    {WM_MEASUREITEM, 0, 13},
    {WM_DRAWITEM, 0, 14},
    {WM_ERASEBKGND, 0, 15},
    {WM_VKEYTOITEM, 0, 16},
    {WM_QUERYNEWPALETTE, 0, 17},
    {WM_PALETTECHANGED, 0, 18},
    {WM_PAINT, 0, 19},
    {WM_MOUSEMOVE, 0, 20},
    {WM_DESTROY, 0, 21},
    {PGF_MSG_GET_PAGE_ID, 0, 22},
    {PGF_MSG_GET_CONTROL_PARAM, 0, 23},
    {PGF_MSG_CONTROL_SPARE, 0, 24},
    {PGF_MSG_SHOW_WARNINGS, 0, 25},
    {PGF_MSG_NEXT_VALUE, 0, 26},
    {PGF_MSG_DEFERRED_COMMAND, 0, 27},
    {WM_CTLCOLOR, 0, 28},
    {WM_CTLCOLORSTATIC, 0, 29},
    {WM_CTLCOLORLISTBOX, 0, 30},
    {0, 0, 0},
};

/* Slots 7, 15, 20 and 31 are empty in every table; 21 only tab pages handle. */
#define PGF_SLOT_TABLE(command, init, destroy)                                                                        \
    {                                                                                                                  \
        command, init, PGF_SlotSetActive, PGF_SlotKillActive, PGF_SlotReset, PGF_SlotApply, PGF_SlotHelp, nullptr,     \
            PGF_SlotWizFinish, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotHelp, PGF_SlotHelp,              \
            PGF_SlotMeasureItem, PGF_SlotControlMessage, nullptr, PGF_SlotControlMessage, PGF_SlotBroadcast,           \
            PGF_SlotBroadcast, PGF_SlotBroadcast, nullptr, destroy, PGF_SlotGetPageId, PGF_SlotControlMessage,         \
            PGF_SlotControlMessage, PGF_SlotShowWarnings, PGF_SlotCycleValue, PGF_SlotControlMessage,                  \
            PGF_SlotCtlColor, PGF_SlotCtlColor, PGF_SlotCtlColor, nullptr                                              \
    }

const SlotProc PGF_SlotTableTab[PGF_SLOT_COUNT] = PGF_SLOT_TABLE(PGF_SlotTabCommand, PGF_SlotInitTab, PGF_SlotDestroy);
const SlotProc PGF_SlotTableChild[PGF_SLOT_COUNT] = PGF_SLOT_TABLE(PGF_SlotControlMessage, PGF_SlotInitChild, nullptr);
const SlotProc PGF_SlotTableDialog[PGF_SLOT_COUNT] =
    PGF_SLOT_TABLE(PGF_SlotControlMessage, PGF_SlotInitDialog, nullptr);
#undef PGF_SLOT_TABLE

const ConflictPolicyRow PGF_ConflictPolicyTable[] = {
    {11, 12, 2},     {12, 12, 2},     {1814, 12, 2},   {1801, 12, 2},  {1802, 12, 2},  {1812, 12, 2},
    {8210, 12, 2},   {323, 12, 2},    {451, 8, 2},     {452, 8, 2},    {268, 8, 2},    {269, 8, 2},
    {460, 8, 2},     {461, 8, 2},     {274, 8, 2},     {275, 8, 2},    {276, 8, 2},    {277, 8, 2},
    {278, 8, 2},     {279, 8, 2},     {280, 8, 2},     {281, 8, 2},    {282, 8, 2},    {283, 8, 2},
    {284, 8, 2},     {285, 8, 2},     {324, 8, 2},     {401, 8, 2},    {392, 8, 2},    {395, 8, 2},
    {398, 8, 2},     {393, 8, 2},     {402, 8, 2},     {396, 8, 2},    {399, 8, 2},    {403, 8, 2},
    {394, 8, 2},     {397, 8, 2},     {400, 8, 2},     {263, 8, 2},    {306, 8, 2},    {359, 8, 2},
    {385, 8, 2},     {311, 8, 2},     {309, 8, 2},     {310, 8, 2},    {1863, 8, 2},   {1864, 8, 2},
    {1856, 8, 2},    {0x9001, 16, 2}, {272, 16, 2},    {296, 36, 68},  {321, 100, 2},  {8, 100, 2},
    {262, 68, 2},    {295, 1, 132},   {7, 1, 132},     {1333, 36, 2},  {298, 36, 2},   {0, 0, 0},
};

WORD PGF_GetCheckMode(WORD ddmid, BOOL hasValue)
{
    if (!ddmid)
        return 4;
    for (const ConflictPolicyRow *row = PGF_ConflictPolicyTable; row->ddmid; ++row)
        if (row->ddmid == ddmid)
            return (row->modeB & 2) || !hasValue ? row->modeA : row->modeB;
    return 4;
}

const PageCatalogueEntry PGF_PageCatalogue[PGF_CATALOGUE_COUNT] = {
    /* tab pages of the document and device sheets, with their layout variants */
    {1, 518, PGF_KIND_TAB}, {1, 3856, PGF_KIND_TAB}, {1, 580, PGF_KIND_TAB}, {2, 566, PGF_KIND_TAB},
    {3, 2231, PGF_KIND_TAB}, {3, 2561, PGF_KIND_TAB}, {13, 504, PGF_KIND_TAB}, {52, 517, PGF_KIND_TAB},
    {52, 6011, PGF_KIND_TAB}, {5, 501, PGF_KIND_TAB}, {46, 3580, PGF_KIND_TAB}, {6, 503, PGF_KIND_TAB},
    /* pages of nested sheets */
    {11, 506, PGF_KIND_CHILD}, {26, 512, PGF_KIND_CHILD}, {27, 507, PGF_KIND_CHILD}, {14, 2590, PGF_KIND_CHILD},
    {29, 2770, PGF_KIND_CHILD}, {28, 2440, PGF_KIND_CHILD}, {39, 3430, PGF_KIND_CHILD}, {58, 3942, PGF_KIND_CHILD},
    {59, 3943, PGF_KIND_CHILD}, {60, 3970, PGF_KIND_CHILD},
    /* modal dialogs */
    {4, 567, PGF_KIND_DIALOG}, {8, 510, PGF_KIND_DIALOG}, {16, 529, PGF_KIND_DIALOG}, {23, 513, PGF_KIND_DIALOG},
    {24, 514, PGF_KIND_DIALOG}, {47, 3520, PGF_KIND_DIALOG}, {20, 532, PGF_KIND_DIALOG}, {35, 929, PGF_KIND_DIALOG},
    {36, 930, PGF_KIND_DIALOG}, {53, 3731, PGF_KIND_DIALOG}, {54, 3771, PGF_KIND_DIALOG}, {22, 533, PGF_KIND_DIALOG},
    {42, 3340, PGF_KIND_DIALOG}, {43, 3377, PGF_KIND_DIALOG}, {44, 3400, PGF_KIND_DIALOG}, {10, 509, PGF_KIND_DIALOG},
    {21, 534, PGF_KIND_DIALOG}, {37, 867, PGF_KIND_DIALOG}, {48, 3670, PGF_KIND_DIALOG}, {40, 3460, PGF_KIND_DIALOG},
    {41, 3490, PGF_KIND_DIALOG}, {55, 3790, PGF_KIND_DIALOG},
};

const PageCatalogueEntry *PGF_FindCatalogueEntry(WORD templateId)
{
    for (const PageCatalogueEntry &e : PGF_PageCatalogue)
        if (e.templateId == templateId)
            return &e;
    return nullptr;
}

namespace {

constexpr LONG kChildren518[] = {20, 35, 36, 53, 40, 21, 37, 48, 10, 41, 22, 42, 44, 43, 55};
constexpr LONG kChildren3856[] = {20, 35, 36, 53, 40, 21, 37, 48, 10, 41, 22, 42, 44, 43, 54, 55};
constexpr LONG kChildren580[] = {35, 36, 21, 37, 48, 10, 41, 22, 42, 44, 43, 55, 58, 59, 60};
constexpr LONG kChildren566[] = {16, 14, 29, 28, 39};
constexpr LONG kChildren2231[] = {11, 26, 27};
constexpr LONG kChildren504[] = {4, 8};
constexpr LONG kChildren501[] = {23, 24};
constexpr LONG kChildren3580[] = {47, 23, 24};
constexpr LONG kNoChildren[1] = {0}; /* tabs that open nothing: count 0 */

struct TabChildren {
    WORD templateId;
    const LONG *ids;
    LONG count;
};

#define PGF_CHILDREN(t, list) {t, list, LONG(sizeof(list) / sizeof(list[0]))}
constexpr TabChildren kTabChildren[] = {
    PGF_CHILDREN(518, kChildren518),   PGF_CHILDREN(3856, kChildren3856), PGF_CHILDREN(580, kChildren580),
    PGF_CHILDREN(566, kChildren566),   PGF_CHILDREN(2231, kChildren2231), PGF_CHILDREN(504, kChildren504),
    PGF_CHILDREN(501, kChildren501),   PGF_CHILDREN(3580, kChildren3580), {2561, nullptr, 0},
    {517, nullptr, 0},                 {6011, nullptr, 0},                {503, nullptr, 0},
};
#undef PGF_CHILDREN

} // namespace

const LONG *PGF_GetTabChildren(WORD templateId, LONG *count)
{
    if (count)
        *count = 0;
    for (const TabChildren &t : kTabChildren) {
        if (t.templateId != templateId)
            continue;
        if (count)
            *count = t.count;
        return t.ids ? t.ids : kNoChildren;
    }
    return nullptr;
}

LONG PGF_GetControlId(const ControlDescriptor *control) { return control ? control->controlId : PGF_NO_CONTROL; }

LONG PGF_GetControlItemCount(const ControlDescriptor *control) { return control ? control->itemCount : -1; }

const void *PGF_GetControlParam(const ControlDescriptor *control) { return control ? control->params : nullptr; }

const ControlDescriptor *PGF_FindControl(const ControlDescriptor *controls, LONG count, LONG id)
{
    if (!controls)
        return nullptr;
    for (LONG i = 0; i < count; ++i)
        if (controls[i].controlId == id)
            return &controls[i];
    return nullptr;
}

BOOL PGF_FindControlItem(const ControlDescriptor *control, WORD ddmid, LONG *position)
{
    if (position)
        *position = 0;
    if (!control || !control->items)
        return FALSE;
    for (LONG i = 0; i < control->itemCount; ++i) {
        if (control->items[i].ddmid == ddmid) {
            if (position)
                *position = i;
            return TRUE;
        }
    }
    return FALSE;
}

const ControlDescriptor *PGF_FindCompanionControl(const ControlDescriptor *controls, LONG count,
                                                  const ControlDescriptor *control, LONG kind)
{
    if (!controls || !control || !control->items)
        return nullptr;
    for (LONG i = 0; i < count; ++i)
        if (&controls[i] != control && controls[i].items == control->items && controls[i].kind == kind)
            return &controls[i];
    return nullptr;
}

const ControlDescriptor *PGF_GetControlAt(const ControlDescriptor *controls, LONG count, LONG n)
{
    return controls && n >= 0 && n < count ? &controls[n] : nullptr;
}
