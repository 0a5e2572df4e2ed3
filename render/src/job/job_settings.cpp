/*
 * The job settings snapshot and the page layout record (see job_settings.h):
 * each field's value map is written out where the field is filled, and a
 * value a map does not list fails the whole record.
 */
#include "job_settings.h"

#include "paper_form.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <tarvel/model_data/model_format.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/version.h>

#include <cstring>

namespace {

/* Settings (DDMIDs) the snapshot and the layout read. */
enum : WORD {
    S_DUPLEX = 16,
    S_COLLATE = 18,
    S_SCALE = 263,
    S_NUP_ORDER = 264,
    S_BINDING = 267,
    S_BINDING_VALUE_1 = 268,
    S_BINDING_VALUE_2 = 269,
    S_NUP_ORIENTATION = 294,
    S_PAGES_PER_SHEET = 295,
    S_POSTER_TILES = 296,
    S_WATERMARK_TEXT = 297,
    S_WATERMARK_FONT = 299,
    S_LAYOUT_KIND = 321,           /* 1 poster, 2 booklet */
    S_BOOKLET_SETS_2 = 323,
    S_BOOKLET_324 = 324,
    S_BOOKLET_322 = 322,
    S_326 = 326,
    S_LEADING_INSERT = 332,
    S_LEADING_INSERT_TRAY = 333,
    S_JOB_TYPE = 334,
    S_FORM = 339,
    S_344 = 344,
    S_ANNOTATION_POS = 351,        /* .. 356 */
    S_382 = 382,
    S_COVER_INSERT = 404,
    S_TRAILING_INSERT = 405,
    S_PAGE_INSERTS = 406,
    S_COVER_INSERT_TRAY = 407,
    S_TRAILING_INSERT_TRAY = 408,
    S_PAGE_INSERT_TRAY = 409,
    S_437 = 437,
    S_441 = 441,
    S_BOOKLET_OPTION = 446,
    S_IMAGE_SHIFT = 459,
    S_IMAGE_SHIFT_X = 460,
    S_IMAGE_SHIFT_Y = 461,
    S_SCALING = 1281,
    S_FIT = 1283,
    S_POSTER_CUT_MARKS = 1285,
    S_WATERMARK_FIRST_ONLY = 1286,
    S_WATERMARK_SEE_THROUGH = 1287,
    S_WATERMARK_SHEET = 1288,
    S_TOLERANT_GREY = 1289,
    S_BOOKLET_1291 = 1291,
    S_BOOKLET_1292 = 1292,
    S_QZSR_1 = 1293,
    S_QZSR_2 = 1294,
    S_ANNOTATION_ITEM = 1296,      /* .. 1301 */
    S_REVERSE = 1312,
    S_1313 = 1313,
    S_1320 = 1320,
    S_BKTP = 1328,
    S_SKIP_BLANK = 1334,
    S_COVER_1340 = 1340,
    S_COLLATE_1344 = 1344,
    S_PER_PAGE_DUPLEX = 1350,
    S_DRIVER_DUPLEX = 1365,
    S_PAGE_INSERT_VALUE = 1834,    /* .. 1853 */
    S_WATERMARK_1857 = 1857,
    S_PD_4099 = 4099,
    S_PD_4123 = 4123,
    S_PD_4129 = 4129,
    S_PD_4355 = 4355,
    S_PD_HCPN = 4359,
    S_BOOKLET_SETS_1 = 4364,
    S_5126 = 5126,
    S_INFORM_ORIENTATION = 5149,
    S_5153 = 5153,
};

/* Capability codes. */
constexpr DWORD CAP_DRIVER_COLLATE = 0x10000;
constexpr DWORD CAP_JOB_INFO = 0x40000;
constexpr DWORD CAP_BKTP = 0x4000000;
constexpr DWORD CAP_INSERTS = MDL_CAP_BIT(38);
constexpr DWORD CAP_NO_BINDING_TYPE_3 = MDL_CAP_BIT(42);
constexpr DWORD CAP_DRIVER_DUPLEX = MDL_CAP_BIT(55);
constexpr DWORD CAP_HCPN = MDL_CAP_BIT(62);
constexpr DWORD CAP_COLLATE_BY_4355 = MDL_CAP_BIT(64);

/* The output paper value that means the job's own paper. */
constexpr LONG kOwnPaper = 267;

/* Reads settings of one settings image and printer-data record; the first failure sticks. */
struct Reader {
    void *settings;
    void *printerData;
    bool ok = true;

