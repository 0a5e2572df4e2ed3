/*
 * Process-wide fault-injection knobs of the platform layer (see plat/fault.h).
 * The knobs are plain counters under one lock; machine_reset disarms them.
 */
#include <plat/fault.h>
#include <plat/machine.h>

#include <mutex>

namespace plat {

namespace {

struct FaultState {
    std::mutex lock;
    unsigned fail_alloc = 0; /* 0 = disarmed, else calls until the failing one */
    unsigned long allocs = 0;
    unsigned fail_write = 0;
    DWORD fail_write_error = ERROR_WRITE_FAULT;
    unsigned short_write = 0;
    DWORD short_write_bytes = 0;
    unsigned long writes = 0;
    bool disk_full = false;
};

FaultState &state()
{
    static FaultState s;
    return s;
}

void fault_reset()
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.fail_alloc = 0;
    s.allocs = 0;
    s.fail_write = 0;
    s.fail_write_error = ERROR_WRITE_FAULT;
    s.short_write = 0;
    s.short_write_bytes = 0;
    s.writes = 0;
    s.disk_full = false;
}

const bool registered = (machine_on_reset(fault_reset), true);

/* Advances an armed countdown; true when this call is the one it names. */
bool count_down(unsigned &left)
{
    if (left == 0)
        return false;
    return --left == 0;
}

} // namespace

void fault_fail_alloc_after(unsigned n)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.fail_alloc = n;
}

unsigned long alloc_count()
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.allocs;
}

void fault_fail_write_after(unsigned n, DWORD error)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.fail_write = n;
    s.fail_write_error = error;
}

void fault_short_write_after(unsigned n, DWORD bytes)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.short_write = n;
    s.short_write_bytes = bytes;
}

unsigned long write_count()
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.writes;
}

void fault_disk_full(bool full)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.disk_full = full;
}

bool fault_alloc_allowed()
{
    (void)registered;
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.allocs++;
    return !count_down(s.fail_alloc);
}

WriteFault fault_next_write(DWORD *error, DWORD *short_bytes)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.writes++;
    /* Both countdowns advance on every call, so arming one never shifts the other. */
    bool fail = count_down(s.fail_write);
    bool shorten = count_down(s.short_write);
    if (fail) {
        *error = s.fail_write_error;
        return WRITE_FAIL;
    }
    if (shorten) {
        *short_bytes = s.short_write_bytes;
        return WRITE_SHORT;
    }
    return WRITE_NORMAL;
}

bool fault_disk_is_full()
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.disk_full;
}

} // namespace plat
