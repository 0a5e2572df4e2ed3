/*
 * Tests of the PrinterData record: the exported question for it, loading
 * (a current record as stored, the defaults when nothing usable is stored,
 * an ordinary user), the user's fields moved between the record and the
 * user's key, the update and lift of older records field by field (records
 * of older drivers written out byte by byte), stored records shorter or
 * longer than they say, the printer-wide copy without user fields, and the
 * driver's directory.
 */
#include "test_upg_support.h"
#include "usi_store.h"

#include <tarvel/model_data/cfg_model.h>

#include <plat/spooler.h>

using namespace upg_test;

namespace {

constexpr char16_t kKindPrinter[] = u"Tarvel Kind";

class PrinterDataUpgrade : public UpgradeTest {
protected:
    /* The record as a 20482 driver would have stored it for `context`'s model: its defaults, older versions. */
    std::vector<BYTE> record20482(ModelContext *context)
    {
        std::vector<BYTE> r = defaultRecord(context);
        set(nullptr, r.data(), 8203, 4000);
        set(nullptr, r.data(), 8204, 20482);
        return r;
    }

    /* The printer's record as an ordinary user loads it, who may not store an identifier. */
    std::vector<BYTE> loadAsOrdinaryUser()
    {
        std::vector<BYTE> loaded(6148);
        plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
        plat::registry_set_admin(false);
        {
            Printer mine(kPrinter, PRINTER_ACCESS_USE);
            EXPECT_TRUE(mine.ok);
            Printer refused(kPrinter, PRINTER_ALL_ACCESS);
            EXPECT_FALSE(refused.ok) << "the stand-in refuses full access to an ordinary user";
            EXPECT_TRUE(UPG_LoadPrinterData(mine, loaded.data(), context()));
            BYTE id[16];
            EXPECT_FALSE(REG_ReadPrnId(mine, id)) << "no identifier stored";
        }
        plat::spool_set_current_user_rights(plat::SpoolUser::Administrator);
        plat::registry_set_admin(true);
        return loaded;
    }
};

/* The first bytes of an older record, zero behind: its size, driver and record version, and model kind. */
std::vector<BYTE> oldRecord(WORD bytes, WORD driver, WORD version, WORD kind)
{
    std::vector<BYTE> r(bytes, 0);
    plat::store_u16(r.data(), 0, bytes);
    plat::store_u16(r.data(), 2, driver);
    plat::store_u16(r.data(), 4, version);
    plat::store_u16(r.data(), 1188, kind); /* 5137 */
    return r;
}

} // namespace

TEST_F(PrinterDataUpgrade, TheExportedQuestionForTheRecord)
{
    DWORD size = 0;
    EXPECT_FALSE(GetUpgradedPrinterData(printer(), nullptr, nullptr));
    EXPECT_TRUE(GetUpgradedPrinterData(printer(), nullptr, &size));
    EXPECT_EQ(size, 6148u);
    size = 5;
    EXPECT_FALSE(GetUpgradedPrinterData(printer(), nullptr, &size));

    std::vector<BYTE> buffer(6148, 0xAB);
    size = 6147;
    EXPECT_FALSE(GetUpgradedPrinterData(printer(), buffer.data(), &size));
    EXPECT_EQ(buffer, std::vector<BYTE>(6148, 0xAB)) << "one byte short: the buffer is left alone";

    size = 6148;
    ASSERT_TRUE(GetUpgradedPrinterData(printer(), buffer.data(), &size));
    EXPECT_EQ(buffer, defaultRecord()) << "nothing stored: the defaults";
}

TEST_F(PrinterDataUpgrade, ACurrentRecordIsLoadedByteForByteWhateverItsDriverVersion)
{
    std::vector<BYTE> stored = defaultRecord();
    set(nullptr, stored.data(), 8204, 20000);
    set(nullptr, stored.data(), 4365, 1);
    set(nullptr, stored.data(), 5127, 5); /* a rule would change it: none runs */
    /* as the printer-wide copy always is: the user fields at their defaults */
    BYTE user[USI_RECORD_SIZE];
    USI_SetDefaults(FALSE, user);
    ASSERT_TRUE(USI_WriteToSettings(stored.data(), user, 0));
    storeRecord(printer(), stored);

    std::vector<BYTE> loaded(6148);
    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    EXPECT_EQ(loaded, stored);
}

