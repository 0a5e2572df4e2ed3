/*
 * The attribute lines the header inserts at a marker record of the model:
 * the N-up layout, host address and host name and the job owner (texts of
 * the outside job-language library), the fax resolution and fax options,
 * and the fax address file, which is read once and deleted.
 */
#include "pjl_private.h"

#include <tarvel/base/util_codepage.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/codepage.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/text.h>

namespace {

/* Settings of the inserts. */
constexpr WORD kSourceTray = 13;
constexpr WORD kOutputSource = 265;
constexpr WORD kPagesPerSheet = 295;
constexpr WORD kPoster = 296;
constexpr WORD kFold = 321;
constexpr WORD kFaxAddressAlt = 375;
constexpr WORD kScaling = 388;
constexpr WORD kFaxAddressFile = 1799;
constexpr WORD kFaxResolution = 1803;
constexpr WORD kFaxTxhe = 1859;
constexpr WORD kFaxTrre = 1860;
constexpr WORD kOwnerUser = 5121;
constexpr WORD kOwnerKind = 5127;
constexpr WORD kOwnerUserAlt = 5150;
constexpr WORD kOwnerSwitch = 5163;
constexpr WORD kOwnerUnknown = 5164;
constexpr WORD kOwnerUnknownAlt = 5165;
constexpr WORD kOwnerText = 5174;
constexpr WORD kOwnerKindAlt = 5178;
constexpr WORD kOwnerAnonymous = 5183;

/* The library is told a buffer of these sizes; ours is larger, so an answer is cut where the size says. */
constexpr size_t kAnswerBytes = 256;
/* The host name entry is asked for its text number 32. */
constexpr DWORD kHostNameWhat = 32;

struct Code {
    WORD key;
    WORD code;
};
constexpr Code kPosterCodes[] = {{0x102, 7}, {0x103, 13}, {0x104, 8}, {0x202, 8}, {0x303, 10}, {0x404, 11}};
constexpr Code kNupCodes[] = {{1, 0}, {2, 1}, {4, 2}, {8, 4}, {16, 6}, {32, 12}};
constexpr Code kTrayCodes[] = {{7, 0}, {1, 1}, {3, 2}, {265, 3}, {266, 4}, {267, 5}, {2, 6}, {257, 7}};
constexpr Code kScalingCodes[] = {{3, 9}, {1, 10}, {2, 10}, {7, 10}, {8, 10}};
constexpr WORD kNoTrayCode = 11;
constexpr WORD kNoScalingCode = 8;

bool lookup(std::span<const Code> table, DWORD key, WORD *code)
{
    for (const Code &c : table)
        if (c.key == key) {
            *code = c.code;
            return true;
        }
    return false;
}

/*
 * The word of fax setting `id` when the fax gate holds: words[value], or
 * words[0] for a value past the list.  1 with *word, 0 when the gate is
 * shut, or a read error.
 */
LONG faxWord(const JobHeaderContext *ctx, WORD id, std::span<const LPCWSTR> words, LPCWSTR *word)
{
    LONG gate = pjl_FaxGate(ctx->params);
    if (gate <= 0)
        return gate;
    DWORD v = 0;
    LONG r = PJL_ReadSetting(ctx->params, id, SVT_UINT16, &v);
    if (r < 0)
        return r;
    *word = v < words.size() ? words[v] : words[0];
    return 1;
}

/* A fax option line when the fax gate holds: "@PJL SET JOBATTR="<attribute><word>"". */
LONG faxOption(JobHeaderContext *ctx, PjlBuffer *out, WORD id, LPCWSTR attribute,
               std::span<const LPCWSTR> words)
{
    LPCWSTR word = nullptr;
    LONG r = faxWord(ctx, id, words, &word);
    return r <= 0 ? r : pjl_AppendJobAttrLine(out, attribute, word);
}

/*
 * Asks the library's entry `name` (of type Fn) for a text in a buffer of
 * `size` bytes (call(fn, buffer, &size, &out) makes the call with the
 * entry's other arguments) and appends the answer; PJL_ERR_LIBRARY when the
 * entry is missing or answers 0.
 */
template <typename Fn, typename Call>
LONG askLibrary(JobHeaderContext *ctx, PjlBuffer *out, const char *name, WORD size, Call call)
{
    FARPROC entry = nullptr;
    if (!PJL_GetLibraryEntry(ctx, name, &entry))
        return PJL_ERR_LIBRARY;
    char answer[kAnswerBytes] = {};
    WORD given = size;
    DWORD result = 0;
    if (!call(plat::proc_cast<Fn>(entry), answer, &given, &result))
        return PJL_ERR_LIBRARY;
    return pjl_AppendLibraryAnswer(ctx, answer, size, out);
}

/* Calls an owner entry of the library (with a user text: "...FromInputA") and appends its answer. */
LONG ownerCall(JobHeaderContext *ctx, PjlBuffer *out, WORD kind, LPCWSTR user, WORD layout, WORD outputCode)
{
    if (!user) {
        return askLibrary<PjlOwnerFromHostFn>(ctx, out, PJL_ENTRY_OWNER_FROM_HOST, PJL_OWNER_BYTES,
                                              [&](PjlOwnerFromHostFn fn, LPSTR buffer, WORD *size, DWORD *result) {
                                                  return fn(kind, layout, outputCode, buffer, size, result);
                                              });
    }
    LPSTR ansi = nullptr;
    DWORD length = 0;
    if (!UTL_WideToMultiByteAlloc(user, &ansi, &length, CP_ACP))
        return PJL_ERR_CONVERSION;
    LONG r = askLibrary<PjlOwnerFromInputFn>(ctx, out, PJL_ENTRY_OWNER_FROM_INPUT, PJL_OWNER_BYTES,
                                             [&](PjlOwnerFromInputFn fn, LPSTR buffer, WORD *size, DWORD *result) {
                                                 return fn(kind, ansi, layout, outputCode, buffer, size, result);
                                             });
    GlobalFree(ansi);
    return r;
}

/* Appends `r`'s text and the line end when it wrote text; the error otherwise. */
LONG withLineEnd(LONG r, PjlBuffer *out, LPCWSTR lineEnd, bool always = false)
{
    if (r < 0 || (r == 0 && !always))
        return r;
    LONG lf = PJL_AppendText(lineEnd, out);
    return lf < 0 ? lf : r + lf;
}

} // namespace

