/*
 * libFuzzer target for the resource container reader: every input is opened
 * as an image and as a module (the same check a file goes through); a sound
 * one is then walked through every lookup the driver makes, touching every
 * byte handed out, so that an out-of-bounds view shows up under ASan.
 */
#include <plat/controls.h>
#include <plat/gdi_objects.h>
#include <plat/resource.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

volatile unsigned sink;

void touch(const void *p, size_t n)
{
    unsigned s = 0;
    for (size_t i = 0; i < n; ++i)
        s += static_cast<const unsigned char *>(p)[i];
    sink = sink + s;
}

/* A Windows argument naming a key: a number, or a terminated name. */
LPCWSTR key_arg(const plat::RsrcKey &k, std::u16string &store)
{
    if (!k.named)
        return MAKEINTRESOURCEW(k.number);
    store.assign(k.name);
    return store.c_str();
}

void walk_module(HMODULE h, const plat::RsrcImage &img)
{
    for (size_t i = 0; i < plat::rsrc_entry_count(img); ++i) {
        plat::RsrcEntryInfo e;
        if (!plat::rsrc_entry(img, i, e))
            __builtin_trap();
        touch(e.data.data(), e.data.size());
        std::u16string type_name, id_name;
        HRSRC r = FindResourceW(h, key_arg(e.id, id_name), key_arg(e.type, type_name));
        if (!r || SizeofResource(h, r) != e.data.size())
            __builtin_trap(); /* every listed entry is found again */
        touch(LockResource(LoadResource(h, r)), e.data.size());
        if (!e.type.named && (e.type.number == 2 || e.type.number == 3)) {
            /* Stored bitmaps and icons through the picture loader, at their size and stretched. */
            const UINT kind = e.type.number == 3 ? IMAGE_ICON : IMAGE_BITMAP;
            for (int size : {0, 7}) {
                HANDLE pic = LoadImageW(h, key_arg(e.id, id_name), kind, size, size, 0);
                if (pic && kind == IMAGE_ICON)
                    DestroyIcon(static_cast<HICON>(pic));
                else if (pic)
                    DeleteObject(pic);
            }
        }
        if (e.type.named || e.type.number != 6)
            continue;
        for (UINT id = UINT(e.id.number - 1) * 16; id < UINT(e.id.number) * 16; ++id) {
            std::u16string_view s;
            if (plat::rsrc_string(img, id, s))
                touch(s.data(), (s.size() + 1) * sizeof(WCHAR)); /* terminator included */
            WCHAR small[4];
            LoadStringW(h, id, small, 4);
            const WCHAR *p = nullptr;
            int n = LoadStringW(h, id, reinterpret_cast<LPWSTR>(&p), 0);
            if (p)
                touch(p, (size_t(n) + 1) * sizeof(WCHAR));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::span<const BYTE> bytes(data, size);
    plat::RsrcImagePtr img;
    plat::RsrcStatus st = plat::rsrc_open_image(bytes, img);
    HMODULE h = plat::rsrc_open_bytes(bytes);
    if ((st == plat::RsrcStatus::ok) != (h != nullptr))
        __builtin_trap(); /* both roads give the same answer */
    if (h) {
        walk_module(h, *plat::rsrc_module_image(h));
        plat::rsrc_close(h);
    }
    return 0;
}
