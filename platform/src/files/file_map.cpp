/*
 * File mapping: CreateFileMappingW, MapViewOfFile and UnmapViewOfFile over
 * mmap.  A mapping object holds its own descriptor and a reference to the
 * open file, so the file stays open (and keeps its share state) until the
 * mapping is closed; each view holds a reference to its mapping object, so a
 * mapping handle may be closed while views remain, as on Windows.
 */
#include "file_private.h"

#include <plat/error.h>
#include <plat/fault.h>
#include <plat/handle.h>

#include <cerrno>
#include <map>
#include <sys/mman.h>
#include <unistd.h>

using namespace plat::files;

namespace {

/* Views start at multiples of the Windows allocation granularity. */
constexpr uint64_t kGranularity = 64 * 1024;

struct MappingObject {
    int fd = -1;       /* own descriptor: a dup of the file's, or anonymous memory */
    uint64_t size = 0; /* bytes the object covers */
    DWORD protect = 0; /* PAGE_READONLY, PAGE_READWRITE or PAGE_WRITECOPY */
    FileRef file;      /* the file, for a file-backed object */
};

void mapping_release(void *object)
{
    auto *m = static_cast<MappingObject *>(object);
    if (m->file)
        file_note_mapping(*m->file, -1);
    if (m->fd >= 0)
        close(m->fd);
    delete m;
}

const bool registered = plat::handle_register(plat::HANDLE_KIND_MAPPING, mapping_release);

struct View {
    size_t length;
    std::shared_ptr<void> mapping;
};

struct ViewTable {
    std::mutex lock;
    std::map<uintptr_t, View> views;
};

ViewTable &views()
{
    static ViewTable *t = new ViewTable; /* never destroyed: views may outlive static destructors */
    return *t;
}

void *fail(DWORD error)
{
    SetLastError(error);
    return nullptr;
}

/* Sets up `m` over an open file; 0 or a last error. */
DWORD over_file(MappingObject &m, HANDLE file, uint64_t size)
{
    FileRef f = file_from_handle(file);
    if (!f)
        return ERROR_INVALID_HANDLE;
    unsigned need = m.protect == PAGE_READWRITE ? (ACC_READ | ACC_WRITE) : ACC_READ;
    if ((f->access & need) != need)
        return ERROR_ACCESS_DENIED;
    struct stat st;
    if (fstat(f->fd, &st) != 0)
        return ERROR_INVALID_HANDLE;
    uint64_t file_size = uint64_t(st.st_size);
    if (size == 0) {
        if (file_size == 0)
            return ERROR_FILE_INVALID;
        size = file_size;
    } else if (size > file_size) {
        if (m.protect != PAGE_READWRITE)
            return ERROR_ACCESS_DENIED;
        if (plat::fault_disk_is_full())
            return ERROR_DISK_FULL;
        if (ftruncate(f->fd, off_t(size)) != 0)
            return error_from_errno(errno, f->path);
    }
    m.fd = dup(f->fd);
    if (m.fd < 0)
        return error_from_errno(errno, f->path);
    m.size = size;
    m.file = f;
    file_note_mapping(*f, +1);
    return 0;
}

/* Sets up `m` over fresh zeroed memory of `size` bytes; 0 or a last error. */
DWORD over_memory(MappingObject &m, uint64_t size)
{
    if (size == 0)
        return ERROR_INVALID_PARAMETER;
    m.fd = memfd_create("tarvel-mapping", MFD_CLOEXEC);
    if (m.fd < 0 || ftruncate(m.fd, off_t(size)) != 0)
        return ERROR_NOT_ENOUGH_MEMORY;
    m.size = size;
    return 0;
}

} // namespace

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES sa, DWORD protect, DWORD size_high, DWORD size_low,
                          LPCWSTR name)
{
    (void)sa;
    (void)registered;
    if (name)
        return fail(ERROR_CALL_NOT_IMPLEMENTED);
    DWORD page = protect & 0xFFu; /* the SEC_ bits above are accepted and ignored */
    if (page != PAGE_READONLY && page != PAGE_READWRITE && page != PAGE_WRITECOPY)
        return fail(ERROR_INVALID_PARAMETER);
    uint64_t size = (uint64_t(size_high) << 32) | size_low;
    if (size > uint64_t(INT64_MAX))
        return fail(ERROR_INVALID_PARAMETER);
    auto *m = new MappingObject;
    m->protect = page;
    DWORD err = file == INVALID_HANDLE_VALUE ? over_memory(*m, size) : over_file(*m, file, size);
    if (err) {
        mapping_release(m);
        return fail(err);
    }
    HANDLE h = plat::handle_create(plat::HANDLE_KIND_MAPPING, m);
    if (!h)
        return nullptr; /* out of memory; the table has closed the object */
    SetLastError(NO_ERROR);
    return h;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low, SIZE_T bytes)
{
    std::shared_ptr<void> ref = plat::handle_object(mapping, plat::HANDLE_KIND_MAPPING);
    auto *m = static_cast<MappingObject *>(ref.get());
    if (!m)
        return fail(ERROR_INVALID_HANDLE);
    bool write = (access & FILE_MAP_WRITE) != 0;
    bool copy = (access & FILE_MAP_COPY) && !write;
    if (!(access & (FILE_MAP_READ | FILE_MAP_WRITE | FILE_MAP_COPY)))
        return fail(ERROR_INVALID_PARAMETER);
    if (write && m->protect != PAGE_READWRITE)
        return fail(ERROR_ACCESS_DENIED);
    uint64_t offset = (uint64_t(offset_high) << 32) | offset_low;
    if (offset % kGranularity)
        return fail(ERROR_MAPPED_ALIGNMENT);
    if (offset >= m->size || bytes > m->size - offset)
        return fail(ERROR_ACCESS_DENIED);
    size_t length = bytes ? bytes : size_t(m->size - offset);
    int prot = PROT_READ | ((write || copy) ? PROT_WRITE : 0);
    void *base = mmap(nullptr, length, prot, copy ? MAP_PRIVATE : MAP_SHARED, m->fd, off_t(offset));
    if (base == MAP_FAILED)
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    ViewTable &t = views();
    std::lock_guard<std::mutex> g(t.lock);
    t.views[reinterpret_cast<uintptr_t>(base)] = View{length, std::move(ref)};
    return base;
}

BOOL UnmapViewOfFile(LPCVOID base)
{
    View view;
    {
        ViewTable &t = views();
        std::lock_guard<std::mutex> g(t.lock);
        auto it = t.views.find(reinterpret_cast<uintptr_t>(base));
        if (it == t.views.end()) {
            SetLastError(ERROR_INVALID_ADDRESS);
            return FALSE;
        }
        view = std::move(it->second);
        t.views.erase(it);
    }
    munmap(const_cast<void *>(base), view.length);
    return TRUE; /* `view` drops its reference to the mapping object here */
}
