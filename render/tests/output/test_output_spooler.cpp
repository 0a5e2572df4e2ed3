// The printer back-end on the spooler stand-in: large writes in pieces of at
// most 1,000,000 bytes, failed and short WritePrinter pieces on the direct
// and the buffered path (no box, ever), the buffer boundary, and the second
// RAW spool job with its failures.
#include "output_test_support.h"

#include <plat/fault.h>

namespace {

using namespace outtest;

class PrinterBackEnd : public SpoolerChannelTest {};

TEST_F(PrinterBackEnd, LargeWriteReachesTheSpoolerInMillionBytePieces)
{
    Bytes data = pattern(2500000);
    EXPECT_EQ(OUT_Write(channel, DWORD(data.size()), data.data()), 2500000);
    EXPECT_EQ(plat::spool_write_sizes(engineJob), (std::vector<DWORD>{1000000, 1000000, 500000}));
    EXPECT_EQ(jobBytes(engineJob), data);
}

TEST_F(PrinterBackEnd, FailedOrShortPieceFailsTheWriteWithoutABox)
{
    struct Case {
        unsigned piece;
        bool shortPiece;
    } cases[] = {{1, false}, {2, false}, {3, false}, {1, true}, {2, true}, {3, true}};
    const DWORD pieceSize[] = {1000000, 1000000, 500000};
    Bytes data = pattern(2500000);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << (c.shortPiece ? "short" : "failed") << " piece " << c.piece);
        size_t before = plat::spool_write_sizes(engineJob).size();
        if (c.shortPiece)
            plat::spool_short_write_after(c.piece, pieceSize[c.piece - 1] - 1);
        else
            plat::spool_fail_write_after(c.piece);
        EXPECT_EQ(OUT_Write(channel, DWORD(data.size()), data.data()), -1);
        EXPECT_EQ(plat::spool_write_sizes(engineJob).size() - before, c.piece)
            << "nothing more is tried after the bad piece";
        EXPECT_TRUE(boxes().empty());
    }
}

TEST_F(PrinterBackEnd, FailedOrShortFlushFailsWithoutABoxAndLosesItsBytes)
{
    for (bool shortWrite : {false, true}) {
        SCOPED_TRACE(shortWrite ? "short" : "failed");
        Bytes data = pattern(100);
        ASSERT_EQ(OUT_Write(channel, 100, data.data()), 100);
        if (shortWrite)
            plat::spool_short_write_after(1, 99);
        else
            plat::spool_fail_write_after(1);
        EXPECT_EQ(OUT_Flush(channel), -1);
        size_t calls = plat::spool_write_sizes(engineJob).size();
        EXPECT_EQ(OUT_Flush(channel), 0) << "the buffer was emptied";
        EXPECT_EQ(plat::spool_write_sizes(engineJob).size(), calls);
    }
    EXPECT_TRUE(boxes().empty());
}

TEST_F(PrinterBackEnd, BufferHolds2048BytesAnd2049GoStraightToTheSpooler)
{
    Bytes full = pattern(2048), over = pattern(2049, 3);
    EXPECT_EQ(OUT_Write(channel, 2048, full.data()), 2048);
    EXPECT_TRUE(plat::spool_write_sizes(engineJob).empty());
    EXPECT_EQ(OUT_Flush(channel), 0);
    EXPECT_EQ(plat::spool_write_sizes(engineJob), std::vector<DWORD>{2048});
    EXPECT_EQ(OUT_Write(channel, 2049, over.data()), 2049);
    EXPECT_EQ(plat::spool_write_sizes(engineJob), (std::vector<DWORD>{2048, 2049}))
        << "the empty buffer's flush makes no call";
    Bytes expect = full;
    expect.insert(expect.end(), over.begin(), over.end());
    EXPECT_EQ(jobBytes(engineJob), expect);
}

