// The job settings snapshot and the page layout record as one table of
// settings and what they become (a value a map does not list fails), the
// protocol class clamp, the capability test, and how a paper is named by
// its media code or size.
#include "test_job_support.h"

#include <tarvel/model_data/model_format.h>

#include <functional>
#include <utility>
#include <vector>

using namespace job_test;

namespace {

using Settings = std::vector<std::pair<WORD, LONG>>;

class JobSettingsTest : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        enableContext();
        std::memcpy(baseSettings, pdev->settings, sizeof baseSettings);
        baseData.assign(pdev->printerData, pdev->printerData + SETTINGS_PRINTERDATA_SIZE);
    }

    /* The context's settings back as enabled, then `s` written. */
    void apply(const Settings &s)
    {
        std::memcpy(pdev->settings, baseSettings, sizeof baseSettings);
        std::memcpy(pdev->printerData, baseData.data(), baseData.size());
        for (const auto &[id, value] : s)
            put(id, value);
    }

    /* Snapshot then layout, with the model's capability words or `caps`. */
    int snapshot(JobSettings &js, const ModelCapabilityBits &caps, DWORD cls = JOB_PROTOCOL_2_0)
    {
        std::memset(&js, 0, sizeof js);
        return JOB_SnapshotSettings(&js, cls, pdev->settings, pdev->printerData, &caps);
    }
    int layout(PageLayout &lay, const JobSettings &js, const ModelCapabilityBits &caps)
    {
        std::memset(&lay, 0, sizeof lay);
        return JOB_TranslateLayout(&lay, &js, pdev->settings, pdev->printerData, &caps);
    }

    BYTE baseSettings[SETTINGS_IMAGE_SIZE] = {};
    std::vector<BYTE> baseData;
};

/* Capability words with a mask on word 0 and bits n of words 1 and 2 (n >= 32). */
ModelCapabilityBits capsWith(DWORD word0, std::initializer_list<DWORD> bits = {})
{
    ModelCapabilityBits caps{};
    caps.words[0] = word0;
    for (DWORD n : bits)
        caps.words[n / 32] |= 1u << (n % 32);
    return caps;
}

} // namespace

TEST_F(JobSettingsTest, TheProtocolClassIsHeldWithin2Point0And2Point1)
{
    struct Case {
        DWORD stored;
        DWORD used;
    } cases[] = {
        {0x2020000, JOB_PROTOCOL_2_1}, {0x2010000, JOB_PROTOCOL_2_1}, {0x2000100, 0x2000100},
        {0x2000000, JOB_PROTOCOL_2_0}, {0x1FFFFFF, JOB_PROTOCOL_2_0}, {0, JOB_PROTOCOL_2_0},
    };
    for (const Case &c : cases) {
        apply({{8205, LONG(c.stored)}});
        EXPECT_EQ(JOB_GetProtocolClass(pdev, pdev->settings, pdev->printerData), c.used) << std::hex << c.stored;
    }
    EXPECT_EQ(JOB_GetProtocolClass(pdev, pdev->settings, nullptr), JOB_PROTOCOL_2_0);
    EXPECT_EQ(JOB_GetProtocolClass(nullptr, pdev->settings, pdev->printerData), JOB_PROTOCOL_2_0);

    /* the snapshot refuses a class outside the range */
    JobSettings js{};
    ModelCapabilityBits caps{};
    apply({});
    EXPECT_EQ(snapshot(js, caps, JOB_PROTOCOL_2_1), 0);
    EXPECT_EQ(js.protocolClass, JOB_PROTOCOL_2_1);
    EXPECT_EQ(snapshot(js, caps, 0x2020000), -1);
    EXPECT_EQ(snapshot(js, caps, 0x1FFFFFF), -1);
}

