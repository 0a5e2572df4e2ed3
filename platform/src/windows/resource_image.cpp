/*
 * The resource container reader: checks a container image once, when it is
 * opened, and then answers lookups by type and id and string loads from the
 * checked directory.  The format is described in plat/resource.h.
 */
#include "resource_private.h"

#include <plat/text.h>

#include <algorithm>
#include <new>

namespace plat {

namespace {

constexpr BYTE MAGIC[4] = {'T', 'X', 'R', 'S'};
constexpr size_t HEADER_SIZE = 32;
constexpr size_t ENTRY_SIZE = 16;
constexpr uint32_t NAME_BIT = 0x80000000u;
constexpr size_t MAX_NAME = 255;
constexpr WORD STRING_TYPE = 6;
constexpr WORD MAX_STRING_BLOCK = 4096; /* string ids 0..65535 in blocks of 16 */
constexpr int STRINGS_PER_BLOCK = 16;

/*
 * Decodes one key.  A name stays in the image: the pool and each name start
 * at even offsets, so its units are WCHARs of the image's storage.
 */
RsrcStatus read_key(const BYTE *bytes, uint32_t raw, size_t pool_off, size_t pool_size, RsrcImage::Key &key)
{
    key = RsrcImage::Key();
    if (!(raw & NAME_BIT)) {
        if (raw == 0 || raw > 0xFFFF)
            return RsrcStatus::bad_key;
        key.number = WORD(raw);
        return RsrcStatus::ok;
    }
    size_t off = raw & ~NAME_BIT;
    if (off % 2 != 0 || off > pool_size || pool_size - off < 2)
        return RsrcStatus::bad_key;
    size_t n = load_u16(bytes, pool_off + off);
    if (n == 0 || n > MAX_NAME || (pool_size - off - 2) / 2 < n)
        return RsrcStatus::bad_key;
    /* A name the Windows functions could not pass: a NUL inside, or a
     * leading "#" (read as a number). */
    for (size_t i = 0; i < n; ++i) {
        uint16_t c = load_u16(bytes, pool_off + off + 2 + 2 * i);
        if (c == 0 || (i == 0 && c == u'#'))
            return RsrcStatus::bad_key;
    }
    key.named = true;
    key.name_at = uint32_t((pool_off + off + 2) / 2);
    key.name_len = WORD(n);
    return RsrcStatus::ok;
}

/*
 * Checks a string block: exactly 16 records {length, units, 0}.  Records
 * start at even offsets of a 4-aligned block, so a string inside it can be
 * handed out as a WCHAR pointer.
 */
RsrcStatus check_string_block(const BYTE *bytes, const RsrcImage::Entry &e)
{
    if (e.id.named || e.id.number > MAX_STRING_BLOCK)
        return RsrcStatus::bad_string_block;
    size_t pos = 0;
    for (int i = 0; i < STRINGS_PER_BLOCK; ++i) {
        if (e.size - pos < 2)
            return RsrcStatus::bad_string_block;
        size_t n = load_u16(bytes, e.off + pos);
        pos += 2;
        if ((e.size - pos) / 2 < n + 1) /* the units and the terminator */
            return RsrcStatus::string_not_terminated;
        if (load_u16(bytes, e.off + pos + 2 * n) != 0)
            return RsrcStatus::string_not_terminated;
        pos += 2 * (n + 1);
    }
    return pos == e.size ? RsrcStatus::ok : RsrcStatus::bad_string_block;
}

/* Builds and checks the directory of an image whose header passed. */
RsrcStatus read_directory(RsrcImage &img, uint32_t count, size_t dir_off, size_t pool_off, size_t pool_size)
{
    const BYTE *b = img.bytes();
    size_t size = img.size;
    img.entries.resize(count);
    for (size_t i = 0; i < count; ++i) {
        size_t at = dir_off + i * ENTRY_SIZE;
        RsrcImage::Entry &e = img.entries[i];
        RsrcStatus st = read_key(b, load_u32(b, at), pool_off, pool_size, e.type);
        if (st == RsrcStatus::ok)
            st = read_key(b, load_u32(b, at + 4), pool_off, pool_size, e.id);
        if (st != RsrcStatus::ok)
            return st;
        e.off = load_u32(b, at + 8);
        e.size = load_u32(b, at + 12);
        if (e.off % 4 != 0 || e.off > size || size - e.off < e.size)
            return RsrcStatus::entry_out_of_range;
        if (i > 0 && compare_entries(img, img.entries[i - 1], e) >= 0)
            return RsrcStatus::unsorted;
        if (!e.type.named && e.type.number == STRING_TYPE) {
            st = check_string_block(b, e);
            if (st != RsrcStatus::ok)
                return st;
        }
    }
    return RsrcStatus::ok;
}

RsrcStatus check_image(RsrcImage &img)
{
    const BYTE *b = img.bytes();
    size_t size = img.size;
    if (size < HEADER_SIZE)
        return RsrcStatus::too_small;
    if (std::memcmp(b, MAGIC, sizeof MAGIC) != 0)
        return RsrcStatus::bad_magic;
    if (load_u16(b, 4) != 1 || load_u16(b, 6) != HEADER_SIZE)
        return RsrcStatus::bad_version;
    if (load_u32(b, 28) != 0)
        return RsrcStatus::bad_header;
    size_t declared = load_u32(b, 24);
    if (declared > size)
        return RsrcStatus::truncated;
    if (declared < size)
        return RsrcStatus::bad_header;

    uint32_t count = load_u32(b, 8);
    size_t dir_off = load_u32(b, 12);
    if (dir_off % 4 != 0 || dir_off < HEADER_SIZE || dir_off > size || (size - dir_off) / ENTRY_SIZE < count)
        return RsrcStatus::directory_out_of_range;
    size_t pool_off = load_u32(b, 16);
    size_t pool_size = load_u32(b, 20);
    if (pool_off % 2 != 0 || pool_off > size || size - pool_off < pool_size)
        return RsrcStatus::names_out_of_range;
    return read_directory(img, count, dir_off, pool_off, pool_size);
}

/* Index of the entry (type, id), or entries.size() when there is none. */
size_t find_entry(const RsrcImage &img, const RsrcKey &type, const RsrcKey &id)
{
    auto less = [&](const RsrcImage::Entry &e, int) {
        int c = compare_keys(key_view(img, e.type), type);
        return c < 0 || (c == 0 && compare_keys(key_view(img, e.id), id) < 0);
    };
    auto it = std::lower_bound(img.entries.begin(), img.entries.end(), 0, less);
    if (it == img.entries.end() || compare_keys(key_view(img, it->type), type) != 0 || compare_keys(key_view(img, it->id), id) != 0)
        return img.entries.size();
    return size_t(it - img.entries.begin());
}

} // namespace

RsrcKey key_view(const RsrcImage &img, const RsrcImage::Key &k)
{
    RsrcKey v;
    v.named = k.named;
    v.number = k.number;
    if (k.named)
        v.name = std::u16string_view(img.store.data() + k.name_at, k.name_len);
    return v;
}

int compare_keys(const RsrcKey &a, const RsrcKey &b)
{
    if (a.named != b.named)
        return a.named ? 1 : -1;
    if (!a.named)
        return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    size_t n = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < n; ++i) {
        WCHAR ua = wupper(a.name[i]), ub = wupper(b.name[i]);
        if (ua != ub)
            return ua < ub ? -1 : 1;
    }
    return a.name.size() < b.name.size() ? -1 : a.name.size() > b.name.size() ? 1 : 0;
}

