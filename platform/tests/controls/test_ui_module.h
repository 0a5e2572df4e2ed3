// A resource module of dialog templates for the window-system tests, laid
// out in the container format (plat/resource.h) and opened from memory.
#ifndef TEST_UI_MODULE_H
#define TEST_UI_MODULE_H

#include <plat/dialog.h>
#include <plat/resource.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

/* A resource other than a dialog template: its type, id and stored bytes. */
struct ExtraResource {
    WORD type;
    WORD id;
    std::vector<BYTE> bytes;
};

/*
 * An icon resource (type 3) of cx x cy 24-bit pixels: `colour(x, y)` gives
 * 0x00RRGGBB of the picture's line y (top first), or -1 for transparent.
 */
template <typename Colour>
std::vector<BYTE> iconResource(int cx, int cy, Colour colour)
{
    const size_t cs = (size_t(cx) * 3 + 3) / 4 * 4, ms = (size_t(cx) + 31) / 32 * 4;
    std::vector<BYTE> b(40 + (cs + ms) * size_t(cy), 0);
    plat::store_u32(b.data(), 0, 40);
    plat::store_u32(b.data(), 4, uint32_t(cx));
    plat::store_u32(b.data(), 8, uint32_t(cy * 2));
    b[12] = 1;
    b[14] = 24;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            const long v = colour(x, y);
            const size_t row = size_t(cy - 1 - y);
            if (v < 0) {
                b[40 + cs * size_t(cy) + row * ms + size_t(x) / 8] |= BYTE(0x80 >> (x % 8));
                continue;
            }
            BYTE *p = b.data() + 40 + row * cs + size_t(x) * 3;
            p[0] = BYTE(v);
            p[1] = BYTE(v >> 8);
            p[2] = BYTE(v >> 16);
        }
    return b;
}

/* A container holding each template as an RT_DIALOG resource under its id, and the extra resources. */
inline std::vector<BYTE> dialogContainer(const std::map<WORD, plat::DialogTemplate> &dialogs,
                                         const std::vector<ExtraResource> &extras = {})
{
    std::vector<ExtraResource> all(extras);
    for (const auto &[id, t] : dialogs)
        all.push_back({5, id, plat::dialog_template_encode(t)});
    std::sort(all.begin(), all.end(),
              [](const ExtraResource &a, const ExtraResource &b) { return a.type != b.type ? a.type < b.type : a.id < b.id; });
    const size_t count = all.size();
    const size_t dir = 32;
    const size_t pool = dir + 16 * count;
    std::vector<BYTE> c(pool, 0);
    auto put16 = [&](size_t at, uint16_t v) {
        c[at] = BYTE(v);
        c[at + 1] = BYTE(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, uint16_t(v));
        put16(at + 2, uint16_t(v >> 16));
    };
    std::memcpy(c.data(), "TXRS", 4);
    put16(4, 1);
    put16(6, 32);
    put32(8, uint32_t(count));
    put32(12, uint32_t(dir));
    put32(16, uint32_t(pool));
    put32(20, 0);
    size_t i = 0;
    for (const ExtraResource &r : all) {
        while (c.size() % 4)
            c.push_back(0);
        const std::vector<BYTE> &bytes = r.bytes;
        const size_t e = dir + 16 * i++;
        put16(e, r.type);
        put16(e + 4, r.id);
        put32(e + 8, uint32_t(c.size()));
        put32(e + 12, uint32_t(bytes.size()));
        c.insert(c.end(), bytes.begin(), bytes.end());
    }
    put32(24, uint32_t(c.size()));
    return c;
}

#endif // TEST_UI_MODULE_H
