/*
 * The sheet pipeline on the direct road: logical pages placed in the cells
 * of physical sheet sides that go straight to the printer.  Each sheet side
 * latches its paper, tray, duplex and colour, resets the graphics-state
 * cache and the transform tracker (so every side sends its transform
 * again), writes its page start, and gets a job-information entry; each
 * logical page gets its cell's transform.  Sheets of jobs replayed at their
 * end (reverse order, driver-collated copies, driver duplex) and sheets
 * whose colour is decided by what is drawn on them are recorded instead,
 * and so is every page of a booklet or poster, placed in its half or on its
 * tiles when it is replayed.  Copy-set jobs add sheet-data pages of their
 * own (job_copy_set_pages.cpp).
 */
#include "sheet_pipeline.h"

#include "booklet_order.h"
#include "form_overlay.h"
#include "job_ext.h"
#include "job_header.h"
#include "job_info_fill.h"
#include "job_settings.h"
#include "job_state.h"
#include "sheet_data.h"
#include "output_channel.h"
#include "page_colors.h"
#include "page_recording.h"
#include "page_recording_direct.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/error.h>

#include <algorithm>
#include <cstring>

namespace {

enum : WORD {
    ID_TRAY = 13,           /* the tray of the page (15: the paper type's tray) */
    ID_PAPER_TYPE_TRAY = 265,
    ID_TRAY_SELECTION = 457, /* 2: the paper type's tray decides */
    ID_CELL_BORDERS = 1337,  /* frames around the N-up cells */
};

/* Tray values that hand the choice to the other setting. */
constexpr DWORD kTrayByPaperType = 15;
constexpr DWORD kPaperTypeByTray = 258;

/* RecordFlags bit while an inserted sheet is set up. */
constexpr DWORD kInsertedSheet = 0x0080;

/* Page-table room of a job-level recording at its start (it grows), and of a page held for its colour. */
constexpr WORD kJobRecordingCapacity = 80;
constexpr WORD kHeldPageCapacity = 1;

/* What a recorded sheet records: its page start (replayed with a new BeginPage), kept for the job, or held alone. */
constexpr DWORD kRecordJobSheet = DWORD(REC_FLAG_KIND_RECORDED) | DWORD(REC_RECORDS_PAGE_START);
constexpr DWORD kRecordHeldSheet = REC_RECORDS_PAGE_START;
constexpr DWORD kRecordSkippedBack = REC_FLAG_KIND_RECORDED;
/* Booklet and poster pages: their transforms are placed at replay; a booklet page also ends there. */
constexpr DWORD kRecordPosterPage = DWORD(REC_FLAG_KIND_RECORDED) | REC_RECORDS_PAGE_START | REC_RECORDS_TRANSFORM;
constexpr DWORD kRecordBookletPage = kRecordPosterPage | REC_RECORDS_PAGE_END | REC_RECORDS_SHEET_MARK;


/* The roads the first sheet settles: the job's form, and the copy-set settings of a copy-set job. */
int settle_job_roads(PdevContext *pdev)
{
    /* every job: a form-overlay job finds its form, any other forgets the last one's */
    if (OVL_FindJobForm(pdev) != 0)
        return -1;
    return JOB_ReadCopySetSettings(pdev);
}

DWORD setting(PdevContext *pdev, WORD id, DWORD fallback = 0)
{
    DWORD v = 0;
    return PDEV_GetSetting32(pdev, id, &v) == 0 ? v : fallback;
}

WORD settings_tray(PdevContext *pdev);

/* Output-tray mode in which two-pass back faces of short-edge binding are turned too. */
constexpr LONG kAscendingBacksMode = 4;

/*
 * A back face of a two-pass duplex job is fed again with the stack turned
 * over: its pages are turned within the paper for long-edge binding, and
 * for short-edge binding in output-tray mode 4.
 */
bool turned_back_face(const PdevContext *pdev, const SheetPipelineState &sheet, LONG side)
{
    const JobSettings &js = *pdev->jobSettings;
    const LONG edge = pdev->pageLayout->duplexEdge;
    return side == 1 && js.driverDuplex && !sheet.twoPassEnded &&
           (edge == 2 || (edge == 1 && js.outputTrayMode == kAscendingBacksMode));
}

/* The next page index of the running recording. */
DWORD next_recorded_page(const PdevContext *pdev)
{
    return DWORD(pdev->channel->firstPageIndex) + pdev->channel->pageCount;
}

bool job_records(const PdevContext *pdev)
{
    return pdev->jobSettings->recorded && pdev->channel && (pdev->recordFlags & REC_FLAG_RECORDING);
}

/*
 * The recording of a booklet or poster page: a booklet's pages are kept
 * until their set is replayed (a set that went out starts the next
 * recording at the page after it); a poster page alone, unless the job is
 * replayed at its end and keeps all its pages.
 */
int open_tiled_record(PdevContext *pdev)
{
    const JobSettings &js = *pdev->jobSettings;
    if (!(pdev->recordFlags & REC_FLAG_RECORDING)) {
        const WORD first = js.booklet ? WORD(JOB_SheetState(pdev)->bookletNextPage) : 0;
        if (REC_StartRecording(pdev, first, js.booklet || js.recorded ? kJobRecordingCapacity : kHeldPageCapacity) != 0)
            return -1;
    }
    return REC_OpenPageRecord(pdev, next_recorded_page(pdev), pdev->pageColorMode,
                              js.booklet ? kRecordBookletPage : kRecordPosterPage, js.use5126,
                              WORD(js.use5126 ? js.value5126 : 0), js.high5126);
}

/*
 * The recording of a sheet: a booklet or poster page always; kept for the
 * job's replay when the job is replayed at its end, held until its colour is
 * known when the colour is decided by what is drawn, else none (the sheet
 * goes straight out).
 */
int open_sheet_record(PdevContext *pdev)
{
    const JobSettings &js = *pdev->jobSettings;
    if (js.booklet || js.poster)
        return open_tiled_record(pdev);
    const bool held = pdev->pageColorMode == JOB_PAGE_COLOR_UNDECIDED;
    if (!js.recorded && !held)
        return 0;
    if (!(pdev->recordFlags & REC_FLAG_RECORDING) &&
        REC_StartRecording(pdev, 0, js.recorded ? kJobRecordingCapacity : kHeldPageCapacity) != 0)
        return -1;
    return REC_OpenPageRecord(pdev, next_recorded_page(pdev), pdev->pageColorMode,
                              js.recorded ? kRecordJobSheet : kRecordHeldSheet, js.use5126,
                              WORD(js.use5126 ? js.value5126 : 0), js.high5126);
}

/*
 * Closes the sheet's record: a booklet or poster page by its kind (which may
 * replay a full set or the tiles), kept for the job, or a page held for its
 * colour goes out now.
 */
int close_sheet_record(PdevContext *pdev)
{
    if (!(pdev->recordFlags & REC_FLAG_PAGE_OPEN))
        return 0;
    if (pdev->jobSettings->booklet)
        return REC_EndPageBooklet(pdev);
    if (pdev->jobSettings->poster)
        return REC_EndPosterPage(pdev);
    if (pdev->recordFlags & REC_FLAG_KIND_RECORDED)
        return REC_ClosePageRecord(pdev, next_recorded_page(pdev));
    return REC_ReplayHeldPage(pdev);
}

/* The layout settings of this sheet: the job's layout record, the page's own orientation for 1-up. */
LayoutParams layout_params(const PageLayout &pl, const PageGeometry &page)
{
    LayoutParams p{};
    p.pagesPerSheet = pl.pagesPerSheet;
    p.cellOrder = pl.nupOrder;
    p.sheetLandscape = pl.pagesPerSheet == 1 ? page.landscape : 0;
    p.cellsTurned = pl.sheetTurned;
    p.zoomOn = pl.scaling;
    p.zoomPercent = LONG(pl.scale);
    p.fit = pl.fit;
    p.binding = pl.binding;
    p.bindingFront = pl.bindingValues[0];
    p.bindingBack = pl.bindingValues[1];
    p.duplexBinding = pl.duplexEdge;
    p.shiftMode = pl.imageShift;
    p.shiftX = pl.imageShiftValues[0];
    p.shiftY = pl.imageShiftValues[1];
    p.turn180 = pl.value437;
    p.alignment = pl.value382;
    return p;
}

/* The paper fed and the application's page of this sheet, from the context's forms. */
int latch_paper(PdevContext *pdev, PaperRecord *paper, PageGeometry *page)
{
    const JobSettings &js = *pdev->jobSettings;
    DWORD code = setting(pdev, ID_OUTPUT_PAPER);
    if (code == FORM_PAPER_JOB_OWN)
        code = setting(pdev, ID_PAPER_SIZE);
    if (LAY_PaperRecord(&pdev->feedForm, SHORT(code), js.borderless, paper) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    LONG margins[4];
    const StartPagePaperInfo &m = pdev->jobFormPaper.info;
    margins[0] = m.left;
    margins[1] = m.right;
    margins[2] = m.top;
    margins[3] = m.bottom;
    DWORD orientation = setting(pdev, ID_ORIENTATION, 1);
    if (LAY_PageGeometry(&pdev->jobForm, SHORT(code), js.borderless, LONG(orientation), js.userMargins ? margins : nullptr,
                         page) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER); /* a paper or orientation the page cannot take */
        return -1;
    }
    return 0;
}

/* How BeginPage names this sheet's paper and tray. */
int latch_media(PdevContext *pdev, SheetPipelineState &sheet)
{
    WORD source = 0;
    if (JOB_TrayMediaSource(pdev->mainReader, pdev->companionReader, sheet.tray, &source) == 0)
        sheet.mediaSource = SHORT(source);
    JobPaper jp{};
    jp.paperCode = WORD(sheet.paper.paperCode);
    jp.width = WORD(sheet.paper.width);
    jp.length = WORD(sheet.paper.length);
    WORD code = 0, width = 0, length = 0;
    if (JOB_PaperMediaSize(&jp, pdev->feedForm.modelPaper, &code, &width, &length) != 0)
        return -1;
    sheet.customSize = code == JOB_MEDIA_BY_SIZE;
    if (sheet.customSize) {
        sheet.mediaSize = -1;
        sheet.customWidth = FLOAT(width) / 10.0f;
        sheet.customHeight = FLOAT(length) / 10.0f;
    } else {
        sheet.mediaSize = SHORT(code);
    }
    return 0;
}

/* The colour code of BeginPage: the job's fixed colour, else what the page showed. */
BYTE color_code(PdevContext *pdev)
{
    LONG state = pdev->jobSettings->colorState;
    if (state == JOB_COLOR_MONO)
        return 1;
    if (state == JOB_COLOR_COLOR)
        return 2;
    return pdev->pageColorMode == JOB_PAGE_COLOR_COLOR ? 2 : 1;
}

/* The side's page start: the orientation note, the cache reset, BeginPage, the job-information entry. */
int write_sheet_start(PdevContext *pdev, SheetPipelineState &sheet)
{
    if (pdev->jobSettings->informOrientation) {
        if (XL_Comment(pdev, sheet.page.landscape ? "InformOrientation=LANDSCAPE" : "InformOrientation=PORTRAIT") != 0)
            return -1;
    }
    /* A new side starts from an unknown graphics state: every state command and the transform go out again. */
    if (XL_ResetCtmTracker(pdev->ctmTracker) != 0)
        return -1;
    sheet.colorCode = color_code(pdev);
    if (REC_BeginPage(pdev, sheet.colorCode, sheet.mediaSource, sheet.mediaSize, sheet.customWidth,
                      sheet.customHeight) != 0)
        return -1;
    return JIG_AddPageEntry(pdev, sheet.customSize);
}

bool same_paper(const PaperRecord &a, const PaperRecord &b)
{
    return a.paperCode == b.paperCode && a.width == b.width && a.length == b.length;
}

/*
 * The sheet's base rotation: a booklet's by its binding and the page's
 * orientation (binding 1: portrait a quarter, landscape a half turn;
 * binding 2: the opposite ends), 1-up sheets by the page, N-up sheets by
 * their cells.
 */
LONG sheet_rotation(const JobSettings &js, const PageLayout &pl, const PageGeometry &page)
{
    if (js.booklet) {
        if (pl.bookletOptions[3] == 2)
            return page.landscape ? SHEET_ROTATE_NONE : SHEET_ROTATE_270;
        return page.landscape ? SHEET_ROTATE_180 : SHEET_ROTATE_90;
    }
    if (pl.pagesPerSheet == 1)
        return page.landscape ? SHEET_ROTATE_90 : SHEET_ROTATE_NONE;
    return pl.sheetTurned ? SHEET_ROTATE_90 : SHEET_ROTATE_NONE;
}

/* The crop marks of a poster page, around the printable area that each of its tiles fills. */
int draw_crop_marks(PdevContext *pdev, const SheetPipelineState &sheet)
{
    const PaperRecord &p = sheet.paper;
    const LONG res = sheet.resolution;
    return LAY_DrawCropMarks(pdev, LONG(LAY_ToPixels(p.layoutLeft, res)), LONG(LAY_ToPixels(p.layoutTop, res)),
                             LONG(LAY_ToPixels(p.printableWidth, res)), LONG(LAY_ToPixels(p.printableLength, res)),
                             res);
}

} // namespace

