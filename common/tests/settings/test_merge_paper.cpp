/*
 * Tests of the paper resolution of the devmode merge: one table of requests
 * by code, name and size against built-in and user spooler forms (search
 * orders with and without the custom flag, the user size with and without
 * flag 5200, the size tolerance just inside and just outside, the custom
 * range), then storing a resolved paper, the printer's paper as fall-back,
 * the custom paper slots and the paper fields after a change.
 */
#include "test_fid_support.h"

#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_merge.h>
#include <tarvel/stores/pdt_info.h>

namespace {

using namespace fid_test;

/* Spooler form numbers: 118 built-in forms, then the user forms in the order they are added. */
constexpr WORD kPostcardForm = 119;
constexpr WORD kCustomSizeForm = 120;
constexpr WORD kUserForm = 121; /* "My 200x300" */

constexpr DWORD kCode = 0x2, kSize = 0xC, kName = 0x10000;

class MergePaper : public SchemaTest {
protected:
    void prepare(const std::string &cfg = "")
    {
        install(kColour, cfg);
        addModelForms();
        addForm(u"My 200x300", 200000, 300000);
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), u"Tarvel"));
    }
    Records rec_;
};

struct ResolveCase {
    const char *what;
    WORD code, width, length;
    const char16_t *name;
    DWORD fields;
    BOOL custom;
    DWORD userSizeFlag;
    BOOL found;
    WORD resultCode, resultWidth, resultLength;
    const char16_t *resultName;
};

TEST_F(MergePaper, ResolutionTable)
{
    prepare();
    const ResolveCase cases[] = {
        {"built-in form by code", 9, 0, 0, nullptr, kCode, 0, 0, 1, 9, 2100, 2970, u"A4"},
        {"built-in form the model lacks", 2, 0, 0, nullptr, kCode, 0, 0, 1, 2, 2159, 2794, u"Letter Small"},
        {"built-in form by name", 0, 0, 0, u"A5", kName, 0, 0, 1, 11, 1480, 2100, u"A5"},
        {"user form the model names", 0, 0, 0, u"Postcard", kName, 0, 0, 1, kPostcardForm, 1000, 1480,
         u"Postcard"},
        {"user form the model does not know: custom size", 0, 0, 0, u"My 200x300", kName, 0, 0, 1, 256, 2000, 3000,
         nullptr},
        {"no such form", 0, 0, 0, u"Nonexistent", kName, 0, 0, 0, 0, 0, 0, nullptr},
        {"user form by code", kUserForm, 0, 0, nullptr, kCode, 0, 0, 1, 256, 2000, 3000, nullptr},
        {"no form of that code", 400, 0, 0, nullptr, kCode, 0, 0, 0, 0, 0, 0, nullptr},
        {"size of A4", 0, 2100, 2970, nullptr, kSize, 0, 0, 1, 9, 2100, 2970, u"A4"},
        {"size just inside", 0, 2110, 2960, nullptr, kSize, 0, 0, 1, 9, 2100, 2970, u"A4"},
        {"size just outside: custom size", 0, 2111, 2970, nullptr, kSize, 0, 0, 1, 256, 2111, 2970, nullptr},
        {"A4 turned", 0, 2970, 2100, nullptr, kSize, 0, 0, 1, 9, 2100, 2970, u"A4"},
        {"size of a form the model does not know", 0, 2000, 3005, nullptr, kSize, 0, 0, 1, 256, 2000, 3005,
         nullptr},
        {"size outside the custom range", 0, 500, 500, nullptr, kSize, 0, 0, 0, 0, 0, 0, nullptr},
        {"size with one side 0", 0, 2100, 0, nullptr, kSize, 0, 0, 0, 0, 0, 0, nullptr},
        {"size first: the code's form is skipped when the model lacks its name", 10, 2100, 2970, nullptr,
         kCode | kSize, 0, 0, 1, 9, 2100, 2970, u"A4"},
        {"size first, before the code", 5, 2100, 2970, nullptr, kCode | kSize, 0, 0, 1, 9, 2100, 2970, u"A4"},
        {"custom flag: code first", 5, 2100, 2970, nullptr, kCode | kSize, 1, 0, 1, 5, 2159, 3556, u"Legal"},
        {"custom flag: name before size", 0, 2100, 2970, u"A5", kName | kSize, 1, 0, 1, 11, 1480, 2100, u"A5"},
        {"size candidates by name", 0, 2100, 2970, u"Custom Size", kName | kSize, 0, 0, 1, kCustomSizeForm, 2100,
         2970, u"Custom Size"},
        {"user size without 5200: by size", 256, 2100, 2970, nullptr, kCode | kSize, 0, 0, 1, 9, 2100, 2970,
         u"A4"},
        {"user size without 5200 and no size", 256, 0, 0, nullptr, kCode, 0, 0, 0, 0, 0, 0, nullptr},
        {"user size with 5200: taken as it stands", 256, 500, 500, nullptr, kCode | kSize, 0, 1, 1, 256, 500, 500,
         nullptr},
        {"user size with 5200, only the code: the application's size", 256, 1234, 2345, nullptr, kCode, 0, 1, 1,
         256, 1234, 2345, nullptr},
        {"user size with 5200, only the length", 256, 1234, 2345, nullptr, 0x4, 0, 1, 0, 0, 0, 0, nullptr},
        {"no paper bit", 9, 2100, 2970, u"A4", 0x1, 0, 0, 0, 0, 0, 0, nullptr},
    };
    for (const ResolveCase &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(put(5200, rec_.dm(), rec_.pd(), c.userSizeFlag), DMA_OK);
        PaperRequest request{c.code, c.width, c.length, const_cast<LPWSTR>(c.name)};
        PaperRequest result{7, 7, 7, nullptr};
        ASSERT_EQ(FID_ResolvePaper(ctx(), rec_.dm(), rec_.pd(), printer(), &request, &result, c.fields, c.custom),
                  c.found);
        EXPECT_EQ(result.code, c.resultCode);
        EXPECT_EQ(result.width, c.resultWidth);
        EXPECT_EQ(result.length, c.resultLength);
        EXPECT_EQ(u8(result.formName), u8(c.resultName));
        FID_FreePaperRequest(&result);
        EXPECT_EQ(result.formName, nullptr);
    }
}

