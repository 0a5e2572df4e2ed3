/*
 * The device blocks of a job (see doc_events.h): the printer's device
 * settings (the extension block behind the driver devmode) loaded into a
 * job's settings image from the hand-over file, the chosen store or the
 * model's defaults.
 */
#include "doc_events.h"

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/pdt_blob.h>

#include <plat/text.h>

#include <cstring>

namespace {

enum : WORD {
    S_HANDOVER_FILE = 374, /* a file holding the device blocks */
    S_BLOCK_STORE = 439,   /* 1: the user's per-printer key; otherwise the printer data */
};

/* A pipe name is not a hand-over file. */
constexpr char16_t kPipePrefix[] = u"\\\\.\\pipe\\";

/* The hand-over file's name into `name` (empty when there is none or it is a pipe). */
void handover_file(BYTE *image, BYTE *printerData, WCHAR (&name)[DOC_NAME_CHARS])
{
    name[0] = 0;
    auto text = reinterpret_cast<const BYTE *>(uintptr_t(DMB_GetTypedValue(image, printerData, S_HANDOVER_FILE,
                                                                           SVT_WSTRING)));
    if (!text)
        return;
    int n = 0;
    for (; n < DOC_NAME_CHARS - 1; n++) {
        WCHAR c = 0;
        std::memcpy(&c, text + 2 * size_t(n), sizeof c); /* the string may lie at an odd offset */
        if (c == 0)
            break;
        name[n] = c;
    }
    name[n] = 0;
    const int prefix = int(std::size(kPipePrefix)) - 1;
    if (n >= prefix) {
        WCHAR head[std::size(kPipePrefix)] = {};
        std::memcpy(head, name, sizeof(WCHAR) * size_t(prefix));
        if (lstrcmpiW(head, kPipePrefix) == 0)
            name[0] = 0;
    }
}

} // namespace

int DOC_LoadDeviceBlocks(HANDLE printer, ModelContext *context, BYTE *image, BYTE *printerData)
{
    if (!image)
        return -1;
    BYTE *extension = image + DOC_DRIVER_DEVMODE_SIZE;
    WCHAR file[DOC_NAME_CHARS];
    handover_file(image, printerData, file);
    if (file[0] && PDT_LoadDeviceBlobs(printer, context, file, PDT_STORE_PRINTER, nullptr, nullptr, extension,
                                       nullptr, nullptr))
        return 1;
    const int store = DOC_GetNumber(image, printerData, S_BLOCK_STORE) == 1 ? PDT_STORE_USER
                                                                                             : PDT_STORE_PRINTER;
    if (PDT_LoadDeviceBlobs(printer, context, nullptr, store, nullptr, nullptr, extension, nullptr, nullptr))
        return 1;
    return PDT_BuildDefaultExtension(printer, extension) ? 1 : -1;
}
