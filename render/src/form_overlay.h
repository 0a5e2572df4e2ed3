/*
 * Form overlays: a form-creation job writes its pages into a form file
 * instead of the printer; later jobs replay the form under every page.
 */
#ifndef TARVELGR_FORM_OVERLAY_H
#define TARVELGR_FORM_OVERLAY_H

struct PdevContext;

/* End of a form-creation job: closes the form file.  0, or -1. */
int OVL_CloseFormOutput(PdevContext *pdev);

#endif /* TARVELGR_FORM_OVERLAY_H */