/* When the spooler cannot list its forms nothing is found by code, name or size. */
TEST_F(MergePaper, SpoolerFailureFindsNothing)
{
    prepare();
    PaperRequest byCode{9, 0, 0, nullptr}, bySize{0, 2100, 2970, nullptr};
    PaperRequest result{};
    plat::spool_fail_after(plat::SpoolCall::EnumForms, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(FID_ResolvePaper(ctx(), rec_.dm(), rec_.pd(), printer(), &byCode, &result, kCode, 0));
    plat::spool_fail_after(plat::SpoolCall::EnumForms, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(FID_ResolvePaper(ctx(), rec_.dm(), rec_.pd(), printer(), &bySize, &result, kSize, 0));
    EXPECT_EQ(result.formName, nullptr);
}

/* With forms merging on every spooler form is taken by code or name. */
TEST_F(MergePaper, FormsMergeTakesEveryForm)
{
    prepare("[DME,1]\nformdb.mode=1\n");
    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 1), DMA_OK);
    PaperRequest request{0, 0, 0, const_cast<LPWSTR>(u"My 200x300")};
    PaperRequest result{};
    ASSERT_TRUE(FID_ResolvePaper(ctx(), rec_.dm(), rec_.pd(), printer(), &request, &result, kName, 0));
    EXPECT_EQ(result.code, kUserForm);
    EXPECT_EQ(result.width, 2000);
    EXPECT_EQ(u8(result.formName), "My 200x300");
    FID_FreePaperRequest(&result);
}

TEST_F(MergePaper, KnownForms)
{
    prepare();
    FORM_INFO_1W *forms = nullptr;
    DWORD needed = 0, count = 0;
    ASSERT_EQ(PPR_EnumForms(printer(), &forms, &needed, &count), PPR_FORM_OK);
    ASSERT_EQ(count, DWORD(kUserForm));
    EXPECT_TRUE(FID_IsKnownForm(ctx(), printer(), 9, &forms[8]));
    EXPECT_TRUE(FID_IsKnownForm(ctx(), printer(), 10, &forms[9])) << "built-in";
    EXPECT_TRUE(FID_IsKnownForm(ctx(), printer(), kPostcardForm, &forms[kPostcardForm - 1])) << "by name";
    EXPECT_FALSE(FID_IsKnownForm(ctx(), printer(), kUserForm, &forms[kUserForm - 1]));
    EXPECT_FALSE(FID_IsKnownForm(ctx(), printer(), 1, nullptr));
    GlobalFree(forms);

    /* A user form of a model paper's size is known when a form of that paper's name exists. */
    addForm(u"Same as A5", 148000, 210000);
    FORM_INFO_1W same{};
    same.pName = const_cast<LPWSTR>(u"Same as A5");
    same.Size = {148000, 210000};
    EXPECT_TRUE(FID_IsKnownForm(ctx(), printer(), 122, &same));
}

