/*
 * The job devmode (see doc_events.h): the printer's settings with the
 * application's devmode merged over them, the fix-ups of settings a job
 * cannot use together, and the tail the rendering library reads: the
 * marker, the paper and its margins, and two flags.
 */
#include "doc_events.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/model_data/cfg_model.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/dms_settings.h>
#include <tarvel/settings/fid_custom_size.h>
#include <tarvel/settings/fid_merge.h>
#include <tarvel/settings/ppr_paper.h>
#include <tarvel/stores/mrg_store.h>
#include <tarvel/stores/upg_settings.h>

#include <plat/memory.h>

#include <cstring>

namespace {

/* Settings the job devmode is built from. */
enum : WORD {
    S_DM_SIZE = 4,
    S_DM_DRIVER_EXTRA = 5,
    S_PAPER_SIZE = 8,
    S_COLOUR_MODE = 270,
    S_USER_MARGINS = 387,
    S_USE_USER_STORE = 463,
    /* the fix-ups */
    S_SECURE = 1333,
    S_JOB_TYPE = 334,
    S_5203 = 5203,
    S_406 = 406,
    S_286 = 286,
    S_1296 = 1296,
    S_1301 = 1301,
    S_1332 = 1332,
    S_336 = 336,
    S_339 = 339,
    S_5146 = 5146,
    S_8201 = 8201,
    S_1321 = 1321,
    S_WATERMARK_TEXT = 299,
    S_WATERMARK_BITMAP = 1857,
};

/* The model capability that, with setting 5203 on, keeps setting 1333 from a job. */
constexpr DWORD kCap25 = MDL_CAP_BIT(25);

/* Validation operation of the merge with a model context. */
constexpr WORD kMergeWithModel = 2;

ULONGLONG value(BYTE *image, BYTE *printerData, WORD id) { return DOC_GetNumber(image, printerData, id); }

/* Writes a number or flag setting as the data manager reports its type (a flag as a 32-bit word). */
void set_value(BYTE *image, BYTE *printerData, WORD id, int v)
{
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(id, nullptr, &item) != 0 || !item)
        return;
    const WORD type = item->reportedType ? item->reportedType : item->storedType;
    const LONG size = type == SVT_BYTE ? 1 : type == SVT_INT16 || type == SVT_UINT16 ? 2 : 4;
    DMB_SetValueV(image, printerData, id, type, size, v);
}

/* True when string setting `id` is empty or unreadable (its first unit read without assuming alignment). */
bool empty_text(BYTE *image, BYTE *printerData, WORD id)
{
    auto text = reinterpret_cast<const BYTE *>(uintptr_t(DMB_GetTypedValue(image, printerData, id, SVT_WSTRING)));
    if (!text)
        return true;
    WCHAR first = 0;
    std::memcpy(&first, text, sizeof first);
    return first == 0;
}

/* True when the job cannot use setting 1333 (the reasons to clear it). */
bool secure_not_usable(ModelContext *context, BYTE *image, BYTE *printerData)
{
    if (value(image, printerData, S_JOB_TYPE) != 0)
        return true;
    if (MDL_HasCapability(context->main, kCap25) && value(image, printerData, S_5203) != 0)
        return true;
    if (value(image, printerData, S_406) == 1 || value(image, printerData, S_286) == 2)
        return true;
    for (WORD id = S_1296; id <= S_1301; id++)
        if (value(image, printerData, id) == 1)
            return true;
    return value(image, printerData, S_1332) == 1 || value(image, printerData, S_336) != 0 ||
           value(image, printerData, S_339) != 0;
}

/* A model context closed when the holder goes. */
struct OpenModel {
    ModelContext *context;
    explicit OpenModel(HANDLE printer) : context(MDL_Open(printer)) {}
    ~OpenModel()
    {
        if (context)
            MDL_Close(context);
    }
    OpenModel(const OpenModel &) = delete;
    OpenModel &operator=(const OpenModel &) = delete;
};

} // namespace

