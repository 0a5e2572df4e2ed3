/*
 * The default handlers of the control kinds.  The numeric and text edit
 * field (kind 4) is in ctl_edit.cpp; the others wait for their work (see
 * pgf_not_built.cpp): each answers 0 (no objection) after a trace line.
 */
#ifndef TARVELUI_CTL_HANDLERS_H
#define TARVELUI_CTL_HANDLERS_H

#include "pgf_records.h"

#define CTL_HANDLER(name)                                                                                             \
    LRESULT name(HandlerContext *context, UINT code, WPARAM wParam, LPARAM lParam, const ControlDescriptor *control, \
                 const void *params)

CTL_HANDLER(CTL_IconComboHandler);
CTL_HANDLER(CTL_IconListHandler);
CTL_HANDLER(CTL_NumericEditHandler);
CTL_HANDLER(CTL_RadioGroupHandler);
CTL_HANDLER(CTL_ButtonHandler);
CTL_HANDLER(CTL_CheckBoxHandler);
CTL_HANDLER(CTL_ScrollBarValueHandler);
CTL_HANDLER(CTL_SpinHandler);
CTL_HANDLER(CTL_SelectionTextHandler);
CTL_HANDLER(CTL_FileNameHandler);
CTL_HANDLER(CTL_SliderHandler);
CTL_HANDLER(CTL_PicturePanelHandler);
CTL_HANDLER(PRV_PictureHandler);
CTL_HANDLER(CTL_EnableOnlyHandler);

#endif /* TARVELUI_CTL_HANDLERS_H */
