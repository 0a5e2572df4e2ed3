/*
 * The title page of the test document.  The settings are read from the
 * devmode the job prints with, so the page shows what the driver was
 * given, not what the user typed.  Positions are laid out in 600ths of an
 * inch and sizes in points, as on the text page, and every line (or each
 * column of a line) is one engine text call in a resident device face, so
 * the job's listing carries the page's words in its text records.
 */
#include "host_title_page.h"
#include "host_print.h"
#include "host_text_page.h"

#include <tarvel/settings/dmb_binding.h>
#include <tarvel/setting_layout.h>

#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/text.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace host {
namespace {

/* Private settings read through the data manager. */
enum : WORD {
    S_COLOUR_MODE = 270,   /* 0 automatic, 1 monochrome, 2 colour */
    S_DRIVER_DUPLEX = 1365, /* 1: the driver duplexes in two passes */
};

/* The face of every line: a resident face of the standard model, so nothing is downloaded. */
constexpr char16_t kFace[] = u"Helvetica";

/* Sizes in points: the title, the headings and the body. */
constexpr double kTitleSize = 24;
constexpr double kHeadingSize = 14;
constexpr double kBodySize = 12;

/* Left edge of the labels and of the values beside them, 600ths from the printable origin. */
constexpr double kLeft = 300;
constexpr double kValueColumn = 1200;

/* Space kept free right of and below the text, 600ths (as the left edge keeps). */
constexpr double kMargin = 300;

/* The smallest the page is made to fit a small printable area (times its own size); readable still. */
constexpr double kLeastFit = 0.4;

/* One text call: its text at (x, y), the baseline's start, in 600ths; `size` in points. */
struct TitleLine {
    double x, y, size;
    bool bold;
    std::u16string text;
};

std::u16string u16(const std::string &s) { return plat::utf8_to_utf16(s); }

/* A number setting through the data manager, whatever width it is stored in. */
bool read_number(std::vector<BYTE> &dm, WORD id, long &value, std::string &error)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(id, dm.data(), nullptr, &type, &size, slot) != DMA_OK || size < 1 || size > 4) {
        error = "setting " + std::to_string(id) + " of the job devmode cannot be read";
        return false;
    }
    if (size == 1) {
        value = slot[0];
    } else if (size == 2) {
        uint16_t v = 0;
        std::memcpy(&v, slot, sizeof v);
        value = type == SVT_INT16 ? long(int16_t(v)) : long(v);
    } else {
        uint32_t v = 0;
        std::memcpy(&v, slot, sizeof v);
        value = long(v);
    }
    return true;
}

/* The lines of the page at its own size, top to bottom. */
std::vector<TitleLine> title_lines(const TitleFacts &f)
{
    std::vector<TitleLine> lines;
    auto body = [&](double y, const std::u16string &label, const std::u16string &value = u"") {
        lines.push_back({kLeft, y, kBodySize, false, label});
        if (!value.empty())
            lines.push_back({kValueColumn, y, kBodySize, false, value});
    };
    lines.push_back({kLeft, 500, kTitleSize, true, u"Tarvel test document"});
    body(800, u"The built-in test document of the Tarvel printer driver, printed by tarvel print.");

    lines.push_back({kLeft, 1200, kHeadingSize, true, u"What the pages show"});
    body(1400, u"Page 1", u"this title page: what the document is and the job's settings");
    body(1550, u"Page 2", u"vector drawing: shapes, paths, lines, clipping, hatches, patterns");
    body(1700, u"Page 3", u"images: stretched, mirrored, 1-bit and 8-bit, a transparent blt");
    body(1850, u"Page 4", u"text: the printer's device fonts and downloaded TrueType text");
    body(2000, u"Pages " + u16(std::to_string(kTextPage + 1)) + u" on", u"blank");

    lines.push_back({kLeft, 2400, kHeadingSize, true, u"Settings of this job"});
    body(2600, u"Document", f.document);
    body(2750, u"Printer", f.printer);
    body(2900, u"Pages", u16(std::to_string(f.pages)));
    body(3050, u"Paper", u16(f.paper));
    body(3200, u"Orientation", u16(f.orientation));
    body(3350, u"Duplex", u16(f.duplex));
    body(3500, u"Colour", u16(f.colour));
    body(3650, u"Resolution", u16(f.resolution));
    body(3800, u"Copies", u16(f.copies));
    return lines;
}

/* The engine's text call of `line` at `fit` times its own size and place. */
plat::GdiTextDraw text_call(const TitleLine &line, PageScale scale, double fit)
{
    plat::GdiTextDraw d;
    d.font.lfHeight = -LONG(std::lround(line.size * fit * 600 / 72 * scale.y));
    d.font.lfWeight = line.bold ? 700 : 400;
    std::copy(std::begin(kFace), std::end(kFace), d.font.lfFaceName);
    d.text = line.text;
    d.origin = POINTL{LONG(std::lround(line.x * fit * scale.x)), LONG(std::lround(line.y * fit * scale.y))};
    d.align = TA_LEFT | TA_BASELINE;
    return d;
}

