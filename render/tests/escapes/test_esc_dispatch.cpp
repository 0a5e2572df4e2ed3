// The escapes of the rendering library as the user-interface library and
// applications send them through DrvEscape: the standard escapes, a table
// of every sized private escape with a good payload, one a byte short, an
// oversized one and none at all (a refused one changes nothing), the
// settings lock of the job-data bracket, the copy-set header table's
// checks, the data blocks with their sizes, the annotation texts and the
// release of the job's data at its end.
#include "esc_job_data.h"
#include "job_header.h"
#include "test_job_support.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/paper_rules.h>

#include <cstring>
#include <vector>

using namespace job_test;

namespace {

class Escapes : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        utl_ResetLocaleCachesForTest();
        enableContext();
    }
    void TearDown() override
    {
        JobTest::TearDown();
        utl_ResetLocaleCachesForTest();
    }

    LONG esc(ULONG escape, ULONG cjIn, const void *in, ULONG cjOut = 0, void *out = nullptr)
    {
        return LONG(DrvEscape(so, escape, cjIn, const_cast<void *>(in), cjOut, out));
    }
    LONG escIn(ULONG escape, const std::vector<BYTE> &in) { return esc(escape, ULONG(in.size()), in.data()); }
    LONG esc16(ULONG escape, WORD value) { return esc(escape, 2, &value); }

    /* Everything an escape may change, for "a refused escape changes nothing". */
    std::vector<BYTE> state() const
    {
        std::vector<BYTE> s;
        auto add = [&](const void *p, size_t n) {
            const BYTE *b = static_cast<const BYTE *>(p);
            s.insert(s.end(), b, b + n);
        };
        add(pdev->settings, sizeof pdev->settings);
        add(pdev->printerData, ESC_PRINTERDATA_SIZE);
        if (pdev->jobSettings)
            add(pdev->jobSettings, sizeof(JobSettings));
        add(pdev->jobIdentity, sizeof pdev->jobIdentity);
        add(&pdev->ext, sizeof pdev->ext);
        add(&pdev->pagePaperInfo, sizeof pdev->pagePaperInfo);
        add(&pdev->pagePaperInfoSet, sizeof pdev->pagePaperInfoSet);
        add(&pdev->annotation, sizeof pdev->annotation);
        return s;
    }

    /* A JobHeaderSet of the given texts: slots of `slot` bytes, positions as given (booklet, side 2, HCPN). */
    static std::vector<BYTE> headerSet(const std::vector<std::string> &texts, DWORD slot,
                                       const std::vector<DWORD> &hcpn = {})
    {
        DWORD n = DWORD(texts.size());
        std::vector<BYTE> b(24 + size_t(n) * (slot + 12), 0);
        DWORD head[6] = {n, slot, 24, 24 + n * slot, 24 + n * slot + 4 * n, 24 + n * slot + 8 * n};
        std::memcpy(b.data(), head, sizeof head);
        for (DWORD i = 0; i < n; i++) {
            DWORD length = DWORD(texts[i].size());
            std::memcpy(&b[24 + i * slot], &length, 4);
            std::memcpy(&b[24 + i * slot + 4], texts[i].data(), std::min<size_t>(length, slot - 4));
            DWORD position = i < hcpn.size() ? hcpn[i] : 0;
            std::memcpy(&b[head[5] + 4 * i], &position, 4);
        }
        return b;
    }

    const CopySetHeaderTable *headers() const { return static_cast<const CopySetHeaderTable *>(pdev->copySetHeaders); }
};

std::vector<BYTE> wide(const std::u16string &text, size_t bytes)
{
    std::vector<BYTE> b(bytes, 0);
    std::memcpy(b.data(), text.data(), std::min(bytes, text.size() * 2));
    return b;
}

std::u16string wideAt(const BYTE *p, size_t chars)
{
    std::u16string s;
    for (size_t i = 0; i < chars; i++) {
        char16_t c;
        std::memcpy(&c, p + 2 * i, 2);
        if (!c)
            break;
        s += c;
    }
    return s;
}

} // namespace