TEST_F(PrinterDataUpgrade, AnOrdinaryUserLoadsThroughHisOwnHandleAndStoresNoIdentifier)
{
    std::vector<BYTE> stored = defaultRecord();
    set(nullptr, stored.data(), 4365, 1);
    storeRecord(printer(), stored);
    ASSERT_FALSE(REG_ReadPrnId(printer(), std::vector<BYTE>(16).data()));

    std::vector<BYTE> loaded = loadAsOrdinaryUser();
    EXPECT_EQ(get(nullptr, loaded.data(), 4365), 1u) << "the stored record, not the defaults";

    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    BYTE id[16];
    EXPECT_TRUE(REG_ReadPrnId(printer(), id)) << "an administrator's load makes the identifier";
}

TEST_F(PrinterDataUpgrade, AnOldPrinterWideRecordGivesItsUserFieldsToTheCurrentUserOnce)
{
    std::vector<BYTE> stored = defaultRecord();
    set(nullptr, stored.data(), 8204, 16388);
    setText(nullptr, stored.data(), 5150, u"Alice");
    storeRecord(printer(), stored);

    std::vector<BYTE> loaded(6148);
    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    std::vector<BYTE> usi = userValue(USI_VALUE_NAME);
    ASSERT_EQ(usi.size(), USI_RECORD_SIZE);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(usi.data() + 432)), u"Alice");

    /* The user's own fields now win over the record's. */
    plat::store_u16(usi.data(), 432, u'B');
    ASSERT_TRUE(REG_WriteValue(printer(), context(), usi.data(), DWORD(usi.size()), REG_BINARY, nullptr,
                               USI_VALUE_NAME));
    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    EXPECT_EQ(userValue(USI_VALUE_NAME), usi);
}

TEST_F(PrinterDataUpgrade, UpdateFrom20482FieldByField)
{
    KindPrinter k = kindPrinter(0x30, kKindPrinter);
    std::vector<BYTE> d = defaultRecord(k.model());
    std::vector<BYTE> s = record20482(k.model());
    set(nullptr, s.data(), 4364, 0);
    set(nullptr, s.data(), 4101, 1);
    set(nullptr, s.data(), 4104, 1);
    set(nullptr, s.data(), 4117, 0);
    set(nullptr, s.data(), 4355, 0);
    set(nullptr, s.data(), 4105, 1);
    set(nullptr, s.data(), 4106, 1);
    set(nullptr, s.data(), 4107, 0);
    set(nullptr, s.data(), 5127, 5);
    set(nullptr, s.data(), 5178, 3);
    set(nullptr, s.data(), 4129, get(nullptr, d.data(), 4129) ? 0 : 1);
    set(nullptr, s.data(), 5153, get(nullptr, d.data(), 5153) + 1);
    set(nullptr, s.data(), 4097, 1);
    setText(nullptr, s.data(), 8209, u"Stored text");
    set(nullptr, s.data(), 4365, 1);

    std::vector<BYTE> out(6148);
    ASSERT_EQ(UPG_ConvertPrinterData(s.data(), out.data(), k.model()), UPG_CONVERTED);
    struct Expect {
        WORD id;
        DWORD value;
    };
    const Expect expected[] = {
        {8202, 6148}, {8203, 4160}, {8204, 21048}, {5137, 0x30},
        {4364, get(nullptr, d.data(), 4364)},
        {4359, 1},                                  /* 4101 set, family 0x30 */
        {4355, 1},                                  /* option 2 of Memory {0, 1} */
        {4357, 2},                                  /* 4106 set, 4107 clear */
        {5163, 1}, {5127, get(nullptr, d.data(), 5127)}, {5178, 7},
        {4129, get(nullptr, d.data(), 4129)}, {5153, get(nullptr, d.data(), 5153)},
        {4362, 1},                                  /* 4097 set */
        {4365, 1},                                  /* no rule: as stored */
    };
    for (const Expect &e : expected)
        EXPECT_EQ(get(nullptr, out.data(), e.id), e.value) << e.id;
    EXPECT_EQ(text(nullptr, out.data(), 8213), u"Stored text");
}

