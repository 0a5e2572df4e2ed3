// The loader with in-process fake modules: names, reference counts, the
// order of attach and detach, exports and aliases, module file names, data
// modules, the built-in kernel32 and activation contexts.
#include "test_loader_fixture.h"

#include <plat/error.h>
#include <plat/loader.h>

#include <dlfcn.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

BOOL log_entry(const char *who, DWORD reason)
{
    g_events.push_back(std::string(who) + (reason == DLL_PROCESS_ATTACH ? " attach" : " detach"));
    return TRUE;
}

BOOL entry_dm(HINSTANCE, DWORD reason, LPVOID) { return log_entry("dm", reason); }

BOOL entry_refuses(HINSTANCE, DWORD reason, LPVOID)
{
    log_entry("refuser", reason);
    return reason != DLL_PROCESS_ATTACH;
}

HMODULE g_ui_self = nullptr;
HMODULE g_ui_dm = nullptr;

/* Like the user-interface library: loads the data manager at attach, frees it at detach. */
BOOL entry_ui(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_events.push_back("ui attach begin");
        g_ui_self = self;
        g_ui_dm = LoadLibraryW(u"fakedm.dll");
        g_events.push_back("ui attach end");
        return g_ui_dm != nullptr;
    }
    g_events.push_back("ui detach begin");
    FreeLibrary(g_ui_dm);
    g_events.push_back("ui detach end");
    return TRUE;
}

int fake_add(int a, int b) { return a + b; }
int fake_twice(int a) { return 2 * a; }

const plat::FakeExport kDmExports[] = {
    {"Add", plat::to_farproc(&fake_add)},
    {"Twice", plat::to_farproc(&fake_twice)},
};

std::u16string driver_file(const char16_t *name) { return plat::driver_dir_win() + u"\\" + name; }

} // namespace

class Loader : public FreshMachine {
protected:
    void SetUp() override
    {
        FreshMachine::SetUp();
        g_events.clear();
        ASSERT_TRUE(plat::loader_register_fake(u"fakedm.dll", entry_dm, kDmExports));
    }
};

