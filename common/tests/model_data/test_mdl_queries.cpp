/*
 * The model context's queries on the standard models and their variants,
 * opened from printers installed on the machine.  Every expected answer is
 * worked out from models/standard_models.cpp: the features' default option
 * numbers and option values, the paper sizes of kPapers, the header entries
 * (entry 4 = 999, 5 = 2, 7 = 1, 23 = 0 or 3 for the fax sibling, 26 and 39
 * the capability words).  The user's country is set through the machine's
 * locale (en-GB, country 44, unless a test says otherwise).
 */
#include "test_mdl_support.h"

#include <standard_models.h>

#include <plat/sysinfo.h>

#include <cstring>

using namespace mdl_test;

namespace {

/* A value as the lookups take it: an 8-byte slot holding a little-endian number. */
struct Slot {
    BYTE bytes[8] = {};
    explicit Slot(DWORD v) { plat::store(bytes, v); }
    const void *get() const { return bytes; }
};

class MdlQueries : public MdlTest {
protected:
    void SetUp() override
    {
        MdlTest::SetUp();
        ASSERT_TRUE(plat::sysinfo_set_locale(0x0809)); /* en-GB: country 44, paper region 2 */
        ctx_ = openStandard("TARVEL1.DDD", "TARVEL1.DDC");
        ASSERT_NE(ctx_, nullptr);
    }
    void TearDown() override
    {
        if (ctx_) {
            EXPECT_TRUE(MDL_Close(ctx_));
        }
        MdlTest::TearDown();
    }
    ModelContext *ctx_ = nullptr;
};

/* The default of `id` as MDL_GetDefaultValue answers it, or the reason in `reason`. */
struct Answer {
    BOOL ok;
    WORD type;
    ULONG_PTR value;
    WORD reason;
};

Answer defaultOf(ModelContext *ctx, WORD id)
{
    Answer a{};
    a.reason = 99;
    a.ok = MDL_GetDefaultValue(ctx, id, &a.value, &a.type, &a.reason);
    return a;
}

/* The file's defaults of the standard colour printer in paper region 2 with country values 0. */
struct Default {
    WORD id;
    WORD type;
    DWORD value;
};

std::vector<Default> fileDefaults(DWORD format)
{
    const bool countryRules = format >= 0x1600; /* capability bits 32 and 33 live in entry 39 */
    return {
        {7, DDD_VT_SHORT, 1},          {8, DDD_VT_SHORT, 9},          {13, DDD_VT_SHORT, 7},
        {14, DDD_VT_ULONG, 0x02580258}, {16, DDD_VT_SHORT, 1},         {17, DDD_VT_SHORT, 1},
        {18, DDD_VT_SHORT, 1},         {23, DDD_VT_ULONG, 1},         {24, DDD_VT_ULONG, 1},
        {25, DDD_VT_ULONG, 1},         {262, DDD_VT_USHORT, 0},       {265, DDD_VT_USHORT, 7},
        {266, DDD_VT_USHORT, 1},       {270, DDD_VT_USHORT, 0},       {293, DDD_VT_USHORT, 0},
        {295, DDD_VT_USHORT, 1},       {296, DDD_VT_USHORT, 0x102},   {320, DDD_VT_USHORT, 0},
        {321, DDD_VT_USHORT, 0},       {334, DDD_VT_USHORT, 0},       {341, DDD_VT_USHORT, 0},
        {345, DDD_VT_USHORT, 0},       {388, DDD_VT_USHORT, 100},     {453, DDD_VT_USHORT, 0},
        {36888, DDD_VT_USHORT, 1},     {327, DDD_VT_USHORT, 8},       {1824, DDD_VT_USHORT, 9},
        {1883, DDD_VT_USHORT, 9},      {1804, DDD_VT_USHORT, 0},      {4363, DDD_VT_BYTE, 0},
        {4097, DDD_VT_FLAG, 0},        {4099, DDD_VT_FLAG, 0},        {4101, DDD_VT_FLAG, 0},
        {4103, DDD_VT_FLAG, 0},        {4125, DDD_VT_FLAG, 0},        {4355, DDD_VT_BYTE, 0},
        {4356, DDD_VT_BYTE, countryRules ? 0u : 2u},                  {4358, DDD_VT_BYTE, countryRules ? 0u : 1u},
        {4359, DDD_VT_BYTE, 0},
    };
}

TEST_F(MdlQueries, DefaultsOfEveryFeatureOfEveryStandardModel)
{
    for (const mw::Model &m : tarvel_models::standardModels()) {
        SCOPED_TRACE(m.fileName);
        Context ctx(openStandard(m.fileName, m.companionName));
        ASSERT_NE(ctx.ctx, nullptr);
        for (const Default &d : fileDefaults(m.formatVersion)) {
            SCOPED_TRACE(d.id);
            Answer a = defaultOf(ctx.ctx, d.id);
            EXPECT_TRUE(a.ok);
            EXPECT_EQ(a.reason, 0);
            EXPECT_EQ(a.type, d.type);
            EXPECT_EQ(a.value, d.value);
        }
    }
}

TEST_F(MdlQueries, DefaultsThatAreNotThere)
{
    struct Case {
        WORD id;
        WORD reason;
    } cases[] = {
        {1, MDL_REASON_FAIL},            /* the model name: only features have defaults */
        {259, MDL_REASON_FAIL},
        {DDD_ID_PAPER, MDL_REASON_FAIL}, /* papers are not features */
        {9999, MDL_REASON_NOT_IN_MODEL},
        {275, MDL_REASON_NOT_IN_MODEL},  /* document feature 274, not in this model */
        {4129, MDL_REASON_NOT_IN_MODEL}, /* a document feature; the model has none */
        {0, MDL_REASON_NOT_IN_MODEL},    /* record identifier 0 */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        Answer a = defaultOf(ctx_, c.id);
        EXPECT_FALSE(a.ok);
        EXPECT_EQ(a.reason, c.reason);
        EXPECT_EQ(a.value, 0u);
        EXPECT_EQ(a.type, 0);
    }
    ULONG_PTR v = 0;
    WORD t = 0, reason = 0;
    EXPECT_FALSE(MDL_GetDefaultValue(nullptr, 8, &v, &t, &reason));
    EXPECT_EQ(reason, MDL_REASON_FAIL);
    EXPECT_FALSE(MDL_GetDefaultValue(ctx_, 8, nullptr, &t, &reason));
}

/* The locale rules: paper region by country and the country values A and B. */
TEST_F(MdlQueries, LocaleRulesFollowTheUsersCountry)
{
    struct Case {
        const char *what;
        LCID locale; /* 0: the locale cannot be read */
        DWORD paper, second, margin, list, series, k16;
    } cases[] = {
        {"en-US, country 1", 0x0409, 1, 3, 1, 1, 4, 0},
        {"es-MX, country 52: A = 3 folded to 0", 0x080A, 1, 3, 1, 1, 0, 0},
        {"de-DE, country 49: the file's paper defaults", 0x0407, 9, 8, 9, 9, 0, 0},
        {"ja-JP, country 81", 0x0411, 9, 8, 9, 9, 1, 0},
        {"zh-CN, country 86: A = 2 folded to 1, B = 1", 0x0804, 9, 8, 9, 9, 1, 1},
        {"no locale: region 2, the file's country defaults", 0, 9, 8, 9, 9, 2, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        utl_ResetLocaleCachesForTest();
        if (c.locale) {
            ASSERT_TRUE(plat::sysinfo_set_locale(c.locale));
            plat::sysinfo_set_failure(plat::SysinfoCall::LocaleInfo, 0);
        } else {
            plat::sysinfo_set_failure(plat::SysinfoCall::LocaleInfo, ERROR_INVALID_PARAMETER);
        }
        EXPECT_EQ(defaultOf(ctx_, 8).value, c.paper);
        EXPECT_EQ(defaultOf(ctx_, 327).value, c.second);
        EXPECT_EQ(defaultOf(ctx_, 1824).value, c.margin);
        EXPECT_EQ(defaultOf(ctx_, 1883).value, c.list);
        EXPECT_EQ(defaultOf(ctx_, 4356).value, c.series);
        EXPECT_EQ(defaultOf(ctx_, 4358).value, c.k16);
        /* Settings without a rule keep the file's value. */
        EXPECT_EQ(defaultOf(ctx_, 7).value, 1u);
    }
    plat::sysinfo_set_failure(plat::SysinfoCall::LocaleInfo, 0);
}

/* The same rules on variants whose capability words switch them off. */
TEST_F(MdlQueries, LocaleRulesNeedTheModelsCapabilities)
{
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0804)); /* zh-CN: region 2, A = 2, B = 1 */
    mw::Model noFold = tarvel_models::colourPrinter(0x1600);
    noFold.fileName = "NOFOLD.DDD";
    noFold.companionName = "NOFOLD.DDC";
    noFold.main.entries[39] = mw::eU32s({(1u << 0) | (1u << 1), 0}); /* bits 32, 33 without 39 */
    Context fold(openWritten(noFold));
    ASSERT_NE(fold.ctx, nullptr);
    EXPECT_EQ(defaultOf(fold.ctx, 4356).value, 2u) << "A = 2 stands without the folding switch";
    EXPECT_EQ(defaultOf(fold.ctx, 4358).value, 1u);

