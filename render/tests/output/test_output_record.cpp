// Record mode of the output channel: the growable page tables (and their
// 16-bit limit), starting and ending a recording, the page index rules,
// bytes appended to the spool file, and the side records the segment
// recorder chains inside a recorded page and reads back.
#include "output_test_support.h"

#include <cstring>

#include <plat/debug.h>
#include <plat/fault.h>
#include <plat/msgbox.h>
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

/* Bytes `b` followed by `more`. */
Bytes operator+(Bytes b, const Bytes &more)
{
    b.insert(b.end(), more.begin(), more.end());
    return b;
}

class SideRecords : public Recording {
protected:
    SpoolFile *file() { return &channel->spoolFile; }
    SegmentRecorder *rec() { return &channel->recorder; }

    /* The whole spool file. */
    Bytes spoolBytes()
    {
        LONGLONG size = OUT_SpoolSize(file());
        Bytes b(size_t(size > 0 ? size : 0));
        EXPECT_EQ(OUT_SpoolSeek(file(), 0), 0);
        EXPECT_EQ(OUT_SpoolRead(file(), b.data(), DWORD(b.size())), LONG(b.size()));
        return b;
    }

    /* Overwrites spool bytes at `offset`. */
    void patch(DWORD offset, const Bytes &bytes)
    {
        ASSERT_EQ(OUT_SpoolSeek(file(), offset), LONGLONG(offset));
        ASSERT_EQ(OUT_SpoolWrite(file(), bytes.data(), DWORD(bytes.size())), LONG(bytes.size()));
    }

    /* Reads page bytes until a stop. */
    Bytes readToStop()
    {
        Bytes out;
        BYTE piece[64];
        for (;;) {
            LONG n = SEG_ReadData(rec(), file(), piece, sizeof piece);
            EXPECT_GE(n, 0);
            if (n <= 0)
                return out;
            out.insert(out.end(), piece, piece + n);
        }
    }

    /* Records page 5: 100 bytes, a sheet mark, 292 bytes, a transform, 20 bytes. */
    void recordMarkedPage()
    {
        a = pattern(100), b = pattern(292, 1), c = pattern(20, 2);
        ASSERT_EQ(OUT_BeginPageRecord(channel, 5), 0);
        ASSERT_EQ(OUT_Write(channel, 100, a.data()), 100);
        ASSERT_EQ(OUT_AddSideRecord(channel, SEG_SHEET_MARK, 0, nullptr), 0);
        ASSERT_EQ(OUT_Write(channel, 292, b.data()), 292);
        ASSERT_EQ(OUT_AddSideRecord(channel, SEG_PAGE_TRANSFORM, sizeof transform, &transform), 0);
        ASSERT_EQ(OUT_Write(channel, 20, c.data()), 20);
        ASSERT_EQ(OUT_EndPageRecord(channel), 0);
    }

    Bytes a, b, c;
    PageTransform transform{1.0f, 0.0f, 0.0f, -1.0f, 2.5f, 0.0f};
};

