/*
 * Activation contexts.  The driver loads its companions inside its own
 * activation context; on this machine there are no side-by-side assemblies,
 * so the calls only check their arguments and succeed.
 */
#include <plat/error.h>
#include <plat/loader.h>

namespace {

/* The one context every CreateActCtxW answers; its address is the handle. */
char g_context;

} // namespace

HANDLE CreateActCtxW(PCACTCTXW actctx)
{
    if (!actctx) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    return &g_context;
}

BOOL ActivateActCtx(HANDLE, ULONG_PTR *cookie)
{
    if (!cookie) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *cookie = 1;
    return TRUE;
}

BOOL DeactivateActCtx(DWORD, ULONG_PTR) { return TRUE; }

void AddRefActCtx(HANDLE) {}

void ReleaseActCtx(HANDLE) {}
