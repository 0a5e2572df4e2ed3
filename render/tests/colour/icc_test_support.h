// Fixtures of the colour tests: a builder of ICC profiles byte by byte
// (header, tag table, curve, XYZ and lookup-table tags), profiles written by
// lcms2, and a double-precision reference of the transform's formulas that
// expected colours are computed from.
#ifndef RENDER_TESTS_DRAW_ICC_TEST_SUPPORT_H
#define RENDER_TESTS_DRAW_ICC_TEST_SUPPORT_H

#include "icc_transform.h"

#include <plat/machine.h>

#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace icc_test {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes &b, uint16_t v)
{
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
inline void put32(Bytes &b, uint32_t v)
{
    put16(b, uint16_t(v >> 16));
    put16(b, uint16_t(v));
}
inline void putSig(Bytes &b, const char *sig) { b.insert(b.end(), sig, sig + 4); }
inline void putS15(Bytes &b, double v) { put32(b, uint32_t(int32_t(std::lround(v * 65536.0)))); }
inline void set32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}

/* An XYZType tag. */
inline Bytes xyzTag(double x, double y, double z)
{
    Bytes b;
    putSig(b, "XYZ ");
    put32(b, 0);
    putS15(b, x);
    putS15(b, y);
    putS15(b, z);
    return b;
}

/* A curveType tag with the given entries (none: identity; one: an 8.8 gamma). */
inline Bytes curveTag(const std::vector<uint16_t> &entries, const char *type = "curv")
{
    Bytes b;
    putSig(b, type);
    put32(b, 0);
    put32(b, uint32_t(entries.size()));
    for (uint16_t e : entries)
        put16(b, e);
    return b;
}

/* A lut8Type ("mft1") tag: identity input and output tables, `grid` points, node values from `node`. */
inline Bytes lut8Tag(int grid, const std::function<std::array<uint8_t, 3>(int, int, int)> &node)
{
    Bytes b;
    putSig(b, "mft1");
    put32(b, 0);
    b.push_back(3);
    b.push_back(3);
    b.push_back(uint8_t(grid));
    b.push_back(0);
    for (int i = 0; i < 9; i++)
        putS15(b, i % 4 == 0 ? 1.0 : 0.0);
    for (int t = 0; t < 3; t++)
        for (int i = 0; i < 256; i++)
            b.push_back(uint8_t(i));
    for (int i = 0; i < grid; i++)
        for (int j = 0; j < grid; j++)
            for (int k = 0; k < grid; k++)
                for (uint8_t v : node(i, j, k))
                    b.push_back(v);
    for (int t = 0; t < 3; t++)
        for (int i = 0; i < 256; i++)
            b.push_back(uint8_t(i));
    return b;
}

/* A lut16Type ("mft2") tag with the given counts; tables identity, nodes from `node`. */
inline Bytes lut16Tag(int grid, int inEntries, int outEntries,
                      const std::function<std::array<uint16_t, 3>(int, int, int)> &node)
{
    Bytes b;
    putSig(b, "mft2");
    put32(b, 0);
    b.push_back(3);
    b.push_back(3);
    b.push_back(uint8_t(grid));
    b.push_back(0);
    for (int i = 0; i < 9; i++)
        putS15(b, i % 4 == 0 ? 1.0 : 0.0);
    put16(b, uint16_t(inEntries));
    put16(b, uint16_t(outEntries));
    auto table = [&](int n) {
        for (int i = 0; i < n; i++)
            put16(b, uint16_t(n > 1 ? (65535L * i) / (n - 1) : 0));
    };
    for (int t = 0; t < 3; t++)
        table(inEntries);
    for (int i = 0; i < grid; i++)
        for (int j = 0; j < grid; j++)
            for (int k = 0; k < grid; k++)
                for (uint16_t v : node(i, j, k))
                    put16(b, v);
    for (int t = 0; t < 3; t++)
        table(outEntries);
    return b;
}

struct Tag {
    std::string sig;
    Bytes data;
};

/* A whole profile: 128-byte header, tag table, tag data (each on a 4-byte boundary). */
inline Bytes profile(const char *cls, const char *space, const char *pcs, const std::vector<Tag> &tags,
                     const char *magic = "acsp")
{
    Bytes b(128, 0);
    std::copy(cls, cls + 4, b.begin() + 12);
    std::copy(space, space + 4, b.begin() + 16);
    std::copy(pcs, pcs + 4, b.begin() + 20);
    std::copy(magic, magic + 4, b.begin() + 36);
    b[8] = 2;
    b[9] = 0x10;
    put32(b, uint32_t(tags.size()));
    size_t offset = b.size() + 12 * tags.size();
    std::vector<size_t> offsets;
    for (const Tag &t : tags) {
        offsets.push_back(offset);
        offset += (t.data.size() + 3) & ~size_t(3);
    }
    for (size_t i = 0; i < tags.size(); i++) {
        putSig(b, tags[i].sig.c_str());
        put32(b, uint32_t(offsets[i]));
        put32(b, uint32_t(tags[i].data.size()));
    }
    for (const Tag &t : tags) {
        b.insert(b.end(), t.data.begin(), t.data.end());
        b.resize((b.size() + 3) & ~size_t(3), 0);
    }
    set32(b, 0, uint32_t(b.size()));
    return b;
}

/* The seven matrix-mode tags with sRGB-like colorants, a D65 white and the given curve. */
inline std::vector<Tag> matrixTags(const Bytes &curve)
{
    return {{"rXYZ", xyzTag(0.4361, 0.2225, 0.0139)}, {"gXYZ", xyzTag(0.3851, 0.7169, 0.0971)},
            {"bXYZ", xyzTag(0.1431, 0.0606, 0.7141)}, {"wtpt", xyzTag(0.9505, 1.0, 1.0890)},
            {"rTRC", curve},                          {"gTRC", curve},
            {"bTRC", curve}};
}

