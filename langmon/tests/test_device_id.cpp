/*
 * The device ID and the device status block: the field walk, the Base64
 * "STS:" decoder, the tables, the values spread from a hand-laid block, the
 * "LM_" values, and the device-ID read through the scripted port monitor.
 * Expected values are worked out by hand from the block's bytes.
 */
#include "lm_device_fixture.h"
#include "lm_fixture.h"
#include "status.h"
#include "status_tables.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

/*
 * The hand-laid block (66 bytes).  What it says:
 *  status code 145 (class 22, a paper problem); hardware error 0x0001/0x0002, detail 0x01020304;
 *  32 MB x 8 of memory; cover word 5; supplies 0x4001 0x7703 0x2010 0x7701; drums 0x5000 0x3006 0x1042;
 *  tray 0 (2001): state 2, media 2, paper 2 (A4); tray 1 (1): state 1, paper 1 (A3); tray 2 absent;
 *  feeding from tray 1 (feeder index 1) media 4, fed paper 9; options duplex, hard disk, RAM disk;
 *  paper-jam bits 0x10; 4 KB blocks, 10 free.
 */
std::vector<BYTE> hand_block()
{
    return {
        0x00, 0x00, 0x00, 0x91,             /* 0 status code 145 */
        0x00, 0x01, 0x00, 0x02,             /* 4 hardware error high, low */
        0x01, 0x02, 0x03, 0x04,             /* 8 detail */
        0x00, 0x00, 0x08,                   /* 12 selector, job state, memory */
        0x00, 0x05,                         /* 15 cover word */
        0x40, 0x01, 0x77, 0x03, 0x20, 0x10, 0x77, 0x01, /* 17 supplies 0-3 */
        0x50, 0x00, 0x30, 0x06, 0x10, 0x42, /* 25 drums at 25, 27, 29 */
        0, 0, 0, 0, 0,                      /* 31 not read */
        0x82, 0x02, 0, 0, 0, 0,             /* 36 tray 0 */
        0x40, 0x01, 0, 0, 0, 0,             /* 42 tray 1 */
        0x00, 0x03, 0, 0, 0, 0,             /* 48 tray 2: state 0 */
        0x24,                               /* 54 feed: tray index 1 (tray 1), media 4 */
        0x09,                               /* 55 fed paper code */
        0x40, 0x03,                         /* 56 option word */
        0x00, 0x00, 0x00, 0x10,             /* 58 paper-jam bits */
        0x04, 0x0A,                         /* 62 block size, free blocks */
        0x00, 0x00,                         /* 64 */
    };
}

class DeviceIdTest : public MonitorTest {
protected:
    MonitorPort *usb()
    {
        HANDLE h = nullptr;
        EXPECT_TRUE(open(u"USB001", &h));
        MonitorPort *p = rec(h);
        p->portKind = KIND_USB | KIND_BIDI;
        p->modelMask = LM_MODEL_K4100;
        return p;
    }

    static std::vector<BYTE> value(MonitorPort *p, const char *name)
    {
        StatusVariable *row = LMS_LookupVariable(name, p);
        if (!row || !row->value)
            return {};
        return std::vector<BYTE>(row->value, row->value + LMS_VariableSize(row));
    }

    static DWORD word(MonitorPort *p, const char *name)
    {
        std::vector<BYTE> v = value(p, name);
        DWORD w = 0xDEADBEEF;
        if (v.size() >= 4)
            std::memcpy(&w, v.data(), 4);
        return w;
    }

    static std::vector<BYTE> le32s(std::initializer_list<DWORD> words)
    {
        std::vector<BYTE> out;
        for (DWORD w : words)
            for (int i = 0; i < 4; ++i)
                out.push_back(BYTE(w >> (8 * i)));
        return out;
    }
};

/* ---- The "STS:" decoder ---------------------------------------------------------- */

TEST_F(DeviceIdTest, StatusFieldDecoderTable)
{
    const std::string good = sts_of(hand_block());
    ASSERT_EQ(good.size(), 90u);
    struct Case {
        std::string text;
        bool ok;
    } cases[] = {
        {good, true},
        {good + ";MDL:x;", true},                          /* the value ends at ';' */
        {good.substr(0, 89), false},                       /* 89 characters */
        {good + "A", false},                               /* 91 characters */
        {std::string(90, 'A'), false},                     /* all in the alphabet: the last group runs past */
        {"**" + base64(hand_block()).substr(0, 84) + "A*AA", false}, /* a group broken by '*' */
        {"*" + base64(hand_block()) + "*", true},          /* outside characters skipped one at a time */
        {"", false},
    };
    for (const Case &c : cases) {
        DeviceStatusBlock block;
        std::memset(&block, 0x5A, sizeof block);
        EXPECT_EQ(LMS_DecodeStatusField(c.text.c_str(), &block), c.ok) << c.text;
        if (c.ok) {
            const std::vector<BYTE> want = hand_block();
            EXPECT_EQ(std::memcmp(block.bytes, want.data(), 66), 0) << c.text;
            for (size_t i = 66; i < sizeof block.bytes; ++i)
                EXPECT_EQ(block.bytes[i], 0) << "the rest of the block is zero";
        } else {
            EXPECT_EQ(block.bytes[0], 0x5A) << "a failed decode leaves the block alone";
        }
    }
    /* '=' counts as 0: "AB==" is 0x00 0x10 0x00 */
    std::string padded = "**" + std::string(84, 'A') + "AB==";
    DeviceStatusBlock block{};
    ASSERT_TRUE(LMS_DecodeStatusField(padded.c_str(), &block));
    EXPECT_EQ(block.bytes[63], 0x00);
    EXPECT_EQ(block.bytes[64], 0x10);
    EXPECT_EQ(block.bytes[65], 0x00);
    EXPECT_FALSE(LMS_DecodeStatusField(nullptr, &block));
}

