/*
 * The dialog manager: the dialog class and its result rules, dialogs made
 * from templates, EndDialog, modal runs answered by scripts the test queued,
 * and the dialog-item helpers.
 */
#include "window_private.h"

#include <plat/dialog.h>
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/raster.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <algorithm>
#include <deque>

namespace {

struct DialogState {
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HFONT ownedFont = nullptr;
};

struct Expectation {
    plat::ModalKind kind;
    plat::ModalMatch match;
    plat::ModalScript script;
};

struct Modals {
    std::deque<Expectation> queue;
    std::vector<std::string> failures;
    std::vector<plat::ModalRecord> log;
    std::vector<HWND> open;
};

Modals &modals()
{
    static auto *m = new Modals;
    return *m;
}

const bool registered = (plat::machine_on_reset([] { modals() = Modals(); }), true);

std::shared_ptr<DialogState> stateOf(HWND dialog)
{
    plat::win::Window *w = plat::win::find(dialog, false);
    if (!w || plat::win::class_key(w->className) != u"#32770")
        return nullptr;
    return std::static_pointer_cast<DialogState>(w->state);
}

bool directResult(UINT msg)
{
    return msg == WM_INITDIALOG || msg == WM_CTLCOLOR || (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) ||
           msg == WM_COMPAREITEM || msg == WM_VKEYTOITEM || msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON;
}

LRESULT dialogClassProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
    const INT_PTR answer = proc ? proc(dialog, msg, wParam, lParam) : 0;
    if (!IsWindow(dialog))
        return answer;
    if (answer) {
        if (directResult(msg))
            return answer;
        return GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
    }
    return DefDlgProcW(dialog, msg, wParam, lParam);
}

std::string narrow(const std::u16string &s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

std::string describe(const plat::ModalInfo &info)
{
    std::string s = plat::modal_kind_name(info.kind);
    if (info.templateId)
        s += " template " + std::to_string(info.templateId);
    else if (!info.templateName.empty())
        s += " template \"" + narrow(info.templateName) + "\"";
    if (!info.caption.empty())
        s += " \"" + narrow(info.caption) + "\"";
    return s;
}

int dluX(int x) { return x * 6 * plat::window_dpi() / (4 * 96); }
int dluY(int y) { return y * 13 * plat::window_dpi() / (8 * 96); }

bool loadTemplate(HINSTANCE instance, LPCWSTR name, plat::DialogTemplate &t)
{
    HRSRC found = FindResourceW(instance, name, RT_DIALOG);
    if (!found)
        return false;
    HGLOBAL data = LoadResource(instance, found);
    const BYTE *bytes = static_cast<const BYTE *>(LockResource(data));
    const DWORD size = SizeofResource(instance, found);
    if (!bytes || !plat::dialog_template_parse(std::span<const BYTE>(bytes, size), t)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return false;
    }
    return true;
}

plat::ModalInfo infoFor(plat::ModalKind kind, HWND window, LPCWSTR name)
{
    plat::ModalInfo info;
    info.kind = kind;
    info.window = window;
    if (name && IS_INTRESOURCE(name))
        info.templateId = WORD(reinterpret_cast<uintptr_t>(name));
    else if (name)
        info.templateName = std::u16string(name, size_t(lstrlenW(name)));
    if (window) {
        const int n = GetWindowTextLengthW(window);
        std::u16string caption(size_t(n) + 1, u'\0');
        GetWindowTextW(window, caption.data(), n + 1);
        caption.resize(size_t(n));
        info.caption = caption;
    }
    return info;
}

const bool classRegistered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = dialogClassProc;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.lpszClassName = u"#32770";
    return plat::window_register_builtin(wc);
}();

} // namespace

