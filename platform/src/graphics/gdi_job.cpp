/*
 * The engine's side of a job (see plat/gdi.h): printer device contexts, the
 * graphics libraries they load and enable, and the document and page calls
 * that drive a library through its DRVFN table.
 *
 * A library is enabled (DrvEnableDriver) when the first device context loads
 * it and disabled (DrvDisableDriver) when the last one goes; each context
 * holds one reference of its own on the module.  The printer's
 * user-interface library, when its driver names one with DrvDocumentEvent,
 * is loaded for each context and told of every step before the graphics
 * library (see plat/gdi.h).  No engine lock is held while a library works
 * on a device context, so contexts on different threads run side by side,
 * as the library's own locks expect.
 *
 * A context's handle is a number from the GDI object table's counter
 * (gdi_display.h), never its record's address: a deleted context's handle
 * is refused, and the tables keyed by handles elsewhere (the drawing state
 * of gdi_dc_state.cpp, the call and escape logs) never take a later context
 * for an earlier one whose record had the same address.
 */
#include "gdi_display.h"
#include "gdi_escape_log.h"

#include <plat/error.h>
#include <plat/gdi.h>
#include <plat/gdi_dc.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/spooler.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

/* One enabled library: its function table and the device contexts using it. */
struct Driver {
    HMODULE module = nullptr;
    std::vector<DRVFN> table;
    unsigned users = 0;
};

} // namespace

/* One device context. */
struct plat_dc {
    Driver *driver = nullptr;
    HMODULE module = nullptr; /* this context's own reference */
    HANDLE printer = nullptr;
    std::u16string device;
    HDEV hdev = nullptr;
    DHPDEV dhpdev = nullptr;
    HSURF hsurf = nullptr;
    GDIINFO gdiInfo{};
    DEVINFO devInfo{};
    std::vector<BYTE> devmode; /* as handed to DrvEnablePDEV (the job devmode); empty when none was */
    DWORD jobId = 0;
    bool pageOpen = false;
    std::u16string docName; /* of the document in progress */
    HMODULE uiModule = nullptr; /* the user-interface library, for its document events */
    PFN_DrvDocumentEvent docEvent = nullptr;
};

namespace {

/*
 * The enabled libraries are keyed by module handle: an entry lives only
 * while contexts use it, and every such context holds its own reference on
 * the module, so the module cannot be unloaded (and its handle go to another
 * module) while the entry is there.
 */
struct GdiState {
    std::mutex lock;
    std::map<HMODULE, std::unique_ptr<Driver>> drivers;
    std::map<HDC, std::unique_ptr<plat_dc>> dcs; /* the live contexts by handle */
};

GdiState &state()
{
    static GdiState *s = new GdiState;
    return *s;
}

PFN find_function(const Driver *driver, ULONG index)
{
    for (const DRVFN &fn : driver->table)
        if (fn.iFunc == index)
            return fn.pfn;
    return nullptr;
}

template <typename F>
F driver_function(const plat_dc *dc, ULONG index)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)(void)>(find_function(dc->driver, index)));
}

/* The least a devmode holds: its fields up to dmFields, which every reader looks at first. */
constexpr size_t kLeastDevmode = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);

/* Function indexes every library must answer for a device context to exist. */
constexpr ULONG kRequired[] = {INDEX_DrvEnablePDEV, INDEX_DrvCompletePDEV, INDEX_DrvDisablePDEV,
                               INDEX_DrvEnableSurface, INDEX_DrvDisableSurface};

/*
 * The enabled library of `module` for one more device context: enabled now
 * when no context uses it yet.  Null with the last error when the library
 * cannot be enabled.
 */
