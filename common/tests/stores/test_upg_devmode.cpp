/*
 * Tests of the devmode conversion: devmodes of each older layout band
 * written out byte by byte at their old offsets and checked field by field
 * after the lift, the update of later private versions and its rules, the
 * cases that give the defaults, inputs shorter or longer than they say
 * (through exactly sized heap blocks), the extension behind a favourite's
 * devmode, and the DrvConvertDevMode worker and the printer's devmode.
 */
#include "test_upg_support.h"

#include <tarvel/settings/dms_settings.h>
#include <tarvel/stores/pdt_blob.h>

#include "upg_private.h"

#include <plat/spooler.h>

using namespace upg_test;

namespace {

constexpr char16_t kKindPrinter[] = u"Tarvel Kind";
constexpr WORD kSpecVersion = 0x401;

/* An old devmode: the public header, the private and layout versions and the model name, the rest zero. */
std::vector<BYTE> oldDevmode(WORD privateVersion, WORD driverExtra)
{
    std::vector<BYTE> dm(220u + driverExtra, 0);
    plat::store_u16(dm.data(), 64, kSpecVersion);
    plat::store_u16(dm.data(), 66, 0x300);
    plat::store_u16(dm.data(), 68, 220);
    plat::store_u16(dm.data(), 70, driverExtra);
    plat::store_u16(dm.data(), 220, privateVersion);
    plat::store_u16(dm.data(), 222, 0x100);
    putText(dm, 224, u"tarvel cx 1500"); /* the model's name, compared ignoring case */
    return dm;
}

class DevmodeUpgrade : public UpgradeTest {
protected:
    void SetUp() override
    {
        UpgradeTest::SetUp();
        /* the printer's PrinterData, which the conversions read */
        record_ = defaultRecord();
        const std::pair<WORD, DWORD> values[] = {{5135, 3}, {5132, 2},  {5651, 1},  {5652, 1}, {5649, 1},
                                                 {5648, 1}, {5650, 0}, {5653, 11}, {5654, 12}};
        for (const auto &[id, v] : values)
            set(nullptr, record_.data(), id, v);
        storeRecord(printer(), record_);
    }

    /* The settings image of the defaults for the printer. */
    std::vector<BYTE> defaults(ModelContext *context = nullptr, const char16_t *name = kPrinter)
    {
        std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0);
        std::vector<BYTE> pd(SETTINGS_PRINTERDATA_SIZE, 0);
        EXPECT_TRUE(FID_InitDefaults(context ? context : this->context(), image.data(), pd.data(), name));
        return image;
    }

    /* Converts into a whole image's buffer (the devmode part is written). */
    int convert(const std::vector<BYTE> &dm, std::vector<BYTE> &out, ModelContext *context = nullptr,
                const char16_t *name = kPrinter)
    {
        out.assign(SETTINGS_IMAGE_SIZE, 0);
        /* an exactly sized heap block, so that a read past the devmode is caught */
        std::unique_ptr<BYTE[]> block(new BYTE[dm.size()]);
        std::memcpy(block.get(), dm.data(), dm.size());
        return UPG_ConvertDevmode(block.get(), out.data(), name, context ? context : this->context());
    }

    /* The devmode part of the defaults as a later private version of an older layout (4000) wrote it. */
    std::vector<BYTE> laterDevmode(DWORD privateVersion, ModelContext *context = nullptr,
                                   const char16_t *name = kPrinter)
    {
        std::vector<BYTE> dm = defaults(context, name);
        dm.resize(1604);
        set(dm.data(), nullptr, 257, privateVersion);
        set(dm.data(), nullptr, 258, 4000);
        return dm;
    }

    /* The extension stored as the printer's N_Dev. */
    std::vector<BYTE> storedExtension()
    {
        std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0);
        EXPECT_TRUE(PDT_ReadNDev(printer(), context(), PDT_STORE_PRINTER, image.data() + 1604, nullptr, nullptr));
        return image;
    }

    std::vector<BYTE> record_;
};

struct Field {
    WORD id;
    DWORD value;
};

void expectFields(std::vector<BYTE> &image, std::initializer_list<Field> fields)
{
    for (const Field &f : fields)
        EXPECT_EQ(get(image.data(), nullptr, f.id), f.value) << "setting " << f.id;
}

} // namespace

