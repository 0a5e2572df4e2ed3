/*
 * Tool exchanges through the status manager: a settings tool leaves a
 * block of device commands in a manager value of its printer and asks the
 * monitor to carry it to the device; the device's answer comes back in
 * "TBValue" and the outcome in "RWResult".  Network ports talk to the
 * device's raw port over TCP; other ports through the port monitor.  A
 * start request reserves the device (the port's busy word, and on network
 * ports a connection kept in the port's tcpClient) until the end request.
 */
#include "named_requests.h"
#include "network.h"

#include <plat/clock.h>

#include <cstring>
#include <string>

namespace {

constexpr int kToolReads = 5;
constexpr DWORD kToolReadPauseMs = 300;
/* The largest manager value taken as a command block. */
constexpr DWORD kMaxBlock = 1024 * 1024;

bool bidi_off(const ServedPrinter *p) { return LMS_TestPrinterFlags(p, SP_BIDI_OFF); }

bool job_in_hand(MonitorPort *port)
{
    LMP_Lock(port);
    const bool any = port->jobQueueHead || LMP_TestState(port, ST_JOB_OPEN) || LMP_Busy(port);
    LMP_Unlock(port);
    return any;
}

bool queued_or_open(MonitorPort *port)
{
    LMP_Lock(port);
    const bool any = port->jobQueueHead || LMP_TestState(port, ST_JOB_OPEN);
    LMP_Unlock(port);
    return any;
}

/* The printer of the request: refused (-19) without a name, a status table, bidirectional support or such a printer. */
LONG open_exchange(const WCHAR *name, MonitorPort *port, ServedPrinter **printer)
{
    *printer = nullptr;
    port->refreshActive = 0;
    if (!name || !name[0] || LMU_BoundedLength(name) < 0 || !port->statusVariables)
        return LM_ANSWER_REFUSED;
    LMS_PublishToManager(port);
    LMS_RefreshPrinters(port);
    if (!(port->portKind & KIND_BIDI))
        return LM_ANSWER_REFUSED;
    ServedPrinter *p = LMS_FindServedPrinter(name, port);
    if (!p || !p->GetPrinterStatusA)
        return LM_ANSWER_REFUSED;
    *printer = p;
    return 0;
}

/* A manager value of the printer as bytes (a trailing NUL dropped); false when it cannot be read. */
bool read_value(ServedPrinter *p, const char *name, std::string &out)
{
    DWORD needed = 0;
    const LONG r = p->GetPrinterStatusA(p->managerHandle, name, nullptr, 0, &needed);
    if (r != 0 && r != SM_MORE_DATA && r != SM_BUFFER_SMALL && needed == 0)
        return false;
    if (needed == 0 || needed > kMaxBlock)
        return false;
    std::string buffer(needed, '\0');
    DWORD got = needed;
    if (p->GetPrinterStatusA(p->managerHandle, name, buffer.data(), needed, &got) != 0)
        return false;
    if (!buffer.empty() && buffer.back() == '\0')
        buffer.pop_back();
    out = buffer;
    return true;
}

/* Writes a manager value: 0 for a printer with bidirectional support off; -19 without the manager. */
LONG write_value(ServedPrinter *p, const char *name, const void *value, DWORD size)
{
    if (bidi_off(p))
        return 0;
    if (!p->managerHandle || !p->UpdatePrinterStatusA)
        return LM_ANSWER_REFUSED;
    return p->UpdatePrinterStatusA(p->managerHandle, name, value, size);
}

void write_outcome(ServedPrinter *p, LONG outcome)
{
    if (!bidi_off(p))
        write_value(p, "RWResult", &outcome, sizeof outcome);
}

/* Sends a block through the port monitor and flushes what stays pending; false when it does not all go. */
bool send_block(MonitorPort *port, const std::string &block)
{
    DWORD written = 0;
    if (!LMP_SendControlData(port, reinterpret_cast<LPBYTE>(const_cast<char *>(block.data())), DWORD(block.size()),
                             &written, TRUE, FALSE))
        return false;
    while (port->pendingLength && port->pendingOutput) {
        const DWORD before = port->pendingLength;
        DWORD flushed = 0;
        LMP_SendControlData(port, nullptr, 0, &flushed, TRUE, FALSE);
        if (port->pendingLength == before) {
            LMS_FreePendingOutput(port);
            return false;
        }
    }
    return true;
}

/* Appends everything the device has queued to `answer` (at most LM_TOOL_ANSWER_BYTES); false for a failed read. */
bool read_queued(MonitorPort *port, std::string &answer)
{
    BYTE *read = nullptr;
    DWORD capacity = 0, length = 0;
    const BOOL ok = LMP_ReadAll(port, &read, &capacity, &length);
    if (ok && length) {
        const size_t room = LM_TOOL_ANSWER_BYTES - answer.size();
        answer.append(reinterpret_cast<const char *>(read), length < room ? length : room);
    }
    LMU_Free(read);
    return ok;
}

/* Swaps the port's kept connection under its lock; the previous one is returned. */
TcpClient *swap_client(MonitorPort *port, TcpClient *client)
{
    LMP_Lock(port);
    TcpClient *old = port->tcpClient;
    port->tcpClient = client;
    LMP_Unlock(port);
    return old;
}

/* The end of an exchange: "TBValue" := the answer (when asked), "RWResult" := the outcome. */
LONG finish(ServedPrinter *p, LONG outcome, bool writeAnswer, const std::string &answer)
{
    LONG written = 0;
    if (writeAnswer) {
        const std::string text = answer + '\0';
        written = write_value(p, "TBValue", text.data(), DWORD(text.size()));
    }
    write_outcome(p, outcome);
    return outcome != 0 ? outcome : written;
}

} // namespace

