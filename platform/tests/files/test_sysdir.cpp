// Machine folders and temporary names: the size rules of the folder calls,
// folders that follow the current user, GetTempFileNameW's names, numbers,
// skipping and failures, and the known folders of SHGetFolderPathW.
#include <plat/registry.h>
#include <plat/sysdir.h>
#include <plat/text.h>

#include "test_file_fixture.h"

#include <set>

namespace {

using Sysdir = MachineTest;

struct FolderCall {
    const char *what;
    DWORD (*call)(LPWSTR, DWORD);
    std::u16string expected;
};

DWORD windows_dir(LPWSTR b, DWORD n) { return GetWindowsDirectoryW(b, n); }
DWORD system_dir(LPWSTR b, DWORD n) { return GetSystemDirectoryW(b, n); }
DWORD temp_path(LPWSTR b, DWORD n) { return GetTempPathW(n, b); }

TEST_F(Sysdir, FolderCallsFollowTheSizeRules)
{
    const FolderCall calls[] = {
        {"GetWindowsDirectoryW", windows_dir, u"C:\\Windows"},
        {"GetSystemDirectoryW", system_dir, u"C:\\Windows\\System32"},
        {"GetTempPathW", temp_path, u"C:\\Users\\tarvel\\AppData\\Local\\Temp\\"},
    };
    for (const auto &c : calls) {
        const DWORD len = DWORD(c.expected.size());
        EXPECT_EQ(c.call(nullptr, 0), len + 1) << c.what;

        /* Exactly the text and its terminator: a heap block of that size, so an overrun is caught. */
        std::unique_ptr<WCHAR[]> exact(new WCHAR[len + 1]);
        EXPECT_EQ(c.call(exact.get(), len + 1), len) << c.what;
        EXPECT_EQ(std::u16string(exact.get()), c.expected) << c.what;

        std::unique_ptr<WCHAR[]> small(new WCHAR[len]);
        std::fill(small.get(), small.get() + len, u'#');
        EXPECT_EQ(c.call(small.get(), len), len + 1) << c.what << ": one short answers the size needed";
        for (DWORD i = 0; i < len; i++)
            EXPECT_EQ(small[i], u'#') << c.what << ": nothing written";

        SetLastError(0);
        EXPECT_EQ(c.call(nullptr, 10), 0u) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;

        EXPECT_TRUE(exists(c.expected.c_str())) << c.what << ": the folder exists";
    }
}

TEST_F(Sysdir, TempFolderFollowsTheCurrentUser)
{
    ASSERT_TRUE(plat::registry_set_current_user(u"Alice Smith"));
    WCHAR buf[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, buf), 0u);
    EXPECT_EQ(std::u16string(buf), u"C:\\Users\\Alice Smith\\AppData\\Local\\Temp\\");
    EXPECT_TRUE(exists(buf));
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf), S_OK);
    EXPECT_EQ(std::u16string(buf), u"C:\\Users\\Alice Smith\\AppData\\Roaming");
}

TEST_F(Sysdir, TempNamesAreNewNumberedFiles)
{
    WCHAR temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::set<std::u16string> names;
    WCHAR name[MAX_PATH];
    for (UINT i = 1; i <= 3; i++) {
        EXPECT_EQ(GetTempFileNameW(temp, u"QZP", 0, name), i);
        EXPECT_TRUE(names.insert(name).second);
        EXPECT_TRUE(exists(name));
        EXPECT_EQ(get(name), "") << "created empty";
        HANDLE h = CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << "and closed again";
        CloseHandle(h);
    }
    EXPECT_EQ(*names.begin(), u"C:\\Users\\tarvel\\AppData\\Local\\Temp\\QZP0001.TMP");
}

struct NameCase {
    const char16_t *folder, *prefix;
    UINT unique;
    std::u16string expected;
};

TEST_F(Sysdir, NamesFromAGivenNumber)
{
    const NameCase cases[] = {
        {u"C:\\Spool\\", u"QZF", 0x1A2B, u"C:\\Spool\\QZF1A2B.TMP"},
        {u"C:\\Spool", u"QZFDP", 0xb, u"C:\\Spool\\QZF000B.TMP"},         /* three prefix characters at most */
        {u"C:\\Spool", nullptr, 0x12345, u"C:\\Spool\\2345.TMP"},           /* the low 16 bits */
        {u"C:\\Spool", u"", 0xFFFF, u"C:\\Spool\\FFFF.TMP"},
        {u"C:\\No\\Such\\Folder", u"ab", 1, u"C:\\No\\Such\\Folder\\ab0001.TMP"}, /* nothing is checked */
    };
    for (const auto &c : cases) {
        WCHAR name[MAX_PATH];
        EXPECT_EQ(GetTempFileNameW(c.folder, c.prefix, c.unique, name), c.unique);
        EXPECT_EQ(std::u16string(name), c.expected);
        EXPECT_FALSE(exists(name)) << "nothing is created";
    }
}

