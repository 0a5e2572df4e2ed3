/*
 * The rotation of images on turned pages: the direction the paper is fed
 * in (short or long edge first, from the feed settings or the model's tray
 * record for the paper) against the direction the page lies on the sheet.
 * When they differ the drawing code turns images by 90 or 270 degrees.
 */
#include "page_geometry.h"

#include "job_settings.h"
#include "pdev_context.h"
#include "sheet_state.h"

#include <tarvel/model_data/model_records.h>

namespace {

enum : WORD {
    ID_COVER_FEED = 438, /* 1: the cover tray feeds short edge first */
};

constexpr WORD kCoverTray = 4;
constexpr LONG kByPaper = 1542;

/* The direction a feed setting value names (0: none). */
LONG direction_of_value(LONG value, SHORT paperCode)
{
    switch (value) {
    case 257:
    case 514: return 1;
    case 771:
    case 1028: return 2;
    case kByPaper:
        switch (paperCode) {
        case 9: case 13: case 258: case 283: case 1: return 2;
        case 8: case 12: case 257: case 282: case 3: return 1;
        default: return 0;
        }
    default: return 0;
    }
}

/* The direction the model's tray record gives the paper (0: the tray or the paper is not listed). */
LONG direction_of_tray(PdevContext *pdev, SHORT paperCode, WORD tray)
{
    ModelRecord *record = nullptr;
    if (!pdev->mainReader || DDD_GetRecordById(DDD_PARSE_FULL, pdev->mainReader, pdev->companionReader, DDD_KIND_TRAY,
                                               tray, 0, &record) != 0 || !record)
        return 0;
    LONG direction = 0;
    WORD code = 0;
    for (WORD n = 1; DDD_GetListEntry(record, n, &code) == DDD_OK; n++) {
        if (code != WORD(paperCode))
            continue;
        WORD value = 0;
        if (DDD_GetListEntryId(record, n, &value) == DDD_OK)
            direction = value;
        break;
    }
    DDD_FreeRecord(&record, -1);
    if (direction == 3) {
        DWORD cover = 0;
        direction = tray == kCoverTray && PDEV_GetSetting32(pdev, ID_COVER_FEED, &cover) == 0 && cover == 1 ? 1 : 2;
    }
    return direction == 1 || direction == 2 ? direction : 0;
}

} // namespace

LONG LAY_FeedDirection(PdevContext *pdev, SHORT paperCode, WORD tray)
{
    if (!pdev || !pdev->jobSettings)
        return 0;
    const JobSettings &js = *pdev->jobSettings;
    LONG d = direction_of_value(js.value326, paperCode);
    if (d == 0)
        d = direction_of_value(js.value344, paperCode);
    return d ? d : direction_of_tray(pdev, paperCode, tray);
}

LONG LAY_PageDirection(LONG pagesPerSheet, LONG landscape)
{
    const bool halves = pagesPerSheet == 2 || pagesPerSheet == 8;
    return (landscape != 0) == halves ? 1 : 2;
}

LONG LAY_RotationAngle(LONG feedDirection, LONG pageDirection)
{
    if (feedDirection == 0 || feedDirection == pageDirection)
        return 0;
    return feedDirection == 2 ? 90 : 270;
}

int LAY_PageRotation(PdevContext *pdev, LONG *angle, LONG *turned)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !angle || !turned)
        return -1;
    *angle = LAY_RotationAngle(sheet->feedDirection, LAY_PageDirection(pdev->pageLayout->pagesPerSheet,
                                                                        sheet->page.landscape));
    *turned = *angle == 90 || *angle == 270;
    return 0;
}