Driver *acquire_driver(HMODULE module)
{
    GdiState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.drivers.find(module);
    if (it != s.drivers.end()) {
        it->second->users++;
        return it->second.get();
    }
    auto enable = plat::proc_cast<PFN_DrvEnableDriver>(GetProcAddress(module, "DrvEnableDriver"));
    if (!enable) {
        SetLastError(ERROR_INVALID_DRIVER);
        return nullptr;
    }
    DRVENABLEDATA ded{};
    SetLastError(0);
    if (!enable(DDI_DRIVER_VERSION_NT5, sizeof ded, &ded)) {
        if (GetLastError() == 0)
            SetLastError(ERROR_INVALID_DRIVER);
        return nullptr;
    }
    auto driver = std::make_unique<Driver>();
    driver->module = module;
    if (ded.pdrvfn)
        driver->table.assign(ded.pdrvfn, ded.pdrvfn + std::min<ULONG>(ded.c, INDEX_LAST + 1));
    for (ULONG index : kRequired) {
        if (!find_function(driver.get(), index)) {
            auto disable = plat::proc_cast<PFN_DrvDisableDriver>(GetProcAddress(module, "DrvDisableDriver"));
            if (disable)
                disable();
            SetLastError(ERROR_INVALID_DRIVER);
            return nullptr;
        }
    }
    driver->users = 1;
    Driver *d = driver.get();
    s.drivers.emplace(module, std::move(driver));
    return d;
}

/* One device context fewer on `driver`: the last one disables the library. */
void release_driver(Driver *driver)
{
    GdiState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (--driver->users > 0)
        return;
    auto disable = plat::proc_cast<PFN_DrvDisableDriver>(GetProcAddress(driver->module, "DrvDisableDriver"));
    if (disable)
        disable();
    s.drivers.erase(driver->module);
}

/* Which file of the printer's driver (DRIVER_INFO_2W) a path is asked for. */
enum class DriverFile { Graphics, Config };

/*
 * The full path of the printer's graphics library (pDriverPath) or
 * user-interface library (pConfigFile); empty on failure or without one.
 */
std::u16string driver_file_path(HANDLE printer, DriverFile which)
{
    DWORD needed = 0;
    GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
    if (needed == 0)
        return std::u16string();
    std::vector<BYTE> buf(needed);
    if (!GetPrinterDriverW(printer, nullptr, 2, buf.data(), needed, &needed))
        return std::u16string();
    const auto *info = reinterpret_cast<const DRIVER_INFO_2W *>(buf.data());
    LPCWSTR path = which == DriverFile::Graphics ? info->pDriverPath : info->pConfigFile;
    return path ? std::u16string(path) : std::u16string();
}

/*
 * Loads the printer's user-interface library for the context's document
 * events; a printer without one, or one without DrvDocumentEvent, gets no
 * events (the last error is kept).
 */
void load_event_library(plat_dc *dc)
{
    DWORD error = GetLastError();
    std::u16string path = driver_file_path(dc->printer, DriverFile::Config);
    HMODULE module = path.empty() ? nullptr : LoadLibraryW(path.c_str());
    auto fn = module ? plat::proc_cast<PFN_DrvDocumentEvent>(GetProcAddress(module, "DrvDocumentEvent")) : nullptr;
    if (fn) {
        dc->uiModule = module;
        dc->docEvent = fn;
    } else if (module) {
        FreeLibrary(module);
    }
    SetLastError(error);
}

/* Sends document event `event` to the context's user-interface library: its answer, 0 without one. */
int doc_event(plat_dc *dc, HDC hdc, int event, ULONG cbIn, PVOID in, ULONG cbOut = 0, PVOID out = nullptr)
{
    if (!dc->docEvent)
        return DOCUMENTEVENT_UNSUPPORTED;
    return dc->docEvent(dc->printer, hdc, event, cbIn, in, cbOut, out);
}

/* Runs an event that may refuse the call: false (with ERROR_CANCELLED unless the library set an error) on -1. */
bool event_allows(plat_dc *dc, HDC hdc, int event, ULONG cbIn, PVOID in, ULONG cbOut = 0, PVOID out = nullptr)
{
    SetLastError(0);
    if (doc_event(dc, hdc, event, cbIn, in, cbOut, out) != DOCUMENTEVENT_FAILURE)
        return true;
    if (GetLastError() == 0)
        SetLastError(ERROR_CANCELLED);
    return false;
}

/* The printer's own devmode (dmSize + dmDriverExtra bytes); empty when it has none. */
std::vector<BYTE> printer_devmode(HANDLE printer)
{
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed == 0)
        return {};
    std::vector<BYTE> buf(needed);
    if (!GetPrinterW(printer, 2, buf.data(), needed, &needed))
        return {};
    const auto *info = reinterpret_cast<const PRINTER_INFO_2W *>(buf.data());
    if (!info->pDevMode)
        return {};
    const BYTE *dm = reinterpret_cast<const BYTE *>(info->pDevMode);
    size_t size = size_t(info->pDevMode->dmSize) + info->pDevMode->dmDriverExtra;
    return std::vector<BYTE>(dm, dm + size);
}

