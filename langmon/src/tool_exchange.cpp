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

/*
 * An exchange under way: its printer's name, its outcome so far, the tool's
 * block and the device's answer.  The printer is named, not held: it can be
 * unbound (and freed) while the exchange waits for the device, so every use
 * finds it again under the port's lock.
 */
struct Exchange {
    std::u16string printer;
    LONG outcome = 0;
    std::string block, answer;
};

/* Runs `use` on the exchange's printer under the port's lock; false when the printer is no longer served. */
template <typename F> bool with_printer(MonitorPort *port, const Exchange &x, F use)
{
    LMP_Lock(port);
    ServedPrinter *p = LMS_FindServedPrinter(x.printer.c_str(), port);
    if (p)
        use(p);
    LMP_Unlock(port);
    return p != nullptr;
}

/*
 * The opening every exchange shares: the printer of the request, refused
 * (-19) without a port, a name, a status table, bidirectional support or
 * such a printer; the preset becomes the outcome so far.  0, or the refusal.
 */
LONG open_exchange(const WCHAR *name, MonitorPort *port, LONG preset, Exchange &x)
{
    if (!port)
        return LM_ANSWER_REFUSED;
    port->refreshActive = 0;
    if (!name || !name[0] || LMU_BoundedLength(name) < 0 || !port->statusVariables)
        return LM_ANSWER_REFUSED;
    LMS_PublishToManager(port);
    LMS_RefreshPrinters(port);
    if (!(port->portKind & KIND_BIDI))
        return LM_ANSWER_REFUSED;
    LMP_Lock(port);
    ServedPrinter *p = LMS_FindServedPrinter(name, port);
    const bool usable = p && p->GetPrinterStatusA;
    LMP_Unlock(port);
    if (!usable)
        return LM_ANSWER_REFUSED;
    x.printer = name;
    x.outcome = preset;
    return 0;
}

/* While nothing has failed yet: -38 when the device is taken, else the device check. */
void check_device(MonitorPort *port, bool taken, Exchange &x)
{
    if (x.outcome == 0 && taken)
        x.outcome = LM_ANSWER_BUSY;
    if (x.outcome == 0) {
        ULONGLONG mask = 0;
        if (!with_printer(port, x, [&](ServedPrinter *p) { mask = p->modelMask; }))
            x.outcome = LM_ANSWER_REFUSED;
        else
            x.outcome = LMS_DeviceCheck(port, mask);
    }
}

/* A manager value of the printer as bytes (a trailing NUL dropped); false when it cannot be read. */
bool read_value_of(ServedPrinter *p, const char *name, std::string &out)
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

bool read_value(MonitorPort *port, const Exchange &x, const char *name, std::string &out)
{
    bool read = false;
    with_printer(port, x, [&](ServedPrinter *p) { read = read_value_of(p, name, out); });
    return read;
}

/* Writes a manager value: 0 for a printer with bidirectional support off; -19 without the manager. */
LONG write_value_of(ServedPrinter *p, const char *name, const void *value, DWORD size)
{
    if (bidi_off(p))
        return 0;
    if (!p->managerHandle || !p->UpdatePrinterStatusA)
        return LM_ANSWER_REFUSED;
    return p->UpdatePrinterStatusA(p->managerHandle, name, value, size);
}

/* As write_value_of on the exchange's printer; -19 when it is no longer served. */
LONG write_value(MonitorPort *port, const Exchange &x, const char *name, const void *value, DWORD size)
{
    LONG result = LM_ANSWER_REFUSED;
    with_printer(port, x, [&](ServedPrinter *p) { result = write_value_of(p, name, value, size); });
    return result;
}

void write_outcome_of(ServedPrinter *p, LONG outcome)
{
    if (!bidi_off(p))
        write_value_of(p, "RWResult", &outcome, sizeof outcome);
}

void write_outcome(MonitorPort *port, const Exchange &x, LONG outcome)
{
    with_printer(port, x, [&](ServedPrinter *p) { write_outcome_of(p, outcome); });
}

/* Opens the port for status unless it is open; false when it cannot be.  `opened`: this call opened it. */
bool open_for_status(MonitorPort *port, bool &opened)
{
    opened = false;
    if (LMP_TestState(port, ST_PORT_OPEN))
        return true;
    opened = LMS_OpenForStatus(port) && LMP_TestState(port, ST_PORT_OPEN);
    return opened;
}

