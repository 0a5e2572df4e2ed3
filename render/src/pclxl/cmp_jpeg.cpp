/*
 * JPEG bands: the choice whether a band may go as JPEG, and its
 * compression through libjpeg into the job's scratch spool file, from which
 * the result is read back over the caller's band.
 *
 * libjpeg reports errors through its error manager, whose exit handler must
 * not return.  Ours jumps back (longjmp) into the one function that drives
 * the compressor; that function holds only plain C records, so the jump
 * skips no destructor.  A failed write of the destination manager ends the
 * compression the same way, so a partial JPEG is never taken for a whole one.
 */
#include "cmp_raster.h"
#include "spool_file.h"

#include <plat/error.h>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <jerror.h>
#include <jpeglib.h>

namespace {

/* The destination buffer: one write to the scratch file per this many bytes. */
constexpr size_t kDestinationBytes = 4096;

/* Quality 83 keeps photographs clean at a fraction of their raw size. */
constexpr int kQuality = 83;

/* The compression mode of a job that sends images as JPEG. */
constexpr LONG kSpoolModeJpeg = 4;

/* The raster operation of a plain source copy. */
constexpr BYTE kRopSourceCopy = 0xCC;

/* The destination manager: libjpeg's record first, so the library's pointer is ours. */
struct JpegDestination {
    jpeg_destination_mgr pub;
    SpoolFile *scratch;
    DWORD offset;  /* where the next buffer goes in the scratch file */
    DWORD written; /* bytes written so far */
    JOCTET *buffer;
};

/* The error manager: libjpeg's record first, then where its exit handler jumps to. */
struct ErrorTrap {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

/* One compression: the compressor and its error manager, plain C records only. */
struct JpegJob {
    jpeg_compress_struct cinfo;
    ErrorTrap trap;
};

void destInit(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<JpegDestination *>(cinfo->dest);
    dest->buffer = static_cast<JOCTET *>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, kDestinationBytes));
    dest->offset = 0;
    dest->written = 0;
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kDestinationBytes;
}

/* Writes the first `n` bytes of the buffer at the running offset; raises JERR_FILE_WRITE on failure. */
void destWrite(j_compress_ptr cinfo, JpegDestination *dest, size_t n)
{
    if (OUT_SpoolSeek(dest->scratch, dest->offset) != LONGLONG(dest->offset) ||
        OUT_SpoolWrite(dest->scratch, dest->buffer, DWORD(n)) != LONG(n))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->offset += DWORD(n);
    dest->written += DWORD(n);
}

boolean destEmpty(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<JpegDestination *>(cinfo->dest);
    destWrite(cinfo, dest, kDestinationBytes);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = kDestinationBytes;
    return TRUE;
}

void destTerm(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<JpegDestination *>(cinfo->dest);
    const size_t n = kDestinationBytes - dest->pub.free_in_buffer;
    if (n > 0)
        destWrite(cinfo, dest, n);
}

[[noreturn]] void trapExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorTrap *>(cinfo->err)->jump, 1);
}

/* Warnings and traces of the library are not shown. */
void quietMessage(j_common_ptr) {}

/*
 * Compresses the band into the scratch file.  Returns 0, or the library's
 * message code of the error that stopped it (-1 when it gave none).  The
 * caller destroys the compressor in every case.
 */
int compressBand(JpegJob *job, SpoolFile *scratch, bool rgb, DWORD width, DWORD rows, const BYTE *pixels)
{
    jpeg_compress_struct *cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->trap.pub);
    job->trap.pub.error_exit = trapExit;
    job->trap.pub.output_message = quietMessage;
    if (setjmp(job->trap.jump) != 0)
        return job->trap.pub.msg_code != 0 ? job->trap.pub.msg_code : -1;

    jpeg_create_compress(cinfo);
    CMP_JpegUseDestination(cinfo, scratch);
    cinfo->image_width = width;
    cinfo->image_height = rows;
    cinfo->input_components = rgb ? 3 : 1;
    cinfo->in_color_space = rgb ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(cinfo);
    cinfo->dct_method = JDCT_IFAST;
    jpeg_set_quality(cinfo, kQuality, TRUE);
    jpeg_start_compress(cinfo, TRUE);

    /* Each row is copied (and turned to red, green, blue) so the caller's band stays as it is. */
    const size_t rowBytes = size_t(width) * (rgb ? 3 : 1);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 JDIMENSION(rowBytes), 1);
    while (cinfo->next_scanline < cinfo->image_height) {
        const BYTE *src = pixels + size_t(cinfo->next_scanline) * rowBytes;
        std::memcpy(row[0], src, rowBytes);
        if (rgb)
            CMP_SwapRgb(row[0], width, 1);
        jpeg_write_scanlines(cinfo, row, 1);
    }
    jpeg_finish_compress(cinfo);
    return 0;
}

} // namespace