namespace plat {

const char *modal_kind_name(ModalKind kind)
{
    switch (kind) {
    case ModalKind::Dialog: return "dialog";
    case ModalKind::Sheet: return "property sheet";
    case ModalKind::OpenFile: return "open-file dialog";
    case ModalKind::SaveFile: return "save-file dialog";
    case ModalKind::ChooseColour: return "colour dialog";
    }
    return "modal";
}

void modal_expect(ModalKind kind, ModalMatch match, ModalScript script)
{
    (void)registered;
    (void)classRegistered;
    modals().queue.push_back(Expectation{kind, std::move(match), std::move(script)});
}

void modal_fail(const std::string &line)
{
    modals().failures.push_back(line);
    window_trace(line);
}

ModalScript modal_take(const ModalInfo &info)
{
    Modals &m = modals();
    if (m.queue.empty()) {
        modal_fail("unscripted " + describe(info) + ": nothing was expected; closed");
        return {};
    }
    Expectation &e = m.queue.front();
    if (e.kind != info.kind || (e.match && !e.match(info))) {
        modal_fail("unexpected " + describe(info) + ": the next script expects a " + modal_kind_name(e.kind) +
                   "; closed");
        return {};
    }
    ModalScript s = std::move(e.script);
    m.queue.pop_front();
    return s ? s : ModalScript([](ModalRun &) {});
}

std::vector<std::string> modal_failures() { return modals().failures; }

size_t modal_waiting() { return modals().queue.size(); }

std::vector<ModalRecord> modal_log() { return modals().log; }

void modal_record(const ModalInfo &info, INT_PTR result) { modals().log.push_back(ModalRecord{info, result}); }

std::vector<HWND> modal_open() { return modals().open; }

INT_PTR modal_run(HWND window, const ModalInfo &info)
{
    auto st = stateOf(window);
    if (!st)
        return -1;
    st->modal = true;
    HWND owner = GetWindow(window, GW_OWNER);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled)
        EnableWindow(owner, FALSE);
    if (!st->ended) {
        ShowWindow(window, SW_SHOW);
        modals().open.push_back(window);
        window_pump();
        if (!st->ended && IsWindow(window)) {
            ModalScript script = modal_take(info);
            if (script) {
                ModalRun run;
                run.info = info;
                script(run);
                window_pump();
                if (!st->ended && IsWindow(window))
                    modal_fail("the script of " + describe(info) + " returned without ending it; closed with -1");
            }
        }
        auto &open = modals().open;
        open.erase(std::remove(open.begin(), open.end(), window), open.end());
    }
    const INT_PTR result = st->ended ? st->result : -1;
    if (ownerWasEnabled && IsWindow(owner))
        EnableWindow(owner, TRUE);
    if (IsWindow(window))
        DestroyWindow(window);
    modal_record(info, result);
    return result;
}

HWND dialog_create(const DialogTemplate &t, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param)
{
    (void)classRegistered;
    const DWORD style = t.style & ~WS_VISIBLE;
    HWND parent = owner;
    if ((style & WS_CHILD) && !owner) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND dialog = CreateWindowExW(t.exStyle, u"#32770", t.caption.c_str(), style, dluX(t.x), dluY(t.y), dluX(t.cx),
                                  dluY(t.cy), parent, nullptr, instance, nullptr);
    if (!dialog)
        return nullptr;
    auto st = std::make_shared<DialogState>();
    window_set_state(dialog, st);
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    HFONT font = nullptr;
    if (t.fontPoints) {
        LOGFONTW lf{};
        lf.lfHeight = -(t.fontPoints * window_dpi() + 36) / 72;
        lf.lfWeight = FW_NORMAL;
        lstrcpynW(lf.lfFaceName, t.fontFace.c_str(), LF_FACESIZE);
        font = CreateFontIndirectW(&lf);
        st->ownedFont = font;
    } else {
        font = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    }
    for (const DialogItem &it : t.items) {
        HWND c = CreateWindowExW(it.exStyle, it.className.c_str(), it.text.c_str(),
                                 it.style | WS_CHILD, dluX(it.x), dluY(it.y), dluX(it.cx), dluY(it.cy), dialog,
                                 reinterpret_cast<HMENU>(uintptr_t(it.id)), instance, nullptr);
        if (!c) {
            window_trace("dialog_create: control " + std::to_string(it.id) + " of class \"" + narrow(it.className) +
                         "\" could not be made");
            DestroyWindow(dialog);
            SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
            return nullptr;
        }
        SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (!IsWindow(dialog))
        return nullptr;
    SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
    const LRESULT focus = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
    if (!IsWindow(dialog))
        return nullptr;
    if (focus && first && !st->ended)
        SetFocus(first);
    if ((t.style & WS_VISIBLE) && !st->ended)
        ShowWindow(dialog, SW_SHOW);
    return dialog;
}

} // namespace plat

