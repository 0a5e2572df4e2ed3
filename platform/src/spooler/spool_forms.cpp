/*
 * The forms database: the standard forms every Windows machine has, numbered
 * from 1 as the DMPAPER_ paper codes, followed by forms users added.
 * EnumFormsW, GetFormW, AddFormW, SetFormW and DeleteFormW.
 *
 * The built-in table follows the public list of paper codes and their sizes
 * (the dmPaperSize values of DEVMODE): inch sizes are converted exactly at
 * 25.4 mm, metric ones as given; sizes are in thousandths of a millimetre
 * and each form's imageable area is the whole sheet.  "B4 (JIS)" and its
 * relatives carry the JIS B sizes (257 x 364 mm).  Codes 48 and 49 are
 * reserved; the forms "Reserved48" and "Reserved49" (1 x 1) hold their
 * places so that every form's position stays its paper code.
 */
#include "spool_private.h"

namespace plat::spool {

namespace {

/* Thousandths of a millimetre in an inch. */
constexpr LONG kInch = 25400;

constexpr LONG in(double inches) { return LONG(inches * kInch + 0.5); }
constexpr LONG mm(LONG millimetres) { return millimetres * 1000; }

} // namespace

const BuiltinForm kBuiltinForms[] = {
    {u"Letter", in(8.5), in(11)},                                   /* 1 */
    {u"Letter Small", in(8.5), in(11)},                             /* 2 */
    {u"Tabloid", in(11), in(17)},                                   /* 3 */
    {u"Ledger", in(17), in(11)},                                    /* 4 */
    {u"Legal", in(8.5), in(14)},                                    /* 5 */
    {u"Statement", in(5.5), in(8.5)},                               /* 6 */
    {u"Executive", in(7.25), in(10.5)},                             /* 7 */
    {u"A3", mm(297), mm(420)},                                      /* 8 */
    {u"A4", mm(210), mm(297)},                                      /* 9 */
    {u"A4 Small", mm(210), mm(297)},                                /* 10 */
    {u"A5", mm(148), mm(210)},                                      /* 11 */
    {u"B4 (JIS)", mm(257), mm(364)},                                /* 12 */
    {u"B5 (JIS)", mm(182), mm(257)},                                /* 13 */
    {u"Folio", in(8.5), in(13)},                                    /* 14 */
    {u"Quarto", mm(215), mm(275)},                                  /* 15 */
    {u"10x14", in(10), in(14)},                                     /* 16 */
    {u"11x17", in(11), in(17)},                                     /* 17 */
    {u"Note", in(8.5), in(11)},                                     /* 18 */
    {u"Envelope #9", in(3.875), in(8.875)},                         /* 19 */
    {u"Envelope #10", in(4.125), in(9.5)},                          /* 20 */
    {u"Envelope #11", in(4.5), in(10.375)},                         /* 21 */
    {u"Envelope #12", in(4.75), in(11)},                            /* 22 */
    {u"Envelope #14", in(5), in(11.5)},                             /* 23 */
    {u"C size sheet", in(17), in(22)},                              /* 24 */
    {u"D size sheet", in(22), in(34)},                              /* 25 */
    {u"E size sheet", in(34), in(44)},                              /* 26 */
    {u"Envelope DL", mm(110), mm(220)},                             /* 27 */
    {u"Envelope C5", mm(162), mm(229)},                             /* 28 */
    {u"Envelope C3", mm(324), mm(458)},                             /* 29 */
    {u"Envelope C4", mm(229), mm(324)},                             /* 30 */
    {u"Envelope C6", mm(114), mm(162)},                             /* 31 */
    {u"Envelope C65", mm(114), mm(229)},                            /* 32 */
    {u"Envelope B4", mm(250), mm(353)},                             /* 33 */
    {u"Envelope B5", mm(176), mm(250)},                             /* 34 */
    {u"Envelope B6", mm(176), mm(125)},                             /* 35 */
    {u"Envelope", mm(110), mm(230)},                                /* 36 */
    {u"Envelope Monarch", in(3.875), in(7.5)},                      /* 37 */
    {u"6 3/4 Envelope", in(3.625), in(6.5)},                        /* 38 */
    {u"US Std Fanfold", in(14.875), in(11)},                        /* 39 */
    {u"German Std Fanfold", in(8.5), in(12)},                       /* 40 */
    {u"German Legal Fanfold", in(8.5), in(13)},                     /* 41 */
    {u"B4 (ISO)", mm(250), mm(353)},                                /* 42 */
    {u"Japanese Postcard", mm(100), mm(148)},                       /* 43 */
    {u"9x11", in(9), in(11)},                                       /* 44 */
    {u"10x11", in(10), in(11)},                                     /* 45 */
    {u"15x11", in(15), in(11)},                                     /* 46 */
    {u"Envelope Invite", mm(220), mm(220)},                         /* 47 */
    {u"Reserved48", 1, 1},                                          /* 48 */
    {u"Reserved49", 1, 1},                                          /* 49 */
    {u"Letter Extra", in(9.5), in(12)},                             /* 50 */
    {u"Legal Extra", in(9.5), in(15)},                              /* 51 */
    {u"Tabloid Extra", in(11.69), in(18)},                          /* 52 */
    {u"A4 Extra", in(9.27), in(12.69)},                             /* 53 */
    {u"Letter Transverse", in(8.5), in(11)},                        /* 54 */
    {u"A4 Transverse", mm(210), mm(297)},                           /* 55 */
    {u"Letter Extra Transverse", in(9.5), in(12)},                  /* 56 */
    {u"Super A", mm(227), mm(356)},                                 /* 57 */
    {u"Super B", mm(305), mm(487)},                                 /* 58 */
    {u"Letter Plus", in(8.5), in(12.69)},                           /* 59 */
    {u"A4 Plus", mm(210), mm(330)},                                 /* 60 */
    {u"A5 Transverse", mm(148), mm(210)},                           /* 61 */
    {u"B5 (JIS) Transverse", mm(182), mm(257)},                     /* 62 */
    {u"A3 Extra", mm(322), mm(445)},                                /* 63 */
    {u"A5 Extra", mm(174), mm(235)},                                /* 64 */
    {u"B5 (ISO) Extra", mm(201), mm(276)},                          /* 65 */
    {u"A2", mm(420), mm(594)},                                      /* 66 */
    {u"A3 Transverse", mm(297), mm(420)},                           /* 67 */
    {u"A3 Extra Transverse", mm(322), mm(445)},                     /* 68 */
    {u"Japanese Double Postcard", mm(200), mm(148)},                /* 69 */
    {u"A6", mm(105), mm(148)},                                      /* 70 */
    {u"Japanese Envelope Kaku #2", mm(240), mm(332)},               /* 71 */
    {u"Japanese Envelope Kaku #3", mm(216), mm(277)},               /* 72 */
    {u"Japanese Envelope Chou #3", mm(120), mm(235)},               /* 73 */
    {u"Japanese Envelope Chou #4", mm(90), mm(205)},                /* 74 */
    {u"Letter Rotated", in(11), in(8.5)},                           /* 75 */
    {u"A3 Rotated", mm(420), mm(297)},                              /* 76 */
    {u"A4 Rotated", mm(297), mm(210)},                              /* 77 */
    {u"A5 Rotated", mm(210), mm(148)},                              /* 78 */
    {u"B4 (JIS) Rotated", mm(364), mm(257)},                        /* 79 */
    {u"B5 (JIS) Rotated", mm(257), mm(182)},                        /* 80 */
    {u"Japanese Postcard Rotated", mm(148), mm(100)},               /* 81 */
    {u"Double Japan Postcard Rotated", mm(148), mm(200)},           /* 82 */
    {u"A6 Rotated", mm(148), mm(105)},                              /* 83 */
    {u"Japanese Envelope Kaku #2 Rotated", mm(332), mm(240)},       /* 84 */
    {u"Japanese Envelope Kaku #3 Rotated", mm(277), mm(216)},       /* 85 */
    {u"Japanese Envelope Chou #3 Rotated", mm(235), mm(120)},       /* 86 */
    {u"Japanese Envelope Chou #4 Rotated", mm(205), mm(90)},        /* 87 */
    {u"B6 (JIS)", mm(128), mm(182)},                                /* 88 */
    {u"B6 (JIS) Rotated", mm(182), mm(128)},                        /* 89 */
    {u"12x11", in(12), in(11)},                                     /* 90 */
    {u"Japanese Envelope You #4", mm(105), mm(235)},                /* 91 */
    {u"Japanese Envelope You #4 Rotated", mm(235), mm(105)},        /* 92 */
    {u"PRC 16K", mm(146), mm(215)},                                 /* 93 */
    {u"PRC 32K", mm(97), mm(151)},                                  /* 94 */
    {u"PRC 32K(Big)", mm(97), mm(151)},                             /* 95 */
    {u"PRC Envelope #1", mm(102), mm(165)},                         /* 96 */
    {u"PRC Envelope #2", mm(102), mm(176)},                         /* 97 */
    {u"PRC Envelope #3", mm(125), mm(176)},                         /* 98 */
    {u"PRC Envelope #4", mm(110), mm(208)},                         /* 99 */
    {u"PRC Envelope #5", mm(110), mm(220)},                         /* 100 */
    {u"PRC Envelope #6", mm(120), mm(230)},                         /* 101 */
    {u"PRC Envelope #7", mm(160), mm(230)},                         /* 102 */
    {u"PRC Envelope #8", mm(120), mm(309)},                         /* 103 */
    {u"PRC Envelope #9", mm(229), mm(324)},                         /* 104 */
    {u"PRC Envelope #10", mm(324), mm(458)},                        /* 105 */
    {u"PRC 16K Rotated", mm(215), mm(146)},                         /* 106 */
    {u"PRC 32K Rotated", mm(151), mm(97)},                          /* 107 */
    {u"PRC 32K(Big) Rotated", mm(151), mm(97)},                     /* 108 */
    {u"PRC Envelope #1 Rotated", mm(165), mm(102)},                 /* 109 */
    {u"PRC Envelope #2 Rotated", mm(176), mm(102)},                 /* 110 */
    {u"PRC Envelope #3 Rotated", mm(176), mm(125)},                 /* 111 */
    {u"PRC Envelope #4 Rotated", mm(208), mm(110)},                 /* 112 */
    {u"PRC Envelope #5 Rotated", mm(220), mm(110)},                 /* 113 */
    {u"PRC Envelope #6 Rotated", mm(230), mm(120)},                 /* 114 */
    {u"PRC Envelope #7 Rotated", mm(230), mm(160)},                 /* 115 */
    {u"PRC Envelope #8 Rotated", mm(309), mm(120)},                 /* 116 */
    {u"PRC Envelope #9 Rotated", mm(324), mm(229)},                 /* 117 */
    {u"PRC Envelope #10 Rotated", mm(458), mm(324)},                /* 118 */
};
const size_t kBuiltinFormCount = sizeof kBuiltinForms / sizeof kBuiltinForms[0];
static_assert(sizeof kBuiltinForms / sizeof kBuiltinForms[0] == 118, "one built-in form per paper code 1-118");

namespace {

/* A form as the functions hand it out. */
struct FormView {
    std::u16string_view name;
    DWORD flags;
    LONG cx, cy;
    RECTL area;
};

FormView builtin_view(size_t i)
{
    const BuiltinForm &b = kBuiltinForms[i];
    return FormView{b.name, FORM_BUILTIN, b.cx, b.cy, RECTL{0, 0, b.cx, b.cy}};
}

FormView user_view(const Form &f) { return FormView{f.name, f.flags, f.cx, f.cy, f.area}; }

void pack_form(Packer &pk, size_t index, const FormView &f)
{
    FORM_INFO_1W r{};
    r.Flags = f.flags;
    r.pName = pk.str(f.name);
    r.Size = SIZEL{f.cx, f.cy};
    r.ImageableArea = f.area;
    pk.record(index, r);
}

/* The built-in form's index, or -1. */
long find_builtin(std::u16string_view name)
{
    for (size_t i = 0; i < kBuiltinFormCount; i++)
        if (same_name(kBuiltinForms[i].name, name))
            return long(i);
    return -1;
}

Form *find_user_form(State &st, std::u16string_view name)
{
    for (auto &f : st.forms)
        if (same_name(f.name, name))
            return &f;
    return nullptr;
}

/* Checks a FORM_INFO_1W's flags, size and area; ERROR_SUCCESS or the error. */
DWORD check_form(const FORM_INFO_1W &f)
{
    if (f.Flags & FORM_BUILTIN)
        return ERROR_INVALID_PARAMETER;
    if (f.Size.cx <= 0 || f.Size.cy <= 0 || f.ImageableArea.left > f.ImageableArea.right ||
        f.ImageableArea.top > f.ImageableArea.bottom)
        return ERROR_INVALID_FORM_SIZE;
    return ERROR_SUCCESS;
}

/*
 * The start of a forms call: counts `call` against its injected fault and
 * takes the handle, a live printer or server handle; to change forms it must
 * administer (PRINTER_ACCESS_ADMINISTER, or SERVER_ACCESS_ADMINISTER on a
 * server handle).  Only level 1 records are known (ERROR_INVALID_LEVEL).
 * Null with the last error set when any step fails.
 */
HandleObject *enter_forms(Session &s, SpoolCall call, bool change, DWORD level)
{
    DWORD err;
    if (injected(s.st, call, &err)) {
        fail(err);
        return nullptr;
    }
    HandleObject *h = s.live();
    if (h && h->kind == HandleObject::PRINTER && !find_printer_id(s.st, h->printer_id))
        h = nullptr;
    if (!h || h->kind == HandleObject::XCV) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DWORD need = h->kind == HandleObject::SERVER ? SERVER_ACCESS_ADMINISTER : PRINTER_ACCESS_ADMINISTER;
    if (change && !(h->access & need)) {
        fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (level != 1) {
        fail(ERROR_INVALID_LEVEL);
        return nullptr;
    }
    return h;
}

} // namespace

} // namespace plat::spool

using namespace plat;
using namespace plat::spool;

BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned)
{
    if (pcReturned)
        *pcReturned = 0;
    Session s(hPrinter);
    if (!enter_forms(s, SpoolCall::EnumForms, false, Level))
        return FALSE;
    if (!pcbNeeded || !pcReturned)
        return fail(ERROR_INVALID_PARAMETER);
    size_t count = kBuiltinFormCount + s.st.forms.size();
    auto fill = [&](Packer &pk) {
        for (size_t i = 0; i < kBuiltinFormCount; i++)
            pack_form(pk, i, builtin_view(i));
        for (size_t i = 0; i < s.st.forms.size(); i++)
            pack_form(pk, kBuiltinFormCount + i, user_view(s.st.forms[i]));
    };
    DWORD err;
    if (!pack_answer(pForm, cbBuf, pcbNeeded, count * sizeof(FORM_INFO_1W), fill, &err))
        return fail(err);
    *pcReturned = DWORD(count);
    return TRUE;
}

