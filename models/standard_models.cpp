/*
 * The standard models: one source for the colour laser printer, its
 * printer-and-fax sibling and the copies at older data format versions.
 * Names of features, options, papers and trays are string references
 * (selector 1 in the main file, selector 2 in the companion) that carry
 * their English text as the fallback shown while no string module is
 * installed.  Device-font metrics blocks are empty.
 */
#include "standard_models.h"

#include "device_fonts.h"
#include "job_language.h"

#include <cstdio>

using namespace mw;

namespace tarvel_models {

namespace {

/*
 * String identifiers of the selector-1 module start here; each name takes
 * the next.  Names that only the printer-and-fax model has take theirs from
 * kFaxOnlyNames on instead, so that every name both models share keeps one
 * identifier and one string module (tarvel1s.xrs) serves both.
 */
constexpr WORD kFaxOnlyNames = 1900;

struct Names {
    WORD next = 1000;
    Text operator()(const char *english) { return reference(1, next++, english); }
};

/* A 1 x 1 pixel, 24-bit packed DIB (header and one padded row), coloured (b, g, r). */
Bytes tiny_dib(BYTE b, BYTE g, BYTE r)
{
    Bytes d;
    putU32(d, 40);
    putU32(d, 1);
    putU32(d, 1);
    putU16(d, 1);
    putU16(d, 24);
    putU32(d, 0);
    putU32(d, 4);
    putU32(d, 2835);
    putU32(d, 2835);
    putU32(d, 0);
    putU32(d, 0);
    d.insert(d.end(), {b, g, r, 0});
    return d;
}

/*
 * An icon image of `side` x `side` pixels and `bits` (4 or 8) bits a pixel:
 * a BITMAPINFOHEADER whose height counts the colour rows and the mask rows,
 * the full colour table, the colour rows (pixel (x, y) has colour index
 * (x + y) mod the colour count) and the mask rows (left half opaque), each
 * row padded to 4 bytes, bottom-up.
 */
Bytes icon_dib(WORD side, WORD bits)
{
    const DWORD colours = 1u << bits;
    Bytes d;
    putU32(d, 40);
    putU32(d, side);
    putU32(d, 2u * side);
    putU16(d, 1);
    putU16(d, bits);
    for (int i = 0; i < 6; ++i)
        putU32(d, 0);
    for (DWORD i = 0; i < colours; ++i)
        d.insert(d.end(), {BYTE(i * 3), BYTE(i * 5), BYTE(i * 7), 0});
    const size_t stride = (size_t(side) * bits + 31) / 32 * 4;
    for (WORD y = 0; y < side; ++y) {
        Bytes row(stride, 0);
        for (WORD x = 0; x < side; ++x) {
            const BYTE index = BYTE((x + y) % colours);
            if (bits == 8)
                row[x] = index;
            else
                row[x / 2] |= BYTE(x % 2 == 0 ? index << 4 : index);
        }
        d.insert(d.end(), row.begin(), row.end());
    }
    const size_t maskStride = (size_t(side) + 31) / 32 * 4;
    for (WORD y = 0; y < side; ++y) {
        Bytes row(maskStride, 0);
        for (WORD x = side / 2; x < side; ++x)
            row[x / 8] |= BYTE(0x80 >> (x % 8));
        d.insert(d.end(), row.begin(), row.end());
    }
    return d;
}

Condition cond(WORD settingId, BYTE op, Value v, BYTE connector)
{
    return Condition{Setting{0, op, settingId, std::move(v)}, connector};
}

Option opt(Text name, Value v, WORD targetKind = 0, WORD targetId = 0)
{
    Option o;
    o.name = std::move(name);
    o.setting = std::move(v);
    o.targetKind = targetKind;
    o.targetId = targetId;
    return o;
}

/* An option with forward rules (record numbers of kind 7). */
Option withRules(Option o, std::vector<WORD> forwardRules)
{
    o.forwardRules = std::move(forwardRules);
    return o;
}

Feature feat(WORD id, Text name, BYTE uiKind, WORD defaultOption)
{
    Feature f;
    f.id = id;
    f.name = std::move(name);
    f.uiKind = uiKind;
    f.defaultOption = defaultOption;
    return f;
}

struct PaperSpec {
    WORD code;
    const char *name;
    WORD width, length;
    WORD mediaCode;
};

constexpr PaperSpec kPapers[] = {
    {1, "Letter", 2159, 2794, 0},   {5, "Legal", 2159, 3556, 1},       {8, "A3", 2970, 4200, 5},
    {9, "A4", 2100, 2970, 2},       {11, "A5", 1480, 2100, 16},        {13, "B5 (JIS)", 1820, 2570, 18},
    {307, "Postcard", 1000, 1480, 20}, {256, "User Defined Size", 2100, 2970, 96},
    {262, "Custom Size", 2100, 2970, 97},
};

/*
 * Papers added after the names were numbered: their names are stored texts,
 * so that the numbered names (and the string module) stay as they are.
 */
constexpr PaperSpec kLaterPapers[] = {{3, "Tabloid", 2794, 4318, 4}, {12, "B4 (JIS)", 2570, 3640, 10}};

struct TrayName {
    WORD id;
    const char *name;
};

constexpr TrayName kTrayNames[] = {{7, "Automatically Select"}, {1, "Tray 1"},          {3, "Tray 2"},
                                   {2, "Optional Tray 3"},      {257, "Optional Tray 4"}, {4, "Bypass Tray"}};

void add_header(Model &m, FileHead &h, bool companion, bool fax, Names &names)
{
    h.title = fax ? "Tarvel CX 1500F model data" : "Tarvel CX 1500 model data";
    h.versionText = companion ? "TARVEL Companion:1.2.3" : "TARVEL Model:1.2.3";
    h.modelName = fax ? "Tarvel CX 1500F" : "Tarvel CX 1500";
    auto &e = h.entries;
    e[1] = eU16(1);
    e[2] = eU32(4096);
    e[3] = eU16s({1, 2});
    e[4] = eU16(999);
    e[5] = eU8(2);
    e[6] = eU32(0);
    e[7] = eU8(1);
    e[8] = eU32(0);
    e[9] = eU32(0);
    e[10] = eU16(0);
    e[11] = eU32(0);
    e[12] = eU32((1u << 0) | (1u << 2) | (1u << 4) | (1u << 6) | (1u << 28)); /* 4097, 4099, 4101, 4103, 4125 */
    e[13] = eText(stored("Tarvel colour laser"));
    e[14] = eU8s({});
    e[15] = eU32(0);
    e[16] = eU16(30);
    e[17] = eText(stored(h.modelName));
    e[18] = eText(names("Tarvel colour laser printer"));
    e[19] = eText(stored("tarvelgr.dll"));
    e[20] = eText(stored("tarveljl.dll"));
    e[21] = eText(stored("tarvelui.dll"));
    e[22] = eText(stored("tarvellm.dll"));
    e[23] = eU8(fax ? 3 : 0);
    e[24] = eU16(10);
    e[25] = eU16(20);
    DWORD caps = 0x4 | 0x10000 | 0x40000 | 0x400000 | 0x4000000;
    if (fax)
        caps |= 0x40000000;
    e[26] = eU32(caps);
    e[27] = eU16s({});
    e[28] = eTexts({});
    e[29] = eText(stored("http://www.tarvel.example/cx1500"));
    e[30] = eText(stored(fax ? "Tarvel\\CX1500F" : "Tarvel\\CX1500"));
    e[31] = eText(stored("Tarvel"));
    e[32] = eText(stored("CX1500"));
    e[33] = eText(stored(fax ? "Software\\Tarvel\\CX1500F" : "Software\\Tarvel\\CX1500"));
    e[34] = eU16s({1, 9, 256});
    e[35] = companion ? eTexts({stored("tarvel1s.xrs"), stored("tarvel1c.xrs")}) : eTexts({stored("tarvel1s.xrs")});
    std::vector<Text> texts;
    const char *modelTexts[18] = {"tarvelda.dll", "Tarvel Device Access", "Opening the device", "", "", "",
                                  "", "", "", "", "", "",
                                  "", "", "", "", "tarveljc.exe", "tarvelda.dll"};
    for (const char *t : modelTexts)
        texts.push_back(stored(t));
    e[36] = eTexts(texts);
    e[37] = eText(stored("Tarvel"));
    e[38] = eText(noText());
    e[39] = eU32s({(1u << 0) | (1u << 1) | (1u << 7), 0});
    e[40] = eU16(2);
    e[41] = eU16(static_cast<WORD>(std::size(kPapers) + std::size(kLaterPapers) + 2));
    (void)m;
}

void add_papers(Model &m, Names &names)
{
    DWORD v = m.formatVersion;
    WORD dim = 1;
    auto addPaper = [&](const PaperSpec &p, Text name) {
        bool custom = p.code == 262;
        WORD sizeId = dim++, extentsId = dim++, marginsId = dim++;
        m.add(encode(Dimensions{sizeId, p.width, p.length, p.length, p.width}, v));
        if (custom)
            m.add(encode(Dimensions{extentsId, 900, 1480, 2970, 4318}, v));
        else
            m.add(encode(Dimensions{extentsId, p.width, p.length, p.width, p.length}, v));
        m.add(encode(Dimensions{marginsId, 42, 42, 42, 42}, v));
        Paper paper;
        paper.id = p.code;
        paper.name = std::move(name);
        paper.sizeId = sizeId;
        paper.extentsId = extentsId;
        paper.marginsId = marginsId;
        paper.mediaCode = p.mediaCode;
        paper.attribute = custom ? 1 : 0;
        if (custom) {
            WORD fourth = dim++;
            m.add(encode(Dimensions{fourth, 100, 100, 200, 200}, v));
            paper.extraByte = 1;
            paper.fourthId = fourth;
        }
        m.add(encode(paper, v));
    };
    for (const PaperSpec &p : kPapers)
        addPaper(p, names(p.name));
    for (const PaperSpec &p : kLaterPapers)
        addPaper(p, stored(p.name));
}

void add_trays(Model &m, Names &names)
{
    DWORD v = m.formatVersion;
    WORD noCustom = 900, bypassRange = 901;
    m.add(encode(Dimensions{noCustom, 0, 0, 0, 0}, v));
    m.add(encode(Dimensions{bypassRange, 900, 1480, 2970, 4318}, v));
    struct TraySpec {
        WORD id;
        const char *name;
        WORD source;
        bool bypass;
    } trays[] = {
        {7, "Automatically Select", 1, false}, {1, "Tray 1", 4, false},      {3, "Tray 2", 5, false},
        {2, "Optional Tray 3", 7, false},      {257, "Optional Tray 4", 8, false}, {4, "Bypass Tray", 3, true},
    };
    for (const TraySpec &t : trays) {
        Tray tray;
        tray.id = t.id;
        tray.name = names(t.name);
        tray.dimensionId = t.bypass ? bypassRange : noCustom;
        tray.mediaSource = t.source;
        tray.paperCodes = t.bypass ? std::vector<WORD>{1, 9, 11, 307, 262} : std::vector<WORD>{1, 5, 8, 9, 11, 13};
        /* Every paper is fed short edge first (feed direction 1). */
        tray.paperCodeIds.assign(tray.paperCodes.size(), 1);
        tray.extraByte = t.bypass ? 1 : 0;
        tray.secondText = stored(t.name);
        m.add(encode(DDD_KIND_TRAY, tray, v));
    }
    const char *outputs[] = {"Face Down Tray", "Finisher Tray"};
    for (WORD i = 0; i < 2; ++i) {
        Tray out;
        out.id = static_cast<WORD>(i + 1);
        out.name = names(outputs[i]);
        out.dimensionId = noCustom;
        out.mediaSource = static_cast<WORD>(i + 1);
        m.add(encode(DDD_KIND_TRAY2, out, v));
    }
}

void add_rules_and_arrays(Model &m)
{
    DWORD v = m.formatVersion;
    /* Value arrays, addressed by record number (all in the main file). */
    Bytes shorts, flags{0x00, 0x05, 0x00}, members;
    putU16(shorts, 1);
    putU16(shorts, 2);
    putU32(members, 0xFFFFFFFFu);
    putU32(members, 7);
    m.add(encode(ValueArray{1, 0, DDD_VT_SHORT, 2, 2, shorts}, v));
    m.add(encode(ValueArray{2, 0, DDD_VT_FLAG, 1, 3, flags}, v));
    m.add(encode(ValueArray{3, 0, DDD_VT_MEMBER, 4, 2, members}, v));

    /*
     * Forward rules (kind 7), identifiers equal to their record numbers.  A
     * rule fires when its main condition holds for the value under test and
     * a group of its involved entries holds (connectors 1 and, 2 or, 3 or 4
     * end a group); a rule without involved entries fires at once.
     */
    Rule r1{1, Setting{0, 2, 16, vShort(1)}, 2, stored("The duplex unit is not installed."),
            {cond(4103, 1, vFlag(false), 4)}, {Setting{0, 0, 16, vShort(1)}}};
    Rule r2{2, Setting{0, 1, 8, vShort(11)}, 3, stored("A5 paper cannot be printed on both sides."),
            {cond(16, 2, vShort(1), 1), cond(4103, 1, vFlag(true), 1), cond(7, 1, vArrayRef(1), 4)},
            {Setting{0, 0, 16, vShort(1)}}};
    Rule r3{3, Setting{0, 1, 8, vShort(262)}, 0x400 | 8, stored("The custom size is out of range."),
            {cond(13, 1, vShort(4), 2), cond(13, 1, vShort(7), 2), cond(16, 1, vShort(1), 4)}, {}};
    Rule r4{4, Setting{0, 9, 270, vUShort(1)}, 9, noText(), {}, {}};
    Rule r5{5, Setting{0, 1, 4101, vFlag(false)}, 2 | 0x4000, stored("The finisher is not installed."), {},
            {Setting{0x8000, 0, 320, vUShort(0)}}};
    /* A custom paper that does not fit the bypass tray's custom range (tray check), as is or turned. */
    Rule r6{6, Setting{0, 1, 8, vShort(262)}, 2, stored("The custom size does not fit the bypass tray."),
            {cond(13, 7, vShort(4), 4)}, {}};
    Rule r7{7, Setting{0, 1, 8, vShort(262)}, 3, stored("The custom size does not fit the cover source."),
            {cond(265, 12, vUShort(4), 4)}, {Setting{0, 0, 265, vUShort(7)}}};
    /* A custom paper outside the custom paper record's extents (no involved entries: the limit decides). */
    Rule r8{8, Setting{0, 1, 8, vShort(262)}, 0x1000 | 8, stored("The custom size is out of range."), {}, {}};
    /* Postcards are not printed on both sides: single-sided, and the model's default paper instead. */
    Rule r9{9, Setting{0, 1, 8, vShort(307)}, 3, stored("Postcards cannot be printed on both sides."),
            {cond(16, 2, vShort(1), 4)}, {Setting{0, 0, 16, vShort(1)}, Setting{0, 0, 8, vShort(static_cast<int16_t>(0x8001))}}};
    /* The finisher tray needs the finisher; the output tray's custom range bounds the paper. */
    Rule r10{10, Setting{0, 1, 266, vUShort(2)}, 0xC00 | 7, stored("The paper does not fit the finisher tray."),
             {cond(4101, 1, vFlag(true), 4)}, {}};
    Rule r11{11, Setting{0, 1, 266, vUShort(2)}, 8, stored("The finisher is not installed."),
             {cond(4101, 1, vFlag(false), 4)}, {Setting{0, 0, 266, vUShort(0x8000)}}};
    /* Economy mode with the finest image quality: a note only, not while checking a value. */
    Rule r12{12, Setting{0, 1, 345, vUShort(1)}, 0x200 | 4, stored("Economy mode lowers the image quality."),
             {cond(453, 1, vUShort(2), 4)}, {Setting{0, 0, 453, vUShort(1)}}};
    /* Punching needs staples off or in a corner: the dependent-option question. */
    Rule r13{13, Setting{0, 5, 341, vUShort(0)}, 0x100 | 5, stored("Punching needs another staple position."),
             {cond(320, 1, vUShort(11), 4)}, {Setting{0, 0, 320, vUShort(0)}}};
    /* Colour modes checked for defaults only: the finisher with gloss (groups: 1, 4 then 2, 4). */
    Rule r14{14, Setting{0, 0, 270, vNone(DDD_VT_USHORT)}, 0x4000 | 2, stored("Gloss needs colour printing."),
             {cond(293, 1, vUShort(1), 1), cond(270, 1, vUShort(1), 4), cond(4101, 2, vFlag(false), 2),
              cond(293, 5, vUShort(1), 4)},
             {Setting{0, 0, 293, vUShort(0)}}};
    for (const Rule &r : {r1, r2, r3, r4, r5, r6, r7, r8, r9, r10, r11, r12, r13, r14})
        m.add(encode(DDD_KIND_RULE, r, v));
    Rule rr1{1, Setting{0, 1, 16, vShort(2)}, 2 | 0x100, stored("Printing on both sides needs the duplex unit."),
             {cond(4103, 1, vFlag(false), 2), cond(4103, 1, vMember(0), 2), cond(4099, 1, vArrayRef(2), 4)},
             {Setting{0, 0, 4103, vFlag(true)}}};
    m.add(encode(DDD_KIND_REVERSE_RULE, rr1, v));
    /* Removing the finisher while its tray is chosen (reverse: fires when the main condition does not hold). */
    Rule rr2{2, Setting{0, 1, 4101, vFlag(false)}, 8, stored("The finisher tray is in use."),
             {cond(266, 1, vUShort(2), 4)}, {Setting{0, 0, 266, vUShort(1)}}};
    m.add(encode(DDD_KIND_REVERSE_RULE, rr2, v));
}

void add_document_features(Model &m, Names &names, bool fax)
{
    Feature orientation = feat(7, names("Orientation"), 1, 1);
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, orientation,
                 {opt(names("Portrait"), vShort(1)), opt(names("Landscape"), vShort(2))});

