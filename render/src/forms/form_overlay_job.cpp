/*
 * Form overlays in a job: where the form file lies (its path rules and
 * folders), writing it at the end of a form-creation job, and defining and
 * running it in a form-overlay job.
 *
 * A form-overlay job defines its streams once per job output, right after
 * the session begins, so every page of that output (direct, recorded or
 * replayed, in any order) finds them defined; each page start then runs
 * the form inside a saved graphics state.
 */
#include "form_overlay.h"

#include "job_channel.h"
#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "page_recording.h"
#include "page_recording_replay.h"
#include "pclxl_ops.h"
#include "pdev_context.h"
#include "sheet_pipeline.h"
#include "sheet_state.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/res_text.h>

#include <plat/error.h>
#include <plat/file.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/resource.h>
#include <plat/text.h>
#include <plat/window_min.h>

#include <cstdio>
#include <string>

namespace {

enum : WORD {
    ID_RESOLUTION_Y = 21,
    ID_FORM_MODE = 339,
    ID_FORM_FOLDER = 1829, /* the form file's path without its extension */
};

/* Resource strings: the folder warning, its caption, the form file's extension. */
enum : UINT {
    IDS_FORM_FOLDER_FAILED = 2,
    IDS_CAPTION = 6,
    IDS_FORM_EXTENSION = 451,
};

constexpr int kExtensionChars = 3;
constexpr int kBoxTextChars = 255;
constexpr int kCaptionChars = 15;

/* RecordFlags bit while an inserted sheet is set up: no form on it. */
constexpr DWORD kInsertedSheet = 0x0080;

/* Output-tray mode in which short-edge back faces are turned too. */
constexpr LONG kAscendingBacksMode = 4;

constexpr char kFormStream[] = "MACRO";
constexpr char kTurnedFormStream[] = "ROTBK";

DWORD setting(PdevContext *pdev, WORD id)
{
    DWORD v = 0;
    return PDEV_GetSetting32(pdev, id, &v) == 0 ? v : 0;
}

bool is_separator(WCHAR c) { return c == u'\\' || c == u'/' || c == 0x00A5; }

/* A network path: two backslashes in a row anywhere in it. */
bool is_network(const std::u16string &p) { return p.find(u"\\\\") != std::u16string::npos; }

/* A drive path: its first backslash follows a ":". */
bool is_drive(const std::u16string &p)
{
    size_t i = p.find(u'\\');
    return i != std::u16string::npos && i > 0 && p[i - 1] == u':';
}

/* The module of the texts: the resource module, loaded on first use. */
HMODULE text_module() { return RES_GetResourceModule(); }

/* The box of a folder that cannot be made: 1 for OK, -1 for Cancel (or a box that cannot be shown). */
int folder_box()
{
    WCHAR text[kBoxTextChars + 1] = {};
    WCHAR caption[kCaptionChars + 1] = {};
    HMODULE module = text_module();
    if (LoadStringW(module, IDS_FORM_FOLDER_FAILED, text, kBoxTextChars + 1) <= 0)
        lstrcpynW(text, u"The folder for the form overlay file could not be created.", kBoxTextChars + 1);
    if (LoadStringW(module, IDS_CAPTION, caption, kCaptionChars + 1) <= 0)
        lstrcpynW(caption, u"Error", kCaptionChars + 1);
    int answer = MessageBoxW(GetActiveWindow(), text, caption, MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND);
    return answer == IDOK ? 1 : -1;
}

DWORD form_mode(PdevContext *pdev) { return setting(pdev, ID_FORM_MODE); }


} // namespace

int OVL_AbsolutePath(LPCWSTR path, LPWSTR out)
{
    if (!path || !out)
        return -1;
    std::u16string p = path;
    std::u16string full;
    if (is_network(p) || is_drive(p)) {
        full = p;
    } else {
        LPWSTR work = RES_AllocWorkFolderPath(); /* ends with "\" */
        if (!work)
            return -1;
        full = work;
        GlobalFree(work);
        size_t skip = 0;
        while (skip < p.size() && is_separator(p[skip]))
            skip++;
        full += p.substr(skip);
    }
    if (full.size() >= size_t(OVL_PATH_CHARS))
        return -1;
    full.copy(out, full.size());
    out[full.size()] = 0;
    return 0;
}

