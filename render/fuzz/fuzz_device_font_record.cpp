// Fuzzes the device-font record parser: a metrics block is checked, and a
// block that passes is built into the record shown to the engine, whose
// width cursor then answers codes; the same bytes also go to the width
// cursor directly (bounded by their size) and to the glyph-set resource
// conversion.  Nothing may read outside the input.
#include "draw_font.h"
#include "fnt_device_fonts.h"
#include "fnt_device_records.h"
#include "pdev_context.h"

#include <plat/engine.h>
#include <plat/memory.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    /* A copy of exactly the input's size, so any over-read is seen. */
    std::vector<BYTE> block(data, data + size);
    const BYTE *bytes = block.data();
    static const WORD codes[] = {0x00, 0x20, 0x41, 0x7F, 0xA5, 0xFF, 0x8140, 0x82A0, 0x889F, 0xEAA4, 0xFFFF};

    if (size > FNT_MET_ORIGIN) {
        FontMetricCursor cursor;
        if (FNT_OpenMetricTable(bytes + FNT_MET_ORIGIN, &cursor, DWORD(size - FNT_MET_ORIGIN)) == 0)
            for (WORD code : codes)
                FNT_GetCharWidth(&cursor, code);
    }

    if (FNT_CheckMetricsBlock(bytes, DWORD(size))) {
        auto pdev = std::make_unique<PdevContext>();
        std::memset(pdev.get(), 0, sizeof(PdevContext));
        pdev->headMagic = pdev->tailMagic = PDEV_MAGIC;
        pdev->heap = HeapCreate(0, 0, 0);
        if (!pdev->heap)
            return 0;
        DeviceFontEntry entry;
        FNT_FillDeviceFontEntry(&entry, bytes, DWORD(size), "Courier         ", 590);
        DeviceFontRecord *record =
            FNT_BuildDeviceFontRecord(pdev.get(), 1, reinterpret_cast<const DeviceFontMetrics *>(bytes), DWORD(size));
        if (record) {
            if (record->ifiOffset + FNT_RecordIfi(record)->cjThis > record->totalSize)
                std::abort();
            for (WORD code : codes)
                FNT_GetCharWidth(&record->cursor, code);
            FNT_FreeDeviceFontRecord(pdev.get(), record);
        }
        HeapDestroy(pdev->heap);
    }

    if (FD_GLYPHSET *set = FNT_ConvertGlyphSetResource(bytes, DWORD(size))) {
        volatile HGLYPH sink = 0;
        for (ULONG i = 0; i < set->cRuns; ++i)
            for (USHORT g = 0; g < set->awcrun[i].cGlyphs; ++g)
                sink = sink ^ set->awcrun[i].phg[g];
        EngFreeMem(set);
    }
    return 0;
}
