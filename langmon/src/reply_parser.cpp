/*
 * The PJL reply parser: cuts the text a bidirectional port read into
 * replies (each ends with a form feed), finds each reply's kind by its first
 * line and walks its keyword lines into status values.  A reply that is not
 * complete yet is held and parsed again once the rest has come; a reply
 * that cannot be parsed is skipped to its form feed.  The text comes from
 * the device: every read stops at the text's end, values are cut at their
 * buffers, and unknown replies and keywords are skipped.
 */
#include "reply_parser.h"

#include <plat/clock.h>

#include <cstring>

namespace {

/* ---- Small line helpers -------------------------------------------------------- */

bool is_line_end(char c) { return c == '\r' || c == '\n' || c == '\f' || c == 0; }

const char *find_ff(const char *p) { return std::strchr(p, '\f'); }

/* A decimal number at p (at most 9 digits taken); false when there is no digit. */
bool read_number(const char *p, DWORD *value)
{
    DWORD v = 0;
    int digits = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (digits++ < 9)
            v = v * 10 + DWORD(*p - '0');
    *value = v;
    return digits > 0;
}

/* Stores a 32-bit value into an allocated row when it differs, marking it changed. */
void store_allocated(MonitorPort *port, const char *name, const void *value)
{
    StatusVariable *row = LMS_FindVariable(name, port->statusVariables, port, TRUE);
    if (row && LMS_StoreValue(row, value))
        row->changed = 1;
}

/* The form feed ending a single-value reply whose value line starts at p: 5 at it, else 6. */
int end_at_ff(const char *p, const char **end)
{
    const char *ff = find_ff(p);
    *end = ff ? ff : p;
    return ff ? LM_REPLY_DONE : LM_REPLY_MORE;
}

/* ---- Keyword handlers of the status replies -------------------------------------- */

int skip_line(const char *text, const char **end, ReplyParser *, MonitorPort *)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return 0;
    *end = LMS_NextLine(text);
    return 1;
}

/* Appends one decoded UTF-8 character to out (invalid bytes become U+FFFD); the bytes used. */
size_t decode_utf8(const unsigned char *s, const unsigned char *limit, char32_t *out)
{
    const unsigned char c = s[0];
    size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || s + n > limit) {
        *out = 0xFFFD;
        return 1;
    }
    char32_t v = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80) {
            *out = 0xFFFD;
            return 1;
        }
        v = v << 6 | (s[i] & 0x3F);
    }
    *out = v;
    return n;
}

int on_display(const char *text, const char **end, ReplyParser *, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return 0;
    const char *next = LMS_NextLine(text);
    if (text[0] != '=' || text[1] != '"') {
        *end = next;
        return 1;
    }
    /* UTF-8 up to the carriage return, as UTF-16 without its last character (the closing quote) */
    const char *from = text + 2;
    const char *cr = from;
    while (!is_line_end(*cr))
        ++cr;
    char16_t chars[64];
    size_t count = 0;
    for (const char *p = from; p < cr && count < 64;) {
        char32_t c;
        p += decode_utf8(reinterpret_cast<const unsigned char *>(p), reinterpret_cast<const unsigned char *>(cr), &c);
        if (c >= 0x10000) {
            if (count + 2 > 64)
                break;
            chars[count++] = char16_t(0xD800 + ((c - 0x10000) >> 10));
            chars[count++] = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            chars[count++] = char16_t(c);
        }
    }
    if (count)
        --count;
    BYTE value[132] = {};
    const DWORD head = 16;
    std::memcpy(value, &head, 4);
    char16_t shown[32] = {};
    const size_t n = count < 32 ? count : 32;
    for (size_t i = 0; i < n; ++i)
        shown[i] = chars[i] == 0x2713 ? u'V' : chars[i];
    if (shown[23] == 0xE001 && shown[31] == 0xE002)
        for (size_t i = 23; i <= 31; ++i)
            shown[i] = u' ';
    std::memcpy(value + 4, shown, sizeof shown);
    LMP_Lock(port);
    StatusVariable *row = LMS_LookupVariable("PrinterDisplay", port);
    if (row && LMS_StoreValue(row, value))
        row->changed = 1;
    LMP_Unlock(port);
    if (!row)
        return 0;
    *end = next;
    return 1;
}

const KeywordRow kStatusKeywords[] = {{"CODE", skip_line}, {"DISPLAY", on_display}, {"ONLINE", skip_line}, {}};
const KeywordRow kEndOfJobKeywords[] = {{"END", skip_line}, {"NAME", LMS_OnJobName}, {"PAGE", skip_line}, {}};
const KeywordRow kJobKeywords[] = {{"START", LMS_OnJobStart}, {"END", LMS_OnJobEnd},           {"NAME", LMS_OnJobName},
                                   {"PAGE", skip_line},       {"DISPLAY", on_display},         {"CANCELED", LMS_OnJobCanceled},
                                   {"RESULT", LMS_OnJobCanceled}, {}};

