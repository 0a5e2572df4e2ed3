/*
 * The job's settings as the page pipeline reads them.  At the start of a
 * document the settings are condensed into JobSettings; at the first sheet
 * the layout-related ones are translated into PageLayout.  Both are plain
 * records on the device context's heap; the pipeline never reads the
 * devmode while it works.  Also here: the PCL XL protocol class of the job,
 * the capability test on the model's capability words, and the media
 * source and size of a tray and a paper.
 *
 * Every value map refuses a value it does not list, so that a damaged or
 * foreign devmode stops the job instead of printing something else.
 */
#ifndef TARVELGR_JOB_SETTINGS_H
#define TARVELGR_JOB_SETTINGS_H

#include "sheet_state.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>

#include <plat/types.h>

struct PdevContext;

/* PCL XL protocol classes (major.minor.revision in bits 16-23, 8-15, 0-7). */
inline constexpr DWORD JOB_PROTOCOL_2_0 = 0x2000000u;
inline constexpr DWORD JOB_PROTOCOL_2_1 = 0x2010000u;

/* Longest document name kept, in characters (plus a terminator). */
inline constexpr int JOB_DOC_NAME_CHARS = 260;

/* Page-number insert values kept (settings 1834 to 1853). */
inline constexpr int JOB_PAGE_INSERT_COUNT = 20;

/* Annotation items (settings 1296 to 1301 switch them, 351 to 356 place them). */
inline constexpr int JOB_ANNOTATION_ITEMS = 6;

/* Media code of a paper that is sent by its size (the letter Q). */
inline constexpr WORD JOB_MEDIA_BY_SIZE = 81;
/* PCL XL media size code of A4, and A4 in tenths of a millimetre. */
inline constexpr WORD JOB_MEDIA_A4 = 2;
inline constexpr WORD JOB_A4_WIDTH = 2100;
inline constexpr WORD JOB_A4_LENGTH = 2970;

/* Colour state of the job (setting 270 mapped). */
enum : LONG {
    JOB_COLOR_PER_PAGE = 0, /* decided page by page from what is drawn */
    JOB_COLOR_MONO = 1,
    JOB_COLOR_COLOR = 2,
};

/* Job-data flags. */
enum : WORD {
    JOB_DATA_RECEIVED = 0x1,
    JOB_DATA_SETTINGS_LOCKED = 0x10,
};

/*
 * The job's settings snapshot, zeroed at every job start and filled by
 * JOB_SnapshotSettings (the document name, printer handle, job-data flags,
 * job flag and auxiliary pair by the document start and the escapes).
 */
