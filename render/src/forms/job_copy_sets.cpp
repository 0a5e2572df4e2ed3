/*
 * The copy-set settings of the sheet pipeline: the settings a copy-set job
 * takes with its copy-set data, carried over when a device context is
 * replaced inside a document.
 */
#include "sheet_pipeline.h"

#include <tarvel/settings/dmb_binding.h>

#include <array>

namespace {

/* 374 and 375 (the data file), 376 and 377 (sheet data and its kind), 379, 380 (data sets), 381 (no pages). */
constexpr std::array<WORD, 7> kCopySetSettings = {374, 375, 376, 377, 379, 380, 381};

} // namespace

int JOB_CopySetSettings(void *toSettings, void *fromSettings)
{
    if (!toSettings || !fromSettings)
        return -1;
    for (WORD id : kCopySetSettings) {
        WORD type = 0;
        LONG size = 0;
        alignas(8) BYTE slot[8] = {};
        /* numbers come in the slot; strings as a pointer in it, which is what the writer takes */
        if (DMB_GetValue(id, fromSettings, nullptr, &type, &size, slot) != 0 ||
            DMB_SetValue(id, toSettings, nullptr, type, size, slot) != 0)
            return -1;
    }
    return 0;
}
