/*
 * Printer handles and printer information: OpenPrinterW with its access
 * check, ClosePrinter, GetPrinterW, SetPrinterW, EnumPrintersW and
 * GetPrinterDriverW.
 */
#include "spool_private.h"

#include <plat/error.h>
#include <plat/handle.h>

namespace plat::spool {

namespace {

/* Everything an administrator may be given on a printer, and on the server. */
constexpr DWORD kAdminPrinter = PRINTER_ALL_ACCESS | PRINTER_ACCESS_MANAGE_LIMITED | SYNCHRONIZE;
constexpr DWORD kAdminServer = SERVER_ALL_ACCESS | SYNCHRONIZE;
constexpr DWORD kUserServer = SERVER_READ | SYNCHRONIZE;

/* Windows' defaults for a local printer's port time-outs (milliseconds). */
constexpr DWORD kDeviceNotSelectedTimeout = 15000;
constexpr DWORD kTransmissionRetryTimeout = 45000;

DWORD map_generic(DWORD asked, bool server)
{
    DWORD out = asked & ~(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    if (asked & GENERIC_ALL)
        out |= server ? SERVER_ALL_ACCESS : PRINTER_ALL_ACCESS;
    if (asked & GENERIC_READ)
        out |= server ? SERVER_READ : PRINTER_READ;
    if (asked & GENERIC_WRITE)
        out |= server ? SERVER_WRITE : PRINTER_WRITE;
    if (asked & GENERIC_EXECUTE)
        out |= server ? SERVER_EXECUTE : PRINTER_EXECUTE;
    return out;
}

/*
 * The access granted for `asked` when the user may have `allowed` (lock
 * held); false when the user asks for more.  An administrator gets what he
 * asks for.
 */
bool grant(const State &st, DWORD asked, DWORD allowed, DWORD admin_all, bool server, DWORD *granted)
{
    DWORD want = map_generic(asked, server);
    bool maximum = (want & MAXIMUM_ALLOWED) != 0;
    want &= ~MAXIMUM_ALLOWED;
    if (want == 0 && !maximum)
        want = server ? SERVER_ACCESS_ENUMERATE : PRINTER_ACCESS_USE;
    if (st.user == SpoolUser::Administrator)
        allowed = admin_all | want;
    if (want & ~allowed)
        return false;
    *granted = maximum ? (want | allowed) : want;
    return true;
}

size_t printer_record_size(DWORD level)
{
    switch (level) {
    case 1:
        return sizeof(PRINTER_INFO_1W);
    case 2:
        return sizeof(PRINTER_INFO_2W);
    case 4:
        return sizeof(PRINTER_INFO_4W);
    case 5:
        return sizeof(PRINTER_INFO_5W);
    default:
        return 0;
    }
}

DWORD job_count(const State &st, const Printer &p)
{
    DWORD n = 0;
    for (const auto &[id, job] : st.jobs)
        n += same_name(job.printer, p.name) ? 1 : 0;
    return n;
}

/* Lays printer record `index` at `level` (a level printer_record_size knows). */
void pack_printer(Packer &pk, size_t index, DWORD level, const State &st, const Printer &p)
{
    switch (level) {
    case 1: {
        PRINTER_INFO_1W r{};
        r.Flags = PRINTER_ENUM_ICON8;
        r.pDescription = pk.str(p.name + u"," + p.driver + u"," + p.location);
        r.pName = pk.str(p.name);
        r.pComment = pk.str(p.comment);
        pk.record(index, r);
        break;
    }
    case 2: {
        PRINTER_INFO_2W r{};
        r.pPrinterName = pk.str(p.name);
        r.pShareName = pk.str(p.share_name);
        r.pPortName = pk.str(p.port);
        r.pDriverName = pk.str(p.driver);
        r.pComment = pk.str(p.comment);
        r.pLocation = pk.str(p.location);
        r.pSepFile = pk.str(p.sep_file);
        r.pPrintProcessor = pk.str(p.print_processor);
        r.pDatatype = pk.str(p.data_type);
        r.pParameters = pk.str(p.parameters);
        r.pDevMode = reinterpret_cast<DEVMODEW *>(pk.blob(p.devmode));
        r.Attributes = p.attributes;
        r.Priority = p.priority;
        r.DefaultPriority = p.default_priority;
        r.StartTime = p.start_time;
        r.UntilTime = p.until_time;
        r.Status = p.status;
        r.cJobs = job_count(st, p);
        pk.record(index, r);
        break;
    }
    case 4: {
        PRINTER_INFO_4W r{};
        r.pPrinterName = pk.str(p.name);
        r.Attributes = p.attributes;
        pk.record(index, r);
        break;
    }
    default: {
        PRINTER_INFO_5W r{};
        r.pPrinterName = pk.str(p.name);
        r.pPortName = pk.str(p.port);
        r.Attributes = p.attributes;
        r.DeviceNotSelectedTimeout = kDeviceNotSelectedTimeout;
        r.TransmissionRetryTimeout = kTransmissionRetryTimeout;
        pk.record(index, r);
        break;
    }
    }
}

std::u16string driver_path(std::u16string_view file)
{
    return file.empty() ? std::u16string() : plat::spool_driver_dir() + u"\\" + std::u16string(file);
}

/* A devmode given by pointer: its dmSize + dmDriverExtra bytes; false when too short to be one. */
bool copy_devmode(const DEVMODEW *dm, std::vector<BYTE> &out)
{
    const BYTE *p = reinterpret_cast<const BYTE *>(dm);
    size_t whole = devmode_size(p);
    if (whole == 0)
        return false;
    out.assign(p, p + whole);
    return true;
}

/* SetPrinterW level 2 on `p` (lock held).  ERROR_SUCCESS or the error; `p` unchanged on failure. */
DWORD set_level2(State &st, Printer &p, const PRINTER_INFO_2W &r)
{
    Printer next = p;
    if (r.pPrinterName) {
        std::u16string name = wstr(r.pPrinterName);
        if (name.empty() || name.find(u',') != name.npos || name.find(u'\\') != name.npos)
            return ERROR_INVALID_PRINTER_NAME;
        Printer *other = find_printer(st, name);
        if (other && other != &p)
            return ERROR_PRINTER_ALREADY_EXISTS;
        next.name = name;
    }
    if (r.pPortName) {
        if (!find_port(st, wstr(r.pPortName)))
            return ERROR_UNKNOWN_PORT;
        next.port = find_port(st, wstr(r.pPortName))->name;
    }
    if (r.pDriverName) {
        Driver *d = find_driver(st, wstr(r.pDriverName));
        if (!d)
            return ERROR_UNKNOWN_PRINTER_DRIVER;
        next.driver = d->name;
    }
    if (r.pDatatype) {
        if (!same_name(wstr(r.pDatatype), u"RAW"))
            return ERROR_INVALID_DATATYPE;
        next.data_type = wstr(r.pDatatype);
    }
    if (r.pDevMode && !copy_devmode(r.pDevMode, next.devmode))
        return ERROR_INVALID_PARAMETER;
    const std::pair<LPWSTR, std::u16string *> strings[] = {
        {r.pShareName, &next.share_name},   {r.pComment, &next.comment},
        {r.pLocation, &next.location},      {r.pSepFile, &next.sep_file},
        {r.pPrintProcessor, &next.print_processor}, {r.pParameters, &next.parameters}};
    for (const auto &[src, dst] : strings)
        if (src)
            *dst = wstr(src);
    next.attributes = r.Attributes;
    next.priority = r.Priority;
    next.default_priority = r.DefaultPriority;
    next.start_time = r.StartTime;
    next.until_time = r.UntilTime;

    std::u16string old_name = p.name;
    std::swap(p, next);
    std::vector<DWORD> renamed;
    for (auto &[id, job] : st.jobs)
        if (same_name(job.printer, old_name) && p.name != old_name) {
            job.printer = p.name;
            renamed.push_back(id);
        }
    DWORD err = save(st);
    if (err) {
        std::swap(p, next);
        for (DWORD id : renamed)
            st.jobs[id].printer = old_name;
    }
    return err;
}

/* SetPrinterW level 0 commands on `p` (lock held). */
DWORD set_control(State &st, Printer &p, const BYTE *data, DWORD command)
{
    DWORD before = p.status;
    switch (command) {
    case PRINTER_CONTROL_PAUSE:
        p.status |= PRINTER_STATUS_PAUSED;
        break;
    case PRINTER_CONTROL_RESUME:
        p.status &= ~PRINTER_STATUS_PAUSED;
        break;
    case PRINTER_CONTROL_SET_STATUS:
        if (!data)
            return ERROR_INVALID_PARAMETER;
        p.status = load<DWORD>(data);
        break;
    case PRINTER_CONTROL_PURGE: {
        std::vector<DWORD> ids;
        for (auto &[id, job] : st.jobs)
            if (same_name(job.printer, p.name))
                ids.push_back(id);
        for (DWORD id : ids) {
            Job &job = st.jobs[id];
            if (job.open)
                job.status |= JOB_STATUS_DELETING;
            else
                erase_job(st, id);
        }
        return save(st);
    }
    default:
        return ERROR_INVALID_PARAMETER;
    }
    DWORD err = save(st);
    if (err)
        p.status = before;
    return err;
}

} // namespace

} // namespace plat::spool

using namespace plat;
using namespace plat::spool;

BOOL OpenPrinterW(LPCWSTR pPrinterName, LPHANDLE phPrinter, const PRINTER_DEFAULTSW *pDefault)
{
    if (!phPrinter)
        return fail(ERROR_INVALID_PARAMETER);
    *phPrinter = nullptr;
    auto obj = std::make_unique<HandleObject>();
    {
        Session s;
        State &st = s.st;
        DWORD err;
        if (injected(st, SpoolCall::OpenPrinter, &err))
            return fail(err);
        if (pDefault && pDefault->pDatatype && !same_name(wstr(pDefault->pDatatype), u"RAW"))
            return fail(ERROR_INVALID_DATATYPE);
        DWORD asked = pDefault ? pDefault->DesiredAccess : 0;
        std::u16string name = wstr(pPrinterName);
        std::u16string_view prefix = kXcvPortPrefix;
        obj->generation = st.generation;
        if (name.empty()) {
            obj->kind = HandleObject::SERVER;
            if (!grant(st, asked, kUserServer, kAdminServer, true, &obj->access))
                return fail(ERROR_ACCESS_DENIED);
        } else if (name.size() > prefix.size() && same_name(name.substr(0, prefix.size()), prefix)) {
            Port *port = find_port(st, name.substr(prefix.size()));
            if (!port)
                return fail(ERROR_INVALID_PRINTER_NAME);
            obj->kind = HandleObject::XCV;
            obj->port = port->name;
            obj->access = kAdminServer; /* the port monitor's channel: reached from the spooler's side */
        } else {
            Printer *p = find_printer(st, name);
            if (!p)
                return fail(ERROR_INVALID_PRINTER_NAME);
            obj->kind = HandleObject::PRINTER;
            obj->printer_id = p->id;
            if (!grant(st, asked, p->user_rights, kAdminPrinter, false, &obj->access))
                return fail(ERROR_ACCESS_DENIED);
        }
    }
    /* Outside the lock: a failed creation closes the object through the handle table. */
    HANDLE h = handle_create(HANDLE_KIND_PRINTER, obj.release());
    if (!h)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    *phPrinter = h;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL ClosePrinter(HANDLE hPrinter)
{
    /* The object (and a job left open on it) closes when its last reference goes, outside any lock. */
    if (!handle_close(hPrinter, HANDLE_KIND_PRINTER))
        return fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded)
{
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::GetPrinter);
    if (!p)
        return FALSE;
    if (!pcbNeeded)
        return fail(ERROR_INVALID_PARAMETER);
    size_t rec = printer_record_size(Level);
    if (rec == 0)
        return fail(ERROR_INVALID_LEVEL);
    DWORD err;
    if (!pack_answer(pPrinter, cbBuf, pcbNeeded, rec, [&](Packer &pk) { pack_printer(pk, 0, Level, s.st, *p); },
                     &err))
        return fail(err);
    return TRUE;
}

BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, const BYTE *pPrinter, DWORD Command)
{
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::SetPrinter, PRINTER_ACCESS_ADMINISTER);
    if (!p)
        return FALSE;
    DWORD err;
    if (Level == 0)
        err = set_control(s.st, *p, pPrinter, Command);
    else if (Level == 2)
        err = !pPrinter || Command != 0 ? DWORD(ERROR_INVALID_PARAMETER)
                                        : set_level2(s.st, *p, load<PRINTER_INFO_2W>(pPrinter));
    else
        err = ERROR_INVALID_LEVEL;
    return err ? fail(err) : TRUE;
}

