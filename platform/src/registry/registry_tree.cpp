/*
 * The registry tree (see plat/registry.h and registry_private.h): nodes and
 * their look-ups, the per-user trees, the machine_reset hook that loads the
 * machine's registry file, the test knobs and seeding.
 */
#include "registry_private.h"

#include <plat/machine.h>
#include <plat/text.h>

#include <algorithm>
#include <chrono>

namespace plat::reg {

Registry &registry()
{
    static Registry *r = new Registry; /* never destroyed: keys may be closed during exit */
    return *r;
}

std::u16string fold(std::u16string_view name)
{
    std::u16string out(name);
    for (char16_t &c : out)
        c = wupper(c);
    return out;
}

FILETIME now_filetime()
{
    using namespace std::chrono;
    /* 100 ns units between 1601-01-01 and 1970-01-01. */
    constexpr int64_t kEpochDelta = 116444736000000000LL;
    int64_t units = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100 + kEpochDelta;
    FILETIME ft;
    ft.dwLowDateTime = DWORD(uint64_t(units));
    ft.dwHighDateTime = DWORD(uint64_t(units) >> 32);
    return ft;
}

std::shared_ptr<Node> make_root()
{
    auto n = std::make_shared<Node>();
    n->last_write = now_filetime();
    return n;
}

namespace {

bool child_less(const std::shared_ptr<Node> &c, std::u16string_view folded) { return c->folded < folded; }

} // namespace

std::shared_ptr<Node> find_child(const Node &parent, std::u16string_view folded)
{
    auto it = std::lower_bound(parent.children.begin(), parent.children.end(), folded, child_less);
    if (it != parent.children.end() && (*it)->folded == folded)
        return *it;
    return nullptr;
}

std::shared_ptr<Node> add_child(Node &parent, std::u16string_view name)
{
    auto n = std::make_shared<Node>();
    n->name = name;
    n->folded = fold(name);
    n->parent = &parent;
    n->depth = parent.depth + 1;
    n->last_write = now_filetime();
    auto it = std::lower_bound(parent.children.begin(), parent.children.end(), n->folded, child_less);
    parent.children.insert(it, n);
    parent.last_write = n->last_write;
    return n;
}

Value *find_value(Node &node, std::u16string_view folded)
{
    for (Value &v : node.values)
        if (v.folded == folded)
            return &v;
    return nullptr;
}

bool valid_key_name(std::u16string_view name)
{
    if (name.empty() || name.size() > kMaxKeyName)
        return false;
    return name.find_first_of(std::u16string_view(u"\\\0", 2)) == name.npos;
}

std::shared_ptr<Node> current_user_node(Registry &r)
{
    std::u16string folded = fold(r.user);
    if (auto n = find_child(*r.users, folded))
        return n;
    return add_child(*r.users, r.user);
}

void mark_deleted(Node &node)
{
    node.deleted = true;
    node.parent = nullptr;
    for (auto &c : node.children)
        mark_deleted(*c);
}

void ensure_machine() { (void)machine_root(); }

namespace {

constexpr std::u16string_view kWinlogon = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

/* Drops the tree; handles still open on it answer ERROR_KEY_DELETED. */
void drop_tree(Registry &r)
{
    if (r.machine)
        mark_deleted(*r.machine);
    if (r.users)
        mark_deleted(*r.users);
    r.machine = make_root();
    r.users = make_root();
}

/* The root node of a predefined key for seeding; null for others. */
std::shared_ptr<Node> seed_root(Registry &r, HKEY root)
{
    if (root == HKEY_LOCAL_MACHINE)
        return r.machine;
    if (root == HKEY_USERS)
        return r.users;
    if (root == HKEY_CURRENT_USER)
        return current_user_node(r);
    return nullptr;
}

/* Creates the keys of `path` below `start`; null for a bad path. */
std::shared_ptr<Node> seed_path(std::shared_ptr<Node> start, std::u16string_view path)
{
    std::shared_ptr<Node> node = std::move(start);
    size_t pos = 0;
    while (pos < path.size()) {
        size_t end = path.find(u'\\', pos);
        if (end == path.npos)
            end = path.size();
        std::u16string_view name = path.substr(pos, end - pos);
        if (!valid_key_name(name) || node->depth >= kMaxDepth)
            return nullptr;
        std::shared_ptr<Node> next = find_child(*node, fold(name));
        node = next ? next : add_child(*node, name);
        pos = end + 1;
    }
    return node;
}

/* Sets a value on a node without any access check. */
void put_value(Node &node, std::u16string_view name, DWORD type, const void *data, DWORD size)
{
    std::u16string folded = fold(name);
    Value *v = find_value(node, folded);
    if (!v) {
        node.values.push_back(Value{std::u16string(name), folded, type, {}});
        v = &node.values.back();
    }
    v->type = type;
    const BYTE *p = static_cast<const BYTE *>(data);
    v->data.assign(p, p + size);
    node.last_write = now_filetime();
}

/* Seeds a value (or, with `value` false, only the key); saves. */
bool seed(HKEY root, std::u16string_view path, bool value, std::u16string_view name, DWORD type, const void *data,
          DWORD size)
{
    if (value && (name.size() > kMaxValueName || size > kMaxValueBytes || (size && !data) ||
                  name.find(u'\0') != name.npos))
        return false;
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    FileHold hold(r);
    try {
        std::shared_ptr<Node> start = seed_root(r, root);
        std::shared_ptr<Node> node = start ? seed_path(start, path) : nullptr;
        if (!node)
            return false;
        if (value)
            put_value(*node, name, type, data, size);
    } catch (const std::bad_alloc &) {
        return false;
    }
    save_locked(r);
    return true;
}

void registry_machine_reset()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.user = kDefaultUser;
    r.admin = true;
    r.fail_after = 0;
    r.fail_error = ERROR_ACCESS_DENIED;
    r.calls = 0;
    r.save_error = ERROR_SUCCESS;
    r.file = machine_root() + "/registry.dat";
    r.file_lock.set_path(machine_root() + "/registry.lock");
    r.stamp = 0;
    r.store_error = ERROR_SUCCESS;
    r.lock_error = ERROR_SUCCESS;
    drop_tree(r);
    FileHold hold(r);
    if (!r.file_found)
        fresh_locked(r); /* a new machine */
}

const bool registered = (machine_on_reset(registry_machine_reset), true);

} // namespace

