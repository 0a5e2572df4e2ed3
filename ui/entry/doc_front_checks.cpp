/*
 * The print-time prompt start of document runs after the destination check:
 * the job-information component when the model offers it, else the
 * job-information dialog.  A job that needs the dialog is cancelled visibly
 * until the dialog is built.
 */
#include "doc_events.h"
#include "doc_job_info_component.h"
#include "ui_not_built.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/util_ui_services.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/window_min.h>

namespace {

enum : WORD {
    S_PROMPT_ON = 5203,
    S_PROMPT_SET = 5163,  /* 0: set A, else set B */
    S_PROMPT_A = 5164,
    S_PROMPT_B = 5165,
    S_USE_COMPONENT = 5186,
    S_PROMPT_GROUP = 5183,
};

/* Writes number setting `id` as the data manager reports its type; false when the write fails. */
bool setNumber(BYTE *image, BYTE *printerData, WORD id, int v)
{
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(id, nullptr, &item) != 0 || !item)
        return false;
    const WORD type = item->reportedType ? item->reportedType : item->storedType;
    return DMB_SetValueArgs(image, printerData, id, type, v) == 0;
}

} // namespace

int DOC_PromptJobInfo(HANDLE, HDC, BYTE *image, BYTE *printerData, ModelContext *context, DWORD)
{
    if (!RES_GetResourceModule())
        return -1;
    if (DOC_GetNumber(image, printerData, S_PROMPT_ON) == 0)
        return 1;
    const WORD flag = DOC_GetNumber(image, printerData, S_PROMPT_SET) == 0 ? S_PROMPT_A : S_PROMPT_B;
    if (DOC_GetNumber(image, printerData, S_USE_COMPONENT) != 0) {
        BOOL available = FALSE;
        if (!UTL_IsComComponentAvailable(context, &available))
            return -1;
        if (available) {
            const int result = DOC_RunJobInfoComponent(GetActiveWindow(), image, printerData, context);
            if (result != 1)
                return result;
            if (!setNumber(image, printerData, flag, 1) || !setNumber(image, printerData, S_PROMPT_GROUP, 0))
                return -1;
            return 1;
        }
    }
    if ((DOC_GetNumber(image, printerData, flag) & 0xFF) != 1)
        return 1;
    return UI_NotBuilt(u"DOC_PromptJobInfo", -1);
}
