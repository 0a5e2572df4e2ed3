/*
 * A device context replaced inside a document (DrvResetPDEV between pages):
 * the running job moves from the old context to the new one, which then
 * takes the page geometry again.  Everything the job owns moves with it and
 * is cleared in the old context, so that the old context's destruction
 * frees nothing of the job.  Records on the old context's private heap
 * (the job settings, the page layout) are copied into the new one's, since
 * that heap goes with the old context.
 */
#include "esc_job_data.h"
#include "fnt_download.h"
#include "job_settings.h"
#include "job_state.h"
#include "pclxl_transform.h"
#include "pdev_context.h"
#include "sheet_pipeline.h"

#include <tarvel/setting_layout.h>

#include <cstring>

namespace {

/* Settings a job whose first sheet is set up takes from the new context's devmode. */
constexpr WORD kTakenAfterSetUp[] = {
    ID_ORIENTATION, ID_PAPER_SIZE, ID_PAPER_LENGTH, ID_PAPER_WIDTH, ID_FORM_NAME,
    13, /* paper source */
};
constexpr WORD kDuplex = 16;
constexpr WORD kDuplexFollowsReset = 1350; /* on: the duplex setting is taken from the new devmode too */

/* PdevFlags that follow the job into the new context. */
constexpr DWORD kCarriedFlags = PDEV_STARTDOC_SEEN | PDEV_PAGE_STARTED | PDEV_PAGE_IN_PROGRESS | PDEV_FAILED;

/* Copies the field of setting `id` (devmode or extension block) from the settings image `from` to `to`. */
void copy_field(BYTE *to, const BYTE *from, WORD id)
{
    WORD kind = 0;
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(id, &kind, &item) != 0 || !item || kind == SRK_PRINTERDATA)
        return;
    size_t size = 0;
    switch (item->storedType) {
    case SVT_BYTE:
        size = 1;
        break;
    case SVT_INT16:
    case SVT_UINT16:
        size = 2;
        break;
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        size = 4;
        break;
    case SVT_WSTRING:
    case SVT_LOGFONT:
        size = size_t(item->capacity);
        break;
    default:
        return; /* a flag shares its word with others */
    }
    size_t offset = size_t(item->offset) + (kind == SRK_EXTENSION ? SETTINGS_DEVMODE_SIZE : 0);
    if (offset + size <= SETTINGS_IMAGE_SIZE)
        std::memcpy(to + offset, from + offset, size);
}

/*
 * The settings of a job whose first sheet is set up: the old ones, except
 * paper, orientation, form name, source (and duplex with setting 1350)
 * from the new devmode.  The old feed form moves over unless the job
 * printed on its own paper.
 */
void take_settings_after_set_up(PdevContext *oldPdev, PdevContext *newPdev)
{
    BYTE fresh[SETTINGS_IMAGE_SIZE];
    std::memcpy(fresh, newPdev->settings, sizeof fresh);
    std::memcpy(newPdev->settings, oldPdev->settings, sizeof fresh);
    for (WORD id : kTakenAfterSetUp)
        copy_field(newPdev->settings, fresh, id);
    DWORD duplexFollows = 0;
    if (PDEV_GetSetting32(oldPdev, kDuplexFollowsReset, &duplexFollows) == 0 && duplexFollows)
        copy_field(newPdev->settings, fresh, kDuplex);

    if (oldPdev->jobSettings && oldPdev->jobSettings->samePaper)
        return;
    if (newPdev->sheetForm.modelPaper == newPdev->feedForm.modelPaper)
        newPdev->sheetForm.modelPaper = nullptr;
    FORM_Free(&newPdev->feedForm);
    newPdev->feedForm = oldPdev->feedForm;
    if (oldPdev->sheetForm.modelPaper == oldPdev->feedForm.modelPaper)
        oldPdev->sheetForm.modelPaper = nullptr;
    std::memset(&oldPdev->feedForm, 0, sizeof oldPdev->feedForm);
}

/* Moves a pointer the job owns: the new context takes it, the old one forgets it. */
template <typename T>
void move(T *&to, T *&from)
{
    to = from;
    from = nullptr;
}

} // namespace

