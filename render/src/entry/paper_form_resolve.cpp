/*
 * Resolving the job form and the feed form of a device context (see
 * paper_form.h): from the devmode's form name, paper number or custom size,
 * the spooler's forms and the model's paper records, with the printable
 * area of a model paper or one computed for a custom size.
 *
 * A model paper's margins: the first margin pair holds the left and bottom
 * margins, the second the right and top margins; the top margin is the
 * second pair's second value and the bottom margin the first pair's second
 * value.
 */
#include "paper_form.h"
#include "pdev_context.h"

#include <plat/gdi.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>

namespace {

void set_name(PaperForm *form, LPCWSTR name)
{
    std::memset(form->name, 0, sizeof form->name);
    if (name)
        lstrcpynW(form->name, name, FORM_NAME_CHARS);
}

/* Margins of a model paper in tenths of a millimetre. */
struct Margins {
    LONG left, top, right, bottom;
};

Margins margins_of(const ModelRecord *paper)
{
    DddPair first{}, second{};
    DDD_PaperMargins(paper, &first, &second);
    return Margins{first.first, second.second, second.first, first.second};
}

/*
 * The form of a model paper of w x l tenths (its own size, or a spooler
 * form's) with the record's margins; the form takes the record over.
 */
void form_from_record(PdevContext *pdev, ModelRecord *paper, LONG w, LONG l, BOOL borderless, PaperForm *form)
{
    std::memset(form, 0, sizeof *form);
    set_name(form, DDD_GetRecordName(paper));
    SpoolerForm spooled{};
    if (FORM_SpoolerFormByIndex(pdev, paper->id, &spooled) == FORM_FOUND && spooled.builtIn)
        set_name(form, spooled.name);
    form->width = FORM_TenthsToUnits(w);
    form->height = FORM_TenthsToUnits(l);
    if (borderless) {
        form->right = form->width;
        form->bottom = form->height;
    } else {
        Margins m = margins_of(paper);
        form->left = FORM_TenthsToUnits(m.left);
        form->top = FORM_TenthsToUnits(m.top);
        form->right = form->width - FORM_TenthsToUnits(m.right);
        form->bottom = form->height - FORM_TenthsToUnits(m.bottom);
    }
    form->modelPaper = paper;
}

BOOL borderless_of(PdevContext *pdev)
{
    WORD v = 0;
    return PDEV_GetSetting16(pdev, ID_BORDERLESS, &v) == 0 && v == 1;
}

/* `dst` takes the geometry of `src` (name, area, size, turn) and `paper` as its model paper. */
void copy_geometry(const PaperForm *src, ModelRecord *paper, PaperForm *dst)
{
    std::memcpy(dst, src, sizeof *dst);
    dst->substituted = 0;
    dst->modelPaper = paper;
}

/* True when w x l (tenths) lies within the range between a paper record's two size pairs. */
bool within_range(const ModelRecord *paper, LONG w, LONG l)
{
    const DddPair *a = DDD_PaperSize(paper);
    const DddPair *b = DDD_PaperSizeAlt(paper);
    if (!a || !b)
        return false;
    LONG minW = std::min<LONG>(a->first, b->first), maxW = std::max<LONG>(a->first, b->first);
    LONG minL = std::min<LONG>(a->second, b->second), maxL = std::max<LONG>(a->second, b->second);
    return w >= minW && w <= maxW && l >= minL && l <= maxL;
}

/* The job form by a spooler form's name (DM_FORMNAME).  1 done, 0 failed, 2 no such form. */
int job_form_by_name(PdevContext *pdev, LPCWSTR name, PaperForm *form)
{
    SpoolerForm spooled{};
    if (!name || !*name || FORM_SpoolerFormByName(pdev, name, &spooled) != FORM_FOUND)
        return 2;
    ModelRecord *paper = nullptr;
    if (!(spooled.builtIn && FORM_FindModelPaperById(pdev, WORD(spooled.index), &paper) == FORM_FOUND))
        FORM_FindModelPaperByName(pdev, spooled.name, &paper);
    const DddPair *size = paper ? DDD_PaperSize(paper) : nullptr;
    if (size && size->first == spooled.width && size->second == spooled.length) {
        form_from_record(pdev, paper, spooled.width, spooled.length, borderless_of(pdev), form);
        set_name(form, spooled.name);
        return 1;
    }
    if (paper)
        DDD_FreeRecord(&paper, -1);
    return PDEV_CustomPrintableArea(pdev, spooled.width, spooled.length, spooled.name, spooled.index, form);
}

/* The job form by paper number (DM_PAPERSIZE).  1 done, 0 failed, 2 neither the model nor the spooler knows it. */
int job_form_by_number(PdevContext *pdev, WORD code, PaperForm *form)
{
    ModelRecord *paper = nullptr;
    if (FORM_FindModelPaperById(pdev, code, &paper) == FORM_FOUND) {
        if (FORM_IsFixedSize(paper))
            return PDEV_FormFromModelPaper(pdev, paper, form, borderless_of(pdev));
        DDD_FreeRecord(&paper, -1);
    }
    SpoolerForm spooled{};
    if (FORM_SpoolerFormByIndex(pdev, code, &spooled) != FORM_FOUND)
        return 2;
    return PDEV_CustomPrintableArea(pdev, spooled.width, spooled.length, spooled.name, spooled.index, form);
}

/* The job form of a custom size w x l (tenths).  1 or 0. */
int job_form_by_size(PdevContext *pdev, LONG w, LONG l, PaperForm *form)
{
    if (w <= 0 || l <= 0)
        return 0;
    ModelRecord *paper = nullptr;
    if (FORM_FindModelPaperBySize(pdev, w, l, &paper) == FORM_FOUND)
        return PDEV_FormFromModelPaper(pdev, paper, form, borderless_of(pdev));
    return PDEV_CustomPrintableArea(pdev, w, l, nullptr, 0, form);
}

/* The model paper record of the job form: by its built-in spooler form, else by its name. */
int job_form_record(PdevContext *pdev, const PaperForm *jobForm, ModelRecord **paper)
{
    SpoolerForm spooled{};
    if (jobForm->name[0] && FORM_SpoolerFormByName(pdev, jobForm->name, &spooled) == FORM_FOUND && spooled.builtIn &&
        FORM_FindModelPaperById(pdev, WORD(spooled.index), paper) == FORM_FOUND)
        return FORM_FOUND;
    if (!jobForm->name[0])
        return FORM_NOT_FOUND;
    return FORM_FindModelPaperByName(pdev, jobForm->name, paper);
}

/* The feed form for an output paper other than the job's own.  1 done, 0 failed, 2 go on with the job's paper. */
int feed_form_by_output(PdevContext *pdev, WORD output, PaperForm *form)
{
    ModelRecord *paper = nullptr;
    if (FORM_FindModelPaperById(pdev, output, &paper) != FORM_FOUND)
        return 2;
    SpoolerForm spooled{};
    bool found = FORM_SpoolerFormByIndex(pdev, output, &spooled) == FORM_FOUND && spooled.builtIn;
    if (!found) {
        LPCWSTR name = DDD_GetRecordName(paper);
        found = name && FORM_SpoolerFormByName(pdev, name, &spooled) == FORM_FOUND;
    }
    if (found) {
        form_from_record(pdev, paper, spooled.width, spooled.length, borderless_of(pdev), form);
        return 1;
    }
    if (FORM_IsFixedSize(paper))
        return PDEV_FormFromModelPaper(pdev, paper, form, borderless_of(pdev));
    DDD_FreeRecord(&paper, -1);
    return 2;
}

/* Turns a form to landscape: the printable area follows the paper turned a quarter. */
void turn_form(PaperForm *form)
{
    PaperForm old = *form;
    form->left = old.top;
    form->top = old.width - old.right;
    form->right = old.bottom;
    form->bottom = old.width - old.left;
    form->width = old.height;
    form->height = old.width;
    form->turned = 1;
}

} // namespace

