/*
 * Model records: the records of the model data file parsed into allocated,
 * self-contained blocks (`ModelRecord` and the per-kind records that start
 * with it), their frees, the fetches by kind and identifier or number, and
 * the small per-kind accessors the rest of the driver uses instead of
 * touching record fields.
 *
 * Ownership: a parsed record owns its strings, lists, copied blocks and every
 * typed value whose owned flag is set; other values point into the loaded
 * file and live as long as the reader's file, so a record must be freed
 * (DDD_FreeRecord) before its reader is closed.
 *
 * Parsers gate fields on the data format version of the file they read;
 * accessors gate on the process-wide version of the last main file opened
 * (DDD_GetLastFormatVersion).
 */
#ifndef TARVEL_MODEL_RECORDS_H
#define TARVEL_MODEL_RECORDS_H

#include <plat/types.h>
#include <tarvel/model_data/model_file.h>

/* Parse modes. */
constexpr int DDD_PARSE_PARTIAL = 0; /* skips font metrics, picture data, option value and lists */
constexpr int DDD_PARSE_FULL = 1;

/* Largest device-font metrics block a record accepts. */
constexpr DWORD DDD_METRICS_MAX = 65535;

/* Head of every parsed record and of every item record inside one. */
struct ModelRecord {
    WORD id;
    WORD kind;
    WORD fileSelector; /* 2 read from the main file, 1 from the companion (set by the fetches) */
    ModelFileReader *reader;
};

/* --- Item records ------------------------------------------------------ */

struct DddWordItem { /* 515 */
    ModelRecord head;
    WORD value;
};

struct DddSettingItem { /* 517 */
    ModelRecord head;
    WORD number;
    BYTE op;
    WORD settingId; /* DDMID */
    DddValue value; /* length = element size, count = element count after array resolution */
};

struct DddWordList {
    WORD count;
    DddWordItem *items;
};

struct DddPlacementItem { /* 518 */
    ModelRecord head;
    WORD x;
    WORD y;
    DddWordItem imageId; /* kind 12 */
};

struct DddPair { /* 519 */
    ModelRecord head;
    WORD first;
    WORD second;
};

struct DddTextItem { /* 520 */
    ModelRecord head;
    LPWSTR text;
    DWORD length; /* bytes, terminator included; 0 without text */
};

struct DddConditionItem { /* 521: the setting item (its head says 521) and the connector */
    DddSettingItem setting;
    BYTE connector;
};

struct DddImageBlob { /* 522, built in memory */
    ModelRecord head;
    WORD length;
    BYTE *data;
};

struct DddOptionDetails { /* 523, built in memory */
    ModelRecord head;
    LPWSTR name;
    void *value;
    WORD valueType;
    DddImageBlob *image;
};

struct DddTripleItem { /* 526 */
    ModelRecord head;
    WORD first;
    WORD second;
    WORD third;
};

struct DddTypedItem { /* 527 */
    ModelRecord head;
    DddValue value;
};

struct DddConditionList {
    WORD count;
    DddConditionItem *items;
};
struct DddSettingList {
    WORD count;
    DddSettingItem *items;
};
struct DddTextList {
    WORD count;
    DddTextItem *items;
};
struct DddTripleList {
    WORD count;
    DddTripleItem *items;
};
struct DddTypedList {
    WORD count;
    DddTypedItem *items;
};

/* A text kept in a record: the string and its byte length (0 without text). */
struct DddText {
    LPWSTR text;
    DWORD length;
};

/* --- Records by kind --------------------------------------------------- */

struct DddHeaderInfo { /* 1 */
    ModelRecord head;
    LPWSTR title;
    LPWSTR modelName;
    LPWSTR companionName;
    WORD versionA;
    WORD versionB;
    WORD versionC;
    DWORD formatVersion;
};

struct DddFeatureRecord { /* 3, 4 */
    ModelRecord head;
    DddText name;
    WORD uiKind;
    WORD defaultOption;        /* 1-based position in the option list */
    DddWordItem value;
    DddWordList options;       /* identifiers of the options (kind 13 or 14) */
    DddWordList forwardRules;  /* record numbers of forward rules (kind 7) */
    DddWordList reverseRules;  /* record numbers of reverse rules (kind 8) */
    DddWordItem optionImage;   /* kind 18; 0 = none */
    DddText secondText;        /* format 1,024 */
};

