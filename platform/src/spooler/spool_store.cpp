/*
 * The spooler's state file: writing the whole state atomically (a new file
 * renamed over the old one) and reading it back with every length and count
 * checked against the bytes that are there.
 *
 * File: "TVSPOOL1" (8 bytes), format version (u32, 1), body length (u32),
 * body, CRC-32 of the body (u32).  All numbers little-endian.  Strings are a
 * u32 count of UTF-16 code units followed by the units; byte blocks a u32
 * count followed by the bytes.  The body holds, in order: the next job id;
 * the drivers; the added ports; the printers with their devmodes and printer
 * data; the user forms; the jobs (their bytes are in files of their own).
 * Each list is a u32 count followed by its entries.
 */
#include "spool_private.h"

#include <plat/fault.h>
#include <plat/text.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

namespace plat::spool {

namespace {

constexpr char kMagic[8] = {'T', 'V', 'S', 'P', 'O', 'O', 'L', '1'};
constexpr uint32_t kVersion = 1;

/* The standard CRC-32 (reflected, polynomial 0xEDB88320). */
uint32_t crc32(const BYTE *p, size_t n)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++)
        c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

class Writer {
public:
    std::vector<BYTE> out;
    void u32(uint32_t v)
    {
        for (int i = 0; i < 4; i++)
            out.push_back(BYTE(v >> (8 * i)));
    }
    void u64(uint64_t v)
    {
        u32(uint32_t(v));
        u32(uint32_t(v >> 32));
    }
    void str(const std::u16string &s)
    {
        u32(uint32_t(s.size()));
        for (char16_t c : s) {
            out.push_back(BYTE(c));
            out.push_back(BYTE(c >> 8));
        }
    }
    void bytes(const std::vector<BYTE> &b)
    {
        u32(uint32_t(b.size()));
        out.insert(out.end(), b.begin(), b.end());
    }
};

/* Reads the body; the first short read or bad value sets `why` and every later read answers 0. */
class Reader {
public:
    Reader(const BYTE *p, size_t n) : p_(p), n_(n) {}
    const char *why = nullptr;
    bool ok() const { return why == nullptr; }
    bool at_end() const { return pos_ == n_; }
    void bad(const char *reason)
    {
        if (!why)
            why = reason;
    }

