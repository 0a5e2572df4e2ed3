/*
 * The life of a job on its device context (see job_state.h): reset and
 * open at the document start, close at its end, the release of every
 * per-job record, and the abort.
 *
 * An abort after bytes of the job went out leaves a job the printer would
 * read as cut off inside PCL XL.  The abort therefore writes the universal
 * exit, so the printer leaves the stream at once and the next job starts
 * clean; and the document end of such a job answers FALSE, so the job is
 * not reported as printed.  An abort the application asks for
 * (ED_ABORTDOC) writes nothing more: its spool job is deleted.
 */
#include "blt_image_output.h"
#include "blt_image_spool.h"
#include "clr_color_object.h"
#include "esc_job_data.h"
#include "job_channel.h"
#include "job_ext.h"
#include "job_info_glue.h"
#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "pclxl_transform.h"
#include "pdev_context.h"
#include "sheet_data.h"
#include "sheet_pipeline.h"
#include "spool_file.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/uix_jobwatch.h>
#include <tarvel/job_language/pjl_header.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

#include <plat/error.h>
#include <plat/memory.h>

#include <cstring>

namespace {

/* Settings the job's opening reads. */
enum : WORD {
    S_IMAGE_COMPRESSION = 330,
    S_NO_CTM_OPTION = 336, /* 1: the transform tracker's option is 0 */
};

/* Model header entry of the transform tracker's option (32-bit). */
constexpr WORD kCtmOptionEntry = 6;

/* Results of DMJ_Release. */
constexpr int kReleased = 1;
constexpr int kReleaseRefused = 3;
constexpr int kNoRegistration = 6;

/* A record of the context's heap, zeroed: allocated the first time, cleared afterwards. */
template <typename T>
T *zeroed_record(PdevContext *pdev, T *record)
{
    if (!record)
        return static_cast<T *>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, sizeof(T)));
    std::memset(static_cast<void *>(record), 0, sizeof(T));
    return record;
}

/* Clears the job words of the context. */
void clear_job_words(PdevContext *pdev)
{
    pdev->jobState = 0;
    pdev->recordFlags = 0;
    pdev->jobCounters = JobCounters{};
}

/*
 * The transform tracker's option: model header entry 6, or 0 with setting
 * 336 = 1.  The tracker only checks that its option is set, and a zero one
 * would refuse every job of such a model or setting, so 0 is passed as 1.
 */
LONG ctm_option(PdevContext *pdev)
{
    DWORD option = pdev->mainReader ? DDD_GetHeaderEntryValue(pdev->mainReader, kCtmOptionEntry, 4, 0) : 0;
    DWORD noOption = 0;
    if (PDEV_GetSetting32(pdev, S_NO_CTM_OPTION, &noOption) == 0 && noOption == 1)
        option = 0;
    return option ? LONG(option) : 1;
}

/* The model's registry base of temporary files (header entry 30) becomes the temp-file list's base. */
void reload_temp_file_base(PdevContext *pdev)
{
    LPWSTR base = nullptr;
    if (pdev->mainReader && DDD_GetRegistryKeyText(pdev->mainReader, 0, &base) == 0 && base)
        OUT_SetTempFileBase(base);
    DDD_FreeRecord(&base, 0);
}

/* Writes the universal exit into a job some of whose bytes went out, so the printer leaves PCL XL. */
void write_closing_exit(PdevContext *pdev)
{
    OutputChannel *channel = pdev->channel;
    if (!(pdev->jobState & JOB_SHEET_SET_UP) || !channel || channel->written == 0 ||
        channel->mode == OUT_MODE_CLOSED)
        return;
    if (channel->mode != OUT_MODE_PRINTER && channel->target)
        OUT_SetMode(channel, OUT_MODE_PRINTER);
    char uel[16] = {};
    LONG n = PJL_WriteUel(uel, sizeof uel);
    if (n > 0 && channel->mode == OUT_MODE_PRINTER)
        OUT_Write(channel, DWORD(n), uel);
}

/* The abort: `closingExit` for a failure inside the job, not for the application's own abort. */
int abort_job(PdevContext *pdev, bool closingExit)
{
    if (!pdev || (pdev->jobState & JOB_ABORTED) || !(pdev->jobState & JOB_OPEN))
        return -1;
    DWORD error = GetLastError();
    if (closingExit) {
        pdev->jobAbortError = error ? error : DWORD(ERROR_CANCELLED);
        write_closing_exit(pdev);
    }
    pdev->jobState |= JOB_ABORTED;
    int rc = OUT_CloseJobChannel(pdev, FALSE);
    if (JOB_FreeJobState(pdev) != 0)
        rc = -1;
    /* The context's settings are the document's again, as at a job's normal end. */
    if (ESC_RestoreSettings(pdev) != 0)
        rc = -1;
    pdev->jobState &= ~(JOB_OPEN | JOB_SHEET_SET_UP);
    SetLastError(error);
    return rc;
}

} // namespace

int JOB_ClearJobRecords(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    pdev->jobSettings = zeroed_record(pdev, pdev->jobSettings);
    pdev->pageLayout = zeroed_record(pdev, pdev->pageLayout);
    return pdev->jobSettings && pdev->pageLayout ? 0 : -1;
}

