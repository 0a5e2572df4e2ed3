/*
 * The printable area reported to the graphics engine (see paper_form.h),
 * in tenths of a millimetre, derived from the job form.
 */
#include "paper_form.h"
#include "pdev_context.h"

#include <plat/gdi.h>

#include <algorithm>

namespace {

/* A model paper's printable length between its margins, held within its extents and within the margins. */
LONG limited(LONG paper, LONG before, LONG after, LONG minExtent, LONG maxExtent)
{
    LONG printable = paper - before - after;
    printable = std::max(std::min(printable, maxExtent), minExtent);
    return std::min(printable, paper - before - after);
}

/* From the job form's model paper, on the size of the spooler form of the job form's name.  1 or 0. */
int area_of_model_paper(PdevContext *pdev, const PaperForm *form, GdiPrintableArea *a)
{
    SpoolerForm spooled{};
    if (FORM_SpoolerFormByName(pdev, form->name, &spooled) != FORM_FOUND)
        return 0;
    DddPair first{}, second{};
    DDD_PaperMargins(form->modelPaper, &first, &second);
    LONG left = first.first, bottom = first.second, right = second.first, top = second.second;
    const DddPair *minE = DDD_PaperMinExtent(form->modelPaper);
    const DddPair *maxE = DDD_PaperMaxExtent(form->modelPaper);
    LONG w = spooled.width, l = spooled.length;
    LONG pw = limited(w, left, right, minE ? minE->first : 0, maxE ? maxE->first : w);
    LONG pl = limited(l, top, bottom, minE ? minE->second : 0, maxE ? maxE->second : l);
    if (form->turned) {
        *a = GdiPrintableArea{bottom, left, pl, pw, l, w};
    } else {
        *a = GdiPrintableArea{left, top, pw, pl, w, l};
    }
    return 1;
}

/* The form's own printable area, centred on its paper. */
void area_of_form(const PaperForm *form, GdiPrintableArea *a)
{
    a->paperWidth = FORM_UnitsToTenths(form->width);
    a->paperLength = FORM_UnitsToTenths(form->height);
    a->printableWidth = FORM_UnitsToTenths(form->right - form->left);
    a->printableLength = FORM_UnitsToTenths(form->bottom - form->top);
    a->offsetX = (a->paperWidth - a->printableWidth) / 2;
    a->offsetY = (a->paperLength - a->printableLength) / 2;
}

} // namespace

int FORM_GdiPrintableArea(PdevContext *pdev, GdiPrintableArea *area)
{
    if (!pdev || !area)
        return 0;
    const PaperForm *form = &pdev->jobForm;
    GdiPrintableArea a{};
    if (form->modelPaper) {
        if (!area_of_model_paper(pdev, form, &a))
            return 0;
    } else {
        area_of_form(form, &a);
    }

    WORD userMargins = 0, paper = 0, borderless = 0;
    if (PDEV_GetSetting16(pdev, ID_USER_MARGINS, &userMargins) == 0 && userMargins == 1 &&
        PDEV_GetSetting16(pdev, ID_PAPER_SIZE, &paper) == 0 && paper == pdev->jobFormPaper.paperSize) {
        const StartPagePaperInfo &m = pdev->jobFormPaper.info;
        WORD orientation = 0;
        PDEV_GetSetting16(pdev, ID_ORIENTATION, &orientation);
        if (orientation == DMORIENT_PORTRAIT) {
            a.offsetX = m.left;
            a.offsetY = m.top;
            a.printableWidth = a.paperWidth - m.left - m.right;
            a.printableLength = a.paperLength - m.top - m.bottom;
        } else {
            a.offsetX = m.bottom;
            a.offsetY = m.left;
            a.printableWidth = a.paperWidth - m.top - m.bottom;
            a.printableLength = a.paperLength - m.right - m.left;
        }
    }
    if (PDEV_GetSetting16(pdev, ID_BORDERLESS, &borderless) == 0 && borderless == 1) {
        a.offsetX = 0;
        a.offsetY = 0;
        a.printableWidth = a.paperWidth;
        a.printableLength = a.paperLength;
    }
    a.printableWidth = std::max<LONG>(a.printableWidth, 0);
    a.printableLength = std::max<LONG>(a.printableLength, 0);
    *area = a;
    return 1;
}
