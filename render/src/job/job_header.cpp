/*
 * The job's frame: PJL header and trailer, stream header line, event
 * comments and the session's opening.  The PJL texts come from the common
 * library; this file fills their parameters from the job and writes them.
 */
#include "job_header.h"

#include "job_info_fill.h"
#include "job_settings.h"
#include "page_recording.h"
#include "page_recording_direct.h"
#include "pclxl_encoder.h"
#include "pclxl_ops.h"
#include "pdev_context.h"
#include "sheet_data.h"
#include "sheet_pipeline.h"
#include "sheet_state.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/job_language/job_info.h>
#include <tarvel/job_language/pjl_header.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/stores/jwm_record.h>

#include <plat/clock.h>
#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/text.h>
#include <plat/version.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

/* Settings the frame reads. */
enum : WORD {
    ID_JOB_TYPE = 334,     /* 5: a fax job */
    ID_FAX_FILE = 375,     /* the fax data file, when set */
    ID_FORM_MODE = 339,    /* 1: the job creates a form */
    ID_FAX_FILE_ALT = 1799,
    ID_JOB_ID_ON = 1321,
    ID_FAX_DATA_FLAG = 4125, /* printer data */
    ID_JOB_ID_WRITE = 8201,
};

/* Bytes of the names part of an event comment, and of its text. */
constexpr int kEventNamesMax = 261;
constexpr int kEventTextMax = 261;

bool form_mode(PdevContext *pdev)
{
    if (pdev->jobSettings)
        return pdev->jobSettings->formMode != 0;
    DWORD v = 0;
    return PDEV_GetSetting32(pdev, ID_FORM_MODE, &v) == 0 && v == 1;
}

HANDLE job_printer(PdevContext *pdev)
{
    return pdev->jobSettings && pdev->jobSettings->printer ? pdev->jobSettings->printer : pdev->printer;
}

LPCWSTR document_name(PdevContext *pdev) { return pdev->jobSettings ? pdev->jobSettings->documentName : u""; }

/* A wide text in the ANSI code page, cut at a whole character to at most `max` bytes. */
void to_ansi(LPCWSTR text, char *out, int max)
{
    out[0] = 0;
    if (!text || !text[0])
        return;
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, out, max + 1, nullptr, nullptr);
    if (n <= 0) {
        /* Too long: convert character by character until the next one would not fit. */
        int used = 0;
        for (const WCHAR *p = text; *p; p++) {
            char piece[8];
            int len = WideCharToMultiByte(CP_ACP, 0, p, 1, piece, sizeof piece, nullptr, nullptr);
            if (len <= 0 || used + len > max)
                break;
            std::memcpy(out + used, piece, size_t(len));
            used += len;
        }
        out[used] = 0;
    }
}

/* The printer's port name (GetPrinterW level 5) in the ANSI code page; empty when it cannot be had. */
void port_name(HANDLE printer, char *out, int max)
{
    out[0] = 0;
    DWORD needed = 0;
    GetPrinterW(printer, 5, nullptr, 0, &needed);
    if (needed == 0)
        return;
    BYTE *buf = static_cast<BYTE *>(GlobalAlloc(GPTR, needed));
    if (!buf)
        return;
    if (GetPrinterW(printer, 5, buf, needed, &needed)) {
        const auto *info = reinterpret_cast<const PRINTER_INFO_5W *>(buf);
        to_ansi(info->pPortName, out, max);
    }
    GlobalFree(buf);
}

int write_text(PdevContext *pdev, const char *text, DWORD length)
{
    return length == 0 ? 0 : XL_PutRaw(pdev, text, length);
}

/*
 * A job text that cannot be built (its size or its text answered `code`, a
 * PJL_ERR_ code): one trace line with the code, and the last error the
 * failing GDI call hands back to the application, so that the job fails
 * for its real reason.  Returns -1.
 */
int text_failed(LONG code)
{
    LOG_Printf(u"the job's PJL text cannot be built from the model data (error %ld)", code);
    DWORD error = ERROR_INVALID_DATA; /* the model's job-language data cannot be used */
    if (code == PJL_ERR_CONVERSION)
        error = ERROR_NO_UNICODE_TRANSLATION;
    else if (code == PJL_ERR_LIBRARY)
        error = ERROR_MOD_NOT_FOUND;
    SetLastError(error);
    return -1;
}

