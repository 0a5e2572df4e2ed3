/*
 * Model data writer: builds model data files (".DDD") and their companion
 * files from C++ descriptions.  The tests use it to build files case by
 * case; the `modelwriter` command uses it to write the standard models of
 * models/ into the driver directory.
 *
 * The writer lays files out with the same header-entry table and directory
 * order as the reader (tarvel/model_data/model_format.h).  Before writing it checks the
 * readings this project gives the points the format leaves open (see
 * mw::check) and refuses a model that breaks them; tests that need a broken
 * file build it with checking off or edit the bytes afterwards.
 *
 * Everything here is plain C++ for build tools and tests: no exceptions are
 * thrown, failures come back as false with a message.
 */
#ifndef MODELWRITER_MODEL_WRITER_H
#define MODELWRITER_MODEL_WRITER_H

#include <plat/types.h>
#include <tarvel/model_data/model_format.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mw {

using Bytes = std::vector<BYTE>;

/* The body of a text field (its 16-bit length is written with it). */
struct Text {
    Bytes body;
};
/* No text (length 0). */
Text noText();
/* Stored text: the ANSI bytes and a terminator, every byte inverted. */
Text stored(std::string_view ansi);
/*
 * A reference to string `id` of the string module of `selector`.  The field
 * starts with `fallback` as stored text (with its terminator), which is what
 * a reader shows while the module cannot be loaded; then the selector, the
 * identifier and a 0 byte.
 */
Text reference(WORD selector, WORD id, std::string_view fallback = {});
/* A text field body exactly as given. */
Text rawText(Bytes body);

/* A typed value: type and data (length 0: no value). */
struct Value {
    BYTE type = 0;
    Bytes data;
};
Value vNone(BYTE type);
Value vFlag(bool on);
Value vShort(int16_t v);
Value vUShort(WORD v);
Value vLong(int32_t v);
Value vULong(DWORD v);
Value vString(const Text &text);
Value vFloat(float v);
Value vByte(BYTE v);
Value vMember(int32_t v);
Value vArrayRef(WORD row); /* record number of a value array in the same file */

struct Setting {
    WORD number = 0;
    BYTE op = 0;
    WORD settingId = 0;
    Value value;
};
struct Condition {
    Setting setting;
    BYTE connector = 0;
};
struct Triple {
    WORD first = 0, second = 0, third = 0;
};

/* Records by kind, fields in file order (the head {32-bit, id} is added). */
struct Feature { /* kinds 3, 4 */
    WORD id = 0;
    Text name;
    BYTE uiKind = 0;
    WORD defaultOption = 0;
    WORD value = 0;
    std::vector<WORD> options;      /* option identifiers (kinds 13, 14) */
    std::vector<WORD> forwardRules; /* record numbers in kind 7 */
    std::vector<WORD> reverseRules; /* record numbers in kind 8 */
    WORD optionImage = 0;
    Text secondText;                /* format 1,024 */
};
struct Tray { /* kinds 5, 6 */
    WORD id = 0;
    Text name;
    WORD dimensionId = 0;
    WORD mediaSource = 0;
    std::vector<WORD> paperCodes;
    std::vector<WORD> paperCodeIds;
    BYTE extraByte = 0;             /* format 512 */
    Text secondText;                /* format 1,024 */
};
struct Rule { /* kinds 7, 8 */
    WORD id = 0;
    Setting condition;
    WORD flags = 0;
    Text text;
    std::vector<Condition> involved;
    std::vector<Setting> actions;
};
struct Picture { /* kind 9 */
    WORD id = 0;
    std::vector<Condition> conditions;
    WORD x = 0, y = 0, imageId = 0;
};
struct Paper { /* kind 10 */
    WORD id = 0;
    Text name;
    BYTE value8 = 0;
    WORD sizeId = 0, extentsId = 0, marginsId = 0;
    WORD mediaCode = 0;
    WORD value2 = 0;
    BYTE extraByte = 0;             /* format 512 */
    WORD fourthId = 0;              /* format 512 */
    WORD attribute = 0;             /* format 1,280 */
};
struct DeviceFont { /* kind 11 */
    WORD id = 0;
    Text name;
    Text secondText;
    std::vector<Text> aliases;
    std::vector<Text> aliases2;
    Bytes skipped;
    Bytes metrics;
    WORD attribute = 0;
    std::vector<Value> items;       /* format 1,024 */
};
struct Image { /* kind 12 */
    WORD id = 0;
    BYTE format = 1;
    WORD value1 = 0, value2 = 0;
    Bytes skipped;
    Bytes data;                     /* picture data (packed DIB); a 14-byte file header is written before it */
};
struct Option { /* kinds 13, 14 */
    WORD id = 0;
    Text name;
    WORD targetKind = 0;
    WORD targetId = 0;
    WORD value = 0;
    std::vector<WORD> forwardRules;
    std::vector<WORD> reverseRules;
    Value setting;
    WORD optionImage = 0;
};
struct JobLine { /* kind 15 */
    WORD id = 0;
    WORD settingId = 0;
    std::vector<Condition> conditions;
    Text command;
    Text fixedValue;
    WORD attribute = 0;             /* format 1,280 */
};
struct DataBlock { /* kind 16 */
    WORD id = 0;
    std::vector<Condition> conditions;
    BYTE value1 = 0, value2 = 0;
    Bytes data;
};
struct Dimensions { /* kind 17 */
    WORD id = 0;
    WORD a = 0, b = 0, c = 0, d = 0;
};
struct OptionImage { /* kind 18 */
    WORD id = 0;
    Bytes data;
};
struct FlagRecord { /* kind 19, format 512 */
    WORD id = 0;
    Text text;
    BYTE flag = 0;
    Text secondText;                /* format 1,024 */
};
struct ValueArray { /* kind 20 */
    WORD id = 0;
    WORD value = 0;
    BYTE elementType = 0;
    WORD elementSize = 0;
    WORD count = 0;
    Bytes elements;                 /* count x elementSize bytes */
};
struct Preset { /* kind 21 */
    WORD id = 0;
    Text name;
    std::vector<std::pair<WORD, Value>> settings;
};
struct DeviceConfig { /* kind 22 */
    WORD id = 0;
    WORD group = 0, settingId = 0;
    BYTE valueType = 0;
    WORD valueSize = 0;
    BYTE sourceKind = 0;
    WORD attribute = 0;
    WORD elementIndex = 0;
    std::vector<Text> texts;
    std::vector<Value> items;
};
struct TripleTable { /* kind 23 */
    WORD id = 0;
    std::vector<Condition> conditions;
    std::vector<Triple> triples;
};

