/*
 * The `tarvel` program: how a person uses the driver on Linux.  It plays the
 * application, GDI and the spooler around the driver libraries, on a machine
 * folder that keeps the simulated machine's state between runs.
 *
 * Verbs:
 *   settings   load the data manager through the platform loader, make a
 *              fresh settings image and printer-data record, write a few
 *              settings and read them back.
 *   install    install a printer of one of the driver's models.
 *   caps       create a printer device context on a printer (the rendering
 *              library enabled by the engine's side of a job) with its job
 *              devmode, and show what the library told the engine.
 *   print      print the built-in test document (a title page with the
 *              job's settings, a drawing, an image and a text page) through
 *              the whole road to a job file, and say how to list it (the
 *              main command).
 *   send       send a job file through the language monitor to a device.
 *   status     the printer's status on a TCP/IP port as the monitor sees it.
 */
#include "host_print.h"
#include "host_print_text.h"
#include "host_send.h"
#include "host_status.h"
#include "host_printer.h"
#include "host_errors.h"

#include <tarvel/datamgr.h>

#include <plat/error.h>
#include <plat/fault.h>
#include <plat/gdi.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

/* The version `tarvel --version` reports. */
constexpr char kVersion[] = "0.1.0";

/* The longest printer name the spooler takes. */
constexpr size_t kMaxPrinterName = 220;

/* Sizes of the settings records the data manager addresses. */
constexpr size_t kSettingsImageSize = 5896; /* driver devmode + extension block */
constexpr size_t kPrinterDataSize = 6148;

struct DataManager {
    HMODULE module = nullptr;
    DmaGetValueFn get = nullptr;
    DmaSetValueFn set = nullptr;
};

bool load_data_manager(DataManager &dm)
{
    dm.module = LoadLibraryW(u"tarveldm.dll");
    if (!dm.module) {
        std::fprintf(stderr, "tarvel: cannot load tarveldm.dll (error %u: %s)\n", unsigned(GetLastError()),
                     plat::loader_last_failure().c_str());
        return false;
    }
    dm.get = plat::proc_cast<DmaGetValueFn>(GetProcAddress(dm.module, "dma_GetValue"));
    dm.set = plat::proc_cast<DmaSetValueFn>(GetProcAddress(dm.module, "dma_SetValue"));
    if (!dm.get || !dm.set) {
        std::fprintf(stderr, "tarvel: tarveldm.dll lacks its entry points\n");
        FreeLibrary(dm.module);
        return false;
    }
    return true;
}

/* Prints one setting as the data manager hands it out. */
void show(const DataManager &dm, BYTE *image, BYTE *printer_data, WORD id, const char *label)
{
    WORD type = 0, kind = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    WORD st = dm.get(id, image, printer_data, &type, &size, slot, &kind);
    if (st != DMA_OK) {
        std::printf("  %-28s (%4u)  status %u\n", label, id, st);
        return;
    }
    if (type == 6) {
        /* strings come back as the field's offset in its record */
        uint64_t off = 0;
        std::memcpy(&off, slot, sizeof(void *));
        const BYTE *base = kind == 2 ? printer_data : kind == 1 ? image + 1604 : image;
        std::u16string text(reinterpret_cast<const char16_t *>(base + off), size / 2 - 1);
        std::printf("  %-28s (%4u)  \"%s\"\n", label, id, plat::utf16_to_utf8(text).c_str());
        return;
    }
    uint32_t value = 0;
    std::memcpy(&value, slot, 4);
    if (type == 2)
        std::printf("  %-28s (%4u)  %d\n", label, id, int(int16_t(value)));
    else
        std::printf("  %-28s (%4u)  %u (0x%X)\n", label, id, value, value);
}

int write_number(const DataManager &dm, BYTE *image, BYTE *printer_data, WORD id, WORD type, uint32_t value)
{
    LONG size = (type == 2 || type == 3) ? 2 : (type == 8 ? 1 : 4);
    return dm.set(id, image, printer_data, type, size, &value);
}

