/*
 * Delivery of changed status values to the status manager: each row goes
 * out by its type (every served printer, the printers of queued jobs, the
 * open job's printer, the supported model's printers, or the printer of the
 * job a job record names), the whole-table push to a newly bound printer,
 * the query groups of a list of names, and the drain of replies the device
 * queued before a query.
 *
 * A row whose delivery fails stays changed and is tried again at the next
 * notification; a delivered row is cleared and, unless it is kept, freed.
 */
#include "status.h"

#include <plat/clock.h>

#include <cstring>

namespace {

constexpr LONG kRefused = -19;

/* What a delivery did: failed (the row stays changed), delivered, or delivered with the row's value to keep. */
enum class Outcome { Failed, Delivered, DeliveredKeep };

/* One call of the printer's UpdatePrinterStatusA; a printer with bidirectional support off counts as served. */
LONG send(ServedPrinter *p, const char *name, const void *value, LONG size)
{
    if (LMS_TestPrinterFlags(p, SP_BIDI_OFF))
        return 0;
    if (!p->managerHandle || !p->UpdatePrinterStatusA)
        return kRefused;
    return p->UpdatePrinterStatusA(p->managerHandle, name, value, DWORD(size));
}

bool deliver_to_all(MonitorPort *port, StatusVariable *row, LONG size)
{
    bool all = true;
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
        all = send(p, row->name, row->value, size) == 0 && all;
    return all;
}

bool deliver_to_queued_printers(MonitorPort *port, StatusVariable *row, LONG size)
{
    bool delivered = true;
    for (JobQueueEntry *e = port->jobQueueHead; e; e = e->next) {
        ServedPrinter *p = e->printer;
        if (!p) {
            delivered = false;
            continue;
        }
        if (LMS_TestPrinterFlags(p, SP_DELIVERED))
            continue;
        if (send(p, row->name, row->value, size) == 0)
            LMS_SetPrinterFlags(p, SP_DELIVERED);
    }
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
        LMS_ClearPrinterFlags(p, SP_DELIVERED);
    return delivered;
}

bool deliver_to_job_printer(MonitorPort *port, StatusVariable *row, LONG size)
{
    return port->jobPrinter && send(port->jobPrinter, row->name, row->value, size) == 0;
}

/* Printers of another model see {0, 0x200, 0} unless the second word carries one of `ownBits`. */
bool deliver_triple(MonitorPort *port, StatusVariable *row, LONG size, ServedPrinter *only, DWORD ownBits)
{
    DWORD second = 0;
    if (size >= 8)
        std::memcpy(&second, row->value + 4, 4);
    BYTE substitute[12] = {0, 0, 0, 0, 0x00, 0x02, 0, 0, 0, 0, 0, 0};
    bool all = true;
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next) {
        if (only && p != only)
            continue;
        const bool own = (second & ownBits) || LMU_MaskIntersects(p->modelMask, port->modelMask);
        const void *value = own || size > LONG(sizeof substitute) ? row->value : substitute;
        all = send(p, row->name, value, size) == 0 && all;
    }
    return all;
}

bool deliver_to_model_printers(MonitorPort *port, StatusVariable *row, LONG size)
{
    bool all = true;
    for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
        if (LMU_MaskIntersects(p->modelMask, port->modelMask))
            all = send(p, row->name, row->value, size) == 0 && all;
    return all;
}

DWORD get32(const BYTE *b, DWORD at)
{
    DWORD v;
    std::memcpy(&v, b + at, 4);
    return v;
}

void put32(BYTE *b, DWORD at, DWORD v) { std::memcpy(b + at, &v, 4); }

/* A record of the row's size naming `jobId` with `pages`, sent to p; the call's result. */
LONG send_record(ServedPrinter *p, StatusVariable *row, LONG size, DWORD jobId, DWORD pages)
{
    auto *record = static_cast<BYTE *>(LMU_Alloc(SIZE_T(size)));
    if (!record)
        return kRefused;
    put32(record, LM_RECORD_JOB_ID, jobId);
    if (size >= LONG(LM_RECORD_PAGES + 4))
        put32(record, LM_RECORD_PAGES, pages);
    const LONG r = send(p, row->name, record, size);
    LMU_Free(record);
    return r;
}

