/*
 * One poll cycle of a port, and the SNMP reads behind it on network ports:
 * the device ID, the device's job table (a job the device reports as
 * started or finished gets its record in "PrintingJobInfo2", as a PJL job
 * reply would give it), and the display language.  Local bidirectional
 * ports read the device ID through the port monitor, flush what is left of
 * the monitor's own output and read the device's queued replies.
 */
#include "network.h"
#include "status.h"

#include <plat/clock.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kStallMs = 20000;
constexpr size_t kMinIdentifier = 10;
/* The arc after "6.1.1" in the job table's OIDs is the column. */
constexpr const char *kTableEntry = "1.3.6.1.4.1.64927.8.59.6.1.1.";
constexpr int32_t kJobStarted = 17;
constexpr int32_t kJobFinished = 14;

/* The column arc of a job-table OID, or -1 when it is not in the table. */
long column_of(const char *oid)
{
    const size_t n = std::strlen(kTableEntry);
    const char *p = oid[0] == '.' ? oid + 1 : oid;
    if (std::strncmp(p, kTableEntry, n) != 0)
        return -1;
    p += n;
    long column = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9' && digits < 9; ++p, ++digits)
        column = column * 10 + (*p - '0');
    return digits ? column : -1;
}

/* The same row's OID in column 9 (the job's state); false when the OID is not a row of column 3. */
bool state_oid(const char *oid, char *out, size_t size)
{
    const char *p = oid[0] == '.' ? oid + 1 : oid;
    const size_t n = std::strlen(kTableEntry);
    if (column_of(p) != 3 || p[n + 1] != '.')
        return false;
    const int written = std::snprintf(out, size, "%s9%s", kTableEntry, p + n + 1);
    return written > 0 && size_t(written) < size;
}

bool is_network(const MonitorPort *port)
{
    return (port->portKind & (KIND_BIDI | KIND_NETWORK)) == (KIND_BIDI | KIND_NETWORK);
}

} // namespace

/* The entry stays valid only while the caller holds the port's lock. */
JobQueueEntry *LMS_FindJobByIdentifier(const char *text, MonitorPort *port)
{
    if (!text || !port || std::strlen(text) < kMinIdentifier)
        return nullptr;
    LMP_Lock(port);
    JobQueueEntry *before = nullptr, *found = nullptr;
    for (JobQueueEntry *e = port->jobQueueHead; e; before = e, e = e->next)
        if (std::strcmp(e->identifier, text) == 0 || std::strcmp(e->jobName, text) == 0) {
            if (!before || before->identifier[0] == 0)
                found = e;
            break;
        }
    LMP_Unlock(port);
    return found;
}

/*
 * The whole walk runs under the port's lock: the queue entries it finds may
 * otherwise be freed under it by EndDocPort, ClosePort or a delivered job
 * record.  A job is named by its spooler id after every call that may change
 * the queue, never by a pointer kept across one.
 */
int LMN_PollJobInfo(MonitorPort *port)
{
    if (!port)
        return 0;
    LMP_Lock(port);
    char *host = LMP_GetTcpPortAddress(port->portName);
    LMN_CloseSession(port->snmpSession);
    port->snmpSession = LMN_OpenSession(host, port->community);
    LMU_Free(host);
    int result = port->snmpSession ? LMN_Walk(port->snmpSession, LMN_OID_JOB_IDS, 0) : 0;
    if (!port->snmpSession) {
        LMP_Unlock(port);
        return result;
    }

    char value[LMN_VALUE_BYTES], oid[LMN_VALUE_BYTES], stateOid[LMN_VALUE_BYTES];
    int32_t type = 0;
    for (;;) {
        const int more = LMN_NextResult(port->snmpSession, value, &type, nullptr, oid);
        if (!more || !oid[0])
            break;
        const bool lastColumn = column_of(oid) == 4;
        JobQueueEntry *job = value[0] ? LMS_FindJobByIdentifier(value, port) : nullptr;
        if (job && state_oid(oid, stateOid, sizeof stateOid)) {
            const DWORD id = job->jobId;
            int32_t state = 0;
            result = LMN_Get(port->snmpSession, nullptr, &state, stateOid, 0);
            const bool acted = result && (state == kJobStarted || state == kJobFinished);
            bool announced = false;
            if (std::strcmp(job->identifier, value) == 0) {
                LMN_BeginJobRecord(port);
                job->identifier[0] = 0;
                LMN_InstallJobRecord(port, id);
                if (!acted)
                    break;
                LMS_NotifyChanged(port); /* may release jobs ahead of this one: `job` is not used after it */
                announced = true;
            }
            if (!acted)
                break;
            if (port->jobQueueHead && port->jobQueueHead->jobId == id) {
                LMN_BeginClosingRecord(port);
                LMN_InstallJobRecord(port, id);
                if (!announced)
                    break;
                LMS_NotifyChanged(port);
            }
        }
        if (lastColumn)
            break;
    }
    LMS_NotifyChanged(port);
    LMN_FreeResults(port->snmpSession);
    LMP_Unlock(port);
    return result;
}