LRESULT DefDlgProcW(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COMMAND:
        /* A page does not close itself: Escape and Cancel reach the sheet around it. */
        if (LOWORD(wParam) == IDCANCEL && (GetWindowLongPtrW(dialog, GWL_STYLE) & WS_CHILD))
            return SendMessageW(GetParent(dialog), msg, wParam, lParam);
        return 0;
    case WM_CLOSE:
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return 0;
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(dialog, WM_CTLCOLORDLG, wParam,
                                                             reinterpret_cast<LPARAM>(dialog)));
        if (!brush)
            brush = GetSysColorBrush(COLOR_BTNFACE);
        RECT r;
        GetClientRect(dialog, &r);
        FillRect(dc, &r, brush);
        return 1;
    }
    case WM_NCDESTROY:
        if (auto st = stateOf(dialog); st && st->ownedFont) {
            DeleteObject(st->ownedFont);
            st->ownedFont = nullptr;
        }
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(IDOK, DC_HASDEFID);
    default:
        return DefWindowProcW(dialog, msg, wParam, lParam);
    }
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    plat::DialogTemplate t;
    if (!loadTemplate(instance, templateName, t))
        return -1;
    t.style &= ~WS_CHILD;
    HWND dialog = plat::dialog_create(t, instance, owner, proc, param);
    if (!dialog)
        return -1;
    return plat::modal_run(dialog, infoFor(plat::ModalKind::Dialog, dialog, templateName));
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    plat::DialogTemplate t;
    if (!loadTemplate(instance, templateName, t))
        return nullptr;
    return plat::dialog_create(t, instance, owner, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    auto st = stateOf(dialog);
    if (!st) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    st->ended = true;
    st->result = result;
    ShowWindow(dialog, SW_HIDE);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    for (HWND c : plat::win::children(dialog))
        if (GetWindowLongPtrW(c, GWLP_ID) == id)
            return c;
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

int GetDlgCtrlID(HWND window) { return int(GetWindowLongPtrW(window, GWLP_ID)); }

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam)
{
    HWND c = GetDlgItem(dialog, id);
    return c ? SendMessageW(c, msg, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND c = GetDlgItem(dialog, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int cch)
{
    HWND c = GetDlgItem(dialog, id);
    if (!c) {
        if (text && cch > 0)
            text[0] = 0;
        return 0;
    }
    return UINT(GetWindowTextW(c, text, cch));
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned)
{
    const std::string s = isSigned ? std::to_string(int(value)) : std::to_string(value);
    const std::u16string w(s.begin(), s.end());
    return SetDlgItemTextW(dialog, id, w.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL *translated, BOOL isSigned)
{
    if (translated)
        *translated = FALSE;
    WCHAR buf[64];
    if (!GetDlgItem(dialog, id))
        return 0;
    GetDlgItemTextW(dialog, id, buf, 64);
    const WCHAR *p = buf;
    while (*p == u' ')
        ++p;
    bool negative = false;
    if (isSigned && *p == u'-') {
        negative = true;
        ++p;
    }
    if (*p < u'0' || *p > u'9')
        return 0;
    unsigned long long v = 0;
    while (*p >= u'0' && *p <= u'9') {
        v = v * 10 + unsigned(*p++ - u'0');
        if (v > (isSigned ? 0x80000000ull : 0xFFFFFFFFull))
            return 0;
    }
    while (*p == u' ')
        ++p;
    if (*p || (isSigned && !negative && v > 0x7FFFFFFFull))
        return 0;
    if (translated)
        *translated = TRUE;
    return negative ? UINT(-static_cast<long long>(v)) : UINT(v);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check)
{
    HWND c = GetDlgItem(dialog, id);
    if (!c)
        return FALSE;
    SendMessageW(c, 0x00F1 /* BM_SETCHECK */, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id)
{
    HWND c = GetDlgItem(dialog, id);
    return c ? UINT(SendMessageW(c, 0x00F0 /* BM_GETCHECK */, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check)
{
    for (HWND c : plat::win::children(dialog)) {
        const int id = GetDlgCtrlID(c);
        if (id >= first && id <= last)
            SendMessageW(c, 0x00F1 /* BM_SETCHECK */, id == check ? 1 : 0, 0);
    }
    return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    std::vector<HWND> stops;
    for (HWND c : plat::win::children(dialog)) {
        const DWORD style = DWORD(GetWindowLongPtrW(c, GWL_STYLE));
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED))
            stops.push_back(c);
    }
    if (stops.empty())
        return nullptr;
    auto it = std::find(stops.begin(), stops.end(), control);
    if (it == stops.end())
        return previous ? stops.back() : stops.front();
    if (previous)
        return it == stops.begin() ? stops.back() : *(it - 1);
    return (it + 1 == stops.end()) ? stops.front() : *(it + 1);
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous)
{
    /* The group: from the last WS_GROUP control at or before `control` to the next WS_GROUP. */
    const auto kids = plat::win::children(dialog);
    auto it = std::find(kids.begin(), kids.end(), control);
    if (it == kids.end())
        return nullptr;
    auto start = it;
    while (start != kids.begin() && !(GetWindowLongPtrW(*start, GWL_STYLE) & WS_GROUP))
        --start;
    auto end = it + 1;
    while (end != kids.end() && !(GetWindowLongPtrW(*end, GWL_STYLE) & WS_GROUP))
        ++end;
    std::vector<HWND> group(start, end);
    auto pos = std::find(group.begin(), group.end(), control);
    if (previous)
        return pos == group.begin() ? group.back() : *(pos - 1);
    return (pos + 1 == group.end()) ? group.front() : *(pos + 1);
}

BOOL MapDialogRect(HWND dialog, RECT *rect)
{
    if (!plat::win::find(dialog) || !rect)
        return FALSE;
    rect->left = dluX(rect->left);
    rect->right = dluX(rect->right);
    rect->top = dluY(rect->top);
    rect->bottom = dluY(rect->bottom);
    return TRUE;
}

LONG GetDialogBaseUnits(void)
{
    return MAKELONG(6 * plat::window_dpi() / 96, 13 * plat::window_dpi() / 96);
}
