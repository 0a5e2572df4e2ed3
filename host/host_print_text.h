/*
 * `tarvel print FILE`: a UTF-8 text file laid out in lines on the chosen
 * paper in a TrueType font (DejaVu Sans Mono) and printed through the
 * engine's text call, one page after another.
 */
#ifndef TARVEL_HOST_PRINT_TEXT_H
#define TARVEL_HOST_PRINT_TEXT_H

#include <plat/engine_fonts.h>
#include <plat/gdi.h>

#include <string>
#include <vector>

namespace host {

/* The text's lines, page by page, and where they go. */
struct TextLayout {
    LOGFONTW font{};
    LONG lineHeight = 0; /* device pixels from one line's top to the next */
    std::vector<std::vector<std::u16string>> pages;
};

/*
 * Reads `path` as UTF-8 text (a leading byte-order mark is dropped).
 * False with a message for a file that cannot be read or is not UTF-8
 * (naming the line and the first bad byte): such a file is refused, not
 * printed with replacements.
 */
bool host_read_text_file(const std::string &path, std::u32string &text, std::string &error);

/*
 * Lays `text` out for the pages of `dc`: 10-point DejaVu Sans Mono, lines
 * broken at the printable width (at the last space when there is one), a
 * new page when a page is full or at a form feed; tabs stop every eight
 * columns and other control characters print as U+FFFD.  Empty text gives
 * one blank page.  False with a message when the font cannot be measured.
 */
bool host_layout_text(HDC dc, const std::u32string &text, TextLayout &layout, std::string &error);

/* Draws page `page` (1-based) of `layout` on `dc` (a page must be open). */
bool host_draw_text_file_page(HDC dc, const TextLayout &layout, int page, std::string &error);

/* Whether the file named by a `tarvel print` argument goes the JPEG road (its name or its first bytes). */
bool host_is_jpeg_file(const std::string &path);

} // namespace host

#endif /* TARVEL_HOST_PRINT_TEXT_H */
