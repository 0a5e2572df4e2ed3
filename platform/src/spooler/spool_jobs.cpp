/*
 * The job side of the spooler: a job started on a printer handle
 * (StartDocPrinterW), its pages and bytes (WritePrinter appends to the job's
 * file in the machine folder and records the length asked of every call),
 * its end or abort, the job list (EnumJobsW, GetJobW), job commands
 * (SetJobW), and the host's view of the jobs and their bytes.
 */
#include "spool_private.h"

#include <plat/fault.h>
#include <plat/machine.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace plat::spool {

namespace {

/* The machine's name as job records give it (the computer name "TARVELPC"). */
constexpr char16_t kMachineName[] = u"\\\\TARVELPC";

SYSTEMTIME utc_now()
{
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    gmtime_r(&t, &tm);
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return SYSTEMTIME{WORD(tm.tm_year + 1900), WORD(tm.tm_mon + 1), WORD(tm.tm_wday), WORD(tm.tm_mday),
                      WORD(tm.tm_hour),        WORD(tm.tm_min),     WORD(tm.tm_sec),  WORD(ms)};
}

/* Writes all `n` bytes to `fd`; ERROR_SUCCESS or the error. */
DWORD write_all(int fd, const void *data, size_t n)
{
    const BYTE *p = static_cast<const BYTE *>(data);
    while (n > 0) {
        ssize_t k = ::write(fd, p, n);
        if (k < 0) {
            if (errno == EINTR)
                continue;
            return errno_error(errno);
        }
        p += k;
        n -= size_t(k);
    }
    return ERROR_SUCCESS;
}

/* Pending bytes a job gathers before they go to its files. */
constexpr size_t kPendingLimit = size_t(1) << 20;

bool keeps_printed_jobs(State &st, const Job &job)
{
    Printer *p = find_printer(st, job.printer);
    return p && (p->attributes & PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS);
}

/* Removes a job that is not being written, saving first so that a failed save loses nothing.  Lock held. */
DWORD remove_job(State &st, DWORD id)
{
    auto node = st.jobs.extract(id);
    if (node.empty())
        return ERROR_INVALID_PARAMETER;
    DWORD err = save(st);
    if (err) {
        st.jobs.insert(std::move(node));
        return err;
    }
    ::unlink(job_data_path(st, id).c_str());
    ::unlink(job_sizes_path(st, id).c_str());
    return ERROR_SUCCESS;
}

/* The open job of the handle's printer (counting `call`'s injected fault), or null with the last error set. */
Job *open_job(Session &s, SpoolCall call)
{
    if (!enter_printer(s, call))
        return nullptr;
    HandleObject *h = s.live();
    if (h->job == 0) {
        fail(ERROR_SPL_NO_STARTDOC);
        return nullptr;
    }
    auto it = s.st.jobs.find(h->job);
    if (it == s.st.jobs.end()) {
        fail(ERROR_PRINT_CANCELLED); /* removed with its printer, or purged */
        return nullptr;
    }
    return &it->second;
}

/* The jobs of a printer in queue order. */
std::vector<const Job *> queue_of(const State &st, const Printer &p)
{
    std::vector<const Job *> list;
    for (const auto &[id, job] : st.jobs)
        if (same_name(job.printer, p.name))
            list.push_back(&job);
    return list;
}

void pack_job(Packer &pk, size_t index, const Job &j, DWORD position)
{
    JOB_INFO_1W r{};
    r.JobId = j.id;
    r.pPrinterName = pk.str(j.printer);
    r.pMachineName = pk.str(j.machine);
    r.pUserName = pk.str(j.owner);
    r.pDocument = pk.str(j.document);
    r.pDatatype = pk.str(j.data_type);
    r.Status = j.status;
    r.Priority = DEF_PRIORITY;
    r.Position = position;
    r.TotalPages = j.pages;
    r.PagesPrinted = (j.status & JOB_STATUS_PRINTED) ? j.pages : 0;
    r.Submitted = j.submitted;
    pk.record(index, r);
}

SpoolJob host_view(const Job &j)
{
    SpoolJob v;
    v.id = j.id;
    v.printer = j.printer;
    v.document = j.document;
    v.owner = j.owner;
    v.machine = j.machine;
    v.data_type = j.data_type;
    v.output_file = j.output_file;
    v.status = j.status;
    v.pages = j.pages;
    v.bytes = j.bytes;
    return v;
}

} // namespace

