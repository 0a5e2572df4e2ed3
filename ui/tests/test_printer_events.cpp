// Printer events and upgrade: what installation, a new connection and an
// upgrade leave in the printer's stored data, read back from the spooler's
// and the registry's stores by a second process; an identifier that exists
// is kept; an upgrade at another level changes nothing.
#include "ui_exports.h"
#include "ui_test_support.h"
#include "uix_no_window.h"
#include "uix_pollvane.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/prn_store.h>

#include <plat/winddiui.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

namespace {

using namespace ui_test;

/*
 * Reads in a child process (a fresh view of this machine folder) what the
 * printer's stored data holds, one line per value: "name=..." or "name -".
 */
std::string readBackInChild(const std::string &root, const std::u16string &printer)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "no pipe";
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        plat::machine_reset(root);
        std::string out;
        HANDLE h = nullptr;
        if (!OpenPrinterW(printer.c_str(), &h, nullptr)) {
            out = "no printer";
        } else {
            auto value = [&](const char16_t *name) {
                BYTE data[600] = {};
                DWORD type = 0, needed = 0;
                out += plat::utf16_to_utf8(name);
                if (GetPrinterDataW(h, name, &type, data, sizeof data, &needed) != ERROR_SUCCESS) {
                    out += " -\n";
                } else if (type == REG_SZ) {
                    out += "=" + plat::utf16_to_utf8(reinterpret_cast<const char16_t *>(data)) + "\n";
                } else if (type == REG_DWORD) {
                    out += "=" + std::to_string(plat::load_u32(data, 0)) + "\n";
                } else {
                    char hex[3];
                    out += "=";
                    for (DWORD i = 0; i < needed; i++) {
                        std::snprintf(hex, sizeof hex, "%02X", data[i]);
                        out += hex;
                    }
                    out += "\n";
                }
            };
            for (const char16_t *name : {u"SPLUserModePrinterDriver", u"PRNID", u"SupportJobOwnerTool",
                                         u"PollvaneID"})
                value(name);
            DWORD size = 0;
            out += "PrinterData ";
            out += PDT_ReadNamedBlob(h, PDT_BLOB_PRINTERDATA, nullptr, &size) ? std::to_string(size) : "-";
            out += "\nFontSubTable ";
            out += PDT_ReadNamedBlob(h, PDT_BLOB_FONTSUBTABLE, nullptr, &size) ? "stored" : "-";
            BYTE form[256];
            out += "\nPostcard ";
            out += GetFormW(h, u"Postcard", 1, form, sizeof form, &size) ? "form" : "-";
            out += "\n";
            ClosePrinter(h);
        }
        (void)!::write(pipeEnds[1], out.data(), out.size());
        ::close(pipeEnds[1]);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string got;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        got.append(buffer, size_t(n));
    ::close(pipeEnds[0]);
    ::waitpid(pid, nullptr, 0);
    return got;
}

/* The registration id the printer must get: the model's per-user key base and `hex`. */
std::string pollvaneId(HANDLE printer, const std::string &hex)
{
    ModelContext *context = MDL_Open(printer);
    LPWSTR base = nullptr;
    EXPECT_EQ(DDD_GetRegistryKeyText(context->main, 1, &base), 0);
    std::string id = plat::utf16_to_utf8(base) + hex;
    DDD_FreeRecord(&base, 0);
    MDL_Close(context);
    return id;
}

std::string expectedStore(const std::string &driver, const std::string &prnId, const std::string &pollvane,
                          bool refreshed)
{
    return "SPLUserModePrinterDriver" + (driver.empty() ? std::string(" -") : "=" + driver) + "\n" + "PRNID" +
           (prnId.empty() ? std::string(" -") : "=" + prnId) + "\n" + "SupportJobOwnerTool" +
           (refreshed ? "=0" : " -") + "\n" + "PollvaneID" + (pollvane.empty() ? std::string(" -") : "=" + pollvane) +
           "\n" + "PrinterData " + (refreshed ? "6148" : "-") + "\n" + "FontSubTable " +
           (refreshed ? "stored" : "-") + "\n" + "Postcard " + (refreshed ? "form" : "-") + "\n";
}

constexpr char kKnownId[] = "000102030405060708090A0B0C0D0E0F";

class PrinterEvents : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        name = kColourPrinter;
    }
    void giveKnownId()
    {
        Printer p(kColourPrinter, PRINTER_ALL_ACCESS);
        BYTE id[PRN_ID_SIZE];
        for (DWORD i = 0; i < PRN_ID_SIZE; i++)
            id[i] = BYTE(i);
        ASSERT_TRUE(REG_WritePrnId(p.handle, id));
    }
    std::u16string name;
};

TEST_F(PrinterEvents, InstallationWritesThePrintersData)
{
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("", "", "", false));
    EXPECT_TRUE(DrvPrinterEvent(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0));
    Printer p(kColourPrinter);
    BYTE id[PRN_ID_SIZE] = {};
    ASSERT_TRUE(REG_ReadPrnId(p.handle, id));
    WCHAR hex[33] = {};
    ASSERT_TRUE(UIX_FormatPrnIdHex(p.handle, hex));
    const std::string h = plat::utf16_to_utf8(hex);
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("tarvelgr.dll", h, pollvaneId(p.handle, h), true));
}

