/*
 * The few platform services the model data reader needs that our platform
 * layer does not offer yet, each behind one function: the zero-filling
 * allocator, reading a whole file, loading a string of a string module and
 * the ANSI-to-UTF-16 conversion.  Everything else in the reader calls only
 * these, so that moving to the platform's own services touches one file.
 */
#ifndef TARVEL_MODEL_PLATFORM_H
#define TARVEL_MODEL_PLATFORM_H

#include <plat/types.h>

/* Zero-filled block of `size` bytes (at least 1), or null. */
void *mdl_Alloc(size_t size);
/* Frees a block of mdl_Alloc; null is ignored. */
void mdl_Free(void *p);

/*
 * Test-only: makes allocation number `n` (1-based, counted from this call)
 * fail, 0 to stop failing.  Answers nothing; mdl_AllocCount tells how many
 * allocations were made since the last arm, mdl_LiveBlocks how many blocks
 * are currently not freed.
 */
void mdl_FailAllocation(unsigned n);
unsigned mdl_AllocCount(void);
long mdl_LiveBlocks(void);

/*
 * Reads the whole file `path` (a Windows path) into a new zero-filled block
 * of mdl_Alloc.  Returns 0 with the block and its size, 1 when the file
 * cannot be opened or read (or is 4 GiB or larger), 4 when the block cannot
 * be allocated.
 */
WORD ddd_ReadWholeFile(LPCWSTR path, BYTE **data, DWORD *size);

/*
 * Loads string `id` of the string module file `moduleName` (a file name in
 * the driver directory) into `buffer` (capacity `capacity` characters,
 * terminated).  *module carries the loaded module between calls: null
 * loads it, and the loaded handle is left there for the caller to keep or
 * free with ddd_FreeStringModule; id 0 only loads the module.  Returns the
 * number of characters (0 for id 0), 0 when
 * the module holds no such string, and -1 when the module cannot be loaded
 * (last error set): no such file, a directory and name of MAX_PATH
 * characters or more, or no driver directory (RES_InitModulePaths never
 * ran), in which case no other folder is searched.
 */
int ddd_LoadModuleString(LPCWSTR moduleName, HMODULE *module, UINT id, LPWSTR buffer, int capacity);
void ddd_FreeStringModule(HMODULE module);

/*
 * Converts `size` bytes of ANSI text (system code page), stopping at the
 * first NUL, into a new terminated UTF-16 string of mdl_Alloc; *chars gets
 * the number of characters without the terminator.  Null when out of memory.
 */
LPWSTR ddd_AnsiToWideAlloc(const BYTE *text, size_t size, DWORD *chars);

#endif /* TARVEL_MODEL_PLATFORM_H */