BOOL GetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded)
{
    Session s(hPrinter);
    if (!enter_forms(s, SpoolCall::GetForm, false, Level))
        return FALSE;
    if (!pFormName || !pcbNeeded)
        return fail(ERROR_INVALID_PARAMETER);
    std::u16string name = wstr(pFormName);
    FormView view;
    long b = find_builtin(name);
    if (b >= 0) {
        view = builtin_view(size_t(b));
    } else if (const Form *f = find_user_form(s.st, name)) {
        view = user_view(*f);
    } else {
        return fail(ERROR_INVALID_FORM_NAME);
    }
    DWORD err;
    if (!pack_answer(pForm, cbBuf, pcbNeeded, sizeof(FORM_INFO_1W), [&](Packer &pk) { pack_form(pk, 0, view); },
                     &err))
        return fail(err);
    return TRUE;
}

BOOL AddFormW(HANDLE hPrinter, DWORD Level, const BYTE *pForm)
{
    Session s(hPrinter);
    if (!enter_forms(s, SpoolCall::AddForm, true, Level))
        return FALSE;
    DWORD err;
    if (!pForm)
        return fail(ERROR_INVALID_PARAMETER);
    FORM_INFO_1W f = load<FORM_INFO_1W>(pForm);
    std::u16string name = wstr(f.pName);
    if (name.empty() || name.size() > kMaxFormName)
        return fail(ERROR_INVALID_PARAMETER);
    if ((err = check_form(f)) != ERROR_SUCCESS)
        return fail(err);
    if (find_builtin(name) >= 0 || find_user_form(s.st, name))
        return fail(ERROR_FILE_EXISTS);
    s.st.forms.push_back(Form{name, f.Flags, f.Size.cx, f.Size.cy, f.ImageableArea});
    if ((err = save(s.st)) != ERROR_SUCCESS) {
        s.st.forms.pop_back();
        return fail(err);
    }
    return TRUE;
}

