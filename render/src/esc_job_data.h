/*
 * Job data the user-interface library's escapes hand over during a job
 * (annotation texts, per-copy-set headers, auxiliary blocks), kept in the
 * device context until the job ends.
 */
#ifndef TARVELGR_ESC_JOB_DATA_H
#define TARVELGR_ESC_JOB_DATA_H

struct PdevContext;

/*
 * Frees the annotation holder with its five parts, the copy-set header
 * table and the auxiliary escape block of the context's job.  0, or -1.
 */
int ESC_FreeJobData(PdevContext *pdev);

#endif /* TARVELGR_ESC_JOB_DATA_H */
