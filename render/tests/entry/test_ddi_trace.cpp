// The trace lines of every graphics entry point, with a fixed clock and
// fixed process and thread ids: an entry line with the export's name, the
// worker's own lines, an exit line with the export's exit text and an empty
// line.  Tracing on or off changes no result and no last error.
#include "test_pdev_support.h"

#include <plat/clock.h>
#include <plat/file.h>
#include <plat/sysinfo.h>

#include <cstdio>
#include <sstream>

using namespace pdev_test;

namespace {

const std::string kStamp = "03-07-2024 09:05:01 P[00001234] T[00005678] ";

class DdiTrace : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        SYSTEMTIME t{};
        t.wYear = 2024;
        t.wMonth = 3;
        t.wDay = 7;
        t.wHour = 9;
        t.wMinute = 5;
        t.wSecond = 1;
        ASSERT_TRUE(plat::clock_fix(t, 1000));
        plat::sysinfo_fix_ids(0x1234, 0x5678);
    }
    void TearDown() override
    {
        plat::sysinfo_real_ids();
        PdevTest::TearDown();
    }

    static std::string hex32(const void *p)
    {
        char b[16];
        std::snprintf(b, sizeof b, "0x%08X", unsigned(reinterpret_cast<uintptr_t>(p)));
        return b;
    }

    /*
     * Calls every entry point once (the library enabled before and disabled
     * at the end), noting each result and last error in `results` and the
     * trace text it must write in `expected`.
     */
    void callEveryExport(std::vector<std::string> &results, std::string &expected)
    {
        auto note = [&](const char *name, const std::string &result, const std::string &exitText,
                        const std::string &inner = std::string()) {
            results.push_back(std::string(name) + " " + result + " error " + std::to_string(GetLastError()));
            expected += kStamp + "IN <<" + name + "\r\n" + inner + kStamp + "OUT>>" + exitText + "\r\n\r\n";
        };
        auto notBuilt = [](const char *worker) { return std::string(worker) + ": not built yet\r\n"; };
        auto num = [](long v) { return std::to_string(v); };

        DRVENABLEDATA ded{};
        SetLastError(0);
        BOOL ok = DrvEnableDriver(0x20000, sizeof ded, &ded);
        note("DrvEnableDriver", num(ok), "DrvEnableDriver RetValue = " + num(ok));
        DWORD info = 0, needed = 0;
        SetLastError(0);
        ok = DrvQueryDriverInfo(DRVQUERY_USERMODE, &info, 3, &needed);
        note("DrvQueryDriverInfo", num(ok), "DrvQueryDriverInfo RetValue = " + num(ok));

        Printer printer(kColourPrinter);
        JobDevmode dm;
        GDIINFO gi{};
        DEVINFO di{};
        std::u16string name = u"Tarvel";
        SetLastError(0);
        DHPDEV dhpdev = DrvEnablePDEV(dm.dm(), nullptr, 0, nullptr, sizeof gi, reinterpret_cast<ULONG *>(&gi),
                                      sizeof di, &di, hdev, name.data(), printer.handle);
        note("DrvEnablePDEV", dhpdev ? "context" : "null", "DrvEnablePDEV RetValue = " + hex32(dhpdev));
        ASSERT_NE(dhpdev, nullptr);
        plat::engine_set_device_pdev(hdev, dhpdev);
        SetLastError(0);
        DrvCompletePDEV(dhpdev, hdev);
        note("DrvCompletePDEV", "-", "DrvCompletePDEV");
        SetLastError(0);
        HSURF surface = DrvEnableSurface(dhpdev);
        note("DrvEnableSurface", surface ? "surface" : "null", "DrvEnableSurface RetValue = " + hex32(surface));
        ASSERT_NE(surface, nullptr);
        SURFOBJ *so = EngLockSurface(surface);
        RECTL r{0, 0, 8, 8};
        POINTL p{0, 0};

        struct Call {
            const char *name;
            const char *worker;
            std::function<long()> call;
        } calls[] = {
            {"DrvStartDoc", nullptr, [&] { return long(DrvStartDoc(so, name.data(), 7)); }},
            {"DrvStartPage", nullptr, [&] { return long(DrvStartPage(so)); }},
            /* a blank page still makes a sheet side; no spooler job takes its bytes here, so the write fails */
            {"DrvSendPage", nullptr, [&] { return long(DrvSendPage(so)); }},
            {"DrvEndDoc", nullptr, [&] { return long(DrvEndDoc(so, 0)); }},
            {"DrvEscape", nullptr, [&] { return long(LONG(DrvEscape(so, 0x1072, 0, nullptr, 0, nullptr))); }},
            {"DrvBitBlt", nullptr, [&] { return long(DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &r, &p,
                                                                    nullptr, nullptr, nullptr, 0xF0F0)); }},
            {"DrvCopyBits", nullptr, [&] { return long(DrvCopyBits(so, so, nullptr, nullptr, &r, &p)); }},
            {"DrvStretchBlt", nullptr, [&] { return long(DrvStretchBlt(so, so, nullptr, nullptr, nullptr,
                                                                                nullptr, nullptr, &r, &r, nullptr,
                                                                                3)); }},
            {"DrvStretchBltROP", nullptr, [&] { return long(DrvStretchBltROP(so, so, nullptr, nullptr, nullptr,
                                                                                 nullptr, nullptr, &r, &r, nullptr, 3,
                                                                                 nullptr, 0xCCCC)); }},
            {"DrvTransparentBlt", nullptr,
             [&] { return long(DrvTransparentBlt(so, so, nullptr, nullptr, &r, &r, 0, 0)); }},
            {"DrvStrokePath", nullptr, [&] { return long(DrvStrokePath(so, nullptr, nullptr, nullptr,
                                                                                nullptr, nullptr, nullptr,
                                                                                0x0D0D)); }},
            {"DrvFillPath", nullptr,
             [&] { return long(DrvFillPath(so, nullptr, nullptr, nullptr, nullptr, 0x0D0D, 0)); }},
            {"DrvStrokeAndFillPath", nullptr,
             [&] { return long(DrvStrokeAndFillPath(so, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                    nullptr, 0x0D0D, 0)); }},
            {"DrvRealizeBrush", nullptr,
             [&] { return long(DrvRealizeBrush(nullptr, so, nullptr, nullptr, nullptr, 0)); }},
            {"DrvTextOut", nullptr, [&] { return long(DrvTextOut(so, nullptr, nullptr, nullptr, nullptr,
                                                                       nullptr, nullptr, nullptr, nullptr,
                                                                       0x0D0D)); }},
            {"DrvGetGlyphMode", nullptr, [&] { return long(DrvGetGlyphMode(dhpdev, nullptr)); }},
            {"DrvQueryFontData", nullptr,
             [&] { return long(DrvQueryFontData(dhpdev, nullptr, 1, 0, nullptr, nullptr, 0)); }},
            {"DrvQueryAdvanceWidths", nullptr,
             [&] { return long(DrvQueryAdvanceWidths(dhpdev, nullptr, 0, nullptr, nullptr, 0)); }},
            {"DrvResetPDEV", nullptr, [&] { return long(DrvResetPDEV(nullptr, dhpdev)); }},
        };
        /* the exit texts' number formats: %ld for these, %d for the rest (same digits for these values) */
        for (const Call &c : calls) {
            SetLastError(0);
            long v = c.call();
            note(c.name, num(v), std::string(c.name) + " RetValue = " + num(v), c.worker ? notBuilt(c.worker) : "");
        }
        ULONG_PTR id = 1;
        SetLastError(0);
        PIFIMETRICS font = DrvQueryFont(dhpdev, 0, 1, &id);
        note("DrvQueryFont", font ? "font" : "null", "DrvQueryFont RetValue = " + hex32(font));
        SetLastError(0);
        PVOID tree = DrvQueryFontTree(dhpdev, 0, 1, QFT_GLYPHSET, &id);
        note("DrvQueryFontTree", tree ? "tree" : "null", "DrvQueryFontTree RetValue = " + hex32(tree));

        EngUnlockSurface(so);
        SetLastError(0);
        DrvDisableSurface(dhpdev);
        note("DrvDisableSurface", "-", "DrvDisableSurface");
        SetLastError(0);
        DrvDisablePDEV(dhpdev);
        note("DrvDisablePDEV", "-", "DrvDisablePDEV");
        SetLastError(0);
        DrvDisableDriver();
        note("DrvDisableDriver", "-", "DrvDisableDriver");
    }

    /* After DrvDisableDriver: this program is the library again, enabled (as after a new load). */
    void reload()
    {
        RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths)));
        RES_InitModulePaths(nullptr, nullptr);
        DRVENABLEDATA ded{};
        ASSERT_TRUE(DDI_EnableDriver(0x20000, sizeof ded, &ded));
    }
};

} // namespace

TEST_F(DdiTrace, EveryExportWritesItsEntryAndExitLines)
{
    traceWith("0x3");
    std::vector<std::string> results;
    std::string expected;
    callEveryExport(results, expected);
    reload();
    EXPECT_EQ(traceText(), expected);
    EXPECT_EQ(results.size(), 29u) << "the 28 exports and DrvTransparentBlt";
}

TEST_F(DdiTrace, TracingOnOrOffChangesNoResult)
{
    std::vector<std::string> off, on;
    std::string unused;
    traceWith("0");
    callEveryExport(off, unused);
    reload();
    EXPECT_EQ(traceText(), "");
    traceWith("0x3F");
    callEveryExport(on, unused);
    reload();
    EXPECT_EQ(on, off);
    EXPECT_NE(traceText(), "");
}
