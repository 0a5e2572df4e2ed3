/*
 * Reading an RGB ICC profile into a colour transform: the header and tag
 * table, the tone curves and colorant tags of matrix mode, and the 8- or
 * 16-bit lookup table ("mft1", "mft2") that grid mode reduces to a
 * 17 x 17 x 17 grid of linear sRGB.  A profile comes from a file or from
 * memory through one reader; every count, offset and size the profile gives
 * is checked against the file and the tag before anything is read or
 * allocated.
 */
#include "icc_transform.h"

#include <plat/crt_io.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kTagRecordSize = 12;

/* Bytes of a lookup-table tag before its tables. */
constexpr size_t kLut8Tables = 48;
constexpr size_t kLut16Tables = 52;

/* Entries of the tables grid building works with. */
constexpr size_t kInputEntries = 256;
constexpr size_t kOutputEntries = 4096;

inline LONG s15f16(const BYTE *p) { return LONG(ICC_Be32(p)); }

/* Where the profile's bytes come from: an open descriptor or a block of memory. */
struct ProfileSource {
    int fd = -1;
    const BYTE *memory = nullptr;
    size_t size = 0;
};

/* Reads `count` bytes at `offset`; ICC_ERR_READ when any of them lies beyond the profile or cannot be read. */
int source_read(const ProfileSource &source, size_t offset, void *buffer, size_t count)
{
    if (offset > source.size || count > source.size - offset)
        return ICC_ERR_READ;
    if (source.memory) {
        std::memcpy(buffer, source.memory + offset, count);
        return ICC_OK;
    }
    if (_lseek(source.fd, LONG(offset), SEEK_SET) != LONG(offset))
        return ICC_ERR_READ;
    return ICC_ReadAll(source.fd, buffer, count) == count ? ICC_OK : ICC_ERR_READ;
}

/* A tag's bytes in locked memory, freed when it goes. */
struct TagBuffer {
    BYTE *data = nullptr;
    size_t size = 0;
    TagBuffer() = default;
    TagBuffer(const TagBuffer &) = delete;
    TagBuffer &operator=(const TagBuffer &) = delete;
    ~TagBuffer() { ICC_FreeLocked(data); }
    void reset()
    {
        ICC_FreeLocked(data);
        data = nullptr;
        size = 0;
    }
};

int read_tag(const ProfileSource &source, DWORD offset, DWORD size, TagBuffer &tag)
{
    tag.reset();
    if (size_t(offset) > source.size || size_t(size) > source.size - offset)
        return ICC_ERR_READ;
    if (size == 0)
        return ICC_OK; /* an empty tag is kept empty and fails its parser */
    tag.data = static_cast<BYTE *>(ICC_AllocLocked(size));
    if (!tag.data)
        return ICC_ERR_MEMORY;
    tag.size = size;
    return source_read(source, offset, tag.data, size);
}

/* Shape of a lookup-table tag that passed its checks. */
struct LutShape {
    bool sixteenBit;
    int grid;            /* points per axis, 2..255 */
    size_t inEntries;    /* per input table */
    size_t outEntries;   /* per output table */
    const BYTE *inTables;
    const BYTE *clut;
    const BYTE *outTables;
};

/*
 * Checks an "A2B0" tag: type "mft1" or "mft2", three input and three output
 * channels, at least two grid points and (lut16) two table entries, and a
 * tag long enough for every table.  False for anything else.
 */
bool lut_shape(const BYTE *tag, size_t size, LutShape *shape)
{
    if (!tag || size < kLut16Tables)
        return false;
    const BYTE *p = tag;
    const bool lut8 = std::memcmp(p, "mft1", 4) == 0;
    const bool lut16 = std::memcmp(p, "mft2", 4) == 0;
    if ((!lut8 && !lut16) || p[8] != 3 || p[9] != 3 || p[10] < 2)
        return false;
    shape->sixteenBit = lut16;
    shape->grid = p[10];
    size_t nodes = size_t(shape->grid) * shape->grid * shape->grid;
    size_t header = lut16 ? kLut16Tables : kLut8Tables;
    size_t unit = lut16 ? 2 : 1;
    shape->inEntries = lut16 ? ICC_Be16(p + 48) : 256;
    shape->outEntries = lut16 ? ICC_Be16(p + 50) : 256;
    if (shape->inEntries < 2 || shape->outEntries < 2)
        return false;
    size_t need = header + unit * (3 * shape->inEntries + 3 * nodes + 3 * shape->outEntries);
    if (need > size)
        return false;
    shape->inTables = p + header;
    shape->clut = shape->inTables + unit * 3 * shape->inEntries;
    shape->outTables = shape->clut + unit * 3 * nodes;
    return true;
}

/*
 * Builds the grid of linear sRGB from a lookup table whose connection space
 * is Lab (`lab`) or XYZ, with the profile white `white`.  The input tables
 * become the transform's curves.  False when memory is short.
 */