LONG PJL_WriteNupString(JobHeaderContext *ctx, PjlBuffer *out)
{
    PjlReader read{ctx->params};
    const DWORD fold = read(kFold, SVT_UINT16);
    if (read.status < 0)
        return read.status;
    WORD code = 0;
    bool found = false;
    if (fold == 2) {
        LONG excluded = pjl_BookletExcluded(ctx);
        if (excluded < 0)
            return excluded;
        found = !excluded;
        code = 1;
    }
    if (!found && fold == 1)
        found = lookup(kPosterCodes, read(kPoster, SVT_UINT16), &code);
    if (!found)
        found = lookup(kNupCodes, read(kPagesPerSheet, SVT_UINT16), &code);
    if (read.status < 0)
        return read.status;
    if (!found)
        return 0;
    return askLibrary<PjlNupFn>(ctx, out, PJL_ENTRY_NUP, PJL_NUP_BYTES,
                                [&](PjlNupFn fn, LPSTR buffer, WORD *size, DWORD *result) {
                                    return fn(code, buffer, size, result);
                                });
}

LONG PJL_WriteHostAddress(JobHeaderContext *ctx, PjlBuffer *out)
{
    LONG gate = pjl_HostGate(ctx->params);
    if (gate <= 0)
        return gate;
    return askLibrary<PjlHostAddressFn>(ctx, out, PJL_ENTRY_HOST_ADDRESS, PJL_HOST_ADDRESS_BYTES,
                                        [](PjlHostAddressFn fn, LPSTR buffer, WORD *size, DWORD *result) {
                                            return fn(buffer, size, result);
                                        });
}

LONG PJL_WriteHostName(JobHeaderContext *ctx, PjlBuffer *out)
{
    LONG gate = pjl_HostGate(ctx->params);
    if (gate <= 0)
        return gate;
    return askLibrary<PjlHostNameFn>(ctx, out, PJL_ENTRY_HOST_NAME, PJL_OWNER_BYTES,
                                     [](PjlHostNameFn fn, LPSTR buffer, WORD *size, DWORD *result) {
                                         return fn(kHostNameWhat, buffer, size, nullptr, result);
                                     });
}

