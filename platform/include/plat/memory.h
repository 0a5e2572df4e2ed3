/*
 * Memory services under their Windows names: the global and local block
 * allocators (GlobalAlloc, LocalAlloc and their companions) and private heaps
 * (HeapCreate, HeapAlloc, ...).
 *
 * Every block is its own malloc block, zero-filled, so the sanitizers see
 * each overrun and each leak.  Live blocks are kept in a table, so that
 * GlobalSize, GlobalHandle and HeapSize answer 0 (or the failure value) for
 * any pointer that is not the start of a live block, without ever reading
 * memory around it.
 *
 * Handles: a fixed block's handle is its pointer.  A moveable block
 * (GMEM_MOVEABLE) gets a handle of its own that stays the same when
 * GlobalReAlloc moves the memory; GlobalLock turns it into the pointer and
 * GlobalHandle turns the pointer back into it.  The global and local
 * allocators share one table, so either family's functions accept either
 * family's blocks, as on Windows.
 *
 * Allocation failure can be injected (plat/fault.h).  Blocks larger than
 * 2 GiB are refused as out of memory: no driver buffer is that large, and a
 * size computed from bad input must fail cleanly rather than end the process
 * under the sanitizers.
 */
#ifndef PLAT_MEMORY_H
#define PLAT_MEMORY_H

#include <plat/types.h>

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_NOCOMPACT 0x0010u
#define GMEM_NODISCARD 0x0020u
#define GMEM_ZEROINIT 0x0040u
#define GMEM_MODIFY 0x0080u
#define GMEM_DISCARDABLE 0x0100u
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

#define LMEM_FIXED 0x0000u
#define LMEM_MOVEABLE 0x0002u
#define LMEM_ZEROINIT 0x0040u
#define LMEM_MODIFY 0x0080u
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)
#define LHND (LMEM_MOVEABLE | LMEM_ZEROINIT)

#define HEAP_NO_SERIALIZE 0x00000001u
#define HEAP_GENERATE_EXCEPTIONS 0x00000004u
#define HEAP_ZERO_MEMORY 0x00000008u
#define HEAP_REALLOC_IN_PLACE_ONLY 0x00000010u
#define HEAP_CREATE_ENABLE_EXECUTE 0x00040000u

#ifndef ERROR_NOT_LOCKED
#define ERROR_NOT_LOCKED 158L
#endif

/*
 * Allocates a zero-filled block of `bytes` bytes (every block is zero-filled,
 * whatever the flags).  Returns the pointer (GMEM_FIXED) or a handle
 * (GMEM_MOVEABLE), null with ERROR_NOT_ENOUGH_MEMORY on failure.  Free it
 * with GlobalFree.
 */
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);

/*
 * Frees a block by handle (or, for a fixed block, pointer).  Returns null on
 * success; returns `mem` with ERROR_INVALID_HANDLE when it is not a live
 * block.  GlobalFree(null) does nothing and returns null.
 */
HGLOBAL GlobalFree(HGLOBAL mem);

/*
 * Resizes a block.  A fixed block, or a locked moveable one, moves only when
 * `flags` holds GMEM_MOVEABLE; otherwise it can only shrink in place.  Bytes
 * added at the end are zero.  Returns the block's handle (new for a fixed
 * block that moved), or null with the last error set, the block unchanged.
 * GMEM_MODIFY changes nothing here and returns the handle.
 */
HGLOBAL GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags);

/* The pointer to a block's memory (raising a moveable block's lock count); null with ERROR_INVALID_HANDLE. */
LPVOID GlobalLock(HGLOBAL mem);

/*
 * Lowers a moveable block's lock count.  TRUE while still locked; FALSE when
 * now unlocked (last error NO_ERROR), not locked (ERROR_NOT_LOCKED), fixed
 * (NO_ERROR) or not a block (ERROR_INVALID_HANDLE).
 */
BOOL GlobalUnlock(HGLOBAL mem);

/* A block's size in bytes, by handle or pointer; 0 for anything else. */
SIZE_T GlobalSize(HGLOBAL mem);

/*
 * The handle of the block that starts at `mem` (the pointer itself for a
 * fixed block); null with ERROR_INVALID_HANDLE for any other pointer,
 * including one into the middle of a block.
 */
HGLOBAL GlobalHandle(LPCVOID mem);

/* The local family: the same blocks and rules as the global one. */
HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
HLOCAL LocalFree(HLOCAL mem);
HLOCAL LocalReAlloc(HLOCAL mem, SIZE_T bytes, UINT flags);
LPVOID LocalLock(HLOCAL mem);
BOOL LocalUnlock(HLOCAL mem);
SIZE_T LocalSize(HLOCAL mem);
HLOCAL LocalHandle(LPCVOID mem);

/*
 * Creates a private heap.  `maximum` 0 lets it grow without bound; otherwise
 * allocations that would take the heap's live bytes above `maximum` fail.
 * Returns the heap handle (destroy with HeapDestroy), null on failure.
 * Heap handles are never reused: once the heap is destroyed, every heap
 * function refuses its handle as it refuses an unknown one, whatever heaps
 * are made afterwards.
 */
HANDLE HeapCreate(DWORD options, SIZE_T initial, SIZE_T maximum);

/*
 * Destroys a private heap and frees every block still allocated in it.
 * FALSE with ERROR_INVALID_HANDLE for an unknown heap or the process heap.
 */
BOOL HeapDestroy(HANDLE heap);

/* The process heap (never destroyed). */
HANDLE GetProcessHeap(void);

/*
 * Allocates a zero-filled block from `heap`; null (last error
 * ERROR_NOT_ENOUGH_MEMORY, or ERROR_INVALID_HANDLE for an unknown heap) on
 * failure.  Free it with HeapFree on the same heap or with HeapDestroy.
 */
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);

/*
 * Resizes a block of `heap`; added bytes are zero.  With
 * HEAP_REALLOC_IN_PLACE_ONLY it only shrinks in place.  Returns the new
 * pointer, or null with the block unchanged.
 */
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID mem, SIZE_T bytes);

/*
 * Frees a block of `heap`.  TRUE on success and for a null `mem`; FALSE with
 * ERROR_INVALID_PARAMETER when `mem` is not a live block of that heap.
 */
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID mem);

/* A block's size; (SIZE_T)-1 when `mem` is not a live block of `heap`. */
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID mem);

namespace plat {

/* Blocks still allocated in a private heap (for leak checks of a library's own heap); (size_t)-1 for an unknown heap. */
size_t heap_live_blocks(HANDLE heap);

} // namespace plat

#endif /* PLAT_MEMORY_H */
