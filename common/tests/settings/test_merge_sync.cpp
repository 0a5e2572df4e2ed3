/*
 * Tests of the single synchronisation steps that follow a merge or a change
 * in the property sheets: TrueType option and font substitution, colour,
 * the scale and custom-size flags, the paper source and the tray, the ICM
 * method, the mask of setting 273, resolution without the model, and the
 * mapping description's colour and media rules.
 */
#include "test_fid_support.h"

#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_merge.h>

namespace {

using namespace fid_test;

class MergeSync : public SchemaTest {
protected:
    void prepare(const std::string &cfg = "")
    {
        install(kColour, cfg);
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), u"Tarvel"));
    }
    LONG value(WORD id) { return read(id, rec_.dm(), rec_.pd()).number(); }
    void set(WORD id, DWORD v) { ASSERT_EQ(put(id, rec_.dm(), rec_.pd(), v), DMA_OK) << id; }
    DWORD fields() { return read(6, rec_.dm(), rec_.pd()).unsignedNumber(); }
    Records rec_;
};

TEST_F(MergeSync, TrueTypeOptionAndFontSubstitution)
{
    prepare();
    struct Case {
        WORD ttOption, before, after;
    } toSubstitution[] = {{1, 0, 1}, {1, 2, 1}, {2, 0, 0}, {2, 2, 2}, {3, 1, 2}, {4, 0, 0}};
    for (const Case &c : toSubstitution) {
        set(17, c.ttOption);
        set(292, c.before);
        ASSERT_TRUE(FID_SyncTrueTypeOption(rec_.dm(), rec_.pd(), 17));
        EXPECT_EQ(value(292), c.after) << c.ttOption << " " << c.before;
    }
    struct Back {
        WORD substitution, ttOption;
    } toOption[] = {{1, 1}, {0, 3}, {2, 3}};
    for (const Back &b : toOption) {
        set(292, b.substitution);
        ASSERT_TRUE(FID_SyncTrueTypeOption(rec_.dm(), rec_.pd(), 292));
        EXPECT_EQ(value(17), b.ttOption) << b.substitution;
    }
    EXPECT_FALSE(FID_SyncTrueTypeOption(nullptr, rec_.pd(), 17));
}

TEST_F(MergeSync, ColourFieldFollowsColourModeAndEconomy)
{
    prepare();
    set(6, 0);
    struct Case {
        WORD forceMono, colourMode, economy;
        LONG colourModeAfter, color;
    } cases[] = {
        {0, 0, 0, 0, 2}, {0, 1, 1, 1, 1}, {0, 1, 0, 1, 2}, {0, 2, 1, 2, 2},
        {1, 0, 1, 1, 1}, /* 5202 forces monochrome */
        {1, 2, 0, 1, 2},
    };
    for (const Case &c : cases) {
        set(5202, c.forceMono);
        set(270, c.colourMode);
        set(345, c.economy);
        ASSERT_TRUE(FID_SyncColorField(rec_.dm(), rec_.pd()));
        EXPECT_EQ(value(270), c.colourModeAfter);
        EXPECT_EQ(value(15), c.color);
        EXPECT_EQ(fields() & 0x800, 0x800u);
    }
    EXPECT_FALSE(FID_SyncColorField(rec_.dm(), nullptr)) << "5202 lives in the printer data";
}

TEST_F(MergeSync, ScaleAndCustomSizeFlags)
{
    prepare();
    set(6, 0x1 | 0x10 | 0xC);
    ASSERT_TRUE(FID_SyncScaleFlag(rec_.dm()));
    EXPECT_EQ(fields(), 0x1u | 0xC);
    set(1324, 1);
    ASSERT_TRUE(FID_SyncScaleFlag(rec_.dm()));
    EXPECT_EQ(fields(), 0x1u | 0xC | 0x10);
    ASSERT_TRUE(FID_SyncCustomSizeFlags(rec_.dm()));
    EXPECT_EQ(fields(), 0x1u | 0x10);
    set(1331, 1);
    ASSERT_TRUE(FID_SyncCustomSizeFlags(rec_.dm()));
    EXPECT_EQ(fields(), 0x1u | 0x10 | 0xC);
    EXPECT_FALSE(FID_SyncScaleFlag(nullptr));
}