    uint32_t u32()
    {
        if (!ok() || n_ - pos_ < 4) {
            bad("truncated");
            return 0;
        }
        uint32_t v = 0;
        for (int i = 0; i < 4; i++)
            v |= uint32_t(p_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return v;
    }
    uint64_t u64()
    {
        uint64_t lo = u32();
        return lo | uint64_t(u32()) << 32;
    }
    std::u16string str()
    {
        uint32_t count = u32();
        if (!ok() || (n_ - pos_) / 2 < count) {
            bad("string runs past the end");
            return std::u16string();
        }
        std::u16string s(count, u'\0');
        for (uint32_t i = 0; i < count; i++)
            s[i] = char16_t(p_[pos_ + 2 * i] | (p_[pos_ + 2 * i + 1] << 8));
        pos_ += size_t(count) * 2;
        return s;
    }
    std::vector<BYTE> bytes()
    {
        uint32_t count = u32();
        if (!ok() || n_ - pos_ < count) {
            bad("byte block runs past the end");
            return std::vector<BYTE>();
        }
        std::vector<BYTE> b(p_ + pos_, p_ + pos_ + count);
        pos_ += count;
        return b;
    }
    /* A list count: each entry takes at least `min_entry` bytes, so a count beyond what is left is damage. */
    uint32_t count(size_t min_entry)
    {
        uint32_t c = u32();
        if (ok() && (n_ - pos_) / min_entry < c) {
            bad("list longer than the file");
            return 0;
        }
        return c;
    }

private:
    const BYTE *p_;
    size_t n_;
    size_t pos_ = 0;
};

void put_systemtime(Writer &w, const SYSTEMTIME &t)
{
    const WORD f[8] = {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    for (int i = 0; i < 8; i += 2)
        w.u32(uint32_t(f[i]) | uint32_t(f[i + 1]) << 16);
}

SYSTEMTIME get_systemtime(Reader &r)
{
    WORD f[8];
    for (int i = 0; i < 8; i += 2) {
        uint32_t v = r.u32();
        f[i] = WORD(v);
        f[i + 1] = WORD(v >> 16);
    }
    return SYSTEMTIME{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}

std::vector<BYTE> serialize(const State &st)
{
    Writer w;
    w.u32(st.next_job_id);
    w.u32(uint32_t(st.drivers.size()));
    for (const auto &d : st.drivers) {
        w.str(d.name);
        w.u32(d.version);
        w.str(d.driver_file);
        w.str(d.data_file);
        w.str(d.config_file);
        w.str(d.help_file);
        w.u32(uint32_t(d.dependent_files.size()));
        for (const auto &f : d.dependent_files)
            w.str(f);
        w.str(d.monitor_name);
        w.str(d.default_data_type);
    }
    uint32_t added = 0;
    for (const auto &p : st.ports)
        added += p.builtin ? 0 : 1;
    w.u32(added);
    for (const auto &p : st.ports) {
        if (p.builtin)
            continue;
        w.str(p.name);
        w.str(p.monitor);
        w.str(p.description);
        w.str(p.address);
        w.u32(p.type);
    }
    w.u32(uint32_t(st.printers.size()));
    for (const auto &p : st.printers) {
        for (const auto *s : {&p.name, &p.share_name, &p.port, &p.driver, &p.comment, &p.location, &p.sep_file,
                              &p.print_processor, &p.data_type, &p.parameters})
            w.str(*s);
        for (DWORD v : {p.attributes, p.priority, p.default_priority, p.start_time, p.until_time, p.status,
                        p.user_rights})
            w.u32(v);
        w.bytes(p.devmode);
        w.u32(uint32_t(p.data.size()));
        for (const auto &[slot, v] : p.data) {
            w.str(v.key);
            w.str(v.name);
            w.u32(v.type);
            w.bytes(v.bytes);
        }
    }
    w.u32(uint32_t(st.forms.size()));
    for (const auto &f : st.forms) {
        w.str(f.name);
        w.u32(f.flags);
        for (LONG v : {f.cx, f.cy, f.area.left, f.area.top, f.area.right, f.area.bottom})
            w.u32(uint32_t(v));
    }
    w.u32(uint32_t(st.jobs.size()));
    for (const auto &[id, j] : st.jobs) {
        w.u32(j.id);
        for (const auto *s : {&j.printer, &j.document, &j.owner, &j.machine, &j.data_type, &j.output_file})
            w.str(*s);
        w.u32(j.status);
        w.u32(j.pages);
        w.u64(j.bytes);
        put_systemtime(w, j.submitted);
    }
    return std::move(w.out);
}

/* Parses a body into `st` (already emptied).  False with r.why on damage. */
bool parse(Reader &r, State &st)
{
    st.next_job_id = r.u32();
    uint32_t n = r.count(4 * 9);
    for (uint32_t i = 0; i < n && r.ok(); i++) {
        Driver d;
        d.name = r.str();
        d.version = r.u32();
        d.driver_file = r.str();
        d.data_file = r.str();
        d.config_file = r.str();
        d.help_file = r.str();
        uint32_t deps = r.count(4);
        for (uint32_t k = 0; k < deps && r.ok(); k++)
            d.dependent_files.push_back(r.str());
        d.monitor_name = r.str();
        d.default_data_type = r.str();
        if (d.name.empty() || find_driver(st, d.name))
            r.bad("driver without a name, or twice");
        st.drivers.push_back(std::move(d));
    }
    n = r.count(4 * 5);
    for (uint32_t i = 0; i < n && r.ok(); i++) {
        Port p;
        p.name = r.str();
        p.monitor = r.str();
        p.description = r.str();
        p.address = r.str();
        p.type = r.u32();
        if (p.name.empty() || find_port(st, p.name))
            r.bad("port without a name, or twice");
        st.ports.push_back(std::move(p));
    }
    n = r.count(4 * 19);
    for (uint32_t i = 0; i < n && r.ok(); i++) {
        Printer p;
        p.id = st.next_printer_id++;
        for (auto *s : {&p.name, &p.share_name, &p.port, &p.driver, &p.comment, &p.location, &p.sep_file,
                        &p.print_processor, &p.data_type, &p.parameters})
            *s = r.str();
        for (DWORD *v : {&p.attributes, &p.priority, &p.default_priority, &p.start_time, &p.until_time, &p.status,
                         &p.user_rights})
            *v = r.u32();
        p.devmode = r.bytes();
        /* A devmode is kept whole: dmSize + dmDriverExtra bytes, so that readers of it stay inside it. */
        if (!p.devmode.empty() &&
            (p.devmode.size() < kMinDevmode || p.devmode.size() != devmode_size(p.devmode.data())))
            r.bad("devmode of a wrong size");
        uint32_t values = r.count(4 * 4);
        for (uint32_t k = 0; k < values && r.ok(); k++) {
            DataValue v;
            v.key = r.str();
            v.name = r.str();
            v.type = r.u32();
            v.bytes = r.bytes();
            if (v.bytes.size() > kMaxValueBytes || !p.data.emplace(data_slot(v.key, v.name), v).second)
                r.bad("printer-data value too large, or twice");
        }
        if (p.name.empty() || find_printer(st, p.name))
            r.bad("printer without a name, or twice");
        st.printers.push_back(std::move(p));
    }
    n = r.count(4 * 8);
    for (uint32_t i = 0; i < n && r.ok(); i++) {
        Form f;
        f.name = r.str();
        f.flags = r.u32();
        LONG *v[6] = {&f.cx, &f.cy, &f.area.left, &f.area.top, &f.area.right, &f.area.bottom};
        for (LONG *x : v)
            *x = LONG(r.u32());
        bool dup = false;
        for (const auto &g : st.forms)
            dup = dup || same_name(g.name, f.name);
        for (size_t k = 0; k < kBuiltinFormCount; k++)
            dup = dup || same_name(kBuiltinForms[k].name, f.name);
        if (f.name.empty() || f.name.size() > kMaxFormName || dup || (f.flags & FORM_BUILTIN))
            r.bad("bad user form");
        st.forms.push_back(std::move(f));
    }
    n = r.count(4 * 15);
    DWORD top = 0;
    for (uint32_t i = 0; i < n && r.ok(); i++) {
        Job j;
        j.id = r.u32();
        for (auto *s : {&j.printer, &j.document, &j.owner, &j.machine, &j.data_type, &j.output_file})
            *s = r.str();
        j.status = r.u32();
        j.pages = r.u32();
        j.bytes = r.u64();
        j.submitted = get_systemtime(r);
        if (j.id == 0 || st.jobs.count(j.id))
            r.bad("job id 0, or twice");
        top = std::max(top, j.id);
        st.jobs.emplace(j.id, std::move(j));
    }
    if (r.ok() && !r.at_end())
        r.bad("bytes after the last list");
    if (st.next_job_id <= top)
        st.next_job_id = top + 1;
    if (st.next_job_id == 0)
        st.next_job_id = 1;
    return r.ok();
}

} // namespace

DWORD errno_error(int e) { return storefile::error_of_errno(e); }

namespace {

/* Forgets the loaded lists (lock held): files of open jobs closed, settings kept. */
void clear(State &st)
{
    st.drivers.clear();
    st.ports.clear();
    st.printers.clear();
    st.forms.clear();
    st.jobs.clear(); /* closes any job file still open */
    st.next_printer_id = 1;
    st.next_job_id = 1;
    seed_local_ports(st);
}

/* The highest job number among the job files in the folder (0 when none). */
DWORD highest_job_file(const State &st)
{
    DWORD top = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(st.folder + "/jobs", ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        size_t dot = name.find('.');
        char *stop = nullptr;
        unsigned long v = std::strtoul(name.c_str(), &stop, 10);
        if (dot != 0 && stop == name.c_str() + dot && v <= 0xFFFFFFFFul)
            top = std::max(top, DWORD(v));
    }
    return top;
}

/*
 * True when the job's writer is gone: a writer holds a lock on the job's
 * byte file for as long as it writes, so a file nobody locks belongs to a
 * writer that died.
 */
bool writer_gone(const State &st, DWORD id)
{
    int fd = ::open(job_data_path(st, id).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return true;
    Fd f(fd);
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0)
        return errno != EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    return true;
}

enum class Read { Missing, Loaded, Damaged, Unreadable };

/*
 * Reads the store file into `into` (empty on entry).  Damaged: `why` says
 * why; Unreadable: *err holds the errno value.
 */
Read read_store(const std::string &path, State &into, std::string &why, int *err)
{
    std::vector<BYTE> file;
    *err = storefile::read_file(path, file);
    if (*err == ENOENT)
        return Read::Missing;
    if (*err)
        return Read::Unreadable;
    const char *reason = nullptr;
    if (file.size() < 20 || std::memcmp(file.data(), kMagic, 8) != 0)
        reason = "not a spooler state file";
    else if (load_u32(file.data(), 8) != kVersion)
        reason = "unknown format version";
    else if (load_u32(file.data(), 12) != file.size() - 20)
        reason = "wrong length";
    else if (crc32(file.data() + 16, file.size() - 20) != load_u32(file.data(), file.size() - 4))
        reason = "checksum mismatch";
    if (!reason) {
        Reader r(file.data() + 16, file.size() - 20);
        if (!parse(r, into))
            reason = r.why;
    }
    if (!reason)
        return Read::Loaded;
    why = reason;
    return Read::Damaged;
}

/*
 * Reads the store into `st` (lock and file lock held), keeping what only
 * this process holds: the jobs it is writing and the numbers its printer
 * handles refer to.  A damaged file is kept aside and reported; a file that
 * cannot be read leaves the state as it was and refuses every save.
 */
void reload(State &st)
{
    std::string path = st.folder + "/spooler.dat";
    if (st.file_lock.held())
        storefile::remove_stale_temporaries(path); /* left by a process killed in a save */
    State fresh;
    fresh.folder = st.folder;
    seed_local_ports(fresh);
    std::string why;
    int err = 0;
    Read result = read_store(path, fresh, why, &err);
    if (result == Read::Unreadable) {
        if (st.store_error == 0)
            std::fprintf(stderr, "tarvel spooler: %s cannot be read (%s); the spooler makes no changes\n",
                         path.c_str(), std::strerror(err));
        st.store_error = storefile::read_error_of_errno(err);
        return;
    }
    st.store_error = 0;
    if (result == Read::Damaged) {
        std::string kept = storefile::keep_aside(path);
        std::fprintf(stderr, "tarvel spooler: %s is damaged (%s); starting with an empty spooler%s%s\n",
                     path.c_str(), why.c_str(), kept.empty() ? "" : ", the file is kept as ", kept.c_str());
        fresh.drivers.clear();
        fresh.ports.clear();
        fresh.printers.clear();
        fresh.forms.clear();
        fresh.jobs.clear();
        seed_local_ports(fresh);
        fresh.next_job_id = 1;
    }
    /* A store lost or new: job numbers start above every job file there is, so that none is reused. */
    if (result != Read::Loaded) {
        DWORD files_top = highest_job_file(st);
        if (fresh.next_job_id <= files_top)
            fresh.next_job_id = files_top + 1;
    }

    for (auto &p : fresh.printers) {
        const Printer *old = find_printer(st, p.name);
        p.id = old ? old->id : st.next_printer_id++;
    }
    for (auto &p : fresh.ports)
        if (const Port *old = find_port(st, p.name)) {
            p.status = old->status;
            p.severity = old->severity;
        }
    for (auto &[id, job] : fresh.jobs) {
        if (!(job.status & JOB_STATUS_SPOOLING))
            continue;
        auto own = st.jobs.find(id);
        if (own != st.jobs.end() && own->second.open)
            continue;
        if (writer_gone(st, id)) /* stays as far as it got, marked in error */
            job.status = (job.status & ~JOB_STATUS_SPOOLING) | JOB_STATUS_ERROR;
    }
    for (auto &[id, job] : fresh.jobs) {
        struct stat sb;
        job.bytes = ::lstat(job_data_path(st, id).c_str(), &sb) == 0 ? uint64_t(sb.st_size) : 0;
    }
    for (auto &[id, job] : st.jobs)
        if (job.open)
            fresh.jobs.insert_or_assign(id, std::move(job));

    st.drivers = std::move(fresh.drivers);
    st.ports = std::move(fresh.ports);
    st.printers = std::move(fresh.printers);
    st.forms = std::move(fresh.forms);
    st.jobs = std::move(fresh.jobs);
    st.next_job_id = std::max(fresh.next_job_id, DWORD(1));
}

} // namespace

bool read_whole_file(const std::string &path, std::vector<BYTE> &out)
{
    return storefile::read_file(path, out) == 0;
}

std::string job_data_path(const State &st, DWORD id) { return st.folder + "/jobs/" + std::to_string(id) + ".spl"; }

std::string job_sizes_path(const State &st, DWORD id)
{
    return st.folder + "/jobs/" + std::to_string(id) + ".sizes";
}

DWORD save(State &st)
{
    if (st.store_error)
        return st.store_error;
    if (st.lock_error)
        return st.lock_error; /* unlocked, a save could write over another process's change */
    if (fault_disk_is_full())
        return ERROR_DISK_FULL;
    std::vector<BYTE> body = serialize(st);
    Writer w;
    w.out.assign(kMagic, kMagic + sizeof kMagic);
    w.u32(kVersion);
    w.u32(uint32_t(body.size()));
    w.out.insert(w.out.end(), body.begin(), body.end());
    w.u32(crc32(body.data(), body.size()));

    if (int e = storefile::make_folders(st.folder))
        return errno_error(e);
    /* The stamp changes before the file does: a process that sees the old stamp has the old file. */
    uint64_t stamp = st.file_lock.held() ? st.file_lock.write_new_stamp() : 0;
    int e = storefile::write_atomically(st.folder + "/spooler.dat", w.out.data(), w.out.size());
    st.stamp = stamp;
    return errno_error(e);
}

void load_state(State &st, const std::string &root)
{
    clear(st);
    st.generation++;
    st.folder = root + "/spooler";
    st.file_lock.set_path(st.folder + "/spooler.lock");
    st.store_error = 0;
    st.lock_error = 0;
    st.stamp = 0;
    storefile::LockHold hold(st.file_lock);
    if (!hold.ok()) {
        std::fprintf(stderr, "tarvel spooler: the lock file %s cannot be taken (%s); the spooler makes no changes\n",
                     st.file_lock.path().c_str(), st.file_lock.why_not().c_str());
        st.lock_error = ERROR_ACCESS_DENIED;
    }
    refresh_state(st);
}

void refresh_state(State &st)
{
    uint64_t now = st.file_lock.read_stamp();
    if (now == st.stamp && now != 0 && st.store_error == 0)
        return;
    reload(st);
    /* A store saved before stamps existed gets one, so that it is not re-read at every change. */
    st.stamp = now != 0 ? now : st.file_lock.write_new_stamp();
}

StoreHold::StoreHold(State &st) : st_(st), held_(st.file_lock.lock())
{
    if (held_) {
        st_.lock_error = 0;
        refresh_state(st_);
        return;
    }
    /* No change is made unlocked: it could undo another process's, so every save is refused until the lock is back. */
    if (st_.lock_error == 0)
        std::fprintf(stderr, "tarvel spooler: the lock file %s cannot be taken (%s); the spooler makes no changes\n",
                     st_.file_lock.path().c_str(), st_.file_lock.why_not().c_str());
    st_.lock_error = ERROR_ACCESS_DENIED;
}

StoreHold::~StoreHold()
{
    if (held_)
        st_.file_lock.unlock();
}

} // namespace plat::spool
