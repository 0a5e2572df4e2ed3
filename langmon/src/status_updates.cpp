/*
 * Status values the monitor sets from what it knows about the port itself:
 * the seed of "PrinterStatus", the reset of error values whose condition is
 * gone, placeholders while the device cannot be reached, "PrinterExtStatus",
 * the job-active bit and "JobStatus" bits.  Each writer holds the port's
 * lock while it changes the table.
 */
#include "status.h"

#include <plat/text.h>

#include <cstring>

namespace {

/* Error values reset to all 0xFF bytes once no status word carries their condition. */
struct ErrorReset {
    const char *name;
    DWORD mask[3];
};

constexpr ErrorReset kErrorResets[] = {
    {"ErrPaperJam", {0, 0x8, 0x10000}},
    {"ErrPaperSizeError", {0, 0, 0x40000}},
    {"ErrNoPaper2", {0, 0, 0x4840000}},
    {"ErrCoverOpen", {0, 0, 0x8000}},
    {"ErrHWError", {0, 0x80, 0}},
    {"ErrHWErrorDetail", {0, 0x80, 0}},
    {"ErrSupplies", {0, 0x80000000, 0x26002}},
    {"ErrBinError", {0, 0x40004010, 0}},
    {"ErrPeriodicChange", {0, 0, 0x80800}},
};

bool is(const char *a, const char *b) { return std::strcmp(a, b) == 0; }

/* Sets the first 32 bits of an allocated row to v and marks it changed. */
void set_first_word(MonitorPort *port, const char *name, DWORD v)
{
    if (StatusVariable *row = LMS_FindVariable(name, port->statusVariables, port, TRUE)) {
        std::memcpy(row->value, &v, 4);
        row->changed = 1;
    }
}

/* Replaces a row's value with a fresh zero-filled block of its size. */
bool refresh_zeroed(MonitorPort *port, const char *name)
{
    StatusVariable *row = LMS_LookupVariable(name, port);
    if (!row || row->size <= 0)
        return false;
    auto *fresh = static_cast<BYTE *>(LMU_Alloc(SIZE_T(row->size)));
    if (!fresh)
        return false;
    LMS_FreeValue(row);
    row->value = fresh;
    row->changed = 1;
    return true;
}

} // namespace

bool LMS_DeviceIdentified(MonitorPort *port)
{
    DWORD words[3];
    LMS_ReadPrinterStatus(port, words);
    return !LMP_TestState(port, ST_UNREACHABLE) && !(words[1] & 0x100) &&
           LMU_MaskIntersects(port->modelMask, LM_MODEL_K4100);
}

void LMS_SeedPrinterStatus(MonitorPort *port, BOOL publish)
{
    if (!port)
        return;
    LMP_Lock(port);
    StatusVariable *row = LMS_FindVariable("PrinterStatus", port->statusVariables, port, TRUE);
    if (row) {
        const DWORD seed[3] = {0, (port->portKind & KIND_BIDI) ? 0x800u : 0x400u, 0};
        std::memcpy(row->value, seed, sizeof seed);
        if (publish) {
            row->changed = 1;
            LMS_NotifyChanged(port);
            LMS_PublishPrinterStatus(port);
        }
    }
    LMP_Unlock(port);
}

BOOL LMS_ClearErrorValues(MonitorPort *port, BOOL notify)
{
    if (!port || !LMS_LookupVariable("PrinterStatus", port))
        return FALSE;
    LMP_Lock(port);
    DWORD words[3];
    LMS_ReadPrinterStatus(port, words);
    const bool identified = LMS_DeviceIdentified(port);
    bool notifyNow = notify;
    for (const ErrorReset &r : kErrorResets) {
        StatusVariable *row = LMS_FindVariable(r.name, port->statusVariables, port, TRUE);
        if (!row)
            continue;
        if (identified && (is(r.name, "ErrSupplies") || is(r.name, "ErrPeriodicChange") ||
                           is(r.name, "ErrHWError") || is(r.name, "ErrHWErrorDetail")))
            continue;
        const bool condition = (r.mask[0] & words[0]) || (r.mask[1] & words[1]) || (r.mask[2] & words[2]);
        if (!condition) {
            bool isDefault = true;
            for (LONG i = 0; i < row->size; ++i)
                isDefault = isDefault && row->value[i] == 0xFF;
            if (!isDefault) {
                if (!is(r.name, "ErrCoverOpen"))
                    std::memset(row->value, 0xFF, SIZE_T(row->size));
                if (notify)
                    row->changed = 1;
            }
        }
        if (!identified && (is(r.name, "ErrCoverOpen") || is(r.name, "ErrSupplies"))) {
            const DWORD none = 0xFFFFFFFF;
            std::memcpy(row->value, &none, 4);
            row->changed = 1;
            notifyNow = true;
        }
    }
    if (notifyNow)
        LMS_NotifyChanged(port);
    LMP_Unlock(port);
    return TRUE;
}

