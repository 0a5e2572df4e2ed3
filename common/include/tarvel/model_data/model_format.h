/*
 * Layout of the model data file (".DDD") and its companion file, shared by
 * the reader in the common library and the model data writer in tools/.
 * Both include this one header so that the header-entry table, the
 * directory's kind order and the field offsets cannot drift apart.
 *
 * Everything here is constant data; nothing is allocated or read.
 */
#ifndef TARVEL_MODEL_FORMAT_H
#define TARVEL_MODEL_FORMAT_H

#include <plat/types.h>

#include <array>

/* File header: 224 bytes at the start of every file. */
constexpr DWORD DDD_HDR_TITLE = 0;          /* 64 bytes, ANSI, NUL-padded */
constexpr DWORD DDD_HDR_TITLE_SIZE = 64;
constexpr DWORD DDD_HDR_VERSION = 64;       /* 24 bytes, ANSI ("...:a.b.c") */
constexpr DWORD DDD_HDR_VERSION_SIZE = 24;
constexpr DWORD DDD_HDR_UNUSED = 88;        /* 4 bytes, not interpreted */
constexpr DWORD DDD_HDR_FORMAT = 92;        /* data format version, big-endian */
constexpr DWORD DDD_HDR_MODEL = 96;         /* 64 bytes, ANSI, NUL-padded */
constexpr DWORD DDD_HDR_MODEL_SIZE = 64;
constexpr DWORD DDD_HDR_COMPANION = 160;    /* 64 bytes, ANSI; empty = none */
constexpr DWORD DDD_HDR_COMPANION_SIZE = 64;
constexpr DWORD DDD_HDR_SIZE = 224;         /* header entries start here */

/* Directory head: a 32-bit and a 16-bit value, then one 7-byte row per kind. */
constexpr DWORD DDD_DIR_HEAD_SIZE = 6;
constexpr DWORD DDD_DIR_ROW_SIZE = 7;       /* 3 bytes not interpreted, 32-bit table offset */
constexpr DWORD DDD_TABLE_HEAD_SIZE = 6;    /* 32-bit value, 16-bit record count */
constexpr DWORD DDD_TABLE_ROW_SIZE = 7;     /* 8-bit selector, 16-bit id, 32-bit offset */
constexpr DWORD DDD_RECORD_HEAD_SIZE = 6;   /* 32-bit value, 16-bit record id */

/* File selector of a record table row and of a parsed record. */
constexpr BYTE DDD_SEL_MAIN = 2;
constexpr BYTE DDD_SEL_COMPANION = 1;

/* The record kinds that have a directory row, in the directory's order. */
constexpr std::array<WORD, 21> kDddDirectoryKinds = {3, 4, 5, 6, 17, 7, 8, 9, 10, 11, 12,
                                                     13, 14, 15, 16, 18, 19, 20, 21, 22, 23};

/* Record kinds. */
enum DddKind : WORD {
    DDD_KIND_HEADER = 1,
    DDD_KIND_DEVICE_FEATURE = 3,
    DDD_KIND_DOCUMENT_FEATURE = 4,
    DDD_KIND_TRAY = 5,
    DDD_KIND_TRAY2 = 6,
    DDD_KIND_RULE = 7,
    DDD_KIND_REVERSE_RULE = 8,
    DDD_KIND_PICTURE = 9,
    DDD_KIND_PAPER = 10,
    DDD_KIND_DEVICE_FONT = 11,
    DDD_KIND_IMAGE = 12,
    DDD_KIND_DEVICE_OPTION = 13,
    DDD_KIND_DOCUMENT_OPTION = 14,
    DDD_KIND_JOB_LINE = 15,
    DDD_KIND_DATA_BLOCK = 16,
    DDD_KIND_DIMENSIONS = 17,
    DDD_KIND_OPTION_IMAGE = 18,
    DDD_KIND_FLAG_RECORD = 19,
    DDD_KIND_VALUE_ARRAY = 20,
    DDD_KIND_PRESET = 21,
    DDD_KIND_DEVICE_CONFIG = 22,
    DDD_KIND_TRIPLE_TABLE = 23,
};

