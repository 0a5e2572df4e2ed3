/*
 * Helpers of the settings-engine tests (schema, defaults, checks, merges,
 * paper list): a fresh machine folder per test in which a standard model is
 * installed as a printer driver beside the real data manager, the resource
 * module and a per-model configuration file of the test's choosing; this
 * test program stands in as the library that links the common library and
 * binds the data manager; the user locale is fixed (Germany, paper region 2)
 * and the caches are reset.
 */
#ifndef TARVEL_TEST_FID_SUPPORT_H
#define TARVEL_TEST_FID_SUPPORT_H

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/base/util_system.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>
#include <tarvel/settings/ppr_paper.h>

#include <modelwriter/model_writer.h>
#include <plat/error.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/text.h>
#include <plat/version.h>

#include <gtest/gtest.h>
#include <plat_test/fresh_machine.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fid_test {

namespace fs = std::filesystem;

/* The build's driver directory (models, resource module, data manager). */
inline std::string buildDriverDir()
{
    const char *dir = std::getenv("TARVEL_DRIVER_DIR");
    return dir ? dir : "";
}

inline std::string u8(const char16_t *s)
{
    return s ? plat::utf16_to_utf8(std::u16string_view(s, plat::wlen(s))) : std::string("<null>");
}

/* A settings image and a printer-data record, zero-filled. */
struct Records {
    std::vector<BYTE> image = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    std::vector<BYTE> printerData = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);
    void *dm() { return image.data(); }
    void *pd() { return printerData.data(); }
};

/* One setting read through the binding. */
struct Read {
    WORD status = 0xFFFF;
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    LONG number() const { return FID_ReadValueAsInt(&slot, type); }
    DWORD unsignedNumber() const { return FID_ReadValueAsUInt(&slot, type); }
    /* The string a type-6 slot points to (read unit by unit: fields may lie at odd offsets). */
    std::u16string text() const
    {
        const auto *p = reinterpret_cast<const BYTE *>(FID_SlotString(&slot));
        std::u16string s;
        for (size_t i = 0; p != nullptr && i < 512; i += 2) {
            const WCHAR c = plat::load<WCHAR>(p + i);
            if (c == 0)
                break;
            s.push_back(c);
        }
        return s;
    }
};

inline Read read(WORD id, void *dm, void *pd)
{
    Read r;
    r.status = DMB_GetValue(id, dm, pd, &r.type, &r.size, &r.slot);
    return r;
}

/* Writes a number with the setting's own type and size. */
inline WORD put(WORD id, void *dm, void *pd, DWORD value)
{
    Read r = read(id, dm, pd);
    if (r.status != DMA_OK)
        return r.status;
    ULONGLONG slot = 0;
    FID_CopyValue(r.type, &slot, &value);
    return DMB_SetValue(id, dm, pd, r.type, r.size, &slot);
}

/* Writes a string setting. */
inline WORD putText(WORD id, void *dm, void *pd, const char16_t *text)
{
    LPCWSTR p = text;
    return DMB_SetValue(id, dm, pd, SVT_WSTRING, LONG((plat::wlen(text) + 1) * 2), &p);
}

/* A context closed when the holder goes (its paper list freed first). */
struct Context {
    ModelContext *ctx = nullptr;
    ~Context() { reset(); }
    void reset()
    {
        if (ctx != nullptr) {
            PPR_FreePaperList(ctx);
            MDL_Close(ctx);
        }
        ctx = nullptr;
    }
    ModelContext *operator->() const { return ctx; }
};

/* An open printer handle, closed when the holder goes. */
struct Printer {
    HANDLE handle = nullptr;
    ~Printer()
    {
        if (handle != nullptr)
            ClosePrinter(handle);
    }
};

/* The standard model files: main and companion. */
struct ModelFiles {
    std::string main;
    std::string companion;
};
inline const ModelFiles kColour{"TARVEL1.DDD", "TARVEL1.DDC"};
inline const ModelFiles kFax{"TARVEL2.DDD", "TARVEL2.DDC"};

class SchemaTest : public plat_test::FreshMachineTest {
protected:
    SchemaTest() : FreshMachineTest("tarvel-fid") {}

    void SetUp() override
    {
        ASSERT_FALSE(buildDriverDir().empty()) << "TARVEL_DRIVER_DIR is not set";
        FreshMachineTest::SetUp();
        root_ = root;
        RES_ResetForTest();
        DMB_ResetForTest();
        LOG_ResetForTest();
        utl_ResetLocaleCachesForTest();
        UTL_ResetVersionCacheForTest();
        ddd_ResetLastFormatVersionForTest();
        ASSERT_TRUE(plat::sysinfo_set_locale(0x0407));
    }
    void TearDown() override
    {
        context_.reset();
        if (printer_.handle != nullptr)
            ClosePrinter(printer_.handle);
        printer_.handle = nullptr;
        DMB_ResetForTest();
        LOG_ResetForTest();
        RES_ResetForTest();
        utl_ResetLocaleCachesForTest();
        UTL_ResetVersionCacheForTest();
        FreshMachineTest::TearDown();
    }

