/*
 * The job header: universal exit, the job mode line and the string code set
 * (UTF-8 mode), the DATE / TIME / DNAME comments, the IWASIDE2START and HCPN
 * slots, then the loop over the model's job-language records with the
 * booklet slot, the generated inserts and the fax destinations at a marker
 * record; and the bound the caller sizes the header's buffer with.
 */
#include "pjl_private.h"

#include <tarvel/base/util_system.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/clock.h>
#include <plat/text.h>

namespace {

/* Settings the header's own steps read. */
constexpr WORD kCopies = 12;
constexpr WORD kDuplex = 16;
constexpr WORD kCollate = 18;
constexpr WORD kFold = 321;
constexpr WORD kAttributeGate = 336;
constexpr WORD kBookletOn = 446;
constexpr WORD kBookletKind = 465;
constexpr WORD kHcpnSwitch = 1344;
constexpr WORD kBookletFlag = 1328;
constexpr WORD kTwoPassDuplex = 1365;
constexpr WORD kOptionTray4 = 4099;
constexpr WORD kOptionOther = 4123;
constexpr WORD kOutputBin = 4359;

constexpr DWORD kCapBooklet45 = MDL_CAP_BIT(45);
constexpr DWORD kCapIwaSide2Start = MDL_CAP_BIT(55);
constexpr DWORD kCapHcpn = MDL_CAP_BIT(62);

/* Header entries of the size bound. */
constexpr WORD kEntrySizeBase = 2;
constexpr WORD kEntryFaxCount = 24;
constexpr WORD kEntryFaxSize = 25;

/* A text of the ANSI code page takes at most three bytes per byte in UTF-8. */
constexpr ULONGLONG kUtf8Growth = 3;

constexpr char16_t kComment[] = u"@PJL COMMENT ";
constexpr char16_t kDate[] = u"DATE=";
constexpr char16_t kTime[] = u"TIME=";
constexpr char16_t kDocumentName[] = u"DNAME=";

constexpr PjlRange kNameSingles[] = {{0x20, 0x7E}, {0xA1, 0xDF}};
constexpr PjlRange kNameDoubles[] = {{0x8000, 0xFFFF}};

/* A record of the loop, freed when the holder goes. */
struct RecordHolder {
    DddJobLineRecord *record = nullptr;
    ~RecordHolder()
    {
        if (record)
            DDD_FreeRecord(&record, DDD_KIND_JOB_LINE);
    }
    /* Frees the record now: 0, or PJL_ERR_RECORD when it cannot be freed. */
    LONG release() { return DDD_FreeRecord(&record, DDD_KIND_JOB_LINE) == DDD_OK ? 0 : PJL_ERR_RECORD; }
};

/* Record n of kind 15: 1 with the record, 0 past the last one, or PJL_ERR_RECORD. */
LONG fetchRecord(JobHeaderContext *ctx, WORD n, RecordHolder *holder)
{
    ModelRecord *rec = nullptr;
    WORD r = DDD_GetRecordByIndex(DDD_PARSE_FULL, ctx->main, ctx->companion, DDD_KIND_JOB_LINE, n, &rec);
    if (r == DDD_ERR_NOT_FOUND)
        return 0;
    if (r != DDD_OK || !rec)
        return PJL_ERR_RECORD;
    holder->record = reinterpret_cast<DddJobLineRecord *>(rec);
    return 1;
}

/* Appends a line (its texts and LF) and answers the bytes, or the first error. */
LONG line(PjlBuffer *out, std::initializer_list<LPCWSTR> texts)
{
    LONG r = pjl_AppendAll(out, texts);
    if (r < 0)
        return r;
    LONG lf = PJL_AppendText(PJL_TEXT_LF, out);
    return lf < 0 ? lf : r + lf;
}

/* Step 3: the first applicable "@PJL JOB MODE=" record, written and remembered. */
LONG writeJobMode(JobHeaderContext *ctx, PjlBuffer *out)
{
    for (WORD n = 1; n != 0; ++n) {
        RecordHolder holder;
        LONG got = fetchRecord(ctx, n, &holder);
        if (got <= 0)
            return got < 0 ? got : PJL_ERR_NOT_FOUND;
        DddJobLineRecord *r = holder.record;
        if (PJL_SkipRecord(ctx, r))
            continue;
        LONG holds = PJL_EvalRecordConditions(ctx, r);
        if (holds < 0)
            return holds;
        if (holds == 0 || !r->command.text || lstrcmpW(r->command.text, PJL_TEXT_JOB_MODE) != 0)
            continue;
        LONG written = PJL_WriteRecordLine(ctx, r, out);
        if (written < 0)
            return written;
        LONG lf = PJL_AppendText(PJL_TEXT_LF, out);
        if (lf < 0)
            return lf;
        PjlKeywordMemo &memo = ctx->memo;
        lstrcpynW(memo.lastKeyword, r->command.text, PJL_MEMO_CHARS);
        memo.remembered = 1;
        return holder.release();
    }
    return PJL_ERR_NOT_FOUND;
}

/* Step 4: the DATE, TIME and (for a printable name) DNAME comments. */
LONG writeComments(JobHeaderContext *ctx, PjlBuffer *out)
{
    WCHAR text[32] = {};
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wsprintfW(text, u"%02d/%02d/%04d", now.wMonth, now.wDay, now.wYear);
    LONG r = line(out, {kComment, kDate, text});
    if (r < 0)
        return r;
    GetLocalTime(&now);
    wsprintfW(text, u"%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    r = line(out, {kComment, kTime, text});
    if (r < 0)
        return r;
    LPCWSTR name = ctx->params->documentName;
    if (name && PJL_IsPrintableText(name, kNameSingles, kNameDoubles))
        r = line(out, {kComment, kDocumentName, name});
    return r < 0 ? r : 0;
}

/* Step 5: the IWASIDE2START slot. */
LONG writeIwaSide2Start(JobHeaderContext *ctx, PjlBuffer *out)
{
    if (!MDL_TestCapabilityBit(&ctx->caps, kCapIwaSide2Start))
        return 0;
    PjlReader read{ctx->params};
    const bool due = read(kDuplex, SVT_INT16) != 1 && read(kTwoPassDuplex, SVT_FLAG) != 0;
    if (read.status < 0 || !due)
        return read.status;
    WCHAR value[16] = {};
    wsprintfW(value, u"%5d", int(ctx->params->iwaSide2StartValue));
    const DWORD at = out->length;
    LONG r = line(out, {u"@PJL SET IWASIDE2START=", value});
    if (r >= 0)
        ctx->params->iwaSide2StartPosition = at;
    return r;
}

/* Step 6: the HCPN slot. */
LONG writeHcpn(JobHeaderContext *ctx, PjlBuffer *out)
{
    if (!(ctx->flags26 & PJL_F26_HCPN) || !MDL_TestCapabilityBit(&ctx->caps, kCapHcpn))
        return 0;
    PjlReader read{ctx->params};
    const DWORD bin = read(kOutputBin, SVT_BYTE);
    const DWORD hcpnSwitch = read(kHcpnSwitch, SVT_FLAG);
    const DWORD other = read(kOptionOther, SVT_FLAG);
    const DWORD tray4 = read(kOptionTray4, SVT_FLAG);
    const DWORD collate = read(kCollate, SVT_INT16);
    const DWORD copies = read(kCopies, SVT_INT16);
    if (read.status < 0)
        return read.status;
    if (bin == 0 || !(hcpnSwitch == 0 || (other == 0 && tray4 == 0)) || collate != 1 || copies == 1)
        return 0;
    WCHAR value[16] = {};
    wsprintfW(value, u"%5d", int(ctx->params->hcpnValue));
    const DWORD at = out->length;
    LONG r = line(out, {PJL_TEXT_JOBATTR, PJL_TEXT_QUOTE, u"@HCPN=", value, PJL_TEXT_QUOTE});
    if (r >= 0)
        ctx->params->hcpnPosition = at;
    return r;
}

/* Whether the booklet slot goes out at a marker: 1, 0 or a read error. */
LONG bookletDue(JobHeaderContext *ctx)
{
    if (!(ctx->flags26 & PJL_F26_BOOKLET))
        return 0;
    PjlReader read{ctx->params};
    const bool due = read(kFold, SVT_UINT16) == 2 && read(kBookletOn, SVT_BYTE) == 1 &&
                     (MDL_TestCapabilityBit(&ctx->caps, kCapBooklet45) ? read(kBookletKind, SVT_BYTE) == 2
                                                                        : read(kBookletFlag, SVT_FLAG) == 1);
    if (read.status < 0 || !due)
        return read.status;
    LONG excluded = pjl_BookletExcluded(ctx);
    return excluded < 0 ? excluded : !excluded;
}

/* Whether the fax destinations go out at a marker: 1, 0 or a read error. */
LONG faxDestinationsDue(JobHeaderContext *ctx)
{
    if (ctx->deviceClass == MDL_CLASS_FAX)
        return 1;
    return ctx->deviceClass == MDL_CLASS_PRINTER_FAX ? pjl_FaxGate(ctx->params) : 0;
}

/* What a marker record writes: the booklet slot, the inserts and the fax destinations. */
LONG writeMarker(JobHeaderContext *ctx, PjlBuffer *out)
{
    LONG due = bookletDue(ctx);
    if (due < 0)
        return due;
    if (due) {
        LONG r = PJL_WriteBookletSlot(ctx, out);
        if (r < 0)
            return r;
    }
    if (ctx->params->insertFlag == 1) {
        LONG r = PJL_WriteMarkerInserts(ctx, out, PJL_TEXT_LF);
        if (r < 0)
            return r;
    }
    due = faxDestinationsDue(ctx);
    if (due < 0)
        return due;
    if (due) {
        LONG r = PJL_WriteFaxAttributes(ctx, out);
        if (r < 0)
            return r;
    }
    return 0;
}

/* Step 7: every record that is not skipped and whose conditions hold. */
LONG writeRecords(JobHeaderContext *ctx, PjlBuffer *out)
{
    for (WORD n = 1; n != 0; ++n) {
        RecordHolder holder;
        LONG got = fetchRecord(ctx, n, &holder);
        if (got <= 0)
            return got;
        DddJobLineRecord *r = holder.record;
        if (!PJL_SkipRecord(ctx, r)) {
            LONG holds = PJL_EvalRecordConditions(ctx, r);
            if (holds < 0)
                return holds;
            if (holds) {
                LONG written = 0;
                if (r->command.text && r->command.text[0] == u'%') {
                    written = writeMarker(ctx, out);
                } else {
                    written = PJL_WriteRecordLine(ctx, r, out);
                    if (written > 0) {
                        LONG lf = PJL_AppendText(PJL_TEXT_LF, out);
                        written = lf < 0 ? lf : written;
                    }
                }
                if (written < 0)
                    return written;
            }
        }
        LONG freed = holder.release();
        if (freed < 0)
            return freed;
    }
    return 0;
}

LONG buildHeader(JobHeaderContext *ctx, PjlBuffer *out)
{
    DWORD gate = 0;
    LONG r = PJL_ReadSetting(ctx->params, kAttributeGate, SVT_UINT16, &gate);
    if (r < 0)
        return r;
    if (gate == 1)
        ctx->memo.flags |= PJL_MEMO_ATTRIBUTE_GATE;

    r = PJL_AppendAnsiText(PJL_UEL, out);
    if (r < 0)
        return r;
    if (PJL_GetTextMode() == PJL_TEXT_UTF8) {
        r = writeJobMode(ctx, out);
        if (r < 0)
            return r;
        r = line(out, {u"@PJL SET STRINGCODESET=", u"UTF8"});
        if (r < 0)
            return r;
    }
    for (LONG (*step)(JobHeaderContext *, PjlBuffer *) : {writeComments, writeIwaSide2Start, writeHcpn, writeRecords}) {
        r = step(ctx, out);
        if (r < 0)
            return r;
    }
    return LONG(out->length);
}

} // namespace

LONG PJL_WriteBookletSlot(JobHeaderContext *ctx, PjlBuffer *out)
{
    const WORD n = ctx->params->bookletValue;
    const bool attr = pjl_IsJobAttrForm(ctx);
    const DWORD at = out->length;
    LONG r = 0;
    if (n != 0) {
        WCHAR value[16] = {};
        wsprintfW(value, u"%d", int(n));
        r = attr ? pjl_AppendAll(out, {PJL_TEXT_JOBATTR, PJL_TEXT_QUOTE, u"@BKTP=", value, PJL_TEXT_QUOTE})
                 : pjl_AppendAll(out, {u"@BKTP=", value});
    } else {
        /* Room for the line the caller patches in once the sheet count is known. */
        WCHAR blanks[40] = {};
        const int count = attr ? 38 : 20;
        for (int i = 0; i < count; ++i)
            blanks[i] = u' ';
        r = PJL_AppendText(blanks, out);
    }
    if (r <= 0)
        return r;
    ctx->params->bookletPosition = n != 0 ? 0 : at;
    LONG lf = PJL_AppendText(PJL_TEXT_LF, out);
    return lf < 0 ? lf : r + lf;
}

LONG PJL_BuildJobHeader(ModelFileReader *main, ModelFileReader *companion, JobHeaderParams *params, LPSTR buffer,
                        DWORD capacity)
{
    if (!buffer)
        return PJL_ERR_NULL_BUFFER;
    if (!main || !params)
        return PJL_ERR_NULL_ARGUMENT;
    if (capacity == 0)
        return PJL_ERR_OVERFLOW;
    PjlBuffer out{buffer, capacity, 0};
    buffer[0] = 0;

    JobHeaderContext ctx{};
    pjl_InitContext(&ctx, params, main, companion);
    int osClass = 0;
    if (UTL_GetOsVersionClass(&osClass) == 1 && osClass != UTL_OS_9X_40)
        PJL_SetTextMode(PJL_TEXT_UTF8);

    LONG r = buildHeader(&ctx, &out);
    pjl_FreeLibrary(&ctx);
    return r;
}

LONG PJL_GetHeaderSize(ModelFileReader *main, ModelFileReader *companion, const JobHeaderParams *params)
{
    (void)companion;
    if (!main)
        return PJL_ERR_NULL_ARGUMENT;
    const ULONGLONG base = DDD_GetHeaderEntryValue(main, kEntrySizeBase, 4, 0);
    if (base == 0 || base > 0x7FFFFFFF)
        return PJL_ERR_NO_ENTRY;
    ModelCapabilityBits caps{};
    MDL_GetCapabilityBits(main, &caps);
    const DWORD f = caps.words[0];
    const bool attr = (f & PJL_F26_JOBATTR) != 0;

    /* Texts that come in the ANSI code page (library answers, fax lines, the address file) may grow in UTF-8. */
    ULONGLONG ansi = 0;
    ULONGLONG fixed = base + 9 + (attr ? 20 : 0) + 98 + 178;
    if (f & PJL_F26_BOOKLET)
        fixed += attr ? 41 : 23;
    if (f & PJL_F26_NUP)
        ansi += attr ? 37 : 18;
    if (f & PJL_F26_HOST_ADDRESS)
        ansi += attr ? 67 : 48;
    if (f & PJL_F26_HOST_NAME)
        ansi += attr ? 66 : 47;
    ansi += attr ? 66 : 47; /* the job owner */
    const WORD deviceClass = MDL_GetDeviceClass(main);
    if (deviceClass == MDL_CLASS_FAX || deviceClass == MDL_CLASS_PRINTER_FAX) {
        const ULONGLONG count = DDD_GetHeaderEntryValue(main, kEntryFaxCount, 2, 0);
        const ULONGLONG size = DDD_GetHeaderEntryValue(main, kEntryFaxSize, 2, 0);
        if (count == 0 || size == 0)
            return PJL_ERR_NO_ENTRY;
        ansi += count * size + (attr ? 40 : 21);
    }
    /* The fixed lines, the comments and the fax address file. */
    fixed += 10263 + 3 * 13 + 5 + 5 + 6 - PJL_FAX_FILE_BYTES;
    ansi += PJL_FAX_FILE_BYTES;
    /* The document name of the DNAME comment: at most three bytes per UTF-16 unit. */
    if (params && params->documentName)
        fixed += kUtf8Growth * ULONGLONG(plat::wlen(params->documentName));
    const ULONGLONG bound = fixed + kUtf8Growth * ansi;
    return bound > 0x7FFFFFFF ? PJL_ERR_OVERFLOW : LONG(bound);
}
