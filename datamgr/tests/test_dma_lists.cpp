/*
 * Data lists: applying an entry to the settings, taking the settings into
 * an entry, deleting, key texts, margins in both orientations, fax address
 * positions, and lists the functions must refuse.
 */
#include "dma_test_context.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using dmtest::DmaTest;

/* Places of the settings the entries hold. */
constexpr size_t DM_297 = 382, DM_299 = 448, DM_300 = 578, DM_301 = 580, DM_302 = 584, DM_303 = 586,
                 DM_FLAGS = 288, DM_304 = 588, DM_ORIENTATION = 76;
constexpr size_t EXT_1819 = 1342, EXT_1821 = 1506, EXT_1823 = 1986, EXT_1824 = 2048, EXT_1825 = 2052,
                 EXT_1826 = 2056, EXT_1827 = 2060, EXT_1828 = 2064, EXT_1794 = 2, EXT_1795 = 4, EXT_1810 = 1118,
                 EXT_1813 = 1124, EXT_1818 = 1300;

/* A list's memory: `count` entries of `entrySize` bytes and their flags. */
struct ListMemory {
    std::vector<BYTE> entries;
    std::vector<BYTE> flags;
    DWORD entrySize;

    ListMemory(DWORD count, DWORD size) : entries(size_t(count) * size, 0), flags(count, 0), entrySize(size) {}
    BYTE *entry(DWORD i) { return entries.data() + size_t(i) * entrySize; }
    DmaDataList list() { return {static_cast<DWORD>(flags.size()), entrySize, flags.data(), entries.data()}; }
};

class DmaLists : public DmaTest {
protected:
    void SetUp() override
    {
        DmaTest::SetUp();
        plat::store<SHORT>(rec.dm() + DM_ORIENTATION, 1);
    }

    /* A stamp entry: name, text, the numbers, the two flags, a font height. */
    static void Stamp(BYTE *e, const std::u16string &name, DWORD color, BYTE flags1287, LONG height)
    {
        PutWide(e + 0, name);
        PutWide(e + 66, name + u" text");
        plat::store<DWORD>(e + 196, color);
        e[200] = 3;
        plat::store<DWORD>(e + 204, flags1287);
        e[208] = 4;
        plat::store<WORD>(e + 210, 500);
        plat::store<DWORD>(e + 212, 1);
        plat::store<LONG>(e + 216, height);
        PutWide(e + 216 + 28, u"Serif");
    }
};

TEST_F(DmaLists, AStampEntryIsAppliedByName)
{
    ListMemory stamps(3, 308);
    Stamp(stamps.entry(0), u"Draft", 0x111111, 1, 10);
    Stamp(stamps.entry(1), u"Secret", 0x222222, 0, 20);
    Stamp(stamps.entry(2), u"Copy", 0x333333, 1, 30);
    stamps.flags = {1, 2, 1};
    ctx.stamps = stamps.list();

    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "Secret"), DMAR_NO_ENTRY); /* only deleted */
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "copy"), DMAR_NO_ENTRY);   /* names match exactly */
    ASSERT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "Copy"), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_297, 33), u"Copy");
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_299, 65), u"Copy text");
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + DM_301), 0x333333u);
    EXPECT_EQ(rec.dm()[DM_300], 3);
    EXPECT_EQ(rec.dm()[DM_302], 4);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + DM_303), 500);
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + DM_FLAGS), (1u << 6) | (1u << 7)); /* 1287 and 1288 */
    EXPECT_EQ(plat::load<LONG>(rec.dm() + DM_304), 30);
    EXPECT_EQ(dma_ReadWide(rec.dm() + DM_304 + 28, 32), u"Serif");

    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, nullptr), DMAR_FAIL);
    EXPECT_EQ(DMA_AccessibleData(nullptr, DMA_KIND_STAMP, "Copy"), DMAR_FAIL);
    EXPECT_EQ(DMA_AccessibleData(&ctx, 6, "Copy"), DMAR_BAD_KIND);
    EXPECT_EQ(DMA_AccessibleData(&ctx, 1, "Copy"), DMAR_BAD_KIND);
}