    LONG get(WORD id)
    {
        DWORD v = 0;
        if (PDEV_ReadSetting32(settings, printerData, id, &v) != 0)
            ok = false;
        return LONG(v);
    }
    bool on(WORD id) { return get(id) != 0; }

    /* A string setting holds at least one character. */
    bool hasText(WORD id)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        if (DMB_GetValue(id, settings, printerData, &type, &size, slot) != DMA_OK || type != SVT_WSTRING) {
            ok = false;
            return false;
        }
        const BYTE *text = nullptr;
        std::memcpy(&text, slot, sizeof text);
        return text && size >= 2 && (text[0] | text[1]) != 0;
    }

    LONG effective(WORD id)
    {
        LONGLONG v = DMB_GetEffectiveValue(settings, printerData, id, 0);
        if (v < 0) {
            ok = false;
            return 0;
        }
        return LONG(v);
    }
};

/* A value map: `from` values and what they become; -1 past the table means unlisted. */
struct MapRow {
    LONG from;
    LONG to;
};

template <size_t N>
bool map_value(const MapRow (&rows)[N], LONG from, LONG *to)
{
    for (const MapRow &row : rows)
        if (row.from == from) {
            *to = row.to;
            return true;
        }
    return false;
}

constexpr MapRow kColorStates[] = {{0, JOB_COLOR_PER_PAGE}, {1, JOB_COLOR_MONO}, {2, JOB_COLOR_COLOR}, {3, -1}};
constexpr MapRow kDuplex[] = {{1, 1}, {2, 2}, {3, 2}};
constexpr MapRow kPagesPerSheet[] = {{1, 1}, {2, 2}, {4, 4}, {8, 8}, {16, 16}, {32, 32}};
constexpr MapRow kPosterTiles[] = {{514, 2}, {771, 3}, {1028, 4}};
constexpr MapRow kJobTypes[] = {{1, 1}, {2, 2}, {3, 3}, {5, 4}, {7, 5}, {8, 6}};
constexpr MapRow kDuplexEdges[] = {{1, 0}, {2, 2}, {3, 1}};
constexpr MapRow kBindings[] = {{0, 0}, {1, 1}, {3, 1}, {2, 2}, {7, 2}, {4, 4}, {8, 4}, {5, 3}, {6, 3}};
constexpr MapRow kOrientations[] = {{1, 0}, {2, 1}};
constexpr MapRow kBooklet322[] = {{0, 1}, {1, 2}};

/* Grid of N-up cells: columns x rows by pages per sheet. */
struct GridRow {
    LONG pages;
    WORD columns;
    WORD rows;
};
constexpr GridRow kGrids[] = {{2, 1, 2}, {4, 2, 2}, {8, 2, 4}, {16, 4, 4}, {32, 4, 8}};

/* Scale limits of the layout, in percent. */
constexpr LONG kScaleMin = 25;
constexpr LONG kScaleMax = 400;

bool has(const ModelCapabilityBits *caps, DWORD code) { return MDL_TestCapabilityBit(caps, code) != 0; }

/* Fields of the snapshot that the document start and the escapes set, kept across a snapshot. */
struct KeptFields {
    WCHAR documentName[JOB_DOC_NAME_CHARS + 1];
    HANDLE printer;
    WORD jobDataFlags;
    DWORD jobFlag;
    BYTE auxPair[8];
};

