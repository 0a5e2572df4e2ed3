/*
 * The replay orders of a recorded job: once the last page is recorded, the
 * pages kept in the spool file go to the printer in their final order
 * (plain, reverse, or two passes of manual duplex; a booklet's sets and
 * sides, a poster page's tiles), once for every copy the
 * driver collates, with the closing insert sheet where it belongs.  Also
 * the colour decision of a replayed page and the end of a page held only
 * for its colour.
 */
#include "page_recording.h"

#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "page_recording_replay.h"
#include "pdev_context.h"
#include "sheet_pipeline.h"
#include "sheet_state.h"

namespace {

/* Output-tray mode in which the back faces of the first pass go in ascending order. */
constexpr LONG kAscendingBacksMode = 4;

/* Back faces (odd indexes) and front faces (even indexes) of `count` pages. */
DWORD back_faces(DWORD count) { return count / 2; }
DWORD front_faces(DWORD count) { return (count + 1) / 2; }

/* The page record of a page that was recorded (the table has room past the last one). */
int read_record(PdevContext *pdev, DWORD pageIndex, SpoolPageRecord *record)
{
    const OutputChannel *channel = pdev->channel;
    if (pageIndex < channel->firstPageIndex || pageIndex - channel->firstPageIndex >= channel->pageCount)
        return -1;
    return OUT_GetPageRecord(pdev->channel, pageIndex, sizeof *record, record);
}

/* Copies the driver makes itself: the copy count when it collates them, else 1. */
DWORD driver_copies(const JobSettings &js) { return js.driverCollate && js.copies > 1 ? js.copies : 1; }

bool recording(const PdevContext *pdev)
{
    return pdev->channel && (pdev->recordFlags & REC_FLAG_RECORDING) && !(pdev->recordFlags & REC_FLAG_PAGE_OPEN);
}

/* A blank back face after a sheet fed from `tray` when one is due at the end of a copy. */
int blank_back_if_due(PdevContext *pdev, SHORT tray)
{
    int due = JOB_BackFaceDue(pdev, JOB_BACK_FACE_END);
    if (due < 0)
        return -1;
    return due ? JOB_EmitBlankSheet(pdev, tray) : 0;
}

/* The closing insert sheet (and the blank back face an insert tray that prints both sides needs). */
int closing_insert(PdevContext *pdev, bool backAfter)
{
    const JobSettings &js = *pdev->jobSettings;
    if (!js.trailingInsert)
        return 0;
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    /* The last sheet ends first where the insert is fed from its tray (the cover tray of collated covers). */
    const SHORT current = js.driverCollate && js.coverMode == 1 ? js.leadingInsertTray : SHORT(sheet->tray);
    if (!backAfter && current == js.trailingInsertTray && blank_back_if_due(pdev, js.trailingInsertTray) != 0)
        return -1;
    if (JOB_EmitBlankSheet(pdev, js.trailingInsertTray) != 0)
        return -1;
    if (backAfter) {
        int due = JOB_BackFaceDue(pdev, JOB_BACK_FACE_INSERT);
        if (due < 0 || (due > 0 && JOB_EmitBlankSheet(pdev, js.trailingInsertTray) != 0))
            return -1;
    }
    return 0;
}

/* A blank cover sheet (cover mode 2), with its blank back face when one is due after it. */
int blank_cover(PdevContext *pdev, bool backAfter)
{
    const JobSettings &js = *pdev->jobSettings;
    if (js.coverMode != 2)
        return 0;
    if (JOB_EmitBlankSheet(pdev, js.leadingInsertTray) != 0)
        return -1;
    int due = backAfter ? JOB_BackFaceDue(pdev, JOB_BACK_FACE_INSERT) : 0;
    return due < 0 || (due > 0 && JOB_EmitBlankSheet(pdev, js.leadingInsertTray) != 0) ? -1 : 0;
}

/* The pages of one pass, each whole (a poster page as its tiles). */
int replay_pass(PdevContext *pdev, const ReplayOrder &order, DWORD pass)
{
    const LONG colorMode = pdev->jobSettings->colorState;
    const bool poster = pdev->jobSettings->poster != 0;
    const DWORD n = REC_PassPageCount(&order, pass);
    for (DWORD k = 0; k < n; k++) {
        const DWORD page = REC_PassPage(&order, pass, k);
        if (poster ? REC_ReplayPosterPage(pdev, page) != 0
                   : REC_ReplayPageAs(pdev, page, REC_REPLAY_PAGE_START, nullptr, REC_NO_PAGE, colorMode, -1) != 0)
            return -1;
    }
    return 0;
}

} // namespace

DWORD REC_PassCount(const ReplayOrder *order) { return order && order->twoPass ? 2 : 1; }

DWORD REC_PassPageCount(const ReplayOrder *order, DWORD pass)
{
    if (!order || pass < 1 || pass > REC_PassCount(order))
        return 0;
    if (!order->twoPass)
        return order->count;
    return pass == 1 ? back_faces(order->count) : front_faces(order->count);
}

