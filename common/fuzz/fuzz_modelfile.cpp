/*
 * Fuzz target of the model data file reader.  The input holds both files of
 * a pair: the main file's length (32-bit little-endian), the main file, then
 * the companion file (none when the input ends with the main file).  The
 * pair is opened through the same code as a file open (everything after the
 * file reads), then every header entry, every record of every kind in both
 * parse modes and every accessor is walked.
 */
#include <tarvel/model_file.h>
#include <tarvel/model_records.h>

#include "fuzz_support.h"
#include "test_model_walk.h"

#include <cstddef>
#include <cstdint>

/*
 * The sanitizer's quarantine of freed blocks (256 MB by default) makes each
 * of this target's many small blocks a fresh page; a small one keeps the
 * use-after-free checks and the speed.
 */
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=16:max_malloc_fill_size=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ModelFileReader main{};
    ModelFileReader comp{};
    if (fuzz_support::open_model_pair(data, size, &main, &comp) == DDD_OK) {
        /* The header reads the same in both modes; the records are bounded per kind so one input cannot run for long. */
        model_walk::walk_header(&main, &comp);
        model_walk::walk_records(DDD_PARSE_PARTIAL, &main, &comp, 16);
        model_walk::walk_records(DDD_PARSE_FULL, &main, &comp, 16);
        DDD_CloseFiles(&main, &comp);
    }
    return 0;
}