TEST_F(JobSettingsTest, EverySettingMapsAsItsTableSays)
{
    using Check = std::function<void(const JobSettings &, const PageLayout &)>;
    struct Case {
        const char *what;
        Settings settings;
        ModelCapabilityBits caps;
        int snapshotResult; /* 0 or -1 */
        int layoutResult;   /* 0 or -1 (only when the snapshot succeeded) */
        Check check;
    } cases[] = {
        /* colour state (270), with the tolerant grey test (1289) */
        {"270 = 0", {{270, 0}}, {}, 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.colorState, JOB_COLOR_PER_PAGE); }},
        {"270 = 1", {{270, 1}}, {}, 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.colorState, JOB_COLOR_MONO); }},
        {"270 = 2", {{270, 2}}, {}, 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.colorState, JOB_COLOR_COLOR); }},
        {"270 = 3", {{270, 3}}, {}, 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.colorState, JOB_COLOR_COLOR); }},
        {"270 = 3, 1289 on", {{270, 3}, {1289, 1}}, {}, 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.colorState, JOB_COLOR_PER_PAGE);
             EXPECT_EQ(js.tolerantGreyTest, 1u);
         }},
        {"270 = 4", {{270, 4}}, {}, -1, 0, nullptr},
        /* 5126 with 4129 and 5153 on, colour per page */
        {"5126 = 0x10C", {{270, 0}, {4129, 1}, {5153, 1}, {5126, 0x10C}}, {}, 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.use5126, 1);
             EXPECT_EQ(js.value5126, 0x0C);
             EXPECT_EQ(js.high5126, 1);
         }},
        {"5126 = 0x20C", {{270, 0}, {4129, 1}, {5153, 1}, {5126, 0x20C}}, {}, -1, 0, nullptr},
        {"5126 in a colour job", {{270, 2}, {4129, 1}, {5153, 1}, {5126, 0x20C}}, {}, 0, 0,
         [](auto &js, auto &) { EXPECT_EQ(js.use5126, 0); }},
        /* duplex (16) and its edge */
        {"16 = 1", {{16, 1}}, {}, 0, 0,
         [](auto &js, auto &lay) {
             EXPECT_EQ(js.duplex, 1);
             EXPECT_EQ(lay.duplexEdge, 0);
         }},
        {"16 = 2", {{16, 2}}, {}, 0, 0,
         [](auto &js, auto &lay) {
             EXPECT_EQ(js.duplex, 2);
             EXPECT_EQ(lay.duplexEdge, 2);
         }},
        {"16 = 3", {{16, 3}}, {}, 0, 0,
         [](auto &js, auto &lay) {
             EXPECT_EQ(js.duplex, 2);
             EXPECT_EQ(lay.duplexEdge, 1);
         }},
        {"16 = 0", {{16, 0}}, {}, -1, 0, nullptr},
        {"16 = 4", {{16, 4}}, {}, -1, 0, nullptr},
        /* pages per sheet (295): grid, cells turned, N-up forces scaling off */
        {"295 = 8", {{295, 8}, {1281, 1}, {263, 24}}, {}, 0, 0,
         [](auto &js, auto &lay) {
             EXPECT_EQ(js.pagesPerSheet, 8);
             EXPECT_EQ(js.singlePage, 0);
             EXPECT_EQ(js.samePaper, 0);
             EXPECT_EQ(lay.gridColumns, 2);
             EXPECT_EQ(lay.gridRows, 4);
             EXPECT_EQ(lay.cellsTurned, 1);
             EXPECT_EQ(lay.sheetTurned, 1);
             EXPECT_EQ(lay.scaling, 0);
             EXPECT_EQ(lay.scale, 100u) << "with N-up the scale is 100 whatever 263 says";
         }},
        {"295 = 32", {{295, 32}}, {}, 0, 0,
         [](auto &, auto &lay) {
             EXPECT_EQ(lay.gridColumns, 4);
             EXPECT_EQ(lay.gridRows, 8);
         }},
        {"295 = 16", {{295, 16}}, {}, 0, 0,
         [](auto &, auto &lay) {
             EXPECT_EQ(lay.gridColumns, 4);
             EXPECT_EQ(lay.gridRows, 4);
             EXPECT_EQ(lay.cellsTurned, 0);
         }},
        {"295 = 3", {{295, 3}}, {}, -1, 0, nullptr},
        {"295 = 64", {{295, 64}}, {}, -1, 0, nullptr},
        /* poster and booklet (321) */
        {"poster 3 x 3", {{321, 1}, {296, 771}, {16, 2}, {267, 1}, {264, 7}, {382, 2}}, {}, 0, 0,
         [](auto &js, auto &lay) {
             EXPECT_EQ(js.poster, 1);
             EXPECT_EQ(js.posterAcross, 3);
             EXPECT_EQ(lay.posterAcross, 3);
             EXPECT_EQ(lay.posterDown, 3);
             EXPECT_EQ(lay.pagesPerSheet, 1);
             EXPECT_EQ(lay.binding, 0);
             EXPECT_EQ(lay.duplexEdge, 0);
             EXPECT_EQ(lay.nupOrder, 0) << "a poster reads no N-up order";
             EXPECT_EQ(lay.value382, 0);
         }},
        {"poster 296 = 515", {{321, 1}, {296, 515}}, {}, -1, 0, nullptr},
        {"321 = 3", {{321, 3}}, {}, -1, 0, nullptr},
        {"booklet option 1", {{321, 2}, {446, 1}, {4364, 5}, {1328, 1}, {322, 1}, {1291, 1}, {324, 7}},
         capsWith(0x4000000), 0, 0,
         [](auto &js, auto &lay) {
             EXPECT_EQ(js.booklet, 1u);
             EXPECT_EQ(js.bookletOptionValue, 5);
             EXPECT_EQ(js.bktpLine, 1);
             EXPECT_EQ(js.singlePage, 0);
             EXPECT_EQ(js.coverFlag, 1);
             EXPECT_EQ(lay.bookletOptions[0], 1);
             EXPECT_EQ(lay.bookletOptions[1], 7);
             EXPECT_EQ(lay.bookletOptions[3], 2);
         }},
        {"booklet 446 = 3", {{321, 2}, {446, 3}}, {}, -1, 0, nullptr},
        {"booklet 322 = 2", {{321, 2}, {322, 2}}, {}, 0, -1, nullptr},
        /* leading insert (332, or 404 with capability bit 38) */
        {"332 = 2", {{332, 2}, {333, 4}}, {}, 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.leadingInsert, 2);
             EXPECT_EQ(js.leadingInsertTray, 4);
             EXPECT_EQ(js.coverMode, 2) << "a blank cover";
         }},
        {"332 = 3", {{332, 3}}, {}, -1, 0, nullptr},
        {"404 = 1, 1340 on", {{404, 1}, {1340, 1}, {407, 6}, {332, 3}}, capsWith(0, {38}), 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.leadingInsert, 1);
             EXPECT_EQ(js.leadingInsertTray, 6);
             EXPECT_EQ(js.coverMode, 1) << "the first page printed on the cover";
         }},
        /* job type (334): unlisted values are 0, not a failure */
        {"334 = 5", {{334, 5}}, {}, 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.jobType, 4); }},
        {"334 = 8", {{334, 8}}, {}, 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.jobType, 6); }},
        {"334 = 4", {{334, 4}}, {}, 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.jobType, 0); }},
        /* copies collated by the driver, its variants, and the jobs that record */
        {"collated by the driver", {{12, 3}, {18, 1}}, capsWith(0x10000, {62}), 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.driverCollate, 1);
             EXPECT_EQ(js.recorded, 1u);
             EXPECT_EQ(js.hcpnLine, 0) << "4359 is 0";
         }},
        {"collated, 1344 and 4123 on", {{12, 3}, {18, 1}, {1344, 1}, {4123, 1}}, capsWith(0x10000), 0, 0,
         [](auto &js, auto &) { EXPECT_EQ(js.driverCollate, 0); }},
        {"collated, bit 64, 4355 = 1", {{12, 3}, {18, 1}, {1344, 1}, {4123, 1}, {4355, 1}, {334, 3}},
         capsWith(0x10000, {64}), 0, 0, [](auto &js, auto &) { EXPECT_EQ(js.driverCollate, 1); }},
        {"one copy", {{12, 1}, {18, 1}}, capsWith(0x10000), 0, 0,
         [](auto &js, auto &) { EXPECT_EQ(js.recorded, 0u); }},
        {"driver duplex", {{16, 2}, {1365, 1}}, capsWith(0, {55}), 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.driverDuplex, 1u);
             EXPECT_EQ(js.recorded, 1u);
         }},
        /* watermark placement and annotation items */
        {"annotation 1298", {{1298, 1}, {353, 12}}, {}, 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.annotation, 1);
             EXPECT_EQ(js.annotationPos[2], 12);
             EXPECT_EQ(js.annotationPos[0], -1);
         }},
        /* the layout's own maps */
        {"scale 25", {{1281, 1}, {263, 25}}, {}, 0, 0, [](auto &, auto &lay) { EXPECT_EQ(lay.scale, 25u); }},
        {"scale 400", {{1281, 1}, {263, 400}, {1283, 1}}, {}, 0, 0,
         [](auto &, auto &lay) {
             EXPECT_EQ(lay.scale, 400u);
             EXPECT_EQ(lay.fit, 0) << "no fitting while scaling";
         }},
        {"scale 24", {{1281, 1}, {263, 24}}, {}, 0, -1, nullptr},
        {"scale 401", {{1281, 1}, {263, 401}}, {}, 0, -1, nullptr},
        {"scale off", {{1281, 0}, {263, 401}, {1283, 1}}, {}, 0, 0,
         [](auto &, auto &lay) {
             EXPECT_EQ(lay.scale, 100u);
             EXPECT_EQ(lay.fit, 1);
         }},
        {"437 = 3", {{437, 3}}, {}, 0, 0, [](auto &, auto &lay) { EXPECT_EQ(lay.value437, 3); }},
        {"437 = 4", {{437, 4}}, {}, 0, -1, nullptr},
        {"264 = 6", {{264, 6}}, {}, 0, 0, [](auto &, auto &lay) { EXPECT_EQ(lay.nupOrder, 6); }},
        {"264 = 7", {{264, 7}}, {}, 0, -1, nullptr},
        {"binding 6", {{267, 6}, {268, 11}, {269, 22}}, {}, 0, 0,
         [](auto &, auto &lay) {
             EXPECT_EQ(lay.binding, 3);
             EXPECT_EQ(lay.bindingValues[0], 11);
             EXPECT_EQ(lay.bindingValues[1], 22);
         }},
        {"binding 7", {{267, 7}}, {}, 0, 0, [](auto &, auto &lay) { EXPECT_EQ(lay.binding, 2); }},
        {"binding of job type 3 with bit 42", {{267, 1}, {334, 3}}, capsWith(0, {42}), 0, 0,
         [](auto &, auto &lay) { EXPECT_EQ(lay.binding, 0); }},
        {"294 = 2", {{294, 2}, {7, 1}}, {}, 0, 0, [](auto &, auto &lay) { EXPECT_EQ(lay.landscape, 1); }},
        {"294 = 0, 7 = 2", {{294, 0}, {7, 2}}, {}, 0, 0, [](auto &, auto &lay) { EXPECT_EQ(lay.landscape, 1); }},
        {"294 = 3", {{294, 3}}, {}, 0, -1, nullptr},
        {"image shift 1", {{459, 1}, {460, -5}, {461, 9}}, {}, 0, 0,
         [](auto &, auto &lay) {
             EXPECT_EQ(lay.imageShift, 1);
             EXPECT_EQ(lay.imageShiftValues[0], -5);
             EXPECT_EQ(lay.imageShiftValues[1], 9);
         }},
        {"image shift 3", {{459, 3}, {382, 5}}, {}, 0, 0,
         [](auto &, auto &lay) {
             EXPECT_EQ(lay.imageShift, 0);
             EXPECT_EQ(lay.value382, 0);
         }},
        /* the readings of sources no setting of their own names */
        {"1350 on", {{1350, 1}, {262, 267}}, {}, 0, 0,
         [](auto &js, auto &) {
             EXPECT_EQ(js.perPageDuplex, 1);
             EXPECT_EQ(js.perPagePaper, 1);
             EXPECT_EQ(js.paperTypeTrays, 1);
             EXPECT_EQ(js.coverMode, 0);
             EXPECT_EQ(js.outputTrayMode, 0);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        apply(c.settings);
        JobSettings js{};
        PageLayout lay{};
        ASSERT_EQ(snapshot(js, c.caps), c.snapshotResult);
        if (c.snapshotResult != 0)
            continue;
        ASSERT_EQ(layout(lay, js, c.caps), c.layoutResult);
        if (c.check)
            c.check(js, lay);
    }
}

