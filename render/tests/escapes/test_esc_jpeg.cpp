// The JPEG pass-through through DrvEscape: the marker scan over bytes
// written out by hand, real files made with libjpeg (grey and colour,
// baseline and progressive, restart markers, sizes that are not a multiple
// of 8) whose bytes the job lister finds unchanged in the ReadImage data,
// the commands around them checked against bytes worked out from the PCL
// XL tables, the sequence of pieces and its ids (collected until the last
// one, then written whole), rotation, and every bad call, unfinished
// sequence or unreadable file ending with a clear answer and a stream the
// lister reads whole.
#include "esc_ext.h"
#include "jpeg_test_support.h"
#include "job_listing.h"

#include <algorithm>
#include <functional>
#include <cstring>
#include <string>
#include <vector>

using namespace job_test;
using namespace jpeg_test;

namespace {

using Bytes = std::vector<uint8_t>;

TEST(JpegMarkerScan, ComponentCountFromHandWrittenHeaders)
{
    /* SOF0 of a 1-component 8x8 frame: FF C0, length 11, precision 8, height, width, 1 component */
    const Bytes sof0Grey = {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11, 0x00};
    const Bytes sof2Colour = {0xFF, 0xC2, 0x00, 0x11, 0x08, 0x00, 0x08, 0x00, 0x08, 0x03, 0x01, 0x22, 0x00,
                              0x02, 0x11, 0x01, 0x03, 0x11, 0x01};
    const Bytes soi = {0xFF, 0xD8};
    const Bytes app0 = {0xFF, 0xE0, 0x00, 0x06, 'J', 'F', 0xFF, 0xD9}; /* a length that hides an EOI */
    auto cat = [](std::initializer_list<Bytes> parts) {
        Bytes b;
        for (const Bytes &p : parts)
            b.insert(b.end(), p.begin(), p.end());
        return b;
    };
    struct Row {
        const char *name;
        Bytes data;
        int components;
    } rows[] = {
        {"grey frame", cat({soi, sof0Grey}), 1},
        {"colour progressive frame", cat({soi, sof2Colour}), 3},
        {"a segment skipped by its length", cat({soi, app0, sof0Grey}), 1},
        {"fill bytes before a marker", cat({soi, {0xFF, 0xFF, 0xFF}, sof0Grey}), 1},
        {"stuffed FF 00 and restart markers skipped", cat({soi, {0x12, 0xFF, 0x00, 0xFF, 0xD3, 0x34}, sof0Grey}),
         1},
        {"only SOI", soi, -1},
        {"empty", {}, -1},
        {"SOI not first", cat({{0x00}, soi, sof0Grey}), -1},
        {"another marker first", cat({sof0Grey, soi}), -1},
        {"EOI before the frame", cat({soi, {0xFF, 0xD9}, sof0Grey}), -1},
        {"a second SOI", cat({soi, soi, sof0Grey}), -1},
        {"frame header cut before its count", cat({soi, Bytes(sof0Grey.begin(), sof0Grey.begin() + 9)}), -1},
        {"frame header ending at its count", cat({soi, Bytes(sof0Grey.begin(), sof0Grey.begin() + 10)}), 1},
        {"a segment length below 2", cat({soi, {0xFF, 0xE1, 0x00, 0x01}, sof0Grey}), -1},
        {"a segment running past the end", cat({soi, {0xFF, 0xE1, 0x40, 0x00, 1, 2, 3}}), -1},
        {"DHT and DAC are not frames", cat({soi, {0xFF, 0xC4, 0x00, 0x02, 0xFF, 0xCC, 0x00, 0x02}, sof0Grey}), 1},
        {"a count of 0", cat({soi, {0xFF, 0xC1, 0x00, 0x0B, 8, 0, 8, 0, 8, 0}}), -1},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(ESC_JpegComponents(r.data.data(), DWORD(r.data.size())), r.components) << r.name;
        EXPECT_EQ(ESC_JpegIsColour(r.data.data(), DWORD(r.data.size())), r.components < 0 ? -1 : r.components > 1)
            << r.name;
    }
    EXPECT_EQ(ESC_JpegComponents(nullptr, 10), -1);

    const Bytes m = {0x00, 0xFF, 0x00, 0xFF, 0xFF, 0xC4, 0xFF};
    EXPECT_EQ(ESC_FindMarker(m.data(), DWORD(m.size()), 0), 4) << "stuffing and fill bytes are not markers";
    EXPECT_EQ(ESC_FindMarker(m.data(), DWORD(m.size()), 5), -1) << "a last FF has no code";
    EXPECT_EQ(ESC_FindMarker(m.data(), DWORD(m.size()), 9), -1);
}

class JpegPassThrough : public FirstJob {
protected:
    void SetUp() override
    {
        FirstJob::SetUp();
        enableContext();
        pdev->ext.protocolClass = 0x2010000;
        pdev->ext.mode = 1;
    }