/* The colour fields: 270 mapped, the tolerant grey test, and 5126 when the colour is per page. */
bool snapshot_colour(JobSettings *js, Reader &r)
{
    js->tolerantGreyTest = r.on(S_TOLERANT_GREY) ? 1 : 0;
    LONG state = 0;
    if (!map_value(kColorStates, r.get(ID_COLOUR_MODE), &state))
        return false;
    if (state < 0)
        state = js->tolerantGreyTest ? JOB_COLOR_PER_PAGE : JOB_COLOR_COLOR;
    js->colorState = state;

    if (r.on(S_PD_4129) && r.on(S_5153) && js->colorState == JOB_COLOR_PER_PAGE) {
        LONG v = r.get(S_5126);
        LONG nibble = (v >> 8) & 0xF;
        if (nibble > 1)
            return false;
        js->use5126 = 1;
        js->value5126 = SHORT(v & 0xFF);
        js->high5126 = nibble;
    }
    return true;
}

/* Poster and booklet (321), with their tiles and options. */
bool snapshot_layout_kind(JobSettings *js, Reader &r, const ModelCapabilityBits *caps)
{
    LONG kind = r.get(S_LAYOUT_KIND);
    if (kind < 0 || kind > 2)
        return false;
    js->poster = kind == 1;
    js->booklet = kind == 2;
    if (js->poster) {
        LONG tiles = 0;
        if (!map_value(kPosterTiles, r.get(S_POSTER_TILES), &tiles))
            return false;
        js->posterAcross = js->posterDown = SHORT(tiles);
        js->posterCutMarks = r.on(S_POSTER_CUT_MARKS);
    }
    if (js->booklet) {
        LONG option = r.get(S_BOOKLET_OPTION);
        if (option < 0 || option > 2)
            return false;
        js->bookletOption = option;
        if (option == 1)
            js->bookletOptionValue = SHORT(r.get(S_BOOKLET_SETS_1));
        else if (option == 2)
            js->bookletOptionValue = SHORT(r.get(S_BOOKLET_SETS_2));
        js->bktpLine = has(caps, CAP_BKTP) && option == 1 && r.on(S_BKTP);
    }
    return true;
}

/* Watermark, annotation, inserts. */
bool snapshot_decorations(JobSettings *js, Reader &r, const ModelCapabilityBits *caps)
{
    if (r.hasText(S_WATERMARK_TEXT) && (r.hasText(S_WATERMARK_FONT) || r.hasText(S_WATERMARK_1857))) {
        if (r.on(S_WATERMARK_SHEET))
            js->sheetWatermark = 1;
        else
            js->pageWatermark = 1;
    }
    js->watermarkFirstPageOnly = r.get(S_WATERMARK_FIRST_ONLY);
    js->watermarkSeeThrough = r.get(S_WATERMARK_SEE_THROUGH);

    for (int i = 0; i < JOB_ANNOTATION_ITEMS; ++i) {
        bool item = r.on(WORD(S_ANNOTATION_ITEM + i));
        js->annotationPos[i] = item ? SHORT(r.get(WORD(S_ANNOTATION_POS + i))) : SHORT(-1);
        if (item)
            js->annotation = 1;
    }

    bool inserts = has(caps, CAP_INSERTS);
    if (inserts && r.get(S_COVER_INSERT) == 1) {
        js->leadingInsert = r.on(S_COVER_1340) ? 1 : 2;
        js->leadingInsertTray = SHORT(r.get(S_COVER_INSERT_TRAY));
    } else {
        LONG mode = r.get(S_LEADING_INSERT);
        if (mode < 0 || mode > 2)
            return false;
        js->leadingInsert = mode;
        js->leadingInsertTray = SHORT(r.get(S_LEADING_INSERT_TRAY));
    }
    js->trailingInsert = inserts && r.get(S_TRAILING_INSERT) == 1;
    js->pageInserts = inserts && r.get(S_PAGE_INSERTS) == 1;
    js->trailingInsertTray = SHORT(r.get(S_TRAILING_INSERT_TRAY));
    js->pageInsertTray = SHORT(r.get(S_PAGE_INSERT_TRAY));
    if (js->pageInserts)
        for (int i = 0; i < JOB_PAGE_INSERT_COUNT; ++i)
            js->pageInsertValues[i] = SHORT(r.get(WORD(S_PAGE_INSERT_VALUE + i)));
    return true;
}

