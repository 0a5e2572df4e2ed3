// The decorations drawn into a printer page, read back from the platform's
// log of drawing calls on the context, in order: a bitmap watermark placed
// and tiled (its placement escapes column by column), a refused placement
// (-1, the context restored), the text watermark with each frame shape,
// turned and tiled, the annotation lines (items sharing a position joined by
// " : ", the bracket always closed), and the page added at the end of the
// document for a sheet watermark and an annotation together.  The renderer's
// answers to the decoration escapes are scripted; the drawing reaches the
// real rendering library.
#include "doc_events.h"
#include "ui_test_support.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/gdi_dc.h>
#include <plat/memory.h>
#include <plat/msgbox.h>

#include <array>
#include <cmath>
#include <cstring>

namespace {

using namespace ui_test;

/* A 44-byte decoration query: the three flags, box A and box B. */
std::vector<BYTE> query(int sheet, int page, int annotation, std::array<float, 4> a, std::array<float, 4> b)
{
    std::vector<BYTE> q(44, 0);
    plat::store_u32(q.data(), 0, DWORD(sheet));
    plat::store_u32(q.data(), 4, DWORD(page));
    plat::store_u32(q.data(), 8, DWORD(annotation));
    std::memcpy(q.data() + 12, a.data(), 16);
    std::memcpy(q.data() + 28, b.data(), 16);
    return q;
}

/* A 24-bit bitmap file of w x h pixels at `ppm` pixels per metre, bottom-up, all grey. */
std::vector<uint8_t> bitmapFile(LONG w, LONG h, LONG ppm)
{
    const size_t stride = (size_t(w) * 3 + 3) / 4 * 4;
    std::vector<uint8_t> f(54 + stride * size_t(h), 0x80);
    std::memset(f.data(), 0, 54);
    f[0] = 'B';
    f[1] = 'M';
    plat::store_u32(f.data(), 2, DWORD(f.size()));
    plat::store_u32(f.data(), 10, 54);
    plat::store_u32(f.data(), 14, 40);
    plat::store_u32(f.data(), 18, DWORD(w));
    plat::store_u32(f.data(), 22, DWORD(h));
    plat::store_u16(f.data(), 26, 1);
    plat::store_u16(f.data(), 28, 24);
    plat::store_u32(f.data(), 38, DWORD(ppm));
    plat::store_u32(f.data(), 42, DWORD(ppm));
    return f;
}

std::vector<std::string> ops(const std::vector<plat::GdiDcCall> &log)
{
    std::vector<std::string> v;
    for (const auto &c : log)
        v.push_back(c.op);
    return v;
}

std::vector<plat::GdiDcCall> only(const std::vector<plat::GdiDcCall> &log, const std::string &op)
{
    std::vector<plat::GdiDcCall> v;
    for (const auto &c : log)
        if (c.op == op)
            v.push_back(c);
    return v;
}

constexpr char16_t kMark[] = u"C:\\marks\\mark.bmp";

/* Writes a number setting of the settings image, in its own type. */
void setNumber(BYTE *image, WORD id, int value) { setSetting(image, nullptr, id, value); }

class WatermarkDrawing : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        plat::msgbox_clear();
        writeMachineFile(kMark, bitmapFile(300, 300, 3780));
        dc = CreateDCW(nullptr, kColourPrinter, nullptr, nullptr);
        ASSERT_NE(dc, nullptr) << GetLastError();
        DOCINFOW di{sizeof(DOCINFOW), u"Decorated", nullptr, nullptr, 0};
        ASSERT_GT(StartDocW(dc, &di), 0) << GetLastError();
        ASSERT_GT(StartPage(dc), 0);
        plat::gdi_escape_clear();
        plat::gdi_dc_log_enable(true);
    }
    void TearDown() override
    {
        plat::gdi_dc_log_enable(false);
        if (dc) {
            EndPage(dc);
            EndDoc(dc);
            DeleteDC(dc);
        }
        UiTest::TearDown();
    }
    /* The state the drawing left: no saved level remains (a new save is level 1). */
    void expectRestored()
    {
        const int level = SaveDC(dc);
        EXPECT_EQ(level, 1) << "every saved state was restored";
        RestoreDC(dc, -1);
    }
    static LOGFONTW font(LONG points, LONG escapement = 0, LONG weight = FW_NORMAL, BYTE italic = 0)
    {
        LOGFONTW lf{};
        lf.lfHeight = points;
        lf.lfEscapement = escapement;
        lf.lfWeight = weight;
        lf.lfItalic = italic;
        const char16_t face[] = u"Arial";
        std::memcpy(lf.lfFaceName, face, sizeof face);
        return lf;
    }
    /* The text size the drawing measured (its DT_CALCRECT call). */
    static SIZE measured(const std::vector<plat::GdiDcCall> &log)
    {
        auto calc = only(log, "DrawTextW");
        EXPECT_EQ(calc.size(), 1u);
        if (calc.empty())
            return SIZE{0, 0};
        EXPECT_EQ(calc[0].args[0], long(DT_CALCRECT | DT_NOCLIP));
        return SIZE{LONG(calc[0].args[3] - calc[0].args[1]), LONG(calc[0].args[4] - calc[0].args[2])};
    }

    HDC dc = nullptr;
    const std::vector<BYTE> area = query(0, 1, 0, {100, 200, 5100, 4200}, {0, 0, 6000, 8000}); /* A: 5,000 x 4,000 */
};

} // namespace

