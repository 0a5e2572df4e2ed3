/*
 * EngFindResource over the platform's resource containers.
 */
#include <plat/engine_resource.h>

#include <plat/error.h>
#include <plat/resource.h>

PVOID EngFindResource(HANDLE h, int iName, int iType, ULONG *pulSize)
{
    if (!pulSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *pulSize = 0;
    auto module = static_cast<HMODULE>(h);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(iName), MAKEINTRESOURCEW(iType));
    HGLOBAL data = info ? LoadResource(module, info) : nullptr;
    PVOID bytes = data ? LockResource(data) : nullptr;
    if (bytes)
        *pulSize = SizeofResource(module, info);
    return bytes;
}
