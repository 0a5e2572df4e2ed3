/*
 * The arithmetic of the colour transforms: tone curves and their
 * resampling, tetrahedral interpolation in profile lookup tables, Lab
 * decoding, 3 x 3 matrices and the white-point adaptation, the built-in
 * monitor model, and the per-pixel work of ICC_ApplyGridLut.
 */
#include "icc_transform.h"

#include <plat/memory.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

/* XYZ (D65) to linear sRGB. */
constexpr double kXyzToLinearSrgb[9] = {3.241, -1.5374, -0.4986, -0.9692, 1.876, 0.0416, 0.0556, -0.204, 1.057};

/* Cone matrix of the adaptation and the D65 chromaticity it adapts to. */
constexpr double kCone[9] = {0.7465, -5.9428, 0.1748, 0.2535, 6.914, 0.0044, 0, 0.0288, 0.8208};
constexpr double kD65x = 0.3127035830618893;
constexpr double kD65y = 0.32902313032606195;

/* Monitor primaries (RGB to XYZ) of the built-in model, by white point. */
struct MonitorPrimaries {
    LONG whitePoint;
    double rgbToXyz[9];
    bool nearWhite;
};
constexpr MonitorPrimaries kPrimaries[] = {
    {5000, {0.4333, 0.3961, 0.1349, 0.2178, 0.7125, 0.0697, 0.0147, 0.0911, 0.7236}, true},
    {6500, {0.4124, 0.3576, 0.1805, 0.2126, 0.7152, 0.0722, 0.0193, 0.1192, 0.9505}, false},
    {9300, {0.3918, 0.3208, 0.2368, 0.2074, 0.7177, 0.0749, 0.0249, 0.1534, 1.2275}, true},
};

constexpr LONG kGammaCodes[] = {10, 14, 18, 22, 26};

/* Lower and upper ends of the near-white cube. */
constexpr LONG kNearWhiteLow = 0xEFFF;
constexpr LONG kNearWhiteHigh = 0xFFFF;

/* The sRGB encoding of a linear 12-bit value, 4,096 entries. */
struct EncodingTable {
    BYTE v[4096];
    EncodingTable()
    {
        for (int i = 0; i < 4096; i++) {
            double x = i / 4095.0;
            double f = x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055;
            v[i] = BYTE(std::clamp(std::floor(255.0 * f + 0.5), 0.0, 255.0));
        }
    }
};
const EncodingTable &encoding()
{
    static const EncodingTable table;
    return table;
}

/* The tone tables of the built-in model, by gamma code. */
struct ToneTables {
    WORD v[5][256];
    ToneTables()
    {
        for (int t = 0; t < 5; t++)
            for (int i = 0; i < 256; i++)
                v[t][i] = WORD(std::floor(65535.0 * std::pow(i / 255.0, kGammaCodes[t] / 10.0) + 0.5));
    }
};
const ToneTables &tones()
{
    static const ToneTables tables;
    return tables;
}

inline LONG to_fixed16(double v) { return LONG(v * 65536.0); } /* truncated toward zero */


/*
 * Order of the three axes by falling fraction, and the weights of the four
 * corners of the tetrahedron they select: corner 0 is the cell's origin,
 * each next corner adds the next axis.  `unit` is the weight of a whole cell.
 */
struct Tetra {
    int axis[3];
    LONG weight[4];
};
inline Tetra tetra(const LONG f[3], LONG unit)
{
    Tetra t{{0, 1, 2}, {}};
    if (f[t.axis[0]] < f[t.axis[1]])
        std::swap(t.axis[0], t.axis[1]);
    if (f[t.axis[1]] < f[t.axis[2]])
        std::swap(t.axis[1], t.axis[2]);
    if (f[t.axis[0]] < f[t.axis[1]])
        std::swap(t.axis[0], t.axis[1]);
    t.weight[0] = unit - f[t.axis[0]];
    t.weight[1] = f[t.axis[0]] - f[t.axis[1]];
    t.weight[2] = f[t.axis[1]] - f[t.axis[2]];
    t.weight[3] = f[t.axis[2]];
    return t;
}

/* Tetrahedral interpolation in a lookup-table grid (red axis slowest); `read` reads output o of node n. */
template <typename Read>
void tetra_lut(int g, double x, double y, double z, double out[3], Read read)
{
    const double pos[3] = {x * (g - 1), y * (g - 1), z * (g - 1)};
    int base[3];
    double frac[3];
    for (int a = 0; a < 3; a++) {
        base[a] = std::clamp(int(std::floor(pos[a])), 0, g - 2);
        frac[a] = std::clamp(pos[a] - base[a], 0.0, 1.0);
    }
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&](int p, int q) { return frac[p] > frac[q]; });
    const double w[4] = {1.0 - frac[order[0]], frac[order[0]] - frac[order[1]], frac[order[1]] - frac[order[2]],
                         frac[order[2]]};
    const size_t stride[3] = {size_t(g) * size_t(g), size_t(g), 1};
    size_t node = base[0] * stride[0] + base[1] * stride[1] + base[2] * stride[2];
    for (int o = 0; o < 3; o++)
        out[o] = 0.0;
    for (int c = 0; c < 4; c++) {
        if (c > 0)
            node += stride[order[c - 1]];
        for (int o = 0; o < 3; o++)
            out[o] += w[c] * read(node, o);
    }
}

} // namespace