TEST_F(JobSettingsTest, ABindingValueTheMapDoesNotListFailsTheLayout)
{
    /* the data manager refuses to write such a value, so it is put into the devmode's byte (offset 308) */
    apply({});
    JobSettings js{};
    PageLayout lay{};
    ModelCapabilityBits caps{};
    ASSERT_EQ(snapshot(js, caps), 0);
    pdev->settings[308] = 9;
    EXPECT_EQ(layout(lay, js, caps), -1);
    pdev->settings[308] = 8;
    EXPECT_EQ(layout(lay, js, caps), 0);
    EXPECT_EQ(lay.binding, 4);
}

TEST_F(JobSettingsTest, AWatermarkNeedsItsTextAndAFont)
{
    struct Case {
        const char16_t *text;
        const char16_t *font;
        LONG sheet;
        LONG sheetWatermark, pageWatermark;
    } cases[] = {
        {u"DRAFT", u"Arial", 0, 0, 1},
        {u"DRAFT", u"Arial", 1, 1, 0},
        {u"", u"Arial", 1, 0, 0},
        {u"DRAFT", u"", 1, 0, 0},
    };
    for (const Case &c : cases) {
        apply({{1288, c.sheet}});
        putText(297, c.text);
        putText(299, c.font);
        JobSettings js{};
        ASSERT_EQ(snapshot(js, ModelCapabilityBits{}), 0);
        EXPECT_EQ(js.sheetWatermark, c.sheetWatermark);
        EXPECT_EQ(js.pageWatermark, c.pageWatermark);
    }
}

