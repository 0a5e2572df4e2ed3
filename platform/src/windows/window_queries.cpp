/*
 * Window texts (see plat/window_queries.h): a side table of titles keyed by
 * window handle, consulted only while the window table says the window
 * exists.  Window handles are never reused, so a destroyed window's entry
 * can never be taken for a new window's; the table is emptied with the
 * machine.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/window_queries.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

namespace {

struct TitleTable {
    std::mutex lock;
    std::map<HWND, std::u16string> titles;
};

TitleTable &titles()
{
    static TitleTable *t = new TitleTable; /* never destroyed: windows may be asked about during exit */
    return *t;
}

void resetTitles()
{
    TitleTable &t = titles();
    std::lock_guard<std::mutex> g(t.lock);
    t.titles.clear();
}

const bool registered = (plat::machine_on_reset(resetTitles), true);

} // namespace

BOOL SetWindowTextW(HWND window, LPCWSTR text)
{
    (void)registered;
    if (!window || !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    TitleTable &t = titles();
    std::lock_guard<std::mutex> g(t.lock);
    t.titles[window] = text ? std::u16string(text) : std::u16string();
    return TRUE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int capacity)
{
    if (!buffer || capacity <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = 0;
    if (!window || !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    TitleTable &t = titles();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.titles.find(window);
    if (it == t.titles.end())
        return 0;
    size_t n = std::min(it->second.size(), size_t(capacity - 1));
    std::copy_n(it->second.data(), n, buffer);
    buffer[n] = 0;
    return int(n);
}
