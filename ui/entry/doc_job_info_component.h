/*
 * The job-information component at start of document: the outside COM
 * component (tarvel/base/job_info_component.h) is told the three fields (user
 * name, password, account) with their character rules and labels, asks the
 * user, and its reply is stored into the job's printer data (settings 5174,
 * 5176, 5175).  The helpers build the ANSI texts it is given.
 */
#ifndef TARVELUI_DOC_JOB_INFO_COMPONENT_H
#define TARVELUI_DOC_JOB_INFO_COMPONENT_H

#include <plat/types.h>

#include <string>

struct ModelContext;

/* Resource strings: the field names, the rule text's opening, the labels, the character ranges. */
inline constexpr UINT DOC_ID_FIELD_NAMES[3] = {9263, 9264, 9265};
inline constexpr UINT DOC_ID_RULE_OPENING = 9266;
inline constexpr UINT DOC_ID_FIELD_LABELS[3] = {9267, 9268, 9269};
inline constexpr UINT DOC_ID_FIELD_PROMPTS[3] = {9270, 9271, 9272};

/*
 * Runs the component for the job (owner window, the job's settings image
 * and printer data, its model): 1 when it answered and all three values
 * were stored, -1 otherwise (values stored before a failure stay).
 */
int DOC_RunJobInfoComponent(HWND owner, void *image, void *printerData, ModelContext *context);

/* A new GlobalAlloc ANSI copy of resource string `id` of `module` (at most 255 characters), or null. */
LPSTR DOC_LoadAnsiString(HMODULE module, UINT id);

/*
 * `text` in code page `codePage` (0: the ANSI one; an unknown page falls
 * back to it) as a new GlobalAlloc string (*out) of *length bytes with its
 * terminator.  1, or 0 (*out null).
 */
int DOC_WideToAnsiAlloc(LPCWSTR text, LPSTR *out, DWORD *length, UINT codePage);

/* a, NUL, b, NUL, c, NUL, NUL in a new zero-filled GlobalAlloc block (*out, also returned), or null. */
LPSTR DOC_JoinAnsi3(LPSTR *out, LPCSTR a, LPCSTR b, LPCSTR c);

/*
 * The range list of the resource strings `ids` (zero-terminated): joined
 * with ","; with `pairMerge`, at the first, third, ... comma the comma and
 * the two characters after it are taken out (byte pairs "0x81,0x40" become
 * "0x8140"); the first, third, ... remaining comma becomes "-"; a range
 * whose high bound (hexadecimal) is below its low bound is dropped, one of
 * equal bounds is written as the single value.  A new GlobalAlloc string
 * (*out), 1; 0 when a string is missing.
 */
int DOC_BuildRangeList(LPSTR *out, const UINT *ids, BOOL pairMerge);

/* The range list of already joined values (the steps after the join of DOC_BuildRangeList). */
std::string DOC_RangeListOf(const std::string &joined, bool pairMerge);

/* Resource string 9266, the single-byte list, "," when both lists have ranges, the double-byte list: 1 or 0. */
int DOC_BuildRuleText(LPSTR *out, const UINT *singleByteIds, const UINT *doubleByteIds);

/*
 * Stores the component's reply (at most 1,024 bytes; the walk never leaves
 * them): the values after the first "=" of the first three strings into
 * 5174, 5176 and 5175 (the third scrambled when the model has capability bit
 * 30).  The walk stops at a string without "=", an empty string, a string
 * without its terminator within the reply, or a refused write.  1 when
 * three values were stored.
 */
int DOC_ParseComponentReply(LPCSTR reply, void *image, void *printerData, ModelContext *context);

#endif /* TARVELUI_DOC_JOB_INFO_COMPONENT_H */
