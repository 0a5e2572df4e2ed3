/*
 * Speed of the PCL XL writer, measured through the real output channel into
 * an in-memory spooler writer (bound with the channel's test sink):
 *   - BM_MixedStream: a seeded mix of state, path, text, image and page
 *     commands whose values change on every call, so the cache never skips
 *     anything; embedded blocks are at most 64 bytes.  Reported as bytes of
 *     stream per second.
 *   - BM_CacheHit_*: one unchanged state command; the time per iteration is
 *     the cost of a hit.
 *   - BM_OutWrite: OUT_Write of seeded 1-16-byte pieces, in bytes per second.
 */
#include "output_channel.h"
#include "pdev_context.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

/* The in-memory spooler: keeps the last bytes in a ring the size of the largest piece. */
struct MemorySink {
    std::vector<BYTE> ring = std::vector<BYTE>(OUT_MAX_PRINTER_PIECE);
    size_t used = 0;
    size_t total = 0;
};

BOOL sinkWriter(HANDLE printer, const void *bytes, DWORD length, DWORD *written)
{
    auto *s = static_cast<MemorySink *>(printer);
    if (s->used + length > s->ring.size())
        s->used = 0;
    std::memcpy(s->ring.data() + s->used, bytes, length);
    s->used += length;
    s->total += length;
    *written = length;
    return TRUE;
}

/* A device context whose channel writes into `sink`. */
struct Writer {
    MemorySink sink;
    std::unique_ptr<PdevContext> pdev = std::make_unique<PdevContext>();

    Writer()
    {
        OUT_SetTestSink(sinkWriter);
        pdev->sheetRotation = SHEET_ROTATE_NONE;
        pdev->channel = OUT_CreateChannel(nullptr);
        OUT_OpenOnPrinter(pdev->channel, &sink);
        XL_InvalidateState(pdev.get());
    }
    ~Writer()
    {
        OUT_FreeChannel(pdev->channel);
        OUT_SetTestSink(nullptr);
    }
    PdevContext *ctx() { return pdev.get(); }
};

/* Pre-drawn random values, so the loop measures the writer and not the generator. */
struct Script {
    static constexpr size_t kSize = 4096; /* a power of two */
    std::vector<DevicePoint> points = std::vector<DevicePoint>(kSize * 16);
    std::vector<BYTE> bytes = std::vector<BYTE>(kSize * 64);
    std::vector<WORD> codes = std::vector<WORD>(kSize * 32);
    std::vector<unsigned> counts = std::vector<unsigned>(kSize);

    Script()
    {
        std::mt19937 rng(20240611);
        for (auto &p : points)
            p = DevicePoint{LONG(rng() % 5000), LONG(rng() % 7000)};
        for (auto &b : bytes)
            b = BYTE(rng());
        for (auto &c : codes)
            c = WORD(0x20 + rng() % 0x5F);
        for (auto &n : counts)
            n = 1 + rng() % 16;
    }
};

