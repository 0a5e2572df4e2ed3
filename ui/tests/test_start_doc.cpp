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

#include <tarvel/base/esc_codes.h>
#include <tarvel/fax_layout.h>
#include <tarvel/setting_layout.h>
#include <tarvel/stores/pdt_chunk.h>

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
    /* Writes a model's files into the driver directory and installs a printer of it. */
    void installWritten(const mw::Model &m, const std::u16string &printer)
    {
        std::string dir;
        ASSERT_TRUE(plat::map_path(plat::driver_dir_win(), dir));
        std::string error;
        ASSERT_TRUE(mw::writeFiles(m, dir, error)) << error;
        install(printer, m.fileName);
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

TEST_F(StartDoc, ARefusedDestinationStillSendsTheSettings)
{
    /* Destination 7 needs the printer's stored-job name, which is empty. */
    HDC dc = open(kColourPrinter, devmode(kColourPrinter, {{334, 7}}));
    DOCINFOW di{sizeof(DOCINFOW), u"Refused", nullptr, nullptr, 0};
    EXPECT_EQ(StartDocW(dc, &di), SP_ERROR);
    /* the fixed-up settings still go back; nothing of start-doc-post runs */
    EXPECT_EQ(steps(plat::gdi_escape_log()), kStartDoc);
    ASSERT_EQ(plat::msgbox_log().size(), 1u);
    EXPECT_EQ(plat::msgbox_log()[0].style, UINT(MB_SYSTEMMODAL));
}

TEST_F(StartDoc, TheJobDataAgainAfterAReset)
{
    std::vector<BYTE> dm = devmode(kColourPrinter);
    HDC dc = open(kColourPrinter, dm);
    DOCINFOW di{sizeof(DOCINFOW), u"Reset", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0);
    ASSERT_GT(StartPage(dc), 0);
    ASSERT_GT(EndPage(dc), 0);
    plat::gdi_escape_clear();
    ASSERT_EQ(ResetDCW(dc, reinterpret_cast<const DEVMODEW *>(dm.data())), dc);
    std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
    EXPECT_EQ(steps(log), jobData({{0x5002, 0, 5896}})) << "the settings read back, then the job data";
    for (const auto &r : log)
        EXPECT_GT(r.answer, 0) << std::hex << r.code;
    EXPECT_EQ(wideAt(find(log, 0x5023)->input, 0, 261), u"Reset");
    ASSERT_GT(StartPage(dc), 0);
    ASSERT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0);
}

TEST_F(StartDoc, AFailingJobDataEscapeLeavesTheRestAndClosesTheBracket)
{
    HDC dc = open(kColourPrinter, devmode(kColourPrinter));
    plat::gdi_escape_script(0x500B, 0); /* the printer data are refused */
    DOCINFOW di{sizeof(DOCINFOW), u"Failing", nullptr, nullptr, 0};
    EXPECT_EQ(StartDocW(dc, &di), SP_ERROR) << "start-doc-post failed the document";
    std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
    EXPECT_EQ(steps(log), concat(kStartDoc, jobData({{0x502A, 0, 4}, {0x5002, 0, 5896}, {0x5002, 0, 5896}})));
    ASSERT_NE(find(log, 0x500B), nullptr);
    EXPECT_TRUE(find(log, 0x500B)->scripted);
    ASSERT_NE(find(log, 0x5021, 1), nullptr);
    EXPECT_EQ(find(log, 0x5021, 1)->input, (std::vector<BYTE>{1, 0})) << "closed";
    EXPECT_GT(find(log, 0x5021, 1)->answer, 0);

    /* The closing bracket refused: the job data fail too, and nothing follows it. */
    plat::gdi_escape_clear();
    HDC second = open(kColourPrinter, devmode(kColourPrinter));
    plat::gdi_escape_script(0x5021, 1);
    plat::gdi_escape_script(0x5021, -1);
    EXPECT_EQ(StartDocW(second, &di), SP_ERROR);
    log = plat::gdi_escape_log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().code, 0x5021);
    EXPECT_EQ(log.back().answer, -1);
}