int PDEV_FormFromModelPaper(PdevContext *pdev, ModelRecord *paper, PaperForm *form, BOOL borderless)
{
    const DddPair *size = paper ? DDD_PaperSize(paper) : nullptr;
    if (!pdev || !form || !size) {
        if (paper)
            DDD_FreeRecord(&paper, -1);
        return 0;
    }
    form_from_record(pdev, paper, size->first, size->second, borderless, form);
    return 1;
}

int PDEV_FormFromDefaultPaper(PdevContext *pdev, PaperForm *form)
{
    ModelRecord *paper = nullptr;
    if (FORM_FindDefaultModelPaper(pdev, &paper) != FORM_FOUND)
        return 0;
    return PDEV_FormFromModelPaper(pdev, paper, form, borderless_of(pdev));
}

int PDEV_CustomPrintableArea(PdevContext *pdev, LONG w, LONG h, LPCWSTR name, DWORD formIndex, PaperForm *form)
{
    if (!pdev || !form || w <= 0 || h <= 0)
        return 0;
    std::memset(form, 0, sizeof *form);
    set_name(form, name);
    form->width = FORM_TenthsToUnits(w);
    form->height = FORM_TenthsToUnits(h);

    if (pdev->jobFormExtras[0] != 0) {
        SpoolerForm spooled{};
        bool found = (formIndex && FORM_SpoolerFormByIndex(pdev, formIndex, &spooled) == FORM_FOUND) ||
                     (name && *name && FORM_SpoolerFormByName(pdev, name, &spooled) == FORM_FOUND) ||
                     FORM_SpoolerFormBySize(pdev, w, h, &spooled) == FORM_FOUND;
        if (found) {
            const RECT &ia = spooled.imageable;
            form->left = FORM_MicronsToUnits(ia.left);
            form->right = FORM_MicronsToUnits(ia.right);
            form->top = FORM_MicronsToUnits(std::min(ia.top, ia.bottom));
            form->bottom = FORM_MicronsToUnits(std::max(ia.top, ia.bottom));
            return 1;
        }
    }

    ModelRecord *user = nullptr;
    if (FORM_FindModelPaperById(pdev, FORM_PAPER_USER_SIZE, &user) != FORM_FOUND)
        return 0;
    Margins m = margins_of(user);
    const DddPair *largest = DDD_PaperMaxExtent(user);
    LONG maxW = largest ? largest->first : w, maxH = largest ? largest->second : h;
    LONG left = m.left, rightMargin = m.right, top = m.top, bottomMargin = m.bottom;
    if (w > maxW + m.left + m.right) {
        left = (w - maxW + 1) / 2;
        rightMargin = w - maxW - left;
    }
    if (h > maxH + m.top + m.bottom) {
        top = (h - maxH + 1) / 2;
        bottomMargin = h - maxH - top;
    }
    BYTE alignment = 0;
    DddPair fourth1{}, fourth2{};
    if (DDD_PaperSizePairs(user, &alignment, &fourth1, &fourth2) == 0 && alignment > 1) {
        rightMargin += w % alignment;
        bottomMargin += h % alignment;
    }
    DDD_FreeRecord(&user, -1);
    form->left = FORM_TenthsToUnits(left);
    form->top = FORM_TenthsToUnits(top);
    form->right = FORM_TenthsToUnits(w - rightMargin);
    form->bottom = FORM_TenthsToUnits(h - bottomMargin);
    return 1;
}

