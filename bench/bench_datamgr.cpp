/*
 * Speed of the data manager's two accessors: dma_GetValue and dma_SetValue
 * over all 1,165 settings on zero-filled records, called through the shared
 * library, one call per benchmark iteration (so the time shown is the mean
 * per call over the identifiers of the set).  Numbers, flags and strings are
 * also measured on their own.  The "allocs" counter reports heap
 * allocations per call, counted by this program's operator new.
 */
#include "tarvel/datamgr.h"
#include "tarvel/setting_layout.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<unsigned long> g_allocations{0};

} // namespace

/*
 * Counting replacements of the global allocation functions, kept out of line
 * so that the compiler never pairs malloc() and free() with new and delete.
 */
__attribute__((noinline)) void *operator new(std::size_t n)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}

__attribute__((noinline)) void operator delete(void *p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void *p, std::size_t) noexcept { std::free(p); }

namespace {

enum class Set { All, Numbers, Flags, Strings };

/* One prepared write: the caller's type, size and value bytes. */
struct Write {
    WORD id;
    WORD type;
    LONG size;
    const void *value;
};

const char16_t kText[] = u"A";
const BYTE kBlock[92] = {};
const BYTE *const kBlockPointer = kBlock;
const char16_t *const kTextPointer = kText;
const char16_t kEmpty[] = u"";
const char16_t *const kEmptyPointer = kEmpty;
const ULONGLONG kZero = 0;

bool InSet(const IdLayoutItem &it, Set set)
{
    const bool isFlag = it.storedType == SVT_FLAG;
    const bool isString = it.storedType == SVT_WSTRING || it.storedType == SVT_LOGFONT;
    switch (set) {
    case Set::Numbers:
        return !isFlag && !isString;
    case Set::Flags:
        return isFlag;
    case Set::Strings:
        return isString;
    default:
        return true;
    }
}

std::vector<Write> Prepare(Set set)
{
    std::vector<Write> writes;
    for (const IdLayoutGroup *g = IdLayoutTable; g->items != nullptr; ++g) {
        for (const IdLayoutItem *it = g->items; it->id != 0; ++it) {
            if (!InSet(*it, set))
                continue;
            Write w{it->id, it->storedType, 0, &kZero};
            switch (it->storedType) {
            case SVT_WSTRING: /* one character, or none where only the NUL fits */
                w.size = it->capacity >= sizeof kText ? sizeof kText : 2;
                w.value = it->capacity >= sizeof kText ? &kTextPointer : &kEmptyPointer;
                break;
            case SVT_LOGFONT:
                w.size = sizeof kBlock;
                w.value = &kBlockPointer;
                break;
            case SVT_INT16:
            case SVT_UINT16:
                w.size = 2;
                break;
            case SVT_BYTE:
                w.size = 1;
                break;
            default:
                w.size = 4;
                break;
            }
            writes.push_back(w);
        }
    }
    return writes;
}

struct Records {
    std::vector<BYTE> image = std::vector<BYTE>(SETTINGS_IMAGE_SIZE, 0);
    std::vector<BYTE> printer = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);
};

void BM_GetValue(benchmark::State &state, Set set)
{
    const std::vector<Write> ids = Prepare(set);
    Records rec;
    WORD type = 0, kind = 0;
    LONG size = 0;
    BYTE slot[8];
    for (const Write &w : ids) {
        if (dma_GetValue(w.id, rec.image.data(), rec.printer.data(), &type, &size, slot, &kind) != 0) {
            state.SkipWithError("a read failed");
            return;
        }
    }
    size_t i = 0;
    const unsigned long before = g_allocations.load();
    for (auto _ : state) {
        WORD status = dma_GetValue(ids[i].id, rec.image.data(), rec.printer.data(), &type, &size, slot, &kind);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(slot);
        if (++i == ids.size())
            i = 0;
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(g_allocations.load() - before) /
                                                  static_cast<double>(state.iterations()));
    state.counters["ids"] = static_cast<double>(ids.size());
}

void BM_SetValue(benchmark::State &state, Set set)
{
    const std::vector<Write> writes = Prepare(set);
    Records rec;
    for (const Write &w : writes) {
        if (dma_SetValue(w.id, rec.image.data(), rec.printer.data(), w.type, w.size, w.value) != 0) {
            std::fprintf(stderr, "write of %u failed\n", w.id);
            state.SkipWithError("a write failed");
            return;
        }
    }
    size_t i = 0;
    const unsigned long before = g_allocations.load();
    for (auto _ : state) {
        const Write &w = writes[i];
        WORD status = dma_SetValue(w.id, rec.image.data(), rec.printer.data(), w.type, w.size, w.value);
        benchmark::DoNotOptimize(status);
        benchmark::ClobberMemory();
        if (++i == writes.size())
            i = 0;
    }
    state.counters["allocs"] = benchmark::Counter(static_cast<double>(g_allocations.load() - before) /
                                                  static_cast<double>(state.iterations()));
    state.counters["ids"] = static_cast<double>(writes.size());
}

BENCHMARK_CAPTURE(BM_GetValue, all, Set::All);
BENCHMARK_CAPTURE(BM_GetValue, numbers, Set::Numbers);
BENCHMARK_CAPTURE(BM_GetValue, flags, Set::Flags);
BENCHMARK_CAPTURE(BM_GetValue, strings, Set::Strings);
BENCHMARK_CAPTURE(BM_SetValue, all, Set::All);
BENCHMARK_CAPTURE(BM_SetValue, numbers, Set::Numbers);
BENCHMARK_CAPTURE(BM_SetValue, flags, Set::Flags);
BENCHMARK_CAPTURE(BM_SetValue, strings, Set::Strings);

} // namespace
