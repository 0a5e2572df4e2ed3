/*
 * Tests of the stamps store: creation from the built-in stamps or as a copy
 * of the machine-wide key, the 32-stamp limit, protected built-in names,
 * the name check's codes, reading with its fall-backs, listing, deleting,
 * comparing, short stored values, and a creation that fails half-way.
 */
#include <tarvel/base/res_module.h>
#include <tarvel/stores/stp_store.h>

#include "test_mrg_support.h"
#include "test_res_support.h"

#include <array>
#include <string>

using namespace prn_test;
using namespace user_test;

namespace {

const std::vector<std::u16string> kBuiltInNames = {u"Confidential", u"Draft",    u"Copy",
                                                   u"Urgent",       u"Approved", u"Do Not Copy"};

using Record = std::array<BYTE, STP_RECORD_SIZE>;

std::u16string textAt(const BYTE *record, DWORD offset, DWORD chars)
{
    std::u16string s;
    for (DWORD i = 0; i < chars; ++i) {
        WCHAR c = plat::load<WCHAR>(record + offset + 2 * i);
        if (!c)
            break;
        s.push_back(c);
    }
    return s;
}

void putText(BYTE *record, DWORD offset, const std::u16string &text)
{
    for (size_t i = 0; i < text.size(); ++i)
        plat::store<WCHAR>(record + offset + 2 * i, text[i]);
    plat::store<WCHAR>(record + offset + 2 * text.size(), 0);
}

/* A user stamp: name, text, and distinct values in every compared field. */
Record makeStamp(const std::u16string &name, const std::u16string &text = u"Text")
{
    Record r{};
    putText(r.data(), STP_OFF_NAME, name);
    putText(r.data(), STP_OFF_TEXT, text);
    plat::store<DWORD>(r.data() + STP_OFF_COLOR, 0x00FF00);
    plat::store<DWORD>(r.data() + STP_OFF_300, 2);
    plat::store<WORD>(r.data() + STP_OFF_303, 0x0301);
    BYTE *font = r.data() + STP_OFF_FONT;
    plat::store<LONG>(font + STP_LF_HEIGHT, -40);
    plat::store<LONG>(font + STP_LF_WEIGHT, 700);
    font[STP_LF_QUALITY] = 2;
    putText(font, STP_LF_FACENAME, u"Arial");
    plat::store<WORD>(r.data() + STP_OFF_NUMBER, 1000);
    plat::store<WORD>(r.data() + STP_OFF_USER_FLAG, 1);
    return r;
}

class StpStore : public OpenStoreTest {
protected:
    void SetUp() override
    {
        OpenStoreTest::SetUp();
        RES_ResetForTest();
        ASSERT_TRUE(RES_AttachOwnStrings(res_test::ownCodeModule()));
        RES_SetModulePathForTest(res_test::kModulePath);
        RES_InitModulePaths(nullptr, nullptr);
        /* The printer gets its identifier now, so the registry calls counted below are the store's own. */
        WCHAR name[PRN_KEY_NAME_CHARS];
        ASSERT_TRUE(REG_GetStampsKeyName(printer(), context(), name, PRN_KEY_NAME_CHARS, 0));
    }
    void TearDown() override
    {
        RES_ResetForTest();
        OpenStoreTest::TearDown();
    }
    std::u16string stampsKey() { return userKey(printer(), u"Stamps"); }
    std::u16string seedKey() { return std::u16string(kMachineKeyText) + u"Stamps"; }
    int write(const Record &r) { return STP_WriteStamp(printer(), r.data(), context()); }
    int read(const std::u16string &name, Record &r, BOOL builtInOnly = FALSE)
    {
        return STP_ReadStamp(printer(), name.c_str(), r.data(), builtInOnly, context());
    }
    DWORD count()
    {
        DWORD n = 99;
        EXPECT_EQ(STP_CountStamps(printer(), &n, context()), STP_OK);
        return n;
    }
    /* Fills the store up to 32 stamps: "User 7" ... "User 32". */
    void fill()
    {
        for (int i = int(count()) + 1; i <= 32; ++i)
            ASSERT_EQ(write(makeStamp(u"User " + plat::utf8_to_utf16(std::to_string(i)))), STP_OK);
        ASSERT_EQ(count(), 32u);
    }
};

TEST_F(StpStore, FirstUseWithoutMachineKeyMakesTheBuiltInStore)
{
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, stampsKey()));
    EXPECT_EQ(count(), 6u);
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, stampsKey()), kBuiltInNames);
    DWORD type = 0;
    bool found = false;
    std::vector<BYTE> version = rawValue(HKEY_CURRENT_USER, userKey(printer(), u"Stamps\\Others"), u"Stamp Version",
                                         &type, &found);
    ASSERT_TRUE(found);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(version, (std::vector<BYTE>{'0', 0, '.', 0, '0', 0, '1', 0})) << "four characters, no terminator";

    Record r{};
    ASSERT_EQ(read(u"Draft", r), STP_OK);
    EXPECT_EQ(textAt(r.data(), STP_OFF_TEXT, 65), u"DRAFT");
    Record builtIn{};
    ASSERT_TRUE(STP_LoadBuiltInStamp(builtIn.data(), &StpBuiltInStamps[1]));
    EXPECT_EQ(r, builtIn) << "stored as the built-in definition gives it";
}

