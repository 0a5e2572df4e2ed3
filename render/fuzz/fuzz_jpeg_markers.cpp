// Fuzzes the JPEG marker scan the pass-through runs over an application's
// file: it must stay inside the data, and a component count it reports
// must be the byte nine places after a frame marker it walked to.
#include "esc_ext.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const DWORD length = size > 0xFFFFFF ? 0xFFFFFF : DWORD(size);
    const int count = ESC_JpegComponents(data, length);
    if (count == 0 || count > 255)
        std::abort();
    const int colour = ESC_JpegIsColour(data, length);
    if ((count < 0) != (colour < 0) || (count > 1) != (colour == 1))
        std::abort();
    for (DWORD from = 0; from < length && from < 64; from++) {
        const LONG at = ESC_FindMarker(data, length, from);
        if (at >= 0 && (DWORD(at) < from || DWORD(at) + 1 >= length || data[at] != 0xFF || data[at + 1] == 0 ||
                        data[at + 1] == 0xFF))
            std::abort();
    }
    return 0;
}
