/*
 * Benchmarks of the configuration files and of reading a whole model pair,
 * the work the configuration and model-data fuzz targets repeat per input:
 * - a profile file of 200 sections of 20 keys on the machine's disk, one
 *   key looked up per call (the file is read each call; its parse is kept
 *   while its bytes stay the same);
 * - the per-model configuration (CFG_LoadSpecials) and the devmode mapping
 *   (DME_Load) of a configuration file that sets every feature and every
 *   mapped value;
 * - the standard colour printer's pair opened from memory and walked whole
 *   (every header entry, every record of every kind in both parse modes,
 *   every accessor), as the model-data fuzz target walks its inputs.
 */
#include <tarvel/base/res_module.h>
#include <tarvel/model_data/cfg_model.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/settings/dme_mapping.h>

#include <plat/file.h>
#include <plat/ini.h>
#include <plat/machine.h>

#include "test_model_walk.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

/* A machine in a temporary folder, removed when the holder goes. */
struct Machine {
    std::string root;
    Machine()
    {
        char tmpl[] = "/tmp/tarvel-bench-XXXXXX";
        if (!mkdtemp(tmpl))
            return;
        root = tmpl;
        plat::machine_reset(root);
    }
    ~Machine()
    {
        if (!root.empty()) {
            std::string cmd = "rm -rf '" + root + "'";
            (void)std::system(cmd.c_str());
        }
    }
};

/* Writes a file of the machine by its Windows path; false when it cannot. */
bool write_file(const char16_t *win, const std::string &bytes)
{
    std::string real;
    if (!plat::map_path(win, real))
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(real).parent_path(), ec);
    std::ofstream out(real, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out);
}

void BM_ProfileLookup(benchmark::State &state)
{
    Machine machine;
    std::string text;
    for (int s = 0; s < 200; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 20; ++k)
            text += "Key" + std::to_string(k) + " = value " + std::to_string(s * 20 + k) + "\r\n";
    }
    if (!write_file(u"C:\\Bench\\big.ini", text)) {
        state.SkipWithError("the profile file cannot be written");
        return;
    }
    WCHAR value[64];
    int n = 0;
    for (auto _ : state) {
        const std::string number = std::to_string(n * 37 % 200);
        const std::u16string section = u"section" + std::u16string(number.begin(), number.end());
        if (GetPrivateProfileStringW(section.c_str(), u"KEY13", u"", value, 64, u"C:\\Bench\\big.ini") == 0) {
            state.SkipWithError("the key is not found");
            break;
        }
        benchmark::DoNotOptimize(value[0]);
        ++n;
    }
    state.SetItemsProcessed(state.iterations());
}

/* A configuration file that sets every feature of the model's section and every mapped value. */
std::string full_config()
{
    static const char *kFeatures[] = {"Special1", "ColorMode", "JobType", "duplex", "banner", "staple", "punch",
                                      "fonttype", "font_subst", "AccountMode", "popup_admin", "popup_user",
                                      "Option_HiCapacityTray", "Option_SideTray", "Option_Duplex",
                                      "Option_HardDisk", "Option_Finisher"};
    std::string t = "[Bench_Model]\r\nCOMMENT=bench\r\n";
    for (const char *f : kFeatures)
        t += std::string(f) + ".default=1\r\n" + f + ".display=show\r\n";
    t += "USE_SPECIAL1=on\r\nMONOCOLOR_PRINT=off\r\n[DME,1]\r\nformdb.mode=1\r\n";
    for (const char *item : {"collate", "resolution", "bin", "media"})
        t += std::string(item) + ".merge=1\r\n" + item + ".default=0\r\n";
    for (int i = 0; i < 20; ++i)
        t += "bin.TRAY" + std::to_string(i % 4 + 1) + "=" + std::to_string(300 + i) + "\r\n";
    for (int i = 0; i < 9; ++i)
        t += "media.PAPER_DEFINE" + std::to_string(i % 5 + 1) + "=" + std::to_string(400 + i) + "\r\n";
    return t;
}

void BM_ModelConfiguration(benchmark::State &state)
{
    Machine machine;
    RES_ResetForTest();
    RES_SetModulePathForTest(u"C:\\Bench\\tarvelgr.dll");
    RES_InitModulePaths(nullptr, nullptr);
    if (!write_file(u"C:\\Bench\\BENCH.cfg", full_config())) {
        state.SkipWithError("the configuration file cannot be written");
        return;
    }
    for (auto _ : state) {
        ModelSpecials *specials = CFG_LoadSpecials(u"Bench Model", u"C:\\Bench\\BENCH.cfg");
        DmeDescription *dme = DME_Load(u"C:\\Bench\\BENCH.cfg", 1);
        if (!specials || !dme) {
            state.SkipWithError(!specials ? "the model configuration cannot be loaded"
                                          : "the devmode mapping cannot be loaded");
            break;
        }
        CFG_FreeSpecials(specials);
        DME_Free(dme);
    }
}

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void BM_WalkModelPair(benchmark::State &state)
{
    Machine machine;
    const std::string mainFile = read_file(std::string(TARVEL_DRIVER_DIR) + "/TARVEL1.DDD");
    const std::string companion = read_file(std::string(TARVEL_DRIVER_DIR) + "/TARVEL1.DDC");
    if (mainFile.empty() || companion.empty()) {
        state.SkipWithError("no TARVEL1 pair in the driver directory");
        return;
    }
    unsigned records = 0;
    for (auto _ : state) {
        ModelFileReader main{}, comp{};
        if (ddd_OpenModelMemory(u"C:\\DRIVER\\TARVEL1.DDD", reinterpret_cast<const BYTE *>(mainFile.data()),
                                mainFile.size(), reinterpret_cast<const BYTE *>(companion.data()), companion.size(),
                                &main, &comp) != DDD_OK) {
            state.SkipWithError("the pair cannot be opened");
            break;
        }
        records = model_walk::walk(DDD_PARSE_PARTIAL, &main, &comp).parsed;
        records += model_walk::walk(DDD_PARSE_FULL, &main, &comp).parsed;
        DDD_CloseFiles(&main, &comp);
    }
    state.counters["records"] = records;
}

BENCHMARK(BM_ProfileLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ModelConfiguration)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WalkModelPair)->Unit(benchmark::kMicrosecond);

} // namespace
