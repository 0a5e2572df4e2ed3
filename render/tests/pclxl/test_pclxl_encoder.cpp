// PCL XL encoder: byte-exact values, attributes, arrays and embedded data,
// with the expected bytes written out by hand from the format's tag table
// (little-endian binding).
#include "pclxl_encoder.h"

#include "xl_test_support.h"

#include <functional>

namespace {

using EncoderTest = XlTest;

TEST_F(EncoderTest, ValueWritersTagAndPayload)
{
    struct Case {
        const char *name;
        std::function<int(PdevContext *)> write;
        const char *bytes;
    } cases[] = {
        {"PutByte keeps the low 8 bits", [](PdevContext *p) { return XL_PutByte(p, 0x1FF); }, "FF"},
        {"PutUInt16", [](PdevContext *p) { return XL_PutUInt16(p, 0x1234); }, "34 12"},
        {"PutUInt32", [](PdevContext *p) { return XL_PutUInt32(p, 0x01020304); }, "04 03 02 01"},
        {"PutReal32", [](PdevContext *p) { return XL_PutReal32(p, 1.0f); }, "00 00 80 3F"},
        {"PutOperator", [](PdevContext *p) { return XL_PutOperator(p, 0x41); }, "41"},
        {"UByte", [](PdevContext *p) { return XL_UByte(p, 0x80); }, "C0 80"},
        {"UByteXY", [](PdevContext *p) { return XL_UByteXY(p, 1, 2); }, "D0 01 02"},
        {"UByteBox", [](PdevContext *p) { return XL_UByteBox(p, 1, 2, 3, 4); }, "E0 01 02 03 04"},
        {"UInt16", [](PdevContext *p) { return XL_UInt16(p, 0x1234); }, "C1 34 12"},
        {"UInt16XY", [](PdevContext *p) { return XL_UInt16XY(p, 0x0102, 0x0304); }, "D1 02 01 04 03"},
        {"UInt32", [](PdevContext *p) { return XL_UInt32(p, 0x01020304); }, "C2 04 03 02 01"},
        {"SInt16", [](PdevContext *p) { return XL_SInt16(p, -2); }, "C3 FE FF"},
        {"SInt16XY", [](PdevContext *p) { return XL_SInt16XY(p, -1, 1); }, "D3 FF FF 01 00"},
        {"SInt16Box", [](PdevContext *p) { return XL_SInt16Box(p, -1, -2, 3, 4); }, "E3 FF FF FE FF 03 00 04 00"},
        {"Real32", [](PdevContext *p) { return XL_Real32(p, 10.5f); }, "C5 00 00 28 41"},
        {"Real32XY", [](PdevContext *p) { return XL_Real32XY(p, 0.5f, -1.0f); }, "D5 00 00 00 3F 00 00 80 BF"},
        {"PutAttr 255", [](PdevContext *p) { return XL_PutAttr(p, 255); }, "F8 FF"},
        {"PutAttr 256", [](PdevContext *p) { return XL_PutAttr(p, 256); }, "F9 00 01"},
        {"PointXY (255, 255)", [](PdevContext *p) { return XL_PointXY(p, 255, 255); }, "D0 FF FF"},
        {"PointXY (256, 0)", [](PdevContext *p) { return XL_PointXY(p, 256, 0); }, "D3 00 01 00 00"},
        {"PointXY (-1, 0)", [](PdevContext *p) { return XL_PointXY(p, -1, 0); }, "D3 FF FF 00 00"},
        {"Box all below 256", [](PdevContext *p) { return XL_Box(p, 0, 0, 255, 255); }, "E0 00 00 FF FF"},
        {"Box with 256", [](PdevContext *p) { return XL_Box(p, 0, 0, 256, 1); }, "E3 00 00 00 00 00 01 01 00"},
        {"Box with -1", [](PdevContext *p) { return XL_Box(p, -1, 0, 10, 10); }, "E3 FF FF 00 00 0A 00 0A 00"},
        {"Embedded 0 bytes", [](PdevContext *p) { return XL_EmbeddedData(p, nullptr, 0); }, "FB 00"},
        {"Embedded header 255", [](PdevContext *p) { return XL_EmbeddedHeader(p, 255); }, "FB FF"},
        {"Embedded header 256", [](PdevContext *p) { return XL_EmbeddedHeader(p, 256); }, "FA 00 01 00 00"},
        {"Embedded header 70000", [](PdevContext *p) { return XL_EmbeddedHeader(p, 70000); }, "FA 70 11 01 00"},
        {"Raw of nothing", [](PdevContext *p) { return XL_PutRaw(p, nullptr, 0); }, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.write(ctx()), 0);
        EXPECT_EQ(take(), c.bytes);
    }
}

TEST_F(EncoderTest, ArrayLengthIsUByteBelow256ElseUInt16)
{
    Bytes b255(255, 0x11), b256(256, 0x22);
    ASSERT_EQ(XL_UByteArray(ctx(), b255.data(), 255), 0);
    EXPECT_EQ(take(), "C8 C0 FF " + hex(b255));
    ASSERT_EQ(XL_UByteArray(ctx(), b256.data(), 256), 0);
    EXPECT_EQ(take(), "C8 C1 00 01 " + hex(b256));

    std::vector<WORD> w255(255, 0x0102), w256(256, 0x0304);
    ASSERT_EQ(XL_UInt16Array(ctx(), w255.data(), 255), 0);
    std::string s = take();
    EXPECT_EQ(s.substr(0, 17), "C9 C0 FF 02 01 02");
    EXPECT_EQ(s.size(), (3 + 510) * 3 - 1);
    ASSERT_EQ(XL_UInt16Array(ctx(), w256.data(), 256), 0);
    s = take();
    EXPECT_EQ(s.substr(0, 20), "C9 C1 00 01 04 03 04");
    EXPECT_EQ(s.size(), (4 + 512) * 3 - 1);

    std::vector<SHORT> sh = {-1, 2};
    ASSERT_EQ(XL_SInt16Array(ctx(), sh.data(), 2), 0);
    EXPECT_EQ(take(), "CB C0 02 FF FF 02 00");
    ASSERT_EQ(XL_SInt16ArrayHeader(ctx(), 65535), 0);
    EXPECT_EQ(take(), "CB C1 FF FF");
}

TEST_F(EncoderTest, ArrayOfMoreThan65535ElementsIsRefusedWithNothingWritten)
{
    Bytes big(65536, 0);
    std::vector<WORD> words(65536, 0);
    std::vector<SHORT> shorts(65536, 0);
    EXPECT_EQ(XL_UByteArray(ctx(), big.data(), 65536), -1);
    EXPECT_EQ(XL_UInt16Array(ctx(), words.data(), 65536), -1);
    EXPECT_EQ(XL_SInt16Array(ctx(), shorts.data(), 65536), -1);
    EXPECT_EQ(XL_UByteArrayHeader(ctx(), 0xFFFFFFFFu), -1);
    EXPECT_EQ(take(), "");
    ASSERT_EQ(XL_UByteArrayHeader(ctx(), 65535), 0);
    EXPECT_EQ(take(), "C8 C1 FF FF");
}

TEST_F(EncoderTest, EmbeddedDataSwitchesLengthFormAt256)
{
    Bytes b255(255, 0xA5), b256(256, 0x5A);
    ASSERT_EQ(XL_EmbeddedData(ctx(), b255.data(), 255), 0);
    EXPECT_EQ(take(), "FB FF " + hex(b255));
    ASSERT_EQ(XL_EmbeddedData(ctx(), b256.data(), 256), 0);
    EXPECT_EQ(take(), "FA 00 01 00 00 " + hex(b256));
}

TEST_F(EncoderTest, MissingDataIsRefused)
{
    EXPECT_EQ(XL_UByteArray(ctx(), nullptr, 3), -1);
    EXPECT_EQ(XL_UInt16Array(ctx(), nullptr, 3), -1);
    EXPECT_EQ(XL_SInt16Array(ctx(), nullptr, 3), -1);
    EXPECT_EQ(XL_EmbeddedData(ctx(), nullptr, 3), -1);
    EXPECT_EQ(take(), "");
}

TEST_F(EncoderTest, NoContextOrClosedChannelFails)
{
    EXPECT_EQ(XL_PutByte(nullptr, 1), -1);
    EXPECT_EQ(XL_UByte(nullptr, 1), -1);
    EXPECT_EQ(XL_PutRaw(nullptr, nullptr, 0), -1);
    EXPECT_EQ(XL_EmbeddedData(nullptr, "x", 1), -1);
    ASSERT_EQ(OUT_Close(pdev->channel, TRUE), 0);
    EXPECT_EQ(XL_UInt16(ctx(), 1), -1);
    EXPECT_EQ(XL_PutAttr(ctx(), 300), -1);
    EXPECT_TRUE(capture.bytes.empty());
}

TEST_F(EncoderTest, FailedWriteStopsTheValue)
{
    failAfter(1); /* the tag fits, the payload fails */
    EXPECT_EQ(XL_UInt32(ctx(), 7), -1);
    clearFailure();
    failAfter(0);
    EXPECT_EQ(XL_EmbeddedData(ctx(), "abc", 3), -1);
    clearFailure();
}

} // namespace
