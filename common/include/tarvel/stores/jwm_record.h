/*
 * The document-monitor job record: what the driver tells the outside
 * document monitor about a job that is started with monitoring.  A
 * MonitorJobRequest is built from the job's settings (which printer and
 * port, which document and user, what kind of job, and for a fax the two
 * texts that the fax front end left in a hand-over file), checked, and
 * handed to the monitor as a head block and a detail block
 * (tarvel/base/uix_jobwatch.h).  The monitor is reached only through that glue.
 *
 * Texts handed to the monitor are ANSI (the machine's ANSI code page).
 * Nothing is shown to the user or logged here; every failure is a code.
 */
#ifndef TARVEL_JWM_RECORD_H
#define TARVEL_JWM_RECORD_H

#include <plat/types.h>

struct ModelContext;

/* The caller's per-job record: its settings and the texts it captured (each may be null). */
struct JwmJobContext {
    HANDLE printer;
    ModelContext *context;  /* for the display texts of settings */
    void *devmode;          /* the job's settings image */
    void *printerData;      /* the printer's PrinterData record */
    LPCWSTR printerName;
    LPCWSTR portName;
    LPCWSTR userName;
    LPCWSTR documentName;
};

/* Request kinds. */
inline constexpr WORD JWM_KIND_GENERAL = 0;
inline constexpr WORD JWM_KIND_FAX = 1;

/* The description of a job; texts are ANSI and must lie within the limits below. */
struct MonitorJobRequest {
    WORD kind;            /* JWM_KIND_GENERAL or JWM_KIND_FAX */
    DWORD flag;           /* general jobs: setting 320 is not 0 */
    WORD jobType;
    LPCSTR portName;
    LPCSTR documentName;
    LPCSTR jobText;       /* general jobs */
    LPCSTR printerName;
    LPCSTR userName;
    LPCSTR faxText1;      /* fax jobs */
    LPCSTR faxText2;
    BYTE delayHour;       /* job type 5 */
    BYTE delayMinute;
};

/* Longest texts, in bytes without the terminator. */
inline constexpr size_t JWM_MAX_PORT = 259;
inline constexpr size_t JWM_MAX_DOCUMENT = 259;
inline constexpr size_t JWM_MAX_JOB_TEXT = 79;
inline constexpr size_t JWM_MAX_PRINTER = 255;
inline constexpr size_t JWM_MAX_USER = 63;
inline constexpr size_t JWM_MAX_FAX_TEXT = 31;
inline constexpr size_t JWM_MAX_KEY = 47;

/* Buffer sizes of the callers' outputs, in bytes with the terminator. */
inline constexpr DWORD JWM_KEY_SIZE = 64;      /* the job key field */
inline constexpr DWORD JWM_USER_SIZE = 65;
inline constexpr DWORD JWM_PRINTER_SIZE = 256;
inline constexpr DWORD JWM_PORT_SIZE = 260;
inline constexpr DWORD JWM_TEXT_SIZE = 81;     /* a job text: 80 bytes and the terminator */
inline constexpr DWORD JWM_FAX_TEXT_SIZE = 32;

/* Results of JWM_RegisterJob and JWM_StartMonitor. */
inline constexpr int JWM_REGISTERED = 1;
inline constexpr int JWM_UNAVAILABLE = 3;   /* the monitor is not there or refused */
inline constexpr int JWM_TOO_LONG = 5;      /* a text, or the job key, beyond its limit */
inline constexpr int JWM_MISSING = 6;       /* a missing argument or text */
inline constexpr int JWM_BAD_KIND = 7;

/* The job types. */
inline constexpr WORD JWM_JOB_GENERAL = 0;
inline constexpr WORD JWM_JOB_FAX = 1;
inline constexpr WORD JWM_JOB_SECURE = 3;      /* setting 334 = 1 */
inline constexpr WORD JWM_JOB_PROOF = 4;       /* setting 334 = 2 */
inline constexpr WORD JWM_JOB_DELAYED = 5;     /* setting 334 = 4 */
inline constexpr WORD JWM_JOB_FAX_6 = 6;       /* a fax with setting 1800 = 1 */
inline constexpr WORD JWM_JOB_336 = 8;         /* setting 336 = 1 */
inline constexpr WORD JWM_JOB_STORED = 9;      /* setting 334 = 3 */

/*
 * JWM_BuildJobRecord: describes the job of `job` and registers it with the
 * monitor (JWM_RegisterJob); the job key goes into `jobKey` (64 bytes).
 * Returns the monitor handle (one reference of the glue held until
 * JWM_StartMonitor), or null when the job was not registered, including a
 * fax job whose hand-over file cannot be read.
 */
