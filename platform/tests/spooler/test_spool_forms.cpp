// Forms: the built-in table (numbered as the paper codes, sizes in
// thousandths of a millimetre), user forms added, changed and deleted,
// duplicates and bad forms, and who may change them.
#include "spool_fixture.h"

using namespace spooltest;

namespace {

class SpoolForms : public SpoolTest {
protected:
    void SetUp() override
    {
        SpoolTest::SetUp();
        install();
        admin = std::make_unique<Printer>(kPrinter, PRINTER_ALL_ACCESS);
    }
    void TearDown() override
    {
        admin.reset();
        SpoolTest::TearDown();
    }
    Answer all_forms(DWORD *count)
    {
        return two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return EnumFormsW(*admin, 1, b, c, n, count); });
    }
    std::unique_ptr<Printer> admin;
};

FORM_INFO_1W form(const char16_t *name, LONG cx, LONG cy, DWORD flags = FORM_USER)
{
    return FORM_INFO_1W{flags, const_cast<LPWSTR>(name), {cx, cy}, {0, 0, cx, cy}};
}

BOOL add(HANDLE h, FORM_INFO_1W f) { return AddFormW(h, 1, reinterpret_cast<BYTE *>(&f)); }

/* Expected built-in forms, worked out by hand: inches x 25,400, millimetres x 1,000. */
struct Expected {
    DWORD number;
    const char16_t *name;
    LONG cx, cy;
};
const Expected kExpected[] = {
    {1, u"Letter", 215900, 279400},       {5, u"Legal", 215900, 355600},
    {7, u"Executive", 184150, 266700},    {8, u"A3", 297000, 420000},
    {9, u"A4", 210000, 297000},           {11, u"A5", 148000, 210000},
    {12, u"B4 (JIS)", 257000, 364000},    {13, u"B5 (JIS)", 182000, 257000},
    {19, u"Envelope #9", 98425, 225425},  {20, u"Envelope #10", 104775, 241300},
    {27, u"Envelope DL", 110000, 220000}, {28, u"Envelope C5", 162000, 229000},
    {34, u"Envelope B5", 176000, 250000}, {37, u"Envelope Monarch", 98425, 190500},
    {43, u"Japanese Postcard", 100000, 148000}, {48, u"Reserved48", 1, 1},
    {49, u"Reserved49", 1, 1},            {50, u"Letter Extra", 241300, 304800},
    {66, u"A2", 420000, 594000},          {70, u"A6", 105000, 148000},
    {77, u"A4 Rotated", 297000, 210000},  {88, u"B6 (JIS)", 128000, 182000},
    {118, u"PRC Envelope #10 Rotated", 458000, 324000},
};

TEST_F(SpoolForms, BuiltinFormsSitAtTheirPaperCodes)
{
    DWORD count = 0;
    Answer a = all_forms(&count);
    ASSERT_EQ(count, 118u);
    for (const auto &e : kExpected) {
        SCOPED_TRACE(plat::utf16_to_utf8(e.name));
        const FORM_INFO_1W *f = a.as<FORM_INFO_1W>(e.number - 1);
        EXPECT_EQ(s16(f->pName), e.name);
        EXPECT_EQ(f->Flags, FORM_BUILTIN);
        EXPECT_EQ(f->Size.cx, e.cx);
        EXPECT_EQ(f->Size.cy, e.cy);
        EXPECT_EQ(f->ImageableArea.left, 0);
        EXPECT_EQ(f->ImageableArea.top, 0);
        EXPECT_EQ(f->ImageableArea.right, e.cx);
        EXPECT_EQ(f->ImageableArea.bottom, e.cy);
        EXPECT_TRUE(inside(a, f->pName));
    }
}

TEST_F(SpoolForms, GetFormFindsByNameIgnoringCase)
{
    Answer a = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetFormW(*admin, u"envelope dl", 1, b, c, n); });
    EXPECT_EQ(s16(a.as<FORM_INFO_1W>()->pName), u"Envelope DL");
    EXPECT_EQ(a.as<FORM_INFO_1W>()->Size.cx, 110000);
    DWORD needed = 0;
    SetLastError(0);
    EXPECT_FALSE(GetFormW(*admin, u"No Such Form", 1, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FORM_NAME));
    SetLastError(0);
    EXPECT_FALSE(GetFormW(*admin, u"A4", 2, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolForms, UserFormsFollowTheBuiltinOnes)
{
    ASSERT_TRUE(add(*admin, form(u"Custom1", 200000, 300000, FORM_PRINTER)));
    FORM_INFO_1W margins{FORM_USER, const_cast<LPWSTR>(u"Postcard 4x6"), {101600, 152400}, {4230, 4230, 97370, 148170}};
    ASSERT_TRUE(add(*admin, margins));
    DWORD count = 0;
    Answer a = all_forms(&count);
    ASSERT_EQ(count, 120u);
    const FORM_INFO_1W *f = a.as<FORM_INFO_1W>(118);
    EXPECT_EQ(s16(f->pName), u"Custom1");
    EXPECT_EQ(f->Flags, FORM_PRINTER);
    EXPECT_EQ(f->Size.cx, 200000);
    f = a.as<FORM_INFO_1W>(119);
    EXPECT_EQ(s16(f->pName), u"Postcard 4x6");
    EXPECT_EQ(f->ImageableArea.left, 4230);
    EXPECT_EQ(f->ImageableArea.bottom, 148170);

    Answer g = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetFormW(*admin, u"CUSTOM1", 1, b, c, n); });
    EXPECT_EQ(g.as<FORM_INFO_1W>()->Size.cy, 300000);
}