ULONGLONG DOC_GetNumber(BYTE *image, BYTE *printerData, WORD id)
{
    const IdLayoutItem *item = nullptr;
    if (LAYOUT_FindItem(id, nullptr, &item) != 0 || !item)
        return 0;
    return DMB_GetTypedValue(image, printerData, id, item->reportedType ? item->reportedType : item->storedType);
}

void DOC_GetFont(BYTE *image, BYTE *printerData, WORD id, LOGFONTW *font)
{
    *font = LOGFONTW{};
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    const BYTE *p = nullptr;
    if (DMB_GetValue(id, image, printerData, &type, &size, slot) != DMA_OK || type != SVT_LOGFONT ||
        size < LONG(sizeof *font))
        return;
    std::memcpy(&p, slot, sizeof p);
    if (p)
        std::memcpy(font, p, sizeof *font);
}

int DOC_FixupJobDevmode(ModelContext *context, BYTE *image, BYTE *printerData)
{
    if (!context || !image)
        return 1;
    const ULONGLONG secure = value(image, printerData, S_SECURE);
    if (secure == 0)
        return 1;
    const bool clear = secure_not_usable(context, image, printerData);
    if (!clear) {
        if (value(image, printerData, S_5146) == 1 && !CFG_IsEnforced(S_5146, context->specials))
            set_value(image, printerData, S_5146, 0);
        if (value(image, printerData, S_8201) != 0 && value(image, printerData, S_1321) != 0)
            set_value(image, printerData, S_1321, 0);
        if (empty_text(image, printerData, S_WATERMARK_TEXT) && !empty_text(image, printerData, S_WATERMARK_BITMAP)) {
            const WCHAR *none = u"";
            DMB_SetValue(S_WATERMARK_BITMAP, image, printerData, SVT_WSTRING, LONG(sizeof(WCHAR)), &none);
        }
    }
    if (!CFG_IsEnforced(S_SECURE, context->specials))
        set_value(image, printerData, S_SECURE, clear ? 0 : int(secure));
    return 1;
}

int DOC_GetPaperMargins(HANDLE printer, WORD code, BYTE useUserMargins, WORD margins[4])
{
    for (int i = 0; i < 4; i++)
        margins[i] = DOC_PRESET_MARGIN;
    OpenModel model(printer);
    if (!model.context)
        return -1;
    LONG stored[4] = {};
    bool found = false;
    if (useUserMargins) {
        LPWSTR base = MRG_GetMachineKeyText(model.context);
        found = MRG_ReadUserMargin(printer, model.context, base, code, stored) == MRG_OK;
        GlobalFree(base);
    }
    if (!found) {
        PaperMarginList *list = MRG_LoadArray(printer);
        found = list && MRG_FindMargin(printer, list, code, stored) == MRG_OK;
        MRG_FreeArray(list);
    }
    if (!found && MRG_GetDefaultMargin(stored) != 1)
        return -1;
    /* Stored top, bottom, left, right; the tail wants left, right, top, bottom. */
    const int order[4] = {2, 3, 0, 1};
    for (int i = 0; i < 4; i++)
        margins[i] = WORD(stored[order[i]]);
    return 0;
}

int DOC_GetPaperInfo(HANDLE printer, BYTE *job, BYTE *tail)
{
    if (value(job, nullptr, S_USER_MARGINS) == 0)
        return 1;
    const WORD paper = WORD(value(job, nullptr, S_PAPER_SIZE));
    WORD code = 0;
    if (PPR_FormToModelPaper(printer, paper, &code) != 1)
        return 1;
    WORD margins[4];
    DOC_GetPaperMargins(printer, code, BYTE(value(job, nullptr, S_USE_USER_STORE)), margins);
    const size_t base = DOC_TAIL_MARKER;
    plat::store_u16(tail, DOC_TAIL_PAPER_SIZE - base, paper);
    plat::store_u16(tail, DOC_TAIL_MODEL_PAPER - base, code);
    for (int i = 0; i < 4; i++)
        plat::store_u16(tail, DOC_TAIL_MARGINS - base + 2 * size_t(i), margins[i]);
    return 1;
}

