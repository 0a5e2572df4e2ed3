/*
 * The record of ExtEscape calls and the answers a test scripts for them
 * (see plat/gdi.h): how a test sees which private escapes a library sent,
 * in which order and with what, and makes one of them fail.
 */
#include "gdi_escape_log.h"

#include <plat/gdi.h>
#include <plat/gdi_dc.h>
#include <plat/machine.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace plat {

namespace {

struct ScriptedAnswer {
    int code;
    int answer;
    unsigned times;
    std::vector<BYTE> output;
};

struct EscapeState {
    std::mutex lock;
    std::vector<GdiEscapeRecord> log;
    std::vector<ScriptedAnswer> script;
};

EscapeState &state()
{
    static EscapeState *s = new EscapeState; /* never destroyed: an escape may come during exit */
    return *s;
}

const bool registered = (machine_on_reset(gdi_escape_clear), true);

/* The record keeps the first calls only: a long job of a program that never clears it stays small. */
constexpr size_t kMaxRecords = 4096;

} // namespace

bool gdi_escape_scripted(int code, int *answer, int cbOut, LPSTR out)
{
    EscapeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    for (auto it = s.script.begin(); it != s.script.end(); ++it) {
        if (it->code != code)
            continue;
        *answer = it->answer;
        if (out && cbOut > 0 && !it->output.empty())
            std::memcpy(out, it->output.data(), std::min(size_t(cbOut), it->output.size()));
        if (--it->times == 0)
            s.script.erase(it);
        return true;
    }
    return false;
}

void gdi_escape_record(HDC hdc, int code, int cbIn, LPCSTR in, int cbOut, int answer, bool scripted)
{
    /* The drawing-call log shows the escape with its 32-bit values (inputs of 4 or 8 bytes). */
    std::vector<long> args{code};
    for (int at = 0; in && (cbIn == 4 || cbIn == 8) && at < cbIn; at += 4) {
        int32_t v;
        std::memcpy(&v, in + at, 4);
        args.push_back(v);
    }
    gdi_dc_log_call(hdc, "ExtEscape", std::move(args), answer);
    EscapeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (s.log.size() >= kMaxRecords)
        return;
    GdiEscapeRecord r{hdc, code, {}, cbOut, answer, scripted};
    if (in && cbIn > 0)
        r.input.assign(reinterpret_cast<const BYTE *>(in), reinterpret_cast<const BYTE *>(in) + cbIn);
    s.log.push_back(std::move(r));
}

std::vector<GdiEscapeRecord> gdi_escape_log()
{
    EscapeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.log;
}

void gdi_escape_script(int code, int answer, unsigned times, std::vector<BYTE> output)
{
    if (times == 0)
        return;
    EscapeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.script.push_back({code, answer, times, std::move(output)});
}

void gdi_escape_clear()
{
    (void)registered;
    EscapeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.log.clear();
    s.script.clear();
}

} // namespace plat
