/*
 * Tests of the paper and form lists: the spooler's forms with the two-call
 * protocol, built-in forms and the model's paper codes, the paper list of
 * each standard model with user forms added (at the list's capacity, with
 * forms merging off, with a model paper no form stands for), the queries on
 * the list, and the tray settings table.
 */
#include "test_fid_support.h"

#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/ppr_paper.h>

#include <standard_models.h>

namespace {

using namespace fid_test;

constexpr const char *kMerging = "[DME,1]\nformdb.mode=1\n";

/* Spooler form numbers of the forms the tests add after the 118 built-in forms. */
constexpr WORD kPostcardForm = 119, kCustomSizeForm = 120, kFirstUserForm = 121;

class PprPaper : public SchemaTest {
protected:
    /* Installs a model with `cfg`, adds the forms of its papers and sets forms merging (5201) on. */
    void prepare(const ModelFiles &files, const std::string &cfg, bool modelForms = true)
    {
        install(files, cfg);
        if (modelForms)
            addModelForms();
        ASSERT_EQ(put(5201, nullptr, rec_.pd(), 1), DMA_OK);
    }
    void addFormWithArea(const char16_t *name, LONG cx, LONG cy, RECTL area)
    {
        FORM_INFO_1W f{};
        f.pName = const_cast<LPWSTR>(name);
        f.Size = {cx, cy};
        f.ImageableArea = area;
        ASSERT_TRUE(AddFormW(printer(), 1, reinterpret_cast<const BYTE *>(&f)));
    }
    ULONGLONG find(int by, ULONG_PTR key, int what, int expected = PPR_OK)
    {
        ULONGLONG out = 0xDEAD;
        EXPECT_EQ(PPR_FindPaper(ctx(), by, key, what, &out), expected) << by << " " << key << " " << what;
        return out;
    }
    Records rec_;
};

/* One paper of a list as the test expects it. */
struct Item {
    WORD formNumber;
    const char16_t *name;
    LONG width, length;
    WORD code;
};

/* The model papers of both standard models, in record order, as the forms stand for them. */
const Item kModelItems[] = {
    {1, u"Letter", 215900, 279400, 1},
    {5, u"Legal", 215900, 355600, 5},
    {8, u"A3", 297000, 420000, 8},
    {9, u"A4", 210000, 297000, 9},
    {11, u"A5", 148000, 210000, 11},
    {13, u"B5 (JIS)", 182000, 257000, 13},
    {kPostcardForm, u"Postcard", 100000, 148000, 307},
    {0, u"User Defined Size", 210000, 297000, 256},
    {kCustomSizeForm, u"Custom Size", 210000, 297000, 262},
    {3, u"Tabloid", 279400, 431800, 3},
    {12, u"B4 (JIS)", 257000, 364000, 12},
};

void expect_item(ModelContext *ctx, int position, const Item &e)
{
    SCOPED_TRACE(testing::Message() << "position " << position << " " << u8(e.name));
    ULONGLONG v = 0;
    ASSERT_EQ(PPR_GetPaperByIndex(ctx, position, PPR_GIVE_CODE, &v), PPR_OK);
    EXPECT_EQ(v, e.code);
    ASSERT_EQ(PPR_GetPaperByIndex(ctx, position, PPR_GIVE_FORM, &v), PPR_OK);
    EXPECT_EQ(v, e.formNumber);
    ASSERT_EQ(PPR_GetPaperByIndex(ctx, position, PPR_GIVE_NAME, &v), PPR_OK);
    EXPECT_EQ(u8(reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(v))), u8(e.name));
    ASSERT_EQ(PPR_GetPaperByIndex(ctx, position, PPR_GIVE_SIZE, &v), PPR_OK);
    EXPECT_EQ(v & 0xFFFFFFFFu, ULONGLONG(e.width / 100));
    EXPECT_EQ(v >> 32, ULONGLONG(e.length / 100));
}

