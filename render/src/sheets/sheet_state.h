/*
 * The sheet pipeline's own state of a job, kept at the end of the job's
 * page layout record (cleared with it at every job start): the layout and
 * paper of the current sheet, the current tray, where the next page goes
 * (cell and side), how the sheet is named in BeginPage, and the job's
 * start tick for the event comments.
 */
#ifndef TARVELGR_SHEET_STATE_H
#define TARVELGR_SHEET_STATE_H

#include "page_geometry.h"
#include "sheet_data.h"

#include <plat/types.h>

struct PdevContext;

/* The copy-set settings of a copy-set job, taken at its first sheet, and how far its copy sets went. */
struct CopySetState {
    LONG read;           /* 1 once taken (a copy-set job with its copy-set data) */
    LONG sheetData;      /* setting 376: the job carries sheet-data pages */
    LONG kind;           /* 1: the data file precedes the cover; 2: the form-name record (setting 377 on) */
    LONG sameForAll;     /* setting 379 */
    LONG dataSets;       /* setting 380 */
    LONG noPages;        /* setting 381: the document's own pages are not printed */
    LONG jobPerSet;      /* one spool job per data set */
    LONG firstPending;   /* the first sheet-data page waits for a head written at the end of the job */
    LONG setsWritten;    /* data sets whose output is complete */
    LONG deleteDataFile; /* every set went out: the data file of setting 375 goes with the job */
    SheetDataPaper setPaper; /* the paper stored for the data sets' pages */
    LONG setPaperKnown;
};

struct SheetPipelineState {
    DWORD startTick;        /* GetTickCount at job open */
    LONG resolution;        /* setting 20, at least 1 (600 when 0 or less) */
    LONG translated;        /* 1 once the first sheet's settings were translated */
    LayoutParams params;    /* from the page layout record */
    LayoutRecord layout;    /* the current sheet's layout */
    PaperRecord paper;      /* the current sheet's paper */
    PaperRecord previousPaper;
    PageGeometry page;      /* the application page of the current sheet */
    LONG paperKnown;        /* 1 once a sheet latched its paper */
    WORD tray;              /* the current tray code */
    WORD cellIndex;         /* the next cell on the current sheet */
    WORD sideIndex;         /* 1 while a duplex front waits for its back */
    WORD sidesPerSheet;     /* 1 simplex, 2 duplex */
    DWORD sidesEmitted;     /* sheet sides ended or skipped (not inserted blank sheets); 32-bit for long jobs */
    DWORD sidesStarted;     /* physical sheets started */
    LONG pageDrawn;         /* 1 once drawing reached the current sheet side */
    LONG openingBlank;      /* set while a blank page is opened to end it */
    WORD duplex;            /* setting 16 of the current sheet */
    LONG duplexKind;        /* 1 simplex, 2 duplex, 3 tumble (per-page duplex) */
    BYTE colorCode;         /* BeginPage colour code of the current sheet */
    SHORT mediaSource;      /* -1: none known */
    SHORT mediaSize;        /* negative: sent by its size */
    FLOAT customWidth;      /* millimetres */
    FLOAT customHeight;
    LONG customSize;        /* 1 when the paper goes by its size */
    LONG pageAngle;         /* rotation of images on the page: 0, 90, 180, 270 */
    LONG pageTurned;        /* 1 for 90 and 270 */
    LONG feedDirection;     /* the sheet's paper fed short (1) or long (2) edge first; 0 unknown */
    LONG twoPassEnded;      /* 1 once a paper change ended two-pass duplex for the rest of the job */
    DWORD insertSides;      /* sides of the page-number insert sheets written */
    LONG coverSides;        /* sides still to be fed from the cover tray (cover modes 1 and 3) */
    WORD settingsTray;      /* the first sheet's tray by the settings (N-up jobs keep it after the cover) */
    DWORD bookletNextPage;  /* the first page of the next booklet set once a full set went out */
    CopySetState copySets;
};

/* The context's pipeline state, or null outside a job. */
SheetPipelineState *JOB_SheetState(PdevContext *pdev);

/* Whether the page on side `side` (0 front, 1 back) of the sheet is turned within the paper (a two-pass back face). */
bool JOB_IsTurnedBackFace(const PdevContext *pdev, const SheetPipelineState &sheet, LONG side);

#endif /* TARVELGR_SHEET_STATE_H */