int PDEV_ResolveJobForm(PdevContext *pdev, PaperForm *form)
{
    DWORD fields = 0;
    if (!pdev || !form || PDEV_GetSetting32(pdev, ID_DM_FIELDS, &fields) != 0)
        return 0;
    std::memset(form, 0, sizeof *form);
    if (fields & DM_FORMNAME) {
        WCHAR name[FORM_NAME_CHARS];
        PDEV_CopySettingString(pdev, ID_FORM_NAME, name, FORM_NAME_CHARS);
        int r = job_form_by_name(pdev, name, form);
        if (r != 2)
            return r;
    }
    if (!(fields & (DM_PAPERLENGTH | DM_PAPERWIDTH))) {
        WORD code = 0;
        if ((fields & DM_PAPERSIZE) && PDEV_GetSetting16(pdev, ID_PAPER_SIZE, &code) == 0) {
            int r = job_form_by_number(pdev, code, form);
            if (r != 2)
                return r;
        }
        return PDEV_FormFromDefaultPaper(pdev, form);
    }
    DWORD w = 0, l = 0;
    if (PDEV_GetSetting32(pdev, ID_PAPER_WIDTH, &w) != 0 || PDEV_GetSetting32(pdev, ID_PAPER_LENGTH, &l) != 0)
        return 0;
    return job_form_by_size(pdev, LONG(w), LONG(l), form);
}

