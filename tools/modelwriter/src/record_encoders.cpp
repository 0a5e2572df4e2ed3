/*
 * Encoders of the model data writer: text fields, typed values, items,
 * lists and every record kind, each laid out in file order for one data
 * format version (gated fields are left out below their version).
 */
#include <modelwriter/model_writer.h>

#include <cstring>

namespace mw {

void putU8(Bytes &b, BYTE v) { b.push_back(v); }

void putU16(Bytes &b, WORD v)
{
    b.push_back(static_cast<BYTE>(v));
    b.push_back(static_cast<BYTE>(v >> 8));
}

void putU32(Bytes &b, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<BYTE>(v >> (8 * i)));
}

Text noText() { return Text{}; }

Text stored(std::string_view ansi)
{
    Text t;
    for (char c : ansi)
        t.body.push_back(static_cast<BYTE>(static_cast<BYTE>(c) ^ 0xFF));
    t.body.push_back(0xFF); /* the terminator, 0 once inverted */
    return t;
}

Text reference(WORD selector, WORD id, std::string_view fallback)
{
    Text t = stored(fallback);
    putU16(t.body, selector);
    putU16(t.body, id);
    putU8(t.body, 0);
    return t;
}

Text rawText(Bytes body) { return Text{std::move(body)}; }

Value vNone(BYTE type) { return Value{type, {}}; }
Value vFlag(bool on) { return Value{DDD_VT_FLAG, {static_cast<BYTE>(on ? 1 : 0)}}; }

Value vShort(int16_t v)
{
    Value r{DDD_VT_SHORT, {}};
    putU16(r.data, static_cast<WORD>(v));
    return r;
}

Value vUShort(WORD v)
{
    Value r{DDD_VT_USHORT, {}};
    putU16(r.data, v);
    return r;
}

Value vLong(int32_t v)
{
    Value r{DDD_VT_LONG, {}};
    putU32(r.data, static_cast<DWORD>(v));
    return r;
}

Value vULong(DWORD v)
{
    Value r{DDD_VT_ULONG, {}};
    putU32(r.data, v);
    return r;
}

Value vString(const Text &text) { return Value{DDD_VT_STRING, text.body}; }

Value vFloat(float v)
{
    DWORD bits = 0;
    std::memcpy(&bits, &v, 4);
    Value r{DDD_VT_FLOAT, {}};
    putU32(r.data, bits);
    return r;
}

Value vByte(BYTE v) { return Value{DDD_VT_BYTE, {v}}; }

Value vMember(int32_t v)
{
    Value r{DDD_VT_MEMBER, {}};
    putU32(r.data, static_cast<DWORD>(v));
    return r;
}

Value vArrayRef(WORD row)
{
    Value r{DDD_VT_ARRAY_REF, {}};
    putU16(r.data, row);
    return r;
}

namespace {

/* Builds one record's body and gathers what it refers to. */
struct Enc {
    Record rec;

    void u8(BYTE v) { putU8(rec.body, v); }
    void u16(WORD v) { putU16(rec.body, v); }
    void u32(DWORD v) { putU32(rec.body, v); }
    void bytes(const Bytes &b) { rec.body.insert(rec.body.end(), b.begin(), b.end()); }
    void text(const Text &t)
    {
        u16(static_cast<WORD>(t.body.size()));
        bytes(t.body);
    }
    void value(const Value &v)
    {
        u8(v.type);
        u16(static_cast<WORD>(v.data.size()));
        bytes(v.data);
        if (v.type == DDD_VT_ARRAY_REF && v.data.size() >= 2)
            rec.arrayRows.push_back(static_cast<WORD>(v.data[0] | (v.data[1] << 8)));
    }
    void setting(const Setting &s)
    {
        u16(s.number);
        u8(s.op);
        u16(s.settingId);
        value(s.value);
    }
    void condition(const Condition &c)
    {
        setting(c.setting);
        u8(c.connector);
    }
    /* A list: 32-bit byte length of the count and the items, the count, the items. */
    template <typename T, typename F>
    void list(const std::vector<T> &items, F item)
    {
        size_t lengthAt = rec.body.size();
        u32(0);
        size_t start = rec.body.size();
        u16(static_cast<WORD>(items.size()));
        for (const T &i : items)
            item(i);
        DWORD length = static_cast<DWORD>(rec.body.size() - start);
        for (int k = 0; k < 4; ++k)
            rec.body[lengthAt + k] = static_cast<BYTE>(length >> (8 * k));
    }
    void words(const std::vector<WORD> &v)
    {
        list(v, [&](WORD w) { u16(w); });
    }
    void conditions(const std::vector<Condition> &v)
    {
        list(v, [&](const Condition &c) { condition(c); });
    }
    void idRef(WORD kind, WORD id)
    {
        if (id != 0)
            rec.idRefs.emplace_back(kind, id);
    }
    void rowRefs(WORD kind, const std::vector<WORD> &rows)
    {
        for (WORD r : rows)
            rec.rowRefs.emplace_back(kind, r);
    }
};

Enc start(WORD kind, WORD id)
{
    Enc e;
    e.rec.kind = kind;
    e.rec.id = id;
    return e;
}

} // namespace

