/*
 * What the document-monitor stand-in records of the calls it gets, and how
 * a test tells it to answer.  The stand-in exports "DocmonGetRecord" and
 * "DocmonConfigure" beside the monitor's entry points; both are reset when
 * the module is loaded.
 */
#ifndef DOCMON_RECORD_H
#define DOCMON_RECORD_H

#include <tarvel/uix_jobwatch.h>

#include <plat/loader.h>

/* How the stand-in answers.  Empty identifiers: its own ("CLIENT-<n>", "JOB-<n>"). */
struct DocmonConfig {
    BOOL refuseInit;
    BOOL failUninit;
    BOOL failExec;
    BOOL failClientId;
    BOOL failJobId;
    BOOL failSetData;
    CHAR clientId[128]; /* written as far as the buffer holds; terminated only when it fits */
    CHAR jobId[128];
};

/* Detail blocks kept of one hand-over. */
inline constexpr DWORD DOCMON_MAX_DETAILS = 4;

struct DocmonRecord {
    LONG inits;           /* every call of JwmInitializeJobwatch */
    LONG openHandles;     /* handles given and not uninitialised */
    LONG uninits;
    LONG execs;
    DWORD lastFlags;
    LONG setDataExCalls;
    LONG setDataCalls;
    JwmHeadBlock head;    /* the last head handed over (its detail pointer cleared) */
    JwmDetailBlock details[DOCMON_MAX_DETAILS];
    DWORD detailCount;
    BYTE oldBlock[JWM_OLD_HEAD_SIZE + JWM_OLD_RECORD_SIZE * DOCMON_MAX_DETAILS];
    DWORD oldSize;        /* the older layout's whole size as given */
};

typedef const DocmonRecord *(*DocmonGetRecordFn)(void);
typedef void (*DocmonConfigureFn)(const DocmonConfig *config);

/* The record of the loaded stand-in `module` ("tarveljwm.dll"), or null when it is not loaded. */
inline const DocmonRecord *DocmonRecordOf(LPCWSTR module)
{
    auto get = plat::proc_cast<DocmonGetRecordFn>(GetProcAddress(GetModuleHandleW(module), "DocmonGetRecord"));
    return get ? get() : nullptr;
}

/* Tells the loaded stand-in `module` how to answer; false when it is not loaded. */
inline bool DocmonConfigureModule(LPCWSTR module, const DocmonConfig &config)
{
    auto set = plat::proc_cast<DocmonConfigureFn>(GetProcAddress(GetModuleHandleW(module), "DocmonConfigure"));
    if (set)
        set(&config);
    return set != nullptr;
}

#endif /* DOCMON_RECORD_H */
