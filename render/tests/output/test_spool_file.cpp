// The spool temporary file: creation and its listing, positioned writes,
// reads and seeks, the retry box on a full disk (OK, Cancel, the drive
// letter and the built-in text), the 4 GiB limit, and deletion.
#include "output_test_support.h"

#include <plat/clock.h>
#include <plat/fault.h>
#include <plat/sysdir.h>
#include <plat/text.h>

namespace {

using namespace outtest;

class SpoolFileTest : public OutputTest {
protected:
    void SetUp() override
    {
        OutputTest::SetUp();
        ASSERT_EQ(OUT_InitSpoolFile(&f, FALSE, strings), 0);
    }
    void TearDown() override
    {
        OUT_DeleteSpoolFile(&f);
        OutputTest::TearDown();
    }

    /* Creates the file and writes `data` into it. */
    void createWith(const Bytes &data)
    {
        ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
        ASSERT_EQ(OUT_SpoolWrite(&f, data.data(), DWORD(data.size())), LONG(data.size()));
    }

    /* The file's content, read back through the spool file itself. */
    Bytes readAll()
    {
        Bytes out(f.highWater);
        EXPECT_EQ(OUT_SpoolSeek(&f, 0), 0);
        EXPECT_EQ(OUT_SpoolRead(&f, out.data(), DWORD(out.size())), LONG(out.size()));
        return out;
    }

