/*
 * The document-monitor glue (see tarvel/base/uix_jobwatch.h): finding the
 * monitor library through the registry, loading it with a use count,
 * binding its entry points, and the conversion of the job's blocks to the
 * older layout for a monitor without "JwmSetJwmDataEx".  One lock guards the
 * binding's state; the monitor's entry points are called outside it.
 */
#include <tarvel/base/uix_jobwatch.h>

#include <plat/codepage.h>
#include <plat/file.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/text.h>
#include <plat/version.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <mutex>

namespace {

struct Binding {
    std::mutex lock;
    HMODULE module = nullptr;
    LONG uses = 0;
    CHAR checkFile[UIX_JOBWATCH_FILE_BYTES + 1] = {};
    CHAR libraryPath[UIX_JOBWATCH_PATH_BYTES + 1] = {};
    FARPROC required[std::size(UIX_JOBWATCH_REQUIRED)] = {};
    FARPROC optional[std::size(UIX_JOBWATCH_OPTIONAL)] = {};
    bool extendedData = false;
};

/* Positions of the entry points the wrappers call. */
enum : size_t {
    kCreateJobId = 1,
    kUninit = 3,
    kInit = 4,
    kCreateClientId = 9,
    kExec = 10,
    kSetData = 13,
};
constexpr size_t kSetDataEx = 2; /* of the optional ones */

Binding &binding()
{
    static Binding *b = new Binding; /* never destroyed: a release may come during exit */
    return *b;
}

/* Clears every entry point (lock held). */
void clearEntries(Binding &b)
{
    std::fill(std::begin(b.required), std::end(b.required), nullptr);
    std::fill(std::begin(b.optional), std::end(b.optional), nullptr);
    b.extendedData = false;
}

/* An ANSI value of `key` into `out` (`bytes` bytes of room, terminated); false when missing or empty. */
bool ansiValue(HKEY key, LPCSTR name, CHAR *out, DWORD bytes)
{
    std::memset(out, 0, bytes + 1);
    DWORD type = 0, size = bytes;
    return RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(out), &size) == ERROR_SUCCESS &&
           (type == REG_SZ || type == REG_EXPAND_SZ) && out[0] != 0;
}

bool fileExists(const CHAR *path)
{
    LPWSTR wide = nullptr;
    int chars = MultiByteToWideChar(CP_ACP, 0, path, -1, nullptr, 0);
    if (chars <= 0)
        return false;
    wide = static_cast<LPWSTR>(GlobalAlloc(GPTR, size_t(chars) * sizeof(WCHAR)));
    if (!wide)
        return false;
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, chars);
    const DWORD attributes = GetFileAttributesW(wide);
    GlobalFree(wide);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/* Drops one reference; the last one unloads the library. */
void release()
{
    HMODULE unload = nullptr;
    {
        Binding &b = binding();
        std::lock_guard<std::mutex> g(b.lock);
        if (b.uses <= 0 || --b.uses > 0)
            return;
        unload = b.module;
        b.module = nullptr;
        clearEntries(b);
    }
    if (unload)
        FreeLibrary(unload);
}

/* A copy of one entry point, taken under the lock. */
template <typename F>
F entry(bool optional, size_t n)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    return plat::proc_cast<F>(optional ? b.optional[n] : b.required[n]);
}

BOOL createId(size_t n, HANDLE monitor, LPSTR buffer)
{
    JwmCreateIdFn fn = entry<JwmCreateIdFn>(false, n);
    return fn && buffer ? fn(monitor, buffer) : FALSE;
}

/* Copies a text of at most `size` bytes (its terminator within them, or cut there). */
void copyText(BYTE *to, const CHAR *from, size_t size)
{
    const size_t n = strnlen(from, size);
    std::memcpy(to, from, n);
}

} // namespace

int UIX_GetPlatformKind(void)
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info))
        return 0;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        return UIX_PLATFORM_9X;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT ? UIX_PLATFORM_NT : 0;
}

int UIX_FindJobwatchLibrary(void)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UIX_JOBWATCH_KEY, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return 0;
    CHAR checkFile[UIX_JOBWATCH_FILE_BYTES + 1], path[UIX_JOBWATCH_PATH_BYTES + 1];
    const bool found = ansiValue(key, nullptr, checkFile, UIX_JOBWATCH_FILE_BYTES) && fileExists(checkFile) &&
                       ansiValue(key, "JwmApi", path, UIX_JOBWATCH_PATH_BYTES);
    RegCloseKey(key);
    if (!found)
        return 0;
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    std::memcpy(b.checkFile, checkFile, sizeof checkFile);
    std::memcpy(b.libraryPath, path, sizeof path);
    return 1;
}

int UIX_LocateJobwatch(int platformKind)
{
    if (platformKind != UIX_PLATFORM_9X && platformKind != UIX_PLATFORM_NT)
        return 0;
    return UIX_FindJobwatchLibrary() ? 2 : 0;
}

void UIX_UnloadJobwatch(HMODULE module)
{
    {
        Binding &b = binding();
        std::lock_guard<std::mutex> g(b.lock);
        clearEntries(b);
        if (b.module == module)
            b.module = nullptr;
    }
    if (module)
        FreeLibrary(module);
}

