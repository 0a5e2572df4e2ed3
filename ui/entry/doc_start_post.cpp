/*
 * Start-doc-post, before the job data go: the warning for a job that a
 * shared network printer would hold, the copy sets registered with the
 * document monitor, and the model's job companion program started.
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/base/res_module.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/stores/jwm_record.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/gdi.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/process.h>
#include <plat/resource.h>
#include <plat/spooler.h>
#include <plat/text.h>
#include <plat/window_min.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace {

enum : WORD {
    S_HELD_JOB = 336,        /* 1: the job is held at the printer */
    S_COPY_SET_ONE = 379,    /* non-zero: one job covers every copy set */
    S_COPY_SETS = 380,
    S_HEADERS_BY_UI = 1333,  /* the job headers are built here, per copy set */
    S_JOB_ID_WRITE = 8201,
    S_JOB_ID_ON = 1321,
    S_COMPANION_TRAY = 265,
    S_COMPANION_DUPLEX = 1365, /* on: the companion is told the devmode's duplex */
};

constexpr UINT kSharedWarning = 3;
constexpr UINT kLocaleCode = 5146;
constexpr DWORD kCapCompanion = MDL_CAP_BIT(55);
constexpr WORD kCompanionText = 23;
constexpr DWORD kRegistrationSize = JWM_KEY_SIZE; /* one copy set's registration: its job key */

bool on(DocJobRecord *job, WORD id) { return DOC_GetNumber(job->settings, job->printerData, id) != 0; }

} // namespace

int DOC_CopySetCount(DWORD copySetMode, BYTE *image, BYTE *printerData, bool *split)
{
    *split = copySetMode != 0;
    if (!*split || DOC_GetNumber(image, printerData, S_COPY_SET_ONE) != 0)
        return 1;
    /* At least one: a job of no copy sets would leave the renderer an empty header table. */
    const ULONGLONG sets = DOC_GetNumber(image, printerData, S_COPY_SETS);
    return int(std::clamp<ULONGLONG>(sets, 1, 0xFFFF));
}

int DOC_ConfirmSharedPrinter(HANDLE printer, HDC hdc)
{
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job || !job->documentStarted)
        return -1;
    DWORD state = 0;
    if (DOC_Escape(hdc, ESC_QUERY_JOB_STATE, nullptr, 0, &state, sizeof state) <= 0)
        return -1;
    if (state == 0 || (DOC_GetNumber(job->settings, job->printerData, S_HELD_JOB) & 0xFFFF) != 1)
        return 1;
    BYTE *info = DOC_PrinterInfo2(printer);
    if (!info)
        return 1;
    const DWORD both = PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_NETWORK;
    const bool shared = (reinterpret_cast<const PRINTER_INFO_2W *>(info)->Attributes & both) == both;
    GlobalFree(info);
    if (!shared)
        return 1;
    WCHAR text[261] = {};
    LoadStringW(RES_GetResourceModule(), kSharedWarning, text, 261);
    WCHAR caption[CCHDEVICENAME + 1] = {};
    std::memcpy(caption, job->settings + offsetof(DEVMODEW, dmDeviceName), CCHDEVICENAME * sizeof(WCHAR));
    const int answer = MessageBoxW(GetActiveWindow(), text, caption, MB_ICONWARNING | MB_OKCANCEL);
    job->warningShown = 1;
    return answer == IDCANCEL ? -1 : 1;
}

