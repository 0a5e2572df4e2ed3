/*
 * The string and font DMA_ functions: capacities and size queries, the ANSI
 * field 329, the fax header texts, the write-only scrambled identifiers,
 * and text under the double-byte code page 932.
 */
#include "dma_test_context.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using dmtest::DmaTest;

class DmaStrings : public DmaTest {};

constexpr size_t DM_DEVICE_NAME = 0;   /* public 1, 64 bytes */
constexpr size_t DM_ANSI_329 = 693;    /* 49 bytes */
constexpr size_t PD_5159 = 3052;       /* 34 bytes: public 1063 and 0x9001 */
constexpr size_t PD_5208 = 5452;       /* 346 bytes: 0x9009 */
constexpr size_t EXT_1858 = 3732;      /* 58 bytes: 0x9005 */

/* An exact-size heap buffer, so that AddressSanitizer sees any byte written past it. */
std::unique_ptr<char[]> Buffer(size_t n, char fill = '#')
{
    std::unique_ptr<char[]> p(new char[n]);
    std::memset(p.get(), fill, n);
    return p;
}

TEST_F(DmaStrings, SizeQueriesAnswerTheCapacityInCharacters)
{
    struct Case {
        DWORD id;
        DWORD size;
    };
    for (const Case &c : {Case{1, 32}, Case{19, 32}, Case{329, 49}, Case{299, 65}, Case{374, 129}, Case{0x9001, 13},
                          Case{0x9004, 13}, Case{0x9005, 21}, Case{0x9008, 13}, Case{0x9009, 173}, Case{0x900A, 173}}) {
        DWORD size = 0;
        EXPECT_EQ(DMA_GetStringData(&ctx, c.id, nullptr, &size), DMAR_BUFFER) << c.id;
        EXPECT_EQ(size, c.size) << c.id;
    }
    DWORD size = 4;
    EXPECT_EQ(DMA_GetStringData(&ctx, 1, nullptr, &size), DMAR_FAIL);
    EXPECT_EQ(DMA_GetStringData(&ctx, 1, nullptr, nullptr), DMAR_FAIL);
}

TEST_F(DmaStrings, StringFunctionsRefuseWhatIsNoString)
{
    auto buf = Buffer(64);
    struct Case {
        DWORD id;
        DMARESULT result;
    };
    for (const Case &c : {Case{304, DMAR_FONT_ID}, Case{4097, DMAR_WRONG_KIND}, Case{448, DMAR_UNMAPPED},
                          Case{0x900B, DMAR_UNMAPPED}}) {
        DWORD size = 64;
        EXPECT_EQ(DMA_GetStringData(&ctx, c.id, buf.get(), &size), c.result) << c.id;
        EXPECT_EQ(DMA_SetStringData(&ctx, c.id, "x", 1), c.result) << c.id;
        EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, c.id, buf.get(), &size), c.result) << c.id;
        EXPECT_EQ(DMA_SetStringData_StrLength(&ctx, c.id, "x"), c.result) << c.id;
    }
    DWORD size = 64;
    EXPECT_EQ(DMA_GetStringData(nullptr, 1, buf.get(), &size), DMAR_FAIL);
    EXPECT_EQ(DMA_SetStringData(&ctx, 1, nullptr, 0), DMAR_FAIL);
    EXPECT_EQ(DMA_SetStringData_StrLength(&ctx, 1, nullptr), DMAR_FAIL);
}

