// The job's colour object: settings into set-up flags and loaded pieces,
// profiles that cannot be used (message box, OK and Cancel), solid colours
// and image rows in every mode on blue-green-red pixels, and the outside
// colour engine's binding through the stand-in.
#include "blt_image_spool.h"
#include "blt_records.h"
#include "clr_color_object.h"
#include "draw_blt.h"

#include "icc_test_support.h"
#include "test_pdev_support.h"

#include <qce/qce_record.h>
#include <standard_models.h>

#include <plat/msgbox.h>
#include <plat/resource.h>

#include <cstring>
#include <fstream>
#include <vector>

using namespace pdev_test;

namespace {

/* Settings of the colour object. */
enum : WORD {
    S_COLOR_MODE = 270,
    S_GROUP_MASK = 273,
    S_MATCHING = 286,
    S_WHITE_POINT = 287,
    S_GAMMA = 288,
    S_ENGINE_MODE = 291,
    S_BLACK_WHITE = 454,
    S_GREY_HANDLING = 455,
    S_USE_PROFILE1 = 1303,
    S_USE_PROFILE2 = 1304,
    S_SAME_PROFILE = 1305,
    S_PER_GROUP = 1314,
    S_GAIN1 = 1326,
    S_GAIN2 = 1327,
    S_PROFILE1 = 1832,
    S_PROFILE2 = 1833,
};

/*
 * A job devmode whose colour settings are in force: they belong to the
 * overlay kinds 2 and 4 (setting 293), and black-and-white rendering (454)
 * to monochrome jobs only.
 */
struct ColourDevmode : JobDevmode {
    ColourDevmode() { set(293, 2); }
};

struct Object {
    ColorObject *o = nullptr;
    ~Object() { CLR_FreeColorObject(o); }
    ColorObject *operator->() { return o; }
};

class ColorObjectTest : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        plat::msgbox_clear();
    }

    /* Writes a profile file to C:\icc\<name>; answers its Windows path. */
    static std::u16string writeProfile(const std::string &name, const icc_test::Bytes &bytes)
    {
        std::string win = icc_test::writeProfileFile(name, bytes);
        return std::u16string(win.begin(), win.end());
    }

    std::u16string goodProfile()
    {
        using namespace icc_test;
        return writeProfile("good.icc", profile("mntr", "RGB ", "XYZ ", matrixTags(curveTag({0x0233}))));
    }

    int create(Object &object, JobDevmode &dm, HMODULE resources = nullptr, HANDLE printer = nullptr)
    {
        return CLR_CreateColorObject(&object.o, dm.bytes(), resources, printer);
    }
};

