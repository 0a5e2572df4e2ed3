/*
 * Lookups by setting identifier on small models built with the writer: the
 * identifier-to-record map, the search of a feature's options by value for
 * every value type, options taken by position, display names, defaults
 * read in place (out-of-range default numbers, values without data, string
 * defaults), and the device class, colour support and fax-job answers of
 * header entries the standard models do not vary.
 */
#include "test_mdl_support.h"

#include <tarvel/settings/dmb_binding.h>

using namespace mdl_test;
using namespace mw;

namespace {

class MdlLookup : public MdlTest {};

Option option(const char *name, Value v, WORD targetKind = 0, WORD targetId = 0)
{
    Option o;
    o.name = stored(name);
    o.setting = std::move(v);
    o.targetKind = targetKind;
    o.targetId = targetId;
    return o;
}

Feature feature(WORD id, const char *name, WORD defaultOption)
{
    Feature f;
    f.id = id;
    f.name = stored(name);
    f.uiKind = 1;
    f.defaultOption = defaultOption;
    return f;
}

/* A model with one feature for each value type, an empty feature and out-of-range defaults. */
mw::Model typesModel()
{
    mw::Model m = model_test::emptyModel(0x1600);
    m.fileName = "TYPES.DDD";
    m.companionName = "TYPES.DDC";
    m.add(encode(Dimensions{1, 2100, 2970, 2970, 2100}, m.formatVersion));
    Paper a4;
    a4.id = 9;
    a4.name = stored("A4");
    a4.sizeId = a4.extentsId = a4.marginsId = 1;
    m.add(encode(a4, m.formatVersion));
    auto add = [&](WORD kind, WORD id, WORD def, std::vector<Option> opts) {
        m.addFeature(kind, feature(id, "F", def), std::move(opts));
    };
    add(DDD_KIND_DOCUMENT_FEATURE, 300, 2, {option("short", vShort(-2)), option("short b", vShort(7))});
    add(DDD_KIND_DOCUMENT_FEATURE, 301, 1, {option("ushort", vUShort(0xFFFE))});
    add(DDD_KIND_DOCUMENT_FEATURE, 302, 1, {option("long", vLong(-70000)), option("ulong", vULong(70000))});
    add(DDD_KIND_DOCUMENT_FEATURE, 303, 2, {option("one", vFloat(1.5f)), option("two", vFloat(-0.25f))});
    add(DDD_KIND_DOCUMENT_FEATURE, 304, 1, {option("member", vMember(-5))});
    add(DDD_KIND_DOCUMENT_FEATURE, 1830, 2, {option("a", vString(stored("Sales"))), option("b", vString(stored("Dept 7")))});
    add(DDD_KIND_DOCUMENT_FEATURE, 305, 1, {option("byte", vByte(0xAB))});
    add(DDD_KIND_DEVICE_FEATURE, 4120, 2, {option("off", vFlag(false)), option("on", vFlag(true))});
    add(DDD_KIND_DOCUMENT_FEATURE, 306, 1, {option("nothing", vNone(DDD_VT_USHORT))});
    add(DDD_KIND_DOCUMENT_FEATURE, 307, 1, {option("array", vArrayRef(1)), option("array", vUShort(1))});
    add(DDD_KIND_DOCUMENT_FEATURE, 308, 1, {});                      /* no options */
    add(DDD_KIND_DOCUMENT_FEATURE, 309, 0, {option("x", vUShort(1))}); /* default 0 */
    add(DDD_KIND_DOCUMENT_FEATURE, 310, 3, {option("x", vUShort(1)), option("y", vUShort(2))});
    add(DDD_KIND_DOCUMENT_FEATURE, 8, 1, {option("A4", vShort(9), DDD_KIND_PAPER, 9)});
    m.add(encode(ValueArray{1, 0, DDD_VT_USHORT, 2, 1, {1, 0}}, m.formatVersion));
    return m;
}

class TypesModel : public MdlLookup {
protected:
    void SetUp() override
    {
        MdlLookup::SetUp();
        ASSERT_EQ(model_test::openModel(pair_, typesModel()), DDD_OK);
        ctx_ = ModelContext{&pair_.main, &pair_.companion, nullptr, nullptr, nullptr};
    }
    model_test::ReaderPair pair_;
    ModelContext ctx_{};
};

TEST_F(MdlLookup, IdentifiersMapToRecordKinds)
{
    struct Case {
        WORD id, value, kind, record;
    } cases[] = {
        {1, 0, DDD_KIND_HEADER, 1},
        {259, 0, DDD_KIND_HEADER, 259},
        {2, 0, DDD_KIND_DOCUMENT_FEATURE, 2},
        {8, 5, DDD_KIND_DOCUMENT_FEATURE, 8},
        {273, 0, DDD_KIND_DOCUMENT_FEATURE, 273},
        {274, 0, DDD_KIND_DOCUMENT_FEATURE, 274},
        {277, 0, DDD_KIND_DOCUMENT_FEATURE, 274},
        {278, 0, DDD_KIND_DOCUMENT_FEATURE, 278},
        {281, 0, DDD_KIND_DOCUMENT_FEATURE, 278},
        {282, 0, DDD_KIND_DOCUMENT_FEATURE, 282},
        {285, 0, DDD_KIND_DOCUMENT_FEATURE, 282},
        {286, 0, DDD_KIND_DOCUMENT_FEATURE, 286},
        {4096, 0, DDD_KIND_DOCUMENT_FEATURE, 4096},
        {4097, 0, DDD_KIND_DEVICE_FEATURE, 4097},
        {4128, 0, DDD_KIND_DEVICE_FEATURE, 4128},
        {4129, 0, DDD_KIND_DOCUMENT_FEATURE, 4129},
        {4130, 0, DDD_KIND_DEVICE_FEATURE, 4130},
        {4362, 0, DDD_KIND_DEVICE_FEATURE, 4362},
        {4363, 0, DDD_KIND_DOCUMENT_FEATURE, 4363},
        {4364, 0, DDD_KIND_DOCUMENT_FEATURE, 4364},
        {4365, 0, DDD_KIND_DOCUMENT_FEATURE, 4365},
        {4366, 0, DDD_KIND_DEVICE_FEATURE, 4366},
        {4371, 0, DDD_KIND_DEVICE_FEATURE, 4371},
        {4372, 0, DDD_KIND_DOCUMENT_FEATURE, 4372},
        {DDD_ID_PAPER, 12, DDD_KIND_PAPER, 12},
        {DDD_ID_PAPER, 0, DDD_KIND_PAPER, 0},
        {DDD_ID_TRAY, 257, DDD_KIND_TRAY, 257},
        {DDD_ID_TRAY2, 2, DDD_KIND_TRAY2, 2},
        {0x8004, 3, DDD_KIND_DOCUMENT_FEATURE, 0x8004},
        {DDD_ID_FLAG_RECORD, 4, DDD_KIND_FLAG_RECORD, 4},
        {36888, 0, DDD_KIND_DOCUMENT_FEATURE, 36888},
    };
    for (const Case &c : cases) {
        WORD kind = 0, record = 0;
        DDD_MapIdToKind(c.id, c.value, &kind, &record);
        EXPECT_EQ(kind, c.kind) << c.id;
        EXPECT_EQ(record, c.record) << c.id;
    }
}

TEST_F(TypesModel, OptionsAreFoundByValueOfEveryType)
{
    struct Case {
        const char *what;
        WORD id;
        std::vector<BYTE> value; /* as an 8-byte slot holds it */
        WORD kind, optionId;     /* optionId 0: not found */
    } cases[] = {
        {"short", 300, {0xFE, 0xFF, 0x12, 0x34}, DDD_KIND_DOCUMENT_OPTION, 1}, /* only 16 bits compare */
        {"short b", 300, {7, 0}, DDD_KIND_DOCUMENT_OPTION, 2},
        {"ushort", 301, {0xFE, 0xFF}, DDD_KIND_DOCUMENT_OPTION, 3},
        {"long", 302, {0x90, 0xEE, 0xFE, 0xFF}, DDD_KIND_DOCUMENT_OPTION, 4},
        {"ulong", 302, {0x70, 0x11, 0x01, 0x00}, DDD_KIND_DOCUMENT_OPTION, 5},
        {"long, high bytes differ", 302, {0x70, 0x11, 0x01, 0x01}, 0, 0},
        {"float 1.5", 303, {0x00, 0x00, 0xC0, 0x3F}, DDD_KIND_DOCUMENT_OPTION, 6},
        {"float -0.25", 303, {0x00, 0x00, 0x80, 0xBE}, DDD_KIND_DOCUMENT_OPTION, 7},
        {"float 1.5 plus one ulp", 303, {0x01, 0x00, 0xC0, 0x3F}, 0, 0},
        {"member", 304, {0xFB, 0xFF, 0xFF, 0xFF}, DDD_KIND_DOCUMENT_OPTION, 8},
        {"byte", 305, {0xAB, 0x01}, DDD_KIND_DOCUMENT_OPTION, 11},              /* only 8 bits compare */
        {"flag on", 4120, {1, 0, 0, 0}, DDD_KIND_DEVICE_OPTION, 2},
        {"flag as 32 bits", 4120, {1, 0, 0, 1}, 0, 0},
        {"no data never matches", 306, {0, 0}, 0, 0},
        {"array references never match", 307, {1, 0}, DDD_KIND_DOCUMENT_OPTION, 14},
        {"no options", 308, {0, 0}, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        BYTE slot[8] = {};
        std::copy(c.value.begin(), c.value.end(), slot);
        WORD kind = 0;
        void *found = nullptr;
        WORD r = DDD_LookupById(DDD_PARSE_FULL, &pair_.main, &pair_.companion, c.id, slot, &kind, &found);
        if (c.optionId == 0) {
            EXPECT_EQ(r, DDD_ERR_NOT_FOUND);
            EXPECT_EQ(found, nullptr);
            continue;
        }
        ASSERT_EQ(r, DDD_OK);
        EXPECT_EQ(kind, c.kind);
        auto *rec = static_cast<ModelRecord *>(found);
        EXPECT_EQ(rec->kind, c.kind);
        EXPECT_EQ(rec->id, c.optionId);
        EXPECT_EQ(rec->fileSelector, DDD_SEL_MAIN);
        DDD_FreeRecord(&rec, -1);
    }
    /* Strings compare exactly. */
    for (auto [text, optionId] : {std::pair{u"Dept 7", 10}, {u"Sales", 9}, {u"dept 7", 0}, {u"Dept", 0}}) {
        WORD kind = 0;
        ModelRecord *rec = nullptr;
        ModelRecord *f = nullptr;
        ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_PARTIAL, &pair_.main, &pair_.companion, DDD_KIND_DOCUMENT_FEATURE, 1830,
                                  0, &f),
                  DDD_OK);
        WORD r = DDD_FindOptionByValue(DDD_PARSE_PARTIAL, &pair_.main, &pair_.companion, f, text, &kind, &rec);
        EXPECT_EQ(r, optionId ? DDD_OK : DDD_ERR_NOT_FOUND) << model_test::u8(text);
        if (rec) {
            EXPECT_EQ(rec->id, optionId);
            DDD_FreeRecord(&rec, -1);
        }
        /* Not a feature, or no value: 1. */
        EXPECT_EQ(DDD_FindOptionByValue(DDD_PARSE_PARTIAL, &pair_.main, &pair_.companion, f, nullptr, &kind, &rec),
                  DDD_ERR_FAIL);
        DDD_FreeRecord(&f, -1);
    }
}

