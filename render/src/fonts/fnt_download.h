/*
 * Fonts downloaded to the printer during a job: the list is emptied at the
 * job's first page and every page removes the fonts it downloaded.
 */
#ifndef TARVELGR_FNT_DOWNLOAD_H
#define TARVELGR_FNT_DOWNLOAD_H

struct PdevContext;

/* Empties the list of downloaded fonts and its count.  0, or -1 without a context. */
int FNT_ResetDownloadState(PdevContext *pdev);

/* Removes every downloaded font from the printer (end of page and of document).  0, or -1. */
int FNT_RemoveAllDownloadedFonts(PdevContext *pdev);

/* Frees the list without telling the printer, and the context's TrueType record (the context is going away). */
void FNT_FreeDownloadedFonts(PdevContext *pdev);

/* Hands the list of a replaced context to its successor (DrvResetPDEV). */
void FNT_MoveDownloadedFonts(PdevContext *oldPdev, PdevContext *newPdev);

#endif /* TARVELGR_FNT_DOWNLOAD_H */
