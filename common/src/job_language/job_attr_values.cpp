/*
 * The values the job header writes behind the commands of the model's
 * job-language records: the dispatch by setting identifier, the plain
 * formatting of a setting by its type, and the formatters of copies, the
 * one-time text, codes without leading zeros, the document name, number
 * lists, the job identifier and the fax device's own values.  Each writes
 * the key and its value, or nothing (0) when there is no value to write.
 */
#include "pjl_private.h"

#include <tarvel/base/scramble_wide.h>
#include <tarvel/base/util_codepage.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/codepage.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>

namespace {

/* Identifiers with a formatter of their own. */
constexpr WORD kCopies = 12;
constexpr WORD kCollate = 18;
constexpr WORD kOneTimeText = 329;
constexpr WORD kNameSource = 335;
constexpr WORD kPaperCode = 410;
constexpr WORD kPaperCode2 = 411;
constexpr WORD kFeedEdge = 412;
constexpr WORD kFeedEdge2 = 438;
constexpr WORD kCodeText = 435;
constexpr WORD kStoredName = 1831;
constexpr WORD kNumberFirst = 1834;
constexpr WORD kNumberLast = 1853;
constexpr WORD kUserName = 8193;
constexpr WORD kJobId = 8201;
constexpr WORD kScheduledTime = 0x8010;
constexpr WORD kDocumentName = 0x9026;

/* Settings the formatters read. */
constexpr WORD kOneTimeOff = 1321;
constexpr WORD kOptionTray4 = 4099;
constexpr WORD kOptionOther = 4123;
constexpr WORD kProtocolClass = 8205;
constexpr DWORD kCopiesOneClass = 0x1010903;
constexpr WORD kFaxDelayed = 1800;
constexpr WORD kFaxHour = 1801;
constexpr WORD kFaxMinute = 1802;
constexpr WORD kFaxSender = 1865;

/* The one-time text: a text that reaches this many bytes is cut to one byte less. */
constexpr int kOneTimeLimit = 49;

/* Document names: whole characters within 24 bytes with double-byte names, else at most 12 bytes. */
constexpr int kDbcsNameBytes = 24;
constexpr int kNameBytes = 12;
constexpr PjlRange kNameSingles[] = {{0x20, 0x7E}, {0xA1, 0xDF}};
constexpr PjlRange kNameDoubles[] = {{0x8140, 0xFCFC}};

/* Numbers of the number list. */
constexpr WORD kListLow = 2;
constexpr WORD kListHigh = 9998;

/* Key + an ANSI value (0 and nothing written for an empty value). */
LONG keyAndAnsi(LPCWSTR key, LPCSTR value, PjlBuffer *out)
{
    if (!value || value[0] == 0)
        return 0;
    LONG k = PJL_AppendText(key, out);
    if (k < 0)
        return k;
    LONG v = PJL_AppendAnsiText(value, out);
    return v < 0 ? v : k + v;
}

/* Key + a wide value (0 and nothing written for an empty value). */
LONG keyAndValue(LPCWSTR key, LPCWSTR value, PjlBuffer *out)
{
    if (!value || value[0] == 0)
        return 0;
    return PJL_AppendKeyValue(key, value, out);
}

/* A wide text in the ANSI code page, cut to whole characters within `limit` bytes; null on failure. */
LPSTR ansiCut(LPCWSTR text, int limit)
{
    LPSTR ansi = nullptr;
    DWORD length = 0;
    if (!UTL_WideToMultiByteAlloc(text, &ansi, &length, CP_ACP))
        return nullptr;
    int keep = UTL_AnsiPrefixLength(ansi, int(length), limit);
    ansi[keep] = 0;
    return ansi;
}

} // namespace

