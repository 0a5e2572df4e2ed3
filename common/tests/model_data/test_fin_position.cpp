/*
 * Finishing position translations: the corner and position tables by case
 * (straight or crossed sheet), the positions that need no case, positions a
 * setting does not know, and the round trip through the data manager: every
 * staple and punch code written with dma_SetValue, whose derived position
 * (326, 344) translates back to the code.
 */
#include "fin_position.h"
#include "test_mdl_support.h"

#include <tarvel/datamgr.h>

#include <plat/loader.h>

#include <vector>

using namespace mdl_test;

namespace {

class FinPosition : public MdlTest {};

/* Straight pairs (orientation, pages per sheet) and crossed ones. */
constexpr FinishingPositionQuery kStraight[] = {{1, 1, 0}, {1, 4, 0}, {1, 16, 0}, {2, 2, 0}, {2, 8, 0}, {2, 32, 0}};
constexpr FinishingPositionQuery kCrossed[] = {{1, 2, 0}, {1, 8, 0}, {1, 32, 0}, {2, 1, 0}, {2, 4, 0}, {2, 16, 0}};
constexpr FinishingPositionQuery kNeither[] = {{1, 3, 0}, {2, 0, 0}, {0, 1, 0}, {3, 2, 0}, {1, 64, 0}};

TEST_F(FinPosition, CornerPositions)
{
    const WORD straight[] = {0, 6, 8, 1, 2};
    const WORD crossed[] = {0, 5, 4, 3, 7};
    for (WORD position = 0; position <= 4; ++position) {
        for (FinishingPositionQuery q : kStraight) {
            q.position = position;
            WORD out = 99;
            ASSERT_EQ(FIN_TranslateCornerPosition(&q, &out), 0);
            EXPECT_EQ(out, straight[position]) << q.orientation << "/" << q.pagesPerSheet << "/" << position;
        }
        for (FinishingPositionQuery q : kCrossed) {
            q.position = position;
            WORD out = 99;
            ASSERT_EQ(FIN_TranslateCornerPosition(&q, &out), 0);
            EXPECT_EQ(out, crossed[position]) << q.orientation << "/" << q.pagesPerSheet << "/" << position;
        }
        for (FinishingPositionQuery q : kNeither) {
            q.position = position;
            WORD out = 99;
            /* Position 0 needs no case. */
            EXPECT_EQ(FIN_TranslateCornerPosition(&q, &out), position == 0 ? 0 : 1);
            EXPECT_EQ(out, position == 0 ? 0 : 99);
        }
    }
    FinishingPositionQuery q{2, 8, 1};
    WORD out = 0;
    ASSERT_EQ(FIN_TranslateCornerPosition(&q, &out), 0);
    EXPECT_EQ(out, 6) << "orientation 2 with 8 pages per sheet is straight";
    q.position = 5;
    EXPECT_EQ(FIN_TranslateCornerPosition(&q, &out), 1);
    EXPECT_EQ(FIN_TranslateCornerPosition(nullptr, &out), 1);
    EXPECT_EQ(FIN_TranslateCornerPosition(&q, nullptr), 1);
}

TEST_F(FinPosition, StapleAndPunchPositionTable)
{
    constexpr WORD kNo = 0xFFFF;
    struct Row {
        WORD position;
        WORD stapleA, stapleB, punchA, punchB;
    } rows[] = {
        {0x0000, 0, 0, 0, 0},       {0x0101, 3, 5, 2, 3},       {0x0202, 7, 1, 4, 1},
        {0x0303, 1, 3, 1, 2},       {0x0404, 5, 7, 3, 4},       {0x0103, 2, 4, kNo, kNo},
        {0x0104, 4, 6, kNo, kNo},   {0x0204, 6, 8, kNo, kNo},   {0x0203, 8, 2, kNo, kNo},
        {0x0606, 9, 9, 5, 5},       {0x0707, 10, 10, kNo, kNo}, {0x0808, 11, 11, kNo, kNo},
        {0x0102, kNo, kNo, kNo, kNo}, {0x0505, kNo, kNo, kNo, kNo}, {0x0909, kNo, kNo, kNo, kNo},
    };
    auto check = [](WORD setting, const FinishingPositionQuery &base, WORD position, WORD expected) {
        FinishingPositionQuery q = base;
        q.position = position;
        WORD out = 99;
        int r = FIN_TranslatePosition(setting, &q, &out);
        if (expected == kNo) {
            EXPECT_EQ(r, 1) << setting << " " << std::hex << position;
            EXPECT_EQ(out, 99);
        } else {
            EXPECT_EQ(r, 0) << setting << " " << std::hex << position;
            EXPECT_EQ(out, expected) << setting << " " << std::hex << position;
        }
    };
    for (const Row &row : rows) {
        for (const FinishingPositionQuery &q : kStraight) {
            check(320, q, row.position, row.stapleA);
            check(341, q, row.position, row.punchA);
        }
        for (const FinishingPositionQuery &q : kCrossed) {
            check(320, q, row.position, row.stapleB);
            check(341, q, row.position, row.punchB);
        }
        /* Without a case only the positions that need none translate. */
        const bool noCase = row.position == 0 || row.position == 0x0606 || row.position == 0x0707 ||
                            row.position == 0x0808;
        for (const FinishingPositionQuery &q : kNeither) {
            check(320, q, row.position, noCase ? row.stapleA : kNo);
            check(341, q, row.position, noCase ? row.punchA : kNo);
        }
    }
    FinishingPositionQuery q{1, 1, 0x0103};
    WORD out = 0;
    EXPECT_EQ(FIN_TranslatePosition(341, &q, &out), 1) << "0x0103 is no punch position";
    EXPECT_EQ(FIN_TranslatePosition(326, &q, &out), 1) << "only 320 and 341 translate";
    EXPECT_EQ(FIN_TranslatePosition(320, nullptr, &out), 1);
    EXPECT_EQ(FIN_TranslatePosition(320, &q, nullptr), 1);
}

/*
 * The data manager stores 326 from 320 and 344 from 341 by orientation and
 * pages per sheet; the translation gives each code back.
 */
TEST_F(FinPosition, DataManagerPositionsTranslateBackToEveryCode)
{
    HMODULE dm = LoadLibraryW(u"tarveldm.dll");
    ASSERT_NE(dm, nullptr);
    /* Through the generic function type, as a binding by name does. */
    using Generic = void (*)();
    auto get = reinterpret_cast<DmaGetValueFn>(reinterpret_cast<Generic>(GetProcAddress(dm, "dma_GetValue")));
    auto set = reinterpret_cast<DmaSetValueFn>(reinterpret_cast<Generic>(GetProcAddress(dm, "dma_SetValue")));
    ASSERT_NE(get, nullptr);
    ASSERT_NE(set, nullptr);

    struct Setting {
        WORD code, position; /* 320 -> 326, 341 -> 344 */
        WORD codes;
    } settings[] = {{320, 326, 12}, {341, 344, 6}};
    std::vector<BYTE> image(5896);
    int checked = 0;
    for (const Setting &s : settings) {
        for (WORD orientation : {1, 2}) {
            for (WORD perSheet : {1, 2, 4, 8, 16, 32}) {
                for (WORD code = 0; code < s.codes; ++code) {
                    SCOPED_TRACE(std::to_string(s.code) + " code " + std::to_string(code) + " orientation " +
                                 std::to_string(orientation) + " per sheet " + std::to_string(perSheet));
                    SHORT orient = static_cast<SHORT>(orientation);
                    ASSERT_EQ(set(7, image.data(), nullptr, 2, 2, &orient), DMA_OK);
                    ASSERT_EQ(set(295, image.data(), nullptr, 3, 2, &perSheet), DMA_OK);
                    ASSERT_EQ(set(s.code, image.data(), nullptr, 3, 2, &code), DMA_OK);
                    WORD type = 0, kind = 0;
                    LONG size = 0;
                    BYTE slot[8] = {};
                    ASSERT_EQ(get(s.position, image.data(), nullptr, &type, &size, slot, &kind), DMA_OK);
                    FinishingPositionQuery q{orientation, perSheet, plat::load<WORD>(slot)};
                    WORD back = 0xFFFF;
                    ASSERT_EQ(FIN_TranslatePosition(s.code, &q, &back), 0) << std::hex << q.position;
                    EXPECT_EQ(back, code);
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, (12 + 6) * 2 * 6);
    FreeLibrary(dm);
}

} // namespace
