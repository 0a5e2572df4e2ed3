// The bitmap file reader of bitmap watermarks: good files of each header
// kind against packed bitmaps worked out by hand, bad files as a table
// (each refused with its message, nothing read outside the file), and the
// message for a failing file shown once per file name.
#include "prv_dib_file.h"
#include "ui_test_support.h"

#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/resource.h>

#include <cstring>

namespace {

using namespace ui_test;

using Bytes = std::vector<BYTE>;

void put16(Bytes &b, WORD v) { b.push_back(BYTE(v)), b.push_back(BYTE(v >> 8)); }
void put32(Bytes &b, DWORD v) { put16(b, WORD(v)), put16(b, WORD(v >> 16)); }

struct Spec {
    DWORD headerSize = 40;
    LONG width = 2, height = 2;
    WORD bits = 24;
    DWORD compression = 0;
    DWORD sizeImage = 0;
    DWORD clrUsed = 0;
    DWORD tableEntries = 0;    /* colour entries written (3 or 4 bytes each) */
    bool masks = false;
    size_t pixelBytes = 0;     /* pixel bytes written: 0x11, 0x12, ... */
    DWORD offset = 0;          /* 0: the pixels follow the table */
};

Bytes bitmapFile(const Spec &s)
{
    Bytes body;
    put32(body, s.headerSize);
    if (s.headerSize == 12) {
        put16(body, WORD(s.width)), put16(body, WORD(s.height)), put16(body, 1), put16(body, s.bits);
    } else {
        put32(body, DWORD(s.width)), put32(body, DWORD(s.height)), put16(body, 1), put16(body, s.bits);
        put32(body, s.compression), put32(body, s.sizeImage), put32(body, 3780), put32(body, 3780);
        put32(body, s.clrUsed), put32(body, 0);
    }
    for (DWORD i = 0; i < s.tableEntries; i++) {
        body.push_back(BYTE(i)), body.push_back(BYTE(0x40 + i)), body.push_back(BYTE(0x80 + i));
        if (s.headerSize != 12)
            body.push_back(0xEE); /* the reserved byte as the file has it */
    }
    if (s.masks)
        put32(body, 0xF800), put32(body, 0x07E0), put32(body, 0x001F);
    const DWORD offset = s.offset ? s.offset : DWORD(14 + body.size());
    for (size_t i = 0; i < s.pixelBytes; i++)
        body.push_back(BYTE(0x11 + i));
    Bytes file;
    put16(file, 0x4D42), put32(file, DWORD(14 + body.size())), put32(file, 0), put32(file, offset);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

struct Dib {
    BYTE *p = nullptr;
    ~Dib() { GlobalFree(p); }
    DWORD u32(size_t at) const { return plat::load_u32(p, at); }
};

class DibFile : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        PRV_ResetLastFailureForTest();
        plat::msgbox_clear();
    }
};

} // namespace

