/*
 * The printers a port serves and their binding to the outside status
 * manager "Plodrmz": the supported-model table, the registry tests of a
 * printer's driver, binding, re-binding and releasing.
 *
 * Whoever unlinks a record from the port's list owns it.  Releasing a bound
 * record stops its manager thread (stopEvent) and joins it, without holding
 * the port's lock, before the record is freed and the manager library
 * unloaded; the thread itself never frees its own record's memory while
 * another thread may still reach it.
 */
#include "status.h"

#include <plat/error.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/sysinfo.h>
#include <plat/text.h>
#include <plat/thread.h>

#include <atomic>
#include <cstring>
#include <string>

namespace {

struct ModelRow {
    const char *model;
    const WCHAR *driver;
    ULONGLONG mask;
};

constexpr ModelRow kSupportedModels[] = {
    {"Lumaset K4100", u"OSTREL RV-K4100 PCL 6", LM_MODEL_K4100},
    {"Lumaset K4100", u"OSTREL RV-K4100 PS", LM_MODEL_K4100},
};

constexpr const WCHAR *kPrintersKey = u"System\\CurrentControlSet\\control\\Print\\Printers";
constexpr const WCHAR *kPollvaneKey = u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers";
constexpr const WCHAR *kManagerLibrary = u"Plodrmz.DLL";
constexpr const WCHAR *kManagerDevice = u"\\\\.\\rvqmon";
/* Bound of the join of a manager thread and of the wait for a record's spooler handle. */
constexpr DWORD kJoinMs = 60000;

/* The handle of a manager thread that released its own record, joined when the port goes. */
struct EndedThread {
    HANDLE thread;
    EndedThread *next;
};

/* The "Port" value: a word, then two UTF-16 strings of 128 characters. */
struct PortValue {
    DWORD recorded;
    WCHAR first[128];
    WCHAR second[128];
};
static_assert(sizeof(PortValue) == 516, "Port value layout");

template <typename F>
void bind_entry(HMODULE m, const char *name, F &slot)
{
    slot = plat::proc_cast<F>(GetProcAddress(m, name));
}

bool load_manager(ServedPrinter *p)
{
    HMODULE m = LoadLibraryW(kManagerLibrary);
    if (!m)
        return false;
    p->managerModule = m;
    bind_entry(m, "OpenManagerExW", p->OpenManagerExW);
    bind_entry(m, "CloseManager", p->CloseManager);
    bind_entry(m, "GetPrinterStatusA", p->GetPrinterStatusA);
    bind_entry(m, "GetPrinterStatusW", p->GetPrinterStatusW);
    bind_entry(m, "SetReqPrinterStatusEventA", p->SetReqPrinterStatusEventA);
    bind_entry(m, "ResSetPrinterStatus", p->ResSetPrinterStatus);
    bind_entry(m, "UpdatePrinterStatusA", p->UpdatePrinterStatusA);
    bind_entry(m, "SetNotificationEventA", p->SetNotificationEventA);
    bind_entry(m, "SetNotificationEventExA", p->SetNotificationEventExA);
    bind_entry(m, "KillNotificationEvent", p->KillNotificationEvent);
    bind_entry(m, "SetNotificationCallbackExA", p->SetNotificationCallbackExA);
    bind_entry(m, "KillNotificationCallback", p->KillNotificationCallback);
    return true;
}

void unload_manager(ServedPrinter *p)
{
    if (p->managerHandle && p->CloseManager)
        p->CloseManager(p->managerHandle);
    p->managerHandle = nullptr;
    if (p->managerModule)
        FreeLibrary(p->managerModule);
    p->managerModule = nullptr;
}

void close_if(HANDLE &h)
{
    if (h)
        CloseHandle(h);
    h = nullptr;
}

/* Frees an unlinked record whose manager thread has ended (or never ran). */
void destroy(ServedPrinter *p, MonitorPort *port)
{
    LMS_UpdateSpoolerStatus(port, p, nullptr);
    LMU_Free(p->printerName);
    close_if(p->readyEvent);
    unload_manager(p);
    if (p->spoolerHandle)
        ClosePrinter(p->spoolerHandle);
    close_if(p->stopEvent);
    close_if(p->managerThread);
    LMU_Free(p);
}

void append(MonitorPort *port, ServedPrinter *p)
{
    LMP_Lock(port);
    ServedPrinter **tail = &port->servedPrinters;
    while (*tail)
        tail = &(*tail)->next;
    *tail = p;
    LMP_Unlock(port);
}

/* Unlinks p; also forgets it as the job printer and in queued jobs.  False when it was not in the list. */
bool unlink(ServedPrinter *p, MonitorPort *port)
{
    LMP_Lock(port);
    ServedPrinter **link = &port->servedPrinters;
    while (*link && *link != p)
        link = &(*link)->next;
    const bool found = *link != nullptr;
    if (found) {
        *link = p->next;
        p->next = nullptr;
        if (port->jobPrinter == p)
            port->jobPrinter = nullptr;
        if (port->selectedPrinter == p)
            port->selectedPrinter = nullptr;
        for (JobQueueEntry *e = port->jobQueueHead; e; e = e->next)
            if (e->printer == p)
                e->printer = nullptr;
    }
    LMP_Unlock(port);
    return found;
}

/* Reads a manager value of exactly `size` bytes; false when the read fails. */
bool read_value(ServedPrinter *p, const char *name, void *buffer, DWORD size)
{
    DWORD needed = 0;
    return p->GetPrinterStatusA && p->GetPrinterStatusA(p->managerHandle, name, buffer, size, &needed) == 0;
}

} // namespace