/* A copy of the fax model on format 0x1600 whose device class is 2 (every job a fax job, in copy sets). */
mw::Model classTwoModel()
{
    for (mw::Model m : tarvel_models::standardModels()) {
        if (m.fileName != "TARVEL2.DDD")
            continue;
        m.fileName = "TCLASS2.DDD";
        m.companionName = "TCLASS2.DDC";
        m.main.entries[23] = mw::eU8(1); /* stored class 1: reported as class 2 */
        return m;
    }
    ADD_FAILURE() << "no fax model";
    return {};
}

/* A copy of the colour model with the job companion program: capability bit 55 and model text 23. */
mw::Model companionModel()
{
    for (mw::Model m : tarvel_models::standardModels()) {
        if (m.fileName != "TARVEL1.DDD")
            continue;
        m.fileName = "TCOMP.DDD";
        m.companionName = "TCOMP.DDC";
        std::vector<mw::Text> texts;
        const char *modelTexts[18] = {"tarvelda.dll", "Tarvel Device Access", "Opening the device", "", "", "",
                                      "", "", "", "", "", "",
                                      "", "", "", "Job Companion.exe", "tarveljc.exe", "tarvelda.dll"};
        for (const char *t : modelTexts)
            texts.push_back(mw::stored(t));
        m.main.entries[36] = mw::eTexts(texts);                                        /* text 23: item 15 */
        m.main.entries[39] = mw::eU32s({(1u << 0) | (1u << 1) | (1u << 7) | (1u << 23), 0}); /* bit 55 */
        return m;
    }
    ADD_FAILURE() << "no colour model";
    return {};
}


TEST_F(StartDoc, ACopySetJobOfAClassTwoModel)
{
    const std::u16string printer = u"Tarvel Class Two";
    installWritten(classTwoModel(), printer);
    /* Three copy sets, each its own job header with its fax destination from the printer's send list. */
    std::vector<BYTE> list(DPF_FaxListSize(3));
    std::memcpy(list.data(), DPF_TAG_FAX, sizeof DPF_TAG_FAX);
    plat::store_u16(list.data(), DPF_FAX_OFFSET_COUNT, 3);
    const char16_t *numbers[3] = {u"5551001", u"5551002", u"5551003"};
    for (int i = 0; i < 3; i++)
        std::memcpy(list.data() + FAX_HEADER_SIZE + i * FAX_ENTRY_SIZE + FAX_E_ADDRESS, numbers[i], 16);
    {
        Printer admin(printer, PRINTER_ALL_ACCESS);
        ASSERT_TRUE(PDT_WriteChunked(admin.handle, list.data(), DWORD(list.size()), u"FaxSendList", u"FaxSendListSize"));
    }
    HDC dc = open(printer, devmode(printer, {{1333, 1}, {379, 0}, {380, 3}}));
    DOCINFOW di{sizeof(DOCINFOW), u"Copy sets", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0) << GetLastError();
    std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
    const plat::GdiEscapeRecord *set = find(log, 0x5025);
    ASSERT_NE(set, nullptr);
    ASSERT_GE(set->input.size(), 24u);
    const BYTE *head = set->input.data();
    const DWORD n = plat::load_u32(head, 0), s = plat::load_u32(head, 4);
    /* The copy-set mode asked again for the headers; no copy-set data escape (no block); the header set. */
    EXPECT_EQ(steps(log),
              concat(kStartDoc, jobData({{0x502A, 0, 4}, {0x5002, 0, 5896}, {0x5002, 0, 5896}, {0x5009, 0, 4}},
                                        {{0x5025, 24 + 3 * (size_t(s) + 12), 0}})));
    for (const auto &r : log)
        EXPECT_GT(r.answer, 0) << std::hex << r.code;
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(plat::load_u32(head, 8), 24u);
    EXPECT_EQ(plat::load_u32(head, 12), 24 + 3 * s);
    EXPECT_EQ(plat::load_u32(head, 16), 24 + 3 * s + 12);
    EXPECT_EQ(plat::load_u32(head, 20), 24 + 3 * s + 24);
    for (DWORD i = 0; i < n; i++) {
        const BYTE *slot = head + 24 + size_t(i) * s;
        const DWORD length = plat::load_u32(slot, 0);
        ASSERT_LE(length, s - 4) << "the text fits its slot beside its length word";
        const std::string text(reinterpret_cast<const char *>(slot + 4), length);
        EXPECT_EQ(text.rfind("\x1B%-12345X@PJL JOB MODE=", 0), 0u) << i;
        EXPECT_NE(text.find("@PJL COMMENT DNAME=Copy sets\n"), std::string::npos) << i;
        EXPECT_NE(text.find(plat::utf16_to_utf8(numbers[i])), std::string::npos) << "copy set " << i << "'s destination";
        for (int other = 0; other < 3; other++) {
            if (other != int(i)) {
                EXPECT_EQ(text.find(plat::utf16_to_utf8(numbers[other])), std::string::npos) << i;
            }
        }
    }

    /* The job data arrived whole; without copy-set data the job prints as a direct one under copy set 0's header. */
    ASSERT_GT(StartPage(dc), 0);
    EXPECT_GT(EndPage(dc), 0);
    EXPECT_GT(EndDoc(dc), 0);
}

