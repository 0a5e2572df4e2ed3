/*
 * The job's output frame: the PJL job header and trailer, the PCL XL
 * stream header, and the job events written as comments into the stream.
 */
#ifndef TARVELGR_JOB_HEADER_H
#define TARVELGR_JOB_HEADER_H

struct PdevContext;

/* Job event codes. */
enum : int {
    JOB_EVENT_START_PAGE = 1,
    JOB_EVENT_END_PHYSICAL = 2,
    JOB_EVENT_END_LOGICAL = 3,
    JOB_EVENT_END_JOB = 4,
    JOB_EVENT_END_WITHOUT_END_PAGE = 6, /* the job ends while a logical page is open */
    JOB_EVENT_END_WITH_LEFT_NUP = 7,    /* the job ends while a sheet has empty N-up cells */
    JOB_EVENT_SKIP_BACK_FACE = 8,
};

/* Writes event `code` with the elapsed milliseconds as a comment into the job.  0, or -1. */
int JOB_LogEvent(PdevContext *pdev, int code);

#endif /* TARVELGR_JOB_HEADER_H */
