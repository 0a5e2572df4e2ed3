/*
 * Speed of whole print jobs of blank pages, tracing off, on a machine of
 * its own in a temporary folder: BM_BlankPages/N prints an N-page document
 * (StartDoc, N x StartPage and EndPage, EndDoc) on one device context and
 * reports pages per second.  The printer, its job devmode and the device
 * context are made once, outside the timing; each finished spooler job is
 * deleted outside the timing too.  Compare the time per page at 1,000 and
 * 10,000 pages: it must not grow with the page count.  BM_ReversedPages/N
 * prints the same document in reverse order: every page is recorded into
 * the spool file and replayed last page first at the end (target: at least
 * 10,000 pages a second, its time per page flat from 1,000 to 10,000).
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

/* The bench machine and its printer, with a device context for plain and one for reversed jobs. */
struct Machine {
    std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tarvel-bench-firstjob-" + std::to_string(::getpid()));
    HDC plain = nullptr;
    HDC reversed = nullptr;
    std::string error;

    Machine()
    {
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        plain = context(false);
        reversed = plain ? context(true) : nullptr;
    }
    ~Machine()
    {
        if (plain)
            DeleteDC(plain);
        if (reversed)
            DeleteDC(reversed);
        plat::machine_reset(root.string());
        std::filesystem::remove_all(root);
    }

    HDC context(bool reverse)
    {
        host::PrintRequest request; /* A4, colour, blank pages printed */
        request.printer = kPrinter;
        request.paper = "A4";
        request.reverse = reverse ? 1 : 0;
        host::PrintReport report;
        std::vector<BYTE> devmode;
        std::vector<std::vector<BYTE>> pages;
        if (!host::host_job_devmodes(request, report, devmode, pages, error))
            return nullptr;
        HDC dc = CreateDCW(nullptr, kPrinter, nullptr, reinterpret_cast<const DEVMODEW *>(devmode.data()));
        if (!dc)
            error = "no device context (error " + std::to_string(GetLastError()) + ")";
        return dc;
    }
};

Machine &machine()
{
    static Machine m;
    return m;
}

void print_pages(benchmark::State &state, HDC dc)
{
    Machine &m = machine();
    if (!dc) {
        state.SkipWithError(m.error.c_str());
        return;
    }
    const int pages = int(state.range(0));
    DOCINFOW doc{sizeof(DOCINFOW), u"Bench", nullptr, nullptr, 0};
    for (auto _ : state) {
        int job = StartDocW(dc, &doc);
        bool ok = job > 0;
        for (int i = 0; ok && i < pages; i++)
            ok = StartPage(dc) > 0 && EndPage(dc) > 0;
        ok = ok && EndDoc(dc) > 0;
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

void BM_BlankPages(benchmark::State &state)
{
    print_pages(state, machine().plain);
}

void BM_ReversedPages(benchmark::State &state)
{
    print_pages(state, machine().reversed);
}

BENCHMARK(BM_BlankPages)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReversedPages)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
