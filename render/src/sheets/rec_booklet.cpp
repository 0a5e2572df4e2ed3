/*
 * Booklets and posters from their recorded pages.  A booklet is replayed
 * set by set and side by side, each side's two pages placed in their halves
 * of the spread; with fixed sets of sheets a set is replayed as soon as it
 * is full, unless the whole job is replayed at its end (reverse order,
 * driver-collated copies, two-pass duplex), which then cuts the sets
 * itself.  A poster page is replayed once for every tile, each time moved
 * so that the tile's part of the page lies on the sheet; it goes out at the
 * end of its page, or with the whole job when the job is replayed at its
 * end.
 */
#include "page_recording.h"

#include "booklet_order.h"
#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "page_geometry.h"
#include "page_recording_replay.h"
#include "pdev_context.h"
#include "sheet_pipeline.h"
#include "sheet_state.h"

#include <plat/error.h>

#include <algorithm>

namespace {

bool recording(const PdevContext *pdev)
{
    return pdev->channel && (pdev->recordFlags & REC_FLAG_RECORDING) && !(pdev->recordFlags & REC_FLAG_PAGE_OPEN);
}

/* The page open in the recording. */
DWORD open_page(const PdevContext *pdev) { return DWORD(pdev->channel->firstPageIndex) + pdev->channel->pageCount; }

/*
 * The page as it was recorded: the sheet's page, turned when the recorded
 * page had the other orientation, and the layout with the page's own
 * 180-degree turn code.
 */
int recorded_page(PdevContext *pdev, DWORD pageIndex, PageGeometry *page, LayoutParams *params)
{
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    PageLayout layout{};
    LONG landscape = 0;
    if (!sheet || REC_LoadPageHeader(pdev, pageIndex, &layout, &landscape) != 0)
        return -1;
    *page = sheet->page;
    if ((landscape != 0) != (page->landscape != 0))
        LAY_TurnPageGeometry(page);
    *params = sheet->params;
    params->turn180 = layout.value437;
    return 0;
}

/* The transform of recorded page `pageIndex` in half `position` of its booklet side. */
int booklet_transform(PdevContext *pdev, LONG pageIndex, LONG position, PageTransform *out)
{
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    const PageLayout &pl = *pdev->pageLayout;
    PageGeometry page{};
    LayoutParams params{};
    if (recorded_page(pdev, DWORD(pageIndex), &page, &params) != 0)
        return -1;
    BookletHalf half{};
    half.binding = pl.bookletOptions[3];
    half.gutterWidth = pl.bookletOptions[0] ? pl.bookletOptions[1] : 0;
    half.pageIndex = pageIndex;
    half.position = position;
    if (LAY_BookletCellTransform(&params, &sheet->paper, &page, sheet->resolution, &half, out) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER); /* a gutter or layout that leaves the page no room */
        return -1;
    }
    return 0;
}

/* The media source of the cover tray, or -1 (the recorded one) when the model does not know the tray. */
SHORT cover_source(PdevContext *pdev)
{
    WORD source = 0;
    if (JOB_TrayMediaSource(pdev->mainReader, pdev->companionReader, WORD(pdev->jobSettings->leadingInsertTray),
                            &source) != 0)
        return -1;
    return SHORT(source);
}

/*
 * One side holding pages p0 (left half) and p1 (right half), either of them
 * BKL_BLANK: both pages with the higher one first, one page alone, or for a
 * side without pages a blank sheet side when the centre spread goes first.
 */
int replay_side(PdevContext *pdev, LONG p0, LONG p1, bool centreFirst, SHORT source)
{
    const LONG colorMode = pdev->jobSettings->colorState;
    if (p0 == BKL_BLANK && p1 == BKL_BLANK)
        return centreFirst ? JOB_EmitBlankSheet(pdev, SHORT(JOB_SheetState(pdev)->tray)) : 0;
    PageTransform t{};
    if (p0 == BKL_BLANK || p1 == BKL_BLANK) {
        const LONG page = p0 == BKL_BLANK ? p1 : p0, position = p0 == BKL_BLANK ? 1 : 0;
        if (booklet_transform(pdev, page, position, &t) != 0)
            return -1;
        return REC_ReplayPageAs(pdev, DWORD(page), REC_REPLAY_ALONE, &t, REC_NO_PAGE, colorMode, source);
    }
    const LONG high = std::max(p0, p1), low = std::min(p0, p1);
    const LONG highPosition = high == p0 ? 0 : 1;
    PageTransform u{};
    if (booklet_transform(pdev, high, highPosition, &t) != 0 || booklet_transform(pdev, low, 1 - highPosition, &u) != 0)
        return -1;
    if (REC_ReplayPageAs(pdev, DWORD(high), REC_REPLAY_FIRST_OF_SIDE, &t, DWORD(low), colorMode, source) != 0)
        return -1;
    return REC_ReplayPageAs(pdev, DWORD(low), REC_REPLAY_SECOND_OF_SIDE, &u, DWORD(high), colorMode, -1);
}

/* The poster of recorded page `pageIndex`. */
int poster_layout(PdevContext *pdev, DWORD pageIndex, PosterLayout *poster)
{
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    const JobSettings &js = *pdev->jobSettings;
    PageGeometry page{};
    LayoutParams params{};
    if (recorded_page(pdev, pageIndex, &page, &params) != 0)
        return -1;
    if (LAY_PosterLayout(&params, &sheet->paper, &page, sheet->resolution, js.posterAcross, js.posterDown,
                         poster) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return 0;
}

/* Keeps the page's layout fields and orientation with its record, for the transforms worked out at its replay. */
int store_page_header(PdevContext *pdev, DWORD pageIndex)
{
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    return REC_StorePageHeader(pdev, pageIndex, pdev->pageLayout, sheet->page.landscape);
}

} // namespace

