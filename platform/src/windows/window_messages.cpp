/*
 * Messages: SendMessageW calls the window procedure directly (with a
 * nesting limit that stops runaway recursion with a trace), PostMessageW
 * appends to the one queue that plat::window_pump and every modal run
 * deliver in order, timers fire on the machine clock when the queue is
 * pumped, and DefWindowProcW gives the default answers.  A spy can record
 * every send and post.
 */
#include "window_private.h"

#include <plat/clock.h>
#include <plat/debug.h>
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/raster.h>
#include <plat/text.h>

#include <algorithm>
#include <cstdio>
#include <deque>

namespace {

using plat::win::Window;

struct TimerEntry {
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    ULONGLONG due = 0;
};

struct MessageState {
    std::deque<MSG> queue;
    std::map<std::pair<HWND, UINT_PTR>, TimerEntry> timers;
    UINT_PTR nextTimerId = 0x7F00;
    int depth = 0;
    int limit = 200;
    std::vector<std::string> trace;
    bool spying = false;
    std::vector<plat::SpyRecord> spy;
};

MessageState &state()
{
    static MessageState *s = new MessageState;
    return *s;
}

void resetMessages()
{
    MessageState &s = state();
    s.queue.clear();
    s.timers.clear();
    s.depth = 0;
    s.limit = 200;
    s.trace.clear();
    s.spying = false;
    s.spy.clear();
}

const bool registered = (plat::machine_on_reset(resetMessages), true);

std::string hex(uintptr_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

std::string narrow(const std::u16string &s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

size_t copyText(const std::u16string &text, LPWSTR out, size_t cch)
{
    if (!out || cch == 0)
        return 0;
    const size_t n = std::min(text.size(), cch - 1);
    std::copy_n(text.data(), n, out);
    out[n] = 0;
    return n;
}

/* Delivers one queued message; timers' WM_TIMER carry their procedure in lParam. */
LRESULT deliver(const MSG &m)
{
    if (m.message == WM_TIMER && m.lParam) {
        reinterpret_cast<TIMERPROC>(m.lParam)(m.hwnd, WM_TIMER, m.wParam, GetTickCount());
        return 0;
    }
    return SendMessageW(m.hwnd, m.message, m.wParam, m.lParam);
}

/* Fires every timer that is due; answers how many fired. */
size_t fireTimers()
{
    MessageState &s = state();
    const ULONGLONG now = GetTickCount64();
    std::vector<std::pair<HWND, UINT_PTR>> due;
    for (auto &[key, t] : s.timers)
        if (t.due <= now)
            due.push_back(key);
    size_t fired = 0;
    for (auto &key : due) {
        auto it = s.timers.find(key);
        if (it == s.timers.end())
            continue; /* killed by an earlier one */
        it->second.due = now + it->second.elapse;
        const TIMERPROC proc = it->second.proc;
        MSG m{key.first, WM_TIMER, key.second, reinterpret_cast<LPARAM>(proc), DWORD(now), {0, 0}};
        if (key.first && !IsWindow(key.first))
            continue;
        deliver(m);
        ++fired;
    }
    return fired;
}

} // namespace

namespace plat::win {

void drop_timers(HWND h)
{
    MessageState &s = state();
    for (auto it = s.timers.begin(); it != s.timers.end();)
        it = it->first.first == h ? s.timers.erase(it) : std::next(it);
}

void drop_posted(HWND h)
{
    MessageState &s = state();
    s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(), [h](const MSG &m) { return m.hwnd == h; }),
                  s.queue.end());
}

} // namespace plat::win

