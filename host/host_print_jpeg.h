/*
 * Printing a JPEG photograph (`tarvel print FILE.jpg`): the file is fitted
 * to the printable area of one page, keeping its proportions, and handed
 * to the driver the way an application would: through the extension's
 * JPEG escape (the file's bytes go to the printer undecoded) when the
 * extension is asked for and the driver offers it, else decoded here with
 * libjpeg and drawn with StretchDIBits.
 */
#ifndef TARVEL_HOST_PRINT_JPEG_H
#define TARVEL_HOST_PRINT_JPEG_H

#include <plat/gdi.h>

#include <string>
#include <vector>

namespace host {

/* A JPEG file read whole, with its frame's size and component count. */
struct JpegPhoto {
    std::vector<BYTE> file;
    int width = 0;
    int height = 0;
    int components = 0;   /* 1 grey, 3 colour */
};

/* Reads `path` and its JPEG header.  False with a message for a missing, unreadable or unsupported file. */
bool host_read_jpeg(const std::string &path, JpegPhoto &photo, std::string &error);

/*
 * Decodes the whole photo once, line by line, and throws the pixels away:
 * the check that a file sent undecoded (the pass-through road) is whole,
 * since the printer would get a broken image.  False with libjpeg's reason.
 */
bool host_check_jpeg_scan(const JpegPhoto &photo, std::string &error);

/*
 * Turns the driver's extension on (control escape) and asks whether it
 * passes JPEG files through.  True when it does; the extension is left on
 * either way.
 */
bool host_jpeg_escape_offered(HDC dc);

/*
 * Draws the photo on the open page of `dc`, fitted to the printable area:
 * through the JPEG escape when `passThrough`, else decoded.  `road` tells
 * which ("pass-through" or "decoded").  False with a message on failure.
 */
bool host_draw_jpeg(HDC dc, const JpegPhoto &photo, bool passThrough, std::string &road, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_PRINT_JPEG_H */