TEST_F(Sysdir, TakenNamesAreSkipped)
{
    put(u"C:\\Spool\\QZP0001.TMP", "busy");
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Spool\\qzp0002.tmp", nullptr));
    WCHAR name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameW(u"C:\\Spool", u"QZP", 0, name), 3u);
    EXPECT_EQ(std::u16string(name), u"C:\\Spool\\QZP0003.TMP");
    EXPECT_EQ(get(u"C:\\Spool\\QZP0001.TMP"), "busy") << "an existing file is left alone";
    EXPECT_EQ(GetTempFileNameW(u"C:\\Spool", u"QZP", 0, name), 4u);
}

TEST_F(Sysdir, TempNameFailures)
{
    WCHAR name[MAX_PATH] = u"untouched";
    SetLastError(0);
    EXPECT_EQ(GetTempFileNameW(u"C:\\Missing", u"QZP", 0, name), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    put(u"C:\\plain.txt", "x");
    EXPECT_EQ(GetTempFileNameW(u"C:\\plain.txt", u"QZP", 0, name), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DIRECTORY));
    std::u16string longest = u"C:\\" + std::u16string(MAX_PATH - 17, u'd');
    EXPECT_EQ(GetTempFileNameW((longest + u"d").c_str(), u"QZP", 1, name), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(GetTempFileNameW(nullptr, u"QZP", 1, name), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetTempFileNameW(u"C:\\", u"QZP", 1, nullptr), 0u);
    EXPECT_EQ(std::u16string(name), u"untouched");

    /* The longest folder allowed still gives a name that fits MAX_PATH. */
    std::unique_ptr<WCHAR[]> exact(new WCHAR[MAX_PATH]);
    EXPECT_EQ(GetTempFileNameW(longest.c_str(), u"QZP", 0xABCD, exact.get()), 0xABCDu);
    EXPECT_EQ(plat::wlen(exact.get()), longest.size() + 12);
}

TEST_F(Sysdir, InjectedTempNameFailures)
{
    WCHAR temp[MAX_PATH], windows[MAX_PATH], name[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    ASSERT_GT(GetWindowsDirectoryW(windows, MAX_PATH), 0u);

    /* One folder: the temporary folder, named without its backslash and in other case. */
    plat::sysdir_fail_temp_name(true, u"c:\\users\\TARVEL\\AppData\\Local\\Temp");
    SetLastError(0);
    EXPECT_EQ(GetTempFileNameW(temp, u"QZP", 0, name), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetTempFileNameW(windows, u"QZP", 0, name), 1u) << "the next folder still works";
    plat::sysdir_fail_temp_name(false, temp);
    EXPECT_EQ(GetTempFileNameW(temp, u"QZP", 0, name), 2u);

    /* Every folder, until cleared. */
    plat::sysdir_fail_temp_name(true);
    EXPECT_EQ(GetTempFileNameW(windows, u"QZP", 0, name), 0u);
    EXPECT_EQ(GetTempFileNameW(u"C:\\", u"QZP", 5, name), 0u);
    plat::sysdir_fail_temp_name(false);
    EXPECT_EQ(GetTempFileNameW(windows, u"QZP", 0, name), 3u);

    plat::sysdir_fail_temp_name(true, windows);
    plat::machine_reset(root.string());
    EXPECT_EQ(GetTempFileNameW(windows, u"NEW", 0, name), 1u) << "machine_reset clears the knob and the counter";
}

struct KnownFolder {
    int csidl;
    std::u16string path;
};

TEST_F(Sysdir, KnownFolders)
{
    const KnownFolder folders[] = {
        {CSIDL_COMMON_DOCUMENTS, u"C:\\Users\\Public\\Documents"},
        {CSIDL_COMMON_DOCUMENTS | CSIDL_FLAG_CREATE, u"C:\\Users\\Public\\Documents"},
        {CSIDL_PERSONAL, u"C:\\Users\\tarvel\\Documents"},
        {CSIDL_APPDATA, u"C:\\Users\\tarvel\\AppData\\Roaming"},
        {CSIDL_LOCAL_APPDATA, u"C:\\Users\\tarvel\\AppData\\Local"},
        {CSIDL_PROFILE, u"C:\\Users\\tarvel"},
        {CSIDL_COMMON_APPDATA, u"C:\\ProgramData"},
        {CSIDL_WINDOWS, u"C:\\Windows"},
        {CSIDL_SYSTEM, u"C:\\Windows\\System32"},
        {CSIDL_PROGRAM_FILES, u"C:\\Program Files"},
    };
    for (const auto &f : folders) {
        std::unique_ptr<WCHAR[]> path(new WCHAR[MAX_PATH]);
        EXPECT_EQ(SHGetFolderPathW(nullptr, f.csidl, nullptr, SHGFP_TYPE_CURRENT, path.get()), S_OK) << f.csidl;
        EXPECT_EQ(std::u16string(path.get()), f.path) << f.csidl;
        EXPECT_TRUE(exists(path.get())) << f.csidl;
    }
    WCHAR path[MAX_PATH] = u"x";
    EXPECT_EQ(SHGetFolderPathW(nullptr, 0x0007 /* the start-up folder: not known here */, nullptr, 0, path),
              E_INVALIDARG);
    EXPECT_EQ(path[0], 0);
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, nullptr), E_INVALIDARG);

    plat::sysdir_fail_folder_path(true);
    path[0] = u'x';
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, 0, path), E_FAIL);
    EXPECT_EQ(path[0], 0);
    plat::sysdir_fail_folder_path(false);
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_DOCUMENTS, nullptr, 0, path), S_OK);
}