int cmd_settings()
{
    DataManager dm;
    if (!load_data_manager(dm))
        return 1;

    std::vector<BYTE> image(kSettingsImageSize, 0);
    std::vector<BYTE> printer_data(kPrinterDataSize, 0);
    BYTE *im = image.data();
    BYTE *pd = printer_data.data();

    const WCHAR *name = u"Tarvel Colour Laser";
    int failures = 0;
    failures += dm.set(1, im, pd, 6, 64, &name) != DMA_OK;                        /* dmDeviceName */
    failures += write_number(dm, im, pd, 7, 2, 2) != DMA_OK;                      /* landscape */
    failures += write_number(dm, im, pd, 12, 2, 3) != DMA_OK;                     /* copies */
    failures += write_number(dm, im, pd, 14, 5, (600u << 16) | 600u) != DMA_OK; /* 600 x 600 dpi */
    failures += write_number(dm, im, pd, 2305, 1, 1) != DMA_OK;                   /* an extension flag */
    failures += write_number(dm, im, pd, 4364, 3, 768) != DMA_OK;                 /* a printer-data value */

    std::printf("Settings written through tarveldm.dll and read back:\n");
    show(dm, im, pd, 1, "dmDeviceName");
    show(dm, im, pd, 7, "dmOrientation");
    show(dm, im, pd, 12, "dmCopies");
    show(dm, im, pd, 14, "print quality x Y resolution");
    show(dm, im, pd, 20, "dmPrintQuality");
    show(dm, im, pd, 21, "dmYResolution");
    show(dm, im, pd, 2305, "extension flag");
    show(dm, im, pd, 4364, "printer-data value");
    show(dm, im, pd, 289, "not a setting");

    FreeLibrary(dm.module);
    if (failures) {
        std::fprintf(stderr, "tarvel: %d settings could not be written\n", failures);
        return 1;
    }
    return 0;
}

int cmd_install(const std::u16string &printer, const std::string &model, const std::u16string &port)
{
    std::string error;
    if (!host::host_bind_library(error)) {
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
        return 1;
    }
    /* "IP_<address>" names a Standard TCP/IP port of that address, added when new (as `tarvel status` does) */
    if (port.rfind(u"IP_", 0) == 0 && !host::ensure_tcp_port(plat::utf16_to_utf8(port))) {
        host::host_release_library();
        std::fprintf(stderr, "tarvel: the TCP/IP port %s cannot be added\n", plat::utf16_to_utf8(port).c_str());
        return 1;
    }
    host::InstallReport report;
    /* a printer an interrupted install left half-made is taken away first, so that this install mends it */
    bool ok = true;
    if (host::host_printer_state(printer) == host::PrinterState::Half) {
        ok = host::host_remove_printer(printer, error);
        if (ok)
            std::fprintf(stderr, "tarvel: the printer %s was left half-installed by an interrupted install; "
                                 "it is installed again\n",
                         plat::utf16_to_utf8(printer).c_str());
    }
    ok = ok && host::host_install_printer(printer, model, port, report, error);
    host::host_release_library();
    if (!ok) {
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
        return 1;
    }
    std::printf("Installed \"%s\" (%s) on %s; %d spooler forms added for the model's papers\n",
                plat::utf16_to_utf8(printer).c_str(), model.c_str(), plat::utf16_to_utf8(port).c_str(),
                report.formsAdded);
    return 0;
}

/* `tarvel remove PRINTER`: the printer taken away, whole or half-installed. */
int cmd_remove(const std::u16string &printer)
{
    std::string error;
    if (!host::host_remove_printer(printer, error)) {
        std::fprintf(stderr, "tarvel remove: %s\n", error.c_str());
        return 1;
    }
    std::printf("Removed printer \"%s\"\n", plat::utf16_to_utf8(printer).c_str());
    return 0;
}

int cmd_caps(const std::u16string &printer)
{
    /* No devmode of the caller's: the user-interface library builds the job devmode from the printer's settings. */
    HDC dc = CreateDCW(nullptr, printer.c_str(), nullptr, nullptr);
    if (!dc) {
        std::fprintf(stderr, "tarvel: no device context on \"%s\": %s\n", plat::utf16_to_utf8(printer).c_str(),
                     host::host_error_text(GetLastError()).c_str());
        return 1;
    }
    static const struct {
        int index;
        const char *name;
    } caps[] = {{TECHNOLOGY, "TECHNOLOGY"},         {HORZSIZE, "HORZSIZE"},       {VERTSIZE, "VERTSIZE"},
                {HORZRES, "HORZRES"},               {VERTRES, "VERTRES"},         {BITSPIXEL, "BITSPIXEL"},
                {NUMCOLORS, "NUMCOLORS"},           {LOGPIXELSX, "LOGPIXELSX"},   {LOGPIXELSY, "LOGPIXELSY"},
                {ASPECTXY, "ASPECTXY"},             {PHYSICALWIDTH, "PHYSICALWIDTH"}, {PHYSICALHEIGHT, "PHYSICALHEIGHT"},
                {PHYSICALOFFSETX, "PHYSICALOFFSETX"}, {PHYSICALOFFSETY, "PHYSICALOFFSETY"}};
    std::printf("Device context on \"%s\":\n", plat::utf16_to_utf8(printer).c_str());
    for (const auto &c : caps)
        std::printf("  %-16s %d\n", c.name, GetDeviceCaps(dc, c.index));
    DeleteDC(dc);
    return 0;
}