void LMS_ClearJobStatus(MonitorPort *port)
{
    if (!port)
        return;
    LMP_Lock(port);
    if (StatusVariable *row = LMS_FindVariable("JobStatus", port->statusVariables, port, TRUE))
        std::memset(row->value, 0, 4);
    LMP_Unlock(port);
}

void LMS_ResetDeviceValues(MonitorPort *port, BOOL notify)
{
    if (!port || !port->statusVariables)
        return;
    LMP_Lock(port);
    bool changed = false;
    if (!LMS_DeviceIdentified(port)) {
        set_first_word(port, "IconState", 0xFFFFFFFF);
        set_first_word(port, "TonerRemain", 0xFFFFFFFF);
        set_first_word(port, "CRURemain", 0xFFFFFFFF);
        refresh_zeroed(port, "PrinterDisplay2");
        refresh_zeroed(port, "PrinterDisplay");
        /* Five placeholder trays: the manual feeder, then trays 1 to 4. */
        if (StatusVariable *row = LMS_LookupVariable("PrinterBinConfig", port)) {
            BYTE list[64] = {};
            const DWORD count = 5;
            std::memcpy(list, &count, 4);
            /* {16-bit tray, 16-bit state, 16-bit paper size, 8-bit level, 8-bit media, 4 bytes zero} */
            auto put_row = [&](int i, WORD tray, WORD state, WORD paper, BYTE level) {
                BYTE *r = list + 4 + i * 12;
                std::memcpy(r, &tray, 2);
                std::memcpy(r + 2, &state, 2);
                std::memcpy(r + 4, &paper, 2);
                r[6] = level;
            };
            put_row(0, 2001, 2001, 0xFFFF, 255);
            for (WORD t = 1; t <= 4; ++t)
                put_row(t, t, 1, 9, 249);
            if (auto *fresh = static_cast<BYTE *>(LMU_Alloc(sizeof list))) {
                std::memcpy(fresh, list, sizeof list);
                LMS_FreeValue(row);
                row->value = fresh;
                row->changed = 1;
            }
        }
        changed = true;
    }
    if (changed || notify)
        LMS_NotifyChanged(port);
    LMP_Unlock(port);
}

void LMS_UpdateExtStatus(MonitorPort *port)
{
    if (!port)
        return;
    LMP_Lock(port);
    if (StatusVariable *row = LMS_FindVariable("PrinterExtStatus", port->statusVariables, port, TRUE)) {
        const DWORD v = (port->portKind & KIND_BIDI) ? 7 : 1;
        std::memcpy(row->value, &v, 4);
        if (port->servedPrinters) {
            row->changed = 1;
            LMS_NotifyChanged(port);
            LMS_PublishPrinterStatus(port);
        }
    }
    LMP_Unlock(port);
}

BOOL LMS_ClearExtStatusBits(MonitorPort *port, DWORD bits)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    StatusVariable *row = LMS_LookupVariable("PrinterExtStatus", port);
    const BOOL held = row && row->value;
    if (held) {
        DWORD v;
        std::memcpy(&v, row->value, 4);
        v &= ~bits;
        std::memcpy(row->value, &v, 4);
        if (port->servedPrinters) {
            row->changed = 1;
            LMS_NotifyChanged(port);
            LMS_PublishPrinterStatus(port);
        }
    }
    LMP_Unlock(port);
    return held;
}

