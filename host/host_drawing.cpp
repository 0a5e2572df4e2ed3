/*
 * The vector drawing page of the test document.  Coordinates are laid out
 * in 600ths of an inch and scaled to the device's resolution; every item is
 * one engine path call (fill, stroke, or both), so a rendering of the job
 * can be compared with the page's description in the README.
 */
#include "host_drawing.h"

#include <plat/gdi.h>

#include <cmath>
#include <functional>

namespace host {

namespace {

using plat::GdiBrush;
using plat::GdiPathDraw;
using plat::PathFigure;

constexpr double kPi = 3.14159265358979323846;

/* Hatch styles (kHatchCross, kHatchDiagCross). */
constexpr ULONG kHatchCross = 4, kHatchDiagCross = 5;

/* Colours in the device's order (0x00RRGGBB). */
constexpr ULONG kRed = 0xFF0000, kGreen = 0x00A000, kBlue = 0x0000FF, kOrange = 0xFF8000, kGrey = 0x808080,
                kBlack = 0x000000, kWhite = 0xFFFFFF, kPurple = 0x800080;

struct Page {
    HDC dc;
    PageScale scale;
    std::string &error;

    POINTFIX point(double x, double y) const
    {
        return POINTFIX{FIX(std::lround(x * scale.x * 16)), FIX(std::lround(y * scale.y * 16))};
    }
    RECTL rect(double l, double t, double r, double b) const
    {
        return RECTL{LONG(std::lround(l * scale.x)), LONG(std::lround(t * scale.y)), LONG(std::lround(r * scale.x)),
                     LONG(std::lround(b * scale.y))};
    }

    PathFigure polygon(std::initializer_list<std::pair<double, double>> pts, bool closed) const
    {
        PathFigure f;
        for (auto [x, y] : pts)
            f.points.push_back(point(x, y));
        f.closed = closed;
        return f;
    }
    PathFigure box(double l, double t, double r, double b) const
    {
        return polygon({{l, t}, {r, t}, {r, b}, {l, b}}, true);
    }
    /* An ellipse as GDI hands it: four Bezier quarters, flagged as an ellipse by the caller. */
    PathFigure oval(double l, double t, double r, double b) const
    {
        const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2, k = 0.5523;
        PathFigure f;
        f.beziers = true;
        f.closed = true;
        f.points = {point(r, cy),          point(r, cy + k * ry), point(cx + k * rx, b), point(cx, b),
                    point(cx - k * rx, b), point(l, cy + k * ry), point(l, cy),          point(l, cy - k * ry),
                    point(cx - k * rx, t), point(cx, t),          point(cx + k * rx, t), point(r, cy - k * ry),
                    point(r, cy)};
        return f;
    }

