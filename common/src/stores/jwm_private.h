/*
 * Inside the document-monitor job record: reading the job's settings and
 * turning texts into ANSI.
 */
#ifndef TARVEL_JWM_PRIVATE_H
#define TARVEL_JWM_PRIVATE_H

#include <tarvel/stores/jwm_record.h>

#include <string>

/* The number of setting `id` of the job (0 when it cannot be read). */
DWORD jwm_Number(const JwmJobContext *job, WORD id);

/* The text of setting `id` of the job; false when it is not a readable text. */
bool jwm_Text(const JwmJobContext *job, WORD id, std::u16string &out);

/* `text` in ANSI into `out` of `size` bytes, cut after the last whole character that fits, terminated. */
void jwm_ToAnsi(const std::u16string &text, LPSTR out, DWORD size);

/* `text` in ANSI, whole (empty for null). */
std::string jwm_ToAnsi(LPCWSTR text);

#endif /* TARVEL_JWM_PRIVATE_H */
