/*
 * Readers of the 16-byte margin values that favourites keep under their
 * "PaperMargin" subkey: by position in an open key, or by name.
 */
#include <tarvel/stores/mrg_store.h>

namespace {

BOOL convert(const BYTE (&value)[MRG_FAVOURITE_VALUE_SIZE], int kind, LONG caller[4])
{
    LONG stored[4];
    for (int i = 0; i < 4; ++i)
        stored[i] = plat::load_i32(value, 4 * i);
    return MRG_ConvertMarginOrder(MRG_STORED_TO_CALLER, kind, stored, caller) == MRG_OK;
}

} // namespace

BOOL REG_EnumMarginValue(HKEY key, DWORD index, int kind, LPWSTR name, LONG caller[4])
{
    if (!key || !name || !caller)
        return FALSE;
    BYTE value[MRG_FAVOURITE_VALUE_SIZE];
    DWORD chars = MRG_VALUE_NAME_CHARS, type = 0, size = sizeof value;
    if (RegEnumValueW(key, index, name, &chars, nullptr, &type, value, &size) != ERROR_SUCCESS ||
        size != MRG_FAVOURITE_VALUE_SIZE)
        return FALSE;
    return convert(value, kind, caller);
}

BOOL REG_QueryMarginValue(HKEY key, LPCWSTR name, int kind, LONG caller[4])
{
    if (!key || !name || !caller)
        return FALSE;
    BYTE value[MRG_FAVOURITE_VALUE_SIZE];
    DWORD type = 0, size = sizeof value;
    if (RegQueryValueExW(key, name, nullptr, &type, value, &size) != ERROR_SUCCESS ||
        size != MRG_FAVOURITE_VALUE_SIZE)
        return FALSE;
    return convert(value, kind, caller);
}
