/*
 * The page colour set: the distinct colours a page uses, up to a small
 * limit, so that a page can be announced to the printer as monochrome or
 * colour together with how few colours it has.  The drawing code adds the
 * colours it paints and the pixels of every image; the set is stored with
 * each recorded page and merged with a partner page's when two pages share
 * a sheet side.  Also the crop marks of poster sheets.
 */
#ifndef TARVELGR_PAGE_COLORS_H
#define TARVELGR_PAGE_COLORS_H

#include <plat/types.h>

/* Most colours a set can hold (slots 1 to capacity of the 16 are used). */
inline constexpr WORD PCS_MAX_CAPACITY = 15;

/* The value of an unused slot: white, which is never counted. */
inline constexpr LONG PCS_WHITE = 0xFFFFFF;

struct PageColorSet {
    LONG active;       /* 1 while collecting; 0 when not asked for or overflowed */
    WORD count;        /* distinct colours stored */
    WORD capacity;     /* at most PCS_MAX_CAPACITY */
    LONG mode;         /* 0: white is not counted; 1: white and black are not counted */
    LONG colors[16];   /* 0xRRGGBB values */
};
static_assert(sizeof(PageColorSet) == 76, "PageColorSet layout");

/*
 * Starts an empty set: `active` as given, `capacity` and `mode` kept, count
 * 0, every slot white.  Returns 0, or -1 (the set unchanged) for a null set
 * or a capacity above 15.
 */
int PCS_Init(PageColorSet *set, LONG active, WORD capacity, LONG mode);

/* Stops collecting: the page has colours the set cannot see (an image passed through untouched). */
void PCS_Deactivate(PageColorSet *set);

/*
 * Adds one 0xRRGGBB colour while the set is collecting.  White is never
 * counted, nor black in mode 1, nor a colour already stored.  A colour past
 * the capacity stops the collecting (the set then stands for more colours
 * than it holds) and is not stored.
 */
void PCS_AddColor(PageColorSet *set, LONG color);

/* Adds every stored colour of `from` to `set` while `set` collects; an overflowed `from` stops `set` too. */
void PCS_Merge(PageColorSet *set, const PageColorSet *from);

/*
 * Adds the colour of every pixel of a packed bitmap, row by row, until the
 * set stops collecting.  Rows are (width + 7) / 8 bytes at 1 bit a pixel
 * (most significant bit first), (width + 1) / 2 at 4 bits (high nibble
 * first), width at 8 bits, and 3 x width at 24 bits (width with
 * `colorFlag` 0).  With `colorFlag` the palette entries (1, 4 and 8 bits)
 * and the 24-bit pixels are 3 bytes red, green, blue; without it each entry
 * or pixel is one grey byte.  A 1-bit row stops once both entries were
 * seen.  Other depths, or a palette missing where one is needed, add
 * nothing.
 */
void PCS_ScanBitmap(PageColorSet *set, const BYTE *pixels, LONG width, LONG height, LONG bitsPerPixel, LONG colorFlag,
                    const BYTE *palette);

/*
 * The BeginPage colour code of a page: a colour page (code 2) whose set is
 * still collecting tells how few colours it has, 16 x count + 2; any other
 * code is returned unchanged.
 */
BYTE PCS_ColorCode(const PageColorSet *set, BYTE colorCode);

struct PdevContext;

/*
 * The crop-mark pen at `resolution` dpi: width from the inset, round caps
 * and joins, the dash (resolution / 15, resolution / 60, each cut to 8 bits),
 * no brush, ROP3 0xF0, a black RGB pen.  0, or -1.
 */
int LAY_SetCropMarkPen(PdevContext *pdev, LONG resolution);

/*
 * The twelve crop marks of a poster sheet, in the sheet's own pixels: the
 * four corners, then the centres of the top and bottom edges and of the
 * left and right edges, 10 mm long each, inset from the printable area's
 * edges.  The printable area is `width` x `height` pixels from (left, top)
 * on the paper as fed (sheets are never turned, so nothing is exchanged for
 * a landscape page); the marks' lines are written relative to that corner,
 * which the transform sent before them moves to.  The graphics state is
 * unknown after.  0, or -1.
 */
int LAY_DrawCropMarks(PdevContext *pdev, LONG left, LONG top, LONG width, LONG height, LONG resolution);

#endif /* TARVELGR_PAGE_COLORS_H */