TEST_F(DmaStrings, WideFieldsConvertBothWays)
{
    EXPECT_EQ(DMA_SetStringData(&ctx, 1, "Office Printer", 14), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_DEVICE_NAME, 32), u"Office Printer");
    auto buf = Buffer(31);
    DWORD size = 31;
    EXPECT_EQ(DMA_GetStringData(&ctx, 1, buf.get(), &size), DMAR_BUFFER); /* below the capacity */
    EXPECT_EQ(buf[0], '#');
    buf = Buffer(32);
    size = 32;
    EXPECT_EQ(DMA_GetStringData(&ctx, 1, buf.get(), &size), DMAR_DONE);
    EXPECT_STREQ(buf.get(), "Office Printer");

    /* The field keeps room for its terminator: 31 characters fit, 32 do not. */
    const std::string max(31, 'a');
    EXPECT_EQ(DMA_SetStringData(&ctx, 1, (max + "b").c_str(), 32), DMAR_TOO_LONG);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_DEVICE_NAME, 32), u"Office Printer");
    EXPECT_EQ(DMA_SetStringData(&ctx, 1, max.c_str(), 31), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_DEVICE_NAME, 32), std::u16string(31, u'a'));
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 62), 0);
    /* A length that understates the text cannot overrun the field either. */
    EXPECT_EQ(DMA_SetStringData(&ctx, 1, (max + "bc").c_str(), 3), DMAR_TOO_LONG);
}

TEST_F(DmaStrings, TheAnsiField329KeepsBytes)
{
    rec.dm()[742] = 0x5A; /* the byte behind the field (330) */
    const std::string max(48, 'z');
    EXPECT_EQ(DMA_SetStringData(&ctx, 329, (max + "y").c_str(), 49), DMAR_TOO_LONG);
    EXPECT_EQ(DMA_SetStringData(&ctx, 329, max.c_str(), 48), DMAR_DONE);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(rec.dm() + DM_ANSI_329)), max);
    EXPECT_EQ(rec.dm()[DM_ANSI_329 + 48], 0);
    EXPECT_EQ(rec.dm()[742], 0x5A);

    auto buf = Buffer(49);
    DWORD size = 49;
    EXPECT_EQ(DMA_GetStringData(&ctx, 329, buf.get(), &size), DMAR_DONE);
    EXPECT_EQ(std::string(buf.get()), max);

    EXPECT_EQ(DMA_SetStringData_StrLength(&ctx, 329, "\xC4rger"), DMAR_DONE); /* bytes, not converted */
    size = 0;
    EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, 329, nullptr, &size), DMAR_BUFFER);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(rec.dm()[DM_ANSI_329 + 6], 0); /* the rest of the field zeroed */
    EXPECT_EQ(DMA_SetStringData_StrLength(&ctx, 329, (max + "y").c_str()), DMAR_TOO_LONG);
}

TEST_F(DmaStrings, StrLengthVariantsUseTheStringsOwnLength)
{
    std::memset(rec.dm() + DM_DEVICE_NAME, 'x', 64);
    EXPECT_EQ(DMA_SetStringData_StrLength(&ctx, 1, "Abc"), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.dm(), 32), u"Abc");
    for (size_t i = 8; i < 64; ++i)
        EXPECT_EQ(rec.dm()[i], 0) << i;

    DWORD size = 0;
    EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, 1, nullptr, &size), DMAR_BUFFER);
    EXPECT_EQ(size, 4u);
    size = 3;
    EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, 1, nullptr, &size), DMAR_FAIL);
    auto buf = Buffer(3);
    EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, 1, buf.get(), &size), DMAR_BUFFER);
    EXPECT_EQ(size, 3u); /* nothing written back */
    buf = Buffer(4);
    size = 4;
    EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, 1, buf.get(), &size), DMAR_DONE);
    EXPECT_STREQ(buf.get(), "Abc");

    EXPECT_EQ(DMA_SetStringData_StrLength(&ctx, 1, std::string(31, 'q').c_str()), DMAR_DONE);
    EXPECT_EQ(DMA_SetStringData_StrLength(&ctx, 1, std::string(32, 'q').c_str()), DMAR_TOO_LONG);
}

