/*
 * Tests of the value checks: one table of settings, values and operations
 * (header values, copies at the model's limit, public fields, the model's
 * options), the mapping description's free paper source and collation, the
 * ICM fields by system class, the public-field and header checks, the
 * derived dmColor, and the option-list operations and conflict check that
 * fail visibly until they are built.
 */
#include "test_fid_support.h"

#include <tarvel/settings/dms_settings.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_schema.h>


namespace {

using namespace fid_test;

class FidValidate : public SchemaTest {
protected:
    /* Installs the colour model and fills fresh records with its defaults. */
    void prepare(const std::string &cfg = "")
    {
        install(kColour, cfg);
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), u"Tarvel"));
    }
    BOOL check(WORD id, DWORD value, WORD operation)
    {
        EXPECT_EQ(put(id, rec_.dm(), rec_.pd(), value), DMA_OK) << id;
        return FID_ValidateValue(ctx(), id, rec_.dm(), rec_.pd(), operation);
    }
    Records rec_;
};

constexpr WORD kWith = FID_OP_CHECK_MODEL;
constexpr WORD kWithout = FID_OP_CHECK;

TEST_F(FidValidate, ValuesAgainstTheSchemaAndTheModel)
{
    prepare();
    struct Case {
        WORD id;
        DWORD value;
        WORD operation;
        BOOL valid;
    } cases[] = {
        {2, 0x401, kWith, 1},     {2, 0x400, kWith, 0},     {2, 0x401, kWithout, 0},
        {4, 220, kWith, 1},       {4, 212, kWith, 1},       {4, 1604, kWith, 1},
        {4, 216, kWith, 0},       {4, 0, kWith, 0},
        {5, 1384, kWith, 1},      {5, 5700, kWith, 1},      {5, 0, kWith, 0},
        {12, 0, kWith, 0},        {12, 0, kWithout, 0},     {12, 1, kWith, 1},
        {12, 999, kWith, 1},      {12, 1000, kWith, 0},     {12, 1000, kWithout, 1},
        {12, 0xFFFF, kWith, 0},   {12, 0xFFFF, kWithout, 0},
        {7, 1, kWith, 1},         {7, 2, kWithout, 1},      {7, 3, kWith, 0},         {7, 0, kWithout, 0},
        {11, 100, kWith, 1},      {11, 0, kWithout, 0},     {11, 0xFFFF, kWith, 0},
        {13, 7, kWith, 1},        {13, 5, kWith, 0},        {13, 5, kWithout, 1},     {13, 0, kWithout, 0},
        {15, 1, kWith, 1},        {15, 2, kWithout, 1},     {15, 3, kWith, 0},
        {16, 3, kWith, 1},        {16, 4, kWith, 0},        {16, 3, kWithout, 1},     {16, 4, kWithout, 0},
        {17, 4, kWith, 1},        {17, 5, kWithout, 0},
        {18, 0, kWith, 1},        {18, 1, kWithout, 1},     {18, 2, kWith, 0},
        {24, 13, kWith, 1},       {24, 5, kWith, 0},        {24, 5, kWithout, 1},
        {258, 4160, kWith, 1},    {258, 4161, kWith, 0},
        {8, 9, kWith, 1},         {8, 2, kWith, 0},         /* paper size: the model's option list */
        {270, 2, kWith, 1},       {270, 3, kWith, 0},       {270, 3, kWithout, 0},
        {439, 0, kWith, 0},       /* a descriptor that asks the model, which lacks the setting */
    };
    for (const Case &c : cases) {
        EXPECT_EQ(check(c.id, c.value, c.operation), c.valid)
            << "DDMID " << c.id << " value " << c.value << " operation " << c.operation;
    }

    /* Settings without a list row, or that cannot be read, are not valid. */
    EXPECT_FALSE(FID_ValidateValue(ctx(), 20, rec_.dm(), rec_.pd(), kWith));
    EXPECT_FALSE(FID_ValidateValue(ctx(), 8203, rec_.dm(), nullptr, kWith));
    EXPECT_FALSE(FID_ValidateValue(nullptr, 270, rec_.dm(), rec_.pd(), kWith)) << "no model to ask";
}

TEST_F(FidValidate, ModelNameOfTheHeader)
{
    prepare();
    EXPECT_TRUE(FID_ValidateValue(ctx(), 259, rec_.dm(), rec_.pd(), kWith));
    ASSERT_EQ(putText(259, rec_.dm(), rec_.pd(), u"Tarvel CX 1500F"), DMA_OK);
    EXPECT_FALSE(FID_ValidateValue(ctx(), 259, rec_.dm(), rec_.pd(), kWith));
    EXPECT_FALSE(FID_ValidateValue(nullptr, 259, rec_.dm(), rec_.pd(), kWith));
}

/* With the mapping description from the file, forms merging on and the item's merge 1, any value passes. */
TEST_F(FidValidate, MappedPaperSourceAndCollateTakeAnyValue)
{
    prepare("[DME,1]\nformdb.mode=1\n");
    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 1), DMA_OK);
    EXPECT_TRUE(check(13, 5, kWith));
    EXPECT_TRUE(check(13, 0, kWithout));
    EXPECT_TRUE(check(18, 7, kWith));

    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 0), DMA_OK);
    EXPECT_FALSE(check(13, 5, kWith));
    EXPECT_FALSE(check(18, 7, kWith));
}

