// Real JPEG files for the pass-through tests, written with libjpeg: grey
// or colour, baseline or progressive, with or without restart markers, of
// any size; and the image escape's payload (call record, descriptor,
// bitmap header, clip and piece) built field by field.
#ifndef RENDER_TESTS_JPEG_TEST_SUPPORT_H
#define RENDER_TESTS_JPEG_TEST_SUPPORT_H

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace jpeg_test {

struct JpegSpec {
    int width = 37;
    int height = 23;
    int components = 3;        /* 1 grey, 3 colour */
    bool progressive = false;
    int restartRows = 0;       /* restart interval in MCU rows; 0 none */
    int quality = 85;
    bool noise = false;        /* random pixels (large files) instead of a smooth pattern */
};

/* A JPEG file of `spec`, made in memory. */
inline std::vector<uint8_t> makeJpeg(const JpegSpec &spec)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = JDIMENSION(spec.width);
    c.image_height = JDIMENSION(spec.height);
    c.input_components = spec.components;
    c.in_color_space = spec.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, spec.quality, TRUE);
    if (spec.progressive)
        jpeg_simple_progression(&c);
    c.restart_in_rows = spec.restartRows;
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(spec.width) * size_t(spec.components));
    uint32_t seed = 12345;
    while (c.next_scanline < c.image_height) {
        for (size_t i = 0; i < row.size(); i++) {
            seed = seed * 1103515245u + 12345u;
            row[i] = spec.noise ? JSAMPLE(seed >> 16) : JSAMPLE((i * 7 + c.next_scanline * 5) & 0xFF);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uint8_t> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

/* Whether the file holds the marker FF `code` (outside entropy-coded stuffing). */
inline bool hasMarker(const std::vector<uint8_t> &f, uint8_t code)
{
    for (size_t i = 0; i + 1 < f.size(); i++)
        if (f[i] == 0xFF && f[i + 1] == code)
            return true;
    return false;
}

/* One image escape's call. */
struct ImageCall {
    uint32_t sizeField = 36;
    uint32_t total = 0;
    uint32_t offset = 0;
    int16_t sequenceId = 0;
    uint16_t rotation = 0;
    int16_t x = 100, y = 200;
    uint16_t destWidth = 300, destHeight = 150;
    int16_t reserved[2] = {0, 0};
    uint16_t srcWidth = 0, srcHeight = 0;
    int32_t bmWidth = -1, bmHeight = -1;      /* -1: the source size */
    uint32_t compression = 4;                  /* BI_JPEG */
    uint32_t rop = 0xCC0020;                   /* SRCCOPY */
    bool clip = false;
    int32_t clipRect[4] = {0, 0, 0, 0};
};

template <typename T>
void put(std::vector<uint8_t> &b, size_t at, T v)
{
    std::memcpy(&b[at], &v, sizeof v);
}

/*
 * The payload: call record (36 bytes), descriptor at 36 (28 bytes), bitmap
 * header at 64 (40 bytes), clip at 104 (16 bytes), piece at 120.
 */
inline std::vector<uint8_t> payload(const ImageCall &c, const uint8_t *piece, uint32_t length)
{
    std::vector<uint8_t> b(120 + size_t(length), 0);
    put<uint32_t>(b, 0, c.sizeField);
    put<uint32_t>(b, 4, 36);
    put<uint32_t>(b, 8, c.total);
    put<uint32_t>(b, 12, c.offset);
    put<uint32_t>(b, 16, length);
    put<int16_t>(b, 20, c.sequenceId);
    put<uint16_t>(b, 22, c.rotation);
    put<uint32_t>(b, 32, c.clip ? 104 : 0);
    put<int16_t>(b, 36, c.x);
    put<int16_t>(b, 38, c.y);
    put<uint16_t>(b, 40, c.destWidth);
    put<uint16_t>(b, 42, c.destHeight);
    put<int16_t>(b, 44, c.reserved[0]);
    put<int16_t>(b, 46, c.reserved[1]);
    put<uint16_t>(b, 48, c.srcWidth);
    put<uint16_t>(b, 50, c.srcHeight);
    put<uint32_t>(b, 52, 120);
    put<uint32_t>(b, 56, 64);
    put<uint32_t>(b, 60, c.rop);
    put<uint32_t>(b, 64, 40);
    put<int32_t>(b, 68, c.bmWidth < 0 ? c.srcWidth : c.bmWidth);
    put<int32_t>(b, 72, c.bmHeight < 0 ? c.srcHeight : c.bmHeight);
    put<uint16_t>(b, 76, 1);
    put<uint16_t>(b, 78, 24);
    put<uint32_t>(b, 80, c.compression);
    for (int i = 0; i < 4; i++)
        put<int32_t>(b, 104 + 4 * size_t(i), c.clipRect[i]);
    if (length)
        std::memcpy(&b[120], piece, length);
    return b;
}

} // namespace jpeg_test

#endif /* RENDER_TESTS_JPEG_TEST_SUPPORT_H */