int compare_entries(const RsrcImage &img, const RsrcImage::Entry &a, const RsrcImage::Entry &b)
{
    int c = compare_keys(key_view(img, a.type), key_view(img, b.type));
    return c != 0 ? c : compare_keys(key_view(img, a.id), key_view(img, b.id));
}

const RsrcImage::Entry *image_find(const RsrcImage &img, const RsrcKey &type, const RsrcKey &id)
{
    size_t i = find_entry(img, type, id);
    return i < img.entries.size() ? &img.entries[i] : nullptr;
}

bool image_has_type(const RsrcImage &img, const RsrcKey &type)
{
    return std::any_of(img.entries.begin(), img.entries.end(),
                       [&](const RsrcImage::Entry &e) { return compare_keys(key_view(img, e.type), type) == 0; });
}

RsrcStatus image_adopt(std::vector<char16_t> &&store, size_t size, RsrcImagePtr &out)
{
    out.reset();
    RsrcImage *img = new (std::nothrow) RsrcImage;
    if (!img)
        return RsrcStatus::no_memory;
    RsrcImagePtr holder(img);
    img->store = std::move(store);
    img->size = size;
    RsrcStatus st;
    try {
        st = check_image(*img);
    } catch (const std::bad_alloc &) {
        st = RsrcStatus::no_memory;
    }
    if (st == RsrcStatus::ok)
        out = std::move(holder);
    return st;
}

