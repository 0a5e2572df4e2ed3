// The resource compiler: exact container bytes for a small source, a round
// trip of every statement kind through the platform's reader, the shipped
// resources compiled again, and the errors of bad sources.
#include <tarvel/rc.h>

#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/error.h>
#include <plat/raster.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class RcFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tarvel-rc-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string &name, const std::string &bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
    }

    /* Parses `src` as file "t.trc" in the test folder. */
    bool parse(const std::string &src, rc::Project &p) { return rc::parse_source(src, "t.trc", dir.string(), p); }

    plat::RsrcImagePtr compile(const std::string &src)
    {
        rc::Project p;
        EXPECT_TRUE(parse(src, p)) << (p.errors.empty() ? "" : p.errors[0].text());
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(rc::write_container(p, bytes));
        plat::RsrcImagePtr img;
        EXPECT_EQ(plat::rsrc_open_image(bytes, img), plat::RsrcStatus::ok);
        return img;
    }

    fs::path dir;
};

/* A 24-bit bottom-up .bmp file of cx x cy pixels; `colour(x, y)` gives 0x00RRGGBB of line y (top first). */
template <typename Colour>
std::string bmp24(int cx, int cy, Colour colour)
{
    const size_t stride = (size_t(cx) * 3 + 3) / 4 * 4;
    std::string b(54 + stride * size_t(cy), '\0');
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + size_t(i)] = char(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, uint32_t(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(cx));
    put32(22, uint32_t(cy));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            const long v = colour(x, y);
            const size_t at = 54 + size_t(cy - 1 - y) * stride + size_t(x) * 3;
            b[at] = char(v);
            b[at + 1] = char(v >> 8);
            b[at + 2] = char(v >> 16);
        }
    return b;
}

std::string read_all(const fs::path &p)
{
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

std::string data_of(const plat::RsrcImage &img, const plat::RsrcKey &type, const plat::RsrcKey &id)
{
    std::span<const BYTE> d;
    if (!plat::rsrc_find(img, type, id, d))
        return "<missing>";
    return std::string(d.begin(), d.end());
}

} // namespace

TEST_F(RcFiles, SmallSourceGivesTheseBytes)
{
    write("d.bin", "xyz");
    rc::Project p;
    ASSERT_TRUE(parse("STRING 1 \"A\"\nRCDATA name \"d.bin\"\n", p));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(rc::write_container(p, bytes));

    std::vector<uint8_t> want = {
        'T', 'X', 'R', 'S', 1, 0, 32, 0, // magic, version 1, header size 32
        2, 0, 0, 0,                      // two entries
        32, 0, 0, 0,                     // directory at 32
        64, 0, 0, 0, 10, 0, 0, 0,        // name pool at 64, 10 bytes
        147, 0, 0, 0, 0, 0, 0, 0,        // file size 147, reserved
        // directory: (6, 1) string block at 76, 66 bytes; (10, name at 0) at 144, 3 bytes
        6, 0, 0, 0, 1, 0, 0, 0, 76, 0, 0, 0, 66, 0, 0, 0,
        10, 0, 0, 0, 0, 0, 0, 0x80, 144, 0, 0, 0, 3, 0, 0, 0,
        // name pool: "NAME" (stored in capitals), then 2 bytes of padding
        4, 0, 'N', 0, 'A', 0, 'M', 0, 'E', 0, 0, 0,
        // string block 1: string 0 absent, string 1 "A", strings 2-15 absent
        0, 0, 0, 0, 1, 0, 'A', 0, 0, 0};
    for (int i = 2; i < 16; ++i)
        want.insert(want.end(), {0, 0, 0, 0});
    want.insert(want.end(), {0, 0, 'x', 'y', 'z'});
    EXPECT_EQ(bytes, want);
}

