/*
 * The engine's drawing objects and their services (see plat/engine_draw.h):
 * translations, brushes with their realisation call-back, clips, paths,
 * transforms and strings.  Engine-made objects live in one registry under
 * one lock, keyed by the address of their public record, so that a service
 * can tell them from records a library made itself without reading past
 * the caller's record.
 */
#include "engine_private.h"

#include <plat/engine.h>
#include <plat/error.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct EngineXlate {
    XLATEOBJ xo{};
    ULONG srcMode = 0;       /* 0: table or trivial */
    FLONG masks[3] = {};
    std::vector<ULONG> table;
};

struct EngineBrush {
    BRUSHOBJ bo{};
    plat::BrushRealization realization{};
    bool pattern = false;
    PVOID pending = nullptr;  /* allocated inside DrvRealizeBrush, not yet the realisation */
    unsigned realizeCount = 0;
};

struct EngineClip {
    CLIPOBJ co{};
    std::vector<RECTL> rects;
    std::vector<RECTL> order; /* the enumeration in progress */
    size_t next = 0;
};

struct EnginePath {
    PATHOBJ po{};
    std::vector<plat::PathFigure> figures;
    size_t next = 0;
};

struct EngineXform {
    XFORMOBJ xo{};
    XFORML m{};
};

struct EngineString {
    STROBJ so{};
    std::vector<GLYPHPOS> glyphs;
    ULONG batch = 0;
    size_t next = 0;
    bool hasText = false;
    std::u16string text; /* what pwszOrg points at, for strings of text */
};

/* The live engine-made objects, by the address of their public record. */
struct Registry {
    std::mutex lock;
    std::map<const void *, std::unique_ptr<EngineXlate>> xlates;
    std::map<const void *, std::unique_ptr<EngineBrush>> brushes;
    std::map<const void *, std::unique_ptr<EngineClip>> clips;
    std::map<const void *, std::unique_ptr<EnginePath>> paths;
    std::map<const void *, std::unique_ptr<EngineXform>> xforms;
    std::map<const void *, std::unique_ptr<EngineString>> strings;
};

Registry &registry()
{
    static Registry *r = new Registry; /* never destroyed: objects may be freed after static destructors */
    return *r;
}

template <typename T>
T *find(std::map<const void *, std::unique_ptr<T>> &map, const void *key)
{
    auto it = map.find(key);
    return it == map.end() ? nullptr : it->second.get();
}

template <typename T, typename Public>
Public *add(std::map<const void *, std::unique_ptr<T>> &map, std::unique_ptr<T> object, Public T::*member)
{
    Public *record = &(object.get()->*member);
    std::lock_guard<std::mutex> g(registry().lock);
    map.emplace(record, std::move(object));
    return record;
}

template <typename T>
void remove(std::map<const void *, std::unique_ptr<T>> &map, const void *key)
{
    std::unique_ptr<T> doomed;
    {
        std::lock_guard<std::mutex> g(registry().lock);
        auto it = map.find(key);
        if (it == map.end())
            return;
        doomed = std::move(it->second);
        map.erase(it);
    }
}

/* A channel of `color` under `mask`, widened or narrowed to 8 bits. */
ULONG channel(ULONG color, FLONG mask)
{
    if (!mask)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const ULONG v = (color & mask) >> shift;
    const ULONG max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return ULONG((ULONGLONG(v) * 255 + max / 2) / max);
}

LONG round_to_long(double v) { return LONG(std::lround(std::clamp(v, -2147483648.0, 2147483647.0))); }

} // namespace

/* ---- Translations ------------------------------------------------------------------- */

ULONG XLATEOBJ_iXlate(XLATEOBJ *pxlo, ULONG iColor)
{
    if (!pxlo)
        return iColor;
    {
        std::lock_guard<std::mutex> g(registry().lock);
        if (EngineXlate *x = find(registry().xlates, pxlo); x && x->srcMode) {
            switch (x->srcMode) {
            case PAL_RGB:
                return iColor & 0x00FFFFFFu;
            case PAL_BGR:
                return ((iColor & 0xFF) << 16) | (iColor & 0xFF00) | ((iColor >> 16) & 0xFF);
            default:
                return channel(iColor, x->masks[0]) | (channel(iColor, x->masks[1]) << 8) |
                       (channel(iColor, x->masks[2]) << 16);
            }
        }
    }
    if (pxlo->flXlate & XO_TABLE)
        return pxlo->pulXlate && iColor < pxlo->cEntries ? pxlo->pulXlate[iColor] : 0xFFFFFFFFu;
    return iColor;
}

