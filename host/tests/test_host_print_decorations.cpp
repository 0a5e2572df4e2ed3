// `tarvel print` with watermarks and annotations: each decorated job lists
// cleanly, and the decoration is drawn on the page it belongs to, after the
// page's own drawing and before the page ends, each tiled copy after its
// placement; a page without drawing of its own carries them too.
#include "host_job_test.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using pxllist::Record;
namespace op = pxllist::op;
namespace attr = pxllist::attr;

/* The operators of one physical page (BeginPage to EndPage), comments left out. */
using Page = std::vector<const Record *>;

class HostPrintDecorations : public HostJobTest {
protected:
    HostPrintDecorations() : HostJobTest("tarvel-deco-") {}

    /* Prints and lists the job; the listing must be clean. */
    pxllist::Listing print(const std::string &options)
    {
        int status = -1;
        const std::string out = HostJobTest::print(options, &status);
        EXPECT_EQ(status, 0) << out;
        return listed();
    }

    /* A 24-bit bottom-up bitmap of w x h pixels, all one colour (blue, green, red), 3,780 pixels per metre. */
    std::string bitmap(int w, int h, uint8_t b, uint8_t g, uint8_t r)
    {
        const int row = (w * 3 + 3) / 4 * 4;
        std::vector<uint8_t> f(54 + size_t(row) * size_t(h), 0);
        auto u16 = [&](size_t at, uint32_t v) { f[at] = uint8_t(v), f[at + 1] = uint8_t(v >> 8); };
        auto u32 = [&](size_t at, uint32_t v) { u16(at, v & 0xFFFF), u16(at + 2, v >> 16); };
        f[0] = 'B', f[1] = 'M';
        u32(2, uint32_t(f.size()));
        u32(10, 54);
        u32(14, 40);
        u32(18, uint32_t(w));
        u32(22, uint32_t(h));
        u16(26, 1);
        u16(28, 24);
        u32(34, uint32_t(row * h));
        u32(38, 3780);
        u32(42, 3780);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const size_t at = 54 + size_t(y) * size_t(row) + size_t(x) * 3;
                f[at] = b, f[at + 1] = g, f[at + 2] = r;
            }
        const std::string path = (dir / "mark.bmp").string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(f.data()), std::streamsize(f.size()));
        return path;
    }

    static std::vector<Page> pages(const pxllist::Listing &l)
    {
        std::vector<Page> found;
        bool open = false;
        for (const Record &r : l.records) {
            if (r.kind != pxllist::RecordKind::kOperator || r.op == op::kComment)
                continue;
            if (r.op == op::kBeginPage) {
                found.emplace_back();
                open = true;
            }
            if (open)
                found.back().push_back(&r);
            if (r.op == op::kEndPage)
                open = false;
        }
        return found;
    }
    static std::vector<size_t> where(const Page &p, uint8_t code)
    {
        std::vector<size_t> at;
        for (size_t i = 0; i < p.size(); i++)
            if (p[i]->op == code)
                at.push_back(i);
        return at;
    }
    static std::vector<double> values(const Record &r, uint8_t id)
    {
        const pxllist::Attribute *a = pxllist::FindAttribute(r, id);
        return a ? a->values : std::vector<double>{};
    }

    /*
     * The page's own drawing comes first, unchanged: the decorated page
     * starts with every operator of the same page printed plainly, and the
     * page's last operator is its EndPage.  Answers where the decoration
     * starts.
     */
    static size_t expectDrawnAfterThePage(const Page &decorated, const Page &plain)
    {
        EXPECT_GT(decorated.size(), plain.size()) << "the decoration adds drawing to the page";
        const size_t own = plain.size() - 1; /* without the plain page's EndPage */
        for (size_t i = 0; i < own && i < decorated.size(); i++)
            EXPECT_EQ(decorated[i]->op, plain[i]->op) << "operator " << i << " of the page's own drawing";
        EXPECT_EQ(decorated.back()->op, op::kEndPage);
        return own;
    }
};