TEST_F(DibFile, GoodFilesOfEachKind)
{
    {
        /* 24 bits, 2 x 2: rows of 6 bytes padded to 8; no colour table; pixels right behind the header */
        Dib d;
        Bytes f = bitmapFile({40, 2, 2, 24, 0, 0, 0, 0, false, 16});
        ASSERT_EQ(PRV_ParseDib(f.data(), f.size(), &d.p), 0u);
        EXPECT_EQ(d.u32(0), 40u);
        EXPECT_EQ(d.u32(20), 16u) << "biSizeImage filled in";
        EXPECT_EQ(d.u32(32), 0u) << "biClrUsed: no table";
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(d.p[40 + i], 0x11 + i);
    }
    {
        /* a 12-byte header, 1 bit, 9 x 2: two 3-byte entries widened; rows of 4 bytes */
        Dib d;
        Bytes f = bitmapFile({12, 9, 2, 1, 0, 0, 0, 2, false, 8});
        ASSERT_EQ(PRV_ParseDib(f.data(), f.size(), &d.p), 0u);
        BITMAPINFOHEADER h{};
        ASSERT_EQ(PRV_ReadDibHeader(d.p, &h), 1);
        EXPECT_EQ(h.biSize, 40u);
        EXPECT_EQ(h.biWidth, 9);
        EXPECT_EQ(h.biHeight, 2);
        EXPECT_EQ(h.biBitCount, 1);
        EXPECT_EQ(h.biCompression, 0u);
        EXPECT_EQ(h.biSizeImage, 8u);
        EXPECT_EQ(h.biClrUsed, 2u);
        const BYTE table[8] = {0, 0x40, 0x80, 0, 1, 0x41, 0x81, 0};
        EXPECT_EQ(std::memcmp(d.p + 40, table, 8), 0);
        EXPECT_EQ(d.p[48], 0x11);
        EXPECT_EQ(d.p[55], 0x18);
    }
    {
        /* BI_BITFIELDS, 16 bits, 3 x 2: the three masks behind the header, rows of 8 bytes */
        Dib d;
        Bytes f = bitmapFile({40, 3, 2, 16, 3, 0, 0, 0, true, 16});
        ASSERT_EQ(PRV_ParseDib(f.data(), f.size(), &d.p), 0u);
        EXPECT_EQ(d.u32(40), 0xF800u);
        EXPECT_EQ(d.u32(44), 0x07E0u);
        EXPECT_EQ(d.u32(48), 0x001Fu);
        EXPECT_EQ(d.p[52], 0x11);
        BITMAPINFOHEADER h{};
        PRV_ReadDibHeader(d.p, &h);
        EXPECT_EQ(PRV_GetDibColorTableSize(&h), 12u);
    }
    {
        /* a top-down bitmap (negative height): |height| rows */
        Dib d;
        Bytes f = bitmapFile({40, 4, -3, 8, 0, 0, 0, 256, false, 12});
        ASSERT_EQ(PRV_ParseDib(f.data(), f.size(), &d.p), 0u);
        EXPECT_EQ(d.u32(20), 12u);
        EXPECT_EQ(d.u32(32), 256u);
        EXPECT_EQ(d.p[40 + 1024], 0x11);
    }
    {
        /* rows that end early: the rest of the pixel area is zero */
        Dib d;
        Bytes f = bitmapFile({40, 2, 2, 24, 0, 0, 0, 0, false, 10});
        ASSERT_EQ(PRV_ParseDib(f.data(), f.size(), &d.p), 0u);
        EXPECT_EQ(d.p[40 + 9], 0x1A);
        for (int i = 10; i < 16; i++)
            EXPECT_EQ(d.p[40 + i], 0) << i;
    }
    {
        /* an RLE image with its size, behind a pixel offset of its own */
        Dib d;
        Spec s{40, 4, 2, 8, 1, 6, 0, 256, false, 6};
        Bytes f = bitmapFile(s);
        ASSERT_EQ(PRV_ParseDib(f.data(), f.size(), &d.p), 0u);
        EXPECT_EQ(d.u32(20), 6u);
        EXPECT_EQ(d.p[40 + 1024], 0x11);
    }
}

