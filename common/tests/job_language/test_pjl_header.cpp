/*
 * Whole job headers of the standard models (JOBATTR form) and of the
 * plain-form model, under a fixed clock, OS version and names, compared
 * byte for byte with texts written out by hand from the models' job-language
 * records: plain, duplex, copies, colour and grey, secure print, N-up, job
 * identifier, fax with its options, address file and destinations, the ANSI
 * text mode with a double-byte document name; long inputs within the bound
 * and a model whose size base understates its records.
 */
#include "test_pjl_support.h"

#include <tarvel/fax_layout.h>

#include <plat/fault.h>

#include <functional>

namespace {

using namespace pjl_test;

/* The lines every UTF-8 header of the standard printer starts with, for the document "Report". */
std::string utf8Start(const char *jobMode = "PRINTER")
{
    return kUel + "@PJL JOB MODE=" + jobMode +
           "\n"
           "@PJL SET STRINGCODESET=UTF8\n"
           "@PJL COMMENT DATE=03/07/2024\n"
           "@PJL COMMENT TIME=09:05:01\n"
           "@PJL COMMENT DNAME=Report\n";
}

/* The plain-form model's lines after the comments, for A4 paper and a document name as written. */
std::string plainModelBody(const std::string &name, bool secondJobMode)
{
    return "@PJL SET JOBNAME=" + name +
           "\n"
           "@PJL SET USERNAME=tarvel\n"
           "@PJL SET COPIES=1\n"
           "@PJL SET PAPER=A4\n"
           "@PJL SET FEED=LEF\n"
           "@PJL COMMENT NOTALL=1-1-6\n"
           "@PJL SET ECONOMODE=OFF\n" +
           (secondJobMode ? "@PJL JOB MODE=AGAIN\n" : "") +
           "@HOAD=192.0.2.15\n"
           "@HONM=TARVELHOST\n"
           "@PJL ENTER LANGUAGE=PCLXL\n";
}

class PjlHeader : public PjlTest {
protected:
    void SetUp() override
    {
        PjlTest::SetUp();
        job_.plainDefaults();
        job_.params.documentName = u"Report";
    }
    Job job_;
};

TEST_F(PjlHeader, StandardPrinterJobs)
{
    /* The user and document lines, and the N-up and language lines that close every one of these headers. */
    const std::string names = "@PJL SET JOBATTR=\"@JOAU=tarvel\"\n"
                              "@PJL SET JOBATTR=\"@JOBN=Report\"\n";
    const std::string close = "@PJL SET JOBATTR=\"@NUPL=0\"\n"
                              "@PJL ENTER LANGUAGE=PCLXL\n";
    struct Case {
        const char *what;
        std::function<void(Job &)> setup;
        std::string body; /* after the comments */
    } cases[] = {
        {"plain", [](Job &) {},
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=COLOR\n@PJL SET RESOLUTION=600\n" + close},
        {"duplex on the long edge", [](Job &j) { j.set(16, 2); },
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=ON\n@PJL SET BINDING=LONGEDGE\n@PJL SET RENDERMODE=COLOR\n"
                 "@PJL SET RESOLUTION=600\n" +
             close},
        {"duplex on the short edge, 1200 dpi", [](Job &j) { j.set(16, 3); j.set(20, 1200); },
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=ON\n@PJL SET BINDING=SHORTEDGE\n@PJL SET RENDERMODE=COLOR\n"
                 "@PJL SET RESOLUTION=1200\n" +
             close},
        {"three collated copies", [](Job &j) { j.set(12, 3); j.set(18, 1); },
         names + "@PJL SET COPIES=3\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=COLOR\n@PJL SET RESOLUTION=600\n" + close},
        {"grey, portrait", [](Job &j) { j.set(270, 1); },
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=GRAYSCALE\n@PJL SET RESOLUTION=600\n" +
             close},
        {"grey, landscape", [](Job &j) { j.set(270, 1); j.set(7, 2); },
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=GRAYSCALE\n@PJL SET RESOLUTION=600\n" +
             close},
        /* The grey record lists orientations 1 and 2 only; the colour record wants colour mode other than 1. */
        {"grey, orientation 3", [](Job &j) { j.set(270, 1); j.set(7, 3); },
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RESOLUTION=600\n" + close},
        {"secure print", [](Job &j) { j.set(4363, 1); j.setText(329, u"1234"); },
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=COLOR\n@PJL SET RESOLUTION=600\n"
                 "@PJL SET JOBATTR=\"@JOBK=SECURE\"\n@PJL SET JOBATTR=\"@PSWD=1234\"\n" +
             close},
        {"four pages per sheet, job identifier",
         [](Job &j) {
             j.set(295, 4);
             j.params.jobIdPresent = 1;
             std::strcpy(j.params.jobId, "CL01.JOB42");
         },
         "@PJL SET JOBATTR=\"@JCID=CL01.JOB42\"\n" + names +
             "@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=COLOR\n@PJL SET RESOLUTION=600\n"
             "@PJL SET JOBATTR=\"@NUPL=2\"\n@PJL ENTER LANGUAGE=PCLXL\n"},
        /* The owner gate open: the owner text of the library (owner kind 1 with the N-up insert). */
        {"job owner", [](Job &j) { j.set(5203, 1); j.set(5127, 0); },
         names + "@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=COLOR\n@PJL SET RESOLUTION=600\n"
                 "@PJL SET JOBATTR=\"@NUPL=0\"\n@PJL SET JOBATTR=\"@JOUH=1,0,0\"\n@PJL ENTER LANGUAGE=PCLXL\n"},
        {"host off", [](Job &j) { j.set(1333, 1); },
         "@PJL SET JOBATTR=\"@JOBN=Report\"\n@PJL SET COPIES=1\n@PJL SET DUPLEX=OFF\n@PJL SET RENDERMODE=COLOR\n"
         "@PJL SET RESOLUTION=600\n" +
             close},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ReaderPair p;
        openStandard(p, "TARVEL1");
        Job job;
        job.plainDefaults();
        job.params.documentName = u"Report";
        c.setup(job);
        Built b = build(p, job);
        ASSERT_GT(b.result, 0);
        EXPECT_EQ(b.text, utf8Start() + c.body);
        EXPECT_EQ(b.result, LONG(b.text.size()));
        EXPECT_EQ(job.params.bookletPosition, 0u);
        EXPECT_EQ(job.params.hcpnPosition, 0u);
        EXPECT_EQ(job.params.iwaSide2StartPosition, 0u);
    }
}

TEST_F(PjlHeader, SecurePrintPasswordIsWrittenOnce)
{
    ReaderPair p;
    openStandard(p, "TARVEL1");
    job_.set(4363, 1);
    job_.setText(329, u"1234");
    ASSERT_GT(build(p, job_).result, 0);
    EXPECT_EQ(job_.text(329), "");
    Built again = build(p, job_);
    EXPECT_EQ(again.text.find("@PSWD="), std::string::npos);
    EXPECT_NE(again.text.find("\"@JOBK=SECURE\""), std::string::npos);
}

/* A FaxSendList block with one destination per address (no prefix, attribute 3 at 0). */
std::vector<BYTE> faxList(const std::vector<std::u16string> &addresses)
{
    std::vector<BYTE> block(FAX_HEADER_SIZE + FAX_ENTRY_SIZE * addresses.size(), 0);
    const std::u16string tag = u"DFAX001";
    std::memcpy(block.data(), tag.c_str(), (tag.size() + 1) * 2);
    plat::store<WORD>(block.data() + FAX_OFF_COUNT, WORD(addresses.size()));
    for (size_t i = 0; i < addresses.size(); ++i)
        std::memcpy(block.data() + FAX_HEADER_SIZE + FAX_ENTRY_SIZE * i + FAX_E_ADDRESS, addresses[i].c_str(),
                    addresses[i].size() * 2);
    return block;
}

TEST_F(PjlHeader, FaxJobOfThePrinterAndFaxModel)
{
    ReaderPair p;
    openStandard(p, "TARVEL2");
    job_.set(334, 5);
    job_.set(4125, 1);
    job_.set(1803, 1);
    job_.set(1860, 2);
    job_.set(1859, 1);
    job_.set(1800, 1);
    job_.set(1801, 21);
    job_.set(1802, 30);
    job_.setText(1865, u"Ann");
    job_.setText(1799, u"C:\\FAXDATA\\ADDR.TXT");
    writeFile(u"C:\\FAXDATA\\ADDR.TXT", "@PJL SET JOBATTR=\"@FANU=0698765432{20}{30}\"\r\n");
    std::vector<BYTE> list = faxList({u"0312345678", u"0455501234"});
    job_.set(380, 2);
    PjlFaxCursor cursor{0, 1, list.data(), DWORD(list.size())};
    job_.params.faxCursor = &cursor;

    Built b = build(p, job_);
    ASSERT_GT(b.result, 0);
    /* "Ann" 41 6E 6E scrambled with A7 C5 9E: E6 AB F0, in Base64 "5qvw". */
    EXPECT_EQ(b.text, utf8Start("FAX") +
                          "@PJL SET JOBATTR=\"@JOAU=tarvel\"\n"
                          "@PJL SET JOBATTR=\"@JOBN=Report\"\n"
                          "@PJL SET COPIES=1\n"
                          "@PJL SET DUPLEX=OFF\n"
                          "@PJL SET RENDERMODE=COLOR\n"
                          "@PJL SET RESOLUTION=600\n"
                          "@PJL SET JOBATTR=\"@FATM=21:30\"\n"
                          "@PJL SET JOBATTR=\"@FASN=5qvw\"\n"
                          "@PJL SET JOBATTR=\"@NUPL=0\"\n"
                          "@PJL SET RESOLUTION=200\n"
                          "@PJL SET JOBATTR=\"@FARE=FINE\"\n"
                          "@PJL SET JOBATTR=\"@TRRE=ON\"\n"
                          "@PJL SET JOBATTR=\"@TXHE=ON\"\n"
                          "@PJL SET JOBATTR=\"@FANU=0698765432{20}{30}\"\r\n"
                          "@PJL SET JOBATTR=\"@FAEN=0312345678{20}{30}\"\r\n"
                          "@PJL SET JOBATTR=\"@FAEN=0455501234{20}{30}\"\r\n"
                          "@PJL ENTER LANGUAGE=PCLXL\n");
    EXPECT_FALSE(fileExists(u"C:\\FAXDATA\\ADDR.TXT")) << "the address file is read once";
}

TEST_F(PjlHeader, PrintJobOfThePrinterAndFaxModelHasNoFaxLines)
{
    ReaderPair p;
    openStandard(p, "TARVEL2");
    job_.set(4125, 1);
    std::vector<BYTE> list = faxList({u"0312345678"});
    job_.set(380, 1);
    PjlFaxCursor cursor{0, 0, list.data(), DWORD(list.size())};
    job_.params.faxCursor = &cursor;
    Built b = build(p, job_);
    EXPECT_EQ(b.text, utf8Start() +
                          "@PJL SET JOBATTR=\"@JOAU=tarvel\"\n"
                          "@PJL SET JOBATTR=\"@JOBN=Report\"\n"
                          "@PJL SET COPIES=1\n"
                          "@PJL SET DUPLEX=OFF\n"
                          "@PJL SET RENDERMODE=COLOR\n"
                          "@PJL SET RESOLUTION=600\n"
                          "@PJL SET JOBATTR=\"@NUPL=0\"\n"
                          "@PJL ENTER LANGUAGE=PCLXL\n");
}

TEST_F(PjlHeader, AnsiModeWithADoubleByteDocumentName)
{
    ansiSystem(932);
    job_.params.documentName = u"\u5831\u544A\u66F8"; /* Shift-JIS 95 F1 8D 90 8F 91 */
    {
        /* The JOBATTR form without double-byte names: the name goes only into the comment. */
        ReaderPair p;
        openStandard(p, "TARVEL1");
        Built b = build(p, job_);
        EXPECT_EQ(b.text, kUel +
                              "@PJL COMMENT DATE=03/07/2024\n"
                              "@PJL COMMENT TIME=09:05:01\n"
                              "@PJL COMMENT DNAME=\x95\xF1\x8D\x90\x8F\x91\n"
                              "@PJL JOB MODE=PRINTER\n"
                              "@PJL SET JOBATTR=\"@JOAU=tarvel\"\n"
                              "@PJL SET COPIES=1\n"
                              "@PJL SET DUPLEX=OFF\n"
                              "@PJL SET RENDERMODE=COLOR\n"
                              "@PJL SET RESOLUTION=600\n"
                              "@PJL SET JOBATTR=\"@NUPL=0\"\n"
                              "@PJL ENTER LANGUAGE=PCLXL\n");
        EXPECT_EQ(PJL_GetTextMode(), PJL_TEXT_ANSI);
    }
    {
        /* The plain form with double-byte names; nothing remembers the job mode, so both mode records go. */
        ReaderPair p;
        open(p, tarvel_models::plainFormPrinter());
        job_.set(410, 9);
        Built b = build(p, job_);
        EXPECT_EQ(b.text, kUel +
                              "@PJL COMMENT DATE=03/07/2024\n"
                              "@PJL COMMENT TIME=09:05:01\n"
                              "@PJL COMMENT DNAME=\x95\xF1\x8D\x90\x8F\x91\n"
                              "@PJL JOB MODE=PRINTER\n" +
                              plainModelBody("\x95\xF1\x8D\x90\x8F\x91", true));
    }
}

TEST_F(PjlHeader, Utf8ModeWritesTheDoubleByteNameInUtf8)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    job_.params.documentName = u"\u5831\u544A\u66F8";
    ReaderPair p;
    open(p, tarvel_models::plainFormPrinter());
    job_.set(410, 9);
    Built b = build(p, job_);
    EXPECT_EQ(b.text, kUel +
                          "@PJL JOB MODE=PRINTER\n"
                          "@PJL SET STRINGCODESET=UTF8\n"
                          "@PJL COMMENT DATE=03/07/2024\n"
                          "@PJL COMMENT TIME=09:05:01\n"
                          "@PJL COMMENT DNAME=\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8\n" +
                          plainModelBody("\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8", false));
    EXPECT_EQ(PJL_GetTextMode(), PJL_TEXT_UTF8);
}

TEST_F(PjlHeader, ConnectorPatternsOfThePlainModel)
{
    /* Orientation 7 (2 = landscape), duplex 16 (2 = long edge), collate 18. */
    struct Case {
        int orientation, duplex, collate;
        std::string comments;
    } cases[] = {
        {1, 1, 0, "NOTALL=1-1-6\n"},
        {2, 2, 1, "ALL=1-1-4\nANY=2-2-4\nGROUPS=1-3-4\nANDNOT=5-3-4\n"},
        {2, 2, 0, "ANY=2-2-4\nNOTALL=1-1-6\nGROUPS=1-3-4\n"},
        {2, 1, 0, "ANY=2-2-4\nNOTALL=1-1-6\n"},
        {1, 2, 0, "ANY=2-2-4\nNOTALL=1-1-6\nANDNOT=5-3-4\n"},
        {1, 1, 1, "ANY=2-2-4\nNOTALL=1-1-6\nGROUPS=1-3-4\nANDNOT=5-3-4\n"},
        {2, 1, 1, "ANY=2-2-4\nNOTALL=1-1-6\nGROUPS=1-3-4\nANDNOT=5-3-4\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.orientation << c.duplex << c.collate);
        ReaderPair p;
        open(p, tarvel_models::plainFormPrinter());
        Job job;
        job.plainDefaults();
        job.set(7, DWORD(c.orientation));
        job.set(16, DWORD(c.duplex));
        job.set(18, DWORD(c.collate));
        Built b = build(p, job);
        ASSERT_GT(b.result, 0);
        std::string comments;
        size_t at = 0;
        while ((at = b.text.find("@PJL COMMENT ", at)) != std::string::npos) {
            size_t end = b.text.find('\n', at);
            std::string line = b.text.substr(at + 13, end - at - 12);
            if (line.rfind("DATE=", 0) != 0 && line.rfind("TIME=", 0) != 0)
                comments += line;
            at = end;
        }
        EXPECT_EQ(comments, c.comments);
    }
}

TEST_F(PjlHeader, AttributeGateDropsAKeywordWhoseFirstRecordLacksTheAttribute)
{
    ReaderPair p;
    open(p, tarvel_models::plainFormPrinter());
    job_.set(410, 9);
    for (DWORD economy : {0u, 1u}) {
        SCOPED_TRACE(economy);
        job_.set(345, economy);
        job_.set(336, 0);
        Built open = build(p, job_);
        EXPECT_NE(open.text.find(economy ? "@PJL SET ECONOMODE=ON\n" : "@PJL SET ECONOMODE=OFF\n"),
                  std::string::npos);
        job_.set(336, 1);
        Built gated = build(p, job_);
        EXPECT_EQ(gated.text.find("ECONOMODE"), std::string::npos);
        EXPECT_NE(gated.text.find("@PJL SET PAPER=A4\n"), std::string::npos);
    }
}

TEST_F(PjlHeader, ModelWithoutJobModeRecord)
{
    ReaderPair p;
    open(p, tarvel_models::plainFormPrinterWithoutJobMode());
    job_.set(410, 9);
    EXPECT_EQ(build(p, job_).result, PJL_ERR_NOT_FOUND);

    /*
     * Only the UTF-8 mode writes the job mode line first; the ANSI mode has no need of the record.  The
     * mode outlives the build that set it: a Windows 95 system leaves it as it is.
     */
    ansiSystem(1252);
    EXPECT_EQ(build(p, job_).result, PJL_ERR_NOT_FOUND);
    PJL_SetTextMode(PJL_TEXT_ANSI);
    Built b = build(p, job_);
    ASSERT_GT(b.result, 0);
    EXPECT_EQ(b.text.substr(0, kUel.size() + 28), kUel + "@PJL COMMENT DATE=03/07/2024");
}

TEST_F(PjlHeader, EveryAllocationThatFailsEndsTheHeaderCleanly)
{
    ReaderPair p;
    openStandard(p, "TARVEL2");
    std::vector<BYTE> list = faxList({u"0312345678"});
    PjlFaxCursor cursor{0, 0, list.data(), DWORD(list.size())};
    auto faxJob = [&](Job &job) {
        job.plainDefaults();
        job.params.documentName = u"Report";
        job.set(334, 5);
        job.set(4125, 1);
        job.set(5203, 1);
        job.setText(1865, u"Ann");
        job.setText(1799, u"C:\\FAXDATA\\ADDR.TXT");
        job.set(380, 1);
        job.params.faxCursor = &cursor;
        writeFile(u"C:\\FAXDATA\\ADDR.TXT", "@PJL COMMENT ADDRESSES\r\n");
    };
    constexpr DWORD kRoom = 100000;
    Job whole;
    faxJob(whole);
    const unsigned long before = plat::alloc_count();
    const std::string expected = build(p, whole, kRoom).text;
    const unsigned long used = plat::alloc_count() - before;
    ASSERT_GT(used, 10u);
    unsigned failed = 0;
    for (unsigned n = 1; n <= used; ++n) {
        SCOPED_TRACE(n);
        Job job;
        faxJob(job);
        plat::fault_fail_alloc_after(n);
        Built b = build(p, job, kRoom);
        plat::fault_fail_alloc_after(0);
        /* Either a failure, or a whole header (an allocation that fails may still drop an optional line). */
        failed += b.result < 0;
        if (b.result >= 0) {
            EXPECT_EQ(b.text.substr(0, kUel.size()), kUel);
            EXPECT_EQ(b.text.substr(b.text.size() - 26), "@PJL ENTER LANGUAGE=PCLXL\n");
            EXPECT_EQ(b.text.find("@FASN=Ann"), std::string::npos) << "the sender's name never goes out plain";
        }
    }
    EXPECT_GT(failed, used / 2);
    EXPECT_EQ(plat::loader_load_count(u"tarveljl.dll"), 0u);
    EXPECT_FALSE(expected.empty());
}

TEST_F(PjlHeader, WithoutTheDataManagerNoHeaderIsBuilt)
{
    ReaderPair p;
    openStandard(p, "TARVEL1");
    DMB_Unload();
    EXPECT_EQ(build(p, job_).result, PJL_ERR_READ);
}

TEST_F(PjlHeader, TrailersOfBothForms)
{
    struct Case {
        const char *what;
        bool attrForm;
        std::string text;
    } cases[] = {
        {"JOBATTR form", true, kUel + "@PJL EOJ\n"},
        {"plain form", false, kUel + "@EOJO\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ReaderPair p;
        if (c.attrForm)
            openStandard(p, "TARVEL1");
        else
            open(p, tarvel_models::plainFormPrinter());
        const LONG size = PJL_GetTrailerSize(&p.main, &p.companion);
        EXPECT_EQ(size, LONG(c.text.size()) + 5); /* 1 + 9 + the end-of-job text + 5 */
        std::vector<char> buffer(size_t(size), '#');
        EXPECT_EQ(PJL_WriteTrailer(&p.main, &p.companion, buffer.data(), DWORD(size)), LONG(c.text.size()));
        EXPECT_EQ(std::string(buffer.data()), c.text);
        /* The end-of-job line alone (the job-information block goes between the exit and it). */
        EXPECT_EQ(PJL_GetEojSize(&p.main, &p.companion), LONG(c.text.size()) - 9 - 1 + 6); /* 1 + text + 5 */
        EXPECT_EQ(PJL_WriteEojLine(&p.main, &p.companion, buffer.data(), DWORD(size)), LONG(c.text.size()) - 9);
        EXPECT_EQ(std::string(buffer.data()), c.text.substr(9));
        /* Too small by one byte: nothing fits, the buffer keeps its first byte zero. */
        EXPECT_EQ(PJL_WriteTrailer(&p.main, &p.companion, buffer.data(), DWORD(c.text.size()) - 9),
                  PJL_ERR_OVERFLOW);
    }
    char uel[14] = {};
    EXPECT_EQ(PJL_GetUelSize(), 14);
    EXPECT_EQ(PJL_WriteUel(uel, sizeof uel), 9);
    EXPECT_EQ(std::string(uel), kUel);
}

TEST_F(PjlHeader, DocumentNameOfSeveralThousandCharactersFitsTheBound)
{
    ReaderPair p;
    openStandard(p, "TARVEL1");
    std::u16string name(6000, u'\u00DC'); /* one byte in code page 1252, two in UTF-8 */
    job_.params.documentName = name.c_str();
    Built b = build(p, job_);
    ASSERT_GT(b.result, 0);
    std::string utf8;
    for (int i = 0; i < 6000; ++i)
        utf8 += "\xC3\x9C";
    EXPECT_NE(b.text.find("@PJL COMMENT DNAME=" + utf8 + "\n"), std::string::npos);
    EXPECT_EQ(b.text.find("@JOBN="), std::string::npos) << "a document-name value keeps to 12 bytes";
}

TEST_F(PjlHeader, NonAsciiFaxAddressFileOf9600BytesFitsTheBound)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    ReaderPair p;
    openStandard(p, "TARVEL2");
    job_.set(334, 5);
    job_.set(4125, 1);
    job_.setText(1799, u"C:\\FAXDATA\\KANA.TXT");
    /* Half-width katakana: one byte in code page 932, three in UTF-8; and a byte past the 9,600 read. */
    writeFile(u"C:\\FAXDATA\\KANA.TXT", std::string(9600, '\xB1') + "X");
    Built b = build(p, job_);
    ASSERT_GT(b.result, 0);
    std::string kana;
    for (int i = 0; i < 9600; ++i)
        kana += "\xEF\xBD\xB1";
    EXPECT_NE(b.text.find("@PJL SET JOBATTR=\"@TXHE=OFF\"\n" + kana + "@PJL ENTER LANGUAGE=PCLXL\n"),
              std::string::npos);
    EXPECT_FALSE(fileExists(u"C:\\FAXDATA\\KANA.TXT"));
}

TEST_F(PjlHeader, SizeBaseThatUnderstatesTheRecordsFailsWithoutWritingPastTheBuffer)
{
    /* Three records of 30,000 characters each, and a size base of 1. */
    const std::string big(30000, 'V');
    std::vector<mw::JobLine> lines{jobLine(1, 0, {}, "@PJL JOB MODE=", "PRINTER")};
    for (WORD i = 0; i < 3; ++i)
        lines.push_back(jobLine(WORD(2 + i), 0, {}, "@PJL COMMENT BIG=", big.c_str()));
    mw::Model m = withJobLines(PJL_F26_JOBATTR, lines);
    m.main.entries[2] = mw::eU32(1);
    m.companion.entries[2] = mw::eU32(1);
    ReaderPair p;
    open(p, m);
    EXPECT_EQ(build(p, job_).result, PJL_ERR_OVERFLOW);

    /* With a size base that covers them the same model builds. */
    m.main.entries[2] = mw::eU32(100000);
    m.companion.entries[2] = mw::eU32(100000);
    ReaderPair q;
    open(q, m);
    Built b = build(q, job_);
    ASSERT_GT(b.result, 90000);
}

TEST_F(PjlHeader, EveryCapacityBelowTheHeaderFailsCleanly)
{
    ReaderPair p;
    openStandard(p, "TARVEL1");
    const std::string whole = build(p, job_).text;
    ASSERT_FALSE(whole.empty());
    /* The header needs its bytes and the zero byte after them. */
    for (DWORD capacity : {1u, 9u, 10u, 40u, DWORD(whole.size() / 2), DWORD(whole.size())}) {
        SCOPED_TRACE(capacity);
        EXPECT_EQ(build(p, job_, capacity).result, PJL_ERR_OVERFLOW);
    }
    EXPECT_EQ(build(p, job_, DWORD(whole.size() + 1)).text, whole);
}

TEST_F(PjlHeader, SizeBound)
{
    ReaderPair printer, fax, plain;
    openStandard(printer, "TARVEL1");
    openStandard(fax, "TARVEL2");
    open(plain, tarvel_models::plainFormPrinter());
    /*
     * The spooler's figure (base 4,096 + 9 + 20 + 98 + 41 + 178 + 10,318) with the ANSI-coded texts at
     * three times their allowance: N-up 37, owner 66, address file 9,600, and for the fax model
     * 10 x 20 + 40 of destinations.
     */
    EXPECT_EQ(PJL_GetHeaderSize(&printer.main, &printer.companion, nullptr),
              4096 + 9 + 20 + 98 + 41 + 178 + 10318 - 9600 + 3 * (37 + 66 + 9600));
    EXPECT_EQ(PJL_GetHeaderSize(&fax.main, &fax.companion, nullptr),
              4096 + 9 + 20 + 98 + 41 + 178 + 10318 - 9600 + 3 * (37 + 66 + 240 + 9600));
    /* The plain form: booklet 23, host address 48, host name 47, owner 47. */
    EXPECT_EQ(PJL_GetHeaderSize(&plain.main, &plain.companion, nullptr),
              4096 + 9 + 98 + 23 + 178 + 10318 - 9600 + 3 * (48 + 47 + 47 + 9600));
    JobHeaderParams params{};
    params.documentName = u"Report";
    EXPECT_EQ(PJL_GetHeaderSize(&printer.main, &printer.companion, &params),
              PJL_GetHeaderSize(&printer.main, &printer.companion, nullptr) + 18);
    EXPECT_EQ(PJL_GetHeaderSize(nullptr, nullptr, nullptr), PJL_ERR_NULL_ARGUMENT);

    /* Entry 2 zero, fax entries zero, and a base that would carry the bound past 31 bits. */
    struct Case {
        bool fax;
        WORD entry;
        DWORD value;
        LONG result;
    } cases[] = {
        {false, 2, 0, PJL_ERR_NO_ENTRY},
        {true, 24, 0, PJL_ERR_NO_ENTRY},
        {true, 25, 0, PJL_ERR_NO_ENTRY},
        {false, 2, 0x7FFFFF00, PJL_ERR_OVERFLOW},
        {false, 2, 0x80000000, PJL_ERR_NO_ENTRY},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.entry);
        mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600, c.fax);
        mw::Entry e = c.entry == 2 ? mw::eU32(c.value) : mw::eU16(WORD(c.value));
        m.main.entries[c.entry] = e;
        m.companion.entries[c.entry] = e;
        ReaderPair r;
        mw::Bytes mainFile, companion;
        std::string error;
        ASSERT_TRUE(mw::build(m, mainFile, companion, error, false)) << error;
        ASSERT_EQ(model_test::openBytes(r, mainFile, &companion), DDD_OK);
        EXPECT_EQ(PJL_GetHeaderSize(&r.main, &r.companion, nullptr), c.result);
    }
}

TEST_F(PjlHeader, DriverLinesNeverSwitchLanguageOrCarryAJobIdentifier)
{
    /* Every line of these headers that no model record wrote (checked by removing the records). */
    mw::Model bare = withJobLines(0x4 | 0x8 | 0x10000 | 0x40000 | 0x200000 | 0x4000000 | 0x40000000,
                                  {jobLine(1, 0, {}, "@PJL JOB MODE=", "PRINTER"), jobLine(2, 0, {}, "%INSERT", nullptr)},
                                  true);
    ReaderPair p;
    open(p, bare);
    job_.set(334, 5);
    job_.set(4125, 1);
    job_.set(5203, 1);
    job_.set(5127, 0);
    job_.set(321, 2);
    job_.set(446, 1);
    job_.set(1328, 1);
    job_.params.jobIdPresent = 1;
    std::strcpy(job_.params.jobId, "CL01.JOB42");
    std::vector<BYTE> list = faxList({u"0312345678"});
    job_.set(380, 1);
    PjlFaxCursor cursor{0, 0, list.data(), DWORD(list.size())};
    job_.params.faxCursor = &cursor;
    Built b = build(p, job_);
    ASSERT_GT(b.result, 0);
    size_t lines = 0;
    for (size_t at = 0; at < b.text.size(); ++lines) {
        size_t end = b.text.find('\n', at);
        std::string line = b.text.substr(at, end - at);
        EXPECT_EQ(line.find("@PJL ENTER"), std::string::npos) << line;
        EXPECT_EQ(line.find("JOBATTR=\"@JCID="), std::string::npos) << line;
        at = end + 1;
    }
    EXPECT_GE(lines, 12u);
    /* The standard models' own records write both kinds, each in one line. */
    ReaderPair q;
    openStandard(q, "TARVEL1");
    Built s = build(q, job_);
    EXPECT_NE(s.text.find("\n@PJL SET JOBATTR=\"@JCID=CL01.JOB42\"\n"), std::string::npos);
    EXPECT_NE(s.text.find("\n@PJL ENTER LANGUAGE=PCLXL\n"), std::string::npos);
}

} // namespace