void *ICC_AllocLocked(size_t size)
{
    if (size == 0 || size > 0xFFFFFFFFu)
        return nullptr;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(size));
    if (!h)
        return nullptr;
    void *p = GlobalLock(h);
    if (!p)
        GlobalFree(h);
    return p;
}

void ICC_FreeLocked(void *block)
{
    if (!block)
        return;
    HGLOBAL h = GlobalHandle(block);
    if (!h)
        return;
    GlobalUnlock(h);
    GlobalFree(h);
}

/* ---- Curves ------------------------------------------------------------------ */

void ICC_ResampleCurve16(const BYTE *entries, size_t n, WORD *out, size_t outCount)
{
    if (!out || outCount == 0)
        return;
    if (!entries || n == 0) {
        for (size_t k = 0; k < outCount; k++)
            out[k] = WORD((k * 65535) / (outCount > 1 ? outCount - 1 : 1));
        return;
    }
    if (n == 1 || outCount == 1) {
        std::fill(out, out + outCount, ICC_Be16(entries));
        return;
    }
    for (size_t k = 0; k < outCount; k++) {
        double pos = double(k) * double(n - 1) / double(outCount - 1);
        size_t j = std::min(size_t(pos), n - 2);
        double f = pos - double(j);
        double v = ICC_Be16(entries + 2 * j) + (double(ICC_Be16(entries + 2 * j + 2)) - ICC_Be16(entries + 2 * j)) * f;
        out[k] = WORD(std::clamp(std::floor(v + 0.5), 0.0, 65535.0));
    }
    out[0] = ICC_Be16(entries);
    out[outCount - 1] = ICC_Be16(entries + 2 * (n - 1));
}

void ICC_ResampleCurve8(const BYTE *entries, size_t n, WORD *out, size_t outCount)
{
    if (!entries || n == 0 || !out || outCount == 0)
        return;
    if (n == 1 || outCount == 1) {
        std::fill(out, out + outCount, WORD(entries[0] * 256));
        return;
    }
    for (size_t k = 0; k < outCount; k++) {
        double pos = double(k) * double(n - 1) / double(outCount - 1);
        size_t j = std::min(size_t(pos), n - 2);
        double f = pos - double(j);
        double v = (entries[j] + (double(entries[j + 1]) - entries[j]) * f) * 256.0;
        out[k] = WORD(std::clamp(std::floor(v + 0.5), 0.0, 65535.0));
    }
    out[0] = WORD(entries[0] * 256);
    out[outCount - 1] = WORD(entries[n - 1] * 256);
}

bool ICC_ReadCurve(const BYTE *tag, size_t size, WORD out[256])
{
    /* Only "curv" is a curve here: a parametric "para" tag would be misread as a count. */
    if (!tag || !out || size < 12 || std::memcmp(tag, "curv", 4) != 0)
        return false;
    DWORD n = ICC_Be32(tag + 8);
    if (n > (size - 12) / 2)
        return false;
    if (n == 0) {
        for (int i = 0; i < 256; i++)
            out[i] = WORD(257 * i);
    } else if (n == 1) {
        double gamma = ICC_Be16(tag + 12) / 256.0;
        for (int i = 0; i < 256; i++) {
            double v = std::clamp(std::pow(i / 255.0, gamma), 0.0, 1.0);
            out[i] = WORD(std::floor(65535.0 * v + 0.5));
        }
    } else if (n == 256) {
        for (int i = 0; i < 256; i++)
            out[i] = ICC_Be16(tag + 12 + 2 * i);
    } else {
        ICC_ResampleCurve16(tag + 12, n, out, 256);
    }
    return true;
}

/* ---- Lookup tables and colour maths ----------------------------------------- */

void ICC_TetraLut8(const BYTE *grid, int g, double x, double y, double z, double out[3])
{
    tetra_lut(g, x, y, z, out, [grid](size_t node, int o) { return grid[node * 3 + o] * 257.0; });
}

void ICC_TetraLut16(const BYTE *grid, int g, double x, double y, double z, double out[3])
{
    tetra_lut(g, x, y, z, out, [grid](size_t node, int o) { return double(ICC_Be16(grid + (node * 3 + o) * 2)); });
}

