/*
 * Chunked printer data: records larger than one spooler printer-data value
 * kept as a byte count under "<name>Size" and numbered chunks "<name>1" ...
 * "<name>N" of at most 768 bytes, N at most 99.  Also the table of the five
 * named blobs and the reader of the fax send list blob.
 *
 * Results: 1 success, 0 failure.  Buffers handed out are zero-filled
 * GlobalAlloc blocks that the caller frees with GlobalFree.
 */
#ifndef TARVEL_PDT_CHUNK_H
#define TARVEL_PDT_CHUNK_H

#include <plat/types.h>

constexpr DWORD PDT_CHUNK_SIZE = 768;
constexpr DWORD PDT_MAX_CHUNKS = 99;
constexpr DWORD PDT_MAX_BLOB_SIZE = PDT_CHUNK_SIZE * PDT_MAX_CHUNKS; /* 76,032 bytes */

/* Longest base name of a chunked blob, in characters (chunk names add up to two digits). */
constexpr int PDT_MAX_BASE_NAME = 48;

/* Indexes of the named blob table. */
constexpr int PDT_BLOB_FONTSUBTABLE = 0;
constexpr int PDT_BLOB_SYSTTFONTLIST = 1; /* reserved: the driver never reads or writes it */
constexpr int PDT_BLOB_PRINTERDATA = 2;
constexpr int PDT_BLOB_USERSETTINGINFO = 3;
constexpr int PDT_BLOB_PAPERMARGINARRAY = 4;
constexpr int PDT_BLOB_COUNT = 5;

/* One row of the named blob table. */
struct PdtNamedBlob {
    LPCWSTR sizeName; /* "FontSubTableSize" */
    LPCWSTR baseName; /* "FontSubTable" */
};

/* Row `index` of the named blob table, or null outside 0-4. */
const PdtNamedBlob *PDT_GetNamedBlob(int index);

/*
 * Writes `size` bytes at `data` as a chunked blob: first the size value
 * `sizeName` (REG_DWORD), then chunks `baseName`1 ... N (REG_BINARY).
 * Returns 1 when everything was written; 0 for a null argument, an empty
 * blob, more than 99 chunks (nothing written), an over-long base name, or a
 * SetPrinterDataW failure (what was written before the failure stays).
 * Chunks above N left by an earlier, longer blob are not deleted.
 */
BOOL PDT_WriteChunked(HANDLE printer, const BYTE *data, DWORD size, LPCWSTR baseName, LPCWSTR sizeName);

/*
 * Reads a chunked blob into a new zero-filled GlobalAlloc buffer (*out, the
 * caller frees it) of the stored byte count (*outSize).  Returns 1; 0 with
 * *out null and *outSize 0 when the size value is missing or not 4 bytes,
 * announces 0 bytes or more than 99 chunks, or when a chunk is missing or
 * is not exactly as long as its position requires (768 bytes, the last one
 * the rest).  Chunks above the announced count are ignored.
 */
BOOL PDT_ReadChunked(HANDLE printer, BYTE **out, DWORD *outSize, LPCWSTR baseName, LPCWSTR sizeName);

/*
 * Reads the stored byte count of a chunked blob (the size value, exactly 4
 * bytes).  Returns ERROR_SUCCESS, ERROR_FILE_NOT_FOUND when the value is
 * absent, or another error (also ERROR_BAD_LENGTH for a value that is not 4
 * bytes long).
 */
DWORD PDT_ReadChunkedSize(HANDLE printer, LPCWSTR sizeName, DWORD *size);

/*
 * Writes named blob `index` (0-4).  Returns 1; 0 for an index outside 0-4,
 * a null printer or data, a count of 0, more than 99 chunks or a failure.
 */
BOOL PDT_WriteNamedBlob(HANDLE printer, const BYTE *data, DWORD size, int index);

/*
 * Reads named blob `index`.  `buffer` null: *size becomes the stored byte
 * count; the result is 1 when that count is not 0.  With a buffer of *size
 * bytes: 0 when the capacity is below the stored count (buffer untouched),
 * else every chunk is read into it, *size becomes the bytes read and the
 * result is 1.  Any failed read gives 0 and leaves the buffer untouched.
 */
BOOL PDT_ReadNamedBlob(HANDLE printer, int index, BYTE *buffer, DWORD *size);

/*
 * Deletes named blob `index`: every chunk 1 to N, then the size value.
 * Returns 1 when the size value was absent from the start or was deleted
 * last; 0 for a bad index or printer, a stored size of 0 or over 99 chunks,
 * or a failed deletion (the size value then stays, so a later call can
 * finish the work).  A chunk that is already absent counts as deleted.
 */
BOOL PDT_DeleteNamedBlob(HANDLE printer, int index);

/*
 * Reads the chunked blob "FaxSendList" / "FaxSendListSize" as
 * PDT_ReadChunked does (its contents are not checked here).
 */
BOOL PDT_ReadFaxSendList(HANDLE printer, BYTE **out, DWORD *outSize);

#endif /* TARVEL_PDT_CHUNK_H */
