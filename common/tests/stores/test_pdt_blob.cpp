/*
 * The device-settings blobs: the N_Dev, TMBInfo and fax send list parsers
 * against headers written out by hand, the stored forms in the printer data
 * (store kind 2), saving and loading all three, and the document-property
 * file with its byte order checked by hand.
 */
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/pdt_chunk.h>

#include "test_prn_support.h"

#include <plat/file.h>
#include <plat/handle.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace prn_test;

namespace {

/* "NDEV001", "TMBINFO" and "DFAX001" as 8 UTF-16LE code units with the terminator. */
const BYTE kTagNDev[16] = {'N', 0, 'D', 0, 'E', 0, 'V', 0, '0', 0, '0', 0, '1', 0, 0, 0};
const BYTE kTagTmb[16] = {'T', 0, 'M', 0, 'B', 0, 'I', 0, 'N', 0, 'F', 0, 'O', 0, 0, 0};
const BYTE kTagFax[16] = {'D', 0, 'F', 0, 'A', 0, 'X', 0, '0', 0, '0', 0, '1', 0, 0, 0};

void put32(std::vector<BYTE> &v, DWORD x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(BYTE(x >> (8 * i)));
}

/* An N_Dev block: tag, version, length, then `data`. */
std::vector<BYTE> ndev(DWORD version, DWORD length, const std::vector<BYTE> &data, const BYTE *tag = kTagNDev)
{
    std::vector<BYTE> v(tag, tag + 16);
    put32(v, version);
    put32(v, length);
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

std::vector<BYTE> tmb(DWORD length, const std::vector<BYTE> &data)
{
    std::vector<BYTE> v(kTagTmb, kTagTmb + 16);
    put32(v, length);
    v.insert(v.end(), data.begin(), data.end());
    return v;
}

/* A fax send list with `count` in its header and `entries` entries of bytes behind it. */
std::vector<BYTE> faxList(WORD count, DWORD entries, const BYTE *tag = kTagFax)
{
    std::vector<BYTE> v = pattern(1442 + 742 * entries, BYTE(count + 5));
    std::copy(tag, tag + 16, v.begin());
    v[16] = BYTE(count);
    v[17] = BYTE(count >> 8);
    return v;
}

/* An extension block: its first 16-bit word is its version, 21048. */
std::vector<BYTE> extension(BYTE seed)
{
    std::vector<BYTE> v = pattern(4292, seed);
    v[0] = 0x38;
    v[1] = 0x52;
    return v;
}

class PdtBlob : public StoreTest {};

TEST_F(PdtBlob, NDevHeadersAreCheckedBeforeAnythingIsCopied)
{
    std::vector<BYTE> ext = extension(11);
    struct Case {
        const char *what;
        std::vector<BYTE> block;
        bool valid;
    };
    std::vector<BYTE> wrongTag(kTagNDev, kTagNDev + 16);
    wrongTag[12] = '2'; /* "NDEV002" */
    std::vector<BYTE> noTerminator(kTagNDev, kTagNDev + 16);
    noTerminator[14] = 'X';
    const Case cases[] = {
        {"current", ndev(21048, 4292, ext), true},
        {"current with bytes behind", [&] { auto b = ndev(21048, 4292, ext); b.resize(b.size() + 10); return b; }(),
         true},
        {"newer version", ndev(21049, 4292, ext), false},
        {"wrong tag", ndev(21048, 4292, ext, wrongTag.data()), false},
        {"tag without terminator", ndev(21048, 4292, ext, noTerminator.data()), false},
        {"length beyond the data", ndev(21048, 4293, ext), false},
        {"length beyond the extension", ndev(21048, 4300, pattern(4300)), false},
        {"short header", std::vector<BYTE>(kTagNDev, kTagNDev + 16), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<BYTE> out(4292, 0xAA);
        const BYTE *position = c.block.data();
        DWORD left = DWORD(c.block.size());
        BOOL ok = PDT_ParseNDevHeader(&position, &left, out.data(), reinterpret_cast<HANDLE>(1));
        ASSERT_EQ(bool(ok), c.valid);
        if (c.valid) {
            EXPECT_EQ(position, c.block.data() + 24 + 4292);
            EXPECT_EQ(left, c.block.size() - 24 - 4292);
            EXPECT_EQ(out[0], 0x38); /* 21048 = 0x5238 */
            EXPECT_EQ(out[1], 0x52);
            EXPECT_TRUE(std::equal(ext.begin() + 2, ext.end(), out.begin() + 2));
        } else {
            EXPECT_EQ(position, c.block.data());
            EXPECT_EQ(left, c.block.size());
            EXPECT_EQ(out, std::vector<BYTE>(4292, 0xAA));
        }
    }
}

TEST_F(PdtBlob, OlderNDevIsFilledOverTheDefaults)
{
    /* A model of few features, whose defaults the schema can give whole. */
    installModelPrinter(model_test::emptyModel(0x1600, false), u"Bare");
    Printer printer(u"Bare");
    ASSERT_TRUE(printer.ok);
    std::vector<BYTE> stored = pattern(4000, 60);
    std::vector<BYTE> block = ndev(21047, 4000, stored);
    std::vector<BYTE> out(4292, 0xAA);
    const BYTE *position = block.data();
    DWORD left = DWORD(block.size());

    /* The defaults are written through the data manager: without it there are none, and the blob is refused. */
    std::vector<BYTE> defaults(4292, 0xAA);
    EXPECT_FALSE(PDT_BuildDefaultExtension(printer, defaults.data()));
    EXPECT_EQ(defaults, std::vector<BYTE>(4292, 0xAA));
    EXPECT_FALSE(PDT_ParseNDevHeader(&position, &left, out.data(), printer));
    EXPECT_EQ(out, std::vector<BYTE>(4292, 0xAA));

    bindDataManager();
    ASSERT_TRUE(PDT_BuildDefaultExtension(printer, defaults.data()));
    ASSERT_TRUE(PDT_ParseNDevHeader(&position, &left, out.data(), printer));
    EXPECT_EQ(left, 0u);
    EXPECT_EQ(out[0], 0x38);
    EXPECT_EQ(out[1], 0x52);
    EXPECT_TRUE(std::equal(stored.begin() + 2, stored.end(), out.begin() + 2));
    EXPECT_TRUE(std::equal(defaults.begin() + 4000, defaults.end(), out.begin() + 4000))
        << "behind the stored 4,000 bytes the defaults, not what the buffer held";

    /* A printer whose model cannot be opened has no defaults either. */
    EXPECT_FALSE(PDT_BuildDefaultExtension(reinterpret_cast<HANDLE>(1), defaults.data()));
}

TEST_F(PdtBlob, AStoredOlderNDevLoadsOverTheStandardModelsDefaults)
{
    Printer printer;
    bindDataManager();
    std::vector<BYTE> defaults(4292);
    ASSERT_TRUE(PDT_BuildDefaultExtension(printer, defaults.data()));
    EXPECT_NE(std::vector<BYTE>(defaults.begin() + 4000, defaults.end()), std::vector<BYTE>(292, 0))
        << "the model has defaults behind byte 4,000";

    std::vector<BYTE> stored = pattern(4000, 9);
    std::vector<BYTE> blob = ndev(20500, 4000, stored);
    ASSERT_TRUE(PDT_WriteChunked(printer, blob.data(), DWORD(blob.size()), u"N_Dev", u"N_DevSize"));
    std::vector<BYTE> info = tmb(0, {});
    ASSERT_TRUE(PDT_WriteChunked(printer, info.data(), DWORD(info.size()), u"TMBInfo", u"TMBInfoSize"));
    std::vector<BYTE> out(4292, 0xAA);
    ASSERT_TRUE(PDT_LoadDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, nullptr, out.data(),
                                    nullptr, nullptr));
    EXPECT_EQ(out[0] | out[1] << 8, 21048);
    EXPECT_TRUE(std::equal(stored.begin() + 2, stored.end(), out.begin() + 2));
    EXPECT_TRUE(std::equal(defaults.begin() + 4000, defaults.end(), out.begin() + 4000));
}

TEST_F(PdtBlob, TmbInfoBlocks)
{
    struct Case {
        const char *what;
        std::vector<BYTE> block;
        bool valid;
        DWORD length;
    };
    std::vector<BYTE> wrongTag = tmb(3, {1, 2, 3});
    wrongTag[0] = 'X';
    const Case cases[] = {
        {"three bytes", tmb(3, {1, 2, 3}), true, 3},
        {"empty", tmb(0, {}), true, 0},
        {"bytes behind", tmb(2, {1, 2, 3, 4}), true, 2},
        {"length beyond the data", tmb(4, {1, 2, 3}), false, 0},
        {"wrong tag", wrongTag, false, 0},
        {"short header", std::vector<BYTE>(kTagTmb, kTagTmb + 16), false, 0},
        {"longer than 16-bit lengths carry", tmb(65536, pattern(65536)), false, 0},
        {"the longest", tmb(65535, pattern(65535)), true, 65535},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const BYTE *position = c.block.data();
        DWORD left = DWORD(c.block.size());
        Global<> data;
        DWORD length = 99;
        ASSERT_EQ(bool(PDT_ParseTmbInfo(&position, &left, data.out(), &length)), c.valid);
        EXPECT_EQ(length, c.length);
        if (c.valid) {
            EXPECT_EQ(position, c.block.data() + 20 + c.length);
            EXPECT_EQ(data.p == nullptr, c.length == 0);
            if (data.p) {
                EXPECT_TRUE(std::equal(data.p, data.p + c.length, c.block.begin() + 20));
            }
        } else {
            EXPECT_EQ(data.p, nullptr);
            EXPECT_EQ(position, c.block.data());
        }
    }
}

TEST_F(PdtBlob, FaxSendListsMustFillTheRestExactlyAndHoldAtMost86Entries)
{
    struct Case {
        const char *what;
        std::vector<BYTE> block;
        bool valid;
    };
    std::vector<BYTE> longer = faxList(2, 2);
    longer.push_back(0);
    std::vector<BYTE> shorter = faxList(2, 2);
    shorter.pop_back();
    std::vector<BYTE> wrongTag(kTagFax, kTagFax + 16);
    wrongTag[2] = 'G';
    const Case cases[] = {
        {"empty list", faxList(0, 0), true},
        {"two entries", faxList(2, 2), true},
        {"86 entries", faxList(86, 86), true},
        {"87 entries", faxList(87, 87), false},
        {"count beyond 16-bit sizes", faxList(0xFFFF, 1), false},
        {"one byte more", longer, false},
        {"one byte less", shorter, false},
        {"count says more", faxList(3, 2), false},
        {"wrong tag", faxList(1, 1, wrongTag.data()), false},
        {"no header", std::vector<BYTE>(kTagFax, kTagFax + 16), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Global<> list;
        DWORD size = 5;
        ASSERT_EQ(bool(PDT_ParseFaxSendList(c.block.data(), DWORD(c.block.size()), list.out(), &size)), c.valid);
        if (c.valid) {
            ASSERT_EQ(size, c.block.size());
            EXPECT_TRUE(std::equal(c.block.begin(), c.block.end(), list.p));
        } else {
            EXPECT_EQ(list.p, nullptr);
            EXPECT_EQ(size, 0u);
        }
    }
}

TEST_F(PdtBlob, NDevInThePrinterDataIsHeaderExtensionAndFaxList)
{
    Printer printer;
    std::vector<BYTE> ext = extension(21);
    std::vector<BYTE> fax = faxList(2, 2);
    ASSERT_TRUE(PDT_WriteNDev(printer, nullptr, PDT_STORE_PRINTER, ext.data(), fax.data(), DWORD(fax.size())));

    std::vector<BYTE> expected = ndev(21048, 4292, ext);
    expected.insert(expected.end(), fax.begin(), fax.end());
    std::vector<BYTE> size = printerValue(printer, u"N_DevSize");
    ASSERT_EQ(size.size(), 4u);
    EXPECT_EQ(plat::load_u32(size.data(), 0), DWORD(24 + 4292 + 1442 + 2 * 742));
    Global<> stored;
    DWORD storedSize = 0;
    ASSERT_TRUE(PDT_ReadChunked(printer, stored.out(), &storedSize, u"N_Dev", u"N_DevSize"));
    ASSERT_EQ(storedSize, expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stored.p));

    std::vector<BYTE> out(4292);
    Global<> list;
    DWORD listSize = 0;
    ASSERT_TRUE(PDT_ReadNDev(printer, nullptr, PDT_STORE_PRINTER, out.data(), list.out(), &listSize));
    EXPECT_EQ(out, ext);
    ASSERT_EQ(listSize, fax.size());
    EXPECT_TRUE(std::equal(fax.begin(), fax.end(), list.p));

    /* Without a fax list: none comes back. */
    ASSERT_TRUE(PDT_WriteNDev(printer, nullptr, PDT_STORE_PRINTER, ext.data(), nullptr, 0));
    Global<> none;
    ASSERT_TRUE(PDT_ReadNDev(printer, nullptr, PDT_STORE_PRINTER, out.data(), none.out(), &listSize));
    EXPECT_EQ(none.p, nullptr);
    EXPECT_EQ(listSize, 0u);

    /* Lists the writer refuses: too many entries, a count that does not match. */
    std::vector<BYTE> tooMany = faxList(87, 87);
    EXPECT_FALSE(PDT_WriteNDev(printer, nullptr, PDT_STORE_PRINTER, ext.data(), tooMany.data(),
                               DWORD(tooMany.size())));
    EXPECT_FALSE(PDT_WriteNDev(printer, nullptr, PDT_STORE_PRINTER, ext.data(), fax.data(), DWORD(fax.size() - 1)));
    EXPECT_FALSE(PDT_WriteNDev(printer, nullptr, 1, ext.data(), nullptr, 0));
}

TEST_F(PdtBlob, SaveAndLoadInThePrinterData)
{
    Printer printer;
    std::vector<BYTE> ext = extension(31);
    std::vector<BYTE> fax = faxList(86, 86);
    std::vector<BYTE> info = pattern(300, 90);
    ASSERT_TRUE(PDT_SaveDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, fax.data(), DWORD(fax.size()),
                                    ext.data(), info.data(), DWORD(info.size())));
    std::vector<BYTE> tmbStored = tmb(300, info);
    Global<> stored;
    DWORD storedSize = 0;
    ASSERT_TRUE(PDT_ReadChunked(printer, stored.out(), &storedSize, u"TMBInfo", u"TMBInfoSize"));
    ASSERT_EQ(storedSize, tmbStored.size());
    EXPECT_TRUE(std::equal(tmbStored.begin(), tmbStored.end(), stored.p));

    std::vector<BYTE> out(4292);
    Global<> list, data;
    DWORD listSize = 0, length = 0;
    ASSERT_TRUE(PDT_LoadDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, list.out(), &listSize, out.data(),
                                    data.out(), &length));
    EXPECT_EQ(out, ext);
    ASSERT_EQ(listSize, fax.size());
    EXPECT_TRUE(std::equal(fax.begin(), fax.end(), list.p));
    ASSERT_EQ(length, 300u);
    EXPECT_TRUE(std::equal(info.begin(), info.end(), data.p));

