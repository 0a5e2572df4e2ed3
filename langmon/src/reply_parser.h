/*
 * The PJL reply parser's record and the reply kinds, shared by the parser's
 * sources and its tests.  A reply is a block of CR-LF lines ended by a form
 * feed; its kind comes from its first line.
 */
#ifndef TARVEL_LANGMON_REPLY_PARSER_H
#define TARVEL_LANGMON_REPLY_PARSER_H

#include "status.h"

struct ReplyParser;

/* Results of a reply handler: ended at its form feed, or unfinished. */
constexpr int LM_REPLY_DONE = 5;
constexpr int LM_REPLY_MORE = 6;

/* A handler: text after its keyword in, position reached out; keyword handlers answer non-zero when they consumed their line. */
typedef int (*ReplyHandler)(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);

struct KeywordRow {
    const char *keyword;
    ReplyHandler handler;
};

struct PjlReplyRow {
    const char *firstLine;
    ReplyHandler handler;
    const KeywordRow *keywords;
};

struct ReplyParser {
    DWORD partial;
    char *savedText;
    const PjlReplyRow *current;
    DWORD lastResult;
    DWORD skipping;
    DWORD inquireMode;
    DWORD recordState;
    BYTE *record;
    DWORD recordSize;
    DWORD recordFlags;
    DWORD repeatMark;
};

/* The port's parser, made at its first use; null when the heap refuses. */
ReplyParser *LMS_PortParser(MonitorPort *port);
void LMS_ResetReplyParser(ReplyParser *parser, BOOL freeRecord);
/* One reply (or its continuation) from text on: 5 or 6, *end where it stopped (at the form feed for 5). */
int LMS_DispatchReply(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);

/* Line helpers: the end of the line at p (CR, LF, form feed or NUL), whether a line end came before the text ended,
   and the start of the next line (a form feed is not stepped over). */
const char *LMS_LineEnd(const char *p);
bool LMS_LineComplete(const char *p);
const char *LMS_NextLine(const char *p);

/* Keyword handlers of the job replies (reply_jobs.cpp). */
int LMS_OnJobStart(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);
int LMS_OnJobEnd(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);
int LMS_OnJobName(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);
int LMS_OnJobCanceled(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);
int LMS_OnUstatusPage(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);

/* Reply handlers of the variables and configuration replies (reply_values.cpp). */
int LMS_OnInfoVariables(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);
int LMS_OnInquire(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);
int LMS_OnInfoConfig(const char *text, const char **end, ReplyParser *parser, MonitorPort *port);

#endif