int CMP_ChooseMethod(const CmpImageQuery *query, const BYTE *, BYTE *method)
{
    bool jpeg = false;
    if (query != nullptr && query->sourcePresent && query->spoolMode == kSpoolModeJpeg &&
        query->rop3 == kRopSourceCopy && query->blockLength >= CMP_JPEG_MIN_BYTES) {
        const BYTE f = query->colorFormat;
        const BYTE bits = query->componentBits;
        jpeg = (f == CMP_FORMAT_RGB && bits == 24) || (f == CMP_FORMAT_GREY && bits == 8) ||
               (f == CMP_FORMAT_GREY_PALETTE && bits == 8);
    }
    if (method != nullptr)
        *method = jpeg ? CMP_METHOD_JPEG : CMP_METHOD_NONE;
    return jpeg ? 0 : 1;
}

int CMP_JpegEncodeBand(SpoolFile *scratch, BYTE *kind, DWORD width, DWORD rows, BYTE *method, DWORD *length,
                       BYTE *pixels)
{
    if (scratch == nullptr || kind == nullptr || method == nullptr || length == nullptr || pixels == nullptr ||
        width == 0 || rows == 0 || width > JPEG_MAX_DIMENSION || rows > JPEG_MAX_DIMENSION) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return CMP_JPEG_BAD_ARGUMENT;
    }
    const bool rgb = *kind == CMP_KIND_RGB;
    if (ULONGLONG(width) * rows * (rgb ? 3 : 1) > *length) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return CMP_JPEG_BAD_ARGUMENT;
    }
    if (OUT_IsSpoolFileReady(scratch) != 1 && OUT_CreateSpoolFile(scratch) != 0)
        return CMP_JPEG_SCRATCH_FAILED;

    JpegJob job;
    std::memset(&job, 0, sizeof job);
    const int error = compressBand(&job, scratch, rgb, width, rows, pixels);
    const DWORD written = error == 0 ? CMP_JpegWritten(&job.cinfo) : 0;
    jpeg_destroy_compress(&job.cinfo);
    if (error == JERR_FILE_WRITE)
        return CMP_JPEG_SCRATCH_FAILED;
    if (error != 0 || written >= *length)
        return CMP_JPEG_NOT_SMALLER;

    /* Read into a buffer of its own first: a short read leaves the caller's band whole. */
    if (OUT_SpoolSeek(scratch, 0) != 0)
        return CMP_JPEG_SCRATCH_FAILED;
    std::unique_ptr<BYTE[]> jpeg(new (std::nothrow) BYTE[written]);
    if (!jpeg) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return CMP_JPEG_READ_BACK_FAILED;
    }
    if (OUT_SpoolRead(scratch, jpeg.get(), written) != LONG(written))
        return CMP_JPEG_READ_BACK_FAILED;
    std::memcpy(pixels, jpeg.get(), written);
    *length = written;
    *kind = CMP_KIND_JPEG;
    *method = CMP_METHOD_JPEG;
    return CMP_JPEG_DONE;
}

int CMP_JpegEncodeImage(CmpJpegBand *band)
{
    if (band == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return CMP_JPEG_BAD_ARGUMENT;
    }
    return CMP_JpegEncodeBand(band->scratch, &band->kind, band->width, band->rows, &band->method, &band->length,
                              band->pixels);
}

void CMP_JpegUseDestination(jpeg_compress_struct *compressor, SpoolFile *scratch)
{
    /* A destination of another kind is replaced, never reused as ours. */
    if (compressor->dest == nullptr || compressor->dest->init_destination != destInit)
        compressor->dest = static_cast<jpeg_destination_mgr *>((*compressor->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(compressor), JPOOL_PERMANENT, sizeof(JpegDestination)));
    auto *dest = reinterpret_cast<JpegDestination *>(compressor->dest);
    dest->pub.init_destination = destInit;
    dest->pub.empty_output_buffer = destEmpty;
    dest->pub.term_destination = destTerm;
    dest->scratch = scratch;
    dest->offset = 0;
    dest->written = 0;
}

DWORD CMP_JpegWritten(const jpeg_compress_struct *compressor)
{
    if (compressor == nullptr || compressor->dest == nullptr || compressor->dest->init_destination != destInit)
        return 0;
    return reinterpret_cast<const JpegDestination *>(compressor->dest)->written;
}
