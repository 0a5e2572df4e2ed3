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

/* A container holding each template as an RT_DIALOG resource under its id. */
inline std::vector<BYTE> dialogContainer(const std::map<WORD, plat::DialogTemplate> &dialogs)
{
    const size_t count = dialogs.size();
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
    for (const auto &[id, t] : dialogs) {
        while (c.size() % 4)
            c.push_back(0);
        const std::vector<BYTE> bytes = plat::dialog_template_encode(t);
        const size_t e = dir + 16 * i++;
        put16(e, 5);
        put16(e + 4, id);
        put32(e + 8, uint32_t(c.size()));
        put32(e + 12, uint32_t(bytes.size()));
        c.insert(c.end(), bytes.begin(), bytes.end());
    }
    put32(24, uint32_t(c.size()));
    return c;
}

#endif // TEST_UI_MODULE_H
