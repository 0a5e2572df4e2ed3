/*
 * The container writer: lays out a compiled project as a resource container
 * (header, sorted directory, name pool, 4-aligned data), in the format the
 * platform's reader checks (plat/resource.h).
 */
#include <tarvel/rc.h>

#include <plat/resource.h>

#include <algorithm>

namespace rc {

namespace {

constexpr size_t HEADER_SIZE = 32;
constexpr size_t ENTRY_SIZE = 16;
constexpr uint32_t NAME_BIT = 0x80000000u;
constexpr uint16_t STRING_TYPE = 6;
constexpr int STRINGS_PER_BLOCK = 16;

struct Item {
    const Key *type;
    const Key *id;
    const std::vector<uint8_t> *data;
};

/* Directory order: numbers before names, numbers by value, names (all in
 * capitals here) by their units, then by length. */
int compare(const Key &a, const Key &b)
{
    if (a.named != b.named)
        return a.named ? 1 : -1;
    if (!a.named)
        return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    return a.name.compare(b.name);
}

void put16(std::vector<uint8_t> &b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

void put32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

void append16(std::vector<uint8_t> &b, uint16_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

size_t align4(size_t n) { return (n + 3) & ~size_t(3); }

/* The string blocks: block b holds strings 16 (b - 1) .. 16 (b - 1) + 15 as
 * 16 records {length, units, 0}; an absent string has length 0. */
void build_string_blocks(const Project &p, std::map<uint16_t, std::vector<uint8_t>> &blocks)
{
    std::map<uint16_t, std::vector<const std::u16string *>> slots;
    for (const auto &[id, text] : p.strings) {
        auto &s = slots[uint16_t(id / STRINGS_PER_BLOCK + 1)];
        s.resize(STRINGS_PER_BLOCK, nullptr);
        s[id % STRINGS_PER_BLOCK] = &text;
    }
    for (const auto &[block, strings] : slots) {
        std::vector<uint8_t> &b = blocks[block];
        for (const std::u16string *s : strings) {
            append16(b, s ? uint16_t(s->size()) : 0);
            if (s)
                for (char16_t c : *s)
                    append16(b, c);
            append16(b, 0);
        }
    }
}

} // namespace

bool write_container(Project &project, std::vector<uint8_t> &out)
{
    out.clear();
    std::map<uint16_t, std::vector<uint8_t>> blocks;
    build_string_blocks(project, blocks);

    std::vector<Key> block_keys(blocks.size());
    Key string_type;
    string_type.number = STRING_TYPE;
    std::vector<Item> items;
    size_t k = 0;
    for (const auto &[block, data] : blocks) {
        block_keys[k].number = block;
        items.push_back({&string_type, &block_keys[k], &data});
        ++k;
    }
    for (const Resource &r : project.resources)
        items.push_back({&r.type, &r.id, &r.data});
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        int c = compare(*a.type, *b.type);
        return c != 0 ? c < 0 : compare(*a.id, *b.id) < 0;
    });

    /* Name pool: each distinct name once, {length, units}; all even-sized. */
    std::vector<uint8_t> pool;
    std::map<std::u16string, uint32_t> name_at;
    for (const Item &it : items) {
        for (const Key *key : {it.type, it.id}) {
            if (!key->named || name_at.count(key->name))
                continue;
            name_at[key->name] = uint32_t(pool.size());
            append16(pool, uint16_t(key->name.size()));
            for (char16_t c : key->name)
                append16(pool, c);
        }
    }

    size_t dir_off = HEADER_SIZE;
    size_t pool_off = dir_off + items.size() * ENTRY_SIZE;
    size_t size = align4(pool_off + pool.size());
    std::vector<size_t> data_off;
    for (const Item &it : items) {
        data_off.push_back(size);
        size = align4(size + it.data->size());
        if (size > plat::RSRC_MAX_SIZE) {
            project.errors.push_back({"", 0, "the resources do not fit in one container (256 MiB)"});
            return false;
        }
    }
    /* The last item's padding is not part of the file. */
    if (!items.empty())
        size = data_off.back() + items.back().data->size();

    out.assign(size, 0);
    std::copy(std::begin("TXRS"), std::begin("TXRS") + 4, out.begin());
    put16(out, 4, 1);
    put16(out, 6, uint16_t(HEADER_SIZE));
    put32(out, 8, uint32_t(items.size()));
    put32(out, 12, uint32_t(dir_off));
    put32(out, 16, uint32_t(pool_off));
    put32(out, 20, uint32_t(pool.size()));
    put32(out, 24, uint32_t(size));
    auto key_word = [&](const Key &key) { return key.named ? NAME_BIT | name_at[key.name] : uint32_t(key.number); };
    for (size_t i = 0; i < items.size(); ++i) {
        size_t at = dir_off + i * ENTRY_SIZE;
        put32(out, at, key_word(*items[i].type));
        put32(out, at + 4, key_word(*items[i].id));
        put32(out, at + 8, uint32_t(data_off[i]));
        put32(out, at + 12, uint32_t(items[i].data->size()));
        std::copy(items[i].data->begin(), items[i].data->end(), out.begin() + long(data_off[i]));
    }
    std::copy(pool.begin(), pool.end(), out.begin() + long(pool_off));
    return true;
}

} // namespace rc
