/*
 * Model data file reader: loads a model data file (".DDD") and its companion
 * file whole into memory, checks their headers, walks the header entries and
 * the record directory, positions a reader at any record and decodes the
 * text fields and typed values that records carry.  Record parsing is in
 * tarvel/model_data/model_records.h.
 *
 * Every read is checked against the loaded copy: a damaged file makes an
 * operation answer 1, never a read outside the copy.
 *
 * Result codes (16-bit) of every reader operation: DDD_OK done; DDD_ERR_FAIL
 * bad argument, reader not loaded, wrong file name, malformed data or an
 * unusable string module; DDD_ERR_NOT_FOUND no such kind, identifier, record
 * number, option or entry item; DDD_ERR_NO_MEMORY out of memory.
 *
 * Texts handed out are zero-filled blocks of the model allocator; free them
 * with DDD_FreeRecord(&text, 0) (a plain block).
 */
#ifndef TARVEL_MODEL_FILE_H
#define TARVEL_MODEL_FILE_H

#include <plat/types.h>
#include <tarvel/model_data/model_format.h>

constexpr WORD DDD_OK = 0;
constexpr WORD DDD_ERR_FAIL = 1;
constexpr WORD DDD_ERR_NOT_FOUND = 2;
constexpr WORD DDD_ERR_NO_MEMORY = 4;

/* Role of a reader. */
constexpr WORD DDD_ROLE_MAIN = 2;
constexpr WORD DDD_ROLE_COMPANION = 1;

constexpr DWORD DDD_TEXT_BUFFER_MIN = 1024; /* smallest text buffer of the cache */
constexpr int DDD_TEXT_SLOTS = 4;
constexpr int DDD_MODULE_STRING_MAX = 512;  /* characters of one module string */

/* One text buffer of the string-module cache. */
struct DddTextSlot {
    WORD size;      /* buffer size in bytes */
    BYTE *buffer;
    DWORD inUse;
};

/* String-module cache: one per pair of readers, made by the main reader. */
struct DddStringCache {
    DddTextSlot slots[DDD_TEXT_SLOTS];
    DWORD referencesEnabled; /* 1 until the selector-1 module fails to load */
    HMODULE module;          /* string module of selector 1, once loaded */
};

/* One loaded file.  All zero while nothing is loaded. */
struct ModelFileReader {
    void *loaded;            /* nonzero while a file is loaded */
    BYTE loadedFlag;
    BYTE *data;              /* copy of the whole file */
    DWORD length;
    DWORD position;          /* read position, byte offset into data */
    WORD role;               /* DDD_ROLE_MAIN or DDD_ROLE_COMPANION */
    DWORD versionCode;       /* (a << 24) + (b << 16) + c of the version text */
    DWORD formatVersion;     /* data format version of this file */
    ModelFileReader *main;   /* companion only: the main reader */
    DddStringCache *cache;   /* shared by the pair */
    DWORD ownsCache;
};

/* Header information record (kind 1); see tarvel/model_data/model_records.h for ModelRecord. */
struct ModelRecord;

/* --- The pair of files ------------------------------------------------- */

/*
 * Opens the model data file `path` (its extension must be "DDD" in any case)
 * into `main` and, when the header names one, the companion file beside it
 * into `companion`.  Both readers must be zero-filled.  On success records
 * the main file's data format version as the process-wide value.  On failure
 * both readers are closed.  Returns a DDD_ result.
 */
WORD DDD_OpenModelFile(LPCWSTR path, ModelFileReader *main, ModelFileReader *companion);

/*
 * Opens a pair from two memory images instead of files (the fuzz target's
 * and the tests' entry): everything after the file reads is the same code
 * as DDD_OpenModelFile.  `path` names the main file as the open would see it
 * (its extension and folder are checked as usual); a companion named in the
 * header gets `companionBytes` (null: the companion file is missing).  The
 * bytes are copied.
 */
WORD ddd_OpenModelMemory(LPCWSTR path, const BYTE *mainBytes, size_t mainSize,
                         const BYTE *companionBytes, size_t companionSize,
                         ModelFileReader *main, ModelFileReader *companion);