TEST_F(PrinterEvents, AnExistingIdentifierIsKeptThroughInstallationAndUpgrade)
{
    giveKnownId();
    EXPECT_TRUE(DrvPrinterEvent(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0));
    Printer p(kColourPrinter);
    const std::string id = pollvaneId(p.handle, kKnownId);
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("tarvelgr.dll", kKnownId, id, true));
    DRIVER_UPGRADE_INFO_1 info{name.data(), nullptr};
    EXPECT_TRUE(DrvUpgradePrinter(1, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("tarvelgr.dll", kKnownId, id, true));
}

TEST_F(PrinterEvents, AnUpgradeRefreshesWithoutTheStatusProgramsId)
{
    giveKnownId();
    DRIVER_UPGRADE_INFO_1 info{name.data(), nullptr};
    EXPECT_TRUE(DrvUpgradePrinter(1, reinterpret_cast<LPBYTE>(&info)));
    /* the driver name comes with the shared settings record the refresh stores */
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("tarvelgr.dll", kKnownId, "", true));
}

TEST_F(PrinterEvents, RefusedUpgradesChangeNothing)
{
    DRIVER_UPGRADE_INFO_1 info{name.data(), nullptr};
    std::u16string nobody = u"Nobody";
    DRIVER_UPGRADE_INFO_1 unknown{nobody.data(), nullptr};
    struct Case {
        const char *what;
        DWORD level;
        DRIVER_UPGRADE_INFO_1 *info;
    } cases[] = {{"level 2", 2, &info}, {"level 0", 0, &info}, {"no information", 1, nullptr},
                 {"an unknown printer", 1, &unknown}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_FALSE(DrvUpgradePrinter(c.level, reinterpret_cast<LPBYTE>(c.info)));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("", "", "", false));
}

TEST_F(PrinterEvents, AConnectionWritesOnlyTheDriverNameAndOtherEventsNothing)
{
    for (int event : {PRINTER_EVENT_DELETE_CONNECTION, PRINTER_EVENT_DELETE, PRINTER_EVENT_CACHE_REFRESH,
                      PRINTER_EVENT_CACHE_DELETE, 0, 99})
        EXPECT_TRUE(DrvPrinterEvent(name.data(), event, 0, 0)) << event;
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("", "", "", false));
    EXPECT_TRUE(DrvPrinterEvent(name.data(), PRINTER_EVENT_ADD_CONNECTION, 0, 0));
    EXPECT_EQ(readBackInChild(root.string(), name), expectedStore("tarvelgr.dll", "", "", false));
    /* Events on a printer that does not exist still answer TRUE. */
    std::u16string nobody = u"Nobody";
    EXPECT_TRUE(DrvPrinterEvent(nobody.data(), PRINTER_EVENT_INITIALIZE, 0, 0));
    EXPECT_TRUE(DrvPrinterEvent(nullptr, PRINTER_EVENT_INITIALIZE, 0, 0));
}

TEST_F(PrinterEvents, ARefreshWithoutTheFullFlagStoresOnlyTheFontTable)
{
    Printer p(kColourPrinter, PRINTER_ALL_ACCESS);
    ModelContext *context = MDL_Open(p.handle);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(UIX_RefreshPrinterSettings(p.handle, context, FALSE), 1);
    std::string store = readBackInChild(root.string(), name);
    EXPECT_NE(store.find("FontSubTable stored"), std::string::npos) << store;
    EXPECT_NE(store.find("PrinterData -"), std::string::npos) << store;
    EXPECT_NE(store.find("SupportJobOwnerTool -"), std::string::npos) << store;
    /* A handle that may not write: the full refresh fails. */
    Printer user(kColourPrinter);
    EXPECT_EQ(UIX_RefreshPrinterSettings(user.handle, context, TRUE), 0);
    MDL_Close(context);
}

TEST_F(PrinterEvents, MissingFormsAreAddedOnceAndCounted)
{
    Printer p(kColourPrinter, PRINTER_ALL_ACCESS);
    ModelContext *context = MDL_Open(p.handle);
    int added = -1;
    EXPECT_TRUE(SHT_AddMissingForms(p.handle, context, &added));
    EXPECT_EQ(added, 2) << "Postcard and the custom size's slot";
    EXPECT_TRUE(SHT_AddMissingForms(p.handle, context, &added));
    EXPECT_EQ(added, 0);
    EXPECT_FALSE(SHT_AddMissingForms(p.handle, nullptr, &added));
    MDL_Close(context);

    BYTE form[256];
    DWORD needed = 0;
    ASSERT_TRUE(GetFormW(p.handle, u"Postcard", 1, form, sizeof form, &needed));
    const auto *postcard = reinterpret_cast<const FORM_INFO_1W *>(form);
    EXPECT_EQ(postcard->Flags, DWORD(FORM_PRINTER));
    EXPECT_EQ(postcard->Size.cx, 100000);
    EXPECT_EQ(postcard->Size.cy, 148000);
    EXPECT_EQ(postcard->ImageableArea.left, 4200);
    EXPECT_EQ(postcard->ImageableArea.top, 4200);
    EXPECT_EQ(postcard->ImageableArea.right, 100000 - 4200);
    EXPECT_EQ(postcard->ImageableArea.bottom, 148000 - 4200);
}

} // namespace
