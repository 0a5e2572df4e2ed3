/*
 * The copy-set option of `tarvel print` (see host_print_copysets.h): the
 * data file checked as the driver will check it, but with a message for
 * each fault; the copy-set settings (sheet data with the form-name kind,
 * one spool job per data set, the data file's name) in the devmode; the
 * data handed over with the copy-set escape; the later sets' spool jobs
 * written beside the first.
 */
#include "host_print_copysets.h"
#include "host_print.h"
#include "host_read_file.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/fax_layout.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/file_replace.h>
#include <plat/gdi.h>
#include <plat/machine.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <algorithm>
#include <filesystem>

namespace host {
namespace {

enum : WORD {
    S_DATA_FILE = 375,
    S_SHEET_DATA = 376,
    S_SHEET_KIND = 377,
    S_SAME_FOR_ALL = 379,
    S_DATA_SETS = 380,
    S_NO_PAGES = 381,
};

/* Characters setting 375 holds, its terminator aside. */
constexpr size_t kPathMax = 128;

/* The Windows folder the data file's folder is seen as when the machine does not hold it. */
constexpr char16_t kMountFolder[] = u"C:\\Tarvel copy sets";

constexpr DWORD kLargest = FAX_HEADER_SIZE + FAX_ENTRY_SIZE * FAX_MAX_ENTRIES;

} // namespace

bool host_copysets_option(const std::string &option) { return option == "--copy-sets"; }

bool host_copysets_load(CopySetsRequest &r, std::string &error)
{
    if (r.file.empty())
        return true;
    const std::string what = "the copy-set data file '" + r.file + "'";
    size_t size = 0;
    if (!host_check_input(r.file, size_t(1) << 30, "1 GiB", size, error)) {
        error = what + " cannot be read: " + error;
        return false;
    }
    if (size < FAX_HEADER_SIZE || size > kLargest) {
        error = what + " holds " + std::to_string(size) + " bytes; a send list holds " +
                std::to_string(FAX_HEADER_SIZE) + " to " + std::to_string(kLargest);
        return false;
    }
    if (!host_read_file(r.file, kLargest, "the largest send list", r.data, error) || r.data.size() != size) {
        error = what + " cannot be read: " + error;
        return false;
    }
    static const char16_t kTag[8] = u"DFAX001";
    for (int i = 0; i < 8; i++)
        if (r.data[2 * i] != BYTE(kTag[i]) || r.data[2 * i + 1] != BYTE(kTag[i] >> 8)) {
            error = what + " is not a send list (no \"DFAX001\" tag)";
            return false;
        }
    const WORD count = WORD(r.data[FAX_OFF_COUNT] | r.data[FAX_OFF_COUNT + 1] << 8);
    if (count == 0 || count > FAX_MAX_ENTRIES) {
        error = what + " counts " + std::to_string(count) + " destinations; 1 to " +
                std::to_string(FAX_MAX_ENTRIES) + " are printed";
        return false;
    }
    const DWORD needed = FAX_HEADER_SIZE + FAX_ENTRY_SIZE * count;
    if (size != needed) {
        error = what + " counts " + std::to_string(count) + " destinations, which take " + std::to_string(needed) +
                " bytes; it holds " + std::to_string(size) + (size < needed ? " (cut short)" : "");
        return false;
    }
    r.sets = count;
    /* The driver reaches the file through the machine: below its folders, or through a folder mounted for it. */
    const std::filesystem::path real = std::filesystem::absolute(r.file);
    if (!plat::unmap_path(real.string(), r.winPath)) {
        plat::machine_mount(kMountFolder, real.parent_path().string());
        r.winPath = std::u16string(kMountFolder) + u"\\" + plat::utf8_to_utf16(real.filename().string());
    }
    if (r.winPath.size() > kPathMax) {
        error = what + " has a name of more than " + std::to_string(kPathMax) + " characters for the driver";
        return false;
    }
    return true;
}

bool host_copysets_apply(const CopySetsRequest &r, std::vector<BYTE> &dm, std::string &error)
{
    if (r.file.empty())
        return true;
    /* Every set its own job with its cover (the form-name kind: no file of the driver folder), the pages printed. */
    if (!host_set_number(dm, S_SHEET_DATA, 1, error) || !host_set_number(dm, S_SHEET_KIND, 1, error) ||
        !host_set_number(dm, S_SAME_FOR_ALL, 0, error) || !host_set_number(dm, S_DATA_SETS, r.sets, error) ||
        !host_set_number(dm, S_NO_PAGES, 0, error))
        return false;
    const WCHAR *p = r.winPath.c_str();
    if (DMB_SetValue(S_DATA_FILE, dm.data(), nullptr, SVT_WSTRING, LONG((r.winPath.size() + 1) * 2), &p) != DMA_OK) {
        error = "the copy-set data file's name cannot be written";
        return false;
    }
    return true;
}

bool host_copysets_send(HDC dc, const CopySetsRequest &r, std::string &error)
{
    if (r.file.empty())
        return true;
    DWORD mode = 0;
    if (ExtEscape(dc, ESC_QUERY_COPYSET_MODE, 0, nullptr, sizeof mode, reinterpret_cast<LPSTR>(&mode)) <= 0 ||
        mode != 1) {
        error = "the printer's model does not print copy sets (its jobs carry none)";
        return false;
    }
    if (ExtEscape(dc, ESC_SET_COPYSET_DATA, int(r.data.size()), reinterpret_cast<LPCSTR>(r.data.data()), 0,
                  nullptr) <= 0) {
        error = "the driver refused the copy-set data of '" + r.file + "'";
        return false;
    }
    return true;
}

bool host_copysets_write_jobs(const CopySetsRequest &r, const std::u16string &printer, unsigned long firstJob,
                              const std::string &output, std::vector<std::string> &files, std::string &error)
{
    if (r.file.empty())
        return true;
    std::vector<plat::SpoolJob> later;
    for (const plat::SpoolJob &j : plat::spool_jobs(printer))
        if (j.id > firstJob)
            later.push_back(j);
    std::sort(later.begin(), later.end(), [](const plat::SpoolJob &a, const plat::SpoolJob &b) { return a.id < b.id; });
    if (later.size() + 1 != r.sets) {
        error = "the driver made " + std::to_string(later.size() + 1) + " spool jobs for " + std::to_string(r.sets) +
                " data sets";
        return false;
    }
    const std::filesystem::path out(output);
    for (size_t i = 0; i < later.size(); i++) {
        std::vector<BYTE> bytes;
        if (!plat::spool_job_bytes(later[i].id, bytes)) {
            error = "the spooler job of data set " + std::to_string(i + 2) + " cannot be read";
            return false;
        }
        std::filesystem::path name = out;
        name.replace_filename(out.stem().string() + "-set" + std::to_string(i + 2) + out.extension().string());
        if (const int e = plat::file_replace(name.string(), bytes.data(), bytes.size())) {
            error = "cannot write '" + name.string() + "': " + plat::file_error_text(e) + "; the file is as it was";
            return false;
        }
        files.push_back(name.string());
    }
    return true;
}

} // namespace host
