/*
 * The engine's fonts (see plat/engine_fonts.h).  Not built yet: every
 * service fails visibly until the FreeType-backed fonts land.
 */
#include <plat/engine_fonts.h>
#include <plat/error.h>

namespace {

template <typename T> T notBuilt(T answer)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return answer;
}

} // namespace

IFIMETRICS *FONTOBJ_pifi(FONTOBJ *) { return notBuilt<IFIMETRICS *>(nullptr); }
XFORMOBJ *FONTOBJ_pxoGetXform(FONTOBJ *) { return notBuilt<XFORMOBJ *>(nullptr); }
ULONG FONTOBJ_cGetGlyphs(FONTOBJ *, ULONG, ULONG, HGLYPH *, PVOID *) { return notBuilt<ULONG>(0); }
PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ *, ULONG *pcjFile)
{
    if (pcjFile)
        *pcjFile = 0;
    return notBuilt<PVOID>(nullptr);
}
int EnumFontFamiliesW(HDC, LPCWSTR, FONTENUMPROCW, LPARAM) { return notBuilt(0); }

namespace plat {

FONTOBJ *engine_open_truetype_font(const TrueTypeFontSpec &) { return notBuilt<FONTOBJ *>(nullptr); }
FONTOBJ *engine_make_device_font(const DeviceFontSpec &) { return notBuilt<FONTOBJ *>(nullptr); }
void engine_free_font(FONTOBJ *) {}
STROBJ *engine_make_text(FONTOBJ *, LPCWSTR, ULONG, POINTL, const TextOptions &) { return notBuilt<STROBJ *>(nullptr); }
void engine_free_text(STROBJ *) {}
bool engine_font_advances(FONTOBJ *, const std::vector<HGLYPH> &, std::vector<FIX> &) { return notBuilt(false); }
std::vector<CatalogueFont> font_catalogue() { return notBuilt(std::vector<CatalogueFont>{}); }
void font_catalogue_set_folders(const std::vector<std::string> &) {}
void font_catalogue_set_fonts(const std::vector<CatalogueFont> &) {}
bool font_catalogue_match(const std::u16string &, LONG, bool, CatalogueFont *) { return notBuilt(false); }
BOOL gdi_draw_text(HDC, const GdiTextDraw &) { return notBuilt(FALSE); }
SIZE gdi_measure_text(HDC, const LOGFONTW &, const std::u16string &) { return notBuilt(SIZE{0, 0}); }

} // namespace plat
