/*
 * A JPEG photograph on one page (see host_print_jpeg.h): read with libjpeg,
 * placed in the middle of the printable area at the largest size that
 * keeps its proportions, then sent in pieces through the driver's JPEG
 * escape, or decoded into a 24-bit bitmap and stretched onto the page.
 */
#include "host_print_jpeg.h"
#include "host_errors.h"
#include "host_read_file.h"

#include <plat/error.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

#include <jpeglib.h>

namespace host {

namespace {

constexpr int kQueryEscSupport = 8;
constexpr int kExtControl = 0x1071;
constexpr int kExtDrawImage = 0x1072;
constexpr WORD kFeatureJpeg = 0x1102;
constexpr DWORD kLargestPiece = 0xFF00;
constexpr DWORD kSrcCopy = 0xCC0020;
constexpr DWORD kBiJpeg = 4;
constexpr size_t kLargestFile = size_t(64) << 20;
/* The most pixels a photo may decode into (a 24-bit bitmap of 768 MiB at most). */
constexpr uint64_t kLargestPixels = uint64_t(256) << 20;

/* libjpeg errors jump back to the caller with the library's message. */
struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void error_exit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<JpegError *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

/* A warning (a damaged file) is an error too: nothing half-read is printed. */
void emit_message(j_common_ptr cinfo, int level)
{
    if (level < 0)
        error_exit(cinfo);
}

/* Routes the decoder's errors and warnings to `err` (the caller sets the jump target). */
void catch_errors(jpeg_decompress_struct &cinfo, JpegError &err)
{
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = error_exit;
    err.mgr.emit_message = emit_message;
    err.message[0] = 0;
}

/* The page's printable area and the photo's place in it, centred, proportions kept. */
RECTL fitted(HDC dc, const JpegPhoto &photo)
{
    const LONG pageW = GetDeviceCaps(dc, HORZRES), pageH = GetDeviceCaps(dc, VERTRES);
    LONG w = pageW, h = LONG(double(pageW) * photo.height / photo.width);
    if (h > pageH) {
        h = pageH;
        w = LONG(double(pageH) * photo.width / photo.height);
    }
    w = std::max<LONG>(w, 1);
    h = std::max<LONG>(h, 1);
    const LONG x = (pageW - w) / 2, y = (pageH - h) / 2;
    return RECTL{x, y, x + w, y + h};
}

template <typename T>
void put(std::vector<BYTE> &b, size_t at, T v)
{
    std::memcpy(&b[at], &v, sizeof v);
}

/* The image escape's payload: call record, descriptor, bitmap header, then the piece. */
std::vector<BYTE> piece_call(const JpegPhoto &photo, const RECTL &place, DWORD offset, DWORD length, SHORT id)
{
    constexpr DWORD kDescriptor = 36, kHeader = 64, kPiece = 104;
    std::vector<BYTE> b(kPiece + length, 0);
    put<DWORD>(b, 0, 36);
    put<DWORD>(b, 4, kDescriptor);
    put<DWORD>(b, 8, DWORD(photo.file.size()));
    put<DWORD>(b, 12, offset);
    put<DWORD>(b, 16, length);
    put<SHORT>(b, 20, id);
    put<SHORT>(b, kDescriptor, SHORT(place.left));
    put<SHORT>(b, kDescriptor + 2, SHORT(place.top));
    put<WORD>(b, kDescriptor + 4, WORD(place.right - place.left));
    put<WORD>(b, kDescriptor + 6, WORD(place.bottom - place.top));
    put<WORD>(b, kDescriptor + 12, WORD(photo.width));
    put<WORD>(b, kDescriptor + 14, WORD(photo.height));
    put<DWORD>(b, kDescriptor + 16, kPiece);
    put<DWORD>(b, kDescriptor + 20, kHeader);
    put<DWORD>(b, kDescriptor + 24, kSrcCopy);
    put<DWORD>(b, kHeader, 40);
    put<LONG>(b, kHeader + 4, photo.width);
    put<LONG>(b, kHeader + 8, photo.height);
    put<WORD>(b, kHeader + 12, 1);
    put<WORD>(b, kHeader + 14, 24);
    put<DWORD>(b, kHeader + 16, kBiJpeg);
    std::memcpy(&b[kPiece], photo.file.data() + offset, length);
    return b;
}

bool draw_through_escape(HDC dc, const JpegPhoto &photo, const RECTL &place, std::string &error)
{
    const DWORD total = DWORD(photo.file.size());
    SHORT id = 0;
    for (DWORD offset = 0; offset < total;) {
        const DWORD length = std::min(kLargestPiece, total - offset);
        const std::vector<BYTE> call = piece_call(photo, place, offset, length, id);
        const int answer = ExtEscape(dc, kExtDrawImage, int(call.size()), reinterpret_cast<LPCSTR>(call.data()), 0,
                                     nullptr);
        if (answer <= 0) {
            error = "the driver refused the JPEG piece at byte " + std::to_string(offset) + " (answer " +
                    std::to_string(answer) + ")";
            return false;
        }
        id = SHORT(answer);
        offset += length;
    }
    return true;
}

/* Decodes the file into 24-bit rows (blue, green, red), padded to 4 bytes. */
bool decode(const JpegPhoto &photo, std::vector<BYTE> &rows, size_t &stride, std::string &error)
{
    /* Everything with a destructor exists before the error jump's target, so the jump skips none. */
    std::vector<JSAMPLE> line;
    jpeg_decompress_struct cinfo;
    JpegError err;
    catch_errors(cinfo, err);
    if (setjmp(err.jump)) {
        error = std::string("the JPEG file cannot be decoded: ") + err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, photo.file.data(), static_cast<unsigned long>(photo.file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    stride = (size_t(cinfo.output_width) * 3 + 3) / 4 * 4;
    rows.assign(stride * cinfo.output_height, 0);
    line.resize(size_t(cinfo.output_width) * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        BYTE *row = rows.data() + stride * cinfo.output_scanline;
        JSAMPROW lines[1] = {line.data()};
        jpeg_read_scanlines(&cinfo, lines, 1);
        for (size_t x = 0; x < cinfo.output_width; x++) {
            row[3 * x] = line[3 * x + 2];
            row[3 * x + 1] = line[3 * x + 1];
            row[3 * x + 2] = line[3 * x];
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool draw_decoded(HDC dc, const JpegPhoto &photo, const RECTL &place, std::string &error)
{
    std::vector<BYTE> rows;
    size_t stride = 0;
    if (!decode(photo, rows, stride, error))
        return false;
    plat::GdiImageDraw d;
    d.call = plat::GdiImageDraw::Stretch;
    d.image.format = BMF_24BPP;
    d.image.width = photo.width;
    d.image.height = photo.height;
    d.image.bits = rows.data();
    d.image.size = rows.size();
    d.dest = place;
    d.src = RECTL{0, 0, photo.width, photo.height};
    if (!plat::gdi_draw_image(dc, d)) {
        error = "drawing the decoded photo failed: " + host_error_text(GetLastError());
        return false;
    }
    return true;
}

} // namespace

bool host_read_jpeg(const std::string &path, JpegPhoto &photo, std::string &error)
{
    if (!host_read_file(path, kLargestFile, "64 MiB", photo.file, error))
        return false;
    if (photo.file.empty()) {
        error = "'" + path + "' is empty";
        return false;
    }

    jpeg_decompress_struct cinfo;
    JpegError err;
    catch_errors(cinfo, err);
    if (setjmp(err.jump)) {
        error = "'" + path + "' is not a JPEG file that can be printed: " + err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, photo.file.data(), static_cast<unsigned long>(photo.file.size()));
    jpeg_read_header(&cinfo, TRUE);
    photo.width = int(cinfo.image_width);
    photo.height = int(cinfo.image_height);
    photo.components = cinfo.num_components;
    jpeg_destroy_decompress(&cinfo);
    if (uint64_t(photo.width) * uint64_t(photo.height) > kLargestPixels) {
        error = "'" + path + "' is " + std::to_string(photo.width) + " x " + std::to_string(photo.height) +
                " pixels; photos of up to " + std::to_string(kLargestPixels >> 20) + " million pixels are printed";
        return false;
    }
    if (photo.components != 1 && photo.components != 3) {
        error = "'" + path + "' has " + std::to_string(photo.components) +
                " colour components; grey (1) and colour (3) photos are printed";
        return false;
    }
    return true;
}

bool host_check_jpeg_scan(const JpegPhoto &photo, std::string &error)
{
    /* Everything with a destructor exists before the error jump's target, so the jump skips none. */
    std::vector<JSAMPLE> line;
    jpeg_decompress_struct cinfo;
    JpegError err;
    catch_errors(cinfo, err);
    if (setjmp(err.jump)) {
        error = std::string("the JPEG file is damaged: ") + err.message;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, photo.file.data(), static_cast<unsigned long>(photo.file.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    line.resize(size_t(cinfo.output_width) * size_t(cinfo.output_components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW lines[1] = {line.data()};
        jpeg_read_scanlines(&cinfo, lines, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

bool host_jpeg_escape_offered(HDC dc)
{
    BYTE on[8] = {};
    const DWORD size = 8;
    const WORD control = 1, query = 3;
    std::memcpy(on, &size, 4);
    std::memcpy(on + 4, &control, 2);
    if (ExtEscape(dc, kExtControl, sizeof on, reinterpret_cast<LPCSTR>(on), 0, nullptr) != 1)
        return false;
    const WORD escape = kExtDrawImage;
    if (ExtEscape(dc, kQueryEscSupport, sizeof escape, reinterpret_cast<LPCSTR>(&escape), 0, nullptr) != 1)
        return false;
    BYTE ask[8] = {};
    std::memcpy(ask, &size, 4);
    std::memcpy(ask + 4, &query, 2);
    std::memcpy(ask + 6, &kFeatureJpeg, 2);
    BYTE feature[18] = {};
    return ExtEscape(dc, kExtControl, sizeof ask, reinterpret_cast<LPCSTR>(ask), sizeof feature,
                     reinterpret_cast<LPSTR>(feature)) == 1;
}

bool host_draw_jpeg(HDC dc, const JpegPhoto &photo, bool passThrough, std::string &road, std::string &error)
{
    const RECTL place = fitted(dc, photo);
    road = passThrough ? "pass-through" : "decoded";
    return passThrough ? draw_through_escape(dc, photo, place, error) : draw_decoded(dc, photo, place, error);
}

} // namespace host
