/*
 * Printing the host's built-in test document (page 1 the title page of
 * host_title_page.h, naming the document, its pages and the job's
 * settings; page 2 the vector drawing page of host_drawing.h; page 3 the
 * image page of host_image.h; page 4 the text page of host_text_page.h;
 * any page after them blank) through the whole road: the printer's devmode
 * with the caller's choices, a printer device context (GDI stand-in, the
 * user-interface library's document events and the rendering library), the
 * document and its pages, and the spooler job whose bytes become the job
 * file.
 */
#ifndef TARVEL_HOST_PRINT_H
#define TARVEL_HOST_PRINT_H

#include "host_print_copysets.h"
#include "host_print_forms.h"
#include "host_print_decorations.h"

#include <plat/types.h>

#include <functional>
#include <string>
#include <vector>

namespace host {

/* The pages of the whole test document: the title, drawing, image and text pages. */
inline constexpr int kTestDocumentPages = 4;

/* One page's own paper and orientation ("" / 0: as the document's). */
struct PageChoice {
    std::string paper;
    int orientation = 0; /* 1 portrait, 2 landscape */
};

/* What to print and how; 0 or "" leaves the printer's setting. */
struct PrintRequest {
    std::u16string printer = u"Tarvel CX 1500";
    std::string model = "TARVEL1.DDD";   /* for the installation on first use */
    std::u16string document = u"Tarvel test document";
    std::string output = "tarvel-job.prn";
    int pages = kTestDocumentPages;      /* of the test document (a photo is one page, a text file its own) */
    std::vector<PageChoice> perPage;     /* from the first page on; the rest as the document */
    std::string paper;                   /* A4, Letter, Legal, A3, A5, B5, B4, Tabloid */
    int orientation = 0;
    int duplex = 0;                      /* 1 none, 2 long edge, 3 short edge */
    int driverDuplex = 0;                /* 1: the driver duplexes in two passes where the model can */
    int reverse = -1;                    /* 0 or 1: the last page first */
    int copies = 0;
    int collate = -1;                    /* 0 or 1 */
    int nup = 0;                         /* 1, 2, 4, 8, 16, 32 */
    int nupOrder = -1;                   /* 0 to 6 */
    int booklet = -1;                    /* set mode: 0 whole document, 1 split into sets, 2 fixed sets */
    int bookletSheets = 0;               /* sheets a set (modes 1 and 2) */
    int poster = 0;                      /* 2, 3, 4: an N x N poster of each page */
    int colour = 2;                      /* 1 monochrome, 2 colour, 3 automatic (decided page by page) */
    int resolution = 0;                  /* dpi across (and down, unless resolutionY) */
    int resolutionY = 0;                 /* dpi down, when not as across */
    std::string photo;                   /* a JPEG file printed on one page instead of the test document */
    bool photoEscape = false;            /* the photo through the driver's JPEG escape when it offers it */
    std::string textFile;                /* a UTF-8 text file printed instead of the test document */
    FormsRequest forms;                  /* --form-create, --form */
    DecorationRequest decorations;       /* watermark and annotation */
    CopySetsRequest copySets;            /* --copy-sets: one spool job per data set of the file */
};

/* What printing did. */
struct PrintReport {
    bool installed = false;   /* the printer was installed first */
    std::string note;         /* what was mended on the way (a half-installed printer installed again) */
    unsigned long jobId = 0;
    size_t bytes = 0;         /* written to the job file */
    int pages = 0;            /* pages printed */
    std::string collectionFace; /* the collection member on the text page, "" when the machine has none */
    std::string photoRoad;    /* how the photo went: "pass-through" or "decoded" */
    std::vector<std::string> setFiles; /* the job files of the copy sets after the first */
};

/*
 * The end of a failure message for the last error `error` of a failed GDI
 * or drawing call, in words: " failed: the data is invalid (error 13; ...)",
 * " failed: the driver does not print this kind of job yet (error 120, ...)"
 * or " failed (error N)".
 */
std::string host_failed_because(DWORD error);

/* Writes number setting `id` into the application's devmode in its stored type; false with a message. */
bool host_set_number(std::vector<BYTE> &devmode, WORD id, int value, std::string &error);

/* The paper number of a paper name the option accepts, or 0. */
int host_paper_number(const std::string &name);

/*
 * The application's devmode of `request` (the printer's own with the
 * request's choices; the printer installed first when it does not exist:
 * report.installed) and, for each page that asks for its own paper or
 * orientation, that page's devmode (empty for the others).  False with a
 * message on failure.
 */
bool host_job_devmodes(const PrintRequest &request, PrintReport &report, std::vector<BYTE> &devmode,
                       std::vector<std::vector<BYTE>> &pageDevmodes, std::string &error);

/*
 * Prints the test document.  `progress` (may be empty) is told each page
 * printed (1-based) and the page count.  False with a message on any
 * failure, including every road the driver does not print yet.
 */
bool host_print(const PrintRequest &request, PrintReport &report, std::string &error,
                const std::function<void(int, int)> &progress);

} // namespace host

#endif /* TARVEL_HOST_PRINT_H */
