// The blt core through the library's entry points in a running job: the
// ROP4 roads that hand back to the engine (with the arguments it gets),
// draw nothing or write nothing, DrvCopyBits from the device, invalid
// contexts, and the transparent blt's white value and mask.
#include "blt_test_support.h"
#include "blt_image.h"
#include "job_listing.h"
#include "sheet_state.h"

#include <plat/error.h>
#include <plat/memory.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace job_test;
using blt_test::Bitmap;

class BltCore : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        dm->set(1334, 0);
        enableContext();
        ASSERT_TRUE(startDoc());
        ASSERT_TRUE(DrvStartPage(so));
        plat::engine_fallback_clear();
    }
    void TearDown() override
    {
        plat::engine_fallback_clear();
        JobTest::TearDown();
    }
};

TEST_F(BltCore, RefusedRop4sGoBackToTheEngineByEntryPoint)
{
    Bitmap src(8, 8, BMF_24BPP, false);
    Bitmap mask(8, 8, BMF_1BPP, false);
    BRUSHOBJ *brush = plat::engine_make_solid_brush(0x123456);
    RECTL r{10, 20, 18, 28};
    POINTL p{0, 0};
    struct Case {
        const char *name;
        std::function<BOOL()> call;
        const char *engine; /* null: nothing handed back */
        ROP4 rop4;
    } cases[] = {
        {"DrvBitBlt, foreground 0xCC, background 0xAA",
         [&] { return DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xAACC); },
         "EngBitBlt", 0xAACC},
        {"DrvStretchBltROP with the same ROP4",
         [&] {
             return DrvStretchBltROP(so, &src.so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, &r, nullptr, 3,
                                     nullptr, 0xAACC);
         },
         "EngStretchBltROP", 0xAACC},
        {"0xAAF0 with a mask",
         [&] { return DrvBitBlt(so, nullptr, &mask.so, nullptr, nullptr, &r, &p, &p, brush, &p, 0xAAF0); },
         "EngBitBlt", 0xAAF0},
        {"0xCCAA without a brush",
         [&] { return DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xCCAA); },
         "EngBitBlt", 0xCCAA},
        {"0xCCAA with a brush and no mask: nothing at all",
         [&] { return DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, brush, &p, 0xCCAA); },
         nullptr, 0},
        {"0xAAAA: nothing drawn",
         [&] { return DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xAAAA); },
         nullptr, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        plat::engine_fallback_clear();
        EXPECT_TRUE(c.call());
        const auto log = plat::engine_fallback_log();
        if (!c.engine) {
            EXPECT_TRUE(log.empty());
            continue;
        }
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].name, c.engine);
        EXPECT_EQ(log[0].rop4, c.rop4);
        EXPECT_EQ(log[0].dest.left, 10);
        EXPECT_EQ(log[0].dest.bottom, 28);
    }
    /* The engine's answer is the call's answer. */
    plat::engine_fallback_clear();
    plat::engine_fallback_script(FALSE);
    EXPECT_FALSE(DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xAACC));
    plat::engine_free_brush(brush);
    EXPECT_TRUE(DrvSendPage(so));
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(BltCore, CopyBitsFromTheDeviceFillsTheBitmapWithWhite)
{
    Bitmap dest(16, 16, BMF_24BPP, false);
    RECTL r{2, 3, 12, 13};
    POINTL p{0, 0};
    EXPECT_TRUE(DrvCopyBits(&dest.so, so, nullptr, nullptr, &r, &p));
    const auto log = plat::engine_fallback_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "EngEraseSurface");
    EXPECT_EQ(log[0].color, 0xFFFFFFFFu);
    EXPECT_EQ(log[0].dest.right, 12);

    Bitmap src(16, 16, BMF_24BPP, false);
    SetLastError(0);
    EXPECT_FALSE(DrvCopyBits(&dest.so, &src.so, nullptr, nullptr, &r, &p)) << "bitmap to bitmap is not ours";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(BltCore, EveryEntryRefusesAnInvalidContext)
{
    SURFOBJ bad{};
    BYTE junk[64] = {};
    bad.dhpdev = reinterpret_cast<DHPDEV>(&junk);
    bad.iType = STYPE_DEVICE;
    Bitmap src(4, 4, BMF_24BPP, false);
    RECTL r{0, 0, 4, 4};
    POINTL p{0, 0};
    std::function<BOOL()> calls[] = {
        [&] { return DrvBitBlt(&bad, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xCCCC); },
        [&] { return DrvCopyBits(&bad, &src.so, nullptr, nullptr, &r, &p); },
        [&] { return DrvStretchBlt(&bad, &src.so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, &r, nullptr, 3); },
        [&] { return DrvStretchBltROP(&bad, &src.so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, &r, nullptr, 3,
                                      nullptr, 0xCCCC); },
    };
    for (auto &call : calls) {
        SetLastError(0);
        EXPECT_FALSE(call());
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    SetLastError(0);
    EXPECT_FALSE(DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, nullptr, &p, nullptr, nullptr, nullptr, 0xCCCC));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no destination rectangle";
}