    Feature paper = feat(8, names("Paper Size"), 1, 4);
    std::vector<Option> papers;
    for (const PaperSpec &p : kPapers) {
        Option o = opt(names(p.name), vShort(static_cast<int16_t>(p.code)), DDD_KIND_PAPER, p.code);
        if (p.code == 11)
            o.forwardRules = {2};
        if (p.code == 262)
            o.forwardRules = {3, 6, 7, 8};
        if (p.code == 307)
            o.forwardRules = {9};
        papers.push_back(o);
    }
    for (const PaperSpec &p : kLaterPapers)
        papers.push_back(opt(stored(p.name), vShort(static_cast<int16_t>(p.code)), DDD_KIND_PAPER, p.code));
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, paper, papers);

    Feature source = feat(13, names("Paper Source"), 1, 1);
    std::vector<Option> sources;
    for (const TrayName &t : kTrayNames)
        sources.push_back(opt(names(t.name), vShort(static_cast<int16_t>(t.id)), DDD_KIND_TRAY, t.id));
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, source, sources);

    Feature resolution = feat(14, names("Resolution"), 1, 1);
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, resolution,
                 {opt(names("600 x 600 dpi"), vULong((600u << 16) | 600)),
                  opt(names("1200 x 1200 dpi"), vULong((1200u << 16) | 1200)),
                  opt(names("1200 x 600 dpi"), vULong((1200u << 16) | 600)),
                  opt(stored("600 x 300 dpi"), vULong((600u << 16) | 300))});

    Feature duplex = feat(16, names("Print on Both Sides"), 1, 1);
    duplex.optionImage = 1;
    duplex.secondText = stored("Duplex");
    Option simplex = opt(names("Off"), vShort(1));
    simplex.optionImage = 1;
    Option longEdge = opt(names("Long Edge"), vShort(2));
    longEdge.forwardRules = {1};
    longEdge.optionImage = 2;
    Option shortEdge = opt(names("Short Edge"), vShort(3));
    shortEdge.forwardRules = {1};
    shortEdge.optionImage = 2;
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, duplex, {simplex, longEdge, shortEdge});

    std::vector<Option> tt;
    for (int16_t i = 1; i <= 4; ++i)
        tt.push_back(opt(names("TrueType"), vShort(i)));
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(17, names("TrueType Font"), 1, 1), tt);
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(18, names("Collate"), 2, 2),
                 {opt(names("Off"), vShort(0)), opt(names("On"), vShort(1))});
    std::vector<Option> intents;
    for (DWORD i = 1; i <= 4; ++i)
        intents.push_back(opt(names("Intent"), vULong(i)));
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(23, names("Colour Intent"), 1, 1), intents);
    std::vector<Option> media;
    for (DWORD i : {0u, 1u, 2u, 3u, 13u, 14u, 15u, 16u, 17u})
        media.push_back(opt(names("Media Type"), vULong(i)));
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(24, names("Media Type"), 1, 2), media);
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(25, names("Dithering"), 1, 1),
                 {opt(names("Fine"), vULong(1)), opt(names("Smooth"), vULong(2))});

    auto ushorts = [&](WORD id, const char *name, std::vector<WORD> values, WORD def) {
        std::vector<Option> opts;
        for (WORD x : values)
            opts.push_back(opt(names(name), vUShort(x)));
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(id, names(name), 1, def), opts);
    };
    ushorts(262, "Toner Save", {0, 1}, 1);
    {
        std::vector<Option> opts;
        for (const TrayName &t : kTrayNames)
            opts.push_back(opt(names(t.name), vUShort(t.id), DDD_KIND_TRAY, t.id));
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(265, names("Cover Source"), 1, 1), opts);
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(266, names("Output Tray"), 1, 1),
                     {opt(names("Face Down Tray"), vUShort(1), DDD_KIND_TRAY2, 1),
                      withRules(opt(names("Finisher Tray"), vUShort(2), DDD_KIND_TRAY2, 2), {10, 11})});
    }
    {
        std::vector<Option> opts;
        for (WORD x : {0, 1, 2})
            opts.push_back(opt(names("Colour Mode"), vUShort(x)));
        Feature f = feat(270, names("Colour Mode"), 1, 1);
        f.forwardRules = {4, 14};
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, opts);
    }
    ushorts(293, "Gloss", {0, 1}, 1);
    ushorts(295, "Pages per Sheet", {1, 2, 4, 8, 16, 32}, 1);
    ushorts(296, "Poster", {0x102, 0x203, 0x304, 0x404}, 1);
    {
        std::vector<Option> opts;
        for (WORD x = 0; x <= 11; ++x)
            opts.push_back(opt(names("Staple"), vUShort(x)));
        Feature f = feat(320, names("Staple"), 1, 1);
        f.forwardRules = {5};
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, opts);
    }
    ushorts(321, "Fold", {0, 1, 2}, 1);
    {
        std::vector<Option> opts;
        for (WORD x : {0, 1, 2, 3, 4})
            opts.push_back(opt(names("Job Type"), vUShort(x)));
        Feature f = feat(334, names("Job Type"), 1, 1);
        if (fax)
            opts.push_back(opt(reference(1, kFaxOnlyNames, "Job Type"), vUShort(5)));
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, opts);
    }
    {
        std::vector<Option> opts;
        for (WORD x : {0, 1, 2, 3, 4, 5}) {
            opts.push_back(opt(names("Punch"), vUShort(x)));
            if (x != 0)
                opts.back().forwardRules = {13};
        }
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(341, names("Punch"), 1, 1), opts);
        std::vector<Option> economy = {opt(names("Economy Mode"), vUShort(0)), opt(names("Economy Mode"), vUShort(1))};
        economy[1].forwardRules = {12};
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(345, names("Economy Mode"), 1, 1), economy);
    }
    ushorts(388, "Scaling", {25, 100, 400}, 2);
    ushorts(453, "Image Quality", {0, 1, 2}, 1);

    /* Presets: option values are the identifiers of the preset records (kind 21). */
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(36888, names("Presets"), 1, 1),
                 {opt(stored("Standard\rEveryday printing"), vUShort(1)),
                  opt(stored("Draft\rFast printing that saves toner"), vUShort(2))});
}