TEST_F(StpStore, MachineKeyIsCopiedAndNothingElseAdded)
{
    Record memo = makeStamp(u"Memo");
    ASSERT_TRUE(plat::registry_seed(HKEY_LOCAL_MACHINE, seedKey(), u"Memo", REG_BINARY, memo.data(), STP_RECORD_SIZE));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, seedKey(), u"Not a stamp", 5));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, seedKey() + u"\\Others", u"Policy", 1));

    EXPECT_EQ(count(), 1u) << "the DWORD value is not a stamp";
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, stampsKey()), (std::vector<std::u16string>{u"Memo", u"Not a stamp"}));
    bool found = false;
    rawValue(HKEY_CURRENT_USER, userKey(printer(), u"Stamps\\Others"), u"Stamp Version", nullptr, &found);
    EXPECT_FALSE(found) << "no version unless the machine-wide key has it";
    rawValue(HKEY_CURRENT_USER, userKey(printer(), u"Stamps\\Others"), u"Policy", nullptr, &found);
    EXPECT_TRUE(found);
    Record r{};
    ASSERT_EQ(read(u"Memo", r), STP_OK);
    EXPECT_EQ(r, memo);
    EXPECT_EQ(read(u"Draft", r), STP_NOT_FOUND) << "the built-ins are not added to a copied store";
}