bool JOB_IsTurnedBackFace(const PdevContext *pdev, const SheetPipelineState &sheet, LONG side)
{
    return turned_back_face(pdev, sheet, side);
}

SheetPipelineState *JOB_SheetState(PdevContext *pdev)
{
    return pdev && pdev->pageLayout ? &pdev->pageLayout->sheet : nullptr;
}

int JOB_InitSheetPipeline(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet)
        return -1;
    std::memset(sheet, 0, sizeof *sheet);
    sheet->mediaSource = -1;
    return JOB_LogEventText(pdev, nullptr, JOB_EVENT_START_TICK);
}

int JOB_TranslateSettings(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings)
        return -1;
    JobSettings &js = *pdev->jobSettings;
    if (pdev->ext.mode == 1) {
        /* The application's overrides change the settings the job was condensed from. */
        ModelCapabilityBits caps{};
        MDL_GetCapabilityBits(pdev->mainReader, &caps);
        if (ESC_SaveSettings(pdev) != 0 ||
            JOB_SnapshotSettings(&js, js.protocolClass, pdev->settings, pdev->printerData, &caps) != 0 ||
            JOB_TranslateLayout(pdev->pageLayout, &js, pdev->settings, pdev->printerData, &caps) != 0)
            return -1;
    }
    if (settle_job_roads(pdev) != 0 || JOB_CheckFaxData(pdev) != 0)
        return -1;
    LONG resolution = LONG(setting(pdev, ID_RESOLUTION));
    sheet->resolution = resolution > 0 ? resolution : 600;
    if (latch_paper(pdev, &sheet->paper, &sheet->page) != 0)
        return -1;
    /* A printed cover (modes 1 and 3) feeds the first sheet from the cover tray, both its sides in duplex. */
    const bool printedCover = js.coverMode == 1 || js.coverMode == 3;
    sheet->coverSides = printedCover ? (js.duplex >= 2 && !js.coverFlag ? 2 : 1) : 0;
    sheet->tray = JOB_TrayForPage(pdev);
    sheet->cellIndex = 0;
    sheet->sideIndex = 0;
    sheet->sidesEmitted = 0;
    sheet->sidesStarted = 0;
    sheet->paperKnown = 0;
    /* The sheet's rotation is set at each sheet start, once the layout record is translated. */
    sheet->translated = 1;
    return 0;
}

