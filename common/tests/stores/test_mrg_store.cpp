/*
 * Tests of the paper margins store: both order kinds, the printer-wide list
 * (replace or append, whole entries, saving an empty list), the user's
 * values and their byte layout, seeding from the machine-wide key only when
 * the user key is created, the reset, the lookup user -> list -> default,
 * and the favourites' 16-byte values.
 */
#include <tarvel/stores/mrg_store.h>
#include <tarvel/stores/pdt_chunk.h>

#include "test_mrg_support.h"

#include <plat/fault.h>

#include <array>

using namespace prn_test;
using namespace user_test;

namespace {

using Four = std::array<LONG, 4>;

TEST(MrgOrder, BothKindsAndBackAsTheTableGives)
{
    struct Row {
        int kind;
        Four stored;
    };
    const Row rows[] = {{1, {1, 2, 4, 3}}, {2, {3, 4, 1, 2}}};
    for (const Row &row : rows) {
        Four caller{1, 2, 3, 4}, stored{}, back{};
        ASSERT_EQ(MRG_ConvertMarginOrder(MRG_CALLER_TO_STORED, row.kind, stored.data(), caller.data()), MRG_OK);
        EXPECT_EQ(stored, row.stored) << "kind " << row.kind;
        ASSERT_EQ(MRG_ConvertMarginOrder(MRG_STORED_TO_CALLER, row.kind, stored.data(), back.data()), MRG_OK);
        EXPECT_EQ(back, caller) << "kind " << row.kind;
    }
}

TEST(MrgOrder, AnotherKindOrDirectionChangesNothing)
{
    Four caller{1, 2, 3, 4}, stored{9, 9, 9, 9};
    EXPECT_EQ(MRG_ConvertMarginOrder(1, 3, stored.data(), caller.data()), MRG_BAD_KIND);
    EXPECT_EQ(MRG_ConvertMarginOrder(1, 0, stored.data(), caller.data()), MRG_BAD_KIND);
    EXPECT_EQ(MRG_ConvertMarginOrder(3, 1, stored.data(), caller.data()), MRG_BAD_KIND);
    EXPECT_EQ(stored, (Four{9, 9, 9, 9}));
    EXPECT_EQ(caller, (Four{1, 2, 3, 4}));
    EXPECT_EQ(MRG_ConvertMarginOrder(1, 1, nullptr, caller.data()), MRG_NOT_FOUND);
    Four def{};
    EXPECT_EQ(MRG_GetDefaultInOrder(def.data(), 2), MRG_OK);
    EXPECT_EQ(def, (Four{46, 46, 46, 46}));
    EXPECT_EQ(MRG_GetDefaultInOrder(def.data(), 7), MRG_BAD_KIND);
}

class MrgStore : public OpenStoreTest {
protected:
    void TearDown() override
    {
        MRG_FreeArray(list_);
        list_ = nullptr;
        OpenStoreTest::TearDown();
    }
    PaperMarginList *load()
    {
        MRG_FreeArray(list_);
        list_ = MRG_LoadArray(printer());
        return list_;
    }
    std::vector<BYTE> blob()
    {
        DWORD size = 0;
        if (!PDT_ReadNamedBlob(printer(), PDT_BLOB_PAPERMARGINARRAY, nullptr, &size))
            return {};
        std::vector<BYTE> v(size);
        EXPECT_TRUE(PDT_ReadNamedBlob(printer(), PDT_BLOB_PAPERMARGINARRAY, v.data(), &size));
        return v;
    }
    std::u16string seedKey() { return std::u16string(kMachineKeyText) + u"Paper Margin"; }
    /* Seeds the machine-wide value of a paper (20 bytes: ID, four margins in stored order). */
    void seed(DWORD paperId, Four stored)
    {
        std::vector<BYTE> v = le32({paperId, DWORD(stored[0]), DWORD(stored[1]), DWORD(stored[2]), DWORD(stored[3])});
        ASSERT_TRUE(plat::registry_seed(HKEY_LOCAL_MACHINE, seedKey(), std::u16string(u"") + plat::utf8_to_utf16(
                                                                                   std::to_string(paperId)),
                                        REG_BINARY, v.data(), DWORD(v.size())));
    }
    Four lookup(WORD paperId, BOOL user, int kind = 1)
    {
        Four out{};
        EXPECT_EQ(MRG_GetMargin(printer(), context(), paperId, out.data(), kMachineKeyText, list_, user, kind), MRG_OK);
        return out;
    }