TEST_F(DmaLists, DeletedEntriesAreFoundForDeletingAndOverwritingOnly)
{
    ListMemory stamps(2, 308);
    Stamp(stamps.entry(0), u"Draft", 1, 0, 10);
    Stamp(stamps.entry(1), u"Secret", 2, 0, 20);
    stamps.flags = {1, 2};
    ctx.stamps = stamps.list();

    EXPECT_EQ(DMA_DeleteData(&ctx, DMA_KIND_STAMP, "Draft"), DMAR_DONE);
    EXPECT_EQ(stamps.flags[0], DMA_ENTRY_DELETED);
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "Draft"), DMAR_NO_ENTRY);
    EXPECT_EQ(DMA_DeleteData(&ctx, DMA_KIND_STAMP, "Draft"), DMAR_DONE); /* still found */
    EXPECT_EQ(DMA_DeleteData(&ctx, DMA_KIND_STAMP, "None"), DMAR_NO_ENTRY);
    EXPECT_EQ(DMA_DeleteData(&ctx, DMA_KIND_FAX_ADDRESS, DMA_POSITION_KEY(1)), DMAR_BAD_KIND);
    EXPECT_EQ(DMA_DeleteData(nullptr, DMA_KIND_STAMP, "Draft"), DMAR_FAIL);

    /* Overwriting the deleted "Secret" takes the current settings and marks it in use. */
    PutWide(rec.dm() + DM_299, u"Current text");
    plat::store<DWORD>(rec.dm() + DM_301, 0xABCDEF);
    plat::store<DWORD>(rec.dm() + DM_FLAGS, 1u << 7);
    ASSERT_EQ(DMA_ApplyData(&ctx, DMA_KIND_STAMP, 0, "Secret"), DMAR_DONE);
    EXPECT_EQ(stamps.flags[1], DMA_ENTRY_IN_USE);
    BYTE *e = stamps.entry(1);
    EXPECT_EQ(dma_ReadWide(e, 33), u"Secret");
    EXPECT_EQ(dma_ReadWide(e + 66, 65), u"Current text");
    EXPECT_EQ(plat::load<DWORD>(e + 196), 0xABCDEFu);
    EXPECT_EQ(plat::load<DWORD>(e + 204), 0u); /* 1287 */
    EXPECT_EQ(plat::load<DWORD>(e + 212), 1u); /* 1288 */
}

TEST_F(DmaLists, ApplyModeOneOverwritesTheLastEntryWithTheKeyAsName)
{
    ListMemory kind3(2, 706);
    PutWide(kind3.entry(0), u"First");
    PutWide(kind3.entry(1), u"Second");
    kind3.flags = {1, 0};
    ctx.kind3 = kind3.list();
    PutWide(rec.ext() + EXT_1821, u"Body");
    PutWide(rec.ext() + EXT_1823, u"Tail");

    ASSERT_EQ(DMA_ApplyData(&ctx, DMA_KIND_3, 1, "Renamed"), DMAR_DONE);
    EXPECT_EQ(kind3.flags[1], DMA_ENTRY_IN_USE);
    EXPECT_EQ(dma_ReadWide(kind3.entry(1), 41), u"Renamed");
    EXPECT_EQ(dma_ReadWide(kind3.entry(1) + 164, 209), u"Body");
    EXPECT_EQ(dma_ReadWide(kind3.entry(1) + 644, 31), u"Tail");

    /* A name that does not fit the 41-character key field. */
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_3, 1, std::string(41, 'n').c_str()), DMAR_FAIL);
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_3, 0, "Missing"), DMAR_NO_ENTRY);
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_3, 2, "First"), DMAR_BAD_MODE);
    EXPECT_EQ(DMA_ApplyData(&ctx, 6, 0, "First"), DMAR_BAD_KIND);

    /* Applying the renamed entry writes its settings back. */
    PutWide(rec.ext() + EXT_1821, u"");
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_3, "Renamed"), DMAR_DONE);
    EXPECT_EQ(dma_ReadWide(rec.ext() + EXT_1819, 41), u"Renamed");
    EXPECT_EQ(dma_ReadWide(rec.ext() + EXT_1821, 209), u"Body");
}

TEST_F(DmaLists, EmptyListsHaveNoLastEntry)
{
    ctx.stamps = {0, 308, nullptr, nullptr};
    ctx.kind3 = {0, 706, nullptr, nullptr};
    ctx.paperMargins = {0, 20, nullptr, nullptr};
    ctx.faxAddresses = {0, 742, nullptr, nullptr};
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_STAMP, 1, "A"), DMAR_NO_ENTRY);
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_3, 1, "A"), DMAR_NO_ENTRY);
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_MARGIN, 1, "9"), DMAR_NO_MARGIN_ENTRY);
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_FAX_ADDRESS, 1, nullptr), DMAR_NO_FAX_ENTRY);
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "A"), DMAR_NO_ENTRY);
}

