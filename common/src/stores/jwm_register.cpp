/*
 * Registering a job with the document monitor: the request built from the
 * job's settings, its checks, the job key, the delayed-print countdown, the
 * blocks handed over, and starting the monitor afterwards.
 */
#include "jwm_private.h"

#include <tarvel/base/uix_jobwatch.h>

#include <plat/clock.h>
#include <plat/text.h>

#include <atomic>
#include <cstring>

namespace {

constexpr WORD kJobType = 334;
constexpr WORD kSetting336 = 336;
constexpr WORD kFaxVariant = 1800;
constexpr WORD kHandOverPath = 1799;
constexpr WORD kText338 = 338;
constexpr WORD kDelayHour = 451;
constexpr WORD kDelayMinute = 452;
constexpr WORD kFlagSetting = 320;

constexpr DWORD kSecondsPerDay = 86400;
/* Seconds between 1601-01-01 and 1970-01-01. */
constexpr ULONGLONG kEpochSeconds = 11644473600ull;
constexpr ULONGLONG kTicksPerSecond = 10000000ull;

std::atomic<DWORD> g_jobTime{0};

/* A text within its limit: false (JWM_TOO_LONG) beyond it. */
bool within(LPCSTR text, size_t limit) { return !text || std::strlen(text) <= limit; }

/* Copies `text` into the first size - 1 bytes of `field`, zero-filling the rest of them. */
void copyText(CHAR *field, size_t size, LPCSTR text)
{
    if (!text)
        return;
    size_t n = strnlen(text, size - 1);
    std::memcpy(field, text, n);
    std::memset(field + n, 0, size - 1 - n);
}

/* The local time of day, in seconds, of `unixSeconds`. */
DWORD localSecondsOfDay(DWORD unixSeconds)
{
    const ULONGLONG ticks = (ULONGLONG(unixSeconds) + kEpochSeconds) * kTicksPerSecond;
    FILETIME utc{DWORD(ticks), DWORD(ticks >> 32)}, local{};
    SYSTEMTIME t{};
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t))
        return 0;
    return (DWORD(t.wHour) * 60 + t.wMinute) * 60 + t.wSecond;
}

DWORD nowUnixSeconds()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG ticks = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return DWORD(ticks / kTicksPerSecond - kEpochSeconds);
}

/* Checks a request: 0 when it may be registered, else its code. */
int check(const MonitorJobRequest *r)
{
    if (!r->portName || !r->documentName || !r->printerName || !r->userName)
        return JWM_MISSING;
    if (r->kind != JWM_KIND_GENERAL && r->kind != JWM_KIND_FAX)
        return JWM_BAD_KIND;
    if (r->kind == JWM_KIND_GENERAL ? !r->jobText : (!r->faxText1 || !r->faxText2))
        return JWM_MISSING;
    const bool fits = within(r->portName, JWM_MAX_PORT) && within(r->documentName, JWM_MAX_DOCUMENT) &&
                      within(r->printerName, JWM_MAX_PRINTER) && within(r->userName, JWM_MAX_USER) &&
                      (r->kind == JWM_KIND_GENERAL ? within(r->jobText, JWM_MAX_JOB_TEXT)
                                                   : within(r->faxText1, JWM_MAX_FAX_TEXT) &&
                                                         within(r->faxText2, JWM_MAX_FAX_TEXT));
    return fits ? 0 : JWM_TOO_LONG;
}

/* The client and job identifiers and the key; 0 or the code to fail with. */
int makeKey(HANDLE monitor, CHAR (&jobId)[UIX_ID_SIZE], LPSTR jobKey)
{
    CHAR clientId[UIX_ID_SIZE] = {};
    std::memset(jobId, 0, sizeof jobId);
    if (!UIX_CreateClientId(monitor, clientId) || !std::memchr(clientId, 0, sizeof clientId) ||
        !UIX_CreateJobId(monitor, jobId) || !std::memchr(jobId, 0, sizeof jobId))
        return JWM_UNAVAILABLE;
    const size_t a = std::strlen(clientId), b = std::strlen(jobId);
    if (a + 1 + b > JWM_MAX_KEY)
        return JWM_TOO_LONG;
    std::memset(jobKey, 0, JWM_KEY_SIZE);
    std::memcpy(jobKey, clientId, a);
    jobKey[a] = '.';
    std::memcpy(jobKey + a + 1, jobId, b);
    return 0;
}

} // namespace

DWORD JWM_DelaySeconds(DWORD now, BYTE hour, BYTE minute)
{
    const DWORD target = (DWORD(hour) * 60 + minute) * 60;
    return now < target ? target - now : target + kSecondsPerDay - now;
}

DWORD JWM_GetJobTime(void) { return g_jobTime; }