/* Closes what a device context holds; the context itself is freed by the caller. */
void close_dc(plat_dc *dc)
{
    if (dc->dhpdev) {
        driver_function<PFN_DrvDisableSurface>(dc, INDEX_DrvDisableSurface)(dc->dhpdev);
        driver_function<PFN_DrvDisablePDEV>(dc, INDEX_DrvDisablePDEV)(dc->dhpdev);
    }
    if (dc->hdev)
        plat::engine_delete_device(dc->hdev);
    if (dc->driver)
        release_driver(dc->driver);
    if (dc->module)
        FreeLibrary(dc->module);
    if (dc->uiModule)
        FreeLibrary(dc->uiModule);
    if (dc->printer)
        ClosePrinter(dc->printer);
}

/* The live device context of `hdc`, or null. */
plat_dc *live_dc(HDC hdc)
{
    GdiState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = hdc ? s.dcs.find(hdc) : s.dcs.end();
    return it == s.dcs.end() ? nullptr : it->second.get();
}

/*
 * A reset closes the spooler's handles and unloads every module, so the
 * records of contexts and libraries left open by a test are simply
 * forgotten (their memory is released).
 */
void reset_gdi()
{
    GdiState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.dcs.clear();
    s.drivers.clear();
}

const bool registered = (plat::machine_on_reset(reset_gdi), true);

} // namespace

HDC CreateDCW(LPCWSTR pwszDriver, LPCWSTR pwszDevice, LPCWSTR pszPort, const DEVMODEW *pdm)
{
    (void)pszPort;
    if (plat::gdi::is_display_driver(pwszDriver))
        return plat::gdi::create_display_dc();
    if (!pwszDevice || !*pwszDevice) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        return nullptr;
    }
    auto dc = std::make_unique<plat_dc>();
    dc->device = pwszDevice;
    /* The job devmode the user-interface library made at CREATEDCPRE, handed back at CREATEDCPOST. */
    DEVMODEW *jobDevmode = nullptr;
    bool preDone = false;
    auto fail = [&dc, &jobDevmode, &preDone]() -> HDC {
        DWORD error = GetLastError();
        if (preDone) {
            /* The library frees its devmode and forgets the context that never came to be. */
            doc_event(dc.get(), nullptr, DOCUMENTEVENT_CREATEDCPOST, sizeof jobDevmode, &jobDevmode);
            doc_event(dc.get(), nullptr, DOCUMENTEVENT_DELETEDC, 0, nullptr);
        }
        close_dc(dc.get());
        SetLastError(error);
        return nullptr;
    };
    if (!OpenPrinterW(pwszDevice, &dc->printer, nullptr))
        return fail();
    if (pdm && pdm->dmSize < kLeastDevmode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return fail();
    }
    load_event_library(dc.get());
    if (dc->docEvent) {
        std::u16string driverName = pwszDriver ? std::u16string(pwszDriver) : std::u16string();
        DOCEVENT_CREATEDCPRE pre{pwszDriver ? driverName.data() : nullptr, dc->device.data(),
                                 const_cast<DEVMODEW *>(pdm), FALSE};
        if (!event_allows(dc.get(), nullptr, DOCUMENTEVENT_CREATEDCPRE, sizeof pre, &pre, sizeof jobDevmode,
                          &jobDevmode))
            return fail();
        preDone = true;
        if (jobDevmode) {
            if (jobDevmode->dmSize < kLeastDevmode) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return fail();
            }
            pdm = jobDevmode;
        }
    }
    std::u16string path = driver_file_path(dc->printer, DriverFile::Graphics);
    if (path.empty()) {
        SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
        return fail();
    }
    dc->module = LoadLibraryW(path.c_str());
    if (!dc->module)
        return fail();
    dc->driver = acquire_driver(dc->module);
    if (!dc->driver)
        return fail();

    std::vector<BYTE> devmode;
    if (pdm) {
        const BYTE *p = reinterpret_cast<const BYTE *>(pdm);
        devmode.assign(p, p + size_t(pdm->dmSize) + pdm->dmDriverExtra);
    } else {
        devmode = printer_devmode(dc->printer);
    }
    dc->devmode = devmode; /* kept before the library sees it: the settings the job prints with */
    dc->hdev = plat::engine_create_device();
    HSURF patterns[HS_DDI_MAX] = {};
    std::u16string deviceName = dc->device;
    SetLastError(0);
    dc->dhpdev = driver_function<PFN_DrvEnablePDEV>(dc.get(), INDEX_DrvEnablePDEV)(
        devmode.empty() ? nullptr : reinterpret_cast<DEVMODEW *>(devmode.data()), nullptr, HS_DDI_MAX, patterns,
        sizeof dc->gdiInfo, reinterpret_cast<ULONG *>(&dc->gdiInfo), sizeof dc->devInfo, &dc->devInfo, dc->hdev,
        deviceName.data(), dc->printer);
    if (!dc->dhpdev)
        return fail();
    plat::engine_set_device_pdev(dc->hdev, dc->dhpdev);
    driver_function<PFN_DrvCompletePDEV>(dc.get(), INDEX_DrvCompletePDEV)(dc->dhpdev, dc->hdev);
    dc->hsurf = driver_function<PFN_DrvEnableSurface>(dc.get(), INDEX_DrvEnableSurface)(dc->dhpdev);
    if (!dc->hsurf)
        return fail();

    const HDC hdc = reinterpret_cast<HDC>(plat::gdi::reserve_handle());
    plat_dc *made = dc.get();
    {
        GdiState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        s.dcs.emplace(hdc, std::move(dc));
    }
    if (preDone)
        doc_event(made, hdc, DOCUMENTEVENT_CREATEDCPOST, sizeof jobDevmode, &jobDevmode);
    return hdc;
}

