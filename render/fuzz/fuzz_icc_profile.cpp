// Fuzzing the ICC profile reader: any bytes go through the same reading as a
// profile file; a profile that loads is applied to a few pixels, so that
// whatever the reader accepted is also safe to run.
#include "icc_transform.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ColorTransform transform{};
    transform.status = ICC_STATUS_UNUSABLE;
    if (ICC_LoadProfileFromMemory(&transform, data, size) == ICC_OK) {
        BYTE pixels[4 * 3] = {0, 0, 0, 255, 255, 255, 17, 128, 240, 255, 0, 90};
        ICC_ApplyGridLut(&transform, pixels, pixels, 4);
    }
    ICC_FreeTransform(&transform);
    return 0;
}
