/*
 * Inside the settings upgrade: the older private devmode layouts, and small
 * helpers over the data-manager binding that the PrinterData and devmode
 * conversions share.
 */
#ifndef TARVEL_UPG_PRIVATE_H
#define TARVEL_UPG_PRIVATE_H

#include <plat/memory.h>
#include <plat/types.h>

struct ModelContext;

/*
 * One field of an older devmode: where a setting sat (byte offset in the old
 * devmode) and as what type; `size` is the field's byte size for strings
 * (type 6) and font blocks (type 9), else 0.
 */
struct UpgLayoutRow {
    WORD id;
    WORD type;
    WORD offset;
    WORD size;
};

/* The fields a private version added, tagged with the first version that has them. */
struct UpgSubTable {
    WORD firstVersion;
    const UpgLayoutRow *rows;
    WORD count;
};

/*
 * A band of older private versions: a devmode of version v in [first, last]
 * holds the fields of every sub-table whose first version is at most v.
 */
struct UpgBand {
    WORD first;
    WORD last;
    const UpgSubTable *tables;
    WORD count;
};

inline constexpr int UPG_BAND_COUNT = 2;
extern const UpgBand UpgOldLayoutBands[UPG_BAND_COUNT];

/* The band holding private version `version`, or null. */
const UpgBand *upg_FindBand(WORD version);

/*
 * UPG_ConvertDevmode of a devmode of which at most `limit` bytes may be read
 * (besides its own dmSize + dmDriverExtra), into the devmode part of `out`
 * (1,604 bytes).
 */
int upg_ConvertDevmodeBounded(const void *devmode, DWORD limit, void *out, LPCWSTR printerName,
                              ModelContext *context);

/* A zero-filled GlobalAlloc block (null when memory runs out), freed at the end of the scope. */
struct UpgBlock {
    BYTE *p;
    explicit UpgBlock(DWORD size) : p(static_cast<BYTE *>(GlobalAlloc(GPTR, size))) {}
    ~UpgBlock() { GlobalFree(p); }
    UpgBlock(const UpgBlock &) = delete;
    UpgBlock &operator=(const UpgBlock &) = delete;
};

/* Model kinds (setting 5137): the family is kind & 0xFFF0. */
inline constexpr WORD upg_Family(WORD kind) { return WORD(kind & 0xFFF0); }

/* Reads setting `id` as an unsigned number into *value; false when it cannot be read or is no number. */
bool upg_GetNumber(WORD id, void *devmode, void *printerData, DWORD *value);

/*
 * Writes `value` to setting `id` with the type and size the setting reads
 * as (so a byte setting takes the low byte, a flag is set when non-zero).
 * False when the setting cannot be read or written.
 */
bool upg_SetNumber(WORD id, void *devmode, void *printerData, DWORD value);

/*
 * Writes the string of at most `bytes` bytes at `text` (cut at the first
 * NUL; it need not have one) to string setting `id`.  False when the write
 * fails.
 */
bool upg_SetString(WORD id, void *devmode, void *printerData, const BYTE *text, DWORD bytes);

/* FID_ResetToDefault as a bool. */
bool upg_Reset(ModelContext *context, void *devmode, void *printerData, WORD id);

/* A fresh PrinterData record of defaults for "DummyName" in `printerData`; false when they cannot be made. */
bool upg_DefaultPrinterData(ModelContext *context, void *printerData);

#endif /* TARVEL_UPG_PRIVATE_H */