void close_if_opened(MonitorPort *port, bool opened)
{
    if (!opened)
        return;
    LMP_PortEndDoc(port);
    LMP_ClearState(port, ST_PORT_OPEN);
}

/*
 * Sends a block through the port monitor after discarding what the device
 * has queued, and flushes what stays pending; false when it does not all go.
 */
bool send_block(MonitorPort *port, const std::string &block)
{
    LMS_DrainReplies(port, FALSE);
    port->refreshActive = 1;
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

/*
 * The kept connection of a reservation.  It changes hands only under the
 * port's lock, and every change is counted, so that a connection taken out
 * for one use goes back only when no start or end came meanwhile.
 */
TcpClient *swap_client(MonitorPort *port, TcpClient *client, DWORD *turn = nullptr)
{
    LMP_Lock(port);
    TcpClient *old = port->tcpClient;
    port->tcpClient = client;
    const DWORD now = ++port->toolClientTurn;
    LMP_Unlock(port);
    if (turn)
        *turn = now;
    return old;
}

/* Puts a connection taken out at `turn` back; closed instead when a start or an end came meanwhile. */
void put_back_client(MonitorPort *port, TcpClient *client, DWORD turn)
{
    LMP_Lock(port);
    const bool back = port->toolClientTurn == turn;
    if (back)
        port->tcpClient = client;
    LMP_Unlock(port);
    if (!back)
        LMN_TcpClose(client);
}

/* The end of an exchange: "TBValue" := the answer (when asked), "RWResult" := the outcome. */
LONG finish(MonitorPort *port, const Exchange &x, bool writeAnswer)
{
    LONG written = 0;
    if (writeAnswer) {
        const std::string text = x.answer + '\0';
        written = write_value(port, x, "TBValue", text.data(), DWORD(text.size()));
    }
    write_outcome(port, x, x.outcome);
    return x.outcome != 0 ? x.outcome : written;
}

} // namespace

LONG LMS_DeviceCheck(MonitorPort *port, ULONGLONG printerModelMask)
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
    if (!LMU_MaskIntersects(port->modelMask, printerModelMask))
        return LM_ANSWER_OTHER_MODEL;
    if (words[2] & 0x8)
        return LM_ANSWER_BUSY;
    return 0;
}