TEST_F(TypesModel, DefaultsOfEveryTypeAndOutOfRangeDefaults)
{
    struct Case {
        WORD id;
        WORD type;
        ULONG_PTR value;
    } cases[] = {
        {300, DDD_VT_SHORT, 7},           {301, DDD_VT_USHORT, 0xFFFE},   {302, DDD_VT_LONG, 0xFFFEEE90u},
        {303, DDD_VT_FLOAT, 0xBE800000u}, {304, DDD_VT_MEMBER, 0xFFFFFFFBu}, {305, DDD_VT_BYTE, 0xAB},
        {4120, DDD_VT_FLAG, 1},           {306, DDD_VT_USHORT, 0},         /* no data: no value */
    };
    for (const Case &c : cases) {
        ULONG_PTR value = 99;
        WORD type = 0, reason = 9;
        ASSERT_TRUE(MDL_GetDefaultValue(&ctx_, c.id, &value, &type, &reason)) << c.id;
        EXPECT_EQ(type, c.type) << c.id;
        EXPECT_EQ(value, c.value) << c.id;
    }
    /* A string default is a new string. */
    ULONG_PTR value = 0;
    WORD type = 0, reason = 0;
    ASSERT_TRUE(MDL_GetDefaultValue(&ctx_, 1830, &value, &type, &reason));
    EXPECT_EQ(type, DDD_VT_STRING);
    EXPECT_EQ(model_test::u8(reinterpret_cast<LPCWSTR>(value)), "Dept 7");
    EXPECT_TRUE(MDL_FreeValue(value, type));
    EXPECT_FALSE(MDL_FreeValue(0, DDD_VT_STRING));
    EXPECT_TRUE(MDL_FreeValue(5, DDD_VT_USHORT)) << "a number has nothing to free";

    /* A value without data is null in the raw block too. */
    void *block = reinterpret_cast<void *>(1);
    ASSERT_EQ(DDD_ReadFeatureDefault(&pair_.main, &pair_.companion, 306, &block, &type), DDD_OK);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(type, DDD_VT_USHORT);

    /* Default option numbers outside the option list, the header and record identifier 0. */
    struct Bad {
        WORD id, result;
    } bad[] = {{309, DDD_ERR_FAIL}, {310, DDD_ERR_FAIL}, {308, DDD_ERR_FAIL}, {1, DDD_ERR_FAIL},
               {DDD_ID_PAPER, DDD_ERR_FAIL}, {0, DDD_ERR_NOT_FOUND}, {311, DDD_ERR_NOT_FOUND}};
    for (const Bad &b : bad) {
        block = nullptr;
        type = 7;
        EXPECT_EQ(DDD_ReadFeatureDefault(&pair_.main, &pair_.companion, b.id, &block, &type), b.result) << b.id;
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(type, 0);
    }
}