TEST_F(PprPaper, ListOfEachStandardModelWithUserForms)
{
    for (const ModelFiles &files : {kColour, kFax}) {
        SCOPED_TRACE(files.main);
        TearDown();
        SetUp();
        prepare(files, kMerging);
        addForm(u"My 200x300", 200000, 300000);
        addForm(u"Second", 150000, 200000);
        addForm(u"Too small", 50000, 50000);
        addForm(u"Third", 150000, 200000);
        ASSERT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);
        ASSERT_TRUE(PPR_HasPaperList(ctx()));

        /* Capacity 13 (header entry 41) with 11 model papers: two user forms are added. */
        WORD count = 0;
        ASSERT_EQ(PPR_GetPaperCount(ctx(), &count, PPR_MODEL_PAPERS), PPR_OK);
        EXPECT_EQ(count, 11);
        ASSERT_EQ(PPR_GetPaperCount(ctx(), &count, PPR_ADDED_FORMS), PPR_OK);
        EXPECT_EQ(count, 2);
        ASSERT_EQ(PPR_GetPaperCount(ctx(), &count, PPR_ALL_PAPERS), PPR_OK);
        EXPECT_EQ(count, 13);
        ASSERT_EQ(PPR_GetPaperCount(ctx(), &count, PPR_ALL_BUT_CUSTOM), PPR_OK);
        EXPECT_EQ(count, 12) << "less the custom paper";
        EXPECT_EQ(PPR_GetPaperCount(ctx(), &count, 5), PPR_BAD_ARGUMENT);

        for (int i = 0; i < 11; ++i)
            expect_item(ctx(), i, kModelItems[i]);
        expect_item(ctx(), 11, {kFirstUserForm, u"My 200x300", 200000, 300000, 512});
        expect_item(ctx(), 12, {kFirstUserForm + 1, u"Second", 150000, 200000, 513});
        ULONGLONG v = 0;
        EXPECT_EQ(PPR_GetPaperByIndex(ctx(), 13, PPR_GIVE_CODE, &v), PPR_NOT_FOUND);
        EXPECT_EQ(PPR_GetPaperByIndex(ctx(), -1, PPR_GIVE_CODE, &v), PPR_NOT_FOUND);
        EXPECT_EQ(PPR_GetPaperByIndex(ctx(), 0, 5, &v), PPR_BAD_ARGUMENT);
        EXPECT_EQ(PPR_FreePaperList(ctx()), PPR_OK);
        EXPECT_FALSE(PPR_HasPaperList(ctx()));
    }
}

TEST_F(PprPaper, UserPaperItemTakesTheDefaultSizeAndTheRecordsMargins)
{
    prepare(kColour, kMerging);
    ASSERT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);
    /* The user-size paper: A4 (the paper size setting's default), margins 42 on each side. */
    PprPair size{}, printable{}, leftBottom{}, rightTop{};
    ASSERT_EQ(PPR_GetPaperMargins(ctx(), 256, &size, &printable, &leftBottom, &rightTop), PPR_OK);
    EXPECT_EQ(size.first, 2100);
    EXPECT_EQ(size.second, 2970);
    EXPECT_EQ(printable.first, 2016);
    EXPECT_EQ(printable.second, 2886);
    EXPECT_EQ(leftBottom.first, 42);
    EXPECT_EQ(leftBottom.second, 42);
    EXPECT_EQ(rightTop.first, 42);
    EXPECT_EQ(rightTop.second, 42);
    EXPECT_EQ(PPR_GetPaperMargins(ctx(), 999, &size, nullptr, nullptr, nullptr), PPR_NOT_FOUND);
}

