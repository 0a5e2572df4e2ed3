// The engine's drawing objects: translations from their public fields and
// between RGB layouts, brushes realised through the library's call-back,
// clip enumeration in each direction and as a path, path enumeration and
// bounds, transforms and their inverses, strings in batches, and the
// recorded fallbacks with scripted answers.
#include "test_file_fixture.h"

#include <plat/engine.h>
#include <plat/fault.h>

#include <cmath>
#include <cstring>

using EngineDraw = MachineTest;

namespace {

TEST_F(EngineDraw, TranslationsFromTheirPublicFieldsAndBetweenLayouts)
{
    /* a library's own two-entry table, and an engine table */
    ULONG two[2] = {0x000000, 0xFFFFFF};
    XLATEOBJ own{0, XO_TABLE, 0, 0, 2, two};
    EXPECT_EQ(XLATEOBJ_iXlate(&own, 1), 0xFFFFFFu);
    EXPECT_EQ(XLATEOBJ_iXlate(&own, 2), 0xFFFFFFFFu) << "past the table";
    XLATEOBJ trivial{0, XO_TRIVIAL, 0, 0, 0, nullptr};
    EXPECT_EQ(XLATEOBJ_iXlate(&trivial, 0x123456), 0x123456u);
    EXPECT_EQ(XLATEOBJ_iXlate(nullptr, 7), 7u);
    XLATEOBJ brokenTable{0, XO_TABLE, 0, 0, 4, nullptr};
    EXPECT_EQ(XLATEOBJ_iXlate(&brokenTable, 0), 0xFFFFFFFFu);

    XLATEOBJ *table = plat::engine_make_xlate_table({0x0000FF, 0x00FF00, 0xFF0000});
    EXPECT_EQ(table->flXlate, XO_TABLE);
    EXPECT_EQ(XLATEOBJ_iXlate(table, 2), 0xFF0000u);
    struct Case {
        XLATEOBJ *xlo;
        ULONG in, out;
    } cases[] = {
        {plat::engine_make_xlate_rgb(PAL_RGB), 0x00112233, 0x00112233},
        {plat::engine_make_xlate_rgb(PAL_BGR), 0x00112233, 0x00332211},
        {plat::engine_make_xlate_rgb(PAL_BITFIELDS, 0x7C00, 0x03E0, 0x001F), 0x7FFF, 0x00FFFFFF},   /* 555 white */
        {plat::engine_make_xlate_rgb(PAL_BITFIELDS, 0x7C00, 0x03E0, 0x001F), 0x7C00, 0x000000FF},   /* 555 red */
        {plat::engine_make_xlate_rgb(PAL_BITFIELDS, 0xF800, 0x07E0, 0x001F), 0x07E0, 0x0000FF00},   /* 565 green */
        {plat::engine_make_xlate_rgb(PAL_BITFIELDS, 0xF800, 0x07E0, 0x001F), 0x0010, 0x00840000},   /* 565 half blue */
    };
    for (const Case &c : cases) {
        EXPECT_EQ(XLATEOBJ_iXlate(c.xlo, c.in), c.out) << std::hex << c.in;
        plat::engine_free_xlate(c.xlo);
    }
    EXPECT_EQ(plat::engine_make_xlate_rgb(PAL_INDEXED), nullptr);
    plat::engine_free_xlate(table);
}

/* The library's side of a brush realisation. */
struct Realizer {
    static inline int calls = 0;
    static inline bool fail = false;
    static inline ULONG hatch = 0;
    static BOOL realize(BRUSHOBJ *pbo, SURFOBJ *, SURFOBJ *, SURFOBJ *, XLATEOBJ *, ULONG iHatch)
    {
        ++calls;
        hatch = iHatch;
        auto *p = static_cast<ULONG *>(BRUSHOBJ_pvAllocRbrush(pbo, 16));
        if (!p)
            return FALSE;
        p[0] = 0xB1B1;
        return !fail;
    }
};

TEST_F(EngineDraw, BrushesAreRealisedOnceThroughTheLibrary)
{
    Realizer::calls = 0;
    Realizer::fail = false;
    BRUSHOBJ *brush = plat::engine_make_pattern_brush({Realizer::realize, nullptr, nullptr, nullptr, nullptr, 3});
    EXPECT_EQ(brush->iSolidColor, BO_NOT_SOLID);
    auto *r = static_cast<ULONG *>(BRUSHOBJ_pvGetRbrush(brush));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r[0], 0xB1B1u);
    EXPECT_EQ(Realizer::hatch, 3u);
    EXPECT_EQ(BRUSHOBJ_pvGetRbrush(brush), r) << "realised once";
    EXPECT_EQ(Realizer::calls, 1);
    EXPECT_EQ(plat::engine_brush_realize_count(brush), 1u);
    plat::engine_free_brush(brush);

