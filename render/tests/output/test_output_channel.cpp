// Output channel: the 2,048-byte buffer boundary, direct writes of large
// blocks in spooler pieces of at most 1,000,000 bytes, failed and short
// pieces on the buffered and the direct path, and the channel's life.
#include "xl_test_support.h"

#include <plat/error.h>
#include <plat/fault.h>


namespace {

class ChannelTest : public XlTest {
protected:
    OutputChannel *ch() { return pdev->channel; }

    static Bytes pattern(size_t n)
    {
        Bytes b(n);
        for (size_t i = 0; i < n; i++)
            b[i] = BYTE(i * 7 + i / 251);
        return b;
    }
};

TEST_F(ChannelTest, WriteThatFitsTheBufferStaysInIt)
{
    Bytes data = pattern(2048);
    EXPECT_EQ(OUT_Write(ch(), 2048, data.data()), 2048);
    EXPECT_TRUE(capture.calls.empty());
    EXPECT_EQ(OUT_Flush(ch()), 0);
    EXPECT_EQ(capture.calls, std::vector<DWORD>{2048});
    EXPECT_EQ(capture.bytes, data);
}

TEST_F(ChannelTest, SmallWritesOfEveryLengthKeepEveryByteInOrder)
{
    // Lengths 1-20 cover each way a small value is copied into the buffer.
    Bytes source = pattern(20), expected;
    for (DWORD n = 1; n <= 20; n++) {
        Bytes piece(source.begin() + (20 - n), source.end());
        piece[0] ^= BYTE(n);
        ASSERT_EQ(OUT_Write(ch(), n, piece.data()), LONG(n));
        expected.insert(expected.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(OUT_Flush(ch()), 0);
    EXPECT_EQ(capture.bytes, expected);
}

TEST_F(ChannelTest, WriteOneByteTooLargeGoesStraightToTheSpooler)
{
    Bytes data = pattern(2049);
    EXPECT_EQ(OUT_Write(ch(), 2049, data.data()), 2049);
    EXPECT_EQ(capture.calls, std::vector<DWORD>{2049}) << "the empty buffer's flush makes no call";
    EXPECT_EQ(capture.bytes, data);
}

TEST_F(ChannelTest, WriteBeyondTheFreeSpaceFlushesThenSendsDirectly)
{
    Bytes first = pattern(2047), second = pattern(2);
    EXPECT_EQ(OUT_Write(ch(), 2047, first.data()), 2047);
    EXPECT_EQ(OUT_Write(ch(), 1, second.data()), 1) << "exactly fills the buffer";
    EXPECT_TRUE(capture.calls.empty());
    EXPECT_EQ(OUT_Write(ch(), 2, second.data()), 2);
    EXPECT_EQ(capture.calls, (std::vector<DWORD>{2048, 2}));
    Bytes expect = first;
    expect.push_back(second[0]);
    expect.insert(expect.end(), second.begin(), second.end());
    EXPECT_EQ(capture.bytes, expect);
}

TEST_F(ChannelTest, LargeWriteReachesTheSpoolerInMillionBytePieces)
{
    Bytes data = pattern(2500000);
    EXPECT_EQ(OUT_Write(ch(), DWORD(data.size()), data.data()), 2500000);
    EXPECT_EQ(capture.calls, (std::vector<DWORD>{1000000, 1000000, 500000}));
    EXPECT_EQ(capture.bytes, data);
}

TEST_F(ChannelTest, FailedOrShortPieceFailsTheLargeWrite)
{
    struct Case {
        size_t failAt, shortAt;
    } cases[] = {{1, 0}, {2, 0}, {3, 0}, {0, 1}, {0, 2}, {0, 3}};
    Bytes data = pattern(2500000);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "fail " << c.failAt << " short " << c.shortAt);
        capture.reset();
        capture.failAt = c.failAt;
        capture.shortAt = c.shortAt;
        EXPECT_EQ(OUT_Write(ch(), DWORD(data.size()), data.data()), -1);
        size_t stop = c.failAt ? c.failAt : c.shortAt;
        EXPECT_EQ(capture.calls.size(), stop) << "nothing more is tried after the bad piece";
    }
}

TEST_F(ChannelTest, FailedOrShortFlushFailsAndEmptiesTheBuffer)
{
    for (bool shortWrite : {false, true}) {
        SCOPED_TRACE(shortWrite ? "short" : "failed");
        capture.reset();
        Bytes data = pattern(100);
        ASSERT_EQ(OUT_Write(ch(), 100, data.data()), 100);
        (shortWrite ? capture.shortAt : capture.failAt) = 1;
        EXPECT_EQ(OUT_Flush(ch()), -1);
        EXPECT_EQ(OUT_Flush(ch()), 0);
        EXPECT_EQ(capture.calls.size(), 1u) << "the failed flush lost its bytes; nothing is left to send";
    }
}

TEST_F(ChannelTest, FailedFlushBeforeADirectWriteStopsTheWrite)
{
    Bytes small = pattern(10), large = pattern(3000);
    ASSERT_EQ(OUT_Write(ch(), 10, small.data()), 10);
    capture.failAt = 1;
    EXPECT_EQ(OUT_Write(ch(), 3000, large.data()), -1);
    EXPECT_EQ(capture.calls, std::vector<DWORD>{10}) << "the large block is not sent after lost bytes";
}

TEST_F(ChannelTest, BadArgumentsAndClosedChannel)
{
    BYTE b = 1;
    EXPECT_EQ(OUT_Write(nullptr, 1, &b), -1);
    EXPECT_EQ(OUT_Write(ch(), 0, nullptr), 0) << "nothing to write";
    EXPECT_EQ(OUT_Write(ch(), 1, nullptr), -1);
    EXPECT_EQ(OUT_Write(ch(), 0x80000000u, &b), -1);
    EXPECT_EQ(OUT_Flush(nullptr), -1);
    EXPECT_EQ(OUT_OpenOnPrinter(ch(), nullptr), -1);
    EXPECT_EQ(OUT_OpenOnPrinter(nullptr, &capture), -1);

    ASSERT_EQ(OUT_Write(ch(), 1, &b), 1);
    EXPECT_EQ(OUT_Close(ch(), TRUE), 0);
    EXPECT_EQ(capture.calls, std::vector<DWORD>{1}) << "closing flushes";
    EXPECT_EQ(OUT_Write(ch(), 1, &b), -1);
    EXPECT_EQ(OUT_Write(ch(), 0, &b), -1);
    EXPECT_EQ(OUT_Flush(ch()), -1);
    EXPECT_EQ(OUT_Close(nullptr, TRUE), -1);
}

TEST_F(ChannelTest, CloseReportsAFailedFlushAndStillCloses)
{
    BYTE b = 1;
    ASSERT_EQ(OUT_Write(ch(), 1, &b), 1);
    capture.failAt = 1;
    EXPECT_EQ(OUT_Close(ch(), TRUE), -1);
    EXPECT_EQ(OUT_Write(ch(), 1, &b), -1);
}

TEST_F(ChannelTest, FreeingAnOpenChannelSendsWhatIsBuffered)
{
    OutputChannel *other = OUT_CreateChannel(nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(OUT_OpenOnPrinter(other, &capture), 0);
    Bytes data = pattern(5);
    ASSERT_EQ(OUT_Write(other, 5, data.data()), 5);
    OUT_FreeChannel(other);
    EXPECT_EQ(capture.bytes, data);
    OUT_FreeChannel(nullptr);
}

TEST_F(ChannelTest, CreationFailsCleanlyWhenMemoryIsShort)
{
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(OUT_CreateChannel(nullptr), nullptr);
}

TEST_F(ChannelTest, WithoutATestWriterWritesGoToTheSpooler)
{
    /* The capture record is no printer handle: WritePrinter refuses it. */
    OUT_SetTestSink(nullptr);
    Bytes data = pattern(3000);
    SetLastError(0);
    EXPECT_EQ(OUT_Write(ch(), 3000, data.data()), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(capture.calls.empty());
    OUT_SetTestSink(captureWriter);
}

TEST_F(ChannelTest, OpeningAnOpenChannelIsRefused)
{
    EXPECT_EQ(OUT_OpenOnPrinter(ch(), &capture), -1);
    EXPECT_EQ(ch()->target, &capture);
}

TEST_F(ChannelTest, SetModeFlushesIntoTheOldModeThenSwitches)
{
    Bytes data = pattern(10);
    ASSERT_EQ(OUT_Write(ch(), 10, data.data()), 10);
    EXPECT_EQ(OUT_SetMode(ch(), OUT_MODE_FILE_ONLY), 0);
    EXPECT_EQ(capture.bytes, data);
    EXPECT_EQ(ch()->mode, OUT_MODE_FILE_ONLY);
    EXPECT_EQ(OUT_Write(ch(), 3000, pattern(3000).data()), -1) << "a file mode without a file fails at once";
    EXPECT_EQ(OUT_SetMode(ch(), 6), -1);
    EXPECT_EQ(ch()->mode, OUT_MODE_FILE_ONLY);
    ch()->mode = 9;
    EXPECT_EQ(OUT_SetMode(ch(), OUT_MODE_PRINTER), -1) << "the current mode is not a mode";
    ch()->mode = OUT_MODE_PRINTER;
    EXPECT_EQ(OUT_SetMode(nullptr, OUT_MODE_PRINTER), -1);

    ASSERT_EQ(OUT_Write(ch(), 10, data.data()), 10);
    capture.failAt = capture.calls.size() + 1;
    EXPECT_EQ(OUT_SetMode(ch(), OUT_MODE_PRINTER_AND_FILE), -1) << "the flush failed";
    EXPECT_EQ(ch()->mode, OUT_MODE_PRINTER_AND_FILE) << "the switch happened anyway";
    EXPECT_EQ(ch()->fill, 0u);
}

TEST_F(ChannelTest, PrinterWriteArguments)
{
    Bytes data = pattern(10);
    DWORD written = 99;
    EXPECT_EQ(OUT_PrinterWrite(nullptr, data.data(), 10, &written), -1);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(OUT_PrinterWrite(&capture, nullptr, 10, &written), -1);
    EXPECT_EQ(OUT_PrinterWrite(&capture, data.data(), 0, &written), 0);
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(capture.calls.empty());
    EXPECT_EQ(OUT_PrinterWrite(&capture, data.data(), 10, &written), 0);
    EXPECT_EQ(written, 10u);
    EXPECT_EQ(OUT_PrinterWrite(&capture, data.data(), 10, nullptr), 0);
}

} // namespace
