/*
 * The job records of the document events (see doc_events.h): one per
 * printer handle with a device context, in a list under one lock.  The lock
 * lives as long as the library, so that the first and last records can be
 * made and freed on different threads at the same moment.
 */
#include "doc_events.h"

#include <tarvel/base/res_module.h>

#include <plat/loader.h>
#include <plat/memory.h>

#include <cstring>
#include <mutex>

namespace {

struct JobList {
    std::mutex lock;
    DocJobRecord *head = nullptr;
    size_t count = 0;
};

JobList &jobs()
{
    static JobList list; /* lives as long as the library is mapped */
    return list;
}

/* A load of this library of its own (null when its path cannot be had). */
HMODULE load_self()
{
    WCHAR path[DOC_NAME_CHARS] = {};
    HMODULE self = RES_GetOwnModule();
    if (!self)
        return nullptr;
    DWORD n = GetModuleFileNameW(self, path, DOC_NAME_CHARS);
    if (n == 0 || n >= DWORD(DOC_NAME_CHARS))
        return nullptr;
    return LoadLibraryW(path);
}

} // namespace

DocJobRecord *DOC_CreateJob(HANDLE printer)
{
    auto *job = static_cast<DocJobRecord *>(GlobalAlloc(GPTR, sizeof(DocJobRecord)));
    if (!job)
        return nullptr;
    job->printer = printer;
    DOC_ResetJob(job);
    /* Loaded outside the list's lock: a load runs library entries. */
    job->moduleRef = load_self();
    JobList &list = jobs();
    std::lock_guard<std::mutex> g(list.lock);
    job->next = list.head;
    list.head = job;
    list.count++;
    return job;
}

DocJobRecord *DOC_FindJob(HANDLE printer)
{
    JobList &list = jobs();
    std::lock_guard<std::mutex> g(list.lock);
    for (DocJobRecord *job = list.head; job; job = job->next)
        if (job->printer == printer)
            return job;
    return nullptr;
}

int DOC_DeleteJob(HANDLE printer)
{
    DocJobRecord *found = nullptr;
    {
        JobList &list = jobs();
        std::lock_guard<std::mutex> g(list.lock);
        for (DocJobRecord **link = &list.head; *link; link = &(*link)->next) {
            if ((*link)->printer == printer) {
                found = *link;
                *link = found->next;
                list.count--;
                break;
            }
        }
    }
    if (!found)
        return 1;
    DOC_FreeJobData(found);
    HMODULE self = found->moduleRef;
    GlobalFree(found);
    if (self)
        FreeLibrary(self); /* last: it may be the reference that keeps this code loaded */
    return 1;
}

int DOC_ResetJob(DocJobRecord *job)
{
    if (!job)
        return 1;
    job->documentStarted = 0;
    job->copySetMode = 0;
    job->warningShown = 0;
    job->documentName[0] = 0;
    job->userName[0] = 0;
    std::memset(job->annotation, 0, sizeof(DWORD)); /* the annotation's flag word */
    job->jobHeaders = nullptr;
    job->copySetDataSize = 0;
    job->copySetData = nullptr;
    std::memset(job->extState, 0, sizeof job->extState);
    std::memset(job->jobIdentity, 0, sizeof job->jobIdentity);
    return 1;
}

int DOC_FreeJobData(DocJobRecord *job)
{
    if (!job)
        return 1;
    GlobalFree(job->jobHeaders);
    GlobalFree(job->copySetRegistrations);
    GlobalFree(job->copySetData);
    job->jobHeaders = nullptr;
    job->copySetRegistrations = nullptr;
    job->copySetData = nullptr;
    job->copySetDataSize = 0;
    return 1;
}

size_t DOC_JobCount()
{
    JobList &list = jobs();
    std::lock_guard<std::mutex> g(list.lock);
    return list.count;
}
