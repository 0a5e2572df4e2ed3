// Font substitution in a device context of the standard model (Courier,
// Helvetica, Helvetica Bold, Times, Mincho) with real TrueType fonts: the
// choice through the printer's substitution table, the alias groups and the
// scores, in both substitution modes; and a TrueType run printed in the
// device font standing in for it.
#include "device_font_test_support.h"

#include "ddi_workers.h"
#include "draw_font.h"
#include "draw_text.h"
#include "fnt_device_records.h"
#include "fnt_download.h"
#include "fnt_substitute.h"
#include "job_settings.h"
#include "job_state.h"

#include <device_fonts.h>

#include <tarvel/stores/pdt_fontsub.h>

#include <plat/engine_draw.h>
#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/memory.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace pdev_test;

namespace {

const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/";

/* The pairs the standard model's device fonts give. */
const char16_t kModelPairs[] = u"Courier New\0Courier\0Arial\0Helvetica\0Arial Narrow\0Helvetica\0";

class SubstituteDevice : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        installStandard();
        printer = std::make_unique<Printer>(kColourPrinter);
        FNT_SetAliasTableSet(2); /* as every job starts */
    }
    void TearDown() override
    {
        for (FONTOBJ *f : fonts)
            plat::engine_free_font(f);
        if (e.dhpdev)
            DrvDisablePDEV(e.dhpdev);
        FNT_SetAliasTableSet(1);
        PdevTest::TearDown();
    }
    /* A device context with setting 17 (dmTTOption) and setting 292 (the substitution mode). */
    PdevContext *open(LONG ttOption, LONG mode)
    {
        if (e.dhpdev)
            DrvDisablePDEV(e.dhpdev);
        dm = std::make_unique<JobDevmode>();
        dm->set(17, ttOption);
        dm->set(292, mode);
        e = enable(printer->handle, *dm);
        return e.pdev();
    }
    FONTOBJ *font(const std::string &file)
    {
        plat::TrueTypeFontSpec spec;
        spec.file = kDejaVu + file;
        spec.height = -50;
        FONTOBJ *f = plat::engine_open_truetype_font(spec);
        EXPECT_NE(f, nullptr) << file << " " << GetLastError();
        if (f)
            fonts.push_back(f);
        return f;
    }
    /* Stores `pairs` as the printer's substitution table (the pairs' own block, as tables are kept). */
    bool store(const char16_t *pairs, size_t bytes)
    {
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        HANDLE admin = nullptr;
        if (!OpenPrinterW(kColourPrinter, &admin, &defaults))
            return false;
        auto *table = static_cast<LPWSTR>(GlobalAlloc(GPTR, bytes));
        std::memcpy(table, pairs, bytes);
        const BOOL stored = PDT_WriteFontSubTable(admin, table);
        GlobalFree(table);
        ClosePrinter(admin);
        return stored;
    }
    std::unique_ptr<Printer> printer;
    std::unique_ptr<JobDevmode> dm;
    Enabled e;
    std::vector<FONTOBJ *> fonts;
};

} // namespace

/*
 * The inputs of the hand-worked scores below: the model's device fonts
 * (pitch and family, character set, weight) and the DejaVu faces' metrics.
 */