/* The operators of the page after the sheet set-up, up to its end, from the finished job. */
std::vector<std::string> pageOps(const std::string &bytes)
{
    const Job j = list(bytes);
    std::vector<std::string> out;
    bool in = false;
    for (const std::string &op : j.ops) {
        if (op == "Comment QZSR=00")
            in = true;
        else if (in && op.rfind("Comment \"[", 0) == 0 && op.find("EndPage") != std::string::npos)
            break;
        else if (in)
            out.push_back(op);
    }
    return out;
}

bool contains(const std::vector<std::string> &ops, const std::string &op)
{
    return std::find(ops.begin(), ops.end(), op) != ops.end();
}

TEST_F(BltCore, Rop4RoadsThroughTheJob)
{
    Bitmap src(2, 1, BMF_24BPP, false);
    src.set(0, 0, 0xFF0000); /* red (0x00RRGGBB, blue lowest in memory) */
    src.set(1, 0, 0x0000FF); /* blue */
    BRUSHOBJ *brush = plat::engine_make_solid_brush(0x00FF00);
    POINTL p{0, 0};
    RECTL black{10, 10, 20, 20}, invert{30, 30, 40, 40}, fill{50, 50, 60, 60}, copy{100, 100, 102, 101};
    EXPECT_TRUE(DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &black, &p, nullptr, nullptr, nullptr, 0x0000));
    EXPECT_TRUE(DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &invert, &p, nullptr, nullptr, nullptr, 0x5555));
    EXPECT_TRUE(DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &fill, &p, nullptr, brush, &p, 0xF0F0));
    EXPECT_TRUE(DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &copy, &p, nullptr, nullptr, nullptr, 0xCCCC));
    plat::engine_free_brush(brush);
    EXPECT_TRUE(plat::engine_fallback_log().empty());
    ASSERT_TRUE(DrvSendPage(so));
    ASSERT_TRUE(DrvEndDoc(so, 0));
    const std::string bytes = spooled();
    const std::vector<std::string> ops = pageOps(bytes);
    std::string all;
    for (const std::string &op : ops)
        all += op + "\n";
    SCOPED_TRACE(all);
    EXPECT_TRUE(contains(ops, "SetBrushSource GrayLevel=0")) << "solid black";
    EXPECT_TRUE(contains(ops, "SetROP ROP3=240"));
    EXPECT_TRUE(contains(ops, "Rectangle BoundingBox=10,10,20,20"));
    EXPECT_TRUE(contains(ops, "SetROP ROP3=85")) << "invert: ROP3 0x55 with no brush";
    EXPECT_TRUE(contains(ops, "Rectangle BoundingBox=30,30,40,40"));
    EXPECT_TRUE(contains(ops, "Rectangle BoundingBox=50,50,60,60"));
    EXPECT_TRUE(contains(ops, "SetROP ROP3=204")) << "source copy";
    const Job j = list(bytes);
    std::vector<BYTE> rows;
    for (const pxllist::Record &r : j.listing.records)
        if (r.kind == pxllist::RecordKind::kOperator && r.op == pxllist::op::kReadImage)
            rows.insert(rows.end(), r.rows.begin(), r.rows.end());
    EXPECT_EQ(rows, (std::vector<BYTE>{0xFF, 0, 0, 0, 0, 0xFF})) << "red then blue, as red, green, blue";
}

TEST_F(BltCore, AnUnscaledBltPokingOutOfARectangularClipIsCutToIt)
{
    CLIPOBJ *clip = plat::engine_make_clip({RECTL{0, 0, 15, 15}});
    POINTL p{0, 0};
    RECTL r{10, 10, 20, 20}, outside{40, 40, 50, 50};
    EXPECT_TRUE(DrvBitBlt(so, nullptr, nullptr, clip, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xFFFF));
    EXPECT_TRUE(DrvBitBlt(so, nullptr, nullptr, clip, nullptr, &outside, &p, nullptr, nullptr, nullptr, 0xFFFF))
        << "an empty cut draws nothing";
    plat::engine_free_clip(clip);
    ASSERT_TRUE(DrvSendPage(so));
    ASSERT_TRUE(DrvEndDoc(so, 0));
    const std::vector<std::string> ops = pageOps(spooled());
    EXPECT_TRUE(contains(ops, "Rectangle BoundingBox=10,10,15,15"));
    for (const std::string &op : ops)
        EXPECT_EQ(op.find("BoundingBox=40"), std::string::npos) << op;
}