HANDLE JWM_BuildJobRecord(const JwmJobContext *job, LPSTR jobKey);

/*
 * JWM_RegisterJob: checks `request` (JWM_MISSING for a missing port,
 * document, printer or user name, a general job without its text or a fax
 * without both texts; JWM_BAD_KIND; JWM_TOO_LONG for a text beyond its
 * limit), binds the monitor (JWM_UNAVAILABLE without a handle), asks for
 * the client and job identifiers (JWM_UNAVAILABLE when one is not given or
 * not shorter than 64 characters) and makes the job key "client.job"
 * (JWM_TOO_LONG beyond 47 characters), copied into `jobKey` (64 bytes).
 * Then the job time is taken (kept process-wide), the blocks are filled and
 * handed over (JWM_UNAVAILABLE when refused).  Every failure after the
 * binding releases it.  JWM_REGISTERED with *monitor set.
 */
int JWM_RegisterJob(HANDLE *monitor, LPSTR jobKey, const MonitorJobRequest *request);

/*
 * JWM_StartMonitor: runs the monitor (UIX_ExecJobwatch), then releases the
 * binding (UIX_UninitJobwatch).  JWM_MISSING for a null handle;
 * JWM_UNAVAILABLE when running fails; otherwise JWM_REGISTERED when the
 * release reports success, JWM_UNAVAILABLE when it does not.
 */
int JWM_StartMonitor(HANDLE monitor);

/* JWM_IsAvailable: the result of releasing a binding that could be made; 0 when none can. */
BOOL JWM_IsAvailable(void);

/*
 * JWM_GetUserName: the job's user into `out` (65 bytes, ANSI, at most 64
 * bytes and a terminator): the text of setting 5121 when setting 5127 is 1
 * or 4, of 5150 when it is 5 or 6; else the captured user name, or else the
 * logged-on user (GetUserNameW, asked again up to three more times, 1 ms
 * apart, while it answers "SYSTEM"; a failure or "SYSTEM" to the last gives
 * "UnknownUser").  Returns 1; 0 only for a null buffer or job.
 */
BOOL JWM_GetUserName(const JwmJobContext *job, LPSTR out);

/*
 * JWM_GetPrinterAndPort: the captured printer and port names, or those of
 * PRINTER_INFO_2 for the ones not captured, into `printer` (256 bytes) and
 * `port` (260 bytes), ANSI, cut to fit.  Returns 1; 0 with both empty when
 * the printer's information is needed and cannot be read.
 */
BOOL JWM_GetPrinterAndPort(const JwmJobContext *job, LPSTR printer, LPSTR port);

/*
 * JWM_GetStoredJobText: the job text of job type 9: the display name of
 * setting 435, the separator (resource string JWM_SetSeparatorStringId,
 * 5144 by default), the value of 435.  JWM_GetJobKindText: the job text of
 * job types 0, 3, 4 and 5: the display text of setting 266's current value,
 * cut at its first carriage return.  Both into `out` (81 bytes, ANSI, cut to
 * 80 bytes).  1, or 0 (out empty) when the settings cannot be read.
 */
BOOL JWM_GetStoredJobText(const JwmJobContext *job, LPSTR out);
BOOL JWM_GetJobKindText(const JwmJobContext *job, LPSTR out);

/*
 * Selects the resource string of the stored job text's separator: 5144 in
 * the user-interface library (the default), 12 in the rendering library.
 */
void JWM_SetSeparatorStringId(UINT id);

/*
 * JWM_ReadHandOverFile: opens the fax front end's hand-over file `path`
 * once (no sharing, delete on close, so it is gone afterwards whatever the
 * read gives) and reads its two texts: 64 bytes, zero-terminated ANSI texts
 * at 0 and 32, into `first` and `second` (32 bytes each).  Returns 1; 0
 * when the file cannot be opened, is shorter than 64 bytes, or a text has
 * no terminator within its 32 bytes.
 */
BOOL JWM_ReadHandOverFile(LPCWSTR path, LPSTR first, LPSTR second);

/*
 * JWM_DelaySeconds: the countdown of a delayed job registered at local time
 * `now` (seconds since midnight) for `hour`:`minute`: the seconds to that
 * time today when it is still ahead, else to that time tomorrow.
 */
DWORD JWM_DelaySeconds(DWORD now, BYTE hour, BYTE minute);

/* The job time of the last registration (seconds since 1970), 0 before the first. */
DWORD JWM_GetJobTime(void);

#endif /* TARVEL_JWM_RECORD_H */
