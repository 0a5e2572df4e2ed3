// Profile (INI) files: lookups ignoring case, defaults, trimming and quotes,
// truncation answers, lists, encodings, malformed files, and writing.
#include <plat/fault.h>
#include <plat/codepage.h>
#include <plat/ini.h>

#include "test_file_fixture.h"

#include <plat/text.h>

#include <climits>
#include <random>
#include <vector>

namespace {

class Profile : public MachineTest {
protected:
    static constexpr const char16_t *kFile = u"C:\\cfg\\model.cfg";
};

const char kSample[] = "; leading comment\r\n"
                       "stray=before any section\r\n"
                       "[General]\r\n"
                       "  Name = Tarvel Driver  \r\n"
                       "Quoted=\"  spaced  \"\r\n"
                       "Single='x'\r\n"
                       "Half=\"open\r\n"
                       "Empty=\r\n"
                       "NoEquals\r\n"
                       "dup=first\r\n"
                       "dup=second\r\n"
                       "Long=0123456789\r\n"
                       "\r\n"
                       "; a comment inside\r\n"
                       "[general]\r\n"
                       "Late=second section of the same name\r\n"
                       "[ Other ]\n"
                       "key=v=with=equals\n"
                       "[Broken\n"
                       "k=1\r"
                       "]=x\r";

std::u16string get_string(const char16_t *section, const char16_t *key, const char16_t *def, DWORD size,
                          DWORD *ret, const char16_t *file)
{
    std::vector<WCHAR> buf(size + 4, u'#');
    *ret = GetPrivateProfileStringW(section, key, def, buf.data(), size, file);
    return size ? std::u16string(buf.data()) : std::u16string();
}

/* The first `n` characters of a list buffer, NULs shown as '|'. */
std::string list(const std::vector<WCHAR> &buf, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; i++)
        s += buf[i] ? char(buf[i]) : '|';
    return s;
}

struct LookupCase {
    const char16_t *section, *key, *def;
    const char16_t *value;
    DWORD error;
};

TEST_F(Profile, LookupsIgnoreCaseTrimAndUnquote)
{
    put(kFile, kSample);
    const DWORD NF = ERROR_FILE_NOT_FOUND;
    const LookupCase cases[] = {
        {u"General", u"Name", u"d", u"Tarvel Driver", 0},
        {u"GENERAL", u"name", u"d", u"Tarvel Driver", 0},
        {u"General", u"Quoted", u"d", u"  spaced  ", 0},
        {u"General", u"Single", u"d", u"x", 0},
        {u"General", u"Half", u"d", u"\"open", 0},
        {u"General", u"Empty", u"d", u"", 0},
        {u"General", u"NoEquals", u"d", u"", 0},
        {u"General", u"dup", u"d", u"first", 0},
        {u"General", u"Late", u"d", u"d", NF},
        {u"General", u"stray", u"d", u"d", NF},
        {u"Other", u"KEY", u"d", u"v=with=equals", 0},
        {u"Broken", u"k", u"d", u"1", 0},
        {u"Missing", u"Name", u"fallback  ", u"fallback", NF},
        {u"General", u"Missing", nullptr, u"", NF},
        {u"General", u"Missing", u"  lead", u"  lead", NF},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.section) + "/" + plat::utf16_to_utf8(c.key));
        DWORD ret = 0;
        SetLastError(12345);
        EXPECT_EQ(get_string(c.section, c.key, c.def, 100, &ret, kFile), c.value);
        EXPECT_EQ(ret, std::u16string(c.value).size());
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(Profile, ValuesAndDefaultsAreCutToSizeMinusOne)
{
    put(kFile, kSample);
    const struct {
        const char16_t *key;
        DWORD size;
        const char16_t *value;
        DWORD ret;
    } cases[] = {
        {u"Long", 11, u"0123456789", 10}, {u"Long", 10, u"012345678", 9}, {u"Long", 5, u"0123", 4},
        {u"Long", 1, u"", 0},             {u"None", 4, u"def", 3},          {u"None", 3, u"de", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size);
        DWORD ret = 99;
        EXPECT_EQ(get_string(u"General", c.key, u"default", c.size, &ret, kFile), c.value);
        EXPECT_EQ(ret, c.ret);
    }
    DWORD ret = 99;
    EXPECT_EQ(GetPrivateProfileStringW(u"General", u"Long", u"", nullptr, 10, kFile), 0u);
    get_string(u"General", u"Long", u"", 0, &ret, kFile);
    EXPECT_EQ(ret, 0u) << "a size of 0 copies nothing";
}

