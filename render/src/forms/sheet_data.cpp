/*
 * The copy-set data of a job (see sheet_data.h): the fax send list the
 * user-interface library sends with the copy-set escape, kept as the block
 * FAX_LoadSendList checked and copied, freed at the next job start, when
 * replaced and with the job.
 */
#include "sheet_data.h"

#include "job_channel.h"
#include "job_settings.h"
#include "pdev_context.h"
#include "sheet_cover.h"

#include <tarvel/stores/fax_list.h>


#include <cstring>

int SDB_LoadCopySetData(PdevContext *pdev, DWORD length, const void *block)
{
    if (!pdev || !block || length == 0)
        return -1;
    if (SDB_FreeCopySetData(pdev) != 0)
        return -1;
    WORD count = 0;
    HANDLE printer = pdev->jobSettings && pdev->jobSettings->printer ? pdev->jobSettings->printer : pdev->printer;
    BYTE *list = FAX_LoadSendList(printer, length, static_cast<const BYTE *>(block), &count);
    if (!list)
        return -1;
    pdev->copySetData = list;
    return 0;
}

WORD SDB_CopySetCount(const PdevContext *pdev)
{
    if (!pdev || !pdev->copySetData)
        return 0;
    const BYTE *list = static_cast<const BYTE *>(pdev->copySetData);
    return WORD(list[FAX_OFF_COUNT] | list[FAX_OFF_COUNT + 1] << 8);
}

int SDB_GetDestination(const PdevContext *pdev, DWORD index, CoverDestination *out)
{
    if (!out || index >= SDB_CopySetCount(pdev))
        return -1;
    std::memset(out, 0, sizeof *out);
    const BYTE *list = static_cast<const BYTE *>(pdev->copySetData);
    if (!FAX_GetListEntry(list, index, out->entry))
        return -1;
    std::memcpy(out->headerText1, list + FAX_OFF_HEADER_TEXT1, FAX_HEADER_TEXT1_SIZE);
    std::memcpy(out->headerText2, list + FAX_OFF_HEADER_TEXT2, FAX_HEADER_TEXT2_SIZE);
    return 0;
}

int SDB_FreeCopySetData(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (pdev->copySetData) {
        FAX_FreeSendList(static_cast<BYTE *>(pdev->copySetData));
        pdev->copySetData = nullptr;
    }
    return 0;
}

int SDB_WriteFormName(PdevContext *pdev)
{
    /* setting 1830: a full path of 128 characters at most */
    char16_t path[130] = {};
    if (PDEV_CopySettingString(pdev, 1830, reinterpret_cast<LPWSTR>(path), 130) != 0)
        return -1;
    BYTE record[255 + 29];
    LONG n = SDB_BuildFormNameRecord(path, record, sizeof record);
    if (n <= 0)
        return n == 0 ? 0 : -1;
    return OUT_WriteJob(pdev, DWORD(n), record);
}
