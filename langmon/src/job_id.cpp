/*
 * Job identifiers: the local form (leading number, computer-name bytes, a
 * 16-bit CRC of the name and the tick count, 24 upper-case hex digits) and
 * the network form made from a new GUID.
 */
#include "monitor.h"

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/sysinfo.h>

#include <cstdio>
#include <cstring>

namespace {

/* Nibble tables of the identifier CRC.  The high table's last entry is 0x4600 on purpose. */
constexpr WORD kCrcLow[16] = {0x0000, 0xC0C1, 0xC181, 0x0140, 0xC301, 0x03C0, 0x0280, 0xC241,
                              0xC601, 0x06C0, 0x0780, 0xC741, 0x0500, 0xC5C1, 0xC481, 0x0440};
constexpr WORD kCrcHigh[16] = {0x0000, 0xCC01, 0xD801, 0x1400, 0xF001, 0x3C00, 0x2800, 0xE401,
                               0xA001, 0x6C00, 0x7800, 0xB401, 0x5000, 0x9C01, 0x8801, 0x4600};

constexpr DWORD kNameBuffer = 255;

} // namespace

WORD JobIdCrc(const char *text)
{
    WORD crc = 0;
    if (!text)
        return crc;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        const unsigned x = (*p ^ crc) & 0xFF;
        crc = WORD(kCrcHigh[x >> 4] ^ kCrcLow[x & 0xF] ^ (crc >> 8));
    }
    return crc;
}

void LMJ_FormatJobId(char *out, const char *computerName, DWORD leading)
{
    if (!out)
        return;
    const char *name = computerName && *computerName ? computerName : nullptr;
    char text[LM_JOB_ID_CHARS + 1];
    int pos = std::snprintf(text, sizeof text, "%02X", unsigned(leading & 0xFF));
    bool ended = !name;
    for (int i = 0; i < 5; ++i) {
        const unsigned char c = ended ? 0 : static_cast<unsigned char>(name[i]);
        if (!c)
            ended = true;
        pos += std::snprintf(text + pos, sizeof text - pos, "%02X", unsigned(c));
    }
    pos += std::snprintf(text + pos, sizeof text - pos, "%04X", unsigned(JobIdCrc(name ? name : "********")));
    std::snprintf(text + pos, sizeof text - pos, "%08X", unsigned(GetTickCount()));
    std::memcpy(out, text, sizeof text);
}

void LMJ_MakeJobId(char *out)
{
    if (!out)
        return;
    DWORD size = kNameBuffer;
    char *name = static_cast<char *>(LMU_Alloc(size));
    if (name && !GetComputerNameA(name, &size)) {
        const DWORD error = GetLastError();
        LMU_Free(name);
        name = nullptr;
        /* a longer name: once more at the size the system asked for */
        if ((error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_BUFFER_OVERFLOW) && size > kNameBuffer) {
            name = static_cast<char *>(LMU_Alloc(size));
            if (name && !GetComputerNameA(name, &size)) {
                LMU_Free(name);
                name = nullptr;
            }
        }
    }
    LMJ_FormatJobId(out, name, 3);
    LMU_Free(name);
}

void LMJ_MakeGuidJobId(char *out)
{
    if (!out)
        return;
    GUID g{};
    CoCreateGuid(&g); /* a failure leaves the zero GUID */
    char text[LM_GUID_ID_BYTES];
    std::snprintf(text, sizeof text, "%08X%04X%04X%X%X%X%X%X%X%X%X", unsigned(g.Data1), unsigned(g.Data2),
                  unsigned(g.Data3), unsigned(g.Data4[0]), unsigned(g.Data4[1]), unsigned(g.Data4[2]),
                  unsigned(g.Data4[3]), unsigned(g.Data4[4]), unsigned(g.Data4[5]), unsigned(g.Data4[6]),
                  unsigned(g.Data4[7]));
    std::memcpy(out, text, std::strlen(text) + 1);
}