/* ---- Transparent blts ------------------------------------------------------------ */

TEST_F(BltCore, TheWhiteValueIsFoundThroughTheTranslation)
{
    struct Case {
        const char *name;
        ULONG format;
        std::vector<ULONG> table; /* empty: no translation */
        BOOL found;
        ULONG value;
    } cases[] = {
        {"8 bits, white at 3", BMF_8BPP, {0x000000, 0x102030, 0x00FF00, 0xFFFFFF, 0xFFFFFF}, TRUE, 3},
        {"8 bits, no white", BMF_8BPP, {0x000000, 0x102030}, FALSE, 0},
        {"4 bits without a table", BMF_4BPP, {}, FALSE, 0},
        {"16 bits", BMF_16BPP, {}, FALSE, 0},
        {"24 bits", BMF_24BPP, {}, TRUE, 0xFFFFFF},
        {"32 bits", BMF_32BPP, {}, TRUE, 0xFFFFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap bmp(2, 2, c.format, false);
        XLATEOBJ *pxlo = c.table.empty() ? nullptr : plat::engine_make_xlate_table(c.table);
        ULONG value = 0;
        EXPECT_EQ(BLT_FindWhiteIndex(&bmp.so, pxlo, &value), c.found);
        if (c.found) {
            EXPECT_EQ(value, c.value);
        }
        plat::engine_free_xlate(pxlo);
    }
    /* 16 bits: 0xFFFF first, then 0x7FFF (5-5-5 white). */
    std::vector<ULONG> t(65536, 0);
    t[0x7FFF] = 0xFFFFFF;
    XLATEOBJ *pxlo = plat::engine_make_xlate_table(t);
    Bitmap b16(1, 1, BMF_16BPP, false);
    ULONG value = 0;
    EXPECT_TRUE(BLT_FindWhiteIndex(&b16.so, pxlo, &value));
    EXPECT_EQ(value, 0x7FFFu);
    plat::engine_free_xlate(pxlo);
}

TEST_F(BltCore, TheMaskClearsTransparentPixelsAndTheCopyTurnsThemWhite)
{
    Bitmap src(10, 2, BMF_8BPP, true), copy(10, 2, BMF_8BPP, true), mask(10, 2, BMF_1BPP, false);
    std::fill(mask.bits.begin(), mask.bits.end(), BYTE(0xFF));
    for (LONG x = 0; x < 10; x++) {
        src.set(x, 0, x % 3 == 0 ? 7 : 1);
        src.set(x, 1, x == 9 ? 7 : 2);
    }
    copy.bits = src.bits;
    const ULONG white = 5;
    ASSERT_TRUE(BLT_BuildTransparentMask(&src.so, &copy.so, &mask.so, 7, &white));
    EXPECT_EQ(mask.row(0)[0], 0x6D) << "pixels 0, 3 and 6 clear: 0110 1101";
    EXPECT_EQ(mask.row(0)[1], 0xBF) << "pixel 9 clear";
    EXPECT_EQ(mask.row(1)[1], 0xBF);
    EXPECT_EQ(copy.row(0)[3], 5);
    EXPECT_EQ(copy.row(0)[4], 1);
    EXPECT_EQ(copy.row(1)[9], 5);
    EXPECT_EQ(src.row(0)[3], 7) << "the caller's source is not touched";
    EXPECT_FALSE(BLT_BuildTransparentMask(&src.so, nullptr, &mask.so, 7, &white));
}

TEST_F(BltCore, ATransparentBltTheDriverCannotPrepareGoesToTheEngine)
{
    Bitmap odd(4, 4, BMF_24BPP, false);
    odd.so.iBitmapFormat = BMF_8RLE;
    RECTL r{0, 0, 4, 4};
    EXPECT_TRUE(DrvTransparentBlt(so, &odd.so, nullptr, nullptr, &r, &r, 0x00FF00, 0));
    const auto log = plat::engine_fallback_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "EngTransparentBlt");
    EXPECT_EQ(log[0].color, 0x00FF00u);
}

} // namespace

/* ---- Turning images with the page -------------------------------------------------- */

