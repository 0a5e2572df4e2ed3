/*
 * The tray settings table: for each paper source the five settings of the
 * printer-data record that describe that tray (the fourth and fifth are its
 * custom paper width and length).  Sources 277 and 261 share one set.
 */
#include "tarvel/settings/ppr_paper.h"

namespace {

struct TrayRow {
    WORD source;
    WORD ids[5];
};

/* In search order. */
constexpr TrayRow kTrayRows[] = {
    {1, {6145, 6160, 6175, 6190, 6205}},   {3, {6146, 6161, 6176, 6191, 6206}},
    {2, {6147, 6162, 6177, 6192, 6207}},   {257, {6148, 6163, 6178, 6193, 6208}},
    {277, {6149, 6164, 6179, 6194, 6209}}, {261, {6149, 6164, 6179, 6194, 6209}},
    {262, {6150, 6165, 6180, 6195, 6210}}, {11, {6151, 6166, 6181, 6196, 6211}},
    {265, {6152, 6167, 6182, 6197, 6212}}, {266, {6153, 6168, 6183, 6198, 6213}},
    {267, {6154, 6169, 6184, 6199, 6214}}, {268, {6155, 6170, 6185, 6200, 6215}},
    {269, {6156, 6171, 6186, 6201, 6216}}, {270, {6157, 6172, 6187, 6202, 6217}},
    {272, {6158, 6173, 6188, 6203, 6218}}, {271, {6159, 6174, 6189, 6204, 6219}},
    {273, {6220, 6235, 6250, 6265, 6280}},
};

} // namespace

BOOL PPR_GetTraySettingIds(WORD source, WORD ids[5])
{
    if (ids == nullptr)
        return FALSE;
    for (const TrayRow &row : kTrayRows) {
        if (row.source != source)
            continue;
        for (int i = 0; i < 5; ++i)
            ids[i] = row.ids[i];
        return TRUE;
    }
    return FALSE;
}

BOOL PPR_GetTrayCustomSizeIds(WORD firstId, WORD *widthId, WORD *lengthId)
{
    if (widthId == nullptr || lengthId == nullptr)
        return FALSE;
    for (const TrayRow &row : kTrayRows) {
        if (row.ids[0] != firstId)
            continue;
        *widthId = row.ids[3];
        *lengthId = row.ids[4];
        return TRUE;
    }
    return FALSE;
}
