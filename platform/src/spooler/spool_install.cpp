/*
 * Installing on the simulated machine: printer drivers (their files copied or
 * linked into the driver directory), printers, ports, and what an ordinary
 * user may do on a printer.  This is the host's and the tests' side of the
 * spooler; the driver itself never installs anything.
 */
#include "spool_private.h"

#include <plat/fault.h>
#include <plat/machine.h>

#include <filesystem>

namespace plat::spool {

namespace {

const char16_t *const kLocalPorts[] = {u"LPT1:", u"LPT2:", u"LPT3:", u"COM1:",
                                       u"COM2:", u"COM3:", u"COM4:", u"FILE:"};

/* Copies or links one file into the driver directory, replacing what was there.  ERROR_SUCCESS or an error. */
DWORD place_file(const std::string &src, const std::filesystem::path &dir, bool link)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path dst = dir / fs::path(src).filename();
    /* Remove first: writing through an old link would change the file it points to. */
    fs::remove(dst, ec);
    if (link)
        fs::create_symlink(fs::absolute(src, ec), dst, ec);
    else if (fault_disk_is_full())
        return ERROR_DISK_FULL;
    else
        fs::copy_file(src, dst, ec);
    if (!ec)
        return ERROR_SUCCESS;
    if (ec == std::errc::no_space_on_device)
        return ERROR_DISK_FULL;
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        return ERROR_ACCESS_DENIED;
    return ERROR_WRITE_FAULT;
}

/* Adds `item` to `list`, or puts it in place of `old` (an entry of `list`), and saves; undone when the save fails. */
template <typename T>
DWORD put_saved(State &st, std::vector<T> &list, T *old, T item)
{
    if (old) {
        T before = std::move(*old);
        *old = std::move(item);
        DWORD err = save(st);
        if (err)
            *old = std::move(before);
        return err;
    }
    list.push_back(std::move(item));
    DWORD err = save(st);
    if (err)
        list.pop_back();
    return err;
}

bool valid_printer_name(std::u16string_view name)
{
    return !name.empty() && name.find(u',') == name.npos && name.find(u'\\') == name.npos;
}

} // namespace

void seed_local_ports(State &st)
{
    for (const char16_t *name : kLocalPorts) {
        Port p;
        p.name = name;
        p.monitor = u"localspl.dll";
        p.description = std::u16string_view(name) == u"FILE:" ? u"Print to File" : u"Local Port";
        p.type = PORT_TYPE_WRITE;
        p.builtin = true;
        st.ports.push_back(std::move(p));
    }
}

} // namespace plat::spool

