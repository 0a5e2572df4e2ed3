/*
 * The destination line of a fax job: the address, the attribute pieces in
 * braces with their counted lengths and limits, the scrambled form of the
 * attribute texts, and the JOBATTR wrapping.
 */
#include <tarvel/base/scramble_wide.h>
#include <tarvel/base/util_codepage.h>
#include <tarvel/fax_layout.h>
#include <tarvel/stores/fax_line.h>

#include <plat/memory.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {

constexpr size_t kListFieldChars = 2;  /* a field of the 1816 list */
constexpr size_t kListPaddedChars = 4;
constexpr size_t kListMaxChars = 80;   /* the joined list */

/* The text of a field of `bytes` bytes, up to its terminator or its end. */
std::u16string field(const BYTE *record, DWORD offset, DWORD bytes)
{
    std::u16string s;
    for (DWORD i = 0; i + 1 < bytes; i += 2) {
        WCHAR c = plat::load<WCHAR>(record + offset + i);
        if (!c)
            break;
        s.push_back(c);
    }
    return s;
}

std::u16string bounded(const WCHAR *text, size_t chars)
{
    std::u16string s;
    for (size_t i = 0; i < chars && text[i]; ++i)
        s.push_back(text[i]);
    return s;
}

WORD word(const BYTE *entry, DWORD offset) { return plat::load_u16(entry, offset); }

/* `text` in the ANSI code page. */
bool ansi(const std::u16string &text, std::string &out)
{
    out.clear();
    if (text.empty())
        return true;
    const int needed = UTL_WideToCodePage(0, text.c_str(), nullptr, 0);
    if (needed <= 0)
        return false;
    out.resize(size_t(needed));
    if (UTL_WideToCodePage(0, text.c_str(), out.data(), needed) != needed)
        return false;
    out.resize(size_t(needed) - 1);
    return true;
}

/* `text` scrambled and Base64-encoded, in ANSI. */
bool scrambled(const std::u16string &text, std::string &out)
{
    WCHAR *result = nullptr;
    if (!UTL_ScrambleWide(1, text.c_str(), &result))
        return false;
    bool ok = ansi(std::u16string(result), out);
    GlobalFree(result);
    return ok;
}

std::string number(const char *format, int a, int b, int c = 0)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

/* The line being built: its pieces and the two counted lengths. */
struct Line {
    std::string address;
    std::string pieces;
    LONG n = 0;
    LONG t = 0;
};

/* A piece counted in N or T with its braces and the plain length of its text. */
void addPiece(Line &line, const std::string &head, const std::string &text, size_t plainLength, bool inT)
{
    line.pieces += "{" + head + text + "}";
    const LONG counted = LONG(head.size() + plainLength + 2);
    (inT ? line.t : line.n) += counted;
}

/* Adds the piece of a text that the scrambled form scrambles. */
bool addTextPiece(Line &line, const std::string &head, const std::u16string &text, bool scramble, bool inT)
{
    std::string plain, sent;
    if (!ansi(text, plain))
        return false;
    if (scramble && !text.empty()) {
        if (!scrambled(text, sent))
            return false;
    } else {
        sent = plain;
    }
    addPiece(line, head, sent, plain.size(), inT);
    return true;
}

} // namespace

