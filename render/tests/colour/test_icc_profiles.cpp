// ICC profiles into colour transforms: the profile reader's cases (written
// by lcms2 and built by hand), its refusals, the curves, the built-in
// monitor model and the per-pixel work, against a double-precision
// reference of the same formulas.
#include "icc_test_support.h"

#include "xl_test_support.h"

#include <plat/crt_io.h>
#include <plat/fault.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>

using namespace icc_test;

namespace {

/* A transform that is freed with the test. */
struct Transform {
    ColorTransform t{};
    Transform() { t.status = ICC_STATUS_UNUSABLE; }
    ~Transform() { ICC_FreeTransform(&t); }
    ColorTransform *operator->() { return &t; }
    ColorTransform *get() { return &t; }
};

/* One pixel through a transform: {red, green, blue} in, {red, green, blue} out (stored blue, green, red). */
std::array<int, 3> apply(const ColorTransform *t, int r, int g, int b)
{
    BYTE px[3] = {BYTE(b), BYTE(g), BYTE(r)};
    ICC_ApplyGridLut(t, px, px, 1);
    return {px[2], px[1], px[0]};
}

/* Colours every case is checked at: corners, greys, primaries and a few mixtures. */
const std::vector<std::array<int, 3>> kProbes = {
    {0, 0, 0},     {255, 255, 255}, {128, 128, 128}, {64, 64, 64},   {200, 200, 200}, {255, 0, 0},
    {0, 255, 0},   {0, 0, 255},     {255, 255, 0},   {0, 255, 255},  {255, 0, 255},   {90, 0, 255},
    {12, 200, 99}, {250, 128, 3},   {17, 34, 51},    {240, 245, 250}, {1, 2, 3},      {160, 80, 40},
};

/* ---- Reference of matrix mode ------------------------------------------------ */

struct MatrixProfile {
    double colorant[3][3]; /* red, green, blue: X, Y, Z */
    double white[3];
    std::function<double(int)> curve; /* 8-bit input to linear 0..1 */
};

std::array<double, 3> refMatrix(const MatrixProfile &p, int r, int g, int b)
{
    ref::M3 P{};
    for (int row = 0; row < 3; row++) {
        double sum = p.colorant[0][row] + p.colorant[1][row] + p.colorant[2][row];
        for (int col = 0; col < 3; col++)
            P[3 * row + col] = p.colorant[col][row] * p.white[row] / sum;
    }
    ref::M3 M = ref::mul(ref::adaptation(p.white), P);
    double in[3] = {p.curve(r), p.curve(g), p.curve(b)};
    std::array<double, 3> out{};
    for (int o = 0; o < 3; o++)
        out[o] = ref::encode12(M[3 * o] * in[0] + M[3 * o + 1] * in[1] + M[3 * o + 2] * in[2]);
    return out;
}

/* ---- Reference of grid mode, from the lookup-table tag's bytes ------------------ */

struct GridProfile {
    Bytes lut; /* the A2B0 tag */
    bool lab;
    double white[3];
};

std::array<double, 3> refGrid(const GridProfile &p, int r, int g, int b)
{
    const uint8_t *t = p.lut.data();
    const bool wide = std::memcmp(t, "mft2", 4) == 0;
    const int grid = t[10];
    const int n = wide ? (t[48] << 8 | t[49]) : 256, m = wide ? (t[50] << 8 | t[51]) : 256;
    const size_t unit = wide ? 2 : 1, head = wide ? 52 : 48;
    auto value = [&](size_t at) { return wide ? double(t[at] << 8 | t[at + 1]) : t[at] * 256.0; };
    auto table = [&](size_t base, int count, double x) { /* x 0..1 */
        double pos = x * (count - 1);
        int j = std::min(int(pos), count - 2);
        return value(base + unit * j) + (value(base + unit * (j + 1)) - value(base + unit * j)) * (pos - j);
    };
    const size_t clut = head + unit * 3 * n;
    const size_t outTables = clut + unit * 3 * size_t(grid) * grid * grid;
    ref::M3 A = ref::adaptation(p.white);
    auto node17 = [&](int i, int j, int k) {
        auto v = ref::tetra(grid, [&](int a, int bb, int c) {
            size_t at = clut + unit * 3 * ((size_t(a) * grid + bb) * grid + c);
            std::array<double, 3> o{};
            for (int q = 0; q < 3; q++)
                o[q] = wide ? value(at + 2 * q) : t[at + q] * 257.0;
            return o;
        }, i / 16.0, j / 16.0, k / 16.0);
        double pcs[3];
        for (int q = 0; q < 3; q++)
            pcs[q] = table(outTables + unit * q * m, m, v[q] / 65535.0);
        std::array<double, 3> xyz = p.lab ? ref::labToXyz(pcs[0] / 652.8, pcs[1] / 256 - 128, pcs[2] / 256 - 128)
                                          : std::array<double, 3>{pcs[0] / 32768, pcs[1] / 32768, pcs[2] / 32768};
        xyz[0] *= p.white[0] / ref::kD50[0];
        xyz[1] *= p.white[1];
        xyz[2] *= p.white[2] / ref::kD50[2];
        std::array<double, 3> rgb{};
        for (int o = 0; o < 3; o++)
            rgb[o] = std::clamp(A[3 * o] * xyz[0] + A[3 * o + 1] * xyz[1] + A[3 * o + 2] * xyz[2], 0.0, 1.0);
        return rgb;
    };
    double in[3];
    const int bytes[3] = {r, g, b};
    for (int c = 0; c < 3; c++)
        in[c] = table(head + unit * c * n, n, bytes[c] / 255.0) / 65536.0; /* grid position 0..1 */
    auto v = ref::tetra(17, node17, in[0], in[1], in[2]);
    return {ref::encode12(v[0]), ref::encode12(v[1]), ref::encode12(v[2])};
}

void expectNear(const std::array<int, 3> &got, const std::array<double, 3> &want, const std::array<int, 3> &probe,
                double tolerance = 1.0)
{
    for (int c = 0; c < 3; c++)
        EXPECT_NEAR(got[c], want[c], tolerance)
            << "channel " << c << " of (" << probe[0] << ", " << probe[1] << ", " << probe[2] << ")";
}

/* ---- lcms2-written profiles ------------------------------------------------------ */

const cmsCIExyYTRIPLE kSrgbPrimaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};

