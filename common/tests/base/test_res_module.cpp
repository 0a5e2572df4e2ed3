/*
 * Tests of the library's module paths and the resource module: the first
 * RES_InitModulePaths alone stores, every call counts, the driver directory
 * comes from the module's own path, and the resource module is loaded once,
 * on first use, and freed when the last use goes.
 */
#include "test_res_support.h"

#include <plat/error.h>
#include <plat/resource.h>

#include <array>

namespace {

using res_test::kDriverDir;
using res_test::kModulePath;
using res_test::u8;

class ResModule : public res_test::MachineTest {};

std::u16string driverDirectory()
{
    std::array<WCHAR, 260> buf{};
    EXPECT_TRUE(RES_GetDriverDirectory(buf.data(), DWORD(buf.size() * sizeof(WCHAR))));
    return std::u16string(buf.data());
}

TEST_F(ResModule, FirstInitStoresOwnModuleAndDirectory)
{
    EXPECT_EQ(RES_GetOwnModule(), nullptr);
    EXPECT_EQ(driverDirectory(), u"");
    initModule();
    EXPECT_EQ(RES_GetOwnModule(), res_test::ownCodeModule());
    EXPECT_NE(RES_GetOwnModule(), nullptr);
    EXPECT_EQ(driverDirectory(), kDriverDir);
    EXPECT_EQ(RES_GetUseCount(), 1);

    /* A later call only counts: neither the handle nor the path changes. */
    RES_SetModulePathForTest(u"C:\\Other\\x.dll");
    RES_InitModulePaths(reinterpret_cast<HMODULE>(0x1234), nullptr);
    EXPECT_EQ(RES_GetUseCount(), 2);
    EXPECT_EQ(RES_GetOwnModule(), res_test::ownCodeModule());
    EXPECT_EQ(driverDirectory(), kDriverDir);
}

TEST_F(ResModule, PathComesFromTheModuleFileName)
{
    /* A fake library loaded from the driver directory: GetModuleFileNameW knows its path. */
    ASSERT_TRUE(plat::loader_register_fake(u"fakeui.dll", nullptr, {}));
    HMODULE fake = LoadLibraryW(u"fakeui.dll");
    ASSERT_NE(fake, nullptr);
    RES_InitModulePaths(fake, u"C:\\Given\\ignored.dll");
    EXPECT_EQ(RES_GetOwnModule(), fake);
    EXPECT_EQ(driverDirectory(), plat::driver_dir_win() + u"\\");
    FreeLibrary(fake);
}

TEST_F(ResModule, GivenPathServesWhenTheFileNameIsUnknown)
{
    /* A handle the loader does not know has no file name for GetModuleFileNameW. */
    RES_InitModulePaths(reinterpret_cast<HMODULE>(0x10), u"C:\\Drivers\\Given\\tarvelgr.dll");
    EXPECT_EQ(driverDirectory(), u"C:\\Drivers\\Given\\");
}

TEST_F(ResModule, DirectoryNeedsA520ByteBuffer)
{
    initModule();
    std::array<WCHAR, 300> buf{};
    buf[0] = u'#';
    EXPECT_FALSE(RES_GetDriverDirectory(buf.data(), 519));
    EXPECT_EQ(buf[0], u'#');
    EXPECT_FALSE(RES_GetDriverDirectory(nullptr, 520));
    ASSERT_TRUE(RES_GetDriverDirectory(buf.data(), 520));
    EXPECT_EQ(std::u16string(buf.data()), kDriverDir);
    /* An odd size copies at most size / 2 - 1 characters. */
    ASSERT_TRUE(RES_GetDriverDirectory(buf.data(), 521));
    EXPECT_EQ(std::u16string(buf.data()), kDriverDir);
}

TEST_F(ResModule, LongPathIsCutAndKeepsNoResourcePath)
{
    ASSERT_TRUE(RES_AttachOwnStrings(res_test::ownCodeModule()));
    std::u16string path = u"C:\\";
    while (path.size() < 250)
        path += u"abcdefghi\\";
    path += u"tarvelui.dll";
    RES_SetModulePathForTest(path.c_str());
    RES_InitModulePaths(nullptr, nullptr);
    std::u16string dir = driverDirectory();
    EXPECT_LE(dir.size(), 259u);
    EXPECT_EQ(dir.back(), u'\\');
    EXPECT_EQ(dir, path.substr(0, dir.size()));
    /* Directory + "tarvelrs.xrs" does not fit in 260: nothing is loaded. */
    EXPECT_EQ(RES_LoadResourceModule(), nullptr);
}

TEST_F(ResModule, ResourceModuleLoadsOnceOnFirstUse)
{
    EXPECT_EQ(RES_LoadResourceModule(), nullptr) << "nothing loads while the use count is 0";
    initModule();
    EXPECT_EQ(plat::loader_load_count(u"tarvelrs.xrs"), 0u);
    HMODULE first = RES_LoadResourceModule();
    ASSERT_NE(first, nullptr) << plat::loader_last_failure();
    EXPECT_EQ(RES_GetResourceModule(), first);
    RES_InitModulePaths(nullptr, nullptr);
    EXPECT_EQ(RES_LoadResourceModule(), first);
    EXPECT_EQ(plat::loader_load_count(u"tarvelrs.xrs"), 1u);

    /* Its strings answer: string 9374 is the driver's documents folder. */
    std::array<WCHAR, 32> text{};
    EXPECT_GT(LoadStringW(first, RES_ID_DOCUMENTS_FOLDER, text.data(), int(text.size())), 0);

    /* Two uses: the first release keeps it, the second frees it and the handle. */
    RES_FreeResourceModule();
    EXPECT_EQ(RES_GetUseCount(), 1);
    EXPECT_EQ(plat::loader_load_count(u"tarvelrs.xrs"), 1u);
    RES_FreeResourceModule();
    EXPECT_EQ(RES_GetUseCount(), 0);
    EXPECT_EQ(plat::loader_load_count(u"tarvelrs.xrs"), 0u);
    EXPECT_EQ(RES_GetOwnModule(), nullptr);
    EXPECT_EQ(driverDirectory(), kDriverDir) << "paths stay set after release";
    RES_FreeResourceModule();
    EXPECT_EQ(RES_GetUseCount(), 0);
}

TEST_F(ResModule, ReleaseAllDropsEveryUse)
{
    initModule();
    RES_InitModulePaths(nullptr, nullptr);
    RES_InitModulePaths(nullptr, nullptr);
    ASSERT_NE(RES_LoadResourceModule(), nullptr);
    RES_ReleaseAll();
    EXPECT_EQ(RES_GetUseCount(), 0);
    EXPECT_EQ(plat::loader_load_count(u"tarvelrs.xrs"), 0u);
    RES_ReleaseAll();
    EXPECT_EQ(RES_GetUseCount(), 0);
}

TEST_F(ResModule, MissingResourceModuleAnswersNullOnEveryCall)
{
    ASSERT_TRUE(RES_AttachOwnStrings(res_test::ownCodeModule()));
    RES_SetModulePathForTest(u"C:\\Empty\\tarvelui.dll");
    RES_InitModulePaths(nullptr, nullptr);
    EXPECT_EQ(RES_LoadResourceModule(), nullptr);
    EXPECT_EQ(RES_LoadResourceModule(), nullptr);
}

TEST_F(ResModule, WithoutString32767TheDirectoryPathIsTriedAtLoad)
{
    /* Own strings missing at init: no resource path is kept ... */
    static const plat::RsrcString none[] = {{1, u"x"}};
    ASSERT_TRUE(plat::rsrc_attach_strings(res_test::ownCodeModule(), none));
    RES_SetModulePathForTest(kModulePath);
    RES_InitModulePaths(nullptr, nullptr);
    EXPECT_EQ(RES_LoadResourceModule(), nullptr);
    /* ... and once the string answers, the load builds the path itself. */
    ASSERT_TRUE(RES_AttachOwnStrings(res_test::ownCodeModule()));
    EXPECT_NE(RES_LoadResourceModule(), nullptr);
}

TEST_F(ResModule, OwnStringsNameTheDataManagerAndTheResourceModule)
{
    HMODULE own = res_test::ownCodeModule();
    ASSERT_TRUE(RES_AttachOwnStrings(own));
    std::array<WCHAR, 64> text{};
    ASSERT_GT(LoadStringW(own, RES_ID_DATA_MANAGER_NAME, text.data(), int(text.size())), 0);
    EXPECT_EQ(u8(text.data()), "tarveldm.dll");
    ASSERT_GT(LoadStringW(own, RES_ID_RESOURCE_MODULE_NAME, text.data(), int(text.size())), 0);
    EXPECT_EQ(u8(text.data()), "tarvelrs.xrs");
    EXPECT_FALSE(RES_AttachOwnStrings(nullptr));
}

} // namespace