TEST_F(SubstituteDevice, TheInputsOfTheScores)
{
    PdevContext *pdev = open(3, 0);
    ASSERT_NE(pdev, nullptr) << e.error;
    ASSERT_EQ(pdev->fontEntryCount, 5u);
    const struct {
        const char16_t *face;
        BYTE pitchAndFamily, charSet;
        WORD weight;
    } entries[] = {
        {u"Courier", 0x30, 0, 400},      {u"Helvetica", 0x21, 0, 400}, {u"Helvetica Bold", 0x21, 0, 700},
        {u"Times", 0x11, 0, 400},        {u"Mincho", 0x10, 128, 400},
    };
    for (DWORD i = 0; i < 5; ++i) {
        const DeviceFontEntry *d = pdev->fontEntries[i];
        EXPECT_EQ(std::u16string(d->faceName), entries[i].face);
        EXPECT_EQ(d->pitchAndFamily, entries[i].pitchAndFamily) << i;
        EXPECT_EQ(d->charSet, entries[i].charSet) << i;
        EXPECT_EQ(d->weight, entries[i].weight) << i;
        EXPECT_EQ(d->italic, 0) << i;
    }
    const struct {
        const char *file;
        BYTE pitchAndFamily;
        WORD weight;
        bool italic;
    } faces[] = {
        {"DejaVuSans.ttf", 0x22, 400, false},   {"DejaVuSans-Bold.ttf", 0x22, 700, false},
        {"DejaVuSansMono.ttf", 0x31, 400, false}, {"DejaVuSerif.ttf", 0x12, 400, false},
        {"DejaVuSerif-Italic.ttf", 0x12, 400, true},
    };
    for (const auto &f : faces) {
        FONTOBJ *pfo = font(f.file);
        ASSERT_NE(pfo, nullptr);
        const IFIMETRICS *ifi = FONTOBJ_pifi(pfo);
        EXPECT_EQ(ifi->jWinPitchAndFamily, f.pitchAndFamily) << f.file;
        EXPECT_EQ(ifi->jWinCharSet, 0) << f.file;
        EXPECT_EQ(ifi->usWinWeight, f.weight) << f.file;
        EXPECT_EQ((ifi->fsSelection & FM_SEL_ITALIC) != 0, f.italic) << f.file;
    }
}

/*
 * Faces against the model's device fonts.  The model's table pairs Courier
 * New with Courier, Arial and Arial Narrow with Helvetica.  In the automatic
 * choice every Western device font starts at 16 and Mincho at 0; then:
 *  - "Times New Roman" is in the Times group: Times 16 + 2, the others + 1;
 *    the rise of 2 skips the family step; Times wins.
 *  - "Helv" is in the Arial group, whose "Helv" both Helvetica faces begin
 *    with: 18 each; the style gives a 400 request 57 + 30 + 10 on Helvetica
 *    and 57 + 0 + 7 on Helvetica Bold, a 700 request 57 + 30 + 7 and
 *    57 + 30 + 10.
 *  - a face of no group rises by 1: the family step gives a fixed-pitch
 *    modern request (0x31) Courier 16 + 8 more, a variable-pitch roman one
 *    (0x12) Times 16 + 8 and Helvetica 16, a variable-pitch Swiss one
 *    (0x22) Helvetica 16 + 8 and Times 16; the style then takes the
 *    Helvetica of the request's weight.
 */
TEST_F(SubstituteDevice, FacesAgainstTheModelsDeviceFonts)
{
    PdevContext *pdev = open(3, 0);
    ASSERT_NE(pdev, nullptr) << e.error;
    const struct {
        const char *what;
        const char16_t *face;
        const char *file;
        int byTable;
        WORD tableIndex;
        WORD aliasIndex;
    } cases[] = {
        {"table entry", u"Courier New", "DejaVuSans.ttf", FNT_MATCH_FOUND, 0, 0},
        {"table entry: only the exact name", u"Arial", "DejaVuSans-Bold.ttf", FNT_MATCH_FOUND, 1, 1},
        {"table entry, a second face", u"Arial Narrow", "DejaVuSans.ttf", FNT_MATCH_FOUND, 1, 1},
        {"alias group", u"Times New Roman", "DejaVuSerif.ttf", FNT_MATCH_NONE, 0xFFFF, 3},
        {"alias group, the weight", u"Helv", "DejaVuSans.ttf", FNT_MATCH_NONE, 0xFFFF, 1},
        {"alias group, the bold weight", u"Helv", "DejaVuSans-Bold.ttf", FNT_MATCH_NONE, 0xFFFF, 2},
        {"no match: fixed pitch", u"DejaVu Sans Mono", "DejaVuSansMono.ttf", FNT_MATCH_NONE, 0xFFFF, 0},
        {"no match: roman", u"DejaVu Serif", "DejaVuSerif.ttf", FNT_MATCH_NONE, 0xFFFF, 3},
        {"no match: Swiss", u"DejaVu Sans", "DejaVuSans.ttf", FNT_MATCH_NONE, 0xFFFF, 1},
        {"no match: empty face", u"", "DejaVuSans.ttf", FNT_MATCH_NONE, 0xFFFF, 1},
    };
    for (const auto &c : cases) {
        FONTOBJ *pfo = font(c.file);
        ASSERT_NE(pfo, nullptr);
        WORD index = 0xFFFF;
        EXPECT_EQ(FNT_MatchSubstituteFont(&pdev->fontSubTable, pfo, c.face, pdev->printer, nullptr,
                                          pdev->fontEntryCount, pdev->fontEntries, &index),
                  c.byTable)
            << c.what;
        EXPECT_EQ(index, c.tableIndex) << c.what;
        index = 0xFFFF;
        EXPECT_EQ(FNT_MatchSubstituteFontByAlias(&pdev->fontSubTable, pfo, c.face, pdev->printer, nullptr,
                                                 pdev->fontEntryCount, pdev->fontEntries, &index),
                  FNT_MATCH_FOUND)
            << c.what;
        EXPECT_EQ(index, c.aliasIndex) << c.what;
    }
}