bool build_grid(ColorTransform *t, const LutShape &lut, bool lab, const double white[3])
{
    WORD *out[3] = {};
    bool ok = true;
    for (int c = 0; c < 3 && ok; c++) {
        out[c] = static_cast<WORD *>(ICC_AllocLocked(kOutputEntries * sizeof(WORD)));
        ok = out[c] != nullptr;
    }
    GridLut *grid = ok ? static_cast<GridLut *>(ICC_AllocLocked(sizeof(GridLut))) : nullptr;
    if (ok && grid) {
        const size_t unit = lut.sixteenBit ? 2 : 1;
        for (int c = 0; c < 3; c++) {
            const BYTE *in = lut.inTables + unit * c * lut.inEntries;
            const BYTE *outTable = lut.outTables + unit * c * lut.outEntries;
            if (lut.sixteenBit) {
                ICC_ResampleCurve16(in, lut.inEntries, t->curve[c], kInputEntries);
                ICC_ResampleCurve16(outTable, lut.outEntries, out[c], kOutputEntries);
            } else {
                ICC_ResampleCurve8(in, lut.inEntries, t->curve[c], kInputEntries);
                ICC_ResampleCurve8(outTable, lut.outEntries, out[c], kOutputEntries);
            }
        }
        double A[9];
        ICC_AdaptationMatrix(white, A);
        const double scale[3] = {white[0] / ICC_D50[0], white[1], white[2] / ICC_D50[2]};
        int n = 0;
        for (int i = 0; i < ICC_GRID_POINTS; i++)
            for (int j = 0; j < ICC_GRID_POINTS; j++)
                for (int k = 0; k < ICC_GRID_POINTS; k++, n++) {
                    double v[3];
                    if (lut.sixteenBit)
                        ICC_TetraLut16(lut.clut, lut.grid, i / 16.0, j / 16.0, k / 16.0, v);
                    else
                        ICC_TetraLut8(lut.clut, lut.grid, i / 16.0, j / 16.0, k / 16.0, v);
                    double pcs[3];
                    for (int c = 0; c < 3; c++) {
                        LONG v16 = LONG(std::clamp(v[c] + 0.5, 0.0, 65535.0));
                        pcs[c] = out[c][v16 / 16];
                    }
                    double xyz[3];
                    if (lab)
                        ICC_LabToXyz(pcs[0] / 652.8, pcs[1] / 256.0 - 128.0, pcs[2] / 256.0 - 128.0, ICC_D50, xyz);
                    else
                        for (int c = 0; c < 3; c++)
                            xyz[c] = pcs[c] / 32768.0;
                    for (int c = 0; c < 3; c++)
                        xyz[c] *= scale[c];
                    for (int o = 0; o < 3; o++) {
                        double rgb = (A[3 * o] * xyz[0] + A[3 * o + 1] * xyz[1] + A[3 * o + 2] * xyz[2]) * 65535.0;
                        grid->node[n][o] = WORD(std::clamp(rgb, 0.0, 65535.0));
                    }
                }
        ICC_FreeLocked(t->grid);
        t->grid = grid;
    } else {
        ok = false;
    }
    for (WORD *table : out)
        ICC_FreeLocked(table);
    return ok;
}

/* Matrix mode from the colorants (columns red, green, blue) and the white point. */
void build_matrix(ColorTransform *t, const double colorant[3][3], const double white[3])
{
    double P[9];
    for (int row = 0; row < 3; row++) {
        double sum = colorant[0][row] + colorant[1][row] + colorant[2][row];
        double s = sum != 0.0 ? white[row] / sum : 0.0;
        for (int col = 0; col < 3; col++)
            P[3 * row + col] = colorant[col][row] * s;
    }
    double A[9], M[9];
    ICC_AdaptationMatrix(white, A);
    ICC_MatMul3x3(A, P, M);
    for (int i = 0; i < 9; i++)
        t->matrix[i] = LONG(std::clamp(M[i] * 65536.0, -2147483648.0, 2147483647.0));
}

bool read_xyz(const TagBuffer &tag, double xyz[3])
{
    if (tag.size < 20)
        return false;
    for (int c = 0; c < 3; c++)
        xyz[c] = s15f16(tag.data + 8 + 4 * c) / 65536.0;
    return true;
}