BOOL DeleteDC(HDC hdc)
{
    if (plat::gdi::delete_display_dc(hdc))
        return TRUE;
    plat_dc *dc = live_dc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (dc->jobId)
        AbortDoc(hdc);
    doc_event(dc, hdc, DOCUMENTEVENT_DELETEDC, 0, nullptr);
    std::unique_ptr<plat_dc> gone;
    {
        GdiState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        auto it = s.dcs.find(hdc);
        if (it != s.dcs.end()) {
            gone = std::move(it->second);
            s.dcs.erase(it);
        }
    }
    if (!gone) { /* deleted meanwhile on another thread */
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    close_dc(gone.get());
    gone.reset();
    /* The context's drawing state goes with it (its handle is never handed out again either way). */
    plat::gdi_dc_forget(hdc);
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index)
{
    int display = 0;
    if (plat::gdi::display_caps(hdc, index, &display))
        return display;
    plat_dc *dc = live_dc(hdc);
    if (!dc)
        return 0;
    const GDIINFO &gi = dc->gdiInfo;
    switch (index) {
    case TECHNOLOGY:
        return int(gi.ulTechnology);
    case HORZSIZE:
        return int(gi.ulHorzSize);
    case VERTSIZE:
        return int(gi.ulVertSize);
    case HORZRES:
        return int(gi.ulHorzRes);
    case VERTRES:
        return int(gi.ulVertRes);
    case BITSPIXEL:
        return int(gi.cBitsPixel);
    case PLANES:
        return int(gi.cPlanes);
    case NUMCOLORS:
        return int(gi.ulNumColors);
    case ASPECTX:
        return int(gi.ulAspectX);
    case ASPECTY:
        return int(gi.ulAspectY);
    case ASPECTXY:
        return int(gi.ulAspectXY);
    case LOGPIXELSX:
        return int(gi.ulLogPixelsX);
    case LOGPIXELSY:
        return int(gi.ulLogPixelsY);
    case PHYSICALWIDTH:
        return gi.szlPhysSize.cx;
    case PHYSICALHEIGHT:
        return gi.szlPhysSize.cy;
    case PHYSICALOFFSETX:
        return gi.ptlPhysOffset.x;
    case PHYSICALOFFSETY:
        return gi.ptlPhysOffset.y;
    default:
        return 0;
    }
}

namespace plat {

bool gdi_dc_info(HDC hdc, GdiDcInfo *info)
{
    plat_dc *dc = live_dc(hdc);
    if (!dc || !info)
        return false;
    info->dhpdev = dc->dhpdev;
    info->hdev = dc->hdev;
    info->hsurf = dc->hsurf;
    info->printer = dc->printer;
    info->gdiInfo = dc->gdiInfo;
    info->devInfo = dc->devInfo;
    info->jobId = dc->jobId;
    return true;
}

bool gdi_dc_devmode(HDC hdc, std::vector<BYTE> &devmode)
{
    plat_dc *dc = live_dc(hdc);
    if (!dc)
        return false;
    devmode = dc->devmode;
    return true;
}

PFN gdi_driver_function(HDC hdc, ULONG index)
{
    plat_dc *dc = live_dc(hdc);
    return dc ? find_function(dc->driver, index) : nullptr;
}

size_t gdi_dc_count()
{
    GdiState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.dcs.size();
}

} // namespace plat

/* ---- Documents and pages ---------------------------------------------------- */

namespace {

/*
 * Runs `call` with the context's surface locked (the SURFOBJ the library
 * finds its device context in).  FALSE with ERROR_INVALID_HANDLE when the
 * surface is gone, ERROR_INVALID_DRIVER when the library lacks the function.
 */
template <typename F, typename Call>
BOOL with_surface(plat_dc *dc, ULONG index, Call call)
{
    F fn = driver_function<F>(dc, index);
    if (!fn) {
        SetLastError(ERROR_INVALID_DRIVER);
        return FALSE;
    }
    SURFOBJ *pso = EngLockSurface(dc->hsurf);
    if (!pso) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BOOL ok = call(fn, pso);
    EngUnlockSurface(pso);
    return ok;
}

/* The live context of `hdc` with a document started, or null with ERROR_INVALID_PARAMETER / _HANDLE. */
plat_dc *doc_dc(HDC hdc)
{
    plat_dc *dc = live_dc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!dc->jobId) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return dc;
}

} // namespace