TEST_F(ColorObjectTest, SettingsGiveTheSetupFlagsAndPieces)
{
    struct Case {
        const char *what;
        std::vector<std::pair<WORD, LONG>> settings;
        WORD setup;
    } cases[] = {
        {"nothing", {}, 0},
        {"group 1 with gain", {{S_PER_GROUP, 1}, {S_GROUP_MASK, 1}, {275, 10}, {S_GAIN1, 1}},
         CLR_SETUP_MATRIX1 | CLR_SETUP_GAIN1},
        {"group 1 all steps 0", {{S_PER_GROUP, 1}, {S_GROUP_MASK, 1}, {S_GAIN1, 1}}, 0},
        {"groups 2 and 3", {{S_PER_GROUP, 1}, {S_GROUP_MASK, 6}, {280, -5}, {285, 7}, {S_GAIN2, 1}},
         CLR_SETUP_MATRIX2 | CLR_SETUP_GAIN2 | CLR_SETUP_MATRIX3},
        {"monochrome: no gain", {{S_COLOR_MODE, 1}, {S_PER_GROUP, 1}, {S_GROUP_MASK, 1}, {275, 10}, {S_GAIN1, 1}},
         CLR_SETUP_MATRIX1},
        {"all groups", {{S_GROUP_MASK, 4}, {274, 3}, {S_GAIN2, 1}}, CLR_SETUP_MATRIX_ALL | CLR_SETUP_GAIN_ALL},
        {"built-in model", {{S_MATCHING, 1}, {S_WHITE_POINT, 2}, {S_GAMMA, 3}}, CLR_SETUP_BUILTIN},
        {"white point index past the table", {{S_MATCHING, 1}, {S_WHITE_POINT, 4}, {S_GAMMA, 3}}, 0},
        {"gamma index past the table", {{S_MATCHING, 1}, {S_WHITE_POINT, 1}, {S_GAMMA, 5}}, 0},
        {"engine mode", {{S_ENGINE_MODE, 1}}, CLR_SETUP_ENGINE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ColourDevmode dm;
        for (auto [id, v] : c.settings)
            dm.set(id, v);
        Object o;
        ASSERT_EQ(create(o, dm), 0);
        ASSERT_NE(o.o, nullptr);
        EXPECT_EQ(o->setup, c.setup);
        EXPECT_EQ(o->matrix1 != nullptr, (c.setup & (CLR_SETUP_MATRIX1 | CLR_SETUP_MATRIX_ALL)) != 0);
        EXPECT_EQ(o->matrix3 != nullptr, (c.setup & (CLR_SETUP_MATRIX3 | CLR_SETUP_MATRIX_ALL)) != 0);
        EXPECT_EQ(o->gain2 != nullptr, (c.setup & (CLR_SETUP_GAIN2 | CLR_SETUP_GAIN_ALL)) != 0);
        EXPECT_EQ(o->builtin != nullptr, (c.setup & CLR_SETUP_BUILTIN) != 0);
        if (c.setup & CLR_SETUP_MATRIX_ALL) {
            EXPECT_EQ(o->matrix1, o->matrix2);
            EXPECT_EQ(o->matrix1, o->matrix3);
            EXPECT_EQ(o->gain1, o->gain2);
        }
        EXPECT_EQ(o->engineHandle, 0u) << "the standard model names no engine";
        EXPECT_TRUE(plat::msgbox_log().empty());
    }
    /* the built-in model of white point index 2 (9300) and gamma index 3 (2.2) */
    ColourDevmode dm;
    dm.set(S_MATCHING, 1);
    dm.set(S_WHITE_POINT, 2);
    dm.set(S_GAMMA, 3);
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    EXPECT_EQ(o->builtin, &o->storageA);
    EXPECT_EQ(o->builtin->nearWhite, 1u);
    EXPECT_EQ(o->builtin->curve[0][128], WORD(std::lround(65535 * std::pow(128 / 255.0, 2.2))));
}

TEST_F(ColorObjectTest, ProfilesLoadAndShareOneTransform)
{
    std::u16string good = goodProfile();
    ColourDevmode dm;
    dm.set(S_MATCHING, 2);
    dm.set(S_USE_PROFILE1, 1);
    dm.set(S_USE_PROFILE2, 1);
    dm.set(S_SAME_PROFILE, 1);
    dm.setText(S_PROFILE1, good);
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    EXPECT_EQ(o->setup, CLR_SETUP_PROFILE1 | CLR_SETUP_PROFILE2);
    EXPECT_EQ(o->profile1, &o->storageA);
    EXPECT_EQ(o->profile2, o->profile1);
    EXPECT_EQ(o->profile1->status, ICC_STATUS_MATRIX);
}

TEST_F(ColorObjectTest, SameProfileWithoutProfileOneStillGivesImagesTheirProfile)
{
    /* Profile 1 off, profile 2 "the same as profile 1": the image profile is path 1832, loaded for images. */
    ColourDevmode dm;
    dm.set(S_MATCHING, 2);
    dm.set(S_USE_PROFILE2, 1);
    dm.set(S_SAME_PROFILE, 1);
    dm.setText(S_PROFILE1, goodProfile());
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    EXPECT_EQ(o->setup, CLR_SETUP_PROFILE2);
    EXPECT_EQ(o->profile1, nullptr);
    ASSERT_EQ(o->profile2, &o->storageB);
    EXPECT_EQ(o->profile2->status, ICC_STATUS_MATRIX);
}

TEST_F(ColorObjectTest, UnusableProfileAsksTheUser)
{
    std::u16string good = goodProfile();
    const std::u16string missing = u"C:\\icc\\missing.icc";
    HMODULE resources = LoadLibraryW((plat::driver_dir_win() + u"\\tarvelqce0.dll").c_str());
    ASSERT_NE(resources, nullptr);
    const plat::RsrcString strings[] = {{1, u"Profile %s is unusable."}};
    ASSERT_TRUE(plat::rsrc_attach_strings(resources, strings));
    struct Case {
        const char *what;
        bool profile1Bad;
        int answer;
        HMODULE module;
        int result;
        const char16_t *text;
    } cases[] = {
        {"profile 1, OK", true, IDOK, resources, 0, u"Profile C:\\icc\\missing.icc is unusable."},
        {"profile 1, Cancel", true, IDCANCEL, resources, -3, u"Profile C:\\icc\\missing.icc is unusable."},
        {"profile 2, Cancel, no module", false, IDCANCEL, nullptr, -4,
         u"ICC Profile cannot be used. \nDocuments will be printed without color correction."},
        {"profile 2, OK", false, IDOK, resources, 0, u"Profile C:\\icc\\missing.icc is unusable."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        plat::msgbox_clear();
        plat::msgbox_script(c.answer);
        ColourDevmode dm;
        dm.set(S_MATCHING, 2);
        dm.set(S_USE_PROFILE1, 1);
        dm.set(S_USE_PROFILE2, 1);
        dm.setText(S_PROFILE1, c.profile1Bad ? missing : good);
        dm.setText(S_PROFILE2, c.profile1Bad ? good : missing);
        Object o;
        EXPECT_EQ(create(o, dm, c.module), c.result);
        auto log = plat::msgbox_log();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].text, c.text);
        EXPECT_EQ(log[0].caption, u"Error");
        EXPECT_EQ(log[0].style, 0x41u);
        if (c.result != 0) {
            EXPECT_EQ(o.o, nullptr);
            continue;
        }
        ASSERT_NE(o.o, nullptr);
        if (c.profile1Bad) {
            EXPECT_EQ(o->profile1, nullptr);
            EXPECT_EQ(o->profile2, nullptr) << "profile 2 is not loaded after profile 1 failed";
        } else {
            EXPECT_NE(o->profile1, nullptr);
            EXPECT_EQ(o->profile2, nullptr);
        }
    }
    FreeLibrary(resources);
}

