/*
 * Writing an image's pixels: ReadImage blocks of at most 350,000 bytes of
 * padded rows, uncompressed, run-length or delta row (the first block
 * decides whether compression pays for the whole image), or the whole
 * image as one JPEG block through the job's scratch file.
 */
#include "blt_records.h"
#include "cmp_raster.h"
#include "draw_blt.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

/* The XL compression mode of a band kind. */
BYTE xl_mode(WORD kind)
{
    switch (kind) {
    case BLT_BAND_DELTAROW: return XLE_DeltaRowCompression;
    case BLT_BAND_RLE: return XLE_RLECompression;
    default: return XLE_NoCompression;
    }
}

bool send_block(PdevContext *pdev, DWORD startLine, DWORD rows, BYTE mode, const BYTE *data, DWORD length)
{
    return XL_ReadImageHeader(pdev, WORD(startLine), WORD(rows), mode, 4, length) == 0 &&
           XL_WriteData(pdev, data, length) == 0;
}

/*
 * The image's rows, `stride` bytes apart (negative for a bottom-up
 * bitmap).  Rows to be swapped from blue, green, red into red, green,
 * blue are swapped into one of two row buffers as they are asked for, so a
 * row and the row before it (the delta-row seed) are at hand together.
 */
class RowSource {
public:
    RowSource(const BYTE *rows, LONGLONG stride, ULONG rowBytes, BYTE *swapBuffers)
        : rows_(rows), stride_(stride), rowBytes_(rowBytes), buffers_(swapBuffers)
    {
    }
    const BYTE *row(DWORD r)
    {
        const BYTE *p = rows_ + LONGLONG(r) * stride_;
        if (!buffers_)
            return p;
        const DWORD k = r & 1;
        BYTE *out = buffers_ + size_t(k) * rowBytes_;
        if (held_[k] != LONGLONG(r)) {
            for (ULONG i = 0; i + 2 < rowBytes_; i += 3) {
                out[i] = p[i + 2];
                out[i + 1] = p[i + 1];
                out[i + 2] = p[i];
            }
            held_[k] = r;
        }
        return out;
    }

private:
    const BYTE *rows_;
    LONGLONG stride_;
    ULONG rowBytes_;
    BYTE *buffers_;
    LONGLONG held_[2] = {-1, -1};
};

} // namespace

BOOL BLT_WriteImageBands(PdevContext *pdev, ULONG rowBytes, ULONG rowCount, ImageBands *bands, const BYTE *rows)
{
    return BLT_WriteImageRows(pdev, rowBytes, rowCount, bands, rows, LONGLONG(rowBytes), FALSE);
}

BOOL BLT_WriteImageRows(PdevContext *pdev, ULONG rowBytes, ULONG rowCount, ImageBands *bands, const BYTE *rows,
                        LONGLONG stride, BOOL swapRgb)
{
    if (!pdev || !bands || !rows || rowBytes == 0 || rowCount == 0 || rowCount > ULONG(BLT_MAX_SIDE) ||
        rowBytes > CMP_MAX_ROW_BYTES || (swapRgb && rowBytes % 3))
        return FALSE;
    std::unique_ptr<BYTE[]> swapBuffers;
    if (swapRgb) {
        swapBuffers.reset(new (std::nothrow) BYTE[size_t(rowBytes) * 2]);
        if (!swapBuffers)
            return FALSE;
    }
    RowSource source(rows, stride, rowBytes, swapBuffers.get());
    const DWORD pad = rowBytes % 4 ? 4 - rowBytes % 4 : 0;
    const DWORD padded = rowBytes + pad;
    DWORD perBlock = ULONGLONG(rowCount) * padded <= BLT_BAND_LIMIT ? rowCount : BLT_BAND_LIMIT / padded;
    if (perBlock == 0)
        perBlock = 1;
    const DWORD blockBytes = perBlock * padded;
    bands->pad = WORD(pad);
    bands->paddedRow = padded;

    std::unique_ptr<BYTE[]> raw(new (std::nothrow) BYTE[blockBytes]);
    if (!raw)
        return FALSE;
    bands->raw = raw.get();

    /* The coded block's room: the coders' own bounds, never less than the usual reserve. */
    WORD kind = bands->compression;
    BYTE padCode[8] = {};
    DWORD padCodeLength = 0;
    DWORD codedBytes = 0;
    if (kind == BLT_BAND_DELTAROW) {
        codedBytes = perBlock * CMP_DeltaRowBound(rowBytes);
    } else if (kind == BLT_BAND_RLE) {
        if (pad) {
            const BYTE zeros[4] = {};
            padCodeLength = DWORD(CMP_RleEncode(padCode, sizeof padCode, zeros, pad));
        }
        codedBytes = perBlock * (CMP_RleBound(rowBytes) + padCodeLength);
    }
    bands->padCodeLength = WORD(padCodeLength);
    /* The delta-row seed is the row before, zeros for the first. */
    std::unique_ptr<BYTE[]> coded, zeroSeed;
    if (kind != BLT_BAND_NONE) {
        coded.reset(new (std::nothrow) BYTE[codedBytes]);
        if (kind == BLT_BAND_DELTAROW)
            zeroSeed.reset(new (std::nothrow) BYTE[rowBytes]());
        if (!coded || (kind == BLT_BAND_DELTAROW && !zeroSeed))
            kind = BLT_BAND_NONE;
    }
    bands->compressed = coded.get();

    const BYTE zeros[4] = {};
    bool first = true;
    for (DWORD start = 0; start < rowCount; start += perBlock) {
        const DWORD n = rowCount - start < perBlock ? rowCount - start : perBlock;
        /* The raw block: padded rows, made only when it is sent. */
        auto makeRaw = [&]() {
            BYTE *rawEnd = raw.get();
            for (DWORD r = 0; r < n && rawEnd; r++)
                rawEnd = CMP_AppendRaw(rawEnd, DWORD(raw.get() + blockBytes - rawEnd), source.row(start + r),
                                       rowBytes, zeros, pad);
            return rawEnd != nullptr;
        };
        const bool rawMade = kind == BLT_BAND_NONE;
        if (rawMade && !makeRaw())
            return FALSE;
        bands->startLine = start;
        bands->blockRows = n;
        bands->rawBytes = n * padded;
        DWORD total = 0;
        bool codedOk = kind != BLT_BAND_NONE;
        BYTE *at = coded.get();
        for (DWORD r = 0; codedOk && r < n; r++) {
            const BYTE *row = source.row(start + r);
            const DWORD room = DWORD(coded.get() + codedBytes - at);
            if (kind == BLT_BAND_DELTAROW) {
                const BYTE *seed = start + r == 0 ? zeroSeed.get() : source.row(start + r - 1);
                const LONG length = CMP_DeltaRowEncode(at, room, row, seed, rowBytes, rowBytes);
                codedOk = length >= 0;
                if (codedOk) {
                    at += length;
                    total += DWORD(length); /* at most the coded block's room */
                }
            } else {
                at = CMP_RleEncodeRow(at, room, row, rowBytes, padCode, padCodeLength, &total);
                codedOk = at != nullptr;
            }
        }
        bands->compressedBytes = total;
        if (first && (!codedOk || total >= bands->rawBytes))
            kind = BLT_BAND_NONE; /* compression does not pay: the whole image goes uncompressed */
        first = false;
        bool sent;
        if (kind != BLT_BAND_NONE && codedOk) {
            sent = send_block(pdev, start, n, xl_mode(kind), coded.get(), total);
        } else {
            /* A block the coder could not take goes raw; the next delta row still starts from the row before. */
            if (!rawMade && !makeRaw())
                return FALSE;
            sent = send_block(pdev, start, n, XLE_NoCompression, raw.get(), bands->rawBytes);
        }
        if (!sent)
            return FALSE;
    }
    bands->compression = kind;
    bands->raw = nullptr;
    bands->compressed = nullptr;
    return TRUE;
}

