/*
 * The stamps store: the user's stamps as one registry value per stamp under
 * the subkey "Stamps" of the user's per-printer key, each a REG_BINARY value
 * named by the stamp's name and holding its 832-byte StampRecord
 * (tarvel/stores/stp_builtin.h); at most 32 stamps; values of other types are
 * ignored.  Its subkey "Stamps\Others" holds "Stamp Version" = "0.01"
 * (REG_SZ, 8 bytes: the four characters without a terminator).
 *
 * The store is made on first use: as a copy of the machine-wide key (below
 * HKEY_LOCAL_MACHINE, the model's machine-wide key text directly followed by
 * "Stamps") when that exists, else from the six built-in stamps.  A store
 * that cannot be opened makes reading fall back to the built-in stamps and
 * listing to the built-in names.
 *
 * Names compare exactly everywhere but in STP_CheckName, which compares
 * stored names ignoring case.  Stored values shorter than a record are read
 * as far as they go (the rest zero); a record's name is at most its 33
 * characters even without a terminator.  Registry handles opened by an
 * operation are closed before it returns.  Nothing is logged.
 */
#ifndef TARVEL_STP_STORE_H
#define TARVEL_STP_STORE_H

#include <plat/registry.h>
#include <plat/types.h>
#include <tarvel/stores/stp_builtin.h>

struct ModelContext;

/* Result codes (with STP_OK, STP_BUFFER_TOO_SMALL and STP_BAD_ARGUMENT of tarvel/stores/stp_builtin.h). */
inline constexpr int STP_NAME_TAKEN = 2;           /* also 15, 16 and 17, see STP_CheckName */
inline constexpr int STP_BUILTIN_NAME = 3;
inline constexpr int STP_STORE_FULL = 4;
inline constexpr int STP_NOT_STORED = 6;
inline constexpr int STP_DIFFERS = 7;
inline constexpr int STP_NO_STORE = 8;
inline constexpr int STP_ENUM_ERROR = 9;
inline constexpr int STP_WRITE_FAILED = 10;
inline constexpr int STP_DELETE_FAILED = 11;
inline constexpr int STP_TAKEN_WITH_TEXT = 15;     /* kind 1: a stored stamp with text has the name */
inline constexpr int STP_TAKEN_EMPTY = 16;         /* kind 2: a stored stamp without text has the name */
inline constexpr int STP_TAKEN_BY_BUILTIN = 17;    /* kind 1: a built-in name */
inline constexpr int STP_NOT_FOUND = 99;           /* not stored; the same code as STP_BAD_ARGUMENT */

/* Kinds of STP_CheckName. */
inline constexpr int STP_CHECK_NEW = 1;
inline constexpr int STP_CHECK_RENAME = 2;

/* The most stamps a store holds. */
inline constexpr DWORD STP_MAX_STAMPS = 32;

/* The store's version value. */
inline constexpr const WCHAR *STP_VERSION_VALUE = u"Stamp Version";
inline constexpr DWORD STP_VERSION_SIZE = 8; /* "0.01" without its terminator */

/*
 * STP_GetHklmKeyName: the machine-wide key name: the model's machine-wide
 * key text directly followed by "Stamps" (which 0) or "Stamps\Others"
 * (which 1), into `out` (`outChars` characters).  1, or STP_BAD_ARGUMENT
 * (out emptied when it has room) when the model has no such text, the name
 * does not fit or an argument is bad.
 */
int STP_GetHklmKeyName(int which, ModelContext *context, LPWSTR out, DWORD outChars);

/*
 * STP_CreateDefaultStore: creates the user's "Stamps" key, "Stamps\Others"
 * with "Stamp Version", and the six built-in stamps under their names.
 * Returns 1 with the "Stamps" key open in *key (the caller closes it);
 * STP_WRITE_FAILED when the version or a stamp cannot be written (both keys
 * are deleted again); STP_BAD_ARGUMENT when a key cannot be named or
 * created (a created "Stamps" is deleted again).
 */
int STP_CreateDefaultStore(HKEY *key, HANDLE printer, ModelContext *context);

