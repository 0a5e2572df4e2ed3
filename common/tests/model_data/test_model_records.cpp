/*
 * Round trips of every record kind: a model with one record of each kind,
 * distinctive values in every field, is written with the model data writer
 * at each format version just below and at each gate, then read back field
 * by field in full and partial parse mode.  The accessors' gates follow the
 * process-wide format version.
 */
#include "test_model_support.h"

#include <tuple>

using namespace model_test;
using namespace mw;

namespace {

Condition cond(WORD id, BYTE op, Value v, BYTE connector)
{
    return Condition{Setting{0, op, id, std::move(v)}, connector};
}

mw::Model kindsModel(DWORD v)
{
    mw::Model m = emptyModel(v);
    m.main.entries[1] = eU16(5);
    m.main.entries[40] = eU16(0);
    m.add(encode(Dimensions{1, 10, 20, 30, 40}, v));
    m.add(encode(Dimensions{2, 50, 60, 70, 80}, v));
    m.add(encode(Dimensions{3, 1, 2, 3, 4}, v));
    m.add(encode(Dimensions{4, 5, 6, 7, 8}, v));
    m.add(encode(Paper{9, stored("A4"), 7, 1, 2, 3, 0x22, 0x33, 0x44, 4, 0x55}, v));
    m.add(encode(DDD_KIND_TRAY, Tray{7, stored("Tray"), 2, 0x66, {9, 1}, {3, 2}, 0x77, stored("T2")}, v));
    m.add(encode(DDD_KIND_TRAY2, Tray{1, stored("Out"), 1, 1, {}, {}, 0, noText()}, v));
    Bytes flags{0x00, 0x05, 0x00};
    m.add(encode(ValueArray{50, 0x1234, DDD_VT_FLAG, 1, 3, flags}, v));
    Rule rule{1, Setting{5, 1, 16, vShort(-2)}, 0x4102, stored("R"), {cond(7, 2, vArrayRef(1), 4)},
              {Setting{1, 0, 16, vShort(1)}, Setting{2, 0, 18, vString(stored("x"))}}};
    m.add(encode(DDD_KIND_RULE, rule, v));
    Rule reverse{1, Setting{0, 2, 4103, vFlag(false)}, 2, noText(), {}, {}};
    m.add(encode(DDD_KIND_REVERSE_RULE, reverse, v));
    m.add(encode(Picture{3, {cond(4103, 1, vFlag(true), 1)}, 11, 12, 5}, v));
    m.add(encode(Image{5, 2, 0x101, 0x202, {1, 2, 3}, {9, 8, 7, 6}}, v));
    DeviceFont font;
    font.id = 2;
    font.name = stored("Courier");
    font.secondText = stored("Second");
    font.aliases = {stored("A"), stored("BB")};
    font.skipped = {1};
    font.metrics = {1, 2, 3, 4, 5};
    font.attribute = 0x88;
    font.items = {vByte(3), vString(stored("s"))};
    m.add(encode(font, v), true);
    Option option{1, stored("Opt"), DDD_KIND_PAPER, 9, 0x99, {1}, {1}, vULong(0xDEADBEEF), 6};
    m.add(encode(DDD_KIND_DOCUMENT_OPTION, option, v));
    m.add(encode(DDD_KIND_DEVICE_OPTION, Option{1, stored("DevOpt"), 0, 0, 0, {}, {}, vFlag(true), 0}, v));
    Feature feature{16, stored("Feat"), 3, 1, 0x1111, {1}, {1}, {1}, 6, stored("F2")};
    m.add(encode(DDD_KIND_DOCUMENT_FEATURE, feature, v));
    m.add(encode(DDD_KIND_DEVICE_FEATURE, Feature{4103, stored("Dev"), 2, 1, 0, {1}, {}, {}, 0, noText()}, v));
    m.add(encode(JobLine{1, 20, {cond(16, 2, vShort(1), 6)}, stored("@PJL X="), stored("Y"), 0xA1}, v));
    m.add(encode(DataBlock{1, {}, 1, 2, {5, 6, 7}}, v), true);
    m.add(encode(OptionImage{6, {0xAB, 0xCD}}, v));
    if (v >= DDD_GATE_512)
        m.add(encode(FlagRecord{1, stored("Plain"), 1, stored("PLAIN")}, v));
    m.add(encode(Preset{1, stored("P"), {{16, vShort(2)}, {18, vFlag(false)}}}, v));
    m.add(encode(DeviceConfig{1, 3, 4355, DDD_VT_FLAG, 1, 5, 0xB1, 2, {stored("OFF"), stored("ON")},
                              {vByte(0), vByte(1)}},
                 v));
    m.add(encode(TripleTable{1, {cond(13, 1, vShort(7), 1)}, {{1, 2, 3}, {4, 5, 6}}}, v));
    return m;
}

class RecordRoundTrip : public ModelTest, public ::testing::WithParamInterface<std::tuple<DWORD, int>> {
protected:
    DWORD v() const { return std::get<0>(GetParam()); }
    int mode() const { return std::get<1>(GetParam()); }
    bool full() const { return mode() == DDD_PARSE_FULL; }

