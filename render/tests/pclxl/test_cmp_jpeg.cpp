// JPEG bands: the choice of method, bands compressed through the scratch
// spool file and decoded back with libjpeg (size and pixels within a
// tolerance, colours in the right order), bands the JPEG does not shrink,
// bad arguments, and a scratch file that cannot be made or written.
#include "cmp_raster.h"
#include "output_test_support.h"
#include "spool_file.h"

#include <plat/fault.h>
#include <plat/msgbox.h>
#include <plat/sysdir.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <random>

#include <jpeglib.h>

namespace {

using namespace outtest;

/* A decoded JPEG: its size and packed rows; ok false when libjpeg refused it. */
struct Decoded {
    bool ok = false;
    unsigned width = 0, height = 0, components = 0;
    Bytes pixels;
};

struct DecodeTrap {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

[[noreturn]] void decodeExit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<DecodeTrap *>(cinfo->err)->jump, 1); }

void decodeInto(jpeg_decompress_struct *cinfo, const Bytes *jpeg, Decoded *out)
{
    jpeg_mem_src(cinfo, const_cast<BYTE *>(jpeg->data()), static_cast<unsigned long>(jpeg->size()));
    jpeg_read_header(cinfo, TRUE);
    jpeg_start_decompress(cinfo);
    out->width = cinfo->output_width;
    out->height = cinfo->output_height;
    out->components = unsigned(cinfo->output_components);
    out->pixels.assign(size_t(out->width) * out->height * out->components, 0);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = out->pixels.data() + size_t(cinfo->output_scanline) * out->width * out->components;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);
    out->ok = true;
}

Decoded decode(const Bytes &jpeg)
{
    Decoded out;
    jpeg_decompress_struct cinfo;
    DecodeTrap trap;
    cinfo.err = jpeg_std_error(&trap.pub);
    trap.pub.error_exit = decodeExit;
    if (setjmp(trap.jump) == 0) {
        jpeg_create_decompress(&cinfo);
        decodeInto(&cinfo, &jpeg, &out);
    }
    jpeg_destroy_decompress(&cinfo);
    return out;
}

/* Largest difference between two byte strings of one length. */
int maxDifference(const Bytes &a, const Bytes &b)
{
    int worst = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++)
        worst = std::max(worst, std::abs(int(a[i]) - int(b[i])));
    return worst;
}

/* Whether the JPEG holds the baseline frame marker FF C0. */
bool hasBaselineFrame(const Bytes &jpeg)
{
    for (size_t i = 0; i + 1 < jpeg.size(); i++)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0)
            return true;
    return false;
}

/* A smooth grey band: JPEG shrinks it well and keeps it close. */
Bytes greyGradient(DWORD width, DWORD rows)
{
    Bytes b(size_t(width) * rows);
    for (DWORD y = 0; y < rows; y++)
        for (DWORD x = 0; x < width; x++)
            b[size_t(y) * width + x] = BYTE((x * 2 + y) & 0xFF);
    return b;
}

Bytes noise(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes b(n);
    for (BYTE &v : b)
        v = BYTE(rng());
    return b;
}

class JpegBandTest : public OutputTest {
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        ASSERT_EQ(OUT_InitSpoolFile(&scratch, FALSE, strings), 0);
    }
    void TearDown() override
    {
        OUT_DeleteSpoolFile(&scratch);
        OutputTest::TearDown();
    }

    /* Compresses `band`; on success it is replaced by the JPEG. */
    int encode(Bytes &band, BYTE &kind, DWORD width, DWORD rows, BYTE &method)
    {
        DWORD length = DWORD(band.size());
        const int result = CMP_JpegEncodeBand(&scratch, &kind, width, rows, &method, &length, band.data());
        if (result == CMP_JPEG_DONE)
            band.resize(length);
        else
            EXPECT_EQ(length, band.size()) << "the length is untouched";
        return result;
    }

    SpoolFile scratch{};
};

TEST_F(JpegBandTest, GreyBandDecodesBackToItsSize)
{
    const Bytes raw = greyGradient(64, 32);
    Bytes band = raw;
    BYTE kind = 3, method = CMP_METHOD_NONE;
    ASSERT_EQ(encode(band, kind, 64, 32, method), CMP_JPEG_DONE);
    EXPECT_EQ(kind, CMP_KIND_JPEG);
    EXPECT_EQ(method, CMP_METHOD_JPEG);
    ASSERT_LT(band.size(), raw.size());
    EXPECT_EQ(hex(Bytes(band.begin(), band.begin() + 2)), "FF D8");
    EXPECT_EQ(hex(Bytes(band.end() - 2, band.end())), "FF D9");
    EXPECT_TRUE(hasBaselineFrame(band));

    const Decoded d = decode(band);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 64u);
    EXPECT_EQ(d.height, 32u);
    EXPECT_EQ(d.components, 1u);
    EXPECT_LE(maxDifference(d.pixels, raw), 12);
}