TEST_F(PrinterDataUpgrade, UpdateRulesOfLaterDriversAndOfTheFamilies)
{
    struct Case {
        WORD kind;
        DWORD driver;
        DWORD mode5127;
        DWORD out4359, out5127, out5163, out4357;
    };
    const Case cases[] = {
        {0x20, 20482, 1, 4, 7, 0, 0},  {0x40, 20490, 6, 1, 6, 1, 0},  {0xA0, 20495, 1, 1, 7, 0, 0},
        {0x110, 20496, 1, 1, 1, 0, 0}, {0x190, 20496, 1, 2, 1, 0, 0}, {55, 20495, 1, 1, 7, 0, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << ", driver " << c.driver);
        const std::u16string name = u"Kind " + plat::utf8_to_utf16(std::to_string(c.kind));
        KindPrinter k = kindPrinter(c.kind, name.c_str());
        std::vector<BYTE> s = record20482(k.model());
        set(nullptr, s.data(), 8204, c.driver);
        set(nullptr, s.data(), 4101, 1);
        set(nullptr, s.data(), 4359, 0);
        set(nullptr, s.data(), 5127, c.mode5127);
        set(nullptr, s.data(), 4357, 9);
        set(nullptr, s.data(), 5163, 0);
        std::vector<BYTE> out(6148);
        ASSERT_EQ(UPG_ConvertPrinterData(s.data(), out.data(), k.model()), UPG_CONVERTED);
        EXPECT_EQ(get(nullptr, out.data(), 4359), c.out4359);
        EXPECT_EQ(get(nullptr, out.data(), 5127), c.out5127);
        EXPECT_EQ(get(nullptr, out.data(), 5163), c.out5163);
        EXPECT_EQ(get(nullptr, out.data(), 4357), c.kind == 55 ? c.out4357 : 9u) << "only family 0x30";
    }
}

TEST_F(PrinterDataUpgrade, AnotherFamilyOrANewerLayoutGivesTheDefaults)
{
    KindPrinter k = kindPrinter(0x30, kKindPrinter);
    std::vector<BYTE> d = defaultRecord(k.model());
    std::vector<BYTE> out(6148);

    std::vector<BYTE> other = record20482(k.model());
    set(nullptr, other.data(), 5137, 0x20);
    EXPECT_EQ(UPG_ConvertPrinterData(other.data(), out.data(), k.model()), UPG_DEFAULTS);
    EXPECT_EQ(out, d);

    std::vector<BYTE> newer = defaultRecord(k.model());
    set(nullptr, newer.data(), 8203, 4161);
    EXPECT_EQ(UPG_ConvertPrinterData(newer.data(), out.data(), k.model()), UPG_DEFAULTS);
    EXPECT_EQ(out, d);

    std::vector<BYTE> sameLayout = defaultRecord(k.model());
    set(nullptr, sameLayout.data(), 4365, 1);
    EXPECT_EQ(UPG_ConvertPrinterData(sameLayout.data(), out.data(), k.model()), UPG_COPIED);
    EXPECT_EQ(out, sameLayout);
    set(nullptr, sameLayout.data(), 8204, 21047);
    EXPECT_EQ(UPG_ConvertPrinterData(sameLayout.data(), out.data(), k.model()), UPG_DEFAULTS);
    EXPECT_EQ(out, d);

    /* 4101 set for a family without an output-bin value: the update fails */
    std::vector<BYTE> unknown = record20482(context());
    set(nullptr, unknown.data(), 4101, 1);
    EXPECT_EQ(UPG_ConvertPrinterData(unknown.data(), out.data(), context()), UPG_DEFAULTS);
    EXPECT_EQ(out, defaultRecord());
    set(nullptr, unknown.data(), 4101, 0);
    EXPECT_EQ(UPG_ConvertPrinterData(unknown.data(), out.data(), context()), UPG_CONVERTED);
}