int JOB_StartSheet(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || (pdev->jobState & (JOB_SHEET_OPEN | JOB_PAGE_OPEN)))
        return -1;
    if (!sheet->translated && JOB_TranslateSettings(pdev) != 0)
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    const PageLayout &pl = *pdev->pageLayout;
    pdev->jobState |= JOB_SHEET_OPEN;

    /* The sheet's colour: the application's while it controls the colour, else the job's. */
    pdev->pageColorMode = pdev->ext.colourOverride ? LONG(pdev->ext.colourMode) : js.colorState;

    /* What changed since the previous sheet: tray, paper, duplex. */
    PaperRecord paper{};
    PageGeometry page{};
    if (latch_paper(pdev, &paper, &page) != 0)
        return -1;
    if (!sheet->paperKnown)
        sheet->settingsTray = settings_tray(pdev);
    /* N-up sheets keep the first sheet's tray; a cover takes its own before them. */
    WORD tray = pl.pagesPerSheet > 1 && sheet->paperKnown && sheet->coverSides <= 0 ? sheet->settingsTray
                                                                                    : JOB_TrayForPage(pdev);
    if (sheet->coverSides > 0)
        sheet->coverSides--;
    DWORD duplex = setting(pdev, 16, 1);
    bool changed = sheet->paperKnown && (tray != sheet->tray || !same_paper(paper, sheet->paper) ||
                                         (js.perPageDuplex && duplex != sheet->duplex));
    /* Two-pass duplex cannot pair the sides of different papers: the rest of the job goes in page order. */
    if (changed && js.driverDuplex)
        sheet->twoPassEnded = 1;
    if (changed && sheet->sidesPerSheet == 2 && sheet->sideIndex == 1) {
        if (JOB_SkipBackFace(pdev, JOB_BACK_FACE_PAPER_CHANGED) != 0)
            return -1;
    }
    sheet->previousPaper = sheet->paper;
    sheet->paper = paper;
    sheet->page = page;
    sheet->tray = tray;
    sheet->duplex = WORD(js.perPageDuplex ? duplex : js.duplex);
    sheet->sidesPerSheet = sheet->duplex >= 2 ? 2 : 1;
    if (js.perPageDuplex)
        sheet->duplexKind = LONG(duplex);
    if (changed || sheet->sideIndex >= sheet->sidesPerSheet || !sheet->paperKnown)
        sheet->sideIndex = 0;
    if (sheet->sideIndex == 0)
        sheet->sidesStarted++;
    sheet->paperKnown = 1;
    sheet->pageDrawn = 0;
    pdev->sheetRotation = sheet_rotation(js, pl, page);

    sheet->feedDirection = LAY_FeedDirection(pdev, paper.paperCode, tray);
    LayoutParams params = layout_params(pl, page);
    sheet->params = params;
    if (LAY_BuildLayout(&params, &paper, &page, sheet->resolution, &sheet->layout) != 0 ||
        latch_media(pdev, *sheet) != 0)
        return -1;

    /* The colours of this side, collected while the job asks how many a page has. */
    if (PCS_Init(&pdev->pageColors, js.use5126, WORD(js.use5126 ? js.value5126 : 0), js.high5126) != 0)
        return -1;
    /* Recorded or held sheets are recorded from here, an insert sheet before them included. */
    if (open_sheet_record(pdev) != 0)
        return -1;

    /* An insert sheet before this sheet's number. */
    if (js.pageInserts && sheet->sideIndex == 0) {
        for (SHORT &number : pdev->jobSettings->pageInsertValues) {
            if (number > 0 && DWORD(number) == sheet->sidesStarted) {
                number = 0;
                pdev->jobState &= ~JOB_SHEET_OPEN;
                int r = JOB_EmitBlankSheet(pdev, js.pageInsertTray);
                int due = r == 0 ? JOB_BackFaceDue(pdev, JOB_BACK_FACE_INSERT) : -1;
                if (due > 0)
                    r = JOB_EmitBlankSheet(pdev, js.pageInsertTray);
                pdev->jobState |= JOB_SHEET_OPEN;
                if (r != 0 || due < 0)
                    return -1;
                sheet->insertSides += due > 0 ? 2 : 1;
            }
        }
    }
    return write_sheet_start(pdev, *sheet);
}