TEST_F(DmaLists, ListsThatWouldBeReadOutOfBoundsAreRefused)
{
    ListMemory small(2, 300); /* entries below the stamp's 308 bytes */
    ctx.stamps = small.list();
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "A"), DMAR_FAIL);
    EXPECT_EQ(DMA_DeleteData(&ctx, DMA_KIND_STAMP, "A"), DMAR_FAIL);
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_STAMP, 1, "A"), DMAR_FAIL);
    ListMemory ok(2, 308);
    ctx.stamps = ok.list();
    ctx.stamps.flags = nullptr;
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "A"), DMAR_FAIL);
    ctx.stamps = ok.list();
    ctx.stamps.entries = nullptr;
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_STAMP, 1, "A"), DMAR_FAIL);

    /* A larger entry size is a stride. */
    ListMemory wide(2, 400);
    Stamp(wide.entry(1), u"Wide", 5, 0, 1);
    wide.flags = {1, 1};
    ctx.stamps = wide.list();
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "Wide"), DMAR_DONE);
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + DM_301), 5u);

    /* An entry string without its terminator is not applied. */
    std::memset(wide.entry(1) + 66, 'x', 130);
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_STAMP, "Wide"), DMAR_FAIL);
}

TEST_F(DmaLists, MarginsFollowTheOrientation)
{
    ListMemory margins(2, 20);
    plat::store<WORD>(margins.entry(0), 9);
    const LONG stored[4] = {10, 20, 30, 40};
    std::memcpy(margins.entry(0) + 4, stored, sizeof stored);
    plat::store<WORD>(margins.entry(1), 11);
    margins.flags = {1, 1};
    ctx.paperMargins = margins.list();

    struct Case {
        SHORT orientation;
        LONG m1827, m1828, m1826, m1825;
    };
    /* Portrait: stored (a, b, d, c); landscape: stored (c, d, a, b); caller order is 1827, 1828, 1826, 1825. */
    for (const Case &c : {Case{1, 10, 20, 40, 30}, Case{2, 30, 40, 10, 20}}) {
        plat::store<SHORT>(rec.dm() + DM_ORIENTATION, c.orientation);
        ASSERT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_MARGIN, "9"), DMAR_DONE) << c.orientation;
        EXPECT_EQ(plat::load<WORD>(rec.ext() + EXT_1824), 9);
        EXPECT_EQ(plat::load<LONG>(rec.ext() + EXT_1827), c.m1827) << c.orientation;
        EXPECT_EQ(plat::load<LONG>(rec.ext() + EXT_1828), c.m1828) << c.orientation;
        EXPECT_EQ(plat::load<LONG>(rec.ext() + EXT_1826), c.m1826) << c.orientation;
        EXPECT_EQ(plat::load<LONG>(rec.ext() + EXT_1825), c.m1825) << c.orientation;

        /* Taken back into the other entry, the stored order comes out again. */
        ASSERT_EQ(DMA_ApplyData(&ctx, DMA_KIND_MARGIN, 0, "11"), DMAR_DONE);
        EXPECT_EQ(plat::load<WORD>(margins.entry(1)), 11);
        EXPECT_EQ(std::memcmp(margins.entry(1) + 4, stored, sizeof stored), 0) << c.orientation;
    }
    plat::store<SHORT>(rec.dm() + DM_ORIENTATION, 3);
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_MARGIN, "9"), DMAR_FAIL);
    plat::store<SHORT>(rec.dm() + DM_ORIENTATION, 1);

    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_MARGIN, "10"), DMAR_NO_MARGIN_ENTRY);
    EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_MARGIN, "09"), DMAR_NO_MARGIN_ENTRY);
    EXPECT_EQ(DMA_DeleteData(&ctx, DMA_KIND_MARGIN, "11"), DMAR_DONE);
    EXPECT_EQ(DMA_DeleteData(&ctx, DMA_KIND_MARGIN, "12"), DMAR_NO_MARGIN_ENTRY);

    for (const char *bad : {"0", "123456", "65536", "", "9a", "-1"})
        EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_MARGIN, 0, bad), DMAR_FAIL) << bad;
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_MARGIN, 0, nullptr), DMAR_FAIL);
    plat::store<WORD>(margins.entry(1) + 2, 0xFFFF);
    ASSERT_EQ(DMA_ApplyData(&ctx, DMA_KIND_MARGIN, 1, "297"), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(margins.entry(1)), 297);
    EXPECT_EQ(plat::load<WORD>(margins.entry(1) + 2), 0);
    EXPECT_EQ(margins.flags[1], DMA_ENTRY_IN_USE);
    ASSERT_EQ(DMA_ApplyData(&ctx, DMA_KIND_MARGIN, 1, "65535"), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(margins.entry(1)), 65535);
}