TEST_F(PprPaper, MarginsOfAnItemWithItsImageableArea)
{
    prepare(kColour, kMerging);
    addFormWithArea(u"Letter Margins", 215900, 279400, {4230, 4230, 211670, 275170});
    ASSERT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);
    PprPair size{}, printable{}, leftBottom{}, rightTop{};
    ASSERT_EQ(PPR_GetPaperMargins(ctx(), 512, &size, &printable, &leftBottom, &rightTop), PPR_OK);
    EXPECT_EQ(size.first, 2159);
    EXPECT_EQ(size.second, 2794);
    EXPECT_EQ(printable.first, 2074);
    EXPECT_EQ(printable.second, 2709);
    EXPECT_EQ(leftBottom.first, 42);
    EXPECT_EQ(leftBottom.second, 42);
    EXPECT_EQ(rightTop.first, 42);
    EXPECT_EQ(rightTop.second, 42);
}

TEST_F(PprPaper, FindAndArrays)
{
    prepare(kColour, kMerging);
    addForm(u"Statement Plus", 140000, 216000);
    ASSERT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);

    EXPECT_EQ(find(PPR_BY_CODE, 9, PPR_GIVE_FORM), 9u);
    EXPECT_EQ(find(PPR_BY_CODE, 9, PPR_GIVE_SIZE), 2100u | (2970ull << 32));
    EXPECT_EQ(find(PPR_BY_FORM, kPostcardForm, PPR_GIVE_CODE), 307u);
    EXPECT_EQ(find(PPR_BY_NAME, reinterpret_cast<ULONG_PTR>(u"Statement Plus"), PPR_GIVE_CODE), 512u);
    find(PPR_BY_NAME, reinterpret_cast<ULONG_PTR>(u"statement plus"), PPR_GIVE_CODE, PPR_NOT_FOUND);
    find(PPR_BY_CODE, 4, PPR_GIVE_CODE, PPR_NOT_FOUND);
    find(PPR_BY_NAME, 0, PPR_GIVE_CODE, PPR_BAD_ARGUMENT);
    find(4, 9, PPR_GIVE_CODE, PPR_BAD_ARGUMENT);
    find(PPR_BY_CODE, 9, 0, PPR_BAD_ARGUMENT);

    void *array = nullptr, *custom = nullptr;
    DWORD bytes = 0;
    ASSERT_EQ(PPR_GetPaperArrays(ctx(), PPR_ARRAY_CODES, &array, &bytes, FALSE, &custom), PPR_OK);
    EXPECT_EQ(bytes, 11u * 2);
    EXPECT_EQ(custom, nullptr);
    const WORD codes[] = {1, 5, 8, 9, 11, 13, 307, 262, 3, 12, 512};
    EXPECT_EQ(std::memcmp(array, codes, sizeof codes), 0);
    GlobalFree(array);

    ASSERT_EQ(PPR_GetPaperArrays(ctx(), PPR_ARRAY_FORMS, &array, &bytes, TRUE, &custom), PPR_OK);
    EXPECT_EQ(bytes, 12u * 2);
    ASSERT_NE(custom, nullptr);
    EXPECT_EQ(static_cast<BYTE *>(custom) - static_cast<BYTE *>(array), 7 * 2) << "the user-size paper's entry";
    EXPECT_EQ(plat::load<WORD>(custom), 0);
    EXPECT_EQ(plat::load<WORD>(static_cast<BYTE *>(array) + 11 * 2), kFirstUserForm);
    GlobalFree(array);

    ASSERT_EQ(PPR_GetPaperArrays(ctx(), PPR_ARRAY_NAMES, &array, &bytes, FALSE, nullptr), PPR_OK);
    EXPECT_EQ(bytes, 11u * 128);
    EXPECT_EQ(u8(reinterpret_cast<LPCWSTR>(static_cast<BYTE *>(array) + 3 * 128)), "A4");
    GlobalFree(array);

    ASSERT_EQ(PPR_GetPaperArrays(ctx(), PPR_ARRAY_SIZES, &array, &bytes, FALSE, nullptr), PPR_OK);
    EXPECT_EQ(bytes, 11u * 8);
    const PprPair last = plat::load<PprPair>(static_cast<BYTE *>(array) + 10 * 8);
    EXPECT_EQ(last.first, 1400);
    EXPECT_EQ(last.second, 2160);
    GlobalFree(array);

    EXPECT_EQ(PPR_GetPaperArrays(ctx(), 5, &array, &bytes, FALSE, nullptr), PPR_BAD_ARGUMENT);
    EXPECT_EQ(PPR_GetPaperArrays(ctx(), 1, nullptr, &bytes, FALSE, nullptr), PPR_BAD_ARGUMENT);
}