const KeywordRow *match_keyword(const KeywordRow *rows, const char *line)
{
    for (const KeywordRow *k = rows; k && k->keyword; ++k)
        if (std::strncmp(line, k->keyword, std::strlen(k->keyword)) == 0)
            return k;
    return nullptr;
}

/* ---- Reply handlers ------------------------------------------------------------- */

int walk_lines(const char *text, const char **end, ReplyParser *parser, MonitorPort *port, const KeywordRow *rows)
{
    const char *p = text;
    while (*p && *p != '\f') {
        const KeywordRow *k = match_keyword(rows, p);
        const char *next = p;
        if (!k || !k->handler(p + std::strlen(k->keyword), &next, parser, port))
            break;
        p = next;
    }
    *end = p;
    return *p == '\f' ? LM_REPLY_DONE : LM_REPLY_MORE;
}

int on_info_status(const char *t, const char **e, ReplyParser *r, MonitorPort *p)
{
    return walk_lines(t, e, r, p, kStatusKeywords);
}
int on_ustatus_eoj(const char *t, const char **e, ReplyParser *r, MonitorPort *p)
{
    return walk_lines(t, e, r, p, kEndOfJobKeywords);
}
int on_ustatus_job(const char *t, const char **e, ReplyParser *r, MonitorPort *p)
{
    return walk_lines(t, e, r, p, kJobKeywords);
}

int on_info_page_count(const char *text, const char **end, ReplyParser *, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return LM_REPLY_MORE;
    const char *next = LMS_NextLine(text);
    if (*next != '\f')
        return end_at_ff(next, end);
    /* the number follows the key and its equals sign: from the line's 11th character */
    const char *lineEnd = LMS_LineEnd(text);
    DWORD count = 0;
    if (lineEnd - text > 10 && read_number(text + 10, &count)) {
        LMP_Lock(port);
        if (StatusVariable *row = LMS_FindVariable("PageCount", port->statusVariables, port, TRUE)) {
            LMS_StoreValue(row, &count);
            row->changed = 1;
        }
        LMP_Unlock(port);
    }
    *end = next;
    return LM_REPLY_DONE;
}

int on_service_tag(const char *text, const char **end, ReplyParser *, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return LM_REPLY_MORE;
    const size_t length = size_t(LMS_LineEnd(text) - text);
    LMP_Lock(port);
    std::memset(port->serviceTag, 0, sizeof port->serviceTag);
    std::memcpy(port->serviceTag, text, length < 7 ? length : 7);
    if (port->refreshActive) {
        char tag[32] = {};
        std::memcpy(tag, port->serviceTag, 7);
        store_allocated(port, "ServiceTag", tag);
    }
    LMP_Unlock(port);
    return end_at_ff(LMS_NextLine(text), end);
}

const char *const kDisplayLanguages[] = {"ENGLISH",   "FRENCH", "GERMAN",     "ITALIAN", "SPANISH",
                                         "DANISH",    "DUTCH",  "FINNISH",    "NORWEGIAN", "POLISH",
                                         "PORTUGUESE", "SWEDISH", "CHINESE", "JAPANESE"};

int on_display_lang(const char *text, const char **end, ReplyParser *, MonitorPort *port)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return LM_REPLY_MORE;
    DWORD language = 0;
    for (DWORD i = 0; i < sizeof kDisplayLanguages / sizeof kDisplayLanguages[0]; ++i) {
        if (std::strncmp(text, kDisplayLanguages[i], std::strlen(kDisplayLanguages[i])) == 0) {
            language = i + 1;
            break;
        }
    }
    LMP_Lock(port);
    port->displayLang = language;
    if (port->refreshActive)
        store_allocated(port, "DisplayLang", &language);
    LMP_Unlock(port);
    return end_at_ff(LMS_NextLine(text), end);
}

const PjlReplyRow kEmptyReply = {"", nullptr, nullptr};

const PjlReplyRow kReplies[] = {
    {"@PJL INFO STATUS", on_info_status, kStatusKeywords},
    {"@PJL USTATUS EOJ", on_ustatus_eoj, kEndOfJobKeywords},
    {"@PJL USTATUS DEVICE", on_info_status, kStatusKeywords},
    {"@PJL USTATUS JOB", on_ustatus_job, kJobKeywords},
    {"@PJL USTATUS PAGE", LMS_OnUstatusPage, nullptr},
    {"@PJL INFO PAGECOUNT", on_info_page_count, nullptr},
    {"@PJL INFO VARIABLES", LMS_OnInfoVariables, nullptr},
    {"@PJL INQUIRE", LMS_OnInquire, nullptr},
    {"@PJL INFO CONFIG", LMS_OnInfoConfig, nullptr},
    {"@PJL INFO SERVICETAG", on_service_tag, nullptr},
    {"@PJL DINQUIRE LANG", on_display_lang, nullptr},
};

bool starts_with(const char *text, const char *key) { return std::strncmp(text, key, std::strlen(key)) == 0; }

