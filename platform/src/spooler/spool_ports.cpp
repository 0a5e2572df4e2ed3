/*
 * Ports: the list of the machine's ports (EnumPortsW), the port status the
 * language monitor publishes (SetPortW level 3), and a port monitor's
 * configuration channel (XcvDataW on a ",XcvPort" handle), which answers
 * the port's device address.
 */
#include "spool_private.h"

using namespace plat;
using namespace plat::spool;

BOOL EnumPortsW(LPCWSTR pName, DWORD Level, LPBYTE pPort, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    if (pcReturned)
        *pcReturned = 0;
    if (!pcbNeeded || !pcReturned)
        return fail(ERROR_INVALID_PARAMETER);
    if (pName && *pName)
        return fail(ERROR_INVALID_NAME);
    size_t rec = Level == 1 ? sizeof(PORT_INFO_1W) : Level == 2 ? sizeof(PORT_INFO_2W) : 0;
    if (rec == 0)
        return fail(ERROR_INVALID_LEVEL);
    Session s;
    const std::vector<Port> &ports = s.st.ports;
    auto fill = [&](Packer &pk) {
        for (size_t i = 0; i < ports.size(); i++) {
            if (Level == 1) {
                pk.record(i, PORT_INFO_1W{pk.str(ports[i].name)});
                continue;
            }
            PORT_INFO_2W r{};
            r.pPortName = pk.str(ports[i].name);
            r.pMonitorName = pk.str(ports[i].monitor);
            r.pDescription = pk.str(ports[i].description);
            r.fPortType = ports[i].type;
            pk.record(i, r);
        }
    };
    DWORD err;
    if (!pack_answer(pPort, cbBuf, pcbNeeded, rec * ports.size(), fill, &err))
        return fail(err);
    *pcReturned = DWORD(ports.size());
    return TRUE;
}

BOOL SetPortW(LPCWSTR pName, LPCWSTR pPortName, DWORD dwLevel, const BYTE *pPortInfo)
{
    if (pName && *pName)
        return fail(ERROR_INVALID_NAME);
    if (dwLevel != 3)
        return fail(ERROR_INVALID_LEVEL);
    if (!pPortName || !pPortInfo)
        return fail(ERROR_INVALID_PARAMETER);
    Session s;
    Port *port = find_port(s.st, wstr(pPortName));
    if (!port)
        return fail(ERROR_UNKNOWN_PORT);
    PORT_INFO_3W info = load<PORT_INFO_3W>(pPortInfo);
    port->status = info.dwStatus;
    port->severity = info.dwStatus ? info.dwSeverity : 0;
    return TRUE;
}

BOOL XcvDataW(HANDLE hXcv, LPCWSTR pszDataName, const BYTE *pInputData, DWORD cbInputData, LPBYTE pOutputData,
              DWORD cbOutputData, LPDWORD pcbOutputNeeded, LPDWORD pdwStatus)
{
    (void)pInputData;
    (void)cbInputData;
    Session s(hXcv);
    HandleObject *h = s.live();
    if (!h || h->kind != HandleObject::XCV)
        return fail(ERROR_INVALID_HANDLE);
    if (!pszDataName || !pcbOutputNeeded || !pdwStatus)
        return fail(ERROR_INVALID_PARAMETER);
    *pcbOutputNeeded = 0;
    Port *port = find_port(s.st, h->port);
    if (!port) {
        *pdwStatus = ERROR_UNKNOWN_PORT;
        return TRUE;
    }
    if (!same_name(wstr(pszDataName), u"IPAddress")) {
        *pdwStatus = ERROR_INVALID_PARAMETER;
        return TRUE;
    }
    if (port->address.empty()) {
        *pdwStatus = ERROR_NOT_SUPPORTED;
        return TRUE;
    }
    DWORD need = DWORD((port->address.size() + 1) * sizeof(WCHAR));
    *pcbOutputNeeded = need;
    if (!pOutputData || cbOutputData < need) {
        *pdwStatus = ERROR_INSUFFICIENT_BUFFER;
        return TRUE;
    }
    std::memcpy(pOutputData, port->address.c_str(), need);
    *pdwStatus = ERROR_SUCCESS;
    return TRUE;
}
