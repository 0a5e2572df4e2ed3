/*
 * Speed of the image road on a full A4 page at 600 dpi (4,960 x 7,014
 * pixels of 24 bits), generated here: the upper half a photograph-like
 * image (smooth gradients with fine noise), the lower half a text-like one
 * (black strokes on white).  Each half is drawn as one image through the
 * image writer (source reading, colour pass, bands, compression) into a
 * channel whose writer only counts the bytes.
 *   - BM_ImagePage_RunLengthDeltaRow: the job's compression on (run-length
 *     for grey, delta row for colour).
 *   - BM_ImagePage_Raw: compression off, for comparison.
 * Reported: source bytes per second, and the counter "out_per_src", output
 * bytes per source byte; "raw_per_src" gives the raw encoding's figure
 * (padded rows with their ReadImage headers) on the same page.
 */
#include "blt_image_spool.h"
#include "blt_records.h"
#include "clr_color_object.h"
#include "draw_blt.h"
#include "output_channel.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/engine.h>
#include <plat/machine.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr LONG kWidth = 4960, kHeight = 7014, kHalf = kHeight / 2;

/* A 24-bit top-down bitmap of its own bits. */
struct Source {
    std::vector<BYTE> bits;
    SURFOBJ so{};
    Source(LONG w, LONG h)
    {
        const LONG stride = (w * 3 + 3) / 4 * 4;
        bits.assign(size_t(stride) * size_t(h), 0);
        so.sizlBitmap = SIZEL{w, h};
        so.cjBits = ULONG(bits.size());
        so.pvBits = so.pvScan0 = bits.data();
        so.lDelta = stride;
        so.iBitmapFormat = BMF_24BPP;
        so.iType = STYPE_BITMAP;
    }
    BYTE *px(LONG x, LONG y) { return bits.data() + size_t(y) * size_t(so.lDelta) + size_t(x) * 3; }
};

void photograph(Source &s)
{
    std::mt19937 rng(11);
    for (LONG y = 0; y < s.so.sizlBitmap.cy; y++)
        for (LONG x = 0; x < s.so.sizlBitmap.cx; x++) {
            BYTE *p = s.px(x, y);
            const int n = int(rng() % 7) - 3;
            p[0] = BYTE(std::clamp(x * 255 / kWidth + n, 0, 255));
            p[1] = BYTE(std::clamp(y * 255 / kHalf + n, 0, 255));
            p[2] = BYTE(std::clamp(128 + (x - y) / 40 + n, 0, 255));
        }
}

void textLike(Source &s)
{
    for (LONG y = 0; y < s.so.sizlBitmap.cy; y++)
        for (LONG x = 0; x < s.so.sizlBitmap.cx; x++) {
            const bool line = (y % 100) >= 20 && (y % 100) < 70;
            const bool ink = line && ((x / 7) % 5 != 0) && (((x * 3 + y) / 11) % 3 == 0);
            BYTE *p = s.px(x, y);
            p[0] = p[1] = p[2] = ink ? 0 : 255;
        }
}

/* Counts what reaches the printer. */
ULONGLONG g_written = 0;
BOOL countingWriter(HANDLE, const void *, DWORD length, DWORD *written)
{
    g_written += length;
    *written = length;
    return TRUE;
}

struct Page {
    std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tarvel-bench-images-" + std::to_string(::getpid()));
    std::unique_ptr<PdevContext> pdev = std::make_unique<PdevContext>();
    ColorObject color{};
    Source photo{kWidth, kHalf}, text{kWidth, kHeight - kHalf};

    explicit Page(LONG mode)
    {
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        OUT_SetTestSink(countingWriter);
        pdev->channel = OUT_CreateChannel(nullptr);
        OUT_OpenOnPrinter(pdev->channel, pdev.get());
        pdev->colorObject = &color;
        BLT_CreateImageSpool(&pdev->imageSpool, &pdev->pendingImages, mode, nullptr);
        photograph(photo);
        textLike(text);
    }
    ~Page()
    {
        BLT_FreeImageSpool(pdev->imageSpool, pdev->pendingImages);
        OUT_FreeChannel(pdev->channel);
        OUT_SetTestSink(nullptr);
        plat::machine_reset(root.string());
        std::filesystem::remove_all(root);
    }

    bool draw(Source &s, LONG top)
    {
        const SIZEL size = s.so.sizlBitmap;
        const POINTL origin{0, 0};
        const RECTL dest{0, top, size.cx, top + size.cy};
        const float scale[6] = {1, 0, 0, 1, 0, 0};
        XL_InvalidateState(pdev.get());
        return BLT_EmitImage(pdev.get(), &s.so, &size, &origin, &dest, nullptr, scale, nullptr, nullptr, TRUE);
    }
};

/* The raw road's bytes for the page: padded rows and one ReadImage header (about 16 bytes) per block. */
double rawBytes()
{
    const double padded = double((kWidth * 3 + 3) / 4 * 4);
    const double rowsPerBlock = double(BLT_BAND_LIMIT / ((kWidth * 3 + 3) / 4 * 4));
    return padded * kHeight + 16.0 * (double(kHeight) / rowsPerBlock + 2);
}

void run(benchmark::State &state, LONG mode)
{
    Page page(mode);
    const double source = double(kWidth) * 3 * kHeight;
    g_written = 0;
    ULONGLONG pages = 0;
    for (auto _ : state) {
        if (!page.draw(page.photo, 0) || !page.draw(page.text, kHalf) || OUT_Flush(page.pdev->channel) != 0) {
            state.SkipWithError("the image writer failed");
            return;
        }
        pages++;
    }
    state.SetBytesProcessed(int64_t(source * double(pages)));
    state.counters["out_per_src"] = double(g_written) / (source * double(pages));
    state.counters["raw_per_src"] = rawBytes() / source;
}

void BM_ImagePage_RunLengthDeltaRow(benchmark::State &state) { run(state, 1); }
BENCHMARK(BM_ImagePage_RunLengthDeltaRow)->Unit(benchmark::kMillisecond);

void BM_ImagePage_Raw(benchmark::State &state) { run(state, 0); }
BENCHMARK(BM_ImagePage_Raw)->Unit(benchmark::kMillisecond);

} // namespace