TEST_F(PprPaper, NoListWithoutFormsMerging)
{
    for (const char *cfg : {"[DME,1]\nformdb.mode=0\n", "", "[Tarvel_CX_1500]\nCOMMENT=x\n"}) {
        SCOPED_TRACE(cfg);
        TearDown();
        SetUp();
        prepare(kColour, cfg);
        EXPECT_FALSE(PPR_IsFormsMergeEnabled(ctx(), rec_.pd()));
        EXPECT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);
        EXPECT_FALSE(PPR_HasPaperList(ctx()));
        WORD count = 7;
        EXPECT_EQ(PPR_GetPaperCount(ctx(), &count, PPR_ALL_PAPERS), PPR_NO_LIST);
        EXPECT_EQ(count, 7) << "the output is left alone";
        ULONGLONG v = 0;
        EXPECT_EQ(PPR_FindPaper(ctx(), PPR_BY_CODE, 9, PPR_GIVE_CODE, &v), PPR_NO_LIST);
        EXPECT_EQ(PPR_GetPaperByIndex(ctx(), 0, PPR_GIVE_CODE, &v), PPR_NO_LIST);
        EXPECT_EQ(PPR_GetPaperMargins(ctx(), 9, nullptr, nullptr, nullptr, nullptr), PPR_NO_LIST);
        void *array = nullptr;
        DWORD bytes = 0;
        EXPECT_EQ(PPR_GetPaperArrays(ctx(), 1, &array, &bytes, FALSE, nullptr), PPR_NO_LIST);
    }

    /* Formdb mode 1 with setting 5201 off. */
    ASSERT_EQ(put(5201, nullptr, rec_.pd(), 0), DMA_OK);
    EXPECT_FALSE(PPR_IsFormsMergeEnabled(ctx(), rec_.pd()));
    EXPECT_FALSE(PPR_IsFormsMergeEnabled(ctx(), nullptr));
    EXPECT_FALSE(PPR_IsFormsMergeEnabled(nullptr, rec_.pd()));

    EXPECT_EQ(PPR_BuildPaperList(printer(), nullptr, rec_.pd()), PPR_NO_CONTEXT);
    EXPECT_EQ(PPR_FreePaperList(nullptr), PPR_NO_CONTEXT);
    WORD count = 0;
    EXPECT_EQ(PPR_GetPaperCount(nullptr, &count, 1), PPR_NO_CONTEXT);
    EXPECT_FALSE(PPR_HasPaperList(nullptr));
}

TEST_F(PprPaper, ModelPaperWithoutAFormFailsTheBuild)
{
    prepare(kColour, kMerging, false);
    EXPECT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_BAD_ARGUMENT) << "no form for Postcard";
    EXPECT_FALSE(PPR_HasPaperList(ctx()));

    /* A list built before is dropped by a failed build. */
    addModelForms();
    ASSERT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);
    ASSERT_TRUE(DeleteFormW(printer(), const_cast<LPWSTR>(u"Custom Size")));
    EXPECT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_BAD_ARGUMENT);
    EXPECT_FALSE(PPR_HasPaperList(ctx()));
}