    void SetUp() override
    {
        ModelTest::SetUp();
        ASSERT_EQ(openModel(p_, kindsModel(v())), DDD_OK);
    }
    void TearDown() override
    {
        for (ModelRecord *&r : held_)
            DDD_FreeRecord(&r, -1);
        DDD_CloseFiles(&p_.main, &p_.companion);
        EXPECT_EQ(mdl_LiveBlocks(), liveAtStart_);
        ModelTest::TearDown();
    }
    template <typename T>
    const T *fetch(WORD kind, WORD id, WORD selector = DDD_SEL_MAIN)
    {
        ModelRecord *rec = nullptr;
        EXPECT_EQ(DDD_FetchRecord(mode(), &p_.main, &p_.companion, kind, id, 0, &rec), DDD_OK) << kind;
        if (!rec)
            return nullptr;
        held_.push_back(rec);
        EXPECT_EQ(rec->kind, kind);
        EXPECT_EQ(rec->id, id);
        EXPECT_EQ(rec->fileSelector, selector);
        EXPECT_EQ(rec->reader, selector == DDD_SEL_MAIN ? &p_.main : &p_.companion);
        return reinterpret_cast<const T *>(rec);
    }
    ReaderPair p_;
    std::vector<ModelRecord *> held_;
};

TEST_P(RecordRoundTrip, FeaturesAndOptions)
{
    const auto *f = fetch<DddFeatureRecord>(DDD_KIND_DOCUMENT_FEATURE, 16);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(u8(f->name.text), "Feat");
    EXPECT_EQ(f->name.length, 10u);
    EXPECT_EQ(f->uiKind, 3);
    EXPECT_EQ(f->defaultOption, 1);
    EXPECT_EQ(f->value.value, 0x1111);
    EXPECT_EQ(f->value.head.kind, DDD_ITEM_WORD);
    ASSERT_EQ(f->options.count, 1);
    EXPECT_EQ(f->options.items[0].value, 1);
    EXPECT_EQ(f->options.items[0].head.kind, DDD_ITEM_WORD);
    EXPECT_EQ(f->options.items[0].head.reader, &p_.main);
    ASSERT_EQ(f->forwardRules.count, 1);
    ASSERT_EQ(f->reverseRules.count, 1);
    EXPECT_EQ(f->optionImage.value, 6);
    EXPECT_EQ(u8(f->secondText.text), v() >= 1024 ? "F2" : "<null>");
    EXPECT_EQ(u8(DDD_GetRecordName(&f->head)), "Feat");

    const auto *o = fetch<DddOptionRecord>(DDD_KIND_DOCUMENT_OPTION, 1);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(u8(o->name.text), "Opt");
    EXPECT_EQ(o->targetKind, DDD_KIND_PAPER);
    EXPECT_EQ(o->target.value, 9);
    EXPECT_EQ(o->value.value, full() ? 0x99 : 0);
    EXPECT_EQ(o->forwardRules.count, full() ? 1 : 0);
    EXPECT_EQ(o->reverseRules.count, full() ? 1 : 0);
    EXPECT_EQ(o->setting.type, DDD_VT_ULONG);
    EXPECT_EQ(plat::load<DWORD>(o->setting.data), 0xDEADBEEFu);
    EXPECT_EQ(o->optionImage.value, 6);

    /* The same option by position in the feature, by default, and its target and image. */
    ModelRecord *opt = nullptr;
    WORD kind = 0;
    ASSERT_EQ(DDD_GetFeatureOption(mode(), FALSE, &p_.main, &p_.companion, &f->head, 1, &kind, &opt), DDD_OK);
    held_.push_back(opt);
    EXPECT_EQ(kind, DDD_KIND_DOCUMENT_OPTION);
    EXPECT_EQ(opt->id, 1);
    ModelRecord *def = nullptr;
    ASSERT_EQ(DDD_GetFeatureOption(mode(), TRUE, &p_.main, &p_.companion, &f->head, 0, &kind, &def), DDD_OK);
    held_.push_back(def);
    EXPECT_EQ(DDD_GetFeatureOption(mode(), FALSE, &p_.main, &p_.companion, &f->head, 2, &kind, &opt),
              DDD_ERR_NOT_FOUND);
    ModelRecord *target = nullptr;
    ASSERT_EQ(DDD_GetOptionTarget(mode(), &p_.main, &p_.companion, &o->head, &kind, &target), DDD_OK);
    held_.push_back(target);
    EXPECT_EQ(kind, DDD_KIND_PAPER);
    EXPECT_EQ(target->id, 9);
    DddImageBlob *blob = nullptr;
    ASSERT_EQ(DDD_GetOptionImage(&p_.main, &p_.companion, &o->head, &blob), DDD_OK);
    EXPECT_EQ(blob->head.kind, DDD_ITEM_IMAGE_BLOB);
    ASSERT_EQ(blob->length, 2);
    EXPECT_EQ(blob->data[0], 0xAB);
    EXPECT_EQ(DDD_FreeRecord(&blob, DDD_ITEM_IMAGE_BLOB), DDD_OK);

    LPWSTR name = nullptr;
    ASSERT_EQ(DDD_GetRecordOrOptionName(&p_.main, &p_.companion, DDD_KIND_DOCUMENT_FEATURE, 16, 1, &name), DDD_OK);
    EXPECT_EQ(u8(name), "Opt");
    DDD_FreeRecord(&name, 0);

    const auto *devOpt = fetch<DddOptionRecord>(DDD_KIND_DEVICE_OPTION, 1);
    ASSERT_NE(devOpt, nullptr);
    EXPECT_EQ(devOpt->setting.type, DDD_VT_FLAG);
    EXPECT_EQ(devOpt->setting.length, 4u);
    EXPECT_EQ(plat::load<DWORD>(devOpt->setting.data), 1u);
    EXPECT_EQ(DDD_GetOptionImage(&p_.main, &p_.companion, &devOpt->head, &blob), DDD_ERR_NOT_FOUND);
}

TEST_P(RecordRoundTrip, PapersTraysAndDimensions)
{
    const auto *paper = fetch<DddPaperRecord>(DDD_KIND_PAPER, 9);
    ASSERT_NE(paper, nullptr);
    bool g512 = v() >= 512, g1280 = v() >= 1280;
    EXPECT_EQ(u8(paper->name.text), "A4");
    EXPECT_EQ(paper->value8, 7);
    EXPECT_EQ(paper->mediaCode, 0x22);
    EXPECT_EQ(paper->value2, 0x33);
    EXPECT_EQ(paper->extraByte, g512 ? 0x44 : 0);
    EXPECT_EQ(paper->fourthId, g512 ? 4 : 0);
    EXPECT_EQ(paper->attribute, g1280 ? 0x55 : 0);
    EXPECT_EQ(DDD_PaperSize(&paper->head)->first, 10);
    EXPECT_EQ(DDD_PaperSize(&paper->head)->second, 20);
    EXPECT_EQ(DDD_PaperSizeAlt(&paper->head)->first, 30);
    EXPECT_EQ(DDD_PaperMinExtent(&paper->head)->second, 60);
    EXPECT_EQ(DDD_PaperMaxExtent(&paper->head)->first, 70);
    DddPair a{}, b{};
    ASSERT_EQ(DDD_PaperMargins(&paper->head, &a, &b), DDD_OK);
    EXPECT_EQ(a.first, 1);
    EXPECT_EQ(b.second, 4);
    EXPECT_EQ(DDD_PaperMediaCode(&paper->head), 0x22);
    BYTE value = 0;
    EXPECT_EQ(DDD_PaperSizePairs(&paper->head, &value, &a, &b), g512 ? DDD_OK : DDD_ERR_FAIL);
    if (g512) {
        EXPECT_EQ(value, 0x44);
        EXPECT_EQ(a.first, 5);
        EXPECT_EQ(b.second, 8);
    }
    WORD attribute = 0;
    EXPECT_EQ(DDD_GetRecordAttribute(&paper->head, &attribute), g1280 ? DDD_OK : DDD_ERR_FAIL);

    const auto *tray = fetch<DddTrayRecord>(DDD_KIND_TRAY, 7);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(u8(tray->name.text), "Tray");
    EXPECT_EQ(tray->dimensionId, 2);
    EXPECT_EQ(DDD_GetDimPairA(&tray->head)->first, 50);
    EXPECT_EQ(DDD_GetDimPairB(&tray->head)->second, 80);
    WORD w = 0;
    ASSERT_EQ(DDD_TrayMediaSource(&tray->head, &w), DDD_OK);
    EXPECT_EQ(w, 0x66);
    ASSERT_EQ(DDD_GetListEntry(&tray->head, 1, &w), DDD_OK);
    EXPECT_EQ(w, 9);
    ASSERT_EQ(DDD_GetListEntryId(&tray->head, 2, &w), DDD_OK);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(DDD_GetListEntry(&tray->head, 3, &w), DDD_ERR_NOT_FOUND);
    EXPECT_EQ(DDD_TrayExtraByte(&tray->head, &value), g512 ? DDD_OK : DDD_ERR_FAIL);
    EXPECT_EQ(tray->extraByte, g512 ? 0x77 : 0);
    EXPECT_EQ(u8(tray->secondText.text), v() >= 1024 ? "T2" : "<null>");

    const auto *out = fetch<DddTrayRecord>(DDD_KIND_TRAY2, 1);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(DDD_TrayMediaSource(&out->head, &w), DDD_ERR_FAIL); /* kind 5 only */
    EXPECT_EQ(out->paperCodes.count, 0);

    DddPair first{}, second{};
    ASSERT_EQ(DDD_GetDimensionPairs(&p_.main, &p_.companion, 3, &first, &second), DDD_OK);
    EXPECT_EQ(first.second, 2);
    EXPECT_EQ(second.first, 3);
    EXPECT_EQ(DDD_GetDimensionPairs(&p_.main, &p_.companion, 99, &first, &second), DDD_ERR_NOT_FOUND);
}

TEST_P(RecordRoundTrip, RulesConditionsAndValueArrays)
{
    const auto *rule = fetch<DddRuleRecord>(DDD_KIND_RULE, 1);
    ASSERT_NE(rule, nullptr);
    EXPECT_EQ(rule->condition.number, 5);
    EXPECT_EQ(rule->condition.op, 1);
    EXPECT_EQ(rule->condition.settingId, 16);
    EXPECT_EQ(plat::load<int16_t>(rule->condition.value.data), -2);
    EXPECT_EQ(rule->flags, 0x4102);
    EXPECT_EQ(u8(rule->text.text), "R");
    ASSERT_EQ(rule->involved.count, 1);
    DddConditionItem c = rule->involved.items[0];
    EXPECT_EQ(c.setting.head.kind, DDD_ITEM_CONDITION);
    EXPECT_EQ(c.connector, 4);
    EXPECT_EQ(c.setting.value.type, DDD_VT_ARRAY_REF);
    ASSERT_EQ(DDD_ResolveValueArray(&p_.main, &rule->involved.items[0].setting), DDD_OK);
    const DddValue &resolved = rule->involved.items[0].setting.value;
    EXPECT_EQ(resolved.type, DDD_VT_FLAG);
    EXPECT_EQ(resolved.length, 4u);
    ASSERT_EQ(resolved.count, 3u);
    EXPECT_EQ(plat::load<DWORD>(static_cast<BYTE *>(resolved.data) + 4), 1u);
    ASSERT_EQ(rule->actions.count, 2);
    EXPECT_EQ(rule->actions.items[0].head.kind, DDD_ITEM_SETTING);
    EXPECT_EQ(rule->actions.items[1].settingId, 18);
    EXPECT_EQ(u8(static_cast<LPCWSTR>(rule->actions.items[1].value.data)), "x");

    const auto *rev = fetch<DddRuleRecord>(DDD_KIND_REVERSE_RULE, 1);
    ASSERT_NE(rev, nullptr);
    EXPECT_EQ(rev->text.text, nullptr);
    EXPECT_EQ(rev->involved.count, 0);
    EXPECT_EQ(rev->actions.items, nullptr);

    const auto *array = fetch<DddValueArrayRecord>(DDD_KIND_VALUE_ARRAY, 50);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->value, 0x1234);
    EXPECT_EQ(array->elementType, DDD_VT_FLAG);
    EXPECT_EQ(array->elementSize, 1);
    EXPECT_EQ(array->count, 3);
    EXPECT_GE(array->elements, p_.main.data);
    EXPECT_EQ(array->elements[1], 0x05);

