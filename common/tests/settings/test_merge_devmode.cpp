/*
 * Tests of the devmode merge with application devmodes of every size the
 * merge knows (156, 188, 200, 212, 220, 1,596, 1,604 and 5,920 bytes), each
 * held in a heap buffer of exactly its size so that the address sanitizer
 * catches any read or write past it: which fields are taken, when the
 * private part is taken and how far, the enforced values applied last, and
 * the same devmode merged with and without a devmode mapping section.
 */
#include "test_fid_support.h"

#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_merge.h>

#include <plat/debug.h>

namespace {

using namespace fid_test;

/* Offsets of the public DEVMODEW fields. */
constexpr size_t kSpecVersion = 64, kSize = 68, kExtra = 70, kFields = 72, kOrientation = 76, kPaperSize = 78,
                 kPaperLength = 80, kPaperWidth = 82, kScale = 84, kCopies = 86, kDefaultSource = 88,
                 kPrintQuality = 90, kColor = 92, kDuplex = 94, kYResolution = 96, kTTOption = 98, kCollate = 100,
                 kFormName = 102, kIcmIntent = 192, kMediaType = 196;

/* An application's devmode in a heap buffer of exactly dmSize + dmDriverExtra bytes. */
struct AppDevmode {
    std::vector<BYTE> bytes;
    AppDevmode(WORD dmSize, WORD extra) : bytes(size_t(dmSize) + extra, 0)
    {
        set16(kSpecVersion, 0x401);
        set16(kSize, dmSize);
        set16(kExtra, extra);
    }
    /* A copy of the driver's own settings (its first 1,604 bytes, or `length` of them). */
    AppDevmode(const Records &own, size_t length) : bytes(own.image.begin(), own.image.begin() + length) {}
    void set16(size_t offset, WORD v)
    {
        ASSERT_LE(offset + 2, bytes.size());
        plat::store<WORD>(&bytes[offset], v);
    }
    void set32(size_t offset, DWORD v)
    {
        ASSERT_LE(offset + 4, bytes.size());
        plat::store<DWORD>(&bytes[offset], v);
    }
    void setFields(DWORD fields) { set32(kFields, fields); }
    void setName(const char16_t *name)
    {
        for (size_t i = 0; name[i] != 0; ++i)
            set16(kFormName + 2 * i, name[i]);
    }
    void *data() { return bytes.data(); }
};

class MergeDevmode : public SchemaTest {
protected:
    /* Installs the colour model with `cfg` and fills the output and the printer data with its defaults. */
    void prepare(const std::string &cfg = "")
    {
        install(kColour, cfg);
        ASSERT_TRUE(FID_InitDefaults(ctx(), out_.dm(), out_.pd(), u"Tarvel"));
        before_ = out_;
    }
    LONG outValue(WORD id) { return read(id, out_.dm(), out_.pd()).number(); }
    DWORD outFields() { return read(6, out_.dm(), out_.pd()).unsignedNumber(); }

    /* The output differs from the defaults only in the bytes of the settings `ids`. */
    void expectOnlyChanged(std::initializer_list<WORD> ids)
    {
        Records expected = before_;
        for (WORD id : ids) {
            Read r = read(id, out_.dm(), out_.pd());
            ASSERT_EQ(r.status, DMA_OK) << id;
            ASSERT_EQ(DMB_SetValue(id, expected.dm(), expected.pd(), r.type, r.size, &r.slot), DMA_OK) << id;
        }
        for (size_t i = 0; i < out_.image.size(); ++i)
            ASSERT_EQ(out_.image[i], expected.image[i]) << "image byte " << i;
    }

