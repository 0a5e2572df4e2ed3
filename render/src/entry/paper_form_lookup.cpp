/*
 * Searches behind the paper forms: the model's paper records (kind 10) by
 * code, name, size or as the default paper, and the spooler's forms
 * (level 1) by name, 1-based position or size, in tenths of a millimetre.
 */
#include "paper_form.h"
#include "pdev_context.h"

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/gdi.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <cstdlib>
#include <vector>

namespace {

/* Micrometres to tenths of a millimetre, rounded half up. */
LONG microns_to_tenths(LONG v) { return v >= 0 ? (v + 50) / 100 : -((-v + 50) / 100); }

bool model_open(PdevContext *pdev) { return pdev && pdev->mainReader; }

/* Walks the paper records in order; `match` decides; the first match is handed out. */
template <typename Match>
int find_paper(PdevContext *pdev, ModelRecord **paper, Match match)
{
    WORD count = DDD_CountRecords(pdev->mainReader, DDD_KIND_PAPER);
    for (WORD n = 1; n <= count; n++) {
        ModelRecord *rec = nullptr;
        if (DDD_GetRecordByIndex(DDD_PARSE_FULL, pdev->mainReader, pdev->companionReader, DDD_KIND_PAPER, n, &rec) !=
            0)
            continue;
        if (match(rec)) {
            *paper = rec;
            return FORM_FOUND;
        }
        DDD_FreeRecord(&rec, -1);
    }
    return FORM_NOT_FOUND;
}

/*
 * The spooler's forms at level 1 in tenths of a millimetre.  FORM_FOUND
 * with the list, FORM_SPOOLER_ERROR or FORM_NO_MEMORY.
 */
int spooler_forms(PdevContext *pdev, std::vector<SpoolerForm> &forms)
{
    DWORD needed = 0, count = 0;
    if (EnumFormsW(pdev->printer, 1, nullptr, 0, &needed, &count) || GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return FORM_SPOOLER_ERROR;
    BYTE *buffer = static_cast<BYTE *>(HeapAlloc(pdev->heap, HEAP_ZERO_MEMORY, needed));
    if (!buffer)
        return FORM_NO_MEMORY;
    int result = FORM_SPOOLER_ERROR;
    if (EnumFormsW(pdev->printer, 1, buffer, needed, &needed, &count)) {
        const FORM_INFO_1W *info = reinterpret_cast<const FORM_INFO_1W *>(buffer);
        forms.clear();
        for (DWORD i = 0; i < count; i++) {
            SpoolerForm f{};
            if (info[i].pName)
                lstrcpynW(f.name, info[i].pName, FORM_NAME_CHARS);
            f.index = i + 1;
            f.builtIn = (info[i].Flags & FORM_BUILTIN) ? TRUE : FALSE;
            f.width = microns_to_tenths(info[i].Size.cx);
            f.length = microns_to_tenths(info[i].Size.cy);
            f.imageable = info[i].ImageableArea;
            forms.push_back(f);
        }
        result = FORM_FOUND;
    }
    HeapFree(pdev->heap, 0, buffer);
    return result;
}

template <typename Match>
int find_form(PdevContext *pdev, SpoolerForm *form, Match match)
{
    if (!pdev || !form)
        return FORM_BAD_ARGUMENT;
    std::vector<SpoolerForm> forms;
    int r = spooler_forms(pdev, forms);
    if (r != FORM_FOUND)
        return r;
    for (const SpoolerForm &f : forms)
        if (match(f)) {
            *form = f;
            return FORM_FOUND;
        }
    return FORM_NOT_FOUND;
}

} // namespace

int FORM_FindModelPaperById(PdevContext *pdev, WORD code, ModelRecord **paper)
{
    if (!model_open(pdev) || !paper)
        return FORM_BAD_ARGUMENT;
    *paper = nullptr;
    ModelRecord *rec = nullptr;
    if (DDD_GetRecordById(DDD_PARSE_FULL, pdev->mainReader, pdev->companionReader, DDD_KIND_PAPER, code, 0, &rec) !=
        0)
        return FORM_NOT_FOUND;
    *paper = rec;
    return FORM_FOUND;
}

int FORM_FindModelPaperByName(PdevContext *pdev, LPCWSTR name, ModelRecord **paper)
{
    if (!model_open(pdev) || !paper || !name || !*name)
        return FORM_BAD_ARGUMENT;
    *paper = nullptr;
    return find_paper(pdev, paper, [name](const ModelRecord *rec) {
        LPCWSTR recName = DDD_GetRecordName(rec);
        return recName && lstrcmpW(recName, name) == 0;
    });
}

int FORM_FindModelPaperBySize(PdevContext *pdev, LONG w, LONG h, ModelRecord **paper)
{
    if (!model_open(pdev) || !paper)
        return FORM_BAD_ARGUMENT;
    *paper = nullptr;
    return find_paper(pdev, paper, [w, h](const ModelRecord *rec) {
        const DddPair *size = DDD_PaperSize(rec);
        return size && FORM_IsFixedSize(rec) && std::labs(LONG(size->first) - w) <= FORM_SIZE_TOLERANCE &&
               std::labs(LONG(size->second) - h) <= FORM_SIZE_TOLERANCE;
    });
}

int FORM_FindDefaultModelPaper(PdevContext *pdev, ModelRecord **paper)
{
    if (!model_open(pdev) || !paper)
        return FORM_BAD_ARGUMENT;
    *paper = nullptr;
    ULONG_PTR value = 0;
    WORD type = 0, reason = 0;
    if (pdev->model && MDL_GetDefaultValue(pdev->model, ID_PAPER_SIZE, &value, &type, &reason) &&
        FORM_FindModelPaperById(pdev, WORD(value), paper) == FORM_FOUND)
        return FORM_FOUND;
    if (DDD_GetRecordByIndex(DDD_PARSE_FULL, pdev->mainReader, pdev->companionReader, DDD_KIND_PAPER, 1, paper) != 0) {
        *paper = nullptr;
        return FORM_NOT_FOUND;
    }
    return FORM_FOUND;
}

int FORM_SpoolerFormByName(PdevContext *pdev, LPCWSTR name, SpoolerForm *form)
{
    if (!name || !*name)
        return FORM_BAD_ARGUMENT;
    return find_form(pdev, form, [name](const SpoolerForm &f) { return lstrcmpiW(f.name, name) == 0; });
}

int FORM_SpoolerFormByIndex(PdevContext *pdev, DWORD index, SpoolerForm *form)
{
    if (index == 0)
        return FORM_BAD_ARGUMENT;
    return find_form(pdev, form, [index](const SpoolerForm &f) { return f.index == index; });
}

int FORM_SpoolerFormBySize(PdevContext *pdev, LONG w, LONG h, SpoolerForm *form)
{
    return find_form(pdev, form, [w, h](const SpoolerForm &f) { return f.width == w && f.length == h; });
}
