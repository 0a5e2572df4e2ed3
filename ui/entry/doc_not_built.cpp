/*
 * The work of the document events that later work completes: the page
 * events with their decorations.  Each answers 0, so GDI goes on as for a
 * driver without that event, and says so in the trace log with
 * ERROR_CALL_NOT_IMPLEMENTED.
 */
#include "doc_events.h"
#include "ui_not_built.h"

int DOC_OnStartPage(HANDLE, HDC) { return UI_NotBuilt(u"DOC_OnStartPage", 0); }

int DOC_OnEndPage(HANDLE, HDC, int) { return UI_NotBuilt(u"DOC_OnEndPage", 0); }
