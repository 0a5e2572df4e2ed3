/*
 * The device's condition shown to Windows: the "PrinterStatus" triple is
 * mapped to the spooler's printer-status bits and to one port status with
 * its severity (the first matching row of the map decides), which goes to
 * the spooler with SetPortW level 3.  Updates of every thread are
 * serialised by the named mutex "RVQPMON:OpenPrinterMutex", tried without
 * waiting: a caller that finds it held skips the update.
 */
#include "status.h"

#include <plat/handle.h>

#include <atomic>
#include <cstring>

namespace {

struct StatusRow {
    DWORD mask[3];
    DWORD printerStatus;
    DWORD portStatus;
    DWORD severity;
};

constexpr DWORD UI = PRINTER_STATUS_USER_INTERVENTION;
constexpr DWORD P_UI = PORT_STATUS_USER_INTERVENTION;
constexpr DWORD ERR = PORT_STATUS_TYPE_ERROR;
constexpr DWORD WARN = PORT_STATUS_TYPE_WARNING;
constexpr DWORD INFO = PORT_STATUS_TYPE_INFO;

constexpr StatusRow kPortStatusMap[] = {
    {{0, 0x100, 0}, UI, 0, 0},
    {{0, 0x200, 0}, PRINTER_STATUS_NOT_AVAILABLE, 0, 0},
    {{0, 0x80, 0}, UI, P_UI, ERR},
    {{0, 0, 0x20}, PRINTER_STATUS_INITIALIZING, 0, 0},
    {{0x80, 0, 0}, UI, P_UI, ERR},
    {{0, 0, 0x8000}, PRINTER_STATUS_DOOR_OPEN, PORT_STATUS_DOOR_OPEN, ERR},
    {{0, 0, 0x2000}, UI, P_UI, ERR},
    {{0x8000, 0, 0}, UI, P_UI, ERR},
    {{0, 0x80000000, 0}, UI, P_UI, ERR},
    {{0, 0x1000000, 0}, UI, P_UI, ERR},
    {{0, 0x4, 0}, UI, P_UI, ERR},
    {{0, 0, 0x10000}, PRINTER_STATUS_PAPER_JAM, PORT_STATUS_PAPER_JAM, ERR},
    {{0, 0, 0x1000000}, PRINTER_STATUS_OUTPUT_BIN_FULL, P_UI, ERR},
    {{0x8, 0, 0}, UI, P_UI, ERR},
    {{0, 0x8, 0}, PRINTER_STATUS_PAPER_PROBLEM, PORT_STATUS_PAPER_PROBLEM, ERR},
    {{0, 0x10, 0}, UI, P_UI, ERR},
    {{0, 0, 0x4000}, PRINTER_STATUS_NO_TONER, PORT_STATUS_NO_TONER, WARN},
    {{0, 0, 0x40000}, PRINTER_STATUS_PAPER_PROBLEM, PORT_STATUS_PAPER_PROBLEM, ERR},
    {{0, 0, 0x80000}, UI, P_UI, WARN},
    {{0, 0, 0x100000}, PRINTER_STATUS_OUT_OF_MEMORY, PORT_STATUS_OUT_OF_MEMORY, ERR},
    {{0x1000, 0, 0}, UI, P_UI, ERR},
    {{0, 0, 0x200000}, PRINTER_STATUS_OUT_OF_MEMORY, PORT_STATUS_OUT_OF_MEMORY, ERR},
    {{0, 0, 0x400000}, PRINTER_STATUS_OUT_OF_MEMORY, PORT_STATUS_OUT_OF_MEMORY, ERR},
    {{0x2000, 0, 0}, UI, P_UI, ERR},
    {{0x40, 0, 0}, UI, P_UI, ERR},
    {{0, 0, 0x40000000}, PRINTER_STATUS_PAPER_OUT, PORT_STATUS_PAPER_OUT, ERR},
    {{0, 0, 0x800000}, PRINTER_STATUS_PAPER_OUT, PORT_STATUS_PAPER_OUT, ERR},
    {{0, 0, 0x4000000}, PRINTER_STATUS_PAPER_PROBLEM, PORT_STATUS_PAPER_PROBLEM, ERR},
    {{0x10, 0, 0}, UI, P_UI, ERR},
    {{0x20, 0, 0}, UI, P_UI, ERR},
    {{0x100, 0, 0}, UI, P_UI, WARN},
    {{0, 0, 0x8000000}, UI, P_UI, ERR},
    {{0, 0, 0x20000}, PRINTER_STATUS_NO_TONER, PORT_STATUS_NO_TONER, WARN},
    {{0, 0x40000000, 0}, UI, PORT_STATUS_OFFLINE, ERR},
    {{0, 0, 0x80000}, UI, P_UI, WARN},
    {{0, 0x200000, 0}, UI, P_UI, WARN},
    {{0x200, 0, 0}, UI, P_UI, WARN},
    {{0x4000, 0, 0}, UI, P_UI, WARN},
    {{0, 0, 0x1000}, PRINTER_STATUS_OFFLINE, PORT_STATUS_OFFLINE, ERR},
    {{0, 0, 0x100}, 0, 0, 0},
    {{0, 0, 0x8000000}, PRINTER_STATUS_BUSY, 0, 0},
    {{0, 0, 0x10000000}, PRINTER_STATUS_BUSY, 0, 0},
    {{0, 0, 0x200}, PRINTER_STATUS_BUSY, 0, 0},
    {{0, 0, 0x10}, PRINTER_STATUS_WARMING_UP, PORT_STATUS_WARMING_UP, INFO},
    {{0, 0x8000, 0}, PRINTER_STATUS_WARMING_UP, PORT_STATUS_WARMING_UP, INFO},
    {{0, 0, 0x8}, PRINTER_STATUS_PRINTING, 0, 0},
    {{0, 0x4000, 0}, UI, P_UI, WARN},
    {{0, 0, 0x2}, PRINTER_STATUS_TONER_LOW, PORT_STATUS_TONER_LOW, WARN},
    {{0, 0, 0x800}, UI, P_UI, WARN},
    {{0, 0, 0x4}, 0, 0, 0},
    {{0, 0, 0x40}, 0, 0, 0},
    {{0, 0, 0x1}, 0, 0, 0},
    {{0, 0x10000, 0}, 0, 0, 0},
};
static_assert(sizeof kPortStatusMap / sizeof kPortStatusMap[0] == 53, "53 rows");

bool matches(const StatusRow &row, const DWORD t[3])
{
    return (row.mask[0] & t[0]) || (row.mask[1] & t[1]) || (row.mask[2] & t[2]);
}

} // namespace