/* Item kinds (records inside lists and fields). */
enum DddItemKind : WORD {
    DDD_ITEM_WORD = 515,
    DDD_ITEM_SETTING = 517,
    DDD_ITEM_PLACEMENT = 518,
    DDD_ITEM_PAIR = 519,
    DDD_ITEM_TEXT = 520,
    DDD_ITEM_CONDITION = 521,
    DDD_ITEM_IMAGE_BLOB = 522,   /* built in memory only */
    DDD_ITEM_OPTION_DETAILS = 523, /* built in memory only */
    DDD_ITEM_TRIPLE = 526,
    DDD_ITEM_TYPED = 527,
};

/* Value types of typed values (the settings' types, plus the array reference). */
enum DddValueType : BYTE {
    DDD_VT_FLAG = 1,
    DDD_VT_SHORT = 2,
    DDD_VT_USHORT = 3,
    DDD_VT_LONG = 4,
    DDD_VT_ULONG = 5,
    DDD_VT_STRING = 6,
    DDD_VT_FLOAT = 7,
    DDD_VT_BYTE = 8,
    DDD_VT_MEMBER = 10,
    DDD_VT_ARRAY_REF = 128,
};

/* Data format versions at which fields or accessors appear. */
constexpr DWORD DDD_GATE_256 = 256;     /* device-font attribute accessor */
constexpr DWORD DDD_GATE_512 = 512;     /* tray byte, paper fourth dimensions, kind 19 */
constexpr DWORD DDD_GATE_768 = 768;     /* presets */
constexpr DWORD DDD_GATE_1024 = 1024;   /* second texts, device-font typed items */
constexpr DWORD DDD_GATE_1280 = 1280;   /* paper and job-line attributes */
constexpr DWORD DDD_GATE_4096 = 4096;   /* device-configuration attribute accessor */
constexpr DWORD DDD_GATE_0x1600 = 0x1600; /* capability words 1 and 2 (entry 39) */

/*
 * Header entries 0-41, in file order.  count 0: a 16-bit count is stored
 * before the items; size 0: every item is preceded by its own 16-bit size
 * (such items that are texts are text fields).  The table ends with the
 * end marker, identifier 42.
 */
struct DddHeaderEntryRow {
    WORD id;
    WORD count;
    WORD itemSize;
};

constexpr WORD DDD_ENTRY_END = 42;
constexpr WORD DDD_ENTRY_COUNT = 42; /* entries 0-41 */

constexpr std::array<DddHeaderEntryRow, 43> kDddHeaderEntries = {{
    {0, 1, 4},  {1, 1, 2},  {2, 1, 4},  {3, 0, 2},  {4, 1, 2},  {5, 1, 1},  {6, 1, 4},
    {7, 1, 1},  {8, 1, 4},  {9, 1, 4},  {10, 1, 2}, {11, 1, 4}, {12, 1, 4}, {13, 1, 0},
    {14, 0, 1}, {15, 1, 4}, {16, 1, 2}, {17, 1, 0}, {18, 1, 0}, {19, 1, 0}, {20, 1, 0},
    {21, 1, 0}, {22, 1, 0}, {23, 1, 1}, {24, 1, 2}, {25, 1, 2}, {26, 1, 4}, {27, 0, 2},
    {28, 0, 0}, {29, 1, 0}, {30, 1, 0}, {31, 1, 0}, {32, 1, 0}, {33, 1, 0}, {34, 0, 2},
    {35, 0, 0}, {36, 0, 0}, {37, 1, 0}, {38, 1, 0}, {39, 0, 4}, {40, 1, 2}, {41, 1, 2},
    {DDD_ENTRY_END, 0, 0},
}};

static_assert(kDddHeaderEntries[41].id == 41 && kDddHeaderEntries[42].id == DDD_ENTRY_END,
              "entry table rows are in identifier order");

/* Header entries with a meaning of their own. */
constexpr WORD DDD_ENTRY_LENGTH = 0;          /* byte length L of entries 1-41 */
constexpr WORD DDD_ENTRY_PICTURE1 = 1;
constexpr WORD DDD_ENTRY_JOB_HEADER = 2;
constexpr WORD DDD_ENTRY_OPTION_MASK = 12;
constexpr WORD DDD_ENTRY_REGISTRY_KEY0 = 30;
constexpr WORD DDD_ENTRY_REGISTRY_KEY1 = 33;
constexpr WORD DDD_ENTRY_STRING_MODULES = 35;
constexpr WORD DDD_ENTRY_MODEL_TEXTS = 36;
constexpr WORD DDD_ENTRY_PICTURE2 = 40;
constexpr WORD DDD_ENTRY_PAPER_CAPACITY = 41;

#endif /* TARVEL_MODEL_FORMAT_H */