TEST_F(Profile, ListsOfSectionsAndKeys)
{
    put(kFile, kSample);
    std::vector<WCHAR> buf(200, u'#');
    DWORD n = GetPrivateProfileStringW(nullptr, u"ignored", u"d", buf.data(), 200, kFile);
    EXPECT_EQ(list(buf, n + 1), "General|general|Other|Broken||");
    EXPECT_EQ(n, 29u);
    n = GetPrivateProfileSectionNamesW(buf.data(), 200, kFile);
    EXPECT_EQ(list(buf, n + 1), "General|general|Other|Broken||");

    n = GetPrivateProfileStringW(u"GENERAL", nullptr, u"d", buf.data(), 200, kFile);
    EXPECT_EQ(list(buf, n + 1), "Name|Quoted|Single|Half|Empty|NoEquals|dup|dup|Long||");
    n = GetPrivateProfileStringW(u"Missing", nullptr, u"d", buf.data(), 200, kFile);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(list(buf, 2), "||") << "an empty list is two NULs";
}

TEST_F(Profile, CutListsKeepWholeEntriesAndAnswerSizeMinusTwo)
{
    put(kFile, "[abc]\r\n[de]\r\n");
    /* The full list "abc|de||" needs 8 characters. */
    const struct {
        DWORD size;
        DWORD ret;
        const char *content;
    } cases[] = {
        {8, 7, "abc|de||"}, {7, 5, "abc||||"}, {5, 3, "abc||"}, {4, 2, "||||"}, {2, 0, "||"}, {1, 0, "|"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size);
        std::vector<WCHAR> buf(20, u'#');
        EXPECT_EQ(GetPrivateProfileSectionNamesW(buf.data(), c.size, kFile), c.ret);
        EXPECT_EQ(list(buf, c.size), c.content);
        EXPECT_EQ(buf[c.size], u'#') << "nothing written past the buffer";
    }
}

TEST_F(Profile, SectionLinesAreKeyEqualsValue)
{
    put(kFile, kSample);
    std::vector<WCHAR> buf(300, u'#');
    DWORD n = GetPrivateProfileSectionW(u"general", buf.data(), 300, kFile);
    const std::string full =
        "Name=Tarvel Driver|Quoted=\"  spaced  \"|Single='x'|Half=\"open|Empty=|NoEquals|dup=first|dup=second|"
        "Long=0123456789||";
    EXPECT_EQ(list(buf, n + 1), full);
    EXPECT_EQ(n, full.size() - 1);

    /* Cut: whole lines only, size - 2, double NUL at the end. */
    std::vector<WCHAR> small(40, u'#');
    EXPECT_EQ(GetPrivateProfileSectionW(u"General", small.data(), 30, kFile), 28u);
    EXPECT_EQ(list(small, 30), "Name=Tarvel Driver||||||||||||");
    EXPECT_EQ(small[30], u'#');

    EXPECT_EQ(GetPrivateProfileSectionW(u"Missing", buf.data(), 300, kFile), 0u);
    EXPECT_EQ(list(buf, 2), "||");
    EXPECT_EQ(GetPrivateProfileSectionW(u"General", buf.data(), 300, u"C:\\cfg\\none.cfg"), 0u);
}

