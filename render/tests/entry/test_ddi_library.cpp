// The built libtarvelgr.so as the engine sees it: exactly the 28 graphics
// entry points are exported (DrvTransparentBlt only in the function table),
// the loader runs the library's entry, and a printer device context made by
// the engine's side of a job drives the real library and data manager.
#include "test_pdev_support.h"

#include <algorithm>
#include <cstdio>
#include <set>

using namespace pdev_test;

namespace {

/* The library's exports, written out from its interface. */
const std::set<std::string> kExports = {
    "DrvEnableDriver",   "DrvEnablePDEV",       "DrvCompletePDEV",  "DrvResetPDEV",          "DrvDisablePDEV",
    "DrvEnableSurface",  "DrvDisableSurface",   "DrvDisableDriver", "DrvQueryDriverInfo",    "DrvStartDoc",
    "DrvStartPage",      "DrvSendPage",         "DrvEndDoc",        "DrvEscape",             "DrvBitBlt",
    "DrvCopyBits",       "DrvStretchBlt",       "DrvStretchBltROP", "DrvStrokePath",         "DrvFillPath",
    "DrvStrokeAndFillPath", "DrvRealizeBrush",  "DrvTextOut",       "DrvGetGlyphMode",       "DrvQueryFont",
    "DrvQueryFontData",  "DrvQueryFontTree",    "DrvQueryAdvanceWidths",
};

std::string libraryPath() { return plat::driver_dir_real() + "/libtarvelgr.so"; }

/* The defined dynamic symbols of a shared library, as `nm -D --defined-only` lists them. */
std::set<std::string> definedDynamicSymbols(const std::string &path)
{
    std::set<std::string> names;
    std::string command = "nm -D --defined-only '" + path + "'";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string text(line);
        size_t last = text.find_last_of(' ');
        if (last == std::string::npos)
            continue;
        std::string name = text.substr(last + 1);
        name.erase(name.find_last_not_of("\r\n") + 1);
        names.insert(name);
    }
    ::pclose(pipe);
    return names;
}

using DdiLibrary = PdevTest;

} // namespace

TEST_F(DdiLibrary, ExactlyThe28EntryPointsAreExported)
{
    std::set<std::string> names = definedDynamicSymbols(libraryPath());
    EXPECT_EQ(names, kExports);
    EXPECT_EQ(names.size(), 28u);
    EXPECT_EQ(names.count("DrvTransparentBlt"), 0u);
}

TEST_F(DdiLibrary, TheEngineReachesDrvTransparentBltThroughIndex74)
{
    HMODULE module = LoadLibraryW(u"tarvelgr.dll");
    ASSERT_NE(module, nullptr) << plat::loader_last_failure();
    EXPECT_EQ(GetProcAddress(module, "DrvTransparentBlt"), nullptr);
    auto enableDriver = plat::proc_cast<PFN_DrvEnableDriver>(GetProcAddress(module, "DrvEnableDriver"));
    auto disableDriver = plat::proc_cast<PFN_DrvDisableDriver>(GetProcAddress(module, "DrvDisableDriver"));
    ASSERT_NE(enableDriver, nullptr);
    ASSERT_NE(disableDriver, nullptr);
    DRVENABLEDATA ded{};
    ASSERT_TRUE(enableDriver(0x20000, sizeof ded, &ded));
    PFN found = nullptr;
    for (ULONG i = 0; i < ded.c; i++)
        if (ded.pdrvfn[i].iFunc == INDEX_DrvTransparentBlt)
            found = ded.pdrvfn[i].pfn;
    ASSERT_NE(found, nullptr);
    auto transparent = reinterpret_cast<PFN_DrvTransparentBlt>(reinterpret_cast<void (*)(void)>(found));
    SetLastError(0);
    EXPECT_FALSE(transparent(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "the library's own check answered";
    disableDriver();
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(DdiLibrary, APrinterDeviceContextOnTheRealLibrary)
{
    installStandard();
    JobDevmode dm;
    HDC dc = CreateDCW(nullptr, kColourPrinter, nullptr, dm.dm());
    ASSERT_NE(dc, nullptr) << GetLastError() << " " << plat::loader_last_failure();
    EXPECT_EQ(plat::loader_load_count(u"tarvelgr.dll"), 1u);
    EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), int(DT_RASPRINTER));
    EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 4762);
    EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 6817);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 4961);
    EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETX), 99);
    EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 600);
    plat::GdiDcInfo info{};
    ASSERT_TRUE(plat::gdi_dc_info(dc, &info));
    plat::EngineSurfaceInfo surface{};
    ASSERT_TRUE(plat::engine_surface_info(info.hsurf, &surface));
    EXPECT_EQ(surface.size.cx, 4762);
    EXPECT_EQ(surface.hooks, 0xA4EBu);
    EXPECT_NE(plat::gdi_driver_function(dc, INDEX_DrvTransparentBlt), nullptr);

    /* an empty document: a spooler job of no bytes */
    DOCINFOW doc{sizeof(DOCINFOW), u"Report", nullptr, nullptr, 0};
    SetLastError(0);
    int job = StartDocW(dc, &doc);
    ASSERT_GT(job, 0) << GetLastError();
    EXPECT_EQ(EndDoc(dc), 1);
    auto jobs = plat::spool_jobs(kColourPrinter);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].document, u"Report");
    EXPECT_EQ(jobs[0].bytes, 0u);

    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(plat::loader_load_count(u"tarvelgr.dll"), 0u) << "the last context unloads the library";
    EXPECT_EQ(plat::engine_surface_count(), 0u);
    EXPECT_EQ(plat::engine_palette_count(), 0u);
}

TEST_F(DdiLibrary, ARefusedDevmodeCreatesNoDeviceContext)
{
    installStandard();
    /* Without the user-interface library on the road (it would rebuild the devmode), GDI hands it on as it is. */
    std::string dir;
    ASSERT_TRUE(plat::map_path(plat::driver_dir_win(), dir));
    std::filesystem::remove(std::filesystem::path(dir) / "libtarvelui.so");
    JobDevmode dm;
    dm.marker(23);
    SetLastError(0);
    EXPECT_EQ(CreateDCW(nullptr, kColourPrinter, nullptr, dm.dm()), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(plat::loader_load_count(u"tarvelgr.dll"), 0u);
    EXPECT_EQ(plat::gdi_dc_count(), 0u);
}
