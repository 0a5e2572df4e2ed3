/*
 * The page-recording calls of the sheet pipeline: each writes straight to
 * the printer while the page is not recorded, and adds the matching side
 * record while it is.  Each answers 0, or -1.
 */
#ifndef TARVELGR_PAGE_RECORDING_DIRECT_H
#define TARVELGR_PAGE_RECORDING_DIRECT_H

#include "pclxl_transform.h"

#include <plat/types.h>

struct PdevContext;

/* What an open page record records (RecordFlags). */
enum : DWORD {
    REC_RECORDS_PAGE_START = 0x0004,
    REC_RECORDS_PAGE_END = 0x0008,
    REC_RECORDS_SHEET_MARK = 0x0010,
    REC_RECORDS_TRANSFORM = 0x0020,
};

/*
 * The page-start side record's payload (52 bytes): colour code, media
 * source, media size (REC_CUSTOM_SIZE: by its custom size), a reserved
 * byte, the custom width and height (two real32), the sheet's 32-byte paper
 * record, the tray code (16-bit), two reserved bytes, and the page mode
 * word (32-bit, 0: this renderer keeps no page mode).
 */
enum : DWORD {
    REC_PS_COLOR = 0,
    REC_PS_SOURCE = 1,
    REC_PS_SIZE = 2,
    REC_PS_CUSTOM = 4,
    REC_PS_PAPER = 12,
    REC_PS_TRAY = 44,
    REC_PS_MODE = 48,
    REC_PAGE_START_SIZE = 52,
    REC_CUSTOM_SIZE = 'Q',
};

/*
 * BeginSession (UnitsPerMeasure: settings 20 and 21; Measure eInch;
 * ErrorReport eBackChAndErrPage with setting 1336 on, else eNoReporting),
 * then OpenDataSource (eDefaultDataSource, eBinaryLowByteFirst).
 */
int REC_BeginSession(PdevContext *pdev);

/* CloseDataSource and EndSession, unless the job creates a form. */
int REC_EndSession(PdevContext *pdev);

/*
 * The "QZPC" colour comment and BeginPage as REC_BeginPage writes them on
 * the direct road (also used when a recorded page start is replayed).
 */
int REC_WritePageStart(PdevContext *pdev, BYTE colorCode, SHORT mediaSource, SHORT mediaSize, FLOAT customWidth,
                       FLOAT customHeight);

/*
 * The start of a sheet side: the "QZPC" colour comment (01 for a
 * monochrome colour code, 03 for colour) and BeginPage (Orientation 0,
 * MediaSource `mediaSource`, MediaSize `mediaSize`, or a custom size of
 * customWidth x customHeight millimetres when mediaSize is negative).
 * While page-start records are on, a page-start side record (the payload
 * above) and PushGS instead.
 */
int REC_BeginPage(PdevContext *pdev, BYTE colorCode, SHORT mediaSource, SHORT mediaSize, FLOAT customWidth,
                  FLOAT customHeight);

/* EndPage without copies; while end-of-page records are on, PopGS and an end-of-page side record. */
int REC_EndPage(PdevContext *pdev);

/*
 * The page's transform through the transform tracker; nothing before a
 * sheet is open.  While transform records are on, a transform side record,
 * and the tracker only remembers it.
 */
int REC_SetTransform(PdevContext *pdev, const PageTransform *transform);

/* A sheet mark: only recorded pages carry one. */
int REC_Mark(PdevContext *pdev);

#endif /* TARVELGR_PAGE_RECORDING_DIRECT_H */