LONG PJL_WriteJobOwner(JobHeaderContext *ctx, PjlBuffer *out)
{
    const JobHeaderParams *p = ctx->params;
    LONG gate = pjl_OwnerGate(p);
    if (gate <= 0)
        return gate;
    const DWORD f = ctx->flags26;
    PjlReader read{p};
    const bool alternate = read(kOwnerSwitch, SVT_BYTE) != 0;
    const DWORD kindValue = read(alternate ? kOwnerKindAlt : kOwnerKind, SVT_UINT16);
    if (read.status < 0)
        return read.status;

    /* The user text of the owner-text models. */
    LPWSTR userText = nullptr;
    bool unknownUser = false;
    if ((f & PJL_F26_OWNER_TEXT) && read(alternate ? kOwnerUnknownAlt : kOwnerUnknown, SVT_BYTE) == 1) {
        if (read(kOwnerAnonymous, SVT_BYTE) == 1) {
            unknownUser = true;
        } else if (read.status >= 0) {
            LONG r = pjl_ReadText(p, kOwnerText, &userText);
            if (r < 0)
                return r;
            if (userText[0] == 0) {
                /* An empty text names no user: the owner comes from the owner kind as usual. */
                GlobalFree(userText);
                userText = nullptr;
            }
        }
    }
    if (read.status < 0)
        return read.status;

    WORD kind = 0, layout = 0, outputCode = 0;
    if (f & (PJL_F26_NUP | PJL_F26_HOST_ADDRESS)) {
        kind = (f & PJL_F26_HOST_NAME) ? 5 : 1;
    } else {
        layout = WORD(read(kPagesPerSheet, SVT_UINT16));
        if (layout == 1) {
            const DWORD fold = read(kFold, SVT_UINT16);
            if (fold == 1) {
                layout = 100;
            } else if (fold == 2) {
                LONG excluded = pjl_BookletExcluded(ctx);
                if (excluded < 0)
                    read.status = excluded;
                else if (!excluded)
                    layout = 2;
            }
        }
        DWORD tray = 0;
        if (f & PJL_F26_OUTPUT_FROM_SOURCE) {
            tray = read(kSourceTray, SVT_INT16);
            if (tray == 15)
                tray = read(kOutputSource, SVT_UINT16);
        } else {
            tray = read(kOutputSource, SVT_UINT16);
            if (tray == 258)
                tray = read(kSourceTray, SVT_INT16);
        }
        if (tray == 4 || tray == 260) {
            if (!lookup(kScalingCodes, read(kScaling, SVT_UINT16), &outputCode))
                outputCode = kNoScalingCode;
        } else if (!lookup(kTrayCodes, tray, &outputCode)) {
            outputCode = kNoTrayCode;
        }
        if (kindValue == 0 || kindValue == 1 || kindValue == 5 || kindValue == 7)
            kind = 3;
        else if (kindValue == 3 || kindValue == 4 || kindValue == 6)
            kind = 4;
        else
            kind = 0;
    }
    LONG r = read.status;
    if (r >= 0 && kind != 0) {
        if (unknownUser || userText) {
            r = ownerCall(ctx, out, kind, unknownUser ? PJL_TEXT_UNKNOWN_USER : userText, layout, outputCode);
        } else if (kindValue == 0 || kindValue == 3) {
            r = ownerCall(ctx, out, kind, nullptr, layout, outputCode);
        } else if (kindValue == 1 || (kindValue >= 4 && kindValue <= 7)) {
            LPWSTR user = nullptr;
            r = pjl_ReadText(p, alternate ? kOwnerUserAlt : kOwnerUser, &user);
            if (r >= 0)
                r = ownerCall(ctx, out, kind, user, layout, outputCode);
            GlobalFree(user);
        } else {
            r = 0;
        }
    }
    GlobalFree(userText);
    return r;
}

LONG PJL_WriteFaxResolution(JobHeaderContext *ctx, PjlBuffer *out)
{
    static constexpr LPCWSTR dpi[] = {u"200", u"200", u"400", u"600"};
    LPCWSTR word = nullptr;
    LONG r = faxWord(ctx, kFaxResolution, dpi, &word);
    return r <= 0 ? r : pjl_AppendAll(out, {u"@PJL SET RESOLUTION=", word, PJL_TEXT_LF});
}

