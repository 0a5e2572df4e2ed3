/*
 * The spooler's forms: listing them with the two-call protocol, their
 * names, whether one is built-in, and which model paper code a form stands
 * for.
 */
#include "tarvel/settings/ppr_paper.h"

#include "ppr_internal.h"

#include "tarvel/model_data/mdl_context.h"
#include "tarvel/model_data/model_records.h"

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/text.h>

namespace {

constexpr WORD kIdPaperSize = 8;

/* The model has paper-size option `code` (the value compared as a 16-bit number). */
BOOL context_has_code(ModelContext *context, WORD code)
{
    ULONGLONG slot = code;
    return MDL_HasValue(context, kIdPaperSize, &slot);
}

/* The 16-bit value of paper-size option n whose paper is named `name`, when it is. */
bool option_paper_named(ModelContext *context, WORD n, LPCWSTR name, WORD *code)
{
    DddOptionDetails *details = nullptr;
    WORD reason = 0;
    if (!MDL_GetOption(context, kIdPaperSize, n, &details, &reason))
        return false;
    const void *value = nullptr;
    bool found = false;
    if (MDL_GetOptionFields(details, &value, nullptr, nullptr, nullptr) && value != nullptr) {
        ModelRecord *target = nullptr;
        WORD kind = 0;
        if (MDL_GetValueTarget(context, kIdPaperSize, value, &target, &kind, &reason)) {
            LPCWSTR paperName = DDD_GetRecordName(target);
            if (paperName != nullptr && lstrcmpW(paperName, name) == 0) {
                *code = plat::load<WORD>(value);
                found = true;
            }
            MDL_FreeRecord(target);
        }
    }
    MDL_FreeOption(details);
    return found;
}

} // namespace

int PPR_EnumForms(HANDLE printer, FORM_INFO_1W **forms, DWORD *needed, DWORD *count)
{
    if (forms == nullptr || needed == nullptr || count == nullptr)
        return PPR_FORM_NO_MEMORY;
    *forms = nullptr;
    *needed = 0;
    *count = 0;
    DWORD size = 0, returned = 0;
    if (EnumFormsW(printer, 1, nullptr, 0, &size, &returned))
        return PPR_FORM_SPOOLER; /* nothing to list */
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return PPR_FORM_SPOOLER;
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, size));
    if (block == nullptr)
        return PPR_FORM_NO_MEMORY;
    DWORD used = 0;
    if (!EnumFormsW(printer, 1, block, size, &used, &returned) || returned == 0) {
        GlobalFree(block);
        return PPR_FORM_SPOOLER;
    }
    *forms = reinterpret_cast<FORM_INFO_1W *>(block);
    *needed = size;
    *count = returned;
    return PPR_FORM_OK;
}

BOOL PPR_IsBuiltinForm(HANDLE printer, WORD number)
{
    PprForms table;
    if (number == 0 || table.load(printer) != PPR_FORM_OK || number > table.count)
        return FALSE;
    return (table.forms[number - 1].Flags & FORM_BUILTIN) != 0;
}

int PPR_CopyFormName(HANDLE printer, WORD number, LPWSTR name, int chars)
{
    if (name == nullptr || chars <= 0 || number == 0)
        return PPR_FORM_NO_MEMORY;
    PprForms table;
    const int status = table.load(printer);
    if (status != PPR_FORM_OK)
        return status;
    if (number > table.count)
        return PPR_FORM_BEYOND;
    lstrcpynW(name, table.forms[number - 1].pName != nullptr ? table.forms[number - 1].pName : u"", chars);
    return PPR_FORM_OK;
}

LPWSTR PPR_GetFormName(HANDLE printer, WORD number)
{
    PprForms table;
    if (number == 0 || table.load(printer) != PPR_FORM_OK || number > table.count)
        return nullptr;
    LPCWSTR source = table.forms[number - 1].pName != nullptr ? table.forms[number - 1].pName : u"";
    const size_t chars = plat::wlen(source) + 1;
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, chars * sizeof(WCHAR)));
    if (copy != nullptr)
        lstrcpynW(copy, source, static_cast<int>(chars));
    return copy;
}

BOOL PPR_ModelHasPaperCode(HANDLE printer, WORD code)
{
    ModelContext *context = MDL_Open(printer);
    if (context == nullptr)
        return FALSE;
    const BOOL has = context_has_code(context, code);
    MDL_Close(context);
    return has;
}

int PPR_FormToModelPaper(HANDLE printer, WORD number, WORD *code)
{
    if (code == nullptr)
        return PPR_FORM_NO_MEMORY;
    if (PPR_IsBuiltinForm(printer, number) && PPR_ModelHasPaperCode(printer, number)) {
        *code = number;
        return PPR_FORM_OK;
    }
    LPWSTR name = PPR_GetFormName(printer, number);
    if (name == nullptr)
        return PPR_FORM_NO_MEMORY;
    ModelContext *context = MDL_Open(printer);
    if (context == nullptr) {
        GlobalFree(name);
        return PPR_FORM_NO_MEMORY;
    }
    int result = PPR_FORM_BEYOND;
    ModelRecord *feature = nullptr;
    WORD uiKind = 0, options = 0, reason = 0;
    if (MDL_GetFeatureInfo(context, kIdPaperSize, &feature, &uiKind, &options, nullptr, &reason)) {
        for (WORD n = 1; n <= options; ++n) {
            if (option_paper_named(context, n, name, code)) {
                result = PPR_FORM_OK;
                break;
            }
        }
        MDL_FreeRecord(feature);
    }
    MDL_Close(context);
    GlobalFree(name);
    return result;
}
