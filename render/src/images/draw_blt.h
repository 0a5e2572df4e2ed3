/*
 * Bit-block transfers, image output and pending images: the functions of
 * the blt core, the image road and the image held for the colour engine.
 * The engine's entry points are in ddi_workers.h, the job's image records
 * in blt_image_spool.h and blt_image_output.h.  The small rules at the top
 * are built; the rest is later work and fails visibly meanwhile
 * (draw_not_built_blt.cpp; the README's "Not built yet" table lists them).
 */
#ifndef TARVELGR_DRAW_BLT_H
#define TARVELGR_DRAW_BLT_H

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/types.h>

struct PdevContext;
struct PageColorSet;
struct ImageSpool;
struct PendingImageList;
struct ImageDescriptor; /* an image's sizes, format, colour space and compression */
struct ImageBands;      /* the band record of one image write */
struct DownscaleState;  /* the reduction of one image */
struct ClipCopy;        /* a clip object copied for a held image */

/* ---- Rules of the blt core (built) --------------------------------------- */

/* The rectangle of the two corners of `in`, smaller values first. */
void BLT_NormalizeRect(const RECTL *in, RECTL *out);

/* Cuts `rect` to `bounds`: left and top the larger, right and bottom the smaller of the two. */
void BLT_IntersectClipBounds(RECTL *rect, const RECTL *bounds);

/*
 * True when an unstretched blt (extent as large as the destination) under a
 * single-rectangle clip reaches beyond the clip: the rectangle is then cut
 * to the clip instead of sending one.
 */
bool BLT_ClipByIntersection(const RECTL *extent, const RECTL *dest, const CLIPOBJ *pco);

/* False for the twelve ROP3 values that combine only source and destination. */
bool BLT_RopUsesPattern(BYTE rop3);

/* Bits per pixel of an engine bitmap format; 0 for another format. */
ULONG BLT_BitsPerPixel(ULONG iBitmapFormat);

/* True when the colour is grey within the tolerance of its brightness band. */
bool BLT_IsNearGrey(BYTE r, BYTE g, BYTE b);

/* ---- Transparent blts ---------------------------------------------------- */

/* The source value the translation maps to white: TRUE with *value set, FALSE when none. */
BOOL BLT_FindWhiteIndex(SURFOBJ *psoSrc, XLATEOBJ *pxlo, ULONG *value);

/*
 * Clears the mask bit of every source pixel equal to `transparent` and, with
 * `white`, writes the white value into that pixel of `psoCopy`.  TRUE / FALSE.
 */
BOOL BLT_BuildTransparentMask(SURFOBJ *psoSrc, SURFOBJ *psoCopy, SURFOBJ *psoMask, ULONG transparent,
                              const ULONG *white);

/* ---- The image road ------------------------------------------------------ */

/* The image road of one ROP3: TRUE when drawn. */
BOOL BLT_BltSourceImage(PdevContext *pdev, CLIPOBJ *pco, SURFOBJ *psoSrc, SURFOBJ *psoMask, LONG width,
                        LONG height, POINTL *pptlSrc, POINTL *pptlMask, RECTL *prclDest, XLATEOBJ *pxlo,
                        BRUSHOBJ *pbo, POINTL *pptlBrush, LONG ropMode, BYTE rop3);

/* Writes the source as an image; `plainCopy`: ROP mode 2 with ROP3 0xCC.  TRUE / FALSE. */
BOOL BLT_EmitImage(PdevContext *pdev, SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc,
                   const RECTL *prclDest, XLATEOBJ *pxlo, const float scale[6], CLIPOBJ *pco,
                   DownscaleState *downscale, BOOL plainCopy);

/* Writes the source as a two-colour (one-bit white) mask under `rop3`.  TRUE / FALSE. */
BOOL BLT_EmitMaskImage(PdevContext *pdev, SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc,
                       const RECTL *prclDest, XLATEOBJ *pxlo, const float scale[6], BYTE rop3,
                       DownscaleState *downscale);

/* True when the source is drawn as a two-colour mask. */
bool BLT_IsTwoColorMask(SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc, XLATEOBJ *pxlo, BRUSHOBJ *pbo,
                        LONG ropMode, BYTE rop3);

/* How the translation is applied to a source of `iBitmapFormat`, classified once per image. */
int BLT_XlateKind(XLATEOBJ *pxlo, ULONG iBitmapFormat);