TEST_F(TypesModel, OptionsByPositionAndNames)
{
    struct Case {
        WORD id, n;
        WORD result, kind, recordId;
    } cases[] = {
        {300, 2, DDD_OK, DDD_KIND_DOCUMENT_OPTION, 2},
        {4120, 1, DDD_OK, DDD_KIND_DEVICE_OPTION, 1},
        {DDD_ID_PAPER, 1, DDD_OK, DDD_KIND_PAPER, 9},
        {300, 3, DDD_ERR_NOT_FOUND, 0, 0},
        {308, 1, DDD_ERR_NOT_FOUND, 0, 0},
        {300, 0, DDD_ERR_FAIL, 0, 0},
        {DDD_ID_TRAY, 1, DDD_ERR_NOT_FOUND, 0, 0}, /* the model has no trays */
        {DDD_ID_FLAG_RECORD, 1, DDD_ERR_NOT_FOUND, 0, 0},
        {1, 1, DDD_ERR_NOT_FOUND, 0, 0},
    };
    for (const Case &c : cases) {
        WORD kind = 9;
        ModelRecord *rec = nullptr;
        EXPECT_EQ(DDD_GetOptionByIndex(DDD_PARSE_PARTIAL, &pair_.main, &pair_.companion, c.id, c.n, &kind, &rec),
                  c.result)
            << c.id << "/" << c.n;
        EXPECT_EQ(kind, c.kind);
        if (rec) {
            EXPECT_EQ(rec->id, c.recordId);
            DDD_FreeRecord(&rec, -1);
        }
    }

    struct Name {
        WORD id;
        DWORD value; /* 0xFFFFFFFF: none */
        WORD result;
        const char *name;
    } names[] = {
        {300, 0xFFFFFFFFu, DDD_OK, "F"},
        {300, 7, DDD_OK, "short b"},
        {DDD_ID_PAPER, 9, DDD_OK, "A4"},
        {8, 9, DDD_OK, "A4"},
        {1, 0xFFFFFFFFu, DDD_ERR_FAIL, nullptr},  /* the model name is no record */
        {DDD_ID_PAPER, 8, DDD_ERR_NOT_FOUND, nullptr},
        {9999, 0xFFFFFFFFu, DDD_ERR_NOT_FOUND, nullptr},
    };
    for (const Name &n : names) {
        BYTE slot[8] = {};
        plat::store(slot, n.value);
        LPWSTR name = nullptr;
        EXPECT_EQ(DDD_GetNameById(&pair_.main, &pair_.companion, n.id, n.value == 0xFFFFFFFFu ? nullptr : slot, &name),
                  n.result)
            << n.id;
        if (n.name) {
            EXPECT_EQ(model_test::u8(name), n.name);
        } else {
            EXPECT_EQ(name, nullptr);
        }
        mdl_Free(name);
    }
}

