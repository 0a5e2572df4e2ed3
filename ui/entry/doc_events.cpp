/*
 * DrvDocumentEvent: the dispatcher of the document events GDI sends (see
 * doc_events.h).  Events:
 *
 *   1 create-DC-pre   the job devmode (out) and a new job record
 *   2 create-DC-post  frees the job devmode of event 1
 *   3 reset-DC-pre    a job devmode for the new settings (out)
 *   4 reset-DC-post   frees it, then the job data again
 *   5 start-doc       start of document
 *   6 start-page, 7 end-page, 8 end-doc (end-page with the end flag)
 *   10 delete-DC      the job record goes
 *   13 start-doc-post the shared-printer check, copy sets, companion
 *                     program and the job data
 *   any other         0 (not handled)
 */
#include "doc_events.h"

#include <tarvel/base/log_trace.h>

#include <plat/memory.h>

namespace {

/* The pointer an event's input points to (null when the input is missing or too small). */
template <typename T>
T *input_pointer(ULONG cbIn, PVOID pvIn)
{
    if (!pvIn || cbIn < sizeof(T *))
        return nullptr;
    return *static_cast<T **>(pvIn);
}

int create_dc_pre(HANDLE printer, ULONG cbIn, PVOID pvIn, ULONG cbOut, PVOID pvOut)
{
    if (!pvIn || cbIn < sizeof(DOCEVENT_CREATEDCPRE) || !pvOut || cbOut < sizeof(DEVMODEW *))
        return DOCUMENTEVENT_FAILURE;
    const auto *pre = static_cast<const DOCEVENT_CREATEDCPRE *>(pvIn);
    int r = DOC_BuildJobDevmode(printer, pre->pdm, static_cast<DEVMODEW **>(pvOut));
    if (r == -1)
        return DOCUMENTEVENT_FAILURE;
    if (!DOC_CreateJob(printer)) {
        /* The devmode just made goes back: GDI gets no context for it. */
        auto **out = static_cast<DEVMODEW **>(pvOut);
        if (*out != pre->pdm) {
            GlobalFree(*out);
            *out = nullptr;
        }
        return DOCUMENTEVENT_FAILURE;
    }
    return r;
}

/* Frees the job devmode a pre event handed out; 1. */
int free_job_devmode(ULONG cbIn, PVOID pvIn)
{
    if (DEVMODEW *dm = input_pointer<DEVMODEW>(cbIn, pvIn))
        GlobalFree(dm);
    return DOCUMENTEVENT_SUCCESS;
}

int dispatch(HANDLE printer, HDC hdc, int event, ULONG cbIn, PVOID pvIn, ULONG cbOut, PVOID pvOut)
{
    switch (event) {
    case DOCUMENTEVENT_CREATEDCPRE:
        return create_dc_pre(printer, cbIn, pvIn, cbOut, pvOut);
    case DOCUMENTEVENT_CREATEDCPOST:
        return free_job_devmode(cbIn, pvIn);
    case DOCUMENTEVENT_RESETDCPRE: {
        if (!pvOut || cbOut < sizeof(DEVMODEW *))
            return DOCUMENTEVENT_FAILURE;
        return DOC_BuildJobDevmode(printer, input_pointer<const DEVMODEW>(cbIn, pvIn), static_cast<DEVMODEW **>(pvOut));
    }
    case DOCUMENTEVENT_RESETDCPOST:
        free_job_devmode(cbIn, pvIn);
        return DOC_SendJobData(printer, hdc);
    case DOCUMENTEVENT_STARTDOC:
        return DOC_OnStartDoc(printer, hdc,
                              pvIn && cbIn >= sizeof(DOCINFOW *) ? static_cast<const DOCINFOW *const *>(pvIn) : nullptr);
    case DOCUMENTEVENT_STARTPAGE:
        return DOC_OnStartPage(printer, hdc);
    case DOCUMENTEVENT_ENDPAGE:
        return hdc ? DOC_OnEndPage(printer, hdc, 0) : DOCUMENTEVENT_FAILURE;
    case DOCUMENTEVENT_ENDDOC:
        return hdc ? DOC_OnEndPage(printer, hdc, 1) : DOCUMENTEVENT_FAILURE;
    case DOCUMENTEVENT_DELETEDC:
        DOC_DeleteJob(printer);
        return DOCUMENTEVENT_SUCCESS;
    case DOCUMENTEVENT_STARTDOCPOST: {
        if (!hdc)
            return DOCUMENTEVENT_FAILURE;
        const DWORD jobId = pvIn && cbIn >= sizeof(DWORD) ? *static_cast<const DWORD *>(pvIn) : 0;
        int r = DOC_ConfirmSharedPrinter(printer, hdc);
        if (r != 1)
            return r;
        DOC_RegisterCopySets(printer, hdc, jobId);
        DOC_StartHelperProgram(printer, hdc, jobId);
        return DOC_SendJobData(printer, hdc);
    }
    default:
        return DOCUMENTEVENT_UNSUPPORTED;
    }
}

} // namespace

int DrvDocumentEvent(HANDLE hPrinter, HDC hdc, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut, PVOID pvOut)
{
    LOG_TraceIn(u"DrvDocumentEvent");
    if (!hPrinter)
        return DOCUMENTEVENT_FAILURE;
    int r = dispatch(hPrinter, hdc, iEsc, cbIn, pvIn, cbOut, pvOut);
    LOG_TraceOut(u"DrvDocumentEvent RetValue = %d", r);
    return r;
}