    const auto *triples = fetch<DddTripleTableRecord>(DDD_KIND_TRIPLE_TABLE, 1);
    ASSERT_NE(triples, nullptr);
    ASSERT_EQ(triples->conditions.count, 1);
    EXPECT_EQ(triples->conditions.items[0].setting.settingId, 13);
    ASSERT_EQ(triples->triples.count, 2);
    EXPECT_EQ(triples->triples.items[1].third, 6);
    EXPECT_EQ(triples->triples.items[1].head.kind, DDD_ITEM_TRIPLE);
}

TEST_P(RecordRoundTrip, PicturesImagesFontsAndBlocks)
{
    const auto *pic = fetch<DddPictureRecord>(DDD_KIND_PICTURE, 3);
    ASSERT_NE(pic, nullptr);
    ASSERT_EQ(pic->conditions.count, 1);
    EXPECT_EQ(pic->placement.imageId.value, 5);
    WORD x = 0, y = 0;
    BYTE *data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(DDD_GetPictureImage(&p_.main, &p_.companion, &pic->head, &x, &y, &data, &size), DDD_OK);
    EXPECT_EQ(x, 11);
    EXPECT_EQ(y, 12);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(data[0], 9);
    DDD_FreeRecord(&data, 0);

    const auto *img = fetch<DddImageRecord>(DDD_KIND_IMAGE, 5);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->format, 2);
    EXPECT_EQ(img->value1, 0x101);
    EXPECT_EQ(img->value2, 0x202);
    EXPECT_EQ(img->dataSize, full() ? 4u : 0u);
    EXPECT_EQ(img->data != nullptr, full());

    WORD v1 = 0, v2 = 0;
    data = DDD_GetHeaderImage(&p_.main, &p_.companion, DDD_ENTRY_PICTURE1, &v1, &v2, &size);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(v1, 0x101);
    EXPECT_EQ(size, 4u);
    DDD_FreeRecord(&data, 0);
    EXPECT_EQ(DDD_GetHeaderImage(&p_.main, &p_.companion, DDD_ENTRY_PICTURE2, &v1, &v2, &size), nullptr);
    EXPECT_EQ(DDD_GetHeaderImage(&p_.main, &p_.companion, 3, &v1, &v2, &size), nullptr);

    const auto *font = fetch<DddDeviceFontRecord>(DDD_KIND_DEVICE_FONT, 2, DDD_SEL_COMPANION);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(u8(font->name.text), "Courier");
    EXPECT_EQ(u8(font->secondText.text), "Second");
    LPCWSTR alias = nullptr;
    ASSERT_EQ(DDD_DeviceFontGetAlias(&font->head, 2, &alias), DDD_OK);
    EXPECT_EQ(u8(alias), "BB");
    EXPECT_EQ(DDD_DeviceFontGetAlias(&font->head, 3, &alias), DDD_ERR_NOT_FOUND);
    EXPECT_EQ(font->aliases2.count, 0);
    EXPECT_EQ(DDD_DeviceFontGetMetricsSize(&font->head), full() ? 5u : 0u);
    EXPECT_EQ(DDD_DeviceFontGetMetrics(&font->head) != nullptr, full());
    WORD attribute = 0;
    EXPECT_EQ(DDD_GetRecordAttribute(&font->head, &attribute), v() >= 256 ? DDD_OK : DDD_ERR_FAIL);
    EXPECT_EQ(font->attribute, 0x88);
    WORD count = 0;
    ASSERT_EQ(DDD_GetItemCount(&font->head, &count), DDD_OK);
    EXPECT_EQ(count, v() >= 1024 ? 2 : 0);
    if (v() >= 1024) {
        DWORD length = 0;
        WORD type = 0;
        const void *value = nullptr;
        ASSERT_EQ(DDD_GetItem(&font->head, 2, &length, &type, &value), DDD_OK);
        EXPECT_EQ(type, DDD_VT_STRING);
        EXPECT_EQ(u8(static_cast<LPCWSTR>(value)), "s");
    }

    const auto *block = fetch<DddDataBlockRecord>(DDD_KIND_DATA_BLOCK, 1, DDD_SEL_COMPANION);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->value1, 1);
    EXPECT_EQ(block->value2, 2);
    ASSERT_EQ(block->length, 3);
    EXPECT_EQ(block->data[2], 7);

    const auto *oi = fetch<DddOptionImageRecord>(DDD_KIND_OPTION_IMAGE, 6);
    ASSERT_NE(oi, nullptr);
    EXPECT_EQ(oi->blob.length, 2);
    EXPECT_EQ(oi->blob.data[1], 0xCD);
}