    /* a failed realisation leaves no realisation and frees what was allocated */
    Realizer::fail = true;
    BRUSHOBJ *failing = plat::engine_make_pattern_brush({Realizer::realize, nullptr, nullptr, nullptr, nullptr, 0});
    EXPECT_EQ(BRUSHOBJ_pvGetRbrush(failing), nullptr);
    EXPECT_EQ(BRUSHOBJ_pvGetRbrush(failing), nullptr);
    EXPECT_EQ(plat::engine_brush_realize_count(failing), 2u);
    plat::engine_free_brush(failing);

    /* memory short inside the realisation */
    Realizer::fail = false;
    BRUSHOBJ *starved = plat::engine_make_pattern_brush({Realizer::realize, nullptr, nullptr, nullptr, nullptr, 0});
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(BRUSHOBJ_pvGetRbrush(starved), nullptr);
    plat::engine_free_brush(starved);

    /* a solid brush and a library's own record have nothing to realise */
    BRUSHOBJ *solid = plat::engine_make_solid_brush(0x00FF00);
    EXPECT_EQ(BRUSHOBJ_pvGetRbrush(solid), nullptr);
    EXPECT_EQ(BRUSHOBJ_pvAllocRbrush(solid, 0), nullptr);
    plat::engine_free_brush(solid);
    BRUSHOBJ own{0x123, nullptr, 0};
    EXPECT_EQ(BRUSHOBJ_pvGetRbrush(&own), nullptr);
    EXPECT_EQ(BRUSHOBJ_pvAllocRbrush(&own, 8), nullptr);
    EXPECT_EQ(BRUSHOBJ_pvGetRbrush(nullptr), nullptr);
}

TEST_F(EngineDraw, ClipsEnumerateInEachDirectionAndAsAPath)
{
    CLIPOBJ *trivial = plat::engine_make_clip({});
    EXPECT_EQ(trivial->iDComplexity, DC_TRIVIAL);
    plat::engine_free_clip(trivial);

    const std::vector<RECTL> rects = {{10, 0, 20, 5}, {0, 0, 5, 5}, {0, 10, 5, 20}, {10, 10, 20, 20}};
    CLIPOBJ *clip = plat::engine_make_clip(rects);
    EXPECT_EQ(clip->iDComplexity, DC_COMPLEX);
    EXPECT_EQ(clip->rclBounds.right, 20);
    EXPECT_EQ(clip->rclBounds.bottom, 20);
    struct Case {
        ULONG direction;
        std::vector<LONG> lefts, tops;
    } cases[] = {
        {CD_RIGHTDOWN, {0, 10, 0, 10}, {0, 0, 10, 10}},
        {CD_LEFTDOWN, {10, 0, 10, 0}, {0, 0, 10, 10}},
        {CD_RIGHTUP, {0, 10, 0, 10}, {10, 10, 0, 0}},
        {CD_LEFTUP, {10, 0, 10, 0}, {10, 10, 0, 0}},
        {CD_ANY, {10, 0, 0, 10}, {0, 0, 10, 10}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, c.direction, 0), 4u);
        /* room for three rectangles at a time: two calls */
        struct {
            ULONG c;
            RECTL r[3];
        } batch;
        std::vector<LONG> lefts, tops;
        EXPECT_TRUE(CLIPOBJ_bEnum(clip, sizeof batch, reinterpret_cast<ULONG *>(&batch)));
        EXPECT_EQ(batch.c, 3u);
        for (ULONG i = 0; i < batch.c; i++)
            lefts.push_back(batch.r[i].left), tops.push_back(batch.r[i].top);
        EXPECT_FALSE(CLIPOBJ_bEnum(clip, sizeof batch, reinterpret_cast<ULONG *>(&batch)));
        EXPECT_EQ(batch.c, 1u);
        lefts.push_back(batch.r[0].left), tops.push_back(batch.r[0].top);
        EXPECT_EQ(lefts, c.lefts) << c.direction;
        EXPECT_EQ(tops, c.tops) << c.direction;
    }
    EXPECT_EQ(CLIPOBJ_cEnumStart(clip, TRUE, CT_RECTANGLES, CD_ANY, 3), 0xFFFFFFFFu) << "more than the limit";

    PATHOBJ *path = CLIPOBJ_ppoGetPath(clip);
    ASSERT_NE(path, nullptr);
    PATHOBJ_vEnumStart(path);
    PATHDATA pd;
    EXPECT_TRUE(PATHOBJ_bEnum(path, &pd));
    ASSERT_EQ(pd.count, 4u);
    EXPECT_EQ(pd.flags & PD_CLOSEFIGURE, PD_CLOSEFIGURE);
    EXPECT_EQ(pd.pptfx[0].x, 160);
    EXPECT_EQ(pd.pptfx[2].x, 320);
    EXPECT_EQ(pd.pptfx[2].y, 80);
    RECTFX bounds;
    PATHOBJ_vGetBounds(path, &bounds);
    EXPECT_EQ(bounds.xRight, 320);
    EXPECT_EQ(bounds.yBottom, 320);
    EngDeletePath(path);
    plat::engine_free_clip(clip);

    CLIPOBJ own{};
    EXPECT_EQ(CLIPOBJ_cEnumStart(&own, TRUE, CT_RECTANGLES, CD_ANY, 0), 0xFFFFFFFFu);
    EXPECT_EQ(CLIPOBJ_ppoGetPath(&own), nullptr);
}

