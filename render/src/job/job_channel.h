/*
 * The output channel of a device context's job: created with the job,
 * opened on the engine's printer handle when the document starts, closed
 * at the end of the job (committing only a job that finished) and freed
 * with it.  Operations answer 0 or -1.
 */
#ifndef TARVELGR_JOB_CHANNEL_H
#define TARVELGR_JOB_CHANNEL_H

#include <plat/types.h>

struct PdevContext;

/* Clears the record flags and creates the context's channel (closed); an existing one is freed first. */
int OUT_CreateJobChannel(PdevContext *pdev);

/* Frees the context's channel (closing it first when it has a target); nothing without one. */
void OUT_FreeJobChannel(PdevContext *pdev);

/* Resets the page colour set from the job settings and opens the channel on the job's printer handle. */
int OUT_OpenJobChannel(PdevContext *pdev);

/*
 * Closes the channel when it has a target.  `commit` says the job finished;
 * a channel closed without it has its buffered bytes sent all the same
 * (the spooler keeps what was written).  0 also when there was nothing to
 * close.
 */
int OUT_CloseJobChannel(PdevContext *pdev, BOOL commit);

/* Appends `length` bytes of the job; only once the first sheet is set up.  0, or -1. */
int OUT_WriteJob(PdevContext *pdev, DWORD length, const void *bytes);

/*
 * Form files (job_channel_targets.cpp): OUT_BeginFormFile makes a new,
 * empty file at `path` the channel's target, after what was buffered went
 * to the old one; a failed write to it asks the user with the form file's
 * message.  OUT_EndFormFile flushes and closes it, and the channel goes
 * back to the printer.  0, or -1.
 */
int OUT_BeginFormFile(PdevContext *pdev, LPCWSTR path);
int OUT_EndFormFile(PdevContext *pdev);

/*
 * A second spool job (one per copy set after the first): the engine's job
 * keeps what was written to it and its handle is only let go; a new job
 * of the job's document name on the same printer becomes the target.
 * OUT_CloseJobTarget ends the target: a second spool job is closed
 * (flushed, ended and its handle closed), the engine's handle only
 * detached.  0, or -1.
 */
int OUT_OpenJobOnNewSpoolJob(PdevContext *pdev);
int OUT_CloseJobTarget(PdevContext *pdev);

/*
 * Abandons a second spool job whose output failed: what is still buffered
 * is dropped, the spool job is deleted (never printed cut off) and its
 * handle closed.  The engine's own job is left to the engine's abort.  0, or
 * -1 when there is no second job or deleting it failed.
 */
int OUT_AbortJobTarget(PdevContext *pdev);

#endif /* TARVELGR_JOB_CHANNEL_H */