void print_usage(FILE *to)
{
    std::fprintf(to,
                 "usage: tarvel [--machine DIR] print [OPTIONS] [FILE.jpg | FILE]\n"
                 "\n"
                 "Prints the built-in test document through the rendering library and the\n"
                 "spooler, and writes the job to a file: page 1 a title page saying what the\n"
                 "document is and showing the job's settings (paper, orientation, duplex,\n"
                 "colour mode, resolution, copies), page 2 vector drawings, page 3 images,\n"
                 "page 4 text, any further page blank.  The printer is installed with the\n"
                 "standard model on first use.  At the end it names the job file and the\n"
                 "job lister's command that lists it.  With a JPEG file, prints that\n"
                 "photograph on one page instead, fitted to the printable area (a file is a\n"
                 "JPEG file when its name ends .jpg or .jpeg or its bytes begin as one).\n"
                 "With any other file, prints it as UTF-8 text in 10-point DejaVu Sans Mono,\n"
                 "lines broken at the printable width, as many pages as it fills (an empty\n"
                 "file: one blank page; a file that is not UTF-8 is refused).\n"
                 "\n"
                 "options:\n"
                 "  --printer NAME        printer (default \"Tarvel CX 1500\")\n"
                 "  --model FILE          model data file for a new printer (default TARVEL1.DDD)\n"
                 "  -o, --output FILE     job file (default tarvel-job.prn)\n"
                 "  --document NAME       document name (default \"Tarvel test document\")\n"
                 "  --pages N             number of pages (default 4, the whole test document;\n"
                 "                        1 prints the title page alone; 0 an empty document)\n"
                 "  --page N:PAPER[:ORIENTATION]\n"
                 "                        paper and orientation of page N\n"
                 "  --paper NAME          A4, Letter, Legal, A3, A5, B5, B4, Tabloid\n"
                 "  --orientation portrait|landscape\n"
                 "  --duplex none|long|short|manual-long|manual-short\n"
                 "                        manual: the driver duplexes in two passes where\n"
                 "                        the model can (else the printer duplexes)\n"
                 "  --copies N            copies (uncollated unless --collate)\n"
                 "  --collate, --no-collate\n"
                 "                        --collate: the driver collates the copies\n"
                 "  --reverse, --no-reverse\n"
                 "                        print the last page first\n"
                 "  --nup N               pages per sheet: 1, 2, 4, 8, 16, 32\n"
                 "  --nup-order N         cell order 0 to 6\n"
                 "  --booklet whole|split:N|sets:N\n"
                 "                        fold the pages into a booklet: whole, split into\n"
                 "                        sets of at most N sheets (the printer keeps N), or\n"
                 "                        in sets of N sheets each (N 1 to 20)\n"
                 "  --poster N            print each page over N x N sheets (2, 3 or 4)\n"
                 "  --colour mono|colour|auto\n"
                 "                        colour mode (default colour; auto announces each\n"
                 "                        page as colour or monochrome by what is on it)\n"
                 "  --resolution DPI|XxY  DPI x DPI dots per inch, or X across and Y down, as\n"
                 "                        the printer's model offers (the standard model: 600,\n"
                 "                        1200, 1200x600 or 600x300)\n"
                 "  --pass-through        send the JPEG file undecoded through the driver's\n"
                 "                        JPEG escape (when the driver offers it; else the\n"
                 "                        photo is decoded and drawn as an image)\n"
                 "  --form-create NAME    write the first page into the form file NAME (under\n"
                 "                        the work folder unless a drive or network path)\n"
                 "                        instead of printing it\n"
                 "  --form NAME           print every page over the form file NAME\n"
                 "  --copy-sets FILE      a copy-set job of the data file FILE (a fax send\n"
                 "                        list) on a printer whose model prints copy sets:\n"
                 "                        one spool job per data set, each with its cover;\n"
                 "                        sets after the first go to OUTPUT-setN; the driver\n"
                 "                        deletes FILE once every set went out\n");
    host::host_decoration_usage(to);
    std::fprintf(to, "  -h, --help            this text\n");
}