TEST_F(RcFiles, EveryStatementRoundTrips)
{
    write("d.bin", std::string("a\0b", 3));
    write("empty.bin", "");
    // a 1x1 24-bit BMP: 14-byte file header, 40-byte info header, one padded row
    std::string bmp = std::string("BM") + std::string(12, '\0') + std::string("\x28\0\0\0", 4) + std::string(36, '\1') +
                      std::string("\x10\x20\x30\0", 4);
    write("p.bmp", bmp);
    auto img = compile("# comment line\n"
                       "\n"
                       "STRING 0 \"zero\"   # trailing comment\n"
                       "STRING 65535 \"last\"\n"
                       "STRING 0x10 \"tab\\there\\n\\\"q\\\" \\\\ \\x41\\u00e9\\U0001F600\"\n"
                       "STRING 17 \"caf\xC3\xA9 # not a comment\" \" joined\"\n"
                       "RCDATA 7 \"d.bin\"\n"
                       "RCDATA Logo \"empty.bin\"\n"
                       "BITMAP 101 \"p.bmp\"\n"
                       "RESOURCE 260 6 \"d.bin\"\n"
                       "RESOURCE glyphs_2 x \"d.bin\"\n");
    ASSERT_NE(img, nullptr);
    struct {
        UINT id;
        std::u16string text;
    } strings[] = {
        {0, u"zero"},
        {65535, u"last"},
        {16, u"tab\there\n\"q\" \\ A\u00e9\U0001F600"},
        {17, u"caf\u00e9 # not a comment joined"},
    };
    for (const auto &s : strings) {
        std::u16string_view got;
        ASSERT_TRUE(plat::rsrc_string(*img, s.id, got)) << s.id;
        EXPECT_EQ(got, s.text) << s.id;
    }
    std::u16string_view none;
    EXPECT_FALSE(plat::rsrc_string(*img, 1, none));
    EXPECT_EQ(data_of(*img, plat::rsrc_number(10), plat::rsrc_number(7)), std::string("a\0b", 3));
    EXPECT_EQ(data_of(*img, plat::rsrc_number(10), plat::rsrc_name(u"logo")), "");
    EXPECT_EQ(data_of(*img, plat::rsrc_number(2), plat::rsrc_number(101)), bmp.substr(14));
    EXPECT_EQ(data_of(*img, plat::rsrc_number(260), plat::rsrc_number(6)), std::string("a\0b", 3));
    EXPECT_EQ(data_of(*img, plat::rsrc_name(u"GLYPHS_2"), plat::rsrc_name(u"X")), std::string("a\0b", 3));
}

/*
 * An ICON statement turns a .bmp file with a magenta background into the
 * icon form: bottom-up 24-bit colour rows with the transparent pixels
 * black, then the mask rows.  The bytes of a 2 x 2 icon are written out by
 * hand; the module's images then load through the platform.
 */
TEST_F(RcFiles, IconsAndBitmapsLoadAsPictures)
{
    /* Line 0: red, magenta; line 1: magenta, blue. */
    write("i.bmp", bmp24(2, 2, [](int x, int y) {
              static const long px[2][2] = {{0xFF0000, 0xFF00FF}, {0xFF00FF, 0x0000FF}};
              return px[y][x];
          }));
    write("b.bmp", bmp24(3, 1, [](int x, int) { return x == 0 ? 0x00FF00L : 0x102030L; }));
    plat::RsrcImagePtr img = compile("ICON 252 \"i.bmp\"\nBITMAP 373 \"b.bmp\"\n");
    ASSERT_TRUE(img);
    std::span<const BYTE> icon;
    ASSERT_TRUE(plat::rsrc_find(*img, plat::rsrc_number(3), plat::rsrc_number(252), icon));
    const BYTE header[40] = {40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 24, 0, 0, 0};
    const BYTE rows[24] = {
        0, 0, 0, 0xFF, 0, 0, 0, 0,    /* line 1 first: transparent (black), blue */
        0, 0, 0xFF, 0, 0, 0, 0, 0,    /* line 0: red, transparent (black) */
        0x80, 0, 0, 0, 0x40, 0, 0, 0, /* masks: line 1 left pixel, line 0 right pixel */
    };
    ASSERT_EQ(icon.size(), 64u);
    EXPECT_TRUE(std::equal(header, header + 40, icon.begin()));
    EXPECT_TRUE(std::equal(rows, rows + 24, icon.begin() + 40));

    rc::Project p;
    ASSERT_TRUE(parse("ICON 252 \"i.bmp\"\nBITMAP 373 \"b.bmp\"\n", p));
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(rc::write_container(p, bytes));
    HMODULE module = plat::rsrc_open_bytes(bytes);
    ASSERT_NE(module, nullptr);
    HICON i = LoadIconW(module, MAKEINTRESOURCEW(252));
    ASSERT_NE(i, nullptr);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(i, &ii));
    BITMAP bm{};
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 32) << "LoadIconW gives the system icon size";
    EXPECT_EQ(plat::bitmap_pixel(ii.hbmColor, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(plat::bitmap_pixel(ii.hbmColor, 31, 31), RGB(0, 0, 255));
    EXPECT_EQ(plat::bitmap_pixel(ii.hbmMask, 31, 0), RGB(255, 255, 255)) << "transparent";
    EXPECT_EQ(plat::bitmap_pixel(ii.hbmMask, 0, 0), RGB(0, 0, 0)) << "opaque";
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    DestroyIcon(i);
    HICON stored = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(252), IMAGE_ICON, 0, 0, 0));
    ASSERT_NE(stored, nullptr);
    ASSERT_TRUE(GetIconInfo(stored, &ii));
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 2) << "size 0 without LR_DEFAULTSIZE is the stored size";
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    DestroyIcon(stored);

    HBITMAP b = LoadBitmapW(module, MAKEINTRESOURCEW(373));
    ASSERT_NE(b, nullptr);
    GetObjectW(b, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(plat::bitmap_pixel(b, 0, 0), RGB(0, 255, 0));
    EXPECT_EQ(plat::bitmap_pixel(b, 2, 0), RGB(0x10, 0x20, 0x30));
    DeleteObject(b);

    SetLastError(0);
    HANDLE missing = LoadImageW(module, MAKEINTRESOURCEW(999), IMAGE_ICON, 0, 0, 0);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_RESOURCE_NAME_NOT_FOUND));
    for (auto [type, cx, flags, error] : {std::tuple<UINT, int, UINT, DWORD>{2u, 0, 0u, ERROR_INVALID_PARAMETER},
                                          {IMAGE_ICON, 257, 0u, ERROR_INVALID_PARAMETER},
                                          {IMAGE_ICON, -1, 0u, ERROR_INVALID_PARAMETER},
                                          {IMAGE_ICON, 0, LR_LOADFROMFILE, ERROR_CALL_NOT_IMPLEMENTED}}) {
        SetLastError(0);
        EXPECT_EQ(LoadImageW(module, MAKEINTRESOURCEW(252), type, cx, cx, flags), nullptr) << type << " " << cx;
        EXPECT_EQ(GetLastError(), error) << type << " " << cx;
    }
    plat::rsrc_close(module);
}

