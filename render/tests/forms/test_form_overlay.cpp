// Form overlays: the tag table, the reader and converter against form bytes
// written out by hand, the form file's path rules and folders, and whole
// jobs that make a form and print pages over it, read back through the job
// lister.
#include "form_overlay.h"
#include "job_channel.h"
#include "page_recording.h"
#include "test_job_support.h"

#include "job_listing.h"

#include <tarvel/base/res_text.h>

#include <plat/handle.h>
#include <plat/msgbox.h>

#include <cstring>
#include <string>

using namespace job_test;

namespace {

/* ---- Converting forms in memory --------------------------------------------- */

struct Memory {
    std::string bytes;
    size_t at = 0;
    DWORD largestRead = 0;
};

BOOL memorySource(void *context, void *buffer, DWORD n, DWORD *got)
{
    auto *m = static_cast<Memory *>(context);
    size_t k = std::min<size_t>(n, m->bytes.size() - m->at);
    std::memcpy(buffer, m->bytes.data() + m->at, k);
    m->at += k;
    m->largestRead = std::max(m->largestRead, n);
    *got = DWORD(k);
    return TRUE;
}

int stringSink(void *context, const void *bytes, DWORD n)
{
    static_cast<std::string *>(context)->append(static_cast<const char *>(bytes), n);
    return 0;
}

struct Converted {
    int accepted;
    std::string out;
    FormScan scan;
};

Converted convert(const std::string &form, const FormConversion &conv)
{
    Memory m{form};
    FormReader reader;
    OVL_InitFormReader(&reader, memorySource, &m);
    Converted c{};
    c.accepted = OVL_ConvertForm(&reader, &conv, &c.scan, stringSink, &c.out);
    return c;
}

std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s += char(b);
    return s;
}

/* A Comment operator: ubyte_array (C8) with a ubyte length (C0 n), the text, CommentData (F8 81), Comment (47). */
std::string comment(const std::string &text) { return bytes({0xC8, 0xC0, int(text.size())}) + text + bytes({0xF8, 0x81, 0x47}); }

const std::string kHeaderLine = ") HP-PCL XL;2;1\n";
const std::string kResolution600 = comment("FormResoX=600") + comment("FormResoY=600");

/* SetPageOrigin (100, 50): sint16_xy D3, PageOrigin F8 2A, operator 75. */
const std::string kOrigin100x50 = bytes({0xD3, 0x64, 0x00, 0x32, 0x00, 0xF8, 0x2A, 0x75});
/* SetPageScale (1.0, 0.5): real32_xy D5 with 3F800000 and 3F000000 little-endian, PageScale F8 2B, operator 77. */
const std::string kScale1x05 = bytes({0xD5, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0xF8, 0x2B, 0x77});
/* SetPageRotation 90: sint16 C3 5A 00, PageAngle F8 29, operator 76. */
const std::string kAngle90 = bytes({0xC3, 0x5A, 0x00, 0xF8, 0x29, 0x76});