TEST_F(WatermarkDrawing, APlacedBitmap)
{
    /* 300 pixels at 3,780 per metre, scale 500, 600 dpi: 937; centred across, at the bottom of 5,000 x 4,000. */
    EXPECT_EQ(DOC_DrawBitmapWatermark(dc, area.data(), 600, 0x0203, kMark, TRUE, 500, DOC_BOX_PAGE), 1);
    auto log = plat::gdi_dc_log();
    EXPECT_EQ(ops(log), (std::vector<std::string>{"SaveDC", "SetMapMode", "SetViewportOrgEx", "SelectClipRgn",
                                                  "StretchDIBits", "RestoreDC"}));
    const auto blit = only(log, "StretchDIBits");
    ASSERT_EQ(blit.size(), 1u);
    EXPECT_EQ(blit[0].args, (std::vector<long>{2031, 3063, 937, 937, 0, 0, 300, 300, long(SRCAND)}));
    EXPECT_EQ(blit[0].answer, 300) << "the renderer took the image";
    EXPECT_EQ(only(log, "SetMapMode")[0].args[0], MM_TEXT);
    expectRestored();
}

TEST_F(WatermarkDrawing, ATiledBitmapPlacesItsTilesColumnByColumn)
{
    /* 1,874 x 1,874 tiles over 5,000 x 4,000: 3 columns of 3. */
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, 1, 9);
    EXPECT_EQ(DOC_DrawBitmapWatermark(dc, area.data(), 600, 0, kMark, FALSE, 1000, DOC_BOX_PAGE), 1);
    auto log = plat::gdi_dc_log();
    std::vector<std::vector<long>> placements;
    size_t blits = 0;
    for (size_t i = 0; i < log.size(); i++) {
        if (log[i].op == "ExtEscape") {
            placements.push_back({log[i].args[1], log[i].args[2]});
            ASSERT_LT(i + 1, log.size());
            EXPECT_EQ(log[i + 1].op, "StretchDIBits") << "each tile follows its placement";
        }
        if (log[i].op == "StretchDIBits") {
            blits++;
            EXPECT_EQ(log[i].args, (std::vector<long>{0, 0, 1874, 1874, 0, 0, 300, 300, long(SRCCOPY)}));
        }
    }
    EXPECT_EQ(placements, (std::vector<std::vector<long>>{{0, 0}, {0, 1874}, {0, 3748}, {1874, 0}, {1874, 1874},
                                                          {1874, 3748}, {3748, 0}, {3748, 1874}, {3748, 3748}}));
    EXPECT_EQ(blits, 9u);
    EXPECT_EQ(log.back().op, "RestoreDC");
}

