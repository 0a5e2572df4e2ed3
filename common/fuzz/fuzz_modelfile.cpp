/*
 * Fuzz target of the model data file reader.  The input holds both files of
 * a pair: the main file's length (32-bit little-endian), the main file, then
 * the companion file (none when the input ends with the main file).  The
 * pair is opened through the same code as a file open (everything after the
 * file reads), then every header entry, the first records of every kind and
 * every accessor on them are walked, in the parse mode the length's top bit
 * chooses (clear: full, set: partial), so each input is parsed once.
 */
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

#include "fuzz_support.h"
#include "test_model_walk.h"

#include <cstddef>
#include <cstdint>

/*
 * The sanitizer's quarantine of freed blocks (256 MB by default) makes each
 * of this target's many small blocks a fresh page; a small one keeps the
 * use-after-free checks and the speed.  Allocation stacks of four frames
 * (30 by default) name the allocating call and cost far less per block.
 */
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=16:max_malloc_fill_size=0:malloc_context_size=4"; }

namespace {
constexpr WORD kRecordsPerKind = 2;
constexpr WORD kOptionsPerFeature = 4;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ModelFileReader main{};
    ModelFileReader comp{};
    if (fuzz_support::open_model_pair(data, size, &main, &comp) == DDD_OK) {
        /*
         * The records are bounded per kind so that one input cannot run for
         * long: records of one kind share their code, so the first few of
         * each reach it all.
         */
        const int mode = (data[3] & 0x80) ? DDD_PARSE_PARTIAL : DDD_PARSE_FULL;
        model_walk::walk_header(&main, &comp);
        model_walk::walk_records(mode, &main, &comp, kRecordsPerKind, kOptionsPerFeature);
        DDD_CloseFiles(&main, &comp);
    }
    return 0;
}