TEST_F(FidValidate, MappedValuesNeedTheSectionAndMerge1)
{
    prepare("[DME,1]\ncollate.merge=0\n");
    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 1), DMA_OK);
    EXPECT_FALSE(check(18, 7, kWith)) << "collate merge 0";
    EXPECT_TRUE(check(13, 0, kWithout)) << "bin merge stays 1";
}

TEST_F(FidValidate, MappingWithoutItsSectionChecksAsUsual)
{
    prepare("[Tarvel_CX_1500]\nCOMMENT=none\n");
    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 1), DMA_OK);
    EXPECT_FALSE(check(18, 7, kWith)) << "the built-in description is not configured";
}

TEST_F(FidValidate, IcmFieldsBySystemClass)
{
    prepare();
    struct Case {
        DWORD major, platform;
        DWORD value;
        BOOL valid;
    } cases[] = {
        {10, VER_PLATFORM_WIN32_NT, 4, 1},     {10, VER_PLATFORM_WIN32_NT, 5, 0},
        {10, VER_PLATFORM_WIN32_NT, 0, 0},     {4, VER_PLATFORM_WIN32_NT, 99, 1},
        {4, VER_PLATFORM_WIN32_WINDOWS, 99, 1},
    };
    for (const Case &c : cases) {
        plat::version_set(c.major, 0, 1000, 0, VER_NT_WORKSTATION, c.platform);
        EXPECT_EQ(check(22, c.value, kWith), c.valid) << c.major << " " << c.value;
        EXPECT_EQ(check(23, c.value, kWithout), c.valid) << c.major << " " << c.value;
    }
    plat::version_fail(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(check(22, 1, kWith)) << "the system class cannot be read";
    plat::version_fail(0);
}

TEST_F(FidValidate, PublicFieldsBeforeAMerge)
{
    prepare();
    ASSERT_EQ(put(23, rec_.dm(), rec_.pd(), 2), DMA_OK);
    EXPECT_TRUE(FID_ValidatePublicField(ctx(), rec_.dm(), rec_.pd(), 23, kWith));
    for (DWORD size : {200u, 211u}) {
        ASSERT_EQ(put(4, rec_.dm(), rec_.pd(), size), DMA_OK);
        for (WORD id : {22, 23, 24, 25})
            EXPECT_FALSE(FID_ValidatePublicField(ctx(), rec_.dm(), rec_.pd(), id, kWith)) << id << " " << size;
    }
    ASSERT_EQ(put(4, rec_.dm(), rec_.pd(), 212), DMA_OK);
    EXPECT_TRUE(FID_ValidatePublicField(ctx(), rec_.dm(), rec_.pd(), 23, kWith));
    EXPECT_TRUE(FID_ValidatePublicField(ctx(), rec_.dm(), rec_.pd(), 24, kWith)) << "only the size is checked";
    ASSERT_EQ(put(7, rec_.dm(), rec_.pd(), 9), DMA_OK);
    EXPECT_FALSE(FID_ValidatePublicField(ctx(), rec_.dm(), rec_.pd(), 7, kWith));
    EXPECT_TRUE(FID_ValidatePublicField(ctx(), rec_.dm(), rec_.pd(), 14, kWith)) << "not validated";
}

TEST_F(FidValidate, HeaderOfThisDriversDevmode)
{
    prepare();
    EXPECT_TRUE(FID_ValidateHeaderIds(ctx(), rec_.dm(), rec_.pd()));
    EXPECT_FALSE(FID_ValidateHeaderIds(ctx(), nullptr, rec_.pd()));
    for (WORD id : {2, 4, 5, 258}) {
        Records other = rec_;
        ASSERT_EQ(put(id, other.dm(), other.pd(), 1), DMA_OK);
        EXPECT_FALSE(FID_ValidateHeaderIds(ctx(), other.dm(), other.pd())) << id;
    }
}

/* The check behind DevQueryPrintEx: the header values without a model, and nothing read past a short devmode. */
TEST_F(FidValidate, DevQueryPrintCheck)
{
    prepare();
    EXPECT_EQ(DMS_DevQueryPrintCheck(rec_.dm()), 1);
    ASSERT_EQ(put(258, rec_.dm(), rec_.pd(), 4161), DMA_OK);
    EXPECT_EQ(DMS_DevQueryPrintCheck(rec_.dm()), 0);
    EXPECT_EQ(DMS_DevQueryPrintCheck(nullptr), 0);
    std::vector<BYTE> bare(220, 0);
    plat::store<WORD>(&bare[64], 0x401);
    plat::store<WORD>(&bare[68], 220);
    EXPECT_EQ(DMS_DevQueryPrintCheck(bare.data()), 0) << "no driver extra: refused before 258 is read";
}

TEST_F(FidValidate, DerivedColour)
{
    const WORD one = 1, zero = 0;
    const BYTE byteOne = 1;
    SHORT out = 0;
    EXPECT_TRUE(FID_DeriveColor(SVT_UINT16, SVT_UINT16, &one, &one, &out));
    EXPECT_EQ(out, 1);
    EXPECT_TRUE(FID_DeriveColor(SVT_BYTE, SVT_UINT16, &byteOne, &one, &out));
    EXPECT_EQ(out, 1);
    EXPECT_TRUE(FID_DeriveColor(SVT_UINT16, SVT_UINT16, &zero, &one, &out));
    EXPECT_EQ(out, 2);
    EXPECT_TRUE(FID_DeriveColor(SVT_UINT16, SVT_UINT16, &one, &zero, &out));
    EXPECT_EQ(out, 2);
    EXPECT_FALSE(FID_DeriveColor(SVT_UINT16, SVT_UINT16, nullptr, &one, &out));
}

} // namespace