int OVL_FormPath(PdevContext *pdev, LPWSTR out)
{
    if (!pdev || !out)
        return -1;
    WCHAR folder[OVL_PATH_CHARS + 1] = {};
    WCHAR extension[kExtensionChars + 1] = {};
    if (PDEV_CopySettingString(pdev, ID_FORM_FOLDER, folder, OVL_PATH_CHARS + 1) != 0 || !folder[0])
        return -1;
    if (LoadStringW(text_module(), IDS_FORM_EXTENSION, extension, kExtensionChars + 1) <= 0)
        return -1;
    std::u16string p = folder;
    p += u'.';
    p += extension;
    return OVL_AbsolutePath(p.c_str(), out);
}

int OVL_CreateFolders(PdevContext *, LPCWSTR path)
{
    if (!path)
        return -1;
    const std::u16string p = path;
    size_t start = 0;
    if (p.size() >= 2 && p[1] == u':') {
        start = 2; /* the drive */
    } else if (size_t at = p.find(u"\\\\"); at != std::u16string::npos) {
        /* the server and the share are not made */
        start = at + 2;
        for (int levels = 0; levels < 2 && start < p.size(); levels++) {
            while (start < p.size() && !is_separator(p[start]))
                start++;
            if (levels == 0 && start < p.size())
                start++;
        }
    }
    for (size_t i = start; i < p.size(); i++) {
        if (!is_separator(p[i]) || i == 0 || is_separator(p[i - 1]) || (i == 2 && p[1] == u':'))
            continue;
        const std::u16string level = p.substr(0, i);
        if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return folder_box();
    }
    return 0;
}

int OVL_OpenFormOutput(PdevContext *pdev)
{
    if (!pdev || !pdev->channel)
        return -1;
    WCHAR path[OVL_PATH_CHARS];
    if (OVL_FormPath(pdev, path) != 0)
        return -1;
    int rc = OVL_CreateFolders(pdev, path);
    if (rc != 0)
        return rc;
    return OUT_BeginFormFile(pdev, path);
}

int OVL_WriteFormInfo(PdevContext *pdev, BYTE colorCode)
{
    if (!pdev)
        return -1;
    const BYTE kind = colorCode & 0x0F;
    const int mode = kind == 1 ? 1 : kind == 2 ? 2 : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%s%d", "FormResoX=", int(setting(pdev, ID_RESOLUTION)));
    if (XL_Comment(pdev, text) != 0)
        return -1;
    std::snprintf(text, sizeof text, "%s%d", "FormResoY=", int(setting(pdev, ID_RESOLUTION_Y)));
    if (XL_Comment(pdev, text) != 0)
        return -1;
    std::snprintf(text, sizeof text, "%s%d", "ColorMode=", mode);
    return XL_Comment(pdev, text);
}

int OVL_CloseFormOutput(PdevContext *pdev)
{
    if (!pdev || !pdev->channel || !pdev->jobSettings)
        return -1;
    OutputChannel *channel = pdev->channel;
    const DWORD first = channel->firstPageIndex;
    if ((pdev->recordFlags & REC_FLAG_PAGE_OPEN) && REC_ClosePageRecord(pdev, first + channel->pageCount) != 0)
        return -1;
    const bool havePage = (pdev->recordFlags & REC_FLAG_RECORDING) && channel->pageCount > 0;
    int opened = 1; /* the output stays where it is unless the form file opens */
    /* a set job flag keeps the output on its target */
    if (!pdev->jobSettings->jobFlag) {
        opened = OVL_OpenFormOutput(pdev);
        if (opened < 0) {
            REC_StopRecording(pdev);
            return -1;
        }
    }
    int rc = JOB_BeginJobOutput(pdev, 0);
    if (rc == 0 && havePage) {
        rc = REC_ReplayPage(pdev, first, REC_REPLAY_PAGE_START, 0, nullptr, -1);
        /* the page's recorded start holds a PushGS that nothing else closes: the form ends balanced */
        if (rc == 0)
            rc = XL_PopGS(pdev);
    }
    if (rc == 0)
        rc = JOB_EndJobOutput(pdev);
    if (opened == 0 && OUT_EndFormFile(pdev) != 0)
        rc = -1;
    if ((pdev->recordFlags & REC_FLAG_RECORDING) && REC_StopRecording(pdev) != 0)
        rc = -1;
    return rc;
}