LONG PJL_FormatPlainValue(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out)
{
    if (!key || !params)
        return PJL_ERR_NULL_ARGUMENT;
    PjlSettingValue raw{};
    LONG r = pjl_ReadRaw(params, id, &raw);
    if (r < 0)
        return r;
    WCHAR text[32] = {};
    const BYTE *s = raw.slot;
    auto sized = [&](LONG size) { return raw.size == size; };
    switch (raw.type) {
    case SVT_FLAG:
        if (!sized(4))
            return PJL_ERR_SIZE;
        return PJL_AppendKeyValue(key, plat::load<DWORD>(s) == 1 ? u"ON" : u"OFF", out);
    case SVT_INT16:
        if (!sized(2))
            return PJL_ERR_SIZE;
        wsprintfW(text, u"%hd", int(plat::load<SHORT>(s)));
        break;
    case SVT_UINT16:
        if (!sized(2))
            return PJL_ERR_SIZE;
        wsprintfW(text, u"%hu", unsigned(plat::load<WORD>(s)));
        break;
    case SVT_INT32:
        if (!sized(4))
            return PJL_ERR_SIZE;
        wsprintfW(text, u"%ld", plat::load<LONG>(s));
        break;
    case SVT_UINT32:
        if (!sized(4))
            return PJL_ERR_SIZE;
        wsprintfW(text, u"%lu", plat::load<DWORD>(s));
        break;
    case SVT_BYTE:
        if (!sized(1))
            return PJL_ERR_SIZE;
        wsprintfW(text, u"%hd", int(s[0]));
        break;
    case SVT_LOGFONT_MEMBER:
        if (!sized(4))
            return PJL_ERR_SIZE;
        wsprintfW(text, u"%d", plat::load<LONG>(s));
        break;
    case SVT_WSTRING: {
        LPWSTR value = nullptr;
        r = pjl_CopySettingText(&raw, &value);
        if (r < 0)
            return r;
        r = PJL_AppendKeyValue(key, value, out);
        GlobalFree(value);
        return r;
    }
    case 7:
        return PJL_ERR_VALUE_TYPE;
    default:
        return PJL_ERR_FORMAT_TYPE;
    }
    return PJL_AppendKeyValue(key, text, out);
}

LONG pjl_FormatCopies(LPCWSTR key, JobHeaderContext *ctx, PjlBuffer *out)
{
    const JobHeaderParams *p = ctx->params;
    /* Pages the driver repeats for each copy must not be multiplied again by
       the printer; copies the printer makes keep their count. */
    if (p->copiesBy == PJL_COPIES_DRIVER)
        return PJL_AppendKeyValue(key, u"1", out);
    if (p->copiesBy == PJL_COPIES_PRINTER)
        return PJL_FormatPlainValue(key, kCopies, p, out);
    const DWORD both = PJL_F26_HCPN | PJL_F26_COPIES_ONE;
    if ((ctx->flags26 & both) == both && pjl_Effective(p, kOptionTray4) == 0 && pjl_Effective(p, kOptionOther) == 0 &&
        pjl_Effective(p, kProtocolClass) >= kCopiesOneClass) {
        DWORD collate = 0;
        LONG r = PJL_ReadSetting(p, kCollate, SVT_INT16, &collate);
        if (r < 0)
            return r;
        if (collate == 1)
            return PJL_AppendKeyValue(key, u"1", out);
    }
    return PJL_FormatPlainValue(key, kCopies, p, out);
}

LONG pjl_FormatOneTimeText(LPCWSTR key, JobHeaderParams *params, PjlBuffer *out)
{
    DWORD off = 0;
    LONG r = PJL_ReadSetting(params, kOneTimeOff, SVT_FLAG, &off);
    if (r < 0)
        return r;
    if (off != 0)
        return 0;
    LPWSTR text = nullptr;
    r = pjl_ReadText(params, kOneTimeText, &text);
    if (r < 0)
        return r;
    if (text[0] == 0) {
        GlobalFree(text);
        return 0;
    }
    LPSTR ansi = ansiCut(text, kOneTimeLimit - 1);
    GlobalFree(text);
    if (!ansi)
        return PJL_ERR_CONVERSION;
    r = keyAndAnsi(key, ansi, out);
    GlobalFree(ansi);
    if (r > 0) {
        /* Written once: the text is emptied in the caller's settings. */
        LPCWSTR empty = u"";
        DMB_SetValue(kOneTimeText, params->settings, params->printerData, SVT_WSTRING, sizeof(WCHAR), &empty);
    }
    return r;
}

LONG pjl_FormatWithoutLeadingZeros(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out)
{
    LPWSTR text = nullptr;
    LONG r = pjl_ReadText(params, id, &text);
    if (r < 0)
        return r;
    LPCWSTR digits = text;
    while (*digits == u'0')
        ++digits;
    r = keyAndValue(key, digits, out);
    GlobalFree(text);
    return r;
}

LONG pjl_FormatDocumentName(LPCWSTR key, const JobHeaderContext *ctx, PjlBuffer *out)
{
    LPCWSTR name = ctx->params->documentName;
    if (!name)
        return 0;
    const bool dbcs = (ctx->flags26 & PJL_F26_DBCS_NAME) != 0;
    if (!PJL_IsPrintableText(name, kNameSingles, dbcs ? std::span<const PjlRange>(kNameDoubles)
                                                      : std::span<const PjlRange>()))
        return 0;
    LPSTR ansi = nullptr;
    DWORD length = 0;
    if (!UTL_WideToMultiByteAlloc(name, &ansi, &length, CP_ACP))
        return PJL_ERR_CONVERSION;
    LONG r = 0;
    if (dbcs) {
        ansi[UTL_AnsiPrefixLength(ansi, int(length), kDbcsNameBytes)] = 0;
        r = keyAndAnsi(key, ansi, out);
    } else if (length <= DWORD(kNameBytes)) {
        r = keyAndAnsi(key, ansi, out);
    }
    GlobalFree(ansi);
    return r;
}

