/*
 * The status tools' "Refresh:" request for one printer: the status manager
 * names the values the tool wants ("RefreshStatus"), their groups choose
 * the device queries, and the device's answers are read back into the
 * status table.  Answers: 0 done, -19 refused, -37 the device does not
 * answer, -38 not possible now, -80 another model.
 */
#include "status.h"

#include <plat/clock.h>

#include <atomic>
#include <cstring>
#include <string>

namespace {

constexpr LONG kDone = 0;
constexpr LONG kRefused = -19;
constexpr LONG kNotAnswering = -37;
constexpr LONG kBusy = -38;
constexpr LONG kOtherModel = -80;

/* The manager's "RefreshStatus" name list; false when it cannot be read. */
bool read_names(ServedPrinter *p, std::string &names)
{
    DWORD needed = 0;
    const LONG r = p->GetPrinterStatusA(p->managerHandle, "RefreshStatus", nullptr, 0, &needed);
    if (r != 0 && r != SM_MORE_DATA && r != SM_BUFFER_SMALL)
        return false;
    if (needed == 0 || needed > 64 * 1024)
        return false;
    std::string buffer(needed + 1, '\0');
    if (p->GetPrinterStatusA(p->managerHandle, "RefreshStatus", buffer.data(), needed, &needed) != 0)
        return false;
    names.assign(buffer.c_str());
    return true;
}

bool worker_runs(MonitorPort *port) { return std::atomic_ref<HANDLE>(port->threadEvent).load() != nullptr; }

bool job_in_hand(MonitorPort *port)
{
    LMP_Lock(port);
    const bool any = port->jobQueueHead || LMP_TestState(port, ST_JOB_OPEN) || LMP_Busy(port);
    LMP_Unlock(port);
    return any;
}

/* Sends the PJL queries of the groups and reads the answers; 0 or -38. */
LONG query_device(MonitorPort *port, LONG groups)
{
    std::string text = "\x1b%-12345X";
    if (groups & SVG_LANGUAGE)
        text += "@PJL DINQUIRE LANG\r\n";
    if (groups & SVG_DISPLAY)
        text += "@PJL INFO STATUS\r\n";
    if (groups & SVG_SERVICE_TAG)
        text += "@PJL INFO SERVICETAG\r\n";
    text += "\x1b%-12345X";
    port->refreshActive = 1;
    DWORD written = 0;
    const BOOL sent = LMP_SendControlData(port, reinterpret_cast<LPBYTE>(text.data()), DWORD(text.size()), &written,
                                          FALSE, FALSE);
    if (!sent || written != text.size())
        return kBusy;
    for (int i = 0; i < 5; ++i) {
        if (i)
            Sleep(300);
        LMS_ReadFromPort(port, TRUE);
    }
    return kDone;
}

} // namespace

LONG LMS_RefreshStatus(const WCHAR *printerName, MonitorPort *port)
{
    if (!port)
        return kRefused;
    port->refreshActive = 0;
    if (!printerName || !printerName[0] || !port->statusVariables)
        return kRefused;
    LMS_PublishToManager(port);
    LMS_RefreshPrinters(port);
    if (!(port->portKind & KIND_BIDI))
        return kRefused;
    /* The printer record is used only under the port's lock: it may be unbound and freed meanwhile. */
    LMP_Lock(port);
    ServedPrinter *p = LMS_FindServedPrinter(printerName, port);
    std::string names;
    const bool named = p && p->GetPrinterStatusA && read_names(p, names);
    const LONG groups = named ? LMS_GroupsOfNames(names.c_str(), p, port) : 0;
    const ULONGLONG printerMask = named ? p->modelMask : 0;
    LMP_Unlock(port);
    if (!named)
        return kRefused;
    if (!groups || ((groups & (SVG_STATUS | SVG_CONFIG)) && !(groups & SVG_PANEL) && worker_runs(port)) ||
        job_in_hand(port))
        return kRefused;

    const bool unc = port->portKind & KIND_UNC;
    bool held = false;
    if (!unc) {
        const DWORD r = WaitForSingleObject(port->portMutex, LM_PORT_WAIT_MS);
        if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED)
            return kBusy;
        held = true;
    }
    LONG result = kDone;
    if (job_in_hand(port)) {
        result = kRefused;
    } else {
        LMS_QueryDeviceId(port);
        if (port->portKind & KIND_NETWORK) {
            LMN_GetDisplayLang(port);
        } else if (groups & (SVG_DISPLAY | SVG_SERVICE_TAG | SVG_LANGUAGE)) {
            DWORD words[3];
            if (!LMS_ReadPrinterStatus(port, words))
                result = kRefused;
            else if (words[1] & 0x100)
                result = kNotAnswering;
            else if (!LMU_MaskIntersects(port->modelMask, printerMask))
                result = kOtherModel;
            else if (words[2] & 0x8)
                result = kBusy;
            else {
                const bool wasOpen = LMP_TestState(port, ST_PORT_OPEN);
                if (!LMS_OpenForStatus(port)) {
                    result = kRefused;
                } else {
                    LMS_DrainReplies(port, FALSE);
                    result = query_device(port, groups);
                    if (!wasOpen && LMP_TestState(port, ST_PORT_OPEN)) {
                        LMP_PortEndDoc(port);
                        LMP_ClearState(port, ST_PORT_OPEN);
                    }
                }
            }
        } else if (groups & SVG_CONFIG) {
            DWORD words[3];
            LMS_ReadPrinterStatus(port, words);
            result = (words[1] & 0x100) ? kNotAnswering : kDone;
        }
        if (!worker_runs(port) && !(port->portKind & KIND_NETWORK))
            LMS_ResetPortStatus(port);
    }
    if (held)
        ReleaseMutex(port->portMutex);
    return result;
}