TEST_F(WatermarkDrawing, ARefusedPlacementFailsWithTheContextRestored)
{
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, 1, 1);
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, -1, 1);
    EXPECT_EQ(DOC_DrawBitmapWatermark(dc, area.data(), 600, 0, kMark, FALSE, 1000, DOC_BOX_PAGE), -1);
    auto log = plat::gdi_dc_log();
    EXPECT_EQ(only(log, "ExtEscape").size(), 2u) << "nothing after the refused placement";
    EXPECT_EQ(only(log, "StretchDIBits").size(), 1u);
    EXPECT_EQ(log.back().op, "RestoreDC");
    EXPECT_TRUE(log.back().answer);
    expectRestored();

    plat::gdi_dc_log_enable(true);
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, -1, 1);
    const LOGFONTW lf = font(36);
    EXPECT_EQ(DOC_DrawTextWatermark(dc, area.data(), 600, 0, &lf, u"DRAFT", RGB(255, 0, 0), 0, 0, 1, DOC_BOX_PAGE),
              -1);
    log = plat::gdi_dc_log();
    EXPECT_EQ(only(log, "TextOutW").size(), 0u);
    EXPECT_EQ(log.back().op, "RestoreDC");
    expectRestored();
}

TEST_F(WatermarkDrawing, ABitmapThatCannotBeReadDrawsNothingAndFailsThePage)
{
    SetLastError(0);
    EXPECT_EQ(DOC_DrawBitmapWatermark(dc, area.data(), 600, 0x0202, u"C:\\marks\\none.bmp", FALSE, 1000, 1), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    auto log = plat::gdi_dc_log();
    EXPECT_EQ(only(log, "StretchDIBits").size(), 0u);
    EXPECT_EQ(log.back().op, "RestoreDC");
    EXPECT_EQ(DOC_DrawBitmapWatermark(nullptr, area.data(), 600, 0x0202, kMark, FALSE, 1000, 1), -1);
}

TEST_F(WatermarkDrawing, TextWithoutAFrameCentredOnThePage)
{
    const LOGFONTW lf = font(36);
    EXPECT_EQ(DOC_DrawTextWatermark(dc, area.data(), 600, 0x0202, &lf, u"DRAFT", RGB(0, 128, 255), 0, 0, 0,
                                    DOC_BOX_PAGE),
              1);
    auto log = plat::gdi_dc_log();
    EXPECT_EQ(ops(log), (std::vector<std::string>{"SaveDC", "SetTextAlign", "SetMapMode", "SetViewportOrgEx",
                                                  "SetBkMode", "SelectClipRgn", "SelectFont", "DrawTextW",
                                                  "SetTextColor", "SetROP2", "TextOutW", "RestoreDC"}));
    const SIZE t = measured(log);
    EXPECT_GT(t.cx, 600) << "five capitals of 300 pixels";
    EXPECT_GT(t.cy, 250);
    EXPECT_EQ(only(log, "SetBkMode")[0].args[0], TRANSPARENT);
    EXPECT_EQ(only(log, "SetTextAlign")[0].args[0], 0);
    EXPECT_EQ(only(log, "SetTextColor")[0].args[0], long(RGB(0, 128, 255)));
    EXPECT_EQ(only(log, "SetROP2")[0].args[0], R2_COPYPEN);
    const auto text = only(log, "TextOutW");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0].text, u"DRAFT");
    EXPECT_NEAR(text[0].args[0], (5000 - t.cx) / 2, 1);
    EXPECT_NEAR(text[0].args[1], (4000 - t.cy) / 2, 1);
    expectRestored();
}

TEST_F(WatermarkDrawing, TextInARectangleFrame)
{
    /* 36 points at 600 dpi: 300 pixels; the pen 300 x 0.06 = 18; the frame 1.2 times the text plus the pen. */
    const LOGFONTW lf = font(36);
    EXPECT_EQ(DOC_DrawTextWatermark(dc, area.data(), 600, 0x0101, &lf, u"DRAFT", RGB(255, 0, 0), 0, 0, 1,
                                    DOC_BOX_PAGE),
              1);
    auto log = plat::gdi_dc_log();
    EXPECT_EQ(ops(log), (std::vector<std::string>{"SaveDC", "SetTextAlign", "SetMapMode", "SetViewportOrgEx",
                                                  "SetBkMode", "SelectClipRgn", "SelectFont", "DrawTextW",
                                                  "SelectPen", "SelectBrush", "SetTextColor", "SetROP2", "TextOutW",
                                                  "Polygon", "RestoreDC"}));
    const SIZE t = measured(log);
    const long fw = long(t.cx * 1.2 + 18), fh = long(t.cy * 1.2 + 18);
    const auto text = only(log, "TextOutW");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_NEAR(text[0].args[0], (fw - t.cx) / 2.0, 1) << "centred in the frame at the top left";
    EXPECT_NEAR(text[0].args[1], (fh - t.cy) / 2.0, 1);
    const auto frame = only(log, "Polygon");
    ASSERT_EQ(frame.size(), 1u);
    const std::vector<long> corners = {9, 9, fw - 9, 9, fw - 9, fh - 9, 9, fh - 9};
    ASSERT_EQ(frame[0].args.size(), corners.size());
    for (size_t i = 0; i < corners.size(); i++)
        EXPECT_NEAR(frame[0].args[i], corners[i], 1) << "corner value " << i;
    EXPECT_TRUE(frame[0].answer) << "the frame reached the renderer";
}

