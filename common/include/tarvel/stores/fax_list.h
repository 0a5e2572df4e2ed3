/*
 * The fax send list in use: reading a FaxSendList block (given, or the
 * printer's stored "FaxSendList"), turning the fax pages' list of
 * destinations into a block and back, and saving and loading the device
 * blobs together with that list.  The block's layout is in
 * tarvel/fax_layout.h.
 *
 * The fax pages keep their destinations in a FaxPageRecord: the two header
 * texts at its start, then a property-page list (tarvel/base/pgf_services.h) of
 * pointers to 742-byte entries, the newest at the head.  Entries pushed by
 * this code are GlobalAlloc blocks; PGF_ListFree(&page->list, TRUE) frees
 * them with the nodes.
 *
 * Blocks handed out are zero-filled GlobalAlloc memory that the caller
 * frees (FAX_FreeSendList or GlobalFree).  Nothing is logged.
 */
#ifndef TARVEL_FAX_LIST_H
#define TARVEL_FAX_LIST_H

#include <plat/types.h>
#include <tarvel/base/pgf_services.h>
#include <tarvel/fax_layout.h>

#include <cstddef>

struct ModelContext;

/* The fax pages' record: header texts as in the block, then the destinations. */
struct FaxPageRecord {
    WCHAR headerText1[FAX_HEADER_TEXT1_SIZE / sizeof(WCHAR)]; /* 40 characters and a terminator */
    WCHAR headerText2[FAX_HEADER_TEXT2_SIZE / sizeof(WCHAR)]; /* 670 characters and a terminator */
    PgfList list;                                             /* 742-byte entries, the newest first */
};
static_assert(offsetof(FaxPageRecord, headerText2) == FAX_HEADER_TEXT1_SIZE, "the second text 82 bytes on");

/*
 * FAX_LoadSendList: a new copy of `block` (`byteCount` bytes) when it is
 * given, else the printer's stored "FaxSendList".  The block must carry the
 * tag "DFAX001", 1 to 86 entries and be exactly 1,442 + 742 x count bytes
 * long; anything else, a list of no destination too, is treated as no list
 * (a job has nowhere to send it).  Returns the block with its
 * entry count in *count (optional), or null (*count 0).
 */
BYTE *FAX_LoadSendList(HANDLE printer, DWORD byteCount, const BYTE *block, WORD *count);

/* FAX_FreeSendList: frees a block (null is allowed).  Returns 1. */
BOOL FAX_FreeSendList(BYTE *block);

/*
 * FAX_WideToAnsi: `text` in the ANSI code page in a new buffer (*out; the
 * caller frees it) with its byte count without the terminator.
 * FAX_AnsiToWide: the reverse, with the characters including the
 * terminator.  1, or 0 (*out null) for a null argument, a failed conversion
 * or no memory.
 */
BOOL FAX_WideToAnsi(LPCWSTR text, LPSTR *out, DWORD *length);
BOOL FAX_AnsiToWide(LPCSTR text, LPWSTR *out, DWORD *count);

/*
 * FAX_PackSendList: a new block (*block, *size) of `count` entries from the
 * fax pages' record: the tag, the count, the two header texts, and the
 * first `count` entries of the list counted from its head, stored oldest
 * first.  Returns 1; 0 (*block null) when the list holds fewer than `count`
 * entries, `count` is above 86, an argument is null or memory runs out.
 */
BOOL FAX_PackSendList(WORD count, const FaxPageRecord *page, BYTE **block, DWORD *size);

/*
 * FAX_UnpackSendList: copies the block's header texts into the record and
 * pushes a copy of every entry, first to last, onto the list's head (keys 0
 * and 0xFFFF), which rebuilds the list in the order it was packed from.
 * Returns 1; 0 for a block that fails DPF_CheckFaxList against
 * `byteCount`, a null argument, or no memory (the entries pushed before
 * stay on the list).
 */
BOOL FAX_UnpackSendList(const BYTE *block, DWORD byteCount, FaxPageRecord *page);

/*
 * PDT_SaveDeviceBlobsWithFaxList: packs the fax pages' whole list (when a
 * record is given) and saves the device blobs with it (PDT_SaveDeviceBlobs
 * of tarvel/stores/pdt_blob.h).  Returns 1, or 0 when packing or saving fails.
 */
BOOL PDT_SaveDeviceBlobsWithFaxList(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind,
                                    const FaxPageRecord *page, const BYTE *extension, const BYTE *tmbData,
                                    DWORD tmbLength);

/*
 * PDT_LoadDeviceBlobsWithFaxList: loads the device blobs (PDT_LoadDeviceBlobs)
 * and, when a record is given and a fax send list came back, unpacks it into
 * the record.  Returns 1, or 0 when loading or unpacking fails (*tmbData
 * null and *tmbLength 0 then).
 */
BOOL PDT_LoadDeviceBlobsWithFaxList(HANDLE printer, ModelContext *context, LPCWSTR fileName, int kind,
                                    FaxPageRecord *page, BYTE *extension, BYTE **tmbData, DWORD *tmbLength);

#endif /* TARVEL_FAX_LIST_H */
