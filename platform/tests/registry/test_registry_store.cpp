// The registry file: what one process writes the next one reads back, the
// file's bytes, atomic saves, failed saves, and damaged files that leave an
// empty registry instead of a crash.
#include "test_registry_fixture.h"

#include <cstdlib>
#include <random>

namespace {

namespace fs = std::filesystem;

using RegistryFile = RegistryTest;

/* Little-endian pieces of a hand-written image. */
void u16(std::string &s, uint16_t v) { s += char(v & 0xFF), s += char(v >> 8); }
void u32(std::string &s, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        s += char((v >> (8 * i)) & 0xFF);
}
void name(std::string &s, std::u16string_view n)
{
    u16(s, uint16_t(n.size()));
    for (char16_t c : n)
        u16(s, uint16_t(c));
}
/* A node header: name, last-write time (low, high). */
void node(std::string &s, std::u16string_view n, uint32_t lo = 0x11223344, uint32_t hi = 0x01D00000)
{
    name(s, n);
    u32(s, lo);
    u32(s, hi);
}

/*
 * A small registry written out by hand from the format: HKLM with one
 * key "SOFTWARE" holding a REG_DWORD "Level" = 7, and HKEY_USERS with the
 * tree of "bob" holding a default REG_SZ "hi".
 */
std::string hand_image()
{
    std::string s = "TVRG";
    u32(s, 1);
    node(s, u"");          /* HKEY_LOCAL_MACHINE */
    u32(s, 0);             /* no values */
    u32(s, 1);             /* one subkey */
    node(s, u"SOFTWARE");  /*   SOFTWARE */
    u32(s, 1);             /*   one value */
    name(s, u"Level");
    u32(s, REG_DWORD);
    u32(s, 4);
    u32(s, 7);
    u32(s, 0);             /*   no subkeys */
    node(s, u"");          /* HKEY_USERS */
    u32(s, 0);
    u32(s, 1);
    node(s, u"bob");
    u32(s, 1);
    name(s, u"");
    u32(s, REG_SZ);
    u32(s, 6);
    s += std::string("h\0i\0\0\0", 6);
    u32(s, 0);
    return s;
}

void write_file(const std::string &path, const std::string &bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

/* True when the registry holds no key and no value at all. */
bool registry_is_empty()
{
    DWORD subs = 1, values = 1;
    if (RegQueryInfoKeyW(HKEY_LOCAL_MACHINE, nullptr, nullptr, nullptr, &subs, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS || subs || values)
        return false;
    return RegQueryInfoKeyW(HKEY_CURRENT_USER, nullptr, nullptr, nullptr, &subs, nullptr, nullptr, &values, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subs == 0 && values == 0;
}

TEST_F(RegistryFile, NextProcessReadsBackWhatThisOneWrote)
{
    HKEY k = create(HKEY_CURRENT_USER, u"Software\\Tarvel\\0001020304050607080A0B0C0D0E0F10\\Stamps");
    std::vector<BYTE> record(832);
    for (size_t i = 0; i < record.size(); i++)
        record[i] = BYTE(i * 7);
    ASSERT_EQ(RegSetValueExW(k, u"Confidential", 0, REG_BINARY, record.data(), 832), ERROR_SUCCESS);
    ASSERT_EQ(set_sz(k, u"Draft", u"x"), ERROR_SUCCESS);
    RegCloseKey(k);
    ASSERT_TRUE(plat::registry_set_current_user(u"alice"));
    ASSERT_EQ(set_dword(HKEY_CURRENT_USER, u"AliceOnly", 5), ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, u"Software\\Kesto Varnel\\TempFile\\C:/Temp/QZP0001.TMP", &k),
              ERROR_SUCCESS);
    ASSERT_EQ(set_sz(k, nullptr, u"[2024,05/06,07:08:09]"), ERROR_SUCCESS);
    HKEY still_open = k;

    /* The next process: a machine_reset on the same folder. */
    plat::machine_reset(root.string());
    EXPECT_EQ(plat::handle_count(plat::HANDLE_KIND_REGKEY), 0u) << "the reset closed the keys";
    EXPECT_EQ(set_dword(still_open, u"x", 1), ERROR_INVALID_HANDLE);
    EXPECT_EQ(plat::registry_current_user(), u"tarvel");

    k = open(HKEY_CURRENT_USER, u"SOFTWARE\\tarvel\\0001020304050607080a0b0c0d0e0f10\\STAMPS");
    DWORD type;
    EXPECT_EQ(get(k, u"confidential", &type), record);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(value_names(k), (std::vector<std::u16string>{u"Confidential", u"Draft"}));
    RegCloseKey(k);
    k = open(HKEY_USERS, u"alice");
    EXPECT_EQ(get(k, u"AliceOnly"), (std::vector<BYTE>{5, 0, 0, 0}));
    RegCloseKey(k);
    k = open(HKEY_LOCAL_MACHINE, u"Software\\Kesto Varnel\\TempFile");
    EXPECT_EQ(subkeys(k), std::vector<std::u16string>{u"C:/Temp/QZP0001.TMP"});
    RegCloseKey(k);
}

TEST_F(RegistryFile, SavesByRenamingANewFile)
{
    const std::string file = plat::registry_file();
    EXPECT_EQ(file, plat::machine_root() + "/registry.dat");
    EXPECT_FALSE(fs::exists(file)) << "a fresh machine writes nothing until something changes";
    ASSERT_EQ(set_dword(HKEY_CURRENT_USER, u"n", 1), ERROR_SUCCESS);
    ASSERT_TRUE(fs::exists(file));
    for (const auto &e : fs::directory_iterator(plat::machine_root()))
        EXPECT_EQ(e.path().filename().string().find(".new"), std::string::npos) << e.path();
    EXPECT_EQ(read_file(file), plat::registry_image());
}

TEST_F(RegistryFile, WriterMatchesTheFormatByteForByte)
{
    /* Build the registry of hand_image() through the calls, then compare bytes (times aside). */
    ASSERT_TRUE(plat::registry_load_bytes("", 0) == false);
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, u"SOFTWARE", u"Level", 7));
    ASSERT_TRUE(plat::registry_seed(HKEY_USERS, u"bob", u"", REG_SZ, u"hi", 6));
    ASSERT_TRUE(plat::registry_set_current_user(u"bob"));
    std::string image = plat::registry_image();
    std::string expected = hand_image();
    ASSERT_EQ(image.size(), expected.size());
    /* Blank out the last-write times (8 bytes after each node name) in both. */
    auto blank_times = [](std::string &s, std::initializer_list<size_t> at) {
        for (size_t off : at)
            std::fill(s.begin() + off, s.begin() + off + 8, '\0');
    };
    /* Offsets: header 8; HKLM name 2 -> time at 10; SOFTWARE node at 26, name 2+16 -> time at 44;
       HKEY_USERS node after SOFTWARE's 8+4+(2+10+4+4+4)+4 bytes = at 84, time at 86; bob at 102, time at 110. */
    blank_times(image, {10, 44, 86, 110});
    blank_times(expected, {10, 44, 86, 110});
    EXPECT_EQ(image, expected);
}

TEST_F(RegistryFile, HandWrittenFileLoads)
{
    write_file(plat::machine_root() + "/registry.dat", hand_image());
    plat::machine_reset(root.string());
    HKEY k = open(HKEY_LOCAL_MACHINE, u"software");
    EXPECT_EQ(get(k, u"LEVEL"), (std::vector<BYTE>{7, 0, 0, 0}));
    FILETIME t{};
    ASSERT_EQ(RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, &t),
              ERROR_SUCCESS);
    EXPECT_EQ(t.dwLowDateTime, 0x11223344u);
    EXPECT_EQ(t.dwHighDateTime, 0x01D00000u);
    RegCloseKey(k);
    k = open(HKEY_USERS, u"Bob");
    EXPECT_EQ(get_sz(k, nullptr), u"hi");
    RegCloseKey(k);
    HKEY none = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft", 0, KEY_READ, &none), ERROR_FILE_NOT_FOUND)
        << "a loaded file gets no fresh-machine seeds";
}

