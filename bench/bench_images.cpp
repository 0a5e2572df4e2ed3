/*
 * Speed of the image road on a full A4 page at 600 dpi, 24 bits a pixel:
 * a real job (a printer of the standard model installed on a machine of
 * its own, CreateDC, StartDoc, StartPage) whose page is covered by two
 * images generated here, drawn through the engine's StretchDIBits road
 * (plat::gdi_draw_image, which calls the rendering library's
 * DrvStretchBlt): the upper half a photograph-like image (smooth gradients
 * with fine noise), the lower half a text-like one (black strokes on
 * white).  The page is the printable area (A4 less the printer's margins).
 * The machine folder lives in memory (/dev/shm where there is one), so the
 * spooler's job file is a file in memory.
 *   - BM_ImagePage_RunLengthDeltaRow: the job's image compression set to
 *     run-length and delta row (setting 330 = 1).
 *   - BM_ImagePage_Raw: image compression off (330 = 0).
 *   - BM_ImagePage_Jpeg: JPEG (330 = 2), for comparison.
 * Reported: source bytes per second (the two images' 24-bit pixels), and
 * the counter "out_per_src", the job's bytes per source byte;
 * "raw_per_src" gives the raw encoding's figure (padded rows with their
 * ReadImage headers) on the same page.  Each job is deleted outside the
 * timing.
 */
#include "host_print.h"
#include "host_printer.h"

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/machine.h>
#include <plat/spooler.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char16_t kPrinter[] = u"Bench Images";
constexpr WORD kImageCompression = 330; /* 0 none, 1 run-length and delta row, 2 JPEG */
constexpr double kBandLimit = 350000;   /* bytes of rows in one ReadImage block */

/* A 24-bit top-down image (blue, green, red), rows padded to 4 bytes. */
struct Image {
    LONG width = 0, height = 0;
    size_t stride = 0;
    std::vector<BYTE> bits;
    Image(LONG w, LONG h) : width(w), height(h), stride(size_t(w * 3 + 3) / 4 * 4), bits(stride * size_t(h), 0) {}
    BYTE *px(LONG x, LONG y) { return bits.data() + size_t(y) * stride + size_t(x) * 3; }
};

void photograph(Image &s)
{
    std::mt19937 rng(11);
    for (LONG y = 0; y < s.height; y++)
        for (LONG x = 0; x < s.width; x++) {
            BYTE *p = s.px(x, y);
            const int n = int(rng() % 7) - 3;
            p[0] = BYTE(std::clamp(x * 255 / s.width + n, 0, 255));
            p[1] = BYTE(std::clamp(y * 255 / s.height + n, 0, 255));
            p[2] = BYTE(std::clamp(128 + (x - y) / 40 + n, 0, 255));
        }
}

void textLike(Image &s)
{
    for (LONG y = 0; y < s.height; y++)
        for (LONG x = 0; x < s.width; x++) {
            const bool line = (y % 100) >= 20 && (y % 100) < 70;
            const bool ink = line && ((x / 7) % 5 != 0) && (((x * 3 + y) / 11) % 3 == 0);
            BYTE *p = s.px(x, y);
            p[0] = p[1] = p[2] = ink ? 0 : 255;
        }
}

std::filesystem::path machineRoot()
{
    const std::filesystem::path shm = "/dev/shm";
    const std::filesystem::path base = std::filesystem::is_directory(shm) ? shm : std::filesystem::temp_directory_path();
    return base / ("tarvel-bench-images-" + std::to_string(::getpid()));
}

/* The bench machine, its printer and one device context per compression mode. */
struct Machine {
    std::filesystem::path root = machineRoot();
    HDC dc[3] = {};
    LONG width = 0, height = 0; /* the printable area at 600 dpi */
    std::string error;

    Machine()
    {
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        for (LONG mode = 0; mode < 3 && error.empty(); mode++)
            dc[mode] = context(mode);
        if (dc[0]) {
            width = GetDeviceCaps(dc[0], HORZRES);
            height = GetDeviceCaps(dc[0], VERTRES);
        }
    }
    ~Machine()
    {
        for (HDC d : dc)
            if (d)
                DeleteDC(d);
        plat::machine_reset(root.string());
        std::filesystem::remove_all(root);
    }

