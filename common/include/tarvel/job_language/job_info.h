/*
 * The job-information block: the run of "@PJL COMMENT QZJOBINFO " lines at the
 * end of a job's trailer that tells the device and accounting tools what the
 * job is (page description language, job type, copies, finishing, page
 * counts) and, page by page, each page's size, colour mode, tray, duplex
 * side, orientation and position.  This header holds the record that collects
 * those facts (JobInfoRecord with its list of JobInfoPage entries), the item
 * numbers and set flags, the line formatters, the required-item check and the
 * writer that hands the block out in caller buffers of any size.
 *
 * The record, its page list and the writer use the C run-time heap
 * (malloc / free) and single-byte text, not GlobalAlloc: a record is created
 * with JIF_Create and freed with JIF_Destroy, nothing else.
 *
 * The rendering library fills the record while a job runs (its glue sets the
 * single items and page fields directly in the record and adds page entries
 * with JIF_ListAppend) and writes the block into the trailer; the
 * user-interface library writes a minimal block with JIF_WriteResendBlock.
 */
#ifndef TARVEL_JOB_INFO_H
#define TARVEL_JOB_INFO_H

#include <plat/types.h>

/* Item numbers (1-25) and page-field flags (26-32): indexes of setFlags. */
enum : int {
    JIF_ITEM_VERSION = 1,
    JIF_ITEM_BEGIN = 2,
    JIF_ITEM_PDLTYPE = 3,
    JIF_ITEM_JOBTYPE = 4,
    JIF_ITEM_STOREDJOBTYPE = 5,
    JIF_ITEM_JOBCOPIES = 6,
    JIF_ITEM_PAGECOPIES = 7,
    JIF_ITEM_DUPLEXTYPE = 8,
    JIF_ITEM_NUP = 9,
    JIF_ITEM_POSTER = 10,
    JIF_ITEM_BOOKLETTYPE = 11,
    JIF_ITEM_OUTTRAY = 12,
    JIF_ITEM_PAGEORDER = 13,
    JIF_ITEM_STAPLE = 14,
    JIF_ITEM_PUNCH = 15,
    JIF_ITEM_FOLD = 16,
    JIF_ITEM_SLIPSHEET = 17,
    JIF_ITEM_TONERSAVE = 18,
    JIF_ITEM_PHYSICALPAGES = 19,
    JIF_ITEM_LOGICALPAGES = 20,
    JIF_ITEM_ESTIMATEDSHEETS = 21,
    JIF_ITEM_PAGEINFOBEGIN = 22,
    JIF_ITEM_PAGEINFO = 23,
    JIF_ITEM_PAGEINFOEND = 24,
    JIF_ITEM_END = 25,

    JIF_FLAG_SIZE = 26,
    JIF_FLAG_MODE = 27,
    JIF_FLAG_COLORS = 28,
    JIF_FLAG_INTRAY = 29,
    JIF_FLAG_DUPLEX = 30,
    JIF_FLAG_ORIENTATION = 31,
    JIF_FLAG_POS = 32,

    JIF_FLAG_COUNT = 33, /* index 0 carries no meaning */
};

/* Error bits of the record and of JIF_WriteChunk. */
enum : WORD {
    /* A required item of the job type is missing, or a page line has no SIZE.
     * Kept in the record once set. */
    JIF_ERR_MISSING_ITEM = 0x0001,
    /* This call could not write its first pending line because the capacity
     * is below that line's length: calling again with the same capacity
     * makes no progress.  Reported by the call only, never kept. */
    JIF_ERR_NO_ROOM = 0x0002,
};

/* Every line starts with this prefix (23 bytes). */
inline constexpr char JIF_LINE_PREFIX[] = "@PJL COMMENT QZJOBINFO ";
inline constexpr int JIF_LINE_PREFIX_LENGTH = 23;

/* Longest text of one item: a page line with every field at its longest
 * (15-character SIZE, COLOR with a 10-digit COLORS, 10-digit INTRAY and POS,
 * SIMPLEX, REVLANDSCAPE): 138 bytes.  The PDLTYPE text is at most 97. */
inline constexpr int JIF_MAX_TEXT_LENGTH = 138;

/* Longest whole line: prefix, longest text and CR LF.  A JIF_WriteChunk
 * capacity of at least this always makes progress. */
inline constexpr int JIF_MAX_LINE_LENGTH = JIF_LINE_PREFIX_LENGTH + JIF_MAX_TEXT_LENGTH + 2;

/* Size of a line buffer for JIF_FormatItem / JIF_WritePageEntry: the longest
 * text, CR LF and a terminating zero, rounded up. */
inline constexpr int JIF_LINE_BUFFER_SIZE = 160;

/* The most characters of the PDL version text, and of a page's SIZE text. */
inline constexpr int JIF_PDL_VERSION_MAX = 64;
inline constexpr int JIF_PAGE_SIZE_MAX = 15;

/* Entries per block of the page list: 64,000 bytes / 40. */
inline constexpr LONG JIF_PAGES_PER_BLOCK = 1600;