/* A v2 "mntr" matrix/TRC profile with D65 white and the given curve for all three channels. */
Bytes lcmsMatrixProfile(cmsToneCurve *curve, double version)
{
    cmsCIExyY d65;
    cmsWhitePointFromTemp(&d65, 6504);
    cmsToneCurve *curves[3] = {curve, curve, curve};
    cmsHPROFILE h = cmsCreateRGBProfile(&d65, &kSrgbPrimaries, curves);
    cmsFreeToneCurve(curve);
    if (h)
        cmsSetProfileVersion(h, version);
    return saveProfile(h);
}

/* The colorants and white point as the profile stores them (s15Fixed16 rounding included). */
MatrixProfile matrixOf(const Bytes &profileBytes, std::function<double(int)> curve)
{
    MatrixProfile p{};
    p.curve = std::move(curve);
    auto be32 = [&](size_t at) {
        return uint32_t(profileBytes[at]) << 24 | uint32_t(profileBytes[at + 1]) << 16 |
               uint32_t(profileBytes[at + 2]) << 8 | profileBytes[at + 3];
    };
    uint32_t count = be32(128);
    for (uint32_t i = 0; i < count; i++) {
        size_t rec = 132 + 12 * i;
        std::string sig(profileBytes.begin() + long(rec), profileBytes.begin() + long(rec) + 4);
        size_t at = be32(rec + 4);
        double *dst = sig == "rXYZ" ? p.colorant[0] : sig == "gXYZ" ? p.colorant[1] : sig == "bXYZ" ? p.colorant[2]
                      : sig == "wtpt" ? p.white : nullptr;
        if (dst)
            for (int c = 0; c < 3; c++)
                dst[c] = int32_t(be32(at + 8 + 4 * c)) / 65536.0;
    }
    return p;
}

