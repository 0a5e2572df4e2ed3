/*
 * The glue to the outside document monitor ("job watch"), one source for
 * the user-interface and the rendering library (each keeps its own binding:
 * hidden visibility).  The library is found through the registry, loaded on
 * first use with a use count (one reference per successful initialisation,
 * dropped by UIX_UninitJobwatch), and its entry points are bound by name:
 * the 14 required ones in a fixed order (the first that is missing unloads
 * the library again, status -996), then three optional ones.  Every wrapper
 * answers 0 and does nothing when the library or its entry point is not
 * bound.  The binding's state and use count are guarded by one lock; the
 * monitor's entry points are called outside it, by callers holding a
 * reference.
 *
 * Where the library is: HKEY_LOCAL_MACHINE (32-bit view)
 * "SOFTWARE\Varnel\Clearlane\Client\Jobwatch": its default value (ANSI,
 * at most 260 bytes) must name a file that exists, and its value "JwmApi"
 * (ANSI, at most 128 bytes) is the library's path, loaded with
 * LoadLibraryA.  Only the Windows 9x and NT platforms look for it.
 *
 * This header is also the monitor's interface: the entry points' types and
 * the layouts of the blocks handed to it, which the stand-in module in
 * outside/docmon implements.
 */
#ifndef TARVEL_UIX_JOBWATCH_H
#define TARVEL_UIX_JOBWATCH_H

#include <plat/types.h>

#include <cstddef>

/* Where the monitor library is named. */
inline constexpr const WCHAR *UIX_JOBWATCH_KEY = u"SOFTWARE\\Varnel\\Clearlane\\Client\\Jobwatch";
inline constexpr const WCHAR *UIX_JOBWATCH_VALUE = u"JwmApi";
inline constexpr DWORD UIX_JOBWATCH_FILE_BYTES = 260;
inline constexpr DWORD UIX_JOBWATCH_PATH_BYTES = 128;

/* Status of a library that was found but lacks a required entry point. */
inline constexpr int UIX_JOBWATCH_INCOMPLETE = -996;

/* The required entry points, in the order they are bound, and the optional ones. */
inline constexpr const char *UIX_JOBWATCH_REQUIRED[14] = {
    "JwmSetGroupStyle",       "JwmCreateJobId",     "JwmSetJobId",           "JwmUnInitializeJobwatch",
    "JwmInitializeJobwatch",  "JwmSetDestinationCount", "JwmSetPortName",    "JwmSetFriendlyName",
    "JwmSetParamStyle",       "JwmCreateClientId",  "JwmExecJobwatch",       "JwmExecJobwatchPreferences",
    "JwmSetJobDestinations",  "JwmSetJwmData"};
inline constexpr const char *UIX_JOBWATCH_OPTIONAL[3] = {"JwmExecJobwatchWithStatus",
                                                         "JwmExecJobwatchPreferencesWithStatus", "JwmSetJwmDataEx"};

/* Platform kinds of UIX_GetPlatformKind. */
inline constexpr int UIX_PLATFORM_9X = 2;
inline constexpr int UIX_PLATFORM_NT = 3;

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

/*
 * The head block (608 bytes on 64-bit builds); `detail` points to `count`
 * detail blocks.  The builder allocates them behind the head (JwmJobBlocks),
 * so the details of the first entry lie at byte 608 and the monitor may read
 * them in place or through the pointer.
 */
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

/* A job's head with its one detail block behind it, as the builder hands them over. */
struct JwmJobBlocks {
    JwmHeadBlock head;
    JwmDetailBlock detail;
};
static_assert(sizeof(void *) != 8 || offsetof(JwmJobBlocks, detail) == 608, "details follow the head");

/*
 * The older layout, for a monitor without "JwmSetJwmDataEx": one block of a
 * 536-byte head {count; flag, 2 when the head's kind is 3, else 0; the
 * head's version; port name (260); printer name (256); pointer to the first
 * entry, which follows the head} and `count` 660-byte entries {size 660;
 * flag, 1 for job type 6, else 0; job time; port name (260); job identifier
 * (64); document name (260); the two fax texts (32 each)}, each text copied
 * with at most its size, every other byte zero.  The user name, the general
 * job's flag, countdown and text have no place in it.
 */
