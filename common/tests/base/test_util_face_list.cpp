// The TrueType full-name list of the font-substitution dialog, collected
// through EnumFontFamiliesW over a fixed catalogue of faces.
#include "test_res_support.h"

#include <tarvel/base/font_sub_work.h>
#include <tarvel/base/util_ui_services.h>

#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/fault.h>
#include <plat/memory.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class UtilFaceList : public res_test::MachineTest {
protected:
    void SetUp() override
    {
        res_test::MachineTest::SetUp();
        plat::font_catalogue_set_fonts({
            {u"DejaVu Sans", u"DejaVu Sans", u"Book", 400, false, "/fonts/DejaVuSans.ttf", 0},
            {u"DejaVu Sans", u"DejaVu Sans Bold", u"Bold", 700, false, "/fonts/DejaVuSans-Bold.ttf", 0},
            {u"DejaVu Sans Light", u"DejaVu Sans ExtraLight", u"ExtraLight", 200, false, "/fonts/x.ttf", 0},
            {u"DejaVu Sans Mono", u"DejaVu Sans Mono", u"Book", 400, false, "/fonts/DejaVuSansMono.ttf", 0},
            /* a second file of a face already listed: named once */
            {u"DejaVu Sans Mono", u"DejaVu Sans Mono", u"Book", 400, false, "/other/DejaVuSansMono.ttf", 0},
        });
    }

    static int families(const LOGFONTW *font, const TEXTMETRICW *metrics, DWORD type, LPARAM data)
    {
        return UTL_EnumFamilyFontsProc(font, metrics, type, data);
    }

    static std::vector<std::u16string> names(const FontSubWork *work)
    {
        std::vector<std::u16string> out;
        for (const FaceNameNode *n = work->faces; n; n = n->next)
            out.push_back(n->face);
        return out;
    }
};

TEST_F(UtilFaceList, EveryTrueTypeFullNameOnceInEnumerationOrder)
{
    auto *work = static_cast<FontSubWork *>(GlobalAlloc(GPTR, sizeof(FontSubWork)));
    work->allWentWell = TRUE;
    EnumFontFamiliesW(nullptr, nullptr, families, reinterpret_cast<LPARAM>(work));
    const std::vector<std::u16string> expected{u"DejaVu Sans", u"DejaVu Sans Bold", u"DejaVu Sans ExtraLight",
                                               u"DejaVu Sans Mono"};
    EXPECT_EQ(names(work), expected);
    EXPECT_EQ(work->faceCount, 4u);
    EXPECT_EQ(work->faceBytes, 2u * (12 + 17 + 23 + 17));
    EXPECT_TRUE(work->allWentWell);

    /* the dialog's buffers go with the record */
    work->table = static_cast<LPWSTR>(GlobalAlloc(GPTR, 8));
    work->deviceFontNames = static_cast<WCHAR(*)[FONT_SUB_NAME_CHARS]>(GlobalAlloc(GPTR, 2 * 66));
    UTL_FreeFaceNameList(work);
    UTL_FreeFaceNameList(nullptr);
}

TEST_F(UtilFaceList, OtherFontTypesAreSkippedAndNoRecordStops)
{
    ENUMLOGFONTW font{};
    std::u16string name = u"Courier";
    std::copy(name.begin(), name.end(), font.elfFullName);
    FontSubWork work{};
    EXPECT_EQ(UTL_CollectFullNameProc(&font, nullptr, DEVICE_FONTTYPE, reinterpret_cast<LPARAM>(&work)), 1);
    EXPECT_EQ(UTL_EnumFamilyFontsProc(&font, nullptr, DEVICE_FONTTYPE, reinterpret_cast<LPARAM>(&work)), 1);
    EXPECT_EQ(work.faces, nullptr);
    EXPECT_EQ(UTL_CollectFullNameProc(&font, nullptr, TRUETYPE_FONTTYPE, 0), 0);
    EXPECT_EQ(UTL_EnumFamilyFontsProc(&font, nullptr, TRUETYPE_FONTTYPE, 0), 0);
}

TEST_F(UtilFaceList, AFullNameWithoutTerminatorIsKeptWhole)
{
    ENUMLOGFONTW font{};
    for (WCHAR &c : font.elfFullName)
        c = u'x';
    auto *work = static_cast<FontSubWork *>(GlobalAlloc(GPTR, sizeof(FontSubWork)));
    EXPECT_EQ(UTL_CollectFullNameProc(&font, nullptr, TRUETYPE_FONTTYPE, reinterpret_cast<LPARAM>(work)), 1);
    ASSERT_NE(work->faces, nullptr);
    EXPECT_EQ(std::u16string(work->faces->face), std::u16string(LF_FULLFACESIZE, u'x'));
    UTL_FreeFaceNameList(work);
}

TEST_F(UtilFaceList, NoMemoryStopsTheCollectionAndMarksTheListIncomplete)
{
    ENUMLOGFONTW font{};
    std::u16string name = u"DejaVu Sans";
    std::copy(name.begin(), name.end(), font.elfFullName);
    for (unsigned failing : {1u, 2u}) { /* the node, then the name's text */
        auto *work = static_cast<FontSubWork *>(GlobalAlloc(GPTR, sizeof(FontSubWork)));
        work->allWentWell = TRUE;
        plat::fault_fail_alloc_after(failing);
        EXPECT_EQ(UTL_CollectFullNameProc(&font, nullptr, TRUETYPE_FONTTYPE, reinterpret_cast<LPARAM>(work)), 0);
        EXPECT_FALSE(work->allWentWell);
        EXPECT_EQ(work->faces, nullptr);
        EXPECT_EQ(work->faceCount, 0u);
        UTL_FreeFaceNameList(work);
    }
}

} // namespace