TEST_F(HostPrintDecorations, ARotatedFramedTextWatermarkIsDrawnAfterThePagesOwnDrawing)
{
    const pxllist::Listing plain = print("--pages 2");
    const auto plainPages = pages(plain);
    ASSERT_EQ(plainPages.size(), 2u);
    EXPECT_TRUE(where(plainPages[1], op::kText).empty()) << "the plain page draws no text";

    struct Case {
        const char *frame;
        uint8_t framePath; /* the operator that builds the rotated frame's path */
    };
    for (const Case c : {Case{"rectangle", op::kLineRelPath}, Case{"ellipse", op::kBezierRelPath}}) {
        SCOPED_TRACE(c.frame);
        const pxllist::Listing l = print(std::string("--pages 2 --watermark DRAFT --watermark-size 60 "
                                                                 "--watermark-angle 45 --watermark-position centre "
                                                                 "--watermark-frame ") +
                                                         c.frame);
        const auto p = pages(l);
        ASSERT_EQ(p.size(), 2u);
        const size_t start = expectDrawnAfterThePage(p[1], plainPages[1]);
        /* One centred copy: the font at 60 points is 60 x 600 / 72 = 500 dots, turned by 45 degrees. */
        const auto fonts = where(p[1], op::kSetFont), texts = where(p[1], op::kText);
        ASSERT_EQ(fonts.size(), 1u);
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_GE(fonts[0], start);
        EXPECT_EQ(values(*p[1][fonts[0]], attr::kCharSize), std::vector<double>{500});
        const auto angle = where(p[1], op::kSetCharAngle);
        ASSERT_FALSE(angle.empty());
        ASSERT_EQ(values(*p[1][angle.back()], attr::kCharAngle).size(), 1u);
        EXPECT_NEAR(values(*p[1][angle.back()], attr::kCharAngle)[0], 45, 1);
        EXPECT_LT(angle.back(), texts[0]);
        /* The frame follows the text: a path of the frame's shape, painted. */
        const auto frames = where(p[1], c.framePath), paints = where(p[1], op::kPaintPath);
        ASSERT_FALSE(frames.empty());
        ASSERT_FALSE(paints.empty());
        EXPECT_GT(frames.back(), texts[0]);
        EXPECT_GT(paints.back(), frames.back());
        /* A rectangle turns with the text: its first side runs up and right at 45 degrees. */
        const Record &path = *p[1][frames.back()];
        ASSERT_FALSE(path.points.empty());
        if (c.framePath == op::kLineRelPath) {
            EXPECT_GT(path.points[0].x, 0);
            EXPECT_NEAR(path.points[0].x, -path.points[0].y, 2);
        }
        /* The title page gets its copy too, after its own text. */
        const size_t titleStart = expectDrawnAfterThePage(p[0], plainPages[0]);
        const auto titleTexts = where(p[0], op::kText);
        ASSERT_FALSE(titleTexts.empty());
        EXPECT_EQ(titleTexts.size(), where(plainPages[0], op::kText).size() + 1) << "one copy on the title page";
        EXPECT_GE(titleTexts.back(), titleStart);
        EXPECT_EQ(values(*p[0][titleTexts.back()], attr::kTextData).size(), 5u) << "DRAFT";
    }
}

