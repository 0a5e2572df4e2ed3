/*
 * Tests of the direct-fax temporary-file lists: the key names, the value's
 * bytes, registration for the sheet's top-level window without duplicates,
 * and the clean-up by owner window and age (the machine clock against the
 * file's last write): a young file of a closed sheet stays, an old one goes
 * with its value, a missing file's value goes, a live owner keeps its file.
 */
#include <tarvel/stores/fax_tempfile.h>

#include "test_mrg_support.h"

#include <plat/clock.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/window.h>

using namespace prn_test;
using namespace user_test;

namespace {

constexpr char16_t kUserList[] = u"Software\\Tarvel\\CX1500TempFile";
constexpr char16_t kMachineList[] = u"Tarvel\\CX1500DirectFax\\TempFile";
constexpr ULONGLONG kSecond = 10000000ull;
constexpr ULONGLONG kWeek = 604800ull * kSecond;

HINSTANCE instanceOf(uintptr_t v) { return reinterpret_cast<HINSTANCE>(v); }

class FaxTempFile : public OpenStoreTest {
protected:
    void SetUp() override
    {
        OpenStoreTest::SetUp();
        SYSTEMTIME t{};
        t.wYear = 2024;
        t.wMonth = 5;
        t.wDay = 20;
        t.wHour = 12;
        ASSERT_TRUE(plat::clock_fix(t, 1000));
        ASSERT_TRUE(CreateDirectoryW(u"C:\\Temp", nullptr));
    }

    /* A property sheet (top-level, instance 0x7000) with one page; answers the page. */
    HWND openSheet(uintptr_t instance = 0x7000)
    {
        plat::WindowSpec s;
        s.dialog = true;
        s.style = WS_POPUP;
        s.instance = instanceOf(instance);
        sheet_ = plat::window_create(s);
        s.parent = sheet_;
        s.style = WS_CHILD;
        return plat::window_create(s);
    }

