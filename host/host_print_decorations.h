/*
 * The `tarvel print` options of the page decorations: a watermark (text or
 * bitmap, its font size, angle, position, frame and scale, on each page or
 * tiled over each sheet) and the annotation items printed on each sheet,
 * written into the application's devmode as the document properties would.
 */
#ifndef TARVEL_HOST_PRINT_DECORATIONS_H
#define TARVEL_HOST_PRINT_DECORATIONS_H

#include <plat/types.h>

#include <cstdio>
#include <string>
#include <vector>

namespace host {

struct DecorationRequest {
    std::u16string text;        /* watermark text */
    std::string bitmap;         /* watermark bitmap file (a file of this computer) */
    int fontSize = 0;           /* points; 0: the printer's */
    int angle = 0;              /* degrees, counter-clockwise */
    bool angleGiven = false;
    int position = -1;          /* position code (0 tiled); -1: the printer's */
    int frame = -1;             /* 0 none, 1 rectangle, 2 ellipse; -1: the printer's */
    int scale = 0;              /* bitmap scale in percent; 0: the printer's */
    bool sheet = false;         /* tiled over each sheet instead of placed on each page */
    std::vector<std::pair<int, int>> annotation; /* item (0 user ... 5 time) and position code */

    bool watermark() const { return !text.empty() || !bitmap.empty(); }
};

/*
 * Takes option `option` with its value `value` (null when there is none)
 * when it is a decoration option: the number of arguments used (1 for a
 * switch, 2 with the value), 0 for another option, -1 with `error` set for
 * a bad value.
 */
int host_decoration_option(const std::string &option, const char *value, DecorationRequest &request,
                           std::string &error);

/* The options' lines of `tarvel print --help`. */
void host_decoration_usage(FILE *to);

/*
 * Writes the request into the devmode `devmode` of printer `printer` (the
 * data manager bound): the devmode becomes the job devmode the printer's
 * user-interface library makes of it (the decoration settings lie beyond an
 * application's devmode); a bitmap is copied into the machine first.
 * Nothing requested: nothing changed.  False with a message when the job
 * devmode cannot be made, a setting cannot be written or the bitmap cannot
 * be copied.
 */
bool host_apply_decorations(const DecorationRequest &request, const std::u16string &printer,
                            std::vector<BYTE> &devmode, std::string &error);

/*
 * Checks that `file` (a whole .bmp file) is a bitmap the watermark can
 * print: the "BM" file header, a known information header inside the file,
 * a width, a height, one plane, a known bit count and compression, and its
 * pixels starting inside the file.  False with the reason in `why`.
 */
bool host_check_bitmap(const std::vector<BYTE> &file, std::string &why);

} // namespace host

#endif /* TARVEL_HOST_PRINT_DECORATIONS_H */
