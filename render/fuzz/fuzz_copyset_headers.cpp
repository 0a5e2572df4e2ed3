// Fuzzes the copy-set header escape and the data-block escapes on a bare
// device context: a table the escape keeps must pass the header writer's
// check, and every slot text and position must lie inside its slot.
#include "esc_job_data.h"
#include "job_header.h"
#include "pdev_context.h"

#include <plat/memory.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto pdev = std::make_unique<PdevContext>();
    std::memset(pdev.get(), 0, sizeof(PdevContext));
    pdev->heap = HeapCreate(0, 0, 0);
    if (!pdev->heap)
        return 0;
    ESC_SetCopySetHeaders(pdev.get(), ULONG(size), data);
    if (const auto *table = static_cast<const CopySetHeaderTable *>(pdev->copySetHeaders)) {
        if (!JOB_CheckCopySetHeaders(table))
            std::abort();
        volatile BYTE sink = 0;
        for (DWORD i = 0; i < table->count; i++) {
            const BYTE *slot = table->slots + size_t(i) * table->slotSize;
            DWORD length = plat::load_u32(slot, 0);
            for (DWORD b = 0; b < length; b++)
                sink = BYTE(sink ^ slot[4 + b]);
            DWORD positions[3] = {table->bookletPositions[i], table->iwaSide2StartPositions[i],
                                  table->hcpnPositions[i]};
            for (DWORD p : positions)
                if (p != 0 && p >= length)
                    std::abort();
        }
    }
    ESC_SetDataBlock(pdev.get(), ESC_SET_COPYSET_RECORDS, ULONG(size), data);
    DWORD extSize = 0;
    WORD code = 0;
    ESC_GetExtData(pdev.get(), 2, &code, 4, &extSize);
    ESC_FreeJobData(pdev.get());
    HeapDestroy(pdev->heap);
    return 0;
}
