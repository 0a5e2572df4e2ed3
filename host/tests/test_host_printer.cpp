// Installing a printer on the host and the devmode an application prints
// it with: the printer gets its "SPLUserModePrinterDriver" value, the shared
// PrinterData record, its device blobs, "SupportJobOwnerTool", its settings
// as its devmode and spooler forms for the model's papers; a device context
// made with that devmode (through the user-interface library's job devmode)
// reports the printer's paper (Letter, a US user's default, at 600 dpi, in
// colour).
#include "host_printer.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/prn_store.h>

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/machine.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char16_t kPrinter[] = u"Tarvel CX 1500";

class HostPrinter : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = std::filesystem::temp_directory_path() /
               ("tarvel-hostprn-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        RES_ResetForTest();
        DMB_ResetForTest();
        LOG_ResetForTest();
        std::string error;
        ASSERT_TRUE(host::host_bind_library(error)) << error;
    }
    void TearDown() override
    {
        host::host_release_library();
        plat::machine_reset(root.string());
        RES_ResetForTest();
        DMB_ResetForTest();
        LOG_ResetForTest();
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root;
};

/* Creates a device context on the printer with `dm` and checks capabilities {index, value}. */
void expectCaps(const std::vector<BYTE> &dm, std::initializer_list<std::pair<int, int>> caps)
{
    HDC dc = CreateDCW(nullptr, kPrinter, nullptr, reinterpret_cast<const DEVMODEW *>(dm.data()));
    ASSERT_NE(dc, nullptr) << GetLastError();
    for (const auto &[index, value] : caps)
        EXPECT_EQ(GetDeviceCaps(dc, index), value) << "index " << index;
    EXPECT_TRUE(DeleteDC(dc));
}

} // namespace