void BM_MixedStream(benchmark::State &state)
{
    Writer w;
    Script s;
    PdevContext *p = w.ctx();
    size_t i = 0;
    static const char *const fonts[2] = {"Courier         ", "CG Times        "};
    for (auto _ : state) {
        for (int round = 0; round < 64; round++, i++) {
            size_t k = i & (Script::kSize - 1);
            unsigned n = s.counts[k];                    /* 1..16 */
            const DevicePoint *pts = &s.points[k * 16];
            const BYTE *b = &s.bytes[k * 64];
            /* State: every value differs from the previous call's. */
            XL_SetColorSpace(p, BYTE(1 + (i & 1)));
            XL_SetBrushRgb(p, BYTE(i), b[0], b[1]);
            XL_SetPenGray(p, BYTE(i));
            XL_SetPenWidth(p, WORD(1 + (i & 0x7FF)));
            XL_SetRop(p, BYTE(i));
            XL_SetLineCap(p, BYTE(i & 1));
            XL_SetLineJoin(p, BYTE(i & 1));
            XL_SetClipRectangle(p, 0, pts[0].x, pts[0].y, pts[1].x, pts[1].y);
            /* Paths: a line list of up to 16 points (at most 64 bytes packed) and a curve. */
            XL_NewPath(p);
            XL_SetCursor(p, pts[2].x, pts[2].y);
            DevicePoint cursor = pts[2];
            XL_LinePath(p, n, pts, &cursor);
            XL_BezierPath(p, 3, pts + 13, &cursor);
            XL_CloseSubPath(p);
            XL_PaintPath(p);
            XL_Rectangle(p, pts[3].x, pts[3].y, pts[4].x, pts[4].y);
            /* Text. */
            XL_SetFont(p, fonts[i & 1], FLOAT(8 + (i & 15)), 590);
            XL_SetCharAngle(p, SHORT(i % 360));
            XL_SetCursor(p, pts[5].x, pts[5].y);
            XL_Text(p, n * 2, &s.codes[k * 32], FALSE, FALSE, nullptr, nullptr);
            /* An image block of up to 64 bytes. */
            XL_BeginImage(p, 0, 2, WORD(n), 1, WORD(n * 4), 4);
            XL_ReadImageHeader(p, 0, 1, 0, 0, n * 4);
            XL_WriteData(p, b, n * 4);
            XL_EndImage(p);
            /* Page commands. */
            XL_SetPageRotation(p, LONG(i % 4) * 90);
            XL_SetPageOrigin(p, SHORT(pts[6].x), SHORT(pts[6].y));
            XL_SetPageScale(p, 1.0f + FLOAT(i & 3), 1.0f);
            XL_CommentPc(p, int(i & 0xFF));
        }
    }
    OUT_Flush(w.pdev->channel);
    state.SetBytesProcessed(int64_t(w.sink.total));
}
BENCHMARK(BM_MixedStream);

void BM_CacheHit_BrushGray(benchmark::State &state)
{
    Writer w;
    XL_SetBrushGray(w.ctx(), 128);
    for (auto _ : state)
        benchmark::DoNotOptimize(XL_SetBrushGray(w.ctx(), 128));
}
BENCHMARK(BM_CacheHit_BrushGray);

void BM_CacheHit_Rop(benchmark::State &state)
{
    Writer w;
    XL_SetRop(w.ctx(), 0xCC);
    for (auto _ : state)
        benchmark::DoNotOptimize(XL_SetRop(w.ctx(), 0xCC));
}
BENCHMARK(BM_CacheHit_Rop);

void BM_CacheHit_ClipRectangle(benchmark::State &state)
{
    Writer w;
    XL_SetClipRectangle(w.ctx(), 0, 100, 200, 3000, 4000);
    for (auto _ : state)
        benchmark::DoNotOptimize(XL_SetClipRectangle(w.ctx(), 0, 100, 200, 3000, 4000));
}
BENCHMARK(BM_CacheHit_ClipRectangle);

void BM_CacheHit_Font(benchmark::State &state)
{
    Writer w;
    XL_SetFont(w.ctx(), "Courier         ", 12.0f, 590);
    XL_Text(w.ctx(), 0, nullptr, FALSE, FALSE, nullptr, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(XL_SetFont(w.ctx(), "Courier         ", 12.0f, 590));
}
BENCHMARK(BM_CacheHit_Font);

void BM_CacheHit_LineDash(benchmark::State &state)
{
    Writer w;
    const WORD dash[4] = {10, 5, 2, 5};
    XL_SetLineDash(w.ctx(), 4, dash, 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(XL_SetLineDash(w.ctx(), 4, dash, 0));
}
BENCHMARK(BM_CacheHit_LineDash);

void BM_OutWrite(benchmark::State &state)
{
    Writer w;
    std::mt19937 rng(7);
    std::vector<DWORD> sizes(4096);
    for (auto &n : sizes)
        n = 1 + rng() % 16;
    BYTE data[16] = {};
    OutputChannel *ch = w.pdev->channel;
    size_t i = 0;
    for (auto _ : state) {
        for (int round = 0; round < 256; round++, i++)
            OUT_Write(ch, sizes[i & 4095], data);
    }
    OUT_Flush(ch);
    state.SetBytesProcessed(int64_t(w.sink.total));
}
BENCHMARK(BM_OutWrite);

} // namespace
