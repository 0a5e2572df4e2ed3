// File targets of the output channel: the switches into and out of file
// mode, the file back-end's open flags and sharing, and the OK/Cancel retry
// box after a failed or short write, on the buffered and the direct path.
#include "output_test_support.h"

#include <plat/fault.h>

namespace {

using namespace outtest;

constexpr char16_t kForm[] = u"C:\\forms\\form.xlf";

class FileTarget : public SpoolerChannelTest {
protected:
    void SetUp() override
    {
        SpoolerChannelTest::SetUp();
        ASSERT_TRUE(CreateDirectoryW(u"C:\\forms", nullptr));
    }
};

TEST_F(FileTarget, OpenFileAppendsAndCloseFileGoesBackToThePrinter)
{
    Bytes old = pattern(7, 9), before = pattern(20), body = pattern(5000, 1), tail = pattern(30, 2);
    writeFile(kForm, old);
    ASSERT_EQ(OUT_Write(channel, 20, before.data()), 20);
    ULONGLONG size = 0;
    ASSERT_EQ(OUT_OpenFile(channel, kForm, &size, 0), 0);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(channel->mode, OUT_MODE_FILE);
    EXPECT_EQ(jobBytes(engineJob), before) << "the printer got its buffered bytes before the switch";

    ASSERT_EQ(OUT_Write(channel, 5000, body.data()), 5000);
    ASSERT_EQ(OUT_Write(channel, 30, tail.data()), 30);
    EXPECT_EQ(OUT_CloseFile(channel, &size), 0);
    EXPECT_EQ(size, 7u + 5000 + 30);
    EXPECT_EQ(channel->mode, OUT_MODE_PRINTER);
    EXPECT_EQ(channel->file, INVALID_HANDLE_VALUE);
    Bytes expect = old;
    expect.insert(expect.end(), body.begin(), body.end());
    expect.insert(expect.end(), tail.begin(), tail.end());
    EXPECT_EQ(fileBytes(kForm), expect);
    EXPECT_EQ(jobBytes(engineJob), before) << "nothing of the file went to the printer";
    EXPECT_EQ(OUT_CloseFile(channel, &size), -1) << "no file target any more";
}

TEST_F(FileTarget, FileWhilePrintingStartsANewFileInPrinterModeOnly)
{
    writeFile(kForm, pattern(100));
    Bytes body = pattern(40, 5);
    ASSERT_EQ(OUT_OpenFileWhilePrinting(channel, kForm), 0);
    EXPECT_EQ(OUT_OpenFileWhilePrinting(channel, kForm), -1) << "already in file mode";
    ASSERT_EQ(OUT_Write(channel, 40, body.data()), 40);
    EXPECT_EQ(OUT_EndFileMode(channel), 0);
    EXPECT_EQ(channel->mode, OUT_MODE_PRINTER);
    EXPECT_EQ(fileBytes(kForm), body) << "the old content is gone";
    EXPECT_EQ(OUT_EndFileMode(channel), -1);

    ASSERT_EQ(OUT_SetMode(channel, OUT_MODE_RECORD), 0);
    EXPECT_EQ(OUT_OpenFileWhilePrinting(channel, kForm), -1);
    EXPECT_EQ(OUT_OpenFileWhilePrinting(nullptr, kForm), -1);
}

TEST_F(FileTarget, FileThatCannotBeOpenedChangesNothing)
{
    HANDLE holder = CreateFileW(kForm, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    ULONGLONG size = 5;
    EXPECT_EQ(OUT_OpenFile(channel, kForm, &size, 0), -1);
    EXPECT_EQ(OUT_OpenFile(channel, u"C:\\no such folder\\f.xlf", &size, 0), -1);
    EXPECT_EQ(OUT_OpenFile(channel, nullptr, &size, 0), -1);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(channel->mode, OUT_MODE_PRINTER);
    EXPECT_EQ(channel->file, INVALID_HANDLE_VALUE);
    CloseHandle(holder);
}

TEST_F(FileTarget, CloseFlushesIntoTheFileAndClosesIt)
{
    Bytes body = pattern(10);
    ASSERT_EQ(OUT_OpenFile(channel, kForm, nullptr, OUT_FILE_CREATE), 0);
    ASSERT_EQ(OUT_Write(channel, 10, body.data()), 10);
    EXPECT_EQ(OUT_Close(channel, TRUE), 0);
    EXPECT_EQ(fileBytes(kForm), body);
    EXPECT_EQ(channel->file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileW(kForm)) << "the channel no longer holds the file";
}

TEST_F(FileTarget, FileBackEndOpenFlagsAndSharing)
{
    writeFile(kForm, pattern(10));
    HANDLE h = OUT_FileOpen(kForm, OUT_FILE_READ_ONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 9;
    EXPECT_EQ(OUT_FileWrite(h, "x", 1, &written), -1) << "opened for reading only";
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(OUT_FileOpen(kForm, 0), INVALID_HANDLE_VALUE) << "shared with no one";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    BYTE buf[16];
    DWORD read = 0;
    EXPECT_EQ(OUT_FileSeek(h, 4), 4);
    EXPECT_EQ(OUT_FileRead(h, buf, sizeof buf, &read), 0);
    EXPECT_EQ(read, 6u);
    OUT_FileClose(h);

    h = OUT_FileOpen(kForm, OUT_FILE_CREATE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OUT_FileSeekEnd(h), 0) << "a new file is empty";
    unsigned long calls = plat::write_count();
    EXPECT_EQ(OUT_FileWrite(h, nullptr, 0, &written), 0);
    EXPECT_EQ(plat::write_count(), calls) << "a zero length makes no call";
    OUT_FileClose(h);

    h = OUT_FileOpen(u"C:\\forms\\new.xlf", 0);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "opened or created";
    OUT_FileClose(h);
    OUT_FileClose(INVALID_HANDLE_VALUE);
    EXPECT_EQ(OUT_FileSeekEnd(INVALID_HANDLE_VALUE), -1);
    EXPECT_EQ(OUT_FileOpen(nullptr, 0), INVALID_HANDLE_VALUE);
}

/* One failed or short write to the file target, on the buffered or the direct path. */
struct RetryCase {
    const char *what;
    bool shortWrite;
    bool direct;
};

const RetryCase kRetryCases[] = {
    {"failed buffered", false, false},
    {"short buffered", true, false},
    {"failed direct", false, true},
    {"short direct", true, true},
};

class FileRetry : public FileTarget {
protected:
    /* Opens the form file with the form's message, writes `data` with one bad WriteFile, and answers -1 or the count. */
    LONG writeWithOneFault(const RetryCase &c, const Bytes &data)
    {
        EXPECT_EQ(OUT_OpenFile(channel, kForm, nullptr, OUT_FILE_CREATE), 0);
        channel->errorMessageId = OUT_IDS_FORM_WRITE_ERROR;
        if (c.shortWrite)
            plat::fault_short_write_after(1, 700);
        else
            plat::fault_fail_write_after(1, ERROR_DISK_FULL);
        LONG rc = OUT_Write(channel, DWORD(data.size()), data.data());
        if (!c.direct && rc >= 0)
            rc = OUT_Flush(channel) == 0 ? rc : -1;
        return rc;
    }
};

TEST_F(FileRetry, OkWritesTheRestWithEveryByteOnceAndInOrder)
{
    for (const RetryCase &c : kRetryCases) {
        SCOPED_TRACE(c.what);
        plat::msgbox_clear();
        plat::msgbox_script(IDOK);
        Bytes data = pattern(c.direct ? 5000 : 2000, c.direct);
        LONG n = writeWithOneFault(c, data);
        EXPECT_EQ(n, LONG(data.size()));
        auto shown = boxes();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, kCaption);
        EXPECT_EQ(shown[0].text, kFormText);
        EXPECT_EQ(shown[0].style, 0x10041u);
        EXPECT_EQ(shown[0].owner, nullptr);
        ASSERT_EQ(OUT_EndFileMode(channel), 0);
        EXPECT_EQ(fileBytes(kForm), data);
    }
}

TEST_F(FileRetry, CancelFailsAndLeavesTheFileAsFarAsItWasWritten)
{
    for (const RetryCase &c : kRetryCases) {
        SCOPED_TRACE(c.what);
        plat::msgbox_clear();
        plat::msgbox_script(IDCANCEL);
        Bytes data = pattern(c.direct ? 5000 : 2000, 4);
        EXPECT_EQ(writeWithOneFault(c, data), -1);
        EXPECT_EQ(boxes().size(), 1u);
        ASSERT_EQ(OUT_EndFileMode(channel), 0);
        Bytes expect = c.shortWrite ? Bytes(data.begin(), data.begin() + 700) : Bytes();
        EXPECT_EQ(fileBytes(kForm), expect);
    }
}

TEST_F(FileRetry, BoxComesAgainOnEveryFailureUntilCancel)
{
    ASSERT_EQ(OUT_OpenFile(channel, kForm, nullptr, OUT_FILE_CREATE), 0);
    plat::fault_disk_full(true);
    plat::msgbox_script(IDOK);
    plat::msgbox_script(IDOK);
    plat::msgbox_script(IDCANCEL);
    Bytes data = pattern(3000);
    EXPECT_EQ(OUT_Write(channel, 3000, data.data()), -1);
    EXPECT_EQ(boxes().size(), 3u);
    plat::fault_disk_full(false);
    ASSERT_EQ(OUT_EndFileMode(channel), 0);
    EXPECT_TRUE(fileBytes(kForm).empty());
}

TEST_F(FileRetry, MissingStringsFallBackToTheBuiltInTextsWithTheDriveLetter)
{
    OutputChannel *bare = OUT_CreateChannel(nullptr);
    ASSERT_NE(bare, nullptr);
    ASSERT_EQ(OUT_OpenFile(bare, u"c:\\forms\\f.xlf", nullptr, OUT_FILE_CREATE), 0);
    plat::fault_fail_write_after(1);
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(OUT_Write(bare, 3000, pattern(3000).data()), -1);
    auto shown = boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, u"Error");
    EXPECT_EQ(shown[0].text, u"Unable to write to print file. \nCheck that you have sufficient disk space on C drive. "
                             u"\n\nClick \"OK\" to try again or \n\"Cancel\" to stop printing.");
    OUT_FreeChannel(bare);
}

TEST_F(FileRetry, CaptionKeepsAtMost15Characters)
{
    const plat::RsrcString table[] = {{OUT_IDS_ERROR_CAPTION, u"A caption of twenty-four"}};
    ASSERT_TRUE(plat::rsrc_attach_strings(strings, table));
    ASSERT_EQ(OUT_OpenFile(channel, kForm, nullptr, OUT_FILE_CREATE), 0);
    plat::fault_fail_write_after(1);
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(OUT_Write(channel, 3000, pattern(3000).data()), -1);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].caption, u"A caption of tw");
}

TEST_F(FileRetry, BoxWhoseStringsCannotBeAllocatedCountsAsCancel)
{
    ASSERT_EQ(OUT_OpenFile(channel, kForm, nullptr, OUT_FILE_CREATE), 0);
    plat::fault_fail_write_after(1);
    plat::fault_fail_alloc_after(1);
    plat::msgbox_script(IDOK);
    EXPECT_EQ(OUT_Write(channel, 3000, pattern(3000).data()), -1);
    EXPECT_TRUE(boxes().empty());
}

} // namespace
