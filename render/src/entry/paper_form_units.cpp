/*
 * Length units of the rendering library and small paper helpers (see
 * paper_form.h).  The conversions between micrometres, internal units and
 * pixels are done in single precision and truncated, as the page pipeline
 * expects them to the unit; the conversions to tenths of a millimetre and
 * from them to pixels are integer arithmetic rounded half up.
 */
#include "paper_form.h"

#include <plat/memory.h>

#include <cmath>
#include <cstring>

namespace {

/* A float truncated toward zero into a LONG, held to the LONG range. */
LONG truncate_to_long(FLOAT v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483520.0f)
        return 0x7FFFFF80;
    if (v <= -2147483520.0f)
        return -0x7FFFFF80;
    return static_cast<LONG>(v);
}

/* n / d rounded toward minus infinity (d > 0). */
LONGLONG floor_div(LONGLONG n, LONGLONG d)
{
    LONGLONG q = n / d;
    return (n % d != 0 && n < 0) ? q - 1 : q;
}

LONG clamp_long(LONGLONG v)
{
    if (v > 0x7FFFFFFFLL)
        return 0x7FFFFFFF;
    if (v < -0x7FFFFFFFLL)
        return -0x7FFFFFFF;
    return static_cast<LONG>(v);
}

} // namespace

LONG FORM_MicronsToUnits(LONG microns)
{
    FLOAT v = static_cast<FLOAT>(microns) * 18432.0f;
    v = v / 25400.0f;
    return truncate_to_long(v);
}

LONG FORM_UnitsToMicrons(LONG units)
{
    FLOAT v = static_cast<FLOAT>(units) * 25400.0f;
    v = v / 18432.0f;
    return truncate_to_long(v);
}

LONG FORM_UnitsToPixels(LONG units, LONG dpi)
{
    FLOAT v = static_cast<FLOAT>(units) * static_cast<FLOAT>(dpi);
    v = v / 18432.0f;
    return truncate_to_long(v);
}

LONG FORM_TenthsToUnits(LONG tenths) { return FORM_MicronsToUnits(clamp_long(LONGLONG(tenths) * 100)); }

LONG FORM_UnitsToTenths(LONG units) { return clamp_long(floor_div(LONGLONG(FORM_UnitsToMicrons(units)) + 50, 100)); }

LONG FORM_TenthsToPixels(LONG tenths, LONG dpi)
{
    /* floor(tenths * dpi / 254 + 1/2) */
    return clamp_long(floor_div(2 * LONGLONG(tenths) * dpi + 254, 508));
}

bool FORM_IsFixedSize(const ModelRecord *paper)
{
    const DddPair *a = DDD_PaperSize(paper);
    const DddPair *b = DDD_PaperSizeAlt(paper);
    if (!a || !b)
        return false;
    return (a->first == b->first && a->second == b->second) || (a->first == b->second && a->second == b->first);
}

void FORM_Free(PaperForm *form)
{
    if (!form)
        return;
    if (form->modelPaper)
        DDD_FreeRecord(&form->modelPaper, -1);
    std::memset(form, 0, sizeof *form);
}