    /* Makes the file `path` with a last write `age` before the machine's now. */
    static void makeFile(const std::u16string &path, ULONGLONG age)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(f, "fax", 3, &written, nullptr));
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        ULONGLONG t = ((ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime) - age;
        FILETIME when{DWORD(t), DWORD(t >> 32)};
        ASSERT_TRUE(SetFileTime(f, nullptr, nullptr, &when));
        CloseHandle(f);
    }
    static bool fileExists(const std::u16string &path)
    {
        return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    HWND sheet_ = nullptr;
};

TEST_F(FaxTempFile, KeyNamesAndValueNames)
{
    WCHAR name[PRN_KEY_NAME_CHARS];
    ASSERT_TRUE(FAX_GetTempFileKeyName(context(), FAX_KEY_MACHINE, u"DirectFax\\TempFile", name, PRN_KEY_NAME_CHARS));
    EXPECT_EQ(std::u16string(name), kMachineList);
    ASSERT_TRUE(FAX_GetTempFileKeyName(context(), FAX_KEY_USER, u"TempFile", name, PRN_KEY_NAME_CHARS));
    EXPECT_EQ(std::u16string(name), kUserList);
    EXPECT_FALSE(FAX_GetTempFileKeyName(context(), 2, u"TempFile", name, PRN_KEY_NAME_CHARS));
    EXPECT_FALSE(FAX_GetTempFileKeyName(context(), FAX_KEY_USER, u"TempFile", name, 10));
    EXPECT_EQ(name[0], 0);
    EXPECT_FALSE(FAX_GetTempFileKeyName(nullptr, FAX_KEY_USER, u"TempFile", name, PRN_KEY_NAME_CHARS));

    EXPECT_TRUE(FAX_IsTempFileValueName(u"DFaxInfo_1"));
    EXPECT_TRUE(FAX_IsTempFileValueName(u"DFaxInfo_"));
    EXPECT_FALSE(FAX_IsTempFileValueName(u"DFaxInfo"));
    EXPECT_FALSE(FAX_IsTempFileValueName(u"dfaxinfo_1"));
    EXPECT_FALSE(FAX_IsTempFileValueName(nullptr));
}

TEST_F(FaxTempFile, RegistrationRecordsTheSheetsRootWindowAndInstance)
{
    HWND page = openSheet();
    makeFile(u"C:\\Temp\\fax1.tmp", 0);
    ASSERT_TRUE(FAX_RegisterTempFile(context(), page, u"C:\\Temp\\fax1.tmp"));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kUserList), (std::vector<std::u16string>{u"DFaxInfo_1"}));
    DWORD type = 0;
    std::vector<BYTE> v = rawValue(HKEY_CURRENT_USER, kUserList, u"DFaxInfo_1", &type);
    ASSERT_EQ(v.size(), 544u);
    EXPECT_EQ(type, DWORD(REG_BINARY));
    const std::u16string file = u"C:\\Temp\\fax1.tmp";
    for (size_t i = 0; i < file.size(); ++i)
        EXPECT_EQ(plat::load<WCHAR>(v.data() + 2 * i), file[i]);
    for (size_t i = 2 * file.size(); i < 528; ++i)
        ASSERT_EQ(v[i], 0) << "the name's field is zero behind the name, at " << i;
    EXPECT_EQ(plat::load<ULONGLONG>(v.data() + 528), ULONGLONG(reinterpret_cast<uintptr_t>(sheet_)))
        << "the top-level window, not the page";
    EXPECT_EQ(plat::load<ULONGLONG>(v.data() + 536), 0x7000u);

    /* The same file, window and instance again (the name in another case): nothing added. */
    ASSERT_TRUE(FAX_RegisterTempFile(context(), page, u"c:\\TEMP\\FAX1.TMP"));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kUserList).size(), 1u);
    /* Another file takes the next number. */
    makeFile(u"C:\\Temp\\fax2.tmp", 0);
    ASSERT_TRUE(FAX_RegisterTempFile(context(), page, u"C:\\Temp\\fax2.tmp"));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kUserList),
              (std::vector<std::u16string>{u"DFaxInfo_1", u"DFaxInfo_2"}));

    EXPECT_FALSE(FAX_RegisterTempFile(context(), nullptr, u"C:\\Temp\\fax3.tmp"));
    EXPECT_FALSE(FAX_AddTempFileValue(kUserList, std::u16string(264, u'x').c_str(), sheet_, nullptr))
        << "a name without room for its terminator";
}

TEST_F(FaxTempFile, FirstFreeNumberIsTaken)
{
    ASSERT_TRUE(FAX_AddTempFileValue(kUserList, u"C:\\a.tmp", nullptr, nullptr));
    ASSERT_TRUE(FAX_AddTempFileValue(kUserList, u"C:\\b.tmp", nullptr, nullptr));
    ASSERT_TRUE(FAX_AddTempFileValue(kUserList, u"C:\\c.tmp", nullptr, nullptr));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kUserList, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueW(key, u"DFaxInfo_2"), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(FAX_AddTempFileValue(kUserList, u"C:\\d.tmp", nullptr, nullptr));
    std::vector<BYTE> v = rawValue(HKEY_CURRENT_USER, kUserList, u"DFaxInfo_2");
    ASSERT_EQ(v.size(), 544u);
    EXPECT_EQ(plat::load<WCHAR>(v.data() + 6), u'd');
}

