/*
 * Paper of the devmode merge: an application's paper request (code, size,
 * form name) resolved through the spooler's forms and the model's papers,
 * the printer's current paper as the fall-back, and the paper fields of a
 * devmode brought back into step after a change of its paper code.
 */
#include "tarvel/settings/fid_merge.h"

#include "merge_internal.h"
#include "ppr_internal.h"

#include "tarvel/base/res_text.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_custom_size.h"
#include "tarvel/settings/fid_defaults.h"
#include "tarvel/settings/fid_value.h"
#include "tarvel/settings/ppr_paper.h"
#include "tarvel/stores/pdt_info.h"

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

using namespace merge;

namespace {

constexpr LONG kFormUnitsPerTenth = 100;

/* dmFormName holds 31 characters and the NUL. */
constexpr int kFormNameFieldChars = 32;

/* Search methods. */
enum class Method { code, name, size };

/* A new copy of at most FID_PAPER_NAME_CHARS characters of `name`, or null. */
LPWSTR copy_name(LPCWSTR name)
{
    if (name == nullptr)
        return nullptr;
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, (FID_PAPER_NAME_CHARS + 1) * sizeof(WCHAR)));
    if (copy != nullptr)
        lstrcpynW(copy, name, FID_PAPER_NAME_CHARS + 1);
    return copy;
}

WORD form_width(const FORM_INFO_1W &f)
{
    return static_cast<WORD>(f.Size.cx / kFormUnitsPerTenth);
}

WORD form_length(const FORM_INFO_1W &f)
{
    return static_cast<WORD>(f.Size.cy / kFormUnitsPerTenth);
}

void give_form(const FORM_INFO_1W &form, DWORD index, PaperRequest *result)
{
    result->code = static_cast<WORD>(index + 1);
    result->width = form_width(form);
    result->length = form_length(form);
    result->formName = copy_name(form.pName);
}

/* The model has a paper named `name` (exactly). */
bool model_has_name(ModelContext *context, LPCWSTR name)
{
    if (context == nullptr || name == nullptr)
        return false;
    MdlPaperKey key{0, 0, 0, name};
    MdlPaper found{};
    WORD reason = 0;
    const bool has = MDL_FindPaper(context, ID_PAPER_SIZE, MDL_FIND_BY_NAME, &key, &found, &reason) != 0;
    MDL_FreeFoundPaper(&found);
    return has;
}

/* A size inside the model's custom paper range gives the free user size (256) without a name. */
BOOL custom_size(ModelContext *context, WORD width, WORD length, PaperRequest *result)
{
    FidPaperLimits limits{};
    if (!FID_CustomPaperLimits(context, &limits) || width < limits.minWidth || width > limits.maxWidth ||
        length < limits.minLength || length > limits.maxLength)
        return FALSE;
    *result = PaperRequest{FID_DMPAPER_USER, width, length, nullptr};
    return TRUE;
}

/* The application's own size as a free user size. */
BOOL take_request_size(const PaperRequest *request, PaperRequest *result)
{
    *result = PaperRequest{FID_DMPAPER_USER, request->width, request->length, nullptr};
    return TRUE;
}

bool size_requested(const PaperRequest *request, DWORD fields)
{
    return (fields & FID_DM_SIZE_BITS) != 0 && request->width != 0 && request->length != 0;
}

/* A name that begins with a stored custom slot name whose default name cannot be made stops a name search. */
bool custom_name_unusable(void *input, void *printerData, LPCWSTR name)
{
    const int slot = custom_slot_of_name(input, printerData, name, FID_CUSTOM_NAMES_STORED);
    WCHAR made[FID_PAPER_NAME_CHARS + 1] = {};
    return slot >= 0 && !RES_MakeCustomPaperName(slot, made, FID_PAPER_NAME_CHARS + 1);
}

/* Runs one search method; true when it found a paper. */
bool search(Method method, ModelContext *context, void *input, void *printerData, HANDLE printer,
            const PaperRequest *request, PaperRequest *result, DWORD fields)
{
    switch (method) {
    case Method::code:
        return (fields & FID_DM_PAPERSIZE) != 0 &&
               FID_FindFormByCodeOrName(context, printerData, printer, request, result, FALSE);
    case Method::name:
        return (fields & FID_DM_FORMNAME) != 0 && request->formName != nullptr && request->formName[0] != 0 &&
               FID_FindFormByCodeOrName(context, printerData, printer, request, result, TRUE);
    default:
        return size_requested(request, fields) &&
               FID_FindFormBySize(context, input, printerData, printer, request, result, fields);
    }
}

