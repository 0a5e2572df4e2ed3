// PCL XL commands that are never cached: session, page, streams, comments,
// page transforms, paths, images and font download, byte-exact against
// bytes written out by hand from the attribute and operator tables.
#include "pclxl_ops.h"

#include "xl_test_support.h"

#include <cstdint>
#include <functional>

namespace {

using CommandTest = XlTest;

XlPageStart plainPage()
{
    XlPageStart p{};
    p.orientation = 0;
    p.mediaSource = -1;
    p.mediaSize = 2;
    p.mediaDestination = -1;
    p.simplexMode = -1;
    p.duplexMode = -1;
    p.duplexSide = -1;
    return p;
}

const BYTE kThree[3] = {1, 2, 3};

TEST_F(CommandTest, ByteExactCommands)
{
    struct Case {
        const char *name;
        std::function<int(PdevContext *)> write;
        std::string bytes;
    } cases[] = {
        {"BeginSession", [](PdevContext *p) { return XL_BeginSession(p, 600, 600, 0, 3); },
         "D1 58 02 58 02 F8 89 C0 00 F8 86 C0 03 F8 8F 41"},
        {"EndSession", XL_EndSession, "42"},
        {"OpenDataSource", [](PdevContext *p) { return XL_OpenDataSource(p, 0, 1); }, "C0 00 F8 88 C0 01 F8 82 48"},
        {"CloseDataSource", XL_CloseDataSource, "49"},
        {"EndPage without copies", [](PdevContext *p) { return XL_EndPage(p, 0); }, "44"},
        {"EndPage with copies", [](PdevContext *p) { return XL_EndPage(p, 2); }, "C1 02 00 F8 31 44"},
        {"PushGS", XL_PushGS, "61"},
        {"PopGS", XL_PopGS, "60"},
        {"BeginStream", [](PdevContext *p) { return XL_BeginStream(p, "MACRO"); },
         "C8 C1 05 00 4D 41 43 52 4F F8 8B 5B"},
        {"ReadStream", [](PdevContext *p) { return XL_ReadStream(p, 1000); }, "C2 E8 03 00 00 F8 8C 5C"},
        {"EndStream", XL_EndStream, "5D"},
        {"ExecStream", [](PdevContext *p) { return XL_ExecStream(p, "ROTBK"); },
         "C8 C1 05 00 52 4F 54 42 4B F8 8B 5E"},
        {"Comment", [](PdevContext *p) { return XL_Comment(p, "Hi"); }, "C8 C0 02 48 69 F8 81 47"},
        {"CommentPc", [](PdevContext *p) { return XL_CommentPc(p, 1); },
         "C8 C0 07 " + hexText("QZPC=01") + " F8 81 47"},
        {"CommentPc 255", [](PdevContext *p) { return XL_CommentPc(p, 255); },
         "C8 C0 08 " + hexText("QZPC=255") + " F8 81 47"},
        {"CommentSr", [](PdevContext *p) { return XL_CommentSr(p, 1, 1); },
         "C8 C0 07 " + hexText("QZSR=05") + " F8 81 47"},
        {"CommentSr b only", [](PdevContext *p) { return XL_CommentSr(p, 0, 7); },
         "C8 C0 07 " + hexText("QZSR=04") + " F8 81 47"},
        {"CommentCc", XL_CommentCc, "C8 C0 07 " + hexText("QZCC=00") + " F8 81 47"},
        {"SetPageDefaultCtm", XL_SetPageDefaultCtm, "74"},
        {"SetPageOrigin", [](PdevContext *p) { return XL_SetPageOrigin(p, -1, 2); }, "D3 FF FF 02 00 F8 2A 75"},
        {"SetPageScale", [](PdevContext *p) { return XL_SetPageScale(p, 2.0f, 0.5f); },
         "D5 00 00 00 40 00 00 00 3F F8 2B 77"},
        {"NewPath", XL_NewPath, "85"},
        {"CloseSubPath", XL_CloseSubPath, "84"},
        {"PaintPath", XL_PaintPath, "86"},
        {"SetCursor", [](PdevContext *p) { return XL_SetCursor(p, 300, 5); }, "D3 2C 01 05 00 F8 4C 6B"},
        {"LineTo", [](PdevContext *p) { return XL_LineTo(p, 10, 20); }, "D0 0A 14 F8 45 9B"},
        {"Rectangle", [](PdevContext *p) { return XL_Rectangle(p, 1, 2, 300, 4); },
         "E3 01 00 02 00 2C 01 04 00 F8 42 A0"},
        {"Ellipse", [](PdevContext *p) { return XL_Ellipse(p, 0, 0, 10, 10); }, "E0 00 00 0A 0A F8 42 98"},
        {"DrawLine", [](PdevContext *p) { return XL_DrawLine(p, 0, 0, 10, 20); },
         "85 D0 00 00 F8 4C 6B D0 0A 14 F8 45 9B 86"},
        {"BeginImage", [](PdevContext *p) { return XL_BeginImage(p, 0, 2, 100, 2, 200, 4); },
         "C0 00 F8 64 C0 02 F8 62 C1 64 00 F8 6C C1 02 00 F8 6B D1 C8 00 04 00 F8 67 B0"},
        {"ReadImageHeader pad 4", [](PdevContext *p) { return XL_ReadImageHeader(p, 0, 2, 1, 4, 10); },
         "C1 00 00 F8 6D C1 02 00 F8 63 C0 01 F8 65 B1 FB 0A"},
        {"ReadImageHeader pad 0", [](PdevContext *p) { return XL_ReadImageHeader(p, 0, 2, 1, 0, 10); },
         "C1 00 00 F8 6D C1 02 00 F8 63 C0 01 F8 65 B1 FB 0A"},
        {"ReadImageHeader pad 3", [](PdevContext *p) { return XL_ReadImageHeader(p, 5, 1, 2, 3, 300); },
         "C1 05 00 F8 6D C1 01 00 F8 63 C0 02 F8 65 C0 03 F8 6E B1 FA 2C 01 00 00"},
        {"WriteData", [](PdevContext *p) { return XL_WriteData(p, kThree, 3); }, "01 02 03"},
        {"EndImage", XL_EndImage, "B2"},
        {"BeginRastPattern", [](PdevContext *p) { return XL_BeginRastPattern(p, 1, 0, 8, 8, 16, 16, -3, 2); },
         "C0 01 F8 64 C0 00 F8 62 C1 08 00 F8 6C C1 08 00 F8 6B D1 10 00 10 00 F8 67 C3 FD FF F8 69 C0 02 F8 68 B3"},
        {"ReadRastPattern", [](PdevContext *p) { return XL_ReadRastPattern(p, 0, 8, 0, 1, kThree, 3); },
         "C1 00 00 F8 6D C1 08 00 F8 63 C0 00 F8 65 C0 01 F8 6E B4 FB 03 01 02 03"},
        {"EndRastPattern", XL_EndRastPattern, "B5"},
        {"BeginFontHeader", [](PdevContext *p) { return XL_BeginFontHeader(p, "F1"); },
         "C8 C0 02 46 31 F8 A8 C0 00 F8 A9 4F"},
        {"ReadFontHeader", [](PdevContext *p) { return XL_ReadFontHeader(p, kThree, 3); },
         "C1 03 00 F8 A7 50 FB 03 01 02 03"},
        {"EndFontHeader", XL_EndFontHeader, "51"},
        {"BeginChar", [](PdevContext *p) { return XL_BeginChar(p, "F1"); }, "C8 C0 02 46 31 F8 A8 52"},
        {"ReadChar", [](PdevContext *p) { return XL_ReadChar(p, 0x41, kThree, 2); },
         "C1 41 00 F8 A2 C2 02 00 00 00 F8 A3 53 FB 02 01 02"},
        {"EndChar", XL_EndChar, "54"},
        {"RemoveFont", [](PdevContext *p) { return XL_RemoveFont(p, "F1"); }, "C8 C0 02 46 31 F8 A8 55"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.write(ctx()), 0);
        EXPECT_EQ(take(), c.bytes);
        EXPECT_EQ(c.write(ctx()), 0);
        EXPECT_EQ(take(), c.bytes) << "never skipped";
        EXPECT_EQ(c.write(nullptr), -1);
    }
}

TEST_F(CommandTest, BeginPageWithTray5AndStandardSize)
{
    XlPageStart p = plainPage();
    p.mediaSource = 0xF0;
    p.duplexSide = 1; /* no duplex mode: the side is not sent */
    ASSERT_EQ(XL_BeginPage(ctx(), &p), 0);
    EXPECT_EQ(take(), "C0 00 F8 28 C8 C0 05 54 52 41 59 35 F8 26 C0 02 F8 25 43");
}

TEST_F(CommandTest, BeginPageWithEveryOptionalAttribute)
{
    XlPageStart p = plainPage();
    p.mediaSource = 1;
    p.mediaSize = -1;
    p.customWidth = 210.0f;
    p.customHeight = 297.0f;
    p.customUnits = 1;
    p.mediaType = "Plain";
    p.mediaDestination = 3;
    p.simplexMode = 0;
    p.duplexMode = 0;
    p.duplexSide = 1;
    ASSERT_EQ(XL_BeginPage(ctx(), &p), 0);
    EXPECT_EQ(take(), "C0 00 F8 28 C0 01 F8 26 D5 00 00 52 43 00 80 94 43 F8 2F C0 01 F8 30 "
                      "C8 C0 05 50 6C 61 69 6E F8 27 C0 03 F8 24 C0 00 F8 34 C0 00 F8 35 C0 01 F8 36 43");
    p = plainPage();
    p.mediaType = "";
    ASSERT_EQ(XL_BeginPage(ctx(), &p), 0);
    EXPECT_EQ(take(), "C0 00 F8 28 C0 02 F8 25 43");
    EXPECT_EQ(XL_BeginPage(ctx(), nullptr), -1);
}

TEST_F(CommandTest, PageRotationIsFolded)
{
    struct Case {
        LONG angle;
        const char *sint16;
    } cases[] = {{400, "28 00"},  {720, "68 01"},  {-400, "D8 FF"}, {360, "68 01"},
                 {-360, "98 FE"}, {90, "5A 00"},   {361, "01 00"}, {-721, "FF FF"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.angle);
        ASSERT_EQ(XL_SetPageRotation(ctx(), c.angle), 0);
        EXPECT_EQ(take(), std::string("C3 ") + c.sint16 + " F8 29 76");
    }
    ASSERT_EQ(XL_SetPageRotation(ctx(), INT32_MIN), 0) << "the most negative angle folds without overflow";
}

TEST_F(CommandTest, TextWithSpacingArrays)
{
    const WORD codes[2] = {0x41, 0x42};
    const SHORT xs[2] = {10, -10}, ys[2] = {1, 2};
    ASSERT_EQ(XL_Text(ctx(), 2, codes, TRUE, FALSE, xs, nullptr), 0);
    EXPECT_EQ(take(), "C9 C0 02 41 00 42 00 F8 AB CB C0 02 0A 00 F6 FF F8 AF A8");
    ASSERT_EQ(XL_Text(ctx(), 2, codes, FALSE, TRUE, nullptr, ys), 0);
    EXPECT_EQ(take(), "C9 C0 02 41 00 42 00 F8 AB CB C0 02 01 00 02 00 F8 B0 A8");
    EXPECT_EQ(XL_Text(ctx(), 2, codes, TRUE, FALSE, nullptr, nullptr), -1);
    EXPECT_EQ(XL_Text(ctx(), 2, nullptr, FALSE, FALSE, nullptr, nullptr), -1);
    std::vector<WORD> many(65536, 0x20);
    EXPECT_EQ(XL_Text(ctx(), 65536, many.data(), FALSE, FALSE, nullptr, nullptr), -1);
    EXPECT_EQ(take(), "");
}

TEST_F(CommandTest, BadArgumentsWriteNothing)
{
    EXPECT_EQ(XL_CommentPc(ctx(), 256), -1);
    EXPECT_EQ(XL_CommentPc(ctx(), -1), -1);
    EXPECT_EQ(XL_Comment(ctx(), nullptr), -1);
    EXPECT_EQ(XL_BeginStream(ctx(), nullptr), -1);
    EXPECT_EQ(XL_ReadFontHeader(ctx(), nullptr, 3), -1);
    std::vector<BYTE> header(65536, 0);
    EXPECT_EQ(XL_ReadFontHeader(ctx(), header.data(), 65536), -1);
    EXPECT_EQ(XL_ReadChar(ctx(), 1, nullptr, 3), -1);
    EXPECT_EQ(XL_WriteData(ctx(), nullptr, 3), -1);
    EXPECT_EQ(XL_ReadRastPattern(ctx(), 0, 1, 0, 0, nullptr, 3), -1);
    EXPECT_EQ(take(), "");
}

} // namespace