TEST_F(HostPrinter, InstallationGivesThePrinterWhatTheDriverReads)
{
    host::InstallReport report;
    std::string error;
    ASSERT_TRUE(host::host_install_printer(kPrinter, "TARVEL1.DDD", u"FILE:", report, error)) << error;
    /* Postcard and the custom size's slot are the model's papers the spooler lacks */
    EXPECT_EQ(report.formsAdded, 2);

    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(kPrinter, &printer, nullptr));
    WCHAR value[32] = {};
    DWORD type = 0, needed = 0;
    ASSERT_EQ(GetPrinterDataW(printer, u"SPLUserModePrinterDriver", &type, reinterpret_cast<BYTE *>(value),
                              sizeof value, &needed),
              DWORD(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::u16string(value), u"tarvelgr.dll");
    EXPECT_EQ(needed, DWORD(sizeof(u"tarvelgr.dll")));
    BYTE id[16] = {};
    ASSERT_TRUE(REG_ReadPrnId(printer, id)) << "the printer has its identifier";
    EXPECT_NE(std::vector<BYTE>(id, id + 16), std::vector<BYTE>(16, 0));

    DWORD stored = 0;
    EXPECT_TRUE(PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, nullptr, &stored));
    EXPECT_EQ(stored, 6148u) << "the shared PrinterData record";
    std::vector<BYTE> extension(4292);
    EXPECT_TRUE(PDT_ReadNDev(printer, nullptr, PDT_STORE_PRINTER, extension.data(), nullptr, nullptr));
    DWORD ownerTool = 7;
    ASSERT_EQ(GetPrinterDataW(printer, u"SupportJobOwnerTool", &type, reinterpret_cast<BYTE *>(&ownerTool),
                              sizeof ownerTool, &needed),
              DWORD(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(ownerTool, 0u) << "the standard model has no capability bit 43";

    BYTE form[256];
    EXPECT_TRUE(GetFormW(printer, u"Postcard", 1, form, sizeof form, &needed));
    const auto *postcard = reinterpret_cast<const FORM_INFO_1W *>(form);
    EXPECT_EQ(postcard->Size.cx, 100000);
    EXPECT_EQ(postcard->Size.cy, 148000);
    EXPECT_EQ(postcard->ImageableArea.left, 4200);
    EXPECT_EQ(postcard->ImageableArea.bottom, 148000 - 4200);
    ClosePrinter(printer);
}

TEST_F(HostPrinter, ADeviceContextOnTheInstalledPrinter)
{
    host::InstallReport report;
    std::string error;
    ASSERT_TRUE(host::host_install_printer(kPrinter, "TARVEL1.DDD", u"FILE:", report, error)) << error;
    std::vector<BYTE> dm;
    ASSERT_TRUE(host::host_app_devmode(kPrinter, dm, error)) << error;
    ASSERT_EQ(dm.size(), 1604u) << "the printer's driver devmode";
    EXPECT_EQ(plat::load_u16(dm.data(), 68), 220) << "dmSize";
    EXPECT_EQ(plat::load_u16(dm.data(), 70), 1384) << "dmDriverExtra";

    /* The user-interface library's job devmode from it: Letter less 4.2 mm margins at 600 dpi:
       207.5 x 271 mm, 4902 x 6402 of 5100 x 6600 pixels */
    expectCaps(dm, {{HORZSIZE, 208}, {VERTSIZE, 271}, {HORZRES, 4902}, {VERTRES, 6402}, {PHYSICALWIDTH, 5100},
                    {PHYSICALHEIGHT, 6600}, {PHYSICALOFFSETX, 99}, {BITSPIXEL, 24}});
}

/*
 * An application asks for a resolution as GDI applications do, with
 * dmPrintQuality across and dmYResolution down.  The device context's page
 * is in pixels at the resolution across on both axes, and both its pixels
 * per inch are that resolution too: the resolution down reaches the job's
 * units alone, so the host scales its pages down by it (host_page_scale).
 * Letter less 4.2 mm margins, 2075 x 2710 of 2159 x 2794 tenths of a
 * millimetre from (42, 42), at 600 and 1200 dpi: x 600 / 254 and x 1200 / 254.
 */
TEST_F(HostPrinter, TheResolutionAcrossSizesTheDeviceContextsPage)
{
    host::InstallReport report;
    std::string error;
    ASSERT_TRUE(host::host_install_printer(kPrinter, "TARVEL1.DDD", u"FILE:", report, error)) << error;
    struct Case {
        SHORT x, y;
        int horzRes, vertRes, physWidth, physHeight, offset;
    } const cases[] = {
        {600, 600, 4902, 6402, 5100, 6600, 99},
        {1200, 1200, 9803, 12803, 10200, 13200, 198},
        {600, 300, 4902, 6402, 5100, 6600, 99},
        {1200, 600, 9803, 12803, 10200, 13200, 198},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + " x " + std::to_string(c.y));
        std::vector<BYTE> dm;
        ASSERT_TRUE(host::host_app_devmode(kPrinter, dm, error)) << error;
        auto *public_ = reinterpret_cast<DEVMODEW *>(dm.data());
        public_->dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        public_->dmPrintQuality = c.x;
        public_->dmYResolution = c.y;
        expectCaps(dm, {{HORZRES, c.horzRes}, {VERTRES, c.vertRes}, {PHYSICALWIDTH, c.physWidth},
                        {PHYSICALHEIGHT, c.physHeight}, {PHYSICALOFFSETX, c.offset}, {PHYSICALOFFSETY, c.offset},
                        {LOGPIXELSX, c.x}, {LOGPIXELSY, c.x}});
    }
}