/* Stores `name` into dmFormName, cut to the field. */
bool store_form_name(void *target, void *printerData, LPCWSTR name)
{
    WCHAR field[kFormNameFieldChars] = {};
    lstrcpynW(field, name, kFormNameFieldChars);
    LPCWSTR text = field;
    const LONG size = static_cast<LONG>((plat::wlen(field) + 1) * sizeof(WCHAR));
    return DMB_SetValue(ID_FORM_NAME, target, printerData, SVT_WSTRING, size, &text) == DMA_OK;
}

/* Spooler form `number` exists. */
bool form_exists(HANDLE printer, WORD number)
{
    LPWSTR name = PPR_GetFormName(printer, number);
    if (name == nullptr)
        return false;
    GlobalFree(name);
    return true;
}

/* Stores a resolved paper into `target` and raises its paper flags. */
bool store_paper(void *target, void *printerData, const PaperRequest &paper, DWORD inputFields, BOOL custom)
{
    if (!write_i16(ID_PAPER_LENGTH, target, printerData, static_cast<SHORT>(paper.length)) ||
        !write_i16(ID_PAPER_WIDTH, target, printerData, static_cast<SHORT>(paper.width)) ||
        !write_i16(ID_PAPER_SIZE, target, printerData, static_cast<SHORT>(paper.code)))
        return false;
    if (paper.formName != nullptr && !store_form_name(target, printerData, paper.formName))
        return false;
    DWORD fields = 0;
    if (!read_fields(target, fields))
        return false;
    fields |= inputFields & (FID_DM_PAPERSIZE | FID_DM_FORMNAME);
    if (custom)
        fields |= FID_DM_SIZE_BITS;
    if (paper.code == FID_DMPAPER_USER)
        fields = (fields & ~FID_DM_FORMNAME) | FID_DM_SIZE_BITS;
    return write_fields(target, fields);
}

/* The custom flag of a devmode that passed the header check: 1353, else 1331. */
bool custom_flag_of(void *devmode, void *printerData, BOOL *custom)
{
    DWORD flag = 0;
    if (!read_uint(ID_CUSTOM_SIZE_FLAG2, devmode, printerData, flag))
        return false;
    if (flag == 0 && !read_uint(ID_CUSTOM_SIZE_FLAG, devmode, printerData, flag))
        return false;
    *custom = flag != 0;
    return true;
}

/* The paper request held by a devmode: code, size and form name (pointing into the devmode). */
bool read_request(void *devmode, void *printerData, PaperRequest &request)
{
    LONG length = 0, width = 0, code = 0;
    Value name;
    if (!read_int(ID_PAPER_LENGTH, devmode, printerData, length) ||
        !read_int(ID_PAPER_WIDTH, devmode, printerData, width) || !read_int(ID_PAPER_SIZE, devmode, printerData, code) ||
        !read(ID_FORM_NAME, devmode, printerData, name))
        return false;
    request = PaperRequest{static_cast<WORD>(code), static_cast<WORD>(width), static_cast<WORD>(length),
                           const_cast<LPWSTR>(FID_SlotString(&name.slot))};
    return true;
}

} // namespace

BOOL FID_MergePaper(ModelContext *context, void *output, void *input, void *printerData, HANDLE printer,
                    DWORD inputFields)
{
    PaperRequest request{};
    if (input == nullptr || !read_request(input, printerData, request))
        return FALSE;

    BOOL custom = FALSE;
    if (FID_ValidateHeaderIds(context, input, printerData)) {
        if (!custom_flag_of(input, printerData, &custom))
            return FALSE;
    } else if (output != nullptr && FID_ValidateHeaderIds(context, output, printerData)) {
        if (!custom_flag_of(output, printerData, &custom))
            return FALSE;
    }

    PaperRequest result{};
    if (FID_ResolvePaper(context, input, printerData, printer, &request, &result, inputFields, custom)) {
        const bool stored = store_paper(output != nullptr ? output : input, printerData, result, inputFields, custom);
        FID_FreePaperRequest(&result);
        return stored;
    }
    if (output != nullptr)
        return TRUE;
    return FID_TakePaperFromPrinter(input, printerData, printer);
}