    PaperMarginList *list_ = nullptr;
};

TEST_F(MrgStore, MachineKeyTextAndSeedName)
{
    Global<WCHAR> text;
    text.p = MRG_GetMachineKeyText(context());
    ASSERT_NE(text.p, nullptr);
    EXPECT_EQ(std::u16string(text.p), kMachineKeyText);
    Global<WCHAR> name;
    ASSERT_EQ(MRG_BuildHklmKeyName(text.p, name.out()), MRG_OK);
    EXPECT_EQ(std::u16string(name.p), u"Tarvel\\CX1500Paper Margin") << "no separator is inserted";
    EXPECT_EQ(MRG_BuildHklmKeyName(nullptr, name.out()), MRG_NOT_FOUND);
}

TEST_F(MrgStore, ListReplacesOrAppendsAndSavesItsBytes)
{
    ASSERT_NE(load(), nullptr);
    EXPECT_EQ(list_->count, 0u) << "no blob: an empty list";
    EXPECT_EQ(MRG_SaveArray(printer(), list_), MRG_BAD_KIND) << "an empty list is not saved";

    Four a{1, 2, 3, 4}, b{-5, 6, 7, 8}, c{10, 20, 30, 40};
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 9, a.data()), MRG_OK);
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 0x0102, b.data()), MRG_OK);
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 9, c.data()), MRG_OK);
    EXPECT_EQ(list_->count, 2u) << "a known paper is replaced, a new one appended";
    EXPECT_EQ(list_->size, 40u);
    ASSERT_EQ(MRG_SaveArray(printer(), list_), MRG_OK);

    const std::vector<BYTE> expected = {
        0x09, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00,
        0x28, 0x00, 0x00, 0x00, /* paper 9: 10, 20, 30, 40 */
        0x02, 0x01, 0x00, 0x00, 0xFB, 0xFF, 0xFF, 0xFF, 0x06, 0x00, 0x00, 0x00, 0x07, 0x00, 0x00, 0x00,
        0x08, 0x00, 0x00, 0x00, /* paper 0x0102: -5, 6, 7, 8 */
    };
    EXPECT_EQ(blob(), expected);

    ASSERT_NE(load(), nullptr);
    ASSERT_EQ(list_->count, 2u);
    Four found{};
    ASSERT_EQ(MRG_FindMargin(printer(), list_, 0x0102, found.data()), MRG_OK);
    EXPECT_EQ(found, b);
    EXPECT_EQ(MRG_FindMargin(printer(), list_, 3, found.data()), MRG_NOT_FOUND);
    ASSERT_EQ(MRG_GetFromArray(printer(), 9, found.data(), list_, 2), MRG_OK);
    EXPECT_EQ(found, (Four{30, 40, 10, 20}));
    ASSERT_EQ(MRG_PutIntoArray(printer(), 11, a.data(), list_, 1), MRG_OK);
    ASSERT_EQ(MRG_FindMargin(printer(), list_, 11, found.data()), MRG_OK);
    EXPECT_EQ(found, (Four{1, 2, 4, 3}));
    EXPECT_EQ(MRG_PutIntoArray(printer(), 12, a.data(), list_, 5), MRG_BAD_KIND);
    EXPECT_EQ(list_->count, 3u);
}

TEST_F(MrgStore, SavingAnEmptyListLeavesTheStoredBlobAlone)
{
    ASSERT_NE(load(), nullptr);
    Four a{1, 2, 3, 4};
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 9, a.data()), MRG_OK);
    ASSERT_EQ(MRG_SaveArray(printer(), list_), MRG_OK);
    const std::vector<BYTE> before = blob();
    PaperMarginList empty{};
    EXPECT_EQ(MRG_SaveArray(printer(), &empty), MRG_BAD_KIND);
    EXPECT_EQ(blob(), before);
    EXPECT_EQ(MRG_SaveArray(printer(), nullptr), MRG_NOT_FOUND);
    EXPECT_EQ(MRG_FreeArray(nullptr), MRG_NOT_FOUND);
}

TEST_F(MrgStore, LoadTakesWholeEntriesOnly)
{
    std::vector<BYTE> stored = le32({7, 1, 2, 3, 4});
    stored.resize(stored.size() + 13, 0xEE); /* a cut second entry */
    ASSERT_TRUE(PDT_WriteNamedBlob(printer(), stored.data(), DWORD(stored.size()), PDT_BLOB_PAPERMARGINARRAY));
    ASSERT_NE(load(), nullptr);
    EXPECT_EQ(list_->count, 1u);
    Four found{};
    ASSERT_EQ(MRG_FindMargin(printer(), list_, 7, found.data()), MRG_OK);
    EXPECT_EQ(found, (Four{1, 2, 3, 4}));
}

TEST_F(MrgStore, SetMarginWithoutMemoryChangesNothing)
{
    ASSERT_NE(load(), nullptr);
    Four a{1, 2, 3, 4};
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(MRG_SetMargin(printer(), list_, 9, a.data()), MRG_NOT_FOUND);
    plat::fault_fail_alloc_after(0);
    EXPECT_EQ(list_->count, 0u);
}

