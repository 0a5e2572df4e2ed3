/*
 * Winsock start-up and clean-up under their Windows names.  Sockets
 * themselves sit on POSIX sockets and need no start-up on Linux, so these
 * only keep the count Windows keeps: each successful WSAStartup needs one
 * WSACleanup.  Tests read the count (plat::winsock_users) to see that a
 * library balances them.  machine_reset sets the count to 0.
 */
#ifndef PLAT_WINSOCK_H
#define PLAT_WINSOCK_H

#include <plat/types.h>

#define WSADESCRIPTION_LEN 256
#define WSASYS_STATUS_LEN 128
#define WSANOTINITIALISED 10093
#define WSAVERNOTSUPPORTED 10092
#define WSAEFAULT 10014

#ifndef MAKEWORD
#define MAKEWORD(a, b) ((WORD)(((BYTE)((DWORD_PTR)(a) & 0xff)) | ((WORD)((BYTE)((DWORD_PTR)(b) & 0xff))) << 8))
#endif

/* The 64-bit layout: the version words, then the two counts, then the texts. */
struct WSADATA {
    WORD wVersion;
    WORD wHighVersion;
    unsigned short iMaxSockets;
    unsigned short iMaxUdpDg;
    char *lpVendorInfo;
    char szDescription[WSADESCRIPTION_LEN + 1];
    char szSystemStatus[WSASYS_STATUS_LEN + 1];
};
typedef WSADATA *LPWSADATA;

/*
 * Starts the use of sockets: 0, with `data` filled (version 2.2 offered, the
 * asked one granted); WSAVERNOTSUPPORTED for a version below 1.1; WSAEFAULT
 * for null data.
 */
int WSAStartup(WORD version, LPWSADATA data);

/* Ends one use: 0, or SOCKET_ERROR (-1) with last error WSANOTINITIALISED when none is left. */
int WSACleanup(void);

namespace plat {

/* Successful WSAStartup calls not yet balanced by WSACleanup. */
int winsock_users();

} // namespace plat

#endif /* PLAT_WINSOCK_H */
