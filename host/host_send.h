/*
 * `tarvel send`: a job file through the language monitor to a device on a
 * TCP port (host_send.cpp).
 */
#ifndef TARVEL_HOST_SEND_H
#define TARVEL_HOST_SEND_H

#include <string>

namespace host {

struct SendRequest {
    std::string jobFile;
    std::string port; /* HOST[:PORT], the name of an installed TCP/IP port, or usb:HOST:PORT */
    std::u16string printer = u"Tarvel CX 1500";
    unsigned timeoutSeconds = 60;
};

/* 0 when the device took the whole job; 1 when it failed (message on stderr); 2 for a bad port. */
int send_job(const SendRequest &request);

} // namespace host

#endif