DWORD REC_PassPage(const ReplayOrder *order, DWORD pass, DWORD step)
{
    if (!order)
        return 0;
    if (!order->twoPass)
        return order->first + (order->reverse ? order->count - 1 - step : step);
    if (pass == 2)
        return order->first + 2 * step;
    const DWORD backs = back_faces(order->count);
    return order->first + (order->ascendingBacks ? 2 * step + 1 : 2 * (backs - 1 - step) + 1);
}

ReplayOrder REC_JobOrder(PdevContext *pdev)
{
    ReplayOrder order{};
    if (!pdev || !pdev->channel || !pdev->jobSettings)
        return order;
    const JobSettings &js = *pdev->jobSettings;
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    order.first = pdev->channel->firstPageIndex;
    order.count = pdev->channel->pageCount;
    order.reverse = js.reverseOrder ? 1 : 0;
    order.twoPass = js.driverDuplex && !(sheet && sheet->twoPassEnded) ? 1 : 0;
    order.ascendingBacks = js.outputTrayMode == kAscendingBacksMode;
    return order;
}

LONG REC_CountTwoPassSheets(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings || !recording(pdev))
        return -1;
    const LONGLONG sheets = LONGLONG(driver_copies(*pdev->jobSettings)) * (pdev->channel->pageCount / 2);
    return LONG(sheets > 0x7FFFFFFF ? 0x7FFFFFFF : sheets);
}

int REC_ReplayInOrder(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings || !recording(pdev))
        return -1;
    ReplayOrder order = REC_JobOrder(pdev);
    order.twoPass = 0;
    return replay_pass(pdev, order, 1);
}

int REC_ReplayTwoPass(PdevContext *pdev, DWORD pass)
{
    if (!pdev || !pdev->jobSettings || !recording(pdev) || pass < 1 || pass > 2)
        return -1;
    ReplayOrder order = REC_JobOrder(pdev);
    order.twoPass = 1;
    return replay_pass(pdev, order, pass);
}

int REC_ReplayJob(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings || !JOB_SheetState(pdev) || !recording(pdev))
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    const ReplayOrder order = REC_JobOrder(pdev);
    const DWORD passes = REC_PassCount(&order), copies = driver_copies(js);
    /* Every transform of the replayed pages goes out again. */
    const LONG valid = XL_SetCtmValid(pdev->ctmTracker, 0);
    int rc = 0;
    for (DWORD pass = 1; pass <= passes && rc == 0; pass++) {
        for (DWORD copy = 0; copy < copies && rc == 0; copy++) {
            /* Each copy ends on a whole sheet: a last front face recorded its blank back face. */
            /* Leading sheets: the closing insert of a reversed job, else a blank cover. */
            rc = js.reverseOrder ? closing_insert(pdev, true) : blank_cover(pdev, true);
            if (rc == 0 && js.booklet)
                rc = REC_ReplayBooklet(pdev, pass);
            else if (rc == 0)
                rc = order.twoPass ? REC_ReplayTwoPass(pdev, pass) : REC_ReplayInOrder(pdev);
            /* Trailing sheets: the blank cover of a reversed job (one side), else the closing insert. */
            if (rc == 0)
                rc = js.reverseOrder ? blank_cover(pdev, false) : closing_insert(pdev, false);
        }
    }
    XL_SetCtmValid(pdev->ctmTracker, valid);
    return rc;
}

BYTE REC_DecidePageColor(PdevContext *pdev, DWORD pageIndex, DWORD partner, LONG colorMode)
{
    if (!pdev || !pdev->channel)
        return 0;
    SpoolPageRecord page{}, other{};
    if (read_record(pdev, pageIndex, &page) != 0)
        return 0;
    const bool paired = !(partner & REC_NO_PAGE);
    if (paired && read_record(pdev, partner, &other) != 0)
        return 0;
    bool colour;
    if (colorMode == JOB_COLOR_MONO || colorMode == JOB_COLOR_COLOR)
        colour = colorMode == JOB_COLOR_COLOR;
    else
        colour = page.colorMode == JOB_PAGE_COLOR_COLOR || (paired && other.colorMode == JOB_PAGE_COLOR_COLOR);
    PageColorSet colors = page.colors;
    if (paired)
        PCS_Merge(&colors, &other.colors);
    return PCS_ColorCode(&colors, colour ? 2 : 1);
}

int REC_ReplayPageAs(PdevContext *pdev, DWORD pageIndex, DWORD actions, const PageTransform *cellTransform,
                     DWORD partner, LONG colorMode, SHORT mediaSource)
{
    if (!pdev || !JOB_IsSheetSetUp(pdev))
        return -1;
    if (!(pdev->recordFlags & REC_FLAG_RECORDING) || (pageIndex & REC_NO_PAGE))
        return 0;
    if (pageIndex == partner)
        return -1;
    BYTE code = REC_DecidePageColor(pdev, pageIndex, partner, colorMode);
    if (code == 0)
        return -1;
    return REC_ReplayPage(pdev, pageIndex, actions, code, cellTransform, mediaSource);
}

int REC_ReplayHeldPage(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings)
        return -1;
    return REC_FlushHeldPage(pdev);
}
