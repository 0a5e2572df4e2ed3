/*
 * The text page of the host's test document: the model's resident device
 * fonts in several sizes, turned, emboldened, slanted and spaced, Japanese
 * text in the resident Mincho face, and lines in the machine's TrueType
 * faces, drawn through the engine's text call on a printer device context
 * (see README, "The text page").
 */
#ifndef TARVEL_HOST_TEXT_PAGE_H
#define TARVEL_HOST_TEXT_PAGE_H

#include "host_drawing.h"

#include <string>

namespace host {

/* The page number of the document that carries the text. */
inline constexpr int kTextPage = 4;

/*
 * Draws the page on `dc` (a page must be open).  `collection` is set to
 * the full name of the collection member printed, or "" when the machine
 * has no font collection (that line is left out).  False with a message
 * naming the failed line.
 */
bool host_draw_text_page(HDC dc, PageScale scale, std::string &collection, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_TEXT_PAGE_H */
