/*
 * The registry file: the whole registry as one little-endian image in the
 * machine folder, written to a new file and renamed over the old one on
 * every change, and read back with every length and count checked against
 * the bytes that remain.
 *
 * Image:   "TVRG"  u32 format version (1)  node(HKEY_LOCAL_MACHINE)  node(HKEY_USERS)
 * node:    u16 name length (characters)  name (UTF-16LE)  u64 last-write FILETIME
 *          u32 value count  value...  u32 subkey count  node...
 * value:   u16 name length (characters)  name (UTF-16LE)  u32 type  u32 data size  data
 * The roots have empty names; every other node has a valid key name, unique
 * among its siblings ignoring case.  Value names are unique within a key.
 */
#include "registry_private.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace plat::reg {

namespace {

constexpr char kMagic[4] = {'T', 'V', 'R', 'G'};
constexpr uint32_t kFormatVersion = 1;
/* Larger files are not registry files (the registry of a busy machine stays far below). */
constexpr size_t kMaxFileBytes = 256u << 20;
/* The least bytes a value and a node take, used to bound counts before looping. */
constexpr size_t kMinValueBytes = 2 + 4 + 4;
constexpr size_t kMinNodeBytes = 2 + 8 + 4 + 4;

/* ---- Writing ---- */

void put_u16(std::string &out, uint16_t v)
{
    char b[2];
    store(b, v);
    out.append(b, 2);
}

void put_u32(std::string &out, uint32_t v)
{
    char b[4];
    store(b, v);
    out.append(b, 4);
}

void put_name(std::string &out, const std::u16string &name)
{
    put_u16(out, uint16_t(name.size()));
    for (char16_t c : name)
        put_u16(out, uint16_t(c));
}

void put_node(std::string &out, const Node &n)
{
    put_name(out, n.name);
    put_u32(out, n.last_write.dwLowDateTime);
    put_u32(out, n.last_write.dwHighDateTime);
    put_u32(out, uint32_t(n.values.size()));
    for (const Value &v : n.values) {
        put_name(out, v.name);
        put_u32(out, v.type);
        put_u32(out, uint32_t(v.data.size()));
        out.append(reinterpret_cast<const char *>(v.data.data()), v.data.size());
    }
    put_u32(out, uint32_t(n.children.size()));
    for (const auto &c : n.children)
        put_node(out, *c);
}

/* ---- Reading ---- */

struct Reader {
    const BYTE *p;
    size_t left;
    size_t size;
    std::string error;

    size_t offset() const { return size - left; }

    bool fail(const char *what)
    {
        if (error.empty())
            error = std::string(what) + " at byte " + std::to_string(offset());
        return false;
    }
    bool u16(uint16_t &v)
    {
        if (left < 2)
            return fail("cut short");
        v = load<uint16_t>(p);
        p += 2;
        left -= 2;
        return true;
    }
    bool u32(uint32_t &v)
    {
        if (left < 4)
            return fail("cut short");
        v = load<uint32_t>(p);
        p += 4;
        left -= 4;
        return true;
    }
    bool name(std::u16string &out)
    {
        uint16_t n = 0;
        if (!u16(n))
            return false;
        if (left / 2 < n)
            return fail("name longer than the file");
        out.resize(n);
        for (size_t i = 0; i < n; i++)
            out[i] = char16_t(load<uint16_t>(p + 2 * i));
        p += 2 * size_t(n);
        left -= 2 * size_t(n);
        return true;
    }
    bool bytes(std::vector<BYTE> &out, size_t n)
    {
        if (left < n)
            return fail("data longer than the file");
        out.assign(p, p + n);
        p += n;
        left -= n;
        return true;
    }
};

bool read_values(Reader &rd, Node &n)
{
    uint32_t count = 0;
    if (!rd.u32(count))
        return false;
    if (count > rd.left / kMinValueBytes)
        return rd.fail("value count larger than the file");
    std::unordered_set<std::u16string> seen;
    n.values.reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        Value v;
        uint32_t size = 0;
        if (!rd.name(v.name) || !rd.u32(v.type) || !rd.u32(size))
            return false;
        if (v.name.size() > kMaxValueName || v.name.find(u'\0') != v.name.npos)
            return rd.fail("bad value name");
        if (size > kMaxValueBytes)
            return rd.fail("value too large");
        if (!rd.bytes(v.data, size))
            return false;
        v.folded = fold(v.name);
        if (!seen.insert(v.folded).second)
            return rd.fail("value named twice");
        n.values.push_back(std::move(v));
    }
    return true;
}

