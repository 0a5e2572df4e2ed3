/*
 * The common property sheet host: the callback's reasons in their order,
 * the host functions the pages call (adding pages, counting them, setting
 * the result), and one property sheet over the pages added.
 *
 * The host handle a callback gets (hComPropSheet) is a value from the handle
 * table's counter (plat/handle.h) that names the running host while its
 * CommonPropertySheetUIW call lasts; a callback that keeps it and calls the
 * host afterwards is refused instead of reaching a host record long gone.
 */
#include <plat/compstui.h>
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>

#include <algorithm>
#include <map>

namespace {

struct Host {
    PFNPROPSHEETUI callback = nullptr;
    PROPSHEETUI_INFO info{};
    std::vector<HPROPSHEETPAGE> pages;
};

std::vector<plat::CompstuiCall> &calls()
{
    static auto *c = new std::vector<plat::CompstuiCall>;
    return *c;
}

const bool registered = (plat::machine_on_reset([] { calls().clear(); }), true);

/* The running hosts by handle (the window system runs on one thread). */
std::map<HANDLE, Host *> &hosts()
{
    static auto *h = new std::map<HANDLE, Host *>;
    return *h;
}

/* A running host's entry in the table, for the length of its CommonPropertySheetUIW call. */
struct HostEntry {
    HANDLE handle;
    HostEntry(HANDLE h, Host *host) : handle(h) { hosts()[h] = host; }
    ~HostEntry() { hosts().erase(handle); }
    HostEntry(const HostEntry &) = delete;
    HostEntry &operator=(const HostEntry &) = delete;
};

LONG callReason(Host &h, WORD reason, LPARAM lParam)
{
    h.info.Reason = reason;
    const LONG r = h.callback(&h.info, lParam);
    calls().push_back(plat::CompstuiCall{true, reason, lParam, 0, r});
    return r;
}

LONG_PTR hostFunction(HANDLE handle, UINT function, LPARAM lParam1, LPARAM lParam2)
{
    auto found = handle ? hosts().find(handle) : hosts().end();
    Host *h = found == hosts().end() ? nullptr : found->second;
    LONG_PTR answer = 0;
    if (!h) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    switch (function) {
    case CPSFUNC_ADD_HPROPSHEETPAGE: {
        auto page = reinterpret_cast<HPROPSHEETPAGE>(lParam1);
        if (!page || h->pages.size() >= 100) {
            answer = 0;
            break;
        }
        h->pages.push_back(page);
        answer = lParam1; /* the page's handle at the host */
        break;
    }
    case CPSFUNC_GET_PAGECOUNT:
        answer = LONG_PTR(h->pages.size());
        break;
    case CPSFUNC_SET_RESULT: {
        SETRESULT_INFO sr{sizeof(SETRESULT_INFO), 0, reinterpret_cast<HANDLE>(lParam1), lParam2};
        answer = callReason(*h, PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&sr)) >= 0 ? 1 : -1;
        break;
    }
    default:
        plat::window_trace("compstui: host function " + std::to_string(function) + " is not built");
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        answer = -1;
        break;
    }
    calls().push_back(plat::CompstuiCall{false, function, lParam1, lParam2, answer});
    return answer;
}

} // namespace

LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI callback, LPARAM lParam, DWORD *pResult)
{
    (void)registered;
    if (!callback) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    HANDLE handle = plat::handle_reserve();
    if (!handle)
        return -1;
    Host h;
    const HostEntry entry(handle, &h);
    h.callback = callback;
    h.info.cbSize = sizeof(PROPSHEETUI_INFO);
    h.info.Version = PROPSHEETUI_INFO_VERSION;
    h.info.hComPropSheet = handle;
    h.info.pfnComPropSheet = hostFunction;
    h.info.lParamInit = lParam;
    if (callReason(h, PROPSHEETUI_REASON_INIT, lParam) <= 0 || h.pages.empty()) {
        callReason(h, PROPSHEETUI_REASON_DESTROY, 0);
        for (HPROPSHEETPAGE p : h.pages)
            DestroyPropertySheetPage(p);
        return -1;
    }
    PROPSHEETUI_INFO_HEADER header{};
    header.cbSize = sizeof header;
    header.hWndParent = owner;
    callReason(h, PROPSHEETUI_REASON_GET_INFO_HEADER, reinterpret_cast<LPARAM>(&header));
    PROPSHEETHEADERW sheet{};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = ((header.Flags & PSUIHDRF_NOAPPLYNOW) ? PSH_NOAPPLYNOW : 0u) |
                    ((header.Flags & PSUIHDRF_PROPTITLE) ? PSH_PROPTITLE : 0u);
    sheet.hwndParent = header.hWndParent ? header.hWndParent : owner;
    sheet.hInstance = header.hInst;
    sheet.pszCaption = header.pTitle;
    sheet.nPages = UINT(h.pages.size());
    sheet.phpage = h.pages.data();
    const INT_PTR shown = PropertySheetW(&sheet);
    callReason(h, PROPSHEETUI_REASON_DESTROY, 0);
    const LONG result = shown < 0 ? -1 : LONG(h.info.Result);
    if (pResult)
        *pResult = DWORD(result);
    return result;
}

namespace plat {

std::vector<CompstuiCall> compstui_log() { return calls(); }

} // namespace plat
