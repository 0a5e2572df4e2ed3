/*
 * Benchmarks of the constraint engine on a printer of the standard colour
 * model with its default settings:
 * - one mode-1 evaluation with a value on the setting with the most rules
 *   (paper size 8, the custom size with four rules): target under 20 us;
 * - CNF_Evaluate in mode 1 for every option of every feature, the sweep a
 *   property page makes to grey out options: target under 10 us per
 *   evaluation on average.
 */
#include <tarvel/base/res_module.h>
#include <tarvel/constraints/cnf_engine.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>

#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

/* A machine folder with one printer of TARVEL1.DDD, the data manager bound; removed when the holder goes. */
struct Machine {
    std::string root;
    HANDLE printer = nullptr;
    ModelContext *ctx = nullptr;
    std::vector<BYTE> image = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    std::vector<BYTE> printerData = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);
    bool ok = false;
    Machine()
    {
        char tmpl[] = "/tmp/tarvel-bench-XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        root = tmpl;
        plat::machine_reset(root);
        RES_ResetForTest();
        DMB_ResetForTest();
        const std::string dir = TARVEL_DRIVER_DIR;
        plat::SpoolDriver d;
        d.name = u"Tarvel CX 1500";
        d.driver_file = u"tarvelgr.dll";
        d.config_file = u"tarvelui.dll";
        d.data_file = u"TARVEL1.DDD";
        d.link_files = {dir + "/TARVEL1.DDD", dir + "/TARVEL1.DDC", dir + "/libtarveldm.so", dir + "/tarvelrs.xrs"};
        plat::SpoolPrinter p;
        p.name = u"Bench";
        p.driver = d.name;
        if (plat::spool_add_driver(d) != ERROR_SUCCESS || plat::spool_add_printer(p) != ERROR_SUCCESS)
            return;
        RES_SetModulePathForTest((plat::spool_driver_dir() + u"\\tarvelui.dll").c_str());
        RES_AttachOwnStrings(plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths)));
        RES_InitModulePaths(nullptr, nullptr);
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (DMB_Load(RES_GetOwnModule()) != 1 || !OpenPrinterW(const_cast<LPWSTR>(u"Bench"), &printer, &defaults))
            return;
        ctx = MDL_Open(printer);
        ok = ctx && FID_InitDefaults(ctx, image.data(), printerData.data(), u"Bench");
    }
    ~Machine()
    {
        if (ctx)
            MDL_Close(ctx);
        if (printer)
            ClosePrinter(printer);
        DMB_Unload();
        if (!root.empty()) {
            std::string cmd = "rm -rf '" + root + "'";
            (void)std::system(cmd.c_str());
        }
    }
};

/* One option value to evaluate. */
struct Probe {
    WORD id;
    WORD type;
    ULONGLONG slot; /* the number, or the string pointer */
    std::u16string text;
};

/* Every option of every feature of the model, devices and documents. */
std::vector<Probe> every_option(ModelContext *ctx)
{
    std::vector<Probe> probes;
    for (WORD kind : {DDD_KIND_DEVICE_FEATURE, DDD_KIND_DOCUMENT_FEATURE}) {
        const WORD n = DDD_CountRecords(ctx->main, kind);
        for (WORD i = 1; i <= n; ++i) {
            ModelRecord *rec = nullptr;
            if (DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, ctx->main, ctx->companion, kind, i, &rec) != DDD_OK)
                continue;
            const WORD id = rec->id;
            const WORD options = reinterpret_cast<DddFeatureRecord *>(rec)->options.count;
            DDD_FreeRecord(&rec, -1);
            for (WORD o = 1; o <= options; ++o) {
                DddOptionDetails *details = nullptr;
                WORD reason = 0;
                if (!MDL_GetOption(ctx, id, o, &details, &reason))
                    continue;
                const void *value = nullptr;
                WORD type = 0;
                MDL_GetOptionFields(details, &value, nullptr, &type, nullptr);
                Probe p{id, type, 0, {}};
                if (type == 6 && value)
                    p.text = static_cast<LPCWSTR>(value);
                else if (value)
                    std::memcpy(&p.slot, value, 4);
                if (value)
                    probes.push_back(p);
                MDL_FreeOption(details);
            }
        }
    }
    return probes;
}

void BM_EvaluateMostRules(benchmark::State &state)
{
    Machine m;
    if (!m.ok) {
        state.SkipWithError("cannot install the standard model");
        return;
    }
    ChangeList *list = CNF_NewChangeList();
    const SHORT custom = 262;
    for (auto _ : state) {
        WORD *changed = nullptr;
        const WORD r = CNF_Evaluate(1, m.printer, m.ctx, m.image.data(), m.printerData.data(), nullptr, 8, 2, &custom,
                                    list, &changed, 0);
        if (r != 0) {
            state.SkipWithError("the evaluation failed");
            break;
        }
        GlobalFree(changed);
        CNF_ResetChangeList(list);
    }
    CNF_FreeChangeList(list);
}

void BM_EvaluateEveryOption(benchmark::State &state)
{
    Machine m;
    if (!m.ok) {
        state.SkipWithError("cannot install the standard model");
        return;
    }
    std::vector<Probe> probes = every_option(m.ctx);
    ChangeList *list = CNF_NewChangeList();
    size_t calls = 0, failed = 0;
    for (auto _ : state) {
        for (Probe &p : probes) {
            LPCWSTR text = p.text.c_str();
            const void *value = p.type == 6 ? static_cast<const void *>(&text) : &p.slot;
            const WORD r = CNF_Evaluate(1, m.printer, m.ctx, m.image.data(), m.printerData.data(), nullptr, p.id,
                                        p.type, value, list, nullptr, 0);
            failed += r != 0;
            CNF_ResetChangeList(list);
            ++calls;
        }
    }
    CNF_FreeChangeList(list);
    state.counters["options"] = static_cast<double>(probes.size());
    state.counters["failed"] = static_cast<double>(failed) / static_cast<double>(calls ? calls : 1);
    state.counters["per_call_us"] =
        benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_EvaluateMostRules)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluateEveryOption)->Unit(benchmark::kMillisecond);