/* The port check of a binding: true while "Port" records this port (or none). */
bool LMS_PortValueIsOurs(const MonitorPort *port, const void *value)
{
    PortValue v;
    std::memcpy(&v, value, sizeof v);
    if (!v.recorded)
        return true;
    const size_t n = size_t(lstrlenW(port->portName));
    v.first[127] = 0;
    v.second[127] = 0;
    return n <= 127 && _wcsnicmp(v.first, port->portName, n) == 0 && v.second[0] == 0;
}

/* Reads "Port" and "TerminateManager": false when the binding must be refused. */
bool LMS_CheckBinding(MonitorPort *port, ServedPrinter *p)
{
    BYTE portValue[sizeof(PortValue)] = {};
    DWORD terminate = 0xFFFFFFFF;
    if (!read_value(p, "Port", portValue, sizeof portValue))
        return false;
    const bool terminateRead = read_value(p, "TerminateManager", &terminate, 4);
    if (!terminateRead || terminate) {
        LMP_SetState(port, ST_TERMINATED);
        return false;
    }
    return LMS_PortValueIsOurs(port, portValue);
}

void LMS_SetPrinterFlags(ServedPrinter *p, DWORD bits) { std::atomic_ref<DWORD>(p->flags).fetch_or(bits); }
void LMS_ClearPrinterFlags(ServedPrinter *p, DWORD bits) { std::atomic_ref<DWORD>(p->flags).fetch_and(~bits); }
bool LMS_TestPrinterFlags(const ServedPrinter *p, DWORD bits)
{
    return std::atomic_ref<DWORD>(const_cast<ServedPrinter *>(p)->flags).load() & bits;
}

bool LMS_IsBoundToManager(const ServedPrinter *p) { return p && p->managerModule && p->managerHandle; }

BOOL LMS_ReadModelMask(const WCHAR *printerName, ServedPrinter *printer)
{
    const int len = LMU_BoundedLength(printerName);
    if (len < 0 || !printer)
        return FALSE;
    std::u16string sub(kPrintersKey);
    sub += u"\\";
    for (int i = 0; i < len; ++i)
        sub += printerName[i] == u'\\' ? u',' : printerName[i];
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    WCHAR driver[257] = {};
    DWORD size = 512;
    DWORD type = 0;
    const LONG r = RegQueryValueExW(key, u"Printer Driver", nullptr, &type, reinterpret_cast<LPBYTE>(driver), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS)
        return FALSE;
    for (const ModelRow &row : kSupportedModels) {
        if (lstrcmpiW(driver, row.driver) == 0) {
            printer->modelMask = row.mask;
            return TRUE;
        }
    }
    return FALSE;
}