int load(ColorTransform *t, const ProfileSource &source)
{
    BYTE header[kHeaderSize + 4];
    if (int r = source_read(source, 0, header, sizeof header); r != ICC_OK)
        return r;
    if (std::memcmp(header + 36, "acsp", 4) != 0)
        return ICC_ERR_SIGNATURE;
    if (std::memcmp(header + 16, "RGB ", 4) != 0)
        return ICC_ERR_CLASS;
    const bool lab = std::memcmp(header + 20, "Lab ", 4) == 0;
    if (!lab && std::memcmp(header + 20, "XYZ ", 4) != 0)
        return ICC_ERR_TAGS;
    const bool scanner = std::memcmp(header + 12, "scnr", 4) == 0;
    const bool monitor = std::memcmp(header + 12, "mntr", 4) == 0;
    if ((monitor && lab) || (!monitor && !scanner))
        return ICC_ERR_CLASS;

    /* The tag table must fit in the profile before anything is allocated for it. */
    const DWORD count = ICC_Be32(header + kHeaderSize);
    if (count > (source.size - sizeof header) / kTagRecordSize)
        return ICC_ERR_READ;

    enum { kRed, kGreen, kBlue, kWhite };
    double colorant[3][3] = {};
    double white[3] = {};
    bool haveXyz[4] = {}, haveCurve[3] = {};
    TagBuffer a2b0, tag;
    LutShape lut{};
    bool haveLut = false;
    for (DWORD i = 0; i < count; i++) {
        BYTE record[kTagRecordSize];
        if (int r = source_read(source, sizeof header + size_t(i) * kTagRecordSize, record, sizeof record); r != ICC_OK)
            return r;
        const DWORD offset = ICC_Be32(record + 4), size = ICC_Be32(record + 8);
        static constexpr char kXyzTags[4][5] = {"rXYZ", "gXYZ", "bXYZ", "wtpt"};
        static constexpr char kCurveTags[3][5] = {"rTRC", "gTRC", "bTRC"};
        if (std::memcmp(record, "A2B0", 4) == 0) {
            if (int r = read_tag(source, offset, size, a2b0); r != ICC_OK)
                return r;
            haveLut = lut_shape(a2b0.data, a2b0.size, &lut);
            continue;
        }
        for (int c = 0; c < 4; c++) {
            if (std::memcmp(record, kXyzTags[c], 4) != 0)
                continue;
            if (int r = read_tag(source, offset, size, tag); r != ICC_OK)
                return r;
            haveXyz[c] = read_xyz(tag, c == kWhite ? white : colorant[c]);
        }
        for (int c = 0; c < 3; c++) {
            if (std::memcmp(record, kCurveTags[c], 4) != 0)
                continue;
            if (int r = read_tag(source, offset, size, tag); r != ICC_OK)
                return r;
            haveCurve[c] = ICC_ReadCurve(tag.data, tag.size, t->curve[c]);
        }
    }
    tag.reset();

    if (scanner && haveLut && haveXyz[kWhite]) {
        const auto build = lut.sixteenBit ? ICC_BuildGridFromLut16 : ICC_BuildGridFromLut8;
        if (!build(t, a2b0.data, a2b0.size, lab, white))
            return ICC_ERR_MEMORY;
        t->status = ICC_STATUS_GRID;
        return ICC_OK;
    }
    if (haveXyz[kRed] && haveXyz[kGreen] && haveXyz[kBlue] && haveXyz[kWhite] && haveCurve[kRed] &&
        haveCurve[kGreen] && haveCurve[kBlue]) {
        build_matrix(t, colorant, white);
        t->status = ICC_STATUS_MATRIX;
        return ICC_OK;
    }
    return ICC_ERR_TAGS;
}

/* Common start and end of both loads: a clean unusable transform, and the grid freed on failure. */
int finish(ColorTransform *t, int result)
{
    if (result != ICC_OK)
        ICC_FreeTransform(t);
    return result;
}

void start(ColorTransform *t)
{
    ICC_FreeTransform(t);
    t->nearWhite = 0;
}

} // namespace

size_t ICC_ReadAll(int fd, void *buffer, size_t count)
{
    size_t done = 0;
    while (done < count) {
        int n = _read(fd, static_cast<BYTE *>(buffer) + done, unsigned(std::min<size_t>(count - done, 1u << 30)));
        if (n <= 0)
            break;
        done += size_t(n);
    }
    return done;
}

bool ICC_BuildGridFromLut8(ColorTransform *transform, const BYTE *tag, size_t size, bool lab, const double white[3])
{
    LutShape lut{};
    return transform && white && lut_shape(tag, size, &lut) && !lut.sixteenBit &&
           build_grid(transform, lut, lab, white);
}

bool ICC_BuildGridFromLut16(ColorTransform *transform, const BYTE *tag, size_t size, bool lab, const double white[3])
{
    LutShape lut{};
    return transform && white && lut_shape(tag, size, &lut) && lut.sixteenBit &&
           build_grid(transform, lut, lab, white);
}

int ICC_LoadProfile(ColorTransform *transform, LPCSTR path)
{
    if (!transform)
        return ICC_ERR_NO_TRANSFORM;
    start(transform);
    if (!path)
        return ICC_ERR_OPEN;
    ProfileSource source;
    source.fd = _open(path, _O_RDONLY | _O_BINARY);
    if (source.fd < 0)
        return ICC_ERR_OPEN;
    LONG end = _lseek(source.fd, 0, SEEK_END);
    int result = end < 0 ? ICC_ERR_READ : (source.size = size_t(end), load(transform, source));
    if (_close(source.fd) != 0 && result == ICC_OK)
        result = ICC_ERR_CLOSE;
    return finish(transform, result);
}

int ICC_LoadProfileFromMemory(ColorTransform *transform, const BYTE *data, size_t size)
{
    if (!transform)
        return ICC_ERR_NO_TRANSFORM;
    start(transform);
    static const BYTE kEmpty[1] = {};
    ProfileSource source;
    source.memory = data ? data : kEmpty; /* no data reads as an empty profile */
    source.size = data ? size : 0;
    return finish(transform, load(transform, source));
}
