/*
 * The manager thread of a printer bound to the status manager: it waits
 * for the manager's notifications (port, name, termination, extended
 * status), the status program's named events (printer deleted, status
 * program started, job event), the port's close and its own record's stop,
 * and acts on each.
 *
 * The thread gets its record as its parameter.  It drops its printer under
 * the port's lock; when another thread releases the record instead, that
 * thread joins this one before the record is freed, so the record stays
 * valid for the thread's whole life.
 */
#include "status.h"

#include <plat/handle.h>
#include <plat/text.h>
#include <plat/thread.h>

#include <atomic>
#include <cstring>
#include <string>

bool LMS_PortValueIsOurs(const MonitorPort *port, const void *value);

namespace {

constexpr DWORD kStackBytes = 16 * 1024;
constexpr int kWorkerStopSteps = 120;

enum Slot { CLOSE, E_PORT, E_NAME, E_TERMINATE, DEL_PRN, START_STATUS, JOB_EVENT, E_EXT_STATUS, STOP, SLOTS };

struct Events {
    HANDLE e[4] = {};
    HANDLE delPrn = nullptr;
    HANDLE startStatus = nullptr;
    HANDLE jobEvent = nullptr;
    DWORD notificationId = 0;
    bool registered = false;
};

void close_if(HANDLE &h)
{
    if (h)
        CloseHandle(h);
    h = nullptr;
}

/* "<prefix><printer name>" in the ANSI code page, cut at `limit` characters. */
std::string event_name(const char *prefix, const WCHAR *printer, size_t limit)
{
    std::string name = prefix;
    if (char *narrow = LMU_WideToAnsi(printer)) {
        name += narrow;
        LMU_Free(narrow);
    }
    if (name.size() > limit)
        name.resize(limit);
    return name;
}

HANDLE open_or_create(const std::string &name)
{
    HANDLE h = OpenEventA(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, name.c_str());
    return h ? h : CreateEventA(nullptr, FALSE, FALSE, name.c_str());
}

HANDLE make_del_prn(const WCHAR *printer)
{
    return CreateEventA(nullptr, FALSE, FALSE, event_name("PLVMPWD:DEL_PRN:", printer, 255).c_str());
}

bool worker_from_job_event(MonitorPort *port) { return std::atomic_ref<DWORD>(port->managerWorker).load() != 0; }

/* Asks the port's worker to stop and waits (bounded) until it has gone.  No lock is held here. */
void stop_worker(MonitorPort *port)
{
    LMP_ClearState(port, ST_POLL_RUN);
    std::atomic_ref<HANDLE> threadEvent(port->threadEvent);
    if (HANDLE ev = threadEvent.load())
        SetEvent(ev);
    for (int i = 0; i < kWorkerStopSteps && threadEvent.load(); ++i)
        Sleep(500);
}

void close_events(Events &ev, bool withJobEvent)
{
    for (HANDLE &h : ev.e)
        close_if(h);
    close_if(ev.delPrn);
    close_if(ev.startStatus);
    if (withJobEvent)
        close_if(ev.jobEvent);
}

bool read_port_value(ServedPrinter *p, BYTE (&value)[516])
{
    DWORD needed = 0;
    std::memset(value, 0, sizeof value);
    return p->GetPrinterStatusA(p->managerHandle, "Port", value, sizeof value, &needed) == 0;
}

bool read_name(ServedPrinter *p, WCHAR (&name)[260])
{
    DWORD needed = 0;
    std::memset(name, 0, sizeof name);
    const bool ok = p->GetPrinterStatusA(p->managerHandle, "PrinterName", name, sizeof name, &needed) == 0;
    name[259] = 0;
    return ok;
}

/* A job event: with spooler jobs waiting and nothing else watching, the device is asked for its state. */
void on_job_event(MonitorPort *port, ServedPrinter *p)
{
    std::atomic_ref<HANDLE> threadEvent(port->threadEvent);
    if (LMP_TestState(port, ST_JOB_OPEN) || threadEvent.load() || !p->spoolerHandle)
        return;
    DWORD needed = 0, count = 0;
    EnumJobsW(p->spoolerHandle, 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &count);
    BYTE *jobs = needed ? static_cast<BYTE *>(LMU_Alloc(needed)) : nullptr;
    const bool read = jobs && EnumJobsW(p->spoolerHandle, 0, 0xFFFFFFFF, 1, jobs, needed, &needed, &count);
    LMU_Free(jobs);
    if (!read || count == 0)
        return;
    const bool locks = !(port->portKind & KIND_UNC);
    const DWORD wait = locks ? WaitForSingleObject(port->portMutex, LM_PORT_WAIT_MS) : WAIT_OBJECT_0;
    const bool held = locks && (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED);
    if (!LMP_TestState(port, ST_JOB_OPEN) && !threadEvent.load()) {
        LMS_QueryDeviceId(port);
        if (std::atomic_ref<DWORD>(port->lastSeverity).load() == 1 && !worker_from_job_event(port) &&
            LMS_StartNotifyThread(port))
            std::atomic_ref<DWORD>(port->managerWorker).store(1);
    }
    if (held)
        ReleaseMutex(port->portMutex);
}

DWORD manager_thread(LPVOID param)
{
    auto *p = static_cast<ServedPrinter *>(param);
    MonitorPort *port = p->port;
    if ((port->portKind & KIND_UNC) || !p->SetNotificationEventExA || !p->GetPrinterStatusA ||
        !p->KillNotificationEvent)
        return 0;

    Events ev;
    bool ok = true;
    for (HANDLE &h : ev.e)
        ok = ok && (h = CreateEventW(nullptr, FALSE, FALSE, nullptr)) != nullptr;
    ok = ok && (ev.delPrn = make_del_prn(p->printerName)) != nullptr;
    ok = ok && (ev.startStatus = open_or_create("Global\\PLVMSDB:START_STATUS")) != nullptr;
    ok = ok && (ev.jobEvent = open_or_create(event_name("Global\\PWDJOBEVENT:", p->printerName, 260))) != nullptr;
    if (!ok) {
        close_events(ev, true);
        return 0;
    }
    ev.notificationId = 0;
    const LONG r = p->SetNotificationEventExA(p->managerHandle, 4,
                                              "Port;PrinterName;TerminateManager;PrinterExtStatus", ev.e,
                                              &ev.notificationId);
    if (r != 0) {
        if (ev.notificationId)
            p->KillNotificationEvent(p->managerHandle, ev.notificationId);
        close_events(ev, true);
        return 0;
    }

    DWORD result = WAIT_FAILED;
    bool drop = false;
    BYTE portValue[516];
    WCHAR name[260];
    /* Initial check: what changed before the registration counts too. */
    bool fine = read_port_value(p, portValue);
    if (fine && !LMS_PortValueIsOurs(port, portValue))
        SetEvent(ev.e[0]);
    fine = fine && read_name(p, name);
    if (fine && lstrcmpW(name, p->printerName) != 0)
        SetEvent(ev.e[1]);
    DWORD terminate = 0;
    DWORD needed = 0;
    fine = fine && p->GetPrinterStatusA(p->managerHandle, "TerminateManager", &terminate, 4, &needed) == 0;
    if (fine && terminate) {
        LMP_SetState(port, ST_TERMINATED);
        SetEvent(ev.e[2]);
    }

    while (fine && !drop) {
        const HANDLE handles[SLOTS] = {port->closeEvent, ev.e[0], ev.e[1], ev.e[2], ev.delPrn,
                                       ev.startStatus, ev.jobEvent, ev.e[3], p->stopEvent};
        result = WaitForMultipleObjects(SLOTS, handles, FALSE, INFINITE);
        switch (result - WAIT_OBJECT_0) {
        case CLOSE:
            fine = false;
            break;
        case E_PORT:
            if (!read_port_value(p, portValue)) {
                fine = false;
                break;
            }
            LMS_UpdateSpoolerStatus(port, p, nullptr);
            drop = !LMS_PortValueIsOurs(port, portValue);
            break;
        case E_NAME:
            if (!read_name(p, name)) {
                fine = false;
                break;
            }
            if (p->printerName && p->printerName[0] && lstrcmpW(name, p->printerName) != 0) {
                WCHAR *fresh = LMU_DupWide(name);
                if (!fresh) {
                    drop = true;
                    break;
                }
                LMP_Lock(port);
                LMU_Free(p->printerName);
                p->printerName = fresh;
                LMP_Unlock(port);
                close_if(ev.delPrn);
                ev.delPrn = make_del_prn(p->printerName);
                drop = ev.delPrn == nullptr;
            }
            break;
        case E_TERMINATE:
            LMP_SetState(port, ST_TERMINATED);
            drop = true;
            break;
        case DEL_PRN:
            drop = true;
            break;
        case START_STATUS:
            LMP_Lock(port);
            if (p->CloseManager && p->managerHandle)
                p->CloseManager(p->managerHandle);
            p->managerHandle = nullptr;
            LMP_Unlock(port);
            drop = true;
            break;
        case JOB_EVENT:
            on_job_event(port, p);
            break;
        case E_EXT_STATUS: {
            WCHAR request[] = u"Wake Up";
            DWORD answer = 0, returned = 4;
            GetPrinterDataFromPort(port, 0, request, nullptr, 0, reinterpret_cast<LPWSTR>(&answer), 4, &returned);
            break;
        }
        case STOP:
            /* The record is being released by another thread, which joins this one; the manager forgets our events. */
            if (ev.notificationId && p->managerHandle)
                p->KillNotificationEvent(p->managerHandle, ev.notificationId);
            close_events(ev, true);
            return 0;
        default:
            fine = false;
            break;
        }
    }

    if (drop) {
        if (!worker_from_job_event(port))
            stop_worker(port);
        LMP_Lock(port);
        if (ev.notificationId && p->managerHandle)
            p->KillNotificationEvent(p->managerHandle, ev.notificationId);
        close_events(ev, true);
        LMS_FreeServedPrinter(p, port);
        LMP_Unlock(port);
        return 0;
    }
    if (result != WAIT_OBJECT_0 + CLOSE && ev.notificationId && p->managerHandle)
        p->KillNotificationEvent(p->managerHandle, ev.notificationId);
    close_events(ev, false);
    if (!worker_from_job_event(port))
        stop_worker(port);
    close_if(ev.jobEvent);
    return 0;
}

} // namespace

BOOL LMS_StartManagerThread(MonitorPort *port, ServedPrinter *printer)
{
    if (!port || !printer)
        return FALSE;
    DWORD tid = 0;
    HANDLE thread = CreateThread(nullptr, kStackBytes, manager_thread, printer, CREATE_SUSPENDED, &tid);
    if (!thread)
        return FALSE;
    printer->managerThreadId = tid;
    printer->managerThread = thread;
    ResumeThread(thread);
    return TRUE;
}