int PDEV_ResolveFeedForm(PdevContext *pdev, const PaperForm *jobForm, PaperForm *form)
{
    if (!pdev || !jobForm || !form)
        return 0;
    std::memset(form, 0, sizeof *form);
    WORD output = FORM_PAPER_JOB_OWN;
    PDEV_GetSetting16(pdev, ID_OUTPUT_PAPER, &output);
    if (output != FORM_PAPER_JOB_OWN) {
        int r = feed_form_by_output(pdev, output, form);
        if (r != 2)
            return r;
    }

    ModelRecord *paper = nullptr;
    if (job_form_record(pdev, jobForm, &paper) == FORM_FOUND) {
        if (DDD_PaperMediaCode(paper) == FORM_MEDIA_NOT_PRINTED) {
            DDD_FreeRecord(&paper, -1);
            ModelRecord *fallback = nullptr;
            if (FORM_FindDefaultModelPaper(pdev, &fallback) != FORM_FOUND)
                return 0;
            const DddPair *size = DDD_PaperSize(fallback);
            if (size && jobForm->width <= FORM_TenthsToUnits(size->first) &&
                jobForm->height <= FORM_TenthsToUnits(size->second)) {
                copy_geometry(jobForm, fallback, form);
            } else if (!PDEV_FormFromModelPaper(pdev, fallback, form, borderless_of(pdev))) {
                return 0;
            }
            form->substituted = 1;
            return 1;
        }
        if (FORM_IsFixedSize(paper) ||
            within_range(paper, FORM_UnitsToTenths(jobForm->width), FORM_UnitsToTenths(jobForm->height))) {
            copy_geometry(jobForm, paper, form);
            return 1;
        }
        DDD_FreeRecord(&paper, -1);
    }

    WORD code = 0;
    PDEV_GetSetting16(pdev, ID_PAPER_SIZE, &code);
    if ((code == FORM_PAPER_USER || pdev->jobFormExtras[0] != 0) &&
        FORM_FindModelPaperById(pdev, FORM_PAPER_USER_SIZE, &paper) == FORM_FOUND) {
        copy_geometry(jobForm, paper, form);
        return 1;
    }
    if (!PDEV_FormFromDefaultPaper(pdev, form))
        return 0;
    form->substituted = 1;
    return 1;
}

int PDEV_ResolveForms(PdevContext *pdev)
{
    if (!pdev)
        return 0;
    if (!PDEV_ResolveJobForm(pdev, &pdev->jobForm) ||
        !PDEV_ResolveFeedForm(pdev, &pdev->jobForm, &pdev->feedForm)) {
        FORM_Free(&pdev->jobForm);
        FORM_Free(&pdev->feedForm);
        return 0;
    }
    DWORD fields = 0;
    WORD orientation = 0;
    if (PDEV_GetSetting32(pdev, ID_DM_FIELDS, &fields) == 0 && (fields & DM_ORIENTATION) &&
        PDEV_GetSetting16(pdev, ID_ORIENTATION, &orientation) == 0 && orientation == DMORIENT_LANDSCAPE)
        turn_form(&pdev->jobForm);
    return 1;
}
