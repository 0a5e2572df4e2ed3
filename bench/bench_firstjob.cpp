/*
 * Speed of whole print jobs of blank pages, tracing off, on a machine of
 * its own in a temporary folder: BM_BlankPages/N prints an N-page document
 * (StartDoc, N x StartPage and EndPage, EndDoc) on one device context and
 * reports pages per second.  The printer, its job devmode and the device
 * context are made once, outside the timing; each finished spooler job is
 * deleted outside the timing too.  Compare the time per page at 1,000 and
 * 10,000 pages: it must not grow with the page count.
 */
#include "host_print.h"

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/machine.h>
#include <plat/spooler.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char16_t kPrinter[] = u"Bench Printer";

struct Machine {
    std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tarvel-bench-firstjob-" + std::to_string(::getpid()));
    HDC dc = nullptr;
    std::string error;

    Machine()
    {
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        host::PrintRequest request; /* A4, colour, blank pages printed */
        request.printer = kPrinter;
        request.paper = "A4";
        host::PrintReport report;
        std::vector<BYTE> devmode;
        std::vector<std::vector<BYTE>> pages;
        if (!host::host_job_devmodes(request, report, devmode, pages, error))
            return;
        dc = CreateDCW(nullptr, kPrinter, nullptr, reinterpret_cast<const DEVMODEW *>(devmode.data()));
        if (!dc)
            error = "no device context (error " + std::to_string(GetLastError()) + ")";
    }
    ~Machine()
    {
        if (dc)
            DeleteDC(dc);
        plat::machine_reset(root.string());
        std::filesystem::remove_all(root);
    }
};

void BM_BlankPages(benchmark::State &state)
{
    static Machine m;
    if (!m.dc) {
        state.SkipWithError(m.error.c_str());
        return;
    }
    const int pages = int(state.range(0));
    DOCINFOW doc{sizeof(DOCINFOW), u"Bench", nullptr, nullptr, 0};
    for (auto _ : state) {
        int job = StartDocW(m.dc, &doc);
        bool ok = job > 0;
        for (int i = 0; ok && i < pages; i++)
            ok = StartPage(m.dc) > 0 && EndPage(m.dc) > 0;
        ok = ok && EndDoc(m.dc) > 0;
        state.PauseTiming();
        if (!ok) {
            state.SkipWithError("the job failed");
            break;
        }
        plat::spool_delete_job(DWORD(job));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * pages);
}

BENCHMARK(BM_BlankPages)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