DWORD flush_job(Job &j)
{
    DWORD err = ERROR_SUCCESS;
    if (!j.sizes_pending.empty() && j.sizes.fd >= 0)
        err = write_all(j.sizes.fd, j.sizes_pending.data(), j.sizes_pending.size());
    j.sizes_pending.clear();
    if (!err && !j.data_pending.empty() && j.data.fd >= 0) {
        err = write_all(j.data.fd, j.data_pending.data(), j.data_pending.size());
        if (err) {
            /* A write that stopped part way leaves nothing of itself behind. */
            if (::ftruncate(j.data.fd, off_t(j.bytes_in_file)) != 0)
                j.status |= JOB_STATUS_ERROR;
        } else {
            j.bytes_in_file += j.data_pending.size();
        }
    }
    if (err) {
        j.status |= JOB_STATUS_ERROR;
        j.bytes = j.bytes_in_file;
    }
    j.data_pending.clear();
    return err;
}

void erase_job(State &st, DWORD id)
{
    st.jobs.erase(id);
    ::unlink(job_data_path(st, id).c_str());
    ::unlink(job_sizes_path(st, id).c_str());
}

void finish_job(State &st, DWORD id)
{
    auto it = st.jobs.find(id);
    if (it == st.jobs.end())
        return;
    Job &j = it->second;
    flush_job(j);
    j.data.reset();
    j.sizes.reset();
    j.open = false;
    j.status &= ~JOB_STATUS_SPOOLING;
    if (j.status & JOB_STATUS_DELETING) {
        erase_job(st, id);
        return;
    }
    if (!j.output_file.empty()) {
        std::string target;
        std::error_code ec;
        if (!map_path(j.output_file, target) ||
            !std::filesystem::copy_file(job_data_path(st, id), target,
                                        std::filesystem::copy_options::overwrite_existing, ec))
            j.status |= JOB_STATUS_ERROR;
    }
    if ((j.status & JOB_STATUS_COMPLETE) && !keeps_printed_jobs(st, j))
        erase_job(st, id);
}

} // namespace plat::spool

using namespace plat;
using namespace plat::spool;

DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, const BYTE *pDocInfo)
{
    Session s(hPrinter);
    State &st = s.st;
    Printer *p = enter_printer(s, SpoolCall::StartDocPrinter, PRINTER_ACCESS_USE);
    if (!p)
        return 0;
    HandleObject *h = s.live();
    if (Level != 1)
        return fail(ERROR_INVALID_LEVEL);
    if (!pDocInfo || h->job != 0)
        return fail(ERROR_INVALID_PARAMETER);
    DOC_INFO_1W di = load<DOC_INFO_1W>(pDocInfo);
    std::u16string data_type = di.pDatatype ? wstr(di.pDatatype) : p->data_type;
    if (!same_name(data_type, u"RAW"))
        return fail(ERROR_INVALID_DATATYPE);

    if (st.store_error)
        return fail(st.store_error);
    /*
     * The number comes from the store as read under its lock; a number whose
     * job file exists (left by a store that was lost) is passed over, and the
     * files are created exclusively, never through a link.
     */
    std::error_code ec;
    std::filesystem::create_directories(st.folder + "/jobs", ec);
    /* The jobs folder and the spooler's own are real folders: a link planted there would put jobs outside. */
    for (const std::string &folder : {st.folder, st.folder + "/jobs"}) {
        struct stat sb;
        if (::lstat(folder.c_str(), &sb) != 0 || !S_ISDIR(sb.st_mode)) {
            std::fprintf(stderr, "tarvel spooler: %s %s; no job is written\n", folder.c_str(),
                         ::lstat(folder.c_str(), &sb) == 0 && S_ISLNK(sb.st_mode) ? "is a symbolic link"
                                                                                  : "is not a folder");
            return fail(ERROR_ACCESS_DENIED);
        }
    }
    DWORD id = st.next_job_id;
    Fd data, sizes;
    DWORD err = ERROR_SUCCESS;
    for (unsigned tries = 0; tries < 100000; tries++, id++) {
        if (id == 0 || st.jobs.count(id))
            continue;
        const int flags = O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC;
        data = Fd(::open(job_data_path(st, id).c_str(), flags, 0644));
        if (data.fd < 0 && errno == EEXIST)
            continue;
        if (data.fd >= 0)
            sizes = Fd(::open(job_sizes_path(st, id).c_str(), flags, 0644));
        if (data.fd >= 0 && sizes.fd >= 0)
            break;
        int e = errno;
        if (data.fd >= 0) {
            data.reset();
            ::unlink(job_data_path(st, id).c_str());
            if (e == EEXIST)
                continue; /* a size file left alone: this number is taken too */
        }
        err = errno_error(e);
        break;
    }
    if (err == ERROR_SUCCESS && sizes.fd < 0)
        err = ERROR_WRITE_FAULT;
    if (err != ERROR_SUCCESS)
        return fail(err);
    st.next_job_id = id + 1;
    /* Held while the job is written: a reader that can lock the file knows its writer is gone. */
    ::flock(data.fd, LOCK_EX | LOCK_NB);

    Job j;
    j.id = id;
    j.printer = p->name;
    j.document = wstr(di.pDocName);
    j.owner = st.user_name;
    j.machine = kMachineName;
    j.data_type = data_type;
    j.output_file = wstr(di.pOutputFile);
    j.status = JOB_STATUS_SPOOLING;
    j.submitted = utc_now();
    j.open = true;
    j.data = std::move(data);
    j.sizes = std::move(sizes);
    st.jobs.emplace(id, std::move(j));
    if ((err = save(st)) != ERROR_SUCCESS) {
        erase_job(st, id);
        return fail(err);
    }
    h->job = id;
    return id;
}

BOOL StartPagePrinter(HANDLE hPrinter)
{
    Session s(hPrinter);
    Job *j = open_job(s, SpoolCall::StartPagePrinter);
    if (!j)
        return FALSE;
    j->pages++;
    return TRUE;
}

BOOL EndPagePrinter(HANDLE hPrinter)
{
    Session s(hPrinter);
    return open_job(s, SpoolCall::EndPagePrinter) ? TRUE : FALSE;
}

BOOL WritePrinter(HANDLE hPrinter, LPCVOID pBuf, DWORD cbBuf, LPDWORD pcWritten)
{
    if (pcWritten)
        *pcWritten = 0;
    Session s(hPrinter);
    State &st = s.st;
    Job *j = open_job(s, SpoolCall::Count); /* the injected fault is counted below, once the call is recorded */
    if (!j)
        return FALSE;
    BYTE asked[4];
    store_u32(asked, 0, cbBuf);
    j->sizes_pending.insert(j->sizes_pending.end(), asked, asked + sizeof asked);
    if (j->sizes_pending.size() >= kPendingLimit) {
        if (DWORD err = flush_job(*j))
            return fail(err);
    }

    /* Both injected countdowns advance on every call, so arming one never shifts the other. */
    DWORD err;
    bool failing = injected(st, SpoolCall::WritePrinter, &err);
    bool shortened = st.short_write_at != 0 && --st.short_write_at == 0;
    if (failing)
        return fail(err);
    if (!pcWritten || (cbBuf && !pBuf))
        return fail(ERROR_INVALID_PARAMETER);
    if (j->status & JOB_STATUS_DELETING)
        return fail(ERROR_PRINT_CANCELLED);
    DWORD take = shortened && st.short_write_bytes < cbBuf ? st.short_write_bytes : cbBuf;
    if (take == 0) {
        *pcWritten = 0;
        return TRUE;
    }
    if (fault_disk_is_full())
        return fail(ERROR_DISK_FULL);
    const BYTE *from = static_cast<const BYTE *>(pBuf);
    j->data_pending.insert(j->data_pending.end(), from, from + take);
    if (j->data_pending.size() >= kPendingLimit && (err = flush_job(*j)) != ERROR_SUCCESS)
        return fail(err);
    j->bytes += take;
    *pcWritten = take;
    return TRUE;
}