int JOB_EndSheet(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || (pdev->jobState & JOB_PAGE_OPEN) || !(pdev->jobState & JOB_SHEET_OPEN))
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    if (js.poster && js.posterCutMarks && draw_crop_marks(pdev, *sheet) != 0)
        return -1;
    if (JOB_DrawSheetBorders(pdev) != 0)
        return -1;
    /* a form keeps its page open: the form runs inside the pages of later jobs */
    if ((!js.formMode && REC_EndPage(pdev) != 0) || REC_Mark(pdev) != 0 ||
        JOB_LogEvent(pdev, JOB_EVENT_END_PHYSICAL) != 0)
        return -1;
    if (sheet->pageDrawn)
        JIG_MarkPageDrawn(pdev);
    sheet->sidesEmitted++;
    sheet->sideIndex++;
    sheet->cellIndex = 0;
    pdev->jobCounters.sheets++;
    pdev->jobState &= ~JOB_SHEET_OPEN;
    /* After the sheet is closed: a booklet set that goes out at once may write blank sheet sides of its own. */
    return close_sheet_record(pdev);
}

int JOB_StartLogicalPage(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || (pdev->jobState & JOB_PAGE_OPEN) || !(pdev->jobState & JOB_SHEET_OPEN))
        return -1;
    pdev->jobState |= JOB_PAGE_OPEN;
    if (!sheet->openingBlank)
        sheet->pageDrawn = 1;
    if (JOB_LogEvent(pdev, JOB_EVENT_START_PAGE) != 0)
        return -1;
    if ((pdev->jobState & JOB_GEOMETRY_PENDING) && sheet->cellIndex > 0) {
        /* A page of its own paper or orientation inside a sheet already open: its cell takes the page as it is now. */
        PaperRecord paper{};
        PageGeometry page{};
        if (latch_paper(pdev, &paper, &page) != 0)
            return -1;
        sheet->page = page;
        sheet->params = layout_params(*pdev->pageLayout, page);
        if (LAY_BuildLayout(&sheet->params, &sheet->paper, &page, sheet->resolution, &sheet->layout) != 0)
            return -1;
    }
    PageTransform t;
    LONG side = sheet->sideIndex ? 1 : 0;
    if ((pdev->recordFlags & REC_FLAG_PAGE_OPEN) && (pdev->recordFlags & REC_RECORDS_TRANSFORM))
        LAY_SetIdentity(&t); /* booklet halves and poster tiles place the page when it is replayed */
    else if (LAY_ScaledPageTransform(&sheet->layout, sheet->cellIndex, side, turned_back_face(pdev, *sheet, side), 0.0f,
                                     0.0f, &t) != 0)
        return -1;
    if (REC_SetTransform(pdev, &t) != 0)
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    if (XL_CommentSr(pdev, int(js.qzsr[0]), int(js.qzsr[1])) != 0)
        return -1;
    /* Images on a page that lies across the feed direction are turned for the drawing code. */
    return LAY_PageRotation(pdev, &sheet->pageAngle, &sheet->pageTurned);
}

