/*
 * Speed of the output channel on its real targets, on a machine of its own
 * in a temporary folder:
 *   - BM_OutWrite_Spooler: OUT_Write of seeded 1-16-byte pieces (every PCL
 *     XL value takes this path) through the 2,048-byte buffer into the
 *     spooler stand-in's WritePrinter, in bytes per second.
 *   - BM_OutWrite_Record: the same pieces in record mode, appended to the
 *     spool temporary file.
 * The job (or the spool file) is started afresh, outside the timing, every
 * 64 MiB, so that a long run does not fill the disk.
 */
#include "output_channel.h"

#include <plat/machine.h>
#include <plat/spooler.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char16_t kPrinter[] = u"Bench Printer";
constexpr size_t kRestartBytes = size_t(64) << 20;

/* A fresh machine with one printer, the engine's job started on a handle, and a channel open on it. */
struct Machine {
    std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("tarvel-bench-output-" + std::to_string(::getpid()));
    HANDLE printer = nullptr;
    DWORD job = 0;
    OutputChannel *channel = nullptr;

    Machine()
    {
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        OUT_SetTestSink(nullptr);
        plat::SpoolDriver d;
        d.name = u"Bench Driver";
        d.driver_file = u"tarvelgr.dll";
        plat::spool_add_driver(d);
        plat::SpoolPrinter p;
        p.name = kPrinter;
        p.driver = d.name;
        plat::spool_add_printer(p);
        OpenPrinterW(kPrinter, &printer, nullptr);
        startJob();
        channel = OUT_CreateChannel(nullptr);
        OUT_OpenOnPrinter(channel, printer);
    }
    ~Machine()
    {
        OUT_FreeChannel(channel);
        endJob();
        ClosePrinter(printer);
        plat::machine_reset(root.string());
        std::filesystem::remove_all(root);
    }
    void startJob()
    {
        WCHAR doc[] = u"bench";
        DOC_INFO_1W info{doc, nullptr, nullptr};
        job = StartDocPrinterW(printer, 1, reinterpret_cast<BYTE *>(&info));
    }
    void endJob()
    {
        EndDocPrinter(printer);
        plat::spool_delete_job(job);
    }
};

/* Seeded piece sizes of 1 to 16 bytes. */
std::vector<DWORD> pieceSizes()
{
    std::mt19937 rng(7);
    std::vector<DWORD> sizes(4096);
    for (auto &n : sizes)
        n = 1 + rng() % 16;
    return sizes;
}

/* Runs the write loop; `restart` starts the target afresh every kRestartBytes. */
template <typename Restart>
void writePieces(benchmark::State &state, OutputChannel *ch, Restart restart)
{
    std::vector<DWORD> sizes = pieceSizes();
    BYTE data[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    size_t i = 0, total = 0, sinceRestart = 0;
    for (auto _ : state) {
        for (int round = 0; round < 256; round++, i++) {
            DWORD n = sizes[i & 4095];
            if (OUT_Write(ch, n, data) != LONG(n)) {
                state.SkipWithError("OUT_Write failed");
                return;
            }
            total += n;
            sinceRestart += n;
        }
        if (sinceRestart >= kRestartBytes) {
            state.PauseTiming();
            OUT_Flush(ch);
            restart();
            sinceRestart = 0;
            state.ResumeTiming();
        }
    }
    OUT_Flush(ch);
    state.SetBytesProcessed(int64_t(total));
}

void BM_OutWrite_Spooler(benchmark::State &state)
{
    Machine m;
    writePieces(state, m.channel, [&m] {
        m.endJob();
        m.startJob();
    });
}
BENCHMARK(BM_OutWrite_Spooler);

void BM_OutWrite_Record(benchmark::State &state)
{
    Machine m;
    OUT_BeginRecording(m.channel, 0, 16, 16);
    OUT_SetMode(m.channel, OUT_MODE_RECORD);
    writePieces(state, m.channel, [&m] {
        OUT_SetMode(m.channel, OUT_MODE_PRINTER);
        OUT_EndRecording(m.channel);
        OUT_BeginRecording(m.channel, 0, 16, 16);
        OUT_SetMode(m.channel, OUT_MODE_RECORD);
    });
    OUT_SetMode(m.channel, OUT_MODE_PRINTER);
    OUT_EndRecording(m.channel);
}
BENCHMARK(BM_OutWrite_Record);

} // namespace