BOOL FAX_ConvertAttr1List(LPCWSTR list, LPWSTR out)
{
    if (!list || !out)
        return FALSE;
    std::u16string result;
    const std::u16string text(list);
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(u',', start);
        const bool last = comma == std::u16string::npos;
        const std::u16string piece = text.substr(start, last ? std::u16string::npos : comma - start);
        if (piece.empty()) {
            /* Only the last field may be empty: a trailing comma, or an empty list. */
            if (!last)
                return FALSE;
        } else {
            if (piece.size() > kListFieldChars)
                return FALSE;
            result += std::u16string(kListPaddedChars - piece.size(), u'0') + piece;
            if (result.size() > kListMaxChars)
                return FALSE;
        }
        if (last)
            break;
        start = comma + 1;
    }
    std::memcpy(out, result.c_str(), (result.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

BOOL FAX_WriteFaxEntryAttrs(int destinationKind, const BYTE *entry, const FaxDialling *dialling, DWORD capacity,
                            BOOL jobAttrForm, int, LPSTR out, LONG *outLength)
{
    if (!entry || !dialling || !outLength)
        return FALSE;
    *outLength = 0;
    const bool scramble = destinationKind == FAX_DEST_SCRAMBLED;

    /* The dialling prefix and flag that field 1796 selects. */
    std::u16string prefix;
    WORD flag = dialling->thirdFlag;
    switch (word(entry, FAX_E_PREFIX_SELECT)) {
    case 2:
        prefix = bounded(dialling->firstPrefix, std::size(dialling->firstPrefix));
        flag = dialling->firstFlag;
        break;
    case 1:
        prefix = bounded(dialling->secondPrefix, std::size(dialling->secondPrefix));
        flag = dialling->secondFlag;
        break;
    default:
        break;
    }

    Line line;
    const std::u16string address = field(entry, FAX_E_ADDRESS, FAX_E_ADDRESS_SIZE);
    if (!ansi(word(entry, FAX_E_ADDRESS_KIND) == 1 ? u"'" + address + u"'" : prefix + address, line.address))
        return FALSE;
    line.n = LONG(line.address.size());

    switch (word(entry, FAX_E_ATTR_SELECT)) {
    case 2: {
        WCHAR list[kListMaxChars + 1];
        std::string converted;
        if (!FAX_ConvertAttr1List(field(entry, FAX_E_ATTR1_LIST, FAX_E_ATTR1_LIST_SIZE).c_str(), list)) {
            *outLength = -1;
            return FALSE;
        }
        if (!ansi(list, converted))
            return FALSE;
        const std::string head =
            number("%d%04d%d", 1, word(entry, FAX_E_ATTR1_NUMBER), word(entry, FAX_E_ATTR1_FLAG) == 1 ? 1 : 0);
        addPiece(line, head, converted, converted.size(), false);
        break;
    }
    case 1:
        if (!addTextPiece(line, number("%d%04d", 4, word(entry, FAX_E_ATTR4_NUMBER)),
                          field(entry, FAX_E_ATTR4_TEXT, FAX_E_ATTR4_TEXT_SIZE), scramble, false))
            return FALSE;
        break;
    default:
        break;
    }
    addPiece(line, number("%d%d", 2, flag != 0 ? 1 : 0), "", 0, false);
    static constexpr int kAttr3[] = {0, 2, 4};
    const WORD attr3 = word(entry, FAX_E_ATTR3);
    if (attr3 > 2)
        return FALSE;
    addPiece(line, number("%d%d", 3, kAttr3[attr3]), "", 0, false);
    const std::u16string text5 = field(entry, FAX_E_ATTR5_TEXT, FAX_E_ATTR56_SIZE);
    if (!text5.empty() && !addTextPiece(line, "5", text5, false, true))
        return FALSE;
    const std::u16string text6 = field(entry, FAX_E_ATTR6_TEXT, FAX_E_ATTR56_SIZE);
    if (!text6.empty() && !addTextPiece(line, "6", text6, scramble, true))
        return FALSE;

    if (line.n > FAX_MAX_NUMBER_LENGTH || line.t > FAX_MAX_TEXT_LENGTH) {
        *outLength = -1;
        return FALSE;
    }
    if (!out) {
        *outLength = line.n;
        return TRUE;
    }
    std::string text;
    if (jobAttrForm)
        text = "@PJL SET JOBATTR=\"";
    text += scramble ? "@FAEN=" : "@FANU=";
    text += line.address + line.pieces;
    if (jobAttrForm)
        text += "\"";
    text += "\r\n";
    if (text.size() > capacity)
        return FALSE;
    std::memcpy(out, text.data(), text.size());
    if (text.size() < capacity)
        out[text.size()] = 0;
    *outLength = LONG(text.size());
    return TRUE;
}