/* The run's own face through both modes, the printer's stored table, and the modes that substitute nothing. */
TEST_F(SubstituteDevice, TheDeviceFontOfARun)
{
    const struct {
        const char *what;
        const char16_t *stored; /* the printer's own table, or null for the model's */
        size_t storedBytes;
        LONG ttOption, mode;
        const char *file;
        int result;
        WORD index;
    } cases[] = {
        {"table only: a face not in the table is downloaded", nullptr, 0, 3, 2, "DejaVuSans.ttf", 0, 0xFFFF},
        {"automatic: Swiss", nullptr, 0, 3, 0, "DejaVuSans.ttf", 0, 1},
        {"automatic: Swiss bold", nullptr, 0, 3, 0, "DejaVuSans-Bold.ttf", 0, 2},
        {"automatic: fixed pitch", nullptr, 0, 3, 0, "DejaVuSansMono.ttf", 0, 0},
        {"automatic: roman italic", nullptr, 0, 3, 0, "DejaVuSerif-Italic.ttf", 0, 3},
        {"the printer's table, table only", u"DejaVu Sans\0Times\0", sizeof u"DejaVu Sans\0Times\0", 3, 2,
         "DejaVuSans.ttf", 0, 3},
        {"the printer's table before the automatic choice", u"DejaVu Sans\0Times\0", sizeof u"DejaVu Sans\0Times\0",
         3, 0, "DejaVuSans.ttf", 0, 3},
        {"the printer's table names no device font of the model", u"DejaVu Sans\0Garamond\0",
         sizeof u"DejaVu Sans\0Garamond\0", 3, 2, "DejaVuSans.ttf", 0, 0xFFFF},
        {"TrueType fonts downloaded", nullptr, 0, 2, 0, "DejaVuSans.ttf", 1, 0xFFFF},
        {"another substitution mode", nullptr, 0, 3, 1, "DejaVuSans.ttf", 1, 0xFFFF},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(store(c.stored ? c.stored : kModelPairs, c.stored ? c.storedBytes : sizeof kModelPairs))
            << c.what;
        PdevContext *pdev = open(c.ttOption, c.mode);
        ASSERT_NE(pdev, nullptr) << c.what << " " << e.error;
        FONTOBJ *pfo = font(c.file);
        ASSERT_NE(pfo, nullptr);
        WORD index = 7;
        EXPECT_EQ(FNT_SubstituteDeviceFont(pdev, pfo, &index), c.result) << c.what;
        EXPECT_EQ(index, c.index) << c.what;
    }
}