namespace plat {

using namespace spool;

DWORD spool_add_driver(const SpoolDriver &driver)
{
    if (driver.name.empty() || driver.driver_file.empty())
        return ERROR_INVALID_PARAMETER;
    if (!same_name(driver.environment, kEnvironment))
        return ERROR_INVALID_ENVIRONMENT;
    std::error_code ec;
    for (const auto *list : {&driver.copy_files, &driver.link_files})
        for (const auto &src : *list)
            if (!std::filesystem::is_regular_file(src, ec))
                return ERROR_FILE_NOT_FOUND;

    ensure_loaded();
    /* The folder the driver directory showed so far (the build's driver folder, when mounted there). */
    std::string shown;
    bool had = map_path(spool_driver_dir(), shown);
    mount_driver_dir();
    std::filesystem::path dir = spool_driver_dir_real();
    /* Libraries are linked; data files (model data, configuration, resources)
     * are copied, so that a test or a user changing one on this machine never
     * writes through into the build's folder. */
    if (had && std::filesystem::is_directory(shown, ec) && !std::filesystem::equivalent(shown, dir, ec))
        for (const auto &entry : std::filesystem::directory_iterator(shown, ec))
            if (entry.is_regular_file(ec)) {
                bool library = entry.path().extension() == ".so";
                if (DWORD err = place_file(entry.path().string(), dir, library))
                    return err;
            }
    for (const auto &src : driver.copy_files)
        if (DWORD err = place_file(src, dir, false))
            return err;
    for (const auto &src : driver.link_files)
        if (DWORD err = place_file(src, dir, true))
            return err;

    Driver d;
    d.name = driver.name;
    d.version = driver.version;
    d.driver_file = driver.driver_file;
    d.data_file = driver.data_file;
    d.config_file = driver.config_file;
    d.help_file = driver.help_file;
    d.dependent_files = driver.dependent_files;
    d.monitor_name = driver.monitor_name;
    d.default_data_type = driver.default_data_type;

    Session s;
    return put_saved(s.st, s.st.drivers, find_driver(s.st, driver.name), std::move(d));
}

DWORD spool_add_printer(const SpoolPrinter &printer)
{
    if (!valid_printer_name(printer.name))
        return ERROR_INVALID_PRINTER_NAME;
    std::vector<BYTE> devmode = printer.devmode;
    if (!devmode.empty()) {
        size_t whole = devmode.size() < kMinDevmode ? 0 : devmode_size(devmode.data());
        if (whole == 0 || devmode.size() < whole)
            return ERROR_INVALID_PARAMETER;
        devmode.resize(whole);
    }

    Session s;
    State &st = s.st;
    if (find_printer(st, printer.name))
        return ERROR_PRINTER_ALREADY_EXISTS;
    if (!find_driver(st, printer.driver))
        return ERROR_UNKNOWN_PRINTER_DRIVER;
    bool new_port = !printer.port.empty() && !find_port(st, printer.port);
    if (new_port) {
        Port port;
        port.name = printer.port;
        port.monitor = u"localspl.dll";
        port.description = u"Local Port";
        st.ports.push_back(std::move(port));
    }

    Printer p;
    p.id = st.next_printer_id++;
    p.name = printer.name;
    p.share_name = printer.share_name;
    p.port = printer.port;
    p.driver = find_driver(st, printer.driver)->name;
    p.comment = printer.comment;
    p.location = printer.location;
    p.print_processor = kPrintProcessor;
    p.data_type = printer.data_type;
    p.attributes = printer.attributes;
    if (st.printers.empty())
        p.attributes |= PRINTER_ATTRIBUTE_DEFAULT; /* the first printer of a machine becomes its default */
    p.user_rights = printer.user_rights;
    p.devmode = std::move(devmode);
    st.printers.push_back(std::move(p));
    DWORD err = save(st);
    if (err) {
        st.printers.pop_back();
        if (new_port)
            st.ports.pop_back();
    }
    return err;
}

DWORD spool_delete_printer(std::u16string_view name)
{
    Session s;
    State &st = s.st;
    Printer *p = find_printer(st, name);
    if (!p)
        return ERROR_INVALID_PRINTER_NAME;
    size_t index = size_t(p - st.printers.data());
    Printer gone = std::move(*p);
    st.printers.erase(st.printers.begin() + std::ptrdiff_t(index));
    std::map<DWORD, Job> jobs;
    for (auto it = st.jobs.begin(); it != st.jobs.end();)
        if (same_name(it->second.printer, gone.name)) {
            jobs.insert(st.jobs.extract(it++));
        } else {
            ++it;
        }
    DWORD err = save(st);
    if (err) {
        st.printers.insert(st.printers.begin() + std::ptrdiff_t(index), std::move(gone));
        st.jobs.merge(jobs);
        return err;
    }
    for (auto &[id, job] : jobs) {
        job.data.reset();
        job.sizes.reset();
        ::unlink(job_data_path(st, id).c_str());
        ::unlink(job_sizes_path(st, id).c_str());
    }
    return ERROR_SUCCESS;
}

std::vector<std::u16string> spool_printers()
{
    Session s;
    std::vector<std::u16string> names;
    for (const auto &p : s.st.printers)
        names.push_back(p.name);
    return names;
}

DWORD spool_set_printer_user_rights(std::u16string_view printer, DWORD rights)
{
    Session s;
    Printer *p = find_printer(s.st, printer);
    if (!p)
        return ERROR_INVALID_PRINTER_NAME;
    DWORD before = p->user_rights;
    p->user_rights = rights;
    DWORD err = save(s.st);
    if (err)
        p->user_rights = before;
    return err;
}

DWORD spool_add_port(const SpoolPort &port)
{
    if (port.name.empty())
        return ERROR_INVALID_PARAMETER;
    Session s;
    Port *old = find_port(s.st, port.name);
    if (old && old->builtin)
        return ERROR_ALREADY_EXISTS;
    Port p;
    p.name = port.name;
    p.monitor = port.monitor;
    p.description = port.description;
    p.type = port.type;
    p.address = port.address;
    return put_saved(s.st, s.st.ports, old, std::move(p));
}

DWORD spool_delete_port(std::u16string_view name)
{
    Session s;
    State &st = s.st;
    Port *p = find_port(st, name);
    if (!p)
        return ERROR_NOT_FOUND;
    if (p->builtin)
        return ERROR_ACCESS_DENIED;
    for (const Printer &printer : st.printers)
        if (same_name(printer.port, name))
            return ERROR_ACCESS_DENIED;
    const size_t index = size_t(p - st.ports.data());
    Port gone = std::move(*p);
    st.ports.erase(st.ports.begin() + std::ptrdiff_t(index));
    DWORD err = save(st);
    if (err)
        st.ports.insert(st.ports.begin() + std::ptrdiff_t(index), std::move(gone));
    return err;
}

bool spool_port_status(std::u16string_view port, DWORD *status, DWORD *severity)
{
    Session s;
    Port *p = find_port(s.st, port);
    if (!p)
        return false;
    if (status)
        *status = p->status;
    if (severity)
        *severity = p->severity;
    return true;
}

} // namespace plat
