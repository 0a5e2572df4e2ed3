/*
 * The page-recording calls of the sheet pipeline: each writes straight to
 * the printer while the page is not recorded, and adds the matching side
 * record while it is (the recording branches arrive with page recording
 * and fail until then).  Each answers 0, or -1.
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
 * BeginSession (UnitsPerMeasure: settings 20 and 21; Measure eInch;
 * ErrorReport eBackChAndErrPage with setting 1336 on, else eNoReporting),
 * then OpenDataSource (eDefaultDataSource, eBinaryLowByteFirst).
 */
int REC_BeginSession(PdevContext *pdev);

/* CloseDataSource and EndSession, unless the job creates a form. */
int REC_EndSession(PdevContext *pdev);

/*
 * The start of a sheet side: the "QZPC" colour comment (01 for a
 * monochrome colour code, 03 for colour) and BeginPage (Orientation 0,
 * MediaSource `mediaSource`, MediaSize `mediaSize`, or a custom size of
 * customWidth x customHeight millimetres when mediaSize is negative).
 */
int REC_BeginPage(PdevContext *pdev, BYTE colorCode, SHORT mediaSource, SHORT mediaSize, FLOAT customWidth,
                  FLOAT customHeight);

/* EndPage without copies. */
int REC_EndPage(PdevContext *pdev);

/* The page's transform through the transform tracker; nothing before a sheet is open. */
int REC_SetTransform(PdevContext *pdev, const PageTransform *transform);

/* A sheet mark: only recorded pages carry one. */
int REC_Mark(PdevContext *pdev);

#endif /* TARVELGR_PAGE_RECORDING_DIRECT_H */
