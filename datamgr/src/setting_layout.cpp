/*
 * The setting layout table (IdLayoutTable), its flag mask tables and the
 * direct index by identifier (IdLayoutIndex).  Everything here is constant data
 * built at compile time from the layout written as runs of consecutive
 * identifiers.  The data manager and the common library both compile this
 * file (see setting_layout.h); it depends only on plat/types.h.
 */
#include "tarvel/setting_layout.h"

#include <array>
#include <cstddef>

namespace {

/*
 * A run of consecutive identifiers: first-last, stored type, reported type
 * (0 = none), the first item's offset, the distance from one item to the
 * next (0: every item shares the offset, or a single item) and the capacity
 * for types 6 and 9.  Runs are listed in the group's own order.
 */
struct LayoutRun {
    WORD first;
    WORD last;
    WORD stored;
    WORD reported;
    ULONGLONG offset;
    ULONGLONG step;
    ULONGLONG capacity;
};

template <size_t R>
constexpr size_t RunItemCount(const LayoutRun (&runs)[R])
{
    size_t n = 0;
    for (const LayoutRun &r : runs)
        n += static_cast<size_t>(r.last - r.first + 1);
    return n;
}

/* Expands runs into an item list of N items and the end marker. */
template <size_t N, size_t R>
constexpr std::array<IdLayoutItem, N + 1> ExpandRuns(const LayoutRun (&runs)[R])
{
    std::array<IdLayoutItem, N + 1> items{};
    size_t n = 0;
    for (const LayoutRun &r : runs) {
        for (unsigned id = r.first; id <= r.last && n < N; ++id, ++n) {
            items[n] = IdLayoutItem{static_cast<WORD>(id), r.stored, r.reported, 0,
                                    r.offset + r.step * (id - r.first), r.capacity};
        }
    }
    return items; /* items[N] stays the all-zero end marker */
}

// clang-format off

/* Row 0, devmode: private settings 257-303. */
constexpr LayoutRun kRow0[] = {
    {257, 258, 3, 0, 220, 2, 0},   {259, 259, 6, 0, 224, 0, 64},  {260, 261, 5, 0, 288, 4, 0},
    {262, 263, 3, 0, 296, 2, 0},   {264, 264, 8, 3, 300, 0, 0},   {265, 266, 3, 0, 302, 2, 0},
    {267, 267, 8, 3, 308, 0, 0},   {268, 269, 3, 0, 310, 2, 0},   {270, 270, 8, 3, 316, 0, 0},
    {271, 271, 3, 0, 318, 0, 0},   {272, 272, 8, 3, 321, 0, 0},   {273, 273, 5, 0, 324, 0, 0},
    {274, 285, 2, 0, 328, 2, 0},   {286, 288, 8, 3, 372, 1, 0},   {291, 295, 8, 3, 375, 1, 0},
    {296, 296, 3, 0, 380, 0, 0},   {297, 298, 6, 0, 382, 0, 66},  {299, 299, 6, 0, 448, 0, 130},
    {300, 300, 8, 3, 578, 0, 0},   {301, 301, 5, 0, 580, 0, 0},   {302, 302, 8, 3, 584, 0, 0},
    {303, 303, 3, 0, 586, 0, 0},
};

/* Row 1, devmode: private settings 304-351 (first LOGFONTW at 588). */
constexpr LayoutRun kRow1[] = {
    {304, 304, 9, 0, 588, 0, 92},  {305, 305, 6, 0, 616, 0, 64},  {306, 307, 10, 0, 588, 16, 0},
    {308, 308, 8, 0, 608, 0, 0},   {309, 310, 10, 0, 596, 4, 0},  {311, 311, 10, 0, 596, 0, 0},
    {312, 318, 8, 0, 609, 1, 0},   {319, 319, 10, 0, 592, 0, 0},  {320, 323, 8, 3, 680, 1, 0},
    {324, 324, 3, 0, 684, 0, 0},   {325, 325, 8, 3, 686, 0, 0},   {326, 327, 3, 0, 688, 2, 0},
    {328, 328, 8, 3, 692, 0, 0},   {329, 329, 6, 0, 693, 0, 49},  {330, 332, 8, 3, 742, 1, 0},
    {333, 333, 3, 0, 746, 0, 0},   {334, 336, 8, 3, 748, 1, 0},   {338, 338, 6, 0, 752, 0, 18},
    {339, 339, 8, 3, 770, 0, 0},   {340, 340, 6, 0, 772, 0, 18},  {341, 343, 8, 3, 790, 1, 0},
    {344, 344, 3, 0, 794, 0, 0},   {345, 345, 8, 3, 796, 0, 0},   {346, 346, 8, 0, 797, 0, 0},
    {348, 351, 3, 0, 798, 2, 0},
};

/* Row 2, devmode: private settings 352-399 (second LOGFONTW at 816). */
constexpr LayoutRun kRow2[] = {
    {352, 356, 3, 0, 806, 2, 0},   {357, 357, 9, 0, 816, 0, 92},  {358, 358, 6, 0, 844, 0, 64},
    {359, 360, 10, 0, 816, 16, 0}, {361, 361, 8, 0, 836, 0, 0},   {362, 363, 10, 0, 824, 4, 0},
    {364, 364, 10, 0, 824, 0, 0},  {365, 371, 8, 0, 837, 1, 0},   {372, 372, 10, 0, 820, 0, 0},
    {373, 373, 5, 0, 908, 0, 0},   {374, 375, 6, 0, 930, 258, 258}, {376, 377, 8, 3, 1446, 1, 0},
    {379, 379, 8, 3, 1448, 0, 0},  {380, 380, 3, 0, 1450, 0, 0},  {381, 383, 8, 3, 1452, 1, 0},
    {384, 385, 3, 0, 1456, 2, 0},  {386, 387, 8, 3, 1460, 1, 0},  {388, 389, 3, 0, 306, 8, 0},
    {390, 391, 8, 3, 320, 32, 0},  {392, 394, 5, 0, 356, 0, 0},   {395, 397, 5, 0, 360, 0, 0},
    {398, 399, 5, 0, 364, 0, 0},
};

/* Row 3, devmode: private settings 400-447. */
constexpr LayoutRun kRow3[] = {
    {400, 400, 5, 0, 364, 0, 0},   {401, 403, 5, 0, 368, 0, 0},   {404, 406, 8, 3, 912, 1, 0},
    {407, 410, 3, 0, 916, 2, 0},   {411, 411, 3, 0, 926, 0, 0},   {412, 413, 8, 3, 924, 1, 0},
    {414, 414, 3, 0, 928, 0, 0},   {435, 436, 6, 0, 1462, 10, 10}, {437, 447, 8, 0, 1482, 1, 0},
};

/* Row 4, devmode: private settings 448-483. */
constexpr LayoutRun kRow4[] = {
    {448, 450, 8, 0, 1493, 1, 0},  {451, 452, 8, 0, 1500, 1, 0},  {453, 453, 3, 0, 1502, 0, 0},
    {454, 455, 8, 0, 1506, 1, 0},  {456, 456, 8, 3, 1504, 0, 0},  {457, 458, 8, 0, 1505, 3, 0},
    {459, 459, 8, 0, 1509, 0, 0},  {460, 461, 2, 0, 1510, 2, 0},  {462, 462, 5, 0, 1516, 0, 0},
    {463, 466, 8, 0, 1524, 8, 0},  {467, 467, 8, 0, 1549, 0, 0},  {468, 470, 3, 0, 1556, 2, 0},
    {471, 471, 8, 0, 1568, 0, 0},  {472, 472, 3, 0, 1576, 0, 0},  {473, 474, 8, 0, 1578, 1, 0},
    {475, 475, 3, 0, 1580, 0, 0},  {476, 476, 8, 0, 1582, 0, 0},  {477, 477, 5, 0, 1584, 0, 0},
    {478, 478, 3, 0, 1592, 0, 0},  {479, 480, 8, 0, 1594, 1, 0},  {481, 482, 3, 0, 1596, 2, 0},
    {483, 483, 8, 3, 749, 0, 0},
};

/* Row 5, devmode: flags 1281-1376 in the words at 288, 292 and 1516. */
constexpr LayoutRun kRow5[] = {
    {1281, 1283, 1, 0, 288, 0, 0}, {1284, 1284, 1, 5, 288, 0, 0}, {1285, 1295, 1, 0, 288, 0, 0},
    {1296, 1302, 1, 8, 288, 0, 0}, {1303, 1312, 1, 0, 288, 0, 0}, {1313, 1321, 1, 0, 292, 0, 0},
    {1322, 1322, 1, 3, 292, 0, 0}, {1323, 1331, 1, 0, 292, 0, 0}, {1332, 1332, 1, 3, 292, 0, 0},
    {1333, 1344, 1, 0, 292, 0, 0}, {1345, 1376, 1, 0, 1516, 0, 0},
};

/* Row 6, extension block: settings 1793-1887. */
constexpr LayoutRun kRow6[] = {
    {1793, 1794, 3, 0, 0, 2, 0},       {1795, 1795, 6, 0, 4, 0, 258},     {1796, 1796, 3, 0, 262, 0, 0},
    {1797, 1797, 6, 0, 264, 0, 82},    {1798, 1798, 6, 0, 346, 0, 166},   {1799, 1799, 6, 0, 512, 0, 522},
    {1800, 1804, 3, 0, 1034, 2, 0},    {1805, 1805, 6, 0, 1044, 0, 10},   {1806, 1806, 6, 0, 1054, 0, 58},
    {1807, 1812, 3, 0, 1112, 2, 0},    {1813, 1813, 6, 0, 1124, 0, 10},   {1814, 1815, 3, 0, 1134, 2, 0},
    {1816, 1816, 6, 0, 1138, 0, 120},  {1817, 1818, 6, 0, 1258, 42, 42},  {1819, 1820, 6, 0, 1342, 82, 82},
    {1821, 1821, 6, 0, 1506, 0, 418},  {1822, 1823, 6, 0, 1924, 62, 62},  {1824, 1824, 3, 0, 2048, 0, 0},
    {1825, 1828, 4, 0, 2052, 4, 0},    {1829, 1829, 6, 0, 2072, 0, 256},  {1830, 1830, 6, 0, 2328, 0, 258},
    {1831, 1831, 6, 0, 2586, 0, 50},   {1832, 1833, 6, 0, 2636, 258, 258}, {1834, 1853, 3, 0, 3152, 2, 0},
    {1854, 1854, 6, 0, 3196, 0, 2},    {1855, 1855, 5, 0, 3200, 0, 0},    {1856, 1856, 3, 0, 3204, 0, 0},
    {1857, 1857, 6, 0, 3206, 0, 522},  {1858, 1858, 6, 0, 3732, 0, 58},   {1859, 1860, 3, 0, 3790, 2, 0},
    {1861, 1862, 8, 0, 3800, 8, 0},    {1863, 1864, 2, 0, 3816, 2, 0},    {1865, 1865, 6, 0, 3824, 0, 58},
    {1866, 1867, 3, 0, 3888, 2, 0},    {1868, 1868, 6, 0, 3892, 0, 62},   {1869, 1875, 5, 0, 3960, 4, 0},
    {1876, 1876, 6, 0, 3992, 0, 258},  {1877, 1877, 6, 0, 2586, 0, 50},   {1878, 1878, 2, 0, 4256, 0, 0},
    {1879, 1879, 5, 0, 4260, 0, 0},    {1880, 1881, 8, 0, 4268, 1, 0},    {1882, 1887, 3, 0, 4276, 2, 0},
};

/* Row 7, extension block: flags 2305-2560, one word per 32 identifiers. */
constexpr LayoutRun kRow7[] = {
    {2305, 2336, 1, 0, 3960, 0, 0}, {2337, 2368, 1, 0, 3964, 0, 0}, {2369, 2400, 1, 0, 3968, 0, 0},
    {2401, 2432, 1, 0, 3972, 0, 0}, {2433, 2464, 1, 0, 3976, 0, 0}, {2465, 2496, 1, 0, 3980, 0, 0},
    {2497, 2528, 1, 0, 3984, 0, 0}, {2529, 2560, 1, 0, 4260, 0, 0},
};

/* Row 8, printer data: settings 4097-4371, the first 64 of them flags. */
constexpr LayoutRun kRow8[] = {
    {4097, 4128, 1, 0, 8, 0, 0},    {4129, 4160, 1, 0, 4444, 0, 0}, {4353, 4355, 8, 0, 3048, 1, 0},
    {4356, 4358, 8, 0, 4428, 1, 0}, {4359, 4360, 8, 0, 4436, 12, 0}, {4361, 4362, 8, 0, 4449, 11, 0},
    {4363, 4363, 8, 0, 3032, 0, 0}, {4364, 4364, 3, 0, 3040, 0, 0}, {4365, 4365, 3, 0, 888, 0, 0},
    {4366, 4366, 3, 0, 4736, 0, 0}, {4367, 4367, 8, 0, 4738, 0, 0}, {4368, 4368, 8, 0, 5304, 0, 0},
    {4369, 4369, 8, 0, 5432, 0, 0}, {4370, 4371, 3, 0, 5440, 2, 0},
};

/* Row 9, printer data: flags 4609-4640. */
constexpr LayoutRun kRow9[] = {
    {4609, 4640, 1, 0, 2988, 0, 0},
};

/* Row 10, printer data: settings 5121-5209. */
constexpr LayoutRun kRow10[] = {
    {5121, 5121, 6, 0, 18, 0, 66},     {5123, 5123, 3, 0, 884, 0, 0},     {5126, 5126, 3, 0, 890, 0, 0},
    {5127, 5127, 3, 0, 16, 0, 0},      {5129, 5129, 6, 0, 1134, 0, 50},   {5130, 5130, 6, 0, 1098, 0, 10},
    {5131, 5132, 3, 0, 1108, 2, 0},    {5134, 5135, 3, 0, 1120, 2, 0},    {5136, 5136, 3, 0, 1132, 0, 0},
    {5137, 5137, 3, 0, 1188, 0, 0},    {5138, 5138, 8, 0, 1196, 0, 0},    {5141, 5141, 6, 0, 1208, 0, 12},
    {5142, 5142, 3, 0, 1220, 0, 0},    {5143, 5143, 6, 0, 1222, 0, 12},   {5144, 5145, 3, 0, 1234, 2, 0},
    {5146, 5146, 3, 0, 1244, 0, 0},    {5147, 5147, 6, 0, 1246, 0, 258},  {5148, 5148, 6, 0, 1508, 0, 26},
    {5149, 5149, 8, 0, 1534, 0, 0},    {5150, 5150, 6, 0, 1536, 0, 66},   {5152, 5152, 6, 0, 2992, 0, 26},
    {5153, 5153, 8, 0, 3024, 0, 0},    {5155, 5157, 3, 0, 3034, 2, 0},    {5159, 5161, 6, 0, 3052, 34, 34},
    {5162, 5163, 8, 0, 3836, 8, 0},    {5164, 5165, 8, 0, 3845, 1, 0},    {5166, 5167, 6, 0, 3848, 66, 66},
    {5168, 5173, 1, 0, 3980, 4, 0},    {5174, 5174, 6, 0, 4004, 0, 66},   {5175, 5175, 6, 0, 4070, 0, 34},
    {5176, 5176, 6, 0, 4104, 0, 66},   {5177, 5177, 8, 0, 4170, 0, 0},    {5178, 5178, 3, 0, 4172, 0, 0},
    {5179, 5180, 6, 0, 4174, 50, 50},  {5181, 5182, 6, 0, 4274, 34, 34},  {5183, 5183, 8, 0, 4342, 0, 0},
    {5184, 5184, 6, 0, 4344, 0, 50},   {5185, 5185, 6, 0, 4394, 0, 34},   {5186, 5186, 1, 0, 4452, 0, 0},
    {5187, 5198, 3, 0, 4462, 2, 0},    {5199, 5201, 1, 0, 4560, 4, 0},    {5202, 5202, 8, 0, 4572, 0, 0},
    {5203, 5203, 1, 0, 4728, 0, 0},    {5204, 5204, 8, 0, 4739, 0, 0},    {5205, 5205, 8, 0, 5397, 0, 0},
    {5206, 5206, 8, 0, 5398, 0, 0},    {5207, 5207, 6, 0, 5400, 0, 26},   {5208, 5209, 6, 0, 5452, 346, 346},
};

/* Row 11, printer data: settings 5633-8215, in this order. */
constexpr LayoutRun kRow11[] = {
    {5633, 5642, 3, 0, 896, 2, 0},     {5643, 5647, 6, 0, 916, 30, 30},   {5648, 5648, 1, 0, 880, 0, 0},
    {5649, 5649, 3, 0, 886, 0, 0},     {5650, 5650, 1, 0, 1072, 0, 0},   {5651, 5651, 3, 0, 1112, 0, 0},
    {5652, 5652, 8, 0, 1602, 0, 0},    {5653, 5654, 3, 0, 1204, 2, 0},   {8201, 8201, 1, 0, 892, 0, 0},
    {8202, 8203, 3, 0, 0, 4, 0},       {8204, 8204, 3, 0, 2, 0, 0},      {8205, 8205, 5, 0, 1124, 0, 0},
    {8206, 8206, 1, 0, 12, 0, 0},      {8207, 8207, 5, 0, 1504, 0, 0},   {6145, 6159, 3, 0, 1608, 10, 0},
    {6160, 6174, 3, 0, 1610, 10, 0},   {6175, 6189, 3, 0, 1612, 10, 0},  {6190, 6204, 3, 0, 1614, 10, 0},
    {6205, 6219, 3, 0, 1616, 10, 0},   {6220, 6234, 3, 0, 4574, 10, 0},  {6235, 6249, 3, 0, 4576, 10, 0},
    {6250, 6264, 3, 0, 4578, 10, 0},   {6265, 6279, 3, 0, 4580, 10, 0},  {6280, 6294, 3, 0, 4582, 10, 0},
    {6295, 6324, 3, 0, 4744, 2, 0},    {6401, 6410, 6, 0, 2484, 50, 50}, {6411, 6420, 6, 0, 4804, 50, 50},
    {5889, 5898, 3, 0, 1758, 68, 0},   {5899, 5908, 3, 0, 3156, 68, 0},  {5909, 5918, 3, 0, 1760, 68, 0},
    {5919, 5928, 3, 0, 3158, 68, 0},   {5929, 5938, 6, 0, 1762, 68, 64}, {5939, 5948, 6, 0, 3160, 68, 64},
    {8208, 8208, 3, 0, 2438, 0, 0},    {8209, 8209, 6, 0, 2440, 0, 44},  {8210, 8210, 3, 0, 2984, 0, 0},
    {8211, 8211, 8, 0, 3154, 0, 0},    {8212, 8212, 6, 0, 4492, 0, 66},  {8213, 8213, 6, 0, 5312, 0, 84},
    {8214, 8214, 8, 0, 5396, 0, 0},    {8215, 8215, 3, 0, 5444, 0, 0},
};

/* Row 12, devmode: the public DEVMODEW fields 1-25. */
constexpr LayoutRun kRow12[] = {
    {1, 1, 6, 0, 0, 0, 64},        {2, 5, 3, 0, 64, 2, 0},        {6, 6, 5, 0, 72, 0, 0},
    {7, 13, 2, 0, 76, 2, 0},       {14, 14, 5, 0, 90, 0, 0},      {15, 16, 2, 0, 92, 2, 0},
    {17, 18, 2, 0, 98, 2, 0},      {19, 19, 6, 0, 102, 0, 64},    {20, 21, 2, 0, 90, 6, 0},
    {22, 25, 5, 0, 188, 4, 0},
};

// clang-format on

static_assert(RunItemCount(kRow0) == 45 && RunItemCount(kRow1) == 46 && RunItemCount(kRow2) == 47 &&
              RunItemCount(kRow3) == 28 && RunItemCount(kRow4) == 36 && RunItemCount(kRow5) == 96 &&
              RunItemCount(kRow6) == 95 && RunItemCount(kRow7) == 256 && RunItemCount(kRow8) == 83 &&
              RunItemCount(kRow9) == 32 && RunItemCount(kRow10) == 79 && RunItemCount(kRow11) == 297 &&
              RunItemCount(kRow12) == 25,
              "item counts of the thirteen groups");

constexpr auto kItems0 = ExpandRuns<45>(kRow0);
constexpr auto kItems1 = ExpandRuns<46>(kRow1);
constexpr auto kItems2 = ExpandRuns<47>(kRow2);
constexpr auto kItems3 = ExpandRuns<28>(kRow3);
constexpr auto kItems4 = ExpandRuns<36>(kRow4);
constexpr auto kItems5 = ExpandRuns<96>(kRow5);
constexpr auto kItems6 = ExpandRuns<95>(kRow6);
constexpr auto kItems7 = ExpandRuns<256>(kRow7);
constexpr auto kItems8 = ExpandRuns<83>(kRow8);
constexpr auto kItems9 = ExpandRuns<32>(kRow9);
constexpr auto kItems10 = ExpandRuns<79>(kRow10);
constexpr auto kItems11 = ExpandRuns<297>(kRow11);
constexpr auto kItems12 = ExpandRuns<25>(kRow12);

/* Mask rows of one flag range, in identifier order, and the end row. */
template <WORD First, WORD Last>
constexpr std::array<FlagMaskRow, Last - First + 2> MakeFlagMasks()
{
    std::array<FlagMaskRow, Last - First + 2> rows{};
    for (unsigned id = First; id <= Last; ++id)
        rows[id - First] = FlagMaskRow{static_cast<WORD>(id), 0, DWORD{1} << ((id - First) % 32)};
    return rows;
}

constexpr auto kMasks1281 = MakeFlagMasks<1281, 1376>();
constexpr auto kMasks2305 = MakeFlagMasks<2305, 2560>();
constexpr auto kMasks4097 = MakeFlagMasks<4097, 4160>();
constexpr auto kMasks4609 = MakeFlagMasks<4609, 4640>();

} // namespace

