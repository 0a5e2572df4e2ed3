/*
 * Booklet and poster geometry, which arrive with the replay of recorded
 * pages: until then they fail visibly (a trace line naming the function,
 * ERROR_CALL_NOT_IMPLEMENTED, -1).
 */
#include "page_geometry.h"

#include <tarvel/log_trace.h>

#include <plat/error.h>

namespace {

int not_built(LPCWSTR function)
{
    LOG_Printf(u"%s: not built yet", function);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
}

} // namespace

int LAY_BookletCellTransform(PdevContext *pdev, LONG index, PageTransform *out)
{
    (void)pdev;
    (void)index;
    (void)out;
    return not_built(u"LAY_BookletCellTransform");
}

int LAY_PosterLayout(PdevContext *pdev, LONG tile, PageTransform *out)
{
    (void)pdev;
    (void)tile;
    (void)out;
    return not_built(u"LAY_PosterLayout");
}