BOOL EnumPrintersW(DWORD Flags, LPCWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                   LPDWORD pcReturned)
{
    if (pcReturned)
        *pcReturned = 0;
    if (!pcbNeeded || !pcReturned)
        return fail(ERROR_INVALID_PARAMETER);
    if (Name && *Name)
        return fail(ERROR_INVALID_NAME);
    size_t rec = printer_record_size(Level);
    if (rec == 0)
        return fail(ERROR_INVALID_LEVEL);
    Session s;
    std::vector<const Printer *> list;
    for (const auto &p : s.st.printers) {
        if (Flags & PRINTER_ENUM_DEFAULT) {
            if (p.attributes & PRINTER_ATTRIBUTE_DEFAULT) {
                list.push_back(&p);
                break;
            }
        } else if (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME | PRINTER_ENUM_CONNECTIONS)) {
            list.push_back(&p);
        }
    }
    DWORD err;
    if (!pack_answer(pPrinterEnum, cbBuf, pcbNeeded, rec * list.size(),
                     [&](Packer &pk) {
                         for (size_t i = 0; i < list.size(); i++)
                             pack_printer(pk, i, Level, s.st, *list[i]);
                     },
                     &err))
        return fail(err);
    *pcReturned = DWORD(list.size());
    return TRUE;
}

