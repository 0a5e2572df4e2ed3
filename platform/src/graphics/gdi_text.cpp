/*
 * Text on a printer device context (see plat/engine_fonts.h): GDI's font
 * mapping (a device font of the library by its name, else the catalogue's
 * TrueType face, else DejaVu Sans), the string placed by the reference
 * point's alignment, and the library's DrvTextOut called with the font,
 * string, text-colour brush and clip.  Keeps no device context state.
 */
#include "engine_fonts_private.h"
#include "gdi_call_private.h"

#include <plat/error.h>
#include <plat/machine.h>

#include <cmath>
#include <map>
#include <tuple>

using plat::gdi::as;

namespace {

/* Realised TrueType fonts are kept, so that the same request reaches the library as the same font (same iUniq). */
using RealKey = std::tuple<std::string, ULONG, LONG, LONG, LONG, LONG, bool, LONG, LONG>;

/* Realisations kept at most; past that the kept ones are dropped and made again as asked for. */
constexpr size_t MAX_REALISATIONS = 128;

struct Realisations {
    std::mutex lock;
    std::map<RealKey, FONTOBJ *> fonts;
};

Realisations &realisations()
{
    static auto *r = new Realisations;
    return *r;
}

void drop_realisations()
{
    Realisations &r = realisations();
    std::lock_guard<std::mutex> g(r.lock);
    for (auto &entry : r.fonts)
        plat::engine_free_font(entry.second);
    r.fonts.clear();
}

const bool registered = (plat::machine_on_reset(drop_realisations), true);

/* A font of the request: `device` true for a device font, which the caller frees; TrueType fonts are kept. */
FONTOBJ *map_font(HDC hdc, const plat::GdiDcInfo &info, const LOGFONTW &lf, bool &device)
{
    const SIZE resolution{LONG(info.gdiInfo.ulLogPixelsX ? info.gdiInfo.ulLogPixelsX : 600),
                          LONG(info.gdiInfo.ulLogPixelsY ? info.gdiInfo.ulLogPixelsY : 600)};
    std::u16string name;
    for (size_t i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; i++)
        name.push_back(lf.lfFaceName[i]);
    const LONG escapement = ((lf.lfEscapement % 3600) + 3600) % 3600;

    device = false;
    auto queryFont = as<PFN_DrvQueryFont>(plat::gdi_driver_function(hdc, INDEX_DrvQueryFont));
    if (queryFont && !name.empty()) {
        for (ULONG face = 1; face <= std::min<ULONG>(info.devInfo.cFonts, 0xFFFF); face++) {
            ULONG_PTR id = 0;
            const IFIMETRICS *ifi = queryFont(info.dhpdev, 0, face, &id);
            if (!ifi || ifi->cjThis < sizeof(IFIMETRICS) ||
                (!plat::fonts::same_name(plat::fonts::ifi_name(ifi, ifi->dpwszFaceName), name) &&
                 !plat::fonts::same_name(plat::fonts::ifi_name(ifi, ifi->dpwszFamilyName), name)))
                continue;
            plat::DeviceFontSpec spec;
            spec.dhpdev = info.dhpdev;
            spec.queryFont = queryFont;
            spec.queryFontTree = as<PFN_DrvQueryFontTree>(plat::gdi_driver_function(hdc, INDEX_DrvQueryFontTree));
            spec.queryAdvanceWidths =
                as<PFN_DrvQueryAdvanceWidths>(plat::gdi_driver_function(hdc, INDEX_DrvQueryAdvanceWidths));
            spec.face = face;
            spec.height = lf.lfHeight;
            spec.width = lf.lfWidth;
            spec.escapement = escapement;
            spec.weight = lf.lfWeight;
            spec.italic = lf.lfItalic != 0;
            spec.resolution = resolution;
            device = true;
            return plat::engine_make_device_font(spec);
        }
    }

    plat::CatalogueFont match;
    if (!plat::font_catalogue_match(name, lf.lfWeight, lf.lfItalic != 0, &match))
        return nullptr;
    plat::TrueTypeFontSpec spec;
    spec.file = match.file;
    spec.faceIndex = match.faceIndex;
    spec.height = lf.lfHeight;
    spec.width = lf.lfWidth;
    spec.escapement = escapement;
    spec.weight = lf.lfWeight;
    spec.italic = lf.lfItalic != 0;
    spec.resolution = resolution;
    const RealKey key{spec.file,   spec.faceIndex, spec.height,       spec.width,       spec.escapement,
                      spec.weight, spec.italic,    resolution.cx, resolution.cy};
    Realisations &r = realisations();
    std::lock_guard<std::mutex> g(r.lock);
    auto it = r.fonts.find(key);
    if (it != r.fonts.end())
        return it->second;
    FONTOBJ *fo = plat::engine_open_truetype_font(spec);
    if (!fo)
        return nullptr;
    if (r.fonts.size() >= MAX_REALISATIONS) {
        for (auto &entry : r.fonts)
            plat::engine_free_font(entry.second);
        r.fonts.clear();
    }
    r.fonts[key] = fo;
    return fo;
}

/* Frees a device font when the call is done with it. */
struct FontHolder {
    FONTOBJ *fo = nullptr;
    bool device = false;
    ~FontHolder()
    {
        if (device)
            plat::engine_free_font(fo);
    }
};

} // namespace

