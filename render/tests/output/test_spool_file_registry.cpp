// The registry list of spool temporary files and its clean-up: key names,
// the registry base, stale files of a job that died deleted when the next
// channel opens, and a file still held by a running job left alone with its
// key.
#include "output_test_support.h"

namespace {

using namespace outtest;

class TempFileList : public SpoolerChannelTest {
protected:
    /* A spool file as a job that died leaves it: created and listed, its handle gone with the process. */
    std::u16string leaveBehind()
    {
        SpoolFile dead{};
        OUT_InitSpoolFile(&dead, FALSE, nullptr);
        EXPECT_EQ(OUT_CreateSpoolFile(&dead), 0);
        EXPECT_EQ(OUT_SpoolWrite(&dead, "page", 4), 4);
        CloseHandle(dead.file);
        return dead.path;
    }

    /* Opens a new channel on the engine's printer, which cleans up; frees it again. */
    void openAnotherChannel()
    {
        OutputChannel *next = OUT_CreateChannel(nullptr);
        ASSERT_NE(next, nullptr);
        ASSERT_EQ(OUT_OpenOnPrinter(next, printer), 0);
        OUT_FreeChannel(next);
    }
};

TEST_F(TempFileList, KeyNamesThePathWithSlashes)
{
    EXPECT_EQ(OUT_RegisterTempFile(u"d:\\spool\\QZP1.TMP"), 0);
    EXPECT_TRUE(keyExists(u"Software\\Kesto Varnel\\QZ MRD Printer Driver\\TempFile\\d:/spool/QZP1.TMP"));
    EXPECT_EQ(OUT_UnregisterTempFile(u"d:\\spool\\QZP1.TMP"), 0);
    EXPECT_FALSE(keyExists(u"Software\\Kesto Varnel\\QZ MRD Printer Driver\\TempFile\\d:/spool/QZP1.TMP"));
    EXPECT_EQ(OUT_UnregisterTempFile(u"d:\\spool\\QZP1.TMP"), -1);
    EXPECT_EQ(OUT_RegisterTempFile(nullptr), -1);
    EXPECT_EQ(OUT_RegisterTempFile(u""), -1);
    EXPECT_EQ(OUT_RegisterTempFile((u"c:\\" + std::u16string(300, u'x')).c_str()), -1) << "too long for a key name";
}

TEST_F(TempFileList, BaseComesFromTheModelWithinItsLimit)
{
    EXPECT_EQ(std::u16string(OUT_GetTempFileBase()), OUT_DEFAULT_TEMP_FILE_BASE);
    ASSERT_EQ(OUT_SetTempFileBase(u"Software\\Model Base\\"), 0);
    ASSERT_EQ(OUT_RegisterTempFile(u"c:\\a.tmp"), 0);
    EXPECT_TRUE(keyExists(u"Software\\Model Base\\TempFile\\c:/a.tmp"));

    ASSERT_EQ(OUT_SetTempFileBase(u"Software\\No Slash"), 0);
    ASSERT_EQ(OUT_RegisterTempFile(u"c:\\b.tmp"), 0);
    EXPECT_TRUE(keyExists(u"Software\\No Slash\\TempFile\\c:/b.tmp")) << "the separator is added";

    std::u16string longest(127, u'L'), tooLong(128, u'L');
    EXPECT_EQ(OUT_SetTempFileBase(longest.c_str()), 0);
    EXPECT_EQ(OUT_SetTempFileBase(tooLong.c_str()), -1);
    EXPECT_EQ(OUT_SetTempFileBase(u""), -1);
    EXPECT_EQ(OUT_SetTempFileBase(nullptr), -1);
    EXPECT_EQ(std::u16string(OUT_GetTempFileBase()), longest) << "a refused base keeps the old one";
}

TEST_F(TempFileList, StaleFilesOfAJobThatDiedAreCleanedAtTheNextOpening)
{
    std::u16string first = leaveBehind(), second = leaveBehind();
    ASSERT_TRUE(fileExists(first.c_str()));
    ASSERT_TRUE(keyExists(listKey(second)));
    openAnotherChannel();
    for (const auto &path : {first, second}) {
        EXPECT_FALSE(fileExists(path.c_str()));
        EXPECT_FALSE(keyExists(listKey(path)));
    }
}

TEST_F(TempFileList, KeysOfFilesAlreadyGoneAreAllRemovedInOnePass)
{
    std::u16string first = leaveBehind(), second = leaveBehind();
    ASSERT_TRUE(DeleteFileW(first.c_str()));
    ASSERT_TRUE(DeleteFileW(second.c_str()));
    ASSERT_EQ(OUT_RegisterTempFile(u"c:\\no such folder\\QZP9.TMP"), 0);
    EXPECT_EQ(OUT_DeleteStaleTempFiles(), 0);
    EXPECT_FALSE(keyExists(listKey(first)));
    EXPECT_FALSE(keyExists(listKey(second)));
    EXPECT_FALSE(keyExists(listKey(u"c:\\no such folder\\QZP9.TMP")));
}

TEST_F(TempFileList, FileHeldByALiveJobKeepsItsFileAndKey)
{
    /* Another live job records pages: its spool file is open without sharing. */
    SpoolFile live{};
    OUT_InitSpoolFile(&live, FALSE, nullptr);
    ASSERT_EQ(OUT_CreateSpoolFile(&live), 0);
    Bytes page = pattern(300);
    ASSERT_EQ(OUT_SpoolWrite(&live, page.data(), 300), 300);
    std::u16string stale = leaveBehind();

    openAnotherChannel();
    EXPECT_FALSE(fileExists(stale.c_str())) << "the dead job's file went";
    EXPECT_TRUE(fileExists(live.path));
    EXPECT_TRUE(keyExists(listKey(live.path)));

    /* The live job goes on undisturbed. */
    Bytes more = pattern(50, 1);
    EXPECT_EQ(OUT_SpoolWrite(&live, more.data(), 50), 50);
    Bytes back(350), expect = page;
    expect.insert(expect.end(), more.begin(), more.end());
    ASSERT_EQ(OUT_SpoolSeek(&live, 0), 0);
    ASSERT_EQ(OUT_SpoolRead(&live, back.data(), 350), 350);
    EXPECT_EQ(back, expect);

    /* Once it ends without cleaning up (it dies), the next opening takes its file. */
    std::u16string livePath = live.path;
    CloseHandle(live.file);
    openAnotherChannel();
    EXPECT_FALSE(fileExists(livePath.c_str()));
    EXPECT_FALSE(keyExists(listKey(livePath)));
}

TEST_F(TempFileList, CleanUpWithoutAListOrWithoutRightsReportsFailure)
{
    EXPECT_EQ(OUT_DeleteStaleTempFiles(), -1) << "no list yet";
    std::u16string stale = leaveBehind();
    plat::registry_set_admin(false);
    EXPECT_EQ(OUT_DeleteStaleTempFiles(), -1) << "the key cannot be deleted";
    EXPECT_TRUE(keyExists(listKey(stale)));
    plat::registry_set_admin(true);
    EXPECT_EQ(OUT_DeleteStaleTempFiles(), 0);
    EXPECT_FALSE(keyExists(listKey(stale)));
}

} // namespace