int JOB_EndLogicalPage(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings)
        return -1;
    if (!(pdev->jobState & JOB_PAGE_OPEN)) {
        if (pdev->jobSettings->skipBlankPages)
            return 0;
        /* A blank page still makes its sheet side. */
        sheet->openingBlank = 1;
        int r = JOB_BeginPage(pdev);
        sheet->openingBlank = 0;
        if (r != 0 || !(pdev->jobState & JOB_PAGE_OPEN))
            return -1;
    }
    if (JOB_LogEvent(pdev, JOB_EVENT_END_LOGICAL) != 0)
        return -1;
    pdev->jobState &= ~(JOB_PAGE_OPEN | JOB_GEOMETRY_PENDING);
    pdev->jobCounters.logicalPages++;
    sheet->cellIndex++;
    LONG perSheet = pdev->pageLayout->pagesPerSheet > 0 ? pdev->pageLayout->pagesPerSheet : 1;
    if (sheet->cellIndex >= perSheet)
        return JOB_EndSheet(pdev);
    return 0;
}

int JOB_BeginJobOutput(PdevContext *pdev, WORD copySet)
{
    if (!pdev || !pdev->jobSettings)
        return -1;
    bool form = pdev->jobSettings->formMode != 0;
    if (!form && JOB_WriteHeader(pdev, JOB_TEXT_HEADER, copySet) != 0)
        return -1;
    if (JOB_WriteStreamHeader(pdev) != 0 || JOB_BeginSessionUnlessForm(pdev) != 0)
        return -1;
    if (!form && OVL_BeginFormOverlay(pdev) != 0)
        return -1;
    return form ? 0 : JOB_LogEventText(pdev, "", JOB_EVENT_STAMP);
}