int OVL_DefineFormStreams(PdevContext *pdev, BOOL define, ULONGLONG *size, LONG *colorMode, BOOL turnedCopy)
{
    if (size)
        *size = 0;
    if (colorMode)
        *colorMode = 0;
    if (!pdev)
        return -1;
    if (form_mode(pdev) != 2)
        return 0;
    WCHAR path[OVL_PATH_CHARS];
    if (OVL_FormPath(pdev, path) != 0)
        return 0;
    FormScan scan{};
    if (!OVL_ReplayFormFile(nullptr, path, &scan, 0, 0, FALSE))
        return 0;
    if (size)
        *size = scan.size;
    if (colorMode)
        *colorMode = scan.colorMode;
    /* ReadStream carries its length in 32 bits */
    if (!define || scan.size == 0 || scan.size > 0xFFFFFFFFull)
        return 0;
    const LONG resX = LONG(setting(pdev, ID_RESOLUTION));
    const LONG resY = LONG(setting(pdev, ID_RESOLUTION_Y));
    const char *names[2] = {kFormStream, kTurnedFormStream};
    for (int i = 0; i < (turnedCopy ? 2 : 1); i++) {
        FormScan written{};
        if (XL_BeginStream(pdev, names[i]) != 0 || XL_ReadStream(pdev, DWORD(scan.size)) != 0 ||
            XL_EmbeddedHeader(pdev, DWORD(scan.size)) != 0)
            return -1;
        /* a form that changed since it was scanned would leave the stream short: fail */
        if (!OVL_ReplayFormFile(pdev, path, &written, resX, resY, i == 1) || written.size != scan.size)
            return -1;
        if (XL_EndStream(pdev) != 0)
            return -1;
    }
    return 1;
}

int OVL_FindJobForm(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings)
        return -1;
    pdev->formFound = 0;
    pdev->formColorMode = 0;
    ULONGLONG size = 0;
    LONG color = 0;
    if (OVL_DefineFormStreams(pdev, FALSE, &size, &color, FALSE) < 0)
        return -1;
    pdev->formFound = size > 0;
    pdev->formColorMode = pdev->formFound ? color : 0;
    return 0;
}

int OVL_BeginFormOverlay(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings)
        return -1;
    if (!pdev->formFound || form_mode(pdev) != 2)
        return 0;
    /* pages may already hold the form's ExecStream: a form that went away since fails the job */
    return OVL_DefineFormStreams(pdev, TRUE, nullptr, nullptr, pdev->jobSettings->driverDuplex != 0) == 1 ? 0 : -1;
}

int OVL_ExecFormMacro(PdevContext *pdev)
{
    if (!pdev || !pdev->jobSettings || !pdev->pageLayout)
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    const LONG edge = pdev->pageLayout->duplexEdge + (js.outputTrayMode == kAscendingBacksMode ? 1 : 0);
    /* the turned copy on the back faces a two-pass duplex job turns */
    const bool turned = js.driverDuplex && sheet && (sheet->sideIndex & 1) && !sheet->twoPassEnded && edge == 2;
    if (XL_PushGS(pdev) != 0 || XL_ExecStream(pdev, turned ? kTurnedFormStream : kFormStream) != 0)
        return -1;
    return XL_PopGS(pdev);
}

int OVL_RunAtPageStart(PdevContext *pdev, BOOL replayed)
{
    if (!pdev || !pdev->jobSettings)
        return -1;
    if (!pdev->formFound || form_mode(pdev) != 2 || (pdev->recordFlags & kInsertedSheet))
        return 0;
    if ((pdev->jobSettings->booklet != 0) != (replayed != 0))
        return 0;
    return OVL_ExecFormMacro(pdev);
}

BYTE OVL_PageColorCode(const PdevContext *pdev, BYTE colorCode)
{
    if (pdev && pdev->formFound && pdev->formColorMode == 2 && (colorCode & 0x0F) == 1)
        return BYTE((colorCode & 0xF0) | 2);
    return colorCode;
}