TEST_F(DevmodeUpgrade, LiftFromVersion256FieldByField)
{
    std::vector<BYTE> d = defaults();
    std::vector<BYTE> dm = oldDevmode(256, 788); /* the version-256 fields end at byte 1,008 */
    plat::store_u16(dm.data(), 88, 9);           /* 13, reset */
    plat::store_u32(dm.data(), 304, 1);          /* 1282; makes 18 = 1 */
    plat::store_u16(dm.data(), 308, 3);          /* 264; 295 = 4 */
    plat::store_u16(dm.data(), 310, 258);        /* 265, reset */
    plat::store_u16(dm.data(), 312, 12);         /* 266; 444 = 15 */
    plat::store_u32(dm.data(), 316, 0x10000);    /* 331 = 1 */
    plat::store_u16(dm.data(), 324, 123);        /* 268 = 120 */
    plat::store_u16(dm.data(), 326, 456);        /* 269 = 460 */
    plat::store_u16(dm.data(), 342, 2);          /* 270 = 0 */
    plat::store_u16(dm.data(), 344, 8);          /* 271; 348 = 200 */
    plat::store_u16(dm.data(), 346, 5);          /* 390 = 0 */
    plat::store_u32(dm.data(), 392, 0x00030201); /* the lanes 392-394 */
    putText(dm, 414, u"Old stamp");              /* 1832 */
    plat::store_u32(dm.data(), 672, 1);          /* 1303 */
    plat::store_u32(dm.data(), 944, 0);          /* 1306 */
    plat::store_u32(dm.data(), 952, 1);          /* 1308 */
    plat::store_u32(dm.data(), 956, 1);          /* 1309 */
    plat::store_u32(dm.data(), 964, 0);          /* 1311 */
    plat::store_u16(dm.data(), 968, 5);          /* 291 = 0 */

    std::vector<BYTE> out;
    ASSERT_EQ(convert(dm, out), UPG_CONVERTED);
    expectFields(out, {
        {2, kSpecVersion}, {3, get(d.data(), nullptr, 3)}, {4, 220}, {5, 1384},
        {257, get(d.data(), nullptr, 257)}, {258, 4160},
        {13, get(d.data(), nullptr, 13)}, {18, 1}, {264, 3}, {295, 4}, {265, get(d.data(), nullptr, 265)},
        {266, 12}, {444, 15}, {331, 1}, {268, 120}, {269, 460}, {270, 0}, {271, 8}, {348, 200}, {390, 0},
        {392, 1}, {393, 0x200}, {394, 0x30000}, {1303, 1}, {1308, 1}, {1311, 0}, {454, 1}, {455, 2}, {291, 0},
        {1324, get(d.data(), nullptr, 1324)}, {446, 0},
        {440, 3}, {438, 2},                             /* from the printer's PrinterData */
        {456, 1}, {457, 1}, {1332, 1}, {1333, 1}, {1334, 0},
    });
    EXPECT_EQ(text(out.data(), nullptr, 259), u"tarvel cx 1500");
    /* settings of the extension travel in the printer's N_Dev */
    std::vector<BYTE> ext = storedExtension();
    EXPECT_EQ(text(ext.data(), nullptr, 1832), u"Old stamp");
    expectFields(ext, {{1859, 11}, {1860, 12}});
}