int JOB_EndJobOutput(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings)
        return -1;
    if (JOB_LogEvent(pdev, JOB_EVENT_END_JOB) != 0 || REC_EndSession(pdev) != 0 ||
        JIG_FillJobItems(pdev) != 0)
        return -1;
    return pdev->jobSettings->formMode ? 0 : JOB_WriteHeader(pdev, JOB_TEXT_TRAILER, 0);
}

int JOB_CurrentSheetPaper(PdevContext *pdev, SheetDataPaper *out)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || !out)
        return -1;
    SheetPipelineState latched = *sheet;
    if (!sheet->paperKnown && (latch_paper(pdev, &latched.paper, &latched.page) != 0 || latch_media(pdev, latched) != 0))
        return -1;
    out->bySize = latched.customSize;
    out->mediaSize = latched.customSize ? SHORT(-1) : latched.mediaSize;
    out->width = latched.customSize ? latched.customWidth : 0.0f;
    out->height = latched.customSize ? latched.customHeight : 0.0f;
    return 0;
}

int JOB_SetSheetDataTransform(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings)
        return -1;
    PaperRecord paper{};
    PageGeometry page{};
    if (latch_paper(pdev, &paper, &page) != 0)
        return -1;
    LayoutParams params = layout_params(*pdev->pageLayout, page);
    LayoutRecord layout{};
    PageTransform t;
    if (LAY_BuildLayout(&params, &paper, &page, sheet->resolution, &layout) != 0 ||
        LAY_ScaledPageTransform(&layout, 0, 0, false, 0.0f, 0.0f, &t) != 0)
        return -1;
    return REC_SetTransform(pdev, &t);
}