/* Closes the companion, then the main reader: 0 when both closed, 1 when either had nothing loaded. */
WORD DDD_CloseFiles(ModelFileReader *main, ModelFileReader *companion);

/*
 * Loads one file into `reader`.  `mainReader` null: the reader is a main
 * reader and makes the string-module cache; otherwise it shares the main
 * reader's cache and links to it.  Any failure closes the reader.
 */
WORD DDD_MapFile(LPCWSTR path, ModelFileReader *reader, ModelFileReader *mainReader);

/* Unloads a reader (a main reader also frees the cache): 0 unloaded, 1 nothing was loaded. */
WORD DDD_CloseFile(ModelFileReader *reader);

/* The data format version of the main file most recently opened successfully. */
DWORD DDD_GetLastFormatVersion(void);

/* Test-only: forgets the process-wide data format version (back to 0). */
void ddd_ResetLastFormatVersionForTest(void);

/* --- Reader primitives (checked against the file length) --------------- */

/* Mode 1 advances the position by n, any other mode sets it to n; 1 past the end. */
WORD DDD_Seek(ModelFileReader *reader, int mode, DWORD n);
/* Copies n bytes from the position and advances; n 0 or past the end: 1. */
WORD DDD_Read(ModelFileReader *reader, void *buffer, DWORD n);
/* The big-endian 32-bit number of four bytes. */
WORD DDD_ReadBigEndian32(const BYTE *bytes, DWORD *out);
/* Position = 224 + n. */
WORD DDD_SeekHeaderArea(ModelFileReader *reader, DWORD n);
/* Position = the record directory (228 + the entry-0 length). */
WORD DDD_SeekDirectory(ModelFileReader *reader);

/* --- File header ------------------------------------------------------- */

/*
 * Allocates the header information record (kind 1): title, model name and
 * companion name as new UTF-16 strings, the version numbers a, b, c and the
 * data format version.  Free it with DDD_FreeRecord.
 */
WORD DDD_ReadHeaderInfo(ModelFileReader *reader, ModelRecord **out);
/* Parses "...:a.b.c": 0, or 1 when malformed or a, b above 255 or c above 65,535. */
WORD DDD_ParseVersionText(LPCWSTR text, WORD *a, WORD *b, WORD *c);
/* Reads the header and keeps the version code and data format version in the reader. */
WORD DDD_CheckVersion(ModelFileReader *reader);
DWORD DDD_MakeVersionCode(DWORD a, DWORD b, DWORD c);

/* --- Header entries ---------------------------------------------------- */

/* The entry-table row of `entry` with the reader positioned at the entry (before a stored count); null when absent. */
const DddHeaderEntryRow *DDD_FindHeaderEntry(ModelFileReader *reader, WORD entry);
/* Item `itemNumber` (0-based) of an entry, read with the caller's item size; past the count: 2. */
WORD DDD_ReadHeaderEntry(ModelFileReader *reader, WORD entry, WORD itemSize, WORD itemNumber, void *buffer);
/* The item as a 32-bit number (item sizes 1-4), 0 when it cannot be read. */
DWORD DDD_GetHeaderEntryValue(ModelFileReader *reader, WORD entry, WORD itemSize, WORD itemNumber);
/* All items of an entry in one new block (free with DDD_FreeRecord(&p, 0)); none: 0 with null. */
WORD DDD_ReadHeaderEntryArray(ModelFileReader *reader, WORD entry, WORD itemSize, WORD *count, void **array);
/* Text item `itemNumber` of an entry as a new string; past the count: 1; an empty text: 2. */
WORD DDD_ReadHeaderString(ModelFileReader *reader, WORD entry, WORD itemNumber, LPWSTR *out);
/* DDD_ReadHeaderString's string, or null. */
LPWSTR DDD_GetHeaderString(ModelFileReader *reader, WORD entry, WORD itemNumber);
/* Model text n: 0-5 entries 17-22; 6-11 and 14-25 items 0-5 and 6-17 of entry 36; others 1. */
WORD DDD_GetModelText(ModelFileReader *reader, WORD n, LPWSTR *out);
/* Registry key text: n 0 entry 30, n 1 entry 33, others 1. */
WORD DDD_GetRegistryKeyText(ModelFileReader *reader, WORD n, LPWSTR *out);

