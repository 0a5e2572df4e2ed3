/*
 * The stored dialog template (RT_DIALOG): writing a template record as
 * bytes and reading it back with every length and count checked, so a
 * damaged resource module gives "no dialog" rather than a wild read.
 */
#include <plat/dialog.h>

namespace {

constexpr WORD kVersion = 1;
constexpr size_t kMaxItems = 1024;
constexpr size_t kMaxText = 4096;

struct Writer {
    std::vector<BYTE> out;
    void u16(WORD v)
    {
        out.push_back(BYTE(v));
        out.push_back(BYTE(v >> 8));
    }
    void u32(DWORD v)
    {
        u16(WORD(v));
        u16(WORD(v >> 16));
    }
    void text(const std::u16string &s)
    {
        const size_t n = std::min(s.size(), kMaxText);
        u16(WORD(n));
        for (size_t i = 0; i < n; ++i)
            u16(s[i]);
    }
};

struct Reader {
    std::span<const BYTE> in;
    size_t at = 0;
    bool ok = true;
    WORD u16()
    {
        if (at + 2 > in.size()) {
            ok = false;
            return 0;
        }
        const WORD v = WORD(in[at] | in[at + 1] << 8);
        at += 2;
        return v;
    }
    DWORD u32()
    {
        const DWORD lo = u16();
        return lo | DWORD(u16()) << 16;
    }
    short s16() { return short(u16()); }
    std::u16string text()
    {
        const size_t n = u16();
        if (!ok || n > kMaxText || at + 2 * n > in.size()) {
            ok = false;
            return {};
        }
        std::u16string s(n, u'\0');
        for (size_t i = 0; i < n; ++i)
            s[i] = char16_t(u16());
        return s;
    }
};

} // namespace

namespace plat {

std::vector<BYTE> dialog_template_encode(const DialogTemplate &t)
{
    Writer w;
    for (char c : {'T', 'D', 'L', 'G'})
        w.out.push_back(BYTE(c));
    w.u16(kVersion);
    w.u32(t.style);
    w.u32(t.exStyle);
    for (short v : {t.x, t.y, t.cx, t.cy})
        w.u16(WORD(v));
    w.u16(t.fontPoints);
    w.text(t.fontFace);
    w.text(t.caption);
    const size_t n = std::min(t.items.size(), kMaxItems);
    w.u16(WORD(n));
    for (size_t i = 0; i < n; ++i) {
        const DialogItem &it = t.items[i];
        w.u16(it.id);
        w.u32(it.style);
        w.u32(it.exStyle);
        for (short v : {it.x, it.y, it.cx, it.cy})
            w.u16(WORD(v));
        w.text(it.className);
        w.text(it.text);
    }
    return w.out;
}

bool dialog_template_parse(std::span<const BYTE> bytes, DialogTemplate &out)
{
    if (bytes.size() < 6 || bytes[0] != 'T' || bytes[1] != 'D' || bytes[2] != 'L' || bytes[3] != 'G')
        return false;
    Reader r{bytes, 4};
    if (r.u16() != kVersion)
        return false;
    DialogTemplate t;
    t.style = r.u32();
    t.exStyle = r.u32();
    t.x = r.s16();
    t.y = r.s16();
    t.cx = r.s16();
    t.cy = r.s16();
    t.fontPoints = r.u16();
    t.fontFace = r.text();
    t.caption = r.text();
    const size_t n = r.u16();
    if (!r.ok || n > kMaxItems)
        return false;
    for (size_t i = 0; i < n && r.ok; ++i) {
        DialogItem it;
        it.id = r.u16();
        it.style = r.u32();
        it.exStyle = r.u32();
        it.x = r.s16();
        it.y = r.s16();
        it.cx = r.s16();
        it.cy = r.s16();
        it.className = r.text();
        it.text = r.text();
        if (it.className.empty())
            r.ok = false;
        t.items.push_back(std::move(it));
    }
    if (!r.ok || r.at != bytes.size())
        return false;
    out = std::move(t);
    return true;
}

} // namespace plat
