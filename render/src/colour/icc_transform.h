/*
 * Colour transforms from 8-bit device RGB to 8-bit sRGB: read from an RGB
 * ICC profile (matrix and tone curves, or an 8- or 16-bit lookup table
 * reduced to a 17 x 17 x 17 grid) or built from the monitor model of a
 * white point and a gamma.  Pixels are three bytes in the order blue, green,
 * red.  Everything a profile says is reduced at load time, so that applying
 * a transform is integer work only.
 */
#ifndef TARVELGR_ICC_TRANSFORM_H
#define TARVELGR_ICC_TRANSFORM_H

#include <plat/types.h>

#include <cstddef>

/* Nodes along each axis of the lookup grid. */
inline constexpr int ICC_GRID_POINTS = 17;
inline constexpr int ICC_GRID_NODES = ICC_GRID_POINTS * ICC_GRID_POINTS * ICC_GRID_POINTS;

/* Transform states. */
enum : LONG {
    ICC_STATUS_UNUSABLE = -1,
    ICC_STATUS_MATRIX = 0,
    ICC_STATUS_GRID = 1,
};

/* Results of ICC_LoadProfile. */
enum : int {
    ICC_OK = 0,
    ICC_ERR_NO_TRANSFORM = -1,
    ICC_ERR_OPEN = -2,
    ICC_ERR_READ = -3,   /* a read or seek failed or came short; a tag lies past the end */
    ICC_ERR_CLOSE = -4,
    ICC_ERR_SIGNATURE = -5,
    ICC_ERR_CLASS = -6,  /* colour space not RGB, or a class that does not fit */
    ICC_ERR_TAGS = -7,   /* connection space unknown, or the tags a transform needs are missing or malformed */
    ICC_ERR_MEMORY = -8,
};

/* Linear red, green, blue (16-bit) at each node; node index 289 r + 17 g + b. */
struct GridLut {
    WORD node[ICC_GRID_NODES][3];
};
static_assert(sizeof(GridLut) == 29478, "GridLut is 17^3 nodes of three 16-bit values");

struct ColorTransform {
    WORD curve[3][256];  /* input curves red, green, blue: 8-bit input to linear 16-bit */
    LONG matrix[9];      /* 16.16, rows output red, green, blue; columns input red, green, blue */
    GridLut *grid;       /* grid mode only (ICC_AllocLocked) */
    LONG status;         /* ICC_STATUS_ */
    LONG corner[24];     /* output R, G, B at the eight corners of [0xEFFF, 0xFFFF]^3 (near-white blend) */
    DWORD nearWhite;     /* 1: blend near white through the corners */
};

/*
 * Reads the RGB profile at `path` (an ANSI Windows path) into `transform`.
 * Returns ICC_OK with the status ICC_STATUS_MATRIX or ICC_STATUS_GRID, or an
 * ICC_ERR_ with the status ICC_STATUS_UNUSABLE; nothing is read beyond the
 * file or beyond a tag.
 */
int ICC_LoadProfile(ColorTransform *transform, LPCSTR path);

/* ICC_LoadProfile on a profile held in memory (`size` bytes at `data`). */
int ICC_LoadProfileFromMemory(ColorTransform *transform, const BYTE *data, size_t size);

/*
 * The monitor model of white point 5000, 6500 or 9300 and gamma code 10,
 * 14, 18, 22 or 26 (gamma x 10).  0; -1 for another white point or gamma
 * (the status is then ICC_STATUS_UNUSABLE).
 */
int ICC_BuildBuiltinModel(ColorTransform *transform, LONG whitePoint, LONG gammaCode);

/*
 * Converts `count` pixels from `src` to `dst` (which may be `src`).
 * Without a transform, or with an unusable one, the pixels are copied.
 */
void ICC_ApplyGridLut(const ColorTransform *transform, const BYTE *src, BYTE *dst, LONG count);

/* Frees the grid; the status becomes ICC_STATUS_UNUSABLE and the near-white blend is off.  Null is ignored. */
void ICC_FreeTransform(ColorTransform *transform);

/* ---- Pieces of the above, for the tests and the reference maths ---------- */

/* Reads from `fd` until `count` bytes are read, the file ends or a read fails; the bytes read. */
size_t ICC_ReadAll(int fd, void *buffer, size_t count);

/*
 * Builds the transform's grid of linear sRGB from an "A2B0" tag of `size`
 * bytes of type "mft1" (ICC_BuildGridFromLut8) or "mft2"
 * (ICC_BuildGridFromLut16), whose connection space is Lab (`lab`) or XYZ,
 * with the profile white `white`.  The tag's input tables become the
 * transform's curves; a grid it had is replaced.  The status is left to the
 * caller.  False, with the transform unchanged, for a tag of the other type,
 * a malformed or short tag, or when memory is short.
 */
bool ICC_BuildGridFromLut8(ColorTransform *transform, const BYTE *tag, size_t size, bool lab, const double white[3]);
bool ICC_BuildGridFromLut16(ColorTransform *transform, const BYTE *tag, size_t size, bool lab, const double white[3]);

/* Zero-filled moveable memory, locked; null when memory is short.  ICC_FreeLocked takes the pointer. */
void *ICC_AllocLocked(size_t size);
void ICC_FreeLocked(void *block);

/*
 * A curve tag ("curv", entry count at byte 8, entries from 12) as 256
 * 16-bit values.  False when the tag is no "curv" or shorter than its count
 * says (its size is `size`).
 */
bool ICC_ReadCurve(const BYTE *tag, size_t size, WORD out[256]);

/* `n` big-endian 16-bit entries brought to `outCount` entries, ends kept exactly. */
void ICC_ResampleCurve16(const BYTE *entries, size_t n, WORD *out, size_t outCount);

/* `n` 8-bit entries brought to `outCount` 16-bit entries (each value x 256), ends kept exactly. */
void ICC_ResampleCurve8(const BYTE *entries, size_t n, WORD *out, size_t outCount);

/*
 * Tetrahedral interpolation in a lut8 or lut16 grid of `g` points per axis
 * (three big-endian output values a node for lut16) at the position (x, y,
 * z), each 0..1.  Results in 16-bit units (lut8 values x 257), not rounded.
 */
void ICC_TetraLut8(const BYTE *grid, int g, double x, double y, double z, double out[3]);
void ICC_TetraLut16(const BYTE *grid, int g, double x, double y, double z, double out[3]);

/* CIE Lab to XYZ against the white `white`. */
void ICC_LabToXyz(double L, double a, double b, const double white[3], double xyz[3]);

/* 3 x 3 inverse (false when singular) and product, row-major. */
bool ICC_Invert3x3(const double m[9], double out[9]);
void ICC_MatMul3x3(const double a[9], const double b[9], double out[9]);

/* Adaptation from the white `white` (XYZ) to D65 followed by XYZ to linear sRGB. */
void ICC_AdaptationMatrix(const double white[3], double out[9]);

/* Big-endian 16- and 32-bit values of profile data. */
inline WORD ICC_Be16(const BYTE *p) { return WORD((p[0] << 8) | p[1]); }
inline DWORD ICC_Be32(const BYTE *p)
{
    return (DWORD(p[0]) << 24) | (DWORD(p[1]) << 16) | (DWORD(p[2]) << 8) | p[3];
}

/* The D50 white of the Lab connection space. */
inline constexpr double ICC_D50[3] = {0.9642, 1.0, 0.8249};

#endif /* TARVELGR_ICC_TRANSFORM_H */