void ICC_LabToXyz(double L, double a, double b, const double white[3], double xyz[3])
{
    double t, Y;
    if (L >= 8.0) {
        t = (L + 16.0) / 116.0;
        Y = t * t * t;
    } else {
        t = 7.787 * L / 903.29 + 16.0 / 116.0;
        Y = L / 903.29;
    }
    auto f_inv = [](double u) { return u > 0.206893 ? u * u * u : (u - 16.0 / 116.0) / 7.787; };
    xyz[0] = f_inv(t + a / 500.0) * white[0];
    xyz[1] = Y * white[1];
    xyz[2] = f_inv(t - b / 200.0) * white[2];
}

bool ICC_Invert3x3(const double m[9], double out[9])
{
    double c0 = m[4] * m[8] - m[5] * m[7];
    double c1 = m[5] * m[6] - m[3] * m[8];
    double c2 = m[3] * m[7] - m[4] * m[6];
    double det = m[0] * c0 + m[1] * c1 + m[2] * c2;
    if (det == 0.0 || !std::isfinite(det))
        return false;
    double r[9] = {c0, m[2] * m[7] - m[1] * m[8], m[1] * m[5] - m[2] * m[4],
                   c1, m[0] * m[8] - m[2] * m[6], m[2] * m[3] - m[0] * m[5],
                   c2, m[1] * m[6] - m[0] * m[7], m[0] * m[4] - m[1] * m[3]};
    for (int i = 0; i < 9; i++)
        out[i] = r[i] / det;
    return true;
}

void ICC_MatMul3x3(const double a[9], const double b[9], double out[9])
{
    double r[9];
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            r[i * 3 + j] = a[i * 3] * b[j] + a[i * 3 + 1] * b[3 + j] + a[i * 3 + 2] * b[6 + j];
    std::memcpy(out, r, sizeof r);
}

void ICC_AdaptationMatrix(const double white[3], double out[9])
{
    double K[9];
    ICC_Invert3x3(kCone, K); /* the cone matrix is regular */
    double sum = white[0] + white[1] + white[2];
    double xw = sum != 0.0 ? white[0] / sum : kD65x;
    double yw = sum != 0.0 ? white[1] / sum : kD65y;
    double scaled[9]; /* diag(s) x K */
    for (int k = 0; k < 3; k++) {
        const double *row = K + 3 * k;
        double num = row[0] * kD65x + row[1] * kD65y + row[2] * (1.0 - kD65x - kD65y);
        double den = row[0] * xw + row[1] * yw + row[2] * (1.0 - xw - yw);
        double s = den != 0.0 ? num / den * yw / kD65y : 1.0;
        for (int j = 0; j < 3; j++)
            scaled[3 * k + j] = s * row[j];
    }
    double t[9];
    ICC_MatMul3x3(kCone, scaled, t);
    ICC_MatMul3x3(kXyzToLinearSrgb, t, out);
}

/* ---- Built-in model ----------------------------------------------------------- */

namespace {

/* Output R, G, B in 16-bit units of the matrix at one input, coefficients taken in 14 fractional bits. */
void corner_value(const LONG matrix[9], const LONG in[3], LONG out[3])
{
    for (int o = 0; o < 3; o++) {
        LONGLONG s = 0;
        for (int i = 0; i < 3; i++)
            s += LONGLONG(in[i]) * (matrix[3 * o + i] / 4);
        out[o] = LONG(std::clamp<LONGLONG>(s >> 14, 0, 0xFFFF));
    }
}

} // namespace

int ICC_BuildBuiltinModel(ColorTransform *transform, LONG whitePoint, LONG gammaCode)
{
    if (!transform)
        return -1;
    transform->status = ICC_STATUS_UNUSABLE;
    transform->nearWhite = 0;
    const MonitorPrimaries *primaries = nullptr;
    for (const MonitorPrimaries &p : kPrimaries)
        if (p.whitePoint == whitePoint)
            primaries = &p;
    int tone = -1;
    for (int t = 0; t < 5; t++)
        if (kGammaCodes[t] == gammaCode)
            tone = t;
    if (!primaries || tone < 0)
        return -1;

    for (int c = 0; c < 3; c++)
        std::memcpy(transform->curve[c], tones().v[tone], sizeof transform->curve[c]);
    double m[9];
    ICC_MatMul3x3(kXyzToLinearSrgb, primaries->rgbToXyz, m);
    for (int i = 0; i < 9; i++)
        transform->matrix[i] = to_fixed16(m[i]);
    if (primaries->nearWhite) {
        for (int c = 0; c < 7; c++) {
            const LONG in[3] = {(c & 1) ? kNearWhiteHigh : kNearWhiteLow, (c & 2) ? kNearWhiteHigh : kNearWhiteLow,
                                (c & 4) ? kNearWhiteHigh : kNearWhiteLow};
            corner_value(transform->matrix, in, transform->corner + 3 * c);
        }
        transform->corner[21] = transform->corner[22] = transform->corner[23] = 0xFFFF;
        transform->nearWhite = 1;
    }
    transform->status = ICC_STATUS_MATRIX;
    return 0;
}

