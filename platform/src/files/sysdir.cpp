/*
 * The machine's folders, temporary file names and known folders (see
 * plat/sysdir.h).  Folder answers are built from the current user's name;
 * the temporary-name counter and the failure knobs are reset with the
 * machine.
 */
#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/registry.h>
#include <plat/sysdir.h>
#include <plat/text.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr std::u16string_view kWindows = u"C:\\Windows";
constexpr std::u16string_view kSystem = u"C:\\Windows\\System32";
constexpr UINT kUniqueNames = 0xFFFF; /* numbers 1 to 65535 */
constexpr size_t kMaxCurrentDirectory = 258; /* MAX_PATH less the terminator and the "\\" a file name needs */

struct SysdirState {
    std::mutex lock;
    UINT next_unique = 1;
    bool fail_all_temp = false;
    std::vector<std::u16string> fail_temp_in; /* normalised folders */
    bool fail_folder_path = false;
    std::u16string current = u"C:\\"; /* the process's current directory */
};

SysdirState &state()
{
    static SysdirState *s = new SysdirState;
    return *s;
}

void sysdir_reset()
{
    SysdirState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.next_unique = 1;
    s.fail_all_temp = false;
    s.fail_temp_in.clear();
    s.fail_folder_path = false;
    s.current = u"C:\\";
}

const bool registered = (plat::machine_on_reset(sysdir_reset), true);

/* A folder in the form the failure list compares: upper case, backslashes, no trailing one. */
std::u16string normalised(std::u16string_view folder)
{
    std::u16string out;
    for (char16_t c : folder)
        out.push_back(c == u'/' ? u'\\' : plat::wupper(c));
    while (!out.empty() && out.back() == u'\\')
        out.pop_back();
    return out;
}

std::u16string profile() { return u"C:\\Users\\" + plat::registry_current_user(); }

/* Makes the folder `win` exist on the machine's disk; false when it cannot. */
bool make_folder(std::u16string_view win)
{
    std::string real;
    if (!plat::map_path(win, real))
        return false;
    std::error_code ec;
    std::filesystem::create_directories(real, ec);
    return std::filesystem::is_directory(real, ec);
}

/* Copies `text` out with the size rules of GetWindowsDirectoryW. */
DWORD answer(std::u16string_view text, LPWSTR buffer, DWORD size)
{
    if (!buffer && size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (size <= text.size())
        return DWORD(text.size() + 1);
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    return DWORD(text.size());
}

/* A standard folder: made to exist, then copied out. */
DWORD answer_folder(std::u16string_view folder, LPWSTR buffer, DWORD size)
{
    (void)registered;
    make_folder(folder);
    return answer(folder, buffer, size);
}

/* The path of a known folder; empty for an unknown one. */
std::u16string known_folder(int csidl)
{
    switch (csidl) {
    case CSIDL_PERSONAL:
        return profile() + u"\\Documents";
    case CSIDL_APPDATA:
        return profile() + u"\\AppData\\Roaming";
    case CSIDL_LOCAL_APPDATA:
        return profile() + u"\\AppData\\Local";
    case CSIDL_COMMON_APPDATA:
        return u"C:\\ProgramData";
    case CSIDL_WINDOWS:
        return std::u16string(kWindows);
    case CSIDL_SYSTEM:
        return std::u16string(kSystem);
    case CSIDL_PROGRAM_FILES:
        return u"C:\\Program Files";
    case CSIDL_PROFILE:
        return profile();
    case CSIDL_COMMON_DOCUMENTS:
        return u"C:\\Users\\Public\\Documents";
    default:
        return std::u16string();
    }
}

/* "<prefix up to 3><XXXX>.TMP" for the low 16 bits of `unique`. */
std::u16string temp_name(std::u16string_view folder, LPCWSTR prefix, UINT unique)
{
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string name(folder);
    if (!name.empty() && name.back() != u'\\' && name.back() != u'/')
        name.push_back(u'\\');
    name.append(prefix ? prefix : u"", std::min<size_t>(plat::wlen(prefix), 3));
    for (int shift = 12; shift >= 0; shift -= 4)
        name.push_back(kHex[(unique >> shift) & 0xF]);
    name.append(u".TMP");
    return name;
}

bool temp_name_refused(std::u16string_view folder)
{
    SysdirState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (s.fail_all_temp)
        return true;
    std::u16string n = normalised(folder);
    for (const auto &f : s.fail_temp_in)
        if (f == n)
            return true;
    return false;
}

} // namespace

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) { return answer_folder(kWindows, buffer, size); }

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) { return answer_folder(kSystem, buffer, size); }

