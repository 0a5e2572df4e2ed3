/*
 * Private helpers shared by the model data reader's source files: checked
 * little-endian reads at a reader's position, the memory source that the
 * file open and the in-memory open share, and the item-kind table of the
 * record code.
 */
#ifndef TARVEL_MODEL_INTERNAL_H
#define TARVEL_MODEL_INTERNAL_H

#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

#include "model_platform.h"

/* True while a file is loaded. */
inline bool ddd_IsLoaded(const ModelFileReader *r)
{
    return r && r->loaded && r->data;
}

/* Bytes left after the position. */
inline DWORD ddd_Remaining(const ModelFileReader *r)
{
    return r->position <= r->length ? r->length - r->position : 0;
}

/*
 * The bytes at the position when at least n remain (the position then
 * advances past them), else null.  The read primitives below, inline
 * because the reader's every field goes through one.
 */
inline const BYTE *ddd_Take(ModelFileReader *r, DWORD n)
{
    if (!ddd_IsLoaded(r) || r->position > r->length || n > r->length - r->position)
        return nullptr;
    const BYTE *p = r->data + r->position;
    r->position += n;
    return p;
}

inline WORD ddd_ReadU8(ModelFileReader *r, BYTE *v)
{
    const BYTE *p = ddd_Take(r, 1);
    if (!p)
        return DDD_ERR_FAIL;
    *v = p[0];
    return DDD_OK;
}

inline WORD ddd_ReadU16(ModelFileReader *r, WORD *v)
{
    const BYTE *p = ddd_Take(r, 2);
    if (!p)
        return DDD_ERR_FAIL;
    *v = static_cast<WORD>(p[0] | (p[1] << 8));
    return DDD_OK;
}

inline WORD ddd_ReadU32(ModelFileReader *r, DWORD *v)
{
    const BYTE *p = ddd_Take(r, 4);
    if (!p)
        return DDD_ERR_FAIL;
    *v = static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
         (static_cast<DWORD>(p[3]) << 24);
    return DDD_OK;
}

/* Advances by n bytes; 1 past the end. */
inline WORD ddd_Skip(ModelFileReader *r, DWORD n)
{
    return ddd_Take(r, n) ? DDD_OK : DDD_ERR_FAIL;
}
/* Reads a text field (16-bit length, body) into a kept text. */
WORD ddd_ReadTextField(ModelFileReader *r, DddText *out);
/* A header entry's text item decoded as stored text only (string-module names). */
WORD ddd_ReadHeaderStoredString(ModelFileReader *reader, WORD entry, WORD itemNumber, LPWSTR *out);
/* As DDD_ReadText, but never tries the string-reference form. */
WORD ddd_ReadStoredTextOnly(ModelFileReader *r, LPWSTR *out, DWORD *length);

/*
 * Where a file's bytes come from: the file system (path) or memory (the
 * fuzz target and the in-memory open).  Answers as ddd_ReadWholeFile.
 */
struct DddSource {
    const BYTE *mainBytes;
    size_t mainSize;
    const BYTE *companionBytes;
    size_t companionSize;
    bool memory;
};
WORD ddd_MapFromSource(const DddSource *source, bool companion, LPCWSTR path, ModelFileReader *reader,
                       ModelFileReader *mainReader);

/* Copy of a string of the model allocator; null when out of memory. */
LPWSTR ddd_DupString(LPCWSTR s, DWORD *bytes);

/* Frees what a list of an item kind owns, then the list block. */
void ddd_FreeItems(WORD itemKind, WORD count, void *items);
/* Frees what one item owns (not the item itself). */
void ddd_FreeItemContents(WORD itemKind, void *item);
/* Frees a kept text. */
void ddd_FreeText(DddText *t);

#endif /* TARVEL_MODEL_INTERNAL_H */
