/*
 * The settings schema's constant tables: the twelve group lists (799 rows,
 * one per setting that has a default of its own), the identifier ranges and
 * the group table, and the two lookups over them.
 *
 * Settings of the layout table that have no row stay zero in a fresh record:
 * 20 and 21 (set through 14), 304, 309, 310, 312-319, 329, 362-372, 442,
 * 1295, 1879, the extension flags 2305-2560, 5633-5654, 6190-6219 and
 * 6265-6294.  Group 3's list keeps the layout table's order (8201-8207
 * first); every other list runs in identifier order.
 */
#include "tarvel/settings/fid_schema.h"

#include "fid_descriptors.h"

#include "tarvel/setting_layout.h"

#include <cstddef>

namespace {

// clang-format off

/* Group 5: private devmode settings 257-303; 45 rows. */
constexpr SettingDescriptorRow kGroup5[] = {
    {257, &fid_desc::driverVersion}, {258, &fid_desc::privateVersion}, {259, &fid_desc::modelName}, {260},
    {261}, {262}, {263}, {264}, {265}, {266}, {267}, {268}, {269}, {270}, {271}, {272}, {273}, {274}, {275},
    {276}, {277}, {278}, {279}, {280}, {281}, {282}, {283}, {284}, {285}, {286}, {287}, {288}, {291}, {292},
    {293}, {294}, {295}, {296}, {297}, {298, &fid_desc::stampNameList}, {299}, {300}, {301}, {302}, {303},
};

/* Group 6: private devmode settings 304-351; 34 rows. */
constexpr SettingDescriptorRow kGroup6[] = {
    {305, &fid_desc::faceNameList}, {306}, {307}, {308}, {311}, {320}, {321}, {322}, {323}, {324}, {325}, {326},
    {327}, {328}, {330}, {331}, {332}, {333}, {334}, {335}, {336}, {338}, {339}, {340}, {341}, {342}, {343},
    {344}, {345}, {346}, {348}, {349}, {350}, {351},
};

/* Group 7: private devmode settings 352-399; 36 rows. */
constexpr SettingDescriptorRow kGroup7[] = {
    {352}, {353}, {354}, {355}, {356}, {357, &fid_desc::stampFont}, {358, &fid_desc::stampFaceName}, {359},
    {360}, {361}, {373}, {374}, {375}, {376}, {377}, {379}, {380}, {381}, {382}, {383}, {384}, {385}, {386},
    {387}, {388}, {389}, {390}, {391}, {392}, {393}, {394}, {395}, {396}, {397}, {398}, {399},
};

/* Group 8: private devmode settings 400-447; 27 rows. */
constexpr SettingDescriptorRow kGroup8[] = {
    {400}, {401}, {402}, {403}, {404}, {405}, {406}, {407}, {408}, {409}, {410}, {411}, {412}, {413}, {414},
    {435}, {436}, {437}, {438}, {439, &fid_desc::modelByte}, {440}, {441}, {443}, {444}, {445}, {446}, {447},
};

/* Group 9: private devmode settings 448-483; 36 rows. */
constexpr SettingDescriptorRow kGroup9[] = {
    {448}, {449}, {450}, {451}, {452}, {453}, {454}, {455}, {456}, {457}, {458}, {459}, {460}, {461}, {462},
    {463, &fid_desc::modelByte}, {464}, {465}, {466}, {467}, {468}, {469}, {470}, {471}, {472}, {473}, {474},
    {475}, {476}, {477}, {478}, {479}, {480}, {481}, {482}, {483},
};

/* Group 10: devmode flags 1281-1376; 95 rows. */
constexpr SettingDescriptorRow kGroup10[] = {
    {1281}, {1282}, {1283}, {1284}, {1285}, {1286}, {1287}, {1288}, {1289}, {1290}, {1291}, {1292}, {1293},
    {1294}, {1296}, {1297}, {1298}, {1299}, {1300}, {1301}, {1302}, {1303}, {1304}, {1305}, {1306}, {1307},
    {1308}, {1309}, {1310}, {1311}, {1312}, {1313}, {1314}, {1315}, {1316}, {1317}, {1318}, {1319}, {1320},
    {1321}, {1322}, {1323}, {1324}, {1325}, {1326}, {1327}, {1328}, {1329}, {1330}, {1331}, {1332}, {1333},
    {1334}, {1335}, {1336}, {1337}, {1338}, {1339}, {1340}, {1341}, {1342}, {1343}, {1344}, {1345}, {1346},
    {1347}, {1348}, {1349}, {1350}, {1351}, {1352}, {1353}, {1354}, {1355}, {1356}, {1357}, {1358}, {1359},
    {1360}, {1361}, {1362}, {1363}, {1364}, {1365}, {1366}, {1367}, {1368}, {1369}, {1370}, {1371}, {1372},
    {1373}, {1374}, {1375}, {1376},
};

/* Group 11: extension-block settings 1793-1887; 94 rows. */
constexpr SettingDescriptorRow kGroup11[] = {
    {1793, &fid_desc::driverVersion}, {1794}, {1795}, {1796}, {1797}, {1798}, {1799}, {1800}, {1801}, {1802},
    {1803}, {1804}, {1805}, {1806}, {1807}, {1808}, {1809}, {1810}, {1811}, {1812}, {1813}, {1814}, {1815},
    {1816}, {1817}, {1818}, {1819}, {1820}, {1821}, {1822}, {1823}, {1824}, {1825}, {1826}, {1827}, {1828},
    {1829}, {1830}, {1831}, {1832}, {1833}, {1834}, {1835}, {1836}, {1837}, {1838}, {1839}, {1840}, {1841},
    {1842}, {1843}, {1844}, {1845}, {1846}, {1847}, {1848}, {1849}, {1850}, {1851}, {1852}, {1853}, {1854},
    {1855}, {1856}, {1857}, {1858}, {1859}, {1860}, {1861}, {1862}, {1863}, {1864}, {1865}, {1866}, {1867},
    {1868}, {1869}, {1870}, {1871}, {1872}, {1873}, {1874}, {1875}, {1876}, {1877}, {1878}, {1880}, {1881},
    {1882}, {1883}, {1884}, {1885}, {1886}, {1887},
};

/* Group 0: printer-data settings 4097-4371; 83 rows. */
constexpr SettingDescriptorRow kGroup0[] = {
    {4097}, {4098}, {4099}, {4100}, {4101}, {4102}, {4103}, {4104}, {4105}, {4106}, {4107}, {4108}, {4109},
    {4110}, {4111}, {4112}, {4113}, {4114}, {4115}, {4116}, {4117}, {4118}, {4119}, {4120}, {4121}, {4122},
    {4123}, {4124}, {4125}, {4126}, {4127}, {4128}, {4129}, {4130}, {4131}, {4132}, {4133}, {4134}, {4135},
    {4136}, {4137}, {4138}, {4139}, {4140}, {4141}, {4142}, {4143}, {4144}, {4145}, {4146}, {4147}, {4148},
    {4149}, {4150}, {4151}, {4152}, {4153}, {4154}, {4155}, {4156}, {4157}, {4158}, {4159}, {4160}, {4353},
    {4354}, {4355}, {4356}, {4357}, {4358}, {4359}, {4360}, {4361}, {4362}, {4363}, {4364}, {4365}, {4366},
    {4367}, {4368}, {4369}, {4370}, {4371},
};

/* Group 1: printer-data flags 4609-4640; 32 rows. */
constexpr SettingDescriptorRow kGroup1[] = {
    {4609}, {4610}, {4611}, {4612}, {4613}, {4614}, {4615}, {4616}, {4617}, {4618}, {4619}, {4620}, {4621},
    {4622}, {4623}, {4624}, {4625}, {4626}, {4627}, {4628}, {4629}, {4630}, {4631}, {4632}, {4633}, {4634},
    {4635}, {4636}, {4637}, {4638}, {4639}, {4640},
};

/* Group 2: printer-data settings 5121-5209; 79 rows. */
constexpr SettingDescriptorRow kGroup2[] = {
    {5121}, {5123}, {5126}, {5127}, {5129}, {5130}, {5131}, {5132}, {5134}, {5135}, {5136}, {5137}, {5138},
    {5141}, {5142}, {5143}, {5144}, {5145}, {5146}, {5147}, {5148}, {5149}, {5150}, {5152}, {5153}, {5155},
    {5156}, {5157}, {5159}, {5160}, {5161}, {5162}, {5163}, {5164}, {5165}, {5166}, {5167}, {5168}, {5169},
    {5170}, {5171}, {5172}, {5173}, {5174}, {5175}, {5176}, {5177}, {5178}, {5179}, {5180}, {5181}, {5182},
    {5183}, {5184}, {5185}, {5186}, {5187}, {5188}, {5189}, {5190}, {5191}, {5192}, {5193}, {5194}, {5195},
    {5196}, {5197}, {5198}, {5199}, {5200}, {5201}, {5202}, {5203}, {5204}, {5205}, {5206}, {5207}, {5208},
    {5209},
};

/* Group 3: printer-data settings 5633-8215 (8201-8207 first, then 6145 on in table order); 215 rows. */
constexpr SettingDescriptorRow kGroup3[] = {
    {8201}, {8202, &fid_desc::printerDataSize}, {8203, &fid_desc::privateVersion},
    {8204, &fid_desc::driverVersion}, {8205}, {8206}, {8207}, {6145}, {6146}, {6147}, {6148}, {6149}, {6150},
    {6151}, {6152}, {6153}, {6154}, {6155}, {6156}, {6157}, {6158}, {6159}, {6160}, {6161}, {6162}, {6163},
    {6164}, {6165}, {6166}, {6167}, {6168}, {6169}, {6170}, {6171}, {6172}, {6173}, {6174}, {6175}, {6176},
    {6177}, {6178}, {6179}, {6180}, {6181}, {6182}, {6183}, {6184}, {6185}, {6186}, {6187}, {6188}, {6189},
    {6220}, {6221}, {6222}, {6223}, {6224}, {6225}, {6226}, {6227}, {6228}, {6229}, {6230}, {6231}, {6232},
    {6233}, {6234}, {6235}, {6236}, {6237}, {6238}, {6239}, {6240}, {6241}, {6242}, {6243}, {6244}, {6245},
    {6246}, {6247}, {6248}, {6249}, {6250}, {6251}, {6252}, {6253}, {6254}, {6255}, {6256}, {6257}, {6258},
    {6259}, {6260}, {6261}, {6262}, {6263}, {6264}, {6295}, {6296}, {6297}, {6298}, {6299}, {6300}, {6301},
    {6302}, {6303}, {6304}, {6305}, {6306}, {6307}, {6308}, {6309}, {6310}, {6311}, {6312}, {6313}, {6314},
    {6315}, {6316}, {6317}, {6318}, {6319}, {6320}, {6321}, {6322}, {6323}, {6324}, {6401}, {6402}, {6403},
    {6404}, {6405}, {6406}, {6407}, {6408}, {6409}, {6410}, {6411}, {6412}, {6413}, {6414}, {6415}, {6416},
    {6417}, {6418}, {6419}, {6420}, {5889, &fid_desc::customWidth}, {5890, &fid_desc::customWidth},
    {5891, &fid_desc::customWidth}, {5892, &fid_desc::customWidth}, {5893, &fid_desc::customWidth},
    {5894, &fid_desc::customWidth}, {5895, &fid_desc::customWidth}, {5896, &fid_desc::customWidth},
    {5897, &fid_desc::customWidth}, {5898, &fid_desc::customWidth}, {5899, &fid_desc::customWidth},
    {5900, &fid_desc::customWidth}, {5901, &fid_desc::customWidth}, {5902, &fid_desc::customWidth},
    {5903, &fid_desc::customWidth}, {5904, &fid_desc::customWidth}, {5905, &fid_desc::customWidth},
    {5906, &fid_desc::customWidth}, {5907, &fid_desc::customWidth}, {5908, &fid_desc::customWidth},
    {5909, &fid_desc::customLength}, {5910, &fid_desc::customLength}, {5911, &fid_desc::customLength},
    {5912, &fid_desc::customLength}, {5913, &fid_desc::customLength}, {5914, &fid_desc::customLength},
    {5915, &fid_desc::customLength}, {5916, &fid_desc::customLength}, {5917, &fid_desc::customLength},
    {5918, &fid_desc::customLength}, {5919, &fid_desc::customLength}, {5920, &fid_desc::customLength},
    {5921, &fid_desc::customLength}, {5922, &fid_desc::customLength}, {5923, &fid_desc::customLength},
    {5924, &fid_desc::customLength}, {5925, &fid_desc::customLength}, {5926, &fid_desc::customLength},
    {5927, &fid_desc::customLength}, {5928, &fid_desc::customLength}, {5929, &fid_desc::customName},
    {5930, &fid_desc::customName}, {5931, &fid_desc::customName}, {5932, &fid_desc::customName},
    {5933, &fid_desc::customName}, {5934, &fid_desc::customName}, {5935, &fid_desc::customName},
    {5936, &fid_desc::customName}, {5937, &fid_desc::customName}, {5938, &fid_desc::customName},
    {5939, &fid_desc::customName}, {5940, &fid_desc::customName}, {5941, &fid_desc::customName},
    {5942, &fid_desc::customName}, {5943, &fid_desc::customName}, {5944, &fid_desc::customName},
    {5945, &fid_desc::customName}, {5946, &fid_desc::customName}, {5947, &fid_desc::customName},
    {5948, &fid_desc::customName}, {8208}, {8209}, {8210}, {8211}, {8212}, {8213}, {8214}, {8215},
};

/* Group 4: public devmode fields 1-25; 23 rows. */
constexpr SettingDescriptorRow kGroup4[] = {
    {1, &fid_desc::deviceName}, {2, &fid_desc::specVersion}, {3, &fid_desc::driverVersion},
    {4, &fid_desc::devmodeSize}, {5, &fid_desc::driverExtra}, {6, &fid_desc::fields},
    {7, &fid_desc::orientation}, {8, &fid_desc::paperSize}, {9, &fid_desc::paperLength},
    {10, &fid_desc::paperWidth}, {11, &fid_desc::scale}, {12, &fid_desc::copies},
    {13, &fid_desc::defaultSource}, {14}, {15, &fid_desc::color}, {16, &fid_desc::duplex},
    {17, &fid_desc::trueTypeOption}, {18, &fid_desc::collate}, {19, &fid_desc::formName},
    {22, &fid_desc::icmMethod}, {23, &fid_desc::icmIntent}, {24, &fid_desc::modelPublic},
    {25, &fid_desc::modelPublic},
};

// clang-format on

template <size_t N>
constexpr WORD RowCount(const SettingDescriptorRow (&)[N])
{
    return static_cast<WORD>(N);
}

} // namespace

