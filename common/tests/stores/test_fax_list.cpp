/*
 * Tests of the fax send list: the block's header bytes, packing and
 * unpacking lists of 0, 1, 3 and 86 destinations in their order, 87
 * destinations refused by packing, parsing and loading, blocks whose count
 * does not match their bytes, the stored list, entry access, the ANSI
 * conversions, and the device blobs saved and loaded with the list.
 */
#include <tarvel/stores/fax_list.h>
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/pdt_chunk.h>

#include "test_mrg_support.h"

#include <plat/spooler.h>

using namespace prn_test;

namespace {

/* An entry whose bytes all hold `seed` (its number, so entries are told apart). */
BYTE *newEntry(BYTE seed)
{
    auto *e = static_cast<BYTE *>(GlobalAlloc(GPTR, FAX_ENTRY_SIZE));
    std::memset(e, seed, FAX_ENTRY_SIZE);
    return e;
}

/* A fax page record whose list frees its entries. */
struct Page {
    FaxPageRecord record{};
    ~Page() { PGF_ListFree(&record.list, TRUE); }
    /* Adds entries 1..n one after the other (the newest at the head). */
    void add(int n)
    {
        for (int i = 1; i <= n; ++i)
            ASSERT_TRUE(PGF_ListPush(&record.list, 0, 0xFFFF, newEntry(BYTE(i))));
    }
    /* The first byte of each entry from the head on. */
    std::vector<int> order() const
    {
        std::vector<int> v;
        PgfListNode *next = nullptr;
        for (auto *e = static_cast<BYTE *>(PGF_ListFirst(&record.list, &next)); e;
             e = static_cast<BYTE *>(PGF_ListNext(next, &next)))
            v.push_back(e[0]);
        return v;
    }
};

void setTexts(FaxPageRecord &r)
{
    const char16_t a[] = u"Sales";
    const char16_t b[] = u"Quarterly figures";
    std::memcpy(r.headerText1, a, sizeof a);
    std::memcpy(r.headerText2, b, sizeof b);
}

/* A list block of `count` entries (entry i filled with i + 1), built by hand. */
std::vector<BYTE> handBlock(WORD count, size_t extraBytes = 0)
{
    std::vector<BYTE> b(1442 + size_t(742) * count + extraBytes, 0);
    const char tag[] = "DFAX001";
    for (int i = 0; i < 8; ++i)
        b[size_t(2 * i)] = BYTE(tag[i]);
    b[16] = BYTE(count);
    b[17] = BYTE(count >> 8);
    for (WORD i = 0; i < count; ++i)
        std::memset(b.data() + 1442 + size_t(742) * i, i + 1, 742);
    return b;
}

class FaxList : public OpenStoreTest {};

TEST_F(FaxList, PackWritesTheHeaderAndTheEntriesOldestFirst)
{
    Page page;
    setTexts(page.record);
    page.add(3);
    EXPECT_EQ(page.order(), (std::vector<int>{3, 2, 1})) << "the newest at the head";
    Global<> block;
    DWORD size = 0;
    ASSERT_TRUE(FAX_PackSendList(3, &page.record, block.out(), &size));
    ASSERT_EQ(size, 1442u + 3 * 742);
    const std::vector<BYTE> head = {'D', 0, 'F', 0, 'A', 0, 'X', 0, '0', 0, '0', 0, '1', 0, 0, 0, 3, 0,
                                    'S', 0, 'a', 0, 'l', 0, 'e', 0, 's', 0, 0, 0};
    EXPECT_EQ(std::vector<BYTE>(block.p, block.p + head.size()), head);
    EXPECT_EQ(block.p[100], 'Q');
    EXPECT_EQ(block.p[100 + 2 * 16], 's');
    EXPECT_EQ(block.p[100 + 2 * 17], 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(block.p[1442 + 742 * i], i + 1) << "entry " << i << " in the order added";
    EXPECT_EQ(block.p[1442 + 742 * 3 - 1], 3);

    Page back;
    ASSERT_TRUE(FAX_UnpackSendList(block.p, size, &back.record));
    EXPECT_EQ(back.order(), (std::vector<int>{3, 2, 1})) << "the head is the last one added, as before";
    EXPECT_EQ(std::u16string(back.record.headerText1), u"Sales");
    EXPECT_EQ(std::u16string(back.record.headerText2), u"Quarterly figures");
    EXPECT_EQ(back.record.list.head->firstKey, 0u);
    EXPECT_EQ(back.record.list.head->secondKey, 0xFFFFu);
}

TEST_F(FaxList, ListsOfZeroOneAndEightySixEntriesRoundTrip)
{
    for (int n : {0, 1, 86}) {
        SCOPED_TRACE(n);
        Page page;
        page.add(n);
        Global<> block;
        DWORD size = 0;
        ASSERT_TRUE(FAX_PackSendList(WORD(n), &page.record, block.out(), &size));
        EXPECT_EQ(size, 1442u + 742u * n);
        EXPECT_EQ(std::vector<BYTE>(block.p, block.p + size), handBlock(WORD(n)));
        WORD count = 99;
        Global<> loaded;
        loaded.p = FAX_LoadSendList(printer(), size, block.p, &count);
        if (n == 0) {
            /* stored and packed as it stands, but no job sends to a list of no destination */
            EXPECT_EQ(loaded.p, nullptr);
            EXPECT_EQ(count, 0);
            continue;
        }
        ASSERT_NE(loaded.p, nullptr);
        EXPECT_NE(loaded.p, block.p) << "a copy";
        EXPECT_EQ(count, n);
        Page back;
        ASSERT_TRUE(FAX_UnpackSendList(loaded.p, size, &back.record));
        EXPECT_EQ(back.order(), page.order());
    }
}

TEST_F(FaxList, EightySevenEntriesAreRefusedEverywhere)
{
    Page page;
    page.add(87);
    Global<> block;
    DWORD size = 7;
    EXPECT_FALSE(FAX_PackSendList(87, &page.record, block.out(), &size)) << "pack";
    EXPECT_EQ(block.p, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(PDT_SaveDeviceBlobsWithFaxList(printer(), context(), nullptr, PDT_STORE_USER, &page.record,
                                                std::vector<BYTE>(DPF_EXTENSION_SIZE).data(), nullptr, 0));

    std::vector<BYTE> big = handBlock(87);
    EXPECT_FALSE(DPF_CheckFaxList(big.data(), DWORD(big.size()), nullptr)) << "parse";
    BYTE *parsed = nullptr;
    DWORD parsedSize = 0;
    EXPECT_FALSE(PDT_ParseFaxSendList(big.data(), DWORD(big.size()), &parsed, &parsedSize));
    WORD count = 5;
    EXPECT_EQ(FAX_LoadSendList(printer(), DWORD(big.size()), big.data(), &count), nullptr) << "load";
    EXPECT_EQ(count, 0);
    Page back;
    EXPECT_FALSE(FAX_UnpackSendList(big.data(), DWORD(big.size()), &back.record));
    EXPECT_EQ(back.order().size(), 0u);
}

TEST_F(FaxList, CountAndBytesMustAgree)
{
    struct Row {
        std::vector<BYTE> block;
        const char *what;
    };
    std::vector<BYTE> countTooHigh = handBlock(2);
    countTooHigh.resize(1442 + 742);
    std::vector<BYTE> badTag = handBlock(1);
    badTag[12] = '2';
    std::vector<BYTE> cutHeader = handBlock(0);
    cutHeader.pop_back();
    std::vector<BYTE> noTerminator = handBlock(1);
    noTerminator[14] = '!';
    const Row rows[] = {
        {countTooHigh, "a count beyond the bytes"},
        {handBlock(1, 742), "bytes beyond the count"},
        {handBlock(1, 1), "one byte too many"},
        {cutHeader, "shorter than the header"},
        {badTag, "another tag"},
        {noTerminator, "a tag without its terminator"},
    };
    for (const Row &row : rows) {
        WORD count = 5;
        EXPECT_EQ(FAX_LoadSendList(printer(), DWORD(row.block.size()), row.block.data(), &count), nullptr) << row.what;
        Page page;
        EXPECT_FALSE(FAX_UnpackSendList(row.block.data(), DWORD(row.block.size()), &page.record)) << row.what;
    }
    EXPECT_EQ(FAX_LoadSendList(printer(), 0, nullptr, nullptr), nullptr) << "nothing stored";
}

TEST_F(FaxList, StoredListIsLoadedWhenNoneIsGiven)
{
    std::vector<BYTE> stored = handBlock(2);
    ASSERT_TRUE(PDT_WriteChunked(printer(), stored.data(), DWORD(stored.size()), u"FaxSendList", u"FaxSendListSize"));
    WORD count = 0;
    Global<> loaded;
    loaded.p = FAX_LoadSendList(printer(), 0, nullptr, &count);
    ASSERT_NE(loaded.p, nullptr);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::vector<BYTE>(loaded.p, loaded.p + stored.size()), stored);

    /* A stored list whose count does not match its bytes is treated as absent. */
    stored[16] = 3;
    ASSERT_TRUE(PDT_WriteChunked(printer(), stored.data(), DWORD(stored.size()), u"FaxSendList", u"FaxSendListSize"));
    EXPECT_EQ(FAX_LoadSendList(printer(), 0, nullptr, &count), nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(FaxList, PackingNeedsEnoughEntries)
{
    Page page;
    page.add(2);
    Global<> block;
    DWORD size = 0;
    EXPECT_FALSE(FAX_PackSendList(3, &page.record, block.out(), &size));
    ASSERT_TRUE(FAX_PackSendList(1, &page.record, block.out(), &size)) << "the newest only";
    EXPECT_EQ(block.p[1442], 2);
    EXPECT_FALSE(FAX_PackSendList(0, nullptr, block.out(), &size));
}

TEST_F(FaxList, HeaderAndEntryAccess)
{
    std::vector<BYTE> b = handBlock(2);
    std::vector<BYTE> header(1442), entry(742, 0xEE);
    ASSERT_TRUE(FAX_GetListHeader(b.data(), header.data()));
    EXPECT_EQ(header, std::vector<BYTE>(b.begin(), b.begin() + 1442));
    ASSERT_TRUE(FAX_GetListEntry(b.data(), 1, entry.data()));
    EXPECT_EQ(entry, std::vector<BYTE>(742, 2));
    EXPECT_FALSE(FAX_GetListEntry(b.data(), 2, entry.data())) << "index not below the count";
    EXPECT_FALSE(FAX_GetListHeader(nullptr, header.data()));
}

TEST_F(FaxList, AnsiConversions)
{
    Global<char> ansi;
    DWORD length = 0;
    ASSERT_TRUE(FAX_WideToAnsi(u"Caf\u00e9", ansi.out(), &length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::string(ansi.p), "Caf\xe9");
    Global<WCHAR> wide;
    DWORD count = 0;
    ASSERT_TRUE(FAX_AnsiToWide("Caf\xe9", wide.out(), &count));
    EXPECT_EQ(count, 5u) << "characters with the terminator";
    EXPECT_EQ(std::u16string(wide.p), u"Caf\u00e9");
    EXPECT_FALSE(FAX_WideToAnsi(nullptr, ansi.out(), &length));
}

TEST_F(FaxList, DeviceBlobsTravelWithTheList)
{
    Page page;
    setTexts(page.record);
    page.add(2);
    std::vector<BYTE> extension = pattern(DPF_EXTENSION_SIZE);
    plat::store_u16(extension.data(), 0, DPF_NDEV_VERSION);
    const BYTE tmb[3] = {7, 8, 9};
    ASSERT_TRUE(PDT_SaveDeviceBlobsWithFaxList(printer(), context(), nullptr, PDT_STORE_USER, &page.record,
                                               extension.data(), tmb, 3));
    Page back;
    std::vector<BYTE> loaded(DPF_EXTENSION_SIZE);
    Global<> tmbData;
    DWORD tmbLength = 0;
    ASSERT_TRUE(PDT_LoadDeviceBlobsWithFaxList(printer(), context(), nullptr, PDT_STORE_USER, &back.record,
                                               loaded.data(), tmbData.out(), &tmbLength));
    EXPECT_EQ(loaded, extension);
    ASSERT_EQ(tmbLength, 3u);
    EXPECT_EQ(tmbData.p[2], 9);
    EXPECT_EQ(back.order(), (std::vector<int>{2, 1}));
    EXPECT_EQ(std::u16string(back.record.headerText1), u"Sales");

    /* Without a record no list is written or read. */
    ASSERT_TRUE(PDT_SaveDeviceBlobsWithFaxList(printer(), context(), nullptr, PDT_STORE_USER, nullptr,
                                               extension.data(), nullptr, 0));
    Page none;
    ASSERT_TRUE(PDT_LoadDeviceBlobsWithFaxList(printer(), context(), nullptr, PDT_STORE_USER, &none.record,
                                               loaded.data(), nullptr, nullptr));
    EXPECT_TRUE(none.order().empty());
}

} // namespace
