/*
 * The model context: what one caller needs to ask a printer model questions.
 * A context is opened from a printer handle (MDL_Open), holds the pair of
 * model data file readers, the per-model configuration values and the
 * devmode mapping description (both null while the model has none) and, on
 * demand, the paper list; it is closed by the caller that opened it
 * (MDL_Close).  No context is kept globally.
 *
 * The query functions ask by setting identifier (DDMID).  They answer 1 when
 * done and 0 when not, with a reason where their signature has one:
 * MDL_REASON_NOT_IN_MODEL (the setting or value is not in the model),
 * MDL_REASON_NO_MEMORY, MDL_REASON_FAIL (anything else).  A failed query
 * leaves its outputs empty (0 or null).
 *
 * Ownership: records, values, details and names handed out belong to the
 * caller and must be freed (with the free function each query names) before
 * the context is closed, since values of raw types point into the loaded
 * file.  Blocks are zero-filled GlobalAlloc memory.
 */
#ifndef TARVEL_MDL_CONTEXT_H
#define TARVEL_MDL_CONTEXT_H

#include <plat/types.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

struct ModelSpecials;  /* per-model configuration values */
struct DmeDescription; /* devmode mapping description */
struct PaperList;      /* the model's papers and the spooler forms that fit */

struct ModelContext {
    ModelFileReader *main;
    ModelFileReader *companion;
    ModelSpecials *specials; /* null when the model has no configuration file */
    DmeDescription *dme;     /* null when the model has no configuration file */
    PaperList *paperList;    /* null until the paper list is built; freed by its own operation */
};

/* Reasons given next to a 0 result. */
constexpr WORD MDL_REASON_FAIL = 1;
constexpr WORD MDL_REASON_NOT_IN_MODEL = 2;
constexpr WORD MDL_REASON_NO_MEMORY = 3;

/* The reason for a model data reader result (2 -> 2, 4 -> 3, anything else -> 1). */
WORD MDL_ReasonOf(WORD readerResult);

/* Device classes as reported (the header stores 0-3). */
constexpr WORD MDL_CLASS_NONE = 0;
constexpr WORD MDL_CLASS_PRINTER = 1;
constexpr WORD MDL_CLASS_FAX = 2;     /* every job is a fax job */
constexpr WORD MDL_CLASS_3 = 3;
constexpr WORD MDL_CLASS_PRINTER_FAX = 4; /* a job is a fax job when its job type is 5 */

/* Setting identifiers with a meaning of their own here. */
constexpr WORD MDL_ID_MODEL_NAME = 1;
constexpr WORD MDL_ID_MODEL_NAME2 = 259;
constexpr WORD MDL_ID_JOB_TYPE = 334;
constexpr WORD MDL_JOB_TYPE_FAX = 5;

/* --- Context ------------------------------------------------------------ */

/*
 * Opens the model of `printer`: its driver's data file (pDataFile of the
 * driver information at level 2) and the companion file beside it, then the
 * per-model configuration.  Also sets the process-wide data format version.
 * Returns a new context (close it with MDL_Close), or null for a null
 * handle, a driver without a data file, a file that is not a ".DDD" file, a
 * missing companion, a damaged file or no memory.
 */
ModelContext *MDL_Open(HANDLE printer);

/* An empty context with two empty (zero-filled) readers, or null; free it with MDL_FreeContext. */
ModelContext *MDL_AllocContext(void);

/* A new copy of the data file path of `printer`'s driver (free with GlobalFree), or null. */
LPWSTR MDL_GetDriverDataFile(HANDLE printer);

/*
 * Closes both files and frees the context.  Returns 1, or 0 when one of the
 * readers had nothing loaded, which is the case for every model without a
 * companion file (the context is freed all the same); 0 for null.
 */
BOOL MDL_Close(ModelContext *context);

/* Frees both reader blocks, the configuration values, the mapping description and the context (null is ignored). */
void MDL_FreeContext(ModelContext *context);

/* --- Queries by setting identifier -------------------------------------- */

/*
 * The model's default of setting `id` (a feature of kind 3 or 4) after the
 * locale rules.  *type receives the value type.  For type 6 *value is a new
 * string (free with MDL_FreeValue; null when the default has no text); for
 * every other type *value is the value as a 32-bit number, shorter values
 * widened with zeros, and nothing is left to free.
 */
BOOL MDL_GetDefaultValue(ModelContext *context, WORD id, ULONG_PTR *value, WORD *type, WORD *reason);

/* Frees a type 6 value of MDL_GetDefaultValue; 1 for any non-null value, 0 for null. */
BOOL MDL_FreeValue(ULONG_PTR value, WORD type);

/*
 * The feature record of setting `id` (kinds 3 and 4; free with
 * MDL_FreeRecord), its user-interface kind, its option count and its
 * display name (the record's own string, valid until the record is freed).
 * Any output pointer but `record` and `reason` may be null.
 */
BOOL MDL_GetFeatureInfo(ModelContext *context, WORD id, ModelRecord **record, WORD *uiKind, WORD *optionCount,
                        LPCWSTR *name, WORD *reason);

/*
 * The option-details record of option n (1-based) of setting `id`, or of the
 * setting's own record for n = 0 (DDD_GetOptionDetails).  Free it with
 * MDL_FreeOption.
 */
BOOL MDL_GetOption(ModelContext *context, WORD id, WORD n, DddOptionDetails **details, WORD *reason);

/* Frees an option-details record; 1 (also for null). */
BOOL MDL_FreeOption(DddOptionDetails *details);

/* The fields of an option-details record, not copied (any output may be null); 0 for null details. */
BOOL MDL_GetOptionFields(const DddOptionDetails *details, const void **value, LPCWSTR *name, WORD *type,
                         const DddImageBlob **image);