int JOB_MoveToContext(PdevContext *oldPdev, PdevContext *newPdev)
{
    if (!oldPdev || !newPdev || oldPdev == newPdev)
        return -1;
    const bool docSeen = (oldPdev->flags & PDEV_STARTDOC_SEEN) != 0;
    if (docSeen && !oldPdev->ctmTracker)
        return -1;
    if (((oldPdev->jobState | newPdev->jobState) & JOB_ABORTED) ||
        ((oldPdev->jobState | newPdev->jobState) & JOB_PAGE_OPEN))
        return -1;
    /* the copy-set state of a job holding copy-set data is re-derived by the copy-set work */
    if (oldPdev->copySetMode && oldPdev->copySetData && !(oldPdev->jobState & JOB_SHEET_SET_UP) &&
        JOB_CopySetSettings(newPdev->settings, oldPdev->settings) != 0)
        return -1;

    if (oldPdev->jobSettings) {
        if (JOB_ClearJobRecords(newPdev) != 0)
            return -1;
        *newPdev->jobSettings = *oldPdev->jobSettings;
        if (oldPdev->pageLayout)
            *newPdev->pageLayout = *oldPdev->pageLayout;
    }

    if (docSeen) {
        newPdev->xlCache = oldPdev->xlCache;
        XL_FreeCtmTracker(newPdev->ctmTracker);
        move(newPdev->ctmTracker, oldPdev->ctmTracker);
        newPdev->ctmTracker->pdev = newPdev;
    }

    if (JOB_IsSheetSetUp(oldPdev))
        take_settings_after_set_up(oldPdev, newPdev);
    else
        std::memcpy(newPdev->settings + SETTINGS_DEVMODE_SIZE, oldPdev->settings + SETTINGS_DEVMODE_SIZE,
                    SETTINGS_EXTENSION_SIZE);

    newPdev->jobState = oldPdev->jobState;
    newPdev->jobAbortError = oldPdev->jobAbortError;
    newPdev->recordFlags = oldPdev->recordFlags;
    newPdev->jobCounters = oldPdev->jobCounters;
    newPdev->pageColorMode = oldPdev->pageColorMode;
    newPdev->pageColors = oldPdev->pageColors;
    newPdev->sheetRotation = oldPdev->sheetRotation;
    newPdev->watermarkBracket = oldPdev->watermarkBracket;
    newPdev->annotationBracket = oldPdev->annotationBracket;
    newPdev->jobFormPaper = oldPdev->jobFormPaper;
    std::memcpy(newPdev->jobFormExtras, oldPdev->jobFormExtras, sizeof newPdev->jobFormExtras);
    newPdev->ext = oldPdev->ext;
    newPdev->owner = oldPdev->owner;
    newPdev->startDocNotice = oldPdev->startDocNotice;
    newPdev->pagePaperInfo = oldPdev->pagePaperInfo;
    newPdev->pagePaperInfoSet = oldPdev->pagePaperInfoSet;
    /* The job's own data blocks take the place of the new context's; their sizes go with them (freeing the
       new context's blocks clears its sizes, so they are taken over after it). */
    ESC_FreeContextData(newPdev);
    newPdev->auxBlockSize = oldPdev->auxBlockSize;
    newPdev->extDataSize = oldPdev->extDataSize;
    newPdev->copySetRecordsSize = oldPdev->copySetRecordsSize;
    move(newPdev->channel, oldPdev->channel);
    move(newPdev->annotation, oldPdev->annotation);
    move(newPdev->copySetData, oldPdev->copySetData);
    move(newPdev->copySetHeaders, oldPdev->copySetHeaders);
    move(newPdev->auxBlock, oldPdev->auxBlock);
    move(newPdev->extData, oldPdev->extData);
    move(newPdev->copySetRecords, oldPdev->copySetRecords);
    move(newPdev->jobInfo, oldPdev->jobInfo);
    move(newPdev->colorObject, oldPdev->colorObject);
    move(newPdev->colorScanState, oldPdev->colorScanState);
    move(newPdev->imageSpool, oldPdev->imageSpool);
    move(newPdev->pendingImages, oldPdev->pendingImages);
    FNT_MoveDownloadedFonts(oldPdev, newPdev);
    if (newPdev->ctmTracker)
        newPdev->ctmTracker->channel = newPdev->channel;

    oldPdev->jobState = 0;
    oldPdev->recordFlags = 0;
    oldPdev->owner = JobOwnerRecord{};
    oldPdev->auxBlockSize = 0;
    oldPdev->extDataSize = 0;
    oldPdev->copySetRecordsSize = 0;

    newPdev->flags |= oldPdev->flags & kCarriedFlags;
    /* only a job that is open continues: a new context without one starts its own document */
    if (newPdev->jobState & JOB_OPEN) {
        newPdev->flags |= PDEV_RESET_IN_DOC;
        JOB_MarkGeometryPending(newPdev, oldPdev);
    }
    return 0;
}
