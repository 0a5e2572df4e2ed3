// Fuzzing the form reader: any bytes are read as a form file, once only
// scanned and once converted (1,200 dpi, turned) into a counting sink.  The
// conversion never changes a token's length, so an accepted form must come
// out exactly as long as it went in, and both runs must agree.
#include "form_overlay.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

struct Memory {
    const uint8_t *data;
    size_t size;
    size_t at;
};

BOOL memory_source(void *context, void *buffer, DWORD n, DWORD *got)
{
    auto *m = static_cast<Memory *>(context);
    size_t k = std::min<size_t>(n, m->size - m->at);
    std::memcpy(buffer, m->data + m->at, k);
    m->at += k;
    *got = DWORD(k);
    return TRUE;
}

int counting_sink(void *context, const void *, DWORD n)
{
    *static_cast<uint64_t *>(context) += n;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FormReader reader; /* large: not on the stack */
    FormScan scanned{}, converted{};

    Memory m{data, size, 0};
    OVL_InitFormReader(&reader, memory_source, &m);
    const FormConversion plain{0, 0, FALSE, 0, 0};
    const int a = OVL_ConvertForm(&reader, &plain, &scanned, nullptr, nullptr);

    m.at = 0;
    OVL_InitFormReader(&reader, memory_source, &m);
    const FormConversion turned{1200, 1200, TRUE, 9920, 14032};
    uint64_t out = 0;
    const int b = OVL_ConvertForm(&reader, &turned, &converted, counting_sink, &out);

    if (a != b)
        std::abort();
    if (a == 1 && (scanned.size != size || out != size || converted.colorMode != scanned.colorMode))
        std::abort();
    return 0;
}