TEST(FormTagTable, KindsSizesAndCounts)
{
    struct Case {
        int tag;
        FormTag expected;
    } cases[] = {
        {0x00, {0, 0, 0}}, {0x1B, {0, 0, 0}}, {0x26, {0, 0, 0}}, {0x27, {6, 0, 0}}, {0x29, {6, 0, 0}},
        {0x2A, {0, 0, 0}}, {0x40, {0, 0, 0}}, {0x41, {1, 0, 0}}, {0xB9, {1, 0, 0}}, {0xBA, {0, 0, 0}},
        {0xC0, {2, 1, 1}}, {0xC1, {2, 2, 1}}, {0xC2, {2, 4, 1}}, {0xC3, {2, 2, 1}}, {0xC5, {2, 4, 1}},
        {0xC6, {2, 0, 0}}, {0xC8, {3, 1, 1}}, {0xC9, {3, 2, 1}}, {0xCA, {3, 4, 1}}, {0xCD, {3, 4, 1}},
        {0xD0, {2, 1, 2}}, {0xD3, {2, 2, 2}}, {0xD5, {2, 4, 2}}, {0xDF, {2, 0, 0}}, {0xE0, {2, 1, 4}},
        {0xE3, {2, 2, 4}}, {0xE5, {2, 4, 4}}, {0xEF, {2, 0, 0}}, {0xF0, {0, 0, 0}}, {0xF7, {0, 0, 0}},
        {0xF8, {4, 1, 1}}, {0xF9, {4, 2, 1}}, {0xFA, {5, 4, 1}}, {0xFB, {5, 1, 1}}, {0xFC, {0, 0, 0}},
        {0xFE, {0, 0, 0}}, {0xFF, {1, 0, 0}},
    };
    for (const Case &c : cases) {
        const FormTag &t = FormTagTable[size_t(c.tag)];
        EXPECT_EQ(t.kind, c.expected.kind) << std::hex << c.tag;
        EXPECT_EQ(t.size, c.expected.size) << std::hex << c.tag;
        if (t.kind == FORM_TAG_VALUE) {
            EXPECT_EQ(t.count, c.expected.count) << std::hex << c.tag;
        }
    }
}