TEST_F(StartDoc, TheJobCompanionProgram)
{
    const std::u16string printer = u"Tarvel Companion";
    installWritten(companionModel(), printer);
    HDC dc = open(printer, devmode(printer));
    DOCINFOW di{sizeof(DOCINFOW), u"Companion", nullptr, nullptr, 0};
    const int job = StartDocW(dc, &di);
    ASSERT_GT(job, 0) << GetLastError();
    std::vector<plat::ProcessLaunch> launched = plat::process_log();
    ASSERT_EQ(launched.size(), 1u);
    const std::u16string path = plat::driver_dir_win() + u"\\Job Companion.exe";
    EXPECT_EQ(launched[0].application, path) << "the program named apart from its command line";
    /* tray: setting 265 of the job; duplex 1 while setting 1365 is off; the locale of resource string 5146 */
    Printer p(printer);
    DEVMODEW *jobDm = nullptr;
    ASSERT_EQ(DOC_BuildJobDevmode(p.handle, nullptr, &jobDm), 1);
    const int tray = int(DOC_GetNumber(reinterpret_cast<BYTE *>(jobDm), nullptr, 265));
    GlobalFree(jobDm);
    EXPECT_EQ(launched[0].commandLine, path + u" /ID:" + plat::utf8_to_utf16(std::to_string(job)) +
                                           u" /LOCALE:1033 /TRAY:" + plat::utf8_to_utf16(std::to_string(tray)) +
                                           u" /PNAME:Tarvel Companion /DUPLEX:1");
    EXPECT_EQ(plat::process_open_handles(), 0u) << "not waited for, its handles closed";
    EXPECT_GT(EndDoc(dc), 0);

    /* A model without the program starts none; a failed start does not fail the job. */
    plat::process_clear();
    HDC plain = open(kColourPrinter, devmode(kColourPrinter));
    ASSERT_GT(StartDocW(plain, &di), 0);
    EXPECT_TRUE(plat::process_log().empty());
    plat::process_script_failure(ERROR_FILE_NOT_FOUND);
    HDC failing = open(printer, devmode(printer));
    EXPECT_GT(StartDocW(failing, &di), 0);
    ASSERT_EQ(plat::process_log().size(), 1u);
    EXPECT_FALSE(plat::process_log()[0].started);
}