    utl_ResetLocaleCachesForTest();
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0409)); /* en-US: region 1, A = 4 */
    mw::Model noRegion = tarvel_models::colourPrinter(0x1600);
    noRegion.fileName = "NOREGION.DDD";
    noRegion.companionName = "NOREGION.DDC";
    noRegion.main.entries[26] = mw::eU32(0x4 | 0x10000 | 0x40000 | 0x4000000); /* without bit 22 */
    noRegion.main.entries[39] = mw::eU32s({});                                 /* no bits 32-95 */
    Context plain(openWritten(noRegion));
    ASSERT_NE(plain.ctx, nullptr);
    EXPECT_EQ(defaultOf(plain.ctx, 8).value, 9u);
    EXPECT_EQ(defaultOf(plain.ctx, 327).value, 8u);
    EXPECT_EQ(defaultOf(plain.ctx, 4356).value, 2u);
    EXPECT_EQ(defaultOf(plain.ctx, 4358).value, 1u);

    /* Below format 0x1600 entry 39 is not read: the country rules are off, the region rule (word 0) on. */
    Context old(openStandard("T1_15FF.DDD", "T1_15FF.DDC"));
    ASSERT_NE(old.ctx, nullptr);
    EXPECT_EQ(defaultOf(old.ctx, 8).value, 1u);
    EXPECT_EQ(defaultOf(old.ctx, 4356).value, 2u);
}

