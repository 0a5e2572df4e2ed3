/*
 * Start of document: the job record's per-document part is filled from the
 * renderer (its settings, extension state and copy-set mode), the
 * application's document information, the printer's stores and the user;
 * the fax front end, the destination check and the print-time prompt run;
 * the fix-ups are applied and the settings go back to the renderer, and
 * the annotation record is built for the job data sent at start-doc-post.
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/stores/fax_tempfile.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/gdi.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <cstring>

static_assert(ESC_SETTINGS_SIZE == DOC_SETTINGS_IMAGE_SIZE, "the settings escapes carry the job's settings image");
static_assert(ESC_PRINTERDATA_SIZE == DOC_PRINTER_DATA_SIZE, "the printer-data escape carries the record");
static_assert(ESC_ANNOTATION_SIZE == DOC_ANNOTATION_SIZE, "the annotation escape carries the record");
static_assert(ESC_EXT_STATE_SIZE == DOC_EXT_STATE_SIZE, "the extension state escapes carry the record");
static_assert(ESC_JOB_IDENTITY_SIZE == DOC_JOB_IDENTITY_SIZE, "the job identity escape carries the block");

int DOC_Escape(HDC hdc, ULONG code, const void *in, size_t inSize, void *out, size_t outSize)
{
    return ExtEscape(hdc, int(code), int(inSize), static_cast<LPCSTR>(in), int(outSize), static_cast<LPSTR>(out));
}

BYTE *DOC_PrinterInfo2(HANDLE printer)
{
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed < sizeof(PRINTER_INFO_2W))
        return nullptr;
    BYTE *info = static_cast<BYTE *>(GlobalAlloc(GPTR, needed));
    if (info && !GetPrinterW(printer, 2, info, needed, &needed)) {
        GlobalFree(info);
        info = nullptr;
    }
    return info;
}

namespace {

/* Steps 3 to 11: the per-document data.  1, or -1 when one fails (nothing later is sent). */
int gather(DocJobRecord *job, HANDLE printer, HDC hdc, const DOCINFOW *info, ModelContext **context)
{
    if (DOC_Escape(hdc, ESC_STARTDOC_NOTICE, &job->documentStarted, sizeof job->documentStarted) <= 0)
        return -1;
    if (DOC_Escape(hdc, ESC_GET_SETTINGS, nullptr, 0, job->settings, sizeof job->settings) <= 0)
        return -1;
    job->documentName[0] = 0;
    if (info && info->lpszDocName) {
        const size_t n = plat::wlen(info->lpszDocName);
        const size_t kept = n < DOC_NAME_CHARS - 1 ? n : DOC_NAME_CHARS - 1;
        std::memcpy(job->documentName, info->lpszDocName, kept * sizeof(WCHAR));
        job->documentName[kept] = 0;
    }
    if (info && !DOC_FillJobIdentity(printer, info, job->jobIdentity))
        return -1;
    *context = MDL_Open(printer);
    if (!*context || !UPG_LoadPrinterData(printer, job->printerData, *context))
        return -1;
    DWORD size = DOC_USER_CHARS;
    if (!DOC_GetUserName(job->userName, &size))
        return -1;
    if (DOC_Escape(hdc, ESC_GET_EXT_STATE, nullptr, 0, job->extState, sizeof job->extState) <= 0)
        return -1;
    FAX_CleanupTempFiles(*context, nullptr, nullptr);
    DOC_LoadDeviceBlocks(printer, *context, job->settings, job->printerData);
    DWORD mode = 0;
    if (DOC_Escape(hdc, ESC_QUERY_COPYSET_MODE, nullptr, 0, &mode, sizeof mode) <= 0)
        return -1;
    job->copySetMode = mode;
    return 1;
}

} // namespace

int DOC_OnStartDoc(HANDLE printer, HDC hdc, const DOCINFOW *const *docInfo)
{
    DocJobRecord *job = hdc ? DOC_FindJob(printer) : nullptr;
    if (!job)
        return -1;
    DOC_FreeJobData(job);
    DOC_ResetJob(job);
    job->documentStarted = 1;
    const DOCINFOW *info = docInfo ? *docInfo : nullptr;
    ModelContext *context = nullptr;
    int result = gather(job, printer, hdc, info, &context);
    if (result != 1) {
        if (context)
            MDL_Close(context);
        return result;
    }
    /* The front-end checks, each only while the previous one let the job go on. */
    result = DOC_RunFaxFrontEnd(hdc, printer, info, context);
    if (result == 1)
        result = DOC_CheckDestination(hdc, printer);
    if (result == 1 &&
        DOC_PromptJobInfo(printer, hdc, job->settings, job->printerData, context, job->copySetMode) == -1)
        result = -1;
    /* Whatever they answered, the renderer gets the fixed-up settings and the annotation is built. */
    DOC_FixupJobDevmode(context, job->settings, job->printerData);
    if (DOC_Escape(hdc, ESC_SET_SETTINGS, job->settings, sizeof job->settings) <= 0)
        result = -1;
    DOC_BuildAnnotationInfo(job->annotation, printer, hdc, job->settings, job->printerData, job->documentName,
                            context);
    MDL_Close(context);
    return result;
}
