/*
 * The host's test document: pages printed through GDI's stand-in (the
 * title page, host_title_page.h, the vector drawing page, host_drawing.h,
 * the image page, host_image.h, and the text page, host_text_page.h; any
 * page after them blank), the user-interface library's document events and
 * the rendering library into a spooler job, whose bytes are then written
 * to the job file.  The caller's choices go into the application's devmode
 * the way the user-interface library's document properties will put them
 * there; the library's create-DC event merges it into the job devmode,
 * which the title page reads back from the device context.
 */
#include "host_print.h"
#include "host_drawing.h"
#include "host_image.h"
#include "host_print_jpeg.h"
#include "host_print_text.h"
#include "host_text_page.h"
#include "host_title_page.h"

#include "host_print_resolution.h"
#include "host_printer.h"
#include "host_errors.h"

#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/error.h>
#include <plat/file_replace.h>
#include <plat/gdi.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <cstdio>

namespace host {
namespace {

/* Settings the options write. */
enum : WORD {
    S_ORIENTATION = 7,
    S_PAPER = 8,
    S_COPIES = 12,
    S_COLOR = 15,
    S_DUPLEX = 16,
    S_COLLATE = 18,
    S_FORM_NAME = 19,
    S_RESOLUTION_X = 20,
    S_RESOLUTION_Y = 21,
    S_OUTPUT_PAPER = 262,  /* 267: the job's own paper is fed */
    S_NUP_ORDER = 264,
    S_COLOUR_MODE = 270,
    S_NUP = 295,
    S_POSTER_TILES = 296,  /* 257 x N: N x N tiles */
    S_LAYOUT_KIND = 321,   /* 1 poster, 2 booklet */
    S_BOOKLET_SET_SHEETS = 323,
    S_BOOKLET_SETS = 446,
    S_BOOKLET_SPLIT_SHEETS = 4364, /* the printer's own setting */
    S_SKIP_BLANK = 1334,
    S_REVERSE = 1312,
    S_DRIVER_DUPLEX = 1365,
    S_TT_OPTION = 17,          /* 2: TrueType faces are downloaded, never swapped for device fonts */
    S_FONT_SUBSTITUTION = 292, /* 1 hides the device fonts from applications */
};

struct PaperName {
    const char *option;
    int number;
    const char16_t *form; /* the spooler's form of that paper */
};

constexpr PaperName kPapers[] = {
    {"A4", 9, u"A4"},         {"Letter", 1, u"Letter"},   {"Legal", 5, u"Legal"},       {"A3", 8, u"A3"},
    {"A5", 11, u"A5"},        {"B5", 13, u"B5 (JIS)"},    {"B4", 12, u"B4 (JIS)"},      {"Tabloid", 3, u"Tabloid"},
};

const PaperName *find_paper(const std::string &name)
{
    for (const PaperName &p : kPapers)
        if (plat::utf8_to_utf16(name) == plat::utf8_to_utf16(p.option) ||
            lstrcmpiW(plat::utf8_to_utf16(name).c_str(), plat::utf8_to_utf16(p.option).c_str()) == 0)
            return &p;
    return nullptr;
}

bool set_text(std::vector<BYTE> &devmode, WORD id, const std::u16string &text, std::string &error)
{
    const WCHAR *p = text.c_str();
    if (DMB_SetValue(id, devmode.data(), nullptr, SVT_WSTRING, LONG((text.size() + 1) * 2), &p) != DMA_OK) {
        error = "setting " + std::to_string(id) + " cannot be written";
        return false;
    }
    return true;
}

/* The caller's choices in the application's devmode (the data manager is bound). */
bool apply_choices(const PrintRequest &r, std::vector<BYTE> &dm, std::string &error)
{
    if (!r.paper.empty()) {
        const PaperName *p = find_paper(r.paper);
        if (!p) {
            error = "unknown paper '" + r.paper + "'";
            return false;
        }
        if (!host_set_number(dm, S_PAPER, p->number, error) || !set_text(dm, S_FORM_NAME, p->form, error) ||
            !host_set_number(dm, S_OUTPUT_PAPER, 267, error))
            return false;
    }
    if (r.orientation && !host_set_number(dm, S_ORIENTATION, r.orientation, error))
        return false;
    if (r.duplex && !host_set_number(dm, S_DUPLEX, r.duplex, error))
        return false;
    if (r.duplex && !host_set_number(dm, S_DRIVER_DUPLEX, r.driverDuplex, error))
        return false;
    if (r.reverse >= 0 && !host_set_number(dm, S_REVERSE, r.reverse, error))
        return false;
    if (r.copies && !host_set_number(dm, S_COPIES, r.copies, error))
        return false;
    /* Copies are the printer's (uncollated) unless --collate asks the driver to collate them. */
    int collate = r.collate >= 0 ? r.collate : (r.copies > 1 ? 0 : -1);
    if (collate >= 0 && !host_set_number(dm, S_COLLATE, collate, error))
        return false;
    if (r.nup && !host_set_number(dm, S_NUP, r.nup, error))
        return false;
    if (r.nupOrder >= 0 && !host_set_number(dm, S_NUP_ORDER, r.nupOrder, error))
        return false;
    if (r.booklet >= 0 &&
        (!host_set_number(dm, S_LAYOUT_KIND, 2, error) || !host_set_number(dm, S_BOOKLET_SETS, r.booklet, error) ||
         (r.booklet == 2 && !host_set_number(dm, S_BOOKLET_SET_SHEETS, r.bookletSheets, error))))
        return false;
    if (r.poster &&
        (!host_set_number(dm, S_LAYOUT_KIND, 1, error) || !host_set_number(dm, S_POSTER_TILES, 257 * r.poster, error)))
        return false;
    if (r.colour) {
        if (!host_set_number(dm, S_COLOUR_MODE, r.colour == 2 ? 2 : r.colour == 1 ? 1 : 0, error) ||
            !host_set_number(dm, S_COLOR, r.colour == 1 ? 1 : 2, error))
            return false;
    }
    if (r.resolution && (!host_set_number(dm, S_RESOLUTION_X, r.resolution, error) ||
                         !host_set_number(dm, S_RESOLUTION_Y, r.resolutionY ? r.resolutionY : r.resolution, error)))
        return false;
    if (!host_forms_apply(r.forms, dm, error))
        return false;
    if (!host_apply_decorations(r.decorations, r.printer, dm, error))
        return false;
    /* The printer's resident fonts are offered to applications, as a user expects of a printer with
       fonts, and TrueType text prints in its own face, downloaded (292 first: writing it resets 17). */
    if (!host_set_number(dm, S_FONT_SUBSTITUTION, 2, error) || !host_set_number(dm, S_TT_OPTION, 2, error))
        return false;
    /* The test document's pages after its text page are blank, and they must print. */
    return host_set_number(dm, S_SKIP_BLANK, 0, error);
}

/* Why a GDI call failed, in words. */
std::string failure(const char *call, int page)
{
    const DWORD e = GetLastError();
    std::string where = page > 0 ? std::string(call) + " of page " + std::to_string(page) : std::string(call);
    return where + host_failed_because(e);
}

/*
 * The title page on `dc`: the job's settings read from the devmode the
 * context prints with (the job devmode of the create-DC event, or of the
 * reset before the page), the data manager bound for the private ones.
 */
bool draw_title_page(HDC dc, const PrintRequest &request, int pages, PageScale scale, std::string &error)
{
    TitleFacts facts;
    facts.document = request.document;
    facts.printer = request.printer;
    facts.pages = pages;
    std::vector<BYTE> used;
    if (!plat::gdi_dc_devmode(dc, used)) {
        error = "the device context answers no devmode";
        return false;
    }
    if (!host_bind_library(error))
        return false;
    const bool read = host_title_settings(used, facts, error);
    host_release_library();
    return read && host_draw_title_page(dc, scale, facts, error);
}

} // namespace

std::string host_failed_because(DWORD error)
{
    if (error == ERROR_CALL_NOT_IMPLEMENTED)
        return " failed: the driver does not print this kind of job yet (error 120, see the trace log)";
    if (error == ERROR_INVALID_DATA)
        return " failed: the data is invalid (error 13; the trace log names what the driver could not use)";
    return " failed: " + host_error_text(error);
}

bool host_set_number(std::vector<BYTE> &devmode, WORD id, int value, std::string &error)
{
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(id, nullptr, &item) != 0 ||
        DMB_SetValueArgs(devmode.data(), nullptr, id, item->storedType, value) != DMA_OK) {
        error = "setting " + std::to_string(id) + " cannot be written";
        return false;
    }
    return true;
}