TEST_F(HostPrintDecorations, ABitmapWatermarkPrintsOnceCentredOrTiledColumnByColumn)
{
    const pxllist::Listing plain = print("--pages 2");
    const auto plainPages = pages(plain);
    ASSERT_EQ(plainPages.size(), 2u);
    const std::string file = bitmap(30, 20, 0x00, 0x00, 0xFF);

    {
        SCOPED_TRACE("centred at its own size");
        const pxllist::Listing listing = print("--pages 2 --watermark-bitmap " + file +
                                                     " --watermark-position centre");
        const auto p = pages(listing);
        ASSERT_EQ(p.size(), 2u);
        const size_t start = expectDrawnAfterThePage(p[1], plainPages[1]);
        const auto images = where(p[1], op::kBeginImage);
        ASSERT_EQ(images.size(), 1u);
        EXPECT_GE(images[0], start);
        /* 30 x 20 pixels at 3,780 per metre, 600 dpi: 30 / 3780 x 1000 x 600 / 25.4 = 187.47, 124.98. */
        EXPECT_EQ(values(*p[1][images[0]], attr::kDestinationSize), (std::vector<double>{187, 124}));
        EXPECT_EQ(values(*p[1][images[0]], attr::kSourceWidth), std::vector<double>{30});
        /* Drawn opaque (source copy, 0xCC) at a cursor set right before it. */
        const auto rops = where(p[1], op::kSetROP), cursors = where(p[1], op::kSetCursor);
        ASSERT_FALSE(rops.empty());
        EXPECT_EQ(values(*p[1][rops.back()], attr::kROP3), std::vector<double>{0xCC});
        ASSERT_FALSE(cursors.empty());
        EXPECT_EQ(cursors.back() + 1, images[0]);
        /* The red pixels arrive as red. */
        const Record &read = *p[1][images[0] + 1];
        ASSERT_EQ(read.op, op::kReadImage);
        ASSERT_GE(read.rows.size(), 3u);
        EXPECT_EQ(read.rows[0], 0xFF);
        EXPECT_EQ(read.rows[1], 0x00);
        EXPECT_EQ(read.rows[2], 0x00);
        /* The title page, which draws no image of its own, gets one copy after its text. */
        const size_t titleStart = expectDrawnAfterThePage(p[0], plainPages[0]);
        const auto titleImages = where(p[0], op::kBeginImage);
        ASSERT_EQ(titleImages.size(), 1u);
        EXPECT_GE(titleImages[0], titleStart);
        EXPECT_EQ(values(*p[0][titleImages[0]], attr::kDestinationSize), (std::vector<double>{187, 124}));
    }
    {
        SCOPED_TRACE("tiled at 400 percent");
        const pxllist::Listing listing = print("--pages 2 --watermark-bitmap " + file +
                                                    " --watermark-position tiled --watermark-scale 400");
        const auto p = pages(listing);
        ASSERT_EQ(p.size(), 2u);
        const size_t start = expectDrawnAfterThePage(p[1], plainPages[1]);
        const auto images = where(p[1], op::kBeginImage);
        ASSERT_GE(images.size(), 4u);
        /* 30 / 3780 x 4000 x 600 / 25.4 = 749.9; 20 pixels give 499.9. */
        for (size_t i : images) {
            EXPECT_GE(i, start);
            EXPECT_EQ(values(*p[1][i], attr::kDestinationSize), (std::vector<double>{749, 499}));
        }
        /* Each tile after its own placement; down the first column, then the next column. */
        std::vector<std::vector<double>> origins;
        for (size_t i : images) {
            size_t k = i;
            while (k > 0 && p[1][k]->op != op::kSetPageOrigin) /* the first tile may keep the page's origin */
                k--;
            if (p[1][k]->op == op::kSetPageOrigin)
                origins.push_back(values(*p[1][k], attr::kPageOrigin));
        }
        ASSERT_GE(origins.size(), 3u);
        const std::vector<double> &first = origins[0];
        ASSERT_EQ(first.size(), 2u);
        EXPECT_EQ(origins[1], (std::vector<double>{first[0], first[1] + 499})) << "the next tile down";
        size_t column = 0;
        while (column < origins.size() && origins[column][0] == first[0])
            column++;
        ASSERT_LT(column, origins.size()) << "more than one column";
        EXPECT_EQ(origins[column], (std::vector<double>{first[0] + 749, first[1]})) << "the next column's top";
        EXPECT_EQ(images.size() % column, 0u) << "every column has the same number of tiles";
    }
}

