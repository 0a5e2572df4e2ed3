/*
 * The message formatter: the format is cut into pieces (literal text and
 * argument references), the arguments are taken in index order, and the
 * output is built piece by piece within the caller's capacity.
 */
#include <tarvel/base/res_format.h>

#include <plat/text.h>

#include <array>

namespace {

/* Limits of one message: pieces, and argument references among them. */
constexpr int kMaxPieces = 20;
constexpr int kMaxReferences = 10;

enum class PieceKind { Literal, String, Number };

struct Piece {
    PieceKind kind = PieceKind::Literal;
    int index = 0;      /* argument index of a reference */
    size_t start = 0;   /* first character in the format */
    size_t length = 0;  /* characters of the format it stands for (literal: its text) */
    bool print = true;  /* lower-case reference: print the argument */
};

struct Message {
    std::array<Piece, kMaxPieces> pieces{};
    int count = 0;
    int references = 0;
};

bool isConversion(WCHAR c) { return c == u's' || c == u'd' || c == u'S' || c == u'D'; }

/* Adds `length` literal characters at `start`, joining them to a literal piece that ends right there. */
void addLiteral(Message &m, size_t start, size_t length, bool joinable)
{
    if (joinable && m.count > 0) {
        Piece &last = m.pieces[m.count - 1];
        if (last.kind == PieceKind::Literal && last.start + last.length == start) {
            last.length += length;
            return;
        }
    }
    Piece &p = m.pieces[m.count++];
    p = Piece{};
    p.start = start;
    p.length = length;
}

void addReference(Message &m, WCHAR conversion, int index, size_t start, size_t length)
{
    Piece &p = m.pieces[m.count++];
    p.kind = (conversion == u's' || conversion == u'S') ? PieceKind::String : PieceKind::Number;
    p.index = index;
    p.start = start;
    p.length = length;
    p.print = conversion == u's' || conversion == u'd';
    ++m.references;
}

void parse(const WCHAR *format, size_t n, Message &m)
{
    size_t i = 0;
    while (i < n) {
        if (m.count >= kMaxPieces - 1) {
            addLiteral(m, i, n - i, true);
            return;
        }
        WCHAR c = format[i];
        WCHAR next = i + 1 < n ? format[i + 1] : 0;
        if (c == u'%' && m.references < kMaxReferences) {
            if (next >= u'1' && next <= u'9' && i + 2 < n && isConversion(format[i + 2])) {
                addReference(m, format[i + 2], next - u'1', i, 3);
                i += 3;
                continue;
            }
            if (isConversion(next)) {
                addReference(m, next, m.references, i, 2);
                i += 2;
                continue;
            }
        }
        if (c == u'%' && next == u'%') {
            addLiteral(m, i, 1, false);
            i += 2;
            continue;
        }
        addLiteral(m, i, 1, true);
        ++i;
    }
}

/* The arguments taken for each index, by type (the last one taken of each type). */
struct Arguments {
    std::array<const WCHAR *, kMaxPieces> strings{};
    std::array<int, kMaxPieces> numbers{};
};

void takeArguments(const Message &m, va_list args, Arguments &taken)
{
    for (int index = 0; index < m.references; ++index) {
        for (int k = 0; k < m.count; ++k) {
            const Piece &p = m.pieces[k];
            if (p.kind == PieceKind::Literal || p.index != index)
                continue;
            if (p.kind == PieceKind::String)
                taken.strings[index] = va_arg(args, const WCHAR *);
            else
                taken.numbers[index] = va_arg(args, int);
        }
    }
}

/* The output under construction: `length` characters so far, within `capacity` (0: only counting). */
struct Output {
    LPWSTR out;
    size_t capacity;
    size_t length;
};

void append(Output &o, const WCHAR *text, size_t n)
{
    if (o.capacity == 0) {
        o.length += n;
        return;
    }
    if (o.length + n >= o.capacity)
        return;
    for (size_t i = 0; i < n; ++i)
        o.out[o.length + i] = text[i];
    o.length += n;
    o.out[o.length] = 0;
}

} // namespace

int RES_FormatMessageV(LPWSTR out, int capacity, LPCWSTR format, va_list args)
{
    if (out && capacity > 0)
        out[0] = 0;
    if (!format || (!out && capacity > 0))
        return 0;
    Message m;
    parse(format, plat::wlen(format), m);
    Arguments taken;
    va_list copy;
    va_copy(copy, args);
    takeArguments(m, copy, taken);
    va_end(copy);

    Output o{out, capacity > 0 ? size_t(capacity) : 0, 0};
    for (int k = 0; k < m.count; ++k) {
        const Piece &p = m.pieces[k];
        if (p.kind == PieceKind::Literal || p.index >= m.references) {
            append(o, format + p.start, p.length);
        } else if (!p.print) {
            continue;
        } else if (p.kind == PieceKind::String) {
            const WCHAR *s = taken.strings[p.index];
            append(o, s ? s : u"", plat::wlen(s));
        } else {
            std::array<WCHAR, 16> number{};
            StringCchPrintfW(number.data(), number.size(), u"%d", taken.numbers[p.index]);
            size_t n = plat::wlen(number.data());
            append(o, number.data(), n);
        }
    }
    return o.length > 0x7FFFFFFF ? 0x7FFFFFFF : int(o.length);
}

int RES_FormatMessage(LPWSTR out, int capacity, LPCWSTR format, ...)
{
    va_list args;
    va_start(args, format);
    int n = RES_FormatMessageV(out, capacity, format, args);
    va_end(args);
    return n;
}