HMODULE UIX_BindJobwatch(DWORD, int *status)
{
    int ignored = 0;
    int &s = status ? *status : ignored;
    s = 0;
    CHAR path[UIX_JOBWATCH_PATH_BYTES + 1];
    {
        Binding &b = binding();
        std::lock_guard<std::mutex> g(b.lock);
        std::memcpy(path, b.libraryPath, sizeof path);
    }
    HMODULE module = path[0] ? LoadLibraryA(path) : nullptr;
    if (!module)
        return nullptr;
    FARPROC required[std::size(UIX_JOBWATCH_REQUIRED)] = {};
    for (size_t i = 0; i < std::size(UIX_JOBWATCH_REQUIRED); i++) {
        required[i] = GetProcAddress(module, UIX_JOBWATCH_REQUIRED[i]);
        if (!required[i]) {
            UIX_UnloadJobwatch(module);
            s = UIX_JOBWATCH_INCOMPLETE;
            return nullptr;
        }
    }
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    std::copy(std::begin(required), std::end(required), b.required);
    for (size_t i = 0; i < std::size(UIX_JOBWATCH_OPTIONAL); i++)
        b.optional[i] = GetProcAddress(module, UIX_JOBWATCH_OPTIONAL[i]);
    b.extendedData = b.optional[kSetDataEx] != nullptr;
    b.module = module;
    return module;
}

HANDLE UIX_InitJobwatchEx(DWORD flags, int *status)
{
    if (status)
        *status = 0;
    if (UIX_LocateJobwatch(UIX_GetPlatformKind()) == 0)
        return nullptr;
    JwmInitializeJobwatchFn init = nullptr;
    {
        /* The first user binds; the lock is held across it, so two first users cannot both load. */
        static std::mutex bindLock;
        std::lock_guard<std::mutex> first(bindLock);
        Binding &b = binding();
        std::unique_lock<std::mutex> g(b.lock);
        if (b.uses == 0) {
            g.unlock();
            if (!UIX_BindJobwatch(0, status))
                return nullptr;
            g.lock();
        }
        ++b.uses;
        init = plat::proc_cast<JwmInitializeJobwatchFn>(b.required[kInit]);
    }
    HANDLE monitor = init ? init(flags) : nullptr;
    if (!monitor)
        release();
    return monitor;
}

HANDLE UIX_InitJobwatch(DWORD flags) { return UIX_InitJobwatchEx(flags, nullptr); }

BOOL UIX_UninitJobwatch(HANDLE monitor)
{
    JwmHandleFn uninit = entry<JwmHandleFn>(false, kUninit);
    if (!uninit)
        return FALSE;
    BOOL result = uninit(monitor);
    release();
    return result;
}

BOOL UIX_ExecJobwatch(HANDLE monitor)
{
    JwmHandleFn exec = entry<JwmHandleFn>(false, kExec);
    return exec ? exec(monitor) : FALSE;
}

BOOL UIX_CreateJobId(HANDLE monitor, LPSTR buffer) { return createId(kCreateJobId, monitor, buffer); }

BOOL UIX_CreateClientId(HANDLE monitor, LPSTR buffer) { return createId(kCreateClientId, monitor, buffer); }

BOOL UIX_ConvertJwmData(const JwmHeadBlock *head, BYTE *block)
{
    if (!head || !block || !head->detail || head->count < 1 || head->count > JWM_MAX_DETAILS)
        return FALSE;
    plat::store_u32(block, 0, head->count);
    plat::store_u32(block, 4, head->kind == 3 ? 2 : 0);
    plat::store_u32(block, 8, head->version);
    copyText(block + JWM_OLD_OFF_PORT, head->portName, sizeof head->portName);
    copyText(block + JWM_OLD_OFF_PRINTER, head->printerName, sizeof head->printerName);
    BYTE *first = block + JWM_OLD_HEAD_SIZE;
    std::memcpy(block + JWM_OLD_OFF_FIRST, &first, sizeof first);
    for (DWORD i = 0; i < head->count; ++i) {
        const JwmDetailBlock &d = head->detail[i];
        BYTE *e = first + size_t(i) * JWM_OLD_RECORD_SIZE;
        plat::store_u32(e, 0, JWM_OLD_RECORD_SIZE);
        plat::store_u32(e, 4, d.jobType == 6 ? 1 : 0);
        plat::store_u32(e, 8, d.jobTime);
        copyText(e + 12, d.portName, sizeof d.portName);
        copyText(e + 272, d.jobId, sizeof d.jobId);
        copyText(e + 336, d.documentName, sizeof d.documentName);
        copyText(e + 596, d.faxText1, sizeof d.faxText1);
        copyText(e + 628, d.faxText2, sizeof d.faxText2);
    }
    return TRUE;
}

BOOL UIX_SetJwmData(HANDLE monitor, const JwmHeadBlock *head)
{
    if (!head || !head->detail)
        return FALSE;
    JwmSetJwmDataExFn setDataEx = entry<JwmSetJwmDataExFn>(true, kSetDataEx);
    if (setDataEx)
        return setDataEx(monitor, head);
    JwmSetJwmDataFn setData = entry<JwmSetJwmDataFn>(false, kSetData);
    if (!setData || head->count < 1 || head->count > JWM_MAX_DETAILS)
        return FALSE;
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, JWM_OLD_HEAD_SIZE + JWM_OLD_RECORD_SIZE * head->count));
    if (!block)
        return FALSE;
    BOOL result = UIX_ConvertJwmData(head, block) ? setData(monitor, block) : FALSE;
    GlobalFree(block);
    return result;
}

LONG UIX_GetJobwatchUseCount(void)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    return b.uses;
}

void UIX_ResetJobwatchForTest(void)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> g(b.lock);
    b.module = nullptr;
    b.uses = 0;
    clearEntries(b);
    b.checkFile[0] = 0;
    b.libraryPath[0] = 0;
}