TEST_F(Loader, SameModuleSameHandleOneMoreCount)
{
    HMODULE h = LoadLibraryW(u"FAKEDM.DLL");
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(g_events, std::vector<std::string>{"dm attach"});
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 1u);

    /* No extension means ".dll"; a full path in the driver directory is the same module. */
    EXPECT_EQ(LoadLibraryW(u"fakedm"), h);
    EXPECT_EQ(LoadLibraryExW(driver_file(u"FakeDM.dll").c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH), h);
    EXPECT_EQ(LoadLibraryA("fakedm.dll"), h);
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 4u);
    EXPECT_EQ(GetModuleHandleW(u"fakedm.dll"), h);
    EXPECT_EQ(GetModuleHandleA("FAKEDM"), h);
    EXPECT_EQ(plat::loader_load_count(u"fakedm"), 4u);
    EXPECT_EQ(g_events.size(), 1u);

    for (int i = 0; i < 3; i++)
        EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(g_events.size(), 1u);
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 1u);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(g_events, (std::vector<std::string>{"dm attach", "dm detach"}));
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 0u);

    SetLastError(0);
    EXPECT_FALSE(FreeLibrary(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(GetModuleHandleW(u"fakedm.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(Loader, EntriesNestAsLoadsNest)
{
    ASSERT_TRUE(plat::loader_register_fake(u"fakeui.dll", entry_ui, {}));
    HMODULE ui = LoadLibraryW(u"fakeui.dll");
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(g_ui_self, ui);
    EXPECT_EQ(g_events, (std::vector<std::string>{"ui attach begin", "dm attach", "ui attach end"}));
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 1u);

    HMODULE dm = LoadLibraryW(u"fakedm.dll");
    EXPECT_EQ(dm, g_ui_dm);
    g_events.clear();
    EXPECT_TRUE(FreeLibrary(ui));
    EXPECT_EQ(g_events, (std::vector<std::string>{"ui detach begin", "ui detach end"}));
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 1u);
    EXPECT_TRUE(FreeLibrary(dm));
    EXPECT_EQ(g_events.back(), "dm detach");

    /* Loaded again without the test's own reference: the last user's detach frees it. */
    ui = LoadLibraryW(u"fakeui.dll");
    g_events.clear();
    EXPECT_TRUE(FreeLibrary(ui));
    EXPECT_EQ(g_events, (std::vector<std::string>{"ui detach begin", "dm detach", "ui detach end"}));
}

TEST_F(Loader, RefusedAttachFailsTheLoadAfterItsDetach)
{
    ASSERT_TRUE(plat::loader_register_fake(u"refuser.dll", entry_refuses, {}));
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u"refuser.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DLL_INIT_FAILED));
    EXPECT_EQ(g_events, (std::vector<std::string>{"refuser attach", "refuser detach"}));
    EXPECT_EQ(plat::loader_load_count(u"refuser.dll"), 0u);
}

TEST_F(Loader, MissingModulesAndBadNames)
{
    struct Case {
        const char16_t *name;
        DWORD error;
    };
    const Case cases[] = {
        {u"nosuch.dll", ERROR_MOD_NOT_FOUND},
        {u"C:\\nowhere\\fakedm2.dll", ERROR_MOD_NOT_FOUND},
        {u"\\\\server\\share\\x.dll", ERROR_MOD_NOT_FOUND},
        {u"", ERROR_INVALID_PARAMETER},
        {u"C:\\dir\\", ERROR_INVALID_PARAMETER},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name ? std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)) : "null");
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(c.name), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(LoadLibraryW(u"nosuch.dll"), nullptr);
    EXPECT_NE(plat::loader_last_failure().find("nosuch.dll"), std::string::npos);
    EXPECT_EQ(LoadLibraryA("caf\xE9.dll"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(Loader, FakeUnderAFullPathServesOnlyThatPath)
{
    ASSERT_TRUE(plat::loader_register_fake(u"C:\\Vendor\\Lib\\jwm.dll", nullptr, kDmExports));
    EXPECT_EQ(LoadLibraryW(u"jwm.dll"), nullptr);
    HMODULE h = LoadLibraryW(u"c:\\vendor\\lib\\JWM.dll");
    ASSERT_NE(h, nullptr);
    WCHAR buf[MAX_PATH];
    const std::u16string want = u"c:\\vendor\\lib\\JWM.dll";
    EXPECT_EQ(GetModuleFileNameW(h, buf, MAX_PATH), DWORD(want.size()));
    EXPECT_EQ(std::u16string(buf), want);
    plat::loader_unregister_fake(u"C:\\Vendor\\Lib\\jwm.dll");
    EXPECT_EQ(LoadLibraryW(u"c:\\vendor\\lib\\JWM.dll"), h); /* still loaded */
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(LoadLibraryW(u"c:\\vendor\\lib\\JWM.dll"), nullptr);
}

TEST_F(Loader, ExportsAliasesAndMissingSymbols)
{
    HMODULE h = LoadLibraryW(u"fakedm.dll");
    ASSERT_NE(h, nullptr);
    auto add = plat::proc_cast<int (*)(int, int)>(GetProcAddress(h, "Add"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);

    SetLastError(0);
    EXPECT_EQ(GetProcAddress(h, "add"), nullptr); /* export names keep their case */
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(h, nullptr), nullptr);
    EXPECT_EQ(GetProcAddress(h, reinterpret_cast<LPCSTR>(3)), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));

    EXPECT_TRUE(plat::loader_add_export_alias(h, "?Add@@YAHHH@Z", "Add"));
    EXPECT_TRUE(plat::loader_add_export_alias(h, "#3", "Twice"));
    EXPECT_FALSE(plat::loader_add_export_alias(h, nullptr, "Add"));
    EXPECT_EQ(GetProcAddress(h, "?Add@@YAHHH@Z"), GetProcAddress(h, "Add"));
    auto twice = plat::proc_cast<int (*)(int)>(GetProcAddress(h, reinterpret_cast<LPCSTR>(3)));
    ASSERT_NE(twice, nullptr);
    EXPECT_EQ(twice(21), 42);

    /* Aliases live as long as the module stays loaded. */
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_FALSE(plat::loader_add_export_alias(h, "x", "Add"));
    h = LoadLibraryW(u"fakedm.dll");
    EXPECT_EQ(GetProcAddress(h, "?Add@@YAHHH@Z"), nullptr);
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(&g_events), "Add"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    FreeLibrary(h);
}

TEST_F(Loader, ModuleFileNameIsWindowsFormAndTruncatesAsDocumented)
{
    HMODULE h = LoadLibraryW(u"fakedm.dll");
    ASSERT_NE(h, nullptr);
    const std::u16string full = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\fakedm.dll";
    const DWORD len = DWORD(full.size());
    struct Case {
        DWORD size;
        DWORD answer;
        DWORD error; /* 0: last error untouched */
        std::u16string text;
    };
    const Case cases[] = {
        {MAX_PATH, len, 0, full},
        {len + 1, len, 0, full},
        {len, len, ERROR_INSUFFICIENT_BUFFER, full.substr(0, len - 1)},
        {10, 10, ERROR_INSUFFICIENT_BUFFER, full.substr(0, 9)},
        {1, 1, ERROR_INSUFFICIENT_BUFFER, u""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        std::u16string buf(MAX_PATH + 1, u'#');
        SetLastError(0);
        EXPECT_EQ(GetModuleFileNameW(h, buf.data(), c.size), c.answer);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(std::u16string(buf.c_str()), c.text);
        EXPECT_EQ(buf[c.size], u'#'); /* nothing written past the buffer */
    }
    WCHAR one = u'#';
    EXPECT_EQ(GetModuleFileNameW(h, &one, 0), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(one, u'#');
    FreeLibrary(h);
    EXPECT_EQ(GetModuleFileNameW(h, &one, 1), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
}

TEST_F(Loader, ModuleHandleExCountsPinsAndFindsByAddress)
{
    HMODULE h = LoadLibraryW(u"fakedm.dll");
    HMODULE out = h;
    SetLastError(0);
    EXPECT_FALSE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                    u"fakedm.dll", &out));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(out, nullptr);
    EXPECT_FALSE(GetModuleHandleExW(0, u"fakedm.dll", nullptr));

    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, u"fakedm.dll", &out));
    EXPECT_EQ(out, h);
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 1u);
    ASSERT_TRUE(GetModuleHandleExW(0, u"fakedm.dll", &out));
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 2u);
    EXPECT_FALSE(GetModuleHandleExW(0, u"absent.dll", &out));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));

    /* Pinned: FreeLibrary no longer unloads, until the machine is reset. */
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, u"fakedm.dll", &out));
    for (int i = 0; i < 5; i++)
        EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(GetModuleHandleW(u"fakedm.dll"), h);
    EXPECT_EQ(g_events, std::vector<std::string>{"dm attach"});
    plat::machine_reset((root / "again").string());
    EXPECT_EQ(g_events, (std::vector<std::string>{"dm attach", "dm detach"}));

    /* An address inside the program: the program's own handle. */
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCWSTR>(&entry_dm), &out));
    EXPECT_EQ(out, GetModuleHandleW(nullptr));
    EXPECT_EQ(plat::module_of_address(reinterpret_cast<const void *>(&entry_dm)), out);
    EXPECT_EQ(plat::module_of_address(nullptr), nullptr);
}

