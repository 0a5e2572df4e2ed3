/*
 * Framework work that later issues build: the page lifecycle's slot
 * functions, the page refresh and option stepping of the value change, and
 * the default handlers of the control kinds other than the edit field.
 * Each writes one trace line naming itself, sets ERROR_CALL_NOT_IMPLEMENTED
 * and answers "not handled" (slots: 0) or "no objection" (handlers: 0), so
 * that no message is reported as done and no page is kept from closing.
 */
#include "ctl_handlers.h"
#include "pgf_dispatch.h"

#include "ui_not_built.h"

#define PGF_SLOT_NOT_BUILT(name)                                                                                       \
    LRESULT name(HWND, UINT, WPARAM, LPARAM, LONG, SlotArgs *) { return UI_NotBuilt(u## #name, 0); }

PGF_SLOT_NOT_BUILT(PGF_SlotInitTab)
PGF_SLOT_NOT_BUILT(PGF_SlotInitChild)
PGF_SLOT_NOT_BUILT(PGF_SlotInitDialog)
PGF_SLOT_NOT_BUILT(PGF_SlotSetActive)
PGF_SLOT_NOT_BUILT(PGF_SlotKillActive)
PGF_SLOT_NOT_BUILT(PGF_SlotReset)
PGF_SLOT_NOT_BUILT(PGF_SlotApply)
PGF_SLOT_NOT_BUILT(PGF_ShowHelp)
#undef PGF_SLOT_NOT_BUILT

BOOL PGF_RefreshPage(HandlerContext *, const WORD *) { return UI_NotBuilt(u"PGF_RefreshPage", FALSE); }

BOOL PGF_SelectNextOption(HandlerContext *, const ControlDescriptor *)
{
    return UI_NotBuilt(u"PGF_SelectNextOption", FALSE);
}

#define CTL_NOT_BUILT(name)                                                                                            \
    CTL_HANDLER(name)                                                                                                  \
    {                                                                                                                  \
        (void)context, (void)code, (void)wParam, (void)lParam, (void)control, (void)params;                           \
        return UI_NotBuilt(u## #name, 0);                                                                              \
    }

CTL_NOT_BUILT(CTL_IconComboHandler)
CTL_NOT_BUILT(CTL_IconListHandler)
CTL_NOT_BUILT(CTL_RadioGroupHandler)
CTL_NOT_BUILT(CTL_ButtonHandler)
CTL_NOT_BUILT(CTL_CheckBoxHandler)
CTL_NOT_BUILT(CTL_ScrollBarValueHandler)
CTL_NOT_BUILT(CTL_SpinHandler)
CTL_NOT_BUILT(CTL_SelectionTextHandler)
CTL_NOT_BUILT(CTL_FileNameHandler)
CTL_NOT_BUILT(CTL_SliderHandler)
CTL_NOT_BUILT(CTL_PicturePanelHandler)
CTL_NOT_BUILT(PRV_PictureHandler)
CTL_NOT_BUILT(CTL_EnableOnlyHandler)
#undef CTL_NOT_BUILT
