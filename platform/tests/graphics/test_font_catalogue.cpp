// The catalogue of the machine's TrueType fonts: the Debian fonts found in
// the default folders, every member of a collection, a fixed list a test
// injects, GDI's choice of a face for a name, weight and slant, and
// EnumFontFamiliesW as a driver's font-list callbacks use it (families
// first, then each family's faces by full name).
#include "font_fixture.h"

#include <plat/error.h>
#include <plat/machine.h>
#include <plat_test/fresh_machine.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using namespace fonttest;
using FontCatalogue = plat_test::FreshMachineTest;

bool has(const std::vector<plat::CatalogueFont> &fonts, const std::u16string &full)
{
    return std::any_of(fonts.begin(), fonts.end(), [&](const auto &f) { return f.fullName == full; });
}

/* What the callbacks saw. */
struct Seen {
    std::vector<std::u16string> faces, fulls, styles;
    std::vector<DWORD> types;
    std::vector<ENUMLOGFONTW> logfonts;
    std::vector<NEWTEXTMETRICW> metrics;
    int stopAfter = -1;
};

int collect(const LOGFONTW *lf, const TEXTMETRICW *tm, DWORD type, LPARAM data)
{
    auto *seen = reinterpret_cast<Seen *>(data);
    const auto *elf = reinterpret_cast<const ENUMLOGFONTW *>(lf);
    seen->faces.push_back(wide(lf->lfFaceName));
    seen->fulls.push_back(wide(elf->elfFullName));
    seen->styles.push_back(wide(elf->elfStyle));
    seen->types.push_back(type);
    seen->logfonts.push_back(*elf);
    seen->metrics.push_back(*reinterpret_cast<const NEWTEXTMETRICW *>(tm));
    return seen->stopAfter < 0 || int(seen->faces.size()) < seen->stopAfter ? 1 : 0;
}

/* The full-name list of a font dialog: over families, each TrueType family's faces by full name. */
int collect_full_name(const LOGFONTW *lf, const TEXTMETRICW *, DWORD type, LPARAM data)
{
    auto *names = reinterpret_cast<std::vector<std::u16string> *>(data);
    const std::u16string full = wide(reinterpret_cast<const ENUMLOGFONTW *>(lf)->elfFullName);
    if (type == TRUETYPE_FONTTYPE && std::find(names->begin(), names->end(), full) == names->end())
        names->push_back(full);
    return 1;
}
int each_family(const LOGFONTW *lf, const TEXTMETRICW *, DWORD type, LPARAM data)
{
    if (type == TRUETYPE_FONTTYPE)
        EnumFontFamiliesW(nullptr, lf->lfFaceName, collect_full_name, data);
    return 1;
}

} // namespace

TEST_F(FontCatalogue, TheDefaultFoldersHoldTheDebianFonts)
{
    const auto fonts = plat::font_catalogue();
    ASSERT_TRUE(has(fonts, u"DejaVu Sans"));
    ASSERT_TRUE(has(fonts, u"DejaVu Sans Bold"));
    ASSERT_TRUE(has(fonts, u"DejaVu Sans Mono"));
    ASSERT_TRUE(has(fonts, u"DejaVu Sans ExtraLight")) << "fonts-dejavu-extra";
    auto sans = std::find_if(fonts.begin(), fonts.end(), [](const auto &f) { return f.fullName == u"DejaVu Sans"; });
    EXPECT_EQ(sans->family, u"DejaVu Sans");
    EXPECT_EQ(sans->style, u"Book");
    EXPECT_EQ(sans->weight, 400);
    EXPECT_FALSE(sans->italic);
    EXPECT_EQ(sans->file, kSans);
    EXPECT_EQ(sans->faceIndex, 0u);
    auto oblique =
        std::find_if(fonts.begin(), fonts.end(), [](const auto &f) { return f.fullName == u"DejaVu Sans Oblique"; });
    ASSERT_NE(oblique, fonts.end());
    EXPECT_TRUE(oblique->italic);
    EXPECT_TRUE(std::is_sorted(fonts.begin(), fonts.end(),
                               [](const auto &a, const auto &b) { return a.family < b.family; }));
}

