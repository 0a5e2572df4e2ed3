/*
 * Sheet data blocks of copy-set jobs: the copy-set data the user-interface
 * library hands over and the sheet-data pages built from it.
 */
#ifndef TARVELGR_SHEET_DATA_H
#define TARVELGR_SHEET_DATA_H

struct PdevContext;

/* Frees the context's copy-set data blocks (copy-set mode).  0, or -1. */
int SDB_FreeCopySetData(PdevContext *pdev);

#endif /* TARVELGR_SHEET_DATA_H */
