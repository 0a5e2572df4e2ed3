/*
 * The advapi32 registry functions (see plat/registry.h) over the tree of
 * registry_tree.cpp.  Each call takes the registry lock once, counts itself
 * for fault injection, resolves its key handle to a node with the rights it
 * was opened with, and saves the registry file when it changed the tree.
 */
#include "registry_private.h"

#include <plat/codepage.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>
#include <new>

using namespace plat;
using namespace plat::reg;

namespace {

/* The rights that change a key or what is below it. */
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

/* What an open key handle refers to. */
struct KeyObject {
    std::shared_ptr<Node> node;
    REGSAM rights;
    bool machine; /* below HKEY_LOCAL_MACHINE */
};

void close_key(void *object) { delete static_cast<KeyObject *>(object); }

/* A resolved key: the node and the rights the caller holds on it. */
struct Key {
    std::shared_ptr<Node> node;
    REGSAM rights = 0;
    bool machine = false;
};

bool is_predefined(HKEY key)
{
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS;
}

/* The node behind a key handle; ERROR_INVALID_HANDLE or ERROR_KEY_DELETED when there is none. */
LONG resolve(Registry &r, HKEY key, Key &out)
{
    if (key == HKEY_LOCAL_MACHINE) {
        out = Key{r.machine, KEY_ALL_ACCESS, true};
        return ERROR_SUCCESS;
    }
    if (key == HKEY_USERS) {
        out = Key{r.users, KEY_ALL_ACCESS, false};
        return ERROR_SUCCESS;
    }
    if (key == HKEY_CURRENT_USER) {
        out = Key{current_user_node(r), KEY_ALL_ACCESS, false};
        return ERROR_SUCCESS;
    }
    std::shared_ptr<void> object = handle_object(reinterpret_cast<HANDLE>(key), HANDLE_KIND_REGKEY);
    if (!object)
        return ERROR_INVALID_HANDLE;
    const KeyObject *k = static_cast<const KeyObject *>(object.get());
    if (k->node->deleted)
        return ERROR_KEY_DELETED;
    out = Key{k->node, k->rights, k->machine};
    return ERROR_SUCCESS;
}

/* resolve() for a call that reads: the handle must carry `right`. */
LONG resolve_for(Registry &r, HKEY key, REGSAM right, Key &out)
{
    if (LONG e = resolve(r, key, out))
        return e;
    return (out.rights & right) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

/* Copies a key or value name out: *size characters of room in, characters without the terminator out. */
LONG copy_name(const std::u16string &name, LPWSTR out, LPDWORD size)
{
    if (*size < name.size() + 1)
        return ERROR_MORE_DATA;
    std::memcpy(out, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    *size = DWORD(name.size());
    return ERROR_SUCCESS;
}

/* Answers the (always empty) class of a key. */
void empty_class(LPWSTR key_class, LPDWORD class_size)
{
    if (key_class && class_size && *class_size)
        key_class[0] = 0;
    if (class_size)
        *class_size = 0;
}

/* Whether the caller may change `key` with `right`: the ordinary user never changes HKEY_LOCAL_MACHINE. */
LONG may_write(const Registry &r, const Key &key, REGSAM right)
{
    if ((key.machine && !r.admin) || !(key.rights & right))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

/* The rights an open with `sam` grants; ERROR_ACCESS_DENIED when it asks for what it may not have. */
LONG grant(const Registry &r, bool machine, REGSAM sam, REGSAM &rights)
{
    sam &= ~REGSAM(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (sam & GENERIC_READ)
        sam |= KEY_READ;
    if (sam & GENERIC_WRITE)
        sam |= KEY_WRITE;
    if (sam & GENERIC_EXECUTE)
        sam |= KEY_EXECUTE;
    if (sam & GENERIC_ALL)
        sam |= KEY_ALL_ACCESS;
    sam &= ~REGSAM(GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE | GENERIC_ALL);
    bool restricted = machine && !r.admin;
    REGSAM asked = sam & ~REGSAM(MAXIMUM_ALLOWED);
    if (restricted && (asked & kWriteRights))
        return ERROR_ACCESS_DENIED;
    rights = asked;
    if (sam & MAXIMUM_ALLOWED)
        rights |= restricted ? KEY_READ : KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
}

/* Splits a key path into names (see plat/registry.h for the rules); a null path has none. */
LONG split_path(LPCWSTR path, std::vector<std::u16string_view> &names)
{
    names.clear();
    if (!path)
        return ERROR_SUCCESS;
    std::u16string_view p(path, wlen(path));
    if (p.empty())
        return ERROR_SUCCESS;
    if (p.front() == u'\\')
        return ERROR_BAD_PATHNAME;
    if (p.back() == u'\\')
        p.remove_suffix(1);
    size_t pos = 0;
    for (;;) {
        size_t end = p.find(u'\\', pos);
        std::u16string_view name = p.substr(pos, end == p.npos ? p.npos : end - pos);
        if (name.empty())
            return ERROR_BAD_PATHNAME;
        if (name.size() > kMaxKeyName)
            return ERROR_INVALID_PARAMETER;
        names.push_back(name);
        if (end == p.npos)
            break;
        pos = end + 1;
    }
    if (names.size() > kMaxDepth)
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

/*
 * Finds (and with `create`, makes) the key `path` below `from`.  Creating
 * needs KEY_CREATE_SUB_KEY on `from`.  *created tells whether a key was
 * made.
 */
LONG walk(Registry &r, const Key &from, LPCWSTR path, bool create, std::shared_ptr<Node> &out, bool *created)
{
    std::vector<std::u16string_view> names;
    if (LONG e = split_path(path, names))
        return e;
    if (from.node->depth + names.size() > kMaxDepth)
        return ERROR_INVALID_PARAMETER;
    std::shared_ptr<Node> node = from.node;
    size_t i = 0;
    for (; i < names.size(); i++) {
        std::shared_ptr<Node> next = find_child(*node, fold(names[i]));
        if (!next)
            break;
        node = std::move(next);
    }
    if (created)
        *created = false;
    if (i < names.size()) {
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        if (LONG e = may_write(r, from, KEY_CREATE_SUB_KEY))
            return e;
        for (; i < names.size(); i++)
            node = add_child(*node, names[i]);
        r.changed = true;
        if (created)
            *created = true;
    }
    out = std::move(node);
    return ERROR_SUCCESS;
}

/* A new key handle on `node` into *result. */
LONG open_handle(const std::shared_ptr<Node> &node, REGSAM rights, bool machine, PHKEY result)
{
    static const bool kind_ready = handle_register(HANDLE_KIND_REGKEY, close_key, false);
    (void)kind_ready;
    KeyObject *object = new (std::nothrow) KeyObject{node, rights, machine};
    if (!object)
        return ERROR_NOT_ENOUGH_MEMORY;
    HANDLE h = handle_create(HANDLE_KIND_REGKEY, object); /* on failure the table has closed the object */
    if (!h)
        return ERROR_NOT_ENOUGH_MEMORY;
    *result = reinterpret_cast<HKEY>(h);
    return ERROR_SUCCESS;
}

/*
 * Runs one registry call: takes the lock, counts the call (an armed fault
 * answers in its place), turns an allocation failure into
 * ERROR_NOT_ENOUGH_MEMORY and saves the file when the call changed the tree.
 */
template <typename Body>
LONG call(Body &&body)
{
    ensure_machine();
    Registry &r = registry();
    std::lock_guard<std::mutex> g(r.lock);
    FileHold hold(r);
    r.calls++;
    if (r.fail_after && --r.fail_after == 0)
        return r.fail_error;
    if (r.store_error)
        return r.store_error; /* the file cannot be read: nothing is answered or changed */
    LONG result;
    r.changed = false;
    try {
        result = body(r);
    } catch (const std::bad_alloc &) {
        result = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (r.changed) {
        r.changed = false;
        save_locked(r);
    }
    return result;
}

/*
 * Opens `sub_key` below `key` with the rights `sam` into *result; with
 * `create`, makes the keys that are missing and reports the disposition.
 */
LONG open_or_create(Registry &r, HKEY key, LPCWSTR sub_key, REGSAM sam, bool create, PHKEY result,
                    LPDWORD disposition)
{
    Key from;
    if (LONG e = resolve(r, key, from))
        return e;
    REGSAM rights;
    if (LONG e = grant(r, from.machine, sam, rights))
        return e;
    std::shared_ptr<Node> node;
    bool created;
    if (LONG e = walk(r, from, sub_key, create, node, &created))
        return e;
    if (LONG e = open_handle(node, rights, from.machine, result))
        return e;
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

/* RegOpenKeyExW's checks of its arguments, then open_or_create without creating. */
LONG open_existing(Registry &r, HKEY key, LPCWSTR sub_key, DWORD options, REGSAM sam, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (options & ~DWORD(REG_OPTION_OPEN_LINK))
        return ERROR_INVALID_PARAMETER;
    return open_or_create(r, key, sub_key, sam, false, result, nullptr);
}

/* Copies a value's type and data out, with the size rules of RegQueryValueExW. */
LONG deliver(DWORD value_type, const std::vector<BYTE> &value, LPDWORD type, LPBYTE data, LPDWORD size)
{
    DWORD need = DWORD(value.size());
    if (data && *size < need) {
        *size = need;
        if (type)
            *type = value_type;
        return ERROR_MORE_DATA;
    }
    if (data && need)
        std::memcpy(data, value.data(), need);
    if (type)
        *type = value_type;
    if (size)
        *size = need;
    return ERROR_SUCCESS;
}

/* A readable value of `key` named `name`. */
LONG find_readable(Registry &r, HKEY key, LPCWSTR name, Value *&out)
{
    Key k;
    if (LONG e = resolve_for(r, key, KEY_QUERY_VALUE, k))
        return e;
    out = find_value(*k.node, fold(std::u16string_view(name ? name : u"", wlen(name))));
    return out ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

bool is_string_type(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

/* A path or name in the ANSI code page as UTF-16 (null stays null). */
struct AnsiText {
    std::u16string text;
    bool null;
    explicit AnsiText(LPCSTR s) : null(!s)
    {
        if (s)
            text = ansi_to_utf16(std::string_view(s));
    }
    LPCWSTR get() const { return null ? nullptr : text.c_str(); }
};

LONG set_value(Registry &r, const Key &k, std::u16string_view name, DWORD type, const BYTE *data, DWORD size)
{
    if (LONG e = may_write(r, k, KEY_SET_VALUE))
        return e;
    std::u16string folded = fold(name);
    Value *v = find_value(*k.node, folded);
    if (!v) {
        k.node->values.push_back(Value{std::u16string(name), std::move(folded), type, {}});
        v = &k.node->values.back();
    }
    v->type = type;
    v->data.assign(data, data + size);
    k.node->last_write = now_filetime();
    r.changed = true;
    return ERROR_SUCCESS;
}

} // namespace

LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options, REGSAM sam,
                     SECURITY_ATTRIBUTES *security, PHKEY result, LPDWORD disposition)
{
    (void)key_class;
    (void)security;
    return call([&](Registry &r) -> LONG {
        if (!result)
            return ERROR_INVALID_PARAMETER;
        *result = nullptr;
        if (reserved || options != REG_OPTION_NON_VOLATILE)
            return ERROR_INVALID_PARAMETER;
        return open_or_create(r, key, sub_key, sam, true, result, disposition);
    });
}

LONG RegCreateKeyW(HKEY key, LPCWSTR sub_key, PHKEY result)
{
    return call([&](Registry &r) -> LONG {
        if (!result)
            return ERROR_INVALID_PARAMETER;
        *result = nullptr;
        return open_or_create(r, key, sub_key, MAXIMUM_ALLOWED, true, result, nullptr);
    });
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM sam, PHKEY result)
{
    return call([&](Registry &r) { return open_existing(r, key, sub_key, options, sam, result); });
}

LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM sam, PHKEY result)
{
    return call([&](Registry &r) {
        AnsiText path(sub_key);
        return open_existing(r, key, path.get(), options, sam, result);
    });
}

LONG RegCloseKey(HKEY key)
{
    if (is_predefined(key))
        return ERROR_SUCCESS;
    return handle_close(reinterpret_cast<HANDLE>(key), HANDLE_KIND_REGKEY) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    return call([&](Registry &r) -> LONG {
        if (reserved || (data && !size))
            return ERROR_INVALID_PARAMETER;
        Value *v;
        if (LONG e = find_readable(r, key, name, v))
            return e;
        return deliver(v->type, v->data, type, data, size);
    });
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size)
{
    return call([&](Registry &r) -> LONG {
        if (reserved || (data && !size))
            return ERROR_INVALID_PARAMETER;
        AnsiText wide_name(name);
        Value *v;
        if (LONG e = find_readable(r, key, wide_name.get(), v))
            return e;
        if (!is_string_type(v->type))
            return deliver(v->type, v->data, type, data, size);
        std::u16string units(v->data.size() / 2, u'\0');
        if (!units.empty())
            std::memcpy(units.data(), v->data.data(), units.size() * 2);
        std::string ansi = utf16_to_ansi(units);
        return deliver(v->type, std::vector<BYTE>(ansi.begin(), ansi.end()), type, data, size);
    });
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size)
{
    (void)reserved;
    return call([&](Registry &r) -> LONG {
        if (!data && size)
            return ERROR_NOACCESS;
        size_t name_len = wlen(name);
        if (size > kMaxValueBytes || name_len > kMaxValueName)
            return ERROR_INVALID_PARAMETER;
        Key k;
        if (LONG e = resolve(r, key, k))
            return e;
        return set_value(r, k, std::u16string_view(name ? name : u"", name_len), type, data, size);
    });
}

LONG RegSetValueW(HKEY key, LPCWSTR sub_key, DWORD type, LPCWSTR data, DWORD size)
{
    (void)size; /* the string's own length counts */
    return call([&](Registry &r) -> LONG {
        if (type != REG_SZ || !data)
            return ERROR_INVALID_PARAMETER;
        size_t bytes = (wlen(data) + 1) * sizeof(WCHAR);
        if (bytes > kMaxValueBytes)
            return ERROR_INVALID_PARAMETER;
        Key k;
        if (LONG e = resolve(r, key, k))
            return e;
        if (!sub_key || !*sub_key)
            return set_value(r, k, u"", REG_SZ, reinterpret_cast<const BYTE *>(data), DWORD(bytes));
        /* The subkey is opened (or created) for setting values, whatever `key` was opened for. */
        Key target{nullptr, KEY_SET_VALUE, k.machine};
        if (LONG e = walk(r, k, sub_key, true, target.node, nullptr))
            return e;
        return set_value(r, target, u"", REG_SZ, reinterpret_cast<const BYTE *>(data), DWORD(bytes));
    });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name)
{
    return call([&](Registry &r) -> LONG {
        Key k;
        if (LONG e = resolve(r, key, k))
            return e;
        if (LONG e = may_write(r, k, KEY_SET_VALUE))
            return e;
        std::u16string folded = fold(std::u16string_view(name ? name : u"", wlen(name)));
        auto &values = k.node->values;
        for (auto it = values.begin(); it != values.end(); ++it)
            if (it->folded == folded) {
                values.erase(it);
                k.node->last_write = now_filetime();
                r.changed = true;
                return ERROR_SUCCESS;
            }
        return ERROR_FILE_NOT_FOUND;
    });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key)
{
    return call([&](Registry &r) -> LONG {
        if (!sub_key)
            return ERROR_INVALID_PARAMETER;
        Key k;
        if (LONG e = resolve(r, key, k))
            return e;
        std::shared_ptr<Node> node;
        if (LONG e = walk(r, k, sub_key, false, node, nullptr))
            return e;
        Node *parent = node->parent;
        /* The roots and the users' trees below HKEY_USERS are never deleted. */
        if (!parent || parent == r.users.get() || (k.machine && !r.admin) || !node->children.empty())
            return ERROR_ACCESS_DENIED;
        auto &siblings = parent->children;
        for (auto it = siblings.begin(); it != siblings.end(); ++it)
            if (it->get() == node.get()) {
                siblings.erase(it);
                break;
            }
        mark_deleted(*node);
        parent->last_write = now_filetime();
        r.changed = true;
        return ERROR_SUCCESS;
    });
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD data_size)
{
    return call([&](Registry &r) -> LONG {
        if (!name || !name_size || reserved || (data && !data_size))
            return ERROR_INVALID_PARAMETER;
        Key k;
        if (LONG e = resolve_for(r, key, KEY_QUERY_VALUE, k))
            return e;
        if (index >= k.node->values.size())
            return ERROR_NO_MORE_ITEMS;
        const Value &v = k.node->values[index];
        if (*name_size < v.name.size() + 1)
            return ERROR_MORE_DATA;
        /* Data that does not fit: its size is answered and neither name nor data is written. */
        if (!(data && *data_size < v.data.size()))
            copy_name(v.name, name, name_size);
        return deliver(v.type, v.data, type, data, data_size);
    });
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved, LPWSTR key_class,
                   LPDWORD class_size, FILETIME *last_write)
{
    return call([&](Registry &r) -> LONG {
        if (!name || !name_size || reserved)
            return ERROR_INVALID_PARAMETER;
        Key k;
        if (LONG e = resolve_for(r, key, KEY_ENUMERATE_SUB_KEYS, k))
            return e;
        if (index >= k.node->children.size())
            return ERROR_NO_MORE_ITEMS;
        const Node &c = *k.node->children[index];
        if (LONG e = copy_name(c.name, name, name_size))
            return e;
        empty_class(key_class, class_size);
        if (last_write)
            *last_write = c.last_write;
        return ERROR_SUCCESS;
    });
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_size, LPDWORD reserved, LPDWORD sub_keys,
                      LPDWORD max_sub_key_len, LPDWORD max_class_len, LPDWORD values, LPDWORD max_value_name_len,
                      LPDWORD max_value_len, LPDWORD security_descriptor_size, FILETIME *last_write)
{
    return call([&](Registry &r) -> LONG {
        if (reserved)
            return ERROR_INVALID_PARAMETER;
        Key k;
        if (LONG e = resolve_for(r, key, KEY_QUERY_VALUE, k))
            return e;
        const Node &n = *k.node;
        size_t longest_key = 0, longest_name = 0, largest = 0;
        for (const auto &c : n.children)
            longest_key = std::max(longest_key, c->name.size());
        for (const Value &v : n.values) {
            longest_name = std::max(longest_name, v.name.size());
            largest = std::max(largest, v.data.size());
        }
        empty_class(key_class, class_size);
        if (sub_keys)
            *sub_keys = DWORD(n.children.size());
        if (max_sub_key_len)
            *max_sub_key_len = DWORD(longest_key);
        if (max_class_len)
            *max_class_len = 0;
        if (values)
            *values = DWORD(n.values.size());
        if (max_value_name_len)
            *max_value_name_len = DWORD(longest_name);
        if (max_value_len)
            *max_value_len = DWORD(largest);
        if (security_descriptor_size)
            *security_descriptor_size = 0;
        if (last_write)
            *last_write = n.last_write;
        return ERROR_SUCCESS;
    });
}

LONG RegFlushKey(HKEY key)
{
    return call([&](Registry &r) -> LONG {
        Key k;
        if (LONG e = resolve(r, key, k))
            return e;
        return r.save_error ? save_locked(r) : ERROR_SUCCESS;
    });
}
