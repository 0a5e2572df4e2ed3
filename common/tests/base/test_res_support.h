/*
 * Helpers shared by the tests of the resource module and the utilities: a
 * fresh machine folder per test with the process-wide caches reset,
 * the library's module set up as if it lay in the driver directory, and
 * UTF-16 to UTF-8 for assertion messages.
 */
#ifndef TARVEL_TEST_RES_SUPPORT_H
#define TARVEL_TEST_RES_SUPPORT_H

#include "test_model_support.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/util_system.h>

#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <tarvel/rc.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace res_test {

/* The Windows path the tests give the library's own module. */
inline const char16_t *kModulePath = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\tarvelui.dll";
inline const char16_t *kDriverDir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\";

using model_test::u8;

/* The module that holds the common library's code in this executable. */
inline HMODULE ownCodeModule()
{
    return plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths));
}

/*
 * Compiles resource source `source` and writes the container to Windows path
 * `path` of the machine (its folder is created).  False on any error.
 */
inline bool writeResourceModule(const char16_t *path, std::string_view source)
{
    rc::Project project;
    std::vector<uint8_t> bytes;
    if (!rc::parse_source(source, "test.trc", ".", project) || !rc::write_container(project, bytes))
        return false;
    std::string real;
    if (!plat::map_path(path, real))
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(real).parent_path(), ec);
    std::ofstream out(real, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

/*
 * A fresh machine folder (the model reader's fixture, so the reader's state
 * is fresh too) with the module paths and the version checks reset.
 */
class MachineTest : public model_test::ModelTest {
protected:
    void SetUp() override
    {
        model_test::ModelTest::SetUp();
        RES_ResetForTest();
        UTL_ResetVersionCacheForTest();
    }
    void TearDown() override
    {
        RES_ResetForTest();
        model_test::ModelTest::TearDown();
    }

    /*
     * Sets the library's module up at Windows path `modulePath`: its own
     * strings attached, its path fixed, RES_InitModulePaths called once.
     */
    void initModuleAt(const std::u16string &modulePath)
    {
        ASSERT_TRUE(RES_AttachOwnStrings(ownCodeModule()));
        RES_SetModulePathForTest(modulePath.c_str());
        RES_InitModulePaths(nullptr, nullptr);
    }

    /* The library's module in the driver directory. */
    void initModule() { initModuleAt(kModulePath); }

    /*
     * The library's module in folder "C:\TestDrv" with a resource module of
     * its own compiled from `source` (none, and any earlier one removed, when
     * `source` is null).
     */
    void initModuleWithResources(const char *source)
    {
        const char16_t *path = u"C:\\TestDrv\\tarvelrs.xrs";
        if (source) {
            ASSERT_TRUE(writeResourceModule(path, source));
        } else {
            std::string real;
            ASSERT_TRUE(plat::map_path(path, real));
            std::error_code ec;
            std::filesystem::remove(real, ec);
        }
        initModuleAt(u"C:\\TestDrv\\tarvelui.dll");
    }
};

} // namespace res_test

#endif /* TARVEL_TEST_RES_SUPPORT_H */