TEST_F(WatermarkDrawing, AnItalicBoldTextInAnEllipseTurnedAQuarter)
{
    /* Bold: pen 300 x 0.07 = 21; the circle's diameter the text's diagonal plus two pens, turned about its centre. */
    const LOGFONTW lf = font(36, 900, FW_BOLD, 1);
    EXPECT_EQ(DOC_DrawTextWatermark(dc, area.data(), 600, 0x0202, &lf, u"COPY", RGB(0, 0, 0), 0, 0, 2, DOC_BOX_PAGE),
              1);
    auto log = plat::gdi_dc_log();
    const SIZE t = measured(log);
    const double tw = t.cx + t.cy * 0.2679492;
    const double d = std::floor(std::sqrt(tw * tw + double(t.cy) * t.cy) + 42);
    const auto ellipse = only(log, "Ellipse");
    ASSERT_EQ(ellipse.size(), 1u);
    const long l = ellipse[0].args[0], top = ellipse[0].args[1], r = ellipse[0].args[2], b = ellipse[0].args[3];
    EXPECT_NEAR(r - l, d - 21, 2) << "the frame less the pen";
    EXPECT_NEAR(b - top, d - 21, 2);
    EXPECT_NEAR((l + r) / 2.0, 2500, 2) << "centred on the page";
    EXPECT_NEAR((top + b) / 2.0, 2000, 2);
    /* The text's corner turned a quarter about the centre: x left of centre by half its height, y below by half its width. */
    const auto text = only(log, "TextOutW");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_NEAR(text[0].args[0], 2500 - t.cy / 2.0, 2);
    EXPECT_NEAR(text[0].args[1], 2000 + tw / 2.0, 2);
}

TEST_F(WatermarkDrawing, TiledTextSendsEachCopysOffsetFromTheFirst)
{
    const LOGFONTW lf = font(36);
    const auto big = query(0, 1, 0, {0, 0, 3000, 1000}, {0, 0, 0, 0});
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, 1, 1000);
    EXPECT_EQ(DOC_DrawTextWatermark(dc, big.data(), 600, 0, &lf, u"X", RGB(0, 0, 0), 0, 0, 0, DOC_BOX_PAGE), 1);
    auto log = plat::gdi_dc_log();
    const SIZE t = measured(log);
    ASSERT_GT(t.cx, 0);
    const long columns = (3000 + t.cx - 1) / t.cx, rows = (1000 + t.cy - 1) / t.cy;
    const auto escapes = only(log, "ExtEscape");
    const auto text = only(log, "TextOutW");
    ASSERT_EQ(escapes.size(), size_t(columns * rows));
    ASSERT_EQ(text.size(), escapes.size());
    for (long i = 0; i < columns * rows; i++) {
        const long dx = (i % columns) * t.cx, dy = (i / columns) * t.cy;
        EXPECT_EQ(escapes[size_t(i)].args, (std::vector<long>{ESC_WATERMARK_PLACEMENT, dx, dy})) << i;
        EXPECT_EQ(text[size_t(i)].args, (std::vector<long>{dx, dy})) << "page watermark: drawn where it lies " << i;
    }
}

