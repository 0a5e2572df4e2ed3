/*
 * Installing the host's printers and reading the devmode an application
 * prints with (see host_printer.h), through the common library: the model
 * context, the settings schema's defaults, the per-model configuration, the
 * paper rules and the data-manager binding.
 */
#include "host_printer.h"
#include "host_errors.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/res_text.h>
#include <tarvel/model_data/cfg_model.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/ppr_paper.h>
#include <tarvel/stores/pdt_blob.h>
#include <tarvel/stores/pdt_chunk.h>
#include <tarvel/stores/pdt_fontsub.h>
#include <tarvel/stores/prn_store.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace host {

namespace {

/* The spooler's event of a printer being installed (DrvPrinterEvent). */
constexpr int kPrinterEventInitialise = 3;

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

/* The spooler's forms, counted. */
int form_count(HANDLE printer)
{
    DWORD needed = 0, count = 0;
    EnumFormsW(printer, 1, nullptr, 0, &needed, &count);
    std::vector<BYTE> forms(needed ? needed : 1);
    return EnumFormsW(printer, 1, forms.data(), needed, &needed, &count) ? int(count) : 0;
}

/* A value of the printer's data exists (any type and size). */
bool has_value(HANDLE printer, LPCWSTR name)
{
    DWORD type = 0, needed = 0;
    BYTE probe = 0;
    const DWORD r = GetPrinterDataW(printer, name, &type, &probe, 0, &needed);
    return r == ERROR_SUCCESS || r == ERROR_MORE_DATA;
}

/*
 * What the printer-initialisation event must have stored and the printer
 * lacks, in words; empty when it has all of it.
 */
std::string missing_stored_part(HANDLE printer)
{
    BYTE id[PRN_ID_SIZE] = {};
    DWORD size = 0;
    if (!REG_ReadPrnId(printer, id))
        return "the printer's identifier was not stored";
    if (!has_value(printer, u"SPLUserModePrinterDriver") || !has_value(printer, u"SupportJobOwnerTool"))
        return "the printer's driver values were not stored";
    if (!PDT_ReadNamedBlob(printer, PDT_BLOB_PRINTERDATA, nullptr, &size) ||
        !PDT_ReadNamedBlob(printer, PDT_BLOB_FONTSUBTABLE, nullptr, &size))
        return "the printer's shared settings were not stored";
    std::vector<BYTE> extension(SETTINGS_EXTENSION_SIZE, 0);
    if (!PDT_ReadNDev(printer, nullptr, PDT_STORE_PRINTER, extension.data(), nullptr, nullptr))
        return "the printer's device settings were not stored";
    return std::string();
}

/*
 * Runs the printer-initialisation event of the user-interface library, as
 * the spooler does when it installs a printer, and reads back what it must
 * have stored (the event itself never reports a failure).  Empty on
 * success, else a message.
 */
std::string initialise_through_library(const std::u16string &printer, const OpenPrinter &p, InstallReport &report)
{
    HMODULE ui = LoadLibraryW(u"tarvelui.dll");
    if (!ui)
        return "the user-interface library cannot be loaded: " + plat::loader_last_failure();
    using PrinterEvent = BOOL (*)(LPWSTR, int, DWORD, LPARAM);
    auto event = plat::proc_cast<PrinterEvent>(GetProcAddress(ui, "DrvPrinterEvent"));
    const int before = form_count(p.handle);
    std::u16string name = printer;
    if (event)
        event(name.data(), kPrinterEventInitialise, 0, 0);
    FreeLibrary(ui);
    if (!event)
        return "the user-interface library has no printer events";
    report.formsAdded = form_count(p.handle) - before;
    return missing_stored_part(p.handle);
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
        return "the printer cannot be read: " + host_error_text(GetLastError());
    auto *pi = reinterpret_cast<PRINTER_INFO_2W *>(info.data());
    pi->pDevMode = reinterpret_cast<DEVMODEW *>(image.data()); /* the driver devmode: 220 + 1,384 bytes */
    if (!SetPrinterW(p.handle, 2, info.data(), 0))
        return "the printer's settings cannot be stored: " + host_error_text(GetLastError());
    return std::string();
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

/* The driver name of the product the language monitor follows, as the monitor's supported models name it. */
constexpr char16_t kProductDriver[] = u"OSTREL RV-K4100 PCL 6";

/*
 * The driver a model file is installed under.  The standard model file is
 * the product the language monitor follows, so its driver takes the
 * product's driver name and names the language monitor; every other model
 * file gets a driver of its own ("Tarvel <file>") without one, so that
 * installing one never replaces another's model data.
 */
void name_driver(const std::u16string &model, plat::SpoolDriver &driver)
{
    const std::u16string stem = model.substr(0, model.find_last_of(u'.'));
    std::string upper = plat::utf16_to_utf8(stem);
    for (char &c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "TARVEL1") {
        driver.name = kProductDriver;
        driver.monitor_name = u"Tarvel Language Monitor";
    } else {
        driver.name = u"Tarvel " + stem;
    }
}

/* Where the spooler keeps a printer's driver name for its monitors to read. */
std::u16string printer_key(const std::u16string &printer)
{
    return u"System\\CurrentControlSet\\control\\Print\\Printers\\" + printer;
}

/* Records the printer's driver name there; empty on success, else a message. */
std::string record_printer_driver(const std::u16string &printer, const std::u16string &driver)
{
    HKEY key = nullptr;
    LONG r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, printer_key(printer).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &key, nullptr);
    if (r == ERROR_SUCCESS) {
        r = RegSetValueExW(key, u"Printer Driver", 0, REG_SZ, reinterpret_cast<const BYTE *>(driver.c_str()),
                           DWORD((driver.size() + 1) * sizeof(char16_t)));
        RegCloseKey(key);
    }
    return r == ERROR_SUCCESS ? std::string() : "the printer's driver cannot be recorded: " + host_error_text(DWORD(r));
}

/* The install's steps after the spooler has the printer; empty on success, else a message. */
std::string configure_printer(const std::u16string &printer, const std::string &modelFile, InstallReport &report)
{
    OpenPrinter open(printer, PRINTER_ALL_ACCESS);
    if (!open.handle)
        return "the new printer cannot be opened: " + host_error_text(GetLastError());
    if (!open.model)
        return "the model data " + modelFile + " cannot be opened for " + utf8(printer);
    std::string error = initialise_through_library(printer, open, report);
    if (error.empty())
        error = store_default_settings(open, printer);
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
    name_driver(model, driver);
    driver.driver_file = u"tarvelgr.dll";
    driver.data_file = model;
    driver.config_file = u"tarvelui.dll";
    driver.dependent_files = {companion, u"tarveldm.dll", u"tarvelrs.xrs"};
    DWORD r = plat::spool_add_driver(driver);
    if (r != ERROR_SUCCESS) {
        error = "the driver cannot be installed: " + host_error_text(r);
        return false;
    }
    plat::SpoolPrinter p;
    p.name = printer;
    p.driver = driver.name;
    p.port = port;
    /* as the spooler does for a driver with a language monitor: bidirectional support on */
    if (!driver.monitor_name.empty())
        p.attributes |= PRINTER_ATTRIBUTE_ENABLE_BIDI;
    r = plat::spool_add_printer(p);
    if (r == ERROR_PRINTER_ALREADY_EXISTS) {
        error = "the printer " + utf8(printer) + " is already installed (tarvel remove takes it away)";
        return false;
    }
    if (r != ERROR_SUCCESS) {
        error = "the printer " + utf8(printer) + " cannot be installed: " + host_error_text(r);
        return false;
    }
    error = record_printer_driver(printer, driver.name);
    if (error.empty())
        error = configure_printer(printer, modelFile, report);
    if (error.empty())
        return true;
    /* All or nothing: a printer that is not set up whole is taken away again, so that a later install works. */
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, printer_key(printer).c_str());
    DWORD undone = plat::spool_delete_printer(printer);
    if (undone != ERROR_SUCCESS)
        error += "; the half-installed printer could not be removed: " + host_error_text(undone);
    return false;
}