/* A v2 "scnr" profile with Lab connection space and a lut16 A2B0 of 9 points sampled from sRGB. */
Bytes lcmsScannerLabProfile()
{
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHPROFILE lab = cmsCreateLab2Profile(nullptr);
    cmsHTRANSFORM toLab = cmsCreateTransform(srgb, TYPE_RGB_16, lab, TYPE_LabV2_16, INTENT_RELATIVE_COLORIMETRIC, 0);
    cmsHPROFILE h = cmsCreateProfilePlaceholder(nullptr);
    cmsSetProfileVersion(h, 2.1);
    cmsSetDeviceClass(h, cmsSigInputClass);
    cmsSetColorSpace(h, cmsSigRgbData);
    cmsSetPCS(h, cmsSigLabData);
    cmsPipeline *lut = cmsPipelineAlloc(nullptr, 3, 3);
    cmsStage *clut = cmsStageAllocCLut16bit(nullptr, 9, 3, 3, nullptr);
    cmsStageSampleCLut16bit(
        clut,
        [](const cmsUInt16Number in[], cmsUInt16Number out[], void *cargo) -> cmsInt32Number {
            cmsDoTransform(static_cast<cmsHTRANSFORM>(cargo), in, out, 1);
            return TRUE;
        },
        toLab, 0);
    cmsPipelineInsertStage(lut, cmsAT_BEGIN, clut);
    cmsWriteTag(h, cmsSigAToB0Tag, lut);
    cmsWriteTag(h, cmsSigMediaWhitePointTag, cmsD50_XYZ());
    cmsPipelineFree(lut);
    cmsDeleteTransform(toLab);
    cmsCloseProfile(lab);
    cmsCloseProfile(srgb);
    return saveProfile(h);
}

/* The A2B0 tag's bytes of a profile. */
Bytes tagOf(const Bytes &profileBytes, const char *want)
{
    auto be32 = [&](size_t at) {
        return uint32_t(profileBytes[at]) << 24 | uint32_t(profileBytes[at + 1]) << 16 |
               uint32_t(profileBytes[at + 2]) << 8 | profileBytes[at + 3];
    };
    for (uint32_t i = 0; i < be32(128); i++) {
        size_t rec = 132 + 12 * i;
        if (std::memcmp(profileBytes.data() + rec, want, 4) == 0)
            return Bytes(profileBytes.begin() + long(be32(rec + 4)),
                         profileBytes.begin() + long(be32(rec + 4) + be32(rec + 8)));
    }
    return {};
}

class IccProfile : public MachineFolderTest {
protected:
    static std::string write(const std::string &name, const Bytes &bytes) { return writeProfileFile(name, bytes); }
};

TEST_F(IccProfile, LcmsMatrixProfilesLoadInMatrixModeAndMatchTheReference)
{
    /* A pure gamma (one curve entry) and a sampled curve of 1,024 entries. */
    std::vector<cmsUInt16Number> sampled(1024);
    for (size_t i = 0; i < sampled.size(); i++)
        sampled[i] = cmsUInt16Number(std::lround(65535.0 * std::pow(i / 1023.0, 1.8)));
    struct Case {
        const char *name;
        Bytes bytes;
        std::function<double(int)> curve;
    } cases[] = {
        {"gamma22.icc", lcmsMatrixProfile(cmsBuildGamma(nullptr, 2.2), 2.1),
         [](int v) { return std::round(65535.0 * std::pow(v / 255.0, 563 / 256.0)) / 65535.0; }},
        {"sampled18.icc", lcmsMatrixProfile(cmsBuildTabulatedToneCurve16(nullptr, 1024, sampled.data()), 2.1),
         [](int v) { return std::pow(v / 255.0, 1.8); }},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        Transform t;
        ASSERT_EQ(ICC_LoadProfile(t.get(), write(c.name, c.bytes).c_str()), ICC_OK);
        EXPECT_EQ(t->status, ICC_STATUS_MATRIX);
        EXPECT_EQ(t->grid, nullptr);
        MatrixProfile p = matrixOf(c.bytes, c.curve);
        for (const auto &probe : kProbes)
            expectNear(apply(t.get(), probe[0], probe[1], probe[2]),
                       refMatrix(p, probe[0], probe[1], probe[2]), probe);
        /* the neutral axis: white stays white, greys stay grey */
        EXPECT_EQ(apply(t.get(), 255, 255, 255), (std::array<int, 3>{255, 255, 255}));
        for (int v : {32, 100, 180}) {
            auto out = apply(t.get(), v, v, v);
            EXPECT_LE(std::abs(out[0] - out[1]), 1) << v;
            EXPECT_LE(std::abs(out[2] - out[1]), 1) << v;
        }
    }
}

