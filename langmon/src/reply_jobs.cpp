/*
 * The job lines of the device's replies: a job's start and end make a job
 * record in the parser, the job's NAME line finds the job in the port's
 * queue and installs the record in "PrintingJobInfo2" (or queues it behind
 * the record shown now), page replies count the job's pages, and a job the
 * host cancelled finishes the port's jobs.
 */
#include "reply_parser.h"

#include <plat/clock.h>

#include <cstring>

namespace {

constexpr DWORD kRecordBytes = 320;
constexpr size_t kNameChars = 24;

BYTE *fresh_record(ReplyParser *parser)
{
    LMU_Free(parser->record);
    parser->record = static_cast<BYTE *>(LMU_Alloc(kRecordBytes));
    parser->recordSize = parser->record ? kRecordBytes : 0;
    parser->recordState = 0;
    return parser->record;
}

void put32(BYTE *p, DWORD v) { std::memcpy(p, &v, 4); }
DWORD get32(const BYTE *p)
{
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

/* The value after '=' (or the text itself when there is none). */
const char *value_of(const char *text) { return *text == '=' ? text + 1 : text; }

JobRecordEntry *queue_front(MonitorPort *port)
{
    return port->jobRecordQueue ? static_cast<JobRecordEntry *>(port->jobRecordQueue->first) : nullptr;
}

/* Empties the pending queue; a front entry sharing the row's value leaves it to the row. */
void empty_queue(MonitorPort *port, const StatusVariable *row)
{
    JobRecordEntry *front = queue_front(port);
    if (front && front->record == row->value)
        front->record = nullptr;
    LMS_ClearJobRecordQueue(port);
}

bool append_entry(MonitorPort *port, BYTE *record, DWORD flags)
{
    if (!port->jobRecordQueue)
        return false;
    auto *e = static_cast<JobRecordEntry *>(LMU_Alloc(sizeof(JobRecordEntry)));
    if (!e)
        return false;
    e->record = record;
    e->flags = flags;
    JobRecordEntry **tail = reinterpret_cast<JobRecordEntry **>(&port->jobRecordQueue->first);
    while (*tail)
        tail = &(*tail)->next;
    *tail = e;
    ++port->jobRecordQueue->count;
    return true;
}

/* Hands the parser's record to "PrintingJobInfo2" or the pending queue, for spooler job `id`. */
void install_record(ReplyParser *parser, MonitorPort *port, DWORD id)
{
    LMP_Lock(port);
    StatusVariable *row = LMS_LookupVariable("PrintingJobInfo2", port);
    BYTE *record = parser->record;
    if (row && record) {
        const DWORD flags = parser->recordFlags;
        put32(record + LM_RECORD_JOB_ID, id);
        const bool closes = flags & SVF_JOB_CLOSE;
        const bool openStartShown = (row->flags & SVF_JOB_START) && !(row->flags & SVF_JOB_CLOSE);
        if (!row->value || !closes) {
            if (!(flags & SVF_JOB_START) || !openStartShown) {
                empty_queue(port, row);
                LMU_Free(row->value);
                row->value = record;
                row->flags = flags;
                row->changed = 1;
                if (BYTE *copy = static_cast<BYTE *>(LMU_Alloc(kRecordBytes))) {
                    std::memcpy(copy, record, kRecordBytes);
                    if (!append_entry(port, copy, flags))
                        LMU_Free(copy);
                }
            } else if (!append_entry(port, record, flags)) {
                LMU_Free(record);
            }
        } else {
            JobRecordEntry *front = queue_front(port);
            if (front && front->record == row->value)
                front->record = nullptr;
            LMU_Free(row->value);
            row->value = record;
            row->flags = flags;
            row->changed = 1;
            port->lastPageCount = 0;
            Sleep(100);
        }
        parser->record = nullptr;
        parser->recordSize = 0;
        parser->recordState = 0;
    }
    LMP_Unlock(port);
}

/* A fresh record for a job's start. */
bool begin_opening(ReplyParser *parser)
{
    if (!fresh_record(parser))
        return false;
    parser->recordFlags = (parser->recordFlags & ~SVF_JOB_CLOSE) | SVF_JOB_START | SVF_KEEP;
    return true;
}

/* The record of a job's end: fresh while a record is shown, flagged to close it. */
void begin_closing(ReplyParser *parser, MonitorPort *port)
{
    LMP_Lock(port);
    port->lastPageCount = 0;
    StatusVariable *row = LMS_LookupVariable("PrintingJobInfo2", port);
    if (row && row->value)
        fresh_record(parser);
    DWORD flags = row ? row->flags : 0;
    if (JobRecordEntry *front = queue_front(port)) {
        if (front->record)
            flags |= SVF_KEEP;
        else
            flags &= ~SVF_KEEP;
    }
    parser->recordFlags = flags | SVF_JOB_CLOSE;
    LMP_Unlock(port);
}

} // namespace

int LMS_OnJobStart(const char *text, const char **end, ReplyParser *parser, MonitorPort *)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return 0;
    if (!begin_opening(parser))
        return 0;
    *end = LMS_NextLine(text);
    return 1;
}

