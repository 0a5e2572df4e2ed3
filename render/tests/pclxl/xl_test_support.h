// Test fixture of the PCL XL writer and the output channel: a fresh machine
// folder, a device context whose channel is open on a capturing spooler
// writer, and helpers to take the bytes written, compare them with hex
// strings written out by hand, and make a later write of the channel fail.
#ifndef RENDER_TESTS_XL_TEST_SUPPORT_H
#define RENDER_TESTS_XL_TEST_SUPPORT_H

#include "output_channel.h"
#include "pdev_context.h"

#include <plat/clock.h>
#include <plat/machine.h>

#include <gtest/gtest.h>
#include <plat_test/fresh_machine.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<BYTE>;

/*
 * What the capturing writer received.  Its address is the "printer handle"
 * the channel is opened on.  failAt / shortAt name a call (1-based, counted
 * from the last reset) that fails, or that writes one byte less than asked.
 */
struct Capture {
    Bytes bytes;
    std::vector<DWORD> calls;
    size_t failAt = 0;
    size_t shortAt = 0;

    void reset()
    {
        bytes.clear();
        calls.clear();
        failAt = 0;
        shortAt = 0;
    }
};

inline BOOL captureWriter(HANDLE printer, const void *data, DWORD length, DWORD *written)
{
    auto *c = static_cast<Capture *>(printer);
    c->calls.push_back(length);
    const BYTE *p = static_cast<const BYTE *>(data);
    if (c->calls.size() == c->failAt) {
        *written = 0;
        return FALSE;
    }
    DWORD n = c->calls.size() == c->shortAt ? length - 1 : length;
    c->bytes.insert(c->bytes.end(), p, p + n);
    *written = n;
    return TRUE;
}

/* "C0 80 F8 09" from bytes; the form the expected values are written in. */
inline std::string hex(const Bytes &bytes)
{
    std::string s;
    char b[4];
    for (size_t i = 0; i < bytes.size(); i++) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

/* Bytes from a hex string such as "C0 80 F8 09" (blanks ignored). */
inline Bytes unhex(const std::string &text)
{
    Bytes out;
    std::string digits;
    for (char ch : text)
        if (ch != ' ')
            digits += ch;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(BYTE(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return out;
}

/* Hex of a string's bytes, for expected texts inside commands. */
inline std::string hexText(const std::string &text)
{
    return hex(Bytes(text.begin(), text.end()));
}

/* A local time to fix the machine clock at (milliseconds 0). */
inline SYSTEMTIME localTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    SYSTEMTIME t{};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return t;
}

class MachineFolderTest : public plat_test::FreshMachineTest {
protected:
    MachineFolderTest() : FreshMachineTest("tarvel-render") {}
};

/* A device context with an open channel on a capturing writer and an invalidated cache. */
class XlTest : public MachineFolderTest {
protected:
    void SetUp() override
    {
        MachineFolderTest::SetUp();
        OUT_SetTestSink(captureWriter);
        pdev = std::make_unique<PdevContext>();
        pdev->sheetRotation = SHEET_ROTATE_NONE;
        pdev->channel = OUT_CreateChannel(nullptr);
        ASSERT_NE(pdev->channel, nullptr);
        ASSERT_EQ(OUT_OpenOnPrinter(pdev->channel, &capture), 0);
        XL_InvalidateState(ctx());
    }
    void TearDown() override
    {
        OUT_FreeChannel(pdev->channel);
        OUT_SetTestSink(nullptr);
        MachineFolderTest::TearDown();
    }

    PdevContext *ctx() { return pdev.get(); }

    /* Everything written since the last take, flushed out of the channel. */
    std::string take()
    {
        EXPECT_EQ(OUT_Flush(pdev->channel), 0);
        std::string s = hex(capture.bytes);
        capture.reset();
        return s;
    }

    /*
     * Makes the channel fail once `k` more bytes have been written: the
     * buffer is filled to k bytes below its size and the next writer call
     * (the flush that the (k+1)-th byte causes) fails.  Undo with take().
     */
    void failAfter(DWORD k)
    {
        take();
        Bytes filler(OUT_BUFFER_SIZE - k, 0xEE);
        if (!filler.empty()) {
            ASSERT_EQ(OUT_Write(pdev->channel, DWORD(filler.size()), filler.data()), LONG(filler.size()));
        }
        capture.failAt = 1;
    }

    /* Clears an armed failure and what it left in the channel. */
    void clearFailure()
    {
        capture.failAt = 0;
        take();
    }

    Capture capture;
    std::unique_ptr<PdevContext> pdev;
};

#endif /* RENDER_TESTS_XL_TEST_SUPPORT_H */
