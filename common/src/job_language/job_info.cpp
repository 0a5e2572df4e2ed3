/*
 * The job-information record and the writer of its block: creation and
 * reset, the few setters the record offers itself, the required-item check
 * of each job type, and JIF_WriteChunk, which hands the block out line by
 * line into caller buffers of any size and resumes where it stopped.  Also
 * the minimal block the user-interface library writes when it resends a job.
 */
#include "job_info_alloc.h"

#include <tarvel/job_language/job_info.h>

#include <cstdio>
#include <cstring>
#include <span>

namespace {

constexpr char kLf[2] = {'\n', '\0'};
constexpr char kCrLf[2] = {'\r', '\n'};

/* Items (and the SIZE page flag) each job type requires. */
constexpr int kRequiredPrint[] = {JIF_ITEM_PDLTYPE,    JIF_ITEM_JOBTYPE,  JIF_ITEM_JOBCOPIES,
                                  JIF_ITEM_PAGECOPIES, JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE};
constexpr int kRequiredOther[] = {JIF_ITEM_PDLTYPE, JIF_ITEM_JOBTYPE, JIF_ITEM_PAGEINFO, JIF_FLAG_SIZE};
constexpr LONG kJobTypePrint = 0;
constexpr LONG kJobTypeLast = 3; /* FORMREGISTRATION; later types are not checked */
constexpr LONG kModeEmpty = 3;

/* The resend block: PDL code 1 with version 1.8.2, JOBTYPE 3. */
constexpr LONG kResendPdlCode = 1;
constexpr int kResendVersion[3] = {1, 8, 2};
constexpr LONG kResendJobType = 3;

/* Everything of a new record but its page list. */
void InitItems(JobInfoRecord *r)
{
    JobInfoPageList *pages = r->pages;
    *r = JobInfoRecord{};
    r->pages = pages;
    r->setFlags[JIF_ITEM_VERSION] = 1;
    r->setFlags[JIF_ITEM_BEGIN] = 1;
    r->setFlags[JIF_ITEM_END] = 1;
    JIF_SetLineEnd(r, FALSE);
}

/* First call of a block: the required-item check and the page count. */
void StartBlock(JobInfoRecord *r)
{
    if (r->jobType >= kJobTypePrint && r->jobType <= kJobTypeLast) {
        std::span<const int> required = r->jobType == kJobTypePrint ? std::span<const int>(kRequiredPrint)
                                                                    : std::span<const int>(kRequiredOther);
        for (int n : required) {
            if (!r->setFlags[n]) {
                r->errorBits |= JIF_ERR_MISSING_ITEM;
                break;
            }
        }
    }

    JobInfoPageList *list = r->pages;
    LONG count = JIF_ListCount(list);
    LONG physical = 0;
    for (LONG b = 0; b < (list ? list->blockCount : 0); b++)
        for (LONG i = 0; i < list->blocks[b].count; i++)
            physical += list->blocks[b].entries[i].mode != kModeEmpty;
    r->pageCount = DWORD(count);
    r->physicalPages = physical;
    if (count > 0) {
        r->setFlags[JIF_ITEM_PHYSICALPAGES] = 1;
        r->setFlags[JIF_ITEM_PAGEINFOBEGIN] = 1;
        r->setFlags[JIF_ITEM_PAGEINFOEND] = 1;
    }
    r->nextItem = JIF_ITEM_VERSION;
    r->currentPage = 1;
}

} // namespace

JobInfoRecord *JIF_Create(LONG capacity, LONG growthStep)
{
    if (capacity < 0 || growthStep < 0)
        return nullptr;
    auto *r = static_cast<JobInfoRecord *>(JIF_Alloc(1, sizeof(JobInfoRecord)));
    if (!r)
        return nullptr;
    r->pages = JIF_ListCreate(capacity, growthStep);
    if (!r->pages) {
        JIF_Free(r);
        return nullptr;
    }
    InitItems(r);
    return r;
}

void JIF_Destroy(JobInfoRecord *record)
{
    if (!record)
        return;
    JIF_ListFree(record->pages);
    JIF_Free(record);
}