LONG LMS_ToolBoxRequest(const WCHAR *printerName, MonitorPort *port, LONG preset, bool withAnswer)
{
    Exchange x;
    if (LONG refused = open_exchange(printerName, port, preset, x))
        return refused;
    bool held = false, opened = false;
    if (x.outcome == 0 && (!read_value(port, x, withAnswer ? "TBValue" : "TBValue2", x.block) || job_in_hand(port)))
        x.outcome = LM_ANSWER_REFUSED;
    if (x.outcome == 0 && !(port->portKind & KIND_UNC)) {
        const DWORD r = WaitForSingleObject(port->portMutex, LM_PORT_WAIT_MS);
        held = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
        if (!held)
            x.outcome = LM_ANSWER_BUSY;
    }
    check_device(port, job_in_hand(port), x);
    if (x.outcome == 0 && (port->portKind & KIND_NETWORK)) {
        char *host = LMP_GetTcpPortAddress(port->portName);
        const BYTE *block = reinterpret_cast<const BYTE *>(x.block.data());
        if (withAnswer) {
            BYTE buffer[LM_TOOL_ANSWER_BYTES];
            DWORD got = 0;
            const int ok = LMN_TcpExchange(host, block, DWORD(x.block.size()), buffer, sizeof buffer, &got);
            x.answer.assign(reinterpret_cast<const char *>(buffer), got);
            if (!ok && got == 0)
                x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        } else {
            TcpClient *client = nullptr;
            const bool ok = LMN_TcpOpen(&client, host, true) && LMN_TcpSend(client, block, DWORD(x.block.size()));
            LMN_TcpClose(client);
            if (!ok)
                x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
        LMU_Free(host);
    } else if (x.outcome == 0) {
        if (!open_for_status(port, opened))
            x.outcome = LM_ANSWER_REFUSED;
        else if (!send_block(port, x.block))
            x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        for (int i = 0; withAnswer && x.outcome == 0 && i < kToolReads; ++i) {
            if (i)
                Sleep(kToolReadPauseMs);
            if (!read_queued(port, x.answer)) {
                x.answer.clear();
                x.outcome = LM_ANSWER_EXCHANGE_FAILED;
            }
        }
    }
    const LONG result = finish(port, x, withAnswer);
    close_if_opened(port, opened);
    if (held)
        ReleaseMutex(port->portMutex);
    return result;
}

LONG LMS_ToolBoxUstatusStart(const WCHAR *printerName, MonitorPort *port, LONG preset, bool keepAlive)
{
    Exchange x;
    if (LONG refused = open_exchange(printerName, port, preset, x))
        return refused;
    check_device(port, job_in_hand(port), x);
    if (x.outcome == 0 && (port->portKind & KIND_NETWORK)) {
        char *host = LMP_GetTcpPortAddress(port->portName);
        TcpClient *client = nullptr;
        if (!LMN_TcpOpen(&client, host, keepAlive)) {
            LMN_TcpClose(client);
            x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        } else {
            LMN_TcpClose(swap_client(port, client));
        }
        LMU_Free(host);
    } else if (x.outcome == 0) {
        if (LMP_TestState(port, ST_PORT_OPEN)) {
            LMS_DrainReplies(port, FALSE);
        } else if (LMP_OpenStatusDoc(port)) {
            LMP_SetState(port, ST_PORT_OPEN);
            LMS_DrainReplies(port, FALSE);
            close_if_opened(port, true);
        } else {
            x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
    }
    write_outcome(port, x, x.outcome);
    return x.outcome;
}

LONG LMS_ToolBoxUstatusRead(const WCHAR *printerName, MonitorPort *port, LONG preset)
{
    Exchange x;
    if (LONG refused = open_exchange(printerName, port, preset, x))
        return refused;
    if (x.outcome == 0 && !read_value(port, x, "ToolBoxUstatusRead", x.block))
        x.outcome = LM_ANSWER_REFUSED;
    check_device(port, queued_or_open(port), x);
    const bool onlyRead = x.block.compare(0, 11, "GetResponse") == 0;
    if (x.outcome == 0 && (port->portKind & KIND_NETWORK)) {
        /* taken out for this use, so that an end or a new start cannot close it under the read */
        DWORD turn = 0;
        TcpClient *client = swap_client(port, nullptr, &turn);
        if (onlyRead) {
            BYTE buffer[LM_TOOL_ANSWER_BYTES];
            DWORD got = 0;
            LMN_TcpReceive(client, buffer, sizeof buffer, &got);
            x.answer.assign(reinterpret_cast<const char *>(buffer), got);
            if (got == 0)
                x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        } else if (!LMN_TcpSend(client, reinterpret_cast<const BYTE *>(x.block.data()), DWORD(x.block.size()))) {
            x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
        if (client)
            put_back_client(port, client, turn);
    } else if (x.outcome == 0) {
        bool opened = false;
        if (!open_for_status(port, opened))
            x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        else if (!onlyRead && !send_block(port, x.block))
            x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        if (x.outcome == 0 && !read_queued(port, x.answer)) {
            x.answer.clear();
            x.outcome = LM_ANSWER_EXCHANGE_FAILED;
        }
        close_if_opened(port, opened);
    }
    return finish(port, x, true);
}

LONG LMS_ToolBoxUstatusEnd(const WCHAR *printerName, MonitorPort *port)
{
    if (!port || !printerName || LMU_BoundedLength(printerName) < 0)
        return LM_ANSWER_REFUSED;
    LMP_Lock(port);
    ServedPrinter *p = LMS_FindServedPrinter(printerName, port);
    const bool usable = p && p->GetPrinterStatusA;
    LMP_Unlock(port);
    if (!usable)
        return LM_ANSWER_REFUSED;
    if (port->portKind & KIND_NETWORK)
        LMN_TcpClose(swap_client(port, nullptr));
    Exchange x;
    x.printer = printerName;
    write_outcome(port, x, 0);
    return 0;
}
