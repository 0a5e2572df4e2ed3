// The Windows resource functions on module handles: containers opened from
// bytes and from files on the machine, and code modules' own string tables.
#include "test_resource_fixture.h"

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/machine.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

/* A data-file module over the hand-laid container, closed at the end. */
struct OpenGood {
    HMODULE h = plat::rsrc_open_bytes(GoodContainer().bytes);
    ~OpenGood() { plat::rsrc_close(h); }
};

} // namespace

TEST(ResourceModule, LoadStringWCopiesAtMostCchMinusOne)
{
    OpenGood m;
    ASSERT_NE(m.h, nullptr);
    struct Case {
        int cch;
        const char16_t *want;
        int ret;
    } cases[] = {
        {1, u"", 0}, {2, u"C", 1}, {7, u"Captio", 6}, {8, u"Caption", 7}, {100, u"Caption", 7},
    };
    for (const Case &c : cases) {
        WCHAR buf[128];
        std::fill(std::begin(buf), std::end(buf), WCHAR(0xAAAA));
        EXPECT_EQ(LoadStringW(m.h, 265, buf, c.cch), c.ret) << c.cch;
        EXPECT_EQ(std::u16string(buf), c.want) << c.cch;
        EXPECT_EQ(buf[c.cch], WCHAR(0xAAAA)) << "wrote past cch " << c.cch;
    }
}

