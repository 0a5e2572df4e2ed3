/*
 * Tests of the message-box recorder: scripted answers in order, the default
 * button of every button type when nothing is scripted, refused styles, and
 * the record cleared by machine_reset.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/msgbox.h>

#include "test_text_machine.h"

#include <gtest/gtest.h>

namespace {

/* Each test on a fresh machine: the recorder is machine state. */
class MsgBox : public TextMachine {};

TEST_F(MsgBox, RecordsEachBoxAndAnswersTheScriptInOrder)
{
    plat::msgbox_script(IDNO);
    plat::msgbox_script(IDCANCEL);
    HWND owner = reinterpret_cast<HWND>(0x42);
    EXPECT_EQ(MessageBoxW(owner, u"Replace?", u"Tarvel", MB_YESNOCANCEL | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, u"Second", nullptr, MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, nullptr, u"Third", MB_YESNO), IDYES) << "queue empty: default button";

    auto log = plat::msgbox_log();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].owner, owner);
    EXPECT_EQ(log[0].text, u"Replace?");
    EXPECT_EQ(log[0].caption, u"Tarvel");
    EXPECT_EQ(log[0].style, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(log[0].answer, IDNO);
    EXPECT_EQ(log[1].caption, u"");
    EXPECT_EQ(log[2].text, u"");
    EXPECT_EQ(log[2].answer, IDYES);

    plat::msgbox_script(IDOK);
    plat::machine_reset(root.string());
    EXPECT_TRUE(plat::msgbox_log().empty());
    EXPECT_EQ(MessageBoxW(nullptr, u"x", u"y", MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL) << "script cleared too";
}

TEST_F(MsgBox, UnscriptedBoxAnswersItsDefaultButton)
{
    struct Case {
        UINT style;
        int answer;
    };
    const Case cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK}, /* past the last button: the first */
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_YESNOCANCEL | MB_DEFBUTTON4 | MB_HELP, IDYES}, /* Help is never the answer */
        {MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING, IDNO},
        {MB_RETRYCANCEL, IDRETRY},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON3, IDCONTINUE},
        {MB_CANCELTRYCONTINUE | MB_DEFBUTTON2 | MB_RIGHT | MB_RTLREADING, IDTRYAGAIN},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", c.style), c.answer) << std::hex << c.style;
}

TEST_F(MsgBox, UnknownButtonTypeIsRefused)
{
    plat::msgbox_script(IDOK);
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", 7), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_MSGBOX_STYLE));
    EXPECT_TRUE(plat::msgbox_log().empty());
    EXPECT_EQ(MessageBoxW(nullptr, u"t", u"c", MB_YESNO), IDOK) << "the scripted answer was kept";
}

} // namespace
