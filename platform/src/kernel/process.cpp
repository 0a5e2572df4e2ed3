/*
 * CreateProcessW as a recorder (see plat/process.h): launches are recorded
 * and answered from the script; the handles handed out are kernel handles
 * of the process kind that CloseHandle closes.
 */
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/process.h>
#include <plat/text.h>

#include <atomic>
#include <deque>
#include <mutex>

namespace plat {

namespace {

struct ProcessState {
    std::mutex lock;
    std::deque<DWORD> failures;
    std::vector<ProcessLaunch> log;
    DWORD nextId = 0x1000;
};

ProcessState &state()
{
    static ProcessState *s = new ProcessState; /* never destroyed: a launch may come during exit */
    return *s;
}

std::atomic<size_t> g_open{0};

/* A process or thread object: nothing to release but the count of open ones. */
struct LaunchObject {
    DWORD id;
};

void close_object(void *object)
{
    delete static_cast<LaunchObject *>(object);
    g_open--;
}

const bool registered = (machine_on_reset(process_clear), handle_register(HANDLE_KIND_PROCESS, close_object), true);

HANDLE new_handle(DWORD id)
{
    auto *object = new LaunchObject{id};
    g_open++;
    return handle_create(HANDLE_KIND_PROCESS, object);
}

std::u16string text_of(LPCWSTR s) { return s ? std::u16string(s, wlen(s)) : std::u16string(); }

} // namespace

void process_script_failure(DWORD error)
{
    ProcessState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.failures.push_back(error);
}

std::vector<ProcessLaunch> process_log()
{
    ProcessState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.log;
}

void process_clear()
{
    (void)registered;
    ProcessState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.failures.clear();
    s.log.clear();
}

size_t process_open_handles() { return g_open.load(); }

} // namespace plat

BOOL CreateProcessW(LPCWSTR application, LPWSTR commandLine, void *, void *, BOOL, DWORD flags, LPVOID,
                    LPCWSTR currentDirectory, STARTUPINFOW *startup, PROCESS_INFORMATION *info)
{
    if ((!application && !commandLine) || !startup || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    plat::ProcessState &s = plat::state();
    DWORD failure = 0, id = 0;
    {
        std::lock_guard<std::mutex> g(s.lock);
        if (!s.failures.empty()) {
            failure = s.failures.front();
            s.failures.pop_front();
        }
        s.log.push_back({plat::text_of(application), plat::text_of(commandLine), plat::text_of(currentDirectory),
                         flags, failure == 0});
        id = s.nextId;
        s.nextId += 8;
    }
    if (failure) {
        SetLastError(failure);
        return FALSE;
    }
    PROCESS_INFORMATION made{plat::new_handle(id), plat::new_handle(id + 4), id, id + 4};
    if (!made.hProcess || !made.hThread) {
        if (made.hProcess)
            CloseHandle(made.hProcess);
        if (made.hThread)
            CloseHandle(made.hThread);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    *info = made;
    return TRUE;
}
