/*
 * The copy-set option of `tarvel print`: --copy-sets FILE prints a copy-set
 * job from the data file FILE (a fax send list: one destination per data
 * set) on a printer whose model's jobs carry copy sets.  Every data set is
 * a spool job of its own with its cover page before the document; the data
 * file is the job's, deleted by the driver once every set went out.
 */
#ifndef TARVEL_HOST_PRINT_COPYSETS_H
#define TARVEL_HOST_PRINT_COPYSETS_H

#include <plat/gdi.h>
#include <plat/types.h>

#include <string>
#include <vector>

namespace host {

struct CopySetsRequest {
    std::string file;        /* the data file; "" none */
    std::vector<BYTE> data;  /* its bytes, once checked */
    WORD sets = 0;           /* its destinations */
    std::u16string winPath;  /* the file as the driver names it */
};

/* True for --copy-sets. */
bool host_copysets_option(const std::string &option);

/*
 * Reads and checks the data file (its size, tag, count and length), and
 * makes it reachable for the driver.  False with a message that says what
 * is wrong with the file.
 */
bool host_copysets_load(CopySetsRequest &request, std::string &error);

/* Writes the copy-set settings of the request, the data file's name included, into the application's devmode. */
bool host_copysets_apply(const CopySetsRequest &request, std::vector<BYTE> &devmode, std::string &error);

/* After StartDoc: hands the data to the driver, which must print copy sets.  False with a message. */
bool host_copysets_send(HDC dc, const CopySetsRequest &request, std::string &error);

/*
 * After EndDoc: writes the spool jobs of the data sets after the first
 * (spooler jobs after `firstJob` on `printer`) into the output's siblings
 * "<stem>-set<N><extension>", N from 2.  Their names go into `files`.
 * False with a message.
 */
bool host_copysets_write_jobs(const CopySetsRequest &request, const std::u16string &printer, unsigned long firstJob,
                              const std::string &output, std::vector<std::string> &files, std::string &error);

} // namespace host

#endif /* TARVEL_HOST_PRINT_COPYSETS_H */
