// The test document's text page (device fonts turned, emboldened, slanted
// and spaced, Japanese in Mincho, downloaded TrueType faces) and
// `tarvel print FILE`: a UTF-8 text file laid out over as many pages as it
// fills, its font downloaded on each page and removed at the page's end;
// files that are not UTF-8 or do not exist are refused.
#include "host_job_test.h"
#include "jpeg_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace op = pxllist::op;
namespace attr = pxllist::attr;

class HostPrintText : public HostJobTest {
protected:
    HostPrintText() : HostJobTest("tarvel-text-") {}

    std::string write(const std::string &name, const std::string &bytes)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return path;
    }
    static const std::vector<double> *values(const pxllist::Record &r, uint16_t id)
    {
        const pxllist::Attribute *a = pxllist::FindAttribute(r, id);
        return a ? &a->values : nullptr;
    }
    static std::string name(const pxllist::Record &r)
    {
        std::string s;
        if (const std::vector<double> *v = values(r, attr::kFontName)) {
            for (double c : *v)
                s.push_back(char(int(c)));
        }
        return s;
    }
};

TEST_F(HostPrintText, TheTextPageListsDeviceFontsTurnsStylesAndDownloads)
{
    int status = -1;
    const std::string out = print("--pages 4", &status);
    ASSERT_EQ(status, 0) << out;
    const pxllist::Listing listing = listed();
    const auto all = pages(listing);
    ASSERT_EQ(all.size(), 4u);
    const auto &page = all[3];

    std::set<std::string> setFonts, headers, removed;
    std::set<int> angles;
    bool bold = false, shear = false, japanese = false, spaced = false;
    for (const pxllist::Record *r : page) {
        if (r->op == op::kSetFont)
            setFonts.insert(name(*r));
        if (r->op == op::kBeginFontHeader)
            headers.insert(name(*r));
        if (r->op == op::kRemoveFont)
            removed.insert(name(*r));
        if (const std::vector<double> *v = values(*r, attr::kCharAngle); r->op == op::kSetCharAngle && v && v->size() == 1)
            angles.insert(int((*v)[0]));
        if (const std::vector<double> *v = values(*r, attr::kCharBoldValue); r->op == op::kSetCharBoldValue && v)
            bold = bold || (!v->empty() && (*v)[0] > 0);
        if (const pxllist::Attribute *a = pxllist::FindAttribute(*r, attr::kCharShear);
            r->op == op::kSetCharShear && a && !a->values.empty())
            shear = shear || a->values[0] != 0;
        if (r->op == op::kText) {
            const std::vector<double> *text = values(*r, attr::kTextData);
            /* U+65E5 U+672C U+8A9E: the Japanese line's first characters, in the Mincho face's codes. */
            japanese = japanese || (text && text->size() >= 3 && (*text)[0] == 0x65E5 && (*text)[1] == 0x672C &&
                                    (*text)[2] == 0x8A9E);
            const std::vector<double> *dx = values(*r, attr::kXSpacingData);
            /* The spaced line's advances at 600 dpi: 60, 80, 100 over and over. */
            spaced = spaced || (dx && dx->size() == 18 && (*dx)[0] == 60 && (*dx)[1] == 80 && (*dx)[2] == 100 &&
                                (*dx)[3] == 60);
        }
    }
    /* The printer names of the resident faces, 16 bytes each. */
    for (const char *face : {"Courier         ", "Helvetica       ", "Times        Rmn", "Mincho          "})
        EXPECT_TRUE(setFonts.count(face)) << face;
    EXPECT_TRUE(setFonts.count("DejaVu Sans:OL"));
    EXPECT_TRUE(setFonts.count("DejaVu Sans Mono:OL"));
    EXPECT_EQ(angles, (std::set<int>{0, 30, 90, 180, 270}));
    EXPECT_TRUE(bold) << "simulated bold sets a bold value";
    EXPECT_TRUE(shear) << "simulated italic sets a shear";
    EXPECT_TRUE(japanese);
    EXPECT_TRUE(spaced);

    EXPECT_TRUE(headers.count("DejaVu Sans:OL"));
    EXPECT_TRUE(headers.count("DejaVu Sans Mono:OL"));
    EXPECT_EQ(count(page, op::kBeginFontHeader), count(page, op::kEndFontHeader));
    EXPECT_GE(count(page, op::kReadFontHeader), count(page, op::kBeginFontHeader));
    EXPECT_GT(count(page, op::kBeginChar), 0u);
    EXPECT_EQ(count(page, op::kBeginChar), count(page, op::kEndChar));
    EXPECT_GE(count(page, op::kReadChar), count(page, op::kBeginChar));
    EXPECT_EQ(removed, headers) << "every downloaded font is removed at the page's end";
    /* Device fonts are never downloaded. */
    for (const std::string &h : headers)
        EXPECT_EQ(h.find("Courier"), std::string::npos) << h;

    /* The drawing and image pages carry no text (the title page's is checked in test_host_print_title.cpp). */
    EXPECT_GT(count(all[0], op::kText), 0u) << "the title page";
    for (size_t i = 1; i < 3; i++)
        EXPECT_EQ(count(all[i], op::kText), 0u) << "page " << i + 1;
}

