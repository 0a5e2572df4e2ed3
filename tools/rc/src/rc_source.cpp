/*
 * The resource source reader: splits each line into tokens, checks the
 * statement and adds its string or resource to the project.  The syntax is
 * described in tarvel/rc.h.
 */
#include <tarvel/rc.h>

#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace rc {

namespace {

constexpr size_t MAX_NAME = 255;
constexpr size_t MAX_STRING = 65535; /* a string's length is a 16-bit count */
constexpr size_t MAX_ERRORS = 50;    /* a broken file says enough by then */

enum class Tok { word, number, text, bar, end, bad };

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

/* The style names a source may use, with their values. */
bool style_value(const std::string &name, DWORD &out)
{
    static const std::map<std::string, DWORD> names = {
        {"WS_POPUP", WS_POPUP}, {"WS_CHILD", WS_CHILD}, {"WS_VISIBLE", WS_VISIBLE}, {"WS_DISABLED", WS_DISABLED},
        {"WS_CAPTION", WS_CAPTION}, {"WS_BORDER", WS_BORDER}, {"WS_DLGFRAME", WS_DLGFRAME},
        {"WS_VSCROLL", WS_VSCROLL}, {"WS_HSCROLL", WS_HSCROLL}, {"WS_SYSMENU", WS_SYSMENU}, {"WS_GROUP", WS_GROUP},
        {"WS_TABSTOP", WS_TABSTOP}, {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS}, {"WS_CLIPCHILDREN", WS_CLIPCHILDREN},
        {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE}, {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
        {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT}, {"WS_EX_CONTROLPARENT", WS_EX_CONTROLPARENT},
        {"WS_EX_CONTEXTHELP", WS_EX_CONTEXTHELP}, {"WS_EX_LAYOUTRTL", WS_EX_LAYOUTRTL},
        {"WS_EX_NOINHERITLAYOUT", WS_EX_NOINHERITLAYOUT}, {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME},
        {"DS_SETFONT", DS_SETFONT}, {"DS_MODALFRAME", DS_MODALFRAME}, {"DS_CONTROL", DS_CONTROL},
        {"DS_CENTER", DS_CENTER}, {"DS_3DLOOK", DS_3DLOOK}, {"DS_FIXEDSYS", DS_FIXEDSYS},
        {"DS_CONTEXTHELP", DS_CONTEXTHELP},
        {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON}, {"BS_CHECKBOX", BS_CHECKBOX},
        {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX}, {"BS_RADIOBUTTON", BS_RADIOBUTTON}, {"BS_3STATE", BS_3STATE},
        {"BS_AUTO3STATE", BS_AUTO3STATE}, {"BS_GROUPBOX", BS_GROUPBOX}, {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
        {"BS_OWNERDRAW", BS_OWNERDRAW}, {"BS_LEFTTEXT", BS_LEFTTEXT}, {"BS_ICON", BS_ICON}, {"BS_BITMAP", BS_BITMAP},
        {"BS_MULTILINE", BS_MULTILINE}, {"BS_NOTIFY", BS_NOTIFY},
        {"SS_LEFT", SS_LEFT}, {"SS_CENTER", SS_CENTER}, {"SS_RIGHT", SS_RIGHT}, {"SS_ICON", SS_ICON},
        {"SS_BLACKRECT", SS_BLACKRECT}, {"SS_GRAYRECT", SS_GRAYRECT}, {"SS_WHITERECT", SS_WHITERECT},
        {"SS_BLACKFRAME", SS_BLACKFRAME}, {"SS_OWNERDRAW", SS_OWNERDRAW}, {"SS_BITMAP", SS_BITMAP},
        {"SS_ETCHEDHORZ", SS_ETCHEDHORZ}, {"SS_ETCHEDFRAME", SS_ETCHEDFRAME}, {"SS_NOPREFIX", SS_NOPREFIX},
        {"SS_NOTIFY", SS_NOTIFY}, {"SS_CENTERIMAGE", SS_CENTERIMAGE}, {"SS_REALSIZEIMAGE", SS_REALSIZEIMAGE},
        {"SS_SUNKEN", SS_SUNKEN}, {"SS_ENDELLIPSIS", SS_ENDELLIPSIS},
        {"ES_LEFT", ES_LEFT}, {"ES_CENTER", ES_CENTER}, {"ES_RIGHT", ES_RIGHT}, {"ES_MULTILINE", ES_MULTILINE},
        {"ES_UPPERCASE", ES_UPPERCASE}, {"ES_LOWERCASE", ES_LOWERCASE}, {"ES_PASSWORD", ES_PASSWORD},
        {"ES_AUTOVSCROLL", ES_AUTOVSCROLL}, {"ES_AUTOHSCROLL", ES_AUTOHSCROLL}, {"ES_READONLY", ES_READONLY},
        {"ES_WANTRETURN", ES_WANTRETURN}, {"ES_NUMBER", ES_NUMBER},
        {"LBS_NOTIFY", LBS_NOTIFY}, {"LBS_SORT", LBS_SORT}, {"LBS_NOREDRAW", LBS_NOREDRAW},
        {"LBS_OWNERDRAWFIXED", LBS_OWNERDRAWFIXED}, {"LBS_OWNERDRAWVARIABLE", LBS_OWNERDRAWVARIABLE},
        {"LBS_HASSTRINGS", LBS_HASSTRINGS}, {"LBS_USETABSTOPS", LBS_USETABSTOPS},
        {"LBS_NOINTEGRALHEIGHT", LBS_NOINTEGRALHEIGHT}, {"LBS_WANTKEYBOARDINPUT", LBS_WANTKEYBOARDINPUT},
        {"CBS_SIMPLE", CBS_SIMPLE}, {"CBS_DROPDOWN", CBS_DROPDOWN}, {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
        {"CBS_OWNERDRAWFIXED", CBS_OWNERDRAWFIXED}, {"CBS_OWNERDRAWVARIABLE", CBS_OWNERDRAWVARIABLE},
        {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL}, {"CBS_SORT", CBS_SORT}, {"CBS_HASSTRINGS", CBS_HASSTRINGS},
        {"CBS_NOINTEGRALHEIGHT", CBS_NOINTEGRALHEIGHT},
        {"SBS_HORZ", SBS_HORZ}, {"SBS_VERT", SBS_VERT},
        {"TBS_HORZ", TBS_HORZ}, {"TBS_AUTOTICKS", TBS_AUTOTICKS}, {"TBS_VERT", TBS_VERT}, {"TBS_BOTH", TBS_BOTH},
        {"TBS_NOTICKS", TBS_NOTICKS},
        {"UDS_WRAP", UDS_WRAP}, {"UDS_SETBUDDYINT", UDS_SETBUDDYINT}, {"UDS_ALIGNRIGHT", UDS_ALIGNRIGHT},
        {"UDS_ALIGNLEFT", UDS_ALIGNLEFT}, {"UDS_AUTOBUDDY", UDS_AUTOBUDDY}, {"UDS_ARROWKEYS", UDS_ARROWKEYS},
        {"UDS_HORZ", UDS_HORZ}, {"UDS_NOTHOUSANDS", UDS_NOTHOUSANDS},
        {"TVS_HASBUTTONS", TVS_HASBUTTONS}, {"TVS_HASLINES", TVS_HASLINES}, {"TVS_LINESATROOT", TVS_LINESATROOT},
        {"TVS_SHOWSELALWAYS", TVS_SHOWSELALWAYS},
    };
    auto it = names.find(name);
    if (it == names.end())
        return false;
    out = it->second;
    return true;
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
        if (c == '|') {
            ++pos_;
            t.kind = Tok::bar;
            t.word = "|";
            return t;
        }
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
        if (p_.dialog.open && kw != "CONTROL" && kw != "END")
            return error("expected CONTROL or END in the dialog begun at " + p_.dialog.where);
        if (kw == "CONTROL")
            control_statement();
        else if (kw == "END")
            end_statement();
        else if (kw == "STRING")
            string_statement();
        else if (kw == "RCDATA")
            file_statement(number_key(10), 1, FileKind::raw);
        else if (kw == "BITMAP")
            file_statement(number_key(2), 1, FileKind::bitmap);
        else if (kw == "ICON")
            file_statement(number_key(3), 1, FileKind::icon);
        else if (kw == "RESOURCE")
            resource_statement();
        else if (kw == "DIALOG")
            dialog_statement();
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

    /* A style: numbers and style names joined with "|", from token `i`; `i` moves past it. */
    bool style_at(size_t &i, DWORD &out, bool *hidden = nullptr)
    {
        out = 0;
        while (true) {
            if (i >= toks_.size()) {
                error("missing style");
                return false;
            }
            const Token &t = toks_[i];
            if (t.kind == Tok::number) {
                out |= t.number;
            } else if (t.kind == Tok::word && hidden && t.word == "NOT_VISIBLE") {
                *hidden = true;
            } else if (t.kind == Tok::word) {
                DWORD v = 0;
                if (!style_value(t.word, v)) {
                    error("unknown style '" + t.word + "'");
                    return false;
                }
                out |= v;
            } else {
                error("a style is numbers and style names joined with '|'");
                return false;
            }
            ++i;
            if (i < toks_.size() && toks_[i].kind == Tok::bar) {
                ++i;
                continue;
            }
            return true;
        }
    }

    /* Four numbers from token `i`: a rectangle in dialog units (0 to 32767). */
    bool rect_at(size_t i, short out[4])
    {
        for (int k = 0; k < 4; ++k) {
            if (i + size_t(k) >= toks_.size() || toks_[i + size_t(k)].kind != Tok::number ||
                toks_[i + size_t(k)].number > 32767) {
                error("expected x, y, width and height (0 to 32767)");
                return false;
            }
            out[k] = short(toks_[i + size_t(k)].number);
        }
        return true;
    }

    void dialog_statement()
    {
        /* Open at once, so that the lines up to END of a bad DIALOG give no errors of their own. */
        p_.dialog = OpenDialog();
        p_.dialog.open = true;
        p_.dialog.broken = true;
        p_.dialog.where = where();
        if (toks_.size() < 2 || toks_[1].kind != Tok::number || toks_[1].number == 0 || toks_[1].number > 0xFFFF)
            return error("DIALOG needs an id (1 to 65535)");
        const auto id = uint16_t(toks_[1].number);
        for (const Resource &r : p_.resources)
            if (!r.type.named && r.type.number == 5 && !r.id.named && r.id.number == id)
                return error("dialog " + std::to_string(id) + " already defined at " + r.where);
        plat::DialogTemplate t;
        short rect[4];
        if (!rect_at(2, rect))
            return;
        t.x = rect[0], t.y = rect[1], t.cx = rect[2], t.cy = rect[3];
        size_t i = 6;
        while (i < toks_.size()) {
            const Token &k = toks_[i];
            if (k.kind == Tok::word && (k.word == "STYLE" || k.word == "EXSTYLE")) {
                ++i;
                if (!style_at(i, k.word == "STYLE" ? t.style : t.exStyle))
                    return;
            } else if (k.kind == Tok::word && k.word == "FONT") {
                if (i + 2 >= toks_.size() || toks_[i + 1].kind != Tok::number || toks_[i + 1].number == 0 ||
                    toks_[i + 1].number > 72 || toks_[i + 2].kind != Tok::text)
                    return error("FONT needs a size (1 to 72) and a face name");
                t.fontPoints = WORD(toks_[i + 1].number);
                t.fontFace = toks_[i + 2].text;
                t.style |= DS_SETFONT;
                i += 3;
            } else if (k.kind == Tok::word && k.word == "CAPTION") {
                if (i + 1 >= toks_.size() || toks_[i + 1].kind != Tok::text)
                    return error("CAPTION needs a string");
                t.caption = toks_[i + 1].text;
                i += 2;
            } else {
                return error("unexpected '" + k.word + "' in DIALOG");
            }
        }
        p_.dialog.broken = false;
        p_.dialog.id = id;
        p_.dialog.tmpl = std::move(t);
    }

    void control_statement()
    {
        if (!p_.dialog.open)
            return error("CONTROL outside a DIALOG");
        if (toks_.size() < 2 || toks_[1].kind != Tok::number || toks_[1].number > 0xFFFF)
            return error("CONTROL needs an id (0 to 65535)");
        if (toks_.size() < 3 || toks_[2].kind != Tok::word)
            return error("CONTROL needs a class name");
        plat::DialogItem item;
        item.id = WORD(toks_[1].number);
        item.className.assign(toks_[2].word.begin(), toks_[2].word.end());
        short rect[4];
        if (!rect_at(3, rect))
            return;
        item.x = rect[0], item.y = rect[1], item.cx = rect[2], item.cy = rect[3];
        size_t i = 7;
        bool hidden = false;
        if (!style_at(i, item.style, &hidden))
            return;
        if (!hidden)
            item.style |= WS_VISIBLE;
        if (i < toks_.size() && toks_[i].kind == Tok::text)
            item.text = toks_[i++].text;
        if (i < toks_.size() && toks_[i].kind == Tok::word && toks_[i].word == "EXSTYLE") {
            ++i;
            if (!style_at(i, item.exStyle))
                return;
        }
        if (i < toks_.size())
            return error("unexpected '" + toks_[i].word + "' after the control");
        if (p_.dialog.tmpl.items.size() >= 1024)
            return error("more than 1024 controls");
        p_.dialog.tmpl.items.push_back(std::move(item));
    }

    void end_statement()
    {
        if (!p_.dialog.open)
            return error("END without a DIALOG");
        if (toks_.size() > 1)
            return error("unexpected '" + toks_[1].word + "' after END");
        if (p_.dialog.broken) {
            p_.dialog = OpenDialog();
            return;
        }
        Resource r;
        r.type = number_key(5);
        r.id = number_key(p_.dialog.id);
        r.data = plat::dialog_template_encode(p_.dialog.tmpl);
        r.where = p_.dialog.where;
        p_.resources.push_back(std::move(r));
        p_.dialog = OpenDialog();
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
            case 3: return error("type 3 is written with ICON");
            case 5: return error("type 5 is reserved for dialog templates");
            case 6: return error("type 6 is built from STRING statements");
            case 10: return error("type 10 is written with RCDATA");
            default: break;
            }
        }
        file_statement(type, 2, FileKind::raw);
    }

    /* What a file statement makes of its file. */
    enum class FileKind { raw, bitmap, icon };

    /* "<keyword> [type] id "file"": the data comes from a file. */
    void file_statement(const Key &type, size_t id_at, FileKind kind)
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
        if (kind == FileKind::bitmap && !strip_bitmap_header(r.data, why))
            return error("'" + name + "' " + why);
        if (kind == FileKind::icon && !make_icon(r.data, why))
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
    /*
     * Turns a 24- or 32-bit uncompressed .bmp file (40-byte header) into the
     * icon form of plat/resource.h: its pure magenta pixels (255, 0, 255)
     * become transparent (mask bit set, colour black), every other pixel is
     * kept opaque.  Icons are 1 to 256 pixels a side.
     */
    static bool make_icon(std::vector<uint8_t> &data, std::string &why)
    {
        constexpr size_t FILE_HEADER = 14, INFO = 40;
        if (data.size() < FILE_HEADER + INFO || data[0] != 'B' || data[1] != 'M') {
            why = "is not a BMP file";
            return false;
        }
        const uint8_t *h = data.data() + FILE_HEADER;
        const uint32_t size = plat::load_u32(h, 0);
        const int32_t cx = int32_t(plat::load_u32(h, 4)), cyStored = int32_t(plat::load_u32(h, 8));
        const uint16_t bits = uint16_t(h[14] | h[15] << 8);
        const uint32_t compression = plat::load_u32(h, 16);
        const uint32_t pixels = plat::load_u32(data.data(), 10);
        if (size != INFO || (bits != 24 && bits != 32) || compression != 0) {
            why = "is not an uncompressed 24- or 32-bit bitmap with a 40-byte header (an icon's source)";
            return false;
        }
        const bool topDown = cyStored < 0;
        const int64_t cy = topDown ? -int64_t(cyStored) : cyStored;
        if (cx < 1 || cx > 256 || cy < 1 || cy > 256) {
            why = "is not 1 to 256 pixels a side (an icon's size)";
            return false;
        }
        const size_t bpp = bits / 8, stride = (size_t(cx) * bpp + 3) / 4 * 4;
        if (pixels > data.size() || data.size() - pixels < stride * size_t(cy)) {
            why = "holds fewer pixel rows than its header says";
            return false;
        }
        const size_t colourStride = (size_t(cx) * 3 + 3) / 4 * 4, maskStride = (size_t(cx) + 31) / 32 * 4;
        std::vector<uint8_t> out(INFO + (colourStride + maskStride) * size_t(cy), 0);
        plat::store_u32(out.data(), 0, uint32_t(INFO));
        plat::store_u32(out.data(), 4, uint32_t(cx));
        plat::store_u32(out.data(), 8, uint32_t(cy * 2));
        out[12] = 1;
        out[14] = 24;
        plat::store_u32(out.data(), 20, uint32_t((colourStride + maskStride) * size_t(cy)));
        uint8_t *colour = out.data() + INFO, *mask = colour + colourStride * size_t(cy);
        for (int64_t row = 0; row < cy; ++row) {
            /* Output rows are bottom-up: output row r is the picture's line cy - 1 - r. */
            const int64_t line = cy - 1 - row;
            const int64_t fileRow = topDown ? line : cy - 1 - line;
            const uint8_t *in = data.data() + pixels + size_t(fileRow) * stride;
            for (int32_t x = 0; x < cx; ++x) {
                const uint8_t *p = in + size_t(x) * bpp;
                uint8_t *c = colour + size_t(row) * colourStride + size_t(x) * 3;
                if (p[0] == 255 && p[1] == 0 && p[2] == 255)
                    mask[size_t(row) * maskStride + size_t(x) / 8] |= uint8_t(0x80u >> (x % 8));
                else
                    std::memcpy(c, p, 3);
            }
        }
        data = std::move(out);
        return true;
    }

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
    if (project.dialog.open) {
        project.errors.push_back({file, line, "DIALOG begun at " + project.dialog.where + " has no END"});
        project.dialog = OpenDialog();
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