/*
 * Reads the source rows (kind 0 colour, 1 one-bit white mask) into a new
 * moveable block (*block): its locked rows, or null.
 */
BYTE *BLT_ReadSourceBits(SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc, XLATEOBJ *pxlo, LONG kind,
                         HANDLE *block, DownscaleState *downscale, ULONG mirror);

/* Writes raw, RLE or DeltaRow blocks of `rowCount` rows of `rowBytes`.  TRUE / FALSE. */
BOOL BLT_WriteImageBands(PdevContext *pdev, ULONG rowBytes, ULONG rowCount, ImageBands *bands, const BYTE *rows);

/*
 * The same for rows `stride` bytes apart (negative: upwards), such as a
 * source bitmap's own rows; `swapRgb` sends each row's three-byte pixels
 * swapped from blue, green, red into red, green, blue (the rows are only
 * read).
 */
BOOL BLT_WriteImageRows(PdevContext *pdev, ULONG rowBytes, ULONG rowCount, ImageBands *bands, const BYTE *rows,
                        LONGLONG stride, BOOL swapRgb);

/* Writes the image as JPEG: TRUE to go on, FALSE to stop. */
BOOL BLT_WriteJpegImageBands(PdevContext *pdev, ImageDescriptor *descriptor, ImageBands *bands, const BYTE *rows);

/*
 * Classifies pixels (format 4, three bytes each) or a palette (format 11)
 * as colour or grey into the colour scan state and the page's colour set.
 * 0, or -1 when the colour set cannot take the colours.
 */
int BLT_ClassifyImageColors(LONG *scanState, PageColorSet *colors, PdevContext *pdev, const BYTE *pixels,
                            LONG width, LONG height, const BYTE *palette, LONG paletteCount, LONG format,
                            LONG bitsPerPixel);

/* The same for 24-bit rows (blue, green, red) `stride` bytes apart (negative: upwards). */
int BLT_ClassifyImageRows(LONG *scanState, PageColorSet *colors, PdevContext *pdev, const BYTE *pixels,
                          LONGLONG stride, LONG width, LONG height);

/* Converts `count` brush-pattern pixels (text settings when `text`): 2 grey, 1 colour, 0 failed. */
int BLT_ConvertPatternColors(PdevContext *pdev, const BYTE *pixels, BYTE *out, LONG count, BOOL text);

/* ---- Pending images and downscaling -------------------------------------- */

/*
 * Holds an image for the colour engine: 0 queued (the node owns the block,
 * *block and *pixels are cleared), -2 no node memory, -1 otherwise.
 */
int BLT_QueuePendingImage(PendingImageList *list, CLIPOBJ *pco, const RECTL *prclDest,
                          const ImageDescriptor *descriptor, BYTE **pixels, HANDLE *block);

/* Writes the held images: 1 when the list is empty at the end, 0 when a step failed. */
int BLT_EmitPendingImages(PdevContext *pdev);

/* Copies the clip of a held image: TRUE, or FALSE for no clip object or an unknown complexity. */
BOOL BLT_CopyClip(CLIPOBJ *pco, const RECTL *prclDest, ClipCopy *copy);

/* True when the image is to be reduced; the reduced size is left in `downscale`. */
bool BLT_PlanDownscale(void *settings, DownscaleState *downscale, SURFOBJ *psoSrc, const SIZEL *size,
                       const RECTL *prclDest, LONG ropMode, BYTE rop3);

/* Sets up the reduction: true when done. */
bool BLT_InitDownscale(DownscaleState *state, LONG srcWidth, LONG srcHeight, LONG dstWidth, LONG dstHeight);

/* The table of one axis: for each destination pixel the source pixels it takes.  true when built. */
bool BLT_BuildAxisTable(DownscaleState *state, LONG source, LONG destination, bool vertical);

/* Bytes of a finished output row; 0 more rows needed; -1 unusable state or 16 rows buffered. */
LONG BLT_DownscaleRows(DownscaleState *state, const BYTE *row, ULONG rowBytes, LONG pixels, LONG bitsPerPixel);

/* Copies at most destination width x 3 bytes of the finished output row; the bytes copied. */
ULONG BLT_GetScaledRow(DownscaleState *state, BYTE *buffer, ULONG length);

/* Frees the reduction's rows, tables and the state. */
void BLT_FreeDownscale(DownscaleState *state);

#endif /* TARVELGR_DRAW_BLT_H */
