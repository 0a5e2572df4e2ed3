/*
 * Tests of the resource texts: the language number and the right-to-left
 * style the message-box recorder sees, custom paper names from string 16,
 * the shared document folders from strings 9374 and 9377-9379 (and "C:"
 * when the shell has no folder), and the browser protected-mode check.
 */
#include "test_res_support.h"

#include <tarvel/base/res_text.h>

#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/sysdir.h>
#include <plat/version.h>

#include <array>

namespace {

using res_test::u8;

class ResText : public res_test::MachineTest {};

TEST_F(ResText, LanguageDecidesTheMessageBoxStyle)
{
    struct Case {
        const char *source;   /* resource module; null: none */
        UINT stringId;        /* RES_SetLanguageStringId */
        BOOL loaded;
        int language;
        bool rtl;
    };
    const Case cases[] = {
        {"STRING 5146 \"1037\"", RES_ID_LANGUAGE_UI, TRUE, 1037, true},
        {"STRING 5146 \"1025\"", RES_ID_LANGUAGE_UI, TRUE, 1025, true},
        {"STRING 5146 \"1033\"", RES_ID_LANGUAGE_UI, TRUE, 1033, false},
        {"STRING 5146 \"10370\"", RES_ID_LANGUAGE_UI, TRUE, 1037, true}, /* read as at most 4 characters */
        {"STRING 5146 \"1033\"\nSTRING 17 \"1037\"", RES_ID_LANGUAGE_RENDER, TRUE, 1037, true},
        {"STRING 17 \"1037\"", RES_ID_LANGUAGE_UI, FALSE, 0, false},
        {nullptr, RES_ID_LANGUAGE_UI, FALSE, 0, false},
    };
    for (const Case &c : cases) {
        plat::machine_reset(root_);
        RES_ResetForTest();
        initModuleWithResources(c.source);
        RES_SetLanguageStringId(c.stringId);
        int language = -1;
        EXPECT_EQ(RES_GetResourceLanguage(&language), c.loaded) << (c.source ? c.source : "none");
        EXPECT_EQ(language, c.loaded ? c.language : -1);
        EXPECT_EQ(RES_IsRightToLeftUi(), c.rtl ? TRUE : FALSE);

        plat::msgbox_script(IDNO);
        EXPECT_EQ(RES_MessageBox(nullptr, u"Text", u"Caption", MB_YESNO | MB_ICONWARNING), IDNO);
        auto log = plat::msgbox_log();
        ASSERT_EQ(log.size(), 1u);
        UINT expected = MB_YESNO | MB_ICONWARNING | (c.rtl ? RES_RTL_BOX_STYLE : 0u);
        EXPECT_EQ(log[0].style, expected) << (c.source ? c.source : "none");
        EXPECT_EQ(log[0].text, u"Text");
        EXPECT_EQ(log[0].caption, u"Caption");
    }
    EXPECT_FALSE(RES_GetResourceLanguage(nullptr));
}

TEST_F(ResText, RightToLeftFlagsAreExactlyRightAndRtlReading)
{
    EXPECT_EQ(RES_RTL_BOX_STYLE, MB_RIGHT | MB_RTLREADING);
    EXPECT_EQ(RES_RTL_BOX_STYLE, 0x180000u);
}

std::string paperName(int slot, int capacity = 40)
{
    std::array<WCHAR, 64> name;
    name.fill(u'#');
    if (!RES_MakeCustomPaperName(slot, name.data(), capacity))
        return "<failed>";
    return u8(name.data());
}

TEST_F(ResText, CustomPaperNamesDropTrailingDigitsAndCountFromOne)
{
    struct Case {
        const char *source;
        int slot;
        int capacity;
        const char *expect;
    };
    const Case cases[] = {
        {"STRING 16 \"Custom Size 2\"", 0, 40, "Custom Size 1"},
        {"STRING 16 \"Custom Size 2\"", 19, 40, "Custom Size 20"},
        {"STRING 16 \"Paper123\"", 4, 40, "Paper5"},
        {"STRING 16 \"12\"", 0, 40, "1"},
        {"STRING 16 \"A2B\"", 0, 40, "A2B1"},
        {nullptr, 0, 40, "Custom1"},                  /* no resource module */
        {"STRING 17 \"1033\"", 2, 40, "Custom3"},      /* module without string 16 */
        /* Only the first 31 characters of the string count. */
        {"STRING 16 \"abcdefghijklmnopqrstuvwxyz0123456789\"", 0, 40, "abcdefghijklmnopqrstuvwxyz1"},
        /* A small buffer keeps the number and shortens the text. */
        {"STRING 16 \"Custom Size 2\"", 9, 6, "Cus10"},
        {"STRING 16 \"Custom Size 2\"", 9, 3, "10"},
        {"STRING 16 \"Custom Size 2\"", 9, 2, "<failed>"},
    };
    for (const Case &c : cases) {
        plat::machine_reset(root_);
        RES_ResetForTest();
        initModuleWithResources(c.source);
        EXPECT_EQ(paperName(c.slot, c.capacity), c.expect) << (c.source ? c.source : "none") << " slot " << c.slot;
    }
    EXPECT_FALSE(RES_MakeCustomPaperName(0, nullptr, 10));
}

TEST_F(ResText, TheInstalledResourceModuleNamesItsCustomPaper)
{
    initModule();
    EXPECT_EQ(paperName(0), "Custom Paper 1");
    EXPECT_EQ(paperName(1), "Custom Paper 2");
}

const char *kFolders = "STRING 9374 \"Tarvel\"\nSTRING 9377 \"Work\"\nSTRING 9378 \"Settings\"\nSTRING 9379 \"Fax\"";

std::string documentsPath(int kind, int capacity = 261)
{
    std::array<WCHAR, 300> out{};
    if (!RES_GetCommonDocumentsPath(kind, out.data(), capacity))
        return "<failed>";
    return u8(out.data());
}

TEST_F(ResText, DocumentFoldersBelowTheSharedDocuments)
{
    initModuleWithResources(kFolders);
    EXPECT_EQ(documentsPath(RES_DOCS_DRIVER), "C:\\Users\\Public\\Documents\\Tarvel");
    EXPECT_EQ(documentsPath(RES_DOCS_WORK), "C:\\Users\\Public\\Documents\\Tarvel\\Work");
    EXPECT_EQ(documentsPath(RES_DOCS_SETTINGS), "C:\\Users\\Public\\Documents\\Tarvel\\Settings");
    EXPECT_EQ(documentsPath(RES_DOCS_FAX), "C:\\Users\\Public\\Documents\\Tarvel\\Fax");
    EXPECT_EQ(documentsPath(4), "<failed>");
    EXPECT_EQ(documentsPath(-1), "<failed>");
    /* The result must be shorter than the capacity. */
    EXPECT_EQ(documentsPath(RES_DOCS_WORK, 37), "<failed>");
    EXPECT_EQ(documentsPath(RES_DOCS_WORK, 38), "C:\\Users\\Public\\Documents\\Tarvel\\Work");

    LPWSTR work = RES_AllocWorkFolderPath();
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(u8(work), "C:\\Users\\Public\\Documents\\Tarvel\\Work\\");
    UTL_FreeGlobal(work);
    UTL_FreeGlobal(nullptr);

    /* Without the shell's folder the path starts at "C:". */
    plat::sysdir_fail_folder_path(true);
    EXPECT_EQ(documentsPath(RES_DOCS_FAX), "C:\\Tarvel\\Fax");
}

TEST_F(ResText, DocumentFoldersFailWithoutTheirStrings)
{
    initModuleWithResources("STRING 9374 \"Tarvel\"\nSTRING 9377 \"Work\"");
    EXPECT_EQ(documentsPath(RES_DOCS_DRIVER), "C:\\Users\\Public\\Documents\\Tarvel");
    EXPECT_EQ(documentsPath(RES_DOCS_SETTINGS), "<failed>");
    plat::machine_reset(root_);
    RES_ResetForTest();
    initModuleWithResources(nullptr);
    EXPECT_EQ(documentsPath(RES_DOCS_DRIVER), "<failed>");
    EXPECT_EQ(RES_AllocWorkFolderPath(), nullptr);
}

TEST_F(ResText, AppendStringToPathKeepsRoomForTheTerminator)
{
    initModuleWithResources(kFolders);
    std::array<WCHAR, 16> path{u'C', u':'};
    int remaining = 7; /* "\Tarvel" is 7 characters: with the terminator it needs 8 */
    EXPECT_FALSE(RES_AppendStringToPath(RES_ID_DOCUMENTS_FOLDER, path.data(), &remaining));
    EXPECT_EQ(u8(path.data()), "C:");
    remaining = 8;
    EXPECT_TRUE(RES_AppendStringToPath(RES_ID_DOCUMENTS_FOLDER, path.data(), &remaining));
    EXPECT_EQ(u8(path.data()), "C:\\Tarvel");
    EXPECT_EQ(remaining, 1);
    remaining = 5;
    EXPECT_FALSE(RES_AppendStringToPath(RES_ID_WORK_FOLDER, path.data(), &remaining)) << "\\Work needs 6";
    EXPECT_EQ(remaining, 5);
    remaining = 6;
    EXPECT_TRUE(RES_AppendStringToPath(RES_ID_WORK_FOLDER, path.data(), &remaining));
    EXPECT_EQ(u8(path.data()), "C:\\Tarvel\\Work");
    EXPECT_FALSE(RES_AppendStringToPath(0, path.data(), &remaining));
    remaining = 100;
    EXPECT_FALSE(RES_AppendStringToPath(4242, path.data(), &remaining));
}

/* Stand-in of ieframe.dll's export. */
BOOL g_protected = TRUE;
HRESULT fakeIsProtected(BOOL *flag)
{
    *flag = g_protected;
    return S_OK;
}

TEST_F(ResText, ProtectedModeAsksIeframeFromVistaOn)
{
    /* No ieframe.dll on this machine. */
    EXPECT_FALSE(UTL_IsIEProtectedMode());

    const plat::FakeExport exports[] = {{"IEIsProtectedModeProcess", plat::to_farproc(&fakeIsProtected)}};
    ASSERT_TRUE(plat::loader_register_fake(u"ieframe.dll", nullptr, exports));
    g_protected = TRUE;
    EXPECT_TRUE(UTL_IsIEProtectedMode());
    EXPECT_EQ(plat::loader_load_count(u"ieframe.dll"), 0u) << "freed after the call";
    g_protected = FALSE;
    EXPECT_FALSE(UTL_IsIEProtectedMode());

    /* Before Windows 6.0 the library is not asked. */
    g_protected = TRUE;
    plat::version_set(5, 1, 2600, 3, VER_NT_WORKSTATION);
    UTL_ResetVersionCacheForTest();
    EXPECT_FALSE(UTL_IsIEProtectedMode());

    /* A library without the export. */
    plat::version_set(6, 1, 7601, 1, VER_NT_WORKSTATION);
    UTL_ResetVersionCacheForTest();
    plat::loader_unregister_fake(u"ieframe.dll");
    ASSERT_TRUE(plat::loader_register_fake(u"ieframe.dll", nullptr, {}));
    EXPECT_FALSE(UTL_IsIEProtectedMode());
}

} // namespace