TEST_F(HostPrintDecorations, AnnotationItemsAtOnePositionShareOneLineAfterThePagesOwnDrawing)
{
    const pxllist::Listing plain = print("--pages 2");
    const auto plainPages = pages(plain);
    ASSERT_EQ(plainPages.size(), 2u);
    const pxllist::Listing listing = print("--pages 2 --document Report "
                                                "--annotate user:top-left,document:top-left,page:bottom-right");
    const auto p = pages(listing);
    ASSERT_EQ(p.size(), 2u);
    const size_t start = expectDrawnAfterThePage(p[1], plainPages[1]);
    const auto texts = where(p[1], op::kText);
    ASSERT_EQ(texts.size(), 2u) << "user and document on one line, the page number on another";
    EXPECT_GE(texts[0], start);
    /* "<user> : Report" is at least " : Report" (9 characters) and a user name; then the sheet number "2". */
    EXPECT_GE(values(*p[1][texts[0]], attr::kTextData).size(), 10u);
    EXPECT_EQ(values(*p[1][texts[1]], attr::kTextData).size(), 1u);
    /* The second line is placed at the bottom right before it is drawn. */
    std::vector<double> origin;
    for (size_t k = texts[0]; k < texts[1]; k++)
        if (p[1][k]->op == op::kSetPageOrigin)
            origin = values(*p[1][k], attr::kPageOrigin);
    ASSERT_EQ(origin.size(), 2u);
    EXPECT_GT(origin[0], 2500);
    EXPECT_GT(origin[1], 3200);
    /* The title page's sheet carries the same two lines after its own text, the sheet number "1" last. */
    const size_t titleStart = expectDrawnAfterThePage(p[0], plainPages[0]);
    const auto titleTexts = where(p[0], op::kText);
    ASSERT_EQ(titleTexts.size(), where(plainPages[0], op::kText).size() + 2);
    EXPECT_GE(titleTexts[titleTexts.size() - 2], titleStart);
    EXPECT_EQ(values(*p[0][titleTexts.back()], attr::kTextData).size(), 1u);
}

TEST_F(HostPrintDecorations, AtTheEndOfTheDocumentTheSheetWatermarkAndTheAnnotationShareOneAddedPage)
{
    /* Three pages two to a sheet: the second sheet is half full when the document ends. */
    const pxllist::Listing plain = print("--pages 3 --nup 2");
    const auto plainSheets = pages(plain);
    ASSERT_EQ(plainSheets.size(), 2u);
    const pxllist::Listing listing = print("--pages 3 --nup 2 --watermark SHEET --watermark-sheet "
                                            "--watermark-size 20 --annotate page:bottom-right");
    const auto p = pages(listing);
    ASSERT_EQ(p.size(), 2u) << "two sheets";
    std::vector<size_t> decorationTexts;
    for (size_t s = 0; s < p.size(); s++) {
        SCOPED_TRACE("sheet " + std::to_string(s + 1));
        /* The sheet's own pages first (the first sheet's title page has text of its own), then the decorations. */
        const size_t start = expectDrawnAfterThePage(p[s], plainSheets[s]);
        std::vector<size_t> fonts, texts;
        for (size_t i : where(p[s], op::kSetFont))
            if (i >= start)
                fonts.push_back(i);
        for (size_t i : where(p[s], op::kText))
            if (i >= start)
                texts.push_back(i);
        /* The tiled sheet watermark (20 points: 20 x 600 / 72 = 166.7, drawn at 167), then one annotation line. */
        ASSERT_EQ(fonts.size(), 2u) << "the watermark's font and the annotation's, once each";
        EXPECT_EQ(values(*p[s][fonts[0]], attr::kCharSize), std::vector<double>{167});
        ASSERT_GE(texts.size(), 3u);
        decorationTexts.push_back(texts.size());
        EXPECT_GT(texts.back(), fonts[1]) << "the annotation line comes last";
        EXPECT_EQ(values(*p[s][texts.back()], attr::kTextData).size(), 1u) << "the sheet number";
        for (size_t i = 0; i + 1 < texts.size(); i++)
            EXPECT_EQ(values(*p[s][texts[i]], attr::kTextData).size(), 5u) << "SHEET";
        EXPECT_EQ(p[s].back()->op, op::kEndPage);
    }
    EXPECT_EQ(decorationTexts[0], decorationTexts[1]) << "both sheets carry the same decorations";
    /* On the second sheet all of it follows the third page's drawing (its images). */
    const auto images = where(p[1], op::kBeginImage);
    ASSERT_FALSE(images.empty());
    EXPECT_LT(images.back(), where(p[1], op::kSetFont)[0]);
}