/* Writes a text of at most `bound` bytes built by `build` into a buffer of its own. */
template <typename Build> int write_built(PdevContext *pdev, LONG bound, Build build)
{
    if (bound <= 0)
        return text_failed(bound);
    char *buf = static_cast<char *>(GlobalAlloc(GPTR, DWORD(bound)));
    if (!buf)
        return -1; /* GlobalAlloc said why */
    LONG n = build(buf, DWORD(bound));
    int r = n < 0 ? text_failed(n) : write_text(pdev, buf, DWORD(n));
    GlobalFree(buf);
    return r;
}

/*
 * The values of the header's slots that only the recorded job knows: the
 * sheet where two-pass duplex turns to the second sides (-1 once a paper
 * change ended two-pass duplex; 0 without a recording), and the sheet sides
 * of one copy for the HCPN line.  Both held to their slot's width.
 */
void deferred_values(PdevContext *pdev, LONG *iwaSide2Start, LONG *hcpn)
{
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    LONG sheets = REC_CountTwoPassSheets(pdev);
    *iwaSide2Start = sheet && sheet->twoPassEnded ? -1 : sheets >= 0 ? std::min<LONG>(sheets + 1, 32767) : 0;
    LONG sides = JOB_CountSheetsForHeader(pdev);
    *hcpn = sides >= 0 ? std::min<LONG>(sides, 65535) : 0;
}

/*
 * The "@BKTP=" value of a job whose booklet line is on: the booklet's sides,
 * two for every four logical pages begun (9 pages: 3 sheets, 6 sides); 0
 * when the line is off or no page was placed yet (the slot stays blank).
 */
LONG booklet_value(PdevContext *pdev)
{
    const JobSettings *js = pdev->jobSettings;
    const ULONGLONG pages = pdev->jobCounters.logicalPages;
    if (!js || !js->bktpLine || pages == 0)
        return 0;
    return LONG(std::min<ULONGLONG>(2 * ((pages - 1 + 4) / 4), 65534));
}

/* A line for a slot, in the job-language text mode (UTF-8 or ANSI; the texts are ASCII either way). */
int patch(const char *line, DWORD position, LPSTR text, DWORD textLength)
{
    if (position == 0)
        return 1;
    size_t n = std::strlen(line);
    if (!text || position > textLength || n > textLength - position)
        return 1; /* would reach past the header: the placeholder stays */
    std::memcpy(text + position, line, n);
    return 1;
}

/* The trailer with the job-information block: universal exit, the block in pieces, the end-of-job line. */
int write_trailer_with_block(PdevContext *pdev)
{
    if (write_built(pdev, PJL_GetUelSize(), [](char *b, DWORD cap) { return PJL_WriteUel(b, cap); }) != 0)
        return -1;
    char piece[JIG_PIECE_SIZE];
    for (;;) {
        BOOL more = FALSE;
        int n = JIG_NextJobInfoLine(pdev, piece, &more);
        if (n < 0 || write_text(pdev, piece, DWORD(n)) != 0)
            return -1;
        if (!more)
            break;
    }
    ModelFileReader *main = pdev->mainReader, *companion = pdev->companionReader;
    return write_built(pdev, PJL_GetEojSize(main, companion),
                       [&](char *b, DWORD cap) { return PJL_WriteEojLine(main, companion, b, cap); });
}

int write_trailer(PdevContext *pdev)
{
    if (pdev->jobSettings && pdev->jobSettings->jobInfoBlock)
        return write_trailer_with_block(pdev);
    ModelFileReader *main = pdev->mainReader, *companion = pdev->companionReader;
    return write_built(pdev, PJL_GetTrailerSize(main, companion),
                       [&](char *b, DWORD cap) { return PJL_WriteTrailer(main, companion, b, cap); });
}

/* The copy set's slot of the received table, patched, then written. */
int write_copy_set_header(PdevContext *pdev, const CopySetHeaderTable *table, DWORD copySet)
{
    if (!JOB_CheckCopySetHeaders(table) || copySet >= table->count)
        return -1;
    const BYTE *slot = table->slots + size_t(copySet) * table->slotSize;
    DWORD length = plat::load_u32(slot, 0);
    char *text = static_cast<char *>(GlobalAlloc(GPTR, length + 1));
    if (!text)
        return -1;
    std::memcpy(text, slot + 4, length);
    ModelFileReader *main = pdev->mainReader, *companion = pdev->companionReader;
    LONG iwa = 0, hcpn = 0;
    deferred_values(pdev, &iwa, &hcpn);
    JOB_PatchIwaSide2Start(main, companion, iwa, table->iwaSide2StartPositions[copySet], text, length);
    JOB_PatchHcpn(main, companion, hcpn, table->hcpnPositions[copySet], text, length);
    if (const LONG booklet = booklet_value(pdev))
        JOB_PatchBooklet(main, companion, booklet, table->bookletPositions[copySet], text, length);
    int r = write_text(pdev, text, length);
    GlobalFree(text);
    return r;
}

