/*
 * Global, local and private-heap blocks (see plat/memory.h).
 *
 * Every block is a separate zero-filled calloc block.  One table, under one
 * lock, records each live block's size, its heap (none for global and local
 * blocks), its moveable handle and lock count.  Table keys are stored
 * bit-inverted, so LeakSanitizer does not see the table as a reference to the
 * block: a block the driver forgets to free is reported as a leak.
 *
 * A moveable block's handle is a small cell of our own that holds the
 * block's current pointer, as a Windows handle-table entry does; a handle the
 * caller still holds therefore keeps its block reachable.
 *
 * A private heap's handle is a value from the handle table's counter
 * (plat/handle.h), never the heap record's address: a heap destroyed and a
 * new one made at the same address must not answer to the old handle.
 */
#include <plat/error.h>
#include <plat/fault.h>
#include <plat/handle.h>
#include <plat/memory.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <new>
#include <unordered_map>
#include <unordered_set>

namespace {

/* The largest block handed out; see plat/memory.h. */
constexpr size_t kMaxBlock = size_t(1) << 31;

typedef uintptr_t Key;

Key hide(const void *p) { return ~reinterpret_cast<uintptr_t>(p); }
void *unhide(Key k) { return reinterpret_cast<void *>(~k); }

struct Heap {
    size_t maximum = 0; /* 0 = grows without bound */
    size_t live = 0;    /* bytes in live blocks */
    std::unordered_set<Key> blocks;
};

struct Block {
    size_t size;
    Key heap;       /* 0 for global and local blocks */
    Key cell;       /* moveable handle cell, 0 for a fixed block */
    unsigned locks; /* lock count of a moveable block */
};

struct MemoryState {
    std::mutex lock;
    std::unordered_map<Key, Block> blocks; /* by data pointer */
    std::unordered_set<Key> cells;         /* live moveable handle cells */
    std::unordered_map<HANDLE, Key> heaps; /* live heaps by handle: private ones and the process heap */
    Heap process_heap;                     /* its handle is its address: it is never freed */
    MemoryState() { heaps.emplace(&process_heap, hide(&process_heap)); }
};

MemoryState &state()
{
    static MemoryState *s = new MemoryState; /* never destroyed: blocks may outlive static destructors */
    return *s;
}

void *raw_alloc(size_t bytes)
{
    if (bytes > kMaxBlock)
        return nullptr;
    return std::calloc(1, bytes ? bytes : 1);
}

/* A fresh zero-filled block holding the first min(old, bytes) bytes of `old`. */
void *raw_copy(const void *old, size_t old_size, size_t bytes)
{
    void *p = raw_alloc(bytes);
    if (p && old_size)
        std::memcpy(p, old, std::min(old_size, bytes));
    return p;
}

void *fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

/*
 * The global/local block that `mem` names, by pointer or by moveable handle;
 * sets *data to its pointer.  Null when none.  Caller holds the lock.
 */
Block *find_global(MemoryState &s, const void *mem, Key *data)
{
    if (!mem)
        return nullptr;
    auto it = s.blocks.find(hide(mem));
    if (it != s.blocks.end() && it->second.heap == 0) {
        *data = it->first;
        return &it->second;
    }
    if (s.cells.count(hide(mem))) {
        /* A live cell: it is ours, and holds the block's pointer. */
        void *p = *static_cast<void *const *>(mem);
        auto bt = s.blocks.find(hide(p));
        if (bt != s.blocks.end()) {
            *data = bt->first;
            return &bt->second;
        }
    }
    return nullptr;
}

HGLOBAL block_handle(Key data, const Block &b) { return b.cell ? unhide(b.cell) : unhide(data); }

/* The heap behind a heap handle, or null.  Caller holds the lock. */
Heap *find_heap(MemoryState &s, HANDLE heap)
{
    auto it = heap ? s.heaps.find(heap) : s.heaps.end();
    return it == s.heaps.end() ? nullptr : static_cast<Heap *>(unhide(it->second));
}

/* The block of heap `h` that starts at `mem`, or null.  Caller holds the lock. */
Block *find_heap_block(MemoryState &s, const Heap *h, const void *mem)
{
    auto it = mem && h ? s.blocks.find(hide(mem)) : s.blocks.end();
    if (it == s.blocks.end() || it->second.heap != hide(h))
        return nullptr;
    return &it->second;
}

/* Records a new block of `h`.  Caller holds the lock. */
void add_heap_block(MemoryState &s, Heap *h, void *p, size_t bytes)
{
    s.blocks[hide(p)] = Block{bytes, hide(h), 0, 0};
    h->blocks.insert(hide(p));
    h->live += bytes;
}

/* Forgets a block of `h` (the caller frees its memory).  Caller holds the lock. */
void remove_heap_block(MemoryState &s, Heap *h, const void *p, size_t bytes)
{
    h->live -= bytes;
    h->blocks.erase(hide(p));
    s.blocks.erase(hide(p));
}

} // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    if (!plat::fault_alloc_allowed())
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    void *p = raw_alloc(bytes);
    if (!p)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    void **cell = nullptr;
    if (flags & GMEM_MOVEABLE) {
        cell = static_cast<void **>(std::malloc(sizeof(void *)));
        if (!cell) {
            std::free(p);
            return fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        *cell = p;
    }
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.blocks[hide(p)] = Block{bytes, 0, cell ? hide(cell) : 0, 0};
    if (cell) {
        s.cells.insert(hide(cell));
        return cell;
    }
    return p;
}

