/*
 * Loading the settings data manager and the two wrappers through which every
 * read and write of a setting passes: the use count and the module handle
 * under one lock, the entry points bound by name on first use and kept in
 * atomics, the two locally answered identifiers, the guard around
 * dma_GetValue and the conversion of string and block offsets into pointers.
 */
#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/public_id_map.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_value.h>

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <atomic>
#include <mutex>

namespace {

/* The binding of this library (hidden: one per library that links the common library). */
struct Binding {
    std::mutex lock;                    /* guards count and module, and binding */
    WORD count = 0;                     /* DMB_Load calls not yet matched by DMB_Unload */
    HMODULE module = nullptr;           /* the loaded data manager, or null */
    std::atomic<DmaGetValueFn> get{nullptr};
    std::atomic<DmaSetValueFn> set{nullptr};
};

Binding &binding()
{
    static Binding b;
    return b;
}

/* Longest data-manager file name taken from string 32766, in characters. */
constexpr int kNameChars = MAX_PATH;
/* Room for the directory (MAX_PATH characters) and the name. */
constexpr size_t kPathChars = 2 * MAX_PATH + 1;

/* Loads the data manager from this library's directory; null when it cannot be loaded. */
HMODULE load_library(HMODULE self)
{
    WCHAR path[kPathChars] = {};
    if (!RES_GetDriverDirectory(path, RES_DRIVER_DIR_BYTES) || path[0] == 0)
        return nullptr; /* the library's own folder is not known: never a search elsewhere */
    WCHAR name[kNameChars + 1] = {};
    if (LoadStringW(self, RES_ID_DATA_MANAGER_NAME, name, kNameChars + 1) <= 0)
        return nullptr;
    if (plat::wlen(path) + plat::wlen(name) >= kPathChars)
        return nullptr;
    lstrcatW(path, name);
    /* The platform has no activation contexts that change how a library is found. */
    return LoadLibraryW(path);
}

/*
 * The entry point `name`, bound on first use: looked up while the module
 * is held under the lock (so an unload on another thread cannot leave a
 * stale address behind) and cached until the unload.  Null when the module
 * or the export is missing; the next call tries again.
 */
template <typename Fn>
Fn bind_entry(std::atomic<Fn> &cache, const char *name)
{
    Fn fn = cache.load(std::memory_order_acquire);
    if (fn != nullptr)
        return fn;
    Binding &b = binding();
    std::lock_guard<std::mutex> guard(b.lock);
    if (b.module == nullptr)
        return nullptr;
    fn = plat::proc_cast<Fn>(GetProcAddress(b.module, name));
    if (fn != nullptr)
        cache.store(fn, std::memory_order_release);
    return fn;
}

/* Answers 0x9029 and 0x9031; false for every other identifier. */
bool answer_local(WORD id, WORD *type, LONG *size, void *slot, WORD &status)
{
    if (id != DMB_ID_LOCAL_FLAG && id != DMB_ID_LOCAL_UINT16)
        return false;
    if (type == nullptr || size == nullptr || slot == nullptr) {
        status = DMA_ERR_FAIL;
        return true;
    }
    std::memset(slot, 0, FID_SLOT_SIZE);
    if (id == DMB_ID_LOCAL_FLAG) {
        *type = SVT_FLAG;
        *size = 4;
        plat::store<DWORD>(slot, 1);
    } else {
        *type = SVT_UINT16;
        *size = 2;
        plat::store<WORD>(slot, 4);
    }
    status = DMA_OK;
    return true;
}

/*
 * Calls dma_GetValue inside the guard.  A failure raised inside the data
 * manager reaches us as a C++ exception leaving the call; it is contained
 * here so that the caller sees an ordinary failed read.
 */
WORD guarded_get(DmaGetValueFn fn, WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot,
                 WORD *kind)
{
    try {
        return fn(id, devmode, printerData, type, size, slot, kind);
    } catch (...) {
        LOG_Printf(u"An exception occurred in dma_GetValue. wFuncID[0x%04x]", static_cast<int>(id));
        if (type != nullptr)
            *type = SVT_FLAG;
        return DMA_ERR_FAIL;
    }
}

/* Turns the record offset in a type-6 or type-9 slot into a pointer; false when it lies outside its record. */
bool offset_to_pointer(WORD kind, void *devmode, void *printerData, void *slot)
{
    BYTE *base = nullptr;
    ULONGLONG limit = 0;
    switch (kind) {
    case SRK_DEVMODE:
        base = static_cast<BYTE *>(devmode);
        limit = SETTINGS_DEVMODE_SIZE;
        break;
    case SRK_EXTENSION:
        base = devmode == nullptr ? nullptr : static_cast<BYTE *>(devmode) + SETTINGS_DEVMODE_SIZE;
        limit = SETTINGS_EXTENSION_SIZE;
        break;
    case SRK_PRINTERDATA:
        base = static_cast<BYTE *>(printerData);
        limit = SETTINGS_PRINTERDATA_SIZE;
        break;
    default:
        return false;
    }
    const ULONGLONG offset = plat::load<ULONGLONG>(slot);
    if (base == nullptr || offset >= limit)
        return false;
    FID_SetSlotPointer(slot, base + offset);
    return true;
}

} // namespace