/* ---- Tables ---------------------------------------------------------------------- */

TEST_F(DeviceIdTest, StatusCodeToClassToWords)
{
    struct Case {
        DWORD code, statusClass, icon, w1, w2, w3;
    } cases[] = {
        {0, 7, 1, 0, 0x80, 0},        {68, 7, 1, 0, 0x80, 0},       {69, 4, 0, 0, 0, 0},
        {70, 9, 1, 0, 0, 0x8000000},  {83, 34, 1, 0, 0, 0x1000},    {92, 18, 1, 0, 0, 0x10000},
        {110, 12, 1, 0, 0, 0x2000},   {115, 40, 1, 0, 0, 0x20000000}, {117, 19, 1, 0, 0, 0x4000},
        {121, 21, 1, 0, 0x200000, 0}, {125, 20, 1, 0, 0, 0x4000},   {126, 13, 1, 0x8000, 0, 0},
        {131, 15, 1, 0x4000, 0, 0},   {135, 19, 1, 0, 0, 0x4000},   {136, 24, 1, 0x20, 0, 0},
        {137, 20, 1, 0, 0, 0x4000},   {139, 12, 1, 0, 0, 0x2000},   {140, 10, 1, 0, 0, 0x8000},
        {142, 11, 1, 0x200, 0, 0x1},  {143, 32, 1, 0, 0, 0x40000000}, {144, 23, 1, 0, 0, 0x40000},
        {145, 22, 1, 0, 0, 0x4000000}, {146, 32, 1, 0, 0, 0x40000000}, {147, 39, 0, 0, 0, 0x9},
        {150, 18, 1, 0, 0, 0x10000},  {152, 26, 1, 0, 0, 0x200000}, {153, 27, 1, 0x1000, 0, 0},
        {154, 28, 1, 0x2000, 0, 0},   {156, 29, 1, 0x40, 0, 0},     {159, 27, 1, 0x1000, 0, 0},
        {160, 0, 0, 0, 0, 0},         {175, 34, 1, 0, 0, 0x1000},   {177, 37, 0, 0, 0, 0x11},
        {179, 4, 0, 0, 0, 0},         {180, 39, 0, 0, 0, 0x9},      {185, 47, 0, 0, 0, 0x41},
        {187, 43, 2, 0, 0, 0x3},      {191, 44, 2, 0, 0, 0x3},      {194, 52, 0, 0, 0, 0x80},
        {195, 51, 2, 0x100, 0, 0x1},  {196, 49, 0, 0, 0, 0x1},      {201, 37, 0, 0, 0, 0x11},
        {210, 49, 0, 0, 0, 0x1},      {211, 0, 0, 0, 0, 0},         {212, 0, 0, 0, 0, 0},
        {0xFFFFFFFF, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LMS_StatusClass(c.code, 0), c.statusClass) << c.code;
        EXPECT_EQ(LMS_StatusClass(c.code, 2), c.statusClass) << "the three maps are equal";
        DWORD icon = 99, words[3] = {9, 9, 9};
        LMS_StatusClassWords(c.statusClass, &icon, words);
        EXPECT_EQ(icon, c.icon) << c.code;
        EXPECT_EQ(words[0], c.w1) << c.code;
        EXPECT_EQ(words[1], c.w2) << c.code;
        EXPECT_EQ(words[2], c.w3) << c.code;
    }
    EXPECT_EQ(LMS_StatusClass(145, 3), 0u) << "a selector above 2 is outside the tables";
    /* classes of the table no code maps to */
    DWORD icon = 0, words[3];
    ASSERT_TRUE(LMS_StatusClassWords(48, &icon, words));
    EXPECT_EQ(icon, 2u);
    EXPECT_EQ(words[0], 0x200u);
    ASSERT_TRUE(LMS_StatusClassWords(33, &icon, words));
    EXPECT_EQ(words[2], 0x800000u);
    EXPECT_FALSE(LMS_StatusClassWords(50, &icon, words));
}