TEST_F(JobSettingsTest, TheSnapshotKeepsWhatTheDocumentStartSet)
{
    JobSettings js{};
    std::u16string name = u"Kept";
    std::memcpy(js.documentName, name.c_str(), (name.size() + 1) * 2);
    js.printer = printer->handle;
    js.jobFlag = 7;
    js.colorState = 99;
    ModelCapabilityBits caps{};
    ASSERT_EQ(JOB_SnapshotSettings(&js, JOB_PROTOCOL_2_0, pdev->settings, pdev->printerData, &caps), 0);
    EXPECT_EQ(std::u16string(js.documentName), u"Kept");
    EXPECT_EQ(js.printer, printer->handle);
    EXPECT_EQ(js.jobFlag, 7u);
    EXPECT_EQ(js.colorState, JOB_COLOR_COLOR) << "the rest is filled afresh";
    EXPECT_EQ(JOB_SnapshotSettings(nullptr, JOB_PROTOCOL_2_0, pdev->settings, pdev->printerData, &caps), -1);
    EXPECT_EQ(JOB_SnapshotSettings(&js, JOB_PROTOCOL_2_0, nullptr, pdev->printerData, &caps), -1);
    PageLayout lay{};
    EXPECT_EQ(JOB_TranslateLayout(&lay, nullptr, pdev->settings, pdev->printerData, &caps), -1);
}

