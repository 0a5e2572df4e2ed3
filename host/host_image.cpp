/*
 * The image page of the test document.  Places are laid out in 600ths of
 * an inch and scaled to the device's resolution on each axis; the two
 * plain blts copy pixel for pixel, so they cover twice the paper at 300 dpi
 * as at 600.
 * Every item is one engine image call (or, under the transparent blt, one
 * path fill), so a rendering of the job can be compared with the page's
 * description in the README.
 */
#include "host_image.h"

#include <cmath>
#include <vector>

namespace host {

namespace {

using plat::GdiImage;
using plat::GdiImageDraw;

/* Rows padded to four bytes, as a device-independent bitmap keeps them. */
size_t stride(LONG width, ULONG bits) { return (size_t(width) * bits + 31) / 32 * 4; }

/* 256 x 128, 24 bits: red rises to the right, green downwards, blue falls to the right. */
std::vector<BYTE> gradient_rows()
{
    std::vector<BYTE> rows(stride(256, 24) * 128);
    for (LONG y = 0; y < 128; y++) {
        BYTE *row = rows.data() + size_t(y) * stride(256, 24);
        for (LONG x = 0; x < 256; x++) {
            row[x * 3] = BYTE(255 - x);      /* blue */
            row[x * 3 + 1] = BYTE(y * 2);    /* green */
            row[x * 3 + 2] = BYTE(x);        /* red */
        }
    }
    return rows;
}

/* 128 x 128, 1 bit: a disc (bits 0, black) on white (bits 1). */
std::vector<BYTE> mask_rows()
{
    std::vector<BYTE> rows(stride(128, 1) * 128, 0);
    for (LONG y = 0; y < 128; y++)
        for (LONG x = 0; x < 128; x++) {
            const double dx = x - 63.5, dy = y - 63.5;
            if (dx * dx + dy * dy >= 56.0 * 56.0)
                rows[size_t(y) * stride(128, 1) + size_t(x / 8)] |= BYTE(0x80 >> (x % 8));
        }
    return rows;
}

/* 64 x 64, 8 bits: eight rings of palette colours around index 0 (white) in the corners. */
std::vector<BYTE> palette_rows()
{
    std::vector<BYTE> rows(stride(64, 8) * 64);
    for (LONG y = 0; y < 64; y++)
        for (LONG x = 0; x < 64; x++) {
            const double r = std::hypot(x - 31.5, y - 31.5);
            rows[size_t(y) * stride(64, 8) + size_t(x)] = r >= 32 ? 0 : BYTE(1 + int(r) / 4);
        }
    return rows;
}

const std::vector<ULONG> kPalette = {0xFFFFFF, 0xFF0000, 0xFF8000, 0xFFFF00, 0x00A000,
                                     0x00A0A0, 0x0000FF, 0x800080, 0x000000};

struct Page {
    HDC dc;
    PageScale scale;
    std::string &error;

    LONG across(double v) const { return LONG(std::lround(v * scale.x)); }
    LONG down(double v) const { return LONG(std::lround(v * scale.y)); }
    RECTL rect(double l, double t, double r, double b) const { return RECTL{across(l), down(t), across(r), down(b)}; }

    bool draw(const char *item, const GdiImageDraw &d)
    {
        if (plat::gdi_draw_image(dc, d))
            return true;
        error = std::string("drawing ") + item + " failed";
        return false;
    }
};

GdiImage image(ULONG format, LONG width, LONG height, const std::vector<BYTE> &rows, std::vector<ULONG> palette = {})
{
    GdiImage im;
    im.format = format;
    im.width = width;
    im.height = height;
    im.bits = rows.data();
    im.size = rows.size();
    im.palette = std::move(palette);
    return im;
}

/* A plain blt of the whole image, pixel for pixel, its top left at (x, y) in 600ths. */
GdiImageDraw copy(const Page &p, const GdiImage &im, double x, double y)
{
    GdiImageDraw d;
    d.call = GdiImageDraw::Bit;
    d.image = im;
    d.dest = RECTL{p.across(x), p.down(y), p.across(x) + im.width, p.down(y) + im.height};
    d.src = RECTL{0, 0, im.width, im.height};
    return d;
}

GdiImageDraw stretch(const GdiImage &im, RECTL dest)
{
    GdiImageDraw d;
    d.image = im;
    d.dest = dest;
    d.src = RECTL{0, 0, im.width, im.height};
    return d;
}

} // namespace

bool host_draw_image_page(HDC dc, PageScale scale, std::string &error)
{
    Page p{dc, scale, error};
    const std::vector<BYTE> gradient = gradient_rows(), mask = mask_rows(), rings = palette_rows();
    const GdiImage photo = image(BMF_24BPP, 256, 128, gradient);
    const GdiImage disc = image(BMF_1BPP, 128, 128, mask, {0x000000, 0xFFFFFF});
    const GdiImage target = image(BMF_8BPP, 64, 64, rings, kPalette);

    /* Row 1: the gradient stretched over 2000 x 1000, and its mirror image beside it. */
    if (!p.draw("the gradient", stretch(photo, p.rect(300, 300, 2300, 1300))))
        return false;
    RECTL turned = p.rect(2500, 300, 4500, 1300);
    std::swap(turned.left, turned.right);
    if (!p.draw("the mirrored gradient", stretch(photo, turned)))
        return false;

    /* Row 2: the one-bit disc and the palette rings pixel for pixel, then the rings stretched over 1200 x 1200. */
    if (!p.draw("the one-bit mask", copy(p, disc, 300, 1500)) ||
        !p.draw("the palette image", copy(p, target, 1500, 1500)) ||
        !p.draw("the stretched palette image", stretch(target, p.rect(2500, 1500, 3700, 2700))))
        return false;

    /* Row 3: an orange ground, and the rings over it with their white corners left out. */
    plat::GdiPathDraw ground;
    const RECTL g = p.rect(300, 2900, 1500, 4100);
    ground.figures = {plat::PathFigure{{POINTFIX{g.left * 16, g.top * 16}, POINTFIX{g.right * 16, g.top * 16},
                                        POINTFIX{g.right * 16, g.bottom * 16}, POINTFIX{g.left * 16, g.bottom * 16}},
                                       true, false}};
    ground.fill.color = 0xFF8000;
    if (!plat::gdi_draw_path(dc, ground)) {
        error = "drawing the orange ground failed";
        return false;
    }
    GdiImageDraw see = stretch(target, g);
    see.call = GdiImageDraw::Transparent;
    see.transparent = 0; /* the white corners' index */
    return p.draw("the transparent palette image", see);
}

} // namespace host