int DOC_RegisterCopySets(HANDLE printer, HDC, DWORD)
{
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job || !on(job, S_HEADERS_BY_UI) || !on(job, S_JOB_ID_WRITE) || !on(job, S_JOB_ID_ON) || !JWM_IsAvailable())
        return 0;
    ModelContext *context = MDL_Open(printer);
    if (!context)
        return 0;
    bool split = false;
    const int n = DOC_CopySetCount(job->copySetMode, job->settings, job->printerData, &split);
    BYTE *records = static_cast<BYTE *>(GlobalAlloc(GPTR, size_t(n) * kRegistrationSize + 2));
    BYTE *names = nullptr;
    DWORD needed = 0;
    GetPrinterW(printer, 5, nullptr, 0, &needed);
    if (needed >= sizeof(PRINTER_INFO_5W))
        names = static_cast<BYTE *>(GlobalAlloc(GPTR, needed));
    const PRINTER_INFO_5W *p5 = names && GetPrinterW(printer, 5, names, needed, &needed)
                                    ? reinterpret_cast<const PRINTER_INFO_5W *>(names)
                                    : nullptr;
    bool ok = records != nullptr;
    if (ok) {
        plat::store_u16(records, 0, WORD(n));
        JwmJobContext described{printer, context, job->settings, job->printerData,
                                p5 ? p5->pPrinterName : nullptr, p5 ? p5->pPortName : nullptr,
                                job->userName, job->documentName};
        for (int i = 0; i < n && ok; i++) {
            char *key = reinterpret_cast<char *>(records + 2 + size_t(i) * kRegistrationSize);
            HANDLE monitor = JWM_BuildJobRecord(&described, key);
            ok = monitor && JWM_StartMonitor(monitor) == JWM_REGISTERED;
        }
    }
    GlobalFree(names);
    MDL_Close(context);
    if (!ok) {
        GlobalFree(records);
        return 0;
    }
    GlobalFree(job->copySetRegistrations);
    job->copySetRegistrations = records;
    return 1;
}

int DOC_StartHelperProgram(HANDLE printer, HDC hdc, DWORD jobId)
{
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job || DOC_Escape(hdc, ESC_GET_SETTINGS, nullptr, 0, job->settings, sizeof job->settings) <= 0)
        return 0;
    ModelContext *context = MDL_Open(printer);
    if (!context)
        return 0;
    int started = 0;
    LPWSTR path = nullptr;
    BYTE *info = nullptr;
    if (UPG_LoadPrinterData(printer, job->printerData, context) && MDL_HasCapability(context->main, kCapCompanion) &&
        (path = UPG_GetHelperProgramPath(printer, kCompanionText)) != nullptr) {
        info = DOC_PrinterInfo2(printer);
        WCHAR name[257] = {};
        if (info && reinterpret_cast<const PRINTER_INFO_2W *>(info)->pPrinterName)
            lstrcpynW(name, reinterpret_cast<const PRINTER_INFO_2W *>(info)->pPrinterName, 257);
        WCHAR locale[5] = {};
        LoadStringW(RES_GetResourceModule(), kLocaleCode, locale, 5);
        WCHAR id[16] = {};
        StringCchPrintfW(id, 16, u"%u", unsigned(jobId));
        short duplex = 1;
        if (on(job, S_COMPANION_DUPLEX))
            std::memcpy(&duplex, job->settings + offsetof(DEVMODEW, dmDuplex), sizeof duplex);
        const int tray = int(DOC_GetNumber(job->settings, job->printerData, S_COMPANION_TRAY));
        const size_t chars = plat::wlen(path) + plat::wlen(name) + 128;
        auto *line = static_cast<LPWSTR>(GlobalAlloc(GPTR, chars * sizeof(WCHAR)));
        if (line && StringCchPrintfW(line, chars, u"%s /ID:%s /LOCALE:%s /TRAY:%d /PNAME:%s /DUPLEX:%d", path, id,
                                     locale, tray, name, int(duplex)) == S_OK) {
            /* The program is named apart from its command line: a path with spaces cannot start another. */
            STARTUPINFOW si{};
            si.cb = sizeof si;
            PROCESS_INFORMATION pi{};
            if (CreateProcessW(path, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
                CloseHandle(pi.hThread);
                CloseHandle(pi.hProcess);
                started = 1;
            }
        }
        GlobalFree(line);
    }
    GlobalFree(info);
    GlobalFree(path);
    MDL_Close(context);
    return started;
}
