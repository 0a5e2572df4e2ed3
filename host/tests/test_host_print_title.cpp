// The test document as `tarvel print` prints it by default: on a fresh
// machine folder it installs the printer and prints the whole document (the
// title, drawing, image and text pages), which the job lister reads whole,
// and ends by naming the job file and the lister's command for it; the
// title page's text shows the settings the job prints with.
#include "host_job_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace op = pxllist::op;
namespace attr = pxllist::attr;

class HostPrintTitle : public HostJobTest {
protected:
    HostPrintTitle() : HostJobTest("tarvel-title-") {}

    static std::vector<double> values(const pxllist::Record &r, uint16_t id)
    {
        const pxllist::Attribute *a = pxllist::FindAttribute(r, id);
        return a ? a->values : std::vector<double>{};
    }

    /*
     * The page's text, one line per text call in drawing order, each
     * character from its code (the resident faces take the ASCII codes as
     * they stand; anything else shows as '?').  A line starts with "\n", so
     * "\nPaper\nA4\n" finds a label and its value as whole calls.
     */
    static std::string text(const std::vector<const pxllist::Record *> &page)
    {
        std::string s = "\n";
        for (const pxllist::Record *r : page) {
            if (r->op != op::kText)
                continue;
            for (double c : values(*r, attr::kTextData))
                s.push_back(c >= 32 && c < 127 ? char(int(c)) : '?');
            s.push_back('\n');
        }
        return s;
    }

    /* The sizes of the page's fonts in the order they are set. */
    static std::vector<double> fontSizes(const std::vector<const pxllist::Record *> &page)
    {
        std::vector<double> sizes;
        for (const pxllist::Record *r : page)
            if (r->op == op::kSetFont)
                for (double v : values(*r, attr::kCharSize))
                    sizes.push_back(v);
        return sizes;
    }

    /* A path as the shell reads it back: in single quotes when it holds more than letters, digits and /._+,:=@%-. */
    static std::string shellWord(const std::string &path)
    {
        const bool plain = path.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._+,:=@%-") ==
                           std::string::npos;
        return plain ? path : "'" + path + "'";
    }

    /* The job lister's command as tarvel names it: the one beside it when it was built there, else its bare name. */
    static std::string lister()
    {
        const fs::path beside = fs::canonical(TARVEL_HOST_BINARY).parent_path() / "pxllist";
        return fs::is_regular_file(beside) ? shellWord(beside.string()) : "pxllist";
    }
};

TEST_F(HostPrintTitle, TheDefaultPrintInstallsThePrinterAndPrintsTheWholeTestDocument)
{
    int status = -1;
    const std::string out = print("", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Installed printer \"Tarvel CX 1500\" (TARVEL1.DDD) on FILE:\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Printed 4 pages to " + job + " ("), std::string::npos) << out;
    /* The last line says how to list the job, by the job file's absolute path. */
    const std::string last = "List it with: " + lister() + " " + job + "\n";
    ASSERT_GE(out.size(), last.size());
    EXPECT_EQ(out.substr(out.size() - last.size()), last) << out;

    const pxllist::Listing listing = listed();
    ASSERT_TRUE(listing.ok);
    const auto all = pages(listing);
    ASSERT_EQ(all.size(), 4u);
    /* Each page is the one the title page says it is. */
    EXPECT_GT(count(all[0], op::kText), 0u) << "the title page is text";
    EXPECT_EQ(count(all[0], op::kBeginImage) + count(all[0], op::kRectangle) + count(all[0], op::kPaintPath), 0u)
        << "the title page draws nothing but text";
    EXPECT_EQ(count(all[0], op::kBeginFontHeader), 0u) << "the title page is in a resident face: nothing downloaded";
    EXPECT_EQ(count(all[1], op::kEllipse), 2u) << "the drawing page";
    EXPECT_EQ(count(all[2], op::kBeginImage), 7u) << "the image page";
    EXPECT_GT(count(all[3], op::kBeginFontHeader), 0u) << "the text page downloads its TrueType faces";

    /* The standard model's defaults, as the printer was installed: Letter, portrait, simplex, fixed colour, 600 dpi. */
    const std::string title = text(all[0]);
    for (const char *shown : {"\nTarvel test document\n", "\nDocument\nTarvel test document\n", "\nPrinter\nTarvel CX 1500\n",
                              "\nPages\n4\n", "\nPaper\nLetter\n", "\nOrientation\nportrait\n", "\nDuplex\nnone\n",
                              "\nColour\ncolour\n", "\nResolution\n600 x 600 dpi\n", "\nCopies\n1\n"})
        EXPECT_NE(title.find(shown), std::string::npos) << shown << "\nin:" << title;

    /* The second print on the folder finds the printer. */
    const std::string again = print("--pages 1", &status);
    ASSERT_EQ(status, 0) << again;
    EXPECT_EQ(again.find("Installed"), std::string::npos) << again;
    EXPECT_NE(again.find("Printed 1 page to " + job + " ("), std::string::npos) << again;
    ASSERT_EQ(pages(listed()).size(), 1u) << "--pages 1 prints the title page alone";

    const std::string help = run("print --help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(help.find("--pages N             number of pages (default 4, the whole test document;\n"),
              std::string::npos)
        << help;
}

