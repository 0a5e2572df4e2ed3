/*
 * The text page of the test document.  Positions are laid out in 600ths of
 * an inch and sizes in points, both scaled to the device; every line is one
 * engine text call, so the job's listing can be compared line by line with
 * the page's description in the README.
 */
#include "host_text_page.h"
#include "host_errors.h"

#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/text.h>

#include <cmath>

namespace host {
namespace {

struct TextPage {
    HDC dc;
    PageScale scale;
    std::string &error;

    /* One line: `size` points in `face`, its baseline's start at (x, y), turned `angle` degrees. */
    plat::GdiTextDraw line(const char16_t *face, double size, double x, double y, const std::u16string &text,
                           int angle = 0) const
    {
        plat::GdiTextDraw d;
        d.font.lfHeight = -LONG(std::lround(size * 600 / 72 * scale.y));
        d.font.lfEscapement = d.font.lfOrientation = angle * 10;
        d.font.lfWeight = 400;
        std::u16string name(face);
        name.resize(std::min<size_t>(name.size(), 31));
        std::copy(name.begin(), name.end(), d.font.lfFaceName);
        d.text = text;
        d.origin = POINTL{LONG(std::lround(x * scale.x)), LONG(std::lround(y * scale.y))};
        d.align = TA_LEFT | TA_BASELINE;
        return d;
    }
    bool draw(const std::string &what, const plat::GdiTextDraw &d) const
    {
        if (plat::gdi_draw_text(dc, d))
            return true;
        error = "the text call for " + what + " failed: " + host_error_text(GetLastError());
        return false;
    }
};

/* The first member of a font collection the machine has, if any. */
bool collection_face(plat::CatalogueFont &out)
{
    for (const plat::CatalogueFont &f : plat::font_catalogue()) {
        const std::string &file = f.file;
        if (file.size() > 4 && (file.compare(file.size() - 4, 4, ".ttc") == 0 || file.compare(file.size() - 4, 4, ".TTC") == 0)) {
            out = f;
            return true;
        }
    }
    return false;
}

} // namespace

bool host_draw_text_page(HDC dc, PageScale scale, std::string &collection, std::string &error)
{
    TextPage p{dc, scale, error};
    collection.clear();

    /* Rows 1-4: each resident face at 10, 14 and 24 points. */
    const char16_t *faces[] = {u"Courier", u"Helvetica", u"Times", u"Mincho"};
    const double sizes[] = {10, 14, 24};
    double y = 500;
    for (const char16_t *face : faces) {
        double x = 300;
        for (double size : sizes) {
            const std::u16string text = std::u16string(face) + u" " + plat::utf8_to_utf16(std::to_string(int(size))) + u" pt";
            if (!p.draw(plat::utf16_to_utf8(text), p.line(face, size, x, y, text)))
                return false;
            x += size * 110;
        }
        y += 350;
    }

    /* Row 5: a star of Helvetica 14 pt lines turned 0, 30, 90, 180 and 270 degrees about one point. */
    const int angles[] = {0, 30, 90, 180, 270};
    for (int angle : angles) {
        const std::u16string text = u"Turned " + plat::utf8_to_utf16(std::to_string(angle));
        if (!p.draw(plat::utf16_to_utf8(text), p.line(u"Helvetica", 14, 1500, 2900, text, angle)))
            return false;
    }

    /* Row 6: simulated bold and italic, and a line spaced by an array of advances. */
    plat::GdiTextDraw bold = p.line(u"Helvetica", 18, 300, 3900, u"Helvetica simulated bold");
    bold.font.lfWeight = 700;
    plat::GdiTextDraw italic = p.line(u"Times", 18, 2600, 3900, u"Times simulated italic");
    italic.font.lfItalic = 1;
    if (!p.draw("the bold line", bold) || !p.draw("the italic line", italic))
        return false;
    plat::GdiTextDraw spaced = p.line(u"Courier", 14, 300, 4300, u"S p a c e d   b y   a n   a r r a y");
    for (size_t i = 0; i < spaced.text.size(); i++)
        spaced.dx.push_back(INT(std::lround((60 + 20 * (i % 3)) * scale.x))); /* 60, 80, 100, 60, ... */
    spaced.text = u"Spaced by an array";
    spaced.dx.resize(spaced.text.size());
    if (!p.draw("the spaced line", spaced))
        return false;

    /* Row 7: Japanese through the resident Mincho face. */
    if (!p.draw("the Japanese line", p.line(u"Mincho", 18, 300, 4800, u"\u65e5\u672c\u8a9e\u306e\u6587\u5b57\u3001\u30ab\u30bf\u30ab\u30ca")))
        return false;

    /* Rows 8-10: TrueType faces of the machine, downloaded to the printer. */
    if (!p.draw("the DejaVu Sans line", p.line(u"DejaVu Sans", 16, 300, 5400, u"DejaVu Sans: TrueType, downloaded")) ||
        !p.draw("the DejaVu Sans Mono line",
                p.line(u"DejaVu Sans Mono", 16, 300, 5800, u"DejaVu Sans Mono: TrueType, downloaded")))
        return false;
    plat::CatalogueFont member;
    if (collection_face(member)) {
        plat::GdiTextDraw d = p.line(member.family.c_str(), 16, 300, 6200, member.fullName + u": a collection's face");
        d.font.lfWeight = member.weight;
        d.font.lfItalic = member.italic ? 1 : 0;
        if (!p.draw("the collection's line", d))
            return false;
        collection = plat::utf16_to_utf8(member.fullName);
    }
    return true;
}

} // namespace host
