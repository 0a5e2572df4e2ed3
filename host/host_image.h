/*
 * The image page of the host's test document: a colour gradient, a one-bit
 * mask, an eight-bit palette image, a stretched and a mirrored copy and a
 * transparent blt, drawn through the engine's image calls on a printer
 * device context (see README, "The image page").
 */
#ifndef TARVEL_HOST_IMAGE_H
#define TARVEL_HOST_IMAGE_H

#include "host_drawing.h"

#include <plat/gdi.h>

#include <string>

namespace host {

/* The page number of the document that carries the images. */
inline constexpr int kImagePage = 3;

/* Draws the page on `dc` (a page must be open) at `scale`.  False with a message naming the failed item. */
bool host_draw_image_page(HDC dc, PageScale scale, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_IMAGE_H */