TEST_F(StartDoc, DocumentNamesOfNoneAndTenThousandCharacters)
{
    struct Row {
        std::u16string name;
        bool given;
        std::u16string sent;
    } rows[] = {
        {u"", true, u""},
        {u"", false, u""},
        {std::u16string(10000, u'x'), true, std::u16string(260, u'x')},
    };
    for (const Row &r : rows) {
        HDC dc = open(kColourPrinter, devmode(kColourPrinter));
        DOCINFOW di{sizeof(DOCINFOW), r.given ? r.name.c_str() : nullptr, nullptr, nullptr, 0};
        ASSERT_GT(StartDocW(dc, &di), 0) << r.name.size();
        std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
        ASSERT_NE(find(log, 0x5023), nullptr);
        EXPECT_EQ(find(log, 0x5023)->input.size(), 522u);
        EXPECT_EQ(wideAt(find(log, 0x5023)->input, 0, 261), r.sent) << r.name.size();
        EXPECT_EQ(plat::load_u16(find(log, 0x5023)->input.data(), 520), 0u) << "terminated";
        EXPECT_EQ(wideAt(find(log, 0x502C)->input, 522, 277), r.sent);
        EXPECT_GT(EndDoc(dc), 0);
    }
}

/* With the headers built here (setting 1333), the job's PJL header is the one the library sent. */
TEST_F(StartDoc, TheJobCarriesTheHeaderTheLibrarySent)
{
    HDC dc = open(kColourPrinter, devmode(kColourPrinter, {{1333, 1}}));
    DOCINFOW di{sizeof(DOCINFOW), u"Header sent", nullptr, nullptr, 0};
    const int job = StartDocW(dc, &di);
    ASSERT_GT(job, 0) << GetLastError();
    std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
    const plat::GdiEscapeRecord *set = find(log, 0x5025);
    ASSERT_NE(set, nullptr);
    const BYTE *head = set->input.data();
    const DWORD s = plat::load_u32(head, 4);
    ASSERT_EQ(plat::load_u32(head, 0), 1u) << "a job that is not split: one header";
    EXPECT_EQ(steps(log), concat(kStartDoc, jobData({{0x502A, 0, 4}, {0x5002, 0, 5896}, {0x5002, 0, 5896},
                                                     {0x5009, 0, 4}},
                                                    {{0x5025, 24 + size_t(s) + 12, 0}})));
    const DWORD length = plat::load_u32(head, 24);
    ASSERT_LE(length, s - 4);
    const std::string sent(reinterpret_cast<const char *>(head + 28), length);
    for (int t = 0; t < 3; t++)
        ASSERT_EQ(plat::load_u32(head, plat::load_u32(head, 12 + 4 * t)), 0u) << "no slot to patch in table " << t;
    EXPECT_NE(sent.find("@PJL COMMENT DNAME=Header sent\n"), std::string::npos);
    EXPECT_NE(sent.find("@PJL SET JOBATTR=\"@JOBN=Header sent\"\n"), std::string::npos) << sent;

    ASSERT_GT(StartPage(dc), 0);
    ASSERT_GT(EndPage(dc), 0);
    ASSERT_GT(EndDoc(dc), 0);
    std::vector<BYTE> bytes;
    ASSERT_TRUE(plat::spool_job_bytes(DWORD(job), bytes));
    ASSERT_GE(bytes.size(), sent.size());
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + std::ptrdiff_t(sent.size())), sent)
        << "the job opens with the library's header, byte for byte";
}

