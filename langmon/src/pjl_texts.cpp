/*
 * The PJL the monitor writes itself: the job header in front of the first
 * job byte, the trailer after the last, and "USTATUSOFF" when the polling
 * of a job ends; and the inspection of the start of a job stream (a leading
 * universal exit or PostScript, the driver's job identifier, the language
 * the stream enters).
 *
 * The stream is a byte range, not a string: every compare and search stays
 * inside it.
 */
#include "status.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr char kUel[] = "\x1b%-12345X";
constexpr DWORD kUelBytes = 9;
constexpr char kJobIdPrefix[] = "@PJL SET JOBATTR=\"@JCID=";
constexpr DWORD kJobIdPrefixBytes = 24;
constexpr char kEnterPrefix[] = "@PJL ENTER";
constexpr DWORD kEnterPrefixBytes = 10;
/* The language name starts after "@PJL ENTER LANGUAGE=". */
constexpr DWORD kLanguageAt = 20;
constexpr DWORD kHeaderBytes = 1024;

bool starts(const BYTE *data, DWORD length, const char *prefix, DWORD n)
{
    return length >= n && std::memcmp(data, prefix, n) == 0;
}

void set_identifier(char *field, const char *text, size_t n)
{
    std::memset(field, 0, LM_TEXT_ID);
    std::memcpy(field, text, n < LM_TEXT_ID - 1 ? n : LM_TEXT_ID - 1);
}

} // namespace

int LMJ_TakeJobId(BYTE *line, DWORD length, MonitorPort *port)
{
    port->jobIdFromStream = 0;
    const BYTE *id = line + kJobIdPrefixBytes;
    const DWORD rest = length > kJobIdPrefixBytes ? length - kJobIdPrefixBytes : 0;
    DWORD n = 0;
    while (n < rest && id[n] != '"' && id[n] != '\r' && id[n] != '\n')
        ++n;
    if (n == rest || id[n] != '"')
        return 1; /* no closing quote in the data: the monitor's own identifier stays */
    if (n == 0) {
        std::memset(line + 18, ' ', 6);
        return 1;
    }
    set_identifier(port->jobIdentifier, reinterpret_cast<const char *>(id), n);
    port->jobIdFromStream = 1;
    return 1;
}

int LMJ_TakeLanguage(const BYTE *line, DWORD length, MonitorPort *port)
{
    port->inspectionDone = 1;
    const BYTE *name = line + kLanguageAt;
    const DWORD rest = length > kLanguageAt ? length - kLanguageAt : 0;
    if (starts(name, rest, "POSTSCRIPT", 10)) {
        if (!port->postScriptJob) {
            port->streamLanguage = 1;
            port->postScriptJob = 1;
        }
    } else if (starts(name, rest, "PCLXL", 5)) {
        port->streamLanguage = 2;
        port->postScriptJob = 0;
    }
    std::memcpy(port->streamJobIdentifier, port->jobIdentifier, LM_TEXT_ID);
    return 1;
}

int LMJ_InspectStream(MonitorPort *port, BYTE *data, DWORD length)
{
    if (!port || (!data && length))
        return 0;
    port->jobIdFromStream = 0;
    if (port->streamLanguage == 1 || port->streamLanguage == 2)
        return 0;
    if (starts(data, length, kUel, kUelBytes)) {
        port->streamHasUel = 1;
        port->inspectionDone = 0;
        DWORD at = kUelBytes;
        while (at < length && !port->inspectionDone) {
            BYTE *line = data + at;
            const DWORD rest = length - at;
            if (starts(line, rest, kJobIdPrefix, kJobIdPrefixBytes))
                LMJ_TakeJobId(line, rest, port);
            else if (starts(line, rest, kEnterPrefix, kEnterPrefixBytes))
                LMJ_TakeLanguage(line, rest, port);
            const void *lf = std::memchr(line, '\n', rest);
            if (!lf)
                break;
            at = DWORD(static_cast<const BYTE *>(lf) - data) + 1;
        }
        if (port->streamLanguage == 0)
            port->streamLanguage = -1;
    } else if (starts(data, length, "%!PS-Adobe", 10)) {
        port->streamLanguage = 1;
        port->postScriptJob = 1;
        std::memcpy(port->streamJobIdentifier, port->jobIdentifier, LM_TEXT_ID);
    } else {
        std::memcpy(port->streamJobIdentifier, port->jobIdentifier, LM_TEXT_ID);
        port->postScriptJob = 0;
        port->streamLanguage = -1;
    }
    return 1;
}