/* The work folder and the cover layout come from the resource module. */
TEST_F(MdlQueries, WorkFolderAndLayoutVariantFollowTheResourceModule)
{
    /* Without the resource module there is no work folder and no language. */
    Answer folder = defaultOf(ctx_, 1829);
    EXPECT_FALSE(folder.ok);
    EXPECT_EQ(folder.reason, MDL_REASON_FAIL);
    EXPECT_EQ(folder.value, 0u);
    EXPECT_EQ(folder.type, 0);
    Answer layout = defaultOf(ctx_, 1804);
    EXPECT_TRUE(layout.ok);
    EXPECT_EQ(layout.value, 0u) << "the language cannot be read: the file's value stands";

    /* The driver's resource module: language 1033, work folder "...\Tarvel\Work". */
    initModule();
    folder = defaultOf(ctx_, 1829);
    ASSERT_TRUE(folder.ok);
    EXPECT_EQ(folder.type, DDD_VT_STRING);
    std::string path = model_test::u8(reinterpret_cast<LPCWSTR>(folder.value));
    EXPECT_EQ(path.substr(path.size() - 13), "\\Tarvel\\Work\\") << path;
    EXPECT_EQ(path.find("Forms"), std::string::npos) << "the model's own value is replaced";
    EXPECT_TRUE(MDL_FreeValue(folder.value, folder.type));
    EXPECT_EQ(defaultOf(ctx_, 1804).value, 1u);

    /* A Japanese user interface keeps the first layout. */
    RES_ResetForTest();
    initModuleWithResources("STRING 5146 \"1041\"");
    EXPECT_EQ(defaultOf(ctx_, 1804).value, 0u);
    folder = defaultOf(ctx_, 1829);
    EXPECT_FALSE(folder.ok) << "this resource module names no work folder";
}

TEST_F(MdlQueries, RawDefaultBlocks)
{
    void *block = nullptr;
    WORD reason = 0;
    ASSERT_TRUE(MDL_GetDefaultRaw(ctx_, 14, &block, &reason));
    const BYTE resolution[4] = {0x58, 0x02, 0x58, 0x02};
    EXPECT_EQ(std::memcmp(block, resolution, 4), 0);
    GlobalFree(block);
    ASSERT_TRUE(MDL_GetDefaultRaw(ctx_, 8, &block, &reason));
    const BYTE a4[4] = {9, 0, 0, 0}; /* two bytes of value, zero-filled behind */
    EXPECT_EQ(std::memcmp(block, a4, 4), 0);
    GlobalFree(block);
    EXPECT_FALSE(MDL_GetDefaultRaw(ctx_, 9999, &block, &reason));
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(reason, MDL_REASON_NOT_IN_MODEL);
}

