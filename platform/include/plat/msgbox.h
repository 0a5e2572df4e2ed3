/*
 * Message boxes: MessageBoxW as a recorder with scripted answers.  No window
 * is shown.  Each call is recorded (owner, text, caption, style, answer) and
 * answered from a queue of scripted answers; an unscripted box answers its
 * default button, as a user pressing Enter would.  Tests script answers with
 * plat::msgbox_script and read the record with plat::msgbox_log.
 * machine_reset empties the queue and the record.
 */
#ifndef PLAT_MSGBOX_H
#define PLAT_MSGBOX_H

#include <plat/types.h>

#include <string>
#include <vector>

/* Buttons (the low four bits of the style). */
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_CANCELTRYCONTINUE 0x00000006u
#define MB_TYPEMASK 0x0000000Fu

/* Icons. */
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u

/* Default button (1 to 4). */
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFBUTTON4 0x00000300u
#define MB_DEFMASK 0x00000F00u

/* Modality and other options (recorded, otherwise without effect here). */
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_HELP 0x00004000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_DEFAULT_DESKTOP_ONLY 0x00020000u
#define MB_TOPMOST 0x00040000u
#define MB_RIGHT 0x00080000u
#define MB_RTLREADING 0x00100000u
#define MB_SERVICE_NOTIFICATION 0x00200000u

/* Answers. */
#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDTRYAGAIN 10
#define IDCONTINUE 11

#ifndef ERROR_INVALID_MSGBOX_STYLE
#define ERROR_INVALID_MSGBOX_STYLE 1158L
#endif

/*
 * Shows (records) a message box and answers the button "pressed": the next
 * scripted answer, else the box's default button (MB_DEFBUTTONn of its
 * buttons; a default past the last button is the first button; the Help
 * button of MB_HELP is never the answer).  A null text or caption records
 * an empty text.  0 with ERROR_INVALID_MSGBOX_STYLE (nothing recorded, no
 * scripted answer used) for a button type above MB_CANCELTRYCONTINUE.
 */
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

namespace plat {

/* One recorded message box. */
struct MsgBoxRecord {
    HWND owner;
    std::u16string text;
    std::u16string caption;
    UINT style;
    int answer;
};

/* Queues `answer` for the next unanswered message box (answers are used in the order queued). */
void msgbox_script(int answer);

/* Every message box recorded since the last clear, oldest first. */
std::vector<MsgBoxRecord> msgbox_log();

/* Empties the record and the queue of scripted answers. */
void msgbox_clear();

} // namespace plat

#endif /* PLAT_MSGBOX_H */
