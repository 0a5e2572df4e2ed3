/*
 * A port monitor whose device is a TCP peer: each port connects to the host
 * and TCP port it was given, writes go to the connection and reads come from
 * it.  A reader thread collects what the device sends as it arrives (handed
 * to a watcher when one is set), and ReadPort hands that out.  The device ID
 * a USB device answers on its own channel is read on a second, short
 * connection that asks "DEVICEID".  Every wait is bounded.
 */
#include <plat/error.h>
#include <plat/printmon.h>
#include <plat/text.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr DWORD kWsaConnReset = 10054;
constexpr DWORD kWsaConnRefused = 10061;
constexpr DWORD kWsaTimedOut = 10060;
constexpr DWORD kErrorTimeout = 1460;
constexpr DWORD kGenFailure = 31;
constexpr DWORD kIdWaitMs = 2000;

struct Target {
    std::string host;
    unsigned short port = 0;
};

struct SockPort {
    std::string name;
    Target target;
    int fd = -1;
    std::thread reader;
    std::mutex m;
    std::string received; /* what the device sent and no ReadPort took yet */
    bool closed = false;  /* the device closed the connection */
};

struct SockmonState {
    std::mutex m;
    std::map<uintptr_t, std::unique_ptr<SockPort>> ports;
    uintptr_t next = 0x7000;
    std::map<std::string, Target> targets; /* by port name; "" is the default */
    plat::SockmonWatcher watcher;
    DWORD timeoutMs = 10000;
};

SockmonState &state()
{
    static SockmonState *s = new SockmonState;
    return *s;
}

SockPort *port_of(HANDLE h)
{
    SockmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.ports.find(reinterpret_cast<uintptr_t>(h));
    return it == s.ports.end() ? nullptr : it->second.get();
}

/* A connected socket, or -1 with the last error set. */
int connect_to(const Target &t, int waitMs)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const std::string service = std::to_string(t.port);
    if (t.host.empty() || getaddrinfo(t.host.c_str(), service.c_str(), &hints, &found) != 0) {
        SetLastError(11001); /* WSAHOST_NOT_FOUND */
        return -1;
    }
    int fd = -1;
    DWORD error = kWsaConnRefused;
    for (addrinfo *a = found; a && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        int rc = connect(fd, a->ai_addr, a->ai_addrlen);
        if (rc < 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, waitMs) != 1) {
                error = kWsaTimedOut;
            } else {
                int soError = 0;
                socklen_t len = sizeof soError;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len);
                rc = soError == 0 ? 0 : -1;
                error = kWsaConnRefused;
            }
        }
        if (rc < 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    if (fd < 0)
        SetLastError(error);
    return fd;
}

void read_loop(SockPort *p, int fd)
{
    char buf[4096];
    for (;;) {
        pollfd pf{fd, POLLIN, 0};
        const int r = poll(&pf, 1, 100);
        if (r < 0 && errno != EINTR)
            break;
        if (r <= 0)
            continue;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            std::lock_guard<std::mutex> g(p->m);
            p->closed = true;
            break;
        }
        plat::SockmonWatcher watcher;
        {
            std::lock_guard<std::mutex> g(state().m);
            watcher = state().watcher;
        }
        if (watcher)
            watcher(p->name, std::string(buf, size_t(n)));
        std::lock_guard<std::mutex> g(p->m);
        p->received.append(buf, size_t(n));
    }
}

void disconnect(SockPort *p)
{
    if (p->fd < 0)
        return;
    shutdown(p->fd, SHUT_RDWR);
    if (p->reader.joinable())
        p->reader.join();
    close(p->fd);
    p->fd = -1;
}