DWORD LMJ_BuildHeader(char *out, const HeaderParams *params, const MonitorPort *port)
{
    if (!out || !params || !port || !(port->portKind & KIND_BIDI) || (!params->statusRequests && !params->jobLine))
        return 0;
    std::string text(kUel, kUelBytes);
    if (params->statusRequests)
        text += "@PJL USTATUS DEVICE=ON\r\n@PJL USTATUS JOB=ON\r\n@PJL USTATUS PAGE=ON\r\n@PJL INFO STATUS\r\n";
    const std::string id(params->identifier, strnlen(params->identifier, sizeof params->identifier));
    if (params->jobLine) {
        if (port->portKind & KIND_NETWORK)
            text += "@PJL SET JOBATTR=\"@JCID=" + id + "\"\r\n";
        else
            text += "@PJL JOB" + (params->nameAttribute ? " NAME=\"" + id + "\"" : std::string()) + "\r\n";
    }
    const DWORD n = DWORD(text.size() < kHeaderBytes ? text.size() : kHeaderBytes);
    std::memcpy(out, text.data(), n);
    return n;
}

DWORD LMJ_BuildTrailer(char *out, const HeaderParams *params, const MonitorPort *port)
{
    if (!out || !params || !port || !params->jobLine)
        return 0;
    std::string text;
    if (port->trailerOwed)
        text += std::string("\x04") + std::string(kUel, kUelBytes);
    const std::string id(params->identifier, strnlen(params->identifier, sizeof params->identifier));
    const bool named = (port->portKind & KIND_BIDI) && params->nameAttribute;
    text += "@PJL EOJ" + (named ? " NAME=\"" + id + "\"" : std::string()) + "\r\n";
    text += std::string(kUel, kUelBytes);
    std::memcpy(out, text.data(), text.size());
    return DWORD(text.size());
}

BOOL LMJ_SendUstatusOff(MonitorPort *port)
{
    if (!port)
        return FALSE;
    DWORD words[3];
    if (LMS_ReadPrinterStatus(port, words) &&
        ((words[1] & 0x100) || !LMP_TestState(port, ST_IDENTIFIED) || (words[2] & (0x1000 | 0x200))))
        return FALSE;
    static const char kText[] = "\x1b%-12345X@PJL USTATUSOFF\r\n\x1b%-12345X";
    constexpr DWORD kTextBytes = sizeof kText - 1;
    static_assert(kTextBytes == 35, "USTATUSOFF is 35 bytes");
    auto *copy = static_cast<BYTE *>(LMU_Alloc(kTextBytes));
    if (!copy)
        return FALSE;
    std::memcpy(copy, kText, kTextBytes);
    bool opened = false;
    if (!LMP_TestState(port, ST_PORT_OPEN)) {
        if (!LMP_OpenStatusDoc(port)) {
            LMU_Free(copy);
            return FALSE;
        }
        LMP_SetState(port, ST_PORT_OPEN);
        LMP_SetDefaultTimeouts(port);
        opened = true;
    }
    DWORD written = 0;
    LMP_SendControlData(port, copy, kTextBytes, &written, FALSE, FALSE);
    if (opened) {
        LMP_PortEndDoc(port);
        LMP_ClearState(port, ST_PORT_OPEN);
    }
    LMU_Free(copy);
    LMS_FreePendingOutput(port);
    return TRUE;
}
