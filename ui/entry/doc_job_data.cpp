/*
 * The job data sent to the renderer at start-doc-post and again after a
 * reset: the region code, document name, settings, printer data,
 * annotation, extension state, the shared-printer flag, the copy-set data
 * and the per-copy-set PJL job headers, and the job identity, all inside
 * the renderer's job-data bracket.  A failed escape fails the job data but
 * the rest is still sent, and the bracket is always closed.
 *
 * The job-header set (ESC_SET_COPYSET_HEADERS): a 24-byte head {count n,
 * slot size s, offset of the first slot (24), offsets of the three position
 * tables}, n slots of s bytes each holding a 32-bit text length and the
 * header text, then three tables of n 32-bit slot positions (booklet,
 * two-pass side, HCPN).  s is the header bound plus the length word, so a
 * header that reaches its bound still fits its slot.
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/job_language/pjl_header.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/paper_rules.h>
#include <tarvel/stores/fax_list.h>
#include <tarvel/stores/jwm_record.h>

#include <plat/memory.h>

#include <cstring>

namespace {

enum : WORD {
    S_COPY_SET_ONE = 379,
    S_COPY_SETS = 380,
    S_HEADERS_BY_UI = 1333,
};

/* Model capability (header entry 26) bit 22: the user's locale chooses the paper region. */
constexpr DWORD kCapRegionFromLocale = 0x400000;

constexpr DWORD kRegistrationSize = JWM_KEY_SIZE;

/* The job-header set: one allocation of the head, n slots and three tables. */
struct HeaderSet {
    BYTE *block = nullptr;
    DWORD count = 0, slot = 0, size = 0;

    bool make(DWORD n, DWORD slotSize)
    {
        const ULONGLONG total = DOC_HEADER_SET_HEAD + ULONGLONG(n) * (ULONGLONG(slotSize) + 12);
        if (n == 0 || total > 0x7FFFFFFF)
            return false;
        block = static_cast<BYTE *>(GlobalAlloc(GPTR, size_t(total)));
        if (!block)
            return false;
        count = n;
        slot = slotSize;
        size = DWORD(total);
        const DWORD tables = DOC_HEADER_SET_HEAD + n * slotSize;
        plat::store_u32(block, 0, n);
        plat::store_u32(block, 4, slotSize);
        plat::store_u32(block, 8, DOC_HEADER_SET_HEAD);
        for (DWORD t = 0; t < 3; t++)
            plat::store_u32(block, 12 + 4 * t, tables + 4 * n * t);
        return true;
    }
    char *text(DWORD i) { return reinterpret_cast<char *>(block + DOC_HEADER_SET_HEAD + size_t(i) * slot + 4); }
    void store(DWORD i, DWORD length, const JobHeaderParams &p)
    {
        plat::store_u32(block, DOC_HEADER_SET_HEAD + size_t(i) * slot, length);
        const DWORD positions[3] = {p.bookletPosition, p.iwaSide2StartPosition, p.hcpnPosition};
        for (DWORD t = 0; t < 3; t++)
            plat::store_u32(block, plat::load_u32(block, 12 + 4 * t) + 4 * i, positions[t]);
    }
};

/* The region code of the model's papers: the user's locale's (1 or 2) where the model allows it, else 2. */
WORD region_code(ModelContext *context)
{
    return UTL_GetDefaultPaperRegion(MDL_HasCapability(context->main, kCapRegionFromLocale));
}

} // namespace

