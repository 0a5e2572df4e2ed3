/*
 * The common file and colour dialogs, answered by scripts, and the help and
 * shell recorders.  A file dialog fills lpstrFile, nFileOffset and
 * nFileExtension from the script's path (FNERR_BUFFERTOOSMALL, with the
 * size needed in the buffer's first two units, when it does not fit).
 */
#include <plat/commdlg.h>
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <algorithm>
#include <cstddef>

namespace {

struct Records {
    DWORD lastError = 0;
    std::vector<plat::HelpCall> help;
    std::vector<plat::ShellCall> shell;
    uintptr_t shellResult = 42; /* success is any value above 32 */
};

Records &records()
{
    static auto *r = new Records;
    return *r;
}

const bool registered = (plat::machine_on_reset([] { records() = Records(); }), true);

std::u16string text(LPCWSTR s)
{
    return s && (reinterpret_cast<uintptr_t>(s) >> 16) ? std::u16string(s, size_t(lstrlenW(s))) : std::u16string();
}

BOOL fileDialog(OPENFILENAMEW *ofn, plat::ModalKind kind)
{
    (void)registered;
    Records &r = records();
    r.lastError = 0;
    if (!ofn || ofn->lStructSize < offsetof(OPENFILENAMEW, pvReserved)) {
        r.lastError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    plat::ModalInfo info;
    info.kind = kind;
    info.caption = text(ofn->lpstrTitle);
    plat::ModalScript script = plat::modal_take(info);
    plat::ModalRun run;
    run.info = info;
    if (script)
        script(run);
    plat::window_pump();
    BOOL ok = FALSE;
    if (run.error) {
        r.lastError = run.error;
    } else if (!run.path.empty()) {
        if (!ofn->lpstrFile || run.path.size() + 1 > ofn->nMaxFile) {
            r.lastError = FNERR_BUFFERTOOSMALL;
            if (ofn->lpstrFile && ofn->nMaxFile >= 2) {
                const DWORD needed = DWORD(run.path.size() + 1);
                ofn->lpstrFile[0] = WCHAR(needed & 0xFFFF);
                ofn->lpstrFile[1] = WCHAR(needed >> 16);
            }
        } else {
            std::copy(run.path.begin(), run.path.end(), ofn->lpstrFile);
            ofn->lpstrFile[run.path.size()] = 0;
            const size_t slash = run.path.find_last_of(u"\\/");
            const size_t name = slash == std::u16string::npos ? 0 : slash + 1;
            const size_t dot = run.path.find_last_of(u'.');
            ofn->nFileOffset = WORD(name);
            ofn->nFileExtension = WORD(dot == std::u16string::npos || dot < name ? run.path.size() : dot + 1);
            if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
                const std::u16string title = run.path.substr(name);
                const size_t n = std::min<size_t>(title.size(), ofn->nMaxFileTitle - 1);
                std::copy_n(title.data(), n, ofn->lpstrFileTitle);
                ofn->lpstrFileTitle[n] = 0;
            }
            ok = TRUE;
        }
    }
    plat::modal_record(info, ok);
    return ok;
}

} // namespace

BOOL GetOpenFileNameW(OPENFILENAMEW *ofn) { return fileDialog(ofn, plat::ModalKind::OpenFile); }

BOOL GetSaveFileNameW(OPENFILENAMEW *ofn) { return fileDialog(ofn, plat::ModalKind::SaveFile); }

BOOL ChooseColorW(CHOOSECOLORW *cc)
{
    Records &r = records();
    r.lastError = 0;
    if (!cc || cc->lStructSize != sizeof(CHOOSECOLORW)) {
        r.lastError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    plat::ModalInfo info;
    info.kind = plat::ModalKind::ChooseColour;
    plat::ModalScript script = plat::modal_take(info);
    plat::ModalRun run;
    run.info = info;
    run.colour = (cc->Flags & CC_RGBINIT) ? cc->rgbResult : 0;
    if (script)
        script(run);
    plat::window_pump();
    if (run.chosen)
        cc->rgbResult = run.colour;
    plat::modal_record(info, run.chosen ? TRUE : FALSE);
    return run.chosen ? TRUE : FALSE;
}

DWORD CommDlgExtendedError(void) { return records().lastError; }

BOOL WinHelpW(HWND window, LPCWSTR file, UINT command, ULONG_PTR data)
{
    records().help.push_back(plat::HelpCall{window, text(file), command, data});
    return TRUE;
}

HWND HtmlHelpW(HWND caller, LPCWSTR file, UINT command, ULONG_PTR data)
{
    records().help.push_back(plat::HelpCall{caller, text(file), command, data, true});
    if (command == HH_CLOSE_ALL)
        return nullptr;
    /* No help window is made; a caller only tests the answer for null. */
    return reinterpret_cast<HWND>(uintptr_t(0x4848));
}

HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int show)
{
    records().shell.push_back(plat::ShellCall{window, text(verb), text(file), text(parameters), text(directory), show});
    return reinterpret_cast<HINSTANCE>(records().shellResult);
}

namespace plat {

std::vector<HelpCall> help_log() { return records().help; }

std::vector<ShellCall> shell_log() { return records().shell; }

void shell_set_result(uintptr_t result) { records().shellResult = result; }

} // namespace plat