    SpoolFile f{};
};

TEST_F(SpoolFileTest, CreatedInTheTemporaryFolderAndListedWithItsTime)
{
    SYSTEMTIME t{2024, 3, 2, 5, 7, 8, 9, 0};
    ASSERT_TRUE(plat::clock_fix(t, 1000));
    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    std::u16string path = f.path;
    EXPECT_EQ(path.rfind(u"C:\\Users\\tarvel\\AppData\\Local\\Temp\\QZP", 0), 0u) << std::string(path.begin(), path.end());
    EXPECT_TRUE(fileExists(f.path));
    EXPECT_EQ(OUT_IsSpoolFileReady(&f), 1);
    EXPECT_EQ(OUT_SpoolSize(&f), 0);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, listKey(path).c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    WCHAR stamp[64] = {};
    DWORD size = sizeof stamp, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(stamp), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(std::u16string(stamp), u"[2024,03/05,07:08:09]");
}

TEST_F(SpoolFileTest, WriteReadBackAndSeek)
{
    Bytes data = pattern(10000);
    createWith(data);
    EXPECT_EQ(f.position, 10000u);
    EXPECT_EQ(OUT_SpoolSize(&f), 10000);
    EXPECT_EQ(readAll(), data);

    ASSERT_EQ(OUT_SpoolSeek(&f, 100), 100);
    Bytes patch = pattern(50, 9);
    ASSERT_EQ(OUT_SpoolWrite(&f, patch.data(), 50), 50);
    EXPECT_EQ(f.position, 150u);
    EXPECT_EQ(OUT_SpoolSize(&f), 10000) << "a write inside the file does not grow it";
    std::copy(patch.begin(), patch.end(), data.begin() + 100);
    EXPECT_EQ(readAll(), data);

    EXPECT_EQ(OUT_SpoolSeekEnd(&f), 10000);
    EXPECT_EQ(OUT_SpoolSeek(&f, 10001), -1);
    EXPECT_EQ(OUT_SpoolSeek(&f, -1), -1);
    EXPECT_EQ(f.position, 10000u);
    EXPECT_EQ(OUT_SpoolWrite(&f, nullptr, 0), 0);
    EXPECT_EQ(OUT_SpoolWrite(&f, nullptr, 5), -1);
}

TEST_F(SpoolFileTest, ReadPastTheEndFailsWithoutMoving)
{
    createWith(pattern(100));
    ASSERT_EQ(OUT_SpoolSeek(&f, 60), 60);
    BYTE buf[64];
    EXPECT_EQ(OUT_SpoolRead(&f, buf, 41), -1);
    EXPECT_EQ(f.position, 60u);
    EXPECT_EQ(OUT_SpoolRead(&f, buf, 40), 40);
    EXPECT_EQ(f.position, 100u);
    EXPECT_EQ(OUT_SpoolRead(&f, buf, 1), -1);
    EXPECT_EQ(OUT_SpoolRead(&f, buf, 0), 0);
    EXPECT_EQ(OUT_SpoolRead(&f, nullptr, 1), -1);
}

TEST_F(SpoolFileTest, DiskFullOnceThenOkWritesEveryByteOnce)
{
    struct Case {
        const char *what;
        void (*arm)();
    } cases[] = {
        {"disk full", [] { plat::fault_fail_write_after(1, ERROR_DISK_FULL); }},
        {"short write", [] { plat::fault_short_write_after(1, 1234); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        plat::msgbox_clear();
        ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
        Bytes data = pattern(5000, 3);
        c.arm();
        plat::msgbox_script(IDOK);
        EXPECT_EQ(OUT_SpoolWrite(&f, data.data(), 5000), 5000);
        EXPECT_EQ(boxes().size(), 1u);
        EXPECT_EQ(f.position, 5000u);
        EXPECT_EQ(readAll(), data);
    }
}

TEST_F(SpoolFileTest, DiskFullThenCancelMakesEveryLaterOperationFail)
{
    createWith(pattern(10));
    plat::fault_disk_full(true);
    plat::msgbox_script(IDOK);
    plat::msgbox_script(IDCANCEL);
    Bytes more = pattern(20);
    EXPECT_EQ(OUT_SpoolWrite(&f, more.data(), 20), -1);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 2u) << "OK tried again, the disk was still full";
    EXPECT_EQ(shown[0].caption, kCaption);
    EXPECT_EQ(shown[0].text, u"Disk C is full.");
    EXPECT_EQ(shown[0].style, 0x10041u);
    plat::fault_disk_full(false);

    EXPECT_EQ(f.writable, 0);
    EXPECT_NE(f.file, INVALID_HANDLE_VALUE) << "the file stays open";
    BYTE buf[4];
    EXPECT_EQ(OUT_IsSpoolFileReady(&f), -1);
    EXPECT_EQ(OUT_SpoolWrite(&f, more.data(), 20), -1);
    EXPECT_EQ(OUT_SpoolRead(&f, buf, 1), -1);
    EXPECT_EQ(OUT_SpoolSeek(&f, 0), -1);
    EXPECT_EQ(OUT_SpoolSeekEnd(&f), -1);
    EXPECT_EQ(OUT_SpoolSize(&f), -1);
    EXPECT_EQ(boxes().size(), 2u) << "no more boxes";
    Bytes kept(64);
    DWORD read = 0;
    ASSERT_EQ(OUT_FileSeek(f.file, 0), 0);
    ASSERT_EQ(OUT_FileRead(f.file, kept.data(), 64, &read), 0);
    kept.resize(read);
    EXPECT_EQ(kept, pattern(10)) << "the file is as far as it was written";
}

TEST_F(SpoolFileTest, RetryBoxNamesTheDriveOfThePath)
{
    struct Case {
        const char16_t *path;
        const char16_t *text;
    } cases[] = {
        {u"d:\\spool\\QZP1.TMP", u"Disk D is full."},
        {u"E:\\QZP2.TMP", u"Disk E is full."},
        {u"\\\\server\\share\\QZP3.TMP", u"Disk   is full."},
        {u"", u"Disk   is full."},
    };
    for (const auto &c : cases) {
        plat::msgbox_clear();
        lstrcpynW(f.path, c.path, MAX_PATH);
        plat::msgbox_script(IDOK);
        EXPECT_EQ(OUT_AskWriteRetry(&f), IDOK);
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].text, c.text);
    }
    f.path[0] = 0;
}

TEST_F(SpoolFileTest, RetryBoxWithoutStringsUsesTheBuiltInText)
{
    SpoolFile bare{};
    ASSERT_EQ(OUT_InitSpoolFile(&bare, FALSE, nullptr), 0);
    lstrcpynW(bare.path, u"d:\\x.tmp", MAX_PATH);
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(OUT_AskWriteRetry(&bare), IDCANCEL);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].caption, u"Error");
    EXPECT_EQ(boxes()[0].text, u"Unable to write to print file. \nCheck that you have sufficient disk space on D drive. "
                               u"\n\nClick \"OK\" to try again or \n\"Cancel\" to stop printing.");
    EXPECT_EQ(OUT_AskWriteRetry(nullptr), IDCANCEL);
}