BOOL FID_ResolvePaper(ModelContext *context, void *input, void *printerData, HANDLE printer,
                      const PaperRequest *request, PaperRequest *result, DWORD fields, BOOL custom)
{
    if (result == nullptr)
        return FALSE;
    *result = PaperRequest{};
    if (request == nullptr || (fields & FID_DM_PAPER_BITS) == 0)
        return FALSE;

    if (request->code == FID_DMPAPER_USER) {
        const bool userSize = FID_GetUserSizeFlag(input, printerData) != 0;
        if (!userSize)
            return search(Method::size, context, input, printerData, printer, request, result, fields);
        if ((fields & FID_DM_SIZE_BITS) == FID_DM_SIZE_BITS)
            return take_request_size(request, result);
        if (search(Method::code, context, input, printerData, printer, request, result, fields))
            return TRUE;
        return (fields & FID_DM_PAPERSIZE) != 0 && take_request_size(request, result);
    }

    static constexpr Method kCustomOrder[] = {Method::code, Method::name, Method::size};
    static constexpr Method kUsualOrder[] = {Method::size, Method::code, Method::name};
    for (Method m : custom ? kCustomOrder : kUsualOrder) {
        if (search(m, context, input, printerData, printer, request, result, fields))
            return TRUE;
    }
    return FALSE;
}

BOOL FID_FindFormBySize(ModelContext *context, void *input, void *printerData, HANDLE printer,
                        const PaperRequest *request, PaperRequest *result, DWORD fields)
{
    if (request == nullptr || result == nullptr)
        return FALSE;
    PprForms forms;
    if (forms.load(printer) != PPR_FORM_OK)
        return FALSE;

    /* Forms of the requested size that the model knows by name. */
    auto usable = [&](DWORD i) {
        const FORM_INFO_1W &f = forms.forms[i];
        return MDL_SizesMatch(form_width(f), form_length(f), request->width, request->length) &&
               model_has_name(context, f.pName);
    };
    if ((fields & FID_DM_PAPERSIZE) != 0 && request->code >= 1 && request->code <= forms.count &&
        usable(request->code - 1u)) {
        give_form(forms.forms[request->code - 1u], request->code - 1u, result);
        return TRUE;
    }
    if ((fields & FID_DM_FORMNAME) != 0 && request->formName != nullptr) {
        if (custom_name_unusable(input, printerData, request->formName))
            return FALSE;
        for (DWORD i = 0; i < forms.count; ++i) {
            if (forms.forms[i].pName != nullptr && lstrcmpW(forms.forms[i].pName, request->formName) == 0 &&
                usable(i)) {
                give_form(forms.forms[i], i, result);
                return TRUE;
            }
        }
    }
    for (DWORD i = 0; i < forms.count; ++i) {
        if (usable(i)) {
            give_form(forms.forms[i], i, result);
            return TRUE;
        }
    }
    return custom_size(context, request->width, request->length, result);
}

BOOL FID_IsKnownForm(ModelContext *context, HANDLE printer, WORD number, const FORM_INFO_1W *form)
{
    if (form == nullptr)
        return FALSE;
    if ((form->Flags & FORM_BUILTIN) != 0 && PPR_IsBuiltinForm(printer, number))
        return TRUE;
    if (model_has_name(context, form->pName))
        return TRUE;
    MdlPaperKey key{0, form_width(*form), form_length(*form), nullptr};
    MdlPaper found{};
    WORD reason = 0;
    bool known = false;
    if (context != nullptr && MDL_FindPaper(context, ID_PAPER_SIZE, MDL_FIND_BY_SIZE, &key, &found, &reason)) {
        PprForms forms;
        const bool listed = found.name != nullptr && forms.load(printer) == PPR_FORM_OK;
        for (DWORD i = 0; listed && i < forms.count; ++i) {
            if (forms.forms[i].pName != nullptr && lstrcmpW(forms.forms[i].pName, found.name) == 0) {
                known = true;
                break;
            }
        }
    }
    MDL_FreeFoundPaper(&found);
    return known;
}