TEST_F(SideRecords, SideRecordsAreChainedInsideThePageBytes)
{
    Bytes before = pattern(10, 3);
    begin(5, 2);
    ASSERT_EQ(OUT_Write(channel, 10, before.data()), 10);
    recordMarkedPage();
    EXPECT_EQ(jobBytes(engineJob), before) << "what was buffered went to the printer first";
    EXPECT_EQ(channel->pageCount, 1u);
    EXPECT_EQ(channel->mode, OUT_MODE_PRINTER);
    EXPECT_EQ(rec()->state, SEG_STATE_IDLE);

    /* Sheet mark {2, 0, 300}: the transform header lies 8 + 292 bytes further on. */
    Bytes mark{0x02, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00};
    Bytes move{0x03, 0x00, 0x18, 0x00, 0x00, 0x00, 0x00, 0x00,
               0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
               0x00, 0x00, 0x80, 0xBF, 0x00, 0x00, 0x20, 0x40, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(spoolBytes(), a + mark + b + move + c);
    PagePosition pos{};
    ASSERT_EQ(GT_Get(&channel->pagePositions, 0, &pos), 0);
    EXPECT_EQ(pos.start, 0u);
    EXPECT_EQ(pos.end, 100u + 8 + 292 + 32 + 20);
    EXPECT_EQ(pos.firstSide, 100);
}

TEST_F(SideRecords, ReadingStopsAtEachSideRecordAndAtThePageEnd)
{
    begin(5, 2);
    recordMarkedPage();
    ASSERT_EQ(OUT_GetPagePosition(channel, 5), 0);
    EXPECT_EQ(rec()->state, SEG_STATE_READING);
    SideHeader h{};
    EXPECT_EQ(readToStop(), a);
    EXPECT_EQ(SEG_ReadData(rec(), file(), nullptr, 0), 0);
    ASSERT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_RECORD);
    EXPECT_EQ(h.type, SEG_SHEET_MARK);
    EXPECT_EQ(h.distance, 300u);
    EXPECT_EQ(SEG_ReadPayload(rec(), file(), &h, 1), -1) << "a sheet mark has no payload";
    EXPECT_EQ(SEG_ReadSideHeader(rec(), file(), &h), -1) << "not at a stop";
    EXPECT_EQ(readToStop(), b);
    ASSERT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_RECORD);
    EXPECT_EQ(h.type, SEG_PAGE_TRANSFORM) << "a transform record is a record, not the page end";
    EXPECT_EQ(h.length, 24u);
    EXPECT_EQ(h.distance, 0u);
    PageTransform back{};
    ASSERT_EQ(SEG_ReadPayload(rec(), file(), &back, sizeof back), 0);
    EXPECT_EQ(std::memcmp(&back, &transform, sizeof back), 0);
    EXPECT_EQ(readToStop(), c);
    EXPECT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_PAGE_END);
    EXPECT_EQ(SEG_EndRead(rec()), 0);
    EXPECT_EQ(SEG_EndRead(rec()), -1);

    /* Read again, skipping the transform's payload unread. */
    ASSERT_EQ(OUT_GetPagePosition(channel, 5), 0);
    EXPECT_EQ(readToStop(), a);
    ASSERT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_RECORD);
    EXPECT_EQ(readToStop(), b);
    ASSERT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_RECORD);
    EXPECT_EQ(readToStop(), c);
    EXPECT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_PAGE_END);
}

TEST_F(SideRecords, PageWithoutSideRecordsReadsAsOnePiece)
{
    begin(5, 2);
    Bytes page = pattern(1500);
    ASSERT_EQ(OUT_BeginPageRecord(channel, 5), 0);
    ASSERT_EQ(OUT_Write(channel, 1500, page.data()), 1500);
    ASSERT_EQ(OUT_EndPageRecord(channel), 0);
    PagePosition pos{};
    ASSERT_EQ(GT_Get(&channel->pagePositions, 0, &pos), 0);
    EXPECT_EQ(pos.firstSide, -1);
    ASSERT_EQ(OUT_GetPagePosition(channel, 5), 0);
    Bytes back(1500);
    EXPECT_EQ(SEG_ReadData(rec(), file(), back.data(), 1500), 1500);
    EXPECT_EQ(back, page);
    SideHeader h{};
    EXPECT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_PAGE_END);
    EXPECT_EQ(SEG_EndRead(rec()), 0);
}

TEST_F(SideRecords, FullPieceUpToASideRecordIsFollowedByAnEmptyRead)
{
    begin(5, 2);
    Bytes page = pattern(1024);
    ASSERT_EQ(OUT_BeginPageRecord(channel, 5), 0);
    ASSERT_EQ(OUT_Write(channel, 1024, page.data()), 1024);
    ASSERT_EQ(OUT_AddSideRecord(channel, SEG_END_OF_PAGE, 0, nullptr), 0);
    ASSERT_EQ(OUT_EndPageRecord(channel), 0);
    ASSERT_EQ(OUT_GetPagePosition(channel, 5), 0);
    Bytes back(1024);
    EXPECT_EQ(SEG_ReadData(rec(), file(), back.data(), 1024), 1024);
    EXPECT_EQ(back, page);
    EXPECT_EQ(SEG_ReadData(rec(), file(), back.data(), 1024), 0);
    SideHeader h{};
    ASSERT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_RECORD);
    EXPECT_EQ(h.type, SEG_END_OF_PAGE);
    EXPECT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_PAGE_END);
}

