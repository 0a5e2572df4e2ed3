// Fuzzes the device ID: the model match, the supported model's field walk
// (manufacturer, model, command languages, status block) and another
// device's, on a fresh port each time.
#include "fuzz_port.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzPort fp;
    if (!fp.port)
        return 0;
    const std::string text = fuzz_text(data, size);
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back(0);
    LMS_MatchModel(fp.port, copy.data());
    LMS_ParseDeviceId(text.c_str(), fp.port);
    LMS_ParseForeignDeviceId(text.c_str(), fp.port);
    DWORD size32 = 0;
    char value[256];
    LMP_AnswerLmValue(u"LM_InputTray", value, sizeof value, &size32);
    return 0;
}
