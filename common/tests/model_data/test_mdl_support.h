/*
 * Helpers shared by the model context's tests: a fresh machine folder with
 * the locale caches forgotten, printers installed through the spooler with
 * model files from the build's driver directory (or written by the test),
 * and holders that close printers and contexts.
 */
#ifndef TARVEL_TEST_MDL_SUPPORT_H
#define TARVEL_TEST_MDL_SUPPORT_H

#include "test_res_support.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/mdl_lookup.h>
#include <tarvel/model_data/paper_rules.h>

#include <plat/debug.h>
#include <plat/error.h>
#include <plat/memory.h>
#include <plat/spooler.h>

#include <filesystem>
#include <string>

namespace mdl_test {

/* The build's driver directory, where the standard models are written. */
inline std::string driverDir()
{
    const char *dir = std::getenv("TARVEL_DRIVER_DIR");
    return dir ? dir : "";
}

/* An open printer handle, closed when the holder goes. */
struct Printer {
    HANDLE handle = nullptr;
    explicit Printer(const std::u16string &name)
    {
        if (!OpenPrinterW(name.c_str(), &handle, nullptr))
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

/* A context closed when the holder goes. */
struct Context {
    ModelContext *ctx = nullptr;
    explicit Context(ModelContext *c) : ctx(c) {}
    ~Context()
    {
        if (ctx)
            MDL_Close(ctx);
    }
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;
    ModelContext *operator->() const { return ctx; }
};

/* The printer name the helpers give a model file. */
inline std::u16string printerFor(const std::string &modelFile)
{
    return u"Printer " + plat::utf8_to_utf16(modelFile);
}

/*
 * Installs a driver whose data file is `dataFile` with `files` (real paths)
 * linked into the driver directory, and a printer of it named
 * printerFor(dataFile).  Returns false (with a test failure) when the
 * spooler refuses.
 */
inline bool installPrinter(const std::string &dataFile, const std::vector<std::string> &files)
{
    plat::SpoolDriver d;
    d.name = u"Tarvel " + plat::utf8_to_utf16(dataFile);
    d.driver_file = u"tarvelgr.dll";
    d.config_file = u"tarvelui.dll";
    d.data_file = plat::utf8_to_utf16(dataFile);
    d.link_files = files;
    DWORD r = plat::spool_add_driver(d);
    EXPECT_EQ(r, DWORD(ERROR_SUCCESS)) << dataFile;
    if (r != ERROR_SUCCESS)
        return false;
    plat::SpoolPrinter p;
    p.name = printerFor(dataFile);
    p.driver = d.name;
    r = plat::spool_add_printer(p);
    EXPECT_EQ(r, DWORD(ERROR_SUCCESS)) << dataFile;
    return r == ERROR_SUCCESS;
}

/* Installs a printer of a standard model pair from the build's driver directory. */
inline bool installStandard(const std::string &mainFile, const std::string &companionFile)
{
    for (const std::u16string &name : plat::spool_printers())
        if (name == printerFor(mainFile))
            return true;
    return installPrinter(mainFile, {driverDir() + "/" + mainFile, driverDir() + "/" + companionFile});
}

/*
 * A fresh machine, no module paths (so no resource module) and no cached
 * locale answers, an empty debugger output.
 */
class MdlTest : public res_test::MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        ASSERT_FALSE(driverDir().empty()) << "TARVEL_DRIVER_DIR is not set";
        utl_ResetLocaleCachesForTest();
        plat::debug_clear();
    }
    void TearDown() override
    {
        utl_ResetLocaleCachesForTest();
        MachineTest::TearDown();
    }

    /* Writes a writer model's files into the test's folder; the real paths of the files written. */
    std::vector<std::string> writeModel(const mw::Model &m)
    {
        std::string dir = root_ + "/models";
        std::filesystem::create_directories(dir);
        std::string error;
        EXPECT_TRUE(mw::writeFiles(m, dir, error)) << error;
        std::vector<std::string> files{dir + "/" + m.fileName};
        if (!m.companionName.empty())
            files.push_back(dir + "/" + m.companionName);
        return files;
    }

    /* Installs a printer of a standard model pair and opens its context (null on failure). */
    ModelContext *openStandard(const std::string &mainFile, const std::string &companionFile)
    {
        if (!installStandard(mainFile, companionFile))
            return nullptr;
        Printer printer(printerFor(mainFile));
        return MDL_Open(printer.handle);
    }

    /* Installs a printer of a writer model and opens its context (null on failure). */
    ModelContext *openWritten(const mw::Model &m)
    {
        if (!installPrinter(m.fileName, writeModel(m)))
            return nullptr;
        Printer printer(printerFor(m.fileName));
        return MDL_Open(printer.handle);
    }
};

} // namespace mdl_test

#endif /* TARVEL_TEST_MDL_SUPPORT_H */