TEST_F(DeviceIdTest, PaperAndMediaTables)
{
    struct Paper {
        DWORD code, size, tray, longEdge, shortEdge, flags;
    } papers[] = {
        {1, 8, 24, 4200, 2970, 3},        {2, 9, 25, 2970, 2100, 3},        {3, 11, 26, 2100, 1480, 3},
        {4, 12, 45, 3640, 2570, 3},       {5, 13, 46, 2570, 1820, 3},       {6, 1, 1, 2794, 2159, 3},
        {7, 4, 10001, 4318, 2794, 3},     {8, 41, 10002, 3302, 2159, 3},    {9, 5, 2, 3556, 2159, 3},
        {10, 1234, 10012, 4530, 3280, 3}, {11, 58, 10009, 4572, 3048, 3},   {12, 1236, 10011, 4572, 3200, 3},
        {13, 7, 10014, 1842, 2667, 3},    {14, 6, 10, 2159, 1397, 3},       {15, 43, 10003, 1480, 1000, 3},
        {16, 69, 10015, 2000, 1480, 3},   {17, 20, 5, 2413, 1048, 3},       {18, 37, 12, 1905, 984, 3},
        {19, 28, 66, 2290, 1620, 3},      {20, 27, 70, 2200, 1100, 3},      {21, 31, 10015, 1620, 1140, 3},
        {22, 1237, 10015, 1480, 980, 3},  {23, 91, 10015, 2350, 1050, 3},   {24, 1239, 10015, 2350, 1200, 3},
        {25, 256, 10004, 0xFFFFFFFF, 0xFFFFFFFF, 1}, {26, 1238, 10015, 0xFFFFFFFF, 0xFFFFFFFF, 1},
        {27, 73, 10015, 2350, 1200, 3},   {28, 9, 25, 2100, 2970, 2},       {29, 4, 10001, 2794, 4318, 3},
        {30, 37, 12, 984, 1905, 2},       {31, 27, 70, 1100, 2200, 2},      {32, 31, 10015, 1140, 1620, 2},
        {33, 1237, 10015, 980, 1480, 2},  {0, 0xFFFF, 10000, 0xFFFFFFFF, 0xFFFFFFFF, 3},
        {34, 0xFFFF, 10000, 0xFFFFFFFF, 0xFFFFFFFF, 3},
    };
    for (const Paper &p : papers) {
        const TrayPaper &row = LMS_TrayPaper(p.code);
        EXPECT_EQ(row.sizeCode, p.size) << p.code;
        EXPECT_EQ(row.trayCode, p.tray) << p.code;
        EXPECT_EQ(row.longEdge, p.longEdge) << p.code;
        EXPECT_EQ(row.shortEdge, p.shortEdge) << p.code;
        EXPECT_EQ(row.feedFlags, p.flags) << p.code;
    }
    const DWORD media[][3] = {
        {1, 0, 1},    {2, 42, 32},  {3, 6, 3},    {4, 1, 4},    {5, 39, 5},   {6, 4, 6},    {7, 5, 7},
        {8, 23, 8},   {9, 10, 9},   {10, 13, 10}, {11, 12, 11}, {12, 24, 12}, {13, 19, 13}, {14, 3, 14},
        {15, 7, 15},  {16, 19, 16}, {17, 29, 17}, {18, 19, 18}, {19, 19, 19}, {20, 33, 20}, {21, 19, 21},
        {22, 31, 22}, {23, 35, 23}, {24, 32, 24}, {25, 41, 25}, {26, 34, 26}, {27, 36, 27}, {28, 37, 28},
        {29, 45, 29}, {30, 3, 30},  {31, 40, 31}, {0, 15, 0},   {32, 15, 0},
    };
    for (const auto &m : media) {
        EXPECT_EQ(LMS_TrayMedia(m[0]).binCode, m[1]) << m[0];
        EXPECT_EQ(LMS_TrayMedia(m[0]).trayCode, m[2]) << m[0];
    }
}

/* ---- The whole block ----------------------------------------------------------------- */