int host_paper_number(const std::string &name)
{
    const PaperName *p = find_paper(name);
    return p ? p->number : 0;
}

bool host_job_devmodes(const PrintRequest &request, PrintReport &report, std::vector<BYTE> &devmode,
                       std::vector<std::vector<BYTE>> &pageDevmodes, std::string &error)
{
    if (!host_bind_library(error))
        return false;
    bool ok = true;
    {
        InstallLock installing; /* one process installs; the others wait and find the printer whole */
        if (!installing.ok()) {
            error = installing.error();
            ok = false;
        } else {
            ok = host_ensure_printer(request.printer, request.model, u"FILE:", report.installed, report.note, error);
        }
    }
    /* Sets of at most N sheets take N from the printer's own settings. */
    if (ok && request.booklet == 1)
        ok = host_set_printer_number(request.printer, S_BOOKLET_SPLIT_SHEETS, request.bookletSheets, error);
    if (ok && request.resolution)
        ok = host_check_resolution(request.printer, request.resolution,
                                   request.resolutionY ? request.resolutionY : request.resolution, error);
    if (ok)
        ok = host_forms_check(request.forms, error) && host_forms_store_path(request.printer, request.forms, error);
    if (ok)
        ok = host_app_devmode(request.printer, devmode, error) && apply_choices(request, devmode, error);
    /* Pages of their own paper feed it only when the job's output paper is the job's own, as --paper makes it. */
    bool ownPaper = false;
    for (const PageChoice &c : request.perPage)
        ownPaper = ownPaper || !c.paper.empty();
    if (ok && ownPaper && request.paper.empty())
        ok = host_set_number(devmode, S_OUTPUT_PAPER, 267, error);
    /* The devmode of each page that asks for its own paper or orientation (empty: the document's). */
    pageDevmodes.assign(request.perPage.size(), {});
    for (size_t i = 0; ok && i < request.perPage.size(); i++) {
        const PageChoice &c = request.perPage[i];
        if (c.paper.empty() && !c.orientation)
            continue;
        PrintRequest page;
        page.paper = c.paper;
        page.orientation = c.orientation;
        page.colour = 0;
        pageDevmodes[i] = devmode;
        ok = apply_choices(page, pageDevmodes[i], error);
    }
    host_release_library();
    return ok;
}