TEST_F(MergePaper, StoresThePaperAndItsFlags)
{
    prepare();
    Records out = rec_;
    Records in = rec_;
    ASSERT_EQ(put(8, in.dm(), in.pd(), 11), DMA_OK);
    ASSERT_EQ(put(6, out.dm(), out.pd(), 0x1), DMA_OK);
    ASSERT_TRUE(FID_MergePaper(ctx(), out.dm(), in.dm(), out.pd(), printer(), kCode | 0x1));
    EXPECT_EQ(read(8, out.dm(), out.pd()).number(), 11);
    EXPECT_EQ(read(9, out.dm(), out.pd()).number(), 2100);
    EXPECT_EQ(read(10, out.dm(), out.pd()).number(), 1480);
    EXPECT_EQ(read(19, out.dm(), out.pd()).text(), u"A5");
    EXPECT_EQ(read(6, out.dm(), out.pd()).unsignedNumber(), 0x1u | kCode);

    /* The driver's own input with its custom flag (1353): the size bits too, and code first. */
    ASSERT_EQ(put(1353, in.dm(), in.pd(), 1), DMA_OK);
    ASSERT_EQ(put(9, in.dm(), in.pd(), 1480), DMA_OK);
    ASSERT_EQ(put(10, in.dm(), in.pd(), 1000), DMA_OK);
    ASSERT_TRUE(FID_MergePaper(ctx(), out.dm(), in.dm(), out.pd(), printer(), kCode | kSize));
    EXPECT_EQ(read(8, out.dm(), out.pd()).number(), 11) << "the code wins over the size of a postcard";
    EXPECT_EQ(read(6, out.dm(), out.pd()).unsignedNumber(), 0x1u | kCode | kSize);

    /* A custom size: no form name flag, the size bits. */
    ASSERT_EQ(put(8, in.dm(), in.pd(), 0), DMA_OK);
    ASSERT_EQ(put(9, in.dm(), in.pd(), 3000), DMA_OK);
    ASSERT_EQ(put(10, in.dm(), in.pd(), 2000), DMA_OK);
    ASSERT_EQ(put(6, out.dm(), out.pd(), 0x1 | kName), DMA_OK);
    ASSERT_TRUE(FID_MergePaper(ctx(), out.dm(), in.dm(), out.pd(), printer(), kSize));
    EXPECT_EQ(read(8, out.dm(), out.pd()).number(), 256);
    EXPECT_EQ(read(9, out.dm(), out.pd()).number(), 3000);
    EXPECT_EQ(read(10, out.dm(), out.pd()).number(), 2000);
    EXPECT_EQ(read(19, out.dm(), out.pd()).text(), u"A5") << "a custom size has no name: the old one stays";
    EXPECT_EQ(read(6, out.dm(), out.pd()).unsignedNumber(), 0x1u | kSize);
}

TEST_F(MergePaper, UnresolvedPaperKeepsTheOutputsOrTakesThePrinters)
{
    prepare();
    Records out = rec_;
    Records in = rec_;
    ASSERT_EQ(put(8, in.dm(), in.pd(), 400), DMA_OK);
    ASSERT_TRUE(FID_MergePaper(ctx(), out.dm(), in.dm(), out.pd(), printer(), kCode));
    EXPECT_EQ(read(8, out.dm(), out.pd()).number(), 9) << "the output keeps its paper";

    /* Without an output: the printer's current paper, here Letter. */
    EXPECT_FALSE(FID_MergePaper(ctx(), nullptr, in.dm(), in.pd(), printer(), kCode)) << "the printer has none";
    Records current = rec_;
    ASSERT_EQ(put(8, current.dm(), current.pd(), 1), DMA_OK);
    ASSERT_EQ(put(9, current.dm(), current.pd(), 2794), DMA_OK);
    ASSERT_EQ(put(10, current.dm(), current.pd(), 2159), DMA_OK);
    ASSERT_EQ(putText(19, current.dm(), current.pd(), u"Letter"), DMA_OK);
    BYTE *info = PDT_GetPrinterInfo(printer(), 2);
    ASSERT_NE(info, nullptr);
    std::vector<BYTE> devmode(current.image.begin(), current.image.begin() + SETTINGS_DEVMODE_SIZE);
    reinterpret_cast<PRINTER_INFO_2W *>(info)->pDevMode = reinterpret_cast<DEVMODEW *>(devmode.data());
    ASSERT_TRUE(SetPrinterW(printer(), 2, info, 0));
    GlobalFree(info);

    ASSERT_TRUE(FID_MergePaper(ctx(), nullptr, in.dm(), in.pd(), printer(), kCode));
    EXPECT_EQ(read(8, in.dm(), in.pd()).number(), 1);
    EXPECT_EQ(read(9, in.dm(), in.pd()).number(), 2794);
    EXPECT_EQ(read(10, in.dm(), in.pd()).number(), 2159);
    EXPECT_EQ(read(19, in.dm(), in.pd()).text(), u"Letter");
    EXPECT_FALSE(FID_TakePaperFromPrinter(in.dm(), in.pd(), nullptr));
}