TEST_F(MdlQueries, FeatureInformation)
{
    struct Case {
        WORD id;
        WORD uiKind, count;
        const char *name;
    } cases[] = {
        {8, 1, 11, "Paper Size"},      {18, 2, 2, "Collate"},       {4101, 2, 2, "Finisher"},
        {1829, 3, 2, "Form Folder"},   {4363, 1, 2, "Secure Print"}, {327, 1, 9, "Second Paper Size"},
        {36888, 1, 2, "Presets"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        ModelRecord *rec = nullptr;
        WORD uiKind = 0, count = 0, reason = 9;
        LPCWSTR name = nullptr;
        ASSERT_TRUE(MDL_GetFeatureInfo(ctx_, c.id, &rec, &uiKind, &count, &name, &reason));
        EXPECT_EQ(rec->id, c.id);
        EXPECT_EQ(uiKind, c.uiKind);
        EXPECT_EQ(count, c.count);
        EXPECT_EQ(model_test::u8(name), c.name);
        EXPECT_EQ(reason, 0);
        EXPECT_TRUE(MDL_FreeRecord(rec));
    }
    struct Bad {
        WORD id;
        WORD reason;
    } bad[] = {{1, MDL_REASON_FAIL}, {DDD_ID_PAPER, MDL_REASON_FAIL}, {9999, MDL_REASON_NOT_IN_MODEL},
               {4129, MDL_REASON_NOT_IN_MODEL}};
    for (const Bad &b : bad) {
        ModelRecord *rec = nullptr;
        WORD count = 5, reason = 0;
        EXPECT_FALSE(MDL_GetFeatureInfo(ctx_, b.id, &rec, nullptr, &count, nullptr, &reason)) << b.id;
        EXPECT_EQ(reason, b.reason) << b.id;
        EXPECT_EQ(rec, nullptr);
        EXPECT_EQ(count, 0);
    }
    EXPECT_FALSE(MDL_FreeRecord(nullptr));
}

TEST_F(MdlQueries, OptionDetails)
{
    struct Case {
        WORD id, n;
        const char *name;
        WORD type;
        DWORD value;       /* numeric types */
        const char *text;  /* type 6 */
        WORD imageLength;  /* 0: no image */
    } cases[] = {
        {8, 1, "Letter", DDD_VT_SHORT, 1, nullptr, 0},
        {8, 11, "B4 (JIS)", DDD_VT_SHORT, 12, nullptr, 0},
        {16, 2, "Long Edge", DDD_VT_SHORT, 2, nullptr, 3752},       /* option image 2: 48 x 48 icon, 256 colours */
        {16, 0, "Print on Both Sides", 0, 0, nullptr, 296},         /* the feature itself: no value; 16 x 16, 16 colours */
        {14, 3, "1200 x 600 dpi", DDD_VT_ULONG, 0x04B00258, nullptr, 0},
        {4101, 2, "Installed", DDD_VT_FLAG, 1, nullptr, 0},
        {4359, 6, "Output Bin", DDD_VT_BYTE, 10, nullptr, 0},
        {1829, 2, "Overlays", DDD_VT_STRING, 0, "Overlays\\", 0},
        {DDD_ID_PAPER, 4, "A4", DDD_VT_USHORT, 9, nullptr, 0},      /* paper record number 4 */
        {DDD_ID_TRAY, 6, "Bypass Tray", DDD_VT_USHORT, 4, nullptr, 0},
        {DDD_ID_TRAY2, 2, "Finisher Tray", DDD_VT_USHORT, 2, nullptr, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + "/" + std::to_string(c.n));
        DddOptionDetails *d = nullptr;
        WORD reason = 9;
        ASSERT_TRUE(MDL_GetOption(ctx_, c.id, c.n, &d, &reason));
        const void *value = nullptr;
        LPCWSTR name = nullptr;
        WORD type = 0;
        const DddImageBlob *image = nullptr;
        ASSERT_TRUE(MDL_GetOptionFields(d, &value, &name, &type, &image));
        EXPECT_EQ(d->head.kind, DDD_ITEM_OPTION_DETAILS);
        EXPECT_EQ(model_test::u8(name), c.name);
        EXPECT_EQ(type, c.type);
        if (c.type == 0) {
            EXPECT_EQ(value, nullptr);
        } else if (c.type == DDD_VT_STRING) {
            EXPECT_EQ(model_test::u8(static_cast<LPCWSTR>(value)), c.text);
        } else {
            ASSERT_NE(value, nullptr);
            EXPECT_EQ(plat::load<DWORD>(value), c.value); /* at least 4 bytes, zero-filled */
        }
        if (c.imageLength) {
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->length, c.imageLength);
            EXPECT_EQ(plat::load<DWORD>(image->data), 40u);
        } else {
            EXPECT_EQ(image, nullptr);
        }
        EXPECT_TRUE(MDL_FreeOption(d));
    }
    struct Bad {
        WORD id, n, reason;
    } bad[] = {{8, 12, MDL_REASON_NOT_IN_MODEL},
               {DDD_ID_FLAG_RECORD, 1, MDL_REASON_NOT_IN_MODEL}, /* flag records have no positions here */
               {1, 0, MDL_REASON_FAIL},                          /* the model name is not a record */
               {9999, 1, MDL_REASON_NOT_IN_MODEL},
               {DDD_ID_PAPER, 99, MDL_REASON_NOT_IN_MODEL}};
    for (const Bad &b : bad) {
        DddOptionDetails *d = nullptr;
        WORD reason = 0;
        EXPECT_FALSE(MDL_GetOption(ctx_, b.id, b.n, &d, &reason)) << b.id;
        EXPECT_EQ(reason, b.reason) << b.id;
        EXPECT_EQ(d, nullptr);
    }
    EXPECT_TRUE(MDL_FreeOption(nullptr));
    EXPECT_FALSE(MDL_GetOptionFields(nullptr, nullptr, nullptr, nullptr, nullptr));

    /* The same values without the record. */
    LPWSTR name = nullptr;
    void *value = nullptr;
    WORD type = 0;
    ASSERT_EQ(DDD_GetOptionValue(ctx_->main, ctx_->companion, 13, 6, &name, &value, &type), DDD_OK);
    EXPECT_EQ(model_test::u8(name), "Bypass Tray");
    EXPECT_EQ(plat::load<WORD>(value), 4);
    EXPECT_EQ(type, DDD_VT_SHORT);
    GlobalFree(name);
    GlobalFree(value);
}

