// The built resource module tarvelrs.xrs: every string the libraries load is
// there, loads through LoadStringW from the driver directory, fits the
// buffer its caller reads it into, and takes the arguments its caller passes
// in the order it passes them.
#include <plat/error.h>
#include <plat/controls.h>
#include <plat/machine.h>
#include <plat/raster.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace {

class ResourceModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tarvel-rs-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        plat::machine_reset(root.string());
        const char *drv = std::getenv("TARVEL_DRIVER_DIR");
        ASSERT_NE(drv, nullptr) << "run through ctest";
        plat::machine_mount(u"C:\\Driver", drv);
        module = plat::rsrc_open_file(u"C:\\Driver\\tarvelrs.xrs");
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
    }
    void TearDown() override
    {
        if (module)
            plat::rsrc_close(module);
        fs::remove_all(root);
    }

    std::u16string load(UINT id, int cch = 1024)
    {
        std::vector<WCHAR> buf(size_t(cch) + 1, 0);
        int n = LoadStringW(module, id, buf.data(), cch);
        return std::u16string(buf.data(), size_t(n));
    }

    fs::path root;
    HMODULE module = nullptr;
};

/*
 * The references of a message for the positional formatter: "%" with a digit
 * 1-9 and s/d/S/D refers to that argument, "%" with s/d/S/D to the next,
 * "%%" is a "%"; after 19 pieces "%" is plain text.  Returns, per argument
 * index, the conversion letters referring to it; false for a "%" the
 * formatter would print as it stands.
 */
bool positional_refs(std::u16string_view s, std::vector<std::string> &refs)
{
    int pieces = 0, count = 0;
    bool in_literal = false;
    for (size_t i = 0; i < s.size(); ++i) {
        auto is_conv = [](char16_t c) { return c == u's' || c == u'd' || c == u'S' || c == u'D'; };
        if (s[i] == u'%' && pieces < 19) {
            size_t idx;
            char16_t conv;
            if (i + 2 < s.size() && s[i + 1] >= u'1' && s[i + 1] <= u'9' && is_conv(s[i + 2])) {
                idx = size_t(s[i + 1] - u'1');
                conv = s[i + 2];
                i += 2;
            } else if (i + 1 < s.size() && is_conv(s[i + 1])) {
                idx = size_t(count);
                conv = s[i + 1];
                i += 1;
            } else if (i + 1 < s.size() && s[i + 1] == u'%') {
                ++i, ++pieces, in_literal = false;
                continue;
            } else {
                return false;
            }
            if (refs.size() <= idx)
                refs.resize(idx + 1);
            refs[idx] += char(conv);
            ++count, ++pieces, in_literal = false;
            continue;
        }
        if (!in_literal)
            ++pieces, in_literal = true;
    }
    return true;
}

/* The conversion letters of a wsprintf format in order ("%%" left out). */
std::string printf_conversions(std::u16string_view s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'%')
            continue;
        ++i;
        if (i < s.size() && s[i] == u'%')
            continue;
        while (i < s.size() && (s[i] == u'-' || s[i] == u'#' || s[i] == u'0' || s[i] == u'.' ||
                                (s[i] >= u'1' && s[i] <= u'9') || s[i] == u'l' || s[i] == u'h' || s[i] == u'w'))
            ++i;
        out += i < s.size() ? char(s[i]) : '?';
    }
    return out;
}

