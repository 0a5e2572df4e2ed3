/*
 * Device capabilities through DCAP_Dispatch: every DC_ query of each
 * standard model with a null output (the count), with an output of exactly
 * the count allocated on its own (a write past it is caught), and without
 * the sources it needs (its fallback or -1).
 */
#include "test_fid_support.h"

#include <tarvel/settings/dcap_caps.h>
#include <tarvel/settings/fid_defaults.h>

#include <modelwriter/model_writer.h>
#include <standard_models.h>

#include <cstring>
#include <memory>

namespace {

using namespace fid_test;

struct Point {
    LONG x;
    LONG y;
};

class DcapCaps : public SchemaTest {
protected:
    void SetUp() override
    {
        SchemaTest::SetUp();
        plat::version_set(10, 0, 19045, 0, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_NT);
        UTL_ResetVersionCacheForTest();
    }
    void prepare(const ModelFiles &files, bool modelForms = true)
    {
        install(files, "");
        afterInstall(modelForms);
    }
    void afterInstall(bool modelForms = true)
    {
        if (modelForms)
            addModelForms();
        resources_ = RES_LoadResourceModule();
        ASSERT_NE(resources_, nullptr);
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), FID_DUMMY_PRINTER_NAME));
        ASSERT_EQ(put(5200, rec_.dm(), rec_.pd(), 1), DMA_OK);
    }
    void TearDown() override
    {
        if (resources_ != nullptr)
            RES_FreeResourceModule();
        SchemaTest::TearDown();
    }
    LONG ask(WORD index, void *output, WORD sources = DCAP_SRC_ALL)
    {
        return DCAP_Dispatch(printer(), index, output, sources, rec_.dm(), rec_.pd(), ctx());
    }
    /* The count, then the answer into an output of exactly `count` elements of `T`. */
    template <typename T>
    std::vector<T> array(WORD index, size_t elementBytes = sizeof(T))
    {
        const LONG count = ask(index, nullptr);
        EXPECT_GT(count, 0) << index;
        if (count <= 0)
            return {};
        const size_t bytes = size_t(count) * elementBytes;
        std::unique_ptr<BYTE[]> out(new BYTE[bytes]);
        std::memset(out.get(), 0xCC, bytes);
        EXPECT_EQ(ask(index, out.get()), count) << index;
        std::vector<T> v(bytes / sizeof(T));
        std::memcpy(v.data(), out.get(), bytes);
        return v;
    }
    /* Names in slots of `chars` characters. */
    std::vector<std::string> names(WORD index, int chars)
    {
        const std::vector<WCHAR> raw = array<WCHAR>(index, size_t(chars) * sizeof(WCHAR));
        std::vector<std::string> out;
        for (size_t i = 0; i + size_t(chars) <= raw.size(); i += size_t(chars)) {
            std::u16string s(raw.data() + i, size_t(chars));
            s.resize(s.find(u'\0') == std::u16string::npos ? s.size() : s.find(u'\0'));
            out.push_back(u8(s.c_str()));
        }
        return out;
    }

    HMODULE resources_ = nullptr;
    Records rec_;
};

const std::vector<WORD> kCodes = {1, 5, 8, 9, 11, 13, 119, 256, 120, 3, 12};
const std::vector<std::string> kPaperNames = {
    "Letter",   "Legal",    "A3", "A4", "A5", "B5 (JIS)", "Postcard", "User Defined Size",
    "Custom Paper 1 (210 x 297 mm)", "Tabloid", "B4 (JIS)"};
const std::vector<Point> kSizes = {{2159, 2794}, {2159, 3556}, {2970, 4200}, {2100, 2970},
                                   {1480, 2100}, {1820, 2570}, {1000, 1480}, {2100, 2970},
                                   {2100, 2970}, {2794, 4318}, {2570, 3640}};

bool operator==(const Point &a, const Point &b)
{
    return a.x == b.x && a.y == b.y;
}

std::ostream &operator<<(std::ostream &o, const Point &p)
{
    return o << "(" << p.x << ", " << p.y << ")";
}

} // namespace

