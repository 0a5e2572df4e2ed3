/*
 * The resource source reader: splits each line into tokens, checks the
 * statement and adds its string or resource to the project.  The syntax is
 * described in tarvel/rc.h.
 */
#include <tarvel/rc.h>

#include <plat/resource.h>
#include <plat/text.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace rc {

namespace {

constexpr size_t MAX_NAME = 255;
constexpr size_t MAX_STRING = 65535; /* a string's length is a 16-bit count */
constexpr size_t MAX_ERRORS = 50;    /* a broken file says enough by then */

enum class Tok { word, number, text, end, bad };

struct Token {
    Tok kind = Tok::end;
    std::string word;    /* word, or why a token is bad */
    uint32_t number = 0; /* number (saturated above 0xFFFFFFFF) */
    std::u16string text; /* string literal, decoded */
};

bool is_word_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_word_char(char c) { return is_word_start(c) || (c >= '0' && c <= '9'); }

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void append_code_point(std::u16string &out, uint32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(char16_t(0xD800 + (cp >> 10)));
        out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(char16_t(cp));
    }
}

/* Splits one line into tokens. */
class Lexer {
public:
    explicit Lexer(std::string_view line) : s_(line) {}

    Token next()
    {
        while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t' || s_[pos_] == '\r'))
            ++pos_;
        Token t;
        if (pos_ >= s_.size() || s_[pos_] == '#')
            return t;
        char c = s_[pos_];
        if (c == '"')
            return literal();
        size_t start = pos_;
        while (pos_ < s_.size() && is_word_char(s_[pos_]))
            ++pos_;
        if (pos_ == start) {
            t.kind = Tok::bad;
            t.word = "unexpected character '" + std::string(1, c) + "'";
            ++pos_;
            return t;
        }
        std::string_view w = s_.substr(start, pos_ - start);
        if (is_word_start(c)) {
            t.kind = Tok::word;
            t.word = std::string(w);
            return t;
        }
        return number(w);
    }

private:
    static Token number(std::string_view w)
    {
        Token t;
        t.kind = Tok::number;
        unsigned base = 10;
        if (w.size() > 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X')) {
            base = 16;
            w.remove_prefix(2);
        }
        uint64_t v = 0;
        for (char d : w) {
            int x = hex_value(d);
            if (x < 0 || unsigned(x) >= base) {
                t.kind = Tok::bad;
                t.word = "bad number";
                return t;
            }
            v = std::min<uint64_t>(v * base + unsigned(x), 0x100000000ull);
        }
        t.number = uint32_t(std::min<uint64_t>(v, 0xFFFFFFFFull));
        return t;
    }

    Token bad(const std::string &why)
    {
        Token t;
        t.kind = Tok::bad;
        t.word = why;
        pos_ = s_.size();
        return t;
    }

    /* Reads n hexadecimal digits of an escape. */
    bool hex_digits(int n, uint32_t &v)
    {
        v = 0;
        for (int i = 0; i < n; ++i) {
            int x = pos_ < s_.size() ? hex_value(s_[pos_]) : -1;
            if (x < 0)
                return false;
            v = v * 16 + unsigned(x);
            ++pos_;
        }
        return true;
    }