/*
 * The fax destinations of a copy-set job that prints its document pages:
 * the data set's own with one spool job per set, else all of them.  False
 * for other jobs.
 */
bool copy_set_destinations(PdevContext *pdev, DWORD copySet, PjlFaxCursor *cursor)
{
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !sheet->copySets.read || sheet->copySets.noPages || !pdev->copySetData)
        return false;
    const CopySetState &cs = sheet->copySets;
    const WORD count = SDB_CopySetCount(pdev);
    cursor->list = static_cast<const BYTE *>(pdev->copySetData);
    cursor->listBytes = FAX_HEADER_SIZE + DWORD(count) * FAX_ENTRY_SIZE;
    cursor->first = cs.jobPerSet ? WORD(copySet) : 0;
    cursor->last = cs.jobPerSet ? WORD(copySet) : WORD(cs.dataSets > 0 ? cs.dataSets - 1 : 0);
    return true;
}

/* A header built now from the settings copy of the first sheet. */
int write_built_header(PdevContext *pdev, DWORD copySet)
{
    JobHeaderParams params{};
    PjlFaxCursor faxCursor{};
    if (copy_set_destinations(pdev, copySet, &faxCursor))
        params.faxCursor = &faxCursor;
    params.settings = pdev->settingsCopy;
    params.printerData = pdev->printerData;
    params.documentName = document_name(pdev);
    params.insertFlag = 1;
    params.printer = job_printer(pdev);
    if (pdev->jobSettings)
        params.copiesBy = pdev->jobSettings->driverCollate ? PJL_COPIES_DRIVER : PJL_COPIES_PRINTER;
    /* A missing owner name does not stop the job: nothing in the header reads it. */
    JOB_GetOwnerName(params.printer, params.ownerName);

    if (JOB_RegisterJobIdentifier(pdev, &params) != 0)
        return -1;

    LONG iwa = 0, hcpn = 0;
    deferred_values(pdev, &iwa, &hcpn);
    params.iwaSide2StartValue = SHORT(iwa);
    params.hcpnValue = WORD(hcpn);
    params.bookletValue = WORD(booklet_value(pdev));

    ModelFileReader *main = pdev->mainReader, *companion = pdev->companionReader;
    LONG size = PJL_GetHeaderSize(main, companion, &params);
    return write_built(pdev, size,
                       [&](char *b, DWORD cap) { return PJL_BuildJobHeader(main, companion, &params, b, cap); });
}

} // namespace

int JOB_RegisterJobIdentifier(PdevContext *pdev, JobHeaderParams *params)
{
    if (!pdev || !params)
        return -1;
    params->jobIdPresent = 0;
    DWORD idWrite = 0, idOn = 0;
    if (PDEV_ReadSetting32(pdev->settingsCopy, pdev->printerData, ID_JOB_ID_WRITE, &idWrite) != 0 ||
        PDEV_ReadSetting32(pdev->settingsCopy, pdev->printerData, ID_JOB_ID_ON, &idOn) != 0 || !idWrite || !idOn)
        return 0;
    /* The printer's and port's names for the monitor (empty when they cannot be had: the record refuses them). */
    HANDLE printer = job_printer(pdev);
    DWORD needed = 0;
    GetPrinterW(printer, 5, nullptr, 0, &needed);
    BYTE *info = needed ? static_cast<BYTE *>(GlobalAlloc(GPTR, needed)) : nullptr;
    const PRINTER_INFO_5W *p5 = info && GetPrinterW(printer, 5, info, needed, &needed)
                                    ? reinterpret_cast<const PRINTER_INFO_5W *>(info)
                                    : nullptr;
    JwmJobContext job{};
    job.printer = printer;
    job.context = pdev->model;
    job.devmode = pdev->settingsCopy;
    job.printerData = pdev->printerData;
    job.printerName = p5 ? p5->pPrinterName : nullptr;
    job.portName = p5 ? p5->pPortName : nullptr;
    job.userName = params->ownerName[0] ? params->ownerName : nullptr;
    job.documentName = document_name(pdev);
    char key[JWM_KEY_SIZE] = {};
    HANDLE monitor = JWM_BuildJobRecord(&job, key);
    GlobalFree(info);
    if (!monitor)
        return 0; /* no monitor: the job goes without an identifier */
    pdev->owner.registration = monitor;
    static_assert(sizeof key == sizeof params->jobId, "the job key fills the identifier");
    std::memcpy(params->jobId, key, sizeof key);
    params->jobIdPresent = 1;
    return 0;
}