struct JobSettings {
    DWORD protocolClass;        /* JOB_PROTOCOL_2_0 .. JOB_PROTOCOL_2_1 */
    WORD osMajor;               /* GetVersionExW; 0 when it fails */
    WORD osMinor;
    LONG colorState;            /* JOB_COLOR_...: 270 (1 -> 1, 2 -> 2, 3 -> 2 or per page with 1289) */
    DWORD tolerantGreyTest;     /* 1289 on */
    LONG use5126;               /* 4129 (printer data) and 5153 on, colour per page */
    SHORT value5126;            /* low byte of 5126 */
    LONG high5126;              /* bits 0xF00 of 5126 set (nibble 0 or 1) */
    WORD duplex;                /* 16: 1 simplex, 2 duplex */
    WORD pagesPerSheet;         /* 295: 1, 2, 4, 8, 16, 32 */
    LONG skipBlankPages;        /* 1334 on */
    LONG poster;                /* 321 = 1 */
    SHORT posterAcross;         /* 296: 2..4 */
    SHORT posterDown;
    LONG posterCutMarks;        /* 1285 on, poster only */
    DWORD booklet;              /* 321 = 2 */
    LONG bookletOption;         /* 446: 0, 1, 2, booklet only */
    SHORT bookletOptionValue;   /* 4364 (option 1) or 323 (option 2) */
    LONG bktpLine;              /* capability 0x4000000, option 1 and 1328 on */
    LONG sheetWatermark;        /* watermark configured and 1288 on */
    LONG pageWatermark;         /* watermark configured and 1288 off */
    LONG watermarkFirstPageOnly; /* 1286 */
    LONG watermarkSeeThrough;   /* 1287 */
    LONG samePaper;             /* 262 = 267 (the job's own paper), not N-up or booklet */
    LONG singlePage;            /* 1; 0 with N-up or booklet */
    LONG layoutOption;          /* set by the sheet pipeline's settings translation */
    DWORD qzsr[2];              /* 1293, 1294: 1 when on */
    LONG formMode;              /* 339 = 1: the job writes a form overlay file */
    LONG formOther;             /* 339 another non-zero value */
    LONG leadingInsert;         /* 0 none, 1, 2 */
    LONG annotation;            /* any of 1296 .. 1301 on */
    SHORT annotationPos[JOB_ANNOTATION_ITEMS]; /* 351 .. 356 for the items on, -1 for the others */
    SHORT value326;             /* effective values */
    SHORT value344;
    DWORD borderless;           /* 383 = 1 */
    DWORD userMargins;          /* 387 = 1 */
    WORD copies;                /* 12 */
    DWORD recorded;             /* driver-collated copies, 1312, driver duplex or HCPN line */
    LONG driverCollate;
    LONG reverseOrder;          /* 1312 on */
    DWORD driverDuplex;         /* duplex, capability bit 55 and 1365 on */
    LONG hcpnLine;              /* driver-collated, capability bit 62 and 4359 not 0 */
    SHORT leadingInsertTray;    /* 407 (with capability bit 38 and 404 = 1) or 333 */
    LONG informOrientation;     /* 5149 = 1 and not form mode */
    WORD jobDataFlags;          /* JOB_DATA_... */
    DWORD jobFlag;              /* from the job-flag escape */
    DWORD jobInfoBlock;         /* capability flag 0x40000 */
    DWORD collate;              /* 18 = 1 */
    DWORD value1320;            /* 1320 on */
    LONG jobType;               /* 334: 1 -> 1, 2 -> 2, 3 -> 3, 5 -> 4, 7 -> 5, 8 -> 6, else 0 */
    LONG value1313;             /* 0 off; on: 2 when 441 is not 0, else 1 */
    WCHAR documentName[JOB_DOC_NAME_CHARS + 1];
    HANDLE printer;             /* the job's spooler handle */
    BYTE auxPair[8];            /* from the auxiliary-pair escape */
    DWORD trailingInsert;       /* capability bit 38 and 405 = 1 */
    DWORD pageInserts;          /* capability bit 38 and 406 = 1 */
    SHORT trailingInsertTray;   /* 408 */
    SHORT pageInsertTray;       /* 409 */
    SHORT pageInsertValues[JOB_PAGE_INSERT_COUNT]; /* 1834 .. 1853 when page inserts are on */

    /* Sources the sheet pipeline and the replay ask for that no setting of
     * their own names (see the README's readings). */
    LONG coverMode;             /* the leading insert: 0 none, 1 printed cover, 2 blank cover (tray: leadingInsertTray) */
    LONG coverFlag;             /* booklet cover: booklet option 1291 */
    LONG outputTrayMode;        /* 0 (4 would take back faces in ascending order) */
    LONG perPageDuplex;         /* 1350 on: the duplex setting may change inside a document */
    LONG perPagePaper;          /* the same-paper field: the paper may change page by page */
    LONG paperTypeTrays;        /* 1: setting 13 names the tray, 265 only through its value 15 */
    LONG outputOrderReversed;   /* 0: the printer stacks face down in page order */
};

/*
 * The page layout record, zeroed at every job start and filled at the
 * first sheet by JOB_TranslateLayout.  The sheet pipeline keeps its own
 * fields after these.
 */
struct PageLayout {
    LONG value437;              /* 0 .. 3 */
    LONG duplexEdge;            /* 16: 1 -> 0, 2 -> 2, 3 -> 1; 0 for poster and booklet */
    LONG binding;               /* 267 mapped; 0 for poster, booklet, job type 3 with capability bit 42 */
    WORD bindingValues[2];      /* 268, 269 when binding is not 0 */
    LONG scaling;               /* 1281; 0 with N-up */
    DWORD scale;                /* 263 with scaling, else 100; 25 .. 400 */
    LONG fit;                   /* 1283; 0 with scaling */
    LONG nupOrder;              /* 264: 0 .. 6; 0 for poster and booklet */
    LONG pagesPerSheet;         /* 295; 1 for poster and booklet */
    WORD gridColumns;
    WORD gridRows;
    LONG landscape;             /* 294, or 7 when 294 is 0: 1 -> 0, 2 -> 1 */
    LONG cellsTurned;           /* 2, 8 and 32 pages per sheet */
    LONG sheetTurned;           /* landscape XOR cells turned */
    LONG bookletOptions[4];     /* 1291; 324 and 1292 when it is on; 322 (0 -> 1, 1 -> 2) */
    SHORT posterAcross;         /* 1 x 1, or the poster tiles */
    SHORT posterDown;
    LONG value382;              /* 1 .. 4, else 0; 0 for poster */
    LONG imageShift;            /* 459: 1 or 2, else 0 */
    SHORT imageShiftValues[2];  /* 460, 461 when the shift is 1 */