/* Header entry 4 (the maximum number of copies); 0 when missing. */
WORD MDL_GetMaxCopies(ModelContext *context);

/*
 * 1 when the model has an option of setting `id` whose value equals `value`
 * (compared by the option's value type; see DDD_FindOptionByValue).
 */
BOOL MDL_HasValue(ModelContext *context, WORD id, const void *value);

/*
 * The record that the option of setting `id` with value `value` stands for
 * (its target, for example the paper record of a paper-size option; free
 * with MDL_FreeRecord) and the kind of that record.
 */
BOOL MDL_GetValueTarget(ModelContext *context, WORD id, const void *value, ModelRecord **record, WORD *kind,
                        WORD *reason);

/* Frees any record handed out above, by its own kind; 1 when freed, 0 for null. */
BOOL MDL_FreeRecord(ModelRecord *record);

/*
 * The default value block of setting `id` exactly as DDD_GetDefaultById
 * gives it (a new block of at least 4 bytes, a string for type 6; null when
 * the default has no data).  The caller frees it with GlobalFree.
 */
BOOL MDL_GetDefaultRaw(ModelContext *context, WORD id, void **value, WORD *reason);

/*
 * 1 when the size a x b matches c x d within 10 units: compared as they
 * stand when both have the same orientation (b < a and d < c, or a < b and
 * c < d), crosswise otherwise.
 */
BOOL MDL_SizesMatch(LONG a, LONG b, LONG c, LONG d);

/*
 * The size pair (width, length) and the second pair of the paper that the
 * option of setting `id` with value `value` stands for, in tenths of a
 * millimetre.  `width2` and `length2` may be null.  Reason 1 when the target
 * is not a paper.
 */
BOOL MDL_GetPaperSizeById(ModelContext *context, WORD id, const void *value, WORD *width, WORD *length,
                          WORD *width2, WORD *length2, WORD *reason);

/* Width and length of the paper that the default of setting `id` stands for. */
BOOL MDL_GetDefaultPaperSize(ModelContext *context, WORD id, WORD *width, WORD *length);

/* A new copy of the name of the record that the default of setting `id` stands for (free with GlobalFree). */
BOOL MDL_GetDefaultTargetName(ModelContext *context, WORD id, LPWSTR *name, WORD *reason);

/* A paper to look for. */
struct MdlPaperKey {
    WORD id;     /* record identifier */
    WORD width;  /* tenths of a millimetre */
    WORD length;
    LPCWSTR name;
};

/* A paper found; the name is a copy (free with MDL_FreeFoundPaper). */
struct MdlPaper {
    WORD id;
    WORD width;
    WORD length;
    LPWSTR name;
};

/* Search modes of MDL_FindPaper. */
constexpr WORD MDL_FIND_BY_ID = 1;
constexpr WORD MDL_FIND_BY_SIZE = 2;
constexpr WORD MDL_FIND_BY_NAME = 3;

/*
 * Walks the options of setting `id` in order and answers the first whose
 * target record matches `key`: by record identifier (mode 1), by size
 * (mode 2, MDL_SizesMatch against the target's size pair) or by name (mode
 * 3, exact; a key without a name fails with reason 1).  *found receives the
 * record identifier, size pair and a new copy of the name.  Reason 2 when no
 * option matches.
 */
BOOL MDL_FindPaper(ModelContext *context, WORD id, WORD mode, const MdlPaperKey *key, MdlPaper *found,
                   WORD *reason);

/* Frees the name of a found paper and clears it. */
void MDL_FreeFoundPaper(MdlPaper *found);

/* A new copy of the model name (free with GlobalFree). */
BOOL MDL_GetModelName(ModelContext *context, LPWSTR *name, WORD *reason);

/* Colour support from header entry 5: stored 0 or missing -> 0xFFFF, 2 -> 2, anything else -> 1. */
WORD MDL_GetColourSupport(ModelContext *context);

/* Header entry 7 as a byte; -1 when it cannot be read. */
int MDL_GetEntry7(ModelContext *context);

/* --- Device class and capabilities (on the main reader) ------------------ */

/* Device class 1-4 from header entry 23 (stored 0-3); 0 for any other value or an unreadable entry. */
WORD MDL_GetDeviceClass(ModelFileReader *main);

/* 1 for device classes 3 and 4. */
BOOL MDL_IsDeviceClass3Or4(ModelFileReader *main);

/*
 * 1 when a job with the settings `devmode` is a fax job: always on a class 2
 * model; on a class 4 model when its job type (setting 334) is 5.
 */
BOOL MDL_IsFaxJob(ModelFileReader *main, void *devmode);

/* The model's three capability words. */
struct ModelCapabilityBits {
    DWORD words[3];
};

/*
 * Word 0 = header entry 26; words 1 and 2 = items 0 and 1 of header entry 39
 * when the main file's format version is at least 0x1600 (otherwise, and for
 * missing items, 0).  0 for null arguments (the words are then all 0).
 */
BOOL MDL_GetCapabilityBits(ModelFileReader *main, ModelCapabilityBits *bits);

/* Capability codes: 0xFFFF0000 + n (n below 96) names bit n; a smaller code is a mask tested on word 0. */
constexpr DWORD MDL_CAP_BIT(DWORD n) { return 0xFFFF0000u + n; }

/* 1 when the capability `code` is set in `bits`. */
BOOL MDL_TestCapabilityBit(const ModelCapabilityBits *bits, DWORD code);

/* MDL_GetCapabilityBits, then MDL_TestCapabilityBit. */
BOOL MDL_HasCapability(ModelFileReader *main, DWORD code);

/* a >= b, unsigned. */
BOOL UTL_IsAtLeast(DWORD a, DWORD b);

#endif /* TARVEL_MDL_CONTEXT_H */