int REC_ReplayBookletSet(PdevContext *pdev, LONG a, LONG b, DWORD pass)
{
    if (!pdev || !pdev->jobSettings || !pdev->pageLayout || !recording(pdev) || (pass != 1 && pass != 2))
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    const ReplayOrder order = REC_JobOrder(pdev);
    const LONG first = LONG(order.first), last = LONG(order.first + order.count) - 1;
    if (a < first || b > last || b < a)
        return -1;
    const bool cover = js.coverFlag && a == 0;
    const LONG sides = BKL_SideCount(a, b, cover);
    const LONG outerFirst = (js.outputOrderReversed ? 1 : 0) ^ (js.reverseOrder ? 1 : 0);
    const LONG binding = pdev->pageLayout->bookletOptions[3];
    /* Cover modes 1 and 3 feed the outer sheet from the cover tray: the side of page 1, or the cover's of page 0. */
    const bool printedCover = a == 0 && (js.coverMode == 1 || js.coverMode == 3);
    const LONG coverPage = js.coverFlag ? 0 : 1;
    const LONG steps = order.twoPass ? sides + sides % 2 : sides;
    for (LONG step = 0; step < steps; step++) {
        const LONG s = order.twoPass ? BKL_TwoPassSide(sides, step, pass, order.ascendingBacks) : step;
        if (s < 0)
            continue;
        const LONG p0 = BKL_PageOnSide(a, b, s, binding, 0, outerFirst, cover);
        const LONG p1 = BKL_PageOnSide(a, b, s, binding, 1, outerFirst, cover);
        if (p0 == -1 || p1 == -1)
            return -1;
        const SHORT source = printedCover && (p0 == coverPage || p1 == coverPage) ? cover_source(pdev) : SHORT(-1);
        if (replay_side(pdev, p0, p1, !outerFirst, source) != 0)
            return -1;
    }
    return 0;
}

int REC_ReplayBooklet(PdevContext *pdev, DWORD pass)
{
    if (!pdev || !pdev->jobSettings || !JOB_SheetState(pdev) || !recording(pdev) || (pass != 1 && pass != 2))
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    const ReplayOrder order = REC_JobOrder(pdev);
    BookletSets sets{};
    sets.mode = js.bookletOption;
    sets.first = LONG(order.first);
    sets.count = LONG(order.count);
    sets.sheets = js.bookletOptionValue;
    sets.cover = js.coverFlag && order.first == 0;
    const LONG n = BKL_SetCount(&sets);
    /* Reversed output, and the back faces of a first pass that go out descending, take the sets last to first. */
    const bool backwards = js.reverseOrder || (order.twoPass && pass == 1 && !order.ascendingBacks);
    for (LONG j = 0; j < n; j++) {
        LONG a = 0, b = 0;
        if (BKL_SplitSets(&sets, backwards ? n - 1 - j : j, &a, &b) != 0 || REC_ReplayBookletSet(pdev, a, b, pass) != 0)
            return -1;
    }
    return 0;
}

int REC_EndPageBooklet(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || !pdev->channel || !(pdev->recordFlags & REC_FLAG_PAGE_OPEN))
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    const DWORD page = open_page(pdev);
    if (store_page_header(pdev, page) != 0 || REC_ClosePageRecord(pdev, page) != 0)
        return -1;
    /* A job replayed at its end keeps every page; it cuts the sets then. */
    if (js.bookletOption != BKL_SETS_FIXED || js.recorded)
        return 0;
    const DWORD first = pdev->channel->firstPageIndex, count = pdev->channel->pageCount;
    if (!BKL_SetComplete(LONG(count), LONG(first + count) - 1, js.bookletOptionValue, js.coverFlag, first == 0))
        return 0;
    const LONG valid = XL_SetCtmValid(pdev->ctmTracker, 0);
    int rc = REC_ReplayBooklet(pdev, 1);
    XL_SetCtmValid(pdev->ctmTracker, valid);
    sheet->bookletNextPage = first + count;
    if (REC_StopRecording(pdev) != 0)
        rc = -1;
    return rc;
}

int REC_ReplayPosterPage(PdevContext *pdev, DWORD pageIndex)
{
    if (!pdev || !pdev->jobSettings || !pdev->pageLayout || !recording(pdev))
        return -1;
    PosterLayout poster{};
    if (poster_layout(pdev, pageIndex, &poster) != 0)
        return -1;
    const LONG tiles = poster.columns * poster.rows;
    const bool reverse = pdev->jobSettings->reverseOrder != 0;
    for (LONG k = 0; k < tiles; k++) {
        PageTransform t{};
        if (LAY_PosterTileTransform(&poster, reverse ? tiles - 1 - k : k, &t) != 0 ||
            REC_ReplayPageAs(pdev, pageIndex, REC_REPLAY_FIRST_OF_SIDE, &t, REC_NO_PAGE,
                             pdev->jobSettings->colorState, -1) != 0)
            return -1;
        /* The next tile is a sheet of its own: nothing of this one's state holds there. */
        if (XL_ResetCtmTracker(pdev->ctmTracker) != 0)
            return -1;
    }
    return 0;
}

int REC_EndPosterPage(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings || !pdev->channel || !(pdev->recordFlags & REC_FLAG_PAGE_OPEN))
        return -1;
    const DWORD page = open_page(pdev);
    if (store_page_header(pdev, page) != 0 || REC_ClosePageRecord(pdev, page) != 0)
        return -1;
    /* A job replayed at its end keeps the page for its replay, which makes the tiles. */
    if (pdev->jobSettings->recorded)
        return 0;
    int rc = REC_ReplayPosterPage(pdev, page);
    if (REC_StopRecording(pdev) != 0)
        rc = -1;
    return rc;
}