/* Buffer size the user-interface library writes the resend block into. */
inline constexpr int JIF_RESEND_BUFFER_SIZE = 1025;

/*
 * One page of the job (40 bytes).  The record's page-field flags say which
 * fields are written, for all pages alike.
 */
struct JobInfoPage {
    LONG mode;        /* 0 UNKNOWN, 1 COLOR, 2 MONOCHROME, 3 EMPTY */
    LONG colors;      /* number of colours (written for MODE 1 only) */
    DWORD inTray;     /* tray number */
    LONG duplex;      /* 0 SIMPLEX, 1 DUPLEX, 2 TUMBLE */
    LONG orientation; /* 0 UNKNOWN, 1 PORTRAIT, 2 LANDSCAPE, 3 REVPORTRAIT, 4 REVLANDSCAPE */
    DWORD pos;        /* position */
    char size[JIF_PAGE_SIZE_MAX + 1]; /* SIZE text, zero-terminated */
};
static_assert(sizeof(JobInfoPage) == 40, "JobInfoPage is 40 bytes");

/* One block of the page list: `size` entries allocated, `count` in use. */
struct JobInfoPageBlock {
    JobInfoPage *entries;
    LONG count;
    LONG size;
};

/*
 * The page list: entries in blocks of at most JIF_PAGES_PER_BLOCK; every
 * block but the last holds exactly that many slots, so entry n (1-based)
 * lives in block (n - 1) / 1600.  `current` is the cursor: the current entry
 * number, 0 only while the list is empty.
 */
struct JobInfoPageList {
    JobInfoPageBlock *blocks; /* block table */
    LONG blockCount;
    LONG capacity;   /* slots in all blocks */
    LONG growthStep; /* slots added when an entry is appended at capacity */
    LONG count;      /* entries in use */
    LONG current;    /* current entry number */
};

/* The record of one job's job-information block. */
struct JobInfoRecord {
    JobInfoPageList *pages; /* owned */

    LONG pdlCode; /* 0 UNKNOWN, 1 TRAMX, 2 POSTSCRIPT, 3 PCLXL, 4 WBDL */
    char pdlVersion[JIF_PDL_VERSION_MAX + 1];

    LONG jobType;
    LONG storedJobType;
    LONG jobCopies;
    LONG pageCopies;
    LONG duplexType;
    LONG nup;
    LONG poster;
    LONG bookletType;
    LONG bookletThreshold;
    LONG outTrayCode;
    LONG outTrayBin;
    LONG pageOrder;
    LONG staple;
    LONG punchHoles;
    LONG punchPosition;
    LONG fold;
    LONG slipSheet;
    LONG tonerSave;
    LONG logicalPages;
    LONG physicalPages; /* computed by the writer */
    LONG estimatedSheets;

    char lineEnd[2];
    DWORD lineEndLength;

    DWORD setFlags[JIF_FLAG_COUNT]; /* index n: item n (1-25) or page field (26-32) */

    DWORD nextItem;    /* writer: next item to write, 0 = not started */
    DWORD currentPage; /* writer: page of the next page line, 1-based */
    DWORD pageCount;   /* writer: pages counted when writing started */

    DWORD errorBits; /* JIF_ERR_MISSING_ITEM */
};

/* ---- Record -------------------------------------------------------------- */

/*
 * Creates a zeroed record with an empty page list of `capacity` slots (spread
 * over blocks of 1,600, the last one holding the remainder) that grows by
 * `growthStep` slots when an entry is appended at capacity.  Items VERSION,
 * BEGIN and END are set, line end LF.  Returns the record (free it with
 * JIF_Destroy), or null when memory runs out or a count is negative; nothing
 * is left allocated then.
 */
JobInfoRecord *JIF_Create(LONG capacity, LONG growthStep);

/* Frees the page blocks, the list and the record.  Null is allowed. */
void JIF_Destroy(JobInfoRecord *record);

/*
 * Brings the record back to the state of a new one for the next job: every
 * item value, the PDL text, the page entries (their slots stay allocated),
 * the writer's state and the error bits cleared; VERSION, BEGIN and END set;
 * line end LF.  Null is allowed.
 */
void JIF_Reset(JobInfoRecord *record);

/*
 * Stores the PDL code and at most 64 characters of `version` (always
 * terminated; null counts as empty) and sets item PDLTYPE.
 */
void JIF_SetPdlType(JobInfoRecord *record, LONG pdlCode, const char *version);

/* Stores JOBTYPE and sets its item. */
void JIF_SetJobType(JobInfoRecord *record, LONG jobType);

/* Non-zero selects CR LF line ends, zero LF. */
void JIF_SetLineEnd(JobInfoRecord *record, BOOL crLf);

/* ---- Formatting ---------------------------------------------------------- */

