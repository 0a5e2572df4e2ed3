/*
 * Winsock start-up and clean-up: a count of uses (see plat/winsock.h).
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/winsock.h>

#include <atomic>
#include <cstring>

namespace {

std::atomic<int> users{0};

void winsock_reset() { users = 0; }

const bool registered = (plat::machine_on_reset(winsock_reset), true);

} // namespace

int WSAStartup(WORD version, LPWSADATA data)
{
    if (!data)
        return WSAEFAULT;
    const BYTE major = LOBYTE(version), minor = HIBYTE(version);
    if (major < 1 || (major == 1 && minor < 1))
        return WSAVERNOTSUPPORTED;
    std::memset(data, 0, sizeof *data);
    data->wVersion = version;
    data->wHighVersion = MAKEWORD(2, 2);
    std::strcpy(data->szDescription, "WinSock 2.0");
    std::strcpy(data->szSystemStatus, "Running");
    ++users;
    return 0;
}

int WSACleanup(void)
{
    int n = users.load();
    while (n > 0 && !users.compare_exchange_weak(n, n - 1)) {
    }
    if (n <= 0) {
        SetLastError(WSANOTINITIALISED);
        return -1;
    }
    return 0;
}

namespace plat {

int winsock_users() { return users.load(); }

} // namespace plat
