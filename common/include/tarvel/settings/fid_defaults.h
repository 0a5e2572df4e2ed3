/*
 * Defaults and value checks of the settings engine.  The default of a
 * setting comes, in this order, from its descriptor's constant, from its
 * descriptor's handler, or from the model data, and the per-model
 * configuration file's default or enforced value replaces it last.  The same
 * schema says whether a value is acceptable.  FID_InitDefaults fills a fresh
 * settings image and printer-data record with every default.
 *
 * Values travel in 8-byte value slots (tarvel/settings/fid_value.h).  Strings (type
 * 6) and LOGFONTW blocks (type 9) handed out as defaults are GlobalAlloc
 * blocks whose pointer sits in the slot; free them with FID_FreeDefault.
 * All reads and writes of settings go through the data-manager binding.
 */
#ifndef TARVEL_FID_DEFAULTS_H
#define TARVEL_FID_DEFAULTS_H

#include <plat/types.h>
#include <tarvel/settings/fid_schema.h>

struct ModelContext;

/* Reasons of the default chain. */
inline constexpr WORD FID_REASON_OK = 0;
inline constexpr WORD FID_REASON_FAIL = 1;
inline constexpr WORD FID_REASON_NOT_IN_MODEL = 2;

/* Answers of FID_GetDefault. */
inline constexpr int FID_DEFAULT_FOUND = 1;
inline constexpr int FID_DEFAULT_NOT_IN_MODEL = 2;
inline constexpr int FID_DEFAULT_FAILED = -1;

/* Usage bits of the supported-fields table. */
inline constexpr WORD FID_USAGE_DEFAULT = 1;  /* set in a default devmode */
inline constexpr WORD FID_USAGE_ACCEPT = 2;   /* accepted from an application, reported as supported */
inline constexpr WORD FID_USAGE_ICM = 4;      /* only with ICM in model and system */

/* Values of the public devmode header that this driver writes. */
inline constexpr WORD FID_DM_SPEC_VERSION = 0x401;
inline constexpr WORD FID_DM_DRIVER_VERSION = 0x5238; /* 21,048 */
inline constexpr WORD FID_DM_SIZE = 220;
inline constexpr WORD FID_DM_DRIVER_EXTRA = 1384;
inline constexpr WORD FID_PRIVATE_VERSION = 0x1040;   /* 4,160: settings 258 and 8203 */
inline constexpr WORD FID_PRINTERDATA_SIZE = 6148;    /* setting 8202 */

/* Name the callers pass for dmDeviceName when no printer is at hand. */
inline constexpr const WCHAR *FID_DUMMY_PRINTER_NAME = u"DummyName";

/* ---- Supported devmode fields ------------------------------------------- */

/*
 * FID_GetSupportedDmFields: clears *mask, then ORs into it the DM_ bit of
 * every public field whose usage word for the running system's class
 * (0x101, 0x102, 0x201, 0x202) shares a bit with `usage`; a field whose word
 * has usage bit 4 further needs a non-zero header entry 7 in the model and a
 * system that supports ICM.  Returns 1, or 0 for a system of no known class,
 * a failed ICM query or a null mask.
 */
BOOL FID_GetSupportedDmFields(ModelContext *context, DWORD *mask, WORD usage);

/* ---- Defaults ----------------------------------------------------------- */

/*
 * FID_GetDefaultChain: the default of the setting of list row `row`.
 *   printerData, printerName  in: may be null (dmDeviceName then fails)
 *   slot, type, size          out: the value, its type and size in bytes
 *   reason                    out: FID_REASON_OK, _FAIL or _NOT_IN_MODEL
 * Returns non-zero on success.  A string or block in the slot belongs to the
 * caller (FID_FreeDefault).
 */
BOOL FID_GetDefaultChain(ModelContext *context, void *printerData, LPCWSTR printerName,
                         const SettingDescriptorRow *row, void *slot, WORD *type, LONG *size, WORD *reason);

/*
 * FID_GetDefault: the default of setting `id`, without printer data and
 * printer name.  Returns FID_DEFAULT_FOUND, FID_DEFAULT_NOT_IN_MODEL, or
 * FID_DEFAULT_FAILED when the setting has no list row or the chain fails.
 */
int FID_GetDefault(ModelContext *context, WORD id, WORD *type, LONG *size, void *slot);

/*
 * FID_FreeDefault / FID_FreeDefaultById: free a default's string or block
 * (types 6 and 9) and clear the slot; other types hold nothing to free.
 * Return 1; FID_FreeDefaultById returns 0 when the setting has no list row.
 */
BOOL FID_FreeDefault(const SettingDescriptorRow *row, void *slot, WORD type);
BOOL FID_FreeDefaultById(WORD id, void *slot, WORD type);

/*
 * FID_StoreValue: writes the value in `slot` to setting `id` through the
 * binding; a size of -1 is replaced by FID_ValueSize(slot, type, -1).
 * Returns 1 when the write succeeded, 0 otherwise and for a null slot.
 */