BOOL SetFormW(HANDLE hPrinter, LPCWSTR pFormName, DWORD Level, const BYTE *pForm)
{
    Session s(hPrinter);
    if (!enter_forms(s, SpoolCall::SetForm, true, Level))
        return FALSE;
    DWORD err;
    if (!pFormName || !pForm)
        return fail(ERROR_INVALID_PARAMETER);
    std::u16string name = wstr(pFormName);
    if (find_builtin(name) >= 0)
        return fail(ERROR_INVALID_PARAMETER);
    Form *form = find_user_form(s.st, name);
    if (!form)
        return fail(ERROR_INVALID_FORM_NAME);
    FORM_INFO_1W f = load<FORM_INFO_1W>(pForm);
    if ((err = check_form(f)) != ERROR_SUCCESS)
        return fail(err);
    Form before = *form;
    form->flags = f.Flags;
    form->cx = f.Size.cx;
    form->cy = f.Size.cy;
    form->area = f.ImageableArea;
    if ((err = save(s.st)) != ERROR_SUCCESS) {
        *form = std::move(before);
        return fail(err);
    }
    return TRUE;
}

BOOL DeleteFormW(HANDLE hPrinter, LPCWSTR pFormName)
{
    Session s(hPrinter);
    if (!enter_forms(s, SpoolCall::DeleteForm, true, 1))
        return FALSE;
    DWORD err;
    if (!pFormName)
        return fail(ERROR_INVALID_PARAMETER);
    std::u16string name = wstr(pFormName);
    if (find_builtin(name) >= 0)
        return fail(ERROR_INVALID_PARAMETER);
    Form *form = find_user_form(s.st, name);
    if (!form)
        return fail(ERROR_INVALID_FORM_NAME);
    size_t index = size_t(form - s.st.forms.data());
    Form gone = std::move(*form);
    s.st.forms.erase(s.st.forms.begin() + std::ptrdiff_t(index));
    if ((err = save(s.st)) != ERROR_SUCCESS) {
        s.st.forms.insert(s.st.forms.begin() + std::ptrdiff_t(index), std::move(gone));
        return fail(err);
    }
    return TRUE;
}