int DMB_Load(HMODULE self)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> guard(b.lock);
    if (b.count == 0xFFFF)
        return 0;
    const WORD before = b.count++;
    if (before != 0)
        return b.module != nullptr ? 1 : 0;
    if (self == nullptr)
        return 0;
    b.module = load_library(self);
    return b.module != nullptr ? 1 : 0;
}

void DMB_Unload(void)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> guard(b.lock);
    if (b.count == 0)
        return;
    if (--b.count != 0 || b.module == nullptr)
        return;
    b.get.store(nullptr, std::memory_order_release);
    b.set.store(nullptr, std::memory_order_release);
    HMODULE module = b.module;
    b.module = nullptr;
    FreeLibrary(module);
}

WORD DMB_GetUseCount(void)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> guard(b.lock);
    return b.count;
}

void DMB_ResetForTest(void)
{
    Binding &b = binding();
    std::lock_guard<std::mutex> guard(b.lock);
    b.count = 0;
    b.module = nullptr;
    b.get.store(nullptr);
    b.set.store(nullptr);
}

WORD DMB_GetValue(WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot)
{
    WORD status = DMA_ERR_FAIL;
    if (answer_local(id, type, size, slot, status))
        return status;
    DmaGetValueFn fn = bind_entry(binding().get, "dma_GetValue");
    if (fn == nullptr)
        return DMA_ERR_FAIL;
    WORD kind = 0xFFFF;
    status = guarded_get(fn, id, devmode, printerData, type, size, slot, &kind);
    if (status == DMA_OK && (*type == SVT_WSTRING || *type == SVT_LOGFONT) &&
        !offset_to_pointer(kind, devmode, printerData, slot))
        return DMA_ERR_FAIL;
    return status;
}

WORD DMB_SetValue(WORD id, void *devmode, void *printerData, WORD type, LONG size, const void *value)
{
    DmaSetValueFn fn = bind_entry(binding().set, "dma_SetValue");
    if (fn == nullptr)
        return DMA_ERR_FAIL;
    return fn(id, devmode, printerData, type, size, value);
}

int DMB_PublicIdToDmaId(WORD publicId, WORD *internalId, DWORD version)
{
    if (internalId == nullptr)
        return 0;
    /* Favourites written by data-manager version 0x5002 name these settings by their own numbers. */
    if (version == DMB_DATA_VERSION_OWN_IDS &&
        (publicId == 448 || publicId == 449 || publicId == 450 || (publicId >= 1281 && publicId <= 1330))) {
        *internalId = publicId;
        return 1;
    }
    const WORD found = PID_ToInternal(publicId, PUBLIC_ID_COMMON_RANGE_COUNT);
    if (found == 0)
        return 0;
    *internalId = found;
    return 1;
}

int DMB_DmaIdToPublicId(WORD internalId, WORD *publicId)
{
    if (publicId == nullptr)
        return 0;
    const WORD found = PID_ToPublic(internalId, PUBLIC_ID_COMMON_RANGE_COUNT);
    if (found == 0)
        return 0;
    *publicId = found;
    return 1;
}