TEST_F(IccProfile, LcmsScannerLabProfileLoadsInGridModeAndKeepsTheNeutralAxis)
{
    Bytes bytes = lcmsScannerLabProfile();
    ASSERT_FALSE(bytes.empty());
    Bytes a2b0 = tagOf(bytes, "A2B0");
    ASSERT_GE(a2b0.size(), 52u);
    ASSERT_EQ(std::string(a2b0.begin(), a2b0.begin() + 4), "mft2") << "lcms2 writes lut16 into a v2 profile";
    Transform t;
    ASSERT_EQ(ICC_LoadProfile(t.get(), write("scanner.icc", bytes).c_str()), ICC_OK);
    EXPECT_EQ(t->status, ICC_STATUS_GRID);
    ASSERT_NE(t->grid, nullptr);
    GridProfile p{a2b0, true, {0.9642, 1.0, 0.8249}};
    for (const auto &probe : kProbes)
        expectNear(apply(t.get(), probe[0], probe[1], probe[2]), refGrid(p, probe[0], probe[1], probe[2]), probe);

    /* lcms2 on the neutral axis only: the profile was sampled from sRGB, so greys come back as themselves. */
    EXPECT_EQ(apply(t.get(), 255, 255, 255), (std::array<int, 3>{255, 255, 255}));
    cmsHPROFILE in = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM x = cmsCreateTransform(in, TYPE_RGB_8, srgb, TYPE_RGB_8, INTENT_RELATIVE_COLORIMETRIC, 0);
    ASSERT_NE(x, nullptr);
    for (int v = 0; v <= 255; v += 15) {
        auto ours = apply(t.get(), v, v, v);
        BYTE rgb[3] = {BYTE(v), BYTE(v), BYTE(v)}, theirs[3];
        cmsDoTransform(x, rgb, theirs, 1);
        EXPECT_LE(std::abs(ours[0] - ours[1]), 1) << "grey " << v << ": " << ours[0] << " " << ours[1] << " " << ours[2] << " lcms " << int(theirs[0]) << " " << int(theirs[1]) << " " << int(theirs[2]);
        EXPECT_LE(std::abs(ours[2] - ours[1]), 1) << "grey " << v;
        for (int c = 0; c < 3; c++)
            EXPECT_NEAR(ours[c], theirs[c], 2) << "grey " << v << " against lcms2";
    }
    cmsDeleteTransform(x);
    cmsCloseProfile(srgb);
    cmsCloseProfile(in);
}

TEST_F(IccProfile, HandBuiltLookupTablesLoadInGridModeAndMatchTheReference)
{
    const double white[3] = {0.9642, 1.0, 0.8249};
    /* lut8 with XYZ connection space, 3 points: XYZ of a made-up device, half scale (32768 = 1.0 -> 8-bit 128). */
    Bytes lut8 = lut8Tag(3, [](int i, int j, int k) {
        return std::array<uint8_t, 3>{uint8_t(20 * i + 15 * j + 10 * k), uint8_t(12 * i + 40 * j + 6 * k),
                                      uint8_t(2 * i + 8 * j + 44 * k)};
    });
    /* lut16 with Lab, 5 points, odd table sizes (resampled). */
    Bytes lut16 = lut16Tag(5, 300, 700, [](int i, int j, int k) {
        return std::array<uint16_t, 3>{uint16_t(65280 * (i + j + k) / 12), uint16_t(32768 + 1500 * (i - j)),
                                       uint16_t(32768 + 1200 * (j - k))};
    });
    struct Case {
        const char *pcs;
        Bytes lut;
        bool lab;
    } cases[] = {{"XYZ ", lut8, false}, {"Lab ", lut16, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pcs);
        Bytes bytes = profile("scnr", "RGB ", c.pcs, {{"A2B0", c.lut}, {"wtpt", xyzTag(white[0], white[1], white[2])}});
        Transform t;
        ASSERT_EQ(ICC_LoadProfileFromMemory(t.get(), bytes.data(), bytes.size()), ICC_OK);
        ASSERT_EQ(t->status, ICC_STATUS_GRID);
        GridProfile p{c.lut, c.lab, {white[0], white[1], white[2]}};
        for (const auto &probe : kProbes)
            expectNear(apply(t.get(), probe[0], probe[1], probe[2]), refGrid(p, probe[0], probe[1], probe[2]), probe);
        /* every ordering of the three fractions picks its own tetrahedron */
        for (const auto &probe : std::vector<std::array<int, 3>>{
                 {40, 30, 20}, {40, 20, 30}, {30, 40, 20}, {20, 40, 30}, {30, 20, 40}, {20, 30, 40}})
            expectNear(apply(t.get(), probe[0], probe[1], probe[2]), refGrid(p, probe[0], probe[1], probe[2]), probe);
    }
}

