// Start of document and start-doc-post on GDI's road with the real
// libraries: the private escapes the library sends, in order and with their
// sizes, against sequences worked out by hand: a plain job, a job whose
// destination is refused (the fix-ups and settings still sent, nothing of
// start-doc-post), a copy-set job of a fax model, the job data again after
// a reset, and a failing job-data escape (the later ones still sent and the
// bracket closed).  Then what the payloads carry, bad document names, and
// the job companion program of a model that has one.
#include "doc_events.h"
#include "ui_test_support.h"

#include <standard_models.h>
#include <modelwriter/model_writer.h>

#include <tarvel/esc_codes.h>
#include <tarvel/setting_layout.h>

#include <plat/gdi.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/process.h>

#include <cstring>

namespace {

using namespace ui_test;

struct Step {
    int code;
    size_t in;
    int out;
    bool operator==(const Step &o) const { return code == o.code && in == o.in && out == o.out; }
};

std::ostream &operator<<(std::ostream &os, const Step &s)
{
    return os << "{0x" << std::hex << s.code << std::dec << ", in " << s.in << ", out " << s.out << "}";
}

std::vector<Step> steps(const std::vector<plat::GdiEscapeRecord> &log)
{
    std::vector<Step> v;
    for (const auto &r : log)
        v.push_back({r.code, r.input.size(), r.outputSize});
    return v;
}

/* Start of document: the notice, the settings read back, the extension state, the copy-set mode, the settings sent. */
const std::vector<Step> kStartDoc = {
    {0x5020, 4, 0}, {0x5002, 0, 5896}, {0x5028, 0, 12}, {0x5009, 0, 4}, {0x5005, 5896, 0},
};

/* The job data inside its bracket, without the optional flag, copy-set data and headers. */
std::vector<Step> jobData(std::vector<Step> beforeBracket, std::vector<Step> optional = {})
{
    std::vector<Step> v = std::move(beforeBracket);
    const std::vector<Step> head = {{0x5021, 2, 0}, {0x5100, 2, 0}, {0x5023, 522, 0}, {0x5005, 5896, 0},
                                    {0x500B, 6148, 0}, {0x5007, 768, 0}, {0x5029, 12, 0}};
    v.insert(v.end(), head.begin(), head.end());
    v.insert(v.end(), optional.begin(), optional.end());
    v.push_back({0x502C, 2112, 0});
    v.push_back({0x5021, 2, 0});
    return v;
}

std::vector<Step> concat(std::vector<Step> a, const std::vector<Step> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::u16string wideAt(const std::vector<BYTE> &bytes, size_t offset, size_t chars)
{
    std::u16string s;
    for (size_t i = 0; i < chars && offset + 2 * i + 1 < bytes.size(); i++) {
        char16_t c = char16_t(plat::load_u16(bytes.data(), offset + 2 * i));
        if (!c)
            break;
        s += c;
    }
    return s;
}

class StartDoc : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        install(kColourPrinter, "TARVEL1.DDD");
        install(kFaxPrinter, "TARVEL2.DDD");
        plat::gdi_escape_clear();
        plat::msgbox_clear();
    }
    void TearDown() override
    {
        for (HDC dc : dcs)
            DeleteDC(dc);
        UiTest::TearDown();
    }

    /* The printer's settings as an application's devmode (1,604 bytes), each change applied. */
    std::vector<BYTE> devmode(const std::u16string &printer, std::vector<std::pair<WORD, int>> changes = {})
    {
        Printer p(printer);
        DEVMODEW *job = nullptr;
        EXPECT_EQ(DOC_BuildJobDevmode(p.handle, nullptr, &job), 1);
        std::vector<BYTE> dm(reinterpret_cast<BYTE *>(job), reinterpret_cast<BYTE *>(job) + 1604);
        GlobalFree(job);
        plat::store_u16(dm.data(), 70, 1384);
        for (auto [id, value] : changes) {
            const IdLayoutItem *item = nullptr;
            EXPECT_EQ(LAYOUT_FindItem(id, nullptr, &item), 0) << id;
            const WORD type = item->reportedType ? item->reportedType : item->storedType;
            EXPECT_EQ(DMB_SetValueArgs(dm.data(), nullptr, id, type, value), 0) << id;
        }
        return dm;
    }
    HDC open(const std::u16string &printer, const std::vector<BYTE> &dm)
    {
        HDC dc = CreateDCW(nullptr, printer.c_str(), nullptr, reinterpret_cast<const DEVMODEW *>(dm.data()));
        EXPECT_NE(dc, nullptr) << GetLastError();
        if (dc)
            dcs.push_back(dc);
        plat::gdi_escape_clear();
        return dc;
    }
    static const plat::GdiEscapeRecord *find(const std::vector<plat::GdiEscapeRecord> &log, int code, int nth = 0)
    {
        for (const auto &r : log)
            if (r.code == code && nth-- == 0)
                return &r;
        return nullptr;
    }

    std::vector<HDC> dcs;
};

} // namespace

TEST_F(StartDoc, APlainJob)
{
    HDC dc = open(kColourPrinter, devmode(kColourPrinter));
    DOCINFOW di{sizeof(DOCINFOW), u"Plain", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0) << GetLastError();
    std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
    /* start-doc-post: the job state, the companion's settings read (no companion here), then the job data */
    const std::vector<Step> expected =
        concat(kStartDoc, jobData({{0x502A, 0, 4}, {0x5002, 0, 5896}, {0x5002, 0, 5896}}));
    EXPECT_EQ(steps(log), expected);
    for (const auto &r : log)
        EXPECT_GT(r.answer, 0) << std::hex << r.code;

    EXPECT_EQ(find(log, 0x5020)->input, (std::vector<BYTE>{1, 0, 0, 0}));
    EXPECT_EQ(find(log, 0x5021, 0)->input, (std::vector<BYTE>{0, 0})) << "begin";
    EXPECT_EQ(find(log, 0x5021, 1)->input, (std::vector<BYTE>{1, 0})) << "end";
    EXPECT_EQ(find(log, 0x5100)->input, (std::vector<BYTE>{1, 0})) << "en-US on a model that follows the locale";
    const std::vector<BYTE> &name = find(log, 0x5023)->input;
    EXPECT_EQ(wideAt(name, 0, 261), u"Plain");
    for (size_t i = 10; i < name.size(); i++)
        ASSERT_EQ(name[i], 0) << i;
    const std::vector<BYTE> &identity = find(log, 0x502C)->input;
    EXPECT_EQ(wideAt(identity, 0, 261), u"TARVELPC");
    EXPECT_EQ(wideAt(identity, 522, 277), u"Plain");
    EXPECT_EQ(wideAt(identity, 1076, 257), u"tarvel");
    EXPECT_EQ(wideAt(identity, 1590, 261), kColourPrinter);
    EXPECT_GT(EndDoc(dc), 0);
}
