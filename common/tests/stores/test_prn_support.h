/*
 * Helpers shared by the tests of the printer-data and per-user stores: a
 * fresh machine folder per test with the standard colour model installed as
 * a driver and one printer on it, printer handles that close themselves,
 * GlobalAlloc blocks that free themselves, and byte patterns.
 */
#ifndef TARVEL_TEST_PRN_SUPPORT_H
#define TARVEL_TEST_PRN_SUPPORT_H

#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/prn_store.h>

#include "test_model_support.h"

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>
#include <plat_test/fresh_machine.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace prn_test {

inline constexpr char16_t kDriver[] = u"Tarvel CX1500";
inline constexpr char16_t kPrinter[] = u"Tarvel Colour";
inline constexpr char16_t kPrinter2[] = u"Tarvel Colour 2";

/* A printer handle closed when it goes out of scope. */
class Printer {
public:
    explicit Printer(const char16_t *name = kPrinter, DWORD access = PRINTER_ALL_ACCESS)
    {
        PRINTER_DEFAULTSW d{nullptr, nullptr, access};
        ok = OpenPrinterW(name, &h, &d) != FALSE;
        error = ok ? 0 : GetLastError();
    }
    ~Printer()
    {
        if (h)
            ClosePrinter(h);
    }
    Printer(const Printer &) = delete;
    Printer &operator=(const Printer &) = delete;
    operator HANDLE() const { return h; }
    HANDLE h = nullptr;
    bool ok = false;
    DWORD error = 0;
};

/* A GlobalAlloc block handed out by the code under test, freed at the end of the scope. */
template <typename T = BYTE>
struct Global {
    T *p = nullptr;
    ~Global() { GlobalFree(p); }
    /* For an output argument: what it held before is freed. */
    T **out()
    {
        GlobalFree(p);
        p = nullptr;
        return &p;
    }
    operator T *() const { return p; }
};

/* A model context closed when it goes out of scope. */
struct Context {
    ModelContext *p = nullptr;
    Context() = default;
    explicit Context(ModelContext *context) : p(context) {}
    ~Context()
    {
        if (p)
            MDL_Close(p);
    }
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;
    operator ModelContext *() const { return p; }
};

/*
 * A context over a model built with the writer, or null.  `checked` false
 * builds models the writer would refuse (a model without a key text).
 */
inline ModelContext *contextOf(const mw::Model &m, bool checked = true)
{
    mw::Bytes mainFile, companion;
    std::string error;
    EXPECT_TRUE(mw::build(m, mainFile, companion, error, checked)) << error;
    ModelContext *context = MDL_AllocContext();
    if (!context)
        return nullptr;
    if (ddd_OpenModelMemory(model_test::kMemoryPath, mainFile.data(), mainFile.size(),
                            m.companionName.empty() ? nullptr : companion.data(), companion.size(), context->main,
                            context->companion) != DDD_OK) {
        MDL_FreeContext(context);
        return nullptr;
    }
    return context;
}

/* A context over an empty model of format 0x1600 whose capability word 1 (bits 32-63) is `word1`. */
inline ModelContext *modelWithCapabilityWord1(DWORD word1)
{
    mw::Model m = model_test::emptyModel(0x1600);
    m.main.entries[39] = mw::eU32s({word1, 0});
    m.companion.entries[39] = m.main.entries[39];
    return contextOf(m);
}

/* `n` bytes counting up from `seed` (so chunks and offsets are told apart). */
inline std::vector<BYTE> pattern(size_t n, BYTE seed = 1)
{
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = BYTE(seed + i * 7 + i / 251);
    return v;
}

/* A printer-data value as stored, or empty with *found false. */
inline std::vector<BYTE> printerValue(HANDLE printer, const char16_t *name, bool *found = nullptr)
{
    DWORD type = 0, needed = 0;
    DWORD rc = GetPrinterDataW(printer, name, &type, nullptr, 0, &needed);
    if (found)
        *found = rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
    std::vector<BYTE> v(needed);
    if (needed && GetPrinterDataW(printer, name, &type, v.data(), needed, &needed) != ERROR_SUCCESS)
        v.clear();
    return v;
}

/* A fresh machine folder with the standard colour model's driver and two printers on it. */
class StoreTest : public plat_test::FreshMachineTest {
protected:
    StoreTest() : FreshMachineTest("tarvel-stores") {}