bool image_alloc(size_t size, std::vector<char16_t> &store)
{
    try {
        /* WCHAR storage, so that strings inside it are real WCHAR objects */
        store.assign((size + 1) / 2, 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

/* ---- Public reader ------------------------------------------------------- */

void RsrcImageDeleter::operator()(RsrcImage *image) const { delete image; }

const char *rsrc_status_text(RsrcStatus status)
{
    switch (status) {
    case RsrcStatus::ok: return "ok";
    case RsrcStatus::too_small: return "shorter than a container header";
    case RsrcStatus::bad_magic: return "not a resource container (bad magic)";
    case RsrcStatus::bad_version: return "unknown container version";
    case RsrcStatus::bad_header: return "bad container header";
    case RsrcStatus::truncated: return "container truncated";
    case RsrcStatus::directory_out_of_range: return "directory out of range";
    case RsrcStatus::names_out_of_range: return "name pool out of range";
    case RsrcStatus::entry_out_of_range: return "resource data out of range";
    case RsrcStatus::bad_key: return "bad resource type or id";
    case RsrcStatus::unsorted: return "directory not in ascending order";
    case RsrcStatus::bad_string_block: return "bad string block";
    case RsrcStatus::string_not_terminated: return "string not terminated in its block";
    case RsrcStatus::too_large: return "container too large";
    case RsrcStatus::no_memory: return "out of memory";
    }
    return "unknown status";
}

RsrcStatus rsrc_open_image(std::span<const BYTE> bytes, RsrcImagePtr &out)
{
    out.reset();
    if (bytes.size() > RSRC_MAX_SIZE)
        return RsrcStatus::too_large;
    std::vector<char16_t> store;
    if (!image_alloc(bytes.size(), store))
        return RsrcStatus::no_memory;
    if (!bytes.empty())
        std::memcpy(store.data(), bytes.data(), bytes.size());
    return image_adopt(std::move(store), bytes.size(), out);
}

bool rsrc_key_from(LPCWSTR arg, RsrcKey &key)
{
    key = RsrcKey();
    if (IS_INTRESOURCE(arg)) {
        key.number = WORD(reinterpret_cast<ULONG_PTR>(arg));
        return key.number != 0;
    }
    std::u16string_view s(arg, wlen(arg));
    if (s.empty())
        return false;
    if (s[0] != u'#') {
        key.named = true;
        key.name = s;
        return true;
    }
    if (s.size() < 2 || s.size() > 6)
        return false;
    uint32_t v = 0;
    for (char16_t c : s.substr(1)) {
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + uint32_t(c - u'0');
    }
    if (v == 0 || v > 0xFFFF)
        return false;
    key.number = WORD(v);
    return true;
}

bool rsrc_find(const RsrcImage &image, const RsrcKey &type, const RsrcKey &id, std::span<const BYTE> &data)
{
    const RsrcImage::Entry *e = image_find(image, type, id);
    if (!e)
        return false;
    data = std::span<const BYTE>(image.bytes() + e->off, e->size);
    return true;
}

bool rsrc_string(const RsrcImage &image, UINT id, std::u16string_view &text)
{
    if (id > 0xFFFF)
        return false;
    const RsrcImage::Entry *e = image_find(image, rsrc_number(STRING_TYPE), rsrc_number(WORD(id / STRINGS_PER_BLOCK + 1)));
    if (!e)
        return false;
    /* The block was checked at open: 16 records, each inside it. */
    size_t pos = e->off;
    for (UINT i = 0; i < id % STRINGS_PER_BLOCK; ++i)
        pos += 2 + 2 * (size_t(load_u16(image.bytes(), pos)) + 1);
    size_t n = load_u16(image.bytes(), pos);
    if (n == 0)
        return false;
    text = std::u16string_view(image.store.data() + (pos + 2) / 2, n);
    return true;
}

size_t rsrc_entry_count(const RsrcImage &image) { return image.entries.size(); }

bool rsrc_entry(const RsrcImage &image, size_t index, RsrcEntryInfo &info)
{
    if (index >= image.entries.size())
        return false;
    const RsrcImage::Entry &e = image.entries[index];
    info.type = key_view(image, e.type);
    info.id = key_view(image, e.id);
    info.data = std::span<const BYTE>(image.bytes() + e.off, e.size);
    return true;
}

} // namespace plat