/*
 * A page without drawing carries its decorations like any other: a text
 * file whose first page is blank (it opens with a form feed) prints the
 * decoration on that page (it printed the page bare before), and its second
 * page carries them after its text.
 */
TEST_F(HostPrintDecorations, ABlankFirstPageCarriesItsDecorations)
{
    const std::string file = (dir / "second.txt").string();
    std::ofstream(file, std::ios::binary) << "\fThe second page\n";
    const pxllist::Listing plain = print(file);
    const auto plainPages = pages(plain);
    ASSERT_EQ(plainPages.size(), 2u);
    const std::string bitmapFile = bitmap(30, 20, 0x00, 0x00, 0xFF);
    struct Case {
        std::string options;
        uint8_t drawn; /* what the decoration draws */
    } const cases[] = {
        {"--watermark DRAFT --watermark-position centre", op::kText},
        {"--watermark-bitmap " + bitmapFile + " --watermark-position centre", op::kBeginImage},
        {"--annotate page:bottom-right", op::kText},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        const pxllist::Listing listing = print(c.options + " " + file);
        const auto p = pages(listing);
        ASSERT_EQ(p.size(), 2u);
        EXPECT_TRUE(where(plainPages[0], c.drawn).empty()) << "the plain first page is blank";
        EXPECT_FALSE(where(p[0], c.drawn).empty()) << "the blank first page carries the decoration";
        EXPECT_EQ(p[0].back()->op, op::kEndPage);
        /* The second page's own text first, as printed plainly (its font is removed after the decoration). */
        const auto plainTexts = where(plainPages[1], op::kText);
        ASSERT_EQ(plainTexts.size(), 1u);
        const size_t own = plainTexts[0] + 1;
        ASSERT_GT(p[1].size(), own);
        for (size_t i = 0; i < own; i++)
            EXPECT_EQ(p[1][i]->op, plainPages[1][i]->op) << "operator " << i << " of the page's own drawing";
        const auto drawn = where(p[1], c.drawn);
        ASSERT_FALSE(drawn.empty());
        EXPECT_GE(drawn.back(), own) << "the second page carries the decoration after its text";
        EXPECT_EQ(p[1].back()->op, op::kEndPage);
    }
}

/* A text watermark on five pages, the fifth blank: the watermark's text on every one of them. */
TEST_F(HostPrintDecorations, ATextWatermarkIsOnEveryPageBlankOnesToo)
{
    const pxllist::Listing plain = print("--pages 5");
    const auto plainPages = pages(plain);
    ASSERT_EQ(plainPages.size(), 5u);
    EXPECT_TRUE(where(plainPages[4], op::kText).empty()) << "page 5 is blank";
    const pxllist::Listing listing = print("--pages 5 --watermark CONFIDENTIAL --watermark-position centre");
    const auto p = pages(listing);
    ASSERT_EQ(p.size(), 5u);
    for (size_t i = 0; i < p.size(); i++) {
        SCOPED_TRACE("page " + std::to_string(i + 1));
        /* The last Text of the page is the watermark: the 12 characters of CONFIDENTIAL, of the glyphs the
           watermark's font downloaded (C O N F I D E N T I A L: the N, I repeat). */
        const auto texts = where(p[i], op::kText);
        ASSERT_FALSE(texts.empty());
        const std::vector<double> codes = values(*p[i][texts.back()], attr::kTextData);
        ASSERT_EQ(codes.size(), 12u);
        EXPECT_EQ(codes[2], codes[7]) << "N";
        EXPECT_EQ(codes[4], codes[9]) << "I";
        EXPECT_EQ(p[i].back()->op, op::kEndPage);
    }
}

} // namespace