inline constexpr DWORD JWM_OLD_HEAD_SIZE = 536;
inline constexpr DWORD JWM_OLD_RECORD_SIZE = 660;
inline constexpr DWORD JWM_OLD_OFF_PORT = 12;
inline constexpr DWORD JWM_OLD_OFF_PRINTER = 272;
inline constexpr DWORD JWM_OLD_OFF_FIRST = 528;
/* Destinations a head may announce: a fax job's list holds at most 86. */
inline constexpr DWORD JWM_MAX_DETAILS = 86;

/* ---- The monitor's entry points -------------------------------------------- */

/* "JwmInitializeJobwatch": a monitor handle for `flags`, or null. */
typedef HANDLE (*JwmInitializeJobwatchFn)(DWORD flags);
/* "JwmUnInitializeJobwatch", "JwmExecJobwatch": non-zero on success. */
typedef BOOL (*JwmHandleFn)(HANDLE monitor);
/* "JwmCreateJobId", "JwmCreateClientId": writes a terminated ANSI identifier into `buffer` (64 bytes). */
typedef BOOL (*JwmCreateIdFn)(HANDLE monitor, LPSTR buffer);
/* "JwmSetJwmDataEx": the head block and its detail blocks. */
typedef BOOL (*JwmSetJwmDataExFn)(HANDLE monitor, const JwmHeadBlock *head);
/* "JwmSetJwmData": one block of the older layout (its size follows from its count). */
typedef BOOL (*JwmSetJwmDataFn)(HANDLE monitor, const BYTE *block);

/* ---- The glue ---------------------------------------------------------------- */

/* UIX_GetPlatformKind: UIX_PLATFORM_9X, UIX_PLATFORM_NT, or 0 (another platform, no version). */
int UIX_GetPlatformKind(void);

/*
 * UIX_FindJobwatchLibrary: 1 when the key, a default value naming a file
 * that exists and the "JwmApi" path were found (the path is kept for the
 * binding), else 0.
 */
int UIX_FindJobwatchLibrary(void);

/* UIX_LocateJobwatch: 2 when `platformKind` is 9x or NT and the library is found, else 0. */
int UIX_LocateJobwatch(int platformKind);

/*
 * UIX_BindJobwatch: loads the kept path and binds the entry points.  The
 * library handle with *status 0; null with *status 0 when it does not load,
 * or with *status -996 when a required entry point is missing (the library
 * is unloaded again and the remaining names are not looked up).  `flag` is
 * not used.  Call with the binding's lock not held (it takes it).
 */
HMODULE UIX_BindJobwatch(DWORD flag, int *status);

/* UIX_UnloadJobwatch: frees `module` and clears every entry point. */
void UIX_UnloadJobwatch(HMODULE module);

/*
 * UIX_InitJobwatchEx: locates the library, binds it when no reference is
 * held, takes one reference and calls "JwmInitializeJobwatch"(flags).  The
 * handle, or null: then the reference is dropped again (the library is
 * unloaded when none is left), and a failed initialisation leaves the count
 * as it was.  *status (when given) is the binding's status.
 */
HANDLE UIX_InitJobwatchEx(DWORD flags, int *status);
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
 * UIX_ConvertJwmData: writes `head` and its details in the older layout
 * into `block` (536 + 660 x count bytes, zero-filled by the caller).  1, or
 * 0 for a missing detail or a count outside 1 to 86.
 */
BOOL UIX_ConvertJwmData(const JwmHeadBlock *head, BYTE *block);

/*
 * UIX_SetJwmData: hands the job's blocks over: "JwmSetJwmDataEx" when the
 * library has it; otherwise the blocks in the older layout (the count from
 * the head's second value, 1 to 86) in a temporary buffer for
 * "JwmSetJwmData".  0 when neither is bound, the head or its detail is
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