TEST_F(EngineDraw, PathsEnumerateTheirFiguresAndBounds)
{
    PATHOBJ *path = plat::engine_make_path(
        {{{{0, 0}, {160, 0}, {160, 160}}, true, false}, {{{-8, 40}, {16, 48}, {32, 64}, {48, 300}}, false, true}});
    EXPECT_EQ(path->fl & PO_BEZIERS, PO_BEZIERS);
    EXPECT_EQ(path->fl & PO_ALL_INTEGERS, 0u);
    EXPECT_EQ(path->cCurves, 4u); /* two lines and the closing one, one bezier */
    PATHDATA pd;
    PATHOBJ_vEnumStart(path);
    EXPECT_TRUE(PATHOBJ_bEnum(path, &pd));
    EXPECT_EQ(pd.flags, PD_BEGINSUBPATH | PD_ENDSUBPATH | PD_RESETSTYLE | PD_CLOSEFIGURE);
    EXPECT_FALSE(PATHOBJ_bEnum(path, &pd));
    EXPECT_EQ(pd.flags, PD_BEGINSUBPATH | PD_ENDSUBPATH | PD_BEZIERS);
    EXPECT_EQ(pd.count, 4u);
    EXPECT_FALSE(PATHOBJ_bEnum(path, &pd));
    EXPECT_EQ(pd.count, 0u);
    PATHOBJ_vEnumStart(path);
    EXPECT_TRUE(PATHOBJ_bEnum(path, &pd));
    RECTFX b;
    PATHOBJ_vGetBounds(path, &b);
    EXPECT_EQ(b.xLeft, -8);
    EXPECT_EQ(b.yTop, 0);
    EXPECT_EQ(b.xRight, 160);
    EXPECT_EQ(b.yBottom, 300);
    EngDeletePath(path);
    EngDeletePath(nullptr);
    PATHOBJ own{};
    EXPECT_FALSE(PATHOBJ_bEnum(&own, &pd));
}

TEST_F(EngineDraw, TransformsAndTheirInverses)
{
    struct Case {
        XFORML m;
        ULONG kind;
    } cases[] = {
        {{1, 0, 0, 1, 0, 0}, GX_IDENTITY},
        {{1, 0, 0, 1, 5, -3}, GX_OFFSET},
        {{2, 0, 0, 0.5f, 0, 0}, GX_SCALE},
        {{0, 1, -1, 0, 10, 20}, GX_GENERAL},
    };
    for (const Case &c : cases) {
        XFORMOBJ *xo = plat::engine_make_xform(c.m);
        XFORML got{};
        EXPECT_EQ(XFORMOBJ_iGetXform(xo, &got), c.kind);
        EXPECT_EQ(std::memcmp(&got, &c.m, sizeof got), 0);
        POINTL p[2] = {{3, 4}, {-7, 9}}, q[2], back[2];
        ASSERT_TRUE(XFORMOBJ_bApplyXform(xo, XF_LTOL, 2, p, q));
        EXPECT_EQ(q[0].x, LONG(std::lround(3 * c.m.eM11 + 4 * c.m.eM21 + c.m.eDx)));
        EXPECT_EQ(q[0].y, LONG(std::lround(3 * c.m.eM12 + 4 * c.m.eM22 + c.m.eDy)));
        ASSERT_TRUE(XFORMOBJ_bApplyXform(xo, XF_INV_LTOL, 2, q, back));
        if (c.kind != GX_SCALE) { /* 0.5 loses the odd coordinate */
            EXPECT_EQ(back[1].x, -7);
            EXPECT_EQ(back[1].y, 9);
        }
        POINTFIX fx[1];
        ASSERT_TRUE(XFORMOBJ_bApplyXform(xo, XF_LTOFX, 1, p, fx));
        EXPECT_EQ(fx[0].x, LONG(std::lround((3 * c.m.eM11 + 4 * c.m.eM21 + c.m.eDx) * 16)));
        ASSERT_TRUE(XFORMOBJ_bApplyXform(xo, XF_INV_FXTOL, 1, fx, back));
        EXPECT_EQ(back[0].x, 3);
        EXPECT_FALSE(XFORMOBJ_bApplyXform(xo, 7, 1, p, q));
        plat::engine_free_xform(xo);
    }
    XFORMOBJ *singular = plat::engine_make_xform({0, 0, 0, 0, 0, 0});
    POINTL p{1, 1};
    EXPECT_FALSE(XFORMOBJ_bApplyXform(singular, XF_INV_LTOL, 1, &p, &p));
    plat::engine_free_xform(singular);
    XFORMOBJ own{};
    EXPECT_EQ(XFORMOBJ_iGetXform(&own, nullptr), DDI_ERROR);
}