TEST_F(DeviceIdTest, HandLaidBlockSpreadOverTheValues)
{
    MonitorPort *p = usb();
    LMS_ParseDeviceId(device_id(sts_of(hand_block())).c_str(), p);

    EXPECT_EQ(word(p, "FWStatus"), 145u);
    EXPECT_EQ(word(p, "ErrHWError"), 0x00010002u);
    EXPECT_EQ(word(p, "ErrHWErrorDetail"), 0x01020304u);
    EXPECT_EQ(word(p, "PrinterMemory"), 262144u);
    EXPECT_EQ(word(p, "ErrCoverOpen"), 2u) << "5 XOR 7";
    EXPECT_EQ(value(p, "TonerRemain"), (std::vector<BYTE>{64, 254, 32, 254}));
    EXPECT_EQ(value(p, "CRURemain"), (std::vector<BYTE>{16, 48, 80, 0})) << "drums at 29, 27, 25";
    EXPECT_EQ(word(p, "ErrPaperJam"), 0x10u);
    EXPECT_EQ(value(p, "ErrSupplies"), (std::vector<BYTE>{10, 6, 12, 17}));
    EXPECT_EQ(value(p, "ErrPeriodicChange"), (std::vector<BYTE>{7, 6, 3, 17}))
        << "bytes 1 and 3 carry the supply codes of supplies 1 and 3";
    const std::vector<BYTE> bins = {
        2, 0, 0, 0,                                      /* two trays present */
        0xD1, 0x07, 0x01, 0x00, 0x09, 0x00, 0xFD, 42, 0, 0, 0, 0, /* 2001: state 1, A4 (9), level 253, media 42 */
        0x01, 0x00, 0xD1, 0x07, 0x08, 0x00, 0x00, 15, 0, 0, 0, 0, /* 1: state 2001, A3 (8), level 0, media 15 */
    };
    EXPECT_EQ(value(p, "PrinterBinConfig"), bins);
    EXPECT_EQ(value(p, "ErrNoPaper2"), (std::vector<BYTE>{0x01, 0x00, 0x05, 0x00, 0x01, 0, 0, 0}));
    const std::vector<BYTE> options = {2, 0, 0, 0, 0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0,
                                       0x59, 0x1B, 0x59, 0x1B, 1, 0, 0, 0};
    EXPECT_EQ(value(p, "PrinterOptConfig"), options);
    EXPECT_EQ(value(p, "PrinterStatus"), le32s({0, 0, 0x4000000})) << "class 22, no job queued";
    EXPECT_EQ(word(p, "IconState"), 1u);
    EXPECT_EQ(LMS_LookupVariable("CurrentFeeder", p)->value, nullptr) << "set only while jobs are queued";
    EXPECT_EQ(p->deviceBlockKB, 4);
    EXPECT_EQ(p->deviceFreeBlocks, 10);
    EXPECT_EQ(p->deviceFreeBytes, 40960u);
    EXPECT_EQ(p->devicePrinting, 0u);

    const DeviceInfoBlock &info = p->deviceInfo;
    EXPECT_STREQ(info.systemName, "Lumaset K4100");
    EXPECT_EQ(info.memoryMB, 256u);
    EXPECT_EQ(info.memoryKB, 262144u);
    EXPECT_EQ(info.duplexUnit, 1);
    EXPECT_EQ(info.hardDisk, 1);
    EXPECT_EQ(info.ramDisk, 1);
    EXPECT_EQ(info.trayCount, 2u);
    const DWORD row0[8] = {1, 5, 1, 32, 25, 2100, 2970, 3};
    const DWORD row1[8] = {2, 3, 2, 0, 24, 2970, 4200, 3};
    EXPECT_EQ(std::memcmp(&info.trays[0], row0, 32), 0);
    EXPECT_EQ(std::memcmp(&info.trays[1], row1, 32), 0);

    EXPECT_EQ(std::string(reinterpret_cast<const char *>(value(p, "PrinterModel").data())), "OSTREL Lumaset K4100");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(value(p, "PrinterManufacturer").data())), "OSTREL");
    EXPECT_EQ(value(p, "EmulationInfo"), le32s({0})) << "the model's own languages are not in the table";
}

TEST_F(DeviceIdTest, PaperProblemAtAnEmptyFeederWithJobsQueuedIsPaperOut)
{
    MonitorPort *p = usb();
    ASSERT_TRUE(LMJ_QueueJob(7, p));
    LMS_ParseDeviceId(device_id(sts_of(hand_block())).c_str(), p);
    EXPECT_EQ(value(p, "PrinterStatus"), le32s({0, 0, 0x800000}));
    EXPECT_EQ(word(p, "CurrentFeeder"), 1u);
    /* the same with the feeding tray holding paper (level 253): the paper problem stays */
    std::vector<BYTE> b = hand_block();
    b[54] = 0x04; /* feeding tray index 0: the manual feeder 2001 */
    LMS_ParseDeviceId(device_id(sts_of(b)).c_str(), p);
    EXPECT_EQ(value(p, "PrinterStatus"), le32s({0, 0, 0x4000000}));
    EXPECT_EQ(word(p, "CurrentFeeder"), 2001u);
}