/* ---- Brushes ------------------------------------------------------------------------------ */

PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ *pbo, ULONG cj)
{
    std::lock_guard<std::mutex> g(registry().lock);
    EngineBrush *b = pbo ? find(registry().brushes, pbo) : nullptr;
    if (!b || cj == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    PVOID block = EngAllocMem(FL_ZERO_MEMORY, cj, 0);
    if (block) {
        EngFreeMem(b->pending);
        b->pending = block;
    }
    return block;
}

PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ *pbo)
{
    if (!pbo)
        return nullptr;
    if (pbo->pvRbrush)
        return pbo->pvRbrush;
    plat::BrushRealization r{};
    {
        std::lock_guard<std::mutex> g(registry().lock);
        EngineBrush *b = find(registry().brushes, pbo);
        if (!b || !b->pattern || !b->realization.realize)
            return nullptr;
        r = b->realization;
        ++b->realizeCount;
    }
    /* The library allocates through BRUSHOBJ_pvAllocRbrush while it realises: no lock held here. */
    const BOOL ok = r.realize(pbo, r.target, r.pattern, r.mask, r.xlate, r.hatch);
    std::lock_guard<std::mutex> g(registry().lock);
    EngineBrush *b = find(registry().brushes, pbo);
    if (!b)
        return nullptr;
    if (ok && b->pending)
        pbo->pvRbrush = b->pending;
    else
        EngFreeMem(b->pending);
    b->pending = nullptr;
    return pbo->pvRbrush;
}

/* ---- Clips -------------------------------------------------------------------------------------- */

ULONG CLIPOBJ_cEnumStart(CLIPOBJ *pco, BOOL, ULONG iType, ULONG iDirection, ULONG cLimit)
{
    std::lock_guard<std::mutex> g(registry().lock);
    EngineClip *c = pco ? find(registry().clips, pco) : nullptr;
    if (!c || iType != CT_RECTANGLES)
        return 0xFFFFFFFFu;
    c->order = c->rects;
    c->next = 0;
    const bool down = iDirection == CD_RIGHTDOWN || iDirection == CD_LEFTDOWN;
    const bool right = iDirection == CD_RIGHTDOWN || iDirection == CD_RIGHTUP;
    if (iDirection != CD_ANY)
        std::stable_sort(c->order.begin(), c->order.end(), [&](const RECTL &a, const RECTL &b) {
            if (a.top != b.top)
                return down ? a.top < b.top : a.top > b.top;
            return right ? a.left < b.left : a.left > b.left;
        });
    const ULONG n = ULONG(c->order.size());
    return cLimit == 0 || n <= cLimit ? n : 0xFFFFFFFFu;
}

BOOL CLIPOBJ_bEnum(CLIPOBJ *pco, ULONG cj, ULONG *pul)
{
    if (!pul || cj < sizeof(ULONG))
        return FALSE;
    auto *out = reinterpret_cast<ENUMRECTS *>(pul);
    out->c = 0;
    std::lock_guard<std::mutex> g(registry().lock);
    EngineClip *c = pco ? find(registry().clips, pco) : nullptr;
    if (!c)
        return FALSE;
    const size_t room = (cj - offsetof(ENUMRECTS, arcl)) / sizeof(RECTL);
    while (out->c < room && c->next < c->order.size())
        out->arcl[out->c++] = c->order[c->next++];
    return c->next < c->order.size();
}

PATHOBJ *CLIPOBJ_ppoGetPath(CLIPOBJ *pco)
{
    std::vector<plat::PathFigure> figures;
    {
        std::lock_guard<std::mutex> g(registry().lock);
        EngineClip *c = pco ? find(registry().clips, pco) : nullptr;
        if (!c)
            return nullptr;
        for (const RECTL &r : c->rects) {
            plat::PathFigure f;
            f.points = {{r.left * 16, r.top * 16}, {r.right * 16, r.top * 16}, {r.right * 16, r.bottom * 16},
                        {r.left * 16, r.bottom * 16}};
            f.closed = true;
            figures.push_back(std::move(f));
        }
    }
    return plat::engine_make_path(figures);
}

