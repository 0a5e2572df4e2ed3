/*
 * The panel settings and configuration the device reports: the INFO
 * VARIABLES and INQUIRE replies (one setting a line, or the value on the
 * line after an inquiry) and the INFO CONFIG reply (trays, duplex unit,
 * output trays).  Settings the status table has no value for only consume
 * their line.
 */
#include "reply_parser.h"

#include <cstring>

namespace {

struct ValueRow {
    const char *text;
    DWORD value;
};

constexpr ValueRow kSortValues[] = {{"ON", 1}, {"OFF", 0}, {}};
constexpr ValueRow kDirectionValues[] = {{"SHORT", 0}, {"LONG", 1}, {}};
constexpr ValueRow kOutBinValues[] = {{"OUTTRAY1", 1}, {"OUTTRAY2", 2}, {}};
constexpr ValueRow kPaperTypes[] = {{"NORMAL", 16}, {"HEAVY", 18},   {"OHP", 2},      {"CARD", 3},    {"RECYCLE", 16},
                                    {"COATED", 17}, {"LABEL", 6},    {"ENVELOPE", 7}, {"MLIGHT", 11}, {"COATED2", 17},
                                    {"SHEAVY", 18}, {"NOSEL", 14},   {"USER", 19},    {}};

bool starts(const char *text, const char *key) { return std::strncmp(text, key, std::strlen(key)) == 0; }

/* The value's start after the separator: '=', or in an inquiry's reply the line end; null when absent or cut off. */
const char *separator(const char *p, const ReplyParser *parser)
{
    if (parser->inquireMode & 1) {
        if (*p == '\r')
            ++p;
        if (*p != '\n')
            return nullptr;
        ++p;
        return LMS_LineComplete(p) ? p : nullptr;
    }
    return *p == '=' ? p + 1 : nullptr;
}

/* Stores the number of the first row matching the value text into the named status value. */
void store_keyword_value(MonitorPort *port, const char *name, const char *value, const ValueRow *rows)
{
    if (!value)
        return;
    for (const ValueRow *r = rows; r->text; ++r) {
        if (!starts(value, r->text))
            continue;
        LMP_Lock(port);
        if (StatusVariable *row = LMS_LookupVariable(name, port))
            if (LMS_StoreValue(row, &r->value))
                row->changed = 1;
        LMP_Unlock(port);
        return;
    }
}

/* Settings the table has no value for: their line is consumed. */
int consume(const char *text, const char **end, ReplyParser *, MonitorPort *)
{
    *end = text;
    if (!LMS_LineComplete(text))
        return 0;
    *end = LMS_NextLine(text);
    return 1;
}

int on_in_tray(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (!consume(text, end, parser, port))
        return 0;
    if (starts(text, "MTDIR"))
        store_keyword_value(port, "OppIntrayMTDir", separator(text + 5, parser), kDirectionValues);
    return 1;
}

int on_paper(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (!consume(text, end, parser, port))
        return 0;
    if (starts(text, "SORT")) {
        store_keyword_value(port, "OppPaperSort", separator(text + 4, parser), kSortValues);
    } else if (starts(text, "TYPE")) {
        const char *p = text + 4;
        DWORD number = 0;
        bool numbered = false;
        for (; *p >= '0' && *p <= '9'; ++p, numbered = true)
            number = number < 1000 ? number * 10 + DWORD(*p - '0') : number;
        char name[16] = "OppPaperType";
        if (numbered && number >= 1 && number <= 5)
            name[12] = char('0' + number);
        store_keyword_value(port, name, separator(p, parser), kPaperTypes);
    }
    return 1;
}

int on_power_save_time(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (!consume(text, end, parser, port))
        return 0;
    const bool second = *text == '2';
    const char *value = separator(text + (second ? 1 : 0), parser);
    if (value && *value >= '0' && *value <= '9') {
        DWORD minutes = 0;
        for (int digits = 0; *value >= '0' && *value <= '9' && digits < 9; ++value, ++digits)
            minutes = minutes * 10 + DWORD(*value - '0');
        LMP_Lock(port);
        if (StatusVariable *row = LMS_LookupVariable(second ? "OppPowerSaveTime2" : "OppPowerSaveTime", port))
            if (LMS_StoreValue(row, &minutes))
                row->changed = 1;
        LMP_Unlock(port);
    }
    return 1;
}

int on_out_bin(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (!consume(text, end, parser, port))
        return 0;
    store_keyword_value(port, "OppOuttray", separator(text, parser), kOutBinValues);
    return 1;
}

const KeywordRow kVariableKeywords[] = {
    {"COPIES", consume},  {"ORIENTATION", consume},  {"RET", consume},          {"ECONOMODE", consume},
    {"INTRAY", on_in_tray}, {"POWERSAVE", consume},  {"PAPER", on_paper},       {"TIMEOUT", consume},
    {"DUPLEX", consume},  {"BINDPOSITION", consume}, {"POWERSAVETIME", on_power_save_time}, {"OUTBIN", on_out_bin},
    {},
};

int on_config_in_tray(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (!consume(text, end, parser, port))
        return 0;
    /* "INTRAY<n> TYPE=LARGE": the number, one separator, then TYPE */
    if (!(text[0] >= '1' && text[0] <= '9') || !starts(text + 2, "TYPE="))
        return 1;
    const WORD tray = WORD(text[0] - '0');
    const char *value = text + 7;
    WORD state = 0;
    if (starts(value, "LARGE"))
        state = 3;
    else if (starts(value, "NORMAL"))
        state = 2;
    else
        return 1;
    LMP_Lock(port);
    StatusVariable *row = LMS_LookupVariable("PrinterBinConfig", port);
    const LONG size = LMS_VariableSize(row);
    if (row && row->value && size >= 4) {
        const DWORD count = DWORD(size - 4) / 12;
        for (DWORD i = 0; i < count; ++i) {
            BYTE *entry = row->value + 4 + i * 12;
            WORD id, current;
            std::memcpy(&id, entry, 2);
            std::memcpy(&current, entry + 2, 2);
            if (id != tray)
                continue;
            if (current != state) {
                std::memcpy(entry + 2, &state, 2);
                row->changed = 1;
            }
            break;
        }
    }
    LMP_Unlock(port);
    return 1;
}

int on_config_duplex(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (!consume(text, end, parser, port))
        return 0;
    LMS_AddOption(1, 1, 0, port);
    return 1;
}

int on_config_out_trays(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (!consume(text, end, parser, port) || !starts(text, "OUTTRAY2"))
        return 0;
    LMS_AddOption(6001, 6001, 0, port);
    return 1;
}

const KeywordRow kConfigKeywords[] = {
    {"INTRAY", on_config_in_tray}, {"DUPLEX", on_config_duplex}, {"OUT TRAYS", on_config_out_trays},
    {"PAPER", consume},            {"LANGUAGES", consume},       {"USTATUS", consume},
    {"MEMORY", consume},           {},
};

/*
 * The keyword a line begins with.  Variables take the longest match, so that
 * "POWERSAVETIME" reaches its own handler rather than that of "POWERSAVE".
 */
const KeywordRow *match(const KeywordRow *rows, const char *line, bool longest)
{
    const KeywordRow *best = nullptr;
    for (const KeywordRow *k = rows; k->keyword; ++k) {
        if (!starts(line, k->keyword))
            continue;
        if (!longest)
            return k;
        if (!best || std::strlen(k->keyword) > std::strlen(best->keyword))
            best = k;
    }
    return best;
}

/* Lines of a listing reply: each keyword line, then its tab-indented values, which are passed over. */
int walk_listing(const char *text, const char **end, ReplyParser *parser, MonitorPort *port, const KeywordRow *rows,
                 bool longest)
{
    const char *p = text;
    while (*p && *p != '\f') {
        if (const KeywordRow *k = match(rows, p, longest)) {
            const char *ignored = p;
            if (!k->handler(p + std::strlen(k->keyword), &ignored, parser, port)) {
                *end = p;
                return LM_REPLY_MORE;
            }
        }
        do {
            if (!LMS_LineComplete(p)) {
                *end = p;
                return LM_REPLY_MORE;
            }
            p = LMS_NextLine(p);
        } while (*p == '\t');
    }
    *end = p;
    return *p == '\f' ? LM_REPLY_DONE : LM_REPLY_MORE;
}

} // namespace

int LMS_OnInfoVariables(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    return walk_listing(text, end, parser, port, kVariableKeywords, true);
}

int LMS_OnInfoConfig(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    if (parser->lastResult == LM_REPLY_DONE) {
        LMS_RemoveOption(1001, 1001, port);
        LMS_RemoveOption(1, 1, port);
    }
    return walk_listing(text, end, parser, port, kConfigKeywords, false);
}

int LMS_OnInquire(const char *text, const char **end, ReplyParser *parser, MonitorPort *port)
{
    *end = text;
    const char *ff = std::strchr(text, '\f');
    if (!ff)
        return LM_REPLY_MORE;
    parser->inquireMode |= 1;
    if (const KeywordRow *k = match(kVariableKeywords, text, true)) {
        const char *ignored = text;
        k->handler(text + std::strlen(k->keyword), &ignored, parser, port);
    }
    parser->inquireMode &= ~1u;
    *end = ff;
    return LM_REPLY_DONE;
}