TEST_F(MergeSync, PaperSourceFollowsTheTrayMode)
{
    prepare();
    struct Case {
        WORD trayMode, source;
        LONG target;
    } cases[] = {{0, 3, 7}, {2, 3, 7}, {1, 3, 3}, {1, 15, 7}, {3, 257, 257}};
    for (const Case &c : cases) {
        set(265, 7);
        set(457, c.trayMode);
        set(13, c.source);
        ASSERT_TRUE(FID_SyncPaperSource(rec_.dm(), rec_.pd(), FID_DMBIN_FORMSOURCE, 13, 265));
        EXPECT_EQ(value(265), c.target) << c.trayMode << " " << c.source;
    }

    set(457, 1);
    set(265, 3);
    set(13, 7);
    ASSERT_TRUE(FID_SyncDefaultSourceFromTray(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(13), 3);
    set(265, 258);
    ASSERT_TRUE(FID_SyncDefaultSourceFromTray(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(13), 3) << "258 is left where it is";
}

TEST_F(MergeSync, IcmMethodFromGloss)
{
    prepare();
    set(6, 0);
    set(293, 3);
    ASSERT_TRUE(FID_SyncIcmMethod(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(22), 2);
    EXPECT_EQ(fields(), 0x800000u);
    set(293, 2);
    ASSERT_TRUE(FID_SyncIcmMethod(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(22), 1);
}

TEST_F(MergeSync, MaskOfSetting273)
{
    prepare();
    set(1314, 0);
    ASSERT_TRUE(FID_SyncId273Mask(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(273), 0);
    set(278, 5);
    ASSERT_TRUE(FID_SyncId273Mask(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(273), 7) << "one group of three";
    set(275, 1);
    ASSERT_TRUE(FID_SyncId273Mask(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(273), 7) << "275 counts only with 1314";

    set(1314, 1);
    ASSERT_TRUE(FID_SyncId273Mask(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(273), 1) << "278 is not in the three groups";
    set(285, 0xFFFF);
    ASSERT_TRUE(FID_SyncId273Mask(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(273), 1 | 4);
    set(280, 2);
    ASSERT_TRUE(FID_SyncId273Mask(rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(273), 1 | 2 | 4);
}

TEST_F(MergeSync, ResolutionWithoutTheModel)
{
    prepare();
    Records in = rec_;
    ASSERT_EQ(put(20, in.dm(), in.pd(), 1200), DMA_OK);
    ASSERT_EQ(put(21, in.dm(), in.pd(), 300), DMA_OK);
    set(6, 0);
    ASSERT_TRUE(FID_MergeResolution(ctx(), rec_.dm(), in.dm(), rec_.pd(), FID_OP_CHECK));
    EXPECT_EQ(value(20), 1200);
    EXPECT_EQ(value(21), 1200);
    EXPECT_EQ(fields(), 0x2400u);

    ASSERT_EQ(put(20, in.dm(), in.pd(), 0xFFFF), DMA_OK); /* -1: a DMRES_ value, not taken */
    ASSERT_TRUE(FID_MergeResolution(ctx(), rec_.dm(), in.dm(), rec_.pd(), FID_OP_CHECK));
    EXPECT_EQ(value(20), 1200);
}

TEST_F(MergeSync, MappedColourAndMedia)
{
    prepare("[DME,1]\ncolor.mode=2\nmedia.merge=1\n");
    Records in = rec_;
    struct Case {
        WORD color;
        LONG colourMode;
    } cases[] = {{2, 0}, {1, 1}, {0, 1}};
    for (const Case &c : cases) {
        ASSERT_EQ(put(15, in.dm(), in.pd(), c.color), DMA_OK);
        ASSERT_TRUE(FID_ApplyMappedColour(ctx(), rec_.dm(), in.dm(), rec_.pd()));
        EXPECT_EQ(value(270), c.colourMode) << c.color;
    }
    set(24, 14);
    ASSERT_TRUE(FID_ApplyMappedMedia(ctx(), rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(388), 14);
    EXPECT_EQ(value(453), 14);
    EXPECT_FALSE(FID_ApplyMappedColour(nullptr, rec_.dm(), in.dm(), rec_.pd()));
    EXPECT_FALSE(FID_ApplyMappedMedia(nullptr, rec_.dm(), rec_.pd()));
}

TEST_F(MergeSync, MappingItemsThatDoNothing)
{
    prepare("[DME,1]\ncolor.mode=0\n");
    Records in = rec_;
    ASSERT_EQ(put(15, in.dm(), in.pd(), 2), DMA_OK);
    set(270, 2);
    ASSERT_TRUE(FID_ApplyMappedColour(ctx(), rec_.dm(), in.dm(), rec_.pd()));
    EXPECT_EQ(value(270), 2) << "mode 0";
    set(24, 14);
    ASSERT_TRUE(FID_ApplyMappedMedia(ctx(), rec_.dm(), rec_.pd()));
    EXPECT_EQ(value(388), 100) << "media merge 0 by default";
}

} // namespace