const SettingIdRange SettingIdRanges[FID_SCHEMA_GROUP_COUNT + 1] = {
    {5, 257, 303},   {6, 304, 351},   {7, 352, 399},   {8, 400, 447},   {9, 448, 483},  {10, 1281, 1376},
    {11, 1793, 1887}, {0, 4097, 4371}, {1, 4609, 4640}, {2, 5121, 5209}, {3, 5633, 8215}, {4, 1, 25},
    {FID_SCHEMA_END_GROUP, 0, 0},
};

const SettingGroup SettingGroups[FID_SCHEMA_GROUP_COUNT + 1] = {
    {5, kGroup5, RowCount(kGroup5), SRK_DEVMODE},
    {6, kGroup6, RowCount(kGroup6), SRK_DEVMODE},
    {7, kGroup7, RowCount(kGroup7), SRK_DEVMODE},
    {8, kGroup8, RowCount(kGroup8), SRK_DEVMODE},
    {9, kGroup9, RowCount(kGroup9), SRK_DEVMODE},
    {10, kGroup10, RowCount(kGroup10), SRK_DEVMODE},
    {11, kGroup11, RowCount(kGroup11), SRK_EXTENSION},
    {0, kGroup0, RowCount(kGroup0), SRK_PRINTERDATA},
    {1, kGroup1, RowCount(kGroup1), SRK_PRINTERDATA},
    {2, kGroup2, RowCount(kGroup2), SRK_PRINTERDATA},
    {3, kGroup3, RowCount(kGroup3), SRK_PRINTERDATA},
    {4, kGroup4, RowCount(kGroup4), SRK_DEVMODE},
    {FID_SCHEMA_END_GROUP, nullptr, 0, 0},
};

BOOL FID_GetGroup(DWORD group, const SettingDescriptorRow **rows, WORD *count, WORD *kind)
{
    for (const SettingGroup *g = SettingGroups; g->group != FID_SCHEMA_END_GROUP; ++g) {
        if (g->group != group)
            continue;
        if (rows != nullptr)
            *rows = g->rows;
        if (count != nullptr)
            *count = g->count;
        if (kind != nullptr)
            *kind = g->kind;
        return TRUE;
    }
    return FALSE;
}

const SettingDescriptorRow *FID_FindDescriptor(WORD id)
{
    for (const SettingIdRange *r = SettingIdRanges; r->group != FID_SCHEMA_END_GROUP; ++r) {
        if (id < r->first || id > r->last)
            continue;
        const SettingDescriptorRow *rows = nullptr;
        WORD count = 0;
        if (!FID_GetGroup(r->group, &rows, &count, nullptr))
            return nullptr;
        for (WORD i = 0; i < count; ++i) {
            if (rows[i].id == id)
                return &rows[i];
        }
        return nullptr;
    }
    return nullptr;
}
