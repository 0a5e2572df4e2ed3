/*
 * UserSettingInfo stores: the user's key with its three store kinds, the
 * printer-wide blob whose section B never reaches a user, loads of older,
 * short and long stored records, the default name from the resource module,
 * an ordinary user, and persistence.
 */
#include <tarvel/base/res_module.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/prn_store.h>

#include "test_prn_support.h"
#include "usi_store.h"

#include <plat/loader.h>

using namespace prn_test;

namespace {

using Record = std::vector<BYTE>;

/* A version 3 record with every byte after the header set from `seed`. */
Record record(BYTE seed)
{
    Record r = pattern(USI_RECORD_SIZE, seed);
    r[0] = 3;
    r[1] = 0;
    r[72] = 354 & 0xFF;
    r[73] = 354 >> 8;
    r[428] = 892 & 0xFF;
    r[429] = 892 >> 8;
    return r;
}

Record defaults(const char16_t *name = u"")
{
    Record r(USI_RECORD_SIZE);
    USI_FillDefaults(r.data(), name);
    return r;
}

Record sectionA(const Record &r) { return Record(r.begin() + 74, r.begin() + 428); }
Record sectionB(const Record &r) { return Record(r.begin() + 432, r.end()); }

class UsiStore : public OpenStoreTest {
protected:
    Record userRecord() { return userValue(u"UserSettingInfo"); }
    void putUserValue(const Record &r)
    {
        ASSERT_TRUE(REG_WriteValue(printer(), context(), r.data(), DWORD(r.size()), REG_BINARY, nullptr,
                                   u"UserSettingInfo"));
    }
    Record load(int kind, BOOL flag = FALSE)
    {
        Record r(USI_RECORD_SIZE, 0xEE);
        EXPECT_TRUE(USI_Load(printer(), context(), r.data(), kind, flag));
        return r;
    }
};

TEST_F(UsiStore, StoredInTheUsersKeyAndLoadedBack)
{
    Record r = record(3);
    ASSERT_TRUE(USI_Store(printer(), context(), r.data(), USI_STORE_USER));
    EXPECT_EQ(userRecord(), r);
    EXPECT_EQ(load(USI_STORE_USER), r);
    EXPECT_TRUE(REG_HasUserSettingInfo(printer(), context()));
}

TEST_F(UsiStore, KindsOneAndTwoKeepAStoredSection)
{
    const Record stored = record(10);
    struct Case {
        int kind;
        bool keepsA;
    };
    for (Case c : {Case{USI_STORE_USER_KEEP_A, true}, Case{USI_STORE_USER_KEEP_B, false}, Case{7, false}}) {
        SCOPED_TRACE(c.kind);
        putUserValue(stored);
        Record r = record(99);
        ASSERT_TRUE(USI_Store(printer(), context(), r.data(), c.kind));
        Record expected = record(99);
        if (c.keepsA)
            std::copy(stored.begin() + 74, stored.begin() + 428, expected.begin() + 74);
        else
            std::copy(stored.begin() + 432, stored.end(), expected.begin() + 432);
        EXPECT_EQ(userRecord(), expected);
        EXPECT_EQ(r, expected) << "the record stored is the caller's";
    }
    /* Nothing stored yet: the record goes in unchanged. */
    ASSERT_TRUE(USI_DeleteUserSettingInfo(printer(), context()));
    Record r = record(50);
    ASSERT_TRUE(USI_Store(printer(), context(), r.data(), USI_STORE_USER_KEEP_A));
    EXPECT_EQ(userRecord(), record(50));
    /* A stored value too short for its section is not copied from. */
    putUserValue(Record(stored.begin(), stored.begin() + 400));
    r = record(60);
    ASSERT_TRUE(USI_Store(printer(), context(), r.data(), USI_STORE_USER_KEEP_A));
    EXPECT_EQ(userRecord(), record(60));
}

TEST_F(UsiStore, ThePrinterWideCopyNeverSuppliesSectionB)
{
    Record r = record(20);
    ASSERT_TRUE(USI_Store(printer(), context(), r.data(), USI_STORE_PRINTER));
    Global<> blob;
    DWORD size = 0;
    ASSERT_TRUE(PDT_ReadChunked(printer(), blob.out(), &size, u"UserSettingInfo", u"UserSettingInfoSize"));
    EXPECT_EQ(Record(blob.p, blob.p + size), r);
    EXPECT_EQ(userRecord(), Record()) << "the user's key is not touched";

    /* The standard model has no empty-name capability and no resource module is loaded: an empty name. */
    for (int kind : {USI_STORE_PRINTER, USI_STORE_USER}) {
        SCOPED_TRACE(kind);
        Record loaded = load(kind);
        EXPECT_EQ(Record(loaded.begin(), loaded.begin() + 432), Record(r.begin(), r.begin() + 432));
        EXPECT_EQ(sectionB(loaded), sectionB(defaults()));
    }
    /* The user's own value wins over the printer-wide one, unless kind 3 is asked for. */
    putUserValue(record(30));
    EXPECT_EQ(load(USI_STORE_USER), record(30));
    EXPECT_EQ(sectionA(load(USI_STORE_PRINTER)), sectionA(r));
}

TEST_F(UsiStore, NothingStoredGivesTheDefaults)
{
    EXPECT_EQ(load(USI_STORE_USER), defaults());
    EXPECT_EQ(load(USI_STORE_PRINTER), defaults());
}

TEST_F(UsiStore, OlderShortAndLongStoredRecords)
{
    /* Version 1: the fields move, 5178 becomes 7 under flag 5163, the rest are defaults. */
    Record v1 = pattern(USI_V1_SIZE, 70);
    v1[0] = 1;
    v1[1] = 0;
    putUserValue(v1);
    Record loaded = load(USI_STORE_USER, TRUE);
    Record expected = defaults();
    USI_MergeStored(v1.data(), DWORD(v1.size()), expected.data(), TRUE);
    EXPECT_EQ(loaded, expected);
    EXPECT_EQ(loaded[640], 7);
    EXPECT_TRUE(std::equal(v1.begin() + 72, v1.begin() + 138, loaded.begin() + 432));

    /* A version 3 record cut short is not merged: defaults. */
    Record shortRecord = record(80);
    shortRecord.resize(600);
    putUserValue(shortRecord);
    EXPECT_EQ(load(USI_STORE_USER), defaults());

    /* A longer one gives its first 1,324 bytes. */
    Record longRecord = record(90);
    longRecord.resize(2000, 0x77);
    putUserValue(longRecord);
    EXPECT_EQ(load(USI_STORE_USER), record(90));

    /* The same from the printer-wide blob (read into a buffer of its own size). */
    ASSERT_TRUE(USI_DeleteUserSettingInfo(printer(), context()));
    ASSERT_TRUE(PDT_WriteNamedBlob(printer(), longRecord.data(), 2000, PDT_BLOB_USERSETTINGINFO));
    loaded = load(USI_STORE_USER);
    EXPECT_EQ(sectionA(loaded), sectionA(record(90)));
    ASSERT_TRUE(PDT_WriteNamedBlob(printer(), shortRecord.data(), 600, PDT_BLOB_USERSETTINGINFO));
    EXPECT_EQ(load(USI_STORE_USER), defaults());
}

TEST_F(UsiStore, AUserValueThatCannotBeReadFailsTheLoad)
{
    putUserValue(record(1));
    Record r(USI_RECORD_SIZE, 0xEE);
    plat::registry_fail_after(2, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(USI_Load(printer(), context(), r.data(), USI_STORE_USER, FALSE));
    plat::registry_fail_after(2, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(USI_Store(printer(), context(), r.data(), USI_STORE_USER_KEEP_B));
}

TEST_F(UsiStore, DeletingTheValueCreatesNothing)
{
    EXPECT_FALSE(USI_DeleteUserSettingInfo(printer(), context()));
    BYTE id[PRN_ID_SIZE];
    EXPECT_FALSE(REG_ReadPrnId(printer(), id)) << "no identifier was made";
    putUserValue(record(4));
    ASSERT_TRUE(USI_DeleteUserSettingInfo(printer(), context()));
    EXPECT_EQ(userRecord(), Record());
    EXPECT_FALSE(USI_DeleteUserSettingInfo(printer(), context()));
}

TEST_F(UsiStore, DefaultNameComesFromTheResourceModule)
{
    Record r(USI_RECORD_SIZE);
    USI_SetDefaults(FALSE, r.data());
    EXPECT_EQ(r, defaults()) << "no resource module: an empty name";

    initLibrary();
    USI_SetDefaults(FALSE, r.data());
    EXPECT_EQ(r, defaults(u"No Name"));
    USI_SetDefaults(TRUE, r.data());
    EXPECT_EQ(r, defaults()) << "the empty-name capability";
}

TEST_F(UsiStore, TheEmptyNameCapabilityOfTheModelDecidesTheLoadedName)
{
    mw::Model m = model_test::emptyModel(0x1600, false);
    m.main.entries[26] = mw::eU32(USI_CAP_EMPTY_DEFAULT_NAME);
    Context bare(contextOf(m));
    ASSERT_NE(bare.p, nullptr);
    initLibrary();
    Record r(USI_RECORD_SIZE);
    ASSERT_TRUE(USI_Load(printer(), bare, r.data(), USI_STORE_USER, FALSE));
    EXPECT_EQ(r, defaults());
    ASSERT_TRUE(USI_Load(printer(), context(), r.data(), USI_STORE_USER, FALSE));
    EXPECT_EQ(r, defaults(u"No Name"));
}

TEST_F(UsiStore, AnOrdinaryUser)
{
    close();
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    {
        Printer user(kPrinter, PRINTER_ACCESS_USE);
        Context context(MDL_Open(user));
        Record r = record(5);
        EXPECT_FALSE(USI_Store(user, context, r.data(), USI_STORE_PRINTER)) << "printer data needs administer rights";
        EXPECT_FALSE(USI_Store(user, context, r.data(), USI_STORE_USER)) << "no identifier, and none can be stored";
        Record loaded(USI_RECORD_SIZE);
        EXPECT_TRUE(USI_Load(user, context, loaded.data(), USI_STORE_USER, FALSE));
        EXPECT_EQ(loaded, defaults());
    }
    plat::spool_set_current_user_rights(plat::SpoolUser::Administrator);
    open();
    Record shared = record(6);
    ASSERT_TRUE(USI_Store(printer(), context(), shared.data(), USI_STORE_PRINTER));
    BYTE id[PRN_ID_SIZE] = {7};
    ASSERT_TRUE(REG_WritePrnId(printer(), id));
    close();
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    Printer user(kPrinter, PRINTER_ACCESS_USE);
    Context context(MDL_Open(user));
    Record r = record(8);
    ASSERT_TRUE(USI_Store(user, context, r.data(), USI_STORE_USER)) << "his own key";
    Record loaded(USI_RECORD_SIZE);
    ASSERT_TRUE(USI_Load(user, context, loaded.data(), USI_STORE_USER, FALSE));
    EXPECT_EQ(loaded, r);
    ASSERT_TRUE(USI_Load(user, context, loaded.data(), USI_STORE_PRINTER, FALSE));
    EXPECT_EQ(sectionA(loaded), sectionA(shared));
}

TEST_F(UsiStore, ASettingWrittenByOneProcessIsReadByTheNext)
{
    Record r = record(12);
    ASSERT_TRUE(USI_Store(printer(), context(), r.data(), USI_STORE_USER));
    close();
    plat::machine_reset(root_);
    open();
    EXPECT_EQ(load(USI_STORE_USER), r);
}

} // namespace