TEST_F(DibFile, BadFilesAreRefused)
{
    struct Row {
        const char *what;
        Bytes file;
        UINT message;
    };
    Bytes notBm = bitmapFile({});
    notBm[0] = 'P';
    Bytes truncatedHeader = bitmapFile({});
    truncatedHeader.resize(30);
    Bytes shortTable = bitmapFile({40, 2, 2, 8, 0, 0, 0, 255, false, 0});
    Bytes farOffset = bitmapFile({40, 2, 2, 24, 0, 0, 0, 0, false, 16, 5000});
    std::vector<Row> rows = {
        {"empty", {}, PRV_MSG_BAD_BITMAP},
        {"not BM", notBm, PRV_MSG_NO_BITMAP},
        {"truncated header", truncatedHeader, PRV_MSG_BAD_BITMAP},
        {"header size 64", bitmapFile({64}), PRV_MSG_BAD_BITMAP},
        {"size past the file", bitmapFile({40, 2, 2, 24, 0, 1000, 0, 0, false, 16}), PRV_MSG_BAD_BITMAP},
        {"negative height, compressed", bitmapFile({40, 4, -2, 8, 1, 6, 0, 256, false, 6}), PRV_MSG_BAD_BITMAP},
        {"0 x 0", bitmapFile({40, 0, 0, 24}), PRV_MSG_BAD_BITMAP},
        {"65,536 x 65,536", bitmapFile({40, 65536, 65536, 32}), PRV_MSG_BAD_BITMAP},
        {"negative width", bitmapFile({40, -5, 2, 24}), PRV_MSG_BAD_BITMAP},
        {"bit count 7", bitmapFile({40, 2, 2, 7}), PRV_MSG_BAD_BITMAP},
        {"compressed without size", bitmapFile({40, 4, 2, 8, 1, 0, 0, 256, false, 6}), PRV_MSG_BAD_BITMAP},
        {"RLE8 of 24 bits", bitmapFile({40, 4, 2, 24, 1, 6, 0, 0, false, 6}), PRV_MSG_BAD_BITMAP},
        {"unknown compression", bitmapFile({40, 2, 2, 24, 9, 0, 0, 0, false, 16}), PRV_MSG_BAD_BITMAP},
        {"bit fields of 24 bits", bitmapFile({40, 2, 2, 24, 3, 0, 0, 0, true, 16}), PRV_MSG_BAD_BITMAP},
        {"colour table past the file", shortTable, PRV_MSG_BAD_BITMAP},
        {"70,000 colours", bitmapFile({40, 2, 2, 8, 0, 0, 70000, 0, false, 16}), PRV_MSG_BAD_BITMAP},
        {"pixel offset past the file", farOffset, PRV_MSG_BAD_BITMAP},
        {"30,000 x 30,000 of 32 bits", bitmapFile({40, 30000, 30000, 32}), PRV_MSG_BAD_BITMAP},
    };
    for (const Row &r : rows) {
        BYTE *dib = reinterpret_cast<BYTE *>(uintptr_t(1));
        /* an exact-size copy, so that a read past the file is caught */
        std::unique_ptr<BYTE[]> exact(new BYTE[r.file.size() + 1]);
        if (!r.file.empty())
            std::memcpy(exact.get(), r.file.data(), r.file.size());
        EXPECT_EQ(PRV_ParseDib(r.file.empty() ? nullptr : exact.get(), r.file.size(), &dib), r.message) << r.what;
        EXPECT_EQ(dib, nullptr) << r.what;
    }
}

TEST_F(DibFile, AFailingFileIsReportedOncePerName)
{
    writeMachineFile(u"C:\\marks\\bad.bmp", Bytes(20, 'X'));
    writeMachineFile(u"C:\\marks\\short.bmp", {'B', 'M', 1, 2, 3});
    EXPECT_EQ(PRV_LoadDibFile(u"C:\\marks\\missing.bmp", nullptr), nullptr);
    EXPECT_EQ(PRV_LoadDibFile(u"C:\\marks\\missing.bmp", nullptr), nullptr);
    EXPECT_EQ(plat::msgbox_log().size(), 1u) << "the same file again: no second message";
    EXPECT_EQ(PRV_LoadDibFile(u"C:\\marks\\bad.bmp", nullptr), nullptr);
    EXPECT_EQ(PRV_LoadDibFile(u"C:\\marks\\missing.bmp", nullptr), nullptr);
    EXPECT_EQ(PRV_LoadDibFile(u"C:\\marks\\short.bmp", nullptr), nullptr);
    std::vector<plat::MsgBoxRecord> shown = plat::msgbox_log();
    ASSERT_EQ(shown.size(), 4u);
    WCHAR noBitmap[256] = {}, badBitmap[256] = {}, caption[256] = {};
    LoadStringW(RES_GetResourceModule(), PRV_MSG_NO_BITMAP, noBitmap, 256);
    LoadStringW(RES_GetResourceModule(), PRV_MSG_BAD_BITMAP, badBitmap, 256);
    LoadStringW(RES_GetResourceModule(), PRV_MSG_CAPTION, caption, 256);
    ASSERT_NE(noBitmap[0], 0);
    EXPECT_EQ(shown[0].text, noBitmap) << "missing";
    EXPECT_EQ(shown[1].text, noBitmap) << "not starting with BM";
    EXPECT_EQ(shown[2].text, noBitmap) << "missing, after another file failed";
    EXPECT_EQ(shown[3].text, badBitmap) << "a header that cannot be read";
    EXPECT_EQ(shown[0].caption, caption);
    EXPECT_EQ(shown[0].style, UINT(MB_ICONEXCLAMATION | MB_OK));

    Bytes good = bitmapFile({40, 2, 2, 24, 0, 0, 0, 0, false, 16});
    writeMachineFile(u"C:\\marks\\good.bmp", good);
    BYTE *dib = PRV_LoadDibFile(u"C:\\marks\\good.bmp", nullptr);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib[40], 0x11);
    GlobalFree(dib);
}