TEST_F(WatermarkDrawing, AnotherFrameShapeFails)
{
    const LOGFONTW lf = font(36);
    EXPECT_EQ(DOC_DrawTextWatermark(dc, area.data(), 600, 0x0202, &lf, u"X", 0, 0, 0, 3, DOC_BOX_PAGE), -1);
    auto log = plat::gdi_dc_log();
    EXPECT_EQ(only(log, "TextOutW").size(), 0u);
    EXPECT_EQ(log.back().op, "RestoreDC");
    expectRestored();
    EXPECT_EQ(DOC_DrawTextWatermark(nullptr, area.data(), 600, 0x0202, &lf, u"X", 0, 0, 0, 0, DOC_BOX_PAGE), -1);
}

namespace {

/* An annotation record: positions per item, the texts and the sheet number. */
std::vector<BYTE> annotation(std::array<WORD, 6> positions, WORD sheet)
{
    std::vector<BYTE> info(768, 0);
    plat::store_u32(info.data(), 0, 1);
    for (size_t i = 0; i < 6; i++)
        plat::store_u16(info.data(), 4 + 2 * i, positions[i]);
    auto put = [&](size_t at, std::u16string_view s) {
        for (size_t i = 0; i < s.size(); i++)
            plat::store_u16(info.data(), at + 2 * i, s[i]);
    };
    put(16, u"alice");
    put(208, u"Report.doc");
    put(732, u"2026-12-11");
    put(754, u"10:30");
    plat::store_u16(info.data(), 730, sheet);
    return info;
}

} // namespace

TEST_F(WatermarkDrawing, AnnotationItemsSharingAPositionShareALine)
{
    std::vector<BYTE> settings(DOC_SETTINGS_IMAGE_SIZE);
    ASSERT_EQ(DOC_Escape(dc, ESC_GET_SETTINGS, nullptr, 0, settings.data(), settings.size()), 1);
    /* The annotation font is read from the settings: 10 points. */
    const LOGFONTW small = font(10);
    const LOGFONTW *smallFont = &small;
    ASSERT_EQ(DMB_SetValue(357, settings.data(), nullptr, SVT_LOGFONT, LONG(sizeof small), &smallFont), DMA_OK);
    LOGFONTW read{};
    DOC_GetFont(settings.data(), nullptr, 357, &read);
    EXPECT_EQ(read.lfHeight, 10);
    /* user, (empty) user and host and document at the top left; the sheet number and time at the bottom right */
    plat::gdi_escape_script(ESC_GET_ANNOTATION, 1, 1, annotation({0x0101, 0x0101, 0x0101, 0x0303, 0xFFFF, 0x0303}, 7));
    plat::gdi_escape_script(ESC_ANNOTATION_MODE, 1, 2);
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, 1, 2);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawAnnotation(dc, settings.data(), area.data()), 1);
    auto log = plat::gdi_dc_log();
    const auto text = only(log, "TextOutW");
    ASSERT_EQ(text.size(), 2u);
    EXPECT_EQ(text[0].text, u"alice : Report.doc");
    EXPECT_EQ(text[1].text, u"7 : 10:30");
    /* A placed line is drawn less its placement: at the origin. */
    EXPECT_EQ(text[0].args, (std::vector<long>{0, 0}));
    EXPECT_EQ(text[1].args, (std::vector<long>{0, 0}));
    const auto escapes = only(log, "ExtEscape");
    ASSERT_EQ(escapes.size(), 5u);
    EXPECT_EQ(escapes[0].args, (std::vector<long>{ESC_GET_ANNOTATION}));
    EXPECT_EQ(escapes[1].args, (std::vector<long>{ESC_ANNOTATION_MODE, 1}));
    EXPECT_EQ(escapes[2].args, (std::vector<long>{ESC_WATERMARK_PLACEMENT, 0, 0})) << "the top left of box B";
    EXPECT_EQ(escapes[3].args[0], ESC_WATERMARK_PLACEMENT);
    EXPECT_GT(escapes[3].args[1], 5000) << "the bottom right of box B (6,000 x 8,000)";
    EXPECT_GT(escapes[3].args[2], 7000);
    EXPECT_EQ(escapes[4].args, (std::vector<long>{ESC_ANNOTATION_MODE, 0}));
}