TEST_F(MdlQueries, KnownValues)
{
    struct Case {
        WORD id;
        DWORD value;
        BOOL known;
    } cases[] = {
        {8, 9, TRUE},        {8, 4, FALSE},      {8, 12, TRUE},       {14, 0x04B00258, TRUE},
        {14, 0x02580259, FALSE}, {4101, 1, TRUE}, {4101, 2, FALSE}, /* flags compare as 32-bit numbers */
        {4359, 10, TRUE},    {4359, 9, FALSE},   {334, 5, FALSE},     /* job type 5 is the fax sibling's */
        {DDD_ID_PAPER, 12, TRUE},                /* paper record 12 */
        {DDD_ID_PAPER, 4, FALSE},                {DDD_ID_TRAY, 257, TRUE},
        {DDD_ID_FLAG_RECORD, 2, TRUE},           {DDD_ID_FLAG_RECORD, 3, FALSE},
        {9999, 1, FALSE},
    };
    for (const Case &c : cases) {
        Slot slot(c.value);
        EXPECT_EQ(MDL_HasValue(ctx_, c.id, slot.get()), c.known) << c.id << " " << c.value;
    }
    EXPECT_TRUE(MDL_HasValue(ctx_, 1829, u"Overlays\\"));
    EXPECT_FALSE(MDL_HasValue(ctx_, 1829, u"overlays\\")) << "strings compare exactly";
    EXPECT_FALSE(MDL_HasValue(ctx_, 1829, u"Overlays"));
    EXPECT_FALSE(MDL_HasValue(ctx_, 8, nullptr));
    EXPECT_FALSE(MDL_HasValue(ctx_, 1, u"Tarvel CX 1500")) << "the model name is no setting value";

    Context fax(openStandard("TARVEL2.DDD", "TARVEL2.DDC"));
    Slot five(5);
    EXPECT_TRUE(MDL_HasValue(fax.ctx, 334, five.get()));
}

