/*
 * Rules about papers and the user's locale: which paper codes are the 20
 * custom paper slots, which paper region the user's country belongs to, and
 * the country's defaults for the paper-series (4356) and 8K/16K (4358)
 * settings.  The region and the two country values are read once from the
 * user locale (GetLocaleInfoW, LOCALE_ICOUNTRY) and kept for the process;
 * tests forget them with utl_ResetLocaleCachesForTest.
 */
#ifndef TARVEL_PAPER_RULES_H
#define TARVEL_PAPER_RULES_H

#include <plat/types.h>

/* The free user size (DMPAPER_USER). */
constexpr int FID_PAPER_USER = 256;
/* Custom paper slots: codes 262-266 are slots 0-4, codes 287-301 slots 5-19. */
constexpr WORD FID_CUSTOM_SLOTS = 20;
constexpr WORD FID_NO_SLOT = 0xFFFF;
/* The slots' own settings; a slot's name is setting 5929 + slot. */
constexpr WORD FID_CUSTOM_SETTING_FIRST = 5889;
constexpr WORD FID_CUSTOM_SETTING_LAST = 5928;
constexpr WORD FID_CUSTOM_NAME_SETTING = 5929;

/* 1 for the custom paper codes 262-266 and 287-301. */
BOOL FID_IsCustomPaperCode(int code);
/* 1 for a custom paper code or 256. */
BOOL FID_IsUserPaperCode(int code);
/* 1 for the custom slots' settings 5889-5928. */
BOOL FID_IsCustomSizeSetting(WORD id);
/* The slot (0-19) of a custom paper code, or FID_NO_SLOT. */
WORD FID_CustomPaperCodeToSlot(int code);
/* The custom paper code of slot 0-19 (262 + slot, 282 + slot from slot 5), or -1. */
int FID_SlotToCustomPaperCode(int slot);

/* Paper regions. */
constexpr WORD UTL_REGION_LETTER = 1; /* the Americas and the countries listed with them */
constexpr WORD UTL_REGION_OTHER = 2;

/* Answer of the country values when the user locale cannot be read. */
constexpr BYTE UTL_COUNTRY_UNKNOWN = 254;

/*
 * The user's default paper region: flag 0 answers 2; otherwise the cached
 * answer or, the first time, 1 when the user locale's country code is 1, 2,
 * 50-54, 56-59, 500-592 or 594-599 and 2 for any other code or when the
 * locale cannot be read (kept for the process either way).
 */
WORD UTL_GetDefaultPaperRegion(BOOL flag);

/* Sets the cached paper region (1 or 2; other values are ignored). */
void UTL_SetDefaultPaperRegion(WORD region);

/*
 * The user's country value A (paper series): the country table's value for
 * the user locale's country code (0 for a country not in the table, 254
 * when the locale cannot be read), cached after the first call.  With
 * `flag` set, A = 2 answers 1 and A = 3 answers 0.
 */
BYTE UTL_GetCountryValueA(BOOL flag);

/* The user's country value B (8K/16K), as UTL_GetCountryValueA without the folding. */
BYTE UTL_GetCountryValueB(void);

/* The paper region of a country code (1 or 2), without the locale or the cache. */
WORD utl_PaperRegionOfCountry(DWORD country);

/* The country table's values A and B of a country code; false (and 0, 0) for a country not in the table. */
bool utl_CountryValues(DWORD country, BYTE *a, BYTE *b);

/* Test-only: forgets the cached paper region and country values. */
void utl_ResetLocaleCachesForTest(void);

#endif /* TARVEL_PAPER_RULES_H */