TEST_F(WatermarkDrawing, TheAnnotationBracketIsAlwaysClosed)
{
    std::vector<BYTE> settings(DOC_SETTINGS_IMAGE_SIZE);
    ASSERT_EQ(DOC_Escape(dc, ESC_GET_SETTINGS, nullptr, 0, settings.data(), settings.size()), 1);
    /* A line that fails: -1, the bracket still closed. */
    plat::gdi_escape_script(ESC_GET_ANNOTATION, 1, 1, annotation({0x0101, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 1));
    plat::gdi_escape_script(ESC_ANNOTATION_MODE, 1, 2);
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, -1, 1);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawAnnotation(dc, settings.data(), area.data()), -1);
    auto escapes = only(plat::gdi_dc_log(), "ExtEscape");
    ASSERT_FALSE(escapes.empty());
    EXPECT_EQ(escapes.back().args, (std::vector<long>{ESC_ANNOTATION_MODE, 0}));

    /* No item to print: nothing drawn, success, the bracket closed. */
    plat::gdi_escape_script(ESC_GET_ANNOTATION, 1, 1, annotation({0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 1));
    plat::gdi_escape_script(ESC_ANNOTATION_MODE, 1, 2);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawAnnotation(dc, settings.data(), area.data()), 1);
    auto log = plat::gdi_dc_log();
    EXPECT_EQ(only(log, "TextOutW").size(), 0u);
    EXPECT_EQ(only(log, "ExtEscape").back().args, (std::vector<long>{ESC_ANNOTATION_MODE, 0}));

    /* Annotation off in the record: 1 without a bracket; a refused record: -1. */
    std::vector<BYTE> off = annotation({0x0101, 0, 0, 0, 0, 0}, 1);
    plat::store_u32(off.data(), 0, 0);
    plat::gdi_escape_script(ESC_GET_ANNOTATION, 1, 1, off);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawAnnotation(dc, settings.data(), area.data()), 1);
    EXPECT_EQ(only(plat::gdi_dc_log(), "ExtEscape").size(), 1u);
    plat::gdi_escape_script(ESC_GET_ANNOTATION, -1, 1);
    EXPECT_EQ(DOC_DrawAnnotation(dc, settings.data(), area.data()), -1);
}

TEST_F(WatermarkDrawing, TheWatermarkBracketAndTheBoxOfEachKind)
{
    std::vector<BYTE> settings(DOC_SETTINGS_IMAGE_SIZE);
    ASSERT_EQ(DOC_Escape(dc, ESC_GET_SETTINGS, nullptr, 0, settings.data(), settings.size()), 1);
    /* Nothing configured: 1, nothing sent. */
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawWatermark(dc, settings.data(), area.data()), 1);
    EXPECT_TRUE(plat::gdi_dc_log().empty());

    const WCHAR *file = kMark;
    ASSERT_EQ(DMB_SetValue(1857, settings.data(), nullptr, SVT_WSTRING, LONG(sizeof kMark), &file), 0);
    int scale = 1000, position = 0x0101, sheet = 0;
    setNumber(settings.data(), 1856, int(scale));
    setNumber(settings.data(), 303, int(position));
    setNumber(settings.data(), 1288, int(sheet));
    const int dpi = int(DOC_GetNumber(settings.data(), nullptr, 20));
    ASSERT_GT(dpi, 0);

    /* A page watermark: placed at the top left of box A inside the bracket. */
    plat::gdi_escape_script(ESC_WATERMARK_MODE, 1, 2);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawWatermark(dc, settings.data(), area.data()), 1);
    auto log = plat::gdi_dc_log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.front().args, (std::vector<long>{ESC_WATERMARK_MODE, 1}));
    EXPECT_EQ(log.back().args, (std::vector<long>{ESC_WATERMARK_MODE, 0}));
    const long side = long(300.0 / 3780 * 1000 * dpi / 25.4);
    EXPECT_EQ(only(log, "StretchDIBits").at(0).args,
              (std::vector<long>{0, 0, side, side, 0, 0, 300, 300, long(SRCCOPY)}));

    /* A sheet watermark: tiled over box B (6,000 x 8,000), each tile placed. */
    sheet = 1;
    setNumber(settings.data(), 1288, int(sheet));
    plat::gdi_escape_script(ESC_WATERMARK_MODE, 1, 2);
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, 1, 1000);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawWatermark(dc, settings.data(), area.data()), 1);
    log = plat::gdi_dc_log();
    const long tiles = ((6000 + side - 1) / side) * ((8000 + side - 1) / side);
    EXPECT_EQ(only(log, "StretchDIBits").size(), size_t(tiles));
    EXPECT_EQ(log.back().args, (std::vector<long>{ESC_WATERMARK_MODE, 0}));

    /* A refused opening bracket: -1 and nothing drawn; a failed drawing still closes the bracket. */
    plat::gdi_escape_clear();
    plat::gdi_escape_script(ESC_WATERMARK_MODE, -1, 1);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawWatermark(dc, settings.data(), area.data()), -1);
    EXPECT_EQ(plat::gdi_dc_log().size(), 1u);
    plat::gdi_escape_script(ESC_WATERMARK_MODE, 1, 2);
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, -1, 1);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_DrawWatermark(dc, settings.data(), area.data()), -1);
    EXPECT_EQ(plat::gdi_dc_log().back().args, (std::vector<long>{ESC_WATERMARK_MODE, 0}));
}