int JOB_Reset(PdevContext *pdev, HANDLE printer)
{
    if (!pdev)
        return -1;
    int rc = JOB_ClearJobRecords(pdev);

    ModelCapabilityBits caps{};
    if (!MDL_GetCapabilityBits(pdev->mainReader, &caps))
        rc = -1;
    DWORD protocolClass = JOB_GetProtocolClass(pdev, pdev->settings, pdev->printerData);
    if (!pdev->jobSettings ||
        JOB_SnapshotSettings(pdev->jobSettings, protocolClass, pdev->settings, pdev->printerData, &caps) != 0)
        rc = -1;

    clear_job_words(pdev);
    pdev->jobAbortError = 0;
    if (pdev->jobSettings)
        pdev->jobSettings->printer = printer;
    if (JOB_SelectFontAliases(pdev) != 0)
        rc = -1;
    if (pdev->copySetMode && SDB_FreeCopySetData(pdev) != 0)
        rc = -1;
    if (OUT_CreateJobChannel(pdev) != 0)
        rc = -1;
    return rc;
}

int JOB_Open(PdevContext *pdev, LPCWSTR docName)
{
    if (!pdev)
        return -1;
    int rc = 0;
    HMODULE module = RES_GetOwnModule();
    HANDLE printer = pdev->jobSettings ? pdev->jobSettings->printer : pdev->printer;

    XL_FreeCtmTracker(pdev->ctmTracker);
    pdev->ctmTracker = pdev->channel ? XL_CreateCtmTracker(pdev, ctm_option(pdev)) : nullptr;
    if (!pdev->ctmTracker)
        rc = -1;
    if (CLR_CreateColorObject(&pdev->colorObject, pdev->settings, module, printer) != 0)
        rc = -1;
    if (BLT_CreateColorScanState(pdev) != 0)
        rc = -1;
    DWORD compression = 0;
    PDEV_GetSetting32(pdev, S_IMAGE_COMPRESSION, &compression);
    if (BLT_CreateImageSpool(&pdev->imageSpool, &pdev->pendingImages, LONG(compression), module) != 0)
        rc = -1;
    if (BLT_CreateTurnBuffer(pdev) != 0)
        rc = -1;
    reload_temp_file_base(pdev);
    if (JOB_InitSheetPipeline(pdev) != 0)
        rc = -1;

    pdev->jobState = JOB_OPEN;
    if (pdev->jobSettings) {
        WCHAR *name = pdev->jobSettings->documentName;
        std::memset(name, 0, sizeof pdev->jobSettings->documentName);
        for (int i = 0; docName && i < JOB_DOC_NAME_CHARS && docName[i]; ++i)
            name[i] = docName[i];
    } else {
        rc = -1;
    }
    if (JIG_InitJobInfo(pdev) != 0)
        rc = -1;
    if (rc == 0 && OUT_OpenJobChannel(pdev) != 0)
        rc = -1;
    return rc;
}

int JOB_InitOwnerRecord(PdevContext *pdev, DWORD jobId)
{
    if (!pdev)
        return -1;
    pdev->owner.jobId = jobId;
    pdev->owner.registration = nullptr;
    return 0;
}

void JOB_Close(PdevContext *pdev)
{
    if (!pdev)
        return;
    if (pdev->jobSettings)
        pdev->jobSettings->printer = nullptr;
    clear_job_words(pdev);
    OUT_FreeJobChannel(pdev);
    JOB_FreeJobState(pdev);
}

int DMJ_Release(void *registration)
{
    if (!registration)
        return kNoRegistration;
    return UIX_UninitJobwatch(static_cast<HANDLE>(registration)) ? kReleased : kReleaseRefused;
}

int JOB_FreeJobState(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    int rc = 0;
    CLR_FreeColorObject(pdev->colorObject);
    pdev->colorObject = nullptr;
    BLT_FreeColorScanState(pdev);
    BLT_FreeImageSpool(pdev->imageSpool, pdev->pendingImages);
    pdev->imageSpool = nullptr;
    pdev->pendingImages = nullptr;
    if (pdev->owner.registration && DMJ_Release(pdev->owner.registration) != kReleased)
        rc = -1;
    pdev->owner.registration = nullptr;
    BLT_FreeTurnBuffer(pdev);
    XL_FreeCtmTracker(pdev->ctmTracker);
    pdev->ctmTracker = nullptr;
    if (ESC_FreeJobData(pdev) != 0)
        rc = -1;
    if (pdev->copySetMode && SDB_FreeCopySetData(pdev) != 0)
        rc = -1;
    JIG_FreeJobInfo(pdev);
    return rc;
}

int JOB_Abort(PdevContext *pdev) { return abort_job(pdev, true); }

int JOB_AbortDocument(PdevContext *pdev) { return abort_job(pdev, false); }

BOOL JOB_IsSheetSetUp(const PdevContext *pdev)
{
    const DWORD both = JOB_OPEN | JOB_SHEET_SET_UP;
    return pdev && (pdev->jobState & both) == both;
}

int JOB_MarkGeometryPending(PdevContext *newPdev, const PdevContext *oldPdev)
{
    if (!newPdev || !oldPdev || ((newPdev->jobState | oldPdev->jobState) & JOB_ABORTED) ||
        (newPdev->jobState & JOB_PAGE_OPEN))
        return -1;
    newPdev->jobState |= JOB_GEOMETRY_PENDING;
    return 0;
}

int JOB_SetCopySetData(PdevContext *pdev, DWORD length, const void *block)
{
    if (!pdev || !block || length == 0)
        return -1;
    return SDB_LoadCopySetData(pdev, length, block);
}

int JOB_CopyTransform(FLOAT *to, const FLOAT *from)
{
    if (!to || !from)
        return -1;
    std::memcpy(to, from, 6 * sizeof(FLOAT));
    return 0;
}
