/*
 * The process-wide handle table behind CloseHandle.
 *
 * A kernel-object handle (file, file mapping, thread, event, ...) names an
 * entry of this table: the object's kind and a reference to the object.
 * Each service that hands out handles registers its kind once with the
 * function that closes an object of that kind, then creates handles with
 * handle_create and looks them up with handle_object.
 *
 * Objects are reference-counted: CloseHandle removes the handle at once, but
 * the object is closed only when the last reference goes, so a call still
 * running on another thread keeps its object alive, and an object that holds
 * another (a file mapping holds its file) keeps it open, as on Windows.
 *
 * plat::machine_reset closes every handle still open.  Handle values are
 * small multiples of 4, never null or INVALID_HANDLE_VALUE, and never reused
 * within a process (a reset does not wind the values back).
 */
#ifndef PLAT_HANDLE_H
#define PLAT_HANDLE_H

#include <plat/types.h>

#include <cstddef>
#include <memory>

namespace plat {

/* Handle kinds.  A service picks its kind here; 0 means "any kind" in lookups. */
enum HandleKind : uint32_t {
    HANDLE_KIND_ANY = 0,
    HANDLE_KIND_FILE = 1,      /* CreateFileW */
    HANDLE_KIND_MAPPING = 2,   /* CreateFileMappingW */
    HANDLE_KIND_FIND = 3,      /* FindFirstFileW; closed by FindClose only */
    HANDLE_KIND_THREAD = 4,    /* kinds 4-9 are kept for the thread and synchronisation services */
    HANDLE_KIND_EVENT = 5,
    HANDLE_KIND_MUTEX = 6,
    HANDLE_KIND_SEMAPHORE = 7,
    HANDLE_KIND_PROCESS = 8,
    HANDLE_KIND_TIMER = 9,
    HANDLE_KIND_FIRST_FREE = 16 /* kinds from here on belong to later services: */
    /* 16 printer handles (spooler.h), 20 registry keys (registry.h) */
};

/* Closes an object of a kind, once its last reference has gone. */
typedef void (*handle_close_fn)(void *object);

/*
 * Registers the function that closes objects of `kind`.  With
 * `by_close_handle` false, CloseHandle refuses handles of this kind (they are
 * closed by their own function through handle_close, as FindClose does).
 * Registering a kind again replaces its entry.  Returns false for kind 0 or a
 * null function.
 */
bool handle_register(uint32_t kind, handle_close_fn close, bool by_close_handle = true);

/*
 * Creates a handle for `object` of `kind`; from this call on the table owns
 * the object and closes it (with the kind's function) when its last handle
 * and reference are gone.  Returns null with ERROR_NOT_ENOUGH_MEMORY when
 * memory runs out (the object is then already closed).  Returns null without
 * touching the object when the kind is not registered or `object` is null.
 */
HANDLE handle_create(uint32_t kind, void *object);

/*
 * A reference to the object behind `h`, when `h` is an open handle of `kind`
 * (any kind for HANDLE_KIND_ANY); empty otherwise.  The object stays alive
 * while the reference is held, even if the handle is closed meanwhile.
 */
std::shared_ptr<void> handle_object(HANDLE h, uint32_t kind);

/* The kind of an open handle; HANDLE_KIND_ANY (0) when `h` is not one. */
uint32_t handle_kind(HANDLE h);

/*
 * Closes handle `h` of `kind` (any kind for HANDLE_KIND_ANY), whether or not
 * CloseHandle may close it.  False when it is not an open handle of that kind.
 */
bool handle_close(HANDLE h, uint32_t kind);

/*
 * A fresh handle value for a service that keeps its handles in a table of
 * its own (events, mutexes and threads; private heaps): never handed out
 * before, never entered in this table, never handed out again, so it can
 * be told from every other handle, open or closed.  Null with
 * ERROR_NOT_ENOUGH_MEMORY once the values are spent.
 */
HANDLE handle_reserve();

/* A second handle to the object behind `h` (as DuplicateHandle gives); null when `h` is not open. */
HANDLE handle_duplicate(HANDLE h);

/* Open handles of `kind` (all kinds for HANDLE_KIND_ANY); tests use it to find leaked handles. */
size_t handle_count(uint32_t kind);

} // namespace plat

/*
 * Closes a handle.  TRUE on success; FALSE with ERROR_INVALID_HANDLE for a
 * value that is not an open handle or whose kind has its own close function.
 * The pseudo-handles of the current process and thread ((HANDLE)-1 and
 * (HANDLE)-2) are accepted and left alone, as on Windows.
 */
BOOL CloseHandle(HANDLE h);

#endif /* PLAT_HANDLE_H */