HGLOBAL GlobalFree(HGLOBAL mem)
{
    if (!mem)
        return nullptr;
    MemoryState &s = state();
    void *data;
    void *cell = nullptr;
    {
        std::lock_guard<std::mutex> g(s.lock);
        Key key;
        Block *b = find_global(s, mem, &key);
        if (!b) {
            SetLastError(ERROR_INVALID_HANDLE);
            return mem;
        }
        data = unhide(key);
        if (b->cell) {
            cell = unhide(b->cell);
            s.cells.erase(b->cell);
        }
        s.blocks.erase(key);
    }
    std::free(data);
    std::free(cell);
    return nullptr;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags)
{
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Key key;
    Block *b = find_global(s, mem, &key);
    if (!b)
        return fail(ERROR_INVALID_HANDLE);
    if (flags & GMEM_MODIFY)
        return block_handle(key, *b);
    if (!plat::fault_alloc_allowed())
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    bool may_move = (b->cell && b->locks == 0) || (flags & GMEM_MOVEABLE);
    if (!may_move) {
        if (bytes > b->size)
            return fail(ERROR_NOT_ENOUGH_MEMORY);
        b->size = bytes; /* shrinks in place */
        return block_handle(key, *b);
    }
    /* Always a fresh block, so a stale pointer to the old one is caught. */
    void *old = unhide(key);
    void *p = raw_copy(old, b->size, bytes);
    if (!p)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    Block moved = *b;
    moved.size = bytes;
    s.blocks.erase(key);
    s.blocks[hide(p)] = moved;
    if (moved.cell)
        *static_cast<void **>(unhide(moved.cell)) = p;
    std::free(old);
    return block_handle(hide(p), moved);
}

LPVOID GlobalLock(HGLOBAL mem)
{
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Key key;
    Block *b = find_global(s, mem, &key);
    if (!b)
        return fail(ERROR_INVALID_HANDLE);
    if (b->cell)
        b->locks++;
    return unhide(key);
}

BOOL GlobalUnlock(HGLOBAL mem)
{
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Key key;
    Block *b = find_global(s, mem, &key);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!b->cell) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    if (b->locks == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--b->locks > 0)
        return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T GlobalSize(HGLOBAL mem)
{
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Key key;
    Block *b = find_global(s, mem, &key);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return b->size;
}