BOOL EndDocPrinter(HANDLE hPrinter)
{
    Session s(hPrinter);
    if (!enter_printer(s, SpoolCall::EndDocPrinter))
        return FALSE;
    HandleObject *h = s.live();
    if (h->job == 0)
        return fail(ERROR_SPL_NO_STARTDOC);
    finish_job(s.st, h->job);
    h->job = 0;
    if (DWORD err = save(s.st))
        return fail(err);
    return TRUE;
}

BOOL AbortPrinter(HANDLE hPrinter)
{
    Session s(hPrinter);
    if (!enter_printer(s, SpoolCall::Count))
        return FALSE;
    HandleObject *h = s.live();
    if (h->job == 0)
        return fail(ERROR_SPL_NO_STARTDOC);
    erase_job(s.st, h->job);
    h->job = 0;
    if (DWORD err = save(s.st))
        return fail(err);
    return TRUE;
}

BOOL EnumJobsW(HANDLE hPrinter, DWORD FirstJob, DWORD NoJobs, DWORD Level, LPBYTE pJob, DWORD cbBuf,
               LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    if (pcReturned)
        *pcReturned = 0;
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::EnumJobs);
    if (!p)
        return FALSE;
    if (!pcbNeeded || !pcReturned)
        return fail(ERROR_INVALID_PARAMETER);
    if (Level != 1)
        return fail(ERROR_INVALID_LEVEL);
    std::vector<const Job *> queue = queue_of(s.st, *p);
    size_t first = std::min<size_t>(FirstJob, queue.size());
    size_t count = std::min<size_t>(NoJobs, queue.size() - first);
    auto fill = [&](Packer &pk) {
        for (size_t i = 0; i < count; i++)
            pack_job(pk, i, *queue[first + i], DWORD(first + i + 1));
    };
    DWORD err;
    if (!pack_answer(pJob, cbBuf, pcbNeeded, count * sizeof(JOB_INFO_1W), fill, &err))
        return fail(err);
    *pcReturned = DWORD(count);
    return TRUE;
}

BOOL GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded)
{
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::GetJob);
    if (!p)
        return FALSE;
    if (!pcbNeeded)
        return fail(ERROR_INVALID_PARAMETER);
    if (Level != 1)
        return fail(ERROR_INVALID_LEVEL);
    std::vector<const Job *> queue = queue_of(s.st, *p);
    for (size_t i = 0; i < queue.size(); i++) {
        if (queue[i]->id != JobId)
            continue;
        DWORD err;
        if (!pack_answer(pJob, cbBuf, pcbNeeded, sizeof(JOB_INFO_1W),
                         [&](Packer &pk) { pack_job(pk, 0, *queue[i], DWORD(i + 1)); }, &err))
            return fail(err);
        return TRUE;
    }
    return fail(ERROR_INVALID_PARAMETER);
}