TEST_F(JpegBandTest, RgbBandGoesRedGreenBlue)
{
    /* Blue 200, green 100, red 30 in memory order blue, green, red. */
    Bytes band(size_t(48) * 24 * 3);
    for (size_t i = 0; i < band.size(); i += 3) {
        band[i] = 200;
        band[i + 1] = 100;
        band[i + 2] = 30;
    }
    BYTE kind = CMP_KIND_RGB, method = CMP_METHOD_NONE;
    ASSERT_EQ(encode(band, kind, 48, 24, method), CMP_JPEG_DONE);
    EXPECT_EQ(kind, CMP_KIND_JPEG);
    const Decoded d = decode(band);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 48u);
    EXPECT_EQ(d.height, 24u);
    ASSERT_EQ(d.components, 3u);
    Bytes rgb(d.pixels.size());
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = 30;
        rgb[i + 1] = 100;
        rgb[i + 2] = 200;
    }
    EXPECT_LE(maxDifference(d.pixels, rgb), 6);
}

TEST_F(JpegBandTest, JpegOfSeveralBuffersReadsBackWhole)
{
    /* A textured band whose JPEG fills the 4,096-byte buffer at least once, then a part of it. */
    Bytes raw = greyGradient(256, 128);
    const Bytes grain = noise(raw.size(), 7);
    for (size_t i = 0; i < raw.size(); i++)
        raw[i] = BYTE(raw[i] / 2 + grain[i] % 24);
    Bytes band = raw;
    BYTE kind = 3, method = CMP_METHOD_NONE;
    ASSERT_EQ(encode(band, kind, 256, 128, method), CMP_JPEG_DONE);
    EXPECT_GT(band.size(), 4096u) << "the test needs a JPEG of more than one buffer";
    EXPECT_NE(band.size() % 4096, 0u);
    const Decoded d = decode(band);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.width, 256u);
    EXPECT_EQ(d.height, 128u);

    /* The next band starts again at the file's beginning; the longer old content does not leak into it. */
    Bytes small = greyGradient(64, 32);
    kind = 3;
    ASSERT_EQ(encode(small, kind, 64, 32, method), CMP_JPEG_DONE);
    EXPECT_EQ(hex(Bytes(small.end() - 2, small.end())), "FF D9");
    EXPECT_TRUE(decode(small).ok);
}

