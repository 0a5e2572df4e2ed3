/*
 * Sheet data blocks of copy-set jobs: the copy-set data the user-interface
 * library hands over (a fax send list: one destination per copy set) and
 * the destination record of each copy set.
 */
#ifndef TARVELGR_SHEET_DATA_H
#define TARVELGR_SHEET_DATA_H

struct PdevContext;

#include <tarvel/fax_layout.h>

#include <plat/types.h>

/* One copy set's destination: its send-list entry, then the list's two header texts.  Zero-filled. */
struct CoverDestination {
    BYTE entry[FAX_ENTRY_SIZE];
    BYTE headerText1[FAX_HEADER_TEXT1_SIZE];
    BYTE headerText2[FAX_HEADER_TEXT2_SIZE];
};
static_assert(sizeof(CoverDestination) == 742 + 82 + 1342, "destination record layout");

/*
 * Parses the copy-set data of the escape (a fax send list of `length`
 * bytes) into the context's copy-set data, replacing what it held.  0, or
 * -1 when the block is not a valid list (the context then holds none).
 */
int SDB_LoadCopySetData(PdevContext *pdev, DWORD length, const void *block);

/* The number of copy sets of the context's copy-set data (0 without). */
WORD SDB_CopySetCount(const PdevContext *pdev);

/* The destination record of copy set `index` into `out`.  0, or -1 when the index is not below the count. */
int SDB_GetDestination(const PdevContext *pdev, DWORD index, CoverDestination *out);

/* Frees the context's copy-set data.  0 (also when there is none), or -1. */
int SDB_FreeCopySetData(PdevContext *pdev);

/*
 * Writes the form-name record of the form file setting 1830 names into the
 * job.  0 (nothing written when the path has no file-name part), or -1 when
 * the setting cannot be read or the record cannot be written.
 */
int SDB_WriteFormName(PdevContext *pdev);

/* The paper a sheet-data page names in its page start: a media size code, or its size in millimetres. */
struct SheetDataPaper {
    SHORT mediaSize; /* -1 when sent by its size */
    FLOAT width;     /* millimetres, when sent by its size */
    FLOAT height;
    LONG bySize;
};

/* The cover page's own paper (the model paper 9).  0, or -1 when the model has none. */
int SDB_CoverPaper(PdevContext *pdev, SheetDataPaper *paper);

/*
 * Writes the cover page of one copy set into the job: its items laid out
 * from the cover settings, the dialling prefixes and `destination`,
 * measured with the cover's device fonts (model header entry 27) at the
 * job's resolution.  0, or -1 (a trace line and the last error) when a
 * setting, the cover paper, a font or a character width is missing, a text
 * cannot be placed, or the write fails.
 */
int SDB_WriteCover(PdevContext *pdev, const CoverDestination *destination);

/*
 * Copies the data file the model names (driver directory + model header
 * entry 28) into the job.  0, or -1 (a trace line) when the file cannot be
 * opened or read, or a write fails.
 */
int SDB_CopyDataFile(PdevContext *pdev);

#endif /* TARVELGR_SHEET_DATA_H */