    HDC context(LONG mode)
    {
        host::PrintRequest request;
        request.printer = kPrinter;
        request.paper = "A4";
        request.resolution = 600;
        host::PrintReport report;
        std::vector<BYTE> devmode;
        std::vector<std::vector<BYTE>> pages;
        if (!host::host_job_devmodes(request, report, devmode, pages, error))
            return nullptr;
        const IdLayoutItem *item = nullptr;
        const bool bound = host::host_bind_library(error);
        const bool set = bound && LAYOUT_FindItem(kImageCompression, nullptr, &item) == 0 &&
                         DMB_SetValueArgs(devmode.data(), nullptr, kImageCompression, item->storedType, mode) == DMA_OK;
        if (bound)
            host::host_release_library();
        if (!set) {
            error = "the image compression cannot be set";
            return nullptr;
        }
        HDC d = CreateDCW(nullptr, kPrinter, nullptr, reinterpret_cast<const DEVMODEW *>(devmode.data()));
        if (!d)
            error = "no device context (error " + std::to_string(GetLastError()) + ")";
        return d;
    }
};

Machine &machine()
{
    static Machine m;
    return m;
}

/* The page's two images, made once. */
struct PageImages {
    Image photo, text;
    PageImages(LONG w, LONG h) : photo(w, h / 2), text(w, h - h / 2)
    {
        photograph(photo);
        textLike(text);
    }
};

bool draw(HDC dc, const Image &im, LONG top)
{
    plat::GdiImageDraw d;
    d.call = plat::GdiImageDraw::Stretch;
    d.image.format = BMF_24BPP;
    d.image.width = im.width;
    d.image.height = im.height;
    d.image.bits = im.bits.data();
    d.image.size = im.bits.size();
    d.dest = RECTL{0, top, im.width, top + im.height};
    d.src = RECTL{0, 0, im.width, im.height};
    return plat::gdi_draw_image(dc, d);
}

/* The raw road's bytes for the page: padded rows and one ReadImage header (about 16 bytes) per block. */
double rawBytes(const PageImages &p)
{
    double bytes = 0;
    for (const Image *im : {&p.photo, &p.text}) {
        const double rowsPerBlock = std::max(1.0, double(size_t(kBandLimit) / im->stride));
        bytes += double(im->stride) * im->height + 16.0 * (double(im->height) / rowsPerBlock + 2);
    }
    return bytes;
}

void run(benchmark::State &state, LONG mode)
{
    Machine &m = machine();
    HDC dc = m.dc[mode];
    if (!dc) {
        state.SkipWithError(m.error.c_str());
        return;
    }
    static PageImages page(m.width, m.height);
    const double source = double(m.width) * 3 * double(m.height);
    DOCINFOW doc{sizeof(DOCINFOW), u"Bench images", nullptr, nullptr, 0};
    double written = 0;
    for (auto _ : state) {
        const int job = StartDocW(dc, &doc);
        const bool ok = job > 0 && StartPage(dc) > 0 && draw(dc, page.photo, 0) && draw(dc, page.text, page.photo.height) &&
                        EndPage(dc) > 0 && EndDoc(dc) > 0;
        state.PauseTiming();
        if (!ok) {
            state.SkipWithError(("the job failed (error " + std::to_string(GetLastError()) + ")").c_str());
            break;
        }
        std::error_code e;
        written += double(std::filesystem::file_size(plat::spool_job_path(DWORD(job)), e));
        plat::spool_delete_job(DWORD(job));
        state.ResumeTiming();
    }
    const double pages = double(state.iterations());
    state.SetBytesProcessed(int64_t(source * pages));
    state.counters["out_per_src"] = written / (source * pages);
    state.counters["raw_per_src"] = rawBytes(page) / source;
}

void BM_ImagePage_RunLengthDeltaRow(benchmark::State &state) { run(state, 1); }
BENCHMARK(BM_ImagePage_RunLengthDeltaRow)->Unit(benchmark::kMillisecond);

void BM_ImagePage_Raw(benchmark::State &state) { run(state, 0); }
BENCHMARK(BM_ImagePage_Raw)->Unit(benchmark::kMillisecond);

void BM_ImagePage_Jpeg(benchmark::State &state) { run(state, 2); }
BENCHMARK(BM_ImagePage_Jpeg)->Unit(benchmark::kMillisecond);

} // namespace
