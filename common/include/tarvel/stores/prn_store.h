/*
 * The printer identifier (PRNID) and the per-user registry key of a printer.
 *
 * Each printer gets a 16-byte identifier, kept in its spooler printer data
 * "PRNID" (REG_BINARY): the MD5 digest of the time it was made (64-bit
 * seconds, little-endian) followed by the printer's name (UTF-16LE, no
 * terminator).  It is made once and never changed.  Its 32 upper-case
 * hexadecimal digits, behind the model's registry key text (model data
 * header entry 33), name a key below HKEY_CURRENT_USER that holds what
 * belongs to one user of that printer: UserSettingInfo, the device-settings
 * blobs of store kind 3, favourites, paper margins, stamps.
 *
 * The functions that need the key name fail when the model has no key text.
 * Those that may make a PRNID store it through the caller's printer handle,
 * so they fail without the right to write printer data (an ordinary user's
 * handle) until the printer has one.
 */
#ifndef TARVEL_PRN_STORE_H
#define TARVEL_PRN_STORE_H

#include <plat/registry.h>
#include <plat/types.h>

struct ModelContext;

constexpr DWORD PRN_ID_SIZE = 16;

/* Room for a per-user key name: key text, 32 digits, "\" and a subkey path. */
constexpr DWORD PRN_KEY_NAME_CHARS = 512;

/* Value name of the identifier in the printer data. */
inline constexpr const WCHAR *PRN_ID_VALUE = u"PRNID";

/* Results of REG_ReadValue and REG_ReadValueCopy. */
constexpr int REG_READ_OK = 0;
constexpr int REG_READ_NOT_FOUND = 1; /* no PRNID, no key or no value */
constexpr int REG_READ_FAILED = -1;   /* bad arguments, no memory, a failed read, or a value too large */

/*
 * Makes a new identifier for `printer` (not stored): the MD5 digest of the
 * current time (machine clock, seconds since 1970 as 8 bytes) followed by
 * the printer's name.  Returns 1 with the 16 bytes in `id`; 0 when the
 * printer's information cannot be read.  Safe to call from several threads.
 */
BOOL REG_MakePrnId(HANDLE printer, BYTE id[PRN_ID_SIZE]);

/* Reads "PRNID" into `id`: 1 when a 16-byte value was read, else 0. */
BOOL REG_ReadPrnId(HANDLE printer, BYTE id[PRN_ID_SIZE]);

/*
 * Stores `id` as "PRNID" unless the printer has one already.  Returns 1 when
 * the value exists (nothing written) or was written; 0 when the write failed.
 */
BOOL REG_WritePrnId(HANDLE printer, const BYTE id[PRN_ID_SIZE]);

/*
 * Builds the per-user key name into `out` (`outChars` characters of room):
 * `keyText`, the 32 upper-case hexadecimal digits of `id` in byte order
 * (high nibble first), and, when `subkey` is given and not empty, "\" and
 * `subkey`.  Returns 1; 0 (out emptied when it has room) for a null or empty
 * key text or a name that does not fit.
 */
BOOL REG_MakePrinterKeyName(LPCWSTR keyText, const BYTE id[PRN_ID_SIZE], LPCWSTR subkey, LPWSTR out,
                            DWORD outChars);

/*
 * Opens or creates the user's key of `printer` (with `subkey` below it, when
 * given) with full access, making and storing a PRNID first when the
 * printer has none.  Returns 1 with the key in *key (the caller closes it
 * with RegCloseKey); 0 with *key null otherwise.
 */
BOOL REG_OpenPrinterKey(HANDLE printer, ModelContext *context, LPCWSTR subkey, HKEY *key);

/*
 * Opens the user's key of `printer` (with `subkey` below it, when given)
 * when it exists, with the rights `sam`; creates nothing and makes no PRNID.
 * Returns REG_READ_OK with *key (the caller closes it with RegCloseKey),
 * REG_READ_NOT_FOUND when the printer has no PRNID or the key does not
 * exist, or REG_READ_FAILED; *key is null unless REG_READ_OK.
 */
int REG_OpenExistingPrinterKey(HANDLE printer, ModelContext *context, LPCWSTR subkey, REGSAM sam, HKEY *key);

/*
 * Sets value `name` (`size` bytes of `data`, registry type `type`) under the
 * user's key (`subkey` below it when given), creating the key and the PRNID
 * when absent.  Returns 1 or 0.
 */
BOOL REG_WriteValue(HANDLE printer, ModelContext *context, const void *data, DWORD size, DWORD type,
                    LPCWSTR subkey, LPCWSTR name);

/*
 * Reads value `name` of the user's key (`subkey` below it when given) into a
 * new zero-filled GlobalAlloc buffer (*data; the caller frees it; a value of
 * 0 bytes gives a 1-byte buffer) with its size and, when `type` is given,
 * its registry type.  Creates nothing.  Returns REG_READ_OK,
 * REG_READ_NOT_FOUND when the printer has no PRNID, the key or the value
 * does not exist, or REG_READ_FAILED (missing arguments, no key text, no
 * memory, another registry failure).  *data is null unless REG_READ_OK.
 */
int REG_ReadValue(HANDLE printer, ModelContext *context, BYTE **data, DWORD *size, DWORD *type, LPCWSTR subkey,
                  LPCWSTR name);

/*
 * As REG_ReadValue, but copies the value into the caller's `buffer` of
 * *size bytes (a 16-bit count) and sets *size to the bytes copied.  A value
 * larger than the buffer is not copied: REG_READ_FAILED, buffer untouched.
 */
int REG_ReadValueCopy(HANDLE printer, ModelContext *context, void *buffer, WORD *size, DWORD *type,
                      LPCWSTR subkey, LPCWSTR name);

/*
 * Deletes `subkey` (a key without subkeys of its own) below the user's key
 * of `printer`, making the PRNID and the user's key when absent.  Returns 1
 * or 0.
 */
BOOL REG_DeleteSubkey(HANDLE printer, ModelContext *context, LPCWSTR subkey);

/*
 * Copies every value (name, type, data) of `source` to `destination` and,
 * recursively, every subkey (created below `destination`).  Returns 1; 0 at
 * the first failing query, allocation, subkey open or write (what was
 * copied before stays).
 */
BOOL REG_CopyKeyValues(HKEY destination, HKEY source);

/*
 * The user's key name of `printer` with the subkey "Stamps" (which 0) or
 * "Stamps\Others" (which 1) into `out` (`outChars` characters), making the
 * PRNID when absent.  Returns 1 or 0.
 */
BOOL REG_GetStampsKeyName(HANDLE printer, ModelContext *context, LPWSTR out, DWORD outChars, int which);

/* The user's key name of `printer` with the subkey "Paper Margin"; as REG_GetStampsKeyName. */
BOOL REG_GetMarginKeyName(HANDLE printer, ModelContext *context, LPWSTR out, DWORD outChars);

/*
 * 1 when `printer` has a PRNID and its user's key holds a "UserSettingInfo"
 * value that fits a 1,328-byte buffer; creates nothing.
 */
BOOL REG_HasUserSettingInfo(HANDLE printer, ModelContext *context);

/*
 * The model's per-user key text (header entry 33) as a new GlobalAlloc
 * string (the caller frees it), or null when the model has none.
 */
LPWSTR REG_GetModelKeyText(ModelContext *context);

#endif /* TARVEL_PRN_STORE_H */
