/*
 * The ICC profile header check: reads a profile's first 132 bytes through the
 * run-time library's file functions and tests the four signatures the driver
 * relies on.
 */
#include "icc_header.h"

#include <plat/crt_io.h>

#include <cstring>

namespace {

/* The 128-byte profile header and the 32-bit tag count behind it. */
constexpr size_t kHeaderSize = 132;
constexpr size_t kClassOffset = 12;
constexpr size_t kColorSpaceOffset = 16;
constexpr size_t kConnectionSpaceOffset = 20;
constexpr size_t kSignatureOffset = 36;

bool sig_is(const BYTE *header, size_t offset, const char *sig)
{
    return std::memcmp(header + offset, sig, 4) == 0;
}

int check_header(const BYTE *header)
{
    if (!sig_is(header, kSignatureOffset, "acsp"))
        return CLU_ICC_NOT_A_PROFILE;
    if (!sig_is(header, kColorSpaceOffset, "RGB "))
        return CLU_ICC_WRONG_SPACE;
    if (!sig_is(header, kConnectionSpaceOffset, "XYZ ") && !sig_is(header, kConnectionSpaceOffset, "Lab "))
        return CLU_ICC_WRONG_PCS;
    if (!sig_is(header, kClassOffset, "mntr") && !sig_is(header, kClassOffset, "scnr"))
        return CLU_ICC_WRONG_SPACE;
    return CLU_ICC_USABLE;
}

} // namespace

int CLU_CheckIccProfileHeader(const char *path)
{
    if (!path || !*path)
        return CLU_ICC_NO_PATH;
    int fd = _open(path, _O_RDONLY | _O_BINARY);
    if (fd < 0)
        return CLU_ICC_CANNOT_OPEN;
    BYTE header[kHeaderSize];
    size_t got = 0;
    while (got < kHeaderSize) {
        int n = _read(fd, header + got, unsigned(kHeaderSize - got));
        if (n <= 0)
            break; /* end of file or a read error */
        got += size_t(n);
    }
    bool closed = _close(fd) == 0;
    if (got < kHeaderSize)
        return CLU_ICC_TOO_SHORT;
    int rc = check_header(header);
    if (rc == CLU_ICC_USABLE && !closed)
        return CLU_ICC_CLOSE_FAILED;
    return rc;
}