/*
 * How much smaller the page must be to fit the printable area (1: not at
 * all): each line is measured at its own size; the widest right edge and
 * the last baseline with a line's depth below it, plus the margin, must fit.
 */
double fit_factor(HDC dc, PageScale scale, const std::vector<TitleLine> &lines)
{
    /* The printable area is in pixels at the resolution across on both axes (see host_page_scale). */
    const double width = GetDeviceCaps(dc, HORZRES) / scale.x, height = GetDeviceCaps(dc, VERTRES) / scale.x;
    if (width <= 0 || height <= 0)
        return 1;
    double right = 0, bottom = 0;
    for (const TitleLine &line : lines) {
        const plat::GdiTextDraw d = text_call(line, scale, 1);
        const SIZE extent = plat::gdi_measure_text(dc, d.font, d.text);
        const double em = line.size * 600 / 72;
        /* A line that cannot be measured counts as wide as a face's widest average (0.6 em a character). */
        const double advance = extent.cx > 0 ? extent.cx / scale.y : double(line.text.size()) * em * 0.6;
        right = std::max(right, line.x + advance);
        bottom = std::max(bottom, line.y + em * 0.25); /* the descenders */
    }
    return std::clamp(std::min(width / (right + kMargin), height / (bottom + kMargin)), kLeastFit, 1.0);
}

} // namespace

bool host_title_settings(const std::vector<BYTE> &jobDevmode, TitleFacts &facts, std::string &error)
{
    if (jobDevmode.size() < sizeof(DEVMODEW)) {
        error = "the job devmode is shorter than its public part";
        return false;
    }
    DEVMODEW pub;
    std::memcpy(&pub, jobDevmode.data(), sizeof pub);
    std::vector<BYTE> dm = jobDevmode; /* the data manager reads through a pointer it may not keep const */

    /* The paper by its form's name, the spooler's name for it; the number when the form has none. */
    std::u16string form(pub.dmFormName, std::find(std::begin(pub.dmFormName), std::end(pub.dmFormName), u'\0'));
    facts.paper = !form.empty() ? plat::utf16_to_utf8(form) : "paper size " + std::to_string(pub.dmPaperSize);

    facts.orientation = pub.dmOrientation == 2 ? "landscape"
                        : pub.dmOrientation == 1 ? "portrait"
                                                 : "orientation " + std::to_string(pub.dmOrientation);

    /* dmDuplex: 1 simplex, 2 flipped on the long edge, 3 on the short edge. */
    facts.duplex = pub.dmDuplex == 2 ? "long edge" : pub.dmDuplex == 3 ? "short edge" : "none";
    if (pub.dmDuplex == 2 || pub.dmDuplex == 3) {
        long driver = 0;
        if (!read_number(dm, S_DRIVER_DUPLEX, driver, error))
            return false;
        /* Asked of the driver; a model that cannot leaves the duplexing to the printer (tarvel print --help). */
        if (driver == 1)
            facts.duplex += ", manual (two passes by the driver where the model can)";
    }

    long mode = 0;
    if (!read_number(dm, S_COLOUR_MODE, mode, error))
        return false;
    facts.colour = mode == 1 ? "monochrome" : mode == 2 ? "colour" : "automatic, page by page";

    /* dmPrintQuality across and dmYResolution down, as applications set them; no Y: as across. */
    const int across = pub.dmPrintQuality, down = pub.dmYResolution > 0 ? pub.dmYResolution : pub.dmPrintQuality;
    facts.resolution = across > 0 ? std::to_string(across) + " x " + std::to_string(down) + " dpi"
                                  : "the printer's (quality " + std::to_string(across) + ")";

    /* Copies beyond one are collated by the driver or left to the printer uncollated. */
    facts.copies = std::to_string(pub.dmCopies > 0 ? pub.dmCopies : 1);
    if (pub.dmCopies > 1)
        facts.copies += pub.dmCollate == 1 ? ", collated" : ", uncollated";
    return true;
}

bool host_draw_title_page(HDC dc, PageScale scale, const TitleFacts &facts, std::string &error)
{
    const std::vector<TitleLine> lines = title_lines(facts);
    const double fit = fit_factor(dc, scale, lines);
    for (const TitleLine &line : lines) {
        if (!plat::gdi_draw_text(dc, text_call(line, scale, fit))) {
            /* The first drawing of a job is where the driver starts it: say why in words, as for a GDI call. */
            error = "the text call for the title page's line \"" + plat::utf16_to_utf8(line.text) + "\"" +
                    host_failed_because(GetLastError());
            return false;
        }
    }
    return true;
}

} // namespace host
