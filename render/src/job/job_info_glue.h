/*
 * The job-information glue: the job's JobInfoRecord (the block of
 * "@PJL COMMENT QZJOBINFO" lines of the trailer) kept in the device
 * context, created when the job opens and freed with the job.
 */
#ifndef TARVELGR_JOB_INFO_GLUE_H
#define TARVELGR_JOB_INFO_GLUE_H

struct PdevContext;

/* Page capacity and growth step of a job's record. */
inline constexpr long JIG_PAGE_CAPACITY = 10;
inline constexpr long JIG_PAGE_GROWTH = 10;

/*
 * Creates the context's record (page capacity 10, growth step 10, LF line
 * ends), or resets it for the next job when it exists.  0, or -1 without a
 * context or when memory is short.
 */
int JIG_InitJobInfo(PdevContext *pdev);

/* Destroys the context's record; nothing without one. */
void JIG_FreeJobInfo(PdevContext *pdev);

#endif /* TARVELGR_JOB_INFO_GLUE_H */
