/*
 * The outside job-language library: the model data names it (model text 3),
 * it lies in the driver directory, and the header loads it on the first
 * insert that needs it and frees it when the header is done.  Its answers are
 * ANSI texts in buffers the caller sizes; the library need not terminate
 * them, so every answer is cut at the size it was given.
 */
#include "pjl_private.h"

#include <tarvel/base/res_module.h>

#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

/* The library's model text. */
constexpr WORD kLibraryText = 3;

/* Room for the driver directory (MAX_PATH characters) and the file name. */
constexpr size_t kPathChars = 2 * MAX_PATH + 1;

HMODULE loadLibrary(ModelFileReader *main)
{
    LPWSTR name = nullptr;
    if (DDD_GetModelText(main, kLibraryText, &name) != DDD_OK || !name)
        return nullptr;
    WCHAR path[kPathChars] = {};
    HMODULE module = nullptr;
    if (name[0] != 0 && RES_GetDriverDirectory(path, RES_DRIVER_DIR_BYTES) && path[0] != 0 &&
        plat::wlen(path) + plat::wlen(name) < kPathChars) {
        lstrcatW(path, name);
        /* Within the driver's activation context on Windows; the platform's do nothing. */
        module = LoadLibraryW(path);
    }
    DDD_FreeRecord(&name, 0);
    return module;
}

} // namespace

int PJL_GetLibraryEntry(JobHeaderContext *ctx, const char *name, FARPROC *entry)
{
    if (!ctx || !name || !entry)
        return 0;
    *entry = nullptr;
    if (!ctx->library)
        ctx->library = loadLibrary(ctx->main);
    if (!ctx->library)
        return 0;
    *entry = GetProcAddress(ctx->library, name);
    return *entry != nullptr;
}

void pjl_FreeLibrary(JobHeaderContext *ctx)
{
    if (ctx && ctx->library) {
        FreeLibrary(ctx->library);
        ctx->library = nullptr;
    }
}

LONG pjl_AppendLibraryAnswer(const JobHeaderContext *ctx, const char *answer, WORD size, PjlBuffer *out)
{
    char text[256] = {};
    size_t n = 0;
    while (n < size && n < sizeof text - 1 && answer[n] != 0)
        ++n;
    std::memcpy(text, answer, n);
    if (n == 0)
        return 0;
    if (!pjl_IsJobAttrForm(ctx))
        return PJL_AppendAnsiText(text, out);
    LONG head = pjl_AppendAll(out, {PJL_TEXT_JOBATTR, PJL_TEXT_QUOTE});
    if (head < 0)
        return head;
    LONG body = PJL_AppendAnsiText(text, out);
    if (body < 0)
        return body;
    LONG tail = PJL_AppendText(PJL_TEXT_QUOTE, out);
    return tail < 0 ? tail : head + body + tail;
}
