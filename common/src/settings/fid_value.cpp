/*
 * Typed-value operations: sizes, numeric reads, copies and comparisons of
 * values held in 8-byte value slots.  Every read goes through memcpy (the
 * slots and the records they come from carry no alignment promise).
 */
#include <tarvel/setting_layout.h>
#include <tarvel/settings/fid_value.h>

namespace {

/* Reads the number of a numeric type widened to 32 bits (sign-extended for type 2); false for other types. */
bool read_number(const void *value, WORD type, DWORD &out)
{
    if (value == nullptr)
        return false;
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        out = plat::load<DWORD>(value);
        return true;
    case SVT_INT16:
        out = static_cast<DWORD>(static_cast<INT>(plat::load<SHORT>(value)));
        return true;
    case SVT_UINT16:
        out = plat::load<WORD>(value);
        return true;
    case SVT_BYTE:
        out = plat::load<BYTE>(value);
        return true;
    default:
        return false;
    }
}

/* Unit i of a string inside a record (strings there may sit at odd offsets). */
WCHAR unit_at(LPCWSTR s, size_t i)
{
    return plat::load<WCHAR>(reinterpret_cast<const BYTE *>(s) + i * sizeof(WCHAR));
}

template <typename T>
int three_way(T a, T b)
{
    return a == b ? 0 : (a > b ? 1 : -1);
}

} // namespace

LPCWSTR FID_SlotString(const void *slot)
{
    if (slot == nullptr)
        return nullptr;
    return reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(plat::load<ULONGLONG>(slot)));
}

void FID_SetSlotPointer(void *slot, const void *pointer)
{
    if (slot != nullptr)
        plat::store<ULONGLONG>(slot, static_cast<ULONGLONG>(reinterpret_cast<uintptr_t>(pointer)));
}

LONG FID_ValueSize(const void *slot, WORD type, LONG length)
{
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        return 4;
    case SVT_INT16:
    case SVT_UINT16:
        return 2;
    case SVT_BYTE:
        return 1;
    case SVT_LOGFONT:
        return static_cast<LONG>(SETTINGS_LOGFONT_SIZE);
    case SVT_WSTRING: {
        if (length != -1)
            return length;
        LPCWSTR s = FID_SlotString(slot);
        if (s == nullptr)
            return 0;
        size_t n = 0;
        while (unit_at(s, n) != 0)
            ++n;
        return static_cast<LONG>(2 * n + 2);
    }
    default:
        return 0;
    }
}

DWORD FID_ReadValueAsUInt(const void *value, WORD type)
{
    DWORD v = 0;
    return read_number(value, type, v) ? v : 0;
}

SHORT FID_ReadValueAsShort(const void *value, WORD type)
{
    return static_cast<SHORT>(FID_ReadValueAsUInt(value, type));
}

INT FID_ReadValueAsInt(const void *value, WORD type)
{
    return static_cast<INT>(FID_ReadValueAsUInt(value, type));
}

int FID_CopyValue(WORD type, void *slot, const void *source)
{
    if (slot == nullptr || source == nullptr)
        return 0;
    size_t bytes = 0;
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_UINT32:
    case SVT_LOGFONT_MEMBER:
        bytes = 4;
        break;
    case SVT_INT16:
    case SVT_UINT16:
        bytes = 2;
        break;
    case SVT_BYTE:
        bytes = 1;
        break;
    case SVT_WSTRING:
        FID_SetSlotPointer(slot, source);
        return 1;
    default:
        return 0;
    }
    plat::store<DWORD>(slot, 0);
    std::memcpy(slot, source, bytes);
    return 1;
}

int FID_CompareValues(WORD type, const void *a, const void *b)
{
    if (a == nullptr || b == nullptr)
        return 2;
    switch (type) {
    case SVT_FLAG:
    case SVT_INT32:
    case SVT_LOGFONT_MEMBER:
        return three_way(plat::load<INT>(a), plat::load<INT>(b));
    case SVT_INT16:
        return three_way(plat::load<SHORT>(a), plat::load<SHORT>(b));
    case SVT_UINT16:
        return three_way(plat::load<WORD>(a), plat::load<WORD>(b));
    case SVT_UINT32:
        return three_way(plat::load<DWORD>(a), plat::load<DWORD>(b));
    case SVT_BYTE:
        return three_way(plat::load<BYTE>(a), plat::load<BYTE>(b));
    case SVT_WSTRING: {
        LPCWSTR sa = FID_SlotString(a);
        LPCWSTR sb = FID_SlotString(b);
        if (sa == nullptr || sb == nullptr)
            return 2;
        for (size_t i = 0;; ++i) {
            const WCHAR ca = unit_at(sa, i), cb = unit_at(sb, i);
            if (ca != cb)
                return ca > cb ? 1 : -1;
            if (ca == 0)
                return 0;
        }
    }
    default:
        return 2;
    }
}
