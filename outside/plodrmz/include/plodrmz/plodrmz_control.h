/*
 * How a test drives the status-manager stand-in "Plodrmz.DLL" and reads
 * back what it was given.  The stand-in exports these functions beside the
 * manager's twelve entry points; its state is reset when the module is
 * loaded, so a test loads it first and keeps it loaded for its whole run.
 */
#ifndef PLODRMZ_CONTROL_H
#define PLODRMZ_CONTROL_H

#include <plat/loader.h>
#include <plat/types.h>

/* How the stand-in answers.  All zero: every call succeeds. */
struct PlodrmzConfig {
    LONG openResult;        /* OpenManagerExW's result (0: success) */
    BOOL openNullHandle;    /* OpenManagerExW succeeds but hands out a null handle */
    LONG sizeQueryResult;   /* answer of a size-0 GetPrinterStatusA/W query: -33 (0 here) or -36 */
    LONG updateResult;      /* UpdatePrinterStatusA's result */
    LONG notificationResult; /* SetNotificationEventExA's result */
    DWORD notificationIdOnFailure; /* id handed out even when SetNotificationEventExA fails */
    BOOL noDefaults;        /* OpenManagerExW does not fill "Port", "PrinterName", "TerminateManager" */
    BOOL failReads;         /* every GetPrinterStatusA/W fails */
    BOOL extStatusEchoes;   /* an UpdatePrinterStatusA of "PrinterExtStatus" that changes it signals its event */
};

/* One logged call. */
inline constexpr DWORD PLODRMZ_LOG_BYTES = 320;
struct PlodrmzCall {
    CHAR call[32];          /* entry point name */
    WCHAR printer[128];     /* the manager handle's printer */
    CHAR name[64];          /* value name, when the call has one */
    DWORD size;             /* the size argument */
    BYTE value[PLODRMZ_LOG_BYTES]; /* the first bytes of the value given (updates) */
    LONG result;
};

typedef void (*PlodrmzConfigureFn)(const PlodrmzConfig *config);
typedef BOOL (*PlodrmzSetValueFn)(LPCWSTR printer, LPCSTR name, const void *value, DWORD size);
typedef BOOL (*PlodrmzDeleteValueFn)(LPCWSTR printer, LPCSTR name);
typedef DWORD (*PlodrmzGetValueFn)(LPCWSTR printer, LPCSTR name, void *buffer, DWORD size);
typedef DWORD (*PlodrmzLogCountFn)(void);
typedef BOOL (*PlodrmzLogEntryFn)(DWORD index, PlodrmzCall *out);
typedef void (*PlodrmzClearLogFn)(void);
typedef LONG (*PlodrmzCountFn)(void);

/* The stand-in's control functions, bound from the loaded module. */
struct PlodrmzControl {
    HMODULE module = nullptr;
    PlodrmzConfigureFn configure = nullptr;
    PlodrmzSetValueFn setValue = nullptr;       /* also signals the registrations watching that name */
    PlodrmzDeleteValueFn deleteValue = nullptr;
    PlodrmzGetValueFn getValue = nullptr;       /* bytes copied (the value's size), 0 when absent */
    PlodrmzLogCountFn logCount = nullptr;
    PlodrmzLogEntryFn logEntry = nullptr;
    PlodrmzClearLogFn clearLog = nullptr;
    PlodrmzCountFn openHandles = nullptr;       /* manager handles open */
    PlodrmzCountFn registrations = nullptr;     /* notification registrations alive */

    /* Loads "Plodrmz.DLL" and binds the control functions; false when any is missing. */
    bool load()
    {
        module = LoadLibraryW(u"Plodrmz.DLL");
        if (!module)
            return false;
        configure = bind<PlodrmzConfigureFn>("PlodrmzConfigure");
        setValue = bind<PlodrmzSetValueFn>("PlodrmzSetValue");
        deleteValue = bind<PlodrmzDeleteValueFn>("PlodrmzDeleteValue");
        getValue = bind<PlodrmzGetValueFn>("PlodrmzGetValue");
        logCount = bind<PlodrmzLogCountFn>("PlodrmzLogCount");
        logEntry = bind<PlodrmzLogEntryFn>("PlodrmzLogEntry");
        clearLog = bind<PlodrmzClearLogFn>("PlodrmzClearLog");
        openHandles = bind<PlodrmzCountFn>("PlodrmzOpenHandles");
        registrations = bind<PlodrmzCountFn>("PlodrmzRegistrations");
        return configure && setValue && deleteValue && getValue && logCount && logEntry && clearLog &&
               openHandles && registrations;
    }

    void unload()
    {
        if (module)
            FreeLibrary(module);
        module = nullptr;
    }

private:
    template <typename F>
    F bind(const char *name)
    {
        return plat::proc_cast<F>(GetProcAddress(module, name));
    }
};

#endif /* PLODRMZ_CONTROL_H */