/* Copies, collation by the driver, reverse order, driver duplex and the HCPN line. */
void snapshot_copies(JobSettings *js, Reader &r, const ModelCapabilityBits *caps, LONG rawJobType)
{
    js->copies = WORD(r.get(ID_COPIES));
    js->collate = r.get(S_COLLATE) == 1;
    bool held = r.on(S_PD_4123);
    if (has(caps, CAP_COLLATE_BY_4355) && rawJobType != 1 && rawJobType != 2 && rawJobType != 7 && rawJobType != 8)
        held = r.get(S_PD_4355) != 1;
    js->driverCollate = js->copies != 1 && js->collate && has(caps, CAP_DRIVER_COLLATE) &&
                        (!r.on(S_COLLATE_1344) || !(held || r.on(S_PD_4099)));
    js->reverseOrder = r.on(S_REVERSE);
    js->driverDuplex = js->duplex == 2 && has(caps, CAP_DRIVER_DUPLEX) && r.on(S_DRIVER_DUPLEX);
    js->hcpnLine = js->driverCollate && has(caps, CAP_HCPN) && r.get(S_PD_HCPN) != 0;
    js->recorded = js->driverCollate || js->reverseOrder || js->driverDuplex || js->hcpnLine;
}

} // namespace

int JOB_SnapshotSettings(JobSettings *js, DWORD protocolClass, void *settings, void *printerData,
                         const ModelCapabilityBits *caps)
{
    if (!js || !settings || !caps)
        return -1;
    KeptFields kept{};
    std::memcpy(kept.documentName, js->documentName, sizeof kept.documentName);
    kept.printer = js->printer;
    kept.jobDataFlags = js->jobDataFlags;
    kept.jobFlag = js->jobFlag;
    std::memcpy(kept.auxPair, js->auxPair, sizeof kept.auxPair);
    std::memset(js, 0, sizeof *js);
    std::memcpy(js->documentName, kept.documentName, sizeof kept.documentName);
    js->printer = kept.printer;
    js->jobDataFlags = kept.jobDataFlags;
    js->jobFlag = kept.jobFlag;
    std::memcpy(js->auxPair, kept.auxPair, sizeof kept.auxPair);

    if (protocolClass < JOB_PROTOCOL_2_0 || protocolClass > JOB_PROTOCOL_2_1)
        return -1;
    js->protocolClass = protocolClass;

    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExW(&version)) {
        js->osMajor = WORD(version.dwMajorVersion);
        js->osMinor = WORD(version.dwMinorVersion);
    }

    Reader r{settings, printerData};
    if (!snapshot_colour(js, r))
        return -1;

    LONG v = 0;
    if (!map_value(kDuplex, r.get(S_DUPLEX), &v))
        return -1;
    js->duplex = WORD(v);
    if (!map_value(kPagesPerSheet, r.get(S_PAGES_PER_SHEET), &v))
        return -1;
    js->pagesPerSheet = WORD(v);
    js->skipBlankPages = r.get(S_SKIP_BLANK) != 0;
    if (!snapshot_layout_kind(js, r, caps))
        return -1;

    bool nupOrBooklet = js->pagesPerSheet != 1 || js->booklet;
    js->samePaper = !nupOrBooklet && r.get(ID_OUTPUT_PAPER) == kOwnPaper;
    js->singlePage = !nupOrBooklet;
    js->qzsr[0] = r.on(S_QZSR_1) ? 1 : 0;
    js->qzsr[1] = r.on(S_QZSR_2) ? 1 : 0;

    LONG form = r.get(S_FORM);
    js->formMode = form == 1;
    js->formOther = form != 0 && form != 1;
    if (!snapshot_decorations(js, r, caps))
        return -1;

    js->value326 = SHORT(r.effective(S_326));
    js->value344 = SHORT(r.effective(S_344));
    js->borderless = r.get(ID_BORDERLESS) == 1;
    js->userMargins = r.get(ID_USER_MARGINS) == 1;

    LONG rawJobType = r.get(S_JOB_TYPE);
    LONG jobType = 0;
    js->jobType = map_value(kJobTypes, rawJobType, &jobType) ? jobType : 0;
    snapshot_copies(js, r, caps, rawJobType);

    js->informOrientation = r.get(S_INFORM_ORIENTATION) == 1 && !js->formMode;
    js->jobInfoBlock = has(caps, CAP_JOB_INFO);
    js->value1320 = r.on(S_1320);
    js->value1313 = r.on(S_1313) ? (r.get(S_441) != 0 ? 2 : 1) : 0;

    /* The leading insert is the cover: 1 the first page printed on the cover tray, 2 a blank cover before it. */
    js->coverMode = js->leadingInsert;
    js->coverFlag = js->booklet && r.on(S_BOOKLET_1291);
    js->outputTrayMode = 0;
    js->perPageDuplex = r.on(S_PER_PAGE_DUPLEX);
    js->perPagePaper = js->samePaper;
    js->paperTypeTrays = 1;
    js->outputOrderReversed = 0;
    return r.ok ? 0 : -1;
}

