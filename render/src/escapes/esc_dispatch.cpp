/*
 * The escapes of the rendering library: the standard ones applications and
 * the engine use (QUERYESCSUPPORT, SETCOPYCOUNT, GETTECHNOLOGY) and the
 * private ones the user-interface library sends during a job (settings and
 * printer data in and out, names, the job-data bracket, the extension
 * state, decoration brackets and queries, page paper, region code).
 *
 * Answers: 1 done, -1 refused, 0 unknown escape (or a standard failure with
 * the last error set).  Every payload is checked against its size before it
 * is read and every output before it is written; a wrong size refuses the
 * escape and changes nothing.  While the job-data bracket holds the
 * settings lock, escapes that would replace settings are dropped (1).
 */
#include "ddi_workers.h"
#include "esc_ext.h"
#include "esc_decorations.h"
#include "esc_job_data.h"
#include "job_settings.h"
#include "job_state.h"
#include "not_built.h"
#include "paper_form.h"
#include "pdev_context.h"
#include "sheet_state.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/settings/fid_defaults.h>

#include <plat/error.h>

#include <cstring>

static_assert(ESC_SETTINGS_SIZE == SETTINGS_IMAGE_SIZE, "settings escape carries the settings image");
static_assert(ESC_PRINTERDATA_SIZE == FID_PRINTERDATA_SIZE, "printer-data escape carries the record");
static_assert(ESC_JOB_IDENTITY_SIZE == PDEV_JOB_IDENTITY_SIZE, "job identity escape carries the block");
static_assert(sizeof(StartPagePaperInfo) == ESC_PAGE_INFO_SIZE, "page-info payload");