DWORD GetTempPathW(DWORD size, LPWSTR buffer)
{
    std::u16string temp = profile() + u"\\AppData\\Local\\Temp";
    make_folder(temp);
    temp.push_back(u'\\');
    return answer(temp, buffer, size);
}

UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR out)
{
    (void)registered;
    if (!path || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string_view folder(path, plat::wlen(path));
    if (folder.size() > MAX_PATH - 14) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
    }
    if (temp_name_refused(folder)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    if (unique) {
        std::u16string name = temp_name(folder, prefix, unique);
        name.copy(out, name.size());
        out[name.size()] = 0;
        return unique;
    }
    std::u16string check(folder.empty() ? u"." : folder);
    DWORD attributes = GetFileAttributesW(check.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    SysdirState &s = state();
    UINT start;
    {
        std::lock_guard<std::mutex> g(s.lock);
        start = s.next_unique;
    }
    for (UINT tried = 0; tried < kUniqueNames; tried++) {
        UINT n = (start - 1 + tried) % kUniqueNames + 1;
        std::u16string name = temp_name(folder, prefix, n);
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            {
                std::lock_guard<std::mutex> g(s.lock);
                s.next_unique = n % kUniqueNames + 1;
            }
            name.copy(out, name.size());
            out[name.size()] = 0;
            SetLastError(ERROR_SUCCESS);
            return n;
        }
        DWORD err = GetLastError();
        /* A name taken by a file, or by a folder (which CreateFileW refuses as access denied), is skipped. */
        bool taken = err == ERROR_FILE_EXISTS || err == ERROR_ALREADY_EXISTS ||
                     (err == ERROR_ACCESS_DENIED && GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES);
        if (!taken)
            return 0; /* CreateFileW's last error stands */
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path)
{
    (void)owner;
    (void)token;
    (void)flags;
    (void)registered;
    if (!path)
        return E_INVALIDARG;
    path[0] = 0;
    std::u16string folder = known_folder(csidl & ~CSIDL_FLAG_MASK);
    if (folder.empty())
        return E_INVALIDARG;
    {
        SysdirState &s = state();
        std::lock_guard<std::mutex> g(s.lock);
        if (s.fail_folder_path)
            return E_FAIL;
    }
    if (folder.size() >= MAX_PATH || !make_folder(folder))
        return E_FAIL;
    folder.copy(path, folder.size());
    path[folder.size()] = 0;
    return S_OK;
}

namespace plat {

void sysdir_fail_temp_name(bool fail, std::u16string_view folder)
{
    (void)machine_root();
    SysdirState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (folder.empty()) {
        s.fail_all_temp = fail;
        if (!fail)
            s.fail_temp_in.clear();
        return;
    }
    std::u16string n = normalised(folder);
    std::erase(s.fail_temp_in, n);
    if (fail)
        s.fail_temp_in.push_back(n);
}

void sysdir_fail_folder_path(bool fail)
{
    (void)machine_root();
    SysdirState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.fail_folder_path = fail;
}

} // namespace plat

/*
 * The current directory is kept as a full path with a trailing backslash
 * only at a drive's root; it names the folder a relative path given to
 * SetCurrentDirectoryW starts from.  The file functions still resolve a
 * relative path from "C:\" (see plat/file.h).
 */
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer)
{
    SysdirState &s = state();
    std::u16string current;
    {
        std::lock_guard<std::mutex> g(s.lock);
        current = s.current;
    }
    return answer(current, buffer, size);
}

BOOL SetCurrentDirectoryW(LPCWSTR path)
{
    if (!path || !path[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string full(path);
    for (char16_t &c : full)
        if (c == u'/')
            c = u'\\';
    SysdirState &s = state();
    const bool absolute = full.size() >= 2 && full[1] == u':';
    if (!absolute) {
        std::lock_guard<std::mutex> g(s.lock);
        std::u16string base = s.current;
        if (base.back() != u'\\')
            base.push_back(u'\\');
        full = full[0] == u'\\' ? base.substr(0, 2) + full : base + full;
    }
    if (full.size() > kMaxCurrentDirectory) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return FALSE;
    }
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    while (full.size() > 3 && full.back() == u'\\')
        full.pop_back();
    if (full.size() == 2)
        full.push_back(u'\\');
    std::lock_guard<std::mutex> g(s.lock);
    s.current = full;
    return TRUE;
}