TEST_F(PrinterDataUpgrade, LiftOfA16388RecordWrittenByHand)
{
    KindPrinter k = kindPrinter(0x10, kKindPrinter);
    std::vector<BYTE> d = defaultRecord(k.model());
    /* 2,000 bytes: size, driver and record version, the old custom papers, mode and kind */
    std::vector<BYTE> old = oldRecord(2000, 16388, 1000, 0x10);
    plat::store_u16(old.data(), 16, 1); /* 5127 */
    const char16_t *names[] = {u"First", u"Second", u"Third", u"Fourth", u"Fifth"};
    for (int i = 0; i < 5; ++i) {
        plat::store_u16(old.data(), 896 + 2 * i, WORD(2100 + i));
        plat::store_u16(old.data(), 906 + 2 * i, WORD(2970 + i));
        putText(old, 916 + 30 * i, names[i]);
    }
    plat::store_u16(old.data(), 1110, 77); /* 5132, copied as it lies */

    std::vector<BYTE> padded(old);
    padded.resize(6148, 0);
    std::vector<BYTE> out(6148);
    ASSERT_EQ(UPG_ConvertPrinterData(padded.data(), out.data(), k.model()), UPG_CONVERTED);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(get(nullptr, out.data(), WORD(5889 + i)), DWORD(2100 + i)) << i;
        EXPECT_EQ(get(nullptr, out.data(), WORD(5909 + i)), DWORD(2970 + i)) << i;
        EXPECT_EQ(text(nullptr, out.data(), WORD(5929 + i)), names[i]) << i;
    }
    for (WORD i = 5; i < 10; ++i)
        EXPECT_EQ(get(nullptr, out.data(), WORD(5889 + i)), get(nullptr, d.data(), WORD(5889 + i))) << i;
    const struct {
        WORD id;
        DWORD value;
    } expected[] = {
        {8202, 6148}, {8203, 4160}, {8204, 21048}, {5137, 0x10}, {5132, 77},
        {5127, 7}, {5163, 0},                            /* 1 becomes 7 */
        {8206, get(nullptr, d.data(), 8206)},            /* reset */
        {4362, 0},                                       /* 4097 clear */
        {5178, get(nullptr, d.data(), 5178)},            /* past the stored bytes: the default */
    };
    for (const auto &e : expected)
        EXPECT_EQ(get(nullptr, out.data(), e.id), e.value) << e.id;
}

TEST_F(PrinterDataUpgrade, LiftOfAVersion256RecordAndOfA20000Record)
{
    KindPrinter k = kindPrinter(0x10, kKindPrinter);
    std::vector<BYTE> old(1200, 0);
    plat::store_u16(old.data(), 0, 1200);
    plat::store_u16(old.data(), 2, 256);
    plat::store_u16(old.data(), 4, 100);
    plat::store_u16(old.data(), 888, 1); /* 4365: duplex unit kind 1 */
    old.resize(6148, 0);
    std::vector<BYTE> out(6148);
    ASSERT_EQ(UPG_ConvertPrinterData(old.data(), out.data(), k.model()), UPG_CONVERTED);
    EXPECT_EQ(get(nullptr, out.data(), 4103), 1u) << "the model's option bit of 4103 is set";
    EXPECT_EQ(get(nullptr, out.data(), 8205), 0x01010702u);
    EXPECT_EQ(get(nullptr, out.data(), 5137), 0x10u) << "a record this old takes the model's kind";

    /* Driver 20000: the first 1,608 bytes and ten papers of 34 bytes from byte 1,608 */
    std::vector<BYTE> mid(1960, 0);
    plat::store_u16(mid.data(), 0, 1960);
    plat::store_u16(mid.data(), 2, 20000);
    plat::store_u16(mid.data(), 4, 3000);
    plat::store_u16(mid.data(), 888, 0);
    plat::store_u16(mid.data(), 1188, 0x10);
    plat::store_u16(mid.data(), 1110, 55); /* 5132 */
    for (int i = 0; i < 10; ++i) {
        plat::store_u16(mid.data(), 1608 + 34 * i, WORD(1000 + i));
        plat::store_u16(mid.data(), 1610 + 34 * i, WORD(1500 + i));
        putText(mid, 1612 + 34 * i, i == 9 ? u"Last paper" : u"Paper");
    }
    mid.resize(6148, 0);
    ASSERT_EQ(UPG_ConvertPrinterData(mid.data(), out.data(), k.model()), UPG_CONVERTED);
    EXPECT_EQ(get(nullptr, out.data(), 5132), 55u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(get(nullptr, out.data(), WORD(5889 + i)), DWORD(1000 + i));
        EXPECT_EQ(get(nullptr, out.data(), WORD(5909 + i)), DWORD(1500 + i));
    }
    EXPECT_EQ(text(nullptr, out.data(), 5938), u"Last paper");
    EXPECT_EQ(get(nullptr, out.data(), 8204), 21048u);
}

