/*
 * The engine's fonts and strings (see plat/engine_fonts.h): TrueType fonts
 * realised from a cached face at a size and escapement, device fonts
 * described by a library's DrvQueryFont, the font services a library calls
 * on them, and strings of glyphs placed by unhinted advances.
 */
#include "engine_fonts_private.h"
#include "engine_private.h"

#include <plat/error.h>

#include FT_ADVANCES_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

namespace {

using plat::fonts::Face;
using plat::fonts::face_lock;

/* The slant of a simulated italic (the shear FreeType's own oblique uses). */
constexpr double ITALIC_SHEAR = 0.2126;

/* Largest em in device pixels a font is made for: its glyph images stay a few megabytes at most. */
constexpr double MAX_EM_PIXELS = 8192.0;

/* One glyph image of a font, made when first asked for. */
struct Glyph {
    GLYPHDATA gd{};
    std::vector<ULONGLONG> storage; /* GLYPHBITS, 8-byte aligned */
};

struct EngineFont {
    FONTOBJ fo{};
    std::shared_ptr<Face> face;         /* TrueType fonts */
    plat::DeviceFontSpec device{};      /* device fonts */
    IFIMETRICS *deviceIfi = nullptr;    /* the library's answer */
    FD_GLYPHSET *glyphSet = nullptr;    /* the library's glyph set, asked for once */
    bool glyphSetAsked = false;
    XFORMOBJ *xform = nullptr;
    XFORML m{};
    double scaleY = 1;                  /* notional units to pixels along the em */
    LONG escapement = 0;                /* tenths of a degree, 0-3599 */
    std::map<HGLYPH, std::unique_ptr<Glyph>> glyphs;