struct DddTrayRecord { /* 5, 6 */
    ModelRecord head;
    DddText name;
    WORD dimensionId;          /* kind 17 */
    DddPair customMin;         /* smallest custom paper (width, length), 0.1 mm */
    DddPair customMax;         /* largest custom paper */
    WORD mediaSource;
    DddWordList paperCodes;
    DddWordList paperCodeIds;  /* one code per entry of paperCodes */
    BYTE extraByte;            /* format 512 */
    DddText secondText;        /* format 1,024 */
};

struct DddRuleRecord { /* 7, 8 */
    ModelRecord head;
    DddSettingItem condition;
    WORD flags;
    DddText text;
    DddConditionList involved;
    DddSettingList actions;
};

struct DddPictureRecord { /* 9 */
    ModelRecord head;
    DddConditionList conditions;
    DddPlacementItem placement;
};

struct DddPaperRecord { /* 10 */
    ModelRecord head;
    DddText name;
    WORD value8;               /* 8-bit value, kept 16-bit */
    WORD sizeId;               /* kind 17 records */
    WORD extentsId;
    WORD marginsId;
    WORD mediaCode;
    WORD value2;
    BYTE extraByte;            /* format 512 */
    WORD fourthId;             /* format 512; 0 = none */
    WORD attribute;            /* format 1,280 */
    DddPair size;              /* width, length */
    DddPair sizeAlt;
    DddPair minExtent;
    DddPair maxExtent;
    DddPair margins1;          /* left, bottom */
    DddPair margins2;          /* right, top */
    DddPair fourth1;
    DddPair fourth2;
};

struct DddDeviceFontRecord { /* 11 */
    ModelRecord head;
    DddText name;
    DddText secondText;
    DddTextList aliases;
    DddTextList aliases2;
    BYTE *metrics;             /* full parse mode only */
    DWORD metricsSize;
    WORD attribute;
    DddTypedList items;        /* format 1,024 */
};

struct DddImageRecord { /* 12 */
    ModelRecord head;
    BYTE format;
    WORD value1;
    WORD value2;
    BYTE *data;                /* picture data (packed DIB), full parse mode only */
    DWORD dataSize;
};

struct DddOptionRecord { /* 13, 14 */
    ModelRecord head;
    DddText name;
    WORD targetKind;
    DddWordItem target;
    DddWordItem value;         /* full parse mode only */
    DddWordList forwardRules;  /* full parse mode only */
    DddWordList reverseRules;  /* full parse mode only */
    DddValue setting;          /* the option's setting value */
    DddWordItem optionImage;   /* kind 18 */
};

struct DddJobLineRecord { /* 15 */
    ModelRecord head;
    WORD settingId;            /* 0: the fixed value is written */
    DddConditionList conditions;
    DddText command;
    DddText fixedValue;
    WORD attribute;            /* format 1,280 */
};

struct DddDataBlockRecord { /* 16 */
    ModelRecord head;
    DddConditionList conditions;
    BYTE value1;
    BYTE value2;
    WORD length;
    BYTE *data;
};

struct DddDimensionRecord { /* 17 */
    ModelRecord head;
    DddPair first;
    DddPair second;
};

struct DddOptionImageRecord { /* 18 */
    ModelRecord head;
    DddImageBlob blob;
};

struct DddFlagRecord { /* 19, from format 512 */
    ModelRecord head;
    DddText text;
    BYTE flag;
    DddText secondText;        /* format 1,024 */
};

struct DddValueArrayRecord { /* 20 */
    ModelRecord head;
    WORD value;
    BYTE elementType;
    WORD elementSize;
    WORD count;
    const BYTE *elements;      /* points into the loaded file */
};

struct DddPresetSetting {
    WORD settingId;
    DddValue value;
};

struct DddPresetRecord { /* 21 */
    ModelRecord head;
    DddText name;
    WORD count;
    DddPresetSetting *settings;
};

struct DddDeviceConfigRecord { /* 22 */
    ModelRecord head;
    WORD group;
    WORD settingId;
    BYTE valueType;
    WORD valueSize;            /* 4 when the value type is 1 */
    BYTE sourceKind;
    WORD attribute;
    WORD elementIndex;
    DddTextList texts;
    DddTypedList items;
};

struct DddTripleTableRecord { /* 23 */
    ModelRecord head;
    DddConditionList conditions;
    DddTripleList triples;
};

/* --- Allocation, parsing, fetching, freeing ---------------------------- */