LONG LMN_GetDisplayLang(MonitorPort *port)
{
    if (!port)
        return 0;
    int32_t lang = 0;
    LMP_Lock(port);
    const int result = port->snmpSession ? LMN_Get(port->snmpSession, nullptr, &lang, LMN_OID_DISPLAY_LANG, 0) : 0;
    if (result)
        port->displayLang = DWORD(lang);
    port->displayLangState = result ? 0 : ERROR_INVALID_PRINTER_STATE;
    if (port->refreshActive) {
        StatusVariable *row = LMS_FindVariable("DisplayLang", port->statusVariables, port, TRUE);
        DWORD held = 0;
        if (row && row->value)
            std::memcpy(&held, row->value, 4);
        if (row && held != port->displayLang) {
            const DWORD now = port->displayLang;
            LMS_StoreValue(row, &now);
            row->changed = 1;
        }
    }
    LMP_Unlock(port);
    return result;
}

BOOL LMS_PollRound(MonitorPort *port)
{
    if (!port)
        return FALSE;
    LMP_StoreWord(port->statusPortOpen, 0);
    LMP_StoreWord(port->deviceIdAnswered, 0);
    const bool stalled = port->stallTick != LM_NO_TICK && GetTickCount() - port->stallTick < kStallMs;
    if (!stalled) {
        port->stallTick = LM_NO_TICK;
        if (is_network(port)) {
            LMS_QueryDeviceId(port);
            if (!LMP_TestState(port, ST_HEADER_DUE))
                LMN_PollJobInfo(port);
            return TRUE;
        }
        if (port->portKind & KIND_BIDI) {
            LMS_OpenForStatus(port);
            LMS_QueryDeviceId(port);
            LMP_StoreWord(port->deviceIdAnswered, 1);
        }
    }
    if (port->portKind & KIND_NETWORK)
        return TRUE;

    if (port->pendingLength && port->pendingOutput && !LMP_TestState(port, ST_JOB_OPEN) &&
        !LMP_TestState(port, ST_END_SENT)) {
        LMS_OpenForStatus(port);
        const bool unflowed = (port->portKind & KIND_USB) && !(port->portMode & 0x2);
        const DWORD wasFlowing = port->flowing;
        if (unflowed) {
            port->flowing = 1;
            port->portMode |= 0x2;
        }
        DWORD written = 0;
        LMP_SendControlData(port, nullptr, 0, &written, TRUE, FALSE);
        if (unflowed) {
            port->flowing = wasFlowing;
            port->portMode &= ~DWORD(0x2);
        }
    }
    if (port->jobQueueHead || LMP_TestState(port, ST_JOB_OPEN)) {
        LMS_OpenForStatus(port);
        LMS_ReadFromPort(port, TRUE);
        if (const signed char free = LMS_FreeBlocks(port); free > 0)
            LMS_SetFreeBlocks(port, static_cast<signed char>(free - 1));
    }
    if (LMP_LoadWord(port->statusPortOpen)) {
        LMP_PortEndDoc(port);
        LMP_ClearState(port, ST_PORT_OPEN);
    }
    return TRUE;
}
