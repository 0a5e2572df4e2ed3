/*
 * Process-wide fault-injection knobs of the platform layer (see plat/fault.h).
 * The knobs are plain counters under one lock; machine_reset disarms them.
 */
#include <plat/fault.h>
#include <plat/machine.h>

#include <csignal>
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
    unsigned fail_read = 0;
    DWORD fail_read_error = ERROR_READ_FAULT;
    unsigned long reads = 0;
    DWORD store_read_error = 0;
    unsigned kill_save = 0; /* saves until the one to kill, 0 = disarmed */
    SaveStep kill_step = SAVE_STEP_CREATED;
    bool killing = false; /* the running save is the one to kill */
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
    s.fail_read = 0;
    s.fail_read_error = ERROR_READ_FAULT;
    s.reads = 0;
    s.store_read_error = 0;
    s.kill_save = 0;
    s.killing = false;
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

void fault_fail_read_after(unsigned n, DWORD error)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.fail_read = n;
    s.fail_read_error = error;
}

unsigned long read_count()
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.reads;
}

bool fault_next_read(DWORD *error)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.reads++;
    if (!count_down(s.fail_read))
        return false;
    *error = s.fail_read_error;
    return true;
}

void fault_fail_store_reads(DWORD error)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.store_read_error = error;
}

DWORD fault_store_read_error()
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.store_read_error;
}

void fault_kill_save_at(unsigned n, SaveStep step)
{
    FaultState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.kill_save = n;
    s.kill_step = step;
}

void fault_save_step(SaveStep step)
{
    FaultState &s = state();
    std::unique_lock<std::mutex> g(s.lock);
    if (step == SAVE_STEP_CREATED && s.kill_save)
        s.killing = --s.kill_save == 0;
    if (s.killing && step == s.kill_step) {
        g.unlock();
        std::raise(SIGKILL);
    }
    if (step == SAVE_STEP_RENAMED)
        s.killing = false;
}

} // namespace plat