TEST_F(Loader, ResetUnloadsEverythingAndForgetsFakes)
{
    ASSERT_TRUE(plat::loader_register_fake(u"fakeui.dll", entry_ui, {}));
    ASSERT_NE(LoadLibraryW(u"fakeui.dll"), nullptr);
    ASSERT_NE(LoadLibraryW(u"fakedm.dll"), nullptr);
    g_events.clear();
    plat::machine_reset((root / "again").string());
    EXPECT_EQ(g_events.front(), "ui detach begin");
    EXPECT_EQ(g_events.back(), "dm detach");
    EXPECT_EQ(plat::loader_load_count(u"fakeui.dll"), 0u);
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 0u);
    EXPECT_EQ(LoadLibraryW(u"fakedm.dll"), nullptr);
}

TEST_F(Loader, AttachedPayloadIsReleasedWithTheModule)
{
    static int released;
    released = 0;
    int payload = 7;
    HMODULE h = LoadLibraryW(u"fakedm.dll");
    ASSERT_TRUE(plat::loader_attach_payload(h, &payload, [](void *p) { released += *static_cast<int *>(p); }));
    EXPECT_FALSE(plat::loader_attach_payload(h, &payload, nullptr));
    EXPECT_EQ(plat::loader_module_payload(h), &payload);
    FreeLibrary(h);
    EXPECT_EQ(released, 7);
    EXPECT_EQ(plat::loader_module_payload(h), nullptr);
}