void JOB_ProtocolVersionText(DWORD protocolClass, char *text, size_t capacity)
{
    std::snprintf(text, capacity, "%u.%u.%u", unsigned((protocolClass >> 24) & 0xFF),
                  unsigned((protocolClass >> 16) & 0xFF), unsigned((protocolClass >> 8) & 0xFF));
}

int JOB_CheckCopySetHeaders(const CopySetHeaderTable *table)
{
    if (!table || !table->slots || !table->bookletPositions || !table->iwaSide2StartPositions ||
        !table->hcpnPositions || table->slotSize < 4)
        return 0;
    for (DWORD i = 0; i < table->count; i++) {
        DWORD length = plat::load_u32(table->slots + size_t(i) * table->slotSize, 0);
        if (length > table->slotSize - 4)
            return 0;
    }
    return 1;
}

int JOB_CheckFaxData(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    DWORD jobType = 0, faxFlag = 0;
    if (PDEV_GetSetting32(pdev, ID_JOB_TYPE, &jobType) != 0 || jobType != 5)
        return 0;
    if (PDEV_GetSetting32(pdev, ID_FAX_DATA_FLAG, &faxFlag) != 0 || !faxFlag)
        return 0;
    WCHAR path[261] = {};
    PDEV_CopySettingString(pdev, ID_FAX_FILE, path, 261);
    if (!path[0])
        PDEV_CopySettingString(pdev, ID_FAX_FILE_ALT, path, 261);
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        LOG_Printf(u"JOB_CheckFaxData: the fax data file cannot be opened");
        return -1;
    }
    CloseHandle(f);
    return 0;
}

int JOB_WriteHeader(PdevContext *pdev, int which, DWORD copySet)
{
    if (!PDEV_IsValid(pdev) || !pdev->channel)
        return -1;
    if (which == JOB_TEXT_TRAILER)
        return write_trailer(pdev);
    if (which != JOB_TEXT_HEADER)
        return -1;
    if (pdev->copySetHeaders)
        return write_copy_set_header(pdev, static_cast<const CopySetHeaderTable *>(pdev->copySetHeaders), copySet);
    return write_built_header(pdev, copySet);
}

int JOB_WriteStreamHeader(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    DWORD c = pdev->jobSettings ? pdev->jobSettings->protocolClass
                                : JOB_GetProtocolClass(pdev, pdev->settings, pdev->printerData);
    OSVERSIONINFOW os{};
    os.dwOSVersionInfoSize = sizeof os;
    if (!GetVersionExW(&os)) {
        os.dwMajorVersion = 5;
        os.dwMinorVersion = 0;
    }
    char line[128];
    char version[16];
    JOB_ProtocolVersionText(c, version, sizeof version);
    int n = std::snprintf(line, sizeof line, ") HP-PCL XL;2;1;QZKRL2-%s,%s%x.%x,%s%d.%d.%d.%d%c", version, "WINNT-",
                          unsigned(os.dwMajorVersion), unsigned(os.dwMinorVersion), "KRL2DRV-", 1, 1, 0, 0, '\n');
    if (n <= 0 || n >= int(sizeof line))
        return -1;
    return XL_PutRaw(pdev, line, DWORD(n));
}

LPCSTR JOB_EventText(int code)
{
    switch (code) {
    case JOB_EVENT_START_PAGE: return "StartPage";
    case JOB_EVENT_END_PHYSICAL: return "EndPage of Physical";
    case JOB_EVENT_END_LOGICAL: return "EndPage of Logical";
    case JOB_EVENT_END_JOB: return "EndJob";
    case JOB_EVENT_END_WITHOUT_END_PAGE: return "EndJob without EndPage";
    case JOB_EVENT_END_WITH_LEFT_NUP: return "EndJob with left Nup";
    case JOB_EVENT_SKIP_BACK_FACE: return "skip backface of duplex";
    default: return nullptr;
    }
}

int JOB_LogEvent(PdevContext *pdev, int code)
{
    LPCSTR text = JOB_EventText(code);
    return text ? JOB_LogEventText(pdev, text, JOB_EVENT_ELAPSED) : -1;
}