TEST_F(PprPaper, CapacityOfTheList)
{
    struct Case {
        WORD capacity;
        int result;
        WORD added;
    } cases[] = {{11, PPR_OK, 0}, {10, PPR_BAD_ARGUMENT, 0}, {12, PPR_OK, 1}, {20, PPR_OK, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.capacity);
        TearDown();
        SetUp();
        mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
        m.main.entries[41] = mw::eU16(c.capacity);
        m.companion.entries[41] = mw::eU16(c.capacity);
        installWritten(m, kMerging, false);
        ASSERT_FALSE(HasFatalFailure());
        addModelForms();
        addForm(u"One", 150000, 200000);
        addForm(u"Two", 150000, 200000);
        addForm(u"Three", 150000, 200000);
        ASSERT_EQ(put(5201, nullptr, rec_.pd(), 1), DMA_OK);
        EXPECT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), c.result);
        WORD count = 0;
        if (c.result == PPR_OK) {
            ASSERT_EQ(PPR_GetPaperCount(ctx(), &count, PPR_ADDED_FORMS), PPR_OK);
            EXPECT_EQ(count, c.added);
        }
    }
}

TEST_F(PprPaper, SpoolerForms)
{
    install(kColour, "");
    addModelForms();

    FORM_INFO_1W *forms = nullptr;
    DWORD needed = 0, count = 0;
    ASSERT_EQ(PPR_EnumForms(printer(), &forms, &needed, &count), PPR_FORM_OK);
    EXPECT_EQ(count, 120u);
    EXPECT_GT(needed, 120 * sizeof(FORM_INFO_1W));
    EXPECT_EQ(u8(forms[8].pName), "A4");
    EXPECT_EQ(u8(forms[kPostcardForm - 1].pName), "Postcard");
    GlobalFree(forms);
    EXPECT_EQ(PPR_EnumForms(printer(), nullptr, &needed, &count), PPR_FORM_NO_MEMORY);
    EXPECT_EQ(PPR_EnumForms(nullptr, &forms, &needed, &count), PPR_FORM_SPOOLER);
    EXPECT_EQ(forms, nullptr);
    EXPECT_EQ(count, 0u);

    /* Either call of the protocol fails: a spooler failure. */
    for (unsigned n : {1u, 2u}) {
        plat::spool_fail_after(plat::SpoolCall::EnumForms, n, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(PPR_EnumForms(printer(), &forms, &needed, &count), PPR_FORM_SPOOLER) << n;
        EXPECT_EQ(forms, nullptr);
        EXPECT_EQ(count, 0u);
    }

    EXPECT_TRUE(PPR_IsBuiltinForm(printer(), 9));
    EXPECT_TRUE(PPR_IsBuiltinForm(printer(), 118));
    EXPECT_FALSE(PPR_IsBuiltinForm(printer(), kPostcardForm));
    EXPECT_FALSE(PPR_IsBuiltinForm(printer(), 121));
    EXPECT_FALSE(PPR_IsBuiltinForm(printer(), 0));

    WCHAR name[8] = {};
    EXPECT_EQ(PPR_CopyFormName(printer(), kCustomSizeForm, name, 8), PPR_FORM_OK);
    EXPECT_EQ(std::u16string(name), u"Custom ") << "cut to the buffer";
    EXPECT_EQ(PPR_CopyFormName(printer(), 121, name, 8), PPR_FORM_BEYOND);
    EXPECT_EQ(PPR_CopyFormName(printer(), 9, nullptr, 8), PPR_FORM_NO_MEMORY);
    LPWSTR copy = PPR_GetFormName(printer(), 11);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::u16string(copy), u"A5");
    GlobalFree(copy);
    EXPECT_EQ(PPR_GetFormName(printer(), 121), nullptr);
}