TEST_F(SpoolForms, BadAndDuplicateFormsAreRefused)
{
    ASSERT_TRUE(add(*admin, form(u"Mine", 100000, 100000)));
    std::u16string long_name(256, u'x');
    struct Bad {
        const char *what;
        FORM_INFO_1W f;
        DWORD error;
    };
    const Bad bad[] = {
        {"same name", form(u"MINE", 50000, 50000), ERROR_FILE_EXISTS},
        {"a built-in name", form(u"a4", 50000, 50000), ERROR_FILE_EXISTS},
        {"built-in flag", form(u"New", 50000, 50000, FORM_BUILTIN), ERROR_INVALID_PARAMETER},
        {"empty name", form(u"", 50000, 50000), ERROR_INVALID_PARAMETER},
        {"null name", FORM_INFO_1W{0, nullptr, {1, 1}, {0, 0, 1, 1}}, ERROR_INVALID_PARAMETER},
        {"long name", form(long_name.c_str(), 50000, 50000), ERROR_INVALID_PARAMETER},
        {"zero width", form(u"New", 0, 50000), ERROR_INVALID_FORM_SIZE},
        {"negative length", form(u"New", 50000, -1), ERROR_INVALID_FORM_SIZE},
        {"area inside out", FORM_INFO_1W{0, const_cast<LPWSTR>(u"New"), {100, 100}, {60, 0, 40, 100}},
         ERROR_INVALID_FORM_SIZE},
    };
    for (const auto &b : bad) {
        SCOPED_TRACE(b.what);
        SetLastError(0);
        EXPECT_FALSE(add(*admin, b.f));
        EXPECT_EQ(GetLastError(), b.error);
    }
    DWORD count = 0;
    all_forms(&count);
    EXPECT_EQ(count, 119u);
    FORM_INFO_1W f = form(u"x", 1, 1);
    SetLastError(0);
    EXPECT_FALSE(AddFormW(*admin, 2, reinterpret_cast<BYTE *>(&f)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolForms, SetAndDeleteWorkOnUserFormsOnly)
{
    ASSERT_TRUE(add(*admin, form(u"Mine", 100000, 100000)));
    FORM_INFO_1W changed = form(u"ignored", 120000, 130000, FORM_PRINTER);
    ASSERT_TRUE(SetFormW(*admin, u"mine", 1, reinterpret_cast<BYTE *>(&changed)));
    Answer g = two_call([&](LPBYTE b, DWORD c, LPDWORD n) { return GetFormW(*admin, u"Mine", 1, b, c, n); });
    EXPECT_EQ(s16(g.as<FORM_INFO_1W>()->pName), u"Mine") << "SetFormW keeps the name";
    EXPECT_EQ(g.as<FORM_INFO_1W>()->Size.cy, 130000);
    EXPECT_EQ(g.as<FORM_INFO_1W>()->Flags, FORM_PRINTER);

    SetLastError(0);
    EXPECT_FALSE(SetFormW(*admin, u"A4", 1, reinterpret_cast<BYTE *>(&changed)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(SetFormW(*admin, u"Nobody", 1, reinterpret_cast<BYTE *>(&changed)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FORM_NAME));
    SetLastError(0);
    EXPECT_FALSE(DeleteFormW(*admin, u"Letter"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    EXPECT_TRUE(DeleteFormW(*admin, u"MINE"));
    SetLastError(0);
    EXPECT_FALSE(DeleteFormW(*admin, u"Mine"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FORM_NAME));
    DWORD count = 0;
    all_forms(&count);
    EXPECT_EQ(count, 118u);
}

TEST_F(SpoolForms, ServerHandlesReachTheForms)
{
    Printer server(nullptr, SERVER_ALL_ACCESS);
    ASSERT_TRUE(server.ok);
    ASSERT_TRUE(add(server, form(u"Served", 100000, 100000)));
    DWORD count = 0;
    all_forms(&count);
    EXPECT_EQ(count, 119u);
    Printer enumerate(nullptr);
    SetLastError(0);
    EXPECT_FALSE(add(enumerate, form(u"Other", 100000, 100000)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(SpoolForms, InjectedEnumFailure)
{
    plat::spool_fail_after(plat::SpoolCall::EnumForms, 1, ERROR_NOT_ENOUGH_MEMORY);
    DWORD needed = 0, count = 7;
    SetLastError(0);
    EXPECT_FALSE(EnumFormsW(*admin, 1, nullptr, 0, &needed, &count));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(count, 0u);
}

} // namespace