    Token literal()
    {
        Token t;
        t.kind = Tok::text;
        ++pos_; /* the opening quote */
        for (;;) {
            if (pos_ >= s_.size())
                return bad("string not closed");
            auto c = static_cast<unsigned char>(s_[pos_]);
            if (c == '"') {
                ++pos_;
                return t;
            }
            if (c < 0x20 && c != '\t')
                return bad("control character in string");
            if (c != '\\') {
                uint32_t cp;
                size_t n = plat::utf8_decode(reinterpret_cast<const unsigned char *>(s_.data()) + pos_,
                                             s_.size() - pos_, cp);
                if (cp == plat::UTF8_INVALID)
                    return bad("ill-formed UTF-8 in string");
                append_code_point(t.text, cp);
                pos_ += n;
                continue;
            }
            ++pos_;
            if (pos_ >= s_.size())
                return bad("string not closed");
            char e = s_[pos_++];
            uint32_t cp = 0;
            switch (e) {
            case 'n': cp = '\n'; break;
            case 'r': cp = '\r'; break;
            case 't': cp = '\t'; break;
            case '\\': cp = '\\'; break;
            case '"': cp = '"'; break;
            case 'x':
                if (!hex_digits(2, cp))
                    return bad("\\x needs two hexadecimal digits");
                break;
            case 'u':
                if (!hex_digits(4, cp))
                    return bad("\\u needs four hexadecimal digits");
                break;
            case 'U':
                if (!hex_digits(8, cp))
                    return bad("\\U needs eight hexadecimal digits");
                break;
            default:
                return bad(std::string("unknown escape \\") + e);
            }
            if (cp == 0)
                return bad("NUL character in string");
            if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                return bad("escape is not a Unicode scalar value");
            append_code_point(t.text, cp);
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
};

/* Reads one statement's tokens and turns them into project entries. */
class LineParser {
public:
    LineParser(Project &p, const std::string &file, unsigned line, const std::string &base_dir)
        : p_(p), file_(file), line_(line), base_dir_(base_dir)
    {
    }

    void parse(std::string_view text)
    {
        Lexer lex(text);
        for (Token t = lex.next(); t.kind != Tok::end; t = lex.next())
            toks_.push_back(std::move(t));
        if (toks_.empty())
            return;
        for (const Token &t : toks_) {
            if (t.kind == Tok::bad)
                return error(t.word);
        }
        if (toks_[0].kind != Tok::word)
            return error("a statement starts with a keyword");
        const std::string &kw = toks_[0].word;
        if (kw == "STRING")
            string_statement();
        else if (kw == "RCDATA")
            file_statement(number_key(10), 1, false);
        else if (kw == "BITMAP")
            file_statement(number_key(2), 1, true);
        else if (kw == "RESOURCE")
            resource_statement();
        else if (kw == "DIALOG")
            error("DIALOG is reserved for dialog templates, which this compiler does not build yet");
        else
            error("unknown keyword '" + kw + "'");
    }

private:
    static Key number_key(uint16_t n)
    {
        Key k;
        k.number = n;
        return k;
    }

    void error(const std::string &message)
    {
        if (p_.errors.size() < MAX_ERRORS)
            p_.errors.push_back({file_, line_, message});
    }

    std::string where() const { return file_ + ":" + std::to_string(line_); }

    /* Token i as a type or id: a number 1..65535 or a name. */
    bool key_at(size_t i, const char *what, Key &k)
    {
        if (i >= toks_.size()) {
            error(std::string("missing ") + what);
            return false;
        }
        const Token &t = toks_[i];
        if (t.kind == Tok::number) {
            if (t.number == 0 || t.number > 0xFFFF) {
                error(std::string(what) + " must be 1 to 65535");
                return false;
            }
            k = number_key(uint16_t(t.number));
            return true;
        }
        if (t.kind == Tok::word) {
            if (t.word.size() > MAX_NAME) {
                error(std::string(what) + " name longer than 255 characters");
                return false;
            }
            k.named = true;
            for (char c : t.word)
                k.name.push_back(char16_t(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
            return true;
        }
        error(std::string(what) + " must be a number or a name");
        return false;
    }

    /* Literals from token i to the end of the line, joined; false with an error otherwise. */
    bool texts_from(size_t i, std::u16string &out)
    {
        if (i >= toks_.size()) {
            error("missing string");
            return false;
        }
        for (; i < toks_.size(); ++i) {
            if (toks_[i].kind != Tok::text) {
                error("unexpected '" + toks_[i].word + "' after the statement");
                return false;
            }
            out += toks_[i].text;
        }
        return true;
    }

    void string_statement()
    {
        if (toks_.size() < 2 || toks_[1].kind != Tok::number)
            return error("STRING needs a number (0 to 65535)");
        if (toks_[1].number > 0xFFFF)
            return error("string id must be 0 to 65535");
        auto id = uint16_t(toks_[1].number);
        std::u16string text;
        if (!texts_from(2, text))
            return;
        if (text.empty())
            return error("empty string (a missing string reads the same)");
        if (text.size() > MAX_STRING)
            return error("string longer than 65535 UTF-16 units");
        auto prev = p_.string_where.find(id);
        if (prev != p_.string_where.end())
            return error("string " + std::to_string(id) + " already defined at " + prev->second);
        p_.strings[id] = std::move(text);
        p_.string_where[id] = where();
    }

    void resource_statement()
    {
        Key type;
        if (!key_at(1, "type", type))
            return;
        if (!type.named) {
            switch (type.number) {
            case 2: return error("type 2 is written with BITMAP");
            case 5: return error("type 5 is reserved for dialog templates");
            case 6: return error("type 6 is built from STRING statements");
            case 10: return error("type 10 is written with RCDATA");
            default: break;
            }
        }
        file_statement(type, 2, false);
    }

    /* "<keyword> [type] id "file"": the data comes from a file. */
    void file_statement(const Key &type, size_t id_at, bool bitmap)
    {
        Key id;
        if (!key_at(id_at, "id", id))
            return;
        std::u16string name16;
        if (!texts_from(id_at + 1, name16))
            return;
        if (toks_.size() != id_at + 2)
            return error("expected one file name");
        if (name16.empty())
            return error("empty file name");
        for (const Resource &r : p_.resources) {
            if (same_key(r.type, type) && same_key(r.id, id))
                return error("resource already defined at " + r.where);
        }
        std::string name = plat::utf16_to_utf8(name16);
        std::string path = name[0] == '/' || base_dir_.empty() ? name : base_dir_ + "/" + name;
        Resource r;
        r.type = type;
        r.id = id;
        r.where = where();
        std::string why;
        if (!read_file(path, r.data, why))
            return error("cannot read '" + name + "': " + why);
        p_.inputs.push_back(path);
        if (bitmap && !strip_bitmap_header(r.data, why))
            return error("'" + name + "' " + why);
        p_.resources.push_back(std::move(r));
    }

    static bool same_key(const Key &a, const Key &b)
    {
        return a.named == b.named && (a.named ? a.name == b.name : a.number == b.number);
    }

    static bool read_file(const std::string &path, std::vector<uint8_t> &data, std::string &why)
    {
        std::ifstream f(path, std::ios::binary);
        if (!f) {
            why = std::strerror(errno);
            return false;
        }
        f.seekg(0, std::ios::end);
        auto size = static_cast<uint64_t>(f.tellg());
        if (size > plat::RSRC_MAX_SIZE) {
            why = "larger than a container can hold";
            return false;
        }
        f.seekg(0);
        data.resize(size_t(size));
        if (!f.read(reinterpret_cast<char *>(data.data()), std::streamsize(size))) {
            why = "read failed";
            return false;
        }
        return true;
    }

    /*
     * A .bmp file is a 14-byte file header ("BM", sizes, bits offset) and a
     * DIB; the DIB (info header, colour table, bits) is what is stored.
     */
    static bool strip_bitmap_header(std::vector<uint8_t> &data, std::string &why)
    {
        constexpr size_t FILE_HEADER = 14;
        if (data.size() < FILE_HEADER + 12 || data[0] != 'B' || data[1] != 'M') {
            why = "is not a BMP file";
            return false;
        }
        uint32_t info = plat::load_u32(data.data(), FILE_HEADER);
        if (info != 12 && info != 40 && info != 52 && info != 56 && info != 108 && info != 124) {
            why = "has an unknown bitmap header size " + std::to_string(info);
            return false;
        }
        if (data.size() - FILE_HEADER < info) {
            why = "is cut short";
            return false;
        }
        data.erase(data.begin(), data.begin() + FILE_HEADER);
        return true;
    }

    Project &p_;
    const std::string &file_;
    unsigned line_;
    const std::string &base_dir_;
    std::vector<Token> toks_;
};

} // namespace

std::string Diagnostic::text() const { return file + ":" + std::to_string(line) + ": " + message; }

bool parse_source(std::string_view text, const std::string &file, const std::string &base_dir, Project &project)
{
    size_t before = project.errors.size();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3); /* a UTF-8 byte-order mark */
    unsigned line = 1;
    while (!text.empty() && project.errors.size() < MAX_ERRORS) {
        size_t nl = text.find('\n');
        std::string_view one = text.substr(0, nl);
        LineParser(project, file, line, base_dir).parse(one);
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
        ++line;
    }
    return project.errors.size() == before;
}

bool parse_file(const std::string &path, Project &project)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        project.errors.push_back({path, 0, std::string("cannot read: ") + std::strerror(errno)});
        return false;
    }
    std::ostringstream all;
    all << f.rdbuf();
    project.inputs.push_back(path);
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : path.substr(0, slash);
    return parse_source(all.str(), path, dir, project);
}

} // namespace rc
