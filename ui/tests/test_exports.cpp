// The library's exports: exactly its names, the settings record of older
// printer data answered for real, and every export whose work is not built
// yet failing visibly (its failure value, ERROR_CALL_NOT_IMPLEMENTED).
#include "ui_exports.h"
#include "ui_test_support.h"


namespace {

using namespace ui_test;

class Exports : public UiTest {};

} // namespace

TEST_F(Exports, TheLibraryShowsItsEntryPoints)
{
    HMODULE ui = LoadLibraryW(u"tarvelui.dll");
    ASSERT_NE(ui, nullptr) << plat::loader_last_failure();
    for (const char *name : {"DllInitialize", "DrvDeviceCapabilities", "DrvQueryColorProfile", "DrvDocumentEvent",
                             "DrvPrinterEvent", "DrvConvertDevMode", "DrvDocumentPropertySheets",
                             "DrvDevicePropertySheets", "PrinterProperties", "DrvDocumentProperties",
                             "DrvAdvancedDocumentProperties", "DevQueryPrintEx", "DrvUpgradePrinter",
                             "GetUpgradedPrinterData"})
        EXPECT_NE(GetProcAddress(ui, name), nullptr) << name;
    for (const char *name : {"DOC_BuildJobDevmode", "UIX_GetHostWindowKind", "DMB_Load", "UI_NotBuilt"})
        EXPECT_EQ(GetProcAddress(ui, name), nullptr) << name << " stays inside";

    install(kColourPrinter, "TARVEL1.DDD");
    Printer p(kColourPrinter);
    using Upgraded = BOOL (*)(HANDLE, BYTE *, DWORD *);
    auto upgraded = plat::proc_cast<Upgraded>(GetProcAddress(ui, "GetUpgradedPrinterData"));
    DWORD size = 0;
    EXPECT_TRUE(upgraded(p.handle, nullptr, &size));
    EXPECT_EQ(size, 6148u);
    std::vector<BYTE> record(size);
    EXPECT_TRUE(upgraded(p.handle, record.data(), &size));
    FreeLibrary(ui);
}

TEST_F(Exports, TheExportsNotBuiltYetFailVisibly)
{
    struct Case {
        const char *name;
        long long result;
        long long failure;
    } cases[] = {
        {"DrvDocumentPropertySheets", DrvDocumentPropertySheets(nullptr, 0), -1},
        {"DrvDevicePropertySheets", DrvDevicePropertySheets(nullptr, 0), -1},
        {"PrinterProperties", PrinterProperties(nullptr, nullptr), FALSE},
        {"DrvDocumentProperties", DrvDocumentProperties(nullptr, nullptr, nullptr, nullptr, nullptr, 0), -1},
        {"DrvAdvancedDocumentProperties", DrvAdvancedDocumentProperties(nullptr, nullptr, nullptr, nullptr, nullptr),
         -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.result, c.failure) << c.name;
    SetLastError(0);
    PrinterProperties(nullptr, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
}
