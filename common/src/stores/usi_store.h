/*
 * UserSettingInfo stores: the record filled from and written back to the
 * printer-data record, its defaults, and where it is kept: the user's
 * per-printer key (value "UserSettingInfo", REG_BINARY, 1,324 bytes) or the
 * printer-wide chunked blob "UserSettingInfo" (named blob 3).
 *
 * The record's layout and ID maps are in tarvel/usi_record.h.  Results: 1
 * success, 0 failure.
 */
#ifndef TARVEL_USI_STORE_H
#define TARVEL_USI_STORE_H

#include <plat/types.h>
#include <tarvel/usi_record.h>

struct ModelContext;

/* Store kinds of USI_Store and USI_Load. */
constexpr int USI_STORE_USER = 0;          /* the user's key, overwriting */
constexpr int USI_STORE_USER_KEEP_A = 1;   /* the user's key, keeping the stored section A */
constexpr int USI_STORE_USER_KEEP_B = 2;   /* the user's key, keeping the stored section B */
constexpr int USI_STORE_PRINTER = 3;       /* the printer-wide chunked blob */

/* Model capability (a mask of capability word 0) that makes the default name empty. */
constexpr DWORD USI_CAP_EMPTY_DEFAULT_NAME = 0x2000000;

/* Resource string of the default user name (at most 32 characters). */
constexpr UINT USI_ID_DEFAULT_NAME_STRING = 5052;

/* Value name under the user's key. */
inline constexpr const WCHAR *USI_VALUE_NAME = u"UserSettingInfo";

/*
 * Fills `record` (1,324 bytes) from `printerData` (6,148 bytes): zeroed,
 * version 3, section sizes 354 and 892, every setting of the header map and
 * maps A and B read through the data-manager binding, then the model name
 * of `context` at offset 8.  Returns 1; 0 when a setting cannot be read or
 * has a type the maps do not use, or the model name cannot be had.
 */
BOOL USI_ReadFromSettings(HANDLE printer, ModelContext *context, void *printerData, BYTE *record);

/*
 * Writes the settings of maps A and B of `record` into `printerData`
 * through the binding: selector 1 writes section B only, selectors 2 and 3
 * section A only, any other both.  The header settings are never written.
 * Returns 1; 0 at the first failed write (earlier writes stay).
 */
BOOL USI_WriteToSettings(void *printerData, const BYTE *record, int selector);

/*
 * Fills `record` with the defaults (tarvel/usi_record.h, USI_FillDefaults);
 * the default name of 5150 and 5174 is resource string 5052, or empty when
 * `emptyName` is set or the string cannot be loaded.
 */
void USI_SetDefaults(BOOL emptyName, BYTE *record);

/*
 * Stores `record` in store kind `kind`.  Kind 3 writes the printer-wide
 * blob.  Kinds 1 and 2 (any kind other than 0, 1 and 3 acts as 2) first
 * copy section A (kind 1) or B (kind 2) of the value the user's key holds
 * into `record`, when there is one long enough; kinds 0, 1 and 2 then write
 * the value under the user's key (creating the key and the PRNID when
 * absent).  Returns 1 or 0.
 */
BOOL USI_Store(HANDLE printer, ModelContext *context, BYTE *record, int kind);

/*
 * Loads the user's record into `record`: the user's value (unless `kind` is
 * 3), else the printer-wide blob, merged over the defaults (USI_MergeStored
 * with `flag5163`); what comes from the printer-wide blob never supplies
 * section B, which keeps its defaults.  Nothing stored leaves the
 * defaults.  Returns 1; 0 when the user's value exists but cannot be read.
 */
BOOL USI_Load(HANDLE printer, ModelContext *context, BYTE *record, int kind, BOOL flag5163);

/*
 * Deletes the value "UserSettingInfo" of the user's key.  Makes no PRNID
 * and creates nothing.  Returns 1 when it was deleted, 0 otherwise.
 */
BOOL USI_DeleteUserSettingInfo(HANDLE printer, ModelContext *context);

#endif /* TARVEL_USI_STORE_H */