/* An image whose HKEY_LOCAL_MACHINE holds the given values and subkeys, and whose HKEY_USERS is empty. */
std::string machine_image(uint32_t value_count, const std::string &values, uint32_t key_count, const std::string &keys)
{
    std::string s = "TVRG";
    u32(s, 1);
    node(s, u"");
    u32(s, value_count);
    s += values;
    u32(s, key_count);
    s += keys;
    node(s, u"");
    u32(s, 0);
    u32(s, 0);
    return s;
}

struct DamageCase {
    const char *what;
    std::string bytes;
};

std::vector<DamageCase> damaged_images()
{
    const std::string good = hand_image();
    std::vector<DamageCase> cases;
    auto patched = [&](size_t off, std::string with) {
        std::string s = good;
        s.replace(off, with.size(), with);
        return s;
    };
    std::string big32;
    u32(big32, 0xFFFFFFFFu);
    cases.push_back({"empty", ""});
    cases.push_back({"other signature", patched(0, "TVRH")});
    cases.push_back({"unknown version", patched(4, std::string("\2\0\0\0", 4))});
    cases.push_back({"root with a name", patched(8, std::string("\1\0", 2))});
    cases.push_back({"huge value count", patched(18, big32)});
    cases.push_back({"huge subkey count", patched(22, big32)});
    cases.push_back({"name longer than the file", patched(26, std::string("\xFF\xFF", 2))});
    cases.push_back({"backslash in a key name", patched(28, std::string("\\\0", 2))});
    cases.push_back({"data longer than the file", patched(72, big32)});
    cases.push_back({"bytes after the end", good + "x"});
    cases.push_back({"last byte missing", good.substr(0, good.size() - 1)});
    {
        std::string keys;
        for (const char16_t *n : {u"Same", u"SAME"}) {
            node(keys, n);
            u32(keys, 0);
            u32(keys, 0);
        }
        cases.push_back({"subkey named twice", machine_image(0, "", 2, keys)});
    }
    {
        std::string values;
        for (const char16_t *n : {u"v", u"V"}) {
            name(values, n);
            u32(values, REG_DWORD);
            u32(values, 0);
        }
        cases.push_back({"value named twice", machine_image(2, values, 0, "")});
    }
    {
        std::string values;
        name(values, u"big");
        u32(values, REG_BINARY);
        u32(values, (1u << 20) + 1);
        values += std::string((1u << 20) + 1, 'x');
        cases.push_back({"value above 1 MB", machine_image(1, values, 0, "")});
    }
    {
        std::string s = "TVRG";
        u32(s, 1);
        for (int i = 0; i <= 513; i++) {
            node(s, i ? u"k" : u"");
            u32(s, 0);
            u32(s, i == 513 ? 0 : 1);
        }
        node(s, u"");
        u32(s, 0);
        u32(s, 0);
        cases.push_back({"keys nested too deep", s});
    }
    return cases;
}

