/*
 * Fuzz target of the document-property file split: any bytes as the file's
 * image, split into buffers of every block's largest size and into short
 * ones (which only ask for the sizes).
 */
#include "dma_internal.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<BYTE> image(data, data + size); /* exactly the input's bytes */
    std::vector<BYTE> ext(size), job(size), fax(size);
    DmaDocPropBuffers whole = {{ext.data(), DWORD(size)}, {job.data(), DWORD(size)}, {fax.data(), DWORD(size)}};
    dma_SplitDocPropImage(image.data(), image.size(), &whole);
    BYTE one[1];
    DmaDocPropBuffers tiny = {{one, 1}, {one, 1}, {nullptr, 0}};
    dma_SplitDocPropImage(image.data(), image.size(), &tiny);
    return 0;
}
