/*
 * The page events: at start of page the renderer is told the next page's
 * paper and margins; at end of page and end of document it is asked which
 * decorations (page and sheet watermark, annotation) are due, and they are
 * drawn (doc_watermark.cpp, doc_text_watermark.cpp, doc_annotation.cpp).
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/settings/ppr_paper.h>

#include <plat/memory.h>

#include <vector>

namespace {

enum : WORD {
    S_PAPER_SIZE = 8,
    S_USE_USER_STORE = 463, /* the user's margins first */
};

/* StartPagePaperInfo: paper index (256: no model paper) and four margins, 16 bits each. */
constexpr WORD kNoModelPaper = 256;

/* DecorationQuery: three 32-bit flags (sheet watermark, page watermark, annotation) and two boxes. */
constexpr size_t kQuerySheetWatermark = 0, kQueryPageWatermark = 4, kQueryAnnotation = 8;

/*
 * Set while the page added at end of document for the sheet's decorations
 * is ended: that EndPage raises the end-page event again, which must not
 * draw the same decorations a second time on the page.
 */
thread_local bool t_endingAddedPage = false;

} // namespace

int DOC_OnStartPage(HANDLE printer, HDC hdc)
{
    if (!hdc)
        return -1;
    std::vector<BYTE> image(DOC_SETTINGS_IMAGE_SIZE);
    if (DOC_Escape(hdc, ESC_GET_SETTINGS, nullptr, 0, image.data(), image.size()) <= 0)
        return -1;
    WORD paper = kNoModelPaper;
    WORD margins[4] = {DOC_PRESET_MARGIN, DOC_PRESET_MARGIN, DOC_PRESET_MARGIN, DOC_PRESET_MARGIN};
    WORD code = 0;
    if (PPR_FormToModelPaper(printer, WORD(DOC_GetNumber(image.data(), nullptr, S_PAPER_SIZE)), &code) == 1) {
        WORD found[4] = {DOC_PRESET_MARGIN, DOC_PRESET_MARGIN, DOC_PRESET_MARGIN, DOC_PRESET_MARGIN};
        if (DOC_GetPaperMargins(printer, code, BYTE(DOC_GetNumber(image.data(), nullptr, S_USE_USER_STORE)), found) ==
            0) {
            paper = code;
            for (int i = 0; i < 4; i++)
                margins[i] = found[i];
        }
    }
    BYTE info[ESC_PAGE_INFO_SIZE];
    plat::store_u16(info, 0, paper);
    for (int i = 0; i < 4; i++)
        plat::store_u16(info, 2 + 2 * size_t(i), margins[i]);
    return DOC_Escape(hdc, ESC_SET_PAGE_INFO, info, sizeof info) <= 0 ? -1 : 1;
}

int DOC_OnEndPage(HANDLE, HDC hdc, int endOfDocument)
{
    if (t_endingAddedPage)
        return 1;
    const DWORD which = endOfDocument ? 1 : 0;
    BYTE query[ESC_DECORATION_QUERY_SIZE] = {};
    if (DOC_Escape(hdc, ESC_QUERY_DECORATIONS, &which, sizeof which, query, sizeof query) <= 0)
        return 1;
    const bool pageWatermark = plat::load_u32(query, kQueryPageWatermark) != 0;
    const bool sheetWatermark = plat::load_u32(query, kQuerySheetWatermark) != 0;
    const bool annotation = plat::load_u32(query, kQueryAnnotation) != 0;
    if (!pageWatermark && !sheetWatermark && !annotation)
        return 1;
    std::vector<BYTE> image(DOC_SETTINGS_IMAGE_SIZE);
    if (DOC_Escape(hdc, ESC_GET_SETTINGS, nullptr, 0, image.data(), image.size()) <= 0)
        return 1;

    int result = 1;
    if (pageWatermark)
        result = DOC_DrawWatermark(hdc, image.data(), query);
    /* At end of document the sheet's decorations go on one page added for them. */
    bool added = false;
    auto add_page = [&]() {
        if (endOfDocument && !added) {
            if (StartPage(hdc) <= 0)
                return false;
            added = true;
        }
        return true;
    };
    if (sheetWatermark)
        result = add_page() ? DOC_DrawWatermark(hdc, image.data(), query) : -1;
    if (annotation)
        result = add_page() ? DOC_DrawAnnotation(hdc, image.data(), query) : -1;
    if (added) {
        t_endingAddedPage = true;
        EndPage(hdc);
        t_endingAddedPage = false;
    }
    return result;
}