TEST(FormConversion, OriginsScalesAndAnglesByResolutionAndTurn)
{
    const std::string colour = comment("ColorMode=2");
    struct Case {
        const char *what;
        std::string form;
        FormConversion conv;
        std::string expected;
        LONG resX, resY, colorMode;
    } cases[] = {
        {"600 to 1200 dpi doubles every origin and scale; comments and other values unchanged",
         kHeaderLine + kResolution600 + colour + bytes({0x61}) + kOrigin100x50 + kScale1x05 + kAngle90,
         {1200, 1200, FALSE, 0, 0},
         kHeaderLine + kResolution600 + colour + bytes({0x61}) +
             bytes({0xD3, 0xC8, 0x00, 0x64, 0x00, 0xF8, 0x2A, 0x75}) +                                 /* (200, 100) */
             bytes({0xD5, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0x3F, 0xF8, 0x2B, 0x77}) + kAngle90, /* (2.0, 1.0) */
         600, 600, 2},
        {"600 to 600: nothing changes", kResolution600 + kOrigin100x50 + kScale1x05, {600, 600, FALSE, 0, 0},
         kResolution600 + kOrigin100x50 + kScale1x05, 600, 600, 0},
        {"no resolution comments: the values stay", kOrigin100x50 + kScale1x05, {1200, 1200, FALSE, 0, 0},
         kOrigin100x50 + kScale1x05, 0, 0, 0},
        {"only the y resolution: x stays, y doubles", comment("FormResoY=300") + kOrigin100x50,
         {1200, 600, FALSE, 0, 0},
         comment("FormResoY=300") + bytes({0xD3, 0x64, 0x00, 0x64, 0x00, 0xF8, 0x2A, 0x75}), 0, 300, 0},
        {"a rounded conversion: 3 x 600 / 400 = 4.5 gives 5",
         comment("FormResoX=400") + comment("FormResoY=400") + bytes({0xD3, 0x03, 0x00, 0xFD, 0xFF, 0xF8, 0x2A, 0x75}),
         {600, 600, FALSE, 0, 0},
         comment("FormResoX=400") + comment("FormResoY=400") + bytes({0xD3, 0x05, 0x00, 0xFB, 0xFF, 0xF8, 0x2A, 0x75}),
         400, 400, 0},
        {"turned: the origin mirrored in the page, an angle after a scale turned, one after an origin not",
         kScale1x05 + kAngle90 + kOrigin100x50 + kAngle90, {600, 600, TRUE, 4800, 6800},
         kScale1x05 + bytes({0xC3, 0x0E, 0x01, 0xF8, 0x29, 0x76}) + /* 270 */
             bytes({0xD3, 0x5C, 0x12, 0x5E, 0x1A, 0xF8, 0x2A, 0x75}) + kAngle90, /* (4700, 6750) */
         0, 0, 0},
        {"turned: 270 after a scale becomes 90", kScale1x05 + bytes({0xC3, 0x0E, 0x01, 0xF8, 0x29, 0x76}),
         {600, 600, TRUE, 0, 0}, kScale1x05 + kAngle90, 0, 0, 0},
        {"a comment above 32 bytes is not read", comment("FormResoX=600 and then some more text"),
         {1200, 1200, FALSE, 0, 0}, comment("FormResoX=600 and then some more text"), 0, 0, 0},
        {"embedded data and a uint16-length array (taken by an operator) are copied",
         bytes({0xFB, 0x03, 0x01, 0x02, 0x03, 0xFA, 0x02, 0x00, 0x00, 0x00, 0x04, 0x05, 0xC9, 0xC1, 0x02, 0x00,
                0x41, 0x00, 0x42, 0x00, 0xF8, 0xAB, 0xC6, 0xF8, 0x01, 0x6B}),
         {1200, 1200, FALSE, 0, 0},
         bytes({0xFB, 0x03, 0x01, 0x02, 0x03, 0xFA, 0x02, 0x00, 0x00, 0x00, 0x04, 0x05, 0xC9, 0xC1, 0x02, 0x00,
                0x41, 0x00, 0x42, 0x00, 0xF8, 0xAB, 0xC6, 0xF8, 0x01, 0x6B}),
         0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Converted r = convert(c.form, c.conv);
        EXPECT_EQ(r.accepted, 1);
        EXPECT_EQ(r.out, c.expected);
        EXPECT_EQ(r.scan.size, c.form.size());
        EXPECT_EQ(r.scan.formResX, c.resX);
        EXPECT_EQ(r.scan.formResY, c.resY);
        EXPECT_EQ(r.scan.colorMode, c.colorMode);
    }
}

TEST(FormConversion, TokensTheTableDoesNotAllowRefuseTheForm)
{
    struct Case {
        const char *what;
        std::string form;
    } cases[] = {
        {"a tag of kind 0", kOrigin100x50 + bytes({0x00})},
        {"an escape byte (kind 0)", bytes({0x1B, 0x45})},
        {"an attribute tag standing alone (kind 4)", bytes({0xF8, 0x2A, 0x75})},
        {"a two-byte attribute tag standing alone", bytes({0xF9, 0x2A, 0x00})},
        {"a value not followed by an attribute", bytes({0xC0, 0x05, 0x41})},
        {"a value followed by a two-byte attribute", bytes({0xC0, 0x05, 0xF9, 0x2A, 0x00, 0x41})},
        {"a value cut short", bytes({0x41, 0xD3, 0x64, 0x00})},
        {"an attribute cut short", bytes({0xC1, 0x05, 0x00, 0xF8})},
        {"an array whose length is not a ubyte or uint16", bytes({0xC8, 0xC2, 0x01, 0, 0, 0, 0x41, 0xF8, 0x81})},
        {"an array cut short", bytes({0xC8, 0xC0, 0x09, 'a', 'b'})},
        {"embedded data cut short", bytes({0xFA, 0x10, 0x00, 0x00, 0x00, 0x01, 0x02})},
        {"an embedded length cut short", bytes({0xFA, 0x10, 0x00})},
        {"a stream header line without its line end", ") HP-PCL XL;2;1"},
        {"a stream that ends inside an attribute list", kOrigin100x50 + bytes({0xD3, 0x64, 0x00, 0x32, 0x00, 0xF8, 0x2A})},
        {"an array that no operator takes", bytes({0xC8, 0xC0, 0x02, 'a', 'b', 0xF8, 0x81})},
        {"embedded data inside an attribute list", bytes({0xC0, 0x05, 0xF8, 0x2A, 0xFB, 0x01, 0x00})},
        {"a line inside an attribute list", bytes({0xC0, 0x05, 0xF8, 0x2A}) + kHeaderLine + bytes({0x41})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(convert(c.form, {1200, 1200, FALSE, 0, 0}).accepted, 0);
    }
}

TEST(FormConversion, AnEmptyFormIsReadAsZeroBytes)
{
    Converted r = convert("", {600, 600, FALSE, 0, 0});
    EXPECT_EQ(r.accepted, 1);
    EXPECT_EQ(r.scan.size, 0u);
    EXPECT_EQ(r.out, "");
}

TEST(FormConversion, TokensRunAcrossTheReadersBuffers)
{
    /* a 4,090-byte embedded block puts the next origin across the first buffer's end */
    std::string form = kResolution600 + bytes({0xFA, 0xD2, 0x0F, 0x00, 0x00}) + std::string(4050, 'x');
    const size_t originAt = form.size();
    form += kOrigin100x50;
    form += std::string(5000, '\x41'); /* operators into a third buffer */
    ASSERT_LT(originAt, size_t(FORM_READ_BLOCK));
    ASSERT_GT(originAt + kOrigin100x50.size(), size_t(FORM_READ_BLOCK));
    Memory m{form};
    FormReader reader;
    OVL_InitFormReader(&reader, memorySource, &m);
    FormConversion conv{1200, 1200, FALSE, 0, 0};
    Converted c{};
    c.accepted = OVL_ConvertForm(&reader, &conv, &c.scan, stringSink, &c.out);
    EXPECT_EQ(c.accepted, 1);
    EXPECT_EQ(m.largestRead, FORM_READ_BLOCK);
    std::string expected = form;
    expected.replace(originAt, kOrigin100x50.size(), bytes({0xD3, 0xC8, 0x00, 0x64, 0x00, 0xF8, 0x2A, 0x75}));
    EXPECT_EQ(c.out, expected);
    EXPECT_EQ(c.scan.size, form.size());
    EXPECT_TRUE(reader.done);
}

TEST(FormConversion, MulDivRoundsAndRefusesWhatDoesNotFit)
{
    EXPECT_EQ(OVL_MulDiv(3, 600, 400), 5);
    EXPECT_EQ(OVL_MulDiv(-3, 600, 400), -5);
    EXPECT_EQ(OVL_MulDiv(1, 1, 3), 0);
    EXPECT_EQ(OVL_MulDiv(2, 1, 3), 1);
    EXPECT_EQ(OVL_MulDiv(7, 2, 0), -1);
    EXPECT_EQ(OVL_MulDiv(0x7FFFFFFF, 2, 1), -1);
    EXPECT_EQ(OVL_MulDiv(0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF), 0x7FFFFFFF);
}

/* ---- Paths, folders and whole jobs --------------------------------------------- */

std::string u8(const std::u16string &s)
{
    std::string out;
    for (char16_t c : s)
        out += c < 0x80 ? char(c) : '?';
    return out;
}

class FormJob : public FirstJob {
protected:
    /* The bytes of a file of the machine, or "<none>". */
    static std::string fileBytes(const std::u16string &path)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return "<none>";
        std::string s;
        char piece[4096];
        DWORD got = 0;
        while (ReadFile(f, piece, sizeof piece, &got, nullptr) && got > 0)
            s.append(piece, got);
        CloseHandle(f);
        return s;
    }

    static void writeFile(const std::u16string &path, const std::string &content)
    {
        HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(f, content.data(), DWORD(content.size()), &written, nullptr));
        CloseHandle(f);
    }

    static std::u16string workFolder()
    {
        LPWSTR work = RES_AllocWorkFolderPath();
        EXPECT_NE(work, nullptr);
        std::u16string s = work ? work : u"";
        GlobalFree(work);
        return s;
    }
};

