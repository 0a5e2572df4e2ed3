/*
 * The simulated machine's root folder, its mounts and the mapping of Windows
 * paths onto real ones.
 */
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <vector>

namespace plat {

namespace {

struct Mount {
    std::vector<std::string> win;  /* lower-cased components, drive first ("c:") */
    std::vector<std::string> orig; /* the same as given, for unmap_path */
    std::string real;
};

struct MachineCore {
    std::mutex lock;
    std::string root;
    std::vector<Mount> mounts;
    std::vector<void (*)()> hooks;
};

MachineCore &core()
{
    static MachineCore c;
    return c;
}

std::string lower_ascii(std::string s)
{
    for (char &ch : s)
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch - 'A' + 'a');
    return s;
}

/* Splits a Windows path into components; the first is the drive ("c:"). */
bool split_win(std::u16string_view p, std::vector<std::string> &out)
{
    out.clear();
    if (p.empty())
        return false;
    for (char16_t c : p)
        if (c == 0)
            return false;
    std::string s = utf16_to_utf8(p);
    for (char &ch : s)
        if (ch == '\\')
            ch = '/';
    if (s.size() >= 2 && s[0] == '/' && s[1] == '/')
        return false; /* UNC or device path */
    std::string drive;
    size_t pos = 0;
    if (s.size() >= 2 && s[1] == ':' && ((s[0] >= 'a' && s[0] <= 'z') || (s[0] >= 'A' && s[0] <= 'Z'))) {
        drive = lower_ascii(s.substr(0, 1)) + ":";
        pos = 2;
    } else {
        drive = "c:";
    }
    out.push_back(drive);
    size_t n = s.size();
    while (pos < n) {
        size_t next = s.find('/', pos);
        if (next == std::string::npos)
            next = n;
        std::string comp = s.substr(pos, next - pos);
        pos = next + 1;
        if (comp.empty() || comp == ".")
            continue;
        if (comp == "..") {
            if (out.size() > 1)
                out.pop_back();
            continue;
        }
        out.push_back(comp);
    }
    return true;
}

/* The entry of `dir` whose name equals `name` ignoring ASCII case, if any. */
std::string match_entry(const std::string &dir, const std::string &name)
{
    struct stat st;
    std::string exact = dir + "/" + name;
    if (lstat(exact.c_str(), &st) == 0)
        return name;
    DIR *d = opendir(dir.c_str());
    if (!d)
        return name;
    std::string found = name;
    while (struct dirent *e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

} // namespace

void machine_reset(const std::string &root)
{
    std::vector<void (*)()> hooks;
    {
        MachineCore &c = core();
        std::lock_guard<std::mutex> g(c.lock);
        std::string r = root;
        if (r.empty()) {
            const char *env = std::getenv("TARVEL_MACHINE");
            r = env && *env ? env : "./.machine";
        }
        std::error_code ec;
        std::filesystem::create_directories(r, ec);
        std::filesystem::path abs = std::filesystem::absolute(r, ec);
        c.root = abs.lexically_normal().string();
        while (c.root.size() > 1 && c.root.back() == '/')
            c.root.pop_back();
        c.mounts.clear();
        hooks = c.hooks;
    }
    /* The driver directory shows the build's driver folder until a driver is
     * installed on this machine (the spooler's hook then mounts its own). */
    machine_mount(driver_dir_win(), driver_dir_real());
    for (auto h : hooks)
        h();
}

const std::string &machine_root()
{
    MachineCore &c = core();
    {
        std::lock_guard<std::mutex> g(c.lock);
        if (!c.root.empty())
            return c.root;
    }
    machine_reset();
    return c.root;
}

void machine_mount(std::u16string_view win_dir, const std::string &real_dir)
{
    Mount m;
    if (!split_win(win_dir, m.win))
        return;
    m.orig = m.win;
    m.orig[0] = std::string(1, char(m.win[0][0] - 'a' + 'A')) + ":";
    for (auto &comp : m.win)
        comp = lower_ascii(comp);
    m.real = real_dir;
    while (m.real.size() > 1 && m.real.back() == '/')
        m.real.pop_back();
    MachineCore &c = core();
    std::lock_guard<std::mutex> g(c.lock);
    for (auto &old : c.mounts)
        if (old.win == m.win) {
            old.real = m.real;
            return;
        }
    c.mounts.push_back(std::move(m));
}

bool map_path(std::u16string_view win_path, std::string &real_path)
{
    std::vector<std::string> comps;
    if (!split_win(win_path, comps))
        return false;
    const std::string &root = machine_root();

    std::string base;
    size_t used = 0;
    {
        MachineCore &c = core();
        std::lock_guard<std::mutex> g(c.lock);
        size_t best = 0;
        for (const auto &m : c.mounts) {
            if (m.win.size() > comps.size() || m.win.size() <= best)
                continue;
            bool same = true;
            for (size_t i = 0; i < m.win.size() && same; i++)
                same = lower_ascii(comps[i]) == m.win[i];
            if (same) {
                best = m.win.size();
                base = m.real;
            }
        }
        used = best;
    }
    if (used == 0) {
        base = root + "/" + comps[0].substr(0, 1);
        used = 1;
    }
    std::string path = base;
    for (size_t i = used; i < comps.size(); i++) {
        std::string name = match_entry(path, comps[i]);
        path.push_back('/');
        path.append(name);
    }
    real_path = path;
    return true;
}

bool unmap_path(const std::string &real_path, std::u16string &win_path)
{
    const std::string &root = machine_root();
    std::string rest;
    std::string prefix;
    {
        MachineCore &c = core();
        std::lock_guard<std::mutex> g(c.lock);
        size_t best = 0;
        for (const auto &m : c.mounts) {
            if (m.real.size() > best && real_path.compare(0, m.real.size(), m.real) == 0 &&
                (real_path.size() == m.real.size() || real_path[m.real.size()] == '/')) {
                best = m.real.size();
                prefix.clear();
                for (size_t i = 0; i < m.orig.size(); i++)
                    prefix += (i ? "\\" : "") + m.orig[i];
                rest = real_path.substr(m.real.size());
            }
        }
    }
    if (prefix.empty()) {
        if (real_path.size() < root.size() + 2 || real_path.compare(0, root.size() + 1, root + "/") != 0)
            return false;
        std::string tail = real_path.substr(root.size() + 1); /* "c/..." */
        char drive = tail[0];
        if (drive < 'a' || drive > 'z' || (tail.size() > 1 && tail[1] != '/'))
            return false;
        prefix = std::string(1, char(drive - 'a' + 'A')) + ":";
        rest = tail.substr(1);
    }
    for (char &ch : rest)
        if (ch == '/')
            ch = '\\';
    if (rest.empty())
        rest.assign(1, '\\');
    prefix.append(rest);
    win_path = utf8_to_utf16(prefix);
    return true;
}

void machine_on_reset(void (*hook)())
{
    MachineCore &c = core();
    std::lock_guard<std::mutex> g(c.lock);
    c.hooks.push_back(hook);
}

} // namespace plat
