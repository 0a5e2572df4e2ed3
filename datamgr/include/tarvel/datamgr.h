/*
 * Exports of the settings data manager (libtarveldm.so, and libtarveldm32.so
 * in 32-bit processes): read or write one driver setting, addressed by its
 * DDMID, inside settings records the caller owns (dma_GetValue,
 * dma_SetValue); and the public DMA_ functions that outside tools call with
 * public identifiers (DMAID) and a DmaContext.  The libraries that use it
 * load it at run time and bind these names; they include this header for the
 * status codes, records and entry-point types.  Depends only on plat/types.h.
 */
#ifndef TARVEL_DATAMGR_H
#define TARVEL_DATAMGR_H

#include "plat/types.h"

/* Setting access status (a 16-bit value; bits may be tested singly). */
inline constexpr WORD DMA_OK = 0;          /* done */
inline constexpr WORD DMA_ERR_RANGE = 1;   /* identifier in no group of the layout table */
inline constexpr WORD DMA_ERR_TYPE = 2;    /* caller's type is neither the stored nor the reported type */
inline constexpr WORD DMA_ERR_LENGTH = 4;  /* string or block too long for its field or the caller's size */
inline constexpr WORD DMA_ERR_SIZE = 8;    /* caller's size does not match a numeric type */
inline constexpr WORD DMA_ERR_FAIL = 16;   /* not a setting, record or pointer missing, derived step failed */

#define TARVELDM_API extern "C" __attribute__((visibility("default")))

/*
 * dma_GetValue: reads setting `id`.
 *   devmode      in: the driver devmode; for extension-block settings the
 *                    whole settings image (may be null for other settings)
 *   printerData  in: the printer-data record (may be null for other settings)
 *   type         out: the type the value is handed out as
 *   size         out: its size in bytes; for strings the length in bytes
 *                     with the terminating NUL (never more than the field),
 *                     for LOGFONTW blocks 92
 *   slot8        out: 8-byte value slot, little-endian, zero-extended over
 *                     the size; for strings and blocks the field's byte
 *                     offset in its record (pointer-sized), not a pointer
 *   kind         out: record kind (0 devmode, 1 extension block, 2 printer
 *                     data), written as soon as the identifier's group is
 *                     known, also when the call then fails
 * Returns a DMA_ status.  On failure type, size and slot are left as they
 * were.  Nothing is allocated.
 */
TARVELDM_API WORD dma_GetValue(WORD id, void *devmode, void *printerData, WORD *type, LONG *size,
                               void *slot8, WORD *kind);

/*
 * dma_SetValue: writes setting `id` and the settings derived from it.
 *   type, size   in: the caller's value type (the stored or the reported
 *                    type) and the value's size in bytes
 *   value        in: the number (`size` bytes), or for strings and LOGFONTW
 *                    blocks a pointer to the string or block pointer
 * Returns a DMA_ status.  A failed check leaves the records unchanged; when
 * a derived setting cannot follow, the main write stays and the status says
 * why.  Nothing is allocated; the caller keeps its value.
 */
TARVELDM_API WORD dma_SetValue(WORD id, void *devmode, void *printerData, WORD type, LONG size,
                               const void *value);

/* Entry-point types, for binding the exports by name. */
typedef WORD (*DmaGetValueFn)(WORD, void *, void *, WORD *, LONG *, void *, WORD *);
typedef WORD (*DmaSetValueFn)(WORD, void *, void *, WORD, LONG, const void *);

/* ---- The public DMA_ functions ----------------------------------------- */

/*
 * Result of the DMA_ functions: a signed, pointer-sized integer (64-bit in
 * tarveldm, 32-bit in tarveldm32).
 */
typedef LONG_PTR DMARESULT;

inline constexpr DMARESULT DMAR_DONE = 1;
inline constexpr DMARESULT DMAR_UNMAPPED = -1;        /* identifier not in the map, or a special one the function refuses */
inline constexpr DMARESULT DMAR_STRING_ID = -2;       /* a string identifier given to a number or font function */
inline constexpr DMARESULT DMAR_WRONG_KIND = -3;      /* not a string (string functions) or not a font (font functions) */
inline constexpr DMARESULT DMAR_BUFFER = -5;          /* buffer missing or too small */
inline constexpr DMARESULT DMAR_TOO_LONG = -6;        /* value too long for its field */
inline constexpr DMARESULT DMAR_FONT_ID = -7;         /* a font identifier given to a number or string function */
inline constexpr DMARESULT DMAR_FAIL = -10;           /* null argument, lookup, access or conversion failure */
inline constexpr DMARESULT DMAR_CREATE = -13;         /* document-property file cannot be created or opened */
inline constexpr DMARESULT DMAR_WRITE = -14;          /* document-property file cannot be written */
inline constexpr DMARESULT DMAR_READ = -15;           /* document-property file cannot be read */
inline constexpr DMARESULT DMAR_MALFORMED = -16;      /* document-property file malformed */
inline constexpr DMARESULT DMAR_CREATE_ONE_TIME = -17; /* one-time file cannot be created */
inline constexpr DMARESULT DMAR_WRITE_ONE_TIME = -18; /* one-time file cannot be written */
inline constexpr DMARESULT DMAR_BAD_KIND = -19;       /* data-list kind the function does not handle */
inline constexpr DMARESULT DMAR_NO_FAX_ENTRY = -20;   /* kind 5: no usable entry at the position */
inline constexpr DMARESULT DMAR_NO_MARGIN_ENTRY = -21; /* kind 4: no entry for the paper code */
inline constexpr DMARESULT DMAR_NO_ENTRY = -22;       /* kinds 2 and 3: no entry for the name */
inline constexpr DMARESULT DMAR_BAD_MODE = -23;       /* apply mode other than 0 and 1 */