void add_device_features(Model &m, Names &names)
{
    auto installed = [&](WORD id, const char *name) {
        Option off = opt(names("Not Installed"), vFlag(false));
        Option on = opt(names("Installed"), vFlag(true));
        if (id == 4103)
            off.reverseRules = {1};
        if (id == 4101)
            off.reverseRules = {2};
        m.addFeature(DDD_KIND_DEVICE_FEATURE, feat(id, names(name), 2, 1), {off, on});
    };
    installed(4097, "Optional Tray 3");
    installed(4099, "Optional Tray 4");
    installed(4101, "Finisher");
    installed(4103, "Duplex Unit");
    installed(4125, "Hard Disk");
    auto bytes = [&](WORD kind, WORD id, const char *name, std::vector<BYTE> values, WORD def) {
        std::vector<Option> opts;
        for (BYTE x : values)
            opts.push_back(opt(names(name), vByte(x)));
        m.addFeature(kind, feat(id, names(name), 1, def), opts);
    };
    bytes(DDD_KIND_DEVICE_FEATURE, 4355, "Memory", {0, 1}, 1);
    /* The country's values replace these defaults where the model lets them (capability bits 32, 33). */
    bytes(DDD_KIND_DEVICE_FEATURE, 4356, "Paper Series", {0, 1, 2}, 3);
    bytes(DDD_KIND_DEVICE_FEATURE, 4358, "8K/16K", {0, 1}, 2);
    bytes(DDD_KIND_DEVICE_FEATURE, 4359, "Output Bin", {0, 1, 2, 3, 4, 10}, 1);
    /* Secure printing is a printer-data setting that models describe as a document feature. */
    bytes(DDD_KIND_DOCUMENT_FEATURE, 4363, "Secure Print", {0, 1}, 1);
}