BOOL sm_open_port(HANDLE, LPWSTR name, PHANDLE out)
{
    if (!name || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    SockmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    auto p = std::make_unique<SockPort>();
    p->name = plat::utf16_to_utf8(name);
    auto it = s.targets.find(p->name);
    if (it == s.targets.end())
        it = s.targets.find("");
    if (it == s.targets.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    p->target = it->second;
    const uintptr_t h = s.next++;
    s.ports[h] = std::move(p);
    *out = reinterpret_cast<HANDLE>(h);
    return TRUE;
}

BOOL sm_close_port(HANDLE h)
{
    std::unique_ptr<SockPort> p;
    {
        SockmonState &s = state();
        std::lock_guard<std::mutex> g(s.m);
        auto it = s.ports.find(reinterpret_cast<uintptr_t>(h));
        if (it == s.ports.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        p = std::move(it->second);
        s.ports.erase(it);
    }
    disconnect(p.get());
    return TRUE;
}

/* Connects a port that has no live connection. */
BOOL sm_start_doc(HANDLE h, LPWSTR, DWORD, DWORD, LPBYTE)
{
    SockPort *p = port_of(h);
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    bool closed;
    {
        std::lock_guard<std::mutex> g(p->m);
        closed = p->closed;
    }
    if (p->fd >= 0 && !closed)
        return TRUE;
    disconnect(p);
    const int fd = connect_to(p->target, int(state().timeoutMs));
    if (fd < 0)
        return FALSE;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    p->fd = fd;
    {
        std::lock_guard<std::mutex> g(p->m);
        p->closed = false;
    }
    p->reader = std::thread(read_loop, p, fd);
    return TRUE;
}

BOOL sm_end_doc(HANDLE h)
{
    if (!port_of(h)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL sm_write(HANDLE h, LPBYTE data, DWORD n, LPDWORD written)
{
    if (written)
        *written = 0;
    SockPort *p = port_of(h);
    if (!p || (!data && n)) {
        SetLastError(p ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (p->fd < 0) {
        SetLastError(kWsaConnReset);
        return FALSE;
    }
    DWORD moved = 0;
    while (moved < n) {
        pollfd pf{p->fd, POLLOUT, 0};
        const int r = poll(&pf, 1, int(state().timeoutMs));
        if (r == 0) {
            if (written)
                *written = moved;
            SetLastError(kErrorTimeout);
            return moved ? TRUE : FALSE;
        }
        const ssize_t sent = r > 0 ? send(p->fd, data + moved, n - moved, MSG_NOSIGNAL) : -1;
        if (sent < 0) {
            if (errno == EAGAIN || errno == EINTR)
                continue;
            if (written)
                *written = moved;
            SetLastError(kWsaConnReset);
            return FALSE;
        }
        moved += DWORD(sent);
    }
    if (written)
        *written = moved;
    return TRUE;
}

BOOL sm_read(HANDLE h, LPBYTE buffer, DWORD size, LPDWORD read)
{
    if (read)
        *read = 0;
    SockPort *p = port_of(h);
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> g(p->m);
    const DWORD n = buffer ? DWORD(std::min<size_t>(size, p->received.size())) : 0;
    if (n)
        std::memcpy(buffer, p->received.data(), n);
    p->received.erase(0, n);
    if (read)
        *read = n;
    return TRUE;
}

BOOL sm_set_timeouts(HANDLE h, LPCOMMTIMEOUTS, DWORD) { return port_of(h) ? TRUE : FALSE; }

/* The device ID on a side connection: "DEVICEID" asked, the answer read until the peer closes (bounded). */
BOOL sm_get_data(HANDLE h, DWORD control, LPWSTR, LPWSTR, DWORD, LPWSTR out, DWORD outSize, LPDWORD returned)
{
    if (returned)
        *returned = 0;
    SockPort *p = port_of(h);
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (control != 0x16000C && control != 0x220414)
        return TRUE;
    const int idWait = int(std::min(kIdWaitMs, state().timeoutMs));
    const int fd = connect_to(p->target, idWait);
    if (fd < 0) {
        SetLastError(kGenFailure);
        return FALSE;
    }
    send(fd, "DEVICEID\r\n", 10, MSG_NOSIGNAL);
    std::string id;
    char buf[2048];
    for (;;) {
        pollfd pf{fd, POLLIN, 0};
        if (poll(&pf, 1, idWait) != 1)
            break;
        const ssize_t n = recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            break;
        id.append(buf, size_t(n));
        if (id.size() > 4096)
            break;
    }
    close(fd);
    if (id.empty()) {
        SetLastError(kGenFailure);
        return FALSE;
    }
    if (control == 0x220414) {
        const size_t n = id.size() + 2;
        id.insert(0, 1, char(n & 0xFF));
        id.insert(0, 1, char((n >> 8) & 0xFF));
    }
    const DWORD n = DWORD(std::min<size_t>(id.size(), outSize));
    if (out && n)
        std::memcpy(out, id.data(), n);
    if (returned)
        *returned = n;
    return TRUE;
}

const MONITOR2 table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof(MONITOR2);
    t.pfnOpenPort = sm_open_port;
    t.pfnStartDocPort = sm_start_doc;
    t.pfnWritePort = sm_write;
    t.pfnReadPort = sm_read;
    t.pfnEndDocPort = sm_end_doc;
    t.pfnClosePort = sm_close_port;
    t.pfnSetPortTimeOuts = sm_set_timeouts;
    t.pfnGetPrinterDataFromPort = sm_get_data;
    return t;
}();

} // namespace

namespace plat {

LPMONITOR2 sockmon_table() { return const_cast<LPMONITOR2>(&table); }

HANDLE sockmon_handle() { return reinterpret_cast<HANDLE>(uintptr_t{0x7800}); }

void sockmon_set_target(const std::string &portName, const std::string &host, unsigned short port)
{
    SockmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.targets[portName] = Target{host, port};
}

void sockmon_watch(SockmonWatcher watcher)
{
    SockmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.watcher = std::move(watcher);
}

void sockmon_set_timeout(DWORD ms)
{
    SockmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.timeoutMs = ms;
}

void sockmon_reset()
{
    SockmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.targets.clear();
    s.watcher = nullptr;
    s.timeoutMs = 10000;
}

} // namespace plat