TEST_F(DmaStrings, ScrambledIdentifiersAreStoredAsBase64AndNotReadBack)
{
    /* "0123456789" XOR A7 C5 9E B3 = 97 F4 AC 80 93 F0 A8 84 9F FC, in Base64: */
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9001, "0123456789", 10), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.pd() + PD_5159, 17), u"l/SsgJPwqISf/A==");
    /* The same setting is read unscrambled under its ordinary name. */
    auto buf = Buffer(17);
    DWORD size = 17;
    EXPECT_EQ(DMA_GetStringData(&ctx, 1063, buf.get(), &size), DMAR_DONE);
    EXPECT_STREQ(buf.get(), "l/SsgJPwqISf/A==");
    size = 17;
    EXPECT_EQ(DMA_GetStringData(&ctx, 0x9001, buf.get(), &size), DMAR_FAIL);

    /* An empty text stands as one zero byte: A7. */
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9001, "", 0), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.pd() + PD_5159, 17), u"pw==");

    /* 14 characters exceed the longest source; 13 encode to 20, more than the field holds. */
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9001, "0123456789abcd", 14), DMAR_TOO_LONG);
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9001, "0123456789abc", 13), DMAR_TOO_LONG);
    EXPECT_EQ(dma_ReadWide(rec.pd() + PD_5159, 17), u"pw==");

    /* 0x9005 (1858, 29 characters): 21 bytes encode to 28. */
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9005, std::string(21, 'k').c_str(), 21), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.ext() + EXT_1858, 29).size(), 28u);
    /* 0x9009 (5208, 173 characters): 129 bytes encode to 172 and fit, 130 to 176 do not. */
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9009, std::string(129, 'k').c_str(), 129), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.pd() + PD_5208, 173).size(), 172u);
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9009, std::string(130, 'k').c_str(), 130), DMAR_TOO_LONG);
    EXPECT_EQ(DMA_SetStringData(&ctx, 0x9009, std::string(174, 'k').c_str(), 174), DMAR_TOO_LONG);
}

TEST_F(DmaStrings, FaxHeaderTexts)
{
    EXPECT_EQ(DMA_SetStringData(&ctx, 0xA001, "Head office", 11), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(fax.data(), 8), u"DFAX001");
    EXPECT_EQ(dma_ReadWide(fax.data() + 18, 41), u"Head office");
    EXPECT_EQ(DMA_SetStringData(&ctx, 0xA001, std::string(40, 'h').c_str(), 40), DMAR_DONE);
    EXPECT_EQ(DMA_SetStringData(&ctx, 0xA001, std::string(41, 'h').c_str(), 41), DMAR_TOO_LONG);
    EXPECT_EQ(DMA_SetStringData(&ctx, 0xA002, std::string(670, 'n').c_str(), 670), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(fax.data() + 100, 671), std::u16string(670, u'n'));
    EXPECT_EQ(DMA_SetStringData(&ctx, 0xA002, std::string(671, 'n').c_str(), 671), DMAR_TOO_LONG);
    EXPECT_EQ(DMA_SetStringData(&ctx, 0xA002, "", 0), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(fax.data() + 100), 0);

    DWORD size = 0;
    EXPECT_EQ(DMA_GetStringData(&ctx, 0xA001, nullptr, &size), DMAR_BUFFER);
    EXPECT_EQ(size, 41u);
    auto buf = Buffer(40);
    size = 40;
    EXPECT_EQ(DMA_GetStringData(&ctx, 0xA001, buf.get(), &size), DMAR_BUFFER);
    EXPECT_EQ(size, 41u);
    buf = Buffer(41);
    EXPECT_EQ(DMA_GetStringData(&ctx, 0xA001, buf.get(), &size), DMAR_DONE);
    EXPECT_EQ(std::string(buf.get()), std::string(40, 'h'));

    /* The 40 characters of the first text never run into the second. */
    std::memset(fax.data() + 18, 'A', 82);
    buf = Buffer(64);
    size = 64;
    EXPECT_EQ(DMA_GetStringData(&ctx, 0xA001, buf.get(), &size), DMAR_DONE);
    EXPECT_EQ(std::string(buf.get()).size(), 40u);

    ctx.faxBlock = nullptr;
    EXPECT_EQ(DMA_GetStringData(&ctx, 0xA001, buf.get(), &size), DMAR_UNMAPPED);
    EXPECT_EQ(DMA_SetStringData(&ctx, 0xA002, "x", 1), DMAR_UNMAPPED);
    EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, 0xA001, buf.get(), &size), DMAR_UNMAPPED);
}