/* Stored pictures whose header, table or rows do not fit their bytes are refused with ERROR_BAD_FORMAT. */
TEST_F(RcFiles, MalformedStoredPicturesAreRefused)
{
    write("i.bmp", bmp24(4, 4, [](int, int) { return 0x123456L; }));
    rc::Project p;
    ASSERT_TRUE(parse("ICON 1 \"i.bmp\"\n", p));
    struct Case {
        const char *what;
        size_t at;
        uint32_t value;  /* written as 32 bits at `at`, or the new size when `at` is SIZE_MAX */
        bool word;
    } cases[] = {
        {"header size", 0, 12, false},   {"width 0", 4, 0, false},      {"odd height", 8, 7, false},
        {"height 0", 8, 0, false},       {"planes", 12, 2, true},       {"bit count 16", 14, 16, true},
        {"compressed", 16, 1, false},    {"cut rows", SIZE_MAX, 60, false}, {"no header", SIZE_MAX, 20, false},
        {"8 bits without room for the table", 14, 8, true}, {"1 bit with a table of 3", 32, 3, false},
    };
    for (const Case &c : cases) {
        rc::Project q;
        q.resources.push_back(p.resources[0]);
        std::vector<uint8_t> &d = q.resources[0].data;
        if (c.at == SIZE_MAX)
            d.resize(c.value);
        else if (c.word)
            plat::store_u16(d.data(), c.at, uint16_t(c.value));
        else
            plat::store_u32(d.data(), c.at, c.value);
        if (c.at == 32)
            plat::store_u16(d.data(), 14, 1);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(rc::write_container(q, bytes)) << c.what;
        HMODULE module = plat::rsrc_open_bytes(bytes);
        ASSERT_NE(module, nullptr) << c.what;
        SetLastError(0);
        EXPECT_EQ(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, 0), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_FORMAT)) << c.what;
        plat::rsrc_close(module);
    }
}

