/*
 * The narrow-name forms of the event calls: the name is taken in the ANSI
 * code page and handed to the wide call.
 */
#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/sync.h>

#include <string>

namespace {

/* The wide form of a narrow object name; false when it does not convert. */
bool widen(LPCSTR name, std::u16string &out)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (n <= 0)
        return false;
    out.assign(static_cast<size_t>(n), u'\0');
    if (MultiByteToWideChar(CP_ACP, 0, name, -1, out.data(), n) != n)
        return false;
    out.pop_back();
    return true;
}

} // namespace

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manual_reset, BOOL initial_state, LPCSTR name)
{
    if (!name)
        return CreateEventW(sa, manual_reset, initial_state, nullptr);
    std::u16string w;
    if (!widen(name, w)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return CreateEventW(sa, manual_reset, initial_state, w.c_str());
}

HANDLE OpenEventA(DWORD access, BOOL inherit, LPCSTR name)
{
    if (!name)
        return OpenEventW(access, inherit, nullptr);
    std::u16string w;
    if (!widen(name, w)) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    return OpenEventW(access, inherit, w.c_str());
}