TEST_F(EngineDraw, StringsGiveTheirGlyphsInBatches)
{
    std::vector<GLYPHPOS> glyphs;
    for (ULONG i = 0; i < 5; i++)
        glyphs.push_back({i + 1, nullptr, {LONG(10 * i), 50}});
    STROBJ *all = plat::engine_make_string(glyphs, 8, SO_HORIZONTAL);
    ASSERT_NE(all->pgp, nullptr);
    EXPECT_EQ(all->rclBkGround.right, 40);
    ULONG n = 0;
    GLYPHPOS *gp = nullptr;
    EXPECT_FALSE(STROBJ_bEnum(all, &n, &gp));
    EXPECT_EQ(n, 5u);
    plat::engine_free_string(all);

    STROBJ *batched = plat::engine_make_string(glyphs, 2);
    EXPECT_EQ(batched->pgp, nullptr);
    std::vector<HGLYPH> seen;
    STROBJ_vEnumStart(batched);
    BOOL more;
    do {
        more = STROBJ_bEnum(batched, &n, &gp);
        for (ULONG i = 0; i < n; i++)
            seen.push_back(gp[i].hg);
    } while (more);
    EXPECT_EQ(seen, (std::vector<HGLYPH>{1, 2, 3, 4, 5}));
    STROBJ_vEnumStart(batched);
    EXPECT_TRUE(STROBJ_bEnum(batched, &n, &gp));
    EXPECT_EQ(gp[0].hg, 1u);
    plat::engine_free_string(batched);
}

TEST_F(EngineDraw, FallbacksRecordTheirCallsAndAnswerAsScripted)
{
    plat::engine_fallback_clear();
    RECTL r{1, 2, 3, 4};
    plat::engine_fallback_script(FALSE);
    EXPECT_FALSE(EngBitBlt(nullptr, nullptr, nullptr, nullptr, nullptr, &r, nullptr, nullptr, nullptr, nullptr, 0xAAF0));
    EXPECT_TRUE(EngStretchBltROP(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &r, nullptr, nullptr,
                                 0, nullptr, 0xCCAA));
    EXPECT_TRUE(EngTransparentBlt(nullptr, nullptr, nullptr, nullptr, &r, &r, 0xFFFFFF, 0));
    EXPECT_TRUE(EngCopyBits(nullptr, nullptr, nullptr, nullptr, &r, nullptr));
    EXPECT_TRUE(EngEraseSurface(nullptr, &r, 0x00FFFFFF));
    auto log = plat::engine_fallback_log();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].name, "EngBitBlt");
    EXPECT_EQ(log[0].rop4, 0xAAF0u);
    EXPECT_EQ(log[0].dest.right, 3);
    EXPECT_EQ(log[1].name, "EngStretchBltROP");
    EXPECT_EQ(log[1].rop4, 0xCCAAu);
    EXPECT_EQ(log[2].name, "EngTransparentBlt");
    EXPECT_EQ(log[2].color, 0xFFFFFFu);
    EXPECT_EQ(log[3].name, "EngCopyBits");
    EXPECT_EQ(log[4].name, "EngEraseSurface");
    plat::engine_fallback_clear();
    EXPECT_TRUE(plat::engine_fallback_log().empty());
}

} // namespace
