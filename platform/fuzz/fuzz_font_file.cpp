/*
 * Fuzz target of the engine's font files: any bytes as a font file either
 * make a font whose metrics, strings, glyph images and file bytes can be
 * asked for, or are refused with a status.  Never a crash, an overrun or a
 * hang.
 */
#include <plat/engine_fonts.h>
#include <plat/machine.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = [] {
        plat::machine_reset("/tmp/tarvel-fuzz-font");
        return plat::machine_root() + "/font.ttf";
    }();
    {
        /* A new file each time (not the old one cut and rewritten), as a font folder changes. */
        std::remove(path.c_str());
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), std::streamsize(size));
    }
    for (ULONG face = 0; face < 2; face++) {
        plat::TrueTypeFontSpec spec;
        spec.file = path;
        spec.faceIndex = face;
        spec.height = -40;
        spec.escapement = 300;
        spec.weight = 700;
        spec.italic = true;
        FONTOBJ *fo = plat::engine_open_truetype_font(spec);
        if (!fo)
            continue;
        IFIMETRICS *ifi = FONTOBJ_pifi(fo);
        ULONG cj = 0;
        const BYTE *bytes = static_cast<const BYTE *>(FONTOBJ_pvTrueTypeFontFile(fo, &cj));
        if (!ifi || !bytes || cj != size)
            __builtin_trap();
        plat::TextOptions options;
        options.glyphBits = true;
        STROBJ *so = plat::engine_make_text(fo, reinterpret_cast<LPCWSTR>(u"Ag\u00e9"), 3, POINTL{0, 0}, options);
        plat::engine_free_text(so);
        for (HGLYPH hg = 0; hg < 4; hg++) {
            PVOID pv = nullptr;
            FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 1, &hg, &pv);
        }
        plat::engine_free_font(fo);
    }
    return 0;
}