TEST_F(DevmodeUpgrade, LiftFromVersion16388TakesEverySubTable)
{
    std::vector<BYTE> dm = oldDevmode(16388, 4700); /* the fields end at byte 4,920 */
    plat::store_u32(dm.data(), 1224, 0x12345678);   /* 301, first in 8192 */
    plat::store_u16(dm.data(), 1344, 7);            /* 322, 12288 */
    putText(dm, 1374, u"Form");                     /* 329, 12288 */
    plat::store_u32(dm.data(), 1348, 1);            /* 1290, 12288; 446 = 2 */
    plat::store_u16(dm.data(), 1352, 30);           /* 323, 12288; cut to 20 */
    plat::store_u16(dm.data(), 1758, 2);            /* 339, 12290 */
    dm[1800] = 1;                                   /* 346, 16384 */
    putText(dm, 1802, u"Text");                     /* 1831, 16384 */
    plat::store_u16(dm.data(), 1860, 5);            /* 349, 16385 */
    plat::store_u16(dm.data(), 1870, 3);            /* 350, 16386 */
    plat::store_u16(dm.data(), 1992, 9);            /* 404, 16387 */
    plat::store_u16(dm.data(), 2052, 4);            /* 1853, last of 16387 */
    putText(dm, 2062, u"Folder");                   /* 1795, 16388 */
    plat::store_u16(dm.data(), 4918, 1);            /* 387, last of 16388 */
    plat::store_u16(dm.data(), 312, 19);            /* 266; 444 = 1 */

    std::vector<BYTE> d = defaults(), out;
    ASSERT_EQ(convert(dm, out), UPG_CONVERTED);
    expectFields(out, {{301, 0x12345678}, {322, 7}, {339, 2}, {346, 1}, {349, 5}, {350, 3}, {404, 9}, {387, 1},
                       {446, 2}, {323, 20}, {444, 1}, {1324, get(d.data(), nullptr, 1324)}});
    EXPECT_EQ(text(out.data(), nullptr, 329), u"Form");
    std::vector<BYTE> ext = storedExtension();
    expectFields(ext, {{1853, 4}});
    EXPECT_EQ(text(ext.data(), nullptr, 1831), u"Text");
    EXPECT_EQ(text(ext.data(), nullptr, 1795), u"Folder");
}

TEST_F(DevmodeUpgrade, LiftFromTheSecondBand)
{
    std::vector<BYTE> dm = oldDevmode(20480, 2396); /* the 20480 fields end at byte 2,615 */
    plat::store_u32(dm.data(), 288, 0x200);         /* 260; bit 9 gives 446 = 2 */
    plat::store_u16(dm.data(), 304, 2);             /* 266; 444 = 3 */
    plat::store_u16(dm.data(), 321, 0x0102);        /* 272, at an odd offset; a byte now */
    plat::store_u16(dm.data(), 1203, 25);           /* 323; cut to 20 */
    dm[2608] = 1;                                   /* 437 */
    std::vector<BYTE> out;
    ASSERT_EQ(convert(dm, out), UPG_CONVERTED);
    expectFields(out, {{260, 0x200}, {266, 2}, {444, 3}, {272, 2}, {323, 20}, {437, 1}, {446, 2}, {440, 3}});

    std::vector<BYTE> later = oldDevmode(20482, 2407); /* 20482 adds 444-450 at 2,620-2,626 */
    later[2620] = 7;
    later[2622] = 1;
    plat::store_u16(later.data(), 304, 2);
    ASSERT_EQ(convert(later, out), UPG_CONVERTED);
    expectFields(out, {{444, 7}, {446, 1}}) /* no rule for these from 20482 on */;
}

TEST_F(DevmodeUpgrade, CasesThatGiveTheDefaults)
{
    std::vector<BYTE> d = defaults(), out;
    std::vector<BYTE> expected(d.begin(), d.begin() + 1604);
    auto devmodePart = [](const std::vector<BYTE> &v) { return std::vector<BYTE>(v.begin(), v.begin() + 1604); };

    std::vector<BYTE> oldRes = oldDevmode(12290, 1572); /* byte 344 holds 3: no resolution of its own */
    plat::store_u16(oldRes.data(), 344, 3);
    EXPECT_EQ(convert(oldRes, out), UPG_DEFAULTS);
    EXPECT_EQ(devmodePart(out), expected);

    std::vector<BYTE> current(d.begin(), d.begin() + 1604);
    std::vector<BYTE> shortExtra = current;
    plat::store_u16(shortExtra.data(), 70, 68);
    shortExtra.resize(220 + 68);
    EXPECT_EQ(convert(shortExtra, out), UPG_DEFAULTS);
    EXPECT_EQ(devmodePart(out), expected);

    std::vector<BYTE> other = current;
    setText(other.data(), nullptr, 259, u"Another Model");
    EXPECT_EQ(convert(other, out), UPG_DEFAULTS);

    std::vector<BYTE> newer = current;
    set(newer.data(), nullptr, 258, 4161);
    EXPECT_EQ(convert(newer, out), UPG_DEFAULTS);

    std::vector<BYTE> samePrivateLayoutOtherVersion = current;
    set(samePrivateLayoutOtherVersion.data(), nullptr, 257, 21000);
    EXPECT_EQ(convert(samePrivateLayoutOtherVersion, out), UPG_DEFAULTS);

    std::vector<BYTE> unknownOld = oldDevmode(17000, 1384); /* in neither band */
    EXPECT_EQ(convert(unknownOld, out), UPG_DEFAULTS);

    std::vector<BYTE> largerExtra = current; /* private part larger than the current one: not all fits */
    set(largerExtra.data(), nullptr, 257, 20483);
    set(largerExtra.data(), nullptr, 258, 4000);
    plat::store_u16(largerExtra.data(), 70, 1500);
    largerExtra.resize(1720, 0);
    EXPECT_EQ(convert(largerExtra, out), UPG_DEFAULTS);

    std::vector<BYTE> mine = current;
    set(mine.data(), nullptr, 345, 1);
    EXPECT_EQ(convert(mine, out), UPG_COPIED);
    EXPECT_EQ(devmodePart(out), mine);
}