bool parse_int(const char *text, int low, int high, int &out)
{
    char *end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!text[0] || *end || v < low || v > high)
        return false;
    out = int(v);
    return true;
}

/* True when `text` holds a control character (C0, DEL or C1). */
bool has_control(const std::u16string &text)
{
    for (char16_t c : text)
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            return true;
    return false;
}

int parse_orientation(const std::string &s)
{
    return s == "portrait" ? 1 : s == "landscape" ? 2 : 0;
}

/* `path` made absolute (from the working folder) and tidied of "." and ".." steps. */
std::string absolute_path(const std::string &path)
{
    std::error_code ec;
    const std::filesystem::path whole = std::filesystem::absolute(path, ec);
    return ec ? path : whole.lexically_normal().string();
}

/* `word` as the shell reads it back: as it stands when it holds only plain characters, else in single quotes. */
std::string shell_word(const std::string &word)
{
    const bool plain = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                               "0123456789/._+,:=@%-") == std::string::npos;
    if (plain)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

/*
 * The job lister's command: pxllist beside this program (both are built
 * into the build's bin folder) by its absolute path, else its bare name,
 * for the PATH to find.
 */
std::string lister_command()
{
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path lister = self.parent_path() / "pxllist";
        if (std::filesystem::is_regular_file(lister, ec) && ::access(lister.c_str(), X_OK) == 0)
            return lister.string();
    }
    return "pxllist";
}