TEST_P(RecordRoundTrip, JobLinesFlagsPresetsAndDeviceConfiguration)
{
    const auto *line = fetch<DddJobLineRecord>(DDD_KIND_JOB_LINE, 1);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->settingId, 20);
    ASSERT_EQ(line->conditions.count, 1);
    EXPECT_EQ(line->conditions.items[0].connector, 6);
    EXPECT_EQ(u8(DDD_JobLineGetCommand(&line->head)), "@PJL X=");
    EXPECT_EQ(u8(DDD_JobLineGetFixedValue(&line->head)), "Y");
    WORD attribute = 0;
    EXPECT_EQ(DDD_GetRecordAttribute(&line->head, &attribute), v() >= 1280 ? DDD_OK : DDD_ERR_FAIL);
    EXPECT_EQ(line->attribute, v() >= 1280 ? 0xA1 : 0);

    ModelRecord *rec = nullptr;
    if (v() >= 512) {
        const auto *flag = fetch<DddFlagRecord>(DDD_KIND_FLAG_RECORD, 1);
        ASSERT_NE(flag, nullptr);
        EXPECT_EQ(u8(flag->text.text), "Plain");
        BYTE b = 0;
        ASSERT_EQ(DDD_GetKind19Flag(&flag->head, &b), DDD_OK);
        EXPECT_EQ(b, 1);
        EXPECT_EQ(u8(flag->secondText.text), v() >= 1024 ? "PLAIN" : "<null>");
    } else {
        EXPECT_EQ(DDD_GetRecordByIndex(mode(), &p_.main, &p_.companion, DDD_KIND_FLAG_RECORD, 1, &rec),
                  DDD_ERR_NOT_FOUND);
        /* A kind-19 parse in a file older than 512 fails whatever the bytes. */
        ASSERT_EQ(DDD_SeekHeaderArea(&p_.main, 0), DDD_OK);
        EXPECT_EQ(DDD_ParseRecord(mode(), &p_.main, &p_.main, &p_.companion, DDD_KIND_FLAG_RECORD, &rec),
                  DDD_ERR_FAIL);
        EXPECT_EQ(rec, nullptr);
    }

    const auto *preset = fetch<DddPresetRecord>(DDD_KIND_PRESET, 1);
    ASSERT_NE(preset, nullptr);
    EXPECT_EQ(u8(preset->name.text), "P");
    ASSERT_EQ(preset->count, 2);
    WORD count = 0, id = 0, type = 0;
    DWORD length = 0;
    const void *value = nullptr;
    EXPECT_EQ(DDD_PresetCount(&preset->head, &count), v() >= 768 ? DDD_OK : DDD_ERR_FAIL);
    if (v() >= 768) {
        ASSERT_EQ(DDD_PresetGetSetting(&preset->head, 2, &id, &type, &length, &value), DDD_OK);
        EXPECT_EQ(id, 18);
        EXPECT_EQ(type, DDD_VT_FLAG);
        EXPECT_EQ(plat::load<DWORD>(value), 0u);
        EXPECT_EQ(DDD_PresetGetSetting(&preset->head, 3, &id, &type, &length, &value), DDD_ERR_NOT_FOUND);
    }

    const auto *cfg = fetch<DddDeviceConfigRecord>(DDD_KIND_DEVICE_CONFIG, 1);
    ASSERT_NE(cfg, nullptr);
    EXPECT_EQ(cfg->group, 3);
    EXPECT_EQ(cfg->settingId, 4355);
    EXPECT_EQ(cfg->valueType, DDD_VT_FLAG);
    EXPECT_EQ(cfg->valueSize, 4); /* 4 for flags, whatever is stored */
    EXPECT_EQ(cfg->sourceKind, 5);
    EXPECT_EQ(cfg->elementIndex, 2);
    LPCWSTR text = nullptr;
    ASSERT_EQ(DDD_DevCfgGetText(&cfg->head, 2, &text), DDD_OK);
    EXPECT_EQ(u8(text), "ON");
    EXPECT_EQ(DDD_DevCfgGetText(&cfg->head, 3, &text), DDD_ERR_NOT_FOUND);
    EXPECT_EQ(DDD_GetRecordAttribute(&cfg->head, &attribute), v() >= 4096 ? DDD_OK : DDD_ERR_FAIL);
    ASSERT_EQ(DDD_GetItemCount(&cfg->head, &count), DDD_OK);
    EXPECT_EQ(count, 2);
    type = 99;
    EXPECT_EQ(DDD_GetItem(&cfg->head, 0, &length, &type, &value), DDD_OK); /* nothing filled */
    EXPECT_EQ(type, 99);
}