TEST_F(StpStore, ThirtyThirdNewStampIsRefusedWhileRewritingSucceeds)
{
    fill();
    std::vector<Record> before(32);
    std::vector<std::u16string> names = valueNames(HKEY_CURRENT_USER, stampsKey());
    ASSERT_EQ(names.size(), 32u);
    for (size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(read(names[i], before[i]), STP_OK);

    EXPECT_EQ(write(makeStamp(u"One too many")), STP_STORE_FULL);
    EXPECT_EQ(STP_CheckName(printer(), u"One too many", context(), STP_CHECK_NEW), STP_STORE_FULL);
    Record changed = makeStamp(u"User 20", u"Rewritten");
    ASSERT_EQ(write(changed), STP_OK);
    EXPECT_EQ(count(), 32u);

    for (size_t i = 0; i < names.size(); ++i) {
        Record now{};
        ASSERT_EQ(read(names[i], now), STP_OK);
        if (names[i] == u"User 20")
            EXPECT_EQ(now, changed);
        else
            EXPECT_EQ(now, before[i]) << plat::utf16_to_utf8(names[i]) << " is intact";
    }
}

TEST_F(StpStore, BuiltInNamesAreProtected)
{
    EXPECT_EQ(STP_DeleteStamp(printer(), u"Confidential", context()), STP_BUILTIN_NAME);
    EXPECT_EQ(count(), 6u);
    EXPECT_EQ(STP_CheckName(printer(), u"Confidential", context(), STP_CHECK_NEW), STP_TAKEN_BY_BUILTIN);
    EXPECT_EQ(STP_CheckName(printer(), u"Confidential", context(), STP_CHECK_RENAME), STP_NAME_TAKEN);
    EXPECT_EQ(STP_Exists(printer(), u"Confidential", context()), STP_BUILTIN_NAME);
    EXPECT_EQ(STP_CheckName(printer(), u"confidential", context(), STP_CHECK_NEW), STP_TAKEN_WITH_TEXT)
        << "not a built-in name (exact), but a stored one ignoring case";
}

TEST_F(StpStore, ThirtyTwoCharacterNameRoundTrips)
{
    const std::u16string name = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ123456";
    ASSERT_EQ(name.size(), 32u);
    Record r = makeStamp(name, std::u16string(64, u'x'));
    ASSERT_EQ(write(r), STP_OK);
    Record back{};
    ASSERT_EQ(read(name, back), STP_OK);
    EXPECT_EQ(back, r);
    EXPECT_EQ(STP_Exists(printer(), name.c_str(), context()), STP_OK);
    EXPECT_EQ(STP_IsUnchanged(printer(), r.data(), context()), STP_OK);

    Record tooLong = makeStamp(name);
    putText(tooLong.data(), STP_OFF_NAME, name + u"7"); /* 33 characters fill the field with its terminator */
    plat::store<WCHAR>(tooLong.data() + STP_OFF_TEXT, u'T'); /* overwrites the terminator: no end in the field */
    EXPECT_EQ(write(tooLong), STP_BAD_ARGUMENT);
    EXPECT_EQ(write(makeStamp(u"")), STP_BAD_ARGUMENT);
}

TEST_F(StpStore, CheckNameCodesByKind)
{
    ASSERT_EQ(write(makeStamp(u"Memo", u"MEMO")), STP_OK);
    ASSERT_EQ(write(makeStamp(u"Blank", u"")), STP_OK);
    struct Row {
        const char16_t *name;
        int kind;
        int expected;
    };
    const Row rows[] = {
        {u"MEMO", STP_CHECK_NEW, STP_TAKEN_WITH_TEXT}, {u"memo", STP_CHECK_RENAME, STP_NAME_TAKEN},
        {u"blank", STP_CHECK_NEW, STP_NAME_TAKEN},     {u"BLANK", STP_CHECK_RENAME, STP_TAKEN_EMPTY},
        {u"Memo", 3, STP_NAME_TAKEN},                  {u"Fresh", STP_CHECK_NEW, STP_OK},
        {nullptr, STP_CHECK_NEW, STP_OK},
    };
    for (const Row &row : rows)
        EXPECT_EQ(STP_CheckName(printer(), row.name, context(), row.kind), row.expected)
            << (row.name ? plat::utf16_to_utf8(row.name) : "null") << " kind " << row.kind;
    Record r{};
    EXPECT_EQ(read(u"MEMO", r), STP_NOT_FOUND) << "reads compare exactly";
}

TEST_F(StpStore, ReadFallsBackToTheBuiltIns)
{
    Record r{}, expected{};
    ASSERT_EQ(STP_ReadStamp(printer(), nullptr, r.data(), FALSE, context()), STP_OK);
    ASSERT_TRUE(STP_LoadBuiltInStamp(expected.data(), &StpDefaultStamp));
    EXPECT_EQ(r, expected) << "no name: the default stamp";
    EXPECT_EQ(textAt(r.data(), STP_OFF_NAME, 33), u"Sample");

    ASSERT_EQ(write(makeStamp(u"Memo")), STP_OK);
    ASSERT_EQ(read(u"Memo", r, TRUE), STP_OK);
    EXPECT_EQ(r, expected) << "built-ins only: an unknown name gives the default stamp";
    ASSERT_EQ(read(u"Urgent", r, TRUE), STP_OK);
    ASSERT_TRUE(STP_LoadBuiltInStamp(expected.data(), &StpBuiltInStamps[3]));
    EXPECT_EQ(r, expected);

    /* A store that cannot be opened: the built-ins answer, other names do not. */
    Record untouched;
    untouched.fill(0xAB);
    r = untouched;
    EXPECT_EQ(STP_ReadStamp(printer(), u"Memo", r.data(), FALSE, nullptr), STP_NO_STORE);
    EXPECT_EQ(r, untouched);
    ASSERT_EQ(STP_ReadStamp(printer(), u"Urgent", r.data(), FALSE, nullptr), STP_OK);
    EXPECT_EQ(r, expected);
    plat::registry_fail_after(1);
    EXPECT_EQ(read(u"Memo", r), STP_NO_STORE) << "the store's key cannot be opened";
}

TEST_F(StpStore, ShortStoredValuesAreReadAsFarAsTheyGo)
{
    ASSERT_EQ(count(), 6u);
    Record full = makeStamp(u"Short");
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, stampsKey(), u"Short", REG_BINARY, full.data(), 100));
    Record r;
    r.fill(0xCD);
    ASSERT_EQ(read(u"Short", r), STP_OK);
    Record expected{};
    std::copy(full.begin(), full.begin() + 100, expected.begin());
    EXPECT_EQ(r, expected) << "the record behind the value's end is zero";

    /* A name filling its whole field without a terminator is read as its 33 characters. */
    Record noEnd{};
    const std::u16string name33(33, u'N');
    for (size_t i = 0; i < 33; ++i)
        plat::store<WCHAR>(noEnd.data() + 2 * i, name33[i]);
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, stampsKey(), u"NoEnd", REG_BINARY, noEnd.data(), 66));
    ASSERT_EQ(read(name33, r), STP_OK);
    EXPECT_EQ(STP_Exists(printer(), name33.c_str(), context()), STP_OK);
}

