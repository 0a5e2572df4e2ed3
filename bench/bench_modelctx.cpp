/*
 * Benchmarks of the model context, on a printer of the standard colour
 * printer installed in a temporary machine folder:
 * - MDL_GetDefaultValue over every feature of the model (devices and
 *   documents), per call: target under 5 us on average;
 * - MDL_Open plus MDL_Close: target under 1 ms.
 */
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/model_data/paper_rules.h>

#include <plat/machine.h>
#include <plat/spooler.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

/* A machine folder with one printer of TARVEL1.DDD; removed when the holder goes. */
struct Machine {
    std::string root;
    HANDLE printer = nullptr;
    bool ok = false;
    Machine()
    {
        char tmpl[] = "/tmp/tarvel-bench-XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        root = tmpl;
        plat::machine_reset(root);
        plat::SpoolDriver d;
        d.name = u"Tarvel CX 1500";
        d.driver_file = u"tarvelgr.dll";
        d.data_file = u"TARVEL1.DDD";
        d.link_files = {std::string(TARVEL_DRIVER_DIR) + "/TARVEL1.DDD",
                        std::string(TARVEL_DRIVER_DIR) + "/TARVEL1.DDC"};
        plat::SpoolPrinter p;
        p.name = u"Bench";
        p.driver = d.name;
        ok = plat::spool_add_driver(d) == ERROR_SUCCESS && plat::spool_add_printer(p) == ERROR_SUCCESS &&
             OpenPrinterW(u"Bench", &printer, nullptr);
    }
    ~Machine()
    {
        if (printer)
            ClosePrinter(printer);
        if (!root.empty()) {
            std::string cmd = "rm -rf '" + root + "'";
            (void)std::system(cmd.c_str());
        }
    }
};

/* The identifiers of every feature of the model, devices and documents. */
std::vector<WORD> feature_ids(ModelContext *ctx)
{
    std::vector<WORD> ids;
    for (WORD kind : {DDD_KIND_DEVICE_FEATURE, DDD_KIND_DOCUMENT_FEATURE}) {
        WORD n = DDD_CountRecords(ctx->main, kind);
        for (WORD i = 1; i <= n; ++i) {
            ModelRecord *rec = nullptr;
            if (DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, ctx->main, ctx->companion, kind, i, &rec) == DDD_OK) {
                ids.push_back(rec->id);
                DDD_FreeRecord(&rec, -1);
            }
        }
    }
    return ids;
}

void BM_DefaultOfEveryFeature(benchmark::State &state)
{
    Machine machine;
    ModelContext *ctx = machine.ok ? MDL_Open(machine.printer) : nullptr;
    if (!ctx) {
        state.SkipWithError("cannot open the standard model");
        return;
    }
    utl_ResetLocaleCachesForTest();
    const std::vector<WORD> ids = feature_ids(ctx);
    size_t calls = 0, answered = 0;
    for (auto _ : state) {
        for (WORD id : ids) {
            ULONG_PTR value = 0;
            WORD type = 0, reason = 0;
            if (MDL_GetDefaultValue(ctx, id, &value, &type, &reason)) {
                ++answered;
                MDL_FreeValue(value, type);
            }
            benchmark::DoNotOptimize(value);
            ++calls;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(calls));
    state.counters["features"] = static_cast<double>(ids.size());
    state.counters["per_call_us"] =
        benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["answered"] = static_cast<double>(answered) / static_cast<double>(calls ? calls : 1);
    MDL_Close(ctx);
}

void BM_OpenClose(benchmark::State &state)
{
    Machine machine;
    if (!machine.ok) {
        state.SkipWithError("cannot install the standard model");
        return;
    }
    for (auto _ : state) {
        ModelContext *ctx = MDL_Open(machine.printer);
        if (!ctx) {
            state.SkipWithError("cannot open the standard model");
            break;
        }
        MDL_Close(ctx);
    }
}

BENCHMARK(BM_DefaultOfEveryFeature)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenClose)->Unit(benchmark::kMicrosecond);

} // namespace
