/*
 * The glue to the outside document monitor ("job watch"): the library is
 * found through the registry, loaded on first use with a use count (one
 * reference per successful or attempted initialisation, dropped by
 * UIX_UninitJobwatch or by an initialisation that got no handle), and its
 * entry points are bound by name.  Every operation answers 0 and does
 * nothing when the library or the entry point it needs is not bound.
 *
 * Where the library is: HKEY_LOCAL_MACHINE "SOFTWARE\Tarvel\Document
 * Monitor", value "Library" (REG_SZ or REG_EXPAND_SZ, not expanded): its
 * path, a full Windows path or a bare name looked for in the driver
 * directory.  The monitor runs only on the NT platform, version 6.0 or
 * later (GetVersionExW); elsewhere nothing is loaded.
 *
 * This header is also the monitor's interface: the entry points' types and
 * the layouts of the blocks handed to it, which the stand-in module in
 * outside/docmon implements.  Each library that links the common library
 * keeps its own binding (hidden visibility).
 */
#ifndef TARVEL_UIX_JOBWATCH_H
#define TARVEL_UIX_JOBWATCH_H

#include <plat/types.h>

#include <cstddef>

/* Where the monitor library is named. */
inline constexpr const WCHAR *UIX_JOBWATCH_KEY = u"SOFTWARE\\Tarvel\\Document Monitor";
inline constexpr const WCHAR *UIX_JOBWATCH_VALUE = u"Library";

/* Room of the identifiers the monitor writes (ANSI, terminated). */
inline constexpr DWORD UIX_ID_SIZE = 64;

/* ---- The blocks handed to the monitor ------------------------------------ */

/* The detail block of one job (812 bytes; ANSI texts, zero-filled). */
struct JwmDetailBlock {
    DWORD size;          /* 812 */
    DWORD jobType;
    DWORD jobTime;       /* seconds since 1970 (32 bits) */
    CHAR portName[260];
    CHAR jobId[64];      /* the monitor's job identifier */
    CHAR documentName[260];
    CHAR faxText1[32];   /* fax jobs */
    CHAR faxText2[32];
    DWORD flag;          /* general jobs: setting 320 is not 0 */
    DWORD delaySeconds;  /* job type 5: seconds until the delayed print */
    BYTE reserved[64];
    CHAR jobText[80];    /* general jobs */
};
static_assert(sizeof(JwmDetailBlock) == 812, "detail block layout");
static_assert(offsetof(JwmDetailBlock, jobId) == 272 && offsetof(JwmDetailBlock, documentName) == 336 &&
                  offsetof(JwmDetailBlock, faxText1) == 596 && offsetof(JwmDetailBlock, flag) == 660 &&
                  offsetof(JwmDetailBlock, delaySeconds) == 664 && offsetof(JwmDetailBlock, jobText) == 732,
              "detail block offsets");

/* The head block (608 bytes on 64-bit builds); `detail` points to `count` detail blocks. */
struct JwmHeadBlock {
    DWORD size;          /* 608 */
    DWORD count;         /* 1: detail blocks behind `detail` */
    DWORD kind;          /* 3 */
    DWORD version;       /* 11 */
    CHAR portName[260];
    CHAR printerName[256];
    CHAR userName[64];
    const JwmDetailBlock *detail;
};
static_assert(offsetof(JwmHeadBlock, userName) == 532, "head block offsets");
static_assert(sizeof(void *) != 8 || sizeof(JwmHeadBlock) == 608, "head block layout of 64-bit builds");

inline constexpr DWORD JWM_HEAD_COUNT = 1;
inline constexpr DWORD JWM_HEAD_KIND = 3;
inline constexpr DWORD JWM_HEAD_VERSION = 11;

/*
 * The older layout, for a monitor without "JwmSetJwmDataEx": one block of
 * a 536-byte head {32-bit size of the whole block (536 + 660 x count),
 * count, kind, version, port name (260), printer name (256), 4 zero bytes}
 * and `count` 660-byte destination records, each the first 660 bytes of a
 * detail block (size field 660; no flag, countdown or job text).  The user
 * name has no place in it.
 */
inline constexpr DWORD JWM_OLD_HEAD_SIZE = 536;
inline constexpr DWORD JWM_OLD_RECORD_SIZE = 660;
inline constexpr DWORD JWM_OLD_OFF_PORT = 16;
inline constexpr DWORD JWM_OLD_OFF_PRINTER = 276;
/* Destinations a head may announce: a fax job's list holds at most 86. */
inline constexpr DWORD JWM_MAX_DETAILS = 86;

/* ---- The monitor's entry points -------------------------------------------- */

/* "JwmInitializeJobwatch": a monitor handle for `flags`, or null. */
typedef HANDLE (*JwmInitializeJobwatchFn)(DWORD flags);
/* "JwmUnInitializeJobwatch", "JwmExecJobwatch": non-zero on success. */
typedef BOOL (*JwmHandleFn)(HANDLE monitor);
/* "JwmCreateJobId", "JwmCreateClientId": writes a terminated ANSI identifier into `buffer` of `size` bytes. */
typedef BOOL (*JwmCreateIdFn)(HANDLE monitor, LPSTR buffer, DWORD size);
/* "JwmSetJwmDataEx": the head block and its detail blocks. */
typedef BOOL (*JwmSetJwmDataExFn)(HANDLE monitor, const JwmHeadBlock *head);
/* "JwmSetJwmData": one block of the older layout, `size` bytes. */
typedef BOOL (*JwmSetJwmDataFn)(HANDLE monitor, const BYTE *block, DWORD size);

/* ---- The glue ---------------------------------------------------------------- */

/*
 * UIX_InitJobwatch: on first use checks the platform, finds the library
 * through the registry, loads it and binds its entry points; then takes one
 * reference and calls "JwmInitializeJobwatch" with `flags`.  Without a
 * handle the reference is dropped again (the library is unloaded when none
 * is left).  Returns the handle, or null.
 */
HANDLE UIX_InitJobwatch(DWORD flags);

/*
 * UIX_UninitJobwatch: the result of "JwmUnInitializeJobwatch" for `monitor`;
 * afterwards one reference is dropped and the library unloaded when none is
 * left.  0 (nothing dropped) when the library is not bound.
 */
BOOL UIX_UninitJobwatch(HANDLE monitor);

/* UIX_ExecJobwatch: the result of "JwmExecJobwatch" (non-zero: the monitor was started). */
BOOL UIX_ExecJobwatch(HANDLE monitor);

/* UIX_CreateJobId / UIX_CreateClientId: "JwmCreateJobId" / "JwmCreateClientId" into a 64-byte buffer. */
BOOL UIX_CreateJobId(HANDLE monitor, LPSTR buffer);
BOOL UIX_CreateClientId(HANDLE monitor, LPSTR buffer);

/*
 * UIX_SetJwmData: hands the job's blocks over: "JwmSetJwmDataEx" when the
 * library has it; otherwise the blocks are converted to the older layout
 * (the count from the head's second value, 1 to 86) in a temporary buffer
 * for "JwmSetJwmData".  0 when neither is bound, the head or its detail is
 * missing, the count is out of range or memory runs out.
 */
BOOL UIX_SetJwmData(HANDLE monitor, const JwmHeadBlock *head);

/* The number of references held on the library (tests and diagnostics). */
LONG UIX_GetJobwatchUseCount(void);

/*
 * Test-only: forgets the binding without freeing anything; call it after
 * plat::machine_reset, which has already unloaded every module.
 */
void UIX_ResetJobwatchForTest(void);

#endif /* TARVEL_UIX_JOBWATCH_H */