TEST_F(WatermarkDrawing, AtTheEndOfTheDocumentTheSheetDecorationsShareOneAddedPage)
{
    std::vector<BYTE> settings(DOC_SETTINGS_IMAGE_SIZE);
    ASSERT_EQ(DOC_Escape(dc, ESC_GET_SETTINGS, nullptr, 0, settings.data(), settings.size()), 1);
    const WCHAR *file = kMark;
    ASSERT_EQ(DMB_SetValue(1857, settings.data(), nullptr, SVT_WSTRING, LONG(sizeof kMark), &file), 0);
    int on = 1, scale = 1000;
    setNumber(settings.data(), 1288, int(on));
    setNumber(settings.data(), 1856, int(scale));
    EndPage(dc); /* the application's last page */

    const auto due = query(1, 0, 1, {0, 0, 0, 0}, {0, 0, 2000, 2000});
    plat::gdi_escape_clear();
    plat::gdi_escape_script(ESC_QUERY_DECORATIONS, 1, 1, due);
    plat::gdi_escape_script(ESC_GET_SETTINGS, 1, 1, settings);
    plat::gdi_escape_script(ESC_WATERMARK_MODE, 1, 2);
    plat::gdi_escape_script(ESC_WATERMARK_PLACEMENT, 1, 100);
    plat::gdi_escape_script(ESC_GET_ANNOTATION, 1, 1, annotation({0x0101, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 2));
    plat::gdi_escape_script(ESC_ANNOTATION_MODE, 1, 2);
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_OnEndPage(nullptr, dc, 1), 1);
    auto log = plat::gdi_dc_log();
    std::vector<std::string> outline;
    for (const auto &c : log) {
        if (c.op == "StartPage" || c.op == "EndPage" || c.op == "TextOutW" ||
            (c.op == "StretchDIBits" && (outline.empty() || outline.back() != "StretchDIBits")) ||
            (c.op == "ExtEscape" && (c.args[0] == ESC_WATERMARK_MODE || c.args[0] == ESC_ANNOTATION_MODE)))
            outline.push_back(c.op == "ExtEscape" ? "ExtEscape " + std::to_string(c.args[0]) + "," +
                                                        std::to_string(c.args.size() > 1 ? c.args[1] : -1)
                                                  : c.op);
    }
    const std::string wm = std::to_string(ESC_WATERMARK_MODE), an = std::to_string(ESC_ANNOTATION_MODE);
    EXPECT_EQ(outline, (std::vector<std::string>{"StartPage", "ExtEscape " + wm + ",1", "StretchDIBits",
                                                 "ExtEscape " + wm + ",0", "ExtEscape " + an + ",1", "TextOutW",
                                                 "ExtEscape " + an + ",0", "EndPage"}));
    /* At the end of a page nothing is added. */
    plat::gdi_escape_script(ESC_QUERY_DECORATIONS, 1, 1, query(0, 0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}));
    plat::gdi_dc_log_enable(true);
    EXPECT_EQ(DOC_OnEndPage(nullptr, dc, 0), 1);
    EXPECT_EQ(only(plat::gdi_dc_log(), "StartPage").size(), 0u);
    StartPage(dc);
}
