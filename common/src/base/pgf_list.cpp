/*
 * The property-page framework's list: zero-filled nodes put at the head, so
 * the newest item comes first; the list keeps item pointers, never copies.
 * Items are found by their two keys or by their position in insertion order.
 */
#include <tarvel/base/pgf_services.h>

#include <plat/memory.h>

namespace {

/* A new zero-filled node {firstKey, secondKey, item} linked before `next`; null when memory runs out. */
PgfListNode *newNode(ULONGLONG firstKey, ULONGLONG secondKey, void *item, PgfListNode *next)
{
    auto *node = static_cast<PgfListNode *>(GlobalAlloc(GPTR, sizeof(PgfListNode)));
    if (node) {
        node->firstKey = firstKey;
        node->secondKey = secondKey;
        node->item = item;
        node->next = next;
    }
    return node;
}

} // namespace

BOOL PGF_ListPush(PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey, void *item)
{
    if (!list || !item)
        return FALSE;
    PgfListNode *node = newNode(firstKey, secondKey, item, list->head);
    if (!node)
        return FALSE;
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

PgfList *PGF_ListCreate(void) { return static_cast<PgfList *>(GlobalAlloc(GPTR, sizeof(PgfList))); }

BOOL PGF_ListDestroy(PgfList **list)
{
    if (!list)
        return FALSE;
    if (*list) {
        PGF_ListFree(*list, FALSE);
        GlobalFree(*list);
        *list = nullptr;
    }
    return TRUE;
}

PgfListNode *PGF_ListFindNode(const PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey, PgfListNode **previous)
{
    if (!list)
        return nullptr;
    PgfListNode *before = nullptr;
    for (PgfListNode *node = list->head; node; before = node, node = node->next) {
        if (node->firstKey == firstKey && (secondKey == PGF_ANY_KEY || node->secondKey == secondKey)) {
            if (previous)
                *previous = before;
            return node;
        }
    }
    return nullptr;
}

void *PGF_ListFindByKey(const PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey)
{
    PgfListNode *node = PGF_ListFindNode(list, firstKey, secondKey, nullptr);
    return node ? node->item : nullptr;
}

namespace {

/* Unlinks `node`, whose predecessor in the chain is `before` (null: the head), and frees it. */
void unlink(PgfList *list, PgfListNode *before, PgfListNode *node)
{
    if (before)
        before->next = node->next;
    else
        list->head = node->next;
    GlobalFree(node);
    --list->count;
}

/* The node at insertion position n and its predecessor in the chain; null when n is refused. */
PgfListNode *nodeAt(const PgfList *list, LONG n, PgfListNode **before)
{
    if (!list || n < 0 || list->count < 0 || list->count < n + 1)
        return nullptr;
    PgfListNode *prev = nullptr;
    PgfListNode *node = list->head;
    for (LONG steps = list->count - 1 - n; steps > 0 && node; --steps) {
        prev = node;
        node = node->next;
    }
    if (before)
        *before = prev;
    return node;
}

} // namespace

BOOL PGF_ListRemoveByKey(PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey)
{
    PgfListNode *before = nullptr;
    PgfListNode *node = PGF_ListFindNode(list, firstKey, secondKey, &before);
    if (!node)
        return FALSE;
    unlink(list, before, node);
    return TRUE;
}

void *PGF_ListGetAt(const PgfList *list, LONG n)
{
    PgfListNode *node = nodeAt(list, n, nullptr);
    return node ? node->item : nullptr;
}

BOOL PGF_ListRemoveAt(PgfList *list, LONG n)
{
    PgfListNode *before = nullptr;
    PgfListNode *node = nodeAt(list, n, &before);
    if (!node)
        return FALSE;
    unlink(list, before, node);
    return TRUE;
}

BOOL PGF_ListInsertAt(PgfList *list, LONG n, ULONGLONG firstKey, ULONGLONG secondKey, void *item)
{
    PgfListNode *at = nodeAt(list, n, nullptr);
    if (!at || !item)
        return FALSE;
    /* Behind `at` in the chain is one step older: position n, with `at` moving to n + 1. */
    PgfListNode *node = newNode(firstKey, secondKey, item, at->next);
    if (!node)
        return FALSE;
    at->next = node;
    ++list->count;
    return TRUE;
}
