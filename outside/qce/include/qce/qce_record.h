/*
 * What the colour-engine stand-in records of the calls it gets, and how a
 * test tells it to answer.  The stand-in exports "QceGetRecord" and
 * "QceConfigure" beside the engine's seven functions; both are reset when
 * the module is first loaded, so a test that loads the module itself
 * before the driver does can configure it for the driver's load.
 */
#ifndef QCE_RECORD_H
#define QCE_RECORD_H

#include <plat/loader.h>

/* Calls, as recorded in order. */
enum QceCall : BYTE {
    QCE_CALL_LOAD = 1,
    QCE_CALL_FREE,
    QCE_CALL_BEGIN,
    QCE_CALL_PARAM,
    QCE_CALL_END,
    QCE_CALL_DELETE,
    QCE_CALL_CONVERT,
};

/* How the stand-in answers.  Zero-filled: a usable engine that takes every image. */
struct QceConfig {
    BOOL refuseLoad;      /* QCE_LoadQCE32 answers 0 */
    LONG beginAnswer;     /* QCE_CreateParam_Begin32 */
    LONG paramAnswer;     /* QCE_CreateParam32 */
    LONG endAnswer;       /* QCE_CreateParam_End32 (1 declines) */
    LONG convertAnswer;   /* QCE_ColorConvert32 */
};

/* Most calls kept in order. */
inline constexpr DWORD QCE_MAX_CALLS = 64;

struct QceRecord {
    BYTE calls[QCE_MAX_CALLS];
    DWORD callCount;              /* all calls, also those beyond QCE_MAX_CALLS */
    DWORD handle;                 /* the handle the last load gave */
    WCHAR dataPath[260];          /* the data path of the last load, cut to fit */
    DWORD handleMismatches;       /* calls with a handle the stand-in did not give */
};

/* The stand-in's conversion: each byte becomes 255 minus itself (recognisable, and its own inverse). */
inline BYTE QceConvertByte(BYTE v) { return BYTE(255 - v); }

typedef const QceRecord *(*QceGetRecordFn)(void);
typedef void (*QceConfigureFn)(const QceConfig *config);

/* The record of the loaded stand-in `module`, or null when it is not loaded. */
inline const QceRecord *QceRecordOf(LPCWSTR module)
{
    auto get = plat::proc_cast<QceGetRecordFn>(GetProcAddress(GetModuleHandleW(module), "QceGetRecord"));
    return get ? get() : nullptr;
}

/* Tells the loaded stand-in `module` how to answer; false when it is not loaded. */
inline bool QceConfigureModule(LPCWSTR module, const QceConfig &config)
{
    auto set = plat::proc_cast<QceConfigureFn>(GetProcAddress(GetModuleHandleW(module), "QceConfigure"));
    if (set)
        set(&config);
    return set != nullptr;
}

#endif /* QCE_RECORD_H */
