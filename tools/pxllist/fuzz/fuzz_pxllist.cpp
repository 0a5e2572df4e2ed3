/*
 * libFuzzer target of the job lister: lists the input as a job and as the
 * data of a user stream, and formats every record, with a small bound on the
 * decompressed image bytes so that each input runs quickly.
 */
#include <cstddef>
#include <cstdint>
#include <span>

#include "pxllist/pxllist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  for (bool body : {false, true}) {
    pxllist::Options options;
    options.stream_body = body;
    options.max_decoded_bytes = 4u << 20;
    pxllist::Listing listing;
    const bool ok = pxllist::ListJob(input, options, &listing);
    size_t text = 0;
    for (const pxllist::Record &r : listing.records) text += pxllist::FormatRecord(r).size();
    if (!ok) text += pxllist::FormatError(listing.error).size();
    if (text == 0 && size > 0 && ok) __builtin_trap();  // a non-empty well-formed input lists something
  }
  return 0;
}
