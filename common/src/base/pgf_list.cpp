/*
 * The property-page framework's list: zero-filled nodes put at the head, so
 * the newest item comes first; the list keeps item pointers, never copies.
 */
#include <tarvel/pgf_services.h>

#include <plat/memory.h>

BOOL PGF_ListPush(PgfList *list, DWORD firstKey, DWORD secondKey, void *item)
{
    if (!list || !item)
        return FALSE;
    auto *node = static_cast<PgfListNode *>(GlobalAlloc(GPTR, sizeof(PgfListNode)));
    if (!node)
        return FALSE;
    node->firstKey = firstKey;
    node->secondKey = secondKey;
    node->item = item;
    node->next = list->head;
    list->head = node;
    ++list->count;
    return TRUE;
}

void *PGF_ListFirst(const PgfList *list, PgfListNode **next)
{
    if (!list || !list->head)
        return nullptr;
    return PGF_ListNext(list->head, next);
}

void *PGF_ListNext(const PgfListNode *node, PgfListNode **next)
{
    if (!node)
        return nullptr;
    if (next)
        *next = node->next;
    return node->item;
}

LONG PGF_ListCount(const PgfList *list) { return list ? list->count : -1; }

void PGF_ListFree(PgfList *list, BOOL freeItems)
{
    if (!list)
        return;
    PgfListNode *node = list->head;
    while (node) {
        PgfListNode *next = node->next;
        if (freeItems)
            GlobalFree(node->item);
        GlobalFree(node);
        node = next;
    }
    list->head = nullptr;
    list->count = 0;
}