namespace {

TEST_F(BltCore, ImagesTurnWithThePageWhenLargerThan64PixelsBothWays)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    ASSERT_NE(sheet, nullptr);
    const DWORD w = 66, h = 65;
    std::vector<BYTE> pixels(size_t(w) * h * 3);
    for (DWORD y = 0; y < h; y++)
        for (DWORD x = 0; x < w; x++) {
            BYTE *p = &pixels[(size_t(y) * w + x) * 3];
            p[0] = BYTE(x), p[1] = BYTE(y), p[2] = 0x77;
        }
    const RECTL dest{100, 200, 100 + 132, 200 + 130};
    struct Case {
        LONG angle;
        LONG after;
        LONG x, y;           /* the cursor in the rotated system */
        DWORD tw, th;        /* the turned image's size */
        LONG dw, dh;         /* its destination size */
        /* where source pixel (x, y) lands */
        std::function<size_t(DWORD, DWORD)> at;
    } cases[] = {
        {180, 180, -232, -330, w, h, 132, 130, [&](DWORD x, DWORD y) { return size_t(h - 1 - y) * w + (w - 1 - x); }},
        {90, 270, -(200 + 130), 100, h, w, 130, 132, [&](DWORD x, DWORD y) { return size_t(x) * h + (h - 1 - y); }},
        {270, 90, 200, -(100 + 132), h, w, 130, 132, [&](DWORD x, DWORD y) { return size_t(w - 1 - x) * h + y; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.angle);
        sheet->pageAngle = c.angle;
        ImageDescriptor d;
        ImageBands bands;
        ULONG mirror = 0;
        BLT_PrepareBands(&dest, &d, &bands, &mirror);
        d.srcWidth = WORD(w);
        d.srcHeight = WORD(h);
        const BYTE *rows = pixels.data();
        LONG after = 0;
        ASSERT_TRUE(BLT_TurnImage(pdev, &dest, mirror, &d, &bands, 3, &rows, &after));
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(bands.x, c.x);
        EXPECT_EQ(bands.y, c.y);
        EXPECT_EQ(d.srcWidth, c.tw);
        EXPECT_EQ(d.srcHeight, c.th);
        EXPECT_EQ(d.destWidth, c.dw);
        EXPECT_EQ(d.destHeight, c.dh);
        for (DWORD y : {0u, 7u, h - 1})
            for (DWORD x : {0u, 5u, w - 1}) {
                const BYTE *p = rows + c.at(x, y) * 3;
                EXPECT_EQ(p[0], BYTE(x));
                EXPECT_EQ(p[1], BYTE(y));
            }
    }
    /* 64 pixels one way, 1-bit rows and an unturned page stay as they are. */
    sheet->pageAngle = 90;
    ImageDescriptor d;
    ImageBands bands;
    ULONG mirror = 0;
    BLT_PrepareBands(&dest, &d, &bands, &mirror);
    d.srcWidth = 64;
    d.srcHeight = 100;
    const BYTE *rows = pixels.data();
    LONG after = 0;
    EXPECT_FALSE(BLT_TurnImage(pdev, &dest, mirror, &d, &bands, 3, &rows, &after));
    d.srcWidth = 65;
    EXPECT_FALSE(BLT_TurnImage(pdev, &dest, mirror, &d, &bands, 0, &rows, &after));
    sheet->pageAngle = 0;
    EXPECT_FALSE(BLT_TurnImage(pdev, &dest, mirror, &d, &bands, 3, &rows, &after));
    EXPECT_EQ(rows, pixels.data());
}

/* ---- Held images ---------------------------------------------------------------------- */

TEST_F(BltCore, ClipCopiesOfHeldImages)
{
    const RECTL dest{1, 2, 3, 4};
    ClipCopy copy;
    ASSERT_TRUE(BLT_CopyClip(nullptr, &dest, &copy)) << "no clip object: nothing clips";
    EXPECT_EQ(copy.dComplexity, DC_TRIVIAL);
    EXPECT_EQ(copy.dest.right, 3);
    CLIPOBJ *rect = plat::engine_make_clip({RECTL{0, 0, 50, 60}});
    ASSERT_TRUE(BLT_CopyClip(rect, &dest, &copy));
    EXPECT_EQ(copy.dComplexity, DC_RECT);
    EXPECT_EQ(copy.bounds.bottom, 60);
    CLIPOBJ *region = plat::engine_make_clip({RECTL{0, 0, 5, 5}, RECTL{10, 10, 20, 20}});
    ASSERT_TRUE(BLT_CopyClip(region, &dest, &copy));
    EXPECT_EQ(copy.dComplexity, DC_COMPLEX);
    EXPECT_GT(copy.records, 0u) << "the region's path as points";
    EXPECT_NE(copy.points, nullptr);
    HeapFree(GetProcessHeap(), 0, copy.points);
    CLIPOBJ odd = *rect;
    odd.iDComplexity = 2;
    EXPECT_FALSE(BLT_CopyClip(&odd, &dest, &copy));
    plat::engine_free_clip(rect);
    plat::engine_free_clip(region);
}

/* Holds a 2 x 1 strip for destination `dest`: blue v + 1, green and red v. */
void hold(PendingImageList *list, CLIPOBJ *pco, RECTL dest, BYTE value)
{
    HANDLE block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 6);
    BYTE *pixels = static_cast<BYTE *>(GlobalLock(block));
    std::fill(pixels, pixels + 6, value);
    pixels[0] = pixels[3] = BYTE(value + 1);
    ImageDescriptor d{};
    d.x = FLOAT(dest.left);
    d.y = FLOAT(dest.top);
    d.srcWidth = 2;
    d.srcHeight = 1;
    d.colorFormat = BLT_FORMAT_RGB;
    d.bits = 8;
    d.method = 1;
    d.imageBytes = 6;
    d.destWidth = dest.right - dest.left;
    d.destHeight = dest.bottom - dest.top;
    ASSERT_EQ(BLT_QueuePendingImage(list, pco, &dest, &d, &pixels, &block), 0);
}