    /* No TMBInfo data: a header of length 0. */
    ASSERT_TRUE(PDT_SaveDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, 0, ext.data(), nullptr, 0));
    EXPECT_EQ(printerValue(printer, u"TMBInfo1"), tmb(0, {}));
    Global<> empty;
    ASSERT_TRUE(PDT_LoadDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, nullptr, out.data(),
                                    empty.out(), &length));
    EXPECT_EQ(empty.p, nullptr);
    EXPECT_EQ(length, 0u);
}

TEST_F(PdtBlob, SaveRefusals)
{
    Printer printer;
    std::vector<BYTE> ext = extension(0);
    std::vector<BYTE> fax = faxList(1, 1);
    std::vector<BYTE> info = pattern(10);
    struct Case {
        const char *what;
        int kind;
        const BYTE *fax;
        DWORD faxSize;
        const BYTE *ext;
        const BYTE *tmb;
        DWORD tmbLength;
    };
    const Case cases[] = {
        {"no extension", 2, nullptr, 0, nullptr, nullptr, 0},
        {"TMBInfo data of length 0", 2, nullptr, 0, ext.data(), info.data(), 0},
        {"TMBInfo longer than 16-bit lengths carry", 2, nullptr, 0, ext.data(), info.data(), 65536},
        {"fax list of 0 bytes", 2, fax.data(), 0, ext.data(), nullptr, 0},
        {"fax list whose count does not match", 2, fax.data(), DWORD(fax.size()) - 742, ext.data(), nullptr, 0},
        {"store kind 1", 1, nullptr, 0, ext.data(), nullptr, 0},
        {"store kind 4", 4, nullptr, 0, ext.data(), nullptr, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(PDT_SaveDeviceBlobs(printer, nullptr, nullptr, c.kind, c.fax, c.faxSize, c.ext, c.tmb,
                                         c.tmbLength));
        bool found = true;
        printerValue(printer, u"N_DevSize", &found);
        EXPECT_FALSE(found) << "nothing was written";
    }
}

TEST_F(PdtBlob, AFailedLoadHandsNothingOut)
{
    Printer printer;
    std::vector<BYTE> ext = extension(1);
    std::vector<BYTE> out(4292, 0xAA);
    Global<> list, data;
    DWORD listSize = 7, length = 7;

    /* Nothing stored. */
    EXPECT_FALSE(PDT_LoadDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, list.out(), &listSize, out.data(),
                                     data.out(), &length));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(listSize, 0u);

    /* An N_Dev whose fax list count does not match the bytes behind it fails the whole load. */
    std::vector<BYTE> blob = ndev(21048, 4292, ext);
    std::vector<BYTE> fax = faxList(3, 2);
    blob.insert(blob.end(), fax.begin(), fax.end());
    ASSERT_TRUE(PDT_WriteChunked(printer, blob.data(), DWORD(blob.size()), u"N_Dev", u"N_DevSize"));
    std::vector<BYTE> info = tmb(5, pattern(5));
    ASSERT_TRUE(PDT_WriteChunked(printer, info.data(), DWORD(info.size()), u"TMBInfo", u"TMBInfoSize"));
    EXPECT_FALSE(PDT_LoadDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, list.out(), &listSize, out.data(),
                                     data.out(), &length));
    EXPECT_EQ(list.p, nullptr);
    EXPECT_EQ(data.p, nullptr);
    EXPECT_EQ(out, std::vector<BYTE>(4292, 0xAA));
    /* Not asking for the fax list, the same blob loads. */
    ASSERT_TRUE(PDT_LoadDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, nullptr, out.data(),
                                    data.out(), &length));
    EXPECT_EQ(out, ext);
    EXPECT_EQ(length, 5u);

    /* A newer N_Dev is refused whole. */
    std::fill(out.begin(), out.end(), 0xAA);
    blob = ndev(21049, 4292, ext);
    ASSERT_TRUE(PDT_WriteChunked(printer, blob.data(), DWORD(blob.size()), u"N_Dev", u"N_DevSize"));
    EXPECT_FALSE(PDT_LoadDeviceBlobs(printer, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, nullptr, out.data(),
                                     data.out(), &length));
    EXPECT_EQ(data.p, nullptr);
    EXPECT_EQ(out, std::vector<BYTE>(4292, 0xAA));
}