TEST_F(MergePaper, CustomPaperSlots)
{
    prepare();
    struct Slot {
        WORD code;
        int slot;
    } slots[] = {{262, 0}, {266, 4}, {287, 5}, {301, 19}};
    for (const Slot &s : slots) {
        WORD width = 0, length = 0, nameId = 0;
        WCHAR name[33] = {};
        ASSERT_TRUE(FID_FindCustomPaperSlot(&s.code, SVT_UINT16, &width, &length, &nameId, name, 33)) << s.code;
        EXPECT_EQ(width, 5889 + s.slot);
        EXPECT_EQ(length, 5909 + s.slot);
        EXPECT_EQ(nameId, 5929 + s.slot);
        const std::u16string expected = s.slot < 9 ? u"Custom Paper " + std::u16string(1, u'1' + s.slot)
                                                   : u"Custom Paper " + plat::utf8_to_utf16(std::to_string(s.slot + 1));
        EXPECT_EQ(std::u16string(name), expected);
    }
    for (WORD code : {256, 261, 267, 286, 302, 9}) {
        WORD width = 0;
        EXPECT_FALSE(FID_FindCustomPaperSlot(&code, SVT_UINT16, &width, nullptr, nullptr, nullptr, 0)) << code;
    }

    const WORD code = 264;
    ASSERT_EQ(put(5891, rec_.dm(), rec_.pd(), 1234), DMA_OK);
    ASSERT_EQ(putText(5931, rec_.dm(), rec_.pd(), u"Receipt"), DMA_OK);
    PaperRequest size{};
    WCHAR name[33] = {};
    ASSERT_TRUE(FID_GetCustomPaperSize(rec_.dm(), rec_.pd(), &code, SVT_UINT16, &size, name, 33));
    EXPECT_EQ(size.code, 264);
    EXPECT_EQ(size.width, 1234);
    EXPECT_EQ(size.length, 2970);
    EXPECT_EQ(std::u16string(size.formName), u"Receipt");
    const WORD notSlot = 9;
    EXPECT_FALSE(FID_GetCustomPaperSize(rec_.dm(), rec_.pd(), &notSlot, SVT_UINT16, &size, name, 33));

    EXPECT_TRUE(FID_IsCustomPaperName(rec_.dm(), rec_.pd(), u"Receipt (123 x 297 mm)", FID_CUSTOM_NAMES_STORED));
    EXPECT_FALSE(FID_IsCustomPaperName(rec_.dm(), rec_.pd(), u"Receipt", FID_CUSTOM_NAMES_DEFAULT));
    EXPECT_TRUE(FID_IsCustomPaperName(rec_.dm(), rec_.pd(), u"Custom Paper 3", FID_CUSTOM_NAMES_DEFAULT));
    EXPECT_FALSE(FID_IsCustomPaperName(rec_.dm(), rec_.pd(), u"A4", FID_CUSTOM_NAMES_STORED));
    EXPECT_FALSE(FID_IsCustomPaperName(rec_.dm(), rec_.pd(), u"Custom Paper 3", 3));
}

