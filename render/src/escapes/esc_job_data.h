/*
 * Job data the user-interface library's escapes hand over during a job
 * (annotation texts, per-copy-set headers, copy-set records, auxiliary and
 * extension-data blocks), kept in the device context until the job ends.
 * The escape numbers and payload sizes both libraries use are in
 * tarvel/base/esc_codes.h.
 */
#ifndef TARVELGR_ESC_JOB_DATA_H
#define TARVELGR_ESC_JOB_DATA_H

#include <plat/types.h>
#include <tarvel/base/esc_codes.h>

struct PdevContext;

/* True while the settings lock of the job-data bracket holds. */
bool ESC_SettingsLocked(const PdevContext *pdev);

/* The job-data escapes of esc_job_data.cpp; answers as ESC_Dispatch gives them. */
ULONG ESC_GetAnnotation(PdevContext *pdev, ULONG cjOut, PVOID pvOut);
ULONG ESC_SetAnnotation(PdevContext *pdev, ULONG cjIn, const void *pvIn);
ULONG ESC_SetCopySetHeaders(PdevContext *pdev, ULONG cjIn, const void *pvIn);
ULONG ESC_SetDataBlock(PdevContext *pdev, ULONG escape, ULONG cjIn, const void *pvIn);
ULONG ESC_GetExtData(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut);

/*
 * Frees the annotation holder with its five parts, the copy-set header
 * table, the copy-set record block and the auxiliary block of the
 * context's job (the extension-data block belongs to the context and stays).
 * 0, or -1 for no context.
 */
int ESC_FreeJobData(PdevContext *pdev);

/* Frees the job data still held and the extension-data block, as the context goes. */
void ESC_FreeContextData(PdevContext *pdev);

#endif /* TARVELGR_ESC_JOB_DATA_H */