TEST_F(FaxTempFile, CleanupByOwnerAndAge)
{
    HWND page = openSheet();
    struct Row {
        const char16_t *file;
        ULONGLONG age;
        bool create;
        bool fileStays, valueStays;
    };
    const Row rows[] = {
        {u"C:\\Temp\\young.tmp", kWeek - kSecond, true, true, true},
        {u"C:\\Temp\\week.tmp", kWeek, true, false, false},
        {u"C:\\Temp\\old.tmp", 30 * kWeek, true, false, false},
        {u"C:\\Temp\\missing.tmp", 0, false, false, false},
    };
    for (const Row &row : rows) {
        if (row.create)
            makeFile(row.file, row.age);
        ASSERT_TRUE(FAX_AddTempFileValue(kUserList, row.file, sheet_, instanceOf(0x7000)));
    }

    /* While the sheet is open, its files stay, whatever their age (a missing file's value goes). */
    ASSERT_TRUE(FAX_CleanupTempFiles(context(), nullptr, nullptr));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kUserList).size(), 3u);
    EXPECT_TRUE(fileExists(u"C:\\Temp\\old.tmp"));

    DestroyWindow(sheet_);
    ASSERT_FALSE(IsWindow(page));
    ASSERT_TRUE(FAX_CleanupTempFiles(context(), nullptr, nullptr));
    std::vector<std::u16string> left = valueNames(HKEY_CURRENT_USER, kUserList);
    ASSERT_EQ(left.size(), 1u);
    std::vector<BYTE> v = rawValue(HKEY_CURRENT_USER, kUserList, left[0]);
    EXPECT_EQ(plat::load<WCHAR>(v.data() + 2 * 8), u'y') << "the young file's value";
    for (const Row &row : rows)
        EXPECT_EQ(fileExists(row.file), row.fileStays) << plat::utf16_to_utf8(row.file);

    /* A second later the young file is a week old and goes too. */
    plat::clock_advance(1000);
    ASSERT_TRUE(FAX_CleanupTempFiles(context(), nullptr, nullptr));
    EXPECT_TRUE(valueNames(HKEY_CURRENT_USER, kUserList).empty());
    EXPECT_FALSE(fileExists(u"C:\\Temp\\young.tmp"));
}

TEST_F(FaxTempFile, AWindowWithAnotherInstanceCountsAsGone)
{
    openSheet(0x9000);
    makeFile(u"C:\\Temp\\old.tmp", 2 * kWeek);
    ASSERT_TRUE(FAX_AddTempFileValue(kUserList, u"C:\\Temp\\old.tmp", sheet_, instanceOf(0x7000)));
    ASSERT_TRUE(FAX_CleanTempFileKey(kUserList));
    EXPECT_TRUE(valueNames(HKEY_CURRENT_USER, kUserList).empty());
    EXPECT_FALSE(fileExists(u"C:\\Temp\\old.tmp"));
}

TEST_F(FaxTempFile, BothListsAreCleanedAndOtherValuesLeftAlone)
{
    makeFile(u"C:\\Temp\\m.tmp", 2 * kWeek);
    ASSERT_TRUE(FAX_AddTempFileValue(kMachineList, u"C:\\Temp\\m.tmp", nullptr, nullptr));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_CURRENT_USER, kMachineList, u"Other", 1));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_CURRENT_USER, kMachineList, u"DFaxInfo_9", 1)); /* not a record */
    const std::u16string longName = u"DFaxInfo_" + std::u16string(300, u'7');
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_CURRENT_USER, kMachineList, longName, 1));
    makeFile(u"C:\\Temp\\u.tmp", 2 * kWeek);
    ASSERT_TRUE(FAX_AddTempFileValue(kUserList, u"C:\\Temp\\u.tmp", nullptr, nullptr));

    ASSERT_TRUE(FAX_CleanupTempFiles(context(), nullptr, nullptr));
    EXPECT_EQ(valueNames(HKEY_CURRENT_USER, kMachineList), (std::vector<std::u16string>{u"Other", longName}))
        << "a malformed record goes; a name beyond the buffer is skipped";
    EXPECT_TRUE(valueNames(HKEY_CURRENT_USER, kUserList).empty());
    EXPECT_FALSE(fileExists(u"C:\\Temp\\m.tmp"));
    EXPECT_FALSE(fileExists(u"C:\\Temp\\u.tmp"));

    /* Other bases replace the model's texts. */
    makeFile(u"C:\\Temp\\x.tmp", 2 * kWeek);
    ASSERT_TRUE(FAX_AddTempFileValue(u"ElsewhereTempFile", u"C:\\Temp\\x.tmp", nullptr, nullptr));
    ASSERT_TRUE(FAX_CleanupTempFiles(context(), u"Other\\", u"Elsewhere"));
    EXPECT_FALSE(fileExists(u"C:\\Temp\\x.tmp"));
    EXPECT_TRUE(FAX_CleanTempFileKey(u"No\\Such\\Key"));
    EXPECT_FALSE(FAX_CleanTempFileKey(nullptr));
}

} // namespace