int JOB_InsertPageSetup(PdevContext *pdev, SHORT tray)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || !(pdev->jobState & JOB_SHEET_SET_UP))
        return -1;
    /* A cover before the first sheet takes the paper that sheet will have. */
    if (!sheet->paperKnown && (latch_paper(pdev, &sheet->paper, &sheet->page) != 0 || latch_media(pdev, *sheet) != 0))
        return -1;
    /* A tray the model does not know keeps the current media source. */
    SHORT source = sheet->mediaSource;
    WORD value = 0;
    if (JOB_TrayMediaSource(pdev->mainReader, pdev->companionReader, WORD(tray), &value) == 0)
        source = SHORT(value);
    BYTE code = pdev->jobSettings->colorState == JOB_COLOR_PER_PAGE ? 1 : 3;
    pdev->recordFlags |= kInsertedSheet;
    int r = XL_ResetCtmTracker(pdev->ctmTracker);
    if (r == 0)
        r = REC_BeginPage(pdev, code, source, sheet->mediaSize, sheet->customWidth, sheet->customHeight);
    pdev->recordFlags &= ~kInsertedSheet;
    return r;
}

int JOB_EmitBlankSheet(PdevContext *pdev, SHORT tray)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || (pdev->jobState & JOB_SHEET_OPEN))
        return -1;
    pdev->jobState |= JOB_SHEET_OPEN;
    PageTransform identity;
    LAY_SetIdentity(&identity);
    int r = JOB_InsertPageSetup(pdev, tray);
    if (r == 0)
        r = REC_SetTransform(pdev, &identity);
    if (r == 0)
        r = XL_CommentCc(pdev);
    if (r == 0)
        r = XL_EndPage(pdev, 0);
    if (r == 0)
        r = REC_Mark(pdev);
    pdev->jobState &= ~JOB_SHEET_OPEN;
    return r;
}