/* Header entries 5 and 23 with the values the standard models do not use. */
TEST_F(MdlLookup, ColourSupportDeviceClassAndFaxJobs)
{
    struct Case {
        BYTE colour, deviceClass;
        WORD support, reported;
        BOOL class3or4, faxJob;
    } cases[] = {
        {0, 0, 0xFFFF, MDL_CLASS_PRINTER, FALSE, FALSE},
        {1, 1, 1, MDL_CLASS_FAX, FALSE, TRUE},    /* a fax model: every job is a fax job */
        {2, 2, 2, MDL_CLASS_3, TRUE, FALSE},
        {3, 3, 1, MDL_CLASS_PRINTER_FAX, TRUE, FALSE},
        {255, 4, 1, MDL_CLASS_NONE, FALSE, FALSE},
        {7, 200, 1, MDL_CLASS_NONE, FALSE, FALSE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(int(c.deviceClass));
        mw::Model m = model_test::emptyModel(0x1600);
        m.main.entries[5] = eU8(c.colour);
        m.main.entries[23] = eU8(c.deviceClass);
        model_test::ReaderPair p;
        ASSERT_EQ(model_test::openModel(p, m), DDD_OK);
        ModelContext ctx{&p.main, &p.companion, nullptr, nullptr, nullptr};
        EXPECT_EQ(MDL_GetColourSupport(&ctx), c.support);
        EXPECT_EQ(MDL_GetDeviceClass(&p.main), c.reported);
        EXPECT_EQ(MDL_IsDeviceClass3Or4(&p.main), c.class3or4);
        BYTE devmode[1604] = {};
        EXPECT_EQ(MDL_IsFaxJob(&p.main, devmode), c.faxJob);
    }
}

/*
 * On a printer-and-fax model the job type decides, read through the
 * data-manager binding: a fax job type makes a fax job; without the data
 * manager the read fails and the job counts as no fax job.
 */
TEST_F(MdlLookup, FaxJobOfAPrinterAndFaxModelReadsTheJobType)
{
    initModule();
    ModelContext *ctx = openStandard("TARVEL2.DDD", "TARVEL2.DDC");
    ASSERT_NE(ctx, nullptr);
    ASSERT_EQ(MDL_GetDeviceClass(ctx->main), MDL_CLASS_PRINTER_FAX);
    BYTE devmode[5896] = {};
    devmode[748] = 5; /* setting 334, the job type: fax */
    EXPECT_FALSE(MDL_IsFaxJob(ctx->main, devmode)) << "no data manager bound yet";
    ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1);
    EXPECT_TRUE(MDL_IsFaxJob(ctx->main, devmode));
    devmode[748] = 1;
    EXPECT_FALSE(MDL_IsFaxJob(ctx->main, devmode));
    EXPECT_FALSE(MDL_IsFaxJob(ctx->main, nullptr));
    DMB_Unload();
    EXPECT_TRUE(MDL_Close(ctx));
}