TEST_F(HostPrintTitle, TheTitlePageShowsTheSettingsTheJobPrintsWith)
{
    struct Case {
        const char *options;
        size_t pages; /* sheets sides listed */
        std::vector<const char *> shown; /* each label with its value, as whole text calls */
    } const cases[] = {
        {"--paper Letter --duplex long --colour mono --resolution 1200",
         4,
         {"\nPages\n4\n", "\nPaper\nLetter\n", "\nOrientation\nportrait\n", "\nDuplex\nlong edge\n",
          "\nColour\nmonochrome\n", "\nResolution\n1200 x 1200 dpi\n", "\nCopies\n1\n"}},
        /* Three collated copies of two pages: the driver prints the document three times. */
        {"--pages 2 --paper A4 --orientation landscape --duplex manual-short --colour auto --resolution 600x300 "
         "--copies 3 --collate --document Settings",
         6,
         {"\nDocument\nSettings\n", "\nPages\n2\n", "\nPaper\nA4\n", "\nOrientation\nlandscape\n",
          "\nDuplex\nshort edge, manual (two passes by the driver where the model can)\n", "\nColour\nautomatic, page by page\n",
          "\nResolution\n600 x 300 dpi\n", "\nCopies\n3, collated\n"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        int status = -1;
        const std::string out = print(c.options, &status);
        ASSERT_EQ(status, 0) << out;
        const pxllist::Listing listing = listed();
        ASSERT_TRUE(listing.ok);
        const auto all = pages(listing);
        ASSERT_EQ(all.size(), c.pages);
        const std::string title = text(all[0]);
        for (const char *shown : c.shown)
            EXPECT_NE(title.find(shown), std::string::npos) << shown << "\nin:" << title;
        /* The title line is set first and at 24 points, twice the body's 12, at every resolution. */
        const std::vector<double> sizes = fontSizes(all[0]);
        ASSERT_GE(sizes.size(), 2u);
        EXPECT_EQ(sizes[0], 2 * sizes[1]);
        EXPECT_EQ(title.rfind("\nTarvel test document\n", 0), 0u) << title;
    }
}

/*
 * The job file is named by its absolute path also when it is given
 * relative to the working folder, and the command quotes a path with a
 * space so that the shell reads it as one word.
 */
TEST_F(HostPrintTitle, ARelativeJobFileIsNamedByItsAbsolutePath)
{
    fs::create_directories(dir / "my jobs");
    int status = -1;
    const std::string out = run_in(dir, "--machine machine print --pages 1 -o './my jobs/../relative job.prn'", &status);
    ASSERT_EQ(status, 0) << out;
    /* The working folder as the program sees it (links resolved), the "." and ".." steps gone. */
    const std::string whole = (fs::canonical(dir) / "relative job.prn").string();
    EXPECT_NE(out.find("Printed 1 page to " + whole + " ("), std::string::npos) << out;
    EXPECT_NE(out.find("List it with: " + lister() + " '" + whole + "'\n"), std::string::npos) << out;
    pxllist::Listing l;
    const std::string bytes = bytesOf(whole);
    EXPECT_TRUE(pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()),
                                 {}, &l))
        << pxllist::FormatError(l.error);
}

} // namespace