TEST_F(DeviceIdTest, TrayWordTable)
{
    struct Case {
        WORD word;
        bool present;
        WORD state;
        BYTE level, media;
        WORD size;
    } cases[] = {
        {0x0000, false, 0, 0, 0, 0},
        {0x4000, true, 2001, 0, 15, 0xFFFF},  /* state 1 forces bit 13: level code 2 -> 0 */
        {0x5000, true, 2001, 254, 19, 0xFFFF}, /* state 1 with bit 12: level code 3 -> 254; media 16 -> 19 */
        {0x8000, true, 1, 253, 15, 0xFFFF},
        {0x9002, true, 1, 253, 19, 9},         /* bits 8-12 = 16 -> media 19; level code 1 */
        {0xA206, true, 1, 0, 42, 1},           /* level code 2 -> 0 */
        {0xF31F, true, 3, 254, 19, 27},        /* state 3, level code 3, media 19, paper 31 */
    };
    for (const Case &c : cases) {
        MonitorPort *p = usb();
        std::vector<BYTE> b = hand_block();
        b[36] = BYTE(c.word >> 8);
        b[37] = BYTE(c.word);
        b[42] = b[43] = b[48] = b[49] = 0;
        LMS_ParseDeviceId(device_id(sts_of(b)).c_str(), p);
        std::vector<BYTE> bins = value(p, "PrinterBinConfig");
        ASSERT_GE(bins.size(), 4u);
        EXPECT_EQ(bins[0], c.present ? 1 : 0) << std::hex << c.word;
        EXPECT_EQ(p->deviceInfo.trayCount, c.present ? 1u : 0u);
        EXPECT_EQ(p->deviceInfo.trays[0].number, 1u) << "the first row always reports number 1";
        EXPECT_EQ(p->deviceInfo.trays[0].kind, 5u) << "and kind 5";
        if (c.present) {
            ASSERT_EQ(bins.size(), 16u);
            const BYTE *e = bins.data() + 4;
            EXPECT_EQ(e[0] | e[1] << 8, 2001) << std::hex << c.word;
            EXPECT_EQ(e[2] | e[3] << 8, c.state) << std::hex << c.word;
            EXPECT_EQ(e[4] | e[5] << 8, c.size) << std::hex << c.word;
            EXPECT_EQ(e[6], c.level) << std::hex << c.word;
            EXPECT_EQ(e[7], c.media) << std::hex << c.word;
        }
        LMP_ClosePort(p);
    }
}

TEST_F(DeviceIdTest, SupplyErrorPriorities)
{
    struct Case {
        WORD word;
        BYTE code;
    } cases[] = {
        {0x0000, 1}, {0x0001, 10}, {0x0002, 255}, {0x0003, 0}, {0x0004, 3},  {0x0005, 10}, {0x0008, 11},
        {0x000C, 3}, {0x0010, 12}, {0x0020, 18},  {0x0040, 7},  {0x0080, 8},  {0x8000, 9},  {0x8040, 7},
        {0x7703, 6}, {0x7701, 17}, {0xF703, 6},   {0x7702, 255}, {0x7707, 6},
    };
    for (const Case &c : cases) {
        MonitorPort *p = usb();
        std::vector<BYTE> b = hand_block();
        b[17] = BYTE(c.word >> 8);
        b[18] = BYTE(c.word);
        LMS_ParseDeviceId(device_id(sts_of(b)).c_str(), p);
        EXPECT_EQ(value(p, "ErrSupplies").at(0), c.code) << std::hex << c.word;
        LMP_ClosePort(p);
    }
}

TEST_F(DeviceIdTest, OptionListEditing)
{
    MonitorPort *p = usb();
    EXPECT_TRUE(LMS_RemoveOption(1, 1, p)) << "no list: an empty one is made";
    EXPECT_EQ(value(p, "PrinterOptConfig"), le32s({0}));
    EXPECT_FALSE(LMS_RemoveOption(1, 1, p));
    EXPECT_TRUE(LMS_AddOption(7001, 7001, 1, p));
    EXPECT_TRUE(LMS_AddOption(1, 1, 0, p)) << "no place before a lower code: appended";
    EXPECT_TRUE(LMS_AddOption(3001, 3001, 1, p)) << "after 7001, whose successor 1 is below";
    EXPECT_FALSE(LMS_AddOption(3001, 3001, 9, p)) << "already there";
    EXPECT_TRUE(LMS_AddOption(6001, 6001, 0, p));
    const std::vector<BYTE> want = {4, 0, 0, 0,                                    /* count */
                                    0x59, 0x1B, 0x59, 0x1B, 1, 0, 0, 0,            /* 7001 */
                                    0x71, 0x17, 0x71, 0x17, 0, 0, 0, 0,            /* 6001 */
                                    0xB9, 0x0B, 0xB9, 0x0B, 1, 0, 0, 0,            /* 3001 */
                                    0x01, 0x00, 0x01, 0x00, 0, 0, 0, 0};           /* 1 */
    EXPECT_EQ(value(p, "PrinterOptConfig"), want);
    EXPECT_TRUE(LMS_RemoveOption(6001, 6001, p));
    EXPECT_EQ(value(p, "PrinterOptConfig").size(), 28u);
    EXPECT_FALSE(LMS_AddOption(1, 1, 0, nullptr));
}