/* A profile lcms2 writes to memory; empty on failure.  The handle is closed. */
inline Bytes saveProfile(cmsHPROFILE h)
{
    Bytes out;
    cmsUInt32Number size = 0;
    if (h && cmsSaveProfileToMem(h, nullptr, &size) && size) {
        out.resize(size);
        if (!cmsSaveProfileToMem(h, out.data(), &size))
            out.clear();
    }
    if (h)
        cmsCloseProfile(h);
    return out;
}

/* Writes `bytes` to C:\icc\<name> of the machine; answers that Windows path (ASCII names). */
inline std::string writeProfileFile(const std::string &name, const Bytes &bytes)
{
    const std::string win = "C:\\icc\\" + name;
    std::string real;
    EXPECT_TRUE(plat::map_path(std::u16string(win.begin(), win.end()), real));
    std::filesystem::create_directories(std::filesystem::path(real).parent_path());
    std::ofstream(real, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), long(bytes.size()));
    return win;
}

/* ---- Double-precision reference ------------------------------------------- */

namespace ref {

inline const double kSrgb[9] = {3.241, -1.5374, -0.4986, -0.9692, 1.876, 0.0416, 0.0556, -0.204, 1.057};
inline const double kQ[9] = {0.7465, -5.9428, 0.1748, 0.2535, 6.914, 0.0044, 0, 0.0288, 0.8208};
inline const double kXd = 0.3127035830618893, kYd = 0.32902313032606195;
inline const double kD50[3] = {0.9642, 1.0, 0.8249};

using M3 = std::array<double, 9>;

inline M3 mul(const M3 &a, const M3 &b)
{
    M3 r{};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++)
            for (int k = 0; k < 3; k++)
                r[3 * i + j] += a[3 * i + k] * b[3 * k + j];
    return r;
}

inline M3 inverse(const M3 &m)
{
    double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                 m[2] * (m[3] * m[7] - m[4] * m[6]);
    M3 r{(m[4] * m[8] - m[5] * m[7]) / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
         (m[5] * m[6] - m[3] * m[8]) / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
         (m[3] * m[7] - m[4] * m[6]) / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det};
    return r;
}

/* Linear sRGB x Q x diag(s) x Q^-1, s from the white's chromaticity against D65. */
inline M3 adaptation(const double w[3])
{
    M3 Q, S;
    std::copy(kQ, kQ + 9, Q.begin());
    std::copy(kSrgb, kSrgb + 9, S.begin());
    M3 K = inverse(Q);
    double xw = w[0] / (w[0] + w[1] + w[2]), yw = w[1] / (w[0] + w[1] + w[2]);
    M3 D{};
    for (int k = 0; k < 3; k++) {
        double num = K[3 * k] * kXd + K[3 * k + 1] * kYd + K[3 * k + 2] * (1 - kXd - kYd);
        double den = K[3 * k] * xw + K[3 * k + 1] * yw + K[3 * k + 2] * (1 - xw - yw);
        D[4 * k] = num / den * yw / kYd;
    }
    return mul(S, mul(Q, mul(D, K)));
}

/* The sRGB encoding of a linear value 0..1 as a byte. */
inline double encode(double x)
{
    x = std::clamp(x, 0.0, 1.0);
    double f = x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
    return 255.0 * f;
}

/*
 * The encoding after the integer pipeline: a linear value reaches the
 * encoding table as a 12-bit value, its 16-bit form shifted down by 4.
 */
inline double encode12(double x)
{
    double v12 = std::floor(std::clamp(x, 0.0, 1.0) * 65535.0 / 16.0);
    return std::floor(encode(v12 / 4095.0) + 0.5);
}

/* Tetrahedral interpolation in a grid of g points along each axis (red slowest). */
inline std::array<double, 3> tetra(int g, const std::function<std::array<double, 3>(int, int, int)> &node, double x,
                                   double y, double z)
{
    double p[3] = {x * (g - 1), y * (g - 1), z * (g - 1)};
    int b[3];
    double f[3];
    for (int a = 0; a < 3; a++) {
        b[a] = std::min(int(p[a]), g - 2);
        f[a] = p[a] - b[a];
    }
    int order[3] = {0, 1, 2};
    std::sort(order, order + 3, [&](int u, int v) { return f[u] > f[v]; });
    double w[4] = {1 - f[order[0]], f[order[0]] - f[order[1]], f[order[1]] - f[order[2]], f[order[2]]};
    int c[3] = {b[0], b[1], b[2]};
    std::array<double, 3> out{};
    for (int s = 0; s < 4; s++) {
        if (s > 0)
            c[order[s - 1]]++;
        auto v = node(c[0], c[1], c[2]);
        for (int o = 0; o < 3; o++)
            out[o] += w[s] * v[o];
    }
    return out;
}

inline std::array<double, 3> labToXyz(double L, double a, double b)
{
    double t = L >= 8 ? (L + 16) / 116 : 7.787 * L / 903.29 + 16.0 / 116;
    double Y = L >= 8 ? t * t * t : L / 903.29;
    auto fi = [](double u) { return u > 0.206893 ? u * u * u : (u - 16.0 / 116) / 7.787; };
    return {fi(t + a / 500) * kD50[0], Y * kD50[1], fi(t - b / 200) * kD50[2]};
}

} // namespace ref

} // namespace icc_test

#endif /* RENDER_TESTS_DRAW_ICC_TEST_SUPPORT_H */