void JIF_Reset(JobInfoRecord *record)
{
    if (!record)
        return;
    JIF_ListClear(record->pages);
    InitItems(record);
}

void JIF_SetPdlType(JobInfoRecord *record, LONG pdlCode, const char *version)
{
    if (!record)
        return;
    record->pdlCode = pdlCode;
    size_t n = version ? strnlen(version, JIF_PDL_VERSION_MAX) : 0;
    memcpy(record->pdlVersion, version ? version : "", n);
    record->pdlVersion[n] = '\0';
    record->setFlags[JIF_ITEM_PDLTYPE] = 1;
}

void JIF_SetJobType(JobInfoRecord *record, LONG jobType)
{
    if (!record)
        return;
    record->jobType = jobType;
    record->setFlags[JIF_ITEM_JOBTYPE] = 1;
}

void JIF_SetLineEnd(JobInfoRecord *record, BOOL crLf)
{
    if (!record)
        return;
    memcpy(record->lineEnd, crLf ? kCrLf : kLf, 2);
    record->lineEndLength = crLf ? 2 : 1;
}

int JIF_WriteChunk(JobInfoRecord *record, char *dest, int capacity, BOOL *more, WORD *errorBits)
{
    if (more)
        *more = FALSE;
    if (!record || !dest || !more || !errorBits || capacity < 0)
        return -1;

    if (record->nextItem == 0)
        StartBlock(record);

    WORD callBits = 0;
    int written = 0;
    DWORD n = record->nextItem;
    if (n < JIF_ITEM_VERSION || n > JIF_ITEM_END)
        n = JIF_ITEM_VERSION; /* a state the writer never leaves: start over */

    while (n <= JIF_ITEM_END) {
        /* Without pages there is no page line, even when a page field was set. */
        if (!record->setFlags[n] || (n == JIF_ITEM_PAGEINFO && record->pageCount == 0)) {
            n++;
            continue;
        }
        char line[JIF_LINE_PREFIX_LENGTH + JIF_LINE_BUFFER_SIZE];
        memcpy(line, JIF_LINE_PREFIX, JIF_LINE_PREFIX_LENGTH);
        BOOL hasSize = FALSE;
        int text = JIF_FormatItem(record, line + JIF_LINE_PREFIX_LENGTH, JIF_LINE_BUFFER_SIZE, int(n),
                                  LONG(record->currentPage), &hasSize);
        int length = JIF_LINE_PREFIX_LENGTH + (text > 0 ? text : 0);

        if (length > capacity - written) {
            /* Lines are never split: this line opens the next call. */
            if (written == 0)
                callBits |= JIF_ERR_NO_ROOM;
            record->nextItem = n;
            *more = TRUE;
            *errorBits = WORD(record->errorBits | callBits);
            return written;
        }
        memcpy(dest + written, line, size_t(length));
        written += length;

        if (n == JIF_ITEM_PAGEINFO) {
            if (!hasSize)
                record->errorBits |= JIF_ERR_MISSING_ITEM;
            if (record->currentPage < record->pageCount) {
                record->currentPage++;
                continue;
            }
        }
        n++;
    }

    record->nextItem = JIF_ITEM_VERSION;
    record->currentPage = 1;
    *errorBits = WORD(record->errorBits);
    return written;
}

int JIF_WriteResendBlock(char *dest, int capacity, WORD *errorBits)
{
    if (errorBits)
        *errorBits = 0;
    if (!dest || capacity < 0)
        return -1;
    JobInfoRecord *r = JIF_Create(1, 1);
    if (!r)
        return -1;
    JIF_SetLineEnd(r, FALSE);
    char version[JIF_PDL_VERSION_MAX + 1];
    snprintf(version, sizeof version, "%d.%d.%d", kResendVersion[0], kResendVersion[1], kResendVersion[2]);
    JIF_SetPdlType(r, kResendPdlCode, version);
    JIF_SetJobType(r, kResendJobType);

    BOOL more = FALSE;
    WORD bits = 0;
    int written = JIF_WriteChunk(r, dest, capacity, &more, &bits);
    JIF_Destroy(r);
    if (errorBits)
        *errorBits = bits;
    return more ? -1 : written;
}