/*
 * Settings added after the names were numbered (stored texts, see
 * kLaterPapers): the second paper of mixed-size jobs, the paper of the
 * margin page and the paper list of the custom sizes, whose defaults follow
 * the user's paper region; the cover sheet layout, which follows the
 * user-interface language; the folder of form files, whose default is the
 * work folder.
 */
void add_later_settings(Model &m)
{
    auto paperCodes = [&](WORD id, const char *name, WORD def) {
        std::vector<Option> opts;
        for (const PaperSpec &p : kPapers)
            if (p.code != 256 && p.code != 262)
                opts.push_back(opt(stored(p.name), vUShort(p.code), DDD_KIND_PAPER, p.code));
        for (const PaperSpec &p : kLaterPapers)
            opts.push_back(opt(stored(p.name), vUShort(p.code), DDD_KIND_PAPER, p.code));
        m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(id, stored(name), 1, def), opts);
    };
    paperCodes(327, "Second Paper Size", 3); /* A3 */
    paperCodes(1824, "Margin Paper", 4);     /* A4 */
    paperCodes(1883, "Custom Paper List", 4);
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(1804, stored("Cover Sheet Layout"), 1, 1),
                 {opt(stored("Cover Sheet Layout"), vUShort(0)), opt(stored("Cover Sheet Layout"), vUShort(1))});
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, feat(1829, stored("Form Folder"), 3, 1),
                 {opt(stored("Forms"), vString(stored("Forms\\"))),
                  opt(stored("Overlays"), vString(stored("Overlays\\")))});
}