TEST_F(DeviceIdTest, IdleBlocksReleaseAndFinishJobs)
{
    MonitorPort *p = usb();
    std::vector<BYTE> idle = hand_block();
    idle[3] = 187; /* class 43: idle */
    ASSERT_TRUE(LMJ_QueueJob(5, p));
    const std::string text = device_id(sts_of(idle));
    LMS_ParseDeviceId(text.c_str(), p);
    EXPECT_EQ(p->jobEndCount, 1u);
    EXPECT_EQ(p->jobEndSeen, 1u);
    EXPECT_EQ(p->devicePrinting, 1u) << "class 43 counts as printing for the spooler";
    LMS_ParseDeviceId(text.c_str(), p);
    EXPECT_EQ(p->jobEndCount, 2u);
    ASSERT_NE(p->jobQueueHead, nullptr);
    LMS_ParseDeviceId(text.c_str(), p);
    EXPECT_EQ(p->jobEndCount, 0u);
    EXPECT_EQ(p->jobQueueHead, nullptr) << "the third idle block in a row finished the jobs";

    /* a busy block breaks the row */
    ASSERT_TRUE(LMJ_QueueJob(6, p));
    LMS_ParseDeviceId(text.c_str(), p);
    LMS_ParseDeviceId(device_id(sts_of(hand_block())).c_str(), p);
    EXPECT_EQ(p->jobEndCount, 0u);

    /* releaseOnIdle: the queued jobs are released (the queue stays) at the first idle block without a worker */
    p->releaseOnIdle = 1;
    p->idleSkip = 1;
    LMS_ParseDeviceId(text.c_str(), p);
    EXPECT_EQ(p->releaseOnIdle, 0u);
    EXPECT_EQ(p->idleSkip, 1u);
    EXPECT_EQ(word(p, "PrinterQueue"), 0u);
    EXPECT_NE(p->jobQueueHead, nullptr);
}

/* ---- Fields ---------------------------------------------------------------------------- */

TEST_F(DeviceIdTest, FieldWalkTable)
{
    struct Case {
        std::string id;
        const char *model;
        const char *sysName;
        const char *maker;
        bool statusRead;
    } cases[] = {
        {"MFG:OSTREL;MDL:Lumaset K4100;", "OSTREL Lumaset K4100", "Lumaset K4100", "OSTREL", false},
        {"MANUFACTURER:Maker;MDL:Lumaset K4100", "OSTREL Lumaset K4100", "Lumaset K4100", "Maker", false},
        {"mfg:lower;MDL:Lumaset K4100x;", "Lumaset K4100x", "Lumaset K4100x", nullptr, false},
        {"MDL:" + std::string(40, 'M') + ";", nullptr, nullptr, nullptr, false},
        {"MODEL:Lumaset K4100;", nullptr, nullptr, nullptr, false}, /* MODEL: is not taken here */
        {"MFG:A;MFG:B;", nullptr, nullptr, "B", false},             /* a doubled field: the last wins */
        {"XYZ:1;STS:" + sts_of(hand_block()) + ";", nullptr, nullptr, nullptr, true},
        {"STS:" + sts_of(hand_block()) + "Q;", nullptr, nullptr, nullptr, false}, /* 91 characters */
        {"STS:" + std::string(90, '!') + ";", nullptr, nullptr, nullptr, true},   /* nothing in the alphabet */
        {";;;:;", nullptr, nullptr, nullptr, false},
        {"MFG:" + std::string(300, 'x') + ";", nullptr, nullptr, "", false},
    };
    cases[3].model = cases[3].id.c_str() + 4;
    for (Case &c : cases) {
        MonitorPort *p = usb();
        LMS_ParseDeviceId(c.id.c_str(), p);
        std::vector<BYTE> model = value(p, "PrinterModel");
        if (c.model) {
            ASSERT_EQ(model.size(), 64u) << c.id;
            std::string want = c.model;
            want = want.substr(0, want.find(';'));
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(model.data())), want.substr(0, 63)) << c.id;
        }
        if (c.sysName) {
            EXPECT_STREQ(p->deviceInfo.systemName, c.sysName) << c.id;
        }
        if (std::string(c.id).rfind("MDL:MMMM", 0) == 0) {
            EXPECT_EQ(std::strlen(p->deviceInfo.systemName), 31u) << "cut at the 32-byte system name";
        }
        std::vector<BYTE> maker = value(p, "PrinterManufacturer");
        if (c.maker && *c.maker) {
            ASSERT_EQ(maker.size(), 32u);
            EXPECT_EQ(std::string(reinterpret_cast<const char *>(maker.data())), c.maker) << c.id;
        } else if (c.maker) {
            ASSERT_EQ(maker.size(), 32u);
            EXPECT_EQ(std::strlen(reinterpret_cast<const char *>(maker.data())), 31u) << "cut at 31 characters";
        }
        EXPECT_EQ(LMS_LookupVariable("FWStatus", p)->value != nullptr, c.statusRead) << c.id;
        LMP_ClosePort(p);
    }
}