/* ---- Paths ---------------------------------------------------------------------------------------- */

void PATHOBJ_vEnumStart(PATHOBJ *ppo)
{
    std::lock_guard<std::mutex> g(registry().lock);
    if (EnginePath *p = ppo ? find(registry().paths, ppo) : nullptr)
        p->next = 0;
}

BOOL PATHOBJ_bEnum(PATHOBJ *ppo, PATHDATA *ppd)
{
    if (!ppd)
        return FALSE;
    *ppd = PATHDATA{};
    std::lock_guard<std::mutex> g(registry().lock);
    EnginePath *p = ppo ? find(registry().paths, ppo) : nullptr;
    if (!p || p->next >= p->figures.size())
        return FALSE;
    plat::PathFigure &f = p->figures[p->next];
    ppd->flags = PD_BEGINSUBPATH | PD_ENDSUBPATH | (p->next == 0 ? PD_RESETSTYLE : 0) |
                 (f.closed ? PD_CLOSEFIGURE : 0) | (f.beziers ? PD_BEZIERS : 0);
    ppd->count = ULONG(f.points.size());
    ppd->pptfx = f.points.data();
    ++p->next;
    return p->next < p->figures.size();
}

void PATHOBJ_vGetBounds(PATHOBJ *ppo, RECTFX *prectfx)
{
    if (!prectfx)
        return;
    *prectfx = RECTFX{};
    std::lock_guard<std::mutex> g(registry().lock);
    EnginePath *p = ppo ? find(registry().paths, ppo) : nullptr;
    if (!p)
        return;
    bool first = true;
    for (const plat::PathFigure &f : p->figures)
        for (const POINTFIX &pt : f.points) {
            if (first) {
                *prectfx = RECTFX{pt.x, pt.y, pt.x, pt.y};
                first = false;
            }
            prectfx->xLeft = std::min(prectfx->xLeft, pt.x);
            prectfx->yTop = std::min(prectfx->yTop, pt.y);
            prectfx->xRight = std::max(prectfx->xRight, pt.x);
            prectfx->yBottom = std::max(prectfx->yBottom, pt.y);
        }
}

void EngDeletePath(PATHOBJ *ppo)
{
    if (ppo)
        remove(registry().paths, ppo);
}

/* ---- Transforms ------------------------------------------------------------------------------------- */

ULONG XFORMOBJ_iGetXform(XFORMOBJ *pxo, XFORML *pxform)
{
    std::lock_guard<std::mutex> g(registry().lock);
    EngineXform *x = pxo ? find(registry().xforms, pxo) : nullptr;
    if (!x)
        return DDI_ERROR;
    if (pxform)
        *pxform = x->m;
    const XFORML &m = x->m;
    if (m.eM12 != 0 || m.eM21 != 0)
        return GX_GENERAL;
    if (m.eM11 != 1 || m.eM22 != 1)
        return GX_SCALE;
    return m.eDx != 0 || m.eDy != 0 ? GX_OFFSET : GX_IDENTITY;
}

BOOL XFORMOBJ_bApplyXform(XFORMOBJ *pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut)
{
    XFORML m{};
    if (XFORMOBJ_iGetXform(pxo, &m) == DDI_ERROR || iMode > XF_INV_FXTOL || (cPoints && (!pvIn || !pvOut)))
        return FALSE;
    double a = m.eM11, b = m.eM12, c = m.eM21, d = m.eM22, dx = m.eDx, dy = m.eDy;
    const bool inverse = iMode == XF_INV_LTOL || iMode == XF_INV_FXTOL;
    if (inverse) {
        const double det = a * d - b * c;
        if (det == 0)
            return FALSE;
        const double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
        const double idx = -(dx * ia + dy * ic), idy = -(dx * ib + dy * id);
        a = ia, b = ib, c = ic, d = id, dx = idx, dy = idy;
    }
    const double inScale = iMode == XF_INV_FXTOL ? 1.0 / 16 : 1.0;
    const double outScale = iMode == XF_LTOFX ? 16.0 : 1.0;
    /* POINTL and POINTFIX are both two LONGs; copy through a value so that pvIn may equal pvOut. */
    auto *in = static_cast<const LONG *>(pvIn);
    auto *out = static_cast<LONG *>(pvOut);
    for (ULONG i = 0; i < cPoints; i++) {
        const double x = in[2 * i] * inScale, y = in[2 * i + 1] * inScale;
        const LONG ox = round_to_long((x * a + y * c + dx) * outScale);
        const LONG oy = round_to_long((x * b + y * d + dy) * outScale);
        out[2 * i] = ox;
        out[2 * i + 1] = oy;
    }
    return TRUE;
}