void add_other_records(Model &m, Names &names)
{
    DWORD v = m.formatVersion;
    m.add(encode(Image{1, 1, 16, 16, {}, tiny_dib(0x20, 0x40, 0x80)}, v));
    m.add(encode(Image{2, 2, 32, 8, {0xAA, 0xBB}, tiny_dib(0xFF, 0xFF, 0xFF)}, v));
    m.add(encode(Image{3, 1, 0, 0, {}, tiny_dib(0, 0, 0)}, v));
    /* Option pictures are icon images: 16 x 16 in 16 colours, and 48 x 48 in 256 colours. */
    m.add(encode(OptionImage{1, icon_dib(16, 4)}, v));
    m.add(encode(OptionImage{2, icon_dib(48, 8)}, v));

    if (v >= DDD_GATE_512) {
        m.add(encode(FlagRecord{1, names("Plain"), 1, stored("PLAIN")}, v));
        m.add(encode(FlagRecord{2, names("Heavy"), 0, stored("HEAVY")}, v));
    }
    m.add(encode(Preset{1, stored("Standard"), {{16, vShort(1)}, {7, vShort(1)}}}, v));
    m.add(encode(Preset{2, stored("Draft"), {{16, vShort(2)}, {270, vUShort(2)}, {345, vUShort(1)}}}, v));
    m.add(encode(DeviceConfig{1, 3, 4355, DDD_VT_BYTE, 1, 1, 1, 0, {stored("OFF"), stored("ON")},
                              {vByte(0), vByte(0), vByte(1), vByte(1)}},
                 v));
    m.add(encode(TripleTable{1, {cond(13, 1, vShort(7), 1)}, {{4, 1, 0}, {5, 2, 0}}}, v));

    /* Records that live in the companion file, with selector-2 references. */
    DeviceFont courier;
    courier.id = 1;
    courier.name = reference(2, 301, "Courier");
    courier.secondText = stored("CG Times");
    courier.aliases = {stored("Courier New")};
    courier.attribute = 1;
    courier.items = {vByte(0), vByte(1)}; /* not a name: the printer name stays "Courier", symbol set 590 */
    courier.metrics = courierMetrics();
    m.add(encode(courier, v), true);
    DeviceFont helvetica;
    helvetica.id = 2;
    helvetica.name = reference(2, 302, "Helvetica");
    helvetica.aliases = {stored("Arial"), stored("Arial Narrow")};
    helvetica.aliases2 = {stored("Swiss")};
    helvetica.metrics = helveticaMetrics();
    helvetica.items = {vString(stored("Helvetica       ")), vUShort(590)};
    m.add(encode(helvetica, v), true);
    for (const DeviceFont &font : moreDeviceFonts(3))
        m.add(encode(font, v), true);
    m.add(encode(Picture{1, {cond(4103, 1, vFlag(true), 1)}, 10, 20, 3}, v), true);
    m.add(encode(DataBlock{1, {cond(16, 1, vShort(2), 1)}, 1, 2, {'A', 'B', 'C'}}, v), true);
    (void)names;
}

} // namespace