int JOB_TranslateLayout(PageLayout *layout, const JobSettings *js, void *settings, void *printerData,
                        const ModelCapabilityBits *caps)
{
    if (!layout || !js || !settings || !caps)
        return -1;
    Reader r{settings, printerData};
    bool posterOrBooklet = js->poster || js->booklet;
    bool nup = js->pagesPerSheet != 1;

    LONG v = r.get(S_437);
    if (v < 0 || v > 3)
        return -1;
    layout->value437 = v;

    if (!map_value(kDuplexEdges, r.get(S_DUPLEX), &v))
        return -1;
    layout->duplexEdge = posterOrBooklet ? 0 : v;

    if (!map_value(kBindings, r.get(S_BINDING), &v))
        return -1;
    if (posterOrBooklet || (js->jobType == 3 && has(caps, CAP_NO_BINDING_TYPE_3)))
        v = 0;
    layout->binding = v;
    layout->bindingValues[0] = v ? WORD(r.get(S_BINDING_VALUE_1)) : 0;
    layout->bindingValues[1] = v ? WORD(r.get(S_BINDING_VALUE_2)) : 0;

    layout->scaling = nup ? 0 : r.get(S_SCALING) != 0;
    LONG scale = layout->scaling ? r.get(S_SCALE) : 100;
    if (scale < kScaleMin || scale > kScaleMax)
        return -1;
    layout->scale = DWORD(scale);
    layout->fit = layout->scaling ? 0 : r.get(S_FIT) != 0;

    layout->nupOrder = 0;
    if (!posterOrBooklet) {
        v = r.get(S_NUP_ORDER);
        if (v < 0 || v > 6)
            return -1;
        layout->nupOrder = v;
    }
    layout->pagesPerSheet = posterOrBooklet ? 1 : js->pagesPerSheet;
    layout->gridColumns = 1;
    layout->gridRows = 1;
    for (const GridRow &g : kGrids)
        if (g.pages == layout->pagesPerSheet) {
            layout->gridColumns = g.columns;
            layout->gridRows = g.rows;
        }

    LONG orientation = r.get(S_NUP_ORIENTATION);
    if (orientation == 0)
        orientation = r.get(ID_ORIENTATION);
    if (!map_value(kOrientations, orientation, &v))
        return -1;
    layout->landscape = v;
    LONG pps = layout->pagesPerSheet;
    layout->cellsTurned = !posterOrBooklet && (pps == 2 || pps == 8 || pps == 32);
    layout->sheetTurned = layout->landscape ^ layout->cellsTurned;

    std::memset(layout->bookletOptions, 0, sizeof layout->bookletOptions);
    if (js->booklet) {
        layout->bookletOptions[0] = r.get(S_BOOKLET_1291);
        if (layout->bookletOptions[0]) {
            layout->bookletOptions[1] = r.get(S_BOOKLET_324);
            layout->bookletOptions[2] = r.get(S_BOOKLET_1292);
        }
        if (!map_value(kBooklet322, r.get(S_BOOKLET_322), &v))
            return -1;
        layout->bookletOptions[3] = v;
    }

    layout->posterAcross = js->poster ? js->posterAcross : SHORT(1);
    layout->posterDown = js->poster ? js->posterDown : SHORT(1);
    v = r.get(S_382);
    layout->value382 = (!js->poster && v >= 1 && v <= 4) ? v : 0;
    v = r.get(S_IMAGE_SHIFT);
    layout->imageShift = (v == 1 || v == 2) ? v : 0;
    layout->imageShiftValues[0] = layout->imageShift == 1 ? SHORT(r.get(S_IMAGE_SHIFT_X)) : SHORT(0);
    layout->imageShiftValues[1] = layout->imageShift == 1 ? SHORT(r.get(S_IMAGE_SHIFT_Y)) : SHORT(0);
    return r.ok ? 0 : -1;
}