TEST_F(RcFiles, ShippedResourcesCompileToTheBuiltModule)
{
    const char *src = std::getenv("TARVEL_SOURCE_DIR");
    const char *drv = std::getenv("TARVEL_DRIVER_DIR");
    ASSERT_TRUE(src && drv) << "run through ctest";
    rc::Project p;
    std::vector<fs::path> sources;
    for (const auto &e : fs::directory_iterator(fs::path(src) / "resources")) {
        if (e.path().extension() == ".trc")
            sources.push_back(e.path());
        if (e.is_directory())
            for (const auto &f : fs::directory_iterator(e.path()))
                if (f.path().extension() == ".trc")
                    sources.push_back(f.path());
    }
    std::sort(sources.begin(), sources.end()); // the build passes them sorted too
    /* Then the pictures' source that tarvelpics wrote into the build tree. */
    const fs::path pictures = fs::path(drv).parent_path() / "resources" / "pictures" / "pictures.trc";
    ASSERT_TRUE(fs::exists(pictures)) << pictures;
    sources.push_back(pictures);
    for (const fs::path &s : sources)
        ASSERT_TRUE(rc::parse_file(s.string(), p)) << p.errors[0].text();
    ASSERT_GT(p.strings.size(), 100u);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(rc::write_container(p, bytes));
    std::string built = read_all(fs::path(drv) / "tarvelrs.xrs");
    EXPECT_EQ(built, std::string(bytes.begin(), bytes.end())) << "tarvelrs.xrs is not the compiled resources/";

    plat::RsrcImagePtr img;
    ASSERT_EQ(plat::rsrc_open_image(bytes, img), plat::RsrcStatus::ok);
    for (const auto &[id, text] : p.strings) {
        std::u16string_view got;
        ASSERT_TRUE(plat::rsrc_string(*img, id, got)) << id;
        EXPECT_EQ(got, text) << id;
    }
}

TEST_F(RcFiles, DialogTemplatesCompileToTheStoredForm)
{
    auto img = compile("DIALOG 700 0 0 330 200 STYLE WS_POPUP|WS_CAPTION FONT 8 \"MS Shell Dlg\" CAPTION \"Every control\"\n"
                       "  CONTROL 100 BUTTON 7 7 50 14 BS_PUSHBUTTON|WS_TABSTOP \"&Push\"\n"
                       "  CONTROL 120 EDIT 7 25 70 12 ES_NUMBER|WS_BORDER \"\" EXSTYLE WS_EX_CLIENTEDGE\n"
                       "  CONTROL 130 msctls_updown32 80 25 10 12 0x22|NOT_VISIBLE\n"
                       "END\n");
    ASSERT_TRUE(img);
    std::span<const BYTE> data;
    ASSERT_TRUE(plat::rsrc_find(*img, plat::rsrc_number(5), plat::rsrc_number(700), data));
    plat::DialogTemplate t;
    ASSERT_TRUE(plat::dialog_template_parse(data, t));
    EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_CAPTION | DS_SETFONT));
    EXPECT_EQ(t.cx, 330);
    EXPECT_EQ(t.fontPoints, 8);
    EXPECT_EQ(t.fontFace, u"MS Shell Dlg");
    EXPECT_EQ(t.caption, u"Every control");
    ASSERT_EQ(t.items.size(), 3u);
    EXPECT_EQ(t.items[0].id, 100);
    EXPECT_EQ(t.items[0].className, u"BUTTON");
    EXPECT_EQ(t.items[0].style, DWORD(BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE));
    EXPECT_EQ(t.items[0].text, u"&Push");
    EXPECT_EQ(t.items[1].exStyle, DWORD(WS_EX_CLIENTEDGE));
    EXPECT_EQ(t.items[1].y, 25);
    EXPECT_EQ(t.items[2].style, 0x22u) << "NOT_VISIBLE leaves WS_VISIBLE off";
    EXPECT_EQ(t.items[2].className, u"msctls_updown32");
}

