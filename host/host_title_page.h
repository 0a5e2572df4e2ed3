/*
 * The title page of the host's test document: what the document is, what
 * each of its pages shows, and the job's main settings as the job devmode
 * holds them (paper, orientation, duplex, colour mode, resolution, copies),
 * drawn as text through the engine's text call on a printer device context
 * (see README, "The title page").
 */
#ifndef TARVEL_HOST_TITLE_PAGE_H
#define TARVEL_HOST_TITLE_PAGE_H

#include "host_drawing.h"

#include <plat/types.h>

#include <string>
#include <vector>

namespace host {

/* The page number of the document that carries the title. */
inline constexpr int kTitlePage = 1;

/* What the title page says, each setting in words. */
struct TitleFacts {
    std::u16string document;   /* the document's name */
    std::u16string printer;    /* the printer's name */
    int pages = 0;             /* pages the job prints */
    std::string paper;         /* "A4", "Letter", ... (the form's name) */
    std::string orientation;   /* "portrait", "landscape" */
    std::string duplex;        /* "none", "long edge", "short edge", and how */
    std::string colour;        /* "colour", "monochrome", "automatic, page by page" */
    std::string resolution;    /* "600 x 600 dpi" */
    std::string copies;        /* "1", "3, uncollated", "2, collated" */
};

/*
 * Fills the settings of `facts` from `jobDevmode`, the devmode the job
 * prints with (plat::gdi_dc_devmode of its device context): the public
 * fields, and the colour mode and the driver's duplex through the data
 * manager, which must be bound.  False with a message when the devmode is
 * shorter than its public part or a setting cannot be read.
 */
bool host_title_settings(const std::vector<BYTE> &jobDevmode, TitleFacts &facts, std::string &error);

/*
 * Draws the page on `dc` (a page must be open): a title line, then lines
 * left aligned from the printable origin, made smaller together when the
 * printable area is too small for them.  False with a message naming the
 * failed line.
 */
bool host_draw_title_page(HDC dc, PageScale scale, const TitleFacts &facts, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_TITLE_PAGE_H */