    LONG send(const ImageCall &c, const uint8_t *piece, uint32_t length)
    {
        Bytes p = payload(c, piece, length);
        return LONG(DrvEscape(so, 0x1072, ULONG(p.size()), p.data(), 0, nullptr));
    }
    /* The whole file in one call. */
    LONG sendFile(const Bytes &file, ImageCall c)
    {
        c.total = uint32_t(file.size());
        return send(c, file.data(), uint32_t(file.size()));
    }
    static ImageCall callFor(const JpegSpec &s)
    {
        ImageCall c;
        c.srcWidth = uint16_t(s.width);
        c.srcHeight = uint16_t(s.height);
        return c;
    }
    bool begin() { return startDoc() && DrvStartPage(so); }
    Job finish()
    {
        EXPECT_TRUE(DrvSendPage(so));
        EXPECT_TRUE(DrvEndDoc(so, 0));
        return list(spooled());
    }

    /* The operator records of the job's pages, by name. */
    static std::vector<const pxllist::Record *> records(const Job &j, std::string_view name)
    {
        std::vector<const pxllist::Record *> found;
        for (const pxllist::Record &r : j.listing.records)
            if (r.kind == pxllist::RecordKind::kOperator && r.op_name == name)
                found.push_back(&r);
        return found;
    }
    /* The compact operators from the first one starting with `from` to the first EndImage after it. */
    static std::vector<std::string> imageOps(const Job &j, const std::string &from)
    {
        auto first = std::find_if(j.ops.begin(), j.ops.end(), [&](const std::string &s) { return s.rfind(from, 0) == 0; });
        auto end = std::find(first, j.ops.end(), "EndImage");
        return std::vector<std::string>(first, end == j.ops.end() ? end : end + 1);
    }
};

TEST_F(JpegPassThrough, RealFilesPassUnchanged)
{
    const JpegSpec specs[] = {
        {37, 23, 1, false, 0, 85, false}, {37, 23, 3, false, 0, 85, false}, {37, 23, 1, true, 0, 85, false},
        {37, 23, 3, true, 0, 85, false},  {45, 41, 3, false, 1, 85, false}, {45, 41, 1, true, 2, 85, false},
        {8, 8, 3, false, 0, 85, false},   {1, 1, 1, false, 0, 85, false},
    };
    for (const JpegSpec &s : specs) {
        SCOPED_TRACE(std::to_string(s.width) + "x" + std::to_string(s.height) + " components " +
                     std::to_string(s.components) + (s.progressive ? " progressive" : " baseline") + " restart " +
                     std::to_string(s.restartRows));
        const Bytes file = makeJpeg(s);
        ASSERT_EQ(file[0], 0xFF);
        if (s.restartRows) {
            ASSERT_TRUE(hasMarker(file, 0xD0)) << "the file carries restart markers";
        }
        ASSERT_EQ(hasMarker(file, 0xC2), s.progressive);
        ASSERT_TRUE(begin());
        EXPECT_EQ(pdev->ext.lastSequenceId, 0);
        EXPECT_EQ(sendFile(file, callFor(s)), 1) << "the first sequence id";
        EXPECT_EQ(pdev->ext.currentSequenceId, 0) << "a file in one piece ends its sequence";
        const Job j = finish();
        auto reads = records(j, "ReadImage");
        ASSERT_EQ(reads.size(), 1u);
        EXPECT_EQ(reads[0]->data, file);
        const std::string space = s.components == 1 ? "1" : "6";
        const std::vector<std::string> expected = {
            "SetColorSpace ColorSpace=" + space,
            "SetCursor Point=100,200",
            "BeginImage ColorMapping=0 ColorDepth=2 SourceWidth=" + std::to_string(s.width) +
                " SourceHeight=" + std::to_string(s.height) + " DestinationSize=300,150",
            "ReadImage StartLine=0 BlockHeight=" + std::to_string(s.height) + " CompressMode=2",
            "EndImage"};
        EXPECT_EQ(imageOps(j, "SetColorSpace ColorSpace=" + space), expected);
        disable();
        enableContext();
        pdev->ext.protocolClass = 0x2010000;
        pdev->ext.mode = 1;
    }
}

TEST_F(JpegPassThrough, CommandBytesAroundTheFileMatchTheTables)
{
    const JpegSpec s{37, 23, 3, true, 1, 85, false};
    const Bytes file = makeJpeg(s);
    ASSERT_GE(file.size(), 256u) << "a length written as 0xFA and four bytes";
    ImageCall c = callFor(s);
    c.clip = true;
    c.clipRect[0] = 10;
    c.clipRect[1] = 20;
    c.clipRect[2] = 500;
    c.clipRect[3] = 400;
    ASSERT_TRUE(begin());
    ASSERT_EQ(sendFile(file, c), 1);
    const Job j = finish();
    auto clips = records(j, "SetClipRectangle");
    ASSERT_FALSE(clips.empty());
    const pxllist::Record &clip = *clips.back();
    auto reads = records(j, "ReadImage");
    ASSERT_EQ(reads.size(), 1u);
    const size_t from = size_t(clip.offset);
    const size_t to = size_t(reads[0]->data_offset) + 5;
    const std::string got = j.bytes.substr(from, to - from);
    const uint32_t n = uint32_t(file.size());
    const uint8_t w = uint8_t(s.width), h = uint8_t(s.height);
    const Bytes expected = {
        /* SetClipRectangle: ClipRegion eInterior, BoundingBox sint16_box (10, 20, 500, 400) */
        0xC0, 0x00, 0xF8, 0x53, 0xE3, 0x0A, 0x00, 0x14, 0x00, 0xF4, 0x01, 0x90, 0x01, 0xF8, 0x42, 0x68,
        /* SetFillMode eEvenOdd */
        0xC0, 0x01, 0xF8, 0x46, 0x6E,
        /* SetSourceTxMode and SetPatternTxMode eOpaque */
        0xC0, 0x00, 0xF8, 0x2D, 0x7C, 0xC0, 0x00, 0xF8, 0x2D, 0x78,
        /* SetROP 0xCC */
        0xC0, 0xCC, 0xF8, 0x2C, 0x7B,
        /* SetColorSpace eSRGB */
        0xC0, 0x06, 0xF8, 0x03, 0x6A,
        /* SetCursor ubyte_xy (100, 200) */
        0xD0, 0x64, 0xC8, 0xF8, 0x4C, 0x6B,
        /* BeginImage: eDirectPixel, e8Bit, source 37 x 23, destination uint16_xy (300, 150) */
        0xC0, 0x00, 0xF8, 0x64, 0xC0, 0x02, 0xF8, 0x62, 0xC1, w, 0x00, 0xF8, 0x6C, 0xC1, h, 0x00, 0xF8, 0x6B, 0xD1,
        0x2C, 0x01, 0x96, 0x00, 0xF8, 0x67, 0xB0,
        /* ReadImage: StartLine 0, BlockHeight 23, CompressMode eJPEGCompression, then the data length */
        0xC1, 0x00, 0x00, 0xF8, 0x6D, 0xC1, h, 0x00, 0xF8, 0x63, 0xC0, 0x02, 0xF8, 0x65, 0xB1, 0xFA, uint8_t(n),
        uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
    EXPECT_EQ(Bytes(got.begin(), got.end()), expected);
    /* the file, then EndImage */
    EXPECT_EQ(j.bytes.substr(to, file.size()), std::string(file.begin(), file.end()));
    EXPECT_EQ(uint8_t(j.bytes[to + file.size()]), 0xB2);
}

TEST_F(JpegPassThrough, ThreePiecesShareTheirSequenceId)
{
    JpegSpec s{280, 280, 3, false, 0, 100, true};
    const Bytes file = makeJpeg(s);
    ASSERT_GT(file.size(), 120000u);
    ASSERT_LE(file.size(), 180000u);
    const uint32_t last = uint32_t(file.size()) - 120000;
    ImageCall c = callFor(s);
    c.total = uint32_t(file.size());
    pdev->ext.lastSequenceId = 0x3FFF;
    ASSERT_TRUE(begin());
    EXPECT_EQ(send(c, file.data(), 60000), 1) << "after 0x3FFF the ids start again at 1";
    c.sequenceId = 1;
    c.offset = 60000;
    EXPECT_EQ(send(c, file.data() + 60000, 60000), 1);
    EXPECT_EQ(pdev->ext.received, 120000u);
    EXPECT_EQ(pdev->ext.currentSequenceId, 1);
    c.offset = 120000;
    EXPECT_EQ(send(c, file.data() + 120000, last), 1);
    EXPECT_EQ(pdev->ext.currentSequenceId, 0);
    EXPECT_EQ(pdev->ext.image, nullptr);
    const Job j = finish();
    auto reads = records(j, "ReadImage");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0]->data, file);
    EXPECT_EQ(records(j, "BeginImage").size(), 1u);
    EXPECT_EQ(records(j, "EndImage").size(), 1u);