    bool draw(const char *item, const GdiPathDraw &d)
    {
        if (plat::gdi_draw_path(dc, d))
            return true;
        error = std::string("drawing ") + item + " failed";
        return false;
    }
};

GdiBrush solid(ULONG color)
{
    GdiBrush b;
    b.color = color;
    return b;
}

GdiBrush hatch(ULONG style, ULONG color)
{
    GdiBrush b;
    b.kind = GdiBrush::Hatch;
    b.hatch = style;
    b.color = color;
    b.background = kWhite;
    return b;
}

LINEATTRS cosmetic(LONG width)
{
    LINEATTRS la{};
    la.elWidth.l = width;
    return la;
}

LINEATTRS geometric(double width, ULONG join, ULONG cap)
{
    LINEATTRS la{};
    la.fl = LA_GEOMETRIC;
    la.iJoin = join;
    la.iEndCap = cap;
    la.elWidth.e = FLOATL(width);
    la.eMiterLimit = 10.0f;
    return la;
}

GdiPathDraw fill(std::vector<PathFigure> figures, GdiBrush brush, FLONG mode = FP_ALTERNATEMODE)
{
    GdiPathDraw d;
    d.mode = 2;
    d.figures = std::move(figures);
    d.fill = std::move(brush);
    d.fillMode = mode;
    return d;
}

GdiPathDraw stroke(std::vector<PathFigure> figures, ULONG color, LINEATTRS line)
{
    GdiPathDraw d;
    d.mode = 1;
    d.figures = std::move(figures);
    d.pen = solid(color);
    d.line = line;
    return d;
}

} // namespace

PageScale host_page_scale(HDC dc, int yDpi)
{
    const int xDpi = GetDeviceCaps(dc, LOGPIXELSX);
    const double x = xDpi > 0 ? xDpi / 600.0 : 1.0;
    return PageScale{x, yDpi > 0 ? yDpi / 600.0 : x};
}

bool host_draw_vector_page(HDC dc, PageScale scale, std::string &error)
{
    Page p{dc, scale, error};

    /* Row 1: filled and stroked rectangles and ellipses. */
    if (!p.draw("the red rectangle", fill({p.box(300, 300, 1100, 900)}, solid(kRed))))
        return false;
    GdiPathDraw framed = stroke({p.box(1300, 300, 2100, 900)}, kBlue, geometric(24, JOIN_MITER, ENDCAP_SQUARE));
    if (!p.draw("the blue frame", framed))
        return false;
    GdiPathDraw disc = fill({p.oval(2300, 300, 3100, 900)}, solid(kGreen));
    disc.pathFlags = PO_ELLIPSE;
    if (!p.draw("the green ellipse", disc))
        return false;
    GdiPathDraw ring = stroke({p.oval(3300, 300, 4100, 900)}, kBlack, cosmetic(1));
    ring.pathFlags = PO_ELLIPSE;
    if (!p.draw("the black ellipse outline", ring))
        return false;

    /* Row 2: Bezier paths, an even-odd star and a winding star, a rectangle filled and outlined at once. */
    PathFigure wave;
    wave.beziers = true;
    wave.points = {p.point(300, 1500), p.point(500, 1100), p.point(700, 1900), p.point(900, 1500),
                   p.point(1100, 1100), p.point(1300, 1900), p.point(1500, 1500)};
    if (!p.draw("the Bezier wave", stroke({wave}, kPurple, geometric(12, JOIN_ROUND, ENDCAP_ROUND))))
        return false;
    PathFigure drop;
    drop.beziers = true;
    drop.closed = true;
    drop.points = {p.point(1900, 1100), p.point(2300, 1300), p.point(2100, 1900), p.point(1900, 1900),
                   p.point(1700, 1900), p.point(1500, 1300), p.point(1900, 1100)};
    if (!p.draw("the orange drop", fill({drop}, solid(kOrange))))
        return false;
    auto star = [&](double cx, double cy) {
        PathFigure f;
        f.closed = true;
        for (int i = 0; i < 5; i++) {
            const double a = -kPi / 2 + i * 4 * kPi / 5;
            f.points.push_back(p.point(cx + 380 * std::cos(a), cy + 380 * std::sin(a)));
        }
        return f;
    };
    if (!p.draw("the even-odd star", fill({star(2900, 1500)}, solid(kBlue), FP_ALTERNATEMODE)) ||
        !p.draw("the winding star", fill({star(3800, 1500)}, solid(kBlue), FP_WINDINGMODE)))
        return false;
    GdiPathDraw both;
    both.mode = 3;
    both.figures = {p.box(4300, 1200, 4600, 1800)};
    both.fill = solid(kGrey);
    both.pen = solid(kBlack);
    both.line = cosmetic(4);
    if (!p.draw("the grey rectangle with its outline", both))
        return false;

    /* Row 3: wide lines with each cap and join, then dashed lines. */
    const struct {
        ULONG join, cap;
    } ends[] = {{JOIN_ROUND, ENDCAP_ROUND}, {JOIN_BEVEL, ENDCAP_SQUARE}, {JOIN_MITER, ENDCAP_BUTT}};
    for (int i = 0; i < 3; i++) {
        const double x = 400 + i * 1100;
        PathFigure zig = p.polygon({{x, 2500}, {x + 300, 2100}, {x + 600, 2500}, {x + 900, 2100}}, false);
        if (!p.draw("a wide line", stroke({zig}, kBlack, geometric(60, ends[i].join, ends[i].cap))))
            return false;
    }
    GdiPathDraw styled = stroke({p.polygon({{300, 2800}, {4500, 2800}}, false)}, kRed, cosmetic(1));
    styled.style = {FLOAT_LONG{.l = 6}, FLOAT_LONG{.l = 2}};
    GdiPathDraw alternate = stroke({p.polygon({{300, 2900}, {4500, 2900}}, false)}, kBlack, cosmetic(1));
    alternate.line.fl = LA_ALTERNATE;
    GdiPathDraw dashedWide = stroke({p.polygon({{300, 3050}, {4500, 3050}}, false)}, kBlue,
                                    geometric(20, JOIN_ROUND, ENDCAP_BUTT));
    dashedWide.style = {FLOAT_LONG{120.0f}, FLOAT_LONG{60.0f}};
    if (!p.draw("the styled line", styled) || !p.draw("the alternate line", alternate) ||
        !p.draw("the dashed wide line", dashedWide))
        return false;

    /* Row 4: a region clip of two windows over a green disc; a rectangle filled past a rectangular clip. */
    GdiPathDraw clipped = fill({p.oval(300, 3300, 2100, 4500)}, solid(kGreen));
    clipped.clip = {p.rect(300, 3300, 1100, 4500), p.rect(1300, 3300, 2100, 3900)};
    if (!p.draw("the clipped disc", clipped))
        return false;
    GdiPathDraw cut = fill({p.box(2300, 3300, 4600, 4500)}, hatch(kHatchDiagCross, kPurple));
    cut.clip = {p.rect(2500, 3500, 4400, 4300)};
    if (!p.draw("the rectangle cut to its clip", cut))
        return false;

    /* Row 5: each hatch in red, then the same in grey. */
    for (ULONG style = 0; style < 6; style++) {
        const double x = 300 + style * 720;
        if (!p.draw("a red hatch", fill({p.box(x, 4700, x + 600, 5200)}, hatch(style, kRed))) ||
            !p.draw("a grey hatch", fill({p.box(x, 5300, x + 600, 5800)}, hatch(style, kGrey))))
            return false;
    }

    /* Row 6: a one-bit pattern, a colour pattern, a transparent hatch over orange, a grey solid. */
    GdiBrush checker;
    checker.kind = GdiBrush::Pattern;
    checker.format = BMF_1BPP;
    checker.width = checker.height = 8;
    for (int y = 0; y < 8; y++)
        checker.rows.insert(checker.rows.end(), {BYTE(y % 2 ? 0x0F : 0xF0), 0, 0, 0});
    checker.palette = {kBlue, kWhite};
    if (!p.draw("the checker pattern", fill({p.box(300, 6000, 1300, 6500)}, checker)))
        return false;
    GdiBrush tiles;
    tiles.kind = GdiBrush::Pattern;
    tiles.format = BMF_24BPP;
    tiles.width = tiles.height = 4;
    for (int y = 0; y < 4; y++) {
        for (int x = 0; x < 4; x++)
            tiles.rows.insert(tiles.rows.end(), {BYTE(x * 80), BYTE(y * 80), BYTE(255 - x * 60)});
        tiles.rows.insert(tiles.rows.end(), {0, 0, 0, 0}); /* 12 bytes a row, padded to 16 */
        tiles.rows.resize(size_t(y + 1) * 16);
    }
    if (!p.draw("the colour pattern", fill({p.box(1500, 6000, 2500, 6500)}, tiles)))
        return false;
    if (!p.draw("the orange ground", fill({p.box(2700, 6000, 3700, 6500)}, solid(kOrange))))
        return false;
    GdiPathDraw overlay = fill({p.box(2700, 6000, 3700, 6500)}, hatch(kHatchCross, kBlack));
    overlay.mix = 0x0B0D; /* background R2_NOP: the hatch's gaps leave the orange */
    if (!p.draw("the transparent hatch", overlay))
        return false;
    return p.draw("the grey square", fill({p.box(3900, 6000, 4400, 6500)}, solid(kGrey)));
}

} // namespace host
