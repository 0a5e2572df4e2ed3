/*
 * The debugger-output log behind OutputDebugStringW/A.
 */
#include <plat/debug.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace plat {

namespace {

/*
 * The log holds at most kMaxLog characters.  When text would pass that, the
 * oldest text goes down to kKeepLog at once, so that trimming happens once
 * per million characters or so rather than on every call.
 */
constexpr size_t kMaxLog = size_t(4) << 20;
constexpr size_t kKeepLog = size_t(3) << 20;

struct DebugLog {
    std::mutex lock;
    std::u16string text;
};

DebugLog &log()
{
    static DebugLog *d = new DebugLog; /* never destroyed: output may arrive during exit */
    return *d;
}

void append(std::u16string_view text)
{
    const char *echo = std::getenv("TARVEL_DEBUG_ECHO");
    if (echo && *echo) {
        std::string utf8 = utf16_to_utf8(text);
        std::fwrite(utf8.data(), 1, utf8.size(), stderr);
    }
    DebugLog &d = log();
    std::lock_guard<std::mutex> g(d.lock);
    if (text.size() >= kKeepLog) {
        d.text.assign(text.substr(text.size() - kKeepLog));
        return;
    }
    if (d.text.size() + text.size() > kMaxLog)
        d.text.erase(0, d.text.size() + text.size() - kKeepLog);
    d.text.append(text);
}

const bool registered = (machine_on_reset(debug_clear), true);

} // namespace

std::u16string debug_output()
{
    DebugLog &d = log();
    std::lock_guard<std::mutex> g(d.lock);
    return d.text;
}

void debug_clear()
{
    DebugLog &d = log();
    std::lock_guard<std::mutex> g(d.lock);
    d.text.clear();
}

} // namespace plat

void OutputDebugStringW(LPCWSTR text)
{
    if (text)
        plat::append(std::u16string_view(text, plat::wlen(text)));
}

void OutputDebugStringA(LPCSTR text)
{
    if (!text)
        return;
    std::u16string wide;
    for (const char *p = text; *p; p++)
        wide.push_back(char16_t(static_cast<unsigned char>(*p)));
    plat::append(wide);
}