BOOL FID_FindFormByCodeOrName(ModelContext *context, void *printerData, HANDLE printer, const PaperRequest *request,
                              PaperRequest *result, BOOL byName)
{
    if (request == nullptr || result == nullptr || (byName && request->formName == nullptr))
        return FALSE;
    PprForms forms;
    if (forms.load(printer) != PPR_FORM_OK)
        return FALSE;
    for (DWORD i = 0; i < forms.count; ++i) {
        const FORM_INFO_1W &f = forms.forms[i];
        const bool match = byName ? (f.pName != nullptr && lstrcmpW(f.pName, request->formName) == 0)
                                  : (request->code == i + 1);
        if (!match)
            continue;
        if (PPR_IsFormsMergeEnabled(context, printerData) ||
            FID_IsKnownForm(context, printer, static_cast<WORD>(i + 1), &f)) {
            give_form(f, i, result);
            return TRUE;
        }
        return custom_size(context, form_width(f), form_length(f), result);
    }
    return FALSE;
}

BOOL FID_TakePaperFromPrinter(void *devmode, void *printerData, HANDLE printer)
{
    BYTE *info = PDT_GetPrinterInfo(printer, 2);
    if (info == nullptr)
        return FALSE;
    const auto *p2 = reinterpret_cast<const PRINTER_INFO_2W *>(info);
    BOOL ok = FALSE;
    if (p2->pDevMode != nullptr) {
        SafeDevmode current;
        safe_copy(p2->pDevMode, current);
        Value v;
        ok = read(ID_PAPER_SIZE, current.bytes, printerData, v) && write(ID_PAPER_SIZE, devmode, printerData, v) &&
             read(ID_PAPER_LENGTH, current.bytes, printerData, v) &&
             write(ID_PAPER_LENGTH, devmode, printerData, v) && read(ID_PAPER_WIDTH, current.bytes, printerData, v) &&
             write(ID_PAPER_WIDTH, devmode, printerData, v) && read(ID_FORM_NAME, current.bytes, printerData, v) &&
             write(ID_FORM_NAME, devmode, printerData, v);
    }
    GlobalFree(info);
    return ok;
}

BOOL FID_SyncPaperFields(ModelContext *context, HANDLE printer, void *devmode, void *printerData)
{
    Value code;
    if (!read(ID_PAPER_SIZE, devmode, printerData, code))
        return FALSE;
    const LONG paper = FID_ReadValueAsInt(&code.slot, code.type);
    if (paper == FID_DMPAPER_USER) {
        DWORD fields = 0;
        return read_fields(devmode, fields) && FID_MergePaper(context, nullptr, devmode, printerData, printer, fields);
    }

    WCHAR name[FID_PAPER_NAME_CHARS + 1] = {};
    bool haveName = false;
    ULONGLONG found = 0;
    if (FID_FindCustomPaperSlot(&code.slot, code.type, nullptr, nullptr, nullptr, name, FID_PAPER_NAME_CHARS + 1)) {
        haveName = true;
    } else if (PPR_IsFormsMergeEnabled(context, printerData)) {
        if (PPR_FindPaper(context, PPR_BY_CODE, static_cast<WORD>(paper), PPR_GIVE_NAME, &found) == PPR_OK) {
            lstrcpynW(name, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(found)), FID_PAPER_NAME_CHARS + 1);
            haveName = true;
        }
    } else if (paper >= 1 && form_exists(printer, static_cast<WORD>(paper))) {
        /* A spooler form of the printer: its name stays, only the flags are redone. */
    } else {
        MdlPaperKey key{static_cast<WORD>(paper), 0, 0, nullptr};
        MdlPaper model{};
        WORD reason = 0;
        if (context != nullptr && MDL_FindPaper(context, ID_PAPER_SIZE, MDL_FIND_BY_ID, &key, &model, &reason) &&
            model.name != nullptr) {
            lstrcpynW(name, model.name, FID_PAPER_NAME_CHARS + 1);
            haveName = true;
        }
        MDL_FreeFoundPaper(&model);
    }
    if (haveName && !store_form_name(devmode, printerData, name))
        return FALSE;
    return FID_MergePaper(context, nullptr, devmode, printerData, printer, FID_DM_FORMNAME);
}