TEST_F(PrinterBackEnd, HandleThatIsNoPrinterFails)
{
    Bytes data = pattern(3000);
    SetLastError(0);
    DWORD written = 99;
    EXPECT_EQ(OUT_PrinterWrite(reinterpret_cast<HANDLE>(0x4444), data.data(), 3000, &written), -1);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

TEST_F(PrinterBackEnd, SecondJobTakesTheOutputAndEndsOnItsOwn)
{
    Bytes first = pattern(10), second = pattern(3000, 1), after = pattern(5, 2);
    ASSERT_EQ(OUT_Write(channel, 10, first.data()), 10);
    ASSERT_EQ(OUT_OpenNewJob(channel, printer, u"copy set 2"), 0);
    EXPECT_EQ(jobBytes(engineJob), first) << "the old target got its buffered bytes first";

    auto jobs = plat::spool_jobs(kPrinter);
    const plat::SpoolJob *job = secondJob(jobs);
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(job->document, u"copy set 2");
    EXPECT_EQ(job->data_type, u"RAW");
    EXPECT_EQ(job->pages, 1u);
    EXPECT_NE(job->status & JOB_STATUS_SPOOLING, 0u);
    DWORD id = job->id;

    ASSERT_EQ(OUT_Write(channel, 3000, second.data()), 3000);
    EXPECT_EQ(OUT_CloseNewJob(channel), 0);
    EXPECT_EQ(jobBytes(id), second);
    jobs = plat::spool_jobs(kPrinter);
    ASSERT_NE(secondJob(jobs), nullptr);
    EXPECT_EQ(secondJob(jobs)->status & JOB_STATUS_SPOOLING, 0u) << "the second job has ended";
    EXPECT_EQ(channel->mode, OUT_MODE_CLOSED);
    EXPECT_EQ(channel->target, nullptr);

    /* The engine's handle and job are untouched. */
    DWORD written = 0;
    EXPECT_TRUE(WritePrinter(printer, after.data(), 5, &written));
    Bytes expect = first;
    expect.insert(expect.end(), after.begin(), after.end());
    EXPECT_EQ(jobBytes(engineJob), expect);
}

TEST_F(PrinterBackEnd, SecondJobDocumentNameKeepsAt256Characters)
{
    std::u16string name(300, u'n');
    HANDLE job = OUT_PrinterOpenJob(printer, name.c_str());
    ASSERT_NE(job, nullptr);
    auto jobs = plat::spool_jobs(kPrinter);
    ASSERT_NE(secondJob(jobs), nullptr);
    EXPECT_EQ(secondJob(jobs)->document, std::u16string(256, u'n'));
    EXPECT_EQ(OUT_PrinterCloseJob(job), 0);
}

TEST_F(PrinterBackEnd, SecondJobThatCannotBeOpenedIsNullNeverTheEnginesHandle)
{
    struct Case {
        const char *what;
        void (*arm)();
    } cases[] = {
        {"printer information buffer", [] { plat::fault_fail_alloc_after(1); }},
        {"GetPrinterW", [] { plat::spool_fail_after(plat::SpoolCall::GetPrinter, 2, ERROR_INVALID_HANDLE); }},
        {"OpenPrinterW", [] { plat::spool_fail_after(plat::SpoolCall::OpenPrinter, 1, ERROR_ACCESS_DENIED); }},
        {"StartDocPrinterW", [] { plat::spool_fail_after(plat::SpoolCall::StartDocPrinter, 1, ERROR_WRITE_FAULT); }},
        {"StartPagePrinter", [] { plat::spool_fail_after(plat::SpoolCall::StartPagePrinter, 1, ERROR_WRITE_FAULT); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        c.arm();
        EXPECT_EQ(OUT_PrinterOpenJob(printer, u"doc"), nullptr);
        EXPECT_EQ(plat::spool_jobs(kPrinter).size(), 1u) << "no job is left behind";
        c.arm();
        EXPECT_EQ(OUT_OpenNewJob(channel, printer, u"doc"), -1);
        EXPECT_EQ(channel->target, printer) << "the channel keeps its target";
        EXPECT_EQ(channel->mode, OUT_MODE_PRINTER);
    }
    EXPECT_EQ(OUT_PrinterOpenJob(nullptr, u"doc"), nullptr);
    EXPECT_EQ(OUT_OpenNewJob(nullptr, printer, u"doc"), -1);
}

TEST_F(PrinterBackEnd, FailedEndOfTheSecondJobStillClosesItsHandle)
{
    for (plat::SpoolCall step : {plat::SpoolCall::EndPagePrinter, plat::SpoolCall::EndDocPrinter}) {
        ASSERT_EQ(OUT_OpenNewJob(channel, printer, u"copy set"), 0);
        HANDLE job = channel->target;
        plat::spool_fail_after(step, 1, ERROR_WRITE_FAULT);
        EXPECT_EQ(OUT_CloseNewJob(channel), -1);
        EXPECT_EQ(channel->target, nullptr);
        EXPECT_EQ(channel->mode, OUT_MODE_CLOSED);
        SetLastError(0);
        EXPECT_FALSE(ClosePrinter(job)) << "the handle was closed";
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        channel->target = printer;
        channel->mode = OUT_MODE_PRINTER;
    }
    EXPECT_EQ(OUT_CloseNewJob(nullptr), -1);
    EXPECT_EQ(OUT_PrinterCloseJob(nullptr), -1);
}

} // namespace
