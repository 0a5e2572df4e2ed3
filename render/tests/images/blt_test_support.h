// Fixtures of the image tests: engine bitmaps of every format written
// pixel by pixel (top-down or bottom-up), a device context on a capturing
// writer with the job's image spool, and the rows of the ReadImage blocks
// it wrote, decoded by the job lister.
#ifndef RENDER_TESTS_BLT_TEST_SUPPORT_H
#define RENDER_TESTS_BLT_TEST_SUPPORT_H

#include "blt_image_spool.h"
#include "blt_records.h"
#include "draw_blt.h"
#include "pclxl_ops.h"
#include "pdev_context.h"
#include "xl_test_support.h"

#include "pxllist/pxllist.h"

#include <plat/engine.h>

#include <cstring>
#include <string>
#include <vector>

namespace blt_test {

inline ULONG bitsOf(ULONG format)
{
    static const ULONG bits[] = {0, 1, 4, 8, 16, 24, 32};
    return format <= BMF_32BPP ? bits[format] : 0;
}

/* An engine bitmap with rows padded to 32 bits, as the engine makes them. */
struct Bitmap {
    std::vector<BYTE> bits;
    SURFOBJ so{};
    LONG stride = 0;
    ULONG bpp = 0;

    Bitmap(LONG width, LONG height, ULONG format, bool bottomUp)
    {
        bpp = bitsOf(format);
        stride = LONG((ULONGLONG(width) * bpp + 31) / 32 * 4);
        bits.assign(size_t(stride) * size_t(height), 0);
        so.sizlBitmap = SIZEL{width, height};
        so.cjBits = ULONG(bits.size());
        so.pvBits = bits.data();
        so.lDelta = bottomUp ? -stride : stride;
        so.pvScan0 = bottomUp ? bits.data() + size_t(stride) * size_t(height - 1) : bits.data();
        so.iBitmapFormat = format;
        so.iType = STYPE_BITMAP;
        so.fjBitmap = bottomUp ? 0 : BMF_TOPDOWN;
    }
    Bitmap(const Bitmap &) = delete;

    BYTE *row(LONG y) { return static_cast<BYTE *>(so.pvScan0) + LONGLONG(y) * so.lDelta; }

    /* Pixel (x, y) as its raw value (24 bits: the bytes low first in memory). */
    void set(LONG x, LONG y, ULONG v)
    {
        BYTE *r = row(y);
        switch (bpp) {
        case 1: r[x / 8] = BYTE(v & 1 ? r[x / 8] | (0x80 >> (x % 8)) : r[x / 8] & ~(0x80 >> (x % 8))); break;
        case 4: r[x / 2] = BYTE(x % 2 ? (r[x / 2] & 0xF0) | (v & 0xF) : (r[x / 2] & 0x0F) | ((v & 0xF) << 4)); break;
        default:
            for (ULONG k = 0; k < bpp / 8; k++)
                r[size_t(x) * (bpp / 8) + k] = BYTE(v >> (8 * k));
        }
    }
};

/* A device context on a capturing writer with an image spool (compression `mode` as the job gives it). */
class ImageTest : public XlTest {
protected:
    void SetUp() override
    {
        XlTest::SetUp();
        openSpool(1);
    }
    void TearDown() override
    {
        BLT_FreeImageSpool(pdev->imageSpool, pdev->pendingImages);
        pdev->imageSpool = nullptr;
        pdev->pendingImages = nullptr;
        XlTest::TearDown();
    }

    void openSpool(LONG mode)
    {
        BLT_FreeImageSpool(pdev->imageSpool, pdev->pendingImages);
        ASSERT_EQ(BLT_CreateImageSpool(&pdev->imageSpool, &pdev->pendingImages, mode, nullptr), 0);
    }

    /* Everything written since the last take, as raw bytes. */
    std::string takeBytes()
    {
        EXPECT_EQ(OUT_Flush(pdev->channel), 0);
        std::string s(capture.bytes.begin(), capture.bytes.end());
        capture.reset();
        return s;
    }

    /* The operators written since the last take, listed as the data of a stream. */
    pxllist::Listing listing()
    {
        std::string bytes = ") HP-PCL XL;2;1;test\n" + takeBytes();
        pxllist::Options options;
        options.stream_body = true;
        pxllist::Listing l;
        std::span<const uint8_t> span(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
        EXPECT_TRUE(pxllist::ListJob(span, options, &l)) << pxllist::FormatError(l.error);
        return l;
    }
};

/* The ReadImage records of a listing. */
inline std::vector<const pxllist::Record *> readImages(const pxllist::Listing &l)
{
    std::vector<const pxllist::Record *> out;
    for (const pxllist::Record &r : l.records)
        if (r.kind == pxllist::RecordKind::kOperator && r.op == pxllist::op::kReadImage)
            out.push_back(&r);
    return out;
}

/* The decoded rows of every ReadImage block, one after another. */
inline std::vector<BYTE> decodedRows(const pxllist::Listing &l)
{
    std::vector<BYTE> rows;
    for (const pxllist::Record *r : readImages(l))
        rows.insert(rows.end(), r->rows.begin(), r->rows.end());
    return rows;
}

/* An attribute's first value, or -1 when absent. */
inline double attrOf(const pxllist::Record &r, uint16_t id)
{
    const pxllist::Attribute *a = pxllist::FindAttribute(r, id);
    return a && !a->values.empty() ? a->values[0] : -1;
}

} // namespace blt_test

#endif /* RENDER_TESTS_BLT_TEST_SUPPORT_H */
