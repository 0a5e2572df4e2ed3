/*
 * The machine's operating-system version (see plat/version.h): one record
 * under a lock, reset with the machine, and the comparisons of
 * VerifyVersionInfoW.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/version.h>

#include <mutex>
#include <string>

namespace {

struct Version {
    DWORD major = 10, minor = 0, build = 19045, platform = VER_PLATFORM_WIN32_NT;
    WORD service_pack = 0;
    BYTE product_type = VER_NT_WORKSTATION;
    DWORD fail = 0; /* injected GetVersionExW error, 0 for none */
};

std::mutex &version_lock()
{
    static std::mutex *m = new std::mutex;
    return *m;
}

Version &version()
{
    static Version v;
    return v;
}

void version_reset()
{
    std::lock_guard<std::mutex> g(version_lock());
    version() = Version{};
}

const bool registered = (plat::machine_on_reset(version_reset), true);

/* The machine's version as the extended record holds it. */
OSVERSIONINFOEXW current()
{
    Version v;
    {
        std::lock_guard<std::mutex> g(version_lock());
        v = version();
    }
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = v.major;
    info.dwMinorVersion = v.minor;
    info.dwBuildNumber = v.build;
    info.dwPlatformId = v.platform;
    if (v.service_pack) {
        std::u16string sp = u"Service Pack ";
        for (char c : std::to_string(v.service_pack))
            sp.push_back(char16_t(c));
        sp.copy(info.szCSDVersion, sp.size());
    }
    info.wServicePackMajor = v.service_pack;
    info.wSuiteMask = v.product_type == VER_NT_WORKSTATION ? VER_SUITE_SINGLEUSERTS : 0;
    info.wProductType = v.product_type;
    return info;
}

/* The condition recorded for field `type` (one VER_ bit) in a condition mask. */
unsigned condition_of(ULONGLONG mask, DWORD type)
{
    unsigned bit = 0;
    while (!(type & (1u << bit)))
        bit++;
    return unsigned(mask >> (3 * bit)) & 7u;
}

bool holds(ULONGLONG have, ULONGLONG want, unsigned condition)
{
    switch (condition) {
    case VER_EQUAL:
        return have == want;
    case VER_GREATER:
        return have > want;
    case VER_GREATER_EQUAL:
        return have >= want;
    case VER_LESS:
        return have < want;
    case VER_LESS_EQUAL:
        return have <= want;
    default:
        return false;
    }
}

constexpr DWORD kKnownFields = VER_MINORVERSION | VER_MAJORVERSION | VER_BUILDNUMBER | VER_PLATFORMID |
                               VER_SERVICEPACKMINOR | VER_SERVICEPACKMAJOR | VER_SUITENAME | VER_PRODUCT_TYPE;

/* True when the conditions in `mask` suit the fields of `type_mask`. */
bool conditions_valid(DWORD type_mask, ULONGLONG mask)
{
    for (DWORD type = 1; type <= VER_PRODUCT_TYPE; type <<= 1) {
        if (!(type_mask & type))
            continue;
        unsigned c = condition_of(mask, type);
        bool suite_condition = c == VER_AND || c == VER_OR;
        if (c == 0 || c > VER_OR || suite_condition != (type == VER_SUITENAME))
            return false;
    }
    return true;
}

} // namespace

BOOL GetVersionExW(LPOSVERSIONINFOW info)
{
    (void)registered;
    (void)plat::machine_root(); /* a machine that was never reset is reset now, with its defaults */
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD size = info->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD fail;
    {
        std::lock_guard<std::mutex> g(version_lock());
        fail = version().fail;
    }
    if (fail) {
        SetLastError(fail);
        return FALSE;
    }
    OSVERSIONINFOEXW v = current();
    v.dwOSVersionInfoSize = size;
    std::memcpy(info, &v, size); /* the basic record is the extended one's first part */
    return TRUE;
}

BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW info, DWORD type_mask, ULONGLONG condition_mask)
{
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (type_mask == 0 || (type_mask & ~kKnownFields) || !conditions_valid(type_mask, condition_mask)) {
        SetLastError(ERROR_BAD_ARGUMENTS);
        return FALSE;
    }
    (void)plat::machine_root();
    OSVERSIONINFOEXW have = current();
    bool ok = true;

    /* Major, minor, service-pack major and minor: one number, most significant first. */
    const struct {
        DWORD type;
        ULONGLONG have, want;
    } ranks[] = {
        {VER_MAJORVERSION, have.dwMajorVersion, info->dwMajorVersion},
        {VER_MINORVERSION, have.dwMinorVersion, info->dwMinorVersion},
        {VER_SERVICEPACKMAJOR, have.wServicePackMajor, info->wServicePackMajor},
        {VER_SERVICEPACKMINOR, have.wServicePackMinor, info->wServicePackMinor},
    };
    int last = -1;
    for (int i = 0; i < 4; i++) {
        if (!(type_mask & ranks[i].type))
            continue;
        last = i;
        if (ranks[i].have != ranks[i].want)
            break;
    }
    if (last >= 0)
        ok = holds(ranks[last].have, ranks[last].want, condition_of(condition_mask, ranks[last].type));

    if (ok && (type_mask & VER_BUILDNUMBER))
        ok = holds(have.dwBuildNumber, info->dwBuildNumber, condition_of(condition_mask, VER_BUILDNUMBER));
    if (ok && (type_mask & VER_PLATFORMID))
        ok = holds(have.dwPlatformId, info->dwPlatformId, condition_of(condition_mask, VER_PLATFORMID));
    if (ok && (type_mask & VER_PRODUCT_TYPE))
        ok = holds(have.wProductType, info->wProductType, condition_of(condition_mask, VER_PRODUCT_TYPE));
    if (ok && (type_mask & VER_SUITENAME)) {
        WORD want = info->wSuiteMask;
        ok = condition_of(condition_mask, VER_SUITENAME) == VER_AND ? (have.wSuiteMask & want) == want
                                                                     : want == 0 || (have.wSuiteMask & want) != 0;
    }
    if (!ok) {
        SetLastError(ERROR_OLD_WIN_VERSION);
        return FALSE;
    }
    return TRUE;
}

ULONGLONG VerSetConditionMask(ULONGLONG mask, DWORD type_mask, BYTE condition)
{
    if (condition == 0)
        return mask;
    for (unsigned bit = 0; bit < 8; bit++) {
        if (!(type_mask & (1u << bit)))
            continue;
        unsigned shift = 3 * bit;
        mask = (mask & ~(ULONGLONG(7) << shift)) | (ULONGLONG(condition & 7u) << shift);
    }
    return mask;
}

namespace plat {

void version_set(DWORD major, DWORD minor, DWORD build, WORD service_pack, BYTE product_type, DWORD platform)
{
    (void)machine_root();
    std::lock_guard<std::mutex> g(version_lock());
    Version &v = version();
    v.major = major;
    v.minor = minor;
    v.build = build;
    v.service_pack = service_pack;
    v.product_type = product_type;
    v.platform = platform;
}

void version_fail(DWORD error)
{
    (void)machine_root();
    std::lock_guard<std::mutex> g(version_lock());
    version().fail = error;
}

} // namespace plat