int DOC_BuildJobHeaders(HANDLE printer, HDC hdc)
{
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job || DOC_GetNumber(job->settings, job->printerData, S_HEADERS_BY_UI) == 0)
        return 1;
    DWORD mode = 0;
    if (DOC_Escape(hdc, ESC_QUERY_COPYSET_MODE, nullptr, 0, &mode, sizeof mode) <= 0)
        return 1;
    ModelContext *context = MDL_Open(printer);
    if (!context)
        return 1;
    JobHeaderParams params{};
    params.settings = job->settings;
    params.printerData = job->printerData;
    params.printer = printer;
    params.documentName = job->documentName;
    params.insertFlag = 1;

    /* Split jobs: one header per copy set, or one covering them all (379), each with its fax destinations. */
    bool split = false;
    const int n = DOC_CopySetCount(mode, job->settings, job->printerData, &split);
    const bool oneForAll = split && DOC_GetNumber(job->settings, job->printerData, S_COPY_SET_ONE) != 0;
    const ULONGLONG sets = DOC_GetNumber(job->settings, job->printerData, S_COPY_SETS);
    WORD faxCount = 0;
    BYTE *faxList = split ? FAX_LoadSendList(printer, job->copySetDataSize, job->copySetData, &faxCount) : nullptr;
    PjlFaxCursor cursor{0, 0, faxList, faxList ? FAX_HEADER_SIZE + DWORD(faxCount) * FAX_ENTRY_SIZE : 0};
    if (split)
        params.faxCursor = &cursor;

    int result = 1;
    HeaderSet set;
    const LONG bound = PJL_GetHeaderSize(context->main, context->companion, &params);
    if (bound >= 0 && bound <= 0x7FFFFFFF - 4 && set.make(DWORD(n), DWORD(bound) + 4)) {
        const WORD registered = job->copySetRegistrations ? plat::load_u16(job->copySetRegistrations, 0) : 0;
        const BOOL monitor = registered ? JWM_IsAvailable() : FALSE;
        for (int i = 0; i < n && result == 1; i++) {
            cursor.first = WORD(oneForAll ? 0 : i);
            cursor.last = WORD(oneForAll ? (sets > 1 ? (sets - 1 < 0xFFFF ? sets - 1 : 0xFFFF) : 0) : i);
            params.jobIdPresent = 0;
            std::memset(params.jobId, 0, sizeof params.jobId);
            if (i < registered) {
                params.jobIdPresent = monitor;
                std::memcpy(params.jobId, job->copySetRegistrations + 2 + size_t(i) * kRegistrationSize,
                            sizeof params.jobId);
            }
            const LONG length = PJL_BuildJobHeader(context->main, context->companion, &params, set.text(DWORD(i)),
                                                   set.slot - 4);
            if (length < 0 || DWORD(length) > set.slot - 4) {
                result = -1;
                break;
            }
            set.store(DWORD(i), DWORD(length), params);
        }
        if (result == 1) {
            GlobalFree(job->jobHeaders);
            job->jobHeaders = set.block;
        } else {
            GlobalFree(set.block);
            GlobalFree(job->jobHeaders);
            job->jobHeaders = nullptr;
        }
    }
    FAX_FreeSendList(faxList);
    MDL_Close(context);
    return result;
}

int DOC_SendJobData(HANDLE printer, HDC hdc)
{
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job)
        return -1;
    if (!job->documentStarted)
        return 1;
    DOC_Escape(hdc, ESC_GET_SETTINGS, nullptr, 0, job->settings, sizeof job->settings);
    int result = DOC_BuildJobHeaders(printer, hdc);
    auto send = [&](ULONG code, const void *in, size_t size) {
        if (DOC_Escape(hdc, code, in, size) <= 0)
            result = -1;
    };
    const WORD begin = 0, end = 1;
    send(ESC_JOBDATA_BRACKET, &begin, sizeof begin);
    if (ModelContext *context = MDL_Open(printer)) {
        const WORD region = region_code(context);
        MDL_Close(context);
        send(ESC_SET_REGION_CODE, &region, sizeof region);
    } else {
        result = -1;
    }
    send(ESC_SET_DOCUMENT_NAME, job->documentName, sizeof job->documentName);
    send(ESC_SET_SETTINGS, job->settings, sizeof job->settings);
    send(ESC_SET_PRINTERDATA, job->printerData, sizeof job->printerData);
    send(ESC_SET_ANNOTATION, job->annotation, sizeof job->annotation);
    send(ESC_SET_EXT_STATE, job->extState, sizeof job->extState);
    if (job->warningShown)
        send(ESC_SET_JOB_FLAG, &job->warningShown, sizeof job->warningShown);
    /* Only a block goes: the renderer takes an empty escape for a failure. */
    if (job->copySetMode && job->copySetData && job->copySetDataSize)
        send(ESC_SET_COPYSET_DATA, job->copySetData, job->copySetDataSize);
    if (job->jobHeaders) {
        const DWORD n = plat::load_u32(job->jobHeaders, 0), s = plat::load_u32(job->jobHeaders, 4);
        send(ESC_SET_COPYSET_HEADERS, job->jobHeaders, DOC_HEADER_SET_HEAD + size_t(n) * (size_t(s) + 12));
    }
    send(ESC_SET_JOB_EXTRA, job->jobIdentity, sizeof job->jobIdentity);
    if (DOC_Escape(hdc, ESC_JOBDATA_BRACKET, &end, sizeof end) <= 0)
        return -1;
    return result;
}