BOOL FID_StoreValue(WORD id, void *devmode, void *printerData, LONG size, WORD type, const void *slot);

/*
 * FID_InitDefaults: zero-fills the given settings image (5,896 bytes) and
 * printer-data record (6,148 bytes) and writes every default into them,
 * schema groups 0 to 11 in order; groups of a record that was not given are
 * skipped.  A default the model does not know is skipped (the setting stays
 * zero).  A failed default, store or free leaves its group; the following
 * groups still run.  Returns the result of the last row processed (1 for a
 * stored or skipped default, 0 for a failure), or 0 when a group cannot be
 * found.  `printerName` is the dmDeviceName default (without one the public
 * fields' group stops at its first row).
 */
BOOL FID_InitDefaults(ModelContext *context, void *image, void *printerData, LPCWSTR printerName);

/*
 * FID_ResetToDefault: writes the default of `id` into the records.  Returns
 * 1 when the setting has no default (nothing written), otherwise the result
 * of the store.
 */
BOOL FID_ResetToDefault(ModelContext *context, void *devmode, void *printerData, WORD id);

/* ---- Checks --------------------------------------------------------------- */

/*
 * FID_ValidateValue: whether the current value of setting `id` in the
 * records is acceptable, with the model (operation FID_OP_CHECK_MODEL) or
 * without it (FID_OP_CHECK).  Returns 1 valid, 0 invalid (also when the
 * value cannot be read or the setting has no list row).
 */
BOOL FID_ValidateValue(ModelContext *context, WORD id, void *devmode, void *printerData, WORD operation);

/*
 * FID_ValidatePublicField: the check of a public field before a merge takes
 * it: 22-25 need a dmSize of at least 212; 7, 11, 12, 13, 15, 16, 17, 18, 22
 * and 23 are validated with FID_ValidateValue; any other identifier is
 * valid.  Returns 1 or 0.
 */
BOOL FID_ValidatePublicField(ModelContext *context, void *devmode, void *printerData, WORD id, WORD operation);

/*
 * FID_ValidateHeaderIds: whether a devmode is this driver's own for this
 * model: 2, 4, 5, 258 and 259 pass FID_ValidateValue with operation 2.
 * Returns 1, or 0 at the first failure or for a null devmode.
 */
BOOL FID_ValidateHeaderIds(ModelContext *context, void *devmode, void *printerData);

/*
 * FID_DeriveColor: dmColor from settings 345 and 270 (each given as a value
 * of its type): 1 (DMCOLOR_MONOCHROME) when both are 1, else 2.  Returns 1,
 * 0 for a null pointer.
 */
BOOL FID_DeriveColor(WORD type345, WORD type270, const void *value345, const void *value270, SHORT *out);

/*
 * One entry of the conflict check's identifier list.  `flag`: bit 0 the
 * identifier is flagged in this run; bit 1 it is entered (it changed twice
 * in a row, or a third time in all); bits 16-31 how many times the check has
 * changed it so far.
 */
struct FidIdListEntry {
    WORD id;
    DWORD flag;
};
inline constexpr int FID_ID_LIST_ENTRIES = 100;
inline constexpr DWORD FID_ID_FLAGGED = 0x1;
inline constexpr DWORD FID_ID_ENTERED = 0x2;
inline constexpr int FID_ID_CHANGE_SHIFT = 16;

/* Answers of FID_CheckDefaultConflicts. */
inline constexpr int FID_CONFLICTS_NONE = 1;
inline constexpr int FID_CONFLICTS_AGAIN = 2;   /* a setting was changed: call again */
inline constexpr int FID_CONFLICTS_FAILED = -1; /* also after the "Default Set Err" box */

/*
 * FID_CheckDefaultConflicts: runs the constraint engine's default check
 * (mode 3) over the current value of every setting that has an option list
 * (schema groups 0 to 11, lists of UI kinds 4 and 6 left out).  At the
 * first setting whose value made the rules change something it answers 2:
 * `*lastChanged` names it and *bufferToFree holds the engine's list of the
 * settings changed (a GlobalAlloc block; the caller frees it, or the next
 * call does).  The caller calls again, with the same identifier list
 * (FID_AllocIdList) and last-changed identifier, until the answer is not 2.
 *
 * A setting that changes twice in a row, or a third time in all, is
 * entered in the list; when an entered setting changes again it is
 * flagged and the run goes on.  A run that ends with a flagged setting shows
 * the "Default Set Err" box (resource string 389) naming the first one and
 * answers -1.  So each setting answers 2 at most three times, and a setting
 * that finds no free entry (the list holds 100) ends with -1: a caller's
 * loop ends after at most 301 calls, also when two rules keep changing each
 * other's settings.  1 when nothing was changed; -1 on any failure.
 */
int FID_CheckDefaultConflicts(HMODULE resources, ModelContext *context, HANDLE printer, void *devmode,
                              void *printerData, void **bufferToFree, HWND owner, FidIdListEntry *idList,
                              WORD *lastChanged);

#endif /* TARVEL_FID_DEFAULTS_H */
