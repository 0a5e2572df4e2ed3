/*
 * Creating, completing, resetting and destroying a device context, its
 * capability records for the engine and its drawing surface.
 */
#ifndef TARVELGR_PDEV_LIFECYCLE_H
#define TARVELGR_PDEV_LIFECYCLE_H

#include "pdev_context.h"

/*
 * DrvEnablePDEV's worker: a new device context for the 5,920-byte job
 * devmode `devmode` on `printer`, with GDIINFO (at most `cjCaps` bytes) and
 * DEVINFO (at most `cjDevInfo` bytes) filled and the `cPat` pattern handles
 * zeroed.  Returns the context (destroy it with PDEV_Destroy), or null with
 * the last error: ERROR_INVALID_PARAMETER for a missing record, engine
 * device or printer, a devmode that is not a job devmode (dmSize other than
 * 220, dmDriverExtra other than 5,700, marker other than 24) or that asks
 * for a resolution of 0 or below; the error of the step that failed
 * otherwise.  A scale of 0 or below is taken as 100 %.  Nothing stays allocated on failure and the data
 * manager's use count is back where it was.
 */
PdevContext *PDEV_Create(DEVMODEW *devmode, ULONG cPat, HSURF *patterns, ULONG cjCaps, ULONG *caps, ULONG cjDevInfo,
                         DEVINFO *devinfo, HDEV hdev, LPWSTR deviceName, HANDLE printer);

/*
 * Fills a new context from the settings image `settings`: magics, the
 * printer's PrinterData, the settings (a scale of 0 or below made 100 %),
 * the paper forms, copies, the logical resolution and the copy-set mode.
 * 1, or 0 on failure.
 */
int PDEV_Init(PdevContext *pdev, const BYTE *settings);

/* DrvCompletePDEV's worker: keeps the engine's device.  ERROR_INVALID_PARAMETER for an invalid context. */
void PDEV_Complete(PdevContext *pdev, HDEV hdev);

/*
 * DrvResetPDEV's worker: `newPdev` replaces `oldPdev`: inside a document
 * the running job moves over (JOB_MoveToContext); in every case it takes
 * the old settings copy and setting 329.  TRUE, or FALSE with
 * ERROR_INVALID_PARAMETER for an invalid context or a job that cannot
 * move (see JOB_MoveToContext).
 */
BOOL PDEV_Reset(PdevContext *oldPdev, PdevContext *newPdev);

/* DrvDisablePDEV's worker: closes any job and frees everything of the context, its heap included. */
void PDEV_Destroy(PdevContext *pdev);

/* DrvEnableSurface's worker: the 24-bit device surface of the job form's printable area, or null. */
HSURF PDEV_EnableSurface(PdevContext *pdev);

/* DrvDisableSurface's worker: closes any job and deletes the surface. */
void PDEV_DisableSurface(PdevContext *pdev);

/* Fills GDIINFO for the engine, at most `cjCaps` bytes of it.  1, or 0 when the printable area cannot be had. */
int PDEV_FillGdiInfo(PdevContext *pdev, ULONG cjCaps, void *caps);

/* Fills DEVINFO, at most `cjDevInfo` bytes of it, with a new default palette.  1, or 0 without a palette. */
int PDEV_FillDevInfo(PdevContext *pdev, ULONG cjDevInfo, DEVINFO *devinfo);

/*
 * Test-only: `hook` is called while a new context opens its model data,
 * with the number of contexts doing so at that moment (null: none).
 */
void PDEV_SetModelOpenHookForTest(void (*hook)(int opening));

#endif /* TARVELGR_PDEV_LIFECYCLE_H */