TEST_F(StpStore, ListNamesSizesAndFallBack)
{
    ASSERT_EQ(write(makeStamp(u"Memo")), STP_OK);
    const Record nameless{};
    ASSERT_TRUE(plat::registry_seed(HKEY_CURRENT_USER, stampsKey(), u"Nameless", REG_BINARY, nameless.data(),
                                    STP_RECORD_SIZE)); /* not listed: it would end the list */
    std::u16string all;
    for (const std::u16string &n : kBuiltInNames)
        all += n + u'\0';
    all += u"Memo";
    all += u'\0';
    all += u'\0';
    const DWORD needed = DWORD(all.size() * 2);

    DWORD size = 0, n = 0;
    EXPECT_EQ(STP_ListNames(printer(), nullptr, &n, &size, context()), STP_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, needed);
    std::vector<WCHAR> buffer(all.size(), 0x7777);
    size = needed;
    ASSERT_EQ(STP_ListNames(printer(), buffer.data(), &n, &size, context()), STP_OK);
    EXPECT_EQ(std::u16string(buffer.begin(), buffer.end()), all);
    EXPECT_EQ(n, 7u);

    /* Room for the first name only (and the list's end). */
    std::vector<WCHAR> small(16, 0x7777);
    size = 16 * 2;
    EXPECT_EQ(STP_ListNames(printer(), small.data(), &n, &size, context()), STP_BUFFER_TOO_SMALL);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(std::u16string(small.data(), 14), std::u16string(u"Confidential\0\0", 14));
    EXPECT_EQ(STP_ListNames(printer(), small.data(), &n, nullptr, context()), STP_BAD_ARGUMENT);

    /* No store: the built-in names. */
    std::vector<WCHAR> builtIns(200, 0);
    size = 400;
    ASSERT_EQ(STP_ListNames(printer(), builtIns.data(), &n, &size, nullptr), STP_OK);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(std::u16string(builtIns.data(), 12), u"Confidential");
}

TEST_F(StpStore, DeleteAndExists)
{
    ASSERT_EQ(write(makeStamp(u"Memo")), STP_OK);
    EXPECT_EQ(STP_Exists(printer(), u"Memo", context()), STP_OK);
    ASSERT_EQ(STP_DeleteStamp(printer(), u"Memo", context()), STP_OK);
    EXPECT_EQ(STP_Exists(printer(), u"Memo", context()), STP_NOT_FOUND);
    EXPECT_EQ(STP_DeleteStamp(printer(), u"Memo", context()), STP_NOT_FOUND);
    EXPECT_EQ(count(), 6u);
    EXPECT_EQ(STP_DeleteStamp(printer(), u"Memo", nullptr), STP_NO_STORE);
    EXPECT_EQ(STP_Exists(printer(), u"Memo", nullptr), STP_NO_STORE);
}