InstallLock::InstallLock()
{
    const std::string path = plat::machine_root() + "/install.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    int e = fd < 0 ? errno : 0;
    struct stat sb;
    if (!e && (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)))
        e = EINVAL; /* a device or FIFO planted at the name is no lock */
    while (!e && ::flock(fd, LOCK_EX) != 0)
        if (errno != EINTR)
            e = errno;
    if (e) {
        if (fd >= 0)
            ::close(fd);
        error_ = "the install lock " + path + " cannot be taken: " +
                 (e == ELOOP                   ? std::string("it is a symbolic link")
                  : e == EINVAL || e == EISDIR ? std::string("it is not a file")
                                               : std::string(std::strerror(e)));
        return;
    }
    fd_ = fd;
}

InstallLock::~InstallLock()
{
    if (fd_ >= 0)
        ::close(fd_); /* lets the lock go */
}

PrinterState host_printer_state(const std::u16string &printer)
{
    HANDLE handle = nullptr;
    if (!OpenPrinterW(printer.c_str(), &handle, nullptr))
        return GetLastError() == ERROR_INVALID_PRINTER_NAME ? PrinterState::Missing : PrinterState::Half;
    std::vector<BYTE> devmode;
    const bool whole = take_printer_devmode(handle, devmode) && missing_stored_part(handle).empty();
    ClosePrinter(handle);
    return whole ? PrinterState::Whole : PrinterState::Half;
}

bool host_remove_printer(const std::u16string &printer, std::string &error)
{
    const DWORD r = plat::spool_delete_printer(printer);
    if (r != ERROR_SUCCESS) {
        error = "the printer " + utf8(printer) + " cannot be removed: " +
                (r == ERROR_INVALID_PRINTER_NAME ? std::string("there is no such printer") : host_error_text(r));
        return false;
    }
    const LONG k = RegDeleteKeyW(HKEY_LOCAL_MACHINE, printer_key(printer).c_str());
    if (k != ERROR_SUCCESS && k != ERROR_FILE_NOT_FOUND) {
        error = "the printer " + utf8(printer) + " was removed, but its driver record cannot be: " +
                host_error_text(DWORD(k));
        return false;
    }
    return true;
}

bool host_ensure_printer(const std::u16string &printer, const std::string &modelFile, const std::u16string &port,
                         bool &installed, std::string &note, std::string &error)
{
    installed = false;
    const PrinterState state = host_printer_state(printer);
    if (state == PrinterState::Whole)
        return true;
    if (state == PrinterState::Half) {
        if (!host_remove_printer(printer, error))
            return false;
        note = "the printer " + utf8(printer) + " was left half-installed by an interrupted install; it is installed again";
    }
    InstallReport report;
    installed = host_install_printer(printer, modelFile, port, report, error);
    return installed;
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