std::string versionName(const ::testing::TestParamInfo<std::tuple<DWORD, int>> &info)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "v%04X_%s", static_cast<unsigned>(std::get<0>(info.param)),
                  std::get<1>(info.param) ? "full" : "partial");
    return buf;
}

INSTANTIATE_TEST_SUITE_P(Gates, RecordRoundTrip,
                         ::testing::Combine(::testing::Values(255u, 256u, 511u, 512u, 767u, 768u, 1023u, 1024u,
                                                              1279u, 1280u, 4095u, 4096u, 0x15FFu, 0x1600u),
                                            ::testing::Values(DDD_PARSE_PARTIAL, DDD_PARSE_FULL)),
                         versionName);

class RecordGates : public ModelTest {};

TEST_F(RecordGates, AccessorsFollowTheLastMainFileOpenedNotTheRecordsFile)
{
    ReaderPair newer;
    ASSERT_EQ(openModel(newer, kindsModel(1280)), DDD_OK);
    ModelRecord *paper = nullptr;
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &newer.main, &newer.companion, DDD_KIND_PAPER, 9, 0, &paper), DDD_OK);
    WORD attribute = 0;
    ASSERT_EQ(DDD_GetRecordAttribute(paper, &attribute), DDD_OK);
    EXPECT_EQ(attribute, 0x55);

    ReaderPair older;
    ASSERT_EQ(openModel(older, kindsModel(1279)), DDD_OK);
    EXPECT_EQ(DDD_GetLastFormatVersion(), 1279u);
    EXPECT_EQ(DDD_GetRecordAttribute(paper, &attribute), DDD_ERR_FAIL);
    DDD_FreeRecord(&paper, DDD_KIND_PAPER);
}