    void SetUp() override
    {
        FreshMachineTest::SetUp();
        root_ = root.string();
        RES_ResetForTest();
        DMB_ResetForTest();
        installPrinters();
    }
    void TearDown() override
    {
        DMB_Unload();
        DMB_ResetForTest();
        RES_ResetForTest();
        FreshMachineTest::TearDown();
    }

    static std::string driverDir()
    {
        const char *dir = std::getenv("TARVEL_DRIVER_DIR");
        return dir ? dir : "";
    }

    /* The driver (model TARVEL1.DDD, its companion, the resource module) and the printers. */
    void installPrinters()
    {
        ASSERT_FALSE(driverDir().empty()) << "TARVEL_DRIVER_DIR is not set";
        plat::SpoolDriver d;
        d.name = kDriver;
        d.driver_file = u"tarvelgr.dll";
        d.config_file = u"tarvelui.dll";
        d.data_file = u"TARVEL1.DDD";
        d.copy_files = {driverDir() + "/TARVEL1.DDD", driverDir() + "/TARVEL1.DDC", driverDir() + "/tarvelrs.xrs"};
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        for (const char16_t *name : {kPrinter, kPrinter2}) {
            plat::SpoolPrinter p;
            p.name = name;
            p.driver = kDriver;
            ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
        }
    }

    /*
     * Installs a driver for a model built with the writer (its files written
     * into the test's folder) and a printer `name` of it.
     */
    void installModelPrinter(const mw::Model &m, const char16_t *name)
    {
        std::string dir = root_ + "/models";
        std::string error;
        std::filesystem::create_directories(dir);
        ASSERT_TRUE(mw::writeFiles(m, dir, error)) << error;
        plat::SpoolDriver d;
        d.name = std::u16string(u"Driver of ") + name;
        d.driver_file = u"tarvelgr.dll";
        d.data_file = plat::utf8_to_utf16(m.fileName);
        d.copy_files = {dir + "/" + m.fileName};
        if (!m.companionName.empty())
            d.copy_files.push_back(dir + "/" + m.companionName);
        ASSERT_EQ(plat::spool_add_driver(d), DWORD(ERROR_SUCCESS));
        plat::SpoolPrinter p;
        p.name = name;
        p.driver = d.name;
        ASSERT_EQ(plat::spool_add_printer(p), DWORD(ERROR_SUCCESS));
    }

    /*
     * This program as the user-interface library in the driver directory:
     * its own strings, its module paths, the resource module beside it.
     */
    void initLibrary()
    {
        RES_SetModulePathForTest(u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\tarvelui.dll");
        ASSERT_TRUE(RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths))));
        RES_InitModulePaths(nullptr, nullptr);
        ASSERT_NE(RES_LoadResourceModule(), nullptr) << plat::loader_last_failure();
    }

    /* The real data manager, loaded through the binding as the library loads it. */
    void bindDataManager()
    {
        initLibrary();
        ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1) << plat::loader_last_failure();
    }

    std::string root_;
};

/* StoreTest with the first printer opened and its model context open. */
class OpenStoreTest : public StoreTest {
protected:
    void SetUp() override
    {
        StoreTest::SetUp();
        open();
    }
    void TearDown() override
    {
        close();
        StoreTest::TearDown();
    }
    /* Opens the printer (with `access`) and its context; again after close(). */
    void open(DWORD access = PRINTER_ALL_ACCESS)
    {
        printer_ = std::make_unique<Printer>(kPrinter, access);
        ASSERT_TRUE(printer_->ok);
        context_ = std::make_unique<Context>(MDL_Open(*printer_));
        ASSERT_NE(context_->p, nullptr);
    }
    void close()
    {
        context_.reset();
        printer_.reset();
    }
    HANDLE printer() { return *printer_; }
    ModelContext *context() { return *context_; }

    /* A value of the user's key of the printer, with its type; empty when it cannot be read. */
    std::vector<BYTE> userValue(const char16_t *name, DWORD *type = nullptr)
    {
        BYTE *data = nullptr;
        DWORD size = 0;
        if (REG_ReadValue(printer(), context(), &data, &size, type, nullptr, name) != REG_READ_OK)
            return {};
        std::vector<BYTE> v(data, data + size);
        GlobalFree(data);
        return v;
    }

    std::unique_ptr<Printer> printer_;
    std::unique_ptr<Context> context_;
};

} // namespace prn_test

#endif /* TARVEL_TEST_PRN_SUPPORT_H */