TEST_F(IccProfile, GridBuildersTakeOnlyTheirOwnTableType)
{
    const double white[3] = {0.9642, 1.0, 0.8249};
    Bytes lut8 = lut8Tag(2, [](int i, int j, int k) { return std::array<uint8_t, 3>{uint8_t(i), uint8_t(j), uint8_t(k)}; });
    Bytes lut16 = lut16Tag(2, 2, 2, [](int i, int j, int k) {
        return std::array<uint16_t, 3>{uint16_t(i), uint16_t(j), uint16_t(k)};
    });
    Transform t;
    EXPECT_FALSE(ICC_BuildGridFromLut8(t.get(), lut16.data(), lut16.size(), false, white));
    EXPECT_FALSE(ICC_BuildGridFromLut16(t.get(), lut8.data(), lut8.size(), false, white));
    EXPECT_FALSE(ICC_BuildGridFromLut8(t.get(), lut8.data(), lut8.size() - 1, false, white)) << "short tag";
    EXPECT_FALSE(ICC_BuildGridFromLut8(nullptr, lut8.data(), lut8.size(), false, white));
    EXPECT_FALSE(ICC_BuildGridFromLut16(t.get(), nullptr, 0, false, white));
    EXPECT_EQ(t->grid, nullptr);
    ASSERT_TRUE(ICC_BuildGridFromLut8(t.get(), lut8.data(), lut8.size(), false, white));
    ASSERT_NE(t->grid, nullptr);
    /* a second build replaces the grid (the leak check sees the first one freed) */
    ASSERT_TRUE(ICC_BuildGridFromLut16(t.get(), lut16.data(), lut16.size(), true, white));
    ASSERT_NE(t->grid, nullptr);
}

TEST_F(IccProfile, ReadAllStopsAtTheCountTheEndOrAFailedRead)
{
    const Bytes ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::string path = write("ten.bin", ten);
    int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    BYTE buffer[16] = {};
    EXPECT_EQ(ICC_ReadAll(fd, buffer, 4), 4u);
    EXPECT_EQ(buffer[3], 3);
    EXPECT_EQ(ICC_ReadAll(fd, buffer, sizeof buffer), 6u) << "the file ends after six more bytes";
    EXPECT_EQ(buffer[0], 4);
    EXPECT_EQ(buffer[5], 9);
    EXPECT_EQ(ICC_ReadAll(fd, buffer, sizeof buffer), 0u);
    EXPECT_EQ(ICC_ReadAll(fd, buffer, 0), 0u);
    ASSERT_EQ(_lseek(fd, 0, SEEK_SET), 0);
    plat::crt_fail_read(1);
    EXPECT_EQ(ICC_ReadAll(fd, buffer, 4), 0u);
    EXPECT_EQ(_close(fd), 0);
    EXPECT_EQ(ICC_ReadAll(-1, buffer, 4), 0u);
}

TEST_F(IccProfile, ScannerWithoutLookupTableLoadsInMatrixMode)
{
    Bytes bytes = profile("scnr", "RGB ", "Lab ", matrixTags(curveTag({0x0100})));
    Transform t;
    ASSERT_EQ(ICC_LoadProfileFromMemory(t.get(), bytes.data(), bytes.size()), ICC_OK);
    EXPECT_EQ(t->status, ICC_STATUS_MATRIX);
}

