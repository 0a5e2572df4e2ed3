/*
 * Page geometry: paper records, the layout of a sheet side and the page
 * transform of each N-up cell.  The layout is worked out in tenths of a
 * millimetre, so that a page that fills its area exactly gets the scale 1
 * exactly; only the final translation is turned into pixels.
 */
#include "page_geometry.h"

#include "paper_form.h"

#include <algorithm>

namespace {

/* The layout frame's size: the sheet, turned for a landscape layout. */
void frame_size(const LayoutRecord *l, FLOAT *w, FLOAT *h)
{
    *w = l->sheetLandscape ? l->sheetHeight : l->sheetWidth;
    *h = l->sheetLandscape ? l->sheetWidth : l->sheetHeight;
}

PageTransform make(FLOAT m11, FLOAT m12, FLOAT m21, FLOAT m22, FLOAT dx, FLOAT dy)
{
    return PageTransform{m11, m12, m21, m22, dx, dy};
}

/* Factors (x, y; 0 left or top, 1 right or bottom) of the cell corner an alignment code anchors. */
void anchor_of(LONG code, bool turned, FLOAT *ax, FLOAT *ay)
{
    /* The page's own corner: 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left. */
    static const FLOAT upright[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    /* A page turned counter-clockwise has its top-left corner at the cell's bottom-left. */
    static const FLOAT quarter[4][2] = {{0, 1}, {0, 0}, {1, 0}, {1, 1}};
    if (code == 4) {
        *ax = 0.5f;
        *ay = 0.5f;
        return;
    }
    const FLOAT *f = turned ? quarter[code] : upright[code];
    *ax = f[0];
    *ay = f[1];
}

/* The alignment of a back face: mirrored across the binding edge. */
LONG mirrored_alignment(LONG code, LONG duplexBinding, bool turned)
{
    if (code == 4 || duplexBinding == 0)
        return code;
    bool sideways = (duplexBinding == 2) != turned; /* mirror left and right */
    static const LONG across[4] = {1, 0, 3, 2};
    static const LONG upDown[4] = {3, 2, 1, 0};
    return sideways ? across[code] : upDown[code];
}

/* Moves one area edge to the binding margin when the margin lies further in. */
void apply_binding(const LayoutRecord *l, LONG side, FLOAT area[4])
{
    LONG edge = l->binding;
    FLOAT margin = l->bindingFront;
    if (side == 2 && l->duplexBinding != 0) {
        margin = l->bindingBack;
        if (l->duplexBinding == 2 && (edge == 1 || edge == 2))
            edge = 3 - edge;
        else if (l->duplexBinding == 1 && (edge == 3 || edge == 4))
            edge = 7 - edge;
    }
    FLOAT fw, fh;
    frame_size(l, &fw, &fh);
    bool shift = !l->fit;
    switch (edge) {
    case 1:
        if (margin > area[0]) {
            FLOAT d = margin - area[0];
            area[0] = margin;
            if (shift)
                area[2] += d;
        }
        break;
    case 2:
        if (fw - margin < area[2]) {
            FLOAT d = area[2] - (fw - margin);
            area[2] = fw - margin;
            if (shift)
                area[0] -= d;
        }
        break;
    case 3:
        if (margin > area[1]) {
            FLOAT d = margin - area[1];
            area[1] = margin;
            if (shift)
                area[3] += d;
        }
        break;
    case 4:
        if (fh - margin < area[3]) {
            FLOAT d = area[3] - (fh - margin);
            area[3] = fh - margin;
            if (shift)
                area[1] -= d;
        }
        break;
    default:
        break;
    }
}

} // namespace

FLOAT LAY_ToPixels(LONG tenths, LONG resolution) { return FLOAT(tenths) * FLOAT(resolution) / 254.0f; }

LONG LAY_UnitsToTenths(LONG units) { return LONG((FLOAT(units) * 254.0f + 9216.0f) / 18432.0f); }

int LAY_PaperRecord(const PaperForm *form, SHORT paperCode, BOOL borderless, PaperRecord *out)
{
    if (!form || !out || form->width <= 0 || form->height <= 0)
        return -1;
    PaperRecord r{};
    r.paperCode = paperCode;
    r.width = SHORT(LAY_UnitsToTenths(form->width));
    r.length = SHORT(LAY_UnitsToTenths(form->height));
    if (borderless) {
        r.printableWidth = r.width;
        r.printableLength = r.length;
    } else {
        r.printableWidth = SHORT(LAY_UnitsToTenths(form->right - form->left));
        r.printableLength = SHORT(LAY_UnitsToTenths(form->bottom - form->top));
    }
    r.leftMargin = SHORT((r.width - r.printableWidth + 1) / 2);
    r.topMargin = SHORT((r.length - r.printableLength + 1) / 2);
    r.inCustomRange = 1;
    r.layoutLeft = r.leftMargin;
    r.layoutRight = r.leftMargin;
    r.layoutTop = r.topMargin;
    r.layoutBottom = r.topMargin;
    *out = r;
    return 0;
}

int LAY_PageGeometry(const PaperForm *jobForm, SHORT paperCode, BOOL borderless, LONG orientation,
                     const LONG *userMargins, PageGeometry *out)
{
    if (!out || (orientation != 1 && orientation != 2))
        return -1;
    PaperRecord r{};
    if (LAY_PaperRecord(jobForm, paperCode, borderless, &r) != 0)
        return -1;
    r.layoutRight = SHORT(r.width - r.layoutLeft - r.printableWidth);
    r.layoutBottom = SHORT(r.length - r.layoutTop - r.printableLength);
    if (userMargins && userMargins[0] + userMargins[1] < r.width && userMargins[2] + userMargins[3] < r.length) {
        r.layoutLeft = SHORT(userMargins[0]);
        r.layoutRight = SHORT(userMargins[1]);
        r.layoutTop = SHORT(userMargins[2]);
        r.layoutBottom = SHORT(userMargins[3]);
    }
    out->paper = r;
    out->landscape = orientation == 2 ? 1 : 0;
    return 0;
}

int LAY_GridOf(LONG pagesPerSheet, LONG *columns, LONG *rows)
{
    LONG c, r;
    switch (pagesPerSheet) {
    case 1: c = 1; r = 1; break;
    case 2: c = 1; r = 2; break;
    case 4: c = 2; r = 2; break;
    case 8: c = 2; r = 4; break;
    case 16: c = 4; r = 4; break;
    case 32: c = 4; r = 8; break;
    default: return -1;
    }
    if (columns)
        *columns = c;
    if (rows)
        *rows = r;
    return 0;
}

int LAY_CellOrderState(LONG pagesPerSheet, LONG cellOrder, LONG turned)
{
    if (LAY_GridOf(pagesPerSheet, nullptr, nullptr) != 0 || cellOrder < 0 || cellOrder > 6)
        return -1;
    if (pagesPerSheet == 1)
        return 4;
    if (pagesPerSheet == 2) {
        bool listed = cellOrder == 1 || cellOrder == 3 || cellOrder == 4;
        return (turned && listed) || (!turned && !listed) ? 1 : 5;
    }
    /* Orders 0 to 2 name no order for four pages and more: they fill as order 3 does. */
    LONG o = cellOrder < 3 ? 3 : cellOrder;
    static const LONG withTurn[4] = {1, 0, 5, 4};
    static const LONG withoutTurn[4] = {4, 5, 6, 7};
    return turned ? withTurn[o - 3] : withoutTurn[o - 3];
}

int LAY_CellPosition(LONG state, LONG k, LONG columns, LONG rows, LONG *u, LONG *v)
{
    if (!u || !v || columns < 1 || rows < 1 || k < 0 || k >= columns * rows)
        return -1;
    LONG c = columns, r = rows;
    switch (state) {
    case 0: *v = k / c; *u = k % c; break;
    case 1: *v = k % r; *u = k / r; break;
    case 2: *v = k / c; *u = c - 1 - k % c; break;
    case 3: *v = k % r; *u = c - 1 - k / r; break;
    case 4: *v = r - 1 - k / c; *u = k % c; break;
    case 5: *v = r - 1 - k % r; *u = k / r; break;
    case 6: *v = r - 1 - k / c; *u = c - 1 - k % c; break;
    case 7: *v = r - 1 - k % r; *u = c - 1 - k / r; break;
    default: return -1;
    }
    return 0;
}

int LAY_BuildLayout(const LayoutParams *p, const PaperRecord *sheet, const PageGeometry *page, LONG resolution,
                    LayoutRecord *out)
{
    if (!p || !sheet || !page || !out || resolution < 1)
        return -1;
    LayoutRecord l{};
    if (LAY_GridOf(p->pagesPerSheet, &l.columns, &l.rows) != 0)
        return -1;
    l.orderState = LAY_CellOrderState(p->pagesPerSheet, p->cellOrder, p->cellsTurned);
    if (l.orderState < 0)
        return -1;
    if ((p->zoomOn && (p->zoomPercent < 25 || p->zoomPercent > 400)) || p->binding < 0 || p->binding > 4 ||
        p->alignment < 0 || p->alignment > 4 || p->turn180 < 0 || p->turn180 > 3 || p->duplexBinding < 0 ||
        p->duplexBinding > 2)
        return -1;
    const PaperRecord &pp = page->paper;
    l.pageWidth = FLOAT(pp.width - pp.layoutLeft - pp.layoutRight);
    l.pageHeight = FLOAT(pp.length - pp.layoutTop - pp.layoutBottom);
    if (l.pageWidth <= 0 || l.pageHeight <= 0 || sheet->width <= 0 || sheet->length <= 0)
        return -1;
    l.resolution = resolution;
    l.sheetWidth = sheet->width;
    l.sheetHeight = sheet->length;
    l.pageLandscape = page->landscape ? 1 : 0;
    l.sheetLandscape = p->sheetLandscape ? 1 : 0;
    l.zoomOn = p->zoomOn ? 1 : 0;
    l.zoomPercent = p->zoomOn ? p->zoomPercent : 100;
    l.duplexBinding = p->duplexBinding;
    l.turn180 = p->turn180;
    l.pagesPerSheet = p->pagesPerSheet;
    l.cellsTurned = p->cellsTurned ? 1 : 0;
    l.binding = p->binding;
    l.bindingFront = p->binding ? FLOAT(p->bindingFront) : 0;
    l.bindingBack = p->binding ? FLOAT(p->bindingBack) : 0;
    l.fit = p->zoomOn ? 0 : (p->fit ? 1 : 0);
    l.alignment = p->alignment;
    l.shiftMode = p->shiftMode == 1 ? 1 : 0;
    l.shiftX = l.shiftMode ? FLOAT(p->shiftX) : 0;
    l.shiftY = l.shiftMode ? FLOAT(p->shiftY) : 0;

    LAY_SetImageableArea(&l, sheet->layoutLeft, sheet->layoutTop, FLOAT(sheet->layoutLeft + sheet->printableWidth),
                         FLOAT(sheet->layoutTop + sheet->printableLength));
    *out = l;
    return 0;
}

void LAY_SetImageableArea(LayoutRecord *l, FLOAT left, FLOAT top, FLOAT right, FLOAT bottom)
{
    if (!l)
        return;
    /* A turned frame has the sheet's bottom edge on its left, its left edge on top. */
    if (!l->sheetLandscape) {
        l->area[0] = left;
        l->area[1] = top;
        l->area[2] = right;
        l->area[3] = bottom;
    } else {
        l->area[0] = l->sheetHeight - bottom;
        l->area[1] = left;
        l->area[2] = l->sheetHeight - top;
        l->area[3] = right;
    }
}

int LAY_CellTransform(const LayoutRecord *l, LONG n, LONG side, PageTransform *out, FLOAT *cellBox)
{
    if (!l || !out || (side != 1 && side != 2) || n < 1 || l->columns < 1 || l->rows < 1)
        return -1;
    FLOAT area[4] = {l->area[0], l->area[1], l->area[2], l->area[3]};
    FLOAT fw, fh;
    frame_size(l, &fw, &fh);

    if (l->binding)
        apply_binding(l, side, area);

    /* The image shift moves the image on the paper as fed: x to the right, y upward. */
    if (l->shiftMode) {
        FLOAT dx = l->shiftX, dy = -l->shiftY;
        if (l->sheetLandscape) {
            FLOAT t = dx;
            dx = -dy;
            dy = t;
        }
        area[0] += dx;
        area[2] += dx;
        area[1] += dy;
        area[3] += dy;
    }

    LONG k = (n - 1) % (l->columns * l->rows), u = 0, v = 0;
    if (LAY_CellPosition(l->orderState, k, l->columns, l->rows, &u, &v) != 0)
        return -1;
    FLOAT cw = (area[2] - area[0]) / FLOAT(l->columns), ch = (area[3] - area[1]) / FLOAT(l->rows);
    FLOAT cl = area[0] + FLOAT(u) * cw, ct = area[1] + FLOAT(l->rows - 1 - v) * ch;

    /* A page whose shape differs from its cell's (tall in a wide cell, wide in a tall one) is turned into it. */
    const FLOAT pw = l->pageWidth, ph = l->pageHeight;
    bool pageTurned = (pw > ph) != (cw > ch) && pw != ph && cw != ch;
    FLOAT ew = pageTurned ? ph : pw, eh = pageTurned ? pw : ph;

    FLOAT scale = l->zoomOn ? FLOAT(l->zoomPercent) / 100.0f : std::min(cw / ew, ch / eh);

    LONG code = side == 2 ? mirrored_alignment(l->alignment, l->duplexBinding, l->cellsTurned != 0) : l->alignment;
    FLOAT ax, ay;
    anchor_of(code, pageTurned, &ax, &ay);
    FLOAT ox = cl + ax * (cw - ew * scale), oy = ct + ay * (ch - eh * scale);

    /* Page (tenths, y down) -> cell in the frame. */
    PageTransform t;
    LAY_SetIdentity(&t);
    bool turn180 = l->turn180 == 3 || (l->turn180 == 1 && l->pageLandscape) || (l->turn180 == 2 && !l->pageLandscape);
    if (turn180)
        t = make(-1, 0, 0, -1, pw, ph);
    PageTransform place = pageTurned ? make(0, -scale, scale, 0, ox, oy + scale * pw) : make(scale, 0, 0, scale, ox, oy);
    LAY_Multiply(&t, &place);
    PageTransform frame = make(0, -1, 1, 0, 0, fw);
    if (l->sheetLandscape)
        LAY_Multiply(&t, &frame);

    /* Page pixels -> tenths -> sheet pixels: the linear part stays, the translation becomes pixels. */
    FLOAT k2p = FLOAT(l->resolution) / 254.0f;
    t.dx *= k2p;
    t.dy *= k2p;
    *out = t;

    if (cellBox) {
        FLOAT x1 = cl, y1 = ct, x2 = cl + cw, y2 = ct + ch;
        if (l->sheetLandscape) {
            LAY_Apply(&frame, cl, ct, &x1, &y1);
            LAY_Apply(&frame, cl + cw, ct + ch, &x2, &y2);
        }
        cellBox[0] = std::min(x1, x2) * k2p;
        cellBox[1] = std::min(y1, y2) * k2p;
        cellBox[2] = std::max(x1, x2) * k2p;
        cellBox[3] = std::max(y1, y2) * k2p;
    }
    return 0;
}

int LAY_PageTransform(const LayoutRecord *layout, LONG cellIndex, LONG side, PageTransform *out)
{
    if (cellIndex < 0 || cellIndex >= 32 || (side != 0 && side != 1))
        return -1;
    return LAY_CellTransform(layout, cellIndex + 1, side + 1, out, nullptr);
}

int LAY_ScaledPageTransform(const LayoutRecord *layout, LONG cellIndex, LONG side, BOOL turned, FLOAT offsetX,
                            FLOAT offsetY, PageTransform *out)
{
    if (!layout || !out || LAY_PageTransform(layout, cellIndex, side, out) != 0)
        return -1;
    if (turned)
        LAY_TurnAndShift(out, LAY_ToPixels(LONG(layout->sheetWidth), layout->resolution),
                         LAY_ToPixels(LONG(layout->sheetHeight), layout->resolution));
    out->dx += offsetX;
    out->dy += offsetY;
    return 0;
}

void LAY_SetIdentity(PageTransform *t)
{
    if (t)
        *t = make(1, 0, 0, 1, 0, 0);
}

void LAY_Multiply(PageTransform *a, const PageTransform *b)
{
    if (!a || !b)
        return;
    PageTransform c;
    c.m11 = b->m11 * a->m11 + b->m21 * a->m12;
    c.m12 = b->m12 * a->m11 + b->m22 * a->m12;
    c.m21 = b->m11 * a->m21 + b->m21 * a->m22;
    c.m22 = b->m12 * a->m21 + b->m22 * a->m22;
    c.dx = b->m11 * a->dx + b->m21 * a->dy + b->dx;
    c.dy = b->m12 * a->dx + b->m22 * a->dy + b->dy;
    *a = c;
}

void LAY_TurnAndShift(PageTransform *t, FLOAT width, FLOAT length)
{
    const PageTransform turn = make(-1, 0, 0, -1, width, length);
    LAY_Multiply(t, &turn);
}

void LAY_Apply(const PageTransform *t, FLOAT x, FLOAT y, FLOAT *outX, FLOAT *outY)
{
    *outX = t->m11 * x + t->m21 * y + t->dx;
    *outY = t->m12 * x + t->m22 * y + t->dy;
}
