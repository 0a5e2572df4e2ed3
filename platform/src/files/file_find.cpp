/*
 * Directory search: FindFirstFileW, FindNextFileW and FindClose.
 *
 * FindFirstFileW reads the whole directory once, keeps the entries that
 * match the pattern in a stable order and hands them out one by one, so a
 * search never sees a half-changed directory and tests get the same order
 * on every file system.
 */
#include "file_private.h"

#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <vector>

using namespace plat::files;

namespace {

struct FindObject {
    std::mutex lock; /* guards next */
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
};

void find_release(void *object) { delete static_cast<FindObject *>(object); }

const bool registered = plat::handle_register(plat::HANDLE_KIND_FIND, find_release, false);

/* Matches `name` against `pattern` ('*' any run, '?' any one character), ignoring ASCII case. */
bool wild_match(std::u16string_view pattern, std::u16string_view name)
{
    size_t p = 0, n = 0;
    size_t star = std::u16string_view::npos, star_n = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == u'?' || fold(pattern[p]) == fold(name[n]))) {
            p++;
            n++;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            star_n = n;
        } else if (star != std::u16string_view::npos) {
            /* Let the last '*' take one more character and try again: linear, no recursion. */
            p = star + 1;
            n = ++star_n;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        p++;
    return p == pattern.size();
}

/* Windows matching: a pattern ending in ".*" also matches a name without that extension. */
bool name_matches(std::u16string_view pattern, std::u16string_view name)
{
    if (wild_match(pattern, name))
        return true;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" && name.find(u'.') == name.npos)
        return wild_match(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

bool fill_entry(const std::string &dir, const std::string &name, std::u16string_view wide, WIN32_FIND_DATAW &d)
{
    if (wide.size() >= MAX_PATH)
        return false; /* cannot be reported */
    struct stat st;
    std::string path = dir + "/" + name;
    if (stat(path.c_str(), &st) != 0 && lstat(path.c_str(), &st) != 0)
        return false;
    std::memset(&d, 0, sizeof d);
    if (S_ISDIR(st.st_mode))
        d.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    else
        d.dwFileAttributes = FILE_ATTRIBUTE_ARCHIVE | ((st.st_mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
    if (file_times(AT_FDCWD, path.c_str(), 0, &d.ftCreationTime, &d.ftLastAccessTime, &d.ftLastWriteTime) != 0)
        file_times(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, &d.ftCreationTime, &d.ftLastAccessTime,
                   &d.ftLastWriteTime); /* a dangling link */
    if (!S_ISDIR(st.st_mode)) {
        uint64_t size = uint64_t(st.st_size);
        d.nFileSizeHigh = DWORD(size >> 32);
        d.nFileSizeLow = DWORD(size);
    }
    std::copy(wide.begin(), wide.end(), d.cFileName);
    return true;
}

/* Orders entries as the search reports them: "." and ".." first, then by name ignoring case. */
bool entry_before(const WIN32_FIND_DATAW &a, const WIN32_FIND_DATAW &b)
{
    auto rank = [](const WIN32_FIND_DATAW &d) {
        std::u16string_view n(d.cFileName);
        return n == u"." ? 0 : n == u".." ? 1 : 2;
    };
    if (rank(a) != rank(b))
        return rank(a) < rank(b);
    std::u16string_view x(a.cFileName), y(b.cFileName);
    for (size_t i = 0; i < x.size() && i < y.size(); i++)
        if (fold(x[i]) != fold(y[i]))
            return fold(x[i]) < fold(y[i]);
    if (x.size() != y.size())
        return x.size() < y.size();
    return x < y;
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data)
{
    (void)registered;
    std::string ignored;
    DWORD err = data ? resolve_path(pattern, ignored, true) : ERROR_INVALID_PARAMETER;
    if (err) {
        SetLastError(err);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string_view v(pattern, plat::wlen(pattern));
    size_t sep = v.find_last_of(u"\\/");
    std::u16string dir_part;
    std::u16string_view name_pattern;
    if (sep == std::u16string_view::npos) {
        bool drive = v.size() >= 2 && v[1] == u':';
        dir_part = drive ? std::u16string(v.substr(0, 2)) + u"." : u".";
        name_pattern = drive ? v.substr(2) : v;
    } else {
        dir_part = std::u16string(v.substr(0, sep + 1));
        name_pattern = v.substr(sep + 1);
    }
    std::string dir;
    if (name_pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (!plat::map_path(dir_part, dir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    char16_t letter = dir_part.size() >= 2 && dir_part[1] == u':' ? fold(dir_part[0]) : u'C';
    bool at_root = dir == plat::machine_root() + "/" + char(letter - u'A' + 'a');
    DIR *d = opendir(dir.c_str());
    if (!d) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto *found = new FindObject;
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (at_root && (name == "." || name == ".."))
            continue;
        std::u16string wide = plat::utf8_to_utf16(name);
        WIN32_FIND_DATAW entry;
        if (name_matches(name_pattern, wide) && fill_entry(dir, name, wide, entry))
            found->entries.push_back(entry);
    }
    closedir(d);
    if (found->entries.empty()) {
        delete found;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(found->entries.begin(), found->entries.end(), entry_before);
    *data = found->entries[0];
    found->next = 1;
    HANDLE h = plat::handle_create(plat::HANDLE_KIND_FIND, found);
    if (!h)
        return INVALID_HANDLE_VALUE; /* out of memory; the table has freed the search */
    SetLastError(ERROR_SUCCESS);
    return h;
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data)
{
    auto found = std::static_pointer_cast<FindObject>(plat::handle_object(find, plat::HANDLE_KIND_FIND));
    if (!found)
        return fail(ERROR_INVALID_HANDLE);
    if (!data)
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> g(found->lock);
    if (found->next >= found->entries.size())
        return fail(ERROR_NO_MORE_FILES);
    *data = found->entries[found->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find)
{
    if (!plat::handle_close(find, plat::HANDLE_KIND_FIND))
        return fail(ERROR_INVALID_HANDLE);
    return TRUE;
}