    /* the next image takes the next id */
    ASSERT_TRUE(begin());
    const Bytes small = makeJpeg(JpegSpec{});
    EXPECT_EQ(sendFile(small, callFor(JpegSpec{})), 2);
    finish();
}

TEST_F(JpegPassThrough, PiecesThatDoNotFitAreRefusedBeforeAnyChange)
{
    JpegSpec s{420, 400, 3, false, 0, 100, true};
    const Bytes file = makeJpeg(s);
    ASSERT_GT(file.size(), 70000u);
    ImageCall c = callFor(s);
    c.total = uint32_t(file.size());
    ASSERT_TRUE(begin());
    const auto before = pdev->ext;
    EXPECT_EQ(send(c, file.data(), 65281), -4) << "over 65,280 bytes";
    EXPECT_EQ(std::memcmp(&before, &pdev->ext, sizeof before), 0);

    /* a good first piece, then one that skips ahead, one of another id, one beyond the total */
    EXPECT_EQ(send(c, file.data(), 65280), 1);
    const auto started = pdev->ext;
    c.sequenceId = 1;
    c.offset = 65281;
    EXPECT_EQ(send(c, file.data() + 65281, 100), -4) << "skips a byte";
    c.offset = 65280;
    EXPECT_EQ(send(c, file.data() + 65280, 65281), -4) << "over 65,280 bytes";
    c.total = 65280 + 10;
    EXPECT_EQ(send(c, file.data() + 65280, 11), -4) << "beyond the total";
    EXPECT_EQ(std::memcmp(&started, &pdev->ext, sizeof started), 0) << "nothing changed";
    c.total = uint32_t(file.size());
    uint32_t offset = 65280;
    while (offset < file.size()) {
        const uint32_t n = std::min<uint32_t>(65280, uint32_t(file.size()) - offset);
        c.offset = offset;
        EXPECT_EQ(send(c, file.data() + offset, n), 1);
        offset += n;
    }
    const Job j = finish();
    auto reads = records(j, "ReadImage");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0]->data, file);
}