    Records out_;
    Records before_;
};

constexpr WORD kWith = FID_OP_CHECK_MODEL;
constexpr WORD kWithout = FID_OP_CHECK;

TEST_F(MergeDevmode, ArgumentsAndAShortDevmode)
{
    prepare("[Tarvel_CX_1500]\nduplex.enforced=2\n");
    AppDevmode old(156, 0);
    old.setFields(0x1 | 0x100);
    old.set16(kOrientation, 2);
    old.set16(kCopies, 5);

    EXPECT_FALSE(FID_MergeDevmode(ctx(), nullptr, old.data(), out_.pd(), printer(), kWith));
    EXPECT_FALSE(FID_MergeDevmode(ctx(), out_.dm(), old.data(), nullptr, printer(), kWith));
    EXPECT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), nullptr, out_.pd(), printer(), kWith));
    EXPECT_EQ(out_.image, before_.image) << "no input: nothing, not even the enforced values";

    /* An older DEVMODEW of 156 bytes changes nothing but the enforced values. */
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), old.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(16), 3) << "duplex enforced 2 is short edge";
    expectOnlyChanged({16});

    AppDevmode under(187, 0);
    under.setFields(0x1);
    under.set16(kOrientation, 2);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), under.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(7), 1);
}

TEST_F(MergeDevmode, AnotherDriversDevmode)
{
    prepare();
    AppDevmode other(220, 64);
    other.setFields(0x1 | 0x10 | 0x100 | 0x1000 | 0x4000);
    other.set16(kOrientation, 2);
    other.set16(kScale, 50);
    other.set16(kCopies, 5);
    other.set16(kDuplex, 9);     /* not one of the model's */
    other.set16(kTTOption, 3);
    for (size_t i = 220; i < other.bytes.size(); ++i)
        other.bytes[i] = 0xEE;    /* its own private data */
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), other.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(7), 2);
    EXPECT_EQ(outValue(11), 50);
    EXPECT_EQ(outValue(12), 5);
    EXPECT_EQ(outValue(16), 1) << "an invalid duplex value is not taken";
    EXPECT_EQ(outValue(17), 3);
    EXPECT_EQ(outValue(292), 0) << "TrueType option 3 leaves font substitution off";
    for (size_t i = 220; i < SETTINGS_DEVMODE_SIZE; ++i)
        ASSERT_EQ(out_.image[i], before_.image[i]) << "the other driver's private byte " << i << " came in";

    /* Orientation 3 is not taken; a merge without the model checks without it. */
    other.set16(kOrientation, 3);
    other.set16(kCopies, 1000);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), other.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(7), 2);
    EXPECT_EQ(outValue(12), 5) << "1,000 copies exceed the model's 999";
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), other.data(), out_.pd(), printer(), kWithout));
    EXPECT_EQ(outValue(12), 1000);
}

TEST_F(MergeDevmode, OwnDevmodeScaleNeedsItsFlag)
{
    prepare();
    Records own = before_;
    ASSERT_EQ(put(11, own.dm(), own.pd(), 50), DMA_OK);
    ASSERT_EQ(put(6, own.dm(), own.pd(), 0x10), DMA_OK);
    ASSERT_EQ(put(388, own.dm(), own.pd(), 400), DMA_OK);
    AppDevmode app(own, SETTINGS_DEVMODE_SIZE);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(11), 0) << "flag 1324 is 0: dmScale is not taken";
    EXPECT_EQ(outValue(388), 400) << "the private part is taken from the driver's own devmode";
    EXPECT_EQ(outFields() & 0x10, 0u);

    ASSERT_EQ(put(1324, own.dm(), own.pd(), 1), DMA_OK);
    AppDevmode scaled(own, SETTINGS_DEVMODE_SIZE);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), scaled.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(11), 50);
    EXPECT_EQ(outFields() & 0x10, 0x10u);
}

TEST_F(MergeDevmode, IcmFieldsNeedADmSizeOf212)
{
    prepare();
    for (WORD size : {200, 211, 212}) {
        SCOPED_TRACE(size);
        out_ = before_;
        AppDevmode app(size, 0);
        app.setFields(0x1000000 | 0x1);
        app.set16(kOrientation, 2);
        if (size >= 196)
            app.set32(kIcmIntent, 3);
        ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
        EXPECT_EQ(outValue(23), size >= 212 ? 3 : 1);
        EXPECT_EQ(outValue(7), 2);
    }
}