TEST_F(MdlQueries, ValueTargets)
{
    struct Case {
        WORD id;
        DWORD value;
        WORD kind, recordId;
        const char *name;
    } cases[] = {
        {8, 9, DDD_KIND_PAPER, 9, "A4"},          {8, 256, DDD_KIND_PAPER, 256, "User Defined Size"},
        {327, 3, DDD_KIND_PAPER, 3, "Tabloid"},   {13, 4, DDD_KIND_TRAY, 4, "Bypass Tray"},
        {266, 2, DDD_KIND_TRAY2, 2, "Finisher Tray"}, {1824, 12, DDD_KIND_PAPER, 12, "B4 (JIS)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        Slot slot(c.value);
        ModelRecord *rec = nullptr;
        WORD kind = 0, reason = 9;
        ASSERT_TRUE(MDL_GetValueTarget(ctx_, c.id, slot.get(), &rec, &kind, &reason));
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(rec->kind, c.kind);
        EXPECT_EQ(rec->id, c.recordId);
        EXPECT_EQ(model_test::u8(DDD_GetRecordName(rec)), c.name);
        EXPECT_TRUE(MDL_FreeRecord(rec));
    }
    struct Bad {
        WORD id;
        DWORD value;
        WORD reason;
    } bad[] = {
        {8, 4, MDL_REASON_NOT_IN_MODEL},       /* no such option */
        {16, 2, MDL_REASON_NOT_IN_MODEL},      /* an option that stands for no record */
        {DDD_ID_PAPER, 9, MDL_REASON_FAIL},    /* a paper is no option */
    };
    for (const Bad &b : bad) {
        Slot slot(b.value);
        ModelRecord *rec = nullptr;
        WORD kind = 7, reason = 0;
        EXPECT_FALSE(MDL_GetValueTarget(ctx_, b.id, slot.get(), &rec, &kind, &reason)) << b.id;
        EXPECT_EQ(reason, b.reason) << b.id;
        EXPECT_EQ(rec, nullptr);
        EXPECT_EQ(kind, 0);
    }
}

TEST_F(MdlQueries, PaperSizes)
{
    struct Case {
        WORD id;
        DWORD value;
        WORD width, length;
    } cases[] = {{8, 9, 2100, 2970}, {8, 1, 2159, 2794}, {8, 3, 2794, 4318}, {327, 12, 2570, 3640}};
    for (const Case &c : cases) {
        Slot slot(c.value);
        WORD w = 0, l = 0, w2 = 0, l2 = 0, reason = 9;
        ASSERT_TRUE(MDL_GetPaperSizeById(ctx_, c.id, slot.get(), &w, &l, &w2, &l2, &reason)) << c.value;
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(l, c.length);
        /* The second pair of every standard paper is the size turned. */
        EXPECT_EQ(w2, c.length);
        EXPECT_EQ(l2, c.width);
    }
    Slot tray(4);
    WORD w = 1, l = 1, reason = 0;
    EXPECT_FALSE(MDL_GetPaperSizeById(ctx_, 13, tray.get(), &w, &l, nullptr, nullptr, &reason));
    EXPECT_EQ(reason, MDL_REASON_FAIL) << "a tray has no paper size";
    EXPECT_EQ(w, 0);

    /* The default's paper: A4 in region 2; Letter and Tabloid in region 1. */
    ASSERT_TRUE(MDL_GetDefaultPaperSize(ctx_, 8, &w, &l));
    EXPECT_EQ(w, 2100);
    EXPECT_EQ(l, 2970);
    LPWSTR name = nullptr;
    ASSERT_TRUE(MDL_GetDefaultTargetName(ctx_, 8, &name, &reason));
    EXPECT_EQ(model_test::u8(name), "A4");
    GlobalFree(name);
    ASSERT_TRUE(MDL_GetDefaultTargetName(ctx_, 13, &name, &reason));
    EXPECT_EQ(model_test::u8(name), "Automatically Select");
    GlobalFree(name);
    EXPECT_FALSE(MDL_GetDefaultTargetName(ctx_, 16, &name, &reason)) << "the duplex options stand for nothing";
    EXPECT_EQ(name, nullptr);
    EXPECT_FALSE(MDL_GetDefaultPaperSize(ctx_, 9999, &w, &l));

    utl_ResetLocaleCachesForTest();
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0409));
    ASSERT_TRUE(MDL_GetDefaultPaperSize(ctx_, 8, &w, &l));
    EXPECT_EQ(w, 2159);
    EXPECT_EQ(l, 2794);
    ASSERT_TRUE(MDL_GetDefaultPaperSize(ctx_, 327, &w, &l));
    EXPECT_EQ(w, 2794);
    EXPECT_EQ(l, 4318);
}