bool read_node(Reader &rd, Node &n, bool root)
{
    uint32_t lo = 0, hi = 0;
    if (!rd.name(n.name) || !rd.u32(lo) || !rd.u32(hi))
        return false;
    if (root ? !n.name.empty() : !valid_key_name(n.name))
        return rd.fail("bad key name");
    n.folded = fold(n.name);
    n.last_write.dwLowDateTime = lo;
    n.last_write.dwHighDateTime = hi;
    if (!read_values(rd, n))
        return false;
    uint32_t count = 0;
    if (!rd.u32(count))
        return false;
    if (count == 0)
        return true;
    if (n.depth >= kMaxDepth)
        return rd.fail("keys nested too deep");
    if (count > rd.left / kMinNodeBytes)
        return rd.fail("subkey count larger than the file");
    n.children.reserve(count);
    for (uint32_t i = 0; i < count; i++) {
        auto c = std::make_shared<Node>();
        c->parent = &n;
        c->depth = n.depth + 1;
        if (!read_node(rd, *c, false))
            return false;
        n.children.push_back(std::move(c));
    }
    std::sort(n.children.begin(), n.children.end(),
              [](const std::shared_ptr<Node> &a, const std::shared_ptr<Node> &b) { return a->folded < b->folded; });
    for (size_t i = 1; i < n.children.size(); i++)
        if (n.children[i - 1]->folded == n.children[i]->folded)
            return rd.fail("subkey named twice");
    return true;
}

/*
 * Makes `old` hold what `fresh` holds, keeping the nodes that exist in both
 * (open key handles stay on them); nodes only in `old` are deleted.
 */
void merge_node(Node &old, Node &fresh)
{
    old.values = std::move(fresh.values);
    old.last_write = fresh.last_write;
    std::vector<std::shared_ptr<Node>> children;
    children.reserve(fresh.children.size());
    for (auto &c : fresh.children) {
        std::shared_ptr<Node> kept = find_child(old, c->folded);
        if (kept) {
            merge_node(*kept, *c);
        } else {
            kept = std::move(c);
            kept->parent = &old;
        }
        children.push_back(std::move(kept));
    }
    for (auto &c : old.children)
        if (std::find(children.begin(), children.end(), c) == children.end())
            mark_deleted(*c);
    old.children = std::move(children);
}

} // namespace

std::string image_locked(const Registry &r)
{
    std::string out(kMagic, sizeof kMagic);
    put_u32(out, kFormatVersion);
    put_node(out, *r.machine);
    put_node(out, *r.users);
    return out;
}

bool parse_image(const void *data, size_t size, std::shared_ptr<Node> &machine, std::shared_ptr<Node> &users,
                 std::string *why)
{
    Reader rd{static_cast<const BYTE *>(data), size, size, {}};
    uint32_t version = 0;
    auto m = std::make_shared<Node>();
    auto u = std::make_shared<Node>();
    bool ok = false;
    if (!data || size > kMaxFileBytes)
        rd.fail("not a registry file (size)");
    else if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        rd.fail("not a registry file (signature)");
    else {
        rd.p += sizeof kMagic;
        rd.left -= sizeof kMagic;
        if (rd.u32(version) && (version == kFormatVersion || rd.fail("unknown format version")) &&
            read_node(rd, *m, true) && read_node(rd, *u, true))
            ok = rd.left == 0 || rd.fail("bytes after the end");
    }
    if (!ok) {
        if (why)
            *why = rd.error;
        return false;
    }
    machine = std::move(m);
    users = std::move(u);
    return true;
}

