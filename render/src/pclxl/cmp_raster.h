/*
 * Raster compression: the coders of the data blocks that follow ReadImage
 * and ReadRastPattern.  Run-length (CompressMode eRLECompression, the
 * PackBits scheme), delta row (eDeltaRowCompression) and JPEG
 * (eJPEGCompression, through libjpeg into the job's scratch spool file),
 * plus the small row helpers the image writer uses around them and the test
 * that decides whether a band may go as JPEG.
 *
 * The row coders work in memory.  Every output buffer comes with its size:
 * a coder that would pass it stops, writes nothing beyond it and fails with
 * ERROR_INSUFFICIENT_BUFFER (the bytes before that point are undefined).
 * Counts are 32-bit: a run-length row of a wide 24-bit image can code to
 * more than 32,767 bytes.
 */
#ifndef TARVELGR_CMP_RASTER_H
#define TARVELGR_CMP_RASTER_H

#include <plat/types.h>

struct SpoolFile;
struct jpeg_compress_struct;

/* Longest row the coders take: far above the 65,535 x 3 bytes of the widest PCL XL row. */
inline constexpr DWORD CMP_MAX_ROW_BYTES = 1u << 24;

/*
 * Largest run-length code of an n-byte row (n up to CMP_MAX_ROW_BYTES): a
 * literal costs its bytes plus one, a repeat two bytes for at least two, so
 * the worst row alternates one-byte literals and pairs (4 bytes for 3).
 */
inline constexpr DWORD CMP_RleBound(DWORD n) { return n + (n + 2) / 3 + 1; }

/*
 * Largest delta-row code of an n-byte row against a seed of its length: the
 * count, the bytes, and at most one command byte per 8 bytes more (a command
 * after a gap costs no more than the bytes it skips).
 */
inline constexpr DWORD CMP_DeltaRowBound(DWORD n) { return 2 + n + (n + 7) / 8; }

/* --- Run-length (PackBits) --- */

/*
 * Codes the `n` bytes of `row` as run-length runs into `out` (`outSize`
 * bytes), or only counts them when `out` is null.  Literal runs are a control
 * byte 0..127 and that many bytes plus one; repeat runs a control byte
 * -126..-1 and one byte repeated 1 - control times.  Two equal neighbours
 * always start a repeat run.
 * Returns the bytes produced (0 for n = 0), or -1: `row` null with n > 0,
 * n above CMP_MAX_ROW_BYTES (ERROR_INVALID_PARAMETER); `out` too small
 * (ERROR_INSUFFICIENT_BUFFER).
 */
LONG CMP_RleEncode(BYTE *out, DWORD outSize, const BYTE *row, DWORD n);

/*
 * Codes `row` into `out` (`outSize` bytes) and copies the `tailLength`
 * bytes of `tail` (a code made earlier, normally the row's pad) unchanged
 * after it.  Adds every byte written (code and tail) to `*total`.
 * Returns the end of what was written, or null (CMP_RleEncode's errors;
 * also a null `total` or tail, or a total that would pass 0xFFFFFFFF).
 */
BYTE *CMP_RleEncodeRow(BYTE *out, DWORD outSize, const BYTE *row, DWORD n, const BYTE *tail,
                       DWORD tailLength, DWORD *total);

/*
 * Copies `length` bytes of `row`, then `tailLength` bytes of `tail`, into
 * `out` (`outSize` bytes).  Returns the end of what was written, or null
 * (nothing written) for a null buffer with a length above 0 or `out` too small.
 */
BYTE *CMP_AppendRaw(BYTE *out, DWORD outSize, const BYTE *row, DWORD length, const BYTE *tail, DWORD tailLength);

/* --- Delta row --- */

/*
 * One delta-row command: (count - 1) << 5 | offset, an offset of 31 or more
 * continued by bytes of 255 and a last byte below 255, then the `count`
 * (1 to 8) bytes of `bytes`.  `offset` counts the bytes left unchanged since
 * the previous command.  Returns the bytes written, or -1: a null buffer or
 * count out of range (ERROR_INVALID_PARAMETER), `out` too small
 * (ERROR_INSUFFICIENT_BUFFER).
 */
LONG CMP_DeltaRowCommand(BYTE *out, DWORD outSize, const BYTE *bytes, DWORD offset, DWORD count);

/*
 * Codes the `n` bytes of `row` against the seed row (`seedSize` bytes, at
 * least n) into `out` (`outSize` bytes): the 16-bit little-endian byte count
 * of the commands, then the commands; a row equal to its seed is 00 00.  The
 * seed is left as it is.
 * Returns the bytes written, the count included, or -1: a null buffer, a row
 * longer than its seed or above CMP_MAX_ROW_BYTES (ERROR_INVALID_PARAMETER);
 * commands of more than 65,535 bytes, which the count cannot hold (ERROR_BAD_LENGTH;
 * the row must go by another method); `out` too small (ERROR_INSUFFICIENT_BUFFER).
 */
LONG CMP_DeltaRowEncode(BYTE *out, DWORD outSize, const BYTE *row, const BYTE *seed, DWORD seedSize, DWORD n);

/*
 * CMP_DeltaRowEncode, then the row becomes the seed of the next row (its
 * first n bytes); adds the bytes written to `*total`.  Returns the end of
 * what was written, or null (CMP_DeltaRowEncode's errors, a null `total`, a
 * total that would pass 0xFFFFFFFF); the seed changes only on success.
 */
BYTE *CMP_DeltaRowEncodeRow(BYTE *out, DWORD outSize, const BYTE *row, BYTE *seed, DWORD seedSize, DWORD n,
                            DWORD *total);

