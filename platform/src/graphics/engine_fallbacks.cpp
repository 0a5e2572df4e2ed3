/*
 * The engine's drawing fallbacks as a library calls them back when it
 * hands a drawing call to the engine: nothing is drawn; each call is
 * recorded and answers the next result a test queued (TRUE otherwise).
 */
#include <plat/engine.h>
#include <plat/machine.h>

#include <deque>
#include <mutex>

namespace {

struct FallbackState {
    std::mutex lock;
    std::vector<plat::EngineFallbackCall> log;
    std::deque<BOOL> answers;
};

FallbackState &state()
{
    static FallbackState *s = new FallbackState;
    return *s;
}

BOOL record(plat::EngineFallbackCall call)
{
    FallbackState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.log.push_back(std::move(call));
    if (s.answers.empty())
        return TRUE;
    BOOL answer = s.answers.front();
    s.answers.pop_front();
    return answer;
}

RECTL rect_or_empty(const RECTL *r) { return r ? *r : RECTL{}; }

const bool registered = (plat::machine_on_reset(plat::engine_fallback_clear), true);

} // namespace

BOOL EngBitBlt(SURFOBJ *, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *, XLATEOBJ *, RECTL *prclTrg, POINTL *,
               POINTL *, BRUSHOBJ *pbo, POINTL *, ROP4 rop4)
{
    return record({"EngBitBlt", rop4, rect_or_empty(prclTrg), 0, psoSrc, psoMask, pbo});
}

BOOL EngStretchBltROP(SURFOBJ *, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *, XLATEOBJ *, COLORADJUSTMENT *,
                      POINTL *, RECTL *prclDest, RECTL *, POINTL *, ULONG, BRUSHOBJ *pbo, DWORD rop4)
{
    return record({"EngStretchBltROP", rop4, rect_or_empty(prclDest), 0, psoSrc, psoMask, pbo});
}

BOOL EngTransparentBlt(SURFOBJ *, SURFOBJ *psoSrc, CLIPOBJ *, XLATEOBJ *, RECTL *prclDst, RECTL *, ULONG iTransColor,
                       ULONG)
{
    return record({"EngTransparentBlt", 0, rect_or_empty(prclDst), iTransColor, psoSrc, nullptr, nullptr});
}

BOOL EngCopyBits(SURFOBJ *, SURFOBJ *psoSrc, CLIPOBJ *, XLATEOBJ *, RECTL *prclDest, POINTL *)
{
    return record({"EngCopyBits", 0, rect_or_empty(prclDest), 0, psoSrc, nullptr, nullptr});
}

BOOL EngEraseSurface(SURFOBJ *, RECTL *prcl, ULONG iColor)
{
    return record({"EngEraseSurface", 0, rect_or_empty(prcl), iColor, nullptr, nullptr, nullptr});
}

namespace plat {

std::vector<EngineFallbackCall> engine_fallback_log()
{
    FallbackState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.log;
}

void engine_fallback_script(BOOL answer)
{
    FallbackState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.answers.push_back(answer);
}

void engine_fallback_clear()
{
    FallbackState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.log.clear();
    s.answers.clear();
}

} // namespace plat
