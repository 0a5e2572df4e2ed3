/*
 * Printers of the host: installing a printer of one of the driver's models
 * on the machine, and the devmode an application hands GDI for it.  The
 * printer's stored data is the user-interface library's
 * printer-initialisation event's, as the spooler runs it at installation;
 * the job devmode is the library's create-DC document event's.
 */
#ifndef TARVEL_HOST_PRINTER_H
#define TARVEL_HOST_PRINTER_H

#include <plat/types.h>

#include <string>
#include <vector>

namespace host {

/*
 * Makes the common library's module state stand for the user-interface
 * library in the driver directory (its strings, its directory), so that the
 * data manager and the resource module are found there, and loads the data
 * manager.  Pair with host_release_library.
 */
bool host_bind_library(std::string &error);
void host_release_library();

/* What installing a printer did. */
struct InstallReport {
    int formsAdded = 0;
};

/*
 * Installs the driver for `modelFile` (a model data file of the driver
 * directory, e.g. "TARVEL1.DDD") and a printer `printer` on `port`, runs
 * the user-interface library's printer-initialisation event on it (its
 * PRNID, "SPLUserModePrinterDriver", the shared settings, device blocks,
 * font table and the spooler forms of the model's papers), reads back what
 * the event must have stored, and stores the model's defaults for the
 * printer as its devmode.  All or nothing: on failure (a
 * name over 220 characters, an empty port, a missing model, a full disk)
 * no printer is left behind, and the answer is false with a message.
 */
bool host_install_printer(const std::u16string &printer, const std::string &modelFile, const std::u16string &port,
                          InstallReport &report, std::string &error);

/*
 * The devmode an application prints `printer` with when it asks for none of
 * its own choices: the printer's stored devmode (dmSize + dmDriverExtra
 * bytes).  The user-interface library's create-DC event turns it into the
 * job devmode.  False with a message when the printer cannot be read.
 */
bool host_app_devmode(const std::u16string &printer, std::vector<BYTE> &devmode, std::string &error);

/*
 * Holds the machine folder's install lock between processes for a scope, so
 * that of several processes that find a printer missing only one installs
 * it and the others find it whole.  A lock that cannot be taken (its file a
 * link, a folder, or not to be opened) is not held: ok() is false and
 * error() names the file and the reason, and the caller stops.
 */
class InstallLock {
public:
    InstallLock();
    ~InstallLock();
    InstallLock(const InstallLock &) = delete;
    InstallLock &operator=(const InstallLock &) = delete;
    bool ok() const { return fd_ >= 0; }
    const std::string &error() const { return error_; }

private:
    int fd_ = -1;
    std::string error_;
};

/*
 * What the spooler holds of a printer: nothing, the whole printer, or a
 * printer an interrupted install left behind (its settings are stored last,
 * so a printer without them, or without what the printer-initialisation
 * event stores, is half-installed).  The data manager must be bound.
 */
enum class PrinterState { Missing, Whole, Half };
PrinterState host_printer_state(const std::u16string &printer);

/*
 * Takes the printer away: the spooler's printer (with its jobs) and the
 * driver name recorded for its monitors.  False with a message naming the
 * printer and the reason.
 */
bool host_remove_printer(const std::u16string &printer, std::string &error);

/*
 * Makes sure `printer` is whole (install lock held, data manager bound):
 * installs it when missing, and removes and installs again a printer an
 * interrupted install left half-made, saying so in `note`.  `installed` is
 * set when it installed.  False with a message.
 */
bool host_ensure_printer(const std::u16string &printer, const std::string &modelFile, const std::u16string &port,
                         bool &installed, std::string &note, std::string &error);

/*
 * Writes number setting `id` of the printer's shared settings (those the
 * printer keeps for every job, such as the booklet set size 4364).  The
 * data manager must be bound.  False with a message on failure.
 */
bool host_set_printer_number(const std::u16string &printer, WORD id, int value, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_PRINTER_H */