LONG pjl_FormatNumberList(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out)
{
    WORD values[kNumberLast - kNumberFirst + 1] = {};
    int count = 0;
    for (WORD id = kNumberFirst; id <= kNumberLast; ++id) {
        DWORD v = 0;
        LONG r = PJL_ReadSetting(params, id, SVT_UINT16, &v);
        if (r < 0)
            return r;
        if (v >= kListLow && v <= kListHigh)
            values[count++] = WORD(v);
    }
    std::sort(values, values + count);
    count = int(std::unique(values, values + count) - values);
    if (count == 0)
        return 0;
    /* At most 20 numbers of four digits and their colons. */
    WCHAR text[128] = {};
    WCHAR next[128] = {};
    wsprintfW(text, u"%hu", unsigned(values[0]));
    for (int i = 1; i < count; ++i) {
        wsprintfW(next, u"%s:%hu", text, unsigned(values[i]));
        lstrcpyW(text, next);
    }
    return PJL_AppendKeyValue(key, text, out);
}

LONG pjl_FormatJobId(LPCWSTR key, const JobHeaderParams *params, PjlBuffer *out)
{
    if (params->jobIdPresent != 1)
        return 0;
    char id[PJL_JOB_ID_BYTES + 1] = {};
    std::memcpy(id, params->jobId, PJL_JOB_ID_BYTES);
    return keyAndAnsi(key, id, out);
}

LONG PJL_FormatFaxValue(LPCWSTR key, WORD id, const JobHeaderParams *params, PjlBuffer *out)
{
    if (id == kFaxDelayed) {
        if (pjl_Effective(params, kFaxDelayed) != 1)
            return 0;
        WCHAR text[32] = {};
        wsprintfW(text, u"%02d:%02d", int(pjl_Effective(params, kFaxHour)), int(pjl_Effective(params, kFaxMinute)));
        return PJL_AppendKeyValue(key, text, out);
    }
    if (id == kFaxSender) {
        LPWSTR text = nullptr;
        LONG r = pjl_ReadText(params, id, &text);
        if (r < 0)
            return r;
        if (text[0] == 0) {
            GlobalFree(text);
            return 0;
        }
        /* A name that is to be hidden never goes out plain: a failed scramble fails the value. */
        WCHAR *scrambled = nullptr;
        BOOL ok = UTL_ScrambleWide(1, text, &scrambled);
        GlobalFree(text);
        if (!ok)
            return PJL_ERR_CONVERSION;
        r = keyAndValue(key, scrambled, out);
        GlobalFree(scrambled);
        return r;
    }
    return 0;
}

LONG PJL_FormatValue(ModelFileReader *main, ModelFileReader *companion, LPCWSTR key, WORD id,
                     JobHeaderParams *params, JobHeaderContext *ctx, PjlBuffer *out)
{
    (void)main;
    (void)companion;
    if (!key || !params || !ctx || !out)
        return PJL_ERR_NULL_ARGUMENT;
    switch (id) {
    case kCopies: return pjl_FormatCopies(key, ctx, out);
    case kOneTimeText: return pjl_FormatOneTimeText(key, params, out);
    case kPaperCode:
    case kPaperCode2: return pjl_FormatPaperName(key, id, params, out);
    case kFeedEdge:
    case kFeedEdge2: return pjl_FormatFeedEdge(key, id, params, out);
    case kCodeText: return pjl_FormatWithoutLeadingZeros(key, id, params, out);
    case kStoredName: {
        DWORD source = 0;
        LONG r = PJL_ReadSetting(params, kNameSource, SVT_UINT16, &source);
        if (r < 0)
            return r;
        if (source == 1)
            return pjl_FormatDocumentName(key, ctx, out);
        if (source != 0)
            return PJL_ERR_NAME_SOURCE;
        r = PJL_FormatPlainValue(key, kStoredName, params, out);
        return r == PJL_ERR_READ || r == PJL_ERR_RANGE ? PJL_ERR_NOT_FOUND : r;
    }
    case kDocumentName: return pjl_FormatDocumentName(key, ctx, out);
    case kNumberFirst: return pjl_FormatNumberList(key, params, out);
    case kUserName: return pjl_FormatUserName(key, params, out);
    case kJobId: return pjl_FormatJobId(key, params, out);
    case kScheduledTime: return pjl_FormatScheduledTime(key, params, out);
    default: break;
    }
    LONG fax = pjl_IsFaxDevice(ctx);
    if (fax < 0)
        return fax;
    if (fax) {
        LONG r = PJL_FormatFaxValue(key, id, params, out);
        if (r != 0)
            return r;
    }
    return PJL_FormatPlainValue(key, id, params, out);
}
