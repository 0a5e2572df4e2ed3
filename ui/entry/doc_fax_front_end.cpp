/*
 * The fax front end at start of document (see doc_fax_front_end.h): the
 * work folder and its registry value, the fax data file check, the call of
 * the front end and the hand-over file.
 */
#include "doc_events.h"
#include "doc_fax_front_end.h"
#include "ui_setting_text.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/res_text.h>
#include <tarvel/base/util_system.h>
#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/file.h>
#include <plat/handle.h>
#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/resource.h>
#include <plat/text.h>
#include <plat/window.h>
#include <plat/window_min.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

enum : WORD {
    S_JOB_TYPE = 334,     /* 5: sent as a fax */
    S_FAX_DATA_FILE = 375,
    S_HANDOVER_FILE = 1799,
    S_FAX_FUNCTION = 4125,
    S_FAX_MODE = 4113,
    S_DROP_TWO_LINES = 8201,
};
constexpr ULONGLONG kJobIsFax = 5;
constexpr int kFaxModeOn = 2;
constexpr int kPathChars = DOC_NAME_CHARS;
constexpr int kKeyChars = 129;
constexpr LONG kHandOverNameBytes = 522;

std::mutex g_testNameLock;
std::u16string g_testName;

/* Creates every folder of `path` ("C:\a\b\c"): true when the whole path exists afterwards. */
bool createFolders(const std::u16string &path)
{
    for (size_t at = path.find(u'\\', 3); ; at = path.find(u'\\', at + 1)) {
        const std::u16string part = path.substr(0, at);
        CreateDirectoryW(part.c_str(), nullptr);
        if (at == std::u16string::npos)
            break;
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

/* The fax data file named by the job: 1 when it opens (unshared) and is not empty, else -1. */
int checkFaxDataFile(const std::u16string &name)
{
    HANDLE f = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return -1;
    const DWORD size = GetFileSize(f, nullptr);
    CloseHandle(f);
    return size != INVALID_FILE_SIZE && size > 0 ? 1 : -1;
}

/* Takes the first two lines (each ended by a line feed) off the text; as many as there are. */
void dropTwoLines(std::vector<BYTE> &buffer)
{
    size_t start = 0;
    for (int line = 0; line < 2; line++) {
        const void *lf = std::memchr(buffer.data() + start, '\n', buffer.size() - start);
        if (!lf)
            break;
        start = size_t(static_cast<const BYTE *>(lf) - buffer.data()) + 1;
    }
    std::memmove(buffer.data(), buffer.data() + start, buffer.size() - start);
    std::memset(buffer.data() + buffer.size() - start, 0, start);
}

/* Writes the buffer into a new hand-over file and names it in setting 1799: 1, or -1. */
int handOver(DocJobRecord *job, const std::vector<BYTE> &buffer)
{
    WCHAR name[MAX_PATH] = {};
    if (!UTL_MakeTempFileName(name, u"QZF"))
        return -1;
    LPCWSTR text = name;
    if (DMB_SetValue(S_HANDOVER_FILE, job->settings, job->printerData, SVT_WSTRING,
                     LONG(2 * plat::wlen(name) + 2) < kHandOverNameBytes ? LONG(2 * plat::wlen(name) + 2)
                                                                         : kHandOverNameBytes,
                     &text) != 0)
        return -1;
    HANDLE f = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return -1; /* the renderer would find the name and no file: the job cannot go on */
    DWORD written = 0;
    const BOOL ok = WriteFile(f, buffer.data(), DWORD(buffer.size()), &written, nullptr) && written == buffer.size();
    CloseHandle(f);
    return ok ? 1 : -1;
}

/* Steps 6 to 8: the fax data file, or the front end. */
int runFrontEnd(DocJobRecord *job, ModelContext *context, HWND owner, int mode)
{
    const std::u16string dataFile = UI_SettingText(job->settings, job->printerData, S_FAX_DATA_FILE);
    if (!dataFile.empty())
        return checkFaxDataFile(dataFile);
    WCHAR directory[MAX_PATH] = {};
    WCHAR file[kPathChars] = {};
    if (!RES_GetDriverDirectory(directory, sizeof directory) || !DOC_GetFaxFrontEndName(context, file))
        return 1;
    const std::u16string path = std::u16string(directory) + file;
    HMODULE library = LoadLibraryW(path.c_str());
    if (!library)
        return 1;
    auto start = plat::proc_cast<DocStartDocFaxFn>(GetProcAddress(library, "StartDocFax"));
    if (!start) {
        FreeLibrary(library);
        return 1;
    }
    std::vector<BYTE> buffer(DOC_FAX_BUFFER_BYTES, 0);
    LoadStringW(RES_GetResourceModule(), DOC_ID_FAX_KEY, reinterpret_cast<LPWSTR>(buffer.data()),
                int(DOC_FAX_BUFFER_BYTES / sizeof(WCHAR)));
    int result = -1;
    if (start(RES_GetResourceModule(), owner, buffer.data(), mode)) {
        buffer.back() = 0; /* the text always ends within the buffer */
        if (DOC_GetNumber(job->settings, job->printerData, S_DROP_TWO_LINES))
            dropTwoLines(buffer);
        result = handOver(job, buffer);
    }
    FreeLibrary(library);
    return result;
}

} // namespace

int DOC_GetFaxFrontEndName(ModelContext *context, LPWSTR name)
{
    if (!name)
        return 0;
    name[0] = 0;
    {
        std::lock_guard<std::mutex> g(g_testNameLock);
        if (!g_testName.empty()) {
            std::memcpy(name, g_testName.c_str(), (g_testName.size() + 1) * sizeof(WCHAR));
            return 1;
        }
    }
    LPWSTR text = nullptr;
    if (!context || DDD_GetModelText(context->main, DOC_FAX_FRONT_END_TEXT, &text) != 0 || !text)
        return 0;
    const size_t n = plat::wlen(text);
    const int ok = n > 0 && n < size_t(kPathChars);
    if (ok)
        std::memcpy(name, text, (n + 1) * sizeof(WCHAR));
    DDD_FreeRecord(&text, 0);
    return ok;
}

void DOC_SetFaxFrontEndForTest(LPCWSTR name)
{
    std::lock_guard<std::mutex> g(g_testNameLock);
    g_testName = name ? name : u"";
}

int DOC_RunFaxFrontEnd(HDC dc, HANDLE printer, const DOCINFOW *, ModelContext *context)
{
    if (!dc)
        return -1;
    DocJobRecord *job = DOC_FindJob(printer);
    if (!job)
        return 1;
    if (DOC_GetNumber(job->settings, job->printerData, S_JOB_TYPE) != kJobIsFax ||
        !DOC_GetNumber(job->settings, job->printerData, S_FAX_FUNCTION))
        return 1;
    WCHAR folder[kPathChars] = {};
    if (!RES_GetCommonDocumentsPath(3, folder, kPathChars))
        return -1;
    createFolders(folder);
    WCHAR key[kKeyChars] = {};
    if (LoadStringW(RES_GetResourceModule(), DOC_ID_FAX_KEY, key, kKeyChars) > 0) {
        HKEY k = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) ==
            ERROR_SUCCESS) {
            RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(folder),
                           DWORD((plat::wlen(folder) + 1) * sizeof(WCHAR)));
            RegCloseKey(k);
        }
    }
    HWND active = GetActiveWindow();
    EnableWindow(active, FALSE);
    const int mode = DOC_GetNumber(job->settings, job->printerData, S_FAX_MODE) ? kFaxModeOn : 0;
    const int result = runFrontEnd(job, context, active, mode);
    EnableWindow(active, TRUE);
    return result;
}