LONG LMS_DeviceCheck(MonitorPort *port, const ServedPrinter *printer)
{
    LMS_QueryDeviceId(port);
    DWORD words[3];
    LMP_Lock(port);
    const bool held = LMS_ReadPrinterStatus(port, words);
    LMP_Unlock(port);
    if (!held)
        return LM_ANSWER_REFUSED;
    if (words[1] & 0x100)
        return LM_ANSWER_NOT_ANSWERING;
    if (!LMU_MaskIntersects(port->modelMask, printer->modelMask))
        return LM_ANSWER_OTHER_MODEL;
    if (words[2] & 0x8)
        return LM_ANSWER_BUSY;
    return 0;
}

LONG LMS_ToolBoxRequest(const WCHAR *printerName, MonitorPort *port, LONG preset, bool withAnswer)
{
    if (!port)
        return LM_ANSWER_REFUSED;
    ServedPrinter *p = nullptr;
    if (LONG refused = open_exchange(printerName, port, &p))
        return refused;
    LONG outcome = preset;
    std::string block, answer;
    bool held = false, opened = false;
    if (outcome == 0 && (!read_value(p, withAnswer ? "TBValue" : "TBValue2", block) || job_in_hand(port)))
        outcome = LM_ANSWER_REFUSED;
    if (outcome == 0 && !(port->portKind & KIND_UNC)) {
        const DWORD r = WaitForSingleObject(port->portMutex, LM_PORT_WAIT_MS);
        held = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        if (!held)
            outcome = LM_ANSWER_BUSY;
    }
    if (outcome == 0 && job_in_hand(port))
        outcome = LM_ANSWER_BUSY;
    if (outcome == 0)
        outcome = LMS_DeviceCheck(port, p);
    if (outcome == 0 && (port->portKind & KIND_NETWORK)) {
        char *host = LMP_GetTcpPortAddress(port->portName);
        if (withAnswer) {
            BYTE buffer[LM_TOOL_ANSWER_BYTES];
            DWORD got = 0;
            const int ok = LMN_TcpExchange(host, reinterpret_cast<const BYTE *>(block.data()), DWORD(block.size()),
                                           buffer, sizeof buffer, &got);
            answer.assign(reinterpret_cast<const char *>(buffer), got);
            if (!ok && got == 0)
                outcome = LM_ANSWER_EXCHANGE_FAILED;
        } else {
            TcpClient *client = nullptr;
            const bool ok = LMN_TcpOpen(&client, host, true) &&
                            LMN_TcpSend(client, reinterpret_cast<const BYTE *>(block.data()), DWORD(block.size()));
            LMN_TcpClose(client);
            if (!ok)
                outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
        LMU_Free(host);
    } else if (outcome == 0) {
        if (!LMP_TestState(port, ST_PORT_OPEN)) {
            opened = LMS_OpenForStatus(port) && LMP_TestState(port, ST_PORT_OPEN);
            if (!opened)
                outcome = LM_ANSWER_REFUSED;
        }
        if (outcome == 0) {
            LMS_DrainReplies(port, FALSE);
            port->refreshActive = 1;
            if (!send_block(port, block)) {
                outcome = LM_ANSWER_EXCHANGE_FAILED;
            } else if (withAnswer) {
                for (int i = 0; i < kToolReads; ++i) {
                    if (i)
                        Sleep(kToolReadPauseMs);
                    if (!read_queued(port, answer)) {
                        answer.clear();
                        outcome = LM_ANSWER_EXCHANGE_FAILED;
                        break;
                    }
                }
            }
        }
    }
    const LONG result = finish(p, outcome, withAnswer, answer);
    if (opened) {
        LMP_PortEndDoc(port);
        LMP_ClearState(port, ST_PORT_OPEN);
    }
    if (held)
        ReleaseMutex(port->portMutex);
    return result;
}

LONG LMS_ToolBoxUstatusStart(const WCHAR *printerName, MonitorPort *port, LONG preset, bool keepAlive)
{
    if (!port)
        return LM_ANSWER_REFUSED;
    ServedPrinter *p = nullptr;
    if (LONG refused = open_exchange(printerName, port, &p))
        return refused;
    LONG outcome = preset;
    if (outcome == 0 && job_in_hand(port))
        outcome = LM_ANSWER_BUSY;
    if (outcome == 0)
        outcome = LMS_DeviceCheck(port, p);
    if (outcome == 0 && (port->portKind & KIND_NETWORK)) {
        char *host = LMP_GetTcpPortAddress(port->portName);
        TcpClient *client = nullptr;
        if (!LMN_TcpOpen(&client, host, keepAlive)) {
            LMN_TcpClose(client);
            outcome = LM_ANSWER_EXCHANGE_FAILED;
        } else {
            LMN_TcpClose(swap_client(port, client));
        }
        LMU_Free(host);
    } else if (outcome == 0) {
        if (LMP_TestState(port, ST_PORT_OPEN)) {
            LMS_DrainReplies(port, FALSE);
        } else if (LMP_OpenStatusDoc(port)) {
            LMP_SetState(port, ST_PORT_OPEN);
            LMS_DrainReplies(port, FALSE);
            LMP_PortEndDoc(port);
            LMP_ClearState(port, ST_PORT_OPEN);
        } else {
            outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
    }
    write_outcome(p, outcome);
    return outcome;
}

LONG LMS_ToolBoxUstatusRead(const WCHAR *printerName, MonitorPort *port, LONG preset)
{
    if (!port)
        return LM_ANSWER_REFUSED;
    ServedPrinter *p = nullptr;
    if (LONG refused = open_exchange(printerName, port, &p))
        return refused;
    LONG outcome = preset;
    std::string block, answer;
    if (outcome == 0 && !read_value(p, "ToolBoxUstatusRead", block))
        outcome = LM_ANSWER_REFUSED;
    if (outcome == 0 && queued_or_open(port))
        outcome = LM_ANSWER_BUSY;
    if (outcome == 0)
        outcome = LMS_DeviceCheck(port, p);
    const bool onlyRead = block.compare(0, 11, "GetResponse") == 0;
    if (outcome == 0 && (port->portKind & KIND_NETWORK)) {
        LMP_Lock(port);
        TcpClient *client = port->tcpClient;
        LMP_Unlock(port);
        if (onlyRead) {
            BYTE buffer[LM_TOOL_ANSWER_BYTES];
            DWORD got = 0;
            LMN_TcpReceive(client, buffer, sizeof buffer, &got);
            answer.assign(reinterpret_cast<const char *>(buffer), got);
            if (got == 0)
                outcome = LM_ANSWER_EXCHANGE_FAILED;
        } else if (!LMN_TcpSend(client, reinterpret_cast<const BYTE *>(block.data()), DWORD(block.size()))) {
            outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
    } else if (outcome == 0) {
        bool opened = false;
        if (!LMP_TestState(port, ST_PORT_OPEN)) {
            opened = LMS_OpenForStatus(port) && LMP_TestState(port, ST_PORT_OPEN);
            if (!opened)
                outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
        if (outcome == 0 && !onlyRead) {
            LMS_DrainReplies(port, FALSE);
            port->refreshActive = 1;
            if (!send_block(port, block))
                outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
        if (outcome == 0 && !read_queued(port, answer)) {
            answer.clear();
            outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
        if (opened) {
            LMP_PortEndDoc(port);
            LMP_ClearState(port, ST_PORT_OPEN);
        }
    }
    return finish(p, outcome, true, answer);
}

LONG LMS_ToolBoxUstatusEnd(const WCHAR *printerName, MonitorPort *port)
{
    if (!port || !printerName || LMU_BoundedLength(printerName) < 0)
        return LM_ANSWER_REFUSED;
    ServedPrinter *p = LMS_FindServedPrinter(printerName, port);
    if (!p || !p->GetPrinterStatusA)
        return LM_ANSWER_REFUSED;
    if (port->portKind & KIND_NETWORK)
        LMN_TcpClose(swap_client(port, nullptr));
    write_outcome(p, 0);
    return 0;
}