TEST_F(RegistryFile, DamagedFileGivesAnEmptyRegistryAndIsKept)
{
    const std::string file = plat::machine_root() + "/registry.dat";
    for (const auto &c : damaged_images()) {
        fs::remove(file + ".bad.1");
        write_file(file, c.bytes);
        ::testing::internal::CaptureStderr();
        plat::machine_reset(root.string());
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(err.find("registry file"), std::string::npos) << c.what << ": " << err;
        EXPECT_TRUE(registry_is_empty()) << c.what;
        EXPECT_EQ(read_file(file + ".bad.1"), c.bytes) << c.what << ": the damaged file is set aside";
        EXPECT_FALSE(fs::exists(file)) << c.what;

        /* The registry works on, and the next process reads what it wrote. */
        ASSERT_EQ(set_dword(HKEY_LOCAL_MACHINE, u"after", 1), ERROR_SUCCESS) << c.what;
        plat::machine_reset(root.string());
        EXPECT_EQ(get(HKEY_LOCAL_MACHINE, u"after"), (std::vector<BYTE>{1, 0, 0, 0})) << c.what;
    }
}

TEST_F(RegistryFile, EveryCutOfAGoodImageIsRefused)
{
    const std::string good = hand_image();
    for (size_t n = 0; n < good.size(); n++) {
        std::string why;
        EXPECT_FALSE(plat::registry_load_bytes(good.data(), n, &why)) << n;
        EXPECT_FALSE(why.empty()) << n;
        EXPECT_TRUE(registry_is_empty()) << n;
    }
    EXPECT_TRUE(plat::registry_load_bytes(good.data(), good.size()));
}

