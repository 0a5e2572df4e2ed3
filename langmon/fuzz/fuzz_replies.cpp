// Fuzzes the PJL reply parser as the port layer feeds it: the text in two
// reads split where the first byte says, an unfinished reply held and put
// in front of the next read, every answer checked to make progress.
#include "fuzz_port.h"

#include <cstdlib>

namespace {

/* Feeds text; the unfinished rest is returned. */
std::string feed(MonitorPort *port, const std::string &text)
{
    const char *cursor = text.c_str();
    while (*cursor) {
        const char *before = cursor;
        const int answer = LMS_FeedReply(text.c_str(), &cursor, port, (text.size() & 1) ? TRUE : FALSE, nullptr);
        if (cursor < text.c_str() || cursor > text.c_str() + text.size())
            std::abort();
        if (answer == 1)
            return cursor;
        if (answer == 2 || cursor == before)
            break;
    }
    return std::string();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    FuzzPort fp;
    if (!fp.port)
        return 0;
    LMJ_QueueJob(41, fp.port);
    LMJ_SetQueuedJobText("0341424300004721000012AB", 1, fp.port);
    const std::string text = fuzz_text(data + 1, size - 1);
    const size_t at = text.empty() ? 0 : data[0] % (text.size() + 1);
    const std::string held = feed(fp.port, text.substr(0, at));
    feed(fp.port, held + text.substr(at));
    return 0;
}