class DcapEvery : public DcapCaps {
protected:
    void checkEveryQuery(const ModelFiles &files)
    {
        prepare(files);

        EXPECT_EQ(array<WORD>(DC_PAPERS), kCodes);
        EXPECT_EQ(names(DC_PAPERNAMES, 64), kPaperNames);
        EXPECT_EQ(array<Point>(DC_PAPERSIZE), kSizes);
        EXPECT_EQ(ask(DC_MINEXTENT, nullptr), 1000 | (1480 << 16)) << "Postcard";
        EXPECT_EQ(ask(DC_MAXEXTENT, nullptr), 2970 | (4318 << 16)) << "A3's width, Tabloid's length";
        EXPECT_EQ(array<WORD>(DC_BINS), (std::vector<WORD>{7, 1, 3, 2, 257, 4}));
        EXPECT_EQ(names(DC_BINNAMES, 24), (std::vector<std::string>{"Automatically Select", "Tray 1", "Tray 2",
                                                                   "Optional Tray 3", "Optional Tray 4",
                                                                   "Bypass Tray"}));
        /* X in the high half of each resolution value, Y in the low half. */
        EXPECT_EQ(array<Point>(DC_ENUMRESOLUTIONS),
                  (std::vector<Point>{{600, 600}, {1200, 1200}, {1200, 600}, {600, 300}}));
        std::vector<std::string> media = names(DC_MEDIAREADY, 64);
        ASSERT_EQ(media.size(), 11u);
        EXPECT_EQ(media[7], "User Defined Size");
        EXPECT_EQ(media[8], "Custom Size") << "the option's own name";

        WCHAR dependency = 0x7777;
        EXPECT_EQ(ask(DC_FILEDEPENDENCIES, &dependency), 0);
        EXPECT_EQ(dependency, 0);

        struct Scalar {
            WORD index;
            LONG answer;
        } scalars[] = {
            {DC_FIELDS, LONG(read(6, rec_.dm(), rec_.pd()).unsignedNumber())},
            {DC_DUPLEX, 0},      {DC_SIZE, 220},          {DC_EXTRA, 1384},       {DC_VERSION, 0x401},
            {DC_DRIVER, 0x1040}, {DC_FILEDEPENDENCIES, 0}, {DC_TRUETYPE, 6},      {DC_ORIENTATION, 90},
            {DC_COPIES, 999},    {DC_COLLATE, 1},          {DC_PRINTRATE, 30},    {DC_PRINTRATEUNIT, 1},
            {DC_PRINTRATEPPM, 30}, {DC_STAPLE, 0},         {DC_COLORDEVICE, 1},   {DC_NUP, -1},
            {19, -1},            {0, -1},
        };
        for (const Scalar &s : scalars)
            EXPECT_EQ(ask(s.index, nullptr), s.answer) << s.index;
    }
};

TEST_F(DcapEvery, ColourModel)
{
    checkEveryQuery(kColour);
}

TEST_F(DcapEvery, FaxModel)
{
    checkEveryQuery(kFax);
}