int JOB_HasCapability(PdevContext *pdev, DWORD code, LONG *out)
{
    if (!out)
        return -1;
    *out = 0;
    if (!pdev || !pdev->mainReader)
        return -1;
    ModelCapabilityBits caps{};
    if (!MDL_GetCapabilityBits(pdev->mainReader, &caps))
        return -1;
    *out = has(&caps, code) ? 1 : 0;
    return 0;
}

int JOB_TrayMediaSource(ModelFileReader *main, ModelFileReader *companion, WORD trayCode, WORD *source)
{
    if (!source)
        return -1;
    *source = 0;
    if (!main)
        return -1;
    ModelRecord *tray = nullptr;
    if (DDD_GetRecordById(DDD_PARSE_FULL, main, companion, DDD_KIND_TRAY, trayCode, 0, &tray) != 0 || !tray)
        return -1;
    WORD value = 0;
    WORD r = DDD_TrayMediaSource(tray, &value);
    DDD_FreeRecord(&tray, -1);
    if (r != 0)
        return -1;
    *source = value;
    return 0;
}

int JOB_PaperMediaSize(const JobPaper *paper, const ModelRecord *modelPaper, WORD *code, WORD *width, WORD *length)
{
    if (!code || !width || !length)
        return -1;
    *code = 0;
    *width = 0;
    *length = 0;
    if (!paper || !modelPaper || modelPaper->kind != DDD_KIND_PAPER)
        return -1;
    const DddPair *size = DDD_PaperSize(modelPaper);
    const DddPair *alt = DDD_PaperSizeAlt(modelPaper);
    if (!size || !alt)
        return -1;
    WORD media = DDD_PaperMediaCode(modelPaper);
    /* The second pair may hold the same paper turned: that is one size, not a range. */
    bool range = !FORM_IsFixedSize(modelPaper);
    if (range && media != JOB_MEDIA_BY_SIZE)
        return -1;
    if (range && paper->width == JOB_A4_WIDTH && paper->length == JOB_A4_LENGTH) {
        *code = JOB_MEDIA_A4;
        return 0;
    }
    *code = media;
    if (media == JOB_MEDIA_BY_SIZE) {
        *width = paper->width;
        *length = paper->length;
    }
    return 0;
}

int JOB_SamePaper(const JobPaper *a, const JobPaper *b)
{
    if (!a || !b)
        return 1;
    return (a->paperCode == b->paperCode && a->width == b->width && a->length == b->length) ? 0 : 1;
}

int JOB_WriteQzsr(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings)
        return -1;
    return XL_CommentSr(pdev, LONG(pdev->jobSettings->qzsr[0]), LONG(pdev->jobSettings->qzsr[1]));
}

int JOB_WriteQzccEndPage(PdevContext *pdev)
{
    if (!pdev || XL_CommentCc(pdev) != 0)
        return -1;
    return XL_EndPage(pdev, 0);
}