TEST_F(SubstituteDevice, TheScoresOverTheDeviceFonts)
{
    PdevContext *pdev = open(3, 0);
    ASSERT_NE(pdev, nullptr) << e.error;
    DeviceFontEntry **entries = pdev->fontEntries;
    using Scores = std::vector<LONG>;

    Scores a(5, 0);
    EXPECT_EQ(FNT_ScoreAliasGroups(u"Times New Roman", 5, entries, a.data()), 2);
    EXPECT_EQ(a, (Scores{1, 1, 1, 2, 1}));

    Scores b(5, 0);
    EXPECT_TRUE(FNT_ScoreCharset(128, 5, entries, b.data()));
    EXPECT_EQ(b, (Scores{0, 0, 0, 0, 16}));
    Scores c(5, 0);
    EXPECT_FALSE(FNT_ScoreCharset(134, 5, entries, c.data()));
    EXPECT_EQ(c, (Scores{0, 0, 0, 0, 0}));

    /* a 700 request: 57 upright + 30 when not lighter + 10 - |w - v| / 100 */
    Scores d(5, 0);
    FNT_ScoreStyle(FONTOBJ_pifi(font("DejaVuSans-Bold.ttf")), 5, entries, d.data());
    EXPECT_EQ(d, (Scores{94, 94, 97, 94, 94}));
    /* an italic 400 request against upright faces: 45 + 30 + 10, and 45 + 10 - 3 against the bold one */
    Scores f(5, 0);
    FNT_ScoreStyle(FONTOBJ_pifi(font("DejaVuSerif-Italic.ttf")), 5, entries, f.data());
    EXPECT_EQ(f, (Scores{85, 85, 52, 85, 85}));
}

TEST_F(SubstituteDevice, MissingArgumentsAndEntries)
{
    PdevContext *pdev = open(3, 0);
    ASSERT_NE(pdev, nullptr) << e.error;
    FONTOBJ *pfo = font("DejaVuSans.ttf");
    ASSERT_NE(pfo, nullptr);
    DeviceFontEntry **entries = pdev->fontEntries;
    WORD index = 0xFFFF;
    EXPECT_EQ(FNT_MatchSubstituteFont(nullptr, pfo, u"Arial", pdev->printer, nullptr, 5, entries, &index),
              FNT_MATCH_FAILED);
    EXPECT_EQ(FNT_MatchSubstituteFont(&pdev->fontSubTable, nullptr, u"Arial", pdev->printer, nullptr, 5, entries,
                                      &index),
              FNT_MATCH_FAILED);
    EXPECT_EQ(FNT_MatchSubstituteFont(&pdev->fontSubTable, pfo, nullptr, pdev->printer, nullptr, 5, entries, &index),
              FNT_MATCH_FAILED);
    EXPECT_EQ(FNT_MatchSubstituteFont(&pdev->fontSubTable, pfo, u"Arial", pdev->printer, nullptr, 5, nullptr, &index),
              FNT_MATCH_FAILED);
    EXPECT_EQ(FNT_MatchSubstituteFontByAlias(&pdev->fontSubTable, pfo, u"Arial", pdev->printer, nullptr, 5, entries,
                                             nullptr),
              FNT_MATCH_FAILED);
    EXPECT_EQ(FNT_MatchSubstituteFontByAlias(&pdev->fontSubTable, pfo, u"Arial", pdev->printer, nullptr, 0, entries,
                                             &index),
              FNT_MATCH_NONE);
    EXPECT_EQ(index, 0xFFFF);

    /* No table to be had: the table lookup fails rather than answering "none". */
    LPWSTR none = nullptr;
    EXPECT_EQ(FNT_MatchSubstituteFont(&none, pfo, u"Arial", nullptr, nullptr, 5, entries, &index), FNT_MATCH_FAILED);

    /* A missing entry in the list: a failure, the scores untouched. */
    DeviceFontEntry *holed[2] = {entries[0], nullptr};
    EXPECT_EQ(FNT_MatchSubstituteFontByAlias(&pdev->fontSubTable, pfo, u"Arial", pdev->printer, nullptr, 2, holed,
                                             &index),
              FNT_MATCH_FAILED);
    std::vector<LONG> scores(2, 5);
    EXPECT_EQ(FNT_ScoreAliasGroups(u"Arial", 2, holed, scores.data()), 0);
    EXPECT_FALSE(FNT_ScoreCharset(0, 2, holed, scores.data()));
    FNT_ScoreStyle(FONTOBJ_pifi(pfo), 2, holed, scores.data());
    FNT_ScoreStyle(nullptr, 1, entries, scores.data());
    EXPECT_EQ(scores, (std::vector<LONG>{5, 5}));

    index = 7;
    EXPECT_EQ(FNT_SubstituteDeviceFont(pdev, nullptr, &index), -1);
    EXPECT_EQ(index, 0xFFFF);
    EXPECT_EQ(FNT_SubstituteDeviceFont(nullptr, pfo, &index), -1);
    EXPECT_EQ(FNT_SubstituteDeviceFont(pdev, pfo, nullptr), -1);
}

