// Fuzzes the bitmap file reader: a bitmap it accepts must hold its header,
// colour table and masks and a pixel area of at least |height| rows of the
// header's width, all of which are read here.
#include "prv_dib_file.h"

#include <plat/memory.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    BYTE *dib = nullptr;
    const UINT failure = PRV_ParseDib(data, size, &dib);
    if (failure != 0) {
        if (dib)
            std::abort();
        return 0;
    }
    BITMAPINFOHEADER h{};
    if (!dib || !PRV_ReadDibHeader(dib, &h))
        std::abort();
    const size_t head = sizeof h + PRV_GetDibColorTableSize(&h);
    const ULONGLONG rows = PRV_DibRowBytes(&h);
    const ULONGLONG area = h.biSizeImage > rows ? h.biSizeImage : rows;
    volatile BYTE sink = 0;
    for (size_t i = 0; i < head + area; i++)
        sink = BYTE(sink ^ dib[i]);
    GlobalFree(dib);
    return 0;
}