TEST_F(FontCatalogue, ACollectionListsEachMemberAndBadFilesAreLeftOut)
{
    std::filesystem::create_directories(root / "fonts" / "deeper");
    write_file((root / "fonts" / "deeper" / "pair.TTC").string(), make_collection({kSans, kMono}));
    write_file((root / "fonts" / "broken.ttf").string(), {'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'n', 't', '!', '!'});
    write_file((root / "fonts" / "readme.txt").string(), read_file(kSans));
    plat::font_catalogue_set_folders({(root / "fonts").string(), (root / "missing").string()});
    const auto fonts = plat::font_catalogue();
    ASSERT_EQ(fonts.size(), 2u);
    EXPECT_EQ(fonts[0].fullName, u"DejaVu Sans");
    EXPECT_EQ(fonts[0].faceIndex, 0u);
    EXPECT_EQ(fonts[1].fullName, u"DejaVu Sans Mono");
    EXPECT_EQ(fonts[1].faceIndex, 1u);
    EXPECT_EQ(fonts[0].file, fonts[1].file);

    /* A fresh machine searches the default folders again. */
    plat::machine_reset((root / "m2").string());
    EXPECT_GT(plat::font_catalogue().size(), 2u);
}

TEST_F(FontCatalogue, GdiChoosesTheNearestFaceOfTheFamilyElseDejaVuSans)
{
    struct Case {
        std::u16string name;
        LONG weight;
        bool italic;
        std::u16string full;
    } cases[] = {
        {u"DejaVu Sans", 400, false, u"DejaVu Sans"},
        {u"dejavu sans", 700, false, u"DejaVu Sans Bold"},
        {u"DejaVu Sans", 700, true, u"DejaVu Sans Bold Oblique"},
        {u"DejaVu Sans", 0, true, u"DejaVu Sans Oblique"},
        {u"DejaVu Sans ExtraLight", 400, false, u"DejaVu Sans ExtraLight"},
        {u"DejaVu Sans Mono", 400, false, u"DejaVu Sans Mono"},
        {u"Arial", 400, false, u"DejaVu Sans"},
        {u"Arial", 700, false, u"DejaVu Sans Bold"},
        {u"", 400, false, u"DejaVu Sans"},
    };
    for (const Case &c : cases) {
        plat::CatalogueFont f;
        ASSERT_TRUE(plat::font_catalogue_match(c.name, c.weight, c.italic, &f));
        EXPECT_EQ(f.fullName, c.full) << std::string(c.name.begin(), c.name.end()) << " " << c.weight;
    }

    /* An empty catalogue still falls back to DejaVu Sans's file. */
    plat::font_catalogue_set_fonts({});
    plat::CatalogueFont f;
    ASSERT_TRUE(plat::font_catalogue_match(u"Times", 400, false, &f));
    EXPECT_EQ(f.file, kSans);
}

TEST_F(FontCatalogue, EnumerationGivesFamiliesThenTheirFacesAsACallbackExpects)
{
    plat::font_catalogue_set_fonts({
        {u"DejaVu Sans", u"DejaVu Sans Bold", u"Bold", 700, false, kSansBold, 0},
        {u"DejaVu Sans", u"DejaVu Sans", u"Book", 400, false, kSans, 0},
        {u"DejaVu Sans Mono", u"DejaVu Sans Mono", u"Book", 400, false, kMono, 0},
        {u"Nowhere", u"Nowhere Regular", u"Regular", 400, false, "/nonexistent/nowhere.ttf", 0},
    });
    Seen families;
    EXPECT_EQ(EnumFontFamiliesW(nullptr, nullptr, collect, LPARAM(&families)), 1);
    EXPECT_EQ(families.faces, (std::vector<std::u16string>{u"DejaVu Sans", u"DejaVu Sans Mono", u"Nowhere"}));
    EXPECT_EQ(families.fulls[0], u"DejaVu Sans") << "a family stands for itself by its regular face";
    EXPECT_EQ(families.types, (std::vector<DWORD>(3, TRUETYPE_FONTTYPE)));

    /* The records of DejaVu Sans Book, in its notional units (head, hhea and OS/2 values). */
    const ENUMLOGFONTW &elf = families.logfonts[0];
    const NEWTEXTMETRICW &ntm = families.metrics[0];
    EXPECT_EQ(wide(elf.elfStyle), u"Book");
    EXPECT_EQ(ntm.tm.tmAscent, 1901);
    EXPECT_EQ(ntm.tm.tmDescent, 483);
    EXPECT_EQ(ntm.tm.tmHeight, 2384);
    EXPECT_EQ(ntm.tm.tmInternalLeading, 2384 - 2048);
    EXPECT_EQ(ntm.tm.tmExternalLeading, 0);
    EXPECT_EQ(ntm.tm.tmAveCharWidth, 1038);
    EXPECT_EQ(ntm.tm.tmMaxCharWidth, 3838);
    EXPECT_EQ(ntm.tm.tmWeight, 400);
    EXPECT_EQ(ntm.tm.tmItalic, 0);
    EXPECT_EQ(ntm.tm.tmFirstChar, 0x20);
    EXPECT_EQ(ntm.tm.tmPitchAndFamily, FF_SWISS | TMPF_FIXED_PITCH | TMPF_VECTOR | TMPF_TRUETYPE);
    EXPECT_EQ(ntm.tm.tmCharSet, ANSI_CHARSET);
    EXPECT_EQ(ntm.ntmFlags, NTM_REGULAR);
    EXPECT_EQ(ntm.ntmSizeEM, 2048u);
    EXPECT_EQ(ntm.ntmCellHeight, 2384u);
    EXPECT_EQ(elf.elfLogFont.lfHeight, 2384);
    EXPECT_EQ(elf.elfLogFont.lfWeight, 400);
    EXPECT_EQ(elf.elfLogFont.lfPitchAndFamily, FF_SWISS | VARIABLE_PITCH);
    EXPECT_EQ(families.metrics[1].tm.tmPitchAndFamily, FF_MODERN | TMPF_VECTOR | TMPF_TRUETYPE)
        << "a fixed pitch leaves TMPF_FIXED_PITCH clear";

    Seen styles;
    EXPECT_EQ(EnumFontFamiliesW(nullptr, u"dejavu SANS", collect, LPARAM(&styles)), 1);
    EXPECT_EQ(styles.fulls, (std::vector<std::u16string>{u"DejaVu Sans", u"DejaVu Sans Bold"}));
    EXPECT_EQ(styles.metrics[1].ntmFlags, NTM_BOLD);

    Seen none;
    EXPECT_EQ(EnumFontFamiliesW(nullptr, u"Courier", collect, LPARAM(&none)), 1);
    EXPECT_TRUE(none.faces.empty());

    Seen stopped;
    stopped.stopAfter = 2;
    EXPECT_EQ(EnumFontFamiliesW(nullptr, nullptr, collect, LPARAM(&stopped)), 0);
    EXPECT_EQ(stopped.faces.size(), 2u);

    SetLastError(0);
    EXPECT_EQ(EnumFontFamiliesW(nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(FontCatalogue, TheFullNameListOfTheMachinesFonts)
{
    std::vector<std::u16string> names;
    EXPECT_EQ(EnumFontFamiliesW(nullptr, nullptr, each_family, LPARAM(&names)), 1);
    for (const char16_t *full : {u"DejaVu Sans", u"DejaVu Sans Bold", u"DejaVu Sans Oblique", u"DejaVu Sans Mono",
                                 u"DejaVu Sans ExtraLight", u"DejaVu Serif Italic"})
        EXPECT_NE(std::find(names.begin(), names.end(), full), names.end()) << std::string(full, full + 10);
    EXPECT_EQ(names.size(), plat::font_catalogue().size()) << "each face once";
}