TEST_F(StpStore, ComparisonIgnoresQualityAndTheTrailingNumbers)
{
    Record stored = makeStamp(u"Memo");
    ASSERT_EQ(write(stored), STP_OK);
    Record r = stored;
    r[STP_OFF_FONT + STP_LF_QUALITY] = 5;
    plat::store<WORD>(r.data() + STP_OFF_NUMBER, 7);
    plat::store<WORD>(r.data() + STP_OFF_USER_FLAG, 0);
    r[400] = 1; /* the zero tail */
    EXPECT_EQ(STP_IsUnchanged(printer(), r.data(), context()), STP_OK);

    struct Change {
        DWORD offset;
        BYTE value;
    };
    const Change changes[] = {
        {STP_OFF_TEXT, 'X'},   {STP_OFF_COLOR, 1},     {STP_OFF_300 + 1, 1},
        {STP_OFF_1287, 1},     {STP_OFF_302, 9},       {STP_OFF_303 + 1, 9},
        {STP_OFF_1288 + 3, 1}, {STP_OFF_FONT + STP_LF_WIDTH, 3},
        {STP_OFF_FONT + STP_LF_CHARSET, 128}, {STP_OFF_FONT + STP_LF_PITCHANDFAMILY, 2},
        {STP_OFF_FONT + STP_LF_FACENAME, 'T'},
    };
    for (const Change &c : changes) {
        Record d = stored;
        d[c.offset] = c.value;
        EXPECT_EQ(STP_IsUnchanged(printer(), d.data(), context()), STP_DIFFERS) << "offset " << c.offset;
    }
    Record other = makeStamp(u"Unknown");
    EXPECT_EQ(STP_IsUnchanged(printer(), other.data(), context()), STP_NOT_STORED);
}

TEST_F(StpStore, FailedCreationIsUndone)
{
    const std::u16string others = userKey(printer(), u"Stamps\\Others");
    struct Row {
        unsigned failAt; /* 1 "Stamps", 2 "Others", 3 the version, 4.. the stamps */
        int expected;
    };
    const Row rows[] = {{1, STP_BAD_ARGUMENT}, {2, STP_BAD_ARGUMENT}, {3, STP_WRITE_FAILED}, {6, STP_WRITE_FAILED}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.failAt);
        HKEY key = reinterpret_cast<HKEY>(1);
        plat::registry_fail_after(row.failAt);
        EXPECT_EQ(STP_CreateDefaultStore(&key, printer(), context()), row.expected);
        plat::registry_fail_after(0);
        EXPECT_EQ(key, nullptr);
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, stampsKey()));
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, others));
    }
    HKEY key = nullptr;
    ASSERT_EQ(STP_CreateDefaultStore(&key, printer(), context()), STP_OK);
    RegCloseKey(key);
    EXPECT_EQ(count(), 6u);
}

TEST_F(StpStore, HklmKeyNames)
{
    WCHAR name[PRN_KEY_NAME_CHARS];
    ASSERT_EQ(STP_GetHklmKeyName(0, context(), name, PRN_KEY_NAME_CHARS), STP_OK);
    EXPECT_EQ(std::u16string(name), u"Tarvel\\CX1500Stamps");
    ASSERT_EQ(STP_GetHklmKeyName(1, context(), name, PRN_KEY_NAME_CHARS), STP_OK);
    EXPECT_EQ(std::u16string(name), u"Tarvel\\CX1500Stamps\\Others");
    EXPECT_EQ(STP_GetHklmKeyName(2, context(), name, PRN_KEY_NAME_CHARS), STP_BAD_ARGUMENT);
    EXPECT_EQ(STP_GetHklmKeyName(0, context(), name, 10), STP_BAD_ARGUMENT);
    EXPECT_EQ(name[0], 0);
    EXPECT_EQ(STP_GetHklmKeyName(0, nullptr, name, PRN_KEY_NAME_CHARS), STP_BAD_ARGUMENT);
}

} // namespace
