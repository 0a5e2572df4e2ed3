// Window texts: set and read back, cut to the caller's buffer, and refused
// for handles that are not (or no longer) windows.
#include <plat/error.h>
#include <plat/window_queries.h>

#include "test_text_machine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class WindowText : public TextMachine {};

} // namespace

TEST_F(WindowText, SetReadCutAndRefuse)
{
    HWND w = plat::window_create(plat::WindowSpec{});
    ASSERT_NE(w, nullptr);
    WCHAR buf[8] = {u'x'};
    EXPECT_EQ(GetWindowTextW(w, buf, 8), 0) << "no text yet";
    EXPECT_EQ(buf[0], 0);
    ASSERT_TRUE(SetWindowTextW(w, u"Printing"));
    EXPECT_EQ(GetWindowTextW(w, buf, 8), 7);
    EXPECT_EQ(std::u16string(buf), u"Printin");
    EXPECT_EQ(GetWindowTextW(w, buf, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(SetWindowTextW(w, nullptr));
    EXPECT_EQ(GetWindowTextW(w, buf, 8), 0);
    ASSERT_TRUE(DestroyWindow(w));
    EXPECT_FALSE(SetWindowTextW(w, u"gone"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(GetWindowTextW(w, buf, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}