int cmd_print(int argc, char **argv, int first)
{
    host::PrintRequest r;
    bool pagesGiven = false; /* --pages was given (the default is the whole test document) */
    auto bad = [](const std::string &what) {
        std::fprintf(stderr, "tarvel print: %s (see tarvel print --help)\n", what.c_str());
        return 2;
    };
    for (int i = first; i < argc; i++) {
        std::string a = argv[i];
        const char *v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto need = [&]() { return v != nullptr; };
        if (a == "--help" || a == "-h") {
            print_usage(stdout);
            return 0;
        } else if (a == "--collate") {
            r.collate = 1;
            continue;
        } else if (a == "--no-collate") {
            r.collate = 0;
            continue;
        } else if (a == "--reverse" || a == "--no-reverse") {
            r.reverse = a == "--reverse";
            continue;
        } else if (a == "--pass-through") {
            r.photoEscape = true;
            continue;
        } else if (!a.empty() && a[0] != '-') {
            if (!r.photo.empty() || !r.textFile.empty())
                return bad("one JPEG file or text file is printed at a time");
            (host::host_is_jpeg_file(a) ? r.photo : r.textFile) = a;
            continue;
        }
        std::string decorationError;
        const int used = host::host_decoration_option(a, v, r.decorations, decorationError);
        if (used < 0)
            return bad(decorationError);
        if (used > 0) {
            i += used - 1;
            continue;
        }
        static const char *const kValued[] = {"--printer", "--model",    "--output",     "-o",      "--document",
                                              "--pages",   "--page",     "--paper",      "--orientation",
                                              "--duplex",  "--copies",   "--nup",        "--nup-order",
                                              "--colour",  "--color",    "--resolution", "--booklet",
                                              "--poster"};
        bool known = host::host_forms_option(a) || host::host_copysets_option(a);
        for (const char *o : kValued)
            known = known || a == o;
        if (!known)
            return bad("unknown option '" + a + "'");
        if (!need())
            return bad("option '" + a + "' needs a value");
        std::string value = v;
        i++;
        if (host::host_copysets_option(a)) {
            if (value.empty())
                return bad("--copy-sets takes the copy-set data file");
            r.copySets.file = value;
        } else if (host::host_forms_option(a)) {
            std::string error;
            if (!host::host_forms_parse(a, value, r.forms, error))
                return bad(error);
        } else if (a == "--printer") {
            r.printer = plat::utf8_to_utf16(value);
            if (r.printer.empty() || r.printer.size() > kMaxPrinterName)
                return bad("a printer name has 1 to " + std::to_string(kMaxPrinterName) + " characters");
            if (has_control(r.printer))
                return bad("a printer name holds no control characters");
        } else if (a == "--model") {
            r.model = value;
        } else if (a == "--output" || a == "-o") {
            r.output = value;
        } else if (a == "--document") {
            /* The name reaches the job's PJL and PCL XL comments: a control character there could end a
               line or the job (an escape begins a printer-language switch), so each becomes "?". */
            r.document = plat::utf8_to_utf16(value);
            for (char16_t &c : r.document)
                if (c < 0x20 || (c >= 0x7F && c < 0xA0))
                    c = u'?';
        } else if (a == "--pages") {
            if (!parse_int(v, 0, 1000000, r.pages))
                return bad("--pages takes a number from 0 to 1000000");
            pagesGiven = true;
        } else if (a == "--page") {
            /* N:PAPER[:ORIENTATION] */
            size_t c1 = value.find(':');
            int n = 0;
            if (c1 == std::string::npos || !parse_int(value.substr(0, c1).c_str(), 1, 1000000, n))
                return bad("--page takes N:PAPER[:ORIENTATION]");
            std::string rest = value.substr(c1 + 1);
            size_t c2 = rest.find(':');
            host::PageChoice choice;
            choice.paper = rest.substr(0, c2);
            if (c2 != std::string::npos && !(choice.orientation = parse_orientation(rest.substr(c2 + 1))))
                return bad("orientation is portrait or landscape");
            if (!choice.paper.empty() && !host::host_paper_number(choice.paper))
                return bad("unknown paper '" + choice.paper + "'");
            if (r.perPage.size() < size_t(n))
                r.perPage.resize(size_t(n));
            r.perPage[size_t(n - 1)] = choice;
        } else if (a == "--paper") {
            if (!host::host_paper_number(value))
                return bad("unknown paper '" + value + "'");
            r.paper = value;
        } else if (a == "--orientation") {
            if (!(r.orientation = parse_orientation(value)))
                return bad("orientation is portrait or landscape");
        } else if (a == "--duplex") {
            r.driverDuplex = value.rfind("manual-", 0) == 0;
            const std::string edge = r.driverDuplex ? value.substr(7) : value;
            r.duplex = edge == "long" ? 2 : edge == "short" ? 3 : edge == "none" && !r.driverDuplex ? 1 : 0;
            if (!r.duplex)
                return bad("duplex is none, long, short, manual-long or manual-short");
        } else if (a == "--copies") {
            if (!parse_int(v, 1, 999, r.copies))
                return bad("--copies takes 1 to 999");
        } else if (a == "--nup") {
            if (!parse_int(v, 1, 32, r.nup) || (r.nup & (r.nup - 1)))
                return bad("--nup takes 1, 2, 4, 8, 16 or 32");
        } else if (a == "--nup-order") {
            if (!parse_int(v, 0, 6, r.nupOrder))
                return bad("--nup-order takes 0 to 6");
        } else if (a == "--booklet") {
            const size_t colon = value.find(':');
            const std::string mode = value.substr(0, colon);
            r.booklet = mode == "whole" ? 0 : mode == "split" ? 1 : mode == "sets" ? 2 : -1;
            const bool counted = r.booklet == 1 || r.booklet == 2;
            if (r.booklet < 0 || counted != (colon != std::string::npos) ||
                (counted && !parse_int(value.c_str() + colon + 1, 1, 20, r.bookletSheets)))
                return bad("--booklet takes whole, split:N or sets:N with N from 1 to 20");
        } else if (a == "--poster") {
            if (!parse_int(v, 2, 4, r.poster))
                return bad("--poster takes 2, 3 or 4");
        } else if (a == "--colour" || a == "--color") {
            r.colour = value == "mono" ? 1 : (value == "colour" || value == "color") ? 2 : value == "auto" ? 3 : 0;
            if (!r.colour)
                return bad("colour is mono, colour or auto");
        } else if (a == "--resolution") {
            /* DPI, or XxY across and down; the printer's model decides which are offered (host_check_resolution). */
            const size_t by = value.find('x');
            r.resolutionY = 0;
            const bool given = by == std::string::npos
                                   ? parse_int(v, 1, 65535, r.resolution)
                                   : parse_int(value.substr(0, by).c_str(), 1, 65535, r.resolution) &&
                                         parse_int(value.substr(by + 1).c_str(), 1, 65535, r.resolutionY);
            if (!given)
                return bad("--resolution takes dots per inch, DPI or XxY, one the printer's model offers");
        } else {
            return bad("unknown option '" + a + "'");
        }
    }
    if (r.booklet >= 0 && r.poster)
        return bad("--booklet and --poster cannot be combined");
    if (r.photoEscape && r.photo.empty())
        return bad("--pass-through needs a JPEG file");
    /* A photo and a text file decide their pages (--pages 1 agrees with a photo's one page and is taken). */
    const bool otherPages = pagesGiven && r.pages != 1;
    if (!r.photo.empty()) {
        if (otherPages || !r.perPage.empty())
            return bad("a JPEG file is printed on one page: no --pages or --page");
    }
    if (!r.textFile.empty() && (otherPages || !r.perPage.empty() || r.photoEscape))
        return bad("a text file prints as many pages as it fills: no --pages, --page or --pass-through");
    if (r.perPage.size() > size_t(r.pages))
        return bad("--page " + std::to_string(r.perPage.size()) + " is beyond the document's " +
                   std::to_string(r.pages) + " pages");
    const bool terminal = isatty(fileno(stderr));
    host::PrintReport report;
    std::string error;
    bool ok = host::host_print(r, report, error, [&](int page, int pages) {
        if (terminal)
            std::fprintf(stderr, "page %d of %d printed\n", page, pages);
    });
    if (!report.note.empty())
        std::fprintf(stderr, "tarvel print: %s\n", report.note.c_str());
    if (report.installed)
        std::printf("Installed printer \"%s\" (%s) on FILE:\n", plat::utf16_to_utf8(r.printer).c_str(), r.model.c_str());
    if (!ok) {
        std::fprintf(stderr, "tarvel print: %s\n", error.c_str());
        return 1;
    }
    const std::string jobFile = absolute_path(r.output);
    std::printf("Printed %d page%s to %s (%zu bytes, spooler job %lu)\n", report.pages, report.pages == 1 ? "" : "s",
                jobFile.c_str(), report.bytes, report.jobId);
    for (const std::string &file : report.setFiles)
        std::printf("Copy set printed to %s\n", file.c_str());
    if (r.photo.empty() && r.textFile.empty() && report.pages >= 4) {
        if (report.collectionFace.empty())
            std::printf("The text page has no collection line: the machine has no font collection\n");
        else
            std::printf("The text page's collection line is in %s\n", report.collectionFace.c_str());
    }
    if (!report.photoRoad.empty())
        std::printf("The photo went %s\n", report.photoRoad == "pass-through" ? "to the printer undecoded (JPEG escape)"
                                                                              : "decoded, as an image");
    /* Last, how to look at the job: a file that holds a job (not an empty document, a form's job or a device). */
    std::error_code ec;
    if (report.bytes > 0 && std::filesystem::is_regular_file(jobFile, ec))
        std::printf("List it with: %s %s\n", shell_word(lister_command()).c_str(), shell_word(jobFile).c_str());
    return 0;
}

