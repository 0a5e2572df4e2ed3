/*
 * The vector drawing page of the host's test document: shapes, paths,
 * lines, a clip region and every kind of brush, drawn through the engine's
 * path calls on a printer device context (see README, "The drawing page").
 */
#ifndef TARVEL_HOST_DRAWING_H
#define TARVEL_HOST_DRAWING_H

#include <plat/gdi.h>

#include <string>

namespace host {

/* The page number of the document that carries the drawing. */
inline constexpr int kDrawingPage = 2;

/* Draws the page on `dc` (a page must be open).  False with a message naming the failed item. */
bool host_draw_vector_page(HDC dc, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_DRAWING_H */
