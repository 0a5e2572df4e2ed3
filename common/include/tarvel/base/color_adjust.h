/*
 * Colour adjustment of the common library: the brightness, saturation and
 * contrast steps of the colour settings turned into one 16.16 fixed-point
 * matrix, that matrix applied to pixels, and RGB pixels turned into one grey
 * byte each.  Pixels are three bytes in the order blue, green, red.
 */
#ifndef TARVEL_COLOR_ADJUST_H
#define TARVEL_COLOR_ADJUST_H

#include <plat/types.h>

/*
 * Twelve 16.16 fixed-point values: the coefficients m[0]-m[8] row by row
 * (rows: output red, green, blue; columns: input red, green, blue), then the
 * offsets of red, green and blue.
 */
struct AdjustMatrix {
    LONG m[9];
    LONG offset[3];
};
static_assert(sizeof(AdjustMatrix) == 48, "AdjustMatrix is twelve 32-bit values");

/*
 * Fills `matrix` from a brightness step a, a saturation step b and a contrast
 * step c, each clamped to -100..100.  With s = 1 + b * 0.005 (b < 0) or
 * 1 + b * 0.01, k = 1 + c * 0.003 and the luminance weights 0.3, 0.59, 0.11,
 * every row sums to k (greys stay grey); the three offsets are
 * a * 0.5 + (1 - k) * 255.  Each value is its exact 16.16 form truncated
 * toward zero.  Returns 0, or -1 without a matrix.
 */
int CLU_BuildAdjustMatrix(AdjustMatrix *matrix, SHORT a, SHORT b, SHORT c);

/*
 * Applies `matrix` to `count` pixels of `src`, writing them to `dst` (which
 * may be `src`).  Bytes are widened to 16 bits (x 257) and coefficients taken
 * with 14 fractional bits; each result is the offset's integer part (its
 * upper 16 bits, signed) plus the row's sum divided by 2^22, clamped to
 * 0..255.  Without a matrix the pixels are copied; without a source or a
 * destination, or for a count of 0 or less, nothing happens.
 */
void CLU_ApplyAdjustMatrix(const AdjustMatrix *matrix, const BYTE *src, BYTE *dst, LONG count);

/*
 * Writes one grey byte to `dst` for each of the width x height pixels of
 * `src` (packed, three bytes a pixel): a pixel whose three bytes are equal
 * keeps that value, others give ((B + R) * 85 + G * 86) / 256.  Nothing
 * happens without a source or destination or for an empty size.
 */
void CLU_RgbToGrey(const BYTE *src, BYTE *dst, LONG width, LONG height);

#endif /* TARVEL_COLOR_ADJUST_H */
