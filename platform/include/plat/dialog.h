/*
 * Dialogs: the dialog class ("#32770") with the dialog result rules, dialogs
 * built from templates in a resource module (RT_DIALOG, our own template
 * format below) or from a template record, modal dialogs run by the test
 * (plat::modal_expect), and the dialog-item helpers.
 *
 * The result rules: the dialog procedure's non-zero answer means "handled";
 * SendMessageW then answers DWLP_MSGRESULT, except for WM_INITDIALOG,
 * WM_CTLCOLOR* (0x19 and 0x132-0x138), WM_COMPAREITEM, WM_VKEYTOITEM,
 * WM_CHARTOITEM and WM_QUERYDRAGICON, whose answer is the procedure's own.
 * An answer of 0 runs the default processing: a child dialog (a property
 * page) passes an unhandled WM_COMMAND IDCANCEL to its parent; WM_CLOSE
 * becomes WM_COMMAND IDCANCEL; IDOK and IDCANCEL otherwise do nothing.
 *
 * Creation: the dialog window, then each control in template order (an
 * owner-drawn fixed list or combo box sends WM_MEASUREITEM to the dialog
 * while it is made), WM_SETFONT to the controls and the dialog, then
 * WM_INITDIALOG (wParam: the first tab stop; lParam: the caller's value); a
 * TRUE answer puts the focus on that control.
 *
 * Dialog units: base units of 6 x 13 pixels at 96 DPI, scaled with the
 * screen's DPI (plat::window_set_dpi): x * 6 / 4 and y * 13 / 8 at 96.
 */
#ifndef PLAT_DIALOG_H
#define PLAT_DIALOG_H

#include <plat/msgbox.h>
#include <plat/window.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);

/* Dialog styles. */
#define DS_ABSALIGN 0x0001u
#define DS_SYSMODAL 0x0002u
#define DS_SETFONT 0x0040u
#define DS_MODALFRAME 0x0080u
#define DS_3DLOOK 0x0004u
#define DS_FIXEDSYS 0x0008u
#define DS_CONTROL 0x0400u
#define DS_CENTER 0x0800u
#define DS_CONTEXTHELP 0x2000u
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

/* The dialog class. */
#define WC_DIALOG ((LPCWSTR)u"#32770")

#define IDHELP 9

#ifndef ERROR_CONTROL_ID_NOT_FOUND
#define ERROR_CONTROL_ID_NOT_FOUND 1421L
#endif

/* GetDlgItemInt with no translation. */
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define WM_NEXTDLGCTL 0x0028u

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
LRESULT DefDlgProcW(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int cch);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
UINT GetDlgItemInt(HWND dialog, int id, BOOL *translated, BOOL isSigned);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);
BOOL MapDialogRect(HWND dialog, RECT *rect);
LONG GetDialogBaseUnits(void);

namespace plat {

/* One control of a dialog template. */
struct DialogItem {
    WORD id = 0;
    std::u16string className; /* "BUTTON", "EDIT", "msctls_trackbar32", ... */
    DWORD style = 0;          /* WS_CHILD is implied */
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0; /* dialog units */
    std::u16string text;
};

/* A dialog template: the dialog's own fields and its controls in creation (tab) order. */
struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0; /* dialog units */
    WORD fontPoints = 0;                /* 0: the system font */
    std::u16string fontFace;
    std::u16string caption;
    std::vector<DialogItem> items;
};

/*
 * The stored form (RT_DIALOG resources), little-endian: "TDLG", version 1
 * (16 bits), style, exStyle (32 bits), x, y, cx, cy (16 bits, signed), font
 * points (16 bits), font face, caption, item count (16 bits); each item: id
 * (16 bits), style, exStyle (32 bits), x, y, cx, cy, class name, text.  A
 * text is a 16-bit length and that many UTF-16 units.  At most 1,024 items;
 * texts at most 4,096 units.
 */
std::vector<BYTE> dialog_template_encode(const DialogTemplate &tmpl);
/* Parses a stored template; false (nothing kept) for anything malformed or cut short. */
bool dialog_template_parse(std::span<const BYTE> bytes, DialogTemplate &out);

/* Makes a dialog from a template record (the dialog functions load theirs from the module). */
HWND dialog_create(const DialogTemplate &tmpl, HINSTANCE instance, HWND owner, DLGPROC proc, LPARAM param);

/* ---- Modal runs, answered by the test ---- */

enum class ModalKind { Dialog, Sheet, OpenFile, SaveFile, ChooseColour };

const char *modal_kind_name(ModalKind kind);

/* What a modal run is: its kind, window (null for file and colour dialogs), template and caption. */
struct ModalInfo {
    ModalKind kind = ModalKind::Dialog;
    HWND window = nullptr;
    WORD templateId = 0;          /* a numbered template, else 0 */
    std::u16string templateName;  /* a named template */
    std::u16string caption;
};

/* A run in progress as its script sees it; file and colour scripts fill in the answer. */
struct ModalRun {
    ModalInfo info;
    /* File dialogs: the chosen path (empty: cancelled) or an error for CommDlgExtendedError. */
    std::u16string path;
    DWORD error = 0;
    /* Colour dialogs: the chosen colour and whether one was chosen. */
    DWORD colour = 0; /* a COLORREF */
    bool chosen = false;
};

using ModalMatch = std::function<bool(const ModalInfo &)>;
using ModalScript = std::function<void(ModalRun &)>;

/*
 * Queues the script of the next modal run: the next run must be of `kind`
 * and match `match` (null: any).  A run nobody expected, or one the first
 * waiting entry does not match, is a failure (plat::modal_failures): a
 * dialog or sheet closes at once with -1, a file dialog is cancelled.  A
 * dialog script that returns without ending its dialog is a failure too.
 */
void modal_expect(ModalKind kind, ModalMatch match, ModalScript script);

/* The next waiting script for a run of `info` (empty when there is none; the failure is recorded). */
ModalScript modal_take(const ModalInfo &info);

/* The failures recorded since the last reset, and the scripts still waiting. */
std::vector<std::string> modal_failures();
size_t modal_waiting();
void modal_fail(const std::string &line);

/* Every modal run so far: what it was and what it answered. */
struct ModalRecord {
    ModalInfo info;
    INT_PTR result = 0;
};
std::vector<ModalRecord> modal_log();
void modal_record(const ModalInfo &info, INT_PTR result);

/* The modal runs open now, innermost last. */
std::vector<HWND> modal_open();

/* Runs a modal window made by the caller: scripts, pumps, ends with its EndDialog result (or -1). */
INT_PTR modal_run(HWND window, const ModalInfo &info);

} // namespace plat

#endif /* PLAT_DIALOG_H */