void ICC_FreeTransform(ColorTransform *transform)
{
    if (!transform)
        return;
    ICC_FreeLocked(transform->grid);
    transform->grid = nullptr;
    transform->status = ICC_STATUS_UNUSABLE;
    transform->nearWhite = 0;
}

/* ---- Applying -------------------------------------------------------------------- */

namespace {

void apply_grid(const ColorTransform *t, const BYTE *src, BYTE *dst, LONG count)
{
    const BYTE *enc = encoding().v;
    const WORD(*node)[3] = t->grid->node;
    for (LONG p = 0; p < count; p++, src += 3, dst += 3) {
        const LONG in[3] = {t->curve[0][src[2]], t->curve[1][src[1]], t->curve[2][src[0]]};
        const LONG f[3] = {in[0] & 0xFFF, in[1] & 0xFFF, in[2] & 0xFFF};
        const Tetra w = tetra(f, 4096);
        constexpr LONG stride[3] = {ICC_GRID_POINTS * ICC_GRID_POINTS, ICC_GRID_POINTS, 1};
        LONG n = (in[0] >> 12) * stride[0] + (in[1] >> 12) * stride[1] + (in[2] >> 12) * stride[2];
        LONG sum[3] = {0, 0, 0};
        for (int c = 0; c < 4; c++) {
            if (c > 0)
                n += stride[w.axis[c - 1]];
            for (int o = 0; o < 3; o++)
                sum[o] += w.weight[c] * node[n][o];
        }
        dst[2] = enc[std::min<LONG>(sum[0] >> 16, 4095)];
        dst[1] = enc[std::min<LONG>(sum[1] >> 16, 4095)];
        dst[0] = enc[std::min<LONG>(sum[2] >> 16, 4095)];
    }
}

/* Near-white blend between the eight corner values (corner index: bit 0 red, bit 1 green, bit 2 blue). */
void blend_near_white(const ColorTransform *t, const LONG in[3], LONG out[3])
{
    const LONG f[3] = {in[0] & 0xFFF, in[1] & 0xFFF, in[2] & 0xFFF};
    const Tetra w = tetra(f, 4096);
    int corner = 0;
    LONGLONG sum[3] = {0, 0, 0};
    for (int c = 0; c < 4; c++) {
        if (c > 0)
            corner |= 1 << w.axis[c - 1];
        for (int o = 0; o < 3; o++)
            sum[o] += LONGLONG(w.weight[c]) * t->corner[3 * corner + o];
    }
    for (int o = 0; o < 3; o++)
        out[o] = LONG(std::clamp<LONGLONG>(sum[o] >> 16, 0, 4095));
}

void apply_matrix(const ColorTransform *t, const BYTE *src, BYTE *dst, LONG count)
{
    const BYTE *enc = encoding().v;
    LONG k[9];
    for (int i = 0; i < 9; i++)
        k[i] = t->matrix[i] / 4; /* 14 fractional bits */
    const bool nearWhite = t->nearWhite != 0;
    for (LONG p = 0; p < count; p++, src += 3, dst += 3) {
        const LONG in[3] = {t->curve[0][src[2]], t->curve[1][src[1]], t->curve[2][src[0]]};
        LONG out[3];
        if (nearWhite && in[0] > kNearWhiteLow && in[1] > kNearWhiteLow && in[2] > kNearWhiteLow) {
            blend_near_white(t, in, out);
        } else {
            for (int o = 0; o < 3; o++) {
                LONGLONG s = LONGLONG(in[0]) * k[3 * o] + LONGLONG(in[1]) * k[3 * o + 1] +
                             LONGLONG(in[2]) * k[3 * o + 2];
                out[o] = LONG(std::clamp<LONGLONG>(s >> 18, 0, 4095));
            }
        }
        dst[2] = enc[out[0]];
        dst[1] = enc[out[1]];
        dst[0] = enc[out[2]];
    }
}

} // namespace

void ICC_ApplyGridLut(const ColorTransform *transform, const BYTE *src, BYTE *dst, LONG count)
{
    if (!src || !dst || count <= 0)
        return;
    if (!transform || transform->status == ICC_STATUS_UNUSABLE ||
        (transform->status == ICC_STATUS_GRID && !transform->grid)) {
        if (src != dst)
            std::memmove(dst, src, size_t(count) * 3);
        return;
    }
    if (transform->status == ICC_STATUS_GRID)
        apply_grid(transform, src, dst, count);
    else
        apply_matrix(transform, src, dst, count);
}
