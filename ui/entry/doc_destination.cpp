/*
 * The destination check of start of document: a job sent to one of the
 * device's stored-job destinations needs the printer-wide text those
 * destinations file it under (printer data 5129).  Without it the job is
 * refused with a system-modal message.
 */
#include "doc_events.h"

#include <tarvel/base/res_module.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/msgbox.h>
#include <plat/resource.h>

#include <cstring>

namespace {

constexpr WORD kDestination = 334;   /* the job's destination */
constexpr WORD kStoredJobText = 5129; /* printer data: the text stored-job destinations need */
constexpr UINT kMessageText = 9328;
constexpr UINT kMessageCaption = 6;
constexpr int kStringChars = 256;    /* 255 characters and a terminator */

bool is_stored_job_destination(ULONGLONG destination)
{
    return destination == 1 || destination == 2 || destination == 7 || destination == 8;
}

/* True when the string setting `id` holds at least one character (an unreadable one counts as empty). */
bool has_text(BYTE *image, BYTE *printerData, WORD id)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(id, image, printerData, &type, &size, slot) != DMA_OK || type != SVT_WSTRING || size < 2)
        return false;
    const BYTE *text = nullptr;
    std::memcpy(&text, slot, sizeof text);
    WCHAR first = 0;
    if (text)
        std::memcpy(&first, text, sizeof first);
    return first != 0;
}

} // namespace

int DOC_CheckDestination(HDC hdc, HANDLE printer)
{
    if (!hdc)
        return -1;
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job)
        return 1;
    if (!is_stored_job_destination(DOC_GetNumber(job->settings, job->printerData, kDestination) & 0xFF))
        return 1;
    if (has_text(job->settings, job->printerData, kStoredJobText))
        return 1;
    WCHAR text[kStringChars] = {};
    WCHAR caption[kStringChars] = {};
    HMODULE resources = RES_GetResourceModule();
    LoadStringW(resources, kMessageText, text, kStringChars);
    LoadStringW(resources, kMessageCaption, caption, kStringChars);
    MessageBoxW(nullptr, text, caption, MB_SYSTEMMODAL);
    return -1;
}