TEST_F(Sysdir, ProfileTooLongForMaxPathFails)
{
    ASSERT_TRUE(plat::registry_set_current_user(std::u16string(250, u'u')));
    WCHAR path[MAX_PATH];
    EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path), E_FAIL);
    EXPECT_EQ(path[0], 0);
    DWORD need = GetTempPathW(0, nullptr);
    EXPECT_EQ(need, 9u + 250u + 20u + 1u);
    EXPECT_EQ(GetTempPathW(MAX_PATH, path), need) << "too long for the caller's buffer: the size needed";
}

} // namespace

namespace {

std::u16string currentDirectory()
{
    WCHAR buf[300];
    const DWORD n = GetCurrentDirectoryW(300, buf);
    return std::u16string(buf, n < 300 ? n : 0);
}

} // namespace

/*
 * The current directory starts at "C:\", moves only into folders that
 * exist (absolute, relative or from the drive's root) and stays where it
 * was after every refusal; its answer follows the size rules.
 */
TEST_F(Sysdir, CurrentDirectoryMovesOnlyIntoFolders)
{
    EXPECT_EQ(currentDirectory(), u"C:\\");
    ASSERT_TRUE(CreateDirectoryW(u"C:\\cd", nullptr));
    ASSERT_TRUE(CreateDirectoryW(u"C:\\cd\\inner", nullptr));
    HANDLE f = CreateFileW(u"C:\\cd\\file.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    struct Case {
        const char16_t *path;
        BOOL ok;
        DWORD error;
        const char16_t *after;
    } cases[] = {
        {u"C:\\cd\\", TRUE, 0, u"C:\\cd"},
        {u"inner", TRUE, 0, u"C:\\cd\\inner"},
        {u"missing", FALSE, ERROR_PATH_NOT_FOUND, u"C:\\cd\\inner"},
        {u"C:\\cd\\file.txt", FALSE, ERROR_DIRECTORY, u"C:\\cd\\inner"},
        {u"", FALSE, ERROR_INVALID_PARAMETER, u"C:\\cd\\inner"},
        {u"\\cd", TRUE, 0, u"C:\\cd"},
        {u"C:/", TRUE, 0, u"C:\\"},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(SetCurrentDirectoryW(c.path), c.ok) << plat::utf16_to_utf8(c.path);
        if (!c.ok) {
            EXPECT_EQ(GetLastError(), c.error) << plat::utf16_to_utf8(c.path);
        }
        EXPECT_EQ(currentDirectory(), c.after) << plat::utf16_to_utf8(c.path);
    }
    const std::u16string tooLong = u"C:\\" + std::u16string(260, u'a');
    EXPECT_FALSE(SetCurrentDirectoryW(tooLong.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_FALSE(SetCurrentDirectoryW(nullptr));
    ASSERT_TRUE(SetCurrentDirectoryW(u"C:\\cd"));
    WCHAR small[4];
    EXPECT_EQ(GetCurrentDirectoryW(4, small), 6u) << "the size needed, terminator included";
    EXPECT_EQ(GetCurrentDirectoryW(0, nullptr), 6u);
}