Record encode(WORD kind, const Feature &r, DWORD version)
{
    Enc e = start(kind, r.id);
    e.text(r.name);
    e.u8(r.uiKind);
    e.u16(r.defaultOption);
    e.u16(r.value);
    e.words(r.options);
    e.words(r.forwardRules);
    e.words(r.reverseRules);
    e.u16(r.optionImage);
    if (version >= DDD_GATE_1024)
        e.text(r.secondText);
    WORD optionKind = kind == DDD_KIND_DEVICE_FEATURE ? DDD_KIND_DEVICE_OPTION : DDD_KIND_DOCUMENT_OPTION;
    for (WORD o : r.options)
        e.rec.idRefs.emplace_back(optionKind, o);
    e.rowRefs(DDD_KIND_RULE, r.forwardRules);
    e.rowRefs(DDD_KIND_REVERSE_RULE, r.reverseRules);
    e.idRef(DDD_KIND_OPTION_IMAGE, r.optionImage);
    return e.rec;
}

Record encode(WORD kind, const Tray &r, DWORD version)
{
    Enc e = start(kind, r.id);
    e.text(r.name);
    e.u16(r.dimensionId);
    e.u16(r.mediaSource);
    e.words(r.paperCodes);
    e.words(r.paperCodeIds);
    if (version >= DDD_GATE_512)
        e.u8(r.extraByte);
    if (version >= DDD_GATE_1024)
        e.text(r.secondText);
    e.rec.idRefs.emplace_back(DDD_KIND_DIMENSIONS, r.dimensionId);
    return e.rec;
}

Record encode(WORD kind, const Rule &r, DWORD)
{
    Enc e = start(kind, r.id);
    e.setting(r.condition);
    e.u16(r.flags);
    e.text(r.text);
    e.conditions(r.involved);
    e.list(r.actions, [&](const Setting &s) { e.setting(s); });
    return e.rec;
}

Record encode(const Picture &r, DWORD)
{
    Enc e = start(DDD_KIND_PICTURE, r.id);
    e.conditions(r.conditions);
    e.u16(r.x);
    e.u16(r.y);
    e.u16(r.imageId);
    e.idRef(DDD_KIND_IMAGE, r.imageId);
    return e.rec;
}

Record encode(const Paper &r, DWORD version)
{
    Enc e = start(DDD_KIND_PAPER, r.id);
    e.text(r.name);
    e.u8(r.value8);
    e.u16(r.sizeId);
    e.u16(r.extentsId);
    e.u16(r.marginsId);
    e.u16(r.mediaCode);
    e.u16(r.value2);
    if (version >= DDD_GATE_512) {
        e.u8(r.extraByte);
        e.u16(r.fourthId);
        e.idRef(DDD_KIND_DIMENSIONS, r.fourthId);
    }
    if (version >= DDD_GATE_1280)
        e.u16(r.attribute);
    e.rec.idRefs.emplace_back(DDD_KIND_DIMENSIONS, r.sizeId);
    e.rec.idRefs.emplace_back(DDD_KIND_DIMENSIONS, r.extentsId);
    e.rec.idRefs.emplace_back(DDD_KIND_DIMENSIONS, r.marginsId);
    return e.rec;
}

Record encode(const DeviceFont &r, DWORD version)
{
    Enc e = start(DDD_KIND_DEVICE_FONT, r.id);
    e.text(r.name);
    e.text(r.secondText);
    for (const std::vector<Text> *aliases : {&r.aliases, &r.aliases2}) {
        e.u16(static_cast<WORD>(aliases->size()));
        for (const Text &t : *aliases)
            e.u16(static_cast<WORD>(t.body.size()));
        for (const Text &t : *aliases)
            e.bytes(t.body);
    }
    e.u16(static_cast<WORD>(r.skipped.size()));
    e.bytes(r.skipped);
    e.u32(static_cast<DWORD>(r.metrics.size()));
    e.bytes(r.metrics);
    e.u16(r.attribute);
    if (version >= DDD_GATE_1024) {
        e.u16(static_cast<WORD>(r.items.size()));
        for (const Value &v : r.items)
            e.value(v);
    }
    return e.rec;
}

