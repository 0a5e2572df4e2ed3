/*
 * Internals of the registry (see plat/registry.h), shared by the tree and
 * its knobs (registry_tree.cpp), the advapi32 functions (registry_api.cpp)
 * and the registry file (registry_store.cpp).
 *
 * The whole registry is one process-wide state under one lock.  Keys are
 * reference-counted nodes: the tree owns them through their parents, and an
 * open key handle owns the node it names, so a deleted key's handle stays
 * valid (and answers ERROR_KEY_DELETED) until it is closed.
 */
#ifndef PLAT_REGISTRY_PRIVATE_H
#define PLAT_REGISTRY_PRIVATE_H

#include <plat/registry.h>

#include "store_file.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plat::reg {

/* Limits of names, paths and data, as documented for the Windows registry. */
constexpr size_t kMaxKeyName = 255;        /* characters of one key name */
constexpr size_t kMaxValueName = 16383;    /* characters of a value name */
constexpr unsigned kMaxDepth = 512;        /* keys below a root */
constexpr size_t kMaxValueBytes = 1u << 20; /* bytes of one value's data */
constexpr size_t kMaxUserName = 256;       /* characters of a user name (UNLEN) */

struct Value {
    std::u16string name;
    std::u16string folded; /* name with case folded, for look-ups */
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Node {
    std::u16string name;   /* as created; empty for the roots */
    std::u16string folded; /* name with case folded, for look-ups and order */
    Node *parent = nullptr; /* null for a root and for a deleted key */
    unsigned depth = 0;     /* 0 for a root */
    bool deleted = false;
    FILETIME last_write{};
    std::vector<Value> values;                   /* in the order first set */
    std::vector<std::shared_ptr<Node>> children; /* sorted by `folded` */
};

/* The registry of the current machine, and the knobs of the tests. */
struct Registry {
    std::mutex lock;
    std::shared_ptr<Node> machine; /* HKEY_LOCAL_MACHINE */
    std::shared_ptr<Node> users;   /* HKEY_USERS: one subkey per user name */
    std::u16string user;           /* the current user */
    bool admin = true;
    unsigned fail_after = 0; /* 0 = disarmed, else calls until the failing one */
    LONG fail_error = ERROR_ACCESS_DENIED;
    unsigned long calls = 0;
    bool changed = false;            /* the running call changed the tree: save before it returns */
    LONG save_error = ERROR_SUCCESS; /* error of the last save, until one succeeds */
    std::string file;                /* real path of the registry file */
    storefile::FileLock file_lock;   /* "<machine>/registry.lock", which also holds the stamp of the last save */
    uint64_t stamp = 0;              /* the stamp of the file as this process last read or saved it */
    bool file_found = false;         /* the last read found a file (damaged or not) */
    LONG store_error = ERROR_SUCCESS; /* the file could not be read: every call fails with this, nothing is saved */
    LONG lock_error = ERROR_SUCCESS;  /* the lock could not be taken by the last hold: nothing is saved */
};

/*
 * Takes the registry file's lock between processes (the registry lock
 * held) and re-reads the file when another process saved it since; the
 * lock is let go when the hold ends.
 */
class FileHold {
public:
    explicit FileHold(Registry &r);
    ~FileHold();
    FileHold(const FileHold &) = delete;
    FileHold &operator=(const FileHold &) = delete;

private:
    Registry &r_;
    bool held_;
};

/* The process-wide registry.  Callers take its lock. */
Registry &registry();

/*
 * Makes sure the machine exists (machine_root may run machine_reset and with
 * it the registry's reset hook).  Call before taking the registry lock.
 */
void ensure_machine();

/* The default user of a fresh machine. */
inline constexpr std::u16string_view kDefaultUser = u"tarvel";

/* Case folding of key and value names (the platform's simple upper case). */
std::u16string fold(std::u16string_view name);

/* The current time as a FILETIME (100 ns since 1601). */
FILETIME now_filetime();

/* A new root node. */
std::shared_ptr<Node> make_root();

/* The child of `parent` named `folded` (case-folded), or null. */
std::shared_ptr<Node> find_child(const Node &parent, std::u16string_view folded);

/*
 * Adds a child named `name` to `parent` (which has none of that name) and
 * returns it; null without memory.  Updates the parent's last-write time.
 */
std::shared_ptr<Node> add_child(Node &parent, std::u16string_view name);

/* The value of `node` named `folded` (case-folded), or null. */
Value *find_value(Node &node, std::u16string_view folded);

/* True for a valid key name: 1-255 characters, no backslash and no NUL. */
bool valid_key_name(std::u16string_view name);

/* The current user's tree below HKEY_USERS, created when missing (caller holds the lock). */
std::shared_ptr<Node> current_user_node(Registry &r);

/* Marks `node` and everything below it deleted (the tree is being dropped). */
void mark_deleted(Node &node);

/*
 * Saves the registry to its file (caller holds the lock): a new file beside
 * it, renamed over it.  Returns ERROR_SUCCESS or the error (also kept in
 * save_error and reported on stderr).
 */
LONG save_locked(Registry &r);

/* The registry's file image (caller holds the lock). */
std::string image_locked(const Registry &r);

/*
 * Parses a file image into two new roots.  False with the reason in *why
 * (and the outputs untouched) for a damaged image.
 */
bool parse_image(const void *data, size_t size, std::shared_ptr<Node> &machine, std::shared_ptr<Node> &users,
                 std::string *why);

/*
 * Loads the registry file of the current machine (caller holds the lock and
 * a FileHold); see plat/registry.h.  Keys still open keep their nodes: the
 * tree read is merged into the one in memory.
 */
void load_locked(Registry &r);

/* Replaces the tree with a fresh machine's registry (caller holds the lock; nothing saved). */
void fresh_locked(Registry &r);

} // namespace plat::reg

#endif /* PLAT_REGISTRY_PRIVATE_H */