TEST_F(DevmodeUpgrade, UpdateOfALaterPrivateVersion)
{
    std::vector<BYTE> dm = laterDevmode(20483);
    set(dm.data(), nullptr, 1308, 1);
    set(dm.data(), nullptr, 1311, 1);
    set(dm.data(), nullptr, 345, 1);
    std::vector<BYTE> out;
    ASSERT_EQ(convert(dm, out), UPG_CONVERTED);
    expectFields(out, {{257, 21048}, {258, 4160}, {454, 3}, {345, 1}, {456, 1}, {1332, 1}});
    std::vector<BYTE> ext = storedExtension();
    expectFields(ext, {{1859, 11}, {1860, 12}});

    /* Capability bit 45: a binding of 2 with 1328 set becomes the model's own finishing. */
    KindPrinter k = kindPrinter(0x30, kKindPrinter, true);
    std::vector<BYTE> kd = defaults(k.model(), kKindPrinter);
    kd.resize(1604);
    set(kd.data(), nullptr, 257, 20543);
    set(kd.data(), nullptr, 258, 4000);
    set(kd.data(), nullptr, 321, 2);
    set(kd.data(), nullptr, 1328, 1);
    ASSERT_EQ(convert(kd, out, k.model(), kKindPrinter), UPG_CONVERTED);
    expectFields(out, {{1328, 0}, {320, 11}, {448, 5}, {465, 2}});
    set(kd.data(), nullptr, 321, 1);
    set(kd.data(), nullptr, 320, 3);
    ASSERT_EQ(convert(kd, out, k.model(), kKindPrinter), UPG_CONVERTED);
    expectFields(out, {{1328, 0}, {320, 3}});
    set(kd.data(), nullptr, 257, 20544); /* from 20544 on the binding is left alone */
    set(kd.data(), nullptr, 321, 2);
    ASSERT_EQ(convert(kd, out, k.model(), kKindPrinter), UPG_CONVERTED);
    expectFields(out, {{1328, 1}, {320, 3}});
}

TEST(OlderLayouts, EveryVersionAddsItsFieldsInOrder)
{
    /* fields each private version added: {first version, count} per band */
    const std::vector<std::pair<WORD, WORD>> band1 = {{256, 100},  {8192, 16},  {12288, 17}, {12290, 16},
                                                      {16384, 3},  {16385, 1},  {16386, 2},  {16387, 31},
                                                      {16388, 63}, {16389, 2},  {16390, 0},  {16391, 0}};
    const std::vector<std::pair<WORD, WORD>> band2 = {{20480, 182}, {20481, 0}, {20482, 7}};
    size_t rows = 0;
    for (int b = 0; b < UPG_BAND_COUNT; ++b) {
        const UpgBand &band = UpgOldLayoutBands[b];
        const auto &want = b == 0 ? band1 : band2;
        ASSERT_EQ(band.count, want.size());
        for (WORD t = 0; t < band.count; ++t) {
            EXPECT_EQ(band.tables[t].firstVersion, want[t].first);
            EXPECT_EQ(band.tables[t].count, want[t].second) << want[t].first;
            for (WORD r = 0; r < band.tables[t].count; ++r) {
                const UpgLayoutRow &row = band.tables[t].rows[r];
                const IdLayoutItem *item = nullptr;
                ASSERT_EQ(LAYOUT_FindItem(row.id, nullptr, &item), 0) << row.id;
                EXPECT_TRUE(row.type == item->storedType || row.type == item->reportedType) << row.id;
                if (row.type == SVT_WSTRING || row.type == SVT_LOGFONT) {
                    EXPECT_LE(row.size, item->capacity) << row.id;
                }
                ++rows;
            }
        }
    }
    EXPECT_EQ(rows, 440u);
    EXPECT_EQ(upg_FindBand(255), nullptr);
    EXPECT_EQ(upg_FindBand(16392), nullptr);
    EXPECT_EQ(upg_FindBand(20479), nullptr);
    EXPECT_EQ(upg_FindBand(20483), nullptr);
    EXPECT_EQ(upg_FindBand(20482), &UpgOldLayoutBands[1]);
}