constexpr IdLayoutGroup IdLayoutTable[ID_LAYOUT_GROUP_COUNT + 1] = {
    {SRK_DEVMODE, 257, 303, 0, kItems0.data()},
    {SRK_DEVMODE, 304, 351, 0, kItems1.data()},
    {SRK_DEVMODE, 352, 399, 0, kItems2.data()},
    {SRK_DEVMODE, 400, 447, 0, kItems3.data()},
    {SRK_DEVMODE, 448, 483, 0, kItems4.data()},
    {SRK_DEVMODE, 1281, 1376, 0, kItems5.data()},
    {SRK_EXTENSION, 1793, 1887, 0, kItems6.data()},
    {SRK_EXTENSION, 2305, 2560, 0, kItems7.data()},
    {SRK_PRINTERDATA, 4097, 4371, 0, kItems8.data()},
    {SRK_PRINTERDATA, 4609, 4640, 0, kItems9.data()},
    {SRK_PRINTERDATA, 5121, 5209, 0, kItems10.data()},
    {SRK_PRINTERDATA, 5633, 8215, 0, kItems11.data()},
    {SRK_DEVMODE, 1, 25, 0, kItems12.data()},
    {0, 0, 0, 0, nullptr},
};

constexpr FlagMaskTable FlagMaskTables[4] = {
    {1281, 1376, kMasks1281.data()},
    {2305, 2560, kMasks2305.data()},
    {4097, 4160, kMasks4097.data()},
    {4609, 4640, kMasks4609.data()},
};
static_assert(FlagMaskTables[0].last < FlagMaskTables[1].first && FlagMaskTables[1].last < FlagMaskTables[2].first &&
                  FlagMaskTables[2].last < FlagMaskTables[3].first,
              "flag ranges ascend (LAYOUT_FindFlagTable stops early)");

