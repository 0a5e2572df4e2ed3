/*
 * Property sheets: page records, the sheet frame (tab control or wizard
 * buttons, OK, Cancel, Apply, Help), lazy page creation, the notification
 * order of tab changes, OK, Apply, Cancel, Help and the wizard buttons, the
 * PSM_ messages pages send, and the modal run of PropertySheetW.
 *
 * A page's handle is a value from the handle table's counter (plat/handle.h),
 * never its record's address: a destroyed page's handle is refused even when
 * a later page's record takes the same memory.
 */
#include "controls_private.h"

#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/prsht.h>
#include <plat/resource.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>

struct plat_propsheetpage {
    std::vector<BYTE> copy; /* the caller's record, dwSize bytes (private bytes included) */
    PROPSHEETPAGEW &page() { return *reinterpret_cast<PROPSHEETPAGEW *>(copy.data()); }
};

namespace {

using namespace plat::ctl;

/* The live pages by handle. */
std::map<HPROPSHEETPAGE, std::unique_ptr<plat_propsheetpage>> &livePages()
{
    static auto *s = new std::map<HPROPSHEETPAGE, std::unique_ptr<plat_propsheetpage>>;
    return *s;
}

const bool registered = (plat::machine_on_reset([] { livePages().clear(); }), true);

/* The caller's record of live page `h`, or null for any other value. */
PROPSHEETPAGEW *pageOf(HPROPSHEETPAGE h)
{
    auto it = h ? livePages().find(h) : livePages().end();
    return it == livePages().end() ? nullptr : &it->second->page();
}

struct Sheet {
    HWND frame = nullptr;
    HWND tab = nullptr;
    bool wizard = false;
    std::vector<HPROPSHEETPAGE> pages;
    std::vector<HWND> windows;
    int current = -1;
    std::set<HWND> changed;
    bool closing = false;
    INT_PTR result = 0;
    RECT pageArea{};
    DWORD wizardButtons = PSWIZB_NEXT;
};

Sheet *sheetOf(HWND frame)
{
    return reinterpret_cast<Sheet *>(GetWindowLongPtrW(frame, DWLP_USER));
}

LRESULT notifyPage(Sheet &s, int index, UINT code, LPARAM lParam)
{
    HWND page = s.windows[size_t(index)];
    if (!page)
        return 0;
    PSHNOTIFY n{{s.frame, 0, code}, lParam};
    return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

bool loadPageTemplate(HPROPSHEETPAGE p, plat::DialogTemplate &t)
{
    PROPSHEETPAGEW *record = pageOf(p);
    if (!record)
        return false; /* destroyed while its sheet runs */
    PROPSHEETPAGEW &page = *record;
    if (page.dwFlags & PSP_DLGINDIRECT)
        return false; /* in-memory templates are not built */
    HRSRC found = FindResourceW(page.hInstance, page.pszTemplate, RT_DIALOG);
    const BYTE *bytes = found ? static_cast<const BYTE *>(LockResource(LoadResource(page.hInstance, found))) : nullptr;
    return bytes && plat::dialog_template_parse(
                        std::span<const BYTE>(bytes, SizeofResource(page.hInstance, found)), t);
}

HWND makePage(Sheet &s, int index)
{
    if (s.windows[size_t(index)])
        return s.windows[size_t(index)];
    HPROPSHEETPAGE p = s.pages[size_t(index)];
    PROPSHEETPAGEW *record = pageOf(p);
    if (!record)
        return nullptr; /* destroyed while its sheet runs */
    PROPSHEETPAGEW &page = *record;
    if ((page.dwFlags & PSP_USECALLBACK) && page.pfnCallback && !page.pfnCallback(nullptr, PSPCB_CREATE, &page))
        return nullptr;
    plat::DialogTemplate t;
    if (!loadPageTemplate(p, t)) {
        plat::window_trace("property sheet: the template of page " + std::to_string(index) + " cannot be loaded");
        return nullptr;
    }
    t.style = (t.style & ~(WS_POPUP | WS_VISIBLE | WS_CAPTION)) | WS_CHILD | DS_CONTROL;
    t.x = t.y = 0;
    HWND w = plat::dialog_create(t, page.hInstance, s.frame, page.pfnDlgProc, reinterpret_cast<LPARAM>(&page));
    if (!w)
        return nullptr;
    SetWindowPos(w, nullptr, s.pageArea.left, s.pageArea.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    s.windows[size_t(index)] = w;
    return w;
}

void updateButtons(Sheet &s)
{
    if (HWND apply = GetDlgItem(s.frame, IDC_PS_APPLYNOW))
        EnableWindow(apply, s.changed.empty() ? FALSE : TRUE);
    if (s.wizard) {
        EnableWindow(GetDlgItem(s.frame, IDC_PS_BACK), (s.wizardButtons & PSWIZB_BACK) ? TRUE : FALSE);
        const bool finish = (s.wizardButtons & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
        ShowWindow(GetDlgItem(s.frame, IDC_PS_NEXT), finish ? SW_HIDE : SW_SHOW);
        ShowWindow(GetDlgItem(s.frame, IDC_PS_FINISH), finish ? SW_SHOW : SW_HIDE);
        EnableWindow(GetDlgItem(s.frame, IDC_PS_NEXT), (s.wizardButtons & PSWIZB_NEXT) ? TRUE : FALSE);
        EnableWindow(GetDlgItem(s.frame, IDC_PS_FINISH), (s.wizardButtons & PSWIZB_FINISH) ? TRUE : FALSE);
    }
}

/* Makes `index` the current page; false when it cannot be made or refuses. */
bool activate(Sheet &s, int index)
{
    if (index < 0 || index >= int(s.pages.size()))
        return false;
    HWND w = makePage(s, index);
    if (!w || !IsWindow(s.frame))
        return false;
    const int previous = s.current;
    s.current = index;
    if (notifyPage(s, index, PSN_SETACTIVE, 0) == -1) {
        s.current = previous;
        return false;
    }
    if (previous >= 0 && previous != index && s.windows[size_t(previous)])
        ShowWindow(s.windows[size_t(previous)], SW_HIDE);
    ShowWindow(w, SW_SHOW);
    if (s.tab)
        SendMessageW(s.tab, TCM_SETCURSEL, WPARAM(index), 0);
    return true;
}

/* PSN_KILLACTIVE to the current page: true when it lets go. */
bool leaveCurrent(Sheet &s)
{
    return s.current < 0 || notifyPage(s, s.current, PSN_KILLACTIVE, 0) == 0;
}

void close(Sheet &s, INT_PTR result)
{
    s.closing = true;
    s.result = result;
    EndDialog(s.frame, result);
}

/* PSN_APPLY to every page made so far; false when one keeps the sheet open. */
bool applyAll(Sheet &s, bool ok)
{
    for (int i = 0; i < int(s.pages.size()); ++i) {
        if (!s.windows[size_t(i)])
            continue;
        const LRESULT r = notifyPage(s, i, PSN_APPLY, ok ? TRUE : FALSE);
        if (r == PSNRET_INVALID || r == PSNRET_INVALID_NOCHANGEPAGE) {
            if (r == PSNRET_INVALID && i != s.current)
                activate(s, i);
            return false;
        }
    }
    s.changed.clear();
    updateButtons(s);
    return true;
}

void pressOk(Sheet &s)
{
    if (!leaveCurrent(s))
        return;
    if (applyAll(s, true))
        close(s, 1);
}

void pressApply(Sheet &s)
{
    if (!leaveCurrent(s))
        return;
    applyAll(s, false);
}

void pressCancel(Sheet &s)
{
    if (s.current >= 0 && notifyPage(s, s.current, PSN_QUERYCANCEL, 0) != 0)
        return;
    for (int i = 0; i < int(s.pages.size()); ++i)
        if (s.windows[size_t(i)])
            notifyPage(s, i, PSN_RESET, 0);
    close(s, 0);
}

int pageIndexOfTemplate(Sheet &s, LRESULT templateId)
{
    for (int i = 0; i < int(s.pages.size()); ++i) {
        const PROPSHEETPAGEW *page = pageOf(s.pages[size_t(i)]);
        LPCWSTR t = page ? page->pszTemplate : nullptr;
        if (t && IS_INTRESOURCE(t) && LRESULT(reinterpret_cast<uintptr_t>(t)) == templateId)
            return i;
    }
    return -1;
}

void wizardMove(Sheet &s, int direction)
{
    if (s.current < 0)
        return;
    const LRESULT r = notifyPage(s, s.current, direction > 0 ? PSN_WIZNEXT : PSN_WIZBACK, 0);
    if (r == -1)
        return;
    int target = r ? pageIndexOfTemplate(s, r) : s.current + direction;
    /* A page that refuses activation (-1) is skipped in the same direction. */
    while (target >= 0 && target < int(s.pages.size()) && !activate(s, target))
        target += direction;
}

void pressFinish(Sheet &s)
{
    if (s.current >= 0 && notifyPage(s, s.current, PSN_WIZFINISH, 0) != 0)
        return;
    close(s, 1);
}

INT_PTR frameProc(HWND frame, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(frame, DWLP_USER, lp);
        return FALSE;
    }
    Sheet *s = sheetOf(frame);
    if (!s)
        return FALSE;
    auto answer = [&](LRESULT r) {
        SetWindowLongPtrW(frame, DWLP_MSGRESULT, r);
        return TRUE;
    };
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK: pressOk(*s); return TRUE;
        case IDCANCEL: pressCancel(*s); return TRUE;
        case IDC_PS_APPLYNOW: pressApply(*s); return TRUE;
        case IDHELP:
            if (s->current >= 0)
                notifyPage(*s, s->current, PSN_HELP, 0);
            return TRUE;
        case IDC_PS_BACK: wizardMove(*s, -1); return TRUE;
        case IDC_PS_NEXT: wizardMove(*s, 1); return TRUE;
        case IDC_PS_FINISH: pressFinish(*s); return TRUE;
        default: return FALSE;
        }
    case WM_NOTIFY: {
        const auto *hdr = reinterpret_cast<const NMHDR *>(lp);
        if (!hdr || hdr->hwndFrom != s->tab)
            return FALSE;
        if (hdr->code == TCN_SELCHANGING)
            return answer(leaveCurrent(*s) ? FALSE : TRUE);
        if (hdr->code == TCN_SELCHANGE) {
            const int index = int(SendMessageW(s->tab, TCM_GETCURSEL, 0, 0));
            if (!activate(*s, index))
                SendMessageW(s->tab, TCM_SETCURSEL, WPARAM(s->current), 0);
            return answer(0);
        }
        return FALSE;
    }
    case PSM_CHANGED:
        s->changed.insert(reinterpret_cast<HWND>(wp));
        updateButtons(*s);
        return answer(0);
    case PSM_UNCHANGED:
        s->changed.erase(reinterpret_cast<HWND>(wp));
        updateButtons(*s);
        return answer(0);
    case PSM_SETCURSEL: {
        int index = int(wp);
        if (lp)
            for (int i = 0; i < int(s->pages.size()); ++i)
                if (s->pages[size_t(i)] == reinterpret_cast<HPROPSHEETPAGE>(lp))
                    index = i;
        if (index == s->current)
            return answer(TRUE);
        return answer(leaveCurrent(*s) && activate(*s, index) ? TRUE : FALSE);
    }
    case PSM_SETCURSELID: {
        const int index = pageIndexOfTemplate(*s, lp);
        return answer(index >= 0 && leaveCurrent(*s) && activate(*s, index) ? TRUE : FALSE);
    }
    case PSM_GETCURRENTPAGEHWND:
        return answer(reinterpret_cast<LRESULT>(s->current >= 0 ? s->windows[size_t(s->current)] : nullptr));
    case PSM_GETTABCONTROL:
        return answer(reinterpret_cast<LRESULT>(s->tab));
    case PSM_INDEXTOHWND:
        return answer(wp < s->windows.size() ? reinterpret_cast<LRESULT>(s->windows[wp]) : 0);
    case PSM_HWNDTOINDEX: {
        auto it = std::find(s->windows.begin(), s->windows.end(), reinterpret_cast<HWND>(wp));
        return answer(it == s->windows.end() ? -1 : LRESULT(it - s->windows.begin()));
    }
    case PSM_SETWIZBUTTONS:
        s->wizardButtons = DWORD(lp);
        updateButtons(*s);
        return answer(0);
    case PSM_PRESSBUTTON: {
        static const int ids[] = {IDC_PS_BACK, IDC_PS_NEXT, IDC_PS_FINISH, IDOK, IDC_PS_APPLYNOW, IDCANCEL, IDHELP};
        if (wp < sizeof ids / sizeof ids[0])
            PostMessageW(frame, WM_COMMAND, MAKEWPARAM(ids[wp], BN_CLICKED), 0);
        return answer(0);
    }
    case PSM_QUERYSIBLINGS:
        for (HWND w : s->windows)
            if (w) {
                const LRESULT r = SendMessageW(w, PSM_QUERYSIBLINGS, wp, lp);
                if (r)
                    return answer(r);
            }
        return answer(0);
    case PSM_APPLY:
        pressApply(*s);
        return answer(TRUE);
    case PSM_CANCELTOCLOSE:
        SetDlgItemTextW(frame, IDCANCEL, u"Close");
        EnableWindow(GetDlgItem(frame, IDOK), FALSE);
        return answer(0);
    case PSM_SETTITLEW:
        SetWindowTextW(frame, reinterpret_cast<LPCWSTR>(lp));
        return answer(0);
    case PSM_REBOOTSYSTEM:
    case PSM_RESTARTWINDOWS:
        return answer(0);
    default:
        return FALSE;
    }
}

short pixelsToDluX(int px) { return short(px * 4 * 96 / (6 * plat::window_dpi())); }
short pixelsToDluY(int px) { return short(px * 8 * 96 / (13 * plat::window_dpi())); }

} // namespace

