/*
 * Sheet data blocks of copy-set jobs: the copy-set data the user-interface
 * library hands over and the sheet-data pages built from it.
 */
#ifndef TARVELGR_SHEET_DATA_H
#define TARVELGR_SHEET_DATA_H

struct PdevContext;

#include <plat/types.h>

/* Parses the copy-set data of the escape (a fax send list) into the context's copy-set data.  0, or -1. */
int SDB_LoadCopySetData(PdevContext *pdev, DWORD length, const void *block);

/* Frees the context's copy-set data blocks (copy-set mode).  0, or -1. */
int SDB_FreeCopySetData(PdevContext *pdev);

#endif /* TARVELGR_SHEET_DATA_H */
