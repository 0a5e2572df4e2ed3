/*
 * What the document-monitor stand-in records of the calls it gets, and how
 * a test tells it to answer.  The stand-in exports "DocmonGetRecord" and
 * "DocmonConfigure" beside the monitor's entry points; both are reset when
 * the module is loaded.
 */
#ifndef DOCMON_RECORD_H
#define DOCMON_RECORD_H

#include <tarvel/base/uix_jobwatch.h>

#include <plat/file.h>
#include <plat/machine.h>
#include <plat/loader.h>
#include <plat/registry.h>

#include <cstdio>
#include <filesystem>
#include <string>

/* How the stand-in answers.  Empty identifiers: its own ("CLIENT-<n>", "JOB-<n>"). */
struct DocmonConfig {
    BOOL refuseInit;
    BOOL failUninit;
    BOOL failExec;
    BOOL failClientId;
    BOOL failJobId;
    BOOL failSetData;
    CHAR clientId[128]; /* written as far as the 64-byte buffer holds; terminated only when it fits */
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
    DWORD oldSize;        /* the older layout's whole size, from its count */
    LONGLONG oldFirstOffset; /* where the older head's entry pointer points, from the block's start */
    LONG otherCalls;      /* calls of the entry points the driver binds but does not call */
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

/* The file the registry's default value names (it must exist). */
inline constexpr const WCHAR *DOCMON_CHECK_FILE = u"C:\\Varnel\\Clearlane\\Jobwatch.ini";

/*
 * Registers the monitor library `libraryPath` as its installer would: the
 * key with its default value naming an existing file (made here unless
 * `withCheckFile` is false) and "JwmApi".  False when the registry or the
 * file cannot be written.
 */
inline bool DocmonInstall(std::u16string_view libraryPath, bool withCheckFile = true)
{
    if (withCheckFile) {
        std::string real;
        if (!plat::map_path(DOCMON_CHECK_FILE, real))
            return false;
        std::filesystem::create_directories(std::filesystem::path(real).parent_path());
        std::FILE *f = std::fopen(real.c_str(), "wb");
        if (!f)
            return false;
        std::fclose(f);
    }
    return plat::registry_seed_string(HKEY_LOCAL_MACHINE, UIX_JOBWATCH_KEY, u"", DOCMON_CHECK_FILE) &&
           plat::registry_seed_string(HKEY_LOCAL_MACHINE, UIX_JOBWATCH_KEY, UIX_JOBWATCH_VALUE, libraryPath);
}

#endif /* DOCMON_RECORD_H */