TEST_F(MdlQueries, FindPaperByIdentifierSizeAndName)
{
    struct Case {
        const char *what;
        WORD id, mode;
        MdlPaperKey key;
        WORD foundId, width, length;
        const char *name;
    } cases[] = {
        {"by identifier", 8, MDL_FIND_BY_ID, {5, 0, 0, nullptr}, 5, 2159, 3556, "Legal"},
        {"by size, 5 off", 8, MDL_FIND_BY_SIZE, {0, 2095, 2975, nullptr}, 9, 2100, 2970, "A4"},
        {"by size, turned", 8, MDL_FIND_BY_SIZE, {0, 2975, 2095, nullptr}, 9, 2100, 2970, "A4"},
        {"by name", 8, MDL_FIND_BY_NAME, {0, 0, 0, u"Postcard"}, 307, 1000, 1480, "Postcard"},
        {"second paper by size", 327, MDL_FIND_BY_SIZE, {0, 4318, 2794, nullptr}, 3, 2794, 4318, "Tabloid"},
        {"a tray by name", 13, MDL_FIND_BY_NAME, {0, 0, 0, u"Bypass Tray"}, 4, 0, 0, "Bypass Tray"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        MdlPaper found{};
        WORD reason = 9;
        ASSERT_TRUE(MDL_FindPaper(ctx_, c.id, c.mode, &c.key, &found, &reason));
        EXPECT_EQ(found.id, c.foundId);
        EXPECT_EQ(found.width, c.width);
        EXPECT_EQ(found.length, c.length);
        EXPECT_EQ(model_test::u8(found.name), c.name);
        MDL_FreeFoundPaper(&found);
        EXPECT_EQ(found.name, nullptr);
    }
    struct Bad {
        const char *what;
        WORD id, mode;
        MdlPaperKey key;
        WORD reason;
    } bad[] = {
        {"name differs in case", 8, MDL_FIND_BY_NAME, {0, 0, 0, u"postcard"}, MDL_REASON_NOT_IN_MODEL},
        {"no such size", 8, MDL_FIND_BY_SIZE, {0, 5000, 5000, nullptr}, MDL_REASON_NOT_IN_MODEL},
        {"11 off", 8, MDL_FIND_BY_SIZE, {0, 2111, 2970, nullptr}, MDL_REASON_NOT_IN_MODEL},
        {"by name without a name", 8, MDL_FIND_BY_NAME, {0, 0, 0, nullptr}, MDL_REASON_FAIL},
        {"unknown mode", 8, 4, {9, 0, 0, nullptr}, MDL_REASON_FAIL},
        {"no such setting", 9999, MDL_FIND_BY_ID, {9, 0, 0, nullptr}, MDL_REASON_NOT_IN_MODEL},
    };
    for (const Bad &b : bad) {
        SCOPED_TRACE(b.what);
        MdlPaper found{7, 7, 7, nullptr};
        WORD reason = 0;
        EXPECT_FALSE(MDL_FindPaper(ctx_, b.id, b.mode, &b.key, &found, &reason));
        EXPECT_EQ(reason, b.reason);
        EXPECT_EQ(found.id, 0);
        EXPECT_EQ(found.name, nullptr);
    }
}

TEST_F(MdlQueries, SizesMatchWithinTenUnits)
{
    struct Case {
        LONG a, b, c, d;
        BOOL match;
    } cases[] = {
        {2100, 2970, 2975, 2095, TRUE},  /* crosswise: 2100 vs 2095, 2970 vs 2975 */
        {2100, 2100, 2111, 2100, FALSE}, /* difference 11 */
        {2100, 2100, 2110, 2090, TRUE},  /* square: crosswise, 10 and 10 */
        {2100, 2970, 2110, 2980, TRUE},
        {2100, 2970, 2111, 2970, FALSE},
        {2970, 2100, 2980, 2090, TRUE},
        {2970, 2100, 2100, 2970, TRUE},  /* landscape against portrait */
        {0, 0, 0, 0, TRUE},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MDL_SizesMatch(c.a, c.b, c.c, c.d), c.match) << c.a << " " << c.b << " " << c.c << " " << c.d;
}

TEST_F(MdlQueries, HeaderAnswersOfEveryStandardModel)
{
    for (const mw::Model &m : tarvel_models::standardModels()) {
        SCOPED_TRACE(m.fileName);
        const bool fax = m.fileName == "TARVEL2.DDD";
        Context ctx(openStandard(m.fileName, m.companionName));
        ASSERT_NE(ctx.ctx, nullptr);
        LPWSTR name = nullptr;
        WORD reason = 9;
        ASSERT_TRUE(MDL_GetModelName(ctx.ctx, &name, &reason));
        EXPECT_EQ(model_test::u8(name), fax ? "Tarvel CX 1500F" : "Tarvel CX 1500");
        GlobalFree(name);
        EXPECT_EQ(MDL_GetMaxCopies(ctx.ctx), 999);
        EXPECT_EQ(MDL_GetColourSupport(ctx.ctx), 2);
        EXPECT_EQ(MDL_GetEntry7(ctx.ctx), 1);
        EXPECT_EQ(MDL_GetDeviceClass(ctx->main), fax ? MDL_CLASS_PRINTER_FAX : MDL_CLASS_PRINTER);
        EXPECT_EQ(MDL_IsDeviceClass3Or4(ctx->main), fax ? TRUE : FALSE);
        ModelCapabilityBits bits{};
        ASSERT_TRUE(MDL_GetCapabilityBits(ctx->main, &bits));
        EXPECT_EQ(bits.words[0], fax ? 0x44450004u : 0x04450004u);
        EXPECT_EQ(bits.words[1], m.formatVersion >= 0x1600 ? 0x83u : 0u);
        EXPECT_EQ(bits.words[2], 0u);
        EXPECT_TRUE(MDL_HasCapability(ctx->main, MDL_CAP_BIT(22)));
        EXPECT_EQ(MDL_HasCapability(ctx->main, MDL_CAP_BIT(39)), m.formatVersion >= 0x1600 ? TRUE : FALSE);
        /* The identifier 259 names the model as well. */
        WORD kind = 0;
        void *byId = nullptr;
        ASSERT_EQ(DDD_LookupById(DDD_PARSE_PARTIAL, ctx->main, ctx->companion, 259, nullptr, &kind, &byId), DDD_OK);
        EXPECT_EQ(kind, DDD_KIND_HEADER);
        EXPECT_EQ(model_test::u8(static_cast<LPCWSTR>(byId)), fax ? "Tarvel CX 1500F" : "Tarvel CX 1500");
        GlobalFree(byId);
    }
    /* A context without a loaded file answers the "missing" values. */
    ModelContext *empty = MDL_AllocContext();
    EXPECT_EQ(MDL_GetMaxCopies(empty), 0);
    EXPECT_EQ(MDL_GetColourSupport(empty), 0xFFFF);
    EXPECT_EQ(MDL_GetEntry7(empty), -1);
    EXPECT_EQ(MDL_GetDeviceClass(empty->main), MDL_CLASS_NONE);
    LPWSTR name = nullptr;
    WORD reason = 0;
    EXPECT_FALSE(MDL_GetModelName(empty, &name, &reason));
    EXPECT_EQ(reason, MDL_REASON_FAIL);
    MDL_FreeContext(empty);
}

TEST_F(MdlQueries, NoMemoryAtAnyAllocationFailsCleanly)
{
    /* Each query, with each of its allocations failing in turn: no memory (or done), nothing left behind. */
    auto sweep = [&](const char *what, auto query) {
        SCOPED_TRACE(what);
        /* A first run fills the text buffers that the open pair keeps until it closes. */
        WORD first = 0;
        ASSERT_TRUE(query(&first));
        liveAtStart_ = mdl_LiveBlocks();
        bool done = false;
        for (unsigned n = 1; n < 2000 && !done; ++n) {
            mdl_FailAllocation(n);
            WORD reason = 0;
            done = query(&reason);
            mdl_FailAllocation(0);
            if (!done) {
                EXPECT_EQ(reason, MDL_REASON_NO_MEMORY) << n;
            }
            EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_) << n;
        }
        EXPECT_TRUE(done);
    };
    sweep("option details", [&](WORD *reason) {
        DddOptionDetails *d = nullptr;
        BOOL ok = MDL_GetOption(ctx_, 16, 2, &d, reason);
        MDL_FreeOption(d);
        return ok != FALSE;
    });
    sweep("default", [&](WORD *reason) {
        ULONG_PTR v = 0;
        WORD t = 0;
        BOOL ok = MDL_GetDefaultValue(ctx_, 14, &v, &t, reason);
        return ok != FALSE;
    });
    sweep("find paper", [&](WORD *reason) {
        MdlPaperKey key{0, 0, 0, u"Postcard"};
        MdlPaper found{};
        BOOL ok = MDL_FindPaper(ctx_, 8, MDL_FIND_BY_NAME, &key, &found, reason);
        MDL_FreeFoundPaper(&found);
        return ok != FALSE;
    });
    sweep("value target", [&](WORD *reason) {
        Slot slot(9);
        ModelRecord *rec = nullptr;
        WORD kind = 0;
        BOOL ok = MDL_GetValueTarget(ctx_, 8, slot.get(), &rec, &kind, reason);
        MDL_FreeRecord(rec);
        return ok != FALSE;
    });
}

} // namespace
