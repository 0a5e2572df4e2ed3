/*
 * Internals shared by the spooler's source files (spool_*.cpp): the state
 * the spooler keeps (drivers, ports, printers, user forms, jobs), its lock,
 * the printer handle object, saving the state, name comparison, the fault
 * knobs and the packer that lays records and strings into a caller's buffer.
 */
#ifndef PLAT_SPOOL_PRIVATE_H
#define PLAT_SPOOL_PRIVATE_H

#include <plat/spooler.h>

#include "store_file.h"

#include <unistd.h>

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace plat::spool {

/* The Windows names the spooler answers with. */
inline constexpr char16_t kEnvironment[] = u"Windows x64";
inline constexpr char16_t kDataKey[] = u"PrinterDriverData";
inline constexpr char16_t kPrintProcessor[] = u"winprint";
inline constexpr char16_t kXcvPortPrefix[] = u",XcvPort ";

/* The largest printer-data value kept: far above any blob chunk, small enough to refuse nonsense sizes. */
inline constexpr DWORD kMaxValueBytes = 1u << 20;

/* The smallest devmode kept: one that holds dmSize (offset 68), dmDriverExtra (70) and dmFields (72). */
inline constexpr size_t kMinDevmode = 76;

/*
 * A devmode's whole size, dmSize + dmDriverExtra, read from its first
 * kMinDevmode bytes (which the caller guarantees); 0 when its dmSize is
 * smaller than kMinDevmode.
 */
inline size_t devmode_size(const BYTE *dm)
{
    size_t size = load_u16(dm, 68);
    return size < kMinDevmode ? 0 : size + load_u16(dm, 70);
}

/* The longest form name taken (characters, without the terminator). */
inline constexpr size_t kMaxFormName = 255;

/* A file descriptor that closes itself. */
struct Fd {
    int fd = -1;
    Fd() = default;
    explicit Fd(int f) : fd(f) {}
    Fd(Fd &&o) noexcept : fd(o.fd) { o.fd = -1; }
    Fd &operator=(Fd &&o) noexcept
    {
        if (this != &o) {
            reset();
            fd = o.fd;
            o.fd = -1;
        }
        return *this;
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    ~Fd() { reset(); }
    void reset()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

struct Driver {
    std::u16string name;
    DWORD version = 3;
    std::u16string driver_file, data_file, config_file, help_file;
    std::vector<std::u16string> dependent_files;
    std::u16string monitor_name;
    std::u16string default_data_type;
};

struct Port {
    std::u16string name, monitor, description, address;
    DWORD type = PORT_TYPE_WRITE;
    DWORD status = 0;
    DWORD severity = 0;
    bool builtin = false; /* one of the local ports every machine has; not saved */
};

struct DataValue {
    std::u16string key, name; /* as first written */
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

struct Printer {
    uint32_t id = 0; /* stays the same for the printer's life in this process, renames included */
    std::u16string name, share_name, port, driver, comment, location, sep_file, print_processor, data_type,
        parameters;
    DWORD attributes = 0, priority = DEF_PRIORITY, default_priority = DEF_PRIORITY, start_time = 0,
          until_time = 0, status = 0, user_rights = 0;
    std::vector<BYTE> devmode;
    std::map<std::u16string, DataValue> data; /* by data_slot(key, name) */
};

struct Form {
    std::u16string name;
    DWORD flags = FORM_USER;
    LONG cx = 0, cy = 0;
    RECTL area{};
};

struct Job {
    DWORD id = 0;
    std::u16string printer, document, owner, machine, data_type, output_file;
    DWORD status = 0;
    DWORD pages = 0;
    uint64_t bytes = 0;
    SYSTEMTIME submitted{};
    bool open = false;  /* being written through a handle */
    Fd data, sizes;     /* open while the job is written */
    /* Bytes and recorded call sizes not yet in the files: the engine writes in
       small pieces, and a file write per call would dominate its cost. */
    std::vector<BYTE> data_pending, sizes_pending;
    uint64_t bytes_in_file = 0;
};

/* Moves a job's pending bytes and call sizes into its files; ERROR_SUCCESS or the error. */
DWORD flush_job(Job &job);

/*
 * Everything the spooler holds; guarded by State::lock within the process
 * and, for the store in the machine folder, by file_lock between processes.
 */
struct State {
    std::mutex lock;
    storefile::FileLock file_lock; /* "<folder>/spooler.lock", which also holds the stamp of the last save */
    uint64_t stamp = 0;        /* the stamp of the store as this process last read or saved it */
    DWORD store_error = 0;     /* the store could not be read: it is not written over (the read's error) */
    DWORD lock_error = 0;      /* the store's lock could not be taken by the last hold: nothing is saved */
    uint64_t generation = 0; /* grows with every load; handles of an older one are dead */
    std::string folder;      /* "<root>/spooler" of the loaded machine */
    uint32_t next_printer_id = 1;
    DWORD next_job_id = 1;
    std::vector<Driver> drivers;
    std::vector<Port> ports; /* the built-in local ports first, then the added ones */
    std::vector<Printer> printers;
    std::vector<Form> forms; /* user forms */
    std::map<DWORD, Job> jobs;

    /* Per-process settings, reset by machine_reset. */
    SpoolUser user = SpoolUser::Administrator;
    std::u16string user_name;
    SpoolPortDataHook port_data_hook = nullptr;
    unsigned fail_at[size_t(SpoolCall::Count)] = {};
    DWORD fail_error[size_t(SpoolCall::Count)] = {};
    unsigned short_write_at = 0;
    DWORD short_write_bytes = 0;
    std::map<DWORD, unsigned> releases; /* SetJobW releases and ends per job id (spool_release_count) */
};

/* The one state of the process.  Call ensure_loaded() before taking its lock in an entry point. */
State &state();

/* Loads the machine's spooler state when nothing is loaded yet (never call it with the lock held). */
void ensure_loaded();

/*
 * Takes the store's lock between processes for a change (State::lock
 * held) and re-reads the store when another process saved it since; the
 * lock is let go when the hold ends.
 */
class StoreHold {
public:
    explicit StoreHold(State &st);
    ~StoreHold();
    StoreHold(const StoreHold &) = delete;
    StoreHold &operator=(const StoreHold &) = delete;

private:
    State &st_;
    bool held_;
};

/* What a printer handle refers to. */
struct HandleObject {
    enum Kind { PRINTER, SERVER, XCV } kind = PRINTER;
    uint64_t generation = 0;
    uint32_t printer_id = 0; /* PRINTER */
    std::u16string port;     /* XCV */
    DWORD access = 0;
    DWORD job = 0; /* the job started on this handle, 0 when none */
};

/* The object behind `h` when it is a printer handle (any state), else null.  Call without the lock. */
std::shared_ptr<HandleObject> handle_ref(HANDLE h);

/*
 * An entry point's hold on the spooler: loads the state when needed, takes a
 * reference to the handle's object, then the lock.  The reference is
 * dropped after the lock, so that a last reference (the handle closed
 * meanwhile by another thread) closes its object outside the lock.
 */
struct Session {
    std::shared_ptr<HandleObject> obj;
    State &st;
    std::unique_lock<std::mutex> lock;
    StoreHold hold; /* let go before `lock` */

    explicit Session(HANDLE h = nullptr)
        : obj((ensure_loaded(), handle_ref(h))), st(state()), lock(st.lock), hold(st)
    {
    }

    /* The handle's object when it belongs to the current state, else null. */
    HandleObject *live() const { return obj && obj->generation == st.generation ? obj.get() : nullptr; }
};

/* The printer of a PRINTER handle, or null (then the last error is set to ERROR_INVALID_HANDLE). */
Printer *printer_of(State &st, const HandleObject *h);

/*
 * The start of a call on a printer handle: counts the call against its
 * injected fault, finds the handle's printer and, when `need` is not 0,
 * checks that the handle has one of those access bits.  Null with the last
 * error set (the injected error, ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED)
 * when any step fails.  SpoolCall::Count counts nothing.
 */
Printer *enter_printer(Session &s, SpoolCall call, DWORD need = 0);

/* Lookups by name, ignoring case; null when absent. */
Printer *find_printer(State &st, std::u16string_view name);
Printer *find_printer_id(State &st, uint32_t id);
Driver *find_driver(State &st, std::u16string_view name);
Port *find_port(State &st, std::u16string_view name);

/* Name comparison ignoring case. */
bool same_name(std::u16string_view a, std::u16string_view b);
std::u16string fold(std::u16string_view s);

/* The key of a printer-data value in Printer::data. */
std::u16string data_slot(std::u16string_view key, std::u16string_view name);

/* The string at `p` (null -> empty). */
std::u16string wstr(LPCWSTR p);

/*
 * Saves the whole state to the machine folder (a new file of its own,
 * flushed and renamed over the old one).  Lock and StoreHold held.  Returns
 * ERROR_SUCCESS or the Windows error of the failed write (ERROR_DISK_FULL
 * while the simulated disk is full; the read's error while the store could
 * not be read, which is never written over).
 */
DWORD save(State &st);

/* The Windows error for an errno value of a failed write (ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_WRITE_FAULT). */
DWORD errno_error(int e);

/*
 * Loads the state of the machine whose root is `root` (lock held): a
 * damaged file is kept aside and gives an empty spooler; a file that cannot
 * be read gives an empty spooler that refuses every change (store_error).
 */
void load_state(State &st, const std::string &root);

/* Re-reads the store when its stamp changed since this process read or saved it (lock and file lock held). */
void refresh_state(State &st);

/* Reads a whole file into `out` without following a link; false when it cannot be opened or read. */
bool read_whole_file(const std::string &path, std::vector<BYTE> &out);

/* Removes a job with its files (lock held); the caller saves. */
void erase_job(State &st, DWORD id);

/* The real paths of a job's byte file and size file. */
std::string job_data_path(const State &st, DWORD id);
std::string job_sizes_path(const State &st, DWORD id);

/*
 * Ends the writing of a job (EndDocPrinter's work): closes its files, clears
 * JOB_STATUS_SPOOLING, copies its bytes to its output file, and removes it
 * when it was deleted meanwhile.  Lock held; the caller saves.
 */
void finish_job(State &st, DWORD id);

/*
 * Counts one call of `call` against its armed fault (lock held).  True when
 * this call is to fail; *error receives the error.  SpoolCall::Count names
 * no call and never fails.
 */
bool injected(State &st, SpoolCall call, DWORD *error);

/* The 118 built-in forms, in paper-code order. */
struct BuiltinForm {
    const char16_t *name;
    LONG cx, cy;
};
extern const BuiltinForm kBuiltinForms[];
extern const size_t kBuiltinFormCount;

/* Puts the built-in local ports at the head of an empty port list. */
void seed_local_ports(State &st);

/* Mounts the driver directory on the machine folder (lock not needed). */
void mount_driver_dir();

/*
 * Lays fixed records and the strings they point to into a caller's buffer:
 * records first, then strings and blobs in the order they are added.  Run a
 * filler once with a measuring packer (no buffer) to learn the size, then
 * once with a filling packer over the caller's buffer.
 */
class Packer {
public:
    Packer(BYTE *buf, size_t records) : buf_(buf), used_(records) {}
    bool filling() const { return buf_ != nullptr; }
    size_t used() const { return used_; }

    /* Adds a string with its terminator; returns where it lies (null while measuring). */
    LPWSTR str(std::u16string_view s)
    {
        size_t at = used_;
        used_ += (s.size() + 1) * sizeof(WCHAR);
        if (!buf_)
            return nullptr;
        std::memcpy(buf_ + at, s.data(), s.size() * sizeof(WCHAR));
        std::memset(buf_ + at + s.size() * sizeof(WCHAR), 0, sizeof(WCHAR));
        return reinterpret_cast<LPWSTR>(buf_ + at);
    }

    /* A string, or null when it is empty. */
    LPWSTR str_or_null(std::u16string_view s) { return s.empty() ? nullptr : str(s); }

    /* A list of strings, each with its terminator, ended by one more zero. */
    LPWSTR multi_sz(const std::vector<std::u16string> &list)
    {
        size_t at = used_;
        LPWSTR first = nullptr;
        for (const auto &s : list) {
            LPWSTR p = str(s);
            if (!first)
                first = p;
        }
        used_ += sizeof(WCHAR);
        if (!buf_)
            return nullptr;
        std::memset(buf_ + used_ - sizeof(WCHAR), 0, sizeof(WCHAR));
        return reinterpret_cast<LPWSTR>(buf_ + at);
    }

    /* A byte block aligned to 8 bytes from the buffer's start; null for an empty one. */
    BYTE *blob(const std::vector<BYTE> &bytes)
    {
        if (bytes.empty())
            return nullptr;
        size_t pad = (8 - used_ % 8) % 8;
        if (buf_ && pad)
            std::memset(buf_ + used_, 0, pad);
        used_ += pad;
        size_t at = used_;
        used_ += bytes.size();
        if (!buf_)
            return nullptr;
        std::memcpy(buf_ + at, bytes.data(), bytes.size());
        return buf_ + at;
    }

    /* Writes record `index` (of type T) at the buffer's start. */
    template <typename T>
    void record(size_t index, const T &rec)
    {
        if (buf_)
            std::memcpy(buf_ + index * sizeof(T), &rec, sizeof(T));
    }

private:
    BYTE *buf_;
    size_t used_;
};

/*
 * The two-call protocol of the Get and Enum functions: measures with `fill`,
 * answers ERROR_INSUFFICIENT_BUFFER and the size when `cb` is short, else
 * fills `out` (a null `out` with a count is ERROR_INVALID_PARAMETER; an
 * answer of 0 bytes succeeds without a buffer).  `fill` is called as
 * fill(Packer &).
 */
template <typename Fill>
BOOL pack_answer(LPBYTE out, DWORD cb, LPDWORD pcbNeeded, size_t records, Fill &&fill, DWORD *error)
{
    Packer measure(nullptr, records);
    fill(measure);
    if (measure.used() > 0xFFFFFFFFu) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
        return FALSE;
    }
    *pcbNeeded = DWORD(measure.used());
    if (cb < measure.used()) {
        *error = ERROR_INSUFFICIENT_BUFFER;
        return FALSE;
    }
    if (measure.used() == 0)
        return TRUE; /* nothing to list */
    if (!out) {
        *error = ERROR_INVALID_PARAMETER;
        return FALSE;
    }
    std::memset(out, 0, records);
    Packer put(out, records);
    fill(put);
    return TRUE;
}

/* SetLastError(error) and FALSE, the common failure of the BOOL functions. */
BOOL fail(DWORD error);

} // namespace plat::spool

#endif /* PLAT_SPOOL_PRIVATE_H */