/* ---- Strings ------------------------------------------------------------------------------------------ */

void STROBJ_vEnumStart(STROBJ *pstro)
{
    std::lock_guard<std::mutex> g(registry().lock);
    if (EngineString *s = pstro ? find(registry().strings, pstro) : nullptr)
        s->next = 0;
}

BOOL STROBJ_bEnum(STROBJ *pstro, ULONG *pc, GLYPHPOS **ppgpos)
{
    if (!pc || !ppgpos || !pstro)
        return FALSE;
    std::lock_guard<std::mutex> g(registry().lock);
    EngineString *s = find(registry().strings, pstro);
    if (!s) {
        *pc = pstro->pgp ? pstro->cGlyphs : 0;
        *ppgpos = pstro->pgp;
        return FALSE;
    }
    const size_t n = std::min<size_t>(s->batch, s->glyphs.size() - s->next);
    *pc = ULONG(n);
    *ppgpos = n ? s->glyphs.data() + s->next : nullptr;
    s->next += n;
    return s->next < s->glyphs.size();
}

/* ---- Builders -------------------------------------------------------------------------------------------- */

namespace plat {

XLATEOBJ *engine_make_xlate_table(const std::vector<ULONG> &table)
{
    auto x = std::make_unique<EngineXlate>();
    x->table = table;
    x->xo.flXlate = table.empty() ? XO_TRIVIAL : XO_TABLE;
    x->xo.cEntries = ULONG(x->table.size());
    x->xo.pulXlate = x->table.empty() ? nullptr : x->table.data();
    return add(registry().xlates, std::move(x), &EngineXlate::xo);
}

XLATEOBJ *engine_make_xlate_rgb(ULONG srcMode, FLONG redMask, FLONG greenMask, FLONG blueMask)
{
    if (srcMode != PAL_RGB && srcMode != PAL_BGR && srcMode != PAL_BITFIELDS)
        return nullptr;
    auto x = std::make_unique<EngineXlate>();
    x->srcMode = srcMode;
    x->masks[0] = redMask;
    x->masks[1] = greenMask;
    x->masks[2] = blueMask;
    x->xo.iSrcType = USHORT(srcMode);
    x->xo.iDstType = USHORT(PAL_RGB);
    return add(registry().xlates, std::move(x), &EngineXlate::xo);
}

void engine_free_xlate(XLATEOBJ *pxlo) { remove(registry().xlates, pxlo); }

BRUSHOBJ *engine_make_solid_brush(ULONG color)
{
    auto b = std::make_unique<EngineBrush>();
    b->bo.iSolidColor = color;
    return add(registry().brushes, std::move(b), &EngineBrush::bo);
}

BRUSHOBJ *engine_make_pattern_brush(const BrushRealization &realization)
{
    auto b = std::make_unique<EngineBrush>();
    b->bo.iSolidColor = BO_NOT_SOLID;
    b->realization = realization;
    b->pattern = true;
    return add(registry().brushes, std::move(b), &EngineBrush::bo);
}

unsigned engine_brush_realize_count(BRUSHOBJ *pbo)
{
    std::lock_guard<std::mutex> g(registry().lock);
    EngineBrush *b = find(registry().brushes, pbo);
    return b ? b->realizeCount : 0;
}

void engine_free_brush(BRUSHOBJ *pbo)
{
    {
        std::lock_guard<std::mutex> g(registry().lock);
        EngineBrush *b = find(registry().brushes, pbo);
        if (!b)
            return;
        EngFreeMem(b->pending);
        EngFreeMem(b->bo.pvRbrush);
        b->pending = b->bo.pvRbrush = nullptr;
    }
    remove(registry().brushes, pbo);
}

CLIPOBJ *engine_make_clip(const std::vector<RECTL> &rects)
{
    auto c = std::make_unique<EngineClip>();
    c->rects = rects;
    c->co.iDComplexity = BYTE(rects.empty() ? DC_TRIVIAL : rects.size() == 1 ? DC_RECT : DC_COMPLEX);
    c->co.iFComplexity = BYTE(rects.size() <= 1 ? FC_RECT : rects.size() <= 4 ? FC_RECT4 : FC_COMPLEX);
    c->co.iMode = TC_RECTANGLES;
    for (size_t i = 0; i < rects.size(); i++) {
        RECTL &b = c->co.rclBounds;
        const RECTL &r = rects[i];
        b = i == 0 ? r
                   : RECTL{std::min(b.left, r.left), std::min(b.top, r.top), std::max(b.right, r.right),
                           std::max(b.bottom, r.bottom)};
    }
    return add(registry().clips, std::move(c), &EngineClip::co);
}

void engine_free_clip(CLIPOBJ *pco) { remove(registry().clips, pco); }

PATHOBJ *engine_make_path(const std::vector<PathFigure> &figures, FLONG flags)
{
    auto p = std::make_unique<EnginePath>();
    p->figures = figures;
    p->po.fl = flags;
    bool integers = true;
    for (const PathFigure &f : figures) {
        if (f.beziers) {
            p->po.fl |= PO_BEZIERS;
            p->po.cCurves += f.points.empty() ? 0 : ULONG((f.points.size() - 1) / 3);
        } else {
            p->po.cCurves += f.points.empty() ? 0 : ULONG(f.points.size() - 1);
        }
        if (f.closed)
            ++p->po.cCurves;
        for (const POINTFIX &pt : f.points)
            integers = integers && (pt.x & 15) == 0 && (pt.y & 15) == 0;
    }
    if (integers)
        p->po.fl |= PO_ALL_INTEGERS;
    return add(registry().paths, std::move(p), &EnginePath::po);
}

XFORMOBJ *engine_make_xform(const XFORML &xform)
{
    auto x = std::make_unique<EngineXform>();
    x->m = xform;
    return add(registry().xforms, std::move(x), &EngineXform::xo);
}

void engine_free_xform(XFORMOBJ *pxo) { remove(registry().xforms, pxo); }

STROBJ *engine_make_string(const std::vector<GLYPHPOS> &glyphs, ULONG batch, FLONG accel)
{
    auto s = std::make_unique<EngineString>();
    s->glyphs = glyphs;
    s->batch = std::max<ULONG>(batch, 1);
    s->so.cGlyphs = ULONG(glyphs.size());
    s->so.flAccel = accel;
    s->so.pgp = s->batch >= glyphs.size() && !glyphs.empty() ? s->glyphs.data() : nullptr;
    for (size_t i = 0; i < glyphs.size(); i++) {
        const POINTL &p = glyphs[i].ptl;
        RECTL &b = s->so.rclBkGround;
        b = i == 0 ? RECTL{p.x, p.y, p.x, p.y}
                   : RECTL{std::min(b.left, p.x), std::min(b.top, p.y), std::max(b.right, p.x), std::max(b.bottom, p.y)};
    }
    return add(registry().strings, std::move(s), &EngineString::so);
}

void engine_free_string(STROBJ *pstro) { remove(registry().strings, pstro); }

bool engine::string_keep_text(STROBJ *pstro, std::u16string text)
{
    std::lock_guard<std::mutex> g(registry().lock);
    EngineString *s = pstro ? find(registry().strings, pstro) : nullptr;
    if (!s)
        return false;
    s->text = std::move(text);
    s->hasText = true;
    s->so.pwszOrg = reinterpret_cast<LPWSTR>(s->text.data());
    return true;
}

bool engine::free_text_string(STROBJ *pstro)
{
    {
        std::lock_guard<std::mutex> g(registry().lock);
        EngineString *s = pstro ? find(registry().strings, pstro) : nullptr;
        if (!s || !s->hasText)
            return false;
    }
    remove(registry().strings, pstro);
    return true;
}

} // namespace plat
