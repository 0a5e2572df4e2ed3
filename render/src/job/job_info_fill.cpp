/*
 * The job-information record filled from the job: page entries from the
 * sheet pipeline's paper, tray and duplex state, job items from the job
 * settings, the layout and the sheet counters.
 */
#include "job_info_fill.h"

#include "job_header.h"

#include "job_settings.h"
#include "pdev_context.h"
#include "sheet_state.h"

#include <tarvel/job_language/job_info.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

enum : WORD {
    ID_COPY_SET_PAGES_OFF = 381, /* 1: the document's own pages are not printed */
    ID_SHEET_DATA = 376,
    ID_DELAYED = 1800,
};

enum : LONG {
    MODE_COLOR = 1,
    MODE_MONOCHROME = 2,
    MODE_EMPTY = 3,
};

void set_item(JobInfoRecord *r, int item) { r->setFlags[item] = 1; }

bool setting_is(PdevContext *pdev, WORD id, DWORD value)
{
    DWORD v = 0;
    return PDEV_GetSetting32(pdev, id, &v) == 0 && v == value;
}

} // namespace

DWORD JIG_TrayNumber(WORD trayCode)
{
    switch (trayCode) {
    case 7: return 0;
    case 1: case 272: return 1;
    case 3: case 271: return 2;
    case 2: case 261: return 3;
    case 257: case 262: return 4;
    case 4: case 260: return 5;
    case 265: return 201;
    case 266: return 202;
    case 267: return 203;
    default: return 0x8000;
    }
}

void JIG_PageSizeText(LONG width, LONG length, BOOL customSize, char *text, size_t capacity)
{
    LONG a = width < length ? width : length, b = width < length ? length : width;
    /* A text cut at the capacity is still terminated; only a formatting error leaves it empty. */
    if (std::snprintf(text, capacity, "%s%ld.%ldX%ld.%ld", customSize ? "*" : "", long(a / 10), long(a % 10),
                      long(b / 10), long(b % 10)) < 0 &&
        capacity > 0)
        text[0] = '\0';
}

int JIG_AddPageEntry(PdevContext *pdev, BOOL customSize)
{
    if (!pdev || !pdev->jobInfo || !pdev->jobSettings || !pdev->pageLayout)
        return -1;
    JobInfoRecord *r = pdev->jobInfo;
    if (pdev->jobSettings->formMode && JIF_ListCount(r->pages) >= 1)
        return 0;
    if (JIF_ListAppend(r->pages) == 0)
        return -1;
    JobInfoPage *page = JIF_ListCurrentEntry(r->pages);
    if (!page)
        return -1;
    const SheetPipelineState &sheet = pdev->pageLayout->sheet;
    JIG_PageSizeText(sheet.paper.width, sheet.paper.length, customSize, page->size, sizeof page->size);
    page->mode = MODE_EMPTY;
    page->colors = 0;
    page->inTray = JIG_TrayNumber(sheet.tray);
    if (pdev->jobSettings->booklet)
        page->duplex = 2;
    else if (sheet.duplexKind)
        page->duplex = sheet.duplexKind == 2 ? 1 : sheet.duplexKind == 3 ? 2 : 0;
    else
        page->duplex = pdev->pageLayout->duplexEdge == 1 ? 2 : pdev->pageLayout->duplexEdge == 2 ? 1 : 0;
    set_item(r, JIF_ITEM_PAGEINFO);
    set_item(r, JIF_FLAG_SIZE);
    set_item(r, JIF_FLAG_MODE);
    set_item(r, JIF_FLAG_COLORS);
    set_item(r, JIF_FLAG_INTRAY);
    set_item(r, JIF_FLAG_DUPLEX);
    return 0;
}

int JIG_MarkPageDrawn(PdevContext *pdev)
{
    if (!pdev || !pdev->jobInfo || !pdev->jobSettings)
        return -1;
    JobInfoPage *page = JIF_ListCurrentEntry(pdev->jobInfo->pages);
    if (!page)
        return -1;
    LONG state = pdev->jobSettings->colorState;
    if (state == JOB_COLOR_COLOR)
        page->mode = MODE_COLOR;
    else if (state == JOB_COLOR_MONO)
        page->mode = MODE_MONOCHROME;
    else
        page->mode = pdev->pageColorMode == 2 ? MODE_COLOR : MODE_MONOCHROME;
    /* How many colours the colour page has, when the job asks pages for it. */
    page->colors = pdev->jobSettings->use5126 && page->mode == MODE_COLOR ? LONG(pdev->pageColors.count) : 0;
    return 0;
}

