/*
 * The TCP client to a network device's raw PJL port (9100): connecting to
 * each address the host resolves to, one send of the whole block, and
 * receiving with the device's PJL session kept open by a keep-alive while
 * the client waits.  Socket errors are kept as Windows socket error
 * numbers.  A pending connect is waited for at most the blocking client's
 * receive time-out and checked with SO_ERROR (a socket becomes writable
 * also when its connect failed).  Sends never raise SIGPIPE.
 */
#include "network.h"

#include <plat/registry.h>

#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const WCHAR *kSettingsKey = u"SOFTWARE\\OSTREL\\Queuelark\\Printers\\OSTREL Lumaset K4100";
constexpr DWORD kDefaultConnectTime = 5;
constexpr DWORD kMaxConnectTime = 1000;
constexpr int kNonBlockingTries = 5;
constexpr int kReceiveRounds = 3;
/* The universal exit, "@PJL" and the universal exit: keeps the device's PJL session open. */
constexpr char kKeepAlive[] = "\x1b%-12345X@PJL\x1b%-12345X";
static_assert(sizeof kKeepAlive - 1 == 22, "keep-alive length");

DWORD read_connect_time()
{
    HKEY key = nullptr;
    DWORD value = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD type = 0, size = sizeof value;
        if (RegQueryValueExW(key, u"ConnectTime", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD)
            value = 0;
        RegCloseKey(key);
    }
    if (value == 0)
        return kDefaultConnectTime;
    return value > kMaxConnectTime ? kMaxConnectTime : value;
}

void set_blocking(int fd, bool blocking)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0)
        fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

/* Waits until `fd` has `events` or `ms` pass; true when it has. */
bool wait_for(int fd, short events, int ms)
{
    pollfd p{fd, events, 0};
    int rc;
    do
        rc = poll(&p, 1, ms);
    while (rc < 0 && errno == EINTR);
    return rc > 0;
}

} // namespace

int LMN_SocketError(int err)
{
    switch (err) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
    case ENOTSOCK:
        return 10038;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EAGAIN:
    case EINPROGRESS:
        return LMN_WSAEWOULDBLOCK;
    case EALREADY:
        return 10037;
    case EMSGSIZE:
        return 10040;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ECONNABORTED:
        return 10053;
    case ECONNRESET:
        return 10054;
    case ENOBUFS:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case EPIPE:
    case ESHUTDOWN:
        return 10058;
    case ETIMEDOUT:
        return LMN_WSAETIMEDOUT;
    case ECONNREFUSED:
        return LMN_WSAECONNREFUSED;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    default:
        return 10000 + (err & 0xFFF); /* no Windows twin: kept distinct from success */
    }
}

TcpClient::TcpClient(bool blockingClient, bool keepAliveFlag)
    : blocking(blockingClient), connectTime(read_connect_time()), keepAlive(keepAliveFlag)
{
}

TcpClient::~TcpClient()
{
    if (addresses)
        freeaddrinfo(addresses);
    if (socket >= 0) {
        set_blocking(socket, true);
        close(socket);
    }
}

int TcpClient::Connect(const char *host)
{
    if (!host || !*host)
        return -1;
    const LmnEndpoints e = LMN_Endpoints();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *list = nullptr;
    const std::string service = std::to_string(e.rawPort);
    if (getaddrinfo(host, service.c_str(), &hints, &list) != 0 || !list)
        return -1;
    if (addresses)
        freeaddrinfo(addresses);
    addresses = list;
    if (socket >= 0) {
        close(socket);
        socket = -1;
    }
    for (addrinfo *a = list; a; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = LMN_SocketError(errno);
            continue;
        }
        if (blocking) {
            timeval tv{e.receiveTimeoutMs / 1000, (e.receiveTimeoutMs % 1000) * 1000};
            if (setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) != 0) {
                lastError = LMN_SocketError(errno);
                close(fd);
                continue;
            }
        }
        set_blocking(fd, blocking);
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            socket = fd;
            return 1;
        }
        lastError = LMN_SocketError(errno);
        if (!blocking && lastError == LMN_WSAEWOULDBLOCK && wait_for(fd, POLLOUT, e.receiveTimeoutMs)) {
            int err = 0;
            socklen_t len = sizeof err;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) {
                lastError = 0;
                socket = fd;
                return 1;
            }
            lastError = LMN_SocketError(err);
        }
        close(fd);
    }
    return 0;
}

