/*
 * Internals shared by the container reader (resource_image.cpp) and the
 * module table with the Windows resource functions (resource_module.cpp).
 */
#ifndef PLAT_RESOURCE_PRIVATE_H
#define PLAT_RESOURCE_PRIVATE_H

#include <plat/resource.h>

#include <vector>

namespace plat {

struct RsrcImage {
    /* A type or id as checked at open; a name is a run of WCHARs in store. */
    struct Key {
        bool named = false;
        WORD number = 0;
        WORD name_len = 0;
        uint32_t name_at = 0; /* index into store */
    };
    struct Entry {
        Key type;
        Key id;
        uint32_t off = 0; /* byte offset of the data, a multiple of 4 */
        uint32_t size = 0;
    };

    /* The container's bytes, held as WCHARs so that strings inside it are
     * WCHAR objects a caller may be given a pointer to. */
    std::vector<char16_t> store;
    size_t size = 0;
    std::vector<Entry> entries; /* strictly ascending by (type, id) */

    const BYTE *bytes() const { return reinterpret_cast<const BYTE *>(store.data()); }
};

/* A public view of a checked key, valid while the image lives. */
RsrcKey key_view(const RsrcImage &img, const RsrcImage::Key &k);

/* Directory order: numbers before names, numbers by value, names by their
 * upper-cased units and then by length.  Negative, 0 or positive. */
int compare_keys(const RsrcKey &a, const RsrcKey &b);
int compare_entries(const RsrcImage &img, const RsrcImage::Entry &a, const RsrcImage::Entry &b);

/* The entry (type, id) of the image, or null. */
const RsrcImage::Entry *image_find(const RsrcImage &img, const RsrcKey &type, const RsrcKey &id);

/* True when some entry has this type. */
bool image_has_type(const RsrcImage &img, const RsrcKey &type);

/* Storage for an image of `size` bytes (zero-filled); false when memory is
 * short. */
bool image_alloc(size_t size, std::vector<char16_t> &store);

/* Takes storage holding `size` container bytes, checks it and on success
 * sets out. */
RsrcStatus image_adopt(std::vector<char16_t> &&store, size_t size, RsrcImagePtr &out);

} // namespace plat

#endif