HPROPSHEETPAGE CreatePropertySheetPageW(const PROPSHEETPAGEW *page)
{
    (void)registered;
    if (!page || page->dwSize < PROPSHEETPAGEW_V1_SIZE || page->dwSize > 65536) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const HPROPSHEETPAGE h = reinterpret_cast<HPROPSHEETPAGE>(plat::handle_reserve());
    if (!h)
        return nullptr;
    auto p = std::make_unique<plat_propsheetpage>();
    p->copy.assign(reinterpret_cast<const BYTE *>(page), reinterpret_cast<const BYTE *>(page) + page->dwSize);
    if (p->copy.size() < sizeof(PROPSHEETPAGEW))
        p->copy.resize(sizeof(PROPSHEETPAGEW), 0);
    PROPSHEETPAGEW &copy = p->page();
    livePages().emplace(h, std::move(p));
    if ((copy.dwFlags & PSP_USECALLBACK) && copy.pfnCallback)
        copy.pfnCallback(nullptr, PSPCB_ADDREF, &copy);
    if ((copy.dwFlags & PSP_USEREFPARENT) && copy.pcRefParent)
        ++*copy.pcRefParent;
    return h;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page)
{
    PROPSHEETPAGEW *copy = pageOf(page);
    if (!copy) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    /* Out of the table first: a release callback that destroys the page again is refused. */
    std::unique_ptr<plat_propsheetpage> gone = std::move(livePages()[page]);
    livePages().erase(page);
    if ((copy->dwFlags & PSP_USECALLBACK) && copy->pfnCallback)
        copy->pfnCallback(nullptr, PSPCB_RELEASE, copy);
    if ((copy->dwFlags & PSP_USEREFPARENT) && copy->pcRefParent)
        --*copy->pcRefParent;
    return TRUE;
}