TEST_F(IccProfile, BadProfilesAreRefusedWithTheirStatus)
{
    Bytes good = profile("mntr", "RGB ", "XYZ ", matrixTags(curveTag({0x0233})));
    Bytes pastEnd = good;
    set32(pastEnd, 132 + 4, uint32_t(good.size() - 8)); /* rXYZ's offset: its 20 bytes run past the end */
    Bytes hugeCount = good;
    set32(hugeCount, 128, 0x10000000);
    Bytes truncated(good.begin(), good.begin() + 131);
    Bytes zeroGrid = lut16Tag(2, 2, 2, [](int, int, int) { return std::array<uint16_t, 3>{}; });
    zeroGrid[10] = 0;
    Bytes oneGrid = lut8Tag(2, [](int, int, int) { return std::array<uint8_t, 3>{}; });
    oneGrid[10] = 1;
    Bytes shortLut = lut16Tag(3, 2, 2, [](int, int, int) { return std::array<uint16_t, 3>{}; });
    shortLut.pop_back();
    shortLut.pop_back();
    Bytes fourInputs = lut8Tag(2, [](int, int, int) { return std::array<uint8_t, 3>{}; });
    fourInputs[8] = 4;
    Bytes paraCurve = curveTag({0x0002, 0x3000}, "para"); /* function type 0 with gamma 2.2 in v4 style */
    Bytes longCount = curveTag({1, 2, 3});
    set32(longCount, 8, 0x00030000); /* says 196,608 entries */
    const Bytes wtpt = xyzTag(0.9642, 1.0, 0.8249);
    std::vector<Tag> withoutLast = matrixTags(curveTag({}));
    withoutLast.pop_back();

    Bytes v4Para = lcmsMatrixProfile(cmsBuildGamma(nullptr, 2.2), 4.3);
    ASSERT_FALSE(v4Para.empty());
    struct Case {
        const char *what;
        Bytes bytes;
        int result;
    } cases[] = {
        {"v4 para curves (lcms2)", v4Para, ICC_ERR_TAGS},
        {"para curve tag", profile("mntr", "RGB ", "XYZ ", matrixTags(paraCurve)), ICC_ERR_TAGS},
        {"curve count past its tag", profile("mntr", "RGB ", "XYZ ", matrixTags(longCount)), ICC_ERR_TAGS},
        {"spac class", profile("spac", "RGB ", "XYZ ", matrixTags(curveTag({}))), ICC_ERR_CLASS},
        {"prtr class", profile("prtr", "RGB ", "Lab ", matrixTags(curveTag({}))), ICC_ERR_CLASS},
        {"mntr with Lab", profile("mntr", "RGB ", "Lab ", matrixTags(curveTag({}))), ICC_ERR_CLASS},
        {"GRAY colour space", profile("mntr", "GRAY", "XYZ ", matrixTags(curveTag({}))), ICC_ERR_CLASS},
        {"CMYK colour space", profile("scnr", "CMYK", "Lab ", matrixTags(curveTag({}))), ICC_ERR_CLASS},
        {"unknown connection space", profile("scnr", "RGB ", "Luv ", matrixTags(curveTag({}))), ICC_ERR_TAGS},
        {"no acsp", profile("mntr", "RGB ", "XYZ ", matrixTags(curveTag({})), "ascp"), ICC_ERR_SIGNATURE},
        {"short file", truncated, ICC_ERR_READ},
        {"empty file", Bytes{}, ICC_ERR_READ},
        {"tag past the end", pastEnd, ICC_ERR_READ},
        {"tag count past the end", hugeCount, ICC_ERR_READ},
        {"a matrix tag missing", profile("mntr", "RGB ", "XYZ ", withoutLast), ICC_ERR_TAGS},
        {"zero grid points", profile("scnr", "RGB ", "Lab ", {{"A2B0", zeroGrid}, {"wtpt", wtpt}}), ICC_ERR_TAGS},
        {"one grid point", profile("scnr", "RGB ", "XYZ ", {{"A2B0", oneGrid}, {"wtpt", wtpt}}), ICC_ERR_TAGS},
        {"lut shorter than its tables", profile("scnr", "RGB ", "Lab ", {{"A2B0", shortLut}, {"wtpt", wtpt}}),
         ICC_ERR_TAGS},
        {"four input channels", profile("scnr", "RGB ", "Lab ", {{"A2B0", fourInputs}, {"wtpt", wtpt}}),
         ICC_ERR_TAGS},
        {"lut without white point", profile("scnr", "RGB ", "Lab ", {{"A2B0", oneGrid}}), ICC_ERR_TAGS},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Transform mem, file;
        EXPECT_EQ(ICC_LoadProfileFromMemory(mem.get(), c.bytes.data(), c.bytes.size()), c.result);
        EXPECT_EQ(mem->status, ICC_STATUS_UNUSABLE);
        EXPECT_EQ(mem->grid, nullptr);
        EXPECT_EQ(ICC_LoadProfile(file.get(), write("bad.icc", c.bytes).c_str()), c.result);
        EXPECT_EQ(file->status, ICC_STATUS_UNUSABLE);
    }
    EXPECT_EQ(plat::crt_open_count(), 0);
}