TEST_F(RcFiles, BadSourcesAreRefusedWithFileAndLine)
{
    write("d.bin", "x");
    write("notbmp.bin", "BX0123456789012345678901234567");
    write("short.bmp", std::string("BM") + std::string(12, '\0') + std::string("\x28\0\0\0", 4) + "abcdefghij");
    std::string mono = bmp24(1, 1, [](int, int) { return 0L; });
    mono[28] = 8;
    write("mono.bmp", mono);
    write("wide.bmp", bmp24(257, 1, [](int, int) { return 0L; }));
    std::string cut = bmp24(4, 4, [](int, int) { return 0L; });
    write("cut.bmp", cut.substr(0, cut.size() - 1));
    struct Case {
        std::string src;
        unsigned line;
        const char *message;
    } cases[] = {
        {"STRING 1", 1, "missing string"},
        {"STRING x \"a\"", 1, "STRING needs a number"},
        {"STRING 65536 \"a\"", 1, "string id must be 0 to 65535"},
        {"STRING 1 \"\"", 1, "empty string"},
        {"STRING 1 \"a", 1, "string not closed"},
        {"STRING 1 \"a\\", 1, "string not closed"},
        {"STRING 1 \"a\\q\"", 1, "unknown escape \\q"},
        {"STRING 1 \"\\u0000\"", 1, "NUL character"},
        {"STRING 1 \"\\x00\"", 1, "NUL character"},
        {"STRING 1 \"\\uD800\"", 1, "not a Unicode scalar value"},
        {"STRING 1 \"\\U00110000\"", 1, "not a Unicode scalar value"},
        {"STRING 1 \"\\x4\"", 1, "\\x needs two hexadecimal digits"},
        {"STRING 1 \"\\u12G4\"", 1, "\\u needs four"},
        {"STRING 1 \"a\x01\"", 1, "control character"},
        {"STRING 1 \"a\xFF\"", 1, "ill-formed UTF-8"},
        {"STRING 1 \"a\xED\xA0\x80\"", 1, "ill-formed UTF-8"}, // an encoded surrogate
        {"STRING 1 \"a\" junk", 1, "unexpected 'junk'"},
        {"STRING 1 'a'", 1, "unexpected character '''"},
        {"STRING 0x1G \"a\"", 1, "bad number"},
        {"STRING 12ab \"a\"", 1, "bad number"},
        {"STRING 1 \"a\"\n\nSTRING 1 \"b\"", 3, "string 1 already defined at t.trc:1"},
        {"FOO 1 \"a\"", 1, "unknown keyword 'FOO'"},
        {"string 1 \"a\"", 1, "unknown keyword 'string'"},
        {"1 \"a\"", 1, "a statement starts with a keyword"},
        {"DIALOG 514\nCONTROL 1 BUTTON 0 0 1 1 0\nEND", 1, "expected x, y, width and height"},
        {"DIALOG 0 0 0 10 10\nEND", 1, "DIALOG needs an id"},
        {"DIALOG 5 0 0 10 10 STYLE WS_NOSUCH\nEND", 1, "unknown style 'WS_NOSUCH'"},
        {"DIALOG 5 0 0 10 10 STYLE WS_POPUP|\nEND", 1, "missing style"},
        {"DIALOG 5 0 0 10 10 FONT 8\nEND", 1, "FONT needs a size"},
        {"DIALOG 5 0 0 10 10 junk\nEND", 1, "unexpected 'junk' in DIALOG"},
        {"CONTROL 1 BUTTON 0 0 1 1 0", 1, "CONTROL outside a DIALOG"},
        {"END", 1, "END without a DIALOG"},
        {"DIALOG 5 0 0 10 10\nSTRING 1 \"a\"\nEND", 2, "expected CONTROL or END"},
        {"DIALOG 5 0 0 10 10\nCONTROL 1 BUTTON 0 0 1 0\nEND", 2, "missing style"},
        {"DIALOG 5 0 0 10 10\nCONTROL 1 BUTTON 0 0 1 40000 0\nEND", 2, "expected x, y, width and height"},
        {"DIALOG 5 0 0 10 10\nCONTROL 1 BUTTON 0 0 1 1 0 \"a\" junk\nEND", 2, "unexpected 'junk' after the control"},
        {"DIALOG 5 0 0 10 10\nCONTROL 1 BUTTON 0 0 1 1 0", 2, "has no END"},
        {"DIALOG 5 0 0 10 10\nEND\nDIALOG 5 0 0 10 10\nEND", 3, "dialog 5 already defined at t.trc:1"},
        {"RCDATA 0 \"d.bin\"", 1, "id must be 1 to 65535"},
        {"RCDATA 65536 \"d.bin\"", 1, "id must be 1 to 65535"},
        {"RCDATA 1", 1, "missing string"},
        {"RCDATA 1 \"\"", 1, "empty file name"},
        {"RCDATA 1 \"d.bin\" \"d.bin\"", 1, "expected one file name"},
        {"RCDATA 1 \"missing.bin\"", 1, "cannot read 'missing.bin'"},
        {"RCDATA \"d.bin\"", 1, "id must be a number or a name"},
        {"RCDATA " + std::string(256, 'N') + " \"d.bin\"", 1, "name longer than 255"},
        {"RCDATA abc \"d.bin\"\nRCDATA ABC \"d.bin\"", 2, "resource already defined at t.trc:1"},
        {"RESOURCE 6 1 \"d.bin\"", 1, "built from STRING"},
        {"RESOURCE 5 1 \"d.bin\"", 1, "reserved for dialog templates"},
        {"RESOURCE 10 1 \"d.bin\"", 1, "written with RCDATA"},
        {"RESOURCE 2 1 \"d.bin\"", 1, "written with BITMAP"},
        {"RESOURCE 0 1 \"d.bin\"", 1, "type must be 1 to 65535"},
        {"BITMAP 1 \"notbmp.bin\"", 1, "'notbmp.bin' is not a BMP file"},
        {"BITMAP 1 \"d.bin\"", 1, "'d.bin' is not a BMP file"},
        {"BITMAP 1 \"short.bmp\"", 1, "'short.bmp' is cut short"},
        {"RESOURCE 3 1 \"d.bin\"", 1, "written with ICON"},
        {"ICON 1 \"d.bin\"", 1, "'d.bin' is not a BMP file"},
        {"ICON 1 \"short.bmp\"", 1, "'short.bmp' is not a BMP file"},
        {"ICON 1 \"mono.bmp\"", 1, "is not an uncompressed 24- or 32-bit bitmap"},
        {"ICON 1 \"wide.bmp\"", 1, "is not 1 to 256 pixels a side"},
        {"ICON 1 \"cut.bmp\"", 1, "holds fewer pixel rows"},
    };
    for (const Case &c : cases) {
        rc::Project p;
        EXPECT_FALSE(parse(c.src, p)) << c.src;
        ASSERT_EQ(p.errors.size(), 1u) << c.src;
        EXPECT_EQ(p.errors[0].file, "t.trc");
        EXPECT_EQ(p.errors[0].line, c.line) << c.src;
        EXPECT_NE(p.errors[0].message.find(c.message), std::string::npos)
            << c.src << "\n  gave: " << p.errors[0].message << "\n  want: " << c.message;
    }
}