TEST_F(DmaStrings, DoubleByteTextIsSizedInBytes)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    /* 31 hiragana A: 31 characters fill the field, 62 bytes in code page 932. */
    PutWide(rec.dm() + DM_DEVICE_NAME, std::u16string(31, u'\u3042'));
    auto buf = Buffer(32);
    DWORD size = 32;
    EXPECT_EQ(DMA_GetStringData(&ctx, 1, buf.get(), &size), DMAR_BUFFER);
    EXPECT_EQ(size, 63u);
    buf = Buffer(63);
    size = 63;
    ASSERT_EQ(DMA_GetStringData(&ctx, 1, buf.get(), &size), DMAR_DONE);
    for (size_t i = 0; i < 62; i += 2) {
        EXPECT_EQ(static_cast<BYTE>(buf[i]), 0x82) << i;
        EXPECT_EQ(static_cast<BYTE>(buf[i + 1]), 0xA0) << i;
    }
    EXPECT_EQ(buf[62], 0);

    /* Writing: characters, not bytes, count against the field. */
    EXPECT_EQ(DMA_SetStringData(&ctx, 1, "\x82\xA0\x82\xA2", 2), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.dm(), 32), u"\u3042\u3044");
    size = 0;
    EXPECT_EQ(DMA_GetStringData_StrLength(&ctx, 1, nullptr, &size), DMAR_BUFFER);
    EXPECT_EQ(size, 5u);
}

/* LOGFONTA: height 0, width 4, escapement 8, orientation 12, weight 16, bytes 20-27, face 28 (32 bytes). */
std::unique_ptr<BYTE[]> LogFontA(LONG height, LONG weight, BYTE italic, const char *face, size_t size = 60)
{
    std::unique_ptr<BYTE[]> p(new BYTE[size]());
    plat::store<LONG>(p.get(), height);
    plat::store<LONG>(p.get() + 16, weight);
    p[20] = italic;
    std::strncpy(reinterpret_cast<char *>(p.get() + 28), face, size > 28 ? std::min<size_t>(32, size - 28) : 0);
    return p;
}

constexpr size_t DM_FONT1 = 588;

TEST_F(DmaStrings, FontsGoThroughA60ByteLogFontA)
{
    auto in = LogFontA(40000, 700, 1, "Arial");
    EXPECT_EQ(DMA_SetLogFontData(&ctx, 304, in.get(), 60), DMAR_DONE);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + DM_FONT1), 40000);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + DM_FONT1 + 16), 700);
    EXPECT_EQ(rec.dm()[DM_FONT1 + 20], 1);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_FONT1 + 28, 32), u"Arial");

    DWORD size = 0;
    EXPECT_EQ(DMA_GetLogFontData(&ctx, 304, nullptr, &size), DMAR_BUFFER);
    EXPECT_EQ(size, 60u);
    std::unique_ptr<BYTE[]> out(new BYTE[60]);
    std::memset(out.get(), 0xEE, 60);
    size = 59;
    EXPECT_EQ(DMA_GetLogFontData(&ctx, 304, out.get(), &size), DMAR_BUFFER);
    EXPECT_EQ(out[0], 0xEE);
    size = 60;
    ASSERT_EQ(DMA_GetLogFontData(&ctx, 304, out.get(), &size), DMAR_DONE);
    EXPECT_EQ(plat::load<LONG>(out.get()), 40000);
    EXPECT_EQ(plat::load<LONG>(out.get() + 16), 700);
    EXPECT_EQ(out[20], 1);
    EXPECT_STREQ(reinterpret_cast<char *>(out.get() + 28), "Arial");
    EXPECT_EQ(out[59], 0);

    /* Sizes other than 60, and a 59-byte structure is never read to 60. */
    EXPECT_EQ(DMA_SetLogFontData(&ctx, 304, in.get(), 61), DMAR_TOO_LONG);
    auto shortFont = LogFontA(10, 400, 0, "Short", 59);
    EXPECT_EQ(DMA_SetLogFontData(&ctx, 304, shortFont.get(), 59), DMAR_BUFFER);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + DM_FONT1), 40000);

    /* A face name of 32 bytes has no room for the terminator. */
    auto longFace = LogFontA(1, 1, 0, "");
    std::memset(longFace.get() + 28, 'F', 32);
    EXPECT_EQ(DMA_SetLogFontData(&ctx, 357, longFace.get(), 60), DMAR_TOO_LONG);
}

