/*
 * The user's paper region and the country defaults of the paper-series and
 * 8K/16K settings, from the user locale's country code (LOCALE_ICOUNTRY, the
 * international dialling code).  Each answer is read once and kept for the
 * process, a failed locale read included; the rendering library may set the
 * region itself (UTL_SetDefaultPaperRegion).
 */
#include <tarvel/model_data/paper_rules.h>

#include <plat/sysinfo.h>
#include <plat/text.h>

#include <atomic>

namespace {

/* One row of the country table. */
struct CountryRow {
    DWORD country;
    BYTE a; /* paper series (setting 4356) */
    BYTE b; /* 8K/16K (setting 4358) */
};

constexpr CountryRow kCountries[] = {
    {1, 4, 0},   {2, 4, 0},   {7, 0, 0},   {20, 0, 0},  {27, 0, 0},  {30, 0, 0},  {31, 0, 0},  {32, 0, 0},
    {33, 0, 0},  {34, 0, 0},  {36, 0, 0},  {39, 0, 0},  {40, 0, 0},  {41, 0, 0},  {43, 0, 0},  {44, 0, 0},
    {45, 0, 0},  {46, 0, 0},  {47, 0, 0},  {48, 0, 0},  {49, 0, 0},  {51, 3, 0},  {52, 3, 0},  {54, 3, 0},
    {55, 3, 0},  {56, 3, 0},  {57, 3, 0},  {58, 3, 0},  {60, 2, 0},  {61, 0, 0},  {62, 2, 0},  {63, 2, 0},
    {64, 0, 0},  {65, 2, 0},  {66, 2, 0},  {81, 1, 0},  {82, 2, 0},  {84, 2, 0},  {86, 2, 1},  {90, 0, 0},
    {91, 0, 0},  {212, 0, 0}, {351, 0, 0}, {353, 0, 0}, {358, 0, 0}, {359, 0, 0}, {420, 0, 0}, {593, 3, 0},
    {852, 2, 1}, {886, 2, 0},
};
static_assert(sizeof(kCountries) / sizeof(kCountries[0]) == 50, "the country table has 50 rows");

/* Cached answers; 0 means not read yet (no answer is 0: regions are 1 or 2, country values are kept + 1). */
std::atomic<WORD> g_region{0};
std::atomic<WORD> g_valueA{0};
std::atomic<WORD> g_valueB{0};

/* The user locale's country code; false when the locale cannot be read. */
bool user_country(DWORD *country)
{
    WCHAR text[16] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, text, 16) <= 0)
        return false;
    int code = _wtoi(text);
    if (code < 0)
        return false;
    *country = static_cast<DWORD>(code);
    return true;
}

/* Value A or B of the user's country, 254 when the locale cannot be read. */
BYTE country_value(bool wantB)
{
    DWORD country = 0;
    if (!user_country(&country))
        return UTL_COUNTRY_UNKNOWN;
    BYTE a = 0, b = 0;
    utl_CountryValues(country, &a, &b);
    return wantB ? b : a;
}

/* The cached value of `cache`, reading it the first time. */
BYTE cached_country_value(std::atomic<WORD> &cache, bool wantB)
{
    WORD kept = cache.load(std::memory_order_relaxed);
    if (kept == 0) {
        kept = static_cast<WORD>(country_value(wantB) + 1);
        cache.store(kept, std::memory_order_relaxed);
    }
    return static_cast<BYTE>(kept - 1);
}

} // namespace

WORD utl_PaperRegionOfCountry(DWORD country)
{
    bool letter = country == 1 || country == 2 || (country >= 50 && country <= 54) ||
                  (country >= 56 && country <= 59) || (country >= 500 && country <= 592) ||
                  (country >= 594 && country <= 599);
    return letter ? UTL_REGION_LETTER : UTL_REGION_OTHER;
}

bool utl_CountryValues(DWORD country, BYTE *a, BYTE *b)
{
    *a = 0;
    *b = 0;
    for (const CountryRow &row : kCountries) {
        if (row.country == country) {
            *a = row.a;
            *b = row.b;
            return true;
        }
    }
    return false;
}

WORD UTL_GetDefaultPaperRegion(BOOL flag)
{
    if (!flag)
        return UTL_REGION_OTHER;
    WORD region = g_region.load(std::memory_order_relaxed);
    if (region == 0) {
        DWORD country = 0;
        region = user_country(&country) ? utl_PaperRegionOfCountry(country) : UTL_REGION_OTHER;
        g_region.store(region, std::memory_order_relaxed);
    }
    return region;
}

void UTL_SetDefaultPaperRegion(WORD region)
{
    if (region == UTL_REGION_LETTER || region == UTL_REGION_OTHER)
        g_region.store(region, std::memory_order_relaxed);
}

BYTE UTL_GetCountryValueA(BOOL flag)
{
    BYTE a = cached_country_value(g_valueA, false);
    if (flag && a == 2)
        return 1;
    if (flag && a == 3)
        return 0;
    return a;
}

BYTE UTL_GetCountryValueB(void)
{
    return cached_country_value(g_valueB, true);
}

void utl_ResetLocaleCachesForTest(void)
{
    g_region.store(0, std::memory_order_relaxed);
    g_valueA.store(0, std::memory_order_relaxed);
    g_valueB.store(0, std::memory_order_relaxed);
}