TEST_F(RcFiles, EveryBadLineIsReportedUpToALimit)
{
    rc::Project p;
    EXPECT_FALSE(parse("STRING 1 \"a\"\nBAD\nSTRING 2 \"b\"\nBAD\n", p));
    ASSERT_EQ(p.errors.size(), 2u);
    EXPECT_EQ(p.errors[0].text(), "t.trc:2: unknown keyword 'BAD'");
    EXPECT_EQ(p.errors[1].line, 4u);

    std::string many;
    for (int i = 0; i < 500; ++i)
        many += "BAD\n";
    rc::Project q;
    EXPECT_FALSE(parse(many, q));
    EXPECT_EQ(q.errors.size(), 50u);
}

TEST_F(RcFiles, CommandWritesNothingOnErrorAndListsDependencies)
{
    const char *drv = std::getenv("TARVEL_DRIVER_DIR");
    ASSERT_NE(drv, nullptr) << "run through ctest";
    std::string rc = (fs::path(drv).parent_path() / "bin" / "tarvelrc").string();
    write("d.bin", "x");
    write("good.trc", "STRING 1 \"a\"\nRCDATA 1 \"d.bin\"\n");
    write("bad.trc", "STRING 1 \"a\"\nSTRING 1 \"b\"\n");
    std::string out = (dir / "out.xrs").string();
    std::string base = rc + " -o " + out + " -d " + (dir / "out.d").string() + " ";

    EXPECT_NE(std::system((base + (dir / "bad.trc").string() + " 2>" + (dir / "err").string()).c_str()), 0);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_NE(read_all(dir / "err").find("bad.trc:2: string 1 already defined at"), std::string::npos);

    ASSERT_EQ(std::system((base + (dir / "good.trc").string()).c_str()), 0);
    EXPECT_TRUE(fs::exists(out));
    EXPECT_EQ(read_all(dir / "out.d"), out + ": " + (dir / "good.trc").string() + " " + (dir / "d.bin").string() + "\n");

    // --list prints the strings as statements that compile again
    std::string listed = (dir / "listed.trc").string();
    ASSERT_EQ(std::system((rc + " --list " + out + " >" + listed).c_str()), 0);
    EXPECT_EQ(read_all(listed), "STRING 1 \"a\"\n# type 10 id 1: 1 bytes\n");

    EXPECT_EQ(std::system((rc + " -o " + out + " 2>/dev/null").c_str()) >> 8, 2) << "usage";
}
