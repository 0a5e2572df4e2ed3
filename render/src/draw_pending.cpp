/*
 * The job's calls into the drawing work (paths, font download), which is not built yet.  Until it is, the per-job records it keeps are empty: creating one
 * makes nothing, resetting, flushing and freeing have nothing to act on.
 * These are the answers that work gives for a job that has drawn nothing.
 * Each is deleted from here when its work is built.
 */
#include "fnt_download.h"
#include "pdev_context.h"


/* No font is ever downloaded. */
int FNT_ResetDownloadState(PdevContext *pdev) { return pdev ? 0 : -1; }
int FNT_RemoveAllDownloadedFonts(PdevContext *pdev) { return pdev ? 0 : -1; }