TEST_F(DmaStrings, FontFunctionsRefuseWhatIsNoFont)
{
    std::unique_ptr<BYTE[]> buf(new BYTE[60]());
    struct Case {
        DWORD id;
        DMARESULT result;
    };
    for (const Case &c : {Case{0xA001, DMAR_STRING_ID}, Case{305, DMAR_STRING_ID}, Case{306, DMAR_WRONG_KIND},
                          Case{4097, DMAR_WRONG_KIND}, Case{448, DMAR_UNMAPPED}}) {
        DWORD size = 60;
        EXPECT_EQ(DMA_GetLogFontData(&ctx, c.id, buf.get(), &size), c.result) << c.id;
        EXPECT_EQ(DMA_SetLogFontData(&ctx, c.id, buf.get(), 60), c.result) << c.id;
    }
    DWORD size = 7;
    EXPECT_EQ(DMA_GetLogFontData(&ctx, 304, nullptr, &size), DMAR_FAIL);
    EXPECT_EQ(DMA_SetLogFontData(&ctx, 304, nullptr, 60), DMAR_FAIL);
    EXPECT_EQ(DMA_GetLogFontData(nullptr, 304, buf.get(), &size), DMAR_FAIL);
}

TEST_F(DmaStrings, DoubleByteFaceNamesThatDoNotFitAreRefused)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    PutWide(rec.dm() + DM_FONT1 + 28, std::u16string(20, u'\u3042')); /* 40 bytes in code page 932 */
    std::unique_ptr<BYTE[]> out(new BYTE[60]);
    std::memset(out.get(), 0xEE, 60);
    DWORD size = 60;
    EXPECT_EQ(DMA_GetLogFontData(&ctx, 304, out.get(), &size), DMAR_BUFFER);
    EXPECT_EQ(out[0], 0xEE);
    PutWide(rec.dm() + DM_FONT1 + 28, std::u16string(15, u'\u3042')); /* 30 bytes fit */
    EXPECT_EQ(DMA_GetLogFontData(&ctx, 304, out.get(), &size), DMAR_DONE);
    EXPECT_EQ(static_cast<BYTE>(out[28]), 0x82);
    EXPECT_EQ(out[58], 0);
}

TEST_F(DmaStrings, AFaceNameEndingInALeadByteIsNotReadPastTheStructure)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    PutWide(rec.dm() + DM_FONT1 + 28, u"Keep");
    /* 31 letters and a lead byte in the last byte of an exact 60-byte structure: no terminator. */
    auto font = LogFontA(12, 400, 0, "");
    std::memset(font.get() + 28, 'a', 31);
    font[59] = 0x82;
    EXPECT_EQ(DMA_SetLogFontData(&ctx, 304, font.get(), 60), DMAR_TOO_LONG);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_FONT1 + 28, 32), u"Keep");
    /* The lead byte just before the terminator: the name ends there. */
    font[58] = 0x82;
    font[59] = 0;
    EXPECT_EQ(DMA_SetLogFontData(&ctx, 304, font.get(), 60), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_FONT1 + 28, 30), std::u16string(30, u'a'));
    EXPECT_EQ(plat::load<LONG>(rec.dm() + DM_FONT1), 12);
}

} // namespace
