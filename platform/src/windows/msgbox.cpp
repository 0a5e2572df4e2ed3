/*
 * MessageBoxW as a recorder: each box is recorded and answered from the
 * script queue, or with its default button.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/msgbox.h>
#include <plat/text.h>

#include <array>
#include <deque>
#include <mutex>

namespace plat {

namespace {

struct MsgBoxState {
    std::mutex lock;
    std::deque<int> script;
    std::vector<MsgBoxRecord> log;
};

MsgBoxState &state()
{
    static MsgBoxState *s = new MsgBoxState; /* never destroyed: a box may be shown during exit */
    return *s;
}

const bool registered = (machine_on_reset(msgbox_clear), true);

/* The buttons of each button type, left to right (at most three; 0 ends a row). */
constexpr std::array<std::array<int, 3>, 7> kButtons = {{
    {IDOK, 0, 0},
    {IDOK, IDCANCEL, 0},
    {IDABORT, IDRETRY, IDIGNORE},
    {IDYES, IDNO, IDCANCEL},
    {IDYES, IDNO, 0},
    {IDRETRY, IDCANCEL, 0},
    {IDCANCEL, IDTRYAGAIN, IDCONTINUE},
}};

/* The answer of Enter on a box of this style: its default button, or the first when that is past the last. */
int defaultAnswer(UINT style)
{
    const std::array<int, 3> &row = kButtons[style & MB_TYPEMASK];
    UINT index = (style & MB_DEFMASK) >> 8;
    if (index >= row.size() || row[index] == 0)
        index = 0;
    return row[index];
}

std::u16string textOf(LPCWSTR s) { return s ? std::u16string(s, wlen(s)) : std::u16string(); }

} // namespace

void msgbox_script(int answer)
{
    MsgBoxState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.script.push_back(answer);
}

std::vector<MsgBoxRecord> msgbox_log()
{
    MsgBoxState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.log;
}

void msgbox_clear()
{
    (void)registered;
    MsgBoxState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.script.clear();
    s.log.clear();
}

} // namespace plat

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style)
{
    if ((style & MB_TYPEMASK) >= plat::kButtons.size()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    plat::MsgBoxState &s = plat::state();
    std::lock_guard<std::mutex> g(s.lock);
    int answer = plat::defaultAnswer(style);
    if (!s.script.empty()) {
        answer = s.script.front();
        s.script.pop_front();
    }
    s.log.push_back(plat::MsgBoxRecord{owner, plat::textOf(text), plat::textOf(caption), style, answer});
    return answer;
}