TEST_F(JobSettingsTest, CapabilityCodesAreBitsOrMasks)
{
    /* TARVEL1's words: 0x04450004, 0x00000083, 0 */
    struct Case {
        DWORD code;
        LONG has;
    } cases[] = {
        {0x4, 1}, {0x8, 0}, {0x10000, 1}, {0x40000, 1}, {0x4000000, 1}, {0x10, 0}, {MDL_CAP_BIT(2), 1}, {MDL_CAP_BIT(3), 0},
        {MDL_CAP_BIT(32), 1}, {MDL_CAP_BIT(33), 1}, {MDL_CAP_BIT(34), 0}, {MDL_CAP_BIT(64), 0},
    };
    for (const Case &c : cases) {
        LONG out = -1;
        EXPECT_EQ(JOB_HasCapability(pdev, c.code, &out), 0);
        EXPECT_EQ(out, c.has) << std::hex << c.code;
    }
    LONG out = 5;
    EXPECT_EQ(JOB_HasCapability(nullptr, 0x4, &out), -1);
    EXPECT_EQ(out, 0);
}

TEST_F(JobSettingsTest, APaperIsNamedByItsCodeOrItsSize)
{
    auto paper = [](WORD code, WORD w, WORD l, WORD altW, WORD altL) {
        DddPaperRecord r{};
        r.head.kind = DDD_KIND_PAPER;
        r.mediaCode = code;
        r.size.first = w;
        r.size.second = l;
        r.sizeAlt.first = altW;
        r.sizeAlt.second = altL;
        return r;
    };
    struct Case {
        const char *what;
        DddPaperRecord record;
        JobPaper sheet;
        int result;
        WORD code, width, length;
    } cases[] = {
        {"fixed, coded", paper(26, 2100, 2970, 2100, 2970), {9, 2100, 2970, 0, 0, 0, 0}, 0, 26, 0, 0},
        {"fixed, by size", paper(81, 1000, 1500, 1000, 1500), {256, 1000, 1500, 0, 0, 0, 0}, 0, 81, 1000, 1500},
        {"range, A4", paper(81, 900, 1400, 3000, 4500), {256, 2100, 2970, 0, 0, 0, 0}, 0, 2, 0, 0},
        {"range, other", paper(81, 900, 1400, 3000, 4500), {256, 2101, 2970, 0, 0, 0, 0}, 0, 81, 2101, 2970},
        {"range with a code", paper(26, 900, 1400, 3000, 4500), {256, 2100, 2970, 0, 0, 0, 0}, -1, 0, 0, 0},
    };
    for (const Case &c : cases) {
        WORD code = 7, w = 7, l = 7;
        EXPECT_EQ(JOB_PaperMediaSize(&c.sheet, &c.record.head, &code, &w, &l), c.result) << c.what;
        EXPECT_EQ(code, c.code) << c.what;
        EXPECT_EQ(w, c.width) << c.what;
        EXPECT_EQ(l, c.length) << c.what;
    }
    DddPaperRecord notPaper = paper(26, 1, 1, 1, 1);
    notPaper.head.kind = DDD_KIND_TRAY;
    JobPaper sheet{9, 2100, 2970, 0, 0, 0, 0};
    WORD code = 0, w = 0, l = 0;
    EXPECT_EQ(JOB_PaperMediaSize(&sheet, &notPaper.head, &code, &w, &l), -1);
    EXPECT_EQ(JOB_PaperMediaSize(&sheet, nullptr, &code, &w, &l), -1);
}