TEST_F(DeviceIdTest, DeviceIdOver255Characters)
{
    MonitorPort *p = usb();
    std::string id = "MFG:OSTREL;DES:" + std::string(400, 'd') + ";MDL:Lumaset K4100;STS:" + sts_of(hand_block()) + ";";
    ASSERT_GT(id.size(), 255u);
    LMS_ParseDeviceId(id.c_str(), p);
    EXPECT_EQ(word(p, "FWStatus"), 145u);
    EXPECT_STREQ(p->deviceInfo.systemName, "Lumaset K4100");
}

TEST_F(DeviceIdTest, CommandSetTable)
{
    struct Case {
        const char *cmd;
        std::vector<DWORD> codes;
    } cases[] = {
        {"PJL,PCLXL;", {}},
        {"ESCPAGE,LIPS;", {0, 5}},
        {"LIPSESCPAGE,LIPS", {0, 5}},
        {"lips,escpage", {}},
        {"ESCPAG", {}},
        {",,,", {}},
        {"", {}},
    };
    for (const Case &c : cases) {
        MonitorPort *p = usb();
        LMS_ParseCommandSet(c.cmd, p);
        std::vector<BYTE> want = le32s({DWORD(c.codes.size())});
        for (DWORD code : c.codes) {
            std::vector<BYTE> w = le32s({code});
            want.insert(want.end(), w.begin(), w.end());
        }
        EXPECT_EQ(value(p, "EmulationInfo"), want) << c.cmd;
        LMP_ClosePort(p);
    }
}

TEST_F(DeviceIdTest, ForeignDeviceIdTakesOnlyMakerAndModel)
{
    MonitorPort *p = usb();
    LMS_ParseForeignDeviceId(("MFG:Other;MODEL:Other 1;STS:" + sts_of(hand_block()) + ";").c_str(), p);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(value(p, "PrinterModel").data())), "Other 1");
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(value(p, "PrinterManufacturer").data())), "Other");
    EXPECT_EQ(LMS_LookupVariable("FWStatus", p)->value, nullptr);
}

/* ---- The "LM_" values -------------------------------------------------------------------- */

TEST_F(DeviceIdTest, LmValuesAnswerThePortBoundLast)
{
    MonitorPort *p = usb();
    DWORD size = 0;
    EXPECT_TRUE(LMP_LmValuesStale(p)) << "never bound";
    EXPECT_EQ(LMP_AnswerLmValue(u"LM_InputTray", nullptr, 0, &size), 0);
    LMS_ParseDeviceId(device_id(sts_of(hand_block())).c_str(), p);
    EXPECT_FALSE(LMP_LmValuesStale(p));

    struct Case {
        const char16_t *name;
        DWORD size;
    } cases[] = {{u"GetTime", 4},        {u"LM_SysName", 32},     {u"LM_MemorySizeInKByte", 4},
                 {u"LM_MemorySizeInMByte", 4}, {u"LM_HardDisk", 2}, {u"LM_RamDisk", 2},
                 {u"LM_DuplexModule", 2}, {u"LM_InputTray", 68}};
    for (const Case &c : cases) {
        EXPECT_EQ(LMP_AnswerLmValue(c.name, nullptr, 0, &size), 1);
        EXPECT_EQ(size, c.size);
    }
    EXPECT_EQ(LMP_AnswerLmValue(u"lm_sysname", nullptr, 0, &size), 0) << "names are case-sensitive";
    EXPECT_EQ(LMP_AnswerLmValue(u"LM_Nothing", nullptr, 0, &size), 0);
    DWORD kb = 0;
    EXPECT_EQ(LMP_AnswerLmValue(u"LM_MemorySizeInKByte", &kb, 4, &size), 1);
    EXPECT_EQ(kb, 262144u);
    BYTE trays[200] = {};
    EXPECT_EQ(LMP_AnswerLmValue(u"LM_InputTray", trays, sizeof trays, &size), 1);
    EXPECT_EQ(size, 68u) << "at most the value's size";
    const DWORD want[17] = {2, 1, 5, 1, 32, 25, 2100, 2970, 3, 2, 3, 2, 0, 24, 2970, 4200, 3};
    EXPECT_EQ(std::memcmp(trays, want, sizeof want), 0);
    char name[4] = {};
    EXPECT_EQ(LMP_AnswerLmValue(u"LM_SysName", name, 3, &size), 1);
    EXPECT_EQ(std::string(name), "Lum");

    /* stale after 1000 ms, for another port, and once the bound port is gone */
    plat::clock_advance(999);
    EXPECT_FALSE(LMP_LmValuesStale(p));
    plat::clock_advance(1);
    EXPECT_TRUE(LMP_LmValuesStale(p));
    LMS_BindLmValues(p);
    HANDLE other = nullptr;
    ASSERT_TRUE(open(u"USB002", &other));
    EXPECT_TRUE(LMP_LmValuesStale(rec(other))) << "the table answers for another port";
    LMP_ClosePort(p);
    EXPECT_EQ(LMP_AnswerLmValue(u"LM_SysName", nullptr, 0, &size), 0) << "unbound when its port went";
}

/* ---- The device-ID read --------------------------------------------------------------------- */

