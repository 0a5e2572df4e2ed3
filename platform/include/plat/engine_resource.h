/*
 * The engine's resource lookup for a printer library: a resource of a
 * module (a resource container loaded as a data file) found by number and
 * type, answered as a pointer to its bytes and their size.
 */
#ifndef PLAT_ENGINE_RESOURCE_H
#define PLAT_ENGINE_RESOURCE_H

#include <plat/types.h>

/*
 * The bytes of resource `iName` of type `iType` in module `h` (read-only,
 * valid while the module stays loaded) and their size in *pulSize.  Null
 * (and *pulSize 0) when the module has no such resource, with the last error
 * of FindResourceW, or ERROR_INVALID_PARAMETER without a size pointer.
 */
PVOID EngFindResource(HANDLE h, int iName, int iType, ULONG *pulSize);

#endif /* PLAT_ENGINE_RESOURCE_H */