int LMS_OnJobEnd(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return 0;
    begin_closing(parser, port);
    *end = LMS_NextLine(text);
    return 1;
}

int LMS_OnJobCanceled(const char *text, const char **end, ReplyParser *, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return 0;
    *end = LMS_NextLine(text);
    const char *value = value_of(text);
    if (value == LMS_LineEnd(text)) {
        if (port->postScriptJob)
            port->cancelSeen = 1;
    } else if (std::strncmp(value, "HOST_CANCELED", 13) == 0) {
        LMP_StoreWord(port->jobEndSeen, 1);
        LMS_FinishJobs(port, TRUE);
    }
    return 1;
}

int LMS_OnJobName(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return 0;
    const char *next = LMS_NextLine(text);
    const char *value = value_of(text);
    DWORD id = 0;
    if (std::strncmp(value, "\"MSJOB ", 7) == 0) {
        const char *p = value + 7;
        for (int digits = 0; *p >= '0' && *p <= '9' && digits < 10; ++p, ++digits)
            id = id * 10 + DWORD(*p - '0');
    } else {
        if (port->postScriptJob && port->cancelSeen) {
            port->cancelSeen = 0;
            *end = next;
            return 1;
        }
        const char *from;
        if (value[0] == '"')
            from = value + 1;
        else if (value[0] == '0' && value[1] == '3')
            from = value;
        else
            return 0;
        char name[kNameChars + 1] = {};
        for (size_t i = 0; i < kNameChars && from[i] && from[i] != '"' && from[i] != '\r' && from[i] != '\n' &&
                           from[i] != '\f';
             ++i)
            name[i] = from[i];
        const bool byName = parser->recordFlags & SVF_JOB_CLOSE;
        LMP_Lock(port);
        JobQueueEntry *job = LMJ_FindQueuedJob(name, byName ? 2 : 1, port);
        if (job) {
            id = job->jobId;
            if (!byName)
                job->identifier[0] = 0;
        }
        LMP_Unlock(port);
        if (!job) {
            *end = next;
            return 1;
        }
    }
    install_record(parser, port, id);
    *end = next;
    return 1;
}

int LMS_OnUstatusPage(const char *text, const char **end, ReplyParser *, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return LM_REPLY_MORE;
    const char *next = LMS_NextLine(text);
    DWORD page = 0;
    for (const char *p = text; *p >= '0' && *p <= '9' && page < 100000000; ++p)
        page = page * 10 + DWORD(*p - '0');
    if (page && *next == '\f') {
        LMP_Lock(port);
        StatusVariable *row = LMS_LookupVariable("PrintingJobInfo2", port);
        if (row && row->value && LMS_VariableSize(row) >= LONG(LM_RECORD_PAGES + 4)) {
            BYTE *pages = row->value + LM_RECORD_PAGES;
            if (get32(pages) == 0)
                port->lastPageCount = 0;
            /* a page number below the last one starts a new count, never a wrapped difference */
            const DWORD added = page >= port->lastPageCount ? page - port->lastPageCount : page;
            put32(pages, get32(pages) + added);
            port->lastPageCount = page;
            row->changed = 1;
        }
        LMP_Unlock(port);
    }
    const char *ff = std::strchr(next, '\f');
    *end = ff ? ff : next;
    return ff ? LM_REPLY_DONE : LM_REPLY_MORE;
}

/* ---- The same records from the device's SNMP job table ---------------------------- */

void LMN_BeginJobRecord(MonitorPort *port)
{
    if (ReplyParser *parser = LMS_PortParser(port))
        begin_opening(parser);
}

void LMN_BeginClosingRecord(MonitorPort *port)
{
    if (ReplyParser *parser = LMS_PortParser(port))
        begin_closing(parser, port);
}

void LMN_InstallJobRecord(MonitorPort *port, DWORD jobId)
{
    if (ReplyParser *parser = LMS_PortParser(port))
        install_record(parser, port, jobId);
}
