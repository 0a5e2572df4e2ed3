/*
 * The form-overlay options of `tarvel print` (see host_print_forms.h): the
 * form mode (setting 339) and the form file's path (setting 1829) in the
 * application's devmode.
 */
#include "host_print_forms.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/pdt_blob.h>

#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

namespace host {
namespace {

enum : WORD {
    S_FORM_MODE = 339,
    S_FORM_PATH = 1829,
};

/* Characters the form path setting holds (its terminator aside), less the "." and extension added to it. */
constexpr size_t kFormNameMax = 255 - 4;

} // namespace

bool host_forms_option(const std::string &option) { return option == "--form-create" || option == "--form"; }

bool host_forms_parse(const std::string &option, const std::string &value, FormsRequest &request,
                      std::string &error)
{
    const std::u16string name = plat::utf8_to_utf16(value);
    if (name.empty() || name.size() > kFormNameMax) {
        error = option + " takes a form name of 1 to " + std::to_string(kFormNameMax) + " characters";
        return false;
    }
    if (request.mode != 0) {
        error = "--form-create and --form cannot be given together or twice";
        return false;
    }
    request.mode = option == "--form-create" ? 1 : 2;
    request.name = value;
    return true;
}

bool host_forms_apply(const FormsRequest &request, std::vector<BYTE> &devmode, std::string &error)
{
    if (request.mode == 0)
        return true;
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(S_FORM_MODE, nullptr, &item) != 0 ||
        DMB_SetValueArgs(devmode.data(), nullptr, S_FORM_MODE, item->storedType, request.mode) != DMA_OK) {
        error = "the form mode cannot be written";
        return false;
    }
    return true;
}

bool host_forms_store_path(const std::u16string &printer, const FormsRequest &request, std::string &error)
{
    if (request.mode == 0)
        return true;
    /* the form path lives in the devmode extension, which the job takes from the printer's stored one */
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(printer.c_str(), &handle, &access)) {
        error = "the printer cannot be opened for the form path";
        return false;
    }
    ModelContext *model = MDL_Open(handle);
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0);
    BYTE *extension = image.data() + SETTINGS_DEVMODE_SIZE;
    BYTE *fax = nullptr, *tmb = nullptr;
    DWORD faxSize = 0, tmbLength = 0;
    const std::u16string name = plat::utf8_to_utf16(request.name);
    const WCHAR *p = name.c_str();
    const bool ok = model &&
                    PDT_LoadDeviceBlobs(handle, model, nullptr, PDT_STORE_PRINTER, &fax, &faxSize, extension, &tmb,
                                        &tmbLength) &&
                    DMB_SetValue(S_FORM_PATH, image.data(), nullptr, SVT_WSTRING, LONG((name.size() + 1) * 2), &p) ==
                        DMA_OK &&
                    PDT_SaveDeviceBlobs(handle, model, nullptr, PDT_STORE_PRINTER, fax, faxSize, extension, tmb,
                                        tmbLength);
    GlobalFree(fax);
    GlobalFree(tmb);
    if (model)
        MDL_Close(model);
    ClosePrinter(handle);
    if (!ok)
        error = "the form path cannot be stored with the printer";
    return ok;
}

} // namespace host
