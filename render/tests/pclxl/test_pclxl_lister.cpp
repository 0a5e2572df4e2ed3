// The PCL XL writer checked against the independent job lister: for fixed
// seeds a random sequence of writer calls (state commands, clips, text, paths,
// shapes, images, raster patterns, font downloads, comments, graphics-state
// levels) goes into one job; the lister must accept the job and decode
// exactly the commands the test issued, operator by operator and attribute by
// attribute (identifier, data type and values), with their embedded data.
// A second run of each seed makes the sink fail part-way and checks that the
// bytes that reached it are a prefix of the whole job that lists up to the
// command the failure cut.
#include "output_channel.h"
#include "pclxl_ops.h"
#include "pclxl_transform.h"

#include "xl_test_support.h"

#include "pxllist/pxllist.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

namespace op = pxllist::op;
namespace attr = pxllist::attr;
using pxllist::DataType;

/* One attribute as the test expects it. */
struct XAttr {
    uint16_t id = 0;
    DataType type = DataType::kUByte;
    std::vector<double> values;
    bool operator==(const XAttr &) const = default;
};

/*
 * One command as the test expects it.  A point list (LinePath, LineRelPath,
 * BezierPath, BezierRelPath with NumberOfPoints) is compared point by point:
 * each point is one entry with `listPoint` set, the operator LinePath or
 * BezierPath, and the point in device coordinates.  How the writer splits a
 * list into runs, and whether a run is relative, is its own choice; the
 * points the printer ends up with are not.
 */
struct XCmd {
    uint8_t op = 0;
    std::vector<XAttr> attrs;
    Bytes data;  /* embedded data */
    Bytes rows;  /* ReadImage / ReadRastPattern: the rows without pad bytes */
    bool listPoint = false;
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const XCmd &) const = default;
};

/* Builds an expected command attribute by attribute. */
class Cmd {
public:
    explicit Cmd(uint8_t code) { c_.op = code; }
    Cmd &ub(uint16_t id, double v) { return add(id, DataType::kUByte, {v}); }
    Cmd &u16(uint16_t id, double v) { return add(id, DataType::kUInt16, {v}); }
    Cmd &u32(uint16_t id, double v) { return add(id, DataType::kUInt32, {v}); }
    Cmd &s16(uint16_t id, double v) { return add(id, DataType::kSInt16, {v}); }
    Cmd &r32(uint16_t id, float v) { return add(id, DataType::kReal32, {double(v)}); }
    Cmd &u16xy(uint16_t id, double x, double y) { return add(id, DataType::kUInt16XY, {x, y}); }
    Cmd &s16xy(uint16_t id, double x, double y) { return add(id, DataType::kSInt16XY, {x, y}); }
    Cmd &r32xy(uint16_t id, float x, float y) { return add(id, DataType::kReal32XY, {double(x), double(y)}); }
    /* A point attribute: ubyte_xy when both values, as unsigned 16-bit, are below 256, else sint16_xy. */
    Cmd &point(uint16_t id, int32_t x, int32_t y)
    {
        bool small = uint16_t(x) < 256 && uint16_t(y) < 256;
        return add(id, small ? DataType::kUByteXY : DataType::kSInt16XY, {double(x), double(y)});
    }
    /* A box: ubyte_box when all four values, as unsigned 16-bit, are below 256, else sint16_box. */
    Cmd &box(uint16_t id, int32_t x1, int32_t y1, int32_t x2, int32_t y2)
    {
        bool small = uint16_t(x1) < 256 && uint16_t(y1) < 256 && uint16_t(x2) < 256 && uint16_t(y2) < 256;
        return add(id, small ? DataType::kUByteBox : DataType::kSInt16Box,
                   {double(x1), double(y1), double(x2), double(y2)});
    }
    Cmd &uba(uint16_t id, const Bytes &bytes) { return add(id, DataType::kUByteArray, {bytes.begin(), bytes.end()}); }
    Cmd &text(uint16_t id, const std::string &s) { return uba(id, Bytes(s.begin(), s.end())); }
    Cmd &u16a(uint16_t id, const std::vector<WORD> &v) { return add(id, DataType::kUInt16Array, {v.begin(), v.end()}); }
    Cmd &s16a(uint16_t id, const std::vector<SHORT> &v) { return add(id, DataType::kSInt16Array, {v.begin(), v.end()}); }
    Cmd &data(Bytes d)
    {
        c_.data = std::move(d);
        return *this;
    }
    Cmd &rows(Bytes r)
    {
        c_.rows = std::move(r);
        return *this;
    }
    operator XCmd() const { return c_; }

private:
    Cmd &add(uint16_t id, DataType type, std::vector<double> values)
    {
        c_.attrs.push_back({id, type, std::move(values)});
        return *this;
    }
    XCmd c_;
};

XCmd listPoint(uint8_t code, int32_t x, int32_t y)
{
    XCmd c;
    c.op = code;
    c.listPoint = true;
    c.x = x;
    c.y = y;
    return c;
}

/* A readable line for a failure message. */
std::string describe(const XCmd &c)
{
    std::string s(pxllist::OperatorName(c.op));
    if (c.listPoint)
        return s + " point (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ")";
    for (const XAttr &a : c.attrs) {
        s += " " + std::string(pxllist::AttributeName(a.id)) + ":" + std::string(pxllist::DataTypeName(a.type)) + "=";
        for (size_t i = 0; i < a.values.size() && i < 8; i++) {
            char b[32];
            std::snprintf(b, sizeof b, i ? ",%.9g" : "%.9g", a.values[i]);
            s += b;
        }
        if (a.values.size() > 8)
            s += ",...(" + std::to_string(a.values.size()) + ")";
    }
    if (!c.data.empty())
        s += " data " + std::to_string(c.data.size()) + " bytes";
    if (!c.rows.empty())
        s += " rows " + std::to_string(c.rows.size()) + " bytes";
    return s;
}

/*
 * The operators of a listing as XCmds.  Relative points are made absolute
 * from the cursor: the Point of SetCursor, the EndPoint of LinePath, the last
 * point of a list; the three points of a relative Bezier curve are relative
 * to the curve's start.
 */
std::vector<XCmd> decoded(const pxllist::Listing &listing)
{
    std::vector<XCmd> out;
    int32_t cx = 0, cy = 0;
    for (const pxllist::Record &r : listing.records) {
        if (r.kind != pxllist::RecordKind::kOperator)
            continue;
        if (pxllist::FindAttribute(r, attr::kNumberOfPoints)) {
            const bool rel = r.op == op::kLineRelPath || r.op == op::kBezierRelPath;
            const bool bezier = r.op == op::kBezierPath || r.op == op::kBezierRelPath;
            int32_t bx = cx, by = cy;
            for (size_t i = 0; i < r.points.size(); i++) {
                cx = rel ? bx + r.points[i].x : r.points[i].x;
                cy = rel ? by + r.points[i].y : r.points[i].y;
                out.push_back(listPoint(bezier ? op::kBezierPath : op::kLinePath, cx, cy));
                if (!bezier || i % 3 == 2) {
                    bx = cx;
                    by = cy;
                }
            }
            continue;
        }
        XCmd c;
        c.op = r.op;
        for (const pxllist::Attribute &a : r.attributes)
            c.attrs.push_back({a.id, a.type, a.values});
        c.data = r.data;
        c.rows = r.rows;
        const pxllist::Attribute *p = pxllist::FindAttribute(r, r.op == op::kSetCursor ? attr::kPoint : attr::kEndPoint);
        if ((r.op == op::kSetCursor || r.op == op::kLinePath) && p) {
            cx = int32_t(p->values[0]);
            cy = int32_t(p->values[1]);
        }
        out.push_back(std::move(c));
    }
    return out;
}