/* The page events: the page's paper and margins at start of page, the decoration query at its end. */
TEST_F(StartDoc, ThePageEventsOfAPlainJob)
{
    HDC dc = open(kColourPrinter, devmode(kColourPrinter));
    DOCINFOW di{sizeof(DOCINFOW), u"Pages", nullptr, nullptr, 0};
    ASSERT_GT(StartDocW(dc, &di), 0);
    plat::gdi_escape_clear();
    ASSERT_GT(StartPage(dc), 0);
    std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
    EXPECT_EQ(steps(log), (std::vector<Step>{{0x5002, 0, 5896}, {0x5010, 10, 0}}));
    /* Letter is model paper 1, with the built-in margins of 4.6 mm */
    EXPECT_EQ(log.back().input, (std::vector<BYTE>{1, 0, 46, 0, 46, 0, 46, 0, 46, 0}));
    EXPECT_GT(log.back().answer, 0);

    plat::gdi_escape_clear();
    ASSERT_GT(EndPage(dc), 0);
    log = plat::gdi_escape_log();
    EXPECT_EQ(steps(log), (std::vector<Step>{{0x5001, 4, 44}}));
    EXPECT_EQ(log[0].input, (std::vector<BYTE>{0, 0, 0, 0})) << "end of page";

    /* A refused page paper fails the page; a failed decoration query does not. */
    plat::gdi_escape_script(0x5010, -1);
    EXPECT_EQ(StartPage(dc), SP_ERROR);
    ASSERT_GT(StartPage(dc), 0);
    plat::gdi_escape_script(0x5001, 0);
    EXPECT_GT(EndPage(dc), 0);

    plat::gdi_escape_clear();
    EXPECT_GT(EndDoc(dc), 0);
    log = plat::gdi_escape_log();
    EXPECT_EQ(steps(log), (std::vector<Step>{{0x5001, 4, 44}}));
    EXPECT_EQ(log[0].input, (std::vector<BYTE>{1, 0, 0, 0})) << "end of document";
}

/*
 * A held job (setting 336) on a shared network printer, when the renderer
 * says its job is not open yet: a warning with OK and Cancel, captioned
 * with the printer's name; Cancel cancels the job, OK sends the warning
 * flag with the job data.
 */
TEST_F(StartDoc, TheSharedPrinterWarning)
{
    const std::u16string printer = u"Tarvel Shared";
    plat::SpoolDriver d;
    d.name = u"Tarvel TARVEL1.DDD";
    d.driver_file = u"tarvelgr.dll";
    d.data_file = u"TARVEL1.DDD";
    d.config_file = u"tarvelui.dll";
    plat::spool_add_driver(d);
    plat::SpoolPrinter sp;
    sp.name = printer;
    sp.driver = d.name;
    sp.attributes = PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_NETWORK;
    ASSERT_EQ(plat::spool_add_printer(sp), DWORD(ERROR_SUCCESS));
    std::vector<BYTE> dm = devmode(printer, {{336, 1}});
    DOCINFOW di{sizeof(DOCINFOW), u"Held", nullptr, nullptr, 0};

    HDC dc = open(printer, dm);
    plat::gdi_escape_script(0x502A, 1, 1, {1, 0, 0, 0});
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(StartDocW(dc, &di), SP_ERROR) << "cancelled";
    std::vector<plat::MsgBoxRecord> shown = plat::msgbox_log();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].style, UINT(MB_ICONWARNING | MB_OKCANCEL));
    EXPECT_EQ(shown[0].caption, std::u16string(reinterpret_cast<const char16_t *>(dm.data())).substr(0, 31));
    EXPECT_EQ(steps(plat::gdi_escape_log()), concat(kStartDoc, {{0x502A, 0, 4}})) << "nothing after the warning";

    plat::msgbox_clear();
    HDC second = open(printer, dm);
    plat::gdi_escape_script(0x502A, 1, 1, {1, 0, 0, 0});
    plat::msgbox_script(IDOK);
    ASSERT_GT(StartDocW(second, &di), 0);
    EXPECT_EQ(plat::msgbox_log().size(), 1u);
    std::vector<plat::GdiEscapeRecord> log = plat::gdi_escape_log();
    EXPECT_EQ(steps(log), concat(kStartDoc, jobData({{0x502A, 0, 4}, {0x5002, 0, 5896}, {0x5002, 0, 5896}},
                                                    {{0x502B, 4, 0}})));
    ASSERT_NE(find(log, 0x502B), nullptr);
    EXPECT_EQ(find(log, 0x502B)->input, (std::vector<BYTE>{1, 0, 0, 0}));

    /* Without the renderer's answer the job is open already: no warning. */
    plat::msgbox_clear();
    HDC third = open(printer, dm);
    ASSERT_GT(StartDocW(third, &di), 0);
    EXPECT_TRUE(plat::msgbox_log().empty());
}