BOOL BLT_WriteJpegImageBands(PdevContext *pdev, ImageDescriptor *descriptor, ImageBands *bands, const BYTE *rows)
{
    if (!pdev || !descriptor || !bands || !rows || !pdev->imageSpool)
        return TRUE; /* nothing to try: the raw road */
    const BYTE format = descriptor->colorFormat;
    const DWORD width = descriptor->srcWidth, height = descriptor->srcHeight;
    const ULONGLONG rowLen = (ULONGLONG(width) * descriptor->bits * (format == BLT_FORMAT_RGB ? 3 : 1) + 7) / 8;
    const ULONGLONG length = rowLen * height;
    if (width == 0 || height == 0 || length > 0xFFFFFFFFull)
        return TRUE;
    CmpImageQuery query{};
    query.sourcePresent = descriptor->sourceKind == 2;
    query.componentBits = BYTE(format == BLT_FORMAT_RGB ? 24 : descriptor->bits);
    query.width = width;
    query.rows = height;
    query.spoolMode = BLT_COMPRESS_JPEG;
    query.colorFormat = format;
    query.blockLength = DWORD(length);
    query.ropMode = 2;
    query.rop3 = 0xCC;
    BYTE method = CMP_METHOD_NONE;
    if (CMP_ChooseMethod(&query, rows, &method) != 0 || method != CMP_METHOD_JPEG)
        return TRUE;

    /* The compressor works on a copy: a grey-palette image is expanded there, the rows stay for the raw road. */
    std::unique_ptr<BYTE[]> work(new (std::nothrow) BYTE[size_t(length)]);
    if (!work)
        return TRUE;
    if (format == BLT_FORMAT_GREY_PALETTE) {
        if (!descriptor->palette)
            return TRUE;
        const DWORD count = descriptor->paletteCount;
        for (size_t i = 0; i < size_t(length); i++)
            work[i] = rows[i] < count ? descriptor->palette[rows[i]] : 0;
    } else {
        std::memcpy(work.get(), rows, size_t(length));
    }
    CmpJpegBand band{&pdev->imageSpool->scratch, format == BLT_FORMAT_RGB ? BYTE(CMP_KIND_RGB) : BYTE(BLT_FORMAT_GREY),
                     width, height, CMP_METHOD_NONE, DWORD(length), work.get()};
    if (CMP_JpegEncodeImage(&band) != CMP_JPEG_DONE)
        return TRUE; /* not smaller, no scratch file, or not read back: the raw pixels go instead */

    const BYTE space = format == BLT_FORMAT_RGB ? 2 : 1;
    if (XL_SetCursor(pdev, bands->x, bands->y) != 0 || XL_SetColorSpace(pdev, space) != 0 ||
        XL_BeginImage(pdev, XLE_DirectPixel, XLE_8Bit, WORD(width), WORD(height), WORD(descriptor->destWidth),
                      WORD(descriptor->destHeight)) != 0 ||
        XL_ReadImageHeader(pdev, 0, WORD(height), XLE_JPEGCompression, 3, band.length) != 0 ||
        XL_WriteData(pdev, work.get(), band.length) != 0)
        return FALSE;
    descriptor->method = CMP_METHOD_JPEG;
    return TRUE;
}