TEST_F(RecordGates, FreeingChecksTheKind)
{
    ReaderPair p;
    ASSERT_EQ(openModel(p, kindsModel(0x1600)), DDD_OK);
    ModelRecord *rec = nullptr;
    ASSERT_EQ(DDD_FetchRecord(DDD_PARSE_FULL, &p.main, &p.companion, DDD_KIND_RULE, 1, 0, &rec), DDD_OK);
    long live = mdl_LiveBlocks();
    ModelRecord *copy = rec;
    EXPECT_EQ(DDD_FreeRecord(&copy, DDD_KIND_PAPER), DDD_ERR_FAIL); /* wrong kind: nothing freed */
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(mdl_LiveBlocks(), live);
    EXPECT_EQ(DDD_FreeRecord(&rec, DDD_KIND_RULE), DDD_OK);
    EXPECT_LT(mdl_LiveBlocks(), live);
    EXPECT_EQ(DDD_FreeRecord(&rec, -1), DDD_ERR_FAIL);
    EXPECT_EQ(DDD_AllocRecord(&p.main, 2), nullptr);
    EXPECT_EQ(DDD_AllocRecord(&p.main, 999), nullptr);

    /* Item records built alone are freed by their own kind, with what they own. */
    ModelRecord *text = DDD_AllocRecord(&p.main, DDD_ITEM_TEXT);
    reinterpret_cast<DddTextItem *>(text)->text = ddd_DupString(u"owned", nullptr);
    EXPECT_EQ(DDD_FreeRecord(&text, -1), DDD_OK);
    EXPECT_EQ(DDD_ParseRecord(DDD_PARSE_FULL, &p.main, &p.main, &p.companion, DDD_KIND_HEADER, &rec), DDD_ERR_FAIL);
}

