/*
 * The work of the document events that later work completes: start of
 * document and its job data, start-doc-post, and the page events with their
 * decorations.  Each answers 0, so GDI goes on as for a driver without that
 * event, and says so in the trace log with ERROR_CALL_NOT_IMPLEMENTED.
 */
#include "doc_events.h"
#include "ui_not_built.h"

int DOC_OnStartDoc(HANDLE, HDC, const DOCINFOW *const *) { return UI_NotBuilt(u"DOC_OnStartDoc", 0); }

int DOC_OnStartPage(HANDLE, HDC) { return UI_NotBuilt(u"DOC_OnStartPage", 0); }

int DOC_OnEndPage(HANDLE, HDC, int) { return UI_NotBuilt(u"DOC_OnEndPage", 0); }

int DOC_ConfirmSharedPrinter(HANDLE, HDC) { return UI_NotBuilt(u"DOC_ConfirmSharedPrinter", 0); }

int DOC_RegisterCopySets(HANDLE, HDC, DWORD) { return UI_NotBuilt(u"DOC_RegisterCopySets", 0); }

int DOC_StartHelperProgram(HANDLE, HDC, DWORD) { return UI_NotBuilt(u"DOC_StartHelperProgram", 0); }

int DOC_SendJobData(HANDLE, HDC) { return UI_NotBuilt(u"DOC_SendJobData", 0); }