TEST_F(ColorObjectTest, BadArgumentsAndModes)
{
    ColourDevmode dm;
    ColorObject *o = reinterpret_cast<ColorObject *>(1);
    EXPECT_EQ(CLR_CreateColorObject(nullptr, dm.bytes(), nullptr, nullptr), -1);
    EXPECT_EQ(CLR_CreateColorObject(&o, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(CLR_GetMode(nullptr), -1);
    Object ok;
    ASSERT_EQ(create(ok, dm), 0);
    EXPECT_EQ(CLR_GetMode(ok.o), 3);
    ok->imageFlags = CLR_IMAGE_ENGINE;
    EXPECT_EQ(CLR_GetMode(ok.o), 4);
    CLR_FreeColorObject(nullptr);
}

TEST(ColorGainOffset, BuildAndApply)
{
    GainOffset p{};
    CLR_BuildGainOffset(&p, 20, 50); /* gain 1.15, offset 10 - 0.15 x 255 = -28.25 */
    EXPECT_EQ(p.gain, 75366);         /* 1.15 x 65536 = 75366.4 */
    EXPECT_EQ(p.offset, -1851392);    /* -28.25 x 65536 */
    BYTE grey[4] = {0, 100, 200, 255};
    CLR_ApplyGainOffset(&p, grey, 4);
    EXPECT_EQ(grey[0], 0);   /* -29 clamped */
    EXPECT_EQ(grey[1], 85);  /* 100 x 75366 / 65536 = 114.9994 -> 114, - 29 */
    EXPECT_EQ(grey[2], 200); /* 229.9988 -> 229, - 29 */
    EXPECT_EQ(grey[3], 255); /* 293 - 29 clamped */
    CLR_BuildGainOffset(&p, 500, -500); /* clamped to 100 and -100 */
    EXPECT_EQ(p.gain, LONG(0.7 * 65536));
    EXPECT_EQ(p.offset, LONG((50 + 0.3 * 255) * 65536));
}

TEST(ColorBlackOrWhite, OnlyPureWhiteStaysWhite)
{
    /* three bytes a pixel: white, one byte short of white in each place, black, mid grey */
    BYTE bgr[] = {255, 255, 255, 254, 255, 255, 255, 254, 255, 255, 255, 254, 0, 0, 0, 128, 128, 128};
    CLR_BlackOrWhite(bgr, 6, 3);
    const BYTE wantBgr[] = {255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(bgr, wantBgr, sizeof bgr));
    /* one grey byte a pixel */
    BYTE grey[] = {255, 254, 0, 1, 255};
    CLR_BlackOrWhite(grey, 5, 1);
    const BYTE wantGrey[] = {255, 0, 0, 0, 255};
    EXPECT_EQ(0, std::memcmp(grey, wantGrey, sizeof grey));
    /* another pixel size, or no pixels, changes nothing */
    BYTE two[] = {7, 255};
    CLR_BlackOrWhite(two, 1, 2);
    CLR_BlackOrWhite(nullptr, 1, 3);
    EXPECT_EQ(two[0], 7);
    EXPECT_EQ(two[1], 255);
}

/* ---- Solid colours --------------------------------------------------------------- */

TEST_F(ColorObjectTest, SolidColoursInEveryMode)
{
    /* Text: group 1 matrix with gain (brightness 40), the built-in model 6500 K / gamma 1.0. */
    struct Case {
        const char *what;
        std::vector<std::pair<WORD, LONG>> settings;
        std::array<BYTE, 3> bgr;
        LONG kind;
        int result;
        WORD passes;
    } cases[] = {
        {"colour text, no grey handling", {}, {10, 20, 200}, CLR_KIND_TEXT, 1,
         CLR_PASS_MATRIX | CLR_PASS_BUILTIN},
        {"grey text with grey handling", {{S_GREY_HANDLING, 1}}, {90, 90, 90}, CLR_KIND_TEXT, 2,
         CLR_PASS_GREY | CLR_PASS_GAIN},
        {"coloured text with grey handling", {{S_GREY_HANDLING, 3}}, {10, 20, 200}, CLR_KIND_TEXT, 1,
         CLR_PASS_MATRIX | CLR_PASS_BUILTIN},
        {"grey graphics, handling only for text", {{S_GREY_HANDLING, 1}}, {90, 90, 90}, CLR_KIND_GRAPHICS, 1,
         CLR_PASS_BUILTIN},
        {"monochrome", {{S_COLOR_MODE, 1}}, {10, 20, 200}, CLR_KIND_TEXT, 1, CLR_PASS_MATRIX | CLR_PASS_BUILTIN},
        {"monochrome, grey handling is off", {{S_COLOR_MODE, 1}, {S_GREY_HANDLING, 3}}, {90, 90, 90},
         CLR_KIND_TEXT, 1, CLR_PASS_MATRIX | CLR_PASS_BUILTIN},
        {"black and white for both", {{S_COLOR_MODE, 1}, {S_BLACK_WHITE, 3}}, {250, 250, 250}, CLR_KIND_GRAPHICS, 1,
         CLR_PASS_BLACK_WHITE},
        {"black and white for text, white", {{S_COLOR_MODE, 1}, {S_BLACK_WHITE, 1}}, {255, 255, 255},
         CLR_KIND_TEXT, 1, CLR_PASS_BLACK_WHITE},
        {"black and white for text, graphics colour", {{S_COLOR_MODE, 1}, {S_BLACK_WHITE, 1}}, {255, 255, 255},
         CLR_KIND_GRAPHICS, 1, CLR_PASS_BUILTIN},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ColourDevmode dm;
        dm.set(S_PER_GROUP, 1);
        dm.set(S_GROUP_MASK, 1);
        dm.set(275, 40);
        dm.set(S_GAIN1, 1);
        dm.set(S_MATCHING, 1);
        dm.set(S_WHITE_POINT, 1);
        dm.set(S_GAMMA, 0);
        for (auto [id, v] : c.settings)
            dm.set(id, v);
        Object o;
        ASSERT_EQ(create(o, dm), 0);
        BYTE out[3] = {1, 1, 1};
        ASSERT_EQ(CLR_ConvertColor(o.o, nullptr, nullptr, dm.bytes(), c.bgr.data(), out, 1, 1, 0, c.kind, FALSE),
                  c.result);
        EXPECT_EQ(c.kind == CLR_KIND_TEXT ? o->textPasses : o->graphicsPasses, c.passes);

        /* the expected bytes, pass by pass in their order */
        BYTE want[3] = {c.bgr[0], c.bgr[1], c.bgr[2]};
        if (c.passes & CLR_PASS_GREY) {
            CLU_RgbToGrey(c.bgr.data(), want, 1, 1);
            CLR_ApplyGainOffset(o->gain1, want, 1);
            EXPECT_EQ(out[0], want[0]);
            continue;
        }
        if (c.passes & CLR_PASS_BUILTIN)
            ICC_ApplyGridLut(o->builtin, want, want, 1);
        if (c.passes & CLR_PASS_MATRIX)
            CLU_ApplyAdjustMatrix(o->matrix1, want, want, 1);
        if (c.passes & CLR_PASS_BLACK_WHITE) {
            bool white = want[0] == 255 && want[1] == 255 && want[2] == 255;
            std::memset(want, white ? 255 : 0, 3);
        }
        EXPECT_EQ(std::vector<BYTE>(out, out + 3), std::vector<BYTE>(want, want + 3));
    }
}

TEST_F(ColorObjectTest, SolidColourGreyTestUsesTheScanState)
{
    ColourDevmode dm;
    dm.set(S_GREY_HANDLING, 3);
    dm.set(S_PER_GROUP, 1);
    dm.set(S_GROUP_MASK, 2);
    dm.set(276, 30);
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    const BYTE grey[3] = {77, 77, 77}, colour[3] = {1, 2, 3};
    BYTE out[3];
    const LONG exactGrey = 2, isColour = 1, notTested = 4;
    EXPECT_EQ(CLR_ConvertColor(o.o, &exactGrey, nullptr, dm.bytes(), colour, out, 1, 1, 0, 1, FALSE), 2);
    EXPECT_EQ(CLR_ConvertColor(o.o, &isColour, nullptr, dm.bytes(), grey, out, 1, 1, 0, 1, TRUE), 1);
    EXPECT_EQ(o->graphicsPasses, CLR_PASS_MATRIX);
    EXPECT_EQ(CLR_ConvertColor(o.o, &isColour, nullptr, dm.bytes(), grey, out, 1, 1, 0, 1, FALSE), 2);
    EXPECT_EQ(CLR_ConvertColor(o.o, &notTested, nullptr, dm.bytes(), colour, out, 1, 1, 0, 1, FALSE), 1);
}

TEST_F(ColorObjectTest, SolidColoursPassUnchangedWhileDecorationIsDrawn)
{
    ColourDevmode dm;
    dm.set(S_COLOR_MODE, 1);
    dm.set(S_BLACK_WHITE, 3);
    dm.set(S_MATCHING, 1);
    dm.set(S_WHITE_POINT, 2);
    dm.set(S_GAMMA, 3);
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    auto pdev = std::make_unique<PdevContext>();
    pdev->annotationBracket = TRUE;
    const BYTE src[6] = {10, 20, 30, 40, 50, 60};
    BYTE out[6] = {};
    EXPECT_EQ(CLR_ConvertColor(o.o, nullptr, pdev.get(), dm.bytes(), src, out, 2, 1, 0, 0, FALSE), 1);
    EXPECT_EQ(o->textPasses, 0);
    EXPECT_EQ(std::memcmp(src, out, 6), 0);
    pdev->annotationBracket = FALSE;
    EXPECT_EQ(CLR_ConvertColor(o.o, nullptr, pdev.get(), dm.bytes(), src, out, 2, 1, 0, 0, FALSE), 1);
    EXPECT_EQ(std::vector<BYTE>(out, out + 6), std::vector<BYTE>(6, 0)) << "every non-white colour becomes black";
}

TEST_F(ColorObjectTest, SolidColourRefusals)
{
    ColourDevmode dm;
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    BYTE px[3] = {}, out[3];
    EXPECT_EQ(CLR_ConvertColor(nullptr, nullptr, nullptr, dm.bytes(), px, out, 1, 1, 0, 0, FALSE), -1);
    EXPECT_EQ(CLR_ConvertColor(o.o, nullptr, nullptr, dm.bytes(), nullptr, out, 1, 1, 0, 0, FALSE), -1);
    EXPECT_EQ(CLR_ConvertColor(o.o, nullptr, nullptr, dm.bytes(), px, out, 1, 1, 0, 2, FALSE), -1);
    EXPECT_EQ(CLR_ConvertColor(o.o, nullptr, nullptr, nullptr, px, out, 1, 1, 0, 0, FALSE), -1) << "no settings";
    EXPECT_EQ(CLR_ConvertColor(o.o, nullptr, nullptr, dm.bytes(), px, out, 65536, 1, 0, 0, FALSE), -5);
    EXPECT_EQ(CLR_ConvertColor(o.o, nullptr, nullptr, dm.bytes(), px, out, 1, 65536, 0, 0, FALSE), -5);
}

/* ---- Image rows ---------------------------------------------------------------------- */

TEST_F(ColorObjectTest, ImageRowsInEveryModeOnBgrRows)
{
    /* one row of four pixels: pure blue, pure green, pure red, a mixture (bytes blue, green, red) */
    const BYTE rows[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 30, 60, 90};
    struct Case {
        const char *what;
        std::vector<std::pair<WORD, LONG>> settings;
        WORD flags;
    } cases[] = {
        {"no pass", {}, 0},
        {"built-in model", {{S_MATCHING, 1}, {S_WHITE_POINT, 0}, {S_GAMMA, 4}}, CLR_IMAGE_BUILTIN},
        {"image matrix", {{S_PER_GROUP, 1}, {S_GROUP_MASK, 4}, {281, 50}}, CLR_IMAGE_MATRIX3},
        {"monochrome", {{S_COLOR_MODE, 1}}, CLR_IMAGE_GREY},
        {"built-in and matrix", {{S_MATCHING, 1}, {S_WHITE_POINT, 2}, {S_GAMMA, 1}, {S_GROUP_MASK, 1}, {278, 20}},
         CLR_IMAGE_BUILTIN | CLR_IMAGE_MATRIX3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ColourDevmode dm;
        for (auto [id, v] : c.settings)
            dm.set(id, v);
        Object o;
        ASSERT_EQ(create(o, dm), 0);
        ASSERT_EQ(CLR_PrepareImage(o.o, nullptr, dm.bytes(), nullptr, rows, 4, 1, 24, 2, 0xCC, 3), 0);
        EXPECT_EQ(o->imageFlags, c.flags);
        BYTE out[12] = {};
        const bool grey = c.flags & CLR_IMAGE_GREY;
        ASSERT_EQ(CLR_ConvertImageRows(o.o, rows, out, 2, 2, nullptr, nullptr, 0, 4, 24, FALSE, 0), grey ? 2 : 1);
        if (grey) {
            /* 77 red + 151 green + 28 blue: a swap of red and blue shows at once */
            EXPECT_EQ(std::vector<BYTE>(out, out + 4), (std::vector<BYTE>{27, 150, 76, (77 * 90 + 151 * 60 + 28 * 30) / 256}));
            continue;
        }
        BYTE want[12];
        std::memcpy(want, rows, 12);
        if (c.flags & CLR_IMAGE_BUILTIN)
            ICC_ApplyGridLut(o->builtin, want, want, 4);
        if (c.flags & CLR_IMAGE_MATRIX3)
            CLU_ApplyAdjustMatrix(o->matrix3, want, want, 4);
        EXPECT_EQ(std::vector<BYTE>(out, out + 12), std::vector<BYTE>(want, want + 12));
        if (c.flags & CLR_IMAGE_BUILTIN) {
            /* the built-in model at 5000 K keeps blue strongest in the first byte of the blue pixel */
            EXPECT_GT(out[0], out[2]);
            EXPECT_GT(out[8], out[6]);
        }
    }
}

TEST_F(ColorObjectTest, GreyImageRowsFillAnExactlySizedBuffer)
{
    /* monochrome with the image matrix: 600 x 3 pixels (past the chunk size) into 1,800 grey bytes */
    ColourDevmode dm;
    dm.set(S_COLOR_MODE, 1);
    dm.set(S_PER_GROUP, 1);
    dm.set(S_GROUP_MASK, 4);
    dm.set(285, 40); /* the contrast step: saturation (281) counts only in colour jobs */
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    ASSERT_EQ(CLR_PrepareImage(o.o, nullptr, dm.bytes(), nullptr, nullptr, 600, 3, 24, 2, 0xCC, 3), 0);
    EXPECT_EQ(o->imageFlags, CLR_IMAGE_MATRIX3 | CLR_IMAGE_GREY);
    std::vector<BYTE> rows(600 * 3 * 3);
    for (size_t i = 0; i < rows.size(); i++)
        rows[i] = BYTE(i * 7);
    auto grey = std::make_unique<BYTE[]>(600 * 3); /* exactly one byte a pixel */
    ASSERT_EQ(CLR_ConvertImageRows(o.o, rows.data(), grey.get(), 600, 3, nullptr, nullptr, 0, 4, 24, FALSE, 0), 2);
    for (size_t p : {size_t(0), size_t(255), size_t(256), size_t(1799)}) {
        BYTE px[3];
        CLU_ApplyAdjustMatrix(o->matrix3, rows.data() + 3 * p, px, 1);
        EXPECT_EQ(grey[p], (77 * px[2] + 151 * px[1] + 28 * px[0]) >> 8) << p;
    }
    /* in place: the grey bytes trail the pixels they come from */
    ASSERT_EQ(CLR_ConvertImageRows(o.o, rows.data(), rows.data(), 600, 3, nullptr, nullptr, 0, 4, 24, FALSE, 0), 2);
    EXPECT_EQ(std::memcmp(rows.data(), grey.get(), 1800), 0);
}

TEST_F(ColorObjectTest, ImageRowsPalettesAndRefusals)
{
    ColourDevmode dm;
    dm.set(S_PER_GROUP, 1);
    dm.set(S_GROUP_MASK, 4);
    dm.set(277, -30);
    Object o;
    ASSERT_EQ(create(o, dm), 0);
    ASSERT_EQ(CLR_PrepareImage(o.o, nullptr, dm.bytes(), nullptr, nullptr, 2, 1, 8, 2, 0xCC, 3), 0);
    const BYTE palette[6] = {0, 0, 255, 255, 255, 255};
    BYTE out[6] = {}, want[6];
    EXPECT_EQ(CLR_ConvertImageRows(o.o, nullptr, nullptr, 2, 1, palette, out, 2, 11, 8, FALSE, 0), 1);
    CLU_ApplyAdjustMatrix(o->matrix3, palette, want, 2);
    EXPECT_EQ(std::memcmp(out, want, 6), 0);
    EXPECT_EQ(CLR_ConvertImageRows(o.o, nullptr, nullptr, 2, 1, palette, out, 2, 11, 1, TRUE, 0), 2)
        << "the black-and-white flag adds the grey pass";
    EXPECT_EQ(CLR_ConvertImageRows(o.o, nullptr, nullptr, 2, 1, palette, out, 3, 11, 1, FALSE, 0), -1)
        << "three colours for a 1-bit image";
    BYTE row[3] = {};
    EXPECT_EQ(CLR_ConvertImageRows(o.o, row, row, 1, 1, nullptr, nullptr, 0, 4, 24, TRUE, 0), 1)
        << "the black-and-white flag is for palettes";
    EXPECT_EQ(CLR_ConvertImageRows(o.o, row, row, 1, 1, nullptr, nullptr, 0, 4, 8, FALSE, 0), -1);
    EXPECT_EQ(CLR_ConvertImageRows(o.o, row, row, 1, 1, nullptr, nullptr, 0, 11, 24, FALSE, 0), -1);
    EXPECT_EQ(CLR_ConvertImageRows(o.o, row, row, 65536, 1, nullptr, nullptr, 0, 4, 24, FALSE, 0), -5);
    EXPECT_EQ(CLR_ConvertImageRows(nullptr, row, row, 1, 1, nullptr, nullptr, 0, 4, 24, FALSE, 0), -1);
    EXPECT_EQ(CLR_PrepareImage(o.o, nullptr, nullptr, nullptr, nullptr, 1, 1, 24, 2, 0xCC, 3), -1) << "no settings";
}

/* ---- The outside engine --------------------------------------------------------------- */

class ColorEngineTest : public ColorObjectTest {
protected:
    /* Installs a printer whose model names `library` as the colour engine (model text 4). */
    void installEngine(const std::u16string &printer, const std::string &library)
    {
        mw::Model m = tarvel_models::colourPrinter(0x1600);
        std::string stem(printer.begin(), printer.end());
        m.fileName = stem + ".DDD";
        if (!m.companionName.empty())
            m.companionName = stem + ".DDC";
        m.main.entries[21] = mw::eText(mw::stored(library));
        installWritten(printer, m);
    }

    /* Makes a colour object with the engine asked for, on `printer`. */
    int createWithEngine(Object &o, const std::u16string &printer)
    {
        Printer p(printer);
        ColourDevmode dm;
        dm.set(S_ENGINE_MODE, 1);
        return create(o, dm, nullptr, p.handle);
    }
};

TEST_F(ColorEngineTest, LoadedCalledInOrderAndUnloaded)
{
    installEngine(u"Engine", "tarvelqce.dll");
    const std::u16string lib = plat::driver_dir_win() + u"\\tarvelqce.dll";
    HMODULE held = LoadLibraryW(lib.c_str()); /* keeps the stand-in's record after the driver frees it */
    ASSERT_NE(held, nullptr);
    {
        Object o;
        ASSERT_EQ(createWithEngine(o, u"Engine"), 0);
        ASSERT_NE(o->engineHandle, 0u);
        EXPECT_NE(o->engineModule, nullptr);
        EXPECT_EQ(o->engineMode, 1);
        const QceRecord *r = QceRecordOf(lib.c_str());
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(r->callCount, 1u);
        EXPECT_EQ(r->calls[0], QCE_CALL_LOAD);
        EXPECT_EQ(std::u16string(r->dataPath), plat::driver_dir_win() + u"\\Tarvel colour laser printer")
            << "the engine's data: the driver directory and model text 1";
    }
    const QceRecord *r = QceRecordOf(lib.c_str());
    ASSERT_EQ(r->callCount, 3u);
    EXPECT_EQ(r->calls[1], QCE_CALL_DELETE);
    EXPECT_EQ(r->calls[2], QCE_CALL_FREE);
    EXPECT_EQ(r->handleMismatches, 0u);
    FreeLibrary(held);
}

/* Holds a strip of `width` x `height` pixels of the bytes `bytes` (blue, green, red repeated). */
void holdStrip(PendingImageList *list, LONG width, LONG height, const std::vector<BYTE> &bytes)
{
    HANDLE block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes.size());
    ASSERT_NE(block, nullptr);
    BYTE *pixels = static_cast<BYTE *>(GlobalLock(block));
    std::memcpy(pixels, bytes.data(), bytes.size());
    ImageDescriptor d{};
    d.srcWidth = WORD(width);
    d.srcHeight = WORD(height);
    d.colorFormat = BLT_FORMAT_RGB;
    d.bits = 8;
    d.method = 1;
    d.imageBytes = DWORD(bytes.size());
    RECTL dest{0, 0, width, height};
    ASSERT_EQ(BLT_QueuePendingImage(list, nullptr, &dest, &d, &pixels, &block), 0);
    EXPECT_EQ(block, nullptr) << "the node owns the block";
    EXPECT_EQ(pixels, nullptr);
}

/* The pixels of the list's nodes, first to last. */
std::vector<std::vector<BYTE>> heldPixels(PendingImageList *list)
{
    std::vector<std::vector<BYTE>> out;
    for (PendingImage *n = list->first; n; n = n->next) {
        const BYTE *p = n->pixels ? n->pixels : static_cast<const BYTE *>(GlobalLock(n->block));
        out.emplace_back(p, p + size_t(n->descriptor.srcWidth) * n->descriptor.srcHeight * 3);
        if (!n->pixels)
            GlobalUnlock(n->block);
    }
    return out;
}

/* Frees the nodes of a list on the stack (the spool's free takes a list of its own). */
void freeHeld(PendingImageList &list) { BLT_FreeImageSpool(nullptr, new PendingImageList(list)); }

std::vector<BYTE> inverted(std::vector<BYTE> v)
{
    for (BYTE &b : v)
        b = QceConvertByte(b);
    return v;
}

TEST_F(ColorEngineTest, PictureMatchingFollowsTheStripsOfOnePicture)
{
    PendingImageList list{};
    struct Step {
        LONG width, height, bits, rop3;
        int answer;
        PendingImageKey key;
    } steps[] = {
        {100, 10, 24, 0xCC, 6, {3, 24, 100, 10}},  /* a new picture */
        {100, 10, 24, 0xCC, 7, {3, 24, 100, 10}},  /* the next strip down */
        {100, 7, 24, 0xCC, 7, {3, 24, 100, 0}},    /* same width, other height: only widths compared now */
        {100, 12, 24, 0xCC, 7, {3, 24, 100, 0}},
        {80, 12, 24, 0xCC, 6, {3, 24, 80, 12}},    /* another width: a new picture */
        {50, 12, 24, 0xCC, 7, {3, 24, 0, 12}},     /* same height: only heights from now */
        {50, 12, 32, 0xCC, 6, {3, 32, 50, 12}},    /* other bits per pixel */
        {50, 12, 8, 0xCC, 8, {0, 0, 0, 0}},        /* 8 bits are never for the engine */
        {50, 12, 24, 0x88, 8, {0, 0, 0, 0}},       /* nor another raster operation */
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(testing::Message() << s.width << "x" << s.height << " " << s.bits);
        EXPECT_EQ(CLR_MatchImageBand(&list, s.width, s.height, s.bits, 2, s.rop3, 3), s.answer);
        EXPECT_EQ(list.key.code, s.key.code);
        EXPECT_EQ(list.key.bits, s.key.bits);
        EXPECT_EQ(list.key.width, s.key.width);
        EXPECT_EQ(list.key.height, s.key.height);
    }
    EXPECT_EQ(CLR_MatchImageBand(nullptr, 4, 4, 24, 2, 0xCC, 3), -1);
}

TEST_F(ColorEngineTest, HeldStripsAreShownToTheEngineThenConvertedInOrder)
{
    installEngine(u"Engine", "tarvelqce.dll");
    const std::u16string lib = plat::driver_dir_win() + u"\\tarvelqce.dll";
    HMODULE held = LoadLibraryW(lib.c_str());
    ASSERT_NE(held, nullptr);
    {
        Object o;
        ASSERT_EQ(createWithEngine(o, u"Engine"), 0);
        PendingImageList list{};
        const std::vector<BYTE> a = {1, 2, 3, 4, 5, 6}, b = {200, 100, 50};
        holdStrip(&list, 2, 1, a);
        holdStrip(&list, 1, 1, b);
        ASSERT_EQ(list.count, 2u);
        o->imageFlags = CLR_IMAGE_ENGINE;
        const DWORD before = QceRecordOf(lib.c_str())->callCount;
        EXPECT_EQ(CLR_ConvertPendingImages(o.o, &list, TRUE), 0);
        const QceRecord *r = QceRecordOf(lib.c_str());
        const std::vector<BYTE> calls(r->calls + before, r->calls + r->callCount);
        EXPECT_EQ(calls, (std::vector<BYTE>{QCE_CALL_BEGIN, QCE_CALL_PARAM, QCE_CALL_PARAM, QCE_CALL_END,
                                            QCE_CALL_CONVERT, QCE_CALL_CONVERT, QCE_CALL_DELETE}));
        EXPECT_EQ(heldPixels(&list), (std::vector<std::vector<BYTE>>{inverted(a), inverted(b)}));

        /* Without the release flag the engine is left out: the strips stay as they were. */
        PendingImageList plain{};
        holdStrip(&plain, 2, 1, a);
        o->imageFlags = CLR_IMAGE_ENGINE;
        const DWORD count = r->callCount;
        EXPECT_EQ(CLR_ConvertPendingImages(o.o, &plain, FALSE), 0);
        EXPECT_EQ(r->callCount, count) << "the engine is not called";
        EXPECT_EQ(heldPixels(&plain), (std::vector<std::vector<BYTE>>{a}));
        EXPECT_EQ(CLR_GetMode(o.o), 3);
        freeHeld(plain);
        freeHeld(list);
    }
    FreeLibrary(held);
}

TEST_F(ColorEngineTest, AnEngineThatDeclinesOrFailsLeavesTheStripsUnconverted)
{
    installEngine(u"Engine", "tarvelqce.dll");
    const std::u16string lib = plat::driver_dir_win() + u"\\tarvelqce.dll";
    HMODULE held = LoadLibraryW(lib.c_str());
    ASSERT_NE(held, nullptr);
    struct Case {
        const char *name;
        QceConfig config;
        int answer;
    } cases[] = {
        {"declined", QceConfig{FALSE, 0, 0, QCE_DECLINE, 0}, 0},
        {"begin fails", QceConfig{FALSE, 5, 0, 0, 0}, -6},
        {"statistics fail", QceConfig{FALSE, 0, 5, 0, 0}, -6},
        {"end fails", QceConfig{FALSE, 0, 0, 5, 0}, -6},
        {"conversion fails", QceConfig{FALSE, 0, 0, 0, 5}, -6},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Object o;
        ASSERT_EQ(createWithEngine(o, u"Engine"), 0);
        ASSERT_TRUE(QceConfigureModule(lib.c_str(), c.config));
        PendingImageList list{};
        const std::vector<BYTE> a = {10, 20, 30};
        holdStrip(&list, 1, 1, a);
        o->imageFlags = CLR_IMAGE_ENGINE;
        EXPECT_EQ(CLR_ConvertPendingImages(o.o, &list, TRUE), c.answer);
        EXPECT_EQ(heldPixels(&list), (std::vector<std::vector<BYTE>>{a}));
        /* The retry without the engine converts what is held without calling it. */
        EXPECT_EQ(CLR_ConvertPendingImages(o.o, &list, FALSE), 0);
        EXPECT_EQ(heldPixels(&list), (std::vector<std::vector<BYTE>>{a}));
        freeHeld(list);
        ASSERT_TRUE(QceConfigureModule(lib.c_str(), QceConfig{}));
    }
    FreeLibrary(held);
}

TEST_F(ColorEngineTest, AbsentIncompleteOrRefusingEngineMeansNoEngineAndNoMessage)
{
    installEngine(u"Incomplete", "tarvelqce0.dll");
    installEngine(u"Absent", "nosuchqce.dll");
    for (const char16_t *printer : {u"Incomplete", u"Absent"}) {
        SCOPED_TRACE(std::string(printer, printer + std::char_traits<char16_t>::length(printer)).c_str());
        Object o;
        ASSERT_EQ(createWithEngine(o, printer), 0);
        EXPECT_EQ(o->engineHandle, 0u);
        EXPECT_EQ(o->engineModule, nullptr);
        EXPECT_EQ(o->engine.load, nullptr);
    }
    EXPECT_EQ(GetModuleHandleW((plat::driver_dir_win() + u"\\tarvelqce0.dll").c_str()), nullptr)
        << "an engine without all seven functions is unloaded again";

    /* An engine whose load answers 0 is kept out; it is never freed with a handle. */
    installEngine(u"Refusing", "tarvelqce.dll");
    const std::u16string lib = plat::driver_dir_win() + u"\\tarvelqce.dll";
    HMODULE held = LoadLibraryW(lib.c_str());
    ASSERT_TRUE(QceConfigureModule(lib.c_str(), QceConfig{TRUE, 0, 0, 0, 0}));
    {
        Object o;
        ASSERT_EQ(createWithEngine(o, u"Refusing"), 0);
        EXPECT_EQ(o->engineHandle, 0u);
    }
    const QceRecord *r = QceRecordOf(lib.c_str());
    ASSERT_EQ(r->callCount, 1u);
    EXPECT_EQ(r->calls[0], QCE_CALL_LOAD);
    EXPECT_TRUE(plat::msgbox_log().empty());
    FreeLibrary(held);
}

} // namespace