void fresh_locked(Registry &r)
{
    (void)registered;
    drop_tree(r);
    current_user_node(r);
    auto winlogon = seed_path(r.machine, kWinlogon);
    std::u16string user(kDefaultUser);
    put_value(*winlogon, u"DefaultUserName", REG_SZ, user.c_str(), DWORD((user.size() + 1) * sizeof(char16_t)));
}

} // namespace plat::reg

namespace plat {

using namespace reg;

bool registry_set_current_user(std::u16string_view name)
{
    if (name.empty() || name.size() > kMaxUserName)
        return false;
    for (char16_t c : name)
        if (c < 0x20 || c == 0x7F || std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos)
            return false;
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.user = name;
    return true;
}

std::u16string registry_current_user()
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.user;
}

void registry_set_admin(bool admin)
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.admin = admin;
}

void registry_fail_after(unsigned n, LONG error)
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.fail_after = n;
    r.fail_error = error;
}

unsigned long registry_call_count()
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.calls;
}

bool registry_seed(HKEY root, std::u16string_view path, std::u16string_view name, DWORD type, const void *data,
                   DWORD size)
{
    return seed(root, path, true, name, type, data, size);
}

bool registry_seed_string(HKEY root, std::u16string_view path, std::u16string_view name, std::u16string_view text)
{
    if (text.size() >= kMaxValueBytes / sizeof(char16_t))
        return false;
    std::u16string s(text);
    return seed(root, path, true, name, REG_SZ, s.c_str(), DWORD((s.size() + 1) * sizeof(char16_t)));
}

bool registry_seed_dword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD value)
{
    return seed(root, path, true, name, REG_DWORD, &value, sizeof value);
}

bool registry_seed_key(HKEY root, std::u16string_view path) { return seed(root, path, false, {}, 0, nullptr, 0); }

void registry_reset_to_fresh()
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    FileHold hold(r);
    fresh_locked(r);
    r.store_error = ERROR_SUCCESS; /* a fresh registry replaces whatever the file held */
    save_locked(r);
}

std::string registry_file()
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return r.file;
}

std::string registry_lock_problem()
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    FileHold hold(r);
    if (r.lock_error == ERROR_SUCCESS)
        return std::string();
    return r.file_lock.path() + " cannot be taken: " + r.file_lock.why_not();
}

LONG registry_store_error()
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    FileHold hold(r);
    return r.store_error;
}

std::string registry_image()
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    return image_locked(r);
}

bool registry_load_bytes(const void *data, size_t size, std::string *why)
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    std::shared_ptr<Node> machine, users;
    bool ok = parse_image(data, size, machine, users, why);
    drop_tree(r);
    if (ok) {
        r.machine = std::move(machine);
        r.users = std::move(users);
    }
    return ok;
}

} // namespace plat