TEST_F(DevmodeUpgrade, AFavouritesDevmodeIsReadNoFurtherThanItsSize)
{
    /* Says 4,920 bytes, holds 1,000: fields past the end keep their defaults. */
    std::vector<BYTE> d = defaults();
    std::vector<BYTE> dm = oldDevmode(16388, 4700);
    plat::store_u16(dm.data(), 342, 1);  /* 270 */
    plat::store_u32(dm.data(), 1224, 7); /* 301, past the end */
    dm.resize(1000);
    std::unique_ptr<BYTE[]> block(new BYTE[dm.size()]);
    std::memcpy(block.get(), dm.data(), dm.size());
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0xEE);
    ASSERT_EQ(UPG_ConvertDevmodeForPrinter(printer(), block.get(), DWORD(dm.size()), image.data()), UPG_CONVERTED);
    expectFields(image, {{270, 1}, {301, get(d.data(), nullptr, 301)}, {1793, get(d.data(), nullptr, 1793)}});
    EXPECT_TRUE(std::equal(image.begin() + 1604, image.end(), d.begin() + 1604)) << "the default extension";

    /* This driver's devmode with 5,000 bytes behind it: the extension takes the first 4,292. */
    std::vector<BYTE> big(d.begin(), d.begin() + 1604);
    for (int i = 0; i < 5000; ++i)
        big.push_back(BYTE(i * 13));
    std::unique_ptr<BYTE[]> bigBlock(new BYTE[big.size()]);
    std::memcpy(bigBlock.get(), big.data(), big.size());
    ASSERT_EQ(UPG_ConvertDevmodeForPrinter(printer(), bigBlock.get(), DWORD(big.size()), image.data()), UPG_COPIED);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), big.begin()));

    /* ... with 100 bytes behind it: those, then the defaults. */
    std::vector<BYTE> small(big.begin(), big.begin() + 1704);
    std::unique_ptr<BYTE[]> smallBlock(new BYTE[small.size()]);
    std::memcpy(smallBlock.get(), small.data(), small.size());
    ASSERT_EQ(UPG_ConvertDevmodeForPrinter(printer(), smallBlock.get(), DWORD(small.size()), image.data()),
              UPG_COPIED);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 1704, small.begin()));
    EXPECT_TRUE(std::equal(image.begin() + 1704, image.end(), d.begin() + 1704));

    /* A converted devmode: the bytes behind it over the default extension, its version word reset. */
    std::vector<BYTE> updated(d.begin(), d.begin() + 1604);
    set(updated.data(), nullptr, 257, 20483);
    set(updated.data(), nullptr, 258, 4000);
    std::vector<BYTE> behind(300, 0x5A);
    updated.insert(updated.end(), behind.begin(), behind.end());
    ASSERT_EQ(UPG_ConvertDevmodeForPrinter(printer(), updated.data(), DWORD(updated.size()), image.data()),
              UPG_CONVERTED);
    EXPECT_EQ(get(image.data(), nullptr, 1793), get(d.data(), nullptr, 1793));
    EXPECT_EQ(image[1604 + 100], 0x5A);
    EXPECT_EQ(image[1604 + 299], 0x5A);
    EXPECT_TRUE(std::equal(image.begin() + 1904, image.end(), d.begin() + 1904));
}