TEST_F(FormJob, RelativeDriveAndNetworkPaths)
{
    const std::u16string work = workFolder();
    ASSERT_FALSE(work.empty());
    struct Case {
        std::u16string path;
        std::u16string expected;
    } cases[] = {
        {u"Forms\\Letterhead.frm", work + u"Forms\\Letterhead.frm"},
        {u"\\Forms\\Letterhead.frm", work + u"Forms\\Letterhead.frm"},
        {u"Letterhead.frm", work + u"Letterhead.frm"},
        {u"D:\\Forms\\Letterhead.frm", u"D:\\Forms\\Letterhead.frm"},
        {u"\\\\server\\share\\Letterhead.frm", u"\\\\server\\share\\Letterhead.frm"},
        {u"Forms\\\\Letterhead.frm", u"Forms\\\\Letterhead.frm"}, /* two backslashes in a row: a network path */
    };
    for (const Case &c : cases) {
        WCHAR out[OVL_PATH_CHARS] = {};
        ASSERT_EQ(OVL_AbsolutePath(c.path.c_str(), out), 0) << u8(c.path);
        EXPECT_EQ(u8(out), u8(c.expected));
    }
    WCHAR out[OVL_PATH_CHARS];
    EXPECT_EQ(OVL_AbsolutePath((u"D:\\" + std::u16string(300, u'a')).c_str(), out), -1) << "does not fit";
    EXPECT_EQ(OVL_AbsolutePath(nullptr, out), -1);

    /* the job's form path: setting 1829, "." and the extension "frm" */
    dm->setText(1829, u"Forms\\Letterhead");
    enableContext();
    ASSERT_EQ(OVL_FormPath(pdev, out), 0);
    EXPECT_EQ(u8(out), u8(work + u"Forms\\Letterhead.frm"));
}