TEST_F(IccProfile, FileFailuresHaveTheirOwnStatus)
{
    Bytes good = profile("mntr", "RGB ", "XYZ ", matrixTags(curveTag({0x0233})));
    std::string path = write("good.icc", good);
    Transform t;
    EXPECT_EQ(ICC_LoadProfile(nullptr, path.c_str()), ICC_ERR_NO_TRANSFORM);
    EXPECT_EQ(ICC_LoadProfile(t.get(), "C:\\icc\\missing.icc"), ICC_ERR_OPEN);
    plat::crt_fail_read(1);
    EXPECT_EQ(ICC_LoadProfile(t.get(), path.c_str()), ICC_ERR_READ);
    plat::crt_fail_close(1);
    EXPECT_EQ(ICC_LoadProfile(t.get(), path.c_str()), ICC_ERR_CLOSE);
    EXPECT_EQ(t->status, ICC_STATUS_UNUSABLE);
    EXPECT_EQ(ICC_LoadProfile(t.get(), path.c_str()), ICC_OK);
    EXPECT_EQ(plat::crt_open_count(), 0);
}

TEST_F(IccProfile, GridOutOfMemoryIsReportedAndLeavesNothing)
{
    Bytes lut = lut8Tag(2, [](int i, int j, int k) { return std::array<uint8_t, 3>{uint8_t(i), uint8_t(j), uint8_t(k)}; });
    Bytes bytes = profile("scnr", "RGB ", "XYZ ", {{"A2B0", lut}, {"wtpt", xyzTag(0.9642, 1.0, 0.8249)}});
    /* fail each allocation in turn: the tag buffers, the three output tables, the grid */
    int failures = 0;
    for (unsigned n = 1; n < 12; n++) {
        Transform t;
        plat::fault_fail_alloc_after(n);
        int r = ICC_LoadProfileFromMemory(t.get(), bytes.data(), bytes.size());
        plat::fault_fail_alloc_after(0); /* 0: nothing armed */
        if (r == ICC_OK) {
            EXPECT_EQ(t->status, ICC_STATUS_GRID);
            break;
        }
        ++failures;
        EXPECT_EQ(r, ICC_ERR_MEMORY) << n;
        EXPECT_EQ(t->grid, nullptr);
    }
    EXPECT_GE(failures, 5);
}

TEST(IccCurve, CountsAndResampling)
{
    WORD out[256];
    ASSERT_TRUE(ICC_ReadCurve(curveTag({}).data(), 12, out));
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(out[i], 257 * i);
    Bytes gamma1 = curveTag({0x0100});
    ASSERT_TRUE(ICC_ReadCurve(gamma1.data(), gamma1.size(), out));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 257);
    EXPECT_EQ(out[2], 514);
    EXPECT_EQ(out[255], 65535);
    Bytes gamma2 = curveTag({0x0200});
    ASSERT_TRUE(ICC_ReadCurve(gamma2.data(), gamma2.size(), out));
    EXPECT_EQ(out[128], 16513); /* 65535 x (128/255)^2 = 16512.5 */

    std::vector<uint16_t> exact(256);
    for (int i = 0; i < 256; i++)
        exact[i] = uint16_t(65535 - 3 * i);
    Bytes as256 = curveTag(exact);
    ASSERT_TRUE(ICC_ReadCurve(as256.data(), as256.size(), out));
    for (int i = 0; i < 256; i++)
        ASSERT_EQ(out[i], exact[i]);

    /* 1,024 entries: ends kept exactly, the rest interpolated at k x 1023 / 255 */
    std::vector<uint16_t> many(1024);
    for (int i = 0; i < 1024; i++)
        many[i] = uint16_t(7 + (i * i) / 17);
    Bytes long1024 = curveTag(many);
    ASSERT_TRUE(ICC_ReadCurve(long1024.data(), long1024.size(), out));
    EXPECT_EQ(out[0], many[0]);
    EXPECT_EQ(out[255], many[1023]);
    for (int k : {1, 100, 254}) {
        double pos = k * 1023.0 / 255.0;
        int j = int(pos);
        double want = many[j] + (many[j + 1] - double(many[j])) * (pos - j);
        EXPECT_NEAR(out[k], want, 0.5) << k;
    }

    /* not a curve, or shorter than its count */
    Bytes para = curveTag({0x0100}, "para");
    EXPECT_FALSE(ICC_ReadCurve(para.data(), para.size(), out));
    EXPECT_FALSE(ICC_ReadCurve(long1024.data(), long1024.size() - 1, out));
    EXPECT_FALSE(ICC_ReadCurve(long1024.data(), 11, out));
}

