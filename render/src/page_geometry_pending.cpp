/*
 * Booklet and poster geometry, which arrive with the replay of recorded
 * pages: until then they fail visibly (a trace line naming the function,
 * ERROR_CALL_NOT_IMPLEMENTED, -1).
 */
#include "page_geometry.h"

#include "not_built.h"

int LAY_BookletCellTransform(PdevContext *pdev, LONG index, PageTransform *out)
{
    (void)pdev;
    (void)index;
    (void)out;
    return REN_NotBuilt(u"LAY_BookletCellTransform");
}

int LAY_PosterLayout(PdevContext *pdev, LONG tile, PageTransform *out)
{
    (void)pdev;
    (void)tile;
    (void)out;
    return REN_NotBuilt(u"LAY_PosterLayout");
}