/* --- Directory and records --------------------------------------------- */

/* Record count of a kind; 0 when the kind has no directory row or cannot be read. */
WORD DDD_CountRecords(ModelFileReader *reader, WORD kind);
/* Position = the kind's table offset + skip; 2 when the kind has no row. */
WORD DDD_SeekKindTable(ModelFileReader *reader, WORD kind, DWORD skip);
/* Position on the table row of a record: by identifier or by number (1-based); 2 when absent. */
WORD DDD_FindRecordEntryById(ModelFileReader *reader, WORD kind, WORD id);
WORD DDD_FindRecordEntryByIndex(ModelFileReader *reader, WORD kind, WORD n);
/*
 * Positions the reader that holds a record (mode 1 by number, else by
 * identifier), using the directory of the main reader (directory selector 2)
 * or of the companion; answers the record's file selector (2 main, 1
 * companion).
 */
WORD DDD_SeekRecord(int mode, ModelFileReader *main, ModelFileReader *companion, WORD dirSelector,
                    WORD kind, WORD idOrNumber, WORD *fileSelector);
/*
 * n 0: as DDD_SeekRecord by identifier.  n above 0: kind 3 or 4 only (else
 * 1); positions at option n (1-based) of that feature, sought in kind 13 or
 * 14 of the directory the feature's own file selector names; n above the
 * option count: 2.
 */
WORD DDD_SeekRecordOrOption(ModelFileReader *main, ModelFileReader *companion, WORD dirSelector,
                            WORD kind, WORD id, WORD n, WORD *fileSelector);
/* The reader that a file selector names (2: main, else companion). */
ModelFileReader *ddd_ReaderForSelector(ModelFileReader *main, ModelFileReader *companion, WORD selector);

/* --- Text fields and typed values -------------------------------------- */

/*
 * Reads a text field body of *length bytes at the position and decodes it
 * (string reference or stored text) into a new string; *length becomes the
 * decoded byte length (characters x 2 + 2).  Length 0: no string, 0.
 */
WORD DDD_ReadText(ModelFileReader *reader, LPWSTR *out, DWORD *length);
/* Decodes a string reference: 0 with no string when `bytes` are not a reference. */
WORD DDD_ReadResourceText(ModelFileReader *reader, const BYTE *bytes, LPWSTR *out, DWORD *length);
/* Inverts and converts stored text (ANSI) into a new string. */
WORD DDD_ConvertStoredText(ModelFileReader *reader, const BYTE *bytes, LPWSTR *out, DWORD *length);
/* A cache buffer of at least max(size, 1,024) bytes, or null; give it back with ddd_GiveTextBuffer. */
BYTE *DDD_TakeTextBuffer(ModelFileReader *reader, DWORD size);
void ddd_GiveTextBuffer(ModelFileReader *reader, BYTE *buffer);
/* 0 when the selector-1 string module is (or becomes) loaded; else 1 and references are switched off. */
WORD DDD_LoadStringModule(ModelFileReader *reader);
/* Loads string `id` of the module file `name` for one string (module freed after). */
WORD DDD_LoadStringFromModule(LPCWSTR name, WORD id, LPWSTR *out, DWORD *length, ModelFileReader *reader);

/*
 * A typed value as read: value type, length in bytes, the value, its count
 * (1 when it has data, 0 when not; the element count after array
 * resolution) and whether the value is owned (a decoded string or a widened
 * number) or points into the loaded file (raw bytes, possibly unaligned:
 * read them with plat::load).
 */
struct DddValue {
    WORD type;
    DWORD length;
    void *data;
    DWORD count;
    DWORD owned;
};

/* Reads a typed value at the position. */
WORD DDD_ReadTypedValue(ModelFileReader *reader, DddValue *out);
/* Frees an owned value and clears it. */
void ddd_FreeValue(DddValue *value);

#endif /* TARVEL_MODEL_FILE_H */
