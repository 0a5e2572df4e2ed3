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
 */
#include "host_printer.h"

#include <tarvel/datamgr.h>

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

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
    host::InstallReport report;
    bool ok = host::host_install_printer(printer, model, port, report, error);
    host::host_release_library();
    if (!ok) {
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
        return 1;
    }
    std::printf("Installed \"%s\" (%s) on %s; %d spooler forms added for the model's papers\n",
                plat::utf16_to_utf8(printer).c_str(), model.c_str(), plat::utf16_to_utf8(port).c_str(),
                report.formsAdded);
    if (report.formsFailed)
        std::printf("  %d forms could not be added\n", report.formsFailed);
    return 0;
}

int cmd_caps(const std::u16string &printer)
{
    std::string error;
    if (!host::host_bind_library(error)) {
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
        return 1;
    }
    std::vector<BYTE> devmode;
    bool ok = host::host_build_job_devmode(printer, devmode, error);
    host::host_release_library();
    if (!ok) {
        std::fprintf(stderr, "tarvel: %s\n", error.c_str());
        return 1;
    }
    HDC dc = CreateDCW(nullptr, printer.c_str(), nullptr, reinterpret_cast<const DEVMODEW *>(devmode.data()));
    if (!dc) {
        std::fprintf(stderr, "tarvel: no device context on \"%s\" (error %u)\n", plat::utf16_to_utf8(printer).c_str(),
                     unsigned(GetLastError()));
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

void usage(FILE *to)
{
    std::fprintf(to,
                 "usage: tarvel [--machine DIR] VERB\n"
                 "\n"
                 "verbs:\n"
                 "  settings   write a few settings through the data manager and read them back\n"
                 "  install PRINTER [MODEL] [PORT]\n"
                 "             install a printer of a model data file (default TARVEL1.DDD) on a port\n"
                 "             (default FILE:)\n"
                 "  caps PRINTER\n"
                 "             create a device context on the printer and show its capabilities\n"
                 "\n"
                 "The machine folder (default $TARVEL_MACHINE, else ./.machine) keeps the\n"
                 "simulated machine's state between runs.\n");
}

} // namespace

int main(int argc, char **argv)
{
    std::string machine;
    int i = 1;
    for (; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        }
        if (a == "--machine" && i + 1 < argc) {
            machine = argv[++i];
            continue;
        }
        break;
    }
    if (i >= argc) {
        usage(stderr);
        return 2;
    }
    plat::machine_reset(machine);
    std::string verb = argv[i];
    if (verb == "settings")
        return cmd_settings();
    if (verb == "install" && i + 1 < argc)
        return cmd_install(plat::utf8_to_utf16(argv[i + 1]), i + 2 < argc ? argv[i + 2] : "TARVEL1.DDD",
                           plat::utf8_to_utf16(i + 3 < argc ? argv[i + 3] : "FILE:"));
    if (verb == "caps" && i + 1 < argc)
        return cmd_caps(plat::utf8_to_utf16(argv[i + 1]));
    std::fprintf(stderr, "tarvel: unknown verb '%s'\n", verb.c_str());
    usage(stderr);
    return 2;
}
