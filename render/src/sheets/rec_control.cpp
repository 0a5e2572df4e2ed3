/*
 * Recording control of the device context: starting and stopping a
 * recording, and opening and closing the record of each page (its bytes go
 * to the spool file through the output channel, its page record into the
 * channel's page table).
 */
#include "page_recording.h"

#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "page_recording_replay.h"
#include "pdev_context.h"

#include <cstring>

namespace {

/* RecordFlags bits an open page record adds to REC_FLAG_RECORDING. */
constexpr DWORD REC_OPEN_BITS = 0x003F;

/* Reads or writes the whole page record of `pageIndex`. */
int rec_Get(PdevContext *pdev, DWORD pageIndex, SpoolPageRecord *record)
{
    return OUT_GetPageRecord(pdev->channel, pageIndex, sizeof *record, record);
}

int rec_Put(PdevContext *pdev, DWORD pageIndex, const SpoolPageRecord *record)
{
    return OUT_PutPageRecord(pdev->channel, pageIndex, sizeof *record, record);
}

} // namespace

int REC_StartRecording(PdevContext *pdev, WORD firstPageIndex, WORD capacity)
{
    if (!pdev || !pdev->channel || !(pdev->jobState & JOB_SHEET_SET_UP) || pdev->recordFlags != 0)
        return -1;
    if (OUT_BeginRecording(pdev->channel, firstPageIndex, WORD(sizeof(SpoolPageRecord)), capacity) != 0)
        return -1;
    pdev->recordFlags = REC_FLAG_RECORDING;
    return 0;
}

int REC_OpenPageRecord(PdevContext *pdev, DWORD pageIndex, LONG colorMode, DWORD kind, LONG collectColors,
                       WORD colorCapacity, LONG colorSetMode)
{
    if (!pdev || !pdev->channel || pdev->recordFlags != REC_FLAG_RECORDING || kind == 0 || (kind & ~DWORD(0x3E)))
        return -1;
    PageColorSet colors = pdev->pageColors;
    if (PCS_Init(&colors, collectColors, colorCapacity, colorSetMode) != 0)
        return -1;
    if (OUT_BeginPageRecord(pdev->channel, pageIndex) != 0)
        return -1;
    pdev->pageColorMode = colorMode;
    pdev->pageColors = colors;
    pdev->recordFlags = REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN | kind;
    return 0;
}

int REC_StorePageHeader(PdevContext *pdev, DWORD pageIndex, const PageLayout *layout, LONG orientation)
{
    if (!pdev || !pdev->channel || !layout)
        return -1;
    SpoolPageRecord record{};
    if (rec_Get(pdev, pageIndex, &record) != 0)
        return -1;
    std::memcpy(record.layout, layout, sizeof record.layout);
    record.orientation = orientation;
    return rec_Put(pdev, pageIndex, &record);
}

int REC_LoadPageHeader(PdevContext *pdev, DWORD pageIndex, PageLayout *layout, LONG *orientation)
{
    if (!pdev || !pdev->channel || !layout || !orientation)
        return -1;
    SpoolPageRecord record{};
    if (rec_Get(pdev, pageIndex, &record) != 0)
        return -1;
    std::memcpy(layout, record.layout, sizeof record.layout);
    *orientation = record.orientation;
    return 0;
}

int REC_ClosePageRecord(PdevContext *pdev, DWORD pageIndex)
{
    const DWORD open = REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN;
    if (!pdev || !pdev->channel || (pdev->recordFlags & open) != open)
        return -1;
    /* Only the page that is open can be closed. */
    if (pageIndex != DWORD(pdev->channel->firstPageIndex) + pdev->channel->pageCount)
        return -1;
    SpoolPageRecord record{};
    if (rec_Get(pdev, pageIndex, &record) != 0)
        return -1;
    record.colors = pdev->pageColors;
    record.colorMode = pdev->pageColorMode;
    if (rec_Put(pdev, pageIndex, &record) != 0 || OUT_EndPageRecord(pdev->channel) != 0)
        return -1;
    pdev->recordFlags &= ~REC_OPEN_BITS;
    return 0;
}

int REC_StopRecording(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (!(pdev->recordFlags & REC_FLAG_RECORDING))
        return 0;
    if ((pdev->recordFlags & REC_FLAG_PAGE_OPEN) || !pdev->channel)
        return -1;
    pdev->recordFlags = 0;
    return OUT_EndRecording(pdev->channel);
}

int REC_FlushHeldPage(PdevContext *pdev)
{
    if (!pdev || !pdev->channel || pdev->channel->pageCount != 0)
        return -1;
    DWORD page = pdev->channel->firstPageIndex;
    BYTE code = pdev->pageColorMode == JOB_PAGE_COLOR_COLOR ? 2 : 1;
    code = PCS_ColorCode(&pdev->pageColors, code);
    if (REC_ClosePageRecord(pdev, page) != 0 || REC_ReplayPage(pdev, page, REC_REPLAY_PAGE_START, code, nullptr, -1) != 0)
        return -1;
    return REC_StopRecording(pdev);
}

int REC_FlushIfColorKnown(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    /* Only a page held for its colour alone, not one kept for the whole job. */
    const DWORD held = REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN | REC_FLAG_KIND_COLOR_HOLD;
    if ((pdev->recordFlags & held) != held || (pdev->recordFlags & REC_FLAG_KIND_RECORDED))
        return 0;
    /* Undecided, or the colour set may still shrink the page's comment: keep holding. */
    if (pdev->pageColorMode != JOB_PAGE_COLOR_COLOR || pdev->pageColors.active)
        return 0;
    return REC_FlushHeldPage(pdev);
}