BOOL GetPrinterDriverW(HANDLE hPrinter, LPCWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo, DWORD cbBuf,
                       LPDWORD pcbNeeded)
{
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::GetPrinterDriver);
    if (!p)
        return FALSE;
    if (!pcbNeeded)
        return fail(ERROR_INVALID_PARAMETER);
    if (pEnvironment && !same_name(wstr(pEnvironment), kEnvironment))
        return fail(ERROR_INVALID_ENVIRONMENT);
    const Driver *d = find_driver(s.st, p->driver);
    if (!d)
        return fail(ERROR_UNKNOWN_PRINTER_DRIVER);
    size_t rec = Level == 1 ? sizeof(DRIVER_INFO_1W) : Level == 2 ? sizeof(DRIVER_INFO_2W)
                                                     : Level == 3 ? sizeof(DRIVER_INFO_3W) : 0;
    if (rec == 0)
        return fail(ERROR_INVALID_LEVEL);
    auto fill = [&](Packer &pk) {
        if (Level == 1) {
            DRIVER_INFO_1W r{};
            r.pName = pk.str(d->name);
            pk.record(0, r);
            return;
        }
        DRIVER_INFO_3W r{}; /* level 2 is its first part */
        r.cVersion = d->version;
        r.pName = pk.str(d->name);
        r.pEnvironment = pk.str(kEnvironment);
        r.pDriverPath = pk.str(driver_path(d->driver_file));
        r.pDataFile = pk.str(driver_path(d->data_file));
        r.pConfigFile = pk.str(driver_path(d->config_file));
        if (Level == 2) {
            DRIVER_INFO_2W r2{r.cVersion, r.pName, r.pEnvironment, r.pDriverPath, r.pDataFile, r.pConfigFile};
            pk.record(0, r2);
            return;
        }
        r.pHelpFile = pk.str(driver_path(d->help_file));
        std::vector<std::u16string> deps;
        for (const auto &f : d->dependent_files)
            deps.push_back(driver_path(f));
        r.pDependentFiles = pk.multi_sz(deps);
        r.pMonitorName = pk.str(d->monitor_name);
        r.pDefaultDataType = pk.str(d->default_data_type);
        pk.record(0, r);
    };
    DWORD err;
    if (!pack_answer(pDriverInfo, cbBuf, pcbNeeded, rec, fill, &err))
        return fail(err);
    return TRUE;
}
