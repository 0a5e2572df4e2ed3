/*
 * The device context of the rendering library (private): one per printer
 * device context the graphics engine creates, holding everything of its
 * job.  This first form holds what the PCL XL writer and the output channel
 * use; the device-context issue completes it with the settings, model data,
 * paper forms, job state and the magics that validate it.
 */
#ifndef TARVELGR_PDEV_CONTEXT_H
#define TARVELGR_PDEV_CONTEXT_H

#include "pclxl_ops.h"
#include "pclxl_transform.h"

#include <plat/types.h>

struct OutputChannel;

/* Sheet rotation codes kept by the sheet pipeline (anything else counts as none). */
enum : LONG {
    SHEET_ROTATE_NONE = 1,
    SHEET_ROTATE_180 = 2,
    SHEET_ROTATE_90 = 3,
    SHEET_ROTATE_270 = 4,
};

struct PdevContext {
    HANDLE heap;                   /* the private heap of this context */
    OutputChannel *channel;        /* the job's output channel; null outside a job */
    LONG sheetRotation;            /* SHEET_ROTATE_...: the base angle of page transforms */
    CtmTracker *ctmTracker;        /* the job's CTM tracker */
    GraphicsStateCache xlCache;    /* the PCL XL graphics-state cache */
};

#endif /* TARVELGR_PDEV_CONTEXT_H */