/* Zero-filled record of a kind with kind and reader link set; null for a kind without a record or out of memory. */
ModelRecord *DDD_AllocRecord(ModelFileReader *reader, WORD kind);

/*
 * Parses the record of `kind` at the position of `reader` (which holds it)
 * into a new record.  `main` and `companion` are the pair (dimension
 * records are fetched through the main file's directory).  On failure no
 * record is returned.
 */
WORD DDD_ParseRecord(int mode, ModelFileReader *reader, ModelFileReader *main, ModelFileReader *companion,
                     WORD kind, ModelRecord **out);

/* The kind parsers (same arguments as DDD_ParseRecord). */
typedef WORD (*DddParser)(int mode, ModelFileReader *reader, ModelFileReader *main, ModelFileReader *companion,
                          WORD kind, ModelRecord **out);
WORD DDD_ParseFeature(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseTray(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseRule(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParsePicture(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParsePaper(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseDeviceFont(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseImage(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseOption(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseJobLine(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseDataBlock(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseDimensions(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseOptionImage(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseFlagRecord(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseValueArray(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParsePreset(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseDeviceConfig(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);
WORD DDD_ParseTripleTable(int, ModelFileReader *, ModelFileReader *, ModelFileReader *, WORD, ModelRecord **);

/* Reads a setting item at the position into `item` (head filled). */
WORD DDD_ReadSettingItem(ModelFileReader *reader, DddSettingItem *item);
/* Reads a list {32-bit byte length, 16-bit count, items} of an item kind; count 0: no items, 0. */
WORD DDD_ReadList(WORD itemKind, ModelFileReader *reader, WORD *count, void **items);

/*
 * Fetches a record by identifier through the main file's directory (option
 * number above 0: option n of feature `id`, parsed as kind 13 or 14).  The
 * record's file selector is set.  Free it with DDD_FreeRecord.
 */
WORD DDD_FetchRecord(int mode, ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD id,
                     WORD optionNumber, ModelRecord **out);
WORD DDD_GetRecordById(int mode, ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD id,
                       WORD optionNumber, ModelRecord **out);
/* Record number n (1-based) of a kind; n 0: 1. */
WORD DDD_GetRecordByIndex(int mode, ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD n,
                          ModelRecord **out);
/* The two pairs of dimension record `id` (kind 17). */
WORD DDD_GetDimensionPairs(ModelFileReader *main, ModelFileReader *companion, WORD id, DddPair *first,
                           DddPair *second);

/*
 * Frees a record and everything it owns, by kind, and clears *record.
 * kind -1: the record's own kind; kind 0: a plain block (a text or value
 * handed out by the reader).  Returns 0 when freed; 1 when *record is null
 * or its kind is not `kind` (nothing freed then; the pointer is cleared
 * whenever it was not null).
 */
WORD DDD_FreeRecord(void **record, int kind);
template <typename T>
inline WORD DDD_FreeRecord(T **record, int kind)
{
    void *p = *record;
    WORD r = DDD_FreeRecord(&p, kind);
    *record = static_cast<T *>(p);
    return r;
}

/* --- Accessors --------------------------------------------------------- */

/* The name of a record of kinds 3-6, 10, 11, 13, 14; null for other kinds. */
LPCWSTR DDD_GetRecordName(const ModelRecord *record);
/* New copy of the name of a record (kinds 3-6, 10, 11) or of option n of a feature, read in place; empty: 2. */
WORD DDD_GetRecordOrOptionName(ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD id, WORD n,
                               LPWSTR *out);
/* Option n (1-based) of a feature, or with takeDefault its default option; out kind 13 or 14. */
WORD DDD_GetFeatureOption(int mode, BOOL takeDefault, ModelFileReader *main, ModelFileReader *companion,
                          const ModelRecord *feature, WORD n, WORD *kind, ModelRecord **out);
/* The record an option stands for (its target kind and identifier), and its kind. */
WORD DDD_GetOptionTarget(int mode, ModelFileReader *main, ModelFileReader *companion, const ModelRecord *option,
                         WORD *kind, ModelRecord **out);
/* A new image blob (kind 522) copied from the option image of a feature or option; no image: 2. */
WORD DDD_GetOptionImage(ModelFileReader *main, ModelFileReader *companion, const ModelRecord *record,
                        DddImageBlob **out);
/* The 16-bit attribute of kinds 10, 15 (format 1,280), 11 (256), 22 (4,096); else 1. */
WORD DDD_GetRecordAttribute(const ModelRecord *record, WORD *attribute);
/* x, y and the picture data of a picture's image (a new block; free with DDD_FreeRecord(&p, 0)); no image: 2. */
WORD DDD_GetPictureImage(ModelFileReader *main, ModelFileReader *companion, const ModelRecord *picture, WORD *x,
                         WORD *y, BYTE **data, DWORD *size);
/* Picture data of the image named by header entry 1 or 40 (a new block), or null; the image's two values. */
BYTE *DDD_GetHeaderImage(ModelFileReader *main, ModelFileReader *companion, WORD entry, WORD *value1,
                         WORD *value2, DWORD *size);
/* Smallest and largest custom size of a tray (kinds 5, 6); null for other kinds. */
const DddPair *DDD_GetDimPairA(const ModelRecord *tray);
const DddPair *DDD_GetDimPairB(const ModelRecord *tray);
/* Entry n (1-based) of a tray's first list, value of entry n of its second list; past the count: 2. */
WORD DDD_GetListEntry(const ModelRecord *tray, WORD n, WORD *entry);
WORD DDD_GetListEntryId(const ModelRecord *tray, WORD n, WORD *id);
/* Paper pairs (kind 10); null for other kinds. */
const DddPair *DDD_PaperSize(const ModelRecord *paper);
const DddPair *DDD_PaperSizeAlt(const ModelRecord *paper);
const DddPair *DDD_PaperMinExtent(const ModelRecord *paper);
const DddPair *DDD_PaperMaxExtent(const ModelRecord *paper);
WORD DDD_PaperMargins(const ModelRecord *paper, DddPair *first, DddPair *second);
/* Alias n (1-based) of a device font; past the count: 2. */
WORD DDD_DeviceFontGetAlias(const ModelRecord *font, WORD n, LPCWSTR *alias);
/* The metrics block of a device font (null in partial mode or for other kinds). */
const BYTE *DDD_DeviceFontGetMetrics(const ModelRecord *font);
DWORD DDD_DeviceFontGetMetricsSize(const ModelRecord *font);
/* Typed items of kinds 11 and 22. */
WORD DDD_GetItemCount(const ModelRecord *record, WORD *count);
/* Item n (1-based): length, type, value (type 6: the string); n 0 or past the count: 0 with nothing filled. */
WORD DDD_GetItem(const ModelRecord *record, WORD n, DWORD *length, WORD *type, const void **value);
LPCWSTR DDD_JobLineGetCommand(const ModelRecord *line);
LPCWSTR DDD_JobLineGetFixedValue(const ModelRecord *line);
/* The flag of a kind-19 record (format 512). */
WORD DDD_GetKind19Flag(const ModelRecord *record, BYTE *flag);
/* Preset settings (format 768). */
WORD DDD_PresetCount(const ModelRecord *preset, WORD *count);
WORD DDD_PresetGetSetting(const ModelRecord *preset, WORD n, WORD *settingId, WORD *type, DWORD *length,
                          const void **value);
/* Text item n (1-based) of a device-configuration record. */
WORD DDD_DevCfgGetText(const ModelRecord *record, WORD n, LPCWSTR *text);
/* Media source of a tray (kind 5); the format-512 byte of kinds 5 and 6. */
WORD DDD_TrayMediaSource(const ModelRecord *tray, WORD *source);
WORD DDD_TrayExtraByte(const ModelRecord *tray, BYTE *value);
/* Media code of a paper (0 for other kinds); its format-512 value and fourth pairs. */
WORD DDD_PaperMediaCode(const ModelRecord *paper);
WORD DDD_PaperSizePairs(const ModelRecord *paper, BYTE *value, DddPair *first, DddPair *second);

/*
 * Replaces a setting or condition item's value of type 128 (the number of a
 * value-array record in the same file as the item) by the array: type =
 * element type, length = element size, count = element count; elements of
 * types 1 and 10 are widened to 32-bit numbers in a new owned block.  Other
 * value types are left alone.
 */
WORD DDD_ResolveValueArray(ModelFileReader *reader, DddSettingItem *item);

/* The bit of a device-option identifier in header entry 12 (0 for other identifiers). */
DWORD DDD_OptionMaskBit(WORD id);
/* 0 when the identifier's bit is set in header entry 12; 1 when clear or for any other identifier. */
WORD DDD_TestOptionMaskBit(ModelFileReader *main, ModelFileReader *companion, WORD id);

#endif /* TARVEL_MODEL_RECORDS_H */
