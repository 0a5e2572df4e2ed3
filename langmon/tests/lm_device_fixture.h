/*
 * Device IDs for tests: the standard Base64 of a status block (the test's
 * own encoder, independent of the monitor's decoder) and a device ID of the
 * supported model carrying a block.
 */
#ifndef TARVEL_LANGMON_DEVICE_FIXTURE_H
#define TARVEL_LANGMON_DEVICE_FIXTURE_H

#include <plat/types.h>

#include <string>
#include <vector>

inline std::string base64(const std::vector<BYTE> &in)
{
    static const char *a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i + 2 < in.size(); i += 3) {
        const unsigned v = unsigned(in[i]) << 16 | unsigned(in[i + 1]) << 8 | in[i + 2];
        out += a[v >> 18];
        out += a[(v >> 12) & 63];
        out += a[(v >> 6) & 63];
        out += a[v & 63];
    }
    return out;
}

/* Two characters outside the alphabet, then 88 Base64 characters: a 90-character "STS:" value. */
inline std::string sts_of(const std::vector<BYTE> &block) { return "**" + base64(block); }

inline std::string device_id(const std::string &sts)
{
    return "MFG:OSTREL;CMD:PJL,PCLXL;MDL:Lumaset K4100;CLS:PRINTER;STS:" + sts + ";";
}

/* A 66-byte block of an idle device (status code 196) with `freeBlocks` free 4 KB input blocks. */
inline std::vector<BYTE> idle_block(BYTE freeBlocks = 10)
{
    std::vector<BYTE> b(66, 0);
    b[3] = 196;
    b[62] = 4;
    b[63] = freeBlocks;
    return b;
}

#endif
