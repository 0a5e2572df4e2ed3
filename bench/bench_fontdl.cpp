/*
 * Speed of the outline font download for a page of text: 3,000 characters
 * of English-like text in DejaVu Sans, set as 40 lines of 75 characters,
 * each line one run, into a channel whose writer only counts the bytes.
 *   - BM_FontDownload_Page: the page's runs after its font header was sent
 *     (the header is written outside the timing): every glyph's first use
 *     downloads it, later uses find its code.
 *   - BM_FontDownload_PageAgain: the same page when the font already holds
 *     every glyph (codes only).
 * Target: under 1 ms per page.
 */
#include "draw_font_download.h"
#include "fnt_download.h"
#include "output_channel.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/machine.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr int kLines = 40, kColumns = 75;

BOOL countingWriter(HANDLE, const void *, DWORD length, DWORD *written)
{
    *written = length;
    return TRUE;
}

/* DejaVu Sans's glyph of a printable ASCII character (its glyphs follow the ASCII order from the space, 3). */
WORD glyphOf(char c) { return WORD(c - 29); }

struct Page {
    std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tarvel-bench-fontdl-" + std::to_string(::getpid()));
    std::unique_ptr<PdevContext> pdev = std::make_unique<PdevContext>();
    std::vector<BYTE> file;
    TrueTypeFontInfo info{};
    std::vector<std::vector<WORD>> lines;

    Page()
    {
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        OUT_SetTestSink(countingWriter);
        pdev->headMagic = pdev->tailMagic = PDEV_MAGIC;
        pdev->channel = OUT_CreateChannel(nullptr);
        OUT_OpenOnPrinter(pdev->channel, pdev.get());
        XL_InvalidateState(pdev.get());
        std::ifstream in(kFont, std::ios::binary);
        file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        const std::string words = "the quick brown fox jumps over the lazy dog, Pack my box with five dozen liquor "
                                  "jugs. Sphinx of black quartz: judge my vow! 0123456789 ";
        size_t at = 0;
        for (int l = 0; l < kLines; l++) {
            std::vector<WORD> line;
            for (int c = 0; c < kColumns; c++)
                line.push_back(glyphOf(words[at++ % words.size()]));
            lines.push_back(line);
        }
    }
    ~Page()
    {
        FNT_FreeDownloadedFonts(pdev.get());
        OUT_FreeChannel(pdev->channel);
        OUT_SetTestSink(nullptr);
        plat::machine_reset(root.string());
        std::filesystem::remove_all(root);
    }

    bool ready() { return FNT_ParseTrueTypeFile(file.data(), DWORD(file.size()), u"DejaVu Sans", &info) == TT_OK; }

    bool header() { return FNT_EnsureFont(pdev.get(), "DejaVu Sans:OL", 590, kColumns, FONT_PATH_OUTLINE, &info) == 0; }

    bool runs()
    {
        for (const std::vector<WORD> &line : lines) {
            std::vector<WORD> codes = line;
            if (FNT_EnsureFont(pdev.get(), "DejaVu Sans:OL", 590, ULONG(codes.size()), FONT_PATH_OUTLINE, &info) != 0 ||
                FNT_DownloadRunGlyphs(pdev.get(), nullptr, "DejaVu Sans:OL", ULONG(codes.size()), nullptr,
                                      FONT_PATH_OUTLINE, &info, codes.data(), 0.0f) != 0)
                return false;
        }
        return OUT_Flush(pdev->channel) == 0;
    }
};

void BM_FontDownload_Page(benchmark::State &state)
{
    Page page;
    if (!page.ready()) {
        state.SkipWithError("DejaVu Sans is not installed");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        FNT_RemoveAllDownloadedFonts(page.pdev.get());
        const bool sent = page.header();
        state.ResumeTiming();
        if (!sent || !page.runs()) {
            state.SkipWithError("download failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kLines * kColumns);
}
BENCHMARK(BM_FontDownload_Page)->Unit(benchmark::kMicrosecond);

void BM_FontDownload_PageAgain(benchmark::State &state)
{
    Page page;
    if (!page.ready() || !page.header() || !page.runs()) {
        state.SkipWithError("DejaVu Sans is not installed");
        return;
    }
    for (auto _ : state) {
        if (!page.runs()) {
            state.SkipWithError("download failed");
            return;
        }
    }
    state.SetItemsProcessed(state.iterations() * kLines * kColumns);
}
BENCHMARK(BM_FontDownload_PageAgain)->Unit(benchmark::kMicrosecond);

} // namespace
