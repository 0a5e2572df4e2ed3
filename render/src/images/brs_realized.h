/*
 * The realisation of a pattern or hatch brush, as BRS_RealizeBrush stores it
 * in the block the engine keeps with the brush: a 40-byte header, the
 * pattern rows (none for hatches) and the palette.
 */
#ifndef TARVELGR_BRS_REALIZED_H
#define TARVELGR_BRS_REALIZED_H

#include <plat/types.h>

#include <cstddef>

/* Pattern kinds: the bitmap format of palette patterns, 5 for 16-, 24- and 32-bit patterns kept as 24-bit. */
enum : LONG {
    BRS_KIND_1BPP = 1,
    BRS_KIND_4BPP = 2,
    BRS_KIND_8BPP = 3,
    BRS_KIND_COLOR = 5,
};

/* Styles below this are the six hatches; a pattern brush keeps the engine's iHatch (6 and above). */
inline constexpr LONG BRS_FIRST_PATTERN_STYLE = 6;

/* Largest palette kept: the 256 entries of an 8-bit pattern. */
inline constexpr DWORD BRS_MAX_PALETTE = 256;

struct RealizedBrush {
    LONG width;            /* sizlBitmap */
    LONG height;
    LONG kind;             /* BRS_KIND_ */
    WORD flags;            /* the pattern's fjBitmap with BMF_TOPDOWN set: rows are stored top-down */
    WORD reserved0;
    DWORD paletteCount;    /* entries of the palette */
    DWORD paletteOffset;   /* 40 + pattern bytes */
    LONG style;            /* hatch 0-5, or the pattern brush's iHatch */
    DWORD patternBytes;    /* rows x padded row length; 0 for hatches */
    DWORD reserved1[2];
    /* pattern rows, each padded to 4 bytes, top row first (blue, green, red for colour patterns) */
    /* palette: paletteCount entries of 4 bytes (0x00RRGGBB, blue lowest) */
};
static_assert(sizeof(RealizedBrush) == 40 && offsetof(RealizedBrush, paletteCount) == 16 &&
                  offsetof(RealizedBrush, style) == 24,
              "RealizedBrush header layout");

/* Bytes of one stored row of a pattern of `kind` and `width` pixels (padded to 4). */
inline DWORD BRS_RowBytes(LONG kind, LONG width)
{
    const unsigned bits = kind == BRS_KIND_1BPP ? 1 : kind == BRS_KIND_4BPP ? 4 : kind == BRS_KIND_8BPP ? 8 : 24;
    return DWORD((ULONGLONG(width) * bits + 31) / 32 * 4);
}

/* The pattern rows and the palette of a realisation. */
inline const BYTE *BRS_Rows(const RealizedBrush *rb) { return reinterpret_cast<const BYTE *>(rb) + sizeof *rb; }
inline const BYTE *BRS_PaletteBytes(const RealizedBrush *rb)
{
    return reinterpret_cast<const BYTE *>(rb) + rb->paletteOffset;
}

/* Palette entry `i` of a realisation as blue, green, red (entry 0 for an index past the palette). */
void BRS_PaletteColor(const RealizedBrush *rb, DWORD i, BYTE bgr[3]);

#endif /* TARVELGR_BRS_REALIZED_H */