int TcpClient::Send(const BYTE *data, DWORD length)
{
    if (socket < 0 || (!data && length))
        return 0;
    const LmnEndpoints e = LMN_Endpoints();
    DWORD sent = 0;
    while (sent < length) {
        const ssize_t n = ::send(socket, data + sent, length - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += DWORD(n);
            continue;
        }
        const int err = n < 0 ? errno : EPIPE;
        if (err == EINTR)
            continue;
        /* a non-blocking socket with a full send buffer: wait for room, bounded */
        if ((err == EAGAIN || err == EWOULDBLOCK) && wait_for(socket, POLLOUT, e.receiveTimeoutMs))
            continue;
        lastError = LMN_SocketError(err);
        return 0;
    }
    return 1;
}

int TcpClient::ReceiveAll(BYTE *buffer, DWORD size, DWORD *received)
{
    if (socket < 0 || !buffer || !received || *received > size)
        return 0;
    if (blocking) {
        /* until the peer closes; a device that keeps the connection open ends with the time-out */
        const DWORD before = *received;
        for (;;) {
            if (*received == size)
                return 1;
            const ssize_t n = ::recv(socket, buffer + *received, size - *received, 0);
            if (n > 0) {
                *received += DWORD(n);
                continue;
            }
            if (n == 0)
                return 1;
            if (errno == EINTR)
                continue;
            const int err = LMN_SocketError(errno);
            if (err != LMN_WSAEWOULDBLOCK)
                lastError = err;
            return *received > before ? 1 : 0;
        }
    }
    const LmnEndpoints e = LMN_Endpoints();
    int result = 0;
    receiveFailed = false;
    for (int i = 0; i < kNonBlockingTries; ++i) {
        if (*received == size)
            return 1;
        const ssize_t n = ::recv(socket, buffer + *received, size - *received, MSG_DONTWAIT);
        if (n > 0) {
            *received += DWORD(n);
            result = 1;
        } else if (n == 0) {
            return 1; /* a clean close */
        } else if (errno != EINTR) {
            const int err = LMN_SocketError(errno);
            if (err != LMN_WSAEWOULDBLOCK) {
                lastError = err;
                receiveFailed = true;
                return result;
            }
        }
        if (!keepAlive)
            break;
        if (tries != 0 && tries % connectTime == 0)
            Send(reinterpret_cast<const BYTE *>(kKeepAlive), sizeof kKeepAlive - 1);
        ++tries;
        wait_for(socket, POLLIN, e.pauseMs);
    }
    return result;
}

int TcpClient::Exchange(const char *host, const BYTE *data, DWORD length, BYTE *buffer, DWORD size, DWORD *received)
{
    if (Connect(host) != 1 || !Send(data, length))
        return 0;
    const int pause = LMN_Endpoints().pauseMs;
    int result = 0;
    for (int i = 0; i < kReceiveRounds && *received == 0; ++i) {
        wait_for(socket, POLLIN, pause);
        result = ReceiveAll(buffer, size, received);
        if (!result)
            break;
    }
    return *received ? 1 : result;
}

int LMN_TcpExchange(const char *host, const BYTE *data, DWORD length, BYTE *buffer, DWORD size, DWORD *received)
{
    TcpClient *client = new (std::nothrow) TcpClient(true, true);
    if (!client)
        return 0;
    const int result = client->Exchange(host, data, length, buffer, size, received);
    delete client;
    return result;
}

int LMN_TcpOpen(TcpClient **out, const char *host, bool keepAlive)
{
    if (!out)
        return 0;
    *out = new (std::nothrow) TcpClient(false, keepAlive);
    if (!*out)
        return 0;
    return host ? ((*out)->Connect(host) == 1 ? 1 : 0) : 1;
}

int LMN_TcpSend(TcpClient *client, const BYTE *data, DWORD length)
{
    return client ? client->Send(data, length) : 0;
}

int LMN_TcpReceive(TcpClient *client, BYTE *buffer, DWORD size, DWORD *received)
{
    if (!client)
        return 0;
    const int pause = LMN_Endpoints().pauseMs;
    int result = 0;
    for (int i = 0; i < kReceiveRounds; ++i) {
        if (i && client->socket >= 0)
            wait_for(client->socket, POLLIN, pause);
        result = client->ReceiveAll(buffer, size, received);
        if (result || *received || client->receiveFailed)
            break;
    }
    return *received ? 1 : result;
}

void LMN_TcpClose(TcpClient *client) { delete client; }