TEST_F(DmaLists, FaxAddressesArePositioned)
{
    ListMemory faxes(3, 742);
    for (DWORD i = 0; i < 3; ++i) {
        plat::store<WORD>(faxes.entry(i), static_cast<WORD>(i + 1));
        PutWide(faxes.entry(i) + 2, u"0301234567" + std::u16string(1, u'0' + char16_t(i)));
        plat::store<WORD>(faxes.entry(i) + 510, 2);
        PutWide(faxes.entry(i) + 516, u"AB");
        PutWide(faxes.entry(i) + 700, u"Last");
    }
    faxes.flags = {1, 1, 2};
    ctx.faxAddresses = faxes.list();

    ASSERT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_FAX_ADDRESS, DMA_POSITION_KEY(2)), DMAR_DONE);
    EXPECT_EQ(plat::load<WORD>(rec.ext() + EXT_1794), 2);
    EXPECT_EQ(dma_ReadWide(rec.ext() + EXT_1795, 129), u"03012345671");
    EXPECT_EQ(plat::load<WORD>(rec.ext() + EXT_1810), 2);
    EXPECT_EQ(dma_ReadWide(rec.ext() + EXT_1813, 5), u"AB");
    EXPECT_EQ(dma_ReadWide(rec.ext() + EXT_1818, 21), u"Last");
    for (WORD bad : {0, 3, 4, 0xFFFF}) /* 3 is only deleted */
        EXPECT_EQ(DMA_AccessibleData(&ctx, DMA_KIND_FAX_ADDRESS, DMA_POSITION_KEY(bad)), DMAR_NO_FAX_ENTRY) << bad;

    /* Mode 1 overwrites entry 3 and marks the fax block. */
    ASSERT_EQ(DMA_ApplyData(&ctx, DMA_KIND_FAX_ADDRESS, 1, nullptr), DMAR_DONE);
    EXPECT_EQ(faxes.flags[2], DMA_ENTRY_IN_USE);
    EXPECT_EQ(dma_ReadWide(faxes.entry(2) + 2, 129), u"03012345671");
    EXPECT_EQ(dma_ReadWide(fax.data(), 8), u"DFAX001");
    /* The 18-byte field of 1813 takes only the setting's own 10 bytes. */
    EXPECT_EQ(plat::load<WORD>(faxes.entry(2) + 526), 0);

    faxes.flags[0] = 0;
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_FAX_ADDRESS, 0, DMA_POSITION_KEY(1)), DMAR_NO_FAX_ENTRY);
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_FAX_ADDRESS, 0, DMA_POSITION_KEY(2)), DMAR_DONE);
    ctx.faxBlock = nullptr;
    EXPECT_EQ(DMA_ApplyData(&ctx, DMA_KIND_FAX_ADDRESS, 0, DMA_POSITION_KEY(2)), DMAR_FAIL);
}

TEST_F(DmaLists, NamesOfEntries)
{
    std::vector<BYTE> stamp(308, 0), margin(20, 0), kind3(706, 0);
    PutWide(stamp.data(), u"Draft");
    plat::store<WORD>(margin.data(), 260);
    PutWide(kind3.data(), u"K3");
    struct Case {
        const BYTE *entry;
        DWORD kind;
        const char *name;
    };
    for (const Case &c : {Case{stamp.data(), 2, "Draft"}, Case{kind3.data(), 3, "K3"}, Case{margin.data(), 4, "260"}}) {
        DWORD size = 0;
        EXPECT_EQ(DMA_GetNameFromInfo(c.entry, c.kind, nullptr, &size), DMAR_BUFFER) << c.kind;
        EXPECT_EQ(size, std::strlen(c.name) + 1) << c.kind;
        std::unique_ptr<char[]> small(new char[size - 1]);
        size -= 1;
        EXPECT_EQ(DMA_GetNameFromInfo(c.entry, c.kind, small.get(), &size), DMAR_BUFFER) << c.kind;
        std::unique_ptr<char[]> buf(new char[size]);
        EXPECT_EQ(DMA_GetNameFromInfo(c.entry, c.kind, buf.get(), &size), DMAR_DONE) << c.kind;
        EXPECT_STREQ(buf.get(), c.name);
    }
    DWORD size = 10;
    char buf[10];
    EXPECT_EQ(DMA_GetNameFromInfo(stamp.data(), 5, buf, &size), DMAR_BAD_KIND);
    EXPECT_EQ(DMA_GetNameFromInfo(stamp.data(), 6, buf, &size), DMAR_BAD_KIND);
    EXPECT_EQ(DMA_GetNameFromInfo(nullptr, 2, buf, &size), DMAR_FAIL);
    EXPECT_EQ(DMA_GetNameFromInfo(stamp.data(), 2, buf, nullptr), DMAR_FAIL);
}

} // namespace