TEST_F(PprPaper, FormsAndModelPaperCodes)
{
    install(kColour, "");
    addModelForms();
    addForm(u"Unknown", 150000, 200000);
    EXPECT_TRUE(PPR_ModelHasPaperCode(printer(), 9));
    EXPECT_TRUE(PPR_ModelHasPaperCode(printer(), 307));
    EXPECT_FALSE(PPR_ModelHasPaperCode(printer(), 2));
    EXPECT_FALSE(PPR_ModelHasPaperCode(nullptr, 9));

    struct Case {
        WORD form;
        int result;
        WORD code;
    } cases[] = {
        {9, PPR_FORM_OK, 9},                   /* built-in, and a paper code of the model */
        {3, PPR_FORM_OK, 3},                   /* Tabloid */
        {kPostcardForm, PPR_FORM_OK, 307},     /* by name */
        {kCustomSizeForm, PPR_FORM_OK, 262},
        {2, PPR_FORM_BEYOND, 0},               /* Letter Small: no paper of that name */
        {121, PPR_FORM_BEYOND, 0},             /* "Unknown" */
        {122, PPR_FORM_NO_MEMORY, 0},          /* no such form */
        {0, PPR_FORM_NO_MEMORY, 0},
    };
    for (const Case &c : cases) {
        WORD code = 0;
        EXPECT_EQ(PPR_FormToModelPaper(printer(), c.form, &code), c.result) << c.form;
        if (c.result == PPR_FORM_OK) {
            EXPECT_EQ(code, c.code) << c.form;
        }
    }
    EXPECT_EQ(PPR_FormToModelPaper(printer(), 9, nullptr), PPR_FORM_NO_MEMORY);
}

TEST_F(PprPaper, TraySettingsTable)
{
    struct Case {
        WORD source;
        WORD ids[5];
    } cases[] = {
        {1, {6145, 6160, 6175, 6190, 6205}},   {3, {6146, 6161, 6176, 6191, 6206}},
        {2, {6147, 6162, 6177, 6192, 6207}},   {257, {6148, 6163, 6178, 6193, 6208}},
        {277, {6149, 6164, 6179, 6194, 6209}}, {261, {6149, 6164, 6179, 6194, 6209}},
        {262, {6150, 6165, 6180, 6195, 6210}}, {11, {6151, 6166, 6181, 6196, 6211}},
        {265, {6152, 6167, 6182, 6197, 6212}}, {266, {6153, 6168, 6183, 6198, 6213}},
        {267, {6154, 6169, 6184, 6199, 6214}}, {268, {6155, 6170, 6185, 6200, 6215}},
        {269, {6156, 6171, 6186, 6201, 6216}}, {270, {6157, 6172, 6187, 6202, 6217}},
        {272, {6158, 6173, 6188, 6203, 6218}}, {271, {6159, 6174, 6189, 6204, 6219}},
        {273, {6220, 6235, 6250, 6265, 6280}},
    };
    for (const Case &c : cases) {
        WORD ids[5] = {};
        ASSERT_TRUE(PPR_GetTraySettingIds(c.source, ids)) << c.source;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(ids[i], c.ids[i]) << c.source << " " << i;
    }
    WORD ids[5] = {1, 2, 3, 4, 5};
    EXPECT_FALSE(PPR_GetTraySettingIds(5, ids));
    EXPECT_EQ(ids[0], 1) << "left alone";
    EXPECT_FALSE(PPR_GetTraySettingIds(1, nullptr));

    WORD width = 0, length = 0;
    ASSERT_TRUE(PPR_GetTrayCustomSizeIds(6149, &width, &length));
    EXPECT_EQ(width, 6194);
    EXPECT_EQ(length, 6209);
    ASSERT_TRUE(PPR_GetTrayCustomSizeIds(6220, &width, &length));
    EXPECT_EQ(width, 6265);
    EXPECT_EQ(length, 6280);
    EXPECT_FALSE(PPR_GetTrayCustomSizeIds(6160, &width, &length));
    EXPECT_FALSE(PPR_GetTrayCustomSizeIds(6145, nullptr, &length));
}

} // namespace