void usage(FILE *to)
{
    std::fprintf(to,
                 "usage: tarvel [--machine DIR] VERB\n"
                 "       tarvel --version\n"
                 "\n"
                 "verbs:\n"
                 "  print [OPTIONS]\n"
                 "             print the built-in test document to a job file (tarvel print --help)\n"
                 "  settings   write a few settings through the data manager and read them back\n"
                 "  install PRINTER [MODEL] [PORT]\n"
                 "             install a printer of a model data file (default TARVEL1.DDD) on a port\n"
                 "             (default FILE:)\n"
                 "  remove PRINTER\n"
                 "             remove a printer (also one an interrupted install left half-made)\n"
                 "  caps PRINTER\n"
                 "             create a device context on the printer and show its capabilities\n"
                 "  send JOB --port HOST[:PORT]|PORTNAME|usb:HOST:PORT [--printer NAME]\n"
                 "           [--timeout SECONDS]\n"
                 "             send a job file through the language monitor to a device:\n"
                 "               HOST[:PORT]    a network printer's raw port (default 9100), through\n"
                 "                              the TCP/IP port IP_<HOST>: the job's bytes only\n"
                 "               PORTNAME       an installed TCP/IP port (e.g. IP_<address>)\n"
                 "               usb:HOST:PORT  the simulated USB printer at a TCP port\n"
                 "             printing what the device sends back as it arrives (time-out\n"
                 "             default 60 s)\n"
                 "  status --port PORTNAME [--watch [--interval SECONDS] [--count N]]\n"
                 "             the printer's status on a TCP/IP port (IP_<address> adds one) as the\n"
                 "             language monitor sees it: device ID fields, trays, errors, jobs;\n"
                 "             --watch prints it again every few seconds (default 5) until Ctrl-C;\n"
                 "             exits 1 when nothing answers\n"
                 "  status --port PORTNAME --remove\n"
                 "             remove a TCP/IP port no printer is on\n"
                 "\n"
                 "The machine folder (default $TARVEL_MACHINE, else ./.machine) keeps the\n"
                 "simulated machine's state between runs.\n");
}

