/*
 * Installing the host's printers and building their job devmodes (see
 * host_printer.h), through the common library: the model context, the
 * settings schema's defaults, the per-model configuration, the paper rules
 * and the data-manager binding.
 */
#include "host_printer.h"

#include <tarvel/cfg_model.h>
#include <tarvel/dmb_binding.h>
#include <tarvel/fid_defaults.h>
#include <tarvel/mdl_context.h>
#include <tarvel/mrg_store.h>
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

/* Offsets and values of the job devmode's tail. */
constexpr size_t kJobDevmodeSize = 5920;
constexpr size_t kMarkerOffset = 5896;
constexpr size_t kPaperOffset = 5898; /* paper size, model paper code, four margins */
constexpr WORD kMarker = 24;
constexpr size_t kFormsMergeOffset = 5912;
constexpr size_t kEnforcedColourOffset = 5916;
constexpr WORD kJobDriverExtra = 5700;

/* Settings the tail depends on. */
constexpr WORD kDriverExtraId = 5;
constexpr WORD kPaperSizeId = 8;
constexpr WORD kUseUserStoreId = 463;
constexpr WORD kColourModeId = 270;
constexpr WORD kUserMarginsId = 387;

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

/* A number setting of the job's records, 0 when it cannot be read. */
DWORD setting(BYTE *image, BYTE *printerData, WORD id)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(id, image, printerData, &type, &size, slot) != 0)
        return 0;
    DWORD v = 0;
    std::memcpy(&v, slot, size > 0 && size < 4 ? size_t(size) : 4);
    return v;
}

/*
 * The paper margins a job with user margins uses for `code`: the user's own
 * (when the settings say to use the user's store), else the printer's list,
 * else the built-in ones.  Left, right, top, bottom: the stored third,
 * fourth, first and second values.
 */
void job_paper_margins(const OpenPrinter &p, WORD code, bool userStore, WORD margins[4])
{
    LONG stored[4] = {46, 46, 46, 46};
    bool found = false;
    if (userStore) {
        LPWSTR base = MRG_GetMachineKeyText(p.model);
        found = MRG_ReadUserMargin(p.handle, p.model, base, code, stored) == MRG_OK;
        GlobalFree(base);
    }
    if (!found) {
        PaperMarginList *list = MRG_LoadArray(p.handle);
        found = list && MRG_FindMargin(p.handle, list, code, stored) == MRG_OK;
        MRG_FreeArray(list);
    }
    if (!found)
        MRG_GetDefaultMargin(stored);
    const int order[4] = {2, 3, 0, 1};
    for (int i = 0; i < 4; i++)
        margins[i] = WORD(stored[order[i]]);
}

/* The printer's stored driver devmode (220 + 1,384 bytes) into the start of `image`; false when it has none. */
bool take_printer_devmode(HANDLE printer, BYTE *image)
{
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    std::vector<BYTE> info(needed ? needed : 1);
    if (!GetPrinterW(printer, 2, info.data(), needed, &needed))
        return false;
    const DEVMODEW *dm = reinterpret_cast<const PRINTER_INFO_2W *>(info.data())->pDevMode;
    if (!dm || size_t(dm->dmSize) + dm->dmDriverExtra != SETTINGS_DEVMODE_SIZE)
        return false;
    std::memcpy(image, dm, SETTINGS_DEVMODE_SIZE);
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

bool host_build_job_devmode(const std::u16string &printer, std::vector<BYTE> &jobDevmode, std::string &error)
{
    OpenPrinter open(printer, 0);
    if (!open.model) {
        error = "the printer " + utf8(printer) + " or its model data cannot be opened";
        return false;
    }
    std::vector<BYTE> job(kJobDevmodeSize, 0), printerData(SETTINGS_PRINTERDATA_SIZE, 0);
    if (!FID_InitDefaults(open.model, job.data(), printerData.data(), printer.c_str())) {
        error = "the model's defaults cannot be made";
        return false;
    }
    take_printer_devmode(open.handle, job.data());
    CFG_ApplySpecials(open.model->specials, job.data(), printerData.data(), CFG_APPLY_ENFORCED);
    WORD paper = WORD(setting(job.data(), printerData.data(), kPaperSizeId));
    WORD code = 0;
    if (setting(job.data(), printerData.data(), kUserMarginsId) != 0 &&
        PPR_FormToModelPaper(open.handle, paper, &code) == 1) {
        WORD margins[4];
        job_paper_margins(open, code, setting(job.data(), printerData.data(), kUseUserStoreId) != 0, margins);
        plat::store_u16(job.data(), kPaperOffset, paper);
        plat::store_u16(job.data(), kPaperOffset + 2, code);
        for (int i = 0; i < 4; i++)
            plat::store_u16(job.data(), kPaperOffset + 4 + 2 * i, margins[i]);
    }
    plat::store_u16(job.data(), kMarkerOffset, kMarker);
    plat::store_u32(job.data(), kFormsMergeOffset, PPR_IsFormsMergeEnabled(open.model, printerData.data()) ? 1 : 0);
    plat::store_u32(job.data(), kEnforcedColourOffset, CFG_IsEnforced(kColourModeId, open.model->specials) ? 1 : 0);
    if (DMB_SetValueArgs(job.data(), printerData.data(), kDriverExtraId, SVT_UINT16, int(kJobDriverExtra)) != 0) {
        error = "the job devmode's size cannot be set";
        return false;
    }
    jobDevmode.swap(job);
    return true;
}

} // namespace host