    /*
     * Installs the model `files` (real paths: main file first, companion
     * next when there is one) as the driver of printer "Tarvel" with the data
     * manager and the resource module beside it, writes `cfg` (when not
     * empty) as the model's configuration file, binds the data manager and
     * opens the printer (with administer access) and its model context.
     */
    void installFiles(const std::vector<std::string> &files, const std::string &companion, const std::string &cfg)
    {
        const std::string build = buildDriverDir();
        plat::SpoolDriver d;
        d.name = u"Tarvel Test Driver";
        d.driver_file = u"tarvelgr.dll";
        d.config_file = u"tarvelui.dll";
        d.data_file = plat::utf8_to_utf16(fs::path(files.front()).filename().string());
        d.link_files = files;
        d.link_files.push_back(build + "/libtarveldm.so");
        d.link_files.push_back(build + "/tarvelrs.xrs");
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        /* The model's configuration file: the test's own, or none (not the build's). */
        const std::string name = companion.substr(0, companion.rfind('.')) + ".cfg";
        writeDriverFile(name, cfg);
        plat::SpoolPrinter p;
        p.name = u"Tarvel";
        p.driver = d.name;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));

        RES_SetModulePathForTest((plat::spool_driver_dir() + u"\\tarvelui.dll").c_str());
        RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths)));
        RES_InitModulePaths(nullptr, nullptr);
        ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1) << plat::loader_last_failure();

        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Tarvel"), &printer_.handle, &defaults));
        context_.ctx = MDL_Open(printer_.handle);
        ASSERT_NE(context_.ctx, nullptr);
    }

    /*
     * Writes `text` as the file `name` of the installed driver directory, or
     * removes it for empty text.  The directory holds links to the build's
     * files: the link is removed first, so that nothing is written through it.
     */
    static void writeDriverFile(const std::string &name, const std::string &text)
    {
        const fs::path path = fs::path(plat::spool_driver_dir_real()) / name;
        std::error_code ec;
        fs::remove(path, ec);
        if (!text.empty())
            std::ofstream(path, std::ios::binary) << text;
    }

    /* Installs a standard model from the build's driver directory. */
    void install(const ModelFiles &files, const std::string &cfg)
    {
        const std::string dir = buildDriverDir();
        installFiles({dir + "/" + files.main, dir + "/" + files.companion}, files.companion, cfg);
    }

    /*
     * Installs a model built with the writer (its files written into the
     * test's folder); `checked` false lets through a model the writer's
     * consistency check would refuse.
     */
    void installWritten(const mw::Model &m, const std::string &cfg, bool checked = true)
    {
        const fs::path dir = root_ / "models";
        fs::create_directories(dir);
        mw::Bytes mainFile, companion;
        std::string error;
        ASSERT_TRUE(mw::build(m, mainFile, companion, error, checked)) << error;
        std::vector<std::string> files{(dir / m.fileName).string()};
        std::ofstream(files.back(), std::ios::binary).write(reinterpret_cast<const char *>(mainFile.data()),
                                                             std::streamsize(mainFile.size()));
        if (!m.companionName.empty()) {
            files.push_back((dir / m.companionName).string());
            std::ofstream(files.back(), std::ios::binary)
                .write(reinterpret_cast<const char *>(companion.data()), std::streamsize(companion.size()));
        }
        installFiles(files, m.companionName, cfg);
    }

    /* Adds a user form of `cx` x `cy` thousandths of a millimetre (imageable area: the whole form). */
    void addForm(const char16_t *name, LONG cx, LONG cy)
    {
        FORM_INFO_1W f{};
        f.Flags = FORM_USER;
        f.pName = const_cast<LPWSTR>(name);
        f.Size = {cx, cy};
        f.ImageableArea = {0, 0, cx, cy};
        ASSERT_TRUE(AddFormW(printer_.handle, 1, reinterpret_cast<const BYTE *>(&f))) << u8(name);
    }

    /* The forms a printer installation adds for the model papers that are no built-in forms. */
    void addModelForms()
    {
        addForm(u"Postcard", 100000, 148000);
        addForm(u"Custom Size", 210000, 297000);
    }

    ModelContext *ctx() { return context_.ctx; }
    HANDLE printer() { return printer_.handle; }

    fs::path root_;
    Printer printer_;
    Context context_;
};

} // namespace fid_test

#endif /* TARVEL_TEST_FID_SUPPORT_H */