/*
 * The machine folder's stores must be readable: one that exists but cannot
 * be read is reported and nothing is done (a damaged one has been kept
 * aside and reported by the platform already).
 */
bool stores_readable()
{
    if (DWORD e = plat::spool_store_error()) {
        std::fprintf(stderr, "tarvel: the spooler's store %s cannot be read (error %u); nothing was changed\n",
                     plat::spool_state_path().c_str(), unsigned(e));
        return false;
    }
    if (LONG e = plat::registry_store_error()) {
        std::fprintf(stderr, "tarvel: the registry file %s cannot be read (error %ld); nothing was changed\n",
                     plat::registry_file().c_str(), long(e));
        return false;
    }
    /* A store whose lock cannot be taken is not changed: the command stops rather than run unlocked. */
    for (const std::string &problem : {plat::spool_lock_problem(), plat::registry_lock_problem()})
        if (!problem.empty()) {
            std::fprintf(stderr, "tarvel: the lock file %s; nothing was changed\n", problem.c_str());
            return false;
        }
    return true;
}

/*
 * TARVEL_KILL_AT_SAVE="N:STEP" kills this process when its N-th save of a
 * machine-folder store reaches STEP (1 created .. 5 renamed): the host
 * tests' way of interrupting an install or a print at every point.
 */
void arm_test_kill()
{
    const char *text = std::getenv("TARVEL_KILL_AT_SAVE");
    unsigned n = 0, step = 0;
    if (text && std::sscanf(text, "%u:%u", &n, &step) == 2 && n > 0 && step >= plat::SAVE_STEP_CREATED &&
        step <= plat::SAVE_STEP_COUNT)
        plat::fault_kill_save_at(n, plat::SaveStep(step));
}

/*
 * Printers the host installed that the spooler's store no longer holds (a
 * damaged store is started again empty, or a removal was cut short): the
 * driver name the install recorded for them in the registry outlived them.
 * Each is named, its record taken away, and false is answered, so that the
 * run does not pass for a success; the next run finds the machine clean.
 */
bool report_lost_printers()
{
    constexpr char16_t kPrinters[] = u"System\\CurrentControlSet\\control\\Print\\Printers";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPrinters, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    std::vector<std::u16string> recorded;
    char16_t name[512];
    for (DWORD i = 0;; i++) {
        DWORD size = sizeof name / sizeof name[0];
        if (RegEnumKeyExW(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        recorded.emplace_back(name, size);
    }
    RegCloseKey(key);
    const std::vector<std::u16string> held = plat::spool_printers();
    bool clean = true;
    for (const std::u16string &printer : recorded) {
        bool found = false;
        for (const std::u16string &p : held)
            found = found || lstrcmpiW(p.c_str(), printer.c_str()) == 0;
        if (found)
            continue;
        clean = false;
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::u16string(kPrinters) + u"\\" + printer).c_str());
        std::fprintf(stderr, "tarvel: the spooler's store no longer holds the printer %s (the store was damaged, or a "
                             "removal was cut short); tarvel install %s installs it again\n",
                     plat::utf16_to_utf8(printer).c_str(), plat::utf16_to_utf8(printer).c_str());
    }
    if (!clean)
        std::fprintf(stderr, "tarvel: nothing else was done; run the command again\n");
    return clean;
}

bool asks_help(const std::string &a) { return a == "--help" || a == "-h"; }

