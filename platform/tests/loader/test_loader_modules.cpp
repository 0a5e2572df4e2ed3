// The loader on real shared libraries: the test modules built into the
// driver directory, their entry functions declared from ELF constructors,
// exports restricted to the module itself, and module file names.
#include "test_loader_fixture.h"

#include <plat/debug.h>
#include <plat/error.h>
#include <plat/loader.h>

#include <dlfcn.h>

#include <fstream>

namespace {

std::string library_path(const char *so) { return plat::driver_dir_real() + "/" + so; }

bool is_mapped(const std::string &path)
{
    void *dl = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (dl)
        dlclose(dl);
    return dl != nullptr;
}

std::u16string module_file_name(HMODULE h)
{
    WCHAR buf[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameW(h, buf, MAX_PATH + 1);
    return std::u16string(buf, n);
}

template <typename T>
T *data_export(HMODULE h, const char *name)
{
    return reinterpret_cast<T *>(GetProcAddress(h, name));
}

} // namespace

class LoaderModules : public FreshMachine {};

TEST_F(LoaderModules, LoadsFromTheDriverDirectoryAndUnloadsWithTheLastReference)
{
    const std::string so = library_path("libplattestmod.so");
    ASSERT_FALSE(is_mapped(so));
    HMODULE h = LoadLibraryW(u"plattestmod.dll");
    ASSERT_NE(h, nullptr) << plat::loader_last_failure();
    EXPECT_TRUE(is_mapped(so));
    EXPECT_EQ(*data_export<LONG>(h, "plattestmod_attaches"), 1);
    auto add = plat::proc_cast<int (*)(int, int)>(GetProcAddress(h, "plattestmod_add"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(40, 2), 42);
    EXPECT_EQ(module_file_name(h), u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\plattestmod.dll");

    EXPECT_EQ(LoadLibraryW(u"PLATTESTMOD.DLL"), h);
    EXPECT_EQ(LoadLibraryW((plat::driver_dir_win() + u"\\PlatTestMod.dll").c_str()), h);
    EXPECT_EQ(*data_export<LONG>(h, "plattestmod_attaches"), 1);
    EXPECT_EQ(plat::loader_load_count(u"plattestmod.dll"), 3u);

    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(*data_export<LONG>(h, "plattestmod_detaches"), 0);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_FALSE(is_mapped(so));
    EXPECT_EQ(plat::debug_output(), u"plattestmod attach\nplattestmod detach\n");
}

TEST_F(LoaderModules, OnlyTheModulesOwnSymbolsAreExports)
{
    HMODULE h = LoadLibraryW(u"plattestmod.dll");
    ASSERT_NE(h, nullptr) << plat::loader_last_failure();
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(h, "no_such_symbol"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    /* Defined by the C library, which the module links: not an export of the module. */
    ASSERT_NE(dlsym(RTLD_DEFAULT, "strlen"), nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(h, "strlen"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    FreeLibrary(h);
}

TEST_F(LoaderModules, ALibraryLoadsItsCompanionFromItsOwnDirectory)
{
    HMODULE h2 = LoadLibraryW(u"plattestmod2.dll");
    ASSERT_NE(h2, nullptr) << plat::loader_last_failure();
    EXPECT_EQ(plat::debug_output(), u"plattestmod2 attach begin\nplattestmod attach\nplattestmod2 attach end\n");
    EXPECT_EQ(plat::loader_load_count(u"plattestmod.dll"), 1u);
    EXPECT_EQ(plat::proc_cast<HMODULE (*)()>(GetProcAddress(h2, "plattestmod2_attach_handle"))(), h2);
    EXPECT_EQ(plat::proc_cast<HMODULE (*)()>(GetProcAddress(h2, "plattestmod2_self"))(), h2);

    HMODULE h1 = LoadLibraryW(u"plattestmod.dll");
    EXPECT_EQ(h1, GetModuleHandleW(u"plattestmod.dll"));
    EXPECT_EQ(plat::loader_load_count(u"plattestmod.dll"), 2u);

    plat::debug_clear();
    EXPECT_TRUE(FreeLibrary(h2));
    EXPECT_EQ(plat::debug_output(), u"plattestmod2 detach begin\nplattestmod2 detach end\n");
    EXPECT_EQ(plat::loader_load_count(u"plattestmod.dll"), 1u);
    EXPECT_EQ(*data_export<LONG>(h1, "plattestmod_attaches"), 1);
    EXPECT_TRUE(FreeLibrary(h1));
    EXPECT_EQ(plat::debug_output(), u"plattestmod2 detach begin\nplattestmod2 detach end\nplattestmod detach\n");
    EXPECT_FALSE(is_mapped(library_path("libplattestmod.so")));
    EXPECT_FALSE(is_mapped(library_path("libplattestmod2.so")));
}

TEST_F(LoaderModules, AliasesDeclaredInsideTheLibrary)
{
    HMODULE h2 = LoadLibraryW(u"plattestmod2.dll");
    ASSERT_NE(h2, nullptr) << plat::loader_last_failure();
    auto decorated = plat::proc_cast<int (*)()>(GetProcAddress(h2, "?answer@@YAHXZ"));
    ASSERT_NE(decorated, nullptr);
    EXPECT_EQ(decorated(), 42);
    EXPECT_EQ(GetProcAddress(h2, reinterpret_cast<LPCSTR>(7)), GetProcAddress(h2, "plattestmod2_answer"));
    EXPECT_EQ(GetProcAddress(h2, reinterpret_cast<LPCSTR>(8)), nullptr);
    EXPECT_TRUE(plat::loader_add_export_alias(h2, "Answer", "plattestmod2_answer"));
    EXPECT_EQ(GetProcAddress(h2, "Answer"), GetProcAddress(h2, "plattestmod2_answer"));
    EXPECT_TRUE(plat::loader_add_export_alias(h2, "Missing", "no_such_symbol"));
    EXPECT_EQ(GetProcAddress(h2, "Missing"), nullptr);
    FreeLibrary(h2);
}

TEST_F(LoaderModules, AFullPathLoadsFromThatFolder)
{
    /* A copy of the module in another machine folder is a module of its own. */
    std::filesystem::create_directories(root / "c" / "Other");
    std::filesystem::copy_file(library_path("libplattestmod.so"), root / "c" / "Other" / "libplattestmod.so");
    HMODULE other = LoadLibraryW(u"C:\\other\\plattestmod.dll");
    ASSERT_NE(other, nullptr) << plat::loader_last_failure();
    EXPECT_EQ(module_file_name(other), u"C:\\Other\\plattestmod.dll");
    EXPECT_EQ(*data_export<LONG>(other, "plattestmod_attaches"), 1);

    /* A bare name finds the module already loaded, wherever it came from. */
    EXPECT_EQ(LoadLibraryW(u"plattestmod.dll"), other);
    HMODULE driver = LoadLibraryW((plat::driver_dir_win() + u"\\plattestmod.dll").c_str());
    ASSERT_NE(driver, nullptr);
    EXPECT_NE(driver, other);
    EXPECT_EQ(*data_export<LONG>(driver, "plattestmod_attaches"), 1);

    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u"C:\\other\\plattestmod2.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));

    FreeLibrary(driver);
    FreeLibrary(other);
    FreeLibrary(other);
    EXPECT_EQ(plat::debug_output(), u"plattestmod attach\nplattestmod attach\nplattestmod detach\nplattestmod detach\n");
}

TEST_F(LoaderModules, NonLibraryFilesFailToLoad)
{
    std::filesystem::create_directories(root / "c" / "Bad");
    std::ofstream(root / "c" / "Bad" / "libjunk.so") << "not an ELF file";
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u"C:\\Bad\\junk.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_FALSE(plat::loader_last_failure().empty());
    EXPECT_EQ(plat::loader_load_count(u"C:\\Bad\\junk.dll"), 0u);
}

TEST_F(LoaderModules, LibrariesTheSystemMappedHaveHandlesToo)
{
    HMODULE plat = plat::module_of_address(reinterpret_cast<const void *>(&LoadLibraryW));
    ASSERT_NE(plat, nullptr);
    EXPECT_EQ(GetModuleHandleW(u"tarvelplat.dll"), plat);
    EXPECT_EQ(LoadLibraryW(u"tarvelplat.dll"), plat);
    EXPECT_EQ(module_file_name(plat), plat::driver_dir_win() + u"\\tarvelplat.dll");
    EXPECT_TRUE(FreeLibrary(plat));
    EXPECT_TRUE(FreeLibrary(plat));
    EXPECT_EQ(GetModuleHandleW(u"tarvelplat.dll"), plat);

    /* The program lies outside the machine: it has a handle but no Windows file name. */
    HMODULE program = GetModuleHandleW(nullptr);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(plat::module_of_address(reinterpret_cast<const void *>(&is_mapped)), program);
    WCHAR buf[8];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(nullptr, buf, 8), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}