TEST_F(RegistryFile, FuzzSeedsAreGoodImages)
{
    const char *source = std::getenv("TARVEL_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    size_t seeds = 0;
    for (const auto &e : fs::directory_iterator(fs::path(source) / "platform/fuzz/corpus/registry")) {
        std::string bytes = read_file(e.path().string());
        std::string why;
        EXPECT_TRUE(plat::registry_load_bytes(bytes.data(), bytes.size(), &why)) << e.path() << ": " << why;
        EXPECT_TRUE(plat::registry_image() == bytes) << e.path() << ": seeds are written in the writer's order";
        seeds++;
    }
    EXPECT_GE(seeds, 3u);
}

TEST_F(RegistryFile, RandomDamageNeverCrashes)
{
    ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, u"A\\B", u"s", u"text"));
    ASSERT_TRUE(plat::registry_seed_dword(HKEY_CURRENT_USER, u"C\\D\\E", u"d", 9));
    const std::string good = plat::registry_image();
    std::mt19937 rng(20240506);
    for (int round = 0; round < 2000; round++) {
        std::string s = good;
        int flips = 1 + int(rng() % 4);
        for (int i = 0; i < flips; i++)
            s[rng() % s.size()] = char(rng());
        if (plat::registry_load_bytes(s.data(), s.size())) {
            EXPECT_EQ(plat::registry_image().size(), s.size()) << round << ": what loads writes back whole";
        }
    }
}

TEST_F(RegistryFile, FailedSaveKeepsTheChangeAndFlushTriesAgain)
{
    const std::string file = plat::registry_file();
    fs::create_directories(file + "/blocker"); /* a folder where the file should go: the rename fails */
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(set_dword(HKEY_CURRENT_USER, u"kept", 3), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_WRITE_FAULT);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("registry not saved"), std::string::npos) << err;
    EXPECT_EQ(get(HKEY_CURRENT_USER, u"kept"), (std::vector<BYTE>{3, 0, 0, 0}));

    fs::remove_all(file);
    EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    plat::machine_reset(root.string());
    EXPECT_EQ(get(HKEY_CURRENT_USER, u"kept"), (std::vector<BYTE>{3, 0, 0, 0}));
    EXPECT_EQ(RegFlushKey(reinterpret_cast<HKEY>(0x77)), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryFile, ResetToFreshReplacesEverythingAndSaves)
{
    ASSERT_EQ(set_dword(HKEY_LOCAL_MACHINE, u"gone", 1), ERROR_SUCCESS);
    HKEY k = create(HKEY_CURRENT_USER, u"Old");
    plat::registry_reset_to_fresh();
    EXPECT_EQ(set_dword(k, u"x", 1), ERROR_KEY_DELETED);
    RegCloseKey(k);
    plat::machine_reset(root.string());
    LONG e;
    get(HKEY_LOCAL_MACHINE, u"gone", nullptr, &e);
    EXPECT_EQ(e, ERROR_FILE_NOT_FOUND);
    k = open(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon");
    EXPECT_EQ(get_sz(k, u"DefaultUserName"), u"tarvel");
    RegCloseKey(k);
}

} // namespace
