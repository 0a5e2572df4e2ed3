// Record mode of the output channel: the growable page tables (and their
// 16-bit limit), starting and ending a recording, the page index rules,
// bytes appended to the spool file, and the calls of the segment recorder
// that are not built yet, which fail visibly.
#include "output_test_support.h"

#include <plat/debug.h>
#include <plat/fault.h>
#include <plat/sysdir.h>

namespace {

using namespace outtest;

/* A page record of the size the tests record with. */
struct TestRecord {
    DWORD a, b, c;
};

TEST(GrowTable, GrowsZeroFilledKeepingItsElements)
{
    GrowTable t{};
    ASSERT_EQ(GT_Create(&t, sizeof(DWORD), 2), 0);
    EXPECT_EQ(t.capacity, 2u);
    EXPECT_EQ(t.step, 2u);
    DWORD v = 0x11223344, out = 0;
    EXPECT_EQ(GT_Put(&t, 1, &v), 0);
    EXPECT_EQ(GT_Put(&t, 2, &v), -1) << "index must be below the capacity";
    EXPECT_EQ(GT_Get(&t, 2, &out), -1);
    ASSERT_EQ(GT_Grow(&t), 0);
    EXPECT_EQ(t.capacity, 4u);
    EXPECT_EQ(GT_Get(&t, 1, &out), 0);
    EXPECT_EQ(out, v);
    EXPECT_EQ(GT_Get(&t, 3, &out), 0);
    EXPECT_EQ(out, 0u) << "new elements are zero";
    EXPECT_EQ(GT_Clear(&t, 1), 0);
    EXPECT_EQ(GT_Get(&t, 1, &out), 0);
    EXPECT_EQ(out, 0u);
    GT_Free(&t);
    EXPECT_EQ(t.elements, nullptr);
    EXPECT_EQ(GT_Grow(&t), -1);
}

TEST(GrowTable, NeverGrowsPast65535Elements)
{
    GrowTable t{};
    ASSERT_EQ(GT_Create(&t, 1, 30000), 0);
    BYTE mark = 0x5A, out = 0;
    ASSERT_EQ(GT_Put(&t, 29999, &mark), 0);
    ASSERT_EQ(GT_Grow(&t), 0);
    EXPECT_EQ(t.capacity, 60000u);
    ASSERT_EQ(GT_Grow(&t), 0);
    EXPECT_EQ(t.capacity, 65535u) << "the last growth stops at the limit instead of wrapping";
    EXPECT_EQ(GT_Grow(&t), -1);
    EXPECT_EQ(t.capacity, 65535u);
    EXPECT_EQ(GT_Put(&t, 65534, &mark), 0);
    EXPECT_EQ(GT_Get(&t, 29999, &out), 0);
    EXPECT_EQ(out, mark);
    GT_Free(&t);
}

TEST(GrowTable, BadArgumentsAndShortMemoryLeaveTheTableAsItWas)
{
    GrowTable t{};
    EXPECT_EQ(GT_Create(&t, 0, 4), -1);
    EXPECT_EQ(GT_Create(&t, 4, 0), -1);
    EXPECT_EQ(GT_Create(nullptr, 4, 4), -1);
    ASSERT_EQ(GT_Create(&t, 4, 4), 0);
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(GT_Grow(&t), -1);
    EXPECT_EQ(t.capacity, 4u);
    EXPECT_NE(t.elements, nullptr);
    EXPECT_EQ(GT_Put(&t, 0, nullptr), -1);
    GT_Free(&t);
    GT_Free(nullptr);
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(GT_Create(&t, 4, 4), -1);
    EXPECT_EQ(t.elements, nullptr);
}

class Recording : public SpoolerChannelTest {
protected:
    void begin(WORD first = 5, WORD capacity = 2)
    {
        ASSERT_EQ(OUT_BeginRecording(channel, first, sizeof(TestRecord), capacity), 0);
    }
};

TEST_F(Recording, BeginMakesTablesAndASpoolFileAndEndRemovesThem)
{
    begin();
    EXPECT_EQ(channel->firstPageIndex, 5u);
    EXPECT_EQ(channel->pageCount, 0u);
    EXPECT_EQ(channel->pageTable.elementSize, sizeof(TestRecord));
    EXPECT_EQ(channel->pagePositions.elementSize, sizeof(PagePosition));
    EXPECT_EQ(OUT_IsSpoolFileReady(&channel->spoolFile), 1);
    std::u16string path = channel->spoolFile.path;
    EXPECT_TRUE(fileExists(path.c_str()));
    EXPECT_TRUE(keyExists(listKey(path)));
    EXPECT_EQ(OUT_BeginRecording(channel, 0, sizeof(TestRecord), 2), -1) << "never two recordings at once";

    EXPECT_EQ(OUT_EndRecording(channel), 0);
    EXPECT_EQ(channel->pageTable.elements, nullptr);
    EXPECT_EQ(channel->pagePositions.elements, nullptr);
    EXPECT_FALSE(fileExists(path.c_str()));
    EXPECT_FALSE(keyExists(listKey(path)));
    EXPECT_EQ(OUT_BeginRecording(channel, 0, 0, 2), -1);
    EXPECT_EQ(OUT_BeginRecording(nullptr, 0, 4, 2), -1);
}

TEST_F(Recording, FailedBeginFreesBothTables)
{
    for (unsigned n : {1u, 2u}) {
        plat::fault_fail_alloc_after(n);
        EXPECT_EQ(OUT_BeginRecording(channel, 0, sizeof(TestRecord), 2), -1);
        EXPECT_EQ(channel->pageTable.elements, nullptr);
        EXPECT_EQ(channel->pagePositions.elements, nullptr);
    }
    /* No temporary name anywhere, and the last-resort file held by someone else. */
    plat::sysdir_fail_temp_name(true);
    HANDLE holder = CreateFileW(u"c:\\qzmrd.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OUT_BeginRecording(channel, 0, sizeof(TestRecord), 2), -1);
    EXPECT_EQ(channel->pageTable.elements, nullptr);
    EXPECT_EQ(channel->pagePositions.elements, nullptr);
    EXPECT_EQ(channel->spoolFile.path[0], 0);
    CloseHandle(holder);
}

TEST_F(Recording, PageRecordsLiveWithinFirstToFirstPlusCapacity)
{
    begin(5, 2);
    TestRecord in{1, 2, 3}, out{};
    EXPECT_EQ(OUT_PutPageRecord(channel, 6, sizeof in, &in), 0);
    EXPECT_EQ(OUT_GetPageRecord(channel, 6, sizeof out, &out), 0);
    EXPECT_EQ(out.b, 2u);
    EXPECT_EQ(OUT_PutPageRecord(channel, 4, sizeof in, &in), -1) << "before the first page";
    EXPECT_EQ(OUT_PutPageRecord(channel, 7, sizeof in, &in), -1) << "past the capacity";
    EXPECT_EQ(OUT_GetPageRecord(channel, 7, sizeof out, &out), -1);
    EXPECT_EQ(OUT_PutPageRecord(channel, 5, sizeof in - 1, &in), -1) << "size must be the record size";
    EXPECT_EQ(OUT_GetPageRecord(channel, 5, sizeof out + 1, &out), -1);
    EXPECT_EQ(OUT_PutPageRecord(channel, 5, sizeof in, nullptr), -1);
}

TEST_F(Recording, PageRecordWithAnotherIndexFailsWithoutChangingTheTables)
{
    begin(5, 1);
    TestRecord in{7, 8, 9};
    ASSERT_EQ(OUT_PutPageRecord(channel, 5, sizeof in, &in), 0);
    for (DWORD index : {0u, 4u, 6u, 0x10005u}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(OUT_BeginPageRecord(channel, index), -1);
        EXPECT_EQ(channel->pageTable.capacity, 1u);
        EXPECT_EQ(channel->pagePositions.capacity, 1u);
        TestRecord out{};
        EXPECT_EQ(OUT_GetPageRecord(channel, 5, sizeof out, &out), 0);
        EXPECT_EQ(out.c, 9u) << "the record was not cleared";
        EXPECT_EQ(channel->mode, OUT_MODE_PRINTER);
    }
}

TEST_F(Recording, PageRecordStopsAtTheSegmentRecorderWhichIsNotBuiltYet)
{
    begin(5, 1);
    Bytes data = pattern(10);
    ASSERT_EQ(OUT_Write(channel, 10, data.data()), 10);
    plat::debug_clear();
    SetLastError(0);
    EXPECT_EQ(OUT_BeginPageRecord(channel, 5), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_NE(plat::debug_output().find(u"SEG_BeginWrite: not built yet"), std::u16string::npos);
    EXPECT_EQ(channel->mode, OUT_MODE_PRINTER) << "the page was not opened";
    EXPECT_EQ(channel->pageCount, 0u);
    EXPECT_EQ(jobBytes(engineJob), data) << "the buffer went to the printer first";
    EXPECT_EQ(OUT_EndPageRecord(channel), -1) << "no page is open";
    ASSERT_EQ(OUT_SetMode(channel, OUT_MODE_RECORD), 0);
    EXPECT_EQ(OUT_EndPageRecord(channel), -1) << "record mode alone is no open page chain";

    plat::debug_clear();
    SetLastError(0);
    EXPECT_EQ(OUT_AddSideRecord(channel, 2, 0, nullptr), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_NE(plat::debug_output().find(u"SEG_AddSideRecord: not built yet"), std::u16string::npos);
}

TEST_F(Recording, PagePositionOfARecordedPageStopsAtTheReaderWhichIsNotBuiltYet)
{
    begin(5, 2);
    EXPECT_EQ(OUT_GetPagePosition(channel, 5), -1) << "no page is recorded yet";
    channel->pageCount = 1; /* as if one page had been recorded */
    plat::debug_clear();
    SetLastError(0);
    EXPECT_EQ(OUT_GetPagePosition(channel, 5), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_NE(plat::debug_output().find(u"SEG_BeginRead: not built yet"), std::u16string::npos);
    EXPECT_EQ(OUT_GetPagePosition(channel, 6), -1) << "past the pages recorded";
    EXPECT_EQ(OUT_GetPagePosition(channel, 4), -1);
}

TEST_F(Recording, EndOfAPageRecordIsNotBuiltYet)
{
    plat::debug_clear();
    SetLastError(0);
    SegmentRecorder rec{};
    SEG_Init(&rec);
    EXPECT_EQ(rec.state, SEG_STATE_IDLE);
    EXPECT_EQ(rec.firstSide, -1);
    EXPECT_EQ(rec.lastSide, -1);
    EXPECT_EQ(SEG_EndWrite(&rec), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_NE(plat::debug_output().find(u"SEG_EndWrite: not built yet"), std::u16string::npos);
}

TEST_F(Recording, RecordModeAppendsBuffersAndLargeWritesToTheSpoolFile)
{
    begin();
    ASSERT_EQ(OUT_SetMode(channel, OUT_MODE_RECORD), 0);
    Bytes small = pattern(100), large = pattern(5000, 1), last = pattern(30, 2);
    ASSERT_EQ(OUT_Write(channel, 100, small.data()), 100);
    ASSERT_EQ(OUT_Write(channel, 5000, large.data()), 5000);
    ASSERT_EQ(OUT_Write(channel, 30, last.data()), 30);
    ASSERT_EQ(OUT_Flush(channel), 0);
    SpoolFile *f = &channel->spoolFile;
    EXPECT_EQ(OUT_SpoolSize(f), 5130);
    ASSERT_EQ(OUT_SpoolSeek(f, 0), 0);
    Bytes back(5130);
    ASSERT_EQ(OUT_SpoolRead(f, back.data(), 5130), 5130);
    Bytes expect = small;
    expect.insert(expect.end(), large.begin(), large.end());
    expect.insert(expect.end(), last.begin(), last.end());
    EXPECT_EQ(back, expect);
    EXPECT_TRUE(plat::spool_write_sizes(engineJob).empty()) << "nothing reached the printer";

    /* An append goes to the end even after a seek back. */
    ASSERT_EQ(OUT_SpoolSeek(f, 10), 10);
    ASSERT_EQ(OUT_SpoolAppend(channel, 4, "tail"), 0);
    EXPECT_EQ(OUT_SpoolSize(f), 5134);
}

TEST_F(Recording, RecordModeWithoutASpoolFileFails)
{
    ASSERT_EQ(OUT_SetMode(channel, OUT_MODE_RECORD), 0);
    EXPECT_EQ(OUT_Write(channel, 3000, pattern(3000).data()), -1);
    EXPECT_EQ(OUT_SpoolAppend(channel, 4, "abcd"), -1);
    EXPECT_EQ(OUT_AddSideRecord(channel, 2, 0, nullptr), -1);
    EXPECT_EQ(OUT_BeginPageRecord(channel, 0), -1);
}

} // namespace
