/*
 * The fax destinations of a fax job's header: one destination line per
 * entry of the FaxSendList block that the header parameters point to, from
 * the first to the last entry of the cursor, with the dialling prefixes of
 * the printer data.
 */
#include "pjl_private.h"

#include <tarvel/fax_layout.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/fax_line.h>

#include <plat/text.h>

#include <cstring>

namespace {

constexpr WORD kDestinationCount = 380;
constexpr WORD kDialSetting = 4111;
constexpr WORD kFirstPrefix = 5141;
constexpr WORD kFirstFlag = 5142;
constexpr WORD kSecondPrefix = 5143;
constexpr WORD kSecondFlag = 5144;
constexpr WORD kThirdFlag = 5145;

/* Characters a dialling prefix keeps. */
constexpr int kPrefixChars = 5;

/* The effective text of a prefix setting, at most five characters (empty when it cannot be read). */
void prefix(const JobHeaderParams *p, WORD id, WCHAR (&out)[kPrefixChars + 1])
{
    out[0] = 0;
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValueChecked(id, p->settings, p->printerData, &type, &size, slot) != 0 || type != SVT_WSTRING)
        return;
    const BYTE *field = plat::load<const BYTE *>(slot);
    int chars = 0;
    while (field && chars < kPrefixChars && (chars + 1) * LONG(sizeof(WCHAR)) <= size) {
        WCHAR c = plat::load<WCHAR>(field + chars * sizeof(WCHAR));
        if (c == 0)
            break;
        out[chars++] = c;
    }
    out[chars] = 0;
}

} // namespace

LONG PJL_WriteFaxAttributes(JobHeaderContext *ctx, PjlBuffer *out)
{
    const JobHeaderParams *p = ctx->params;
    const PjlFaxCursor *cursor = p->faxCursor;
    if (!cursor)
        return 0;
    DWORD count = 0;
    LONG r = PJL_ReadSetting(p, kDestinationCount, SVT_UINT16, &count);
    if (r < 0)
        return r;
    if (cursor->first > cursor->last || cursor->last >= count)
        return PJL_ERR_NOT_FOUND;

    FaxDialling dialling{};
    dialling.setting4111 = pjl_Effective(p, kDialSetting);
    prefix(p, kFirstPrefix, dialling.firstPrefix);
    dialling.firstFlag = WORD(pjl_Effective(p, kFirstFlag));
    prefix(p, kSecondPrefix, dialling.secondPrefix);
    dialling.secondFlag = WORD(pjl_Effective(p, kSecondFlag));
    dialling.thirdFlag = WORD(pjl_Effective(p, kThirdFlag));

    /* The block must be whole before anything is read from it. */
    BYTE header[FAX_HEADER_SIZE] = {};
    if (!cursor->list || !DPF_CheckFaxList(cursor->list, cursor->listBytes, nullptr) ||
        !FAX_GetListHeader(cursor->list, header))
        return PJL_ERR_NOT_FOUND;
    if (plat::load<WORD>(header + FAX_OFF_COUNT) != count)
        return 0;

    const int kind = (ctx->flags26 & PJL_F26_FAX_KIND2) ? FAX_DEST_SCRAMBLED : FAX_DEST_NUMBER;
    LONG total = 0;
    for (DWORD i = cursor->first; i <= cursor->last; ++i) {
        BYTE entry[FAX_ENTRY_SIZE] = {};
        if (!FAX_GetListEntry(cursor->list, i, entry))
            return PJL_ERR_NOT_FOUND;
        char line[FAX_LINE_CAPACITY + 1] = {};
        LONG length = 0;
        if (!FAX_WriteFaxEntryAttrs(kind, entry, &dialling, FAX_LINE_CAPACITY, pjl_IsJobAttrForm(ctx), 0, line,
                                    &length) ||
            length < 0 || DWORD(length) > FAX_LINE_CAPACITY)
            return PJL_ERR_NOT_FOUND;
        line[length] = 0;
        r = PJL_AppendAnsiText(line, out);
        if (r < 0)
            return r;
        total += r;
    }
    return total;
}