TEST_F(Escapes, QueryEscSupportAnswersEachEscapeItKnows)
{
    struct Row {
        WORD queried;
        LONG answer;
    } rows[] = {
        {17, 999},      {20, 0x1071},   {8, 1},         {0x1071, 1},    {0x1072, 0},    {0x1078, 0},
        {0x5001, 1},    {0x5002, 1},    {0x500B, 1},    {0x5010, 1},    {0x5025, 1},    {0x502F, 1},
        {0x5031, 1},    {0x5100, 1},    {0x500C, 0},    {0x5032, 0},    {0x6000, 0},    {1, 0},
    };
    for (const Row &r : rows)
        EXPECT_EQ(esc(8, 2, &r.queried), r.answer) << std::hex << r.queried;

    WORD copyCount = 17;
    put(ID_S1333, 1);
    EXPECT_EQ(esc(8, 2, &copyCount), 0) << "the engine journals: no copy count";
    EXPECT_EQ(esc(8, 0, nullptr), -1);
    BYTE one = 17;
    EXPECT_EQ(esc(8, 1, &one), -1) << "a 1-byte input holds no escape number";
    EXPECT_EQ(LONG(DrvEscape(nullptr, 8, 2, &copyCount, 0, nullptr)), 999) << "no context to read";
}

TEST_F(Escapes, SetCopyCountKeepsTheModelsRange)
{
    WORD maximum = MDL_GetMaxCopies(pdev->model);
    ASSERT_GT(maximum, 1) << "the standard model names a maximum";
    struct Row {
        DWORD requested;
        DWORD copies;
    } rows[] = {{0, 1}, {1, 1}, {3, 3}, {maximum, maximum}, {5000u + maximum, maximum}, {0xFFFFFFFFu, maximum}};
    for (const Row &r : rows) {
        DWORD out = 0;
        EXPECT_EQ(esc(17, 4, &r.requested, 4, &out), 1) << r.requested;
        EXPECT_EQ(out, r.copies) << r.requested;
        DWORD stored = 0;
        ASSERT_EQ(PDEV_GetSetting32(pdev, ID_COPIES, &stored), 0);
        EXPECT_EQ(stored, r.copies) << r.requested;
    }
    WORD shortInput = 2;
    EXPECT_EQ(esc(17, 2, &shortInput), -1);
    EXPECT_EQ(esc(17, 0, nullptr), -1);
    put(ID_S1333, 1);
    DWORD two = 2;
    EXPECT_EQ(esc(17, 4, &two), -1);
}

