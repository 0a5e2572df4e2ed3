/*
 * The document-monitor glue: finding the monitor library through the
 * registry, loading it with a use count, binding its entry points, and the
 * conversion of the job's blocks to the older layout for a monitor without
 * "JwmSetJwmDataEx".  One lock guards the binding; the monitor's entry
 * points are called outside it.
 */
#include <tarvel/uix_jobwatch.h>

#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/version.h>

#include <cstring>
#include <mutex>

namespace {

constexpr DWORD kMinMajorVersion = 6;
constexpr DWORD kPathChars = MAX_PATH;

struct Binding {
    std::mutex lock;
    HMODULE module = nullptr;
    LONG uses = 0;
    JwmInitializeJobwatchFn init = nullptr;
    JwmHandleFn uninit = nullptr;
    JwmHandleFn exec = nullptr;
    JwmCreateIdFn jobId = nullptr;
    JwmCreateIdFn clientId = nullptr;
    JwmSetJwmDataExFn setDataEx = nullptr;
    JwmSetJwmDataFn setData = nullptr;
};

Binding &binding()
{
    static Binding *b = new Binding; /* never destroyed: a release may come during exit */
    return *b;
}

void forget(Binding &b)
{
    b.module = nullptr;
    b.uses = 0;
    b.init = nullptr;
    b.uninit = b.exec = nullptr;
    b.jobId = b.clientId = nullptr;
    b.setDataEx = nullptr;
    b.setData = nullptr;
}

bool platformSupported()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    return GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           info.dwMajorVersion >= kMinMajorVersion;
}

/* The library's path from the registry; false when it is not named. */
bool libraryPath(WCHAR (&path)[kPathChars])
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UIX_JOBWATCH_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof path - sizeof(WCHAR);
    std::memset(path, 0, sizeof path);
    LONG err = RegQueryValueExW(key, UIX_JOBWATCH_VALUE, nullptr, &type, reinterpret_cast<BYTE *>(path), &size);
    RegCloseKey(key);
    return err == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && path[0] != 0;
}

template <typename F>
F bind(HMODULE module, const char *name)
{
    return plat::proc_cast<F>(GetProcAddress(module, name));
}

/* Loads and binds the library when it is not loaded (lock held); false when it cannot be. */
bool load(Binding &b)
{
    if (b.module)
        return true;
    WCHAR path[kPathChars];
    if (!platformSupported() || !libraryPath(path))
        return false;
    b.module = LoadLibraryW(path);
    if (!b.module)
        return false;
    b.init = bind<JwmInitializeJobwatchFn>(b.module, "JwmInitializeJobwatch");
    b.uninit = bind<JwmHandleFn>(b.module, "JwmUnInitializeJobwatch");
    b.exec = bind<JwmHandleFn>(b.module, "JwmExecJobwatch");
    b.jobId = bind<JwmCreateIdFn>(b.module, "JwmCreateJobId");
    b.clientId = bind<JwmCreateIdFn>(b.module, "JwmCreateClientId");
    b.setDataEx = bind<JwmSetJwmDataExFn>(b.module, "JwmSetJwmDataEx");
    b.setData = bind<JwmSetJwmDataFn>(b.module, "JwmSetJwmData");
    return true;
}

/* Drops one reference; the last one unloads the library. */
void release()
{
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    if (b.uses <= 0 || --b.uses > 0)
        return;
    FreeLibrary(b.module);
    forget(b);
}

/* A copy of one entry point, taken under the lock. */
template <typename F>
F entry(F Binding::*member)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    return b.*member;
}

BOOL createId(JwmCreateIdFn Binding::*member, HANDLE monitor, LPSTR buffer)
{
    JwmCreateIdFn fn = entry(member);
    return fn && buffer ? fn(monitor, buffer, UIX_ID_SIZE) : FALSE;
}

/* The head and details in the older layout: a new GlobalAlloc block of *size bytes, or null. */
BYTE *oldLayout(const JwmHeadBlock *head, DWORD *size)
{
    const DWORD count = head->count;
    if (count < 1 || count > JWM_MAX_DETAILS || !head->detail)
        return nullptr;
    *size = JWM_OLD_HEAD_SIZE + JWM_OLD_RECORD_SIZE * count;
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, *size));
    if (!block)
        return nullptr;
    plat::store_u32(block, 0, *size);
    plat::store_u32(block, 4, count);
    plat::store_u32(block, 8, head->kind);
    plat::store_u32(block, 12, head->version);
    std::memcpy(block + JWM_OLD_OFF_PORT, head->portName, sizeof head->portName);
    std::memcpy(block + JWM_OLD_OFF_PRINTER, head->printerName, sizeof head->printerName);
    for (DWORD i = 0; i < count; ++i) {
        BYTE *record = block + JWM_OLD_HEAD_SIZE + size_t(i) * JWM_OLD_RECORD_SIZE;
        std::memcpy(record, &head->detail[i], JWM_OLD_RECORD_SIZE);
        plat::store_u32(record, 0, JWM_OLD_RECORD_SIZE);
    }
    return block;
}

} // namespace

HANDLE UIX_InitJobwatch(DWORD flags)
{
    JwmInitializeJobwatchFn init = nullptr;
    {
        Binding &b = binding();
        std::lock_guard<std::mutex> g(b.lock);
        if (!load(b))
            return nullptr;
        ++b.uses;
        init = b.init;
    }
    HANDLE monitor = init ? init(flags) : nullptr;
    if (!monitor)
        release();
    return monitor;
}

BOOL UIX_UninitJobwatch(HANDLE monitor)
{
    JwmHandleFn uninit = entry(&Binding::uninit);
    if (!uninit)
        return FALSE;
    BOOL result = uninit(monitor);
    release();
    return result;
}

BOOL UIX_ExecJobwatch(HANDLE monitor)
{
    JwmHandleFn exec = entry(&Binding::exec);
    return exec ? exec(monitor) : FALSE;
}

BOOL UIX_CreateJobId(HANDLE monitor, LPSTR buffer) { return createId(&Binding::jobId, monitor, buffer); }

BOOL UIX_CreateClientId(HANDLE monitor, LPSTR buffer) { return createId(&Binding::clientId, monitor, buffer); }

BOOL UIX_SetJwmData(HANDLE monitor, const JwmHeadBlock *head)
{
    if (!head || !head->detail)
        return FALSE;
    JwmSetJwmDataExFn setDataEx = entry(&Binding::setDataEx);
    if (setDataEx)
        return setDataEx(monitor, head);
    JwmSetJwmDataFn setData = entry(&Binding::setData);
    if (!setData)
        return FALSE;
    DWORD size = 0;
    BYTE *block = oldLayout(head, &size);
    if (!block)
        return FALSE;
    BOOL result = setData(monitor, block, size);
    GlobalFree(block);
    return result;
}

LONG UIX_GetJobwatchUseCount(void) { return entry(&Binding::uses); }

void UIX_ResetJobwatchForTest(void)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    forget(b);
}
