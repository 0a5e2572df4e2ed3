/*
 * The annotation printed on a sheet: the renderer's annotation record (user
 * name, user and host, document name, sheet number, date and time, each
 * with its position), items sharing a position joined into one line by
 * " : ", each line drawn as text between the annotation brackets.
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/base/res_module.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/gdi_dc.h>
#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstring>
#include <string>

namespace {

enum : WORD {
    S_RESOLUTION = 20,
    S_ANNOTATION_FONT = 357,
    S_ANNOTATION_COLOUR = 373,
};

/* Resource string: the text after the sheet number. */
constexpr UINT kPageSuffixString = 5145;
constexpr int kPageSuffixChars = 9;

/* AnnotationInfo: the flag, six positions, then the texts. */
constexpr size_t kFlag = 0, kPositions = 4, kSheetNumber = 730;
constexpr WORD kItemOff = 0xFFFF;
constexpr int kItems = 6;
constexpr int kUserAndHost = 1, kSheet = 3;

struct Field {
    size_t offset, bytes;
};
/* The text fields of the items in order; the sheet number has none. */
constexpr Field kFields[kItems] = {{16, 128}, {144, 64}, {208, 522}, {0, 0}, {732, 22}, {754, 12}};

/* A text field of the record, up to its terminator or its end. */
std::u16string field_text(const BYTE *info, Field f)
{
    std::u16string text;
    for (size_t at = f.offset; at + 2 <= f.offset + f.bytes; at += 2) {
        const char16_t c = char16_t(plat::load_u16(info, at));
        if (!c)
            break;
        text += c;
    }
    return text;
}

} // namespace

int DOC_DrawAnnotation(HDC hdc, BYTE *settings, const BYTE *query)
{
    BYTE info[ESC_ANNOTATION_SIZE] = {};
    if (DOC_Escape(hdc, ESC_GET_ANNOTATION, nullptr, 0, info, sizeof info) <= 0)
        return -1;
    if (plat::load_u32(info, kFlag) == 0)
        return 1;
    const DWORD begin = 1;
    if (DOC_Escape(hdc, ESC_ANNOTATION_MODE, &begin, sizeof begin) <= 0)
        return -1;

    LOGFONTW font{};
    DOC_GetFont(settings, nullptr, S_ANNOTATION_FONT, &font);
    const COLORREF colour = COLORREF(DOC_GetNumber(settings, nullptr, S_ANNOTATION_COLOUR));
    const int resolution = int(DOC_GetNumber(settings, nullptr, S_RESOLUTION));
    WCHAR suffix[kPageSuffixChars + 1] = {};
    if (LoadStringW(RES_GetResourceModule(), kPageSuffixString, suffix, kPageSuffixChars + 1) <= 0)
        suffix[0] = 0;

    std::u16string texts[kItems];
    WORD positions[kItems];
    for (int i = 0; i < kItems; i++) {
        positions[i] = plat::load_u16(info, kPositions + 2 * size_t(i));
        texts[i] = i == kSheet ? plat::utf8_to_utf16(std::to_string(plat::load_u16(info, kSheetNumber))) + suffix
                               : field_text(info, kFields[i]);
    }

    /* Each position's items on one line, in item order; nothing to print answers 1. */
    int result = 1;
    bool done[kItems] = {};
    for (int i = 0; i < kItems && result != -1; i++) {
        if (done[i] || positions[i] == kItemOff)
            continue;
        std::u16string line = texts[i];
        for (int k = i + 1; k < kItems; k++) {
            if (positions[k] != positions[i])
                continue;
            done[k] = true;
            if (k == kUserAndHost && texts[k].empty())
                continue;
            line += u" : " + texts[k];
        }
        result = DOC_DrawTextWatermark(hdc, query, resolution, positions[i], &font, line.c_str(), colour, 0, 0, 0,
                                       DOC_BOX_PLACED);
    }
    /* The bracket closes whatever happened, so later drawing is not taken for annotation. */
    const DWORD end = 0;
    DOC_Escape(hdc, ESC_ANNOTATION_MODE, &end, sizeof end);
    return result;
}