int JOB_LogEventText(PdevContext *pdev, LPCSTR text, DWORD flags)
{
    if (!pdev)
        return -1;
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (flags & JOB_EVENT_START_TICK) {
        if (sheet)
            sheet->startTick = GetTickCount();
    }
    if (!text)
        return 0;
    char stamp[64] = "";
    char names[kEventNamesMax + 1] = "";
    char elapsed[32] = "";
    char event[kEventTextMax + 1] = "";
    if (flags & JOB_EVENT_STAMP) {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        std::snprintf(stamp, sizeof stamp, "[%04d,%02d/%02d,%02d:%02d:%02d]", now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond);
        /* "[document][port]" within its bytes: the port name first, the document name cut at a whole character. */
        char doc[kEventNamesMax + 1], port[kEventNamesMax + 1];
        port_name(job_printer(pdev), port, kEventNamesMax / 2);
        int room = kEventNamesMax - 4 - int(std::strlen(port));
        to_ansi(document_name(pdev), doc, room);
        size_t n = 0;
        for (const char *part : {"[", static_cast<const char *>(doc), "][", static_cast<const char *>(port), "]"}) {
            size_t len = std::strlen(part);
            std::memcpy(names + n, part, len);
            n += len;
        }
        names[n] = 0;
    }
    if (flags & JOB_EVENT_ELAPSED) {
        DWORD start = sheet ? sheet->startTick : 0;
        std::snprintf(elapsed, sizeof elapsed, "[%ldms]", long(LONG(GetTickCount() - start)));
    }
    std::snprintf(event, sizeof event, "%s", text);
    char comment[2 + 64 + kEventNamesMax + 32 + kEventTextMax + 1];
    std::snprintf(comment, sizeof comment, "\"%s%s%s%s\"", stamp, names, elapsed, event);
    return XL_Comment(pdev, comment);
}

int JOB_BeginSessionUnlessForm(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    return form_mode(pdev) ? 0 : REC_BeginSession(pdev);
}

int JOB_GetOwnerName(HANDLE printer, LPWSTR name)
{
    (void)printer;
    if (!name)
        return -1;
    name[0] = 0;
    WCHAR user[JOB_OWNER_CHARS] = {};
    DWORD size = JOB_OWNER_CHARS;
    if (GetUserNameW(user, &size) && lstrcmpW(user, u"SYSTEM") != 0) {
        lstrcpynW(name, user, JOB_OWNER_CHARS);
        return 0;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return -1;
    DWORD type = 0, bytes = 0;
    int result = -1;
    if (RegQueryValueExW(key, u"DefaultUserName", nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS && type == REG_SZ &&
        bytes >= sizeof(WCHAR)) {
        BYTE *buf = static_cast<BYTE *>(GlobalAlloc(GPTR, bytes + sizeof(WCHAR)));
        if (buf && RegQueryValueExW(key, u"DefaultUserName", nullptr, &type, buf, &bytes) == ERROR_SUCCESS) {
            WCHAR value[JOB_OWNER_CHARS] = {};
            std::memcpy(value, buf, std::min<size_t>(bytes, sizeof value - sizeof(WCHAR)));
            lstrcpynW(name, value, JOB_OWNER_CHARS);
            result = 0;
        }
        GlobalFree(buf);
    }
    RegCloseKey(key);
    return result;
}

int JOB_PatchBooklet(ModelFileReader *main, ModelFileReader *companion, LONG value, DWORD position, LPSTR text,
                     DWORD textLength)
{
    (void)companion;
    if (position == 0)
        return 1;
    ModelCapabilityBits caps{};
    MDL_GetCapabilityBits(main, &caps);
    char line[64];
    if (caps.words[0] & PJL_F26_JOBATTR)
        std::snprintf(line, sizeof line, "@PJL SET JOBATTR=\"@BKTP=%ld\"", long(value));
    else
        std::snprintf(line, sizeof line, "@BKTP=%ld", long(value));
    return patch(line, position, text, textLength);
}

int JOB_PatchIwaSide2Start(ModelFileReader *main, ModelFileReader *companion, LONG value, DWORD position, LPSTR text,
                           DWORD textLength)
{
    (void)main;
    (void)companion;
    if (position == 0 || value < -9999 || value > 99999)
        return 1; /* a wider number would overrun the placeholder */
    char line[64];
    std::snprintf(line, sizeof line, "@PJL SET IWASIDE2START=%5ld", long(value));
    return patch(line, position, text, textLength);
}

int JOB_PatchHcpn(ModelFileReader *main, ModelFileReader *companion, LONG value, DWORD position, LPSTR text,
                  DWORD textLength)
{
    (void)companion;
    if (position == 0 || value < -9999 || value > 99999)
        return 1;
    ModelCapabilityBits caps{};
    MDL_GetCapabilityBits(main, &caps);
    if (!(caps.words[0] & 0xFFFF003Eu) || !(caps.words[0] & PJL_F26_HCPN))
        return 1;
    char line[64];
    std::snprintf(line, sizeof line, "@PJL SET JOBATTR=\"@HCPN=%5ld\"", long(value));
    return patch(line, position, text, textLength);
}