/* Special public identifiers outside the map: the fax send list's two header texts. */
inline constexpr DWORD DMAID_FAX_HEADER_TEXT1 = 0xA001; /* at most 40 characters */
inline constexpr DWORD DMAID_FAX_HEADER_TEXT2 = 0xA002; /* at most 670 characters */

/* Kinds of DMA_QueryStructSize, DMA_EnumDMAID_ByTargetInfo and the data lists. */
inline constexpr DWORD DMA_KIND_SETTINGS = 1;    /* every setting (enumeration only) */
inline constexpr DWORD DMA_KIND_STAMP = 2;       /* stamp entries, 308 bytes, keyed by name (297) */
inline constexpr DWORD DMA_KIND_3 = 3;           /* entries of settings 1819-1823, 706 bytes, keyed by 1819 */
inline constexpr DWORD DMA_KIND_MARGIN = 4;      /* paper margin entries, 20 bytes, keyed by paper code */
inline constexpr DWORD DMA_KIND_FAX_ADDRESS = 5; /* fax address entries, 742 bytes, keyed by position */
inline constexpr DWORD DMA_KIND_FAX_HEADER = 6;  /* the fax send list header, 1,442 bytes */

/* Flag byte of a data-list entry. */
inline constexpr BYTE DMA_ENTRY_EMPTY = 0;
inline constexpr BYTE DMA_ENTRY_IN_USE = 1;
inline constexpr BYTE DMA_ENTRY_DELETED = 2;

/*
 * A data list: `count` entries of `entrySize` bytes each (at least the
 * kind's size; larger entries are a stride), one flag byte per entry.
 */
struct DmaDataList {
    DWORD count;
    DWORD entrySize;
    BYTE *flags;
    BYTE *entries;
};

/* The caller's records, passed to every DMA_ function that touches settings. */
struct DmaContext {
    BYTE reserved[264];      /* the caller's own */
    CHAR modelName[264];     /* ANSI, copied into the user setting information */
    BYTE *settingsImage;     /* devmode with the extension block behind it */
    BYTE *printerData;       /* the PrinterData record */
    void *reserved2;         /* the caller's own */
    BYTE *faxBlock;          /* the fax send list block ("DFAX001" header and entries) */
    DmaDataList faxAddresses; /* kind 5 */
    DmaDataList paperMargins; /* kind 4 */
    DmaDataList stamps;       /* kind 2 */
    DmaDataList kind3;        /* kind 3 */
};
static_assert(offsetof(DmaContext, settingsImage) == 528, "the caller's 528 bytes come first");
static_assert(offsetof(DmaContext, faxAddresses) == 528 + 4 * sizeof(void *), "four pointers, then the lists");
static_assert(sizeof(DmaDataList) == 8 + 2 * sizeof(void *), "count, entry size, two pointers");

/* One enumerated identifier. */
struct DmaIdInfo {
    DWORD id;    /* DMAID */
    DWORD flags; /* bit 0: a string, bit 1: a font block; other bits are the caller's */
};
inline constexpr DWORD DMA_ID_STRING = 0x1;
inline constexpr DWORD DMA_ID_BLOCK = 0x2;

/* A caller's buffer for one block of the document-property file. */
struct DmaBuffer {
    BYTE *data;
    DWORD size;
};
struct DmaDocPropBuffers {
    DmaBuffer extension; /* "NDEV001" header and the extension block */
    DmaBuffer jobInfo;   /* "TMBINFO" header and the job information */
    DmaBuffer faxList;   /* the fax send list block */
};

/* The 60-byte LOGFONTA the font functions take: the LOGFONTW layout with a 32-byte ANSI face name. */
inline constexpr DWORD DMA_LOGFONTA_SIZE = 60;

/* The key of a kind-5 data-list call: the 1-based position in the pointer's low 16 bits. */
#define DMA_POSITION_KEY(n) (reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(n))))

