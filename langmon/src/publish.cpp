/*
 * Bringing a port's served printers in line with the spooler: the printers
 * that print to the port through this monitor are found, each is served
 * (bound when new), and served printers the spooler no longer lists are
 * released.
 */
#include "status.h"

#include <plat/text.h>

#include <cstring>

namespace {

constexpr const WCHAR *kDefaultMonitor = u"Pollvane Language Monitor for OSTREL RV-K4100 PCL 6";

template <typename T>
T *get_info(HANDLE printer, DWORD level, bool driver)
{
    DWORD needed = 0;
    if (driver)
        GetPrinterDriverW(printer, nullptr, level, nullptr, 0, &needed);
    else
        GetPrinterW(printer, level, nullptr, 0, &needed);
    if (needed < sizeof(T))
        return nullptr;
    auto *info = static_cast<T *>(LMU_Alloc(needed));
    if (!info)
        return nullptr;
    const BOOL ok = driver ? GetPrinterDriverW(printer, nullptr, level, reinterpret_cast<LPBYTE>(info), needed, &needed)
                           : GetPrinterW(printer, level, reinterpret_cast<LPBYTE>(info), needed, &needed);
    if (!ok) {
        LMU_Free(info);
        return nullptr;
    }
    return info;
}

/* Printer and driver information of a printer; false when either cannot be read. */
bool read_printer(const WCHAR *name, PRINTER_INFO_2W **info, DRIVER_INFO_3W **driver)
{
    *info = nullptr;
    *driver = nullptr;
    HANDLE h = nullptr;
    if (!OpenPrinterW(name, &h, nullptr))
        return false;
    *info = get_info<PRINTER_INFO_2W>(h, 2, false);
    *driver = get_info<DRIVER_INFO_3W>(h, 3, true);
    ClosePrinter(h);
    if (*info && *driver)
        return true;
    LMU_Free(*info);
    LMU_Free(*driver);
    *info = nullptr;
    *driver = nullptr;
    return false;
}

/* "\\server\share": exactly two components after the leading backslashes. */
bool is_share(const WCHAR *port)
{
    if (!port || port[0] != u'\\' || port[1] != u'\\')
        return false;
    const WCHAR *p = port + 2;
    int slashes = 0;
    for (; *p; ++p)
        slashes += *p == u'\\';
    return slashes == 1 && port[2] != u'\\';
}

bool same(const WCHAR *a, const WCHAR *b) { return a && b && lstrcmpW(a, b) == 0; }

bool append_entry(PrinterListEntry **list, PRINTER_INFO_2W *info)
{
    auto *e = static_cast<PrinterListEntry *>(LMU_Alloc(sizeof(PrinterListEntry)));
    if (!e)
        return false;
    e->info = info;
    while (*list)
        list = &(*list)->next;
    *list = e;
    return true;
}

} // namespace

void LMS_FreePrinterList(PrinterListEntry *list)
{
    while (list) {
        PrinterListEntry *next = list->next;
        LMU_Free(list->info);
        LMU_Free(list);
        list = next;
    }
}

BOOL LMS_FindPrintersOnPort(MonitorPort *port, PrinterListEntry **list)
{
    if (!port || !list)
        return FALSE;
    *list = nullptr;
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, nullptr, 0, &needed, &count);
    BYTE *all = needed ? static_cast<BYTE *>(LMU_Alloc(needed)) : nullptr;
    if (needed && (!all || !EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, all, needed, &needed, &count))) {
        LMU_Free(all);
        return FALSE;
    }
    const auto *printers = reinterpret_cast<const PRINTER_INFO_5W *>(all);

    WCHAR *reference = nullptr;
    const WCHAR *own = nullptr;
    for (DWORD i = 0; i < count && port->printerName; ++i) {
        if (!same(printers[i].pPrinterName, port->printerName))
            continue;
        PRINTER_INFO_2W *info;
        DRIVER_INFO_3W *driver;
        if (read_printer(printers[i].pPrinterName, &info, &driver)) {
            reference = LMU_DupWide(driver->pMonitorName ? driver->pMonitorName : u"");
            own = printers[i].pPrinterName;
            if (same(info->pPortName, port->portName) && info->pPrintProcessor && info->pPrintProcessor[0] &&
                append_entry(list, info))
                info = nullptr;
            LMU_Free(info);
            LMU_Free(driver);
        }
        break;
    }
    const WCHAR *ref = reference ? reference : kDefaultMonitor;
    for (DWORD i = 0; i < count; ++i) {
        if (printers[i].pPrinterName == own || is_share(printers[i].pPortName))
            continue;
        PRINTER_INFO_2W *info;
        DRIVER_INFO_3W *driver;
        if (!read_printer(printers[i].pPrinterName, &info, &driver))
            continue;
        const bool ours = same(info->pPortName, port->portName) && info->pPrintProcessor &&
                          info->pPrintProcessor[0] && info->pDriverName && info->pDriverName[0] &&
                          same(driver->pMonitorName, ref);
        if (ours && append_entry(list, info))
            info = nullptr;
        LMU_Free(info);
        LMU_Free(driver);
    }
    LMU_Free(reference);
    LMU_Free(all);
    return TRUE;
}

BOOL LMS_PublishToManager(MonitorPort *port)
{
    if (!port)
        return FALSE;
    PrinterListEntry *list = nullptr;
    LMS_FindPrintersOnPort(port, &list);
    for (PrinterListEntry *e = list; e; e = e->next) {
        const bool bidi = e->info->Attributes & PRINTER_ATTRIBUTE_ENABLE_BIDI;
        if (!LMS_FindServedPrinter(e->info->pPrinterName, port))
            LMS_BindStatusManager(e->info->pPrinterName, port, bidi);
        /* Found again under the lock: a manager thread may have released the record meanwhile. */
        LMP_Lock(port);
        if (ServedPrinter *p = LMS_FindServedPrinter(e->info->pPrinterName, port)) {
            if (bidi)
                LMS_ClearPrinterFlags(p, SP_BIDI_OFF);
            else
                LMS_SetPrinterFlags(p, SP_BIDI_OFF);
            LMS_SetPrinterFlags(p, SP_SEEN);
        }
        LMP_Unlock(port);
    }
    LMS_FreePrinterList(list);

    /* Release the printers not seen, one at a time and without the lock held while a thread is joined. */
    for (;;) {
        LMP_Lock(port);
        ServedPrinter *gone = port->servedPrinters;
        while (gone && LMS_TestPrinterFlags(gone, SP_SEEN))
            gone = gone->next;
        LMP_Unlock(port);
        if (!gone)
            break;
        LMS_FreeServedPrinter(gone, port);
    }
    LMP_Lock(port);
    bool named = false;
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next) {
        LMS_ClearPrinterFlags(p, SP_SEEN);
        named = named || (port->printerName && p->printerName && lstrcmpW(p->printerName, port->printerName) == 0);
    }
    if (port->servedPrinters && !named) {
        if (WCHAR *copy = LMU_DupWide(port->servedPrinters->printerName)) {
            LMU_Free(port->printerName);
            port->printerName = copy;
        }
    }
    LMP_Unlock(port);
    return TRUE;
}
