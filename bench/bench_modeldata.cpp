/*
 * Benchmark of the model data reader: open the standard colour printer's
 * pair from the driver directory, parse every record of every kind by
 * number in full mode, free each, close.  Target: under 1 ms.
 */
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

#include <plat/machine.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

void BM_OpenParseAllClose(benchmark::State &state)
{
    char tmpl[] = "/tmp/tarvel-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    plat::machine_reset(tmpl);
    plat::machine_mount(u"C:\\TARVEL\\DRIVER", TARVEL_DRIVER_DIR);
    unsigned records = 0;
    for (auto _ : state) {
        ModelFileReader main{}, companion{};
        if (DDD_OpenModelFile(u"C:\\TARVEL\\DRIVER\\TARVEL1.DDD", &main, &companion) != DDD_OK) {
            state.SkipWithError("cannot open TARVEL1.DDD");
            break;
        }
        records = 0;
        for (WORD kind : kDddDirectoryKinds) {
            WORD n = DDD_CountRecords(&main, kind);
            for (WORD i = 1; i <= n; ++i) {
                ModelRecord *rec = nullptr;
                if (DDD_GetRecordByIndex(DDD_PARSE_FULL, &main, &companion, kind, i, &rec) == DDD_OK) {
                    ++records;
                    DDD_FreeRecord(&rec, -1);
                }
            }
        }
        DDD_CloseFiles(&main, &companion);
    }
    state.counters["records"] = records;
    std::string cmd = std::string("rm -rf '") + tmpl + "'";
    (void)std::system(cmd.c_str());
}

BENCHMARK(BM_OpenParseAllClose)->Unit(benchmark::kMicrosecond);

} // namespace