/*
 * Formats the text of item n (1-25) followed by the line end into `line`
 * (capacity bytes; JIF_LINE_BUFFER_SIZE always suffices) and terminates it
 * with a zero.  The "@PJL COMMENT QZJOBINFO " prefix is not included.  A value
 * outside its item's table, or a required positive number that is 0 or
 * less, gives the line end alone.  For PAGEINFO the page with number `page`
 * is formatted (JIF_WritePageEntry) and *sizeWritten tells whether it had a
 * SIZE field; for every other item *sizeWritten is 0.  Returns the length
 * without the zero, or -1 for a null argument, an item number outside 1-25
 * or a capacity below JIF_LINE_BUFFER_SIZE (nothing written).
 */
int JIF_FormatItem(JobInfoRecord *record, char *line, int capacity, int n, LONG page, BOOL *sizeWritten);

/*
 * Formats "PAGEINFO=" and the flagged fields of page `page` (1-based) into
 * `buffer` (capacity bytes, at least JIF_LINE_BUFFER_SIZE), terminated with a
 * zero, without a line end.  The page list's current entry is the same
 * afterwards.  *sizeWritten is 1 when the SIZE field was written, else 0.
 * Returns the length; 0 (an empty text) for a page number outside the list;
 * -1 for a null argument or a capacity below JIF_LINE_BUFFER_SIZE.
 */
int JIF_WritePageEntry(JobInfoRecord *record, char *buffer, int capacity, LONG page, BOOL *sizeWritten);

/* ---- Writer -------------------------------------------------------------- */

/*
 * Writes the next piece of the block into `dest` (capacity bytes): as many
 * whole lines as fit, never part of a line; lines carry no terminating zero.
 * Call again and again until *more is 0.  The first call after JIF_Create or
 * JIF_Reset runs the required-item check of the job type and counts the
 * pages; after the last line the writer returns to the first line, so that a
 * further call writes the whole block anew (without a second check).
 * *errorBits receives the record's error bits, plus JIF_ERR_NO_ROOM when this
 * call's first pending line was longer than the capacity (nothing written;
 * a capacity of JIF_MAX_LINE_LENGTH or more never stalls).  Returns the
 * bytes written in this call, or -1 for a null argument or a negative
 * capacity (*more is then 0 when given).
 */
int JIF_WriteChunk(JobInfoRecord *record, char *dest, int capacity, BOOL *more, WORD *errorBits);

/*
 * Writes the minimal block of a resent job into `dest` (capacity bytes,
 * JIF_RESEND_BUFFER_SIZE in the user-interface library): a record of page
 * capacity 1 and growth step 1, LF line ends, PDL code 1 with version
 * "1.8.2", JOBTYPE 3, written by one JIF_WriteChunk call.  *errorBits (when
 * given) receives the writer's error bits (JIF_ERR_MISSING_ITEM: this block
 * has no pages).  Returns the bytes written; -1 when memory runs out, `dest`
 * is null or the block does not fit the capacity.
 */
int JIF_WriteResendBlock(char *dest, int capacity, WORD *errorBits);

/* ---- Page list ----------------------------------------------------------- */

/*
 * Creates an empty page list with `capacity` slots in blocks of 1,600 (the
 * last one holding the remainder) and the given growth step.  Returns the
 * list (free it with JIF_ListFree), or null when memory runs out or a count
 * is negative; nothing is left allocated then.
 */
JobInfoPageList *JIF_ListCreate(LONG capacity, LONG growthStep);

/* Frees the blocks, the block table and the list.  Null is allowed. */
void JIF_ListFree(JobInfoPageList *list);

/* Number of entries; 0 for a null list. */
LONG JIF_ListCount(const JobInfoPageList *list);

/* Current entry number (1-based); 0 for an empty or null list. */
LONG JIF_ListCurrent(const JobInfoPageList *list);

/*
 * Makes entry n (1-based) the current one.  Returns 1; 0 (nothing changed)
 * for n outside 1..count or a null list.  Selecting the current entry is a
 * no-op.
 */
BOOL JIF_ListSelect(JobInfoPageList *list, LONG n);

/* Copies the current entry to *out.  Returns 1; 0 for an empty list or a
 * null argument. */
BOOL JIF_ListCopyCurrent(const JobInfoPageList *list, JobInfoPage *out);

/* Pointer to the current entry (valid until the next append); null for an
 * empty or null list. */
JobInfoPage *JIF_ListCurrentEntry(JobInfoPageList *list);

/*
 * Appends a zeroed entry and makes it the current one.  Below the capacity
 * the entry takes the next free slot.  At capacity the list first grows by
 * its growth step: the last block is enlarged as far as 1,600 slots allow
 * (a new block, the entries copied, the old block freed) and whatever of the
 * step is left is added as new blocks of 1,600 slots, the last one holding
 * the remainder.  Returns the new entry count; 0 when memory runs out, the
 * growth step is 0 or the count would pass INT32_MAX, and then nothing
 * has changed.  The rendering library calls this at every page start.
 */
LONG JIF_ListAppend(JobInfoPageList *list);

/* Removes every entry (the slots stay allocated, zeroed) and clears the
 * cursor.  Null is allowed. */
void JIF_ListClear(JobInfoPageList *list);

#endif /* TARVEL_JOB_INFO_H */