/* --- Pixel helpers (3-byte pixels, rows packed without pad) --- */

/*
 * Copies the first byte of each of the width x rows pixels into `out`
 * (`outSize` bytes): the grey plane of an RGB buffer whose channels are
 * equal.  Returns the bytes written, or -1 (null buffer, `out` too small,
 * a size above 0xFFFFFFFF bytes).
 */
LONG CMP_PackFirstChannel(BYTE *out, DWORD outSize, const BYTE *pixels, DWORD width, DWORD rows);

/* Swaps the first and third byte of each pixel in place (BGR to RGB).  0, or -1 (null, size too large). */
int CMP_SwapRgb(BYTE *pixels, DWORD width, DWORD rows);

/* --- JPEG --- */

/* Image-kind bytes of a JPEG band: 4 RGB pixels (blue, green, red in memory), 5 JPEG-coded; other values grey. */
enum : BYTE { CMP_KIND_RGB = 4, CMP_KIND_JPEG = 5 };

/* Compression methods of an image: 1 no JPEG (run-length, delta row or raw), 4 JPEG. */
enum : BYTE { CMP_METHOD_NONE = 1, CMP_METHOD_JPEG = 4 };

/* Colour formats of an image: 3 grey direct, 4 RGB direct, 10 grey palette. */
enum : BYTE { CMP_FORMAT_GREY = 3, CMP_FORMAT_RGB = 4, CMP_FORMAT_GREY_PALETTE = 10 };

/* Bands below this many bytes never go as JPEG: the headers alone would outweigh the saving. */
inline constexpr DWORD CMP_JPEG_MIN_BYTES = 1024;

/* Results of CMP_JpegEncodeBand. */
enum : int {
    CMP_JPEG_DONE = 0,
    CMP_JPEG_NOT_SMALLER = 3, /* also any failure inside the compressor: the band goes another way */
    CMP_JPEG_SCRATCH_FAILED = 5,
    CMP_JPEG_BAD_ARGUMENT = 16,
    CMP_JPEG_READ_BACK_FAILED = 4101,
};

/*
 * What the image writer tells CMP_ChooseMethod about one band: whether the
 * image has a source surface, the bits of its pixels (24 for RGB), its
 * size, the job's compression mode, its colour format, the band's byte
 * count and its raster operation (mode and ROP3 code).
 */
struct CmpImageQuery {
    BOOL sourcePresent;
    BYTE componentBits;
    DWORD width;
    DWORD rows;
    LONG spoolMode;
    BYTE colorFormat;
    DWORD blockLength;
    BYTE ropMode;
    BYTE rop3;
};

/*
 * Whether the band may go as JPEG: only a plain source copy (a source
 * surface, ROP3 0xCC) in a job whose compression mode is JPEG (4), of at
 * least CMP_JPEG_MIN_BYTES, that is 24-bit RGB, 8-bit grey or 8-bit grey
 * palette.  Sets `*method` to 4 and returns 0 when it may; sets 1 and
 * returns 1 when it must not (also for a null query).  `pixels` is not read.
 */
int CMP_ChooseMethod(const CmpImageQuery *query, const BYTE *pixels, BYTE *method);

/*
 * Compresses a band of `rows` rows of `width` pixels (`*kind` 4: 3 bytes
 * blue, green, red each, else 1 grey byte; rows packed) at `pixels`
 * (`*length` bytes, at least the band) into the scratch spool file (made
 * anew when it is not open or no longer writable), from its offset 0, as a
 * baseline JPEG of quality 83 with the fast
 * integer DCT.  When the JPEG is smaller than `*length`, reads it back over
 * `pixels`, sets `*length` to its size, `*kind` to 5 and `*method` to 4.
 * Returns CMP_JPEG_DONE; CMP_JPEG_NOT_SMALLER (also after an error inside
 * the compressor); CMP_JPEG_SCRATCH_FAILED (the file could not be made,
 * written or positioned); CMP_JPEG_BAD_ARGUMENT (a null argument, a size of
 * 0 or above 65,500 pixels, `*length` shorter than the band);
 * CMP_JPEG_READ_BACK_FAILED.  Except on CMP_JPEG_DONE, the pixels, length,
 * kind and method are as they were.
 */
int CMP_JpegEncodeBand(SpoolFile *scratch, BYTE *kind, DWORD width, DWORD rows, BYTE *method, DWORD *length,
                       BYTE *pixels);

/* A band as the image writer holds it for CMP_JpegEncodeImage: the arguments of CMP_JpegEncodeBand. */
struct CmpJpegBand {
    SpoolFile *scratch;
    BYTE kind;
    DWORD width;
    DWORD rows;
    BYTE method;
    DWORD length;
    BYTE *pixels;
};

/* CMP_JpegEncodeBand on the band's fields; CMP_JPEG_BAD_ARGUMENT for a null band. */
int CMP_JpegEncodeImage(CmpJpegBand *band);

/*
 * Makes the compressor write into the scratch spool file through a
 * 4,096-byte buffer, from offset 0: installs the destination manager
 * (allocated once per compressor, from its permanent pool).  A failed seek
 * or write raises JERR_FILE_WRITE through the compressor's error manager.
 * The JPEG's byte count is CMP_JpegWritten after jpeg_finish_compress.
 */
void CMP_JpegUseDestination(jpeg_compress_struct *compressor, SpoolFile *scratch);

/* Bytes the destination manager of `compressor` has written so far. */
DWORD CMP_JpegWritten(const jpeg_compress_struct *compressor);

#endif /* TARVELGR_CMP_RASTER_H */
