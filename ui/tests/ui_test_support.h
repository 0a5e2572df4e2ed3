// Fixture of the user-interface library's tests: a fresh machine whose
// driver directory holds the build's libraries, resource module and
// standard models; this test program standing in as the user-interface
// library in that directory (its strings, its module path, the data manager
// bound), and printers installed on the standard models.
#ifndef UI_TESTS_UI_TEST_SUPPORT_H
#define UI_TESTS_UI_TEST_SUPPORT_H

#include "doc_events.h"

#include <plat_test/fresh_machine.h>

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/base/util_system.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/file.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/machine.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace ui_test {

/* The printers of the two standard models. */
inline constexpr char16_t kColourPrinter[] = u"Tarvel CX 1500"; /* TARVEL1.DDD */
inline constexpr char16_t kFaxPrinter[] = u"Tarvel CX 1500F";   /* TARVEL2.DDD */

/* An open printer handle, closed when the holder goes. */
struct Printer {
    HANDLE handle = nullptr;
    explicit Printer(const std::u16string &name, DWORD access = 0)
    {
        PRINTER_DEFAULTSW d{nullptr, nullptr, access};
        if (!OpenPrinterW(name.c_str(), &handle, access ? &d : nullptr))
            handle = nullptr;
    }
    ~Printer()
    {
        if (handle)
            ClosePrinter(handle);
    }
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;
};

/* Writes `bytes` to the machine file at Windows path `path`, its folders made. */
inline void writeMachineFile(const std::u16string &path, const std::vector<uint8_t> &bytes)
{
    std::string real;
    ASSERT_TRUE(plat::map_path(path, real));
    std::filesystem::create_directories(std::filesystem::path(real).parent_path());
    std::FILE *f = std::fopen(real.c_str(), "wb");
    ASSERT_NE(f, nullptr) << real;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

/* Writes number setting `id` into a settings image and printer data (either may be null) in the setting's own type. */
inline void setSetting(BYTE *image, BYTE *printerData, WORD id, int value)
{
    const IdLayoutItem *item = nullptr;
    ASSERT_EQ(LAYOUT_FindItem(id, nullptr, &item), 0) << id;
    const WORD type = item->reportedType ? item->reportedType : item->storedType;
    const LONG size = type == SVT_BYTE ? 1 : type == SVT_INT16 || type == SVT_UINT16 ? 2 : 4;
    const int32_t v32 = value;
    const int16_t v16 = int16_t(value);
    const BYTE v8 = BYTE(value);
    const void *p = size == 1 ? static_cast<const void *>(&v8) : size == 2 ? static_cast<const void *>(&v16) : &v32;
    ASSERT_EQ(DMB_SetValue(id, image, printerData, type, size, p), 0) << id << " type " << type;
}

class UiTest : public plat_test::FreshMachineTest {
protected:
    void SetUp() override
    {
        plat_test::FreshMachineTest::SetUp();
        resetState();
        RES_SetModulePathForTest((plat::driver_dir_win() + u"\\tarvelui.dll").c_str());
        RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths)));
        RES_InitModulePaths(nullptr, nullptr);
        ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1) << plat::loader_last_failure();
    }
    void TearDown() override
    {
        DMB_Unload();
        RES_ReleaseAll();
        plat_test::FreshMachineTest::TearDown();
        resetState();
        RES_SetModulePathForTest(nullptr);
    }
    static void resetState()
    {
        RES_ResetForTest();
        DMB_ResetForTest();
        LOG_ResetForTest();
        UTL_ResetVersionCacheForTest();
    }

    /* Installs a printer of the model file `dataFile` with the build's libraries. */
    static void install(const std::u16string &printer, const std::string &dataFile)
    {
        plat::SpoolDriver d;
        d.name = u"Tarvel " + plat::utf8_to_utf16(dataFile);
        d.driver_file = u"tarvelgr.dll";
        d.data_file = plat::utf8_to_utf16(dataFile);
        d.config_file = u"tarvelui.dll";
        plat::spool_add_driver(d);
        plat::SpoolPrinter p;
        p.name = printer;
        p.driver = d.name;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    }

    /*
     * Fills `settings` (`size` bytes) with the job devmode of `printer` and
     * `printerData` with its printer data, as start of document does; the
     * model context goes to `*context` (closed when `context` is null).
     */
    static void loadJobSettings(HANDLE printer, BYTE *settings, size_t size, BYTE *printerData,
                                ModelContext **context = nullptr)
    {
        DEVMODEW *dm = nullptr;
        ASSERT_EQ(DOC_BuildJobDevmode(printer, nullptr, &dm), 1);
        std::memcpy(settings, dm, size);
        GlobalFree(dm);
        ModelContext *model = MDL_Open(printer);
        ASSERT_NE(model, nullptr);
        const bool loaded = UPG_LoadPrinterData(printer, printerData, model);
        if (context)
            *context = model;
        else
            MDL_Close(model);
        ASSERT_TRUE(loaded);
    }
};

} // namespace ui_test

#endif // UI_TESTS_UI_TEST_SUPPORT_H
