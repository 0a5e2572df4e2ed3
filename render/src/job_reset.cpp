/*
 * The running job moved to a device context that replaces its own inside a
 * document.  Records on the old context's heap are copied onto the new
 * one's (the old heap goes with the old context); everything else changes
 * owner, and the old context is left holding nothing of the job, so that
 * its destruction frees nothing the job still uses.
 */
#include "job_reset.h"

#include "job_settings.h"
#include "job_state.h"
#include "pdev_context.h"

#include <tarvel/dmb_binding.h>
#include <tarvel/log_trace.h>

#include <plat/error.h>
#include <plat/memory.h>

#include <cstring>

namespace {

/* Settings a page may change inside a set-up job: orientation, paper number, length, width, form name, source. */
constexpr WORD kPageSettings[] = {7, 8, 9, 10, 19, 13};
constexpr WORD kDuplex = 16;

/* Bytes of the devmode part of a settings image; the extension block follows. */
constexpr size_t kDevmodePart = 1604;

/* Copies a record of the old heap onto the new heap.  The copy, or null when memory is short. */
template <typename T> T *copy_record(PdevContext *to, const T *from)
{
    if (!from)
        return nullptr;
    T *copy = static_cast<T *>(HeapAlloc(to->heap, 0, sizeof(T)));
    if (copy)
        std::memcpy(copy, from, sizeof(T));
    return copy;
}

/* Setting `id` of the image `from` written into the new context's settings. */
void take_setting(PdevContext *to, BYTE *from, WORD id)
{
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(id, from, to->printerData, &type, &size, slot) == DMA_OK)
        DMB_SetValue(id, to->settings, to->printerData, type, size, slot);
}

template <typename T> void move(T &to, T &from)
{
    to = from;
    from = T{};
}

} // namespace

int JOB_MoveToContext(PdevContext *oldPdev, PdevContext *newPdev)
{
    if (!oldPdev || !newPdev || !oldPdev->ctmTracker || !oldPdev->jobSettings || !oldPdev->pageLayout ||
        (oldPdev->jobState & (JOB_ABORTED | JOB_PAGE_OPEN))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    JobSettings *js = copy_record(newPdev, oldPdev->jobSettings);
    PageLayout *layout = copy_record(newPdev, oldPdev->pageLayout);
    if (!js || !layout) {
        if (js)
            HeapFree(newPdev->heap, 0, js);
        if (layout)
            HeapFree(newPdev->heap, 0, layout);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }

    /* The graphics state the printer holds, and the transform in force. */
    newPdev->xlCache = oldPdev->xlCache;
    move(newPdev->ctmTracker, oldPdev->ctmTracker);
    newPdev->ctmTracker->pdev = newPdev;

    /* The settings: a set-up job keeps its own, with the page's paper and orientation. */
    const bool setUp = (oldPdev->jobState & JOB_OPEN) && (oldPdev->jobState & JOB_SHEET_SET_UP);
    if (setUp) {
        BYTE *fresh = static_cast<BYTE *>(HeapAlloc(newPdev->heap, 0, SETTINGS_IMAGE_SIZE));
        if (fresh) {
            std::memcpy(fresh, newPdev->settings, SETTINGS_IMAGE_SIZE);
            std::memcpy(newPdev->settings, oldPdev->settings, SETTINGS_IMAGE_SIZE);
            for (WORD id : kPageSettings)
                take_setting(newPdev, fresh, id);
            if (js->perPageDuplex)
                take_setting(newPdev, fresh, kDuplex);
            HeapFree(newPdev->heap, 0, fresh);
        }
        if (!js->samePaper) {
            FORM_Free(&newPdev->feedForm);
            move(newPdev->feedForm, oldPdev->feedForm);
        }
    } else {
        std::memcpy(newPdev->settings + kDevmodePart, oldPdev->settings + kDevmodePart,
                    SETTINGS_IMAGE_SIZE - kDevmodePart);
    }

    /* The job itself. */
    newPdev->jobSettings = js;
    newPdev->pageLayout = layout;
    oldPdev->jobSettings = nullptr;
    oldPdev->pageLayout = nullptr;
    move(newPdev->jobState, oldPdev->jobState);
    move(newPdev->jobCounters, oldPdev->jobCounters);
    move(newPdev->recordFlags, oldPdev->recordFlags);
    newPdev->pageColorMode = oldPdev->pageColorMode;
    newPdev->sheetRotation = oldPdev->sheetRotation;
    move(newPdev->watermarkBracket, oldPdev->watermarkBracket);
    move(newPdev->annotationBracket, oldPdev->annotationBracket);
    move(newPdev->channel, oldPdev->channel);
    move(newPdev->annotation, oldPdev->annotation);
    newPdev->jobFormPaper = oldPdev->jobFormPaper;
    newPdev->ext = oldPdev->ext;
    move(newPdev->auxBlockSize, oldPdev->auxBlockSize);
    move(newPdev->auxBlock, oldPdev->auxBlock);
    move(newPdev->extDataSize, oldPdev->extDataSize);
    move(newPdev->extData, oldPdev->extData);
    move(newPdev->jobInfo, oldPdev->jobInfo);
    move(newPdev->colorObject, oldPdev->colorObject);
    move(newPdev->imageSpool, oldPdev->imageSpool);
    move(newPdev->pendingImages, oldPdev->pendingImages);
    move(newPdev->owner, oldPdev->owner);
    move(newPdev->copySetHeaders, oldPdev->copySetHeaders);
    move(newPdev->copySetData, oldPdev->copySetData);
    newPdev->copySetMode = oldPdev->copySetMode;
    newPdev->startDocNotice = oldPdev->startDocNotice;
    std::memcpy(newPdev->jobIdentity, oldPdev->jobIdentity, sizeof newPdev->jobIdentity);

    newPdev->flags |= PDEV_RESET_IN_DOC | (oldPdev->flags & (PDEV_STARTDOC_SEEN | PDEV_PAGE_STARTED));
    return JOB_MarkGeometryPending(newPdev, oldPdev);
}