TEST_F(Escapes, GetTechnologyNamesTheLanguage)
{
    BYTE in = 0;
    char out[8];
    std::memset(out, 'x', sizeof out);
    EXPECT_EQ(esc(20, 1, &in, sizeof out, out), 1);
    EXPECT_EQ(std::string(out, 5), std::string("PCL6\0", 5));
    EXPECT_EQ(out[5], 'x');
    SetLastError(0);
    EXPECT_EQ(esc(20, 1, &in, 4, out), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(esc(20, 0, nullptr, sizeof out, out), 0);
    SURFOBJ bad{};
    BYTE junk[64] = {};
    bad.dhpdev = reinterpret_cast<DHPDEV>(junk);
    SetLastError(0);
    EXPECT_EQ(LONG(DrvEscape(&bad, 20, 1, &in, sizeof out, out)), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Escapes, EverySizedPayloadIsCheckedBeforeItIsRead)
{
    ASSERT_TRUE(startDoc());
    struct Row {
        const char *name;
        ULONG escape;
        ULONG size;
    } inputs[] = {
        {"settings", 0x5005, 5896},  {"printer data", 0x500B, 6148}, {"annotation", 0x5007, 768},
        {"page info", 0x5010, 10},   {"ext state", 0x5029, 12},      {"job flag", 0x502B, 4},
        {"job extra", 0x502C, 2112}, {"aux pair", 0x5030, 8},
    };
    for (const Row &r : inputs) {
        std::vector<BYTE> payload(r.size + 1, 0x21);
        std::vector<BYTE> before = state();
        EXPECT_EQ(esc(r.escape, r.size - 1, payload.data()), -1) << r.name << ": one byte short";
        EXPECT_EQ(esc(r.escape, r.size + 1, payload.data()), -1) << r.name << ": oversized";
        EXPECT_EQ(esc(r.escape, r.size, nullptr), -1) << r.name << ": null";
        EXPECT_EQ(state(), before) << r.name << ": a refused payload changed the context";
    }

    std::vector<BYTE> settings(pdev->settings, pdev->settings + 5896);
    settings[5000] ^= 0x5A;
    EXPECT_EQ(escIn(0x5005, settings), 1);
    EXPECT_EQ(pdev->settings[5000], settings[5000]);
    std::vector<BYTE> printerData(pdev->printerData, pdev->printerData + 6148);
    printerData[6147] ^= 0x33;
    EXPECT_EQ(escIn(0x500B, printerData), 1);
    EXPECT_EQ(pdev->printerData[6147], printerData[6147]);
    std::vector<BYTE> identity(2112, 0x41);
    EXPECT_EQ(escIn(0x502C, identity), 1);
    EXPECT_EQ(std::memcmp(pdev->jobIdentity, identity.data(), 2112), 0);
    DWORD flag = 7;
    EXPECT_EQ(esc(0x502B, 4, &flag), 1);
    EXPECT_EQ(pdev->jobSettings->jobFlag, 7u);
    BYTE pair[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(esc(0x5030, 8, pair), 1);
    EXPECT_EQ(std::memcmp(pdev->jobSettings->auxPair, pair, 8), 0);
    BYTE ext[12] = {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0x77, 0x77};
    EXPECT_EQ(esc(0x5029, 12, ext), 1);
    EXPECT_EQ(pdev->ext.mode, 1u);
    EXPECT_EQ(pdev->ext.colourOverride, 1u);
    EXPECT_EQ(pdev->ext.colourMode, 2u);

    /* Outputs: a wrong size or none answers -1 and writes nothing. */
    struct Out {
        const char *name;
        ULONG escape;
        ULONG size;
    } outputs[] = {{"settings", 0x5002, 5896}, {"ext state", 0x5028, 12}, {"job state", 0x502A, 4},
                   {"decorations", 0x5001, 44}, {"annotation", 0x5006, 768}};
    for (const Out &o : outputs) {
        std::vector<BYTE> out(o.size + 1, 0xAB);
        EXPECT_EQ(esc(o.escape, 0, nullptr, o.size - 1, out.data()), -1) << o.name << ": one byte short";
        EXPECT_EQ(esc(o.escape, 0, nullptr, o.size + 1, out.data()), -1) << o.name << ": oversized";
        EXPECT_EQ(esc(o.escape, 0, nullptr, o.size, nullptr), -1) << o.name << ": null";
        EXPECT_EQ(out, std::vector<BYTE>(o.size + 1, 0xAB)) << o.name << ": a refused output was written";
    }
    BYTE state12[12];
    EXPECT_EQ(esc(0x5028, 0, nullptr, 12, state12), 1);
    EXPECT_EQ(std::memcmp(state12, ext, 10), 0);
    EXPECT_EQ(state12[10] | state12[11], 0) << "the reserved bytes are zero";
    std::vector<BYTE> got(5896);
    EXPECT_EQ(esc(0x5002, 0, nullptr, 5896, got.data()), 1);
    EXPECT_EQ(got, settings);
}

TEST_F(Escapes, PageInfoTakesTheJobFormsMarginsForItsOwnPaper)
{
    StartPagePaperInfo info{pdev->jobFormPaper.info.paperIndex, 1, 2, 3, 4};
    EXPECT_EQ(esc(0x5010, 10, &info), 1);
    EXPECT_EQ(pdev->pagePaperInfoSet, 1);
    EXPECT_EQ(std::memcmp(&pdev->pagePaperInfo, &pdev->jobFormPaper.info, 10), 0);
    StartPagePaperInfo other{WORD(pdev->jobFormPaper.info.paperIndex + 1), 11, 12, 13, 14};
    EXPECT_EQ(esc(0x5010, 10, &other), 1);
    EXPECT_EQ(std::memcmp(&pdev->pagePaperInfo, &other, 10), 0);
}

TEST_F(Escapes, TheJobDataBracketLocksTheSettings)
{
    /* Before a job is open the bracket locks; the settings escapes are then dropped. */
    EXPECT_EQ(esc16(0x5021, 0), 1);
    std::vector<BYTE> before = state();
    std::vector<BYTE> settings(5896, 0x11);
    EXPECT_EQ(escIn(0x5005, settings), 1);
    EXPECT_EQ(escIn(0x500B, std::vector<BYTE>(6148, 0x22)), 1);
    EXPECT_EQ(escIn(0x5023, wide(u"Locked", 522)), 1);
    EXPECT_EQ(escIn(0x5007, std::vector<BYTE>(768, 0x33)), 1);
    EXPECT_EQ(escIn(0x5025, headerSet({"@PJL"}, 16)), 1);
    EXPECT_EQ(state(), before);
    EXPECT_EQ(pdev->copySetHeaders, nullptr);
    for (ULONG block : {0x502Du, 0x502Fu, 0x5031u})
        EXPECT_EQ(escIn(block, std::vector<BYTE>(68, 1)), -1) << std::hex << block;

    EXPECT_EQ(esc16(0x5021, 1), 1);
    EXPECT_EQ(pdev->jobSettings->jobDataFlags, WORD(JOB_DATA_RECEIVED));
    EXPECT_EQ(escIn(0x5005, settings), 1);
    EXPECT_EQ(pdev->settings[100], 0x11);

    EXPECT_EQ(esc16(0x5021, 2), -1);
    BYTE one = 0;
    EXPECT_EQ(esc(0x5021, 1, &one), -1) << "a 1-byte input";
    EXPECT_EQ(esc(0x5021, 0, nullptr), -1);
}

TEST_F(Escapes, AnOpenJobLocksOnlyOnceItsFirstSheetIsSetUp)
{
    ASSERT_TRUE(startDoc());
    EXPECT_EQ(esc16(0x5021, 0), 1);
    EXPECT_EQ(pdev->jobSettings->jobDataFlags & JOB_DATA_SETTINGS_LOCKED, 0);
    EXPECT_EQ(esc16(0x5021, 1), 1);
    pdev->jobState |= JOB_SHEET_SET_UP;
    EXPECT_EQ(esc16(0x5021, 0), 1);
    EXPECT_NE(pdev->jobSettings->jobDataFlags & JOB_DATA_SETTINGS_LOCKED, 0);
    std::vector<BYTE> settings(pdev->settings, pdev->settings + 5896);
    EXPECT_EQ(escIn(0x5005, std::vector<BYTE>(5896, 0)), 1);
    EXPECT_EQ(std::vector<BYTE>(pdev->settings, pdev->settings + 5896), settings);
    pdev->jobState &= ~DWORD(JOB_SHEET_SET_UP);
}

TEST_F(Escapes, DocumentNameIsBoundedByItsPayloadAndItsField)
{
    ASSERT_TRUE(startDoc());
    EXPECT_EQ(escIn(0x5023, wide(u"Budget", 522)), 1);
    EXPECT_EQ(std::u16string(pdev->jobSettings->documentName), u"Budget");
    /* Two bytes without a terminator: one character. */
    EXPECT_EQ(escIn(0x5023, wide(u"Q", 2)), 1);
    EXPECT_EQ(std::u16string(pdev->jobSettings->documentName), u"Q");
    EXPECT_EQ(escIn(0x5023, wide(u"", 522)), 1);
    EXPECT_EQ(std::u16string(pdev->jobSettings->documentName), u"");
    std::u16string huge(10000, u'n');
    EXPECT_EQ(escIn(0x5023, wide(huge, huge.size() * 2)), 1);
    EXPECT_EQ(std::u16string(pdev->jobSettings->documentName), std::u16string(260, u'n'));
    BYTE one = 'x';
    EXPECT_EQ(esc(0x5023, 1, &one), -1);
    EXPECT_EQ(esc(0x5023, 0, nullptr), -1);
}

TEST_F(Escapes, CopySetHeadersAreCheckedWholeBeforeTheyAreKept)
{
    ASSERT_TRUE(startDoc());
    std::vector<BYTE> good = headerSet({"@PJL SET A\n", "@PJL SET BB\n"}, 32, {5, 0});
    ASSERT_EQ(escIn(0x5025, good), 1);
    ASSERT_NE(headers(), nullptr);
    EXPECT_EQ(headers()->count, 2u);
    EXPECT_EQ(headers()->slotSize, 32u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(headers()->slots) + 36, 12), "@PJL SET BB\n");
    EXPECT_EQ(headers()->hcpnPositions[0], 5u);
    EXPECT_EQ(JOB_CheckCopySetHeaders(headers()), 1);
    const CopySetHeaderTable *kept = headers();

    auto withWord = [&](size_t offset, DWORD value) {
        std::vector<BYTE> b = good;
        std::memcpy(&b[offset], &value, 4);
        return b;
    };
    struct Row {
        const char *name;
        std::vector<BYTE> payload;
    } rows[] = {
        {"one byte short", std::vector<BYTE>(good.begin(), good.end() - 1)},
        {"head only", std::vector<BYTE>(good.begin(), good.begin() + 24)},
        {"23 bytes", std::vector<BYTE>(good.begin(), good.begin() + 23)},
        {"count past the input", withWord(0, 3)},
        {"count that overflows", withWord(0, 0x40000000)},
        {"slot size under 4", withWord(4, 3)},
        {"slot size that overflows", withWord(4, 0xFFFFFFF0)},
        {"first slot elsewhere", withWord(8, 28)},
        {"array past the input", withWord(20, DWORD(good.size()) - 4)},
        {"array inside the slots", withWord(12, 40)},
        {"text longer than its slot", withWord(24, 29)},
        {"position past the text", withWord(24 + 64 + 16, 11)},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(escIn(0x5025, r.payload), -1) << r.name;
        EXPECT_EQ(headers(), kept) << r.name << ": the kept table was replaced";
    }
    EXPECT_EQ(esc(0x5025, ULONG(good.size()), nullptr), -1);
    /* An odd slot size still gives position arrays the header writer can read as words. */
    ASSERT_EQ(escIn(0x5025, headerSet({"@PJL A\n", "@PJL B\n"}, 25, {3, 4})), 1);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(headers()->hcpnPositions) % alignof(DWORD), 0u);
    EXPECT_EQ(headers()->hcpnPositions[1], 4u);
    EXPECT_EQ(headers()->bookletPositions[1], 0u);
    EXPECT_EQ(escIn(0x5025, headerSet({}, 16)), 1) << "no copy sets";
    EXPECT_EQ(headers()->count, 0u);
}

TEST_F(Escapes, DataBlocksKeepTheirSize)
{
    ASSERT_TRUE(startDoc());
    std::vector<BYTE> rows(3 * 68);
    for (size_t i = 0; i < rows.size(); i++)
        rows[i] = BYTE(i);
    EXPECT_EQ(escIn(0x502F, rows), 1);
    ASSERT_NE(pdev->copySetRecords, nullptr);
    EXPECT_EQ(pdev->copySetRecordsSize, 3u * 68);
    EXPECT_EQ(std::memcmp(pdev->copySetRecords, rows.data(), rows.size()), 0);
    EXPECT_EQ(escIn(0x502D, {9, 8, 7}), 1);
    EXPECT_EQ(pdev->auxBlockSize, 3u);
    EXPECT_EQ(esc(0x502D, 5, nullptr), -1) << "a size without a payload";
    EXPECT_EQ(pdev->auxBlockSize, 3u);

    EXPECT_EQ(escIn(0x5031, {1, 2, 3, 4, 5}), 1);
    WORD sizeCode = 0, dataCode = 1;
    DWORD size = 0;
    EXPECT_EQ(esc(0x502E, 2, &sizeCode, 4, &size), 1);
    EXPECT_EQ(size, 5u);
    BYTE data[6] = {};
    EXPECT_EQ(esc(0x502E, 2, &dataCode, 5, data), 1);
    EXPECT_EQ(std::vector<BYTE>(data, data + 5), (std::vector<BYTE>{1, 2, 3, 4, 5}));
    EXPECT_EQ(esc(0x502E, 2, &dataCode, 6, data), -1) << "not the stored size";
    EXPECT_EQ(esc(0x502E, 2, &sizeCode, 3, &size), -1);
    EXPECT_EQ(esc(0x502E, 1, &sizeCode, 4, &size), -1) << "a 1-byte sub-code";
    WORD other = 2;
    EXPECT_EQ(esc(0x502E, 2, &other, 4, &size), -1);

    /* The end of the job frees the job's blocks; the extension data stays with the context. */
    EXPECT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(pdev->copySetRecords, nullptr);
    EXPECT_EQ(pdev->copySetRecordsSize, 0u);
    EXPECT_EQ(pdev->auxBlock, nullptr);
    EXPECT_EQ(pdev->extDataSize, 5u);
}

TEST_F(Escapes, AnnotationTextsComeBackWithTheSheetNumber)
{
    ASSERT_TRUE(startDoc());
    std::vector<BYTE> none(768, 0xCD);
    EXPECT_EQ(esc(0x5006, 0, nullptr, 768, none.data()), -1) << "no holder yet";
    EXPECT_EQ(plat::load_u16(none.data(), 730), 0);

    std::vector<BYTE> info(768, 0);
    auto text = [&](ULONG offset, const std::u16string &t) { std::memcpy(&info[offset], t.data(), t.size() * 2); };
    text(16, u"alice");
    text(144, u"alice\\DESK");
    text(208, u"ignored: the job's own name is sent");
    text(732, u"2026/12/11");
    text(754, u"09:30");
    EXPECT_EQ(escIn(0x5007, info), 1);
    EXPECT_EQ(escIn(0x5023, wide(u"Minutes", 522)), 1);
    for (int i = 0; i < 6; i++)
        pdev->jobSettings->annotationPos[i] = SHORT(i == 3 ? -1 : i + 1);
    pdev->jobSettings->annotation = 1;
    pdev->jobCounters.sheets = 4;

    std::vector<BYTE> out(768, 0xCD);
    EXPECT_EQ(esc(0x5006, 0, nullptr, 768, out.data()), 1);
    EXPECT_EQ(plat::load_u32(out.data(), 0), 1u);
    EXPECT_EQ(plat::load_i16(out.data(), 4), 1);
    EXPECT_EQ(plat::load_i16(out.data(), 10), -1);
    EXPECT_EQ(wideAt(&out[16], 64), u"alice");
    EXPECT_EQ(wideAt(&out[144], 32), u"alice\\DESK");
    EXPECT_EQ(wideAt(&out[208], 261), u"Minutes");
    EXPECT_EQ(wideAt(&out[732], 11), u"2026/12/11");
    EXPECT_EQ(wideAt(&out[754], 6), u"09:30");
    EXPECT_EQ(plat::load_u16(out.data(), 730), 5u);

    /* An item that is off gives an empty text. */
    pdev->jobSettings->annotationPos[0] = -1;
    EXPECT_EQ(esc(0x5006, 0, nullptr, 768, out.data()), 1);
    EXPECT_EQ(wideAt(&out[16], 64), u"");

    /* A full field without a terminator is cut to its size, terminated. */
    std::fill(info.begin() + 754, info.begin() + 766, BYTE('9'));
    EXPECT_EQ(escIn(0x5007, info), 1);
    EXPECT_EQ(esc(0x5006, 0, nullptr, 768, out.data()), 1);
    EXPECT_EQ(wideAt(&out[754], 6).size(), 5u);
}

TEST_F(Escapes, APrinterDataOwnerTextIsCutToTheUserAndHostField)
{
    ASSERT_TRUE(startDoc());
    /* Setting 5150 holds 32 characters and a terminator: two bytes more than the field. */
    put(5163, 1);
    put(5178, 7);
    std::u16string owner(32, u'w');
    putText(5150, owner);
    std::vector<BYTE> info(768, 0);
    std::u16string payload = u"bob\\HOST";
    std::memcpy(&info[144], payload.data(), payload.size() * 2);
    EXPECT_EQ(escIn(0x5007, info), 1);
    for (int i = 0; i < 6; i++)
        pdev->jobSettings->annotationPos[i] = 1;
    std::vector<BYTE> out(768);
    EXPECT_EQ(esc(0x5006, 0, nullptr, 768, out.data()), 1);
    std::u16string got = wideAt(&out[144], 32);
    EXPECT_EQ(got, std::u16string(31, u'w'));
}

TEST_F(Escapes, JobStateAnswersByTheStartOfDocumentNotice)
{
    DWORD out = 9;
    EXPECT_EQ(esc(0x502A, 0, nullptr, 4, &out), -1) << "no job, no notice";
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(esc(0x5020, 0, nullptr), 1);
    EXPECT_EQ(esc(0x502A, 0, nullptr, 4, &out), 1);
    EXPECT_EQ(out, 1u) << "after the notice: 1 while the job is not open";
    ASSERT_TRUE(startDoc());
    EXPECT_EQ(esc(0x502A, 0, nullptr, 4, &out), 1);
    EXPECT_EQ(out, 0u);
    pdev->startDocNotice = 0;
    EXPECT_EQ(esc(0x502A, 0, nullptr, 4, &out), 1);
    EXPECT_EQ(out, 1u);
}

TEST_F(Escapes, QueriesOfTheJobAnswerIntoTheirOutput)
{
    DWORD mode = 9;
    EXPECT_EQ(esc(0x5009, 0, nullptr, 4, &mode), 1);
    EXPECT_EQ(mode, DWORD(pdev->copySetMode));
    SetLastError(0);
    EXPECT_EQ(esc(0x5009, 0, nullptr, 3, &mode), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    DWORD sheets = 9;
    pdev->jobCounters.sheets = 3;
    EXPECT_EQ(esc(0x500A, 0, nullptr, 4, &sheets), 1);
    EXPECT_EQ(sheets, 3u);
    EXPECT_EQ(esc(0x500A, 0, nullptr, 0, nullptr), -1);

    /* Outside a sheet no decoration is due and the box is empty. */
    std::vector<BYTE> q(44, 0xEE);
    DWORD end = 1;
    EXPECT_EQ(esc(0x5001, 4, &end, 44, q.data()), 1);
    EXPECT_EQ(q, std::vector<BYTE>(44, 0));
    BYTE shortEnd = 1;
    EXPECT_EQ(esc(0x5001, 1, &shortEnd, 44, q.data()), -1);
}

TEST_F(Escapes, RegionCodeIsCachedOnlyForItsTwoValues)
{
    BYTE letter = 1, bad = 3;
    EXPECT_EQ(esc(0x5100, 1, &letter), 1);
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 1);
    EXPECT_EQ(esc(0x5100, 1, &bad), 1);
    EXPECT_EQ(UTL_GetDefaultPaperRegion(TRUE), 1);
    EXPECT_EQ(esc(0x5100, 0, nullptr), -1);
}

TEST_F(Escapes, DecorationBracketsAnswerTheirState)
{
    DWORD begin = 1, out = 9;
    EXPECT_EQ(esc(0x5003, 4, &begin, 4, &out), -1) << "no sheet is open";
    EXPECT_EQ(esc(0x5003, 0, nullptr, 4, &out), 1) << "a query without an input";
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(esc(0x5008, 2, &begin, 4, &out), 1) << "a short input only queries";
    std::vector<BYTE> placement(8, 0);
    EXPECT_EQ(esc(0x5004, 7, placement.data()), 1) << "a wrong size is ignored";
}

TEST_F(Escapes, ApplicationEscapesGoToTheExtension)
{
    SetLastError(0);
    EXPECT_EQ(esc(0x1071, 0, nullptr), -4) << "the control escape without its record";
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(esc(0x1072, 0, nullptr), 0) << "the extension is off";
    EXPECT_EQ(esc(0x7000, 0, nullptr), 0) << "unknown escape";
    EXPECT_EQ(esc(0x10000 + 0x5020, 0, nullptr), 1) << "matched on the low 16 bits";
}