TEST_F(MergePaper, CustomRangeOfTheModel)
{
    prepare();
    /* Paper 262: extents 900 x 1480 to 2970 x 4318, margins 42 on each side. */
    FidPaperLimits limits{};
    ASSERT_TRUE(FID_CustomPaperLimits(ctx(), &limits));
    EXPECT_EQ(limits.minWidth, 984);
    EXPECT_EQ(limits.maxWidth, 3054);
    EXPECT_EQ(limits.minLength, 1564);
    EXPECT_EQ(limits.maxLength, 4402);
    EXPECT_FALSE(FID_CustomPaperLimits(nullptr, &limits));
}

TEST_F(MergePaper, PaperFieldsAfterAChange)
{
    prepare();
    /* A built-in form of the printer: the name stays, the flags are redone. */
    ASSERT_EQ(put(8, rec_.dm(), rec_.pd(), 11), DMA_OK);
    ASSERT_EQ(putText(19, rec_.dm(), rec_.pd(), u"A5"), DMA_OK);
    ASSERT_EQ(put(6, rec_.dm(), rec_.pd(), 0x1), DMA_OK);
    ASSERT_TRUE(FID_SyncPaperFields(ctx(), printer(), rec_.dm(), rec_.pd()));
    EXPECT_EQ(read(8, rec_.dm(), rec_.pd()).number(), 11);
    EXPECT_EQ(read(9, rec_.dm(), rec_.pd()).number(), 2100);
    EXPECT_EQ(read(6, rec_.dm(), rec_.pd()).unsignedNumber(), 0x1u | kName);

    /* A model paper that is no form number: its name, then resolved by that name. */
    ASSERT_EQ(put(8, rec_.dm(), rec_.pd(), 307), DMA_OK);
    ASSERT_TRUE(FID_SyncPaperFields(ctx(), printer(), rec_.dm(), rec_.pd()));
    EXPECT_EQ(read(19, rec_.dm(), rec_.pd()).text(), u"Postcard");
    EXPECT_EQ(read(8, rec_.dm(), rec_.pd()).number(), kPostcardForm);
    EXPECT_EQ(read(10, rec_.dm(), rec_.pd()).number(), 1000);

    /* A custom slot: the slot's default name. */
    addForm(u"Custom Paper 2", 150000, 250000);
    ASSERT_EQ(put(8, rec_.dm(), rec_.pd(), 263), DMA_OK);
    ASSERT_TRUE(FID_SyncPaperFields(ctx(), printer(), rec_.dm(), rec_.pd()));
    EXPECT_EQ(read(19, rec_.dm(), rec_.pd()).text(), u"Custom Paper 2");
    EXPECT_EQ(read(8, rec_.dm(), rec_.pd()).number(), 256) << "a form the model does not know: its size";
    EXPECT_EQ(read(10, rec_.dm(), rec_.pd()).number(), 1500);
    EXPECT_EQ(read(9, rec_.dm(), rec_.pd()).number(), 2500);

    /* The user size resolves its own size. */
    ASSERT_EQ(put(8, rec_.dm(), rec_.pd(), 256), DMA_OK);
    ASSERT_EQ(put(10, rec_.dm(), rec_.pd(), 2100), DMA_OK);
    ASSERT_EQ(put(9, rec_.dm(), rec_.pd(), 2970), DMA_OK);
    ASSERT_EQ(put(6, rec_.dm(), rec_.pd(), kSize), DMA_OK);
    ASSERT_TRUE(FID_SyncPaperFields(ctx(), printer(), rec_.dm(), rec_.pd()));
    EXPECT_EQ(read(8, rec_.dm(), rec_.pd()).number(), 9);
    EXPECT_EQ(read(19, rec_.dm(), rec_.pd()).text(), u"A4");
}

TEST_F(MergePaper, PaperFieldsWithFormsMerging)
{
    prepare("[DME,1]\nformdb.mode=1\n");
    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 1), DMA_OK);
    ASSERT_EQ(PPR_BuildPaperList(printer(), ctx(), rec_.pd()), PPR_OK);
    /* 512 is the first user form added to the list. */
    ASSERT_EQ(put(8, rec_.dm(), rec_.pd(), 512), DMA_OK);
    ASSERT_TRUE(FID_SyncPaperFields(ctx(), printer(), rec_.dm(), rec_.pd()));
    EXPECT_EQ(read(19, rec_.dm(), rec_.pd()).text(), u"My 200x300") << "the paper list's name for 512";
    EXPECT_EQ(read(8, rec_.dm(), rec_.pd()).number(), kUserForm);
    EXPECT_EQ(read(10, rec_.dm(), rec_.pd()).number(), 2000);
}

} // namespace