LONG PJL_WriteFareAttribute(JobHeaderContext *ctx, PjlBuffer *out)
{
    static constexpr LPCWSTR words[] = {u"NORMAL", u"FINE", u"SUPERFINE", u"ULTRAFINE"};
    return faxOption(ctx, out, kFaxResolution, u"@FARE=", words);
}

LONG PJL_WriteTrreAttribute(JobHeaderContext *ctx, PjlBuffer *out)
{
    static constexpr LPCWSTR words[] = {u"OFF", u"ONERROR", u"ON"};
    return faxOption(ctx, out, kFaxTrre, u"@TRRE=", words);
}

LONG PJL_WriteTxheAttribute(JobHeaderContext *ctx, PjlBuffer *out)
{
    static constexpr LPCWSTR words[] = {u"OFF", u"ON"};
    return faxOption(ctx, out, kFaxTxhe, u"@TXHE=", words);
}

LONG PJL_WriteFaxAddressFile(JobHeaderContext *ctx, PjlBuffer *out)
{
    JobHeaderParams *p = ctx->params;
    LONG gate = pjl_FaxGate(p);
    if (gate <= 0)
        return gate;
    LPWSTR path = nullptr;
    LONG r = pjl_ReadText(p, kFaxAddressAlt, &path);
    if (r < 0)
        return r;
    if (path[0] != 0) {
        /* The other file setting takes over the address file's. */
        DMB_SetValue(kFaxAddressFile, p->settings, p->printerData, SVT_WSTRING,
                     LONG((lstrlenW(path) + 1) * sizeof(WCHAR)), &path);
    } else {
        GlobalFree(path);
        r = pjl_ReadText(p, kFaxAddressFile, &path);
        if (r < 0)
            return r;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        GlobalFree(path);
        return 0;
    }
    /* One byte more than the file can give, so the text always ends in a zero byte. */
    auto *text = static_cast<LPSTR>(GlobalAlloc(GPTR, PJL_FAX_FILE_BYTES + 1));
    DWORD got = 0;
    if (text && !ReadFile(file, text, PJL_FAX_FILE_BYTES, &got, nullptr))
        got = 0;
    CloseHandle(file);
    DeleteFileW(path);
    GlobalFree(path);
    if (!text)
        return PJL_ERR_NO_MEMORY;
    text[got] = 0;
    r = PJL_AppendAnsiText(text, out);
    GlobalFree(text);
    return r;
}

LONG PJL_WriteMarkerInserts(JobHeaderContext *ctx, PjlBuffer *out, LPCWSTR lineEnd)
{
    const DWORD f = ctx->flags26;
    LONG total = 0;
    LONG r = 0;
    if (f & PJL_F26_NUP) {
        r = withLineEnd(PJL_WriteNupString(ctx, out), out, lineEnd, true);
        if (r < 0)
            return r;
        total += r;
    }
    if (f & PJL_F26_HOST_ADDRESS) {
        const DWORD before = out->length;
        r = withLineEnd(PJL_WriteHostAddress(ctx, out), out, lineEnd);
        if (r < 0) {
            /* A host address the library cannot give is left out. */
            if (pjl_IsOutputError(r))
                return r;
            pjl_Rewind(out, before);
            r = 0;
        }
        total += r;
    }
    for (LONG (*step)(JobHeaderContext *, PjlBuffer *) :
         {PJL_WriteFaxResolution, PJL_WriteFareAttribute, PJL_WriteTrreAttribute, PJL_WriteTxheAttribute}) {
        r = step(ctx, out);
        if (r < 0)
            return r;
        total += r;
    }
    r = withLineEnd(PJL_WriteJobOwner(ctx, out), out, lineEnd);
    if (r < 0)
        return r;
    total += r;
    r = PJL_WriteFaxAddressFile(ctx, out);
    if (r < 0)
        return r;
    total += r;
    if (f & PJL_F26_HOST_NAME) {
        r = withLineEnd(PJL_WriteHostName(ctx, out), out, lineEnd);
        if (r < 0)
            return r;
        total += r;
    }
    return total;
}