TEST_F(MrgStore, UserValueLayoutAndRoundTrip)
{
    Four caller{1, 2, 3, 4};
    ASSERT_EQ(MRG_SetUserMargin(printer(), context(), 300, caller.data(), kMachineKeyText, 2), MRG_OK);
    DWORD type = 0;
    bool found = false;
    std::vector<BYTE> v = rawValue(HKEY_CURRENT_USER, userKey(printer(), u"Paper Margin"), u"300", &type, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    EXPECT_EQ(v, le32({300, 3, 4, 1, 2})) << "paper ID, then the margins in stored order";
    Four back{};
    ASSERT_EQ(MRG_GetUserMargin(printer(), context(), 300, back.data(), kMachineKeyText, 2), MRG_OK);
    EXPECT_EQ(back, caller);
    ASSERT_EQ(MRG_GetUserMargin(printer(), context(), 300, back.data(), kMachineKeyText, 1), MRG_OK);
    EXPECT_EQ(back, (Four{3, 4, 2, 1}));
    EXPECT_EQ(MRG_GetUserMargin(printer(), context(), 301, back.data(), kMachineKeyText, 1), MRG_READ_FAILED);
    EXPECT_EQ(MRG_GetUserMargin(printer(), context(), 300, back.data(), kMachineKeyText, 3), MRG_BAD_KIND);
}

TEST_F(MrgStore, LookupGoesUserThenListThenDefault)
{
    ASSERT_NE(load(), nullptr);
    Four listed{5, 6, 7, 8}, mine{1, 2, 3, 4};
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 9, listed.data()), MRG_OK);
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 11, listed.data()), MRG_OK);
    ASSERT_EQ(MRG_SetUserMargin(printer(), context(), 9, mine.data(), kMachineKeyText, 1), MRG_OK);

    EXPECT_EQ(lookup(9, TRUE), mine) << "the user's value first";
    EXPECT_EQ(lookup(9, FALSE), (Four{5, 6, 8, 7})) << "without the user flag: the list, in the caller's order";
    EXPECT_EQ(lookup(11, TRUE), (Four{5, 6, 8, 7})) << "no user value: the list";
    EXPECT_EQ(lookup(13, TRUE), (Four{46, 46, 46, 46})) << "in neither store: the default";
    Four out{};
    EXPECT_EQ(MRG_GetMargin(printer(), context(), 13, out.data(), kMachineKeyText, nullptr, FALSE, 1), MRG_OK);
    EXPECT_EQ(out, (Four{46, 46, 46, 46})) << "no list at all";
    EXPECT_EQ(MRG_GetMargin(printer(), context(), 9, out.data(), kMachineKeyText, list_, TRUE, 9), MRG_BAD_KIND);
    EXPECT_EQ(MRG_GetMargin(printer(), context(), 9, nullptr, kMachineKeyText, list_, TRUE, 1), MRG_NOT_FOUND);
}

TEST_F(MrgStore, ShortUserValueIsNotReadPastItsEnd)
{
    ASSERT_NE(load(), nullptr);
    Four mine{1, 2, 3, 4};
    ASSERT_EQ(MRG_SetUserMargin(printer(), context(), 9, mine.data(), kMachineKeyText, 1), MRG_OK);
    std::vector<BYTE> cut = le32({9, 1, 2});
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, userKey(printer(), u"Paper Margin"), u"9", REG_BINARY,
                                    cut.data(), DWORD(cut.size())));
    Four out{};
    EXPECT_EQ(MRG_ReadUserMargin(printer(), context(), kMachineKeyText, 9, out.data()), MRG_READ_FAILED);
    EXPECT_EQ(lookup(9, TRUE), (Four{46, 46, 46, 46})) << "falls through to the default";
}

TEST_F(MrgStore, SeedIsCopiedOnlyWhenTheUserKeyIsCreated)
{
    seed(9, {11, 12, 13, 14});
    EXPECT_EQ(lookup(9, TRUE), (Four{11, 12, 14, 13})) << "the new user key is a copy of the seed";

    /* A changed seed no longer reaches a user whose key exists. */
    seed(9, {21, 22, 23, 24});
    seed(10, {31, 32, 33, 34});
    EXPECT_EQ(lookup(9, TRUE), (Four{11, 12, 14, 13}));
    EXPECT_EQ(lookup(10, TRUE), (Four{46, 46, 46, 46}));
}

