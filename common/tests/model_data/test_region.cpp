/*
 * Paper rules: the custom paper codes and slots, the paper region of each
 * country code, the country table's values A and B, and the answers read
 * from the user locale (cached for the process, 2 and 254 when the locale
 * cannot be read).
 */
#include "test_mdl_support.h"

#include <plat/sysinfo.h>

using namespace mdl_test;

namespace {

class PaperRules : public MdlTest {};

TEST_F(PaperRules, CustomPaperCodesAndSlots)
{
    struct Case {
        int code;
        BOOL custom, user;
        WORD slot;
    } cases[] = {
        {255, FALSE, FALSE, FID_NO_SLOT}, {256, FALSE, TRUE, FID_NO_SLOT}, {261, FALSE, FALSE, FID_NO_SLOT},
        {262, TRUE, TRUE, 0},             {266, TRUE, TRUE, 4},            {267, FALSE, FALSE, FID_NO_SLOT},
        {286, FALSE, FALSE, FID_NO_SLOT}, {287, TRUE, TRUE, 5},            {300, TRUE, TRUE, 18},
        {301, TRUE, TRUE, 19},            {302, FALSE, FALSE, FID_NO_SLOT}, {-262, FALSE, FALSE, FID_NO_SLOT},
        {9, FALSE, FALSE, FID_NO_SLOT},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FID_IsCustomPaperCode(c.code), c.custom) << c.code;
        EXPECT_EQ(FID_IsUserPaperCode(c.code), c.user) << c.code;
        EXPECT_EQ(FID_CustomPaperCodeToSlot(c.code), c.slot) << c.code;
    }
    /* Every slot and its code are each other's inverse. */
    for (int slot = 0; slot < FID_CUSTOM_SLOTS; ++slot) {
        int code = FID_SlotToCustomPaperCode(slot);
        EXPECT_EQ(code, slot < 5 ? 262 + slot : 282 + slot);
        EXPECT_EQ(FID_CustomPaperCodeToSlot(code), slot);
    }
    EXPECT_EQ(FID_SlotToCustomPaperCode(-1), -1);
    EXPECT_EQ(FID_SlotToCustomPaperCode(20), -1);
    for (WORD id : {5888, 5889, 5928, 5929})
        EXPECT_EQ(FID_IsCustomSizeSetting(id), id >= 5889 && id <= 5928) << id;
}

TEST_F(PaperRules, RegionsByCountry)
{
    struct Case {
        DWORD country;
        WORD region;
    } cases[] = {
        {1, 1},   {2, 1},   {3, 2},   {49, 2},  {50, 1},  {52, 1},  {54, 1},  {55, 2},  {56, 1},
        {59, 1},  {60, 2},  {499, 2}, {500, 1}, {592, 1}, {593, 2}, {594, 1}, {599, 1}, {600, 2},
        {0, 2},   {44, 2},  {81, 2},  {886, 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(utl_PaperRegionOfCountry(c.country), c.region) << c.country;
}

TEST_F(PaperRules, CountryTableValues)
{
    struct Case {
        DWORD country;
        bool inTable;
        BYTE a, b;
    } cases[] = {
        {1, true, 4, 0},    {2, true, 4, 0},    {7, true, 0, 0},   {49, true, 0, 0},  {51, true, 3, 0},
        {58, true, 3, 0},   {60, true, 2, 0},   {61, true, 0, 0},  {66, true, 2, 0},  {81, true, 1, 0},
        {82, true, 2, 0},   {86, true, 2, 1},   {90, true, 0, 0},  {420, true, 0, 0}, {593, true, 3, 0},
        {852, true, 2, 1},  {886, true, 2, 0},  {53, false, 0, 0}, {3, false, 0, 0},  {999, false, 0, 0},
    };
    for (const Case &c : cases) {
        BYTE a = 9, b = 9;
        EXPECT_EQ(utl_CountryValues(c.country, &a, &b), c.inTable) << c.country;
        EXPECT_EQ(a, c.a) << c.country;
        EXPECT_EQ(b, c.b) << c.country;
    }
}

TEST_F(PaperRules, AnswersFromTheUserLocale)
{
    struct Case {
        const char *what;
        LCID locale;
        WORD region;
        BYTE a, aFolded, b;
    } cases[] = {
        {"en-US, 1", 0x0409, 1, 4, 4, 0},  {"es-MX, 52", 0x080A, 1, 3, 0, 0}, {"de-DE, 49", 0x0407, 2, 0, 0, 0},
        {"en-GB, 44", 0x0809, 2, 0, 0, 0}, {"ja-JP, 81", 0x0411, 2, 1, 1, 0}, {"zh-CN, 86", 0x0804, 2, 2, 1, 1},
        {"fr-FR, 33", 0x040C, 2, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        utl_ResetLocaleCachesForTest();
        ASSERT_TRUE(plat::sysinfo_set_locale(c.locale));
        EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), c.region);
        EXPECT_EQ(UTL_GetDefaultPaperRegion(FALSE), UTL_REGION_OTHER) << "flag 0 always answers 2";
        EXPECT_EQ(UTL_GetCountryValueA(FALSE), c.a);
        EXPECT_EQ(UTL_GetCountryValueA(TRUE), c.aFolded);
        EXPECT_EQ(UTL_GetCountryValueB(), c.b);
    }
}

TEST_F(PaperRules, AnswersAreKeptForTheProcess)
{
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0409));
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 1);
    EXPECT_EQ(UTL_GetCountryValueA(FALSE), 4);
    /* A later change of locale is not seen... */
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0804));
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 1);
    EXPECT_EQ(UTL_GetCountryValueA(FALSE), 4);
    EXPECT_EQ(UTL_GetCountryValueB(), 1) << "B is read on its first call";
    /* ...until the caches are forgotten. */
    utl_ResetLocaleCachesForTest();
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 2);
    EXPECT_EQ(UTL_GetCountryValueA(TRUE), 1);

    /* The rendering library may set the region itself. */
    UTL_SetDefaultPaperRegion(1);
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 1);
    UTL_SetDefaultPaperRegion(7);
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 1) << "only 1 and 2 are regions";
}

TEST_F(PaperRules, LocaleThatCannotBeRead)
{
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0409));
    plat::sysinfo_set_failure(plat::SysinfoCall::LocaleInfo, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 2);
    EXPECT_EQ(UTL_GetCountryValueA(TRUE), UTL_COUNTRY_UNKNOWN);
    EXPECT_EQ(UTL_GetCountryValueA(FALSE), UTL_COUNTRY_UNKNOWN);
    EXPECT_EQ(UTL_GetCountryValueB(), UTL_COUNTRY_UNKNOWN);
    /* The failed answers are kept like any other. */
    plat::sysinfo_set_failure(plat::SysinfoCall::LocaleInfo, 0);
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 2);
    EXPECT_EQ(UTL_GetCountryValueB(), UTL_COUNTRY_UNKNOWN);
    utl_ResetLocaleCachesForTest();
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 1);
}

} // namespace
