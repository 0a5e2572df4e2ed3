/*
 * The COM layer (plat/com.h): per-thread initialisation counts and a
 * factory table of in-process classes.
 */
#include <plat/com.h>
#include <plat/machine.h>

#include <mutex>
#include <vector>

namespace {

struct ClassEntry {
    CLSID clsid;
    DWORD contexts;
    plat::ComFactory factory;
};

struct Table {
    std::mutex lock;
    std::vector<ClassEntry> classes;
};

Table &table()
{
    static auto *t = new Table;
    return *t;
}

thread_local LONG t_inits = 0;

const bool registered = (plat::machine_on_reset([] {
                             std::lock_guard<std::mutex> g(table().lock);
                             table().classes.clear();
                         }),
                         true);

} // namespace

HRESULT CoInitialize(LPVOID) { return ++t_inits == 1 ? S_OK : S_FALSE; }

void CoUninitialize(void)
{
    if (t_inits > 0)
        --t_inits;
}

HRESULT CoCreateInstance(const CLSID &clsid, void *outer, DWORD context, const IID &iid, void **object)
{
    (void)registered;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (t_inits == 0)
        return CO_E_NOTINITIALIZED;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    plat::ComFactory factory = nullptr;
    {
        std::lock_guard<std::mutex> g(table().lock);
        for (const ClassEntry &e : table().classes)
            if (e.clsid == clsid && (e.contexts & context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)))
                factory = e.factory;
    }
    if (!factory)
        return REGDB_E_CLASSNOTREG;
    HRESULT hr = factory(iid, object);
    if (FAILED(hr))
        *object = nullptr;
    return hr;
}

namespace plat {

void com_register_class(const CLSID &clsid, DWORD contexts, ComFactory factory)
{
    std::lock_guard<std::mutex> g(table().lock);
    for (ClassEntry &e : table().classes)
        if (e.clsid == clsid) {
            e.contexts = contexts;
            e.factory = factory;
            return;
        }
    table().classes.push_back({clsid, contexts, factory});
}

void com_unregister_class(const CLSID &clsid)
{
    std::lock_guard<std::mutex> g(table().lock);
    std::erase_if(table().classes, [&](const ClassEntry &e) { return e.clsid == clsid; });
}

LONG com_thread_inits() { return t_inits; }

} // namespace plat