TEST_F(JpegPassThrough, UnreadableFilesAreRefusedAndWriteNothing)
{
    const JpegSpec s{};
    const Bytes file = makeJpeg(s);
    size_t sof = 0;
    while (!(file[sof] == 0xFF && file[sof + 1] == 0xC0))
        sof++;
    const Bytes noFrame = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xD9};
    const Bytes cutHeader(file.begin(), file.begin() + long(sof) + 6);
    const Bytes notJpeg = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    const Bytes cutData(file.begin(), file.begin() + long(file.size()) - 40);
    ASSERT_TRUE(begin());
    struct Row {
        const char *name;
        const Bytes *file;
        LONG answer;
        ImageCall call;
    } rows[] = {
        {"no frame header", &noFrame, -1, callFor(s)},
        {"cut inside the frame header", &cutHeader, -1, callFor(s)},
        {"not a JPEG", &notJpeg, -1, callFor(s)},
        {"cut inside the scan data", &cutData, -1, callFor(s)},
        {"another size than the descriptor's", &file, -5, callFor(JpegSpec{36, 23})},
    };
    WORD lastId = pdev->ext.lastSequenceId;
    for (const Row &r : rows) {
        EXPECT_EQ(sendFile(*r.file, r.call), r.answer) << r.name;
        EXPECT_EQ(pdev->ext.currentSequenceId, 0) << r.name;
        EXPECT_EQ(pdev->ext.image, nullptr) << r.name;
        lastId = pdev->ext.lastSequenceId;
    }
    /* a file cut in its scan data shows it only at its end: its pieces were taken until then */
    ImageCall c = callFor(s);
    c.total = uint32_t(cutData.size());
    EXPECT_EQ(send(c, cutData.data(), 100), lastId + 1);
    c.sequenceId = SHORT(lastId + 1);
    c.offset = 100;
    EXPECT_EQ(send(c, cutData.data() + 100, uint32_t(cutData.size()) - 100), -1);
    EXPECT_EQ(sendFile(file, callFor(s)), lastId + 2);
    const Job j = finish();
    auto reads = records(j, "ReadImage");
    ASSERT_EQ(reads.size(), 1u) << "only the good file was written";
    EXPECT_EQ(reads[0]->data, file);
}