int LMS_MatchModel(MonitorPort *port, char *deviceId)
{
    if (!port || !deviceId)
        return 0;
    const char *model = nullptr;
    for (char *field = deviceId; *field;) {
        char *end = field;
        while (*end && *end != ';')
            ++end;
        const bool more = *end == ';';
        *end = 0;
        if (std::strncmp(field, "MODEL:", 6) == 0)
            model = field + 6;
        else if (std::strncmp(field, "MDL:", 4) == 0)
            model = field + 4;
        if (!more)
            break;
        field = end + 1;
    }
    if (!model)
        return 0;
    const ULONGLONG before = port->modelMask;
    ULONGLONG mask = 0;
    const size_t n = std::strlen(model);
    for (const ModelRow &row : kSupportedModels) {
        if (std::strlen(row.model) == n && lstrcmpiA(row.model, model) == 0) {
            mask = row.mask;
            break;
        }
    }
    LMP_Lock(port);
    LMU_SetMask(&port->modelMask, mask);
    if (LMU_MaskDiffers(before, mask) && !LMP_TestState(port, ST_JOB_OPEN) && !port->jobQueueHead)
        for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
            LMS_PushVariables(port, p);
    LMP_Unlock(port);
    return mask ? 1 : 0;
}

bool LMS_IsMonitoredDriver(const WCHAR *printerName)
{
    HANDLE printer = nullptr;
    if (!OpenPrinterW(printerName, &printer, nullptr))
        return false;
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    auto *info = needed >= sizeof(PRINTER_INFO_2W) ? static_cast<PRINTER_INFO_2W *>(LMU_Alloc(needed)) : nullptr;
    std::u16string driver;
    if (info && GetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(info), needed, &needed) && info->pDriverName)
        driver = info->pDriverName;
    LMU_Free(info);
    ClosePrinter(printer);
    if (driver.empty())
        return false;
    const std::u16string bare = driver.compare(0, 4, u"QVD ") == 0 ? driver.substr(4) : driver;

    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPollvaneKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool monitored = false;
    for (DWORD i = 0; !monitored; ++i) {
        WCHAR name[513];
        DWORD len = 513;
        if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        const std::u16string path = std::u16string(name) + u"\\Status Variables";
        if (RegOpenKeyExW(key, path.c_str(), 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            RegCloseKey(sub);
            monitored = driver == name || bare == name;
        }
    }
    RegCloseKey(key);
    return monitored;
}

ServedPrinter *LMS_FindServedPrinter(const WCHAR *printerName, MonitorPort *port)
{
    if (!printerName || !port)
        return nullptr;
    LMP_Lock(port);
    ServedPrinter *p = port->servedPrinters;
    while (p && (!p->printerName || lstrcmpW(p->printerName, printerName) != 0))
        p = p->next;
    LMP_Unlock(port);
    return p;
}

void LMS_OpenServedPrinter(ServedPrinter *p)
{
    if (!p)
        return;
    if (!p->readyEvent)
        p->readyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!p->spoolerHandle)
        OpenPrinterW(p->printerName, &p->spoolerHandle, nullptr);
    /* Set also after a failed open, so that nobody waits for it for ever. */
    if (p->readyEvent)
        SetEvent(p->readyEvent);
}

bool LMS_WaitSpoolerHandle(ServedPrinter *p)
{
    if (!p)
        return false;
    if (p->readyEvent)
        WaitForSingleObject(p->readyEvent, kJoinMs);
    if (!p->spoolerHandle)
        OpenPrinterW(p->printerName, &p->spoolerHandle, nullptr);
    return p->spoolerHandle != nullptr;
}

ServedPrinter *LMS_BindStatusManager(const WCHAR *printerName, MonitorPort *port, BOOL push)
{
    if (!port || (port->portKind & KIND_UNC) || LMP_TestState(port, ST_TERMINATED | ST_CLOSING))
        return nullptr;
    auto *p = static_cast<ServedPrinter *>(LMU_Alloc(sizeof(ServedPrinter)));
    if (!p)
        return nullptr;
    if (!LMS_ReadModelMask(printerName, p) || !(p->printerName = LMU_DupWide(printerName))) {
        LMU_Free(p);
        return nullptr;
    }
    p->port = port;
    /* Made before the record is visible, so that nobody finds it without its event. */
    p->readyEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (LMS_IsMonitoredDriver(printerName))
        load_manager(p);
    HANDLE manager = nullptr;
    if (!p->OpenManagerExW || p->OpenManagerExW(printerName, kManagerDevice, 1, &manager) != 0 || !manager) {
        /* Served without a manager: spooler handle and job release only. */
        p->managerHandle = nullptr;
        append(port, p);
        LMS_OpenServedPrinter(p);
        return p;
    }
    p->managerHandle = manager;
    if (!LMS_CheckBinding(port, p)) {
        destroy(p, port);
        return nullptr;
    }
    append(port, p);
    LMS_OpenServedPrinter(p);
    if (push)
        LMS_PushVariables(port, p);
    p->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    LMS_StartManagerThread(port, p);
    LMS_PublishPrinterStatus(port);
    return p;
}