/*
 * Single values.  A number goes through a 32-bit value (numbers under their
 * reported type, zero-extended; flags as 0 or 1).
 */
TARVELDM_API DMARESULT DMA_GetValue(DmaContext *context, DWORD id, DWORD *value);
TARVELDM_API DMARESULT DMA_SetValue(DmaContext *context, DWORD id, DWORD value);

/*
 * Strings, ANSI on the caller's side.  *size counts bytes of the caller's
 * buffer.  DMA_GetStringData with a null buffer and *size 0 answers the
 * field's capacity in characters (-5); a buffer of at least that many bytes
 * takes the text, or -5 with the bytes needed in *size when the text needs
 * more (a double-byte code page).  Identifiers 0x9001-0x900A are write-only:
 * the text is scrambled and stored as Base64.  0xA001/0xA002 are the fax
 * send list's header texts.
 */
TARVELDM_API DMARESULT DMA_GetStringData(DmaContext *context, DWORD id, LPSTR buffer, DWORD *size);
TARVELDM_API DMARESULT DMA_SetStringData(DmaContext *context, DWORD id, LPCSTR text, DWORD length);
TARVELDM_API DMARESULT DMA_GetStringData_StrLength(DmaContext *context, DWORD id, LPSTR buffer, DWORD *size);
TARVELDM_API DMARESULT DMA_SetStringData_StrLength(DmaContext *context, DWORD id, LPCSTR text);

/* Fonts: `logFont` is a 60-byte LOGFONTA; sizes below 60 are refused (-5). */
TARVELDM_API DMARESULT DMA_GetLogFontData(DmaContext *context, DWORD id, void *logFont, DWORD *size);
TARVELDM_API DMARESULT DMA_SetLogFontData(DmaContext *context, DWORD id, const void *logFont, DWORD size);

/* The fax address count: the 16-bit count at byte 16 of the fax block, and setting 380. */
TARVELDM_API DMARESULT DMA_GetFaxAddressNum(const BYTE *faxBlock, WORD *count);
TARVELDM_API DMARESULT DMA_SetFaxAddressNum(DmaContext *context, LONG count, BOOL relative);

/* Bytes of a record of `kind` (2-6), 0 for another kind. */
TARVELDM_API DMARESULT DMA_QueryStructSize(DWORD kind);

/*
 * The public identifiers of every setting (kind 1) or of a data-list kind's
 * fields (2-5).  With `out`, at most *count entries are written (1, or -5
 * when more exist); without, only the count (-5).  *count becomes the number
 * found.
 */
TARVELDM_API DMARESULT DMA_EnumDMAID_ByTargetInfo(DmaContext *context, DWORD kind, WORD *count, DmaIdInfo *out);

/* The 1,324-byte user setting information (versions 1-3 accepted when set). */
TARVELDM_API DMARESULT DMA_GetUserSettingInfo(DmaContext *context, BYTE *buffer, DWORD *size);
TARVELDM_API DMARESULT DMA_SetUserSettingInfo(DmaContext *context, const BYTE *record);

/*
 * Data lists.  `key` is an ANSI name (kinds 2, 3), a paper code in decimal
 * (kind 4) or DMA_POSITION_KEY(position) (kind 5).  DMA_AccessibleData applies
 * an entry to the settings; DMA_DeleteData marks one deleted; DMA_ApplyData
 * takes the settings into the entry found by key (mode 0) or the last entry
 * (mode 1); DMA_GetNameFromInfo gives an entry's key as text.
 */
TARVELDM_API DMARESULT DMA_AccessibleData(DmaContext *context, DWORD kind, LPCSTR key);
TARVELDM_API DMARESULT DMA_DeleteData(DmaContext *context, DWORD kind, LPCSTR key);
TARVELDM_API DMARESULT DMA_ApplyData(DmaContext *context, DWORD kind, DWORD mode, LPCSTR key);
TARVELDM_API DMARESULT DMA_GetNameFromInfo(const BYTE *entry, DWORD kind, LPSTR buffer, DWORD *size);

/*
 * The document-property file: DMA_ExtractDocProp writes the three blocks to
 * the file named by setting 374, DMA_ExtractOneTime the fax list alone to the
 * file named by 375, DMA_ReplaceDocProp reads the file named by 374 into the
 * three buffers (-5 with the three sizes written back when one is short).
 */
TARVELDM_API DMARESULT DMA_ExtractDocProp(DmaContext *context, const DmaDocPropBuffers *buffers);
TARVELDM_API DMARESULT DMA_ExtractOneTime(DmaContext *context, const DmaDocPropBuffers *buffers);
TARVELDM_API DMARESULT DMA_ReplaceDocProp(DmaContext *context, DmaDocPropBuffers *buffers);

#endif /* TARVEL_DATAMGR_H */
