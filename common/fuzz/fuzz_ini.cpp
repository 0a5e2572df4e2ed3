/*
 * Fuzz target of the configuration files: the per-model configuration file
 * with its devmode mapping section, and the trace switch file.  Each input is
 * taken one of two ways, by the parity of its size (so both stay in reach of
 * every mutation and each input is parsed once):
 * - odd: from memory, its lines (split at CR, LF and NUL, as UTF-8) as a
 *   section text, through the same parse steps the file path ends in
 *   (CFG_ParseSpecials, DME_ApplySection, the key searches);
 * - even: as the files themselves, "TARVEL1.cfg" and "tarvel.cfg" in the
 *   library's folder of a private machine, held in memory (the profile
 *   functions read them from there, so no input touches the disk), loaded
 *   as a model context and the trace switch load them.
 * Every answer is then queried and applied, with no data manager bound (so
 * writes fail as they would without one).
 */
#include "fuzz_support.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/model_data/cfg_model.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dme_mapping.h>

#include <plat/file.h>
#include <plat/handle.h>
#include <plat/ini.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char16_t *kCfg = u"C:\\Fuzz\\TARVEL1.cfg";
const char16_t *kSwitch = u"C:\\Fuzz\\tarvel.cfg";

/* A private machine with the library in C:\Fuzz, made once. */
void setup()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    static char root[] = "/tmp/tarvel-fuzz-ini-XXXXXX";
    fuzz_support::private_machine(root);
    CreateDirectoryW(u"C:\\Fuzz", nullptr);
    RES_ResetForTest();
    RES_SetModulePathForTest(u"C:\\Fuzz\\tarvelgr.dll");
    RES_InitModulePaths(nullptr, nullptr);
}

/* The input's lines as a section text: each line NUL-terminated, then one more NUL. */
std::u16string section_text(const uint8_t *data, size_t size)
{
    std::u16string text = plat::utf8_to_utf16(std::string_view(reinterpret_cast<const char *>(data), size));
    std::u16string block;
    std::u16string line;
    for (char16_t c : text) {
        if (c == u'\r' || c == u'\n' || c == 0) {
            if (!line.empty())
                block += line + u'\0';
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty())
        block += line + u'\0';
    block += u'\0';
    return block;
}

/* Asks a configuration record everything, and applies it to records without a data manager. */
void query_specials(const ModelSpecials *specials)
{
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE), printerData(SETTINGS_PRINTERDATA_SIZE);
    for (WORD id : {16, 270, 292, 320, 334, 4099, 4129, 4359, 5153}) {
        BYTE slot[8] = {};
        WORD flags = 0;
        CFG_GetSpecialValue(id, specials, slot, SVT_UINT16);
        CFG_GetSpecialFlags(id, specials, &flags);
        CFG_IsEnforced(id, specials);
    }
    CFG_ApplySpecials(specials, image.data(), printerData.data(), CFG_APPLY_ALL);
    CFG_ApplySpecials(specials, image.data(), printerData.data(), CFG_APPLY_ENFORCED);
}

void query_dme(const DmeDescription *dme)
{
    if (dme == nullptr)
        return;
    for (int i = 0; i < dme->itemCount; ++i)
        for (LONG v : {0, 1, 7, 11, 14, 257, -1}) {
            LONG driver = 0;
            DME_MapToDriverValue(&dme->items[i], v, &driver);
        }
    DWORD fields = 0;
    DME_ComputeFields(dme, 0x1FF13, 1, &fields);
    DME_ComputeFields(dme, 0, 0, &fields);
    SHORT v = 0;
    DME_GetMerge(dme, 3, &v);
    DME_GetMode(dme, 2, &v);
    DME_IsFormsMergeMode(dme);
}

/* The input's lines as a section text. */
void take_as_section(const uint8_t *data, size_t size)
{
    const std::u16string block = section_text(data, size);
    ModelSpecials *specials = CFG_ParseSpecials(block.c_str());
    query_specials(specials);
    CFG_FreeSpecials(specials);
    DmeDescription *dme = DME_BuildBuiltIn();
    if (dme != nullptr && DME_ApplySection(dme, block.c_str()))
        query_dme(dme);
    DME_Free(dme);
    WCHAR value[CFG_VALUE_CHARS];
    CFG_FindKeyValue(block.c_str(), u"COMMENT=", value);
    LPWSTR copy = nullptr;
    for (int line = 0; (line = CFG_FindNthKeyValue(line + 1, 0, block.c_str(), u"LOGOUT.DDMID=", &copy)) != 0;) {
        GlobalFree(copy);
        copy = nullptr;
    }
}

/* The input as the configuration file and the trace switch file. */
void take_as_files(const uint8_t *data, size_t size)
{
    plat::ini_set_memory_file(kCfg, data, size);
    plat::ini_set_memory_file(kSwitch, data, size);
    ModelSpecials *specials = CFG_LoadSpecials(u"Tarvel CX 1500", kCfg);
    query_specials(specials);
    CFG_FreeSpecials(specials);
    if (LPWSTR comment = CFG_GetComment(u"Model-X 1/2", kCfg))
        GlobalFree(comment);
    DmeDescription *dme = DME_Load(kCfg, 1);
    query_dme(dme);
    DME_Free(dme);
    /* CFG_LoadSpecials has reloaded the trace switch from this input. */
    WORD ids[LOG_MAX_EXTRA_IDS];
    LOG_GetExtraIds(ids, LOG_MAX_EXTRA_IDS);
}

} // namespace

/*
 * The sanitizer's quarantine of freed blocks (256 MB by default) makes each
 * of this target's many small blocks a fresh page; a small one keeps the
 * use-after-free checks and the speed.  Allocation stacks of four frames
 * (30 by default) name the allocating call and cost far less per block.
 */
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=16:max_malloc_fill_size=0:malloc_context_size=4";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setup();
    if (size % 2)
        take_as_section(data, size);
    else
        take_as_files(data, size);
    return 0;
}
