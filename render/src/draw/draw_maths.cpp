/*
 * The text work's maths: series and Newton steps in 32-bit floats, so that
 * angles and scales come out the same on every machine.
 */
#include "draw_maths.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

constexpr float kPi = 3.141592f;
constexpr float kHalfPi = 1.570796f;
constexpr float kTwoPi = 6.283184f;

} // namespace

float MTH_Sin(float x)
{
    if (x > kPi)
        return -MTH_Sin(x - kPi);
    /* x - x^3/3! + ... up to x^19/19!: ten terms. */
    float term = x;
    float sum = x;
    for (int n = 1; n < 10; ++n) {
        term *= -x * x / float((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

float MTH_Cos(float x)
{
    if (x > kPi)
        x = kTwoPi - x;
    return MTH_Sin(x + kHalfPi);
}

float MTH_Sqrt(float x)
{
    if (!(x > 0.0f))
        return 0.0f;
    float r = x > 1.0f ? x : 1.0f;
    for (;;) {
        float next = (x / r + r) / 2.0f;
        if (!(next < r))
            return r;
        r = next;
    }
}

float MTH_Atan(float x)
{
    float a = std::fabs(x) <= 1.0f ? x : 1.0f / x;
    float c = 0.0f;
    for (int n = 10; n >= 1; --n)
        c = float(n * n) * a * a / (float(2 * n + 1) + c);
    float t = a / (1.0f + c);
    if (x > 1.0f)
        return kHalfPi - t;
    if (x < -1.0f)
        return -kHalfPi - t;
    return t;
}

float MTH_Asin(float x)
{
    /* Beyond -1..1 (rounding of a ratio) the end value, not a division by zero. */
    if (x >= 1.0f)
        return kHalfPi;
    if (x <= -1.0f)
        return -kHalfPi;
    return MTH_Atan(x / MTH_Sqrt(1.0f - x * x));
}

float MTH_Hypot(float a, float b)
{
    if (a == 0.0f)
        return std::fabs(b);
    if (b == 0.0f)
        return std::fabs(a);
    float squares = a * a + b * b;
    if (squares == 1.0f)
        return 1.0f;
    return MTH_Sqrt(squares);
}

LONG MTH_AngleDegrees(float x, float y)
{
    if (y == 0.0f)
        return x < 0.0f ? 180 : 0;
    if (x == 0.0f)
        return y > 0.0f ? 90 : 270;
    float h = MTH_Hypot(x, y);
    /* To the nearest whole degree: the float result lies a hair either side of the true angle
       (59.99999 for 60), so truncating it would turn 60 into 59 and 300 into 301. */
    LONG d = LONG(std::lround(MTH_Asin(y / h) * 180.0f / kPi));
    LONG angle = x / h < 0.0f ? 180 - d : d;
    return angle < 0 ? angle + 360 : angle;
}

LONG MTH_IntHypot(LONG a, LONG b)
{
    int64_t m = std::llabs(int64_t(a));
    int64_t n = std::llabs(int64_t(b));
    if (!m)
        return n > INT32_MAX ? INT32_MAX : LONG(n);
    if (!n)
        return m > INT32_MAX ? INT32_MAX : LONG(m);
    if (n > m)
        std::swap(m, n);
    /* The smallest r >= m with r^2 >= m^2 + n^2: from the float root, corrected by whole steps. */
    const int64_t target = m * m + n * n; /* below 2^63: both are at most 2^31 */
    int64_t r = int64_t(std::sqrt(double(target)));
    if (r < m)
        r = m;
    while (r > m && (r - 1) * (r - 1) >= target)
        --r;
    while (r * r < target)
        ++r;
    return r > INT32_MAX ? INT32_MAX : LONG(r);
}
