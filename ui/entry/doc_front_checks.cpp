/*
 * The two checks start of document runs around the destination check: the
 * fax front end (a direct-fax job hands its pages to an outside program)
 * and the print-time prompt (the job-information dialog or component).
 * Their paths that show nothing and start nothing are built: a job that
 * needs neither goes on.  A job that needs the front end, the dialog or
 * the component is cancelled visibly until those are built.
 */
#include "doc_events.h"
#include "ui_not_built.h"

#include <tarvel/res_module.h>
#include <tarvel/util_ui_services.h>

namespace {

enum : WORD {
    S_DESTINATION = 334,  /* 5: a direct fax */
    S_DIRECT_FAX = 4125,  /* printer data: the fax front end is used */
    S_PROMPT_ON = 5203,
    S_PROMPT_SET = 5163,  /* 0: set A, else set B */
    S_PROMPT_A = 5164,
    S_PROMPT_B = 5165,
    S_USE_COMPONENT = 5186,
};

} // namespace

int DOC_RunFaxFrontEnd(HDC hdc, HANDLE printer, const DOCINFOW *, ModelContext *)
{
    if (!hdc)
        return -1;
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job)
        return 1;
    if ((DOC_GetNumber(job->settings, job->printerData, S_DESTINATION) & 0xFF) != 5 ||
        DOC_GetNumber(job->settings, job->printerData, S_DIRECT_FAX) == 0)
        return 1;
    return UI_NotBuilt(u"DOC_RunFaxFrontEnd", -1);
}

int DOC_PromptJobInfo(HANDLE, HDC, BYTE *image, BYTE *printerData, ModelContext *context, DWORD)
{
    if (!RES_GetResourceModule())
        return -1;
    if (DOC_GetNumber(image, printerData, S_PROMPT_ON) == 0)
        return 1;
    const WORD flag = DOC_GetNumber(image, printerData, S_PROMPT_SET) == 0 ? S_PROMPT_A : S_PROMPT_B;
    if (DOC_GetNumber(image, printerData, S_USE_COMPONENT) != 0) {
        BOOL available = FALSE;
        if (!UTL_IsComComponentAvailable(context, &available))
            return -1;
        if (available)
            return UI_NotBuilt(u"DOC_RunJobInfoComponent", -1);
    }
    if ((DOC_GetNumber(image, printerData, flag) & 0xFF) != 1)
        return 1;
    return UI_NotBuilt(u"DOC_PromptJobInfo", -1);
}