TEST_F(JpegPassThrough, AbandonedSequencesWriteNothing)
{
    const JpegSpec s{};
    const Bytes file = makeJpeg(s);
    const uint32_t half = uint32_t(file.size() / 2);
    ImageCall c = callFor(s);
    c.total = uint32_t(file.size());

    /* by the end of the page */
    ASSERT_TRUE(begin());
    ASSERT_EQ(send(c, file.data(), half), 1);
    Job j = finish();
    EXPECT_TRUE(records(j, "BeginImage").empty());
    EXPECT_EQ(pdev->ext.image, nullptr);

    /* by a piece of another sequence: -4, and the next piece starts again */
    ASSERT_TRUE(begin());
    ASSERT_EQ(send(c, file.data(), half), 2);
    c.sequenceId = 7;
    c.offset = half;
    EXPECT_EQ(send(c, file.data() + half, uint32_t(file.size()) - half), -4);
    EXPECT_EQ(pdev->ext.currentSequenceId, 0);
    c.sequenceId = 0;
    c.offset = 0;
    EXPECT_EQ(send(c, file.data(), uint32_t(file.size())), 3);
    j = finish();
    auto reads = records(j, "ReadImage");
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_EQ(reads[0]->data, file);

    /* by the end of the document, with no page end */
    ASSERT_TRUE(begin());
    ASSERT_EQ(send(c, file.data(), half), 4);
    EXPECT_TRUE(DrvEndDoc(so, 0));
    j = list(spooled());
    EXPECT_TRUE(records(j, "BeginImage").empty());
    EXPECT_EQ(pdev->ext.currentSequenceId, 0);

    /* by the context going (the leak checker sees the collected bytes freed) */
    ASSERT_TRUE(begin());
    ASSERT_EQ(send(c, file.data(), half), 5);
    EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
    ASSERT_TRUE(begin());
    ASSERT_EQ(send(c, file.data(), half), 6);
    disable();
}

TEST_F(JpegPassThrough, RotationsMoveTheOrigin)
{
    const JpegSpec s{};
    const Bytes file = makeJpeg(s);
    struct Row {
        uint16_t rotation;
        const char *before;
        const char *cursor;
        const char *after;
    } rows[] = {
        /* x 100, y 200, destination 300 x 150 */
        {90, "SetPageRotation PageAngle=270", "SetCursor Point=200,-250", "SetPageRotation PageAngle=90"},
        {180, "SetPageRotation PageAngle=180", "SetCursor Point=-400,-350", "SetPageRotation PageAngle=180"},
        {270, "SetPageRotation PageAngle=90", "SetCursor Point=-500,100", "SetPageRotation PageAngle=270"},
    };
    for (const Row &r : rows) {
        ImageCall c = callFor(s);
        c.rotation = r.rotation;
        ASSERT_TRUE(begin());
        EXPECT_EQ(sendFile(file, c), 1) << r.rotation;
        const Job j = finish();
        auto ops = imageOps(j, r.before);
        ASSERT_GE(ops.size(), 3u) << r.rotation;
        EXPECT_EQ(ops[1], r.cursor);
        auto end = std::find(j.ops.begin(), j.ops.end(), "EndImage");
        ASSERT_NE(end, j.ops.end());
        EXPECT_EQ(*(end + 1), r.after);
        disable();
        enableContext();
        pdev->ext.protocolClass = 0x2010000;
        pdev->ext.mode = 1;
    }
}

