// The resource compiler: exact container bytes for a small source, a round
// trip of every statement kind through the platform's reader, the shipped
// resources compiled again, and the errors of bad sources.
#include <tarvel/rc.h>

#include <plat/controls.h>
#include <plat/dialog.h>
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

TEST_F(RcFiles, ShippedResourcesCompileToTheBuiltModule)
{
    const char *src = std::getenv("TARVEL_SOURCE_DIR");
    const char *drv = std::getenv("TARVEL_DRIVER_DIR");
    ASSERT_TRUE(src && drv) << "run through ctest";
    rc::Project p;
    std::vector<fs::path> sources;
    for (const auto &e : fs::directory_iterator(fs::path(src) / "resources"))
        if (e.path().extension() == ".trc")
            sources.push_back(e.path());
    std::sort(sources.begin(), sources.end()); // the build passes them sorted too
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
