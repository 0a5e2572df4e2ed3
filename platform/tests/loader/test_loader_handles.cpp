// Module handles are never reused: libraries, fakes and data-file modules
// loaded and freed over and over (so that the allocator hands their records
// the addresses of freed ones) each get a handle no earlier module had; a
// handle kept past FreeLibrary is refused; and a code module's string table
// goes with the module, so a later module never answers with it.
#include "test_loader_fixture.h"

#include "../windows/test_resource_fixture.h"

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/resource.h>

#include <set>
#include <string>

namespace {

constexpr int kRounds = 2000;
constexpr UINT kWorkFolderString = 9374;

int g_round = 0;

/* Like the driver's libraries: even rounds attach a string table at load, odd rounds none. */
BOOL entry_with_strings(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH && g_round % 2 == 0) {
        const std::u16string text = u"round " + plat::utf8_to_utf16(std::to_string(g_round));
        const plat::RsrcString table[] = {{kWorkFolderString, text.c_str()}};
        return plat::rsrc_attach_strings(self, table);
    }
    return TRUE;
}

int fake_one() { return 1; }
const plat::FakeExport kExports[] = {{"One", plat::to_farproc(&fake_one)}};

std::u16string string_of(HMODULE h, UINT id, DWORD *error)
{
    WCHAR buf[64] = {};
    SetLastError(0);
    const int n = LoadStringW(h, id, buf, 64);
    *error = GetLastError();
    return std::u16string(buf, size_t(n > 0 ? n : 0));
}

} // namespace

class LoaderHandles : public FreshMachine {};

TEST_F(LoaderHandles, AFreedModulesHandleAndStringsNeverReachALaterModule)
{
    ASSERT_TRUE(plat::loader_register_fake(u"stringsui.dll", entry_with_strings, kExports));
    std::set<HMODULE> seen;
    HMODULE previous = nullptr;
    for (g_round = 0; g_round < kRounds; g_round++) {
        HMODULE h = LoadLibraryW(u"stringsui.dll");
        ASSERT_NE(h, nullptr) << "round " << g_round;
        ASSERT_TRUE(seen.insert(h).second) << "round " << g_round << " got a handle an earlier module had";

        DWORD error = 0;
        const std::u16string text = string_of(h, kWorkFolderString, &error);
        if (g_round % 2 == 0) {
            ASSERT_EQ(text, u"round " + plat::utf8_to_utf16(std::to_string(g_round))) << "round " << g_round;
        } else {
            ASSERT_EQ(text, u"") << "round " << g_round << " answered with a freed module's string";
            ASSERT_EQ(error, DWORD(ERROR_RESOURCE_DATA_NOT_FOUND)) << "round " << g_round;
        }

        if (previous) {
            SetLastError(0);
            ASSERT_EQ(GetProcAddress(previous, "One"), nullptr) << "round " << g_round;
            ASSERT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
            ASSERT_FALSE(FreeLibrary(previous));
            ASSERT_EQ(string_of(previous, kWorkFolderString, &error), u"") << "round " << g_round;
        }
        ASSERT_TRUE(FreeLibrary(h));
        previous = h;
    }
}

TEST_F(LoaderHandles, ARealLibraryReloadedGetsAFreshHandleEachTime)
{
    std::set<HMODULE> seen;
    HMODULE previous = nullptr;
    for (int round = 0; round < 200; round++) {
        HMODULE h = LoadLibraryW(u"plattestmod.dll");
        ASSERT_NE(h, nullptr) << plat::loader_last_failure();
        ASSERT_TRUE(seen.insert(h).second) << "round " << round;
        if (previous) {
            SetLastError(0);
            ASSERT_EQ(GetProcAddress(previous, "plattestmod_add"), nullptr) << "round " << round;
            ASSERT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
        }
        ASSERT_NE(GetProcAddress(h, "plattestmod_add"), nullptr);
        ASSERT_TRUE(FreeLibrary(h));
        previous = h;
    }
}

TEST_F(LoaderHandles, DataFileModulesClosedAndOpenedAgainNeverShareAHandle)
{
    const GoodContainer good;
    std::set<HMODULE> seen;
    HMODULE previous = nullptr;
    for (int round = 0; round < kRounds; round++) {
        HMODULE h = plat::rsrc_open_bytes(good.bytes);
        ASSERT_NE(h, nullptr);
        ASSERT_TRUE(seen.insert(h).second) << "round " << round;
        DWORD error = 0;
        ASSERT_EQ(string_of(h, 1, &error), u"Hi");
        if (previous) {
            ASSERT_FALSE(plat::rsrc_is_data_module(previous)) << "round " << round;
            ASSERT_EQ(string_of(previous, 1, &error), u"") << "round " << round;
            ASSERT_FALSE(plat::rsrc_close(previous));
        }
        ASSERT_TRUE(plat::rsrc_close(h));
        previous = h;
    }
}