TEST_F(JobSettingsTest, SamePaperComparesNumberAndSize)
{
    JobPaper a{9, 2100, 2970, 1, 2, 3, 4};
    struct Case {
        JobPaper b;
        int result;
    } cases[] = {
        {{9, 2100, 2970, 0, 0, 0, 0}, 0},
        {{8, 2100, 2970, 1, 2, 3, 4}, 1},
        {{9, 2970, 2100, 1, 2, 3, 4}, 1},
        {{9, 2100, 2971, 1, 2, 3, 4}, 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(JOB_SamePaper(&a, &c.b), c.result);
    EXPECT_EQ(JOB_SamePaper(nullptr, &a), 1);
    EXPECT_EQ(JOB_SamePaper(&a, nullptr), 1);
}

TEST_F(JobSettingsTest, AModelTrayGivesItsMediaSource)
{
    /* the standard model's trays: Tray 1 feeds from source 4, Tray 2 (code 3) from 5, the bypass (4) from 3 */
    struct Case {
        WORD tray, source;
    } cases[] = {{1, 4}, {3, 5}, {4, 3}, {257, 8}};
    for (const Case &c : cases) {
        WORD source = 0;
        EXPECT_EQ(JOB_TrayMediaSource(pdev->mainReader, pdev->companionReader, c.tray, &source), 0) << c.tray;
        EXPECT_EQ(source, c.source) << c.tray;
    }
    WORD source = 99;
    EXPECT_EQ(JOB_TrayMediaSource(pdev->mainReader, pdev->companionReader, 0xFFFE, &source), -1)
        << "no such tray";
    EXPECT_EQ(source, 0);
    EXPECT_EQ(JOB_TrayMediaSource(nullptr, nullptr, 1, &source), -1);
}