HGLOBAL GlobalHandle(LPCVOID mem)
{
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Key key;
    Block *b = find_global(s, mem, &key);
    if (!b)
        return fail(ERROR_INVALID_HANDLE);
    return block_handle(key, *b);
}

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) { return GlobalAlloc(flags, bytes); }
HLOCAL LocalFree(HLOCAL mem) { return GlobalFree(mem); }
HLOCAL LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags) { return GlobalReAlloc(mem, bytes, flags); }
LPVOID LocalLock(HLOCAL mem) { return GlobalLock(mem); }
BOOL LocalUnlock(HLOCAL mem) { return GlobalUnlock(mem); }
SIZE_T LocalSize(HLOCAL mem) { return GlobalSize(mem); }
HLOCAL LocalHandle(LPCVOID mem) { return GlobalHandle(mem); }

HANDLE HeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum)
{
    (void)options;
    if (maximum && initial > maximum)
        return fail(ERROR_INVALID_PARAMETER);
    HANDLE handle = plat::handle_reserve();
    if (!handle)
        return nullptr;
    Heap *h = new (std::nothrow) Heap;
    if (!h)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    h->maximum = maximum;
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.heaps.emplace(handle, hide(h));
    return handle;
}

BOOL HeapDestroy(HANDLE heap)
{
    MemoryState &s = state();
    Heap *h;
    {
        std::lock_guard<std::mutex> g(s.lock);
        h = find_heap(s, heap);
        if (!h || h == &s.process_heap) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        s.heaps.erase(heap);
        for (Key k : h->blocks)
            s.blocks.erase(k);
    }
    for (Key k : h->blocks)
        std::free(unhide(k));
    delete h;
    return TRUE;
}

HANDLE GetProcessHeap(void) { return &state().process_heap; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes)
{
    (void)flags; /* every block is zero-filled */
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Heap *h = find_heap(s, heap);
    if (!h)
        return fail(ERROR_INVALID_HANDLE);
    if (!plat::fault_alloc_allowed())
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    if (h->maximum && (bytes > h->maximum || h->live > h->maximum - bytes))
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    void *p = raw_alloc(bytes);
    if (!p)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    add_heap_block(s, h, p, bytes);
    return p;
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes)
{
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Heap *h = find_heap(s, heap);
    if (!h)
        return fail(ERROR_INVALID_HANDLE);
    Block *b = find_heap_block(s, h, mem);
    if (!b)
        return fail(ERROR_INVALID_PARAMETER);
    if (!plat::fault_alloc_allowed())
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    size_t others = h->live - b->size;
    if (h->maximum && (bytes > h->maximum || others > h->maximum - bytes))
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    if (flags & HEAP_REALLOC_IN_PLACE_ONLY) {
        if (bytes > b->size)
            return fail(ERROR_NOT_ENOUGH_MEMORY);
        h->live = others + bytes;
        b->size = bytes;
        return mem;
    }
    void *p = raw_copy(mem, b->size, bytes);
    if (!p)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    remove_heap_block(s, h, mem, b->size);
    add_heap_block(s, h, p, bytes);
    std::free(mem);
    return p;
}

BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID mem)
{
    (void)flags;
    MemoryState &s = state();
    {
        std::lock_guard<std::mutex> g(s.lock);
        Heap *h = find_heap(s, heap);
        if (!h) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        if (!mem)
            return TRUE;
        Block *b = find_heap_block(s, h, mem);
        if (!b) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        remove_heap_block(s, h, mem, b->size);
    }
    std::free(mem);
    return TRUE;
}

SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID mem)
{
    (void)flags;
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Block *b = find_heap_block(s, find_heap(s, heap), mem);
    if (!b) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return SIZE_T(-1);
    }
    return b->size;
}

namespace plat {

size_t heap_live_blocks(HANDLE heap)
{
    MemoryState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    Heap *h = find_heap(s, heap);
    return h ? h->blocks.size() : size_t(-1);
}

} // namespace plat
