/*
 * Copy-set jobs in the sheet pipeline: the copy-set settings taken at the
 * first sheet, the sheet-data pages (a page of its own per data set holding
 * the form-name record or the data file, then the set's fax cover), and the
 * end of such a job, which deletes its data file once every set went out.
 */
#include "sheet_pipeline.h"

#include "job_header.h"
#include "job_settings.h"
#include "job_state.h"
#include "page_recording.h"
#include "page_recording_direct.h"
#include "pclxl_ops.h"
#include "pdev_context.h"
#include "sheet_data.h"
#include "sheet_state.h"

#include <tarvel/base/log_trace.h>

#include <plat/error.h>
#include <plat/file.h>

#include <cstring>

namespace {

enum : WORD {
    ID_DATA_FILE = 375,     /* the job's data file, deleted with the job */
    ID_SHEET_DATA = 376,    /* 1: the job carries sheet-data pages */
    ID_SHEET_KIND = 377,    /* on: the form-name record; off: the data file */
    ID_SAME_FOR_ALL = 379,
    ID_DATA_SETS = 380,
    ID_NO_PAGES = 381,      /* 1: the document's own pages are not printed */
};

/* The characters setting 375 holds, its terminator included. */
constexpr size_t kDataFileChars = 129;

CopySetState *copy_sets(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    return sheet ? &sheet->copySets : nullptr;
}

int refuse(LPCWSTR text, LONG a = 0, LONG b = 0)
{
    LOG_Printf(text, a, b);
    SetLastError(ERROR_INVALID_DATA);
    return -1;
}

/* The paper a sheet-data page names: the cover's own, the stored data-set paper, or the current one. */
int sheet_data_paper(PdevContext *pdev, const CopySetState &cs, SheetDataPaper *paper)
{
    if (cs.noPages || cs.kind == 2)
        return SDB_CoverPaper(pdev, paper);
    if (cs.jobPerSet && cs.setPaperKnown) {
        *paper = cs.setPaper;
        return 0;
    }
    return JOB_CurrentSheetPaper(pdev, paper);
}

/* The page's content: the form-name record or the data file, then the cover. */
int write_sheet_data(PdevContext *pdev, const CopySetState &cs, const CoverDestination &destination)
{
    int rc = cs.kind == 2 ? SDB_WriteFormName(pdev) : SDB_CopyDataFile(pdev);
    return rc == 0 ? SDB_WriteCover(pdev, &destination) : -1;
}

} // namespace

int JOB_ReadCopySetSettings(PdevContext *pdev)
{
    CopySetState *cs = copy_sets(pdev);
    if (!cs)
        return -1;
    std::memset(cs, 0, sizeof *cs);
    if (!pdev->copySetMode || !pdev->copySetData)
        return 0;
    DWORD sheetData = 0, kind = 0, same = 0, sets = 0, noPages = 0;
    if (PDEV_GetSetting32(pdev, ID_SHEET_DATA, &sheetData) != 0 || PDEV_GetSetting32(pdev, ID_SHEET_KIND, &kind) != 0 ||
        PDEV_GetSetting32(pdev, ID_SAME_FOR_ALL, &same) != 0 || PDEV_GetSetting32(pdev, ID_DATA_SETS, &sets) != 0 ||
        PDEV_GetSetting32(pdev, ID_NO_PAGES, &noPages) != 0)
        return refuse(u"JOB_ReadCopySetSettings: the copy-set settings cannot be read");
    cs->sheetData = sheetData == 1;
    cs->kind = kind ? 2 : 1;
    cs->sameForAll = LONG(same);
    cs->dataSets = LONG(sets);
    cs->noPages = noPages == 1;
    cs->jobPerSet = cs->sheetData && same == 0 && LONG(sets) >= 2 && !cs->noPages;
    /* Every data set's page needs its destination: a count past the copy-set data stops the job before any byte. */
    const LONG needed = cs->jobPerSet ? cs->dataSets : 1;
    const LONG held = SDB_CopySetCount(pdev);
    if (cs->sheetData && needed > held)
        return refuse(u"JOB_ReadCopySetSettings: %d data sets asked for, the copy-set data holds %d destinations",
                      needed, held);
    cs->read = 1;
    return 0;
}

