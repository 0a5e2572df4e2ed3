// The graphics entry points whose work is not built yet (blts, text,
// application escapes): each checks its device context (ERROR_INVALID_PARAMETER
// for a bad one) and then fails visibly with ERROR_CALL_NOT_IMPLEMENTED; the
// document and page calls are the job tests'; the font queries give their
// answers for a context without device fonts; the brush and path entries
// refuse missing objects; DrvStretchBltROP and
// DrvTransparentBlt refuse missing rectangles before any drawing.
#include "test_pdev_support.h"

#include <functional>

using namespace pdev_test;

namespace {

class DdiWorkers : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<Printer>(kColourPrinter);
        dm = std::make_unique<JobDevmode>();
        e = enable(printer->handle, *dm);
        ASSERT_NE(e.dhpdev, nullptr) << e.error;
        DrvCompletePDEV(e.dhpdev, hdev);
        surface = DrvEnableSurface(e.dhpdev);
        ASSERT_NE(surface, nullptr);
        so = EngLockSurface(surface);
        ASSERT_NE(so, nullptr);
        bad.dhpdev = reinterpret_cast<DHPDEV>(&junk);
    }
    void TearDown() override
    {
        EngUnlockSurface(so);
        DrvDisableSurface(e.dhpdev);
        DrvDisablePDEV(e.dhpdev);
        printer.reset();
        PdevTest::TearDown();
    }

    std::unique_ptr<JobDevmode> dm;
    std::unique_ptr<Printer> printer;
    Enabled e;
    HSURF surface = nullptr;
    SURFOBJ *so = nullptr;
    SURFOBJ bad{};
    BYTE junk[64] = {};
};

} // namespace

TEST_F(DdiWorkers, TheJpegEscapeIsOffUntilTheApplicationTurnsTheExtensionOn)
{
    SetLastError(0);
    EXPECT_EQ(DrvEscape(so, 0x1072, 0, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(DrvEscape(&bad, 0x1072, 0, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(DdiWorkers, TextOutRefusesMissingObjects)
{
    for (SURFOBJ *s : {so, &bad}) {
        SetLastError(0);
        EXPECT_FALSE(DrvTextOut(s, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0x0D0D));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
}

TEST_F(DdiWorkers, BrushAndPathEntriesRefuseMissingObjects)
{
    struct Entry {
        const char *name;
        std::function<BOOL(SURFOBJ *)> call;
    } entries[] = {
        {"DrvStrokePath", [](SURFOBJ *s) { return DrvStrokePath(s, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                                nullptr, 0x0D0D); }},
        {"DrvFillPath", [](SURFOBJ *s) { return DrvFillPath(s, nullptr, nullptr, nullptr, nullptr, 0x0D0D, 0); }},
        {"DrvStrokeAndFillPath", [](SURFOBJ *s) { return DrvStrokeAndFillPath(s, nullptr, nullptr, nullptr, nullptr,
                                                                              nullptr, nullptr, nullptr, 0x0D0D, 0); }},
        {"DrvRealizeBrush", [](SURFOBJ *s) { return DrvRealizeBrush(nullptr, s, nullptr, nullptr, nullptr, 0); }},
    };
    for (const Entry &entry : entries) {
        for (SURFOBJ *s : {so, &bad}) {
            SetLastError(0);
            EXPECT_FALSE(entry.call(s)) << entry.name;
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << entry.name;
        }
    }
}

TEST_F(DdiWorkers, MissingRectanglesAreRefusedBeforeAnyDrawing)
{
    RECTL r{0, 0, 10, 10};
    SetLastError(0);
    EXPECT_FALSE(DrvStretchBltROP(so, so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, nullptr, nullptr, 3, nullptr,
                                  0xCCCC));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no source rectangle";
    SetLastError(0);
    EXPECT_FALSE(DrvStretchBltROP(nullptr, so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, &r, nullptr, 3,
                                  nullptr, 0xCCCC));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no target surface";

    auto transparent = reinterpret_cast<PFN_DrvTransparentBlt>(
        reinterpret_cast<void (*)(void)>(DDI_FunctionTable()[25].pfn));
    ASSERT_EQ(DDI_FunctionTable()[25].iFunc, INDEX_DrvTransparentBlt);
    SetLastError(0);
    EXPECT_FALSE(transparent(so, so, nullptr, nullptr, nullptr, &r, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no target rectangle";
    SetLastError(0);
    EXPECT_FALSE(transparent(nullptr, so, nullptr, nullptr, &r, &r, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no target surface";
}

TEST_F(DdiWorkers, FontQueriesOfAFaceThatDoesNotExist)
{
    ULONG_PTR id = 99;
    SetLastError(0);
    EXPECT_EQ(DrvQueryFont(e.dhpdev, 0, 5, &id), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "the standard model shows four faces";
    EXPECT_EQ(id, 0u);
    id = 99;
    SetLastError(0);
    EXPECT_EQ(DrvQueryFontTree(e.dhpdev, 0, 5, QFT_GLYPHSET, &id), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(id, 0u);
    SetLastError(0);
    EXPECT_EQ(DrvQueryFontData(e.dhpdev, nullptr, 1, 0, nullptr, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no font";
    FONTOBJ font{};
    font.iFace = 5;
    SetLastError(0);
    EXPECT_EQ(DrvQueryFontData(e.dhpdev, &font, 1, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no face 5";
    SetLastError(0);
    EXPECT_FALSE(DrvQueryAdvanceWidths(e.dhpdev, nullptr, 0, nullptr, nullptr, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    HGLYPH glyph = 'A';
    USHORT width = 0;
    SetLastError(0);
    EXPECT_FALSE(DrvQueryAdvanceWidths(e.dhpdev, &font, 0, &glyph, &width, 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no face 5";
    SetLastError(0);
    EXPECT_EQ(DrvQueryFontData(bad.dhpdev, &font, 1, 0, nullptr, nullptr, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}