TEST_F(DcapCaps, AnswersFollowTheSettings)
{
    prepare(kColour);
    ASSERT_EQ(put(6, rec_.dm(), rec_.pd(), 0x1234), DMA_OK);
    ASSERT_EQ(put(4103, rec_.dm(), rec_.pd(), 1), DMA_OK);
    ASSERT_EQ(put(4, rec_.dm(), rec_.pd(), 212), DMA_OK);
    ASSERT_EQ(put(5, rec_.dm(), rec_.pd(), 5700), DMA_OK);
    EXPECT_EQ(ask(DC_FIELDS, nullptr), 0x1234);
    EXPECT_EQ(ask(DC_DUPLEX, nullptr), 1);
    EXPECT_EQ(ask(DC_SIZE, nullptr), 212);
    EXPECT_EQ(ask(DC_EXTRA, nullptr), 5700);
    ASSERT_EQ(put(4101, rec_.dm(), rec_.pd(), 1), DMA_OK);
    EXPECT_EQ(ask(DC_STAPLE, nullptr), 0) << "a finisher without a stapler";
    ASSERT_EQ(put(5134, rec_.dm(), rec_.pd(), 1), DMA_OK);
    EXPECT_EQ(ask(DC_STAPLE, nullptr), 1);

    /* Without setting 5200 the user-defined size is left out. */
    ASSERT_EQ(put(5200, rec_.dm(), rec_.pd(), 0), DMA_OK);
    std::vector<WORD> codes = kCodes;
    codes.erase(codes.begin() + 7);
    EXPECT_EQ(array<WORD>(DC_PAPERS), codes);
    ASSERT_EQ(put(5200, rec_.dm(), rec_.pd(), 1), DMA_OK);

    /* A devmode of the user size within the model's custom range (984-3054 x 1564-4402) gives its size. */
    struct Case {
        LONG width, length;
        Point expected;
    } cases[] = {{1500, 2000, {1500, 2000}}, {984, 4402, {984, 4402}}, {983, 2000, {2100, 2970}},
                 {1500, 4403, {2100, 2970}}};
    ASSERT_EQ(put(8, rec_.dm(), rec_.pd(), 256), DMA_OK);
    for (const Case &c : cases) {
        ASSERT_EQ(put(10, rec_.dm(), rec_.pd(), DWORD(c.width)), DMA_OK);
        ASSERT_EQ(put(9, rec_.dm(), rec_.pd(), DWORD(c.length)), DMA_OK);
        EXPECT_EQ(array<Point>(DC_PAPERSIZE)[7], c.expected) << c.width << " x " << c.length;
    }

    /* Before Windows XP collation is not offered. */
    plat::version_set(5, 0, 2195, 0, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_NT);
    UTL_ResetVersionCacheForTest();
    EXPECT_EQ(ask(DC_COLLATE, nullptr), -1);
}

TEST_F(DcapCaps, PapersWithoutTheirForms)
{
    prepare(kColour, false);
    std::vector<WORD> codes = kCodes;
    codes[6] = 0;       /* Postcard: no form of its name */
    codes[8] = 0xFFFF;  /* the custom slot: no form, -1 */
    EXPECT_EQ(array<WORD>(DC_PAPERS), codes);
}

/* With forms merging the paper list answers; its custom item is written as 256. */
TEST_F(DcapCaps, PapersFromTheMergedList)
{
    install(kColour, "[DME,1]\nformdb.mode=1\n");
    afterInstall();
    addForm(u"My Card", 150000, 200000);
    ASSERT_EQ(put(5201, rec_.dm(), rec_.pd(), 1), DMA_OK);
    const std::vector<WORD> merged = {1, 5, 8, 9, 11, 13, 307, 256, 262, 3, 12, 512};
    EXPECT_EQ(array<WORD>(DC_PAPERS), merged);
    const std::vector<std::string> mergedNames = names(DC_PAPERNAMES, 64);
    ASSERT_EQ(mergedNames.size(), 12u);
    EXPECT_EQ(mergedNames[11], "My Card");
    std::vector<Point> sizes = array<Point>(DC_PAPERSIZE);
    ASSERT_EQ(sizes.size(), 12u);
    EXPECT_EQ(sizes[11], (Point{1500, 2000}));
    ASSERT_EQ(put(5200, rec_.dm(), rec_.pd(), 0), DMA_OK);
    EXPECT_EQ(ask(DC_PAPERS, nullptr), 11) << "less the user-defined size";
}