TEST_F(FormJob, FoldersAreMadeLevelByLevel)
{
    enableContext();
    ASSERT_EQ(OVL_CreateFolders(pdev, u"C:\\Forms\\A\xA5" u"B/C\\form.frm"), 0);
    const DWORD attrs = GetFileAttributesW(u"C:\\Forms\\A\xA5" u"B/C");
    EXPECT_NE(attrs, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW(u"C:\\Forms\\A\xA5" u"B"), INVALID_FILE_ATTRIBUTES) << "the yen sign separates";
    EXPECT_EQ(GetFileAttributesW(u"C:\\Forms\\A\xA5" u"B/C\\form.frm"), INVALID_FILE_ATTRIBUTES)
        << "the file itself is not made";
    EXPECT_EQ(OVL_CreateFolders(pdev, u"C:\\Forms\\A\xA5" u"B/C\\form.frm"), 0) << "existing levels are fine";
    EXPECT_TRUE(plat::msgbox_log().empty());
}

TEST_F(FormJob, AFolderThatCannotBeMadeAsks)
{
    enableContext();
    writeFile(u"C:\\Blocked", "a file where a folder should be");
    plat::msgbox_clear();
    plat::msgbox_script(IDOK);
    EXPECT_EQ(OVL_CreateFolders(pdev, u"C:\\Blocked\\Forms\\form.frm"), 1) << "OK: go on without the form";
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(OVL_CreateFolders(pdev, u"C:\\Blocked\\Forms\\form.frm"), -1) << "Cancel";
    auto log = plat::msgbox_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(u8(log[0].caption), "Error");
    EXPECT_EQ(u8(log[0].text).rfind("The folder for the form overlay file could not be created.", 0), 0u);
    EXPECT_EQ(log[0].style, MB_OKCANCEL | MB_ICONWARNING | MB_SETFOREGROUND);
}