TEST_F(Profile, IntegersFromValues)
{
    put(kFile, "[n]\r\na=42\r\nb= 7 \r\nc=102abc\r\nd=abc\r\ne=-5\r\nf=+9\r\ng=99999999999\r\nh=\"12\"\r\ni=\r\n");
    const struct {
        const char16_t *key;
        UINT value;
    } cases[] = {
        {u"a", 42}, {u"B", 7}, {u"c", 102}, {u"d", 0}, {u"e", 0}, {u"f", 9},
        {u"g", UINT_MAX}, {u"h", 12}, {u"i", 0}, {u"missing", 77},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.key));
        EXPECT_EQ(GetPrivateProfileIntW(u"N", c.key, 77, kFile), c.value);
    }
    EXPECT_EQ(GetPrivateProfileIntW(u"n", u"a", 77, u"C:\\cfg\\none.cfg"), 77u);
    EXPECT_EQ(GetPrivateProfileIntW(u"n", nullptr, 77, kFile), 77u);
}

TEST_F(Profile, EncodingsReadTheSame)
{
    /* "[Sec]\nName=é€日\n" in each encoding, written out by hand. */
    const std::string utf8 = "[Sec]\r\nName=\xC3\xA9\xE2\x82\xAC\xE6\x97\xA5\r\n";
    const std::string utf16le = std::string("\xFF\xFE", 2) +
                                std::string("[\0S\0e\0c\0]\0\r\0\n\0N\0a\0m\0e\0=\0\xE9\0\xAC\x20\xE5\x65\r\0\n\0", 34);
    const std::string utf16be = std::string("\xFE\xFF", 2) +
                                std::string("\0[\0S\0e\0c\0]\0\r\0\n\0N\0a\0m\0e\0=\0\xE9\x20\xAC\x65\xE5\0\r\0\n", 34);
    const struct {
        const char *name;
        std::string bytes;
        const char16_t *value;
    } cases[] = {
        {"UTF-8", utf8, u"é€日"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + utf8, u"é€日"},
        {"UTF-16LE", utf16le, u"é€日"},
        {"UTF-16BE", utf16be, u"é€日"},
        {"ANSI", "[Sec]\r\nName=\xE9\x80\r\n", u"é€"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        put(kFile, c.bytes);
        DWORD ret = 0;
        EXPECT_EQ(get_string(u"sec", u"name", u"", 50, &ret, kFile), c.value);
    }
}

TEST_F(Profile, AnsiFilesFollowTheAnsiCodePage)
{
    /* "Name=日本" in code page 932 (93 FA 96 7B) is not valid UTF-8 */
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    put(kFile, "[Sec]\r\nName=\x93\xFA\x96\x7B\r\n");
    DWORD ret = 0;
    EXPECT_EQ(get_string(u"sec", u"name", u"", 50, &ret, kFile), u"日本");
    /* a new value written to that file stays in its code page */
    ASSERT_TRUE(WritePrivateProfileStringW(u"Sec", u"Other", u"本", kFile));
    EXPECT_EQ(get_string(u"sec", u"other", u"", 50, &ret, kFile), u"本");
    EXPECT_NE(get(kFile).find("Other=\x96\x7B"), std::string::npos);
}

TEST_F(Profile, MalformedFilesNeverFailOrOverrun)
{
    const std::string fixed[] = {
        "",
        "[",
        "]",
        "[]\r\n=\r\n",
        "[Sec",
        "[Sec]\r\n=novalue\r\n==\r\n",
        std::string("[Sec]\0Name=x\0", 13),
        "\xFF\xFE[",                      /* UTF-16 with an odd byte */
        "\xEF\xBB\xBF",
        "[Sec]\r\nName=" + std::string(100000, 'v'),
        std::string(5000, '['),
    };
    std::mt19937 rng(1234);
    std::vector<std::string> inputs(std::begin(fixed), std::end(fixed));
    for (int i = 0; i < 200; i++) {
        std::string s(rng() % 64, '\0');
        for (char &c : s)
            c = "[]=;\r\n aSN\xFF\xFE\xC3\x00"[rng() % 14];
        inputs.push_back(s);
    }
    for (const auto &bytes : inputs) {
        put(kFile, bytes);
        for (DWORD size : {1u, 2u, 3u, 17u}) {
            std::vector<WCHAR> buf(size + 1, u'#');
            EXPECT_LE(GetPrivateProfileStringW(u"Sec", u"Name", u"dflt", buf.data(), size, kFile), size);
            EXPECT_LE(GetPrivateProfileStringW(u"Sec", nullptr, u"", buf.data(), size, kFile), size);
            EXPECT_LE(GetPrivateProfileStringW(nullptr, nullptr, u"", buf.data(), size, kFile), size);
            EXPECT_LE(GetPrivateProfileSectionW(u"Sec", buf.data(), size, kFile), size);
            EXPECT_EQ(buf[size], u'#');
        }
        GetPrivateProfileIntW(u"Sec", u"Name", 1, kFile);
    }
    DWORD ret = 0;
    put(kFile, std::string("[Sec]\0Name=x\0", 13));
    EXPECT_EQ(get_string(u"Sec", u"Name", u"dflt", 20, &ret, kFile), u"dflt") << "a NUL is not a line end";
}

TEST_F(Profile, MissingFileAnswersDefaults)
{
    DWORD ret = 0;
    SetLastError(0);
    EXPECT_EQ(get_string(u"LOG", u"Log", u"0", 261, &ret, u"C:\\DEBUG_LOG\\tarvel.cfg"), u"0");
    EXPECT_EQ(ret, 1u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    std::vector<WCHAR> buf(10, u'#');
    EXPECT_EQ(GetPrivateProfileSectionNamesW(buf.data(), 10, u"C:\\none.ini"), 0u);
    EXPECT_EQ(list(buf, 2), "||");
    EXPECT_EQ(get_string(u"a", u"b", u"d", 10, &ret, u"C:\\bad|name.ini"), u"d");
    std::filesystem::create_directories(real(u"C:\\folder.ini"));
    EXPECT_EQ(get_string(u"a", u"b", u"d", 10, &ret, u"C:\\folder.ini"), u"d");
}

TEST_F(Profile, BareFileNamesLiveInTheWindowsFolder)
{
    put(u"C:\\Windows\\tarvel.ini", "[x]\r\ny=z\r\n");
    DWORD ret = 0;
    EXPECT_EQ(get_string(u"x", u"y", u"", 10, &ret, u"tarvel.ini"), u"z");
    EXPECT_TRUE(WritePrivateProfileStringW(u"x", u"w", u"v", u"TARVEL.INI"));
    EXPECT_EQ(get(u"C:\\Windows\\tarvel.ini"), "[x]\r\ny=z\r\nw=v\r\n");
}

TEST_F(Profile, WritingCreatesReplacesAndDeletes)
{
    std::filesystem::create_directories(real(u"C:\\cfg"));
    struct Step {
        const char16_t *section, *key, *value;
        const char *file;
    };
    const Step steps[] = {
        {u"Fav", u"Name", u"One", "[Fav]\r\nName=One\r\n"},
        {u"Fav", u"Size", u"12", "[Fav]\r\nName=One\r\nSize=12\r\n"},
        {u"FAV", u"name", u"Two", "[Fav]\r\nName=Two\r\nSize=12\r\n"},
        {u"Paper Margin", u"Left", u"1,2", "[Fav]\r\nName=Two\r\nSize=12\r\n\r\n[Paper Margin]\r\nLeft=1,2\r\n"},
        {u"Fav", u"Size", nullptr, "[Fav]\r\nName=Two\r\n\r\n[Paper Margin]\r\nLeft=1,2\r\n"},
        {u"Fav", u"Extra", u" padded ", "[Fav]\r\nName=Two\r\nExtra= padded \r\n\r\n[Paper Margin]\r\nLeft=1,2\r\n"},
        {u"fav", nullptr, nullptr, "[Paper Margin]\r\nLeft=1,2\r\n"},
        {u"Fav", u"gone", nullptr, "[Paper Margin]\r\nLeft=1,2\r\n"},
        {u"none", nullptr, nullptr, "[Paper Margin]\r\nLeft=1,2\r\n"},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.file);
        EXPECT_TRUE(WritePrivateProfileStringW(s.section, s.key, s.value, kFile));
        EXPECT_EQ(get(kFile), s.file);
    }
    DWORD ret = 0;
    EXPECT_EQ(get_string(u"paper margin", u"left", u"", 10, &ret, kFile), u"1,2");
    EXPECT_TRUE(WritePrivateProfileStringW(u"a", nullptr, nullptr, u"C:\\cfg\\never.ini"));
    EXPECT_FALSE(exists(u"C:\\cfg\\never.ini")) << "deleting from nothing creates nothing";
}

TEST_F(Profile, WritingKeepsOtherLinesAndTheEncoding)
{
    put(kFile, "; header\n[A]\nx=1\n\n; about B\n[B]\ny=2\n");
    EXPECT_TRUE(WritePrivateProfileStringW(u"A", u"z", u"3", kFile));
    EXPECT_EQ(get(kFile), "; header\r\n[A]\r\nx=1\r\nz=3\r\n\r\n; about B\r\n[B]\r\ny=2\r\n");

    const std::string le = std::string("\xFF\xFE[\0A\0]\0\r\0\n\0", 12);
    put(kFile, le);
    EXPECT_TRUE(WritePrivateProfileStringW(u"A", u"k", u"\u00e9", kFile));
    EXPECT_EQ(get(kFile), le + std::string("k\0=\0\xE9\0\r\0\n\0", 10));

    put(kFile, "[A]\r\nk=\xE9\r\n"); /* ANSI */
    EXPECT_TRUE(WritePrivateProfileStringW(u"A", u"e", u"\u20ac", kFile));
    EXPECT_EQ(get(kFile), "[A]\r\nk=\xE9\r\ne=\x80\r\n");
    EXPECT_TRUE(WritePrivateProfileStringW(u"A", u"j", u"\u65e5", kFile));
    EXPECT_EQ(get(kFile), "[A]\r\nk=\xC3\xA9\r\ne=\xE2\x82\xAC\r\nj=\xE6\x97\xA5\r\n")
        << "an ANSI file that cannot hold a character becomes UTF-8 and loses nothing";
    DWORD ret = 0;
    EXPECT_EQ(get_string(u"A", u"k", u"", 10, &ret, kFile), u"\u00e9");
}

TEST_F(Profile, RefusedWritesLeaveTheFileAlone)
{
    const std::string original = "[A]\r\nx=1\r\n";
    put(kFile, original);
    const struct {
        const char16_t *section, *key, *value;
    } bad[] = {
        {nullptr, u"k", u"v"},   {u"", u"k", u"v"},     {u"A]", u"k", u"v"},   {u"A", u"k=1", u"v"},
        {u"A", u"k", u"v\r\n[B]"}, {u"A", u"k\n", u"v"}, {u"A", u"[k", u"v"},   {u"A", u";k", u"v"},
        {u"A", u"  ", u"v"},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(testing::Message() << "case " << (&b - bad));
        EXPECT_FALSE(WritePrivateProfileStringW(b.section, b.key, b.value, kFile));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(get(kFile), original);

    plat::fault_disk_full(true);
    EXPECT_FALSE(WritePrivateProfileStringW(u"A", u"y", u"2", kFile));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(get(kFile), original);
    EXPECT_FALSE(WritePrivateProfileStringW(u"A", u"y", u"2", u"C:\\cfg\\new.ini"));
    EXPECT_FALSE(exists(u"C:\\cfg\\new.ini")) << "a file that could not be written is not left behind";
    plat::fault_disk_full(false);

    EXPECT_FALSE(WritePrivateProfileStringW(u"A", u"y", u"2", u"C:\\nodir\\x.ini"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    HANDLE h = open(kFile, GENERIC_READ, 0, OPEN_EXISTING);
    EXPECT_FALSE(WritePrivateProfileStringW(u"A", u"y", u"2", kFile));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    DWORD ret = 0;
    EXPECT_EQ(get_string(u"A", u"x", u"locked", 10, &ret, kFile), u"locked");
    CloseHandle(h);
    EXPECT_EQ(get_string(u"A", u"x", u"locked", 10, &ret, kFile), u"1");
}

} // namespace

namespace {

TEST_F(Profile, AnInMemoryFileIsReadInsteadOfTheDiskAndRefusesWrites)
{
    ASSERT_TRUE(CreateDirectoryW(u"C:\\cfg", nullptr));
    ASSERT_TRUE(WritePrivateProfileStringW(u"General", u"Name", u"on disk", kFile));
    const char text[] = "[General]\r\nName=in memory\r\n[Other]\r\nk=1\r\n";
    ASSERT_TRUE(plat::ini_set_memory_file(kFile, text, sizeof text - 1));
    DWORD size = 0;
    EXPECT_TRUE(plat::ini_memory_file_size(kFile, &size));
    EXPECT_EQ(size, sizeof text - 1);
    DWORD ret = 0;
    EXPECT_EQ(get_string(u"General", u"Name", u"", 64, &ret, kFile), u"in memory");
    std::vector<WCHAR> names(64, u'#');
    EXPECT_EQ(GetPrivateProfileSectionNamesW(names.data(), 64, kFile), 14u);
    EXPECT_EQ(list(names, 15), "General|Other||");
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringW(u"General", u"Name", u"changed", kFile));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));

    ASSERT_TRUE(plat::ini_set_memory_file(kFile, nullptr, 0));
    EXPECT_FALSE(plat::ini_memory_file_size(kFile, &size));
    EXPECT_EQ(get_string(u"General", u"Name", u"", 64, &ret, kFile), u"on disk") << "the disk's file was never touched";
}

} // namespace