TEST_F(DeviceIdTest, DeviceIdReadThroughThePortMonitor)
{
    MonitorPort *p = usb();
    p->modelMask = 0;
    /* valid: ends with ';' after trailing spaces */
    plat::portmon_set_device_id(device_id(sts_of(hand_block())) + "   ");
    EXPECT_TRUE(LMS_QueryDeviceId(p));
    EXPECT_TRUE(LMP_TestState(p, ST_IDENTIFIED));
    EXPECT_TRUE(LMP_TestState(p, ST_FRESH));
    EXPECT_FALSE(LMP_TestState(p, ST_PORT_OPEN)) << "the port opened for the read is closed again";
    EXPECT_EQ(word(p, "FWStatus"), 145u);
    EXPECT_EQ(plat::portmon_controls().back(), "0x16000C in=-1");

    /* without its closing ';' the text is ignored */
    LMP_ClearState(p, ST_FRESH);
    plat::portmon_set_device_id("MFG:OSTREL;MDL:Other");
    EXPECT_FALSE(LMS_QueryDeviceId(p));
    EXPECT_TRUE(LMP_TestState(p, ST_IDENTIFIED)) << "nothing changed";
    plat::portmon_set_device_id("MFG:OSTREL;MDL:Lumaset K4100;" + std::string(257, ' '));
    EXPECT_FALSE(LMS_QueryDeviceId(p)) << "more than 256 trailing spaces";

    /* a device that stops answering: shown once as not answering */
    plat::portmon_set_device_id("", false);
    EXPECT_FALSE(LMS_QueryDeviceId(p));
    EXPECT_TRUE(LMP_TestState(p, ST_UNREACHABLE));
    EXPECT_FALSE(LMP_TestState(p, ST_IDENTIFIED));
    EXPECT_EQ(value(p, "PrinterStatus"), le32s({0, 0x100, 0}));
    EXPECT_EQ(p->portMode, 0u);
    /* the next answer clears it and marks the state fresh */
    plat::portmon_set_device_id(device_id(sts_of(hand_block())));
    EXPECT_TRUE(LMS_QueryDeviceId(p));
    EXPECT_FALSE(LMP_TestState(p, ST_UNREACHABLE));
    EXPECT_TRUE(LMP_TestState(p, ST_FRESH));

    /* another model */
    plat::portmon_set_device_id("MFG:Other;MDL:Other 1;");
    EXPECT_FALSE(LMS_QueryDeviceId(p));
    EXPECT_FALSE(LMP_TestState(p, ST_IDENTIFIED));
    EXPECT_EQ(value(p, "PrinterStatus"), le32s({0, 0x200, 0}));

    /* a port that cannot be opened for status */
    plat::portmon_fail(plat::PortmonCall::StartDocPort, 5);
    EXPECT_FALSE(LMS_QueryDeviceId(p));
    EXPECT_TRUE(LMP_TestState(p, ST_UNREACHABLE));

    /* ports that are not bidirectional have nothing to read */
    p->portKind = KIND_LOCAL;
    EXPECT_TRUE(LMS_QueryDeviceId(p));
}

/* The SNMP device-ID read of network ports is not built yet. */
TEST_F(DeviceIdTest, NetworkPortWithoutSnmpSessionCountsAsNotAnswering)
{
    MonitorPort *p = usb();
    p->portKind = KIND_NETWORK | KIND_BIDI;
    ASSERT_EQ(p->snmpSession, nullptr);
    EXPECT_FALSE(LMS_QueryDeviceId(p));
    EXPECT_TRUE(LMP_TestState(p, ST_UNREACHABLE));
    EXPECT_TRUE(plat::portmon_controls().empty()) << "the port monitor is not asked";
}

TEST_F(DeviceIdTest, QzusbPortsReadTheIdBehindItsLength)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"qzusb003", &h));
    MonitorPort *p = rec(h);
    p->portKind = KIND_USB | KIND_BIDI;
    plat::portmon_set_device_id("MFG:OSTREL;MDL:Lumaset K4100;");
    EXPECT_TRUE(LMS_QueryDeviceId(p));
    EXPECT_EQ(plat::portmon_controls().back(), "0x220414 in=-1");
    EXPECT_STREQ(p->deviceInfo.systemName, "Lumaset K4100");
}

TEST_F(DeviceIdTest, ThreeTriesWhileAJobIsOpen)
{
    MonitorPort *p = usb();
    LMP_SetState(p, ST_JOB_OPEN | ST_HEADER_DUE);
    plat::portmon_set_device_id("", false);
    const DWORD start = GetTickCount();
    EXPECT_FALSE(LMS_QueryDeviceId(p));
    EXPECT_EQ(plat::portmon_controls().size(), 3u);
    EXPECT_EQ(GetTickCount() - start, 2000u) << "1000 ms between tries";
    LMP_ClearState(p, ST_JOB_OPEN | ST_HEADER_DUE);
}

} // namespace