/*
 * STP_OpenStore: opens the user's "Stamps" key; when it is missing, makes it
 * as a copy of the machine-wide key or, without one, from the built-ins.
 * Returns 1 with the key in *key (the caller closes it); STP_NO_STORE when
 * it can be neither opened nor made; STP_BAD_ARGUMENT when the key's name
 * cannot be built.
 */
int STP_OpenStore(HKEY *key, HANDLE printer, ModelContext *context);

/*
 * STP_CountStamps: the number of REG_BINARY values of the store in *count.
 * Returns 1; the codes of STP_OpenStore; STP_ENUM_ERROR.
 */
int STP_CountStamps(HANDLE printer, DWORD *count, ModelContext *context);

/*
 * STP_ReadStamp: fills the 832-byte `record`.  A null name gives the default
 * stamp (1).  With `builtInOnly` set: the built-in stamp of that name, else
 * the default stamp (1).  Otherwise the stored stamp whose record name
 * equals `name` (1), STP_NOT_FOUND when none has it, STP_ENUM_ERROR;
 * when the store cannot be opened, a built-in name gives its built-in stamp
 * (1) and any other name STP_NO_STORE.  The record is untouched on failure.
 */
int STP_ReadStamp(HANDLE printer, LPCWSTR name, BYTE *record, BOOL builtInOnly, ModelContext *context);

/*
 * STP_ListNames: the names of the stored stamps (at most 32; a record
 * without a name is left out) as a multi-string: each name with its terminator, appended while it and the
 * final extra terminator fit, then the extra terminator.  *size (bytes; in:
 * the buffer's size) always receives the size needed (the names and 2
 * bytes); *count (optional) the names written.  Returns 1;
 * STP_BUFFER_TOO_SMALL when the buffer is null or too small; STP_ENUM_ERROR
 * after an enumeration error; STP_BAD_ARGUMENT for a null size.  When the
 * store cannot be opened, the built-in names (STP_ListBuiltInNames).
 */
int STP_ListNames(HANDLE printer, LPWSTR buffer, DWORD *count, DWORD *size, ModelContext *context);

/* STP_Exists: STP_BUILTIN_NAME, STP_NO_STORE, 1 stored, STP_NOT_FOUND not stored, STP_ENUM_ERROR. */
int STP_Exists(HANDLE printer, LPCWSTR name, ModelContext *context);

/*
 * STP_DeleteStamp: deletes the stored stamp whose record name is `name`.
 * STP_BUILTIN_NAME (refused), STP_NO_STORE, 1 deleted, STP_DELETE_FAILED
 * (the delete or the enumeration failed), STP_NOT_FOUND not stored.
 */
int STP_DeleteStamp(HANDLE printer, LPCWSTR name, ModelContext *context);

/*
 * STP_CheckName: whether `name` may be used for a new stamp (kind 1) or as
 * a new name (kind 2).  A null name: 1.  A built-in name: 17 for kind 1,
 * 2 otherwise.  A stored stamp of that name (ignoring case): kind 1: 2 when
 * its text is empty, 15 when it has text; kind 2: 16 when its text is
 * empty, 2 when it has text; other kinds 2.  Else 1 while fewer than 32
 * stamps are stored, STP_STORE_FULL at 32.  The codes of STP_OpenStore and
 * STP_ENUM_ERROR when the store cannot be read.
 */
int STP_CheckName(HANDLE printer, LPCWSTR name, ModelContext *context, int kind);

/*
 * STP_WriteStamp: stores `record` (832 bytes) under its name.  Returns 1;
 * STP_STORE_FULL when the name is new and 32 stamps are stored;
 * STP_WRITE_FAILED; STP_BAD_ARGUMENT for a record whose name is empty or
 * has no terminator within its field; the codes of STP_OpenStore.
 */
int STP_WriteStamp(HANDLE printer, const BYTE *record, ModelContext *context);

/*
 * STP_IsUnchanged: 1 when the stored stamp of the record's name equals
 * `record` (name, text, the values at 196-212, every LOGFONTW field but
 * lfQuality, the face name; 308 and 310 are not compared), STP_DIFFERS when
 * it differs, STP_NOT_STORED when there is none; the codes of STP_OpenStore
 * and STP_ENUM_ERROR.
 */
int STP_IsUnchanged(HANDLE printer, const BYTE *record, ModelContext *context);

#endif /* TARVEL_STP_STORE_H */