TEST_F(DevmodeUpgrade, TheConvertDevModeWorker)
{
    std::vector<BYTE> d = defaults();
    std::vector<BYTE> out(1604, 0);
    LONG size = 1604;
    EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), d.data(), out.data(), &size, CDM_CONVERT), 2);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), d.begin()));

    std::vector<BYTE> foreign(d.begin(), d.begin() + 1604);
    plat::store_u16(foreign.data(), 70, 0);
    EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), foreign.data(), out.data(), &size, CDM_CONVERT), 3);

    std::vector<BYTE> old = oldDevmode(16388, 4700);
    EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), old.data(), out.data(), &size, CDM_CONVERT), 1);

    std::fill(out.begin(), out.end(), 0);
    EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), nullptr, out.data(), &size, CDM_DRIVER_DEFAULT), 3);
    EXPECT_EQ(text(out.data(), nullptr, 1), kPrinter);
    EXPECT_EQ(get(out.data(), nullptr, 258), 4160u);
    EXPECT_EQ(DMS_ConvertDevMode(u"No Such Printer", context(), nullptr, out.data(), &size, CDM_DRIVER_DEFAULT),
              -2);
    EXPECT_EQ(get(out.data(), nullptr, 258), 4160u) << "the defaults are written all the same";
}

TEST_F(DevmodeUpgrade, ThePrintersDevmode)
{
    std::vector<BYTE> out(1604, 0);
    LONG size = 1604;
    int success = 0;
    auto *info = DMS_GetPrinterDevmode(printer(), context(), out.data(), &size, &success);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(success, 1);
    EXPECT_EQ(static_cast<void *>(info->pDevMode), static_cast<void *>(out.data()));
    EXPECT_EQ(std::u16string(info->pPrinterName), kPrinter);
    EXPECT_EQ(text(out.data(), nullptr, 1), kPrinter) << "no devmode stored: the defaults for its name";
    GlobalFree(info);

    /* A stored devmode of this driver is handed out as it is. */
    std::vector<BYTE> mine = defaults();
    set(mine.data(), nullptr, 345, 1);
    DWORD needed = 0;
    GetPrinterW(printer(), 2, nullptr, 0, &needed);
    std::vector<BYTE> pi(needed);
    ASSERT_TRUE(GetPrinterW(printer(), 2, pi.data(), needed, &needed));
    reinterpret_cast<PRINTER_INFO_2W *>(pi.data())->pDevMode = reinterpret_cast<DEVMODEW *>(mine.data());
    ASSERT_TRUE(SetPrinterW(printer(), 2, pi.data(), 0));
    info = DMS_GetPrinterDevmode(printer(), context(), out.data(), &size, &success);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(get(out.data(), nullptr, 345), 1u);
    GlobalFree(info);

    size = 1000;
    EXPECT_EQ(DMS_GetPrinterDevmode(printer(), context(), out.data(), &size, &success), nullptr);
    EXPECT_EQ(success, 0);
    EXPECT_EQ(size, 1604);
}

TEST_F(DevmodeUpgrade, RulesOfTheUpdateByPrivateVersionAndFamily)
{
    struct Case {
        DWORD version;
        DWORD out454, out456;
    };
    /* 1308 set, 1311 clear: 454 = 1, and 456 takes 5651 (1) of the printer's PrinterData, up to 20484 */
    for (const Case &c : {Case{20484, 1, 1}, Case{20485, 0, 0}}) {
        SCOPED_TRACE(c.version);
        std::vector<BYTE> dm = laterDevmode(c.version);
        set(dm.data(), nullptr, 1308, 1);
        set(dm.data(), nullptr, 1311, 0);
        set(dm.data(), nullptr, 454, 0);
        set(dm.data(), nullptr, 456, 0);
        std::vector<BYTE> out;
        ASSERT_EQ(convert(dm, out), UPG_CONVERTED);
        expectFields(out, {{454, c.out454}, {456, c.out456}, {257, 21048}});
    }

    /* Family 0x20 takes the default of 271; a 350 of 0 takes its default. */
    KindPrinter k = kindPrinter(0x20, kKindPrinter);
    std::vector<BYTE> kd = defaults(k.model(), kKindPrinter);
    std::vector<BYTE> dm = laterDevmode(20600, k.model(), kKindPrinter);
    set(dm.data(), nullptr, 271, get(kd.data(), nullptr, 271) + 1);
    set(dm.data(), nullptr, 350, 0);
    std::vector<BYTE> out;
    ASSERT_EQ(convert(dm, out, k.model(), kKindPrinter), UPG_CONVERTED);
    expectFields(out, {{271, get(kd.data(), nullptr, 271)}, {350, get(kd.data(), nullptr, 350)}});

    std::vector<BYTE> d = defaults();
    std::vector<BYTE> mine = laterDevmode(20600);
    set(mine.data(), nullptr, 271, get(d.data(), nullptr, 271) + 1);
    set(mine.data(), nullptr, 350, 2);
    ASSERT_EQ(convert(mine, out), UPG_CONVERTED);
    expectFields(out, {{271, get(d.data(), nullptr, 271) + 1}, {350, 2}});
}