/* The form a one-page form-creation job of the standard model writes, listed as stream data. */
pxllist::Listing listForm(const std::string &form)
{
    pxllist::Listing listing;
    pxllist::Options options;
    options.stream_body = true;
    std::span<const uint8_t> span(reinterpret_cast<const uint8_t *>(form.data()), form.size());
    EXPECT_TRUE(pxllist::ListJob(span, options, &listing)) << pxllist::FormatError(listing.error);
    return listing;
}

std::vector<std::string> formOps(const pxllist::Listing &listing)
{
    std::vector<std::string> ops;
    for (const pxllist::Record &r : listing.records)
        if (r.kind == pxllist::RecordKind::kOperator)
            ops.push_back(compact(r));
    return ops;
}

TEST_F(FormJob, AFormCreationJobWritesItsFirstPageIntoTheFormFile)
{
    dm->set(339, 1);
    dm->setText(1829, u"C:\\Forms\\Letterhead");
    enableContext();
    ASSERT_TRUE(printBlank(2));
    EXPECT_EQ(spooled(), "") << "nothing goes to the printer";
    const std::string form = fileBytes(u"C:\\Forms\\Letterhead.frm");
    ASSERT_NE(form, "<none>");
    /* the stream header line, then the three header comments (a colour page of a colour job), then the first
       page's recorded bytes */
    EXPECT_EQ(form.substr(0, kStreamHeader.size()), kStreamHeader);
    const std::string info = comment("FormResoX=600") + comment("FormResoY=600") + comment("ColorMode=2");
    EXPECT_EQ(form.substr(kStreamHeader.size(), info.size()), info);
    EXPECT_EQ(form[kStreamHeader.size() + info.size()], '\x61') << "the recorded page starts with its PushGS";
    const std::vector<std::string> ops = formOps(listForm(form));
    ASSERT_GE(ops.size(), 6u);
    int pushes = 0, pops = 0, starts = 0;
    for (const std::string &op : ops) {
        EXPECT_EQ(op.find("BeginSession"), std::string::npos);
        EXPECT_EQ(op.find("BeginPage"), std::string::npos);
        EXPECT_NE(op, "EndPage");
        starts += op.find("StartPage\"") != std::string::npos;
        pushes += op == "PushGS";
        pops += op == "PopGS";
    }
    EXPECT_EQ(pushes, 1);
    EXPECT_EQ(pops, 1) << "the form closes the graphics state its page start pushed";
    EXPECT_EQ(starts, 1) << "only the first page";
    EXPECT_NE(ops.back().find("EndJob"), std::string::npos) << ops.back();
}

TEST_F(FormJob, AFolderThatCannotBeMadeOkPrintsWithoutAFormCancelFails)
{
    writeFile(u"C:\\Blocked", "a file where a folder should be");
    dm->set(339, 1);
    dm->setText(1829, u"C:\\Blocked\\Forms\\Letterhead");
    enableContext();
    plat::msgbox_clear();
    plat::msgbox_script(IDOK);
    ASSERT_TRUE(printBlank(1)) << "OK: the job goes on";
    EXPECT_EQ(plat::msgbox_log().size(), 1u);
    const std::string out = spooled();
    EXPECT_EQ(out.substr(0, kStreamHeader.size()), kStreamHeader) << "the form stays on the output";
    listForm(out);

    plat::msgbox_script(IDCANCEL);
    EXPECT_FALSE(printBlank(1)) << "Cancel fails the job";
    EXPECT_EQ(spooled().find(kStreamHeader), std::string::npos) << "no form goes anywhere";
    EXPECT_EQ(plat::msgbox_log().size(), 2u);
}