TEST_F(PrinterDataUpgrade, StoredRecordsShorterOrLongerThanTheySayAreNeverReadPast)
{
    std::vector<BYTE> d = defaultRecord();
    std::vector<BYTE> loaded(6148);

    /* An update that says 6,148 bytes but stores 1,000: not all of it is there, so the defaults. */
    std::vector<BYTE> shortRecord = record20482(context());
    set(nullptr, shortRecord.data(), 4365, 1);
    shortRecord.resize(1000);
    storeRecord(printer(), shortRecord);
    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    EXPECT_EQ(loaded, d);

    /* One of 7,000 bytes does not fit the current record: the defaults. */
    std::vector<BYTE> longRecord = record20482(context());
    set(nullptr, longRecord.data(), 4365, 1);
    longRecord.resize(7000, 0x11);
    plat::store_u16(longRecord.data(), 0, 7000);
    storeRecord(printer(), longRecord);
    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    EXPECT_EQ(loaded, d);

    /* A lifted record takes what is stored and no more; papers past its end keep their defaults. */
    std::vector<BYTE> old(950, 0);
    plat::store_u16(old.data(), 0, 6148);
    plat::store_u16(old.data(), 2, 16000);
    plat::store_u16(old.data(), 4, 1000);
    plat::store_u16(old.data(), 896, 1234);
    putText(old, 916, u"Kept");
    storeRecord(printer(), old);
    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    EXPECT_EQ(get(nullptr, loaded.data(), 5889), 1234u);
    EXPECT_EQ(text(nullptr, loaded.data(), 5929), u"Kept");
    EXPECT_EQ(text(nullptr, loaded.data(), 5930), text(nullptr, d.data(), 5930))
        << "the second name lies past the stored bytes";
}

TEST_F(PrinterDataUpgrade, TheSharedCopyNeverHoldsTheUsersFields)
{
    std::vector<BYTE> record = defaultRecord();
    setText(nullptr, record.data(), 5150, u"Alice");
    set(nullptr, record.data(), 4365, 1);
    EXPECT_FALSE(UPG_SaveSharedPrinterData(printer(), record.data(), context(), FALSE));
    EXPECT_EQ(printerValue(printer(), u"PrinterDataSize"), std::vector<BYTE>()) << "flag 0 stores no record";
    EXPECT_EQ(printerValue(printer(), UPG_USER_MODE_DRIVER_VALUE).size(), sizeof(u"tarvelgr.dll"));

    ASSERT_TRUE(UPG_SaveSharedPrinterData(printer(), record.data(), context(), TRUE));
    EXPECT_EQ(text(nullptr, record.data(), 5150), u"Alice") << "the caller keeps his own fields";
    std::vector<BYTE> shared(6148);
    DWORD size = 6148;
    ASSERT_TRUE(PDT_ReadNamedBlob(printer(), PDT_BLOB_PRINTERDATA, shared.data(), &size));
    EXPECT_EQ(size, 6148u);
    EXPECT_NE(text(nullptr, shared.data(), 5150), u"Alice");
    EXPECT_EQ(get(nullptr, shared.data(), 4365), 1u);
}