TEST_F(MrgStore, AnExistingEmptyUserKeyIsNeverSeeded)
{
    HKEY key = nullptr;
    ASSERT_EQ(MRG_OpenUserKey(printer(), context(), nullptr, &key, nullptr), MRG_OK) << "created without a base";
    RegCloseKey(key);
    seed(9, {11, 12, 13, 14});
    EXPECT_EQ(lookup(9, TRUE), (Four{46, 46, 46, 46}));
    Global<WCHAR> name;
    ASSERT_EQ(MRG_OpenUserKey(printer(), context(), kMachineKeyText, &key, name.out()), MRG_OK);
    RegCloseKey(key);
    EXPECT_EQ(std::u16string(name.p), userKey(printer(), u"Paper Margin"));
    EXPECT_TRUE(valueNames(HKEY_CURRENT_USER, name.p).empty());
}

TEST_F(MrgStore, UserResetLeavesAnEmptyKeyThatTheSeedNoLongerReaches)
{
    seed(9, {11, 12, 13, 14});
    /* The seed's own subkey comes along and must go with the reset. */
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, seedKey() + u"\\Extra", u"X", 1));
    ASSERT_NE(load(), nullptr);
    Four listed{5, 6, 7, 8};
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 9, listed.data()), MRG_OK);

    ASSERT_EQ(MRG_ResetMargins(printer(), context(), TRUE, kMachineKeyText), MRG_OK);
    const std::u16string key = userKey(printer(), u"Paper Margin");
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, key));
    EXPECT_TRUE(valueNames(HKEY_CURRENT_USER, key).empty());
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, key + u"\\Extra"));
    EXPECT_EQ(lookup(9, TRUE), (Four{5, 6, 8, 7})) << "the machine-wide values no longer reach the user";
    EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, seedKey())) << "the seed itself stays";
}

TEST_F(MrgStore, PrinterResetDeletesTheBlob)
{
    ASSERT_NE(load(), nullptr);
    Four a{1, 2, 3, 4};
    ASSERT_EQ(MRG_SetMargin(printer(), list_, 9, a.data()), MRG_OK);
    ASSERT_EQ(MRG_SaveArray(printer(), list_), MRG_OK);
    ASSERT_EQ(MRG_ResetMargins(printer(), context(), FALSE, kMachineKeyText), MRG_OK);
    EXPECT_TRUE(blob().empty());
    ASSERT_NE(load(), nullptr);
    EXPECT_EQ(list_->count, 0u);
}

TEST_F(MrgStore, UserKeyFailuresGiveTheirCodes)
{
    Four a{1, 2, 3, 4};
    plat::registry_fail_after(1);
    EXPECT_EQ(MRG_WriteUserMargin(printer(), context(), kMachineKeyText, 9, a.data()), MRG_KEY_FAILED);
    /* The key exists; the value write is the one to fail. */
    ASSERT_EQ(MRG_WriteUserMargin(printer(), context(), kMachineKeyText, 9, a.data()), MRG_OK);
    plat::registry_fail_after(2);
    EXPECT_EQ(MRG_WriteUserMargin(printer(), context(), kMachineKeyText, 9, a.data()), MRG_WRITE_FAILED);
    HKEY key = nullptr;
    EXPECT_EQ(MRG_OpenUserKey(printer(), nullptr, kMachineKeyText, &key, nullptr), MRG_KEY_FAILED);
    EXPECT_EQ(key, nullptr);
}

TEST_F(MrgStore, FavouriteValuesAreSixteenBytes)
{
    const std::u16string path = userKey(printer()) + u"Fav";
    std::vector<BYTE> v = le32({1, 2, 3, 4});
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, path, u"9", REG_BINARY, v.data(), 16));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_CURRENT_USER, path, u"Num", 1));
    std::vector<BYTE> longer = le32({1, 2, 3, 4, 5});
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, path, u"10", REG_BINARY, longer.data(), 20));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    WCHAR name[MRG_VALUE_NAME_CHARS];
    Four out{};
    ASSERT_TRUE(REG_EnumMarginValue(key, 0, 2, name, out.data()));
    EXPECT_EQ(std::u16string(name), u"9");
    EXPECT_EQ(out, (Four{3, 4, 1, 2}));
    EXPECT_FALSE(REG_EnumMarginValue(key, 1, 2, name, out.data())) << "\"Num\" is not a margin value";
    EXPECT_FALSE(REG_EnumMarginValue(key, 2, 2, name, out.data())) << "20 bytes are not a margin value";
    EXPECT_FALSE(REG_EnumMarginValue(key, 3, 2, name, out.data())) << "past the last value";
    ASSERT_TRUE(REG_QueryMarginValue(key, u"9", 1, out.data()));
    EXPECT_EQ(out, (Four{1, 2, 4, 3}));
    EXPECT_FALSE(REG_QueryMarginValue(key, u"Num", 1, out.data()));
    EXPECT_FALSE(REG_QueryMarginValue(key, u"9", 4, out.data()));
    RegCloseKey(key);
}

} // namespace