LONG save_locked(Registry &r)
{
    if (r.store_error)
        return r.save_error = r.store_error;
    if (r.lock_error)
        return r.save_error = r.lock_error; /* unlocked, a save could write over another process's change */
    std::string image;
    try {
        image = image_locked(r);
    } catch (const std::bad_alloc &) {
        r.save_error = ERROR_NOT_ENOUGH_MEMORY;
        std::fprintf(stderr, "tarvel: registry not saved to %s: out of memory\n", r.file.c_str());
        return r.save_error;
    }
    /* The stamp changes before the file does: a process that sees the old stamp has the old file. */
    uint64_t stamp = r.file_lock.held() ? r.file_lock.write_new_stamp() : 0;
    int err = storefile::write_atomically(r.file, image.data(), image.size());
    r.stamp = stamp;
    if (err == 0) {
        r.save_error = ERROR_SUCCESS;
        return ERROR_SUCCESS;
    }
    r.save_error = LONG(storefile::error_of_errno(err));
    std::fprintf(stderr, "tarvel: registry not saved to %s: %s\n", r.file.c_str(), std::strerror(err));
    return r.save_error;
}

void load_locked(Registry &r)
{
    if (r.file_lock.held())
        storefile::remove_stale_temporaries(r.file); /* left by a process killed in a save */
    std::vector<BYTE> bytes;
    int err = storefile::read_file(r.file, bytes, kMaxFileBytes);
    r.file_found = err != ENOENT;
    if (err == ENOENT) {
        r.store_error = ERROR_SUCCESS;
        return; /* nothing saved yet: the tree in memory stands */
    }
    if (err != 0 && err != EFBIG) {
        if (r.store_error == ERROR_SUCCESS)
            std::fprintf(stderr, "tarvel: registry file %s cannot be read (%s); the registry is not available\n",
                         r.file.c_str(), std::strerror(err));
        r.store_error = LONG(storefile::read_error_of_errno(err));
        return;
    }
    r.store_error = ERROR_SUCCESS;
    std::string why = err == EFBIG ? "not a registry file (size)" : "";
    std::shared_ptr<Node> machine, users;
    if (err == 0 && parse_image(bytes.data(), bytes.size(), machine, users, &why)) {
        merge_node(*r.machine, *machine);
        merge_node(*r.users, *users);
        return;
    }
    /* Keep the damaged file for a person to look at; the next change writes a new one. */
    std::string kept = storefile::keep_aside(r.file);
    std::fprintf(stderr, "tarvel: registry file %s is damaged (%s); starting with an empty registry%s%s\n",
                 r.file.c_str(), why.c_str(), kept.empty() ? "" : ", the file is kept as ", kept.c_str());
    Node empty;
    merge_node(*r.machine, empty);
    merge_node(*r.users, empty);
}

FileHold::FileHold(Registry &r) : r_(r), held_(r.file_lock.lock())
{
    if (!held_) {
        if (r.lock_error == ERROR_SUCCESS)
            std::fprintf(stderr, "tarvel: the registry's lock file %s cannot be taken (%s); the registry saves no "
                                 "changes\n",
                         r.file_lock.path().c_str(), r.file_lock.why_not().c_str());
        r.lock_error = ERROR_ACCESS_DENIED;
        return;
    }
    r.lock_error = ERROR_SUCCESS;
    uint64_t now = r.file_lock.read_stamp();
    if (now == r.stamp && now != 0 && r.store_error == ERROR_SUCCESS)
        return;
    load_locked(r);
    /* A file saved before stamps existed gets one, so that it is not re-read at every call. */
    r.stamp = now != 0 ? now : r.file_lock.write_new_stamp();
}

FileHold::~FileHold()
{
    if (held_)
        r_.file_lock.unlock();
}

} // namespace plat::reg