TEST_F(PrinterDataUpgrade, DriverDirectoryAndHelperPrograms)
{
    LPWSTR dir = UPG_GetDriverDirectory(printer());
    ASSERT_NE(dir, nullptr);
    std::u16string d(dir);
    GlobalFree(dir);
    EXPECT_EQ(d.back(), u'\\');
    EXPECT_EQ(d.find(u"tarvelgr"), std::u16string::npos);

    LPWSTR helper = UPG_GetHelperProgramPath(printer(), 24);
    ASSERT_NE(helper, nullptr);
    EXPECT_EQ(std::u16string(helper), d + u"tarveljc.exe");
    GlobalFree(helper);
    EXPECT_EQ(UPG_GetDriverDirectory(nullptr), nullptr);
    EXPECT_EQ(UPG_StubFirstUseHook(), 0);
    EXPECT_EQ(UPG_StubReturnOne(), 1);
}

TEST_F(PrinterDataUpgrade, EachRuleStopsAtTheLastDriverVersionItNames)
{
    KindPrinter k = kindPrinter(0x30, kKindPrinter);
    std::vector<BYTE> d = defaultRecord(k.model());
    struct Case {
        DWORD driver;
        DWORD out4359, out4355, out4357, out5163, out4362;
        const char16_t *out8213;
    };
    /* 4101 set: 4359 1 below 20497; 4104 set, 4117 clear: option 2 of 4355 (1) up to 20484; only 4105
       set: 4357 1 up to 20495; 5127 = 6: 5163 1 up to 20495; 4097 set: 4362 1 up to 20543; 8213 takes
       8209 up to 20799 */
    const Case cases[] = {
        {20484, 1, 1, 1, 1, 1, u"New"}, {20485, 1, 0, 1, 1, 1, u"New"}, {20495, 1, 0, 1, 1, 1, u"New"},
        {20496, 1, 0, 9, 0, 1, u"New"}, {20497, 0, 0, 9, 0, 1, u"New"}, {20543, 0, 0, 9, 0, 1, u"New"},
        {20544, 0, 0, 9, 0, 0, u"New"}, {20799, 0, 0, 9, 0, 0, u"New"}, {20800, 0, 0, 9, 0, 0, u"Old"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "driver " << c.driver);
        std::vector<BYTE> s = record20482(k.model());
        set(nullptr, s.data(), 8204, c.driver);
        const std::pair<WORD, DWORD> values[] = {
            {4101, 1}, {4359, 0}, {4104, 1}, {4117, 0}, {4355, 0}, {4105, 1}, {4106, 0}, {4107, 0},
            {4357, 9}, {5127, 6}, {5163, 0}, {4097, 1}, {4362, 0}, {4364, 0},
            {4129, get(nullptr, d.data(), 4129) ? 0u : 1u}, {5153, get(nullptr, d.data(), 5153) + 1},
        };
        for (const auto &[id, v] : values)
            set(nullptr, s.data(), id, v);
        setText(nullptr, s.data(), 8209, u"New");
        setText(nullptr, s.data(), 8213, u"Old");
        std::vector<BYTE> out(6148);
        ASSERT_EQ(UPG_ConvertPrinterData(s.data(), out.data(), k.model()), UPG_CONVERTED);
        EXPECT_EQ(get(nullptr, out.data(), 4359), c.out4359);
        EXPECT_EQ(get(nullptr, out.data(), 4355), c.out4355);
        EXPECT_EQ(get(nullptr, out.data(), 4357), c.out4357);
        EXPECT_EQ(get(nullptr, out.data(), 5163), c.out5163);
        EXPECT_EQ(get(nullptr, out.data(), 5127), 6u) << "only 1 and 5 change";
        EXPECT_EQ(get(nullptr, out.data(), 4362), c.out4362);
        EXPECT_EQ(text(nullptr, out.data(), 8213), c.out8213);
        EXPECT_EQ(get(nullptr, out.data(), 4364), 0u) << "reset only for driver 20482";
        EXPECT_EQ(get(nullptr, out.data(), 4129), get(nullptr, d.data(), 4129)) << "reset for every driver";
        EXPECT_EQ(get(nullptr, out.data(), 5153), get(nullptr, d.data(), 5153)) << "reset for every driver";
    }
}