bool is_number(std::u16string_view s)
{
    if (!s.empty() && s[0] == u'-')
        s.remove_prefix(1);
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

// Messages formatted with positional arguments, all strings: how many each
// caller passes.
TEST_F(ResourceModule, MessagesTakeTheirCallersArguments)
{
    struct Case {
        UINT id;
        int args;
    } cases[] = {
        {700, 3}, {701, 3}, {705, 4}, {706, 2}, {708, 2}, {709, 4},  {710, 2},  {711, 1},
        {712, 1}, {713, 1}, {714, 1}, {715, 3}, {716, 3}, {724, 2},  {725, 3},  {2000, 2},
        {4733, 2},
    };
    for (const Case &c : cases) {
        std::u16string s = load(c.id);
        ASSERT_FALSE(s.empty()) << c.id;
        std::vector<std::string> refs;
        ASSERT_TRUE(positional_refs(s, refs)) << c.id << ": a % the formatter would print";
        ASSERT_EQ(refs.size(), size_t(c.args)) << c.id;
        for (int i = 0; i < c.args; ++i)
            EXPECT_EQ(refs[size_t(i)], "s") << c.id << ": argument " << i + 1 << " shown once, as a string";
    }
}

// Texts filled in with wsprintf (or sequentially): the conversions in order.
TEST_F(ResourceModule, FormatsTakeTheirCallersArguments)
{
    struct Case {
        UINT id;
        const char *conversions;
    } cases[] = {
        {1, "s"}, {5, "c"}, {5174, "sdd"}, {703, "ss"}, {9247, "ss"}, {704, "ssss"},
    };
    for (const Case &c : cases) {
        std::u16string s = load(c.id);
        ASSERT_FALSE(s.empty()) << c.id;
        EXPECT_EQ(printf_conversions(s), c.conversions) << c.id;
    }
}

// Plain texts: present, without any "%", within what their callers read.
TEST_F(ResourceModule, TextsFitTheirCallersBuffers)
{
    struct Range {
        UINT first, last;
        size_t max; // characters the caller reads
    } ranges[] = {
        {0, 0, 255},       {2, 2, 1024},      {4, 4, 255},       {6, 6, 15},        {12, 12, 80},
        {16, 16, 31},      {265, 265, 127},   {300, 302, 128},   {305, 306, 128},   {389, 389, 108},
        {426, 426, 128},   {451, 451, 3},     {1770, 1789, 49},  {1791, 1811, 32},  {1812, 1812, 32},
        {2001, 2004, 128}, {2016, 2018, 128}, {5052, 5052, 32},  {5144, 5144, 80},  {9374, 9374, 260},
        {9377, 9379, 260},
    };
    for (const Range &r : ranges) {
        for (UINT id = r.first; id <= r.last; ++id) {
            std::u16string s = load(id);
            EXPECT_FALSE(s.empty()) << id;
            EXPECT_LE(s.size(), r.max) << id;
            EXPECT_EQ(s.find(u'%'), std::u16string::npos) << id;
        }
    }
    // the stamp texts (the second of each name, text, face triple) hold 64
    for (UINT id = 1792; id <= 1810; id += 3)
        EXPECT_LE(load(id).size(), 64u) << id;
    EXPECT_EQ(load(2009).size(), 1u) << "a one-character separator";
    EXPECT_FALSE(load(9241).empty());
    EXPECT_FALSE(load(9374).find_first_of(u"\\/:*?\"<>|") != std::u16string::npos) << "a folder name";
}

// Numbers read with _wtoi: the language numbers (read as at most 4
// characters) and the stamp font numbers (at most 11).
TEST_F(ResourceModule, NumbersReadAsNumbers)
{
    for (UINT id : {17u, 5146u}) {
        std::u16string s = load(id, 5);
        EXPECT_TRUE(is_number(s)) << id;
        EXPECT_EQ(s, load(id)) << id << " fits 4 characters";
    }
    std::vector<UINT> ids = {1790};
    for (UINT id = 5149; id <= 5173; ++id)
        if (id != 5157)
            ids.push_back(id);
    for (UINT id : ids) {
        std::u16string s = load(id, 12);
        EXPECT_TRUE(is_number(s)) << id;
        EXPECT_EQ(s, load(id)) << id;
    }
}

TEST_F(ResourceModule, CustomPaperBaseNameLosesItsDigits)
{
    std::u16string s = load(16, 32);
    while (!s.empty() && s.back() >= u'0' && s.back() <= u'9')
        s.pop_back();
    EXPECT_FALSE(s.empty()) << "a name is left once the digits are gone";
}

namespace {

// Hexadecimal byte values separated by commas, as the framework reads its
// character rules; false for anything else.
bool hex_byte_list(std::u16string_view s, size_t *count)
{
    *count = 0;
    size_t digits = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (digits == 0 && c == u'0' && i + 1 < s.size() && (s[i + 1] == u'x' || s[i + 1] == u'X')) {
            ++i; /* a "0x" before the byte */
            continue;
        }
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hex && ++digits <= 2)
            continue;
        if (c != u',' || digits == 0 || digits > 2)
            return false;
        ++*count, digits = 0;
    }
    if (digits == 0 || digits > 2)
        return false;
    ++*count;
    return true;
}

} // namespace

