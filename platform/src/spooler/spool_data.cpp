/*
 * Printer data: named values (a type and bytes) kept per printer under keys,
 * read, written and deleted through a printer handle.  GetPrinterDataW is
 * GetPrinterDataExW under the key "PrinterDriverData"; its names beginning
 * "LM_" are not stored values but questions for the language monitor, which
 * answers them through a hook.
 */
#include "spool_private.h"

#include <plat/error.h>

#include <optional>

namespace plat::spool {

namespace {

bool is_monitor_query(std::u16string_view key, LPCWSTR name)
{
    return same_name(key, kDataKey) && name[0] == u'L' && name[1] == u'M' && name[2] == u'_';
}

} // namespace

} // namespace plat::spool

using namespace plat;
using namespace plat::spool;

DWORD GetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData,
                        DWORD nSize, LPDWORD pcbNeeded)
{
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::GetPrinterData);
    if (!p)
        return GetLastError();
    if (!pKeyName || !pValueName || !pcbNeeded)
        return ERROR_INVALID_PARAMETER;

    if (is_monitor_query(wstr(pKeyName), pValueName)) {
        SpoolPortDataHook hook = s.st.port_data_hook;
        std::u16string printer = p->name, port = p->port;
        s.lock.unlock(); /* the monitor may call back into the spooler */
        if (!hook)
            return ERROR_FILE_NOT_FOUND;
        DWORD type = REG_NONE;
        DWORD result = hook(printer, port, pValueName, pType ? pType : &type, nSize ? pData : nullptr, nSize,
                            pcbNeeded);
        return result;
    }

    auto it = p->data.find(data_slot(wstr(pKeyName), wstr(pValueName)));
    if (it == p->data.end())
        return ERROR_FILE_NOT_FOUND;
    const DataValue &v = it->second;
    if (pType)
        *pType = v.type;
    *pcbNeeded = DWORD(v.bytes.size());
    if (nSize < v.bytes.size())
        return ERROR_MORE_DATA;
    if (!v.bytes.empty()) {
        if (!pData)
            return ERROR_INVALID_PARAMETER;
        std::memcpy(pData, v.bytes.data(), v.bytes.size());
    }
    return ERROR_SUCCESS;
}

DWORD GetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, LPDWORD pType, LPBYTE pData, DWORD nSize,
                      LPDWORD pcbNeeded)
{
    return GetPrinterDataExW(hPrinter, kDataKey, pValueName, pType, pData, nSize, pcbNeeded);
}

DWORD SetPrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName, DWORD Type, const BYTE *pData,
                        DWORD cbData)
{
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::SetPrinterData, PRINTER_ACCESS_ADMINISTER);
    if (!p)
        return GetLastError();
    if (!pKeyName || !*pKeyName || !pValueName || (cbData && !pData) || cbData > kMaxValueBytes)
        return ERROR_INVALID_PARAMETER;

    std::u16string slot = data_slot(wstr(pKeyName), wstr(pValueName));
    auto it = p->data.find(slot);
    std::optional<DataValue> before;
    if (it != p->data.end())
        before = it->second;
    DataValue &v = p->data[slot];
    if (!before) {
        v.key = wstr(pKeyName);
        v.name = wstr(pValueName);
    }
    v.type = Type;
    if (cbData)
        v.bytes.assign(pData, pData + cbData);
    else
        v.bytes.clear();
    DWORD err = save(s.st);
    if (err) {
        if (before)
            p->data[slot] = std::move(*before);
        else
            p->data.erase(slot);
    }
    return err;
}

DWORD SetPrinterDataW(HANDLE hPrinter, LPCWSTR pValueName, DWORD Type, const BYTE *pData, DWORD cbData)
{
    return SetPrinterDataExW(hPrinter, kDataKey, pValueName, Type, pData, cbData);
}

DWORD DeletePrinterDataExW(HANDLE hPrinter, LPCWSTR pKeyName, LPCWSTR pValueName)
{
    Session s(hPrinter);
    Printer *p = enter_printer(s, SpoolCall::DeletePrinterData, PRINTER_ACCESS_ADMINISTER);
    if (!p)
        return GetLastError();
    if (!pKeyName || !pValueName)
        return ERROR_INVALID_PARAMETER;
    auto it = p->data.find(data_slot(wstr(pKeyName), wstr(pValueName)));
    if (it == p->data.end())
        return ERROR_FILE_NOT_FOUND;
    auto node = p->data.extract(it);
    DWORD err = save(s.st);
    if (err)
        p->data.insert(std::move(node));
    return err;
}

DWORD DeletePrinterDataW(HANDLE hPrinter, LPCWSTR pValueName)
{
    return DeletePrinterDataExW(hPrinter, kDataKey, pValueName);
}