TEST_F(HostPrinter, UserMarginsTravelInTheJobDevmodesTail)
{
    host::InstallReport report;
    std::string error;
    ASSERT_TRUE(host::host_install_printer(kPrinter, "TARVEL1.DDD", u"FILE:", report, error)) << error;
    /* the application's settings ask for the user's margins (setting 387) */
    std::vector<BYTE> dm;
    ASSERT_TRUE(host::host_app_devmode(kPrinter, dm, error)) << error;
    ASSERT_EQ(DMB_SetValueArgs(dm.data(), nullptr, 387, 3u, 1), 0);

    /* Letter less 4.6 mm each side (the built-in margins in the tail): 206.7 x 270.2 mm,
       4883 x 6383 pixels from (109, 109) */
    expectCaps(dm, {{HORZSIZE, 207}, {VERTSIZE, 270}, {HORZRES, 4883}, {VERTRES, 6383}, {PHYSICALOFFSETX, 109},
                    {PHYSICALOFFSETY, 109}});
}

/* The printer's driver as the spooler keeps it in the registry for its monitors; empty when it is not there. */
std::u16string registered_driver(const std::u16string &printer)
{
    HKEY key = nullptr;
    const std::u16string path = u"System\\CurrentControlSet\\control\\Print\\Printers\\" + printer;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return u"";
    char16_t value[260] = {};
    DWORD type = 0, size = sizeof value - sizeof(char16_t);
    const LONG r = RegQueryValueExW(key, u"Printer Driver", nullptr, &type, reinterpret_cast<BYTE *>(value), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS && type == REG_SZ ? value : u"";
}

/*
 * The standard model is the product the language monitor follows: its
 * driver takes the product's driver name and names the monitor, and the
 * printer gets bidirectional support; another model keeps a driver of its
 * own.  Either way the spooler's registry names the printer's driver.
 */
TEST_F(HostPrinter, TheStandardModelIsInstalledUnderTheProductsDriverName)
{
    struct Case {
        const char16_t *printer;
        const char *model;
        const char16_t *driver;
        const char16_t *monitor;
        bool bidi;
    } const cases[] = {
        {u"Office", "TARVEL1.DDD", u"OSTREL RV-K4100 PCL 6", u"Tarvel Language Monitor", true},
        {u"Fax", "TARVEL2.DDD", u"Tarvel TARVEL2", u"", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.model);
        host::InstallReport report;
        std::string error;
        ASSERT_TRUE(host::host_install_printer(c.printer, c.model, u"FILE:", report, error)) << error;
        HANDLE printer = nullptr;
        ASSERT_TRUE(OpenPrinterW(c.printer, &printer, nullptr));
        DWORD needed = 0;
        GetPrinterW(printer, 2, nullptr, 0, &needed);
        std::vector<BYTE> info(needed ? needed : 1);
        ASSERT_TRUE(GetPrinterW(printer, 2, info.data(), needed, &needed));
        const auto *pi = reinterpret_cast<const PRINTER_INFO_2W *>(info.data());
        EXPECT_EQ(std::u16string(pi->pDriverName), c.driver);
        EXPECT_EQ((pi->Attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI) != 0, c.bidi);
        GetPrinterDriverW(printer, nullptr, 3, nullptr, 0, &needed);
        std::vector<BYTE> driver(needed ? needed : 1);
        ASSERT_TRUE(GetPrinterDriverW(printer, nullptr, 3, driver.data(), needed, &needed));
        const auto *di = reinterpret_cast<const DRIVER_INFO_3W *>(driver.data());
        EXPECT_EQ(std::u16string(di->pMonitorName ? di->pMonitorName : u""), c.monitor);
        ClosePrinter(printer);
        EXPECT_EQ(registered_driver(c.printer), c.driver);
    }
}

TEST_F(HostPrinter, AFailedInstallLeavesNoRegisteredDriver)
{
    host::InstallReport report;
    std::string error;
    EXPECT_FALSE(host::host_install_printer(u"Office", "NOSUCH.DDD", u"FILE:", report, error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(registered_driver(u"Office"), u"");
}

TEST_F(HostPrinter, AnUnknownPrinterHasNoDevmode)
{
    std::vector<BYTE> dm;
    std::string error;
    EXPECT_FALSE(host::host_app_devmode(u"No Such Printer", dm, error));
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
    EXPECT_TRUE(dm.empty());
}
