// Printer data: value types and sizes, ERROR_MORE_DATA, keys, deletion, the
// language monitor's "LM_" values, injected and disk-full failures, and two
// threads writing printer data on two printers at once.
#include "spool_fixture.h"

#include <plat/fault.h>

#include <thread>

using namespace spooltest;

namespace {

class SpoolData : public SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        install();
        admin = std::make_unique<Printer>(kPrinter, PRINTER_ALL_ACCESS);
        ASSERT_TRUE(admin->ok);
    }
    void TearDown() override
    {
        admin.reset();
        SpoolTest::TearDown();
    }
    std::unique_ptr<Printer> admin;
};

std::vector<BYTE> bytes_of(const char16_t *s)
{
    const BYTE *p = reinterpret_cast<const BYTE *>(s);
    return std::vector<BYTE>(p, p + (std::u16string(s).size() + 1) * 2);
}

std::vector<BYTE> counting(size_t n)
{
    std::vector<BYTE> v(n);
    for (size_t i = 0; i < n; i++)
        v[i] = BYTE(i * 7 + 3);
    return v;
}

struct ValueCase {
    const char *what;
    DWORD type;
    std::vector<BYTE> bytes;
};

TEST_F(SpoolData, ValuesComeBackWithTheirTypeAndSize)
{
    DWORD one = 1;
    const ValueCase cases[] = {
        {"REG_SZ", REG_SZ, bytes_of(u"SPLUserModePrinterDriver")},
        {"REG_DWORD", REG_DWORD, std::vector<BYTE>(reinterpret_cast<BYTE *>(&one), reinterpret_cast<BYTE *>(&one) + 4)},
        {"REG_BINARY empty", REG_BINARY, {}},
        {"REG_BINARY one chunk", REG_BINARY, counting(768)},
        {"REG_BINARY odd", REG_BINARY, counting(769)},
        {"REG_MULTI_SZ", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string name = u"v_" + plat::utf8_to_utf16(c.what);
        ASSERT_EQ(SetPrinterDataW(*admin, name.c_str(), c.type, c.bytes.data(), DWORD(c.bytes.size())),
                  DWORD(ERROR_SUCCESS));
        /* The sizing call: no buffer. */
        DWORD type = 0, needed = 0;
        DWORD r = GetPrinterDataW(*admin, name.c_str(), &type, nullptr, 0, &needed);
        EXPECT_EQ(r, c.bytes.empty() ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_MORE_DATA));
        EXPECT_EQ(needed, c.bytes.size());
        EXPECT_EQ(type, c.type);
        if (!c.bytes.empty()) {
            /* One byte short: nothing written. */
            std::vector<BYTE> short_buf(c.bytes.size() - 1, 0xEE);
            needed = 0;
            EXPECT_EQ(GetPrinterDataW(*admin, name.c_str(), &type, short_buf.data(), DWORD(short_buf.size()), &needed),
                      DWORD(ERROR_MORE_DATA));
            EXPECT_EQ(needed, c.bytes.size());
            EXPECT_EQ(short_buf, std::vector<BYTE>(c.bytes.size() - 1, 0xEE));
        }
        /* Exactly sized. */
        std::unique_ptr<BYTE[]> buf(new BYTE[c.bytes.size() + 1]);
        type = 0;
        EXPECT_EQ(GetPrinterDataW(*admin, name.c_str(), &type, buf.get(), DWORD(c.bytes.size()), &needed),
                  DWORD(ERROR_SUCCESS));
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(std::vector<BYTE>(buf.get(), buf.get() + c.bytes.size()), c.bytes);
    }
}