/*
 * A dmSize of 212 passes the header check; with a dmDriverExtra of 1,384 the
 * devmode holds 1,596 bytes, so its private part is copied only up to its
 * end: the output's last 8 bytes keep their values.
 */
TEST_F(MergeDevmode, PrivatePartOfA212ByteDevmodeStopsAtItsEnd)
{
    prepare();
    Records own = before_;
    ASSERT_EQ(put(4, own.dm(), own.pd(), 212), DMA_OK);
    ASSERT_EQ(put(478, own.dm(), own.pd(), 0x1234), DMA_OK); /* bytes 1592-1593 */
    ASSERT_EQ(put(481, own.dm(), own.pd(), 0x4321), DMA_OK); /* bytes 1596-1597: beyond the devmode */
    ASSERT_EQ(put(481, out_.dm(), out_.pd(), 0x5555), DMA_OK);
    AppDevmode app(own, 1596);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(478), 0x1234);
    EXPECT_EQ(outValue(481), 0x5555);
}

TEST_F(MergeDevmode, JobDevmodeIsTheDriversOwn)
{
    prepare();
    Records own = before_;
    ASSERT_EQ(put(5, own.dm(), own.pd(), 5700), DMA_OK);
    ASSERT_EQ(put(388, own.dm(), own.pd(), 25), DMA_OK);
    AppDevmode job(own, 0);
    job.bytes.assign(own.image.begin(), own.image.end());
    job.bytes.resize(5920, 0);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), job.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(388), 25);
    EXPECT_EQ(outValue(5), 1384) << "the public header is not copied";
}

TEST_F(MergeDevmode, ResolutionByTheMappingItem)
{
    prepare("[DME,1]\nresolution.mode=1\n");
    AppDevmode app(220, 0);
    app.setFields(0x400 | 0x2000);
    app.set16(kPrintQuality, 600);
    app.set16(kYResolution, 300);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(20), 600);
    EXPECT_EQ(outValue(21), 600);
    EXPECT_EQ(outFields() & 0x2400, 0x2400u);
}

TEST_F(MergeDevmode, ResolutionThatTheModelKnows)
{
    prepare();
    AppDevmode app(220, 0);
    app.setFields(0x400 | 0x2000);
    app.set16(kPrintQuality, 1200);
    app.set16(kYResolution, 600);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(20), 1200);
    EXPECT_EQ(outValue(21), 600);
    app.set16(kYResolution, 300);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(21), 600) << "1,200 x 300 is not a resolution of the model";
}

/*
 * The same application devmode merged by the traced merge without and with
 * a devmode mapping section (forms merging on in both): with the section the
 * paper source, media type and collation are mapped in the caller's devmode,
 * the colour decides the colour mode, and the media type is copied to 388
 * and 453.
 */