INT_PTR PropertySheetW(const PROPSHEETHEADERW *h)
{
    if (!h || h->dwSize < sizeof(PROPSHEETHEADERW) - sizeof(void *) || h->nPages == 0 || h->nPages > 100 ||
        (h->dwFlags & PSH_MODELESS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    Sheet s;
    s.wizard = (h->dwFlags & PSH_WIZARD) != 0;
    /* The sheet owns its pages: pages given as records are made here, and all are destroyed at the end. */
    for (UINT i = 0; i < h->nPages; ++i) {
        HPROPSHEETPAGE p = nullptr;
        if (h->dwFlags & PSH_PROPSHEETPAGE) {
            const BYTE *base = reinterpret_cast<const BYTE *>(h->ppsp);
            size_t offset = 0;
            for (UINT k = 0; k < i; ++k)
                offset += reinterpret_cast<const PROPSHEETPAGEW *>(base + offset)->dwSize;
            p = CreatePropertySheetPageW(reinterpret_cast<const PROPSHEETPAGEW *>(base + offset));
        } else {
            p = h->phpage[i];
        }
        if (!pageOf(p)) {
            for (HPROPSHEETPAGE q : s.pages)
                DestroyPropertySheetPage(q);
            SetLastError(ERROR_INVALID_PARAMETER);
            return -1;
        }
        s.pages.push_back(p);
    }
    s.windows.assign(s.pages.size(), nullptr);
    /* The frame fits the largest page. */
    int pageCx = 0, pageCy = 0;
    for (HPROPSHEETPAGE p : s.pages) {
        plat::DialogTemplate t;
        if (loadPageTemplate(p, t)) {
            RECT r{0, 0, t.cx, t.cy};
            r.right = r.right * 6 * plat::window_dpi() / (4 * 96);
            r.bottom = r.bottom * 13 * plat::window_dpi() / (8 * 96);
            pageCx = std::max<int>(pageCx, r.right);
            pageCy = std::max<int>(pageCy, r.bottom);
        }
    }
    const int margin = plat::window_dpi() * 7 / 96;
    const int tabTop = s.wizard ? 0 : plat::window_dpi() * 21 / 96 + 4;
    const int buttonCx = plat::window_dpi() * 75 / 96;
    const int buttonCy = plat::window_dpi() * 23 / 96;
    const int frameCx = pageCx + 2 * margin + (s.wizard ? 0 : 4);
    const int frameCy = pageCy + tabTop + 3 * margin + buttonCy + (s.wizard ? 0 : 4);
    s.pageArea = RECT{margin + (s.wizard ? 0 : 2), margin + tabTop + (s.wizard ? 0 : 2), 0, 0};

    plat::DialogTemplate frame;
    frame.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    frame.cx = pixelsToDluX(frameCx);
    frame.cy = pixelsToDluY(frameCy);
    frame.fontPoints = 8;
    frame.fontFace = u"MS Shell Dlg";
    frame.caption = h->pszCaption && !IS_INTRESOURCE(h->pszCaption) ? std::u16string(h->pszCaption) : u"";
    if ((h->dwFlags & PSH_PROPTITLE) && !frame.caption.empty())
        frame.caption = u"Properties for " + frame.caption;
    HWND owner = h->hwndParent;
    HWND f = plat::dialog_create(frame, h->hInstance, owner, frameProc, reinterpret_cast<LPARAM>(&s));
    if (!f) {
        for (HPROPSHEETPAGE q : s.pages)
            DestroyPropertySheetPage(q);
        return -1;
    }
    s.frame = f;
    SetWindowPos(f, nullptr, 0, 0, frameCx, frameCy, SWP_NOMOVE | SWP_NOZORDER);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(f, WM_GETFONT, 0, 0));
    auto button = [&](int id, const char16_t *text, int slot, bool visible) {
        const int x = frameCx - margin - (slot + 1) * buttonCx - slot * 6;
        HWND b = CreateWindowExW(0, WC_BUTTONW, text, WS_CHILD | WS_TABSTOP | (visible ? WS_VISIBLE : 0u),
                                 x, frameCy - margin - buttonCy, buttonCx, buttonCy, f,
                                 reinterpret_cast<HMENU>(uintptr_t(id)), nullptr, nullptr);
        SendMessageW(b, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
    };
    if (s.wizard) {
        button(IDHELP, u"Help", 0, (h->dwFlags & PSH_HASHELP) != 0);
        button(IDCANCEL, u"Cancel", (h->dwFlags & PSH_HASHELP) ? 1 : 0, true);
        const int base = (h->dwFlags & PSH_HASHELP) ? 2 : 1;
        button(IDC_PS_FINISH, u"Finish", base, false);
        button(IDC_PS_NEXT, u"&Next >", base, true);
        button(IDC_PS_BACK, u"< &Back", base + 1, true);
    } else {
        const bool apply = !(h->dwFlags & PSH_NOAPPLYNOW);
        int slot = 0;
        if (h->dwFlags & PSH_HASHELP)
            button(IDHELP, u"Help", slot++, true);
        if (apply)
            button(IDC_PS_APPLYNOW, u"&Apply", slot++, true);
        button(IDCANCEL, u"Cancel", slot++, true);
        button(IDOK, u"OK", slot, true);
        s.tab = CreateWindowExW(0, WC_TABCONTROLW, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, margin, margin,
                                frameCx - 2 * margin, pageCy + tabTop + 4, f,
                                reinterpret_cast<HMENU>(uintptr_t(IDC_PS_TABCONTROL)), nullptr, nullptr);
        SendMessageW(s.tab, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        for (int i = 0; i < int(s.pages.size()); ++i) {
            const PROPSHEETPAGEW *record = pageOf(s.pages[size_t(i)]);
            const PROPSHEETPAGEW page = record ? *record : PROPSHEETPAGEW{};
            std::u16string title;
            if ((page.dwFlags & PSP_USETITLE) && page.pszTitle) {
                if (IS_INTRESOURCE(page.pszTitle)) {
                    WCHAR buf[256];
                    const int n = LoadStringW(page.hInstance, UINT(reinterpret_cast<uintptr_t>(page.pszTitle)), buf, 256);
                    title.assign(buf, size_t(std::max(n, 0)));
                } else {
                    title = page.pszTitle;
                }
            } else {
                plat::DialogTemplate t;
                if (loadPageTemplate(s.pages[size_t(i)], t))
                    title = t.caption;
            }
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = title.data();
            SendMessageW(s.tab, TCM_INSERTITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        }
    }
    updateButtons(s);
    int start = 0;
    if (h->dwFlags & PSH_USEPSTARTPAGE) {
        start = -1;
    } else if (h->nStartPage < h->nPages) {
        start = int(h->nStartPage);
    }
    if (start < 0 || !activate(s, start))
        activate(s, 0);
    plat::ModalInfo info;
    info.kind = plat::ModalKind::Sheet;
    info.window = f;
    info.caption = frame.caption;
    const INT_PTR result = plat::modal_run(f, info);
    for (HPROPSHEETPAGE q : s.pages)
        DestroyPropertySheetPage(q);
    return result < 0 ? (s.closing ? s.result : -1) : result;
}

namespace plat {

size_t propsheet_page_count() { return livePages().size(); }

HWND propsheet_current_page(HWND frame)
{
    Sheet *s = IsWindow(frame) ? sheetOf(frame) : nullptr;
    return s && s->current >= 0 ? s->windows[size_t(s->current)] : nullptr;
}

HWND propsheet_page_window(HWND frame, int index)
{
    Sheet *s = IsWindow(frame) ? sheetOf(frame) : nullptr;
    return s && index >= 0 && index < int(s->windows.size()) ? s->windows[size_t(index)] : nullptr;
}

int propsheet_page_total(HWND frame)
{
    Sheet *s = IsWindow(frame) ? sheetOf(frame) : nullptr;
    return s ? int(s->pages.size()) : 0;
}

int propsheet_current_index(HWND frame)
{
    Sheet *s = IsWindow(frame) ? sheetOf(frame) : nullptr;
    return s ? s->current : -1;
}

} // namespace plat