int StartDocW(HDC hdc, const DOCINFOW *lpdi)
{
    plat_dc *dc = live_dc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return SP_ERROR;
    }
    if (dc->jobId || !lpdi) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SP_ERROR;
    }
    const DOCINFOW *docInfo = lpdi;
    if (!event_allows(dc, hdc, DOCUMENTEVENT_STARTDOC, sizeof docInfo, &docInfo))
        return SP_ERROR;
    std::u16string name = lpdi->lpszDocName ? lpdi->lpszDocName : u"";
    std::u16string output = lpdi->lpszOutput ? lpdi->lpszOutput : u"";
    std::u16string raw = u"RAW";
    DOC_INFO_1W info{name.data(), lpdi->lpszOutput ? output.data() : nullptr, raw.data()};
    DWORD job = StartDocPrinterW(dc->printer, 1, reinterpret_cast<const BYTE *>(&info));
    if (job == 0)
        return SP_ERROR;
    SetLastError(0);
    BOOL ok = with_surface<PFN_DrvStartDoc>(dc, INDEX_DrvStartDoc, [&](PFN_DrvStartDoc fn, SURFOBJ *pso) {
        return fn(pso, name.data(), job);
    });
    if (!ok) {
        DWORD error = GetLastError();
        AbortPrinter(dc->printer);
        SetLastError(error);
        return SP_ERROR;
    }
    dc->jobId = job;
    dc->pageOpen = false;
    dc->docName = name;
    /* The library's refusal after the job started abandons the document. */
    DWORD jobId = job;
    if (!event_allows(dc, hdc, DOCUMENTEVENT_STARTDOCPOST, sizeof jobId, &jobId)) {
        DWORD error = GetLastError();
        AbortDoc(hdc);
        SetLastError(error);
        return SP_ERROR;
    }
    return int(job);
}

int StartPage(HDC hdc)
{
    plat_dc *dc = doc_dc(hdc);
    if (!dc)
        return SP_ERROR;
    if (!event_allows(dc, hdc, DOCUMENTEVENT_STARTPAGE, 0, nullptr))
        return SP_ERROR;
    if (!dc->pageOpen && !StartPagePrinter(dc->printer))
        return SP_ERROR;
    dc->pageOpen = true;
    BOOL ok = with_surface<PFN_DrvStartPage>(dc, INDEX_DrvStartPage,
                                             [](PFN_DrvStartPage fn, SURFOBJ *pso) { return fn(pso); });
    plat::gdi_dc_log_call(hdc, "StartPage", {}, ok);
    return ok ? 1 : SP_ERROR;
}