namespace {

/*
 * A drawing context with the model's device fonts, setting 17 = 3 and the
 * automatic mode, and the printer behind it for the substitution table.
 */
class SubstitutedRun : public draw_test::DeviceFontTest {
protected:
    void SetUp() override
    {
        DeviceFontTest::SetUp();
        installStandard();
        printer = std::make_unique<Printer>(kColourPrinter);
        FNT_SetAliasTableSet(2);
        JobDevmode dm;
        draw_test::baseSettings(dm);
        dm.set(17, 3);
        dm.set(292, 0);
        open(dm);
        pdev->printer = printer->handle;
        startPage(
            {
                {tarvel_models::courierMetrics(), "Courier         ", 590},
                {tarvel_models::helveticaMetrics(), "Helvetica       ", 590},
                {tarvel_models::helveticaBoldMetrics(), "Helvetica     Bd", 590},
                {tarvel_models::timesMetrics(), "Times        Rmn", 590},
                {tarvel_models::minchoMetrics(), "Mincho          ", 619},
            },
            false);
    }
    void TearDown() override
    {
        if (text)
            plat::engine_free_text(text);
        if (font)
            plat::engine_free_font(font);
        if (brush)
            plat::engine_free_brush(brush);
        if (pdev) {
            FNT_FreeDownloadedFonts(ctx());
            pdev->printer = nullptr;
            if (pdev->fontSubTable)
                GlobalFree(pdev->fontSubTable);
            pdev->fontSubTable = nullptr;
        }
        endPage();
        printer.reset();
        FNT_SetAliasTableSet(1);
        DeviceFontTest::TearDown();
    }
    std::unique_ptr<Printer> printer;
    FONTOBJ *font = nullptr;
    STROBJ *text = nullptr;
    BRUSHOBJ *brush = nullptr;
};

} // namespace

/* DejaVu Sans (variable-pitch Swiss, 400) is in no table and no group: Helvetica prints it, nothing is downloaded. */
TEST_F(SubstitutedRun, ATrueTypeRunPrintsInTheDeviceFont)
{
    plat::TrueTypeFontSpec spec;
    spec.file = kDejaVu + "DejaVuSans.ttf";
    spec.height = -50;
    font = plat::engine_open_truetype_font(spec);
    ASSERT_NE(font, nullptr) << GetLastError();
    text = plat::engine_make_text(font, u"Hi", 2, {100, 200}, plat::TextOptions{});
    ASSERT_NE(text, nullptr) << GetLastError();
    brush = plat::engine_make_solid_brush(0x000000);
    ASSERT_TRUE(TXT_TextOut(&target, text, font, nullptr, nullptr, nullptr, brush, brush, nullptr, 0x0D0D))
        << GetLastError();

    std::vector<std::string> setFont, texts;
    for (const std::string &l : ops()) {
        EXPECT_NE(l.rfind("BeginFontHeader", 0), 0u) << "no font download: " << l;
        EXPECT_NE(l.rfind("ReadChar", 0), 0u) << "no font download: " << l;
        if (l.rfind("SetFont", 0) == 0)
            setFont.push_back(l);
        if (l.rfind("Text ", 0) == 0)
            texts.push_back(l.substr(0, l.find(" XSpacingData")));
    }
    /* the printer's 16-character name of Helvetica, an em of 50 pixels, 18N (590); "H" and "i" as codes */
    std::string name;
    for (unsigned char c : std::string("Helvetica       "))
        name += (name.empty() ? "" : ",") + std::to_string(c);
    EXPECT_EQ(setFont, (std::vector<std::string>{"SetFont FontName=" + name + " CharSize=50 SymbolSet=590"}));
    EXPECT_EQ(texts, (std::vector<std::string>{"Text TextData=72,105"}));
}
