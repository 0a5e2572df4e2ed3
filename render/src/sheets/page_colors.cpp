/*
 * The page colour set (see page_colors.h): its initialisation, done for
 * every job when its channel opens and for every recorded page, and the
 * colour code it gives a colour page.
 */
#include "page_colors.h"

#include <cstddef>

int PCS_Init(PageColorSet *set, LONG active, WORD capacity, LONG mode)
{
    if (!set || capacity > PCS_MAX_CAPACITY)
        return -1;
    set->active = active;
    set->count = 0;
    set->capacity = capacity;
    set->mode = mode;
    for (LONG &color : set->colors)
        color = PCS_WHITE;
    return 0;
}

BYTE PCS_ColorCode(const PageColorSet *set, BYTE colorCode)
{
    if (!set || colorCode != 2 || set->active != 1)
        return colorCode;
    return BYTE(16 * set->count + 2);
}

namespace {

constexpr LONG kBlack = 0;

/* 0xRRGGBB of three bytes red, green, blue. */
LONG rgb_at(const BYTE *p) { return LONG(p[0]) << 16 | LONG(p[1]) << 8 | LONG(p[2]); }

/* 0xRRGGBB of a grey byte. */
LONG grey(BYTE g) { return LONG(g) * 0x010101; }

/* Palette entry `index`: 3 bytes a colour, or one grey byte. */
LONG entry(const BYTE *palette, DWORD index, LONG colorFlag)
{
    return colorFlag ? rgb_at(palette + 3 * index) : grey(palette[index]);
}

/* Bytes of one packed row, or 0 for a depth the set does not read. */
size_t row_bytes(LONG width, LONG bitsPerPixel, LONG colorFlag)
{
    size_t w = size_t(width);
    switch (bitsPerPixel) {
    case 1: return (w + 7) / 8;
    case 4: return (w + 1) / 2;
    case 8: return w;
    case 24: return colorFlag ? 3 * w : w;
    default: return 0;
    }
}

} // namespace

void PCS_Deactivate(PageColorSet *set)
{
    if (set)
        set->active = 0;
}

void PCS_AddColor(PageColorSet *set, LONG color)
{
    if (!set || set->active != 1 || color == PCS_WHITE || (set->mode == 1 && color == kBlack))
        return;
    const WORD stored = set->count <= set->capacity ? set->count : set->capacity;
    for (WORD i = 1; i <= stored; i++)
        if (set->colors[i] == color)
            return;
    if (set->count >= set->capacity) {
        set->active = 0; /* one colour more than the set holds */
        return;
    }
    set->count++;
    set->colors[set->count] = color;
}

void PCS_Merge(PageColorSet *set, const PageColorSet *from)
{
    if (!set || !from || set->active != 1)
        return;
    if (from->active != 1) {
        /* The partner had more colours than its set holds: so has the side. */
        set->active = 0;
        return;
    }
    const WORD stored = from->count <= PCS_MAX_CAPACITY ? from->count : PCS_MAX_CAPACITY;
    for (WORD i = 1; i <= stored && set->active == 1; i++)
        PCS_AddColor(set, from->colors[i]);
}

void PCS_ScanBitmap(PageColorSet *set, const BYTE *pixels, LONG width, LONG height, LONG bitsPerPixel, LONG colorFlag,
                    const BYTE *palette)
{
    if (!set || !pixels || width <= 0 || height <= 0)
        return;
    const size_t stride = row_bytes(width, bitsPerPixel, colorFlag);
    if (stride == 0 || (bitsPerPixel != 24 && !palette))
        return;
    for (LONG y = 0; y < height && set->active == 1; y++) {
        const BYTE *row = pixels + size_t(y) * stride;
        bool seen[2] = {false, false};
        for (LONG x = 0; x < width && set->active == 1; x++) {
            switch (bitsPerPixel) {
            case 1: {
                DWORD bit = (row[x / 8] >> (7 - x % 8)) & 1;
                if (!seen[bit]) {
                    seen[bit] = true;
                    PCS_AddColor(set, entry(palette, bit, colorFlag));
                }
                break;
            }
            case 4:
                PCS_AddColor(set, entry(palette, (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF, colorFlag));
                break;
            case 8:
                PCS_AddColor(set, entry(palette, row[x], colorFlag));
                break;
            default:
                PCS_AddColor(set, colorFlag ? rgb_at(row + 3 * size_t(x)) : grey(row[x]));
                break;
            }
            if (bitsPerPixel == 1 && seen[0] && seen[1])
                break; /* both entries counted: the rest of the row adds nothing */
        }
    }
}
