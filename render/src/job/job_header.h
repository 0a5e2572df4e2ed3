/*
 * The frame of a job on the wire: the PJL job header (built by the common
 * library, filled here from the job, or a per-copy-set header the
 * user-interface library sent, patched here), the PCL XL stream header line,
 * the job event comments, the session's opening, and the PJL trailer with
 * the job-information block.  Every byte goes through the PCL XL writer
 * into the job's output channel.
 */
#ifndef TARVELGR_JOB_HEADER_H
#define TARVELGR_JOB_HEADER_H

#include <tarvel/job_language/pjl_header.h>
#include <tarvel/model_data/model_file.h>

#include <plat/types.h>

#include <cstddef>

struct PdevContext;

/* JOB_WriteHeader: which text. */
enum : int {
    JOB_TEXT_HEADER = 0,
    JOB_TEXT_TRAILER = 1,
};

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

/* JOB_LogEventText flags. */
enum : DWORD {
    JOB_EVENT_START_TICK = 0x1, /* remember the tick count as the job's start */
    JOB_EVENT_ELAPSED = 0x2,    /* "[%ldms]" since the start */
    JOB_EVENT_STAMP = 0x4,      /* the local time, the document and port names */
};

/* The text of event `code`, or null for a code without one. */
LPCSTR JOB_EventText(int code);

/* Characters of the job owner's name, its terminator included. */
inline constexpr int JOB_OWNER_CHARS = 64;

/*
 * The per-copy-set job headers the user-interface library sends: `count`
 * slots of `slotSize` bytes {32-bit text length, text}, and for each set
 * the byte positions of its booklet, IWASIDE2START and HCPN lines in its
 * text (0: no line).  The table is checked when it is received
 * (JOB_CheckCopySetHeaders), so every slot's length lies within its slot.
 */
struct CopySetHeaderTable {
    DWORD count;
    DWORD slotSize;
    BYTE *slots;
    DWORD *bookletPositions;
    DWORD *iwaSide2StartPositions;
    DWORD *hcpnPositions;
};

/*
 * Checks a copy-set header table: each slot holds at least its 4-byte
 * length, and each length fits its slot.  1 when sound, 0 otherwise.
 */
int JOB_CheckCopySetHeaders(const CopySetHeaderTable *table);

/*
 * Writes the job's PJL header for copy set `copySet` (JOB_TEXT_HEADER):
 * the copy-set table's slot, patched, when the context holds one, else a
 * header built now from the settings copy of the first sheet; or the
 * trailer (JOB_TEXT_TRAILER): with the job-information block, the universal
 * exit, the block's lines and the end-of-job line, else the universal exit
 * and the end-of-job line.  0, or -1 when the text cannot be sized, built or
 * written, or the copy set has no slot.
 */
int JOB_WriteHeader(PdevContext *pdev, int which, DWORD copySet);

/*
 * The job identifier of the header: when settings 8201 and 1321 of the
 * settings copy are both on and the document monitor takes the job's
 * record, the registration is kept in the job's owner record and its job
 * key becomes the header's identifier (params->jobIdPresent 1); otherwise
 * the header has none.  0, or -1 for a missing argument.
 */
int JOB_RegisterJobIdentifier(PdevContext *pdev, JobHeaderParams *params);

/*
 * The fax data check of the job header, made before any byte of the job is
 * written: for a fax job (setting 334 = 5) of a printer whose printer data
 * flag 4125 is set, the fax data file (setting 375, else 1799) must open for
 * reading.  0, or -1 when it does not (the job must not start).
 */
int JOB_CheckFaxData(PdevContext *pdev);

/*
 * The version text "major.minor.revision" of a protocol class, whose three
 * numbers are its three high bytes (0x2010000 is 2.1.0).
 */
void JOB_ProtocolVersionText(DWORD protocolClass, char *text, size_t capacity);

/* Writes the stream header line ") HP-PCL XL;2;1;QZKRL2-<class>,WINNT-<os>,KRL2DRV-1.1.0.0" and a line feed.  0, or -1. */
int JOB_WriteStreamHeader(PdevContext *pdev);

/*
 * A job event as a PCL XL comment in double quotes: with JOB_EVENT_STAMP
 * "[yyyy,mm/dd,hh:mm:ss][document][port]", with JOB_EVENT_ELAPSED
 * "[<n>ms]", then `text`.  JOB_EVENT_START_TICK keeps the tick count as the
 * job's start.  Without text nothing is written.  0, or -1.
 */
int JOB_LogEventText(PdevContext *pdev, LPCSTR text, DWORD flags);

/* BeginSession and OpenDataSource unless the job creates a form.  0, or -1. */
int JOB_BeginSessionUnlessForm(PdevContext *pdev);

/*
 * The job owner's name: the logged-on user's (at most 63 characters),
 * unless that is "SYSTEM" or cannot be had; then Winlogon's
 * "DefaultUserName".  0, or -1 with an empty name when neither exists.
 */
int JOB_GetOwnerName(HANDLE printer, LPWSTR name);

/*
 * Slot patchers: write the line for `value` over the header text at
 * `position` (no terminator, so the rest of the placeholder stays).  A
 * position of 0 needs nothing.  The line is written only when it fits the
 * text (position + length within `textLength`) and the value's width; else
 * the placeholder stays.  1 when done or not needed, 0 when the line's
 * buffer cannot be had.
 */
int JOB_PatchBooklet(ModelFileReader *main, ModelFileReader *companion, LONG value, DWORD position, LPSTR text,
                     DWORD textLength);
int JOB_PatchIwaSide2Start(ModelFileReader *main, ModelFileReader *companion, LONG value, DWORD position, LPSTR text,
                           DWORD textLength);
int JOB_PatchHcpn(ModelFileReader *main, ModelFileReader *companion, LONG value, DWORD position, LPSTR text,
                  DWORD textLength);

#endif /* TARVELGR_JOB_HEADER_H */
