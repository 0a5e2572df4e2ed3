// The library entry and the host window kinds: every kind, the 30 built-in
// titles, a printer whose name holds the title, an empty title, a title
// over 260 characters, the system version branches, and the print UI's
// title file found through the MUI path with and without the user's
// language.
#include "ui_entry.h"
#include "ui_test_support.h"

#include <tarvel/rc.h>

#include <plat/registry.h>
#include <plat/version.h>
#include <plat/window_queries.h>

namespace {

using namespace ui_test;

/* The driver's own sheet title (resource string 751 of the build's resource module). */
constexpr char16_t kSheetTitle[] = u"Tarvel Preferences";

class HostWindow : public UiTest {
protected:
    /* A top-level window owned by nothing, with a child page below it, titled as given. */
    HWND makeSheet(const std::u16string &sheetTitle, HINSTANCE instance = nullptr)
    {
        plat::WindowSpec top;
        top.instance = instance;
        HWND sheet = plat::window_create(top);
        plat::WindowSpec dialog;
        dialog.parent = sheet;
        HWND frame = plat::window_create(dialog); /* an owned window: the sheet's frame */
        EXPECT_TRUE(SetWindowTextW(frame, sheetTitle.c_str()));
        plat::WindowSpec page;
        page.parent = frame;
        page.style = WS_CHILD;
        HWND child = plat::window_create(page);
        EXPECT_TRUE(SetWindowTextW(child, u"the page's own title"));
        return child;
    }
    /* A string module holding `text` as string 15380, at the Windows path given. */
    static void writePrintUi(const std::u16string &path, const std::string &text)
    {
        rc::Project project;
        ASSERT_TRUE(rc::parse_source("STRING 15380 \"" + text + "\"\n", "printui", ".", project));
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(rc::write_container(project, bytes));
        writeMachineFile(path, bytes);
    }
    static void setLanguage(const std::u16string &value)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(key, u"MultiUILanguageID", 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                                 DWORD((value.size() + 1) * 2)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
};

} // namespace

TEST_F(HostWindow, KindsByTitle)
{
    writePrintUi(u"C:\\Windows\\System32\\printui.dll", "Print Setup Choices");
    const std::u16string printer = u"Office 1";
    struct Case {
        const char *what;
        std::u16string title;
        const char16_t *printer;
        DWORD flags;
        WORD kind;
    } cases[] = {
        {"no comparison asked", u"Printing Preferences", nullptr, 0, UIX_HOST_NOT_COMPARED},
        {"an application's window", u"My Application Print", nullptr, 0x10, UIX_HOST_OTHER},
        {"the driver's own title", u"Office 1 Tarvel Preferences", nullptr, 0x10, UIX_HOST_DRIVER_TITLE},
        {"the English built-in title", u"Office 1 Printing Preferences", nullptr, 0x10, UIX_HOST_PREFERENCES},
        {"the print UI's title", u"Office 1 Print Setup Choices", nullptr, 0x10, UIX_HOST_PRINT_UI},
        {"other flag bits only", u"Printing Preferences", nullptr, 0xEF, UIX_HOST_NOT_COMPARED},
        {"title compared with case", u"printing preferences", nullptr, 0x10, UIX_HOST_OTHER},
        {"printer name holding the title, title once", u"Printing Preferences", u"Printing Preferences", 0x10,
         UIX_HOST_OTHER},
        {"printer name holding the title, title twice", u"Printing Preferences Printing Preferences",
         u"Printing Preferences", 0x10, UIX_HOST_PREFERENCES},
        {"an empty title", u"", nullptr, 0x10, UIX_HOST_OTHER},
    };
    for (const Case &c : cases) {
        HWND page = makeSheet(c.title);
        EXPECT_EQ(UIX_GetHostWindowKind(page, c.printer, c.flags), c.kind) << c.what;
    }
    EXPECT_EQ(UIX_GetHostWindowKind(nullptr, nullptr, 0x10), UIX_HOST_OTHER) << "no window: an empty title";
    (void)printer;
}

TEST_F(HostWindow, EveryBuiltinTitleInItsPlace)
{
    int count = 0;
    const WCHAR *const *titles = UIX_BuiltinTitles(&count);
    ASSERT_EQ(count, 30);
    EXPECT_EQ(std::u16string(titles[0]), u"印刷設定");
    EXPECT_EQ(std::u16string(titles[1]), u"Printing Preferences");
    EXPECT_EQ(std::u16string(titles[25]).substr(0, 2), u"\u200F\u200F") << "two right-to-left marks first";
    EXPECT_EQ(std::u16string(titles[29]), u"Настройки друку");
    for (int i = 0; i < count; i++) {
        HWND page = makeSheet(u"Office 1 " + std::u16string(titles[i]) + u" (copy)");
        EXPECT_EQ(UIX_GetHostWindowKind(page, u"Office 1", 0x10), UIX_HOST_PREFERENCES) << "title " << i;
    }
}

TEST_F(HostWindow, TitlesAreReadTo260Characters)
{
    std::u16string filler(255, u'x');
    HWND cut = makeSheet(filler + u" Tarvel Preferences"); /* the pattern starts at 256: cut off */
    EXPECT_EQ(UIX_GetHostWindowKind(cut, nullptr, 0x10), UIX_HOST_OTHER);
    std::u16string room(240, u'x');
    HWND kept = makeSheet(room + kSheetTitle); /* ends at character 258 */
    EXPECT_EQ(UIX_GetHostWindowKind(kept, nullptr, 0x10), UIX_HOST_DRIVER_TITLE);
}

TEST_F(HostWindow, SystemsBefore51AskTheShellsWindowsOnly)
{
    plat::version_set(5, 0, 2195, 4, VER_NT_WORKSTATION);
    UTL_ResetVersionCacheForTest();
    ASSERT_TRUE(plat::loader_register_fake(u"SHELL32.dll", nullptr, {}));
    ASSERT_TRUE(plat::loader_register_fake(u"notepad.dll", nullptr, {}));
    HMODULE shell = LoadLibraryW(u"SHELL32.dll");
    HMODULE other = LoadLibraryW(u"notepad.dll");
    ASSERT_NE(shell, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(UIX_GetHostWindowKind(makeSheet(u"Printing Preferences", reinterpret_cast<HINSTANCE>(shell)), nullptr,
                                    0),
              UIX_HOST_PREFERENCES)
        << "the shell's window is compared without the flag";
    EXPECT_EQ(UIX_GetHostWindowKind(makeSheet(u"Printing Preferences", reinterpret_cast<HINSTANCE>(other)), nullptr,
                                    0x10),
              UIX_HOST_NOT_COMPARED);
    EXPECT_EQ(UIX_GetHostWindowKind(makeSheet(u"Printing Preferences"), nullptr, 0x10), UIX_HOST_NOT_COMPARED)
        << "a top-level window of no module";
    EXPECT_EQ(UIX_GetHostWindowKind(nullptr, nullptr, 0x10), UIX_HOST_NOT_COMPARED) << "no window at all";
    FreeLibrary(shell);
    FreeLibrary(other);
}

TEST_F(HostWindow, ThePrintUiTitleFromTheMuiPathOrTheSystemFolder)
{
    WCHAR text[UIX_TITLE_CHARS + 1] = {};
    EXPECT_EQ(UIX_ReadPrintUiTitle(text, UIX_TITLE_CHARS + 1), 0) << "no file";
    writePrintUi(u"C:\\Windows\\System32\\printui.dll", "System Title");
    writePrintUi(u"C:\\Windows\\MUI\\Fallback\\0411\\printui.dll.mui", "Japanese Title");
    ASSERT_EQ(UIX_ReadPrintUiTitle(text, UIX_TITLE_CHARS + 1), 1);
    EXPECT_EQ(std::u16string(text), u"System Title");
    setLanguage(u"00000411");
    ASSERT_EQ(UIX_ReadPrintUiTitle(text, UIX_TITLE_CHARS + 1), 1);
    EXPECT_EQ(std::u16string(text), u"Japanese Title");
    WCHAR small[5] = {};
    ASSERT_EQ(UIX_ReadPrintUiTitle(small, 5), 1);
    EXPECT_EQ(std::u16string(small), u"Japa") << "cut to the caller's capacity";
    setLanguage(u"0407");
    EXPECT_EQ(UIX_ReadPrintUiTitle(text, UIX_TITLE_CHARS + 1), 0) << "no file for that language";
    HWND page = makeSheet(u"Office 1 Japanese Title");
    EXPECT_EQ(UIX_GetHostWindowKind(page, nullptr, 0x10), UIX_HOST_OTHER);
}

TEST_F(HostWindow, TitleContainsRules)
{
    EXPECT_EQ(UIX_TitleContains(u"abc", u"b", nullptr), 1);
    EXPECT_EQ(UIX_TitleContains(u"abc", u"d", nullptr), 0);
    EXPECT_EQ(UIX_TitleContains(nullptr, u"b", nullptr), 0);
    EXPECT_EQ(UIX_TitleContains(u"abc", nullptr, nullptr), 0);
    EXPECT_EQ(UIX_TitleContains(u"P P", u"P", u"P"), 1) << "a second occurrence after the first";
    EXPECT_EQ(UIX_TitleContains(u"PP", u"PP", u"PP"), 0);
    EXPECT_EQ(UIX_TitleContains(u"PPP", u"PP", u"xPPx"), 0) << "the second must start after the first ends";
    EXPECT_EQ(UIX_TitleContains(u"PPPP", u"PP", u"xPPx"), 1);
}

TEST_F(HostWindow, TheEntryStartsAndEndsTheModuleState)
{
    /* The real library in the driver directory: its entry binds the data manager for it. */
    HMODULE ui = LoadLibraryW(u"tarvelui.dll");
    ASSERT_NE(ui, nullptr) << plat::loader_last_failure();
    EXPECT_NE(GetProcAddress(ui, "DllInitialize"), nullptr);
    EXPECT_EQ(plat::loader_load_count(u"tarveldm.dll"), 2u) << "this test's binding and the library's";
    EXPECT_TRUE(FreeLibrary(ui));
    EXPECT_EQ(plat::loader_load_count(u"tarveldm.dll"), 1u) << "the detach released the library's";
}