TEST_F(RecordGates, OptionMaskBits)
{
    struct Case {
        WORD id;
        DWORD bit;
    } cases[] = {{4097, 1u << 0}, {4112, 1u << 15}, {4113, 1u << 16}, {4128, 1u << 31}, {4129, 1u << 0},
                 {4145, 1u << 16}, {4160, 1u << 31}, {4161, 0}, {4096, 0}, {4371, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(DDD_OptionMaskBit(c.id), c.bit) << c.id;

    mw::Model m = kindsModel(0x1600);
    m.main.entries[DDD_ENTRY_OPTION_MASK] = eU32(0x00000005);
    ReaderPair p;
    ASSERT_EQ(openModel(p, m), DDD_OK);
    EXPECT_EQ(DDD_TestOptionMaskBit(&p.main, &p.companion, 4097), 0);
    EXPECT_EQ(DDD_TestOptionMaskBit(&p.main, &p.companion, 4098), 1);
    EXPECT_EQ(DDD_TestOptionMaskBit(&p.main, &p.companion, 4131), 0); /* bit 2 again */
    EXPECT_EQ(DDD_TestOptionMaskBit(&p.main, &p.companion, 4300), 1); /* no bit */
    EXPECT_EQ(DDD_TestOptionMaskBit(&p.main, &p.companion, 5000), 1);
}

} // namespace
