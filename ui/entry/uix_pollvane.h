/*
 * The registration of a printer with the printer maker's Pollvane status
 * program (an outside program): the registration id kept in printer data
 * (the model's per-user key base and the printer's PRNID in hexadecimal,
 * under the value named by resource string 5323), the registration key
 * HKEY_CURRENT_USER\<id>\<string 5324> and its values, the reference
 * counter of the document sheets that started the program, and its start.
 */
#ifndef TARVELUI_UIX_POLLVANE_H
#define TARVELUI_UIX_POLLVANE_H

#include <plat/types.h>

struct ModelContext;

/* Room of a registration id or key path, in characters (the id is read with at most 520 bytes). */
inline constexpr int UIX_POLLVANE_ID_CHARS = 260;

/* Resource strings of the resource module. */
inline constexpr UINT UIX_ID_POLLVANE_VALUE = 5323;    /* the printer-data value holding the id */
inline constexpr UINT UIX_ID_POLLVANE_SUBKEY = 5324;   /* the key below the id */
inline constexpr UINT UIX_ID_POLLVANE_INTERVAL = 5325; /* the polling interval, decimal */
inline constexpr UINT UIX_ID_POLLVANE_PROGRAM = 5326;  /* the program's file name */
inline constexpr UINT UIX_ID_POLLVANE_FAILED = 5327;   /* "cannot start %s" */
inline constexpr UINT UIX_ID_MESSAGE_CAPTION = 265;

/* The help context number written after the help file's name in "HelpFileID". */
inline constexpr int UIX_POLLVANE_HELP_CONTEXT = 1300;

/* What one document sheet registers (every string owned, GlobalAlloc). */
struct PollvaneRegistration {
    LPWSTR deviceAddress;  /* setting 8213 */
    LPWSTR communityName;  /* setting 8212 */
    LPWSTR dataFileName;   /* model text 20 */
    LPWSTR driftonFileName; /* model text 8 */
    LPWSTR helpFileId;     /* null when the driver has no help file */
    DWORD pollingInterval;
    DWORD referenceCounter;
    DWORD snmpVersion;     /* setting 8214 */
};

/* The printer's registration id into `buffer` (UIX_POLLVANE_ID_CHARS): 1 when the value exists. */
int UIX_ReadPollvaneId(HANDLE printer, LPWSTR buffer);

/*
 * Builds the registration id of the printer (its PRNID read, or made and
 * written) through a handle opened by its name with full access, writes it
 * into printer data and copies it into `id` (UIX_POLLVANE_ID_CHARS).  1 on
 * success; 0 (nothing written) when no identifier can be read or made.
 */
int UIX_WritePollvaneId(HANDLE printer, ModelContext *context, LPWSTR id);

/* The 32 upper-case hexadecimal digits of the printer's PRNID (read, or made and written) into `out` (33): 1 or 0. */
int UIX_FormatPrnIdHex(HANDLE printer, LPWSTR out);

/* The registration key path: `id`, "\" and resource string 5324, into `out` (UIX_POLLVANE_ID_CHARS): 1 or 0. */
int UIX_BuildPollvaneKey(LPCWSTR id, LPWSTR out);

/* Results of UIX_ReadRegistryValue and UIX_GetPollvaneValue. */
inline constexpr int UIX_VALUE_READ = 1;
inline constexpr int UIX_VALUE_NO_ID = 2;
inline constexpr int UIX_VALUE_MISSING = 3;

/*
 * The value `name` of HKEY_CURRENT_USER\`keyPath` as a new GlobalAlloc block
 * (*data, the caller frees it; *size bytes): 1 read, 3 missing, 0 no memory.
 */
int UIX_ReadRegistryValue(LPCWSTR keyPath, LPCWSTR name, BYTE **data, DWORD *size);

/* The value `name` of the printer's registration key: 1 read, 2 no registration id, 3 missing, 0 failure. */
int UIX_GetPollvaneValue(HANDLE printer, BYTE **data, DWORD *size, LPCWSTR name);

/* "HelpFileID": the driver's help file name after its last backslash, "," and 1300; null without one. */
LPWSTR UIX_BuildHelpFileId(HANDLE printer);

/* Fills `out` for the printer's settings (zero-filled first): 1, or 0 (nothing held) on failure. */
int UIX_BuildMonitorRegistration(HANDLE printer, ModelContext *context, void *image, void *printerData,
                                 PollvaneRegistration *out);
void UIX_FreeMonitorRegistration(PollvaneRegistration *registration);

/*
 * Writes the registration's values in order, stopping at the first failure:
 * "DeviceAddress", "SNMPCNString", "DataFileName", "DriftonFileName",
 * "HelpFileID" (when present), "PollingInterval", "ReferenceCounter",
 * "SNMPVersion".  1 when every value was written.
 */
int UIX_WritePollvaneRegistration(HANDLE printer, ModelContext *context, const PollvaneRegistration *registration);

/* Writes one value of the registration key (creating the id and the key when missing): 1 or 0. */
int UIX_WritePollvaneValue(HANDLE printer, ModelContext *context, const void *data, DWORD size, DWORD type,
                           LPCWSTR name);

/* Lowers "ReferenceCounter" (0 when it is below 2 or cannot be read): 1 written, 0 not. */
int UIX_ReleasePollvaneRegistration(HANDLE printer, ModelContext *context);

/*
 * Starts the program: <driver directory>\<string 5326> with the printer's
 * name in double quotes (and " -u" behind it with `update`).  1 started;
 * otherwise a warning owned by `owner` names the program and the answer is 0.
 */
int UIX_StartPollvane(HANDLE printer, HWND owner, BOOL update);

/* True when setting 5199 is on in the records and the model lacks capability bit 50. */
bool UIX_PollvaneEnabledFor(ModelContext *context, void *image, void *printerData);
/*
 * The same test for an open sheet's page window: setting 5199 of its
 * working settings, capability bit 50 of the sheet's model masks.  False
 * for a window without a sheet context.
 */
bool UIX_IsPollvaneEnabled(HWND page);

#endif /* TARVELUI_UIX_POLLVANE_H */
