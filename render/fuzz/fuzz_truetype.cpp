// Fuzzing the TrueType reader of the font download: any bytes are read as a
// font file (or a collection, whose member "Tiny" is looked for); a font
// that is accepted has its header and every glyph (with components) written
// to a stream that goes nowhere, so whatever the reader accepted is also
// safe to download.
#include "draw_font_download.h"
#include "fnt_download.h"
#include "output_channel.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

BOOL discard(HANDLE, const void *, DWORD length, DWORD *written)
{
    *written = length;
    return TRUE;
}

/* A device context whose channel writes nowhere, made once. */
PdevContext *context()
{
    static PdevContext *pdev = [] {
        OUT_SetTestSink(discard);
        auto *p = new PdevContext{};
        p->headMagic = p->tailMagic = PDEV_MAGIC;
        p->channel = OUT_CreateChannel(nullptr);
        OUT_OpenOnPrinter(p->channel, reinterpret_cast<HANDLE>(1));
        XL_InvalidateState(p);
        return p;
    }();
    return pdev;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* an exact copy, so that a read past the end is caught */
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    TrueTypeFontInfo info;
    if (FNT_ParseTrueTypeFile(size ? copy.get() : nullptr, DWORD(size), u"Tiny", &info) != TT_OK)
        return 0;
    PdevContext *pdev = context();
    if (FNT_EnsureFont(pdev, "F:OL", 590, 1, FONT_PATH_OUTLINE, &info) == 0) {
        const ULONG count = info.numGlyphs < 64 ? info.numGlyphs : 64;
        for (ULONG g = 0; g < count; g++)
            FNT_WriteTrueTypeGlyph(pdev, &info, g, WORD(g));
    }
    FNT_FreeDownloadedFonts(pdev);
    OUT_Flush(pdev->channel);
    return 0;
}