TEST(IccBuiltinModel, WhitePointsGammasAndTheNearWhiteBlend)
{
    struct Case {
        LONG white, gamma;
        DWORD nearWhite;
    } cases[] = {{6500, 22, 0}, {5000, 18, 1}, {9300, 22, 1}, {6500, 10, 0}, {9300, 26, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.white * 100 + c.gamma);
        Transform t;
        ASSERT_EQ(ICC_BuildBuiltinModel(t.get(), c.white, c.gamma), 0);
        EXPECT_EQ(t->status, ICC_STATUS_MATRIX);
        EXPECT_EQ(t->nearWhite, c.nearWhite);
        EXPECT_EQ(apply(t.get(), 255, 255, 255), (std::array<int, 3>{255, 255, 255}));
        EXPECT_EQ(apply(t.get(), 0, 0, 0), (std::array<int, 3>{0, 0, 0}));
        EXPECT_EQ(t->curve[1][128], WORD(std::lround(65535 * std::pow(128 / 255.0, c.gamma / 10.0))));
    }
    /* 9300 K: below the near-white cube the matrix alone gives a bluish white */
    Transform cool;
    ASSERT_EQ(ICC_BuildBuiltinModel(cool.get(), 9300, 10), 0);
    auto grey = apply(cool.get(), 200, 200, 200);
    EXPECT_GT(grey[2], grey[0]);
    /* the corners: (F, F, F) is white, the other seven the matrix's own values */
    EXPECT_EQ(cool->corner[21], 0xFFFF);
    EXPECT_EQ(cool->corner[0], LONG((LONGLONG(0xEFFF) * (cool->matrix[0] / 4 + cool->matrix[1] / 4 + cool->matrix[2] / 4)) >> 14));

    Transform bad;
    EXPECT_EQ(ICC_BuildBuiltinModel(bad.get(), 7000, 22), -1);
    EXPECT_EQ(bad->status, ICC_STATUS_UNUSABLE);
    EXPECT_EQ(ICC_BuildBuiltinModel(bad.get(), 6500, 20), -1);
    EXPECT_EQ(ICC_BuildBuiltinModel(nullptr, 6500, 22), -1);
}

TEST(IccApply, BuiltinModelMatchesTheReferenceInBgrOrder)
{
    /* 6500 K, gamma 1.0: sRGB primaries, so a linear input is just encoded */
    Transform t;
    ASSERT_EQ(ICC_BuildBuiltinModel(t.get(), 6500, 10), 0);
    BYTE px[6] = {10, 20, 200, /* blue 10, green 20, red 200 */ 0, 0, 255 /* pure red */};
    ICC_ApplyGridLut(t.get(), px, px, 2);
    EXPECT_NEAR(px[2], ref::encode(200 / 255.0), 1) << "red stays in the third byte";
    EXPECT_NEAR(px[1], ref::encode(20 / 255.0), 1);
    EXPECT_NEAR(px[0], ref::encode(10 / 255.0), 1) << "blue stays in the first byte";
    EXPECT_GE(px[5], 254);
    EXPECT_LE(px[3], 1);
    EXPECT_LE(px[4], 1);
}

TEST(IccApply, UnusableOrMissingTransformCopies)
{
    const BYTE src[6] = {1, 2, 3, 250, 251, 252};
    BYTE dst[6] = {};
    ICC_ApplyGridLut(nullptr, src, dst, 2);
    EXPECT_EQ(std::memcmp(src, dst, 6), 0);
    ColorTransform t{};
    t.status = ICC_STATUS_UNUSABLE;
    std::memset(dst, 0, 6);
    ICC_ApplyGridLut(&t, src, dst, 2);
    EXPECT_EQ(std::memcmp(src, dst, 6), 0);
    ICC_FreeTransform(&t);
    ICC_FreeTransform(nullptr);
}

} // namespace
