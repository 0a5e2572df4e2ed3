/*
 * The form-overlay options of `tarvel print` (see host_print_forms.h): the
 * form mode (setting 339) and the form file's path (setting 1829) in the
 * application's devmode.
 */
#include "host_print_forms.h"
#include "host_read_file.h"

#include "pxllist/pxllist.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/pdt_blob.h>

#include <tarvel/base/res_text.h>
#include <tarvel/base/res_module.h>

#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/spooler.h>
#include <plat/text.h>

namespace host {
namespace {

enum : WORD {
    S_FORM_MODE = 339,
    S_FORM_PATH = 1829,
};

/* The resource string of the forms' file extension. */
constexpr UINT kFormExtension = 451;

/* The largest form file read. */
constexpr size_t kLargestForm = size_t(64) << 20;

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
    if (name.find(u"\\\\") != std::u16string::npos) {
        error = option + " " + value + ": the machine has no network shares, so a form cannot be kept on one";
        return false;
    }
    request.mode = option == "--form-create" ? 1 : 2;
    request.name = value;
    return true;
}

bool host_forms_check(const FormsRequest &request, std::string &error)
{
    if (request.mode != 2)
        return true;
    /* Where the driver looks: a drive path as it stands, else under the work folder; with the forms' extension. */
    std::u16string path = plat::utf8_to_utf16(request.name);
    const size_t backslash = path.find(u'\\');
    if (backslash == std::u16string::npos || backslash == 0 || path[backslash - 1] != u':') {
        LPWSTR work = RES_AllocWorkFolderPath();
        if (!work) {
            error = "the driver's work folder cannot be found for the form '" + request.name + "'";
            return false;
        }
        size_t skip = 0;
        while (skip < path.size() && (path[skip] == u'\\' || path[skip] == u'/'))
            skip++;
        path = std::u16string(work) + path.substr(skip);
        GlobalFree(work);
    }
    WCHAR extension[16] = {};
    if (LoadStringW(RES_GetResourceModule(), kFormExtension, extension, 16) <= 0) {
        error = "the forms' file extension cannot be read from the resource module";
        return false;
    }
    path += u".";
    path += extension;
    std::string real;
    if (!plat::map_path(path, real)) {
        error = "the form '" + request.name + "' (" + plat::utf16_to_utf8(path) + ") is not a path of the machine";
        return false;
    }
    std::string bytes;
    if (!host_read_file(real, kLargestForm, "64 MiB", bytes, error)) {
        error = "the form '" + request.name + "' cannot be printed: " + error;
        return false;
    }
    pxllist::Options options;
    options.stream_body = true;
    options.keep_data = false;
    options.keep_rows = false;
    pxllist::Listing listing;
    if (bytes.empty() ||
        !pxllist::ListJob(std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size()),
                          options, &listing)) {
        error = "the form '" + request.name + "' (" + real + ") cannot be printed: " +
                (bytes.empty() ? std::string("it is empty") : "it is damaged: " + pxllist::FormatError(listing.error));
        return false;
    }
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