int JIG_FillJobItems(PdevContext *pdev)
{
    if (!pdev || !pdev->jobInfo || !pdev->jobSettings || !pdev->pageLayout)
        return -1;
    JobInfoRecord *r = pdev->jobInfo;
    const JobSettings &js = *pdev->jobSettings;
    const PageLayout &pl = *pdev->pageLayout;
    const SheetPipelineState &sheet = pl.sheet;

    char version[16];
    JOB_ProtocolVersionText(js.protocolClass, version, sizeof version);
    JIF_SetPdlType(r, 3, version);

    bool copySetPages = pdev->copySetMode && !setting_is(pdev, ID_COPY_SET_PAGES_OFF, 1);
    JIF_SetJobType(r, js.formMode ? 3 : (copySetPages || js.jobType == 4) ? 1 : 0);

    if (pdev->copySetMode && setting_is(pdev, ID_DELAYED, 1))
        r->storedJobType = 3;
    else
        r->storedJobType = js.jobType == 1 ? 1 : js.jobType == 2 ? 2 : js.jobType == 3 ? 5 : 0;
    set_item(r, JIF_ITEM_STOREDJOBTYPE);

    LONG copies = js.copies ? js.copies : 1;
    if (js.driverCollate) {
        r->jobCopies = 1;
        r->pageCopies = 1;
    } else if (js.collate || js.jobType == 2) {
        r->jobCopies = copies;
        r->pageCopies = 1;
    } else {
        r->jobCopies = 1;
        r->pageCopies = copies;
    }
    set_item(r, JIF_ITEM_JOBCOPIES);
    set_item(r, JIF_ITEM_PAGECOPIES);

    r->duplexType = (js.booklet || pl.duplexEdge == 1) ? 2 : pl.duplexEdge == 2 ? 1 : 0;
    set_item(r, JIF_ITEM_DUPLEXTYPE);
    r->nup = pl.pagesPerSheet;
    set_item(r, JIF_ITEM_NUP);
    r->poster = js.poster ? LONG(js.posterAcross) * js.posterDown : 1;
    set_item(r, JIF_ITEM_POSTER);

    r->bookletType = 0;
    r->bookletThreshold = 1;
    if (js.booklet && js.bookletOption == 0) {
        r->bookletType = 1;
    } else if (js.booklet && (js.bookletOption == 1 || js.bookletOption == 2)) {
        r->bookletType = js.bookletOption + 1;
        r->bookletThreshold = js.bookletOptionValue;
    }
    set_item(r, JIF_ITEM_BOOKLETTYPE);

    r->pageOrder = js.reverseOrder ? 1 : 0;
    set_item(r, JIF_ITEM_PAGEORDER);
    r->slipSheet = js.value1313;
    set_item(r, JIF_ITEM_SLIPSHEET);
    r->tonerSave = js.value1320 ? 1 : 0;
    set_item(r, JIF_ITEM_TONERSAVE);
    r->logicalPages = LONG(std::min<DWORD>(pdev->jobCounters.logicalPages, 0x7FFFFFFF));
    set_item(r, JIF_ITEM_LOGICALPAGES);

    LONGLONG sides = sheet.sidesEmitted, estimate;
    if (js.booklet)
        estimate = copies * ((LONGLONG(sheet.sidesStarted) + 3) / 4);
    else if (js.poster)
        estimate = sides * copies * js.posterAcross * js.posterDown;
    else if (js.formMode)
        estimate = 0;
    else if (copySetPages && setting_is(pdev, ID_SHEET_DATA, 1))
        estimate = sides + 1;
    else
        estimate = sides * copies;
    r->estimatedSheets = LONG(std::min<LONGLONG>(estimate, 0x7FFFFFFF)); /* many copies of a long job: no overflow */
    set_item(r, JIF_ITEM_ESTIMATEDSHEETS);
    return 0;
}

int JIG_NextJobInfoLine(PdevContext *pdev, char *buffer, BOOL *more)
{
    if (more)
        *more = FALSE;
    if (!pdev || !pdev->jobInfo || !buffer)
        return -1;
    WORD errors = 0;
    BOOL next = FALSE;
    int n = JIF_WriteChunk(pdev->jobInfo, buffer, JIG_PIECE_SIZE, &next, &errors);
    /* A piece that could not write its next line would be asked for again and again. */
    if (n == 0 && (errors & JIF_ERR_NO_ROOM))
        next = FALSE;
    if (more)
        *more = next;
    return n;
}