TEST_F(SpoolFileTest, FormatTextTakesOnlyTheDriveLetter)
{
    const plat::RsrcString table[] = {{OUT_IDS_SPOOL_WRITE_ERROR, u"%s on %c: 100%% full %d"}};
    ASSERT_TRUE(plat::rsrc_attach_strings(strings, table));
    lstrcpynW(f.path, u"c:\\x.tmp", MAX_PATH);
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(OUT_AskWriteRetry(&f), IDCANCEL);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, u"%s on C: 100% full %d") << "no other conversion reads an argument";
    EXPECT_EQ(boxes()[0].caption, u"Error") << "string 6 is gone with the replaced table";
    f.path[0] = 0;
}

TEST_F(SpoolFileTest, WriteThatWouldPass4GiBFails)
{
    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    /* As if the file had grown to just below 4 GiB. */
    f.highWater = f.position = 0xFFFFFF00u;
    unsigned long calls = plat::write_count();
    Bytes data = pattern(0x100);
    SetLastError(0);
    EXPECT_EQ(OUT_SpoolWrite(&f, data.data(), 0x100), -1);
    EXPECT_EQ(GetLastError(), 223u) << "ERROR_FILE_TOO_LARGE";
    EXPECT_EQ(plat::write_count(), calls) << "nothing was written";
    EXPECT_EQ(f.position, 0xFFFFFF00u);
    EXPECT_EQ(f.writable, 1) << "the file stays usable";
    EXPECT_TRUE(boxes().empty());
}

TEST_F(SpoolFileTest, CreationThatFailsClearsThePath)
{
    ASSERT_TRUE(CreateDirectoryW(u"c:\\", nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    plat::sysdir_fail_temp_name(true);
    HANDLE holder = CreateFileW(u"c:\\qzmrd.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OUT_CreateSpoolFile(&f), -1);
    EXPECT_EQ(f.path[0], 0);
    EXPECT_EQ(OUT_IsSpoolFileReady(&f), -1);
    EXPECT_TRUE(fileExists(u"c:\\qzmrd.tmp")) << "someone else's file is left alone";
    CloseHandle(holder);

    /* With the fixed name free, it serves. */
    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    EXPECT_EQ(std::u16string(f.path), u"c:\\qzmrd.tmp");
}

TEST_F(SpoolFileTest, FailedListingDoesNotFailCreation)
{
    plat::registry_set_admin(false);
    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    EXPECT_EQ(OUT_IsSpoolFileReady(&f), 1);
    EXPECT_FALSE(keyExists(listKey(f.path)));
    plat::registry_set_admin(true);
    EXPECT_EQ(OUT_DeleteSpoolFile(&f), 0) << "deleting a file that was never listed";
}

TEST_F(SpoolFileTest, CreatingAgainDeletesTheFileStillHeld)
{
    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    std::u16string first = f.path;
    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    EXPECT_NE(std::u16string(f.path), first);
    EXPECT_FALSE(fileExists(first.c_str()));
    EXPECT_FALSE(keyExists(listKey(first)));
}

TEST_F(SpoolFileTest, DeleteRemovesFileAndKeyOrKeepsTheKeyWhenTheFileStays)
{
    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    std::u16string path = f.path;
    ASSERT_EQ(OUT_DeleteSpoolFile(&f), 0);
    EXPECT_FALSE(fileExists(path.c_str()));
    EXPECT_FALSE(keyExists(listKey(path)));
    EXPECT_EQ(f.file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(f.path[0], 0);
    EXPECT_EQ(f.resourceModule, strings);
    EXPECT_EQ(OUT_DeleteSpoolFile(&f), 0) << "nothing to delete";

    ASSERT_EQ(OUT_CreateSpoolFile(&f), 0);
    path = f.path;
    ASSERT_TRUE(SetFileAttributesW(f.path, FILE_ATTRIBUTE_READONLY)) << "a file that cannot be deleted";
    EXPECT_EQ(OUT_DeleteSpoolFile(&f), -1);
    EXPECT_TRUE(fileExists(path.c_str()));
    EXPECT_TRUE(keyExists(listKey(path))) << "listed for a later clean-up";
    EXPECT_EQ(f.file, INVALID_HANDLE_VALUE) << "closed all the same";
    EXPECT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
}

} // namespace