namespace plat {

void window_set_nesting_limit(int depth) { state().limit = std::max(depth, 8); }

std::vector<std::string> window_limit_trace() { return state().trace; }

void window_trace(const std::string &line)
{
    state().trace.push_back(line);
    std::u16string wide(line.begin(), line.end());
    wide += u"\n";
    OutputDebugStringW(wide.c_str());
}

size_t window_pump(size_t limit)
{
    (void)registered;
    MessageState &s = state();
    size_t delivered = 0;
    while (true) {
        if (delivered >= limit) {
            window_trace("window_pump: stopped after " + std::to_string(delivered) +
                         " messages: a message loop that does not end (" + std::to_string(s.queue.size()) +
                         " still queued)");
            s.queue.clear();
            return delivered;
        }
        if (!s.queue.empty()) {
            MSG m = s.queue.front();
            s.queue.pop_front();
            deliver(m);
            ++delivered;
            continue;
        }
        const size_t fired = fireTimers();
        if (fired == 0)
            return delivered;
        delivered += fired;
    }
}

size_t window_queue_length() { return state().queue.size(); }

size_t window_timer_count() { return state().timers.size(); }

void window_spy(bool on)
{
    state().spying = on;
    state().spy.clear();
}

std::vector<SpyRecord> window_spy_log() { return state().spy; }

} // namespace plat

LRESULT SendMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window *w = plat::win::find(window);
    if (!w)
        return 0;
    MessageState &s = state();
    if (s.depth >= s.limit) {
        plat::window_trace("SendMessageW: nesting limit " + std::to_string(s.limit) + " reached sending message " +
                           hex(msg) + " to window " + hex(reinterpret_cast<uintptr_t>(window)) + " (class \"" +
                           narrow(w->className) + "\"): the message was not sent");
        SetLastError(ERROR_TIMEOUT);
        return 0;
    }
    if (s.spying)
        s.spy.push_back({window, msg, wParam, lParam, false});
    WNDPROC proc = w->proc ? w->proc : DefWindowProcW;
    ++s.depth;
    const LRESULT r = proc(window, msg, wParam, lParam);
    --s.depth;
    return r;
}

BOOL PostMessageW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!plat::win::find(window))
        return FALSE;
    MessageState &s = state();
    if (s.spying)
        s.spy.push_back({window, msg, wParam, lParam, true});
    s.queue.push_back(MSG{window, msg, wParam, lParam, GetTickCount(), {0, 0}});
    return TRUE;
}

BOOL PeekMessageW(MSG *msg, HWND window, UINT first, UINT last, UINT remove)
{
    MessageState &s = state();
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (window && it->hwnd != window)
            continue;
        if ((first || last) && (it->message < first || it->message > last))
            continue;
        if (msg)
            *msg = *it;
        if (remove & PM_REMOVE)
            s.queue.erase(it);
        return TRUE;
    }
    return FALSE;
}

LRESULT DispatchMessageW(const MSG *msg)
{
    return msg ? deliver(*msg) : 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(window, msg, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    Window *w = plat::win::find(window);
    if (!w)
        return 0;
    switch (msg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_SETTEXT: {
        const LPCWSTR t = reinterpret_cast<LPCWSTR>(lParam);
        w->title = t ? std::u16string(t, size_t(lstrlenW(t))) : std::u16string();
        w->dirty = true;
        return TRUE;
    }
    case WM_GETTEXT:
        return LRESULT(copyText(w->title, reinterpret_cast<LPWSTR>(lParam), wParam));
    case WM_GETTEXTLENGTH:
        return LRESULT(w->title.size());
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(w->font);
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        const plat::win::ClassInfo *c = plat::win::find_class(w->className);
        if (!c || !c->wc.hbrBackground)
            return 0;
        RECT r;
        GetClientRect(window, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r, c->wc.hbrBackground);
        return 1;
    }
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const bool window_colour = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(window_colour ? COLOR_WINDOW : COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(window_colour ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_HELP:
    case WM_CONTEXTMENU:
        /* Children pass help and context requests up to their parent. */
        if (plat::win::is_child(*w))
            return SendMessageW(w->parent, msg, wParam, lParam);
        return 0;
    case WM_SETCURSOR:
        if (plat::win::is_child(*w))
            return SendMessageW(w->parent, msg, wParam, lParam);
        return FALSE;
    default:
        return 0;
    }
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc)
{
    if (window && !plat::win::find(window))
        return 0;
    MessageState &s = state();
    if (!window)
        id = ++s.nextTimerId;
    elapse = std::clamp<UINT>(elapse, 10u, 0x7FFFFFFFu);
    s.timers[{window, id}] = TimerEntry{elapse, proc, GetTickCount64() + elapse};
    return window ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND window, UINT_PTR id)
{
    MessageState &s = state();
    if (!s.timers.erase({window, id})) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}