/* The frame the writer fits around device coordinates outside -32768..32767. */
struct Frame {
    int64_t ox = 0, oy = 0, m = 1;
};

Frame fitFrame(const std::vector<std::pair<int64_t, int64_t>> &pts)
{
    int64_t minX = pts[0].first, maxX = minX, minY = pts[0].second, maxY = minY;
    for (auto [x, y] : pts) {
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    Frame f;
    if (minX >= -32768 && maxX <= 32767 && minY >= -32768 && maxY <= 32767)
        return f;
    const int64_t w = maxX - minX, h = maxY - minY;
    f.ox = minX + (w + 1) / 2;
    f.oy = minY + (h + 1) / 2;
    if (w > 65535 || h > 65535)
        f.m = std::max(w, h) / 65536 + 1;
    return f;
}

/* SetPageOrigin steps that move the origin by (x, y), each clamped to the sint16 range. */
void originSteps(std::vector<XCmd> &out, int64_t x, int64_t y)
{
    while (x != 0 || y != 0) {
        int64_t sx = std::clamp<int64_t>(x, -32768, 32767), sy = std::clamp<int64_t>(y, -32768, 32767);
        out.push_back(Cmd(op::kSetPageOrigin).s16xy(attr::kPageOrigin, double(sx), double(sy)));
        x -= sx;
        y -= sy;
    }
}

/* `inner` (made from frame coordinates) wrapped in the frame's enter and leave commands. */
std::vector<XCmd> inFrame(const Frame &f, const XCmd &inner)
{
    std::vector<XCmd> out;
    originSteps(out, f.ox, f.oy);
    const float m = float(f.m);
    if (f.m != 1)
        out.push_back(Cmd(op::kSetPageScale).r32xy(attr::kPageScale, m, m));
    out.push_back(inner);
    if (f.m != 1)
        out.push_back(Cmd(op::kSetPageScale).r32xy(attr::kPageScale, 1.0f / m, 1.0f / m));
    originSteps(out, -f.ox, -f.oy);
    return out;
}

/* A command with a BoundingBox (and ClipRegion first when `region` >= 0) in its fitted frame. */
std::vector<XCmd> framedBox(uint8_t code, int region, LONG x1, LONG y1, LONG x2, LONG y2)
{
    Frame f = fitFrame({{x1, y1}, {x2, y2}});
    Cmd c(code);
    if (region >= 0)
        c.ub(attr::kClipRegion, region);
    c.box(attr::kBoundingBox, int32_t((x1 - f.ox) / f.m), int32_t((y1 - f.oy) / f.m), int32_t((x2 - f.ox) / f.m),
          int32_t((y2 - f.oy) / f.m));
    return inFrame(f, c);
}

/* A command with one point attribute in its fitted frame. */
std::vector<XCmd> framedPoint(uint8_t code, uint16_t id, LONG x, LONG y)
{
    Frame f = fitFrame({{x, y}});
    return inFrame(f, Cmd(code).point(id, int32_t(x - f.ox), int32_t(y - f.oy)));
}

/* PageAngle as the writer folds it into -360..360. */
LONG foldAngle(LONG a)
{
    if (a > 360)
        return (a - 361) % 360 + 1;
    if (a < -360)
        return -((-a - 361) % 360 + 1);
    return a;
}

std::vector<double> keyOf(std::initializer_list<double> head, const Bytes &tail = {})
{
    std::vector<double> k(head);
    k.insert(k.end(), tail.begin(), tail.end());
    return k;
}

/*
 * Writes one random job through the writer and keeps the list of commands
 * it must decode to.
 *
 * The graphics-state cache decides whether a state command goes out.  The
 * test does not predict that decision; it measures it: a call whose bytes
 * grew the stream (sink plus channel buffer) wrote its command, and that
 * command joins the expected list; a call that wrote nothing was skipped.
 * Invalidating the cache before every call instead would make every state
 * command go out and leave the cache's own path (and the char angle that a
 * changed scale or shear repeats while the text state is valid) untried.
 * So that a wrongly skipped command cannot hide, a skip is accepted only when
 * the last command written for the same state (since the last
 * invalidation) carried the same values.
 */
class RandomJob {
public:
    RandomJob(PdevContext *pdev, Capture &capture, uint32_t seed) : pdev_(pdev), capture_(capture), rng_(seed) {}

    std::vector<XCmd> expected;
    bool failed = false; /* a writer call returned -1; nothing more was called */
    std::string failedCall; /* the first command of that call */

    void run(int commands)
    {
        session();
        for (int i = 0; i < commands && !failed; i++)
            one();
        while (gsDepth_ > 0 && !failed)
            popGS();
        endSession();
    }

private:
    int pick(int lo, int hi) { return lo + int(rng_() % uint32_t(hi - lo + 1)); }
    bool chance(int percent) { return pick(0, 99) < percent; }
    template <typename T>
    T oneOf(std::initializer_list<T> values)
    {
        return values.begin()[pick(0, int(values.size()) - 1)];
    }
    Bytes randomBytes(size_t n)
    {
        Bytes b(n);
        for (BYTE &v : b)
            v = BYTE(rng_());
        return b;
    }
    /* A coordinate inside the sint16 range, often small enough for a byte. */
    LONG coord() { return chance(40) ? pick(-128, 255) : pick(-32768, 32767); }
    /* A coordinate that now and then leaves the 16-bit range (the command then needs a frame). */
    LONG wideCoord() { return chance(20) ? pick(-300000, 300000) : coord(); }

    size_t written() const { return capture_.bytes.size() + pdev_->channel->fill; }

    void append(const std::vector<XCmd> &cmds) { expected.insert(expected.end(), cmds.begin(), cmds.end()); }

    /*
     * Runs one writer call unless an earlier one failed.  Returns false when
     * the call is not made or fails (the failure is kept); otherwise *wrote
     * says whether the call grew the stream.
     */
    bool issue(const std::function<int()> &call, const std::vector<XCmd> &cmds, bool *wrote)
    {
        if (failed)
            return false;
        size_t before = written();
        if (call() != 0) {
            failed = true;
            failedCall = describe(cmds.front());
            return false;
        }
        *wrote = written() > before;
        return true;
    }

    /* A call the cache never skips: it must write exactly `cmds`. */
    void always(const std::function<int()> &call, const std::vector<XCmd> &cmds)
    {
        bool wrote = false;
        if (!issue(call, cmds, &wrote))
            return;
        EXPECT_TRUE(wrote) << "never skipped: " << describe(cmds.front());
        append(cmds);
    }

    /* A cached call for the state `slot` with the values `key`; writes `cmds` unless skipped. */
    void cached(const std::string &slot, const std::vector<double> &key, const std::function<int()> &call,
                const std::vector<XCmd> &cmds)
    {
        bool wrote = false;
        if (!issue(call, cmds, &wrote))
            return;
        if (wrote) {
            append(cmds);
            sent_[slot] = key;
            return;
        }
        auto it = sent_.find(slot);
        EXPECT_TRUE(it != sent_.end() && it->second == key)
            << "skipped although the printer was not sent these values: " << describe(cmds.front());
    }

    /* --- Session and page --- */

    void session()
    {
        always([&] { return XL_BeginSession(pdev_, 600, 600, 0, 0); },
               {Cmd(op::kBeginSession).u16xy(attr::kUnitsPerMeasure, 600, 600).ub(attr::kMeasure, 0).ub(
                   attr::kErrorReport, 0)});
        always([&] { return XL_OpenDataSource(pdev_, 0, 1); },
               {Cmd(op::kOpenDataSource).ub(attr::kSourceType, 0).ub(attr::kDataOrg, 1)});
        beginPage();
    }

    void beginPage()
    {
        XlPageStart p{};
        p.orientation = BYTE(pick(0, 3));
        p.mediaSource = oneOf<SHORT>({-1, 0xF0, SHORT(pick(1, 7))});
        p.mediaSize = chance(25) ? SHORT(-1) : SHORT(pick(0, 20));
        p.customWidth = float(pick(100, 2000)) / 4.0f;
        p.customHeight = float(pick(100, 2000)) / 4.0f;
        p.customUnits = BYTE(pick(0, 2));
        p.mediaType = chance(50) ? "Plain" : nullptr;
        p.mediaDestination = chance(50) ? SHORT(-1) : SHORT(pick(1, 3));
        int sides = pick(0, 2); /* none, simplex, duplex */
        p.simplexMode = sides == 1 ? 0 : -1;
        p.duplexMode = sides == 2 ? SHORT(pick(0, 1)) : SHORT(-1);
        p.duplexSide = chance(50) ? SHORT(pick(0, 1)) : SHORT(-1);

        Cmd c(op::kBeginPage);
        c.ub(attr::kOrientation, p.orientation);
        if (p.mediaSource == 0xF0)
            c.text(attr::kMediaSource, "TRAY5");
        else if (p.mediaSource >= 0)
            c.ub(attr::kMediaSource, p.mediaSource);
        if (p.mediaSize < 0)
            c.r32xy(attr::kCustomMediaSize, p.customWidth, p.customHeight).ub(attr::kCustomMediaSizeUnits, p.customUnits);
        else
            c.ub(attr::kMediaSize, p.mediaSize);
        if (p.mediaType)
            c.text(attr::kMediaType, p.mediaType);
        if (p.mediaDestination >= 0)
            c.ub(attr::kMediaDestination, p.mediaDestination);
        if (p.simplexMode >= 0)
            c.ub(attr::kSimplexPageMode, p.simplexMode);
        if (p.duplexMode >= 0) {
            c.ub(attr::kDuplexPageMode, p.duplexMode);
            if (p.duplexSide >= 0)
                c.ub(attr::kDuplexPageSide, p.duplexSide);
        }
        always([&] { return XL_BeginPage(pdev_, &p); }, {c});
    }

    void endSession()
    {
        WORD copies = WORD(oneOf({0, 0, 1, 2, 300}));
        Cmd end(op::kEndPage);
        if (copies != 0)
            end.u16(attr::kPageCopies, copies);
        always([&] { return XL_EndPage(pdev_, copies); }, {end});
        always([&] { return XL_CloseDataSource(pdev_); }, {Cmd(op::kCloseDataSource)});
        always([&] { return XL_EndSession(pdev_); }, {Cmd(op::kEndSession)});
    }

    /* --- One random command (or a short group the format needs together) --- */

    void one()
    {
        using Gen = void (RandomJob::*)();
        /* Each generator with its weight. */
        static const std::pair<Gen, int> kTable[] = {
            {&RandomJob::colorSpace, 4},  {&RandomJob::palette, 2},      {&RandomJob::source, 10},
            {&RandomJob::ubyteState, 12}, {&RandomJob::penWidth, 2},     {&RandomJob::dash, 3},
            {&RandomJob::miter, 3},       {&RandomJob::clip, 5},         {&RandomJob::textState, 8},
            {&RandomJob::textRun, 4},     {&RandomJob::path, 6},         {&RandomJob::shape, 6},
            {&RandomJob::drawLine, 2},    {&RandomJob::pageTransform, 3}, {&RandomJob::graphicsState, 4},
            {&RandomJob::comment, 3},     {&RandomJob::image, 3},        {&RandomJob::rasterPattern, 2},
            {&RandomJob::selectPattern, 1}, {&RandomJob::fontDownload, 1},
        };
        int total = 0;
        for (const auto &e : kTable)
            total += e.second;
        int r = pick(0, total - 1);
        for (const auto &e : kTable) {
            if (r < e.second) {
                (this->*e.first)();
                return;
            }
            r -= e.second;
        }
    }

    /* --- Colour space --- */

    BYTE spaceOf() { return oneOf<BYTE>({1, 2, 6}); } /* eGray, eRGB, eSRGB */

    void setColorSpace(BYTE space)
    {
        cached("colorSpace", {double(space)}, [&] { return XL_SetColorSpace(pdev_, space); },
               {Cmd(op::kSetColorSpace).ub(attr::kColorSpace, space)});
        space_ = space;
    }

    void colorSpace() { setColorSpace(spaceOf()); }

    /* A palette colour space: 1 byte an entry for gray, 3 for the RGB spaces, padded to 2, 16 or 256 entries. */
    void setPalette(BYTE space, DWORD entries)
    {
        const DWORD width = space == 1 ? 1 : 3;
        Bytes pal = chance(30) && lastPalette_.size() == entries * width ? lastPalette_ : randomBytes(entries * width);
        lastPalette_ = pal;
        DWORD table = entries <= 2 ? 2 : entries <= 16 ? 16 : 256;
        Bytes padded = pal;
        padded.resize(table * width, 0);
        cached("colorSpace", keyOf({double(space), 2, double(pal.size())}, pal),
               [&] { return XL_SetColorSpacePalette(pdev_, space, 2, DWORD(pal.size()), pal.data()); },
               {Cmd(op::kSetColorSpace)
                    .ub(attr::kColorSpace, space)
                    .ub(attr::kPaletteDepth, 2)
                    .uba(attr::kPaletteData, padded)});
        space_ = space;
    }

    void palette() { setPalette(spaceOf(), DWORD(oneOf({1, 2, 3, 16, 17, 200, 256}))); }

    /* The palette of an indexed image of `depth` (0, 1, 2): exactly 2, 16 or 256 entries, zero-padded or cut. */
    void setIndexedPalette(BYTE space, DWORD entries, BYTE depth)
    {
        const DWORD width = space == 1 ? 1 : 3;
        static const DWORD kEntries[] = {2, 16, 256};
        Bytes pal = randomBytes(entries * width);
        Bytes table = pal;
        table.resize(kEntries[depth] * width, 0);
        lastPalette_ = table;
        cached("colorSpace", keyOf({double(space), 2, double(table.size())}, table),
               [&] { return XL_SetColorSpaceIndexed(pdev_, space, 2, depth, DWORD(pal.size()), pal.data()); },
               {Cmd(op::kSetColorSpace)
                    .ub(attr::kColorSpace, space)
                    .ub(attr::kPaletteDepth, 2)
                    .uba(attr::kPaletteData, table)});
        space_ = space;
    }

    /* --- Brush and pen --- */

    void source()
    {
        const bool pen = chance(50);
        const char *slot = pen ? "pen" : "brush";
        const uint8_t code = pen ? op::kSetPenSource : op::kSetBrushSource;
        switch (pick(0, 2)) {
        case 0:
            cached(slot, {0}, [&] { return pen ? XL_SetPenNull(pdev_) : XL_SetBrushNull(pdev_); },
                   {Cmd(code).ub(pen ? attr::kNullPen : attr::kNullBrush, 0)});
            break;
        case 1: {
            BYTE g = oneOf<BYTE>({0, 128, 255, BYTE(pick(0, 255))});
            cached(slot, {1, double(g)}, [&] { return pen ? XL_SetPenGray(pdev_, g) : XL_SetBrushGray(pdev_, g); },
                   {Cmd(code).ub(attr::kGrayLevel, g)});
            break;
        }
        default: {
            Bytes rgb = chance(50) ? Bytes{0, 0, 255} : randomBytes(3);
            cached(slot, keyOf({2}, rgb),
                   [&] {
                       return pen ? XL_SetPenRgb(pdev_, rgb[0], rgb[1], rgb[2])
                                  : XL_SetBrushRgb(pdev_, rgb[0], rgb[1], rgb[2]);
                   },
                   {Cmd(code).uba(attr::kRGBColor, rgb)});
            break;
        }
        }
    }

    /* --- One-value state commands --- */

    /* A state command whose only value is a ubyte: its slot, writer, operator, attribute and largest value. */
    struct UByteState {
        const char *slot;
        int (*write)(PdevContext *, BYTE);
        uint8_t op;
        uint16_t attr;
        int max;
    };

    void ubyteState()
    {
        static const UByteState kStates[] = {
            {"lineCap", XL_SetLineCap, op::kSetLineCap, attr::kLineCapStyle, 3},
            {"lineJoin", XL_SetLineJoin, op::kSetLineJoin, attr::kLineJoinStyle, 3},
            {"fillMode", XL_SetFillMode, op::kSetFillMode, attr::kFillMode, 1},
            {"clipMode", XL_SetClipMode, op::kSetClipMode, attr::kClipMode, 1},
            {"patternTx", XL_SetPatternTxMode, op::kSetPatternTxMode, attr::kTxMode, 1},
            {"sourceTx", XL_SetSourceTxMode, op::kSetSourceTxMode, attr::kTxMode, 1},
            {"rop", XL_SetRop, op::kSetROP, attr::kROP3, 255},
        };
        const UByteState &st = kStates[pick(0, int(std::size(kStates)) - 1)];
        BYTE v = st.max == 255 ? oneOf<BYTE>({0xF0, 0xCC, 0xB8, BYTE(pick(0, 255))}) : BYTE(pick(0, st.max));
        cached(st.slot, {double(v)}, [&] { return st.write(pdev_, v); }, {Cmd(st.op).ub(st.attr, v)});
    }

    /* --- Lines --- */

    void penWidth()
    {
        WORD w = oneOf<WORD>({0, 1, 5, WORD(pick(0, 65535))});
        cached("penWidth", {double(w)}, [&] { return XL_SetPenWidth(pdev_, w); },
               {Cmd(op::kSetPenWidth).u16(attr::kPenWidth, w)});
    }

    void dash()
    {
        if (chance(30)) {
            cached("dash", {0}, [&] { return XL_SetLineSolid(pdev_); }, {Cmd(op::kSetLineDash).ub(attr::kSolidLine, 0)});
            return;
        }
        std::vector<WORD> entries(size_t(oneOf({1, 2, 4, 20, 21, 25})));
        for (WORD &e : entries)
            e = WORD(pick(0, 3) == 0 ? pick(0, 65535) : pick(1, 40));
        if (chance(30) && !lastDash_.empty())
            entries = lastDash_;
        lastDash_ = entries;
        WORD offset = chance(50) ? 0 : WORD(pick(1, 500));
        Cmd c(op::kSetLineDash);
        c.u16a(attr::kLineDashStyle, entries);
        if (offset != 0)
            c.u16(attr::kDashOffset, offset);
        std::vector<double> key = {1, double(offset)};
        key.insert(key.end(), entries.begin(), entries.end());
        cached("dash", key, [&] { return XL_SetLineDash(pdev_, DWORD(entries.size()), entries.data(), offset); }, {c});
    }

    void miter()
    {
        if (chance(50)) {
            WORD m = oneOf<WORD>({10, 65535, WORD(pick(0, 65535))});
            cached("miter", {double(m)}, [&] { return XL_SetMiterLimit(pdev_, m); },
                   {Cmd(op::kSetMiterLimit).u16(attr::kMiterLength, m)});
            return;
        }
        /* A whole value goes out as uint16, any other as real32. */
        float m = chance(30) ? float(pick(0, 100)) : float(pick(1, 4000)) / 8.0f;
        bool whole = m == float(LONG(m));
        Cmd c(op::kSetMiterLimit);
        if (whole)
            c.u16(attr::kMiterLength, m);
        else
            c.r32(attr::kMiterLength, m);
        cached("miter", {double(m)}, [&] { return XL_SetMiterLimitReal(pdev_, m); }, {c});
    }

    /* --- Clip --- */

    void clip()
    {
        switch (pick(0, 3)) {
        case 0:
            cached("clip", {0}, [&] { return XL_SetClipToPage(pdev_); }, {Cmd(op::kSetClipToPage)});
            break;
        case 1: {
            BYTE region = BYTE(pick(0, 1));
            always([&] { return XL_SetClipReplace(pdev_, region); },
                   {Cmd(op::kSetClipReplace).ub(attr::kClipRegion, region)});
            sent_.erase("clip");
            break;
        }
        default: {
            BYTE region = BYTE(pick(0, 1));
            LONG box[4] = {wideCoord(), wideCoord(), wideCoord(), wideCoord()};
            if (chance(30) && haveClipBox_)
                std::copy(lastClipBox_, lastClipBox_ + 4, box);
            std::copy(box, box + 4, lastClipBox_);
            haveClipBox_ = true;
            cached("clip", {1, double(region), double(box[0]), double(box[1]), double(box[2]), double(box[3])},
                   [&] { return XL_SetClipRectangle(pdev_, region, box[0], box[1], box[2], box[3]); },
                   framedBox(op::kSetClipRectangle, region, box[0], box[1], box[2], box[3]));
            break;
        }
        }
    }

    /* --- Text --- */

    void setFont()
    {
        std::string name = oneOf<const char *>({"Courier", "Arial       Bd", "Helvetica", "TT00001"});
        float size = oneOf({12.0f, 10.5f, float(pick(1, 2000)) / 4.0f});
        WORD symbolSet = oneOf<WORD>({277, 590, WORD(pick(0, 65535))});
        cached("font", keyOf({double(size), double(symbolSet)}, Bytes(name.begin(), name.end())),
               [&] { return XL_SetFont(pdev_, name.c_str(), size, symbolSet); },
               {Cmd(op::kSetFont).text(attr::kFontName, name).r32(attr::kCharSize, size).u16(attr::kSymbolSet,
                                                                                              symbolSet)});
    }

    void setCharAngle()
    {
        SHORT a = oneOf<SHORT>({0, 90, SHORT(pick(0, 359))});
        cached("charAngle", {double(a)}, [&] { return XL_SetCharAngle(pdev_, a); },
               {Cmd(op::kSetCharAngle).u16(attr::kCharAngle, a)});
    }

    /* Scale or shear; while the text state is valid the recorded char angle follows. */
    void setCharXY(bool scale)
    {
        float x = scale ? oneOf({1.0f, 2.0f, float(pick(1, 400)) / 16.0f}) : oneOf({0.0f, float(pick(-64, 64)) / 32.0f});
        float y = scale ? oneOf({1.0f, float(pick(1, 400)) / 16.0f}) : oneOf({0.0f, float(pick(-64, 64)) / 32.0f});
        std::vector<XCmd> cmds = {scale ? XCmd(Cmd(op::kSetCharScale).r32xy(attr::kCharScale, x, y))
                                        : XCmd(Cmd(op::kSetCharShear).r32xy(attr::kCharShear, x, y))};
        if (textValid_)
            cmds.push_back(Cmd(op::kSetCharAngle).u16(attr::kCharAngle, sent_.at("charAngle")[0]));
        cached(scale ? "charScale" : "charShear", {double(x), double(y)},
               [&] { return scale ? XL_SetCharScale(pdev_, x, y) : XL_SetCharShear(pdev_, x, y); }, cmds);
    }

    void setCharBold()
    {
        float b = oneOf({0.0f, float(pick(0, 100)) / 64.0f});
        cached("charBold", {double(b)}, [&] { return XL_SetCharBoldValue(pdev_, b); },
               {Cmd(op::kSetCharBoldValue).r32(attr::kCharBoldValue, b)});
    }

    void setCharSubMode()
    {
        BYTE v = BYTE(pick(0, 1));
        cached("charSubMode", {double(v)}, [&] { return XL_SetCharSubMode(pdev_, v); },
               {Cmd(op::kSetCharSubMode).uba(attr::kCharSubModeArray, {v})});
    }

    void setCharAttributes()
    {
        BYTE v = BYTE(pick(0, 1));
        cached("writingMode", {double(v)}, [&] { return XL_SetCharAttributes(pdev_, v); },
               {Cmd(op::kSetCharAttributes).ub(attr::kWritingMode, v)});
    }

    void textState()
    {
        switch (pick(0, 6)) {
        case 0: setFont(); break;
        case 1: setCharAngle(); break;
        case 2: setCharXY(true); break;
        case 3: setCharXY(false); break;
        case 4: setCharBold(); break;
        case 5: setCharSubMode(); break;
        default: setCharAttributes(); break;
        }
    }

    /*
     * A run of text as the text-output code writes one: every text-state
     * command, the cursor, the angle, then Text.  Text makes the cache's text
     * state valid, so every text-state value must have gone out before it.
     */
    void textRun()
    {
        setCharBold();
        setCharXY(false);
        setCharXY(true);
        setCharSubMode();
        setCharAttributes();
        setFont();
        const LONG x = coord(), y = coord();
        setCursor(x, y);
        setCharAngle();
        const size_t n = size_t(pick(1, 40));
        std::vector<WORD> codes(n);
        std::vector<SHORT> xs(n), ys(n);
        for (size_t i = 0; i < n; i++) {
            codes[i] = WORD(chance(80) ? pick(32, 126) : pick(0, 65535));
            xs[i] = SHORT(pick(-300, 300));
            ys[i] = SHORT(pick(-300, 300));
        }
        const BOOL sendX = chance(60), sendY = chance(20);
        Cmd c(op::kText);
        c.u16a(attr::kTextData, codes);
        if (sendX)
            c.s16a(attr::kXSpacingData, xs);
        if (sendY)
            c.s16a(attr::kYSpacingData, ys);
        always([&] { return XL_Text(pdev_, DWORD(n), codes.data(), sendX, sendY, xs.data(), ys.data()); }, {c});
        if (!failed)
            textValid_ = true;
    }

    /* --- Paths and shapes --- */

    void setCursor(LONG x, LONG y)
    {
        always([&] { return XL_SetCursor(pdev_, x, y); }, framedPoint(op::kSetCursor, attr::kPoint, x, y));
        cursor_ = {x, y};
    }

    /* A point list of `count` points (whole curves for Bezier), written relative to the cursor where shorter. */
    void pointList(bool bezier)
    {
        const DWORD count = bezier ? DWORD(3 * pick(1, 10)) : DWORD(pick(1, 40));
        std::vector<DevicePoint> pts(count);
        DevicePoint at = cursor_;
        for (DevicePoint &p : pts) {
            /* Mostly near the previous point (short relative runs), sometimes anywhere. */
            if (chance(70)) {
                p.x = std::clamp<LONG>(at.x + pick(-100, 100), -32768, 32767);
                p.y = std::clamp<LONG>(at.y + pick(-100, 100), -32768, 32767);
            } else {
                p = {coord(), coord()};
            }
            at = p;
        }
        std::vector<XCmd> cmds;
        for (const DevicePoint &p : pts)
            cmds.push_back(listPoint(bezier ? op::kBezierPath : op::kLinePath, p.x, p.y));
        DevicePoint previous = cursor_;
        always([&] {
            return bezier ? XL_BezierPath(pdev_, count, pts.data(), &previous)
                          : XL_LinePath(pdev_, count, pts.data(), &previous);
        },
               cmds);
        cursor_ = pts.back();
    }

    /* NewPath, sub-paths (cursor, lines, point lists, perhaps closed), PaintPath. */
    void path()
    {
        always([&] { return XL_NewPath(pdev_); }, {Cmd(op::kNewPath)});
        for (int sub = pick(1, 3); sub > 0; sub--) {
            const LONG x = coord(), y = coord();
            setCursor(x, y);
            for (int seg = pick(1, 4); seg > 0; seg--) {
                switch (pick(0, 2)) {
                case 0: {
                    LONG x = coord(), y = coord();
                    always([&] { return XL_LineTo(pdev_, x, y); }, framedPoint(op::kLinePath, attr::kEndPoint, x, y));
                    cursor_ = {x, y};
                    break;
                }
                case 1: pointList(false); break;
                default: pointList(true); break;
                }
            }
            if (chance(40))
                always([&] { return XL_CloseSubPath(pdev_); }, {Cmd(op::kCloseSubPath)});
        }
        always([&] { return XL_PaintPath(pdev_); }, {Cmd(op::kPaintPath)});
    }

    void shape()
    {
        const bool ellipse = chance(40);
        LONG x1 = wideCoord(), y1 = wideCoord(), x2 = wideCoord(), y2 = wideCoord();
        const uint8_t code = ellipse ? op::kEllipse : op::kRectangle;
        always([&] { return ellipse ? XL_Ellipse(pdev_, x1, y1, x2, y2) : XL_Rectangle(pdev_, x1, y1, x2, y2); },
               framedBox(code, -1, x1, y1, x2, y2));
    }

    void drawLine()
    {
        LONG x1 = wideCoord(), y1 = wideCoord(), x2 = wideCoord(), y2 = wideCoord();
        std::vector<XCmd> cmds = {Cmd(op::kNewPath)};
        for (const XCmd &c : framedPoint(op::kSetCursor, attr::kPoint, x1, y1))
            cmds.push_back(c);
        for (const XCmd &c : framedPoint(op::kLinePath, attr::kEndPoint, x2, y2))
            cmds.push_back(c);
        cmds.push_back(Cmd(op::kPaintPath));
        always([&] { return XL_DrawLine(pdev_, x1, y1, x2, y2); }, cmds);
    }

    void pageTransform()
    {
        switch (pick(0, 3)) {
        case 0:
            always([&] { return XL_SetPageDefaultCtm(pdev_); }, {Cmd(op::kSetPageDefaultCTM)});
            break;
        case 1: {
            SHORT x = SHORT(pick(-32768, 32767)), y = SHORT(pick(-32768, 32767));
            always([&] { return XL_SetPageOrigin(pdev_, x, y); },
                   {Cmd(op::kSetPageOrigin).s16xy(attr::kPageOrigin, x, y)});
            break;
        }
        case 2: {
            LONG a = oneOf<LONG>({90, 400, 720, -400, -720, LONG(pick(-2000, 2000))});
            always([&] { return XL_SetPageRotation(pdev_, a); },
                   {Cmd(op::kSetPageRotation).s16(attr::kPageAngle, foldAngle(a))});
            break;
        }
        default: {
            float x = float(pick(1, 64)) / 8.0f, y = float(pick(1, 64)) / 8.0f;
            always([&] { return XL_SetPageScale(pdev_, x, y); }, {Cmd(op::kSetPageScale).r32xy(attr::kPageScale, x, y)});
            break;
        }
        }
    }

    /* --- Graphics-state levels --- */

    void popGS()
    {
        always([&] { return XL_PopGS(pdev_); }, {Cmd(op::kPopGS)});
        gsDepth_--;
        /* The printer is back at the pushed level, which the cache does not know: forget it, as callers do. */
        XL_InvalidateState(pdev_);
        sent_.clear();
        textValid_ = false;
        space_ = 0;
    }

    void graphicsState()
    {
        if (gsDepth_ > 0 && (gsDepth_ >= 5 || chance(50))) {
            popGS();
            return;
        }
        always([&] { return XL_PushGS(pdev_); }, {Cmd(op::kPushGS)});
        gsDepth_++;
    }

    /* --- Comments --- */

    void comment()
    {
        char text[16];
        switch (pick(0, 3)) {
        case 0: {
            std::string s;
            for (int i = pick(0, 300); i > 0; i--)
                s += char(pick(32, 126));
            always([&] { return XL_Comment(pdev_, s.c_str()); }, {Cmd(op::kComment).text(attr::kCommentData, s)});
            break;
        }
        case 1: {
            int v = pick(0, 255);
            std::snprintf(text, sizeof text, "QZPC=%02d", v);
            always([&] { return XL_CommentPc(pdev_, v); }, {Cmd(op::kComment).text(attr::kCommentData, text)});
            break;
        }
        case 2: {
            int a = pick(0, 3), b = pick(0, 3);
            std::snprintf(text, sizeof text, "QZSR=%02d", (a ? 1 : 0) + (b ? 4 : 0));
            always([&] { return XL_CommentSr(pdev_, a, b); }, {Cmd(op::kComment).text(attr::kCommentData, text)});
            break;
        }
        default:
            always([&] { return XL_CommentCc(pdev_); }, {Cmd(op::kComment).text(attr::kCommentData, "QZCC=00")});
            break;
        }
    }

    /* --- Images and raster patterns --- */

    /* Rows of `rowBytes` random bytes; `padded` gets them with pad bytes to a multiple of `pad`. */
    Bytes rasterRows(DWORD rowBytes, DWORD height, DWORD pad, Bytes *padded)
    {
        Bytes rows = randomBytes(size_t(rowBytes) * height);
        DWORD stride = (rowBytes + pad - 1) / pad * pad;
        padded->assign(size_t(stride) * height, 0xA5);
        for (DWORD r = 0; r < height; r++)
            std::copy_n(rows.begin() + r * rowBytes, rowBytes, padded->begin() + r * stride);
        return rows;
    }

    /* ReadImage/ReadRastPattern attributes; PadBytesMultiple only when neither 0 nor 4. */
    static Cmd readBlock(uint8_t code, DWORD start, DWORD height, BYTE pad, Bytes data, Bytes rows)
    {
        Cmd c(code);
        c.u16(attr::kStartLine, start).u16(attr::kBlockHeight, height).ub(attr::kCompressMode, 0);
        if (pad != 0 && pad != 4)
            c.ub(attr::kPadBytesMultiple, pad);
        return c.data(std::move(data)).rows(std::move(rows));
    }

    void image()
    {
        const bool indexed = chance(40);
        BYTE depth = 2; /* e8Bit */
        if (indexed) {
            depth = BYTE(pick(0, 2));
            setIndexedPalette(spaceOf(), DWORD(oneOf({2, 16, 256, pick(1, 256)})), depth);
        } else {
            setColorSpace(spaceOf());
        }
        const WORD width = WORD(pick(1, 40)), height = WORD(pick(1, 12));
        const WORD dw = WORD(pick(1, 5000)), dh = WORD(pick(1, 5000));
        static const DWORD kBits[] = {1, 4, 8};
        const DWORD bits = indexed ? kBits[depth] : 8 * (space_ == 1 ? 1 : 3);
        const DWORD rowBytes = (DWORD(width) * bits + 7) / 8;
        always([&] { return XL_BeginImage(pdev_, indexed ? 1 : 0, depth, width, height, dw, dh); },
               {Cmd(op::kBeginImage)
                    .ub(attr::kColorMapping, indexed ? 1 : 0)
                    .ub(attr::kColorDepth, depth)
                    .u16(attr::kSourceWidth, width)
                    .u16(attr::kSourceHeight, height)
                    .u16xy(attr::kDestinationSize, dw, dh)});
        for (DWORD start = 0; start < height && !failed;) {
            const DWORD block = DWORD(pick(1, int(height - start)));
            const BYTE pad = oneOf<BYTE>({0, 1, 2, 3, 4});
            Bytes padded;
            Bytes rows = rasterRows(rowBytes, block, pad == 0 ? 4 : pad, &padded);
            always([&] {
                if (XL_ReadImageHeader(pdev_, WORD(start), WORD(block), 0, pad, DWORD(padded.size())) != 0)
                    return -1;
                return XL_WriteData(pdev_, padded.data(), DWORD(padded.size()));
            },
                   {readBlock(op::kReadImage, start, block, pad, padded, rows)});
            start += block;
        }
        always([&] { return XL_EndImage(pdev_); }, {Cmd(op::kEndImage)});
    }

    /*
     * A raster pattern defined and selected as brush or pen.  Its colour
     * space is set first, so the pattern's own SetColorSpace is always the
     * one in force and skipped; the rest goes out whole or not at all.
     */
    void rasterPattern()
    {
        const bool pen = chance(50);
        setColorSpace(oneOf<BYTE>({1, 2}));
        if (!(chance(40) && patternSpace_ == space_)) {
            patW_ = WORD(pick(1, 16));
            patH_ = WORD(pick(1, 16));
            patPad_ = oneOf<BYTE>({0, 1, 2, 4});
            const DWORD rowBytes = DWORD(patW_) * (space_ == 1 ? 1 : 3);
            patRows_ = rasterRows(rowBytes, patH_, patPad_ == 0 ? 4 : patPad_, &patData_);
            patternSpace_ = space_;
        }
        XlRasterPattern p{};
        p.colorSpace = space_;
        p.colorMapping = 0;
        p.colorDepth = 2;
        p.sourceWidth = patW_;
        p.sourceHeight = patH_;
        p.destinationWidth = WORD(pick(1, 600));
        p.destinationHeight = WORD(pick(1, 600));
        p.patternDefineId = SHORT(pick(-3, 6));
        p.patternPersistence = BYTE(pick(0, 2));
        p.compressMode = 0;
        p.padBytesMultiple = patPad_;
        p.dataLength = DWORD(patData_.size());
        p.data = patData_.data();
        p.originX = chance(50) ? 0 : SHORT(pick(-100, 100));
        p.originY = chance(50) ? 0 : SHORT(pick(-100, 100));

        Cmd select(pen ? op::kSetPenSource : op::kSetBrushSource);
        select.s16(attr::kPatternSelectID, p.patternDefineId);
        if (p.originX != 0 || p.originY != 0)
            select.s16xy(attr::kPatternOrigin, p.originX, p.originY);
        const size_t before = expected.size();
        cached(pen ? "pen" : "brush", keyOf({3, double(space_)}, patData_),
               [&] { return pen ? XL_SetPenRasterPattern(pdev_, &p) : XL_SetBrushRasterPattern(pdev_, &p); },
               {Cmd(op::kBeginRastPattern)
                    .ub(attr::kColorMapping, 0)
                    .ub(attr::kColorDepth, 2)
                    .u16(attr::kSourceWidth, p.sourceWidth)
                    .u16(attr::kSourceHeight, p.sourceHeight)
                    .u16xy(attr::kDestinationSize, p.destinationWidth, p.destinationHeight)
                    .s16(attr::kPatternDefineID, p.patternDefineId)
                    .ub(attr::kPatternPersistence, p.patternPersistence),
                readBlock(op::kReadRastPattern, 0, p.sourceHeight, p.padBytesMultiple, patData_, patRows_),
                Cmd(op::kEndRastPattern), select});
        /* A skipped pattern leaves the earlier one selected: its identifier is not defined. */
        if (expected.size() > before)
            patterns_.insert(p.patternDefineId);
    }

    /* Selects a pattern defined earlier on the page as brush or pen. */
    void selectPattern()
    {
        if (patterns_.empty())
            return;
        const bool pen = chance(50);
        SHORT id = *std::next(patterns_.begin(), pick(0, int(patterns_.size()) - 1));
        SHORT ox = chance(50) ? 0 : SHORT(pick(-50, 50)), oy = chance(50) ? 0 : SHORT(pick(-50, 50));
        WORD nw = chance(50) ? 0 : WORD(pick(1, 300)), nh = chance(50) ? 0 : WORD(pick(1, 300));
        Cmd c(pen ? op::kSetPenSource : op::kSetBrushSource);
        c.s16(attr::kPatternSelectID, id);
        if (ox != 0 || oy != 0)
            c.s16xy(attr::kPatternOrigin, ox, oy);
        if (nw != 0 && nh != 0)
            c.u16xy(attr::kNewDestinationSize, nw, nh);
        always([&] {
            return pen ? XL_SetPenPattern(pdev_, id, ox, oy, nw, nh) : XL_SetBrushPattern(pdev_, id, ox, oy, nw, nh);
        },
               {c});
        sent_.erase(pen ? "pen" : "brush");
    }

    /* --- Font download --- */

    void fontDownload()
    {
        if (!fonts_.empty() && chance(30)) {
            std::string name = *fonts_.begin();
            always([&] { return XL_RemoveFont(pdev_, name.c_str()); },
                   {Cmd(op::kRemoveFont).text(attr::kFontName, name)});
            fonts_.erase(name);
            return;
        }
        std::string name = "TT" + std::to_string(pick(10000, 99999));
        /* The header's fixed fields (format 0, a bitmap or TrueType font), then any bytes. */
        const bool bitmap = chance(50);
        Bytes header = {0, 0, 0x02, 0x0E, BYTE(bitmap ? 254 : 1), 0, 0, 1};
        const Bytes rest = randomBytes(size_t(pick(0, 292)));
        header.insert(header.end(), rest.begin(), rest.end());
        always([&] { return XL_BeginFontHeader(pdev_, name.c_str()); },
               {Cmd(op::kBeginFontHeader).text(attr::kFontName, name).ub(attr::kFontFormat, 0)});
        always([&] { return XL_ReadFontHeader(pdev_, header.data(), DWORD(header.size())); },
               {Cmd(op::kReadFontHeader).u16(attr::kFontHeaderLength, double(header.size())).data(header)});
        always([&] { return XL_EndFontHeader(pdev_); }, {Cmd(op::kEndFontHeader)});
        for (int n = pick(0, 3); n > 0; n--) {
            WORD code = WORD(pick(0, 65535));
            /* A character of the font's kind: bitmap format 0 class 0 with its rows,
               or TrueType format 1 class 0 with the size of what follows. */
            Bytes glyph;
            if (bitmap) {
                const int w = pick(0, 40), h = pick(0, 40);
                glyph = {0, 0, 0, 0, 0, BYTE(h), 0, BYTE(w), 0, BYTE(h)};
                const Bytes bits = randomBytes(size_t((w + 7) / 8 * h));
                glyph.insert(glyph.end(), bits.begin(), bits.end());
            } else {
                const Bytes body = randomBytes(size_t(pick(0, 400)));
                const size_t size = 4 + body.size();
                glyph = {1, 0, BYTE(size >> 8), BYTE(size & 0xFF), 0, 7};
                glyph.insert(glyph.end(), body.begin(), body.end());
            }
            always([&] { return XL_BeginChar(pdev_, name.c_str()); }, {Cmd(op::kBeginChar).text(attr::kFontName, name)});
            always([&] { return XL_ReadChar(pdev_, code, glyph.data(), DWORD(glyph.size())); },
                   {Cmd(op::kReadChar).u16(attr::kCharCode, code).u32(attr::kCharDataSize, double(glyph.size())).data(glyph)});
            always([&] { return XL_EndChar(pdev_); }, {Cmd(op::kEndChar)});
        }
        if (!failed)
            fonts_.insert(name);
    }

    PdevContext *pdev_;
    Capture &capture_;
    std::mt19937 rng_;
    std::map<std::string, std::vector<double>> sent_; /* last values written per state, since the last invalidation */
    bool textValid_ = false;                          /* a Text went out since the last invalidation */
    int gsDepth_ = 0;
    BYTE space_ = 0; /* the colour space last set by this test */
    DevicePoint cursor_{0, 0};
    Bytes lastPalette_;
    std::vector<WORD> lastDash_;
    LONG lastClipBox_[4] = {};
    bool haveClipBox_ = false;
    BYTE patternSpace_ = 0;
    WORD patW_ = 0, patH_ = 0;
    BYTE patPad_ = 0;
    Bytes patData_, patRows_;
    std::set<SHORT> patterns_;
    std::set<std::string> fonts_;
};

/* A stream header line of the form the job header writes before the session. */
const std::string kStreamHeader = ") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0\n";

class ListerCrossCheck : public XlTest {
protected:
    /* Writes the job of `seed` (stopping at the first failed call); returns the writer's verdict. */
    bool writeJob(uint32_t seed, std::vector<XCmd> *expected)
    {
        OUT_Flush(pdev->channel);
        const size_t failAt = capture.failAt;
        capture.reset();
        capture.failAt = failAt;
        capture.bytes.assign(kStreamHeader.begin(), kStreamHeader.end());
        RandomJob job(ctx(), capture, seed);
        job.run(300);
        bool ok = !job.failed && OUT_Flush(pdev->channel) == 0;
        if (job.failed && capture.failAt == 0)
            ADD_FAILURE() << "writer call failed: " << job.failedCall;
        if (expected)
            *expected = job.expected;
        return ok;
    }
};

/* Index of the first difference, with the commands around it, for a failure message. */
std::string firstDifference(const std::vector<XCmd> &want, const std::vector<XCmd> &got)
{
    size_t i = 0;
    while (i < want.size() && i < got.size() && want[i] == got[i])
        i++;
    std::string s = "first difference at command " + std::to_string(i) + "\n";
    for (size_t k = i >= 2 ? i - 2 : 0; k < i + 2; k++) {
        s += "  #" + std::to_string(k) + " expected: " + (k < want.size() ? describe(want[k]) : "(end)") + "\n";
        s += "  #" + std::to_string(k) + " listed:   " + (k < got.size() ? describe(got[k]) : "(end)") + "\n";
    }
    return s;
}

TEST_F(ListerCrossCheck, RandomJobsListAsTheCommandsIssued)
{
    for (uint32_t seed = 1; seed <= 20; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        XL_InvalidateState(ctx());
        std::vector<XCmd> expected;
        ASSERT_TRUE(writeJob(seed, &expected));
        const Bytes job = capture.bytes;
        capture.reset();

        pxllist::Listing listing;
        ASSERT_TRUE(pxllist::ListJob(job, {}, &listing)) << pxllist::FormatError(listing.error);
        ASSERT_FALSE(listing.records.empty());
        EXPECT_EQ(listing.records[0].kind, pxllist::RecordKind::kStreamHeader);
        EXPECT_EQ(listing.records[0].family, "HP-PCL XL");
        EXPECT_EQ(listing.records[0].protocol_class, 2);
        EXPECT_EQ(listing.records[0].protocol_revision, 1);

        const std::vector<XCmd> got = decoded(listing);
        ASSERT_TRUE(got == expected) << expected.size() << " expected, " << got.size() << " listed; "
                                     << firstDifference(expected, got);
    }
}

/*
 * The sink fails at a random one of its calls.  The writer must stop with
 * -1, and what reached the sink must be a byte prefix of the whole job that
 * lists, command for command, as the whole job does up to the command the
 * failure cut, and then stops with an error no earlier than that command.
 */
TEST_F(ListerCrossCheck, FailedWriteLeavesAListablePrefix)
{
    for (uint32_t seed = 1; seed <= 20; seed++) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        XL_InvalidateState(ctx());
        ASSERT_TRUE(writeJob(seed, nullptr));
        const Bytes whole = capture.bytes;
        const size_t calls = capture.calls.size();
        ASSERT_GT(calls, 1u);
        pxllist::Listing full;
        ASSERT_TRUE(pxllist::ListJob(whole, {}, &full)) << pxllist::FormatError(full.error);

        std::mt19937 rng(seed);
        capture.reset();
        capture.failAt = 1 + rng() % calls;
        XL_InvalidateState(ctx());
        EXPECT_FALSE(writeJob(seed, nullptr)) << "failing call " << capture.failAt << " of " << calls;
        const Bytes prefix = capture.bytes;
        ASSERT_LT(prefix.size(), whole.size());
        ASSERT_TRUE(std::equal(prefix.begin(), prefix.end(), whole.begin()));
        capture.reset();

        /* Only the stream header alone (the first flush failed) is a whole stream. */
        pxllist::Listing part;
        const bool listed = pxllist::ListJob(prefix, {}, &part);
        EXPECT_EQ(listed, prefix.size() == kStreamHeader.size());
        /* The records of the whole job that lie completely inside the prefix. */
        size_t complete = 0;
        while (complete < full.records.size() &&
               full.records[complete].offset + full.records[complete].length <= prefix.size())
            complete++;
        ASSERT_GE(part.records.size(), complete);
        for (size_t i = 0; i < complete; i++) {
            EXPECT_EQ(part.records[i].offset, full.records[i].offset);
            EXPECT_EQ(part.records[i].length, full.records[i].length);
        }
        const uint64_t cut = complete < full.records.size() ? full.records[complete].offset : prefix.size();
        if (!listed) {
            EXPECT_GE(part.error.offset, cut) << pxllist::FormatError(part.error);
            EXPECT_LE(part.error.offset, prefix.size()) << pxllist::FormatError(part.error);
        }
    }
}

} // namespace