/* Finishes every job ahead of `target` in the queue: each printer learns its job started and ended. */
void deliver_gap_records(MonitorPort *port, StatusVariable *row, LONG size, JobQueueEntry *target)
{
    const bool closing = row->flags & SVF_JOB_CLOSE;
    bool onlySecond = closing || (port->jobQueueHead && (port->jobQueueHead->flags & LM_JOB_ANNOUNCED));
    ServedPrinter *lastPrinter = nullptr;
    while (port->jobQueueHead && port->jobQueueHead != target) {
        JobQueueEntry *job = port->jobQueueHead;
        ServedPrinter *p = job->printer;
        if (p) {
            /* A printer with bidirectional support off counts as told without a call. */
            if (!LMS_TestPrinterFlags(p, SP_BIDI_OFF) && p->managerHandle && p->UpdatePrinterStatusA) {
                if (onlySecond || send_record(p, row, size, job->jobId, 0) == 0)
                    send_record(p, row, size, 0, 0);
            }
            onlySecond = false;
            lastPrinter = p;
        }
        /* the device has taken it: it leaves the queue and is released in the spooler */
        LMJ_ReleaseFirstJob(port);
    }
    if (closing && lastPrinter)
        send_record(lastPrinter, row, size, target->jobId, 0);
}

/* Makes the next pending record the row's value; false when the front one was the last. */
bool advance_record_queue(MonitorPort *port, StatusVariable *row)
{
    JobRecordList *q = port->jobRecordQueue;
    auto *front = q ? static_cast<JobRecordEntry *>(q->first) : nullptr;
    if (front && front->next) {
        JobRecordEntry *next = front->next;
        if (front->record != row->value)
            LMU_Free(front->record);
        LMU_Free(front);
        q->first = next;
        --q->count;
        LMU_Free(row->value);
        /* The row owns the record from now on. */
        row->value = next->record;
        row->flags = next->flags;
        next->record = nullptr;
        return true;
    }
    if (front && front->record == row->value)
        front->record = nullptr; /* freed once, as the row's value */
    LMS_ClearJobRecordQueue(port);
    LMS_FreeValue(row);
    row->flags = 0;
    return false;
}

Outcome deliver_job_record(MonitorPort *port, StatusVariable *row, LONG size)
{
    if (size < LONG(LM_RECORD_JOB_ID + 4))
        return Outcome::Failed;
    const bool hasPages = size >= LONG(LM_RECORD_PAGES + 4);
    const DWORD id = get32(row->value, LM_RECORD_JOB_ID);
    JobQueueEntry *job = port->jobQueueHead;
    while (job && job->jobId != id)
        job = job->next;
    if (!job)
        return Outcome::Failed;
    const DWORD flags = row->flags;
    const bool start = flags & SVF_JOB_START;
    const bool closing = flags & SVF_JOB_CLOSE;
    if (start && job != port->jobQueueHead)
        deliver_gap_records(port, row, size, job);

    LONG result = kRefused;
    ServedPrinter *p = job->printer;
    if (p) {
        if (closing) {
            put32(row->value, LM_RECORD_JOB_ID, 0);
            if (start && hasPages)
                put32(row->value, LM_RECORD_PAGES, 0);
        }
        if (LMS_TestPrinterFlags(p, SP_BIDI_OFF)) {
            result = 0;
        } else if (p->managerHandle && p->UpdatePrinterStatusA) {
            if (start && closing)
                Sleep(150);
            else if (start && (!hasPages || get32(row->value, LM_RECORD_PAGES) == 0))
                std::memset(port->jobRecordScratch, 0, sizeof port->jobRecordScratch);
            result = send(p, row->name, row->value, size);
        }
    }
    if (start)
        job->flags |= LM_JOB_ANNOUNCED;
    Outcome outcome = Outcome::Delivered;
    if (closing) {
        row->flags &= ~SVF_JOB_CLOSE;
        if (start) {
            row->flags &= ~SVF_JOB_START;
            outcome = Outcome::DeliveredKeep;
            if (advance_record_queue(port, row)) {
                /* The next record goes out at once after a successful send, else at the next notification. */
                bool sent = false;
                if (result == 0 && p && !LMS_TestPrinterFlags(p, SP_BIDI_OFF)) {
                    Sleep(150);
                    std::memset(port->jobRecordScratch, 0, sizeof port->jobRecordScratch);
                    sent = send(p, row->name, row->value, LMS_VariableSize(row)) == 0;
                }
                row->changed = sent ? 0 : 1;
            }
        }
    }
    /* A closing record ends its job: it leaves the queue (on USB with every entry of the same id). */
    if (closing && port->jobQueueHead && port->jobQueueHead->jobId == id) {
        LMJ_ReleaseFirstJob(port);
        if (port->portKind & KIND_USB)
            while (port->jobQueueHead && port->jobQueueHead->jobId == id) {
                port->jobQueueHead->flags |= LM_JOB_RELEASED; /* the same spooler job: released above */
                LMJ_ReleaseFirstJob(port);
            }
        if (!port->jobQueueHead)
            LMS_SetJobActive(port, FALSE);
    }
    return outcome;
}

Outcome of(bool delivered) { return delivered ? Outcome::Delivered : Outcome::Failed; }