namespace {

struct LayoutIndex {
    std::array<WORD, ID_LAYOUT_INDEX_LIMIT> entry{}; /* group << 12 | position */
    bool ok = true;                                   /* ranges, bounds and uniqueness hold */
};

constexpr ULONGLONG RecordSize(WORD kind)
{
    return kind == SRK_DEVMODE ? SETTINGS_DEVMODE_SIZE
         : kind == SRK_EXTENSION ? SETTINGS_EXTENSION_SIZE
                                 : SETTINGS_PRINTERDATA_SIZE;
}

/* Bytes an item occupies in its record (a string or block: its capacity). */
constexpr ULONGLONG StoredWidth(const IdLayoutItem &it)
{
    switch (it.storedType) {
    case SVT_INT16:
    case SVT_UINT16:
        return 2;
    case SVT_BYTE:
        return 1;
    case SVT_WSTRING:
    case SVT_LOGFONT:
        return it.capacity;
    default:
        return 4;
    }
}

/*
 * Walks the groups in table order; the first group whose range holds an
 * identifier claims it, as a scan would.  Checks the table on the way.
 */
constexpr LayoutIndex BuildIndex()
{
    LayoutIndex ix;
    for (WORD &e : ix.entry)
        e = ID_LAYOUT_NO_GROUP;
    for (unsigned g = 0; IdLayoutTable[g].items != nullptr; ++g) {
        const IdLayoutGroup &grp = IdLayoutTable[g];
        if (grp.last >= ID_LAYOUT_INDEX_LIMIT || grp.first > grp.last)
            ix.ok = false;
        for (unsigned id = grp.first; id <= grp.last && id < ID_LAYOUT_INDEX_LIMIT; ++id) {
            if (ix.entry[id] == ID_LAYOUT_NO_GROUP)
                ix.entry[id] = static_cast<WORD>(g << 12 | ID_LAYOUT_NOT_LISTED);
        }
        for (unsigned p = 0; grp.items[p].id != 0; ++p) {
            const IdLayoutItem &it = grp.items[p];
            bool sized = it.storedType == SVT_WSTRING || it.storedType == SVT_LOGFONT;
            if (it.id < grp.first || it.id > grp.last || p >= ID_LAYOUT_NOT_LISTED ||
                ix.entry[it.id] != (g << 12 | ID_LAYOUT_NOT_LISTED) ||
                it.offset + StoredWidth(it) > RecordSize(grp.kind) ||
                (sized ? it.capacity == 0 || it.reportedType != 0 : it.capacity != 0) ||
                it.reportedType == SVT_WSTRING || it.reportedType == SVT_LOGFONT)
                ix.ok = false;
            else
                ix.entry[it.id] = static_cast<WORD>(g << 12 | p);
        }
    }
    return ix;
}

constexpr LayoutIndex kIndex = BuildIndex();

/*
 * Items in range, inside their records, identifiers unique; strings and
 * blocks carry a capacity and no reported type (the accessors rely on it),
 * and no item is reported as a string or block.
 */
static_assert(kIndex.ok, "layout table consistency");

} // namespace

constexpr std::array<WORD, ID_LAYOUT_INDEX_LIMIT> IdLayoutIndex = kIndex.entry;
