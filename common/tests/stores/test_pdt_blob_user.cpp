/*
 * The device-settings blobs in the user's per-printer key (store kind 3):
 * two plain values per blob, read back only when the size value and the
 * data agree, a store that an ordinary user can use once the printer has
 * its identifier, and persistence across processes.
 */
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/prn_store.h>

#include "test_prn_support.h"

using namespace prn_test;

namespace {

std::vector<BYTE> extension(BYTE seed)
{
    std::vector<BYTE> v = pattern(4292, seed);
    v[0] = 0x38; /* the extension's version word, 21048 */
    v[1] = 0x52;
    return v;
}

std::vector<BYTE> faxList(WORD count)
{
    std::vector<BYTE> v = pattern(1442 + 742 * count, 3);
    const char16_t tag[8] = u"DFAX001";
    std::memcpy(v.data(), tag, 16);
    v[16] = BYTE(count);
    v[17] = 0;
    return v;
}

class PdtBlobUser : public OpenStoreTest {};

TEST_F(PdtBlobUser, TwoPlainValuesPerBlob)
{
    std::vector<BYTE> ext = extension(40);
    std::vector<BYTE> fax = faxList(3);
    std::vector<BYTE> info = pattern(64, 8);
    ASSERT_TRUE(PDT_SaveDeviceBlobs(printer(), context(), nullptr, PDT_STORE_USER, fax.data(), DWORD(fax.size()),
                                    ext.data(), info.data(), 64));
    DWORD type = 0;
    std::vector<BYTE> size = userValue(u"N_DevSize", &type);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    ASSERT_EQ(size.size(), 4u);
    EXPECT_EQ(plat::load_u32(size.data(), 0), DWORD(24 + 4292 + 1442 + 3 * 742));
    std::vector<BYTE> ndev = userValue(u"N_Dev", &type);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    ASSERT_EQ(ndev.size(), 24u + 4292 + fax.size());
    const BYTE header[24] = {'N', 0, 'D', 0, 'E', 0, 'V', 0, '0', 0, '0', 0, '1', 0, 0, 0,
                             0x38, 0x52, 0, 0, 0xC4, 0x10, 0, 0};
    EXPECT_TRUE(std::equal(header, header + 24, ndev.begin()));
    EXPECT_TRUE(std::equal(ext.begin(), ext.end(), ndev.begin() + 24));
    EXPECT_TRUE(std::equal(fax.begin(), fax.end(), ndev.begin() + 24 + 4292));
    std::vector<BYTE> tmbSize = userValue(u"TMBInfoSize", &type);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(plat::load_u32(tmbSize.data(), 0), 84u);
    EXPECT_EQ(userValue(u"TMBInfo").size(), 84u);
    bool found = true;
    printerValue(printer(), u"N_DevSize", &found);
    EXPECT_FALSE(found) << "nothing went to the printer data";

    std::vector<BYTE> out(4292);
    Global<> list, data;
    DWORD listSize = 0, length = 0;
    ASSERT_TRUE(PDT_LoadDeviceBlobs(printer(), context(), nullptr, PDT_STORE_USER, list.out(), &listSize, out.data(),
                                    data.out(), &length));
    EXPECT_EQ(out, ext);
    ASSERT_EQ(listSize, fax.size());
    EXPECT_TRUE(std::equal(fax.begin(), fax.end(), list.p));
    ASSERT_EQ(length, 64u);
    EXPECT_TRUE(std::equal(info.begin(), info.end(), data.p));
}

TEST_F(PdtBlobUser, SizeAndDataMustAgree)
{
    std::vector<BYTE> ext = extension(1);
    ASSERT_TRUE(PDT_WriteNDev(printer(), context(), PDT_STORE_USER, ext.data(), nullptr, 0));
    std::vector<BYTE> out(4292, 0xAA);
    struct Case {
        const char *what;
        std::vector<BYTE> size;
        DWORD type;
    };
    const Case cases[] = {
        {"size one short", {0xDB, 0x10, 0, 0}, REG_DWORD},
        {"size one more", {0xDD, 0x10, 0, 0}, REG_DWORD},
        {"size of 2 bytes", {0xDC, 0x10}, REG_BINARY},
        {"size 0", {0, 0, 0, 0}, REG_DWORD},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(REG_WriteValue(printer(), context(), c.size.data(), DWORD(c.size.size()), c.type, nullptr,
                                   u"N_DevSize"));
        EXPECT_FALSE(PDT_ReadNDev(printer(), context(), PDT_STORE_USER, out.data(), nullptr, nullptr));
        EXPECT_EQ(out, std::vector<BYTE>(4292, 0xAA));
    }
    const BYTE right[4] = {0xDC, 0x10, 0, 0}; /* 4,316 */
    ASSERT_TRUE(REG_WriteValue(printer(), context(), right, 4, REG_DWORD, nullptr, u"N_DevSize"));
    ASSERT_TRUE(PDT_ReadNDev(printer(), context(), PDT_STORE_USER, out.data(), nullptr, nullptr));
    EXPECT_EQ(out, ext);
}

TEST_F(PdtBlobUser, ReadingCreatesNothing)
{
    std::vector<BYTE> out(4292);
    EXPECT_FALSE(PDT_LoadDeviceBlobs(printer(), context(), nullptr, PDT_STORE_USER, nullptr, nullptr, out.data(),
                                     nullptr, nullptr));
    BYTE id[PRN_ID_SIZE];
    EXPECT_FALSE(REG_ReadPrnId(printer(), id));
}

TEST_F(PdtBlobUser, AnOrdinaryUserKeepsHisOwnBlobsOnceThePrinterHasItsIdentifier)
{
    std::vector<BYTE> ext = extension(5);
    close();
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    open(PRINTER_ACCESS_USE);
    EXPECT_FALSE(PDT_SaveDeviceBlobs(printer(), context(), nullptr, PDT_STORE_USER, nullptr, 0, ext.data(), nullptr,
                                     0))
        << "no identifier, and no right to store one";
    close();
    plat::spool_set_current_user_rights(plat::SpoolUser::Administrator);
    open();
    BYTE id[PRN_ID_SIZE] = {0x11};
    ASSERT_TRUE(REG_WritePrnId(printer(), id));
    close();
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    open(PRINTER_ACCESS_USE);
    EXPECT_FALSE(PDT_SaveDeviceBlobs(printer(), context(), nullptr, PDT_STORE_PRINTER, nullptr, 0, ext.data(), nullptr,
                                     0));
    ASSERT_TRUE(PDT_SaveDeviceBlobs(printer(), context(), nullptr, PDT_STORE_USER, nullptr, 0, ext.data(), nullptr, 0));
    std::vector<BYTE> out(4292);
    ASSERT_TRUE(PDT_LoadDeviceBlobs(printer(), context(), nullptr, PDT_STORE_USER, nullptr, nullptr, out.data(),
                                    nullptr, nullptr));
    EXPECT_EQ(out, ext);
}

TEST_F(PdtBlobUser, BlobsWrittenByOneProcessAreReadByTheNext)
{
    std::vector<BYTE> ext = extension(77);
    std::vector<BYTE> info = pattern(5, 1);
    for (int kind : {PDT_STORE_PRINTER, PDT_STORE_USER})
        ASSERT_TRUE(PDT_SaveDeviceBlobs(printer(), context(), nullptr, kind, nullptr, 0, ext.data(), info.data(), 5));
    close();
    plat::machine_reset(root_);
    open();
    for (int kind : {PDT_STORE_PRINTER, PDT_STORE_USER}) {
        SCOPED_TRACE(kind);
        std::vector<BYTE> out(4292);
        Global<> data;
        DWORD length = 0;
        ASSERT_TRUE(PDT_LoadDeviceBlobs(printer(), context(), nullptr, kind, nullptr, nullptr, out.data(), data.out(),
                                        &length));
        EXPECT_EQ(out, ext);
        ASSERT_EQ(length, 5u);
        EXPECT_TRUE(std::equal(info.begin(), info.end(), data.p));
    }
}

} // namespace
