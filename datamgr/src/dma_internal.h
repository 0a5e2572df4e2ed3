/*
 * Internal operations behind the DMA_ exports: the public identifier
 * lookups, a setting found by public identifier inside a DmaContext, the
 * data-list field tables and the ANSI/UTF-16 text helpers.  Private to the
 * data manager and its tests.
 */
#ifndef TARVEL_DATAMGR_DMA_INTERNAL_H
#define TARVEL_DATAMGR_DMA_INTERNAL_H

#include "plat/types.h"
#include "tarvel/datamgr.h"
#include "tarvel/setting_layout.h"

#include <string>

/* The public identifier's DDMID (all 15 ranges), or 0. */
WORD dma_PublicIdToDmaId(WORD publicId);

/* The first public identifier paired with the DDMID, or 0. */
WORD dma_DmaIdToPublicId(WORD internalId);

/* A setting found by public identifier in the context's records. */
struct DmaSetting {
    WORD internalId;
    const IdLayoutItem *item;
    BYTE *address; /* the field in its record */
};

/*
 * dma_FindSetting: maps `publicId` and looks the setting up in the context's
 * settings image and printer-data record.  Returns DMAR_DONE, DMAR_UNMAPPED
 * (not in the map) or DMAR_FAIL (the lookup fails: not a setting, or the
 * record its kind needs is missing).
 */
DMARESULT dma_FindSetting(const DmaContext *context, DWORD publicId, DmaSetting *out);

/* What a DMA_ function wants of the setting it names. */
enum class DmaUse { Number, String, Font };

/*
 * dma_FindSettingAs: the checks the single-setting functions share: a null
 * context (-10), the fax header texts (-2 for numbers and fonts), the map
 * (-1), the lookup (-10) and the stored type against the use: a string where
 * a number or font is wanted -2, a font where a number or string is wanted
 * -7, anything but a string (string use) or a font (font use) -3.
 */
DMARESULT dma_FindSettingAs(const DmaContext *context, DWORD publicId, DmaUse use, DmaSetting *out);

/*
 * dma_ReadValue: dma_GetValue of an internal identifier on the context's
 * records into an 8-byte slot; size and kind optional.  False when it fails.
 */
bool dma_ReadValue(const DmaContext *context, WORD internalId, BYTE (&slot)[8], LONG *size = nullptr,
                   WORD *kind = nullptr);

/*
 * dma_AnswerSizeQuery: a call without a buffer: with *size 0 the size
 * `needed` is written and -5 answered; any other *size is a failure (-10).
 */
DMARESULT dma_AnswerSizeQuery(DWORD *size, DWORD needed);

/* ANSI setting 329 keeps bytes, not wide characters, in its field. */
inline constexpr WORD DMA_ANSI_FIELD_ID = 329;

/* One field of a data-list entry: {DDMID, value type, byte offset, size}. */
struct DmaFieldRow {
    WORD id;
    WORD type;
    WORD offset;
    WORD size;
};

/* A data-list kind: entry size, key field and field rows. */
struct DmaFieldTable {
    DWORD kind;
    DWORD entrySize;
    WORD keyId; /* 0: kind 5, keyed by position */
    const DmaFieldRow *rows;
    WORD rowCount;
};

/* The field table of kind 2-5, or null. */
const DmaFieldTable *dma_FieldTable(DWORD kind);

/*
 * dma_SplitDocPropImage: finds the extension, job-information and fax-list
 * blocks of a document-property image of n bytes and copies each whole into
 * the caller's buffers.  Returns 1; -16 for a malformed image (buffers
 * untouched); -5 with the three block sizes written into the sizes when a
 * buffer is missing or shorter than its block (the fax list's only when the
 * block is present).
 */
DMARESULT dma_SplitDocPropImage(const BYTE *image, ULONGLONG n, DmaDocPropBuffers *buffers);

/* Text helpers.  Wide text is read through memcpy: fields need not be aligned. */

/* The units before the first NUL of the wide text at `field`, at most `maxChars`. */
std::u16string dma_ReadWide(const BYTE *field, size_t maxChars);

/* `text` in the ANSI code page (no terminator).  False when the conversion fails. */
bool dma_WideToAnsi(const std::u16string &text, std::string &out);

/* The first `bytes` bytes of ANSI `text` as UTF-16.  False when the conversion fails. */
bool dma_AnsiToWide(LPCSTR text, size_t bytes, std::u16string &out);

/* Writes `text` and its NUL at `field` and zeroes the rest of its `fieldBytes`; the text must fit. */
void dma_WriteWide(BYTE *field, size_t fieldBytes, const std::u16string &text);

#endif /* TARVEL_DATAMGR_DMA_INTERNAL_H */
