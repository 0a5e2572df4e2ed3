/*
 * Filling the job's job-information record while the job runs: a page
 * entry at every sheet side's start, the job items at the end, and the
 * block handed out in pieces for the trailer.
 */
#ifndef TARVELGR_JOB_INFO_FILL_H
#define TARVELGR_JOB_INFO_FILL_H

#include <plat/types.h>

struct PdevContext;

/* Size of one piece of the block in the trailer. */
inline constexpr int JIG_PIECE_SIZE = 513;

/*
 * Adds the entry of the sheet side that starts: SIZE (shorter side first,
 * "*" when the paper goes by its size), MODE (EMPTY until the side is
 * drawn on), COLORS, INTRAY and DUPLEX.  In form mode only the first side
 * gets an entry.  0, or -1 without a record or when memory is short.
 */
int JIG_AddPageEntry(PdevContext *pdev, BOOL customSize);

/* The current entry's MODE once its side was drawn on: COLOR or MONOCHROME by the job's or the page's colour. */
int JIG_MarkPageDrawn(PdevContext *pdev);

/* Fills the job items at the end of the job (PDL, job type, copies, duplex, N-up, counts).  0, or -1. */
int JIG_FillJobItems(PdevContext *pdev);

/* The next piece of the block into `buffer` (JIG_PIECE_SIZE bytes); *more says whether more follow.  Bytes, or -1. */
int JIG_NextJobInfoLine(PdevContext *pdev, char *buffer, BOOL *more);

/* INTRAY of a model tray code (0x8000 for a code the table does not know). */
DWORD JIG_TrayNumber(WORD trayCode);

/* The SIZE text of a paper of `width` x `length` tenths of a millimetre (at least 17 bytes). */
void JIG_PageSizeText(LONG width, LONG length, BOOL customSize, char *text, size_t capacity);

#endif /* TARVELGR_JOB_INFO_FILL_H */