TEST_F(MdlLookup, CapabilityCodes)
{
    const ModelCapabilityBits bits{{0x00400001u, 0x00000082u, 0x80000000u}};
    struct Case {
        DWORD code;
        BOOL set;
    } cases[] = {
        {MDL_CAP_BIT(0), TRUE},   {MDL_CAP_BIT(22), TRUE},  {MDL_CAP_BIT(21), FALSE}, {0x00400000u, TRUE},
        {0x00000003u, TRUE},      {0x00000002u, FALSE},     {0xFFFF0021u, TRUE},      /* bit 1 of word 1 */
        {MDL_CAP_BIT(32), FALSE}, {MDL_CAP_BIT(39), TRUE},  {MDL_CAP_BIT(95), TRUE},  {MDL_CAP_BIT(94), FALSE},
        {MDL_CAP_BIT(96), FALSE}, {0xFFFFFFFFu, FALSE},     {0, FALSE},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MDL_TestCapabilityBit(&bits, c.code), c.set) << std::hex << c.code;
    const ModelCapabilityBits other{{0, 0xFFFFFFFDu, 0}};
    EXPECT_FALSE(MDL_TestCapabilityBit(&other, 0xFFFF0021u));
    EXPECT_FALSE(MDL_TestCapabilityBit(nullptr, 1));
    EXPECT_FALSE(MDL_HasCapability(nullptr, 1));

    /* Entry 39 with one item: word 2 stays 0; below format 0x1600 the entry is not read. */
    for (DWORD format : {0x1600u, 0x15FFu}) {
        mw::Model m = model_test::emptyModel(format);
        m.main.entries[26] = eU32(0x11);
        m.main.entries[39] = eU32s({0x22});
        model_test::ReaderPair p;
        ASSERT_EQ(model_test::openModel(p, m), DDD_OK);
        ModelCapabilityBits read{{9, 9, 9}};
        ASSERT_TRUE(MDL_GetCapabilityBits(&p.main, &read));
        EXPECT_EQ(read.words[0], 0x11u);
        EXPECT_EQ(read.words[1], format >= 0x1600 ? 0x22u : 0u);
        EXPECT_EQ(read.words[2], 0u);
    }
    EXPECT_TRUE(UTL_IsAtLeast(5, 5));
    EXPECT_TRUE(UTL_IsAtLeast(0xFFFFFFFFu, 1));
    EXPECT_FALSE(UTL_IsAtLeast(1, 0xFFFFFFFFu));
}

} // namespace