TEST_F(DcapCaps, WithoutTheSourcesTheyNeed)
{
    prepare(kColour);
    struct Case {
        WORD index;
        LONG noSources;   /* sources word 0 */
        LONG modelOnly;   /* only the model context */
    } cases[] = {
        {DC_FIELDS, 0x1FF13, 0x781FF13}, {DC_PAPERS, -1, -1},       {DC_PAPERSIZE, -1, -1},
        {DC_MINEXTENT, -1, -1},          {DC_MAXEXTENT, -1, -1},    {DC_BINS, -1, -1},
        {DC_DUPLEX, -1, -1},             {DC_SIZE, 220, 220},       {DC_EXTRA, 1384, 1384},
        {DC_VERSION, 0x500, 0x500},      {DC_DRIVER, 0x1040, 0x1040}, {DC_BINNAMES, -1, -1},
        {DC_ENUMRESOLUTIONS, -1, 4},     {DC_FILEDEPENDENCIES, 0, 0}, {DC_TRUETYPE, 6, 6},
        {DC_PAPERNAMES, -1, -1},         {DC_ORIENTATION, 90, 90},  {DC_COPIES, 999, 999},
        {DC_COLLATE, 1, 1},              {DC_PRINTRATE, -1, 30},    {DC_PRINTRATEUNIT, 1, 1},
        {DC_MEDIAREADY, -1, 11},         {DC_STAPLE, -1, -1},       {DC_PRINTRATEPPM, -1, 30},
        {DC_COLORDEVICE, -1, 1},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ask(c.index, nullptr, 0), c.noSources) << c.index;
        EXPECT_EQ(ask(c.index, nullptr, DCAP_SRC_MODEL), c.modelOnly) << c.index;
    }
    /* Settings without the model: the papers still need all three. */
    EXPECT_EQ(ask(DC_PAPERS, nullptr, DCAP_SRC_DEVMODE | DCAP_SRC_PRINTERDATA), -1);
    EXPECT_EQ(ask(DC_DUPLEX, nullptr, DCAP_SRC_DEVMODE | DCAP_SRC_PRINTERDATA), 0);
    EXPECT_EQ(ask(DC_STAPLE, nullptr, DCAP_SRC_MODEL | DCAP_SRC_PRINTERDATA), 0);
}

TEST_F(DcapCaps, BinsLeaveOutWhatTheEngineRejects)
{
    /* The standard model with a rule (outcome kind 1) on the cover source "Bypass Tray" while portrait. */
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
    const DWORD v = m.formatVersion;
    size_t feature = 0;
    for (size_t i = 0; i < m.records.size(); ++i)
        if (m.records[i].kind == DDD_KIND_DOCUMENT_FEATURE && m.records[i].id == 265)
            feature = i;
    ASSERT_GT(feature, 0u);
    mw::Record &bypass = m.records[feature - 1]; /* a feature's options precede it; the last is the bypass tray */
    mw::Option o;
    o.id = bypass.id;
    o.name = mw::stored("Bypass Tray");
    o.targetKind = DDD_KIND_TRAY;
    o.targetId = 4;
    o.setting = mw::vUShort(4);
    o.forwardRules = {WORD(m.count(DDD_KIND_RULE) + 1)};
    bypass = mw::encode(DDD_KIND_DOCUMENT_OPTION, o, v);
    mw::Rule rule{WORD(m.count(DDD_KIND_RULE) + 1), mw::Setting{0, 1, 265, mw::vUShort(4)}, 1,
                  mw::stored("Not while portrait."), {mw::Condition{mw::Setting{0, 1, 7, mw::vShort(1)}, 4}}, {}};
    m.add(mw::encode(DDD_KIND_RULE, rule, v));
    installWritten(m, "");
    afterInstall();
    EXPECT_EQ(array<WORD>(DC_BINS), (std::vector<WORD>{7, 1, 3, 2, 257}));
    EXPECT_EQ(names(DC_BINNAMES, 24).back(), "Optional Tray 4");
    ASSERT_EQ(put(7, rec_.dm(), rec_.pd(), 2), DMA_OK);
    EXPECT_EQ(ask(DC_BINS, nullptr), 6) << "landscape: the rule does not hold";
}

/* A paper source whose option value is a text: no tray code can be offered, the query fails cleanly. */
TEST_F(DcapCaps, BinsWithATextValuedSourceFail)
{
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
    size_t feature = 0;
    for (size_t i = 0; i < m.records.size(); ++i)
        if (m.records[i].kind == DDD_KIND_DOCUMENT_FEATURE && m.records[i].id == 13)
            feature = i;
    ASSERT_GT(feature, 0u);
    mw::Record &last = m.records[feature - 1]; /* a feature's options precede it */
    ASSERT_EQ(last.kind, DDD_KIND_DOCUMENT_OPTION);
    mw::Option o;
    o.id = last.id;
    o.name = mw::stored("Text Tray");
    o.setting = mw::vString(mw::stored("Tray"));
    last = mw::encode(DDD_KIND_DOCUMENT_OPTION, o, m.formatVersion);
    installWritten(m, "");
    afterInstall();
    EXPECT_EQ(ask(DC_BINS, nullptr), -1);
    EXPECT_EQ(ask(DC_BINNAMES, nullptr), -1);
}
