/*
 * Module handles for resources: the table of data-file modules (containers
 * opened from files or bytes) and of code modules' own string tables, and
 * the Windows resource functions that answer on those handles.
 */
#include "resource_private.h"

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>

namespace plat {

namespace {

/* A data-file module: one open container, shared by every open of its file. */
struct DataModule {
    HMODULE handle = module_handle_new(); /* never reused, never the record's address */
    RsrcImagePtr image;
    std::string real_path; /* empty for a module made from bytes */
    unsigned refs = 1;
};

struct ModuleTable {
    std::mutex lock;
    std::map<HMODULE, DataModule *> data;
    std::map<HMODULE, std::map<UINT, std::u16string>> strings;
};

ModuleTable &table()
{
    static ModuleTable *t = new ModuleTable; /* never destroyed: modules may be closed during exit */
    return *t;
}

HMODULE handle_of(const DataModule *m) { return m->handle; }

/* The data-file module behind a handle, or null.  Caller holds the lock. */
DataModule *data_module(ModuleTable &t, HMODULE h)
{
    auto it = t.data.find(h);
    return it == t.data.end() ? nullptr : it->second;
}

/*
 * Reads the whole file at real path `real` into image storage.  Returns 0 or
 * a Windows error.  This is the one place that touches the file; it reads
 * with POSIX calls until the file services offer CreateFileW and mappings.
 */
DWORD read_container_file(const std::string &real, std::vector<char16_t> &store, size_t &size)
{
    int fd = ::open(real.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_MOD_NOT_FOUND;
    struct stat st;
    DWORD err = 0;
    if (::fstat(fd, &st) != 0)
        err = ERROR_READ_FAULT;
    else if (!S_ISREG(st.st_mode) || uint64_t(st.st_size) > RSRC_MAX_SIZE)
        err = ERROR_BAD_FORMAT;
    else if (!image_alloc(size_t(st.st_size), store))
        err = ERROR_NOT_ENOUGH_MEMORY;
    size = 0;
    auto *dst = reinterpret_cast<BYTE *>(store.data());
    size_t want = err ? 0 : size_t(st.st_size);
    while (!err && size < want) {
        ssize_t got = ::read(fd, dst + size, want - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            err = ERROR_READ_FAULT;
        else if (got == 0)
            break; /* the file shrank: the container check refuses the rest */
        else
            size += size_t(got);
    }
    ::close(fd);
    return err;
}

/* The open module of file `real`, or null.  Caller holds the lock. */
DataModule *module_of_file(ModuleTable &t, const std::string &real)
{
    for (auto &[h, m] : t.data)
        if (!m->real_path.empty() && m->real_path == real)
            return m;
    return nullptr;
}

/*
 * Registers a checked image as a new module, or takes one more reference on
 * the module of the same file when another thread opened it meanwhile; null
 * when memory is short.
 */
HMODULE add_data_module(RsrcImagePtr image, const std::string &real_path)
{
    DataModule *m = new (std::nothrow) DataModule;
    if (!m) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    m->image = std::move(image);
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    if (DataModule *open = real_path.empty() ? nullptr : module_of_file(t, real_path)) {
        delete m;
        ++open->refs;
        return handle_of(open);
    }
    try {
        m->real_path = real_path;
        t.data.emplace(handle_of(m), m);
    } catch (const std::bad_alloc &) {
        delete m;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return handle_of(m);
}

DWORD error_for(RsrcStatus st) { return st == RsrcStatus::no_memory ? ERROR_NOT_ENOUGH_MEMORY : ERROR_BAD_FORMAT; }

/*
 * Finds string `id` of a module.  Caller holds the lock; the view stays valid
 * while the module's entry does.  Returns 0 or the error for a missing one.
 */
DWORD find_string(ModuleTable &t, HMODULE h, UINT id, std::u16string_view &text)
{
    if (DataModule *m = data_module(t, h))
        return rsrc_string(*m->image, id, text) ? 0 : DWORD(ERROR_RESOURCE_NAME_NOT_FOUND);
    auto it = t.strings.find(h);
    if (it == t.strings.end())
        return ERROR_RESOURCE_DATA_NOT_FOUND;
    auto s = it->second.find(id);
    if (s == it->second.end() || s->second.empty())
        return ERROR_RESOURCE_NAME_NOT_FOUND;
    text = s->second;
    return 0;
}

/*
 * The directory entry `info` of data-file module `module`, with the module's
 * image; null with ERROR_INVALID_HANDLE when `info` is not an entry of that
 * module.  Caller holds the lock.
 */
const RsrcImage::Entry *entry_of(ModuleTable &t, HMODULE module, HRSRC info, const RsrcImage *&image)
{
    DataModule *m = data_module(t, module);
    if (m) {
        const auto &entries = m->image->entries;
        auto p = reinterpret_cast<ULONG_PTR>(info);
        auto first = reinterpret_cast<ULONG_PTR>(entries.data());
        auto end = reinterpret_cast<ULONG_PTR>(entries.data() + entries.size());
        if (p >= first && p < end && (p - first) % sizeof(RsrcImage::Entry) == 0) {
            image = m->image.get();
            return static_cast<const RsrcImage::Entry *>(info);
        }
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

/*
 * The resource handle behind a module handle.  LoadLibraryExW with the
 * data-file flags answers the loader's own record, whose payload is the
 * container module opened here; code modules and containers opened directly
 * are their own resource handles.  Called without the table lock: the
 * loader calls into this file with its own lock held.
 */
HMODULE resource_handle(HMODULE h)
{
    ModuleTable &t = table();
    {
        std::lock_guard<std::mutex> g(t.lock);
        if (t.data.count(h) || t.strings.count(h))
            return h;
    }
    void *payload = loader_module_payload(h);
    return payload ? static_cast<HMODULE>(payload) : h;
}

void *open_for_loader(const std::string &, std::u16string_view win_path)
{
    std::u16string path(win_path);
    return rsrc_open_file(path.c_str());
}

void close_for_loader(void *payload) { rsrc_close(static_cast<HMODULE>(payload)); }

const DatafileOpener g_opener = {open_for_loader, close_for_loader};

/* A code module's string table goes with the module when it is unloaded. */
void forget_unloaded_module(HMODULE module) { rsrc_detach_strings(module); }

/* Data-file loads of the loader open containers here, never with dlopen. */
const bool g_opener_registered = (loader_register_datafile_opener(&g_opener), true);
const bool g_unload_registered = (loader_on_unload(forget_unloaded_module), true);

} // namespace

HMODULE rsrc_open_file(LPCWSTR path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string real;
    if (!map_path(std::u16string_view(path, wlen(path)), real)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ModuleTable &t = table();
    {
        std::lock_guard<std::mutex> g(t.lock);
        if (DataModule *m = module_of_file(t, real)) {
            ++m->refs;
            return handle_of(m);
        }
    }
    std::vector<char16_t> store;
    size_t size = 0;
    DWORD err = read_container_file(real, store, size);
    if (err) {
        SetLastError(err);
        return nullptr;
    }
    RsrcImagePtr image;
    RsrcStatus st = image_adopt(std::move(store), size, image);
    if (st != RsrcStatus::ok) {
        SetLastError(error_for(st));
        return nullptr;
    }
    return add_data_module(std::move(image), real);
}

HMODULE rsrc_open_bytes(std::span<const BYTE> bytes)
{
    RsrcImagePtr image;
    RsrcStatus st = rsrc_open_image(bytes, image);
    if (st != RsrcStatus::ok) {
        SetLastError(error_for(st));
        return nullptr;
    }
    return add_data_module(std::move(image), std::string());
}

bool rsrc_close(HMODULE module)
{
    ModuleTable &t = table();
    DataModule *gone = nullptr;
    {
        std::lock_guard<std::mutex> g(t.lock);
        DataModule *m = data_module(t, module);
        if (!m)
            return false;
        if (--m->refs == 0) {
            t.data.erase(module);
            gone = m;
        }
    }
    delete gone;
    return true;
}

bool rsrc_is_data_module(HMODULE module)
{
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return data_module(t, module) != nullptr;
}

const RsrcImage *rsrc_module_image(HMODULE module)
{
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    DataModule *m = data_module(t, module);
    return m ? m->image.get() : nullptr;
}

bool rsrc_attach_strings(HMODULE code_module, std::span<const RsrcString> strings)
{
    if (!code_module) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::map<UINT, std::u16string> copy;
    try {
        for (const RsrcString &s : strings) {
            if (!s.text || s.id > 0xFFFF) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return false;
            }
            copy[s.id] = s.text;
        }
        ModuleTable &t = table();
        std::lock_guard<std::mutex> g(t.lock);
        if (data_module(t, code_module)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        t.strings[code_module] = std::move(copy);
    } catch (const std::bad_alloc &) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    return true;
}

void rsrc_detach_strings(HMODULE code_module)
{
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    t.strings.erase(code_module);
}

} // namespace plat

using namespace plat;

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buf, int cch)
{
    if (!buf || cch < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    instance = resource_handle(instance);
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    std::u16string_view text;
    DWORD err = find_string(t, instance, id, text);
    if (cch == 0) {
        /* buf is a `const WCHAR **`: hand out the string in place */
        const WCHAR *p = err ? nullptr : text.data();
        std::memcpy(buf, &p, sizeof p);
    } else {
        size_t n = err ? 0 : std::min(text.size(), size_t(cch) - 1);
        if (n)
            std::memcpy(buf, text.data(), n * sizeof(WCHAR));
        buf[n] = 0;
        text = text.substr(0, n);
    }
    if (err) {
        SetLastError(err);
        return 0;
    }
    return int(text.size());
}

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    RsrcKey type_key, id_key;
    if (!rsrc_key_from(type, type_key) || !rsrc_key_from(name, id_key)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    module = resource_handle(module);
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    DataModule *m = data_module(t, module);
    if (!m) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    if (const RsrcImage::Entry *e = image_find(*m->image, type_key, id_key))
        return const_cast<RsrcImage::Entry *>(e);
    SetLastError(image_has_type(*m->image, type_key) ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL LoadResource(HMODULE module, HRSRC info)
{
    module = resource_handle(module);
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const RsrcImage *image = nullptr;
    const RsrcImage::Entry *e = entry_of(t, module, info, image);
    return e ? const_cast<BYTE *>(image->bytes() + e->off) : nullptr;
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE module, HRSRC info)
{
    module = resource_handle(module);
    ModuleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const RsrcImage *image = nullptr;
    const RsrcImage::Entry *e = entry_of(t, module, info, image);
    return e ? e->size : 0;
}

BOOL FreeResource(HGLOBAL) { return FALSE; }
