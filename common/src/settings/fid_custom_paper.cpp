/*
 * The model's custom paper range and the 20 custom paper slots: which slot
 * a paper code names, its settings (width 5889 + slot, length 5909 + slot,
 * name 5929 + slot) and names.
 */
#include "tarvel/settings/fid_merge.h"

#include "merge_internal.h"

#include "tarvel/base/res_text.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/model_data/model_records.h"
#include "tarvel/model_data/paper_rules.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_value.h"

#include <plat/memory.h>
#include <plat/text.h>

namespace {

constexpr WORD kPaperKind = 10;
constexpr WORD kCustomPaperId = 262;
constexpr WORD kSlotWidthFirst = 5889;
constexpr WORD kSlotLengthFirst = 5909;
constexpr WORD kSlotNameFirst = 5929;

/* Characters of a slot name (setting 5929 holds 32 with the NUL). */
constexpr int kSlotNameChars = 32;

/* The slot whose custom paper code is `code`, or -1. */
int slot_of_code(LONG code)
{
    for (int slot = 0; slot < FID_CUSTOM_SLOTS; ++slot) {
        if (FID_SlotToCustomPaperCode(slot) == code)
            return slot;
    }
    return -1;
}

/* `text` begins with `name` (a non-empty name). */
bool begins_with(LPCWSTR text, LPCWSTR name)
{
    if (name[0] == 0)
        return false;
    for (size_t i = 0; name[i] != 0; ++i) {
        if (text[i] != name[i])
            return false;
    }
    return true;
}

} // namespace

void FID_FreePaperRequest(PaperRequest *request)
{
    if (request == nullptr)
        return;
    if (request->formName != nullptr)
        GlobalFree(request->formName);
    request->formName = nullptr;
}

BOOL FID_CustomPaperLimits(ModelContext *context, FidPaperLimits *limits)
{
    if (context == nullptr || limits == nullptr)
        return FALSE;
    ModelRecord *paper = nullptr;
    if (DDD_GetRecordById(DDD_PARSE_PARTIAL, context->main, context->companion, kPaperKind, kCustomPaperId, 0,
                          &paper) != DDD_OK)
        return FALSE;
    const DddPair *minimum = DDD_PaperMinExtent(paper);
    const DddPair *maximum = DDD_PaperMaxExtent(paper);
    DddPair leftBottom{}, rightTop{};
    const bool ok = minimum != nullptr && maximum != nullptr &&
                    DDD_PaperMargins(paper, &leftBottom, &rightTop) == DDD_OK;
    if (ok) {
        const LONG widths = leftBottom.first + rightTop.first;
        const LONG lengths = leftBottom.second + rightTop.second;
        limits->minWidth = minimum->first + widths;
        limits->maxWidth = maximum->first + widths;
        limits->minLength = minimum->second + lengths;
        limits->maxLength = maximum->second + lengths;
    }
    DDD_FreeRecord(&paper, -1);
    return ok;
}

BOOL FID_FindCustomPaperSlot(const void *value, WORD type, WORD *widthId, WORD *lengthId, WORD *nameId,
                             LPWSTR name, int nameChars)
{
    if (value == nullptr)
        return FALSE;
    const int slot = slot_of_code(FID_ReadValueAsInt(value, type));
    if (slot < 0)
        return FALSE;
    if (widthId != nullptr)
        *widthId = static_cast<WORD>(kSlotWidthFirst + slot);
    if (lengthId != nullptr)
        *lengthId = static_cast<WORD>(kSlotLengthFirst + slot);
    if (nameId != nullptr)
        *nameId = static_cast<WORD>(kSlotNameFirst + slot);
    if (name != nullptr && !RES_MakeCustomPaperName(slot, name, nameChars))
        return FALSE;
    return TRUE;
}

BOOL FID_GetCustomPaperSize(void *devmode, void *printerData, const void *value, WORD type, PaperRequest *size,
                            LPWSTR name, int nameChars)
{
    WORD widthId = 0, lengthId = 0, nameId = 0;
    if (size == nullptr || name == nullptr || nameChars <= 0 ||
        !FID_FindCustomPaperSlot(value, type, &widthId, &lengthId, &nameId, nullptr, 0))
        return FALSE;
    DWORD width = 0, length = 0;
    merge::Value stored;
    if (!merge::read_uint(widthId, devmode, printerData, width) ||
        !merge::read_uint(lengthId, devmode, printerData, length) ||
        !merge::read(nameId, devmode, printerData, stored))
        return FALSE;
    LPCWSTR text = FID_SlotString(&stored.slot);
    lstrcpynW(name, text != nullptr ? text : u"", nameChars);
    size->code = static_cast<WORD>(FID_ReadValueAsUInt(value, type));
    size->width = static_cast<WORD>(width);
    size->length = static_cast<WORD>(length);
    size->formName = name;
    return TRUE;
}

int merge::custom_slot_of_name(void *devmode, void *printerData, LPCWSTR text, int mode)
{
    if (text == nullptr || (mode != FID_CUSTOM_NAMES_STORED && mode != FID_CUSTOM_NAMES_DEFAULT))
        return -1;
    for (int slot = 0; slot < FID_CUSTOM_SLOTS; ++slot) {
        WCHAR name[kSlotNameChars + 1] = {};
        if (mode == FID_CUSTOM_NAMES_STORED) {
            merge::Value stored;
            if (!merge::read(static_cast<WORD>(kSlotNameFirst + slot), devmode, printerData, stored))
                continue;
            LPCWSTR s = FID_SlotString(&stored.slot);
            lstrcpynW(name, s != nullptr ? s : u"", kSlotNameChars + 1);
        } else if (!RES_MakeCustomPaperName(slot, name, kSlotNameChars + 1)) {
            continue;
        }
        if (begins_with(text, name))
            return slot;
    }
    return -1;
}

BOOL FID_IsCustomPaperName(void *devmode, void *printerData, LPCWSTR text, int mode)
{
    return merge::custom_slot_of_name(devmode, printerData, text, mode) >= 0;
}
