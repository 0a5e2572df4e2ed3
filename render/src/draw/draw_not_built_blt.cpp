/*
 * The colour classification of images and brush patterns, not built yet:
 * each answers its failure visibly (draw_not_built.h).  Each is deleted
 * from here when its work is built.
 */
#include "draw_blt.h"
#include "draw_not_built.h"

namespace {

const char16_t kClassify[] = u"colour classification";

} // namespace

int BLT_ClassifyImageColors(LONG *, PageColorSet *, PdevContext *, const BYTE *, LONG, LONG, const BYTE *, LONG, LONG,
                            LONG)
{
    return DRAW_NotBuilt(u"BLT_ClassifyImageColors", kClassify, -1);
}

int BLT_ConvertPatternColors(PdevContext *, const BYTE *, BYTE *, LONG, BOOL)
{
    return DRAW_NotBuilt(u"BLT_ConvertPatternColors", kClassify, 0);
}