TEST_F(DevmodeUpgrade, AFavouritesDevmodeCutShortGivesTheDefaults)
{
    std::vector<BYTE> d = defaults();
    std::vector<BYTE> image(SETTINGS_IMAGE_SIZE, 0xEE);
    auto convertCut = [&](const std::vector<BYTE> &dm, DWORD total) {
        std::unique_ptr<BYTE[]> block(new BYTE[total]);
        std::memcpy(block.get(), dm.data(), total);
        std::fill(image.begin(), image.end(), BYTE(0xEE));
        return UPG_ConvertDevmodeForPrinter(printer(), block.get(), total, image.data());
    };

    /* Too short to hold dmSize and dmDriverExtra. */
    std::vector<BYTE> current(d.begin(), d.begin() + 1604);
    EXPECT_EQ(convertCut(current, 60), UPG_DEFAULTS);
    EXPECT_EQ(image, d);

    /* This driver's devmode without the end of its private part: not copied. */
    EXPECT_EQ(convertCut(current, 1000), UPG_DEFAULTS);
    EXPECT_EQ(image, d);

    /* A later private version without all of its bytes: not updated. */
    std::vector<BYTE> later = laterDevmode(20483);
    EXPECT_EQ(convertCut(later, 1000), UPG_DEFAULTS);
    EXPECT_EQ(image, d);
}

TEST_F(DevmodeUpgrade, TheConvertDevModeWorkersArgumentsAndModes)
{
    std::vector<BYTE> d = defaults();
    std::vector<BYTE> out(1604, 0);
    LONG size = 1604;

    SetLastError(0);
    EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), d.data(), out.data(), nullptr, CDM_CONVERT), -2);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(DMS_ConvertDevMode(kPrinter, nullptr, d.data(), out.data(), &size, CDM_CONVERT), -2);

    for (DWORD mode : {CDM_CONVERT351, DWORD(0), DWORD(3), DWORD(8)}) {
        size = 10;
        EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), d.data(), out.data(), &size, mode), -2) << mode;
        EXPECT_EQ(size, 10) << "another mode writes no size";
    }

    for (DWORD mode : {CDM_CONVERT, CDM_DRIVER_DEFAULT}) {
        SetLastError(0);
        size = 1603;
        EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), d.data(), out.data(), &size, mode), -1) << mode;
        EXPECT_EQ(size, 1604);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        size = 5000;
        EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), d.data(), nullptr, &size, mode), -2) << mode;
        EXPECT_EQ(size, 1604) << "the size is written before the buffers are checked";
    }
    size = 1604;
    EXPECT_EQ(DMS_ConvertDevMode(kPrinter, context(), nullptr, out.data(), &size, CDM_CONVERT), -2);
}

TEST_F(DevmodeUpgrade, TheSecondBandsByteOf323IsCutTo20)
{
    /* 323 is the byte at 1,203 in the second band; 324 follows at 1,204. */
    struct Case {
        WORD version;
        BYTE old323;
        WORD old324;
        DWORD out323;
    };
    const Case cases[] = {
        {20480, 5, 30, 5}, {20481, 3, 0x0101, 3}, {20480, 20, 30, 20}, {20480, 21, 30, 20}, {20481, 200, 0, 20},
        {20482, 25, 30, 25}, /* from 20482 on it is left alone */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.version << ": " << int(c.old323) << ", " << c.old324);
        std::vector<BYTE> dm = oldDevmode(c.version, 2407);
        dm[1203] = c.old323;
        plat::store_u16(dm.data(), 1204, c.old324);
        std::vector<BYTE> out;
        ASSERT_EQ(convert(dm, out), UPG_CONVERTED);
        expectFields(out, {{323, c.out323}, {324, c.old324}});
    }
}
