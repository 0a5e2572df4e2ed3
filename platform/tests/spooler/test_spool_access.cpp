// Opening printers: names, the access an administrator and an ordinary user
// get, what each access allows, injected refusals, and closing handles.
#include "spool_fixture.h"

using namespace spooltest;

namespace {

struct AccessCase {
    plat::SpoolUser user;
    DWORD asked;
    DWORD error;       /* 0: the open succeeds */
    bool may_administer; /* SetPrinterDataW works through the handle */
};

class SpoolAccess : public SpoolTest, public ::testing::WithParamInterface<AccessCase> {};

TEST_P(SpoolAccess, OpenGrantsOrRefuses)
{
    install();
    const AccessCase &c = GetParam();
    plat::spool_set_current_user_rights(c.user);
    Printer h(kPrinter, c.asked);
    if (c.error) {
        EXPECT_FALSE(h.ok);
        EXPECT_EQ(h.error, c.error);
        EXPECT_EQ(h.h, nullptr);
        return;
    }
    ASSERT_TRUE(h.ok) << "error " << h.error;
    DWORD v = 7;
    DWORD expect = c.may_administer ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetPrinterDataW(h, u"Permission", REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), expect);
    /* Every handle may read and print. */
    DWORD type = 0, needed = 0;
    DWORD got = 0;
    DWORD read = GetPrinterDataW(h, u"Permission", &type, reinterpret_cast<BYTE *>(&got), 4, &needed);
    EXPECT_EQ(read, c.may_administer ? DWORD(ERROR_SUCCESS) : DWORD(ERROR_FILE_NOT_FOUND));
}

using U = plat::SpoolUser;
INSTANTIATE_TEST_SUITE_P(
    Table, SpoolAccess,
    ::testing::Values(AccessCase{U::Administrator, 0, 0, false},
                      AccessCase{U::Administrator, PRINTER_ACCESS_USE, 0, false},
                      AccessCase{U::Administrator, PRINTER_ALL_ACCESS, 0, true},
                      AccessCase{U::Administrator, PRINTER_ACCESS_ADMINISTER, 0, true},
                      AccessCase{U::Administrator, GENERIC_ALL, 0, true},
                      AccessCase{U::Administrator, MAXIMUM_ALLOWED, 0, true},
                      AccessCase{U::Ordinary, 0, 0, false},
                      AccessCase{U::Ordinary, PRINTER_ACCESS_USE, 0, false},
                      AccessCase{U::Ordinary, GENERIC_READ, 0, false},
                      AccessCase{U::Ordinary, READ_CONTROL, 0, false},
                      AccessCase{U::Ordinary, MAXIMUM_ALLOWED, 0, false},
                      AccessCase{U::Ordinary, PRINTER_ALL_ACCESS, ERROR_ACCESS_DENIED, false},
                      AccessCase{U::Ordinary, PRINTER_ACCESS_ADMINISTER, ERROR_ACCESS_DENIED, false},
                      AccessCase{U::Ordinary, GENERIC_ALL, ERROR_ACCESS_DENIED, false},
                      AccessCase{U::Ordinary, DELETE, ERROR_ACCESS_DENIED, false},
                      AccessCase{U::Ordinary, WRITE_DAC, ERROR_ACCESS_DENIED, false}));

class SpoolOpen : public SpoolTest {};