TEST_F(FormJob, PagesPrintedOverAFormDefineItOnceAndRunItOnEachPage)
{
    /* make the form */
    dm->set(339, 1);
    dm->setText(1829, u"Forms\\Letterhead");
    enableContext();
    ASSERT_TRUE(printBlank(1));
    const std::string form = fileBytes(workFolder() + u"Forms\\Letterhead.frm");
    ASSERT_NE(form, "<none>");
    disable();

    /* print three pages over it */
    dm->set(339, 2);
    enableContext();
    ASSERT_TRUE(printBlank(3));
    Job j = list(spooled());
    ASSERT_TRUE(j.listing.ok);
    std::vector<std::string> top; /* the job's own operators, stream data aside */
    int begins = 0, reads = 0, execs = 0;
    for (size_t i = 0; i < j.ops.size(); i++) {
        const std::string &op = j.ops[i];
        begins += op.rfind("BeginStream", 0) == 0;
        reads += op.rfind("ReadStream", 0) == 0;
        if (op.rfind("ExecStream", 0) == 0) {
            execs++;
            /* right after the page start, inside a saved graphics state */
            ASSERT_GE(i, 2u);
            EXPECT_EQ(j.ops[i - 1], "PushGS");
            EXPECT_EQ(j.ops[i - 2].rfind("BeginPage", 0), 0u);
            EXPECT_EQ(j.ops[i + 1], "PopGS");
        }
    }
    EXPECT_EQ(begins, 1) << "the form's stream is defined once";
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(execs, 3) << "and executed on each page";
    /* the stream's data is the form as it was made (same resolution) */
    const auto stream = std::find_if(j.listing.records.begin(), j.listing.records.end(), [](const pxllist::Record &r) {
        return r.kind == pxllist::RecordKind::kOperator && r.op == pxllist::op::kReadStream;
    });
    ASSERT_NE(stream, j.listing.records.end());
    EXPECT_EQ(std::string(stream->data.begin(), stream->data.end()), form);
    auto at = std::find(j.ops.begin(), j.ops.end(), "BeginStream StreamName=77,65,67,82,79");
    EXPECT_NE(at, j.ops.end()) << "named MACRO";
}

/* The operators of the user-defined stream data in a job (depth 1), in the compact form. */
std::vector<std::string> streamOps(const Job &j)
{
    std::vector<std::string> ops;
    for (const pxllist::Record &r : j.listing.records)
        if (r.kind == pxllist::RecordKind::kOperator && r.depth == 1)
            ops.push_back(compact(r));
    return ops;
}

TEST_F(FormJob, AFormMadeAt600PrintsAt1200WithItsOriginsAndScalesDoubled)
{
    dm->set(339, 1);
    dm->setText(1829, u"C:\\Forms\\Letterhead");
    enableContext();
    ASSERT_TRUE(printBlank(1));
    const std::string form = fileBytes(u"C:\\Forms\\Letterhead.frm");
    ASSERT_NE(form, "<none>");
    const std::vector<std::string> made = formOps(listForm(form));
    /* the blank page's transform at 600 dpi: 4.2 mm margins, 99 pixels */
    ASSERT_NE(std::find(made.begin(), made.end(), "SetPageOrigin PageOrigin=99,99"), made.end());
    ASSERT_NE(std::find(made.begin(), made.end(), "SetPageScale PageScale=1,1"), made.end());
    disable();

    dm->set(339, 2);
    dm->resolution(1200);
    enableContext();
    ASSERT_TRUE(printBlank(1));
    Job j = list(spooled());
    ASSERT_TRUE(j.listing.ok);
    const std::vector<std::string> replayed = streamOps(j);
    EXPECT_NE(std::find(replayed.begin(), replayed.end(), "SetPageOrigin PageOrigin=198,198"), replayed.end());
    EXPECT_NE(std::find(replayed.begin(), replayed.end(), "SetPageScale PageScale=2,2"), replayed.end());
    EXPECT_NE(std::find(replayed.begin(), replayed.end(), "Comment FormResoX=600"), replayed.end())
        << "comments are copied unchanged";
}