// The page framework's edit-field messages: the setting's name, then the
// numbers of the field's range, in the order the edit field passes them.
TEST_F(ResourceModule, EditFieldMessagesTakeTheirArguments)
{
    struct Case {
        UINT id;
        const char *refs[5];
    } cases[] = {
        {425, {"s", "d", "d", "d", "d"}}, {445, {"s", "d", "d"}}, {447, {"s", "d", "d"}},
        {737, {"s", "d"}},                {738, {"s", "d", "d"}}, {743, {"s", "d", "d"}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> refs;
        ASSERT_TRUE(positional_refs(load(c.id), refs)) << c.id;
        size_t n = 0;
        while (n < 5 && c.refs[n])
            ++n;
        ASSERT_EQ(refs.size(), n) << c.id;
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ(refs[i], c.refs[i]) << c.id << ": argument " << i + 1;
    }
}

// Character rules are hexadecimal byte lists (a byte may be written "0x81"):
// pairs of single-byte ranges, four bytes a double-byte range, two bytes a
// double-byte character.
TEST_F(ResourceModule, CharacterRulesAreByteLists)
{
    struct Case {
        UINT id;
        size_t multiple;
    } cases[] = {{9219, 2}, {9233, 4}, {9236, 2}, {9901, 2}, {9902, 4}, {9903, 1}, {9904, 2}, {9220, 2}, {9221, 2}, {9222, 4}, {9235, 2}, {9905, 4}};
    for (const Case &c : cases) {
        size_t count = 0;
        ASSERT_TRUE(hex_byte_list(load(c.id), &count)) << c.id;
        EXPECT_EQ(count % c.multiple, 0u) << c.id;
    }
    EXPECT_EQ(load(9239).size(), 1u);
    EXPECT_EQ(load(9240).size(), 1u);
}

namespace {

/* The pictures of tarvelpics' table so far: the list rows' icons, the trays' icons and the prompt's icon. */
constexpr WORD kIcons[] = {252, 253, 384, 859, 1011, 1012, 3554};

} // namespace

/*
 * Every icon the pages name loads at its stored 32 x 32 size and is a
 * picture: it has transparent and opaque pixels and at least three colours
 * (a shape with an edge and a fill, not a flat box); no two are alike.
 */
TEST_F(ResourceModule, IconsArePicturesThatDiffer)
{
    std::vector<std::vector<COLORREF>> seen;
    for (WORD id : kIcons) {
        HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, 0));
        ASSERT_NE(icon, nullptr) << id << " error " << GetLastError();
        ICONINFO ii{};
        ASSERT_TRUE(GetIconInfo(icon, &ii)) << id;
        BITMAP bm{};
        GetObjectW(ii.hbmColor, sizeof bm, &bm);
        EXPECT_EQ(bm.bmWidth, 32) << id;
        EXPECT_EQ(bm.bmHeight, 32) << id;
        std::vector<COLORREF> pixels;
        std::set<COLORREF> colours;
        int transparent = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool clear = plat::bitmap_pixel(ii.hbmMask, x, y) != RGB(0, 0, 0);
                const COLORREF c = clear ? CLR_INVALID : plat::bitmap_pixel(ii.hbmColor, x, y);
                transparent += clear;
                if (!clear)
                    colours.insert(c);
                pixels.push_back(c);
            }
        EXPECT_GT(transparent, 0) << id;
        EXPECT_LT(transparent, 32 * 32 - 100) << id << " shows too little";
        EXPECT_GE(colours.size(), 3u) << id;
        for (const std::vector<COLORREF> &other : seen)
            EXPECT_NE(pixels, other) << id << " looks like another icon";
        seen.push_back(pixels);
        DeleteObject(ii.hbmColor);
        DeleteObject(ii.hbmMask);
        DestroyIcon(icon);
    }
}