DWORD LMS_PrinterStatusBits(const DWORD triple[3])
{
    DWORD bits = 0;
    for (const StatusRow &row : kPortStatusMap)
        if (matches(row, triple))
            bits |= row.printerStatus;
    return bits;
}

BOOL LMS_SetPortStatus(MonitorPort *port, const DWORD triple[3])
{
    if (!port)
        return FALSE;
    DWORD status = 0, severity = 0;
    const ServedPrinter *first = port->servedPrinters;
    if (first && LMU_MaskIntersects(first->modelMask, port->modelMask)) {
        for (const StatusRow &row : kPortStatusMap) {
            if (matches(row, triple)) {
                status = row.portStatus;
                severity = row.severity;
                break;
            }
        }
    }
    PORT_INFO_3W info{};
    info.dwStatus = status;
    info.pszStatus = nullptr;
    info.dwSeverity = severity;
    std::atomic_ref<DWORD>(port->lastSeverity).store(severity);
    return SetPortW(nullptr, port->portName, 3, reinterpret_cast<const BYTE *>(&info));
}

BOOL LMS_UpdateSpoolerStatus(MonitorPort *port, ServedPrinter *printer, const DWORD *triple)
{
    if (!port || !printer || !printer->spoolerHandle || !printer->managerHandle)
        return FALSE;
    DWORD copy[3] = {0, 0, 0};
    if (triple)
        std::memcpy(copy, triple, sizeof copy);
    if (!port->devicePrinting) {
        if (copy[2] & 0x2)
            copy[2] = 0x800;
        else if (copy[2] & 0x4000)
            copy[2] = 0x80000;
    }
    DWORD bits = LMS_PrinterStatusBits(copy);
    if (!(copy[1] & 0xF00) && triple && !LMU_MaskIntersects(printer->modelMask, port->modelMask))
        bits = PRINTER_STATUS_NOT_AVAILABLE;

    HANDLE mutex = CreateMutexW(nullptr, FALSE, u"RVQPMON:OpenPrinterMutex");
    if (!mutex)
        return FALSE;
    BOOL set = FALSE;
    const DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
        set = LMS_SetPortStatus(port, copy);
        ReleaseMutex(mutex);
    }
    CloseHandle(mutex);
    if (set)
        printer->statusBits = bits;
    return set;
}

BOOL LMS_PublishPrinterStatus(MonitorPort *port)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    DWORD words[3];
    BOOL all = FALSE;
    if (LMS_ReadPrinterStatus(port, words)) {
        all = TRUE;
        for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
            all = LMS_UpdateSpoolerStatus(port, p, words) && all;
    }
    LMP_Unlock(port);
    return all;
}
