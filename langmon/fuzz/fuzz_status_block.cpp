// Fuzzes the "STS:" decoder and, when it accepts the text, spreading the
// block over the status values; the input is also taken as a raw block.
#include "fuzz_port.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzPort fp;
    if (!fp.port)
        return 0;
    const std::string text = fuzz_text(data, size);
    DeviceStatusBlock block;
    if (LMS_DecodeStatusField(text.c_str(), &block))
        LMS_ApplyStatusBlock(&block, fp.port);
    DeviceStatusBlock raw{};
    std::memcpy(raw.bytes, data, size < LM_STATUS_BLOCK_FILLED ? size : LM_STATUS_BLOCK_FILLED);
    if (size > 0 && (data[0] & 1))
        LMJ_QueueJob(7, fp.port);
    LMS_ApplyStatusBlock(&raw, fp.port);
    return 0;
}
