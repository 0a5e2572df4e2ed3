/*
 * Placement of a rotated item (a watermark or a stamp) on a page: the
 * rotation, the offset that puts the turned item where it belongs, and,
 * for an item without an alignment, the tiling that repeats it over the
 * whole area.  All lengths are in the caller's units (the area's and the
 * item's); the layout holds 32-bit floats.
 */
#ifndef TARVEL_GEO_PLACEMENT_H
#define TARVEL_GEO_PLACEMENT_H

#include <plat/types.h>

struct PlacementLayout {
    FLOAT m11, m12, m21, m22; /* rotation: x' = x m11 + y m12 + tx, y' = x m21 + y m22 + ty */
    FLOAT tx, ty;             /* offset */
    FLOAT sx, sy;             /* tile step */
    USHORT columns, rows;     /* tile counts; both 0 for a single aligned item */
};

struct PlacementPoint {
    FLOAT x, y;
};

/* Turn modes. */
constexpr int GEO_TURN_ABOUT_CENTRE = 2; /* any other mode turns about the corner into the positive quadrant */

/* Alignment: horizontal nibble (0xF00) and vertical nibble (0x00F); 0 tiles the item. */
constexpr DWORD GEO_ALIGN_LEFT = 0x100;
constexpr DWORD GEO_ALIGN_HCENTRE = 0x200;
constexpr DWORD GEO_ALIGN_RIGHT = 0x300;
constexpr DWORD GEO_ALIGN_TOP = 0x1;
constexpr DWORD GEO_ALIGN_VCENTRE = 0x2;
constexpr DWORD GEO_ALIGN_BOTTOM = 0x3;

/* Most copies a tiling answers. */
constexpr int GEO_MAX_COPIES = 0x7FFFFFF;

/*
 * Lays out an item of size `item` turned by `angle` degrees (positive turns
 * the item's x axis towards its negative y) in an area of size `area`.
 * Mode 2 turns the item about its centre and leaves it in its own w x h box;
 * other modes turn it about its corner and move the turned item into the
 * positive quadrant, its box then being the turned item's bounds.  With an
 * alignment the box is placed by the alignment's nibbles and the answer is 1
 * copy; without one (0) the box is tiled over the area: the answer is
 * columns x rows (columns and rows each at most 65,535, the answer at most
 * GEO_MAX_COPIES).  Returns the number of copies, or -1 for a null argument
 * or, when tiling, a box without width or height.
 */
int GEO_LayoutRotatedItem(const SIZEL *area, const SIZEL *item, SHORT angle, int mode, DWORD alignment,
                          PlacementLayout *layout);

/*
 * Maps a point of the item onto copy `copy` of the layout.  Returns 0, or -1
 * for a null argument or a copy beyond the layout's copies (a layout without
 * tiles has one copy).
 */
int GEO_MapItemPoint(const PlacementLayout *layout, const PlacementPoint *point, int copy, PlacementPoint *out);

#endif /* TARVEL_GEO_PLACEMENT_H */