TEST_F(JpegBandTest, BandThatDoesNotShrinkIsLeftAlone)
{
    struct {
        const char *what;
        BYTE kind;
        DWORD width, rows;
    } cases[] = {
        /* The headers and tables alone are some hundreds of bytes. */
        {"grey noise", 3, 16, 8},
        {"RGB noise", CMP_KIND_RGB, 8, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes raw = noise(size_t(c.width) * c.rows * (c.kind == CMP_KIND_RGB ? 3 : 1), 11);
        Bytes band = raw;
        BYTE kind = c.kind, method = CMP_METHOD_NONE;
        EXPECT_EQ(encode(band, kind, c.width, c.rows, method), CMP_JPEG_NOT_SMALLER);
        EXPECT_EQ(band, raw) << "not even turned to red, green, blue";
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(method, CMP_METHOD_NONE);
    }
}

TEST_F(JpegBandTest, BadArgumentsAreRefused)
{
    Bytes band = greyGradient(64, 32);
    const Bytes raw = band;
    BYTE kind = 3, method = CMP_METHOD_NONE;
    DWORD length = DWORD(band.size());
    DWORD shortLength = length - 1;
    struct {
        const char *what;
        SpoolFile *file;
        BYTE *kind;
        DWORD width, rows;
        BYTE *method;
        DWORD *length;
        BYTE *pixels;
    } cases[] = {
        {"no scratch file", nullptr, &kind, 64, 32, &method, &length, band.data()},
        {"no kind", &scratch, nullptr, 64, 32, &method, &length, band.data()},
        {"no method", &scratch, &kind, 64, 32, nullptr, &length, band.data()},
        {"no length", &scratch, &kind, 64, 32, &method, nullptr, band.data()},
        {"no pixels", &scratch, &kind, 64, 32, &method, &length, nullptr},
        {"zero width", &scratch, &kind, 0, 32, &method, &length, band.data()},
        {"zero rows", &scratch, &kind, 64, 0, &method, &length, band.data()},
        {"width past the JPEG limit", &scratch, &kind, 65501, 1, &method, &length, band.data()},
        {"huge width", &scratch, &kind, 0xFFFFFFFFu, 0xFFFFFFFFu, &method, &length, band.data()},
        {"band longer than its buffer", &scratch, &kind, 64, 32, &method, &shortLength, band.data()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(CMP_JpegEncodeBand(c.file, c.kind, c.width, c.rows, c.method, c.length, c.pixels),
                  CMP_JPEG_BAD_ARGUMENT);
        EXPECT_EQ(band, raw);
        EXPECT_EQ(kind, 3);
        EXPECT_EQ(method, CMP_METHOD_NONE);
        EXPECT_EQ(length, raw.size());
    }
    EXPECT_EQ(scratch.path[0], 0) << "no scratch file made for a refused band";
    EXPECT_EQ(CMP_JpegEncodeImage(nullptr), CMP_JPEG_BAD_ARGUMENT);
}

TEST_F(JpegBandTest, ImageRecordIsCompressedInPlace)
{
    Bytes band = greyGradient(64, 32);
    CmpJpegBand record{&scratch, 3, 64, 32, CMP_METHOD_NONE, DWORD(band.size()), band.data()};
    ASSERT_EQ(CMP_JpegEncodeImage(&record), CMP_JPEG_DONE);
    EXPECT_EQ(record.kind, CMP_KIND_JPEG);
    EXPECT_EQ(record.method, CMP_METHOD_JPEG);
    band.resize(record.length);
    const Decoded d = decode(band);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.width, 64u);
}

TEST_F(JpegBandTest, ScratchFileThatCannotBeMade)
{
    ASSERT_TRUE(CreateDirectoryW(u"c:\\", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    plat::sysdir_fail_temp_name(true);
    HANDLE holder = CreateFileW(u"c:\\qzmrd.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const Bytes raw = greyGradient(64, 32);
    Bytes band = raw;
    BYTE kind = 3, method = CMP_METHOD_NONE;
    EXPECT_EQ(encode(band, kind, 64, 32, method), CMP_JPEG_SCRATCH_FAILED);
    EXPECT_EQ(band, raw);
    CloseHandle(holder);
    plat::sysdir_fail_temp_name(false);
}

TEST_F(JpegBandTest, ScratchWriteThatFailsEndsTheCompression)
{
    ASSERT_EQ(OUT_CreateSpoolFile(&scratch), 0);
    plat::fault_disk_full(true);
    plat::msgbox_script(IDCANCEL);
    Bytes band = greyGradient(128, 128);
    const Bytes before = band;
    BYTE kind = 3, method = CMP_METHOD_NONE;
    EXPECT_EQ(encode(band, kind, 128, 128, method), CMP_JPEG_SCRATCH_FAILED);
    plat::fault_disk_full(false);
    EXPECT_EQ(band, before);
    EXPECT_EQ(kind, 3);
    EXPECT_EQ(method, CMP_METHOD_NONE);
    EXPECT_EQ(boxes().size(), 1u) << "the retry box was shown once and cancelled";
}

TEST(JpegChoice, OnlyPlainCopiesOfLargeEnoughGreyOrRgbBands)
{
    const CmpImageQuery rgb{TRUE, 24, 20, 20, 4, CMP_FORMAT_RGB, 1200, 2, 0xCC};
    struct {
        const char *what;
        CmpImageQuery query;
        int result;
    } cases[] = {
        {"24-bit RGB", rgb, 0},
        {"8-bit grey of 1,024 bytes", {TRUE, 8, 32, 32, 4, CMP_FORMAT_GREY, 1024, 2, 0xCC}, 0},
        {"8-bit grey palette", {TRUE, 8, 32, 32, 4, CMP_FORMAT_GREY_PALETTE, 1024, 2, 0xCC}, 0},
        {"8-bit grey of 1,023 bytes", {TRUE, 8, 31, 33, 4, CMP_FORMAT_GREY, 1023, 2, 0xCC}, 1},
        {"8-bit grey of 900 bytes", {TRUE, 8, 30, 30, 4, CMP_FORMAT_GREY, 900, 2, 0xCC}, 1},
        {"colour palette", {TRUE, 8, 32, 32, 4, 11, 1024, 2, 0xCC}, 1},
        {"4-bit grey", {TRUE, 4, 64, 32, 4, CMP_FORMAT_GREY, 1024, 2, 0xCC}, 1},
        {"RGB of 8 bits", {TRUE, 8, 32, 32, 4, CMP_FORMAT_RGB, 1024, 2, 0xCC}, 1},
        {"no source surface", {FALSE, 24, 20, 20, 4, CMP_FORMAT_RGB, 1200, 2, 0xCC}, 1},
        {"another raster operation", {TRUE, 24, 20, 20, 4, CMP_FORMAT_RGB, 1200, 2, 0x88}, 1},
        {"job compression RLE and delta row", {TRUE, 24, 20, 20, 7, CMP_FORMAT_RGB, 1200, 2, 0xCC}, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        BYTE method = 0;
        EXPECT_EQ(CMP_ChooseMethod(&c.query, nullptr, &method), c.result);
        EXPECT_EQ(method, c.result == 0 ? CMP_METHOD_JPEG : CMP_METHOD_NONE);
    }
    BYTE method = 0;
    EXPECT_EQ(CMP_ChooseMethod(nullptr, nullptr, &method), 1);
    EXPECT_EQ(method, CMP_METHOD_NONE);
}

} // namespace