/* A record encoded for one data format version, and what it refers to. */
struct Record {
    WORD kind = 0;
    WORD id = 0;
    bool inCompanion = false;
    Bytes body;                                   /* the fields after {32-bit, id} */
    std::vector<std::pair<WORD, WORD>> idRefs;    /* (kind, identifier) that must exist */
    std::vector<std::pair<WORD, WORD>> rowRefs;   /* (kind, record number) that must exist */
    std::vector<WORD> arrayRows;                  /* value arrays that must lie in this record's file */
};

Record encode(WORD kind, const Feature &r, DWORD version);
Record encode(WORD kind, const Tray &r, DWORD version);
Record encode(WORD kind, const Rule &r, DWORD version);
Record encode(const Picture &r, DWORD version);
Record encode(const Paper &r, DWORD version);
Record encode(const DeviceFont &r, DWORD version);
Record encode(const Image &r, DWORD version);
Record encode(WORD kind, const Option &r, DWORD version);
Record encode(const JobLine &r, DWORD version);
Record encode(const DataBlock &r, DWORD version);
Record encode(const Dimensions &r, DWORD version);
Record encode(const OptionImage &r, DWORD version);
Record encode(const FlagRecord &r, DWORD version);
Record encode(const ValueArray &r, DWORD version);
Record encode(const Preset &r, DWORD version);
Record encode(const DeviceConfig &r, DWORD version);
Record encode(const TripleTable &r, DWORD version);

/* One header entry: its items (each item's bytes; text items are text field bodies). */
struct Entry {
    std::vector<Bytes> items;
};
Entry eU8(BYTE v);
Entry eU16(WORD v);
Entry eU32(DWORD v);
Entry eText(const Text &t);
Entry eU8s(const std::vector<BYTE> &v);
Entry eU16s(const std::vector<WORD> &v);
Entry eU32s(const std::vector<DWORD> &v);
Entry eTexts(const std::vector<Text> &v);

/* Header and entries 1-41 of one file (entry 0 is computed). */
struct FileHead {
    std::string title;
    std::string versionText;        /* "...:a.b.c" */
    std::string modelName;
    std::array<std::optional<Entry>, DDD_ENTRY_COUNT> entries;
};

struct Model {
    std::string fileName;           /* main file name, e.g. "TARVEL1.DDD" */
    std::string companionName;      /* empty: no companion file */
    DWORD formatVersion = 0x1600;
    FileHead main;
    FileHead companion;
    std::vector<Record> records;    /* in table order per kind */

    /* Adds an encoded record (to the companion file when inCompanion). */
    Record &add(Record r, bool inCompanion = false);
    /*
     * Adds a feature and its options: the options get the next free
     * identifiers of kind 13 (feature kind 3) or 14, equal to their record
     * numbers, and the feature's option list names them.
     */
    void addFeature(WORD kind, Feature feature, std::vector<Option> options);
    /* Next identifier of a kind that equals its record number. */
    WORD nextRowId(WORD kind) const;
    WORD count(WORD kind) const;
};

/*
 * The open points of the format as this project reads them; a model that
 * breaks one is refused: option (13, 14) and rule (7, 8) identifiers equal
 * their record numbers; entries 1-41 all present in every file; entry 41 at
 * least the number of papers; entry 2 non-zero; entry 33 a non-empty text;
 * identifiers unique per kind; every reference (dimension records, options,
 * images, rules, value arrays in the same file) exists; kind 19 only from
 * format 512; a companion named when a record lives in it.
 * Returns the first problem, or an empty string.
 */
std::string check(const Model &model);

/* Lays out the main file and the companion file (empty when there is none). */
bool build(const Model &model, Bytes &mainFile, Bytes &companionFile, std::string &error, bool checked = true);

/* Writes the model's files into `dir`. */
bool writeFiles(const Model &model, const std::string &dir, std::string &error);

/* Little-endian helpers for hand-made bytes in tests. */
void putU8(Bytes &b, BYTE v);
void putU16(Bytes &b, WORD v);
void putU32(Bytes &b, DWORD v);

} // namespace mw

#endif /* MODELWRITER_MODEL_WRITER_H */
