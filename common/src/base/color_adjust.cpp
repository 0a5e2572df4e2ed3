/*
 * The colour-adjustment matrix (brightness, saturation, contrast) in 16.16
 * fixed point, its application to blue-green-red pixels, and the grey
 * conversion used by the colour preview and the rendering colour object.
 */
#include <tarvel/base/color_adjust.h>

#include <cstring>

namespace {

SHORT clamp_step(SHORT v)
{
    return v < -100 ? SHORT(-100) : v > 100 ? SHORT(100) : v;
}

/* 16.16 form of num / den, truncated toward zero (integer division does). */
LONG fixed_16_16(int64_t num, int64_t den)
{
    return LONG(num * 65536 / den);
}

BYTE clamp_byte(int64_t v)
{
    return v < 1 ? 0 : v > 255 ? 255 : BYTE(v);
}

} // namespace

int CLU_BuildAdjustMatrix(AdjustMatrix *matrix, SHORT a, SHORT b, SHORT c)
{
    if (!matrix)
        return -1;
    a = clamp_step(a);
    b = clamp_step(b);
    c = clamp_step(c);
    /* The factors are worked out exactly in thousandths (s = S / 1000,
     * k = K / 1000) and the weights in hundredths, so that a value such as
     * 1.0 becomes 65536 and not 65535 through rounding noise. */
    const int64_t S = b < 0 ? 1000 + 5 * int64_t(b) : 1000 + 10 * int64_t(b);
    const int64_t K = 1000 + 3 * int64_t(c);
    const int64_t weight[3] = {30, 59, 11}; /* red, green, blue */
    for (int row = 0; row < 3; row++)
        for (int col = 0; col < 3; col++) {
            /* w(k - s), plus s on the diagonal: 0.3k + 0.7s, 0.59(k - s), ... */
            int64_t num = weight[col] * (K - S) + (row == col ? 100 * S : 0);
            matrix->m[row * 3 + col] = fixed_16_16(num, 100000);
        }
    /* a * 0.5 + (1 - k) * 255 = (500a - 765c) / 1000 */
    LONG offset = fixed_16_16(500 * int64_t(a) - 765 * int64_t(c), 1000);
    for (LONG &o : matrix->offset)
        o = offset;
    return 0;
}

void CLU_ApplyAdjustMatrix(const AdjustMatrix *matrix, const BYTE *src, BYTE *dst, LONG count)
{
    if (!src || !dst || count <= 0)
        return;
    if (!matrix) {
        std::memmove(dst, src, size_t(count) * 3);
        return;
    }
    int64_t coef[9];
    for (int i = 0; i < 9; i++)
        coef[i] = matrix->m[i] >> 2; /* 16.16 to 14 fractional bits */
    int64_t offset[3];
    for (int i = 0; i < 3; i++)
        offset[i] = matrix->offset[i] >> 16; /* integer part, signed */
    for (LONG p = 0; p < count; p++) {
        const BYTE *s = src + size_t(p) * 3;
        const int64_t in[3] = {int64_t(s[2]) * 257, int64_t(s[1]) * 257, int64_t(s[0]) * 257}; /* R, G, B */
        BYTE out[3];                                                                          /* R, G, B */
        for (int row = 0; row < 3; row++) {
            int64_t sum = coef[row * 3] * in[0] + coef[row * 3 + 1] * in[1] + coef[row * 3 + 2] * in[2];
            out[row] = clamp_byte(offset[row] + sum / (int64_t(1) << 22));
        }
        BYTE *d = dst + size_t(p) * 3;
        d[0] = out[2];
        d[1] = out[1];
        d[2] = out[0];
    }
}

void CLU_RgbToGrey(const BYTE *src, BYTE *dst, LONG width, LONG height)
{
    if (!src || !dst || width <= 0 || height <= 0)
        return;
    const size_t pixels = size_t(width) * size_t(height);
    for (size_t p = 0; p < pixels; p++) {
        const unsigned B = src[p * 3], G = src[p * 3 + 1], R = src[p * 3 + 2];
        dst[p] = (B == G && G == R) ? BYTE(B) : BYTE(((B + R) * 85 + G * 86) / 256);
    }
}