int JWM_RegisterJob(HANDLE *monitor, LPSTR jobKey, const MonitorJobRequest *request)
{
    if (!monitor || !jobKey || !request)
        return JWM_MISSING;
    *monitor = nullptr;
    int result = check(request);
    if (result != 0)
        return result;
    HANDLE handle = UIX_InitJobwatch(0);
    if (!handle)
        return JWM_UNAVAILABLE;
    CHAR jobId[UIX_ID_SIZE];
    result = makeKey(handle, jobId, jobKey);
    if (result != 0) {
        UIX_UninitJobwatch(handle);
        return result;
    }

    const DWORD jobTime = nowUnixSeconds();
    g_jobTime = jobTime;
    /* Head and details in one block, the head's pointer set to them: the monitor may read either way. */
    JwmJobBlocks blocks{};
    JwmDetailBlock &detail = blocks.detail;
    detail.size = sizeof detail;
    detail.jobType = request->jobType;
    detail.jobTime = jobTime;
    copyText(detail.portName, sizeof detail.portName, request->portName);
    copyText(detail.jobId, sizeof detail.jobId, jobId);
    copyText(detail.documentName, sizeof detail.documentName, request->documentName);
    if (request->kind == JWM_KIND_FAX) {
        copyText(detail.faxText1, sizeof detail.faxText1, request->faxText1);
        copyText(detail.faxText2, sizeof detail.faxText2, request->faxText2);
    } else {
        detail.flag = request->flag;
        copyText(detail.jobText, sizeof detail.jobText, request->jobText);
    }
    if (request->jobType == JWM_JOB_DELAYED)
        detail.delaySeconds =
            JWM_DelaySeconds(localSecondsOfDay(jobTime), request->delayHour, request->delayMinute);

    JwmHeadBlock &head = blocks.head;
    head.size = sizeof head;
    head.count = JWM_HEAD_COUNT;
    head.kind = JWM_HEAD_KIND;
    head.version = JWM_HEAD_VERSION;
    copyText(head.portName, sizeof head.portName, request->portName);
    copyText(head.printerName, sizeof head.printerName, request->printerName);
    copyText(head.userName, sizeof head.userName, request->userName);
    head.detail = &blocks.detail;
    if (!UIX_SetJwmData(handle, &head)) {
        UIX_UninitJobwatch(handle);
        return JWM_UNAVAILABLE;
    }
    *monitor = handle;
    return JWM_REGISTERED;
}

HANDLE JWM_BuildJobRecord(const JwmJobContext *job, LPSTR jobKey)
{
    if (!job || !jobKey)
        return nullptr;
    CHAR printer[JWM_PRINTER_SIZE], port[JWM_PORT_SIZE], user[JWM_USER_SIZE];
    JWM_GetPrinterAndPort(job, printer, port); /* empty names when it fails */
    JWM_GetUserName(job, user);
    const std::string document = jwm_ToAnsi(job->documentName);

    MonitorJobRequest request{};
    request.portName = port;
    request.printerName = printer;
    request.userName = user;
    request.documentName = document.c_str();
    CHAR text[JWM_TEXT_SIZE] = {};
    CHAR fax1[JWM_FAX_TEXT_SIZE] = {}, fax2[JWM_FAX_TEXT_SIZE] = {};
    const DWORD jobType = jwm_Number(job, kJobType);
    if (jobType == 5) {
        request.kind = JWM_KIND_FAX;
        request.jobType = jwm_Number(job, kFaxVariant) == 1 ? JWM_JOB_FAX_6 : JWM_JOB_FAX;
        std::u16string path;
        if (!jwm_Text(job, kHandOverPath, path) || !JWM_ReadHandOverFile((path + u".cw").c_str(), fax1, fax2))
            return nullptr;
        request.faxText1 = fax1;
        request.faxText2 = fax2;
    } else {
        request.kind = JWM_KIND_GENERAL;
        request.jobText = text;
        if (jwm_Number(job, kSetting336) == 1) {
            request.jobType = JWM_JOB_336;
            std::u16string t;
            jwm_Text(job, kText338, t);
            jwm_ToAnsi(t, text, JWM_TEXT_SIZE);
        } else {
            request.flag = jwm_Number(job, kFlagSetting) != 0 ? 1 : 0;
            switch (jobType) {
            case 1:
                request.jobType = JWM_JOB_SECURE;
                break;
            case 2:
                request.jobType = JWM_JOB_PROOF;
                break;
            case 3:
                request.jobType = JWM_JOB_STORED;
                break;
            case 4:
                request.jobType = JWM_JOB_DELAYED;
                request.delayHour = BYTE(jwm_Number(job, kDelayHour));
                request.delayMinute = BYTE(jwm_Number(job, kDelayMinute));
                break;
            default:
                request.jobType = JWM_JOB_GENERAL;
                break;
            }
            if (request.jobType == JWM_JOB_STORED)
                JWM_GetStoredJobText(job, text);
            else
                JWM_GetJobKindText(job, text);
        }
    }
    HANDLE monitor = nullptr;
    return JWM_RegisterJob(&monitor, jobKey, &request) == JWM_REGISTERED ? monitor : nullptr;
}

int JWM_StartMonitor(HANDLE monitor)
{
    if (!monitor)
        return JWM_MISSING;
    const BOOL ran = UIX_ExecJobwatch(monitor);
    const BOOL released = UIX_UninitJobwatch(monitor);
    if (!ran)
        return JWM_UNAVAILABLE;
    return released ? JWM_REGISTERED : JWM_UNAVAILABLE;
}

BOOL JWM_IsAvailable(void)
{
    HANDLE monitor = UIX_InitJobwatch(0);
    return monitor ? UIX_UninitJobwatch(monitor) : FALSE;
}