TEST_F(SideRecords, BadSideRecordsAreRefusedWithoutWritingAnything)
{
    begin(5, 2);
    EXPECT_EQ(OUT_AddSideRecord(channel, SEG_SHEET_MARK, 0, nullptr), -1) << "no page is recorded";
    ASSERT_EQ(OUT_BeginPageRecord(channel, 5), 0);
    EXPECT_EQ(SEG_BeginWrite(rec(), file()), -1) << "already writing";
    EXPECT_EQ(OUT_GetPagePosition(channel, 5), -1) << "never reading while writing";
    BYTE payload[60] = {};
    struct Case {
        WORD type, length;
        const void *payload;
    } cases[] = {
        {SEG_PAGE_START, 51, payload}, {SEG_PAGE_START, 52, nullptr}, {SEG_END_OF_PAGE, 4, payload},
        {SEG_SHEET_MARK, 1, payload},  {SEG_PAGE_TRANSFORM, 0, nullptr}, {4, 0, nullptr},
        {0xFFFF, 24, payload},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.type);
        EXPECT_EQ(OUT_AddSideRecord(channel, k.type, k.length, k.payload), -1);
        EXPECT_EQ(OUT_SpoolSize(file()), 0);
    }
    ASSERT_EQ(OUT_EndPageRecord(channel), 0);
    PagePosition pos{};
    ASSERT_EQ(GT_Get(&channel->pagePositions, 0, &pos), 0);
    EXPECT_EQ(pos.firstSide, -1);
    EXPECT_EQ(SEG_EndWrite(rec()), -1) << "not writing";
}

TEST_F(SideRecords, CorruptSideRecordsFailTheRead)
{
    begin(5, 2);
    recordMarkedPage();
    struct Case {
        const char *what;
        DWORD offset;
        Bytes bytes;
    } cases[] = {
        {"unknown type", 100, {0x07, 0x00}},
        {"wrong length", 100, {0x02, 0x00, 0x04, 0x00}},
        {"distance into its own header", 104, {0x04, 0x00, 0x00, 0x00}},
        {"distance past the page", 104, {0xFF, 0xFF, 0x00, 0x00}},
    };
    Bytes good = spoolBytes();
    for (const Case &k : cases) {
        SCOPED_TRACE(k.what);
        patch(k.offset, k.bytes);
        ASSERT_EQ(OUT_GetPagePosition(channel, 5), 0);
        EXPECT_EQ(readToStop(), a);
        SideHeader h{};
        EXPECT_EQ(SEG_ReadSideHeader(rec(), file(), &h), -1);
        EXPECT_EQ(SEG_EndRead(rec()), 0);
        patch(0, good);
    }
    /* Faults in the second record: its header moved by one byte, a page start running past the page. */
    struct Second {
        const char *what;
        DWORD offset;
        Bytes bytes;
    } seconds[] = {
        {"page bytes read as a header", 104, {0x2D, 0x01}},
        {"payload past the page", 400, {0x00, 0x00, 0x34, 0x00}},
    };
    for (const Second &k : seconds) {
        SCOPED_TRACE(k.what);
        patch(k.offset, k.bytes);
        ASSERT_EQ(OUT_GetPagePosition(channel, 5), 0);
        readToStop();
        SideHeader h{};
        ASSERT_EQ(SEG_ReadSideHeader(rec(), file(), &h), SEG_READ_RECORD);
        readToStop();
        EXPECT_EQ(SEG_ReadSideHeader(rec(), file(), &h), -1);
        EXPECT_EQ(SEG_EndRead(rec()), 0);
        patch(0, good);
    }

    /* Page positions that do not fit the file. */
    DWORD size = DWORD(OUT_SpoolSize(file()));
    PagePosition bad[] = {{0, size + 1, -1}, {10, 5, -1}, {0, size, LONG(size - 4)}, {50, size, 10}, {0, size, -2}};
    for (const PagePosition &p : bad) {
        EXPECT_EQ(SEG_BeginRead(rec(), file(), &p), -1);
        EXPECT_EQ(rec()->state, SEG_STATE_IDLE);
    }
}

TEST_F(SideRecords, FailedSpoolWriteFailsTheSideRecord)
{
    begin(5, 2);
    ASSERT_EQ(OUT_BeginPageRecord(channel, 5), 0);
    Bytes data = pattern(40);
    ASSERT_EQ(OUT_Write(channel, 40, data.data()), 40);
    ASSERT_EQ(OUT_AddSideRecord(channel, SEG_SHEET_MARK, 0, nullptr), 0);
    plat::msgbox_clear();
    plat::msgbox_script(IDCANCEL);
    plat::fault_fail_write_after(1, ERROR_DISK_FULL);
    EXPECT_EQ(OUT_AddSideRecord(channel, SEG_END_OF_PAGE, 0, nullptr), -1);
    EXPECT_EQ(OUT_IsSpoolFileReady(file()), -1) << "the user gave the file up";
    EXPECT_EQ(OUT_EndPageRecord(channel), -1);
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
