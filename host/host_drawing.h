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

/* Device pixels per 600th of an inch along each axis. */
struct PageScale {
    double x = 1, y = 1;
};

/*
 * The scale of the pages of `dc`: across by the device's pixels per inch,
 * down by `yDpi`, the job's vertical resolution (the device answers its
 * horizontal resolution for both axes); 0 or less: as across.
 */
PageScale host_page_scale(HDC dc, int yDpi);

/* Draws the page on `dc` (a page must be open).  False with a message naming the failed item. */
bool host_draw_vector_page(HDC dc, PageScale scale, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_DRAWING_H */