TEST_F(MergeDevmode, WithAndWithoutTheMappingSection)
{
    struct Run {
        const char *cfg;
        LONG source, media, colourMode, scaling, mappedSource, mappedMedia;
    } runs[] = {
        {"[Tarvel_CX_1500]\nCOMMENT=plain\n", 7, 3, 0, 100, 14, 3},
        {"[DME,1]\nbin.WindowsValue=1\ncolor.mode=1\nmedia.merge=1\nmedia.WindowsValue=1\n", 1, 1, 2, 1, 1, 1},
    };
    for (const Run &r : runs) {
        SCOPED_TRACE(r.cfg);
        TearDown();
        SetUp();
        prepare(r.cfg);
        ASSERT_EQ(put(5201, nullptr, out_.pd(), 1), DMA_OK);
        AppDevmode app(220, 0);
        app.setFields(0x200 | 0x800 | 0x2000000 | 0x8000);
        app.set16(kDefaultSource, 14);
        app.set16(kColor, 2);
        app.set32(kMediaType, 3);
        app.set16(kCollate, 1);
        ASSERT_TRUE(FID_MergeDevmodeTraced(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
        EXPECT_EQ(outValue(13), r.source);
        EXPECT_EQ(outValue(24), r.media);
        EXPECT_EQ(outValue(270), r.colourMode);
        EXPECT_EQ(outValue(388), r.scaling);
        EXPECT_EQ(outValue(453), r.scaling == 100 ? 0 : r.scaling);
        EXPECT_EQ(outValue(18), 1);
        EXPECT_EQ(plat::load<WORD>(&app.bytes[kDefaultSource]), r.mappedSource);
        EXPECT_EQ(plat::load<DWORD>(&app.bytes[kMediaType]), DWORD(r.mappedMedia));
    }
}

/* The mapping rewrites a short devmode only within its own bytes. */
TEST_F(MergeDevmode, MappingAShortDevmodeStaysInsideIt)
{
    prepare("[DME,1]\nbin.WindowsValue=1\nmedia.merge=1\n");
    ASSERT_EQ(put(5201, nullptr, out_.pd(), 1), DMA_OK);
    for (WORD size : {156, 188}) {
        AppDevmode app(size, 0);
        app.setFields(0x200);
        app.set16(kDefaultSource, 14);
        ASSERT_TRUE(FID_MergeDevmodeTraced(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith)) << size;
        EXPECT_EQ(plat::load<WORD>(&app.bytes[kDefaultSource]), 1) << size;
        EXPECT_EQ(outValue(13), size >= 188 ? 1 : 7) << size;
    }
}

/* With tracing on, the dumps of a short input stay inside it too. */
TEST_F(MergeDevmode, TracedMergeDumpsInputAndOutput)
{
    prepare();
    writeDriverFile("tarvel.cfg", "[LOG]\nLog=0x8000000F\n");
    LOG_ResetForTest();
    plat::debug_clear();
    AppDevmode app(188, 0);
    app.setFields(0x1);
    app.set16(kOrientation, 2);
    ASSERT_TRUE(FID_MergeDevmodeTraced(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
    EXPECT_EQ(outValue(7), 2);
    const std::string log = u8(plat::debug_output().c_str());
    for (const char *heading : {"Input DEVMODE(Public)", "Input DEVMODE(dmFields)", "Input DEVMODE(Private)",
                                "Output DEVMODE(Public)", "Output DEVMODE(dmFields)", "Output DEVMODE(Private)"})
        EXPECT_NE(log.find(heading), std::string::npos) << heading;
    EXPECT_NE(log.find("dmOrientation      =2"), std::string::npos);
}

TEST_F(MergeDevmode, MalformedValuesAreNotTaken)
{
    prepare();
    AppDevmode app(220, 0);
    app.setFields(0xFFFFFFFF); /* every bit, also those the driver does not know */
    app.set16(kOrientation, 0);
    app.set16(kScale, 0);
    app.set16(kCopies, 0);
    app.set16(kDefaultSource, 0xFFFF);
    app.set16(kDuplex, 0);
    app.set16(kTTOption, 7);
    app.set16(kCollate, 5);
    app.set32(kIcmIntent, 99);
    app.set32(kMediaType, 99);
    app.set16(kPaperSize, 0);
    app.set16(kPaperLength, 0);
    app.set16(kPaperWidth, 0);
    ASSERT_TRUE(FID_MergeDevmode(ctx(), out_.dm(), app.data(), out_.pd(), printer(), kWith));
    for (WORD id : {7, 11, 12, 13, 16, 17, 18, 23, 8, 9, 10})
        EXPECT_EQ(outValue(id), read(id, before_.dm(), before_.pd()).number()) << id;
    /* Media and dither type are not validated before a merge: any value is taken. */
    EXPECT_EQ(outValue(24), 99);
    EXPECT_EQ(outValue(25), 0);
    EXPECT_EQ(outFields() & ~0x781FF13u, 0u) << "only supported fields are set in the output";
}

} // namespace