/* `tarvel send JOB --port HOST[:PORT]|PORTNAME|usb:HOST:PORT [--printer NAME] ...`. */
int cmd_send(int argc, char **argv, int first)
{
    host::SendRequest r;
    for (int i = first; i < argc; i++) {
        const std::string a = argv[i];
        auto value = [&](const char *option) -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tarvel send: option '%s' needs a value\n", option);
                return nullptr;
            }
            return argv[++i];
        };
        if (a == "--port" || a == "--printer" || a == "--timeout") {
            const char *v = value(a.c_str());
            if (!v)
                return 2;
            if (a == "--port") {
                r.port = v;
            } else if (a == "--printer") {
                r.printer = plat::utf8_to_utf16(v);
            } else {
                char *end = nullptr;
                const unsigned long t = std::strtoul(v, &end, 10);
                if (!*v || *end || t == 0 || t > 86400) {
                    std::fprintf(stderr, "tarvel send: --timeout wants seconds from 1 to 86400, not '%s'\n", v);
                    return 2;
                }
                r.timeoutSeconds = unsigned(t);
            }
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "tarvel send: unknown option '%s' (see tarvel --help)\n", a.c_str());
            return 2;
        } else if (r.jobFile.empty()) {
            r.jobFile = a;
        } else {
            std::fprintf(stderr, "tarvel send: unexpected argument '%s' (see tarvel --help)\n", a.c_str());
            return 2;
        }
    }
    if (r.jobFile.empty() || r.port.empty()) {
        std::fprintf(stderr, "tarvel send: a job file and --port are needed (see tarvel --help)\n");
        return 2;
    }
    return host::send_job(r);
}

} // namespace

static int run_main(int argc, char **argv)
{
    std::string machine;
    int i = 1;
    for (; i < argc; i++) {
        std::string a = argv[i];
        if (asks_help(a)) {
            usage(stdout);
            return 0;
        }
        if (a == "--version") {
            std::printf("tarvel %s\n", kVersion);
            return 0;
        }
        if (a == "--machine") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "tarvel: option '--machine' needs a value\n");
                return 2;
            }
            machine = argv[++i];
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "tarvel: unknown option '%s' (see tarvel --help)\n", a.c_str());
            return 2;
        }
        break;
    }
    if (i >= argc) {
        usage(stderr);
        return 2;
    }
    std::string verb = argv[i];
    const int args = argc - i - 1; /* after the verb */
    char **arg = argv + i + 1;
    if (verb != "print" && args > 0 && asks_help(arg[0])) {
        usage(stdout);
        return 0;
    }
    struct Verb {
        const char *name;
        int least, most;
    } const verbs[] = {{"settings", 0, 0}, {"install", 1, 3}, {"remove", 1, 1}, {"caps", 1, 1}, {"print", 0, argc},
                         {"send", 0, argc}, {"status", 0, argc}};
    const Verb *known = nullptr;
    for (const Verb &v : verbs)
        if (verb == v.name)
            known = &v;
    if (!known) {
        std::fprintf(stderr, "tarvel: unknown verb '%s'\n", verb.c_str());
        usage(stderr);
        return 2;
    }
    if (args < known->least || args > known->most) {
        std::fprintf(stderr, "tarvel %s: %s (see tarvel --help)\n", verb.c_str(),
                     args < known->least ? "missing arguments" : ("unexpected argument '" +
                                                                  std::string(arg[known->most]) + "'").c_str());
        return 2;
    }
    plat::machine_reset(machine);
    arm_test_kill();
    if (!stores_readable() || !report_lost_printers())
        return 1;
    if (verb == "settings")
        return cmd_settings();
    if ((verb == "install" || verb == "remove") && has_control(plat::utf8_to_utf16(arg[0]))) {
        std::fprintf(stderr, "tarvel %s: a printer name holds no control characters\n", verb.c_str());
        return 2;
    }
    if (verb == "install" || verb == "remove") {
        host::InstallLock installing;
        if (!installing.ok()) {
            std::fprintf(stderr, "tarvel %s: %s; nothing was changed\n", verb.c_str(), installing.error().c_str());
            return 1;
        }
        if (verb == "remove")
            return cmd_remove(plat::utf8_to_utf16(arg[0]));
        return cmd_install(plat::utf8_to_utf16(arg[0]), args > 1 ? arg[1] : "TARVEL1.DDD",
                           plat::utf8_to_utf16(args > 2 ? arg[2] : "FILE:"));
    }
    if (verb == "caps")
        return cmd_caps(plat::utf8_to_utf16(arg[0]));
    if (verb == "send")
        return cmd_send(argc, argv, i + 1);
    if (verb == "status")
        return host::status_main(argc, argv, i + 1);
    return cmd_print(argc, argv, i + 1);
}

/* No exception leaves the program: one that escapes a verb is reported and the run fails. */
int main(int argc, char **argv)
{
    try {
        return run_main(argc, argv);
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "tarvel: out of memory\n");
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarvel: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tarvel: an unexpected failure\n");
    }
    return 1;
}