TEST(ResourceModule, LoadStringWWithCchZeroHandsOutTheStringInPlace)
{
    OpenGood m;
    const WCHAR *p = nullptr;
    ASSERT_EQ(LoadStringW(m.h, 265, reinterpret_cast<LPWSTR>(&p), 0), 7);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::u16string(p), u"Caption"); // terminated inside the module
    const WCHAR *again = nullptr;
    LoadStringW(m.h, 265, reinterpret_cast<LPWSTR>(&again), 0);
    EXPECT_EQ(again, p);

    p = u"stale";
    SetLastError(0);
    EXPECT_EQ(LoadStringW(m.h, 264, reinterpret_cast<LPWSTR>(&p), 0), 0);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(ResourceModule, LoadStringWFailures)
{
    OpenGood m;
    WCHAR buf[8] = u"xxxxxxx";
    struct Case {
        HMODULE h;
        UINT id;
        LPWSTR buf;
        int cch;
        DWORD err;
    } cases[] = {
        {m.h, 2, buf, 8, ERROR_RESOURCE_NAME_NOT_FOUND},    // empty slot of a block
        {m.h, 500, buf, 8, ERROR_RESOURCE_NAME_NOT_FOUND},  // no block
        {m.h, 0x10001, buf, 8, ERROR_RESOURCE_NAME_NOT_FOUND},
        {nullptr, 265, buf, 8, ERROR_RESOURCE_DATA_NOT_FOUND},
        {reinterpret_cast<HMODULE>(buf), 265, buf, 8, ERROR_RESOURCE_DATA_NOT_FOUND},
        {m.h, 265, nullptr, 8, ERROR_INVALID_PARAMETER},
        {m.h, 265, buf, -1, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        buf[0] = u'x';
        SetLastError(0);
        EXPECT_EQ(LoadStringW(c.h, c.id, c.buf, c.cch), 0) << c.id;
        EXPECT_EQ(GetLastError(), c.err) << c.id;
        if (c.buf && c.cch > 0) {
            EXPECT_EQ(buf[0], u'\0') << "a failed load leaves an empty string";
        }
    }
    EXPECT_EQ(std::u16string(buf + 1), u"xxxxxx");
}

TEST(ResourceModule, FindResourceByNumberTextAndName)
{
    OpenGood m;
    struct Case {
        LPCWSTR name;
        LPCWSTR type;
        const char *data; // null: not found
        DWORD err;
    } cases[] = {
        {MAKEINTRESOURCEW(101), RT_BITMAP, "BMPDATA!", 0},
        {u"#101", u"#2", "BMPDATA!", 0},
        {MAKEINTRESOURCEW(1), RT_RCDATA, "raw", 0},
        {u"Logo", RT_RCDATA, "LOGOBITS", 0},
        {MAKEINTRESOURCEW(7), u"conf", "", 0},
        {MAKEINTRESOURCEW(102), RT_BITMAP, nullptr, ERROR_RESOURCE_NAME_NOT_FOUND},
        {u"LOGOS", RT_RCDATA, nullptr, ERROR_RESOURCE_NAME_NOT_FOUND},
        {MAKEINTRESOURCEW(101), RT_DIALOG, nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {MAKEINTRESOURCEW(7), u"CONFIG", nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {nullptr, RT_RCDATA, nullptr, ERROR_INVALID_PARAMETER},
        {u"#x", RT_RCDATA, nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        HRSRC r = FindResourceW(m.h, c.name, c.type);
        if (!c.data) {
            EXPECT_EQ(r, nullptr);
            EXPECT_EQ(GetLastError(), c.err);
            continue;
        }
        ASSERT_NE(r, nullptr);
        HGLOBAL g = LoadResource(m.h, r);
        ASSERT_NE(g, nullptr);
        const BYTE *p = static_cast<const BYTE *>(LockResource(g));
        DWORD n = SizeofResource(m.h, r);
        EXPECT_EQ(std::string(p, p + n), c.data);
        EXPECT_FALSE(FreeResource(g));
    }
}

TEST(ResourceModule, ResourceHandlesBelongToTheirModule)
{
    OpenGood a, b;
    ASSERT_NE(a.h, b.h); // modules from bytes are never shared
    HRSRC r = FindResourceW(a.h, MAKEINTRESOURCEW(101), RT_BITMAP);
    ASSERT_NE(r, nullptr);
    SetLastError(0);
    EXPECT_EQ(LoadResource(b.h, r), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(b.h, r), 0u);
    int not_an_entry = 0;
    EXPECT_EQ(LoadResource(a.h, reinterpret_cast<HRSRC>(&not_an_entry)), nullptr);
    EXPECT_EQ(LoadResource(a.h, reinterpret_cast<HRSRC>(reinterpret_cast<BYTE *>(r) + 1)), nullptr);
    EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(101), RT_BITMAP), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST(ResourceModule, CodeModuleStringTables)
{
    static int fake_library; // any unique address serves as a code module's handle
    HMODULE lib = reinterpret_cast<HMODULE>(&fake_library);
    const plat::RsrcString table[] = {{32766, u"tarveldm.dll"}, {32767, u"tarvelrs.xrs"}};
    ASSERT_TRUE(plat::rsrc_attach_strings(lib, table));
    WCHAR buf[64];
    EXPECT_EQ(LoadStringW(lib, 32767, buf, 64), 12);
    EXPECT_EQ(std::u16string(buf), u"tarvelrs.xrs");
    EXPECT_EQ(LoadStringW(lib, 32766, buf, 5), 4);
    EXPECT_EQ(std::u16string(buf), u"tarv");
    const WCHAR *p = nullptr;
    EXPECT_EQ(LoadStringW(lib, 32766, reinterpret_cast<LPWSTR>(&p), 0), 12);
    EXPECT_EQ(std::u16string(p), u"tarveldm.dll");
    SetLastError(0);
    EXPECT_EQ(LoadStringW(lib, 1, buf, 64), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceW(lib, MAKEINTRESOURCEW(1), RT_RCDATA), nullptr);
    EXPECT_FALSE(plat::rsrc_is_data_module(lib));
    EXPECT_FALSE(plat::rsrc_close(lib)); // not a data-file module: the loader frees it

    const plat::RsrcString other[] = {{1, u"one"}};
    ASSERT_TRUE(plat::rsrc_attach_strings(lib, other)); // replaces the table
    EXPECT_EQ(LoadStringW(lib, 32767, buf, 64), 0);
    EXPECT_EQ(LoadStringW(lib, 1, buf, 64), 3);

    plat::rsrc_detach_strings(lib);
    SetLastError(0);
    EXPECT_EQ(LoadStringW(lib, 1, buf, 64), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST(ResourceModule, AttachRefusesBadTables)
{
    static int fake_library;
    HMODULE lib = reinterpret_cast<HMODULE>(&fake_library);
    const plat::RsrcString null_text[] = {{1, nullptr}};
    const plat::RsrcString big_id[] = {{0x10000, u"x"}};
    const plat::RsrcString ok[] = {{1, u"x"}};
    SetLastError(0);
    EXPECT_FALSE(plat::rsrc_attach_strings(lib, null_text));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(plat::rsrc_attach_strings(lib, big_id));
    EXPECT_FALSE(plat::rsrc_attach_strings(nullptr, ok));
    OpenGood m;
    SetLastError(0);
    EXPECT_FALSE(plat::rsrc_attach_strings(m.h, ok));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    WCHAR buf[8];
    EXPECT_EQ(LoadStringW(lib, 1, buf, 8), 0) << "a refused table is not attached";
}

TEST(ResourceModule, BadBytesGiveNoModule)
{
    std::vector<BYTE> bad = GoodContainer().bytes;
    bad[0] = 'X';
    SetLastError(0);
    EXPECT_EQ(plat::rsrc_open_bytes(bad), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_FORMAT));
}

class ResourceFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tarvel-rsrc-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        plat::machine_reset(root.string());
        fs::create_directories(root / "c" / "Drv");
    }
    void TearDown() override { fs::remove_all(root); }
    void write(const char *name, const std::vector<BYTE> &b)
    {
        std::ofstream(root / "c" / "Drv" / name, std::ios::binary)
            .write(reinterpret_cast<const char *>(b.data()), std::streamsize(b.size()));
    }
    fs::path root;
};

TEST_F(ResourceFiles, OpenSharesOneModulePerFile)
{
    write("Strings.xrs", GoodContainer().bytes);
    HMODULE a = plat::rsrc_open_file(u"C:\\drv\\strings.XRS");
    ASSERT_NE(a, nullptr);
    HMODULE b = plat::rsrc_open_file(u"c:/DRV/Strings.xrs");
    EXPECT_EQ(a, b);
    WCHAR buf[16];
    EXPECT_EQ(LoadStringW(a, 1, buf, 16), 2);
    EXPECT_TRUE(plat::rsrc_close(a));
    EXPECT_TRUE(plat::rsrc_is_data_module(b)) << "one reference left";
    EXPECT_EQ(LoadStringW(b, 15, buf, 16), 4);
    EXPECT_TRUE(plat::rsrc_close(b));
    EXPECT_FALSE(plat::rsrc_is_data_module(b));
    EXPECT_FALSE(plat::rsrc_close(b));
}

TEST_F(ResourceFiles, OpenFailures)
{
    std::vector<BYTE> cut = GoodContainer().bytes;
    cut.resize(cut.size() - 1);
    write("cut.xrs", cut);
    write("empty.xrs", {});
    struct Case {
        LPCWSTR path;
        DWORD err;
    } cases[] = {
        {nullptr, ERROR_INVALID_PARAMETER},       {u"C:\\drv\\missing.xrs", ERROR_MOD_NOT_FOUND},
        {u"\\\\server\\share\\x.xrs", ERROR_MOD_NOT_FOUND}, {u"C:\\drv\\cut.xrs", ERROR_BAD_FORMAT},
        {u"C:\\drv\\empty.xrs", ERROR_BAD_FORMAT}, {u"C:\\drv", ERROR_BAD_FORMAT},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(plat::rsrc_open_file(c.path), nullptr);
        EXPECT_EQ(GetLastError(), c.err);
    }
}

TEST_F(ResourceFiles, DataFileLoadsOpenContainersThroughTheLoader)
{
    write("Strings.xrs", GoodContainer().bytes);
    HMODULE m = LoadLibraryExW(u"C:\\drv\\strings.xrs", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr);
    HMODULE again = LoadLibraryExW(u"C:\\DRV\\Strings.xrs", nullptr, DONT_RESOLVE_DLL_REFERENCES);
    EXPECT_EQ(again, m);
    WCHAR buf[16];
    EXPECT_EQ(LoadStringW(m, 265, buf, 16), 7);
    EXPECT_EQ(std::u16string(buf), u"Caption");
    HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(SizeofResource(m, r), 3u);
    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_EQ(LoadStringW(m, 1, buf, 16), 2) << "one reference left";
    EXPECT_TRUE(FreeLibrary(m));
    SetLastError(0);
    EXPECT_EQ(LoadStringW(m, 1, buf, 16), 0);
}
