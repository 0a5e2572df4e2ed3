/*
 * The job and page state machine of a device context (the calls the device
 * context itself makes).  The document and page workers and the job
 * operations join this header with the job work.
 */
#ifndef TARVELGR_JOB_STATE_H
#define TARVELGR_JOB_STATE_H

struct PdevContext;

/*
 * Closes the context's job, if any: forgets the job's printer handle,
 * clears the job state, frees the output channel and the job's state.
 * A context that never started a document has nothing to close.
 */
void JOB_Close(PdevContext *pdev);

#endif /* TARVELGR_JOB_STATE_H */
