/*
 * Inside the stamps store: walking the stamps of an open store key and
 * reading the name and text of a record within their fields.
 */
#ifndef TARVEL_STP_STORE_PRIVATE_H
#define TARVEL_STP_STORE_PRIVATE_H

#include <tarvel/stores/stp_store.h>

/* Room for a record's name: its 33-character field and a terminator. */
inline constexpr DWORD STP_NAME_ROOM = STP_NAME_CHARS + 2;
/* Room for a record's text. */
inline constexpr DWORD STP_TEXT_ROOM = STP_TEXT_CHARS + 2;

/*
 * Called for each REG_BINARY value of the store with its value name and its
 * record (832 bytes; a shorter value zero-filled behind its end).  Answers
 * true to stop the walk.
 */
typedef bool (*StpVisitor)(void *state, LPCWSTR valueName, const BYTE *record);

/*
 * Calls `visit` for each stamp of the open store `key`, in value order.
 * Returns STP_OK, or STP_ENUM_ERROR when the key cannot be read (the walk
 * ends there) or memory runs out.
 */
int stp_VisitStamps(HKEY key, StpVisitor visit, void *state);

/* The text at `offset` of `record` (at most `chars` characters) into `out` of chars + 1, terminated. */
void stp_FieldText(const BYTE *record, DWORD offset, DWORD chars, LPWSTR out);

/* The record's name (at most 33 characters) into `out` of STP_NAME_ROOM characters. */
void stp_RecordName(const BYTE *record, LPWSTR out);

/* 1 when `name` equals one of the six built-in names; the built-in's index in *index (optional). */
BOOL stp_FindBuiltIn(LPCWSTR name, int *index);

#endif /* TARVEL_STP_STORE_PRIVATE_H */