Model colourPrinter(DWORD formatVersion, bool fax)
{
    Model m;
    m.formatVersion = formatVersion;
    m.fileName = fax ? "TARVEL2.DDD" : "TARVEL1.DDD";
    m.companionName = fax ? "TARVEL2.DDC" : "TARVEL1.DDC";
    Names names;
    add_header(m, m.main, false, fax, names);
    add_header(m, m.companion, true, fax, names);
    add_papers(m, names);
    add_trays(m, names);
    add_rules_and_arrays(m);
    add_document_features(m, names, fax);
    add_device_features(m, names);
    add_other_records(m, names);
    add_later_settings(m);
    addStandardJobLines(m, fax);
    return m;
}

std::vector<DWORD> gateVersions()
{
    std::vector<DWORD> v;
    for (DWORD gate : {DDD_GATE_256, DDD_GATE_512, DDD_GATE_768, DDD_GATE_1024, DDD_GATE_1280, DDD_GATE_4096,
                       DDD_GATE_0x1600}) {
        v.push_back(gate - 1);
        v.push_back(gate);
    }
    return v;
}

std::vector<Model> standardModels()
{
    std::vector<Model> models;
    models.push_back(colourPrinter(DDD_GATE_0x1600));
    models.push_back(colourPrinter(DDD_GATE_0x1600, true));
    for (DWORD version : gateVersions()) {
        Model m = colourPrinter(version);
        char name[32];
        std::snprintf(name, sizeof name, "T1_%04X.DDD", static_cast<unsigned>(version));
        m.fileName = name;
        std::snprintf(name, sizeof name, "T1_%04X.DDC", static_cast<unsigned>(version));
        m.companionName = name;
        models.push_back(std::move(m));
    }
    return models;
}

} // namespace tarvel_models
