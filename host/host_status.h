/*
 * `tarvel status`: the printer's status on a Standard TCP/IP port as the
 * language monitor sees it (host_status.cpp).
 */
#ifndef TARVEL_HOST_STATUS_H
#define TARVEL_HOST_STATUS_H

#include <plat/types.h>

#include <string>

namespace host {

struct StatusRequest {
    std::string port;            /* an installed port, or IP_<address> */
    bool watch = false;          /* print again every intervalSeconds until interrupted */
    unsigned intervalSeconds = 5;
    unsigned count = 0;          /* with watch: stop after this many rounds (0: never) */
    bool remove = false;         /* --remove: take the TCP/IP port away instead */
};

/* What a port name is on this machine. */
enum class PortKind { Missing, Tcp, Other };
PortKind host_port_kind(const std::string &name);

/* An address a new "IP_<address>" port may have: a dotted IPv4 address or a host name. */
bool host_port_address_ok(const std::string &address);

/*
 * The port is known to the spooler, or is added as a Standard TCP/IP port of
 * the address its name gives ("IP_<address>"); false when it is neither.
 */
bool ensure_tcp_port(const std::string &name);

/* The device address of a Standard TCP/IP port, as the spooler's port monitor gives it; empty when none. */
std::string tcp_port_address(const std::u16string &port);

/*
 * TARVEL_STATUS_ENDPOINTS="SNMPPORT,RAWPORT,SNMPMS,RECEIVEMS,PAUSEMS" points
 * the loaded monitor `lib` at peers on other ports with other time-outs (the
 * tests' agents); only the host reads it, never the monitor.  The raw port
 * to use (9100 when unset, nothing changed); 0, with a message naming
 * `verb`, when it is malformed.
 */
int apply_test_endpoints(HMODULE lib, const char *verb);

/*
 * 0 when the status was printed (or the port removed); 1 when the monitor
 * could not be used or nothing answered; 2 for a bad port.
 */
int status_command(const StatusRequest &request);

/* Parses the options after "status" and runs it; the exit code. */
int status_main(int argc, char **argv, int first);

} // namespace host

#endif