TEST_F(PrinterDataUpgrade, TheOptionOf4355ByTheFlagsAndKind55)
{
    /* 4355's options are {0, 1}: option n gives n - 1, and there is no option 3 (0) */
    struct Case {
        WORD kind;
        DWORD set4104, set4117, out4355;
    };
    const Case cases[] = {
        {0x30, 0, 0, 0}, {0x30, 0, 1, 1}, {0x30, 1, 0, 1}, {0x30, 1, 1, 0},
        {55, 1, 0, 0},   {55, 1, 1, 1},   {55, 0, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << ", 4104 " << c.set4104 << ", 4117 " << c.set4117);
        const std::u16string name = u"Kind " + plat::utf8_to_utf16(std::to_string(&c - cases));
        KindPrinter k = kindPrinter(c.kind, name.c_str());
        std::vector<BYTE> s = record20482(k.model());
        set(nullptr, s.data(), 4101, 0);
        set(nullptr, s.data(), 4104, c.set4104);
        set(nullptr, s.data(), 4117, c.set4117);
        set(nullptr, s.data(), 4355, 1 - c.out4355);
        std::vector<BYTE> out(6148);
        ASSERT_EQ(UPG_ConvertPrinterData(s.data(), out.data(), k.model()), UPG_CONVERTED);
        EXPECT_EQ(get(nullptr, out.data(), 4355), c.out4355);
    }
}

TEST_F(PrinterDataUpgrade, RecordsOfDriversThatStoredAnotherKindTakeTheModelsKind)
{
    struct Case {
        WORD kind;     /* the model's */
        DWORD driver;  /* the stored record's, which says kind 0x20 */
        int result;
    };
    const Case cases[] = {
        {115, 16389, UPG_CONVERTED},   /* lifted, kind 115 */
        {115, 16390, UPG_DEFAULTS},
        {0x30, 16389, UPG_DEFAULTS},
        {0x30, 16386, UPG_CONVERTED},  /* below 16387 every kind is the model's */
        {0x351, 0x5100, UPG_CONVERTED}, /* updated, family 0x350 */
        {0x351, 0x5101, UPG_DEFAULTS},
        {0x30, 0x5100, UPG_DEFAULTS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << ", driver " << c.driver);
        const std::u16string name = u"Kind " + plat::utf8_to_utf16(std::to_string(&c - cases));
        KindPrinter k = kindPrinter(c.kind, name.c_str());
        std::vector<BYTE> d = defaultRecord(k.model());
        std::vector<BYTE> s = record20482(k.model());
        set(nullptr, s.data(), 8204, c.driver);
        set(nullptr, s.data(), 5137, 0x20);
        set(nullptr, s.data(), 4101, 0);
        set(nullptr, s.data(), 4365, 1);
        std::vector<BYTE> out(6148);
        ASSERT_EQ(UPG_ConvertPrinterData(s.data(), out.data(), k.model()), c.result);
        EXPECT_EQ(get(nullptr, out.data(), 5137), c.kind);
        EXPECT_EQ(get(nullptr, out.data(), 4365), c.result == UPG_CONVERTED ? 1u : get(nullptr, d.data(), 4365));
    }
}