int JOB_SkipBackFace(PdevContext *pdev, int kind)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings)
        return -1;
    if (sheet->sideIndex != 1)
        return 0;
    int due = JOB_BackFaceDue(pdev, kind);
    if (due < 0)
        return -1;
    /* A job replayed at its end keeps the skipped side as a page of its own, so its sides stay paired. */
    const bool record = job_records(pdev) && !(pdev->recordFlags & REC_FLAG_PAGE_OPEN);
    const DWORD page = record ? next_recorded_page(pdev) : 0;
    if (record && REC_OpenPageRecord(pdev, page, pdev->pageColorMode, kRecordSkippedBack, 0, 0, 0) != 0)
        return -1;
    int r = due ? JOB_EmitBlankSheet(pdev, SHORT(sheet->tray)) : 0;
    if (r == 0)
        r = JOB_LogEvent(pdev, JOB_EVENT_SKIP_BACK_FACE);
    if (record && REC_ClosePageRecord(pdev, page) != 0)
        r = -1;
    if (r != 0)
        return -1;
    sheet->sidesEmitted++;
    sheet->sideIndex++;
    return 0;
}

int JOB_DrawSheetBorders(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings)
        return -1;
    /* Frames belong to N-up cells; booklet halves and poster tiles have none. */
    if (!setting(pdev, ID_CELL_BORDERS) || pdev->jobSettings->booklet || pdev->jobSettings->poster)
        return 0;
    /* The decoration being drawn holds a cell of its own that gets no frame. */
    LONG cells = LONG(sheet->cellIndex) - (JOB_IsDecorationDrawing(pdev) ? 1 : 0);
    if (cells <= 0)
        return 0;
    const LONG side = sheet->sideIndex ? 1 : 0;
    return LAY_DrawCellBorders(pdev, &sheet->layout, side + 1, cells, turned_back_face(pdev, *sheet, side));
}

WORD JOB_TrayForPage(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings)
        return 0;
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (sheet && sheet->coverSides > 0)
        return WORD(pdev->jobSettings->leadingInsertTray);
    return settings_tray(pdev);
}

namespace {

/* The tray the settings choose for a page: setting 13, or the paper type's tray of setting 265. */
WORD settings_tray(PdevContext *pdev)
{
    DWORD tray = setting(pdev, ID_TRAY), typeTray = setting(pdev, ID_PAPER_TYPE_TRAY);
    if (pdev->jobSettings->paperTypeTrays && setting(pdev, ID_TRAY_SELECTION) != 2)
        return WORD(tray == kTrayByPaperType ? typeTray : tray);
    return WORD(typeTray == kPaperTypeByTray ? tray : typeTray);
}

} // namespace

LONG JOB_CountSheetsForHeader(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings)
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    LONGLONG sides = LONGLONG(sheet->sidesEmitted) + sheet->insertSides;
    /* Each booklet page is half a side of the booklet; each poster page a sheet side per tile. */
    if (js.booklet)
        sides = BKL_SideCount(0, LONG(std::min<DWORD>(sheet->sidesEmitted, 0x7FFFFFF0)) - 1, js.coverFlag) +
                LONGLONG(sheet->insertSides);
    else if (js.poster)
        sides = LONGLONG(sheet->sidesEmitted) * js.posterAcross * js.posterDown + sheet->insertSides;
    /* A blank cover (mode 2) and the closing insert each add a side, two when a back face is due. */
    const int extras = (pdev->jobSettings->coverMode == 2 ? 1 : 0) + (pdev->jobSettings->trailingInsert ? 1 : 0);
    if (extras) {
        int due = JOB_BackFaceDue(pdev, JOB_BACK_FACE_INSERT);
        if (due < 0)
            return -1;
        sides += LONGLONG(extras) * (due ? 2 : 1);
    }
    return LONG(sides > 0x7FFFFFFF ? 0x7FFFFFFF : sides);
}

int JOB_BackFaceDue(PdevContext *pdev, int kind)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings)
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    if (sheet->sidesPerSheet != 2)
        return 0;
    /* The cover tray's two-sided printing comes with cover sheets. */
    if (kind == JOB_BACK_FACE_INSERT)
        return 0;
    /* Booklet and poster pages are replayed onto sheet sides of their own. */
    if (sheet->sideIndex != 1 || js.booklet || js.poster)
        return 0;
    if (js.reverseOrder || js.driverDuplex)
        return 1;
    if (kind == JOB_BACK_FACE_END && js.driverCollate)
        return 1;
    if (kind == JOB_BACK_FACE_PAPER_CHANGED && js.driverCollate && !same_paper(sheet->paper, sheet->previousPaper))
        return 1;
    return 0;
}
