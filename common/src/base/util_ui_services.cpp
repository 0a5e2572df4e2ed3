/*
 * The user-interface utilities: the administrator check, the availability
 * of the job-information component, those whose services are not built yet (each answers its
 * failure value and says so on the debugger output), and the fixed answers
 * of the fax destination service's stub interface.
 */
#include <tarvel/base/util_ui_services.h>

#include <tarvel/base/job_info_component.h>
#include <tarvel/model_data/mdl_context.h>

#include <plat/debug.h>
#include <plat/handle.h>
#include <plat/security.h>
#include <plat/error.h>
#include <plat/memory.h>

#include <string>

namespace {

/* The model capability that allows the job-information component. */
constexpr DWORD kCapJobInfoComponent = 43;

/* Size of the request block the service would fill. */
constexpr SIZE_T kRequestBlockBytes = 16;

} // namespace

BOOL UTL_IsUserAdmin(void)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return FALSE;
    DWORD needed = 0;
    GetTokenInformation(token, TokenGroups, nullptr, 0, &needed);
    BOOL admin = FALSE;
    auto *groups = needed ? static_cast<TOKEN_GROUPS *>(GlobalAlloc(GPTR, needed)) : nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (groups && GetTokenInformation(token, TokenGroups, groups, needed, &needed) &&
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &administrators)) {
        /* Membership counts whatever the group's attributes. */
        for (DWORD i = 0; i < groups->GroupCount && !admin; i++)
            admin = EqualSid(groups->Groups[i].Sid, administrators);
        FreeSid(administrators);
    }
    if (groups)
        GlobalFree(groups);
    CloseHandle(token);
    return admin;
}

BOOL UTL_IsComComponentAvailable(ModelContext *model, BOOL *available)
{
    if (!model || !available)
        return FALSE;
    *available = FALSE;
    if (!MDL_HasCapability(model->main, MDL_CAP_BIT(kCapJobInfoComponent)))
        return TRUE;
    const HRESULT init = CoInitialize(nullptr);
    JobInfoComponent *component = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_JobInfoComponent, nullptr, JOB_INFO_COMPONENT_CONTEXT,
                                   IID_JobInfoComponent, reinterpret_cast<void **>(&component))) &&
        component) {
        *available = TRUE;
        component->vtbl->Release(component);
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return TRUE;
}

int STB_Open(LPCWSTR)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return STB_ERR_UNAVAILABLE;
}

int STB_Query(HANDLE, LPCVOID)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return STB_ERR_NO_QUERY;
}

int STB_Request(HANDLE service, LPCVOID request, StbReply **reply, LPVOID context)
{
    if (!service || !request || !reply || !context)
        return STB_ERR_NULL_ARGUMENT;
    HGLOBAL block = GlobalAlloc(GPTR, kRequestBlockBytes);
    if (!block)
        return STB_ERR_NO_MEMORY;
    GlobalFree(block);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return STB_ERR_UNAVAILABLE;
}

int STB_FreeReply(StbReply *reply)
{
    if (!reply)
        return STB_ERR_NULL_ARGUMENT;
    if (reply->buffer)
        GlobalFree(reply->buffer);
    GlobalFree(reply);
    return 1;
}
