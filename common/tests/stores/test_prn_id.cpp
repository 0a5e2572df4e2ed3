/*
 * The printer identifier: its digest against values worked out outside this
 * code, threads making identifiers for two printers at once, storing it once
 * and never again, the per-user key name, and an ordinary user's handle.
 */
#include <tarvel/base/md5.h>
#include <tarvel/stores/prn_store.h>

#include "test_prn_support.h"

#include <plat/clock.h>

#include <string>
#include <thread>

using namespace prn_test;

namespace {

/* MD5 of the 8-byte time 1704164645 (2024-01-02 03:04:05 UTC) and each printer's name in UTF-16LE. */
const char kIdPrinter1[] = "6b5486d8d99afc7960c92b3c46c8bb86";
const char kIdPrinter2[] = "69088194d0e714f2f5633f96c02a2c39";

std::string hex(const BYTE *id)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (DWORD i = 0; i < PRN_ID_SIZE; ++i) {
        s += kDigits[id[i] >> 4];
        s += kDigits[id[i] & 15];
    }
    return s;
}

class PrnId : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        SYSTEMTIME t{2024, 1, 2, 2, 3, 4, 5, 0};
        ASSERT_TRUE(plat::clock_fix(t, 1000));
    }
};

TEST_F(PrnId, DigestOfTheTimeAndThePrinterName)
{
    Printer p1(kPrinter), p2(kPrinter2);
    BYTE id[PRN_ID_SIZE];
    ASSERT_TRUE(REG_MakePrnId(p1, id));
    EXPECT_EQ(hex(id), kIdPrinter1);
    ASSERT_TRUE(REG_MakePrnId(p2, id));
    EXPECT_EQ(hex(id), kIdPrinter2);
    /* Another second, another identifier. */
    plat::clock_advance(1000);
    ASSERT_TRUE(REG_MakePrnId(p1, id));
    EXPECT_NE(hex(id), kIdPrinter1);
    EXPECT_FALSE(REG_MakePrnId(nullptr, id));
}

TEST_F(PrnId, TwoThreadsMakingIdentifiersAtOnceEachGetTheirOwnDigest)
{
    Printer p1(kPrinter), p2(kPrinter2);
    ASSERT_TRUE(p1.ok && p2.ok);
    constexpr int kRounds = 300;
    int wrong[2] = {0, 0};
    auto run = [&](HANDLE printer, const char *expected, int *bad) {
        for (int i = 0; i < kRounds; ++i) {
            BYTE id[PRN_ID_SIZE] = {};
            if (!REG_MakePrnId(printer, id) || hex(id) != expected)
                ++*bad;
        }
    };
    std::thread a(run, p1.h, kIdPrinter1, &wrong[0]);
    std::thread b(run, p2.h, kIdPrinter2, &wrong[1]);
    a.join();
    b.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

TEST_F(PrnId, StoredOnceAndNeverChanged)
{
    Printer printer;
    BYTE id[PRN_ID_SIZE], other[PRN_ID_SIZE], back[PRN_ID_SIZE];
    EXPECT_FALSE(REG_ReadPrnId(printer, back));
    for (DWORD i = 0; i < PRN_ID_SIZE; ++i) {
        id[i] = BYTE(i);
        other[i] = BYTE(0xF0 + i);
    }
    ASSERT_TRUE(REG_WritePrnId(printer, id));
    std::vector<BYTE> stored = printerValue(printer, u"PRNID");
    EXPECT_EQ(stored, std::vector<BYTE>(id, id + 16));
    EXPECT_TRUE(REG_WritePrnId(printer, other)) << "it exists: nothing is written";
    ASSERT_TRUE(REG_ReadPrnId(printer, back));
    EXPECT_EQ(hex(back), hex(id));

    /* A value of another length is not an identifier. */
    BYTE shortId[8] = {};
    ASSERT_EQ(SetPrinterDataW(printer, u"PRNID", REG_BINARY, shortId, 8), DWORD(ERROR_SUCCESS));
    EXPECT_FALSE(REG_ReadPrnId(printer, back));
}

TEST_F(PrnId, AnOrdinaryUserCannotStoreOne)
{
    BYTE id[PRN_ID_SIZE] = {1, 2, 3};
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    {
        Printer user(kPrinter, PRINTER_ACCESS_USE);
        ASSERT_TRUE(user.ok);
        EXPECT_TRUE(REG_MakePrnId(user, id)) << "making needs only the printer's name";
        EXPECT_FALSE(REG_WritePrnId(user, id));
    }
    plat::spool_set_current_user_rights(plat::SpoolUser::Administrator);
    {
        Printer admin;
        ASSERT_TRUE(REG_WritePrnId(admin, id));
    }
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    Printer user(kPrinter, PRINTER_ACCESS_USE);
    EXPECT_TRUE(REG_WritePrnId(user, id)) << "one exists already";
}

TEST_F(PrnId, KeyNames)
{
    BYTE id[PRN_ID_SIZE];
    for (DWORD i = 0; i < PRN_ID_SIZE; ++i)
        id[i] = BYTE(i);
    WCHAR name[PRN_KEY_NAME_CHARS];
    struct Case {
        const char16_t *subkey;
        std::u16string expected;
    };
    const std::u16string base = u"Software\\Tarvel\\CX1500000102030405060708090A0B0C0D0E0F";
    const Case cases[] = {
        {nullptr, base},
        {u"", base},
        {u"Stamps", base + u"\\Stamps"},
        {u"Stamps\\Others", base + u"\\Stamps\\Others"},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(REG_MakePrinterKeyName(u"Software\\Tarvel\\CX1500", id, c.subkey, name, PRN_KEY_NAME_CHARS));
        EXPECT_EQ(std::u16string(name), c.expected);
    }
    /* Upper-case digits, high nibble first. */
    const BYTE high[PRN_ID_SIZE] = {0xAF, 0xFF, 0x5C};
    ASSERT_TRUE(REG_MakePrinterKeyName(u"K", high, nullptr, name, PRN_KEY_NAME_CHARS));
    EXPECT_EQ(std::u16string(name), u"KAFFF5C" + std::u16string(26, u'0'));

    /* Exactly enough room, then one character less. */
    DWORD exact = DWORD(base.size() + 1);
    EXPECT_TRUE(REG_MakePrinterKeyName(u"Software\\Tarvel\\CX1500", id, nullptr, name, exact));
    name[0] = u'x';
    EXPECT_FALSE(REG_MakePrinterKeyName(u"Software\\Tarvel\\CX1500", id, nullptr, name, exact - 1));
    EXPECT_EQ(name[0], 0);
    EXPECT_FALSE(REG_MakePrinterKeyName(u"", id, nullptr, name, PRN_KEY_NAME_CHARS));
    EXPECT_FALSE(REG_MakePrinterKeyName(nullptr, id, nullptr, name, PRN_KEY_NAME_CHARS));
}

} // namespace