int EndPage(HDC hdc)
{
    plat_dc *dc = doc_dc(hdc);
    if (!dc)
        return SP_ERROR;
    if (!event_allows(dc, hdc, DOCUMENTEVENT_ENDPAGE, 0, nullptr))
        return SP_ERROR;
    BOOL ok = with_surface<PFN_DrvSendPage>(dc, INDEX_DrvSendPage,
                                            [](PFN_DrvSendPage fn, SURFOBJ *pso) { return fn(pso); });
    if (dc->pageOpen) {
        DWORD error = GetLastError();
        EndPagePrinter(dc->printer);
        dc->pageOpen = false;
        SetLastError(error);
    }
    plat::gdi_dc_log_call(hdc, "EndPage", {}, ok);
    return ok ? 1 : SP_ERROR;
}

namespace {

/* Ends the context's document with `flags` to DrvEndDoc; `abort` deletes the spooler job. */
int end_document(HDC hdc, FLONG flags, bool abort)
{
    plat_dc *dc = doc_dc(hdc);
    if (!dc)
        return SP_ERROR;
    if (abort)
        doc_event(dc, hdc, DOCUMENTEVENT_ABORTDOC, 0, nullptr);
    else if (!event_allows(dc, hdc, DOCUMENTEVENT_ENDDOC, 0, nullptr))
        return SP_ERROR;
    BOOL ok = with_surface<PFN_DrvEndDoc>(dc, INDEX_DrvEndDoc,
                                          [flags](PFN_DrvEndDoc fn, SURFOBJ *pso) { return fn(pso, flags); });
    DWORD error = GetLastError();
    if (dc->pageOpen)
        EndPagePrinter(dc->printer);
    BOOL spooled = abort ? AbortPrinter(dc->printer) : EndDocPrinter(dc->printer);
    dc->jobId = 0;
    dc->pageOpen = false;
    if (!abort)
        doc_event(dc, hdc, DOCUMENTEVENT_ENDDOCPOST, 0, nullptr);
    if (!ok)
        SetLastError(error);
    return ok && spooled ? 1 : SP_ERROR;
}

} // namespace

int EndDoc(HDC hdc) { return end_document(hdc, 0, false); }

int AbortDoc(HDC hdc) { return end_document(hdc, ED_ABORTDOC, true); }

/* ---- Reset ------------------------------------------------------------------ */