namespace {

/* Copies SETCOPYCOUNT allows without a model maximum, and its technology answer. */
constexpr ULONG kCopyCountSupport = 999;
constexpr char kTechnology[] = "PCL6";

/* Model capability (header entry 26) of the letter-paper region. */
constexpr DWORD kCapLetterRegion = 0x400000;

/* A payload of exactly `size` bytes. */
bool exact(ULONG cj, const void *p, ULONG size) { return p && cj == size; }

bool setting_on(PdevContext *pdev, WORD id)
{
    DWORD value = 0;
    return PDEV_GetSetting32(pdev, id, &value) == 0 && value != 0;
}

bool is_private(ULONG escape)
{
    switch (escape) {
    case ESC_QUERY_DECORATIONS: case ESC_GET_SETTINGS: case ESC_WATERMARK_MODE: case ESC_WATERMARK_PLACEMENT:
    case ESC_SET_SETTINGS: case ESC_GET_ANNOTATION: case ESC_SET_ANNOTATION: case ESC_ANNOTATION_MODE:
    case ESC_QUERY_COPYSET_MODE: case ESC_QUERY_SHEET_COUNT: case ESC_SET_PRINTERDATA: case ESC_SET_PAGE_INFO:
    case ESC_STARTDOC_NOTICE: case ESC_JOBDATA_BRACKET: case ESC_SET_DOCUMENT_NAME: case ESC_SET_COPYSET_DATA:
    case ESC_SET_COPYSET_HEADERS: case ESC_GET_EXT_STATE: case ESC_SET_EXT_STATE: case ESC_QUERY_JOB_STATE:
    case ESC_SET_JOB_FLAG: case ESC_SET_JOB_EXTRA: case ESC_SET_AUX_BLOCK: case ESC_GET_EXT_DATA:
    case ESC_SET_COPYSET_RECORDS: case ESC_SET_AUX_PAIR: case ESC_SET_EXT_DATA: case ESC_SET_REGION_CODE:
        return true;
    default:
        return false;
    }
}

bool is_application(ULONG escape) { return (escape > ESC_APP_FIRST && escape <= ESC_APP_LAST) || escape == ESC_APP_JPEG; }

ULONG query_support(SURFOBJ *pso, ULONG cjIn, const void *pvIn)
{
    if (!pvIn || cjIn < 2)
        return ESC_REFUSED;
    ULONG queried = plat::load_u16(pvIn, 0);
    if (queried == ESC_SETCOPYCOUNT) {
        /* The journaling setting is read only from a sound context. */
        PdevContext *pdev = PDEV_FromSurface(pso);
        return PDEV_IsValid(pdev) && setting_on(pdev, ID_S1333) ? 0 : kCopyCountSupport;
    }
    if (queried == ESC_GETTECHNOLOGY)
        return ESC_APP_FIRST;
    if (is_application(queried) || queried == ESC_APP_FIRST)
        return ESC_ExtSupported(PDEV_FromSurface(pso), queried);
    if (queried == ESC_QUERYESCSUPPORT || is_private(queried))
        return ESC_DONE;
    return ESC_UNKNOWN;
}

ULONG set_copy_count(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    if (setting_on(pdev, ID_S1333) || !pvIn || cjIn < 4)
        return ESC_REFUSED;
    DWORD copies = plat::load_u32(pvIn, 0);
    WORD maximum = MDL_GetMaxCopies(pdev->model);
    if (maximum) {
        if (copies > maximum)
            copies = maximum;
    } else {
        /* Without a model maximum the job keeps its count. */
        DWORD current = 0;
        PDEV_GetSetting32(pdev, ID_COPIES, &current);
        copies = current;
    }
    if (copies == 0)
        copies = 1;
    if (PDEV_SetSetting16(pdev, ID_COPIES, WORD(copies)) != 0)
        return ESC_REFUSED;
    pdev->copyCount = LONG(copies);
    if (pvOut && cjOut >= 4)
        plat::store_u32(pvOut, 0, copies);
    return ESC_DONE;
}

ULONG get_technology(ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    if (!pvIn || cjIn == 0)
        return 0;
    if (!pvOut || cjOut < sizeof kTechnology) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::memcpy(pvOut, kTechnology, sizeof kTechnology);
    return ESC_DONE;
}

/* The printable area of `form` in pixels at `dpi`: left, top, right, bottom. */
void printable_pixels(const PaperForm &form, LONG dpi, FLOAT out[4])
{
    out[0] = FLOAT(FORM_UnitsToPixels(form.left, dpi));
    out[1] = FLOAT(FORM_UnitsToPixels(form.top, dpi));
    out[2] = FLOAT(FORM_UnitsToPixels(form.right, dpi));
    out[3] = FLOAT(FORM_UnitsToPixels(form.bottom, dpi));
}

ULONG query_decorations(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    if (!exact(cjOut, pvOut, ESC_DECORATION_QUERY_SIZE) || (pvIn && cjIn != 0 && cjIn < 4))
        return ESC_REFUSED;
    bool endOfDocument = pvIn && cjIn >= 4 && plat::load_u32(pvIn, 0) == 1;
    BYTE *out = static_cast<BYTE *>(pvOut);
    std::memset(out, 0, ESC_DECORATION_QUERY_SIZE);

    /*
     * A page without drawing has opened no sheet and no page yet.  Its
     * decorations belong on it like on any other page, so the page is opened
     * here as the first drawing would open it (not where blank pages are
     * left out of the job).
     */
    const DWORD live = pdev->jobState & (JOB_OPEN | JOB_ABORTED);
    if (!endOfDocument && live == JOB_OPEN && !(pdev->jobState & JOB_PAGE_OPEN) && pdev->jobSettings) {
        if (!JOB_IsSheetSetUp(pdev) && JOB_BeginSheetSetup(pdev) != 0)
            return ESC_DONE;
        const JobSettings *due = pdev->jobSettings;
        if (!due->skipBlankPages && (due->pageWatermark || due->sheetWatermark || due->annotation) &&
            JOB_BeginPage(pdev) != 0)
            return ESC_DONE;
    }
    const JobSettings *js = pdev->jobSettings;
    if (!JOB_IsSheetSetUp(pdev) || !(pdev->jobState & JOB_SHEET_OPEN) || !js || !pdev->pageLayout)
        return ESC_DONE;
    LONG n = pdev->pageLayout->pagesPerSheet;
    if (n < 1)
        return ESC_REFUSED;
    DWORD placed = pdev->jobCounters.logicalPages;
    DWORD sheets = pdev->jobCounters.sheets;
    bool pageOpen = (pdev->jobState & JOB_PAGE_OPEN) != 0;
    bool sheetEvent = false;
    bool pageWatermark = false;
    if (!endOfDocument) {
        placed++;
        if (placed % DWORD(n) == 0) {
            sheets++;
            sheetEvent = !js->skipBlankPages || pageOpen;
        }
        pageWatermark = true;
    } else if (placed % DWORD(n) != 0) {
        sheets++;
        sheetEvent = true;
    } else {
        sheetEvent = js->skipBlankPages && !pageOpen;
    }
    pageWatermark = pageWatermark && js->pageWatermark && !(js->watermarkFirstPageOnly && placed != 1);
    bool sheetWatermark = sheetEvent && js->sheetWatermark && !(js->watermarkFirstPageOnly && sheets != 1);
    bool annotation = sheetEvent && js->annotation;
    plat::store_u32(out, 0, sheetWatermark ? 1 : 0);
    plat::store_u32(out, 4, pageWatermark ? 1 : 0);
    plat::store_u32(out, 8, annotation ? 1 : 0);

    /*
     * Box A: the page's printable area in its own pixels, for the page
     * watermark as for the others; the page transform takes it into the
     * page's N-up cell.  Box B: the printable area of the paper fed.
     */
    DWORD dpi = 0;
    PDEV_GetSetting32(pdev, ID_RESOLUTION, &dpi);
    FLOAT box[8];
    printable_pixels(pdev->jobForm, LONG(dpi), box);
    printable_pixels(pdev->feedForm, LONG(dpi), box + 4);
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (sheet && sheet->pageTurned) {
        std::swap(box[4], box[5]);
        std::swap(box[6], box[7]);
    }
    std::memcpy(out + 12, box, sizeof box);
    return ESC_DONE;
}

/* The watermark or annotation bracket: with a 4-byte input opened (1) or closed (0). */
ULONG decoration_mode(PdevContext *pdev, bool watermark, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut)
{
    BOOL before = pdev->annotationBracket;
    ULONG answer = ESC_DONE;
    if (pvIn && cjIn == 4) {
        bool open = plat::load_u32(pvIn, 0) == 1;
        if (JOB_SetDecorationMode(pdev, watermark && open, !watermark && open) != 0)
            answer = ESC_REFUSED;
    }
    if (pvOut && cjOut >= 4)
        plat::store_u32(pvOut, 0, watermark ? JOB_IsDecorationDrawing(pdev) : before);
    return answer;
}

ULONG set_page_info(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (!exact(cjIn, pvIn, ESC_PAGE_INFO_SIZE))
        return ESC_REFUSED;
    StartPagePaperInfo info;
    std::memcpy(&info, pvIn, sizeof info);
    /* The job form's own paper keeps the job form's margins. */
    pdev->pagePaperInfo = info.paperIndex == pdev->jobFormPaper.info.paperIndex ? pdev->jobFormPaper.info : info;
    pdev->pagePaperInfoSet = 1;
    return ESC_DONE;
}

ULONG jobdata_bracket(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (!pvIn || cjIn < 2)
        return ESC_REFUSED;
    WORD code = plat::load_u16(pvIn, 0);
    if (code > 1)
        return ESC_REFUSED;
    if (!pdev->jobSettings && JOB_ClearJobRecords(pdev) != 0)
        return ESC_REFUSED;
    WORD &flags = pdev->jobSettings->jobDataFlags;
    if (code == 0) {
        if (!(pdev->jobState & JOB_OPEN) || (pdev->jobState & JOB_SHEET_SET_UP))
            flags |= JOB_DATA_SETTINGS_LOCKED;
    } else {
        flags = WORD((flags & ~JOB_DATA_SETTINGS_LOCKED) | JOB_DATA_RECEIVED);
    }
    return ESC_DONE;
}

ULONG set_document_name(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (ESC_SettingsLocked(pdev))
        return ESC_DONE;
    if (!pvIn || cjIn < 2 || !pdev->jobSettings)
        return ESC_REFUSED;
    WCHAR *name = pdev->jobSettings->documentName;
    size_t chars = cjIn / 2 < size_t(JOB_DOC_NAME_CHARS) ? cjIn / 2 : size_t(JOB_DOC_NAME_CHARS);
    size_t n = 0;
    for (; n < chars; n++) {
        WCHAR c = plat::load_u16(pvIn, 2 * n);
        if (c == 0)
            break;
        name[n] = c;
    }
    name[n] = 0;
    return ESC_DONE;
}

ULONG get_ext_state(PdevContext *pdev, ULONG cjOut, PVOID pvOut)
{
    if (!exact(cjOut, pvOut, ESC_EXT_STATE_SIZE))
        return ESC_REFUSED;
    std::memset(pvOut, 0, ESC_EXT_STATE_SIZE);
    plat::store_u32(pvOut, 0, pdev->ext.mode);
    plat::store_u32(pvOut, 4, pdev->ext.colourOverride);
    plat::store_u16(pvOut, 8, pdev->ext.colourMode);
    return ESC_DONE;
}

ULONG set_ext_state(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (!exact(cjIn, pvIn, ESC_EXT_STATE_SIZE))
        return ESC_REFUSED;
    pdev->ext.mode = plat::load_u32(pvIn, 0);
    pdev->ext.colourOverride = plat::load_u32(pvIn, 4);
    pdev->ext.colourMode = plat::load_u16(pvIn, 8);
    return ESC_DONE;
}

ULONG query_job_state(PdevContext *pdev, ULONG cjOut, PVOID pvOut)
{
    if (!exact(cjOut, pvOut, 4))
        return ESC_REFUSED;
    bool open = (pdev->jobState & JOB_OPEN) != 0;
    if (pdev->startDocNotice) {
        plat::store_u32(pvOut, 0, open ? 0 : 1);
        return ESC_DONE;
    }
    plat::store_u32(pvOut, 0, open ? 1 : 0);
    return open ? ESC_DONE : ESC_REFUSED;
}

ULONG set_region_code(PdevContext *pdev, ULONG cjIn, const void *pvIn)
{
    if (!pvIn || cjIn < 1)
        return ESC_REFUSED;
    WORD code = *static_cast<const BYTE *>(pvIn);
    WORD noted = UTL_GetDefaultPaperRegion(MDL_HasCapability(pdev->mainReader, kCapLetterRegion));
    UTL_SetDefaultPaperRegion(code);
    if (!pdev->feedForm.substituted || code == noted)
        return ESC_DONE;
    /* The model's default paper depends on the region: take the feed form again. */
    PaperForm form{};
    if (!PDEV_FormFromDefaultPaper(pdev, &form))
        return ESC_REFUSED;
    form.substituted = 1;
    if (pdev->sheetForm.modelPaper == pdev->feedForm.modelPaper && pdev->sheetForm.modelPaper != pdev->jobForm.modelPaper)
        pdev->feedForm.modelPaper = nullptr; /* the sheet form keeps the record it shares */
    FORM_Free(&pdev->feedForm);
    pdev->feedForm = form;
    return ESC_DONE;
}

ULONG private_escape(PdevContext *pdev, ULONG escape, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut)
{
    JobSettings *js = pdev->jobSettings;
    switch (escape) {
    case ESC_QUERY_DECORATIONS:
        return query_decorations(pdev, cjIn, pvIn, cjOut, pvOut);
    case ESC_GET_SETTINGS:
        if (!exact(cjOut, pvOut, ESC_SETTINGS_SIZE))
            return ESC_REFUSED;
        std::memcpy(pvOut, pdev->settings, ESC_SETTINGS_SIZE);
        return ESC_DONE;
    case ESC_WATERMARK_MODE:
        return decoration_mode(pdev, true, cjIn, pvIn, cjOut, pvOut);
    case ESC_WATERMARK_PLACEMENT:
        if (!exact(cjIn, pvIn, 8))
            return ESC_DONE;
        return ESC_WatermarkPlacement(pdev, LONG(plat::load_u32(pvIn, 0)), LONG(plat::load_u32(pvIn, 4))) == 0
                   ? ESC_DONE
                   : ESC_REFUSED;
    case ESC_SET_SETTINGS:
        if (ESC_SettingsLocked(pdev))
            return ESC_DONE;
        if (!exact(cjIn, pvIn, ESC_SETTINGS_SIZE))
            return ESC_REFUSED;
        std::memcpy(pdev->settings, pvIn, ESC_SETTINGS_SIZE);
        return ESC_DONE;
    case ESC_GET_ANNOTATION:
        return ESC_GetAnnotation(pdev, cjOut, pvOut);
    case ESC_SET_ANNOTATION:
        return ESC_SetAnnotation(pdev, cjIn, pvIn);
    case ESC_ANNOTATION_MODE:
        return decoration_mode(pdev, false, cjIn, pvIn, cjOut, pvOut);
    case ESC_QUERY_COPYSET_MODE:
        if (!pvOut || cjOut < 4) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        plat::store_u32(pvOut, 0, DWORD(pdev->copySetMode));
        return ESC_DONE;
    case ESC_QUERY_SHEET_COUNT:
        if (!pvOut || cjOut < 4)
            return ESC_REFUSED;
        plat::store_u32(pvOut, 0, pdev->jobCounters.sheets);
        return ESC_DONE;
    case ESC_SET_PRINTERDATA:
        if (ESC_SettingsLocked(pdev))
            return ESC_DONE;
        if (!exact(cjIn, pvIn, ESC_PRINTERDATA_SIZE) || !pdev->printerData)
            return ESC_REFUSED;
        std::memcpy(pdev->printerData, pvIn, ESC_PRINTERDATA_SIZE);
        return ESC_DONE;
    case ESC_SET_PAGE_INFO:
        return set_page_info(pdev, cjIn, pvIn);
    case ESC_STARTDOC_NOTICE:
        pdev->startDocNotice = 1;
        return ESC_DONE;
    case ESC_JOBDATA_BRACKET:
        return jobdata_bracket(pdev, cjIn, pvIn);
    case ESC_SET_DOCUMENT_NAME:
        return set_document_name(pdev, cjIn, pvIn);
    case ESC_SET_COPYSET_DATA:
        if (ESC_SettingsLocked(pdev))
            return ESC_DONE;
        if (!pvIn)
            return ESC_UNKNOWN;
        return JOB_SetCopySetData(pdev, cjIn, pvIn) == 0 ? ESC_DONE : ESC_REFUSED;
    case ESC_SET_COPYSET_HEADERS:
        return ESC_SetCopySetHeaders(pdev, cjIn, pvIn);
    case ESC_GET_EXT_STATE:
        return get_ext_state(pdev, cjOut, pvOut);
    case ESC_SET_EXT_STATE:
        return set_ext_state(pdev, cjIn, pvIn);
    case ESC_QUERY_JOB_STATE:
        return query_job_state(pdev, cjOut, pvOut);
    case ESC_SET_JOB_FLAG:
        if (!exact(cjIn, pvIn, 4) || !js)
            return ESC_REFUSED;
        js->jobFlag = plat::load_u32(pvIn, 0);
        return ESC_DONE;
    case ESC_SET_JOB_EXTRA:
        if (!exact(cjIn, pvIn, ESC_JOB_IDENTITY_SIZE))
            return ESC_REFUSED;
        std::memcpy(pdev->jobIdentity, pvIn, ESC_JOB_IDENTITY_SIZE);
        return ESC_DONE;
    case ESC_SET_AUX_BLOCK:
    case ESC_SET_COPYSET_RECORDS:
    case ESC_SET_EXT_DATA:
        return ESC_SetDataBlock(pdev, escape, cjIn, pvIn);
    case ESC_GET_EXT_DATA:
        return ESC_GetExtData(pdev, cjIn, pvIn, cjOut, pvOut);
    case ESC_SET_AUX_PAIR:
        if (!exact(cjIn, pvIn, sizeof js->auxPair) || !js)
            return ESC_REFUSED;
        std::memcpy(js->auxPair, pvIn, sizeof js->auxPair);
        return ESC_DONE;
    case ESC_SET_REGION_CODE:
        return set_region_code(pdev, cjIn, pvIn);
    default:
        return ESC_UNKNOWN;
    }
}

} // namespace

ULONG ESC_Dispatch(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut)
{
    ULONG escape = iEsc & 0xFFFF;
    if (escape == ESC_QUERYESCSUPPORT)
        return query_support(pso, cjIn, pvIn);
    PdevContext *pdev = PDEV_CheckedFromSurface(pso);
    if (!pdev)
        return 0;
    if (escape == ESC_SETCOPYCOUNT)
        return set_copy_count(pdev, cjIn, pvIn, cjOut, pvOut);
    if (escape == ESC_GETTECHNOLOGY)
        return get_technology(cjIn, pvIn, cjOut, pvOut);
    if (escape == ESC_APP_FIRST || is_application(escape))
        return ESC_ExtEscape(pdev, escape, cjIn, pvIn, cjOut, pvOut);
    return private_escape(pdev, escape, cjIn, pvIn, cjOut, pvOut);
}