bool host_print(const PrintRequest &request, PrintReport &report, std::string &error,
                const std::function<void(int, int)> &progress)
{
    if (request.pages < 0) {
        error = "the page count cannot be negative";
        return false;
    }
    for (const PageChoice &c : request.perPage)
        if (!c.paper.empty() && !find_paper(c.paper)) {
            error = "unknown paper '" + c.paper + "'";
            return false;
        }
    JpegPhoto photo;
    if (!request.photo.empty() && !host_read_jpeg(request.photo, photo, error))
        return false;
    std::u32string text;
    if (!request.textFile.empty() && !host_read_text_file(request.textFile, text, error))
        return false;
    CopySetsRequest copySets = request.copySets;
    if (!host_copysets_load(copySets, error))
        return false;
    std::vector<BYTE> devmode;
    std::vector<std::vector<BYTE>> pageDevmodes;
    if (!host_job_devmodes(request, report, devmode, pageDevmodes, error))
        return false;
    if (!copySets.file.empty()) {
        if (!host_bind_library(error))
            return false;
        const bool applied = host_copysets_apply(copySets, devmode, error);
        host_release_library();
        if (!applied)
            return false;
    }

    HDC dc = CreateDCW(nullptr, request.printer.c_str(), nullptr, reinterpret_cast<const DEVMODEW *>(devmode.data()));
    if (!dc) {
        error = failure("CreateDC", 0);
        return false;
    }
    const bool passThrough = !request.photo.empty() && request.photoEscape && host_jpeg_escape_offered(dc);
    /* Undecoded, a damaged scan would reach the printer: the file is decoded once to check it first. */
    if (passThrough && !host_check_jpeg_scan(photo, error)) {
        error = "'" + request.photo + "' cannot be sent undecoded: " + error;
        DeleteDC(dc);
        return false;
    }
    DOCINFOW doc{};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = request.document.c_str();
    int job = StartDocW(dc, &doc);
    if (job <= 0) {
        error = failure("StartDoc", 0);
        DeleteDC(dc);
        return false;
    }
    report.jobId = unsigned(job);
    bool ok = host_copysets_send(dc, copySets, error);
    const std::vector<BYTE> *current = &devmode;
    const PageScale scale = host_page_scale(dc, reinterpret_cast<const DEVMODEW *>(devmode.data())->dmYResolution);
    /* A photo is one page; a text file as many as it fills; the test document as many as asked. */
    int pages = request.photo.empty() ? request.pages : 1;
    const bool testDocument = request.photo.empty() && request.textFile.empty();
    TextLayout textLayout;
    if (!request.textFile.empty()) {
        if (!host_layout_text(dc, text, textLayout, error)) {
            AbortDoc(dc);
            DeleteDC(dc);
            return false;
        }
        pages = int(textLayout.pages.size());
    }
    report.pages = pages;
    for (int page = 1; page <= pages && ok; page++) {
        /* A page with its own paper or orientation gets a device context reset before it starts. */
        size_t i = size_t(page - 1);
        const std::vector<BYTE> *wanted = i < pageDevmodes.size() && !pageDevmodes[i].empty() ? &pageDevmodes[i] : &devmode;
        if (wanted != current && *wanted != *current) {
            if (!ResetDCW(dc, reinterpret_cast<const DEVMODEW *>(wanted->data()))) {
                error = failure("ResetDC", page);
                ok = false;
                break;
            }
        }
        current = wanted;
        if (StartPage(dc) <= 0) {
            error = failure("StartPage", page);
            ok = false;
        } else if (!request.photo.empty() && !host_draw_jpeg(dc, photo, passThrough, report.photoRoad, error)) {
            error += " on page " + std::to_string(page);
            ok = false;
        } else if (testDocument && page == kTitlePage && !draw_title_page(dc, request, pages, scale, error)) {
            error += " on page " + std::to_string(page);
            ok = false;
        } else if (testDocument && page == kDrawingPage && !host_draw_vector_page(dc, scale, error)) {
            error += " on page " + std::to_string(page);
            ok = false;
        } else if (testDocument && page == kImagePage && !host_draw_image_page(dc, scale, error)) {
            error += " on page " + std::to_string(page);
            ok = false;
        } else if (testDocument && page == kTextPage &&
                   !host_draw_text_page(dc, scale, report.collectionFace, error)) {
            error += " on page " + std::to_string(page);
            ok = false;
        } else if (!request.textFile.empty() && !host_draw_text_file_page(dc, textLayout, page, error)) {
            error += " on page " + std::to_string(page);
            ok = false;
        } else if (EndPage(dc) <= 0) {
            error = failure("EndPage", page);
            ok = false;
        } else if (progress) {
            progress(page, pages);
        }
    }
    if (ok && EndDoc(dc) <= 0) {
        error = failure("EndDoc", 0);
        ok = false;
    }
    if (!ok)
        AbortDoc(dc);
    DeleteDC(dc);
    if (!ok)
        return false;

    std::vector<BYTE> bytes;
    if (!plat::spool_job_bytes(DWORD(job), bytes)) {
        error = "the spooler job's bytes cannot be read";
        return false;
    }
    /* Through a new file renamed over the old: a failure keeps the old job file whole. */
    if (const int e = plat::file_replace(request.output, bytes.data(), bytes.size())) {
        error = "cannot write '" + request.output + "': " + plat::file_error_text(e) + "; the file is as it was";
        return false;
    }
    report.bytes = bytes.size();
    return host_copysets_write_jobs(copySets, request.printer, report.jobId, request.output, report.setFiles, error);
}

} // namespace host