TEST_F(SpoolOpen, NamesMatchIgnoringCaseAndUnknownNamesAreRefused)
{
    install();
    Printer same(u"TARVEL colour");
    EXPECT_TRUE(same.ok);
    HANDLE h = reinterpret_cast<HANDLE>(0x1234);
    SetLastError(0);
    EXPECT_FALSE(OpenPrinterW(u"No Such Printer", &h, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
    EXPECT_EQ(h, nullptr);
    EXPECT_FALSE(OpenPrinterW(kPrinter, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolOpen, OnlyRawDataIsAccepted)
{
    install();
    WCHAR emf[] = u"NT EMF 1.008";
    Printer bad(kPrinter, 0, emf);
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.error, DWORD(ERROR_INVALID_DATATYPE));
    WCHAR raw[] = u"raw";
    Printer good(kPrinter, 0, raw);
    EXPECT_TRUE(good.ok);
}

TEST_F(SpoolOpen, InjectedRefusalHitsTheNamedCallOnly)
{
    install();
    plat::spool_fail_after(plat::SpoolCall::OpenPrinter, 2, ERROR_ACCESS_DENIED);
    Printer first(kPrinter);
    Printer second(kPrinter);
    Printer third(kPrinter);
    EXPECT_TRUE(first.ok);
    EXPECT_FALSE(second.ok);
    EXPECT_EQ(second.error, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(third.ok);
}

TEST_F(SpoolOpen, PrinterRightsCanLetUsersAdminister)
{
    install();
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    EXPECT_FALSE(Printer(kPrinter, PRINTER_ALL_ACCESS).ok);
    ASSERT_EQ(plat::spool_set_printer_user_rights(kPrinter, PRINTER_ALL_ACCESS), DWORD(ERROR_SUCCESS));
    Printer h(kPrinter, PRINTER_ALL_ACCESS);
    ASSERT_TRUE(h.ok);
    BYTE b = 1;
    EXPECT_EQ(SetPrinterDataW(h, u"x", REG_BINARY, &b, 1), DWORD(ERROR_SUCCESS));
}

TEST_F(SpoolOpen, ChangesNeedAdministerAccess)
{
    install();
    Printer user(kPrinter, PRINTER_ACCESS_USE);
    Printer admin(kPrinter, PRINTER_ALL_ACCESS);
    BYTE b = 1;
    ASSERT_EQ(SetPrinterDataW(admin, u"kept", REG_BINARY, &b, 1), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(DeletePrinterDataW(user, u"kept"), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SetPrinterDataExW(user, u"Other", u"v", REG_BINARY, &b, 1), DWORD(ERROR_ACCESS_DENIED));
    DWORD status = PRINTER_STATUS_PAUSED;
    SetLastError(0);
    EXPECT_FALSE(SetPrinterW(user, 0, reinterpret_cast<BYTE *>(&status), PRINTER_CONTROL_SET_STATUS));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    FORM_INFO_1W f{FORM_USER, const_cast<LPWSTR>(u"Mine"), {100000, 100000}, {0, 0, 100000, 100000}};
    SetLastError(0);
    EXPECT_FALSE(AddFormW(user, 1, reinterpret_cast<BYTE *>(&f)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    /* A handle for administering only may not print. */
    Printer manage(kPrinter, PRINTER_ACCESS_ADMINISTER);
    DOC_INFO_1W di{const_cast<LPWSTR>(u"doc"), nullptr, nullptr};
    SetLastError(0);
    EXPECT_EQ(StartDocPrinterW(manage, 1, reinterpret_cast<BYTE *>(&di)), 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    DWORD type = 0, needed = 0;
    EXPECT_EQ(GetPrinterDataW(user, u"kept", &type, &b, 1, &needed), DWORD(ERROR_SUCCESS));
}

TEST_F(SpoolOpen, ClosingTakesPrinterHandlesOnly)
{
    install();
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(kPrinter, &h, nullptr));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h)) << "printer handles are closed with ClosePrinter";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(ClosePrinter(h));
    SetLastError(0);
    EXPECT_FALSE(ClosePrinter(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ClosePrinter(nullptr));
}

TEST_F(SpoolOpen, HandlesOfADeletedPrinterAreDead)
{
    install();
    Printer h(kPrinter);
    ASSERT_EQ(plat::spool_delete_printer(kPrinter), DWORD(ERROR_SUCCESS));
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(h, 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    DWORD type = 0;
    EXPECT_EQ(GetPrinterDataW(h, u"x", &type, nullptr, 0, &needed), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(Printer(kPrinter).ok);
}

TEST_F(SpoolOpen, ServerHandleCarriesNoPrinter)
{
    install();
    Printer server(nullptr);
    ASSERT_TRUE(server.ok);
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetPrinterW(server, 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    plat::spool_set_current_user_rights(plat::SpoolUser::Ordinary);
    EXPECT_FALSE(Printer(nullptr, SERVER_ALL_ACCESS).ok);
    EXPECT_TRUE(Printer(nullptr).ok);
}

} // namespace