TEST_F(Loader, Kernel32IsBuiltIn)
{
    HMODULE k = GetModuleHandleA("KERNEL32");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(LoadLibraryW(u"kernel32.dll"), k);
    EXPECT_EQ(GetProcAddress(k, "LoadLibraryExA"), plat::to_farproc(&LoadLibraryExA));
    EXPECT_EQ(GetProcAddress(k, "FreeLibrary"), plat::to_farproc(&FreeLibrary));
    EXPECT_EQ(GetProcAddress(k, "GetProcAddress"), plat::to_farproc(&GetProcAddress));
    EXPECT_TRUE(FreeLibrary(k));
    EXPECT_TRUE(FreeLibrary(k));
    EXPECT_EQ(GetModuleHandleW(u"kernel32.dll"), k);
    WCHAR buf[MAX_PATH];
    const std::u16string want = u"C:\\Windows\\System32\\kernel32.dll";
    EXPECT_EQ(GetModuleFileNameW(k, buf, MAX_PATH), DWORD(want.size()));
    EXPECT_EQ(std::u16string(buf), want);
}

TEST_F(Loader, ActivationContextsAreAcceptedAndIgnored)
{
    ACTCTXW ctx{};
    ctx.cbSize = sizeof ctx;
    HANDLE h = CreateActCtxW(&ctx);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ULONG_PTR cookie = 0;
    EXPECT_TRUE(ActivateActCtx(h, &cookie));
    EXPECT_TRUE(DeactivateActCtx(0, cookie));
    AddRefActCtx(h);
    ReleaseActCtx(h);
    ReleaseActCtx(h);
    EXPECT_FALSE(ActivateActCtx(h, nullptr));
    SetLastError(0);
    EXPECT_EQ(CreateActCtxW(nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

namespace {

int g_opened, g_closed;
std::string g_opened_path;

void *open_container(const std::string &real_path, std::u16string_view)
{
    g_opened++;
    g_opened_path = real_path;
    std::ifstream in(real_path);
    std::string first;
    std::getline(in, first);
    if (first != "XRS") {
        SetLastError(ERROR_INVALID_DATATYPE);
        return nullptr;
    }
    return new std::string(real_path);
}

void close_container(void *payload)
{
    g_closed++;
    delete static_cast<std::string *>(payload);
}

const plat::DatafileOpener kOpener = {open_container, close_container};

} // namespace

class LoaderData : public Loader {
protected:
    void SetUp() override
    {
        Loader::SetUp();
        saved_opener = plat::loader_register_datafile_opener(nullptr);
        g_opened = g_closed = 0;
        std::filesystem::create_directories(root / "c" / "Res");
        std::ofstream(root / "c" / "Res" / "tarvelrs.xrs") << "XRS\n";
        std::ofstream(root / "c" / "Res" / "broken.xrs") << "???\n";
    }
    void TearDown() override
    {
        plat::loader_register_datafile_opener(saved_opener);
        Loader::TearDown();
    }
    const plat::DatafileOpener *saved_opener = nullptr;
};

TEST_F(LoaderData, DataFileLoadsNeedAnOpener)
{
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(u"C:\\Res\\tarvelrs.xrs", nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(g_opened, 0);
}

TEST_F(LoaderData, OpenerPayloadIsCountedAndClosedOnce)
{
    plat::loader_register_datafile_opener(&kOpener);
    const DWORD flags = DONT_RESOLVE_DLL_REFERENCES | LOAD_WITH_ALTERED_SEARCH_PATH;
    HMODULE h = LoadLibraryExW(u"c:\\res\\TARVELRS.XRS", nullptr, flags);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(g_opened_path, (root / "c" / "Res" / "tarvelrs.xrs").string());
    EXPECT_EQ(LoadLibraryExW(u"C:\\Res\\tarvelrs.xrs", nullptr, LOAD_LIBRARY_AS_DATAFILE), h);
    EXPECT_EQ(g_opened, 1);
    EXPECT_EQ(plat::loader_load_count(u"C:\\Res\\tarvelrs.xrs"), 2u);
    EXPECT_EQ(*static_cast<std::string *>(plat::loader_module_payload(h)), g_opened_path);

    /* A data module has no code side. */
    WCHAR buf[8];
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(h, "Add"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetModuleFileNameW(h, buf, 8), 0u);
    EXPECT_EQ(GetModuleHandleW(u"C:\\Res\\tarvelrs.xrs"), nullptr);
    EXPECT_EQ(LoadLibraryW(u"C:\\Res\\tarvelrs.xrs"), nullptr);

    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(g_closed, 0);
    EXPECT_TRUE(FreeLibrary(h));
    EXPECT_EQ(g_closed, 1);
    EXPECT_EQ(plat::loader_load_count(u"C:\\Res\\tarvelrs.xrs"), 0u);
}

TEST_F(LoaderData, OpenerRefusalAndMissingFiles)
{
    plat::loader_register_datafile_opener(&kOpener);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryExW(u"C:\\Res\\broken.xrs", nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATATYPE));
    EXPECT_EQ(LoadLibraryExW(u"C:\\Res\\absent.xrs", nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryExW(u"C:\\Res", nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
    EXPECT_EQ(g_opened, 1);
}

TEST_F(LoaderData, DataLoadOfALoadedCodeModuleSharesIt)
{
    HMODULE h = LoadLibraryW(u"fakedm.dll");
    EXPECT_EQ(LoadLibraryExW(u"fakedm.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE), h);
    EXPECT_EQ(plat::loader_load_count(u"fakedm.dll"), 2u);
    FreeLibrary(h);
    FreeLibrary(h);
    EXPECT_EQ(g_events, (std::vector<std::string>{"dm attach", "dm detach"}));
}

TEST_F(LoaderData, DataFlagsNeverMapCode)
{
    plat::loader_register_datafile_opener(&kOpener);
    /* libplattestmod.so exists in the driver directory, but no "plattestmod.dll" file does. */
    for (DWORD flags : {DONT_RESOLVE_DLL_REFERENCES, LOAD_LIBRARY_AS_DATAFILE, LOAD_LIBRARY_AS_IMAGE_RESOURCE,
                        LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE}) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryExW(u"plattestmod.dll", nullptr, flags), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_MOD_NOT_FOUND));
    }
    const std::string so = plat::driver_dir_real() + "/libplattestmod.so";
    EXPECT_EQ(dlopen(so.c_str(), RTLD_LAZY | RTLD_NOLOAD), nullptr);
    EXPECT_EQ(g_opened, 0);
}