TEST_F(PdtBlob, AnOrdinaryUserLoadsButCannotSaveInThePrinterData)
{
    std::vector<BYTE> ext = extension(8);
    {
        Printer admin;
        ASSERT_TRUE(PDT_SaveDeviceBlobs(admin, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, 0, ext.data(), nullptr, 0));
    }
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    Printer user(kPrinter, PRINTER_ACCESS_USE);
    ASSERT_TRUE(user.ok);
    std::vector<BYTE> other = extension(9);
    EXPECT_FALSE(PDT_SaveDeviceBlobs(user, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, 0, other.data(), nullptr, 0));
    std::vector<BYTE> out(4292);
    ASSERT_TRUE(PDT_LoadDeviceBlobs(user, nullptr, nullptr, PDT_STORE_PRINTER, nullptr, nullptr, out.data(), nullptr,
                                    nullptr));
    EXPECT_EQ(out, ext);
}

class PdtDeviceFile : public PdtBlob {
protected:
    std::string realPath(const char16_t *win)
    {
        std::string real;
        EXPECT_TRUE(plat::map_path(win, real));
        return real;
    }
    void createEmpty(const char16_t *win)
    {
        HANDLE f = CreateFileW(win, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        CloseHandle(f);
    }
    std::vector<BYTE> fileBytes(const char16_t *win)
    {
        std::ifstream in(realPath(win), std::ios::binary);
        return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
};

TEST_F(PdtDeviceFile, TheFileIsNDevThenTmbInfoThenTheFaxList)
{
    const char16_t *name = u"C:\\TEMP\\docprop.dat";
    std::filesystem::create_directories(realPath(u"C:\\TEMP"));
    std::vector<BYTE> ext = extension(2);
    std::vector<BYTE> fax = faxList(1, 1);
    std::vector<BYTE> info = pattern(33, 4);

    /* The file is never created here. */
    EXPECT_FALSE(PDT_SaveDeviceBlobs(nullptr, nullptr, name, PDT_STORE_PRINTER, fax.data(), DWORD(fax.size()),
                                     ext.data(), info.data(), 33));
    EXPECT_FALSE(std::filesystem::exists(realPath(name)));

    createEmpty(name);
    ASSERT_TRUE(PDT_SaveDeviceBlobs(nullptr, nullptr, name, 0, fax.data(), DWORD(fax.size()), ext.data(), info.data(),
                                    33));
    std::vector<BYTE> expected = ndev(21048, 4292, ext);
    std::vector<BYTE> t = tmb(33, info);
    expected.insert(expected.end(), t.begin(), t.end());
    expected.insert(expected.end(), fax.begin(), fax.end());
    EXPECT_EQ(fileBytes(name), expected);

    std::vector<BYTE> out(4292);
    Global<> list, data;
    DWORD listSize = 0, length = 0;
    ASSERT_TRUE(PDT_LoadDeviceBlobs(nullptr, nullptr, name, 0, list.out(), &listSize, out.data(), data.out(),
                                    &length));
    EXPECT_EQ(out, ext);
    ASSERT_EQ(length, 33u);
    EXPECT_TRUE(std::equal(info.begin(), info.end(), data.p));
    ASSERT_EQ(listSize, fax.size());
    EXPECT_TRUE(std::equal(fax.begin(), fax.end(), list.p));

    /* Saving again truncates: a shorter file without the fax list and TMBInfo data. */
    ASSERT_TRUE(PDT_SaveDeviceBlobs(nullptr, nullptr, name, 0, nullptr, 0, ext.data(), nullptr, 0));
    expected = ndev(21048, 4292, ext);
    t = tmb(0, {});
    expected.insert(expected.end(), t.begin(), t.end());
    EXPECT_EQ(fileBytes(name), expected);
}

TEST_F(PdtDeviceFile, MalformedFilesFailTheLoad)
{
    const char16_t *name = u"C:\\TEMP\\bad.dat";
    std::filesystem::create_directories(realPath(u"C:\\TEMP"));
    std::vector<BYTE> ext = extension(2);
    struct Case {
        const char *what;
        std::vector<BYTE> bytes;
    };
    auto join = [](std::vector<BYTE> a, const std::vector<BYTE> &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const Case cases[] = {
        {"empty file", {}},
        {"newer N_Dev", join(ndev(21049, 4292, ext), tmb(0, {}))},
        {"no TMBInfo", ndev(21048, 4292, ext)},
        {"TMBInfo cut short", join(ndev(21048, 4292, ext), tmb(9, pattern(8)))},
        {"fax list count mismatch", join(join(ndev(21048, 4292, ext), tmb(0, {})), faxList(2, 1))},
        {"fax list of 87 entries", join(join(ndev(21048, 4292, ext), tmb(0, {})), faxList(87, 87))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(realPath(name), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char *>(c.bytes.data()), std::streamsize(c.bytes.size()));
        std::vector<BYTE> out(4292, 0xAA);
        Global<> list, data;
        DWORD listSize = 3, length = 3;
        EXPECT_FALSE(PDT_LoadDeviceBlobs(nullptr, nullptr, name, 0, list.out(), &listSize, out.data(), data.out(),
                                         &length));
        EXPECT_EQ(list.p, nullptr);
        EXPECT_EQ(data.p, nullptr);
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(out, std::vector<BYTE>(4292, 0xAA));
    }
    EXPECT_FALSE(PDT_LoadDeviceBlobs(nullptr, nullptr, u"C:\\TEMP\\missing.dat", 0, nullptr, nullptr,
                                     std::vector<BYTE>(4292).data(), nullptr, nullptr));
}

} // namespace