TEST_F(SpoolData, NamesIgnoreCaseAndWritesReplace)
{
    DWORD v = 5;
    ASSERT_EQ(SetPrinterDataW(*admin, u"PrinterDataSize", REG_DWORD, reinterpret_cast<BYTE *>(&v), 4),
              DWORD(ERROR_SUCCESS));
    std::vector<BYTE> blob = counting(10);
    ASSERT_EQ(SetPrinterDataW(*admin, u"PRINTERDATASIZE", REG_BINARY, blob.data(), 10), DWORD(ERROR_SUCCESS));
    BYTE out[10];
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataW(*admin, u"printerdatasize", &type, out, sizeof out, &needed), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(needed, 10u);
    EXPECT_EQ(std::vector<BYTE>(out, out + 10), blob);
    EXPECT_EQ(GetPrinterDataW(*admin, u"PrinterData1", &type, out, sizeof out, &needed), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(SpoolData, KeysKeepTheirOwnValues)
{
    BYTE a = 1, b = 2, out = 0;
    ASSERT_EQ(SetPrinterDataW(*admin, u"Same", REG_BINARY, &a, 1), DWORD(ERROR_SUCCESS));
    ASSERT_EQ(SetPrinterDataExW(*admin, u"DsSpooler", u"Same", REG_BINARY, &b, 1), DWORD(ERROR_SUCCESS));
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataExW(*admin, u"PrinterDriverData", u"Same", &type, &out, 1, &needed), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out, 1);
    EXPECT_EQ(GetPrinterDataExW(*admin, u"dsspooler", u"same", &type, &out, 1, &needed), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out, 2);
    EXPECT_EQ(DeletePrinterDataExW(*admin, u"DsSpooler", u"Same"), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(GetPrinterDataW(*admin, u"Same", &type, &out, 1, &needed), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(SetPrinterDataExW(*admin, u"", u"x", REG_BINARY, &a, 1), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolData, DeletingRemovesOnce)
{
    BYTE a = 1;
    ASSERT_EQ(SetPrinterDataW(*admin, u"Gone", REG_BINARY, &a, 1), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(DeletePrinterDataW(*admin, u"GONE"), DWORD(ERROR_SUCCESS));
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataW(*admin, u"Gone", &type, &a, 1, &needed), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(DeletePrinterDataW(*admin, u"Gone"), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST_F(SpoolData, BadArgumentsAreRefused)
{
    BYTE a = 1;
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataW(*admin, u"x", &type, &a, 1, nullptr), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetPrinterDataW(*admin, nullptr, &type, &a, 1, &needed), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetPrinterDataW(*admin, nullptr, REG_BINARY, &a, 1), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SetPrinterDataW(*admin, u"x", REG_BINARY, nullptr, 1), DWORD(ERROR_INVALID_PARAMETER));
    std::vector<BYTE> huge((1u << 20) + 1);
    EXPECT_EQ(SetPrinterDataW(*admin, u"x", REG_BINARY, huge.data(), DWORD(huge.size())),
              DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetPrinterDataW(nullptr, u"x", &type, &a, 1, &needed), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetPrinterDataW(*admin, u"x", &type, &a, 1, &needed), DWORD(ERROR_FILE_NOT_FOUND));
}

/* What the language monitor's hook was asked. */
struct HookCall {
    std::u16string printer, port, name;
    DWORD size = 0;
    int calls = 0;
};
HookCall g_hook;

DWORD monitor_hook(const std::u16string &printer, const std::u16string &port, LPCWSTR name, LPDWORD type,
                   LPBYTE data, DWORD size, LPDWORD needed)
{
    g_hook.printer = printer;
    g_hook.port = port;
    g_hook.name = name;
    g_hook.size = size;
    g_hook.calls++;
    /* The monitor may call the spooler back: the spooler's lock is not held. */
    Printer again(printer.c_str());
    EXPECT_TRUE(again.ok);
    *type = REG_DWORD;
    *needed = 4;
    if (size < 4)
        return ERROR_MORE_DATA;
    plat::store_u32(data, 0, 3);
    return ERROR_SUCCESS;
}

TEST_F(SpoolData, MonitorValuesGoToTheHook)
{
    BYTE stored = 9;
    ASSERT_EQ(SetPrinterDataW(*admin, u"LM_InputTray", REG_BINARY, &stored, 1), DWORD(ERROR_SUCCESS));
    DWORD type = 0, needed = 0, value = 0;
    EXPECT_EQ(GetPrinterDataW(*admin, u"LM_InputTray", &type, reinterpret_cast<BYTE *>(&value), 4, &needed),
              DWORD(ERROR_FILE_NOT_FOUND))
        << "without a monitor, LM_ values are not answered from the stored data";

    g_hook = HookCall{};
    plat::spool_set_port_data_hook(monitor_hook);
    EXPECT_EQ(GetPrinterDataW(*admin, u"LM_InputTray", nullptr, nullptr, 0, &needed), DWORD(ERROR_MORE_DATA));
    EXPECT_EQ(needed, 4u);
    EXPECT_EQ(GetPrinterDataW(*admin, u"LM_InputTray", &type, reinterpret_cast<BYTE *>(&value), 4, &needed),
              DWORD(ERROR_SUCCESS));
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(g_hook.calls, 2);
    EXPECT_EQ(g_hook.printer, kPrinter);
    EXPECT_EQ(g_hook.port, u"FILE:");
    EXPECT_EQ(g_hook.name, u"LM_InputTray");
    EXPECT_EQ(g_hook.size, 4u);
    /* Other names and keys are stored values. */
    EXPECT_EQ(GetPrinterDataExW(*admin, u"Other", u"LM_InputTray", &type, &stored, 1, &needed),
              DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(g_hook.calls, 2);
    plat::spool_set_port_data_hook(nullptr);
}

TEST_F(SpoolData, InjectedFailureHitsTheNthWrite)
{
    BYTE a = 1;
    plat::spool_fail_after(plat::SpoolCall::SetPrinterData, 3, ERROR_NOT_ENOUGH_MEMORY);
    const char16_t *names[] = {u"c1", u"c2", u"c3", u"c4"};
    DWORD expect[] = {ERROR_SUCCESS, ERROR_SUCCESS, ERROR_NOT_ENOUGH_MEMORY, ERROR_SUCCESS};
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(SetPrinterDataW(*admin, names[i], REG_BINARY, &a, 1), expect[i]) << i;
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataW(*admin, u"c3", &type, &a, 1, &needed), DWORD(ERROR_FILE_NOT_FOUND));
    plat::spool_fail_after(plat::SpoolCall::GetPrinterData, 1, ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetPrinterDataW(*admin, u"c4", &type, &a, 1, &needed), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetPrinterDataW(*admin, u"c4", &type, &a, 1, &needed), DWORD(ERROR_SUCCESS));
}

TEST_F(SpoolData, FullDiskKeepsTheOldValue)
{
    BYTE old_value = 1, new_value = 2, out = 0;
    ASSERT_EQ(SetPrinterDataW(*admin, u"v", REG_BINARY, &old_value, 1), DWORD(ERROR_SUCCESS));
    plat::fault_disk_full(true);
    EXPECT_EQ(SetPrinterDataW(*admin, u"v", REG_BINARY, &new_value, 1), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(SetPrinterDataW(*admin, u"fresh", REG_BINARY, &new_value, 1), DWORD(ERROR_DISK_FULL));
    EXPECT_EQ(DeletePrinterDataW(*admin, u"v"), DWORD(ERROR_DISK_FULL));
    plat::fault_disk_full(false);
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataW(*admin, u"v", &type, &out, 1, &needed), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out, old_value);
    EXPECT_EQ(GetPrinterDataW(*admin, u"fresh", &type, &out, 1, &needed), DWORD(ERROR_FILE_NOT_FOUND));
    restart();
    Printer again(kPrinter);
    EXPECT_EQ(GetPrinterDataW(again, u"v", &type, &out, 1, &needed), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(out, old_value);
}

TEST_F(SpoolData, TwoThreadsWriteTwoPrintersAtOnce)
{
    install(u"Second");
    constexpr int kValues = 100;
    auto writer = [](const char16_t *printer, BYTE seed, bool *ok) {
        Printer h(printer, PRINTER_ALL_ACCESS);
        *ok = h.ok;
        for (int i = 1; i <= kValues && *ok; i++) {
            std::vector<BYTE> chunk(size_t(i % 9) * 40 + 1, BYTE(seed + i));
            std::u16string name = u"PrinterData" + plat::utf8_to_utf16(std::to_string(i));
            *ok = SetPrinterDataW(h, name.c_str(), REG_BINARY, chunk.data(), DWORD(chunk.size())) == ERROR_SUCCESS;
        }
    };
    bool ok1 = false, ok2 = false;
    std::thread t1(writer, kPrinter, BYTE(10), &ok1);
    std::thread t2(writer, u"Second", BYTE(100), &ok2);
    t1.join();
    t2.join();
    ASSERT_TRUE(ok1 && ok2);
    admin.reset();
    restart(); /* everything both threads wrote reached the machine folder */
    for (auto [printer, seed] : {std::pair{kPrinter, BYTE(10)}, std::pair{u"Second", BYTE(100)}}) {
        Printer h(printer);
        for (int i = 1; i <= kValues; i++) {
            std::u16string name = u"PrinterData" + plat::utf8_to_utf16(std::to_string(i));
            std::vector<BYTE> out(1000);
            DWORD type = 0, needed = 0;
            ASSERT_EQ(GetPrinterDataW(h, name.c_str(), &type, out.data(), DWORD(out.size()), &needed),
                      DWORD(ERROR_SUCCESS));
            out.resize(needed);
            EXPECT_EQ(out, std::vector<BYTE>(size_t(i % 9) * 40 + 1, BYTE(seed + i)));
        }
    }
}

} // namespace
