/*
 * Fuzz target of the job devmode an application hands the driver: the input
 * is laid into a 5,920-byte job devmode (the driver's devmode, its extension
 * block and the job tail), longer when its dmSize + dmDriverExtra declare
 * more, and merged into the printer's settings as a document's devmode is,
 * with and without the model, through a real printer of the standard model
 * on a private machine (set up once).
 */
#include "fuzz_support.h"

#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_merge.h>

#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/spooler.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kJobDevmodeSize = 5920;
constexpr char16_t kPrinter[] = u"Fuzz Printer";

struct Printer {
    HANDLE handle = nullptr;
    ModelContext *context = nullptr;
    std::vector<BYTE> defaults = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    std::vector<BYTE> printerData = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);
};

/* A private machine with a printer of the standard model and its defaults, made once. */
Printer &setup()
{
    static Printer *p = nullptr;
    if (p)
        return *p;
    p = new Printer;
    static char root[] = "/tmp/tarvel-fuzz-devmode-XXXXXX";
    fuzz_support::private_machine(root);
    fuzz_support::play_rendering_library();
    if (DMB_Load(RES_GetOwnModule()) != 1)
        std::abort();
    plat::SpoolDriver d;
    d.name = u"Tarvel TARVEL1";
    d.driver_file = u"tarvelgr.dll";
    d.data_file = u"TARVEL1.DDD";
    d.config_file = u"tarvelui.dll";
    d.dependent_files = {u"TARVEL1.DDC", u"tarveldm.dll", u"tarvelrs.xrs"};
    plat::SpoolPrinter sp;
    sp.name = kPrinter;
    sp.driver = d.name;
    sp.port = u"FILE:";
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (plat::spool_add_driver(d) != ERROR_SUCCESS || plat::spool_add_printer(sp) != ERROR_SUCCESS ||
        !OpenPrinterW(kPrinter, &p->handle, &access) || !(p->context = MDL_Open(p->handle)) ||
        !FID_InitDefaults(p->context, p->defaults.data(), p->printerData.data(), kPrinter))
        std::abort();
    return *p;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Printer &p = setup();
    /* The devmode holds the bytes it declares: at least the job devmode, more when dmSize + dmDriverExtra say so. */
    std::vector<BYTE> input(kJobDevmodeSize, 0);
    std::memcpy(input.data(), data, std::min(size, kJobDevmodeSize));
    const size_t declared = size_t(plat::load_u16(input.data(), 68)) + plat::load_u16(input.data(), 70);
    if (declared > input.size()) {
        input.resize(declared, 0);
        std::memcpy(input.data(), data, std::min(size, declared));
    }
    for (WORD operation : {WORD(2), WORD(16)}) {
        std::vector<BYTE> output = p.defaults;
        std::vector<BYTE> printerData = p.printerData;
        FID_MergeDevmodeTraced(p.context, output.data(), input.data(), printerData.data(), p.handle, operation);
    }
    return 0;
}
