/*
 * Speed of the colour object's image conversion, CLR_ConvertImageRows, on
 * one band of a 600 dpi A4 page (4,960 pixels a row, 128 rows of
 * blue-green-red pixels), in pixels per second:
 *   - BM_ConvertImageRows_Matrix: the built-in monitor model (6500 K,
 *     gamma 2.2): curves, the 3 x 3 matrix and the encoding table.  Target:
 *     at least 100 million pixels per second on one core.
 *   - BM_ConvertImageRows_Grid: a lookup-table profile reduced to the
 *     17 x 17 x 17 grid: curves, tetrahedral interpolation and the table.
 */
#include "clr_color_object.h"

#include <plat/machine.h>

#include <benchmark/benchmark.h>

#include <cstring>

#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr LONG kWidth = 4960;  /* 210 mm at 600 dpi */
constexpr LONG kRows = 128;

struct Band {
    std::vector<BYTE> src, dst;
    Band() : src(size_t(kWidth) * kRows * 3), dst(src.size())
    {
        std::mt19937 random(7);
        for (BYTE &b : src)
            b = BYTE(random());
    }
};

/* A fresh machine, for the engine memory the transforms use. */
void fresh_machine()
{
    static const bool once = [] {
        auto root = std::filesystem::temp_directory_path() / ("tarvel-bench-color-" + std::to_string(::getpid()));
        plat::machine_reset(root.string());
        return true;
    }();
    (void)once;
}

/* A lut8 "scnr" profile with XYZ connection space and 9 grid points. */
std::vector<BYTE> grid_profile()
{
    std::vector<BYTE> lut = {'m', 'f', 't', '1', 0, 0, 0, 0, 3, 3, 9, 0};
    for (int i = 0; i < 9; i++)
        for (int b = 0; b < 4; b++)
            lut.push_back(BYTE(i % 4 == 0 && b == 1 ? 1 : 0));
    for (int t = 0; t < 3; t++)
        for (int i = 0; i < 256; i++)
            lut.push_back(BYTE(i));
    for (int i = 0; i < 9; i++)
        for (int j = 0; j < 9; j++)
            for (int k = 0; k < 9; k++) {
                lut.push_back(BYTE(5 * i + 4 * j + 2 * k));
                lut.push_back(BYTE(3 * i + 9 * j + k));
                lut.push_back(BYTE(i + 2 * j + 11 * k));
            }
    for (int t = 0; t < 3; t++)
        for (int i = 0; i < 256; i++)
            lut.push_back(BYTE(i));
    const BYTE wtpt[20] = {'X', 'Y', 'Z', ' ', 0, 0, 0, 0, 0, 0, 0xF6, 0xD6, 0, 1, 0, 0, 0, 0, 0xD3, 0x2D};
    std::vector<BYTE> p(128, 0);
    auto put32 = [&p](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8)
            p.push_back(BYTE(v >> s));
    };
    std::memcpy(&p[12], "scnrRGB XYZ ", 12);
    std::memcpy(&p[36], "acsp", 4);
    put32(2);
    const uint32_t lutAt = 128 + 4 + 24;
    put32(0x41324230); /* "A2B0" */
    put32(lutAt);
    put32(uint32_t(lut.size()));
    put32(0x77747074); /* "wtpt" */
    put32(uint32_t(lutAt + lut.size()));
    put32(20);
    p.insert(p.end(), lut.begin(), lut.end());
    p.insert(p.end(), wtpt, wtpt + 20);
    return p;
}

void run(benchmark::State &state, ColorObject &object)
{
    Band band;
    for (auto _ : state) {
        int r = CLR_ConvertImageRows(&object, band.src.data(), band.dst.data(), kWidth, kRows, nullptr, nullptr, 0,
                                     CLR_FORMAT_RGB, 24, FALSE, 0);
        if (r != CLR_RESULT_COLOR)
            state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(band.dst.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kRows);
}

void BM_ConvertImageRows_Matrix(benchmark::State &state)
{
    fresh_machine();
    ColorObject object{};
    if (ICC_BuildBuiltinModel(&object.storageA, 6500, 22) != 0) {
        state.SkipWithError("no built-in model");
        return;
    }
    object.builtin = &object.storageA;
    object.imageFlags = CLR_IMAGE_BUILTIN;
    run(state, object);
}
BENCHMARK(BM_ConvertImageRows_Matrix)->Unit(benchmark::kMillisecond);

void BM_ConvertImageRows_Grid(benchmark::State &state)
{
    fresh_machine();
    ColorObject object{};
    std::vector<BYTE> profile = grid_profile();
    if (ICC_LoadProfileFromMemory(&object.storageB, profile.data(), profile.size()) != ICC_OK ||
        object.storageB.status != ICC_STATUS_GRID) {
        state.SkipWithError("the grid profile did not load");
        return;
    }
    object.profile2 = &object.storageB;
    object.imageFlags = CLR_IMAGE_PROFILE2;
    run(state, object);
    ICC_FreeTransform(&object.storageB);
}
BENCHMARK(BM_ConvertImageRows_Grid)->Unit(benchmark::kMillisecond);

} // namespace