TEST_F(PrinterDataUpgrade, AStoredRecordOfTenPapersCutShortKeepsTheDefaultsOfThePapersItLacks)
{
    KindPrinter k = kindPrinter(0x10, kKindPrinter);
    std::vector<BYTE> d = defaultRecord(k.model());
    /* Driver 20000 stored 1,700 bytes: papers 0 and 1 whole, paper 2 without its name, none after. */
    std::vector<BYTE> old = oldRecord(1700, 20000, 3000, 0x10);
    for (int i = 0; i < 3; ++i) {
        plat::store_u16(old.data(), 1608 + 34 * i, WORD(700 + i));
        plat::store_u16(old.data(), 1610 + 34 * i, WORD(900 + i));
    }
    putText(old, 1612, u"Zero");
    putText(old, 1646, u"One");
    storeRecord(k.handle(), old);

    std::vector<BYTE> loaded(6148);
    ASSERT_TRUE(UPG_LoadPrinterData(k.handle(), loaded.data(), k.model()));
    EXPECT_EQ(get(nullptr, loaded.data(), 8204), 21048u) << "converted, not the defaults";
    for (WORD i = 0; i < 3; ++i) {
        EXPECT_EQ(get(nullptr, loaded.data(), WORD(5889 + i)), 700u + i) << i;
        EXPECT_EQ(get(nullptr, loaded.data(), WORD(5909 + i)), 900u + i) << i;
    }
    EXPECT_EQ(text(nullptr, loaded.data(), 5929), u"Zero");
    EXPECT_EQ(text(nullptr, loaded.data(), 5930), u"One");
    EXPECT_EQ(text(nullptr, loaded.data(), 5931), text(nullptr, d.data(), 5931));
    for (WORD i = 3; i < 10; ++i) {
        EXPECT_EQ(get(nullptr, loaded.data(), WORD(5889 + i)), get(nullptr, d.data(), WORD(5889 + i))) << i;
        EXPECT_EQ(get(nullptr, loaded.data(), WORD(5909 + i)), get(nullptr, d.data(), WORD(5909 + i))) << i;
    }

    /* A blob of a few bytes is no record to lift from, and is never read past. */
    storeRecord(k.handle(), std::vector<BYTE>{0x10, 0x00, 0x01});
    ASSERT_TRUE(UPG_LoadPrinterData(k.handle(), loaded.data(), k.model()));
}

TEST_F(PrinterDataUpgrade, TheDriverDirectoryEndsAtTheBackslashBeforeTheFirstDll)
{
    const std::u16string base = plat::spool_driver_dir() + u"\\";
    struct Case {
        const char16_t *file;
        const char16_t *directory; /* behind the driver directory; null: none */
    };
    const Case cases[] = {
        {u"tarvelgr.dll", u""},
        {u"sub\\Tarvelgr.DlL", u"sub\\"},
        {u"a\\b.dll\\c.dll", u"a\\"},        /* the first ".DLL" */
        {u"a\\b.dllx\\c.exe", u"a\\"},       /* ".DLL" need not end the path */
        {u"tarvelgr.exe", nullptr},
        {u"a\\b.dl", nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.file));
        const std::u16string name = u"Path " + plat::utf8_to_utf16(std::to_string(&c - cases));
        plat::SpoolDriver d;
        d.name = u"Driver of " + name;
        d.driver_file = c.file;
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = name;
        p.driver = d.name;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
        Printer printer(name.c_str());
        ASSERT_TRUE(printer.ok);
        LPWSTR dir = UPG_GetDriverDirectory(printer);
        if (!c.directory) {
            EXPECT_EQ(dir, nullptr);
            continue;
        }
        ASSERT_NE(dir, nullptr);
        EXPECT_EQ(std::u16string(dir), base + c.directory);
        GlobalFree(dir);
    }
}

TEST_F(PrinterDataUpgrade, AnOrdinaryUserLoadsAnOldPrinterWideRecordOfAPrinterWithoutIdentifier)
{
    /* Without an identifier the user's key has no name: the record keeps its user fields. */
    std::vector<BYTE> stored = defaultRecord();
    set(nullptr, stored.data(), 8204, 16388);
    set(nullptr, stored.data(), 8203, 4000);
    set(nullptr, stored.data(), 4365, 1);
    setText(nullptr, stored.data(), 5150, u"Alice");
    storeRecord(printer(), stored);

    std::vector<BYTE> loaded = loadAsOrdinaryUser();
    EXPECT_EQ(get(nullptr, loaded.data(), 4365), 1u) << "the stored record, not the defaults";
    EXPECT_EQ(get(nullptr, loaded.data(), 8204), 21048u);
    EXPECT_EQ(text(nullptr, loaded.data(), 5150), u"Alice");

    /* An administrator's load names the key and moves the fields into it. */
    ASSERT_TRUE(UPG_LoadPrinterData(printer(), loaded.data(), context()));
    std::vector<BYTE> usi = userValue(USI_VALUE_NAME);
    ASSERT_EQ(usi.size(), USI_RECORD_SIZE);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(usi.data() + 432)), u"Alice");
}
