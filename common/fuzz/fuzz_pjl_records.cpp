/*
 * Fuzz target of the job-language records of a model: the input is a model
 * pair as fuzz_modelfile reads it (the main file's length, 32-bit
 * little-endian, the main file, then the companion).  The pair is opened
 * from memory and a whole job header is sized and built from its records
 * (conditions, values, inserts), then the trailer and the end-of-job line,
 * each into a buffer of exactly the size asked, with the data manager bound
 * once so that settings are read as in a job.
 */
#include "fuzz_support.h"

#include <tarvel/base/res_module.h>
#include <tarvel/job_language/pjl_header.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/loader.h>
#include <plat/machine.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

/* A private machine, this program playing the rendering library in the driver directory, made once. */
void setup()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    static char root[] = "/tmp/tarvel-fuzz-pjl-XXXXXX";
    fuzz_support::private_machine(root);
    fuzz_support::play_rendering_library();
    DMB_Load(RES_GetOwnModule()); /* without it every setting read fails, which is a road too */
    /* Held for the whole run: a header loads the job-language library and frees it again, and an unloaded
       instrumented library would take its coverage counters with it. */
    LoadLibraryW(u"tarveljl.dll");
}

/* Runs a writer into a buffer of exactly `size` bytes (none for a negative or huge size). */
template <typename Write>
void into_buffer(LONG size, Write write)
{
    if (size <= 0 || size > (4 << 20))
        return;
    std::vector<char> buffer(static_cast<size_t>(size));
    write(buffer.data(), static_cast<DWORD>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    setup();
    ModelFileReader main{};
    ModelFileReader comp{};
    if (fuzz_support::open_model_pair(data, size, &main, &comp) != DDD_OK)
        return 0;
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    JobHeaderParams params{};
    params.settings = image.data();
    params.printerData = printerData.data();
    params.documentName = u"Fuzz document";
    params.insertFlag = 1;
    into_buffer(PJL_GetHeaderSize(&main, &comp, &params),
                [&](char *b, DWORD n) { PJL_BuildJobHeader(&main, &comp, &params, b, n); });
    into_buffer(PJL_GetTrailerSize(&main, &comp), [&](char *b, DWORD n) { PJL_WriteTrailer(&main, &comp, b, n); });
    into_buffer(PJL_GetEojSize(&main, &comp), [&](char *b, DWORD n) { PJL_WriteEojLine(&main, &comp, b, n); });
    DDD_CloseFiles(&main, &comp);
    return 0;
}