    SheetPipelineState sheet;   /* the sheet pipeline's own fields */
};

/*
 * A sheet's paper as the sheet pipeline keeps it: the paper number, its
 * width and length and its margins, in tenths of a millimetre.
 */
struct JobPaper {
    WORD paperCode;
    WORD width;
    WORD length;
    WORD left;
    WORD top;
    WORD right;
    WORD bottom;
};

/*
 * The job's protocol class: printer-data setting 8205 (its effective value)
 * held within 2.0 .. 2.1; 2.0 when an argument is missing or the setting
 * cannot be read.
 */
DWORD JOB_GetProtocolClass(PdevContext *pdev, void *settings, void *printerData);

/* The class reported to application escapes: `protocolClass` when it lies in 2.0 .. 2.1 and setting 1332 is not 0, else 2.0. */
DWORD JOB_ExtProtocolClass(DWORD protocolClass, void *settings, void *printerData);

/*
 * Fills `js` (zeroed first, apart from what the document start set: the
 * document name, printer handle, job-data flags, job flag and auxiliary
 * pair are kept) from `settings` (the 5,896-byte settings image) and
 * `printerData`, with the capability words `caps`.  Returns 0, or -1 when
 * an argument is missing, `protocolClass` lies outside 2.0 .. 2.1, a
 * setting cannot be read, or a mapped setting has a value its map does not
 * list (the record then holds what was filled so far).
 */
int JOB_SnapshotSettings(JobSettings *js, DWORD protocolClass, void *settings, void *printerData,
                         const ModelCapabilityBits *caps);

/*
 * Fills `layout` (its fields above; the pipeline's own are left alone)
 * from `settings`, `printerData` and the snapshot `js`, with the
 * capability words `caps`.  Returns 0, or -1 for a missing argument, an
 * unreadable setting or a value its map does not list.
 */
int JOB_TranslateLayout(PageLayout *layout, const JobSettings *js, void *settings, void *printerData,
                        const ModelCapabilityBits *caps);

/* *out = 1 when the context's model has capability `code` (MDL_CAP_BIT(n) or a mask on word 0), else 0.  0, or -1 (out 0) without a context or model. */
int JOB_HasCapability(PdevContext *pdev, DWORD code, LONG *out);

/*
 * The PCL XL media source of the model's tray `trayCode` (its tray record,
 * kind 5) in *source.  0, or -1 when the model has no such tray or the
 * record cannot be read.
 */
int JOB_TrayMediaSource(ModelFileReader *main, ModelFileReader *companion, WORD trayCode, WORD *source);

/*
 * How `paper` is named in BeginPage, from its model paper record: *code
 * the media code and *width / *length the size in tenths of a millimetre
 * when the paper is sent by its size (code JOB_MEDIA_BY_SIZE), else 0.  A
 * paper with a size range must carry the code 81; one of A4's size is then
 * sent as A4.  Returns 0, or -1 for a missing argument, a record that is no
 * paper, or a range paper with another code.
 */
int JOB_PaperMediaSize(const JobPaper *paper, const ModelRecord *modelPaper, WORD *code, WORD *width, WORD *length);

/* 0 when both papers have the same number, width and length, else 1 (also when either is missing). */
int JOB_SamePaper(const JobPaper *a, const JobPaper *b);

/* The comment "QZSR=%02d" of the job's two QZSR values (the first, plus 4 for the second).  0, or -1. */
int JOB_WriteQzsr(PdevContext *pdev);

/* The comment "QZCC=00", then EndPage without copies.  0, or -1. */
int JOB_WriteQzccEndPage(PdevContext *pdev);

#endif /* TARVELGR_JOB_SETTINGS_H */