    const IFIMETRICS &ifi() const { return face ? *face->metrics() : *deviceIfi; }
};

struct Registry {
    std::map<const void *, std::unique_ptr<EngineFont>> fonts;
    ULONG nextUniq = 1; /* never reused: a library tells a font from an earlier one at the same address by it */
};

Registry &registry()
{
    static auto *r = new Registry; /* never destroyed, like the engine's other objects */
    return *r;
}

/* The engine font of `pfo`; call with the face lock held. */
EngineFont *find_font(const FONTOBJ *pfo)
{
    if (!pfo)
        return nullptr;
    auto it = registry().fonts.find(pfo);
    return it == registry().fonts.end() ? nullptr : it->second.get();
}

/* The transform of an em of `em` pixels, `width` average pixels, escapement in tenths, square or not. */
void make_transform(EngineFont &f, double em, LONG width, LONG escapement, SIZE resolution)
{
    const IFIMETRICS &ifi = f.ifi();
    const double ky = em / ifi.fwdUnitsPerEm;
    double kx = width > 0 && ifi.fwdAveCharWidth > 0 ? double(width) / ifi.fwdAveCharWidth : ky;
    const double aspect = resolution.cy > 0 && resolution.cx > 0 ? double(resolution.cx) / resolution.cy : 1.0;
    const double a = double(escapement % 3600) / 10.0 * std::numbers::pi / 180.0;
    double c = std::cos(a), s = std::sin(a);
    if (escapement % 900 == 0) { /* exact for the right angles */
        c = std::round(c);
        s = std::round(s);
    }
    f.scaleY = ky;
    f.escapement = escapement;
    f.m = XFORML{FLOATL(kx * c * aspect), FLOATL(-kx * s), FLOATL(ky * s * aspect), FLOATL(ky * c), 0, 0};
    f.xform = plat::engine_make_xform(f.m);
    f.fo.cxMax = ULONG(std::ceil(std::max<double>(ifi.fwdMaxCharInc, 0) * kx * aspect));
    f.fo.sizLogResPpi = resolution;
    f.fo.ulStyleSize = ULONG(std::lround(em * 72.0 / double(resolution.cy > 0 ? resolution.cy : 600)));
}

FONTOBJ *add_font(std::unique_ptr<EngineFont> f)
{
    Registry &r = registry();
    f->fo.iUniq = r.nextUniq++;
    FONTOBJ *fo = &f->fo;
    r.fonts[fo] = std::move(f);
    return fo;
}

/* The device font's handle of `ch` in the library's glyph set; `found` false when the set lacks it. */
HGLYPH device_handle(const FD_GLYPHSET *gs, WCHAR ch, bool &found)
{
    found = false;
    if (!gs || gs->cjThis < offsetof(FD_GLYPHSET, awcrun))
        return 0;
    const ULONG runs = std::min<ULONG>(gs->cRuns, (gs->cjThis - ULONG(offsetof(FD_GLYPHSET, awcrun))) / sizeof(WCRUN));
    for (ULONG i = 0; i < runs; i++) {
        const WCRUN &r = gs->awcrun[i];
        if (ch >= r.wcLow && ULONG(ch) < ULONG(r.wcLow) + r.cGlyphs) {
            found = true;
            return r.phg ? r.phg[ch - r.wcLow] : HGLYPH(ch);
        }
    }
    return 0;
}

/* Renders glyph `hg` of a TrueType font as a one-bit image; call with the face lock held. */
Glyph *render_glyph(EngineFont &f, HGLYPH hg)
{
    auto it = f.glyphs.find(hg);
    if (it != f.glyphs.end())
        return it->second.get();
    FT_Face ft = f.face->ft;
    const IFIMETRICS &ifi = f.ifi();
    const double em = f.scaleY * ifi.fwdUnitsPerEm;
    /* FreeType works with y upwards: the device matrix with both axes flipped, the em taken out. */
    double xx = f.m.eM11 / f.scaleY, xy = -f.m.eM21 / f.scaleY, yx = -f.m.eM12 / f.scaleY, yy = f.m.eM22 / f.scaleY;
    if (f.fo.flFontType & FO_SIM_ITALIC) {
        xy += xx * ITALIC_SHEAR;
        yy += yx * ITALIC_SHEAR;
    }
    FT_Matrix matrix{FT_Fixed(std::lround(xx * 65536)), FT_Fixed(std::lround(xy * 65536)),
                     FT_Fixed(std::lround(yx * 65536)), FT_Fixed(std::lround(yy * 65536))};
    FT_Set_Transform(ft, &matrix, nullptr);
    bool ok = FT_Set_Char_Size(ft, 0, FT_F26Dot6(std::max<long>(std::lround(em * 64), 1)), 72, 72) == 0 &&
              FT_Load_Glyph(ft, hg, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP) == 0;
    if (ok && (f.fo.flFontType & FO_SIM_BOLD))
        FT_GlyphSlot_Embolden(ft->glyph);
    ok = ok && FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_MONO) == 0;
    FT_Set_Transform(ft, nullptr, nullptr);
    if (!ok)
        return nullptr;

    const FT_GlyphSlot slot = ft->glyph;
    const FT_Bitmap &bmp = slot->bitmap;
    const bool blank = bmp.width == 0 || bmp.rows == 0 || !bmp.buffer;
    const ULONG width = blank ? 1 : bmp.width, rows = blank ? 1 : bmp.rows;
    const ULONG rowBytes = (width + 7) / 8;
    auto g = std::make_unique<Glyph>();
    const size_t bytes = offsetof(GLYPHBITS, aj) + size_t(rowBytes) * rows;
    g->storage.assign((bytes + 7) / 8, 0);
    auto *gb = reinterpret_cast<GLYPHBITS *>(g->storage.data());
    gb->ptlOrigin = blank ? POINTL{0, 0} : POINTL{slot->bitmap_left, -slot->bitmap_top};
    gb->sizlBitmap = {LONG(width), LONG(rows)};
    if (!blank) {
        const BYTE *src = bmp.buffer;
        const long pitch = bmp.pitch;
        for (ULONG y = 0; y < rows; y++) {
            const BYTE *row = pitch >= 0 ? src + y * size_t(pitch) : src + (rows - 1 - y) * size_t(-pitch);
            std::copy(row, row + rowBytes, gb->aj + size_t(y) * rowBytes);
        }
    }
    FT_Fixed advance = 0;
    FT_Get_Advance(ft, hg, FT_LOAD_NO_SCALE, &advance);
    const double ax = double(advance) * f.m.eM11, ay = double(advance) * f.m.eM12;
    GLYPHDATA &gd = g->gd;
    gd.gdf.pgb = gb;
    gd.hg = hg;
    gd.fxD = gd.fxAB = FIX(std::lround(std::hypot(ax, ay) * 16));
    gd.fxA = 0;
    gd.rclInk = {gb->ptlOrigin.x, gb->ptlOrigin.y, gb->ptlOrigin.x + gb->sizlBitmap.cx,
                 gb->ptlOrigin.y + gb->sizlBitmap.cy};
    gd.fxInkTop = FIX(-gd.rclInk.top * 16);
    gd.fxInkBottom = FIX(-gd.rclInk.bottom * 16);
    gd.ptqD = {LONGLONG(std::llround(ax * 4294967296.0)), LONGLONG(std::llround(ay * 4294967296.0))};
    Glyph *out = g.get();
    f.glyphs[hg] = std::move(g);
    return out;
}

} // namespace

