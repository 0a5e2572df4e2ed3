/*
 * The common file and colour dialogs, answered by the test's scripts
 * (plat::modal_expect with ModalKind::OpenFile, SaveFile or ChooseColour:
 * the script sets ModalRun::path, ::error or ::colour and ::chosen), and
 * the help and shell calls, which are recorded and answered with success.
 * An unscripted file or colour dialog is a failure (plat::modal_failures)
 * and counts as cancelled.
 */
#ifndef PLAT_COMMDLG_H
#define PLAT_COMMDLG_H

#include <plat/dialog.h>
#include <plat/gdi_objects.h>

#include <string>
#include <vector>

typedef UINT_PTR (*LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAMEW {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCWSTR lpstrFilter;
    LPWSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;
    LPWSTR lpstrFile;
    DWORD nMaxFile;
    LPWSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCWSTR lpstrInitialDir;
    LPCWSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCWSTR lpstrDefExt;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
    void *pvReserved;
    DWORD dwReserved;
    DWORD FlagsEx;
};
static_assert(sizeof(OPENFILENAMEW) == 152, "OPENFILENAMEW layout");

struct CHOOSECOLORW {
    DWORD lStructSize;
    HWND hwndOwner;
    HWND hInstance;
    COLORREF rgbResult;
    COLORREF *lpCustColors;
    DWORD Flags;
    LPARAM lCustData;
    LPOFNHOOKPROC lpfnHook;
    LPCWSTR lpTemplateName;
};
static_assert(sizeof(CHOOSECOLORW) == 72, "CHOOSECOLORW layout");

#define OFN_READONLY 0x00000001u
#define OFN_OVERWRITEPROMPT 0x00000002u
#define OFN_HIDEREADONLY 0x00000004u
#define OFN_NOCHANGEDIR 0x00000008u
#define OFN_PATHMUSTEXIST 0x00000800u
#define OFN_FILEMUSTEXIST 0x00001000u
#define OFN_EXPLORER 0x00080000u
#define CC_RGBINIT 0x00000001u
#define CC_FULLOPEN 0x00000002u

/* CommDlgExtendedError answers. */
#define CDERR_STRUCTSIZE 0x0001u
#define CDERR_INITIALIZATION 0x0002u
#define FNERR_BUFFERTOOSMALL 0x3003u
#define FNERR_INVALIDFILENAME 0x3002u

BOOL GetOpenFileNameW(OPENFILENAMEW *ofn);
BOOL GetSaveFileNameW(OPENFILENAMEW *ofn);
BOOL ChooseColorW(CHOOSECOLORW *cc);
DWORD CommDlgExtendedError(void);

/* Help and shell calls (recorded). */
#define HELP_CONTEXT 0x0001u
#define HELP_QUIT 0x0002u
#define HELP_CONTEXTPOPUP 0x0008u
#define HELP_FINDER 0x000Bu
#define HELP_WM_HELP 0x000Cu
#define HELP_CONTEXTMENU 0x000Au
#define SW_SHOWDEFAULT 10
BOOL WinHelpW(HWND window, LPCWSTR file, UINT command, ULONG_PTR data);
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory, int show);

/*
 * HTML Help (the function "hhctrl.ocx" exports; the driver loads that
 * module by name): recorded in plat::help_log with `html` set, answers a
 * made-up non-null window for the commands that open help, null for the
 * others.
 */
#define HH_DISPLAY_TOPIC 0x0000u
#define HH_HELP_CONTEXT 0x000Fu
#define HH_TP_HELP_CONTEXTMENU 0x0010u
#define HH_TP_HELP_WM_HELP 0x0011u
#define HH_CLOSE_ALL 0x0012u
HWND HtmlHelpW(HWND caller, LPCWSTR file, UINT command, ULONG_PTR data);

namespace plat {

struct HelpCall {
    HWND window;
    std::u16string file;
    UINT command;
    ULONG_PTR data;
    bool html = false; /* HtmlHelpW rather than WinHelpW */
};
struct ShellCall {
    HWND window;
    std::u16string verb;
    std::u16string file;
    std::u16string parameters;
    std::u16string directory;
    int show;
};

std::vector<HelpCall> help_log();
std::vector<ShellCall> shell_log();

/* What ShellExecuteW answers from now on (42 after machine_reset; 32 or below is a failure). */
void shell_set_result(uintptr_t result);

} // namespace plat

#endif /* PLAT_COMMDLG_H */