HDC ResetDCW(HDC hdc, const DEVMODEW *pdm)
{
    plat_dc *dc = live_dc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!pdm || pdm->dmSize < kLeastDevmode || dc->pageOpen) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    /* The library's job devmode for the new settings, handed back at RESETDCPOST whatever the reset did. */
    DEVMODEW *jobDevmode = nullptr;
    const DEVMODEW *asked = pdm;
    if (!event_allows(dc, hdc, DOCUMENTEVENT_RESETDCPRE, sizeof asked, &asked, sizeof jobDevmode, &jobDevmode))
        return nullptr;
    auto post = [&](HDC result) -> HDC {
        if (dc->docEvent) {
            DWORD error = GetLastError();
            doc_event(dc, hdc, DOCUMENTEVENT_RESETDCPOST, sizeof jobDevmode, &jobDevmode);
            SetLastError(error);
        }
        return result;
    };
    if (jobDevmode) {
        if (jobDevmode->dmSize < kLeastDevmode) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return post(nullptr);
        }
        pdm = jobDevmode;
    }
    const BYTE *p = reinterpret_cast<const BYTE *>(pdm);
    std::vector<BYTE> devmode(p, p + size_t(pdm->dmSize) + pdm->dmDriverExtra);
    std::vector<BYTE> handed = devmode; /* kept as the context's devmode once the reset is done */
    HDEV hdev = plat::engine_create_device();
    HSURF patterns[HS_DDI_MAX] = {};
    GDIINFO gdiInfo{};
    DEVINFO devInfo{};
    std::u16string deviceName = dc->device;
    SetLastError(0);
    DHPDEV fresh = driver_function<PFN_DrvEnablePDEV>(dc, INDEX_DrvEnablePDEV)(
        reinterpret_cast<DEVMODEW *>(devmode.data()), nullptr, HS_DDI_MAX, patterns, sizeof gdiInfo,
        reinterpret_cast<ULONG *>(&gdiInfo), sizeof devInfo, &devInfo, hdev, deviceName.data(), dc->printer);
    if (!fresh) {
        DWORD error = GetLastError();
        plat::engine_delete_device(hdev);
        SetLastError(error);
        return post(nullptr);
    }
    plat::engine_set_device_pdev(hdev, fresh);
    driver_function<PFN_DrvCompletePDEV>(dc, INDEX_DrvCompletePDEV)(fresh, hdev);
    auto undo = [&](HSURF surface) -> HDC {
        DWORD error = GetLastError();
        if (surface)
            driver_function<PFN_DrvDisableSurface>(dc, INDEX_DrvDisableSurface)(fresh);
        driver_function<PFN_DrvDisablePDEV>(dc, INDEX_DrvDisablePDEV)(fresh);
        plat::engine_delete_device(hdev);
        SetLastError(error);
        return post(nullptr);
    };
    /* The old context hands over to the new one (inside a document, the running job). */
    auto reset = driver_function<PFN_DrvResetPDEV>(dc, INDEX_DrvResetPDEV);
    if (!reset) {
        SetLastError(ERROR_INVALID_DRIVER);
        return undo(nullptr);
    }
    if (!reset(dc->dhpdev, fresh))
        return undo(nullptr);
    HSURF surface = driver_function<PFN_DrvEnableSurface>(dc, INDEX_DrvEnableSurface)(fresh);
    if (!surface)
        return undo(nullptr);
    driver_function<PFN_DrvDisableSurface>(dc, INDEX_DrvDisableSurface)(dc->dhpdev);
    driver_function<PFN_DrvDisablePDEV>(dc, INDEX_DrvDisablePDEV)(dc->dhpdev);
    plat::engine_delete_device(dc->hdev);
    dc->dhpdev = fresh;
    dc->hdev = hdev;
    dc->hsurf = surface;
    dc->gdiInfo = gdiInfo;
    dc->devInfo = devInfo;
    dc->devmode = std::move(handed);
    if (dc->jobId) {
        /* The document goes on on the new context. */
        std::u16string name = dc->docName;
        DWORD job = dc->jobId;
        BOOL ok = with_surface<PFN_DrvStartDoc>(dc, INDEX_DrvStartDoc, [&](PFN_DrvStartDoc fn, SURFOBJ *pso) {
            return fn(pso, name.data(), job);
        });
        if (!ok)
            return post(nullptr);
    }
    return post(hdc);
}

/* ---- Escapes ---------------------------------------------------------------- */

int ExtEscape(HDC hdc, int code, int cbIn, LPCSTR in, int cbOut, LPSTR out)
{
    plat_dc *dc = live_dc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    if (cbIn < 0 || cbOut < 0 || (cbIn > 0 && !in) || (cbOut > 0 && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DOCEVENT_ESCAPE escape{code, cbIn, const_cast<LPSTR>(in)};
    doc_event(dc, hdc, DOCUMENTEVENT_ESCAPE, sizeof escape, &escape);
    int scripted = 0;
    if (plat::gdi_escape_scripted(code, &scripted, cbOut, out)) {
        plat::gdi_escape_record(hdc, code, cbIn, in, cbOut, scripted, true);
        return scripted;
    }
    auto fn = driver_function<PFN_DrvEscape>(dc, INDEX_DrvEscape);
    if (!fn) {
        plat::gdi_escape_record(hdc, code, cbIn, in, cbOut, 0, false);
        return 0;
    }
    SURFOBJ *pso = EngLockSurface(dc->hsurf);
    if (!pso) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    ULONG answer = fn(pso, ULONG(code), ULONG(cbIn), const_cast<LPSTR>(in), ULONG(cbOut), out);
    EngUnlockSurface(pso);
    plat::gdi_escape_record(hdc, code, cbIn, in, cbOut, int(answer), false);
    return int(answer);
}