/* ---- Font services ------------------------------------------------------------------------------------ */

IFIMETRICS *FONTOBJ_pifi(FONTOBJ *pfo)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    EngineFont *f = find_font(pfo);
    return f ? const_cast<IFIMETRICS *>(&f->ifi()) : nullptr;
}

XFORMOBJ *FONTOBJ_pxoGetXform(FONTOBJ *pfo)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    EngineFont *f = find_font(pfo);
    return f ? f->xform : nullptr;
}

ULONG FONTOBJ_cGetGlyphs(FONTOBJ *pfo, ULONG iMode, ULONG cGlyph, HGLYPH *phg, PVOID *ppvGlyph)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    EngineFont *f = find_font(pfo);
    if (!f || iMode != FO_GLYPHBITS || cGlyph == 0 || !phg || !ppvGlyph) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    *ppvGlyph = nullptr;
    if (!f->face) /* device fonts have no images */
        return 0;
    if (phg[0] >= f->face->glyphCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Glyph *glyph = render_glyph(*f, phg[0]);
    if (!glyph) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    *ppvGlyph = &glyph->gd;
    return 1;
}

PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ *pfo, ULONG *pcjFile)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    EngineFont *f = find_font(pfo);
    if (pcjFile)
        *pcjFile = f && f->face ? ULONG(f->face->file->size) : 0;
    return f && f->face ? const_cast<BYTE *>(f->face->file->bytes) : nullptr;
}