Record encode(const Image &r, DWORD)
{
    Enc e = start(DDD_KIND_IMAGE, r.id);
    e.u8(r.format);
    e.u16(r.value1);
    e.u16(r.value2);
    e.u16(static_cast<WORD>(r.skipped.size()));
    e.bytes(r.skipped);
    /* A bitmap file: the 14-byte file header, then the packed DIB. */
    DWORD size = static_cast<DWORD>(14 + r.data.size());
    e.u32(size);
    e.u8('B');
    e.u8('M');
    e.u32(size);
    e.u32(0);
    e.u32(14 + 40);
    e.bytes(r.data);
    return e.rec;
}

Record encode(WORD kind, const Option &r, DWORD)
{
    Enc e = start(kind, r.id);
    e.text(r.name);
    e.u16(r.targetKind);
    e.u16(r.targetId);
    e.u16(r.value);
    e.words(r.forwardRules);
    e.words(r.reverseRules);
    e.value(r.setting);
    e.u16(r.optionImage);
    if (r.targetKind != 0)
        e.idRef(r.targetKind, r.targetId);
    e.rowRefs(DDD_KIND_RULE, r.forwardRules);
    e.rowRefs(DDD_KIND_REVERSE_RULE, r.reverseRules);
    e.idRef(DDD_KIND_OPTION_IMAGE, r.optionImage);
    return e.rec;
}

Record encode(const JobLine &r, DWORD version)
{
    Enc e = start(DDD_KIND_JOB_LINE, r.id);
    e.u16(r.settingId);
    e.conditions(r.conditions);
    e.text(r.command);
    e.text(r.fixedValue);
    if (version >= DDD_GATE_1280)
        e.u16(r.attribute);
    return e.rec;
}

Record encode(const DataBlock &r, DWORD)
{
    Enc e = start(DDD_KIND_DATA_BLOCK, r.id);
    e.conditions(r.conditions);
    e.u8(r.value1);
    e.u8(r.value2);
    e.u16(static_cast<WORD>(r.data.size()));
    e.bytes(r.data);
    return e.rec;
}

Record encode(const Dimensions &r, DWORD)
{
    Enc e = start(DDD_KIND_DIMENSIONS, r.id);
    e.u16(r.a);
    e.u16(r.b);
    e.u16(r.c);
    e.u16(r.d);
    return e.rec;
}

Record encode(const OptionImage &r, DWORD)
{
    Enc e = start(DDD_KIND_OPTION_IMAGE, r.id);
    e.u16(static_cast<WORD>(r.data.size()));
    e.bytes(r.data);
    return e.rec;
}

Record encode(const FlagRecord &r, DWORD version)
{
    Enc e = start(DDD_KIND_FLAG_RECORD, r.id);
    e.text(r.text);
    e.u8(r.flag);
    if (version >= DDD_GATE_1024)
        e.text(r.secondText);
    return e.rec;
}

Record encode(const ValueArray &r, DWORD)
{
    Enc e = start(DDD_KIND_VALUE_ARRAY, r.id);
    e.u16(r.value);
    e.u8(r.elementType);
    e.u16(r.elementSize);
    e.u32(0);
    e.u16(r.count);
    e.bytes(r.elements);
    return e.rec;
}

Record encode(const Preset &r, DWORD)
{
    Enc e = start(DDD_KIND_PRESET, r.id);
    e.text(r.name);
    e.u32(0);
    e.u16(static_cast<WORD>(r.settings.size()));
    for (const auto &[id, value] : r.settings) {
        e.u16(id);
        e.value(value);
    }
    return e.rec;
}

Record encode(const DeviceConfig &r, DWORD)
{
    Enc e = start(DDD_KIND_DEVICE_CONFIG, r.id);
    e.u16(r.group);
    e.u16(r.settingId);
    e.u8(r.valueType);
    e.u16(r.valueSize);
    e.u8(r.sourceKind);
    e.u16(r.attribute);
    e.u16(r.elementIndex);
    e.list(r.texts, [&](const Text &t) { e.text(t); });
    e.list(r.items, [&](const Value &v) { e.value(v); });
    return e.rec;
}

Record encode(const TripleTable &r, DWORD)
{
    Enc e = start(DDD_KIND_TRIPLE_TABLE, r.id);
    e.conditions(r.conditions);
    e.list(r.triples, [&](const Triple &t) {
        e.u16(t.first);
        e.u16(t.second);
        e.u16(t.third);
    });
    return e.rec;
}

} // namespace mw