/* Skips text to its next form feed: 5 at it, else 6 with skipping on. */
int skip_to_ff(const char *text, const char **end, ReplyParser *parser)
{
    if (const char *ff = find_ff(text)) {
        parser->skipping = 0;
        *end = ff;
        return LM_REPLY_DONE;
    }
    *end = text + std::strlen(text);
    parser->skipping = 1;
    return *text ? LM_REPLY_MORE : LM_REPLY_DONE;
}

} // namespace

const char *LMS_LineEnd(const char *p)
{
    while (!is_line_end(*p))
        ++p;
    return p;
}

bool LMS_LineComplete(const char *p) { return *LMS_LineEnd(p) != 0; }

const char *LMS_NextLine(const char *p)
{
    p = LMS_LineEnd(p);
    if (*p == '\r')
        ++p;
    if (*p == '\n')
        ++p;
    return p;
}

ReplyParser *LMS_PortParser(MonitorPort *port)
{
    if (!port)
        return nullptr;
    if (!port->replyParser) {
        port->replyParser = static_cast<ReplyParser *>(LMU_Alloc(sizeof(ReplyParser)));
        if (port->replyParser)
            LMS_ResetReplyParser(port->replyParser, TRUE);
    }
    return port->replyParser;
}

void LMS_ResetReplyParser(ReplyParser *parser, BOOL freeRecord)
{
    if (!parser)
        return;
    parser->partial = 0;
    LMU_Free(parser->savedText);
    parser->savedText = nullptr;
    parser->current = &kEmptyReply;
    parser->lastResult = LM_REPLY_DONE;
    parser->skipping = 0;
    parser->inquireMode = 0;
    parser->recordFlags = 0;
    parser->repeatMark = 0;
    if (freeRecord) {
        LMU_Free(parser->record);
        parser->record = nullptr;
        parser->recordSize = 0;
        parser->recordState = 0;
    }
}

void LMS_FreeReplyParser(MonitorPort *port)
{
    if (!port || !port->replyParser)
        return;
    LMS_ResetReplyParser(port->replyParser, TRUE);
    LMU_Free(port->replyParser);
    port->replyParser = nullptr;
}

int LMS_DispatchReply(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    *end = text;
    if (parser->skipping)
        return skip_to_ff(text, end, parser);
    const PjlReplyRow *current = parser->current;
    if (parser->lastResult == LM_REPLY_MORE && current && current->handler && !starts_with(text, current->firstLine))
        return current->handler(text, end, parser, port); /* the rest of a reply begun in an earlier read */
    for (const PjlReplyRow &row : kReplies) {
        if (!starts_with(text, row.firstLine))
            continue;
        if (!LMS_LineComplete(text))
            break;
        parser->current = &row;
        /* an inquiry's variable name follows on its first line, after one separator */
        const char *body = row.handler == LMS_OnInquire ? text + std::strlen(row.firstLine) + 1 : LMS_NextLine(text);
        return row.handler(body, end, parser, port);
    }
    if (text[0] == '@' && !LMS_LineComplete(text))
        return LM_REPLY_MORE; /* wait for the rest of the line */
    return skip_to_ff(text, end, parser);
}

int LMS_FeedReply(const char *text, const char **cursor, MonitorPort *port, BOOL notify, DWORD *)
{
    if (!text || !cursor || !*cursor || !port)
        return 2;
    LMP_Lock(port);
    ReplyParser *parser = LMS_PortParser(port);
    if (!parser) {
        LMP_Unlock(port);
        return 2;
    }
    const char *at = *cursor;
    const char *end = at;
    const int result = LMS_DispatchReply(at, &end, parser, port);
    parser->lastResult = DWORD(result);
    int answer = 2;
    if (result == LM_REPLY_DONE) {
        if (notify) {
            LMS_NotifyChanged(port);
            LMS_ClearErrorValues(port, notify);
            LMS_PublishPrinterStatus(port);
        }
        LMS_ResetReplyParser(parser, notify);
        *cursor = *end == '\f' ? end + 1 : end;
        answer = 0;
    } else if (result == LM_REPLY_MORE && parser->skipping) {
        *cursor = end;
        answer = LM_REPLY_MORE;
    } else if (result == LM_REPLY_MORE) {
        const bool repeated = parser->savedText && parser->repeatMark && std::strcmp(parser->savedText, at) == 0;
        /* a reply whose form feed has come but that the parser could not finish is malformed: it is
           dropped to its form feed instead of being held while every later reply piles up behind it */
        const char *ff = find_ff(at);
        if (repeated || ff) {
            LMS_ResetReplyParser(parser, TRUE);
            if (ff) {
                LMS_ResetReplyParser(parser, TRUE);
                *cursor = ff + 1;
                answer = 0;
            } else {
                parser->skipping = 1;
                *cursor = at + std::strlen(at);
                answer = LM_REPLY_MORE;
            }
        } else {
            parser->repeatMark = parser->savedText ? 1 : 0;
            LMU_Free(parser->savedText);
            parser->savedText = LMU_DupNarrow(at);
            parser->partial = 1;
            answer = 1;
        }
    }
    LMP_Unlock(port);
    return answer;
}