BOOL LMS_FreeServedPrinter(ServedPrinter *printer, MonitorPort *port)
{
    if (!printer || !port || !unlink(printer, port))
        return FALSE;
    if (printer->stopEvent)
        SetEvent(printer->stopEvent);
    if (printer->managerThread && printer->managerThreadId != GetCurrentThreadId()) {
        WaitForSingleObject(printer->managerThread, kJoinMs);
    } else if (printer->managerThread) {
        /* The manager thread releases its own record: the port joins the thread before it is freed. */
        LMS_KeepEndedThread(port, printer->managerThread);
        printer->managerThread = nullptr;
    }
    destroy(printer, port);
    return TRUE;
}

void LMS_FreeAllServedPrinters(MonitorPort *port)
{
    if (!port || !port->portLock)
        return; /* a half-built record serves nobody */
    LMS_JoinEndedThreads(port);
    /* A record its own manager thread releases meanwhile is simply gone from the list. */
    for (;;) {
        LMP_Lock(port);
        ServedPrinter *p = port->servedPrinters;
        LMP_Unlock(port);
        if (!p)
            break;
        LMS_FreeServedPrinter(p, port);
    }
    LMS_JoinEndedThreads(port);
}

void LMS_KeepEndedThread(MonitorPort *port, HANDLE thread)
{
    auto *node = static_cast<EndedThread *>(LMU_Alloc(sizeof(EndedThread)));
    if (!node) {
        /* No room to keep it: join it now (bounded); it is on its way out. */
        WaitForSingleObject(thread, kJoinMs);
        CloseHandle(thread);
        return;
    }
    LMP_Lock(port);
    node->thread = thread;
    node->next = static_cast<EndedThread *>(port->endedThreads);
    port->endedThreads = node;
    LMP_Unlock(port);
}

void LMS_JoinEndedThreads(MonitorPort *port)
{
    LMP_Lock(port);
    auto *node = static_cast<EndedThread *>(port->endedThreads);
    port->endedThreads = nullptr;
    LMP_Unlock(port);
    while (node) {
        EndedThread *next = node->next;
        WaitForSingleObject(node->thread, kJoinMs);
        CloseHandle(node->thread);
        LMU_Free(node);
        node = next;
    }
}

BOOL LMS_RefreshPrinters(MonitorPort *port)
{
    if (!port || (port->portKind & KIND_UNC) || LMP_TestState(port, ST_TERMINATED | ST_CLOSING))
        return TRUE;
    for (;;) {
        /* One record at a time: a refused binding frees its record. */
        LMP_Lock(port);
        ServedPrinter *p = port->servedPrinters;
        while (p && (p->managerHandle || LMS_TestPrinterFlags(p, SP_REFRESH_TRIED)))
            p = p->next;
        if (p)
            LMS_SetPrinterFlags(p, SP_REFRESH_TRIED);
        LMP_Unlock(port);
        if (!p)
            break;
        if (!p->managerModule && LMS_IsMonitoredDriver(p->printerName) && !load_manager(p))
            continue;
        HANDLE manager = nullptr;
        if (!p->OpenManagerExW || !p->GetPrinterStatusA ||
            p->OpenManagerExW(p->printerName, kManagerDevice, 1, &manager) != 0 || !manager)
            continue;
        p->managerHandle = manager;
        LMS_ClearErrorValues(port, FALSE);
        LMS_ResetDeviceValues(port, FALSE);
        if (!LMS_CheckBinding(port, p)) {
            LMS_FreeServedPrinter(p, port);
            if (LMP_TestState(port, ST_TERMINATED))
                break;
            continue;
        }
        LMS_PushVariables(port, p);
        if (!p->stopEvent)
            p->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        LMS_StartManagerThread(port, p);
        LMS_PublishPrinterStatus(port);
    }
    LMP_Lock(port);
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
        LMS_ClearPrinterFlags(p, SP_REFRESH_TRIED);
    LMP_Unlock(port);
    return TRUE;
}

void LMS_KillNotificationCallbacks(MonitorPort *port)
{
    LMP_Lock(port);
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next) {
        if (p->KillNotificationCallback && p->callbackId && p->managerHandle)
            p->KillNotificationCallback(p->managerHandle, p->callbackId);
        p->callbackId = 0;
    }
    LMP_Unlock(port);
}