TEST_F(HostPrintText, AHundredPageFileDownloadsItsFontOnEachPage)
{
    std::string text;
    for (int page = 1; page <= 100; page++) {
        text += "Page " + std::to_string(page) + "\n\xC3\xA9t\xC3\xA9 \xE2\x82\xAC 100\n";
        if (page < 100)
            text += "\f";
    }
    int status = -1;
    const std::string out = print(write("hundred.txt", text), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Printed 100 pages"), std::string::npos) << out;
    const pxllist::Listing listing = listed();
    const auto all = pages(listing);
    ASSERT_EQ(all.size(), 100u);
    for (size_t i = 0; i < all.size(); i++) {
        const auto &page = all[i];
        ASSERT_EQ(count(page, op::kBeginFontHeader), 1u) << "page " << i + 1;
        ASSERT_EQ(count(page, op::kRemoveFont), 1u) << "page " << i + 1;
        ASSERT_EQ(count(page, op::kText), 2u) << "page " << i + 1;
        const auto at = [&](uint8_t code) {
            return std::find_if(page.begin(), page.end(), [&](const pxllist::Record *r) { return r->op == code; }) -
                   page.begin();
        };
        EXPECT_LT(at(op::kBeginFontHeader), at(op::kText));
        EXPECT_LT(at(op::kText), at(op::kRemoveFont));
        const pxllist::Record *header = page[size_t(at(op::kBeginFontHeader))];
        EXPECT_EQ(name(*header), "DejaVu Sans Mono:OL");
        EXPECT_EQ(name(*page[size_t(at(op::kRemoveFont))]), "DejaVu Sans Mono:OL");
    }
}

TEST_F(HostPrintText, ALongLineWrapsAtThePrintableWidth)
{
    int status = -1;
    const std::string out = print(write("long.txt", std::string(300, 'x') + "\n"), &status);
    ASSERT_EQ(status, 0) << out;
    const pxllist::Listing listing = listed();
    const auto all = pages(listing);
    ASSERT_EQ(all.size(), 1u);
    std::vector<size_t> lengths;
    for (const pxllist::Record *r : all[0])
        if (r->op == op::kText)
            lengths.push_back(values(*r, attr::kTextData)->size());
    ASSERT_GT(lengths.size(), 1u);
    size_t total = 0;
    for (size_t i = 0; i < lengths.size(); i++) {
        total += lengths[i];
        if (i + 1 < lengths.size()) {
            EXPECT_EQ(lengths[i], lengths[0]) << "a full line of a monospaced face holds as many characters as the next";
        }
    }
    EXPECT_EQ(total, 300u);
}

TEST_F(HostPrintText, AnEmptyFilePrintsOneBlankPage)
{
    int status = -1;
    const std::string out = print(write("empty.txt", ""), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Printed 1 page "), std::string::npos) << out;
    const pxllist::Listing listing = listed();
    const auto all = pages(listing);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(count(all[0], op::kText), 0u);
}

TEST_F(HostPrintText, FilesThatAreNotUtf8OrMissingAreRefused)
{
    const struct {
        const char *what;
        std::string bytes;
        const char *message;
    } cases[] = {
        {"a lone continuation byte", "ok\n\x80\n", "byte 0x80 at offset 3 (line 2)"},
        {"an overlong slash", "\xC0\xAF", "byte 0xC0 at offset 0 (line 1)"},
        {"a surrogate", "a\nb\n\xED\xA0\x80", "byte 0xED at offset 4 (line 3)"},
        {"a character cut short at the end", "ab\xE6\x97", "byte 0xE6 at offset 2 (line 1)"},
        {"a value past U+10FFFF", "\xF4\x90\x80\x80", "byte 0xF4 at offset 0 (line 1)"},
        {"a byte that begins nothing", "\xF8\x88\x80\x80\x80", "byte 0xF8 at offset 0 (line 1)"},
    };
    for (const auto &c : cases) {
        std::filesystem::remove(job);
        int status = -1;
        const std::string out = print(write("bad.txt", c.bytes), &status);
        EXPECT_NE(status, 0) << c.what;
        EXPECT_NE(out.find("is not UTF-8 text"), std::string::npos) << c.what << ": " << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.what << ": " << out;
        EXPECT_FALSE(std::filesystem::exists(job)) << c.what;
    }
    int status = -1;
    const std::string out = print((dir / "missing.txt").string(), &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("cannot open"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(job));

    const std::string pages = print(write("two.txt", "a\n") + " --pages 2", &status);
    EXPECT_NE(status, 0);
    EXPECT_NE(pages.find("a text file prints as many pages as it fills"), std::string::npos) << pages;
}

/* A JPEG file goes the photo's road whatever its name; any other file is text. */
TEST_F(HostPrintText, AJpegFileIsKnownByItsBytesAsWellAsItsName)
{
    const auto jpeg = jpeg_test::makeJpeg(jpeg_test::JpegSpec{});
    int status = -1;
    std::string out = print(write("photo.dat", std::string(jpeg.begin(), jpeg.end())), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("The photo went"), std::string::npos) << out;

    out = print(write("notes.dat", "hello\n"), &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("The photo went"), std::string::npos) << out;
    const pxllist::Listing listing = listed();
    const auto all = pages(listing);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(count(all[0], op::kText), 1u);
}

} // namespace