namespace {

TEST_F(Profile, AnInMemoryFileIsFoundUnderEverySpellingOfItsName)
{
    const char text[] = "[General]\r\nName=in memory\r\n";
    ASSERT_TRUE(plat::ini_set_memory_file(kFile, text, sizeof text - 1));
    DWORD ret = 0;
    for (const char16_t *name : {u"C:\\cfg\\model.cfg", u"c:/CFG/Model.CFG", u"C:\\cfg\\.\\model.cfg",
                                 u"C:\\other\\..\\cfg\\\\model.cfg"}) {
        SCOPED_TRACE(plat::utf16_to_utf8(name));
        EXPECT_TRUE(plat::ini_memory_file_size(name, nullptr));
        EXPECT_EQ(get_string(u"General", u"Name", u"", 64, &ret, name), u"in memory");
    }
    EXPECT_FALSE(plat::ini_memory_file_size(u"C:\\cfg\\model.cfg2", nullptr));
    EXPECT_FALSE(plat::ini_memory_file_size(u"C:\\model.cfg", nullptr));
    ASSERT_TRUE(plat::ini_set_memory_file(kFile, nullptr, 0));
}

TEST_F(Profile, AFileChangedOnDiskIsReadAgainEvenAtTheSameSize)
{
    /* The parse of a file is kept only while its bytes are the same: every change, however small, is seen. */
    put(kFile, "[A]\r\nx=1\r\n");
    DWORD ret = 0;
    EXPECT_EQ(get_string(u"A", u"x", u"", 10, &ret, kFile), u"1");
    EXPECT_EQ(get_string(u"A", u"x", u"", 10, &ret, kFile), u"1");
    put(kFile, "[A]\r\nx=2\r\n");
    EXPECT_EQ(get_string(u"A", u"x", u"", 10, &ret, kFile), u"2");
    ASSERT_TRUE(WritePrivateProfileStringW(u"A", u"x", u"3", kFile));
    EXPECT_EQ(get_string(u"A", u"x", u"", 10, &ret, kFile), u"3");
    /* Many files in turn (more than are kept) each answer their own value. */
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < 12; ++i) {
            std::u16string name = u"C:\\cfg\\f" + plat::utf8_to_utf16(std::to_string(i)) + u".ini";
            if (round == 0)
                put(name.c_str(), "[A]\r\nx=" + std::to_string(i) + "\r\n");
            EXPECT_EQ(get_string(u"A", u"x", u"", 10, &ret, name.c_str()), plat::utf8_to_utf16(std::to_string(i)));
        }
}

} // namespace
