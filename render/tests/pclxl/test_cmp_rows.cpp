// The row coders: run-length and delta-row codes against bytes worked out by
// hand from the two formats, the pixel helpers, refusals of bad arguments
// and of buffers that are too small (never written past), and a round trip
// of random images (and of a JPEG band) through the PCL XL writer and the
// job lister's decoders.
#include "cmp_raster.h"
#include "pclxl_ops.h"
#include "spool_file.h"
#include "xl_test_support.h"

#include <plat/error.h>

#include <pxllist/pxllist.h>

#include <random>

namespace {

/* n bytes of `value`. */
Bytes same(size_t n, BYTE value) { return Bytes(n, value); }

/* n bytes first, first + 1, ... (mod 256): no two neighbours equal. */
Bytes counting(size_t n, BYTE first = 0)
{
    Bytes b(n);
    for (size_t i = 0; i < n; i++)
        b[i] = BYTE(first + i);
    return b;
}

Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/* Guard bytes after the room a coder is given: they must stay as they are. */
constexpr size_t kGuard = 16;
constexpr BYTE kGuardByte = 0xEE;

/* Runs `code` on a buffer of `room` bytes followed by guard bytes; returns what it wrote (empty when it failed). */
template <typename Coder>
Bytes codeInto(DWORD room, Coder code, LONG *result)
{
    Bytes buffer(room + kGuard, kGuardByte);
    *result = code(buffer.data(), room);
    for (size_t i = room; i < buffer.size(); i++)
        EXPECT_EQ(buffer[i], kGuardByte) << "written past the buffer at " << i;
    return *result < 0 ? Bytes{} : Bytes(buffer.begin(), buffer.begin() + *result);
}

/* --- Run-length --- */

struct RleCase {
    const char *what;
    Bytes row;
    Bytes code;
};

TEST(RunLength, RowsCodedByHand)
{
    const RleCase cases[] = {
        {"empty row", {}, {}},
        {"one byte", {0x41}, unhex("00 41")},
        {"a pair repeats", {0x41, 0x41}, unhex("FF 41")},
        {"a run of three and a lone last byte", {0x41, 0x41, 0x41, 0x42}, unhex("FE 41 00 42")},
        {"three different bytes", {0x41, 0x42, 0x43}, unhex("02 41 42 43")},
        {"literal stops before a pair", {0x41, 0x42, 0x42}, unhex("00 41 FF 42")},
        {"pair between literals", {0x41, 0x42, 0x42, 0x43}, unhex("00 41 FF 42 00 43")},
        {"200 equal: 127 then 73", same(200, 0x55), unhex("82 55 B8 55")},
        {"127 equal", same(127, 0x07), unhex("82 07")},
        {"128 equal: 127 and a lone byte", same(128, 0x07), unhex("82 07 00 07")},
        {"129 equal: 127 and a pair", same(129, 0x07), unhex("82 07 FF 07")},
        {"130 equal: 127 and three", same(130, 0x07), unhex("82 07 FE 07")},
        {"127 different", counting(127), Bytes{0x7E} + counting(127)},
        {"128 different: the last byte joins", counting(128), Bytes{0x7F} + counting(128)},
        {"129 different: 127 then 2", counting(129), Bytes{0x7E} + counting(127) + unhex("01 7F 80")},
        {"130 different: 127 then 3", counting(130), Bytes{0x7E} + counting(127) + unhex("02 7F 80 81")},
        {"127 different then a pair", counting(127) + same(2, 0xF0), Bytes{0x7E} + counting(127) + unhex("FF F0")},
        {"run, literal, run", unhex("09 09 09 01 02 03 04 04"), unhex("FE 09 02 01 02 03 FF 04")},
        {"worst case: lone bytes between pairs", unhex("01 02 02 01 02 02 01 02 02"),
         unhex("00 01 FF 02 00 01 FF 02 00 01 FF 02")},
    };
    for (const RleCase &c : cases) {
        SCOPED_TRACE(c.what);
        LONG n = 0;
        Bytes code = codeInto(DWORD(c.code.size()),
                              [&](BYTE *out, DWORD room) {
                                  return CMP_RleEncode(out, room, c.row.data(), DWORD(c.row.size()));
                              },
                              &n);
        EXPECT_EQ(hex(code), hex(c.code));
        EXPECT_EQ(CMP_RleEncode(nullptr, 0, c.row.data(), DWORD(c.row.size())), LONG(c.code.size()))
            << "counting gives the same size";
        EXPECT_LE(c.code.size(), CMP_RleBound(DWORD(c.row.size())));
        if (!c.code.empty()) {
            SetLastError(0);
            codeInto(DWORD(c.code.size() - 1),
                     [&](BYTE *out, DWORD room) {
                         return CMP_RleEncode(out, room, c.row.data(), DWORD(c.row.size()));
                     },
                     &n);
            EXPECT_EQ(n, -1) << "one byte short";
            EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        }
    }
}

TEST(RunLength, WideRowsCountBeyondSixteenBits)
{
    /* A 24-bit row of 19,843 pixels that never repeats codes to more than 32,767 bytes. */
    Bytes row(59529);
    for (size_t i = 0; i < row.size(); i++)
        row[i] = BYTE(i % 251);
    const LONG n = CMP_RleEncode(nullptr, 0, row.data(), DWORD(row.size()));
    EXPECT_EQ(n, LONG(59529 / 127 * 128 + 59529 % 127 + 1)) << "468 literals of 127 and one of 93";
    EXPECT_LE(DWORD(n), CMP_RleBound(DWORD(row.size())));
}

TEST(RunLength, BadArgumentsAreRefused)
{
    const BYTE row[4] = {1, 2, 3, 4};
    BYTE out[16];
    SetLastError(0);
    EXPECT_EQ(CMP_RleEncode(out, sizeof out, nullptr, 4), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(CMP_RleEncode(out, sizeof out, row, CMP_MAX_ROW_BYTES + 1), -1) << "a huge width is never read";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CMP_RleEncode(out, 0, nullptr, 0), 0) << "no row, nothing to code";

    DWORD total = 0;
    EXPECT_EQ(CMP_RleEncodeRow(nullptr, 16, row, 4, nullptr, 0, &total), nullptr);
    EXPECT_EQ(CMP_RleEncodeRow(out, 16, row, 4, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(CMP_RleEncodeRow(out, 16, row, 4, nullptr, 2, &total), nullptr) << "a tail length without a tail";
    EXPECT_EQ(total, 0u);
    total = 0xFFFFFFFEu;
    EXPECT_EQ(CMP_RleEncodeRow(out, 16, row, 4, nullptr, 0, &total), nullptr) << "a total past 32 bits";
    EXPECT_EQ(total, 0xFFFFFFFEu);
}

TEST(RunLength, RowWithItsPadCode)
{
    /* Row 41 41 41 with one pad byte: the pad's code (00 00) follows the row's (FE 41). */
    const Bytes pad = {0};
    BYTE padCode[4];
    ASSERT_EQ(CMP_RleEncode(padCode, sizeof padCode, pad.data(), 1), 2);
    EXPECT_EQ(hex(Bytes(padCode, padCode + 2)), "00 00");

    const Bytes row = {0x41, 0x41, 0x41};
    Bytes out(16, kGuardByte);
    DWORD total = 10;
    BYTE *end = CMP_RleEncodeRow(out.data(), 4, row.data(), 3, padCode, 2, &total);
    ASSERT_EQ(end, out.data() + 4);
    EXPECT_EQ(hex(Bytes(out.begin(), out.begin() + 4)), "FE 41 00 00");
    EXPECT_EQ(total, 14u) << "the total counts the tail too: it is the block's byte count";
    EXPECT_EQ(out[4], kGuardByte);

    SetLastError(0);
    EXPECT_EQ(CMP_RleEncodeRow(out.data(), 3, row.data(), 3, padCode, 2, &total), nullptr) << "no room for the tail";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(total, 14u);
}

TEST(RawRows, RowAndTailCopied)
{
    const Bytes row = {1, 2, 3}, tail = {0};
    Bytes out(8, kGuardByte);
    EXPECT_EQ(CMP_AppendRaw(out.data(), 4, row.data(), 3, tail.data(), 1), out.data() + 4);
    EXPECT_EQ(hex(out), "01 02 03 00 EE EE EE EE");
    Bytes small(8, kGuardByte);
    SetLastError(0);
    EXPECT_EQ(CMP_AppendRaw(small.data(), 3, row.data(), 3, tail.data(), 1), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small, Bytes(8, kGuardByte)) << "nothing written";
    EXPECT_EQ(CMP_AppendRaw(out.data(), 8, nullptr, 3, nullptr, 0), nullptr);
    EXPECT_EQ(CMP_AppendRaw(nullptr, 8, row.data(), 3, nullptr, 0), nullptr);
}

/* --- Delta row --- */

struct DeltaCase {
    const char *what;
    Bytes seed;
    Bytes row;
    Bytes code;
};

/* n zero bytes with `value` at each of `at`. */
Bytes zerosWith(size_t n, std::initializer_list<size_t> at, BYTE value)
{
    Bytes b(n, 0);
    for (size_t i : at)
        b[i] = value;
    return b;
}

TEST(DeltaRow, RowsCodedByHand)
{
    const DeltaCase cases[] = {
        {"empty row", {}, {}, unhex("00 00")},
        {"row equal to its seed", counting(16), counting(16), unhex("00 00")},
        {"byte 40 of 64 changed: offset 31 continued by 9", Bytes(64, 0), zerosWith(64, {40}, 7),
         unhex("03 00 1F 09 07")},
        {"bytes 0 to 9 changed: 8 then 2", Bytes(10, 0), counting(10, 1),
         unhex("0C 00 E0 01 02 03 04 05 06 07 08 20 09 0A")},
        {"every byte of 3 changed", Bytes(3, 0), unhex("AA BB CC"), unhex("04 00 40 AA BB CC")},
        {"first and last byte: offset from the end of the previous command", Bytes(8, 0),
         unhex("11 00 00 00 00 00 00 22"), unhex("04 00 00 11 06 22")},
        {"two changes then one", Bytes(20, 0), zerosWith(20, {3, 4, 10}, 0x5A), unhex("05 00 23 5A 5A 05 5A")},
        {"offset 30 fits the command byte", Bytes(40, 0), zerosWith(40, {30}, 0xAA), unhex("02 00 1E AA")},
        {"offset 31 takes one more byte, 0", Bytes(40, 0), zerosWith(40, {31}, 0xAA), unhex("03 00 1F 00 AA")},
        {"offset 285 = 31 + 254", Bytes(300, 0), zerosWith(300, {285}, 0xAA), unhex("03 00 1F FE AA")},
        {"offset 286 = 31 + 255 + 0", Bytes(300, 0), zerosWith(300, {286}, 0xAA), unhex("04 00 1F FF 00 AA")},
        {"offset 287 = 31 + 255 + 1", Bytes(300, 0), zerosWith(300, {287}, 0xAA), unhex("04 00 1F FF 01 AA")},
        {"offset 541 = 31 + 255 + 255 + 0", Bytes(600, 0), zerosWith(600, {541}, 0xAA),
         unhex("05 00 1F FF FF 00 AA")},
        {"nine changed from byte 2 of 12: 8 at offset 2, 1 at offset 0", Bytes(12, 0),
         Bytes{0, 0} + counting(9, 1) + Bytes{0}, unhex("0B 00 E2 01 02 03 04 05 06 07 08 00 09")},
        {"a change back to the seed's value is no change", unhex("01 02 03 04"), unhex("01 09 03 04"),
         unhex("02 00 01 09")},
        {"row shorter than its seed: only its bytes compared", unhex("01 02 03 04 05 06"), unhex("01 02 07"),
         unhex("02 00 02 07")},
        {"byte 17 of 24 changed: two equal words passed over", Bytes(24, 0), zerosWith(24, {17}, 0x33),
         unhex("02 00 11 33")},
        {"bytes 7 and 8 changed: one command across a word's end", Bytes(16, 0), zerosWith(16, {7, 8}, 0x44),
         unhex("03 00 27 44 44")},
    };
    for (const DeltaCase &c : cases) {
        SCOPED_TRACE(c.what);
        LONG n = 0;
        Bytes code = codeInto(DWORD(c.code.size()),
                              [&](BYTE *out, DWORD room) {
                                  return CMP_DeltaRowEncode(out, room, c.row.data(), c.seed.data(),
                                                            DWORD(c.seed.size()), DWORD(c.row.size()));
                              },
                              &n);
        EXPECT_EQ(hex(code), hex(c.code));
        EXPECT_LE(DWORD(n), CMP_DeltaRowBound(DWORD(c.row.size())));
        /* With room for the worst case the coder takes its one-pass road: the same bytes. */
        const DWORD bound = CMP_DeltaRowBound(DWORD(c.row.size()));
        Bytes roomy(bound, kGuardByte);
        const LONG got = CMP_DeltaRowEncode(roomy.data(), bound, c.row.data(), c.seed.data(), DWORD(c.seed.size()),
                                            DWORD(c.row.size()));
        ASSERT_GE(got, 0);
        EXPECT_EQ(hex(Bytes(roomy.begin(), roomy.begin() + got)), hex(c.code)) << "with room for the worst case";
        SetLastError(0);
        codeInto(DWORD(c.code.size() - 1),
                 [&](BYTE *out, DWORD room) {
                     return CMP_DeltaRowEncode(out, room, c.row.data(), c.seed.data(), DWORD(c.seed.size()),
                                               DWORD(c.row.size()));
                 },
                 &n);
        EXPECT_EQ(n, -1) << "one byte short";
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    }
}

TEST(DeltaRow, SingleCommands)
{
    const Bytes eight = counting(8, 0x10);
    struct {
        DWORD offset, count;
        const char *code;
    } cases[] = {
        {0, 1, "00 10"},
        {5, 2, "25 10 11"},
        {30, 8, "FE 10 11 12 13 14 15 16 17"},
        {31, 8, "FF 00 10 11 12 13 14 15 16 17"},
        {31 + 255 * 2 + 7, 3, "5F FF FF 07 10 11 12"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        const Bytes want = unhex(c.code);
        LONG n = 0;
        Bytes code = codeInto(DWORD(want.size()),
                              [&](BYTE *out, DWORD room) {
                                  return CMP_DeltaRowCommand(out, room, eight.data(), c.offset, c.count);
                              },
                              &n);
        EXPECT_EQ(hex(code), c.code);
        codeInto(DWORD(want.size() - 1),
                 [&](BYTE *out, DWORD room) { return CMP_DeltaRowCommand(out, room, eight.data(), c.offset, c.count); },
                 &n);
        EXPECT_EQ(n, -1);
    }
    BYTE out[16];
    SetLastError(0);
    EXPECT_EQ(CMP_DeltaRowCommand(out, sizeof out, eight.data(), 0, 0), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CMP_DeltaRowCommand(out, sizeof out, eight.data(), 0, 9), -1);
    EXPECT_EQ(CMP_DeltaRowCommand(out, sizeof out, nullptr, 0, 1), -1);
}

TEST(DeltaRow, CommandsBeyondTheSixteenBitCountAreRefused)
{
    /* Every byte changed: n bytes and one command byte per 8.  58,253 + 7,282 = 65,535 fits. */
    for (DWORD n : {58253u, 58254u}) {
        const Bytes seed(n, 0), row(n, 1);
        Bytes out(CMP_DeltaRowBound(n));
        SetLastError(0);
        const LONG got = CMP_DeltaRowEncode(out.data(), DWORD(out.size()), row.data(), seed.data(), n, n);
        if (n == 58253) {
            ASSERT_EQ(got, 2 + 65535);
            EXPECT_EQ(hex(Bytes(out.begin(), out.begin() + 3)), "FF FF E0");
        } else {
            EXPECT_EQ(got, -1);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_LENGTH)) << "the row must go another way";
        }
    }
}

TEST(DeltaRow, RowBecomesTheSeed)
{
    Bytes seed(6, 0);
    const Bytes row1 = unhex("10 20 30 40 50 60"), row2 = unhex("10 20 30 40 55 60");
    Bytes out(64, kGuardByte);
    DWORD total = 0;
    BYTE *p = CMP_DeltaRowEncodeRow(out.data(), 64, row1.data(), seed.data(), 6, 6, &total);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(seed, row1);
    p = CMP_DeltaRowEncodeRow(p, DWORD(out.data() + 64 - p), row2.data(), seed.data(), 6, 6, &total);
    ASSERT_NE(p, nullptr);
    p = CMP_DeltaRowEncodeRow(p, DWORD(out.data() + 64 - p), row2.data(), seed.data(), 6, 6, &total);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(hex(Bytes(out.data(), p)), "07 00 A0 10 20 30 40 50 60 02 00 04 55 00 00");
    EXPECT_EQ(total, 15u);

    /* A failure leaves the seed and the total as they were. */
    const Bytes row3 = unhex("01 02 03 04 05 06");
    EXPECT_EQ(CMP_DeltaRowEncodeRow(out.data(), 4, row3.data(), seed.data(), 6, 6, &total), nullptr);
    EXPECT_EQ(seed, row2);
    EXPECT_EQ(total, 15u);
    EXPECT_EQ(CMP_DeltaRowEncodeRow(out.data(), 64, row3.data(), seed.data(), 6, 6, nullptr), nullptr);
    EXPECT_EQ(seed, row2);
}

TEST(DeltaRow, BadArgumentsAreRefused)
{
    const Bytes seed(4, 0), row(6, 1);
    BYTE out[32];
    struct {
        const char *what;
        BYTE *out;
        const BYTE *row, *seed;
        DWORD seedSize, n;
    } cases[] = {
        {"row longer than its seed", out, row.data(), seed.data(), 4, 6},
        {"no output", nullptr, row.data(), seed.data(), 4, 4},
        {"no row", out, nullptr, seed.data(), 4, 4},
        {"no seed", out, row.data(), nullptr, 4, 4},
        {"huge width", out, row.data(), seed.data(), 0xFFFFFFFFu, CMP_MAX_ROW_BYTES + 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        EXPECT_EQ(CMP_DeltaRowEncode(c.out, sizeof out, c.row, c.seed, c.seedSize, c.n), -1);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    SetLastError(0);
    EXPECT_EQ(CMP_DeltaRowEncode(out, 1, row.data(), seed.data(), 4, 0), -1) << "no room for the count";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
}

/* --- Pixel helpers --- */

TEST(PixelHelpers, FirstChannelAndSwap)
{
    Bytes pixels = unhex("10 10 10 20 20 20 30 30 30 40 40 40");
    Bytes out(6, kGuardByte);
    EXPECT_EQ(CMP_PackFirstChannel(out.data(), 4, pixels.data(), 2, 2), 4);
    EXPECT_EQ(hex(out), "10 20 30 40 EE EE");
    EXPECT_EQ(CMP_PackFirstChannel(out.data(), 3, pixels.data(), 2, 2), -1) << "no room";
    EXPECT_EQ(CMP_PackFirstChannel(nullptr, 4, pixels.data(), 2, 2), -1);
    EXPECT_EQ(CMP_PackFirstChannel(out.data(), 4, pixels.data(), 0x10000, 0x10000), -1) << "size past 32 bits";

    Bytes bgr = unhex("01 02 03 04 05 06 07 08 09");
    EXPECT_EQ(CMP_SwapRgb(bgr.data(), 3, 1), 0);
    EXPECT_EQ(hex(bgr), "03 02 01 06 05 04 09 08 07");
    EXPECT_EQ(CMP_SwapRgb(nullptr, 3, 1), -1);
    EXPECT_EQ(CMP_SwapRgb(nullptr, 0, 5), 0) << "no pixels, nothing to do";
}

/* --- Round trip through the writer and the lister --- */

class RasterRoundTrip : public XlTest {
protected:
    /* The listed ReadImage rows of what was written since the last take. */
    pxllist::Listing list()
    {
        const Bytes body = unhex(hexText(") HP-PCL XL;2;1;\n") + " " + take());
        pxllist::Options options;
        options.stream_body = true;
        pxllist::Listing listing;
        pxllist::ListJob(body, options, &listing);
        return listing;
    }

    static Bytes allRows(const pxllist::Listing &listing)
    {
        Bytes rows;
        for (const pxllist::Record &r : listing.records)
            if (r.kind == pxllist::RecordKind::kOperator && r.op == pxllist::op::kReadImage)
                rows = rows + r.rows;
        return rows;
    }

    /* Random rows with runs: each row draws from a small or a full alphabet. */
    Bytes randomImage(std::mt19937 &rng, DWORD rowBytes, DWORD rows)
    {
        Bytes b(size_t(rowBytes) * rows);
        for (DWORD r = 0; r < rows; r++) {
            const int alphabet = std::uniform_int_distribution<int>(0, 2)(rng) == 0 ? 256 : 3;
            for (DWORD i = 0; i < rowBytes; i++)
                b[size_t(r) * rowBytes + i] = BYTE(std::uniform_int_distribution<int>(0, alphabet - 1)(rng));
            /* Now and then a row repeats the one before, for the delta row's empty commands. */
            if (r > 0 && std::uniform_int_distribution<int>(0, 4)(rng) == 0)
                std::copy_n(b.begin() + (r - 1) * rowBytes, rowBytes, b.begin() + r * rowBytes);
        }
        return b;
    }
};

TEST_F(RasterRoundTrip, RunLengthGreyRowsWithPadCode)
{
    std::mt19937 rng(115);
    for (int image = 0; image < 40; image++) {
        const DWORD width = std::uniform_int_distribution<DWORD>(1, 300)(rng);
        const DWORD rows = std::uniform_int_distribution<DWORD>(1, 6)(rng);
        const Bytes pixels = randomImage(rng, width, rows);
        const Bytes pad(3 - (width + 3) % 4, 0);
        BYTE padCode[4];
        const LONG padLength = CMP_RleEncode(padCode, sizeof padCode, pad.data(), DWORD(pad.size()));
        ASSERT_GE(padLength, 0);

        Bytes block(size_t(CMP_RleBound(width) + padLength) * rows);
        BYTE *p = block.data();
        DWORD total = 0;
        for (DWORD r = 0; r < rows; r++) {
            BYTE *start = p;
            p = CMP_RleEncodeRow(p, CMP_RleBound(width) + DWORD(padLength), pixels.data() + r * width, width,
                                 padCode, DWORD(padLength), &total);
            ASSERT_NE(p, nullptr) << "a row's code fits its bound";
            ASSERT_LE(DWORD(p - start), CMP_RleBound(width) + DWORD(padLength));
        }
        ASSERT_EQ(total, DWORD(p - block.data()));
        XL_InvalidateState(ctx());
        ASSERT_EQ(XL_SetColorSpace(ctx(), 1), 0);
        ASSERT_EQ(XL_BeginImage(ctx(), 0, 2, WORD(width), WORD(rows), WORD(width), WORD(rows)), 0);
        ASSERT_EQ(XL_ReadImageHeader(ctx(), 0, WORD(rows), 1, 4, total), 0);
        ASSERT_EQ(XL_WriteData(ctx(), block.data(), total), 0);
        ASSERT_EQ(XL_EndImage(ctx()), 0);
        const pxllist::Listing listing = list();
        ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error) << " width " << width;
        ASSERT_EQ(allRows(listing), pixels) << "width " << width << " rows " << rows;
    }
}

TEST_F(RasterRoundTrip, DeltaRowRgbRowsWithTheSeedAcrossBlocks)
{
    std::mt19937 rng(3);
    for (int image = 0; image < 40; image++) {
        const DWORD width = std::uniform_int_distribution<DWORD>(1, 200)(rng);
        const DWORD rows = std::uniform_int_distribution<DWORD>(2, 8)(rng);
        const DWORD rowBytes = width * 3;
        const Bytes pixels = randomImage(rng, rowBytes, rows);
        const DWORD split = std::uniform_int_distribution<DWORD>(1, rows - 1)(rng);

        XL_InvalidateState(ctx());
        ASSERT_EQ(XL_SetColorSpace(ctx(), 2), 0);
        ASSERT_EQ(XL_BeginImage(ctx(), 0, 2, WORD(width), WORD(rows), WORD(width), WORD(rows)), 0);
        Bytes seed(rowBytes, 0);
        for (DWORD start = 0; start < rows;) {
            const DWORD height = start == 0 ? split : rows - split;
            Bytes block(size_t(CMP_DeltaRowBound(rowBytes)) * height);
            BYTE *p = block.data();
            DWORD total = 0;
            for (DWORD r = start; r < start + height; r++) {
                p = CMP_DeltaRowEncodeRow(p, CMP_DeltaRowBound(rowBytes), pixels.data() + r * rowBytes, seed.data(),
                                          rowBytes, rowBytes, &total);
                ASSERT_NE(p, nullptr) << "a row's code fits its bound";
            }
            ASSERT_EQ(XL_ReadImageHeader(ctx(), WORD(start), WORD(height), 3, 4, total), 0);
            ASSERT_EQ(XL_WriteData(ctx(), block.data(), total), 0);
            start += height;
        }
        ASSERT_EQ(XL_EndImage(ctx()), 0);
        const pxllist::Listing listing = list();
        ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error) << " width " << width;
        ASSERT_EQ(allRows(listing), pixels) << "width " << width << " rows " << rows;
    }
}

TEST_F(RasterRoundTrip, JpegBandAsOneBlock)
{
    /* An RGB band of 40 x 20 as the image writer sends it: one block, PadBytesMultiple 3. */
    const DWORD width = 40, rows = 20;
    Bytes band(size_t(width) * rows * 3);
    for (size_t i = 0; i < band.size(); i++)
        band[i] = BYTE(i / 3 % width * 4);
    SpoolFile scratch{};
    ASSERT_EQ(OUT_InitSpoolFile(&scratch, FALSE, nullptr), 0);
    BYTE kind = CMP_KIND_RGB, method = CMP_METHOD_NONE;
    DWORD length = DWORD(band.size());
    ASSERT_EQ(CMP_JpegEncodeBand(&scratch, &kind, width, rows, &method, &length, band.data()), CMP_JPEG_DONE);
    OUT_DeleteSpoolFile(&scratch);

    XL_InvalidateState(ctx());
    ASSERT_EQ(XL_SetColorSpace(ctx(), 2), 0);
    ASSERT_EQ(XL_BeginImage(ctx(), 0, 2, WORD(width), WORD(rows), WORD(width), WORD(rows)), 0);
    ASSERT_EQ(XL_ReadImageHeader(ctx(), 0, WORD(rows), 2, 3, length), 0);
    ASSERT_EQ(XL_WriteData(ctx(), band.data(), length), 0);
    ASSERT_EQ(XL_EndImage(ctx()), 0);
    const pxllist::Listing listing = list();
    ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
    EXPECT_EQ(allRows(listing).size(), size_t(width) * rows * 3) << "the lister decoded every row";
}

} // namespace
