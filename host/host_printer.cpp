/*
 * Installing the host's printers and reading the devmode an application
 * prints with (see host_printer.h), through the common library: the model
 * context, the settings schema's defaults, the per-model configuration, the
 * paper rules and the data-manager binding.
 */
#include "host_printer.h"

#include <tarvel/cfg_model.h>
#include <tarvel/dmb_binding.h>
#include <tarvel/fid_defaults.h>
#include <tarvel/mdl_context.h>
#include <tarvel/model_file.h>
#include <tarvel/model_records.h>
#include <tarvel/paper_rules.h>
#include <tarvel/pdt_blob.h>
#include <tarvel/pdt_fontsub.h>
#include <tarvel/ppr_paper.h>
#include <tarvel/prn_store.h>
#include <tarvel/res_module.h>
#include <tarvel/res_text.h>
#include <tarvel/setting_layout.h>
#include <tarvel/upg_settings.h>

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace host {

namespace {

/* The model capability that lets jobs use the job-information component ("SupportJobOwnerTool"). */
constexpr DWORD kCapJobOwnerTool = MDL_CAP_BIT(43);

/* Paper code of the user-defined size, which gets no form. */
constexpr WORD kUserDefinedPaper = 256;

/* Size of the forms added for the custom paper slots, micrometres. */
constexpr LONG kCustomSlotWidth = 210000;
constexpr LONG kCustomSlotLength = 297000;

/* A printer handle and model context, closed in that order when the holder goes. */
struct OpenPrinter {
    HANDLE handle = nullptr;
    ModelContext *model = nullptr;
    OpenPrinter(const std::u16string &name, DWORD access)
    {
        PRINTER_DEFAULTSW d{nullptr, nullptr, access};
        if (OpenPrinterW(name.c_str(), &handle, &d))
            model = MDL_Open(handle);
    }
    ~OpenPrinter()
    {
        if (model)
            MDL_Close(model);
        if (handle)
            ClosePrinter(handle);
    }
    OpenPrinter(const OpenPrinter &) = delete;
    OpenPrinter &operator=(const OpenPrinter &) = delete;
};

std::string utf8(const std::u16string &s) { return plat::utf16_to_utf8(s); }

/* Gives the printer its identifier unless it has one. */
bool write_printer_id(const OpenPrinter &p)
{
    BYTE id[PRN_ID_SIZE] = {};
    if (REG_ReadPrnId(p.handle, id))
        return true;
    return REG_MakePrnId(p.handle, id) && REG_WritePrnId(p.handle, id);
}

/*
 * The printer's stored records refreshed as the printer-initialisation
 * event does: the shared PrinterData record (with the user fields at their
 * defaults), the device blobs (N_Dev with the fax send list, TMBInfo),
 * "SupportJobOwnerTool" and the font substitution table.  Empty on
 * success, else a message.
 */
std::string refresh_printer_settings(const OpenPrinter &p)
{
    std::vector<BYTE> printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    if (!UPG_LoadPrinterData(p.handle, printerData.data(), p.model) ||
        !UPG_SaveSharedPrinterData(p.handle, printerData.data(), p.model, TRUE))
        return "the printer's shared settings cannot be stored";
    std::vector<BYTE> extension(SETTINGS_EXTENSION_SIZE, 0);
    BYTE *fax = nullptr, *tmb = nullptr;
    DWORD faxSize = 0, tmbLength = 0;
    if (!PDT_LoadDeviceBlobs(p.handle, p.model, nullptr, PDT_STORE_PRINTER, &fax, &faxSize, extension.data(), &tmb,
                             &tmbLength) &&
        !PDT_BuildDefaultExtension(p.handle, extension.data()))
        return "the printer's device settings cannot be made";
    const BOOL saved = PDT_SaveDeviceBlobs(p.handle, p.model, nullptr, PDT_STORE_PRINTER, fax, faxSize,
                                           extension.data(), tmb, tmbLength);
    GlobalFree(fax);
    GlobalFree(tmb);
    if (!saved)
        return "the printer's device settings cannot be stored";
    const DWORD ownerTool = MDL_HasCapability(p.model->main, kCapJobOwnerTool) ? 1 : 0;
    if (SetPrinterDataW(p.handle, u"SupportJobOwnerTool", REG_DWORD, reinterpret_cast<const BYTE *>(&ownerTool),
                        sizeof ownerTool) != ERROR_SUCCESS)
        return "\"SupportJobOwnerTool\" cannot be written";
    PDT_InitFontSubTable(p.handle, p.model);
    return std::string();
}

} // namespace

bool host_set_printer_number(const std::u16string &printer, WORD id, int value, std::string &error)
{
    OpenPrinter p(printer, PRINTER_ALL_ACCESS);
    std::vector<BYTE> printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    const IdLayoutItem *item = nullptr;
    if (!p.model || !UPG_LoadPrinterData(p.handle, printerData.data(), p.model) ||
        LAYOUT_FindItem(id, nullptr, &item) != 0 ||
        DMB_SetValueArgs(nullptr, printerData.data(), id, item->storedType, value) != DMA_OK ||
        !UPG_SaveSharedPrinterData(p.handle, printerData.data(), p.model, TRUE)) {
        error = "the printer's setting " + std::to_string(id) + " cannot be written";
        return false;
    }
    return true;
}

namespace {

/* Stores the model's defaults for the printer as its devmode.  Empty on success, else a message. */
std::string store_default_settings(const OpenPrinter &p, const std::u16string &name)
{
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    if (!FID_InitDefaults(p.model, image.data(), printerData.data(), name.c_str()))
        return "the model's defaults cannot be made";
    CFG_ApplySpecials(p.model->specials, image.data(), printerData.data(), CFG_APPLY_ENFORCED);
    DWORD needed = 0;
    GetPrinterW(p.handle, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    if (!GetPrinterW(p.handle, 2, info.data(), needed, &needed))
        return "the printer cannot be read (error " + std::to_string(GetLastError()) + ")";
    auto *pi = reinterpret_cast<PRINTER_INFO_2W *>(info.data());
    pi->pDevMode = reinterpret_cast<DEVMODEW *>(image.data()); /* the driver devmode: 220 + 1,384 bytes */
    if (!SetPrinterW(p.handle, 2, info.data(), 0))
        return "the printer's settings cannot be stored (error " + std::to_string(GetLastError()) + ")";
    return std::string();
}

/* The spooler form of a model paper: name, size and imageable area in micrometres. */
bool paper_form(const ModelRecord *paper, std::u16string &name, FORM_INFO_1W &form)
{
    WORD code = paper->id;
    if (FID_IsCustomPaperCode(code)) {
        WCHAR slotName[64] = {};
        if (!RES_MakeCustomPaperName(FID_CustomPaperCodeToSlot(code), slotName, 64))
            return false;
        name = slotName;
        form.Size = SIZEL{kCustomSlotWidth, kCustomSlotLength};
    } else {
        LPCWSTR own = DDD_GetRecordName(paper);
        const DddPair *size = DDD_PaperSize(paper);
        if (!own || !size)
            return false;
        name = own;
        form.Size = SIZEL{LONG(size->first) * 100, LONG(size->second) * 100};
    }
    DddPair first{}, second{};
    DDD_PaperMargins(paper, &first, &second);
    /* first pair: left and bottom margins; second pair: right and top margins */
    form.ImageableArea = RECTL{LONG(first.first) * 100, LONG(second.second) * 100,
                               form.Size.cx - LONG(second.first) * 100, form.Size.cy - LONG(first.second) * 100};
    form.Flags = FORM_PRINTER;
    return true;
}

/* Adds a spooler form for every paper of the model that the spooler lacks. */
void add_missing_forms(const OpenPrinter &p, InstallReport &report)
{
    WORD count = DDD_CountRecords(p.model->main, DDD_KIND_PAPER);
    for (WORD n = 1; n <= count; n++) {
        ModelRecord *paper = nullptr;
        if (DDD_GetRecordByIndex(DDD_PARSE_FULL, p.model->main, p.model->companion, DDD_KIND_PAPER, n, &paper) != 0)
            break;
        WORD code = paper->id;
        std::u16string name;
        FORM_INFO_1W form{};
        if (code != kUserDefinedPaper && !PPR_IsBuiltinForm(p.handle, code)) {
            if (!paper_form(paper, name, form)) {
                report.formsFailed++;
            } else {
                DWORD needed = 0;
                GetFormW(p.handle, name.c_str(), 1, nullptr, 0, &needed);
                if (GetLastError() == ERROR_INVALID_FORM_NAME) {
                    form.pName = name.data();
                    if (AddFormW(p.handle, 1, reinterpret_cast<const BYTE *>(&form)))
                        report.formsAdded++;
                    else
                        report.formsFailed++;
                }
            }
        }
        DDD_FreeRecord(&paper, -1);
    }
}

/* The printer's stored devmode (its dmSize + dmDriverExtra bytes); false when it has none. */
bool take_printer_devmode(HANDLE printer, std::vector<BYTE> &devmode)
{
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    if (!GetPrinterW(printer, 2, info.data(), needed, &needed))
        return false;
    const DEVMODEW *dm = reinterpret_cast<const PRINTER_INFO_2W *>(info.data())->pDevMode;
    if (!dm)
        return false;
    const BYTE *p = reinterpret_cast<const BYTE *>(dm);
    devmode.assign(p, p + size_t(dm->dmSize) + dm->dmDriverExtra);
    return true;
}

} // namespace

bool host_bind_library(std::string &error)
{
    HMODULE self = plat::module_of_address(reinterpret_cast<const void *>(&host_bind_library));
    RES_AttachOwnStrings(self);
    std::u16string path = plat::driver_dir_win() + u"\\tarvelui.dll";
    RES_InitModulePaths(self, path.c_str());
    if (DMB_Load(RES_GetOwnModule()) != 1) {
        error = "the data manager cannot be loaded: " + plat::loader_last_failure();
        DMB_Unload();
        RES_ReleaseAll();
        return false;
    }
    return true;
}

void host_release_library()
{
    DMB_Unload();
    RES_ReleaseAll();
}

namespace {

/* The longest printer name the spooler takes. */
constexpr size_t kMaxPrinterName = 220;

/* The install's steps after the spooler has the printer; empty on success, else a message. */
std::string configure_printer(const std::u16string &printer, const std::string &modelFile, InstallReport &report)
{
    OpenPrinter open(printer, PRINTER_ALL_ACCESS);
    if (!open.handle)
        return "the new printer cannot be opened (error " + std::to_string(GetLastError()) + ")";
    if (!open.model)
        return "the model data " + modelFile + " cannot be opened for " + utf8(printer);
    if (!write_printer_id(open))
        return "the printer's identifier cannot be written (error " + std::to_string(GetLastError()) + ")";
    if (!UPG_WriteUserModeDriverName(open.handle))
        return "\"SPLUserModePrinterDriver\" cannot be written (error " + std::to_string(GetLastError()) + ")";
    std::string error = refresh_printer_settings(open);
    if (error.empty())
        error = store_default_settings(open, printer);
    if (error.empty())
        add_missing_forms(open, report);
    return error;
}

} // namespace

bool host_install_printer(const std::u16string &printer, const std::string &modelFile, const std::u16string &port,
                          InstallReport &report, std::string &error)
{
    if (printer.empty() || printer.size() > kMaxPrinterName) {
        error = "a printer name has 1 to " + std::to_string(kMaxPrinterName) + " characters";
        return false;
    }
    if (port.empty()) {
        error = "the port name is empty";
        return false;
    }
    std::u16string model = plat::utf8_to_utf16(modelFile);
    std::u16string companion = model.substr(0, model.find_last_of(u'.')) + u".DDC";
    plat::SpoolDriver driver;
    driver.name = u"Tarvel " + model.substr(0, model.find_last_of(u'.'));
    driver.driver_file = u"tarvelgr.dll";
    driver.data_file = model;
    driver.config_file = u"tarvelui.dll";
    driver.dependent_files = {companion, u"tarveldm.dll", u"tarvelrs.xrs"};
    DWORD r = plat::spool_add_driver(driver);
    if (r != ERROR_SUCCESS) {
        error = "the driver cannot be installed (error " + std::to_string(r) + ")";
        return false;
    }
    plat::SpoolPrinter p;
    p.name = printer;
    p.driver = driver.name;
    p.port = port;
    r = plat::spool_add_printer(p);
    if (r != ERROR_SUCCESS) {
        error = "the printer cannot be installed (error " + std::to_string(r) + ")";
        return false;
    }
    error = configure_printer(printer, modelFile, report);
    if (error.empty())
        return true;
    /* All or nothing: a printer that is not set up whole is taken away again, so that a later install works. */
    DWORD undone = plat::spool_delete_printer(printer);
    if (undone != ERROR_SUCCESS)
        error += "; the half-installed printer could not be removed (error " + std::to_string(undone) + ")";
    return false;
}

InstallLock::InstallLock()
{
    std::string path = plat::machine_root() + "/install.lock";
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

InstallLock::~InstallLock()
{
    if (fd_ >= 0)
        ::close(fd_); /* lets the lock go */
}

bool host_app_devmode(const std::u16string &printer, std::vector<BYTE> &devmode, std::string &error)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterW(printer.c_str(), &handle, nullptr)) {
        error = "the printer " + utf8(printer) + " cannot be opened";
        return false;
    }
    bool ok = take_printer_devmode(handle, devmode);
    ClosePrinter(handle);
    if (!ok)
        error = "the printer " + utf8(printer) + " has no settings";
    return ok;
}

} // namespace host