TEST_F(JpegPassThrough, BadCallsAnswerClearly)
{
    const JpegSpec s{};
    const Bytes file = makeJpeg(s);
    ASSERT_TRUE(begin());
    struct Row {
        const char *name;
        std::function<void(ImageCall &)> change;
        LONG answer;
    } rows[] = {
        {"rotation 45", [](ImageCall &c) { c.rotation = 45; }, -5},
        {"rotation 360", [](ImageCall &c) { c.rotation = 360; }, -5},
        {"a reserved value", [](ImageCall &c) { c.reserved[1] = 1; }, -5},
        {"bitmap width", [](ImageCall &c) { c.bmWidth = c.srcWidth + 1; }, -5},
        {"bitmap height", [](ImageCall &c) { c.bmHeight = c.srcHeight - 1; }, -5},
        {"no destination width", [](ImageCall &c) { c.destWidth = 0; }, -5},
        {"no source height", [](ImageCall &c) { c.srcHeight = 0; c.bmHeight = 0; }, -5},
        {"not JPEG compression", [](ImageCall &c) { c.compression = 0; }, -1},
        {"another ROP", [](ImageCall &c) { c.rop = 0x8800C6; }, 0},
        {"size field 2", [](ImageCall &c) { c.sizeField = 2; }, -4},
        {"first piece with an offset", [](ImageCall &c) { c.offset = 1; }, -4},
        {"first piece with an id", [](ImageCall &c) { c.sequenceId = 5; }, -4},
    };
    for (const Row &r : rows) {
        ImageCall c = callFor(s);
        r.change(c);
        const auto before = pdev->ext;
        EXPECT_EQ(sendFile(file, c), r.answer) << r.name;
        EXPECT_EQ(std::memcmp(&before, &pdev->ext, sizeof before), 0) << r.name;
    }

    /* offsets outside the input */
    ImageCall whole = callFor(s);
    whole.total = uint32_t(file.size());
    const Bytes p = payload(whole, file.data(), uint32_t(file.size()));
    auto call = [&](const Bytes &b, ULONG cj) { return LONG(DrvEscape(so, 0x1072, cj, const_cast<uint8_t *>(b.data()), 0, nullptr)); };
    EXPECT_EQ(call(p, 35), -4) << "a call record a byte short";
    EXPECT_EQ(call(p, ULONG(p.size() - 1)), -4) << "the piece a byte past the input";
    Bytes q = p;
    const uint32_t far = uint32_t(q.size());
    std::memcpy(&q[4], &far, 4);
    EXPECT_EQ(call(q, ULONG(q.size())), -5) << "the descriptor outside";
    q = p;
    std::memcpy(&q[56], &far, 4);
    EXPECT_EQ(call(q, ULONG(q.size())), -5) << "the bitmap header outside";
    q = p;
    std::memcpy(&q[32], &far, 4);
    EXPECT_EQ(call(q, ULONG(q.size())), -5) << "the clip outside";
    EXPECT_EQ(call(p, 0), -4);

    pdev->ext.mode = 0;
    EXPECT_EQ(call(p, ULONG(p.size())), 0) << "extension off";
    pdev->ext.mode = 1;
    put(1333, 1);
    EXPECT_EQ(call(p, ULONG(p.size())), 0) << "no JPEG feature";
    put(1333, 0);
    EXPECT_EQ(call(p, ULONG(p.size())), 1);
    const Job j = finish();
    EXPECT_EQ(records(j, "ReadImage").size(), 1u) << "only the good call wrote";
}

TEST_F(JpegPassThrough, AnImageMarksItsPageColour)
{
    const JpegSpec s{};
    const Bytes file = makeJpeg(s);
    ASSERT_TRUE(begin());
    ASSERT_EQ(sendFile(file, callFor(s)), 1);
    EXPECT_TRUE(JOB_IsPageColorKnown(pdev));
    EXPECT_EQ(pdev->pageColors.active, 0) << "the page's colours cannot be collected";
    finish();
}

TEST_F(JpegPassThrough, OutsideAJobTheImageFails)
{
    const JpegSpec s{};
    const Bytes file = makeJpeg(s);
    EXPECT_EQ(sendFile(file, callFor(s)), -1);
    EXPECT_EQ(pdev->ext.currentSequenceId, 0);
    EXPECT_EQ(pdev->ext.lastSequenceId, 0);
}

} // namespace