int JOB_BeginCopySetSheets(PdevContext *pdev)
{
    CopySetState *cs = copy_sets(pdev);
    if (!cs || !cs->read || !cs->jobPerSet)
        return -1;
    if (JOB_CurrentSheetPaper(pdev, &cs->setPaper) != 0)
        return -1;
    cs->setPaperKnown = 1;
    return 0;
}

int JOB_EmitFirstSheetData(PdevContext *pdev)
{
    CopySetState *cs = copy_sets(pdev);
    if (!cs || !cs->read || !cs->sheetData)
        return -1;
    if (JOB_WriteSheetDataPage(pdev, 0) != 0)
        return -1;
    cs->firstPending = 0;
    JOB_SheetState(pdev)->sidesEmitted++;
    return 0;
}

int JOB_WriteSheetDataPage(PdevContext *pdev, WORD set)
{
    CopySetState *cs = copy_sets(pdev);
    if (!cs || !cs->read || !cs->sheetData || !pdev->jobSettings || !(pdev->jobState & JOB_SHEET_SET_UP) ||
        (pdev->jobState & (JOB_SHEET_OPEN | JOB_PAGE_OPEN)))
        return -1;
    CoverDestination destination;
    if (SDB_GetDestination(pdev, set, &destination) != 0)
        return refuse(u"JOB_WriteSheetDataPage: data set %d has no destination", LONG(set));
    SheetDataPaper paper{};
    if (sheet_data_paper(pdev, *cs, &paper) != 0)
        return -1;
    const JobSettings &js = *pdev->jobSettings;
    pdev->jobState |= JOB_SHEET_OPEN;
    int rc = XL_ResetCtmTracker(pdev->ctmTracker);
    if (rc == 0)
        rc = REC_BeginPage(pdev, 1, 0, paper.mediaSize, paper.width, paper.height);
    if (rc == 0)
        rc = XL_CommentSr(pdev, int(js.qzsr[0]), int(js.qzsr[1]));
    if (rc == 0) {
        pdev->jobState |= JOB_PAGE_OPEN;
        rc = JOB_LogEvent(pdev, JOB_EVENT_START_PAGE);
    }
    if (rc == 0)
        rc = JOB_SetSheetDataTransform(pdev);
    if (rc == 0)
        rc = write_sheet_data(pdev, *cs, destination);
    if (rc == 0)
        rc = JOB_LogEvent(pdev, JOB_EVENT_END_LOGICAL);
    pdev->jobState &= ~JOB_PAGE_OPEN;
    if (rc == 0)
        rc = REC_EndPage(pdev);
    if (rc == 0)
        rc = REC_Mark(pdev);
    if (rc == 0)
        rc = JOB_LogEvent(pdev, JOB_EVENT_END_PHYSICAL);
    pdev->jobState &= ~JOB_SHEET_OPEN;
    return rc;
}

int JOB_FinishCopySets(PdevContext *pdev)
{
    CopySetState *cs = copy_sets(pdev);
    if (!cs)
        return -1;
    if (!cs->read)
        return 0;
    /* One job per set: the data file goes only once every set went out. */
    if (cs->jobPerSet && cs->setsWritten != cs->dataSets)
        return refuse(u"JOB_FinishCopySets: %d of %d data sets went out", cs->setsWritten, cs->dataSets);
    cs->deleteDataFile = 1;
    return 0;
}

int JOB_FinishSheetPipeline(PdevContext *pdev)
{
    CopySetState *cs = copy_sets(pdev);
    if (!cs)
        return -1;
    if (!cs->deleteDataFile)
        return 0;
    cs->deleteDataFile = 0;
    WCHAR path[kDataFileChars] = {};
    if (PDEV_CopySettingString(pdev, ID_DATA_FILE, path, kDataFileChars) != 0)
        return refuse(u"JOB_FinishSheetPipeline: the data file's name cannot be read");
    if (!path[0])
        return 0;
    if (!DeleteFileW(path)) {
        DWORD error = GetLastError();
        LOG_Printf(u"JOB_FinishSheetPipeline: the data file %s cannot be deleted", path);
        SetLastError(error);
        return -1;
    }
    return 0;
}