BOOL LMS_SetJobActive(MonitorPort *port, BOOL on)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    StatusVariable *row = LMS_FindVariable("PrinterStatus", port->statusVariables, port, TRUE);
    BOOL changed = FALSE;
    if (row) {
        DWORD words[3];
        std::memcpy(words, row->value, 12);
        const DWORD before = words[2];
        words[2] = on ? (words[2] | 0x8) : (words[2] & ~0x8u);
        if (words[2] != before) {
            std::memcpy(row->value, words, 12);
            row->changed = 1;
            LMS_NotifyChanged(port);
            LMS_PublishPrinterStatus(port);
            changed = TRUE;
        }
    }
    LMP_Unlock(port);
    return changed;
}

BOOL LMS_UpdateJobStatusBits(MonitorPort *port, DWORD bits, BOOL set)
{
    if (!port || !port->statusVariables)
        return FALSE;
    LMP_Lock(port);
    BOOL sent = FALSE;
    ServedPrinter *p = port->jobPrinter;
    StatusVariable *row = LMS_FindVariable("JobStatus", port->statusVariables, port, TRUE);
    if (p && row && p->GetPrinterStatusA) {
        DWORD current = 0, needed = 0;
        if (p->GetPrinterStatusA(p->managerHandle, "JobStatus", &current, 4, &needed) == 0) {
            DWORD old;
            std::memcpy(&old, row->value, 4);
            DWORD fresh = set ? (old | bits) : (old & ~bits);
            if (fresh != current) {
                /* The new word stands in as the row's value for this delivery only. */
                BYTE *own = row->value;
                const LONG changed = row->changed;
                const DWORD flags = row->flags;
                row->value = reinterpret_cast<BYTE *>(&fresh);
                row->flags |= SVF_KEEP;
                row->changed = 1;
                LMS_NotifyChanged(port);
                row->value = own;
                row->flags = flags;
                row->changed = changed;
                sent = TRUE;
            }
        }
    }
    LMP_Unlock(port);
    return sent;
}

BOOL LMS_SetSendingJobInfo(MonitorPort *port, BOOL fill)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    ServedPrinter *p = port->jobPrinter;
    StatusVariable *row = LMS_LookupVariable("SendingJobInfo", port);
    BOOL done = FALSE;
    if (p && row) {
        if (fill) {
            auto *record = static_cast<BYTE *>(LMU_Alloc(LM_SENDING_JOB_INFO_BYTES));
            if (record) {
                LMS_FreeValue(row);
                row->value = record;
                bool found = false;
                if (port->jobId && LMS_WaitSpoolerHandle(p)) {
                    DWORD needed = 0;
                    GetJobW(p->spoolerHandle, port->jobId, 1, nullptr, 0, &needed);
                    auto *info = needed >= sizeof(JOB_INFO_1W) ? static_cast<BYTE *>(LMU_Alloc(needed)) : nullptr;
                    if (info && GetJobW(p->spoolerHandle, port->jobId, 1, info, needed, &needed)) {
                        const auto *job = reinterpret_cast<const JOB_INFO_1W *>(info);
                        found = true;
                        if (char *doc = LMU_WideToAnsi(job->pDocument)) {
                            lstrcpynA(reinterpret_cast<char *>(record), doc, 256);
                            LMU_Free(doc);
                        }
                        if (char *user = LMU_WideToAnsi(job->pUserName)) {
                            lstrcpynA(reinterpret_cast<char *>(record + 256), user, 32);
                            LMU_Free(user);
                        }
                    }
                    LMU_Free(info);
                }
                if (!found)
                    LMP_SetState(port, LM_ST_JOB_NOT_FOUND);
                row->flags = (row->flags & ~SVF_JOB_CLOSE) | SVF_KEEP;
                done = TRUE;
            }
        } else if (row->value) {
            std::memset(row->value, 0, 288);
            row->flags = (row->flags & ~SVF_KEEP) | SVF_JOB_CLOSE;
            done = TRUE;
        }
        if (done) {
            std::memcpy(row->value + LM_RECORD_JOB_ID, &port->jobId, 4);
            row->changed = 1;
            LMS_NotifyChanged(port);
        }
    }
    LMP_Unlock(port);
    return done;
}