namespace plat {

/* ---- Fonts ------------------------------------------------------------------------------------------------ */

FONTOBJ *engine_open_truetype_font(const TrueTypeFontSpec &spec)
{
    if (spec.file.empty() || spec.weight < 0 || spec.weight > 1000 || spec.width < 0 || spec.width > MAX_EM_PIXELS ||
        spec.resolution.cx <= 0 || spec.resolution.cy <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> g(face_lock());
    auto face = fonts::open_face(spec.file, spec.faceIndex);
    if (!face)
        return nullptr;
    const double em = fonts::em_pixels(spec.height, *face->metrics(), spec.resolution.cy);
    if (!(em > 0) || em > MAX_EM_PIXELS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_unique<EngineFont>();
    f->face = face;
    f->fo.iFace = spec.faceIndex + 1;
    f->fo.iFile = face->file->id;
    f->fo.iTTUniq = face->id;
    f->fo.flFontType = FO_TYPE_TRUETYPE;
    /* More weight or slant than the face has is simulated, as GDI does. */
    if (spec.weight >= 600 && face->weight < 600)
        f->fo.flFontType |= FO_SIM_BOLD;
    if (spec.italic && !face->italic)
        f->fo.flFontType |= FO_SIM_ITALIC;
    make_transform(*f, em, spec.width, ((spec.escapement % 3600) + 3600) % 3600, spec.resolution);
    return add_font(std::move(f));
}

FONTOBJ *engine_make_device_font(const DeviceFontSpec &spec)
{
    if (!spec.queryFont || spec.face == 0 || spec.width < 0 || spec.width > MAX_EM_PIXELS || spec.resolution.cx <= 0 ||
        spec.resolution.cy <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ULONG_PTR id = 0;
    IFIMETRICS *ifi = spec.queryFont(spec.dhpdev, 0, spec.face, &id);
    if (!ifi || ifi->cjThis < sizeof(IFIMETRICS) || ifi->fwdUnitsPerEm <= 0) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const double em = fonts::em_pixels(spec.height, *ifi, spec.resolution.cy);
    if (!(em > 0) || em > MAX_EM_PIXELS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::recursive_mutex> g(face_lock());
    auto f = std::make_unique<EngineFont>();
    f->device = spec;
    f->deviceIfi = ifi;
    f->fo.iFace = spec.face;
    f->fo.flFontType = FO_TYPE_DEVICE;
    /* A weight or slant the printer's face lacks is simulated, as for TrueType faces. */
    if (spec.weight >= 600 && !(ifi->fsSelection & FM_SEL_BOLD))
        f->fo.flFontType |= FO_SIM_BOLD;
    if (spec.italic && !(ifi->fsSelection & FM_SEL_ITALIC))
        f->fo.flFontType |= FO_SIM_ITALIC;
    make_transform(*f, em, spec.width, ((spec.escapement % 3600) + 3600) % 3600, spec.resolution);
    return add_font(std::move(f));
}

void engine_free_font(FONTOBJ *pfo)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    auto it = pfo ? registry().fonts.find(pfo) : registry().fonts.end();
    if (it == registry().fonts.end())
        return;
    engine_free_xform(it->second->xform);
    registry().fonts.erase(it);
}

/* ---- Strings ---------------------------------------------------------------------------------------------- */

bool engine_font_advances(FONTOBJ *font, const std::vector<HGLYPH> &handles, std::vector<FIX> &advances)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    EngineFont *f = find_font(font);
    advances.clear();
    if (!f || !f->face) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    for (HGLYPH hg : handles) {
        FT_Fixed adv = 0;
        if (hg < f->face->glyphCount)
            FT_Get_Advance(f->face->ft, hg, FT_LOAD_NO_SCALE, &adv);
        advances.push_back(FIX(std::lround(std::hypot(adv * f->m.eM11, adv * f->m.eM12) * 16)));
    }
    return true;
}

STROBJ *engine_make_text(FONTOBJ *font, LPCWSTR text, ULONG count, POINTL origin, const TextOptions &options)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    fonts::TextLayout layout;
    if (!fonts::text_layout(font, text, count, options.dx, layout))
        return nullptr;
    EngineFont *f = find_font(font);
    std::vector<GLYPHPOS> glyphs(count);
    double along = 0;
    for (ULONG i = 0; i < count; i++) {
        glyphs[i].hg = layout.handles[i];
        glyphs[i].ptl = {origin.x + LONG(std::lround(along * layout.dirX)),
                         origin.y + LONG(std::lround(along * layout.dirY))};
        if (options.glyphBits && f->face)
            if (Glyph *glyph = render_glyph(*f, layout.handles[i]))
                glyphs[i].pgdf = &glyph->gd.gdf;
        along += layout.advances[i];
    }

    const LONG tenths = f->escapement;
    FLONG accel = options.dx ? 0 : SO_FLAG_DEFAULT_PLACEMENT;
    if (tenths == 0 || tenths == 1800)
        accel |= SO_HORIZONTAL;
    if (tenths == 900 || tenths == 2700)
        accel |= SO_VERTICAL;
    if (tenths == 900 || tenths == 1800)
        accel |= SO_REVERSED;

    STROBJ *so = engine_make_string(glyphs, options.batch ? options.batch : count, accel);
    if (!so) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    /* A common step between neighbours along the axis of a horizontal or vertical string. */
    if (count > 1 && (accel & (SO_HORIZONTAL | SO_VERTICAL))) {
        const bool horizontal = accel & SO_HORIZONTAL;
        auto step = [&](ULONG i) {
            return horizontal ? glyphs[i + 1].ptl.x - glyphs[i].ptl.x : glyphs[i + 1].ptl.y - glyphs[i].ptl.y;
        };
        bool alike = true;
        for (ULONG i = 1; i + 1 < count && alike; i++)
            alike = step(i) == step(0);
        so->ulCharInc = alike ? ULONG(std::abs(step(0))) : 0;
    }
    /* The box of the advances from the ascender to the descender. */
    const double downX = -layout.dirY, downY = layout.dirX;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (double u : {0.0, layout.total})
        for (double v : {-layout.ascent, layout.descent}) {
            const double x = origin.x + u * layout.dirX + v * downX, y = origin.y + u * layout.dirY + v * downY;
            minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    so->rclBkGround = {LONG(std::floor(minX + 1e-9)), LONG(std::floor(minY + 1e-9)), LONG(std::ceil(maxX - 1e-9)),
                       LONG(std::ceil(maxY - 1e-9))};
    /* The original text lives in the string's own record, so it cannot outlive the string. */
    engine::string_keep_text(so, std::u16string(reinterpret_cast<const char16_t *>(text), count));
    return so;
}

void engine_free_text(STROBJ *pstro) { engine::free_text_string(pstro); }

/* ---- Layout ----------------------------------------------------------------------------------------------- */

bool fonts::text_layout(FONTOBJ *font, LPCWSTR text, ULONG count, const INT *dx, TextLayout &out)
{
    std::lock_guard<std::recursive_mutex> g(face_lock());
    EngineFont *f = find_font(font);
    if (!f || !text || count == 0 || count > 0xFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const IFIMETRICS &ifi = f->ifi();
    const double length = std::hypot(double(f->m.eM11), double(f->m.eM12));
    out = TextLayout{};
    out.dirX = length > 0 ? f->m.eM11 / length : 1;
    out.dirY = length > 0 ? f->m.eM12 / length : 0;
    out.ascent = std::max<double>(ifi.fwdWinAscender, 0) * f->scaleY;
    out.descent = std::max<double>(ifi.fwdWinDescender, 0) * f->scaleY;
    out.handles.resize(count);
    out.advances.resize(count);

    if (f->face) {
        for (ULONG i = 0; i < count; i++) {
            out.handles[i] = FT_Get_Char_Index(f->face->ft, FT_ULong(text[i]));
            FT_Fixed adv = 0;
            if (!dx)
                FT_Get_Advance(f->face->ft, out.handles[i], FT_LOAD_NO_SCALE, &adv);
            out.advances[i] = dx ? double(dx[i]) : double(adv) * length;
        }
    } else {
        const DeviceFontSpec &d = f->device;
        if (!f->glyphSetAsked && d.queryFontTree) {
            ULONG_PTR id = 0;
            f->glyphSet = static_cast<FD_GLYPHSET *>(d.queryFontTree(d.dhpdev, 0, d.face, QFT_GLYPHSET, &id));
            f->glyphSetAsked = true;
        }
        bool found = false;
        const HGLYPH fallback = device_handle(f->glyphSet, ifi.wcDefaultChar, found);
        for (ULONG i = 0; i < count; i++) {
            const HGLYPH hg = device_handle(f->glyphSet, text[i], found);
            out.handles[i] = found ? hg : fallback;
        }
        std::vector<USHORT> widths(count, 0);
        const bool asked = !dx && d.queryAdvanceWidths &&
                           d.queryAdvanceWidths(d.dhpdev, &f->fo, QAW_GETWIDTHS, out.handles.data(), widths.data(),
                                                count);
        for (ULONG i = 0; i < count; i++)
            out.advances[i] = dx ? double(dx[i]) : asked ? widths[i] / 16.0 : double(ifi.fwdAveCharWidth) * length;
    }
    for (double a : out.advances)
        out.total += a;
    return true;
}

} // namespace plat