TEST_F(BltCore, HeldImagesAreWrittenInDrawingOrderWithTheirClips)
{
    ASSERT_NE(pdev->pendingImages, nullptr);
    RECTL none{0, 0, 1, 1};
    POINTL p{0, 0};
    ASSERT_TRUE(DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &none, &p, nullptr, nullptr, nullptr, 0xAAAA))
        << "opens the page";
    CLIPOBJ *region = plat::engine_make_clip({RECTL{0, 0, 101, 150}, RECTL{101, 0, 150, 120}});
    hold(pdev->pendingImages, nullptr, RECTL{100, 100, 102, 101}, 10);
    hold(pdev->pendingImages, region, RECTL{100, 101, 102, 102}, 20);
    hold(pdev->pendingImages, nullptr, RECTL{100, 102, 102, 103}, 30);
    plat::engine_free_clip(region);
    EXPECT_EQ(BLT_FlushPendingImages(pdev, TRUE), 0);
    EXPECT_EQ(pdev->pendingImages->count, 0u);
    ASSERT_TRUE(DrvSendPage(so));
    ASSERT_TRUE(DrvEndDoc(so, 0));
    const std::string bytes = spooled();
    const Job j = list(bytes);
    std::vector<BYTE> rows;
    int compressed = 0;
    for (const pxllist::Record &r : j.listing.records) {
        if (r.kind == pxllist::RecordKind::kOperator && r.op == pxllist::op::kReadImage) {
            rows.insert(rows.end(), r.rows.begin(), r.rows.end());
            compressed += blt_test::attrOf(r, pxllist::attr::kCompressMode) != 0;
        }
    }
    /* Each strip red, green, blue: (v, v, v + 1) twice, in the order held. */
    EXPECT_EQ(rows, (std::vector<BYTE>{10, 10, 11, 10, 10, 11, 20, 20, 21, 20, 20, 21, 30, 30, 31, 30, 30, 31}));
    EXPECT_EQ(compressed, 0) << "held images go out uncompressed";
    const std::vector<std::string> ops = pageOps(bytes);
    EXPECT_TRUE(std::any_of(ops.begin(), ops.end(), [](const std::string &o) { return o.rfind("SetClipIntersect", 0) == 0 || o.rfind("SetClipReplace", 0) == 0; }))
        << "the second strip's region clip is set";
}

TEST_F(BltCore, AFailedFlushEmptiesTheList)
{
    hold(pdev->pendingImages, nullptr, RECTL{0, 0, 2, 1}, 1);
    hold(pdev->pendingImages, nullptr, RECTL{0, 1, 2, 2}, 2);
    pdev->pendingImages->first->descriptor.srcWidth = 0; /* a strip that cannot be written */
    EXPECT_EQ(BLT_FlushPendingImages(pdev, TRUE), -1);
    EXPECT_EQ(pdev->pendingImages->count, 0u);
    EXPECT_EQ(pdev->pendingImages->first, nullptr);
    EXPECT_EQ(BLT_FlushPendingImages(pdev, TRUE), 0) << "an empty list flushes at once";
}

} // namespace
