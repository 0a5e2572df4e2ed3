/*
 * The words of the Windows errors the host's calls report (see host_errors.h).
 */
#include "host_errors.h"

#include <plat/spooler.h>

namespace host {

namespace {

struct Words {
    DWORD error;
    const char *text;
};

constexpr Words kWords[] = {
    {ERROR_INVALID_FUNCTION, "the call is not valid here"},
    {ERROR_FILE_NOT_FOUND, "the file cannot be found"},
    {ERROR_PATH_NOT_FOUND, "the path cannot be found"},
    {ERROR_TOO_MANY_OPEN_FILES, "too many files are open"},
    {ERROR_ACCESS_DENIED, "access is denied"},
    {ERROR_INVALID_HANDLE, "the handle is not valid"},
    {ERROR_NOT_ENOUGH_MEMORY, "not enough memory"},
    {ERROR_INVALID_DATA, "the data is invalid"},
    {ERROR_OUTOFMEMORY, "not enough memory"},
    {ERROR_WRITE_FAULT, "a write failed"},
    {ERROR_READ_FAULT, "a read failed"},
    {ERROR_SHARING_VIOLATION, "the file is in use"},
    {ERROR_NOT_SUPPORTED, "the request is not supported"},
    {ERROR_FILE_EXISTS, "the file exists"},
    {ERROR_INVALID_PARAMETER, "a parameter is not valid"},
    {ERROR_DISK_FULL, "the disk is full"},
    {ERROR_CALL_NOT_IMPLEMENTED, "the driver does not do this yet"},
    {ERROR_INSUFFICIENT_BUFFER, "a buffer is too small"},
    {ERROR_INVALID_NAME, "the name is not valid"},
    {ERROR_MOD_NOT_FOUND, "a module cannot be found"},
    {ERROR_PROC_NOT_FOUND, "a module lacks an entry point"},
    {ERROR_ALREADY_EXISTS, "it exists already"},
    {ERROR_CANCELLED, "the operation was cancelled"},
    {ERROR_NOT_FOUND, "it cannot be found"},
    {ERROR_INVALID_PRINTER_NAME, "there is no such printer"},
    {ERROR_PRINTER_ALREADY_EXISTS, "the printer exists already"},
    {ERROR_UNKNOWN_PRINTER_DRIVER, "the printer driver is unknown"},
    {ERROR_INVALID_FORM_NAME, "the form name is not valid"},
};

} // namespace

std::string host_error_text(DWORD error)
{
    const std::string number = "error " + std::to_string(error);
    for (const Words &w : kWords)
        if (w.error == error)
            return std::string(w.text) + " (" + number + ")";
    return number;
}

} // namespace host