BOOL SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, const BYTE *pJob, DWORD Command)
{
    (void)pJob; /* level 0 carries no record */
    Session s(hPrinter);
    State &st = s.st;
    Printer *p = enter_printer(s, SpoolCall::SetJob);
    if (!p)
        return FALSE;
    if (Level != 0)
        return fail(ERROR_INVALID_LEVEL);
    if (Command == JOB_CONTROL_LAST_PAGE_EJECTED || Command == JOB_CONTROL_CANCEL || Command == JOB_CONTROL_DELETE)
        ++st.releases[JobId];
    auto it = st.jobs.find(JobId);
    if (it == st.jobs.end() || !same_name(it->second.printer, p->name))
        return fail(ERROR_INVALID_PARAMETER);
    Job &j = it->second;
    DWORD before = j.status;
    bool remove = false;
    switch (Command) {
    case JOB_CONTROL_PAUSE:
        j.status |= JOB_STATUS_PAUSED;
        break;
    case JOB_CONTROL_RESUME:
        j.status &= ~JOB_STATUS_PAUSED;
        break;
    case JOB_CONTROL_RESTART:
        j.status |= JOB_STATUS_RESTART;
        break;
    case JOB_CONTROL_SENT_TO_PRINTER:
        j.status |= JOB_STATUS_PRINTED;
        break;
    case JOB_CONTROL_LAST_PAGE_EJECTED:
        j.status |= JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE;
        remove = !j.open && !keeps_printed_jobs(st, j);
        break;
    case JOB_CONTROL_CANCEL:
    case JOB_CONTROL_DELETE:
        j.status |= JOB_STATUS_DELETING;
        remove = !j.open;
        break;
    case JOB_CONTROL_RETAIN:
        j.status |= JOB_STATUS_RETAINED;
        break;
    case JOB_CONTROL_RELEASE:
        j.status &= ~JOB_STATUS_RETAINED;
        break;
    default:
        return fail(ERROR_INVALID_PARAMETER);
    }
    DWORD err = remove ? remove_job(st, JobId) : save(st);
    if (err) {
        auto again = st.jobs.find(JobId);
        if (again != st.jobs.end())
            again->second.status = before;
        return fail(err);
    }
    return TRUE;
}

namespace plat {

std::vector<SpoolJob> spool_jobs(std::u16string_view printer)
{
    Session s;
    std::vector<SpoolJob> list;
    for (const auto &[id, job] : s.st.jobs)
        if (printer.empty() || same_name(job.printer, printer))
            list.push_back(host_view(job));
    return list;
}

bool spool_job_bytes(DWORD job, std::vector<BYTE> &bytes)
{
    Session s;
    bytes.clear();
    auto it = s.st.jobs.find(job);
    if (it == s.st.jobs.end())
        return false;
    flush_job(it->second);
    read_whole_file(job_data_path(s.st, job), bytes);
    return true;
}

std::vector<DWORD> spool_write_sizes(DWORD job)
{
    Session s;
    std::vector<DWORD> sizes;
    std::vector<BYTE> raw;
    auto it = s.st.jobs.find(job);
    if (it == s.st.jobs.end())
        return sizes;
    flush_job(it->second);
    if (!read_whole_file(job_sizes_path(s.st, job), raw))
        return sizes;
    for (size_t i = 0; i + 4 <= raw.size(); i += 4)
        sizes.push_back(load_u32(raw.data(), i));
    return sizes;
}

std::string spool_job_path(DWORD job)
{
    Session s;
    auto it = s.st.jobs.find(job);
    if (it == s.st.jobs.end())
        return std::string();
    flush_job(it->second);
    return job_data_path(s.st, job);
}

unsigned spool_release_count(DWORD job)
{
    Session s;
    auto it = s.st.releases.find(job);
    return it == s.st.releases.end() ? 0 : it->second;
}

bool spool_delete_job(DWORD job)
{
    Session s;
    auto it = s.st.jobs.find(job);
    if (it == s.st.jobs.end())
        return false;
    if (it->second.open) {
        it->second.status |= JOB_STATUS_DELETING;
        save(s.st);
        return true;
    }
    return remove_job(s.st, job) == ERROR_SUCCESS;
}

} // namespace plat