int DOC_MergeJobDevmode(HANDLE printer, ModelContext *context, BYTE *printerData, const DEVMODEW *input, BYTE *job)
{
    LONG size = LONG(DOC_DRIVER_DEVMODE_SIZE);
    int success = 0;
    PRINTER_INFO_2W *info = DMS_GetPrinterDevmode(printer, context, job, &size, &success);
    GlobalFree(info);
    if (!success)
        return -1;
    void *app = const_cast<DEVMODEW *>(input);
    if (input && !FID_MergeDevmodeTraced(context, job, app, printerData, printer, kMergeWithModel))
        return -1;
    if (FID_LimitResolutionForPaper(job)) {
        DOC_FixupJobDevmode(context, job, printerData);
        LOG_DumpSettings(LOG_CATEGORY_DOCEVENT_MERGE, u"<INPUT  DEVMODE>", app, printerData);
        LOG_DumpSettings(LOG_CATEGORY_DOCEVENT_MERGE, u"<OUTPUT DEVMODE>", job, printerData);
    }
    return 1;
}

int DOC_BuildJobDevmode(HANDLE printer, const DEVMODEW *input, DEVMODEW **result)
{
    if (!result)
        return -1;
    /* A job devmode already (GDI handing back one of ours): GDI keeps it. */
    if (input) {
        void *dm = const_cast<DEVMODEW *>(input);
        LONGLONG size = DMB_GetEffectiveValue(dm, nullptr, S_DM_SIZE, SVT_UINT16);
        LONGLONG extra = DMB_GetEffectiveValue(dm, nullptr, S_DM_DRIVER_EXTRA, SVT_UINT16);
        if (size >= 0 && extra >= 0 && size + extra == LONGLONG(DOC_JOB_DEVMODE_SIZE) &&
            plat::load_u16(reinterpret_cast<const BYTE *>(input), DOC_TAIL_MARKER) == DOC_JOB_MARKER)
            return 1;
    }
    auto *printerData = static_cast<BYTE *>(GlobalAlloc(GPTR, DOC_PRINTER_DATA_SIZE));
    if (!printerData)
        return -1;
    OpenModel model(printer);
    BYTE *job = nullptr;
    int r = -1;
    if (model.context && UPG_LoadPrinterData(printer, printerData, model.context))
        job = static_cast<BYTE *>(GlobalAlloc(GPTR, DOC_JOB_DEVMODE_SIZE));
    /* The device blocks start of document would send the renderer (not built yet): in the job devmode meanwhile. */
    if (job && DOC_MergeJobDevmode(printer, model.context, printerData, input, job) == 1 &&
        DOC_LoadDeviceBlocks(printer, model.context, job, printerData) == 1 &&
        DOC_GetPaperInfo(printer, job, job + DOC_TAIL_MARKER) == 1) {
        plat::store_u32(job, DOC_TAIL_FORMS_MERGE, PPR_IsFormsMergeEnabled(model.context, printerData) ? 1 : 0);
        plat::store_u32(job, DOC_TAIL_COLOUR_ENFORCED, CFG_IsEnforced(S_COLOUR_MODE, model.context->specials) ? 1 : 0);
        plat::store_u16(job, DOC_TAIL_MARKER, DOC_JOB_MARKER);
        DMB_SetValueV(job, printerData, S_DM_DRIVER_EXTRA, SVT_UINT16, 2, int(DOC_JOB_DRIVER_EXTRA));
        *result = reinterpret_cast<DEVMODEW *>(job);
        job = nullptr;
        r = 1;
    }
    GlobalFree(job);
    GlobalFree(printerData);
    return r;
}