Outcome deliver(MonitorPort *port, StatusVariable *row, LONG size)
{
    switch (row->type) {
    case SV_PLAIN:
        return of(deliver_to_all(port, row, size));
    case SV_JOB_RECORD:
        return deliver_job_record(port, row, size);
    case SV_QUEUE:
        return of(deliver_to_queued_printers(port, row, size));
    case SV_OPEN_JOB:
        return of(deliver_to_job_printer(port, row, size));
    case SV_TRIPLE:
        return of(deliver_triple(port, row, size, nullptr, 0x11F00));
    case SV_DEVICE:
        return of(deliver_to_model_printers(port, row, size));
    case 4:
        return Outcome::Delivered;
    default:
        return Outcome::Failed;
    }
}

} // namespace

int LMS_NotifyChanged(MonitorPort *port)
{
    if (!port || !port->statusVariables)
        return -1;
    int delivered = 0;
    LMP_Lock(port);
    for (StatusVariable *row = port->statusVariables; row->name; ++row) {
        if (!row->changed || !row->value)
            continue;
        const LONG size = LMS_VariableSize(row);
        if (size <= 0)
            continue;
        /* Cleared first, so that a notification started from inside the delivery does not send it twice. */
        row->changed = 0;
        const Outcome outcome = deliver(port, row, size);
        if (outcome == Outcome::Failed) {
            row->changed = 1;
            continue;
        }
        ++delivered;
        /* A job record's queue decides itself what its row holds next. */
        if (outcome == Outcome::Delivered && !(row->flags & SVF_KEEP))
            LMS_FreeValue(row);
    }
    LMP_Unlock(port);
    return delivered;
}

int LMS_PushVariables(MonitorPort *port, ServedPrinter *printer)
{
    if (!port || !printer || !port->statusVariables)
        return 0;
    int calls = 0;
    LMP_Lock(port);
    for (StatusVariable *row = port->statusVariables; row->name; ++row) {
        if (!(row->flags & SVF_PUSH) || !row->value || std::strcmp(row->name, "SpooledFileInfo") == 0)
            continue;
        const LONG size = LMS_VariableSize(row);
        if (size <= 0)
            continue;
        bool ok = false;
        if (row->type == SV_PLAIN || row->type == SV_OPEN_JOB)
            ok = send(printer, row->name, row->value, size) == 0;
        else if (row->type == SV_TRIPLE)
            ok = deliver_triple(port, row, size, printer, 0xF00);
        else if (row->type == SV_DEVICE && LMU_MaskIntersects(printer->modelMask, port->modelMask))
            ok = send(printer, row->name, row->value, size) == 0;
        else
            continue;
        calls += ok ? 1 : 0;
    }
    LMP_Unlock(port);
    return calls;
}

LONG LMS_GroupsOfNames(const char *list, const ServedPrinter *printer, MonitorPort *port)
{
    if (!list || !port)
        return 0;
    LONG groups = 0;
    LMP_Lock(port);
    const char *p = list;
    while (*p) {
        const char *end = LMU_FindChar(p, ';');
        const size_t n = end ? size_t(end - p) : std::strlen(p);
        char name[64];
        if (n && n < sizeof name) {
            std::memcpy(name, p, n);
            name[n] = 0;
            if (StatusVariable *row = LMS_LookupVariableFor(name, port, printer)) {
                if (port->releaseOnIdle &&
                    (std::strcmp(name, "PrinterQueue") == 0 || std::strcmp(name, "PrintingJobInfo2") == 0))
                    row->group = SVG_CONFIG;
                groups |= row->group;
            }
        }
        if (!end)
            break;
        p = end + 1;
    }
    LMP_Unlock(port);
    return groups;
}

BOOL LMS_DrainReplies(MonitorPort *port, BOOL pause)
{
    if (!port)
        return FALSE;
    bool opened = false;
    if (!LMP_TestState(port, ST_PORT_OPEN)) {
        if (!LMP_OpenStatusDoc(port))
            return FALSE;
        LMP_SetState(port, ST_PORT_OPEN);
        opened = true;
        if (!(port->portKind & KIND_USB))
            LMP_SetDefaultTimeouts(port);
    }
    const DWORD piece = (port->portKind & KIND_USB) ? 1024 : 1023;
    BYTE buffer[1024];
    DWORD total = 0;
    /* A device that never stops talking is cut off after 1 MiB. */
    constexpr DWORD kLimit = 1u << 20;
    for (int round = 0; round < 2; ++round) {
        for (;;) {
            if (pause)
                Sleep(1100);
            DWORD got = 0;
            if (!port->portMonitor.pfnReadPort || !LMP_PortRead(port, buffer, piece, &got) || got == 0)
                break;
            total += got;
            if (total > kLimit)
                break;
        }
        if (total <= 4500 || total > kLimit || round == 1)
            break;
        Sleep(4000);
    }
    if (opened) {
        LMP_PortEndDoc(port);
        LMP_ClearState(port, ST_PORT_OPEN);
    }
    return TRUE;
}