namespace plat {

BOOL gdi_draw_text(HDC hdc, const GdiTextDraw &draw)
{
    GdiDcInfo info{};
    auto textOut = as<PFN_DrvTextOut>(gdi::drawing_function(hdc, INDEX_DrvTextOut, &info));
    if (!textOut)
        return FALSE;
    if (draw.text.size() > 0xFFFF || (!draw.dx.empty() && draw.dx.size() != draw.text.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (draw.text.empty())
        return TRUE;
    FontHolder font;
    font.fo = map_font(hdc, info, draw.font, font.device);
    if (!font.fo)
        return FALSE;

    const ULONG count = ULONG(draw.text.size());
    const auto *text = reinterpret_cast<LPCWSTR>(draw.text.data());
    fonts::TextLayout layout;
    if (!fonts::text_layout(font.fo, text, count, draw.dx.empty() ? nullptr : draw.dx.data(), layout))
        return FALSE;
    /* The baseline's start from the reference point and the alignment. */
    const UINT horizontal = draw.align & TA_CENTER, vertical = draw.align & TA_BASELINE;
    const double along = horizontal == TA_CENTER ? layout.total / 2 : horizontal == TA_RIGHT ? layout.total : 0;
    const double down = vertical == TA_BASELINE ? 0 : vertical == TA_BOTTOM ? -layout.descent : layout.ascent;
    const POINTL start{draw.origin.x + LONG(std::lround(-along * layout.dirX - down * layout.dirY)),
                       draw.origin.y + LONG(std::lround(-along * layout.dirY + down * layout.dirX))};

    TextOptions options;
    options.dx = draw.dx.empty() ? nullptr : draw.dx.data();
    auto glyphMode = as<PFN_DrvGetGlyphMode>(gdi_driver_function(hdc, INDEX_DrvGetGlyphMode));
    options.glyphBits = !font.device && glyphMode && glyphMode(info.dhpdev, font.fo) == FO_GLYPHBITS;
    STROBJ *so = engine_make_text(font.fo, text, count, start, options);
    if (!so)
        return FALSE;
    SURFOBJ *pso = gdi::lock_surface(info);
    if (!pso) {
        engine_free_text(so);
        return FALSE;
    }
    BRUSHOBJ *fore = engine_make_solid_brush(draw.color);
    BRUSHOBJ *back = draw.opaque ? engine_make_solid_brush(draw.background) : nullptr;
    CLIPOBJ *clip = draw.clip.empty() ? nullptr : engine_make_clip(draw.clip);
    RECTL opaque = so->rclBkGround;
    POINTL brushOrigin{0, 0};
    const BOOL ok = textOut(pso, so, font.fo, clip, nullptr, draw.opaque ? &opaque : nullptr, fore, back,
                            &brushOrigin, draw.mix);
    engine_free_clip(clip);
    engine_free_brush(back);
    engine_free_brush(fore);
    EngUnlockSurface(pso);
    engine_free_text(so);
    return ok;
}

SIZE gdi_measure_text(HDC hdc, const LOGFONTW &font, const std::u16string &text)
{
    GdiDcInfo info{};
    if (!gdi_dc_info(hdc, &info)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return SIZE{0, 0};
    }
    if (text.size() > 0xFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SIZE{0, 0};
    }
    FontHolder holder;
    holder.fo = map_font(hdc, info, font, holder.device);
    if (!holder.fo)
        return SIZE{0, 0};
    const WCHAR space = u' ';
    fonts::TextLayout layout;
    if (!fonts::text_layout(holder.fo, text.empty() ? &space : reinterpret_cast<LPCWSTR>(text.data()),
                            text.empty() ? 1 : ULONG(text.size()), nullptr, layout))
        return SIZE{0, 0};
    return SIZE{text.empty() ? 0 : LONG(std::lround(layout.total)), LONG(std::lround(layout.ascent + layout.descent))};
}

} // namespace plat