TEST_F(FormJob, TwoPassDuplexBackFacesRunTheTurnedCopy)
{
    dm->set(339, 1);
    dm->setText(1829, u"C:\\Forms\\Letterhead");
    enableContext();
    ASSERT_TRUE(printBlank(1));
    disable();

    dm->set(339, 2);
    dm->set(16, 2); /* duplex, long edge */
    enableContext();
    ASSERT_TRUE(startDoc());
    /* a model that duplexes by the driver: two passes over the recorded sides */
    pdev->jobSettings->driverDuplex = 1;
    pdev->jobSettings->recorded = 1;
    ASSERT_TRUE(finishBlank(2));
    Job j = list(spooled());
    ASSERT_TRUE(j.listing.ok);
    std::vector<std::string> defined, run;
    for (const std::string &op : j.ops) {
        if (op.rfind("BeginStream", 0) == 0)
            defined.push_back(op);
        if (op.rfind("ExecStream", 0) == 0)
            run.push_back(op);
    }
    const std::string macro = "StreamName=77,65,67,82,79", turned = "StreamName=82,79,84,66,75"; /* MACRO, ROTBK */
    EXPECT_EQ(defined, (std::vector<std::string>{"BeginStream " + macro, "BeginStream " + turned}));
    /* the first pass writes the back face (page 2), the second the front */
    EXPECT_EQ(run, (std::vector<std::string>{"ExecStream " + turned, "ExecStream " + macro}));
}

TEST_F(FormJob, AFormOverlayJobWithoutAnAcceptedFormPrintsPlainPages)
{
    struct Case {
        const char *what;
        std::string content;
    } cases[] = {{"a 0-byte form", ""}, {"a form with a byte of kind 0", kResolution600 + bytes({0x00})}};
    dm->set(339, 2);
    dm->setText(1829, u"C:\\Forms\\Plain");
    CreateDirectoryW(u"C:\\Forms", nullptr);
    enableContext();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(u"C:\\Forms\\Plain.frm", c.content);
        ULONGLONG size = 99;
        LONG colorMode = 9;
        EXPECT_EQ(OVL_DefineFormStreams(pdev, FALSE, &size, &colorMode, FALSE), 0);
        EXPECT_EQ(size, 0u);
        ASSERT_TRUE(printBlank(1));
        Job j = list(spooled());
        for (const std::string &op : j.ops) {
            EXPECT_EQ(op.find("Stream"), std::string::npos) << op;
            EXPECT_NE(op, "PushGS");
        }
    }
}

TEST_F(FormJob, AColourFormMakesMonochromePagesColour)
{
    CreateDirectoryW(u"C:\\Forms", nullptr);
    writeFile(u"C:\\Forms\\Colour.frm", kHeaderLine + comment("FormResoX=600") + comment("FormResoY=600") +
                                            comment("ColorMode=2") + bytes({0x61}) + kOrigin100x50);
    dm->set(339, 2);
    dm->setText(1829, u"C:\\Forms\\Colour");
    enableContext();
    ASSERT_TRUE(startDoc());
    ASSERT_EQ(OVL_FindJobForm(pdev), 0);
    EXPECT_EQ(pdev->formFound, 1);
    EXPECT_EQ(pdev->formColorMode, 2);
    EXPECT_EQ(OVL_PageColorCode(pdev, 0x01), 0x02);
    EXPECT_EQ(OVL_PageColorCode(pdev, 0x11), 0x12);
    EXPECT_EQ(OVL_PageColorCode(pdev, 0x02), 0x02);
    EXPECT_EQ(OVL_PageColorCode(pdev, 0x03), 0x03);
    pdev->formColorMode = 1;
    EXPECT_EQ(OVL_PageColorCode(pdev, 0x01), 0x01) << "a monochrome form leaves the page alone";
    /* a later job without a form forgets it */
    pdev->formColorMode = 2;
    put(339, 0);
    ASSERT_EQ(OVL_FindJobForm(pdev), 0);
    EXPECT_EQ(pdev->formFound, 0);
    EXPECT_EQ(OVL_PageColorCode(pdev, 0x01), 0x01);
    EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
}

} // namespace
