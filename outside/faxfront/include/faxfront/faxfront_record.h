/*
 * What the fax front end stand-in records of its call, and how a test tells
 * it to answer.  It exports "FaxFrontGetRecord" and "FaxFrontConfigure"
 * beside "StartDocFax"; both are reset when the module is loaded.
 */
#ifndef FAXFRONT_RECORD_H
#define FAXFRONT_RECORD_H

#include <plat/loader.h>
#include <plat/types.h>

/* How the stand-in answers: its result and the ANSI text it leaves in the buffer. */
struct FaxFrontConfig {
    BOOL result;
    CHAR text[512];
};

struct FaxFrontRecord {
    LONG calls;
    HMODULE resourceModule;
    HWND owner;
    BOOL ownerEnabled; /* whether the owner window was enabled during the call */
    int mode;
    WCHAR openingText[129]; /* the buffer's wide text on entry */
};

typedef const FaxFrontRecord *(*FaxFrontGetRecordFn)(void);
typedef void (*FaxFrontConfigureFn)(const FaxFrontConfig *config);

#endif /* FAXFRONT_RECORD_H */
